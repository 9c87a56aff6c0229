// EDS files from the field, as device makers' tools wrote them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "eds/eds_file.h"

using namespace DeviceNetEDS;

namespace {

std::string SamplePath(const char* name) {
    const char* dir = std::getenv("NORVANE_EDS_SAMPLES");
    if (!dir) return {};
    std::string path = std::string(dir) + "/" + name;
    return std::filesystem::exists(path) ? path : std::string();
}

#define LOAD_SAMPLE(doc, name)                                                              \
    std::string path_##doc = SamplePath(name);                                              \
    if (path_##doc.empty()) GTEST_SKIP() << "sample EDS file " << name << " not available"; \
    CEDSFile doc;                                                                           \
    ASSERT_EQ(doc.Load(path_##doc), 1)

}  // namespace

TEST(EdsSamples, SimpleConfigDemo) {
    LOAD_SAMPLE(doc, "DNS_V5_SIMPLE_CONFIG_DEMO.EDS");
    EXPECT_EQ(doc.Title(), "DNS_V5_SIMPLE_CONFIG_DEMO");
    EXPECT_EQ(doc.File().DescText(), "DNS-File for DeviceNet Slave Simple Config Demo Application");
    EXPECT_EQ(doc.File().CreateDate(), "01-01-2021");
    EXPECT_EQ(doc.File().Revision(), "1.1");
    EXPECT_EQ(doc.File().Entries().at("HomeURL"), "\"www.hilscher.com\"");
    const CDeviceInfo& d = doc.Device();
    EXPECT_EQ(d.VendCode(), 283);
    EXPECT_EQ(d.VendName(), "Hilscher GmbH");
    EXPECT_EQ(d.ProdType(), 12);
    EXPECT_EQ(d.ProdCode(), 34);
    EXPECT_EQ(d.MajRev(), 5);
    EXPECT_EQ(d.MinRev(), 1);
    EXPECT_EQ(d.ProdName(), "DNS_V5_SIMPLE_CONFIG_DEMO");

    const CIO_InfoInfo& io = doc.IOInfo();
    EXPECT_EQ(io.SupportedConnections(), 1u);
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kPoll), (ConnectionInfo{1, 0x0F, 1, 1}));
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kStrobe), (ConnectionInfo{1, 0x0F, 1, 0}));
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kCOS), (ConnectionInfo{1, 0x07, 1, 1}));
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kCyclic), (ConnectionInfo{1, 0x0B, 1, 1}));
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kMulticastPoll).valid, 0);
    ASSERT_EQ(io.Inputs().size(), 1u);
    ASSERT_EQ(io.Outputs().size(), 1u);
    const IoEntry& in = io.GetInput(1);
    EXPECT_EQ(in.size, 10);
    EXPECT_EQ(in.significantBits, 80);
    EXPECT_EQ(in.connectionMask, 0x0Fu);
    EXPECT_EQ(in.name, "Counter + Sensor + Actuator data");
    EXPECT_EQ(in.pathBytes, (std::vector<uint8_t>{0x20, 0x04, 0x24, 0x65, 0x30, 0x03}));
    EXPECT_EQ(in.help, "Counter, S1(Value), S1(Status), S2(Value), S2(Status), A1(Status) A1(Status)");
    const IoEntry& out = io.GetOutput(1);
    EXPECT_EQ(out.size, 6);
    EXPECT_EQ(out.significantBits, 48);
    EXPECT_EQ(out.connectionMask, 0x0Du);
    EXPECT_EQ(out.name, "Actuator data + Counter control");
    EXPECT_TRUE(doc.Params().Params().empty());
    EXPECT_EQ(doc.Params().SectionName(), "");
}

