#include "network/node_commissioning.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <span>
#include <thread>
#include <vector>

#include "cip/object_class.h"
#include "services/core_services.h"
#include "network/master_api_table.h"
#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "services/status_texts.h"
#include "varda_api.h"

namespace {

constexpr uint32_t kResetService = 0x05;
constexpr uint32_t kReplyCapacity = 64;
constexpr auto kStatusCheck = std::chrono::milliseconds(20);

struct Reply {
    uint32_t rc = VARDA_OK;
    std::vector<uint8_t> data;
    std::optional<uint8_t> errorStatus;  // a CIP error reply (0x94, status, 0xFF)
    bool Ok() const { return rc == VARDA_OK && !errorStatus; }
};

Reply Request(uint32_t handle, uint32_t mac, uint32_t service, uint32_t classId, std::span<const uint8_t> data,
              uint32_t timeoutMs) {
    std::array<uint8_t, kReplyCapacity> buffer{};
    uint32_t length = kReplyCapacity;
    Reply reply;
    reply.rc = netsvc::MasterApi().EMRequest(handle, mac, service, classId, cip::kDeviceInstance, data.data(),
                                             static_cast<uint32_t>(data.size()), buffer.data(), &length, timeoutMs);
    if (reply.rc != VARDA_OK) return reply;
    if (length >= 2 && length <= 3 && buffer[0] == CIP_ERROR_REPLY_SERVICE) {
        reply.errorStatus = buffer[1];
        return reply;
    }
    reply.data.assign(buffer.begin(), buffer.begin() + length);
    return reply;
}

uint32_t LittleEndian(const std::vector<uint8_t>& bytes) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Why a request brought no value: the error reply's general status or the master API's code.
std::string FailureText(const Reply& reply) {
    if (reply.errorStatus) return GeneralStatusText(*reply.errorStatus);
    return "error " + std::to_string(reply.rc) + " (" + netsvc::StatusText(reply.rc) + ")";
}

Reply ReadIdentityAttribute(uint32_t handle, uint32_t mac, uint8_t attribute, uint32_t timeoutMs) {
    const std::array<uint8_t, 1> request{attribute};
    return Request(handle, mac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass, request, timeoutMs);
}

// Reads the identity of the device at `mac`; the failure text when it has none.
std::optional<std::string> ReadIdentityAt(uint32_t handle, uint32_t mac, uint32_t timeoutMs, NodeIdentity& identity) {
    const Reply vendor = ReadIdentityAttribute(handle, mac, 1, timeoutMs);
    if (!vendor.Ok()) return "no identity at address " + std::to_string(mac) + ": " + FailureText(vendor);
    identity.vendorId = LittleEndian(vendor.data);
    identity.deviceType = LittleEndian(ReadIdentityAttribute(handle, mac, 2, timeoutMs).data);
    identity.productCode = LittleEndian(ReadIdentityAttribute(handle, mac, 3, timeoutMs).data);
    identity.revision = LittleEndian(ReadIdentityAttribute(handle, mac, 4, timeoutMs).data);
    const Reply serial = ReadIdentityAttribute(handle, mac, cip::kSerialNumberAttribute, timeoutMs);
    if (!serial.Ok()) return "no serial number at address " + std::to_string(mac) + ": " + FailureText(serial);
    identity.serialNumber = LittleEndian(serial.data);
    const Reply name = ReadIdentityAttribute(handle, mac, cip::kProductNameAttribute, timeoutMs);
    if (!name.data.empty()) {
        const std::size_t n = std::min<std::size_t>(name.data[0], name.data.size() - 1);
        identity.productName.assign(name.data.begin() + 1, name.data.begin() + 1 + n);
    }
    return std::nullopt;
}

// Puts the bare scan-list entries away again whatever way the steps end.
class AutoAddedEntries {
public:
    explicit AutoAddedEntries(CServerDev& master) : master_(master) {}
    ~AutoAddedEntries() {
        if (held_) master_.RemoveAutoAdded();
    }
    AutoAddedEntries(const AutoAddedEntries&) = delete;
    AutoAddedEntries& operator=(const AutoAddedEntries&) = delete;
    uint32_t Add(std::span<const uint32_t> addresses) {
        const uint32_t rc = master_.AutoAddAddresses(addresses);
        held_ = rc == VARDA_OK;
        return rc;
    }

private:
    CServerDev& master_;
    bool held_ = false;
};

}  // namespace

