#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/simulated_slave.h"
#include "test_bus.h"

using namespace adapter_emu;

namespace {

std::string ErrorOf(const std::string& text) {
    try {
        ParseBusText(text, "net.xml");
    } catch (const BusFileError& e) {
        return e.what();
    }
    return "(accepted)";
}

const char* kId = R"(<identity vendor-id="1" device-type="2" product-code="3" product-name="X"/>)";

std::string Slave(const std::string& inner, const std::string& attrs = "mac=\"1\"") {
    return "<bus>\n<slave " + attrs + ">\n" + kId + "\n" + inner + "\n</slave>\n</bus>";
}

}  // namespace

TEST(BusFileTest, ReadsTheTestBus) {
    BusDescription b = ParseBusText(emu_test::kTestBus, "t.xml");
    ASSERT_EQ(b.slaves.size(), 9u);
    const SlaveDescription& s = b.slaves[0];
    EXPECT_EQ(s.mac, 1);
    EXPECT_EQ(s.vendorId, 1250);
    EXPECT_EQ(s.revisionMajor, 1);
    EXPECT_EQ(s.revisionMinor, 2);
    EXPECT_EQ(s.serialNumber, 0x4E560001u);
    EXPECT_TRUE(s.connections[1].used);
    EXPECT_EQ(s.connections[1].inputSize, 4);
    EXPECT_EQ(s.connections[1].outputSize, 2);
    EXPECT_EQ(s.connections[1].behaviour, InputBehaviour::Counter);
    EXPECT_FALSE(s.connections[0].used);
    const SlaveDescription& d = b.slaves[3];
    ASSERT_EQ(d.parameters.size(), 4u);
    EXPECT_EQ(d.parameters[1].choices.size(), 2u);
    EXPECT_FALSE(d.parameters[2].settable);
    EXPECT_EQ(d.parameters[3].value, (std::vector<uint8_t>{0xFB, 0xFF}));
    EXPECT_EQ(b.slaves[4].silentAfterMs, 10000u);
    EXPECT_TRUE(b.slaves[5].idle);
    EXPECT_TRUE(b.slaves[6].absent);
    EXPECT_EQ(b.slaves[7].explicitDelayMs, 500u);
}

