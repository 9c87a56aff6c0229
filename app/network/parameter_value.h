// Parameter values on the wire: encoding for Set_Attribute_Single and decoding of a
// Get_Attribute_Single reply, by CIP data type code and data size, little-endian. The coding is
// the cip library's; these are the names the network model uses.
#pragma once

#include "cip/parameter_value.h"

using ParameterValueKind = cip::ValueKind;
using cip::DecodeParameterValue;
using cip::EncodeParameterValue;
using cip::IntegerWidth;
using cip::ParameterKind;
