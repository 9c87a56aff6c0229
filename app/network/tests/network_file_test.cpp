// The network configuration file: writing, reading, round trips and damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <tinyxml2.h>
#include <unistd.h>

#include "network_builder.h"
#include "fake_master_control.h"
#include "network/hex_text.h"
#include "network/master_card.h"
#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "report_capture.h"
#include "services/global.h"
#include "testing/build_paths.h"
#include "testing/temp_dir.h"

namespace {

constexpr uint32_t kType = 101;

using testkit::ReadFile;
using testkit::TempDir;
using testkit::WriteFile;

// A poll slave with its I/O entries and an identity of its own.
std::unique_ptr<CSlaveDev> MakeSlave(uint32_t mac, const std::string& name, uint8_t pollIn, uint8_t pollOut) {
    SlaveConfigBlock block = test_network::PollSlaveBlock(mac, pollIn, pollOut, name);
    block.use[ConnectionUse::kPollInput] = 1;
    block.use[ConnectionUse::kPollOutput] = 2;
    VARDA_SLAVE_CONFIG r = block.record.Record();
    r.VendorId = 0x1B3;
    r.ProductType = 12;
    r.ProductCode = 0x2F0 + mac;
    block.record.SetRecord(r);
    auto slave = std::make_unique<CSlaveDev>();
    slave->ReplaceConfig(block);
    return slave;
}

class NetworkFile : public ::testing::Test {
protected:
    void SetUp() override { fake.Reset(); }

    // Two cards, three masters, slaves with an input and an output group each.
    void BuildSample(NetworkRegistry& target) {
        CServerDev* a = target.GetOrCreateMaster(kType, 0, 0);
        MasterConfigBlock block = MasterConfigBlock::Defaults(0, 2);
        a->SetConfig(block);
        a->AddChild(MakeSlave(5, "阀岛", 4, 2));
        a->AddChild(MakeSlave(2, "Drive", 8, 8));
        CServerDev* b = target.GetOrCreateMaster(kType, 0, 1);
        block = MasterConfigBlock::Defaults(63, 0);
        for (std::size_t i = 36; i < 52; ++i) block.bytes[i] = static_cast<uint8_t>(i);  // kept as they are
        b->SetConfig(block);
        b->AddChild(MakeSlave(1, "Slave", 1, 1));
        CServerDev* c = target.GetOrCreateMaster(kType, 3, 0);
        c->SetConfig(MasterConfigBlock::Defaults(10, 1));
        auto slave = MakeSlave(11, "IO", 2, 0);
        SlaveRecordBlock& record = slave->MutableConfig().record;
        for (std::size_t i = 36; i < 52; ++i) record.bytes[i] = static_cast<uint8_t>(0xA0 + i - 36);
        c->AddChild(std::move(slave));
    }

