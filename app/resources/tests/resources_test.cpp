// The language resource manager: strings of the language file and of the built-in document.
#include <gtest/gtest.h>

#include "resources/resource_manager.h"
#include "test_support.h"

using testing_support::TempDir;

TEST(Resources, BuiltinStrings) {
    ResetResourceManager();
    std::string text;
    struct Case {
        uint32_t id;
        const char* text;
    };
    for (const Case& c : {Case{10004, "信息"}, Case{10005, "错误"}, Case{10006, "警告"}, Case{10001, "信息栏"},
                          Case{32786, "启动DeviceNet网络\n启动"}}) {
        EXPECT_TRUE(XTPResourceManager().LoadString(text, c.id)) << c.id;
        EXPECT_EQ(text, c.text);
    }
    text = "unchanged";
    EXPECT_FALSE(XTPResourceManager().LoadString(text, 1));
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(BuiltinResourceXml().substr(0, 5), "<?xml");
}

TEST(Resources, LanguageFileFirstThenBuiltin) {
    auto manager = CXTPResourceManagerXMLEx::FromText(
        "<?xml version=\"1.0\"?><resource><string id=\"10001\" value=\"Info Bar\"/>"
        "<string id=\"10004\"><value>Information</value></string><string id=\"x\" value=\"bad\"/>"
        "<string id=\"10001\" value=\"second\"/></resource>");
    ASSERT_TRUE(manager->IsValid());
    std::string text;
    EXPECT_TRUE(manager->LoadString(text, 10001));
    EXPECT_EQ(text, "Info Bar");
    EXPECT_TRUE(manager->LoadString(text, 10004));
    EXPECT_EQ(text, "Information");
    EXPECT_TRUE(manager->LoadString(text, 10005));
    EXPECT_EQ(text, "错误");
    manager->Close();
    EXPECT_FALSE(manager->IsValid());
    EXPECT_TRUE(manager->LoadString(text, 10001));
    EXPECT_EQ(text, "信息栏");
}

TEST(Resources, InvalidFilesAreNotInstalled) {
    TempDir dir;
    ResetResourceManager();
    for (const char* content : {"", "<resource>", "<other/>", "garbage"}) {
        const std::string path = dir.Write("lang.xml", content);
        auto manager = std::make_unique<CXTPResourceManagerXMLEx>(path);
        EXPECT_FALSE(manager->IsValid()) << content;
        EXPECT_FALSE(SetResourceManager(std::move(manager)));
    }
    EXPECT_FALSE(CXTPResourceManagerXMLEx(dir.Path() + "missing.xml").IsValid());
    // GB18030 language files are read too.
    const std::string path =
        dir.Write("gb.xml", "<resource><string id=\"10001\" value=\"\xD0\xC5\xCF\xA2\"/></resource>");
    auto manager = std::make_unique<CXTPResourceManagerXMLEx>(path);
    ASSERT_TRUE(manager->IsValid());
    ASSERT_TRUE(SetResourceManager(std::move(manager)));
    std::string text;
    XTPResourceManager().LoadString(text, 10001);
    EXPECT_EQ(text, "信息");
    ResetResourceManager();
}
