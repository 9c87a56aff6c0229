// Creating configured slaves: from the slave dialog (one slave or a batch of copies) and from the
// results of the network search (configured from their EDS files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CServerDev;
class CSlaveDev;
struct SlaveConfigBlock;
struct SlaveEds;

// A slave from the block and the EDS description (with its default data groups), added to the
// master; in batch mode copies of it for every address from start + 1 to end that no slave of the
// master uses and that is not the master's. Returns the first slave (null without a master).
CSlaveDev* AddSlavesFromDialog(CServerDev* master, bool batch, uint32_t start, uint32_t end,
                               const SlaveConfigBlock& block, const SlaveEds& eds);

// One slave found by the network search.
struct SearchedSlave {
    uint32_t macId = 0;
    std::string edsName;
};

// Resolves an EDS name to its file path (CGlobal::GetEdsPath in the program).
using EdsPathResolver = std::string (*)(const std::string& edsName);

// Adds the searched slaves to the master in order, each configured from its EDS file; a slave
// whose EDS file was already loaded in this call is a copy of the first slave made from it, with
// its own address. Returns the last slave created (null when none).
CSlaveDev* AddSearchedSlaves(CServerDev* master, const std::vector<SearchedSlave>& results,
                             EdsPathResolver resolve = nullptr);
