// Paragraph-style strings: margins, spacing, tabs, justification and flag
// words ("LEFTMARGIN=1.5 Tabs=L1,R2.5 +HIDE_READ BULLET") turned into an
// extended paragraph definition with masks and flag words to set and clear.
#include <cmath>
#include <cstring>

#include "core/ascii.h"
#include "core/clamp.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "talix/item.h"

using namespace talix;

namespace {

constexpr std::uint32_t kValueSize = 1024;
constexpr double kTwipsPerInch = 1440.0;

// Reads a decimal number as far as it goes: an optional sign, digits, a
// point and more digits. Anything else reads as 0.
double ReadDecimal(const char* text) {
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    double value = 0;
    while (IsAsciiDigit(*p)) value = value * 10 + (*p++ - '0');
    if (*p == '.') {
        double scale = 0.1;
        for (++p; IsAsciiDigit(*p); ++p, scale /= 10) value += (*p - '0') * scale;
    }
    return negative ? -value : value;
}

// Whole units, truncated toward zero. The small allowance keeps decimal
// inches that are exact in twips (0.7 inch is 1,008 twips) from losing a
// twip to binary rounding. A number past the 32-bit range the fields are
// clamped from (a long run of digits, inches of a huge length) stops at
// its end: converted as it stands it has no whole value.
long long Truncate(double value) {
    constexpr double kLimit = 2147483647.0;
    if (std::isnan(value)) return 0;
    if (value >= kLimit) return 2147483647LL;
    if (value <= -kLimit) return -2147483647LL;
    return static_cast<long long>(value < 0 ? value - 1e-7 : value + 1e-7);
}

long long Clamp(long long value, long long low, long long high) {
    return value < low ? low : (value > high ? high : value);
}

long long InchesToTwips(const char* text) {
    return Clamp(Truncate(ReadDecimal(text) * kTwipsPerInch), -2147483647LL, 2147483647LL);
}

long long WholeNumber(const char* text) { return Clamp(Truncate(ReadDecimal(text)), -2147483647LL, 2147483647LL); }

bool GetValue(const char* options, const char* key, char* value) {
    return GetOptionValue(options, key, value, kValueSize) == 1;
}

std::uint16_t Spacing(const char* value) {
    if (EqualNoCase(value, "SINGLE")) return 0;
    if (EqualNoCase(value, "DOUBLE")) return 2;
    return 1;
}

std::uint16_t Justification(const char* value) {
    static const char* const kModes[] = {"LEFT", "RIGHT", "FULL", "CENTER", "NONE"};
    for (std::uint16_t i = 0; i < 5; ++i) {
        if (EqualNoCase(value, kModes[i])) return i;
    }
    return 0;
}

int TabType(char c) {
    switch (c) {
    case 'L': case 'l': return 0;
    case 'R': case 'r': return 1;
    case 'D': case 'd': return 2;
    case 'C': case 'c': return 3;
    default: return -1;
    }
}

bool IsTabSeparator(char c) { return c == ',' || c == ';' || c == '"' || c == ' '; }

// "Tabs=": up to 20 entries of an optional type letter and a position in
// inches. The list ends at the end of the value or at an entry that is not
// a tab; only the entries read are counted.
void ParseTabs(const char* value, CDPABDEFEXT* def) {
    def->tabTypes = 0;
    def->tabs = 0;
    def->tab[0] = 0;
    const char* p = value;
    std::uint16_t count = 0;
    while (count < kMaxTabs) {
        while (IsTabSeparator(*p)) ++p;
        if (*p == '\0') break;
        int type = TabType(*p);
        if (type >= 0) {
            ++p;
        } else if (!IsAsciiDigit(*p) && *p != '.') {
            break;
        } else {
            type = 0;
        }
        char number[32];
        std::size_t length = 0;
        while ((IsAsciiDigit(*p) || *p == '.') && length + 1 < sizeof number) number[length++] = *p++;
        while (IsAsciiDigit(*p) || *p == '.') ++p;
        number[length] = '\0';
        def->tab[count] = static_cast<std::int16_t>(Clamp(InchesToTwips(number), -32768, 32767));
        if (type != 0) def->tabTypes |= static_cast<std::uint32_t>(type) << (2 * count);
        ++count;
    }
    def->tabs = count;
}

enum class FlagWord { Flags, Flags2, Flags3 };

struct FlagRow {
    const char* word;
    FlagWord target;
    std::uint32_t bits;
    std::uint16_t partner;   // the other bit of a flags-2 margin-mode pair
};

// Examined in this order.
constexpr FlagRow kFlagRows[] = {
    {"PAGINATE_BEFORE", FlagWord::Flags, 0x0001, 0},
    {"KEEP_WITH_NEXT", FlagWord::Flags, 0x0002, 0},
    {"KEEP_TOGETHER", FlagWord::Flags, 0x0004, 0},
    {"PROPAGATE", FlagWord::Flags, 0x0008, 0},
    {"LM_PERCENT", FlagWord::Flags2, 0x0008, 0x0004},
    {"LM_OFFSET", FlagWord::Flags2, 0x0004, 0x0008},
    {"LMF_PERCENT", FlagWord::Flags2, 0x0020, 0x0010},
    {"LMF_OFFSET", FlagWord::Flags2, 0x0010, 0x0020},
    {"RM_PERCENT", FlagWord::Flags2, 0x0080, 0x0040},
    {"RM_OFFSET", FlagWord::Flags2, 0x0040, 0x0080},
    {"HIDE_READ", FlagWord::Flags, 0x0010, 0},
    {"HIDE_PREVIEW_READ", FlagWord::Flags, 0x2000, 0},
    {"HIDE_EDIT", FlagWord::Flags, 0x0020, 0},
    {"HIDE_PREVIEW_EDIT", FlagWord::Flags, 0x4000, 0},
    {"HIDE_PRINT", FlagWord::Flags, 0x0040, 0},
    {"HIDE_MOBILE", FlagWord::Flags3, 0x0002, 0},
    {"HIDE_EMBEDDED", FlagWord::Flags3, 0x0001, 0},
    {"HIDE_IF", FlagWord::Flags, 0x0800, 0},
    {"DISPLAY_RIGHT", FlagWord::Flags, 0x0080, 0},
    {"LAYER_USES_RM", FlagWord::Flags3, 0x0004, 0},
    {"HIDE_COPY", FlagWord::Flags, 0x0200, 0},
};

// Examined after the rows above.
constexpr FlagRow kLateFlagRows[] = {
    {"HIDE_NOTES", FlagWord::Flags, 0x8000, 0},
    {"TABLE_FLAGS", FlagWord::Flags, 0x0006, 0},
    {"HIDE_WEB", FlagWord::Flags2, 0x0001, 0},
    {"RTL", FlagWord::Flags2, 0x4000, 0},
};

struct ListRow {
    const char* word;
    std::uint32_t bits;
};

constexpr ListRow kListRows[] = {
    {"LIST_TYPE", 1},       {"BULLET", 2},          {"NUMBERED_LIST", 4},     {"CHECKED_LIST", 8},
    {"CIRCLE_LIST", 16},    {"SQUARE_LIST", 32},    {"UNCHECKED_LIST", 64},   {"LOWER_ALPHA_LIST", 128},
    {"LOWER_ROMAN_LIST", 256}, {"UPPER_ALPHA_LIST", 512}, {"UPPER_ROMAN_LIST", 1024},
};

// The words of flag bits to set and to clear collected over both strings.
struct SetClearWords {
    std::uint16_t set[3] = {0, 0, 0};
    std::uint16_t clear[3] = {0, 0, 0};
};

char PrefixOf(const char* text, const char* at) { return at == text ? '\0' : at[-1]; }

void ApplyFlagRow(const char* text, const FlagRow& row, CDPABDEFEXT* def, SetClearWords* words,
                  std::uint32_t* mask) {
    const char* at = FindOptionKey(text, row.word);
    if (at == nullptr) return;
    int target = static_cast<int>(row.target);
    char prefix = PrefixOf(text, at);
    if (prefix == '+') {
        words->set[target] |= static_cast<std::uint16_t>(row.bits);
        mask[kPmFlagsSet] = 1;
        if (row.partner != 0) {
            words->clear[target] |= row.partner;
            mask[kPmFlagsClear] = 1;
        }
    } else if (prefix == '-') {
        words->clear[target] |= static_cast<std::uint16_t>(row.bits);
        mask[kPmFlagsClear] = 1;
    } else {
        switch (row.target) {
        case FlagWord::Flags: def->flags |= static_cast<std::uint16_t>(row.bits); break;
        case FlagWord::Flags2: def->flags2 |= static_cast<std::uint16_t>(row.bits); break;
        case FlagWord::Flags3: def->flags3 |= row.bits; break;
        }
        mask[kPmFlagsInPlace] = 1;
        if (row.partner != 0) {
            words->clear[target] |= row.partner;
            mask[kPmFlagsClear] = 1;
        }
    }
}

// A margin extension: its value, the flags-2 bits it gains and loses, and
// the same bits in the set and clear words.
void MarginMode(CDPABDEFEXT* def, SetClearWords* words, std::uint32_t* mask, std::uint16_t gain,
                std::uint16_t lose, int maskBit) {
    def->flags2 = static_cast<std::uint16_t>((def->flags2 | gain) & ~lose);
    words->set[1] |= gain;
    words->clear[1] |= lose;
    mask[maskBit] = 1;
    mask[kPmFlagsSet] = 1;
    mask[kPmFlagsClear] = 1;
}

void ParseOne(const char* text, bool first, CDPABDEFEXT* def, SetClearWords* words, std::uint32_t* listType,
              std::uint32_t* listClear, std::int32_t* shifts[4], std::uint32_t* mask) {
    char value[kValueSize];
    def->flags = 0;
    def->flags2 = 0;

    if (first) {
        static const char* const kShiftKeys[] = {"ShiftLeftOffset=", "ShiftRightOffset=", "ShiftLeftPercent=",
                                                 "ShiftRightPercent="};
        for (int i = 0; i < 4; ++i) {
            if (!GetValue(text, kShiftKeys[i], value)) continue;
            long long number = i < 2 ? InchesToTwips(value) : WholeNumber(value);
            if (shifts[i] != nullptr) *shifts[i] = static_cast<std::int32_t>(number);
            mask[kPmShiftLeftOffset + i] = 1;
        }
    }

    if (GetValue(text, "LEFTMARGIN=", value)) {
        def->leftMargin = ClampToWord(InchesToTwips(value));
        mask[kPmLeftMargin] = 1;
    }
    if (GetValue(text, "RIGHTMARGIN=", value)) {
        def->rightMargin = ClampToWord(InchesToTwips(value));
        mask[kPmRightMargin] = 1;
    }
    if (GetValue(text, "LEFTMARGINFIRST=", value)) {
        def->firstLineLeftMargin = ClampToWord(InchesToTwips(value));
        mask[kPmFirstLineMargin] = 1;
    }

    if (GetValue(text, "LEFTMARGINOFFSET=", value)) {
        def->leftMarginOffset = ClampToWord(InchesToTwips(value));
        MarginMode(def, words, mask, 0x0004, 0x0008, kPmLeftExtension);
    }
    if (GetValue(text, "LEFTMARGINPERCENT=", value)) {
        def->leftMarginPercent = ClampToWord(WholeNumber(value));
        MarginMode(def, words, mask, 0x0008, 0x0004, kPmLeftExtension);
    }
    if (GetValue(text, "FirstLeftMarginOffset=", value) || GetValue(text, "FirstLineLeftMarginOffset=", value)) {
        def->firstLineOffset = ClampToWord(InchesToTwips(value));
        MarginMode(def, words, mask, 0x0010, 0x0020, kPmFirstLineExtension);
    } else if (GetValue(text, "FirstLeftMarginPercent=", value) ||
               GetValue(text, "FirstLineLeftMarginPercent=", value)) {
        def->firstLinePercent = ClampToWord(WholeNumber(value));
        MarginMode(def, words, mask, 0x0020, 0x0010, kPmFirstLineExtension);
    }
    if (GetValue(text, "RightMarginOffset=", value)) {
        def->rightMarginOffset = ClampToWord(InchesToTwips(value));
        MarginMode(def, words, mask, 0x0040, 0x0480, kPmRightExtension);
    }
    if (GetValue(text, "RightMarginPercent=", value)) {
        long long percent = WholeNumber(value);
        def->rightMarginPercent = ClampToWord(percent == 0 ? 100 : percent);
        MarginMode(def, words, mask, 0x0080, 0x0440, kPmRightExtension);
    }

    if (GetValue(text, "Above=", value)) {
        def->spacingBefore = Spacing(value);
        mask[kPmSpacingAbove] = 1;
    }
    if (GetValue(text, "Below=", value)) {
        def->spacingAfter = Spacing(value);
        mask[kPmSpacingBelow] = 1;
    }
    if (GetValue(text, "InterLine=", value)) {
        def->lineSpacing = Spacing(value);
        mask[kPmLineSpacing] = 1;
    }

    if (GetValue(text, "TabInterval=", value)) {
        def->tab[0] = static_cast<std::int16_t>(Clamp(InchesToTwips(value), -32768, 32767));
        def->tabs = 0;
        mask[kPmTabInterval] = 1;
    }
    if (GetValue(text, "Tabs=", value)) {
        ParseTabs(value, def);
        mask[kPmTabs] = 1;
    }

    if (GetValue(text, "Justify=", value)) {
        def->justifyMode = Justification(value);
        mask[kPmJustify] = 1;
    }

    for (const FlagRow& row : kFlagRows) ApplyFlagRow(text, row, def, words, mask);

    for (const ListRow& row : kListRows) {
        const char* at = FindOptionKey(text, row.word);
        if (at == nullptr) continue;
        char prefix = PrefixOf(text, at);
        if (prefix == '-') {
            *listClear |= row.bits;
            mask[kPmListClear] = 1;
        } else if (prefix == '+' && row.bits != 1) {
            *listType |= row.bits;
            mask[kPmListType] = 1;
        } else {
            *listType = row.bits;
            mask[kPmListType] = 1;
        }
    }

    for (const FlagRow& row : kLateFlagRows) ApplyFlagRow(text, row, def, words, mask);

    if (FindNoCase(text, "NO_FLAGS") != nullptr) {
        def->flags = 0;
        mask[kPmFlagsInPlace] = 1;
    }
}

} // namespace

