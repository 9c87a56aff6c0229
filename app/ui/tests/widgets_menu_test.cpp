// Menus built from the resource manager's menu trees, and their texts across a language switch.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <cstdlib>
#include <map>
#include <memory>

#include "resources/resource_ids.h"
#include "testing/build_paths.h"
#include "resources/resource_manager.h"
#include "ui/widgets/language_events.h"
#include "ui/widgets/menu_builder.h"

namespace {

std::string LanguageFile(const char* name) { return testkit::BinDir() + "/language/" + name; }

// Entries of a menu as "text" / "-" (separator) / "text>" (sub-menu), with the id of commands.
std::vector<std::string> Entries(const QMenu& menu) {
    std::vector<std::string> entries;
    for (QAction* a : menu.actions()) {
        if (a->isSeparator()) entries.push_back("-");
        else if (a->menu()) entries.push_back(a->text().toStdString() + ">");
        else entries.push_back(a->objectName().toStdString() + " " + a->text().toStdString());
    }
    return entries;
}

// Actions as a command table would hold them: one per id, created on demand.
struct Actions {
    QObject owner;
    std::map<uint16_t, QAction*> byId;
    QAction* For(uint16_t id) {
        auto& a = byId[id];
        if (!a) {
            a = new QAction(&owner);
            a->setObjectName(QString::number(id));
            a->setText(QStringLiteral("cmd%1").arg(id));
        }
        return a;
    }
};

class WidgetsMenu : public testing::Test {
protected:
    void TearDown() override { ResetResourceManager(); }
};

TEST_F(WidgetsMenu, ContextPopupsWithActionsSeparatorsAndPlaceholders) {
    std::vector<MenuNode> tree = LoadMenuTree(resource_ids::kContextMenu);
    ASSERT_EQ(tree.size(), 5u);
    Actions actions;
    QMenu slave;
    // The command table knows every command but 32819.
    FillMenu(slave, tree[2].children, [&](uint16_t id) { return id == 32819 ? nullptr : actions.For(id); });
    EXPECT_EQ(Entries(slave), (std::vector<std::string>{"32786 cmd32786", "32787 cmd32787", "-", "32790 cmd32790", "-",
                                                        "32820 cmd32820", "32819 IO配置", "-", "32788 cmd32788"}));
    QMenu net;
    FillMenu(net, tree[1].children, [&](uint16_t id) { return actions.For(id); });
    EXPECT_EQ(Entries(net), (std::vector<std::string>{"32786 cmd32786", "32787 cmd32787", "-", "32789 cmd32789",
                                                      "32816 cmd32816", "-", "32791 cmd32791", "32793 cmd32793",
                                                      "32862 cmd32862", "32792 cmd32792", "-", "32788 cmd32788"}));
    QAction* placeholder = slave.actions()[6];
    EXPECT_FALSE(placeholder->isEnabled());
    EXPECT_EQ(placeholder->parent(), &slave);
    // The command's own action is put in, not a copy.
    EXPECT_EQ(slave.actions()[0], actions.For(32786));

    QMenu whole;
    FillMenu(whole, tree, nullptr);
    ASSERT_EQ(whole.actions().size(), 5);
    EXPECT_EQ(whole.actions()[0]->text(), "InfoWnd");
    ASSERT_NE(whole.actions()[0]->menu(), nullptr);
    EXPECT_EQ(Entries(*whole.actions()[0]->menu()),
              (std::vector<std::string>{"32780 清空", "32782 保存...", "32794 设置..."}));
}

TEST_F(WidgetsMenu, MenuBarFromMenu128) {
    QMenuBar bar;
    Actions actions;
    FillMenuBar(bar, LoadMenuTree(resource_ids::kMainMenu), [&](uint16_t id) { return actions.For(id); });
    std::vector<std::string> titles;
    for (QAction* a : bar.actions()) titles.push_back(a->text().toStdString());
    EXPECT_EQ(titles,
              (std::vector<std::string>{"文件(&F)", "主站(&N)", "查看(&V)", "工具(&T)", "&Language", "帮助(&H)"}));
    EXPECT_EQ(Entries(*bar.actions()[0]->menu()),
              (std::vector<std::string>{"32771 cmd32771", "32773 cmd32773", "32860 cmd32860", "-", "57665 cmd57665"}));
    EXPECT_EQ(Entries(*bar.actions()[1]->menu()),
              (std::vector<std::string>{"32786 cmd32786", "32787 cmd32787", "-", "32789 cmd32789", "32816 cmd32816",
                                        "32788 cmd32788", "-", "32791 cmd32791", "32790 cmd32790", "32792 cmd32792",
                                        "-", "32862 cmd32862"}));
    // Top-level commands and separators of a language file's menu bar.
    auto manager = CXTPResourceManagerXMLEx::FromText(
        "<resource><menu id=\"128\"><menuitem id=\"57664\" caption=\"About\"/><menuitem id=\"0\"/>"
        "<menuitem caption=\"File\"><menuitem id=\"57665\" caption=\"Exit\"/></menuitem></menu></resource>");
    ASSERT_TRUE(SetResourceManager(std::move(manager)));
    QMenuBar other;
    FillMenuBar(other, LoadMenuTree(resource_ids::kMainMenu), [&](uint16_t id) { return actions.For(id); });
    ASSERT_EQ(other.actions().size(), 3);
    EXPECT_EQ(other.actions()[0], actions.For(57664));
    EXPECT_TRUE(other.actions()[1]->isSeparator());
    EXPECT_EQ(other.actions()[2]->text(), "File");
}

TEST_F(WidgetsMenu, CommandTextsFromHints) {
    QAction action;
    struct Case {
        uint16_t id;
        QString caption;
        QString text, status, tip;
    };
    const Case cases[] = {
        {32786, "启动(&S)", "启动(&S)", "启动DeviceNet网络", "启动"},
        {32780, "", "清空记录", "清空信息栏记录", "清空记录"},
        // A hint without a line break is both texts.
        {32788, "属性配置(&C)", "属性配置(&C)", "属性配置", "属性配置"},
        // No hint at all: the tool tip is the caption without its mnemonic.
        {4711, "&Odd", "&Odd", "", "Odd"},
    };
    for (const Case& c : cases) {
        ApplyCommandTexts(action, c.id, c.caption);
        EXPECT_EQ(action.objectName(), QString::number(c.id));
        EXPECT_EQ(action.text(), c.text) << c.id;
        EXPECT_EQ(action.statusTip(), c.status) << c.id;
        EXPECT_EQ(action.toolTip(), c.tip) << c.id;
    }
    const std::map<uint16_t, QString> captions = CommandCaptions(LoadMenuTree(resource_ids::kMainMenu));
    EXPECT_EQ(captions.at(32786), "启动(&S)");
    EXPECT_EQ(captions.at(57664), "关于(&A)...");
    EXPECT_EQ(captions.count(0), 0u);
}

// Choosing English and then Chinese again: a menu refilled on the notification follows.
TEST_F(WidgetsMenu, SwitchingToEnglishAndBackChangesTheTexts) {
    Actions actions;
    QMenuBar bar;
    auto refill = [&] {
        bar.clear();
        FillMenuBar(bar, LoadMenuTree(resource_ids::kMainMenu), [&](uint16_t id) {
            QAction* a = actions.For(id);
            return a;
        });
        for (auto& [id, caption] : CommandCaptions(LoadMenuTree(resource_ids::kMainMenu))) {
            ApplyCommandTexts(*actions.For(id), id, caption);
        }
    };
    refill();
    QObject receiver;
    QObject::connect(&LanguageNotifier::Instance(), &LanguageNotifier::languageChanged, &receiver, refill);
    QSignalSpy spy(&LanguageNotifier::Instance(), &LanguageNotifier::languageChanged);

    auto texts = [&] {
        return std::vector<QString>{bar.actions()[0]->text(), actions.For(32786)->text(), actions.For(32786)->toolTip(),
                                    actions.For(32786)->statusTip()};
    };
    EXPECT_EQ(texts(), (std::vector<QString>{"文件(&F)", "启动(&S)", "启动", "启动DeviceNet网络"}));

    ASSERT_TRUE(SetResourceManager(std::make_unique<CXTPResourceManagerXMLEx>(LanguageFile("english.xml"))));
    LanguageNotifier::Instance().Notify();
    EXPECT_EQ(texts(), (std::vector<QString>{"&File", "&Start", "Start", "Start the DeviceNet network"}));

    ASSERT_TRUE(SetResourceManager(std::make_unique<CXTPResourceManagerXMLEx>(LanguageFile("chinese.xml"))));
    LanguageNotifier::Instance().Notify();
    EXPECT_EQ(texts(), (std::vector<QString>{"文件(&F)", "启动(&S)", "启动", "启动DeviceNet网络"}));
    EXPECT_EQ(spy.count(), 2);
}

}  // namespace
