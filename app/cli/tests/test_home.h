// A temporary folder for a test, with a program folder (settings copied from the build) that
// the programs under test use as NORVANE_HOME, so the build's own settings are never rewritten.
#pragma once

#include <filesystem>
#include <string>

class TestHome {
public:
    explicit TestHome(const std::string& tag);
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    std::string ProgramDir() const { return (root_ / "home").string(); }

private:
    std::filesystem::path root_;
};
