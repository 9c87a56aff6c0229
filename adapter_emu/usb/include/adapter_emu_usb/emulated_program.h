// A program run under the USB emulation: started with the umockdev preload library, the
// testbed's UMOCKDEV_DIR and TAMSEN_USB_IDS naming the emulated adapters (TAMSEN_DEVICE_DIR
// removed, so libtamsen.so takes its USB driver), so that it drives the emulated adapters
// through libusb as it would drive plugged-in ones.
#pragma once

#include <csignal>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "adapter_emu_usb/usb_id.h"

namespace adapter_emu::usb {

// The environment of such a program: `environment` ("NAME=value" entries) with the four
// variables set as described above.
std::vector<std::string> EmulatedEnvironment(const std::vector<std::string>& environment,
                                             const std::filesystem::path& testbedDir, UsbId id);

// Runs `program` (searched in PATH) with that environment until it exits; returns its exit code
// (128 + signal when a signal ended it, 127 when it could not be started). `stopSignals` must be
// blocked in every thread of this process, and SIGCHLD too; a stop signal that arrives is passed
// on to the program, which is then waited for.
int RunEmulatedProgram(const std::vector<std::string>& program, const std::filesystem::path& testbedDir, UsbId id,
                       const sigset_t& stopSignals);

}  // namespace adapter_emu::usb
