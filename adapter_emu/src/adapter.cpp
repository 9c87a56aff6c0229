#include "adapter_emu/adapter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "adapter_emu/packet.h"
#include "platform/byte_order.h"
#include "unique_fd.h"
#include "varda_api.h"

namespace adapter_emu {

namespace {

using Steady = std::chrono::steady_clock;
constexpr std::size_t kMaxMessage = 65536;

bool IsInPipe(int number) { return number % 2 == 0; }

// Commands whose acknowledge the firmware gives at once, without waiting for the bus or the
// clock: the I/O thread runs them itself when their group's worker is idle, so that the
// acknowledge goes out right after the write's reply instead of after two hand-overs between
// threads. Everything else runs on the group's worker.
bool RunsInline(uint8_t code) {
    return code == cmd::kGetNodeStatus || code == cmd::kReadSlaveIO || code == cmd::kWriteSlaveIO;
}

std::string PipeName(int number) {
    char name[16];
    std::snprintf(name, sizeof name, "PIPE%02d", number);
    return name;
}

sockaddr_un Address(const std::filesystem::path& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string s = path.string();
    if (s.size() >= sizeof(a.sun_path)) {
        throw std::runtime_error(s + ": socket path is too long (at most " + std::to_string(sizeof(a.sun_path) - 1) +
                                 " bytes)");
    }
    std::memcpy(a.sun_path, s.c_str(), s.size() + 1);
    return a;
}

std::string Hex(std::span<const uint8_t> bytes, std::size_t max = 24) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < bytes.size() && i < max; ++i) {
        if (i) s.push_back(' ');
        s.push_back(digits[bytes[i] >> 4]);
        s.push_back(digits[bytes[i] & 15]);
    }
    if (bytes.size() > max) s += " ...";
    return s;
}

}  // namespace

struct Adapter::Impl {
    struct PendingRead {
        uint32_t capacity = 0;
        Steady::time_point deadline;
    };
    struct Transfer {
        std::vector<uint8_t> bytes;
        Steady::time_point notBefore;
        int exchangePipe = 0;  // the acknowledge pipe whose exchange this belongs to
        uint64_t stamp = 0;  // its abandoned count when the command came
    };
    struct Pipe {
        int number = 0;
        UniqueFd listener;
        UniqueFd conn;
        bool stalled = false;
        std::deque<Transfer> queue;
        std::optional<PendingRead> read;
        uint64_t abandoned = 0;  // reads that ended without an acknowledge: timed out, cancelled, gone
    };
    struct Job {
        uint8_t code = 0;
        std::vector<uint8_t> payload;
        std::optional<std::vector<uint8_t>> preset;  // an acknowledge decided by the driver
        uint64_t stamp = 0;
    };
    struct Group {
        int cmd, ack, cmdEx, ackEx;
        std::optional<PacketHeader> awaiting;  // first part of an extended command
        std::mutex jobMutex;
        std::condition_variable_any jobReady;
        std::deque<Job> jobs;
        bool busy = false;  // the worker runs a job
        std::stop_source current;
        std::jthread worker;
    };

    Impl(Adapter& owner, LogSink log, bool verbose) : owner(owner), log(std::move(log)), verbose(verbose) {
        for (int i = 0; i < pipe::kCount; ++i) pipes[i].number = i;
        groups[0].cmd = pipe::kCmd;
        groups[0].ack = pipe::kAck;
        groups[0].cmdEx = pipe::kCmdEx;
        groups[0].ackEx = pipe::kAckEx;
        groups[1].cmd = pipe::kEmCmd;
        groups[1].ack = pipe::kEmAck;
        groups[1].cmdEx = pipe::kEmCmdEx;
        groups[1].ackEx = pipe::kEmAckEx;
    }

    Adapter& owner;
    LogSink log;
    bool verbose;
    std::mutex mutex;
    UniqueFd wake;
    std::array<Pipe, pipe::kCount> pipes;
    std::array<Group, 2> groups;
    std::deque<AckFault> faults;
    std::atomic<uint64_t> commands{0};
    std::vector<uint8_t> receiveBuffer = std::vector<uint8_t>(kMaxMessage + 1);  // I/O thread only
    bool unplugRequested = false;
    bool replugRequested = false;
    bool plugged = false;
    std::condition_variable_any plugChanged;
    std::jthread io;

