// Node commissioning: gives a device on a stopped master's bus a new MAC ID and baud rate through
// its DeviceNet object, the way a new device arriving at MAC ID 63 is made ready for the scan
// list. The master reaches the device's address as the network search does (a bare scan-list
// entry), reads its identity, sets the attributes, resets it when the baud rate changes, and
// checks that the same device (same serial number) answers at the new address. Every step reports
// one log row through a callback; a window runs Run on a worker and may Cancel from another thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CServerDev;

inline constexpr uint32_t kCommissionDefaultMac = 63;
inline constexpr uint32_t kCommissionDefaultTimeoutMs = 2000;
inline constexpr uint32_t kCommissionDefaultWaitMs = 5000;
inline constexpr uint32_t kCommissionHighestBaud = 2;  // 0 125K, 1 250K, 2 500K

// The language of the rows and refusals: English (norvanectl) or the user's language from the
// program's resources (the window).
enum class CommissionLanguage { English, User };

struct CommissionRequest {
    uint32_t mac = kCommissionDefaultMac;  // where the device answers now
    uint32_t newMac = kCommissionDefaultMac;
    std::optional<uint32_t> newBaud;  // baud-rate code; none: left as it is
    uint32_t timeoutMs = kCommissionDefaultTimeoutMs;  // per explicit request, 100..30000
    // Longest wait for the master to reach an address (and for the device to come on line at its
    // new address after its duplicate MAC ID check).
    uint32_t waitMs = kCommissionDefaultWaitMs;
    CommissionLanguage language = CommissionLanguage::English;
};

struct NodeIdentity {
    uint32_t vendorId = 0;
    uint32_t deviceType = 0;
    uint32_t productCode = 0;
    uint32_t revision = 0;  // major + 256 x minor
    uint32_t serialNumber = 0;
    std::string productName;
};

enum class CommissionStep { Check, Reach, NewAddressFree, ReadIdentity, SetMac, SetBaud, Verify, Reset, Done };

enum class CommissionEnd {
    Done,  // the device answered at its new address
    Refused,  // nothing was sent to the device
    Failed,  // a step failed; the message says which and why
    Cancelled,  // stopped between two steps
};

struct CommissionOutcome {
    CommissionEnd end = CommissionEnd::Failed;
    CommissionStep step = CommissionStep::Check;  // the step reached
    std::string message;  // the last row
    std::optional<NodeIdentity> identity;  // once read
    bool answeredAtNewAddress = false;
};

class NodeCommissioning {
public:
    // step, row text
    using RowCallback = std::function<void(CommissionStep, const std::string&)>;

    // Why the request cannot run on `master`, nothing when it can. Looks at the configuration
    // only: a running master, addresses or baud rate out of range, the new address being the
    // master's or a configured slave's, nothing to change.
    static std::optional<std::string> Refusal(const CServerDev& master, const CommissionRequest& request);

    // Why the device at request.mac cannot be read on `master` (only mac and timeoutMs count).
    static std::optional<std::string> ReadRefusal(const CServerDev& master, const CommissionRequest& request);

    // Reaches request.mac and reads the device's identity, changing nothing; rows as Run's
    // Reach and ReadIdentity steps, ending Done with the identity.
    CommissionOutcome Read(CServerDev& master, const CommissionRequest& request, const RowCallback& row);
    // Runs every step on the calling thread; `row` is called once per step.
    CommissionOutcome Run(CServerDev& master, const CommissionRequest& request, const RowCallback& row);
    // Any thread: Run ends before its next step (after the request in progress).
    void Cancel() { cancel_ = true; }

    // Clears a Cancel so the object can run again.
    void ResetCancel() { cancel_ = false; }

private:
    // Waits until the master reports `mac` on line (the device answered its scan), at most waitMs.
    bool WaitOnline(CServerDev& master, uint32_t mac, uint32_t waitMs) const;

    std::atomic<bool> cancel_{false};
};

// "vendor 1250, device type 0, product code 106, revision 1.3, serial 0x4E560063, ND-TT1 Temperature"
std::string IdentityText(const NodeIdentity& identity, CommissionLanguage language = CommissionLanguage::English);
// The text of a CIP general status of an explicit reply: "general status 0x0E ( 属性不可设置 )".
std::string GeneralStatusText(uint8_t status, CommissionLanguage language = CommissionLanguage::English);
