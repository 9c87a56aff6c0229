// The network search: finds the slaves present on a master's bus at the addresses no configured
// slave uses, reads each one's identity and gives it an EDS name. The probing runs on a worker
// thread owned by the search object; progress and results reach the caller through callbacks
// called on that worker (a window turns them into queued calls, the command line prints them).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "network/eds_identity_map.h"

class CServerDev;

inline constexpr uint32_t kSearchDefaultTimeoutMs = 2000;
inline constexpr uint32_t kSearchMinTimeoutMs = 100;
inline constexpr uint32_t kSearchMaxTimeoutMs = 30000;
inline constexpr uint32_t kSearchPauseMs = 5000;
inline constexpr uint32_t kSearchLastAddress = 63;

struct SearchOptions {
    uint32_t startAddress = 0;
    uint32_t timeoutMs = kSearchDefaultTimeoutMs;  // per explicit request
    std::string defaultEdsName;  // for a device no EDS file matches
    // Longest wait for the master to contact the probed addresses before the first request; it
    // ends early once every probed address reports its status.
    uint32_t pauseMs = kSearchPauseMs;
};

// One slave found.
struct SearchResult {
    uint32_t macId = 0;
    DeviceIdentity identity;
    std::string edsName;
};

enum class SearchEnd {
    Completed,  // every probed address was asked
    Stopped,  // stopped before the last address
    OpenFailed,  // the master could not be initialised; nothing was probed
};

struct SearchCallbacks {
    std::function<void(std::size_t count)> started;  // addresses to probe
    std::function<void(std::size_t index, std::size_t count)> probing;  // before each address
    std::function<void(const SearchResult&)> found;
    std::function<void(SearchEnd)> finished;  // last call of a search, after the clean-up
};

class NetworkSearch {
public:
    NetworkSearch() = default;
    // Stops a running search and waits for its worker.
    ~NetworkSearch();
    NetworkSearch(const NetworkSearch&) = delete;
    NetworkSearch& operator=(const NetworkSearch&) = delete;

    // Starts a search of `master` (which must outlive it and must not be running). The results of
    // an earlier search are dropped. False, doing nothing, while a search still runs.
    bool Start(CServerDev* master, const SearchOptions& options, EdsIdentityMap identities, SearchCallbacks callbacks);
    // Asks the worker to end before its next address; it still removes its scan-list entries.
    void RequestStop();
    // Waits for the worker to end, at most `timeoutMs` (0: no limit). True when it has ended.
    bool Wait(uint32_t timeoutMs = 0);
    // True from Start until the worker has ended (its finished callback has returned).
    bool Running() const { return running_.load(); }
    bool StopRequested() const { return stop_.load(); }

    std::vector<SearchResult> Results() const;
    // Empties the results (not while a search runs). False while running.
    bool ClearResults();
    // Explicit requests sent by the last search.
    uint32_t RequestCount() const { return requests_.load(); }

private:
    void Run(CServerDev* master, const SearchOptions& options, const EdsIdentityMap& identities,
             const SearchCallbacks& callbacks);
    bool Pause(CServerDev* master, const std::vector<uint32_t>& addresses, uint32_t pauseMs);
    // Get_Attribute_Single of identity attribute `attribute`; the value is little-endian in the
    // reply's first bytes (an error reply gives 0).
    uint32_t ReadIdentityAttribute(CServerDev* master, uint32_t mac, uint8_t attribute, uint32_t timeoutMs,
                                   uint32_t& value);
    void JoinEnded();

    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<uint32_t> requests_{0};
    mutable std::mutex lock_;  // results_, with ended_ and endedWake_
    std::vector<SearchResult> results_;
    std::condition_variable endedWake_;
};
