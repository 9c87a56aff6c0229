// The firmware in process: acknowledges of every command, the scanner over simulated time,
// explicit messages, I/O, the saved configuration and test mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/firmware.h"
#include "adapter_emu/packet.h"
#include "emu_client.h"
#include "platform/byte_order.h"
#include "test_bus.h"

using namespace adapter_emu;
using emu_test::Bytes;

namespace {

class FirmwareTest : public ::testing::Test {
protected:
    void SetUp() override { Make(false); }

    void Make(bool fast, std::optional<std::filesystem::path> state = std::nullopt) {
        clock = std::make_shared<ManualClock>(1000);
        FirmwareOptions o;
        o.fast = fast;
        o.serialNumber = 71000100;
        o.stateFile = state;
        o.duplicateMacTimeoutMs = kDeviceNetDuplicateMacTimeoutMs;  // simulated time: costs nothing
        fw = std::make_unique<Firmware>(ParseBusText(emu_test::kTestBus, "test.xml"), clock, o);
    }

    std::vector<uint8_t> Ack(uint8_t code, std::vector<uint8_t> payload = {}) { return fw->Execute(code, payload); }
    uint32_t Result(uint8_t code, std::vector<uint8_t> payload = {}) {
        return emu_test::AdapterClient::ResultOf(code, Ack(code, std::move(payload)));
    }
    std::vector<uint8_t> Payload(uint8_t code, std::vector<uint8_t> payload = {}) {
        auto a = Ack(code, std::move(payload));
        EXPECT_EQ(emu_test::AdapterClient::ResultOf(code, a), 0u) << CommandName(code);
        return emu_test::AdapterClient::Payload(a);
    }
    void OpenAndInit(uint16_t scanDelay = 10) {
        ASSERT_EQ(Result(cmd::kDcReset), 0u);
        ASSERT_EQ(Result(cmd::kOpen), 0u);
        ASSERT_EQ(Result(cmd::kInit, emu_test::InitPayload(0, scanDelay)), 0u);
    }
    void Add(const emu_test::SlaveEntry& s) { ASSERT_EQ(Result(cmd::kAddSlave, emu_test::AddSlavePayload(s)), 0u); }
    void Run() {
        ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
        ASSERT_EQ(Result(cmd::kStartScan, {1}), 0u);
    }
    uint32_t Status(uint8_t mac) {
        auto a = Ack(cmd::kGetNodeStatus, {1, mac});
        if (emu_test::AdapterClient::ResultOf(cmd::kGetNodeStatus, a) != 0) return 1000;
        return emu_test::AdapterClient::Payload(a).at(0);
    }
    std::vector<uint8_t> Em(uint8_t mac, uint8_t service, uint16_t cls, uint16_t inst, std::vector<uint8_t> data,
                            uint32_t timeout = 1000) {
        return Payload(cmd::kEMRequest, emu_test::EmPayload(mac, service, cls, inst, std::move(data), timeout));
    }

    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<Firmware> fw;
};

emu_test::SlaveEntry Poll(uint8_t mac, uint8_t in, uint8_t out) {
    emu_test::SlaveEntry s;
    s.mac = mac;
    s.flags = 1;
    s.pollIn = in;
    s.pollOut = out;
    return s;
}

TEST_F(FirmwareTest, AcknowledgeBytesOfTheMasterSequence) {
    struct Step {
        uint8_t code;
        std::vector<uint8_t> payload;
        const char* ack;
    };
    const std::vector<Step> steps = {
        {cmd::kDcReset, {}, "7E 50 00 00 00 00 00 2E"},
        {cmd::kOpen, {}, "7E 40 00 00 00 00 00 3E"},
        {cmd::kInit, emu_test::InitPayload(0, 0), "7E 42 04 00 00 80 00 2F 00 00 00 97"},  // ScanDelay 0
        {cmd::kInit, emu_test::InitPayload(), "7E 42 00 00 00 00 00 3C"},
        {cmd::kRemoveSlave, {1, 0xFF}, "7E 48 00 00 00 00 00 36"},
        {cmd::kRemoveSlave, {1, 5}, "7E 48 04 00 00 80 00 3D 00 00 00 8F"},
        {cmd::kAddSlave, emu_test::AddSlavePayload(Poll(1, 4, 2)), "7E 47 00 00 00 00 00 39"},
        {cmd::kAddSlave, emu_test::AddSlavePayload(Poll(1, 4, 2)), "7E 47 04 00 00 80 00 3C 00 00 00 81"},
        {cmd::kSaveCfg, {}, "7E 49 00 00 00 00 00 37"},
        {cmd::kOnline, {1}, "7E 43 00 00 00 00 00 3D"},
        {cmd::kStartScan, {1}, "7E 45 00 00 00 00 00 3B"},
        {cmd::kGetNodeStatus, {1, 1}, "7E 4F 01 00 00 00 00 54 64"},  // 84 before the first scan
        {cmd::kStopScan, {1}, "7E 46 00 00 00 00 00 38"},
        {cmd::kOffline, {1}, "7E 44 00 00 00 00 00 3A"},
        {cmd::kUninit, {1}, "7E 4A 00 00 00 00 00 34"},
        {cmd::kOnline, {1}, "7E 43 04 00 00 80 00 37 00 00 00 8E"},  // 55: channel not initialised
        {cmd::kClose, {}, "7E 4B 00 00 00 00 00 35"},
        {cmd::kInit, emu_test::InitPayload(), "7E 42 04 00 00 80 00 2E 00 00 00 96"},  // 46: not open
        {0x59, {}, "7E 59 04 00 00 80 00 40 00 00 00 E3"},  // 64: unknown
        {cmd::kDcDntSetScreen, {}, "7E 54 00 00 00 00 00 2A"},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(Ack(s.code, s.payload), Bytes(s.ack)) << CommandName(s.code);
    }
}

TEST_F(FirmwareTest, GetInfoCarriesModelAndSerial) {
    auto p = Payload(cmd::kGetInfo);
    ASSERT_EQ(p.size(), 72u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data())), "ADAPTER-EMU DeviceNet Scanner");
    EXPECT_EQ(platform::GetU32LE(p, 48), 71000100u);
}

