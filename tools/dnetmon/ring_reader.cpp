#include "ring_reader.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <future>
#include <vector>

#include "dnettest.h"

namespace dnetmon {

namespace {
constexpr auto kWait = std::chrono::milliseconds(50);
}

RingReader::RingReader(RecordSource& source, FrameBuffer& buffer) : source_(source), buffer_(buffer) {
    std::promise<uint32_t> started;
    std::future<uint32_t> id = started.get_future();
    thread_ = std::jthread([this, started = std::move(started)](std::stop_token stop) mutable {
        started.set_value(static_cast<uint32_t>(::syscall(SYS_gettid)));
        Run(stop);
    });
    threadId_ = id.get();
}

RingReader::~RingReader() { Stop(); }

void RingReader::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    buffer_.Close();
}

void RingReader::Run(std::stop_token stop) {
    std::vector<uint8_t> records(std::size_t{DNETTEST_RING_SLOTS} * DNETTEST_RECORD_SIZE);
    while (!stop.stop_requested()) {
        const std::size_t n = source_.Read(records, kWait);
        if (n > 0) buffer_.Push(std::span<const uint8_t>(records.data(), n * DNETTEST_RECORD_SIZE));
    }
}

}  // namespace dnetmon
