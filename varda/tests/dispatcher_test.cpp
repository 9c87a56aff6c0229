// Forwarding, the dispatcher's own answers (42, 43, 46, 47, 48, 54) and its handles, driven
// through the exported functions against the test device libraries.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "recorder.h"
#include "test_support.h"
#include "testing/master_records.h"
#include "varda_api.h"

namespace {

using vardatest::InstallDevice;
using vardatest::NewDeviceType;

uint64_t P(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// The device library's own handle for a channel (complete variant).
uint32_t DeviceHandle(uint32_t deviceIndex, uint32_t channelIndex) {
    return 0x5A000000u | (deviceIndex << 8) | channelIndex;
}

std::vector<std::string> Functions(const std::string& library) {
    std::vector<std::string> names;
    for (const auto& call : devrec::Calls(library)) names.push_back(call.function);
    return names;
}

const VARDA_INIT_PARAM kParam = testkit::InitParam(1);

// A registered device type with the variant installed, device 0 open.
struct Device {
    uint32_t type = NewDeviceType();
    std::string library;
    explicit Device(const std::string& variant = "complete") : library(InstallDevice(variant, type)) {}

    uint32_t Init(uint32_t index, uint32_t channel) {
        uint32_t handle = 0;
        EXPECT_EQ(VARDA_Init(type, index, channel, &kParam, &handle), VARDA_OK);
        return handle;
    }
};

// Every handle function, called with `handle` and fixed other arguments.
struct HandleCall {
    const char* function;
    std::function<uint32_t(uint32_t)> call;
};

std::vector<HandleCall> EveryHandleFunction() {
    static VARDA_SLAVE_CONFIG slave{};
    static uint8_t buffer[8];
    static uint32_t length = sizeof buffer;
    return {
        {"VARDA_Uninit", [](uint32_t h) { return VARDA_Uninit(h); }},
        {"VARDA_Online", [](uint32_t h) { return VARDA_Online(h); }},
        {"VARDA_Offline", [](uint32_t h) { return VARDA_Offline(h); }},
        {"VARDA_StartScan", [](uint32_t h) { return VARDA_StartScan(h); }},
        {"VARDA_StopScan", [](uint32_t h) { return VARDA_StopScan(h); }},
        {"VARDA_SaveCfg", [](uint32_t h) { return VARDA_SaveCfg(h); }},
        {"VARDA_AddSlave", [](uint32_t h) { return VARDA_AddSlave(h, &slave); }},
        {"VARDA_RemoveSlave", [](uint32_t h) { return VARDA_RemoveSlave(h, 5); }},
        {"VARDA_EMRequest",
         [](uint32_t h) { return VARDA_EMRequest(h, 5, 0x0E, 1, 1, buffer, 1, buffer, &length, 1000); }},
        {"VARDA_ReadSlaveIO", [](uint32_t h) { return VARDA_ReadSlaveIO(h, 5, 1, buffer, &length, 0); }},
        {"VARDA_WriteSlaveIO", [](uint32_t h) { return VARDA_WriteSlaveIO(h, 5, 1, buffer, 4, 0); }},
        {"VARDA_GetSlaveStatus", [](uint32_t h) { return VARDA_GetSlaveStatus(h, 5); }},
    };
}

TEST(VardaForwarding, HandleFunctionsReachTheDeviceWithItsOwnHandleAndArgumentsUnchanged) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 3, 0), VARDA_OK);
    const uint32_t handle = dev.Init(3, 1);
    ASSERT_NE(handle, DeviceHandle(3, 1));

    VARDA_SLAVE_CONFIG slave{};
    uint8_t request[4] = {1, 2, 3, 4};
    uint8_t response[16] = {};
    uint32_t responseLength = sizeof response;
    uint8_t io[8] = {};
    uint32_t ioLength = sizeof io;
    const uint64_t dh = DeviceHandle(3, 1);

    struct Case {
        const char* function;
        std::function<uint32_t()> call;
        std::vector<uint64_t> expectedArgs;
    };
    const std::vector<Case> cases = {
        {"VARDA_Online", [&] { return VARDA_Online(handle); }, {dh}},
        {"VARDA_Offline", [&] { return VARDA_Offline(handle); }, {dh}},
        {"VARDA_StartScan", [&] { return VARDA_StartScan(handle); }, {dh}},
        {"VARDA_StopScan", [&] { return VARDA_StopScan(handle); }, {dh}},
        {"VARDA_SaveCfg", [&] { return VARDA_SaveCfg(handle); }, {dh}},
        {"VARDA_AddSlave", [&] { return VARDA_AddSlave(handle, &slave); }, {dh, P(&slave)}},
        {"VARDA_RemoveSlave", [&] { return VARDA_RemoveSlave(handle, 0xFFFFFFFF); }, {dh, 0xFFFFFFFF}},
        {"VARDA_EMRequest",
         [&] { return VARDA_EMRequest(handle, 9, 0x10, 0x0F, 7, request, 3, response, &responseLength, 2500); },
         {dh, 9, 0x10, 0x0F, 7, P(request), 3, P(response), P(&responseLength), 2500}},
        {"VARDA_ReadSlaveIO",
         [&] { return VARDA_ReadSlaveIO(handle, 12, 3, io, &ioLength, 30000); },
         {dh, 12, 3, P(io), P(&ioLength), 30000}},
        {"VARDA_WriteSlaveIO",
         [&] { return VARDA_WriteSlaveIO(handle, 63, 2, io, 255, 17); },
         {dh, 63, 2, P(io), 255, 17}},
        {"VARDA_GetSlaveStatus", [&] { return VARDA_GetSlaveStatus(handle, 33); }, {dh, 33}},
    };
    uint32_t imposed = 60;
    for (const auto& c : cases) {
        // First the device library's natural answer, then one it is told to give: both come
        // back unchanged.
        const std::size_t before = devrec::Calls(dev.library).size();
        EXPECT_EQ(c.call(), VARDA_OK) << c.function;
        devrec::SetResult(dev.library, c.function, imposed);
        EXPECT_EQ(c.call(), imposed) << c.function;
        const auto calls = devrec::Calls(dev.library);
        ASSERT_EQ(calls.size(), before + 2) << c.function;
        for (std::size_t i = before; i < calls.size(); ++i) {
            EXPECT_EQ(calls[i].function, c.function);
            EXPECT_EQ(calls[i].args, c.expectedArgs) << c.function;
        }
        ++imposed;
    }
    // The device library wrote through the caller's pointers.
    EXPECT_EQ(responseLength, 2u);
    EXPECT_EQ(response[0], 0x10);
    EXPECT_EQ(response[1], 9);
    EXPECT_EQ(ioLength, 1u);
    EXPECT_EQ(io[0], 15);
    devrec::ClearResults(dev.library);
}