    void Log(const std::string& text) {
        if (log) log(owner.folder_.filename().string() + ": " + text);
    }
    void Trace(const std::string& text) {
        if (verbose) Log(text);
    }

    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake.Get(), &one, sizeof one);
    }

    std::filesystem::path PathOf(int number) const { return owner.folder_ / PipeName(number); }

    // A fresh listening socket, put in place under the pipe's name in one rename.
    void Listen(Pipe& p) {
        const std::filesystem::path path = PathOf(p.number);
        const std::filesystem::path temp = path.string() + ".new";
        UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd.Valid()) throw std::runtime_error(path.string() + ": socket: " + std::strerror(errno));
        const sockaddr_un a = Address(temp);
        ::unlink(temp.c_str());
        if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            throw std::runtime_error(temp.string() + ": bind: " + std::strerror(errno));
        }
        if (::chmod(temp.c_str(), 0600) != 0 || ::listen(fd.Get(), 4) != 0 ||
            ::rename(temp.c_str(), path.c_str()) != 0) {
            const std::string why = std::strerror(errno);
            ::unlink(temp.c_str());
            throw std::runtime_error(path.string() + ": " + why);
        }
        p.listener = std::move(fd);
    }

    void Send(Pipe& p, std::span<const uint8_t> message) {
        if (!p.conn.Valid()) return;
        ssize_t n;
        do {
            n = ::send(p.conn.Get(), message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        // A peer that is gone is noticed by the I/O thread when its socket reports the end.
        if (n != static_cast<ssize_t>(message.size())) Trace(PipeName(p.number) + ": reply could not be sent");
    }

    void Abandon(Pipe& p) {
        ++p.abandoned;
        for (auto& g : groups) {
            if (g.ack == p.number) {
                std::lock_guard l(g.jobMutex);
                g.current.request_stop();
            }
        }
    }

    void Disconnect(Pipe& p) {
        p.conn.Reset();
        p.read.reset();
        p.queue.clear();
        if (IsInPipe(p.number)) Abandon(p);
        for (auto& g : groups) {
            if (g.cmd == p.number || g.cmdEx == p.number) g.awaiting.reset();
        }
        if (plugged && !p.listener.Valid()) {
            try {
                Listen(p);
            } catch (const std::exception& e) {
                Log(std::string("cannot listen again: ") + e.what());
            }
        }
    }

    // Called by the I/O thread with `mutex` held.
    void Submit(int groupIndex, Job job) {
        Group& g = groups[groupIndex];
        job.stamp = pipes[g.ack].abandoned;
        commands.fetch_add(1, std::memory_order_relaxed);
        {
            std::lock_guard l(g.jobMutex);
            // Jobs of a group run in order: a quick one runs here only when nothing is queued
            // or running before it (only this thread gives the worker jobs, so it stays idle).
            if (!g.jobs.empty() || g.busy || !(job.preset || RunsInline(job.code))) {
                g.jobs.push_back(std::move(job));
                g.jobReady.notify_one();
                return;
            }
        }
        TraceCommand(job);
        std::vector<uint8_t> ack =
            job.preset ? *job.preset
                       : owner.firmware_->Execute(job.code, job.payload, {}, HostWaitMsLocked(groupIndex));
        // No wake-up needed: the I/O loop serves the pending read before it waits again.
        (void)DeliverLocked(groupIndex, job.code, std::move(ack), job.stamp);
    }

    void TraceCommand(const Job& job) {
        if (verbose) Trace(std::string("cmd ") + std::string(CommandName(job.code)) + " payload " + Hex(job.payload));
    }

    void Reject(int groupIndex, uint8_t code, uint32_t result, const std::string& why) {
        Trace(std::string(CommandName(code)) + ": " + why + ", error acknowledge " + std::to_string(result));
        Job j;
        j.code = code;
        j.preset = BuildErrorAck(code, result);
        Submit(groupIndex, std::move(j));
    }

    // A whole packet (first transfer or extension) checked and handed to the firmware.
    void Accept(int groupIndex, std::span<const uint8_t> data) {
        const PacketHeader h = *ParseHeader(data);
        if (h.length > data.size() - kHeaderSize - 1) {
            Reject(groupIndex, h.code, VARDA_ERR_SEND_FAILED, "length beyond what arrived");
            return;
        }
        const std::size_t total = h.length + kHeaderSize + 1;
        if (data[total - 1] != XorChecksum(data.first(total - 1))) {
            Reject(groupIndex, h.code, VARDA_ERR_SEND_FAILED, "bad checksum");
            return;
        }
        Job j;
        j.code = h.code;
        j.payload.assign(data.begin() + kHeaderSize, data.begin() + static_cast<std::ptrdiff_t>(total - 1));
        Submit(groupIndex, std::move(j));
    }

    void OnCommandTransfer(int groupIndex, bool extension, std::span<const uint8_t> data) {
        Group& g = groups[groupIndex];
        if (extension) {
            if (!g.awaiting) {
                Trace("extension transfer without a command, dropped");
                return;
            }
            const PacketHeader first = *g.awaiting;
            g.awaiting.reset();
            auto h = ParseHeader(data);
            if (data.size() < kHeaderSize + 1 || !h || h->start != kStartByte || h->code != first.code ||
                h->length != first.length) {
                Reject(groupIndex, first.code, VARDA_ERR_SEND_FAILED, "extension does not match its command");
                return;
            }
            Accept(groupIndex, data);
            return;
        }
        // A new command: acknowledges nobody fetched belong to an exchange the host has left.
        pipes[g.ack].queue.clear();
        pipes[g.ackEx].queue.clear();
        g.awaiting.reset();
        if (data.size() < 2) {
            Trace("command transfer of " + std::to_string(data.size()) + " bytes, dropped");
            return;
        }
        const uint8_t code = data[1];
        if (data.size() < kHeaderSize + 1 || data[0] != kStartByte) {
            Reject(groupIndex, code, VARDA_ERR_SEND_FAILED, "malformed header");
            return;
        }
        const PacketHeader h = *ParseHeader(data);
        if (h.extended == 1) {
            if (data[kHeaderSize] != XorChecksum(data.first(kHeaderSize))) {
                Reject(groupIndex, code, VARDA_ERR_SEND_FAILED, "bad header check");
                return;
            }
            g.awaiting = h;
            return;
        }
        if (h.extended != 0) {
            Reject(groupIndex, code, VARDA_ERR_SEND_FAILED, "bad extended flag");
            return;
        }
        Accept(groupIndex, data);
    }

    void OnMessage(Pipe& p, std::span<const uint8_t> m) {
        const bool in = IsInPipe(p.number);
        std::vector<uint8_t> reply;
        switch (m[0]) {
            case op::kWrite: {
                const auto data = m.subspan(1);
                const bool accepted = !in && !p.stalled;
                reply = {op::kWrite, 0, 0, 0, 0};
                platform::PutU32LE(reply, 1, accepted ? static_cast<uint32_t>(data.size()) : 0);
                if (accepted) {
                    for (int gi = 0; gi < 2; ++gi) {
                        if (groups[gi].cmd == p.number) OnCommandTransfer(gi, false, data);
                        if (groups[gi].cmdEx == p.number) OnCommandTransfer(gi, true, data);
                    }
                    // An acknowledge given at once answers the pending read before the write
                    // completes, so the host finds both when it wakes for the write.
                    (void)Serve();
                }
                Send(p, reply);
                return;
            }
            case op::kRead: {
                const uint8_t empty[1] = {op::kRead};
                auto timeout = m.size() == 9 ? ParseReadRequest(m.subspan(5)) : std::nullopt;
                if (!in || p.stalled || p.read || !timeout) {
                    Send(p, empty);
                    return;
                }
                const uint32_t capacity = platform::GetU32LE(m, 1);
                p.read = PendingRead{capacity, Steady::now() + std::chrono::milliseconds(*timeout)};
                return;  // served or timed out by Serve()
            }
            case op::kControl: {
                if (m.size() != 5) {
                    reply = {op::kControl, 1, 0, 0, 0};
                } else if (platform::GetU32LE(m, 1) == kControlGetPipeState) {
                    reply = {op::kControl, 0, 0, 0, 0, static_cast<uint8_t>(p.stalled ? 1 : 0), 0};
                } else if (platform::GetU32LE(m, 1) == kControlResetPipe) {
                    p.stalled = false;
                    p.queue.clear();
                    reply = {op::kControl, 0, 0, 0, 0};
                } else {
                    reply = {op::kControl, 1, 0, 0, 0};
                }
                Send(p, reply);
                return;
            }
            case op::kCancel:
                if (p.read) {
                    const uint8_t empty[1] = {op::kRead};
                    p.read.reset();
                    Send(p, empty);
                    Abandon(p);
                }
                return;
            default: {
                const uint8_t unknown[2] = {op::kUnknown, m[0]};
                Send(p, unknown);
                return;
            }
        }
    }

    // Answers pending reads that have data or whose time-out passed; returns the next deadline.
    std::optional<Steady::time_point> Serve() {
        const auto now = Steady::now();
        std::optional<Steady::time_point> next;
        auto consider = [&](Steady::time_point t) {
            if (!next || t < *next) next = t;
        };
        for (auto& p : pipes) {
            if (!p.read || !p.conn.Valid()) continue;
            // Acknowledges of exchanges the host has left are never delivered.
            while (!p.queue.empty() && pipes[p.queue.front().exchangePipe].abandoned != p.queue.front().stamp) {
                p.queue.pop_front();
            }
            if (!p.queue.empty() && p.queue.front().notBefore <= now) {
                std::vector<uint8_t> reply{op::kRead};
                const auto& b = p.queue.front().bytes;
                reply.insert(reply.end(), b.begin(), b.begin() + std::min<std::size_t>(b.size(), p.read->capacity));
                p.queue.pop_front();
                p.read.reset();
                Send(p, reply);
                continue;
            }
            if (p.read->deadline <= now) {
                const uint8_t empty[1] = {op::kRead};
                p.read.reset();
                Send(p, empty);
                Abandon(p);
                continue;
            }
            consider(p.read->deadline);
            if (!p.queue.empty()) consider(p.queue.front().notBefore);
        }
        return next;
    }

    void Deliver(int groupIndex, uint8_t code, std::vector<uint8_t> ack, uint64_t stamp) {
        std::lock_guard l(mutex);
        if (DeliverLocked(groupIndex, code, std::move(ack), stamp)) Wake();
    }

    // Queues the acknowledge (after any fault injected for it) for the group's acknowledge pipe;
    // false when it is dropped. `mutex` is held.
    bool DeliverLocked(int groupIndex, uint8_t code, std::vector<uint8_t> ack, uint64_t stamp) {
        Group& g = groups[groupIndex];
        uint32_t delayMs = 0;
        bool overlong = false;
        for (auto it = faults.begin(); it != faults.end(); ++it) {
            if (it->onlyCode && *it->onlyCode != code) continue;
            const AckFault f = *it;
            faults.erase(it);
            Trace(std::string("fault on the acknowledge of ") + std::string(CommandName(code)));
            switch (f.kind) {
                case AckFaultKind::Drop: return false;
                case AckFaultKind::WrongCode: ack[1] = static_cast<uint8_t>(f.value ? f.value : code + 1); break;
                case AckFaultKind::BadLength: {
                    const uint32_t real = platform::GetU32LE(ack, 2) & 0x7FFFFFFFu;
                    platform::PutU32LE(ack, 2, f.value ? f.value : real + 16);
                    break;
                }
                case AckFaultKind::Overlong:
                    platform::PutU32LE(ack, 2, f.value ? f.value : 600);
                    ack[6] = 1;
                    overlong = true;
                    break;
                case AckFaultKind::ErrorAck: ack = BuildErrorAck(code, f.value); break;
                case AckFaultKind::Delay: delayMs = f.value; break;
            }
            if (f.kind == AckFaultKind::WrongCode || f.kind == AckFaultKind::BadLength) {
                ack.back() = XorChecksum(std::span<const uint8_t>(ack).first(ack.size() - 1));
            }
            break;
        }
        Pipe& ackPipe = pipes[g.ack];
        if (ackPipe.abandoned != stamp || !ackPipe.conn.Valid()) {
            Trace(std::string("late acknowledge of ") + std::string(CommandName(code)) + " dropped");
            return false;
        }
        const auto when = Steady::now() + std::chrono::milliseconds(delayMs);
        if (verbose) Trace(std::string("ack ") + std::string(CommandName(code)) + ": " + Hex(ack));
        if (ack.size() <= kFirstTransferSize && !overlong) {
            ackPipe.queue.push_back({std::move(ack), when, g.ack, stamp});
        } else {
            ackPipe.queue.push_back({FirstTransfer(ack), when, g.ack, stamp});
            if (!overlong) pipes[g.ackEx].queue.push_back({std::move(ack), when, g.ack, stamp});
        }
        return true;
    }

    // How long the host's pending read of this group's acknowledge still waits, less a margin for
    // the delivery; nothing when no read is pending.
    std::optional<uint32_t> HostWaitMs(int groupIndex) {
        std::lock_guard l(mutex);
        return HostWaitMsLocked(groupIndex);
    }

    std::optional<uint32_t> HostWaitMsLocked(int groupIndex) {
        const auto& read = pipes[groups[groupIndex].ack].read;
        if (!read) return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(read->deadline - Steady::now()).count();
        return static_cast<uint32_t>(std::clamp<long long>(left - 50, 0, 0xFFFFFFFF));
    }

    bool Stale(int groupIndex, uint64_t stamp) {
        std::lock_guard l(mutex);
        return pipes[groups[groupIndex].ack].abandoned != stamp;
    }

    void WorkerLoop(int groupIndex, std::stop_token st) {
        Group& g = groups[groupIndex];
        for (;;) {
            Job job;
            std::stop_token token;
            {
                std::unique_lock l(g.jobMutex);
                g.jobReady.wait(l, st, [&] { return !g.jobs.empty(); });
                if (st.stop_requested()) return;  // checked under the lock Stop() takes
                job = std::move(g.jobs.front());
                g.jobs.pop_front();
                g.busy = true;
                g.current = std::stop_source();
                token = g.current.get_token();
            }
            if (Stale(groupIndex, job.stamp)) {
                Trace(std::string(CommandName(job.code)) + " dropped: the host stopped waiting");
            } else {
                TraceCommand(job);
                std::vector<uint8_t> ack =
                    job.preset ? *job.preset
                               : owner.firmware_->Execute(job.code, job.payload, token, HostWaitMs(groupIndex));
                Deliver(groupIndex, job.code, std::move(ack), job.stamp);
            }
            std::lock_guard l(g.jobMutex);
            g.busy = false;
        }
    }

    void IoLoop(std::stop_token st) {
        std::vector<pollfd> fds;
        std::vector<std::pair<int, bool>> owners;  // pipe number, listener?
        while (!st.stop_requested()) {
            int timeoutMs = 1000;
            {
                std::lock_guard l(mutex);
                if (unplugRequested) {
                    unplugRequested = false;
                    plugged = false;
                    for (auto& p : pipes) {
                        p.listener.Reset();
                        Disconnect(p);
                    }
                    Log("unplugged");
                }
                if (replugRequested) {
                    replugRequested = false;
                    if (!plugged) {
                        plugged = true;
                        for (auto& p : pipes) {
                            try {
                                if (!p.listener.Valid() && !p.conn.Valid()) Listen(p);
                            } catch (const std::exception& e) {
                                Log(std::string("cannot listen: ") + e.what());
                            }
                        }
                        Log("plugged in again");
                    }
                }
                plugChanged.notify_all();
                if (auto next = Serve()) {
                    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*next - Steady::now()).count();
                    timeoutMs = static_cast<int>(std::clamp<long long>(ms, 0, 1000));
                }
                fds.clear();
                owners.clear();
                fds.push_back({wake.Get(), POLLIN, 0});
                owners.push_back({-1, false});
                for (auto& p : pipes) {
                    if (p.listener.Valid()) {
                        fds.push_back({p.listener.Get(), POLLIN, 0});
                        owners.push_back({p.number, true});
                    }
                    if (p.conn.Valid()) {
                        fds.push_back({p.conn.Get(), POLLIN, 0});
                        owners.push_back({p.number, false});
                    }
                }
            }
            int r = ::poll(fds.data(), fds.size(), timeoutMs);
            if (r < 0 && errno != EINTR) {
                Log(std::string("poll: ") + std::strerror(errno));
                return;
            }
            if (r <= 0) continue;
            std::lock_guard l(mutex);
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] ssize_t n = ::read(wake.Get(), &v, sizeof v);
            }
            std::vector<uint8_t>& buffer = receiveBuffer;
            for (std::size_t i = 1; i < fds.size(); ++i) {
                if (fds[i].revents == 0) continue;
                Pipe& p = pipes[owners[i].first];
                if (owners[i].second) {
                    if (!p.listener.Valid() || p.listener.Get() != fds[i].fd) continue;
                    int c = ::accept4(p.listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (c < 0) continue;
                    p.conn.Reset(c);
                    // One connection per pipe: further connects are refused until this one ends.
                    p.listener.Reset();
                    Trace(PipeName(p.number) + " connected");
                    continue;
                }
                if (!p.conn.Valid() || p.conn.Get() != fds[i].fd) continue;
                ssize_t n = ::recv(p.conn.Get(), buffer.data(), buffer.size(), MSG_TRUNC | MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                if (n <= 0) {
                    Trace(PipeName(p.number) + " disconnected");
                    Disconnect(p);
                    continue;
                }
                if (static_cast<std::size_t>(n) > kMaxMessage) {
                    Trace(PipeName(p.number) + ": message of " + std::to_string(n) + " bytes is too long");
                    const uint8_t failed[5] = {op::kWrite, 0, 0, 0, 0};
                    if (buffer[0] == op::kWrite) Send(p, failed);
                    continue;
                }
                OnMessage(p, std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(n)));
            }
        }
    }
};

