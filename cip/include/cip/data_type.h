// CIP elementary data types: their codes, names, sizes, kinds and value ranges.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace cip {

enum class DataType : uint8_t {
    Bool = 0xC1,
    Sint = 0xC2,
    Int = 0xC3,
    Dint = 0xC4,
    Lint = 0xC5,
    Usint = 0xC6,
    Uint = 0xC7,
    Udint = 0xC8,
    Ulint = 0xC9,
    Real = 0xCA,
    Lreal = 0xCB,
    String = 0xD0,
    Byte = 0xD1,
    Word = 0xD2,
    Dword = 0xD3,
    Lword = 0xD4,
    ShortString = 0xDA,
};

constexpr uint8_t Code(DataType type) { return static_cast<uint8_t>(type); }

// Bit strings (BYTE .. LWORD) count as unsigned numbers.
enum class TypeKind : uint8_t { Bool, Unsigned, Signed, Float, ShortString, String };

struct TypeInfo {
    uint8_t code = 0;  // e.g. 0xC7 for UINT
    std::string_view name;  // e.g. "UINT"
    uint8_t size = 0;  // bytes; 0 for the string types
    TypeKind kind = TypeKind::Unsigned;

    bool IsNumeric() const { return size != 0; }
    friend bool operator==(const TypeInfo&, const TypeInfo&) = default;
};

// Every elementary type: the numeric types in code order, then SHORT_STRING and STRING.
std::span<const TypeInfo> DataTypes();

// The type of a code; nothing for a code that names no elementary type.
std::optional<TypeInfo> TypeByCode(int32_t code);
// The type of an enumerator (a value that names no type gives an empty TypeInfo of size 0).
TypeInfo TypeOf(DataType type);
// By name, case-insensitive ("uint"), or by code written as a number ("0xC7", "199").
std::optional<TypeInfo> FindType(std::string_view text);

// Bytes of a value of the type; 0 for the string types, whose length travels with the value.
std::size_t TypeSize(DataType type);

// The values a type holds, inclusive.
struct Range {
    long double minimum = 0;
    long double maximum = 0;
    friend bool operator==(const Range&, const Range&) = default;
};

// The whole range of a numeric type (BOOL 0..1, floats +-their largest finite value); nothing for
// the string types.
std::optional<Range> TypeRange(const TypeInfo& type);
// The range of a two's-complement (signed) or plain binary integer of `width` bytes (1 to 8).
Range IntegerRange(bool isSigned, std::size_t width);

}  // namespace cip
