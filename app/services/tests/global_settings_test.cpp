// Settings files beside the program: Norvane.xml, config.xml and the language list.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "services/global.h"
#include "resources/resource_manager.h"
#include "test_support.h"

using testing_support::RecordingHost;
using testing_support::TempDir;

namespace {

const char* kLanguageIni =
    "[LANGUAGES]\nCount=2\n0=2052|936|C|chinese.xml|中文\n1=1033|1252|C|english.xml|English\n\n[LAST]\nSel=1\n";
const char* kEnglishXml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<resource>\n"
    "  <string id=\"10001\" value=\"Info Bar\"/>\n</resource>\n";
const char* kChineseXml = "<?xml version=\"1.0\"?>\n<resource/>\n";

}  // namespace

TEST(Settings, ReadsDeviceTypesAndBaudNames) {
    TempDir dir;
    dir.Write("Norvane.xml", testing_support::kNorvaneXml);
    CGlobal global(dir.Path());
    EXPECT_TRUE(global.SettingsLoaded());
    ASSERT_EQ(global.DeviceTypes().size(), 3u);
    EXPECT_EQ(global.DeviceTypes()[0], (DeviceTypeEntry{"USB主站卡", 101, 1}));
    EXPECT_EQ(global.GetDeviceTypeName(101), "USB主站卡");  // the first entry of a type
    EXPECT_EQ(global.GetChannelCount(101), 1);
    EXPECT_EQ(global.GetChannelCount(102), 2);
    EXPECT_EQ(global.GetDeviceTypeName(7), "");
    EXPECT_EQ(global.GetChannelCount(7), 0);
    EXPECT_EQ(global.BaudNames().size(), 3u);  // the item without a value is skipped
    EXPECT_EQ(global.GetBaudName(0), "125K");
    EXPECT_EQ(global.GetBaudName(1), "250 kbit/s");  // a later item of the same value wins
    EXPECT_EQ(global.GetBaudName(2), "500K");
    EXPECT_EQ(global.GetBaudName(3), "125K");
    EXPECT_EQ(global.GetBaudName(-1), "125K");
    EXPECT_TRUE(global.PendingNetworkFile().empty());
}

TEST(Settings, OnlyShowMsgInConfig) {
    TempDir dir;
    dir.Write("Norvane.xml", testing_support::kNorvaneXml);
    dir.Write("config.xml", "<?xml version=\"1.0\"?>\n<Other keep=\"1\"/>\n<InfobarParas ShowMsg=\"0\"/>\n");
    {
        CGlobal global(dir.Path());
        EXPECT_EQ(global.Infobar(), (InfobarSettings{1, 1, 0, 0, 0, 0}));
        global.Infobar().selBaud = 2;
    }
    const std::string written = dir.Read("config.xml");
    EXPECT_NE(written.find("<Other keep=\"1\"/>"), std::string::npos);
    EXPECT_NE(written.find("<InfobarParas ShowMsg=\"0\" LogError=\"1\" LogWarning=\"1\" LogLog=\"0\" SelDevType=\"0\" "
                           "SelBaud=\"2\"/>"),
              std::string::npos)
        << written;
    // Read back at the next start.
    CGlobal again(dir.Path());
    EXPECT_EQ(again.Infobar(), (InfobarSettings{1, 1, 0, 0, 0, 2}));
}

TEST(Settings, MissingConfigIsWrittenAtExit) {
    TempDir dir;
    dir.Write("Norvane.xml", testing_support::kNorvaneXml);
    {
        CGlobal global(dir.Path());
        EXPECT_EQ(global.Infobar(), InfobarSettings{});
        EXPECT_TRUE(global.EdsNames().empty());  // step 6 skipped: no folder scan
        global.Infobar().logLog = 1;
    }
    EXPECT_EQ(dir.Read("Norvane.xml"), testing_support::kNorvaneXml);  // never written
    const std::string written = dir.Read("config.xml");
    EXPECT_NE(written.find("<InfobarParas LogError=\"1\" LogWarning=\"1\" LogLog=\"1\" ShowMsg=\"1\" SelDevType=\"0\" "
                           "SelBaud=\"0\"/>"),
              std::string::npos)
        << written;
    EXPECT_EQ(written.find("ServerInfo"), std::string::npos);
}

