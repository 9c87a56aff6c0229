// Base of the two node kinds of the network tree: masters (CServerDev) and slaves (CSlaveDev).
// The 28 virtual operations are declared in their slot order; the destructor comes after them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "network/data_cell.h"

namespace tinyxml2 {
class XMLElement;
}

class CServerDev;
class CSlaveDev;

class CDeviceBase {
public:
    CDeviceBase() = default;
    CDeviceBase(const CDeviceBase&) = delete;
    CDeviceBase& operator=(const CDeviceBase&) = delete;

    virtual int GetName(std::string& buffer) const;  // 0
    virtual int IsSame(const CDeviceBase* node) const;  // 1
    virtual int Start();  // 2
    virtual int Stop();  // 3
    virtual int IsRunning() const;  // 4
    virtual int AddChild(std::unique_ptr<CSlaveDev> slave);  // 5
    virtual int RemoveChild(const CDeviceBase* slave);  // 6
    virtual void SetParent(CServerDev* master);  // 7
    virtual int IsMaster() const;  // 8
    virtual int GetChildCount() const;  // 9
    virtual CSlaveDev* GetChild(int position) const;  // 10
    virtual CServerDev* GetParent() const;  // 11
    virtual int RemoveAllChildren();  // 12
    virtual int UpdateStatus();  // 13
    virtual int GetAddress() const;  // 14
    virtual int SetAddress(int mac);  // 15
    virtual int GetGroupCount() const;  // 16
    virtual int GetItemCount(int group) const;  // 17
    virtual int GetItemSize(int group) const;  // 18
    virtual int IsInputGroup(int group) const;  // 19
    virtual int GetItemType(int group) const;  // 20
    virtual int GetItemName(int group, int item, std::string& name, std::string& description) const;  // 21
    virtual int SetItemValue(int group, int item, int ignored, std::span<const uint8_t> data);  // 22
    virtual DataTable* GetDataCells();  // 23
    virtual void RefreshDataCells();  // 24
    virtual void SaveXml(tinyxml2::XMLElement* element) const;  // 25
    virtual void LoadXml(const tinyxml2::XMLElement* element);  // 26
    virtual void SetStopFlags(int uploadStop, int downloadStop);  // 27

    virtual ~CDeviceBase();

    int UploadStop() const { return uploadStop_.load(); }
    int DownloadStop() const { return downloadStop_.load(); }

protected:
    std::atomic<int> running_{0};
    CServerDev* parent_ = nullptr;
    std::atomic<int> uploadStop_{0};
    std::atomic<int> downloadStop_{0};
};
