// The adapter-emu program: options, bad bus files, serving a folder, the control socket, and the
// program's start sequence end to end through libvarda.so and libtamsen.so.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/module.h"
#include "testing/build_paths.h"
#include "testing/master_records.h"
#include "testing/registry.h"
#include "testing/temp_dir.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;

using testkit::BinDir;
using testkit::SourceDir;

std::string Program() { return BinDir() + "/adapter-emu"; }

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(int fd) {
    std::string s;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) s.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Runs the program to its end.
Outcome RunProgram(std::vector<std::string> args) {
    int out[2], err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::close(out[0]);
        ::close(err[0]);
        std::vector<char*> argv;
        const std::string program = Program();
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    Outcome o;
    o.out = ReadAll(out[0]);
    o.err = ReadAll(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// The daemon in the background, stopped with SIGTERM.
class Daemon {
public:
    bool Start(const std::filesystem::path& dir, std::vector<std::string> extra = {}) {
        dir_ = dir;
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<std::string> args{Program(), "--dir", dir.string()};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 2);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        for (int i = 0; i < 500; ++i) {
            if (std::filesystem::exists(dir / "control")) return true;
            int status;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    // SIGTERM and the exit code.
    int Stop() {
        if (pid_ <= 0) return -1;
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Daemon() { Stop(); }

private:
    std::filesystem::path dir_;
    pid_t pid_ = -1;
};

std::string ControlCommand(const std::filesystem::path& dir, const std::string& line) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, (dir / "control").c_str(), sizeof(a.sun_path) - 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return "(no connection)";
    }
    const std::string l = line + "\n";
    [[maybe_unused]] ssize_t n = ::send(fd, l.data(), l.size(), MSG_NOSIGNAL);
    std::string reply;
    char c;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n') reply.push_back(c);
    ::close(fd);
    return reply;
}

TEST(DaemonTest, HelpExplainsEveryOptionAndTheBusFile) {
    Outcome o = RunProgram({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    for (const char* text : {"--dir DIR", "--adapters N", "--bus FILE", "--state DIR", "--fast", "--verbose",
                             "<slave mac=", "inputs=\"constant|counter|loopback\"", "<parameter", "<attribute",
                             "<fault type=\"silent\" after=", "drop-ack", "unplug"}) {
        EXPECT_NE(o.out.find(text), std::string::npos) << text;
    }
}

TEST(DaemonTest, BadArgumentsAndBusFiles) {
    const testkit::TempDir temp("emd-args");
    const auto dir = temp.Dir();
    std::ofstream(dir / "bad.xml") << "<bus>\n<slave mac=\"70\"/>\n</bus>\n";
    std::ofstream(dir / "broken.xml") << "<bus>\n<slave mac=\"1\">\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string err;  // the first line of stderr
    };
    const std::vector<Case> cases = {
        {{}, 2, "adapter-emu: --dir is required"},
        {{"--dir", (dir / "d").string(), "--adapters", "0"}, 2, "adapter-emu: --adapters must be 1 to 16, not \"0\""},
        {{"--dir", (dir / "d").string(), "--speed"}, 2, "adapter-emu: unknown argument \"--speed\""},
        {{"--dir", (dir / "d").string(), "--dup-mac-timeout", "1001"},
         2,
         "adapter-emu: --dup-mac-timeout must be 1 to 1000 (ms), not \"1001\""},
        {{"--dir", (dir / "d").string(), "--dup-mac-timeout", "0"},
         2,
         "adapter-emu: --dup-mac-timeout must be 1 to 1000 (ms), not \"0\""},
        {{"--dir", (dir / "d").string(), "--bus", (dir / "bad.xml").string()},
         2,
         "adapter-emu: " + (dir / "bad.xml").string() + ":2: <slave>: mac must be a number from 0 to 63, not \"70\""},
        {{"--dir", (dir / "d").string(), "--bus", (dir / "none.xml").string()},
         2,
         "adapter-emu: " + (dir / "none.xml").string() + ": cannot be read"},
    };
    for (const auto& c : cases) {
        Outcome o = RunProgram(c.args);
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        EXPECT_EQ(o.err.substr(0, o.err.find('\n')), c.err);
    }
    Outcome broken = RunProgram({"--dir", (dir / "d").string(), "--bus", (dir / "broken.xml").string()});
    EXPECT_EQ(broken.exitCode, 2);
    EXPECT_EQ(broken.err.rfind("adapter-emu: " + (dir / "broken.xml").string() + ":", 0), 0u) << broken.err;
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1) << "one line: " << broken.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "d")) << "nothing created for a bad bus file";
}

