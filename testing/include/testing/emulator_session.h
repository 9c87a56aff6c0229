// adapter-emu run for a test: the daemon serving a folder of its own with a bus file, and what
// the master API needs to reach it (a registry file naming libtamsen.so, the socket driver's
// folder), for child processes as variables or for the test process itself.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace testkit {

class EmulatorSession {
public:
    struct Options {
        std::vector<std::string> arguments{"--fast"};  // beside --dir, --bus (and --state)
        bool keepState = false;  // --state: a folder in the session folder
        uint32_t deviceType = 101;  // the type libtamsen.so is registered for
        int adapters = 1;  // --adapters
    };

    // Writes `busXml` to the session folder, writes the registry file and starts the built
    // adapter-emu; waits (up to 10 s) until the adapter's pipes are served.
    explicit EmulatorSession(const std::string& busXml) : EmulatorSession(busXml, Options{}) {}
    EmulatorSession(const std::string& busXml, const Options& options);
    // Stops the daemon when it still runs; takes back what Apply() set.
    ~EmulatorSession();
    EmulatorSession(const EmulatorSession&) = delete;
    EmulatorSession& operator=(const EmulatorSession&) = delete;

    // True when adapter-emu exists in the build (a test skips itself otherwise).
    static bool Available();
    bool Ready() const;

    const TempDir& Dir() const { return dir_; }
    // The folder the daemon serves (one sub-folder per adapter).
    std::string DeviceDir() const { return dir_.Path("devices"); }
    std::string RegistryPath() const { return dir_.Path("registry.reg"); }
    std::string DebugLogPath() const { return dir_.Path("debug.log"); }
    // What the daemon wrote to its standard error so far (with --verbose, its command log).
    std::string ErrorOutput() const { return dir_.Read("emu.err"); }

    // Sends one line to the daemon's control socket (e.g. "0 delay 600"); its answer line, or
    // a text starting "error:" when the socket cannot be reached.
    std::string Control(const std::string& line) const;

    // VARDA_REGISTRY, TAMSEN_DEVICE_DIR and VARDA_DEBUG_OUTPUT for a child process.
    std::map<std::string, std::string> Env() const;
    // Sets the same variables in this process until the session ends.
    void Apply();
    // Stops the daemon (SIGTERM, waited for); returns its standard error.
    std::string Stop();

private:
    TempDir dir_{"norvane_emu"};
    int adapters_ = 1;
    std::unique_ptr<ChildProcess> daemon_;
    std::map<std::string, std::string> applied_;  // the former values of what Apply() set ("\0": unset)
};

}  // namespace testkit
