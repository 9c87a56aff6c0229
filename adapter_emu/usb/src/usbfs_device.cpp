#include "adapter_emu_usb/usbfs_device.h"

#include <linux/usbdevice_fs.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <deque>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "adapter_emu/adapter.h"
#include "adapter_emu/packet.h"
#include "adapter_emu_usb/adapter_descriptors.h"
#include "platform/byte_order.h"

namespace adapter_emu::usb {

namespace {

// Replies of the emulator's driver to WRITE, IOCTL and CANCEL come at once.
constexpr int kReplyTimeoutMs = 5000;
// An IN URB has no time-out of its own (the host cancels it); its READ asks for the longest one
// and is sent again when that passes.
constexpr uint16_t kReadTimeoutMs = 0xFFFF;
constexpr int kConnectRetries = 20;
constexpr useconds_t kConnectRetryPauseUs = 5000;

// What GET_CAPABILITIES reports: transfers of any size in one URB; URBs that ended in a
// disconnect can still be reaped.
constexpr uint32_t kCapNoPacketSizeLimit = 0x04;
constexpr uint32_t kCapReapAfterDisconnect = 0x10;

constexpr std::size_t kSetupSize = 8;
constexpr uint8_t kRequestGetStatus = 0x00, kRequestClearFeature = 0x01, kRequestSetFeature = 0x03;
constexpr uint16_t kFeatureEndpointHalt = 0;

// usbdevfs_urb fields, read and written at their offsets in the client's structure.
constexpr std::size_t kUrbType = offsetof(usbdevfs_urb, type);
constexpr std::size_t kUrbEndpoint = offsetof(usbdevfs_urb, endpoint);
constexpr std::size_t kUrbStatus = offsetof(usbdevfs_urb, status);
constexpr std::size_t kUrbBuffer = offsetof(usbdevfs_urb, buffer);
constexpr std::size_t kUrbBufferLength = offsetof(usbdevfs_urb, buffer_length);
constexpr std::size_t kUrbActualLength = offsetof(usbdevfs_urb, actual_length);
constexpr std::size_t kUrbSize = sizeof(usbdevfs_urb);
static_assert(sizeof(int) == 4 && sizeof(void*) == 8, "usbfs structures of a 64-bit Linux");

template <class T>
T Field(const UMockdevIoctlData* d, std::size_t offset) {
    T value{};
    std::memcpy(&value, d->data + offset, sizeof value);
    return value;
}

void SetInt(UMockdevIoctlData* d, std::size_t offset, int value) {
    uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    umockdev_ioctl_data_update(d, offset, bytes, sizeof bytes);
}

// A reference on a GObject, dropped when destroyed.
class DataRef {
public:
    DataRef() = default;
    explicit DataRef(UMockdevIoctlData* d) : d_(d) {}  // takes the reference
    ~DataRef() {
        if (d_ != nullptr) g_object_unref(d_);
    }
    DataRef(DataRef&& o) noexcept : d_(std::exchange(o.d_, nullptr)) {}
    DataRef& operator=(DataRef&& o) noexcept {
        if (this != &o) {
            if (d_ != nullptr) g_object_unref(d_);
            d_ = std::exchange(o.d_, nullptr);
        }
        return *this;
    }
    UMockdevIoctlData* Get() const { return d_; }
    explicit operator bool() const { return d_ != nullptr; }

private:
    UMockdevIoctlData* d_ = nullptr;
};

DataRef Resolve(UMockdevIoctlData* d, std::size_t offset, std::size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* child = umockdev_ioctl_data_resolve(d, offset, length, &error);
    if (error != nullptr) g_error_free(error);
    return DataRef(child);
}

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

}  // namespace

struct UsbfsDevice::Impl {
    struct Urb {
        UMockdevIoctlClient* client = nullptr;
        uint64_t address = 0;  // the URB's address in the client, its identity
        DataRef urb;
        DataRef buffer;
        int pipe = -1;
        int status = 0;
        int actualLength = 0;
    };
    struct Pipe {
        Fd conn;
        bool readSent = false;  // a READ for pending.front() is outstanding
        std::deque<Urb> pending;  // IN URBs in submission order
    };

