#include "monitor/data_pane_io.h"
#include "monitor/explicit_console.h"
#include "services/status_texts.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

using monitor::ConsoleApi;

struct Report {
    char kind;  // 'A' api error, 'E' explicit error
    int32_t code;
    std::string context;
    bool operator==(const Report&) const = default;
};

class Recorder : public monitor::IConsoleReports {
public:
    void ReportApiError(int32_t code, std::string_view context) override {
        reports.push_back({'A', code, std::string(context)});
    }
    void ReportExplicitError(int32_t status, std::string_view context) override {
        reports.push_back({'E', status, std::string(context)});
    }
    std::vector<Report> reports;
};

// A scripted master: each EMRequest takes the next (code, reply) step; the requests are recorded.
struct ScriptedMaster {
    struct Step {
        uint32_t code;
        std::vector<uint8_t> reply;
        uint32_t claimedLength = 0;  // 0: the reply's size
    };
    struct Call {
        uint32_t mac, service, classId, instanceId;
        std::vector<uint8_t> data;
        uint32_t offered;
    };
    std::deque<Step> steps;
    std::vector<Call> calls;
    std::vector<uint8_t> written;
    int ioCalls = 0;
    uint32_t ioCode = 0;

    ConsoleApi Api() {
        ConsoleApi api;
        api.emRequest = [this](uint32_t mac, uint32_t service, uint32_t cls, uint32_t inst,
                               std::span<const uint8_t> req, std::span<uint8_t> reply, uint32_t& length,
                               uint32_t) -> uint32_t {
            calls.push_back({mac, service, cls, inst, {req.begin(), req.end()}, length});
            Step step = steps.empty() ? Step{0x1234, {}} : steps.front();
            if (!steps.empty()) steps.pop_front();
            if (step.code != 0) return step.code;
            std::copy_n(step.reply.begin(), std::min(step.reply.size(), reply.size()), reply.begin());
            length = step.claimedLength ? step.claimedLength : static_cast<uint32_t>(step.reply.size());
            return 0;
        };
        api.readIo = [this](uint32_t, uint32_t, std::span<uint8_t> buffer, uint32_t& length, uint32_t) -> uint32_t {
            ++ioCalls;
            for (uint32_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(0xA0 + i);
            return ioCode;
        };
        api.writeIo = [this](uint32_t, uint32_t, std::span<const uint8_t> data, uint32_t) -> uint32_t {
            ++ioCalls;
            written.assign(data.begin(), data.end());
            return ioCode;
        };
        api.slaveStatus = [](uint32_t) -> uint32_t { return 0; };
        return api;
    }
};

TEST(ConsoleListsTest, Lists) {
    const auto classes = monitor::ClassListTexts();
    ASSERT_EQ(classes.size(), 99u);
    EXPECT_EQ(classes[0], "1");
    EXPECT_EQ(classes[14], "F");
    EXPECT_EQ(classes[98], "63");
    EXPECT_EQ(monitor::InstanceListTexts()[98], "99");
    EXPECT_EQ(monitor::ConnectionTypeTexts(), (std::vector<std::string>{"0=strobe", "1=poll", "2=cos", "3=cyclic"}));
}

TEST(ConsoleListsTest, SlaveListSelectsTarget) {
    const int addresses[] = {1, 5, 10};
    const auto list = monitor::BuildSlaveList(addresses, 5);
    EXPECT_EQ(list.texts, (std::vector<std::string>{"1", "5", "10"}));
    EXPECT_EQ(list.selected, 1);
    EXPECT_EQ(monitor::BuildSlaveList(addresses, 7).selected, -1);
}

TEST(ConsoleRequestTest, Preparation) {
    struct Case {
        const char* classText;
        const char* instanceText;
        const char* message;
    } failures[] = {
        {"", "1", "请设定类ID"},
        {"1", "", "请设定实例ID"},
        {"zz", "1", "类ID不是十六进制数: zz"},
        {"1", "3a", "实例ID不是十进制数: 3a"},
        {"FFFFFFFFF", "1", "类ID不是十六进制数: FFFFFFFFF"},
    };
    for (const auto& c : failures) {
        const auto prepared = monitor::PrepareRequest(0, c.classText, c.instanceText, {});
        EXPECT_FALSE(prepared.request) << c.classText;
        EXPECT_EQ(prepared.message, c.message);
    }
    const auto prepared = monitor::PrepareRequest(10, "64", "3", {});
    ASSERT_TRUE(prepared.request);
    EXPECT_EQ(prepared.request->service, 0x0Eu);
    EXPECT_EQ(prepared.request->classId, 0x64u);
    EXPECT_EQ(prepared.request->instanceId, 3u);
    EXPECT_EQ(prepared.request->data, std::vector<uint8_t>{0});
}

TEST(ConsoleSendTest, Class64Instance3SendsOneZeroByte) {
    ScriptedMaster master;
    master.steps.push_back({0, {0x01, 0x02}});
    Recorder reports;
    const auto request = *monitor::PrepareRequest(10, "64", "3", {}).request;
    const auto outcome = monitor::SendRequest(master.Api(), reports, 5, request, 1000, false, 3);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.reply, (std::vector<uint8_t>{0x01, 0x02}));
    ASSERT_EQ(master.calls.size(), 1u);
    EXPECT_EQ(master.calls[0].mac, 5u);
    EXPECT_EQ(master.calls[0].service, 0x0Eu);
    EXPECT_EQ(master.calls[0].classId, 0x64u);
    EXPECT_EQ(master.calls[0].instanceId, 3u);
    EXPECT_EQ(master.calls[0].data, std::vector<uint8_t>{0});
    EXPECT_EQ(master.calls[0].offered, 300u);
    EXPECT_TRUE(reports.reports.empty());
}

