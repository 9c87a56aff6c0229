// Test fixture: the library driven through the in-process fake driver, with its log lines
// captured in a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "device_table.h"
#include "fake_driver/fake_driver.h"
#include "varda_api.h"

namespace tamsen::testing {

using driver::FakeDriver;
using Bytes = std::vector<uint8_t>;

// A valid set of master settings.
inline VARDA_INIT_PARAM DefaultInitParam() {
    VARDA_INIT_PARAM p{};
    p.MacId = 0;
    p.BaudRate = 0;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    return p;
}

// `packet` followed by zeros up to 64 bytes.
inline Bytes Padded(Bytes packet) {
    packet.resize(64, 0);
    return packet;
}

class FakeAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tamsen-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        std::filesystem::create_directories(dir_);
        logPath_ = (dir_ / "debug.log").string();
        ::setenv("VARDA_DEBUG_OUTPUT", logPath_.c_str(), 1);
        fake_ = std::make_shared<FakeDriver>();
        fake_->AddDevice("fake/dev0");
        fake_->AddDevice("fake/dev1");
        driver::SetDriverOverride(fake_);
    }

    void TearDown() override {
        {
            DeviceTables& tables = DeviceTables::Instance();
            std::lock_guard<std::mutex> guard(tables.Lock());
            tables.DestroyAll();
        }
        driver::SetDriverOverride(nullptr);
        ::unsetenv("VARDA_DEBUG_OUTPUT");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::string Log() const {
        std::ifstream in(logPath_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void ClearLog() { std::ofstream(logPath_, std::ios::trunc); }

    // Opens device 0 and initialises channel 0; returns the handle.
    uint32_t OpenAndInit(uint32_t deviceIndex = 0) {
        EXPECT_EQ(VARDA_Open(101, deviceIndex, 0), 0u);
        VARDA_INIT_PARAM p = DefaultInitParam();
        uint32_t handle = 0;
        EXPECT_EQ(VARDA_Init(101, deviceIndex, 0, &p, &handle), 0u);
        fake_->ClearTransfers();
        ClearLog();
        return handle;
    }

    // Every write on one pipe of device 0.
    std::vector<Bytes> Writes(int pipe, const std::string& device = "fake/dev0") const {
        return fake_->Writes(device, pipe);
    }

    std::shared_ptr<FakeDriver> fake_;
    std::filesystem::path dir_;
    std::string logPath_;
    static inline int counter_ = 0;
};

}  // namespace tamsen::testing
