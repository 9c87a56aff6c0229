// The shipped language files and the reading of language files made elsewhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/file_bytes.h"
#include "platform/ini_file.h"
#include "resources/language_text.h"
#include "resources/resource_document.h"
#include "resources/resource_manager.h"
#include "services/gen_global.h"
#include "services/global.h"
#include "services/timer_periods.h"
#include "test_support.h"

using testing_support::TempDir;

namespace {

std::string SourcePath(const std::string& relative) {
    const char* root = std::getenv("NORVANE_SOURCE_DIR");
    return std::string(root ? root : NORVANE_SOURCE_ROOT) + "/" + relative;
}

std::unique_ptr<resources::ResourceDocument> ReadDocument(const std::string& path) {
    std::optional<std::string> bytes = platform::ReadFileBytes(path);
    if (!bytes) return nullptr;
    return resources::ResourceDocument::Parse(resources::LanguageFileText(*bytes));
}

std::vector<uint16_t> ControlIds(const DialogTemplate& t) {
    std::vector<uint16_t> ids;
    for (const DLGITEMTEMPLATEINFO& c : t.controls) ids.push_back(c.id);
    return ids;
}

// Every id of the built-in document is in english.xml, with the same menu shapes and the same
// controls, so that choosing English changes every text.
TEST(LanguageFiles, EnglishIsCompleteAgainstBuiltin) {
    auto builtin = resources::ResourceDocument::Parse(BuiltinResourceXml());
    auto english = ReadDocument(SourcePath("resources/language/english.xml"));
    ASSERT_NE(builtin, nullptr);
    ASSERT_NE(english, nullptr);
    for (const auto& [id, text] : builtin->Strings()) {
        auto it = english->Strings().find(id);
        ASSERT_NE(it, english->Strings().end()) << "string " << id << " missing from english.xml";
        EXPECT_FALSE(it->second.empty()) << id;
        // A hint keeps its two parts.
        EXPECT_EQ(text.find('\n') == std::string::npos, it->second.find('\n') == std::string::npos) << id;
    }
    EXPECT_EQ(english->MenuIds(), builtin->MenuIds());
    for (uint32_t id : builtin->MenuIds()) {
        std::vector<MENUITEMTEMPLATEINFO> zh = builtin->Menu(id).value();
        std::vector<MENUITEMTEMPLATEINFO> en = english->Menu(id).value_or(std::vector<MENUITEMTEMPLATEINFO>{});
        ASSERT_EQ(en.size(), zh.size()) << "menu " << id;
        for (size_t i = 0; i < zh.size(); ++i) {
            EXPECT_EQ(en[i].flags, zh[i].flags) << "menu " << id << " item " << i;
            EXPECT_EQ(en[i].id, zh[i].id) << "menu " << id << " item " << i;
            EXPECT_EQ(en[i].caption.empty(), zh[i].caption.empty()) << "menu " << id << " item " << i;
        }
    }
    EXPECT_EQ(english->DialogIds(), builtin->DialogIds());
    for (uint32_t id : builtin->DialogIds()) {
        std::optional<DialogTemplate> zh = builtin->Dialog(id, 0);
        std::optional<DialogTemplate> en = english->Dialog(id, 0);
        ASSERT_TRUE(en.has_value()) << "dialog " << id;
        EXPECT_EQ(ControlIds(*en), ControlIds(*zh)) << "dialog " << id;
        EXPECT_FALSE(en->caption.empty()) << "dialog " << id;
    }
}

// The period box of the timed data pane (template 20041, box 1005) shows the program's default
// period in every language.
TEST(LanguageFiles, DataPanePeriodBoxShowsTheDefaultPeriod) {
    const std::string expected = std::to_string(timer_periods::kDataPaneMs);
    auto builtin = resources::ResourceDocument::Parse(BuiltinResourceXml());
    auto english = ReadDocument(SourcePath("resources/language/english.xml"));
    ASSERT_NE(builtin, nullptr);
    ASSERT_NE(english, nullptr);
    for (const auto* document : {builtin.get(), english.get()}) {
        const std::optional<DialogTemplate> pane = document->Dialog(20041, 0);
        ASSERT_TRUE(pane.has_value());
        const auto box = std::find_if(pane->controls.begin(), pane->controls.end(),
                                      [](const DLGITEMTEMPLATEINFO& c) { return c.id == 1005; });
        ASSERT_NE(box, pane->controls.end());
        EXPECT_EQ(box->caption, expected);
    }
}

// Every command of the menus has its hint string, "status-bar text\ntool tip".
TEST(LanguageFiles, EveryCommandHasItsHint) {
    ResetResourceManager();
    const std::set<uint16_t> plainCaptions = {32788, 32819, 32820};  // the property pane's button captions
    for (uint32_t menu : BuiltinMenuIds()) {
        std::vector<MENUITEMTEMPLATEINFO> items;
        ASSERT_TRUE(XTPResourceManager().LoadMenu(items, menu));
        for (const MENUITEMTEMPLATEINFO& item : items) {
            if (item.flags & (kMenuItemPopup | kMenuItemSeparator)) continue;
            std::string hint;
            ASSERT_TRUE(XTPResourceManager().LoadString(hint, item.id)) << "hint of " << item.id;
            if (!plainCaptions.count(item.id)) {
                EXPECT_NE(hint.find('\n'), std::string::npos) << item.id;
            }
        }
    }
    for (uint32_t id : {57600u, 57601u, 32805u, 35001u, 32834u}) {
        std::string hint;
        EXPECT_TRUE(XTPResourceManager().LoadString(hint, id)) << id;
    }
}

TEST(LanguageFiles, ConfigListsChineseAndEnglish) {
    std::optional<std::string> bytes = platform::ReadFileBytes(SourcePath("resources/language/config.ini"));
    ASSERT_TRUE(bytes);
    platform::IniFile ini;
    ini.Parse(*bytes);
    ASSERT_TRUE(ini.Find("LANGUAGES", "Count"));
    EXPECT_EQ(*ini.Find("LANGUAGES", "Count"), "2");
    const name_share::LanguageEntry zh = name_share::ParseLanguageEntry(ini.Find("LANGUAGES", "0").value_or(""));
    const name_share::LanguageEntry en = name_share::ParseLanguageEntry(ini.Find("LANGUAGES", "1").value_or(""));
    EXPECT_EQ(zh.resourceFile, "chinese.xml");
    EXPECT_EQ(en.resourceFile, "english.xml");
    EXPECT_EQ(en.caption, "English");
    EXPECT_FALSE(zh.caption.empty());
}

// The shipped language folder: choosing English switches the texts, choosing Chinese switches
// them back.
TEST(LanguageFiles, SwitchingBetweenTheShippedLanguages) {
    TempDir dir;
    for (const auto& [from, to] :
         {std::pair<const char*, const char*>{"resources/language/config.ini", "language/config.ini"},
          {"resources/builtin.xml", "language/chinese.xml"},
          {"resources/language/english.xml", "language/english.xml"}}) {
        dir.Write(to, platform::ReadFileBytes(SourcePath(from)).value_or(""));
    }
    {
        CGlobal global(dir.Path());
        ASSERT_EQ(global.Languages().size(), 2u);
        ASSERT_EQ(global.SelectLanguage(-1), 1);
        EXPECT_EQ(global.LoadText(10001), "信息栏");
        ASSERT_EQ(global.SelectLanguage(1), 1);
        EXPECT_EQ(global.LoadText(10001), "Info Bar");
        EXPECT_EQ(global.LoadText(32786), "Start the DeviceNet network\nStart");
        EXPECT_EQ(LoadMenuTree(128).at(0).caption, "&File");
        EXPECT_EQ(XTPResourceManager().LoadDialogTemplate(20020)->caption, "Info Bar Settings");
        ASSERT_EQ(global.SelectLanguage(0), 1);
        EXPECT_EQ(global.LoadText(10001), "信息栏");
        EXPECT_EQ(LoadMenuTree(128).at(0).caption, "文件(&F)");
        EXPECT_EQ(XTPResourceManager().LoadDialogTemplate(20020)->caption, "信息栏设置");
    }
    ResetResourceManager();
}

// `text` as UTF-16 with its byte-order mark; its only non-ASCII characters are "信息".
std::string Utf16(std::string_view text, bool bigEndian) {
    std::vector<uint16_t> units;
    const std::string_view word = "信息";
    for (size_t i = 0; i < text.size();) {
        if (text.substr(i, word.size()) == word) {
            units.push_back(0x4FE1);
            units.push_back(0x606F);
            i += word.size();
        } else {
            units.push_back(static_cast<unsigned char>(text[i++]));
        }
    }
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (uint16_t u : units) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST(LanguageFiles, Encodings) {
    // "信息" in GB18030.
    const std::string gbText = "\xD0\xC5\xCF\xA2";
    struct Case {
        const char* name;
        std::string bytes;
        std::string expected;
    };
    const Case cases[] = {
        {"UTF-8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><resource><string id=\"1\" value=\"信息\"/></resource>",
         "信息"},
        {"no declaration, GB bytes", "<resource><string id=\"1\" value=\"" + gbText + "\"/></resource>", "信息"},
        {"declared GB2312",
         "<?xml version=\"1.0\" encoding=\"GB2312\"?><resource><string id=\"1\" value=\"" + gbText + "\"/></resource>",
         "信息"},
        {"declared gbk, single quotes",
         "<?xml version='1.0' encoding='gbk'?><resource><string id=\"1\" value=\"" + gbText + "\"/></resource>",
         "信息"},
        // "小站" in GB18030 happens to be valid UTF-8 as well; the declaration decides.
        {"declared GB18030, bytes that are valid UTF-8",
         "<?xml version=\"1.0\" encoding=\"GB18030\"?><resource><string id=\"1\" "
         "value=\"\xD0\xA1\xD5\xBE\"/></resource>",
         "小站"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF<resource><string id=\"1\" value=\"信息\"/></resource>", "信息"},
        {"UTF-16LE with a byte-order mark", Utf16("<resource><string id=\"1\" value=\"信息\"/></resource>", false),
         "信息"},
        {"UTF-16BE with a byte-order mark", Utf16("<resource><string id=\"1\" value=\"信息\"/></resource>", true),
         "信息"},
    };
    for (const Case& c : cases) {
        auto manager = CXTPResourceManagerXMLEx::FromText(c.bytes);
        ASSERT_TRUE(manager->IsValid()) << c.name;
        std::string text;
        ASSERT_TRUE(manager->LoadString(text, 1)) << c.name;
        EXPECT_EQ(text, c.expected) << c.name;
    }
    EXPECT_EQ(resources::DeclaredEncoding("<?xml version=\"1.0\" encoding=\"GBK\"?><a/>"), "GBK");
    EXPECT_EQ(resources::DeclaredEncoding("<a encoding=\"GBK\"/>"), "");
}

// A file that does not load leaves every lookup on the built-in resources.
TEST(LanguageFiles, NoLanguageFile) {
    TempDir dir;
    CXTPResourceManagerXMLEx missing(dir.Path() + "none.xml");
    EXPECT_FALSE(missing.IsValid());
    CXTPResourceManager builtin;
    std::string a, b;
    EXPECT_TRUE(missing.LoadString(a, 10001));
    EXPECT_TRUE(builtin.LoadString(b, 10001));
    EXPECT_EQ(a, b);
    std::vector<MENUITEMTEMPLATEINFO> m1, m2;
    EXPECT_TRUE(missing.LoadMenu(m1, 128));
    EXPECT_TRUE(builtin.LoadMenu(m2, 128));
    EXPECT_EQ(m1, m2);
    EXPECT_EQ(missing.LoadDialogTemplate(20020), builtin.LoadDialogTemplate(20020));
    EXPECT_EQ(missing.LoadDialogTemplate(100), BuiltinDialogTemplate(100));
    EXPECT_FALSE(SetResourceManager(std::make_unique<CXTPResourceManagerXMLEx>(dir.Path() + "none.xml")));
}

}  // namespace
