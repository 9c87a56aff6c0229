// norvanectl's command line: help, argument errors and the EDS tables.
#include <gtest/gtest.h>

#include <fstream>

#include "testing/build_paths.h"
#include "testing/child_process.h"
#include "testing/test_home.h"

namespace {

using testkit::BinDir;
using testkit::ChildProcess;
using testkit::ReadFile;
using testkit::SourceDir;
using testkit::TestHome;

struct Result {
    int code = -1000;
    std::string out;
    std::string err;
};

Result RunCtl(const TestHome& home, const std::vector<std::string>& args) {
    Result result;
    {
        ChildProcess child(BinDir() + "/norvanectl", args, {{"NORVANE_HOME", home.ProgramDir()}}, home.Path("out"),
                           home.Path("err"));
        EXPECT_TRUE(child.Started());
        result.code = child.Wait(std::chrono::seconds(30)).value_or(-1000);
    }
    result.out = ReadFile(home.Path("out"));
    result.err = ReadFile(home.Path("err"));
    return result;
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

TEST(Norvanectl, HelpAndArgumentErrors) {
    TestHome home("ctl");
    std::ofstream(home.Path("file.kld")) << "";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string stdoutHas;
        std::string stderrHas;
    };
    const Case cases[] = {
        {{"--help"}, 0, "run FILE.kld [--seconds N]", ""},
        {{"run", "--help"}, 0, "Usage: norvanectl run FILE.kld [--seconds N]", ""},
        {{"eds", "--help"}, 0, "Usage: norvanectl eds FILE.eds", ""},
        {{}, 2, "", "missing command"},
        {{"start"}, 2, "", "unknown command 'start'"},
        {{"run"}, 2, "", "run needs a network file"},
        {{"run", home.Path("missing.kld")}, 2, "", "cannot read network file"},
        {{"run", home.Path("file.kld"), "--seconds"}, 2, "", "--seconds needs a number"},
        {{"run", home.Path("file.kld"), "--seconds", "-3"}, 2, "", "whole number of seconds"},
        {{"run", home.Path("file.kld"), "--seconds", "1x"}, 2, "", "whole number of seconds"},
        {{"run", home.Path("file.kld"), "--verbose"}, 2, "", "unknown option '--verbose'"},
        {{"run", home.Path("file.kld"), home.Path("file.kld")}, 2, "", "more than one network file"},
        {{"eds"}, 2, "", "eds needs an EDS file"},
        {{"eds", home.Path("missing.eds")}, 2, "", "cannot read EDS file"},
        {{"eds", home.ProgramDir()}, 2, "", "cannot read EDS file"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        Result r = RunCtl(home, c.args);
        EXPECT_EQ(r.code, c.code) << joined;
        EXPECT_NE(r.out.find(c.stdoutHas), std::string::npos) << joined << "\n" << r.out;
        EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << joined << "\n" << r.err;
        if (c.code == 2) {
            EXPECT_EQ(Lines(r.err), 1) << "one clear line: " << r.err;
            EXPECT_EQ(r.err.rfind("norvanectl: ", 0), 0u) << r.err;
        }
    }
}

TEST(Norvanectl, EmptyNetworkRunsAndEnds) {
    TestHome home("ctl");
    std::ofstream(home.Path("empty.kld")) << "";
    Result r = RunCtl(home, {"run", home.Path("empty.kld"), "--seconds", "0"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("0 master(s), 0 slave(s)"), std::string::npos) << r.out;
}

TEST(Norvanectl, EdsTables) {
    TestHome home("ctl");
    std::ofstream(home.Path("dev.eds"), std::ios::binary)
        << "[File]\r\nDescText = \"Demo drive\";\r\n"
           "[Device]\r\nVendCode = 1250;\r\nVendName = \"Norvane Demo\";\r\nProdType = 2;\r\n"
           "ProdTypeStr = \"AC Drive\";\r\nProdCode = 104;\r\nMajRev = 3;\r\nMinRev = 4;\r\n"
           "ProdName = \"ND-VF400\";\r\nCatalog = \"VF400\";\r\n"
           "[IO_Info]\r\nDefault = 0x0001;\r\nPollInfo = 0x0001, 1, 1;\r\n"
           "Input1 = 4, 0, 0x0001, \"Status\", 6, \"20 04 24 65 30 03\", \"Drive status\";\r\n"
           "Output1 = 4, 0, 0x0001, \"Command\", 6, \"20 04 24 64 30 03\", \"\";\r\n"
           "[Params]\r\n"
           "Param1 = 0, 6, \"20 0F 24 01 30 01\", 0x0000, 0xC7, 2, \"Accel Time\", \"s\", \"\", 1, 6000, 100, "
           "1,1,1,0,0,0,0,0,2;\r\n";
    Result r = RunCtl(home, {"eds", home.Path("dev.eds")});
    EXPECT_EQ(r.code, 0) << r.err;
    for (const char* expected : {"VendCode     1250", "ProdName     ND-VF400", "Revision     3.004",
                                 "PollInfo    0x0001  Input1  Output1",
                                 "Input1   4     0     0x0001  Status   20 04 24 65 30 03  Drive status",
                                 "1   Accel Time  0xC7  2     1    6000  100      s      20 0F 24 01 30 01"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}

}  // namespace
