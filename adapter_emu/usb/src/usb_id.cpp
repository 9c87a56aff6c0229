#include "adapter_emu_usb/usb_id.h"

#include <cstdio>

namespace adapter_emu::usb {

namespace {

std::optional<uint16_t> ParseHex16(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    uint16_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        value = static_cast<uint16_t>(value * 16 + digit);
    }
    return value;
}

}  // namespace

std::optional<UsbId> ParseUsbId(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto vendor = ParseHex16(text.substr(0, colon));
    const auto product = ParseHex16(text.substr(colon + 1));
    if (!vendor || !product) return std::nullopt;
    return UsbId{*vendor, *product};
}

std::string ToString(UsbId id) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", id.vendor, id.product);
    return text;
}

}  // namespace adapter_emu::usb
