// The demo network against adapter-emu: norvanectl run through libvarda.so, libtamsen.so and the
// emulator's socket driver; parameter transfers reaching the emulated parameter objects.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "report_capture.h"
#include "testing/build_paths.h"
#include "testing/child_process.h"
#include "testing/emulator_session.h"
#include "testing/test_home.h"

namespace {

using testkit::BinDir;
using testkit::ChildProcess;
using testkit::EmulatorSession;
using testkit::ReadFile;
using testkit::SourceDir;
using testkit::TestHome;

// The emulator serving the demo bus (the valve manifold goes silent after `silentAfter` s), with
// its command log.
EmulatorSession::Options DemoOptions() {
    EmulatorSession::Options options;
    options.arguments = {"--fast", "--verbose"};
    options.keepState = true;
    return options;
}

std::string DemoBus(int silentAfter) {
    std::string bus = ReadFile(SourceDir() + "/resources/demo/bus.xml");
    return std::regex_replace(bus, std::regex("after=\"60\""), "after=\"" + std::to_string(silentAfter) + "\"");
}

// The emulator's variables and the program folder, for norvanectl.
std::map<std::string, std::string> CtlEnv(const EmulatorSession& emulator, const TestHome& home) {
    std::map<std::string, std::string> env = emulator.Env();
    env["NORVANE_HOME"] = home.ProgramDir();
    return env;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) ++n;
    return n;
}

std::string DemoNetwork() { return SourceDir() + "/resources/demo/demo.kld"; }

TEST(DemoEndToEnd, RunBringsTheDemoNetworkOnLine) {
    TestHome home("demo");
    EmulatorSession emulator(DemoBus(3), DemoOptions());
    ASSERT_TRUE(emulator.Ready()) << emulator.ErrorOutput();
    std::optional<int> code;
    {
        ChildProcess ctl(BinDir() + "/norvanectl", {"run", DemoNetwork(), "--seconds", "8"}, emulator.Env(),
                         home.Path("out"), home.Path("err"));
        code = ctl.Wait(std::chrono::seconds(60));
    }
    std::string out = ReadFile(home.Path("out"));
    EXPECT_EQ(code, 0) << out << ReadFile(home.Path("err"));
    for (int mac : {1, 2, 3, 4, 5}) {
        EXPECT_NE(out.find("(" + std::to_string(mac) + "): [从站在线]"), std::string::npos) << mac << "\n" << out;
    }
    EXPECT_NE(out.find("(7): [ 设备在扫描列表中，但没有应答 ]"), std::string::npos) << out;
    // Status lines name their master as the start line does.
    const std::size_t started = out.find(" started ");
    ASSERT_NE(started, std::string::npos) << out;
    const std::string master = out.substr(started + 9, out.find('\n', started) - started - 9);
    EXPECT_NE(out.find(" status " + master + " "), std::string::npos) << master << "\n" << out;
    EXPECT_NE(out.find("(5): [ 设备停止通信 ]"), std::string::npos) << out;
    EXPECT_NE(out.find(" stopped "), std::string::npos) << out;
    std::string log = emulator.Stop();
    EXPECT_EQ(Count(log, "cmd Open "), 1) << "the adapter is opened once";
    EXPECT_EQ(Count(log, "cmd Close "), 1) << "and closed once when the run stops";
}

TEST(DemoEndToEnd, InterruptStopsCleanly) {
    TestHome home("demo");
    EmulatorSession emulator(DemoBus(60), DemoOptions());
    ASSERT_TRUE(emulator.Ready());
    ChildProcess ctl(BinDir() + "/norvanectl", {"run", DemoNetwork()}, CtlEnv(emulator, home), home.Path("out"),
                     home.Path("err"));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ReadFile(home.Path("out")).find("[从站在线]") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ctl.Signal(SIGINT);
    EXPECT_EQ(ctl.Wait(std::chrono::seconds(30)), 0);
    std::string out = ReadFile(home.Path("out"));
    EXPECT_NE(out.find("stop requested (signal 2)"), std::string::npos) << out;
    EXPECT_NE(out.find(" stopped "), std::string::npos) << out;
    EXPECT_EQ(Count(emulator.Stop(), "cmd Close "), 1);
}

