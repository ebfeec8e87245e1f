// Colour indexes and layout lengths written as text.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "core/font_spec.h"
#include "core/thread_state.h"
#include "engine/css_format.h"

namespace {

std::string Color(std::uint16_t index, int mode, std::uint32_t preference) {
    const std::uint32_t saved = talix::ThisThread().clientPreference;
    talix::ThisThread().clientPreference = preference;
    char out[talix::kCSSColorSize];
    std::memset(out, 'x', sizeof out);
    talix::ColorToCSS(index, out, mode);
    talix::ThisThread().clientPreference = saved;
    return out;
}

// A 24-byte length value: flags, number, unit.
std::string Length(std::uint16_t flags, double number, std::uint8_t unit, const std::string& before = "",
                   std::size_t capacity = 128) {
    std::uint8_t value[24] = {};
    std::memcpy(value, &flags, 2);
    std::memcpy(value + 8, &number, 8);
    value[16] = unit;
    char out[128] = {};
    std::strncpy(out, before.c_str(), sizeof out - 1);
    talix::FormatCSSLength(value, out, capacity);
    return out;
}

TEST(CssFormat, ColourIndexesByMode) {
    EXPECT_EQ(Color(3, 0, 1), "Green");
    EXPECT_EQ(Color(3, 0, 0), "Lime");
    EXPECT_EQ(Color(5, 0, 0), "Fuchsia");
    EXPECT_EQ(Color(5, 0, 1), "Magenta");
    EXPECT_EQ(Color(20, 0, 0), "COLOR20");
    EXPECT_EQ(Color(20, 0, 1), "COLOR20");
    EXPECT_EQ(Color(65535, 0, 1), "COLOR65535");
    EXPECT_EQ(Color(1, 1, 0), "rgb(255,255,255)");
    EXPECT_EQ(Color(2, -3, 0), "rgb(255,0,0)");
    EXPECT_EQ(Color(20, 1, 0), "rgb(0,0,0)");
    EXPECT_EQ(Color(4, 2, 0), "#0000ff");
    EXPECT_EQ(Color(10, 7, 0), "#000080");
    EXPECT_EQ(Color(15, 2, 0), "#C0C0C0");
    EXPECT_EQ(Color(20, 2, 0), "#000000");
}

TEST(CssFormat, LengthsByFlagsAndUnit) {
    EXPECT_EQ(Length(1, 0, 0), "auto");
    EXPECT_EQ(Length(0, 100.7, 2), "100px");
    EXPECT_EQ(Length(0, -100.7, 2), "-100px");
    EXPECT_EQ(Length(0, 50, 3, "width: "), "width: 50%");
    EXPECT_EQ(Length(1, 10, 2), "auto 10px");
    EXPECT_EQ(Length(3, 0, 0), "auto inherit");
    EXPECT_EQ(Length(0, 1440, 1), "1.000000in");
    EXPECT_EQ(Length(0, 2.9, 4) + Length(0, 3, 5) + Length(0, 4, 6), "2em3ex4ch");
    // No unit and no flags: nothing written, a blank before it kept.
    EXPECT_EQ(Length(0, 12, 0, "a "), "a ");
    EXPECT_EQ(Length(0, 12, 9, "a "), "a ");
}

TEST(CssFormat, LengthsOutOfRangeStayBounded) {
    // Numbers that do not fit the integer range are held at its ends; NaN is 0.
    EXPECT_EQ(Length(0, 1e300, 2), "2147483647px");
    EXPECT_EQ(Length(0, -1e300, 3), "-2147483648%");
    EXPECT_EQ(Length(0, std::numeric_limits<double>::quiet_NaN(), 2), "0px");
    EXPECT_EQ(Length(0, std::numeric_limits<double>::infinity(), 1).substr(0, 12), "340282346638");
    // A text that does not fit is left out whole.
    EXPECT_EQ(Length(1, 1234, 2, "x", 7), "xauto");
    EXPECT_EQ(Length(0, 1234, 2, "xyz", 7), "xyz");
}

} // namespace
