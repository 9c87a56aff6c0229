// The section classes: what each key turns into, numbered keys, lookups and copies.
#include <gtest/gtest.h>

#include <string>

#include "eds/eds_fields.h"
#include "eds/eds_file.h"

using namespace DeviceNetEDS;

namespace {

CEDSFile Parse(const std::string& text) {
    CEDSFile doc;
    doc.LoadFromMemory(text, "/tmp/test.eds");
    return doc;
}

}  // namespace

TEST(EdsFields, Readers) {
    using namespace fields;
    EXPECT_EQ(ReadInt("283"), 283);
    EXPECT_EQ(ReadInt("-12abc"), -12);
    EXPECT_EQ(ReadInt("0x22"), 0);
    EXPECT_EQ(ReadInt("abc"), 0);
    EXPECT_EQ(ReadInt(""), 0);
    EXPECT_EQ(ReadInt("99999999999"), INT32_MAX);
    EXPECT_EQ(ReadInt("-99999999999"), INT32_MIN);
    EXPECT_FALSE(ReadIntChecked("99999999999").has_value());
    EXPECT_EQ(ReadHex("0x00C7"), 0xC7u);
    EXPECT_EQ(ReadHex("0XfF"), 0xFFu);
    EXPECT_EQ(ReadHex("1f"), 0x1Fu);
    EXPECT_EQ(ReadHex("0x"), 0u);
    EXPECT_EQ(ReadHex("0x123456789"), 0xFFFFFFFFu);
    EXPECT_DOUBLE_EQ(ReadReal("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(ReadReal("-2e3"), -2000.0);
    EXPECT_DOUBLE_EQ(ReadReal("0x10"), 0.0);
    EXPECT_DOUBLE_EQ(ReadReal("nan"), 0.0);
    EXPECT_DOUBLE_EQ(ReadReal(""), 0.0);
    EXPECT_EQ(Unquote("\"ab\""), "ab");
    EXPECT_EQ(Unquote("xaby"), "ab");
    EXPECT_EQ(Unquote("\""), "");
    EXPECT_EQ(ReadPathBytes("20 0F 24 01", 2), (std::vector<uint8_t>{0x20, 0x0F}));
    EXPECT_EQ(ReadPathBytes("20 0F", 10), (std::vector<uint8_t>{0x20, 0x0F}));
    EXPECT_TRUE(ReadPathBytes("", 10).empty());
}

TEST(EdsSections, FileAndDevice) {
    CEDSFile doc =
        Parse("[File]\nDescText = \"" + std::string(120, 'd') +
              "\";\nCreateDate = 04-21-2011;\n"
              "CreateTime = \"12:00:00\";\nModDate = 01-02-2003-extra-long;\nRevision = 1.23456789012;\n"
              "[Device]\nVendCode = 0x22;\nVendName = \"Acme\";\nProdType = 12;\nProdTypeStr = \"Adapter\";\n"
              "ProdCode = 34;\nMajRev = 2;\nMinRev = 7;\nProdName = \"Widget\";\nCatalog = \"W-1\";\n");
    const CFileInfo& f = doc.File();
    EXPECT_EQ(f.SectionName(), "File");
    EXPECT_EQ(f.DescText(), std::string(99, 'd'));
    EXPECT_EQ(f.CreateDate(), "04-21-2011");
    EXPECT_EQ(f.CreateTime(), "\"12:00:00\"");  // as written, quotes kept
    EXPECT_EQ(f.ModDate(), "01-02-2003-ext");  // 14 bytes
    EXPECT_EQ(f.ModTime(), "");
    EXPECT_EQ(f.Revision(), "1.2345678");  // 9 bytes
    const CDeviceInfo& d = doc.Device();
    EXPECT_EQ(d.VendCode(), 0);  // decimal only
    EXPECT_EQ(d.VendName(), "Acme");
    EXPECT_EQ(d.ProdType(), 12);
    EXPECT_EQ(d.ProdTypeStr(), "Adapter");
    EXPECT_EQ(d.ProdCode(), 34);
    EXPECT_EQ(d.MajRev(), 2);
    EXPECT_EQ(d.MinRev(), 7);
    EXPECT_EQ(d.ProdName(), "Widget");
    EXPECT_EQ(d.Catalog(), "W-1");
}

TEST(EdsSections, MissingSectionStaysEmpty) {
    CEDSFile doc = Parse("[Device]\nVendCode = 1;\n");
    EXPECT_EQ(doc.IsLoaded(), 1);
    EXPECT_EQ(doc.File().SectionName(), "");
    EXPECT_TRUE(doc.File().Entries().empty());
    CParamsInfo params;
    EXPECT_EQ(params.Parse({}), 0);
    EXPECT_EQ(params.Parse({{"Param1", "0,0,,0,0,0,\"a\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0"}}), 1);
    EXPECT_EQ(params.Params().size(), 1u);
    EXPECT_EQ(params.Parse({}), 0);  // a later empty parse clears
    EXPECT_TRUE(params.Params().empty());
    EXPECT_EQ(params.SectionName(), "");
}

TEST(EdsSections, IoInfo) {
    CEDSFile doc = Parse(
        "[IO_Info]\nDefault = 0x0001;\nPollInfo = 0x000F, 1, 2;\nCOSInfo = 0x0007,1,1;\n"
        "Input1 = 8, 0, 0x0001, \"Data\", 6, \"20 04 24 64 30 03\", \"Help, with a comma\";\n"
        "Output2 = 4, 32, 0x000D, \"Out\", 6, \"20 04 24 65 30 03\", \"\";\n"
        "InputOutput3 = 1,8,0x1,\"Both\",0,\"\",\"\";\n"
        "Input0 = 1,1,1,\"zero\",0,\"\",\"\";\n"
        "MyInput7 = 1,1,1,\"x\",0,\"\",\"\";\n");
    const CIO_InfoInfo& io = doc.IOInfo();
    EXPECT_EQ(io.SupportedConnections(), 1u);
    const ConnectionInfo& poll = io.GetConnection(CIO_InfoInfo::kPoll);
    EXPECT_EQ(poll.valid, 1);
    EXPECT_EQ(poll.compatibleConnections, 0x0Fu);
    EXPECT_EQ(poll.defaultInput, 1);
    EXPECT_EQ(poll.defaultOutput, 2);
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kCOS).valid, 1);
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kStrobe), ConnectionInfo{});
    EXPECT_EQ(io.GetConnection(CIO_InfoInfo::kMulticastPoll).valid, 0);

    const IoEntry& in = io.GetInput(1);
    EXPECT_EQ(in.kind, "Input");
    EXPECT_EQ(in.number, 1);
    EXPECT_EQ(in.size, 8);
    EXPECT_EQ(in.significantBits, 0);
    EXPECT_EQ(in.connectionMask, 1u);
    EXPECT_EQ(in.name, "Data");
    EXPECT_EQ(in.pathSize, 6);
    EXPECT_EQ(in.pathText, "20 04 24 64 30 03");
    EXPECT_EQ(in.pathBytes, (std::vector<uint8_t>{0x20, 0x04, 0x24, 0x64, 0x30, 0x03}));
    EXPECT_EQ(in.help, "Help, with a comma");

    // "InputOutput3" contains "Input": it is an input, numbered from byte 5 ("Output3" -> 0):
    // not an entry. Input0 and MyInput7 are not entries either.
    EXPECT_EQ(io.Inputs().size(), 1u);
    ASSERT_EQ(io.Outputs().size(), 1u);
    EXPECT_EQ(io.GetOutput(2).kind, "Output");
    EXPECT_EQ(io.GetOutput(2).size, 4);
    EXPECT_EQ(io.GetOutput(2).significantBits, 32);
    EXPECT_EQ(io.GetOutput(2).connectionMask, 0x0Du);
    // Missing numbers give the empty record.
    EXPECT_EQ(io.GetInput(5), IoEntry{});
    EXPECT_EQ(io.GetOutput(1), IoEntry{});
}

