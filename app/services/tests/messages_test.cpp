// Texts, message boxes and log rows of the application services.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "services/global.h"
#include "resources/resource_manager.h"
#include "test_support.h"

using name_share::Rgb;
using testing_support::RecordingHost;
using testing_support::TempDir;

namespace {

class Messages : public ::testing::Test {
protected:
    void SetUp() override {
        ResetResourceManager();
        dir.Write("Norvane.xml", testing_support::kNorvaneXml);
        dir.Write("config.xml", "<InfobarParas/>");
        global = std::make_unique<CGlobal>(dir.Path());
        global->SetHost(&host);
    }

    TempDir dir;
    RecordingHost host;
    std::unique_ptr<CGlobal> global;
};

const std::string kInitContext = "VARDA_Init(类型=101,地址=0,通道索引=0)--";

}  // namespace

TEST_F(Messages, ApiErrorShowsBoxAndRedRow) {
    global->ReportApiError(45, kInitContext);
    const std::string expected = kInitContext + "\n\n错误号:45( 初始化设备失败 )";
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "错误");
    EXPECT_EQ(host.boxes[0].text, expected);
    EXPECT_EQ(host.boxes[0].type, 16u);  // stop icon, OK button
    ASSERT_EQ(host.rows.size(), 1u);
    EXPECT_EQ(host.rows[0].text, expected);
    EXPECT_EQ(host.rows[0].level, 0);
    EXPECT_EQ(host.rows[0].image, 0);
    EXPECT_EQ(host.rows[0].textColour, (Rgb{200, 0, 0}));
    EXPECT_TRUE(std::regex_match(host.rows[0].time, std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]")));
}

TEST_F(Messages, ApiErrorSwitches) {
    global->Infobar().showMsg = 0;
    global->ReportApiError(45, kInitContext);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.rows.size(), 1u);
    global->Infobar().logError = 0;
    global->ReportApiError(45, kInitContext);
    EXPECT_TRUE(host.boxes.empty());
    EXPECT_EQ(host.rows.size(), 1u);
}

TEST_F(Messages, MissingCodesReadNull) {
    global->ReportApiError(85, "ctx");
    global->ReportApiError(94, "ctx");
    global->ReportApiError(-1, "ctx");
    global->ReportApiError(101, "ctx");
    ASSERT_EQ(host.boxes.size(), 4u);
    EXPECT_EQ(host.boxes[0].text, "ctx\n\n错误号:85((null))");
    EXPECT_EQ(host.boxes[1].text, "ctx\n\n错误号:94((null))");
    EXPECT_EQ(host.boxes[2].text, "ctx\n\n错误号:-1((null))");
    EXPECT_EQ(host.boxes[3].text, "ctx\n\n错误号:101((null))");
    EXPECT_EQ(global->GetStatusText(85), "(null)");
    EXPECT_EQ(global->FindStatusText(85), nullptr);
}

TEST_F(Messages, ExplicitErrorAgainstApiError) {
    global->ReportExplicitError(8, "EM");
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "警告");
    EXPECT_EQ(host.boxes[0].type, 48u);
    EXPECT_EQ(host.boxes[0].text, "EM\n\n错误码:8( 不支持服务 )");
    EXPECT_TRUE(host.rows.empty());  // explicit errors are not logged

    global->ReportApiError(8, "EM");
    EXPECT_EQ(host.boxes[1].text, "EM\n\n错误号:8( 服务没有打开或者已经关闭 )");

    // ShowMsg does not apply to explicit errors.
    global->Infobar().showMsg = 0;
    global->ReportExplicitError(37, "x");
    global->ReportExplicitError(38, "x");
    global->ReportExplicitError(85, "x");
    ASSERT_EQ(host.boxes.size(), 5u);
    EXPECT_EQ(host.boxes[2].text, "x\n\n错误码:37( DeviceNet预留，用于扩展 )");
    EXPECT_EQ(host.boxes[3].text, "x\n\n错误码:38( DeviceNet预留，用于扩展 )");
    EXPECT_EQ(host.boxes[4].text, "x\n\n错误码:85((null))");
}

TEST_F(Messages, ContextWithPercentSignsIsNotAFormat) {
    global->ReportApiError(47, "100% %s %d");
    EXPECT_EQ(host.boxes.at(0).text, "100% %s %d\n\n错误号:47( 无效参数 )");
}

TEST_F(Messages, StatusTable) {
    const auto& t = global->StatusTexts();
    EXPECT_EQ(t.size(), 69u);
    struct Case {
        int32_t code;
        const char* text;
    };
    const Case cases[] = {
        {0, "从站在线"},
        {2, " 资源不可用 "},
        {11, "对象已处于服务请求的模式/状态 "},
        {20, "不支持的属性"},
        {40, " 无效的成员ID "},
        {41, " 装载DLL失败 "},
        {59, "等待超时 "},
        {64, " 该接口未实现（为以后板卡预留） "},
        {65, "自动扫描有效 "},
        {67, " 连接不存在 "},
        {70, "重复MAC ID检测失败 "},
        {72, " 设备停止通信 "},
        {76, " 网络无数据，并且超时 "},
        {83, "设备初始化失败 "},
        {91, " CAN接口BUS-OFF "},
        {93, " 检测到一个或者多个配置功能块CRC错误 "},
        {96, "接口测试模式 "},
        {98, "固件错误 "},
        {100, " 主站卡内部错误 "},
    };
    for (const Case& c : cases) EXPECT_EQ(global->GetStatusText(c.code), c.text) << c.code;
    for (int32_t missing : {1, 3, 5, 6, 7, 10, 13, 15, 18, 23, 31, 33, 39, 51, 53, 58, 68, 69, 85, 94})
        EXPECT_EQ(t.count(missing), 0u) << missing;
}

