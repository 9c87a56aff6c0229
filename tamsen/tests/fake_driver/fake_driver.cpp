#include "fake_driver/fake_driver.h"

#include <algorithm>

#include "driver/pipe_name.h"
#include "platform/byte_order.h"

namespace tamsen::driver {

namespace {

int GroupOf(int pipe) { return pipe >= 6 ? 1 : 0; }

}  // namespace

class FakePipe final : public Pipe {
public:
    FakePipe(std::shared_ptr<FakeDriver> driver, std::string device, int pipe, uint32_t id)
        : driver_(std::move(driver)), device_(std::move(device)), pipe_(pipe), id_(id) {}

    ~FakePipe() override {
        std::lock_guard<std::mutex> guard(driver_->lock_);
        driver_->devices_[device_].pipes[pipe_].open = false;
        driver_->Record({device_, pipe_, FakeDriver::Op::Close, {}, 0, 0, true});
    }

    uint32_t Id() const override { return id_; }

    bool Write(std::span<const uint8_t> data) override {
        std::lock_guard<std::mutex> guard(driver_->lock_);
        auto& device = driver_->devices_[device_];
        const bool ok = Usable(device, FakeDriver::Op::Write);
        driver_->Record({device_, pipe_, FakeDriver::Op::Write, {data.begin(), data.end()}, 0, 0, ok});
        if (ok) device.lastCommand[GroupOf(pipe_)].assign(data.begin(), data.end());
        return ok;
    }

    bool StartRead(std::size_t capacity, ReadRequest request) override {
        std::lock_guard<std::mutex> guard(driver_->lock_);
        const bool ok = !pending_ && Usable(driver_->devices_[device_], FakeDriver::Op::StartRead);
        driver_->Record({device_, pipe_, FakeDriver::Op::StartRead, {request.begin(), request.end()}, capacity, 0, ok});
        if (ok) {
            pending_ = true;
            capacity_ = capacity;
        }
        return ok;
    }

    std::optional<std::size_t> WaitRead(std::span<uint8_t> out) override {
        if (!pending_) return std::nullopt;
        pending_ = false;
        FakeDriver::Reply reply;
        FakeDriver::Responder responder;
        std::vector<uint8_t> command;
        {
            std::lock_guard<std::mutex> guard(driver_->lock_);
            auto& device = driver_->devices_[device_];
            if (!device.present) return Done(FakeDriver::Reply::Fail());
            auto& queue = device.pipes[pipe_].queue;
            if (!queue.empty()) {
                reply = std::move(queue.front());
                queue.erase(queue.begin());
                return Done(std::move(reply), out);
            }
            responder = driver_->responder_;
            command = device.lastCommand[GroupOf(pipe_)];
        }
        if (responder) {
            reply = responder(device_, pipe_, command);
        } else if ((pipe_ == 0 || pipe_ == 6) && command.size() >= 2) {
            reply = FakeDriver::Reply::Data(FakeDriver::Ack(command[1]));
        } else {
            reply = FakeDriver::Reply::Nothing();
        }
        std::lock_guard<std::mutex> guard(driver_->lock_);
        if (!driver_->devices_[device_].present) reply = FakeDriver::Reply::Fail();
        return Done(std::move(reply), out);
    }

    void CancelRead() override {
        std::lock_guard<std::mutex> guard(driver_->lock_);
        if (!pending_) return;
        pending_ = false;
        driver_->Record({device_, pipe_, FakeDriver::Op::Cancel, {}, 0, 0, true});
    }

    std::optional<std::size_t> Control(uint32_t code, std::span<uint8_t> output) override {
        std::lock_guard<std::mutex> guard(driver_->lock_);
        auto& device = driver_->devices_[device_];
        auto& state = device.pipes[pipe_];
        const bool isReset = code == kControlResetPipe;
        const bool ok = Usable(device, isReset ? FakeDriver::Op::Reset : FakeDriver::Op::Control) &&
                        (isReset || code == kControlGetPipeState);
        std::optional<uint16_t> value = 0;
        if (ok && !isReset && !state.states.empty()) {
            value = state.states[std::min(state.stateIndex, state.states.size() - 1)];
            ++state.stateIndex;
        }
        const bool done = ok && value.has_value();
        driver_->Record({device_, pipe_, isReset ? FakeDriver::Op::Reset : FakeDriver::Op::Control, {}, 0, code, done});
        if (!done) return std::nullopt;
        if (isReset) return 0;
        if (output.size() < 2) return std::nullopt;
        platform::PutU16LE(output, 0, *value);
        return 2;
    }

private:
    bool Usable(FakeDriver::Device& device, FakeDriver::Op op) {
        return device.present && device.pipes[pipe_].failing.count(op) == 0;
    }

