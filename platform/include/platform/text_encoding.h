// Text inside the program is UTF-8. Bytes from files written on Chinese systems are GB18030
// (a superset of GBK); these helpers move text between the two.
#pragma once

#include <string>
#include <string_view>

namespace platform {

bool IsValidUtf8(std::string_view bytes);

// Valid UTF-8 is returned unchanged; anything else is decoded as GB18030. Bytes that are not
// valid GB18030 either become U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(std::string_view bytes);

// UTF-8 to GB18030 for files that must stay readable by the older tools. Invalid UTF-8
// sequences become '?'.
std::string Utf8ToGb18030(std::string_view utf8);

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// `text` without a UTF-8 sequence that is cut off at its end (what a byte-bounded formatter
// leaves behind).
std::string_view DropIncompleteTail(std::string_view text);

}  // namespace platform
