#include "report/network_listing.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <tuple>

#include "network/io_data_item.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"

namespace {

std::string HexBytes(const uint8_t* data, std::size_t size) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

void Add(std::vector<ListedField>& fields, std::string key, std::string words, std::string value) {
    fields.push_back({std::move(key), std::move(words), std::move(value)});
}

void AddNumber(std::vector<ListedField>& fields, std::string key, std::string words, uint64_t value) {
    Add(fields, std::move(key), std::move(words), std::to_string(value));
}

std::vector<ListedField> MasterFields(const CServerDev& master) {
    const MasterConfigBlock block = master.Config();
    const VARDA_INIT_PARAM r = block.Record();
    std::vector<ListedField> f;
    AddNumber(f, "MacId", "master address", r.MacId);
    AddNumber(f, "BaudRate", "baud rate index", r.BaudRate);
    AddNumber(f, "ScanDelay", "scan delay", r.ScanDelay);
    AddNumber(f, "IntervalScanCycle", "interval scan cycle", r.IntervalScanCycle);
    AddNumber(f, "ExpectedPacketRate", "expected packet rate", r.ExpectedPacketRate);
    AddNumber(f, "RetryCount", "retry count", r.RetryCount);
    AddNumber(f, "Option1", "option 1", r.Option1);
    AddNumber(f, "Option2", "option 2", r.Option2);
    AddNumber(f, "AutoMapSize", "auto map size", r.AutoMapSize);
    Add(f, "ConfigTail", "bytes 36..51 of the master configuration",
        HexBytes(block.bytes.data() + MasterConfigBlock::kRecordSize,
                 MasterConfigBlock::kSize - MasterConfigBlock::kRecordSize));
    return f;
}

// Names of the 17 ConnectionUse bytes, by index.
struct UseName {
    const char* key;
    const char* words;
};
constexpr UseName kUseNames[ConnectionUse::kSize] = {
    {"Use.FromEds", "configured from EDS"},
    {"Use.Poll", "poll connection"},
    {"Use.PollInput", "poll input entry"},
    {"Use.PollOutput", "poll output entry"},
    {"Use.Strobe", "bit-strobe connection"},
    {"Use.StrobeInput", "bit-strobe input entry"},
    {"Use.StrobeOutput", "bit-strobe output entry"},
    {"Use.AckTimeout", "acknowledge time-out enabled"},
    {"Use.Cos", "change-of-state connection"},
    {"Use.CosInput", "change-of-state input entry"},
    {"Use.CosOutput", "change-of-state output entry"},
    {"Use.Cyclic", "cyclic connection"},
    {"Use.CyclicInput", "cyclic input entry"},
    {"Use.CyclicOutput", "cyclic output entry"},
    {"Use.Multicast", "multicast-poll connection"},
    {"Use.MulticastInput", "multicast-poll input entry"},
    {"Use.MulticastOutput", "multicast-poll output entry"},
};

void AddItemFields(std::vector<ListedField>& f, const IoDataItem& item, std::size_t group, std::size_t index) {
    const std::string key = "Group" + std::to_string(group) + ".Item" + std::to_string(index) + ".";
    const std::string words = "group " + std::to_string(group) + " item " + std::to_string(index) + " ";
    const auto image = item.Image();
    AddNumber(f, key + "Reserved", words + "reserved word", item.Reserved());
    AddNumber(f, key + "ValueType", words + "value type", item.ValueType());
    Add(f, key + "Direction", words + "direction", item.IsInput() ? "input" : "output");
    AddNumber(f, key + "ChangedGroup", words + "changed-flag group", item.ChangedGroupIndex());
    AddNumber(f, key + "Size", words + "size", item.Size());
    Add(f, key + "Name", words + "name", item.Name());
    Add(f, key + "Description", words + "description", item.Description());
    AddNumber(f, key + "Flags", words + "flags byte", item.FlagsByte());
    Add(f, key + "Extra", words + "bytes 160..162", HexBytes(image.data() + 160, 3));
    Add(f, key + "Value", words + "value bytes",
        HexBytes(image.data() + IoDataItem::kValueOffset, IoDataItem::kValueSize));
    Add(f, key + "ChangedWord", words + "changed flag",
        HexBytes(image.data() + IoDataItem::kChangedOffset, IoDataItem::kImageSize - IoDataItem::kChangedOffset));
}

std::vector<ListedField> SlaveFields(const CSlaveDev& slave, const std::string& baseDir) {
    const SlaveConfigBlock& config = slave.Config();
    const VARDA_SLAVE_CONFIG r = config.record.Record();
    std::vector<ListedField> f;
    Add(f, "Name", "name", config.name);
    Add(f, "EdsPath", "EDS file", RelativeEdsPath(slave.Eds().path, baseDir));
    for (std::size_t i = 0; i < ConnectionUse::kSize; ++i)
        AddNumber(f, kUseNames[i].key, kUseNames[i].words, config.use[i]);
    AddNumber(f, "VendorId", "vendor ID", r.VendorId);
    AddNumber(f, "ProductType", "product type", r.ProductType);
    AddNumber(f, "ProductCode", "product code", r.ProductCode);
    AddNumber(f, "ConnectionFlags", "connection flags", r.ConnectionFlags);
    AddNumber(f, "BackgroundPoll", "background poll", r.BackgroundPoll);
    AddNumber(f, "StrobeInputSize", "bit-strobe input size", r.StrobeInputSize);
    AddNumber(f, "StrobeOutputSize", "bit-strobe output size", r.StrobeOutputSize);
    AddNumber(f, "PollInputSize", "poll input size", r.PollInputSize);
    AddNumber(f, "CosInputSize", "change-of-state/cyclic input size", r.CosInputSize);
    AddNumber(f, "PollOutputSize", "poll output size", r.PollOutputSize);
    AddNumber(f, "CosOutputSize", "change-of-state/cyclic output size", r.CosOutputSize);
    AddNumber(f, "HeartbeatTime", "heartbeat/cycle time", r.HeartbeatTime);
    AddNumber(f, "AckTimeout", "acknowledge time-out", r.AckTimeout);
    AddNumber(f, "ProductionInhibitTime", "production inhibit time", r.ProductionInhibitTime);
    Add(f, "RecordTail", "bytes 36..51 of the scan-list record",
        HexBytes(config.record.bytes.data() + SlaveRecordBlock::kRecordSize,
                 SlaveRecordBlock::kSize - SlaveRecordBlock::kRecordSize));
    AddNumber(f, "GroupCount", "number of data groups", config.groups.size());
    for (std::size_t g = 0; g < config.groups.size(); ++g) {
        const IoDataGroup& group = config.groups[g];
        AddNumber(f, "Group" + std::to_string(g + 1) + ".ItemCount",
                  "number of items in group " + std::to_string(g + 1), group.size());
        for (std::size_t i = 0; i < group.size(); ++i) AddItemFields(f, *group[i], g + 1, i + 1);
    }
    return f;
}

}  // namespace