TEST(Settings, MissingOrBrokenNorvaneXml) {
    for (const char* content : {static_cast<const char*>(nullptr), "<ServerInfo><Item", "not xml at all"}) {
        TempDir dir;
        if (content) dir.Write("Norvane.xml", content);
        dir.Write("config.xml", "<InfobarParas ShowMsg=\"0\"/>");
        dir.Write("edsfile/A.eds", "[Device]\n");
        {
            CGlobal global(dir.Path());
            EXPECT_FALSE(global.SettingsLoaded());
            EXPECT_TRUE(global.DeviceTypes().empty());
            EXPECT_TRUE(global.BaudNames().empty());
            EXPECT_EQ(global.Infobar(), InfobarSettings{});  // config.xml not read either
            EXPECT_TRUE(global.EdsNames().empty());
            EXPECT_EQ(global.StatusTexts().size(), 69u);  // texts are built all the same
        }
        EXPECT_EQ(dir.Read("config.xml"), "<InfobarParas ShowMsg=\"0\"/>");  // left alone
    }
}

TEST(Settings, SettingsInGb18030) {
    TempDir dir;
    // "主站" in GB18030 is D6 F7 D5 BE.
    dir.Write("Norvane.xml",
              "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<ServerInfo><Item name=\"\xD6\xF7\xD5\xBE\" type=\"101\" "
              "chlCount=\"1\"/></ServerInfo>");
    CGlobal global(dir.Path());
    EXPECT_EQ(global.GetDeviceTypeName(101), "主站");
}

class Languages : public ::testing::Test {
protected:
    void SetUp() override {
        ResetResourceManager();
        dir.Write("Norvane.xml", testing_support::kNorvaneXml);
        dir.Write("config.xml", "<InfobarParas/>");
        dir.Write("language/config.ini", kLanguageIni);
        dir.Write("language/english.xml", kEnglishXml);
        dir.Write("language/chinese.xml", kChineseXml);
    }
    void TearDown() override { ResetResourceManager(); }

    TempDir dir;
};

TEST_F(Languages, ListAndSavedSelection) {
    CGlobal global(dir.Path());
    ASSERT_EQ(global.Languages().size(), 2u);
    EXPECT_EQ(global.Languages()[0], (name_share::LanguageEntry{2052, 936, "C", "chinese.xml", "中文"}));
    EXPECT_EQ(global.Languages()[1].caption, "English");
    EXPECT_EQ(global.CurrentLanguage(), 1);

    EXPECT_EQ(global.LoadText(10001), "信息栏");
    EXPECT_EQ(global.SelectLanguage(-1), 1);  // the saved language: English
    EXPECT_EQ(global.LoadText(10001), "Info Bar");
    EXPECT_EQ(global.LoadText(10004), "信息");  // everything else stays Chinese
    EXPECT_EQ(global.LoadText(10005), "错误");

    // Choosing the first language writes 0 to "Sel".
    EXPECT_EQ(global.SelectLanguage(0), 1);
    EXPECT_EQ(global.CurrentLanguage(), 0);
    EXPECT_NE(dir.Read("language/config.ini").find("Sel=0"), std::string::npos);
    EXPECT_EQ(global.LoadText(10001), "信息栏");

    // The current language again: success, nothing done (the file is not rewritten).
    dir.Write("language/config.ini", std::string(kLanguageIni) + "; marker\n");
    EXPECT_EQ(global.SelectLanguage(0), 1);
    EXPECT_NE(dir.Read("language/config.ini").find("; marker"), std::string::npos);
    EXPECT_NE(dir.Read("language/config.ini").find("Sel=1"), std::string::npos);

    // Out of range.
    EXPECT_EQ(global.SelectLanguage(2), 0);
    EXPECT_EQ(global.SelectLanguage(-2), 0);
    EXPECT_EQ(global.CurrentLanguage(), 0);
}

TEST_F(Languages, UnloadableLanguageKeepsThePrevious) {
    dir.Write("language/english.xml", "<resource><string id=\"10001\"");  // broken
    CGlobal global(dir.Path());
    EXPECT_EQ(global.SelectLanguage(0), 1);
    EXPECT_EQ(global.SelectLanguage(1), 0);
    EXPECT_EQ(global.CurrentLanguage(), 0);
    EXPECT_NE(dir.Read("language/config.ini").find("Sel=0"), std::string::npos);
    EXPECT_EQ(global.LoadText(10001), "信息栏");
}