TEST_F(Messages, ExplicitTable) {
    const auto& t = global->ExplicitStatusTexts();
    EXPECT_EQ(t.size(), 18u);
    EXPECT_STREQ(t.at(1), " DeviceNet预留，用于扩展 ");
    EXPECT_STREQ(t.at(17), " 应答数据太大");
    EXPECT_STREQ(t.at(22), " 对象不存在");
    EXPECT_STREQ(t.at(40), " 无效成员ID");
    // Shared wording with the API table.
    for (auto [ex, api] : {std::pair{2, 2}, {4, 4}, {21, 21}, {32, 47}})
        EXPECT_STREQ(t.at(ex), global->StatusTexts().at(api)) << ex;
    EXPECT_STRNE(t.at(8), global->StatusTexts().at(8));
}

TEST_F(Messages, LogLevelsAndSwitches) {
    global->LogMessage(0, "e%d", 1);
    global->LogMessage(1, "w%s", "2");
    global->LogMessage(2, "l");  // LogLog is off by default
    global->Infobar().logLog = 1;
    global->LogMessage(7, "other");  // any other level is a log line
    global->Infobar().logWarning = 0;
    global->LogMessage(1, "hidden");
    ASSERT_EQ(host.rows.size(), 3u);
    EXPECT_EQ(host.rows[0].text, "e1");
    EXPECT_EQ(host.rows[1].text, "w2");
    EXPECT_EQ(host.rows[1].image, 1);
    EXPECT_EQ(host.rows[1].textColour, (Rgb{180, 180, 0}));
    EXPECT_EQ(host.rows[2].text, "other");
    EXPECT_EQ(host.rows[2].level, 2);
    EXPECT_EQ(host.rows[2].image, 2);
    EXPECT_FALSE(host.rows[2].textColour.has_value());
}

TEST_F(Messages, BoxLevels) {
    global->ShowMessageBox(0, "a");
    global->ShowMessageBox(1, "b");
    global->ShowMessageBox(2, "c");
    global->ShowMessageBox(-3, "d");
    ASSERT_EQ(host.boxes.size(), 4u);
    EXPECT_EQ(host.boxes[0].caption, "错误");
    EXPECT_EQ(host.boxes[1].caption, "警告");
    EXPECT_EQ(host.boxes[2].caption, "信息");
    EXPECT_EQ(host.boxes[2].type, 64u);
    EXPECT_EQ(host.boxes[3].caption, "信息");
    EXPECT_EQ(host.boxes[0].owner, nullptr);
}

TEST_F(Messages, ComposedTextsAreBoundedAt1023Bytes) {
    const std::string longText(3000, 'x');
    global->ReportApiError(45, longText);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, std::string(1023, 'x'));
    EXPECT_EQ(host.rows.at(0).text.size(), 1023u);
    // A cut never splits a character: 341 three-byte characters fill 1023 bytes exactly,
    // one more byte in front pushes the last one out.
    std::string chinese;
    for (int i = 0; i < 400; ++i) chinese += "错";
    global->ShowMessageBox(2, "%s", chinese.c_str());
    EXPECT_EQ(host.boxes[1].text.size(), 1023u);
    global->ShowMessageBox(2, "a%s", chinese.c_str());
    EXPECT_EQ(host.boxes[2].text.size(), 1021u);
}

TEST_F(Messages, BaseMessageServices) {
    EXPECT_EQ(global->MessageBox(nullptr, "hello", 0, 0), 1);
    EXPECT_EQ(global->MessageBox(nullptr, "careful", 1, 0), 1);
    EXPECT_EQ(global->MessageBox(nullptr, "bad", 2, 0), 1);
    EXPECT_EQ(global->MessageBox(nullptr, "custom", 2, 1 | 48), 1);
    EXPECT_EQ(global->MessageBox(nullptr, "none", 3, 0), 0);
    EXPECT_EQ(global->MessageBox(nullptr, "none", -1, 0), 0);
    ASSERT_EQ(host.boxes.size(), 4u);
    EXPECT_EQ(host.boxes[0].caption, "Information");
    EXPECT_EQ(host.boxes[0].type, 64u);
    EXPECT_EQ(host.boxes[1].caption, "Warning");
    EXPECT_EQ(host.boxes[1].type, 32u);
    EXPECT_EQ(host.boxes[2].caption, "Error");
    EXPECT_EQ(host.boxes[2].type, 16u);
    EXPECT_EQ(host.boxes[3].type, 49u);

    // ShowMessage: an error box whatever kind and type say.
    global->ShowMessage("text %d", 0, 64, nullptr);
    EXPECT_EQ(host.boxes[4].caption, "错误");
    EXPECT_EQ(host.boxes[4].text, "text %d");
    EXPECT_EQ(host.boxes[4].type, 16u);
    // ShowMessageById loads the string first.
    global->ShowMessageById(10022, 0, 0, nullptr);
    EXPECT_EQ(host.boxes[5].text, "启动");

    EXPECT_EQ(global->OpenProgramFile("help.chm"), 1);
    EXPECT_EQ(host.opened.at(0), dir.Path() + "help.chm");
}

TEST(MessagesWithoutHost, NothingHappens) {
    TempDir dir;
    CGlobal global(dir.Path());
    EXPECT_EQ(global.ShowMessageBox(0, "x"), 0);
    global.LogMessage(0, "x");
    global.ReportApiError(45, "x");
    EXPECT_EQ(global.MessageBox(nullptr, "x", 0, 0), 0);
    EXPECT_EQ(global.TrackContextMenu(128, 0, nullptr), 0);
    // Texts work without any window.
    EXPECT_EQ(global.LoadText(10005), "错误");
}
