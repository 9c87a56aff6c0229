#include "network/slave_dev.h"

#include <algorithm>
#include <boost/format.hpp>
#include <chrono>
#include <cstring>
#include <ctime>

#include "services/core_services.h"
#include "network/server_dev.h"
#include "network/slave_eds.h"
#include "network/master_api_table.h"
#include "network/model_texts.h"
#include "varda_api.h"

CellTime CellTime::Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    CellTime time;
    time.year = static_cast<uint16_t>(local.tm_year + 1900);
    time.month = static_cast<uint16_t>(local.tm_mon + 1);
    time.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
    time.day = static_cast<uint16_t>(local.tm_mday);
    time.hour = static_cast<uint16_t>(local.tm_hour);
    time.minute = static_cast<uint16_t>(local.tm_min);
    time.second = static_cast<uint16_t>(local.tm_sec);
    time.milliseconds =
        static_cast<uint16_t>(duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return time;
}

namespace {

// The cell type code of an item's value type.
int CellCodeOf(uint16_t valueType) {
    switch (valueType) {
        case ioitem::kInt16: return cellcode::kInt16;
        case ioitem::kInt32: return cellcode::kInt32;
        case ioitem::kFloat: return cellcode::kFloat;
        case ioitem::kDouble: return cellcode::kDouble;
        case ioitem::kByteString: return cellcode::kText;
        case ioitem::kUInt8: return cellcode::kUInt8;
        default: return cellcode::kUInt32;
    }
}

template <typename T>
T ValueAs(std::span<const uint8_t> bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), sizeof(T));
    return value;
}

CellValue CellValueOf(const IoDataItem& item) {
    auto bytes = item.ValueBytes();
    switch (item.ValueType()) {
        case ioitem::kInt16: return ValueAs<int16_t>(bytes);
        case ioitem::kInt32: return ValueAs<int32_t>(bytes);
        case ioitem::kFloat: return ValueAs<float>(bytes);
        case ioitem::kDouble: return ValueAs<double>(bytes);
        case ioitem::kUInt8: return bytes[0];
        case ioitem::kByteString: {
            const auto& buffer = item.Buffer();
            std::size_t n = std::min<std::size_t>(buffer.size(), item.Size());
            auto end = std::find(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n), uint8_t{0});
            return std::string(buffer.begin(), end);
        }
        default: return ValueAs<uint32_t>(bytes);
    }
}

}  // namespace

CSlaveDev::CSlaveDev() : eds_(std::make_unique<SlaveEds>()) { RebuildDataTable(); }

CSlaveDev::CSlaveDev(const SlaveConfigBlock& block, const SlaveEds& eds)
    : eds_(std::make_unique<SlaveEds>(eds)), config_(block) {
    RebuildDataTable();
}

CSlaveDev::CSlaveDev(const CSlaveDev& other)
    : eds_(std::make_unique<SlaveEds>(*other.eds_)),
      config_(other.config_),
      master_(other.master_),
      groupChanged_(other.groupChanged_) {
    running_ = other.running_.load();
    RebuildDataTable();
    panelRebuild_ = 1;
}

CSlaveDev::~CSlaveDev() = default;

int CSlaveDev::GetName(std::string& buffer) const {
    buffer = (boost::format("%s(%d)") % config_.name % config_.record.MacId()).str();
    return 1;
}

void CSlaveDev::SetParent(CServerDev* master) { master_ = master; }

CServerDev* CSlaveDev::GetParent() const { return master_; }

int CSlaveDev::UpdateStatus() {
    if (master_ == nullptr || master_->IsRunning() == 0) {
        std::lock_guard guard(statusLock_);
        statusText_ = model_text::kMasterNotStarted;
        return 0;
    }
    uint32_t status = netsvc::MasterApi().GetSlaveStatus(master_->Handle(), config_.record.MacId());
    if (status == VARDA_SLAVE_ONLINE) {
        CDeviceBase::Start();
    } else {
        CDeviceBase::Stop();
    }
    std::string text = netsvc::StatusText(status);
    std::lock_guard guard(statusLock_);
    statusText_ = std::move(text);
    return 1;
}

std::string CSlaveDev::StatusText() const {
    std::lock_guard guard(statusLock_);
    return statusText_;
}

int CSlaveDev::GetAddress() const { return static_cast<int>(config_.record.MacId()); }

int CSlaveDev::SetAddress(int mac) {
    config_.record.SetMacId(static_cast<uint32_t>(mac));
    panelRebuild_ = 1;
    return mac;
}

int CSlaveDev::GetGroupCount() const { return static_cast<int>(config_.groups.size()) + 1; }

