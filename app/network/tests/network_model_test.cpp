// The network tree model: registry, cards, masters, slaves, data items and the data table.
#include <gtest/gtest.h>

#include "fake_master_control.h"
#include "network/master_card.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network_builder.h"
#include "report_capture.h"

namespace {

constexpr uint32_t kType = 101;

using test_network::MakePollSlave;

class NetworkModel : public ::testing::Test {
protected:
    void SetUp() override { fake.Reset(); }
    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    NetworkRegistry network;
};

TEST_F(NetworkModel, CardsAreOrderedByTypeThenIndex) {
    network.GetOrCreateMaster(kType, 3, 0);
    network.GetOrCreateMaster(7, 9, 1);
    network.GetOrCreateMaster(kType, 1, 1);
    network.GetOrCreateMaster(kType, 1, 0);
    std::vector<std::pair<uint32_t, uint32_t>> keys;
    for (const auto& [key, card] : network.Cards()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::pair<uint32_t, uint32_t>>{{7, 9}, {kType, 1}, {kType, 3}}));
    std::vector<uint32_t> channels;
    for (CServerDev* master : network.Masters()) channels.push_back(master->Channel());
    EXPECT_EQ(channels, (std::vector<uint32_t>{1, 0, 1, 0}));
    EXPECT_EQ(network.GetOrCreateMaster(kType, 1, 0), network.FindMaster(kType, 1, 0)) << "found, not created again";
    EXPECT_EQ(network.FindMaster(kType, 2, 0), nullptr);
}

TEST_F(NetworkModel, CardLeavesTheRegistryWithItsLastMaster) {
    CServerDev* a = network.GetOrCreateMaster(kType, 0, 0);
    CServerDev* b = network.GetOrCreateMaster(kType, 0, 1);
    MasterCard* card = network.FindCard(kType, 0);
    EXPECT_EQ(card->OpenCount(), 2u) << "each new master opens its card once";
    EXPECT_EQ(fake.Calls(), (std::vector<std::string>{"VARDA_Open(101,0,0)"}));
    EXPECT_EQ(network.DeleteNode(a), 1);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), nullptr);
    ASSERT_NE(network.FindCard(kType, 0), nullptr);
    EXPECT_EQ(card->OpenCount(), 1u);
    EXPECT_EQ(network.DeleteNode(b), 1);
    EXPECT_EQ(network.FindCard(kType, 0), nullptr);
    EXPECT_EQ(network.FindMaster(kType, 0, 1), nullptr);
    EXPECT_TRUE(network.IsEmpty());
    EXPECT_EQ(fake.Calls().back(), "VARDA_Close(101,0)");
    EXPECT_EQ(network.DeleteNode(nullptr), 0);
}

TEST_F(NetworkModel, MovingAMasterToAnotherCardKeyMovesTheWholeCard) {
    CServerDev* a = network.GetOrCreateMaster(kType, 0, 0);
    CServerDev* b = network.GetOrCreateMaster(kType, 0, 1);
    a->AddChild(MakePollSlave(4, 1, 1));
    EXPECT_EQ(network.MoveMaster(kType, 2, 0, a), 1);
    EXPECT_EQ(network.FindCard(kType, 0), nullptr);
    EXPECT_EQ(network.FindMaster(kType, 2, 0), a);
    EXPECT_EQ(network.FindMaster(kType, 2, 1), b) << "the other channel moved with the card";
    EXPECT_EQ(a->GetChildCount(), 1);
    EXPECT_EQ(a->Card()->DeviceIndex(), 2u);
    auto calls = fake.Calls();
    EXPECT_EQ(std::vector<std::string>(calls.end() - 2, calls.end()),
              (std::vector<std::string>{"VARDA_Close(101,0)", "VARDA_Open(101,2,0)"}))
        << "the opened adapter follows the card";
    EXPECT_EQ(a->Card()->OpenCount(), 2u);
}