TEST_F(FirmwareTest, InitChecksEveryRange) {
    ASSERT_EQ(Result(cmd::kOpen), 0u);
    struct Case {
        const char* what;
        std::size_t offset;
        uint8_t value;
    };
    const std::vector<Case> bad = {{"MacId 64", 0, 64},    {"BaudRate 3", 1, 3},       {"ScanDelay 0", 4, 0},
                                   {"RetryCount 0", 8, 0}, {"RetryCount 11", 8, 11},   {"Option1 2", 9, 2},
                                   {"Option2 2", 10, 2},   {"AutoMapSize 33", 11, 33}, {"channel 1", 12, 1}};
    for (const auto& c : bad) {
        auto p = emu_test::InitPayload();
        if (c.offset == 4) p[5] = 0;
        p[c.offset] = c.value;
        EXPECT_EQ(Result(cmd::kInit, p), 47u) << c.what;
    }
    EXPECT_EQ(Result(cmd::kInit, std::vector<uint8_t>(12, 1)), 47u) << "short payload";
    EXPECT_EQ(Result(cmd::kInit, emu_test::InitPayload(63, 65535, 10, 32, 2)), 0u);
    EXPECT_EQ(Result(cmd::kInit, emu_test::InitPayload()), 54u) << "second Init";
    EXPECT_EQ(Result(cmd::kUninit, {1}), 0u);
    EXPECT_EQ(Result(cmd::kInit, emu_test::InitPayload()), 0u) << "Init after Uninit";
}

TEST_F(FirmwareTest, ScanListEdits) {
    OpenAndInit();
    Add(Poll(1, 4, 2));
    EXPECT_EQ(Result(cmd::kAddSlave, emu_test::AddSlavePayload(Poll(1, 4, 2))), 60u);
    auto big = emu_test::AddSlavePayload(Poll(1, 4, 2));
    big[0] = 64;
    EXPECT_EQ(Result(cmd::kAddSlave, big), 47u);
    EXPECT_EQ(Result(cmd::kRemoveSlave, {1, 2}), 61u);
    EXPECT_EQ(Result(cmd::kRemoveSlave, {1, 64}), 47u);
    EXPECT_EQ(Result(cmd::kRemoveSlave, {2, 1}), 47u) << "channel 1";
    Add(Poll(2, 1, 0));
    EXPECT_EQ(Status(1), 84u);
    EXPECT_EQ(Result(cmd::kRemoveSlave, {1, 1}), 0u);
    EXPECT_EQ(Status(1), 1000u) << "removed";
    EXPECT_EQ(Result(cmd::kRemoveSlave, {1, 0xFF}), 0u);
    EXPECT_EQ(Status(2), 1000u) << "all removed";
    EXPECT_EQ(Result(cmd::kGetNodeStatus, {1, 2}), 61u);
}

