// The master API: sixteen functions through which a program drives a DeviceNet master adapter.
// Exported under these plain names by libvarda.so (the dispatcher) and by every device library
// (libtamsen.so for device type 101). Every record and buffer belongs to the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define VARDA_EXPORT __attribute__((visibility("default")))
#else
#define VARDA_EXPORT
#endif

// ---------------------------------------------------------------------------------------------
// Records (little-endian, no padding)

// The master's network settings, given to VARDA_Init.
struct VARDA_INIT_PARAM {
    uint32_t MacId;  // 0..63
    uint32_t BaudRate;  // 0..2, names come from the program's settings
    uint32_t ScanDelay;  // 1..65535 ms between scan cycles
    uint32_t IntervalScanCycle;  // 1..65535; only the low 8 bits reach the adapter
    uint32_t ExpectedPacketRate;  // 1..65535 ms
    uint32_t RetryCount;  // 1..10
    uint32_t Option1;  // 0 or 1
    uint32_t Option2;  // 0 or 1
    uint32_t AutoMapSize;  // 0..32, 0 means 4 bytes
};

// One entry of the master's scan list, given to VARDA_AddSlave.
struct VARDA_SLAVE_CONFIG {
    uint32_t MacId;  // 0..63
    uint32_t VendorId;  // 0..65535, 0 = any
    uint32_t ProductType;  // 0..65535, 0 = any
    uint32_t ProductCode;  // 0..65535, 0 = any
    uint8_t ConnectionFlags;
    uint8_t BackgroundPoll;  // 0 or 1
    uint8_t StrobeInputSize;
    uint8_t StrobeOutputSize;
    uint8_t PollInputSize;
    uint8_t CosInputSize;
    uint8_t PollOutputSize;
    uint8_t CosOutputSize;
    uint32_t HeartbeatTime;  // 0..65535 ms
    uint32_t AckTimeout;  // 0..65535 ms
    uint32_t ProductionInhibitTime;  // 0..65535 ms
};

// Identification of the adapter as written by VARDA_ReadBoardInfo: the first 72 payload bytes of
// the adapter's identification reply, with bytes 48..63 replaced by the zero-terminated decimal
// text of the u32 serial number the reply carries at bytes 48..51.
struct VARDA_BOARD_INFO {
    uint8_t Identification[48];
    char SerialNumber[16];
    uint8_t Reserved[8];
};

static_assert(sizeof(VARDA_INIT_PARAM) == 36);
static_assert(offsetof(VARDA_INIT_PARAM, MacId) == 0);
static_assert(offsetof(VARDA_INIT_PARAM, BaudRate) == 4);
static_assert(offsetof(VARDA_INIT_PARAM, ScanDelay) == 8);
static_assert(offsetof(VARDA_INIT_PARAM, IntervalScanCycle) == 12);
static_assert(offsetof(VARDA_INIT_PARAM, ExpectedPacketRate) == 16);
static_assert(offsetof(VARDA_INIT_PARAM, RetryCount) == 20);
static_assert(offsetof(VARDA_INIT_PARAM, Option1) == 24);
static_assert(offsetof(VARDA_INIT_PARAM, Option2) == 28);
static_assert(offsetof(VARDA_INIT_PARAM, AutoMapSize) == 32);

static_assert(sizeof(VARDA_SLAVE_CONFIG) == 36);
static_assert(offsetof(VARDA_SLAVE_CONFIG, MacId) == 0);
static_assert(offsetof(VARDA_SLAVE_CONFIG, VendorId) == 4);
static_assert(offsetof(VARDA_SLAVE_CONFIG, ProductType) == 8);
static_assert(offsetof(VARDA_SLAVE_CONFIG, ProductCode) == 12);
static_assert(offsetof(VARDA_SLAVE_CONFIG, ConnectionFlags) == 16);
static_assert(offsetof(VARDA_SLAVE_CONFIG, BackgroundPoll) == 17);
static_assert(offsetof(VARDA_SLAVE_CONFIG, StrobeInputSize) == 18);
static_assert(offsetof(VARDA_SLAVE_CONFIG, StrobeOutputSize) == 19);
static_assert(offsetof(VARDA_SLAVE_CONFIG, PollInputSize) == 20);
static_assert(offsetof(VARDA_SLAVE_CONFIG, CosInputSize) == 21);
static_assert(offsetof(VARDA_SLAVE_CONFIG, PollOutputSize) == 22);
static_assert(offsetof(VARDA_SLAVE_CONFIG, CosOutputSize) == 23);
static_assert(offsetof(VARDA_SLAVE_CONFIG, HeartbeatTime) == 24);
static_assert(offsetof(VARDA_SLAVE_CONFIG, AckTimeout) == 28);
static_assert(offsetof(VARDA_SLAVE_CONFIG, ProductionInhibitTime) == 32);

