// The network search against the master API scripted in-process: which addresses are probed,
// the identity requests, the EDS names given, stopping and the clean-up of the scan list.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <mutex>

#include "services/core_services.h"
#include "network/eds_identity_map.h"
#include "network/master_api_table.h"
#include "network/network_registry.h"
#include "network/network_search.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "recording_services.h"
#include "testing/scripted_master.h"
#include "testing/temp_dir.h"

namespace {

using Texts = std::vector<std::string>;

// Devices on the scripted bus: MAC ID -> identity attribute -> reply bytes.
struct FakeBus {
    std::mutex lock;
    std::map<uint32_t, std::map<uint8_t, std::vector<uint8_t>>> devices;
    testkit::ScriptedMaster* adapter = nullptr;
};
FakeBus g_bus;

uint32_t BusEMRequest(uint32_t handle, uint32_t mac, uint32_t service, uint32_t classId, uint32_t instanceId,
                      const uint8_t* request, uint32_t requestLength, uint8_t* reply, uint32_t* replyLength,
                      uint32_t timeoutMs) {
    const uint32_t attribute = requestLength >= 1 ? request[0] : 0;
    g_bus.adapter->Record(
        {"VARDA_EMRequest", {handle, mac, service, classId, instanceId, attribute, *replyLength, timeoutMs}});
    std::lock_guard guard(g_bus.lock);
    auto device = g_bus.devices.find(mac);
    if (device == g_bus.devices.end()) return VARDA_ERR_TIMEOUT;
    auto value = device->second.find(static_cast<uint8_t>(attribute));
    std::vector<uint8_t> bytes = value == device->second.end() ? std::vector<uint8_t>{0x94, 0x14, 0xFF} : value->second;
    const std::size_t n = std::min<std::size_t>(bytes.size(), *replyLength);
    std::copy_n(bytes.begin(), n, reply);
    *replyLength = static_cast<uint32_t>(n);
    return VARDA_OK;
}

VardaFunctions BusFunctions() {
    VardaFunctions table = testkit::ScriptedMaster::Functions();
    table.EMRequest = &BusEMRequest;
    return table;
}

std::vector<uint8_t> U16(uint32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }

EdsIdentity Id(int32_t vendor, int32_t type, int32_t code, int32_t major) { return {vendor, type, code, major}; }

TEST(EdsIdentityMap, MatchesVendorTypeAndCodeAndPrefersTheDevicesMajorRevision) {
    EdsIdentityMap map;
    map.Add(Id(0, 0, 0, 0), "Not Use EDS File");
    map.Add(Id(1250, 7, 101, 1), "dio_r1");
    map.Add(Id(1250, 7, 101, 3), "dio_r3");
    map.Add(Id(1250, 7, 101, 2), "dio_r2");
    map.Add(Id(1250, 6, 102, 2), "sensor");
    map.Add(Id(1250, 6, 102, 2), "sensor_newer");  // same identity: the later name wins
    map.Add(Id(77, 7, 101, 1), "other_vendor");
    EXPECT_EQ(map.Size(), 5u) << "the placeholder has no file and is not filed";

    struct Case {
        DeviceIdentity device;
        std::optional<std::string> name;
    };
    const std::
        vector<Case>
            cases{
                {{1250, 7, 101, 2 + 256 * 5}, "dio_r2"},  // major revision 2, minor 5
                {{1250, 7, 101, 1}, "dio_r1"},
                {{1250, 7, 101, 9}, "dio_r3"},  // no file of revision 9: the highest
                {{1250, 6, 102, 1}, "sensor_newer"},
                {{1250, 6, 101, 1}, std::nullopt},  // another product of the same vendor
                {{1250, 99, 101, 1}, std::nullopt},
                {{77, 7, 101, 1}, "other_vendor"},
                {{0, 0, 0, 0}, std::nullopt},
            };
    for (const Case& c : cases) {
        EXPECT_EQ(map.Match(c.device), c.name) << c.device.vendorId << "/" << c.device.deviceType << "/"
                                               << c.device.productCode << "/" << c.device.revision;
    }
}

TEST(EdsIdentityMap, BuiltFromTheFilesOfTheNames) {
    testkit::TempDir dir("identity");
    std::ofstream(dir.Path("a.eds"))
        << "[Device]\r\nVendCode = 1250; vendor\r\nProdType = 7;\r\nProdCode = 101;\r\nMajRev = 1;\r\n";
    std::ofstream(dir.Path("b.eds"))
        << "[Device]\r\nVendCode = 1250;\r\nProdType = 7;\r\nProdCode = 102;\r\nMajRev = 1;\r\n";
    EdsIdentityMap map = EdsIdentityMap::Build({"Not Use EDS File", "a", "b", "gone"},
                                               [&](const std::string& name) { return dir.Path(name + ".eds"); });
    EXPECT_EQ(map.Size(), 2u);
    EXPECT_EQ(map.Match({1250, 7, 102, 1}), "b") << "the product code tells the two products apart";
    EXPECT_EQ(map.Match({1250, 7, 101, 1}), "a");
}

class NetworkSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_bus.adapter = &adapter;
        std::lock_guard guard(g_bus.lock);
        g_bus.devices.clear();
    }
    void TearDown() override { g_bus.adapter = nullptr; }

    CServerDev* MakeMaster(uint32_t mac, std::vector<uint32_t> slaveMacs) {
        CServerDev* master = network.GetOrCreateMaster(101, 0, 0);
        master->SetConfig(MasterConfigBlock::Defaults(mac, 1));
        for (uint32_t slaveMac : slaveMacs) {
            auto slave = std::make_unique<CSlaveDev>();
            slave->MutableConfig() = SlaveConfigBlock::Fresh(slaveMac);
            master->AddChild(std::move(slave));
        }
        return master;
    }

    void AddDevice(uint32_t mac, uint32_t vendor, uint32_t type, uint32_t code, uint8_t major, uint8_t minor) {
        std::lock_guard guard(g_bus.lock);
        g_bus.devices[mac] = {{1, U16(vendor)}, {2, U16(type)}, {3, U16(code)}, {4, {major, minor}}};
    }

    // Runs a search to its end; records every callback as a line.
    SearchEnd Search(CServerDev* master, SearchOptions options, EdsIdentityMap map = {},
                     std::function<void(std::size_t)> onProbing = {}) {
        std::optional<SearchEnd> end;
        SearchCallbacks callbacks;
        callbacks.started = [&](std::size_t n) { events.push_back("started " + std::to_string(n)); };
        callbacks.probing = [&](std::size_t i, std::size_t n) {
            events.push_back("probing " + std::to_string(i) + "/" + std::to_string(n));
            if (onProbing) onProbing(i);
        };
        callbacks.found = [&](const SearchResult& r) {
            events.push_back("found " + std::to_string(r.macId) + " " + r.edsName);
        };
        callbacks.finished = [&](SearchEnd e) { end = e; };
        EXPECT_TRUE(search.Start(master, options, std::move(map), callbacks));
        EXPECT_TRUE(search.Wait(20000));
        EXPECT_FALSE(search.Running());
        return end.value_or(SearchEnd::OpenFailed);
    }

    Texts AddedAndRemoved() const {
        Texts texts;
        for (const testkit::MasterCall& call : adapter.Calls())
            if (call.function == "VARDA_AddSlave" || call.function == "VARDA_RemoveSlave") texts.push_back(call.Text());
        return texts;
    }

    testkit::ScriptedMaster adapter;
    VardaFunctions functions = BusFunctions();
    netsvc::ScopedMasterApi api{functions};
    RecordingServices services;
    netsvc::ScopedServices installed{services};
    NetworkRegistry network;
    NetworkSearch search;
    Texts events;
};

