// End to end through USB: libtamsen.so's libusb driver, the unmodified libusb and the umockdev
// preload against adapters emulated as USB devices (adapter-emu's firmware behind a usbfs
// handler).
#include <gtest/gtest.h>
#include <libusb.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "adapter_emu/packet.h"
#include "adapter_emu_usb/adapter_descriptors.h"
#include "adapter_emu_usb/usb_testbed.h"
#include "platform/module.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kUsbIds = "1a2b:0001";
constexpr adapter_emu::usb::UsbId kUsbId{0x1a2b, 0x0001};

std::string BinDir() {
    const char* dir = std::getenv("NORVANE_BIN_DIR");
    return dir != nullptr ? dir : "";
}

std::filesystem::path DemoBus() {
    const char* dir = std::getenv("NORVANE_SOURCE_DIR");
    return std::filesystem::path(dir != nullptr ? dir : "") / "resources/demo/bus.xml";
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The sixteen functions of libtamsen.so.
struct Api {
    platform::Module module;
    PFN_VARDA_Open open = nullptr;
    PFN_VARDA_Close close = nullptr;
    PFN_VARDA_Init init = nullptr;
    PFN_VARDA_Uninit uninit = nullptr;
    PFN_VARDA_Online online = nullptr;
    PFN_VARDA_Offline offline = nullptr;
    PFN_VARDA_StartScan startScan = nullptr;
    PFN_VARDA_StopScan stopScan = nullptr;
    PFN_VARDA_AddSlave addSlave = nullptr;
    PFN_VARDA_RemoveSlave removeSlave = nullptr;
    PFN_VARDA_EMRequest emRequest = nullptr;
    PFN_VARDA_ReadSlaveIO readIo = nullptr;
    PFN_VARDA_WriteSlaveIO writeIo = nullptr;
    PFN_VARDA_GetSlaveStatus status = nullptr;
    PFN_VARDA_ReadBoardInfo boardInfo = nullptr;

    bool Load(std::string& message) {
        int error = 0;
        module = platform::Module::Load(BinDir() + "/libtamsen.so", error, message);
        if (!module.IsLoaded()) return false;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(module.Symbol(name));
        };
        get(open, "VARDA_Open");
        get(close, "VARDA_Close");
        get(init, "VARDA_Init");
        get(uninit, "VARDA_Uninit");
        get(online, "VARDA_Online");
        get(offline, "VARDA_Offline");
        get(startScan, "VARDA_StartScan");
        get(stopScan, "VARDA_StopScan");
        get(addSlave, "VARDA_AddSlave");
        get(removeSlave, "VARDA_RemoveSlave");
        get(emRequest, "VARDA_EMRequest");
        get(readIo, "VARDA_ReadSlaveIO");
        get(writeIo, "VARDA_WriteSlaveIO");
        get(status, "VARDA_GetSlaveStatus");
        get(boardInfo, "VARDA_ReadBoardInfo");
        return true;
    }
};

// The demo network's configuration of slaves 1 to 4 (poll, bit strobe, change of state, poll).
std::vector<VARDA_SLAVE_CONFIG> DemoSlaves() {
    auto slave = [](uint32_t mac, uint32_t type, uint32_t code, uint8_t flags) {
        VARDA_SLAVE_CONFIG s{};
        s.MacId = mac;
        s.VendorId = 1250;
        s.ProductType = type;
        s.ProductCode = code;
        s.ConnectionFlags = flags;
        s.HeartbeatTime = 250;
        s.AckTimeout = 16;
        s.ProductionInhibitTime = 1;
        return s;
    };
    std::vector<VARDA_SLAVE_CONFIG> slaves;
    slaves.push_back(slave(1, 7, 101, VARDA_FLAGS_POLL_ONLY));
    slaves.back().PollInputSize = 4;
    slaves.back().PollOutputSize = 2;
    slaves.push_back(slave(2, 6, 102, VARDA_FLAGS_STROBE_ONLY));
    slaves.back().StrobeInputSize = 1;
    slaves.back().StrobeOutputSize = 8;
    slaves.push_back(slave(3, 115, 103, VARDA_FLAGS_NO_POLL_NO_STROBE | VARDA_FLAGS_COS));
    slaves.back().CosInputSize = 4;
    slaves.push_back(slave(4, 2, 104, VARDA_FLAGS_POLL_ONLY));
    slaves.back().PollInputSize = 4;
    slaves.back().PollOutputSize = 4;
    return slaves;
}

