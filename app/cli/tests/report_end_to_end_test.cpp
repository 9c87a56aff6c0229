// norvanectl report --live against the demo bus in adapter-emu: each slave's status, a device
// whose identity differs from the file, and a device that does not answer; norvanectl params --compare
// against the emulated drive.
#include <gtest/gtest.h>

#include <regex>

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

TEST(ReportEndToEnd, LiveReportOfTheDemoBus) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    TestHome home("report");
    // The photo sensor on the bus is another product than the file configures.
    std::string bus = ReadFile(SourceDir() + "/resources/demo/bus.xml");
    bus = std::regex_replace(bus, std::regex("product-code=\"102\""), "product-code=\"109\"");
    EmulatorSession::Options options;
    options.arguments = {"--fast", "--verbose"};
    EmulatorSession emulator(bus, options);
    ASSERT_TRUE(emulator.Ready()) << emulator.ErrorOutput();
    std::map<std::string, std::string> env = emulator.Env();
    env["NORVANE_HOME"] = home.ProgramDir();
    std::optional<int> code;
    {
        ChildProcess ctl(BinDir() + "/norvanectl",
                         {"report", SourceDir() + "/resources/demo/demo.kld", "--live", "-o", home.Path("live.html")},
                         env, home.Path("out"), home.Path("err"));
        code = ctl.Wait(std::chrono::seconds(60));
    }
    const std::string err = ReadFile(home.Path("err"));
    const std::string html = ReadFile(home.Path("live.html"));
    EXPECT_EQ(code, 1) << "a partial report: the absent device does not answer\n" << err;
    EXPECT_NE(err.find("norvanectl: partial report: some devices did not answer"), std::string::npos) << err;
    EXPECT_NE(html.find("<p class=\"warn\">部分报告：有设备未应答</p>"), std::string::npos);
    // The status column ends each slave's row.
    struct Case {
        int mac;
        std::string status;
    };
    const Case cases[] = {
        {1, "<td>从站在线</td></tr>"},
        {2, "<span class=\"warn\">设备身份与配置不符: 1250/6/109</span></td></tr>"},
        {4, "<td>从站在线</td></tr>"},
        {7, "<span class=\"warn\">设备无应答</span></td></tr>"},
    };
    for (const Case& c : cases) {
        const std::string start = "<tr><td class=\"num\">" + std::to_string(c.mac) + "</td>";
        const std::size_t row = html.find(start);
        ASSERT_NE(row, std::string::npos) << c.mac;
        const std::string line = html.substr(row, html.find('\n', row) - row);
        EXPECT_NE(line.find(c.status), std::string::npos) << line;
    }
    std::string log = emulator.Stop();
    EXPECT_NE(log.find("cmd Close"), std::string::npos) << "the masters were stopped and the adapter closed";
}

}  // namespace

namespace {

// norvanectl params --compare on the demo drive (MAC 4) with the bus file's parameter values.
struct CompareRun {
    std::optional<int> code;
    std::string out;
    std::string err;
};

CompareRun CompareDrive(const std::string& bus, const std::vector<std::string>& extra = {}) {
    TestHome home("params");
    EmulatorSession emulator(bus);
    EXPECT_TRUE(emulator.Ready()) << emulator.ErrorOutput();
    std::map<std::string, std::string> env = emulator.Env();
    env["NORVANE_HOME"] = home.ProgramDir();
    std::vector<std::string> args = {"params", SourceDir() + "/resources/demo/demo.kld", "--slave", "4", "--compare"};
    args.insert(args.end(), extra.begin(), extra.end());
    CompareRun run;
    {
        ChildProcess ctl(BinDir() + "/norvanectl", args, env, home.Path("out"), home.Path("err"));
        run.code = ctl.Wait(std::chrono::seconds(90));
    }
    run.out = ReadFile(home.Path("out"));
    run.err = ReadFile(home.Path("err"));
    return run;
}

TEST(ReportEndToEnd, ParameterCompareAgainstTheDemoDrive) {
    if (!EmulatorSession::Available()) GTEST_SKIP() << "adapter-emu not built";
    const std::string bus = ReadFile(SourceDir() + "/resources/demo/bus.xml");

    CompareRun same = CompareDrive(bus);
    EXPECT_EQ(same.code, 0) << same.out << same.err;
    EXPECT_EQ(same.out, "");

    // The drive's acceleration time changed on the device: 100 (1.00 s) becomes 250 (2.50 s).
    const std::string accel = "name=\"Accel Time\" units=\"s\" type=\"UINT\" value=\"100\"";
    ASSERT_NE(bus.find(accel), std::string::npos);
    std::string changed = bus;
    changed.replace(changed.find(accel), accel.size(), "name=\"Accel Time\" units=\"s\" type=\"UINT\" value=\"250\"");
    CompareRun differs = CompareDrive(changed);
    EXPECT_EQ(differs.code, 1) << differs.err;
    EXPECT_EQ(differs.out, "parameter 1 \"Accel Time\": file 1.00 s, device 2.50 s\n");

    // Address 7 is configured without an EDS file, 9 not at all.
    CompareRun noEds = CompareDrive(bus, {"--slave", "7"});
    EXPECT_EQ(noEds.code, 2);
    EXPECT_NE(noEds.err.find("slave 7 has no parameters"), std::string::npos) << noEds.err;
    CompareRun none = CompareDrive(bus, {"--slave", "9"});
    EXPECT_EQ(none.code, 2);
    EXPECT_NE(none.err.find("master 1 has no slave at address 9"), std::string::npos) << none.err;
}

}  // namespace
