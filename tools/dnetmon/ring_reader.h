// The thread that drains the adapter's receive ring into the monitor's buffer as fast as records
// come, whatever the output does. Owned by its RingReader: started by the constructor, stopped
// and joined by Stop or the destructor.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stop_token>
#include <thread>

#include "frame_buffer.h"

namespace dnetmon {

// Where the records come from.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    // Copies whole 19-byte records into `out` and returns how many; waits up to `wait` when there
    // are none. Called only by the reader thread.
    virtual std::size_t Read(std::span<uint8_t> out, std::chrono::milliseconds wait) = 0;
};

class RingReader {
public:
    // Starts the thread; returns once it runs, so that ThreadId is known.
    RingReader(RecordSource& source, FrameBuffer& buffer);
    ~RingReader();
    RingReader(const RingReader&) = delete;
    RingReader& operator=(const RingReader&) = delete;

    // The reader thread's Linux thread id: the thread the adapter's notifications must go to.
    uint32_t ThreadId() const { return threadId_; }
    // Stops the thread and waits for it; the buffer is closed afterwards. Idempotent.
    void Stop();

private:
    void Run(std::stop_token stop);

    RecordSource& source_;
    FrameBuffer& buffer_;
    uint32_t threadId_ = 0;
    std::jthread thread_;
};

}  // namespace dnetmon
