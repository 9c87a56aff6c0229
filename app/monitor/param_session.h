// ParamSession: the parameter editor's hold on a slave and its master. Opening stops the
// master's running network and attaches it for the editor; a failed attach is kept with its
// code and no transfer can start. "All" uploads and downloads run on workers of the session
// that work on a snapshot of the editor's rows under the lock of the slave's parameter set and
// report through callbacks on the worker thread. Closing sets both stop flags, refuses new
// transfers, waits for the workers and detaches the master. After an upload the device's values
// can be compared with those the network file gives the slave.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "eds/eds_file.h"
#include "monitor/parameter_compare.h"

class CServerDev;
class CSlaveDev;

namespace monitor {

class ParamSession {
public:
    // Called on the worker thread once the worker has let go of the slave's parameter set.
    struct Callbacks {
        std::function<void(DeviceNetEDS::CParamsInfo uploaded)> uploadFinished;
        std::function<void()> downloadFinished;
    };
    enum class Single { kDone, kBusy, kRefused };

    // `slave` (with its master) must outlive the session.
    ParamSession(CSlaveDev& slave, Callbacks callbacks);
    ~ParamSession();
    ParamSession(const ParamSession&) = delete;
    ParamSession& operator=(const ParamSession&) = delete;

    // 0 when the master was attached, else the code of the failed attach.
    uint32_t AttachResult() const { return attachResult_; }
    // Attached and not closing.
    bool CanTransfer() const;
    bool UploadRunning() const { return uploadRunning_.load(); }
    bool DownloadRunning() const { return downloadRunning_.load(); }

    // Starts an "all" transfer of `snapshot`; false when refused (cannot transfer, or the same
    // transfer still runs). Only this transfer's stop flag is cleared.
    bool StartUpload(const DeviceNetEDS::CParamsInfo& snapshot);
    bool StartDownload(const DeviceNetEDS::CParamsInfo& snapshot);

    // One parameter between the editor's set and the slave; kBusy while an "all" transfer holds
    // the slave's set, kRefused when no transfer can run.
    Single DownloadOne(DeviceNetEDS::CParamsInfo& editorSet, int32_t number);
    Single UploadOne(DeviceNetEDS::CParamsInfo& editorSet, int32_t number);

    // The parameters whose value on the device, as last uploaded (all, or one since), differs
    // from the value the network file gives the slave; nullopt before the first upload-all.
    std::optional<std::vector<ParameterDifference>> CompareWithFile() const;

    // Sets both stop flags and refuses new transfers, without waiting.
    void BeginClose();
    // BeginClose, then waits for the workers and detaches the master. Idempotent.
    void Close();

private:
    bool Start(std::thread& worker, std::atomic<bool>& running, std::function<void()> job);

    CSlaveDev& slave_;
    CServerDev* master_;
    Callbacks callbacks_;
    uint32_t attachResult_ = 0;
    std::atomic<bool> closing_{false};
    bool closed_ = false;
    std::mutex setLock_;  // the slave's parameter set, shared by the transfers
    std::atomic<bool> uploadRunning_{false};
    std::atomic<bool> downloadRunning_{false};
    std::thread uploadThread_;
    std::thread downloadThread_;
    mutable std::mutex uploadedLock_;
    std::optional<DeviceNetEDS::CParamsInfo> uploaded_;  // the device's values of the last upload
};

}  // namespace monitor
