// GetSlaveStatus exchanges per second through libtamsen.so's USB driver (libusb against the
// adapter emulated as a USB device by umockdev) beside the same exchange through its socket
// driver, and raw round trips through the same emulation: a libusb bulk OUT + IN exchange of the
// same sizes and a bare usbfs ioctl. All run in one process under the umockdev preload (started
// again with it when needed), against one adapter-emu Emulator with three adapters: adapter 0 as
// USB device 0 for libtamsen.so, adapter 1 through the sockets, adapter 2 as USB device 1 for
// the raw libusb exchange.
#include <benchmark/benchmark.h>
#include <libusb.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "adapter_emu/packet.h"
#include "adapter_emu_usb/usb_testbed.h"
#include "platform/module.h"
#include "varda_api.h"

namespace {

constexpr adapter_emu::usb::UsbId kId{0x1a2b, 0x0001};

std::string BinDir() {
    if (const char* dir = std::getenv("NORVANE_BIN_DIR")) return dir;
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

std::string SourceDir() {
    if (const char* dir = std::getenv("NORVANE_SOURCE_DIR")) return dir;
    return NORVANE_SOURCE_DIR;
}

struct Setup {
    std::filesystem::path dir;
    std::unique_ptr<adapter_emu::Emulator> emulator;
    std::unique_ptr<adapter_emu::usb::UsbTestbed> testbed;
    platform::Module module;
    PFN_VARDA_GetSlaveStatus status = nullptr;
    uint32_t usbHandle = 0;
    uint32_t socketHandle = 0;
    libusb_context* raw = nullptr;
    libusb_device_handle* rawDevice = nullptr;
    std::string error;

    // Open, Init, slave 1 of the demo bus listed, on line and scanning.
    uint32_t StartMaster(uint32_t index) {
        auto open = reinterpret_cast<PFN_VARDA_Open>(module.Symbol("VARDA_Open"));
        auto init = reinterpret_cast<PFN_VARDA_Init>(module.Symbol("VARDA_Init"));
        auto add = reinterpret_cast<PFN_VARDA_AddSlave>(module.Symbol("VARDA_AddSlave"));
        auto online = reinterpret_cast<PFN_VARDA_Online>(module.Symbol("VARDA_Online"));
        auto scan = reinterpret_cast<PFN_VARDA_StartScan>(module.Symbol("VARDA_StartScan"));
        VARDA_INIT_PARAM p{};
        p.ScanDelay = 10;
        p.IntervalScanCycle = 1;
        p.ExpectedPacketRate = 75;
        p.RetryCount = 1;
        VARDA_SLAVE_CONFIG s{};
        s.MacId = 1;
        s.VendorId = 1250;
        s.ConnectionFlags = VARDA_FLAGS_POLL_ONLY;
        s.PollInputSize = 4;
        s.PollOutputSize = 2;
        s.HeartbeatTime = 250;
        s.AckTimeout = 16;
        s.ProductionInhibitTime = 1;
        uint32_t handle = 0;
        if (open(101, index, 0) != 0 || init(101, index, 0, &p, &handle) != 0 || add(handle, &s) != 0 ||
            online(handle) != 0 || scan(handle) != 0) {
            error = "the master on adapter " + std::to_string(index) + " did not start";
            return 0;
        }
        return handle;
    }

    bool Start() {
        dir = std::filesystem::path("/tmp") / ("usbbench" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        adapter_emu::EmulatorOptions options;
        options.dir = dir / "devices";
        options.adapters = 3;
        options.bus = adapter_emu::LoadBusFile(std::filesystem::path(SourceDir()) / "resources/demo/bus.xml");
        options.fast = true;
        emulator = std::make_unique<adapter_emu::Emulator>(options);
        emulator->Start();
        testbed = std::make_unique<adapter_emu::usb::UsbTestbed>();
        for (std::size_t index : {0u, 2u}) {
            adapter_emu::Adapter& adapter = emulator->GetAdapter(index);
            testbed->AddAdapter(kId, adapter.Folder(), [&adapter](int pipe) { adapter.StallPipe(pipe); });
        }
        if (std::getenv("VARDA_DEBUG_OUTPUT") == nullptr) ::setenv("VARDA_DEBUG_OUTPUT", "/dev/null", 1);
        ::setenv("TAMSEN_USB_IDS", adapter_emu::usb::ToString(kId).c_str(), 1);
        int code = 0;
        module = platform::Module::Load(BinDir() + "/libtamsen.so", code, error);
        if (!module.IsLoaded()) return false;
        status = reinterpret_cast<PFN_VARDA_GetSlaveStatus>(module.Symbol("VARDA_GetSlaveStatus"));
        // The driver is chosen when an adapter is opened: USB without TAMSEN_DEVICE_DIR.
        ::unsetenv("TAMSEN_DEVICE_DIR");
        usbHandle = StartMaster(0);
        ::setenv("TAMSEN_DEVICE_DIR", options.dir.c_str(), 1);
        socketHandle = StartMaster(1);
        ::unsetenv("TAMSEN_DEVICE_DIR");
        if (usbHandle == 0 || socketHandle == 0) return false;
        for (int i = 0; i < 500 && (status(usbHandle, 1) != 0 || status(socketHandle, 1) != 0); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // The raw exchange: the second USB device (adapter 2), opened with libusb directly.
        if (libusb_init(&raw) != 0) return false;
        libusb_device** list = nullptr;
        const ssize_t count = libusb_get_device_list(raw, &list);
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_device_address(list[i]) == 3 && libusb_open(list[i], &rawDevice) != 0) rawDevice = nullptr;
        }
        if (count >= 0) libusb_free_device_list(list, 1);
        if (rawDevice == nullptr || libusb_claim_interface(rawDevice, 0) != 0) {
            error = "cannot open the second USB device with libusb";
            return false;
        }
        return true;
    }

    ~Setup() {
        if (rawDevice != nullptr) {
            libusb_release_interface(rawDevice, 0);
            libusb_close(rawDevice);
        }
        if (raw != nullptr) libusb_exit(raw);
        module = platform::Module();
        testbed.reset();
        if (emulator) emulator->Stop();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Setup* g_setup = nullptr;

void GetSlaveStatusUsb(benchmark::State& state) {
    for (auto _ : state) {
        if (g_setup->status(g_setup->usbHandle, 1) != 0) state.SkipWithError("exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}

void GetSlaveStatusSocket(benchmark::State& state) {
    for (auto _ : state) {
        if (g_setup->status(g_setup->socketHandle, 1) != 0) state.SkipWithError("exchange failed");
    }
    state.SetItemsProcessed(state.iterations());
}

// The command and acknowledge transfers of GetNodeStatus by libusb, without the library.
void RawLibusbExchange(benchmark::State& state) {
    const uint8_t payload[2] = {1, 1};
    std::vector<uint8_t> first =
        adapter_emu::FirstTransfer(adapter_emu::BuildPacket(adapter_emu::cmd::kGetNodeStatus, payload));
    uint8_t ack[64];
    int n = 0;
    // Adapter 2's channel is not initialised, so the acknowledge is the 12-byte error one (55).
    for (auto _ : state) {
        if (libusb_bulk_transfer(g_setup->rawDevice, 0x02, first.data(), static_cast<int>(first.size()), &n, 1000) !=
                0 ||
            libusb_bulk_transfer(g_setup->rawDevice, 0x81, ack, sizeof ack, &n, 1000) != 0) {
            state.SkipWithError("transfer failed");
        }
    }
    state.SetItemsProcessed(state.iterations());
}

// One emulated ioctl (GET_CAPABILITIES) on the node: the preload's round trip alone.
void RawUsbfsIoctl(benchmark::State& state) {
    const int fd = ::open("/dev/bus/usb/001/003", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the node");
        return;
    }
    uint32_t caps = 0;
    for (auto _ : state) {
        if (::ioctl(fd, USBDEVFS_GET_CAPABILITIES, &caps) != 0) state.SkipWithError("ioctl failed");
    }
    ::close(fd);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(GetSlaveStatusUsb)->UseRealTime();
BENCHMARK(GetSlaveStatusSocket)->UseRealTime();
BENCHMARK(RawLibusbExchange)->UseRealTime();
BENCHMARK(RawUsbfsIoctl)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    adapter_emu::usb::EnsureMockEnvironment(argv);
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    benchmark::Initialize(&argc, argv);
    Setup setup;
    if (!setup.Start()) {
        std::fprintf(stderr, "usb_bench: %s\n", setup.error.c_str());
        return 1;
    }
    g_setup = &setup;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup = nullptr;
    return 0;
}
