// The dispatcher from several threads: first loads of a type, calls held inside a device
// library, and many channels at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/registry_file.h"
#include "recorder.h"
#include "test_support.h"
#include "testing/master_records.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;
using vardatest::InstallDevice;
using vardatest::NewDeviceType;

const VARDA_INIT_PARAM kParam = testkit::InitParam(1);
constexpr auto kPatience = 10s;

// Releases every gate when a test ends, also a failing one, so that no thread stays stuck.
struct GateGuard {
    ~GateGuard() { devrec::ReleaseAllGates(); }
};

// Runs `body` on its own thread and reports whether it finished in time.
template <typename Body>
bool FinishesInTime(std::future<void>& done, Body body) {
    done = std::async(std::launch::async, body);
    return done.wait_for(kPatience) == std::future_status::ready;
}

TEST(VardaConcurrency, TwoFirstOpensOfOneTypeLoadTheLibraryOnce) {
    const uint32_t type = NewDeviceType();
    const std::string first = InstallDevice("complete", type);
    // A second copy, which the registry names as soon as the first copy starts loading. Only a
    // second registry read, that is a second load, could reach it.
    const std::string second = vardatest::TestDir() + "/second-" + std::to_string(type) + ".so";
    std::filesystem::copy_file(vardatest::VariantPath("complete"), second);

    std::promise<void> loading;
    std::future<uint32_t> other;
    devrec::SetLoadHook([&](const std::string& library) {
        if (library != first) return;
        platform::RegWriteString(vardatest::RegistryPath(), vardatest::SubKey(type), "DLL", second);
        other = std::async(std::launch::async, [&] { return VARDA_Open(type, 1, 0); });
        // Give the other thread time to reach the dispatcher while the load is under way.
        std::this_thread::sleep_for(200ms);
    });
    const uint32_t result = VARDA_Open(type, 0, 0);
    devrec::SetLoadHook(nullptr);
    ASSERT_TRUE(other.valid());
    EXPECT_EQ(result, VARDA_OK);
    EXPECT_EQ(other.get(), VARDA_OK);
    EXPECT_EQ(devrec::LoadCount(first), 1);
    EXPECT_EQ(devrec::LoadCount(second), 0);
    EXPECT_EQ(devrec::Calls(first).size(), 2u);
}

