// Adapters on one shared bus, each driven by its own thread: a master scanning on one, a node
// fetching records on the other, a third attached and detached meanwhile (its duplicate MAC ID
// check answered by the node), and a slave of the master unplugged and plugged in.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/bus_hub.h"
#include "adapter_emu/firmware.h"
#include "adapter_emu/packet.h"
#include "emu_client.h"
#include "test_bus.h"

using namespace adapter_emu;

namespace {

TEST(SharedBusConcurrency, MasterAndNodeRunSideBySide) {
    auto clock = std::make_shared<SteadyClock>();
    auto hub = std::make_shared<BusHub>();
    const BusDescription bus = ParseBusText(emu_test::kTestBus, "test.xml");
    FirmwareOptions o;
    o.fast = true;
    o.sharedBus = hub;
    Firmware master(bus, clock, o);
    Firmware node(bus, clock, o);
    auto result = [](Firmware& fw, uint8_t code, std::vector<uint8_t> payload = {}) {
        return emu_test::AdapterClient::ResultOf(code, fw.Execute(code, payload));
    };
    std::vector<uint8_t> start(128, 0);
    start[116] = 62;
    ASSERT_EQ(result(node, cmd::kDcDntStartDrv, start), 0u);
    ASSERT_EQ(result(node, cmd::kDcDntOnline), 0u);
    ASSERT_EQ(result(master, cmd::kDcReset), 0u);
    ASSERT_EQ(result(master, cmd::kOpen), 0u);
    ASSERT_EQ(result(master, cmd::kInit, emu_test::InitPayload(0, 1)), 0u);
    emu_test::SlaveEntry poll;
    poll.mac = 1;
    poll.flags = 1;
    poll.pollIn = 4;
    poll.pollOut = 2;
    ASSERT_EQ(result(master, cmd::kAddSlave, emu_test::AddSlavePayload(poll)), 0u);
    ASSERT_EQ(result(master, cmd::kOnline, {1}), 0u);
    ASSERT_EQ(result(master, cmd::kStartScan, {1}), 0u);

    std::atomic<bool> running{true};
    std::thread scanning([&] {
        while (running.load()) {
            (void)master.Execute(cmd::kGetNodeStatus, std::vector<uint8_t>{1, 1});
            (void)master.Execute(cmd::kEMRequest, emu_test::EmPayload(1, 0x0E, 1, 1, {1}, 1000));
        }
    });
    std::thread visitor([&] {
        while (running.load()) {
            Firmware other(bus, clock, o);  // attaches and detaches while frames go out
            (void)other.Execute(cmd::kDcDntStartDrv, start);
            (void)other.Execute(cmd::kDcDntOnline, {});
        }
    });
    std::thread plugging([&] {
        // A slave unplugged and plugged in again: its duplicate MAC ID check goes out meanwhile.
        while (running.load()) {
            (void)master.SetSlaveAbsent(3, true);
            (void)master.SetSlaveAbsent(3, false);
        }
    });
    std::size_t records = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < until) {
        auto ack = node.Execute(cmd::kDcDntRecv, {});
        ASSERT_EQ(emu_test::AdapterClient::ResultOf(cmd::kDcDntRecv, ack), 0u);
        records += emu_test::AdapterClient::Payload(ack).size() / 19;
    }
    running.store(false);
    scanning.join();
    visitor.join();
    plugging.join();
    EXPECT_GT(records, 10u);
}

}  // namespace