    ScopedFakeRegistry registryFile{kType};
    FakeMasterControl fake;
    ReportCapture reports;
    TempDir dir;
};

TEST_F(NetworkFile, EmptyNetwork) {
    NetworkRegistry network;
    std::string path = dir.Path("empty.kld");
    ASSERT_TRUE(SaveNetworkFile(network, path));
    EXPECT_EQ(ReadFile(path), "") << "no elements at all";
    network.GetOrCreateMaster(kType, 0, 0);
    NetworkFileResult result = LoadNetworkFile(network, path);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(network.IsEmpty()) << "reading replaces the whole network";
    EXPECT_TRUE(result.problems.empty());
}

TEST_F(NetworkFile, ByteExactRoundTrip) {
    NetworkRegistry network;
    BuildSample(network);
    std::string first = dir.Path("first.kld");
    std::string second = dir.Path("second.kld");
    ASSERT_TRUE(SaveNetworkFile(network, first));

    NetworkRegistry reread;
    NetworkFileResult result = LoadNetworkFile(reread, first);
    EXPECT_TRUE(result.parsed);
    EXPECT_TRUE(result.problems.empty());
    ASSERT_TRUE(SaveNetworkFile(reread, second));
    EXPECT_EQ(ReadFile(first), ReadFile(second));

    CServerDev* b = reread.FindMaster(kType, 0, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Config(), network.FindMaster(kType, 0, 1)->Config()) << "bytes 36..51 kept";
    CServerDev* a = reread.FindMaster(kType, 0, 0);
    ASSERT_EQ(a->GetChildCount(), 2);
    EXPECT_EQ(a->GetChild(0)->GetAddress(), 5) << "list order, not address order";
    EXPECT_EQ(a->GetChild(0)->Config().name, "阀岛");
    const SlaveConfigBlock& config = a->GetChild(0)->Config();
    ASSERT_EQ(config.groups.size(), 2u);
    EXPECT_EQ(config.groups[0][0]->Name(), "Poll_Input");
    EXPECT_EQ(config.groups[1][0]->Size(), 2);
    EXPECT_EQ(config.use, network.FindMaster(kType, 0, 0)->GetChild(0)->Config().use);
    EXPECT_EQ(a->GetChild(0)->GetDataCells()->size(), 3u) << "data table rebuilt";
    CSlaveDev* io = reread.FindMaster(kType, 3, 0)->GetChild(0);
    EXPECT_EQ(io->Config().record, network.FindMaster(kType, 3, 0)->GetChild(0)->Config().record);
}

TEST_F(NetworkFile, ElementTreeInWritingOrder) {
    NetworkRegistry network;
    CServerDev* master = network.GetOrCreateMaster(kType, 4, 1);
    master->SetConfig(MasterConfigBlock::Defaults(3, 1));
    master->AddChild(MakeSlave(6, "Slave", 2, 1));
    tinyxml2::XMLDocument doc;
    std::string text = NetworkDocumentText(network);
    EXPECT_EQ(text.find("<?xml"), std::string::npos) << "no declaration";
    ASSERT_EQ(doc.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
    const tinyxml2::XMLElement* card = doc.FirstChildElement();
    ASSERT_NE(card, nullptr);
    EXPECT_STREQ(card->Name(), "Card");
    EXPECT_STREQ(card->Attribute("type"), "101");
    EXPECT_STREQ(card->Attribute("addr"), "4");
    const tinyxml2::XMLElement* server = card->FirstChildElement();
    EXPECT_STREQ(server->Name(), "Server");
    EXPECT_STREQ(server->Attribute("chlIndex"), "1");
    const tinyxml2::XMLElement* config = server->FirstChildElement();
    EXPECT_STREQ(config->Name(), "config");
    EXPECT_STREQ(config->Attribute("value"),
                 "0300000001000000"
                 "0A000000010000004B00000001000000000000000000000000000000"
                 "00000000000000000000000000000000");
    const tinyxml2::XMLElement* slave = config->NextSiblingElement();
    EXPECT_STREQ(slave->Name(), "Slave");
    EXPECT_STREQ(slave->Attribute("name"), "Slave");
    std::vector<std::string> children;
    for (const auto* e = slave->FirstChildElement(); e != nullptr; e = e->NextSiblingElement()) {
        children.push_back(e->Name());
    }
    EXPECT_EQ(children, (std::vector<std::string>{"EDSPath", "IOUse", "Item", "Item", "VARDA_CFG"}));
    EXPECT_STREQ(slave->FirstChildElement("IOUse")->Attribute("value"), "0101010200000001000000000000000000");
    const auto* input = slave->FirstChildElement("Item");
    const auto* sub = input->FirstChildElement("SubItem");
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(std::string(sub->Attribute("value")).size(), 358u);
    EXPECT_EQ(sub->NextSiblingElement("SubItem"), nullptr);
    EXPECT_EQ(std::string(sub->Attribute("value")).substr(8, 10), "0800010200") << "type 8, input, size 2";
    EXPECT_EQ(std::string(slave->FirstChildElement("VARDA_CFG")->Attribute("value")).size(), 104u);
}

// A file as another tool writes it: GB18030 name, reference bytes in the item image, attributes
// and elements in the written order.
std::string GoldenFile() {
    std::string item(358, '0');
    auto put = [&](std::size_t byte, const std::string& hex) { item.replace(byte * 2, hex.size(), hex); };
    put(4, "1100");  // u8
    put(6, "01");  // input
    put(7, "0100");  // size 1
    put(9, "5374617465");  // "State"
    put(163, "78563412");  // an in-memory reference of the writer
    put(167, "2A");  // value 42
    std::string name = "\xB7\xA7\xB5\xBA";  // 阀岛 in GB18030
    return "<Card type=\"101\" addr=\"1\">\n"
           "    <Server chlIndex=\"0\">\n"
           "        <config "
           "value="
           "\"0C000000020000000A000000010000004B0000000300000000000000000000000000000000000000000000000000000000000000"
           "\"/>\n"
           "        <Slave name=\"" +
           name +
           "\">\n"
           "            <EDSPath path=\"\"/>\n"
           "            <IOUse value=\"0101010200000001000000000000000000\"/>\n"
           "            <Item>\n"
           "                <SubItem value=\"" +
           item +
           "\"/>\n"
           "            </Item>\n"
           "            <VARDA_CFG "
           "value="
           "\"21000000B30100000C000000F00200000100000004000200FA000000100000000100000000000000000000000000000000000000"
           "\"/>\n"
           "        </Slave>\n"
           "    </Server>\n"
           "</Card>\n";
}

TEST_F(NetworkFile, GoldenFileReadsIntoTheExpectedModel) {
    std::string path = dir.Path("golden.kld");
    WriteFile(path, GoldenFile());
    NetworkRegistry network;
    NetworkFileResult result = LoadNetworkFile(network, path);
    EXPECT_TRUE(result.parsed);
    EXPECT_TRUE(result.problems.empty()) << result.problems.front();
    CServerDev* master = network.FindMaster(kType, 1, 0);
    ASSERT_NE(master, nullptr);
    VARDA_INIT_PARAM init = master->Config().Record();
    EXPECT_EQ(init.MacId, 12u);
    EXPECT_EQ(init.BaudRate, 2u);
    EXPECT_EQ(init.ScanDelay, 10u);
    EXPECT_EQ(init.ExpectedPacketRate, 75u);
    EXPECT_EQ(init.RetryCount, 3u);
    ASSERT_EQ(master->GetChildCount(), 1);
    CSlaveDev* slave = master->GetChild(0);
    EXPECT_EQ(slave->Config().name, "阀岛");
    EXPECT_EQ(slave->Eds().path, "");
    VARDA_SLAVE_CONFIG r = slave->Config().record.Record();
    EXPECT_EQ(r.MacId, 0x21u);
    EXPECT_EQ(r.VendorId, 0x1B3u);
    EXPECT_EQ(r.ProductType, 12u);
    EXPECT_EQ(r.ProductCode, 0x2F0u);
    EXPECT_EQ(r.ConnectionFlags, 1);
    EXPECT_EQ(r.PollInputSize, 4);
    EXPECT_EQ(r.PollOutputSize, 2);
    EXPECT_EQ(slave->Config().use[ConnectionUse::kPollOutput], 2);
    ASSERT_EQ(slave->Config().groups.size(), 1u);
    const IoDataItem& item = *slave->Config().groups[0][0];
    EXPECT_EQ(item.Name(), "State");
    EXPECT_EQ(item.ValueType(), 17);
    EXPECT_TRUE(item.IsInput());
    EXPECT_EQ(item.Image()[163], 0) << "the stored reference is dropped";
    EXPECT_EQ(slave->GetItemType(1), 4);
    slave->SetItemValue(1, 0, 0, std::vector<uint8_t>{42});
    slave->RefreshDataCells();
    EXPECT_EQ(std::get<uint8_t>((*slave->GetDataCells())[1][0].value), 42);

    // Written back in GB18030.
    std::string again = dir.Path("again.kld");
    ASSERT_TRUE(SaveNetworkFile(network, again));
    std::string bytes = ReadFile(again);
    EXPECT_NE(bytes.find("name=\"\xB7\xA7\xB5\xBA\""), std::string::npos);
}

TEST_F(NetworkFile, UnreadableEdsStillCreatesTheSlave) {
    std::string text = GoldenFile();
    std::string missing = dir.Path("missing.eds");
    text.replace(text.find("path=\"\""), 7, "path=\"" + missing + "\"");
    NetworkRegistry network;
    LoadNetworkBytes(network, text);
    CServerDev* master = network.FindMaster(kType, 1, 0);
    ASSERT_NE(master, nullptr);
    ASSERT_EQ(master->GetChildCount(), 1);
    EXPECT_EQ(master->GetChild(0)->Eds().path, missing);
}

TEST_F(NetworkFile, EdsPathsResolveBesideTheFileThenInTheEdsFolderAndAreWrittenFull) {
    const std::string eds = "[Device]\r\nVendCode = 77;\r\nProdName = \"Dev\";\r\n";
    std::filesystem::create_directories(dir.Path("eds"));
    WriteFile(dir.Path("eds/Dev.eds"), eds);
    const std::string inEdsFolder = GetGlobal().EdsFolder() + "Travel.eds";
    WriteFile(inEdsFolder, eds);
    struct Case {
        std::string written;  // EDSPath/path in the file
        std::string resolved;  // the slave's path after reading, written back as it is
        bool logged;  // one line naming the slave and the file
    };
    const Case cases[] = {
        {"eds\\Dev.eds", dir.Path("eds/Dev.eds"), false},
        {"eds/Dev.eds", dir.Path("eds/Dev.eds"), false},
        {dir.Path("eds/Dev.eds"), dir.Path("eds/Dev.eds"), false},
        {"elsewhere/Travel.eds", inEdsFolder, false},
        {"/no/such/folder/Travel.eds", inEdsFolder, false},
        {"C:\\Program Files\\Norvane\\edsfile\\Travel.eds", inEdsFolder, false},
        {"gone/Nowhere.eds", "gone/Nowhere.eds", true},
    };
    for (const Case& c : cases) {
        std::string text = GoldenFile();
        text.replace(text.find("path=\"\""), 7, "path=\"" + c.written + "\"");
        WriteFile(dir.Path("net.kld"), text);
        reports.Take();
        NetworkRegistry network;
        NetworkFileResult result = LoadNetworkFile(network, dir.Path("net.kld"));
        CSlaveDev* slave = network.FindMaster(kType, 1, 0)->GetChild(0);
        EXPECT_EQ(slave->Eds().path, c.resolved) << c.written;
        EXPECT_EQ(slave->Eds().description.Device().VendCode(), c.logged ? 0 : 77) << c.written;
        EXPECT_NE(NetworkDocumentText(network).find("path=\"" + c.resolved + "\""), std::string::npos) << c.written;
        const std::string line = "从站 " + slave->Config().name + " 的EDS文件找不到: " + c.written;
        EXPECT_EQ(result.problems, c.logged ? std::vector<std::string>{line} : std::vector<std::string>{}) << c.written;
        EXPECT_EQ(reports.Take(), c.logged ? std::vector<std::string>{line} : std::vector<std::string>{}) << c.written;
    }
    std::filesystem::remove(inEdsFolder);
}

TEST_F(NetworkFile, DuplicateChannelsMergeIntoOneMaster) {
    NetworkRegistry network;
    BuildSample(network);
    std::string text = NetworkDocumentText(network);
    // Split card 0's second server into a card of its own with chlIndex 0: its slaves join master 0.
    std::size_t second = text.find("<Server chlIndex=\"1\">");
    ASSERT_NE(second, std::string::npos);
    text.replace(second, 21, "<Server chlIndex=\"0\">");
    NetworkRegistry merged;
    NetworkFileResult result = LoadNetworkBytes(merged, text);
    EXPECT_TRUE(result.problems.empty());
    CServerDev* master = merged.FindMaster(kType, 0, 0);
    ASSERT_EQ(merged.FindCard(kType, 0)->Masters().size(), 1u);
    ASSERT_EQ(master->GetChildCount(), 3);
    EXPECT_EQ(master->GetChild(0)->GetAddress(), 5);
    EXPECT_EQ(master->GetChild(1)->GetAddress(), 2);
    EXPECT_EQ(master->GetChild(2)->GetAddress(), 1);
    EXPECT_EQ(master->GetAddress(), 63) << "the second config replaced the first";
}

TEST_F(NetworkFile, FilesThatAreNoNetworkAreRefusedAndTheNetworkStays) {
    NetworkRegistry sample;
    BuildSample(sample);
    const std::string good = NetworkDocumentText(sample);
    struct Case {
        std::string name;
        std::optional<std::string> bytes;  // none: no file
        NetworkFileRefusal expected;
    };
    const Case cases[] = {
        {"no file", std::nullopt, NetworkFileRefusal::CannotOpen},
        {"a folder", std::nullopt, NetworkFileRefusal::CannotOpen},
        {"4096 zero bytes", std::string(4096, '\0'), NetworkFileRefusal::Binary},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), NetworkFileRefusal::Binary},
        {"zeros after a network", good + std::string(16, '\0'), NetworkFileRefusal::Binary},
        {"another XML document", "<?xml version=\"1.0\"?>\n<ServerInfo><Item name=\"x\"/></ServerInfo>\n",
         NetworkFileRefusal::OtherDocument},
        {"truncated before any card closes", good.substr(0, good.find("<config")), NetworkFileRefusal::NothingReadable},
        {"text", "hello, world\n", NetworkFileRefusal::NothingReadable},
        {"blank: the empty network", " \r\n\t", NetworkFileRefusal::None},
        {"a declaration only: the empty network", "<?xml version=\"1.0\"?>\n", NetworkFileRefusal::None},
        {"truncated after a card", good.substr(0, good.rfind("<VARDA_CFG")), NetworkFileRefusal::None},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Path("网络 文件.kld");
        std::filesystem::remove(path);
        if (c.bytes) WriteFile(path, *c.bytes);
        if (c.name == "a folder") std::filesystem::create_directory(path);
        EXPECT_EQ(CheckNetworkFile(path), c.expected) << c.name;
        if (c.bytes) {
            EXPECT_EQ(CheckNetworkBytes(*c.bytes), c.expected) << c.name;
        }

        NetworkRegistry network;
        BuildSample(network);
        reports.Take();
        NetworkFileResult result = LoadNetworkFile(network, path);
        EXPECT_EQ(result.refused, c.expected) << c.name;
        if (c.expected == NetworkFileRefusal::None) continue;
        EXPECT_FALSE(result.opened) << c.name;
        EXPECT_EQ(NetworkDocumentText(network), good) << c.name << ": the network stays";
        const std::string line = (c.expected == NetworkFileRefusal::CannotOpen ? "无法打开网络配置文件: "
                                                                               : "不是网络配置文件, 当前网络未改变: ") +
                                 path;
        EXPECT_EQ(result.problems, std::vector<std::string>{line}) << c.name;
        EXPECT_EQ(reports.Take(), std::vector<std::string>{line}) << c.name;
    }

