// The sixteen functions through the fake driver: exact packets on the pipes, checks and results.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "fake_fixture.h"
#include "packet.h"

namespace tamsen::testing {
namespace {

using Op = FakeDriver::Op;
using Reply = FakeDriver::Reply;

class MasterApiTest : public FakeAdapterTest {};

TEST_F(MasterApiTest, OpenResetsThenOpensWithTheirReadRequests) {
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x50, 0, 0, 0, 0, 0, 0x2E}),
                                             Padded({0x7E, 0x40, 0, 0, 0, 0, 0, 0x3E})}));
    std::vector<Bytes> requests;
    for (const auto& t : fake_->Transfers()) {
        if (t.op == Op::StartRead) {
            EXPECT_EQ(t.pipe, 0);
            EXPECT_EQ(t.capacity, 64u);
            requests.push_back(t.bytes);
        }
    }
    EXPECT_EQ(requests, (std::vector<Bytes>{{0xFA, 0xE8, 0x03, 0xEF}, {0xFA, 0xB8, 0x0B, 0xB7}}));
}

TEST_F(MasterApiTest, SecondOpenWarnsAndDoesNotResetAgain) {
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    fake_->ClearTransfers();
    ClearLog();
    EXPECT_EQ(VARDA_Open(101, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_TRUE(fake_->Transfers().empty());
    EXPECT_NE(Log().find("tamsen.dll : WARNING : VARDA_Open<"), std::string::npos) << Log();
    EXPECT_NE(Log().find("> : Device opened\n"), std::string::npos);
}

TEST_F(MasterApiTest, InitSendsThirteenBytePayload) {
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    fake_->ClearTransfers();
    VARDA_INIT_PARAM p{};
    p.MacId = 5;
    p.BaudRate = 2;
    p.ScanDelay = 0x1234;
    p.IntervalScanCycle = 0x1FF;  // only the low byte reaches the adapter
    p.ExpectedPacketRate = 0x0302;
    p.RetryCount = 3;
    p.Option1 = 1;
    p.Option2 = 0;
    p.AutoMapSize = 32;
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_NE(handle, 0u);
    EXPECT_NE(handle, VARDA_INVALID_HANDLE);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x42, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x05, 0x02, 0xFF, 0x00,
                                                     0x34, 0x12, 0x02, 0x03, 0x03, 0x01, 0x00, 0x20, 0x00, 0xCC})}));
}

TEST_F(MasterApiTest, AddSlaveSendsTwentyOneBytePayload) {
    const uint32_t handle = OpenAndInit();
    VARDA_SLAVE_CONFIG c{};
    c.MacId = 9;
    c.VendorId = 0x1234;
    c.ProductType = 0x0C;
    c.ProductCode = 0x5678;
    c.ConnectionFlags = 0x15;
    c.BackgroundPoll = 1;
    c.StrobeInputSize = 1;
    c.StrobeOutputSize = 8;
    c.PollInputSize = 4;
    c.CosInputSize = 2;
    c.PollOutputSize = 6;
    c.CosOutputSize = 6;
    c.HeartbeatTime = 250;
    c.AckTimeout = 16;
    c.ProductionInhibitTime = 1;
    ASSERT_EQ(VARDA_AddSlave(handle, &c), 0u);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x47, 0x15, 0x00, 0x00, 0x00, 0x00, 0x09, 0x34, 0x12,
                                                     0x0C, 0x00, 0x78, 0x56, 0x15, 0x01, 0x01, 0x08, 0x04, 0x02,
                                                     0x06, 0x06, 0xFA, 0x00, 0x10, 0x00, 0x01, 0x00, 0xD1})}));
}

TEST_F(MasterApiTest, EmRequestTravelsOnTheExplicitGroupAndReturnsTheReply) {
    const uint32_t handle = OpenAndInit();
    fake_->QueueReply("fake/dev0", 6, Reply::Data(FakeDriver::Ack(0x4C, {0x2A, 0x00})));
    const uint8_t request[1] = {0x07};
    uint8_t response[16] = {};
    uint32_t length = sizeof response;
    ASSERT_EQ(VARDA_EMRequest(handle, 7, 0x0E, 1, 1, request, 1, response, &length, 2000), 0u);
    EXPECT_EQ(Writes(7),
              (std::vector<Bytes>{Padded({0x7E, 0x4C, 0x0E, 0x00, 0x00, 0x00, 0x00, 0x01, 0xD0, 0x07, 0x00,
                                          0x00, 0x07, 0x0E, 0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x07, 0xE5})}));
    EXPECT_TRUE(Writes(1).empty());
    EXPECT_TRUE(Writes(9).empty());
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(response[0], 0x2A);
}

