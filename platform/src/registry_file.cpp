#include "platform/registry_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/hex_digits.h"

namespace platform {

namespace {

constexpr std::string_view kRootPrefix = "HKEY_LOCAL_MACHINE\\";

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// Reads a quoted string starting at s[0] == '"'. Returns false when the closing quote is missing.
bool ReadQuoted(std::string_view s, std::size_t& pos, std::string& out) {
    out.clear();
    pos = 1;
    while (pos < s.size()) {
        char c = s[pos];
        if (c == '\\' && pos + 1 < s.size()) {
            out.push_back(s[pos + 1]);
            pos += 2;
            continue;
        }
        if (c == '"') {
            ++pos;
            return true;
        }
        out.push_back(c);
        ++pos;
    }
    return false;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>& out) {
    out.clear();
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
        if (i >= text.size()) break;
        if (i + 1 >= text.size()) return false;
        int hi = HexDigitValue(text[i]);
        int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        i += 2;
        if (i < text.size() && text[i] != ',' && text[i] != ' ' && text[i] != '\t') return false;
    }
    return true;
}

// Parses the data part of a value line (after '='). Returns false when it cannot be understood.
bool ParseData(std::string_view data, RegValue& value) {
    data = Trim(data);
    if (!data.empty() && data.front() == '"') {
        std::size_t end = 0;
        std::string text;
        if (!ReadQuoted(data, end, text)) return false;
        if (!Trim(data.substr(end)).empty()) return false;
        value.type = RegType::Sz;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    if (StartsWithNoCase(data, "dword:")) {
        std::string_view digits = data.substr(6);
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t v = 0;
        for (char c : digits) {
            if (HexDigitValue(c) < 0) return false;
            v = v * 16 + static_cast<uint32_t>(HexDigitValue(c));
        }
        value.type = RegType::Dword;
        value.data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                      static_cast<uint8_t>(v >> 24)};
        return true;
    }
    if (StartsWithNoCase(data, "hex:")) {
        value.type = RegType::Binary;
        return ParseHexBytes(data.substr(4), value.data);
    }
    if (StartsWithNoCase(data, "hex(")) {
        std::size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        uint32_t type = 0;
        for (char c : data.substr(4, close - 4)) {
            if (HexDigitValue(c) < 0) return false;
            type = type * 16 + static_cast<uint32_t>(HexDigitValue(c));
        }
        value.type = static_cast<RegType>(type);
        return ParseHexBytes(data.substr(close + 2), value.data);
    }
    return false;
}

}  // namespace

const RegValue* RegKey::FindValue(std::string_view name) const {
    for (const auto& v : values) {
        if (EqualNoCase(v.name, name)) return &v;
    }
    return nullptr;
}

RegKey& RegistryDocument::KeyFor(std::string_view path) {
    for (auto& k : keys_) {
        if (EqualNoCase(k.path, path)) return k;
    }
    keys_.push_back(RegKey{std::string(path), {}});
    return keys_.back();
}

bool RegistryDocument::Parse(std::string_view text) {
    keys_.clear();
    problems_.clear();
    if (text.size() >= 3 && static_cast<uint8_t>(text[0]) == 0xEF && static_cast<uint8_t>(text[1]) == 0xBB &&
        static_cast<uint8_t>(text[2]) == 0xBF) {
        text.remove_prefix(3);
    }

    // Split into logical lines: a line ending in '\' continues on the next one (hex data).
    std::vector<std::string> lines;
    std::string current;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view raw = text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        current.append(Trim(raw));
        if (!current.empty() && current.back() == '\\' && current.find("=hex") != std::string::npos) {
            current.pop_back();
        } else {
            lines.push_back(std::move(current));
            current.clear();
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (!current.empty()) lines.push_back(std::move(current));

    std::size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    if (first == lines.size() ||
        (lines[first] != "Windows Registry Editor Version 5.00" && lines[first] != "REGEDIT4")) {
        problems_.push_back("missing registry header");
        return false;
    }

    RegKey* key = nullptr;
    for (std::size_t i = first + 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            key = nullptr;
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                problems_.push_back("bad key line: " + std::string(line));
                continue;
            }
            std::string_view path = line.substr(1, line.size() - 2);
            if (!StartsWithNoCase(path, kRootPrefix)) {
                problems_.push_back("key outside HKEY_LOCAL_MACHINE: " + std::string(line));
                continue;
            }
            key = &KeyFor(path.substr(kRootPrefix.size()));
            continue;
        }
        if (key == nullptr) {
            problems_.push_back("value outside a key: " + std::string(line));
            continue;
        }
        RegValue value;
        std::size_t afterName = 0;
        if (line.front() == '@') {
            afterName = 1;
        } else if (line.front() == '"') {
            if (!ReadQuoted(line, afterName, value.name)) {
                problems_.push_back("unterminated name: " + std::string(line));
                continue;
            }
        } else {
            problems_.push_back("unreadable line: " + std::string(line));
            continue;
        }
        std::string_view rest = Trim(line.substr(afterName));
        if (rest.empty() || rest.front() != '=') {
            problems_.push_back("value without data: " + std::string(line));
            continue;
        }
        rest.remove_prefix(1);
        if (Trim(rest) == "-") {
            problems_.push_back("value deletion ignored: " + std::string(line));
            continue;
        }
        if (!ParseData(rest, value)) {
            problems_.push_back("unreadable value data: " + std::string(line));
            continue;
        }
        bool replaced = false;
        for (auto& existing : key->values) {
            if (EqualNoCase(existing.name, value.name)) {
                existing = value;
                replaced = true;
                break;
            }
        }
        if (!replaced) key->values.push_back(std::move(value));
    }
    return true;
}