TEST(EdsSamples, ExtendedConfigDemo) {
    LOAD_SAMPLE(doc, "DNS_V5_EXTENDED_CONFIG_DEMO.EDS");
    EXPECT_EQ(doc.Device().MinRev(), 4);
    EXPECT_EQ(doc.Device().ProdName(), "DNS_V5_EXTENDED_CONFIG_DEMO");
    const CIO_InfoInfo& io = doc.IOInfo();
    EXPECT_EQ(io.Inputs().size(), 2u);
    EXPECT_EQ(io.Outputs().size(), 2u);
    EXPECT_EQ(io.GetInput(2).size, 6);
    EXPECT_EQ(io.GetInput(2).significantBits, 28);
    EXPECT_EQ(io.GetOutput(2).size, 4);
    EXPECT_EQ(io.GetOutput(2).help, "A1(Value), A1(Value),");  // trailing comma kept

    const CParamsInfo& params = doc.Params();
    ASSERT_EQ(params.Params().size(), 8u);
    const ParamEntry& p1 = params.GetParam(1);
    EXPECT_EQ(p1.linkPathSize, 6);
    EXPECT_EQ(p1.linkPathBytes, (std::vector<uint8_t>{0x20, 0x05, 0x24, 0x02, 0x30, 0x64}));
    EXPECT_EQ(p1.descriptor, 0x2Eu);
    EXPECT_EQ(p1.dataType, 0xC6);
    EXPECT_EQ(p1.dataSize, 1);
    EXPECT_EQ(p1.name, "Output Assembly");
    EXPECT_EQ(p1.units, "");
    EXPECT_EQ(p1.help, "Assembly Number of Data Consuming Assembly");
    EXPECT_DOUBLE_EQ(p1.minimum, 100);
    EXPECT_DOUBLE_EQ(p1.maximum, 102);
    EXPECT_DOUBLE_EQ(p1.defaultValue, 100);
    EXPECT_EQ(p1.scalingMultiplier, 1);
    EXPECT_EQ(p1.scalingDivider, 1);
    EXPECT_EQ(p1.scalingBase, 1);
    EXPECT_EQ(p1.scalingOffset, 0);
    EXPECT_EQ(p1.decimalPlaces, 0);
    EXPECT_EQ(params.GetParam(4).name, "COS/Cyclic Input Assembly");
    EXPECT_EQ(params.GetParam(8).name, "Actuator 2 fail safe behavior");
    EXPECT_DOUBLE_EQ(params.GetParam(8).maximum, 1);

    EXPECT_EQ(doc.EnumPar().GetList(1),
              (std::vector<std::string>{"Assembly Object 100", "n.a", "Assembly Object 102"}));
    EXPECT_EQ(doc.EnumPar().GetList(3), (std::vector<std::string>{"Assembly Object 101", "", "Assembly Object 103"}));
    EXPECT_EQ(doc.EnumPar().GetList(7), (std::vector<std::string>{"Clear outputs", "Hold Last State"}));
    EXPECT_EQ(doc.EnumPar().Lists().size(), 8u);

    ASSERT_EQ(doc.Groups().Groups().size(), 3u);
    EXPECT_EQ(doc.Groups().GetGroup(1), (GroupEntry{"Assemblies", 4, {1, 2, 3, 4}}));
    EXPECT_EQ(doc.Groups().GetGroup(2), (GroupEntry{"Sensor Settings", 2, {5, 6}}));
    EXPECT_EQ(doc.Groups().GetGroup(3), (GroupEntry{"Acuator settings", 2, {7, 8}}));
}

TEST(EdsSamples, NetX90) {
    LOAD_SAMPLE(doc, "HILSCHER NETX90 DN DNS.EDS");
    EXPECT_EQ(doc.Title(), "HILSCHER NETX90 DN DNS");
    EXPECT_EQ(doc.File().DescText(), "NETX 90-DN/DNS EDS FILE");
    EXPECT_EQ(doc.Device().ProdCode(), 62);
    EXPECT_EQ(doc.Device().ProdName(), "NETX 90-DN/DNS");
    EXPECT_EQ(doc.IOInfo().Inputs().size(), 9u);
    EXPECT_EQ(doc.IOInfo().Outputs().size(), 9u);
    EXPECT_EQ(doc.IOInfo().GetConnection(CIO_InfoInfo::kPoll), (ConnectionInfo{1, 0x0F, 4, 4}));
    EXPECT_EQ(doc.IOInfo().GetInput(1).size, 1);
    EXPECT_EQ(doc.IOInfo().GetInput(1).name, "1 Byte Input");
    EXPECT_EQ(doc.IOInfo().GetInput(3).significantBits, 32);
}

