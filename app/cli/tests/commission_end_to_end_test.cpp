// Node commissioning against adapter-emu: norvanectl commission moving the new device of the
// commissioning demo bus from 63 to 12 (kept in the emulator's state folder), a device whose
// switches fix its address, a baud-rate change taking the device off a 125K bus, and the requests
// refused before anything reaches the device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/node_commissioning.h"
#include "network/server_dev.h"
#include "ctl_run.h"
#include "report_capture.h"
#include "testing/build_paths.h"
#include "testing/child_process.h"
#include "testing/emulator_session.h"
#include "testing/test_home.h"

namespace {

using testkit::EmulatorSession;
using testkit::ReadFile;
using testkit::SourceDir;
using testkit::TestHome;

using Result = CtlResult;

std::string DemoNetwork() { return SourceDir() + "/resources/demo/demo.kld"; }
std::string CommissionBus() { return ReadFile(SourceDir() + "/resources/demo/commission_bus.xml"); }

class CommissionTest : public ::testing::Test {
protected:
    CommissionTest() : home_("commission") {
        std::filesystem::create_directories(home_.ProgramDir() + "/edsfile");
        for (const auto& entry : std::filesystem::directory_iterator(SourceDir() + "/resources/demo/eds")) {
            std::filesystem::copy_file(entry.path(),
                                       home_.ProgramDir() + "/edsfile/" + entry.path().filename().string());
        }
        std::filesystem::create_directories(home_.Path("state"));
    }

    // The emulator with the bus and the test's own state folder, which outlives one emulator.
    std::unique_ptr<EmulatorSession> Emulator(const std::string& bus) {
        EmulatorSession::Options options;
        options.arguments = {"--fast", "--state", home_.Path("state")};
        auto emulator = std::make_unique<EmulatorSession>(bus, options);
        EXPECT_TRUE(emulator->Ready()) << emulator->ErrorOutput();
        return emulator;
    }

    Result Ctl(const EmulatorSession& emulator, const std::vector<std::string>& args) {
        return RunCtl(home_, args, emulator.Env());
    }

    // The "slave N: ..." lines of a search of the demo network from address 6.
    std::vector<std::string> Found(const EmulatorSession& emulator) {
        Result search = Ctl(emulator, {"search", DemoNetwork(), "--from", "6"});
        EXPECT_EQ(search.code, 0) << search.out << search.err;
        std::vector<std::string> lines;
        std::regex line("^slave [0-9]+:", std::regex::multiline);
        for (std::sregex_iterator it(search.out.begin(), search.out.end(), line), end; it != end; ++it) {
            lines.push_back(it->str());
        }
        return lines;
    }

    TestHome home_;
};

TEST_F(CommissionTest, NewDeviceMovesFrom63To12AndStaysThereAfterARestart) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    {
        auto emulator = Emulator(CommissionBus());
        EXPECT_EQ(Found(*emulator), (std::vector<std::string>{"slave 6:", "slave 63:"}));
        Result r = Ctl(*emulator, {"commission", DemoNetwork(), "--mac", "63", "--new-mac", "12"});
        EXPECT_EQ(r.code, 0) << r.out << r.err;
        EXPECT_EQ(r.out,
                  "commissioning address 63 as address 12\n"
                  "master on line, address 63 answers its scan\n"
                  "no device answers at the new address 12\n"
                  "device at address 63: vendor 1250, device type 0, product code 106, revision 1.3, serial "
                  "0x4E560063, ND-TT1 Temperature\n"
                  "MAC ID set to 12\n"
                  "the device answers at address 12 with serial 0x4E560063\n"
                  "done: the device of address 63 is at address 12\n");
        EXPECT_EQ(Found(*emulator), (std::vector<std::string>{"slave 6:", "slave 12:"}));
    }
    auto restarted = Emulator(CommissionBus());
    EXPECT_EQ(Found(*restarted), (std::vector<std::string>{"slave 6:", "slave 12:"}))
        << "the new address is kept in the state folder";
}