TEST(ConsoleSendTest, ErrorResponseRecognition) {
    struct Case {
        std::vector<uint8_t> reply;
        bool ok;
    } cases[] = {{{0x94, 0x08, 0xFF}, false}, {{0x94, 0x08, 0x01}, true}, {{0x94, 0x08, 0xFF, 0x00}, true}};
    for (const auto& c : cases) {
        ScriptedMaster master;
        master.steps.push_back({0, c.reply});
        Recorder reports;
        const auto outcome = monitor::SendRequest(master.Api(), reports, 4, {0x0E, 1, 1, {0}}, 1000, false, 3);
        EXPECT_EQ(outcome.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(outcome.reply, c.reply);
            EXPECT_TRUE(reports.reports.empty());
        } else {
            EXPECT_EQ(reports.reports, (std::vector<Report>{{'E', 8, "从站不支持的服务"}}));
        }
    }
}

TEST(ConsoleSendTest, OverlongReplyLengthHeldToBuffer) {
    ScriptedMaster master;
    master.steps.push_back({0, std::vector<uint8_t>(300, 0x55), 5000});
    Recorder reports;
    const auto outcome = monitor::SendRequest(master.Api(), reports, 4, {0x01, 1, 1, {0}}, 1000, false, 3);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.reply.size(), 300u);
}

TEST(ConsoleSendTest, RetrySequences) {
    const std::string ctx = "VARDA_EMRequest(服务代码=0x1,类ID=0x1,实例ID=1)--";
    struct Case {
        bool timed;
        int retries;
        std::vector<Report> expected;
        std::size_t calls;
    } cases[] = {
        {false, 2, {{'A', 0x1234, ctx}}, 1},
        {true,
         2,
         {{'A', 0x1234, ctx},
          {'A', 0x1234, ctx + "重试次数 1"},
          {'A', 0x1234, ctx},
          {'A', 0x1234, ctx + "重试次数 2"},
          {'A', 0x1234, ctx},
          {'A', 0x1234, ctx + "重试 2 次无效果,退出"}},
         3},
        {true, 0, {{'A', 0x1234, ctx}, {'A', 0x1234, ctx + "重试 0 次无效果,退出"}}, 1},
    };
    for (const auto& c : cases) {
        ScriptedMaster master;  // never answers
        Recorder reports;
        const auto outcome =
            monitor::SendRequest(master.Api(), reports, 4, {0x01, 1, 1, {0}}, 1000, c.timed, c.retries);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(reports.reports, c.expected) << c.timed << " " << c.retries;
        EXPECT_EQ(master.calls.size(), c.calls);
    }
}