    std::filesystem::path folder;
    std::function<void(int)> stallPipe;
    Fd fifo;  // the device node: empty = something to reap
    Fd wake;  // eventfd: the watcher's set of sockets changed
    bool signalled = false;
    std::array<uint8_t, 4096> fill{};  // what fills and drains the FIFO
    std::jthread watcher;
    std::mutex mutex;
    Pipe pipes[kPipeCount];
    std::deque<Urb> reapable;
    UMockdevIoctlClient* owner = nullptr;  // the client that claimed interface 0
    bool gone = false;

    // --- pipe sockets ---------------------------------------------------------------------

    bool Connect(int pipe) {
        Pipe& p = pipes[pipe];
        if (p.conn.Valid()) return true;
        char name[16];
        std::snprintf(name, sizeof name, "PIPE%02d", pipe);
        const std::string path = (folder / name).string();
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        if (path.size() >= sizeof a.sun_path) return false;
        std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
        // A pipe closed a moment ago is taken back by the emulator shortly; until then a connect
        // is refused.
        for (int attempt = 0;; ++attempt) {
            Fd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
            if (!fd.Valid()) return false;
            if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
                p.conn = std::move(fd);
                return true;
            }
            if (errno != ECONNREFUSED || attempt >= kConnectRetries) return false;
            ::usleep(kConnectRetryPauseUs);
        }
    }