TEST_F(FirmwareTest, StatusTransitionsOverSimulatedTime) {
    OpenAndInit(10);
    Add(Poll(1, 4, 2));  // matches
    emu_test::SlaveEntry wrong = Poll(4, 4, 4);  // drive with another product code
    wrong.vendor = 1250;
    wrong.code = 999;
    Add(wrong);
    Add(Poll(9, 100, 200));  // sizes differ
    Add(Poll(7, 1, 1));  // absent
    Add(Poll(6, 2, 0));  // idle
    emu_test::SlaveEntry bare;
    bare.mac = 3;  // only the MAC ID set
    Add(bare);
    emu_test::SlaveEntry cyclic;
    cyclic.mac = 5;
    cyclic.flags = 3 | 8;
    cyclic.cosIn = 2;
    cyclic.cosOut = 2;
    Add(cyclic);  // goes silent 10 s after the first contact
    Add(Poll(20, 1, 1));  // nobody at 20
    Run();
    for (uint8_t mac : {1, 4, 9, 7, 6, 3, 5, 20}) EXPECT_EQ(Status(mac), 84u) << int(mac);
    clock->Advance(10);
    EXPECT_EQ(Status(1), 0u);
    EXPECT_EQ(Status(4), 73u);
    EXPECT_EQ(Status(9), 77u);
    EXPECT_EQ(Status(7), 78u);
    EXPECT_EQ(Status(6), 80u);
    EXPECT_EQ(Status(3), 0u);
    EXPECT_EQ(Status(5), 0u);
    EXPECT_EQ(Status(20), 78u);
    clock->Advance(9980);
    EXPECT_EQ(Status(5), 0u) << "9.99 s after the first contact";
    clock->Advance(20);
    EXPECT_EQ(Status(5), 72u) << "stopped communicating";
    EXPECT_TRUE(fw->StopSlave(1));
    EXPECT_EQ(Status(1), 0u) << "until the next scan cycle";
    clock->Advance(10);
    EXPECT_EQ(Status(1), 72u);
    EXPECT_TRUE(fw->ResumeSlave(1));
    clock->Advance(10);
    EXPECT_EQ(Status(1), 0u);
    ASSERT_EQ(Result(cmd::kStopScan, {1}), 0u);
    EXPECT_EQ(Status(1), 97u);
    EXPECT_EQ(Status(4), 97u);
    clock->Advance(1000);
    EXPECT_EQ(Status(1), 97u);
    ASSERT_EQ(Result(cmd::kStartScan, {1}), 0u);
    EXPECT_EQ(Status(1), 84u);
    clock->Advance(10);
    EXPECT_EQ(Status(1), 0u);
    ASSERT_EQ(Result(cmd::kOffline, {1}), 0u);
    EXPECT_EQ(Status(1), 97u);
}

TEST_F(FirmwareTest, BackgroundPolledSlaveWaitsForItsCycle) {
    ASSERT_EQ(Result(cmd::kOpen), 0u);
    auto init = emu_test::InitPayload(0, 10);
    init[2] = 5;  // every fifth cycle
    ASSERT_EQ(Result(cmd::kInit, init), 0u);
    auto s = Poll(1, 4, 2);
    s.background = 1;
    Add(s);
    Run();
    clock->Advance(10);
    EXPECT_EQ(Status(1), 0u);
    auto first = Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 4));
    clock->Advance(30);
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 4)), first) << "no poll in between";
    clock->Advance(20);
    EXPECT_NE(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 4)), first);
}

TEST_F(FirmwareTest, InputsFollowTheirBehaviour) {
    OpenAndInit(10);
    Add(Poll(1, 4, 2));
    emu_test::SlaveEntry strobe;
    strobe.mac = 2;
    strobe.flags = 0;
    strobe.strobeIn = 1;
    strobe.strobeOut = 8;
    Add(strobe);
    emu_test::SlaveEntry cos;
    cos.mac = 3;
    cos.flags = 3 | 4;
    cos.cosIn = 4;
    cos.cosOut = 4;
    Add(cos);
    Run();
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 255)), Bytes("00 00 00 00"));
    clock->Advance(10);
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 255)), Bytes("01 00 00 00"));
    clock->Advance(30);
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 255)), Bytes("04 00 00 00"));
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 1, 2)), Bytes("04 00")) << "capacity";
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(2, 0, 8)), Bytes("01"));
    ASSERT_EQ(Result(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(3, 2, Bytes("11 22 33 44"))), 0u);
    clock->Advance(10);
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(3, 2, 8)), Bytes("11 22 33 44")) << "loopback";
    ASSERT_EQ(Result(cmd::kWriteSlaveIO, emu_test::WriteIoPayload(3, 2, Bytes("55"))), 0u) << "partial update";
    clock->Advance(10);
    EXPECT_EQ(Payload(cmd::kReadSlaveIO, emu_test::ReadIoPayload(3, 2, 8)), Bytes("55 22 33 44"));

    struct Bad {
        const char* what;
        uint8_t code;
        std::vector<uint8_t> payload;
        uint32_t result;
    };
    const std::vector<Bad> bad = {
        {"read of an unlisted slave", cmd::kReadSlaveIO, emu_test::ReadIoPayload(5, 1, 4), 61},
        {"read of a connection not allocated", cmd::kReadSlaveIO, emu_test::ReadIoPayload(1, 3, 4), 67},
        {"read with no slot", cmd::kReadSlaveIO,
         std::vector<uint8_t>{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 47},
        {"read with a short payload", cmd::kReadSlaveIO, std::vector<uint8_t>(25, 1), 47},
        {"write of an unlisted slave", cmd::kWriteSlaveIO, emu_test::WriteIoPayload(5, 1, {1}), 61},
        {"write beyond the output size", cmd::kWriteSlaveIO, emu_test::WriteIoPayload(1, 1, {1, 2, 3}), 47},
        {"write to a connection not allocated", cmd::kWriteSlaveIO, emu_test::WriteIoPayload(1, 2, {1}), 67},
    };
    for (const auto& b : bad) EXPECT_EQ(Result(b.code, b.payload), b.result) << b.what;
    auto wrongOffset = emu_test::WriteIoPayload(1, 1, {1});
    wrongOffset[6] = 36;
    EXPECT_EQ(Result(cmd::kWriteSlaveIO, wrongOffset), 47u);
}

