// Acknowledge handling of the exchange, the pipe-state check and the failures around the writes.
#include <gtest/gtest.h>

#include "fake_fixture.h"
#include "packet.h"
#include "platform/byte_order.h"

namespace tamsen::testing {
namespace {

using Op = FakeDriver::Op;
using Reply = FakeDriver::Reply;

Bytes ErrorAck(uint8_t code, uint32_t length, Bytes payload) {
    Bytes ack = FakeDriver::Ack(code, std::move(payload));
    platform::PutU32LE(ack, 2, length);
    return ack;
}

class AcknowledgeTest : public FakeAdapterTest {
protected:
    // Resets recorded per pipe.
    std::vector<int> ResetPipes() const {
        std::vector<int> pipes;
        for (const auto& t : fake_->Transfers()) {
            if (t.op == Op::Reset) pipes.push_back(t.pipe);
        }
        return pipes;
    }
};

TEST_F(AcknowledgeTest, MalformedAcknowledgesEndAs57WithTheirLogLines) {
    const uint32_t handle = OpenAndInit();
    Bytes garbage(64);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 37 + 11);
    Bytes tooLong = FakeDriver::Ack(0x43, {});
    platform::PutU32LE(tooLong, 2, 505);  // 513 in all
    Bytes huge = FakeDriver::Ack(0x43, {});
    platform::PutU32LE(huge, 2, 0x7FFFFFFF);
    Bytes promisesMore = FakeDriver::Ack(0x43, {1, 2});
    platform::PutU32LE(promisesMore, 2, 20);

    struct Case {
        const char* what;
        Reply reply;
        uint32_t result;
        const char* logged;
        bool resets;
    };
    const Case cases[] = {
        {"error acknowledge 61", Reply::Data(ErrorAck(0x43, 0x80000004, {0x3D, 0, 0, 0})), 61,
         "cmd(Online)/ack(Online) failed, bytesRead=12: 7e 43 04 00 00 80 00 3d 00 00 00 ", false},
        {"bit 31 with length 2", Reply::Data(ErrorAck(0x43, 0x80000002, {0x3D, 0})), 57,
         "cmd(Online)/ack(Online) failed, bytesRead=10: 7e 43 02 00 00 80 00 3d 00 ", false},
        {"error acknowledge cut short", Reply::Data(Bytes{0x7E, 0x43, 0x04, 0, 0, 0x80, 0, 0x3D}), 57,
         "cmd(Online)/ack(Online) failed, bytesRead=8: ", false},
        {"error acknowledge carrying 0", Reply::Data(ErrorAck(0x43, 0x80000004, {0, 0, 0, 0})), 57,
         "cmd(Online)/ack(Online) failed, bytesRead=12: ", false},
        {"wrong code", Reply::Data(FakeDriver::Ack(0x44, {})), 57,
         "cmd(Online)/ack(Offline) failed, bytesRead=8: 7e 44 00 00 00 00 00 3a 00 ", true},
        {"wrong code, unknown", Reply::Data(FakeDriver::Ack(0x3F, {})), 57, "cmd(Online)/ack(UnknownCmd) failed", true},
        {"empty", Reply::Nothing(), 57, "ack(Online) failed: bytesRead=0\n", true},
        {"failed read", Reply::Fail(), 57, "ack(Online) failed: bytesRead=0\n", true},
        {"short", Reply::Data(Bytes{0x7E, 0x43, 0x00}), 57,
         "cmd(Online)/ack(Online) failed, bytesRead=3: 7e 43 00 b7 00", false},
        {"total 513", Reply::Data(tooLong), 57, "无效ACK长度: 513\n", false},
        {"total beyond 32 bits", Reply::Data(huge), 57, "无效ACK长度: ", false},
        {"length larger than what arrived", Reply::Data(promisesMore), 57,
         "cmd(Online)/ack(Online) failed, bytesRead=10: ", false},
        {"garbage", Reply::Data(garbage), 57, "cmd(Online)/ack(", true},
    };
    for (const auto& c : cases) {
        fake_->ClearTransfers();
        ClearLog();
        fake_->QueueReply("fake/dev0", 0, c.reply);
        EXPECT_EQ(VARDA_Online(handle), c.result) << c.what;
        const std::string log = Log();
        EXPECT_NE(log.find(c.logged), std::string::npos) << c.what << "\n" << log;
        EXPECT_NE(log.find("tamsen.dll : ERROR : ExecCmd<"), std::string::npos) << c.what;
        EXPECT_NE(log.find("> : err=" + std::to_string(c.result) + "\n"), std::string::npos) << c.what << log;
        // Only a mismatched code resets both acknowledge pipes of the group.
        EXPECT_EQ(ResetPipes(), c.resets ? (std::vector<int>{0, 2}) : std::vector<int>{}) << c.what;
        // The next exchange works again.
        EXPECT_EQ(VARDA_Online(handle), 0u) << c.what;
    }
}

TEST_F(AcknowledgeTest, MismatchOnTheExplicitGroupResetsItsOwnPipes) {
    const uint32_t handle = OpenAndInit();
    fake_->QueueReply("fake/dev0", 6, Reply::Data(FakeDriver::Ack(0x43, {})));
    uint8_t request[1] = {1};
    uint8_t response[8];
    uint32_t length = sizeof response;
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, request, 1, response, &length, 1000), 57u);
    EXPECT_EQ(ResetPipes(), (std::vector<int>{6, 8}));
}