VARDA_INIT_PARAM InitParam() {
    VARDA_INIT_PARAM p{};
    p.MacId = 0;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    return p;
}

// Without CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH in this thread's effective set (as root still
// has them otherwise), file permissions apply here as to any user. Restored when destroyed.
class FilePermissionsApply {
public:
    FilePermissionsApply() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        ok_ = ::syscall(SYS_capget, &header_, saved_) == 0;
        if (!ok_) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ok_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~FilePermissionsApply() {
        if (ok_) ::syscall(SYS_capset, &header_, saved_);
    }
    bool Ok() const { return ok_; }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool ok_ = false;
};

// The emulator serving the demo bus in a folder of its own, its adapters as USB devices, and
// libtamsen.so loaded with the USB driver chosen.
class UsbSessionTest : public ::testing::Test {
protected:
    void Start(unsigned adapters) {
        dir_ = std::filesystem::path("/tmp") / ("tusb" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        adapter_emu::EmulatorOptions options;
        options.dir = dir_ / "devices";
        options.adapters = adapters;
        options.bus = adapter_emu::LoadBusFile(DemoBus());
        options.fast = true;
        emulator_ = std::make_unique<adapter_emu::Emulator>(options);
        emulator_->Start();
        testbed_ = std::make_unique<adapter_emu::usb::UsbTestbed>();
        for (unsigned i = 0; i < adapters; ++i) {
            auto& adapter = emulator_->GetAdapter(i);
            testbed_->AddAdapter(kUsbId, adapter.Folder(), [&adapter](int pipe) { adapter.StallPipe(pipe); });
        }
        ::unsetenv("TAMSEN_DEVICE_DIR");
        ::setenv("TAMSEN_USB_IDS", kUsbIds, 1);
        ::setenv("VARDA_DEBUG_OUTPUT", Log().c_str(), 1);
        std::string message;
        ASSERT_TRUE(api_.Load(message)) << message;
    }

    void TearDown() override {
        api_ = Api();
        testbed_.reset();
        if (emulator_) emulator_->Stop();
        emulator_.reset();
        ::unsetenv("TAMSEN_USB_IDS");
        ::unsetenv("VARDA_DEBUG_OUTPUT");
        std::error_code ec;
        if (!HasFailure()) std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path Log() const { return dir_ / "debug.log"; }

    // Open, Init, the demo slaves listed, on line and scanning; returns the channel handle.
    uint32_t StartMaster(uint32_t index) {
        EXPECT_EQ(api_.open(101, index, 0), 0u);
        VARDA_INIT_PARAM p = InitParam();
        uint32_t handle = 0;
        EXPECT_EQ(api_.init(101, index, 0, &p, &handle), 0u);
        EXPECT_EQ(api_.removeSlave(handle, VARDA_ALL_SLAVES), 0u);
        for (VARDA_SLAVE_CONFIG s : DemoSlaves()) EXPECT_EQ(api_.addSlave(handle, &s), 0u) << s.MacId;
        EXPECT_EQ(api_.online(handle), 0u);
        EXPECT_EQ(api_.startScan(handle), 0u);
        return handle;
    }

    // Waits until the slave's status is `expected` (at most 5 s); returns the last status.
    uint32_t WaitStatus(uint32_t handle, uint32_t mac, uint32_t expected) {
        uint32_t state = 0xFFFFFFFF;
        for (int i = 0; i < 500; ++i) {
            state = api_.status(handle, mac);
            if (state == expected) break;
            std::this_thread::sleep_for(10ms);
        }
        return state;
    }

    std::filesystem::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
    std::unique_ptr<adapter_emu::usb::UsbTestbed> testbed_;
    Api api_;
};

TEST_F(UsbSessionTest, MasterSessionThroughLibusb) {
    ASSERT_NO_FATAL_FAILURE(Start(1));
    ASSERT_EQ(api_.open(101, 0, 0), 0u);
    EXPECT_EQ(api_.open(101, 0, 0), VARDA_ERR_ALREADY_OPEN);
    EXPECT_EQ(api_.open(101, 1, 0), VARDA_ERR_NO_DEVICE);  // one adapter with these USB ids
    VARDA_BOARD_INFO info{};
    ASSERT_EQ(api_.boardInfo(101, 0, &info), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.Identification)), "ADAPTER-EMU DeviceNet Scanner");
    EXPECT_EQ(std::string(info.SerialNumber), "71000100");
    EXPECT_EQ(api_.close(101, 0), 0u);

