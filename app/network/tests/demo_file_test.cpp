// The shipped demo network file is what the program writes for that network, EDS paths relative
// to the file's folder: item texts as GB18030 like every file the program writes. With NORVANE_WRITE_DEMO=1 the test writes the
// file instead of checking it (after a change to the demo network or the file format).
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>
#include <filesystem>
#include <string>

#include "fake_master_control.h"
#include "network/io_data_item.h"
#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "platform/text_encoding.h"
#include "report_capture.h"
#include "testing/build_paths.h"
#include "testing/temp_dir.h"

namespace {

std::string DemoPath() { return testkit::SourceDir() + "/resources/demo/demo.kld"; }

// Every item text of the network set again through the item's accessors, as the program sets
// them; the result is what the program writes for this network.
void RewriteItemTexts(NetworkRegistry& network) {
    for (CServerDev* master : network.Masters()) {
        for (int i = 0; i < master->GetChildCount(); ++i) {
            CSlaveDev* slave = master->GetChild(i);
            SlaveConfigBlock block = slave->Config();
            for (IoDataGroup& group : block.groups) {
                for (auto& item : group) {
                    item->SetName(item->Name());
                    item->SetDescription(item->Description());
                }
            }
            slave->MutableConfig() = std::move(block);
            slave->RebuildDataTable();
        }
    }
}

TEST(DemoNetworkFile, IsWhatTheProgramWritesForIt) {
    ScopedFakeRegistry registryFile{101};
    ReportCapture reports;
    const std::string shipped = testkit::ReadFile(DemoPath());
    ASSERT_FALSE(shipped.empty()) << DemoPath();

    NetworkRegistry network;
    NetworkFileResult loaded = LoadNetworkFile(network, DemoPath());
    ASSERT_TRUE(loaded.parsed);
    EXPECT_TRUE(loaded.problems.empty());
    RewriteItemTexts(network);
    testkit::TempDir dir("norvane_demo");
    ASSERT_TRUE(SaveNetworkFile(network, dir.Path("demo.kld")));
    // The program writes full EDS paths; the shipped file names its EDS files relative to its own
    // folder so that it reads wherever it is installed. Apart from that it is byte for byte what the
    // program writes.
    const std::string demoDir =
        std::filesystem::absolute(testkit::SourceDir() + "/resources/demo").lexically_normal().string() + "/";
    const std::string full = dir.Read("demo.kld");
    std::string written;
    for (std::size_t from = 0, at; from < full.size(); from = at + demoDir.size()) {
        at = full.find("path=\"" + demoDir, from);
        if (at == std::string::npos) {
            written += full.substr(from);
            break;
        }
        at += 6;
        written += full.substr(from, at - from);
    }
    EXPECT_EQ(full.size() - written.size(), 5 * demoDir.size()) << "five slaves with full EDS paths";

    if (const char* update = std::getenv("NORVANE_WRITE_DEMO"); update != nullptr && std::string(update) == "1") {
        ASSERT_TRUE(testkit::WriteFile(DemoPath(), written));
        GTEST_SKIP() << "wrote " << DemoPath();
    }
    EXPECT_TRUE(written == shipped) << "resources/demo/demo.kld differs from what the program writes; "
                                       "run this test with NORVANE_WRITE_DEMO=1 to write it";

    // The texts read back as the program's own: Chinese defaults intact, stored as GB18030.
    NetworkRegistry again;
    ASSERT_TRUE(LoadNetworkFile(again, DemoPath()).parsed);
    int chinese = 0;
    for (CServerDev* master : again.Masters()) {
        for (int i = 0; i < master->GetChildCount(); ++i) {
            for (const IoDataGroup& group : master->GetChild(i)->Config().groups) {
                for (const auto& item : group) {
                    const std::string description = item->Description();
                    const auto image = item->Image();
                    const std::string stored(reinterpret_cast<const char*>(image.data() +
                                                                           IoDataItem::kDescriptionOffset),
                                             platform::Utf8ToGb18030(description).size());
                    EXPECT_EQ(stored, platform::Utf8ToGb18030(description)) << description;
                    chinese += description.find("连接的") != std::string::npos ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GT(chinese, 0) << "the demo carries the default Chinese item texts";
}

// What the property pane and the data panes show of a slave, apart from its configuration blocks
// (those are in the written document): the EDS description it was read with and its data table.
struct SlaveFacts {
    std::string name;
    int address = 0;
    std::string edsFileName;
    int loaded = 0;
    int32_t vendCode = 0, prodType = 0, prodCode = 0, majRev = 0, minRev = 0;
    std::string vendName, prodName, catalog;
    uint32_t connections = 0;
    std::map<int32_t, DeviceNetEDS::IoEntry> inputs, outputs;
    DeviceNetEDS::NumberedMap<DeviceNetEDS::ParamEntry> params;
    std::vector<std::string> items;  // group/item: name, description, size, type, direction

    bool operator==(const SlaveFacts&) const = default;
};

std::vector<SlaveFacts> FactsOf(const NetworkRegistry& network) {
    std::vector<SlaveFacts> facts;
    for (CServerDev* master : network.Masters()) {
        for (int i = 0; i < master->GetChildCount(); ++i) {
            const CSlaveDev& slave = *master->GetChild(i);
            const CEDSFile& eds = slave.Eds().description;
            SlaveFacts f;
            f.name = slave.Config().name;
            f.address = slave.GetAddress();
            f.edsFileName = std::filesystem::path(slave.Eds().path).filename().string();
            f.loaded = eds.IsLoaded();
            f.vendCode = eds.Device().VendCode();
            f.prodType = eds.Device().ProdType();
            f.prodCode = eds.Device().ProdCode();
            f.majRev = eds.Device().MajRev();
            f.minRev = eds.Device().MinRev();
            f.vendName = eds.Device().VendName();
            f.prodName = eds.Device().ProdName();
            f.catalog = eds.Device().Catalog();
            f.connections = eds.IOInfo().SupportedConnections();
            f.inputs = eds.IOInfo().Inputs();
            f.outputs = eds.IOInfo().Outputs();
            f.params = slave.Eds().parameters.Params();
            for (int g = 0; g < slave.GetGroupCount(); ++g) {
                for (int k = 0; k < slave.GetItemCount(g); ++k) {
                    std::string itemName, description;
                    slave.GetItemName(g, k, itemName, description);
                    f.items.push_back(itemName + "|" + description + "|" + std::to_string(slave.GetItemSize(g)) + "|" +
                                      std::to_string(slave.GetItemType(g)) + "|" +
                                      std::to_string(slave.IsInputGroup(g)));
                }
            }
            facts.push_back(std::move(f));
        }
    }
    return facts;
}

TEST(DemoNetworkFile, ExportedToAnotherFolderReopensWithEveryPropertyEqual) {
    ScopedFakeRegistry registryFile{101};
    ReportCapture reports;
    NetworkRegistry original;
    ASSERT_TRUE(LoadNetworkFile(original, DemoPath()).problems.empty());
    const std::vector<SlaveFacts> facts = FactsOf(original);
    ASSERT_EQ(facts.size(), 6u);
    int withEds = 0;
    for (const SlaveFacts& f : facts) withEds += f.loaded;
    ASSERT_EQ(withEds, 5) << "every slave with an EDS path has its description";

    testkit::TempDir elsewhere("norvane_export");
    const std::string exported = elsewhere.Path("导出 网络/demo copy.kld");
    std::filesystem::create_directories(std::filesystem::path(exported).parent_path());
    ASSERT_TRUE(SaveNetworkFile(original, exported));
    NetworkRegistry reopened;
    NetworkFileResult result = LoadNetworkFile(reopened, exported);
    EXPECT_TRUE(result.problems.empty()) << result.problems.front();
    EXPECT_EQ(FactsOf(reopened), facts);
    EXPECT_EQ(NetworkDocumentText(reopened), NetworkDocumentText(original));
}

}  // namespace