TEST_F(Languages, WrongRootIsNotALanguage) {
    dir.Write("language/english.xml", "<strings><string id=\"10001\" value=\"Info Bar\"/></strings>");
    CGlobal global(dir.Path());
    EXPECT_EQ(global.SelectLanguage(-1), 0);
    EXPECT_EQ(global.LoadText(10001), "信息栏");
}

TEST_F(Languages, ShortLinesAndMissingFile) {
    dir.Write("language/config.ini", "[LANGUAGES]\nCount=3\n0=1|2|C\n1=\n[LAST]\nSel=7 ; far away\n");
    CGlobal global(dir.Path());
    ASSERT_EQ(global.Languages().size(), 3u);
    EXPECT_EQ(global.Languages()[0], (name_share::LanguageEntry{1, 2, "C", "", ""}));
    EXPECT_EQ(global.Languages()[1], name_share::LanguageEntry{});
    EXPECT_EQ(global.Languages()[2], name_share::LanguageEntry{});
    EXPECT_EQ(global.CurrentLanguage(), 7);
    EXPECT_EQ(global.SelectLanguage(-1), 0);  // index 7 names no entry
    EXPECT_EQ(global.SelectLanguage(0), 0);  // no resource file
}

TEST(LanguagesMissing, NoConfigIni) {
    TempDir dir;
    CGlobal global(dir.Path());
    EXPECT_TRUE(global.Languages().empty());
    EXPECT_EQ(global.CurrentLanguage(), 0);
    EXPECT_EQ(global.SelectLanguage(-1), 0);
    EXPECT_EQ(global.LoadText(10006), "警告");
}

TEST(LanguagesParse, Fields) {
    EXPECT_EQ(name_share::ParseLanguageEntry("1|2|zh_CN|a.xml|中文|extra"),
              (name_share::LanguageEntry{1, 2, "zh_CN", "a.xml", "中文"}));
    EXPECT_EQ(name_share::ParseLanguageEntry("x|-3"), (name_share::LanguageEntry{0, -3, "", "", ""}));
    EXPECT_EQ(name_share::ParseLanguageEntry(""), name_share::LanguageEntry{});
}

TEST(ShippedSettings, BesideTheProgram) {
    const std::string bin = testkit::BinDir();
    // Read from a copy so the shipped config.xml is not rewritten by the test.
    TempDir dir;
    for (const char* f : {"Norvane.xml", "config.xml", "language/config.ini", "language/chinese.xml"}) {
        std::ifstream in(bin + "/" + f, std::ios::binary);
        ASSERT_TRUE(in) << f;
        dir.Write(f, std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
    }
    ResetResourceManager();
    CGlobal global(dir.Path());
    EXPECT_EQ(global.GetChannelCount(101), 1);
    EXPECT_FALSE(global.GetDeviceTypeName(101).empty());
    EXPECT_EQ(global.GetBaudName(0), "125K");
    EXPECT_EQ(global.GetBaudName(1), "250K");
    EXPECT_EQ(global.GetBaudName(2), "500K");
    EXPECT_EQ(global.Infobar(), InfobarSettings{});
    ASSERT_EQ(global.Languages().size(), 2u);
    EXPECT_EQ(global.Languages()[1].caption, "English");
    EXPECT_EQ(global.SelectLanguage(-1), 1);  // the Chinese entry
    EXPECT_EQ(global.LoadText(10005), "错误");
    ResetResourceManager();
}

TEST(SettingsBadFiles, FoldersAndOddNamesAreNotFiles) {
    TempDir dir;
    dir.Write("Norvane.xml/inner", "x");  // a folder where the file should be
    std::string ini = "[LAST]\nSel=9\n[LANGUAGES]\nCount=3\n0=1|2|C||empty name\n1=1|2|C|sub|folder\n2=1|2|C|";
    ini += std::string(2, '\0') + "x.xml|zero\n";
    dir.Write("language/config.ini", ini);
    dir.Write("language/sub/x", "x");
    ResetResourceManager();
    CGlobal global(dir.Path());
    EXPECT_FALSE(global.SettingsLoaded());
    ASSERT_EQ(global.Languages().size(), 3u);
    EXPECT_EQ(global.SelectLanguage(0), 0);
    EXPECT_EQ(global.SelectLanguage(1), 0);
    EXPECT_EQ(global.SelectLanguage(2), 0);
    EXPECT_EQ(global.LoadText(10001), "信息栏");
}