static_assert(sizeof(VARDA_BOARD_INFO) == 72);
static_assert(offsetof(VARDA_BOARD_INFO, SerialNumber) == 48);
static_assert(offsetof(VARDA_BOARD_INFO, Reserved) == 64);

// ---------------------------------------------------------------------------------------------
// Result codes. 1..40 are CIP general status codes passed through from the adapter.

inline constexpr uint32_t VARDA_OK = 0;
inline constexpr uint32_t VARDA_ERR_LOAD_LIBRARY = 41;
inline constexpr uint32_t VARDA_ERR_NO_FUNCTION = 42;
inline constexpr uint32_t VARDA_ERR_ALREADY_OPEN = 43;
inline constexpr uint32_t VARDA_ERR_NO_DEVICE = 44;
inline constexpr uint32_t VARDA_ERR_INIT_FAILED = 45;
inline constexpr uint32_t VARDA_ERR_NOT_OPEN = 46;
inline constexpr uint32_t VARDA_ERR_INVALID_PARAM = 47;
inline constexpr uint32_t VARDA_ERR_INVALID_HANDLE = 48;
inline constexpr uint32_t VARDA_ERR_CLOSE_FAILED = 49;
inline constexpr uint32_t VARDA_ERR_DRIVER = 50;
inline constexpr uint32_t VARDA_ERR_BUFFER_TOO_SMALL = 52;
inline constexpr uint32_t VARDA_ERR_CHANNEL_OPEN = 54;
inline constexpr uint32_t VARDA_ERR_CHANNEL_NOT_OPEN = 55;
inline constexpr uint32_t VARDA_ERR_NO_MEMORY = 56;
inline constexpr uint32_t VARDA_ERR_INTERNAL = 57;
inline constexpr uint32_t VARDA_ERR_TIMEOUT = 59;
inline constexpr uint32_t VARDA_ERR_SLAVE_EXISTS = 60;
inline constexpr uint32_t VARDA_ERR_NO_SLAVE = 61;
inline constexpr uint32_t VARDA_ERR_SEND_FAILED = 62;
inline constexpr uint32_t VARDA_ERR_NO_DATA = 63;
inline constexpr uint32_t VARDA_ERR_NOT_IMPLEMENTED = 64;
inline constexpr uint32_t VARDA_ERR_AUTOSCAN = 65;
inline constexpr uint32_t VARDA_ERR_MASTER_OFFLINE = 66;
inline constexpr uint32_t VARDA_ERR_NO_CONNECTION = 67;

// CIP general status codes the system refers to by name.
inline constexpr uint32_t CIP_RESOURCE_UNAVAILABLE = 2;
inline constexpr uint32_t CIP_PATH_SEGMENT_ERROR = 4;
inline constexpr uint32_t CIP_SERVICE_NOT_SUPPORTED = 8;
inline constexpr uint32_t CIP_INVALID_ATTRIBUTE_VALUE = 9;
inline constexpr uint32_t CIP_ALREADY_IN_MODE = 11;
inline constexpr uint32_t CIP_OBJECT_STATE_CONFLICT = 12;
inline constexpr uint32_t CIP_ATTRIBUTE_NOT_SETTABLE = 14;
inline constexpr uint32_t CIP_DEVICE_STATE_CONFLICT = 16;
inline constexpr uint32_t CIP_REPLY_DATA_TOO_LARGE = 17;
inline constexpr uint32_t CIP_NOT_ENOUGH_DATA = 19;
inline constexpr uint32_t CIP_ATTRIBUTE_NOT_SUPPORTED = 20;
inline constexpr uint32_t CIP_TOO_MUCH_DATA = 21;
inline constexpr uint32_t CIP_OBJECT_DOES_NOT_EXIST = 22;
inline constexpr uint32_t CIP_INVALID_PARAMETER = 32;
inline constexpr uint32_t CIP_INVALID_MEMBER_ID = 40;

