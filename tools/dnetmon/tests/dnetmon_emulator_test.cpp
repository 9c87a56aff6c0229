// dnetmon against adapter-emu: two adapters on one shared demo bus; this test runs the demo's
// poll slaves as master on adapter 0 through libtamsen.so while dnetmon monitors adapter 1.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "dnettest.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A child process with its output in a file; stopped (SIGTERM, waited for) at the end.
class Child {
public:
    bool Start(const std::vector<std::string>& args, const std::filesystem::path& output) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        return pid_ > 0;
    }
    // Standard output into a pipe whose reading end is returned (-1 on failure); standard error
    // into `errors`.
    int StartPiped(const std::vector<std::string>& args, const std::filesystem::path& errors) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            if (fd >= 0) ::dup2(fd, 2);
            ::dup2(fds[1], 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        if (pid_ < 0) {
            ::close(fds[0]);
            return -1;
        }
        return fds[0];
    }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return false;
        }
        return true;
    }
    // Waits up to `timeout` for the process to end by itself.
    bool WaitExit(std::chrono::milliseconds timeout) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        while (Running()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }
    int ExitCode() const { return exitCode_; }
    ~Child() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

VARDA_SLAVE_CONFIG PollSlave(uint32_t mac, uint32_t type, uint32_t code, uint8_t in, uint8_t out) {
    VARDA_SLAVE_CONFIG c{};
    c.MacId = mac;
    c.VendorId = 1250;
    c.ProductType = type;
    c.ProductCode = code;
    c.ConnectionFlags = 1;
    c.PollInputSize = in;
    c.PollOutputSize = out;
    return c;
}

