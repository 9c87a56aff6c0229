// End to end: the master API through libvarda.so (or libtamsen.so alone while the dispatcher is
// not built), the registry file and libtamsen.so's socket driver against the adapter-emu daemon.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/module.h"
#include "platform/registry_file.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;

std::string BinDir() {
    const char* dir = std::getenv("NORVANE_BIN_DIR");
    return dir != nullptr ? dir : "";
}

constexpr const char* kBus = R"(<?xml version="1.0"?>
<bus>
  <slave mac="1" name="io">
    <identity vendor-id="1250" device-type="7" product-code="101" product-name="IO Block"/>
    <poll input="4" output="2" inputs="counter"/>
  </slave>
  <slave mac="3" name="loop">
    <identity vendor-id="1250" device-type="115" product-code="103" product-name="Loop"/>
    <poll input="4" output="4" inputs="loopback"/>
  </slave>
</bus>
)";

// The daemon, started for one test and stopped (SIGTERM, waited for) at its end.
class EmulatorProcess {
public:
    bool Start(const std::filesystem::path& dir, const std::filesystem::path& bus) {
        const std::string program = BinDir() + "/adapter-emu";
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl(program.c_str(), program.c_str(), "--dir", dir.c_str(), "--bus", bus.c_str(), "--fast",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ < 0) return false;
        for (int i = 0; i < 500; ++i) {
            if (std::filesystem::exists(dir / "adapter0" / "PIPE08")) return true;
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    ~EmulatorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

template <typename Fn>
Fn Resolve(const platform::Module& module, const char* name) {
    return reinterpret_cast<Fn>(module.Symbol(name));
}

TEST(EmulatorSessionTest, MasterLifeCycleAgainstTheEmulator) {
    if (!std::filesystem::exists(BinDir() + "/adapter-emu")) GTEST_SKIP() << "adapter-emu is not built";
    const auto dir = std::filesystem::path("/tmp") / ("tem" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "bus.xml") << kBus;
    const auto devices = dir / "devices";
    EmulatorProcess emulator;
    ASSERT_TRUE(emulator.Start(devices, dir / "bus.xml"));
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    const std::string registry = (dir / "registry.reg").string();
    ASSERT_TRUE(platform::RegWriteString(registry, "SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL",
                                         BinDir() + "/libtamsen.so"));
    ::setenv("VARDA_REGISTRY", registry.c_str(), 1);

    const std::string varda = BinDir() + "/libvarda.so";
    const bool viaDispatcher = std::filesystem::exists(varda);
    int error = 0;
    std::string message;
    platform::Module module =
        platform::Module::Load(viaDispatcher ? varda : BinDir() + "/libtamsen.so", error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    auto open = Resolve<PFN_VARDA_Open>(module, "VARDA_Open");
    auto close = Resolve<PFN_VARDA_Close>(module, "VARDA_Close");
    auto init = Resolve<PFN_VARDA_Init>(module, "VARDA_Init");
    auto uninit = Resolve<PFN_VARDA_Uninit>(module, "VARDA_Uninit");
    auto online = Resolve<PFN_VARDA_Online>(module, "VARDA_Online");
    auto offline = Resolve<PFN_VARDA_Offline>(module, "VARDA_Offline");
    auto startScan = Resolve<PFN_VARDA_StartScan>(module, "VARDA_StartScan");
    auto stopScan = Resolve<PFN_VARDA_StopScan>(module, "VARDA_StopScan");
    auto addSlave = Resolve<PFN_VARDA_AddSlave>(module, "VARDA_AddSlave");
    auto removeSlave = Resolve<PFN_VARDA_RemoveSlave>(module, "VARDA_RemoveSlave");
    auto saveCfg = Resolve<PFN_VARDA_SaveCfg>(module, "VARDA_SaveCfg");
    auto emRequest = Resolve<PFN_VARDA_EMRequest>(module, "VARDA_EMRequest");
    auto readIo = Resolve<PFN_VARDA_ReadSlaveIO>(module, "VARDA_ReadSlaveIO");
    auto writeIo = Resolve<PFN_VARDA_WriteSlaveIO>(module, "VARDA_WriteSlaveIO");
    auto status = Resolve<PFN_VARDA_GetSlaveStatus>(module, "VARDA_GetSlaveStatus");
    auto boardInfo = Resolve<PFN_VARDA_ReadBoardInfo>(module, "VARDA_ReadBoardInfo");

    ASSERT_EQ(open(101, 0, 0), 0u);
    EXPECT_EQ(open(101, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_EQ(open(101, 1, 0), VARDA_ERR_NO_DEVICE);
    VARDA_BOARD_INFO info{};
    EXPECT_EQ(boardInfo(101, 0, &info), 0u);
    EXPECT_EQ(info.SerialNumber[15], 0);

    VARDA_INIT_PARAM p{};
    p.MacId = 0;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    uint32_t handle = 0;
    ASSERT_EQ(init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(removeSlave(handle, VARDA_ALL_SLAVES), 0u);
    for (uint32_t mac : {1u, 3u}) {
        VARDA_SLAVE_CONFIG s{};
        s.MacId = mac;
        s.VendorId = 1250;
        s.ConnectionFlags = VARDA_FLAGS_POLL_ONLY;
        s.PollInputSize = 4;
        s.PollOutputSize = mac == 1 ? 2 : 4;
        s.HeartbeatTime = 250;
        s.AckTimeout = 16;
        s.ProductionInhibitTime = 1;
        EXPECT_EQ(addSlave(handle, &s), 0u) << mac;
    }
    EXPECT_EQ(saveCfg(handle), 0u);
    EXPECT_EQ(online(handle), 0u);
    EXPECT_EQ(startScan(handle), 0u);

    // The slaves come on line once the scanner has connected them.
    uint32_t state = 999;
    for (int i = 0; i < 1000 && state != 0; ++i) {
        state = status(handle, 3);
        if (state != 0) std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(state, 0u);

    const uint8_t out[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(writeIo(handle, 3, VARDA_CONN_POLL, out, 4, 0), 0u);
    uint8_t in[8] = {};
    uint32_t length = 0;
    for (int i = 0; i < 1000; ++i) {
        length = 8;
        ASSERT_EQ(readIo(handle, 3, VARDA_CONN_POLL, in, &length, 0), 0u);
        if (length == 4 && in[0] == 0xDE) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 4), std::vector<uint8_t>(out, out + 4));

    // Identity vendor ID (class 1, instance 1, attribute 1).
    const uint8_t attribute[1] = {1};
    uint8_t reply[16] = {};
    uint32_t replyLength = sizeof reply;
    ASSERT_EQ(emRequest(handle, 1, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attribute, 1, reply, &replyLength, 1000), 0u);
    ASSERT_EQ(replyLength, 2u);
    EXPECT_EQ(reply[0] | (reply[1] << 8), 1250);

    EXPECT_EQ(stopScan(handle), 0u);
    EXPECT_EQ(offline(handle), 0u);
    EXPECT_EQ(uninit(handle), 0u);
    EXPECT_EQ(status(handle, 1), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(close(101, 0), 0u);
    EXPECT_EQ(close(101, 0), VARDA_ERR_NOT_OPEN);
    // Closed means closed: the adapter can be opened again at once.
    EXPECT_EQ(open(101, 0, 0), 0u);
    EXPECT_EQ(close(101, 0), 0u);

    ::unsetenv("TAMSEN_DEVICE_DIR");
    ::unsetenv("VARDA_DEBUG_OUTPUT");
    ::unsetenv("VARDA_REGISTRY");
    module = platform::Module();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
