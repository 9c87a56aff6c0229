#include "monitor/parameter_caption.h"

#include <boost/format.hpp>

#include "monitor/param_value_rules.h"

std::string ParameterCaption(const DeviceNetEDS::ParamEntry& entry, const CEDSFile& eds, int32_t number, double raw) {
    switch (monitor::ItemKindOf(entry)) {
        case monitor::ParamItemKind::EnumBit:
            return monitor::BitFieldCaption(static_cast<uint32_t>(entry.maximum), static_cast<uint32_t>(raw));
        case monitor::ParamItemKind::Enum: {
            std::string caption = monitor::EnumCaption(monitor::ChoicesOf(entry, eds.EnumPar().GetList(number)), raw);
            const std::string value = (boost::format("%g") % raw).str();
            return caption.empty() ? value : caption + " (" + value + ")";
        }
        case monitor::ParamItemKind::Number:
        default: return monitor::NumberCaption(entry, monitor::RawToShown(entry, raw));
    }
}
