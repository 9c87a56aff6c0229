// Runs a program of the build as a child process with extra environment variables, its output
// going to files, for tests.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testkit {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::string& stdoutPath,
                 const std::string& stderrPath);
    ~ChildProcess();  // stops (SIGKILL) and reaps a child that still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const;
    // The exit code, or none when the child did not end in time (or ended by a signal: -signal).
    std::optional<int> Wait(std::chrono::milliseconds timeout);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

}  // namespace testkit
