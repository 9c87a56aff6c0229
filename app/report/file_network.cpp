#include "report/file_network.h"

#include <filesystem>

namespace {

// The master API of a network that is only read: opening and closing a card succeed without
// touching an adapter; anything that would talk to a device is refused.
uint32_t OpenNothing(uint32_t, uint32_t, uint32_t) { return VARDA_OK; }
uint32_t CloseNothing(uint32_t, uint32_t) { return VARDA_OK; }
uint32_t ReadBoardInfoRefused(uint32_t, uint32_t, VARDA_BOARD_INFO*) { return VARDA_ERR_NOT_OPEN; }
uint32_t InitRefused(uint32_t, uint32_t, uint32_t, const VARDA_INIT_PARAM*, uint32_t*) { return VARDA_ERR_NOT_OPEN; }
uint32_t HandleRefused(uint32_t) { return VARDA_ERR_INVALID_HANDLE; }
uint32_t AddSlaveRefused(uint32_t, const VARDA_SLAVE_CONFIG*) { return VARDA_ERR_INVALID_HANDLE; }
uint32_t SlaveRefused(uint32_t, uint32_t) { return VARDA_ERR_INVALID_HANDLE; }
uint32_t EMRequestRefused(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, const uint8_t*, uint32_t, uint8_t*,
                          uint32_t*, uint32_t) {
    return VARDA_ERR_INVALID_HANDLE;
}
uint32_t ReadIoRefused(uint32_t, uint32_t, uint32_t, uint8_t*, uint32_t*, uint32_t) { return VARDA_ERR_INVALID_HANDLE; }
uint32_t WriteIoRefused(uint32_t, uint32_t, uint32_t, const uint8_t*, uint32_t, uint32_t) {
    return VARDA_ERR_INVALID_HANDLE;
}
uint32_t StatusRefused(uint32_t, uint32_t) { return VARDA_ERR_INVALID_HANDLE; }

const VardaFunctions& NoAdapter() {
    static const VardaFunctions table = [] {
        VardaFunctions t;
        t.Open = OpenNothing;
        t.ReadBoardInfo = ReadBoardInfoRefused;
        t.Close = CloseNothing;
        t.Init = InitRefused;
        t.Uninit = HandleRefused;
        t.Online = HandleRefused;
        t.Offline = HandleRefused;
        t.StartScan = HandleRefused;
        t.StopScan = HandleRefused;
        t.AddSlave = AddSlaveRefused;
        t.RemoveSlave = SlaveRefused;
        t.SaveCfg = HandleRefused;
        t.EMRequest = EMRequestRefused;
        t.ReadSlaveIO = ReadIoRefused;
        t.WriteSlaveIO = WriteIoRefused;
        t.GetSlaveStatus = StatusRefused;
        return t;
    }();
    return table;
}

}  // namespace

FileNetwork::FileNetwork(const std::string& path, bool withAdapters) : path_(path) {
    if (!withAdapters) api_.emplace(NoAdapter());
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) result_ = LoadNetworkFile(network_, path);
}

FileNetwork::~FileNetwork() { network_.ClearNetwork(); }
