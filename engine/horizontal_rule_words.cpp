// A horizontal rule's property words (FitToWindow, No3DShadow, Color,
// GradientColor, Width, Height) and the option reader that changes a rule
// from the same keywords.
#include <cstdio>

#include "core/font_spec.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/css_format.h"
#include "engine/font_property_writer.h"
#include "engine/target_property_writers.h"
#include "talix/session.h"

namespace talix {

namespace {

// Host offsets of the rule record and its flags.
constexpr std::uint32_t kRuleFlags = 4, kRuleWidth = 8, kRuleHeight = 10, kRuleColor = 12, kRuleGradient = 14,
                        kRuleLength = 16;
constexpr std::uint32_t kHasColor = 0x1, kHasGradient = 0x2, kFitToWindow = 0x4, kNoShadow = 0x8;
constexpr std::uint16_t kNoColorIndex = 0xFFFF;
// The colour record after a rule: its flags.
constexpr std::uint32_t kColorFlags = 2;

// Keyword positions of the HR list.
constexpr std::uint16_t kPosFit = 0, kPosShadow = 7, kPosColor = 8, kPosGradient = 9, kPosWidth = 10,
                        kPosHeight = 11, kAll = 12;

// The colour of a rule whose colour index is given, told by the colour
// record after it when there is one: a system colour, no colour, or the
// colour word of fonts.
void RuleColor(std::uint16_t index, const CDRecordNode* colorNode, char (&out)[64]) {
    if (colorNode == nullptr || colorNode->bytes == nullptr || colorNode->length < kColorLength) {
        ColorToCSS(index, out, kColorAsName);
        return;
    }
    const std::uint16_t flags = ReadWord(colorNode->bytes + kColorFlags);
    if ((flags & kColorSystem) != 0) {
        std::snprintf(out, sizeof out, "system");
    } else if ((flags & kColorNoColor) != 0) {
        std::snprintf(out, sizeof out, "none");
    } else {
        WriteColorWord(index, colorNode->bytes, colorNode->length, out, sizeof out);
    }
}

// The palette index whose colour lies nearest the given one (r + 256 g +
// 65536 b), the first of equals: the record keeps a colour as an index only.
std::uint16_t NearestPaletteIndex(std::uint32_t rgb) {
    const auto part = [](std::uint32_t value, int shift) { return static_cast<long>((value >> shift) & 0xFF); };
    std::uint16_t best = 0;
    long bestDistance = -1;
    for (unsigned index = 0; index < static_cast<unsigned>(kPaletteSize); ++index) {
        const std::uint32_t entry = PaletteRGB(index);
        long distance = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long step = part(entry, shift) - part(rgb, shift);
            distance += step * step;
        }
        if (bestDistance < 0 || distance < bestDistance) {
            best = static_cast<std::uint16_t>(index);
            bestDistance = distance;
        }
    }
    return best;
}

bool Asked(std::uint16_t selector, std::uint16_t position) { return selector == position || selector == kAll; }

// "Yes" sets the bit, "No" clears it, anything else leaves it.
void ApplyYesNo(const char* options, const char* key, char* value, std::uint32_t* flags, std::uint32_t bit) {
    if (GetOptionValue(options, key, value, kScratchSize) == 0) return;
    if (CompareNamesNoCase(value, "Yes") == 0) *flags |= bit;
    if (CompareNamesNoCase(value, "No") == 0) *flags &= ~bit;
}

// "none" takes the colour away; a colour specification sets it.
void ApplyColor(const char* options, const char* key, char* value, std::uint8_t* record, std::uint32_t* flags,
                std::uint32_t bit, std::uint32_t indexOffset) {
    if (GetOptionValue(options, key, value, kScratchSize) == 0) return;
    if (CompareNamesNoCase(value, "none") == 0) {
        *flags &= ~bit;
        WriteWord(record + indexOffset, kNoColorIndex);
        return;
    }
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (ParseColorValue(value, &index, &rgb) != kOK) return;
    // A colour given by its value (red, green and blue numbers, a hash or
    // hex form, a colour name) that no palette entry has comes with index
    // 0, which would store it as black: it takes the nearest entry instead.
    if (index < kPaletteSize && PaletteRGB(index) != rgb) index = NearestPaletteIndex(rgb);
    *flags |= bit;
    WriteWord(record + indexOffset, index);
}

} // namespace

