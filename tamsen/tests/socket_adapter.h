// A minimal adapter behind the emulator socket contract, for tests and the benchmark: one folder
// with the pipe sockets PIPE00..PIPE09 (SOCK_SEQPACKET), served by one thread. Commands written
// on pipe 01/07 (and 03/09 when extended) go to a firmware function whose acknowledge is
// delivered on 00/06 (and whole on 02/08 when longer than 64 bytes).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tamsen::testing {

class SocketAdapter {
public:
    using Bytes = std::vector<uint8_t>;
    // Given a whole command packet, returns the whole acknowledge packet.
    using Firmware = std::function<Bytes(const Bytes& command)>;

    // Serves the adapter folder `path` (created). Pipes listed in `missing` get no socket file.
    SocketAdapter(std::string path, Firmware firmware, std::set<int> missing = {});
    ~SocketAdapter();
    SocketAdapter(const SocketAdapter&) = delete;
    SocketAdapter& operator=(const SocketAdapter&) = delete;

    // The adapter disappears: the thread stops and every socket is closed.
    void Unplug();

    // Connections currently open.
    int OpenConnections() const { return openConnections_.load(); }
    // Commands received so far.
    int Commands() const { return commands_.load(); }

    // An acknowledge built like the firmware's: code, payload, extended flag when over 64 bytes.
    static Bytes Ack(uint8_t code, const Bytes& payload);
    // A plain adapter: empty acknowledges; GetNodeStatus answers status 0; ReadSlaveIO answers
    // the capacity asked for with bytes 0, 1, 2, ...; EMRequest echoes the request data.
    static Bytes DefaultFirmware(const Bytes& command);

private:
    struct PipeConn {
        int listener = -1;
        int conn = -1;
        bool readPending = false;
        uint32_t readCapacity = 0;
        int64_t readDeadlineMs = 0;
        std::vector<Bytes> outgoing;
    };
    void Run();
    void HandleMessage(int pipe, const Bytes& message);
    void Deliver(int pipe);
    void CloseAll();
    static int64_t NowMs();

    std::string path_;
    Firmware firmware_;
    std::map<int, PipeConn> pipes_;
    Bytes firstPart_[2];  // per group: the 64-byte first transfer waiting for its extension
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> openConnections_{0};
    std::atomic<int> commands_{0};
    std::thread thread_;
};

}  // namespace tamsen::testing