TEST(DaemonTest, ServesItsFolderUntilTerminated) {
    const testkit::TempDir temp("emd-serve");
    const auto dir = temp.Dir();
    const auto devices = dir / "devices";
    Daemon d;
    ASSERT_TRUE(d.Start(devices, {"--adapters", "2", "--bus", SourceDir() + "/resources/demo/bus.xml"}));
    for (const char* p : {"adapter0/PIPE00", "adapter0/PIPE09", "adapter1/PIPE05"}) {
        EXPECT_TRUE(std::filesystem::exists(devices / p)) << p;
    }
    Outcome second = RunProgram({"--dir", devices.string()});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_EQ(second.err, "adapter-emu: " + devices.string() + ": another adapter-emu is serving this folder\n");
    EXPECT_EQ(ControlCommand(devices, "1 slave 5 stop"), "ok");
    EXPECT_EQ(ControlCommand(devices, "1 slave 9 stop"), "error: no slave at MAC ID 9");
    EXPECT_EQ(ControlCommand(devices, "0 stall 3"), "ok");
    EXPECT_EQ(d.Stop(), 0);
    EXPECT_FALSE(std::filesystem::exists(devices)) << "sockets and folders removed";
}

TEST(EndToEndTest, StartSequenceOfTheProgramOnTheDemoNetwork) {
    const std::string varda = BinDir() + "/libvarda.so";
    const std::string tamsen = BinDir() + "/libtamsen.so";
    if (!std::filesystem::exists(varda) || !std::filesystem::exists(tamsen)) {
        GTEST_SKIP() << "libvarda.so or libtamsen.so is not built";
    }
    const testkit::TempDir temp("emd-e2e");
    const auto dir = temp.Dir();
    const auto devices = dir / "devices";
    const auto state = dir / "state";
    auto daemon = std::make_unique<Daemon>();
    const std::vector<std::string> options{"--bus", SourceDir() + "/resources/demo/bus.xml", "--state", state.string(),
                                           "--fast"};
    ASSERT_TRUE(daemon->Start(devices, options));
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    const std::string registry = (dir / "registry.reg").string();
    ASSERT_TRUE(testkit::RegisterDeviceLibrary(registry, 101, tamsen));
    ::setenv("VARDA_REGISTRY", registry.c_str(), 1);
    int error = 0;
    std::string message;
    platform::Module module = platform::Module::Load(varda, error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    const VardaFunctions api = testkit::LoadVardaFunctions(module);
    ASSERT_TRUE(api.Complete());

    // Open, Init, RemoveSlave all, AddSlave each, SaveCfg, Online, StartScan.
    ASSERT_EQ(api.Open(101, 0, 0), 0u);
    const VARDA_INIT_PARAM p = testkit::InitParam();
    uint32_t handle = VARDA_INVALID_HANDLE;
    ASSERT_EQ(api.Init(101, 0, 0, &p, &handle), 0u);
    ASSERT_EQ(api.RemoveSlave(handle, VARDA_ALL_SLAVES), 0u);
    const std::vector<VARDA_SLAVE_CONFIG> slaves = {
        testkit::SlaveRecord(1, 101, VARDA_FLAGS_POLL_ONLY, {.pollIn = 4, .pollOut = 2}),
        testkit::SlaveRecord(2, 102, VARDA_FLAGS_STROBE_ONLY, {.strobeIn = 1}),
        testkit::SlaveRecord(3, 103, VARDA_FLAGS_NO_POLL_NO_STROBE | VARDA_FLAGS_COS, {.cosIn = 4}),
        testkit::SlaveRecord(4, 104, VARDA_FLAGS_POLL_ONLY, {.pollIn = 4, .pollOut = 4}),
        testkit::SlaveRecord(5, 105, VARDA_FLAGS_NO_POLL_NO_STROBE | VARDA_FLAGS_CYCLIC, {.cosIn = 2, .cosOut = 2}),
    };
    for (const auto& s : slaves) ASSERT_EQ(api.AddSlave(handle, &s), 0u) << s.MacId;
    EXPECT_EQ(api.AddSlave(handle, &slaves[0]), VARDA_ERR_SLAVE_EXISTS);
    ASSERT_EQ(api.SaveCfg(handle), 0u);
    ASSERT_EQ(api.Online(handle), 0u);
    ASSERT_EQ(api.StartScan(handle), 0u);
    for (const auto& s : slaves) {
        uint32_t st = 999;
        for (int i = 0; i < 500 && st != 0; ++i) {
            st = api.GetSlaveStatus(handle, s.MacId);
            if (st != 0) std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(st, 0u) << "slave " << s.MacId;
    }
    EXPECT_EQ(api.RemoveSlave(handle, 6), VARDA_ERR_NO_SLAVE);

    // Explicit messages through the whole stack: a parameter of the drive, a CIP error, and the
    // unconfigured device 6 (the network search finds it).
    const uint8_t attr1[1] = {1};
    uint8_t reply[50] = {};
    uint32_t length = sizeof reply;
    ASSERT_EQ(api.EMRequest(handle, 4, CIP_GET_ATTRIBUTE_SINGLE, 0x0F, 9, attr1, 1, reply, &length, 3000), 0u);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + length), (std::vector<uint8_t>{0x90, 0x01}));  // 400 V
    const uint8_t set[3] = {1, 0x00, 0x10};  // 4096 V: above the maximum
    length = sizeof reply;
    ASSERT_EQ(api.EMRequest(handle, 4, CIP_SET_ATTRIBUTE_SINGLE, 0x0F, 9, set, 3, reply, &length, 5000), 0u);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + length), (std::vector<uint8_t>{0x94, 0x09, 0xFF}));
    length = 4;
    ASSERT_EQ(api.EMRequest(handle, 6, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attr1, 1, reply, &length, 2000), 0u);
    EXPECT_EQ(reply[0] | (reply[1] << 8), 1250);
    length = 4;
    EXPECT_EQ(api.EMRequest(handle, 20, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attr1, 1, reply, &length, 2000),
              VARDA_ERR_TIMEOUT);
    uint8_t in[8] = {};
    uint32_t inLength = sizeof in;
    ASSERT_EQ(api.ReadSlaveIO(handle, 2, VARDA_CONN_BIT_STROBE, in, &inLength, 0), 0u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + inLength), (std::vector<uint8_t>{0x01}));

    // A fault injected from outside reaches the caller; the adapter stays usable.
    ASSERT_EQ(ControlCommand(devices, "0 error-ack 61 for 0x4F"), "ok");
    EXPECT_EQ(api.GetSlaveStatus(handle, 1), VARDA_ERR_INTERNAL);
    EXPECT_EQ(api.GetSlaveStatus(handle, 1), 0u);

    EXPECT_EQ(api.StopScan(handle), 0u);
    EXPECT_EQ(api.GetSlaveStatus(handle, 1), VARDA_SLAVE_SCANNER_STOPPED);
    EXPECT_EQ(api.Offline(handle), 0u);
    EXPECT_EQ(api.Uninit(handle), 0u);
    EXPECT_EQ(api.Close(101, 0), 0u);

    // The saved scan list is still in the adapter after a restart of the emulator.
    EXPECT_EQ(daemon->Stop(), 0);
    daemon = std::make_unique<Daemon>();
    ASSERT_TRUE(daemon->Start(devices, options));
    ASSERT_EQ(api.Open(101, 0, 0), 0u);
    handle = VARDA_INVALID_HANDLE;
    ASSERT_EQ(api.Init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(api.GetSlaveStatus(handle, 5), VARDA_SLAVE_NOT_INITIALISED);
    EXPECT_EQ(api.AddSlave(handle, &slaves[2]), VARDA_ERR_SLAVE_EXISTS);
    EXPECT_EQ(api.Uninit(handle), 0u);
    EXPECT_EQ(api.Close(101, 0), 0u);

    ::unsetenv("TAMSEN_DEVICE_DIR");
    ::unsetenv("VARDA_DEBUG_OUTPUT");
    ::unsetenv("VARDA_REGISTRY");
    module = platform::Module();
    daemon.reset();
}

}  // namespace
