// The master life cycle with the master API scripted in-process through the function table and
// the application services replaced by a recording stand-in.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "services/core_services.h"
#include "network/master_api_table.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "recording_services.h"
#include "testing/scripted_master.h"
#include "testing/wait_for.h"

namespace {

using testkit::WaitFor;

using Texts = std::vector<std::string>;

constexpr uint32_t kType = 101;

class ScriptedMasterTest : public ::testing::Test {
protected:
    CServerDev* MakeMaster(uint32_t mac, std::initializer_list<uint32_t> slaveMacs) {
        CServerDev* master = network.GetOrCreateMaster(kType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(mac, 1));
        for (uint32_t slaveMac : slaveMacs) {
            auto slave = std::make_unique<CSlaveDev>();
            slave->MutableConfig() = SlaveConfigBlock::Fresh(slaveMac);
            master->AddChild(std::move(slave));
        }
        return master;
    }

    // The calls made, without the status queries of the poller (their number depends on timing).
    Texts CallsBesidesStatus() const {
        Texts texts;
        for (const testkit::MasterCall& call : adapter.Calls())
            if (call.function != "VARDA_GetSlaveStatus") texts.push_back(call.Text());
        return texts;
    }

    // Declared before the network, so that they outlive it.
    testkit::ScriptedMaster adapter;
    netsvc::ScopedMasterApi api{testkit::ScriptedMaster::Functions()};
    RecordingServices services;
    netsvc::ScopedServices installed{services};
    NetworkRegistry network;
};

TEST_F(ScriptedMasterTest, StartGoesOnPastARefusedSlaveAndTheAdapterIsClosedOnce) {
    CServerDev* master = MakeMaster(10, {5, 7, 9});
    adapter.SetScript([](const testkit::MasterCall& call) -> std::optional<uint32_t> {
        if (call.function == "VARDA_AddSlave" && call.args.at(1) == 7) return VARDA_ERR_SLAVE_EXISTS;
        return std::nullopt;
    });

    ASSERT_EQ(master->Start(), 1);
    EXPECT_EQ(services.Take(), (Texts{"api 60: VARDA_AddSlave 使从站7上线失败"}));
    EXPECT_EQ(CallsBesidesStatus(),
              (Texts{"VARDA_Open(101,0,0)", "VARDA_Init(101,0,0,10,1)", "VARDA_RemoveSlave(1,4294967295)",
                     "VARDA_AddSlave(1,5)", "VARDA_AddSlave(1,7)", "VARDA_AddSlave(1,9)", "VARDA_SaveCfg(1)",
                     "VARDA_Online(1)", "VARDA_StartScan(1)"}));
    EXPECT_EQ(master->IsRunning(), 1);

    ASSERT_EQ(master->Stop(), 1);
    EXPECT_EQ(adapter.CountOf("VARDA_Close"), 0u) << "the master itself still holds the adapter";
    network.ClearNetwork();
    EXPECT_EQ(adapter.CallTexts("VARDA_Close"), (Texts{"VARDA_Close(101,0)"}));
    EXPECT_EQ(adapter.OpenAdapters(), 0u);
    EXPECT_EQ(adapter.LiveHandles(), 0u);
    EXPECT_TRUE(services.Take().empty());
}

TEST_F(ScriptedMasterTest, FailedStartStepsAreReportedAndLeaveNothingOpen) {
    struct Case {
        const char* function;
        uint32_t code;
        Texts reports;
        std::size_t inits;
    };
    const Case cases[] = {
        {"VARDA_Open", VARDA_ERR_NO_DEVICE, {"api 44: VARDA_Open(类型=101,地址=0)--"}, 0},
        {"VARDA_Init", VARDA_ERR_INIT_FAILED, {"api 45: VARDA_Init(类型=101,地址=0,通道索引=0)--"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        adapter.Fail(c.function, c.code, 0xFFFFFFFF);
        CServerDev* master = MakeMaster(3, {4});
        services.Take();
        EXPECT_EQ(master->Start(), 0);
        EXPECT_EQ(master->IsRunning(), 0);
        EXPECT_EQ(services.Take(), c.reports);
        EXPECT_EQ(adapter.CountOf("VARDA_Init"), c.inits);
        EXPECT_EQ(adapter.CountOf("VARDA_AddSlave"), 0u);
        network.ClearNetwork();
        EXPECT_EQ(adapter.OpenAdapters(), 0u);
        EXPECT_EQ(adapter.LiveHandles(), 0u);
        adapter.Fail(c.function, 0, 0);
        services.Take();
    }
}

TEST_F(ScriptedMasterTest, NamesAndStatusTextsComeFromTheServices) {
    services.SetDeviceType(kType, "Scripted", 1);
    CServerDev* master = MakeMaster(10, {5, 7});
    std::string name;
    master->GetName(name);
    EXPECT_EQ(name, "Scripted(0-0-250K)-10");

    adapter.SetSlaveStatus(5, VARDA_SLAVE_ONLINE);
    adapter.SetSlaveStatus(7, VARDA_SLAVE_STOPPED_COMMUNICATING);
    ASSERT_EQ(master->Start(), 1);
    CSlaveDev* online = master->GetChild(0);
    CSlaveDev* stopped = master->GetChild(1);
    EXPECT_TRUE(WaitFor([&] { return online->StatusText() == "status 0" && stopped->StatusText() == "status 72"; }));
    EXPECT_TRUE(WaitFor([&] { return online->IsRunning() == 1; }));
    EXPECT_EQ(stopped->IsRunning(), 0);
    master->Stop();
    EXPECT_EQ(online->IsRunning(), 0);
}

TEST_F(ScriptedMasterTest, TheInstalledTablesArePutBack) {
    EXPECT_EQ(&netsvc::MasterApi(), &testkit::ScriptedMaster::Functions());
    EXPECT_EQ(&netsvc::Services(), &services);
    {
        RecordingServices other;
        netsvc::ScopedServices inner(other);
        netsvc::ReportApiError(9, "inner");
        EXPECT_EQ(other.Take(), (Texts{"api 9: inner"}));
    }
    EXPECT_EQ(&netsvc::Services(), &services);
    EXPECT_NE(&netsvc::LinkedMasterApi(), &testkit::ScriptedMaster::Functions());
    EXPECT_EQ(netsvc::LinkedMasterApi().Open, &VARDA_Open);
}

}  // namespace
