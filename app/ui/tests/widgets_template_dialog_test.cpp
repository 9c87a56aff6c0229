// Dialogs built from templates: controls by id, labels, buttons, fallbacks and bad templates.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include "resources/resource_ids.h"
#include "resources/resource_manager.h"
#include "services/global.h"
#include "ui/frame/info_log_pane.h"
#include "ui/frame/qt_host.h"
#include "ui/models/info_log_model.h"
#include "ui/widgets/control_factory.h"
#include "ui/widgets/font_mapping.h"
#include "ui/widgets/template_dialog.h"

using namespace resource_ids;

namespace {

class WidgetsTemplateDialog : public testing::Test {
protected:
    void SetUp() override {
        previousHost_ = GetGlobal().Host();
        host_.SetLogPane(&logPane_);
        GetGlobal().SetHost(&host_);
        savedInfobar_ = GetGlobal().Infobar();
        GetGlobal().Infobar().logWarning = 1;
    }
    void TearDown() override {
        GetGlobal().SetHost(previousHost_);
        GetGlobal().Infobar() = savedInfobar_;
        ResetResourceManager();
    }
    // Installs a language document with the given dialogs.
    static void UseLanguage(const std::string& body) {
        ASSERT_TRUE(SetResourceManager(CXTPResourceManagerXMLEx::FromText("<resource>" + body + "</resource>")));
    }

    // The rows the program's host has put into the log pane.
    std::vector<name_share::LogRow> LogRows() const {
        const auto rows = logPane_.Model()->Rows();
        return {rows.begin(), rows.end()};
    }

