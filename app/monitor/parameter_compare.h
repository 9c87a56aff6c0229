// The parameters a device carries against those the network file gives the slave
// (FileParameters): every parameter is read from the device (Get_Attribute_Single through the
// slave's master) and compared with the file's value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "eds/eds_file.h"

class CSlaveDev;

struct ParameterDifference {
    int32_t number = 0;
    std::string name;
    std::string stored;  // shown as the parameter editor shows it (scaled, units)
    std::string device;
};

struct ParameterComparison {
    uint32_t attachResult = 0;  // not 0: the master could not be attached, nothing read
    std::size_t compared = 0;  // parameters read and compared
    std::vector<ParameterDifference> differing;
    std::vector<int32_t> unread;  // parameters the device did not give
};

// True when the two raw values stand for the same parameter value (floating-point types compare
// at the precision they travel with).
bool SameParameterValue(int32_t dataType, double stored, double device);

// The parameters of `stored` whose value in `device` stands for another value, in number order;
// a parameter `device` lacks is not compared. Both values are captioned from `eds` as the
// parameter editor shows them.
std::vector<ParameterDifference> DifferingParameters(const CEDSFile& eds, const DeviceNetEDS::CParamsInfo& stored,
                                                     const DeviceNetEDS::CParamsInfo& device);

// Reads every parameter of the slave's stored set from the device and compares. The stored set is
// left unchanged. The slave's master must not be running a transfer.
ParameterComparison CompareParameters(CSlaveDev& slave);
