#include "adapter_emu/emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <thread>

#include "unique_fd.h"

namespace adapter_emu {

namespace {

std::optional<uint64_t> Number(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

}  // namespace

std::string_view ControlCommandHelp() {
    return "  N drop-ack [for CODE]        the next acknowledge is not sent\n"
           "  N wrong-code [VALUE] [for CODE]  the next acknowledge carries code VALUE (default: command code + 1)\n"
           "  N bad-length [VALUE] [for CODE]  the next acknowledge's length field is VALUE (default: real + 16)\n"
           "  N long-ack [VALUE] [for CODE]    the next acknowledge claims VALUE payload bytes (default 600)\n"
           "  N error-ack RESULT [for CODE]    the next acknowledge is an error acknowledge with RESULT\n"
           "  N delay MS [for CODE]        the next acknowledge is held MS milliseconds\n"
           "  N stall PIPE                 pipe PIPE (0..9) halts until the host resets it\n"
           "  N unplug | N replug          closes every socket of adapter N, or opens them again\n"
           "  N slave MAC stop|resume|absent|present|idle|active|delay MS\n"
           "                               changes a simulated slave\n"
           "  N commands                   answers \"ok COUNT\": the commands adapter N has taken so far\n"
           "N is the adapter number (0 for adapter0); CODE a command code such as 0x4C.\n";
}

struct Emulator::ControlServer {
    Emulator& owner;
    UniqueFd listener;
    UniqueFd wake;
    std::filesystem::path path;
    std::jthread thread;

    explicit ControlServer(Emulator& o) : owner(o) {}

    void Start() {
        path = owner.options_.dir / kControlSocketName;
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (path.string().size() >= sizeof(a.sun_path))
            throw EmulatorError(path.string() + ": socket path is too long");
        std::memcpy(a.sun_path, path.c_str(), path.string().size() + 1);
        ::unlink(path.c_str());
        listener.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        wake.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
        if (!listener.Valid() || !wake.Valid() ||
            ::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
            ::chmod(path.c_str(), 0600) != 0 || ::listen(listener.Get(), 4) != 0) {
            throw EmulatorError(path.string() + ": " + std::strerror(errno));
        }
        thread = std::jthread([this](std::stop_token st) { Loop(st); });
    }

    void Stop() {
        if (thread.joinable()) {
            thread.request_stop();
            const uint64_t one = 1;
            [[maybe_unused]] ssize_t n = ::write(wake.Get(), &one, sizeof one);
            thread.join();
        }
        if (listener.Valid()) {
            listener.Reset();
            ::unlink(path.c_str());
        }
    }

    void Loop(std::stop_token st) {
        while (!st.stop_requested()) {
            pollfd fds[2] = {{listener.Get(), POLLIN, 0}, {wake.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) <= 0 || !(fds[0].revents & POLLIN)) continue;
            UniqueFd c(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!c.Valid()) continue;
            Serve(c.Get(), st);
        }
    }

    // Lines until the peer closes or stays silent for 5 s.
    void Serve(int fd, std::stop_token st) {
        std::string pending;
        char buf[512];
        while (!st.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return;
            pending.append(buf, static_cast<std::size_t>(n));
            if (pending.size() > 4096) return;
            std::size_t eol;
            while ((eol = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 1);
                const std::string reply = owner.Control(line) + "\n";
                if (::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL) < 0) return;
            }
        }
    }
};

Emulator::Emulator(EmulatorOptions options) : options_(std::move(options)) {
    if (!options_.clock) options_.clock = std::make_shared<SteadyClock>();
}

Emulator::~Emulator() { Stop(); }

void Emulator::Start() {
    const auto& dir = options_.dir;
    if (options_.adapters < 1 || options_.adapters > 16) throw EmulatorError("the number of adapters must be 1 to 16");
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) {
        std::filesystem::create_directories(dir, ec);
        if (ec) throw EmulatorError(dir.string() + ": cannot be created (" + ec.message() + ")");
        createdDir_ = true;
    } else if (!std::filesystem::is_directory(dir, ec)) {
        throw EmulatorError(dir.string() + ": is not a folder");
    }
    dirLock_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirLock_ < 0) throw EmulatorError(dir.string() + ": cannot be opened (" + std::strerror(errno) + ")");
    if (::flock(dirLock_, LOCK_EX | LOCK_NB) != 0) {
        ::close(dirLock_);
        dirLock_ = -1;
        throw EmulatorError(dir.string() + ": another adapter-emu is serving this folder");
    }
    try {
        if (options_.stateDir) {
            std::filesystem::create_directories(*options_.stateDir, ec);
            if (ec) throw EmulatorError(options_.stateDir->string() + ": cannot be created (" + ec.message() + ")");
        }
        std::shared_ptr<BusHub> hub = options_.sharedBus ? std::make_shared<BusHub>() : nullptr;
        for (unsigned i = 0; i < options_.adapters; ++i) {
            FirmwareOptions fw;
            fw.sharedBus = hub;
            fw.fast = options_.fast;
            fw.duplicateMacTimeoutMs = options_.duplicateMacTimeoutMs;
            fw.serialNumber = 71000100u + i;
            fw.adapterIndex = static_cast<uint8_t>(i);
            if (options_.stateDir) fw.stateFile = *options_.stateDir / ("adapter" + std::to_string(i) + ".xml");
            try {
                adapters_.push_back(std::make_unique<Adapter>(dir / ("adapter" + std::to_string(i)), options_.bus,
                                                              options_.clock, fw, options_.log, options_.verbose));
            } catch (const StateFileError& e) {
                throw EmulatorError(e.what());
            }
        }
        for (auto& a : adapters_) {
            try {
                a->Start();
            } catch (const std::runtime_error& e) {
                throw EmulatorError(e.what());
            }
        }
        control_ = std::make_unique<ControlServer>(*this);
        control_->Start();
    } catch (...) {
        Stop();
        throw;
    }
}

