// The data table of a slave: row 0 the status cell, row g one cell per item of data group g.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// Type codes of a cell (ValueTypeCode).
namespace cellcode {
inline constexpr int kInt8 = 0, kInt16 = 1, kInt32 = 2, kInt64 = 3, kUInt8 = 4, kUInt16 = 5, kUInt32 = 6, kUInt64 = 7,
                     kFloat = 8, kDouble = 9, kText = 10;
}

// Local time of a refresh, field for field like a system-time record.
struct CellTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
    static CellTime Now();
    friend bool operator==(const CellTime&, const CellTime&) = default;
};

using CellValue = std::variant<std::monostate, int8_t, int16_t, int32_t, int64_t, uint8_t, uint16_t, uint32_t, uint64_t,
                               float, double, std::string>;

struct DataCell {
    int typeCode = cellcode::kUInt8;
    CellValue value;
    CellTime time;
};

using DataTable = std::vector<std::vector<DataCell>>;