    bool Send(int pipe, std::span<const uint8_t> message) {
        for (;;) {
            const ssize_t n = ::send(pipes[pipe].conn.Get(), message.data(), message.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            return n == static_cast<ssize_t>(message.size());
        }
    }

    // One reply; nothing when none came in time or the socket ended.
    std::optional<std::vector<uint8_t>> Receive(int pipe, int timeoutMs) {
        pollfd p{pipes[pipe].conn.Get(), POLLIN, 0};
        for (;;) {
            const int r = ::poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return std::nullopt;
            break;
        }
        std::vector<uint8_t> out(65536 + 1);
        for (;;) {
            const ssize_t n = ::recv(pipes[pipe].conn.Get(), out.data(), out.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return std::nullopt;
            out.resize(static_cast<std::size_t>(n));
            return out;
        }
    }

    // A request that the emulator answers at once.
    std::optional<std::vector<uint8_t>> Exchange(int pipe, std::span<const uint8_t> message) {
        if (!Connect(pipe) || !Send(pipe, message)) return std::nullopt;
        return Receive(pipe, kReplyTimeoutMs);
    }

    std::optional<bool> PipeHalted(int pipe) {
        uint8_t message[5] = {op::kControl};
        platform::PutU32LE(message, 1, kControlGetPipeState);
        const auto reply = Exchange(pipe, message);
        if (!reply || reply->size() != 7 || (*reply)[0] != op::kControl || platform::GetU32LE(*reply, 1) != 0) {
            return std::nullopt;
        }
        return platform::GetU16LE(*reply, 5) != 0;
    }

    bool ResetPipe(int pipe) {
        uint8_t message[5] = {op::kControl};
        platform::PutU32LE(message, 1, kControlResetPipe);
        const auto reply = Exchange(pipe, message);
        return reply && reply->size() == 5 && (*reply)[0] == op::kControl && platform::GetU32LE(*reply, 1) == 0;
    }

    // --- URBs -----------------------------------------------------------------------------

    void Finish(Urb urb, int status, int actualLength) {
        urb.status = status;
        urb.actualLength = actualLength;
        reapable.push_back(std::move(urb));
        Signal(true);
    }

    // Makes the node writable (something to reap, or the device is gone) or not.
    void Signal(bool reapableNow) {
        if (reapableNow == signalled || !fifo.Valid()) return;
        if (reapableNow) {
            while (::read(fifo.Get(), fill.data(), fill.size()) > 0) {
            }
        } else {
            // Fills the pipe's one page; a full pipe is not writable.
            while (::write(fifo.Get(), fill.data(), fill.size()) > 0) {
            }
        }
        signalled = reapableNow;
    }

    void WakeWatcher() {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(wake.Get(), &one, sizeof one);
    }

    // Waits for answers to outstanding READs and makes their URBs reapable.
    void Watch(std::stop_token stop) {
        std::vector<pollfd> fds;
        while (!stop.stop_requested()) {
            fds.assign(1, pollfd{wake.Get(), POLLIN, 0});
            {
                std::lock_guard l(mutex);
                for (auto& p : pipes) {
                    if (p.readSent && p.conn.Valid()) fds.push_back({p.conn.Get(), POLLIN, 0});
                }
            }
            const int r = ::poll(fds.data(), fds.size(), -1);
            if (r < 0 && errno != EINTR) return;
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                [[maybe_unused]] ssize_t n = ::read(wake.Get(), &v, sizeof v);
            }
            bool answered = false;
            for (std::size_t i = 1; i < fds.size(); ++i) answered = answered || fds[i].revents != 0;
            if (answered) {
                std::lock_guard l(mutex);
                PollLocked();
            }
        }
    }

    // Sends the READ for the oldest pending IN URB of a pipe when none is outstanding.
    void StartRead(int pipe) {
        Pipe& p = pipes[pipe];
        while (!p.readSent && !p.pending.empty()) {
            const Urb& urb = p.pending.front();
            uint8_t message[9] = {op::kRead};
            platform::PutU32LE(message, 1, static_cast<uint32_t>(urb.buffer ? urb.buffer.Get()->data_len : 0));
            const auto request = MakeReadRequest(kReadTimeoutMs);
            std::copy(request.begin(), request.end(), message + 5);
            if (Connect(pipe) && Send(pipe, message)) {
                p.readSent = true;
                WakeWatcher();
                return;
            }
            Lost();
            return;
        }
    }

    // The answer to the outstanding READ of a pipe.
    void OnReadReply(int pipe, const std::vector<uint8_t>& reply) {
        Pipe& p = pipes[pipe];
        p.readSent = false;
        if (p.pending.empty()) return;
        if (reply.empty() || reply[0] != op::kRead) {
            Finish(std::move(p.pending.front()), -EPROTO, 0);
            p.pending.pop_front();
        } else if (reply.size() > 1) {
            Urb urb = std::move(p.pending.front());
            p.pending.pop_front();
            const std::size_t n = std::min<std::size_t>(reply.size() - 1, urb.buffer.Get()->data_len);
            umockdev_ioctl_data_update(urb.buffer.Get(), 0, const_cast<uint8_t*>(reply.data() + 1),
                                       static_cast<gint>(n));
            Finish(std::move(urb), 0, static_cast<int>(n));
        } else {
            // No data: the pipe is halted, or the READ's time-out passed and it is asked again.
            const auto halted = PipeHalted(pipe);
            if (!halted) {
                Lost();
                return;
            }
            if (*halted) {
                Finish(std::move(p.pending.front()), -EPIPE, 0);
                p.pending.pop_front();
            }
        }
        StartRead(pipe);
    }

    bool PollLocked() {
        if (!gone) {
            for (int pipe = 0; pipe < kPipeCount && !gone; ++pipe) {
                Pipe& p = pipes[pipe];
                if (!p.readSent || !p.conn.Valid()) continue;
                pollfd pfd{p.conn.Get(), POLLIN, 0};
                if (::poll(&pfd, 1, 0) <= 0) continue;
                const auto reply = Receive(pipe, 0);
                if (!reply) {
                    Lost();
                    break;
                }
                OnReadReply(pipe, *reply);
            }
        }
        return !reapable.empty();
    }

    // The adapter is gone: URBs end as usbfs ends them on a disconnect.
    void Lost() {
        if (gone) return;
        gone = true;
        Signal(true);
        WakeWatcher();
        for (int pipe = 0; pipe < kPipeCount; ++pipe) {
            Pipe& p = pipes[pipe];
            p.conn.Reset();
            p.readSent = false;
            while (!p.pending.empty()) {
                Finish(std::move(p.pending.front()), -ENODEV, 0);
                p.pending.pop_front();
            }
        }
    }

    // --- ioctls ---------------------------------------------------------------------------

    // Returns the ioctl's errno (0 for success).
    int SubmitUrb(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        DataRef urbData = Resolve(arg, 0, kUrbSize);
        if (!urbData) return EFAULT;
        const uint8_t type = Field<uint8_t>(urbData.Get(), kUrbType);
        const uint8_t endpoint = Field<uint8_t>(urbData.Get(), kUrbEndpoint);
        const int length = Field<int>(urbData.Get(), kUrbBufferLength);
        if (length < 0 || length > 1 << 20) return EINVAL;
        Urb urb;
        urb.client = client;
        urb.address = urbData.Get()->client_addr;
        if (length > 0) {
            urb.buffer = Resolve(urbData.Get(), kUrbBuffer, static_cast<std::size_t>(length));
            if (!urb.buffer) return EFAULT;
        }
        urb.urb = std::move(urbData);
        if (gone) return ENODEV;
        if (type == USBDEVFS_URB_TYPE_CONTROL && (endpoint & 0x7F) == 0) return ControlUrb(std::move(urb));
        if (type != USBDEVFS_URB_TYPE_BULK) return EINVAL;
        const auto pipe = PipeOfEndpoint(endpoint);
        if (!pipe) return ENOENT;
        urb.pipe = *pipe;
        if (IsInPipe(*pipe)) {
            if (length == 0) {
                // Nothing to wait for: an empty read ends at once.
                Finish(std::move(urb), 0, 0);
                return 0;
            }
            pipes[*pipe].pending.push_back(std::move(urb));
            StartRead(*pipe);
            return gone ? ENODEV : 0;
        }
        std::vector<uint8_t> message{op::kWrite};
        if (urb.buffer) message.insert(message.end(), urb.buffer.Get()->data, urb.buffer.Get()->data + length);
        const auto reply = Exchange(*pipe, message);
        if (!reply) {
            Lost();
            return ENODEV;
        }
        const uint32_t written = reply->size() == 5 && (*reply)[0] == op::kWrite ? platform::GetU32LE(*reply, 1) : 0;
        if (written == static_cast<uint32_t>(length)) {
            Finish(std::move(urb), 0, length);
        } else {
            // The emulator's driver takes nothing on a halted pipe.
            Finish(std::move(urb), -EPIPE, 0);
        }
        return 0;
    }

    int ControlUrb(Urb urb) {
        if (!urb.buffer || urb.buffer.Get()->data_len < static_cast<gint>(kSetupSize)) return EINVAL;
        const std::span<const uint8_t> setup(urb.buffer.Get()->data, kSetupSize);
        const uint8_t requestType = setup[0];
        const uint8_t request = setup[1];
        const uint16_t value = platform::GetU16LE(setup, 2);
        const uint16_t index = platform::GetU16LE(setup, 4);
        const uint16_t length = platform::GetU16LE(setup, 6);
        const auto pipe = PipeOfEndpoint(static_cast<uint8_t>(index & 0xFF));
        int status = -EPIPE;  // a request the device does not know is stalled
        int actual = 0;
        if (requestType == 0x80 && request == kRequestGetStatus && length >= 2) {
            // Device status: bus powered, no remote wake-up.
            uint8_t none[2] = {0, 0};
            umockdev_ioctl_data_update(urb.buffer.Get(), kSetupSize, none, 2);
            status = 0;
            actual = 2;
        } else if (requestType == 0x82 && request == kRequestGetStatus && length >= 2 && pipe) {
            const auto halted = PipeHalted(*pipe);
            if (!halted) {
                Lost();
                return ENODEV;
            }
            uint8_t bits[2] = {static_cast<uint8_t>(*halted ? 1 : 0), 0};
            umockdev_ioctl_data_update(urb.buffer.Get(), kSetupSize, bits, 2);
            status = 0;
            actual = 2;
        } else if (requestType == 0x02 && request == kRequestSetFeature && value == kFeatureEndpointHalt && pipe) {
            if (stallPipe) stallPipe(*pipe);
            status = 0;
        } else if (requestType == 0x02 && request == kRequestClearFeature && value == kFeatureEndpointHalt && pipe) {
            if (!ResetPipe(*pipe)) {
                Lost();
                return ENODEV;
            }
            status = 0;
        }
        Finish(std::move(urb), status, actual);
        return 0;
    }

    int DiscardUrb(UMockdevIoctlClient* client, uint64_t address) {
        for (int pipe = 0; pipe < kPipeCount; ++pipe) {
            Pipe& p = pipes[pipe];
            for (auto it = p.pending.begin(); it != p.pending.end(); ++it) {
                if (it->client != client || it->address != address) continue;
                if (it != p.pending.begin() || !p.readSent) {
                    Finish(std::move(*it), -ENOENT, 0);
                    p.pending.erase(it);
                    return 0;
                }
                // Its READ is outstanding: cancelled, so the emulator drops what belonged to it.
                // Exactly one reply follows, data that was already on its way or the empty one.
                const uint8_t cancel[1] = {op::kCancel};
                std::optional<std::vector<uint8_t>> reply;
                if (Send(pipe, cancel)) reply = Receive(pipe, kReplyTimeoutMs);
                if (!reply) {
                    Lost();
                    return EINVAL;  // already ended with -ENODEV
                }
                p.readSent = false;
                if (reply->size() > 1) {
                    OnReadReply(pipe, *reply);
                    return EINVAL;  // it completed before the discard
                }
                Finish(std::move(p.pending.front()), -ENOENT, 0);
                p.pending.pop_front();
                StartRead(pipe);
                return 0;
            }
        }
        return EINVAL;
    }

    int ReapUrb(UMockdevIoctlData* arg) {
        PollLocked();
        if (reapable.empty()) return gone ? ENODEV : EAGAIN;
        DataRef slot = Resolve(arg, 0, sizeof(void*));
        if (!slot) return EFAULT;
        Urb urb = std::move(reapable.front());
        reapable.pop_front();
        if (reapable.empty() && !gone) Signal(false);
        SetInt(urb.urb.Get(), kUrbStatus, urb.status);
        SetInt(urb.urb.Get(), kUrbActualLength, urb.actualLength);
        if (!umockdev_ioctl_data_set_ptr(slot.Get(), 0, urb.urb.Get())) return EFAULT;
        return 0;
    }

    int Handle(UMockdevIoctlClient* client, gulong request, UMockdevIoctlData* arg) {
        // Interface numbers and endpoints are passed as pointers to unsigned int.
        auto uintArg = [&]() -> std::optional<unsigned> {
            DataRef d = Resolve(arg, 0, sizeof(unsigned));
            if (!d) return std::nullopt;
            return Field<unsigned>(d.Get(), 0);
        };
        switch (request) {
            case USBDEVFS_GET_CAPABILITIES: {
                if (gone) return ENODEV;
                DataRef d = Resolve(arg, 0, sizeof(uint32_t));
                if (!d) return EFAULT;
                uint8_t caps[4];
                platform::PutU32LE(caps, 0, kCapNoPacketSizeLimit | kCapReapAfterDisconnect);
                umockdev_ioctl_data_update(d.Get(), 0, caps, 4);
                return 0;
            }
            case USBDEVFS_CLAIMINTERFACE:
            case USBDEVFS_DISCONNECT_CLAIM: {
                if (gone) return ENODEV;
                const auto interface = uintArg();  // also the first field of usbdevfs_disconnect_claim
                if (!interface) return EFAULT;
                if (*interface != 0) return ENOENT;
                if (owner != nullptr && owner != client) return EBUSY;
                // The adapter's driver keeps every pipe open while the interface is claimed, so
                // that no acknowledge finds its pipe closed.
                for (int pipe = 0; pipe < kPipeCount; ++pipe) {
                    if (!Connect(pipe)) {
                        Lost();
                        return ENODEV;
                    }
                }
                owner = client;
                return 0;
            }
            case USBDEVFS_RELEASEINTERFACE: {
                if (gone) return ENODEV;
                const auto interface = uintArg();
                if (!interface) return EFAULT;
                if (*interface != 0 || owner != client) return EINVAL;
                owner = nullptr;
                return 0;
            }
            case USBDEVFS_GETDRIVER: return gone ? ENODEV : ENODATA;  // no kernel driver is bound to the interface
            case USBDEVFS_IOCTL: return gone ? ENODEV : ENODATA;  // nothing to connect or disconnect
            case USBDEVFS_CLEAR_HALT: {
                if (gone) return ENODEV;
                const auto endpoint = uintArg();
                if (!endpoint) return EFAULT;
                const auto pipe = PipeOfEndpoint(static_cast<uint8_t>(*endpoint));
                if (!pipe) return ENOENT;
                if (!ResetPipe(*pipe)) {
                    Lost();
                    return ENODEV;
                }
                return 0;
            }
            case USBDEVFS_SUBMITURB: return SubmitUrb(client, arg);
            case USBDEVFS_DISCARDURB: {
                // The argument is the URB's address itself.
                uint64_t address = 0;
                if (arg->data_len >= static_cast<gint>(sizeof address))
                    std::memcpy(&address, arg->data, sizeof address);
                return DiscardUrb(client, address);
            }
            case USBDEVFS_REAPURBNDELAY: return ReapUrb(arg);
            default: return ENOTTY;
        }
    }

    void ClientGone(UMockdevIoctlClient* client) {
        auto ofClient = [&](const Urb& u) { return u.client == client; };
        std::erase_if(reapable, ofClient);
        if (owner != nullptr && owner != client) {
            for (auto& p : pipes) {
                if (!p.readSent) std::erase_if(p.pending, ofClient);
            }
            return;
        }
        // The owner closed the node: its pipes are closed, so the emulator leaves every exchange
        // of it, and the next open connects them again (a replugged adapter is seen again).
        owner = nullptr;
        for (auto& p : pipes) {
            p.conn.Reset();
            p.readSent = false;
            p.pending.clear();
        }
        reapable.clear();
        gone = false;
        Signal(false);
        WakeWatcher();
    }
};

UsbfsDevice::UsbfsDevice(std::filesystem::path pipeFolder, const std::filesystem::path& nodeFifo,
                         std::function<void(int)> stallPipe)
    : impl_(std::make_unique<Impl>()) {
    impl_->folder = std::move(pipeFolder);
    impl_->stallPipe = std::move(stallPipe);
    impl_->fifo = Fd(::open(nodeFifo.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC));
    if (!impl_->fifo.Valid()) throw std::runtime_error(nodeFifo.string() + ": " + std::strerror(errno));
    // One page: one write fills it.
    if (::fcntl(impl_->fifo.Get(), F_SETPIPE_SZ, 4096) < 0) {
        throw std::runtime_error(nodeFifo.string() + ": cannot size the pipe: " + std::strerror(errno));
    }
    impl_->signalled = true;
    impl_->Signal(false);
    impl_->wake = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!impl_->wake.Valid()) throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    impl_->watcher = std::jthread([this](std::stop_token stop) { impl_->Watch(stop); });
}

UsbfsDevice::~UsbfsDevice() {
    impl_->watcher.request_stop();
    impl_->WakeWatcher();
    impl_->watcher.join();
}

void UsbfsDevice::HandleIoctl(_UMockdevIoctlClient* client) {
    int error;
    {
        std::lock_guard l(impl_->mutex);
        error = impl_->Handle(client, umockdev_ioctl_client_get_request(client), umockdev_ioctl_client_get_arg(client));
    }
    umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

void UsbfsDevice::ClientGone(_UMockdevIoctlClient* client) {
    std::lock_guard l(impl_->mutex);
    impl_->ClientGone(client);
}

void UsbfsDevice::Disconnect() {
    std::lock_guard l(impl_->mutex);
    impl_->Lost();
}

}  // namespace adapter_emu::usb