STATUS WriteEmbeddedObjectProperties(const CDRecordNode* node, char* text, std::uint32_t capacity,
                                     std::uint16_t selector, PropertyWriterState* state) {
    if (node == nullptr || node->signature != kSigHorizontalRule || node->bytes == nullptr ||
        node->length < kRuleLength || text == nullptr || state == nullptr)
        return kOK;
    const std::uint8_t* rule = node->bytes;
    const std::uint32_t flags = ReadDword(rule + kRuleFlags);
    if (Asked(selector, kPosFit)) {
        if ((flags & kFitToWindow) != 0) AppendWord(state, text, capacity, "FitToWindow='Yes' ");
        else if (selector == kPosFit) AppendWord(state, text, capacity, "FitToWindow='No' ");
    }
    if (Asked(selector, kPosShadow)) {
        if ((flags & kNoShadow) != 0) AppendWord(state, text, capacity, "No3DShadow='Yes' ");
        else if (selector == kPosShadow) AppendWord(state, text, capacity, "No3DShadow='No' ");
    }
    char color[64];
    if (Asked(selector, kPosColor) && state->done[kPosColor] == 0) {
        if ((flags & kHasColor) != 0) {
            const CDRecordNode* next = node->next;
            RuleColor(ReadWord(rule + kRuleColor), next != nullptr && next->signature == kSigColor ? next : nullptr,
                      color);
            AppendWord(state, text, capacity, "Color='%s' ", color);
        } else if (selector == kPosColor) {
            AppendWord(state, text, capacity, "Color='none' ");
        }
        state->done[kPosColor] = 1;
    }
    if (Asked(selector, kPosGradient) && state->done[kPosGradient] == 0) {
        if ((flags & kHasGradient) != 0) {
            ColorToCSS(ReadWord(rule + kRuleGradient), color, kColorAsName);
            AppendWord(state, text, capacity, "GradientColor='%s' ", color);
        } else if (selector == kPosGradient) {
            AppendWord(state, text, capacity, "GradientColor='none' ");
        }
        state->done[kPosGradient] = 1;
    }
    if (Asked(selector, kPosWidth)) {
        const std::uint16_t width = ReadWord(rule + kRuleWidth);
        if ((flags & kFitToWindow) != 0) {
            AppendWord(state, text, capacity, "Width='%d%%' ", width);
        } else {
            AppendWord(state, text, capacity, "Width='%3.1f' ", static_cast<double>(static_cast<float>(width / 1440.0)));
        }
    }
    if (Asked(selector, kPosHeight)) {
        const std::uint16_t height = ReadWord(rule + kRuleHeight);
        AppendWord(state, text, capacity, "Height='%3.1f' ", static_cast<double>(static_cast<float>(height / 1440.0)));
    }
    return kOK;
}

STATUS ApplyEmbeddedObjectOptions(RARIvoSession* session, std::uint16_t signature, std::uint8_t* record,
                                  std::uint32_t length, const char* options, int) {
    if (session == nullptr || record == nullptr || options == nullptr || signature != kSigHorizontalRule ||
        length < kRuleLength)
        return kOK;
    char* value = session->optionValue;
    std::uint32_t flags = ReadDword(record + kRuleFlags);
    ApplyYesNo(options, "FitToWindow=", value, &flags, kFitToWindow);
    ApplyYesNo(options, "No3DShadow=", value, &flags, kNoShadow);
    ApplyColor(options, "Color=", value, record, &flags, kHasColor, kRuleColor);
    ApplyColor(options, "GradientColor=", value, record, &flags, kHasGradient, kRuleGradient);
    WriteDword(record + kRuleFlags, flags);
    return kOK;
}

} // namespace talix