std::string IdentityText(const NodeIdentity& id) {
    return "vendor " + std::to_string(id.vendorId) + ", device type " + std::to_string(id.deviceType) +
           ", product code " + std::to_string(id.productCode) + ", revision " + std::to_string(id.revision & 0xFFu) +
           "." + std::to_string((id.revision >> 8) & 0xFFu) + ", serial " + Hex32(id.serialNumber) + ", " +
           id.productName;
}

std::string GeneralStatusText(uint8_t status) {
    static const name_share::CodeTextMap texts = name_share::BuildExplicitStatusTexts();
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", status);
    auto it = texts.find(status);
    return std::string("general status ") + code + " (" + (it != texts.end() ? it->second : "?") + ")";
}

std::optional<std::string> NodeCommissioning::ReadRefusal(const CServerDev& master, const CommissionRequest& r) {
    if (master.IsRunning() != 0) return "the master is running: stop it before commissioning a node";
    if (master.InitCount() != 0) return "the master is in use (a search or another commissioning runs)";
    if (r.mac > 63) return "address " + std::to_string(r.mac) + " is not a MAC ID (0..63)";
    if (r.timeoutMs < 100 || r.timeoutMs > 30000) return "the time-out must be 100..30000 ms";
    if (r.mac == master.Config().MacId()) return "address " + std::to_string(r.mac) + " is the master's own MAC ID";
    return std::nullopt;
}

std::optional<std::string> NodeCommissioning::Refusal(const CServerDev& master, const CommissionRequest& r) {
    if (std::optional<std::string> refusal = ReadRefusal(master, r)) return refusal;
    if (r.newMac > 63) return "new address " + std::to_string(r.newMac) + " is not a MAC ID (0..63)";
    if (r.newBaud && *r.newBaud > kCommissionHighestBaud) {
        return "baud-rate code " + std::to_string(*r.newBaud) + " is not 0..2";
    }
    const uint32_t own = master.Config().MacId();
    if (r.newMac == own) return "new address " + std::to_string(r.newMac) + " is the master's own MAC ID";
    if (r.newMac == r.mac && !r.newBaud) return "nothing to change: the new address is the current one";
    if (r.newMac != r.mac) {
        if (CSlaveDev* slave = master.FindSlave(static_cast<int>(r.newMac))) {
            std::string name;
            slave->GetName(name);
            return "new address " + std::to_string(r.newMac) + " is used by the configured slave " + name;
        }
    }
    return std::nullopt;
}

namespace {

// Records where a run stands and hands the row to the caller.
void Report(CommissionOutcome& out, const NodeCommissioning::RowCallback& row, CommissionStep step,
            CommissionEnd end, const std::string& text) {
    out.step = step;
    out.end = end;
    out.message = text;
    if (row) row(step, text);
}

}  // namespace

bool NodeCommissioning::WaitOnline(CServerDev& master, uint32_t mac, uint32_t waitMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (!cancel_.load()) {
        if (netsvc::MasterApi().GetSlaveStatus(master.Handle(), mac) == VARDA_SLAVE_ONLINE) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kStatusCheck);
    }
    return false;
}

