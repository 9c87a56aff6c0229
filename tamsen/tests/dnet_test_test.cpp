// The DeviceNet test interface through the fake driver: card choice, keys, the start-up and test
// commands on the pipes, the receive thread's records, notifications and log lines, stopping.
#include <gtest/gtest.h>

#include <future>
#include <regex>
#include <thread>

#include "dnet_fixture.h"
#include "packet.h"

namespace tamsen::testing {
namespace {

using Op = FakeDriver::Op;
using Reply = FakeDriver::Reply;

class DnetTest : public DnetTestFixture {};

// Every device that had a pipe opened.
std::set<std::string> OpenedDevices(const FakeDriver& fake) {
    std::set<std::string> devices;
    for (const auto& t : fake.Transfers()) {
        if (t.op == Op::Open) devices.insert(t.device);
    }
    return devices;
}

TEST_F(DnetTest, CancelledOrUnusableChoiceLeavesBlockAndAdaptersAlone) {
    struct Case {
        const char* env;
        bool logged;
    };
    for (const Case& c :
         {Case{"cancel", false}, Case{"8", true}, Case{"-1", true}, Case{"03x", true}, Case{"", true}}) {
        SCOPED_TRACE(c.env);
        ClearLog();
        fake_->ClearTransfers();
        auto block = Block();
        const auto before = block;
        ::setenv("TAMSEN_TEST_CARD", c.env, 1);
        DNetTest_StartDrv(block.data());
        EXPECT_EQ(block, before);
        EXPECT_TRUE(fake_->Transfers().empty());
        EXPECT_EQ(DNetTest_Online(kKey), 0u);
        EXPECT_EQ(Log().find("TAMSEN_TEST_CARD=") != std::string::npos, c.logged) << Log();
    }
}

TEST_F(DnetTest, ChosenCardOpensThatAdapterUnderTheBlocksKey) {
    auto block = Block(kKey, 0x45);
    ASSERT_TRUE(Start(3, block));
    EXPECT_EQ(OpenedDevices(*fake_), std::set<std::string>{"fake/dev3"});
    // DcReset, then DcDntStartDrv: 64 bytes with the header check in byte 7, then the whole
    // 136-byte packet with the configuration byte at payload offset 116.
    const std::vector<Bytes> cmds = Writes(1, "fake/dev3");
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(cmds[0], Padded({0x7E, 0x50, 0, 0, 0, 0, 0, 0x2E}));
    EXPECT_EQ(Bytes(cmds[1].begin(), cmds[1].begin() + 8), (Bytes{0x7E, 0x51, 0x80, 0, 0, 0, 1, 0xAE}));
    const std::vector<Bytes> ext = Writes(3, "fake/dev3");
    ASSERT_EQ(ext.size(), 1u);
    ASSERT_EQ(ext[0].size(), 136u);
    EXPECT_EQ(ext[0][7 + 116], 0x45);
    EXPECT_EQ(std::count(ext[0].begin() + 7, ext[0].begin() + 135, 0), 127);
    EXPECT_EQ(ext[0][135], XorChecksum(std::span<const uint8_t>(ext[0].data(), 135)));

    // The key names the adapter in the other calls, the card index does not.
    fake_->ClearTransfers();
    EXPECT_EQ(DNetTest_ReConfig(3, 0x12), 0u);
    EXPECT_TRUE(fake_->Transfers().empty());
    EXPECT_EQ(DNetTest_ReConfig(kKey, 0x312), 1u);
    EXPECT_EQ(Writes(1, "fake/dev3"), std::vector<Bytes>{Padded({0x7E, 0x55, 1, 0, 0, 0, 0, 0x12, 0x38})});
    EXPECT_EQ(DNetTest_Online(kKey), 1u);
    EXPECT_EQ(DNetTest_Offline(kKey), 1u);
    EXPECT_EQ(Writes(1, "fake/dev3").back(), Padded({0x7E, 0x56, 0, 0, 0, 0, 0, 0x28}));

    // A master-API call does not reach a test-mode adapter.
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(101, kKey, &info), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Close(101, kKey), VARDA_ERR_NOT_OPEN);
}

TEST_F(DnetTest, StartedMessageCarriesTheLibrarysCopyOfTheBlock) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    std::optional<DNetTestMessage> m = NextMessage();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->message, WM_DNET_STARTED);
    EXPECT_EQ(m->wParam, 0u);
    const auto* copy = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(m->lParam));
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, block.data());
    EXPECT_EQ(copy[0], 0xAA);
    EXPECT_EQ(platform::GetU32LE(std::span<const uint8_t>(copy, 128), DNETTEST_BLOCK_KEY), kKey);
    EXPECT_EQ(copy[127], 0x77);
}