TEST_F(FirmwareTest, ExplicitRequestsToIdentityAndParameters) {
    OpenAndInit();
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(1, 0x0E, 1, 1, {1})), 66u) << "master off line";
    ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
    struct Case {
        uint8_t mac, service;
        uint16_t cls, inst;
        const char* data;
        const char* reply;
    };
    const std::vector<Case> cases = {
        {1, 0x0E, 1, 1, "01", "E2 04"},
        {1, 0x0E, 1, 1, "02", "07 00"},
        {1, 0x0E, 1, 1, "03", "65 00"},
        {1, 0x0E, 1, 1, "04", "01 02"},
        {1, 0x0E, 1, 1, "05", "00 00"},
        {1, 0x0E, 1, 1, "06", "01 00 56 4E"},
        {1, 0x0E, 1, 1, "07", "08 49 4F 20 42 6C 6F 63 6B"},
        {1, 0x01, 1, 1, "", "E2 04 07 00 65 00 01 02 00 00 01 00 56 4E 08 49 4F 20 42 6C 6F 63 6B"},
        {1, 0x0E, 3, 1, "01", "01"},
        {4, 0x0E, 0x0F, 1, "01", "64 00"},
        {4, 0x0E, 0x0F, 4, "01", "FB FF"},
        {4, 0x0E, 0x0F, 1, "05", "C7"},
        {4, 0x0E, 0x0F, 1, "06", "02"},
        {4, 0x0E, 0x0F, 1, "07", "05 41 63 63 65 6C"},
        {4, 0x0E, 0x0F, 0, "02", "04 00"},
        {4, 0x0E, 0x64, 1, "03", "05 00"},
        {4, 0x0E, 0x64, 1, "04", "DE AD"},
        {4, 0x10, 0x0F, 1, "01 70 17", ""},
        {4, 0x0E, 0x0F, 1, "01", "70 17"},
        {4, 0x10, 0x0F, 2, "01 02", ""},
        {4, 0x10, 0x64, 1, "03 09 00", ""},
        {4, 0x0E, 0x64, 1, "03", "09 00"},
        // CIP errors: 0x94, general status, 0xFF
        {1, 0x4B, 1, 1, "", "94 08 FF"},  // service not supported
        {1, 0x0E, 1, 1, "63", "94 14 FF"},  // attribute not supported
        {1, 0x0E, 0x99, 1, "01", "94 16 FF"},  // object does not exist
        {4, 0x0E, 0x0F, 9, "01", "94 16 FF"},  // no parameter 9
        {1, 0x10, 1, 1, "01 00 00", "94 0E FF"},  // not settable
        {4, 0x10, 0x0F, 3, "01 00 00 00 00", "94 0E FF"},
        {4, 0x10, 0x0F, 1, "01 71 17", "94 09 FF"},  // 6001 above max
        {4, 0x10, 0x0F, 1, "01 00 00", "94 09 FF"},  // 0 below min
        {4, 0x10, 0x0F, 2, "01 01", "94 09 FF"},  // not one of the choices
        {4, 0x10, 0x0F, 4, "01 F4 01", ""},  // 500 = max
        {4, 0x10, 0x0F, 4, "01 F5 01", "94 09 FF"},
        {4, 0x10, 0x0F, 1, "01 01", "94 13 FF"},  // not enough data
        {1, 0x0E, 1, 1, "", "94 13 FF"},
        {4, 0x10, 0x0F, 1, "01 01 00 00", "94 15 FF"},  // too much data
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Em(c.mac, c.service, c.cls, c.inst, Bytes(c.data)), Bytes(c.reply))
            << "mac " << int(c.mac) << " service " << int(c.service) << " " << c.cls << "/" << c.inst << " " << c.data;
    }
    // Reset type 1 restores the defaults.
    EXPECT_EQ(Em(4, 0x05, 1, 1, {1}), Bytes(""));
    EXPECT_EQ(Em(4, 0x0E, 0x0F, 1, {1}), Bytes("64 00"));
}

