// dnetmon: a DeviceNet bus monitor. Starts an adapter in test mode through libtamsen.so, prints
// every frame the adapter receives as a readable line, can produce frames, and can write a
// candump-style log that common CAN tools read.
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "dnettest.h"
#include "frame_text.h"

namespace {

constexpr const char* kUsage =
    "Usage: dnetmon [--card N] [--mac M] [--baud 125|250|500] [--key K] [--produce ID#DATA]...\n"
    "               [--log FILE] [--ifname NAME] [--seconds S] [--count N]\n";

constexpr const char* kHelp =
    "Monitors a DeviceNet bus through an adapter in test mode (libtamsen.so).\n"
    "\n"
    "  --card N          adapter index 0 to 7 (default: $TAMSEN_TEST_CARD, else asked on the terminal)\n"
    "  --mac M           MAC ID of the monitoring node, 0 to 63 (default 62)\n"
    "  --baud B          125, 250 or 500 kbit/s (default 125)\n"
    "  --key K           test key of the adapter (default 1)\n"
    "  --produce ID#DATA send a frame once on line, e.g. 426#3D0E010101 (repeatable)\n"
    "  --log FILE        also write every received frame to FILE in candump log format\n"
    "  --ifname NAME     interface name in the log (default can0)\n"
    "  --seconds S       stop after S seconds (default: until Ctrl-C)\n"
    "  --count N         stop after N received frames\n"
    "\n"
    "Each line: adapter time stamp (s), identifier, message group, MAC ID and message ID fields,\n"
    "data length and bytes, and the DeviceNet meaning of the frame.\n";

std::atomic<bool> stopRequested{false};

void OnSignal(int) { stopRequested.store(true); }

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "dnetmon: " << problem << "\n" << kUsage;
    std::exit(2);
}

unsigned long Number(const std::string& option, const std::string& text, unsigned long max) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v > max || text[0] == '-') {
        Usage(option + " must be a number from 0 to " + std::to_string(max) + ", not \"" + text + "\"");
    }
    return v;
}

struct Options {
    std::optional<unsigned long> card;
    uint8_t mac = 62;
    uint8_t baud = 0;
    uint32_t key = 1;
    std::vector<dnetmon::ProduceFrame> produce;
    std::optional<std::string> logFile;
    std::string ifname = "can0";
    std::optional<unsigned long> seconds;
    std::optional<unsigned long> count;
};

Options ParseArguments(int argc, char** argv) {
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size()) Usage(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage << "\n" << kHelp;
            std::exit(0);
        } else if (a == "--card") {
            o.card = Number(a, value(), 7);
        } else if (a == "--mac") {
            o.mac = static_cast<uint8_t>(Number(a, value(), 63));
        } else if (a == "--baud") {
            const std::string v = value();
            if (v == "125") o.baud = 0;
            else if (v == "250") o.baud = 1;
            else if (v == "500") o.baud = 2;
            else Usage("--baud must be 125, 250 or 500, not \"" + v + "\"");
        } else if (a == "--key") {
            o.key = static_cast<uint32_t>(Number(a, value(), 0xFFFFFFFFul));
        } else if (a == "--produce") {
            const std::string v = value();
            std::optional<dnetmon::ProduceFrame> f = dnetmon::ParseFrameText(v);
            if (!f) Usage("--produce needs ID#DATA (identifier up to 7FF, up to 8 data bytes), not \"" + v + "\"");
            o.produce.push_back(*f);
        } else if (a == "--log") {
            o.logFile = value();
        } else if (a == "--ifname") {
            o.ifname = value();
            if (o.ifname.empty() || o.ifname.find_first_of(" \t\n") != std::string::npos) Usage("--ifname needs a name");
        } else if (a == "--seconds") {
            o.seconds = Number(a, value(), 86400ul * 365);
        } else if (a == "--count") {
            o.count = Number(a, value(), 0xFFFFFFFFul);
        } else {
            Usage("unknown argument \"" + a + "\"");
        }
    }
    return o;
}

double UnixNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The adapter in test mode for the life of the object.
class TestAdapter {
public:
    explicit TestAdapter(uint32_t key) : key_(key) {}
    ~TestAdapter() {
        if (started_) {
            (void)DNetTest_Offline(key_);
            DNetTest_StopDrv(key_);
        }
    }
    TestAdapter(const TestAdapter&) = delete;
    TestAdapter& operator=(const TestAdapter&) = delete;