TEST(BusFileTest, TheDemoNetworkLoads) {
    const char* src = std::getenv("NORVANE_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    BusDescription b = LoadBusFile(std::filesystem::path(src) / "resources/demo/bus.xml");
    ASSERT_EQ(b.slaves.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(b.slaves[i].mac, i + 1);
    // The commissioning line: the same six and a new device at 63 whose address can be set.
    BusDescription c = LoadBusFile(std::filesystem::path(src) / "resources/demo/commission_bus.xml");
    ASSERT_EQ(c.slaves.size(), 7u);
    EXPECT_EQ(c.slaves[6].mac, 63);
    EXPECT_FALSE(c.slaves[6].fixedSwitches);
    EXPECT_FALSE(c.slaves[6].baudRate.has_value());
}

TEST(BusFileTest, MalformedFilesGiveOneLineWithFileLineAndProblem) {
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"<bus><slave", "net.xml:1: not well-formed XML ("},
        {"<network/>", "net.xml:1: the root element must be <bus>"},
        {"<bus>\n<device/></bus>", "net.xml:2: unknown element <device> in <bus> (only <slave>)"},
        {Slave("", "mac=\"64\""), "net.xml:2: <slave>: mac must be a number from 0 to 63, not \"64\""},
        {Slave("", "name=\"x\""), "net.xml:2: <slave>: attribute \"mac\" is missing"},
        {Slave("", "mac=\"1\" speed=\"3\""), "net.xml:2: <slave>: unknown attribute \"speed\""},
        {"<bus>\n<slave mac=\"1\"/>\n</bus>", "net.xml:2: slave 1: <identity> is missing"},
        {"<bus>\n<slave mac=\"1\">" + std::string(kId) + "</slave>\n<slave mac=\"1\">" + kId + "</slave></bus>",
         "net.xml:3: slave MAC ID 1 is used twice (duplicate-mac=\"true\" on the later one simulates a duplicate)"},
        {Slave("", "mac=\"1\" duplicate-mac=\"true\""),
         "net.xml:2: slave 1: duplicate-mac=\"true\" but no slave before it has that MAC ID"},
        {Slave("", "mac=\"1\" duplicate-mac=\"maybe\""),
         "net.xml:2: <slave>: duplicate-mac must be true or false, not \"maybe\""},
        {Slave("", "mac=\"1\" switches=\"dip\""), "net.xml:2: <slave>: switches must be fixed or network, not \"dip\""},
        {Slave("", "mac=\"1\" baud=\"1M\""), "net.xml:2: <slave>: baud must be 125K, 250K or 500K, not \"1M\""},
        {Slave("<poll input=\"256\"/>"),
         "net.xml:4: slave 1: <poll>: input must be a number from 0 to 255, not \"256\""},
        {Slave("<poll input=\"2\" inputs=\"random\"/>"),
         "net.xml:4: slave 1: <poll>: inputs must be constant, counter or loopback, not \"random\""},
        {Slave("<poll input=\"1\" data=\"01 02\"/>"),
         "net.xml:4: slave 1: <poll>: data has 2 bytes, more than the input size 1"},
        {Slave("<poll input=\"1\" data=\"0G\"/>"),
         "net.xml:4: slave 1: <poll>: data must be hexadecimal bytes such as \"01 A2\", not \"0G\""},
        {Slave("<poll/><poll/>"), "net.xml:4: slave 1: <poll> is given twice"},
        {Slave("<parameter number=\"1\" type=\"UINT\" value=\"70000\"/>"),
         "net.xml:4: slave 1: parameter 1: value \"70000\" does not fit type UINT"},
        {Slave("<parameter number=\"1\" type=\"FOO\" value=\"1\"/>"),
         "net.xml:4: slave 1: parameter 1: type \"FOO\" is not a numeric CIP type"},
        {Slave("<parameter number=\"1\" type=\"UINT\" value=\"9\" min=\"10\"/>"),
         "net.xml:4: slave 1: parameter 1: value is outside min..max"},
        {Slave("<parameter number=\"1\" type=\"UINT\" value=\"9\"><choice value=\"1\"/></parameter>"),
         "net.xml:4: slave 1: parameter 1: value is not one of its choices"},
        {Slave(
             "<parameter number=\"1\" type=\"UINT\" value=\"1\"/><parameter number=\"1\" type=\"UINT\" value=\"1\"/>"),
         "net.xml:4: slave 1: parameter 1 is given twice"},
        {Slave("<parameter number=\"1\" type=\"UINT\"/>"),
         "net.xml:4: slave 1: parameter 1: attribute \"value\" is missing"},
        {Slave("<attribute class=\"0x64\" instance=\"1\" id=\"3\"/>"),
         "net.xml:4: slave 1: <attribute>: needs type and value (or data)"},
        {Slave("<fault type=\"broken\"/>"),
         "net.xml:4: slave 1: <fault>: type must be absent, silent, idle or slow, not \"broken\""},
        {Slave("<fault type=\"idle\" after=\"3\"/>"), "net.xml:4: slave 1: <fault>: after belongs to type=\"silent\""},
        {Slave("<fault type=\"silent\" after=\"soon\"/>"),
         "net.xml:4: slave 1: <fault>: after must be a number of seconds, not \"soon\""},
        {"<bus>\n<slave mac=\"1\">\n<identity vendor-id=\"1\" device-type=\"2\" product-code=\"3\" product-name=\"X\" "
         "revision=\"1\"/></slave></bus>",
         "net.xml:3: slave 1: <identity>: revision must be MAJOR.MINOR (1..127 . 0..255), not \"1\""},
    };
    for (const auto& c : cases) {
        const std::string e = ErrorOf(c.text);
        EXPECT_EQ(e.substr(0, c.error.size()), c.error) << c.text;
        EXPECT_EQ(e.find('\n'), std::string::npos) << e;
    }
}

TEST(BusFileTest, UnreadableFile) {
    try {
        LoadBusFile("/nonexistent/bus.xml");
        FAIL();
    } catch (const BusFileError& e) {
        EXPECT_EQ(std::string(e.what()), "/nonexistent/bus.xml: cannot be read");
    }
}

