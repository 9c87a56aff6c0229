#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h>

namespace {

class IniTemp : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/ini_test_XXXXXX";
        dir_ = ::mkdtemp(tmpl);
        path_ = dir_ + "/test.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::string dir_, path_;
};

}  // namespace

TEST(IniParse, ProfileIntegers) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"12 ; comment", 12},
        {"283;", 283},
        {"  -7x", -7},
        {"+5", 5},
        {"abc", 0},
        {"", 0},
        {"0x10", 0},
        {"99999999999", INT32_MAX},
        {"-99999999999", INT32_MIN},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::ParseProfileInt(c.text), c.value) << c.text;
}

TEST(IniParse, FindRules) {
    platform::IniFile ini;
    ini.Parse(
        "top=1\n[Device]\n  VendCode = 283; $ vendor  \r\nName = \"Quoted Name\"\n; Hidden=1\nnoequals\n"
        "Name=second\n[Other]\nA=\n[ device ]\nLate=1\n");
    EXPECT_EQ(ini.Find("device", "VENDCODE"), "283; $ vendor");
    EXPECT_EQ(ini.Find("Device", "Name"), "Quoted Name");  // the first key wins
    EXPECT_EQ(ini.Find("Device", "; Hidden"), std::nullopt);
    EXPECT_EQ(ini.Find("Device", "noequals"), std::nullopt);
    EXPECT_EQ(ini.Find("Device", "top"), std::nullopt);
    EXPECT_EQ(ini.Find("Other", "A"), "");
    EXPECT_EQ(ini.Find("Device", "Late"), "1");  // header name trimmed, sections searched in order
    EXPECT_EQ(ini.Find("Missing", "A"), std::nullopt);
}

TEST_F(IniTemp, Win32StyleFunctions) {
    Write("[Device]\nVendCode = 283; $ vendor\nName = long name here\n");
    EXPECT_EQ(platform::GetPrivateProfileInt("DEVICE", "vendcode", -1, path_), 283);
    EXPECT_EQ(platform::GetPrivateProfileInt("Device", "Missing", -1, path_), -1);
    EXPECT_EQ(platform::GetPrivateProfileInt("Device", "Name", -1, path_), 0);
    EXPECT_EQ(platform::GetPrivateProfileInt("Device", "VendCode", -1, dir_ + "/none.ini"), -1);
    std::array<char, 5> small{};
    EXPECT_EQ(platform::GetPrivateProfileString("Device", "Name", "", small, path_), 4u);
    EXPECT_STREQ(small.data(), "long");
    std::array<char, 32> buffer{};
    EXPECT_EQ(platform::GetPrivateProfileString("Device", "Nothing", "  def  ", buffer, path_), 3u);
    EXPECT_STREQ(buffer.data(), "def");
    EXPECT_EQ(platform::GetPrivateProfileString("Device", "Name", "", std::span<char>(), path_), 0u);
}

TEST_F(IniTemp, WritePreservesLinesAndEndings) {
    Write("; keep me\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    EXPECT_TRUE(platform::WritePrivateProfileString("a", "X", "5", path_));
    EXPECT_TRUE(platform::WritePrivateProfileString("A", "z", "6", path_));
    EXPECT_TRUE(platform::WritePrivateProfileString("C", "w", "7", path_));
    EXPECT_EQ(Read(), "; keep me\r\n[A]\r\nx=5\r\nz=6\r\n\r\n[B]\r\ny=2\r\n[C]\r\nw=7\r\n");
    EXPECT_FALSE(platform::WritePrivateProfileString("A", "x", "1", dir_ + "/no/such/dir/f.ini"));
}
