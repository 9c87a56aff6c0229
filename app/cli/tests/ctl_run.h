// Runs norvanectl as a child process in a test home and collects its exit code and output.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "testing/build_paths.h"
#include "testing/child_process.h"
#include "testing/test_home.h"

struct CtlResult {
    int code = -1000;
    std::string out;
    std::string err;
};

// `env` is the child's environment beside NORVANE_HOME (e.g. an emulator session's variables).
inline CtlResult RunCtl(const testkit::TestHome& home, const std::vector<std::string>& args,
                        std::map<std::string, std::string> env = {}) {
    env["NORVANE_HOME"] = home.ProgramDir();
    CtlResult result;
    {
        testkit::ChildProcess ctl(testkit::BinDir() + "/norvanectl", args, env, home.Path("out"), home.Path("err"));
        EXPECT_TRUE(ctl.Started());
        result.code = ctl.Wait(std::chrono::seconds(60)).value_or(-1000);
    }
    result.out = testkit::ReadFile(home.Path("out"));
    result.err = testkit::ReadFile(home.Path("err"));
    return result;
}
