// dnetmon: a DeviceNet bus monitor. Starts an adapter in test mode through libtamsen.so, prints
// every frame the adapter receives as a readable line (or, with --stats, the bus load once a
// second), can produce frames, and can write a candump-style log that common CAN tools read.
// A reader thread drains the library's ring into a large buffer, so a slow or paused output
// (a pager, a terminal on hold) loses nothing until that buffer is full.
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

#include "bus_stats.h"
#include "dnettest.h"
#include "frame_buffer.h"
#include "frame_filter.h"
#include "frame_printer.h"
#include "frame_text.h"
#include "ring_reader.h"
#include "tamsen_ring_source.h"

namespace {

constexpr const char* kUsage =
    "Usage: dnetmon [--card N] [--mac M] [--baud 125|250|500] [--key K] [--produce ID#DATA]...\n"
    "               [--filter-mac LIST] [--filter-group LIST] [--stats] [--buffer N]\n"
    "               [--log FILE] [--ifname NAME] [--seconds S] [--count N]\n";

constexpr const char* kHelp =
    "Monitors a DeviceNet bus through an adapter in test mode (libtamsen.so).\n"
    "\n"
    "  --card N          adapter index 0 to 7 (default: $TAMSEN_TEST_CARD, else asked on the terminal)\n"
    "  --mac M           MAC ID of the monitoring node, 0 to 63 (default 62)\n"
    "  --baud B          125, 250 or 500 kbit/s (default 125)\n"
    "  --key K           test key of the adapter (default 1)\n"
    "  --produce ID#DATA send a frame once on line, e.g. 426#3D0E010101 (repeatable)\n"
    "  --filter-mac LIST show only frames whose MAC ID field is in LIST, e.g. 1,4,10-12\n"
    "                    (group 4 frames have none and are left out)\n"
    "  --filter-group LIST  show only frames of these message groups, e.g. 1,2\n"
    "  --stats           instead of the frames, once a second: frames per second and bus load\n"
    "                    (percent of the baud rate, stuff bits included), in total, per message\n"
    "                    group and per MAC ID field, of the frames that pass the filters\n"
    "  --buffer N        frames kept while the output does not keep up (default 1048576);\n"
    "                    beyond that frames are dropped and one line says how many\n"
    "  --log FILE        also write every frame shown to FILE in candump log format\n"
    "  --ifname NAME     interface name in the log (default can0)\n"
    "  --seconds S       stop after S seconds (default: until Ctrl-C)\n"
    "  --count N         stop after N frames shown\n"
    "\n"
    "Each line: adapter time stamp (s), identifier, message group, MAC ID and message ID fields,\n"
    "data length and bytes, and the DeviceNet meaning of the frame. \"-- frames were lost before\n"
    "this one --\" marks a gap in what the adapter kept; \"-- dnetmon dropped N frames (its output\n"
    "did not keep up) --\" one in dnetmon's own buffer. On Ctrl-C, --seconds or --count the frames\n"
    "already received are still shown; a second Ctrl-C ends at once.\n";

std::atomic<bool> stopRequested{false};

void OnSignal(int) {
    if (stopRequested.exchange(true)) ::_exit(130);
}

[[noreturn]] void Usage(const std::string& problem) {
    std::cerr << "dnetmon: " << problem << "\n" << kUsage;
    std::exit(2);
}

unsigned long Number(const std::string& option, const std::string& text, unsigned long max, unsigned long min = 0) {
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v > max || v < min || text[0] == '-') {
        Usage(option + " must be a number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \"" +
              text + "\"");
    }
    return v;
}

