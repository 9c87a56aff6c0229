#include <cstdlib>
#include <mutex>

#include "driver/driver.h"
#include "driver/socket_driver.h"
#include "driver/usb_driver.h"

namespace tamsen::driver {

namespace {

std::mutex& OverrideLock() {
    static std::mutex lock;
    return lock;
}

std::shared_ptr<Driver>& Override() {
    static std::shared_ptr<Driver> driver;
    return driver;
}

}  // namespace

std::shared_ptr<Driver> ActiveDriver() {
    {
        std::lock_guard<std::mutex> guard(OverrideLock());
        if (Override()) return Override();
    }
    const char* deviceDir = std::getenv("TAMSEN_DEVICE_DIR");
    if (deviceDir != nullptr && *deviceDir != '\0') return std::make_shared<SocketDriver>(deviceDir);
    return UsbDriver::Instance();
}

void SetDriverOverride(std::shared_ptr<Driver> driver) {
    std::lock_guard<std::mutex> guard(OverrideLock());
    Override() = std::move(driver);
}

}  // namespace tamsen::driver
