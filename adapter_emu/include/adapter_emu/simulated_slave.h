// One slave device on the simulated bus: its CIP objects and attributes, the inputs it produces on
// each I/O connection, the outputs it last consumed, and its faults.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

#include "adapter_emu/bus_description.h"
#include "cip/status.h"

namespace adapter_emu {

struct CipReply {
    cip::GeneralStatus status = cip::GeneralStatus::Success;
    std::vector<uint8_t> data;
};

class SimulatedSlave {
public:
    explicit SimulatedSlave(const SlaveDescription& description);

    const SlaveDescription& Description() const { return description_; }
    uint8_t Mac() const { return description_.mac; }
    // The MAC ID the bus file gives the node, whatever it was set to since.
    uint8_t FileMac() const { return fileMac_; }

    // Commissioning: the MAC ID and baud rate set over the network. A set MAC ID is taken at
    // once (TakeMacChange tells the owner, who moves the node); a set baud rate at the next
    // Identity reset.
    void MoveTo(uint8_t mac);
    std::optional<uint8_t> TakeMacChange();
    std::optional<uint8_t> Baud() const { return baud_; }
    void SetBaud(uint8_t baud);
    // Whether the node hears a bus running at `busBaud` (a node following the bus always does).
    bool Hears(uint8_t busBaud) const { return !baud_ || *baud_ == busBaud; }
    // Going on line again (duplicate MAC ID check after a new MAC ID or a reset): silent until then.
    void KeepOffLineUntil(uint64_t ms) { offLineUntilMs_ = ms; }

    // Whether the device answers on the bus at `nowMs`. A device with a "silent" fault starts its
    // count-down at its first contact after a session began.
    bool Answers(uint64_t nowMs) const;
    void NoteContact(uint64_t nowMs);
    void BeginSession();  // forgets the first contact (the master was initialised again)

    // Faults changed at run time.
    void StopCommunicating(uint64_t nowMs) { stoppedAtMs_ = nowMs; }
    void Resume();
    void SetAbsent(bool absent) { absent_ = absent; }
    bool Absent() const { return absent_; }
    void SetIdle(bool idle) { idle_ = idle; }
    bool Idle() const { return idle_; }
    uint32_t ExplicitDelayMs() const { return explicitDelayMs_; }
    void SetExplicitDelayMs(uint32_t ms) { explicitDelayMs_ = ms; }

    CipReply Execute(uint8_t service, uint16_t classId, uint16_t instance, std::span<const uint8_t> data);

    // DeviceNet object values that follow the master: baud rate and the allocation by a master.
    void SetNetworkContext(uint8_t baudRate, uint8_t allocationChoice, uint8_t masterMac);

    // I/O: the inputs produced now on a connection type (0 to 3), and outputs taken from the master.
    std::vector<uint8_t> ProduceInputs(std::size_t connectionType);
    void ConsumeOutputs(std::size_t connectionType, std::span<const uint8_t> data);

private:
    struct Attribute {
        std::optional<cip::TypeInfo> type;
        std::vector<uint8_t> value;
        bool settable = false;
        bool ranged = false;
        long double minimum = 0;
        long double maximum = 0;
        std::vector<long double> choices;
    };
    using Key = std::tuple<uint16_t, uint16_t, uint8_t>;

    void Put(uint16_t cls, uint16_t inst, uint8_t id, std::optional<cip::TypeInfo> type, std::vector<uint8_t> value,
             bool settable = false);
    void PutRanged(uint16_t cls, uint16_t inst, uint8_t id, uint8_t value, bool settable, uint8_t maximum);
    bool IsAttribute(uint16_t cls, uint16_t inst, std::span<const uint8_t> data, uint8_t id) const;
    CipReply SetAttribute(Attribute& a, std::span<const uint8_t> value);
    void RestoreDefaults();

    SlaveDescription description_;
    uint8_t fileMac_ = 0;
    std::optional<uint8_t> baud_;
    std::optional<uint8_t> pendingBaud_;
    std::optional<uint8_t> macChange_;
    std::optional<uint64_t> offLineUntilMs_;
    std::map<Key, std::shared_ptr<Attribute>> attributes_;
    std::vector<std::pair<std::shared_ptr<Attribute>, std::vector<uint8_t>>> defaults_;
    bool absent_ = false;
    bool idle_ = false;
    uint32_t explicitDelayMs_ = 0;
    std::optional<uint64_t> firstContactMs_;
    std::optional<uint64_t> stoppedAtMs_;
    std::array<uint64_t, kConnectionTypes> counters_{};
    std::vector<uint8_t> sharedOutputs_;  // poll, change of state and cyclic share one buffer
    std::vector<uint8_t> strobeOutputs_;
};

}  // namespace adapter_emu
