// A slave's parameter transfers, carried out by its master.
#include <vector>

#include "services/core_services.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "network/slave_eds.h"
#include "resources/ui_texts.h"
#include "varda_api.h"

namespace {

ParameterRef RefOf(DeviceNetEDS::ParamEntry& entry) {
    return ParameterRef{entry.linkPathBytes, entry.dataType, entry.dataSize, &entry.defaultValue};
}

std::vector<ParameterRef> RefsOf(DeviceNetEDS::CParamsInfo& set) {
    std::vector<ParameterRef> refs;
    for (const auto& [number, entry] : set.Params()) {
        if (DeviceNetEDS::ParamEntry* p = set.FindParam(number)) refs.push_back(RefOf(*p));
    }
    return refs;
}

}  // namespace

uint32_t CSlaveDev::DownloadAllParameters() {
    if (master_ == nullptr) return VARDA_ERR_INVALID_HANDLE;
    std::vector<ParameterRef> refs = RefsOf(eds_->parameters);
    return master_->DownloadAllParameters(config_.record.MacId(), refs);
}

uint32_t CSlaveDev::UploadAllParameters() {
    if (master_ == nullptr) return VARDA_ERR_INVALID_HANDLE;
    std::vector<ParameterRef> refs = RefsOf(eds_->parameters);
    return master_->UploadAllParameters(config_.record.MacId(), refs);
}

uint32_t CSlaveDev::DownloadParameter(DeviceNetEDS::CParamsInfo& editorSet, int32_t number) {
    DeviceNetEDS::ParamEntry* entry = editorSet.FindParam(number);
    if (master_ == nullptr || entry == nullptr) {
        netsvc::ShowMessage(resources::Text(resource_ids::kTextParameterSetFailed));
        return VARDA_ERR_INVALID_PARAM;
    }
    uint32_t rc = master_->DownloadParameter(config_.record.MacId(), RefOf(*entry));
    if (rc != VARDA_OK) {
        netsvc::ShowMessage(resources::Text(resource_ids::kTextParameterSetFailed));
    } else {
        eds_->parameters.SetParamValue(number, entry->defaultValue);
    }
    return rc;
}

uint32_t CSlaveDev::UploadParameter(DeviceNetEDS::CParamsInfo& editorSet, int32_t number) {
    DeviceNetEDS::ParamEntry* own = eds_->parameters.FindParam(number);
    if (master_ == nullptr || own == nullptr) {
        netsvc::ShowMessage(resources::Text(resource_ids::kTextParameterReadFailed));
        return VARDA_ERR_INVALID_PARAM;
    }
    uint32_t rc = master_->UploadParameter(config_.record.MacId(), RefOf(*own));
    if (rc != VARDA_OK) {
        netsvc::ShowMessage(resources::Text(resource_ids::kTextParameterReadFailed));
    } else {
        editorSet.SetParamValue(number, own->defaultValue);
    }
    return rc;
}