    NetworkRegistry network;
    network.GetOrCreateMaster(kType, 0, 0);
    LoadNetworkFile(network, "");
    EXPECT_FALSE(network.IsEmpty()) << "an empty path does nothing";
}

TEST_F(NetworkFile, SavingIntoAnUnwritablePlaceKeepsTheFileThatIsThere) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    NetworkRegistry network;
    BuildSample(network);
    std::filesystem::create_directories(dir.Path("read-only"));
    WriteFile(dir.Path("read-only/net.kld"), "old");
    std::filesystem::permissions(dir.Path("read-only/net.kld"), std::filesystem::perms::owner_read);
    std::filesystem::permissions(dir.Path("read-only"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(SaveNetworkFile(network, dir.Path("read-only/net.kld")));
    EXPECT_FALSE(SaveNetworkFile(network, dir.Path("read-only/new.kld")));
    std::filesystem::permissions(dir.Path("read-only"), std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadFile(dir.Path("read-only/net.kld")), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("read-only/new.kld")));
    // Export elsewhere works, under a name with blanks and Chinese characters.
    ASSERT_TRUE(SaveNetworkFile(network, dir.Path("导出 的 网络.kld")));
    NetworkRegistry again;
    EXPECT_TRUE(LoadNetworkFile(again, dir.Path("导出 的 网络.kld")).problems.empty());
    EXPECT_EQ(NetworkDocumentText(again), NetworkDocumentText(network));
}