TEST(DnetmonOnEmulator, ShowsTheDecodedPollTrafficOfTheDemoSlaves) {
    const std::string bin = Env("NORVANE_BIN_DIR");
    const std::string source = Env("NORVANE_SOURCE_DIR");
    if (!std::filesystem::exists(bin + "/adapter-emu") || !std::filesystem::exists(bin + "/dnetmon")) {
        GTEST_SKIP() << "adapter-emu or dnetmon is not built";
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnetmon-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path devices = dir / "dev";
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);

    Child emulator;
    ASSERT_TRUE(emulator.Start({bin + "/adapter-emu", "--dir", devices.string(), "--adapters", "2", "--shared-bus",
                                "--fast", "--bus", source + "/resources/demo/bus.xml"},
                               dir / "emu.out"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(devices / "adapter1" / "PIPE08"); }, 5s))
        << ReadFile(dir / "emu.out");

    Child monitor;
    ASSERT_TRUE(monitor.Start({bin + "/dnetmon", "--card", "1", "--seconds", "3", "--log", (dir / "bus.log").string(),
                               "--produce", "426#3D0E010101"},
                              dir / "dnetmon.out"));
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(dir / "dnetmon.out").find("on line") != std::string::npos || !monitor.Running(); }, 5s));
    ASSERT_TRUE(monitor.Running()) << ReadFile(dir / "dnetmon.out");

    // The master on adapter 0: slaves 1 (poll 4/2, counter) and 4 (poll 4/4, loopback).
    ASSERT_EQ(VARDA_Open(101, 0, 0), 0u);
    VARDA_INIT_PARAM p{};
    p.MacId = 0;
    p.BaudRate = 0;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    uint32_t handle = 0;
    ASSERT_EQ(VARDA_Init(101, 0, 0, &p, &handle), 0u);
    const VARDA_SLAVE_CONFIG slaves[] = {PollSlave(1, 7, 101, 4, 2), PollSlave(4, 2, 104, 4, 4)};
    for (const auto& s : slaves) ASSERT_EQ(VARDA_AddSlave(handle, &s), 0u);
    ASSERT_EQ(VARDA_Online(handle), 0u);
    ASSERT_EQ(VARDA_StartScan(handle), 0u);
    const uint8_t out[4] = {0x11, 0x22, 0x33, 0x44};
    ASSERT_EQ(VARDA_WriteSlaveIO(handle, 4, 1, out, 4, 1000), 0u);
    const auto until = std::chrono::steady_clock::now() + 1500ms;
    while (std::chrono::steady_clock::now() < until) {
        (void)VARDA_GetSlaveStatus(handle, 1);
        (void)VARDA_GetSlaveStatus(handle, 4);
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(VARDA_GetSlaveStatus(handle, 4), 0u);

    ASSERT_TRUE(monitor.WaitExit(10s)) << ReadFile(dir / "dnetmon.out");
    EXPECT_EQ(monitor.ExitCode(), 0);
    (void)VARDA_Uninit(handle);
    (void)VARDA_Close(101, 0);

    const std::string text = ReadFile(dir / "dnetmon.out");
    auto has = [&](const std::string& pattern) { return std::regex_search(text, std::regex(pattern)); };
    // The produced request and the drive's answer.
    EXPECT_TRUE(has(R"(426  sent \[5\])")) << text;
    EXPECT_TRUE(has(
        R"(423  G2 mac  4 msg  3  \[4\] 3D 8E E2 04 +explicit/unconnected response from 4: response Get_Attribute_Single)"))
        << text;
    // Connection allocation and the poll exchanges of both slaves, decoded.
    EXPECT_TRUE(has(
        R"(40E  G2 mac  1 msg  6  \[6\] 00 4B 03 01 03 00 +unconnected request \(group 2 only\) to 1: Allocate_Master/Slave_Connection_Set choice 0x03)"))
        << text;
    EXPECT_TRUE(has(R"(40D  G2 mac  1 msg  5  \[2\] 00 00 +poll command or COS/cyclic data to slave 1)")) << text;
    EXPECT_TRUE(has(R"(3C1  G1 mac  1 msg 15  \[4\] [0-9A-F]{2} [0-9A-F]{2} 00 00 +poll response from slave 1)"))
        << text;
    EXPECT_TRUE(has(R"(425  G2 mac  4 msg  5  \[4\] 11 22 33 44 +poll command or COS/cyclic data to slave 4)")) << text;
    EXPECT_TRUE(has(R"(3C4  G1 mac  4 msg 15  \[4\] 11 22 33 44 +poll response from slave 4)")) << text;
    // Slaves that the master does not scan stay quiet.
    EXPECT_FALSE(has(R"( 3C2 | 382 | 343 )")) << text;

    // The candump log: one frame per line, the same frames.
    const std::string log = ReadFile(dir / "bus.log");
    std::istringstream lines(log);
    std::string line;
    int frames = 0;
    const std::regex candump(R"(\(\d{10}\.\d{6}\) can0 [0-9A-F]{3}#([0-9A-F]{2})*)");
    while (std::getline(lines, line)) {
        ++frames;
        EXPECT_TRUE(std::regex_match(line, candump)) << line;
    }
    EXPECT_GT(frames, 20);
    EXPECT_NE(log.find(" can0 425#11223344\n"), std::string::npos) << log;
    EXPECT_NE(log.find(" can0 40D#0000\n"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// Reads from `fd` until `text` has arrived (or the end); returns what was read.
std::string ReadUntil(int fd, const std::string& text) {
    std::string all;
    char chunk[4096];
    while (all.find(text) == std::string::npos) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        all.append(chunk, static_cast<std::size_t>(n));
    }
    return all;
}

// dnetmon's output is not read for 3 s while another node puts 5,000 frames on the bus: its
// buffer holds them, and afterwards every one is there, in order, with no gap.
TEST(DnetmonOnEmulator, PausedOutputLosesNoFrame) {
    const std::string bin = Env("NORVANE_BIN_DIR");
    if (!std::filesystem::exists(bin + "/adapter-emu") || !std::filesystem::exists(bin + "/dnetmon")) {
        GTEST_SKIP() << "adapter-emu or dnetmon is not built";
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnetmon-pause-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path devices = dir / "dev";
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    Child emulator;
    ASSERT_TRUE(emulator.Start({bin + "/adapter-emu", "--dir", devices.string(), "--adapters", "2", "--shared-bus"},
                               dir / "emu.out"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(devices / "adapter1" / "PIPE08"); }, 5s));

    constexpr uint32_t kFrames = 5000;
    constexpr uint16_t kId = (13 << 6) | 60;  // COS/cyclic data of MAC ID 60
    Child monitor;
    const int out = monitor.StartPiped({bin + "/dnetmon", "--card", "1", "--filter-mac", "60", "--filter-group", "1",
                                        "--count", std::to_string(kFrames), "--seconds", "60"},
                                       dir / "dnetmon.err");
    ASSERT_GE(out, 0);
    std::string text = ReadUntil(out, "on line");
    ASSERT_NE(text.find("on line"), std::string::npos) << text << ReadFile(dir / "dnetmon.err");

    // This process is the producing node, on adapter 0.
    ::setenv("TAMSEN_TEST_CARD", "0", 1);
    constexpr uint32_t kKey = 5;
    uint8_t block[DNETTEST_BLOCK_SIZE] = {};
    const auto tid = static_cast<uint32_t>(::syscall(SYS_gettid));
    for (int i = 0; i < 4; ++i) {
        block[DNETTEST_BLOCK_THREAD + i] = static_cast<uint8_t>(tid >> (8 * i));
        block[DNETTEST_BLOCK_KEY + i] = static_cast<uint8_t>(kKey >> (8 * i));
    }
    block[DNETTEST_BLOCK_CONFIG] = 60;
    DNetTest_StartDrv(block);
    ASSERT_EQ(block[DNETTEST_BLOCK_STARTED], 1);
    ASSERT_EQ(DNetTest_Online(kKey), 1u);
    const auto pausedAt = std::chrono::steady_clock::now();
    for (uint32_t i = 0; i < kFrames; ++i) {
        const uint8_t data[4] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0, 0};
        DNetTest_Produce(4, kId, data, kKey);
        if (i % 25 == 24) std::this_thread::sleep_for(2ms);  // a busy bus rather than one burst
    }
    // The output stays paused until every frame has passed, and for 3 s at least (a loaded machine
    // may need longer to send them).
    const auto sending = std::chrono::steady_clock::now() - pausedAt;
    if (sending < 3s) std::this_thread::sleep_for(3s - sending);
    text += ReadUntil(out, "\x01");  // everything up to dnetmon's end
    ::close(out);
    ASSERT_TRUE(monitor.WaitExit(10s));
    EXPECT_EQ(monitor.ExitCode(), 0) << ReadFile(dir / "dnetmon.err");
    DNetTest_StopDrv(kKey);

    EXPECT_EQ(text.find("lost"), std::string::npos);
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    std::istringstream lines(text);
    std::string line;
    uint32_t expected = 0;
    const std::regex frame(R"( 37C  G1 mac 60 msg 13  \[4\] ([0-9A-F]{2}) ([0-9A-F]{2}) 00 00 )");
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, frame)) continue;
        const uint32_t n = static_cast<uint32_t>(std::stoul(m[2].str() + m[1].str(), nullptr, 16));
        ASSERT_EQ(n, expected) << line;
        ++expected;
    }
    EXPECT_EQ(expected, kFrames);
    std::filesystem::remove_all(dir);
}

