// The adapter through its pipe sockets: the socket messages, extended packets, malformed packets,
// every injected fault, connections that come and go, and the folder lock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "adapter_emu/emulator.h"
#include "adapter_emu/packet.h"
#include "emu_client.h"
#include "platform/byte_order.h"
#include "test_bus.h"

using namespace adapter_emu;
using emu_test::AdapterClient;
using emu_test::Bytes;

namespace {

std::filesystem::path TempDir(const std::string& name) {
    static int n = 0;
    auto d = std::filesystem::temp_directory_path() /
             ("emu-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(++n));
    std::filesystem::remove_all(d);
    return d;
}

class AdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = TempDir("adapter");
        clock = std::make_shared<ManualClock>(5000);
        EmulatorOptions o;
        o.dir = dir;
        o.adapters = 2;
        o.bus = ParseBusText(emu_test::kTestBus, "test.xml");
        o.clock = clock;
        emu = std::make_unique<Emulator>(o);
        emu->Start();
        client = std::make_unique<AdapterClient>(dir / "adapter0");
        ASSERT_TRUE(client->Connected());
    }
    void TearDown() override {
        client.reset();
        emu.reset();
        EXPECT_FALSE(std::filesystem::exists(dir)) << "the emulator removes what it created";
    }
    Adapter& A() { return emu->GetAdapter(0); }
    void StartMaster() {
        ASSERT_EQ(client->Command(cmd::kDcReset), 0u);
        ASSERT_EQ(client->Command(cmd::kOpen), 0u);
        ASSERT_EQ(client->Command(cmd::kInit, emu_test::InitPayload()), 0u);
    }

    std::filesystem::path dir;
    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<Emulator> emu;
    std::unique_ptr<AdapterClient> client;
};

