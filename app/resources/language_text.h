// The text of a language file as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace resources {

// Language files are UTF-8. A file whose XML declaration names GB2312, GBK or GB18030, or
// whose bytes are not valid UTF-8, is decoded as GB18030 (files made on Chinese systems). A file
// that starts with a UTF-16 byte-order mark is decoded as UTF-16.
std::string LanguageFileText(std::string_view bytes);

// The encoding named by the XML declaration at the start of `bytes` ("" when none).
std::string DeclaredEncoding(std::string_view bytes);

}  // namespace resources
