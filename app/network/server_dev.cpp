#include "network/server_dev.h"

#include <algorithm>
#include <boost/format.hpp>

#include "services/core_services.h"
#include "network/master_card.h"
#include "network/slave_dev.h"
#include "network/master_api_table.h"
#include "resources/ui_texts.h"
#include "varda_api.h"

CServerDev::CServerDev(MasterCard* card, uint32_t channel) : card_(card), channel_(channel) {}

CServerDev::~CServerDev() {
    Stop();
    JoinFinishedPoller(true);
    if (card_ != nullptr) card_->Close();
    std::unique_lock guard(slavesLock_);
    slaves_.clear();
}

int CServerDev::GetName(std::string& buffer) const {
    MasterConfigBlock block = Config();
    std::string typeName = card_ != nullptr ? netsvc::DeviceTypeName(card_->DeviceType()) : std::string();
    uint32_t index = card_ != nullptr ? card_->DeviceIndex() : 0;
    buffer = (boost::format("%s(%d-%d-%s)-%d") % typeName % index % channel_ % netsvc::BaudName(block.BaudIndex()) %
              block.MacId())
                 .str();
    return 1;
}

int CServerDev::AddChild(std::unique_ptr<CSlaveDev> slave) {
    if (!slave) return 0;
    slave->SetParent(this);
    std::unique_lock guard(slavesLock_);
    slaves_.push_back(std::move(slave));
    return 1;
}

int CServerDev::RemoveChild(const CDeviceBase* slave) {
    std::unique_ptr<CSlaveDev> removed;
    {
        std::unique_lock guard(slavesLock_);
        auto it = std::find_if(slaves_.begin(), slaves_.end(), [&](const auto& s) { return s->IsSame(slave); });
        if (it == slaves_.end()) return 1;
        removed = std::move(*it);
        slaves_.erase(it);
    }
    return 1;
}

int CServerDev::IsMaster() const { return 1; }

int CServerDev::GetChildCount() const {
    std::shared_lock guard(slavesLock_);
    return static_cast<int>(slaves_.size());
}

CSlaveDev* CServerDev::GetChild(int position) const {
    std::shared_lock guard(slavesLock_);
    if (position < 0 || static_cast<std::size_t>(position) >= slaves_.size()) return nullptr;
    return slaves_[static_cast<std::size_t>(position)].get();
}

int CServerDev::RemoveAllChildren() {
    std::vector<std::unique_ptr<CSlaveDev>> removed;
    {
        std::unique_lock guard(slavesLock_);
        removed.swap(slaves_);
    }
    return 1;
}

int CServerDev::GetAddress() const { return static_cast<int>(Config().MacId()); }

MasterConfigBlock CServerDev::Config() const {
    std::lock_guard guard(configLock_);
    return config_;
}

void CServerDev::SetConfig(const MasterConfigBlock& block) {
    std::lock_guard guard(configLock_);
    config_ = block;
}

uint32_t CServerDev::InitCount() const {
    std::lock_guard guard(useLock_);
    return initCount_;
}

uint32_t CServerDev::OnlineCount() const {
    std::lock_guard guard(useLock_);
    return onlineCount_;
}

CSlaveDev* CServerDev::FindSlaveLocked(int mac) const {
    for (const auto& slave : slaves_) {
        if (slave->GetAddress() == mac) return slave.get();
    }
    return nullptr;
}

CSlaveDev* CServerDev::FindSlave(int mac) const {
    std::shared_lock guard(slavesLock_);
    return FindSlaveLocked(mac);
}

// ---------------------------------------------------------------------------------------------
// Use counts

uint32_t CServerDev::AcquireInit() {
    std::lock_guard guard(useLock_);
    if (initCount_ > 0) {
        ++initCount_;
        return VARDA_OK;
    }
    uint32_t rc = card_->Open();
    if (rc != VARDA_OK) return rc;
    VARDA_INIT_PARAM param = Config().Record();
    uint32_t handle = 0;
    rc = netsvc::MasterApi().Init(card_->DeviceType(), card_->DeviceIndex(), channel_, &param, &handle);
    // The pipes to the adapter failed: it may have been unplugged and plugged in again
    // since it was opened, which leaves the open handle broken. When no other master shares the
    // card, it is opened again and the initialisation tried once more.
    const bool linkFailure = rc == VARDA_ERR_INTERNAL || rc == VARDA_ERR_SEND_FAILED;
    if (linkFailure && card_->Masters().size() == 1 && card_->Reopen() == VARDA_OK) {
        handle = 0;
        rc = netsvc::MasterApi().Init(card_->DeviceType(), card_->DeviceIndex(), channel_, &param, &handle);
    }
    if (rc != VARDA_OK || handle == 0 || handle == VARDA_INVALID_HANDLE) {
        netsvc::ReportApiError(rc, resources::FormatText(resource_ids::kTextInitFailed,
                                                         static_cast<int>(card_->DeviceType()),
                                                         static_cast<int>(card_->DeviceIndex()),
                                                         static_cast<int>(channel_)));
        // The card use taken for this initialisation goes back, so the adapter is not left open.
        card_->Close();
        // A zero handle with result 0 is a failure too; the caller must not take it for success.
        return rc != VARDA_OK ? rc : VARDA_ERR_INIT_FAILED;
    }
    handle_ = handle;
    initCount_ = 1;
    return VARDA_OK;
}

void CServerDev::ReleaseInit() {
    std::lock_guard guard(useLock_);
    if (initCount_ == 0) return;
    --initCount_;
    if (initCount_ == 0 && handle_ != 0) {
        netsvc::MasterApi().Uninit(handle_);
        handle_ = 0;
        card_->Close();
    }
}

