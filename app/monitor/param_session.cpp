#include "monitor/param_session.h"

#include <utility>

#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"

namespace monitor {

namespace {
constexpr uint32_t kNoMaster = 0xFFFFFFFFU;
}

ParamSession::ParamSession(CSlaveDev& slave, Callbacks callbacks)
    : slave_(slave), master_(slave.GetParent()), callbacks_(std::move(callbacks)) {
    if (master_ == nullptr) {
        attachResult_ = kNoMaster;
        return;
    }
    // The master leaves the running network and is held for the editor.
    master_->ReleaseOnline();
    master_->Stop();
    attachResult_ = master_->Attach();
}

ParamSession::~ParamSession() { Close(); }

bool ParamSession::CanTransfer() const { return attachResult_ == 0 && !closing_.load(); }

bool ParamSession::Start(std::thread& worker, std::atomic<bool>& running, std::function<void()> job) {
    if (!CanTransfer() || running.load()) return false;
    if (worker.joinable()) worker.join();  // the previous run has ended
    running = true;
    worker = std::thread([job = std::move(job), &running] {
        job();
        running = false;
    });
    return true;
}

bool ParamSession::StartUpload(const DeviceNetEDS::CParamsInfo& snapshot) {
    if (!CanTransfer() || uploadRunning_.load()) return false;
    master_->SetStopFlags(0, master_->DownloadStop());
    return Start(uploadThread_, uploadRunning_, [this, snapshot] {
        DeviceNetEDS::CParamsInfo result;
        {
            std::lock_guard lock(setLock_);
            slave_.MutableEds().parameters = snapshot;
            slave_.UploadAllParameters();
            result = slave_.Eds().parameters;
        }
        {
            std::lock_guard lock(uploadedLock_);
            uploaded_ = result;
        }
        if (callbacks_.uploadFinished) callbacks_.uploadFinished(std::move(result));
    });
}

bool ParamSession::StartDownload(const DeviceNetEDS::CParamsInfo& snapshot) {
    if (!CanTransfer() || downloadRunning_.load()) return false;
    master_->SetStopFlags(master_->UploadStop(), 0);
    return Start(downloadThread_, downloadRunning_, [this, snapshot] {
        {
            std::lock_guard lock(setLock_);
            slave_.MutableEds().parameters = snapshot;
            slave_.DownloadAllParameters();
        }
        if (callbacks_.downloadFinished) callbacks_.downloadFinished();
    });
}

ParamSession::Single ParamSession::DownloadOne(DeviceNetEDS::CParamsInfo& editorSet, int32_t number) {
    if (!CanTransfer()) return Single::kRefused;
    std::unique_lock lock(setLock_, std::try_to_lock);
    if (!lock.owns_lock()) return Single::kBusy;
    slave_.DownloadParameter(editorSet, number);
    return Single::kDone;
}

ParamSession::Single ParamSession::UploadOne(DeviceNetEDS::CParamsInfo& editorSet, int32_t number) {
    if (!CanTransfer()) return Single::kRefused;
    std::unique_lock lock(setLock_, std::try_to_lock);
    if (!lock.owns_lock()) return Single::kBusy;
    if (slave_.UploadParameter(editorSet, number) == 0) {
        std::lock_guard uploaded(uploadedLock_);
        if (uploaded_) uploaded_->SetParamValue(number, editorSet.GetParam(number).defaultValue);
    }
    return Single::kDone;
}

std::optional<std::vector<ParameterDifference>> ParamSession::CompareWithFile() const {
    std::lock_guard lock(uploadedLock_);
    if (!uploaded_) return std::nullopt;
    const SlaveEds& eds = slave_.Eds();
    return DifferingParameters(eds.description, FileParameters(eds), *uploaded_);
}

void ParamSession::BeginClose() {
    closing_ = true;
    if (master_ != nullptr) master_->SetStopFlags(1, 1);
}

void ParamSession::Close() {
    if (closed_) return;
    BeginClose();
    // The stop flags end a running transfer after the request in flight.
    if (uploadThread_.joinable()) uploadThread_.join();
    if (downloadThread_.joinable()) downloadThread_.join();
    // The master is released only after the transfers have ended, so none runs on a detached master.
    if (master_ != nullptr && attachResult_ == 0) master_->Detach();
    closed_ = true;
}

}  // namespace monitor
