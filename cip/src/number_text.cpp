#include "number_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace cip::detail {

std::optional<long double> ParseNumber(std::string_view text, bool allowFloat) {
    const std::string s(text);
    if (s.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    if (hex || !allowFloat) {
        if (s[0] == '-') {
            const long long v = std::strtoll(s.c_str(), &end, 0);
            if (errno != 0 || end == s.c_str() || *end != '\0') return std::nullopt;
            return static_cast<long double>(v);
        }
        const unsigned long long v = std::strtoull(s.c_str(), &end, 0);
        if (errno != 0 || end == s.c_str() || *end != '\0' || s[0] == '+') return std::nullopt;
        return static_cast<long double>(v);
    }
    const long double v = std::strtold(s.c_str(), &end);
    if (errno != 0 || end == s.c_str() || *end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace cip::detail