TEST_F(FirmwareTest, ExplicitTimeOutsUseSimulatedTime) {
    OpenAndInit();
    ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
    const uint64_t t0 = clock->NowMs();
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(7, 0x0E, 1, 1, {1}, 2000)), 59u) << "absent";
    EXPECT_EQ(clock->NowMs() - t0, 2000u);
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(30, 0x0E, 1, 1, {1}, 300)), 59u) << "nobody";
    EXPECT_EQ(clock->NowMs() - t0, 2300u);
    EXPECT_EQ(Em(8, 0x0E, 1, 1, {3}, 1000), Bytes("6C 00")) << "slow but in time";
    EXPECT_EQ(clock->NowMs() - t0, 2800u);
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(8, 0x0E, 1, 1, {3}, 400)), 59u) << "too slow";
    EXPECT_EQ(clock->NowMs() - t0, 3200u);
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(0, 0x0E, 1, 1, {3}, 100)), 59u) << "the master itself";

    Make(true);
    OpenAndInit();
    ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
    const uint64_t t1 = clock->NowMs();
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(7, 0x0E, 1, 1, {1}, 2000)), 59u);
    EXPECT_EQ(Em(8, 0x0E, 1, 1, {3}, 1000), Bytes("6C 00"));
    EXPECT_EQ(clock->NowMs(), t1) << "--fast does not wait";
}

TEST_F(FirmwareTest, MalformedExplicitPayloads) {
    OpenAndInit();
    ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
    auto p = emu_test::EmPayload(1, 0x0E, 1, 1, {1});
    p[11] = 2;  // claims two request bytes, carries one
    EXPECT_EQ(Result(cmd::kEMRequest, p), 47u);
    EXPECT_EQ(Result(cmd::kEMRequest, std::vector<uint8_t>(12, 1)), 47u);
    auto q = emu_test::EmPayload(64, 0x0E, 1, 1, {1});
    EXPECT_EQ(Result(cmd::kEMRequest, q), 47u);
}