TEST_F(AdapterTest, FoldersAndSocketsAsTheDriverPublishesThem) {
    for (const char* adapter : {"adapter0", "adapter1"}) {
        for (int i = 0; i < 10; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "PIPE%02d", i);
            struct stat st {};
            ASSERT_EQ(::stat((dir / adapter / name).c_str(), &st), 0) << adapter << "/" << name;
            EXPECT_TRUE(S_ISSOCK(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
    }
    // Each adapter has its own firmware.
    AdapterClient second(dir / "adapter1");
    ASSERT_TRUE(second.Connected());
    auto info = second.Exchange(cmd::kGetInfo);
    ASSERT_TRUE(info);
    EXPECT_EQ(platform::GetU32LE(AdapterClient::Payload(*info), 48), 71000101u);
}

TEST_F(AdapterTest, OneConnectionPerPipe) {
    ASSERT_EQ(client->Command(cmd::kOpen), 0u);  // every pipe of the client is in use now
    EXPECT_LT(emu_test::ConnectSeqpacket(dir / "adapter0" / "PIPE01"), 0) << "pipe already open";
    client->Pipe(1).Close();
    int fd = -1;
    for (int i = 0; i < 100 && fd < 0; ++i) {  // the pipe listens again once the first one closed
        fd = emu_test::ConnectSeqpacket(dir / "adapter0" / "PIPE01");
        if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_GE(fd, 0);
    client->Pipe(1) = emu_test::PipeConn(fd);
    EXPECT_EQ(client->Command(cmd::kOpen), 0u);
}

TEST_F(AdapterTest, ExtendedAcknowledgeTravelsOnBothPipes) {
    auto ack = client->Exchange(cmd::kGetInfo);
    ASSERT_TRUE(ack);
    ASSERT_EQ(ack->size(), 80u) << "whole packet on the acknowledge extension pipe";
    EXPECT_EQ(Bytes("7E 41 48 00 00 00 01"), std::vector<uint8_t>(ack->begin(), ack->begin() + 7));
    EXPECT_EQ(ack->back(), XorChecksum(std::span<const uint8_t>(*ack).first(79)));
    const auto& first = client->LastAckFirstTransfer();
    ASSERT_EQ(first.size(), 64u);
    EXPECT_EQ(first[7], XorChecksum(std::span<const uint8_t>(first).first(7))) << "header check in byte 7";
    EXPECT_EQ(std::vector<uint8_t>(first.begin() + 8, first.end()),
              std::vector<uint8_t>(ack->begin() + 8, ack->begin() + 64));
}

TEST_F(AdapterTest, ExtendedCommandAndAcknowledgeOfWideIo) {
    StartMaster();
    emu_test::SlaveEntry wide;
    wide.mac = 9;
    wide.flags = 1;
    wide.pollIn = 200;
    wide.pollOut = 200;
    ASSERT_EQ(client->Command(cmd::kAddSlave, emu_test::AddSlavePayload(wide)), 0u);
    ASSERT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    ASSERT_EQ(client->Command(cmd::kStartScan, Bytes("01")), 0u);
    std::vector<uint8_t> out(200);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(i * 7);
    auto packet = BuildPacket(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(9, 1, out));
    ASSERT_EQ(packet.size(), 236u);
    ASSERT_EQ(packet[6], 1);
    EXPECT_EQ(AdapterClient::ResultOf(cmd::kWriteSlaveIO, client->ExchangePacket(packet)), 0u);
    clock->Advance(10);
    auto in = client->Exchange(cmd::kReadSlaveIO, emu_test::ReadIoPayload(9, 1, 255));
    ASSERT_TRUE(in);
    EXPECT_EQ(AdapterClient::Payload(*in), out);
}

TEST_F(AdapterTest, MalformedCommandsGetErrorAcknowledges) {
    struct Case {
        const char* what;
        std::vector<uint8_t> first;
        std::optional<std::vector<uint8_t>> extension;
        const char* ack;
    };
    auto good = FirstTransfer(BuildPacket(cmd::kOpen, {}));
    auto badCheck = good;
    badCheck[7] ^= 0xFF;
    auto badStart = good;
    badStart[0] = 0x7F;
    auto tooLong = FirstTransfer(BuildPacket(cmd::kOnline, Bytes("01")));
    platform::PutU32LE(tooLong, 2, 60);  // 60 payload bytes cannot fit in 64 with header and check
    auto ext = BuildPacket(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(1, 1, std::vector<uint8_t>(40, 1)));
    auto extFirst = FirstTransfer(ext);
    auto extBadHeader = extFirst;
    extBadHeader[7] ^= 1;
    auto extBadCheck = ext;
    extBadCheck.back() ^= 1;
    auto extOther = BuildPacket(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(1, 1, std::vector<uint8_t>(41, 1)));
    auto extShort = std::vector<uint8_t>(ext.begin(), ext.end() - 5);
    const std::vector<Case> cases = {
        {"bad checksum", badCheck, std::nullopt, "7E 40 04 00 00 80 00 3E 00 00 00 84"},
        {"bad start byte", badStart, std::nullopt, "7E 40 04 00 00 80 00 3E 00 00 00 84"},
        {"length beyond what arrived", tooLong, std::nullopt, "7E 43 04 00 00 80 00 3E 00 00 00 87"},
        {"unknown code", FirstTransfer(BuildPacket(0x3F, {})), std::nullopt, "7E 3F 04 00 00 80 00 40 00 00 00 85"},
        {"extended header check", extBadHeader, ext, "7E 4E 04 00 00 80 00 3E 00 00 00 8A"},
        {"extension checksum", extFirst, extBadCheck, "7E 4E 04 00 00 80 00 3E 00 00 00 8A"},
        {"extension of another packet", extFirst, extOther, "7E 4E 04 00 00 80 00 3E 00 00 00 8A"},
        {"extension shorter than its length", extFirst, extShort, "7E 4E 04 00 00 80 00 3E 00 00 00 8A"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 64, 3000));
        ASSERT_EQ(emu_test::Write(client->Pipe(1), c.first), c.first.size()) << c.what;
        if (c.extension) {
            ASSERT_EQ(emu_test::Write(client->Pipe(3), *c.extension), c.extension->size());
        }
        auto ack = emu_test::WaitRead(client->Pipe(0));
        ASSERT_TRUE(ack) << c.what;
        EXPECT_EQ(*ack, Bytes(c.ack)) << c.what;
    }
    EXPECT_EQ(client->Command(cmd::kOpen), 0u) << "still usable";
}

TEST_F(AdapterTest, SocketMessagesOfTheDriver) {
    // Control requests: pipe state, reset, unknown code.
    EXPECT_EQ(emu_test::Control(client->Pipe(0), kControlGetPipeState), Bytes("03 00 00 00 00 00 00"));
    EXPECT_EQ(emu_test::Control(client->Pipe(0), kControlResetPipe), Bytes("03 00 00 00 00"));
    EXPECT_EQ(emu_test::Control(client->Pipe(0), 0x222008), Bytes("03 01 00 00 00"));
    // A read that nobody answers ends with its time-out, a cancelled read at once.
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 64, 150));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(0)), std::vector<uint8_t>{});
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 64, 60000));
    EXPECT_TRUE(client->Pipe(0).Send(Bytes("04")));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(0), 1000), std::vector<uint8_t>{});
    // A malformed read request and a read of an OUT pipe fail at once; writes to an IN pipe
    // move nothing; unknown opcodes are named back.
    ASSERT_TRUE(client->Pipe(0).Send(Bytes("02 40 00 00 00 FA B8 0B B8")));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(0), 1000), std::vector<uint8_t>{});
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(1), 64, 3000));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(1), 1000), std::vector<uint8_t>{});
    EXPECT_EQ(emu_test::Write(client->Pipe(0), Bytes("01 02")), 0u);
    ASSERT_TRUE(client->Pipe(0).Send(Bytes("09")));
    EXPECT_EQ(client->Pipe(0).Receive(), Bytes("FF 09"));
    // A read may be pending while the command is written; a command first and a read later
    // works too.
    ASSERT_EQ(emu_test::Write(client->Pipe(1), FirstTransfer(BuildPacket(cmd::kOpen, {}))), 64u);
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 4, 1000));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(0)), Bytes("7E 40 00 00")) << "cut to the read's capacity";
}

