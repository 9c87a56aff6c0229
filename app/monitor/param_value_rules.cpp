#include "monitor/param_value_rules.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "cip/parameter_value.h"
#include "resources/ui_texts.h"

namespace monitor {
namespace {

bool IsBitFieldType(int32_t type) {
    switch (type) {
        case 1:
        case 24:
        case 25:
        case 26:
        case 209:
        case 210:
        case 211:
        case 212: return true;
        default: return false;
    }
}

bool IsEnumIntegerType(int32_t type) {
    switch (type) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 8:
        case 193:
        case 194:
        case 195:
        case 198:
        case 199: return true;
        default: return false;
    }
}

std::string Printf(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string NumberFormat(const DeviceNetEDS::ParamEntry& entry) {
    int places = std::clamp(entry.decimalPlaces, 0, 30);
    return "%0." + std::to_string(places) + "f";
}

}  // namespace

ParamItemKind ItemKindOf(const DeviceNetEDS::ParamEntry& entry) {
    if (entry.descriptor & kParamEnumerated) {
        if (IsBitFieldType(entry.dataType)) return ParamItemKind::EnumBit;
        if (IsEnumIntegerType(entry.dataType)) return ParamItemKind::Enum;
    }
    return ParamItemKind::Number;
}

bool IsReadOnly(const DeviceNetEDS::ParamEntry& entry) { return (entry.descriptor & kParamReadOnly) != 0; }

std::string AccessText(const DeviceNetEDS::ParamEntry& entry) { return IsReadOnly(entry) ? "R" : "R/W"; }

ParamScaling ScalingOf(const DeviceNetEDS::ParamEntry& entry) {
    auto one = [](int32_t v) { return v == 0 ? 1.0 : static_cast<double>(static_cast<uint32_t>(v)); };
    ParamScaling s;
    s.factor = one(entry.scalingMultiplier) * one(entry.scalingBase) / one(entry.scalingDivider);
    s.offset = static_cast<double>(entry.scalingOffset) * s.factor;
    return s;
}

double ShownToRaw(const DeviceNetEDS::ParamEntry& entry, double shown) {
    if (ItemKindOf(entry) != ParamItemKind::Number) return shown;
    const ParamScaling s = ScalingOf(entry);
    double raw = (shown - s.offset) / s.factor;
    if (std::isnan(raw)) raw = 0.0;
    const cip::ValueKind kind = cip::ParameterKind(entry.dataType);
    if (kind != cip::ValueKind::Unsigned && kind != cip::ValueKind::Signed) return raw;
    const std::size_t width = cip::IntegerWidth(entry.dataSize);
    if (width == 0) return raw;
    raw = std::nearbyint(raw);
    const int bits = static_cast<int>(width * 8);
    double low = 0.0;
    double high = 0.0;
    if (kind == cip::ValueKind::Unsigned) {
        high = bits >= 64 ? static_cast<double>(std::numeric_limits<uint64_t>::max()) : std::ldexp(1.0, bits) - 1.0;
    } else {
        low = -std::ldexp(1.0, bits - 1);
        high = std::ldexp(1.0, bits - 1) - 1.0;
    }
    return std::clamp(raw, low, high);
}

double RawToShown(const DeviceNetEDS::ParamEntry& entry, double raw) {
    if (ItemKindOf(entry) != ParamItemKind::Number) return raw;
    return ScalingOf(entry).ToShown(raw);
}

std::string FormatNumber(const DeviceNetEDS::ParamEntry& entry, double shown) {
    return Printf(NumberFormat(entry).c_str(), shown);
}

std::string NumberCaption(const DeviceNetEDS::ParamEntry& entry, double shown, bool editing) {
    std::string text = FormatNumber(entry, shown);
    if (!editing && !entry.units.empty()) text += " " + entry.units;
    return text;
}

EnumChoices ChoicesOf(const DeviceNetEDS::ParamEntry& entry, const std::vector<std::string>& enumParTexts) {
    EnumChoices choices;
    const auto& list = entry.enumeration;
    if (!list.texts.empty()) {
        const std::size_t n = std::min(list.texts.size(), list.values.size());
        for (std::size_t i = 0; i < n; ++i) choices.emplace_back(list.texts[i], list.values[i]);
        return choices;
    }
    int32_t value = 0;
    for (const auto& text : enumParTexts) choices.emplace_back(text, value++);
    return choices;
}

std::string EnumCaption(const EnumChoices& choices, double value) {
    for (const auto& [text, v] : choices)
        if (static_cast<double>(v) == value) return text;
    return {};
}

std::string BitFieldCaption(uint32_t maximum, uint32_t value) {
    const int width = maximum <= 255 ? 8 : maximum <= 65535 ? 16 : 32;
    std::string text;
    for (int i = 0; i < width; ++i) {
        char c;
        if (static_cast<uint64_t>(maximum) < (uint64_t{1} << i) + 1) c = 'X';
        else c = ((value >> i) & 1U) ? '1' : '0';
        text.insert(text.begin(), c);
        if ((i + 1) % 4 == 0) text.insert(text.begin(), ' ');
    }
    return text;
}

int BitCheckEnabledBoxes(uint32_t maximum) {
    // The caption's limit: bit k is shown (and offered) while 2^k + 1 <= maximum.
    for (int k = 0; k < 32; ++k)
        if (static_cast<uint64_t>(maximum) < (uint64_t{1} << k) + 1) return k;
    return 32;
}

uint32_t BitCheckResult(uint32_t maximum, uint32_t value, uint32_t boxes) {
    const int offered = BitCheckEnabledBoxes(maximum);
    const uint32_t mask = offered >= 32 ? 0xFFFFFFFFU : (uint32_t{1} << offered) - 1U;
    return (value & ~mask) | (boxes & mask);
}

std::string RangeMessage(double minimum, double maximum) {
    return resources::FormatText(resource_ids::kTextRangeMessage, minimum, maximum);
}

NumberInput CheckNumberInput(const DeviceNetEDS::ParamEntry& entry, const std::string& text) {
    const ParamScaling s = ScalingOf(entry);
    const double low = s.ToShown(entry.minimum);
    const double high = s.ToShown(entry.maximum);
    NumberInput result;
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\t')) trimmed.pop_back();
    // A unit left after the number (the caption pasted back) is accepted.
    if (!entry.units.empty() && trimmed.size() > entry.units.size() &&
        trimmed.compare(trimmed.size() - entry.units.size(), entry.units.size(), entry.units) == 0) {
        trimmed.resize(trimmed.size() - entry.units.size());
        while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    }
    const char* begin = trimmed.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    errno = 0;
    const double shown = std::strtod(begin, &end);
    if (*begin == '\0' || end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(shown)) {
        result.message = RangeMessage(low, high);
        return result;
    }
    // The caption is rounded to the decimal places, so a limit shown and typed back may lie up to
    // half a last digit beyond the exact limit; such input is taken as the limit itself.
    const double tolerance = 0.5 * std::pow(10.0, -std::clamp(entry.decimalPlaces, 0, 30));
    const double lowest = std::min(low, high);
    const double highest = std::max(low, high);
    if (shown < lowest - tolerance || shown > highest + tolerance || (low > high)) {
        result.message = RangeMessage(low, high);
        return result;
    }
    double raw = ShownToRaw(entry, shown);
    if (entry.minimum <= entry.maximum && ItemKindOf(entry) == ParamItemKind::Number)
        raw = std::clamp(raw, entry.minimum, entry.maximum);
    result.raw = raw;
    return result;
}

std::string DefaultDescription(const DeviceNetEDS::ParamEntry& entry, const std::vector<std::string>& enumParTexts) {
    if (entry.descriptor & kParamEnumerated) {
        if (IsBitFieldType(entry.dataType)) {
            const double d = entry.defaultValue;
            const uint32_t bits = d <= 0 ? 0U : d >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<uint32_t>(d);
            std::string text;
            for (int k = 0; k < 32; ++k) {
                text.insert(text.begin(), ((bits >> k) & 1U) ? '1' : '0');
                if ((k + 1) % 4 == 0) text.insert(text.begin(), ' ');
                if (std::ldexp(1.0, k) + 1.0 >= d) break;
            }
            return resources::Text(resource_ids::kTextDefaultBits) + text;
        }
        if (IsEnumIntegerType(entry.dataType))
            return resources::Text(resource_ids::kTextDefaultEnum) +
                   EnumCaption(ChoicesOf(entry, enumParTexts), entry.defaultValue);
        return {};
    }
    const ParamScaling s = ScalingOf(entry);
    const std::string format = ": " + NumberFormat(entry) + " ";
    auto line = [&](uint32_t label, double raw) {
        return resources::Text(label) + Printf(format.c_str(), s.ToShown(raw)) + entry.units + "\r\n";
    };
    return line(resource_ids::kTextDefault, entry.defaultValue) + line(resource_ids::kTextMinimum, entry.minimum) +
           line(resource_ids::kTextMaximum, entry.maximum);
}

std::vector<bool> VisibleRows(int rowCount, int groupIndex, const std::vector<int32_t>& members) {
    const std::size_t n = rowCount > 0 ? static_cast<std::size_t>(rowCount) : 0;
    if (groupIndex == 0) return std::vector<bool>(n, true);
    std::vector<bool> visible(n, false);
    for (int32_t p : members)
        if (p >= 1 && static_cast<std::size_t>(p) <= n) visible[static_cast<std::size_t>(p - 1)] = true;
    return visible;
}

}  // namespace monitor