TEST_F(MasterApiTest, LongEmRequestIsExtendedAndResponseIsCutToCapacity) {
    const uint32_t handle = OpenAndInit();
    Bytes reply(60);
    std::iota(reply.begin(), reply.end(), 1);
    // 68 bytes do not fit the first read: the whole acknowledge comes on the extension pipe.
    fake_->QueueReply("fake/dev0", 6, Reply::Data(FakeDriver::Ack(0x4C, reply, 1)));
    fake_->QueueReply("fake/dev0", 8, Reply::Data(FakeDriver::Ack(0x4C, reply, 1)));
    Bytes request(106, 0x55);
    uint8_t response[50] = {};
    uint32_t length = 50;
    ASSERT_EQ(VARDA_EMRequest(handle, 3, 0x10, 0x0F, 2, request.data(), 106, response, &length, 100), 0u);
    EXPECT_EQ(length, 50u);
    EXPECT_TRUE(std::equal(response, response + 50, reply.begin()));
    const auto ex = Writes(9);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].size(), 13u + 106u + 8u);
    EXPECT_EQ(ex[0][6], 1);  // extended
    EXPECT_EQ(ex[0][7], 1);  // channel + 1, the payload's own byte
    EXPECT_EQ(ex[0].back(), XorChecksum(std::span<const uint8_t>(ex[0].data(), ex[0].size() - 1)));
}

TEST_F(MasterApiTest, ReadSlaveIoUsesTheSlotOfTheConnectionType) {
    const uint32_t handle = OpenAndInit();
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x4D, {1, 2, 3, 4, 5, 6, 7, 8})));
    uint8_t buffer[4] = {};
    uint32_t length = 4;
    ASSERT_EQ(VARDA_ReadSlaveIO(handle, 12, 2, buffer, &length, 0), 0u);
    EXPECT_EQ(Writes(1),
              (std::vector<Bytes>{Padded({0x7E, 0x4D, 0x1A, 0x00, 0x00, 0x00, 0x00, 0x01, 0x0C, 0x00, 0x00, 0x00,
                                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x00,
                                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x22})}));
    // Capacity 4 and eight bytes of input: four stored.
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{1, 2, 3, 4}));
}

TEST_F(MasterApiTest, WriteSlaveIoOf255BytesIsAnExtended291BytePacket) {
    const uint32_t handle = OpenAndInit();
    Bytes data(255);
    std::iota(data.begin(), data.end(), 0);
    ASSERT_EQ(VARDA_WriteSlaveIO(handle, 4, 1, data.data(), 255, 500), 0u);

    Bytes packet(291, 0);
    packet[0] = 0x7E;
    packet[1] = 0x4E;
    packet[2] = 0x1B;  // 283 = 0x11B = 28 + 255
    packet[3] = 0x01;
    packet[6] = 1;
    packet[7] = 1;  // channel + 1
    packet[8] = 0xF4;  // 500 ms
    packet[9] = 0x01;
    packet[10] = 4;  // MAC ID
    packet[11] = 1;  // connection type
    packet[12] = 255;
    packet[13] = 35;  // packet offset of the data
    std::copy(data.begin(), data.end(), packet.begin() + 35);
    uint8_t check = 0;
    for (std::size_t i = 0; i < 290; ++i) check ^= packet[i];
    packet[290] = check;

    Bytes first(packet.begin(), packet.begin() + 64);
    first[7] = 0x7E ^ 0x4E ^ 0x1B ^ 0x01 ^ 0x00 ^ 0x00 ^ 0x01;
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{first}));
    EXPECT_EQ(Writes(3), (std::vector<Bytes>{packet}));
}

TEST_F(MasterApiTest, GetSlaveStatusReturnsTheStatusByte) {
    const uint32_t handle = OpenAndInit();
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x4F, {72})));
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 33), 72u);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x4F, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0x21, 0x13})}));
}

TEST_F(MasterApiTest, GetSlaveStatusTurnsEveryFailureInto57) {
    const uint32_t handle = OpenAndInit();
    // Error acknowledge with the adapter's 61: still 57, a status is not a result code.
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x4F, {0x3D, 0, 0, 0})));
    Bytes error = FakeDriver::Ack(0x4F, {0x3D, 0, 0, 0});
    error[5] = 0x80;
    fake_->QueueReply("fake/dev0", 0, Reply::Data(error));
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x4F, {})));
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), 0x3Du);  // a valid status of 61 is passed on
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);  // no status byte
}

