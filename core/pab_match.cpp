#include "core/pab_match.h"

namespace talix {

namespace {

constexpr std::uint16_t kBulleted = 0x0400;
constexpr std::uint16_t kNumbered = 0x1000;
// The list-style bits of the second flags word.
constexpr std::uint16_t kListStyleBits = 0x3802;

// Each list kind: the list flag it needs (the other one clear) and the exact
// list-style bits; the first entry, "any list", takes either flag and any
// style bits.
struct ListKind {
    std::uint32_t bit;
    std::uint16_t flag;
    std::uint16_t style;
};
constexpr ListKind kKinds[] = {
    {kListBullet, kBulleted, 0},           {kListNumbered, kNumbered, 0},
    {kListChecked, kBulleted, 0x0002},     {kListCircle, kBulleted, 0x0800},
    {kListSquare, kBulleted, 0x1000},      {kListUnchecked, kBulleted, 0x2000},
    {kListLowerAlpha, kNumbered, 0x1802},  {kListLowerRoman, kNumbered, 0x1002},
    {kListUpperAlpha, kNumbered, 0x1800},  {kListUpperRoman, kNumbered, 0x0802},
};

bool IsKind(const CDPABDEFEXT& definition, const ListKind& kind) {
    const std::uint16_t listFlags = definition.flags & (kBulleted | kNumbered);
    return listFlags == kind.flag && (definition.flags2 & kListStyleBits) == kind.style;
}

// Whether the definition is of any kind in the mask (withAny: the "any
// list" bit counts too).
bool OfKinds(const CDPABDEFEXT& definition, std::uint32_t mask, bool withAny) {
    if (withAny && (mask & kListAny) != 0 && (definition.flags & (kBulleted | kNumbered)) != 0) return true;
    for (const ListKind& kind : kKinds) {
        if ((mask & kind.bit) != 0 && IsKind(definition, kind)) return true;
    }
    return false;
}

// A margin given as extension words: the two use bits must agree, and the
// word of each bit that is set.
bool ExtensionsAgree(const CDPABDEFEXT& a, const CDPABDEFEXT& b, std::uint16_t offsetBit, std::uint16_t percentBit,
                     std::uint16_t aOffset, std::uint16_t bOffset, std::uint16_t aPercent, std::uint16_t bPercent) {
    const std::uint16_t bits = offsetBit | percentBit;
    if ((a.flags2 & bits) != (b.flags2 & bits)) return false;
    if ((a.flags2 & offsetBit) != 0 && aOffset != bOffset) return false;
    if ((a.flags2 & percentBit) != 0 && aPercent != bPercent) return false;
    return true;
}

bool TabStopsAgree(const CDPABDEFEXT& a, const CDPABDEFEXT& b) {
    if (a.tabs != b.tabs || a.tabTypes != b.tabTypes) return false;
    const int count = a.tabs < kMaxTabs ? a.tabs : kMaxTabs;
    for (int i = 0; i < count; ++i) {
        if (a.tab[i] != b.tab[i]) return false;
    }
    return true;
}

} // namespace

PABMatchCriteria CriteriaFromMask(const std::uint32_t* given) {
    PABMatchCriteria criteria;
    if (given == nullptr) return criteria;
    criteria.leftMargin = given[kPmLeftMargin];
    criteria.rightMargin = given[kPmRightMargin];
    criteria.firstLineMargin = given[kPmFirstLineMargin];
    criteria.spacingBefore = given[kPmSpacingAbove];
    criteria.spacingAfter = given[kPmSpacingBelow];
    criteria.lineSpacing = given[kPmLineSpacing];
    criteria.tabStops = given[kPmTabs];
    criteria.tabInterval = given[kPmTabInterval];
    criteria.justification = given[kPmJustify];
    criteria.flags = given[kPmFlagsInPlace];
    criteria.leftExtension = given[kPmLeftExtension];
    criteria.rightExtension = given[kPmRightExtension];
    criteria.firstLineExtension = given[kPmFirstLineExtension];
    criteria.listKindsRequired = given[kPmListType];
    criteria.listKindsExcluded = given[kPmListClear];
    return criteria;
}

int PABDefinitionsMatch(const CDPABDEFEXT* first, const CDPABDEFEXT* second, std::uint32_t required,
                        std::uint32_t excluded, const PABMatchCriteria* criteria) {
    if (first == nullptr || second == nullptr || criteria == nullptr) return 0;
    const CDPABDEFEXT& a = *first;
    const CDPABDEFEXT& b = *second;
    const PABMatchCriteria& c = *criteria;

    if (c.leftMargin && a.leftMargin != b.leftMargin) return 0;
    if (c.rightMargin && a.rightMargin != b.rightMargin) return 0;
    if (c.firstLineMargin && a.firstLineLeftMargin != b.firstLineLeftMargin) return 0;
    if (c.leftExtension && !ExtensionsAgree(a, b, 0x0004, 0x0008, a.leftMarginOffset, b.leftMarginOffset,
                                            a.leftMarginPercent, b.leftMarginPercent))
        return 0;
    if (c.rightExtension && !ExtensionsAgree(a, b, 0x0040, 0x0080, a.rightMarginOffset, b.rightMarginOffset,
                                             a.rightMarginPercent, b.rightMarginPercent))
        return 0;
    if (c.firstLineExtension && !ExtensionsAgree(a, b, 0x0010, 0x0020, a.firstLineOffset, b.firstLineOffset,
                                                 a.firstLinePercent, b.firstLinePercent))
        return 0;
    if (c.listKindsRequired && !OfKinds(a, required, true)) return 0;
    if (c.listKindsExcluded && OfKinds(a, excluded & ~kListAny, false)) return 0;
    if (c.spacingBefore && a.spacingBefore != b.spacingBefore) return 0;
    if (c.spacingAfter && a.spacingAfter != b.spacingAfter) return 0;
    if (c.lineSpacing && a.lineSpacing != b.lineSpacing) return 0;
    if (c.tabStops && !TabStopsAgree(a, b)) return 0;
    if (c.tabInterval && (a.tab[0] != b.tab[0] || a.tabs != 0)) return 0;
    if (c.justification && a.justifyMode != b.justifyMode) return 0;
    if (c.flags && a.flags != b.flags) return 0;
    return 1;
}

} // namespace talix
