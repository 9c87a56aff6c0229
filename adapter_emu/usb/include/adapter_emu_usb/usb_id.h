// A USB vendor:product pair as given on command lines ("1a2b:0001", hexadecimal).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace adapter_emu::usb {

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    friend bool operator==(const UsbId&, const UsbId&) = default;
};

// One to four hex digits, a colon, one to four hex digits; nothing else.
std::optional<UsbId> ParseUsbId(std::string_view text);

// "1a2b:0001"
std::string ToString(UsbId id);

}  // namespace adapter_emu::usb
