#include "device_library.h"

#include <algorithm>
#include <array>
#include <boost/format.hpp>
#include <string>

#include "platform/registry_file.h"
#include "varda_exception.h"

namespace varda {

namespace {

// The registry value holding the library's file name: at most 259 characters and its zero.
constexpr std::size_t kNameBufferSize = 260;

// Built without a format stream: a stream swallows a failed allocation and would give a key
// without the type, reported as a missing key instead of a lack of memory.
std::string SubKeyFor(uint32_t deviceType) { return "SOFTWARE\\BRAMWELL\\VARDA\\" + std::to_string(deviceType); }

// Resolves one entry point. An export that turns out to be this library's own function (the
// registry names libvarda.so itself, or a name the loader maps to the program) is left null:
// forwarding to it would only come back here.
template <typename Fn>
void Resolve(const platform::Module& module, const char* name, Fn own, Fn& out) {
    void* address = module.Symbol(name);
    if (address == nullptr || address == reinterpret_cast<void*>(own)) {
        out = nullptr;
        return;
    }
    out = reinterpret_cast<Fn>(address);
}

}  // namespace

DeviceLibrary LoadDeviceLibrary(uint32_t deviceType) {
    const std::string subKey = SubKeyFor(deviceType);

    // A Linux process never runs under WOW64: the registry has one view and file-system
    // redirection does not exist, so the key is opened and the library loaded as they are.
    platform::RegKey key;
    const int openError = platform::RegOpenKey(subKey, key);
    if (openError != platform::kRegOk) {
        throw VARDAException((boost::format("Failed to open \"%s\", err=%d") % subKey % openError).str());
    }

    std::array<uint8_t, kNameBufferSize> buffer{};
    platform::RegType type = platform::RegType::None;
    uint32_t size = 0;
    const int queryError = platform::RegQueryValue(key, "DLL", type, buffer, size);
    // The name must end inside the buffer; a value without its terminating zero is not a name.
    const auto terminator = std::find(buffer.begin(), buffer.end(), uint8_t{0});
    if (queryError != platform::kRegOk || type != platform::RegType::Sz || terminator == buffer.end()) {
        throw VARDAException("Failed to retrieve library name");
    }
    const std::string name(buffer.begin(), terminator);

    DeviceLibrary library;
    library.deviceType = deviceType;
    int loadError = 0;
    std::string loaderMessage;
    library.module = platform::Module::Load(name, loadError, loaderMessage);
    if (!library.module.IsLoaded()) {
        throw VARDAException((boost::format("Failed to load library \"%s\", err=%d") % name % loadError).str());
    }

    const platform::Module& m = library.module;
    Resolve(m, "VARDA_Open", &::VARDA_Open, library.Open);
    Resolve(m, "VARDA_ReadBoardInfo", &::VARDA_ReadBoardInfo, library.ReadBoardInfo);
    Resolve(m, "VARDA_Close", &::VARDA_Close, library.Close);
    Resolve(m, "VARDA_Init", &::VARDA_Init, library.Init);
    Resolve(m, "VARDA_Uninit", &::VARDA_Uninit, library.Uninit);
    Resolve(m, "VARDA_Online", &::VARDA_Online, library.Online);
    Resolve(m, "VARDA_Offline", &::VARDA_Offline, library.Offline);
    Resolve(m, "VARDA_StartScan", &::VARDA_StartScan, library.StartScan);
    Resolve(m, "VARDA_StopScan", &::VARDA_StopScan, library.StopScan);
    Resolve(m, "VARDA_AddSlave", &::VARDA_AddSlave, library.AddSlave);
    Resolve(m, "VARDA_RemoveSlave", &::VARDA_RemoveSlave, library.RemoveSlave);
    Resolve(m, "VARDA_SaveCfg", &::VARDA_SaveCfg, library.SaveCfg);
    Resolve(m, "VARDA_EMRequest", &::VARDA_EMRequest, library.EMRequest);
    Resolve(m, "VARDA_ReadSlaveIO", &::VARDA_ReadSlaveIO, library.ReadSlaveIO);
    Resolve(m, "VARDA_WriteSlaveIO", &::VARDA_WriteSlaveIO, library.WriteSlaveIO);
    Resolve(m, "VARDA_GetSlaveStatus", &::VARDA_GetSlaveStatus, library.GetSlaveStatus);
    return library;
}

}  // namespace varda
