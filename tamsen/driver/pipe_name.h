// Pipe file names "<device path>/PIPEnn" (nn two decimal digits), as the library opens them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tamsen::driver {

struct PipeName {
    std::string device;  // the device path, without the final '/'
    int pipe = 0;  // 0..99
    friend bool operator==(const PipeName&, const PipeName&) = default;
};

// Splits a pipe file name into its parts; nothing when it is not of that form.
std::optional<PipeName> ParsePipeName(std::string_view fileName);

}  // namespace tamsen::driver
