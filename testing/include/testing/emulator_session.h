// adapter-emu run for a test: the daemon serving a folder of its own with a bus file, and the
// master API pointed at it (libtamsen.so registered for a device type, the socket driver's
// folder and the libraries' debug output in the session folder).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/registry.h"
#include "testing/temp_dir.h"

namespace testkit {

class EmulatorSession {
public:
    // Writes `busXml` to the session folder and starts the built adapter-emu on it with
    // `options` (beside --dir and --bus); waits until the adapter's pipes are served.
    explicit EmulatorSession(const std::string& busXml, const std::vector<std::string>& options = {"--fast"});
    // Stops the daemon (SIGTERM, waited for).
    ~EmulatorSession();
    EmulatorSession(const EmulatorSession&) = delete;
    EmulatorSession& operator=(const EmulatorSession&) = delete;

    // True when adapter-emu exists in the build (a test skips itself otherwise).
    static bool Available();
    bool Started() const { return started_; }

    const TempDir& Dir() const { return dir_; }
    // The folder the daemon serves (one sub-folder per adapter).
    std::string DeviceDir() const { return dir_.Path("devices"); }
    std::string BusPath() const { return dir_.Path("bus.xml"); }
    // What the daemon wrote to its standard error.
    std::string ErrorOutput() const;

    // Registers libtamsen.so for `deviceType` ($VARDA_REGISTRY), points the socket driver at the
    // daemon ($TAMSEN_DEVICE_DIR) and the debug output into the session folder.
    void UseForDeviceType(uint32_t deviceType);
    std::string DebugLogPath() const { return dir_.Path("debug.log"); }

private:
    TempDir dir_{"norvane_emu"};
    std::unique_ptr<ChildProcess> daemon_;
    std::unique_ptr<ScopedRegistry> registry_;
    bool started_ = false;
};

}  // namespace testkit
