// A master: one CAN channel of a master card, with its configuration, its slaves and the master
// life cycle (use counts for initialisation and being on line, start and stop with the status
// poller, the automatic address scan and parameter transfers).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <thread>
#include <vector>

#include "network/device_base.h"
#include "network/master_config_block.h"

class MasterCard;
struct NetworkReadContext;

// A parameter as the transfers see it: where it lives and how its value is coded. `value` is the
// cached value that an upload writes and a download sends.
struct ParameterRef {
    std::span<const uint8_t> linkPath;
    int32_t dataType = 0;
    int32_t dataSize = 0;
    double* value = nullptr;
};

class CServerDev : public CDeviceBase {
public:
    CServerDev(MasterCard* card, uint32_t channel);
    ~CServerDev() override;

    int GetName(std::string& buffer) const override;
    int Start() override;
    int Stop() override;
    int AddChild(std::unique_ptr<CSlaveDev> slave) override;
    int RemoveChild(const CDeviceBase* slave) override;
    int IsMaster() const override;
    int GetChildCount() const override;
    CSlaveDev* GetChild(int position) const override;
    int RemoveAllChildren() override;
    int GetAddress() const override;
    void SaveXml(tinyxml2::XMLElement* element) const override;
    void LoadXml(const tinyxml2::XMLElement* element) override;
    // Reads the element within one read of a network file (relative EDS paths, problems).
    void LoadXml(const tinyxml2::XMLElement* element, NetworkReadContext& context);

    // Use counts of the master API (all return 0 for success or the master-API result).
    uint32_t AcquireInit();
    void ReleaseInit();
    void AcquireOnline();
    void ReleaseOnline();
    void SaveConfiguration();
    void LoadScanList();
    // AcquireInit + AcquireOnline. On failure nothing is held and the error is returned.
    uint32_t Attach();
    void Detach();

    // Puts every free address of first..last (not a slave's, not the master's) into the adapter's
    // scan list as a bare entry, saves and goes on line. RemoveAutoAdded undoes it.
    uint32_t AutoAddRange(uint32_t first, uint32_t last);
    // The same for the given addresses only.
    uint32_t AutoAddAddresses(std::span<const uint32_t> addresses);
    void RemoveAutoAdded();
    std::vector<uint32_t> AutoAddedAddresses() const;

    // Parameter transfers on behalf of the slave `mac`.
    uint32_t DownloadParameter(uint32_t mac, const ParameterRef& parameter);
    uint32_t UploadParameter(uint32_t mac, const ParameterRef& parameter);
    uint32_t DownloadAllParameters(uint32_t mac, std::span<const ParameterRef> parameters);
    uint32_t UploadAllParameters(uint32_t mac, std::span<const ParameterRef> parameters);
    // One transfer without Attach/Detach (the caller holds the master).
    uint32_t DownloadOne(uint32_t mac, const ParameterRef& parameter);
    uint32_t UploadOne(uint32_t mac, const ParameterRef& parameter, uint32_t timeoutMs);

    CSlaveDev* FindSlave(int mac) const;

    MasterCard* Card() const { return card_; }
    void SetCard(MasterCard* card) { card_ = card; }
    uint32_t Channel() const { return channel_; }
    void SetChannel(uint32_t channel) { channel_ = channel; }
    uint32_t Handle() const { return handle_.load(); }
    MasterConfigBlock Config() const;
    void SetConfig(const MasterConfigBlock& block);
    uint32_t InitCount() const;
    uint32_t OnlineCount() const;
    bool PollerRunning() const { return pollStop_.load() == 0; }

private:
    void PollLoop();
    void JoinFinishedPoller(bool waitForever);
    CSlaveDev* FindSlaveLocked(int mac) const;

    // Fields in the order of the model.
    std::thread pollThread_;
    std::atomic<int> pollStop_{1};
    uint32_t initCount_ = 0;
    uint32_t onlineCount_ = 0;
    std::vector<uint32_t> autoAdded_;
    MasterCard* card_;
    MasterConfigBlock config_;
    std::atomic<uint32_t> handle_{0};
    uint32_t channel_;
    std::vector<std::unique_ptr<CSlaveDev>> slaves_;

    mutable std::mutex useLock_;  // init and online counts, handle changes, auto-added list
    std::mutex runLock_;  // Start and Stop
    mutable std::mutex configLock_;  // config_
    mutable std::shared_mutex slavesLock_;  // slaves_: the poller reads, changes are exclusive
    std::mutex pollLock_;  // with pollWake_ and pollDone_
    std::condition_variable pollWake_;
    bool pollDone_ = true;
};
