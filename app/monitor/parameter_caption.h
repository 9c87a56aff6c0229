// A parameter value as the parameter editor shows it: numbers scaled with their units,
// enumerations by their text, bit fields as bits.
#pragma once

#include <cstdint>
#include <string>

#include "eds/eds_file.h"

// `raw` is the stored (unscaled) value; `eds` supplies the EnumPar texts of parameter `number`.
std::string ParameterCaption(const DeviceNetEDS::ParamEntry& entry, const CEDSFile& eds, int32_t number, double raw);
