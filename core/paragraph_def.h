// The image of a paragraph definition record with its extension words, as
// filled from a paragraph-style string.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/record_layouts.h"
#include "core/signatures.h"

class ZervaRTItem;

namespace talix {

constexpr int kMaxTabs = 20;

struct CDPABDEFEXT {
    std::uint16_t signature = kSigPabDefinition;
    std::uint16_t length = 0;
    std::uint16_t pabId = 0;
    std::uint16_t justifyMode = 0;       // 0 left, 1 right, 2 full, 3 centre, 4 none
    std::uint16_t lineSpacing = 0;       // 0 single, 1 one and a half, 2 double
    std::uint16_t spacingBefore = 0;
    std::uint16_t spacingAfter = 0;
    std::uint16_t leftMargin = 0;        // twips
    std::uint16_t rightMargin = 0;
    std::uint16_t firstLineLeftMargin = 0;
    std::uint16_t tabs = 0;              // 0: evenly spaced at tab[0]
    std::int16_t tab[kMaxTabs] = {};
    std::uint16_t flags = 0;
    std::uint32_t tabTypes = 0;          // two bits per tab
    std::uint16_t flags2 = 0;
    std::uint16_t unused = 0;
    std::uint16_t leftMarginOffset = 0;
    std::uint16_t leftMarginPercent = 0;
    std::uint16_t firstLineOffset = 0;
    std::uint16_t firstLinePercent = 0;
    std::uint16_t rightMarginOffset = 0;
    std::uint16_t rightMarginPercent = 0;
    std::uint8_t unused2[4] = {};
    std::uint32_t flags3 = 0;
};

// The host form of a paragraph definition record: its fixed part, then six
// margin words, then the extension flags.
static_assert(sizeof(CDPABDEFEXT) == kParagraphImageSize);
static_assert(offsetof(CDPABDEFEXT, leftMarginOffset) == kParagraphDefinitionFixedLength);

// Where the fields of a paragraph definition lie in host form, for code that
// reads or patches the record's bytes. The id lies at the same place in the
// definition's hide-formula record.
constexpr std::uint32_t kPabIdAt = offsetof(CDPABDEFEXT, pabId);
constexpr std::uint32_t kPabJustifyAt = offsetof(CDPABDEFEXT, justifyMode);
constexpr std::uint32_t kPabLineSpacingAt = offsetof(CDPABDEFEXT, lineSpacing);
constexpr std::uint32_t kPabSpacingBeforeAt = offsetof(CDPABDEFEXT, spacingBefore);
constexpr std::uint32_t kPabSpacingAfterAt = offsetof(CDPABDEFEXT, spacingAfter);
constexpr std::uint32_t kPabLeftMarginAt = offsetof(CDPABDEFEXT, leftMargin);
constexpr std::uint32_t kPabRightMarginAt = offsetof(CDPABDEFEXT, rightMargin);
constexpr std::uint32_t kPabFirstLineMarginAt = offsetof(CDPABDEFEXT, firstLineLeftMargin);
constexpr std::uint32_t kPabFlagsAt = offsetof(CDPABDEFEXT, flags);
constexpr std::uint32_t kPabFlags2At = offsetof(CDPABDEFEXT, flags2);
constexpr std::uint32_t kPabLeftOffsetAt = offsetof(CDPABDEFEXT, leftMarginOffset);
constexpr std::uint32_t kPabFirstLineOffsetAt = offsetof(CDPABDEFEXT, firstLineOffset);
constexpr std::uint32_t kPabRightPercentAt = offsetof(CDPABDEFEXT, rightMarginPercent);

// Twips of the margins and tab stops the default definitions give.
constexpr std::uint16_t kInchTwips = 1440;
constexpr std::int16_t kHalfInchTwips = 720;

// The paragraph definition the writers start from where none is in force:
// its fixed part only, the given id, left aligned, left and first-line
// margins of one inch, a tab every half inch, no flags.
constexpr CDPABDEFEXT DefaultParagraphDefinition(std::uint16_t pabId) {
    return CDPABDEFEXT{.length = static_cast<std::uint16_t>(kParagraphDefinitionFixedLength),
                       .pabId = pabId,
                       .leftMargin = kInchTwips,
                       .firstLineLeftMargin = kInchTwips,
                       .tab = {kHalfInchTwips}};
}

// The paragraph definition a new rich-text item starts with, in host form
// with its six margin words (84 bytes; stored, the fixed part is two bytes
// shorter and the record 82): the default one with id 1, flags 0x0100 and
// 0x0494, margin words 1440, 0, 1440, 0, 0 and 100. A blank item stores it,
// and an HTML import starts its paragraph templates from it.
constexpr CDPABDEFEXT NewItemParagraphDefinition() {
    CDPABDEFEXT definition = DefaultParagraphDefinition(1);
    definition.length = static_cast<std::uint16_t>(kParagraphDefinitionMarginsLength);
    definition.flags = 0x0100;
    definition.flags2 = 0x0494;
    definition.leftMarginOffset = kInchTwips;
    definition.firstLineOffset = kInchTwips;
    definition.rightMarginPercent = 100;
    return definition;
}

// The paragraph definition an operation run holds until its walk meets one
// outside a table: its fixed part, id 1, margins of one inch left and right,
// no first-line margin, a tab every half inch and the flag word 0x0494.
constexpr CDPABDEFEXT RunParagraphDefinition() {
    CDPABDEFEXT definition = DefaultParagraphDefinition(1);
    definition.rightMargin = kInchTwips;
    definition.firstLineLeftMargin = 0;
    definition.flags = 0x0494;
    return definition;
}

// Indexes of the paragraph mask switches.
enum ParagraphMaskBit : int {
    kPmLeftMargin = 0, kPmRightMargin, kPmFirstLineMargin, kPmSpacingAbove, kPmSpacingBelow,
    kPmLineSpacing, kPmTabs, kPmTabInterval, kPmJustify, kPmFlagsInPlace, kPmFlagsSet, kPmFlagsClear,
    kPmLeftExtension, kPmRightExtension, kPmFirstLineExtension, kPmShiftLeftOffset, kPmShiftRightOffset,
    kPmShiftLeftPercent, kPmShiftRightPercent, kPmListType, kPmListClear, kParagraphMaskSize
};

// Whether a paragraph-style string names anything of a paragraph (a margin,
// spacing, tabs, justification, a flag or list word, a shift): one that
// names nothing changes no paragraph.
bool ParagraphStyleNamesAnything(const char* style, ZervaRTItem* item);

} // namespace talix
