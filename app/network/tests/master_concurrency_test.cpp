// Several users of one master at once: the running network, a search-like worker and two
// editor-like workers. No use is lost and the adapter ends as it started.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "fake_master_control.h"
#include "network/master_card.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "report_capture.h"

namespace {

constexpr uint32_t kType = 101;

TEST(MasterConcurrency, UsersShareOneMasterWithoutLosingUses) {
    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    fake.Reset();
    ReportCapture reports;
    NetworkRegistry network;
    CServerDev* master = network.GetOrCreateMaster(kType, 0, 0);
    master->SetConfig(MasterConfigBlock::Defaults(0, 0));
    for (uint32_t mac : {3u, 4u, 5u}) {
        auto slave = std::make_unique<CSlaveDev>();
        slave->MutableConfig() = SlaveConfigBlock::Fresh(mac);
        master->AddChild(std::move(slave));
        fake.SetSlaveStatus(mac, mac == 4 ? 72 : 0);
        fake.SetAttribute(mac, 0x0F, 1, 1, {static_cast<uint8_t>(mac)});
    }
    ASSERT_EQ(master->Start(), 1);

    const std::vector<uint8_t> path{0x20, 0x0F, 0x24, 0x01, 0x30, 0x01};
    constexpr int kRounds = 40;
    std::atomic<int> failures{0};

    std::thread search([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (master->AutoAddRange(60, 63) != 0) ++failures;
            master->RemoveAutoAdded();
        }
    });
    auto editor = [&](uint32_t mac) {
        for (int i = 0; i < kRounds; ++i) {
            double value = -1;
            ParameterRef parameter{path, 198, 1, &value};
            if (master->Attach() != 0) ++failures;
            if (master->UploadOne(mac, parameter, 3000) != 0 || value != mac) ++failures;
            master->SetStopFlags(0, 1);
            std::vector<ParameterRef> all{parameter};
            master->UploadAllParameters(mac, all);
            master->Detach();
        }
    };
    std::thread editorA(editor, 3u);
    std::thread editorB(editor, 5u);
    int reads = 0;
    while (reads < 2000) {
        for (int i = 0; i < master->GetChildCount(); ++i) {
            std::string text = master->GetChild(i)->StatusText();
            EXPECT_TRUE(text.empty() || text == "从站在线" || text == " 设备停止通信 ") << text;
        }
        ++reads;
    }
    search.join();
    editorA.join();
    editorB.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(master->InitCount(), 1u) << "only the running network's use is left";
    EXPECT_EQ(master->OnlineCount(), 1u);
    EXPECT_EQ(fake.InitHandles(), 1u);
    EXPECT_EQ(master->Stop(), 1);
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(master->OnlineCount(), 0u);
    EXPECT_EQ(fake.InitHandles(), 0u);
    EXPECT_EQ(master->Card()->OpenCount(), 1u);
    int online = 0;
    int offline = 0;
    for (const auto& call : fake.Calls()) {
        online += call == "VARDA_Online()" ? 1 : 0;
        offline += call == "VARDA_Offline()" ? 1 : 0;
    }
    EXPECT_EQ(online, offline) << "every Online has its Offline";
    network.ClearNetwork();
    EXPECT_EQ(fake.OpenDevices(), 0u);
    EXPECT_TRUE(reports.Take().empty());
}

}  // namespace
