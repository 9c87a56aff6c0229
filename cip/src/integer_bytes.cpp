#include "integer_bytes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "cip/data_type.h"

namespace cip::detail {

void PutInteger(std::span<uint8_t> out, uint64_t bits, std::size_t width) {
    for (std::size_t i = 0; i < width && i < out.size(); ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

uint64_t GetUnsigned(std::span<const uint8_t> in, std::size_t width) {
    uint64_t bits = 0;
    for (std::size_t i = 0; i < width && i < in.size(); ++i) bits |= static_cast<uint64_t>(in[i]) << (8 * i);
    return bits;
}

int64_t GetSigned(std::span<const uint8_t> in, std::size_t width) {
    uint64_t bits = GetUnsigned(in, width);
    if (width > 0 && width < 8 && ((bits >> (8 * width - 1)) & 1) != 0) bits |= ~uint64_t{0} << (8 * width);
    return static_cast<int64_t>(bits);
}

uint64_t SaturatedBits(long double value, bool isSigned, std::size_t width) {
    if (std::isnan(value) || width == 0) return 0;
    width = std::min<std::size_t>(width, 8);
    const Range range = IntegerRange(isSigned, width);
    if (value <= range.minimum) {
        if (!isSigned) return 0;
        return width == 8 ? static_cast<uint64_t>(std::numeric_limits<int64_t>::min())
                          : ~uint64_t{0} << (8 * width - 1);
    }
    if (value >= range.maximum) {
        if (isSigned) return (uint64_t{1} << (8 * width - 1)) - 1;
        return width == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * width)) - 1;
    }
    // Inside the range the integer part converts exactly.
    return isSigned ? static_cast<uint64_t>(static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
}

}  // namespace cip::detail
