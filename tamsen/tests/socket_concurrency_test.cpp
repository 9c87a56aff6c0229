// Threads over the socket driver: two adapters at once, and several threads on one adapter.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "device_table.h"
#include "driver/driver.h"
#include "fake_driver/driver_override.h"
#include "socket_adapter.h"
#include "varda_api.h"

namespace tamsen::testing {
namespace {

TEST(SocketConcurrencyTest, ThreadsOnTwoAdaptersAndOnOneAdapter) {
    const auto dir = std::filesystem::path("/tmp") / ("tsc" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("TAMSEN_DEVICE_DIR", dir.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    driver::SetDriverOverride(nullptr);
    // Each adapter answers a status request with the MAC ID asked for.
    auto firmware = [](const std::vector<uint8_t>& command) {
        if (command[1] == 0x4F) return SocketAdapter::Ack(0x4F, {command[8]});
        return SocketAdapter::DefaultFirmware(command);
    };
    {
        SocketAdapter a((dir / "a").string(), firmware);
        SocketAdapter b((dir / "b").string(), firmware);
        uint32_t handles[2] = {};
        VARDA_INIT_PARAM p{};
        p.ScanDelay = 10;
        p.IntervalScanCycle = 1;
        p.ExpectedPacketRate = 75;
        p.RetryCount = 1;
        for (uint32_t i = 0; i < 2; ++i) {
            ASSERT_EQ(VARDA_Open(101, i, 0), 0u);
            ASSERT_EQ(VARDA_Init(101, i, 0, &p, &handles[i]), 0u);
        }
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&, t] {
                const uint32_t handle = handles[t % 2];
                const uint32_t mac = static_cast<uint32_t>(10 + t);
                for (int i = 0; i < 100; ++i) {
                    if (VARDA_GetSlaveStatus(handle, mac) != mac) ++wrong;
                }
            });
        }
        for (auto& t : threads) t.join();
        EXPECT_EQ(wrong.load(), 0);
        EXPECT_EQ(a.Commands(), 2 + 1 + 200);
        EXPECT_EQ(b.Commands(), 2 + 1 + 200);
        EXPECT_EQ(VARDA_Close(101, 0), 0u);
        EXPECT_EQ(VARDA_Close(101, 1), 0u);
    }
    ::unsetenv("TAMSEN_DEVICE_DIR");
    ::unsetenv("VARDA_DEBUG_OUTPUT");
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
}  // namespace tamsen::testing