    CInfoLogPane logPane_;
    CQtHost host_;
    name_share::IHost* previousHost_ = nullptr;
    InfobarSettings savedInfobar_;
};

const std::vector<uint16_t> kSettingsIds = {kCheckLogError, kCheckLogWarning, kCheckLogLog, kCheckShowMsg,
                                            kIdOk,          kIdCancel};

TEST_F(WidgetsTemplateDialog, InfoSettingsCheckBoxesById) {
    TemplateDialog dialog(kInfoSettingDialog, nullptr, kSettingsIds);
    ASSERT_TRUE(dialog.HasTemplate());
    EXPECT_EQ(dialog.windowTitle(), "信息栏设置");
    EXPECT_EQ(dialog.objectName(), "20020");
    const std::pair<uint16_t, const char*> checks[] = {{kCheckLogError, "记录错误信息"},
                                                       {kCheckLogWarning, "记录警告信息"},
                                                       {kCheckLogLog, "记录日志信息"},
                                                       {kCheckShowMsg, "显示弹出消息"}};
    for (const auto& [id, text] : checks) {
        auto* box = dialog.ControlAs<QCheckBox>(id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(box->objectName(), QString::number(id));
        EXPECT_EQ(box->text(), QString::fromUtf8(text));
        EXPECT_TRUE(box->isCheckable());
        // A screen reader reads a check box by its own text.
        EXPECT_EQ(box->accessibleName().isEmpty() ? box->text() : box->accessibleName(), QString::fromUtf8(text));
        EXPECT_FALSE(dialog.IsChecked(id));
        dialog.SetChecked(id, true);
        EXPECT_TRUE(box->isChecked());
        EXPECT_EQ(dialog.GetText(id), text);
    }
    EXPECT_NE(dialog.ControlAs<QGroupBox>(0xFFFF), nullptr);
    EXPECT_TRUE(dialog.ControlAs<QPushButton>(kIdOk)->isDefault());
    EXPECT_FALSE(dialog.ControlAs<QPushButton>(kIdCancel)->isDefault());
    EXPECT_EQ(LogRows().size(), 0u);
    // Every control lies inside the dialog.
    for (uint16_t id : kSettingsIds) {
        QWidget* w = dialog.Control(id);
        EXPECT_TRUE(dialog.rect().contains(w->geometry()))
            << id << " " << w->geometry().right() << "," << w->geometry().bottom() << " in " << dialog.width() << "x"
            << dialog.height();
        EXPECT_GT(w->width(), 0);
    }
}

TEST_F(WidgetsTemplateDialog, OkAcceptsCancelRejects) {
    for (uint16_t id : {kIdOk, kIdCancel}) {
        TemplateDialog dialog(kInfoSettingDialog);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(dialog.ControlAs<QPushButton>(id), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), id == kIdOk ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_FALSE(dialog.isVisible());
    }
    TemplateDialog about(kAboutDialog);
    EXPECT_EQ(about.windowTitle(), "关于 Norvane");
    EXPECT_EQ(about.GetText(kAboutVersion), "DeviceNet 测试工具   V1.013");
    EXPECT_TRUE(about.ControlAs<QPushButton>(kIdOk)->isDefault());
    ASSERT_NE(about.ControlAs<QLabel>(kAboutIcon), nullptr);
    EXPECT_FALSE(about.ControlAs<QLabel>(kAboutIcon)->pixmap().isNull());
}

// A static text right before an input control labels it.
TEST_F(WidgetsTemplateDialog, StaticTextBecomesTheBuddyOfTheNextInput) {
    UseLanguage(
        "<dialog id=\"900\" position=\"0,0,200,120\" caption=\"Buddies\">"
        "<control class=\"STATIC\" id=\"10\" caption=\"Slave &amp;address:\" position=\"4,4,60,10\"/>"
        "<control class=\"EDIT\" id=\"11\" style=\"0x50812000\" position=\"70,4,40,12\"/>"
        "<control class=\"STATIC\" id=\"12\" caption=\"Baud rate\" position=\"4,20,60,10\"/>"
        "<control class=\"COMBOBOX\" id=\"13\" style=\"0x50210003\" position=\"70,20,60,80\"/>"
        "<control class=\"STATIC\" id=\"14\" caption=\"Not a label of a button\" position=\"4,40,60,10\"/>"
        "<control class=\"BUTTON\" id=\"15\" caption=\"Press\" position=\"70,40,40,14\"/>"
        "<control class=\"EDIT\" id=\"16\" position=\"70,60,40,12\"/>"
        "<control class=\"STATIC\" id=\"17\" caption=\"Icon\" style=\"0x50000003\" position=\"4,80,20,20\"/>"
        "<control class=\"LISTBOX\" id=\"18\" position=\"70,80,60,30\"/>"
        "</dialog>");
    TemplateDialog dialog(900);
    struct Case {
        int label, input;
        QString name;
    };
    for (const Case& c : {Case{10, 11, "Slave address:"}, Case{12, 13, "Baud rate"}}) {
        EXPECT_EQ(dialog.ControlAs<QLabel>(c.label)->buddy(), dialog.Control(c.input)) << c.input;
        EXPECT_EQ(dialog.Control(c.input)->accessibleName(), c.name) << c.input;
    }
    EXPECT_EQ(dialog.ControlAs<QLabel>(14)->buddy(), nullptr);
    EXPECT_TRUE(dialog.Control(16)->accessibleName().isEmpty());  // the button came between
    EXPECT_TRUE(dialog.Control(18)->accessibleName().isEmpty());  // an icon is no label
    // Re-captioning a label renames its input.
    dialog.SetText(12, "Baud");
    EXPECT_EQ(dialog.Control(13)->accessibleName(), "Baud");
    // ES_NUMBER | ES_READONLY? 0x50812000 is ES_NUMBER without read-only: digits only.
    auto* edit = dialog.ControlAs<QLineEdit>(11);
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->isReadOnly());
    QTest::keyClicks(edit, "12ab3");
    EXPECT_EQ(dialog.GetText(11), "123");
    // The drop-down list keeps the height of one line, not the template's list height.
    auto* combo = dialog.ControlAs<QComboBox>(13);
    EXPECT_FALSE(combo->isEditable());
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
}

TEST_F(WidgetsTemplateDialog, ControlsInterfaceRoundTrips) {
    UseLanguage(
        "<dialog id=\"901\" position=\"0 0 220 160\">"
        "<control class=\"COMBOBOX\" id=\"1\" style=\"0x50010002\" position=\"4,4,80,60\"/>"
        "<control class=\"COMBOBOX\" id=\"2\" style=\"0x50010003\" position=\"4,20,80,60\"/>"
        "<control class=\"LISTBOX\" id=\"3\" position=\"4,36,80,30\"/>"
        "<control class=\"SysListView32\" id=\"4\" style=\"0x50010001\" position=\"90,4,80,40\"/>"
        "<control class=\"NorvaneReport\" id=\"5\" position=\"90,50,80,40\"/>"
        "<control class=\"msctls_progress32\" id=\"6\" position=\"4,70,80,8\"/>"
        "<control class=\"EDIT\" id=\"7\" style=\"0x50810804\" caption=\"read only&#10;lines\" "
        "position=\"4,82,80,30\"/>"
        "<control class=\"BUTTON\" id=\"8\" style=\"0x50000006\" caption=\"three\" position=\"4,116,80,10\"/>"
        "<control class=\"STATIC\" id=\"9\" style=\"0x40000000\" caption=\"hidden\" position=\"4,130,80,10\"/>"
        "<control class=\"BUTTON\" id=\"10\" style=\"0x58010000\" caption=\"disabled\" position=\"90,116,60,14\"/>"
        "</dialog>");
    TemplateDialog dialog(901);
    const std::vector<std::string> items = {"125K", "250K", "500K"};
    for (int id : {1, 2, 3, 4, 5}) {
        dialog.SetItems(id, items);
        EXPECT_EQ(dialog.Items(id), items) << id;
        dialog.SetCurrentIndex(id, 2);
        EXPECT_EQ(dialog.CurrentIndex(id), 2) << id;
        dialog.SetCurrentIndex(id, 7);  // out of range: no item
        EXPECT_EQ(dialog.CurrentIndex(id), -1) << id;
    }
    EXPECT_TRUE(dialog.ControlAs<QComboBox>(1)->isEditable());
    dialog.SetText(1, "typed");
    EXPECT_EQ(dialog.GetText(1), "typed");
    dialog.SetText(2, "250K");
    EXPECT_EQ(dialog.CurrentIndex(2), 1);
    EXPECT_FALSE(dialog.ControlAs<QTreeWidget>(4)->isHeaderHidden());
    ASSERT_NE(dialog.ControlAs<QTableWidget>(5), nullptr);
    dialog.SetText(6, "40");
    EXPECT_EQ(dialog.ControlAs<QProgressBar>(6)->value(), 40);
    auto* multi = dialog.ControlAs<QPlainTextEdit>(7);
    ASSERT_NE(multi, nullptr);
    EXPECT_TRUE(multi->isReadOnly());
    EXPECT_EQ(dialog.GetText(7), "read only\nlines");
    EXPECT_TRUE(dialog.ControlAs<QCheckBox>(8)->isTristate());
    EXPECT_FALSE(dialog.IsShown(9));
    dialog.SetShown(9, true);
    EXPECT_TRUE(dialog.IsShown(9));
    EXPECT_FALSE(dialog.IsEnabled(10));
    dialog.SetEnabled(10, true);
    EXPECT_TRUE(dialog.IsEnabled(10));
    // Ids the dialog does not have.
    EXPECT_FALSE(dialog.HasControl(4711));
    dialog.SetText(4711, "x");
    dialog.SetChecked(4711, true);
    EXPECT_EQ(dialog.GetText(4711), "");
    EXPECT_EQ(dialog.CurrentIndex(4711), -1);
    EXPECT_TRUE(dialog.Items(4711).empty());
}

TEST_F(WidgetsTemplateDialog, RadioButtonsAreExclusiveWithinTheirGroup) {
    UseLanguage(
        "<dialog id=\"902\" position=\"0,0,120,80\">"
        "<control class=\"BUTTON\" id=\"1\" style=\"0x50030009\" caption=\"a\" position=\"4,4,40,10\"/>"
        "<control class=\"BUTTON\" id=\"2\" style=\"0x50010009\" caption=\"b\" position=\"4,16,40,10\"/>"
        "<control class=\"BUTTON\" id=\"3\" style=\"0x50030009\" caption=\"c\" position=\"60,4,40,10\"/>"
        "<control class=\"BUTTON\" id=\"4\" style=\"0x50010009\" caption=\"d\" position=\"60,16,40,10\"/>"
        "</dialog>");
    TemplateDialog dialog(902);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    // Clicks on the indicator (the button's left end).
    auto click = [&](int id) {
        QWidget* w = dialog.Control(id);
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, w->height() / 2));
    };
    for (int id : {1, 3}) click(id);
    EXPECT_TRUE(dialog.IsChecked(1));
    EXPECT_TRUE(dialog.IsChecked(3));
    click(2);
    EXPECT_FALSE(dialog.IsChecked(1));
    EXPECT_TRUE(dialog.IsChecked(2));
    EXPECT_TRUE(dialog.IsChecked(3));
}