TEST_F(FirmwareTest, SavedConfigurationSurvivesARestart) {
    const auto dir = std::filesystem::temp_directory_path() / ("emu-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "adapter0.xml";
    Make(false, file);
    OpenAndInit();
    Add(Poll(1, 4, 2));
    Add(Poll(4, 4, 4));
    ASSERT_EQ(Result(cmd::kSaveCfg), 0u);
    Add(Poll(9, 200, 200));  // not saved
    fw.reset();

    Make(false, file);
    OpenAndInit();
    EXPECT_EQ(Status(1), 84u);
    EXPECT_EQ(Status(4), 84u);
    EXPECT_EQ(Status(9), 1000u);
    EXPECT_EQ(Result(cmd::kAddSlave, emu_test::AddSlavePayload(Poll(4, 4, 4))), 60u);
    // A reset brings back what was saved, not what was edited since.
    ASSERT_EQ(Result(cmd::kRemoveSlave, {1, 0xFF}), 0u);
    OpenAndInit();
    EXPECT_EQ(Status(1), 84u);

    { std::ofstream(file) << "<adapter-state><slave>01 02</slave></adapter-state>"; }
    try {
        Make(false, file);
        FAIL() << "malformed state file accepted";
    } catch (const StateFileError& e) {
        EXPECT_EQ(std::string(e.what()), file.string() + ":1: <slave> must hold 21 hexadecimal bytes");
    }
    std::filesystem::remove_all(dir);
}

TEST_F(FirmwareTest, TestModeNodeSeesTheBus) {
    EXPECT_EQ(Result(cmd::kDcDntOnline), 55u) << "not started";
    std::vector<uint8_t> start(128, 0);
    start[116] = 1;  // MAC ID 1, 125k: the same MAC ID as slave 1
    ASSERT_EQ(Result(cmd::kDcDntStartDrv, start), 0u);
    EXPECT_EQ(Result(cmd::kDcDntStartDrv, std::vector<uint8_t>(127, 0)), 47u);
    auto produce = [&](uint16_t id, std::vector<uint8_t> data) {
        std::vector<uint8_t> p(8, 0);
        platform::PutU32LE(p, 0, static_cast<uint32_t>(data.size()));
        platform::PutU32LE(p, 4, id);
        p.insert(p.end(), data.begin(), data.end());
        return Result(cmd::kDcDntProduce, p);
    };
    EXPECT_EQ(produce(0x40F, {0}), 66u) << "node off line";
    const uint64_t before = clock->NowMs();
    ASSERT_EQ(Result(cmd::kDcDntOnline), 0u);
    // Slave 1 answers the node's first duplicate MAC ID request at once; the node stays off line.
    auto r = Payload(cmd::kDcDntRecv);
    ASSERT_EQ(r.size(), 19u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 12), Bytes("01 0F 04 07 80 E2 04 01 00 56 4E 00"));
    EXPECT_EQ(platform::GetU32LE(r, 12), static_cast<uint32_t>(before));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 16, r.end()), Bytes("02 01 07"));
    EXPECT_EQ(clock->NowMs(), before);
    EXPECT_EQ(produce(0x40F, {0}), 66u) << "MAC ID taken: still off line";
    ASSERT_EQ(Result(cmd::kDcDntReConfig, {10}), 0u);  // move to MAC ID 10, nobody there
    ASSERT_EQ(Result(cmd::kDcDntOnline), 0u);
    EXPECT_EQ(clock->NowMs(), before + 2 * kDeviceNetDuplicateMacTimeoutMs) << "two requests, a time-out after each";
    EXPECT_TRUE(Payload(cmd::kDcDntRecv).empty());
    // An unconnected explicit request to slave 4 (Get_Attribute_Single vendor ID), answered on
    // group 2 message 3.
    ASSERT_EQ(produce(0x400 | (4 << 3) | 6, {10, 0x0E, 1, 1, 1}), 0u);
    ASSERT_EQ(produce(0x400 | (4 << 3) | 6, {10, 0x0E, 0x77, 1, 1}), 0u);
    ASSERT_EQ(produce(0x400 | (7 << 3) | 7, {0}), 0u);  // absent: no answer
    ASSERT_EQ(produce(0x123, {1, 2}), 0u);  // group 1: nobody answers
    r = Payload(cmd::kDcDntRecv);
    ASSERT_EQ(r.size(), 38u);
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 8), Bytes("01 23 04 04 0A 8E E2 04"));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 16, r.begin() + 19), Bytes("02 04 03"));
    EXPECT_EQ(std::vector<uint8_t>(r.begin() + 19, r.begin() + 27), Bytes("01 23 04 04 0A 94 16 FF"));
    EXPECT_EQ(produce(0x800, {}), 47u) << "identifier above 11 bits";
    EXPECT_EQ(produce(0x400, std::vector<uint8_t>(9, 0)), 47u) << "more than a CAN frame";
    EXPECT_EQ(Result(cmd::kDcDntReConfig, {0xC0}), 47u);
    EXPECT_EQ(Result(cmd::kInit, emu_test::InitPayload()), 46u) << "not opened in master mode";
    ASSERT_EQ(Result(cmd::kOpen), 0u);
    EXPECT_EQ(Result(cmd::kInit, emu_test::InitPayload()), 45u) << "test mode";
    ASSERT_EQ(Result(cmd::kDcDntOffline), 0u);
    EXPECT_EQ(produce(0x40F, {0}), 66u);
    ASSERT_EQ(Result(cmd::kDcDntStopDrv), 0u);
    EXPECT_EQ(Result(cmd::kDcDntRecv), 55u);
}

TEST_F(FirmwareTest, TwoSlavesWithOneMacId) {
    // The later device at MAC ID 7 fails its duplicate MAC ID check: the master finds only the
    // first one there.
    const char* bus = R"(<bus>
  <slave mac="7"><identity vendor-id="1250" device-type="7" product-code="101" product-name="First"/>
    <poll input="2" output="2"/></slave>
  <slave mac="7" duplicate-mac="true"><identity vendor-id="1250" device-type="6" product-code="102" product-name="Second"/>
    <poll input="1" output="0"/></slave>
</bus>)";
    fw = std::make_unique<Firmware>(ParseBusText(bus, "dup.xml"), clock, FirmwareOptions{});
    struct Case {
        const char* expected;
        uint16_t type, code;
        uint8_t in, out;
        uint32_t status;
    };
    const Case cases[] = {
        {"the first device", 7, 101, 2, 2, 0},
        {"the second device", 6, 102, 1, 0, 73},  // another device answers there: wrong device type
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        OpenAndInit();
        emu_test::SlaveEntry e = Poll(7, c.in, c.out);
        e.vendor = 1250;
        e.type = c.type;
        e.code = c.code;
        Add(e);
        Run();
        clock->Advance(50);
        EXPECT_EQ(Status(7), c.status);
        EXPECT_EQ(Em(7, 0x0E, 1, 1, {7}), Bytes("05 46 69 72 73 74"));  // product name "First"
    }
    // A master at MAC ID 7 finds the MAC ID taken and stays off line.
    ASSERT_EQ(Result(cmd::kDcReset), 0u);
    ASSERT_EQ(Result(cmd::kOpen), 0u);
    ASSERT_EQ(Result(cmd::kInit, emu_test::InitPayload(7, 10)), 0u);
    Add(Poll(7, 2, 2));
    const uint64_t before = clock->NowMs();
    Run();
    EXPECT_EQ(clock->NowMs(), before) << "answered at the first request";
    clock->Advance(50);
    EXPECT_EQ(Status(7), 70u);
    EXPECT_EQ(Result(cmd::kEMRequest, emu_test::EmPayload(7, 0x0E, 1, 1, {7})), 66u);
    ASSERT_EQ(Result(cmd::kUninit, {1}), 0u);
    ASSERT_EQ(Result(cmd::kClose), 0u);
    ASSERT_EQ(Result(cmd::kOpen), 0u);
    ASSERT_EQ(Result(cmd::kInit, emu_test::InitPayload(0, 10)), 0u);
    EXPECT_EQ(Status(7), 84u) << "a new Init forgets the failed check";
}

