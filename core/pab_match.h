// The field-by-field comparison of two paragraph definitions under a set of
// switches, shared by the operation engine (paragraph changes), the
// generation (style mappings) and the HTML import.
#pragma once

#include <cstdint>

#include "core/paragraph_def.h"
#include "talix/export.h"

namespace talix {

// Which groups of fields PABDefinitionsMatch compares: each switch is on
// when not 0.
struct PABMatchCriteria {
    std::uint32_t leftMargin = 0;
    std::uint32_t rightMargin = 0;
    std::uint32_t firstLineMargin = 0;
    std::uint32_t spacingBefore = 0;
    std::uint32_t spacingAfter = 0;
    std::uint32_t lineSpacing = 0;
    std::uint32_t tabStops = 0;
    std::uint32_t tabInterval = 0;
    std::uint32_t justification = 0;
    std::uint32_t flags = 0;
    std::uint32_t leftExtension = 0;
    std::uint32_t rightExtension = 0;
    std::uint32_t firstLineExtension = 0;
    std::uint32_t listKindsRequired = 0;
    std::uint32_t listKindsExcluded = 0;
};

// The criteria a paragraph-style text asks for: each group of fields the
// text names (given: the kParagraphMaskSize switches the parse filled) must
// agree.
PABMatchCriteria CriteriaFromMask(const std::uint32_t* given);

// List kinds, as bits of the required and excluded masks.
constexpr std::uint32_t kListAny = 0x001;
constexpr std::uint32_t kListBullet = 0x002;
constexpr std::uint32_t kListNumbered = 0x004;
constexpr std::uint32_t kListChecked = 0x008;
constexpr std::uint32_t kListCircle = 0x010;
constexpr std::uint32_t kListSquare = 0x020;
constexpr std::uint32_t kListUnchecked = 0x040;
constexpr std::uint32_t kListLowerAlpha = 0x080;
constexpr std::uint32_t kListLowerRoman = 0x100;
constexpr std::uint32_t kListUpperAlpha = 0x200;
constexpr std::uint32_t kListUpperRoman = 0x400;

// 1 when every group the criteria switch on agrees between the two
// definitions, else 0. The list-kind switches test the first definition
// only: it must be of at least one kind of the required mask, and of none of
// the kinds 0x002 to 0x400 of the excluded mask. Both definitions are full
// 92-byte images (bytes beyond a shorter stored record zero).
int PABDefinitionsMatch(const CDPABDEFEXT* first, const CDPABDEFEXT* second, std::uint32_t required,
                                  std::uint32_t excluded, const PABMatchCriteria* criteria);

} // namespace talix
