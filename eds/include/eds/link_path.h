// A parameter's link path (ParamEntry::linkPath) names the object that holds its value; the
// decoding is the CIP library's.
#pragma once

#include "cip/link_path.h"

using ObjectAddress = cip::ObjectAddress;
using cip::DecodeLinkPath;
