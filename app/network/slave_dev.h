// A slave of a master's scan list: its configuration block, its EDS description and parameter
// set, its data table and its status.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "network/device_base.h"
#include "network/slave_config_block.h"

struct SlaveEds;  // network/slave_eds.h
struct NetworkReadContext;  // network/network_file.h
namespace DeviceNetEDS {
class CParamsInfo;
}

class CSlaveDev : public CDeviceBase {
public:
    // An empty slave (no groups, empty EDS description), as the network file creates it.
    CSlaveDev();
    // A slave from a configuration block and an EDS description; the description is copied.
    CSlaveDev(const SlaveConfigBlock& block, const SlaveEds& eds);
    // A copy (batch add, searched slaves): running flag, parent, EDS description, block,
    // parameters and group changed flags; its own data table; the panel rebuild flag set.
    CSlaveDev(const CSlaveDev& other);
    ~CSlaveDev() override;

    int GetName(std::string& buffer) const override;
    void SetParent(CServerDev* master) override;
    CServerDev* GetParent() const override;
    int UpdateStatus() override;
    int GetAddress() const override;
    int SetAddress(int mac) override;
    int GetGroupCount() const override;
    int GetItemCount(int group) const override;
    int GetItemSize(int group) const override;
    int IsInputGroup(int group) const override;
    int GetItemType(int group) const override;
    int GetItemName(int group, int item, std::string& name, std::string& description) const override;
    int SetItemValue(int group, int item, int ignored, std::span<const uint8_t> data) override;
    DataTable* GetDataCells() override;
    void RefreshDataCells() override;
    void SaveXml(tinyxml2::XMLElement* element) const override;
    void LoadXml(const tinyxml2::XMLElement* element) override;
    // Reads the element within one read of a network file (relative EDS paths, problems).
    void LoadXml(const tinyxml2::XMLElement* element, NetworkReadContext& context);

    // The status text of the last query, taken whole (the poller writes it).
    std::string StatusText() const;

    const SlaveConfigBlock& Config() const { return config_; }
    // Replaces the configuration (the slave dialog's OK): rebuilds the default data groups from
    // the new sizes and the data table, sets the panel rebuild flag.
    void ReplaceConfig(const SlaveConfigBlock& block);
    SlaveConfigBlock& MutableConfig() { return config_; }
    const SlaveEds& Eds() const { return *eds_; }
    SlaveEds& MutableEds() { return *eds_; }
    void SetEds(const SlaveEds& eds);
    // Rebuilds the data table from the groups.
    void RebuildDataTable();

    // Configures the slave from its EDS description as the network search does.
    void ConfigureFromEds();

    uint32_t GroupChangedFlag(int index) const;
    void ClearGroupChangedFlag(int index);
    int PanelRebuild() const { return panelRebuild_; }
    void SetPanelRebuild(int value) { panelRebuild_ = value; }

    // Parameter transfers through the parent master (see CServerDev). The single forms show
    // "参数设置出错" / "读取参数设置出错" on failure and copy the value between the editor's
    // set and the slave's own set on success.
    uint32_t DownloadAllParameters();
    uint32_t UploadAllParameters();
    uint32_t DownloadParameter(DeviceNetEDS::CParamsInfo& editorSet, int32_t number);
    uint32_t UploadParameter(DeviceNetEDS::CParamsInfo& editorSet, int32_t number);

private:
    DataTable dataTable_;
    std::unique_ptr<SlaveEds> eds_;  // EDS description and the slave's parameter set
    SlaveConfigBlock config_;
    CServerDev* master_ = nullptr;
    mutable std::mutex statusLock_;
    std::string statusText_;
    std::array<uint32_t, 10> groupChanged_{};
    int panelRebuild_ = 1;
};