TEST_F(MasterApiTest, RemoveAllSlavesSendsFF) {
    const uint32_t handle = OpenAndInit();
    ASSERT_EQ(VARDA_RemoveSlave(handle, VARDA_ALL_SLAVES), 0u);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x48, 0x02, 0x00, 0x00, 0x00, 0x00, 0x01, 0xFF, 0xCA})}));
}

TEST_F(MasterApiTest, SimpleCommandsCarryChannelPlusOne) {
    const uint32_t handle = OpenAndInit();
    struct Case {
        uint32_t (*fn)(uint32_t);
        uint8_t code;
        bool payload;
    };
    const Case cases[] = {{VARDA_Online, 0x43, true},
                          {VARDA_Offline, 0x44, true},
                          {VARDA_StartScan, 0x45, true},
                          {VARDA_StopScan, 0x46, true},
                          {VARDA_SaveCfg, 0x49, false}};
    for (const auto& c : cases) {
        fake_->ClearTransfers();
        ASSERT_EQ(c.fn(handle), 0u);
        Bytes packet = c.payload ? Bytes{0x7E, c.code, 1, 0, 0, 0, 0, 1} : Bytes{0x7E, c.code, 0, 0, 0, 0, 0};
        packet.push_back(XorChecksum(packet));
        EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded(packet)})) << CommandName(c.code);
        // The adapter's error code comes back unchanged.
        Bytes error = FakeDriver::Ack(c.code, {45, 0, 0, 0});
        error[5] = 0x80;
        fake_->QueueReply("fake/dev0", 0, Reply::Data(error));
        EXPECT_EQ(c.fn(handle), 45u) << CommandName(c.code);
    }
}

TEST_F(MasterApiTest, UninitSendsUninitAnd64RemoveSlavesAndFreesTheHandleWhenAllAreRefused) {
    const uint32_t handle = OpenAndInit();
    fake_->SetResponder([](const std::string&, int, const Bytes& command) {
        Bytes error = FakeDriver::Ack(command[1], {61, 0, 0, 0});
        error[5] = 0x80;
        return Reply::Data(error);
    });
    EXPECT_EQ(VARDA_Uninit(handle), 0u);
    const auto writes = Writes(1);
    ASSERT_EQ(writes.size(), 65u);
    EXPECT_EQ(writes[0], Padded({0x7E, 0x4A, 1, 0, 0, 0, 0, 1, 0x7E ^ 0x4A ^ 1 ^ 1}));
    for (uint8_t mac = 0; mac < 64; ++mac) {
        Bytes packet{0x7E, 0x48, 2, 0, 0, 0, 0, 1, mac};
        packet.push_back(XorChecksum(packet));
        EXPECT_EQ(writes[1 + mac], Padded(packet));
    }
    EXPECT_EQ(VARDA_Online(handle), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Uninit(handle), VARDA_ERR_INVALID_HANDLE);
    // The channel can be initialised again.
    VARDA_INIT_PARAM p = DefaultInitParam();
    uint32_t again = 0;
    fake_->SetResponder(nullptr);
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &again), 0u);
    EXPECT_NE(again, handle);
}

TEST_F(MasterApiTest, ReadBoardInfoWritesTheSerialNumberAsText) {
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    Bytes info(80);
    std::iota(info.begin(), info.end(), 0x20);
    info[48] = 0x39;  // 12345 = 0x3039
    info[49] = 0x30;
    info[50] = 0;
    info[51] = 0;
    fake_->QueueReply("fake/dev0", 0, Reply::Data(FakeDriver::Ack(0x41, info, 1)));
    fake_->QueueReply("fake/dev0", 2, Reply::Data(FakeDriver::Ack(0x41, info, 1)));
    VARDA_BOARD_INFO board{};
    ASSERT_EQ(VARDA_ReadBoardInfo(101, 0, &board), 0u);
    EXPECT_TRUE(std::equal(board.Identification, board.Identification + 48, info.begin()));
    EXPECT_EQ(std::string(board.SerialNumber), "12345");
    EXPECT_TRUE(std::all_of(board.SerialNumber + 5, board.SerialNumber + 16, [](char c) { return c == 0; }));
    EXPECT_TRUE(std::equal(board.Reserved, board.Reserved + 8, info.begin() + 64));
}