CommissionOutcome NodeCommissioning::Read(CServerDev& master, const CommissionRequest& r, const RowCallback& row) {
    CommissionOutcome out;
    auto say = [&](CommissionStep step, CommissionEnd end, const std::string& text) { Report(out, row, step, end, text); };
    if (std::optional<std::string> refusal = ReadRefusal(master, r)) {
        say(CommissionStep::Check, CommissionEnd::Refused, "refused: " + *refusal);
        return out;
    }
    AutoAddedEntries entries(master);
    const std::array<uint32_t, 1> address{r.mac};
    if (const uint32_t rc = entries.Add(address); rc != VARDA_OK) {
        say(CommissionStep::Reach, CommissionEnd::Failed,
            "the master could not be opened: error " + std::to_string(rc) + " (" + netsvc::StatusText(rc) + ")");
        return out;
    }
    const bool reached = WaitOnline(master, r.mac, r.waitMs);
    say(CommissionStep::Reach, CommissionEnd::Done,
        "master on line, address " + std::to_string(r.mac) + (reached ? " answers its scan" : " not seen yet"));
    if (cancel_.load()) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Cancelled, "cancelled before this step");
        return out;
    }
    NodeIdentity identity;
    if (std::optional<std::string> failure = ReadIdentityAt(master.Handle(), r.mac, r.timeoutMs, identity)) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Failed, *failure);
        return out;
    }
    out.identity = identity;
    say(CommissionStep::ReadIdentity, CommissionEnd::Done,
        "device at address " + std::to_string(r.mac) + ": " + IdentityText(identity));
    return out;
}

