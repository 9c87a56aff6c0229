#include "cip/service.h"

#include <array>

namespace cip {

namespace {

constexpr std::array<ServiceInfo, 21> kServices = {{
    {Service::GetAttributesAll, "Get_Attributes_All"},
    {Service::SetAttributesAll, "Set_Attributes_All"},
    {Service::GetAttributeList, "Get_Attribute_List"},
    {Service::SetAttributeList, "Set_Attribute_List"},
    {Service::Reset, "Reset"},
    {Service::Start, "Start"},
    {Service::Stop, "Stop"},
    {Service::Create, "Create"},
    {Service::Delete, "Delete"},
    {Service::ApplyAttributes, "Apply_Attributes"},
    {Service::GetAttributeSingle, "Get_Attribute_Single"},
    {Service::SetAttributeSingle, "Set_Attribute_Single"},
    {Service::FindNextObjectInstance, "Find_Next_Object_Instance"},
    {Service::ErrorResponse, "Error_Response"},
    {Service::Restore, "Restore"},
    {Service::Save, "Save"},
    {Service::NoOperation, "No_Operation"},
    {Service::GetMember, "Get_Member"},
    {Service::SetMember, "Set_Member"},
    {Service::InsertMember, "Insert_Member"},
    {Service::RemoveMember, "Remove_Member"},
}};

}  // namespace

std::span<const ServiceInfo> Services() { return kServices; }

std::string_view ServiceName(uint8_t code) {
    for (const auto& s : kServices) {
        if (Code(s.service) == code) return s.name;
    }
    return {};
}

}  // namespace cip
