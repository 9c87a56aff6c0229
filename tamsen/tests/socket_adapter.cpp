#include "socket_adapter.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace tamsen::testing {

namespace {

uint32_t GetU32(const SocketAdapter::Bytes& b, std::size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void PutU32(SocketAdapter::Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Send(int fd, const SocketAdapter::Bytes& message) {
    if (fd >= 0) (void)::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
}

}  // namespace

SocketAdapter::SocketAdapter(std::string path, Firmware firmware, std::set<int> missing)
    : path_(std::move(path)), firmware_(std::move(firmware)) {
    std::filesystem::create_directories(path_);
    for (int pipe = 0; pipe <= 9; ++pipe) {
        if (pipe == 4 || pipe == 5 || missing.count(pipe) != 0) continue;
        char name[32];
        std::snprintf(name, sizeof name, "/PIPE%02d", pipe);
        const std::string file = path_ + name;
        ::unlink(file.c_str());
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, file.c_str(), sizeof address.sun_path - 1);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
            if (fd >= 0) ::close(fd);
            continue;
        }
        pipes_[pipe].listener = fd;
    }
    int wake[2];
    if (::pipe(wake) == 0) {
        wakeRead_ = wake[0];
        wakeWrite_ = wake[1];
    }
    thread_ = std::thread([this] { Run(); });
}