// A language template without the controls the behaviour needs is not used.
TEST_F(WidgetsTemplateDialog, IncompleteLanguageTemplateFallsBackWithOneWarning) {
    UseLanguage(
        "<dialog id=\"20020\" caption=\"Settings\" position=\"0,0,100,40\">"
        "<control class=\"BUTTON\" id=\"1001\" style=\"0x50010003\" caption=\"Errors\" position=\"4,4,80,10\"/>"
        "<control class=\"BUTTON\" id=\"1\" caption=\"OK\" position=\"4,20,40,14\"/></dialog>");
    TemplateDialog dialog(kInfoSettingDialog, nullptr, kSettingsIds);
    EXPECT_EQ(dialog.windowTitle(), "信息栏设置");
    for (uint16_t id : kSettingsIds) EXPECT_TRUE(dialog.HasControl(id)) << id;
    ASSERT_EQ(LogRows().size(), 1u);
    EXPECT_EQ(LogRows()[0].level, name_share::kLevelWarning);
    EXPECT_EQ(LogRows()[0].text, "对话框 20020 的语言模板缺少控件 1002, 1003, 1004, 2，已改用内置模板");

    // The line's text comes from the language file too; printf directives in it are only text.
    UseLanguage(
        "<string id=\"61606\" value=\"%s%s%n%x dialog %u lacks %s\"/>"
        "<dialog id=\"20020\" caption=\"Settings\"><control class=\"BUTTON\" id=\"1\"/></dialog>");
    TemplateDialog again(kInfoSettingDialog, nullptr, {kIdOk, kIdCancel});
    ASSERT_EQ(LogRows().size(), 2u);
    EXPECT_EQ(LogRows()[1].text, "22%n%x dialog 20020 lacks 2");

    // A complete language template re-captions and moves the controls.
    UseLanguage(
        "<dialog id=\"20020\" caption=\"Settings\" position=\"0,0,300,200\">"
        "<control class=\"BUTTON\" id=\"1001\" style=\"0x50010003\" caption=\"Errors\" position=\"150,100,80,10\"/>"
        "<control class=\"BUTTON\" id=\"1002\" style=\"0x50010003\" caption=\"Warnings\" position=\"4,4,80,10\"/>"
        "<control class=\"BUTTON\" id=\"1003\" style=\"0x50010003\" caption=\"Log\" position=\"4,16,80,10\"/>"
        "<control class=\"BUTTON\" id=\"1004\" style=\"0x50010003\" caption=\"Pop-ups\" position=\"4,28,80,10\"/>"
        "<control class=\"BUTTON\" id=\"1\" caption=\"OK\" position=\"4,40,40,14\"/>"
        "<control class=\"BUTTON\" id=\"2\" caption=\"Cancel\" position=\"50,40,40,14\"/></dialog>");
    TemplateDialog english(kInfoSettingDialog, nullptr, kSettingsIds);
    EXPECT_EQ(english.windowTitle(), "Settings");
    EXPECT_EQ(english.GetText(kCheckLogError), "Errors");
    EXPECT_EQ(english.Control(kCheckLogError)->x(), english.DialogUnitsToPixelsX(150));
    EXPECT_EQ(english.Control(kCheckLogError)->y(), english.DialogUnitsToPixelsY(100));
    EXPECT_EQ(LogRows().size(), 2u);
}

