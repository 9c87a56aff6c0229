// The program's fixed texts in the user's language. Each text is a string of the resources
// (ids in resource_ids.h, built-in Chinese in builtin.xml); a language file translates it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "resources/resource_ids.h"

namespace resources {

// String `id` of the installed language, else the built-in one; "" when neither has it.
std::string Text(uint32_t id);

// String `id` as a printf format: the language's text when its conversions (%d, %s, ...) are
// those of the built-in text in the same order, else the built-in text, so a translation can
// never make the formatting read arguments of the wrong kind.
std::string TextFormat(uint32_t id);

// Composed texts (messages, log lines) hold at most this many bytes less one.
inline constexpr size_t kComposedTextBytes = 1024;

// printf formatting of a composed text: cut to kComposedTextBytes - 1 bytes, never inside a
// UTF-8 character.
std::string FormatBounded(const char* format, va_list args);

// Formats string `id` (TextFormat) with the arguments; at most 1023 bytes.
std::string FormatText(uint32_t id, ...);
std::string FormatTextV(uint32_t id, va_list args);

// The installed language's text for a text of the built-in resources (the core keeps status
// texts in their built-in form); a text the resources do not hold comes back unchanged.
std::string Localized(std::string_view builtinText);

// The conversions of a printf format in order ("%d%s" for "a %d b %-5s %%").
std::string FormatConversions(std::string_view format);

}  // namespace resources
