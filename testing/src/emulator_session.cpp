#include "testing/emulator_session.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "testing/build_paths.h"
#include "testing/registry.h"

namespace testkit {

namespace {

std::string Program() { return BinDir() + "/adapter-emu"; }

const std::string kUnset(1, '\0');

}  // namespace

bool EmulatorSession::Available() { return std::filesystem::exists(Program()); }

EmulatorSession::EmulatorSession(const std::string& busXml, const Options& options) : adapters_(options.adapters) {
    const std::string bus = dir_.Write("bus.xml", busXml);
    RegisterDeviceLibrary(RegistryPath(), options.deviceType, BinDir() + "/libtamsen.so");
    std::vector<std::string> args{"--dir", DeviceDir(), "--bus", bus};
    if (options.keepState) {
        std::filesystem::create_directories(dir_.Path("state"));
        args.insert(args.end(), {"--state", dir_.Path("state")});
    }
    if (options.adapters != 1) args.insert(args.end(), {"--adapters", std::to_string(options.adapters)});
    args.insert(args.end(), options.arguments.begin(), options.arguments.end());
    daemon_ = std::make_unique<ChildProcess>(Program(), args, std::map<std::string, std::string>{},
                                             dir_.Path("emu.out"), dir_.Path("emu.err"));
    if (!daemon_->Started()) return;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!Ready() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

EmulatorSession::~EmulatorSession() {
    Stop();
    for (const auto& [name, value] : applied_) {
        if (value == kUnset) {
            ::unsetenv(name.c_str());
        } else {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }
}

bool EmulatorSession::Ready() const {
    // The last pipe of the last adapter is served last.
    return std::filesystem::exists(std::filesystem::path(DeviceDir()) / ("adapter" + std::to_string(adapters_ - 1)) /
                                   "PIPE09");
}

std::string EmulatorSession::Control(const std::string& line) const {
    const std::string path = DeviceDir() + "/control";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return "error: path too long";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "error: socket";
    std::string answer;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string text = line + "\n";
        if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
            char buffer[256];
            ssize_t n = 0;
            while (answer.find('\n') == std::string::npos && (n = ::read(fd, buffer, sizeof buffer)) > 0) {
                answer.append(buffer, static_cast<size_t>(n));
            }
        }
    } else {
        answer = "error: connect";
    }
    ::close(fd);
    return answer;
}

std::map<std::string, std::string> EmulatorSession::Env() const {
    return {{"VARDA_REGISTRY", RegistryPath()},
            {"TAMSEN_DEVICE_DIR", DeviceDir()},
            {"VARDA_DEBUG_OUTPUT", DebugLogPath()}};
}

void EmulatorSession::Apply() {
    for (const auto& [name, value] : Env()) {
        if (applied_.count(name) == 0) {
            const char* former = std::getenv(name.c_str());
            applied_[name] = former != nullptr ? former : kUnset;
        }
        ::setenv(name.c_str(), value.c_str(), 1);
    }
}

std::string EmulatorSession::Stop() {
    if (daemon_) {
        daemon_->Signal(SIGTERM);
        daemon_->Wait(std::chrono::seconds(10));
        daemon_.reset();
    }
    return ErrorOutput();
}

}  // namespace testkit