TEST(ConsoleSendTest, RetrySucceedsOnSecondTry) {
    ScriptedMaster master;
    master.steps.push_back({7, {}});
    master.steps.push_back({0, {0x11}});
    Recorder reports;
    const auto outcome = monitor::SendRequest(master.Api(), reports, 4, {0x01, 1, 1, {0}}, 1000, true, 3);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(reports.reports.size(), 2u);
}

TEST(ConsoleIoTest, ReadLengthsAndMissingConnection) {
    const monitor::IoInputSizes sizes{2, 4, 0};
    ScriptedMaster master;
    Recorder reports;
    auto read = monitor::ReadIo(master.Api(), reports, 4, 2, sizes, 1000);
    EXPECT_EQ(read.message, "从站没有该类型IO连接");
    EXPECT_EQ(master.ioCalls, 0);

    read = monitor::ReadIo(master.Api(), reports, 4, 1, sizes, 1000);
    EXPECT_TRUE(read.message.empty());
    EXPECT_EQ(read.data, (std::vector<uint8_t>{0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(read.length, 4u);
    EXPECT_EQ(monitor::ReadLengthFor(0, sizes), 2);
    EXPECT_EQ(monitor::ReadLengthFor(3, sizes), 0);

    master.ioCode = 0x20;
    read = monitor::ReadIo(master.Api(), reports, 4, 0, sizes, 1000);
    EXPECT_EQ(reports.reports, (std::vector<Report>{{'A', 0x20, "VARDA_ReadSlaveIO(从站地址=4)--"}}));
}

TEST(ConsoleIoTest, WriteEmptyEditorWritesOneZeroByte) {
    ScriptedMaster master;
    Recorder reports;
    auto write = monitor::WriteIo(master.Api(), reports, 4, 1, {}, 1000);
    EXPECT_TRUE(write.ok);
    EXPECT_EQ(write.message, "写入数据正确");
    EXPECT_EQ(write.length, 1u);
    EXPECT_EQ(master.written, std::vector<uint8_t>{0});

    master.ioCode = 0x21;
    const uint8_t bytes[] = {1, 2, 3};
    write = monitor::WriteIo(master.Api(), reports, 9, 1, bytes, 1000);
    EXPECT_FALSE(write.ok);
    EXPECT_EQ(write.length, 3u);
    EXPECT_EQ(reports.reports, (std::vector<Report>{{'A', 0x21, "VARDA_WriteSlaveIO(从站地址=9)--"}}));
}

TEST(ConsoleBoxesTest, RetryCountAndPeriod) {
    struct Case {
        const char* text;
        int value;
        bool refused;
    } cases[] = {{"0", 0, false}, {"100", 100, false}, {"101", 7, true},
                 {"-1", 7, true}, {"x", 7, true},      {"", 7, true}};
    for (const auto& c : cases) {
        const auto input = monitor::CheckRetryCount(c.text, 7);
        EXPECT_EQ(input.value, c.value) << c.text;
        EXPECT_EQ(!input.message.empty(), c.refused) << c.text;
    }
    EXPECT_EQ(monitor::PeriodFromText("250").milliseconds, 250);
    EXPECT_EQ(monitor::PeriodFromText("0").milliseconds, 500);
    EXPECT_EQ(monitor::PeriodFromText("-3").milliseconds, 500);
    EXPECT_EQ(monitor::PeriodFromText("abc").milliseconds, 500);
    // Status 0 reads as the status table's text for 0.
    const auto table = name_share::BuildStatusTexts();
    EXPECT_EQ(monitor::StatusLine(0, [&](int32_t c) { return std::string(table.at(c)); }), "从站在线");
    EXPECT_EQ(monitor::StatusLine(3, [](int32_t c) { return "code " + std::to_string(c); }), "code 3");
}

}  // namespace