TEST(EdsSamples, EtherNetIpDemo) {
    LOAD_SAMPLE(doc, "ethernetip_demo.eds");
    EXPECT_EQ(doc.Device().VendCode(), 65535);
    EXPECT_EQ(doc.Device().Catalog(), "100.200.300");
    // The icon is many adjacent strings joined into one.
    const std::string& icon = doc.Device().Entries().at("IconContents");
    EXPECT_EQ(icon.front(), '"');
    EXPECT_EQ(icon.back(), '"');
    EXPECT_EQ(icon.find("\"", 1), icon.size() - 1);
    EXPECT_EQ(icon.substr(0, 11), "\"AAABAAEAIC");

    ASSERT_NE(doc.FindOtherSection("TCP/IP Interface Class"), nullptr);
    EXPECT_EQ(doc.FindOtherSection("TCP/IP Interface Class")->Entries().at("Class_Services"), "0x01,0x0E");
    EXPECT_NE(doc.FindOtherSection("Connection Manager"), nullptr);
    EXPECT_NE(doc.FindOtherSection("Device Classification"), nullptr);
    EXPECT_EQ(doc.OtherSections().size(), 3u);

    const ParamEntry& p = doc.Params().GetParam(1000);
    EXPECT_EQ(p.name, "RPI Range");
    EXPECT_EQ(p.dataType, 200);
    EXPECT_EQ(p.dataSize, 4);
    EXPECT_EQ(p.descriptor, 0x210u);
    // Units and help are left out without quotes: read as empty fields.
    EXPECT_EQ(p.units, "");
    EXPECT_EQ(p.help, "");
    EXPECT_DOUBLE_EQ(p.minimum, 1000);
    EXPECT_DOUBLE_EQ(p.maximum, 1000000);
    EXPECT_DOUBLE_EQ(p.defaultValue, 500000);

    EXPECT_EQ(doc.Assembly().Revision(), 2);
    const AssemblyEntry& a = doc.Assembly().GetAssembly(1000);
    EXPECT_EQ(a.name, "Reset Command");
    EXPECT_EQ(a.pathBytes, (std::vector<uint8_t>{0x21, 0x04, 0x00, 0x25, 0x02, 0x00, 0x30, 0x03}));
    EXPECT_EQ(a.size, 1);
    ASSERT_EQ(a.members.size(), 1u);
    EXPECT_EQ(a.members[0].size, 1);
    EXPECT_EQ(a.members[0].ref.kind, MemberRef::kEmpty);
    EXPECT_EQ(doc.Assembly().GetAssembly(1001).name, "Status");
}

TEST(EdsSamples, DemoNetworkFiles) {
    // The EDS files of the demo network load with a device identity and I/O entries.
    const char* source = std::getenv("NORVANE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::filesystem::path dir = std::filesystem::path(source) / "resources/demo/eds";
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no demo EDS files";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".eds") continue;
        CEDSFile doc;
        ASSERT_EQ(doc.Load(entry.path().string()), 1) << entry.path();
        EXPECT_EQ(doc.Title(), entry.path().stem().string());
        EXPECT_GT(doc.Device().VendCode(), 0) << entry.path();
        EXPECT_FALSE(doc.Device().ProdName().empty()) << entry.path();
        EXPECT_FALSE(doc.IOInfo().Inputs().empty() && doc.IOInfo().Outputs().empty()) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 0);
}
