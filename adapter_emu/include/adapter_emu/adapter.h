// One emulated adapter as the host sees it: a folder with ten pipe sockets (PIPE00..PIPE09,
// SOCK_SEQPACKET) served as the adapter's driver serves its bulk pipes, in front of the firmware.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/clock.h"
#include "adapter_emu/firmware.h"

namespace adapter_emu {

// Faults of the next acknowledge (of any command, or only of `onlyCode`).
enum class AckFaultKind {
    Drop,  // no acknowledge at all
    WrongCode,  // the code byte is `value` (0: command code + 1)
    BadLength,  // the length field is `value` (0: the real length + 16); the bytes stay as they are
    Overlong,  // the length field claims `value` payload bytes (0: 600), more than an acknowledge may carry
    ErrorAck,  // an error acknowledge carrying the result code `value`
    Delay,  // delivered `value` ms (real time) late
};

struct AckFault {
    AckFaultKind kind = AckFaultKind::Drop;
    uint32_t value = 0;
    std::optional<uint8_t> onlyCode;
};

using LogSink = std::function<void(std::string_view)>;

// Pipe numbers of the two groups.
namespace pipe {
inline constexpr int kAck = 0, kCmd = 1, kAckEx = 2, kCmdEx = 3;
inline constexpr int kEmAck = 6, kEmCmd = 7, kEmAckEx = 8, kEmCmdEx = 9;
inline constexpr int kCount = 10;
}  // namespace pipe

// Socket messages (first byte of each).
namespace op {
inline constexpr uint8_t kWrite = 0x01;
inline constexpr uint8_t kRead = 0x02;
inline constexpr uint8_t kControl = 0x03;
inline constexpr uint8_t kCancel = 0x04;
inline constexpr uint8_t kUnknown = 0xFF;  // answer to an opcode the driver does not know
}  // namespace op

inline constexpr uint32_t kControlGetPipeState = 0x222000;
inline constexpr uint32_t kControlResetPipe = 0x222004;

class Adapter {
public:
    Adapter(std::filesystem::path folder, const BusDescription& bus, std::shared_ptr<Clock> clock,
            FirmwareOptions firmware, LogSink log = {}, bool verbose = false);
    ~Adapter();
    Adapter(const Adapter&) = delete;
    Adapter& operator=(const Adapter&) = delete;

    // Creates the folder and its sockets and starts serving (std::runtime_error on failure).
    void Start();
    // Stops serving and removes the sockets and the folder.
    void Stop();

    const std::filesystem::path& Folder() const { return folder_; }
    Firmware& GetFirmware() { return *firmware_; }

    void InjectAckFault(const AckFault& fault);
    // The pipe's state becomes non-zero (halted) until the host resets it.
    void StallPipe(int pipeNumber);
    // Closes every socket of the adapter; transfers and connections fail until Replug.
    void Unplug();
    void Replug();

    // Commands taken from the host so far (each whole command packet, well-formed or not).
    uint64_t CommandCount() const;

private:
    struct Impl;
    std::filesystem::path folder_;
    std::unique_ptr<Firmware> firmware_;
    std::unique_ptr<Impl> impl_;
};

}  // namespace adapter_emu
