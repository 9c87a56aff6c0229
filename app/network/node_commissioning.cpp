#include "network/node_commissioning.h"

#include <cstdarg>

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
#include "resources/ui_texts.h"
#include "services/status_texts.h"
#include "varda_api.h"

namespace {

// The texts of the rows: English (norvanectl's output) or the user's language (the window),
// string kCommissionTextBase + index of the resources.
class Phrases {
public:
    explicit Phrases(CommissionLanguage language) : language_(language) {}
    CommissionLanguage Language() const { return language_; }

    std::string operator()(uint32_t index, const char* english, ...) const __attribute__((format(printf, 3, 4))) {
        va_list args;
        va_start(args, english);
        std::string text;
        if (language_ == CommissionLanguage::User) {
            text = resources::FormatTextV(resource_ids::kCommissionTextBase + index, args);
        } else {
            char buffer[1024];
            const int n = std::vsnprintf(buffer, sizeof buffer, english, args);
            text.assign(buffer, n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof buffer - 1));
        }
        va_end(args);
        return text;
    }

    // The status text of a master-API code.
    std::string Status(uint32_t code) const {
        const uint32_t id = name_share::StatusTextId(static_cast<int32_t>(code));
        if (language_ == CommissionLanguage::User && id != 0) return resources::Text(id);
        return netsvc::StatusText(code);
    }

private:
    CommissionLanguage language_;
};

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
std::string FailureText(const Phrases& say, const Reply& reply) {
    if (reply.errorStatus) return GeneralStatusText(*reply.errorStatus, say.Language());
    return say(34, "error %u (%s)", reply.rc, say.Status(reply.rc).c_str());
}

Reply ReadIdentityAttribute(uint32_t handle, uint32_t mac, uint8_t attribute, uint32_t timeoutMs) {
    const std::array<uint8_t, 1> request{attribute};
    return Request(handle, mac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass, request, timeoutMs);
}

// Reads the identity of the device at `mac`; the failure text when it has none.
std::optional<std::string> ReadIdentityAt(const Phrases& say, uint32_t handle, uint32_t mac, uint32_t timeoutMs,
                                          NodeIdentity& identity) {
    const Reply vendor = ReadIdentityAttribute(handle, mac, 1, timeoutMs);
    if (!vendor.Ok()) return say(32, "no identity at address %u: %s", mac, FailureText(say, vendor).c_str());
    identity.vendorId = LittleEndian(vendor.data);
    identity.deviceType = LittleEndian(ReadIdentityAttribute(handle, mac, 2, timeoutMs).data);
    identity.productCode = LittleEndian(ReadIdentityAttribute(handle, mac, 3, timeoutMs).data);
    identity.revision = LittleEndian(ReadIdentityAttribute(handle, mac, 4, timeoutMs).data);
    const Reply serial = ReadIdentityAttribute(handle, mac, cip::kSerialNumberAttribute, timeoutMs);
    if (!serial.Ok()) return say(33, "no serial number at address %u: %s", mac, FailureText(say, serial).c_str());
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

std::string IdentityText(const NodeIdentity& id, CommissionLanguage language) {
    return Phrases(language)(36, "vendor %u, device type %u, product code %u, revision %u.%u, serial %s, %s",
                             id.vendorId, id.deviceType, id.productCode, id.revision & 0xFFu,
                             (id.revision >> 8) & 0xFFu, Hex32(id.serialNumber).c_str(), id.productName.c_str());
}

std::string GeneralStatusText(uint8_t status, CommissionLanguage language) {
    static const name_share::CodeTextMap texts = name_share::BuildExplicitStatusTexts();
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", status);
    std::string text = "?";
    if (language == CommissionLanguage::User && name_share::ExplicitStatusTextId(status) != 0) {
        text = resources::Text(name_share::ExplicitStatusTextId(status));
    } else if (auto it = texts.find(status); it != texts.end()) {
        text = it->second;
    }
    return Phrases(language)(35, "general status %s (%s)", code, text.c_str());
}

std::optional<std::string> NodeCommissioning::ReadRefusal(const CServerDev& master, const CommissionRequest& r) {
    const Phrases say(r.language);
    if (master.IsRunning() != 0) return say(0, "the master is running: stop it before commissioning a node");
    if (master.InitCount() != 0) return say(1, "the master is in use (a search or another commissioning runs)");
    if (r.mac > 63) return say(2, "address %u is not a MAC ID (0..63)", r.mac);
    if (r.timeoutMs < 100 || r.timeoutMs > 30000) return say(3, "the time-out must be 100..30000 ms");
    if (r.mac == master.Config().MacId()) return say(4, "address %u is the master's own MAC ID", r.mac);
    return std::nullopt;
}

std::optional<std::string> NodeCommissioning::Refusal(const CServerDev& master, const CommissionRequest& r) {
    if (std::optional<std::string> refusal = ReadRefusal(master, r)) return refusal;
    const Phrases say(r.language);
    if (r.newMac > 63) return say(5, "new address %u is not a MAC ID (0..63)", r.newMac);
    if (r.newBaud && *r.newBaud > kCommissionHighestBaud) return say(6, "baud-rate code %u is not 0..2", *r.newBaud);
    const uint32_t own = master.Config().MacId();
    if (r.newMac == own) return say(7, "new address %u is the master's own MAC ID", r.newMac);
    if (r.newMac == r.mac && !r.newBaud) return say(8, "nothing to change: the new address is the current one");
    if (r.newMac != r.mac) {
        if (CSlaveDev* slave = master.FindSlave(static_cast<int>(r.newMac))) {
            std::string name;
            slave->GetName(name);
            return say(9, "new address %u is used by the configured slave %s", r.newMac, name.c_str());
        }
    }
    return std::nullopt;
}

namespace {

// Records where a run stands and hands the row to the caller.
void Report(CommissionOutcome& out, const NodeCommissioning::RowCallback& row, CommissionStep step, CommissionEnd end,
            const std::string& text) {
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
    const Phrases text(r.language);
    auto say = [&](CommissionStep step, CommissionEnd end, const std::string& line) {
        Report(out, row, step, end, line);
    };
    if (std::optional<std::string> refusal = ReadRefusal(master, r)) {
        say(CommissionStep::Check, CommissionEnd::Refused, text(10, "refused: %s", refusal->c_str()));
        return out;
    }
    AutoAddedEntries entries(master);
    const std::array<uint32_t, 1> address{r.mac};
    if (const uint32_t rc = entries.Add(address); rc != VARDA_OK) {
        say(CommissionStep::Reach, CommissionEnd::Failed,
            text(11, "the master could not be opened: error %u (%s)", rc, text.Status(rc).c_str()));
        return out;
    }
    const bool reached = WaitOnline(master, r.mac, r.waitMs);
    say(CommissionStep::Reach, CommissionEnd::Done,
        reached ? text(12, "master on line, address %u answers its scan", r.mac)
                : text(13, "master on line, address %u not seen yet", r.mac));
    if (cancel_.load()) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Cancelled, text(14, "cancelled before this step"));
        return out;
    }
    NodeIdentity identity;
    if (std::optional<std::string> failure = ReadIdentityAt(text, master.Handle(), r.mac, r.timeoutMs, identity)) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Failed, *failure);
        return out;
    }
    out.identity = identity;
    say(CommissionStep::ReadIdentity, CommissionEnd::Done,
        text(15, "device at address %u: %s", r.mac, IdentityText(identity, r.language).c_str()));
    return out;
}