    bool Start(uint8_t config) {
        uint8_t block[DNETTEST_BLOCK_SIZE] = {};
        const uint32_t tid = static_cast<uint32_t>(::syscall(SYS_gettid));
        for (int i = 0; i < 4; ++i) {
            block[DNETTEST_BLOCK_THREAD + i] = static_cast<uint8_t>(tid >> (8 * i));
            block[DNETTEST_BLOCK_KEY + i] = static_cast<uint8_t>(key_ >> (8 * i));
        }
        block[DNETTEST_BLOCK_CONFIG] = config;
        DNetTest_StartDrv(block);
        started_ = block[DNETTEST_BLOCK_STARTED] == 1;
        return started_;
    }

private:
    uint32_t key_;
    bool started_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = ParseArguments(argc, argv);
    if (o.card) ::setenv("TAMSEN_TEST_CARD", std::to_string(*o.card).c_str(), 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    std::ofstream log;
    if (o.logFile) {
        log.open(*o.logFile, std::ios::out | std::ios::trunc);
        if (!log) {
            std::cerr << "dnetmon: " << *o.logFile << ": cannot be written\n";
            return 1;
        }
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    TestAdapter adapter(o.key);
    if (!adapter.Start(static_cast<uint8_t>(o.mac | (o.baud << 6)))) {
        std::cerr << "dnetmon: no adapter was started (choice cancelled, adapter absent or already open, or not "
                     "ready; the library's debug output, $VARDA_DEBUG_OUTPUT, tells more)\n";
        return 1;
    }
    if (DNetTest_Online(o.key) != 1) {
        std::cerr << "dnetmon: the adapter did not go on line\n";
        return 1;
    }
    std::printf("dnetmon: on line as MAC ID %u at %s kbit/s\n", o.mac, o.baud == 0 ? "125" : o.baud == 1 ? "250" : "500");
    for (const dnetmon::ProduceFrame& f : o.produce) {
        DNetTest_Produce(static_cast<uint32_t>(f.data.size()), f.canId, f.data.data(), o.key);
        std::printf("%10s  %03X  sent [%zu]\n", "", f.canId, f.data.size());
    }

    // Log time stamps: the host's clock at the first frame plus the adapter's time since then.
    std::optional<uint32_t> firstAdapterMs;
    double firstUnix = 0;
    unsigned long received = 0;
    const auto startedAt = std::chrono::steady_clock::now();
    std::vector<uint8_t> records(DNETTEST_RING_SLOTS * DNETTEST_RECORD_SIZE);
    DNetTestRingHeader* ring = nullptr;
    while (!stopRequested.load()) {
        if (o.seconds && std::chrono::steady_clock::now() - startedAt >= std::chrono::seconds(*o.seconds)) break;
        DNetTestMessage m{};
        if (DNetTest_GetMessage(&m, 100) == 1 && m.message == WM_DNET_RECEIVED && m.wParam == o.key) {
            ring = reinterpret_cast<DNetTestRingHeader*>(static_cast<uintptr_t>(m.lParam));
        }
        if (ring == nullptr) continue;
        const uint32_t n = DNetTestRing_Read(ring, records.data(), DNETTEST_RING_SLOTS);
        for (uint32_t i = 0; i < n; ++i) {
            const dnetmon::Record r = dnetmon::ParseRecord(
                std::span<const uint8_t, dnetmon::kRecordSize>(records.data() + i * DNETTEST_RECORD_SIZE, DNETTEST_RECORD_SIZE));
            if ((r.flags & 0x80) != 0) std::printf("%10s  -- frames were lost before this one --\n", "");
            std::printf("%s\n", dnetmon::ReadableLine(r).c_str());
            if (log.is_open()) {
                if (!firstAdapterMs) {
                    firstAdapterMs = r.timeMs;
                    firstUnix = UnixNow();
                }
                const double at = firstUnix + static_cast<uint32_t>(r.timeMs - *firstAdapterMs) / 1000.0;
                log << dnetmon::CandumpLine(at, o.ifname, r.canId, r.data) << '\n';
            }
            if (o.count && ++received >= *o.count) {
                stopRequested.store(true);
                break;
            }
        }
        if (log.is_open()) log.flush();
    }
    if (log.is_open() && !log) {
        std::cerr << "dnetmon: " << *o.logFile << ": writing failed\n";
        return 1;
    }
    return 0;
}