TEST_F(NetworkFile, DamagedFilesReadWhatIsValid) {
    NetworkRegistry sample;
    BuildSample(sample);
    const std::string good = NetworkDocumentText(sample);

    struct Case {
        std::string name;
        std::string text;
        std::size_t masters;
        std::size_t slaves;
        bool problems;
    };
    std::vector<Case> cases;
    // Cut inside the last slave of the last card: everything before it is read.
    cases.push_back({"truncated", good.substr(0, good.rfind("<VARDA_CFG")), 3, 3, true});
    cases.push_back(
        {"cut in the middle of a tag", good.substr(0, good.find("<Server chlIndex=\"1\"") + 10), 1, 2, true});
    cases.push_back({"garbage", "\x01\x02<<<>>>&&&", 0, 0, true});
    std::string odd = good;
    odd.replace(odd.find("value=\"") + 7, 1, "");  // one digit short in the first block
    cases.push_back({"odd digit count", odd, 3, 4, true});
    std::string nonhex = good;
    nonhex.replace(nonhex.find("<IOUse value=\"") + 14, 2, "ZZ");
    cases.push_back({"non-hex digits", nonhex, 3, 4, true});
    std::string noType = good;
    noType.replace(noType.find(" type=\"101\""), 11, "");
    cases.push_back({"card without type", noType, 1, 1, true});
    std::string noChannel = good;
    noChannel.replace(noChannel.find(" chlIndex=\"0\""), 13, " chlIndex=\"-4\"");
    cases.push_back({"bad channel", noChannel, 2, 2, true});
    std::string noCfg = good;
    std::size_t cfg = noCfg.find("<VARDA_CFG");
    noCfg.erase(cfg, noCfg.find("/>", cfg) + 2 - cfg);  // slave 5 falls back to MAC 0, which is its master's
    cases.push_back({"slave without record", noCfg, 3, 3, true});

    for (const Case& c : cases) {
        NetworkRegistry network;
        NetworkFileResult result = LoadNetworkBytes(network, c.text);
        std::size_t slaves = 0;
        for (CServerDev* master : network.Masters()) slaves += static_cast<std::size_t>(master->GetChildCount());
        EXPECT_EQ(network.Masters().size(), c.masters) << c.name;
        EXPECT_EQ(slaves, c.slaves) << c.name;
        EXPECT_EQ(!result.problems.empty(), c.problems) << c.name;
    }
}

TEST_F(NetworkFile, InvalidAndDuplicateSlaveAddressesAreSkipped) {
    std::string slaves;
    auto slaveText = [](uint32_t mac) {
        SlaveRecordBlock record;
        record.SetMacId(mac);
        return "<Slave name=\"s\"><EDSPath path=\"\"/><IOUse value=\"01\"/><VARDA_CFG value=\"" +
               netmodel::EncodeHex(record.bytes) + "\"/></Slave>";
    };
    for (uint32_t i = 0; i < 10000; ++i) slaves += slaveText(i % 70);
    std::string text =
        "<Card type=\"101\" addr=\"0\"><Server chlIndex=\"0\"><config value=\"05\"/>" + slaves + "</Server></Card>";
    NetworkRegistry network;
    NetworkFileResult result = LoadNetworkBytes(network, text);
    CServerDev* master = network.FindMaster(kType, 0, 0);
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(master->GetAddress(), 5);
    EXPECT_EQ(master->GetChildCount(), 63) << "0..63 without the master's own address 5";
    for (int i = 0; i < master->GetChildCount(); ++i) EXPECT_LE(master->GetChild(i)->GetAddress(), 63);
    EXPECT_FALSE(result.problems.empty());
}

}  // namespace
