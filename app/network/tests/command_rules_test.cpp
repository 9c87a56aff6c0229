// The enabling rules of the main window's commands, over every kind of selection.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "network/command_rules.h"

namespace {

using Node = CommandState::Node;

// Every command the main window offers (one of each range).
const std::vector<uint16_t> kCommands = {57600, 57601, 32771, 32773, 32860, 57665, 32786, 32787, 32788, 32789,
                                         32790, 32791, 32792, 32793, 32816, 32819, 32820, 32821, 32862, 32830,
                                         32834, 32835, 32836, 32778, 32779, 59392, 59393, 32780, 32782, 32794,
                                         32805, 57664, 32900, 33000, 57616, 57619, 65000, 65050};

// Offered whatever is selected, also during a start.
const std::set<uint16_t> kAlways = {32773, 32860, 57665, 57600, 32835, 32836, 32778, 32779, 59392,
                                    59393, 32780, 32782, 32794, 32805, 57664, 65000, 65050};

std::set<uint16_t> Plus(std::set<uint16_t> ids, std::initializer_list<uint16_t> more) {
    ids.insert(more);
    return ids;
}

TEST(CommandRules, EachSelectionOffersItsCommands) {
    // Open, import, add network and the recent files wait for a start to end.
    const std::set<uint16_t> idle = Plus(kAlways, {57601, 32771, 32789, 57616, 57619});
    // Start, add slave and its drop-down entries; delete network, search, commission; properties.
    const std::set<uint16_t> stoppedMaster = Plus(idle, {32786, 32791, 32900, 33000, 32816, 32793, 32862, 32788});
    struct Case {
        const char* what;
        CommandState state;
        std::set<uint16_t> enabled;
    };
    const Case cases[] = {
        {"nothing selected", {}, idle},
        {"stopped master without slaves", {Node::kMaster, false, true, false, 0, false}, stoppedMaster},
        {"stopped master with slaves", {Node::kMaster, false, true, false, 2, false}, Plus(stoppedMaster, {32792})},
        {"running master", {Node::kMaster, true, true, true, 2, false}, Plus(idle, {32787})},
        {"slave of a stopped master",
         {Node::kSlave, false, true, false, 0, false},
         Plus(idle, {32786, 32791, 32900, 33000, 32788, 32790, 32820})},
        {"off-line slave of a running master",
         {Node::kSlave, false, true, true, 0, false},
         Plus(idle, {32787, 32821, 32820})},
        {"on-line slave of a running master",
         {Node::kSlave, true, true, true, 0, false},
         Plus(idle, {32787, 32821, 32820})},
        {"slave without a master", {Node::kSlave, false, false, false, 0, false}, Plus(idle, {32788, 32820})},
        {"stopped master during a start", {Node::kMaster, false, true, false, 2, true}, kAlways},
        {"slave of a running master during a start",
         {Node::kSlave, true, true, true, 0, true},
         Plus(kAlways, {32821, 32820})},
    };
    for (const Case& c : cases) {
        for (uint16_t id : kCommands) {
            EXPECT_EQ(CommandRules::Enabled(id, c.state), c.enabled.count(id) == 1) << c.what << ", command " << id;
        }
    }
    // "IO配置", the command without a menu entry and the language placeholder are never offered.
    for (uint16_t id : {32819, 32834, 32830}) EXPECT_EQ(CommandRules::RuleOf(id), CommandRule::kNever) << id;
    // Outside the ranges the table names nothing.
    EXPECT_EQ(CommandRules::RuleOf(32899), CommandRule::kAlways);
    EXPECT_EQ(CommandRules::RuleOf(33001), CommandRule::kAlways);
    EXPECT_EQ(CommandRules::RuleOf(57620), CommandRule::kAlways);
}

}  // namespace