// Form of a CIP error reply delivered by VARDA_EMRequest with result 0: 0x94, status, 0xFF.
inline constexpr uint8_t CIP_ERROR_REPLY_SERVICE = 0x94;
inline constexpr uint8_t CIP_ERROR_REPLY_EXTRA = 0xFF;

// CIP services the program sends.
inline constexpr uint32_t CIP_GET_ATTRIBUTES_ALL = 0x01;
inline constexpr uint32_t CIP_GET_ATTRIBUTE_SINGLE = 0x0E;
inline constexpr uint32_t CIP_SET_ATTRIBUTE_SINGLE = 0x10;

// ---------------------------------------------------------------------------------------------
// Slave status codes, the result of VARDA_GetSlaveStatus.

inline constexpr uint32_t VARDA_SLAVE_ONLINE = 0;
inline constexpr uint32_t VARDA_SLAVE_DUP_MAC_FAILED = 70;
inline constexpr uint32_t VARDA_SLAVE_SCANLIST_ERROR = 71;
inline constexpr uint32_t VARDA_SLAVE_STOPPED_COMMUNICATING = 72;
inline constexpr uint32_t VARDA_SLAVE_WRONG_DEVICE_TYPE = 73;
inline constexpr uint32_t VARDA_SLAVE_PORT_OVERRUN = 74;
inline constexpr uint32_t VARDA_SLAVE_NETWORK_FAILED = 75;
inline constexpr uint32_t VARDA_SLAVE_NO_TRAFFIC = 76;
inline constexpr uint32_t VARDA_SLAVE_LENGTH_MISMATCH = 77;
inline constexpr uint32_t VARDA_SLAVE_NO_ANSWER = 78;
inline constexpr uint32_t VARDA_SLAVE_TRANSFER_FAILED = 79;
inline constexpr uint32_t VARDA_SLAVE_IDLE = 80;
inline constexpr uint32_t VARDA_SLAVE_FAULT_MODE = 81;
inline constexpr uint32_t VARDA_SLAVE_FRAGMENTATION_ERROR = 82;
inline constexpr uint32_t VARDA_SLAVE_INIT_FAILED = 83;
inline constexpr uint32_t VARDA_SLAVE_NOT_INITIALISED = 84;
inline constexpr uint32_t VARDA_SLAVE_WENT_IDLE = 86;
inline constexpr uint32_t VARDA_SLAVE_SHARED_NO_SLAVES = 87;
inline constexpr uint32_t VARDA_SLAVE_WRONG_SHARED_MASTER = 88;
inline constexpr uint32_t VARDA_SLAVE_CAN_DISABLED = 90;
inline constexpr uint32_t VARDA_SLAVE_CAN_BUS_OFF = 91;
inline constexpr uint32_t VARDA_SLAVE_NO_CAN_POWER = 92;
inline constexpr uint32_t VARDA_SLAVE_CONFIG_CRC_ERROR = 93;
inline constexpr uint32_t VARDA_SLAVE_FLASH_UPDATE = 95;
inline constexpr uint32_t VARDA_SLAVE_TEST_MODE = 96;
inline constexpr uint32_t VARDA_SLAVE_SCANNER_STOPPED = 97;
inline constexpr uint32_t VARDA_SLAVE_FIRMWARE_ERROR = 98;
inline constexpr uint32_t VARDA_SLAVE_WATCHDOG_TIMEOUT = 99;
inline constexpr uint32_t VARDA_SLAVE_MASTER_INTERNAL = 100;

// ---------------------------------------------------------------------------------------------
// Connection types and ConnectionFlags bits.

inline constexpr uint32_t VARDA_CONN_BIT_STROBE = 0;
inline constexpr uint32_t VARDA_CONN_POLL = 1;
inline constexpr uint32_t VARDA_CONN_COS = 2;
inline constexpr uint32_t VARDA_CONN_CYCLIC = 3;

inline constexpr uint8_t VARDA_FLAGS_IO_MASK = 0x03;  // bits 0..1, values below
inline constexpr uint8_t VARDA_FLAGS_STROBE_ONLY = 0;
inline constexpr uint8_t VARDA_FLAGS_POLL_ONLY = 1;
inline constexpr uint8_t VARDA_FLAGS_POLL_AND_STROBE = 2;
inline constexpr uint8_t VARDA_FLAGS_NO_POLL_NO_STROBE = 3;
inline constexpr uint8_t VARDA_FLAGS_COS = 0x04;
inline constexpr uint8_t VARDA_FLAGS_CYCLIC = 0x08;
inline constexpr uint8_t VARDA_FLAGS_ACK_SUPPRESSED = 0x10;

