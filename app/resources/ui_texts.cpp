#include "resources/ui_texts.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "platform/text_encoding.h"
#include "resources/resource_manager.h"

namespace resources {

std::string Text(uint32_t id) {
    std::string text;
    if (CurrentResourceManager()->LoadString(text, id)) return text;
    const auto& builtin = BuiltinStrings();
    auto it = builtin.find(id);
    return it == builtin.end() ? std::string() : it->second;
}

std::string FormatConversions(std::string_view format) {
    std::string conversions;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        size_t j = i + 1;
        // flags, width, precision and length, then the conversion letter
        while (j < format.size() &&
               std::string_view("-+ #0123456789.*hlLqjzt").find(format[j]) != std::string_view::npos) {
            if (format[j] == '*') conversions += '*';
            ++j;
        }
        if (j >= format.size()) break;
        if (format[j] != '%') {
            conversions += '%';
            conversions.append(format.substr(i + 1, j - i));
        }
        i = j;
    }
    return conversions;
}

std::string TextFormat(uint32_t id) {
    const auto& builtin = BuiltinStrings();
    auto it = builtin.find(id);
    std::string text = Text(id);
    if (it == builtin.end() || FormatConversions(text) == FormatConversions(it->second)) return text;
    return it->second;
}

std::string FormatBounded(const char* format, va_list args) {
    char buffer[kComposedTextBytes];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
#pragma GCC diagnostic pop
    if (n < 0) return {};
    std::string_view text(buffer, std::min(static_cast<size_t>(n), sizeof buffer - 1));
    // A cut text must not end inside a character.
    if (static_cast<size_t>(n) >= sizeof buffer) text = platform::DropIncompleteTail(text);
    return std::string(text);
}

std::string FormatTextV(uint32_t id, va_list args) {
    // The format is checked against the built-in one, which the callers' arguments match.
    return FormatBounded(TextFormat(id).c_str(), args);
}

std::string FormatText(uint32_t id, ...) {
    va_list args;
    va_start(args, id);
    std::string text = FormatTextV(id, args);
    va_end(args);
    return text;
}

std::string Localized(std::string_view builtinText) {
    // The built-in texts by value, the lowest id first where several strings share a text.
    static const std::unordered_map<std::string_view, uint32_t> ids = [] {
        std::unordered_map<std::string_view, uint32_t> byText;
        for (const auto& [id, text] : BuiltinStrings()) byText.emplace(text, id);
        return byText;
    }();
    auto it = ids.find(builtinText);
    if (it == ids.end()) return std::string(builtinText);
    return Text(it->second);
}

}  // namespace resources
