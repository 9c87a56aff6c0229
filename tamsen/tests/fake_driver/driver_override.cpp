#include "fake_driver/driver_override.h"

#include <mutex>

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
    return EnvironmentDriver();
}

void SetDriverOverride(std::shared_ptr<Driver> driver) {
    std::lock_guard<std::mutex> guard(OverrideLock());
    Override() = std::move(driver);
}

}  // namespace tamsen::driver