TEST(VardaForwarding, DeviceFunctionsPassArgumentsAndResultsThrough) {
    Device dev;
    // An error of the device library's Open comes back as it is and the device stays closed.
    devrec::SetResult(dev.library, "VARDA_Open", VARDA_ERR_NO_DEVICE);
    EXPECT_EQ(VARDA_Open(dev.type, 2, 0), VARDA_ERR_NO_DEVICE);
    devrec::ClearResults(dev.library);
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 2, &info), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Close(dev.type, 2), VARDA_ERR_NOT_OPEN);

    EXPECT_EQ(VARDA_Open(dev.type, 2, 0), VARDA_OK);
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 2, &info), VARDA_OK);
    EXPECT_STREQ(info.SerialNumber, "4242");
    EXPECT_EQ(info.Identification[0], 2);
    // A null pointer is the device library's to judge.
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 2, nullptr), VARDA_ERR_INVALID_PARAM);
    devrec::SetResult(dev.library, "VARDA_ReadBoardInfo", 57);
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 2, &info), 57u);
    devrec::ClearResults(dev.library);
    EXPECT_EQ(VARDA_Close(dev.type, 2), VARDA_OK);

    const auto calls = devrec::Calls(dev.library);
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].function, "VARDA_Open");
    EXPECT_EQ(calls[0].args, (std::vector<uint64_t>{dev.type, 2, 0}));
    EXPECT_EQ(calls[2].function, "VARDA_ReadBoardInfo");
    EXPECT_EQ(calls[2].args, (std::vector<uint64_t>{dev.type, 2, P(&info)}));
    EXPECT_EQ(calls[3].args, (std::vector<uint64_t>{dev.type, 2, 0}));
    EXPECT_EQ(calls[5].function, "VARDA_Close");
    EXPECT_EQ(calls[5].args, (std::vector<uint64_t>{dev.type, 2}));
}

