// CIP service codes and their names, in the order an engineer picks them from.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace cip {

enum class Service : uint8_t {
    GetAttributesAll = 0x01,
    SetAttributesAll = 0x02,
    GetAttributeList = 0x03,
    SetAttributeList = 0x04,
    Reset = 0x05,
    Start = 0x06,
    Stop = 0x07,
    Create = 0x08,
    Delete = 0x09,
    ApplyAttributes = 0x0D,
    GetAttributeSingle = 0x0E,
    SetAttributeSingle = 0x10,
    FindNextObjectInstance = 0x11,
    ErrorResponse = 0x14,
    Restore = 0x15,
    Save = 0x16,
    NoOperation = 0x17,
    GetMember = 0x18,
    SetMember = 0x19,
    InsertMember = 0x1A,
    RemoveMember = 0x1B,
};

constexpr uint8_t Code(Service service) { return static_cast<uint8_t>(service); }

// A reply carries the service code of its request with this bit set.
inline constexpr uint8_t kReplyBit = 0x80;

struct ServiceInfo {
    Service service;
    std::string_view name;  // e.g. "Get_Attribute_Single"
};

// The 21 services, in code order.
std::span<const ServiceInfo> Services();
// The name of a service code; empty for a code that is not in the list.
std::string_view ServiceName(uint8_t code);

}  // namespace cip