TEST_F(FirmwareTest, APluggedInSlaveChecksItsMacId) {
    std::vector<uint8_t> start(128, 0);
    start[116] = 62;
    ASSERT_EQ(Result(cmd::kDcDntStartDrv, start), 0u);
    ASSERT_EQ(Result(cmd::kDcDntOnline), 0u);
    ASSERT_TRUE(fw->SetSlaveAbsent(4, true));
    // Plugged in again: two requests (vendor 1250, serial 7) a time-out apart, then present.
    const uint64_t at = clock->NowMs();
    ASSERT_TRUE(fw->SetSlaveAbsent(4, false));
    EXPECT_EQ(clock->NowMs(), at + 2 * kDeviceNetDuplicateMacTimeoutMs);
    auto r = Payload(cmd::kDcDntRecv);
    ASSERT_EQ(r.size(), 2 * 19u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(std::vector<uint8_t>(r.begin() + 19 * i, r.begin() + 19 * i + 12),
                  Bytes("01 27 04 07 00 E2 04 07 00 00 00 00"));
        EXPECT_EQ(platform::GetU32LE(r, 19 * i + 12), at + i * kDeviceNetDuplicateMacTimeoutMs);
    }
    std::vector<uint8_t> produce(8, 0);
    platform::PutU32LE(produce, 0, 5);
    platform::PutU32LE(produce, 4, 0x400 | (4 << 3) | 6);
    for (uint8_t b : Bytes("3E 0E 01 01 01")) produce.push_back(b);
    ASSERT_EQ(Result(cmd::kDcDntProduce, produce), 0u);
    EXPECT_EQ(Payload(cmd::kDcDntRecv).size(), 19u) << "the drive answers again";

    // A device plugged in at the node's MAC ID hears the node's answer and stays away.
    ASSERT_EQ(Result(cmd::kDcDntReConfig, {4}), 0u);  // slave 4 answers: the node stays off line
    ASSERT_EQ(Result(cmd::kDcDntOffline), 0u);
    ASSERT_TRUE(fw->SetSlaveAbsent(4, true));
    ASSERT_EQ(Result(cmd::kDcDntOnline), 0u);  // now the MAC ID is free
    (void)Payload(cmd::kDcDntRecv);
    ASSERT_TRUE(fw->SetSlaveAbsent(4, false));
    r = Payload(cmd::kDcDntRecv);
    ASSERT_EQ(r.size(), 19u) << "one request, answered by the node";
    EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 12), Bytes("01 27 04 07 00 E2 04 07 00 00 00 00"));
    platform::PutU32LE(produce, 4, 0x400 | (1 << 3) | 6);
    ASSERT_EQ(Result(cmd::kDcDntProduce, produce), 0u);
    EXPECT_EQ(Payload(cmd::kDcDntRecv).size(), 19u) << "the node is on line at 4";
    platform::PutU32LE(produce, 4, 0x400 | (4 << 3) | 7);
    ASSERT_EQ(Result(cmd::kDcDntProduce, produce), 0u);
    EXPECT_TRUE(Payload(cmd::kDcDntRecv).empty()) << "slave 4 stayed away";
}