TEST(VardaForwarding, InitPassesTheCallersParameterPointer) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(dev.type, 0, 4, &kParam, &handle), VARDA_OK);
    const auto calls = devrec::Calls(dev.library);
    ASSERT_EQ(calls.back().function, "VARDA_Init");
    ASSERT_EQ(calls.back().args.size(), 5u);
    EXPECT_EQ(calls.back().args[0], dev.type);
    EXPECT_EQ(calls.back().args[2], 4u);
    EXPECT_EQ(calls.back().args[3], P(&kParam));
    // The device library writes its handle into varda's local, not the caller's variable.
    EXPECT_NE(calls.back().args[4], P(&handle));
    EXPECT_NE(handle, DeviceHandle(0, 4));
    EXPECT_NE(handle, 0u);
    EXPECT_NE(handle, VARDA_INVALID_HANDLE);
}

TEST(VardaAnswers, InvalidHandlesGive48WithoutReachingAnyDevice) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    const uint32_t live = dev.Init(0, 0);
    for (uint32_t bad : {0u, 0xFFFFFFFFu, live + 1000u, DeviceHandle(0, 0)}) {
        for (const auto& f : EveryHandleFunction()) {
            EXPECT_EQ(f.call(bad), VARDA_ERR_INVALID_HANDLE) << f.function << " with " << bad;
        }
    }
    EXPECT_EQ(Functions(dev.library), (std::vector<std::string>{"VARDA_Open", "VARDA_Init"}));
}

TEST(VardaAnswers, DeviceNotOpenGives46WithoutLoadingOrReachingTheLibrary) {
    vardatest::ClearLog();
    // No registry key at all for this type: nothing is loaded, nothing logged.
    const uint32_t unknown = NewDeviceType();
    uint32_t handle = 0;
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(unknown, 0, &info), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Close(unknown, 0), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Init(unknown, 0, 0, &kParam, &handle), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
    EXPECT_TRUE(vardatest::LogLines().empty());

    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    handle = 0;
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 1, &info), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Close(dev.type, 1), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(VARDA_Init(dev.type, 1, 0, &kParam, &handle), VARDA_ERR_NOT_OPEN);
    EXPECT_EQ(handle, VARDA_INVALID_HANDLE);
    EXPECT_EQ(Functions(dev.library), (std::vector<std::string>{"VARDA_Open"}));
}

TEST(VardaAnswers, SecondOpenGives43AndLeavesTheDeviceAlone) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    const uint32_t handle = dev.Init(0, 0);
    EXPECT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_EQ(VARDA_Online(handle), VARDA_OK);
    EXPECT_EQ(Functions(dev.library), (std::vector<std::string>{"VARDA_Open", "VARDA_Init", "VARDA_Online"}));
}

TEST(VardaAnswers, SecondInitOfAChannelGives54WithoutReachingTheDevice) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    const uint32_t first = dev.Init(0, 0);
    uint32_t second = 0;
    EXPECT_EQ(VARDA_Init(dev.type, 0, 0, &kParam, &second), VARDA_ERR_CHANNEL_OPEN);
    EXPECT_EQ(second, VARDA_INVALID_HANDLE);
    EXPECT_EQ(Functions(dev.library), (std::vector<std::string>{"VARDA_Open", "VARDA_Init"}));
    // Another channel of the same device is free; so is the first one once ended.
    const uint32_t other = dev.Init(0, 1);
    EXPECT_NE(other, first);
    EXPECT_EQ(VARDA_Uninit(first), VARDA_OK);
    EXPECT_EQ(VARDA_Init(dev.type, 0, 0, &kParam, &second), VARDA_OK);
    EXPECT_NE(second, VARDA_INVALID_HANDLE);
}

