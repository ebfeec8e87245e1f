// The sort-key comparators of table-row sorting.
#include "core/sort_compare.h"

#include <cstdlib>
#include <cstring>

#include "core/ascii.h"
#include "core/thread_state.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// The most characters of a key read as a number.
constexpr std::size_t kNumberText = 63;

// The key text read as a decimal number: leading blanks, a sign, digits
// with an optional point and an optional exponent. A text that does not
// start that way counts as 0.
double KeyNumber(const SortKey& key) {
    char text[kNumberText + 1];
    std::size_t length = key.text != nullptr ? key.length : 0;
    if (length > kNumberText) length = kNumberText;
    if (length > 0) std::memcpy(text, key.text, length);
    text[length] = '\0';

    // Only the decimal prefix is handed to strtod, so that hexadecimal,
    // "inf" and "nan" texts count as no number.
    std::size_t i = 0;
    while (text[i] == ' ' || text[i] == '\t') ++i;
    const std::size_t start = i;
    if (text[i] == '+' || text[i] == '-') ++i;
    bool digits = false;
    while (IsAsciiDigit(text[i])) { ++i; digits = true; }
    if (text[i] == '.') {
        ++i;
        while (IsAsciiDigit(text[i])) { ++i; digits = true; }
    }
    if (!digits) return 0.0;
    if (text[i] == 'e' || text[i] == 'E') {
        std::size_t e = i + 1;
        if (text[e] == '+' || text[e] == '-') ++e;
        if (IsAsciiDigit(text[e])) {
            while (IsAsciiDigit(text[e])) ++e;
            i = e;
        }
    }
    text[i] = '\0';
    return plat::ReadNumber(text + start, nullptr);
}

int CollateKeys(const SortKey& a, const SortKey& b, std::uint32_t switches) {
    const char* textA = a.text != nullptr ? a.text : "";
    const char* textB = b.text != nullptr ? b.text : "";
    const int result = plat::Collate(textA, a.text != nullptr ? a.length : 0, textB, b.text != nullptr ? b.length : 0,
                                     (switches & kSortCaseSensitive) == 0, (switches & kSortAccentSensitive) == 0);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}

int ByRow(const SortKey& a, const SortKey& b) {
    if (a.row != b.row) return a.row < b.row ? -1 : 1;
    return 0;
}

enum class Order { NumberDescending, NumberAscending, TextDescending, TextAscending };

int Compare(const void* left, const void* right, Order order) {
    const SortKey& a = *static_cast<const SortKey*>(left);
    const SortKey& b = *static_cast<const SortKey*>(right);
    const bool flaggedA = a.flag != 0, flaggedB = b.flag != 0;
    if (flaggedA && flaggedB) return ByRow(a, b);
    if (flaggedA != flaggedB) return flaggedA ? -1 : 1;

    const bool descending = order == Order::NumberDescending || order == Order::TextDescending;
    const std::uint32_t switches = ThisThread().sortSwitches;
    int result = 0;
    if (order == Order::NumberDescending || order == Order::NumberAscending) {
        const double x = KeyNumber(a), y = KeyNumber(b);
        if (x != y) {
            result = x < y ? -1 : 1;
        } else if ((switches & kSortNumbersByText) != 0) {
            result = CollateKeys(a, b, switches);
        }
    } else {
        result = CollateKeys(a, b, switches);
    }
    if (descending) result = -result;
    return result != 0 ? result : ByRow(a, b);
}

} // namespace

void SortKeys(SortKey* keys, std::size_t count, int (*compare)(const void*, const void*), std::uint32_t switches) {
    ThreadState& thread = ThisThread();
    const std::uint32_t outer = thread.sortSwitches;
    thread.sortSwitches = switches;
    std::qsort(keys, count, sizeof(SortKey), compare);
    thread.sortSwitches = outer;
}

int CompareSortKeysNumberDescending(const void* a, const void* b) { return Compare(a, b, Order::NumberDescending); }
int CompareSortKeysNumberAscending(const void* a, const void* b) { return Compare(a, b, Order::NumberAscending); }
int CompareSortKeysTextDescending(const void* a, const void* b) { return Compare(a, b, Order::TextDescending); }
int CompareSortKeysTextAscending(const void* a, const void* b) { return Compare(a, b, Order::TextAscending); }

} // namespace talix