std::string ListedSlave::Key() const {
    return occurrence > 1 ? std::to_string(mac) + "#" + std::to_string(occurrence) : std::to_string(mac);
}

std::string ListedMaster::Key() const {
    return std::to_string(deviceType) + "/" + std::to_string(deviceIndex) + "/" + std::to_string(channel);
}

std::string RelativeEdsPath(const std::string& edsPath, const std::string& baseDir) {
    if (edsPath.empty()) return edsPath;
    std::string text = edsPath;
    std::replace(text.begin(), text.end(), '\\', '/');
    std::filesystem::path p(text);
    if (p.is_absolute() && !baseDir.empty()) {
        std::filesystem::path relative =
            p.lexically_normal().lexically_relative(std::filesystem::path(baseDir).lexically_normal());
        // Only a file inside the folder becomes relative: an absolute path elsewhere stays as it is,
        // so that the same file gives the same text wherever a copy of it is read (git textconv).
        if (!relative.empty() && *relative.begin() != "..") return relative.generic_string();
    }
    return p.lexically_normal().generic_string();
}

NetworkListing ListNetwork(const NetworkRegistry& network, const std::string& networkFile) {
    std::string baseDir;
    if (!networkFile.empty()) {
        std::error_code ec;
        std::filesystem::path file = std::filesystem::absolute(networkFile, ec);
        baseDir = (ec ? std::filesystem::path(networkFile) : file).parent_path().string();
    }
    NetworkListing listing;
    for (CServerDev* master : network.Masters()) {
        ListedMaster listed;
        listed.deviceType = master->Card()->DeviceType();
        listed.deviceIndex = master->Card()->DeviceIndex();
        listed.channel = master->Channel();
        listed.fields = MasterFields(*master);
        std::map<uint32_t, uint32_t> seen;
        for (int i = 0; i < master->GetChildCount(); ++i) {
            const CSlaveDev* slave = master->GetChild(i);
            ListedSlave s;
            s.mac = static_cast<uint32_t>(slave->GetAddress());
            s.occurrence = ++seen[s.mac];
            s.name = slave->Config().name;
            s.fields = SlaveFields(*slave, baseDir);
            listed.slaves.push_back(std::move(s));
        }
        // Sorted by address; a repeated address keeps the file order among its own.
        std::stable_sort(listed.slaves.begin(), listed.slaves.end(),
                         [](const ListedSlave& a, const ListedSlave& b) { return a.mac < b.mac; });
        listing.masters.push_back(std::move(listed));
    }
    std::sort(listing.masters.begin(), listing.masters.end(), [](const ListedMaster& a, const ListedMaster& b) {
        return std::tie(a.deviceType, a.deviceIndex, a.channel) < std::tie(b.deviceType, b.deviceIndex, b.channel);
    });
    return listing;
}
