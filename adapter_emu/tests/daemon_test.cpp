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
#include "platform/registry_file.h"
#include "varda_api.h"

namespace {

using namespace std::chrono_literals;

std::string BinDir() {
    const char* d = std::getenv("NORVANE_BIN_DIR");
    return d ? d : "";
}
std::string SourceDir() {
    const char* d = std::getenv("NORVANE_SOURCE_DIR");
    return d ? d : "";
}
std::string Program() { return BinDir() + "/adapter-emu"; }

std::filesystem::path TempDir(const std::string& name) {
    auto d = std::filesystem::path("/tmp") / ("emd-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    return d;
}

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
    const auto dir = TempDir("args");
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
        {{"--dir", (dir / "d").string(), "--bus", (dir / "bad.xml").string()}, 2,
         "adapter-emu: " + (dir / "bad.xml").string() + ":2: <slave>: mac must be a number from 0 to 63, not \"70\""},
        {{"--dir", (dir / "d").string(), "--bus", (dir / "none.xml").string()}, 2,
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
    std::filesystem::remove_all(dir);
}

TEST(DaemonTest, ServesItsFolderUntilTerminated) {
    const auto dir = TempDir("serve");
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
    std::filesystem::remove_all(dir);
}

template <typename Fn>
Fn Resolve(const platform::Module& module, const char* name) {
    return reinterpret_cast<Fn>(module.Symbol(name));
}

// The master API as the program uses it, through the dispatcher.
struct MasterApi {
    platform::Module module;
    PFN_VARDA_Open open;
    PFN_VARDA_Close close;
    PFN_VARDA_Init init;
    PFN_VARDA_Uninit uninit;
    PFN_VARDA_Online online;
    PFN_VARDA_Offline offline;
    PFN_VARDA_StartScan startScan;
    PFN_VARDA_StopScan stopScan;
    PFN_VARDA_AddSlave addSlave;
    PFN_VARDA_RemoveSlave removeSlave;
    PFN_VARDA_SaveCfg saveCfg;
    PFN_VARDA_EMRequest emRequest;
    PFN_VARDA_ReadSlaveIO readIo;
    PFN_VARDA_GetSlaveStatus status;

    bool Load(const std::string& path, std::string& message) {
        int error = 0;
        module = platform::Module::Load(path, error, message);
        if (!module.IsLoaded()) return false;
        open = Resolve<PFN_VARDA_Open>(module, "VARDA_Open");
        close = Resolve<PFN_VARDA_Close>(module, "VARDA_Close");
        init = Resolve<PFN_VARDA_Init>(module, "VARDA_Init");
        uninit = Resolve<PFN_VARDA_Uninit>(module, "VARDA_Uninit");
        online = Resolve<PFN_VARDA_Online>(module, "VARDA_Online");
        offline = Resolve<PFN_VARDA_Offline>(module, "VARDA_Offline");
        startScan = Resolve<PFN_VARDA_StartScan>(module, "VARDA_StartScan");
        stopScan = Resolve<PFN_VARDA_StopScan>(module, "VARDA_StopScan");
        addSlave = Resolve<PFN_VARDA_AddSlave>(module, "VARDA_AddSlave");
        removeSlave = Resolve<PFN_VARDA_RemoveSlave>(module, "VARDA_RemoveSlave");
        saveCfg = Resolve<PFN_VARDA_SaveCfg>(module, "VARDA_SaveCfg");
        emRequest = Resolve<PFN_VARDA_EMRequest>(module, "VARDA_EMRequest");
        readIo = Resolve<PFN_VARDA_ReadSlaveIO>(module, "VARDA_ReadSlaveIO");
        status = Resolve<PFN_VARDA_GetSlaveStatus>(module, "VARDA_GetSlaveStatus");
        return true;
    }
};

VARDA_SLAVE_CONFIG Slave(uint32_t mac, uint16_t code, uint8_t flags, uint8_t strobeIn, uint8_t pollIn, uint8_t pollOut,
                         uint8_t cosIn, uint8_t cosOut) {
    VARDA_SLAVE_CONFIG s{};
    s.MacId = mac;
    s.VendorId = 1250;
    s.ProductCode = code;
    s.ConnectionFlags = flags;
    s.StrobeInputSize = strobeIn;
    s.StrobeOutputSize = strobeIn ? 8 : 0;
    s.PollInputSize = pollIn;
    s.PollOutputSize = pollOut;
    s.CosInputSize = cosIn;
    s.CosOutputSize = cosOut;
    s.HeartbeatTime = 250;
    s.AckTimeout = 16;
    s.ProductionInhibitTime = 1;
    return s;
}

TEST(EndToEndTest, StartSequenceOfTheProgramOnTheDemoNetwork) {
    const std::string varda = BinDir() + "/libvarda.so";
    const std::string tamsen = BinDir() + "/libtamsen.so";
    if (!std::filesystem::exists(varda) || !std::filesystem::exists(tamsen)) {
        GTEST_SKIP() << "libvarda.so or libtamsen.so is not built";
    }
    const auto dir = TempDir("e2e");
    const auto devices = dir / "devices";
    const auto state = dir / "state";
    auto daemon = std::make_unique<Daemon>();
    const std::vector<std::string> options{"--bus", SourceDir() + "/resources/demo/bus.xml", "--state", state.string(),
                                           "--fast"};
    ASSERT_TRUE(daemon->Start(devices, options));
    ::setenv("TAMSEN_DEVICE_DIR", devices.c_str(), 1);
    ::setenv("VARDA_DEBUG_OUTPUT", (dir / "debug.log").c_str(), 1);
    const std::string registry = (dir / "registry.reg").string();
    ASSERT_TRUE(platform::RegWriteString(registry, "SOFTWARE\\BRAMWELL\\VARDA\\101", "DLL", tamsen));
    ::setenv("VARDA_REGISTRY", registry.c_str(), 1);
    MasterApi api;
    std::string message;
    ASSERT_TRUE(api.Load(varda, message)) << message;

    // Open, Init, RemoveSlave all, AddSlave each, SaveCfg, Online, StartScan.
    ASSERT_EQ(api.open(101, 0, 0), 0u);
    VARDA_INIT_PARAM p{};
    p.MacId = 0;
    p.ScanDelay = 10;
    p.IntervalScanCycle = 1;
    p.ExpectedPacketRate = 75;
    p.RetryCount = 1;
    uint32_t handle = VARDA_INVALID_HANDLE;
    ASSERT_EQ(api.init(101, 0, 0, &p, &handle), 0u);
    ASSERT_EQ(api.removeSlave(handle, VARDA_ALL_SLAVES), 0u);
    const std::vector<VARDA_SLAVE_CONFIG> slaves = {
        Slave(1, 101, VARDA_FLAGS_POLL_ONLY, 0, 4, 2, 0, 0),
        Slave(2, 102, VARDA_FLAGS_STROBE_ONLY, 1, 0, 0, 0, 0),
        Slave(3, 103, VARDA_FLAGS_NO_POLL_NO_STROBE | VARDA_FLAGS_COS, 0, 0, 0, 4, 0),
        Slave(4, 104, VARDA_FLAGS_POLL_ONLY, 0, 4, 4, 0, 0),
        Slave(5, 105, VARDA_FLAGS_NO_POLL_NO_STROBE | VARDA_FLAGS_CYCLIC, 0, 0, 0, 2, 2),
    };
    for (const auto& s : slaves) ASSERT_EQ(api.addSlave(handle, &s), 0u) << s.MacId;
    EXPECT_EQ(api.addSlave(handle, &slaves[0]), VARDA_ERR_SLAVE_EXISTS);
    ASSERT_EQ(api.saveCfg(handle), 0u);
    ASSERT_EQ(api.online(handle), 0u);
    ASSERT_EQ(api.startScan(handle), 0u);
    for (const auto& s : slaves) {
        uint32_t st = 999;
        for (int i = 0; i < 500 && st != 0; ++i) {
            st = api.status(handle, s.MacId);
            if (st != 0) std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(st, 0u) << "slave " << s.MacId;
    }
    EXPECT_EQ(api.removeSlave(handle, 6), VARDA_ERR_NO_SLAVE);

    // Explicit messages through the whole stack: a parameter of the drive, a CIP error, and the
    // unconfigured device 6 (the network search finds it).
    const uint8_t attr1[1] = {1};
    uint8_t reply[50] = {};
    uint32_t length = sizeof reply;
    ASSERT_EQ(api.emRequest(handle, 4, CIP_GET_ATTRIBUTE_SINGLE, 0x0F, 9, attr1, 1, reply, &length, 3000), 0u);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + length), (std::vector<uint8_t>{0x90, 0x01}));  // 400 V
    const uint8_t set[3] = {1, 0x00, 0x10};  // 4096 V: above the maximum
    length = sizeof reply;
    ASSERT_EQ(api.emRequest(handle, 4, CIP_SET_ATTRIBUTE_SINGLE, 0x0F, 9, set, 3, reply, &length, 5000), 0u);
    EXPECT_EQ(std::vector<uint8_t>(reply, reply + length), (std::vector<uint8_t>{0x94, 0x09, 0xFF}));
    length = 4;
    ASSERT_EQ(api.emRequest(handle, 6, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attr1, 1, reply, &length, 2000), 0u);
    EXPECT_EQ(reply[0] | (reply[1] << 8), 1250);
    length = 4;
    EXPECT_EQ(api.emRequest(handle, 20, CIP_GET_ATTRIBUTE_SINGLE, 1, 1, attr1, 1, reply, &length, 2000),
              VARDA_ERR_TIMEOUT);
    uint8_t in[8] = {};
    uint32_t inLength = sizeof in;
    ASSERT_EQ(api.readIo(handle, 2, VARDA_CONN_BIT_STROBE, in, &inLength, 0), 0u);
    EXPECT_EQ(std::vector<uint8_t>(in, in + inLength), (std::vector<uint8_t>{0x01}));

    // A fault injected from outside reaches the caller; the adapter stays usable.
    ASSERT_EQ(ControlCommand(devices, "0 error-ack 61 for 0x4F"), "ok");
    EXPECT_EQ(api.status(handle, 1), VARDA_ERR_INTERNAL);
    EXPECT_EQ(api.status(handle, 1), 0u);

    EXPECT_EQ(api.stopScan(handle), 0u);
    EXPECT_EQ(api.status(handle, 1), VARDA_SLAVE_SCANNER_STOPPED);
    EXPECT_EQ(api.offline(handle), 0u);
    EXPECT_EQ(api.uninit(handle), 0u);
    EXPECT_EQ(api.close(101, 0), 0u);

    // The saved scan list is still in the adapter after a restart of the emulator.
    EXPECT_EQ(daemon->Stop(), 0);
    daemon = std::make_unique<Daemon>();
    ASSERT_TRUE(daemon->Start(devices, options));
    ASSERT_EQ(api.open(101, 0, 0), 0u);
    handle = VARDA_INVALID_HANDLE;
    ASSERT_EQ(api.init(101, 0, 0, &p, &handle), 0u);
    EXPECT_EQ(api.status(handle, 5), VARDA_SLAVE_NOT_INITIALISED);
    EXPECT_EQ(api.addSlave(handle, &slaves[2]), VARDA_ERR_SLAVE_EXISTS);
    EXPECT_EQ(api.uninit(handle), 0u);
    EXPECT_EQ(api.close(101, 0), 0u);

    ::unsetenv("TAMSEN_DEVICE_DIR");
    ::unsetenv("VARDA_DEBUG_OUTPUT");
    ::unsetenv("VARDA_REGISTRY");
    api.module = platform::Module();
    daemon.reset();
    std::filesystem::remove_all(dir);
}

}  // namespace
