// CIP general status codes of a reply, the form of an error reply as the master API delivers it,
// and the scanner's status codes of a slave.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace cip {

enum class GeneralStatus : uint8_t {
    Success = 0x00,
    ResourceUnavailable = 0x02,
    PathSegmentError = 0x04,
    ServiceNotSupported = 0x08,
    InvalidAttributeValue = 0x09,
    AlreadyInRequestedMode = 0x0B,
    ObjectStateConflict = 0x0C,
    AttributeNotSettable = 0x0E,
    DeviceStateConflict = 0x10,
    ReplyDataTooLarge = 0x11,
    NotEnoughData = 0x13,
    AttributeNotSupported = 0x14,
    TooMuchData = 0x15,
    ObjectDoesNotExist = 0x16,
    InvalidParameter = 0x20,
    InvalidMemberId = 0x28,
};

constexpr uint8_t Code(GeneralStatus status) { return static_cast<uint8_t>(status); }

// An explicit request that the slave refused comes back as three bytes: the Error_Response service
// with the reply bit, the general status, and 0xFF for "no additional status".
inline constexpr uint8_t kErrorReplyService = 0x94;
inline constexpr uint8_t kNoAdditionalStatus = 0xFF;

std::array<uint8_t, 3> ErrorReply(uint8_t generalStatus);
inline std::array<uint8_t, 3> ErrorReply(GeneralStatus status) { return ErrorReply(Code(status)); }
// The general status of a reply of exactly that form; nothing for any other reply.
std::optional<uint8_t> ErrorReplyStatus(std::span<const uint8_t> reply);

// The scanner's status of one slave of its scan list: 0 while it exchanges data, else why not.
enum class ScannerStatus : uint8_t {
    Online = 0,
    DuplicateMacFailed = 70,
    ScanListError = 71,
    StoppedCommunicating = 72,
    WrongDeviceType = 73,
    PortOverrun = 74,
    NetworkFailed = 75,
    NoNetworkTraffic = 76,
    LengthMismatch = 77,
    NoAnswer = 78,
    TransferFailed = 79,
    Idle = 80,
    FaultMode = 81,
    FragmentationError = 82,
    InitFailed = 83,
    NotInitialised = 84,
    WentIdle = 86,
    SharedMasterNoSlaves = 87,
    WrongSharedMaster = 88,
    Reserved = 89,
    CanDisabled = 90,
    CanBusOff = 91,
    NoCanPower = 92,
    ConfigCrcError = 93,
    FlashUpdate = 95,
    TestMode = 96,
    ScannerStopped = 97,
    FirmwareError = 98,
    WatchdogTimeout = 99,
    MasterInternalError = 100,
};

constexpr uint8_t Code(ScannerStatus status) { return static_cast<uint8_t>(status); }

}  // namespace cip
