// The shipped demo network file is what the program writes for that network: item texts as
// GB18030 like every file the program writes. With NORVANE_WRITE_DEMO=1 the test writes the
// file instead of checking it (after a change to the demo network or the file format).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fake_master_control.h"
#include "network/io_data_item.h"
#include "network/network_file.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
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
    const std::string written = dir.Read("demo.kld");

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
                    const std::string stored(reinterpret_cast<const char*>(image.data() + IoDataItem::kDescriptionOffset),
                                             platform::Utf8ToGb18030(description).size());
                    EXPECT_EQ(stored, platform::Utf8ToGb18030(description)) << description;
                    chinese += description.find("连接的") != std::string::npos ? 1 : 0;
                }
            }
        }
    }
    EXPECT_GT(chinese, 0) << "the demo carries the default Chinese item texts";
}

}  // namespace
