// The emulator's stand-in for the kernel driver: $TAMSEN_DEVICE_DIR holds one folder per present
// adapter (device index = position in the byte-sorted folder list); each pipe file is a Unix
// SOCK_SEQPACKET socket and every message is one transfer, led by an opcode byte.
#pragma once

#include "driver/driver.h"

namespace tamsen::driver {

// Opcodes of the socket messages.
inline constexpr uint8_t kSocketWrite = 0x01;
inline constexpr uint8_t kSocketRead = 0x02;
inline constexpr uint8_t kSocketControl = 0x03;
inline constexpr uint8_t kSocketCancel = 0x04;

class SocketDriver final : public Driver {
public:
    explicit SocketDriver(std::string deviceDir) : deviceDir_(std::move(deviceDir)) {}
    std::vector<std::string> PresentDevices() override;
    std::unique_ptr<Pipe> OpenPipe(const std::string& fileName) override;

private:
    std::string deviceDir_;
};

}  // namespace tamsen::driver
