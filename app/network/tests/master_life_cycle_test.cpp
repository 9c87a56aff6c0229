// The master life cycle against a scripted master device library behind libvarda.so.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "fake_master_control.h"
#include "network/master_card.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "report_capture.h"
#include "testing/wait_for.h"

namespace {

using testkit::WaitFor;

using Calls = std::vector<std::string>;

constexpr uint32_t kType = 101;

class MasterLifeCycle : public ::testing::Test {
protected:
    void SetUp() override { fake.Reset(); }

    CServerDev* MakeMaster(uint32_t mac, std::initializer_list<uint32_t> slaveMacs) {
        CServerDev* master = network.GetOrCreateMaster(kType, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(mac, 1));
        for (uint32_t slaveMac : slaveMacs) {
            auto slave = std::make_unique<CSlaveDev>();
            SlaveConfigBlock block = SlaveConfigBlock::Fresh(slaveMac);
            block.use[ConnectionUse::kPoll] = 1;
            VARDA_SLAVE_CONFIG r = block.record.Record();
            r.ConnectionFlags = DeriveConnectionFlags(block.use);
            r.PollInputSize = 2;
            block.record.SetRecord(r);
            slave->MutableConfig() = block;
            master->AddChild(std::move(slave));
        }
        return master;
    }

    // The calls made since the mark.
    Calls Since(std::size_t mark) const {
        Calls all = fake.Calls();
        return Calls(all.begin() + static_cast<std::ptrdiff_t>(std::min(mark, all.size())), all.end());
    }

    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    NetworkRegistry network;
};

TEST_F(MasterLifeCycle, StartAndStopCallSequence) {
    CServerDev* master = MakeMaster(10, {5, 7});
    EXPECT_EQ(fake.Calls(), (Calls{"VARDA_Open(101,0,0)"})) << "creating a master opens its card";
    fake.SetSlaveStatus(5, 0);
    fake.SetSlaveStatus(7, 72);

    ASSERT_EQ(master->Start(), 1);
    EXPECT_EQ(Since(1), (Calls{"VARDA_Init(101,0,0,mac=10,baud=1)", "VARDA_RemoveSlave(4294967295)",
                               "VARDA_AddSlave(5,flags=1,vendor=0)", "VARDA_AddSlave(7,flags=1,vendor=0)",
                               "VARDA_SaveCfg()", "VARDA_Online()", "VARDA_StartScan()"}));
    EXPECT_EQ(master->IsRunning(), 1);
    EXPECT_EQ(master->InitCount(), 1u);
    EXPECT_EQ(master->OnlineCount(), 1u);
    EXPECT_EQ(master->Card()->OpenCount(), 2u);

    CSlaveDev* online = master->GetChild(0);
    CSlaveDev* silent = master->GetChild(1);
    EXPECT_TRUE(WaitFor([&] { return online->IsRunning() == 1 && !silent->StatusText().empty(); }));
    EXPECT_EQ(silent->IsRunning(), 0);
    EXPECT_EQ(master->Start(), 1) << "starting a running master reports success";
    EXPECT_EQ(fake.Calls().size(), 8u) << "and sends nothing";

    std::size_t mark = fake.Calls().size();
    ASSERT_EQ(master->Stop(), 1);
    EXPECT_EQ(Since(mark), (Calls{"VARDA_StopScan()", "VARDA_Offline()", "VARDA_Uninit()"}));
    EXPECT_EQ(master->IsRunning(), 0);
    EXPECT_EQ(online->IsRunning(), 0) << "stopping marks every slave off line";
    EXPECT_FALSE(master->PollerRunning());
    uint64_t queries = fake.StatusQueries();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(fake.StatusQueries(), queries) << "no status query after the stop";
    EXPECT_EQ(master->Stop(), 1);

    mark = fake.Calls().size();
    network.DeleteNode(master);
    EXPECT_EQ(Since(mark), (Calls{"VARDA_Close(101,0)"})) << "the last card use closes the adapter";
    EXPECT_TRUE(network.IsEmpty());
    EXPECT_TRUE(reports.Take().empty());
}

TEST_F(MasterLifeCycle, StatusTextsFromThePoller) {
    CServerDev* master = MakeMaster(10, {5, 7});
    CSlaveDev* first = master->GetChild(0);
    first->UpdateStatus();
    EXPECT_EQ(first->StatusText(), "主站未启动");
    EXPECT_EQ(first->IsRunning(), 0);
    fake.SetSlaveStatus(5, 0);
    fake.SetSlaveStatus(7, 78);
    ASSERT_EQ(master->Start(), 1);
    EXPECT_TRUE(WaitFor([&] { return first->StatusText() == "从站在线"; }));
    EXPECT_TRUE(WaitFor([&] { return master->GetChild(1)->StatusText() == " 设备在扫描列表中，但没有应答 "; }));
    fake.SetSlaveStatus(5, 72);
    EXPECT_TRUE(WaitFor([&] { return first->StatusText() == " 设备停止通信 " && first->IsRunning() == 0; }));
    master->Stop();
}

TEST_F(MasterLifeCycle, FailedOpenLeavesTheCardClosedAndTheNetworkStopped) {
    fake.Fail("VARDA_Open", 44, 0xFFFFFFFF);
    CServerDev* master = MakeMaster(10, {5});
    EXPECT_EQ(reports.Take(), (Calls{ReportCapture::ApiError("VARDA_Open(类型=101,地址=0)--", 44)}));
    EXPECT_FALSE(master->Card()->IsOpened());
    EXPECT_EQ(master->Card()->OpenCount(), 0u);
    EXPECT_EQ(master->Start(), 0);
    EXPECT_EQ(master->IsRunning(), 0);
    EXPECT_EQ(reports.Take(), (Calls{ReportCapture::ApiError("VARDA_Open(类型=101,地址=0)--", 44)}));
    EXPECT_EQ(fake.Calls(), (Calls{"VARDA_Open(101,0,0)", "VARDA_Open(101,0,0)"}));
}

TEST_F(MasterLifeCycle, InitFailuresAreReportedAndGiveTheCardUseBack) {
    CServerDev* master = MakeMaster(3, {});
    fake.Fail("VARDA_Init", 45, 1);
    EXPECT_EQ(master->Start(), 0);
    EXPECT_EQ(reports.Take(), (Calls{ReportCapture::ApiError("VARDA_Init(类型=101,地址=0,通道索引=0)--", 45)}));
    EXPECT_EQ(master->Card()->OpenCount(), 1u);

    fake.SetInitHandle(0);  // success with a zero handle counts as failed, code 0
    EXPECT_EQ(master->AcquireInit(), 45u) << "reported with code 0, but never taken for success";
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(reports.Take(), (Calls{ReportCapture::ApiError("VARDA_Init(类型=101,地址=0,通道索引=0)--", 0)}));
    EXPECT_EQ(master->Start(), 0);
    EXPECT_EQ(master->IsRunning(), 0);
}

// An adapter unplugged and plugged in again leaves its open handle broken: an initialisation
// whose pipes failed (57, 62) reopens the card once and tries again; other failures, a time-out
// among them, do not.
TEST_F(MasterLifeCycle, InitOverABrokenLinkReopensTheCardOnce) {
    const std::string init = "VARDA_Init(101,0,0,mac=3,baud=1)";
    struct Case {
        uint32_t code;
        uint32_t failures;  // consecutive failing VARDA_Init calls
        int started;
        Calls calls;  // from the start's first VARDA_Init up to its first VARDA_RemoveSlave
        Calls reports;
    };
    const Case cases[] = {
        {57, 1, 1, {init, "VARDA_Close(101,0)", "VARDA_Open(101,0,0)", init}, {}},
        {62, 1, 1, {init, "VARDA_Close(101,0)", "VARDA_Open(101,0,0)", init}, {}},
        {57,
         2,
         0,
         {init, "VARDA_Close(101,0)", "VARDA_Open(101,0,0)", init},
         {ReportCapture::ApiError("VARDA_Init(类型=101,地址=0,通道索引=0)--", 57)}},
        {45, 1, 0, {init}, {ReportCapture::ApiError("VARDA_Init(类型=101,地址=0,通道索引=0)--", 45)}},
        {59, 1, 0, {init}, {ReportCapture::ApiError("VARDA_Init(类型=101,地址=0,通道索引=0)--", 59)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << ", " << c.failures << " failures");
        network.ClearNetwork();
        fake.Reset();
        CServerDev* master = MakeMaster(3, {});
        fake.Fail("VARDA_Init", c.code, c.failures);
        const std::size_t mark = fake.Calls().size();
        EXPECT_EQ(master->Start(), c.started);
        Calls calls = Since(mark);
        calls.erase(std::find_if(calls.begin(), calls.end(),
                                 [](const std::string& call) {
                                     return call.rfind("VARDA_Init", 0) != 0 && call.rfind("VARDA_Close", 0) != 0 &&
                                            call.rfind("VARDA_Open", 0) != 0;
                                 }),
                    calls.end());
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(reports.Take(), c.reports);
        EXPECT_EQ(master->Card()->OpenCount(), c.started == 1 ? 2u : 1u) << "the master's own use is kept";
        master->Stop();
    }
}

TEST_F(MasterLifeCycle, InitAndOnlineUseCounts) {
    CServerDev* master = MakeMaster(3, {});
    std::size_t mark = fake.Calls().size();
    master->ReleaseOnline();
    master->ReleaseInit();
    EXPECT_TRUE(Since(mark).empty()) << "releasing an unused count sends nothing";

    EXPECT_EQ(master->AcquireInit(), 0u);
    EXPECT_EQ(master->AcquireInit(), 0u);
    EXPECT_EQ(Since(mark), (Calls{"VARDA_Init(101,0,0,mac=3,baud=1)"}));
    EXPECT_EQ(master->InitCount(), 2u);
    master->AcquireOnline();
    master->AcquireOnline();
    EXPECT_EQ(Since(mark).size(), 3u) << "one Online + StartScan for two users";
    mark = fake.Calls().size();
    master->ReleaseOnline();
    EXPECT_TRUE(Since(mark).empty());
    master->ReleaseOnline();
    EXPECT_EQ(Since(mark), (Calls{"VARDA_StopScan()", "VARDA_Offline()"}));
    mark = fake.Calls().size();
    master->ReleaseInit();
    EXPECT_TRUE(Since(mark).empty()) << "one init use left, still initialised";
    EXPECT_NE(master->Handle(), 0u);
    master->ReleaseInit();
    EXPECT_EQ(Since(mark), (Calls{"VARDA_Uninit()"}));
    EXPECT_EQ(master->Handle(), 0u);
    EXPECT_EQ(master->Card()->OpenCount(), 1u) << "the master itself still holds the card";
}

TEST_F(MasterLifeCycle, ScanListFailuresAreReportedAndTheStartGoesOn) {
    CServerDev* master = MakeMaster(3, {5, 7, 9});
    fake.Fail("VARDA_RemoveSlave", 57, 1);
    fake.Fail("VARDA_AddSlave", 60, 2);
    EXPECT_EQ(master->Start(), 1);
    EXPECT_EQ(reports.Take(), (Calls{ReportCapture::ApiError("VARDA_RemoveSlave 删除所有从站失败", 57),
                                     ReportCapture::ApiError("VARDA_AddSlave 使从站5上线失败", 60),
                                     ReportCapture::ApiError("VARDA_AddSlave 使从站7上线失败", 60)}));
    master->Stop();
}

TEST_F(MasterLifeCycle, AutoAddRangeSkipsTheMasterAndConfiguredSlaves) {
    CServerDev* master = MakeMaster(10, {5, 20});
    std::size_t mark = fake.Calls().size();
    ASSERT_EQ(master->AutoAddRange(0, 63), 0u);
    Calls calls = Since(mark);
    ASSERT_EQ(calls.size(), 1u + 61u + 3u);
    EXPECT_EQ(calls.front(), "VARDA_Init(101,0,0,mac=10,baud=1)");
    std::vector<uint32_t> expected;
    for (uint32_t mac = 0; mac <= 63; ++mac) {
        if (mac == 5 || mac == 10 || mac == 20) continue;
        expected.push_back(mac);
        EXPECT_EQ(calls[expected.size()], "VARDA_AddSlave(" + std::to_string(mac) + ",flags=0,vendor=0)");
    }
    EXPECT_EQ(master->AutoAddedAddresses(), expected);
    EXPECT_EQ(Calls(calls.end() - 3, calls.end()), (Calls{"VARDA_SaveCfg()", "VARDA_Online()", "VARDA_StartScan()"}));

    mark = fake.Calls().size();
    master->RemoveAutoAdded();
    calls = Since(mark);
    ASSERT_EQ(calls.size(), 61u + 4u);
    EXPECT_EQ(calls[0], "VARDA_RemoveSlave(0)");
    EXPECT_EQ(calls[60], "VARDA_RemoveSlave(63)");
    EXPECT_EQ(Calls(calls.end() - 4, calls.end()),
              (Calls{"VARDA_SaveCfg()", "VARDA_StopScan()", "VARDA_Offline()", "VARDA_Uninit()"}));
    EXPECT_EQ(master->InitCount(), 0u);
}

TEST_F(MasterLifeCycle, AutoAddRangeFailedInitReturnsTheError) {
    CServerDev* master = MakeMaster(10, {});
    fake.Fail("VARDA_Init", 45, 1);
    EXPECT_EQ(master->AutoAddRange(60, 63), 45u);
    EXPECT_TRUE(master->AutoAddedAddresses().empty());
}

// Link path 20 0F 24 01 30 05: class 0x0F, instance 1, attribute 5.
const std::vector<uint8_t> kPath{0x20, 0x0F, 0x24, 0x01, 0x30, 0x05};

TEST_F(MasterLifeCycle, UploadRetriesWhileTheMasterIsOffline) {
    CServerDev* master = MakeMaster(10, {4});
    fake.SetAttribute(4, 0x0F, 1, 5, {0x34, 0x12});
    fake.Fail("VARDA_EMRequest", 66, 6);
    double value = 77;
    ParameterRef parameter{kPath, 199, 2, &value};
    std::size_t mark = fake.Calls().size();
    EXPECT_EQ(master->UploadParameter(4, parameter), 66u);
    Calls calls = Since(mark);
    std::vector<double> times = fake.CallTimes();
    times.erase(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(mark));
    std::vector<std::size_t> requests;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].rfind("VARDA_EMRequest", 0) == 0) requests.push_back(i);
    }
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(calls[requests[0]], "VARDA_EMRequest(4,svc=14,class=15,inst=1,len=1,timeout=3000,attr=5)");
    for (std::size_t i = 1; i < requests.size(); ++i) {
        double gap = times[requests[i]] - times[requests[i - 1]];
        EXPECT_GE(gap, 490.0) << "request " << i;
        EXPECT_LT(gap, 900.0) << "request " << i;
    }
    EXPECT_EQ(reports.Take(),
              (Calls{ReportCapture::ApiError("上传参数 VARDA_EMRequest(类ID=0xf,实例ID=1,属性ID=5)--\n", 66)}));
    EXPECT_EQ(value, 0) << "a failed upload sets the value to 0";
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(master->OnlineCount(), 0u);
}

