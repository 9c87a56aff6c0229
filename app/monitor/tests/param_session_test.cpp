// The parameter editor's session against the scripted master API: a failed attach refuses every
// transfer; closing stops a running "all" transfer, waits for it, refuses new ones and detaches.
#include "monitor/param_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "../../network/tests/recording_services.h"
#include "network/master_api_table.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "testing/scripted_master.h"
#include "testing/wait_for.h"

namespace {

constexpr const char* kEds = R"([File]
        DescText = "Session test";
[Device]
        VendCode = 1;
        ProdType = 12;
        ProdCode = 1;
        ProdName = "Session test";
[Params]
        Param1 = 0,6,"20 0F 24 01 30 01",0x00,0xC7,2,"A","","",0,255,1,0,0,0,0,0,0,0,0,0;
        Param2 = 0,6,"20 0F 24 02 30 01",0x00,0xC7,2,"B","","",0,255,2,0,0,0,0,0,0,0,0,0;
        Param3 = 0,6,"20 0F 24 03 30 01",0x00,0xC7,2,"C","","",0,255,3,0,0,0,0,0,0,0,0,0;
        Param4 = 0,6,"20 0F 24 04 30 01",0x00,0xC7,2,"D","","",0,255,4,0,0,0,0,0,0,0,0,0;
        Param5 = 0,6,"20 0F 24 05 30 01",0x00,0xC7,2,"E","","",0,255,5,0,0,0,0,0,0,0,0,0;
)";

class ParamSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        master = network.GetOrCreateMaster(101, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(10, 1));
        auto owned = std::make_unique<CSlaveDev>();
        owned->MutableConfig() = SlaveConfigBlock::Fresh(5);
        ASSERT_EQ(owned->MutableEds().description.LoadFromMemory(kEds, "session.eds"), 1);
        owned->MutableEds().parameters = owned->Eds().description.Params();
        slave = owned.get();
        master->AddChild(std::move(owned));
    }

    testkit::ScriptedMaster adapter;
    netsvc::ScopedMasterApi api{testkit::ScriptedMaster::Functions()};
    RecordingServices services;
    netsvc::ScopedServices installed{services};
    NetworkRegistry network;
    CServerDev* master = nullptr;
    CSlaveDev* slave = nullptr;
};

TEST_F(ParamSessionTest, AFailedAttachKeepsItsCodeAndRefusesEveryTransfer) {
    adapter.Fail("VARDA_Init", VARDA_ERR_INIT_FAILED, 0xFFFFFFFF);
    const uint32_t openBefore = adapter.OpenAdapters();
    int finished = 0;
    {
        monitor::ParamSession session(*slave, {[&finished](DeviceNetEDS::CParamsInfo) { ++finished; },
                                               [&finished] { ++finished; }});
        EXPECT_EQ(session.AttachResult(), VARDA_ERR_INIT_FAILED);
        EXPECT_FALSE(session.CanTransfer());
        EXPECT_FALSE(session.StartUpload(slave->Eds().parameters));
        EXPECT_FALSE(session.StartDownload(slave->Eds().parameters));
        DeviceNetEDS::CParamsInfo set = slave->Eds().parameters;
        EXPECT_EQ(session.DownloadOne(set, 1), monitor::ParamSession::Single::kRefused);
        EXPECT_EQ(session.UploadOne(set, 1), monitor::ParamSession::Single::kRefused);
    }
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(adapter.CountOf("VARDA_EMRequest"), 0u);
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(adapter.OpenAdapters(), openBefore) << "nothing is left held";
    EXPECT_EQ(services.Take(), (std::vector<std::string>{"api 45: VARDA_Init(类型=101,地址=0,通道索引=0)--"}));
}

TEST_F(ParamSessionTest, CloseStopsTheRunningUploadWaitsForItAndRefusesNewTransfers) {
    // Every request takes a while, as a slow slave's would.
    adapter.SetScript([](const testkit::MasterCall& call) -> std::optional<uint32_t> {
        if (call.function == "VARDA_EMRequest") std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return std::nullopt;
    });
    std::atomic<int> uploads{0};
    std::atomic<int> downloads{0};
    monitor::ParamSession session(*slave, {[&uploads](DeviceNetEDS::CParamsInfo) { ++uploads; },
                                           [&downloads] { ++downloads; }});
    ASSERT_EQ(session.AttachResult(), 0u);
    EXPECT_EQ(master->InitCount(), 1u);
    // The editor's own copy: the slave's set belongs to the transfers while they run.
    DeviceNetEDS::CParamsInfo set = slave->Eds().parameters;
    ASSERT_TRUE(session.StartUpload(set));
    EXPECT_FALSE(session.StartUpload(set)) << "one upload at a time";
    ASSERT_TRUE(testkit::WaitFor([&] { return adapter.CountOf("VARDA_EMRequest") >= 1; }));
    EXPECT_EQ(session.DownloadOne(set, 1), monitor::ParamSession::Single::kBusy) << "the upload holds the set";

    session.Close();
    EXPECT_FALSE(session.UploadRunning());
    EXPECT_EQ(uploads.load(), 1);
    EXPECT_LT(adapter.CountOf("VARDA_EMRequest"), 5u) << "the stop flag ended the upload early";
    EXPECT_FALSE(session.CanTransfer());
    EXPECT_FALSE(session.StartDownload(set));
    EXPECT_EQ(session.UploadOne(set, 1), monitor::ParamSession::Single::kRefused);
    EXPECT_EQ(downloads.load(), 0);
    EXPECT_EQ(master->InitCount(), 0u) << "detached after the worker ended";
}

}  // namespace