// Node commissioning through the DeviceNet object: a new MAC ID at once (after the duplicate
// MAC ID check), a new baud rate at reset, switches that fix both, and the state file.
TEST_F(FirmwareTest, CommissioningSetsMacIdAndBaudRate) {
    const char* bus = R"(<bus>
  <slave mac="1"><identity vendor-id="1250" device-type="7" product-code="101" serial="0x11" product-name="One"/></slave>
  <slave mac="62" switches="fixed"><identity vendor-id="1250" device-type="0" product-code="106" serial="0x62" product-name="Fixed"/></slave>
  <slave mac="63"><identity vendor-id="1250" device-type="0" product-code="106" serial="0x63" product-name="New"/></slave>
</bus>)";
    const auto dir = std::filesystem::temp_directory_path() / ("emu-commission-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path state = dir / "adapter0.xml";
    auto start = [&](uint8_t baud) {
        FirmwareOptions o;
        o.fast = true;
        o.stateFile = state;
        o.duplicateMacTimeoutMs = kDeviceNetDuplicateMacTimeoutMs;
        fw = std::make_unique<Firmware>(ParseBusText(bus, "commission.xml"), clock, o);
        ASSERT_EQ(Result(cmd::kOpen), 0u);
        ASSERT_EQ(Result(cmd::kInit, emu_test::InitPayload(0, 10, 1, 0, baud)), 0u);
        ASSERT_EQ(Result(cmd::kOnline, {1}), 0u);
    };
    auto get = [&](uint8_t mac, uint8_t cls, uint8_t attribute) {
        return Result(cmd::kEMRequest, emu_test::EmPayload(mac, 0x0E, cls, 1, {attribute})) == 0
                   ? Em(mac, 0x0E, cls, 1, {attribute})
                   : std::vector<uint8_t>{};
    };
    struct Case {
        const char* what;
        uint8_t newMac;
        const char* serialThere;  // the serial number answering at the new MAC ID afterwards
    };
    const Case cases[] = {
        {"a free MAC ID", 12, "63 00 00 00"},
        {"another device's MAC ID: that one answers, the moved one is off line", 1, "11 00 00 00"},
        {"the master's MAC ID: off line", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(state);
        start(0);
        EXPECT_EQ(Em(63, 0x10, 3, 1, {1, c.newMac}), Bytes("")) << "the answer comes from the old MAC ID";
        EXPECT_EQ(get(63, 1, 6), Bytes("")) << "gone from 63";
        EXPECT_EQ(get(c.newMac, 1, 6), c.newMac == 1 ? Bytes("11 00 00 00") : Bytes("")) << "checking its MAC ID";
        clock->Advance(2 * kDeviceNetDuplicateMacTimeoutMs);
        EXPECT_EQ(get(c.newMac, 1, 6), Bytes(c.serialThere));
        EXPECT_EQ(get(63, 1, 6), Bytes(""));
    }

    // Kept in the state file: after a restart the device is at 12 at once.
    std::filesystem::remove(state);
    start(0);
    ASSERT_EQ(Em(63, 0x10, 3, 1, {1, 12}), Bytes(""));
    start(0);
    EXPECT_EQ(get(12, 3, 1), Bytes("0C"));
    EXPECT_EQ(get(63, 1, 6), Bytes(""));

    // The baud rate: shown at once, taken at the reset; then only a 250K master hears the device.
    EXPECT_EQ(Em(12, 0x10, 3, 1, {2, 3}), Bytes("94 09 FF")) << "no baud-rate code 3";
    EXPECT_EQ(Em(12, 0x10, 3, 1, {2, 1}), Bytes(""));
    EXPECT_EQ(get(12, 3, 2), Bytes("01"));
    EXPECT_EQ(get(12, 1, 6), Bytes("63 00 00 00")) << "still at 125K until the reset";
    EXPECT_EQ(Em(12, 0x05, 1, 1, {0}), Bytes(""));
    clock->Advance(2 * kDeviceNetDuplicateMacTimeoutMs);
    EXPECT_EQ(get(12, 1, 6), Bytes("")) << "250K on a 125K bus";
    start(1);
    EXPECT_EQ(get(12, 1, 6), Bytes("63 00 00 00")) << "a 250K master after a restart";
    EXPECT_EQ(get(1, 1, 6), Bytes("11 00 00 00")) << "a device that follows the bus";

    // Fixed switches: both attributes refused with 0x0E, and readable.
    EXPECT_EQ(Em(62, 0x10, 3, 1, {1, 20}), Bytes("94 0E FF"));
    EXPECT_EQ(Em(62, 0x10, 3, 1, {2, 1}), Bytes("94 0E FF"));
    EXPECT_EQ(get(62, 3, 1), Bytes("3E"));
    fw.reset();
    std::filesystem::remove_all(dir);
}

TEST(ReceivedRecordTest, IdentifierFieldsByGroup) {
    struct Case {
        uint16_t id;
        uint8_t group, mac, message;
    };
    for (const Case& c :
         std::vector<Case>{{0x3C5, 1, 5, 15}, {0x41F, 2, 3, 7}, {0x645, 3, 5, 1}, {0x7C3, 4, 0xFF, 3}}) {
        auto r = MakeRecord(c.id, {}, 0, false);
        EXPECT_EQ(r[16], c.group) << c.id;
        EXPECT_EQ(r[17], c.mac) << c.id;
        EXPECT_EQ(r[18], c.message) << c.id;
    }
    EXPECT_EQ(MakeRecord(1, {}, 0, true)[0], 0x81);
}

}  // namespace
