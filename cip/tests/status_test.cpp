// General status codes, error replies, scanner status codes and services.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cip/service.h"
#include "cip/status.h"

namespace cip {
namespace {

TEST(Status, GeneralStatusCodes) {
    const std::pair<GeneralStatus, uint8_t> cases[] = {
        {GeneralStatus::Success, 0},
        {GeneralStatus::ResourceUnavailable, 2},
        {GeneralStatus::PathSegmentError, 4},
        {GeneralStatus::ServiceNotSupported, 8},
        {GeneralStatus::InvalidAttributeValue, 9},
        {GeneralStatus::AlreadyInRequestedMode, 11},
        {GeneralStatus::ObjectStateConflict, 12},
        {GeneralStatus::AttributeNotSettable, 14},
        {GeneralStatus::DeviceStateConflict, 16},
        {GeneralStatus::ReplyDataTooLarge, 17},
        {GeneralStatus::NotEnoughData, 19},
        {GeneralStatus::AttributeNotSupported, 20},
        {GeneralStatus::TooMuchData, 21},
        {GeneralStatus::ObjectDoesNotExist, 22},
        {GeneralStatus::InvalidParameter, 32},
        {GeneralStatus::InvalidMemberId, 40},
    };
    for (auto [status, code] : cases) EXPECT_EQ(Code(status), code);
}

TEST(Status, ErrorReplies) {
    EXPECT_EQ(ErrorReply(GeneralStatus::NotEnoughData), (std::array<uint8_t, 3>{0x94, 0x13, 0xFF}));
    EXPECT_EQ(ErrorReply(uint8_t{0x2A}), (std::array<uint8_t, 3>{0x94, 0x2A, 0xFF}));
    struct Case {
        std::vector<uint8_t> reply;
        std::optional<uint8_t> status;
    };
    const Case cases[] = {
        {{0x94, 0x08, 0xFF}, 0x08},         {{0x94, 0x08, 0x01}, std::nullopt},  // an additional code: plain data
        {{0x94, 0x08}, std::nullopt},       {{0x94, 0x08, 0xFF, 0x00}, std::nullopt},
        {{0x8E, 0x08, 0xFF}, std::nullopt}, {{}, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorReplyStatus(c.reply), c.status) << c.reply.size() << " bytes";
}

TEST(Status, ScannerStatusCodes) {
    const std::pair<ScannerStatus, uint8_t> cases[] = {
        {ScannerStatus::Online, 0},
        {ScannerStatus::DuplicateMacFailed, 70},
        {ScannerStatus::ScanListError, 71},
        {ScannerStatus::StoppedCommunicating, 72},
        {ScannerStatus::WrongDeviceType, 73},
        {ScannerStatus::PortOverrun, 74},
        {ScannerStatus::NetworkFailed, 75},
        {ScannerStatus::NoNetworkTraffic, 76},
        {ScannerStatus::LengthMismatch, 77},
        {ScannerStatus::NoAnswer, 78},
        {ScannerStatus::TransferFailed, 79},
        {ScannerStatus::Idle, 80},
        {ScannerStatus::FaultMode, 81},
        {ScannerStatus::FragmentationError, 82},
        {ScannerStatus::InitFailed, 83},
        {ScannerStatus::NotInitialised, 84},
        {ScannerStatus::WentIdle, 86},
        {ScannerStatus::SharedMasterNoSlaves, 87},
        {ScannerStatus::WrongSharedMaster, 88},
        {ScannerStatus::Reserved, 89},
        {ScannerStatus::CanDisabled, 90},
        {ScannerStatus::CanBusOff, 91},
        {ScannerStatus::NoCanPower, 92},
        {ScannerStatus::ConfigCrcError, 93},
        {ScannerStatus::FlashUpdate, 95},
        {ScannerStatus::TestMode, 96},
        {ScannerStatus::ScannerStopped, 97},
        {ScannerStatus::FirmwareError, 98},
        {ScannerStatus::WatchdogTimeout, 99},
        {ScannerStatus::MasterInternalError, 100},
    };
    for (auto [status, code] : cases) EXPECT_EQ(Code(status), code);
}

TEST(Service, TableInPickingOrder) {
    const std::vector<std::pair<uint8_t, std::string>> expected = {
        {0x01, "Get_Attributes_All"},
        {0x02, "Set_Attributes_All"},
        {0x03, "Get_Attribute_List"},
        {0x04, "Set_Attribute_List"},
        {0x05, "Reset"},
        {0x06, "Start"},
        {0x07, "Stop"},
        {0x08, "Create"},
        {0x09, "Delete"},
        {0x0D, "Apply_Attributes"},
        {0x0E, "Get_Attribute_Single"},
        {0x10, "Set_Attribute_Single"},
        {0x11, "Find_Next_Object_Instance"},
        {0x14, "Error_Response"},
        {0x15, "Restore"},
        {0x16, "Save"},
        {0x17, "No_Operation"},
        {0x18, "Get_Member"},
        {0x19, "Set_Member"},
        {0x1A, "Insert_Member"},
        {0x1B, "Remove_Member"},
    };
    std::vector<std::pair<uint8_t, std::string>> actual;
    for (const ServiceInfo& s : Services()) actual.emplace_back(Code(s.service), std::string(s.name));
    EXPECT_EQ(actual, expected);
    for (const auto& [code, name] : expected) EXPECT_EQ(ServiceName(code), name);
    for (uint8_t code : {0x00, 0x0A, 0x0F, 0x1C, 0x8E, 0x94}) EXPECT_EQ(ServiceName(code), "") << int(code);
    EXPECT_EQ(Code(Service::GetAttributeSingle) | kReplyBit, 0x8E);
    EXPECT_EQ(Code(Service::ErrorResponse) | kReplyBit, kErrorReplyService);
}

}  // namespace
}  // namespace cip