const RegKey* RegistryDocument::FindKey(std::string_view path) const {
    for (const auto& k : keys_) {
        if (EqualNoCase(k.path, path)) return &k;
    }
    return nullptr;
}

void RegistryDocument::SetString(std::string_view keyPath, std::string_view name, std::string_view value) {
    RegKey& key = KeyFor(keyPath);
    RegValue v{std::string(name), RegType::Sz, std::vector<uint8_t>(value.begin(), value.end())};
    v.data.push_back(0);
    for (auto& existing : key.values) {
        if (EqualNoCase(existing.name, name)) {
            existing = std::move(v);
            return;
        }
    }
    key.values.push_back(std::move(v));
}

std::string RegistryDocument::Serialize() const {
    std::ostringstream out;
    out << "Windows Registry Editor Version 5.00\n";
    auto quote = [](std::string_view s) {
        std::string q = "\"";
        for (char c : s) {
            if (c == '"' || c == '\\') q.push_back('\\');
            q.push_back(c);
        }
        q.push_back('"');
        return q;
    };
    for (const auto& key : keys_) {
        out << "\n[" << kRootPrefix << key.path << "]\n";
        for (const auto& v : key.values) {
            out << (v.name.empty() ? std::string("@") : quote(v.name)) << '=';
            if (v.type == RegType::Sz) {
                std::string_view s(reinterpret_cast<const char*>(v.data.data()), v.data.size());
                if (!s.empty() && s.back() == '\0') s.remove_suffix(1);
                out << quote(s);
            } else if (v.type == RegType::Dword && v.data.size() == 4) {
                char buf[16];
                uint32_t d = static_cast<uint32_t>(v.data[0]) | (static_cast<uint32_t>(v.data[1]) << 8) |
                             (static_cast<uint32_t>(v.data[2]) << 16) | (static_cast<uint32_t>(v.data[3]) << 24);
                std::snprintf(buf, sizeof buf, "dword:%08x", d);
                out << buf;
            } else {
                if (v.type == RegType::Binary) {
                    out << "hex:";
                } else {
                    out << "hex(" << std::hex << static_cast<uint32_t>(v.type) << std::dec << "):";
                }
                for (std::size_t i = 0; i < v.data.size(); ++i) {
                    char buf[4];
                    std::snprintf(buf, sizeof buf, "%02x", v.data[i]);
                    out << (i ? "," : "") << buf;
                }
            }
            out << '\n';
        }
    }
    return out.str();
}

std::string RegistryFilePath() {
    const char* env = std::getenv("VARDA_REGISTRY");
    if (env != nullptr && *env != '\0') return env;
    return "/etc/varda/registry.reg";
}

namespace {

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

}  // namespace

int RegOpenKey(std::string_view subKey, RegKey& out) {
    std::string text;
    if (!ReadFile(RegistryFilePath(), text)) return kRegNotFound;
    RegistryDocument doc;
    if (!doc.Parse(text)) return kRegInvalidData;
    const RegKey* key = doc.FindKey(subKey);
    if (key == nullptr) return kRegNotFound;
    out = *key;
    return kRegOk;
}

int RegQueryValue(const RegKey& key, std::string_view name, RegType& type, std::span<uint8_t> buffer, uint32_t& size) {
    const RegValue* v = key.FindValue(name);
    if (v == nullptr) {
        type = RegType::None;
        size = 0;
        return kRegNotFound;
    }
    type = v->type;
    size = static_cast<uint32_t>(v->data.size());
    if (v->data.size() > buffer.size()) return kRegMoreData;
    std::copy(v->data.begin(), v->data.end(), buffer.begin());
    return kRegOk;
}

bool RegWriteString(const std::string& filePath, std::string_view subKey, std::string_view name,
                    std::string_view value) {
    RegistryDocument doc;
    std::string text;
    if (ReadFile(filePath, text)) doc.Parse(text);
    doc.SetString(subKey, name, value);
    std::ofstream out(filePath, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << doc.Serialize();
    return static_cast<bool>(out.flush());
}

}  // namespace platform