    const uint32_t handle = StartMaster(0);
    for (uint32_t mac : {1u, 2u, 3u, 4u}) EXPECT_EQ(WaitStatus(handle, mac, 0), 0u) << mac;

    // I/O: the drive (MAC 4) loops its outputs back; the I/O block (MAC 1) counts.
    const uint8_t out[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(api_.writeIo(handle, 4, VARDA_CONN_POLL, out, 4, 0), 0u);
    uint8_t in[8] = {};
    uint32_t length = 0;
    for (int i = 0; i < 500; ++i) {
        length = sizeof in;
        ASSERT_EQ(api_.readIo(handle, 4, VARDA_CONN_POLL, in, &length, 0), 0u);
        if (length == 4 && in[0] == 0xDE) break;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(std::vector<uint8_t>(in, in + length), std::vector<uint8_t>(out, out + 4));
    length = sizeof in;
    EXPECT_EQ(api_.readIo(handle, 2, VARDA_CONN_BIT_STROBE, in, &length, 0), 0u);
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(in[0], 0x01);

    // Explicit requests go through the second group of pipes (06 to 09).
    const uint8_t vendorAttribute[1] = {1};
    uint8_t reply[64] = {};
    uint32_t replyLength = sizeof reply;
    ASSERT_EQ(api_.emRequest(handle, 4, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, vendorAttribute, 1, reply, &replyLength, 1000),
              0u);
    ASSERT_EQ(replyLength, 2u);
    EXPECT_EQ(reply[0] | (reply[1] << 8), 1250);
    const uint8_t nameAttribute[1] = {7};
    replyLength = sizeof reply;
    ASSERT_EQ(api_.emRequest(handle, 4, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, nameAttribute, 1, reply, &replyLength, 1000),
              0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reply + 1), reply[0]), "ND-VF400 AC Drive");
    // Nobody at MAC 9: the adapter's time-out, not the transfer's.
    replyLength = sizeof reply;
    EXPECT_EQ(api_.emRequest(handle, 9, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, vendorAttribute, 1, reply, &replyLength, 200),
              VARDA_ERR_TIMEOUT);