TEST(VardaAnswers, InitWithoutHandlePointerGives47) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    EXPECT_EQ(VARDA_Init(dev.type, 0, 0, &kParam, nullptr), VARDA_ERR_INVALID_PARAM);
    // Even for a device that is not open: the pointer is checked first.
    EXPECT_EQ(VARDA_Init(dev.type, 9, 0, &kParam, nullptr), VARDA_ERR_INVALID_PARAM);
    EXPECT_EQ(Functions(dev.library), (std::vector<std::string>{"VARDA_Open"}));
}

TEST(VardaAnswers, FailedOrUnusableInitLeavesNoHandle) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    struct Case {
        const char* name;
        std::optional<uint32_t> imposedResult;
        std::optional<uint32_t> deviceHandle;
        uint32_t expected;
    };
    const Case cases[] = {
        {"device error", VARDA_ERR_INVALID_PARAM, std::nullopt, VARDA_ERR_INVALID_PARAM},
        {"handle 0", std::nullopt, 0u, VARDA_OK},
        {"handle 0xFFFFFFFF", std::nullopt, 0xFFFFFFFFu, VARDA_OK},
    };
    for (const auto& c : cases) {
        if (c.imposedResult) devrec::SetResult(dev.library, "VARDA_Init", *c.imposedResult);
        devrec::SetInitHandle(dev.library, c.deviceHandle);
        uint32_t handle = 123;
        EXPECT_EQ(VARDA_Init(dev.type, 0, 0, &kParam, &handle), c.expected) << c.name;
        EXPECT_EQ(handle, VARDA_INVALID_HANDLE) << c.name;
        devrec::ClearResults(dev.library);
        devrec::SetInitHandle(dev.library, std::nullopt);
    }
    // No channel was recorded: the next Init reaches the device library and succeeds.
    const std::size_t before = devrec::Calls(dev.library).size();
    const uint32_t handle = dev.Init(0, 0);
    EXPECT_NE(handle, VARDA_INVALID_HANDLE);
    EXPECT_EQ(devrec::Calls(dev.library).size(), before + 1);
}

TEST(VardaHandles, AfterCloseEveryEarlierHandleGives48) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    ASSERT_EQ(VARDA_Open(dev.type, 1, 0), VARDA_OK);
    const uint32_t a = dev.Init(0, 0);
    const uint32_t b = dev.Init(0, 1);
    const uint32_t other = dev.Init(1, 0);
    // Closing reports the device library's error but forgets the device all the same.
    devrec::SetResult(dev.library, "VARDA_Close", VARDA_ERR_CLOSE_FAILED);
    EXPECT_EQ(VARDA_Close(dev.type, 0), VARDA_ERR_CLOSE_FAILED);
    devrec::ClearResults(dev.library);
    const std::size_t before = devrec::Calls(dev.library).size();
    for (uint32_t handle : {a, b}) {
        for (const auto& f : EveryHandleFunction()) {
            EXPECT_EQ(f.call(handle), VARDA_ERR_INVALID_HANDLE) << f.function;
        }
    }
    EXPECT_EQ(devrec::Calls(dev.library).size(), before);
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(dev.type, 0, &info), VARDA_ERR_NOT_OPEN);
    // The device library was never told to end those channels.
    for (const auto& name : Functions(dev.library)) EXPECT_NE(name, "VARDA_Uninit");
    // The other device keeps its handle.
    EXPECT_EQ(VARDA_Online(other), VARDA_OK);
}

TEST(VardaHandles, UninitFreesTheHandleWhateverTheDeviceAnswers) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    const uint32_t handle = dev.Init(0, 0);
    devrec::SetResult(dev.library, "VARDA_Uninit", VARDA_ERR_TIMEOUT);
    EXPECT_EQ(VARDA_Uninit(handle), VARDA_ERR_TIMEOUT);
    devrec::ClearResults(dev.library);
    EXPECT_EQ(devrec::Calls(dev.library).back().args, (std::vector<uint64_t>{DeviceHandle(0, 0)}));
    for (const auto& f : EveryHandleFunction()) {
        EXPECT_EQ(f.call(handle), VARDA_ERR_INVALID_HANDLE) << f.function;
    }
}

