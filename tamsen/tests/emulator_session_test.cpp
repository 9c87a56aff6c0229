// End to end: the master API through libvarda.so (or libtamsen.so alone while the dispatcher is
// not built), the registry file and libtamsen.so's socket driver against the adapter-emu daemon.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/module.h"
#include "testing/build_paths.h"
#include "testing/emulator_session.h"
#include "testing/master_records.h"
#include "varda_api.h"

namespace {

using testkit::BinDir;

using namespace std::chrono_literals;

constexpr const char* kBus = R"(<?xml version="1.0"?>
<bus>
  <slave mac="1" name="io">
    <identity vendor-id="1250" device-type="7" product-code="101" product-name="IO Block"/>
    <poll input="4" output="2" inputs="counter"/>
  </slave>
  <slave mac="3" name="loop">
    <identity vendor-id="1250" device-type="115" product-code="103" product-name="Loop"/>
    <poll input="4" output="4" inputs="loopback"/>
  </slave>
</bus>
)";

TEST(EmulatorSessionTest, MasterLifeCycleAgainstTheEmulator) {
    if (!testkit::EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu is not built";
    testkit::EmulatorSession emulator(kBus);
    ASSERT_TRUE(emulator.Ready()) << emulator.ErrorOutput();
    emulator.Apply();

    const std::string varda = BinDir() + "/libvarda.so";
    const bool viaDispatcher = std::filesystem::exists(varda);
    int error = 0;
    std::string message;
    platform::Module module =
        platform::Module::Load(viaDispatcher ? varda : BinDir() + "/libtamsen.so", error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    const VardaFunctions api = testkit::LoadVardaFunctions(module);
    ASSERT_TRUE(api.Complete());

    ASSERT_EQ(api.Open(101, 0, 0), 0u);
    EXPECT_EQ(api.Open(101, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_EQ(api.Open(101, 1, 0), VARDA_ERR_NO_DEVICE);
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(api.ReadBoardInfo(101, 0, &info), 0u);
    EXPECT_EQ(info.SerialNumber[15], 0);

    const VARDA_INIT_PARAM p = testkit::InitParam();
    uint32_t handle = 0;
    ASSERT_EQ(api.Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(api.RemoveSlave(handle, VARDA_ALL_SLAVES), 0u);
    for (uint32_t mac : {1u, 3u}) {
        const VARDA_SLAVE_CONFIG s =
            testkit::SlaveRecord(mac, 0, VARDA_FLAGS_POLL_ONLY,
                                 {.pollIn = 4, .pollOut = static_cast<uint8_t>(mac == 1 ? 2 : 4)});
        EXPECT_EQ(api.AddSlave(handle, &s), 0u) << mac;
    }
    EXPECT_EQ(api.SaveCfg(handle), 0u);
    EXPECT_EQ(api.Online(handle), 0u);
    EXPECT_EQ(api.StartScan(handle), 0u);

    // The slaves come on line once the scanner has connected them.
    uint32_t state = 999;
    for (int i = 0; i < 1000 && state != 0; ++i) {
        state = api.GetSlaveStatus(handle, 3);
        if (state != 0) std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(state, 0u);

    const uint8_t out[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(api.WriteSlaveIO(handle, 3, VARDA_CONN_POLL, out, 4, 0), 0u);
    uint8_t in[8] = {};
    uint32_t length = 0;
    for (int i = 0; i < 1000; ++i) {
        length = 8;
        ASSERT_EQ(api.ReadSlaveIO(handle, 3, VARDA_CONN_POLL, in, &length, 0), 0u);
        if (length == 4 && in[0] == 0xDE) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 4), std::vector<uint8_t>(out, out + 4));

    // Identity vendor ID (class 1, instance 1, attribute 1).
    const uint8_t attribute[1] = {1};
    uint8_t reply[16] = {};
    uint32_t replyLength = sizeof reply;
    ASSERT_EQ(api.EMRequest(handle, 1, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attribute, 1, reply, &replyLength, 1000), 0u);
    ASSERT_EQ(replyLength, 2u);
    EXPECT_EQ(reply[0] | (reply[1] << 8), 1250);

    EXPECT_EQ(api.StopScan(handle), 0u);
    EXPECT_EQ(api.Offline(handle), 0u);
    EXPECT_EQ(api.Uninit(handle), 0u);
    EXPECT_EQ(api.GetSlaveStatus(handle, 1), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(api.Close(101, 0), 0u);
    EXPECT_EQ(api.Close(101, 0), VARDA_ERR_NOT_OPEN);
    // Closed means closed: the adapter can be opened again at once.
    EXPECT_EQ(api.Open(101, 0, 0), 0u);
    EXPECT_EQ(api.Close(101, 0), 0u);

    module = platform::Module();
}

}  // namespace
