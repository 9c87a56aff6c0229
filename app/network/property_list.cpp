#include "network/property_list.h"

#include "eds/eds_file.h"
#include "network/master_card.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "services/global.h"

namespace {

PropertyItem TextItem(uint32_t id, std::string value) {
    return PropertyItem{id, GetGlobal().LoadText(id), std::move(value), false};
}

// A number written in decimal into a text item (the master's items).
PropertyItem DecimalTextItem(uint32_t id, int64_t value) { return TextItem(id, std::to_string(value)); }

PropertyItem NumberItem(uint32_t id, int64_t value) {
    return PropertyItem{id, GetGlobal().LoadText(id), std::to_string(value), true};
}

PropertyCategory Category(uint32_t id) { return PropertyCategory{id, GetGlobal().LoadText(id), {}, {}}; }

PropertyCategory MasterProperties(const CServerDev& master) {
    const MasterSummary s = SummarizeMaster(master);
    PropertyCategory category = Category(61447);  // "主站卡信息"
    category.items = {
        TextItem(10021, GetGlobal().LoadText(s.running ? 10022 : 10023)),
        TextItem(61448, s.cardName),
        DecimalTextItem(61449, s.cardType),
        DecimalTextItem(61454, s.macId),
        DecimalTextItem(61450, s.channelCount),
        DecimalTextItem(61451, s.channel),
        TextItem(61453, s.baudName),
        DecimalTextItem(61452, s.slaveCount),
    };
    return category;
}

struct Direction {
    uint32_t captionId;
    size_t enabledByte;
    size_t entryByte;
    bool input;
    uint8_t VARDA_SLAVE_CONFIG::*size;
};

// Poll, strobe, change of state and cyclic, input then output; cyclic only without change of state.
constexpr Direction kDirections[] = {
    {61463, ConnectionUse::kPoll, ConnectionUse::kPollInput, true, &VARDA_SLAVE_CONFIG::PollInputSize},
    {61464, ConnectionUse::kPoll, ConnectionUse::kPollOutput, false, &VARDA_SLAVE_CONFIG::PollOutputSize},
    {61465, ConnectionUse::kStrobe, ConnectionUse::kStrobeInput, true, &VARDA_SLAVE_CONFIG::StrobeInputSize},
    {61466, ConnectionUse::kStrobe, ConnectionUse::kStrobeOutput, false, &VARDA_SLAVE_CONFIG::StrobeOutputSize},
    {61467, ConnectionUse::kCos, ConnectionUse::kCosInput, true, &VARDA_SLAVE_CONFIG::CosInputSize},
    {61468, ConnectionUse::kCos, ConnectionUse::kCosOutput, false, &VARDA_SLAVE_CONFIG::CosOutputSize},
    {61469, ConnectionUse::kCyclic, ConnectionUse::kCyclicInput, true, &VARDA_SLAVE_CONFIG::CosInputSize},
    {61470, ConnectionUse::kCyclic, ConnectionUse::kCyclicOutput, false, &VARDA_SLAVE_CONFIG::CosOutputSize},
};

std::vector<PropertyCategory> SlaveProperties(const CSlaveDev& slave) {
    const SlaveConfigBlock& config = slave.Config();
    const ConnectionUse& use = config.use;
    const VARDA_SLAVE_CONFIG record = config.record.Record();
    const SlaveEds& eds = slave.Eds();
    // The slave dialog marks hand-configured slaves too ([0] = 1), so a slave counts as
    // configured from an EDS file only when it also has the file's description.
    const std::string edsPath = eds.path.empty() ? eds.description.Path() : eds.path;
    const bool fromEds = use[ConnectionUse::kFromEds] != 0 && !edsPath.empty();

    PropertyCategory info = Category(10031);  // "从站信息"
    info.items = {
        TextItem(10033, config.name),
        NumberItem(10034, slave.GetAddress()),
        fromEds ? TextItem(61456, edsPath) : TextItem(61456, GetGlobal().LoadText(61455)),
    };

    PropertyCategory identity = Category(10010);  // "从站配置"
    identity.items = {
        NumberItem(61457, record.VendorId),
        NumberItem(61458, record.ProductType),
        NumberItem(61459, record.ProductCode),
    };
    if (fromEds) {
        identity.items.push_back(TextItem(61460, eds.description.Device().VendName()));
        identity.items.push_back(TextItem(61461, eds.description.Device().ProdTypeStr()));
    }

    PropertyCategory io = Category(61462);  // "生产消费信息"
    for (const Direction& d : kDirections) {
        if (use[d.enabledByte] == 0) continue;
        if (d.enabledByte == ConnectionUse::kCyclic && use[ConnectionUse::kCos] != 0) continue;
        PropertyCategory sub = Category(d.captionId);
        if (fromEds) {
            const uint8_t entryNumber = use[d.entryByte];
            if (entryNumber == 0 || entryNumber == 255) continue;
            const DeviceNetEDS::IoEntry& entry = d.input ? eds.description.IOInfo().GetInput(entryNumber)
                                                         : eds.description.IOInfo().GetOutput(entryNumber);
            sub.items = {
                TextItem(61472, entry.name),
                NumberItem(61471, entry.size),
                NumberItem(61473, entry.significantBits),
                NumberItem(61474, entry.pathSize),
                TextItem(61475, entry.pathText),
                TextItem(61476, entry.help),
            };
        } else {
            sub.items = {NumberItem(61471, record.*(d.size))};
        }
        io.children.push_back(std::move(sub));
    }
    return {std::move(info), std::move(identity), std::move(io)};
}

}  // namespace

MasterSummary SummarizeMaster(const CServerDev& master) {
    const MasterCard* card = master.Card();
    const int32_t type = card != nullptr ? static_cast<int32_t>(card->DeviceType()) : 0;
    const MasterConfigBlock config = master.Config();
    MasterSummary s;
    s.running = master.IsRunning() != 0;
    s.cardName = card != nullptr ? GetGlobal().GetDeviceTypeName(type) : std::string();
    s.cardType = type;
    s.macId = config.MacId();
    s.channelCount = card != nullptr ? card->ChannelCount() : 0;
    s.channel = master.Channel();
    s.baudName = GetGlobal().GetBaudName(static_cast<int32_t>(config.BaudIndex()));
    s.slaveCount = master.GetChildCount();
    return s;
}

std::vector<std::string> MasterPanelLines(const CServerDev& master) {
    const MasterSummary s = SummarizeMaster(master);
    auto line = [](uint32_t id, const std::string& value) { return GetGlobal().LoadText(id) + ":" + value; };
    return {
        line(61448, s.cardName),
        line(61449, std::to_string(s.cardType)),
        line(61450, std::to_string(s.channelCount)),
        line(61451, std::to_string(s.channel)),
        line(61452, std::to_string(s.slaveCount)),
        line(61453, s.baudName),
    };
}

std::vector<PropertyCategory> BuildNodeProperties(const CDeviceBase* node) {
    if (node == nullptr) return {};
    if (const auto* master = dynamic_cast<const CServerDev*>(node)) return {MasterProperties(*master)};
    if (const auto* slave = dynamic_cast<const CSlaveDev*>(node)) return SlaveProperties(*slave);
    return {};
}
