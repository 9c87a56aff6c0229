// Menus of the language document and the built-in document: item lists and trees.
#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "resources/resource_manager.h"

namespace {

using Items = std::vector<MENUITEMTEMPLATEINFO>;

std::unique_ptr<CXTPResourceManagerXMLEx> Manager(const std::string& body) {
    return CXTPResourceManagerXMLEx::FromText("<?xml version=\"1.0\"?><resource>" + body + "</resource>");
}

TEST(ResourceMenus, InfoWndPopupFromLanguageFile) {
    auto manager = Manager(
        "<menu id=\"20003\"><menuitem caption=\"InfoWnd\">"
        "<menuitem id=\"32780\" caption=\"Clear\"/><menuitem id=\"0\"/><menuitem id=\"32782\" caption=\"Save...\"/>"
        "</menuitem></menu>");
    ASSERT_TRUE(manager->IsValid());
    Items items;
    ASSERT_TRUE(manager->LoadMenu(items, 20003));
    const Items expected = {
        {kMenuItemPopup | kMenuItemEnd, 0, "InfoWnd"},
        {0, 32780, "Clear"},
        {kMenuItemSeparator, 0, ""},
        {kMenuItemEnd, 32782, "Save..."},
    };
    EXPECT_EQ(items, expected);

    const std::vector<MenuNode> tree = MenuTree(items);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_TRUE(tree[0].IsPopup());
    ASSERT_EQ(tree[0].children.size(), 3u);
    EXPECT_EQ(tree[0].children[0].id, 32780);
    EXPECT_TRUE(tree[0].children[1].IsSeparator());
    EXPECT_EQ(tree[0].children[2].caption, "Save...");
}

TEST(ResourceMenus, FallsBackToBuiltinMenu) {
    struct Case {
        const char* name;
        std::string body;
    };
    const Case cases[] = {
        {"no menu element", "<string id=\"1\" value=\"x\"/>"},
        {"menu without menuitem children", "<menu id=\"20003\"><other/></menu>"},
        {"empty menu", "<menu id=\"20003\"/>"},
        {"other id", "<menu id=\"20004\"><menuitem id=\"1\" caption=\"x\"/></menu>"},
    };
    Items builtin;
    ASSERT_TRUE(CXTPResourceManager().LoadMenu(builtin, 20003));
    for (const Case& c : cases) {
        auto manager = Manager(c.body);
        ASSERT_TRUE(manager->IsValid()) << c.name;
        Items items;
        EXPECT_TRUE(manager->LoadMenu(items, 20003)) << c.name;
        EXPECT_EQ(items, builtin) << c.name;
    }
    Items untouched = {{0, 7, "keep"}};
    EXPECT_FALSE(Manager("")->LoadMenu(untouched, 4242));
    EXPECT_EQ(untouched.size(), 1u);
}

TEST(ResourceMenus, PropertiesAsChildElementsAndNumberForms) {
    auto manager = Manager(
        "<menu id=\"0x80\"><menuitem><caption>File</caption>"
        "<menuitem><id>0x7F03</id><caption>Import</caption></menuitem>"
        "<menuitem id=\" 98307 \" caption=\"low 16 bits\"/>"
        "<menuitem id=\"junk\" caption=\"bad id is 0\"/>"
        "</menuitem></menu>");
    Items items;
    ASSERT_TRUE(manager->LoadMenu(items, 128));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], (MENUITEMTEMPLATEINFO{kMenuItemPopup | kMenuItemEnd, 0, "File"}));
    EXPECT_EQ(items[1], (MENUITEMTEMPLATEINFO{0, 0x7F03, "Import"}));
    EXPECT_EQ(items[2], (MENUITEMTEMPLATEINFO{0, 98307 & 0xFFFF, "low 16 bits"}));
    // An id that is no number reads as 0, which makes the item a separator.
    EXPECT_EQ(items[3], (MENUITEMTEMPLATEINFO{kMenuItemSeparator | kMenuItemEnd, 0, "bad id is 0"}));
}

