#include "monitor/param_value_rules.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using DeviceNetEDS::ParamEntry;
using monitor::ParamItemKind;

ParamEntry Number(double value, double minimum, double maximum, int places = 0, std::string units = {}) {
    ParamEntry e;
    e.dataType = 199;  // UINT
    e.dataSize = 2;
    e.defaultValue = value;
    e.minimum = minimum;
    e.maximum = maximum;
    e.decimalPlaces = places;
    e.units = std::move(units);
    return e;
}

ParamEntry Enumerated(int32_t type, double value, double maximum = 0) {
    ParamEntry e;
    e.descriptor = monitor::kParamEnumerated;
    e.dataType = type;
    e.dataSize = 1;
    e.defaultValue = value;
    e.maximum = maximum;
    return e;
}

TEST(ParamItemKindTest, ChosenByDescriptorAndType) {
    struct Case {
        uint32_t descriptor;
        int32_t type;
        ParamItemKind kind;
    } cases[] = {
        {0x02, 209, ParamItemKind::EnumBit},
        {0x02, 1, ParamItemKind::EnumBit},
        {0x02, 212, ParamItemKind::EnumBit},
        {0x02, 198, ParamItemKind::Enum},
        {0x02, 8, ParamItemKind::Enum},
        {0x02, 195, ParamItemKind::Enum},
        {0x00, 209, ParamItemKind::Number},
        {0x00, 198, ParamItemKind::Number},
        // Enumerated REAL: neither list, shown as a number row.
        {0x02, 202, ParamItemKind::Number},
        {0x12, 200, ParamItemKind::Number},
    };
    for (const auto& c : cases) {
        ParamEntry e;
        e.descriptor = c.descriptor;
        e.dataType = c.type;
        EXPECT_EQ(monitor::ItemKindOf(e), c.kind) << c.descriptor << "/" << c.type;
    }
}

TEST(ParamAccessTest, ReadOnlyBitGivesR) {
    ParamEntry e;
    e.descriptor = 0x10;
    EXPECT_EQ(monitor::AccessText(e), "R");
    EXPECT_TRUE(monitor::IsReadOnly(e));
    e.descriptor = 0x02;
    EXPECT_EQ(monitor::AccessText(e), "R/W");
    EXPECT_FALSE(monitor::IsReadOnly(e));
}

TEST(ParamNumberTest, ZeroScalingAndDecimalPlaces) {
    ParamEntry e = Number(5, 0, 10, 2);
    EXPECT_EQ(monitor::NumberCaption(e, monitor::RawToShown(e, e.defaultValue)), "5.00");
    e.units = "V";
    EXPECT_EQ(monitor::NumberCaption(e, monitor::RawToShown(e, e.defaultValue)), "5.00 V");
    EXPECT_EQ(monitor::NumberCaption(e, 5.0, /*editing=*/true), "5.00");
}

TEST(ParamNumberTest, ScalingFactorAndOffset) {
    ParamEntry e = Number(100, 0, 1000, 1, "A");
    e.scalingMultiplier = 1;
    e.scalingDivider = 10;
    e.scalingBase = 1;
    e.scalingOffset = -20;
    const auto s = monitor::ScalingOf(e);
    EXPECT_DOUBLE_EQ(s.factor, 0.1);
    EXPECT_DOUBLE_EQ(s.offset, -2.0);
    EXPECT_EQ(monitor::NumberCaption(e, monitor::RawToShown(e, 100)), "8.0 A");
}

TEST(ParamNumberTest, ScaledRoundTripKeepsRawValue) {
    ParamEntry e = Number(0, 0, 65535, 2);
    e.scalingMultiplier = 3;
    e.scalingDivider = 7;
    e.scalingOffset = 11;
    for (double raw : {0.0, 1.0, 5.0, 1234.0, 65535.0}) {
        const double shown = monitor::RawToShown(e, raw);
        // The caption is what the user sees and edits; parsing it back gives the raw value.
        const auto input = monitor::CheckNumberInput(e, monitor::FormatNumber(e, shown));
        ASSERT_TRUE(input.raw) << raw << ": " << input.message;
        EXPECT_EQ(*input.raw, raw);
    }
}

TEST(ParamNumberTest, ShownToRawRoundsAndClampsToDataType) {
    struct Case {
        int32_t type;
        int32_t size;
        double shown;
        double raw;
    } cases[] = {
        {198, 1, 2.6, 3.0},         {198, 1, 300.0, 255.0},      {198, 1, -4.0, 0.0}, {194, 1, -200.0, -128.0},
        {195, 2, 40000.0, 32767.0}, {200, 4, 5e9, 4294967295.0}, {202, 4, 2.5, 2.5},
    };
    for (const auto& c : cases) {
        ParamEntry e;
        e.dataType = c.type;
        e.dataSize = c.size;
        EXPECT_EQ(monitor::ShownToRaw(e, c.shown), c.raw) << c.type << " " << c.shown;
    }
}

