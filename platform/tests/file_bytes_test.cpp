#include "platform/file_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

TEST(FileBytes, RegularFilesOnly) {
    char tmpl[] = "/tmp/file_bytes_XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string file = dir + "/f.bin";
    std::ofstream(file, std::ios::binary) << std::string("a\0b\xFF", 4);
    std::ofstream(dir + "/empty");
    EXPECT_EQ(platform::ReadFileBytes(file), std::string("a\0b\xFF", 4));
    EXPECT_EQ(platform::ReadFileBytes(dir + "/empty"), std::string());
    EXPECT_EQ(platform::ReadFileBytes(file, 3), std::nullopt);  // larger than allowed
    EXPECT_EQ(platform::ReadFileBytes(dir), std::nullopt);      // a folder
    EXPECT_EQ(platform::ReadFileBytes(dir + "/missing"), std::nullopt);
    EXPECT_EQ(platform::ReadFileBytes(""), std::nullopt);
    std::string withZero = dir + "/";
    withZero.push_back('\0');
    withZero += "f.bin";
    EXPECT_EQ(platform::ReadFileBytes(withZero), std::nullopt);
    EXPECT_EQ(platform::ReadFileBytes("/dev/null"), std::nullopt);  // not a regular file
    std::filesystem::remove_all(dir);
}
