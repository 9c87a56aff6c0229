// A scripted stand-in for a master adapter's device library, used behind libvarda.so in tests.
// It exports the sixteen VARDA_ functions plus the FakeMaster_ control functions below; a test
// reaches the control functions by loading the same library file (the loader hands out the
// already loaded copy).
#pragma once

#include <cstdint>

extern "C" {
// Forgets every call, script, attribute and scan list entry.
using PFN_FakeMaster_Reset = void (*)();
// The next `count` calls of `function` (e.g. "VARDA_EMRequest") return `code`; count
// 0xFFFFFFFF means every call.
using PFN_FakeMaster_Fail = void (*)(const char* function, uint32_t code, uint32_t count);
// The handle VARDA_Init hands out (default 0x100; 0 tests the zero-handle rule).
using PFN_FakeMaster_SetInitHandle = void (*)(uint32_t handle);
// Status returned by VARDA_GetSlaveStatus for a MAC ID (default 78) and an extra delay per query.
using PFN_FakeMaster_SetSlaveStatus = void (*)(uint32_t mac, uint32_t status);
using PFN_FakeMaster_SetStatusDelay = void (*)(uint32_t ms);
// Attribute storage served by Get/Set_Attribute_Single requests.
using PFN_FakeMaster_SetAttribute = void (*)(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr,
                                             const uint8_t* data, uint32_t length);
using PFN_FakeMaster_GetAttribute = uint32_t (*)(uint32_t mac, uint32_t cls, uint32_t inst, uint32_t attr, uint8_t* out,
                                                 uint32_t capacity);
// The call log (VARDA_GetSlaveStatus is only counted): text of call i and its time in ms.
using PFN_FakeMaster_CallCount = uint32_t (*)();
using PFN_FakeMaster_CallText = uint32_t (*)(uint32_t index, char* out, uint32_t capacity);
using PFN_FakeMaster_CallTimeMs = double (*)(uint32_t index);
using PFN_FakeMaster_StatusQueries = uint64_t (*)();
// Whether the device is open, and how many handles are initialised.
using PFN_FakeMaster_OpenDevices = uint32_t (*)();
using PFN_FakeMaster_InitHandles = uint32_t (*)();
}