// Special argument values.
inline constexpr uint32_t VARDA_INVALID_HANDLE = 0xFFFFFFFFu;
inline constexpr uint32_t VARDA_ALL_SLAVES = 0xFFFFFFFFu;

// ---------------------------------------------------------------------------------------------
// The sixteen functions.

extern "C" {

VARDA_EXPORT uint32_t VARDA_Open(uint32_t deviceType, uint32_t deviceIndex, uint32_t reserved);
VARDA_EXPORT uint32_t VARDA_ReadBoardInfo(uint32_t deviceType, uint32_t deviceIndex, VARDA_BOARD_INFO* info);
VARDA_EXPORT uint32_t VARDA_Close(uint32_t deviceType, uint32_t deviceIndex);
VARDA_EXPORT uint32_t VARDA_Init(uint32_t deviceType, uint32_t deviceIndex, uint32_t channelIndex,
                                 const VARDA_INIT_PARAM* initParam, uint32_t* handleOut);
VARDA_EXPORT uint32_t VARDA_Uninit(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_Online(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_Offline(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_StartScan(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_StopScan(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_AddSlave(uint32_t handle, const VARDA_SLAVE_CONFIG* slaveConfig);
VARDA_EXPORT uint32_t VARDA_RemoveSlave(uint32_t handle, uint32_t macId);
VARDA_EXPORT uint32_t VARDA_SaveCfg(uint32_t handle);
VARDA_EXPORT uint32_t VARDA_EMRequest(uint32_t handle, uint32_t macId, uint32_t service, uint32_t classId,
                                      uint32_t instanceId, const uint8_t* requestData, uint32_t requestLength,
                                      uint8_t* responseData, uint32_t* responseLength, uint32_t timeoutMs);
VARDA_EXPORT uint32_t VARDA_ReadSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, uint8_t* buffer,
                                        uint32_t* length, uint32_t timeoutMs);
VARDA_EXPORT uint32_t VARDA_WriteSlaveIO(uint32_t handle, uint32_t macId, uint32_t connectionType, const uint8_t* data,
                                         uint32_t length, uint32_t timeoutMs);
VARDA_EXPORT uint32_t VARDA_GetSlaveStatus(uint32_t handle, uint32_t macId);

}  // extern "C"

// Function pointer types, in export order, for libraries that resolve the API at run time.
using PFN_VARDA_Open = decltype(&VARDA_Open);
using PFN_VARDA_ReadBoardInfo = decltype(&VARDA_ReadBoardInfo);
using PFN_VARDA_Close = decltype(&VARDA_Close);
using PFN_VARDA_Init = decltype(&VARDA_Init);
using PFN_VARDA_Uninit = decltype(&VARDA_Uninit);
using PFN_VARDA_Online = decltype(&VARDA_Online);
using PFN_VARDA_Offline = decltype(&VARDA_Offline);
using PFN_VARDA_StartScan = decltype(&VARDA_StartScan);
using PFN_VARDA_StopScan = decltype(&VARDA_StopScan);
using PFN_VARDA_AddSlave = decltype(&VARDA_AddSlave);
using PFN_VARDA_RemoveSlave = decltype(&VARDA_RemoveSlave);
using PFN_VARDA_SaveCfg = decltype(&VARDA_SaveCfg);
using PFN_VARDA_EMRequest = decltype(&VARDA_EMRequest);
using PFN_VARDA_ReadSlaveIO = decltype(&VARDA_ReadSlaveIO);
using PFN_VARDA_WriteSlaveIO = decltype(&VARDA_WriteSlaveIO);
using PFN_VARDA_GetSlaveStatus = decltype(&VARDA_GetSlaveStatus);

// The export names in the order device libraries are resolved.
inline constexpr const char* VARDA_FUNCTION_NAMES[16] = {
    "VARDA_Open",      "VARDA_ReadBoardInfo", "VARDA_Close",        "VARDA_Init",
    "VARDA_Uninit",    "VARDA_Online",        "VARDA_Offline",      "VARDA_StartScan",
    "VARDA_StopScan",  "VARDA_AddSlave",      "VARDA_RemoveSlave",  "VARDA_SaveCfg",
    "VARDA_EMRequest", "VARDA_ReadSlaveIO",   "VARDA_WriteSlaveIO", "VARDA_GetSlaveStatus",
};
