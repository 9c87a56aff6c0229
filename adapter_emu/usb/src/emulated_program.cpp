#include "adapter_emu_usb/emulated_program.h"

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "adapter_emu_usb/usb_testbed.h"

extern char** environ;

namespace adapter_emu::usb {

namespace {

bool Named(const std::string& entry, const char* name) {
    const std::size_t n = std::strlen(name);
    return entry.size() > n && entry.compare(0, n, name) == 0 && entry[n] == '=';
}

}  // namespace

std::vector<std::string> EmulatedEnvironment(const std::vector<std::string>& environment,
                                             const std::filesystem::path& testbedDir, UsbId id) {
    std::vector<std::string> result;
    std::string preload = kPreloadLibrary;
    for (const std::string& entry : environment) {
        if (Named(entry, "LD_PRELOAD")) {
            // Other preloaded libraries stay, after umockdev's; an earlier umockdev entry goes.
            const std::string old = entry.substr(std::strlen("LD_PRELOAD="));
            std::size_t start = 0;
            while (start <= old.size()) {
                std::size_t end = old.find_first_of(": ", start);
                if (end == std::string::npos) end = old.size();
                const std::string library = old.substr(start, end - start);
                if (!library.empty() && library.find("libumockdev-preload") == std::string::npos) {
                    preload += ":" + library;
                }
                start = end + 1;
            }
            continue;
        }
        if (Named(entry, "UMOCKDEV_DIR") || Named(entry, "TAMSEN_USB_IDS") || Named(entry, "TAMSEN_DEVICE_DIR")) {
            continue;
        }
        result.push_back(entry);
    }
    result.push_back("LD_PRELOAD=" + preload);
    result.push_back("UMOCKDEV_DIR=" + testbedDir.string());
    result.push_back("TAMSEN_USB_IDS=" + ToString(id));
    return result;
}

int RunEmulatedProgram(const std::vector<std::string>& program, const std::filesystem::path& testbedDir, UsbId id,
                       const sigset_t& stopSignals) {
    if (program.empty()) return 127;
    // Everything the child needs is prepared before the fork: this process has threads.
    std::vector<std::string> current;
    for (char** e = environ; *e != nullptr; ++e) current.emplace_back(*e);
    const std::vector<std::string> environment = EmulatedEnvironment(current, testbedDir, id);
    std::vector<char*> envp;
    for (const auto& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (const auto& a : program) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child < 0) {
        std::fprintf(stderr, "adapter-emu: fork: %s\n", std::strerror(errno));
        return 127;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // The preload sleeps briefly after every emulated ioctl; with the default timer slack
        // of 50 us those sleeps would dominate every transfer. The slack is kept across exec.
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        ::execvpe(argv[0], argv.data(), envp.data());
        const char* why = std::strerror(errno);
        (void)!::write(2, "adapter-emu: cannot start ", 26);
        (void)!::write(2, argv[0], std::strlen(argv[0]));
        (void)!::write(2, ": ", 2);
        (void)!::write(2, why, std::strlen(why));
        (void)!::write(2, "\n", 1);
        ::_exit(127);
    }

    sigset_t waitFor = stopSignals;
    sigaddset(&waitFor, SIGCHLD);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return 1;
        }
        int received = 0;
        if (sigwait(&waitFor, &received) != 0) continue;
        if (received != SIGCHLD) ::kill(child, received);  // the program stops its masters first
    }
}

}  // namespace adapter_emu::usb
