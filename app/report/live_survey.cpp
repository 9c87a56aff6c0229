#include "report/live_survey.h"

#include <array>
#include <chrono>
#include <thread>

#include "cip/object_class.h"
#include "services/core_services.h"
#include "network/master_api_table.h"
#include "network/network_registry.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "report/network_listing.h"

namespace {

constexpr uint32_t kReplyBufferSize = 20;
constexpr auto kStatusCheck = std::chrono::milliseconds(50);

// A status the master reports once it has dealt with the slave (not "not initialised yet").
bool Settled(uint32_t status) {
    return status == VARDA_SLAVE_ONLINE ||
           (status >= VARDA_SLAVE_DUP_MAC_FAILED && status <= VARDA_SLAVE_WRONG_SHARED_MASTER &&
            status != VARDA_SLAVE_NOT_INITIALISED);
}

// Get_Attribute_Single of an identity attribute; false when the device did not answer or
// answered with an error reply.
bool ReadIdentity(uint32_t handle, uint32_t mac, uint8_t attribute, uint32_t timeoutMs, uint32_t& value) {
    std::array<uint8_t, kReplyBufferSize> reply{};
    const std::array<uint8_t, 1> request{attribute};
    uint32_t length = 4;
    const uint32_t rc =
        netsvc::MasterApi().EMRequest(handle, mac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass, cip::kDeviceInstance,
                                      request.data(), 1, reply.data(), &length, timeoutMs);
    value = 0;
    if (rc != VARDA_OK || length == 0) return false;
    if (reply[0] == CIP_ERROR_REPLY_SERVICE && (length == 2 || length == 3)) return false;
    for (uint32_t i = 0; i < std::min<uint32_t>(length, 4); ++i) value |= static_cast<uint32_t>(reply[i]) << (8 * i);
    return true;
}

std::string MasterKey(const CServerDev& master) {
    return std::to_string(master.Card()->DeviceType()) + "/" + std::to_string(master.Card()->DeviceIndex()) + "/" +
           std::to_string(master.Channel());
}

}  // namespace

LiveNetwork SurveyNetwork(NetworkRegistry& network, const SurveyOptions& options) {
    LiveNetwork live;
    for (CServerDev* master : network.Masters()) {
        const std::string key = MasterKey(*master);
        std::vector<uint32_t> macs;
        for (int i = 0; i < master->GetChildCount(); ++i)
            macs.push_back(static_cast<uint32_t>(master->GetChild(i)->GetAddress()));
        if (macs.empty()) continue;
        if (master->Start() == 0) {
            for (uint32_t mac : macs) live[{key, mac}] = LiveSlave{false, netsvc::StatusText(VARDA_ERR_INIT_FAILED)};
            continue;
        }
        const uint32_t handle = master->Handle();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.settleMs);
        while (std::chrono::steady_clock::now() < deadline) {
            bool all = true;
            for (uint32_t mac : macs) all = all && Settled(netsvc::MasterApi().GetSlaveStatus(handle, mac));
            if (all) break;
            std::this_thread::sleep_for(kStatusCheck);
        }
        for (uint32_t mac : macs) {
            LiveSlave slave;
            slave.status = netsvc::StatusText(netsvc::MasterApi().GetSlaveStatus(handle, mac));
            slave.answered = ReadIdentity(handle, mac, cip::kVendorIdAttribute, options.requestMs, slave.vendorId);
            if (slave.answered) {
                ReadIdentity(handle, mac, cip::kDeviceTypeAttribute, options.requestMs, slave.deviceType);
                ReadIdentity(handle, mac, cip::kProductCodeAttribute, options.requestMs, slave.productCode);
            }
            live[{key, mac}] = slave;
        }
        master->Stop();
    }
    return live;
}