TEST_F(AcknowledgeTest, ExtendedAcknowledgeIsReadWholeFromTheExtensionPipe) {
    const uint32_t handle = OpenAndInit();
    Bytes input(200);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>(255 - i);
    const Bytes whole = FakeDriver::Ack(0x4D, input, 1);
    fake_->QueueReply("fake/dev0", 0, Reply::Data(Bytes(whole.begin(), whole.begin() + 64)));
    fake_->QueueReply("fake/dev0", 2, Reply::Data(whole));
    uint8_t buffer[255] = {};
    uint32_t length = 255;
    ASSERT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 0), 0u);
    EXPECT_EQ(length, 200u);
    EXPECT_EQ(Bytes(buffer, buffer + 200), input);
    bool sawExtensionRead = false;
    for (const auto& t : fake_->Transfers()) {
        if (t.op == Op::StartRead && t.pipe == 2) {
            sawExtensionRead = true;
            EXPECT_EQ(t.bytes, (Bytes{0xFA, 0xE8, 0x03, 0xEF}));
            EXPECT_EQ(t.capacity, 208u);
        }
    }
    EXPECT_TRUE(sawExtensionRead);
}

TEST_F(AcknowledgeTest, ExtensionFailuresEndAs57) {
    const uint32_t handle = OpenAndInit();
    const Bytes whole = FakeDriver::Ack(0x4D, Bytes(100, 7), 1);
    Bytes otherHeader = whole;
    platform::PutU32LE(otherHeader, 2, 400);  // says more than announced: must not be believed
    struct Case {
        const char* what;
        Reply extension;
        const char* logged;
    };
    const Case cases[] = {
        {"nothing", Reply::Nothing(), "读ACK扩展数据失败\n"},
        {"failed", Reply::Fail(), "读ACK扩展数据失败\n"},
        {"cut short", Reply::Data(Bytes(whole.begin(), whole.begin() + 50)), "bytesRead=50: "},
        {"another header", Reply::Data(otherHeader), "bytesRead=108: "},
    };
    for (const auto& c : cases) {
        ClearLog();
        fake_->QueueReply("fake/dev0", 0, Reply::Data(Bytes(whole.begin(), whole.begin() + 64)));
        fake_->QueueReply("fake/dev0", 2, c.extension);
        uint8_t buffer[255];
        uint32_t length = 255;
        EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 0), 57u) << c.what;
        EXPECT_EQ(length, 0u);
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what << "\n" << Log();
        EXPECT_NE(Log().find("tamsen.dll : ERROR : VARDA_ReadSlaveIO<"), std::string::npos) << c.what;
    }
}

TEST_F(AcknowledgeTest, FailedWritesCancelThePendingRead) {
    const uint32_t handle = OpenAndInit();
    struct Case {
        const char* what;
        int pipe;
        Op op;
        const char* logged;
    };
    const Case cases[] = {
        {"command", 1, Op::Write, "无法发送命令\n"},
        {"extension", 3, Op::Write, "无法发送命令扩展数据\n"},
    };
    Bytes data(100, 1);
    for (const auto& c : cases) {
        fake_->ClearTransfers();
        ClearLog();
        fake_->FailOp("fake/dev0", c.pipe, c.op);
        EXPECT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, data.data(), 100, 0), 57u) << c.what;
        fake_->FailOp("fake/dev0", c.pipe, c.op, false);
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what << Log();
        EXPECT_NE(Log().find("tamsen.dll : ERROR : VARDA_WriteSlaveIO<"), std::string::npos) << c.what;
        const auto transfers = fake_->Transfers();
        ASSERT_FALSE(transfers.empty());
        EXPECT_EQ(transfers.back().op, Op::Cancel) << c.what;
        EXPECT_EQ(transfers.back().pipe, 0) << c.what;
        EXPECT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, data.data(), 100, 0), 0u) << c.what;
    }
    // The command itself is left as it was built, byte 7 included.
    fake_->ClearTransfers();
    ASSERT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, data.data(), 100, 0), 0u);
    EXPECT_EQ(Writes(3).at(0)[7], 1);
}