// The monitor asks for the MAC ID of a demo slave: the slave answers its duplicate MAC ID check,
// the adapter stays off line, and dnetmon says so instead of showing an empty bus.
TEST(DnetmonOnEmulator, SaysWhenItsMacIdIsTaken) {
    const std::string bin = Env("NORVANE_BIN_DIR");
    const std::string source = Env("NORVANE_SOURCE_DIR");
    if (!std::filesystem::exists(bin + "/adapter-emu") || !std::filesystem::exists(bin + "/dnetmon")) {
        GTEST_SKIP() << "adapter-emu or dnetmon is not built";
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnetmon-taken-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::filesystem::path devices = dir / "dev";
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    Child emulator;
    ASSERT_TRUE(
        emulator.Start({bin + "/adapter-emu", "--dir", devices.string(), "--bus", source + "/resources/demo/bus.xml"},
                       dir / "emu.out"));
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(devices / "adapter0" / "PIPE08"); }, 5s));
    Child monitor;
    ASSERT_TRUE(monitor.Start({bin + "/dnetmon", "--card", "0", "--mac", "4", "--seconds", "10"}, dir / "dnetmon.out"));
    ASSERT_TRUE(monitor.WaitExit(10s));
    EXPECT_EQ(monitor.ExitCode(), 1);
    const std::string text = ReadFile(dir / "dnetmon.out");
    EXPECT_NE(text.find("427  G2 mac  4 msg  7  [7] 80 E2 04 04 00 56 4E"), std::string::npos) << text;
    EXPECT_NE(text.find("dnetmon: MAC ID 4 is taken by another device (vendor ID 1250, serial number 0x4E560004); "
                        "the adapter is not on line, --mac chooses another\n"),
              std::string::npos)
        << text;
    std::filesystem::remove_all(dir);
}

TEST(DnetmonOnEmulator, RefusesBadArgumentsAndAbsentAdapters) {
    const std::string bin = Env("NORVANE_BIN_DIR");
    if (!std::filesystem::exists(bin + "/dnetmon")) GTEST_SKIP() << "dnetmon is not built";
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("dnetmon-args-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "empty");
    ::setenv("TAMSEN_DEVICE_DIR", (dir / "empty").c_str(), 1);
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {{"--card", "8"}, 2, "--card must be a number from 0 to 7, not \"8\""},
        {{"--mac", "64"}, 2, "--mac must be a number from 0 to 63"},
        {{"--baud", "1000"}, 2, "--baud must be 125, 250 or 500"},
        {{"--produce", "800#00"}, 2, "--produce needs ID#DATA"},
        {{"--bogus"}, 2, "unknown argument \"--bogus\""},
        {{"--filter-mac", "1,64"},
         2,
         "--filter-mac needs numbers or ranges from 0 to 63 such as 1,4,10-12, not \"1,64\""},
        {{"--filter-group", "5"}, 2, "--filter-group needs numbers or ranges from 1 to 4 such as 1,2, not \"5\""},
        {{"--buffer", "0"}, 2, "--buffer must be a number from 1 to 67108864, not \"0\""},
        {{"--card", "0", "--seconds", "1"}, 1, "dnetmon: no adapter was started"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {bin + "/dnetmon"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Child child;
        ASSERT_TRUE(child.Start(args, dir / "out"));
        ASSERT_TRUE(child.WaitExit(10s));
        EXPECT_EQ(child.ExitCode(), c.code) << c.says;
        EXPECT_NE(ReadFile(dir / "out").find(c.says), std::string::npos) << ReadFile(dir / "out");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
