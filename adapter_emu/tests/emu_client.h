// A small client of the emulator's pipe sockets for the tests: the host side of one adapter,
// speaking the socket messages and the command/acknowledge exchange directly.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "adapter_emu/packet.h"
#include "platform/byte_order.h"

namespace emu_test {

inline int ConnectSeqpacket(const std::filesystem::path& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof(a.sun_path) - 1);
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class PipeConn {
public:
    explicit PipeConn(int fd = -1) : fd_(fd) {}
    ~PipeConn() {
        if (fd_ >= 0) ::close(fd_);
    }
    PipeConn(PipeConn&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    PipeConn& operator=(PipeConn&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    bool Valid() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool Send(std::span<const uint8_t> m) {
        return fd_ >= 0 && ::send(fd_, m.data(), m.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(m.size());
    }
    // One message, or nothing after `timeoutMs` or when the connection ended.
    std::optional<std::vector<uint8_t>> Receive(int timeoutMs = 5000) {
        pollfd p{fd_, POLLIN, 0};
        if (fd_ < 0 || ::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
        std::vector<uint8_t> buf(70000);
        ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
        if (n <= 0) return std::nullopt;
        buf.resize(static_cast<std::size_t>(n));
        return buf;
    }

private:
    int fd_;
};

// WRITE: returns the byte count the driver reports.
inline std::optional<uint32_t> Write(PipeConn& p, std::span<const uint8_t> data) {
    std::vector<uint8_t> m{0x01};
    m.insert(m.end(), data.begin(), data.end());
    if (!p.Send(m)) return std::nullopt;
    auto r = p.Receive();
    if (!r || r->size() != 5 || (*r)[0] != 0x01) return std::nullopt;
    return platform::GetU32LE(*r, 1);
}

inline bool StartRead(PipeConn& p, uint32_t capacity, uint16_t timeoutMs) {
    std::vector<uint8_t> m(9);
    m[0] = 0x02;
    platform::PutU32LE(m, 1, capacity);
    auto rq = adapter_emu::MakeReadRequest(timeoutMs);
    std::copy(rq.begin(), rq.end(), m.begin() + 5);
    return p.Send(m);
}

// The answer of a started read: its data (empty when it timed out or was cancelled).
inline std::optional<std::vector<uint8_t>> WaitRead(PipeConn& p, int timeoutMs = 8000) {
    auto r = p.Receive(timeoutMs);
    if (!r || r->empty() || (*r)[0] != 0x02) return std::nullopt;
    return std::vector<uint8_t>(r->begin() + 1, r->end());
}

inline std::optional<std::vector<uint8_t>> Control(PipeConn& p, uint32_t code) {
    std::vector<uint8_t> m(5);
    m[0] = 0x03;
    platform::PutU32LE(m, 1, code);
    if (!p.Send(m)) return std::nullopt;
    return p.Receive();
}

// The host side of one adapter: all ten pipes connected.
class AdapterClient {
public:
    explicit AdapterClient(const std::filesystem::path& folder) {
        for (int i = 0; i < 10; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "PIPE%02d", i);
            pipes_[i] = PipeConn(ConnectSeqpacket(folder / name));
        }
    }
    bool Connected() const {
        for (const auto& p : pipes_)
            if (!p.Valid()) return false;
        return true;
    }
    PipeConn& Pipe(int n) { return pipes_.at(n); }

    // One exchange as the library makes it (two threads may exchange at once on the two groups): read request first, then the first 64 bytes on the
    // command pipe, the whole packet on the extension pipe when extended, then the acknowledge
    // (and its extension). Returns the acknowledge's bytes, nothing when none came.
    std::optional<std::vector<uint8_t>> ExchangePacket(const std::vector<uint8_t>& packet,
                                                       uint16_t readTimeoutMs = 3000) {
        const bool em = adapter_emu::UsesExplicitGroup(packet[1]);
        PipeConn& cmd = pipes_[em ? 7 : 1];
        PipeConn& ack = pipes_[em ? 6 : 0];
        PipeConn& cmdEx = pipes_[em ? 9 : 3];
        PipeConn& ackEx = pipes_[em ? 8 : 2];
        if (!StartRead(ack, 64, readTimeoutMs)) return std::nullopt;
        const auto firstTransfer = adapter_emu::FirstTransfer(packet);
        if (Write(cmd, firstTransfer) != 64u) return std::nullopt;
        if (packet[6] == 1 && Write(cmdEx, packet) != packet.size()) return std::nullopt;
        auto first = WaitRead(ack, readTimeoutMs + 5000);
        if (!first || first->size() < 7) return first;
        if ((*first)[6] != 1) return first;
        lastAckFirst_ = *first;
        if (!StartRead(ackEx, 512, 1000)) return std::nullopt;
        return WaitRead(ackEx);
    }

    std::optional<std::vector<uint8_t>> Exchange(uint8_t code, std::span<const uint8_t> payload = {},
                                                 uint16_t readTimeoutMs = 3000) {
        return ExchangePacket(adapter_emu::BuildPacket(code, payload), readTimeoutMs);
    }

    // The result of an exchange: 0, the code of an error acknowledge, or 57 without one.
    uint32_t Command(uint8_t code, std::span<const uint8_t> payload = {}) {
        auto a = Exchange(code, payload);
        return ResultOf(code, a);
    }

    static uint32_t ResultOf(uint8_t code, const std::optional<std::vector<uint8_t>>& a) {
        if (!a || a->size() < 8 || (*a)[1] != code) return 57;
        const uint32_t length = platform::GetU32LE(*a, 2);
        if (length == 0x80000004u) return platform::GetU32LE(*a, 7);
        if (length & 0x80000000u) return 57;
        return 0;
    }

    static std::vector<uint8_t> Payload(const std::vector<uint8_t>& ack) {
        const uint32_t length = platform::GetU32LE(ack, 2) & 0x7FFFFFFF;
        if (ack.size() < 8 + length) return {};
        return std::vector<uint8_t>(ack.begin() + 7, ack.begin() + 7 + length);
    }

    const std::vector<uint8_t>& LastAckFirstTransfer() const { return lastAckFirst_; }

private:
    std::array<PipeConn, 10> pipes_;
    std::vector<uint8_t> lastAckFirst_;
};

// Payload builders of the commands, as the library sends them.
inline std::vector<uint8_t> InitPayload(uint8_t mac = 0, uint16_t scanDelay = 10, uint8_t retry = 1,
                                        uint8_t automap = 0, uint8_t baud = 0) {
    std::vector<uint8_t> p(13, 0);
    p[0] = mac;
    p[1] = baud;
    p[2] = 1;
    platform::PutU16LE(p, 4, scanDelay);
    platform::PutU16LE(p, 6, 75);
    p[8] = retry;
    p[11] = automap;
    return p;
}

struct SlaveEntry {
    uint8_t mac = 0;
    uint16_t vendor = 0, type = 0, code = 0;
    uint8_t flags = 0, background = 0;
    uint8_t strobeIn = 0, strobeOut = 0, pollIn = 0, cosIn = 0, pollOut = 0, cosOut = 0;
};

inline std::vector<uint8_t> AddSlavePayload(const SlaveEntry& s) {
    std::vector<uint8_t> p(21, 0);
    p[0] = s.mac;
    platform::PutU16LE(p, 1, s.vendor);
    platform::PutU16LE(p, 3, s.type);
    platform::PutU16LE(p, 5, s.code);
    p[7] = s.flags;
    p[8] = s.background;
    p[9] = s.strobeIn;
    p[10] = s.strobeOut;
    p[11] = s.pollIn;
    p[12] = s.cosIn;
    p[13] = s.pollOut;
    p[14] = s.cosOut;
    platform::PutU16LE(p, 15, 250);
    platform::PutU16LE(p, 17, 16);
    platform::PutU16LE(p, 19, 1);
    return p;
}

inline std::vector<uint8_t> EmPayload(uint8_t mac, uint8_t service, uint16_t cls, uint16_t inst,
                                      std::vector<uint8_t> data, uint32_t timeoutMs = 1000) {
    std::vector<uint8_t> p(13, 0);
    p[0] = 1;
    platform::PutU32LE(p, 1, timeoutMs);
    p[5] = mac;
    p[6] = service;
    platform::PutU16LE(p, 7, cls);
    platform::PutU16LE(p, 9, inst);
    platform::PutU16LE(p, 11, static_cast<uint16_t>(data.size()));
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

inline std::vector<uint8_t> ReadIoPayload(uint8_t mac, uint8_t type, uint8_t capacity) {
    std::vector<uint8_t> p(26, 0);
    p[0] = 1;
    p[1] = mac;
    p[2 + 6 * type] = type;
    p[3 + 6 * type] = capacity;
    return p;
}

inline std::vector<uint8_t> WriteIoPayload(uint8_t mac, uint8_t type, std::vector<uint8_t> data) {
    std::vector<uint8_t> p(28, 0);
    p[0] = 1;
    p[3] = mac;
    p[4] = type;
    p[5] = static_cast<uint8_t>(data.size());
    platform::PutU32LE(p, 6, 35);
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

}  // namespace emu_test