CommissionOutcome NodeCommissioning::Run(CServerDev& master, const CommissionRequest& r, const RowCallback& row) {
    CommissionOutcome out;
    const Phrases text(r.language);
    auto say = [&](CommissionStep step, CommissionEnd end, const std::string& line) {
        Report(out, row, step, end, line);
    };
    auto cancelled = [&](CommissionStep step) {
        if (!cancel_.load()) return false;
        say(step, CommissionEnd::Cancelled, text(14, "cancelled before this step"));
        return true;
    };
    auto waitOnline = [&](uint32_t mac) { return WaitOnline(master, mac, r.waitMs); };

    if (std::optional<std::string> refusal = Refusal(master, r)) {
        say(CommissionStep::Check, CommissionEnd::Refused, text(10, "refused: %s", refusal->c_str()));
        return out;
    }
    const std::string baudName = r.newBaud ? netsvc::BaudName(*r.newBaud) : std::string();
    say(CommissionStep::Check, CommissionEnd::Done,
        r.newBaud ? text(17, "commissioning address %u as address %u at %s", r.mac, r.newMac, baudName.c_str())
                  : text(16, "commissioning address %u as address %u", r.mac, r.newMac));
    if (cancelled(CommissionStep::Reach)) return out;

    // Reach both addresses as bare scan-list entries.
    AutoAddedEntries entries(master);
    std::vector<uint32_t> addresses{r.mac};
    if (r.newMac != r.mac) addresses.push_back(r.newMac);
    if (const uint32_t rc = entries.Add(addresses); rc != VARDA_OK) {
        say(CommissionStep::Reach, CommissionEnd::Failed,
            text(11, "the master could not be opened: error %u (%s)", rc, text.Status(rc).c_str()));
        return out;
    }
    const bool reached = waitOnline(r.mac);
    say(CommissionStep::Reach, CommissionEnd::Done,
        reached ? text(12, "master on line, address %u answers its scan", r.mac)
                : text(13, "master on line, address %u not seen yet", r.mac));
    const uint32_t handle = master.Handle();

    if (r.newMac != r.mac) {
        if (cancelled(CommissionStep::NewAddressFree)) return out;
        const std::array<uint8_t, 1> vendor{1};
        if (Request(handle, r.newMac, CIP_GET_ATTRIBUTE_SINGLE, cip::kIdentityClass, vendor, r.timeoutMs).rc ==
            VARDA_OK) {
            say(CommissionStep::NewAddressFree, CommissionEnd::Refused,
                text(18, "refused: a device answers at the new address %u", r.newMac));
            return out;
        }
        say(CommissionStep::NewAddressFree, CommissionEnd::Done,
            text(19, "no device answers at the new address %u", r.newMac));
    }

    // Identity of the device at the current address.
    if (cancelled(CommissionStep::ReadIdentity)) return out;
    auto readAttribute = [&](uint32_t mac, uint8_t attribute) {
        return ReadIdentityAttribute(handle, mac, attribute, r.timeoutMs);
    };
    NodeIdentity identity;
    if (std::optional<std::string> failure = ReadIdentityAt(text, handle, r.mac, r.timeoutMs, identity)) {
        say(CommissionStep::ReadIdentity, CommissionEnd::Failed, *failure);
        return out;
    }
    out.identity = identity;
    say(CommissionStep::ReadIdentity, CommissionEnd::Done,
        text(15, "device at address %u: %s", r.mac, IdentityText(identity, r.language).c_str()));

    auto set = [&](CommissionStep step, uint32_t mac, uint8_t attribute, uint32_t value) {
        const std::array<uint8_t, 2> request{attribute, static_cast<uint8_t>(value)};
        const Reply reply = Request(handle, mac, CIP_SET_ATTRIBUTE_SINGLE, cip::kDeviceNetClass, request, r.timeoutMs);
        if (!reply.Ok()) {
            const std::string why = FailureText(text, reply);
            say(step, CommissionEnd::Failed,
                step == CommissionStep::SetMac ? text(20, "setting the MAC ID failed: %s", why.c_str())
                                               : text(21, "setting the baud rate failed: %s", why.c_str()));
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
                text(22, "the device does not answer at address %u: %s", mac, FailureText(text, serial).c_str()));
            return false;
        }
        if (LittleEndian(serial.data) != identity.serialNumber) {
            say(step, CommissionEnd::Failed,
                text(23, "another device answers at address %u: serial %s instead of %s", mac,
                     Hex32(LittleEndian(serial.data)).c_str(), Hex32(identity.serialNumber).c_str()));
            return false;
        }
        return true;
    };

    uint32_t at = r.mac;
    if (r.newMac != r.mac) {
        if (cancelled(CommissionStep::SetMac)) return out;
        if (!set(CommissionStep::SetMac, r.mac, cip::kMacIdAttribute, r.newMac)) return out;
        at = r.newMac;
        say(CommissionStep::SetMac, CommissionEnd::Done, text(24, "MAC ID set to %u", r.newMac));
    }
    if (r.newBaud) {
        if (cancelled(CommissionStep::SetBaud)) return out;
        if (at != r.mac) waitOnline(at);
        if (!set(CommissionStep::SetBaud, at, cip::kBaudRateAttribute, *r.newBaud)) return out;
        say(CommissionStep::SetBaud, CommissionEnd::Done,
            text(25, "baud rate set to %s, taken at the reset", baudName.c_str()));
    }
    if (cancelled(CommissionStep::Verify)) return out;
    if (!verify(at, CommissionStep::Verify)) return out;
    out.answeredAtNewAddress = true;
    say(CommissionStep::Verify, CommissionEnd::Done,
        text(26, "the device answers at address %u with serial %s", at, Hex32(identity.serialNumber).c_str()));

    if (r.newBaud) {
        if (cancelled(CommissionStep::Reset)) return out;
        const std::array<uint8_t, 1> type{0};
        const Reply reset = Request(handle, at, kResetService, cip::kIdentityClass, type, r.timeoutMs);
        if (!reset.Ok()) {
            say(CommissionStep::Reset, CommissionEnd::Failed,
                text(27, "the reset failed: %s", FailureText(text, reset).c_str()));
            return out;
        }
        const uint32_t busBaud = master.Config().BaudIndex();
        if (*r.newBaud == busBaud) {
            if (!verify(at, CommissionStep::Reset)) return out;
            say(CommissionStep::Reset, CommissionEnd::Done,
                text(28, "device reset; it answers at address %u at %s", at, baudName.c_str()));
        } else {
            say(CommissionStep::Reset, CommissionEnd::Done,
                text(29, "device reset; it now runs at %s and no longer answers on this %s bus", baudName.c_str(),
                     netsvc::BaudName(busBaud).c_str()));
        }
    }
    say(CommissionStep::Done, CommissionEnd::Done,
        r.newBaud ? text(31, "done: the device of address %u is at address %u at %s", r.mac, at, baudName.c_str())
                  : text(30, "done: the device of address %u is at address %u", r.mac, at));
    return out;
}
