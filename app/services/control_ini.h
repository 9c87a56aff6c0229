// Accessor of one INI file (through the platform INI reader).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace name_share {

class CControlIni {
public:
    CControlIni() = default;
    explicit CControlIni(std::string path) : path_(std::move(path)) {}

    void SetPath(std::string path) { path_ = std::move(path); }
    const std::string& GetPath() const { return path_; }

    // Reads the key's text (at most 254 bytes). Missing or empty: `result` = `def`, returns 0.
    // Otherwise the text is read as decimal (or hexadecimal when `hex`), returns 1.
    int ReadInt(std::string_view section, std::string_view key, int32_t& result, bool hex = false,
                int32_t def = 0) const;
    // Copies the value (or `def`) into `buffer`, cut to size - 1 bytes and zero-terminated;
    // returns the number of bytes copied. Text is converted to UTF-8.
    uint32_t ReadString(std::string_view section, std::string_view key, std::span<char> buffer,
                        std::string_view def = {}) const;
    // The value (or `def`) as UTF-8 text of at most maxBytes bytes.
    std::string ReadString(std::string_view section, std::string_view key, size_t maxBytes,
                           std::string_view def = {}) const;
    // Writes the value as decimal (or upper-case hexadecimal when `hex`) text.
    bool WriteInt(std::string_view section, std::string_view key, int32_t value, bool hex = false) const;
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) const;

private:
    std::string path_;
};

}  // namespace name_share