TEST(ParamNumberTest, TypedTextChecked) {
    const ParamEntry e = Number(10, 0, 255);
    const std::string range = "请输入 >=0.0000 且 <=255.0000 的数";
    struct Case {
        const char* text;
        bool accepted;
        double raw;
    } cases[] = {
        {"300", false, 0},
        {"-1", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {"12x", false, 0},
        {"1e999", false, 0},
        {"nan", false, 0},
        {"255", true, 255},
        {" 7 ", true, 7},
        {"0", true, 0},
        // Within half a shown digit of a limit: the limit.
        {"255.4", true, 255},
        {"255.6", false, 0},
        {"-0.4", true, 0},
    };
    for (const auto& c : cases) {
        const auto input = monitor::CheckNumberInput(e, c.text);
        EXPECT_EQ(input.raw.has_value(), c.accepted) << c.text;
        if (c.accepted) EXPECT_EQ(*input.raw, c.raw) << c.text;
        else EXPECT_EQ(input.message, range) << c.text;
    }
}

TEST(ParamEnumTest, EnumParTextsAndOwnList) {
    ParamEntry e = Enumerated(198, 1);
    const std::vector<std::string> offOn{"Off", "On"};
    auto choices = monitor::ChoicesOf(e, offOn);
    EXPECT_EQ(monitor::EnumCaption(choices, 1), "On");
    EXPECT_EQ(monitor::EnumCaption(choices, 0), "Off");
    EXPECT_EQ(monitor::EnumCaption(choices, 7), "");

    e.enumeration.values = {10, 20};
    e.enumeration.texts = {"Slow", "Fast"};
    choices = monitor::ChoicesOf(e, offOn);
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[1], (std::pair<std::string, int32_t>{"Fast", 20}));
    EXPECT_EQ(monitor::EnumCaption(choices, 20), "Fast");
    EXPECT_EQ(monitor::EnumCaption(choices, 1), "");
}

TEST(ParamBitFieldTest, Captions) {
    struct Case {
        uint32_t maximum;
        uint32_t value;
        const char* caption;
    } cases[] = {
        {255, 5, " 0000 0101"},
        {15, 5, " XXXX 0101"},
        {1000, 3, " XXXX XX00 0000 0011"},
        {70000, 1, " XXXX XXXX XXXX XXX0 0000 0000 0000 0001"},
        {0xFFFFFFFF, 0x80000001, " 1000 0000 0000 0000 0000 0000 0000 0001"},
    };
    for (const auto& c : cases) EXPECT_EQ(monitor::BitFieldCaption(c.maximum, c.value), c.caption) << c.maximum;
}

TEST(ParamBitFieldTest, PopUpOffersExactlyTheCaptionsBitsAndKeepsTheOthers) {
    struct Case {
        uint32_t maximum;
        int offered;
        uint32_t value, boxes, result;
    } cases[] = {
        {0, 0, 0x5, 0xFF, 0x5},
        {1, 0, 0x1, 0x0, 0x1},  // the caption shows no bit: nothing offered, nothing cleared
        {2, 1, 0x3, 0x0, 0x2},  // bit 1 is not offered and stays set
        {3, 2, 0x2, 0x1, 0x1},
        {15, 4, 0xF5, 0x3, 0xF3},
        {255, 8, 0x1FF, 0x80, 0x180},
        {0xFFFFFFFF, 32, 0xDEADBEEF, 0x1, 0x1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maximum);
        EXPECT_EQ(monitor::BitCheckEnabledBoxes(c.maximum), c.offered);
        // The caption's editable bits are exactly the offered ones.
        const std::string caption = monitor::BitFieldCaption(c.maximum, 0);
        EXPECT_EQ(static_cast<int>(std::count(caption.begin(), caption.end(), '0')), c.offered) << caption;
        EXPECT_EQ(monitor::BitCheckResult(c.maximum, c.value, c.boxes), c.result);
    }
}

TEST(ParamDefaultTextTest, ByKind) {
    ParamEntry n = Number(5, 0, 10, 2, "V");
    EXPECT_EQ(monitor::DefaultDescription(n, {}), "默认值: 5.00 V\r\n最小值: 0.00 V\r\n最大值: 10.00 V\r\n");
    EXPECT_EQ(monitor::DefaultDescription(Enumerated(198, 1), {"Off", "On"}), "默认值: On");
    EXPECT_EQ(monitor::DefaultDescription(Enumerated(198, 7), {"Off", "On"}), "默认值: ");
    EXPECT_EQ(monitor::DefaultDescription(Enumerated(209, 5, 255), {}), "默认值(位表示)：101");
    EXPECT_EQ(monitor::DefaultDescription(Enumerated(209, 200, 255), {}), "默认值(位表示)：0 1100 1000");
    EXPECT_EQ(monitor::DefaultDescription(Enumerated(202, 1), {}), "");
}

TEST(ParamGroupFilterTest, MembersAndAll) {
    EXPECT_EQ(monitor::VisibleRows(6, 2, {3, 5}), (std::vector<bool>{false, false, true, false, true, false}));
    EXPECT_EQ(monitor::VisibleRows(6, 0, {3, 5}), std::vector<bool>(6, true));
    // Members without a row are skipped.
    EXPECT_EQ(monitor::VisibleRows(3, 1, {0, 3, 9, -2}), (std::vector<bool>{false, false, true}));
}

}  // namespace