TEST_F(DnetTest, AnAdapterOrKeyInUseIsNotOpenedTwice) {
    ASSERT_EQ(VARDA_Open(101, 1, 0), 0u);  // adapter 1 is a master
    auto first = Block();
    ASSERT_TRUE(Start(0, first));
    struct Case {
        const char* name;
        uint32_t card;
        uint32_t key;
    };
    for (const Case& c : {Case{"same key, other adapter", 2, kKey}, Case{"same adapter, other key", 0, 99},
                          Case{"adapter open as master", 1, 98}, Case{"key of the master's index", 2, 1}}) {
        SCOPED_TRACE(c.name);
        ClearLog();
        fake_->ClearTransfers();
        auto block = Block(c.key);
        EXPECT_FALSE(Start(c.card, block));
        EXPECT_TRUE(OpenedDevices(*fake_).empty());
        EXPECT_TRUE(
            std::regex_search(Log(), std::regex(R"(tamsen\.dll : WARNING : DNetTest_StartDrv<\d+> : Device opened\n)")))
            << Log();
    }
    EXPECT_EQ(DNetTest_Online(1), 0u);  // the master is not a test-mode adapter
    // Nor does a master open an adapter that runs in test mode under another key.
    fake_->ClearTransfers();
    EXPECT_EQ(VARDA_Open(101, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_TRUE(OpenedDevices(*fake_).empty());
}

TEST_F(DnetTest, FailedStartLeavesNothingOpen) {
    fake_->QueueReply("fake/dev2", 0, Reply::Data(FakeDriver::Ack(0x50)));
    fake_->QueueReply("fake/dev2", 0, Reply::Data({0x7E, 0x51, 4, 0, 0, 0x80, 0, 0x3D, 0, 0, 0, 0x00}));
    auto block = Block();
    const auto before = block;
    EXPECT_FALSE(Start(2, block));
    EXPECT_EQ(block, before);
    EXPECT_TRUE(fake_->OpenPipes("fake/dev2").empty());
    // The adapter and the key are free again.
    EXPECT_TRUE(Start(2, block));
    // An adapter that is not there.
    auto other = Block(77);
    EXPECT_FALSE(Start(7, other));
    EXPECT_EQ(platform::GetU32LE(other, DNETTEST_BLOCK_STARTED), 0u);
    EXPECT_EQ(DNetTest_Online(77), 0u);
}

TEST_F(DnetTest, ReceivedAcknowledgesBecomeRecordsOrLogLines) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    ASSERT_EQ(NextMessage()->message, WM_DNET_STARTED);

    // No records: still a notification, the ring stays empty.
    script_.Push(Reply::Data(FakeDriver::Ack(0x58)));
    DNetTestRingHeader* ring = NextReceived();
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(ring->mask, 1023u);
    EXPECT_EQ(ring->head, 0u);
    for (uint32_t i = 0; i < 1024; ++i) ASSERT_EQ(ring->slots[i], ring->slots[0] + i * 19) << i;

    // Two records: two slots in the acknowledge's order.
    script_.Push(Reply::Data(RecvAck(7, 2)));
    ASSERT_EQ(NextReceived(), ring);
    EXPECT_EQ(ring->head, 2u);
    EXPECT_EQ(Bytes(ring->slots[0], ring->slots[0] + 19), RecordBytes(7));
    EXPECT_EQ(Bytes(ring->slots[1], ring->slots[1] + 19), RecordBytes(8));

    // 8 + 20 bytes is no whole number of records: logged, nothing written, no notification.
    ClearLog();
    Bytes odd = FakeDriver::Ack(0x58, Bytes(20, 0xEE));
    script_.Push(Reply::Data(odd));
    script_.Push(Reply::Data(FakeDriver::Ack(0x58)));
    ASSERT_EQ(NextReceived(), ring);
    EXPECT_EQ(ring->head, 2u);
    EXPECT_TRUE(std::regex_search(
        Log(),
        std::regex(R"(tamsen\.dll : ERROR : TamsenDevice::RxThread<\d+> : Invalid ack len: bytesReturned=28\n)")))
        << Log();

    // A failed fetch is logged and the thread goes on.
    ClearLog();
    script_.Push(Reply::Data({0x7E, 0x58, 4, 0, 0, 0x80, 0, 0x3D, 0, 0, 0, 0x00}));
    script_.Push(Reply::Data(RecvAck(9, 1)));
    ASSERT_EQ(NextReceived(), ring);
    EXPECT_EQ(ring->head, 3u);
    EXPECT_TRUE(std::regex_search(
        Log(),
        std::regex(
            R"(tamsen\.dll : ERROR : TamsenDevice::RxThread<\d+> : ExecCmdUnlock\(DcDntRecv\) failed: err=61\n)")))
        << Log();
    // The receive thread never used the normal group.
    for (const auto& w : Writes(7)) EXPECT_EQ(w[1], 0x58);
}

TEST_F(DnetTest, RecordsWrapAtTheEndOfTheRing) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    ASSERT_EQ(NextMessage()->message, WM_DNET_STARTED);
    // 1022 records, read as they come, bring head and tail to 1022.
    uint32_t sent = 0;
    DNetTestRingHeader* ring = nullptr;
    std::vector<uint8_t> out(26 * 19);
    while (sent < 1022) {
        const uint32_t n = std::min<uint32_t>(26, 1022 - sent);
        script_.Push(Reply::Data(RecvAck(sent, n)));
        sent += n;
        ring = NextReceived();
        ASSERT_NE(ring, nullptr);
        ASSERT_EQ(DNetTestRing_Read(ring, out.data(), 26), n);
        ASSERT_EQ(platform::GetU32LE(out, 4), sent - n);
    }
    ASSERT_EQ(ring->head, 1022u);
    ASSERT_EQ(ring->tail, 1022u);
    script_.Push(Reply::Data(RecvAck(5000, 5)));
    ASSERT_EQ(NextReceived(), ring);
    EXPECT_EQ(ring->head, 3u);
    const uint32_t slots[] = {1022, 1023, 0, 1, 2};
    for (uint32_t i = 0; i < 5; ++i) {
        EXPECT_EQ(Bytes(ring->slots[slots[i]], ring->slots[slots[i]] + 19), RecordBytes(5000 + i)) << slots[i];
    }
    EXPECT_EQ(DNetTestRing_Unread(ring), 5u);
    ASSERT_EQ(DNetTestRing_Read(ring, out.data(), 26), 5u);
    EXPECT_EQ(platform::GetU32LE(out, 4 * 19 + 4), 5004u);
    EXPECT_EQ(ring->tail, 3u);
}