TEST_F(AdapterTest, AcknowledgeFaults) {
    StartMaster();
    struct Case {
        const char* what;
        AckFault fault;
        std::optional<std::vector<uint8_t>> ack;  // of an Online command
    };
    const std::vector<Case> cases = {
        {"wrong code", {AckFaultKind::WrongCode, 0, std::nullopt}, Bytes("7E 44 00 00 00 00 00 3A")},
        {"wrong code given", {AckFaultKind::WrongCode, 0x55, std::nullopt}, Bytes("7E 55 00 00 00 00 00 2B")},
        {"bad length", {AckFaultKind::BadLength, 0, std::nullopt}, Bytes("7E 43 10 00 00 00 00 2D")},
        {"bad error length", {AckFaultKind::BadLength, 0x80000002u, std::nullopt}, Bytes("7E 43 02 00 00 80 00 BF")},
        {"error ack", {AckFaultKind::ErrorAck, 61, std::nullopt}, Bytes("7E 43 04 00 00 80 00 3D 00 00 00 84")},
    };
    for (const auto& c : cases) {
        A().InjectAckFault(c.fault);
        auto ack = client->Exchange(cmd::kOnline, Bytes("01"));
        EXPECT_EQ(ack, c.ack) << c.what;
        EXPECT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u) << "only the next acknowledge: " << c.what;
    }
    // Over-long: the header claims 600 payload bytes and nothing follows on the extension pipe.
    A().InjectAckFault({AckFaultKind::Overlong, 0, std::nullopt});
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 64, 3000));
    ASSERT_EQ(emu_test::Write(client->Pipe(1), FirstTransfer(BuildPacket(cmd::kOnline, Bytes("01")))), 64u);
    auto first = emu_test::WaitRead(client->Pipe(0));
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 64u);
    EXPECT_EQ(std::vector<uint8_t>(first->begin(), first->begin() + 7), Bytes("7E 43 58 02 00 00 01"));
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(2), 512, 200));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(2)), std::vector<uint8_t>{});
    // Dropped: the read times out; the next exchange is answered normally.
    A().InjectAckFault({AckFaultKind::Drop, 0, std::nullopt});
    EXPECT_EQ(client->Exchange(cmd::kOnline, Bytes("01"), 200), std::vector<uint8_t>{});
    EXPECT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    // Restricted to one command code: other commands pass.
    A().InjectAckFault({AckFaultKind::ErrorAck, 59, cmd::kStartScan});
    EXPECT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    EXPECT_EQ(client->Command(cmd::kStartScan, Bytes("01")), 59u);
    // Delayed: it comes late, and not at all when the read gave up first.
    A().InjectAckFault({AckFaultKind::Delay, 300, std::nullopt});
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(290));
    A().InjectAckFault({AckFaultKind::Delay, 400, std::nullopt});
    EXPECT_EQ(client->Exchange(cmd::kOnline, Bytes("01"), 100), std::vector<uint8_t>{});
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(client->Exchange(cmd::kGetNodeStatus, Bytes("01 01")), Bytes("7E 4F 04 00 00 80 00 3D 00 00 00 88"))
        << "the late acknowledge of Online does not answer the next command";
}