    // Records and delivers the result of a read (lock held).
    std::optional<std::size_t> Done(FakeDriver::Reply reply, std::span<uint8_t> out = {}) {
        std::optional<std::size_t> result;
        std::vector<uint8_t> delivered;
        if (reply.kind == FakeDriver::Reply::Kind::Nothing) {
            result = 0;
        } else if (reply.kind == FakeDriver::Reply::Kind::Data) {
            const std::size_t n = std::min({reply.bytes.size(), capacity_, out.size()});
            std::copy_n(reply.bytes.begin(), n, out.begin());
            delivered.assign(reply.bytes.begin(), reply.bytes.begin() + static_cast<std::ptrdiff_t>(n));
            result = n;
        }
        driver_->Record(
            {device_, pipe_, FakeDriver::Op::ReadDone, std::move(delivered), capacity_, 0, result.has_value()});
        return result;
    }

    std::shared_ptr<FakeDriver> driver_;
    std::string device_;
    int pipe_;
    uint32_t id_;
    bool pending_ = false;
    std::size_t capacity_ = 0;
};

void FakeDriver::AddDevice(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    order_.push_back(path);
    devices_[path];
}

void FakeDriver::RefuseOpen(const std::string& path, int pipe) {
    std::lock_guard<std::mutex> guard(lock_);
    devices_[path].pipes[pipe].refuse = true;
}

void FakeDriver::QueueReply(const std::string& path, int pipe, Reply reply) {
    std::lock_guard<std::mutex> guard(lock_);
    devices_[path].pipes[pipe].queue.push_back(std::move(reply));
}

void FakeDriver::ClearReplies(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& [number, state] : devices_[path].pipes) state.queue.clear();
}

void FakeDriver::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> guard(lock_);
    responder_ = std::move(responder);
}

void FakeDriver::SetPipeStates(const std::string& path, int pipe, std::vector<std::optional<uint16_t>> states) {
    std::lock_guard<std::mutex> guard(lock_);
    auto& state = devices_[path].pipes[pipe];
    state.states = std::move(states);
    state.stateIndex = 0;
}

void FakeDriver::FailOp(const std::string& path, int pipe, Op op, bool fail) {
    std::lock_guard<std::mutex> guard(lock_);
    auto& failing = devices_[path].pipes[pipe].failing;
    if (fail) {
        failing.insert(op);
    } else {
        failing.erase(op);
    }
}

void FakeDriver::Unplug(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    devices_[path].present = false;
}

std::vector<FakeDriver::Transfer> FakeDriver::Transfers() const {
    std::lock_guard<std::mutex> guard(lock_);
    return transfers_;
}

std::vector<std::vector<uint8_t>> FakeDriver::Writes(const std::string& path, int pipe) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::vector<uint8_t>> writes;
    for (const auto& t : transfers_) {
        if (t.device == path && t.pipe == pipe && t.op == Op::Write) writes.push_back(t.bytes);
    }
    return writes;
}

void FakeDriver::ClearTransfers() {
    std::lock_guard<std::mutex> guard(lock_);
    transfers_.clear();
}

std::set<int> FakeDriver::OpenPipes(const std::string& path) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::set<int> open;
    auto it = devices_.find(path);
    if (it == devices_.end()) return open;
    for (const auto& [number, state] : it->second.pipes) {
        if (state.open) open.insert(number);
    }
    return open;
}

std::vector<uint8_t> FakeDriver::Ack(uint8_t code, std::vector<uint8_t> payload, uint8_t extended) {
    std::vector<uint8_t> ack(8 + payload.size());
    ack[0] = 0x7E;
    ack[1] = code;
    platform::PutU32LE(ack, 2, static_cast<uint32_t>(payload.size()));
    ack[6] = extended;
    std::copy(payload.begin(), payload.end(), ack.begin() + 7);
    uint8_t check = 0;
    for (std::size_t i = 0; i + 1 < ack.size(); ++i) check ^= ack[i];
    ack.back() = check;
    return ack;
}

std::vector<std::string> FakeDriver::PresentDevices() {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> present;
    for (const auto& path : order_) {
        if (devices_[path].present) present.push_back(path);
    }
    return present;
}

std::unique_ptr<Pipe> FakeDriver::OpenPipe(const std::string& fileName) {
    const std::optional<PipeName> name = ParsePipeName(fileName);
    const std::string device = name ? name->device : std::string();
    const int pipe = name ? name->pipe : -1;
    std::lock_guard<std::mutex> guard(lock_);
    auto it = devices_.find(device);
    bool ok = name && it != devices_.end() && it->second.present && pipe <= 9;
    if (ok) {
        auto& state = it->second.pipes[pipe];
        ok = !state.refuse && !state.open;  // no sharing
        if (ok) state.open = true;
    }
    Record({name ? device : fileName, pipe, Op::Open, {}, 0, 0, ok});
    if (!ok) return nullptr;
    return std::make_unique<FakePipe>(shared_from_this(), device, pipe, static_cast<uint32_t>(nextId_++));
}

void FakeDriver::Record(Transfer t) { transfers_.push_back(std::move(t)); }

}  // namespace tamsen::driver