Adapter::Adapter(std::filesystem::path folder, const BusDescription& bus, std::shared_ptr<Clock> clock,
                 FirmwareOptions firmware, LogSink log, bool verbose)
    : folder_(std::move(folder)),
      firmware_(std::make_unique<Firmware>(bus, std::move(clock), std::move(firmware))),
      impl_(std::make_unique<Impl>(*this, std::move(log), verbose)) {}

Adapter::~Adapter() { Stop(); }

void Adapter::Start() {
    if (impl_->io.joinable()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) throw std::runtime_error(folder_.string() + ": cannot be created (" + ec.message() + ")");
    ::chmod(folder_.c_str(), 0700);
    impl_->wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!impl_->wake.Valid()) throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    {
        std::lock_guard l(impl_->mutex);
        for (auto& p : impl_->pipes) impl_->Listen(p);
        impl_->plugged = true;
    }
    for (int gi = 0; gi < 2; ++gi) {
        impl_->groups[gi].worker = std::jthread([this, gi](std::stop_token st) { impl_->WorkerLoop(gi, st); });
    }
    impl_->io = std::jthread([this](std::stop_token st) { impl_->IoLoop(st); });
}

void Adapter::Stop() {
    if (impl_->io.joinable()) {
        impl_->io.request_stop();
        impl_->Wake();
        impl_->io.join();
    }
    for (auto& g : impl_->groups) {
        if (!g.worker.joinable()) continue;
        g.worker.request_stop();
        {
            // A command already running ends its waits; no new one starts after this.
            std::lock_guard l(g.jobMutex);
            g.current.request_stop();
        }
        g.worker.join();
    }
    std::lock_guard l(impl_->mutex);
    bool hadSockets = false;
    for (auto& p : impl_->pipes) {
        hadSockets = hadSockets || p.listener.Valid() || p.conn.Valid() || impl_->plugged;
        p.listener.Reset();
        p.conn.Reset();
        p.read.reset();
        p.queue.clear();
    }
    if (hadSockets) {
        for (int i = 0; i < pipe::kCount; ++i) {
            ::unlink(impl_->PathOf(i).c_str());
            ::unlink((impl_->PathOf(i).string() + ".new").c_str());
        }
        std::error_code ec;
        std::filesystem::remove(folder_, ec);
    }
    impl_->plugged = false;
}