TEST(VardaHandles, EqualDeviceHandlesGiveDistinctHandles) {
    Device dev("samehandle");
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    ASSERT_EQ(VARDA_Open(dev.type, 1, 0), VARDA_OK);
    const uint32_t a = dev.Init(0, 0);
    const uint32_t b = dev.Init(1, 0);
    EXPECT_NE(a, b);
    for (uint32_t h : {a, b}) {
        EXPECT_NE(h, 0u);
        EXPECT_NE(h, VARDA_INVALID_HANDLE);
    }
    // Closing one device ends only its own handle.
    EXPECT_EQ(VARDA_Close(dev.type, 0), VARDA_OK);
    EXPECT_EQ(VARDA_Online(a), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(VARDA_Online(b), VARDA_OK);
    EXPECT_EQ(devrec::Calls(dev.library).back().args, (std::vector<uint64_t>{0x5A0000F0u}));
}

TEST(VardaHandles, ManyLiveHandlesAreDistinctAndValid) {
    Device dev;
    std::set<uint32_t> seen;
    for (uint32_t index = 0; index < 8; ++index) {
        ASSERT_EQ(VARDA_Open(dev.type, index, 0), VARDA_OK);
        for (uint32_t channel = 0; channel < 32; ++channel) {
            const uint32_t h = dev.Init(index, channel);
            EXPECT_NE(h, 0u);
            EXPECT_NE(h, VARDA_INVALID_HANDLE);
            EXPECT_TRUE(seen.insert(h).second) << h;
        }
    }
    // Each handle reaches its own channel.
    std::size_t checked = 0;
    for (uint32_t h : seen) {
        ASSERT_EQ(VARDA_GetSlaveStatus(h, 1), VARDA_OK);
        const uint64_t reached = devrec::Calls(dev.library).back().args[0];
        EXPECT_EQ(reached & 0xFF000000u, 0x5A000000u);
        ++checked;
    }
    EXPECT_EQ(checked, 256u);
    for (uint32_t index = 0; index < 8; ++index) EXPECT_EQ(VARDA_Close(dev.type, index), VARDA_OK);
}

TEST(VardaLibraries, MissingExportsGive42) {
    Device noInfo("noboardinfo");
    EXPECT_EQ(VARDA_Open(noInfo.type, 0, 0), VARDA_OK);
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(VARDA_ReadBoardInfo(noInfo.type, 0, &info), VARDA_ERR_NO_FUNCTION);
    const uint32_t handle = noInfo.Init(0, 0);
    EXPECT_EQ(VARDA_Online(handle), VARDA_OK);
    EXPECT_EQ(VARDA_Close(noInfo.type, 0), VARDA_OK);

    vardatest::ClearLog();
    Device noOpen("noopen");
    EXPECT_EQ(VARDA_Open(noOpen.type, 0, 0), VARDA_ERR_NO_FUNCTION);
    // Not open, so the rest is refused by the dispatcher itself.
    EXPECT_EQ(VARDA_Close(noOpen.type, 0), VARDA_ERR_NOT_OPEN);
    EXPECT_TRUE(devrec::Calls(noOpen.library).empty());
    EXPECT_TRUE(vardatest::LogLines().empty());
}

TEST(VardaLibraries, ALoadedLibraryStaysLoadedAfterItsDevicesClose) {
    Device dev;
    ASSERT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    ASSERT_EQ(VARDA_Close(dev.type, 0), VARDA_OK);
    // The key goes away; the library loaded before still serves the type.
    vardatest::WriteRegistry("Windows Registry Editor Version 5.00\n");
    EXPECT_EQ(VARDA_Open(dev.type, 0, 0), VARDA_OK);
    EXPECT_EQ(devrec::LoadCount(dev.library), 1);
    EXPECT_EQ(VARDA_Close(dev.type, 0), VARDA_OK);
}

}  // namespace