    EXPECT_EQ(api_.stopScan(handle), 0u);
    EXPECT_EQ(api_.offline(handle), 0u);
    EXPECT_EQ(api_.uninit(handle), 0u);
    EXPECT_EQ(api_.status(handle, 1), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(api_.close(101, 0), 0u);
    EXPECT_EQ(api_.close(101, 0), VARDA_ERR_NOT_OPEN);
    // Closed means released: the adapter opens again at once.
    EXPECT_EQ(api_.open(101, 0, 0), 0u);
    EXPECT_EQ(api_.close(101, 0), 0u);
}

TEST_F(UsbSessionTest, HaltedAcknowledgePipeIsSeenAndCleared) {
    ASSERT_NO_FATAL_FAILURE(Start(1));
    const uint32_t handle = StartMaster(0);
    EXPECT_EQ(WaitStatus(handle, 1, 0), 0u);
    // A halted acknowledge pipe would fail the exchange; the library sees the halt with
    // GET_STATUS and clears it first.
    for (int pipe : {0, 6}) {
        emulator_->GetAdapter(0).StallPipe(pipe);
        EXPECT_EQ(api_.status(handle, 1), 0u) << pipe;
        uint8_t reply[8] = {};
        uint32_t replyLength = sizeof reply;
        const uint8_t attribute[1] = {1};
        EXPECT_EQ(api_.emRequest(handle, 1, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attribute, 1, reply, &replyLength, 1000),
                  0u)
            << pipe;
    }
    const std::string log = ReadFile(Log());
    EXPECT_EQ(log.find("管道状态无效"), std::string::npos) << log;
    EXPECT_EQ(log.find("复位管道失败"), std::string::npos) << log;
    EXPECT_EQ(api_.close(101, 0), 0u);
}

TEST_F(UsbSessionTest, AcknowledgeThatNeverComesTimesOutAndTheNextCommandWorks) {
    ASSERT_NO_FATAL_FAILURE(Start(1));
    const uint32_t handle = StartMaster(0);
    EXPECT_EQ(WaitStatus(handle, 1, 0), 0u);
    adapter_emu::AckFault drop;
    drop.kind = adapter_emu::AckFaultKind::Drop;
    drop.onlyCode = adapter_emu::cmd::kGetNodeStatus;
    emulator_->GetAdapter(0).InjectAckFault(drop);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(api_.status(handle, 1), VARDA_ERR_INTERNAL);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 2500ms);  // the acknowledge's time-out
    EXPECT_NE(ReadFile(Log()).find("ack(GetNodeStatus) failed: bytesRead=0"), std::string::npos) << ReadFile(Log());
    // Nothing of the lost exchange answers the next one.
    EXPECT_EQ(api_.status(handle, 1), 0u);
    EXPECT_EQ(api_.status(handle, 4), 0u);
    EXPECT_EQ(api_.close(101, 0), 0u);
}

TEST_F(UsbSessionTest, HotUnplugFailsEveryLaterCallAndClosesCleanly) {
    ASSERT_NO_FATAL_FAILURE(Start(1));
    const uint32_t handle = StartMaster(0);
    EXPECT_EQ(WaitStatus(handle, 1, 0), 0u);
    // An exchange in flight when the adapter goes: its acknowledge is held back 2 s, and the
    // pending read ends with the disconnect, not with the 3 s time-out.
    adapter_emu::AckFault hold;
    hold.kind = adapter_emu::AckFaultKind::Delay;
    hold.value = 2000;
    hold.onlyCode = adapter_emu::cmd::kGetNodeStatus;
    emulator_->GetAdapter(0).InjectAckFault(hold);
    const auto before = std::chrono::steady_clock::now();
    auto inFlight = std::async(std::launch::async, [&] { return api_.status(handle, 4); });
    std::this_thread::sleep_for(200ms);
    testbed_->Unplug(0);
    emulator_->GetAdapter(0).Unplug();
    EXPECT_EQ(inFlight.get(), VARDA_ERR_INTERNAL);
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1800ms);
    const uint8_t out[2] = {1, 2};
    uint8_t in[8] = {};
    uint32_t length = sizeof in;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(api_.status(handle, 1), VARDA_ERR_INTERNAL);
        EXPECT_EQ(api_.writeIo(handle, 1, VARDA_CONN_POLL, out, 2, 0), VARDA_ERR_INTERNAL);
        length = sizeof in;
        EXPECT_EQ(api_.readIo(handle, 1, VARDA_CONN_POLL, in, &length, 0), VARDA_ERR_INTERNAL);
        EXPECT_EQ(api_.stopScan(handle), VARDA_ERR_INTERNAL);
    }
    EXPECT_EQ(api_.close(101, 0), 0u);
    // Gone from the bus: nothing to open any more.
    EXPECT_EQ(api_.open(101, 0, 0), VARDA_ERR_NO_DEVICE);
}

