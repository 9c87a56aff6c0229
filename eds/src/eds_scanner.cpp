// The byte scanner of EDS files: one pass, one byte at a time, the first matching rule wins.
#include <string>
#include <string_view>

#include "eds/eds_file.h"

namespace DeviceNetEDS {
namespace {

int32_t FixedSectionNumber(std::string_view name) {
    static constexpr std::string_view kNames[] = {"File", "Device", "ParamClass", "IO_Info",
                                                  "Params", "EnumPar", "Groups", "Assembly"};
    for (int32_t i = 0; i < 8; ++i)
        if (name == kNames[i]) return i;
    return -1;
}

bool IsBlankOrLineEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

ScanResult ScanEds(std::string_view bytes) {
    ScanResult result;
    bool inComment = false, inHeader = false, sectionOpen = false, inValue = false;
    bool inQuotes = false, escapePending = false;
    std::string header, key, value;
    int32_t current = kFileSection;

    auto entriesOf = [&](int32_t number) -> EntryMap& {
        if (number < kFirstOther) return result.fixed[static_cast<size_t>(number)];
        return result.others[number];
    };

    for (char c : bytes) {
        // 1. A comment starts anywhere outside quotes.
        if (c == '$' && !inComment && !inQuotes) {
            inComment = true;
            continue;
        }
        // 2. A comment runs to the next CR or LF, which it swallows.
        if (inComment) {
            if (c == '\r' || c == '\n') inComment = false;
            continue;
        }
        // 3. Header start.
        if (c == '[' && !inQuotes && !inHeader) {
            inHeader = true;
            sectionOpen = false;
            continue;
        }
        // 4. Header end: the header text names the section.
        if (c == ']' && !inQuotes && inHeader) {
            inHeader = false;
            int32_t number = FixedSectionNumber(header);
            if (number < 0) {
                number = kFirstOther + result.otherCounter++;
                auto [it, inserted] = result.otherIndex.try_emplace(header, number);
                if (!inserted) {
                    // A repeated other section replaces the earlier one and its entries.
                    result.others.erase(it->second);
                    it->second = number;
                }
            }
            current = number;
            header.clear();
            sectionOpen = true;
            continue;
        }
        // 5. '=' separates key and value.
        if (c == '=' && !inQuotes) {
            inValue = true;
            continue;
        }
        // 6. ';' ends the entry.
        if (c == ';' && !inQuotes) {
            // Text outside any section (before the first header, or after an unclosed '[')
            // collects nothing; an empty entry there is not stored.
            if (sectionOpen || !key.empty() || !value.empty()) entriesOf(current)[key] = value;
            key.clear();
            value.clear();
            inValue = false;
            continue;
        }
        // 7. Quote opens; adjacent quoted strings are joined.
        if (c == '"' && !inQuotes && !escapePending) {
            inQuotes = true;
            if (!value.empty() && value.back() == '"') {
                value.pop_back();
                continue;
            }
        }
        // 8. Quote closes.
        else if (c == '"' && inQuotes && !escapePending) {
            inQuotes = false;
        }
        // 9. Escape inside quotes.
        else if (c == '\\' && inQuotes && !escapePending) {
            escapePending = true;
            continue;
        }
        // 10. The escaped byte.
        else if (escapePending) {
            escapePending = false;
            if (c == 'n') c = '\n';
            else if (c == 't') c = '\t';
        }
        // 11. Collection.
        if (inHeader) {
            header.push_back(c);
        } else if (sectionOpen && !inValue) {
            if (!IsBlankOrLineEnd(c)) key.push_back(c);
        } else if (sectionOpen && inValue) {
            if (inQuotes) {
                if (c == '\n') value.push_back('\r');
                value.push_back(c);
            } else if (!IsBlankOrLineEnd(c)) {
                value.push_back(c);
            }
        }
    }
    return result;
}

}  // namespace DeviceNetEDS
