// INI files with the semantics of the Win32 profile functions that the program relies on:
// section and key names compare case-insensitively, the first matching key wins, values are
// trimmed of surrounding blanks (and of one pair of enclosing quotes), and integers are read
// as decimal text up to the first byte that is not a digit, so "12 ; comment" reads 12.
//
// Lines are "[section]" headers and "key=value" entries; lines starting with ';' and lines
// without '=' are ignored. Files are byte strings: no encoding conversion happens here.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IniFile {
public:
    // Reads and parses the file. Returns false when it cannot be read (the document is empty).
    bool Load(const std::string& path);
    void Parse(std::string_view text);

    // The value text of a key, trimmed; nullopt when the section or key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // Every key of the sections named `section`, lower-cased, with the value Find gives for it:
    // one pass over the document for callers that look up many keys of one section.
    std::map<std::string, std::string, std::less<>> Section(std::string_view section) const;

    // Replaces the value of the first matching key, or appends the key to the first matching
    // section, or appends a new section at the end.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::string Serialize() const;
    // Writes the document to a temporary file beside `path` and renames it over `path`.
    bool Save(const std::string& path) const;

private:
    struct Line {
        std::string text;  // the line as read, without its line end
        std::string section;  // for header lines: the section name
        std::string key;  // for entry lines: the key name, trimmed
        std::string value;  // for entry lines: the value, trimmed, quotes removed
        enum class Kind { Other, Header, Entry } kind = Kind::Other;
    };
    std::vector<Line> lines_;
    std::string eol_ = "\n";
};

// GetPrivateProfileString: copies the value (or `def` when missing) into `out`, cut to
// out.size() - 1 bytes and zero-terminated; returns the number of bytes copied.
uint32_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                 std::span<char> out, const std::string& path);

// GetPrivateProfileInt: the decimal number at the start of the value (optional blanks and
// sign, then digits up to the first non-digit); `def` when the key is missing; 0 when the
// value does not start with a number. Out-of-range values saturate.
int32_t GetPrivateProfileInt(std::string_view section, std::string_view key, int32_t def, const std::string& path);

// WritePrivateProfileString: sets one key, creating the file or section when needed.
bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path);

// Reads a decimal integer the way the profile functions do (see GetPrivateProfileInt).
int32_t ParseProfileInt(std::string_view text);

}  // namespace platform
