// Private helpers of the library with checks that raise their own source position.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "tamsen_exception.h"
#include "varda_api.h"

namespace tamsen {

inline constexpr std::size_t kDevicePathBuffer = 260;  // device paths of at most 259 characters

// Copies a device path into a buffer of 260 characters; a path that does not fit raises the
// failed check with code 57.
inline std::string CopyDevicePath(std::string_view path) {
    const int e = path.size() < kDevicePathBuffer ? 0 : 1;
    if (e != 0) {
        char text[128];
        std::snprintf(text, sizeof text, "tamsen_lib_priv.h(%d): Assertion failed (e == 0)", __LINE__);
        throw TamsenException(text, VARDA_ERR_INTERNAL);
    }
    return std::string(path);
}

}  // namespace tamsen
