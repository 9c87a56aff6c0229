#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

TEST(TimestampedLine, HasTheLibraryLineFormat) {
    std::string line = platform::TimestampedLine("varda.dll", "VARDA_Open()", "Failed to retrieve library name");
    std::regex pattern(
        R"(varda\.dll: \d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} - VARDA_Open\(\): Failed to retrieve library name\n)");
    EXPECT_TRUE(std::regex_match(line, pattern)) << line;
}

TEST(DebugOutput, AppendsWholeLinesToTheNamedFile) {
    auto path = std::filesystem::temp_directory_path() / ("norvane-dbg-" + std::to_string(::getpid()));
    std::filesystem::remove(path);
    ::setenv("VARDA_DEBUG_OUTPUT", path.c_str(), 1);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 50; ++i) platform::DebugOutput("writer " + std::to_string(t) + " line\n");
        });
    }
    for (auto& w : writers) w.join();
    ::unsetenv("VARDA_DEBUG_OUTPUT");

    std::ifstream in(path);
    std::string line;
    int count = 0;
    while (std::getline(in, line)) {
        EXPECT_TRUE(std::regex_match(line, std::regex("writer [0-3] line"))) << line;
        ++count;
    }
    EXPECT_EQ(count, 200);
    std::filesystem::remove(path);
}

}  // namespace