SocketAdapter::~SocketAdapter() {
    Unplug();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void SocketAdapter::Unplug() {
    if (!thread_.joinable()) return;
    stop_ = true;
    const char byte = 1;
    (void)::write(wakeWrite_, &byte, 1);
    thread_.join();
    CloseAll();
}

void SocketAdapter::CloseAll() {
    for (auto& [pipe, p] : pipes_) {
        if (p.conn >= 0) {
            ::close(p.conn);
            p.conn = -1;
            --openConnections_;
        }
        if (p.listener >= 0) {
            ::close(p.listener);
            p.listener = -1;
        }
    }
}

int64_t SocketAdapter::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SocketAdapter::Run() {
    std::vector<pollfd> fds;
    std::vector<std::pair<int, bool>> owners;  // pipe, is listener
    Bytes buffer(1024);
    while (!stop_) {
        fds.clear();
        owners.clear();
        fds.push_back({wakeRead_, POLLIN, 0});
        owners.emplace_back(-1, false);
        int timeout = -1;
        const int64_t now = NowMs();
        for (auto& [pipe, p] : pipes_) {
            if (p.listener >= 0) {
                fds.push_back({p.listener, POLLIN, 0});
                owners.emplace_back(pipe, true);
            }
            if (p.conn >= 0) {
                fds.push_back({p.conn, POLLIN, 0});
                owners.emplace_back(pipe, false);
            }
            if (p.readPending) {
                const int64_t left = std::max<int64_t>(0, p.readDeadlineMs - now);
                timeout = timeout < 0 ? static_cast<int>(left) : std::min(timeout, static_cast<int>(left));
            }
        }
        const int r = ::poll(fds.data(), fds.size(), timeout);
        if (r < 0) continue;
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            const auto [pipe, isListener] = owners[i];
            PipeConn& p = pipes_[pipe];
            if (isListener) {
                int conn = ::accept4(p.listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (conn < 0) continue;
                if (p.conn >= 0) {
                    ::close(conn);  // no sharing
                    continue;
                }
                p.conn = conn;
                ++openConnections_;
                continue;
            }
            const ssize_t n = ::recv(p.conn, buffer.data(), buffer.size(), 0);
            if (n <= 0) {
                ::close(p.conn);
                p.conn = -1;
                p.readPending = false;
                --openConnections_;
                continue;
            }
            HandleMessage(pipe, Bytes(buffer.begin(), buffer.begin() + n));
        }
        // Reads whose time-out passed are answered with nothing.
        const int64_t later = NowMs();
        for (auto& [pipe, p] : pipes_) {
            if (p.readPending && later >= p.readDeadlineMs) {
                p.readPending = false;
                Send(p.conn, Bytes{0x02});
            }
        }
    }
}

void SocketAdapter::HandleMessage(int pipe, const Bytes& message) {
    PipeConn& p = pipes_[pipe];
    switch (message[0]) {
        case 0x01: {  // WRITE
            Bytes data(message.begin() + 1, message.end());
            Bytes reply{0x01};
            PutU32(reply, static_cast<uint32_t>(data.size()));
            Send(p.conn, reply);
            const int group = pipe >= 6 ? 1 : 0;
            Bytes command;
            if (pipe == 1 || pipe == 7) {
                if (data.size() >= 7 && data[6] == 1) {
                    firstPart_[group] = data;  // the whole packet follows on the extension pipe
                    return;
                }
                const std::size_t length = data.size() >= 7 ? GetU32(data, 2) : 0;
                command.assign(data.begin(), data.begin() + std::min(data.size(), length + 8));
            } else {
                command = data;
                firstPart_[group].clear();
            }
            ++commands_;
            Bytes ack = firmware_(command);
            const int ackPipe = group == 0 ? 0 : 6;
            if (ack.size() > 64) {
                pipes_[ackPipe].outgoing.push_back(Bytes(ack.begin(), ack.begin() + 64));
                pipes_[ackPipe + 2].outgoing.push_back(ack);
                Deliver(ackPipe + 2);
            } else if (!ack.empty()) {
                pipes_[ackPipe].outgoing.push_back(ack);
            }
            Deliver(ackPipe);
            return;
        }
        case 0x02: {  // READ
            if (message.size() < 9) return;
            p.readPending = true;
            p.readCapacity = GetU32(message, 1);
            p.readDeadlineMs = NowMs() + (message[6] | (message[7] << 8));
            Deliver(pipe);
            return;
        }
        case 0x03: {  // IOCTL
            Bytes reply{0x03};
            PutU32(reply, 0);
            if (message.size() >= 5 && GetU32(message, 1) == 0x222000) {
                reply.push_back(0);
                reply.push_back(0);
            }
            Send(p.conn, reply);
            return;
        }
        case 0x04:  // CANCEL
            if (p.readPending) {
                p.readPending = false;
                Send(p.conn, Bytes{0x02});
            }
            return;
        default: return;
    }
}

void SocketAdapter::Deliver(int pipe) {
    PipeConn& p = pipes_[pipe];
    if (!p.readPending || p.outgoing.empty()) return;
    Bytes data = std::move(p.outgoing.front());
    p.outgoing.erase(p.outgoing.begin());
    if (data.size() > p.readCapacity) data.resize(p.readCapacity);
    Bytes reply{0x02};
    reply.insert(reply.end(), data.begin(), data.end());
    p.readPending = false;
    Send(p.conn, reply);
}

SocketAdapter::Bytes SocketAdapter::Ack(uint8_t code, const Bytes& payload) {
    Bytes ack{0x7E, code};
    PutU32(ack, static_cast<uint32_t>(payload.size()));
    ack.push_back(payload.size() + 8 > 64 ? 1 : 0);
    ack.insert(ack.end(), payload.begin(), payload.end());
    uint8_t check = 0;
    for (uint8_t b : ack) check ^= b;
    ack.push_back(check);
    return ack;
}

SocketAdapter::Bytes SocketAdapter::DefaultFirmware(const Bytes& command) {
    if (command.size() < 8) return {};
    const uint8_t code = command[1];
    const std::size_t length = GetU32(command, 2);
    if (command.size() < length + 8) return {};
    const uint8_t* payload = command.data() + 7;
    switch (code) {
        case 0x4F:  // GetNodeStatus
            return Ack(code, Bytes{0});
        case 0x4D: {  // ReadSlaveIO: the capacity of the requested slot
            Bytes data;
            for (int slot = 0; slot < 4; ++slot) {
                const uint8_t capacity = payload[2 + 6 * slot + 1];
                for (uint8_t i = 0; i < capacity; ++i) data.push_back(i);
            }
            return Ack(code, data);
        }
        case 0x4C: {  // EMRequest: echo
            const std::size_t n = payload[11] | (payload[12] << 8);
            return Ack(code, Bytes(payload + 13, payload + 13 + std::min<std::size_t>(n, length - 13)));
        }
        default: return Ack(code, {});
    }
}

}  // namespace tamsen::testing
