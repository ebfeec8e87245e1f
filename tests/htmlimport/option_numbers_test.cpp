// Numbers written into option texts: the same characters as the C library's
// "%.<decimals>f", whatever the value.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "htmlimport/option_words.h"

namespace {

std::string Printed(double value, int decimals) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string Appended(double value, int decimals) {
    std::string text = "x=";
    talix::AppendFixed(&text, value, decimals);
    return text.substr(2);
}

TEST(OptionNumbers, FixedDecimalsAsTheCLibraryWritesThem) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.125, 0.375, 2.5, 3.5, -2.5, 0.005, 0.015, 0.025, 1.005,
                                  1.115, 0.0005, 0.0015, 9.995, 99.995, -0.001, -0.004, 1e-300, -1e-300,
                                  std::numeric_limits<double>::denorm_min(), 123456789.125, 999999999999999.9,
                                  1e15, -1e15, 1e20, 1.7976931348623157e308, 0.1 + 0.2, 1.0 / 3.0,
                                  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                  std::nan("")};
    // Halves, quarters, eighths ... of hundredths and thousandths: exact
    // ties and their nearest neighbours either side.
    for (int n = -4000; n <= 4000; ++n) {
        const double tie = n / 2000.0;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 1e9));
        values.push_back(std::nextafter(tie, -1e9));
        values.push_back(n / 8.0);
        values.push_back(n * 0.001);
        values.push_back(n * 0.01 + 0.005);
    }
    std::mt19937_64 random(45);
    std::uniform_real_distribution<double> small(-100.0, 100.0);
    std::uniform_real_distribution<double> exponent(-20.0, 20.0);
    for (int n = 0; n < 20000; ++n) {
        values.push_back(small(random));
        values.push_back(std::pow(10.0, exponent(random)) * (n % 2 == 0 ? 1 : -1));
    }
    for (const double value : values)
        for (int decimals = 0; decimals <= 5; ++decimals)
            ASSERT_EQ(Appended(value, decimals), Printed(value, decimals))
                << "value " << std::hexfloat << value << " decimals " << decimals;
}

} // namespace
