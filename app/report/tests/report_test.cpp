// The network report, export and comparison on the demo network and on small files made here.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <filesystem>
#include <regex>

#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "network/server_dev.h"
#include "recording_services.h"
#include "report/atomic_file.h"
#include "report/file_network.h"
#include "report/network_diff.h"
#include "report/network_export.h"
#include "report/network_listing.h"
#include "report/network_report.h"
#include "monitor/parameter_compare.h"
#include "report/report_texts.h"
#include "resources/resource_manager.h"
#include "testing/build_paths.h"
#include "testing/temp_dir.h"

namespace {

using testkit::SourceDir;
using testkit::TempDir;

std::string DemoFile() { return SourceDir() + "/resources/demo/demo.kld"; }

class ReportTest : public ::testing::Test {
protected:
    RecordingServices services_;
    netsvc::ScopedServices scoped_{services_};
};

// All text below an element, tags dropped.
std::string TextOf(const tinyxml2::XMLNode* node) {
    std::string text;
    for (const tinyxml2::XMLNode* c = node->FirstChild(); c != nullptr; c = c->NextSibling()) {
        if (c->ToText() != nullptr) text += c->Value();
        else text += TextOf(c);
    }
    return text;
}

// Rows of every table with the class, as cell texts.
std::vector<std::vector<std::string>> Rows(const tinyxml2::XMLElement* element, const std::string& tableClass) {
    std::vector<std::vector<std::string>> rows;
    for (const tinyxml2::XMLElement* e = element->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
        const char* cls = e->Attribute("class");
        if (std::string(e->Name()) == "table" && cls != nullptr && tableClass == cls) {
            for (const tinyxml2::XMLElement* tr = e->FirstChildElement("tr"); tr; tr = tr->NextSiblingElement("tr")) {
                std::vector<std::string> cells;
                for (const tinyxml2::XMLElement* td = tr->FirstChildElement(); td; td = td->NextSiblingElement()) {
                    cells.push_back(TextOf(td));
                }
                rows.push_back(cells);
            }
        } else {
            auto inner = Rows(e, tableClass);
            rows.insert(rows.end(), inner.begin(), inner.end());
        }
    }
    return rows;
}

std::string Report(const FileNetwork& network, std::function<std::string(uint32_t)> text = {},
                   std::optional<LiveNetwork> live = {}) {
    ReportInput input;
    input.network = &network.Network();
    input.networkFile = network.Path();
    input.created = "2026-01-02 03:04";
    input.text = std::move(text);
    input.live = std::move(live);
    return BuildNetworkReport(input);
}

TEST_F(ReportTest, DemoReportHoldsEverySlaveWithItsSizesAndTotals) {
    FileNetwork network(DemoFile());
    ASSERT_TRUE(network.Readable());
    // One parameter of the drive no longer at its EDS default.
    CSlaveDev* drive = network.Network().Masters().front()->FindSlave(4);
    ASSERT_NE(drive, nullptr);
    auto& stored = drive->MutableEds().parameters;
    ASSERT_FALSE(stored.Params().empty());
    const int32_t changed = stored.Params().begin()->first;
    stored.SetParamValue(changed, stored.Params().begin()->second.defaultValue + 1);

    const std::string html = Report(network);
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(html.c_str()), tinyxml2::XML_SUCCESS) << doc.ErrorStr();
    const tinyxml2::XMLElement* body = doc.FirstChildElement("html")->FirstChildElement("body");
    ASSERT_NE(body, nullptr);
    EXPECT_NE(html.find("<style>"), std::string::npos);
    EXPECT_EQ(html.find("<link"), std::string::npos) << "self-contained";
    EXPECT_EQ(html.find("<script"), std::string::npos);

