// norvanectl params --compare: the parameters of one slave as the device carries them, against
// the values the network file stores.
#include <iostream>

#include "cli_network_file.h"
#include "commands.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "network_file_access.h"
#include "monitor/parameter_compare.h"
#include "services/global.h"
#include "terminal_host.h"
#include "terminal_session.h"

int CompareSlaveParameters(const ParamsCommandOptions& options) {
    CGlobal& global = GetGlobal();
    // Failed requests are reported on stderr; standard output holds only the differences.
    TerminalHost host(std::cerr);
    TerminalSession session(global, &host);
    std::unique_ptr<FileNetwork> network = ReadCommandNetwork(options.networkFile, true);
    if (!network) return kExitUsage;
    CServerDev* master = CommandMaster(network->Network().Masters(), options.master);
    if (master == nullptr) return kExitUsage;
    CSlaveDev* slave = master->FindSlave(static_cast<int>(options.slave));
    if (slave == nullptr) {
        std::cerr << "norvanectl: master " << options.master << " has no slave at address " << options.slave
                  << std::endl;
        return kExitUsage;
    }
    if (slave->Eds().path.empty() || !slave->Eds().description.IsLoaded() || slave->Eds().parameters.Params().empty()) {
        std::cerr << "norvanectl: slave " << options.slave << " has no parameters (no readable EDS file with "
                  << "parameters)" << std::endl;
        return kExitUsage;
    }
    const ParameterComparison comparison = CompareParameters(*slave);
    if (comparison.attachResult != 0) {
        std::cerr << "norvanectl: the master could not be opened; nothing compared" << std::endl;
        return kExitUsage;
    }
    for (const ParameterDifference& d : comparison.differing) {
        std::cout << "parameter " << d.number << " \"" << d.name << "\": file " << d.stored << ", device " << d.device
                  << "\n";
    }
    std::cout << std::flush;
    if (!comparison.unread.empty()) {
        std::cerr << "norvanectl: partial compare: " << comparison.unread.size() << " of "
                  << comparison.unread.size() + comparison.compared << " parameter(s) could not be read:";
        for (int32_t n : comparison.unread) std::cerr << " " << n;
        std::cerr << std::endl;
    }
    if (!comparison.differing.empty()) return kExitFailed;
    return comparison.unread.empty() ? kExitOk : kExitUsage;
}