TEST_F(AdapterTest, StalledPipeUntilReset) {
    A().StallPipe(0);
    EXPECT_EQ(emu_test::Control(client->Pipe(0), kControlGetPipeState), Bytes("03 00 00 00 00 01 00"));
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(0), 64, 3000));
    EXPECT_EQ(emu_test::WaitRead(client->Pipe(0), 1000), std::vector<uint8_t>{}) << "transfers fail";
    EXPECT_EQ(emu_test::Control(client->Pipe(0), kControlResetPipe), Bytes("03 00 00 00 00"));
    EXPECT_EQ(emu_test::Control(client->Pipe(0), kControlGetPipeState), Bytes("03 00 00 00 00 00 00"));
    EXPECT_EQ(client->Command(cmd::kOpen), 0u);
    A().StallPipe(1);
    EXPECT_EQ(emu_test::Write(client->Pipe(1), std::vector<uint8_t>(64, 0)), 0u);
    EXPECT_EQ(emu_test::Control(client->Pipe(1), kControlResetPipe), Bytes("03 00 00 00 00"));
    EXPECT_EQ(client->Command(cmd::kOpen), 0u);
}

TEST_F(AdapterTest, UnplugClosesEverySocket) {
    A().Unplug();
    EXPECT_FALSE(client->Pipe(1).Receive(200)) << "connection closed";
    EXPECT_FALSE(emu_test::Write(client->Pipe(1), std::vector<uint8_t>(64, 0)));
    EXPECT_LT(emu_test::ConnectSeqpacket(dir / "adapter0" / "PIPE01"), 0);
    AdapterClient other(dir / "adapter1");
    EXPECT_TRUE(other.Connected()) << "other adapters stay";
    A().Replug();
    client = std::make_unique<AdapterClient>(dir / "adapter0");
    ASSERT_TRUE(client->Connected());
    EXPECT_EQ(client->Command(cmd::kDcReset), 0u);
}