TEST_F(WidgetsTemplateDialog, BadTemplatesStayUsable) {
    UseLanguage(
        "<dialog id=\"903\" position=\"0,0,0,0\" fontsize=\"300\">"
        "<control class=\"SysDateTimePick32\" id=\"1\" caption=\"when\" position=\"4,4,60,12\"/>"
        "<control class=\"EDIT\" id=\"2\" position=\"-50,-9999,99999,70000\"/>"
        "<control class=\"BUTTON\" id=\"3\" caption=\"OK\" position=\"10,30,40,14\"/>"
        "</dialog>");
    TemplateDialog dialog(903);
    QWidget* unknown = dialog.Control(1);
    ASSERT_NE(unknown, nullptr);
    EXPECT_TRUE(IsPlaceholderControl(unknown));
    EXPECT_EQ(dialog.GetText(1), "[SysDateTimePick32] when");
    QWidget* huge = dialog.Control(2);
    EXPECT_EQ(huge->pos(), QPoint(0, 0));
    EXPECT_EQ(huge->width(), dialog.DialogUnitsToPixelsX(kMaxDialogUnits));
    EXPECT_EQ(huge->height(), dialog.DialogUnitsToPixelsY(kMaxDialogUnits));
    // A dialog of size 0 still holds its controls.
    EXPECT_TRUE(dialog.rect().contains(dialog.Control(3)->geometry()));
    EXPECT_LE(QFontInfo(dialog.font()).pointSize(), 48);

    TemplateDialog none(4711);
    EXPECT_FALSE(none.HasTemplate());
    EXPECT_EQ(none.Control(1), nullptr);
}

