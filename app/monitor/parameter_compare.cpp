#include "monitor/parameter_compare.h"

#include <cmath>

#include "network/parameter_value.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "monitor/parameter_caption.h"
#include "varda_api.h"

namespace {

// Time-outs of the parameter editor's upload: the first request waits longer for the slave.
constexpr uint32_t kFirstRequestMs = 5000;
constexpr uint32_t kRequestMs = 3000;

}  // namespace

bool SameParameterValue(int32_t dataType, double stored, double device) {
    if (stored == device) return true;
    if (ParameterKind(dataType) == ParameterValueKind::Float32) {
        return static_cast<float>(stored) == static_cast<float>(device);
    }
    return false;
}

std::vector<ParameterDifference> DifferingParameters(const CEDSFile& eds, const DeviceNetEDS::CParamsInfo& stored,
                                                     const DeviceNetEDS::CParamsInfo& device) {
    std::vector<ParameterDifference> differing;
    for (const auto& [number, entry] : stored.Params()) {
        const auto found = device.Params().find(number);
        if (found == device.Params().end()) continue;
        const double value = found->second.defaultValue;
        if (SameParameterValue(entry.dataType, entry.defaultValue, value)) continue;
        differing.push_back({number, entry.name, ParameterCaption(entry, eds, number, entry.defaultValue),
                             ParameterCaption(entry, eds, number, value)});
    }
    return differing;
}

ParameterComparison CompareParameters(CSlaveDev& slave) {
    ParameterComparison result;
    CServerDev* master = slave.GetParent();
    if (master == nullptr) {
        result.attachResult = VARDA_ERR_INVALID_HANDLE;
        return result;
    }
    result.attachResult = master->Attach();
    if (result.attachResult != VARDA_OK) return result;
    const SlaveEds& eds = slave.Eds();
    const DeviceNetEDS::CParamsInfo& stored = FileParameters(eds);
    // A parameter the device does not give keeps the file's value and so compares equal.
    DeviceNetEDS::CParamsInfo device = stored;
    const uint32_t mac = static_cast<uint32_t>(slave.GetAddress());
    bool first = true;
    for (const auto& [number, entry] : stored.Params()) {
        double value = 0.0;
        const ParameterRef ref{entry.linkPathBytes, entry.dataType, entry.dataSize, &value};
        const uint32_t rc = master->UploadOne(mac, ref, first ? kFirstRequestMs : kRequestMs);
        first = false;
        if (rc != VARDA_OK) {
            result.unread.push_back(number);
            continue;
        }
        ++result.compared;
        device.SetParamValue(number, value);
    }
    master->Detach();
    result.differing = DifferingParameters(eds.description, stored, device);
    return result;
}