std::uint16_t ZervaRTItem::ParseParagraphString(const char* string, const char* second, CDPABDEFEXT* def1,
                                                CDPABDEFEXT* def2, std::uint16_t* flagsSet,
                                                std::uint16_t* flagsClear, std::uint16_t* flags2Set,
                                                std::uint16_t* flags2Clear, std::uint16_t* flags3Set,
                                                std::uint16_t* flags3Clear, std::uint32_t* listType1,
                                                std::uint32_t* listType2, std::uint32_t* listClear1,
                                                std::uint32_t* listClear2, std::int32_t* shiftLeftOffset,
                                                std::int32_t* shiftRightOffset, std::int32_t* shiftLeftPercent,
                                                std::int32_t* shiftRightPercent, std::uint32_t* mask1,
                                                std::uint32_t* mask2) {
    if (string == nullptr) return kArgumentError;
    std::uint32_t spareMask[kParagraphMaskSize];
    if (mask1 == nullptr) mask1 = spareMask;
    std::memset(mask1, 0, sizeof(std::uint32_t) * kParagraphMaskSize);
    if (mask2 != nullptr) std::memset(mask2, 0, sizeof(std::uint32_t) * kParagraphMaskSize);

    SetClearWords words;
    std::uint32_t lists[4] = {0, 0, 0, 0};
    std::int32_t* shifts[4] = {shiftLeftOffset, shiftRightOffset, shiftLeftPercent, shiftRightPercent};

    if (string[0] != '\0' && def1 != nullptr) {
        ParseOne(string, true, def1, &words, &lists[0], &lists[2], shifts, mask1);
    }
    if (second != nullptr && second[0] != '\0' && def2 != nullptr && mask2 != nullptr) {
        ParseOne(second, false, def2, &words, &lists[1], &lists[3], shifts, mask2);
    }

    std::uint16_t* setClear[6] = {flagsSet, flagsClear, flags2Set, flags2Clear, flags3Set, flags3Clear};
    for (int i = 0; i < 3; ++i) {
        if (setClear[2 * i] != nullptr) *setClear[2 * i] = words.set[i];
        if (setClear[2 * i + 1] != nullptr) *setClear[2 * i + 1] = words.clear[i];
    }
    std::uint32_t* listOut[4] = {listType1, listType2, listClear1, listClear2};
    for (int i = 0; i < 4; ++i) {
        if (listOut[i] != nullptr) *listOut[i] = lists[i];
    }
    return kOK;
}

bool talix::ParagraphStyleNamesAnything(const char* style, ZervaRTItem* item) {
    if (style == nullptr || item == nullptr) return false;
    CDPABDEFEXT definition, unused;
    std::uint32_t mask[kParagraphMaskSize];
    if (item->ParseParagraphString(style, nullptr, &definition, &unused, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   mask, nullptr) != kOK)
        return false;
    for (std::uint32_t named : mask) {
        if (named != 0) return true;
    }
    return false;
}