TEST_F(WidgetsTemplateDialog, ChildTemplateIsPartOfItsParent) {
    UseLanguage(
        "<dialog id=\"906\" style=\"0x50000000\" position=\"0,0,80,20\"><control class=\"STATIC\" id=\"1\" "
        "caption=\"in\" position=\"2,2,40,10\"/></dialog>"
        "<dialog id=\"907\" style=\"0x80C80080\" position=\"0,0,80,20\"/>");
    QWidget panel;
    auto* child = new TemplateDialog(906, &panel);
    EXPECT_FALSE(child->isWindow());
    auto* popup = new TemplateDialog(907, &panel);
    EXPECT_TRUE(popup->isWindow());
    TemplateDialog alone(906);  // without a parent it can only be a window
    EXPECT_TRUE(alone.isWindow());
}

TEST_F(WidgetsTemplateDialog, DialogUnitsFollowTheFont) {
    UseLanguage(
        "<dialog id=\"904\" position=\"0,0,100,50\" fontsize=\"8\"><control class=\"EDIT\" id=\"1\" "
        "position=\"0,0,100,50\"/></dialog>"
        "<dialog id=\"905\" position=\"0,0,100,50\" fontsize=\"16\"><control class=\"EDIT\" id=\"1\" "
        "position=\"0,0,100,50\"/></dialog>");
    TemplateDialog small(904);
    TemplateDialog large(905);
    EXPECT_GT(large.Control(1)->width(), small.Control(1)->width() * 3 / 2);
    EXPECT_GT(large.Control(1)->height(), small.Control(1)->height() * 3 / 2);
    EXPECT_EQ(small.size(), small.Control(1)->size());
}

TEST(WidgetsFont, WindowsFacesMapToTheDesktopFontWithCjk) {
    const QFont font = DialogFont("MS Sans Serif", 8);
    EXPECT_EQ(font.pointSizeF(), 8.0);
    const QStringList families = font.families();
    ASSERT_FALSE(families.isEmpty());
    EXPECT_FALSE(families.contains("MS Sans Serif", Qt::CaseInsensitive));
    if (QFontDatabase::families().contains("Noto Sans CJK SC")) {
        EXPECT_TRUE(families.contains("Noto Sans CJK SC"));
    }
    EXPECT_EQ(DialogFont("宋体", 9).families(), DialogFont("MS Shell Dlg", 9).families());
    EXPECT_EQ(DialogFont("", 0).pointSizeF(), 8.0);
    // An installed face named by a language file is used first.
    const QString installed = QFontDatabase::families().value(0);
    if (!installed.isEmpty()) {
        EXPECT_EQ(DialogFont(installed.toStdString(), 10).families().value(0), installed);
    }
}

}  // namespace
