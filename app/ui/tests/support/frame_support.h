// Helpers of the main-window tests: the emulated adapters (adapter-emu through the testing/
// session) with the environment that makes the program reach them, and a per-test window profile.
#pragma once

#include <QString>

#include <memory>
#include <string>

#include "testing/build_paths.h"
#include "testing/emulator_session.h"
#include "testing/temp_dir.h"

namespace frame_test {

using testkit::BinDir;
using testkit::ReadFile;
using testkit::SourceDir;
// A fresh temporary folder (removed with the object); Path(name) is a path inside it.
using TempFolder = testkit::TempDir;

// The demo network of the sources.
std::string DemoNetwork();

// The demo network file with `cards` copies of its card (device indexes 0, 1, ...) written
// into `folder`; the EDS paths point at the demo EDS files.
std::string WriteDemoNetwork(const TempFolder& folder, int cards, int slavesPerMaster = -1);

// adapter-emu (a testkit::EmulatorSession) serving `adapters` adapters with the demo bus or
// the bus file `bus` of resources/demo (fast time-outs, every command logged, a state folder);
// the process environment points libvarda.so and libtamsen.so at it while the object lives.
class Emulator {
public:
    explicit Emulator(int adapters = 1, const std::string& bus = "bus.xml");

    // False when adapter-emu or libtamsen.so is not built or the emulator did not come up.
    bool Ready() const { return problem_.empty(); }
    std::string Problem() const { return problem_; }
    // The emulator's command log so far.
    std::string Log() const { return session_ ? session_->ErrorOutput() : std::string(); }
    int CountInLog(const std::string& what) const;
    // Sends one line to the control socket (e.g. "0 delay 600"); the emulator's answer.
    std::string Control(const std::string& line) const {
        return session_ ? session_->Control(line) : "error: no emulator";
    }

private:
    std::unique_ptr<testkit::EmulatorSession> session_;
    std::string problem_;
};

// A window profile of its own for each test (layout and recent files).
void UseFreshProfile(const TempFolder& folder);

}  // namespace frame_test
