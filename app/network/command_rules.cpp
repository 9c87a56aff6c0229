#include "network/command_rules.h"

#include "network/device_base.h"
#include "network/server_dev.h"
#include "resources/resource_ids.h"

namespace {

namespace ids = resource_ids;

struct RuleEntry {
    uint16_t id;
    CommandRule rule;
};

// Commands that are not always offered.
constexpr RuleEntry kRules[] = {
    {ids::kCommandImport, CommandRule::kIdle},
    {ids::kCommandOpen, CommandRule::kIdle},
    {ids::kCommandAddNetwork, CommandRule::kIdle},
    {ids::kCommandStart, CommandRule::kMasterStopped},
    {ids::kCommandAddSlave, CommandRule::kMasterStopped},
    {ids::kCommandStop, CommandRule::kMasterRunning},
    {ids::kCommandDeleteNetwork, CommandRule::kStoppedMasterSelected},
    {ids::kCommandSearch, CommandRule::kStoppedMasterSelected},
    {ids::kCommandCommissionNode, CommandRule::kStoppedMasterSelected},
    {ids::kCommandDeleteAllSlaves, CommandRule::kStoppedMasterWithSlaves},
    // A slave's dialog changes what the running scan list holds: its master must be stopped too.
    {ids::kCommandProperties, CommandRule::kNodeEditable},
    {ids::kCommandDeleteSlave, CommandRule::kSlaveOfStoppedMaster},
    {ids::kCommandExplicit, CommandRule::kSlaveOfRunningMaster},
    {ids::kCommandParameters, CommandRule::kSlaveSelected},
    {ids::kCommandIoConfig, CommandRule::kNever},
    {ids::kCommandNoMenu, CommandRule::kNever},
    {ids::kCommandLanguagePlaceholder, CommandRule::kNever},
};

}  // namespace

CommandState CommandState::Of(const CDeviceBase* selected, bool starting) {
    CommandState state;
    state.starting = starting;
    if (selected == nullptr) return state;
    state.nodeRunning = selected->IsRunning() != 0;
    if (selected->IsMaster() != 0) {
        state.node = Node::kMaster;
        state.masterPresent = true;
        state.masterRunning = state.nodeRunning;
        state.slaveCount = selected->GetChildCount();
    } else {
        state.node = Node::kSlave;
        const CServerDev* master = selected->GetParent();
        state.masterPresent = master != nullptr;
        state.masterRunning = master != nullptr && master->IsRunning() != 0;
    }
    return state;
}

CommandRule CommandRules::RuleOf(uint16_t id) {
    for (const RuleEntry& entry : kRules) {
        if (entry.id == id) return entry.rule;
    }
    // The add-slave drop-down's entries follow the add-slave command; opening a recent file
    // replaces the network like the import.
    if (id >= ids::kCommandFirstEdsEntry && id <= ids::kCommandLastEdsEntry) return CommandRule::kMasterStopped;
    if (id >= ids::kCommandFirstRecentFile && id < ids::kCommandFirstRecentFile + ids::kRecentFileCount)
        return CommandRule::kIdle;
    return CommandRule::kAlways;
}

bool CommandRules::Enabled(CommandRule rule, const CommandState& s) {
    using Node = CommandState::Node;
    const bool idle = !s.starting;
    switch (rule) {
        case CommandRule::kAlways: return true;
        case CommandRule::kNever: return false;
        case CommandRule::kIdle: return idle;
        case CommandRule::kMasterStopped: return idle && s.masterPresent && !s.masterRunning;
        case CommandRule::kMasterRunning: return idle && s.masterPresent && s.masterRunning;
        case CommandRule::kStoppedMasterSelected: return idle && s.node == Node::kMaster && !s.nodeRunning;
        case CommandRule::kStoppedMasterWithSlaves:
            return idle && s.node == Node::kMaster && !s.nodeRunning && s.slaveCount > 0;
        case CommandRule::kNodeEditable: return idle && s.node != Node::kNone && !s.nodeRunning && !s.masterRunning;
        case CommandRule::kSlaveOfStoppedMaster:
            return idle && s.node == Node::kSlave && s.masterPresent && !s.masterRunning;
        case CommandRule::kSlaveOfRunningMaster: return s.node == Node::kSlave && s.masterRunning;
        case CommandRule::kSlaveSelected: return s.node == Node::kSlave;
    }
    return false;
}