TEST(EdsSections, CommaInsideIoNameBreaksTheEntry) {
    CEDSFile doc = Parse("[IO_Info]\nInput1 = 8,0,0x1,\"A,B\",6,\"20 04\",\"h\";\n");
    const IoEntry& in = doc.IOInfo().GetInput(1);
    EXPECT_EQ(in.name, "");  // the field is "\"A": unquoting drops both its bytes
    EXPECT_EQ(in.pathSize, 0);  // "B\"" is not a number
}

TEST(EdsSections, Params) {
    CEDSFile doc = Parse(
        "[Params]\n"
        "Param1 = 0, 6, \"20 0F 24 01 30 01\", 0x0010, 0xC7, 2, \"Speed\", \"rpm\", \"Motor, speed\","
        " 0x10, 3000.5, 100, 1, 2, 3, 4, 5, 6, 7, 8, 1;\n"
        "Enum1 = 0,\"Off\",1,\"On\";\n"
        "Param2 = 0, 0, \"20 0F\", 0, 199, 1, \"\", \"\", \"\", -5, 5, 0, 0,0,0,0,0,0,0,0, 3;\n"
        "Param01 = 0,0,,0,1,1,\"Padded\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n"
        "Enum01 = 7,\"Seven\";\n"
        "Param3 = 0, 9, \"20 0F\", 0, 0, 1, \"Short path\", \"\", \"\", 0,0,0,0,0,0,0,0,0,0,0,0;\n"
        "Param0 = 0,0,,0,1,1,\"Zero\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n"
        "MyParam3 = 0,0,,0,1,1,\"Mine\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n"
        "Param99999999999 = 0,0,,0,1,1,\"Huge\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n");
    const CParamsInfo& params = doc.Params();
    const ParamEntry& p1 = params.GetParam(1);
    EXPECT_EQ(p1.reserved, 0);
    EXPECT_EQ(p1.linkPathSize, 6);
    EXPECT_EQ(p1.linkPathText, "20 0F 24 01 30 01");
    EXPECT_EQ(p1.linkPathBytes, (std::vector<uint8_t>{0x20, 0x0F, 0x24, 0x01, 0x30, 0x01}));
    EXPECT_EQ(p1.descriptor, 0x10u);
    EXPECT_EQ(p1.dataType, 199);
    EXPECT_EQ(p1.dataSize, 2);
    EXPECT_EQ(p1.name, "Speed");
    EXPECT_EQ(p1.units, "rpm");
    EXPECT_EQ(p1.help, "Motor, speed");
    EXPECT_DOUBLE_EQ(p1.minimum, 0.0);  // hexadecimal minimum
    EXPECT_DOUBLE_EQ(p1.maximum, 3000.5);
    EXPECT_DOUBLE_EQ(p1.defaultValue, 100.0);
    EXPECT_EQ(p1.scalingMultiplier, 1);
    EXPECT_EQ(p1.scalingDivider, 2);
    EXPECT_EQ(p1.scalingBase, 3);
    EXPECT_EQ(p1.scalingOffset, 4);
    EXPECT_EQ(p1.multiplierLink, 5);
    EXPECT_EQ(p1.dividerLink, 6);
    EXPECT_EQ(p1.baseLink, 7);
    EXPECT_EQ(p1.offsetLink, 8);
    EXPECT_EQ(p1.decimalPlaces, 1);
    EXPECT_EQ(p1.enumeration.values, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(p1.enumeration.texts, (std::vector<std::string>{"Off", "On"}));

    const ParamEntry& p2 = params.GetParam(2);
    EXPECT_EQ(p2.linkPathSize, 0);
    EXPECT_EQ(p2.linkPathText, "");  // size 0: the path text is not read
    EXPECT_TRUE(p2.linkPathBytes.empty());
    EXPECT_EQ(p2.dataType, 199);
    EXPECT_EQ(p2.name, "");
    EXPECT_DOUBLE_EQ(p2.minimum, -5.0);
    EXPECT_EQ(p2.decimalPlaces, 3);
    EXPECT_TRUE(p2.enumeration.values.empty());

    // Param01 and Param1 are both number 1; "Param1" sorts after "Param01" and wins. Enum01
    // belongs to Param01 only.
    EXPECT_EQ(p1.name, "Speed");

    // A link path size larger than the text reads what is there.
    EXPECT_EQ(params.GetParam(3).linkPathBytes, (std::vector<uint8_t>{0x20, 0x0F}));

    EXPECT_EQ(params.Params().size(), 3u);  // Param0, MyParam3 and the oversized key skipped
    EXPECT_EQ(params.GetParam(0), ParamEntry{});
    EXPECT_EQ(params.GetParam(42), ParamEntry{});
}

TEST(EdsSections, EnumPairsOfPaddedKey) {
    CEDSFile doc = Parse(
        "[Params]\nParam01 = 0,0,,0,1,1,\"Padded\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n"
        "Enum1 = 1,\"One\";\nEnum01 = 7,\"Seven\",8,\"\",9,\"Nine, really\";\n");
    const ParamEntry& p = doc.Params().GetParam(1);
    EXPECT_EQ(p.name, "Padded");
    EXPECT_EQ(p.enumeration.values, (std::vector<int32_t>{7, 8, 9}));
    EXPECT_EQ(p.enumeration.texts, (std::vector<std::string>{"Seven", "", "Nine, really"}));
}

TEST(EdsSections, EnumPairsAcrossManyParams) {
    // Enum entries pair with the Param entry of the same text after the marker wherever they
    // stand; an Enum without its Param and a Param without its Enum pair with nothing.
    const std::string fields = " = 0,0,,0,1,1,\"P\",\"\",\"\",0,0,0,0,0,0,0,0,0,0,0,0;\n";
    CEDSFile doc = Parse("[Params]\nParam2" + fields + "Param10" + fields + "Enum10 = 1,\"Ten\";\n" +
                         "Enum3 = 3,\"Orphan\";\nParam4" + fields + "Enum4 = 4,\"Four\";\n" + "QQQQQ7Param" + fields +
                         "Enum = 7,\"Seven\";\n");
    const struct {
        int32_t number;
        std::vector<std::string> texts;
    } cases[] = {{2, {}}, {3, {}}, {4, {"Four"}}, {7, {"Seven"}}, {10, {"Ten"}}};
    for (const auto& c : cases)
        EXPECT_EQ(doc.Params().GetParam(c.number).enumeration.texts, c.texts) << "Param " << c.number;
    EXPECT_EQ(doc.Params().Params().size(), 4u);
}

TEST(EdsSections, ParamValueWriters) {
    CEDSFile doc = Parse("[Params]\nParam4 = 0,0,,0,1,1,\"P\",\"\",\"\",0,10,5,0,0,0,0,0,0,0,0,0;\n");
    EXPECT_TRUE(doc.Params().SetParamValue(4, 7.5));
    EXPECT_DOUBLE_EQ(doc.Params().GetParam(4).defaultValue, 7.5);
    EXPECT_FALSE(doc.Params().SetParamValue(5, 1.0));
    EXPECT_EQ(doc.Params().GetParam(5), ParamEntry{});
    EXPECT_EQ(doc.Params().FindParam(5), nullptr);
}

TEST(EdsSections, EnumParGroupsAssembly) {
    CEDSFile doc = Parse(
        "[EnumPar]\nParam1 = \"Stop\",\"Run\",\"Fault\";\nParam2 = \"Only\";\nParam3 = ;\nParam4 = bare;\n"
        "[Groups]\nGroup1 = \"Setup\", 3, 1, 2, 3;\nGroup2 = \"Short\", 5, 4;\nGroup3 = \"None\", 0;\n"
        "[Assembly]\nRevision = 2;\n"
        "Assem1 = \"In\", \"20 04 24 64\", 8, 0x0001, 1, 2, 16, Param5, 8, Assem2, 8, \"text\", 8, 42, 16,;\n"
        "Assem2 = \"Odd\", \"\", 2, 3, 0, 0, 16;\n");
    EXPECT_EQ(doc.EnumPar().GetList(1), (std::vector<std::string>{"Stop", "Run", "Fault"}));
    EXPECT_EQ(doc.EnumPar().GetList(2), (std::vector<std::string>{"Only"}));
    EXPECT_TRUE(doc.EnumPar().GetList(3).empty());
    EXPECT_TRUE(doc.EnumPar().GetList(4).empty());
    EXPECT_TRUE(doc.EnumPar().GetList(9).empty());

    const GroupEntry& g1 = doc.Groups().GetGroup(1);
    EXPECT_EQ(g1.name, "Setup");
    EXPECT_EQ(g1.memberCount, 3);
    EXPECT_EQ(g1.members, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(doc.Groups().GetGroup(2).memberCount, 5);
    EXPECT_EQ(doc.Groups().GetGroup(2).members, (std::vector<int32_t>{4}));
    EXPECT_TRUE(doc.Groups().GetGroup(3).members.empty());

    EXPECT_EQ(doc.Assembly().Revision(), 2);
    const AssemblyEntry& a1 = doc.Assembly().GetAssembly(1);
    EXPECT_EQ(a1.name, "In");
    EXPECT_EQ(a1.pathText, "20 04 24 64");
    EXPECT_EQ(a1.pathBytes, (std::vector<uint8_t>{0x20, 0x04, 0x24, 0x64}));
    EXPECT_EQ(a1.size, 8);
    EXPECT_EQ(a1.descriptor, 0);  // 0x0001 read as an integer
    EXPECT_EQ(a1.reserved1, 1);
    EXPECT_EQ(a1.reserved2, 2);
    ASSERT_EQ(a1.members.size(), 5u);
    EXPECT_EQ(a1.members[0].size, 16);
    EXPECT_EQ(a1.members[0].ref, (MemberRef{MemberRef::kParam, 5, ""}));
    EXPECT_EQ(a1.members[1].ref, (MemberRef{MemberRef::kAssembly, 2, ""}));
    EXPECT_EQ(a1.members[2].ref, (MemberRef{MemberRef::kText, 0, "text"}));
    EXPECT_EQ(a1.members[3].ref, (MemberRef{MemberRef::kNumber, 42, ""}));
    EXPECT_EQ(a1.members[4].size, 16);
    EXPECT_EQ(a1.members[4].ref.kind, MemberRef::kEmpty);
    // A member size without a reference ends the list.
    EXPECT_TRUE(doc.Assembly().GetAssembly(2).members.empty());
    EXPECT_EQ(doc.Assembly().GetAssembly(3), AssemblyEntry{});
}

TEST(EdsSections, ParamClassAndOtherSections) {
    CEDSFile doc = Parse(
        "[ParamClass]\nMaxInst = 12;\nDescriptor = 0x09;\nCfgAssembly = 3;\n"
        "[Vendor Specific]\nA = 1;\nB = \"x\";\n");
    EXPECT_EQ(doc.ParamClass().MaxInst(), 12);
    EXPECT_EQ(doc.ParamClass().Descriptor(), 9u);
    EXPECT_EQ(doc.ParamClass().CfgAssembly(), 3);
    const CExpand* other = doc.FindOtherSection("Vendor Specific");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Entries().at("B"), "\"x\"");
    EXPECT_EQ(other->SectionName(), "");
    EXPECT_EQ(doc.OtherSectionIndex().at("Vendor Specific"), 8);
}

TEST(EdsSections, CopiesAreDeep) {
    CEDSFile doc = Parse(
        "[Params]\nParam1 = 0,0,,0,1,1,\"P\",\"\",\"\",0,10,5,0,0,0,0,0,0,0,0,0;\n"
        "[Extra]\nK = 1;\n");
    CEDSFile copy = doc;
    copy.Params().SetParamValue(1, 9.0);
    EXPECT_DOUBLE_EQ(doc.Params().GetParam(1).defaultValue, 5.0);
    EXPECT_DOUBLE_EQ(copy.Params().GetParam(1).defaultValue, 9.0);
    doc.Reset();
    EXPECT_EQ(doc.IsLoaded(), 0);
    EXPECT_TRUE(doc.Params().Params().empty());
    EXPECT_TRUE(doc.OtherSections().empty());
    EXPECT_EQ(copy.IsLoaded(), 1);
    EXPECT_EQ(copy.OtherSections().size(), 1u);
    EXPECT_EQ(copy.Path(), "/tmp/test.eds");
    CEDSFile assigned;
    assigned = copy;
    EXPECT_DOUBLE_EQ(assigned.Params().GetParam(1).defaultValue, 9.0);
}

TEST(EdsSections, VirtualClearThroughBase) {
    CDeviceInfo device;
    device.Parse({{"VendCode", "5"}});
    CInfoBase& base = device;
    base.Clear();
    EXPECT_EQ(device.VendCode(), 0);
    EXPECT_TRUE(device.Entries().empty());
    EXPECT_EQ(base.Parse({{"VendCode", "6"}}), 1);
    EXPECT_EQ(device.VendCode(), 6);
    EXPECT_EQ(device.SectionName(), "Device");
}
