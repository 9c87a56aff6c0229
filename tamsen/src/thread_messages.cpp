#include "thread_messages.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tamsen {

namespace {

struct Queue {
    std::deque<DNetTestMessage> messages;
    std::condition_variable ready;
};

// All queues, by thread id. A queue is made by the first post to a live thread or by the
// thread's first fetch, and removed when its thread ends (see QueueOwner) or, for threads that
// never fetch, when a later post finds the thread gone.
class Queues {
public:
    static Queues& Instance() {
        static Queues queues;
        return queues;
    }

    bool Post(uint32_t tid, const DNetTestMessage& m) {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = queues_.find(tid);
        if (it == queues_.end()) {
            if (!ThreadAlive(tid)) return false;
            it = queues_.emplace(tid, std::make_unique<Queue>()).first;
        } else if (++postsSinceCheck_[tid] >= kAliveCheckEvery) {
            // A thread that never fetches leaves its queue behind: look now and then.
            postsSinceCheck_[tid] = 0;
            if (!ThreadAlive(tid)) {
                queues_.erase(it);
                postsSinceCheck_.erase(tid);
                return false;
            }
        }
        if (it->second->messages.size() >= DNETTEST_QUEUE_LIMIT) return false;
        it->second->messages.push_back(m);
        it->second->ready.notify_one();
        return true;
    }

    std::optional<DNetTestMessage> Get(uint32_t tid, uint32_t timeoutMs) {
        std::unique_lock<std::mutex> guard(lock_);
        Queue& q = OwnQueue(tid);
        q.ready.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] { return !q.messages.empty(); });
        if (q.messages.empty()) return std::nullopt;
        DNetTestMessage m = q.messages.front();
        q.messages.pop_front();
        return m;
    }

    std::optional<DNetTestMessage> Peek(uint32_t tid, bool remove) {
        std::lock_guard<std::mutex> guard(lock_);
        Queue& q = OwnQueue(tid);
        if (q.messages.empty()) return std::nullopt;
        DNetTestMessage m = q.messages.front();
        if (remove) q.messages.pop_front();
        return m;
    }

    void Drop(uint32_t tid) {
        std::lock_guard<std::mutex> guard(lock_);
        queues_.erase(tid);
        postsSinceCheck_.erase(tid);
    }

private:
    static constexpr uint32_t kAliveCheckEvery = 256;

    static bool ThreadAlive(uint32_t tid) {
        if (tid == 0) return false;
        std::error_code ec;
        return std::filesystem::exists("/proc/self/task/" + std::to_string(tid), ec);
    }

    Queue& OwnQueue(uint32_t tid);

    std::mutex lock_;
    std::map<uint32_t, std::unique_ptr<Queue>> queues_;
    std::map<uint32_t, uint32_t> postsSinceCheck_;
};

// Drops the queue of a thread that fetched messages when that thread ends.
struct QueueOwner {
    uint32_t tid = 0;
    ~QueueOwner() {
        if (tid != 0) Queues::Instance().Drop(tid);
    }
};

thread_local QueueOwner queueOwner;

Queue& Queues::OwnQueue(uint32_t tid) {
    queueOwner.tid = tid;
    auto& q = queues_[tid];
    if (!q) q = std::make_unique<Queue>();
    return *q;
}

}  // namespace

void PrepareThreadMessages() { (void)Queues::Instance(); }

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

bool PostThreadMessage(uint32_t tid, uint32_t message, uint64_t wParam, uint64_t lParam) {
    DNetTestMessage m{};
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    return Queues::Instance().Post(tid, m);
}

std::optional<DNetTestMessage> GetThreadMessage(uint32_t timeoutMs) {
    return Queues::Instance().Get(CurrentThreadId(), timeoutMs);
}

std::optional<DNetTestMessage> PeekThreadMessage(bool remove) {
    return Queues::Instance().Peek(CurrentThreadId(), remove);
}

}  // namespace tamsen