    // Address, name, input and output bytes of each slave, then the totals.
    const std::vector<std::vector<std::string>> expected = {
        {"1", "ND-DIO 16/8 I/O Block", "4", "2"}, {"2", "ND-PS20 Photo Sensor", "1", "8"},
        {"3", "ND-AI4 Analog Input", "4", "0"},   {"4", "ND-VF400 AC Drive", "4", "4"},
        {"5", "ND-VM8 Valve Manifold", "2", "2"}, {"7", "Absent device", "2", "2"},
    };
    auto rows = Rows(body, "slaves");
    ASSERT_EQ(rows.size(), expected.size() + 2);  // heading and totals
    EXPECT_EQ(rows[0][0], "地址");
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& row = rows[i + 1];
        ASSERT_EQ(row.size(), 8u);
        EXPECT_EQ(row[0], expected[i][0]);
        EXPECT_EQ(row[1], expected[i][1]);
        EXPECT_EQ(row[6], expected[i][2]) << row[1];
        EXPECT_EQ(row[7], expected[i][3]) << row[1];
    }
    EXPECT_EQ(rows.back(), (std::vector<std::string>{"合计", "17", "18"}));
    EXPECT_NE(rows[1][4].find("eds/nd_dio_16_8.eds"), std::string::npos);
    EXPECT_NE(rows[1][5].find("轮询 4/2"), std::string::npos) << rows[1][5];
    EXPECT_EQ(rows[6][4], "未使用EDS文件") << "the slave without EDS says so";
    EXPECT_NE(html.find("<h3>参数: 7 Absent device</h3>\n<p class=\"warn\">未使用EDS文件，无参数</p>"),
              std::string::npos);

    // Settings of the master.
    auto settings = Rows(body, "settings");
    ASSERT_FALSE(settings.empty());
    EXPECT_EQ(settings[0][0], "主站卡");

    // Parameters: the changed one marked, the others not.
    int marked = 0;
    for (const auto& row : Rows(body, "params")) {
        if (row.size() == 5 && row[4] == "*") {
            ++marked;
            EXPECT_EQ(row[0], std::to_string(changed));
            EXPECT_NE(row[2], row[3]);
        }
    }
    EXPECT_EQ(marked, 1);
}

TEST_F(ReportTest, ReportInTheLanguageOfTheTextSource) {
    FileNetwork network(DemoFile());
    CXTPResourceManagerXMLEx english(SourceDir() + "/resources/language/english.xml");
    const std::string html = Report(network, [&](uint32_t id) {
        std::string text;
        english.LoadString(text, id);
        return text;
    });
    EXPECT_NE(html.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(html.find("<h1>Network Report</h1>"), std::string::npos);
    EXPECT_NE(html.find("No EDS file; no parameters"), std::string::npos);
    EXPECT_EQ(html.find("合计"), std::string::npos);
}

TEST_F(ReportTest, LiveReportFlagsIdentityAndSilentDevices) {
    FileNetwork network(DemoFile());
    LiveNetwork live;
    live[{"101/0/0", 1}] = LiveSlave{true, "在线", 1250, 7, 101};
    live[{"101/0/0", 2}] = LiveSlave{true, "在线", 1250, 6, 999};  // another product
    // 3, 4, 5 and 7 missing or not answering
    live[{"101/0/0", 3}] = LiveSlave{false, "无应答", 0, 0, 0};
    const std::string html = Report(network, {}, live);
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(html.c_str()), tinyxml2::XML_SUCCESS);
    auto rows = Rows(doc.FirstChildElement("html")->FirstChildElement("body"), "slaves");
    ASSERT_EQ(rows[1].size(), 9u);
    EXPECT_EQ(rows[1][8], "在线");
    EXPECT_EQ(rows[2][8], "在线设备身份与配置不符: 1250/6/999");
    EXPECT_EQ(rows[3][8], "无应答设备无应答");
    EXPECT_EQ(rows[4][8], "设备无应答");
    EXPECT_NE(html.find("部分报告：有设备未应答"), std::string::npos);

    // Identity 0 stands for any value.
    EXPECT_FALSE(IdentityDiffers(0, 0, 0, LiveSlave{true, "", 5, 6, 7}));
    EXPECT_TRUE(IdentityDiffers(5, 0, 0, LiveSlave{true, "", 4, 6, 7}));
}