TEST_F(CommissionTest, FixedSwitchesRefuseTheNewAddressWith0x0E) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    auto emulator =
        Emulator(std::regex_replace(CommissionBus(), std::regex("switches=\"network\""), "switches=\"fixed\""));
    Result r = Ctl(*emulator, {"commission", DemoNetwork(), "--mac", "63", "--new-mac", "12", "--baud", "250K"});
    EXPECT_EQ(r.code, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("\nsetting the MAC ID failed: general status 0x0E ( 属性不可设置 )\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("baud rate set"), std::string::npos) << "no step after the refusal";
    EXPECT_EQ(Found(*emulator), (std::vector<std::string>{"slave 6:", "slave 63:"}));
}

TEST_F(CommissionTest, ABaudRateOf250KTakesTheDeviceOffThe125KBus) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    auto emulator = Emulator(CommissionBus());
    Result r = Ctl(*emulator, {"commission", DemoNetwork(), "--mac", "63", "--new-mac", "12", "--baud", "250k"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    for (const char* row : {"MAC ID set to 12\n", "baud rate set to 250K, taken at the reset\n",
                            "the device answers at address 12 with serial 0x4E560063\n",
                            "device reset; it now runs at 250K and no longer answers on this 125K bus\n",
                            "done: the device of address 63 is at address 12 at 250K\n"}) {
        EXPECT_NE(r.out.find(row), std::string::npos) << row << r.out;
    }
    EXPECT_EQ(Found(*emulator), (std::vector<std::string>{"slave 6:"})) << "silent at 12 and gone from 63";
}

TEST_F(CommissionTest, RefusalsSendNothingToTheDevice) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    auto emulator = Emulator(CommissionBus());
    emulator->Apply();
    ReportCapture reports;
    auto network = std::make_unique<NetworkRegistry>();
    ASSERT_TRUE(LoadNetworkFile(*network, DemoNetwork()).parsed);
    CServerDev* master = network->FindMaster(101, 0, 0);
    ASSERT_NE(master, nullptr);

    struct Case {
        CommissionRequest request;
        bool running;
        CommissionStep step;
        std::string row;
    };
    auto request = [](uint32_t mac, uint32_t newMac, std::optional<uint32_t> baud = std::nullopt) {
        CommissionRequest r;
        r.mac = mac;
        r.newMac = newMac;
        r.newBaud = baud;
        return r;
    };
    const Case cases[] = {
        {request(63, 0), false, CommissionStep::Check, "refused: new address 0 is the master's own MAC ID"},
        {request(0, 12), false, CommissionStep::Check, "refused: address 0 is the master's own MAC ID"},
        {request(63, 3), false, CommissionStep::Check,
         "refused: new address 3 is used by the configured slave ND-AI4 Analog Input(3)"},
        {request(63, 63), false, CommissionStep::Check,
         "refused: nothing to change: the new address is the current one"},
        {request(63, 12, 3), false, CommissionStep::Check, "refused: baud-rate code 3 is not 0..2"},
        {request(63, 12), true, CommissionStep::Check,
         "refused: the master is running: stop it before commissioning a node"},
        {request(63, 6), false, CommissionStep::NewAddressFree, "refused: a device answers at the new address 6"},
    };
    for (const Case& c : cases) {
        if (c.running) {
            ASSERT_EQ(master->Start(), 1);
        }
        std::vector<std::string> rows;
        NodeCommissioning commissioning;
        CommissionOutcome outcome =
            commissioning.Run(*master, c.request, [&](CommissionStep, const std::string& row) { rows.push_back(row); });
        if (c.running) master->Stop();
        EXPECT_EQ(outcome.end, CommissionEnd::Refused) << c.row;
        EXPECT_EQ(outcome.step, c.step) << c.row;
        EXPECT_EQ(outcome.message, c.row);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), c.row);
        EXPECT_FALSE(outcome.identity.has_value()) << c.row << ": the device was not asked";
        EXPECT_EQ(master->InitCount(), 0u) << c.row << ": the scan-list entries are put away";
    }
    reports.Take();
    network.reset();  // closes the adapter for norvanectl
    // Still at 63, untouched.
    EXPECT_EQ(Found(*emulator), (std::vector<std::string>{"slave 6:", "slave 63:"}));
}

}  // namespace