namespace {

// A folder with one EDS file, removed at the end of the test.
class EdsFolder {
public:
    EdsFolder() : dir_(std::filesystem::temp_directory_path() / ("emu-eds-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "dev.eds", std::ios::binary)
            << "[Device]\r\nVendCode = 77;\r\nProdType = 12;\r\nProdCode = 753;\r\nMajRev = 2;\r\nMinRev = 9;\r\n"
               "ProdName = \"EDS Device\";\r\n"
               "[Params]\r\n"
               // Parameter object instance 1, UINT 10..500, default 25.
               "Param1 = 0, 6, \"20 0F 24 01 30 01\", 0x0000, 0xC7, 2, \"Speed\", \"rpm\", \"help\", 10, 500, 25, "
               "1,1,1,0,0,0,0,0,0;\r\n"
               // No link path: instance 2; read only; no usable range (0, 0) gives the type's range.
               "Param2 = 0, 0, \"\", 0x0010, 0xC6, 1, \"State\", \"\", \"\", 0, 0, 3, 1,1,1,0,0,0,0,0,0;\r\n"
               // Another object: class 0x64 instance 1 attribute 3, INT, default -5.
               "Param3 = 0, 6, \"20 64 24 01 30 03\", 0x0000, 0xC3, 2, \"Offset\", \"\", \"\", -100, 100, -5, "
               "1,1,1,0,0,0,0,0,0;\r\n"
               // A string: not simulated.
               "Param4 = 0, 6, \"20 0F 24 04 30 01\", 0x0000, 0xDA, 8, \"Tag\", \"\", \"\", 0, 0, 0, "
               "1,1,1,0,0,0,0,0,0;\r\n";
    }
    ~EdsFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

}  // namespace

TEST(BusFileTest, SlaveFromItsEdsFile) {
    EdsFolder eds;
    BusDescription b = ParseBusText(
        "<bus>\n<slave mac=\"9\" eds=\"dev.eds\">\n<poll input=\"2\" output=\"2\"/>\n"
        "<parameter number=\"2\" type=\"USINT\" value=\"7\"/>\n</slave>\n</bus>",
        "net.xml", eds.Dir());
    ASSERT_EQ(b.slaves.size(), 1u);
    const SlaveDescription& s = b.slaves[0];
    EXPECT_EQ(s.vendorId, 77);
    EXPECT_EQ(s.deviceType, 12);
    EXPECT_EQ(s.productCode, 753);
    EXPECT_EQ(s.revisionMajor, 2);
    EXPECT_EQ(s.revisionMinor, 9);
    EXPECT_EQ(s.productName, "EDS Device");
    EXPECT_EQ(s.serialNumber, 0x00E00009u) << "the serial number is the bus file's default";
    EXPECT_TRUE(s.connections[1].used);

    ASSERT_EQ(s.parameters.size(), 2u);
    const ParameterSpec& speed = s.parameters[0];
    EXPECT_EQ(speed.number, 1);
    EXPECT_EQ(speed.name, "Speed");
    EXPECT_EQ(speed.units, "rpm");
    EXPECT_EQ(speed.type.code, 0xC7);
    EXPECT_EQ(speed.value, (std::vector<uint8_t>{25, 0}));
    EXPECT_EQ(speed.minimum, 10);
    EXPECT_EQ(speed.maximum, 500);
    EXPECT_TRUE(speed.settable);
    const ParameterSpec& state = s.parameters[1];
    EXPECT_EQ(state.number, 2);
    EXPECT_EQ(state.value, (std::vector<uint8_t>{7})) << "the bus file's parameter is kept";
    EXPECT_TRUE(state.name.empty());

    ASSERT_EQ(s.attributes.size(), 1u);
    const AttributeSpec& offset = s.attributes[0];
    EXPECT_EQ(offset.classId, 0x64);
    EXPECT_EQ(offset.instance, 1);
    EXPECT_EQ(offset.id, 3);
    EXPECT_EQ(offset.value, (std::vector<uint8_t>{0xFB, 0xFF}));
    EXPECT_TRUE(offset.settable);
}

TEST(BusFileTest, EdsFileRules) {
    EdsFolder eds;
    // The bus file's identity wins over the EDS file's; a read-only EDS parameter is not settable.
    BusDescription b = ParseBusText("<bus>\n<slave mac=\"3\" eds=\"" + (eds.Dir() / "dev.eds").string() + "\">" + kId +
                                        "</slave>\n</bus>",
                                    "net.xml");
    ASSERT_EQ(b.slaves.size(), 1u);
    EXPECT_EQ(b.slaves[0].vendorId, 1);
    EXPECT_EQ(b.slaves[0].productName, "X");
    ASSERT_EQ(b.slaves[0].parameters.size(), 2u);
    EXPECT_FALSE(b.slaves[0].parameters[1].settable);
    EXPECT_EQ(b.slaves[0].parameters[1].value, (std::vector<uint8_t>{3}));
    EXPECT_EQ(b.slaves[0].parameters[1].maximum, 255);

    try {
        ParseBusText("<bus>\n<slave mac=\"4\" eds=\"nope.eds\"/>\n</bus>", "net.xml", eds.Dir());
        FAIL();
    } catch (const BusFileError& e) {
        EXPECT_EQ(std::string(e.what()), "net.xml:2: slave 4: eds \"nope.eds\": the EDS file cannot be read");
    }
}

TEST(BusFileTest, DemoEdsFilesDescribeTheDemoDevices) {
    const char* src = std::getenv("NORVANE_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    const std::filesystem::path demo = std::filesystem::path(src) / "resources/demo";
    BusDescription bus = LoadBusFile(demo / "bus.xml");
    // The drive's EDS file gives the identity the bus file lists for it.
    BusDescription fromEds = ParseBusText("<bus><slave mac=\"4\" eds=\"eds/nd_vf400.eds\"/></bus>", "eds.xml", demo);
    const SlaveDescription& listed = bus.slaves[3];
    const SlaveDescription& read = fromEds.slaves[0];
    EXPECT_EQ(read.vendorId, listed.vendorId);
    EXPECT_EQ(read.deviceType, listed.deviceType);
    EXPECT_EQ(read.productCode, listed.productCode);
    EXPECT_EQ(read.revisionMajor, listed.revisionMajor);
    EXPECT_EQ(read.revisionMinor, listed.revisionMinor);
    EXPECT_EQ(read.productName, listed.productName);
    ASSERT_FALSE(read.parameters.empty());
    EXPECT_EQ(read.parameters[0].name, listed.parameters[0].name);
}

TEST(BusFileTest, ParameterObjectsDescribeThemselves) {
    BusDescription b = ParseBusText(Slave("<parameter number=\"300\" type=\"UINT\" value=\"5\"/>\n"
                                          "<parameter number=\"2\" type=\"BOOL\" value=\"1\"/>\n"
                                          "<parameter number=\"3\" type=\"LREAL\" value=\"1e39\"/>"),
                                    "net.xml");
    ASSERT_EQ(b.slaves.size(), 1u);
    const SlaveDescription& s = b.slaves[0];
    ASSERT_EQ(s.parameters.size(), 3u);
    EXPECT_EQ(s.parameters[0].number, 2) << "in number order";
    EXPECT_EQ(s.parameters[0].maximum, 1) << "a BOOL parameter holds 0 or 1";
    EXPECT_EQ(s.parameters[1].maximum, std::numeric_limits<double>::max()) << "LREAL's whole range";

    SimulatedSlave slave(s);
    struct Case {
        uint16_t instance;
        uint8_t attribute;
        std::vector<uint8_t> value;
    };
    const Case cases[] = {
        {300, 2, {7}},  // link path size
        {300, 3, {0x20, 0x0F, 0x25, 0x2C, 0x01, 0x30, 0x01}},  // packed, as link paths are read
        {2, 3, {0x20, 0x0F, 0x24, 0x02, 0x30, 0x01}},
        {2, 5, {0xC1}},
        {2, 11, {0x01}},
        {3, 12, {0x1D, 0x4A, 0x9C, 0xF4, 0x87, 0x82, 0x07, 0x48}},
    };
    for (const Case& c : cases) {
        const uint8_t attribute[] = {c.attribute};
        const CipReply reply = slave.Execute(0x0E, 0x0F, c.instance, attribute);
        EXPECT_EQ(reply.status, cip::GeneralStatus::Success) << c.instance << "/" << int(c.attribute);
        EXPECT_EQ(reply.data, c.value) << c.instance << "/" << int(c.attribute);
    }
    const uint8_t setTwo[] = {1, 2};
    EXPECT_EQ(slave.Execute(0x10, 0x0F, 2, setTwo).status, cip::GeneralStatus::InvalidAttributeValue);
}
