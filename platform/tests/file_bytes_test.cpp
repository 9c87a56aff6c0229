#include "platform/file_bytes.h"

#include "platform/ini_file.h"
#include "platform/memory_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
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
    EXPECT_EQ(platform::ReadFileBytes(dir), std::nullopt);  // a folder
    EXPECT_EQ(platform::ReadFileBytes(dir + "/missing"), std::nullopt);
    EXPECT_EQ(platform::ReadFileBytes(""), std::nullopt);
    std::string withZero = dir + "/";
    withZero.push_back('\0');
    withZero += "f.bin";
    EXPECT_EQ(platform::ReadFileBytes(withZero), std::nullopt);
    EXPECT_EQ(platform::ReadFileBytes("/dev/null"), std::nullopt);  // not a regular file
    std::filesystem::remove_all(dir);
}

TEST(FileBytes, MemoryFilesServeTheirPathsWhileInstalled) {
    char tmpl[] = "/tmp/file_bytes_XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string onDisk = dir + "/disk.ini";
    std::ofstream(onDisk, std::ios::binary) << "disk";
    const std::string held = dir + "/held.ini";  // no such file on disk
    {
        platform::MemoryFiles files;
        EXPECT_THROW(platform::MemoryFiles(), std::logic_error);
        files.Put(held, std::string("[A]\0x", 5));
        files.Put(onDisk, "memory");
        EXPECT_EQ(platform::ReadFileBytes(held), std::string("[A]\0x", 5));
        EXPECT_EQ(platform::ReadFileBytes(onDisk), "memory");  // memory wins over the disk
        EXPECT_EQ(platform::ReadFileBytes(held, 4), std::nullopt);  // the size limit holds
        EXPECT_EQ(platform::ReadFileBytes(dir + "/missing"), std::nullopt);
        platform::IniFile ini;
        ASSERT_TRUE(ini.Load(held));
        files.Remove(onDisk);
        EXPECT_EQ(platform::ReadFileBytes(onDisk), "disk");
    }
    EXPECT_EQ(platform::ReadFileBytes(held), std::nullopt);
    platform::MemoryFiles again;  // the first one is gone
    std::filesystem::remove_all(dir);
}
