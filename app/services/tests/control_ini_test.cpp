// CControlIni on the platform INI reader.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "services/control_ini.h"
#include "test_support.h"

using name_share::CControlIni;
using testing_support::TempDir;

TEST(ControlIni, ReadInt) {
    TempDir dir;
    CControlIni ini(dir.Write("a.ini",
                              "[Main]\nCount = 12 ; comment\nHex=1f\nHex2=0x20\nEmpty=\nNeg=-4\nWord=abc\n"
                              "[other]\nCount=99\n"));
    struct Case {
        const char* section;
        const char* key;
        bool hex;
        int expectedReturn;
        int32_t expected;
    };
    const Case cases[] = {
        {"Main", "Count", false, 1, 12},    {"MAIN", "count", false, 1, 12},  // names compare case-insensitively
        {"Main", "Hex", true, 1, 0x1F},     {"Main", "Hex2", true, 1, 0x20},     {"Main", "Hex", false, 1, 1},
        {"Main", "Neg", false, 1, -4},      {"Main", "Word", false, 1, 0},       {"Main", "Empty", false, 0, -77},
        {"Main", "Missing", false, 0, -77}, {"Nowhere", "Count", false, 0, -77}, {"Other", "Count", false, 1, 99},
    };
    for (const Case& c : cases) {
        int32_t result = 5;
        EXPECT_EQ(ini.ReadInt(c.section, c.key, result, c.hex, -77), c.expectedReturn) << c.key;
        EXPECT_EQ(result, c.expected) << c.section << "/" << c.key;
    }
    int32_t result = 0;
    EXPECT_EQ(CControlIni(dir.Path() + "missing.ini").ReadInt("Main", "Count", result, false, 3), 0);
    EXPECT_EQ(result, 3);
}

TEST(ControlIni, ReadStringBounds) {
    TempDir dir;
    CControlIni ini(dir.Write("a.ini", "[S]\nName = \"quoted text\" \nLong=0123456789\nGb=\xD6\xF7\xD5\xBE\n"));
    std::array<char, 6> small{};
    EXPECT_EQ(ini.ReadString("S", "Long", small, ""), 5u);
    EXPECT_STREQ(small.data(), "01234");
    std::array<char, 64> buffer{};
    EXPECT_EQ(ini.ReadString("S", "Name", buffer, ""), 11u);
    EXPECT_STREQ(buffer.data(), "quoted text");
    ini.ReadString("S", "Missing", buffer, "fallback");
    EXPECT_STREQ(buffer.data(), "fallback");
    EXPECT_EQ(ini.ReadString("s", "gb", 99, ""), "主站");
}

TEST(ControlIni, WriteIntKeepsTheRest) {
    TempDir dir;
    const std::string path =
        dir.Write("a.ini", "; header comment\r\n[LANGUAGES]\r\nCount=2\r\n[LAST]\r\nSel=1\r\nOther=x\r\n");
    CControlIni ini(path);
    EXPECT_TRUE(ini.WriteInt("last", "SEL", 0));
    EXPECT_TRUE(ini.WriteInt("LAST", "Mask", 255, true));
    EXPECT_TRUE(ini.WriteInt("New", "Value", -3));
    EXPECT_EQ(
        dir.Read("a.ini"),
        "; header comment\r\n[LANGUAGES]\r\nCount=2\r\n[LAST]\r\nSel=0\r\nOther=x\r\nMask=FF\r\n[New]\r\nValue=-3\r\n");
    int32_t v = 0;
    ini.ReadInt("LAST", "Mask", v, true);
    EXPECT_EQ(v, 255);
    // A missing file is created.
    CControlIni fresh(dir.Path() + "fresh.ini");
    EXPECT_TRUE(fresh.WriteInt("LAST", "Sel", 4));
    EXPECT_EQ(dir.Read("fresh.ini"), "[LAST]\nSel=4\n");
}
