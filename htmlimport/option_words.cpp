// Quoted option words.
#include "htmlimport/option_words.h"
#include "talix_platform/c_locale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <system_error>

namespace talix {

char OptionQuoteFor(std::string_view value) {
    for (const char quote : {'\'', '"', '|', '~'})
        if (value.find(quote) == std::string_view::npos) return quote;
    return 0;
}

bool AppendOptionWord(std::string* text, std::string_view keyword, std::string_view value) {
    const char quote = OptionQuoteFor(value);
    if (quote == 0) return false;
    text->push_back(' ');
    text->append(keyword);
    text->push_back('=');
    text->push_back(quote);
    text->append(value);
    text->push_back(quote);
    return true;
}

namespace {

// Writes the value with up to three decimals as "%.<decimals>f" does, for
// values of less than 1e15: the value times the power of ten is exact in a
// significand of 64 bits (53 bits times at most 10 bits), so the rounding
// to the nearest (ties to even, as the C library rounds) is decided on the
// exact product. Returns false when it cannot (a narrower long double, too
// many decimals, a value out of range or not finite).
bool AppendSmallFixed(std::string* text, double value, int decimals) {
    if constexpr (std::numeric_limits<long double>::digits < 64) {
        return false;
    } else {
        static constexpr std::uint32_t kScales[] = {1, 10, 100, 1000};
        if (decimals < 0 || decimals > 3 || !std::isfinite(value) || std::fabs(value) >= 1e15) return false;
        const std::uint32_t scale = kScales[decimals];
        const long double product = static_cast<long double>(std::fabs(value)) * scale;
        const long double whole = std::floor(product);
        const long double fraction = product - whole;
        auto units = static_cast<std::uint64_t>(whole);
        if (fraction > 0.5L || (fraction == 0.5L && (units & 1u) != 0)) ++units;
        char digits[32];
        char* end = digits + sizeof digits;
        char* at = end;
        for (int n = 0; n < decimals; ++n) {
            *--at = static_cast<char>('0' + units % 10);
            units /= 10;
        }
        if (decimals > 0) *--at = '.';
        do {
            *--at = static_cast<char>('0' + units % 10);
            units /= 10;
        } while (units != 0);
        if (std::signbit(value)) *--at = '-';
        text->append(at, end);
        return true;
    }
}

} // namespace

void AppendFixed(std::string* text, double value, int decimals) {
    if (AppendSmallFixed(text, value, decimals)) return;
    // Room for the digits of any finite double; formatting is left to the
    // C library only for what the conversion cannot write.
    char digits[512];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    if (error == std::errc()) {
        text->append(digits, end);
        return;
    }
    const int length = plat::FormatText(digits, sizeof digits, "%.*f", decimals, value);
    if (length > 0) text->append(digits, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof digits - 1));
}

} // namespace talix