TEST_F(NetworkSearchTest, FindsThePresentDevicesAndNamesThemByIdentity) {
    CServerDev* master = MakeMaster(0, {1, 3});
    AddDevice(2, 1250, 7, 101, 1, 2);
    AddDevice(5, 1250, 7, 102, 1, 0);  // same vendor and type, product unknown to the map
    AddDevice(63, 1250, 6, 102, 2, 1);
    EdsIdentityMap map;
    map.Add(Id(1250, 7, 101, 1), "dio");
    map.Add(Id(1250, 6, 102, 2), "sensor");
    SearchOptions options;
    options.timeoutMs = 1500;
    options.defaultEdsName = "generic";

    EXPECT_EQ(Search(master, options, map), SearchEnd::Completed);
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events[0], "started 61") << "every address but the master's and the configured slaves'";
    EXPECT_EQ(events[1], "probing 0/61");
    Texts found;
    for (const std::string& e : events)
        if (e.rfind("found", 0) == 0) found.push_back(e);
    EXPECT_EQ(found, (Texts{"found 2 dio", "found 5 generic", "found 63 sensor"}));

    std::vector<SearchResult> results = search.Results();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].identity, (DeviceIdentity{1250, 7, 101, 1 + 256 * 2}));

    // Vendor ID first, and the other three attributes only of a present device.
    Texts requests = adapter.CallTexts("VARDA_EMRequest");
    EXPECT_EQ(requests.size(), 61u + 3 * 3);
    EXPECT_EQ(requests[0], "VARDA_EMRequest(1,2,14,1,1,1,4,1500)");
    EXPECT_EQ(requests[1], "VARDA_EMRequest(1,2,14,1,1,2,4,1500)");
    EXPECT_EQ(requests[3], "VARDA_EMRequest(1,2,14,1,1,4,4,1500)");
    EXPECT_EQ(requests[4], "VARDA_EMRequest(1,4,14,1,1,1,4,1500)");

    // Bare entries for the 61 free addresses, all removed again; the adapter is given back.
    Texts changes = AddedAndRemoved();
    ASSERT_EQ(changes.size(), 122u);
    EXPECT_EQ(changes.front(), "VARDA_AddSlave(1,2)");
    EXPECT_EQ(changes[61], "VARDA_RemoveSlave(1,2)");
    EXPECT_EQ(changes.back(), "VARDA_RemoveSlave(1,63)");
    EXPECT_EQ(master->InitCount(), 0u);
    EXPECT_EQ(master->OnlineCount(), 0u);
    EXPECT_EQ(adapter.LiveHandles(), 0u);
    EXPECT_TRUE(services.Take().empty());
}

