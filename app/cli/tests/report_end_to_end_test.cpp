// norvanectl report --live against the demo bus in adapter-emu: each slave's status, a device
// whose identity differs from the file, and a device that does not answer.
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
