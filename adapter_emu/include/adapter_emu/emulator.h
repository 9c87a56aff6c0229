// The emulator: one or more adapters served in one folder, the lock that keeps a second emulator
// out of that folder, and the control socket through which faults are injected from outside.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "adapter_emu/adapter.h"

namespace adapter_emu {

struct EmulatorOptions {
    std::filesystem::path dir;
    unsigned adapters = 1;
    BusDescription bus;
    std::optional<std::filesystem::path> stateDir;
    bool fast = false;
    bool verbose = false;
    // The wait after each duplicate MAC ID request, in the clock's milliseconds.
    uint32_t duplicateMacTimeoutMs = kEmulatorDuplicateMacTimeoutMs;
    // All adapters on one bus: each sees the traffic of the others (test-mode adapters receive it).
    bool sharedBus = false;
    std::shared_ptr<Clock> clock;  // none: the steady clock
    LogSink log;
};

class EmulatorError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Name of the control socket in the served folder (a socket, not an adapter folder).
inline constexpr const char* kControlSocketName = "control";

class Emulator {
public:
    explicit Emulator(EmulatorOptions options);
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Takes the folder, creates the adapters and starts serving (EmulatorError on failure).
    void Start();
    void Stop();

    std::size_t AdapterCount() const { return adapters_.size(); }
    Adapter& GetAdapter(std::size_t index) { return *adapters_.at(index); }

    // One control command, as the control socket takes it; returns "ok" or "error: ...".
    std::string Control(std::string_view line);

private:
    struct ControlServer;
    EmulatorOptions options_;
    int dirLock_ = -1;
    bool createdDir_ = false;
    std::vector<std::unique_ptr<Adapter>> adapters_;
    std::unique_ptr<ControlServer> control_;
};

// The text of the control commands, for --help and the README.
std::string_view ControlCommandHelp();

}  // namespace adapter_emu