TEST_F(DnetTest, FullRingIsNotFetchedIntoButAnnounced) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    // 39 acknowledges of 26 records: 1014 unread; with 9 slots free no fetch fits any more.
    for (uint32_t i = 0; i < 40; ++i) script_.Push(Reply::Data(RecvAck(i * 26, 26)));
    DNetTestRingHeader* ring = NextReceived();
    ASSERT_NE(ring, nullptr);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ring->head != 1014 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(ring->head, 1014u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(script_.Pending(), 1u);
    EXPECT_EQ(ring->head, 1014u);
    // Announcements go on while the ring is full.
    DNetTestMessage m{};
    while (DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE) != 0) {
    }
    EXPECT_NE(NextReceived(100), nullptr);
    // Reading makes room: the last acknowledge arrives, in order, nothing lost.
    std::vector<uint8_t> out(1040 * 19);
    uint32_t got = DNetTestRing_Read(ring, out.data(), 1040);
    EXPECT_EQ(got, 1014u);
    while (ring->head != 1040 % 1024 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    got += DNetTestRing_Read(ring, out.data() + got * 19, 1040 - got);
    ASSERT_EQ(got, 1040u);
    for (uint32_t i = 0; i < got; ++i) ASSERT_EQ(platform::GetU32LE(out, i * 19 + 4), i);
}