TEST_F(UsbSessionTest, DeviceTheUserMayNotOpenGivesTheAccessErrorAndItsHint) {
    ASSERT_NO_FATAL_FAILURE(Start(1));
    ASSERT_EQ(::chmod(testbed_->NodeFile(0).c_str(), 0), 0);
    {
        FilePermissionsApply permissions;
        ASSERT_TRUE(permissions.Ok());
        EXPECT_EQ(api_.open(101, 0, 0), VARDA_ERR_INTERNAL);
    }
    const std::string log = ReadFile(Log());
    EXPECT_NE(log.find("no permission to open /dev/bus/usb/001/002; give the logged-in user access with the "
                       "udev rule 60-norvane-adapter.rules: varda-register --usb-ids 1a2b:0001 REGFILE 101 "
                       "LIBPATH\n"),
              std::string::npos)
        << log;
    // Allowed again, it opens.
    ASSERT_EQ(::chmod(testbed_->NodeFile(0).c_str(), 0666), 0);
    EXPECT_EQ(api_.open(101, 0, 0), 0u);
    EXPECT_EQ(api_.close(101, 0), 0u);
}

TEST_F(UsbSessionTest, TwoAdaptersAtOnceInBusOrder) {
    ASSERT_NO_FATAL_FAILURE(Start(2));
    EXPECT_EQ(api_.open(101, 2, 0), VARDA_ERR_NO_DEVICE);
    uint32_t handles[2] = {};
    for (uint32_t index : {0u, 1u}) {
        handles[index] = StartMaster(index);
        VARDA_BOARD_INFO info{};
        ASSERT_EQ(api_.boardInfo(101, index, &info), 0u);
        // Device index order is bus order: 1-1 is adapter 0, 1-2 adapter 1.
        EXPECT_EQ(std::string(info.SerialNumber), "7100010" + std::to_string(index));
    }
    const uint8_t out0[4] = {1, 2, 3, 4};
    const uint8_t out1[4] = {5, 6, 7, 8};
    EXPECT_EQ(WaitStatus(handles[0], 4, 0), 0u);
    EXPECT_EQ(WaitStatus(handles[1], 4, 0), 0u);
    EXPECT_EQ(api_.writeIo(handles[0], 4, VARDA_CONN_POLL, out0, 4, 0), 0u);
    EXPECT_EQ(api_.writeIo(handles[1], 4, VARDA_CONN_POLL, out1, 4, 0), 0u);
    for (uint32_t index : {0u, 1u}) {
        const uint8_t* expected = index == 0 ? out0 : out1;
        uint8_t in[4] = {};
        uint32_t length = 0;
        for (int i = 0; i < 500; ++i) {
            length = sizeof in;
            ASSERT_EQ(api_.readIo(handles[index], 4, VARDA_CONN_POLL, in, &length, 0), 0u);
            if (in[0] == expected[0]) break;
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(std::vector<uint8_t>(in, in + 4), std::vector<uint8_t>(expected, expected + 4)) << index;
    }
    // One adapter gone leaves the other working.
    testbed_->Unplug(0);
    emulator_->GetAdapter(0).Unplug();
    EXPECT_EQ(api_.status(handles[0], 4), VARDA_ERR_INTERNAL);
    EXPECT_EQ(api_.status(handles[1], 4), 0u);
    EXPECT_EQ(api_.close(101, 0), 0u);
    EXPECT_EQ(api_.close(101, 1), 0u);
}

}  // namespace
