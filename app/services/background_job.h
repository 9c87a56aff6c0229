// BackgroundJob: one job at a time on a thread owned by this object. The job reports through
// whatever callbacks it was given (on the worker thread); Wait and the destructor join the
// thread, so nothing the job uses may go before its job object.
#pragma once

#include <atomic>
#include <functional>
#include <thread>
#include <utility>

namespace name_share {

class BackgroundJob {
public:
    BackgroundJob() = default;
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;
    ~BackgroundJob() { Wait(); }

    // Starts `job`; false while the previous job still runs.
    bool Start(std::function<void()> job) {
        if (running_.load()) return false;
        Wait();
        running_ = true;
        thread_ = std::thread([this, job = std::move(job)] {
            job();
            running_ = false;
        });
        return true;
    }
    // From Start until the job has returned.
    bool Running() const { return running_.load(); }
    // Waits for the job to end.
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace name_share