TEST_F(ReportTest, SlavesWithoutUsableEdsAreNamedAsSuch) {
    TempDir dir("report");
    const std::string absent = dir.Path("missing.eds");
    const std::string file = dir.Write("net.kld",
                                       "<Card type=\"101\" addr=\"0\"><Server chlIndex=\"1\">"
                                       "<config value=\"05000000\"/>"
                                       "<Slave name=\"A &amp; B\"><EDSPath path=\"" +
                                           absent +
                                           "\"/><IOUse value=\"00\"/>"
                                           "<VARDA_CFG value=\"0A00000000000000000000000000000003\"/></Slave>"
                                           "</Server></Card>");
    FileNetwork network(file);
    ASSERT_TRUE(network.Readable());
    const std::string html = Report(network);
    EXPECT_NE(html.find("A &amp; B"), std::string::npos);
    EXPECT_NE(html.find("EDS文件无法读取: missing.eds"), std::string::npos) << html;
    EXPECT_NE(html.find("无连接"), std::string::npos);

    FileNetwork empty(dir.Write("empty.kld", ""));
    EXPECT_NE(Report(empty).find("网络中没有主站"), std::string::npos);
    FileNetwork unreadable(dir.Path("nothing.kld"));
    EXPECT_FALSE(unreadable.Readable());
}

