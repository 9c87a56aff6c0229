#include "card_selection.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "log.h"

namespace tamsen {

namespace {

constexpr int kCardCount = 8;
constexpr int kPromptTries = 3;

uint32_t Chosen(int index) { return static_cast<uint32_t>(index) * 256 + 1; }

// "0" to "7" (blanks around allowed), else nothing.
std::optional<int> ParseIndex(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    if (text.size() != 1 || text[0] < '0' || text[0] >= '0' + kCardCount) return std::nullopt;
    return text[0] - '0';
}

class Terminal {
public:
    Terminal() : fd_(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Terminal() {
        if (fd_ >= 0) ::close(fd_);
    }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;
    bool Open() const { return fd_ >= 0; }

    void Write(std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = ::write(fd_, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // One line without its end; nothing at the end of input.
    std::optional<std::string> ReadLine() {
        std::string line;
        for (;;) {
            char c = 0;
            const ssize_t n = ::read(fd_, &c, 1);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
            if (c == '\n') return line;
            if (line.size() < 64) line += c;
        }
    }

private:
    int fd_;
};

}  // namespace

uint32_t SelectCard() {
    if (const char* env = std::getenv("TAMSEN_TEST_CARD")) {
        if (std::optional<int> index = ParseIndex(env)) return Chosen(*index);
        if (std::string_view(env) != "cancel") {
            TAMSEN_LOG_WARNING("DNetTest_StartDrv", "TAMSEN_TEST_CARD=%s is neither 0 to 7 nor cancel\n", env);
        }
        return kCardCancelled;
    }
    Terminal tty;
    if (!tty.Open()) return kCardCancelled;
    for (int attempt = 0; attempt < kPromptTries; ++attempt) {
        tty.Write("CardIndex [0-7]:");
        std::optional<std::string> line = tty.ReadLine();
        if (!line) break;
        if (line->find_first_not_of(" \t\r") == std::string::npos) return Chosen(0);  // the preselected entry
        if (std::optional<int> index = ParseIndex(*line)) return Chosen(*index);
        if (*line == "cancel") break;
    }
    return kCardCancelled;
}

}  // namespace tamsen
