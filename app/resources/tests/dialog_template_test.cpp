// Dialog templates of the language document and the built-in document.
#include <gtest/gtest.h>

#include "resources/resource_document.h"
#include "resources/resource_ids.h"
#include "resources/resource_manager.h"

namespace {

std::unique_ptr<CXTPResourceManagerXMLEx> Manager(const std::string& body) {
    return CXTPResourceManagerXMLEx::FromText("<resource>" + body + "</resource>");
}

TEST(ResourceDialogs, TwoControlsDefaultFontAndCache) {
    auto manager = Manager(
        "<dialog id=\"20020\" style=\"0x80C80080\" position=\"0,0,150,60\" caption=\"Info Bar Settings\">"
        "<control class=\"BUTTON\" id=\"1001\" style=\"0x50010003\" position=\"8,8,100,10\" caption=\"Log errors\"/>"
        "<control/>"
        "</dialog>");
    const DialogTemplate* t = manager->LoadDialogTemplate(20020);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->style, 0x80C800C0u);  // DS_SETFONT added
    EXPECT_EQ(t->exStyle, 0u);
    EXPECT_EQ(t->ControlCount(), 2);
    EXPECT_EQ(t->fontFace, "MS Sans Serif");
    EXPECT_EQ(t->fontSize, 8);
    EXPECT_EQ(t->caption, "Info Bar Settings");
    EXPECT_EQ((std::array<int, 4>{t->x, t->y, t->cx, t->cy}), (std::array<int, 4>{0, 0, 150, 60}));
    const DLGITEMTEMPLATEINFO& first = t->controls[0];
    EXPECT_EQ(first.className, "BUTTON");
    EXPECT_EQ(first.id, 1001);
    EXPECT_EQ(first.style, 0x50010003u);
    EXPECT_EQ(first.caption, "Log errors");
    EXPECT_FALSE(first.HasOrdinalTitle());
    // Every default of a control.
    const DLGITEMTEMPLATEINFO defaults;
    EXPECT_EQ(t->controls[1], defaults);
    EXPECT_EQ(defaults.style, 0x50020000u);
    EXPECT_EQ(defaults.className, "STATIC");
    EXPECT_EQ(defaults.id, 0xFFFF);

    EXPECT_EQ(manager->LoadDialogTemplate(20020), t);  // cached
    manager->Close();
    EXPECT_FALSE(manager->IsValid());
    // After Close the built-in template answers.
    EXPECT_EQ(manager->LoadDialogTemplate(20020), BuiltinDialogTemplate(20020));
}

TEST(ResourceDialogs, OrdinalTitle) {
    auto manager = Manager(
        "<dialog id=\"100\"><control class=\"STATIC\" resource=\"130\" caption=\"replaced\" id=\"5\"/>"
        "<control resource=\"0\" caption=\"kept\"/><control resource=\"-4\" caption=\"negative\"/></dialog>");
    const DialogTemplate* t = manager->LoadDialogTemplate(100);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->controls.size(), 3u);
    EXPECT_TRUE(t->controls[0].HasOrdinalTitle());
    EXPECT_EQ(t->controls[0].OrdinalTitle(), (std::array<uint16_t, 2>{0xFFFF, 130}));
    EXPECT_EQ(t->controls[0].caption, " ");
    EXPECT_EQ(t->controls[1].caption, "kept");
    EXPECT_FALSE(t->controls[2].HasOrdinalTitle());
    EXPECT_EQ(t->controls[2].caption, "negative");
}

TEST(ResourceDialogs, MissingStyleTakesBuiltinStyle) {
    const DialogTemplate* builtin = BuiltinDialogTemplate(resource_ids::kInfoSettingDialog);
    ASSERT_NE(builtin, nullptr);
    auto manager = Manager("<dialog id=\"20020\" caption=\"x\"/><dialog id=\"777\" caption=\"y\"/>");
    EXPECT_EQ(manager->LoadDialogTemplate(20020)->style, builtin->style);
    EXPECT_EQ(manager->LoadDialogTemplate(777)->style, kDsSetFont);
    EXPECT_EQ(manager->LoadDialogTemplate(777)->ControlCount(), 0);
    EXPECT_EQ(manager->LoadDialogTemplate(778), nullptr);
}

TEST(ResourceDialogs, PositionsAndNumbersInWrittenForms) {
    struct Case {
        const char* position;
        std::array<int, 4> expected;
    };
    const Case cases[] = {
        {"1,2,3,4", {1, 2, 3, 4}},
        {"1 2 3 4", {1, 2, 3, 4}},
        {" 10, 20 , 30,40 ", {10, 20, 30, 40}},
        {"0x10,0X1f,0xA,0", {16, 31, 10, 0}},
        {"5\t6\n7  8", {5, 6, 7, 8}},
        // clamped
        {"-5,-70000,100000,2049", {0, 0, kMaxDialogUnits, kMaxDialogUnits}},
        // not a rectangle: the default 0,0,0,0
        {"1,2,3", {0, 0, 0, 0}},
        {"1,2,3,4,5", {0, 0, 0, 0}},
        {"1,,2,3,4", {0, 0, 0, 0}},
        {"a,b,c,d", {0, 0, 0, 0}},
        {"1,2,3,4,", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        auto manager = Manager(std::string("<dialog id=\"1\" position=\"") + c.position + "\"><control position=\"" +
                               c.position + "\"/></dialog>");
        const DialogTemplate* t = manager->LoadDialogTemplate(1);
        ASSERT_NE(t, nullptr) << c.position;
        EXPECT_EQ((std::array<int, 4>{t->x, t->y, t->cx, t->cy}), c.expected) << c.position;
        const DLGITEMTEMPLATEINFO& k = t->controls.at(0);
        EXPECT_EQ((std::array<int, 4>{k.x, k.y, k.cx, k.cy}), c.expected) << c.position;
    }
    // Numbers: decimal, hexadecimal, signed 32-bit written either way, child elements.
    auto manager = Manager(
        "<dialog id=\"2\"><style>0x10000000</style><styleex>-1</styleex><fontsize>0x9</fontsize>"
        "<fontface>Tahoma</fontface><position>1 2 3 4</position>"
        "<control id=\"-1\" style=\"1342177280\"/><control id=\"65537\" style=\"0x1FFFFFFFF\"/></dialog>");
    const DialogTemplate* t = manager->LoadDialogTemplate(2);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->style, 0x10000040u);
    EXPECT_EQ(t->exStyle, 0xFFFFFFFFu);
    EXPECT_EQ(t->fontSize, 9);
    EXPECT_EQ(t->fontFace, "Tahoma");
    EXPECT_EQ(t->cy, 4);
    EXPECT_EQ(t->controls[0].id, 0xFFFF);
    EXPECT_EQ(t->controls[0].style, 0x50000000u);
    EXPECT_EQ(t->controls[1].id, 1);
    EXPECT_EQ(t->controls[1].style, kDefaultControlStyle);  // out of range: the default
}

