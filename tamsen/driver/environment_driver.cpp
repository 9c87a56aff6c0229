#include <cstdlib>

#include "driver/driver.h"
#include "driver/socket_driver.h"
#include "driver/usb_driver.h"

namespace tamsen::driver {

std::shared_ptr<Driver> EnvironmentDriver() {
    const char* deviceDir = std::getenv("TAMSEN_DEVICE_DIR");
    if (deviceDir != nullptr && *deviceDir != '\0') return std::make_shared<SocketDriver>(deviceDir);
    return UsbDriver::Instance();
}

}  // namespace tamsen::driver
