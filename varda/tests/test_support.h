// Helpers of the varda tests: a temporary folder holding the registry file ($VARDA_REGISTRY)
// and the debug output ($VARDA_DEBUG_OUTPUT), device types registered for copies of the test
// device libraries, and the diagnostic lines written so far.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vardatest {

// The temporary folder; created, and the two variables set, on first use.
const std::string& TestDir();
std::string RegistryPath();

// A device type no other test uses.
uint32_t NewDeviceType();

// The sub-key of a device type, "SOFTWARE\BRAMWELL\VARDA\<type>".
std::string SubKey(uint32_t deviceType);

// Copies the test device library `variant` (complete, noopen, noboardinfo, samehandle, gated)
// to a file of its own and registers it for `deviceType`. Returns the copy's path, which is
// also the name under which the recorder lists the copy's calls.
std::string InstallDevice(const std::string& variant, uint32_t deviceType);

// The path of a variant's built library.
std::string VariantPath(const std::string& variant);

// Replaces the whole registry file.
void WriteRegistry(const std::string& text);

struct LogLine {
    std::string label;
    std::string text;
};

// The diagnostic lines written since the last ClearLog(). A line that is not of the form
// "varda.dll: YYYY-MM-DD hh:mm:ss:mmm - <label>: <text>\n" fails the current test.
std::vector<LogLine> LogLines();
void ClearLog();

}  // namespace vardatest
