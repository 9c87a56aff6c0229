// Helpers of the main-window tests: the emulated adapters (adapter-emu as a child process) with
// the environment that makes the program reach them, and a per-test window profile.
#pragma once

#include <QString>

#include <memory>
#include <string>

#include <sys/types.h>

namespace frame_test {

// Folders of the build and of the sources (from the test environment).
std::string BinDir();
std::string SourceDir();
std::string ReadFile(const std::string& path);
// The demo network and a fresh temporary folder (removed with the object).
std::string DemoNetwork();

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const std::string& name = "") const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The demo network file with `cards` copies of its card (device indexes 0, 1, ...) written
// into `folder`; the EDS paths point at the demo EDS files.
std::string WriteDemoNetwork(const TempFolder& folder, int cards, int slavesPerMaster = -1);

// adapter-emu serving `adapters` adapters with the demo bus or the bus file `bus` of
// resources/demo (fast time-outs, every command logged), plus the registry file; the process
// environment points libvarda.so and libtamsen.so at them while the object lives.
class Emulator {
public:
    explicit Emulator(int adapters = 1, const std::string& bus = "bus.xml");
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // False when adapter-emu or libtamsen.so is not built or the emulator did not come up.
    bool Ready() const { return ready_; }
    std::string Problem() const { return problem_; }
    // The emulator's command log so far.
    std::string Log() const;
    int CountInLog(const std::string& what) const;
    // Sends one line to the control socket (e.g. "0 delay 600"); the emulator's answer.
    std::string Control(const std::string& line) const;

private:
    TempFolder folder_;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::string problem_;
};

// A window profile of its own for each test (layout and recent files).
void UseFreshProfile(const TempFolder& folder);

}  // namespace frame_test
