#include "recorder.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <tuple>

namespace devrec {

namespace {

using GateKey = std::tuple<std::string, std::string, uint32_t>;

struct Gate {
    bool armed = false;
    int waiting = 0;
};

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Call> calls;
    std::map<std::pair<std::string, std::string>, uint32_t> results;
    std::map<std::string, uint32_t> initHandles;
    std::map<GateKey, Gate> gates;
    std::map<std::string, int> loads;
    std::function<void(const std::string&)> loadHook;
};

State& S() {
    static State state;
    return state;
}

}  // namespace

void Record(const std::string& library, const std::string& function, std::vector<uint64_t> args) {
    std::lock_guard lock(S().mutex);
    S().calls.push_back({library, function, std::move(args)});
}

std::vector<Call> Calls(const std::string& library) {
    std::lock_guard lock(S().mutex);
    std::vector<Call> out;
    for (const auto& c : S().calls) {
        if (c.library == library) out.push_back(c);
    }
    return out;
}

void SetResult(const std::string& library, const std::string& function, uint32_t result) {
    std::lock_guard lock(S().mutex);
    S().results[{library, function}] = result;
}

std::optional<uint32_t> ResultFor(const std::string& library, const std::string& function) {
    std::lock_guard lock(S().mutex);
    auto it = S().results.find({library, function});
    if (it == S().results.end()) return std::nullopt;
    return it->second;
}

void ClearResults(const std::string& library) {
    std::lock_guard lock(S().mutex);
    std::erase_if(S().results, [&](const auto& entry) { return entry.first.first == library; });
}

void SetInitHandle(const std::string& library, std::optional<uint32_t> handle) {
    std::lock_guard lock(S().mutex);
    if (handle) {
        S().initHandles[library] = *handle;
    } else {
        S().initHandles.erase(library);
    }
}

std::optional<uint32_t> InitHandleFor(const std::string& library) {
    std::lock_guard lock(S().mutex);
    auto it = S().initHandles.find(library);
    if (it == S().initHandles.end()) return std::nullopt;
    return it->second;
}

void ArmGate(const std::string& library, const std::string& function, uint32_t deviceIndex) {
    std::lock_guard lock(S().mutex);
    S().gates[{library, function, deviceIndex}].armed = true;
}

void PassGate(const std::string& library, const std::string& function, uint32_t deviceIndex) {
    std::unique_lock lock(S().mutex);
    Gate& gate = S().gates[{library, function, deviceIndex}];
    ++gate.waiting;
    S().changed.notify_all();
    S().changed.wait(lock, [&] { return !gate.armed; });
    --gate.waiting;
}

bool Entered(const std::string& library, const std::string& function, uint32_t deviceIndex,
             std::chrono::milliseconds timeout) {
    std::unique_lock lock(S().mutex);
    Gate& gate = S().gates[{library, function, deviceIndex}];
    return S().changed.wait_for(lock, timeout, [&] { return gate.waiting > 0; });
}

void ReleaseGate(const std::string& library, const std::string& function, uint32_t deviceIndex) {
    std::lock_guard lock(S().mutex);
    S().gates[{library, function, deviceIndex}].armed = false;
    S().changed.notify_all();
}

void ReleaseAllGates() {
    std::lock_guard lock(S().mutex);
    for (auto& [key, gate] : S().gates) gate.armed = false;
    S().changed.notify_all();
}

void LibraryLoaded(const std::string& library) {
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard lock(S().mutex);
        ++S().loads[library];
        hook = S().loadHook;
    }
    if (hook) hook(library);
}

int LoadCount(const std::string& library) {
    std::lock_guard lock(S().mutex);
    auto it = S().loads.find(library);
    return it == S().loads.end() ? 0 : it->second;
}

void SetLoadHook(std::function<void(const std::string&)> hook) {
    std::lock_guard lock(S().mutex);
    S().loadHook = std::move(hook);
}

}  // namespace devrec