TEST(ResourceDialogs, NumberParsing) {
    using resources::ParseNumber;
    EXPECT_EQ(ParseNumber("12"), 12);
    EXPECT_EQ(ParseNumber(" -12 "), -12);
    EXPECT_EQ(ParseNumber("+0x1F"), 31);
    EXPECT_EQ(ParseNumber("0"), 0);
    for (const char* bad : {"", " ", "0x", "12a", "1 2", "--1", "0xG", "99999999999999999999"}) {
        EXPECT_EQ(ParseNumber(bad), std::nullopt) << bad;
    }
}

TEST(ResourceDialogs, CheckedTemplateFallsBackWhenIdsAreMissing) {
    using namespace resource_ids;
    const std::vector<uint16_t> required = {kCheckLogError, kCheckLogWarning, kCheckLogLog, kCheckShowMsg, kIdOk};
    auto manager = Manager(
        "<dialog id=\"20020\" caption=\"Settings\"><control class=\"BUTTON\" id=\"1001\"/>"
        "<control class=\"BUTTON\" id=\"1\"/></dialog>");
    ASSERT_TRUE(SetResourceManager(std::move(manager)));
    std::vector<uint16_t> missing;
    const DialogTemplate* t = LoadCheckedDialogTemplate(kInfoSettingDialog, required, &missing);
    EXPECT_EQ(t, BuiltinDialogTemplate(kInfoSettingDialog));
    EXPECT_EQ(missing, (std::vector<uint16_t>{kCheckLogWarning, kCheckLogLog, kCheckShowMsg}));

    // A complete language template is used as it is.
    ASSERT_TRUE(SetResourceManager(
        Manager("<dialog id=\"20020\" caption=\"Settings\"><control id=\"1001\"/><control id=\"1002\"/>"
                "<control id=\"1003\"/><control id=\"1004\"/><control id=\"1\"/></dialog>")));
    t = LoadCheckedDialogTemplate(kInfoSettingDialog, required, &missing);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, "Settings");
    EXPECT_TRUE(missing.empty());
    ResetResourceManager();
    EXPECT_EQ(LoadCheckedDialogTemplate(4711, required, &missing), nullptr);
}

TEST(ResourceDialogs, BuiltinTemplatesHoldTheControlsTheirDialogsNeed) {
    using namespace resource_ids;
    ResetResourceManager();
    const DialogTemplate* settings = XTPResourceManager().LoadDialogTemplate(kInfoSettingDialog);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->caption, "信息栏设置");
    const std::pair<uint16_t, const char*> checks[] = {{kCheckLogError, "记录错误信息"},
                                                       {kCheckLogWarning, "记录警告信息"},
                                                       {kCheckLogLog, "记录日志信息"},
                                                       {kCheckShowMsg, "显示弹出消息"},
                                                       {kIdOk, "确定"},
                                                       {kIdCancel, "取消"}};
    for (const auto& [id, caption] : checks) {
        const DLGITEMTEMPLATEINFO* c = settings->FindControl(id);
        ASSERT_NE(c, nullptr) << id;
        EXPECT_EQ(c->className, "BUTTON");
        EXPECT_EQ(c->caption, caption);
    }
    const DialogTemplate* about = XTPResourceManager().LoadDialogTemplate(kAboutDialog);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->caption, "关于 Norvane");
    EXPECT_EQ(about->FindControl(kAboutVersion)->caption, "DeviceNet 测试工具   V1.013");
    EXPECT_EQ(about->FindControl(kAboutIcon)->OrdinalTitle(), (std::array<uint16_t, 2>{0xFFFF, 128}));
    EXPECT_NE(about->FindControl(kIdOk), nullptr);
    // Every control of a built-in template lies inside its dialog.
    for (uint32_t id : BuiltinDialogIds()) {
        const DialogTemplate* t = BuiltinDialogTemplate(id);
        ASSERT_NE(t, nullptr);
        EXPECT_NE(t->style & kDsSetFont, 0u);
        for (const DLGITEMTEMPLATEINFO& c : t->controls) {
            EXPECT_LE(c.x + c.cx, t->cx) << id << "/" << c.id;
            EXPECT_LE(c.y + c.cy, t->cy) << id << "/" << c.id;
        }
    }
}

}  // namespace
