#include "driver/pipe_name.h"

namespace tamsen::driver {

std::optional<PipeName> ParsePipeName(std::string_view fileName) {
    const std::size_t slash = fileName.rfind('/');
    if (slash == std::string_view::npos || fileName.size() != slash + 7 || fileName.substr(slash + 1, 4) != "PIPE") {
        return std::nullopt;
    }
    const char tens = fileName[slash + 5];
    const char ones = fileName[slash + 6];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return std::nullopt;
    return PipeName{std::string(fileName.substr(0, slash)), (tens - '0') * 10 + (ones - '0')};
}

}  // namespace tamsen::driver
