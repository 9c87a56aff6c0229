// Waiting in tests for something another thread or process does.
#pragma once

#include <chrono>
#include <functional>

namespace testkit {

// Polls `condition` every 5 ms until it holds or `timeout` has passed; its last answer.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(5));

}  // namespace testkit