TEST_F(NetworkModel, MovingOntoAnOccupiedChannelNeverLosesTheOtherMaster) {
    CServerDev* a = network.GetOrCreateMaster(kType, 0, 0);
    CServerDev* b = network.GetOrCreateMaster(kType, 0, 1);
    EXPECT_EQ(network.MoveMaster(kType, 0, 1, a), 0);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), a);
    EXPECT_EQ(network.FindMaster(kType, 0, 1), b);
    EXPECT_EQ(a->Channel(), 0u);

    CServerDev* c = network.GetOrCreateMaster(kType, 5, 1);
    EXPECT_EQ(network.MoveMaster(kType, 5, 1, a), 0) << "another card's channel is taken too";
    EXPECT_EQ(network.FindMaster(kType, 5, 1), c);

    EXPECT_EQ(network.MoveMaster(kType, 0, 3, a), 1);
    EXPECT_EQ(network.FindMaster(kType, 0, 3), a);
    EXPECT_EQ(a->Channel(), 3u);
    EXPECT_EQ(network.FindMaster(kType, 0, 0), nullptr);

    // Into a card that exists already: only this master moves.
    EXPECT_EQ(network.MoveMaster(kType, 5, 0, a), 1);
    EXPECT_EQ(network.FindMaster(kType, 5, 0), a);
    EXPECT_EQ(network.FindMaster(kType, 0, 1), b);
    EXPECT_EQ(a->Card(), network.FindCard(kType, 5));
    EXPECT_EQ(network.FindCard(kType, 0)->OpenCount(), 1u);
    EXPECT_EQ(network.FindCard(kType, 5)->OpenCount(), 2u);
    network.DeleteNode(b);
    EXPECT_EQ(network.FindCard(kType, 0), nullptr);
}

TEST_F(NetworkModel, MasterChildrenAndNames) {
    CServerDev* master = network.GetOrCreateMaster(kType, 1, 0);
    master->SetConfig(MasterConfigBlock::Defaults(7, 99));
    EXPECT_EQ(master->GetChildCount(), 0);
    EXPECT_EQ(master->GetChild(0), nullptr);
    EXPECT_EQ(master->GetChild(-1), nullptr);
    EXPECT_EQ(master->IsMaster(), 1);
    EXPECT_EQ(master->GetAddress(), 7);
    std::string name;
    master->GetName(name);
    EXPECT_EQ(name, ReportCapture::DeviceTypeName(kType) + "(1-0-125K)-7") << "an unknown baud index reads 125K";

    master->AddChild(MakePollSlave(4, 2, 2));
    master->AddChild(MakePollSlave(9, 2, 2));
    CSlaveDev* slave = master->GetChild(1);
    EXPECT_EQ(slave->GetParent(), master);
    EXPECT_EQ(master->FindSlave(9), slave);
    EXPECT_EQ(master->FindSlave(5), nullptr);
    slave->MutableConfig().name = "Drive";
    slave->GetName(name);
    EXPECT_EQ(name, "Drive(9)");
    EXPECT_EQ(network.DeleteNode(slave), 1);
    EXPECT_EQ(master->GetChildCount(), 1);
    EXPECT_EQ(master->GetChild(0)->GetAddress(), 4);
    master->RemoveAllChildren();
    EXPECT_EQ(master->GetChildCount(), 0);

    CDeviceBase base;
    base.GetName(name);
    EXPECT_EQ(name, "devname");
    EXPECT_EQ(base.GetAddress(), -1);
    EXPECT_EQ(base.GetItemType(0), 12);
    EXPECT_EQ(base.GetGroupCount(), 1);
}

TEST_F(NetworkModel, SlaveWithoutGroupsHasOnlyTheStatusGroup) {
    CSlaveDev slave;
    EXPECT_EQ(slave.GetGroupCount(), 1);
    EXPECT_EQ(slave.GetItemCount(0), 1);
    EXPECT_EQ(slave.GetItemType(0), 4);
    std::string name = "x";
    std::string description = "y";
    slave.GetItemName(0, 0, name, description);
    EXPECT_EQ(name, "SlaveStatus");
    EXPECT_EQ(description, "");
    const uint8_t data[] = {1};
    EXPECT_EQ(slave.SetItemValue(0, 0, 0, data), 0);
    EXPECT_EQ(slave.SetItemValue(3, 0, 0, data), 0) << "no such group";
    ASSERT_NE(slave.GetDataCells(), nullptr);
    EXPECT_EQ(slave.GetDataCells()->size(), 1u);
    slave.UpdateStatus();
    EXPECT_EQ(slave.StatusText(), "主站未启动");
}

