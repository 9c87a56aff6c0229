// norvanectl search against adapter-emu's demo bus: the slaves found, their EDS files, and the
// written network bringing them on line.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "ctl_run.h"
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

using Result = CtlResult;

// A program folder whose edsfile folder holds the demo EDS files.
void AddDemoEds(const TestHome& home) {
    std::filesystem::create_directories(home.ProgramDir() + "/edsfile");
    for (const auto& entry : std::filesystem::directory_iterator(SourceDir() + "/resources/demo/eds"))
        std::filesystem::copy_file(entry.path(), home.ProgramDir() + "/edsfile/" + entry.path().filename().string());
}

Result Ctl(const EmulatorSession& emulator, const TestHome& home, const std::vector<std::string>& args) {
    return RunCtl(home, args, emulator.Env());
}

// The demo network file without its slaves.
std::string MasterOnlyNetwork(const TestHome& home) {
    std::string network = ReadFile(SourceDir() + "/resources/demo/demo.kld");
    std::size_t first = network.find("<Slave ");
    std::size_t last = network.rfind("</Slave>");
    network.erase(first, last + 8 - first);
    std::ofstream(home.Path("master-only.kld"), std::ios::binary) << network;
    return home.Path("master-only.kld");
}

std::vector<std::string> SlaveLines(const std::string& out) {
    std::vector<std::string> lines;
    std::regex line("^slave .*$", std::regex::multiline);
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it) lines.push_back(it->str());
    return lines;
}

TEST(SearchEndToEnd, FindsTheDemoSlavesWithTheirEdsFilesAndTheAddedNetworkRuns) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    TestHome home("search");
    AddDemoEds(home);
    EmulatorSession emulator(ReadFile(SourceDir() + "/resources/demo/bus.xml"));
    ASSERT_TRUE(emulator.Ready()) << emulator.ErrorOutput();

    Result search = Ctl(emulator, home, {"search", MasterOnlyNetwork(home), "--add", home.Path("found.kld")});
    EXPECT_EQ(search.code, 0) << search.out << search.err;
    EXPECT_EQ(SlaveLines(search.out),
              (std::vector<std::string>{
                  "slave 1: vendor 1250, device type 7, product code 101, revision 1.2, EDS nd_dio_16_8",
                  "slave 2: vendor 1250, device type 6, product code 102, revision 2.1, EDS nd_ps20",
                  "slave 3: vendor 1250, device type 115, product code 103, revision 1.1, EDS nd_ai4",
                  "slave 4: vendor 1250, device type 2, product code 104, revision 3.4, EDS nd_vf400",
                  "slave 5: vendor 1250, device type 27, product code 105, revision 1.0, EDS nd_vm8",
                  "slave 6: vendor 1250, device type 0, product code 106, revision 1.3, EDS nd_tt1"}))
        << search.out;
    EXPECT_NE(search.out.find("63 address(es) to probe"), std::string::npos) << search.out;
    EXPECT_NE(search.out.find("search finished: 6 slave(s) found"), std::string::npos) << search.out;

    Result run = Ctl(emulator, home, {"run", home.Path("found.kld"), "--seconds", "2"});
    EXPECT_EQ(run.code, 0) << run.out << run.err;
    for (const char* slave : {"nd_dio_16_8(1)", "nd_ps20(2)", "nd_ai4(3)", "nd_vf400(4)", "nd_vm8(5)", "nd_tt1(6)"})
        EXPECT_NE(run.out.find(std::string(slave) + ": [从站在线]"), std::string::npos) << slave << "\n" << run.out;
}

TEST(SearchEndToEnd, TheDemoNetworkLacksOnlyTheTemperatureTransmitter) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    TestHome home("search");
    AddDemoEds(home);
    EmulatorSession emulator(ReadFile(SourceDir() + "/resources/demo/bus.xml"));
    ASSERT_TRUE(emulator.Ready());
    Result search = Ctl(emulator, home, {"search", SourceDir() + "/resources/demo/demo.kld", "--from", "3"});
    EXPECT_EQ(search.code, 0) << search.out << search.err;
    EXPECT_EQ(SlaveLines(search.out),
              (std::vector<std::string>{
                  "slave 6: vendor 1250, device type 0, product code 106, revision 1.3, EDS nd_tt1"}));
    EXPECT_NE(search.out.find("57 address(es) to probe"), std::string::npos)
        << "3..63 without the configured 3, 4, 5 and 7\n"
        << search.out;
}

TEST(SearchEndToEnd, WithoutAnAdapterTheSearchFails) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    TestHome home("search");
    EmulatorSession emulator(ReadFile(SourceDir() + "/resources/demo/bus.xml"));
    ASSERT_TRUE(emulator.Ready());
    std::string network = ReadFile(SourceDir() + "/resources/demo/demo.kld");
    network.replace(network.find("addr=\"0\""), 8, "addr=\"5\"");
    std::ofstream(home.Path("missing-card.kld"), std::ios::binary) << network;
    Result search = Ctl(emulator, home, {"search", home.Path("missing-card.kld"), "--add", home.Path("out.kld")});
    EXPECT_EQ(search.code, 1) << search.out;
    EXPECT_NE(search.out.find("主站打开失败，已停止搜索"), std::string::npos) << search.out;
    EXPECT_FALSE(std::filesystem::exists(home.Path("out.kld")));
}

TEST(SearchEndToEnd, ArgumentErrors) {
    TestHome home("search");
    std::ofstream(home.Path("file.kld")) << "";
    struct Case {
        std::vector<std::string> args;
        std::string stderrHas;
    };
    const Case cases[] = {
        {{"search"}, "search needs a network file"},
        {{"search", home.Path("missing.kld")}, "cannot read network file"},
        {{"search", home.Path("file.kld"), "--from", "64"}, "--from needs an address 0..63, not '64'"},
        {{"search", home.Path("file.kld"), "--timeout", "99"}, "--timeout needs 100..30000 ms, not '99'"},
        {{"search", home.Path("file.kld"), "--timeout", "30001"}, "--timeout needs 100..30000 ms"},
        {{"search", home.Path("file.kld"), "--master", "0"}, "--master needs the position of a master from 1"},
        {{"search", home.Path("file.kld"), "--master", "2"}, "the network file has 0 master(s), no master 2"},
        {{"search", home.Path("file.kld"), "--add"}, "--add needs a value"},
        {{"search", home.Path("file.kld"), "--all"}, "unknown option '--all'"},
    };
    for (const Case& c : cases) {
        Result result;
        {
            ChildProcess ctl(BinDir() + "/norvanectl", c.args, {{"NORVANE_HOME", home.ProgramDir()}}, home.Path("out"),
                             home.Path("err"));
            result.code = ctl.Wait(std::chrono::seconds(30)).value_or(-1000);
        }
        result.err = ReadFile(home.Path("err"));
        EXPECT_EQ(result.code, 2) << c.args.back();
        EXPECT_NE(result.err.find(c.stderrHas), std::string::npos) << c.args.back() << ": " << result.err;
    }
    Result help;
    {
        ChildProcess ctl(BinDir() + "/norvanectl", {"search", "--help"}, {{"NORVANE_HOME", home.ProgramDir()}},
                         home.Path("out"), home.Path("err"));
        help.code = ctl.Wait(std::chrono::seconds(30)).value_or(-1000);
    }
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(ReadFile(home.Path("out")).find("Usage: norvanectl search FILE.kld [--master N] [--from ADDR]"),
              std::string::npos);
}

}  // namespace