TEST_F(MasterApiTest, ArgumentChecksComeBeforeAnyTransfer) {
    VARDA_INIT_PARAM p = DefaultInitParam();
    uint32_t handle = 7;
    VARDA_BOARD_INFO board{};
    EXPECT_EQ(VARDA_Open(100, 0, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_ReadBoardInfo(101, 0, nullptr), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_ReadBoardInfo(101, 0, &board), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Close(101, 0), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &handle), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, nullptr), VARDA_ERR_INVALID_PARAM);
    EXPECT_TRUE(fake_->Transfers().empty());

    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    fake_->ClearTransfers();
    struct InitCase {
        const char* what;
        void (*change)(VARDA_INIT_PARAM&);
    };
    const InitCase initCases[] = {
        {"RetryCount 0", [](VARDA_INIT_PARAM& q) { q.RetryCount = 0; }},
        {"RetryCount 11", [](VARDA_INIT_PARAM& q) { q.RetryCount = 11; }},
        {"ScanDelay 0", [](VARDA_INIT_PARAM& q) { q.ScanDelay = 0; }},
        {"ScanDelay 65536", [](VARDA_INIT_PARAM& q) { q.ScanDelay = 65536; }},
        {"AutoMapSize 33", [](VARDA_INIT_PARAM& q) { q.AutoMapSize = 33; }},
        {"MacId 64", [](VARDA_INIT_PARAM& q) { q.MacId = 64; }},
        {"BaudRate 3", [](VARDA_INIT_PARAM& q) { q.BaudRate = 3; }},
        {"Option2 2", [](VARDA_INIT_PARAM& q) { q.Option2 = 2; }},
        {"ExpectedPacketRate 0", [](VARDA_INIT_PARAM& q) { q.ExpectedPacketRate = 0; }},
    };
    for (const auto& c : initCases) {
        VARDA_INIT_PARAM q = DefaultInitParam();
        c.change(q);
        handle = 7;
        EXPECT_EQ(VARDA_Init(101, 0, 0, &q, &handle), VARDA_ERR_INVALID_PARAM) << c.what;
        EXPECT_EQ(handle, VARDA_INVALID_HANDLE) << c.what;
    }
    EXPECT_EQ(VARDA_Init(101, 0, 1, &p, &handle), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_Init(100, 0, 0, &p, &handle), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_Init(101, 0, 0, nullptr, &handle), VARDA_ERR_INVALID_PARAM);
    EXPECT_TRUE(fake_->Transfers().empty());

    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    uint32_t second = 7;
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &second), VARDA_ERR_ALREADY_OPEN);
    EXPECT_EQ(second, VARDA_INVALID_HANDLE);
    fake_->ClearTransfers();

    VARDA_SLAVE_CONFIG slave{};
    slave.MacId = 64;
    EXPECT_EQ(VARDA_AddSlave(handle, &slave), VARDA_ERR_INVALID_PARAM);
    slave.MacId = 1;
    slave.BackgroundPoll = 2;
    EXPECT_EQ(VARDA_AddSlave(handle, &slave), VARDA_ERR_INVALID_PARAM);
    slave.BackgroundPoll = 0;
    slave.HeartbeatTime = 65536;
    EXPECT_EQ(VARDA_AddSlave(0, &slave), VARDA_ERR_INVALID_PARAM);  // 47 before 48
    EXPECT_EQ(VARDA_AddSlave(handle, nullptr), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_RemoveSlave(handle, 64), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_RemoveSlave(0, 64), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 64), VARDA_ERR_INVALID_PARAM);

    uint8_t buffer[300] = {};
    uint32_t length = 10;
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 4, buffer, &length, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(length, 0u);
    length = 256;
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 0), VARDA_ERR_INVALID_PARAM);
    length = 0;
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 0), VARDA_ERR_INVALID_PARAM);
    length = 8;
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 30001), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, nullptr, &length, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, nullptr, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, buffer, 256, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, buffer, 0, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_WriteSlaveIO(handle, 64, 1, buffer, 1, 0), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_WriteSlaveIO(handle, 1, 1, nullptr, 1, 0), VARDA_ERR_INVALID_PARAM);

    uint32_t responseLength = 20;
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, buffer, 107, buffer, &responseLength, 1000),
              VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(responseLength, 0u);
    responseLength = 20;
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, buffer, 1, buffer, &responseLength, 99), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, buffer, 1, buffer, &responseLength, 30001),
              VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_EMRequest(handle, 64, 0x0E, 1, 1, buffer, 1, buffer, &responseLength, 1000),
              VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, nullptr, 0, buffer, &responseLength, 1000),
              VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, buffer, 1, buffer, nullptr, 1000), VARDA_ERR_INVALID_PARAM);
    EXPECT_TRUE(fake_->Transfers().empty());

    // Invalid handles: 0, all ones, and one that never existed.
    for (uint32_t bad : {0u, VARDA_INVALID_HANDLE, handle + 1000}) {
        EXPECT_EQ(VARDA_Uninit(bad), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_Online(bad), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_Offline(bad), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_StartScan(bad), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_StopScan(bad), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_SaveCfg(bad), VARDA_ERR_INVALID_HANDLE);
        slave.HeartbeatTime = 0;
        EXPECT_EQ(VARDA_AddSlave(bad, &slave), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_RemoveSlave(bad, 1), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_GetSlaveStatus(bad, 1), VARDA_ERR_INVALID_HANDLE);
        length = 8;
        EXPECT_EQ(VARDA_ReadSlaveIO(bad, 1, 1, buffer, &length, 0), VARDA_ERR_INVALID_HANDLE);
        EXPECT_EQ(VARDA_WriteSlaveIO(bad, 1, 1, buffer, 8, 0), VARDA_ERR_INVALID_HANDLE);
        responseLength = 8;
        EXPECT_EQ(VARDA_EMRequest(bad, 1, 0x0E, 1, 1, buffer, 1, buffer, &responseLength, 1000),
                  VARDA_ERR_INVALID_HANDLE);
    }
    EXPECT_TRUE(fake_->Transfers().empty());
}