TEST_F(NetworkModel, StatusQueryWithoutARunningMasterLeavesTheOnlineFlag) {
    CServerDev* master = network.GetOrCreateMaster(kType, 0, 0);
    master->AddChild(MakePollSlave(4, 1, 1));
    CSlaveDev* slave = master->GetChild(0);
    slave->Start();
    EXPECT_EQ(slave->UpdateStatus(), 0);
    EXPECT_EQ(slave->StatusText(), "主站未启动");
    EXPECT_EQ(slave->IsRunning(), 1);
    std::size_t calls = fake.Calls().size();
    EXPECT_EQ(fake.StatusQueries(), 0u);
    EXPECT_EQ(fake.Calls().size(), calls);
}

TEST_F(NetworkModel, ItemValuesReachTheDataTable) {
    auto slave = MakePollSlave(4, 3, 2);
    EXPECT_EQ(slave->GetGroupCount(), 3);
    EXPECT_EQ(slave->GetItemCount(1), 1);
    EXPECT_EQ(slave->IsInputGroup(1), 1);
    EXPECT_EQ(slave->IsInputGroup(2), 0);
    EXPECT_EQ(slave->GetItemSize(2), 2);
    EXPECT_EQ(slave->GetItemType(1), 10);
    const uint8_t out[] = {'O', 'K', 'x'};
    EXPECT_EQ(slave->SetItemValue(2, 0, 0, out), 1);
    EXPECT_EQ(slave->GroupChangedFlag(0), 1u);
    slave->Start();
    slave->RefreshDataCells();
    DataTable& table = *slave->GetDataCells();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0][0].typeCode, 4);
    EXPECT_EQ(std::get<uint8_t>(table[0][0].value), 1);
    EXPECT_NE(table[0][0].time.year, 0);
    EXPECT_EQ(std::get<std::string>(table[2][0].value), "OK");
    EXPECT_NE(table[2][0].time.year, 0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(table[1][0].value)) << "unchanged items are not taken";
    EXPECT_FALSE(slave->Config().groups[1][0]->Changed()) << "the table took the value";

    // Typed items: a 16-bit signed value.
    SlaveConfigBlock block = slave->Config();
    block.groups[0][0]->SetValueType(ioitem::kInt16);
    block.groups[0][0]->SetSize(2);
    block.groups[0][0]->SetChangedGroupIndex(3);
    slave->MutableConfig() = block;
    slave->RebuildDataTable();
    const uint8_t minusTwo[] = {0xFE, 0xFF};
    slave->SetItemValue(1, 0, 0, minusTwo);
    EXPECT_EQ(slave->GroupChangedFlag(3), 1u);
    slave->Stop();
    slave->RefreshDataCells();
    EXPECT_EQ(std::get<uint8_t>(table[0][0].value), 0);
    EXPECT_EQ(table[1][0].typeCode, 1);
    EXPECT_EQ(std::get<int16_t>(table[1][0].value), -2);
}

TEST_F(NetworkModel, SlaveCopies) {
    CServerDev* master = network.GetOrCreateMaster(kType, 0, 0);
    master->AddChild(MakePollSlave(4, 3, 2));
    CSlaveDev* first = master->GetChild(0);
    const uint8_t out[] = {1, 2};
    first->SetItemValue(2, 0, 0, out);
    first->Start();
    first->SetPanelRebuild(0);
    auto copy = std::make_unique<CSlaveDev>(*first);
    EXPECT_EQ(copy->GetParent(), master);
    EXPECT_EQ(copy->IsRunning(), 1);
    EXPECT_EQ(copy->GroupChangedFlag(0), 1u);
    EXPECT_EQ(copy->PanelRebuild(), 1);
    EXPECT_NE(copy->GetDataCells(), first->GetDataCells());
    EXPECT_EQ(copy->GetDataCells()->size(), 3u);
    copy->SetAddress(5);
    EXPECT_EQ(copy->GetAddress(), 5);
    EXPECT_EQ(first->GetAddress(), 4);
    copy->MutableConfig().groups[0][0]->SetName("own");
    EXPECT_EQ(first->Config().groups[0][0]->Name(), "Poll_Input");
}

}  // namespace