uint64_t Adapter::CommandCount() const { return impl_->commands.load(std::memory_order_relaxed); }

void Adapter::InjectAckFault(const AckFault& fault) {
    std::lock_guard l(impl_->mutex);
    impl_->faults.push_back(fault);
}

void Adapter::StallPipe(int pipeNumber) {
    if (pipeNumber < 0 || pipeNumber >= pipe::kCount) return;
    std::lock_guard l(impl_->mutex);
    auto& p = impl_->pipes[pipeNumber];
    p.stalled = true;
    if (p.read) {
        const uint8_t empty[1] = {op::kRead};
        p.read.reset();
        impl_->Send(p, empty);
        impl_->Abandon(p);
    }
}

void Adapter::Unplug() {
    std::unique_lock l(impl_->mutex);
    impl_->unplugRequested = true;
    impl_->replugRequested = false;
    impl_->Wake();
    impl_->plugChanged.wait_for(l, std::chrono::seconds(5), [&] { return !impl_->unplugRequested; });
}

void Adapter::Replug() {
    std::unique_lock l(impl_->mutex);
    impl_->replugRequested = true;
    impl_->Wake();
    impl_->plugChanged.wait_for(l, std::chrono::seconds(5), [&] { return !impl_->replugRequested; });
}

}  // namespace adapter_emu