namespace {

const IoDataGroup* GroupAt(const SlaveConfigBlock& config, int group) {
    if (group < 1 || static_cast<std::size_t>(group) > config.groups.size()) return nullptr;
    return &config.groups[static_cast<std::size_t>(group - 1)];
}

const IoDataItem* FirstItem(const SlaveConfigBlock& config, int group) {
    const IoDataGroup* g = GroupAt(config, group);
    return g != nullptr && !g->empty() ? g->front().get() : nullptr;
}

}  // namespace

int CSlaveDev::GetItemCount(int group) const {
    if (group == 0) return 1;
    const IoDataGroup* g = GroupAt(config_, group);
    return g != nullptr ? static_cast<int>(g->size()) : 0;
}

int CSlaveDev::GetItemSize(int group) const {
    if (group == 0) return 1;
    const IoDataItem* item = FirstItem(config_, group);
    return item != nullptr ? item->Size() : 0;
}

int CSlaveDev::IsInputGroup(int group) const {
    if (group == 0) return 1;
    const IoDataItem* item = FirstItem(config_, group);
    return item != nullptr && item->IsInput() ? 1 : 0;
}

int CSlaveDev::GetItemType(int group) const {
    if (group == 0) return cellcode::kUInt8;
    const IoDataItem* item = FirstItem(config_, group);
    return item != nullptr ? CellCodeOf(item->ValueType()) : cellcode::kUInt32;
}

int CSlaveDev::GetItemName(int group, int item, std::string& name, std::string& description) const {
    if (group == 0) {
        name = "SlaveStatus";
        description.clear();
        return 1;
    }
    const IoDataGroup* g = GroupAt(config_, group);
    if (g == nullptr || item < 0 || static_cast<std::size_t>(item) >= g->size()) return 0;
    const IoDataItem& entry = *(*g)[static_cast<std::size_t>(item)];
    name = entry.Name();
    description = entry.Description();
    return 1;
}

int CSlaveDev::SetItemValue(int group, int item, int, std::span<const uint8_t> data) {
    if (group == 0) return 0;
    if (group < 1 || static_cast<std::size_t>(group) > config_.groups.size()) return 0;
    IoDataGroup& g = config_.groups[static_cast<std::size_t>(group - 1)];
    if (item < 0 || static_cast<std::size_t>(item) >= g.size()) return 0;
    g[static_cast<std::size_t>(item)]->WriteValue(data);
    uint8_t flag = g.front()->ChangedGroupIndex();
    if (flag < groupChanged_.size()) groupChanged_[flag] = 1;
    return 1;
}

DataTable* CSlaveDev::GetDataCells() { return &dataTable_; }

void CSlaveDev::RebuildDataTable() {
    dataTable_.clear();
    dataTable_.resize(config_.groups.size() + 1);
    dataTable_[0].resize(1);
    dataTable_[0][0].typeCode = cellcode::kUInt8;
    for (std::size_t g = 0; g < config_.groups.size(); ++g) {
        auto& row = dataTable_[g + 1];
        row.resize(config_.groups[g].size());
        for (std::size_t i = 0; i < row.size(); ++i) row[i].typeCode = CellCodeOf(config_.groups[g][i]->ValueType());
    }
}

void CSlaveDev::RefreshDataCells() {
    if (dataTable_.size() != config_.groups.size() + 1) RebuildDataTable();
    CellTime now = CellTime::Now();
    DataCell& status = dataTable_[0][0];
    status.typeCode = cellcode::kUInt8;
    status.value = static_cast<uint8_t>(IsRunning() != 0 ? 1 : 0);
    status.time = now;
    for (std::size_t g = 0; g < config_.groups.size(); ++g) {
        auto& row = dataTable_[g + 1];
        if (row.size() != config_.groups[g].size()) row.resize(config_.groups[g].size());
        for (std::size_t i = 0; i < row.size(); ++i) {
            IoDataItem& item = *config_.groups[g][i];
            if (!item.Changed()) continue;
            row[i].typeCode = CellCodeOf(item.ValueType());
            row[i].value = CellValueOf(item);
            row[i].time = now;
            item.SetChanged(false);
        }
    }
}

void CSlaveDev::ReplaceConfig(const SlaveConfigBlock& block) {
    config_ = block;
    config_.BuildDefaultGroups();
    RebuildDataTable();
    panelRebuild_ = 1;
}

void CSlaveDev::SetEds(const SlaveEds& eds) { *eds_ = eds; }

uint32_t CSlaveDev::GroupChangedFlag(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < groupChanged_.size() ? groupChanged_[index] : 0;
}

void CSlaveDev::ClearGroupChangedFlag(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < groupChanged_.size()) groupChanged_[index] = 0;
}