TEST(DemoEndToEnd, AMasterThatCannotStartFailsTheRun) {
    TestHome home("demo");
    EmulatorSession emulator(DemoBus(60), DemoOptions());
    ASSERT_TRUE(emulator.Ready());
    std::string network = ReadFile(DemoNetwork());
    network.replace(network.find("addr=\"0\""), 8, "addr=\"5\"");  // no such adapter
    std::ofstream(home.Path("missing-card.kld")) << network;
    std::optional<int> code;
    {
        ChildProcess ctl(BinDir() + "/norvanectl", {"run", home.Path("missing-card.kld"), "--seconds", "1"},
                         CtlEnv(emulator, home), home.Path("out"), home.Path("err"));
        code = ctl.Wait(std::chrono::seconds(60));
    }
    std::string out = ReadFile(home.Path("out"));
    EXPECT_EQ(code, 1) << out;
    EXPECT_NE(out.find("could not start"), std::string::npos) << out;
    EXPECT_NE(out.find("error VARDA_Open(类型=101,地址=5)-- | 错误号:44( 设备不存在 )"), std::string::npos) << out;
}

TEST(DemoEndToEnd, ParametersReachTheEmulatedDevice) {
    TestHome home("demo");
    EmulatorSession emulator(DemoBus(60), DemoOptions());
    ASSERT_TRUE(emulator.Ready());
    emulator.Apply();
    ReportCapture reports;
    {
        NetworkRegistry network;
        NetworkFileResult loaded = LoadNetworkFile(network, DemoNetwork());
        ASSERT_TRUE(loaded.parsed);
        CServerDev* master = network.FindMaster(101, 0, 0);
        ASSERT_NE(master, nullptr);
        ASSERT_EQ(master->Start(), 1);

        // Parameter 1 of the drive (MAC 4): "Accel Time", UINT, class 0x0F instance 1 attribute 1.
        const std::vector<uint8_t> accel{0x20, 0x0F, 0x24, 0x01, 0x30, 0x01};
        double value = -1;
        EXPECT_EQ(master->UploadParameter(4, {accel, 199, 2, &value}), 0u);
        EXPECT_EQ(value, 100);
        value = 250;
        EXPECT_EQ(master->DownloadParameter(4, {accel, 199, 2, &value}), 0u);
        value = -1;
        EXPECT_EQ(master->UploadParameter(4, {accel, 199, 2, &value}), 0u);
        EXPECT_EQ(value, 250) << "the download reached the device";

        // Parameter 6, "Speed Offset", INT: negative values both ways.
        const std::vector<uint8_t> offset{0x20, 0x0F, 0x24, 0x06, 0x30, 0x01};
        value = -120;
        EXPECT_EQ(master->DownloadParameter(4, {offset, 195, 2, &value}), 0u);
        value = 0;
        EXPECT_EQ(master->UploadParameter(4, {offset, 195, 2, &value}), 0u);
        EXPECT_EQ(value, -120);

        // An absent device: the upload fails, is reported, and the value becomes 0.
        value = 5;
        EXPECT_NE(master->UploadParameter(7, {accel, 199, 2, &value}), 0u);
        EXPECT_EQ(value, 0);
        EXPECT_EQ(reports.Take().size(), 1u);
        EXPECT_EQ(master->InitCount(), 1u) << "the editor's uses are all given back";
        EXPECT_EQ(master->OnlineCount(), 1u);
        master->Stop();
    }
    std::string log = emulator.Stop();
    EXPECT_EQ(Count(log, "cmd Close "), 1);
}

}  // namespace
