// What the library needs of the adapter's kernel driver: the list of present adapters, pipe files
// opened by name, whole writes, reads that carry a 4-byte read request and may stay pending while
// commands are written, cancelling such a read, and the two control requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tamsen::driver {

// Control codes of the adapter's driver.
inline constexpr uint32_t kControlGetPipeState = 0x222000;  // 2 bytes out: u16 state, 0 = ready
inline constexpr uint32_t kControlResetPipe = 0x222004;  // no buffers

using ReadRequest = std::span<const uint8_t, 4>;

// One open pipe file (one bulk endpoint). Closed when destroyed. Used by one thread at a time.
class Pipe {
public:
    virtual ~Pipe() = default;

    // The value shown for this pipe in log lines.
    virtual uint32_t Id() const = 0;

    // Writes all of `data` and waits until the write has finished.
    virtual bool Write(std::span<const uint8_t> data) = 0;

    // Starts a read of at most `capacity` bytes. `request` is the read request that the driver
    // takes from the read buffer (0xFA, time-out lo, time-out hi, check).
    virtual bool StartRead(std::size_t capacity, ReadRequest request) = 0;

    // Waits for the started read. The bytes go to the front of `out` (at least `capacity` bytes).
    // Returns the number of bytes read (0 when the time-out passed) or nothing when it failed.
    virtual std::optional<std::size_t> WaitRead(std::span<uint8_t> out) = 0;

    // Cancels a started read and waits until it has ended. Does nothing when none is pending.
    virtual void CancelRead() = 0;

    // A control request. Returns the number of output bytes written to `output`, or nothing when
    // the request failed.
    virtual std::optional<std::size_t> Control(uint32_t code, std::span<uint8_t> output) = 0;
};

class Driver {
public:
    virtual ~Driver() = default;

    // Device paths of the present adapters; the position in the list is the device index.
    virtual std::vector<std::string> PresentDevices() = 0;

    // Opens a pipe file ("<device path>/PIPEnn") for reading and writing, without sharing.
    virtual std::unique_ptr<Pipe> OpenPipe(const std::string& fileName) = 0;
};

// The emulator socket driver when $TAMSEN_DEVICE_DIR is set, else the USB driver.
std::shared_ptr<Driver> EnvironmentDriver();

// The driver in use. libtamsen.so defines it as EnvironmentDriver() (driver/active_driver.cpp);
// a test program defines it instead, to put a driver of its own in.
std::shared_ptr<Driver> ActiveDriver();

}  // namespace tamsen::driver
