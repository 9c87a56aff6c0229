// varda-register [--usb-ids VID:PID[,VID:PID...] [--udev-rules FILE]] REGFILE TYPE LIBPATH
//
// Names LIBPATH as the device library of device type TYPE in the registry file REGFILE
// ([HKEY_LOCAL_MACHINE\SOFTWARE\BRAMWELL\VARDA\<TYPE>] "DLL"). With --usb-ids it also records the
// adapters' USB ids there ("UsbIds", read by libtamsen.so) and writes a udev rule that gives the
// logged-in user access to those adapters (TAG+="uaccess").
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/registry_file.h"

namespace {

constexpr const char* kDefaultRules = "/etc/udev/rules.d/60-norvane-adapter.rules";

constexpr const char* kUsage =
    "usage: varda-register [--usb-ids VID:PID[,VID:PID...] [--udev-rules FILE]] REGFILE TYPE LIBPATH\n"
    "  --usb-ids     the adapters' USB ids (hexadecimal), stored as \"UsbIds\" and given to the\n"
    "                logged-in user by a udev rule\n"
    "  --udev-rules  the rule file to write (default /etc/udev/rules.d/60-norvane-adapter.rules)\n";

struct UsbId {
    unsigned vendor = 0;
    unsigned product = 0;
};

bool ParseHex16(std::string_view text, unsigned& out) {
    if (text.empty() || text.size() > 4) return false;
    out = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        out = out * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    return true;
}

// "1a2b:0001,0403:6001"; every entry must be valid.
bool ParseIds(std::string_view text, std::vector<UsbId>& ids) {
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view entry = text.substr(0, comma);
        const size_t colon = entry.find(':');
        UsbId id;
        if (colon == std::string_view::npos || !ParseHex16(entry.substr(0, colon), id.vendor) ||
            !ParseHex16(entry.substr(colon + 1), id.product)) {
            return false;
        }
        ids.push_back(id);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
        if (text.empty()) return false;
    }
    return !ids.empty();
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFFu);
    return text;
}

// The rule file, written whole through a temporary file.
bool WriteRules(const std::string& path, const std::vector<UsbId>& ids) {
    std::string text =
        "# DeviceNet master adapters of Norvane: the logged-in user may open them.\n"
        "# Written by varda-register --usb-ids; run it again to change the list.\n";
    for (const UsbId& id : ids) {
        text += "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"" + Hex4(id.vendor) + "\", ATTR{idProduct}==\"" +
                Hex4(id.product) + "\", TAG+=\"uaccess\"\n";
    }
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !(out << text) || !out.flush()) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) std::filesystem::remove(temp, ec);
    return !ec;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    std::vector<UsbId> ids;
    std::string idsText;
    std::string rules;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--usb-ids" || arg == "--udev-rules") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "varda-register: %s needs a value\n%s", argv[i], kUsage);
                return 2;
            }
            (arg == "--usb-ids" ? idsText : rules) = argv[++i];
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "varda-register: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
        positional.emplace_back(arg);
    }
    if (positional.size() != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!idsText.empty() && !ParseIds(idsText, ids)) {
        std::fprintf(stderr, "varda-register: USB ids must be VID:PID in hexadecimal, comma-separated: %s\n",
                     idsText.c_str());
        return 2;
    }
    if (!rules.empty() && ids.empty()) {
        std::fprintf(stderr, "varda-register: --udev-rules needs --usb-ids\n");
        return 2;
    }
    const std::string& type = positional[1];
    char* end = nullptr;
    const unsigned long value = std::strtoul(type.c_str(), &end, 10);
    if (type.empty() || *end != '\0' || !std::isdigit(static_cast<unsigned char>(type[0])) || value > 0xFFFFFFFFul) {
        std::fprintf(stderr, "varda-register: device type must be a decimal number: %s\n", type.c_str());
        return 2;
    }
    const std::string key = "SOFTWARE\\BRAMWELL\\VARDA\\" + std::to_string(value);
    if (!platform::RegWriteString(positional[0], key, "DLL", positional[2])) {
        std::fprintf(stderr, "varda-register: cannot write %s\n", positional[0].c_str());
        return 1;
    }
    if (!ids.empty()) {
        std::string list;
        for (const UsbId& id : ids) list += (list.empty() ? "" : ",") + Hex4(id.vendor) + ":" + Hex4(id.product);
        if (!platform::RegWriteString(positional[0], key, "UsbIds", list)) {
            std::fprintf(stderr, "varda-register: cannot write %s\n", positional[0].c_str());
            return 1;
        }
        if (rules.empty()) rules = kDefaultRules;
        if (!WriteRules(rules, ids)) {
            std::fprintf(stderr, "varda-register: cannot write the udev rule %s\n", rules.c_str());
            return 1;
        }
    }
    return 0;
}
