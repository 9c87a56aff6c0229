#include "platform/ini_file.h"

#include "platform/file_bytes.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <unistd.h>

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

}  // namespace

int32_t ParseProfileInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;  // saturate
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

bool IniFile::Load(const std::string& path) {
    lines_.clear();
    std::optional<std::string> text = ReadFileBytes(path);
    if (!text) return false;
    Parse(*text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    lines_.clear();
    eol_ = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    lines_.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view raw = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        Line line;
        line.text = std::string(raw);
        std::string_view t = Trim(raw);
        if (!t.empty() && t.front() == '[') {
            size_t close = t.find(']');
            line.kind = Line::Kind::Header;
            line.section =
                std::string(Trim(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
        } else if (!t.empty() && t.front() != ';') {
            size_t eq = t.find('=');
            if (eq != std::string_view::npos) {
                line.kind = Line::Kind::Entry;
                line.key = std::string(Trim(t.substr(0, eq)));
                std::string_view v = Trim(t.substr(eq + 1));
                if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
                    v = v.substr(1, v.size() - 2);
                line.value = std::string(v);
            }
        }
        lines_.push_back(std::move(line));
    }
}

std::optional<std::string> IniFile::Find(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Line::Kind::Header) {
            inSection = EqualNoCase(line.section, section);
        } else if (inSection && line.kind == Line::Kind::Entry && EqualNoCase(line.key, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

std::map<std::string, std::string, std::less<>> IniFile::Section(std::string_view section) const {
    std::map<std::string, std::string, std::less<>> entries;
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Line::Kind::Header) {
            inSection = EqualNoCase(line.section, section);
        } else if (inSection && line.kind == Line::Kind::Entry) {
            std::string key = line.key;
            std::transform(key.begin(), key.end(), key.begin(), Lower);
            entries.try_emplace(std::move(key), line.value);  // the first matching key wins
        }
    }
    return entries;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    Line entry;
    entry.kind = Line::Kind::Entry;
    entry.key = std::string(key);
    entry.value = std::string(value);
    entry.text = entry.key + "=" + entry.value;

    bool inSection = false;
    size_t sectionEnd = lines_.size();  // insertion point after the last entry of the section
    bool found = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Kind::Header) {
            if (inSection) break;  // only the first matching section is used
            inSection = EqualNoCase(line.section, section);
            if (inSection) {
                found = true;
                sectionEnd = i + 1;
            }
        } else if (inSection) {
            if (line.kind == Line::Kind::Entry) {
                if (EqualNoCase(line.key, key)) {
                    entry.key = line.key;  // keep the spelling of the file
                    entry.text = entry.key + "=" + entry.value;
                    lines_[i] = std::move(entry);
                    return;
                }
                sectionEnd = i + 1;
            }
        }
    }
    if (found) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd), std::move(entry));
        return;
    }
    Line header;
    header.kind = Line::Kind::Header;
    header.section = std::string(section);
    header.text = "[" + header.section + "]";
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(entry));
}

std::string IniFile::Serialize() const {
    std::string out;
    for (const Line& line : lines_) {
        out += line.text;
        out += eol_;
    }
    return out;
}

bool IniFile::Save(const std::string& path) const {
    const std::string temp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        const std::string text = Serialize();
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

uint32_t GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                                 std::span<char> out, const std::string& path) {
    if (out.empty()) return 0;
    IniFile file;
    file.Load(path);
    std::optional<std::string> value = file.Find(section, key);
    std::string_view text = value ? std::string_view(*value) : Trim(def);
    size_t n = std::min(text.size(), out.size() - 1);
    std::copy_n(text.data(), n, out.data());
    out[n] = '\0';
    return static_cast<uint32_t>(n);
}

int32_t GetPrivateProfileInt(std::string_view section, std::string_view key, int32_t def, const std::string& path) {
    IniFile file;
    file.Load(path);
    std::optional<std::string> value = file.Find(section, key);
    if (!value) return def;
    return ParseProfileInt(*value);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& path) {
    IniFile file;
    file.Load(path);  // a missing file is created
    file.Set(section, key, value);
    return file.Save(path);
}

}  // namespace platform
