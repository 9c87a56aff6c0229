// norvanectl's command line: help, argument errors and the EDS tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ctl_run.h"
#include "testing/build_paths.h"
#include "testing/child_process.h"
#include "testing/test_home.h"

namespace {

using testkit::ReadFile;
using testkit::SourceDir;
using testkit::TestHome;

using Result = CtlResult;

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
    for (const char* expected :
         {"VendCode     1250", "ProdName     ND-VF400", "Revision     3.004", "PollInfo    0x0001  Input1  Output1",
          "Input1   4     0     0x0001  Status   20 04 24 65 30 03  Drive status",
          "1   Accel Time  0xC7  2     1    6000  100      s      20 0F 24 01 30 01"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}

}  // namespace

namespace {

std::string DemoNetwork() { return SourceDir() + "/resources/demo/demo.kld"; }

TEST(Norvanectl, ReportExportAndDiffArguments) {
    TestHome home("ctl");
    std::ofstream(home.Path("bad.kld")) << "<Card type=\"101\"";
    std::filesystem::create_directory(home.Path("dir.html"));
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string stderrHas;
    };
    const Case cases[] = {
        {{"report"}, 2, "report needs a network file"},
        {{"report", DemoNetwork(), "-o"}, 2, "-o needs an output file"},
        {{"report", DemoNetwork(), "-o", home.Path("r.txt")}, 2, "needs a file ending in .html or .pdf"},
        {{"report", home.Path("missing.kld")}, 2, "cannot read network file"},
        {{"report", DemoNetwork(), "-o", home.Path("no/dir/r.html")}, 1, "cannot write report"},
        {{"report", DemoNetwork(), "-o", home.Path("dir.html")}, 1, "is a directory"},
        {{"export"}, 2, "export needs a network file"},
        {{"export", DemoNetwork(), "--yaml"}, 2, "unknown option '--yaml'"},
        {{"export", home.Path("bad.kld")}, 2, "cannot read network file"},
        {{"diff", DemoNetwork()}, 2, "diff needs two network files"},
        {{"diff", DemoNetwork(), home.Path("missing.kld")}, 2, "cannot read network file"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        Result r = RunCtl(home, c.args);
        EXPECT_EQ(r.code, c.code) << joined << r.err;
        EXPECT_NE(r.err.find(c.stderrHas), std::string::npos) << joined << "\n" << r.err;
        EXPECT_EQ(Lines(r.err), 1) << joined << ": one clear line: " << r.err;
        EXPECT_TRUE(r.out.empty()) << joined << r.out;
    }
    EXPECT_FALSE(std::filesystem::exists(home.Path("no")));
}

TEST(Norvanectl, ReportOfTheDemoNetwork) {
    TestHome home("ctl");
    Result html = RunCtl(home, {"report", DemoNetwork()});
    EXPECT_EQ(html.code, 0) << html.err;
    EXPECT_TRUE(html.err.empty()) << html.err;
    EXPECT_EQ(html.out.rfind("<!DOCTYPE html>", 0), 0u);
    for (const char* name : {"ND-DIO 16/8 I/O Block", "ND-PS20 Photo Sensor", "ND-AI4 Analog Input",
                             "ND-VF400 AC Drive", "ND-VM8 Valve Manifold", "Absent device"}) {
        EXPECT_NE(html.out.find(std::string("<td>") + name + "</td>"), std::string::npos) << name;
    }
    // The same into a file, replacing what was there.
    std::ofstream(home.Path("r.html")) << "old";
    EXPECT_EQ(RunCtl(home, {"report", DemoNetwork(), "-o", home.Path("r.html")}).code, 0);
    EXPECT_EQ(ReadFile(home.Path("r.html")), html.out);

    Result pdf = RunCtl(home, {"report", DemoNetwork(), "-o", home.Path("r.PDF")});
    EXPECT_EQ(pdf.code, 0) << pdf.err;
    EXPECT_TRUE(pdf.err.empty()) << "Qt's notes stay quiet: " << pdf.err;
    const std::string bytes = ReadFile(home.Path("r.PDF"));
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    EXPECT_GT(bytes.size(), 1000u);
}

TEST(Norvanectl, ExportIsStableAndDiffTellsTheChange) {
    TestHome home("ctl");
    Result first = RunCtl(home, {"export", DemoNetwork()});
    Result second = RunCtl(home, {"export", DemoNetwork()});
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_TRUE(first.err.empty()) << first.err;
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(first.out.rfind("[master 101/0/0]\n", 0), 0u) << first.out.substr(0, 200);
    Result json = RunCtl(home, {"export", DemoNetwork(), "--json"});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out.rfind("{\n  \"masters\": [\n", 0), 0u);
    EXPECT_EQ(json.out, RunCtl(home, {"export", DemoNetwork(), "--json"}).out);

    Result same = RunCtl(home, {"diff", DemoNetwork(), DemoNetwork()});
    EXPECT_EQ(same.code, 0) << same.err;
    EXPECT_EQ(same.out, "");

    // The AC drive's poll output size (byte 22 of its record) from 4 to 2, in a copy beside the EDS files.
    std::filesystem::copy(SourceDir() + "/resources/demo/eds", home.Path("eds"));
    std::string demo = ReadFile(DemoNetwork());
    const std::string record = "04000000E204000002000000680000000100000004000400";
    ASSERT_NE(demo.find(record), std::string::npos);
    demo.replace(demo.find(record), record.size(), "04000000E204000002000000680000000100000004000200");
    std::ofstream(home.Path("changed.kld"), std::ios::binary) << demo;
    Result changed = RunCtl(home, {"diff", DemoNetwork(), home.Path("changed.kld")});
    EXPECT_EQ(changed.code, 1) << changed.err;
    EXPECT_EQ(changed.out, "slave 4 \"ND-VF400 AC Drive\" of master 101/0/0: poll output size changed from 4 to 2\n");
}

}  // namespace