TEST_F(MasterLifeCycle, UploadSucceedsAfterOfflineAnswers) {
    CServerDev* master = MakeMaster(10, {4});
    fake.SetAttribute(4, 0x0F, 1, 5, {0xFE, 0xFF});
    fake.Fail("VARDA_EMRequest", 66, 2);
    double value = 0;
    ParameterRef parameter{kPath, 195, 2, &value};
    EXPECT_EQ(master->UploadParameter(4, parameter), 0u);
    EXPECT_EQ(value, -2);
    EXPECT_TRUE(reports.Take().empty());
}

TEST_F(MasterLifeCycle, OtherUploadErrorsAreNotRetried) {
    CServerDev* master = MakeMaster(10, {4});
    fake.Fail("VARDA_EMRequest", 59, 1);
    double value = 5;
    ParameterRef parameter{kPath, 199, 2, &value};
    std::size_t mark = fake.Calls().size();
    EXPECT_EQ(master->UploadParameter(4, parameter), 59u);
    int requests = 0;
    for (const auto& call : Since(mark)) requests += call.rfind("VARDA_EMRequest", 0) == 0 ? 1 : 0;
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(value, 0);
}

TEST_F(MasterLifeCycle, DownloadSendsTheEncodedValue) {
    CServerDev* master = MakeMaster(10, {4});
    double value = -3;
    ParameterRef parameter{kPath, 196, 4, &value};
    std::size_t mark = fake.Calls().size();
    EXPECT_EQ(master->DownloadParameter(4, parameter), 0u);
    EXPECT_EQ(fake.GetAttribute(4, 0x0F, 1, 5), (std::vector<uint8_t>{0xFD, 0xFF, 0xFF, 0xFF}));
    Calls calls = Since(mark);
    EXPECT_EQ(calls, (Calls{"VARDA_Init(101,0,0,mac=10,baud=1)", "VARDA_Online()", "VARDA_StartScan()",
                            "VARDA_EMRequest(4,svc=16,class=15,inst=1,len=5,timeout=5000,attr=5)", "VARDA_StopScan()",
                            "VARDA_Offline()", "VARDA_Uninit()"}));
    fake.Fail("VARDA_EMRequest", 9, 1);
    EXPECT_EQ(master->DownloadParameter(4, parameter), 9u);
    EXPECT_EQ(reports.Take(),
              (Calls{ReportCapture::ApiError("下载参数 VARDA_EMRequest(类ID=0xf,实例ID=1,属性ID=5)--\n", 9)}));
}