CommissionOutcome NodeCommissioning::Run(CServerDev& master, const CommissionRequest& r, const RowCallback& row) {
    CommissionOutcome out;
    auto say = [&](CommissionStep step, CommissionEnd end, const std::string& text) { Report(out, row, step, end, text); };
    auto cancelled = [&](CommissionStep step) {
        if (!cancel_.load()) return false;
        say(step, CommissionEnd::Cancelled, "cancelled before this step");
        return true;
    };
    auto waitOnline = [&](uint32_t mac) { return WaitOnline(master, mac, r.waitMs); };

    if (std::optional<std::string> refusal = Refusal(master, r)) {
        say(CommissionStep::Check, CommissionEnd::Refused, "refused: " + *refusal);
        return out;
    }
    const std::string baudName = r.newBaud ? netsvc::BaudName(*r.newBaud) : std::string();
    say(CommissionStep::Check, CommissionEnd::Done,
        "commissioning address " + std::to_string(r.mac) + " as address " + std::to_string(r.newMac) +
            (r.newBaud ? " at " + baudName : std::string()));
    if (cancelled(CommissionStep::Reach)) return out;

    // Reach both addresses as bare scan-list entries.
    AutoAddedEntries entries(master);
    std::vector<uint32_t> addresses{r.mac};
    if (r.newMac != r.mac) addresses.push_back(r.newMac);
    if (const uint32_t rc = entries.Add(addresses); rc != VARDA_OK) {
        say(CommissionStep::Reach, CommissionEnd::Failed,
            "the master could not be opened: error " + std::to_string(rc) + " (" + netsvc::StatusText(rc) + ")");
        return out;
    }
    const bool reached = waitOnline(r.mac);
    say(CommissionStep::Reach, CommissionEnd::Done,
        "master on line, address " + std::to_string(r.mac) + (reached ? " answers its scan" : " not seen yet"));
    const uint32_t handle = master.Handle();

    if (r.newMac != r.mac) {
        if (cancelled(CommissionStep::NewAddressFree)) return out;
        const std::array<uint8_t, 1> vendor{1};
        if (Request(handle, r.newMac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass, vendor, r.timeoutMs).rc == VARDA_OK) {
            say(CommissionStep::NewAddressFree, CommissionEnd::Refused,
                "refused: a device answers at the new address " + std::to_string(r.newMac));
            return out;
        }
        say(CommissionStep::NewAddressFree, CommissionEnd::Done,
            "no device answers at the new address " + std::to_string(r.newMac));
    }

    // Identity of the device at the current address.
    if (cancelled(CommissionStep::ReadIdentity)) return out;
    auto readAttribute = [&](uint32_t mac, uint8_t attribute) {
        return ReadIdentityAttribute(handle, mac, attribute, r.timeoutMs);
    };
    NodeIdentity identity;
    if (std::optional<std::string> failure = ReadIdentityAt(handle, r.mac, r.timeoutMs, identity)) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Failed, *failure);
        return out;
    }
    out.identity = identity;
    say(CommissionStep::ReadIdentity, CommissionEnd::Done,
        "device at address " + std::to_string(r.mac) + ": " + IdentityText(identity));

    auto set = [&](CommissionStep step, uint32_t mac, uint8_t attribute, uint32_t value, const std::string& what) {
        const std::array<uint8_t, 2> request{attribute, static_cast<uint8_t>(value)};
        const Reply reply = Request(handle, mac, CIP_SET_ATTRIBUTE_SINGLE, cip::kDeviceNetClass, request, r.timeoutMs);
        if (!reply.Ok()) {
            say(step, CommissionEnd::Failed, "setting the " + what + " failed: " + FailureText(reply));
            return false;
        }
        return true;
    };
    // Reads the serial number at `mac` once the device is on line there; true when it is this device's.
    auto verify = [&](uint32_t mac, CommissionStep step) {
        waitOnline(mac);
        const Reply serial = readAttribute(mac, cip::kSerialNumberAttribute);
        if (!serial.Ok()) {
            say(step, CommissionEnd::Failed,
                "the device does not answer at address " + std::to_string(mac) + ": " + FailureText(serial));
            return false;
        }
        if (LittleEndian(serial.data) != identity.serialNumber) {
            say(step, CommissionEnd::Failed,
                "another device answers at address " + std::to_string(mac) + ": serial " +
                    Hex32(LittleEndian(serial.data)) + " instead of " + Hex32(identity.serialNumber));
            return false;
        }
        return true;
    };

    uint32_t at = r.mac;
    if (r.newMac != r.mac) {
        if (cancelled(CommissionStep::SetMac)) return out;
        if (!set(CommissionStep::SetMac, r.mac, cip::kMacIdAttribute, r.newMac, "MAC ID")) return out;
        at = r.newMac;
        say(CommissionStep::SetMac, CommissionEnd::Done, "MAC ID set to " + std::to_string(r.newMac));
    }
    if (r.newBaud) {
        if (cancelled(CommissionStep::SetBaud)) return out;
        if (at != r.mac) waitOnline(at);
        if (!set(CommissionStep::SetBaud, at, cip::kBaudRateAttribute, *r.newBaud, "baud rate")) return out;
        say(CommissionStep::SetBaud, CommissionEnd::Done, "baud rate set to " + baudName + ", taken at the reset");
    }
    if (cancelled(CommissionStep::Verify)) return out;
    if (!verify(at, CommissionStep::Verify)) return out;
    out.answeredAtNewAddress = true;
    say(CommissionStep::Verify, CommissionEnd::Done,
        "the device answers at address " + std::to_string(at) + " with serial " + Hex32(identity.serialNumber));

    if (r.newBaud) {
        if (cancelled(CommissionStep::Reset)) return out;
        const std::array<uint8_t, 1> type{0};
        const Reply reset = Request(handle, at, kResetService, cip::kIdentityClass, type, r.timeoutMs);
        if (!reset.Ok()) {
            say(CommissionStep::Reset, CommissionEnd::Failed, "the reset failed: " + FailureText(reset));
            return out;
        }
        const uint32_t busBaud = master.Config().BaudIndex();
        if (*r.newBaud == busBaud) {
            if (!verify(at, CommissionStep::Reset)) return out;
            say(CommissionStep::Reset, CommissionEnd::Done,
                "device reset; it answers at address " + std::to_string(at) + " at " + baudName);
        } else {
            say(CommissionStep::Reset, CommissionEnd::Done,
                "device reset; it now runs at " + baudName + " and no longer answers on this " +
                    netsvc::BaudName(busBaud) + " bus");
        }
    }
    say(CommissionStep::Done, CommissionEnd::Done,
        "done: the device of address " + std::to_string(r.mac) + " is at address " + std::to_string(at) +
            (r.newBaud ? " at " + baudName : std::string()));
    return out;
}
