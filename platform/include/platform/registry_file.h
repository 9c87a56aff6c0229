// The system registry as a text file in the format of registry exports:
//
//   Windows Registry Editor Version 5.00        (or REGEDIT4)
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\BRAMWELL\VARDA\101]
//   "DLL"="/usr/lib/libtamsen.so"                (REG_SZ)
//   "Other"=hex(2):41,00,42,00                   (REG_EXPAND_SZ; hex(n) is type n)
//   "Count"=dword:0000000a                       (REG_DWORD)
//
// The file is $VARDA_REGISTRY, else /etc/varda/registry.reg. Key and value names compare
// case-insensitively. Lines that cannot be understood are skipped and listed in `problems`.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegType : uint32_t { None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, MultiSz = 7 };

// System error numbers the registry functions return (those of the original platform).
inline constexpr int kRegOk = 0;
inline constexpr int kRegNotFound = 2;  // file, key or value missing
inline constexpr int kRegInvalidData = 13;  // the file is not a registry file
inline constexpr int kRegMoreData = 234;  // the value does not fit the caller's buffer

struct RegValue {
    std::string name;  // "" is the default value (@)
    RegType type = RegType::None;
    std::vector<uint8_t> data;  // REG_SZ data includes its terminating zero
};

struct RegKey {
    std::string path;  // below the root, e.g. SOFTWARE\BRAMWELL\VARDA\101
    std::vector<RegValue> values;

    const RegValue* FindValue(std::string_view name) const;
};

class RegistryDocument {
public:
    // Parses a registry file. Returns false when the first line is not a registry header; the
    // document then holds no keys.
    bool Parse(std::string_view text);

    // Keys below HKEY_LOCAL_MACHINE, found case-insensitively.
    const RegKey* FindKey(std::string_view path) const;

    // Creates or replaces a REG_SZ value, creating the key when needed.
    void SetString(std::string_view keyPath, std::string_view name, std::string_view value);

    // The document as a registry file (version 5.00 header).
    std::string Serialize() const;

    const std::vector<std::string>& Problems() const { return problems_; }
    const std::vector<RegKey>& Keys() const { return keys_; }

private:
    RegKey& KeyFor(std::string_view path);
    std::vector<RegKey> keys_;
    std::vector<std::string> problems_;
};

// The registry file's path: $VARDA_REGISTRY or /etc/varda/registry.reg.
std::string RegistryFilePath();

// Opens HKEY_LOCAL_MACHINE\<subKey> from the registry file. Returns kRegOk, kRegNotFound (no
// file or no key) or kRegInvalidData (no registry header).
int RegOpenKey(std::string_view subKey, RegKey& out);

// Reads a value into `buffer`. `size` receives the value's size in bytes. Returns kRegOk,
// kRegNotFound or kRegMoreData (buffer too small; nothing copied).
int RegQueryValue(const RegKey& key, std::string_view name, RegType& type, std::span<uint8_t> buffer, uint32_t& size);

// Sets a REG_SZ value in the registry file at `filePath`, keeping every other key and value.
// Returns false when the file cannot be written.
bool RegWriteString(const std::string& filePath, std::string_view subKey, std::string_view name,
                    std::string_view value);

}  // namespace platform
