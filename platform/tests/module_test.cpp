#include "platform/module.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

TEST(Module, MissingFileIsNotFound) {
    int error = 0;
    std::string message;
    auto module = platform::Module::Load("/nonexistent/dir/libnothing.so", error, message);
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(error, 2);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(module.Symbol("anything"), nullptr);
}

TEST(Module, UnknownBareNameAndEmptyNameAreNotFound) {
    for (const char* name : {"libnorvane-no-such-library.so", ""}) {
        int error = 0;
        std::string message;
        auto module = platform::Module::Load(name, error, message);
        EXPECT_FALSE(module.IsLoaded()) << name;
        EXPECT_EQ(error, 2) << name;
        EXPECT_FALSE(message.empty()) << name;
    }
}

TEST(Module, NotALibraryIsNotExecutable) {
    int error = 0;
    std::string message;
    auto path = std::filesystem::temp_directory_path() / ("norvane-notlib-" + std::to_string(::getpid()));
    std::ofstream(path) << "not a shared object";
    auto module = platform::Module::Load(path.string(), error, message);
    std::filesystem::remove(path);
    EXPECT_FALSE(module.IsLoaded());
    EXPECT_EQ(error, 8);
}

TEST(Module, ResolvesSymbolsOfALoadedLibrary) {
    int error = 0;
    std::string message;
    auto module = platform::Module::Load("libc.so.6", error, message);
    ASSERT_TRUE(module.IsLoaded()) << message;
    EXPECT_NE(module.Symbol("strlen"), nullptr);
    EXPECT_EQ(module.Symbol("no_such_symbol_here"), nullptr);
    platform::Module moved = std::move(module);
    EXPECT_TRUE(moved.IsLoaded());
    EXPECT_FALSE(module.IsLoaded());
}

}  // namespace