TEST_F(AcknowledgeTest, ReadRequestThatCannotBeSentEndsTheExchange) {
    const uint32_t handle = OpenAndInit();
    fake_->FailOp("fake/dev0", 0, Op::StartRead);
    EXPECT_EQ(VARDA_Online(handle), 57u);
    EXPECT_NE(Log().find("无法发送读ACK请求\n"), std::string::npos) << Log();
    EXPECT_TRUE(Writes(1).empty());
}

TEST_F(AcknowledgeTest, PipeStateIsRetriedAndResetWhenNotReady) {
    const uint32_t handle = OpenAndInit();
    struct Case {
        const char* what;
        std::vector<std::optional<uint16_t>> states;
        bool failReset;
        uint32_t result;
        const char* logged;
        int queries;
        int resets;
    };
    const Case cases[] = {
        {"third try answers", {std::nullopt, std::nullopt, 0}, false, 0, "", 3, 0},
        {"no answer", {std::nullopt}, false, 57, "CheckPipeState<", 3, 0},
        {"stalled, reset helps", {1, 0}, false, 0, "", 2, 1},
        {"stalled, reset fails", {1}, true, 57, "复位管道失败(0x", 1, 1},
        {"stalled after reset", {1, 1}, false, 57, "管道状态无效(0x", 2, 1},
        {"no answer after reset", {1, std::nullopt}, false, 57, "无法获取管道状态(0x", 4, 1},
    };
    for (const auto& c : cases) {
        fake_->ClearTransfers();
        ClearLog();
        fake_->SetPipeStates("fake/dev0", 0, c.states);
        fake_->FailOp("fake/dev0", 0, Op::Reset, c.failReset);
        EXPECT_EQ(VARDA_Online(handle), c.result) << c.what;
        int queries = 0, resets = 0;
        for (const auto& t : fake_->Transfers()) {
            if (t.pipe == 0 && t.op == Op::Control) ++queries;
            if (t.pipe == 0 && t.op == Op::Reset) ++resets;
        }
        EXPECT_EQ(queries, c.queries) << c.what;
        EXPECT_EQ(resets, c.resets) << c.what;
        EXPECT_NE(Log().find(c.logged), std::string::npos) << c.what << Log();
        if (c.result != 0) {
            EXPECT_NE(Log().find("tamsen.dll : ERROR : CheckPipeState<"), std::string::npos) << c.what;
            EXPECT_NE(Log().find("> : 获取USB管道状态失败\n"), std::string::npos) << c.what;
            EXPECT_TRUE(Writes(1).empty()) << c.what;
        }
        fake_->SetPipeStates("fake/dev0", 0, {});
        fake_->FailOp("fake/dev0", 0, Op::Reset, false);
    }
}

TEST_F(AcknowledgeTest, LogLinesNameTheirOwnSourceLines) {
    const uint32_t handle = OpenAndInit();
    fake_->QueueReply("fake/dev0", 0, Reply::Nothing());
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x44, {})));
    EXPECT_EQ(VARDA_Online(handle), 57u);
    EXPECT_EQ(VARDA_Online(handle), 57u);
    // "ExecCmd<n> : ack(..." and "ExecCmd<m> : cmd(..." come from different statements.
    const std::string log = Log();
    auto lineOf = [&](const std::string& message) {
        const std::size_t at = log.find("> : " + message);
        EXPECT_NE(at, std::string::npos) << message;
        const std::size_t open = log.rfind('<', at);
        return std::stoi(log.substr(open + 1, at - open - 1));
    };
    const int ackLine = lineOf("ack(Online)");
    const int cmdLine = lineOf("cmd(Online)");
    const int errLine = lineOf("err=57");
    EXPECT_GT(ackLine, 0);
    EXPECT_NE(ackLine, cmdLine);
    EXPECT_NE(cmdLine, errLine);
}

}  // namespace
}  // namespace tamsen::testing
