// The adapter emulator in this process and a registry file naming the built libtamsen.so for
// device type 101; VARDA_REGISTRY and TAMSEN_DEVICE_DIR point at them for the object's lifetime
// (the debug output goes to /dev/null unless VARDA_DEBUG_OUTPUT is set). The folder is removed
// when the object goes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace adapter_emu {
class Emulator;
}

namespace bench {

class EmulatedAdapter {
public:
    // folderPrefix: the temporary folder's name before the process id; busName: the name used
    // in the bus parser's messages.
    EmulatedAdapter(const std::string& folderPrefix, const std::string& busText, const std::string& busName,
                    unsigned adapters = 1);
    ~EmulatedAdapter();
    EmulatedAdapter(const EmulatedAdapter&) = delete;
    EmulatedAdapter& operator=(const EmulatedAdapter&) = delete;

private:
    std::filesystem::path dir_;
    std::unique_ptr<adapter_emu::Emulator> emulator_;
};

}  // namespace bench
