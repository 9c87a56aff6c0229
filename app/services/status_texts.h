// The code tables that turn master-API results and slave states into texts.
#pragma once

#include <cstdint>
#include <map>

namespace name_share {

using CodeTextMap = std::map<int32_t, const char*>;

// Master-API error codes, slave (scanner) status codes and CIP general status codes. Both tables
// point into the built-in strings, which never change: each is built once and shared.
const CodeTextMap& BuildStatusTexts();
// CIP general status codes of an explicit-message reply, shorter wording.
const CodeTextMap& BuildExplicitStatusTexts();
// The string id of the text of `code` in each table (0 when the table has no text for it).
uint32_t StatusTextId(int32_t code);
uint32_t ExplicitStatusTextId(int32_t code);

// The built-in forms of strings kTextApiErrorTemplate and kTextExplicitErrorTemplate.
inline constexpr const char* kApiErrorTemplate = "%s\n\n错误号:%d(%s)";
inline constexpr const char* kExplicitErrorTemplate = "%s\n\n错误码:%d(%s)";
// What a missing text reads as inside a composed message.
inline constexpr const char* kMissingText = "(null)";

// String ids of the message-box captions.
inline constexpr uint32_t IDS_CAPTION_INFO = 10004;
inline constexpr uint32_t IDS_CAPTION_ERROR = 10005;
inline constexpr uint32_t IDS_CAPTION_WARNING = 10006;

}  // namespace name_share