TEST_F(DnetTest, CommandsOnUnknownKeysSendNothing) {
    fake_->ClearTransfers();
    EXPECT_EQ(DNetTest_ReConfig(5, 1), 0u);
    EXPECT_EQ(DNetTest_Online(5), 0u);
    EXPECT_EQ(DNetTest_Offline(5), 0u);
    const uint8_t data[2] = {1, 2};
    DNetTest_Produce(2, 0x40F, data, 5);
    DNetTest_StopDrv(5);
    DNetTest_SetScreen();
    EXPECT_TRUE(fake_->Transfers().empty());
}

TEST_F(DnetTest, FailedTestCommandsLogAndReturnZero) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    struct Case {
        uint8_t code;
        std::function<uint32_t()> call;
        const char* line;
    };
    const uint8_t data[1] = {0};
    const Case cases[] = {
        {0x55, [] { return DNetTest_ReConfig(kKey, 1); },
         R"(DNetTest_ReConfig<\d+> : ExecCmd\(ReConfig\) failed: err=61\n)"},
        {0x56, [] { return DNetTest_Offline(kKey); }, R"(DNetTest_Offline<\d+> : ExecCmd\(Offline\) failed: err=61\n)"},
        {0x57, [] { return DNetTest_Online(kKey); }, R"(DNetTest_Online<\d+> : ExecCmd\(Online\) failed: err=61\n)"},
        {0x53,
         [&] {
             DNetTest_Produce(1, 0x40F, data, kKey);
             return 0u;
         },
         R"(DNetTest_Produce<\d+> : ExecCmd\(Produce\) failed: err=61\n)"},
    };
    for (const Case& c : cases) {
        ClearLog();
        fake_->QueueReply("fake/dev0", 0, Reply::Data({0x7E, c.code, 4, 0, 0, 0x80, 0, 0x3D, 0, 0, 0, 0x00}));
        EXPECT_EQ(c.call(), 0u);
        EXPECT_TRUE(std::regex_search(Log(), std::regex(std::string(R"(tamsen\.dll : ERROR : )") + c.line))) << Log();
    }
}

TEST_F(DnetTest, ProduceSendsAtMost48BytesInOneTransfer) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    Bytes data(60);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xA0 + i);
    struct Case {
        uint32_t length;
        const uint8_t* data;
        bool sent;
    };
    for (const Case& c :
         {Case{0, nullptr, true}, Case{3, data.data(), true}, Case{48, data.data(), true}, Case{49, data.data(), false},
          Case{0xFFFFFFFF, data.data(), false}, Case{2, nullptr, false}}) {
        SCOPED_TRACE(c.length);
        fake_->ClearTransfers();
        ClearLog();
        DNetTest_Produce(c.length, 0x0000040F, c.data, kKey);
        const std::vector<Bytes> cmds = Writes(1);
        EXPECT_TRUE(Writes(3).empty());
        if (!c.sent) {
            EXPECT_TRUE(cmds.empty());
            EXPECT_NE(Log().find("DNetTest_Produce<"), std::string::npos);
            continue;
        }
        ASSERT_EQ(cmds.size(), 1u);
        Bytes packet = {0x7E, 0x53};
        packet.resize(7 + 8);
        platform::PutU32LE(packet, 2, 8 + c.length);
        platform::PutU32LE(packet, 7, c.length);
        platform::PutU32LE(packet, 11, 0x40F);
        packet.insert(packet.end(), data.begin(), data.begin() + c.length);
        packet.push_back(XorChecksum(packet));
        EXPECT_LE(packet.size(), 64u);
        EXPECT_EQ(cmds[0], Padded(packet));
    }
}