TEST_F(MasterLifeCycle, AllParameterLoopsHonourTheStopFlags) {
    CServerDev* master = MakeMaster(10, {4});
    const std::vector<uint8_t> path2{0x20, 0x0F, 0x24, 0x02, 0x30, 0x01};
    fake.SetAttribute(4, 0x0F, 1, 5, {7});
    fake.SetAttribute(4, 0x0F, 2, 1, {9});
    double a = 0;
    double b = 0;
    std::vector<ParameterRef> parameters{{kPath, 198, 1, &a}, {path2, 198, 1, &b}};

    master->SetStopFlags(0, 1);
    std::size_t mark = fake.Calls().size();
    EXPECT_EQ(master->UploadAllParameters(4, parameters), 0u);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 9);
    Calls calls = Since(mark);
    EXPECT_EQ(calls[3], "VARDA_EMRequest(4,svc=14,class=15,inst=1,len=1,timeout=5000,attr=5)");
    EXPECT_EQ(calls[4], "VARDA_EMRequest(4,svc=14,class=15,inst=2,len=1,timeout=3000,attr=1)");

    mark = fake.Calls().size();
    EXPECT_EQ(master->DownloadAllParameters(4, parameters), 0u);
    for (const auto& call : Since(mark)) EXPECT_EQ(call.find("EMRequest"), std::string::npos) << call;

    master->SetStopFlags(1, 0);
    a = 11;
    b = 12;
    mark = fake.Calls().size();
    EXPECT_EQ(master->UploadAllParameters(4, parameters), 0u);
    EXPECT_EQ(a, 11);
    fake.Fail("VARDA_EMRequest", 9, 1);  // a failed download does not end the loop
    EXPECT_EQ(master->DownloadAllParameters(4, parameters), 0u);
    EXPECT_EQ(fake.GetAttribute(4, 0x0F, 2, 1), (std::vector<uint8_t>{12}));
    EXPECT_EQ(reports.Take().size(), 1u);
}

TEST_F(MasterLifeCycle, DeletingARunningMasterStopsItAndClosesTheCard) {
    CServerDev* master = MakeMaster(10, {5});
    ASSERT_EQ(master->Start(), 1);
    std::size_t mark = fake.Calls().size();
    network.ClearNetwork();
    EXPECT_EQ(Since(mark), (Calls{"VARDA_StopScan()", "VARDA_Offline()", "VARDA_Uninit()", "VARDA_Close(101,0)"}));
    EXPECT_EQ(fake.OpenDevices(), 0u);
    EXPECT_EQ(fake.InitHandles(), 0u);
}

}  // namespace
