#include "network/network_search.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "cip/object_class.h"
#include "network/master_api_table.h"
#include "network/server_dev.h"
#include "varda_api.h"

namespace {

constexpr uint32_t kReplyBufferSize = 20;
constexpr uint32_t kAttributeReplyLength = 4;
constexpr auto kPauseCheck = std::chrono::milliseconds(20);

// A status that the scanner gives a listed slave once it has tried to reach it. Codes of the
// master itself (bus off, no CAN power, scanner stopped...) and "not initialised" are not.
bool ReportsSlaveStatus(uint32_t status) {
    if (status == VARDA_SLAVE_ONLINE) return true;
    return status >= VARDA_SLAVE_DUP_MAC_FAILED && status <= VARDA_SLAVE_WRONG_SHARED_MASTER &&
           status != VARDA_SLAVE_NOT_INITIALISED;
}

}  // namespace

NetworkSearch::~NetworkSearch() {
    RequestStop();
    Wait(0);
}

bool NetworkSearch::Start(CServerDev* master, const SearchOptions& options, EdsIdentityMap identities,
                          SearchCallbacks callbacks) {
    if (master == nullptr || running_.load()) return false;
    JoinEnded();
    {
        std::lock_guard guard(lock_);
        results_.clear();
    }
    stop_ = false;
    requests_ = 0;
    running_ = true;
    worker_ = std::thread(&NetworkSearch::Run, this, master, options, std::move(identities), std::move(callbacks));
    return true;
}

void NetworkSearch::RequestStop() { stop_ = true; }

bool NetworkSearch::Wait(uint32_t timeoutMs) {
    {
        std::unique_lock guard(lock_);
        auto ended = [this] { return !running_.load(); };
        if (timeoutMs == 0) {
            endedWake_.wait(guard, ended);
        } else if (!endedWake_.wait_for(guard, std::chrono::milliseconds(timeoutMs), ended)) {
            return false;
        }
    }
    JoinEnded();
    return true;
}

void NetworkSearch::JoinEnded() {
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
}

std::vector<SearchResult> NetworkSearch::Results() const {
    std::lock_guard guard(lock_);
    return results_;
}

bool NetworkSearch::ClearResults() {
    if (running_.load()) return false;
    std::lock_guard guard(lock_);
    results_.clear();
    return true;
}

uint32_t NetworkSearch::ReadIdentityAttribute(CServerDev* master, uint32_t mac, uint8_t attribute, uint32_t timeoutMs,
                                              uint32_t& value) {
    // A fresh buffer for every request: a short answer must not inherit bytes of the one before.
    std::array<uint8_t, kReplyBufferSize> reply{};
    const std::array<uint8_t, 1> request{attribute};
    uint32_t length = kAttributeReplyLength;
    ++requests_;
    const uint32_t rc =
        netsvc::MasterApi().EMRequest(master->Handle(), mac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass,
                                      cip::kDeviceInstance, request.data(), 1, reply.data(), &length, timeoutMs);
    value = 0;
    if (rc != VARDA_OK) return rc;
    // An error reply (0x94, status, 0xFF) answers the request but carries no value.
    if (length >= 1 && reply[0] == CIP_ERROR_REPLY_SERVICE && (length == 2 || length == 3)) return VARDA_OK;
    const uint32_t used = std::min(length, kAttributeReplyLength);
    for (uint32_t i = 0; i < used; ++i) value |= static_cast<uint32_t>(reply[i]) << (8 * i);
    return VARDA_OK;
}

bool NetworkSearch::Pause(CServerDev* master, const std::vector<uint32_t>& addresses, uint32_t pauseMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(pauseMs);
    while (!stop_.load()) {
        bool allReported = true;
        for (uint32_t mac : addresses) {
            if (!ReportsSlaveStatus(netsvc::MasterApi().GetSlaveStatus(master->Handle(), mac))) {
                allReported = false;
                break;
            }
        }
        if (allReported) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPauseCheck, deadline - now));
    }
    return false;
}

void NetworkSearch::Run(CServerDev* master, const SearchOptions& options, const EdsIdentityMap& identities,
                        const SearchCallbacks& callbacks) {
    SearchEnd end = SearchEnd::Completed;
    if (master->AutoAddRange(options.startAddress, kSearchLastAddress) != VARDA_OK) {
        end = SearchEnd::OpenFailed;
    } else {
        const std::vector<uint32_t> addresses = master->AutoAddedAddresses();
        if (callbacks.started) callbacks.started(addresses.size());
        // Nothing to probe needs no pause.
        if (!addresses.empty()) Pause(master, addresses, options.pauseMs);
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (stop_.load()) {
                end = SearchEnd::Stopped;
                break;
            }
            const uint32_t mac = addresses[i];
            if (callbacks.probing) callbacks.probing(i, addresses.size());
            SearchResult result;
            result.macId = mac;
            if (ReadIdentityAttribute(master, mac, cip::kVendorIdAttribute, options.timeoutMs,
                                      result.identity.vendorId) != VARDA_OK) {
                continue;  // nobody answered: the address is empty
            }
            // Present: the other attributes are read as well as they answer.
            ReadIdentityAttribute(master, mac, cip::kDeviceTypeAttribute, options.timeoutMs,
                                  result.identity.deviceType);
            ReadIdentityAttribute(master, mac, cip::kProductCodeAttribute, options.timeoutMs,
                                  result.identity.productCode);
            ReadIdentityAttribute(master, mac, cip::kRevisionAttribute, options.timeoutMs, result.identity.revision);
            result.edsName = identities.Match(result.identity).value_or(options.defaultEdsName);
            {
                std::lock_guard guard(lock_);
                results_.push_back(result);
            }
            if (callbacks.found) callbacks.found(result);
        }
        master->RemoveAutoAdded();
    }
    if (callbacks.finished) callbacks.finished(end);
    std::lock_guard guard(lock_);
    running_ = false;
    endedWake_.notify_all();
}