TEST_F(DnetTest, StopWaitsForTheExchangeInFlightAndSendsNothing) {
    auto block = Block();
    ASSERT_TRUE(Start(0, block));
    script_.Hold();
    script_.Push(Reply::Data(RecvAck(1, 1)));
    ASSERT_TRUE(script_.WaitingInExchange(std::chrono::seconds(2)));
    fake_->ClearTransfers();
    auto stopped = std::async(std::launch::async, [] { DNetTest_StopDrv(kKey); });
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout);
    EXPECT_FALSE(fake_->OpenPipes("fake/dev0").empty());
    script_.Release();
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    EXPECT_TRUE(Writes(1).empty());
    // Gone: the key is unknown and the adapter can be started again.
    EXPECT_EQ(DNetTest_Online(kKey), 0u);
    DNetTest_StopDrv(kKey);
    EXPECT_TRUE(Start(0, block));
}

TEST(ThreadMessages, QueuesBelongToLiveThreads) {
    // A thread that does not exist gets nothing.
    EXPECT_FALSE(PostThreadMessage(0, WM_DNET_RECEIVED, 1, 2));
    uint32_t gone = 0;
    std::thread([&] { gone = CurrentThreadId(); }).join();
    EXPECT_FALSE(PostThreadMessage(gone, WM_DNET_RECEIVED, 1, 2));

    // Messages come in order to the thread they were posted to; peek can leave them queued.
    const uint32_t self = CurrentThreadId();
    ASSERT_TRUE(PostThreadMessage(self, WM_DNET_STARTED, 0, 7));
    ASSERT_TRUE(PostThreadMessage(self, WM_DNET_RECEIVED, 3, 8));
    DNetTestMessage m{};
    ASSERT_EQ(DNetTest_PeekMessage(&m, DNETTEST_PM_NOREMOVE), 1u);
    EXPECT_EQ(m.message, WM_DNET_STARTED);
    ASSERT_EQ(DNetTest_GetMessage(&m, 0), 1u);
    EXPECT_EQ(m.lParam, 7u);
    ASSERT_EQ(DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE), 1u);
    EXPECT_EQ(m.message, WM_DNET_RECEIVED);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.lParam, 8u);
    EXPECT_EQ(DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE), 0u);
    EXPECT_EQ(DNetTest_GetMessage(nullptr, 0), 0u);

    // Another thread waits for a post.
    std::promise<uint32_t> tid;
    std::future<uint32_t> tidReady = tid.get_future();
    uint64_t received = 0;
    std::thread waiter([&] {
        tid.set_value(CurrentThreadId());
        DNetTestMessage w{};
        if (DNetTest_GetMessage(&w, 5000) == 1) received = w.wParam;
    });
    const uint32_t waiterId = tidReady.get();
    while (!PostThreadMessage(waiterId, WM_DNET_RECEIVED, 42, 0)) std::this_thread::yield();
    waiter.join();
    EXPECT_EQ(received, 42u);
    EXPECT_FALSE(PostThreadMessage(waiterId, WM_DNET_RECEIVED, 43, 0));

    // A thread that never asks: its messages queue while it lives and go when it has ended.
    std::promise<uint32_t> quietId;
    std::promise<void> finish;
    std::thread quiet([&] {
        quietId.set_value(CurrentThreadId());
        finish.get_future().wait();
    });
    const uint32_t q = quietId.get_future().get();
    EXPECT_TRUE(PostThreadMessage(q, WM_DNET_RECEIVED, 1, 0));
    finish.set_value();
    quiet.join();
    bool dropped = false;
    for (int i = 0; i < 300 && !dropped; ++i) dropped = !PostThreadMessage(q, WM_DNET_RECEIVED, 2, 0);
    EXPECT_TRUE(dropped);

    // A queue holds at most DNETTEST_QUEUE_LIMIT messages.
    for (uint32_t i = 0; i < DNETTEST_QUEUE_LIMIT; ++i) ASSERT_TRUE(PostThreadMessage(self, 1, i, 0));
    EXPECT_FALSE(PostThreadMessage(self, 1, 0, 0));
    while (DNetTest_PeekMessage(&m, DNETTEST_PM_REMOVE) != 0) {
    }
}

}  // namespace
}  // namespace tamsen::testing
