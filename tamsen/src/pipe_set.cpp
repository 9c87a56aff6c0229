#include "pipe_set.h"

#include <cstdio>

#include "log.h"
#include "tamsen_exception.h"
#include "tamsen_lib_priv.h"
#include "varda_api.h"

namespace tamsen {

std::optional<DeviceLocation> FindDevice(driver::Driver& driver, uint32_t deviceIndex) {
    std::vector<std::string> devices = driver.PresentDevices();
    if (deviceIndex >= devices.size()) return std::nullopt;
    return DeviceLocation{std::move(devices[deviceIndex])};
}

PipeSet::PipeSet(driver::Driver& driver, uint32_t deviceIndex) {
    std::optional<DeviceLocation> location = FindDevice(driver, deviceIndex);
    if (!location) throw TamsenException("No such device", VARDA_ERR_NO_DEVICE);
    const std::string path = CopyDevicePath(location->devicePath);

    for (std::size_t role = 0; role < kPipeCount; ++role) {
        char name[kDevicePathBuffer];
        const int n = std::snprintf(name, sizeof name, "%s/PIPE%02d", path.c_str(), kPipeNumbers[role]);
        if (n > 0 && static_cast<std::size_t>(n) < sizeof name) pipes_[role] = driver.OpenPipe(name);
        if (!pipes_[role]) {
            for (std::size_t back = role; back-- > 0;) pipes_[back].reset();
            throw TamsenException("One or more pipes can't be opened", VARDA_ERR_INTERNAL);
        }
        LogRaw("tamsen.dll : INFO : %s=0x%08x\n", kPipeNames[role], pipes_[role]->Id());
    }
}

PipeSet::~PipeSet() {
    for (auto& pipe : pipes_) pipe.reset();
}

}  // namespace tamsen
