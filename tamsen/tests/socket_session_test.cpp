// The library over the emulator socket driver, against the minimal socket adapter.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "device_table.h"
#include "driver/driver.h"
#include "fake_driver/driver_override.h"
#include "socket_adapter.h"
#include "varda_api.h"

namespace tamsen::testing {
namespace {

using Bytes = std::vector<uint8_t>;

class SocketSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        // Socket paths must stay short.
        dir_ = std::filesystem::path("/tmp") / ("tsk" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(dir_);
        ::setenv("TAMSEN_DEVICE_DIR", dir_.c_str(), 1);
        logPath_ = (dir_ / "debug.log").string();
        ::setenv("VARDA_DEBUG_OUTPUT", logPath_.c_str(), 1);
        driver::SetDriverOverride(nullptr);
    }

    void TearDown() override {
        {
            DeviceTables& tables = DeviceTables::Instance();
            std::lock_guard<std::mutex> guard(tables.Lock());
            tables.DestroyAll();
        }
        adapters_.clear();
        ::unsetenv("TAMSEN_DEVICE_DIR");
        ::unsetenv("VARDA_DEBUG_OUTPUT");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    SocketAdapter& AddAdapter(const std::string& name, std::set<int> missing = {},
                              SocketAdapter::Firmware firmware = SocketAdapter::DefaultFirmware) {
        adapters_.push_back(std::make_unique<SocketAdapter>((dir_ / name).string(), firmware, missing));
        return *adapters_.back();
    }

    std::string Log() const {
        std::ifstream in(logPath_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The adapter notices closed connections on its own thread.
    static bool WaitForConnections(const SocketAdapter& adapter, int count) {
        for (int i = 0; i < 200 && adapter.OpenConnections() != count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return adapter.OpenConnections() == count;
    }

    std::filesystem::path dir_;
    std::string logPath_;
    std::vector<std::unique_ptr<SocketAdapter>> adapters_;
};

VARDA_INIT_PARAM InitParam() {
    VARDA_INIT_PARAM p{};
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    return p;
}

TEST_F(SocketSessionTest, WholeMasterSession) {
    SocketAdapter& adapter = AddAdapter("a0");
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u) << Log();
    EXPECT_EQ(adapter.OpenConnections(), 8);
    VARDA_INIT_PARAM p = InitParam();
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(VARDA_RemoveSlave(handle, VARDA_ALL_SLAVES), 0u);
    VARDA_SLAVE_CONFIG slave{};
    slave.MacId = 5;
    slave.ConnectionFlags = 1;
    slave.PollInputSize = 4;
    slave.PollOutputSize = 4;
    EXPECT_EQ(VARDA_AddSlave(handle, &slave), 0u);
    EXPECT_EQ(VARDA_SaveCfg(handle), 0u);
    EXPECT_EQ(VARDA_Online(handle), 0u);
    EXPECT_EQ(VARDA_StartScan(handle), 0u);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 5), 0u);

    uint8_t input[255] = {};
    uint32_t length = 4;
    ASSERT_EQ(VARDA_ReadSlaveIO(handle, 5, 1, input, &length, 0), 0u);
    EXPECT_EQ(Bytes(input, input + length), (Bytes{0, 1, 2, 3}));
    // 200 bytes: the acknowledge is longer than 64 bytes and comes on the extension pipe.
    length = 200;
    ASSERT_EQ(VARDA_ReadSlaveIO(handle, 5, 2, input, &length, 0), 0u);
    EXPECT_EQ(length, 200u);
    EXPECT_EQ(input[199], 199);

    Bytes output(255);
    std::iota(output.begin(), output.end(), 0);
    EXPECT_EQ(VARDA_WriteSlaveIO(handle, 5, 1, output.data(), 255, 0), 0u);

    Bytes request(100);
    std::iota(request.begin(), request.end(), 100);
    uint8_t response[128] = {};
    uint32_t responseLength = sizeof response;
    ASSERT_EQ(VARDA_EMRequest(handle, 5, 0x10, 1, 1, request.data(), 100, response, &responseLength, 1000), 0u);
    EXPECT_EQ(Bytes(response, response + responseLength), request);

    VARDA_BOARD_INFO info;
    EXPECT_EQ(VARDA_ReadBoardInfo(101, 0, &info), 0u);
    EXPECT_STREQ(info.SerialNumber, "0");

    EXPECT_EQ(VARDA_StopScan(handle), 0u);
    EXPECT_EQ(VARDA_Offline(handle), 0u);
    const int before = adapter.Commands();
    EXPECT_EQ(VARDA_Uninit(handle), 0u);
    EXPECT_EQ(adapter.Commands() - before, 65);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_TRUE(WaitForConnections(adapter, 0));
}

TEST_F(SocketSessionTest, DeviceIndexFollowsTheSortedFolderNames) {
    SocketAdapter& b = AddAdapter("b");
    SocketAdapter& a = AddAdapter("a");
    ASSERT_EQ(VARDA_Open(101, 1, 0), 0u);
    EXPECT_EQ(b.OpenConnections(), 8);
    EXPECT_EQ(a.OpenConnections(), 0);
    EXPECT_EQ(VARDA_Open(101, 2, 0), VARDA_ERR_NO_DEVICE);
    EXPECT_EQ(VARDA_Close(101, 1), 0u);
}

TEST_F(SocketSessionTest, MissingPipeFileGives57AndLeavesNothingOpen) {
    SocketAdapter& adapter = AddAdapter("a0", {9});
    EXPECT_EQ(VARDA_Open(101, 0, 0), VARDA_ERR_INTERNAL);
    EXPECT_NE(Log().find("One or more pipes can't be opened"), std::string::npos) << Log();
    EXPECT_TRUE(WaitForConnections(adapter, 0));
    EXPECT_EQ(VARDA_Close(101, 0), VARDA_ERR_NOT_OPEN);
}

TEST_F(SocketSessionTest, PipeAlreadyInUseCannotBeOpened) {
    SocketAdapter& adapter = AddAdapter("a0");
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    // Another user of the same pipes gets nothing through.
    {
        auto drv = driver::ActiveDriver();
        auto pipe = drv->OpenPipe((dir_ / "a0" / "PIPE01").string());
        if (pipe) {
            const uint8_t data[64] = {0x7E};
            EXPECT_FALSE(pipe->Write(data));
        }
    }
    EXPECT_EQ(adapter.OpenConnections(), 8);
    VARDA_INIT_PARAM p = InitParam();
    uint32_t handle = 0;
    EXPECT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
}

TEST_F(SocketSessionTest, AdapterThatDisappearsGives57UntilClosedAndReopened) {
    SocketAdapter& adapter = AddAdapter("a0");
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    VARDA_INIT_PARAM p = InitParam();
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    adapter.Unplug();
    uint8_t buffer[8];
    uint32_t length = 8;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(VARDA_Online(handle), VARDA_ERR_INTERNAL);
        EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);
        length = 8;
        EXPECT_EQ(VARDA_ReadSlaveIO(handle, 1, 1, buffer, &length, 0), VARDA_ERR_INTERNAL);
        EXPECT_EQ(length, 0u);
    }
    EXPECT_EQ(VARDA_Uninit(handle), 0u);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_EQ(VARDA_Open(101, 0, 0), VARDA_ERR_INTERNAL);  // the folder is there, its sockets are dead

    adapters_.clear();
    SocketAdapter& again = AddAdapter("a0");
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), 0u);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
    EXPECT_TRUE(WaitForConnections(again, 0));
}

TEST_F(SocketSessionTest, AdapterThatAnswersGarbageGives57) {
    AddAdapter("a0", {}, [](const Bytes& command) -> Bytes {
        if (command[1] == 0x50 || command[1] == 0x40 || command[1] == 0x42 || command[1] == 0x4B) {
            return SocketAdapter::Ack(command[1], {});
        }
        Bytes junk(40, 0xEE);
        junk[1] = command[1];
        return junk;  // a length field of 0xEEEEEEEE
    });
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    VARDA_INIT_PARAM p = InitParam();
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);
    uint8_t response[600];
    uint32_t responseLength = sizeof response;
    uint8_t request[1] = {1};
    EXPECT_EQ(VARDA_EMRequest(handle, 1, 0x0E, 1, 1, request, 1, response, &responseLength, 1000), VARDA_ERR_INTERNAL);
    EXPECT_EQ(responseLength, 0u);
    EXPECT_EQ(VARDA_Close(101, 0), 0u);
}

}  // namespace
}  // namespace tamsen::testing
