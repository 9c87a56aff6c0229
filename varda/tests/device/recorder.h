// Shared state between the varda tests and the test device libraries they load through
// libvarda.so: which calls reached a device library, results the test imposes, gates that hold
// a call inside a device library until the test releases it, and library loads.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#define RECORDER_API __attribute__((visibility("default")))

namespace devrec {

struct Call {
    std::string library;  // the device library's file path
    std::string function;
    std::vector<uint64_t> args;  // pointers as their addresses
};

// Calls, as recorded by the device libraries.
RECORDER_API void Record(const std::string& library, const std::string& function, std::vector<uint64_t> args);
RECORDER_API std::vector<Call> Calls(const std::string& library);

// A result the device library returns for `function` instead of doing its work, until cleared.
RECORDER_API void SetResult(const std::string& library, const std::string& function, uint32_t result);
RECORDER_API std::optional<uint32_t> ResultFor(const std::string& library, const std::string& function);
RECORDER_API void ClearResults(const std::string& library);

// The handle the device library's VARDA_Init hands out instead of its own.
RECORDER_API void SetInitHandle(const std::string& library, std::optional<uint32_t> handle);
RECORDER_API std::optional<uint32_t> InitHandleFor(const std::string& library);

// Gates: a gated device library stops in `function` for device `deviceIndex` while the gate is
// armed. Entered() waits until a call stands at the gate.
RECORDER_API void ArmGate(const std::string& library, const std::string& function, uint32_t deviceIndex);
RECORDER_API void PassGate(const std::string& library, const std::string& function, uint32_t deviceIndex);
RECORDER_API bool Entered(const std::string& library, const std::string& function, uint32_t deviceIndex,
                          std::chrono::milliseconds timeout);
RECORDER_API void ReleaseGate(const std::string& library, const std::string& function, uint32_t deviceIndex);
RECORDER_API void ReleaseAllGates();

// Library loads: each device library reports its path when it is loaded; the hook (if set)
// runs inside the load.
RECORDER_API void LibraryLoaded(const std::string& library);
RECORDER_API int LoadCount(const std::string& library);
RECORDER_API void SetLoadHook(std::function<void(const std::string&)> hook);

}  // namespace devrec
