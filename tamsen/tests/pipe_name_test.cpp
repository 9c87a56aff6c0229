// Pipe file names as the drivers take them apart.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "driver/pipe_name.h"

namespace tamsen::driver {
namespace {

TEST(PipeNameTest, Parsing) {
    const std::pair<const char*, std::optional<PipeName>> cases[] = {
        {"/dev/bus/usb/001/004/PIPE00", PipeName{"/dev/bus/usb/001/004", 0}},
        {"/tmp/adapters/a0/PIPE09", PipeName{"/tmp/adapters/a0", 9}},
        {"fake/dev0/PIPE42", PipeName{"fake/dev0", 42}},
        {"/PIPE99", PipeName{"", 99}},
        {"PIPE01", std::nullopt},  // no device path
        {"/dev/x/PIPE1", std::nullopt},  // one digit
        {"/dev/x/PIPE001", std::nullopt},  // three digits
        {"/dev/x/pipe01", std::nullopt},  // case counts
        {"/dev/x/PIPE0A", std::nullopt},
        {"/dev/x/PIPE01/", std::nullopt},
        {"/dev/x/PIPE-1", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParsePipeName(text), expected) << text;
}

}  // namespace
}  // namespace tamsen::driver