// The built-in menus are those of the main window: the menu bar and the five context pop-ups.
TEST(ResourceMenus, BuiltinMenuBarAndContextMenus) {
    ResetResourceManager();
    const std::vector<MenuNode> bar = LoadMenuTree(resource_ids::kMainMenu);
    auto ids = [](const MenuNode& popup) {
        std::vector<int> r;
        for (const MenuNode& n : popup.children) r.push_back(n.IsSeparator() ? 0 : n.id);
        return r;
    };
    ASSERT_EQ(bar.size(), 6u);
    const std::vector<std::pair<std::string, std::vector<int>>> expectedBar = {
        {"文件(&F)", {32771, 32773, 32860, 0, 57665}},
        {"主站(&N)", {32786, 32787, 0, 32789, 32816, 32788, 0, 32791, 32790, 32792, 0, 32862}},
        {"查看(&V)", {59392, 59393, 32778, 32779}},
        {"工具(&T)", {32821, 0, 32835}},
        {"&Language", {32830}},
        {"帮助(&H)", {57664, 32836}},
    };
    for (size_t i = 0; i < bar.size(); ++i) {
        EXPECT_TRUE(bar[i].IsPopup());
        EXPECT_EQ(bar[i].caption, expectedBar[i].first);
        EXPECT_EQ(ids(bar[i]), expectedBar[i].second) << bar[i].caption;
    }
    EXPECT_EQ(bar[4].children[0].caption, "no");

    const std::vector<MenuNode> context = LoadMenuTree(resource_ids::kContextMenu);
    ASSERT_EQ(context.size(), 5u);
    const std::vector<std::pair<std::string, std::vector<int>>> expectedContext = {
        {"InfoWnd", {32780, 32782, 32794}},
        {"Net", {32786, 32787, 0, 32789, 32816, 0, 32791, 32793, 32862, 32792, 0, 32788}},
        {"Slave", {32786, 32787, 0, 32790, 0, 32820, 32819, 0, 32788}},
        {"viewpop", {32825}},
        {"REPORTRCLICK", {32826, 32827, 0, 32828, 32829}},
    };
    for (size_t i = 0; i < context.size(); ++i) {
        EXPECT_EQ(context[i].caption, expectedContext[i].first);
        EXPECT_EQ(ids(context[i]), expectedContext[i].second) << context[i].caption;
    }
    EXPECT_EQ(context[2].children[1].caption, "停止(&D)");
    EXPECT_EQ(context[0].children[1].caption, "保存...");
}

TEST(ResourceMenus, TreeFromBrokenItemLists) {
    // A pop-up whose end flag never comes: the list's end closes it.
    const Items open = {{kMenuItemPopup, 0, "A"}, {0, 1, "a1"}, {0, 2, "a2"}};
    std::vector<MenuNode> tree = MenuTree(open);
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].children.size(), 2u);
    // Items after a top level that ended early are still shown.
    const Items early = {{kMenuItemEnd, 1, "one"}, {kMenuItemEnd, 2, "two"}};
    tree = MenuTree(early);
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[1].id, 2);
    EXPECT_TRUE(MenuTree(Items{}).empty());
}

TEST(ResourceMenus, DeepNestingIsCut) {
    std::string body = "<menu id=\"5\">";
    for (int i = 0; i < 60; ++i) body += "<menuitem caption=\"p\">";
    body += "<menuitem id=\"9\" caption=\"leaf\"/>";
    for (int i = 0; i < 60; ++i) body += "</menuitem>";
    body += "</menu>";
    Items items;
    ASSERT_TRUE(Manager(body)->LoadMenu(items, 5));
    EXPECT_LE(items.size(), 20u);
    const std::vector<MenuNode> tree = MenuTree(items);
    ASSERT_EQ(tree.size(), 1u);
}

}  // namespace