TEST_F(NetworkSearchTest, StartAddressLimitsTheProbedAddresses) {
    struct Case {
        uint32_t masterMac;
        std::vector<uint32_t> slaves;
        uint32_t start;
        std::vector<uint32_t> added;
    };
    const std::vector<Case> cases{
        {0, {}, 63, {63}},
        {63, {}, 63, {}},
        {10, {63}, 63, {}},
        {10, {61}, 60, {60, 62, 63}},
    };
    for (const Case& c : cases) {
        network.ClearNetwork();
        adapter.SetScript({});
        events.clear();
        std::size_t before = adapter.Calls().size();
        CServerDev* master = MakeMaster(c.masterMac, c.slaves);
        SearchOptions options;
        options.startAddress = c.start;
        EXPECT_EQ(Search(master, options), SearchEnd::Completed);
        std::vector<uint32_t> added;
        std::vector<testkit::MasterCall> calls = adapter.Calls();
        for (std::size_t i = before; i < calls.size(); ++i)
            if (calls[i].function == "VARDA_AddSlave") added.push_back(calls[i].args.at(1));
        EXPECT_EQ(added, c.added) << "start " << c.start << ", master " << c.masterMac;
        EXPECT_EQ(events.front(), "started " + std::to_string(c.added.size()));
    }
}

TEST_F(NetworkSearchTest, NothingToProbeFinishesWithoutThePause) {
    std::vector<uint32_t> all;
    for (uint32_t mac = 1; mac <= 63; ++mac) all.push_back(mac);
    CServerDev* master = MakeMaster(0, all);
    SearchOptions options;
    options.pauseMs = 600000;  // would hang the test if waited for
    EXPECT_EQ(Search(master, options), SearchEnd::Completed);
    EXPECT_EQ(events, (Texts{"started 0"}));
    EXPECT_EQ(adapter.CountOf("VARDA_EMRequest"), 0u);
    EXPECT_EQ(adapter.CountOf("VARDA_SaveCfg"), 2u) << "the scan list is saved after adding and after removing";
    EXPECT_EQ(adapter.LiveHandles(), 0u);
}

