#include "monitor/slave_panel_groups.h"

#include "network/slave_config_block.h"

namespace monitor {

std::vector<DataGroup> DataGroupsOf(const SlaveConfigBlock& config) {
    const VARDA_SLAVE_CONFIG record = config.record.Record();
    const ConnectionUse& use = config.use;
    std::vector<DataGroup> groups;
    auto add = [&groups](bool enabled, uint32_t caption, int type, int direction, uint8_t size) {
        if (enabled && size != 0) groups.push_back({caption, type, direction, size});
    };
    const bool poll = use[ConnectionUse::kPoll] != 0;
    const bool strobe = use[ConnectionUse::kStrobe] != 0;
    const bool cos = use[ConnectionUse::kCos] != 0;
    const bool cyclic = !cos && use[ConnectionUse::kCyclic] != 0;
    add(poll, 10040, kConnPoll, kDirInput, record.PollInputSize);
    add(poll, 10041, kConnPoll, kDirOutput, record.PollOutputSize);
    add(strobe, 10042, kConnStrobe, kDirInput, record.StrobeInputSize);
    add(strobe, 10043, kConnStrobe, kDirOutput, record.StrobeOutputSize);
    add(cos, 10044, kConnCos, kDirInput, record.CosInputSize);
    add(cos, 10045, kConnCos, kDirOutput, record.CosOutputSize);
    add(cyclic, 10046, kConnCyclic, kDirInput, record.CosInputSize);
    add(cyclic, 10047, kConnCyclic, kDirOutput, record.CosOutputSize);
    return groups;
}

bool IsNoteOnlyPane(const SlaveConfigBlock& config, int type, int direction) {
    return (type == kConnCos || type == kConnCyclic) && direction == kDirOutput &&
           config.use[ConnectionUse::kPoll] != 0;
}

}  // namespace monitor
