#include "driver/socket_driver.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/time.h>
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
// The longest body sent from one buffer: a command's first transfer.
constexpr std::size_t kShortBody = 64;

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
        if (!Send(kSocketWrite, data)) return false;
        uint8_t reply[16];
        const std::optional<std::size_t> n = Receive(reply, kReplyTimeoutMs);
        return n == 5 && reply[0] == kSocketWrite && platform::GetU32LE(reply, 1) == static_cast<uint32_t>(data.size());
    }

    bool StartRead(std::size_t capacity, ReadRequest request) override {
        if (pending_) return false;
        uint8_t message[8] = {};
        platform::PutU32LE(message, 0, static_cast<uint32_t>(capacity));
        std::copy(request.begin(), request.end(), message + 4);
        if (!Send(kSocketRead, message)) return false;
        pending_ = true;
        capacity_ = capacity;
        timeoutMs_ = platform::GetU16LE(request, 1);
        return true;
    }

    std::optional<std::size_t> WaitRead(std::span<uint8_t> out) override {
        if (!pending_) return std::nullopt;
        const std::optional<std::size_t> n = Receive(Buffer(capacity_ + 1), timeoutMs_ + kReadGraceMs);
        if (!n) {
            CancelRead();
            return std::nullopt;
        }
        pending_ = false;
        if (*n == 0 || buffer_[0] != kSocketRead || *n - 1 > capacity_ || *n - 1 > out.size()) return std::nullopt;
        std::copy(buffer_.begin() + 1, buffer_.begin() + static_cast<std::ptrdiff_t>(*n), out.begin());
        return *n - 1;
    }

    void CancelRead() override {
        if (!pending_) return;
        pending_ = false;
        if (!Send(kSocketCancel, {})) return;
        // The pending read is answered at once; its reply is dropped.
        (void)Receive(Buffer(capacity_ + 1), kReplyTimeoutMs);
    }

    std::optional<std::size_t> Control(uint32_t code, std::span<uint8_t> output) override {
        if (pending_) return std::nullopt;
        uint8_t message[4];
        platform::PutU32LE(message, 0, code);
        if (!Send(kSocketControl, message)) return std::nullopt;
        const std::optional<std::size_t> n = Receive(Buffer(5 + output.size()), kReplyTimeoutMs);
        if (!n || *n < 5 || buffer_[0] != kSocketControl || platform::GetU32LE(buffer_, 1) != 0) {
            return std::nullopt;
        }
        std::copy(buffer_.begin() + 5, buffer_.begin() + static_cast<std::ptrdiff_t>(*n), output.begin());
        return *n - 5;
    }

private:
    // One message: the opcode, then `body`. Short messages (every one but an extended command)
    // are sent from one buffer, which costs the kernel less than gathering two parts.
    bool Send(uint8_t opcode, std::span<const uint8_t> body) {
        const ssize_t whole = static_cast<ssize_t>(1 + body.size());
        for (;;) {
            ssize_t n;
            if (body.size() <= kShortBody) {
                std::array<uint8_t, 1 + kShortBody> bytes;
                bytes[0] = opcode;
                std::copy(body.begin(), body.end(), bytes.begin() + 1);
                n = ::send(fd_, bytes.data(), static_cast<std::size_t>(whole), MSG_NOSIGNAL);
            } else {
                iovec parts[2] = {{&opcode, 1}, {const_cast<uint8_t*>(body.data()), body.size()}};
                msghdr message{};
                message.msg_iov = parts;
                message.msg_iovlen = 2;
                n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
            }
            if (n < 0 && errno == EINTR) continue;
            return n == whole;
        }
    }

    // The pipe's receive buffer, at least `size` bytes.
    std::span<uint8_t> Buffer(std::size_t size) {
        if (buffer_.size() < size) buffer_.resize(size);
        return std::span<uint8_t>(buffer_.data(), size);
    }

    // Receives one message into `into`; a longer message is a failure. The wait is the socket's
    // receive time-out, so a reply costs one call; it is changed only when it must differ. The
    // clock is read only when a wait ends without a message: a full wait that timed out has used
    // its time, one cut short by a signal is counted as unused.
    std::optional<std::size_t> Receive(std::span<uint8_t> into, int timeoutMs) {
        std::optional<std::chrono::steady_clock::time_point> deadline;
        int wait = std::min(timeoutMs, kReplyTimeoutMs);
        for (;;) {
            if (wait <= 0 || !SetReceiveTimeout(wait)) return std::nullopt;
            const ssize_t n = ::recv(fd_, into.data(), into.size(), MSG_TRUNC);
            if (n > 0) {
                if (static_cast<std::size_t>(n) > into.size()) return std::nullopt;
                return static_cast<std::size_t>(n);
            }
            if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) return std::nullopt;
            const auto now = std::chrono::steady_clock::now();
            if (!deadline) {
                timeoutMs -= errno == EINTR ? 0 : wait;
                deadline = now + std::chrono::milliseconds(timeoutMs);
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - now);
            wait = static_cast<int>(std::min<long long>(left.count(), kReplyTimeoutMs));
        }
    }

    bool SetReceiveTimeout(int ms) {
        if (ms == receiveTimeoutMs_) return true;
        const timeval t{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>(ms % 1000) * 1000};
        if (::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t) != 0) return false;
        receiveTimeoutMs_ = ms;
        return true;
    }

    int fd_;
    bool pending_ = false;
    std::size_t capacity_ = 0;
    int timeoutMs_ = 0;
    int receiveTimeoutMs_ = 0;  // 0: none set yet (the socket waits without limit)
    std::vector<uint8_t> buffer_;
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