TEST_F(AdapterTest, ClientThatLeavesMidExchange) {
    StartMaster();
    ASSERT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    // A command whose acknowledge is never read, then the client is gone.
    ASSERT_EQ(emu_test::Write(client->Pipe(1), FirstTransfer(BuildPacket(cmd::kGetInfo, {}))), 64u);
    // Half of an extended command.
    auto ext = BuildPacket(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(1, 1, std::vector<uint8_t>(40, 1)));
    ASSERT_EQ(emu_test::Write(client->Pipe(1), FirstTransfer(ext)), 64u);
    // An explicit request still waiting for an absent device.
    ASSERT_TRUE(emu_test::StartRead(client->Pipe(6), 64, 3000));
    ASSERT_EQ(emu_test::Write(client->Pipe(7),
                              FirstTransfer(
                                  BuildPacket(cmd::kEMRequest, emu_test::EmPayload(7, 0x0E, 1, 1, {1}, 30000)))),
              64u);
    client.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::unique_ptr<AdapterClient> next;
    for (int i = 0; i < 100; ++i) {
        next = std::make_unique<AdapterClient>(dir / "adapter0");
        if (next->Connected()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(next->Connected());
    EXPECT_EQ(next->Exchange(cmd::kOpen), Bytes("7E 40 00 00 00 00 00 3E"));
    auto r = next->Exchange(cmd::kEMRequest, emu_test::EmPayload(1, 0x0E, 1, 1, {1}));
    EXPECT_EQ(r, Bytes("7E 4C 02 00 00 00 00 E2 04 D6"));
}

TEST_F(AdapterTest, SecondEmulatorOnTheSameFolderIsRefused) {
    EmulatorOptions o;
    o.dir = dir;
    Emulator second(o);
    try {
        second.Start();
        FAIL() << "started twice";
    } catch (const EmulatorError& e) {
        EXPECT_EQ(std::string(e.what()), dir.string() + ": another adapter-emu is serving this folder");
    }
    EXPECT_TRUE(client->Connected());
    EXPECT_EQ(client->Command(cmd::kOpen), 0u);
}

TEST_F(AdapterTest, ControlCommands) {
    struct Case {
        const char* line;
        const char* reply;
    };
    const std::vector<Case> cases = {
        {"0 error-ack 61 for 0x40", "ok"},
        {"0 slave 1 stop", "ok"},
        {"0 slave 40 stop", "error: no slave at MAC ID 40"},
        {"0 stall 10", "error: stall needs a pipe number 0..9"},
        {"2 unplug", "error: no adapter 2"},
        {"0 teleport", "error: unknown command teleport"},
        {"0 error-ack", "error: wrong arguments for error-ack"},
        {"0 stall 0 for 0x40", "error: \"for\" applies only to acknowledge faults"},
        {"", "error: empty command"},
    };
    for (const auto& c : cases) EXPECT_EQ(emu->Control(c.line), c.reply) << c.line;
    const std::string before = emu->Control("0 commands");
    ASSERT_EQ(before.rfind("ok ", 0), 0u) << before;
    EXPECT_EQ(client->Command(cmd::kOpen), 61u);
    EXPECT_EQ(client->Command(cmd::kOpen), 0u);
    // Both commands are counted, the refused one too.
    EXPECT_EQ(emu->Control("0 commands"), "ok " + std::to_string(std::stoull(before.substr(3)) + 2));
    EXPECT_EQ(emu->Control("0 commands now"), "error: unknown command commands");
}

TEST_F(AdapterTest, ConcurrentGroupsDoNotBlockEachOther) {
    StartMaster();
    emu.reset();
    // With the steady clock, a slow explicit request keeps its group busy while the normal group
    // answers.
    EmulatorOptions o;
    o.dir = dir;
    o.bus = ParseBusText(emu_test::kTestBus, "test.xml");
    emu = std::make_unique<Emulator>(o);
    emu->Start();
    client = std::make_unique<AdapterClient>(dir / "adapter0");
    ASSERT_TRUE(client->Connected());
    StartMaster();
    ASSERT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    std::optional<std::vector<uint8_t>> slow;
    std::thread t([&] { slow = client->Exchange(cmd::kEMRequest, emu_test::EmPayload(8, 0x0E, 1, 1, {3}, 2000)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(client->Command(cmd::kOnline, Bytes("01")), 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(400));
    t.join();
    EXPECT_EQ(slow, Bytes("7E 4C 02 00 00 00 00 6C 00 5C"));
    // An absent device with a time-out longer than the host waits: 59 comes while it still waits.
    const auto t1 = std::chrono::steady_clock::now();
    auto absent = client->Exchange(cmd::kEMRequest, emu_test::EmPayload(7, 0x0E, 1, 1, {1}, 30000), 400);
    EXPECT_EQ(AdapterClient::ResultOf(cmd::kEMRequest, absent), 59u);
    EXPECT_LT(std::chrono::steady_clock::now() - t1, std::chrono::milliseconds(1500));
}

}  // namespace
