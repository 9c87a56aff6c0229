// The fixed texts the network model keeps in their built-in form. Every other text it reports
// with is a string of the resources (resource_ids.h), formatted in the user's language.
#pragma once

namespace model_text {

// The context of a failed close: a function name, the same in every language.
inline constexpr const char* kCloseFailed = "VARDA_Close";

// A slave's status while its master is not running: the built-in form of string
// kTextMasterNotStarted, which the window shows in the user's language.
inline constexpr const char* kMasterNotStarted = "主站未启动";

}  // namespace model_text
