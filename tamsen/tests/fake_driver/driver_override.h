// The driver choice of test programs: ActiveDriver() gives the driver set here, or the
// environment's choice while none is set.
#pragma once

#include <memory>

#include "driver/driver.h"

namespace tamsen::driver {

// Replaces the driver; nullptr returns to the environment's choice.
void SetDriverOverride(std::shared_ptr<Driver> driver);

}  // namespace tamsen::driver
