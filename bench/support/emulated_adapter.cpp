#include "support/emulated_adapter.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "adapter_emu/bus_description.h"
#include "adapter_emu/emulator.h"
#include "support/bin_dir.h"

namespace bench {

EmulatedAdapter::EmulatedAdapter(const std::string& folderPrefix, const std::string& busText,
                                 const std::string& busName, unsigned adapters)
    : dir_(std::filesystem::temp_directory_path() / (folderPrefix + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
    adapter_emu::EmulatorOptions options;
    options.dir = dir_ / "dev";
    options.adapters = adapters;
    options.bus = adapter_emu::ParseBusText(busText, busName);
    options.fast = true;
    emulator_ = std::make_unique<adapter_emu::Emulator>(std::move(options));
    emulator_->Start();
    std::ofstream(dir_ / "registry.reg") << "Windows Registry Editor Version 5.00\n\n"
                                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\BRAMWELL\\VARDA\\101]\n\"DLL\"=\""
                                         << BinDir() << "/libtamsen.so\"\n";
    ::setenv("VARDA_REGISTRY", (dir_ / "registry.reg").c_str(), 1);
    ::setenv("TAMSEN_DEVICE_DIR", (dir_ / "dev").c_str(), 1);
    if (std::getenv("VARDA_DEBUG_OUTPUT") == nullptr) ::setenv("VARDA_DEBUG_OUTPUT", "/dev/null", 1);
}

EmulatedAdapter::~EmulatedAdapter() {
    emulator_->Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

}  // namespace bench