TEST_F(NetworkSearchTest, StopEndsBeforeTheNextAddressAndStillRemovesTheBareEntries) {
    CServerDev* master = MakeMaster(0, {});
    AddDevice(1, 1250, 7, 101, 1, 0);
    AddDevice(2, 1250, 7, 101, 1, 0);
    AddDevice(3, 1250, 7, 101, 1, 0);
    EXPECT_EQ(Search(master, {}, {},
                     [&](std::size_t i) {
                         if (i == 1) search.RequestStop();
                     }),
              SearchEnd::Stopped);
    EXPECT_EQ(events, (Texts{"started 63", "probing 0/63", "found 1 ", "probing 1/63", "found 2 "}));
    EXPECT_EQ(adapter.CountOf("VARDA_EMRequest"), 8u);
    EXPECT_EQ(adapter.CountOf("VARDA_RemoveSlave"), 63u);
    EXPECT_EQ(adapter.CallTexts("VARDA_RemoveSlave").back(), "VARDA_RemoveSlave(1,63)");
    EXPECT_EQ(adapter.LiveHandles(), 0u);
    EXPECT_EQ(adapter.OpenAdapters(), 1u) << "only the master's own use of its card is left";
}

TEST_F(NetworkSearchTest, AMasterThatCannotBeInitialisedProbesNothing) {
    CServerDev* master = MakeMaster(0, {});
    adapter.Fail("VARDA_Init", VARDA_ERR_TIMEOUT);
    EXPECT_EQ(Search(master, {}), SearchEnd::OpenFailed);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(adapter.CountOf("VARDA_AddSlave"), 0u);
    EXPECT_EQ(adapter.CountOf("VARDA_EMRequest"), 0u);
    EXPECT_EQ(services.Take(), (Texts{"api 59: VARDA_Init(类型=101,地址=0,通道索引=0)--"}));
    // A new search can start after a failed one.
    EXPECT_EQ(Search(master, {}), SearchEnd::Completed);
}

TEST_F(NetworkSearchTest, PauseWaitsUntilTheProbedAddressesReportAStatus) {
    CServerDev* master = MakeMaster(0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::vector<uint32_t> free;
    for (uint32_t mac = 11; mac <= 63; ++mac) free.push_back(mac);
    for (uint32_t mac : free) adapter.SetSlaveStatus(mac, VARDA_SLAVE_NOT_INITIALISED);
    SearchOptions options;
    options.pauseMs = 600000;
    SearchCallbacks callbacks;
    std::atomic<int> probed{0};
    callbacks.probing = [&](std::size_t, std::size_t) { ++probed; };
    ASSERT_TRUE(search.Start(master, options, {}, callbacks));
    EXPECT_FALSE(search.Wait(300)) << "no address has been reached yet";
    EXPECT_EQ(probed.load(), 0);
    for (uint32_t mac : free) adapter.SetSlaveStatus(mac, mac == 40 ? VARDA_SLAVE_ONLINE : VARDA_SLAVE_NO_ANSWER);
    EXPECT_TRUE(search.Wait(20000)) << "the pause ends once every address reports";
    EXPECT_EQ(probed.load(), 53);
}

TEST_F(NetworkSearchTest, StopDuringThePauseProbesNothing) {
    CServerDev* master = MakeMaster(0, {});
    for (uint32_t mac = 1; mac <= 63; ++mac) adapter.SetSlaveStatus(mac, VARDA_SLAVE_CAN_BUS_OFF);
    SearchOptions options;
    options.pauseMs = 600000;
    ASSERT_TRUE(search.Start(master, options, {}, {}));
    EXPECT_FALSE(search.Start(master, options, {}, {})) << "one search at a time";
    EXPECT_FALSE(search.ClearResults());
    search.RequestStop();
    EXPECT_TRUE(search.Wait(20000));
    EXPECT_EQ(adapter.CountOf("VARDA_EMRequest"), 0u);
    EXPECT_EQ(adapter.CountOf("VARDA_RemoveSlave"), 63u);
}

TEST_F(NetworkSearchTest, ShortRepliesAndErrorRepliesGiveCleanValues) {
    CServerDev* master = MakeMaster(0, {});
    {
        std::lock_guard guard(g_bus.lock);
        // Vendor ID in four bytes, device type in one, no product code (error reply).
        g_bus.devices[9] = {{1, {0xE2, 0x04, 0xAA, 0xBB}}, {2, {0x07}}, {4, {3, 1}}};
    }
    SearchOptions options;
    options.startAddress = 9;
    options.defaultEdsName = "generic";
    EXPECT_EQ(Search(master, options), SearchEnd::Completed);
    std::vector<SearchResult> results = search.Results();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].identity, (DeviceIdentity{0xBBAA04E2u, 7, 0, 3 + 256}));
    EXPECT_EQ(results[0].edsName, "generic");
    EXPECT_TRUE(search.ClearResults());
    EXPECT_TRUE(search.Results().empty());
}

}  // namespace
