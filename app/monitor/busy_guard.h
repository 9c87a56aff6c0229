// BusyGuard: keeps a repeated action (a timer tick) from running inside itself. While one run
// holds the guard - its master-API call is in flight or its report box is open, whose event loop
// keeps the timer firing - every further attempt is refused and that tick is skipped.
#pragma once

#include <atomic>
#include <optional>

namespace monitor {

class BusyGuard {
public:
    // Held while it lives; releases the guard when destroyed.
    class Hold {
    public:
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        Hold(Hold&& other) noexcept : guard_(other.guard_) { other.guard_ = nullptr; }
        Hold& operator=(Hold&&) = delete;
        ~Hold() {
            if (guard_ != nullptr) guard_->busy_.store(false);
        }

    private:
        friend class BusyGuard;
        explicit Hold(BusyGuard& guard) : guard_(&guard) {}
        BusyGuard* guard_;
    };

    // A hold when the guard was free; none while another run holds it.
    std::optional<Hold> TryHold() {
        bool expected = false;
        if (!busy_.compare_exchange_strong(expected, true)) return std::nullopt;
        return Hold(*this);
    }
    bool Busy() const { return busy_.load(); }

private:
    std::atomic<bool> busy_{false};
};

}  // namespace monitor