TEST_F(MasterApiTest, OpenFailuresAreLoggedAndLeaveNothingBehind) {
    EXPECT_EQ(VARDA_Open(101, 2, 0), VARDA_ERR_NO_DEVICE);
    EXPECT_NE(Log().find(" - VARDA_Open(): No such device\n"), std::string::npos) << Log();
    EXPECT_EQ(Log().rfind("tamsen.dll: ", 0), 0u) << Log();

    // The adapter refuses the reset: its code comes back and the pipes are closed again.
    Bytes error = FakeDriver::Ack(0x50, {45, 0, 0, 0});
    error[5] = 0x80;
    fake_->QueueReply("fake/dev1", 0, Reply::Data(error));
    ClearLog();
    EXPECT_EQ(VARDA_Open(101, 1, 0), 45u);
    EXPECT_NE(Log().find(" - VARDA_Open(): Device not ready\n"), std::string::npos) << Log();
    EXPECT_TRUE(fake_->OpenPipes("fake/dev1").empty());
    EXPECT_EQ(VARDA_Open(101, 1, 0), 0u);
    EXPECT_EQ(fake_->OpenPipes("fake/dev1").size(), 8u);
}

TEST_F(MasterApiTest, FailedInitLeavesNoHandleAndIsNotLoggedAsException) {
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    Bytes error = FakeDriver::Ack(0x42, {45, 0, 0, 0});
    error[5] = 0x80;
    fake_->QueueReply("fake/dev0", 0, Reply::Data(error));
    VARDA_INIT_PARAM p = DefaultInitParam();
    uint32_t handle = 0;
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 45u);
    EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
}

TEST_F(MasterApiTest, CloseSendsCloseDropsHandlesAndClosesPipes) {
    const uint32_t handle = OpenAndInit();
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_EQ(Writes(1), (std::vector<Bytes>{Padded({0x7E, 0x4B, 0, 0, 0, 0, 0, 0x7E ^ 0x4B})}));
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    EXPECT_EQ(VARDA_Online(handle), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Close(101, 0), VARDA_ERR_NOT_OPEN);
    // A refused Close still closes.
    EXPECT_EQ(VARDA_Open(101, 0, 0), 0u);
    fake_->FailOp("fake/dev0", 1, Op::Write);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
}

TEST_F(MasterApiTest, UnplugGives57UntilClosedAndReopened) {
    const uint32_t handle = OpenAndInit();
    fake_->Unplug("fake/dev0");
    EXPECT_EQ(VARDA_Online(handle), VARDA_ERR_INTERNAL);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);
    EXPECT_EQ(VARDA_Online(handle), VARDA_ERR_INTERNAL);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_TRUE(fake_->OpenPipes("fake/dev0").empty());
    // The other adapter moves up to index 0 once this one is gone.
    EXPECT_EQ(VARDA_Open(101, 0, 0), 0u);
    EXPECT_EQ(fake_->OpenPipes("fake/dev1").size(), 8u);
}

}  // namespace
}  // namespace tamsen::testing
