// Value rules of the parameter editor's table: which value item a parameter gets, scaling between
// raw and shown numbers, cell captions, bit-field texts, the default/range texts and the group
// filter. Plain data only, so the rules are testable without a display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "eds/eds_records.h"

namespace monitor {

// The value item of column 3.
enum class ParamItemKind { EnumBit, Enum, Number };

// Descriptor bits of a parameter.
inline constexpr uint32_t kParamEnumerated = 0x02;
inline constexpr uint32_t kParamReadOnly = 0x10;

// EnumBit for enumerated bit-field types, Enum for enumerated integer types, Number otherwise.
// An enumerated parameter of any other data type is shown and transferred as a number row.
ParamItemKind ItemKindOf(const DeviceNetEDS::ParamEntry& entry);

bool IsReadOnly(const DeviceNetEDS::ParamEntry& entry);
// "R" or "R/W" for column 1.
std::string AccessText(const DeviceNetEDS::ParamEntry& entry);

// Factor and scaled offset of a number parameter: shown = raw × factor + offset.
struct ParamScaling {
    double factor = 1.0;
    double offset = 0.0;

    double ToShown(double raw) const { return raw * factor + offset; }
};
ParamScaling ScalingOf(const DeviceNetEDS::ParamEntry& entry);

// A shown value turned back into the raw value stored and transferred: (shown − offset) / factor,
// rounded to the nearest integer and held within the range of an integer data type. Floats and
// unknown types keep the fraction.
double ShownToRaw(const DeviceNetEDS::ParamEntry& entry, double shown);
// The raw value shown in the table for any item kind (only number rows scale).
double RawToShown(const DeviceNetEDS::ParamEntry& entry, double raw);

// "%0.<places>f" of the value (places below 0 count as 0).
std::string FormatNumber(const DeviceNetEDS::ParamEntry& entry, double shown);
// The number in its format, followed by a blank and the units when there are units.
std::string NumberCaption(const DeviceNetEDS::ParamEntry& entry, double shown, bool editing = false);

// Choices of an enumerated integer parameter: its own list, else the EnumPar texts with the
// values 0, 1, 2, ...
using EnumChoices = std::vector<std::pair<std::string, int32_t>>;
EnumChoices ChoicesOf(const DeviceNetEDS::ParamEntry& entry, const std::vector<std::string>& enumParTexts);
// The text of the choice with that value, else empty.
std::string EnumCaption(const EnumChoices& choices, double value);

// Bit-field caption: 8, 16 or 32 bits by the maximum, "X" for bits above it, a blank in front of
// every group of four: maximum 255, value 5 gives " 0000 0101".
std::string BitFieldCaption(uint32_t maximum, uint32_t value);

// Number of enabled boxes of the bit-check pop-up for a maximum (boxes 0..n−1): exactly the bits
// the caption shows as 0 or 1 (bit i where 2^i + 1 <= maximum).
int BitCheckEnabledBoxes(uint32_t maximum);
// The pop-up's result: the offered bits from `boxes`, every other bit kept from `value`.
uint32_t BitCheckResult(uint32_t maximum, uint32_t value, uint32_t boxes);

// "请输入 >=%.4f 且 <=%.4f 的数" filled with the scaled limits.
std::string RangeMessage(double minimum, double maximum);
// Checks a typed text for a number row: the raw value to store, or the message to show (not a
// number, or outside the scaled limits).
struct NumberInput {
    std::optional<double> raw;
    std::string message;
};
NumberInput CheckNumberInput(const DeviceNetEDS::ParamEntry& entry, const std::string& text);

// The text of the default box for a parameter (lines end in "\r\n" for number rows).
std::string DefaultDescription(const DeviceNetEDS::ParamEntry& entry, const std::vector<std::string>& enumParTexts);

// Rows visible for a group selection. `rowCount` rows stand for parameters 1..rowCount by
// position; index 0 shows all; otherwise only the members of `members` that have a row.
std::vector<bool> VisibleRows(int rowCount, int groupIndex, const std::vector<int32_t>& members);

}  // namespace monitor
