#include "services/status_texts.h"

#include <algorithm>
#include <iterator>
#include <span>

#include "resources/resource_ids.h"
#include "resources/resource_manager.h"

namespace name_share {

namespace {

using resource_ids::kExplicitStatusTextBase;
using resource_ids::kStatusTextBase;

// Codes that have a text; the texts are strings kStatusTextBase + code and
// kExplicitStatusTextBase + code of the built-in resources.
constexpr int32_t kStatusCodes[] = {0,  2,  4,  8,  9,  11, 12, 14, 16, 17, 19, 20, 21, 22, 32, 40, 41, 42,
                                    43, 44, 45, 46, 47, 48, 49, 50, 52, 54, 55, 56, 57, 59, 60, 61, 62, 63,
                                    64, 65, 66, 67, 70, 71, 72, 73, 74, 75, 76, 77, 78, 79, 80, 81, 82, 83,
                                    84, 86, 87, 88, 89, 90, 91, 92, 93, 95, 96, 97, 98, 99, 100};
constexpr int32_t kExplicitStatusCodes[] = {1, 2, 4, 8, 9, 11, 12, 14, 16, 17, 19, 20, 21, 22, 32, 37, 38, 40};

CodeTextMap FromBuiltin(std::span<const int32_t> codes, uint32_t base) {
    const auto& strings = BuiltinStrings();
    CodeTextMap table;
    for (int32_t code : codes) {
        auto it = strings.find(base + static_cast<uint32_t>(code));
        if (it != strings.end()) table.emplace(code, it->second.c_str());
    }
    return table;
}

}  // namespace

const CodeTextMap& BuildStatusTexts() {
    static const CodeTextMap table = FromBuiltin(kStatusCodes, kStatusTextBase);
    return table;
}

const CodeTextMap& BuildExplicitStatusTexts() {
    static const CodeTextMap table = FromBuiltin(kExplicitStatusCodes, kExplicitStatusTextBase);
    return table;
}

uint32_t StatusTextId(int32_t code) {
    return std::ranges::find(kStatusCodes, code) == std::end(kStatusCodes)
               ? 0
               : kStatusTextBase + static_cast<uint32_t>(code);
}

uint32_t ExplicitStatusTextId(int32_t code) {
    return std::ranges::find(kExplicitStatusCodes, code) == std::end(kExplicitStatusCodes)
               ? 0
               : kExplicitStatusTextBase + static_cast<uint32_t>(code);
}

}  // namespace name_share
