// Texts formatted on worker threads while the window's thread switches the language: every text
// is whole in one of the two languages, and the manager being replaced is not read after it is
// gone (the ThreadSanitizer build runs this too).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "resources/resource_manager.h"
#include "resources/ui_texts.h"

namespace {

constexpr const char* kEnglish = R"(<?xml version="1.0" encoding="utf-8"?>
<resource>
    <string id="62440" value="VARDA_Open(type=%d,index=%d)--"/>
    <string id="62447" value="Setting the parameters failed"/>
</resource>)";

TEST(LanguageSwitch, WorkersFormatWholeTextsWhileTheLanguageChanges) {
    ResetResourceManager();
    const std::string chinese[] = {"VARDA_Open(类型=101,地址=5)--", "参数设置出错"};
    const std::string english[] = {"VARDA_Open(type=101,index=5)--", "Setting the parameters failed"};
    std::atomic<bool> stop{false};
    std::atomic<int> formatted{0};
    std::vector<std::thread> workers;
    std::vector<std::vector<std::string>> seen(3);
    for (auto& texts : seen) {
        workers.emplace_back([&stop, &formatted, &texts] {
            while (!stop.load()) {
                texts.push_back(resources::FormatText(resource_ids::kTextOpenFailed, 101, 5));
                texts.push_back(resources::Text(resource_ids::kTextParameterSetFailed));
                if (texts.size() > 4000) texts.erase(texts.begin(), texts.begin() + 2000);
                formatted.fetch_add(2);
            }
        });
    }
    // Switches go on until the workers have formatted many texts meanwhile.
    for (int switches = 0; switches < 300 || formatted.load() < 20000; ++switches) {
        EXPECT_TRUE(SetResourceManager(CXTPResourceManagerXMLEx::FromText(kEnglish)));
        ResetResourceManager();
    }
    stop = true;
    for (std::thread& worker : workers) worker.join();
    for (const auto& texts : seen) {
        for (size_t i = 0; i + 1 < texts.size(); i += 2) {
            EXPECT_TRUE(texts[i] == chinese[0] || texts[i] == english[0]) << texts[i];
            EXPECT_TRUE(texts[i + 1] == chinese[1] || texts[i + 1] == english[1]) << texts[i + 1];
        }
    }
    EXPECT_EQ(resources::FormatText(resource_ids::kTextOpenFailed, 101, 5), chinese[0]);
}

}  // namespace
