// Feeds arbitrary bytes to the network file reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "network/master_api_table.h"
#include "network/network_file.h"
#include "network/network_registry.h"
#include "varda_functions.h"

namespace {

// Every master API call fails at once with the dispatcher's answer when no device library is
// registered (41): a card the file names is only reported as not opened, as on a machine
// without an adapter library, without the registry lookup and the log line of each attempt.
template <typename R, typename... Args>
R NoLibrary(Args...) {
    return VARDA_ERR_LOAD_LIBRARY;
}

template <typename R, typename... Args>
void SetNoLibrary(R (*&entry)(Args...)) {
    entry = &NoLibrary<R, Args...>;
}

const VardaFunctions& NoLibraryFunctions() {
    static const VardaFunctions table = [] {
        VardaFunctions t;
        SetNoLibrary(t.Open);
        SetNoLibrary(t.ReadBoardInfo);
        SetNoLibrary(t.Close);
        SetNoLibrary(t.Init);
        SetNoLibrary(t.Uninit);
        SetNoLibrary(t.Online);
        SetNoLibrary(t.Offline);
        SetNoLibrary(t.StartScan);
        SetNoLibrary(t.StopScan);
        SetNoLibrary(t.AddSlave);
        SetNoLibrary(t.RemoveSlave);
        SetNoLibrary(t.SaveCfg);
        SetNoLibrary(t.EMRequest);
        SetNoLibrary(t.ReadSlaveIO);
        SetNoLibrary(t.WriteSlaveIO);
        SetNoLibrary(t.GetSlaveStatus);
        if (!t.Complete()) __builtin_trap();
        return t;
    }();
    return table;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    netsvc::SetMasterApi(&NoLibraryFunctions());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetworkRegistry network;
    LoadNetworkBytes(network, std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
