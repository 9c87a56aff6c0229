// adapter-emu --usb as a program: its arguments, the environment and exit code of the program it
// runs, and the demo network driven by norvanectl through the USB path.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/build_paths.h"

namespace {

using testkit::BinDir;
using testkit::ReadFile;
using testkit::SourceDir;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs adapter-emu with `args` and the extra environment `env` ("NAME=value"), waiting at most
// `seconds` (then it is killed and the code is -1). With `terminateWhen`, adapter-emu gets
// SIGTERM once its standard output contains that text.
Result RunEmulator(const std::vector<std::string>& args, const std::vector<std::string>& env = {}, int seconds = 60,
                   const std::string& terminateWhen = "") {
    const auto dir = std::filesystem::temp_directory_path() / ("usbrun" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string out = (dir / "out").string(), err = (dir / "err").string();
    std::vector<std::string> all{BinDir() + "/adapter-emu"};
    all.insert(all.end(), args.begin(), args.end());
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(126);
    }
    Result r;
    int status = 0;
    bool terminated = false;
    for (int i = 0; i < seconds * 100; ++i) {
        if (!terminateWhen.empty() && !terminated && ReadFile(out).find(terminateWhen) != std::string::npos) {
            ::kill(pid, SIGTERM);
            terminated = true;
        }
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        ::usleep(10000);
    }
    if (r.code == -1) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    std::filesystem::remove_all(dir);
    return r;
}

TEST(UsbRunnerTest, WrongArgumentsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--usb", "1a2b", "--", "true"},
         "adapter-emu: --usb needs VID:PID in hexadecimal, such as 1a2b:0001, not \"1a2b\"\n"},
        {{"--usb", "1a2b:0001"}, "adapter-emu: --usb needs the program to run after --\n"},
        {{"--usb", "1a2b:0001", "--"}, "adapter-emu: --usb needs the program to run after --\n"},
        {{"--dir", "/tmp/x", "--", "true"}, "adapter-emu: a program after -- runs only with --usb\n"},
        {{"--usb"}, "adapter-emu: --usb needs a value\n"},
    };
    for (const Case& c : cases) {
        const Result r = RunEmulator(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
    }
}

TEST(UsbRunnerTest, ProgramSeesTheAdaptersAsUsbDevicesAndItsExitCodeIsKept) {
    const std::string script =
        "echo \"ids=$TAMSEN_USB_IDS dir=$TAMSEN_DEVICE_DIR preload=$LD_PRELOAD\"; ls /dev/bus/usb/001; "
        "cat /sys/bus/usb/devices/1-2/idVendor /sys/bus/usb/devices/1-2/idProduct; exit 3";
    const Result r = RunEmulator({"--usb", "1a2b:0001", "--adapters", "2", "--", "/bin/sh", "-c", script},
                                 {"TAMSEN_DEVICE_DIR=/tmp/socket-devices"});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_EQ(r.out, "ids=1a2b:0001 dir= preload=libumockdev-preload.so.0\n002\n003\n1a2b\n0001\n") << r.err;
    EXPECT_NE(r.err.find("adapter-emu: adapter 1 is USB device 1a2b:0001 at /dev/bus/usb/001/003\n"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("adapter-emu: stopped (/bin/sh exited with 3)\n"), std::string::npos) << r.err;
}

TEST(UsbRunnerTest, StopSignalIsPassedOnAndTheProgramIsWaitedFor) {
    const Result r = RunEmulator({"--usb", "1a2b:0001", "--", "/bin/sh", "-c",
                                  "trap 'echo stopping; exit 7' TERM; echo ready; while :; do sleep 0.05; done"},
                                 {}, 30, "ready");
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_EQ(r.out, "ready\nstopping\n");
}

TEST(UsbRunnerTest, ProgramThatCannotStartGives127) {
    const Result r = RunEmulator({"--usb", "1a2b:0001", "--", "/nonexistent/program"});
    EXPECT_EQ(r.code, 127);
    EXPECT_NE(r.err.find("adapter-emu: cannot start /nonexistent/program: No such file or directory\n"),
              std::string::npos)
        << r.err;
}

TEST(UsbRunnerTest, NorvanectlRunsTheDemoNetworkThroughUsb) {
    if (!std::filesystem::exists(BinDir() + "/norvanectl") || !std::filesystem::exists(BinDir() + "/libtamsen.so")) {
        GTEST_SKIP() << "norvanectl or libtamsen.so is not built";
    }
    const auto home = std::filesystem::temp_directory_path() / ("usbdemo" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    std::ofstream(home / "registry.reg")
        << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
        << BinDir() << "/libtamsen.so\"\n";
    const Result r =
        RunEmulator({"--usb", "1a2b:0001", "--bus", SourceDir() + "/resources/demo/bus.xml", "--fast", "--",
                     BinDir() + "/norvanectl", "run", SourceDir() + "/resources/demo/demo.kld", "--seconds", "3"},
                    {"VARDA_REGISTRY=" + (home / "registry.reg").string(), "NORVANE_HOME=" + (home / "home").string()});
    std::filesystem::remove_all(home);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    for (int mac : {1, 2, 3, 4, 5}) {
        EXPECT_NE(r.out.find("(" + std::to_string(mac) + "): [从站在线]"), std::string::npos) << mac << "\n" << r.out;
    }
    EXPECT_NE(r.out.find(" stopped "), std::string::npos) << r.out;
}

}  // namespace