void Emulator::Stop() {
    if (control_) {
        control_->Stop();
        control_.reset();
    }
    for (auto& a : adapters_) a->Stop();
    adapters_.clear();
    if (dirLock_ >= 0) {
        if (createdDir_) {
            std::error_code ec;
            std::filesystem::remove(options_.dir, ec);  // only when empty
        }
        ::close(dirLock_);
        dirLock_ = -1;
    }
}

std::string Emulator::Control(std::string_view line) {
    std::istringstream in{std::string(line)};
    std::vector<std::string> w;
    for (std::string s; in >> s;) w.push_back(s);
    if (w.empty()) return "error: empty command";
    auto index = Number(w[0]);
    if (!index || *index >= adapters_.size()) return "error: no adapter " + w[0];
    Adapter& a = *adapters_[*index];
    if (w.size() < 2) return "error: missing command";
    const std::string& c = w[1];
    // "for CODE" at the end restricts an acknowledge fault to one command code.
    std::optional<uint8_t> only;
    if (w.size() >= 4 && w[w.size() - 2] == "for") {
        auto code = Number(w.back());
        if (!code || *code > 255) return "error: bad command code " + w.back();
        only = static_cast<uint8_t>(*code);
        w.resize(w.size() - 2);
    }
    auto arg = [&](std::size_t i) -> std::optional<uint64_t> { return i < w.size() ? Number(w[i]) : std::nullopt; };
    AckFault f;
    f.onlyCode = only;
    if (c == "drop-ack" || c == "wrong-code" || c == "bad-length" || c == "long-ack" || c == "error-ack" ||
        c == "delay") {
        const bool needs = c == "error-ack" || c == "delay";
        if (w.size() > 3 || (needs && w.size() != 3) || (c == "drop-ack" && w.size() != 2)) {
            return "error: wrong arguments for " + c;
        }
        if (w.size() == 3) {
            auto v = arg(2);
            if (!v || *v > 0xFFFFFFFFu) return "error: bad value " + w[2];
            f.value = static_cast<uint32_t>(*v);
        }
        f.kind = c == "drop-ack"     ? AckFaultKind::Drop
                 : c == "wrong-code" ? AckFaultKind::WrongCode
                 : c == "bad-length" ? AckFaultKind::BadLength
                 : c == "long-ack"   ? AckFaultKind::Overlong
                 : c == "error-ack"  ? AckFaultKind::ErrorAck
                                     : AckFaultKind::Delay;
        a.InjectAckFault(f);
        return "ok";
    }
    if (only) return "error: \"for\" applies only to acknowledge faults";
    if (c == "stall") {
        auto p = arg(2);
        if (w.size() != 3 || !p || *p > 9) return "error: stall needs a pipe number 0..9";
        a.StallPipe(static_cast<int>(*p));
        return "ok";
    }
    if (c == "unplug" && w.size() == 2) {
        a.Unplug();
        return "ok";
    }
    if (c == "commands" && w.size() == 2) return "ok " + std::to_string(a.CommandCount());
    if (c == "replug" && w.size() == 2) {
        a.Replug();
        return "ok";
    }
    if (c == "slave") {
        auto mac = arg(2);
        if (w.size() < 4 || !mac || *mac > 63) return "error: slave needs a MAC ID 0..63 and an action";
        const uint8_t m = static_cast<uint8_t>(*mac);
        Firmware& fw = a.GetFirmware();
        const std::string& act = w[3];
        bool found;
        if (act == "delay") {
            auto ms = arg(4);
            if (w.size() != 5 || !ms || *ms > 600000) return "error: delay needs milliseconds";
            found = fw.SetSlaveDelay(m, static_cast<uint32_t>(*ms));
        } else if (w.size() != 4) {
            return "error: too many arguments";
        } else if (act == "stop") {
            found = fw.StopSlave(m);
        } else if (act == "resume") {
            found = fw.ResumeSlave(m);
        } else if (act == "absent" || act == "present") {
            found = fw.SetSlaveAbsent(m, act == "absent");
        } else if (act == "idle" || act == "active") {
            found = fw.SetSlaveIdle(m, act == "idle");
        } else {
            return "error: unknown slave action " + act;
        }
        return found ? "ok" : "error: no slave at MAC ID " + w[2];
    }
    return "error: unknown command " + c;
}

}  // namespace adapter_emu
