#include "report/parameter_compare.h"

#include <cmath>

#include "network/parameter_value.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "report/parameter_caption.h"
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
    const uint32_t mac = static_cast<uint32_t>(slave.GetAddress());
    bool first = true;
    for (const auto& [number, entry] : eds.parameters.Params()) {
        double device = 0.0;
        const ParameterRef ref{entry.linkPathBytes, entry.dataType, entry.dataSize, &device};
        const uint32_t rc = master->UploadOne(mac, ref, first ? kFirstRequestMs : kRequestMs);
        first = false;
        if (rc != VARDA_OK) {
            result.unread.push_back(number);
            continue;
        }
        ++result.compared;
        if (!SameParameterValue(entry.dataType, entry.defaultValue, device)) {
            result.differing.push_back({number, entry.name,
                                        ParameterCaption(entry, eds.description, number, entry.defaultValue),
                                        ParameterCaption(entry, eds.description, number, device)});
        }
    }
    master->Detach();
    return result;
}