void CServerDev::AcquireOnline() {
    std::lock_guard guard(useLock_);
    if (onlineCount_ == 0) {
        netsvc::MasterApi().Online(handle_);
        netsvc::MasterApi().StartScan(handle_);
    }
    ++onlineCount_;
}

void CServerDev::ReleaseOnline() {
    std::lock_guard guard(useLock_);
    if (onlineCount_ == 0) return;
    --onlineCount_;
    if (onlineCount_ == 0) {
        netsvc::MasterApi().StopScan(handle_);
        netsvc::MasterApi().Offline(handle_);
    }
}

void CServerDev::SaveConfiguration() {
    netsvc::MasterApi().SaveCfg(handle_);
    AcquireOnline();
}

void CServerDev::LoadScanList() {
    uint32_t handle = handle_;
    uint32_t rc = netsvc::MasterApi().RemoveSlave(handle, VARDA_ALL_SLAVES);
    if (rc != VARDA_OK) netsvc::ReportApiError(rc, resources::Text(resource_ids::kTextRemoveAllSlavesFailed));
    std::shared_lock guard(slavesLock_);
    for (const auto& slave : slaves_) {
        VARDA_SLAVE_CONFIG record = slave->Config().record.Record();
        rc = netsvc::MasterApi().AddSlave(handle, &record);
        if (rc != VARDA_OK) {
            netsvc::ReportApiError(rc, resources::FormatText(resource_ids::kTextAddSlaveFailed,
                                                             static_cast<int>(record.MacId)));
        }
    }
}

uint32_t CServerDev::Attach() {
    uint32_t rc = AcquireInit();
    if (rc != VARDA_OK) return rc;
    AcquireOnline();
    return VARDA_OK;
}

void CServerDev::Detach() {
    ReleaseOnline();
    ReleaseInit();
}

// ---------------------------------------------------------------------------------------------
// Start, stop and the status poller

int CServerDev::Start() {
    std::lock_guard run(runLock_);
    if (running_ != 0) return 1;
    JoinFinishedPoller(true);  // a poller left behind by a slow stop has ended by now
    if (AcquireInit() != VARDA_OK) return 0;
    LoadScanList();
    SaveConfiguration();
    running_ = 1;
    pollStop_ = 0;
    {
        std::lock_guard guard(pollLock_);
        pollDone_ = false;
    }
    pollThread_ = std::thread([this] { PollLoop(); });
    return 1;
}

int CServerDev::Stop() {
    std::lock_guard run(runLock_);
    if (running_ == 0) return 1;
    {
        std::unique_lock guard(pollLock_);
        pollStop_ = 1;
        pollWake_.notify_all();
        pollWake_.wait_for(guard, std::chrono::milliseconds(3000), [this] { return pollDone_; });
    }
    JoinFinishedPoller(false);
    {
        std::shared_lock guard(slavesLock_);
        for (const auto& slave : slaves_) slave->CDeviceBase::Stop();
    }
    ReleaseOnline();
    ReleaseInit();
    running_ = 0;
    return 1;
}

void CServerDev::JoinFinishedPoller(bool waitForever) {
    if (!pollThread_.joinable()) return;
    if (!waitForever) {
        std::lock_guard guard(pollLock_);
        if (!pollDone_) return;  // still inside a slow query; joined by the next Start or the destructor
    }
    pollThread_.join();
}

void CServerDev::PollLoop() {
    while (pollStop_ == 0) {
        {
            std::shared_lock guard(slavesLock_);
            for (const auto& slave : slaves_) {
                if (pollStop_ != 0) break;
                if (running_ != 0) {
                    slave->UpdateStatus();
                } else {
                    slave->CDeviceBase::Stop();
                }
            }
        }
        std::unique_lock guard(pollLock_);
        pollWake_.wait_for(guard, std::chrono::milliseconds(10), [this] { return pollStop_ != 0; });
    }
    std::lock_guard guard(pollLock_);
    pollDone_ = true;
    pollWake_.notify_all();
}

// ---------------------------------------------------------------------------------------------
// Automatic address scan

uint32_t CServerDev::AutoAddRange(uint32_t first, uint32_t last) {
    std::vector<uint32_t> range;
    for (uint32_t mac = first; mac <= last && mac <= 63; ++mac) range.push_back(mac);
    return AutoAddAddresses(range);
}

uint32_t CServerDev::AutoAddAddresses(std::span<const uint32_t> addresses) {
    uint32_t rc = AcquireInit();
    if (rc != VARDA_OK) return rc;
    uint32_t own = Config().MacId();
    std::vector<uint32_t> added;
    {
        std::shared_lock guard(slavesLock_);
        for (uint32_t mac : addresses) {
            if (mac > 63) continue;
            if (mac == own || FindSlaveLocked(static_cast<int>(mac)) != nullptr) continue;
            SlaveRecordBlock block;
            block.SetMacId(mac);
            VARDA_SLAVE_CONFIG record = block.Record();
            if (netsvc::MasterApi().AddSlave(handle_, &record) == VARDA_OK) added.push_back(mac);
        }
    }
    {
        std::lock_guard guard(useLock_);
        autoAdded_ = std::move(added);
    }
    SaveConfiguration();
    return VARDA_OK;
}

void CServerDev::RemoveAutoAdded() {
    std::vector<uint32_t> added = AutoAddedAddresses();
    for (uint32_t mac : added) netsvc::MasterApi().RemoveSlave(handle_, mac);
    netsvc::MasterApi().SaveCfg(handle_);
    ReleaseOnline();
    ReleaseInit();
}

std::vector<uint32_t> CServerDev::AutoAddedAddresses() const {
    std::lock_guard guard(useLock_);
    return autoAdded_;
}