TEST_F(ReportTest, ExportIsStableAndRelativeToTheFile) {
    const std::string first = ExportText(ListNetwork(FileNetwork(DemoFile()).Network(), DemoFile()));
    const std::string second = ExportText(ListNetwork(FileNetwork(DemoFile()).Network(), DemoFile()));
    EXPECT_EQ(first, second);
    for (const char* line : {"[master 101/0/0]\n", "\n[slave 101/0/0 4]\nAddress = 4\nName = ND-VF400 AC Drive\n",
                             "EdsPath = eds/nd_vf400.eds\n", "Group1.Item1.Name = Poll_Input\n"}) {
        EXPECT_NE(first.find(line), std::string::npos) << line;
    }
    const std::string json = ExportJson(ListNetwork(FileNetwork(DemoFile()).Network(), DemoFile()));
    EXPECT_EQ(json, ExportJson(ListNetwork(FileNetwork(DemoFile()).Network(), DemoFile())));
    EXPECT_NE(json.find("\"mac\": 7,\n"), std::string::npos);
    EXPECT_NE(json.find("\"EdsPath\": \"eds/nd_vf400.eds\""), std::string::npos);

    struct Case {
        std::string path;
        std::string shown;
    };
    const Case cases[] = {
        {"/data/net/eds/a.eds", "eds/a.eds"},
        {"/data/net/./eds/../b.eds", "b.eds"},
        {"/data/other/c.eds", "/data/other/c.eds"},
        {"eds\\d.eds", "eds/d.eds"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(RelativeEdsPath(c.path, "/data/net"), c.shown) << c.path;
}

TEST_F(ReportTest, DiffReportsChangesInWords) {
    TempDir dir("diff");
    const std::string demo = testkit::ReadFile(DemoFile());
    const NetworkListing base = ListNetwork(FileNetwork(DemoFile()).Network(), DemoFile());
    EXPECT_TRUE(DiffNetworks(base, base).empty());

    // The DIO block's poll input size (byte 20 of its record) from 4 to 8.
    std::string changed = demo;
    const std::string record = "01000000E204000007000000650000000100000004000200";
    ASSERT_NE(changed.find(record), std::string::npos);
    changed.replace(changed.find(record), record.size(), "01000000E204000007000000650000000100000008000200");
    const std::string changedFile = dir.Write("changed.kld", changed);
    std::filesystem::copy(SourceDir() + "/resources/demo/eds", dir.Path("eds"));
    EXPECT_EQ(DiffNetworks(base, ListNetwork(FileNetwork(changedFile).Network(), changedFile)),
              (std::vector<std::string>{
                  "slave 1 \"ND-DIO 16/8 I/O Block\" of master 101/0/0: poll input size changed from 4 to 8"}));

    // A slave and a master removed, then added back the other way round.
    NetworkListing fewer = base;
    fewer.masters[0].slaves.erase(fewer.masters[0].slaves.begin() + 2);
    ListedMaster second;
    second.deviceType = 101;
    second.channel = 1;
    fewer.masters.push_back(second);
    EXPECT_EQ(DiffNetworks(base, fewer),
              (std::vector<std::string>{"slave 3 \"ND-AI4 Analog Input\" of master 101/0/0: removed",
                                        "master 101/0/1: added (0 slaves)"}));
    EXPECT_EQ(DiffNetworks(fewer, base),
              (std::vector<std::string>{"slave 3 \"ND-AI4 Analog Input\" of master 101/0/0: added",
                                        "master 101/0/1: removed (0 slaves)"}));
    NetworkListing renamed = base;
    renamed.masters[0].slaves[0].fields[0].value = "DIO \"new\"";
    EXPECT_EQ(DiffNetworks(base, renamed),
              (std::vector<std::string>{"slave 1 \"ND-DIO 16/8 I/O Block\" of master 101/0/0: name changed from "
                                        "\"ND-DIO 16/8 I/O Block\" to \"DIO \\\"new\\\"\""}));
}

// Device values against the file's, on the demo drive's description: scaled numbers with units,
// REAL at its own precision, enumeration texts, and parameters the device set lacks.
TEST(DifferingParameters, MarksOnlyValuesThatStandForAnotherValue) {
    SlaveEds eds;
    ASSERT_EQ(LoadSlaveEds(eds, SourceDir() + "/resources/demo/eds/nd_vf400.eds"), 1);
    const DeviceNetEDS::CParamsInfo& file = FileParameters(eds);
    struct Case {
        int32_t number;
        double device;
        std::string stored;  // "" when the value counts as the same
        std::string shown;
    };
    const Case cases[] = {
        {1, 100, "", ""},
        {1, 725, "1.00 s", "7.25 s"},
        {3, 50.0000001, "", ""},  // the same single-precision value
        {3, 60.5, "50.0 Hz", "60.5 Hz"},
        {5, 2, "V/Hz (0)", "Torque (2)"},  // the text with its raw value
    };
    for (const Case& c : cases) {
        DeviceNetEDS::CParamsInfo device = file;
        ASSERT_TRUE(device.SetParamValue(c.number, c.device));
        const auto differing = DifferingParameters(eds.description, file, device);
        if (c.stored.empty()) {
            EXPECT_TRUE(differing.empty()) << "parameter " << c.number << " value " << c.device;
            continue;
        }
        ASSERT_EQ(differing.size(), 1u) << "parameter " << c.number;
        EXPECT_EQ(differing[0].number, c.number);
        EXPECT_EQ(differing[0].stored, c.stored);
        EXPECT_EQ(differing[0].device, c.shown);
    }
    EXPECT_TRUE(DifferingParameters(eds.description, file, DeviceNetEDS::CParamsInfo{}).empty())
        << "parameters the device set lacks are not compared";
    DeviceNetEDS::CParamsInfo device = file;
    device.SetParamValue(9, 230);
    device.SetParamValue(1, 200);
    const auto both = DifferingParameters(eds.description, file, device);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].number, 1);
    EXPECT_EQ(both[1].number, 9);
    EXPECT_EQ(both[1].name, "Motor Voltage");
}

TEST(WriteFileWhole, ReplacesWholeOrLeavesTheTargetAlone) {
    TempDir dir("whole");
    std::string error;
    const std::string target = dir.Write("out.html", "old");
    EXPECT_TRUE(WriteFileWhole(target, "new content", error)) << error;
    EXPECT_EQ(dir.Read("out.html"), "new content");

    EXPECT_FALSE(WriteFileWhole(dir.Path("no/such/dir/out.html"), "x", error));
    EXPECT_FALSE(error.empty());
    std::filesystem::create_directory(dir.Path("sub"));
    EXPECT_FALSE(WriteFileWhole(dir.Path("sub"), "x", error));
    EXPECT_EQ(error, "is a directory");
    // Nothing but the target and the folder are left.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Dir())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
    EXPECT_EQ(dir.Read("out.html"), "new content");
}

}  // namespace
