// Reading and writing slave parameters by explicit messages (Get/Set_Attribute_Single).
#include <array>
#include <chrono>
#include <thread>

#include "services/core_services.h"
#include "eds/link_path.h"
#include "network/parameter_value.h"
#include "network/server_dev.h"
#include "network/master_api_table.h"
#include "resources/ui_texts.h"
#include "varda_api.h"

namespace {

constexpr std::size_t kReplySize = 50;
constexpr std::size_t kMaxValueBytes = 49;
constexpr uint32_t kDownloadTimeoutMs = 5000;
constexpr int kUploadAttempts = 6;
constexpr auto kOfflineRetryPause = std::chrono::milliseconds(500);

std::string AddressText(uint32_t prefixId, const ObjectAddress& a) {
    return resources::FormatText(resource_ids::kTextExplicitRequestFailed, resources::Text(prefixId).c_str(),
                                 static_cast<unsigned>(a.classId), static_cast<int>(a.instanceId),
                                 static_cast<int>(a.attributeId));
}

}  // namespace

uint32_t CServerDev::DownloadOne(uint32_t mac, const ParameterRef& parameter) {
    ObjectAddress address = DecodeLinkPath(parameter.linkPath);
    std::array<uint8_t, 1 + kMaxValueBytes> request{};
    request[0] = static_cast<uint8_t>(address.attributeId);
    double value = parameter.value != nullptr ? *parameter.value : 0.0;
    EncodeParameterValue(parameter.dataType, parameter.dataSize, value, std::span<uint8_t>(request).subspan(1));
    std::size_t valueLength = parameter.dataSize > 0 ? static_cast<std::size_t>(parameter.dataSize) : 0;
    if (valueLength > kMaxValueBytes) valueLength = kMaxValueBytes;
    std::array<uint8_t, kReplySize> reply{};
    uint32_t replyLength = kReplySize;
    uint32_t rc =
        netsvc::MasterApi().EMRequest(handle_, mac, CIP_SET_ATTRIBUTE_SINGLE, address.classId, address.instanceId,
                                      request.data(), static_cast<uint32_t>(valueLength + 1), reply.data(),
                                      &replyLength, kDownloadTimeoutMs);
    if (rc != VARDA_OK) netsvc::ReportApiError(rc, AddressText(resource_ids::kTextDownloadPrefix, address));
    return rc;
}

uint32_t CServerDev::UploadOne(uint32_t mac, const ParameterRef& parameter, uint32_t timeoutMs) {
    ObjectAddress address = DecodeLinkPath(parameter.linkPath);
    uint8_t request = static_cast<uint8_t>(address.attributeId);
    std::array<uint8_t, kReplySize> reply{};
    uint32_t rc = VARDA_OK;
    for (int attempt = 0; attempt < kUploadAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kOfflineRetryPause);
        reply.fill(0);
        uint32_t replyLength = kReplySize;
        rc = netsvc::MasterApi().EMRequest(handle_, mac, CIP_GET_ATTRIBUTE_SINGLE, address.classId, address.instanceId,
                                           &request, 1, reply.data(), &replyLength, timeoutMs);
        if (rc != VARDA_ERR_MASTER_OFFLINE) break;
    }
    if (rc != VARDA_OK) netsvc::ReportApiError(rc, AddressText(resource_ids::kTextUploadPrefix, address));
    if (parameter.value != nullptr)
        DecodeParameterValue(parameter.dataType, parameter.dataSize, reply, *parameter.value);
    return rc;
}

uint32_t CServerDev::DownloadParameter(uint32_t mac, const ParameterRef& parameter) {
    uint32_t rc = Attach();
    if (rc != VARDA_OK) return rc;
    rc = DownloadOne(mac, parameter);
    Detach();
    return rc;
}

uint32_t CServerDev::UploadParameter(uint32_t mac, const ParameterRef& parameter) {
    uint32_t rc = Attach();
    if (rc != VARDA_OK) return rc;
    rc = UploadOne(mac, parameter, 3000);
    Detach();
    return rc;
}

uint32_t CServerDev::DownloadAllParameters(uint32_t mac, std::span<const ParameterRef> parameters) {
    if (Attach() != VARDA_OK) return 0;
    for (const ParameterRef& parameter : parameters) {
        if (downloadStop_ != 0) break;
        DownloadOne(mac, parameter);
    }
    Detach();
    return 0;
}

uint32_t CServerDev::UploadAllParameters(uint32_t mac, std::span<const ParameterRef> parameters) {
    if (Attach() != VARDA_OK) return 0;
    bool first = true;
    for (const ParameterRef& parameter : parameters) {
        if (uploadStop_ != 0) break;
        UploadOne(mac, parameter, first ? 5000 : 3000);
        first = false;
    }
    Detach();
    return 0;
}
