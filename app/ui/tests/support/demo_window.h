// Fixture base of the end-to-end window tests on the demo network: adapter-emu serving the demo
// bus, a fresh window profile, the main window with the demo network (one card) opened, and an
// answerer that presses OK on every message box no test step answers itself. StartMaster()
// starts the master with the start command; TearDown stops it when it still runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "network/server_dev.h"
#include "support/box_answerer.h"
#include "support/frame_support.h"
#include "ui/frame/main_frame.h"

namespace frame_test {

class DemoWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // True when SetUp skipped the test or failed: a derived SetUp returns then.
    bool SetUpStopped() const { return IsSkipped() || HasFatalFailure(); }
    // Selects the master and runs the start command; a fatal failure when it does not start.
    void StartMaster();

    TempFolder folder;
    std::unique_ptr<Emulator> emulator;
    std::unique_ptr<CMainFrame> frame;
    ui_test::BoxAnswerer boxes;
    CServerDev* master = nullptr;
};

}  // namespace frame_test
