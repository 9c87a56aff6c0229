// An in-process adapter driver for tests: scriptable per pipe, and it records every transfer.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <set>

#include "driver/driver.h"
#include "fake_driver/driver_override.h"

namespace tamsen::driver {

class FakeDriver final : public Driver, public std::enable_shared_from_this<FakeDriver> {
public:
    // Control = pipe-state request, Reset = reset request.
    enum class Op { Open, Close, Write, StartRead, ReadDone, Cancel, Control, Reset };

    // One recorded transfer. For StartRead `bytes` is the read request and `capacity` the size
    // asked for; for ReadDone the bytes delivered; for Control `code` is the control code.
    struct Transfer {
        std::string device;
        int pipe = -1;
        Op op = Op::Open;
        std::vector<uint8_t> bytes;
        std::size_t capacity = 0;
        uint32_t code = 0;
        bool ok = true;
    };

    // How one read is answered: with bytes, with nothing (0 bytes), or as a failed read.
    struct Reply {
        enum class Kind { Data, Nothing, Fail } kind = Kind::Data;
        std::vector<uint8_t> bytes;
        static Reply Data(std::vector<uint8_t> b) { return {Kind::Data, std::move(b)}; }
        static Reply Nothing() { return {Kind::Nothing, {}}; }
        static Reply Fail() { return {Kind::Fail, {}}; }
    };

    // Answers a read on `pipe` of `device` that has no queued reply. `command` is the last packet
    // written on the pipe group's command pipes (the whole packet when it was extended). It runs
    // on the reading thread without the driver's lock, so it may block.
    using Responder = std::function<Reply(const std::string& device, int pipe, const std::vector<uint8_t>& command)>;

    // Adds a present adapter; its pipes 00..09 exist.
    void AddDevice(const std::string& path);
    // Pipe `pipe` of the device cannot be opened.
    void RefuseOpen(const std::string& path, int pipe);
    // Queues the answer to the next read on the pipe.
    void QueueReply(const std::string& path, int pipe, Reply reply);
    // Drops every queued reply of the device.
    void ClearReplies(const std::string& path);
    // The answer to reads without a queued reply (default: an empty acknowledge of the command).
    void SetResponder(Responder responder);
    // Answers of the pipe-state request, in order; the last one repeats. nullopt = failed request.
    void SetPipeStates(const std::string& path, int pipe, std::vector<std::optional<uint16_t>> states);
    // Makes an operation on the pipe fail.
    void FailOp(const std::string& path, int pipe, Op op, bool fail = true);
    // The adapter is gone: every later transfer of its pipes fails, and it is no longer listed.
    void Unplug(const std::string& path);

    std::vector<Transfer> Transfers() const;
    // Every write on one pipe of one device.
    std::vector<std::vector<uint8_t>> Writes(const std::string& path, int pipe) const;
    void ClearTransfers();
    // Pipes of the device currently open.
    std::set<int> OpenPipes(const std::string& path) const;

    // The acknowledge that the default responder gives: the command's code and no payload.
    static std::vector<uint8_t> Ack(uint8_t code, std::vector<uint8_t> payload = {}, uint8_t extended = 0);

    std::vector<std::string> PresentDevices() override;
    std::unique_ptr<Pipe> OpenPipe(const std::string& fileName) override;

private:
    friend class FakePipe;
    struct PipeState {
        bool open = false;
        bool refuse = false;
        std::vector<Reply> queue;
        std::vector<std::optional<uint16_t>> states;
        std::size_t stateIndex = 0;
        std::set<Op> failing;
    };
    struct Device {
        bool present = true;
        std::map<int, PipeState> pipes;
        std::vector<uint8_t> lastCommand[2];  // normal group, explicit-message group
    };

    void Record(Transfer t);
    std::vector<std::string> order_;
    std::map<std::string, Device> devices_;
    std::vector<Transfer> transfers_;
    Responder responder_;
    mutable std::mutex lock_;
    int nextId_ = 0x100;
};

}  // namespace tamsen::driver
