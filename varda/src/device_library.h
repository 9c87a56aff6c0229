// A device library: the shared library the registry names for one device type, with the
// sixteen master API entry points resolved from it.
#pragma once

#include <cstdint>

#include "platform/module.h"
#include "varda_api.h"
#include "varda_functions.h"

namespace varda {

// The entry points in export order (VardaFunctions); any of them is null when the library
// lacks that export.
struct DeviceLibrary : VardaFunctions {
    uint32_t deviceType = 0;
    platform::Module module;  // unloaded when the record goes away
};

// Finds the device library of `deviceType` in the registry, loads it and resolves its entry
// points. Throws VARDAException (code 41) with the reason, or std::bad_alloc.
DeviceLibrary LoadDeviceLibrary(uint32_t deviceType);

}  // namespace varda
