#include "network/device_base.h"

#include "network/slave_dev.h"

int CDeviceBase::GetName(std::string& buffer) const {
    buffer = "devname";
    return 1;
}
int CDeviceBase::IsSame(const CDeviceBase* node) const { return node == this ? 1 : 0; }
int CDeviceBase::Start() {
    running_ = 1;
    return 1;
}
int CDeviceBase::Stop() {
    running_ = 0;
    return 1;
}
int CDeviceBase::IsRunning() const { return running_.load(); }
int CDeviceBase::AddChild(std::unique_ptr<CSlaveDev>) { return 1; }
int CDeviceBase::RemoveChild(const CDeviceBase*) { return 1; }
void CDeviceBase::SetParent(CServerDev* master) { parent_ = master; }
int CDeviceBase::IsMaster() const { return 0; }
int CDeviceBase::GetChildCount() const { return 0; }
CSlaveDev* CDeviceBase::GetChild(int) const { return nullptr; }
CServerDev* CDeviceBase::GetParent() const { return parent_; }
int CDeviceBase::RemoveAllChildren() { return 1; }
int CDeviceBase::UpdateStatus() { return 1; }
int CDeviceBase::GetAddress() const { return -1; }
int CDeviceBase::SetAddress(int mac) { return mac; }
int CDeviceBase::GetGroupCount() const { return 1; }
int CDeviceBase::GetItemCount(int) const { return 1; }
int CDeviceBase::GetItemSize(int) const { return 1; }
int CDeviceBase::IsInputGroup(int) const { return 1; }
int CDeviceBase::GetItemType(int) const { return 12; }
int CDeviceBase::GetItemName(int, int, std::string&, std::string&) const { return 1; }
int CDeviceBase::SetItemValue(int, int, int, std::span<const uint8_t>) { return 1; }
DataTable* CDeviceBase::GetDataCells() { return nullptr; }
void CDeviceBase::RefreshDataCells() {}
void CDeviceBase::SaveXml(tinyxml2::XMLElement*) const {}
void CDeviceBase::LoadXml(const tinyxml2::XMLElement*) {}
void CDeviceBase::SetStopFlags(int uploadStop, int downloadStop) {
    uploadStop_ = uploadStop;
    downloadStop_ = downloadStop;
}
CDeviceBase::~CDeviceBase() = default;
