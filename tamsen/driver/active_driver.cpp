// The driver of libtamsen.so: always the environment's choice. Test programs link the library's
// code without this file and bring their own ActiveDriver (tests/fake_driver).
#include "driver/driver.h"

namespace tamsen::driver {

std::shared_ptr<Driver> ActiveDriver() { return EnvironmentDriver(); }

}  // namespace tamsen::driver
