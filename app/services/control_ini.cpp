#include "services/control_ini.h"

#include <array>
#include <cstdio>

#include "platform/hex_digits.h"
#include "platform/ini_file.h"
#include "platform/text_encoding.h"

namespace name_share {

namespace {

uint32_t ReadHexText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int d = platform::HexDigitValue(c);
        if (d < 0) break;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) value = UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

int CControlIni::ReadInt(std::string_view section, std::string_view key, int32_t& result, bool hex, int32_t def) const {
    std::array<char, 255> buffer{};
    uint32_t n = platform::GetPrivateProfileString(section, key, "", buffer, path_);
    if (n == 0) {
        result = def;
        return 0;
    }
    std::string_view text(buffer.data(), n);
    result = hex ? static_cast<int32_t>(ReadHexText(text)) : platform::ParseProfileInt(text);
    return 1;
}

uint32_t CControlIni::ReadString(std::string_view section, std::string_view key, std::span<char> buffer,
                                 std::string_view def) const {
    if (buffer.empty()) return 0;
    std::string text = ReadString(section, key, buffer.size() - 1, def);
    std::copy(text.begin(), text.end(), buffer.begin());
    buffer[text.size()] = '\0';
    return static_cast<uint32_t>(text.size());
}

std::string CControlIni::ReadString(std::string_view section, std::string_view key, size_t maxBytes,
                                    std::string_view def) const {
    platform::IniFile file;
    file.Load(path_);
    std::optional<std::string> value = file.Find(section, key);
    std::string text = value ? platform::ToUtf8(*value) : std::string(def);
    return platform::CutUtf8(text, maxBytes);
}

bool CControlIni::WriteInt(std::string_view section, std::string_view key, int32_t value, bool hex) const {
    char text[16];
    if (hex) std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    else std::snprintf(text, sizeof text, "%d", value);
    return platform::WritePrivateProfileString(section, key, text, path_);
}

bool CControlIni::WriteString(std::string_view section, std::string_view key, std::string_view value) const {
    return platform::WritePrivateProfileString(section, key, value, path_);
}

}  // namespace name_share