struct Options {
    std::optional<unsigned long> card;
    uint8_t mac = 62;
    uint8_t baud = 0;
    uint32_t key = 1;
    std::vector<dnetmon::ProduceFrame> produce;
    dnetmon::FrameFilter filter;
    bool stats = false;
    std::size_t buffer = dnetmon::FrameBuffer::kDefaultCapacity;
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
        } else if (a == "--filter-mac" || a == "--filter-group") {
            const bool mac = a == "--filter-mac";
            const std::string v = value();
            const auto set = dnetmon::FrameFilter::ParseList(v, mac ? 63 : 4);
            if (!set || (!mac && set->test(0))) {
                Usage(a + " needs numbers or ranges from " + (mac ? "0 to 63" : "1 to 4") + " such as " +
                      (mac ? "1,4,10-12" : "1,2") + ", not \"" + v + "\"");
            }
            if (mac) o.filter.SetMacs(*set);
            else o.filter.SetGroups(*set);
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--buffer") {
            o.buffer = Number(a, value(), 1ul << 26, 1);
        } else if (a == "--log") {
            o.logFile = value();
        } else if (a == "--ifname") {
            o.ifname = value();
            if (o.ifname.empty() || o.ifname.find_first_of(" \t\n") != std::string::npos)
                Usage("--ifname needs a name");
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

    // `notifyThread`: the thread that receives the notifications (the reader).
    bool Start(uint8_t config, uint32_t notifyThread) {
        uint8_t block[DNETTEST_BLOCK_SIZE] = {};
        for (int i = 0; i < 4; ++i) {
            block[DNETTEST_BLOCK_THREAD + i] = static_cast<uint8_t>(notifyThread >> (8 * i));
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

unsigned BaudKbit(uint8_t baud) { return baud == 0 ? 125 : baud == 1 ? 250 : 500; }

// A duplicate MAC ID response for the monitor's own MAC ID: another device has it, and the
// adapter stayed off line. A node on line answers such requests itself and never receives them.
bool ClaimsOurMac(const dnetmon::RecordBytes& r, uint8_t mac) {
    const auto id = static_cast<uint16_t>(r[1] | r[2] << 8);
    return id == (0x400 | mac << 3 | 7) && r[3] >= 7 && (r[4] & 0x80) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = ParseArguments(argc, argv);
    if (o.card) ::setenv("TAMSEN_TEST_CARD", std::to_string(*o.card).c_str(), 1);
    // Full buffering into a pipe or file (flushed after every batch), lines on a terminal.
    std::setvbuf(stdout, nullptr, ::isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, 1 << 16);

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

    // Declared in this order so that the reader stops before the adapter (and its ring) goes.
    TestAdapter adapter(o.key);
    dnetmon::FrameBuffer buffer(o.buffer);
    dnetmon::TamsenRingSource source(o.key);
    dnetmon::RingReader reader(source, buffer);
    if (!adapter.Start(static_cast<uint8_t>(o.mac | (o.baud << 6)), reader.ThreadId())) {
        std::cerr << "dnetmon: no adapter was started (choice cancelled, adapter absent or already open, or not "
                     "ready; the library's debug output, $VARDA_DEBUG_OUTPUT, tells more)\n";
        return 1;
    }
    if (DNetTest_Online(o.key) != 1) {
        std::cerr << "dnetmon: the adapter did not go on line\n";
        return 1;
    }
    std::printf("dnetmon: on line as MAC ID %u at %u kbit/s\n", o.mac, BaudKbit(o.baud));
    for (const dnetmon::ProduceFrame& f : o.produce) {
        DNetTest_Produce(static_cast<uint32_t>(f.data.size()), f.canId, f.data.data(), o.key);
        std::printf("%10s  %03X  sent [%zu]\n", "", f.canId, f.data.size());
    }
    std::fflush(stdout);

    dnetmon::FramePrinter printer(o.stats ? nullptr : stdout, o.filter, o.logFile ? &log : nullptr, o.ifname);
    dnetmon::BusStats stats(BaudKbit(o.baud));
    unsigned long shown = 0;
    const auto startedAt = std::chrono::steady_clock::now();
    auto reportedAt = startedAt;
    bool stopping = false;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (!stopping && (stopRequested.load() || (o.seconds && now - startedAt >= std::chrono::seconds(*o.seconds)))) {
            // What was received so far is still shown.
            stopping = true;
            reader.Stop();
        }
        if (o.stats && now - reportedAt >= std::chrono::seconds(1)) {
            // On a terminal the figures replace the previous ones; into a file they follow them.
            if (::isatty(STDOUT_FILENO)) std::fputs("\033[H\033[J", stdout);
            std::fputs(stats.Report(std::chrono::duration<double>(now - reportedAt).count()).c_str(), stdout);
            reportedAt = now;
            std::fflush(stdout);
        }
        dnetmon::FrameBuffer::Batch batch = buffer.Pop(4096, std::chrono::milliseconds(100));
        bool done = batch.closed;
        for (const dnetmon::FrameBuffer::Entry& e : batch.entries) {
            if (ClaimsOurMac(e.record, o.mac)) {
                (void)printer.Print(e);
                std::fflush(stdout);
                std::fprintf(stderr,
                             "dnetmon: MAC ID %u is taken by another device (vendor ID %u, serial number 0x%08X); the "
                             "adapter is not on line, --mac chooses another\n",
                             o.mac, e.record[5] | e.record[6] << 8,
                             static_cast<unsigned>(e.record[7] | e.record[8] << 8 | e.record[9] << 16 |
                                                   static_cast<unsigned>(e.record[10]) << 24));
                return 1;
            }
            const std::optional<dnetmon::Record> r = printer.Print(e);
            if (!r) continue;
            if (o.stats) stats.Add(r->canId, r->data);
            if (o.count && ++shown >= *o.count) {
                done = true;
                break;
            }
        }
        if (!done) printer.PrintDropped(batch.droppedAfter);
        std::fflush(stdout);
        if (log.is_open()) log.flush();
        if (done) break;
    }
    reader.Stop();
    if (log.is_open() && !log) {
        std::cerr << "dnetmon: " << *o.logFile << ": writing failed\n";
        return 1;
    }
    return 0;
}
