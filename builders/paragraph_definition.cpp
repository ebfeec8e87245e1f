// SetParagraphDefinition: merges a parsed paragraph style (margins, their
// extension words, spacing, tabs, justification, flags and list kinds) into
// a paragraph definition.
#include <algorithm>
#include <cstring>

#include "builders/basic_builders.h"
#include "core/clamp.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"

namespace talix {

namespace {

// Flags bits.
constexpr std::uint16_t kFlagAlways = 0x0100;
constexpr std::uint16_t kFlagBullet = 0x0400;
constexpr std::uint16_t kFlagNumbered = 0x1000;
constexpr std::uint16_t kFlagsList = kFlagBullet | kFlagNumbered;
// Flags2 bits: the list kinds, the use of each extension word, the words
// that replace the in-place flag words, and the extension mark.
constexpr std::uint16_t kFlags2List = 0x3802;
constexpr std::uint16_t kUsesLeftOffset = 0x0004, kUsesLeftPercent = 0x0008;
constexpr std::uint16_t kUsesFirstOffset = 0x0010, kUsesFirstPercent = 0x0020;
constexpr std::uint16_t kUsesRightOffset = 0x0040, kUsesRightPercent = 0x0080;
constexpr std::uint16_t kLeftFromMargin = 0x0100, kFirstFromMargin = 0x0200;
constexpr std::uint16_t kRightModes = 0x04C0;
constexpr std::uint16_t kFlags2Words = 0x4001;   // HIDE_WEB and RTL
constexpr std::uint16_t kExtensionMark = 0x8000;

// Twips per 100 percent of a percentage margin.
constexpr std::int32_t kPercentBase = 12024;
constexpr std::int32_t kListIndent = 360;
constexpr std::int32_t kListIndentPercent = 3;

// The flags and flags2 bits of each list type (bits 1 to 10).
struct ListKind {
    std::uint16_t flags;
    std::uint16_t flags2;
};
constexpr ListKind kListKinds[11] = {
    {kFlagBullet, 0},          {kFlagBullet, 0},          {kFlagNumbered, 0},
    {kFlagBullet, 0x0002},     {kFlagBullet, 0x0800},     {kFlagBullet, 0x1000},
    {kFlagBullet, 0x2000},     {kFlagNumbered, 0x1802},   {kFlagNumbered, 0x1002},
    {kFlagNumbered, 0x1800},   {kFlagNumbered, 0x0802},
};

bool IsList(const CDPABDEFEXT& def) { return (def.flags & kFlagsList) != 0 || (def.flags2 & kFlags2List) != 0; }

// Whether the definition is of the list type of one bit (bit 0: any list).
bool HasListType(const CDPABDEFEXT& def, int bit) {
    if (bit == 0) return IsList(def);
    return (def.flags & kFlagsList) == kListKinds[bit].flags && (def.flags2 & kFlags2List) == kListKinds[bit].flags2;
}

bool HasAnyListType(const CDPABDEFEXT& def, std::uint32_t types) {
    for (int bit = 0; bit <= 10; ++bit) {
        if ((types & (1u << bit)) != 0 && HasListType(def, bit)) return true;
    }
    return false;
}

// A margin from a percentage extension word.
std::uint16_t PercentMargin(std::uint16_t percent) { return ClampToWord(percent * kPercentBase / 100); }

// Grows an offset and a percentage extension word by their steps when their
// use bits are on; a word still 0 starts from a base instead and the
// definition stops taking that margin from its plain margin field.
void StepExtension(CDPABDEFEXT* def, std::uint16_t uses, std::uint16_t* offset, std::uint16_t* percent,
                   std::uint16_t offsetBit, std::uint16_t percentBit, std::uint16_t fromMargin, std::int32_t step,
                   std::int32_t percentStep, bool* wordSet) {
    if ((uses & offsetBit) != 0) {
        if (*offset == 0) {
            *offset = ClampToWord(step + 1440);
            def->flags2 &= static_cast<std::uint16_t>(~fromMargin);
        } else {
            *offset = ClampToWord(*offset + step);
        }
        *wordSet = true;
    }
    if ((uses & percentBit) != 0) {
        if (*percent == 0) {
            *percent = ClampToWord(percentStep + 12);
            def->flags2 &= static_cast<std::uint16_t>(~fromMargin);
        } else {
            *percent = ClampToWord(*percent + percentStep);
        }
        *wordSet = true;
    }
}

} // namespace

STATUS SetParagraphDefinition(std::uint8_t* definition, const CDPABDEFEXT* style, std::uint16_t flagsSet,
                              std::uint16_t flagsClear, std::uint16_t flags2Set, std::uint16_t flags2Clear,
                              std::uint32_t extensionSet, std::uint32_t extensionClear, std::uint32_t listType,
                              std::uint32_t listRemove, std::int32_t leftStep, std::int32_t rightStep,
                              std::int32_t extensionStep, std::int32_t rightPercentStep, const std::uint32_t* given,
                              int optionMode, int markExtension) {
    if (definition == nullptr) return kArgumentError;
    const CDPABDEFEXT noStyle;
    const std::uint32_t nothingGiven[kParagraphMaskSize] = {};
    if (style == nullptr) style = &noStyle;
    if (given == nullptr) given = nothingGiven;
    auto has = [given](int switchIndex) { return given[switchIndex] != 0; };

    // Bytes beyond the definition's length are not part of it.
    const std::uint16_t length = std::min<std::uint16_t>(ReadWord(definition + 2), kParagraphImageSize);
    CDPABDEFEXT def;   // every field 0 but the signature
    std::memcpy(&def, definition, length);

    bool changed = leftStep != 0 || rightStep != 0 || extensionStep != 0 || rightPercentStep != 0 ||
                   listType != 0 || listRemove != 0;
    for (int i = 0; i < kParagraphMaskSize; ++i) changed = changed || has(i);
    bool wordSet = false;                 // an extension word was set
    std::uint16_t usedBits = 0;           // flags2 use bits set here

    def.flags |= kFlagAlways;

    // A new list indents the paragraph, a removed one takes the indent back.
    if (optionMode != 0 && !has(kPmLeftMargin) && !has(kPmFirstLineMargin) && !has(kPmLeftExtension)) {
        if (listType != 0 && listType != 1 && !IsList(def)) {
            leftStep = kListIndent;
            extensionStep = kListIndentPercent;
        } else if (HasAnyListType(def, listRemove)) {
            leftStep = -kListIndent;
            extensionStep = -kListIndentPercent;
        }
    }

    // Left margin.
    if (has(kPmLeftMargin)) {
        def.leftMargin = style->leftMargin;
        if (optionMode != 0) {
            if (!has(kPmFirstLineMargin)) def.firstLineLeftMargin = style->leftMargin;
            if (!has(kPmLeftExtension)) {
                def.leftMarginOffset = style->leftMargin;
                usedBits |= kUsesLeftOffset;
                wordSet = true;
            }
            if (!has(kPmFirstLineExtension)) {
                def.firstLineOffset = style->leftMargin;
                usedBits |= kUsesFirstOffset;
                wordSet = true;
            }
        }
    } else if (leftStep != 0) {
        def.leftMargin = ClampToWord(def.leftMargin + leftStep);
    }

    // Right margin.
    if (has(kPmRightMargin)) {
        def.rightMargin = style->rightMargin;
        if (optionMode != 0) {
            def.rightMarginOffset = style->rightMargin;
            usedBits |= kUsesRightOffset;
            if (style->rightMargin == 0) {
                def.rightMarginPercent = 100;
                usedBits |= kUsesRightPercent;
            }
            wordSet = true;
        }
    } else if (rightStep != 0) {
        def.rightMargin = ClampToWord(def.rightMargin + rightStep);
    }
    if (optionMode != 0 && !has(kPmRightMargin) && !has(kPmRightExtension) && rightStep == 0 &&
        ((def.flags2 | usedBits) & kRightModes) == 0) {
        def.rightMarginPercent = 100;
        wordSet = true;
    }

    // First-line margin.
    if (has(kPmFirstLineMargin)) {
        def.firstLineLeftMargin = style->firstLineLeftMargin;
        if (optionMode != 0) {
            def.firstLineOffset = style->firstLineLeftMargin;
            usedBits |= kUsesFirstOffset;
            wordSet = true;
            if (!has(kPmLeftMargin)) def.leftMargin = style->firstLineLeftMargin;
        }
    }
    def.flags2 |= usedBits;

    // The extension words of the left and first-line margins.
    if (has(kPmLeftExtension)) {
        if (style->flags2 & kUsesLeftOffset) def.leftMarginOffset = style->leftMarginOffset;
        if (style->flags2 & kUsesLeftPercent) def.leftMarginPercent = style->leftMarginPercent;
        wordSet = wordSet || (style->flags2 & (kUsesLeftOffset | kUsesLeftPercent)) != 0;
        if (optionMode != 0 && !has(kPmLeftMargin) && (style->flags2 & (kUsesLeftOffset | kUsesLeftPercent)) != 0) {
            const std::uint16_t margin = (style->flags2 & kUsesLeftPercent) ? PercentMargin(def.leftMarginPercent)
                                                                           : def.leftMarginOffset;
            def.leftMargin = margin;
            if (!has(kPmFirstLineMargin)) def.firstLineLeftMargin = margin;
        }
    } else if (leftStep != 0) {
        StepExtension(&def, def.flags2 | style->flags2, &def.leftMarginOffset, &def.leftMarginPercent,
                      kUsesLeftOffset, kUsesLeftPercent, kLeftFromMargin, leftStep, extensionStep, &wordSet);
    }
    if (has(kPmFirstLineExtension)) {
        if (style->flags2 & kUsesFirstOffset) def.firstLineOffset = style->firstLineOffset;
        if (style->flags2 & kUsesFirstPercent) def.firstLinePercent = style->firstLinePercent;
        wordSet = wordSet || (style->flags2 & (kUsesFirstOffset | kUsesFirstPercent)) != 0;
        if (optionMode != 0 && !has(kPmFirstLineMargin) &&
            (style->flags2 & (kUsesFirstOffset | kUsesFirstPercent)) != 0) {
            def.firstLineLeftMargin = (style->flags2 & kUsesFirstPercent) ? PercentMargin(def.firstLinePercent)
                                                                           : def.firstLineOffset;
        }
    } else if (leftStep != 0) {
        StepExtension(&def, def.flags2 | style->flags2, &def.firstLineOffset, &def.firstLinePercent,
                      kUsesFirstOffset, kUsesFirstPercent, kFirstFromMargin, leftStep, extensionStep, &wordSet);
    }

    // The extension words of the right margin.
    if (has(kPmRightExtension)) {
        if (style->flags2 & kUsesRightOffset) def.rightMarginOffset = style->rightMarginOffset;
        if (style->flags2 & kUsesRightPercent)
            def.rightMarginPercent = style->rightMarginPercent != 0 ? style->rightMarginPercent : 100;
        wordSet = wordSet || (style->flags2 & (kUsesRightOffset | kUsesRightPercent)) != 0;
    } else {
        const std::uint16_t uses = def.flags2 | style->flags2;
        if (rightStep != 0 && (uses & kUsesRightOffset) != 0) {
            def.rightMarginOffset = ClampToWord(def.rightMarginOffset + rightStep);
            wordSet = true;
        }
        if (rightPercentStep != 0 && (uses & kUsesRightPercent) != 0) {
            def.rightMarginPercent = ClampToWord(def.rightMarginPercent + rightPercentStep);
            wordSet = true;
        }
    }

    // Spacing, justification, tabs and the in-place flag words.
    if (has(kPmSpacingAbove)) def.spacingBefore = style->spacingBefore;
    if (has(kPmSpacingBelow)) def.spacingAfter = style->spacingAfter;
    if (has(kPmLineSpacing)) def.lineSpacing = style->lineSpacing;
    if (has(kPmJustify)) def.justifyMode = style->justifyMode;
    if (has(kPmTabs)) {
        def.tabs = std::min<std::uint16_t>(style->tabs, kMaxTabs);
        std::memcpy(def.tab, style->tab, sizeof def.tab);
        def.tabTypes = style->tabTypes;
    }
    if (has(kPmTabInterval)) {
        def.tabs = 0;
        def.tab[0] = style->tab[0];
    }
    if (has(kPmFlagsInPlace)) {
        // The flag words replace the flags they name; the list kinds, the
        // margin modes and the extension mark stay as they were.
        def.flags = static_cast<std::uint16_t>((style->flags & ~kFlagsList) | (def.flags & kFlagsList) | kFlagAlways);
        def.flags2 = static_cast<std::uint16_t>((style->flags2 & ~kFlags2List) | (def.flags2 & ~kFlags2Words));
    }

    // Lists removed.
    if (HasAnyListType(def, listRemove)) {
        def.flags &= static_cast<std::uint16_t>(~kFlagsList);
        def.flags2 &= static_cast<std::uint16_t>(~kFlags2List);
    }

    if (changed) {
        def.flags &= static_cast<std::uint16_t>(~flagsClear);
        def.flags2 &= static_cast<std::uint16_t>(~flags2Clear);
        def.flags3 &= ~extensionClear;
    }

    // The list type applied: the lowest bit given decides.
    if ((listType & 0x7FEu) != 0) {
        def.flags &= static_cast<std::uint16_t>(~kFlagsList);
        def.flags2 &= static_cast<std::uint16_t>(~kFlags2List);
        int bit = 1;
        while ((listType & (1u << bit)) == 0) ++bit;
        def.flags |= kListKinds[bit].flags;
        def.flags2 |= kListKinds[bit].flags2;
    } else if ((listType & 1u) != 0) {
        def.flags |= kFlagBullet;
    }

    bool marked = false;
    std::uint32_t extensionPresent = ReadDword(def.unused2);
    if (markExtension != 0) {
        def.flags2 |= kExtensionMark;
        extensionPresent |= 1u;
        if (length < kParagraphImageSize) def.flags3 = 4;
        marked = true;
    }
    if (changed) {
        def.flags |= flagsSet;
        def.flags2 |= flags2Set;
        if (extensionSet != 0) {
            def.flags3 |= extensionSet;
            def.flags2 |= kExtensionMark;
            extensionPresent |= 1u;
            marked = true;
        }
    }

    std::uint16_t newLength = length;
    if (marked && length < kParagraphImageSize) {
        newLength = kParagraphImageSize;
    } else if (wordSet && length < kParagraphDefinitionMarginsLength) {
        newLength = kParagraphDefinitionMarginsLength;
    }
    if (newLength < kParagraphImageSize) {
        def.flags2 &= static_cast<std::uint16_t>(~kExtensionMark);
        extensionPresent &= ~1u;
    }
    WriteDword(def.unused2, extensionPresent);
    def.length = newLength;
    std::memcpy(definition, &def, sizeof def);
    return kOK;
}

} // namespace talix
