#include "platform/debug_output.h"

#include <boost/format.hpp>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

namespace platform {

namespace {

void WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

}  // namespace

void DebugOutput(std::string_view line) {
    const char* target = std::getenv("VARDA_DEBUG_OUTPUT");
    if (target == nullptr || *target == '\0') {
        std::string text(line);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        ::syslog(LOG_DEBUG, "%s", text.c_str());
        return;
    }
    if (std::string_view(target) == "stderr") {
        WriteAll(STDERR_FILENO, line);
        return;
    }
    int fd = ::open(target, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return;
    // O_APPEND with a single write keeps lines of concurrent writers whole.
    (void)::write(fd, line.data(), line.size());
    ::close(fd);
}

std::string TimestampedLine(std::string_view module, std::string_view label, std::string_view text) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    ::localtime_r(&seconds, &local);
    boost::format fmt("%s: %04d-%02d-%02d %02d:%02d:%02d:%03d - %s: %s\n");
    fmt % std::string(module) % (local.tm_year + 1900) % (local.tm_mon + 1) % local.tm_mday % local.tm_hour %
        local.tm_min % local.tm_sec % static_cast<int>(millis) % std::string(label) % std::string(text);
    return fmt.str();
}

}  // namespace platform
