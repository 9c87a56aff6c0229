#include "driver/socket_driver.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "log.h"
#include "platform/byte_order.h"

namespace tamsen::driver {

namespace {

// Replies to writes, control requests and cancels come at once; a missing reply means the
// emulator is gone or stuck, and the transfer fails rather than hangs.
constexpr int kReplyTimeoutMs = 5000;
// A read may take as long as its read request allows; this much more is granted before the read
// is cancelled as failed.
constexpr int kReadGraceMs = 5000;
// A refused connect is tried this many more times, this far apart (100 ms in all).
constexpr int kConnectRetries = 20;
constexpr useconds_t kConnectRetryPauseUs = 5000;

class SocketPipe final : public Pipe {
public:
    explicit SocketPipe(int fd) : fd_(fd) {}
    ~SocketPipe() override {
        if (pending_) CancelRead();
        ::close(fd_);
    }
    SocketPipe(const SocketPipe&) = delete;
    SocketPipe& operator=(const SocketPipe&) = delete;

    uint32_t Id() const override { return static_cast<uint32_t>(fd_); }

    bool Write(std::span<const uint8_t> data) override {
        if (pending_) return false;  // a reply of the read would be mistaken for ours
        std::vector<uint8_t> message(1 + data.size());
        message[0] = kSocketWrite;
        std::copy(data.begin(), data.end(), message.begin() + 1);
        if (!Send(message)) return false;
        std::vector<uint8_t> reply;
        if (!Receive(reply, 16, kReplyTimeoutMs)) return false;
        return reply.size() == 5 && reply[0] == kSocketWrite &&
               platform::GetU32LE(reply, 1) == static_cast<uint32_t>(data.size());
    }

    bool StartRead(std::size_t capacity, ReadRequest request) override {
        if (pending_) return false;
        std::vector<uint8_t> message(9);
        message[0] = kSocketRead;
        platform::PutU32LE(message, 1, static_cast<uint32_t>(capacity));
        std::copy(request.begin(), request.end(), message.begin() + 5);
        if (!Send(message)) return false;
        pending_ = true;
        capacity_ = capacity;
        timeoutMs_ = platform::GetU16LE(request, 1);
        return true;
    }

    std::optional<std::size_t> WaitRead(std::span<uint8_t> out) override {
        if (!pending_) return std::nullopt;
        std::vector<uint8_t> reply;
        if (!Receive(reply, capacity_ + 1, timeoutMs_ + kReadGraceMs)) {
            CancelRead();
            return std::nullopt;
        }
        pending_ = false;
        if (reply.empty() || reply[0] != kSocketRead || reply.size() - 1 > capacity_ ||
            reply.size() - 1 > out.size()) {
            return std::nullopt;
        }
        std::copy(reply.begin() + 1, reply.end(), out.begin());
        return reply.size() - 1;
    }

    void CancelRead() override {
        if (!pending_) return;
        pending_ = false;
        const uint8_t message[1] = {kSocketCancel};
        if (!Send(message)) return;
        // The pending read is answered at once; its reply is dropped.
        std::vector<uint8_t> reply;
        (void)Receive(reply, capacity_ + 1, kReplyTimeoutMs);
    }

    std::optional<std::size_t> Control(uint32_t code, std::span<uint8_t> output) override {
        if (pending_) return std::nullopt;
        std::vector<uint8_t> message(5);
        message[0] = kSocketControl;
        platform::PutU32LE(message, 1, code);
        if (!Send(message)) return std::nullopt;
        std::vector<uint8_t> reply;
        if (!Receive(reply, 5 + output.size(), kReplyTimeoutMs)) return std::nullopt;
        if (reply.size() < 5 || reply[0] != kSocketControl || platform::GetU32LE(reply, 1) != 0) {
            return std::nullopt;
        }
        const std::size_t n = reply.size() - 5;
        std::copy(reply.begin() + 5, reply.end(), output.begin());
        return n;
    }

private:
    bool Send(std::span<const uint8_t> message) {
        for (;;) {
            ssize_t n = ::send(fd_, message.data(), message.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            return n == static_cast<ssize_t>(message.size());
        }
    }

    // Receives one message of at most `capacity` bytes; a longer message is a failure.
    bool Receive(std::vector<uint8_t>& out, std::size_t capacity, int timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        for (;;) {
            int r = ::poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            break;
        }
        out.resize(capacity);
        for (;;) {
            ssize_t n = ::recv(fd_, out.data(), out.size(), MSG_TRUNC);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0 || static_cast<std::size_t>(n) > capacity) return false;
            out.resize(static_cast<std::size_t>(n));
            return true;
        }
    }

    int fd_;
    bool pending_ = false;
    std::size_t capacity_ = 0;
    int timeoutMs_ = 0;
};

}  // namespace

std::vector<std::string> SocketDriver::PresentDevices() {
    std::vector<std::string> names;
    DIR* dir = ::opendir(deviceDir_.c_str());
    if (dir == nullptr) return {};
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::stat((deviceDir_ + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            names.push_back(std::move(name));
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());  // byte order
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back(deviceDir_ + "/" + name);
    return paths;
}

std::unique_ptr<Pipe> SocketDriver::OpenPipe(const std::string& fileName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fileName.size() >= sizeof(address.sun_path)) {
        TAMSEN_LOG_ERROR("SocketDriver::OpenPipe", "socket path longer than %d characters: %s\n",
                         static_cast<int>(sizeof(address.sun_path) - 1), fileName.c_str());
        return nullptr;
    }
    std::memcpy(address.sun_path, fileName.c_str(), fileName.size() + 1);
    // A pipe that was just closed is taken back by the emulator a moment later; until then a
    // connect is refused. A refused connect is tried again for a short while.
    for (int attempt = 0;; ++attempt) {
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0) return nullptr;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            return std::make_unique<SocketPipe>(fd);
        }
        const int error = errno;
        ::close(fd);
        if (error != ECONNREFUSED || attempt >= kConnectRetries) return nullptr;
        ::usleep(kConnectRetryPauseUs);
    }
}

}  // namespace tamsen::driver
