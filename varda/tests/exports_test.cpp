// libvarda.so exports the sixteen master API functions and nothing else.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "varda_api.h"

namespace {

TEST(VardaExports, ExactlyTheSixteenFunctions) {
    const std::string command = std::string("nm -D --defined-only '") + VARDA_LIBRARY + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
    ASSERT_EQ(::pclose(pipe.release()), 0) << output;

    std::set<std::string> names;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        // "<address> <type> <name>"
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        ASSERT_FALSE(name.empty()) << line;
        EXPECT_EQ(type, "T") << line;
        names.insert(name);
    }
    const std::set<std::string> expected(std::begin(VARDA_FUNCTION_NAMES), std::end(VARDA_FUNCTION_NAMES));
    EXPECT_EQ(expected.size(), 16u);
    EXPECT_EQ(names, expected) << output;
}

}  // namespace
