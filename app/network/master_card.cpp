#include "network/master_card.h"

#include "services/core_services.h"
#include "network/server_dev.h"
#include "network/master_api_table.h"
#include "network/model_texts.h"
#include "resources/ui_texts.h"
#include "varda_api.h"

MasterCard::MasterCard(uint32_t deviceType, uint32_t deviceIndex)
    : deviceType_(deviceType), deviceIndex_(deviceIndex), channelCount_(netsvc::ChannelCount(deviceType)) {}

MasterCard::~MasterCard() {
    // Each master stops and gives back its use; deleting them in channel order.
    while (!masters_.empty()) masters_.erase(masters_.begin());
}

uint32_t MasterCard::Open() {
    std::lock_guard guard(lock_);
    if (opened_ == 0) {
        uint32_t rc = netsvc::MasterApi().Open(deviceType_, deviceIndex_, 0);
        if (rc != VARDA_OK) {
            netsvc::ReportApiError(rc,
                                   resources::FormatText(resource_ids::kTextOpenFailed, static_cast<int>(deviceType_),
                                                         static_cast<int>(deviceIndex_)));
            return rc;
        }
        opened_ = 1;
    }
    ++openCount_;
    return VARDA_OK;
}

void MasterCard::Close() {
    std::lock_guard guard(lock_);
    if (opened_ == 0) return;
    if (openCount_ > 0) --openCount_;
    if (openCount_ == 0) {
        uint32_t rc = netsvc::MasterApi().Close(deviceType_, deviceIndex_);
        if (rc != VARDA_OK) netsvc::ReportApiError(rc, model_text::kCloseFailed);
        opened_ = 0;
    }
}

uint32_t MasterCard::Reopen() {
    std::lock_guard guard(lock_);
    if (opened_ == 0) return VARDA_ERR_NOT_OPEN;
    uint32_t rc = netsvc::MasterApi().Close(deviceType_, deviceIndex_);
    if (rc != VARDA_OK) netsvc::ReportApiError(rc, model_text::kCloseFailed);
    rc = netsvc::MasterApi().Open(deviceType_, deviceIndex_, 0);
    if (rc != VARDA_OK) {
        netsvc::ReportApiError(rc, resources::FormatText(resource_ids::kTextOpenFailed, static_cast<int>(deviceType_),
                                                         static_cast<int>(deviceIndex_)));
        opened_ = 0;
        openCount_ = 0;
    }
    return rc;
}

bool MasterCard::IsOpened() const {
    std::lock_guard guard(lock_);
    return opened_ != 0;
}

uint32_t MasterCard::OpenCount() const {
    std::lock_guard guard(lock_);
    return openCount_;
}

CServerDev* MasterCard::GetOrCreateMaster(uint32_t channel) {
    if (CServerDev* master = FindMaster(channel)) return master;
    auto master = std::make_unique<CServerDev>(this, channel);
    CServerDev* raw = master.get();
    masters_.emplace(channel, std::move(master));
    Open();  // a failure is reported; the master exists all the same
    return raw;
}

CServerDev* MasterCard::FindMaster(uint32_t channel) const {
    auto it = masters_.find(channel);
    return it == masters_.end() ? nullptr : it->second.get();
}

bool MasterCard::MoveMaster(CServerDev* master, uint32_t channel) {
    if (master == nullptr) return false;
    auto from = masters_.find(master->Channel());
    if (from == masters_.end() || from->second.get() != master) return false;
    if (master->Channel() == channel) return true;
    if (masters_.count(channel) != 0) return false;
    auto node = masters_.extract(from);
    node.key() = channel;
    masters_.insert(std::move(node));
    master->SetChannel(channel);
    return true;
}

void MasterCard::RemoveMaster(uint32_t channel) {
    auto it = masters_.find(channel);
    if (it == masters_.end()) return;
    std::unique_ptr<CServerDev> master = std::move(it->second);
    masters_.erase(it);
    master.reset();  // stops the master and closes the card once
}

std::unique_ptr<CServerDev> MasterCard::TakeMaster(uint32_t channel) {
    auto it = masters_.find(channel);
    if (it == masters_.end()) return nullptr;
    std::unique_ptr<CServerDev> master = std::move(it->second);
    masters_.erase(it);
    return master;
}

bool MasterCard::InsertMaster(std::unique_ptr<CServerDev> master, uint32_t channel) {
    if (!master || masters_.count(channel) != 0) return false;
    master->SetCard(this);
    master->SetChannel(channel);
    masters_.emplace(channel, std::move(master));
    return true;
}

void MasterCard::Rekey(uint32_t deviceType, uint32_t deviceIndex) {
    std::lock_guard guard(lock_);
    if (deviceType == deviceType_ && deviceIndex == deviceIndex_) return;
    if (opened_ != 0) {
        uint32_t rc = netsvc::MasterApi().Close(deviceType_, deviceIndex_);
        if (rc != VARDA_OK) netsvc::ReportApiError(rc, model_text::kCloseFailed);
        opened_ = 0;
        rc = netsvc::MasterApi().Open(deviceType, deviceIndex, 0);
        if (rc != VARDA_OK) {
            netsvc::ReportApiError(rc,
                                   resources::FormatText(resource_ids::kTextOpenFailed, static_cast<int>(deviceType),
                                                         static_cast<int>(deviceIndex)));
            openCount_ = 0;
        } else {
            opened_ = 1;
        }
    }
    deviceType_ = deviceType;
    deviceIndex_ = deviceIndex;
    channelCount_ = netsvc::ChannelCount(deviceType);
}
