#include "testing/emulator_session.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "testing/build_paths.h"

namespace testkit {

namespace {

std::string Program() { return BinDir() + "/adapter-emu"; }

}  // namespace

bool EmulatorSession::Available() { return std::filesystem::exists(Program()); }

EmulatorSession::EmulatorSession(const std::string& busXml, const std::vector<std::string>& options) {
    dir_.Write("bus.xml", busXml);
    std::vector<std::string> args{"--dir", DeviceDir(), "--bus", BusPath()};
    args.insert(args.end(), options.begin(), options.end());
    daemon_ = std::make_unique<ChildProcess>(Program(), args, std::map<std::string, std::string>{},
                                             dir_.Path("emu.out"), dir_.Path("emu.err"));
    if (!daemon_->Started()) return;
    const std::filesystem::path lastPipe = std::filesystem::path(DeviceDir()) / "adapter0" / "PIPE08";
    for (int i = 0; i < 500; ++i) {
        if (std::filesystem::exists(lastPipe)) {
            started_ = true;
            return;
        }
        if (daemon_->Wait(std::chrono::milliseconds(0))) return;  // ended before serving
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

EmulatorSession::~EmulatorSession() {
    if (daemon_) {
        daemon_->Signal(SIGTERM);
        daemon_->Wait(std::chrono::seconds(10));
    }
}

std::string EmulatorSession::ErrorOutput() const { return dir_.Read("emu.err"); }

void EmulatorSession::UseForDeviceType(uint32_t deviceType) {
    ::setenv("TAMSEN_DEVICE_DIR", DeviceDir().c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", DebugLogPath().c_str(), 1);
    if (registry_) {
        registry_->Register(deviceType, BinDir() + "/libtamsen.so");
    } else {
        registry_ = std::make_unique<ScopedRegistry>(deviceType, BinDir() + "/libtamsen.so");
    }
}

}  // namespace testkit
