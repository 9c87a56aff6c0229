// When the commands of the main window are offered: one table from command id to its enabling
// rule, and the rules over what the rules look at (the node selected in the network tree and
// whether a master start is under way). No window is needed to evaluate them.
#pragma once

#include <cstdint>

class CDeviceBase;

// What the enabling rules look at.
struct CommandState {
    enum class Node : uint8_t { kNone, kMaster, kSlave };

    Node node = Node::kNone;  // what is selected
    bool nodeRunning = false;  // the selected node's running flag (a slave: on line)
    bool masterPresent = false;  // the selection has a master (a master is its own)
    bool masterRunning = false;  // that master is running
    int slaveCount = 0;  // slaves of the selected master
    bool starting = false;  // a master start is under way

    // The state for a selected node (nullptr: none).
    static CommandState Of(const CDeviceBase* selected, bool starting);
};

enum class CommandRule : uint8_t {
    kAlways,
    kNever,
    kIdle,  // no master start under way
    kMasterStopped,  // idle, the selection's master exists and is stopped
    kMasterRunning,  // idle, the selection's master is running
    kStoppedMasterSelected,  // idle, a stopped master is selected
    kStoppedMasterWithSlaves,  // idle, a stopped master with at least one slave is selected
    kNodeEditable,  // idle, a node is selected, neither it nor its master runs
    kSlaveOfStoppedMaster,  // idle, a slave is selected and its master is stopped
    kSlaveOfRunningMaster,  // a slave is selected and its master is running
    kSlaveSelected,  // a slave is selected
};

class CommandRules {
public:
    // The rule of command `id`; kAlways for a command the table does not name.
    static CommandRule RuleOf(uint16_t id);
    static bool Enabled(CommandRule rule, const CommandState& state);
    static bool Enabled(uint16_t id, const CommandState& state) { return Enabled(RuleOf(id), state); }
};