TEST(VardaConcurrency, ManyThreadsOpeningANewTypeAllSucceedOnOneLibrary) {
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("complete", type);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    std::vector<uint32_t> results(6, 0xDEAD);
    for (uint32_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&, i] {
            while (!go) std::this_thread::yield();
            results[i] = VARDA_Open(type, i, 0);
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    for (uint32_t r : results) EXPECT_EQ(r, VARDA_OK);
    EXPECT_EQ(devrec::LoadCount(library), 1);
    EXPECT_EQ(devrec::Calls(library).size(), results.size());
}

TEST(VardaConcurrency, ACallHeldInADeviceDoesNotHoldUpOtherDevices) {
    GateGuard guard;
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("gated", type);
    ASSERT_EQ(VARDA_Open(type, 0, 0), VARDA_OK);
    ASSERT_EQ(VARDA_Open(type, 1, 0), VARDA_OK);
    uint32_t held = 0;
    uint32_t free = 0;
    ASSERT_EQ(VARDA_Init(type, 0, 0, &kParam, &held), VARDA_OK);
    ASSERT_EQ(VARDA_Init(type, 1, 0, &kParam, &free), VARDA_OK);

    devrec::ArmGate(library, "VARDA_EMRequest", 0);
    uint8_t response[8];
    uint32_t responseLength = sizeof response;
    auto blocked = std::async(std::launch::async, [&] {
        return VARDA_EMRequest(held, 1, 0x0E, 1, 1, response, 1, response, &responseLength, 30000);
    });
    ASSERT_TRUE(devrec::Entered(library, "VARDA_EMRequest", 0, kPatience));

    std::future<void> others;
    const bool finished = FinishesInTime(others, [&] {
        EXPECT_EQ(VARDA_Online(free), VARDA_OK);
        EXPECT_EQ(VARDA_GetSlaveStatus(free, 3), VARDA_OK);
        // Table work of every kind goes on, also for a new device and a new type.
        EXPECT_EQ(VARDA_Open(type, 2, 0), VARDA_OK);
        uint32_t h = 0;
        EXPECT_EQ(VARDA_Init(type, 2, 0, &kParam, &h), VARDA_OK);
        EXPECT_EQ(VARDA_Uninit(h), VARDA_OK);
        EXPECT_EQ(VARDA_Close(type, 2), VARDA_OK);
        const uint32_t otherType = NewDeviceType();
        InstallDevice("complete", otherType);
        EXPECT_EQ(VARDA_Open(otherType, 0, 0), VARDA_OK);
        // Even the held call's own device can be closed meanwhile; its handle is then gone.
        EXPECT_EQ(VARDA_Close(type, 0), VARDA_OK);
        EXPECT_EQ(VARDA_Online(held), VARDA_ERR_INVALID_HANDLE);
    });
    EXPECT_TRUE(finished) << "calls for other devices waited for the held call";
    EXPECT_EQ(blocked.wait_for(0s), std::future_status::timeout);

    devrec::ReleaseGate(library, "VARDA_EMRequest", 0);
    // The device library answers the held call for a channel closed under it.
    EXPECT_EQ(blocked.get(), VARDA_ERR_INVALID_HANDLE);
    if (others.valid()) others.get();
}

TEST(VardaConcurrency, AHeldOpenDoesNotHoldUpOtherDevices) {
    GateGuard guard;
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("gated", type);
    ASSERT_EQ(VARDA_Open(type, 1, 0), VARDA_OK);
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(type, 1, 0, &kParam, &handle), VARDA_OK);

    devrec::ArmGate(library, "VARDA_Open", 0);
    auto opening = std::async(std::launch::async, [&] { return VARDA_Open(type, 0, 0); });
    ASSERT_TRUE(devrec::Entered(library, "VARDA_Open", 0, kPatience));
    std::future<void> others;
    const bool finished = FinishesInTime(others, [&] {
        EXPECT_EQ(VARDA_StartScan(handle), VARDA_OK);
        VARDA_BOARD_INFO info{};
        EXPECT_EQ(VARDA_ReadBoardInfo(type, 1, &info), VARDA_OK);
        // The device being opened is not open yet.
        EXPECT_EQ(VARDA_ReadBoardInfo(type, 0, &info), VARDA_ERR_NOT_OPEN);
    });
    EXPECT_TRUE(finished) << "calls for other devices waited for the held open";
    devrec::ReleaseGate(library, "VARDA_Open", 0);
    EXPECT_EQ(opening.get(), VARDA_OK);
    if (others.valid()) others.get();
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(type, 0, &info), VARDA_OK);
}

TEST(VardaConcurrency, ChannelsOfManyDevicesWorkSideBySide) {
    const uint32_t type = NewDeviceType();
    const std::string library = InstallDevice("complete", type);
    constexpr uint32_t kThreads = 4;
    constexpr int kRounds = 150;
    std::mutex seenMutex;
    std::set<uint32_t> live;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (uint32_t index = 0; index < kThreads; ++index) {
        threads.emplace_back([&, index] {
            if (VARDA_Open(type, index, 0) != VARDA_OK) ++failures;
            for (int round = 0; round < kRounds; ++round) {
                uint32_t h = 0;
                if (VARDA_Init(type, index, 0, &kParam, &h) != VARDA_OK) {
                    ++failures;
                    continue;
                }
                {
                    std::lock_guard lock(seenMutex);
                    // A handle is never handed out twice while it is live.
                    if (!live.insert(h).second) ++failures;
                }
                if (VARDA_Online(h) != VARDA_OK) ++failures;
                if (VARDA_GetSlaveStatus(h, 1) != VARDA_OK) ++failures;
                {
                    std::lock_guard lock(seenMutex);
                    live.erase(h);
                }
                if (VARDA_Uninit(h) != VARDA_OK) ++failures;
                if (VARDA_Offline(h) != VARDA_ERR_INVALID_HANDLE) ++failures;
            }
            if (VARDA_Close(type, index) != VARDA_OK) ++failures;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
