// A horizontal rule's property words (FitToWindow, No3DShadow, Color,
// GradientColor, Width, Height) and the option reader that changes a rule
// from the same keywords.
#include <cstdio>

#include <strings.h>

#include "core/color_tables.h"
#include "core/font_spec.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "engine/target_property_writers.h"
#include "talix/session.h"

namespace talix {

namespace {

// Host offsets of the rule record and its flags.
constexpr std::uint32_t kRuleFlags = 4, kRuleWidth = 8, kRuleHeight = 10, kRuleColor = 12, kRuleGradient = 14,
                        kRuleLength = 16;
constexpr std::uint32_t kHasColor = 0x1, kHasGradient = 0x2, kFitToWindow = 0x4, kNoShadow = 0x8;
constexpr std::uint16_t kNoColorIndex = 0xFFFF;
// The colour record after a rule: flags, red, green, blue, then a gradient.
constexpr std::uint32_t kColorFlags = 2, kColorRed = 4, kGradientRed = 10, kOneColorLength = 8;
constexpr std::uint16_t kColorGradient = 0x0010;

// Keyword positions of the HR list.
constexpr std::uint16_t kPosFit = 0, kPosShadow = 7, kPosColor = 8, kPosGradient = 9, kPosWidth = 10,
                        kPosHeight = 11, kAll = 12;

constexpr int kStandardColors = 16;

// The colour of a rule whose colour index is given, told by the colour
// record after it when there is one.
void RuleColor(std::uint16_t index, const CDRecordNode* colorNode, char (&out)[40]) {
    if (colorNode == nullptr || colorNode->bytes == nullptr || colorNode->length < kOneColorLength) {
        StandardColorName(index, out, sizeof out);
        return;
    }
    const std::uint8_t* color = colorNode->bytes;
    const std::uint16_t flags = ReadWord(color + kColorFlags);
    if ((flags & kColorSystem) != 0) {
        std::snprintf(out, sizeof out, "system");
        return;
    }
    if ((flags & kColorNoColor) != 0) {
        std::snprintf(out, sizeof out, "none");
        return;
    }
    const std::uint32_t rgb = color[kColorRed] | color[kColorRed + 1] << 8 | color[kColorRed + 2] << 16;
    bool matches = false;
    if (colorNode->length == kOneColorLength) {
        for (int i = 0; i < kStandardColors; ++i) {
            if (PaletteRGB(static_cast<unsigned>(i)) == rgb) {
                matches = i == index;
                break;
            }
        }
    }
    if ((flags & kColorIsRGB) != 0 && !matches) {
        int used = std::snprintf(out, sizeof out, "RGB%d,%d,%d", color[kColorRed], color[kColorRed + 1],
                                 color[kColorRed + 2]);
        if ((flags & (kColorIsRGB | kColorGradient)) == (kColorIsRGB | kColorGradient) &&
            colorNode->length > kOneColorLength && colorNode->length >= kGradientRed + 3 && used > 0) {
            std::snprintf(out + used, sizeof out - used, " GRADIENT%d,%d,%d", color[kGradientRed],
                          color[kGradientRed + 1], color[kGradientRed + 2]);
        }
        return;
    }
    StandardColorName(index, out, sizeof out);
}

bool Asked(std::uint16_t selector, std::uint16_t position) { return selector == position || selector == kAll; }

// "Yes" sets the bit, "No" clears it, anything else leaves it.
void ApplyYesNo(const char* options, const char* key, char* value, std::uint32_t* flags, std::uint32_t bit) {
    if (GetOptionValue(options, key, value, kScratchSize) == 0) return;
    if (strcasecmp(value, "Yes") == 0) *flags |= bit;
    if (strcasecmp(value, "No") == 0) *flags &= ~bit;
}

// "none" takes the colour away; a colour specification sets it.
void ApplyColor(const char* options, const char* key, char* value, std::uint8_t* record, std::uint32_t* flags,
                std::uint32_t bit, std::uint32_t indexOffset) {
    if (GetOptionValue(options, key, value, kScratchSize) == 0) return;
    if (strcasecmp(value, "none") == 0) {
        *flags &= ~bit;
        WriteWord(record + indexOffset, kNoColorIndex);
        return;
    }
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (ParseColorSpec(value, &index, &rgb) != kOK) return;
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
        if ((flags & kFitToWindow) != 0) AppendWord(text, capacity, "FitToWindow='Yes' ");
        else if (selector == kPosFit) AppendWord(text, capacity, "FitToWindow='No' ");
    }
    if (Asked(selector, kPosShadow)) {
        if ((flags & kNoShadow) != 0) AppendWord(text, capacity, "No3DShadow='Yes' ");
        else if (selector == kPosShadow) AppendWord(text, capacity, "No3DShadow='No' ");
    }
    char color[40];
    if (Asked(selector, kPosColor) && state->done[kPosColor] == 0) {
        if ((flags & kHasColor) != 0) {
            const CDRecordNode* next = node->next;
            RuleColor(ReadWord(rule + kRuleColor), next != nullptr && next->signature == kSigColor ? next : nullptr,
                      color);
            AppendWord(text, capacity, "Color='%s' ", color);
        } else if (selector == kPosColor) {
            AppendWord(text, capacity, "Color='none' ");
        }
        state->done[kPosColor] = 1;
    }
    if (Asked(selector, kPosGradient) && state->done[kPosGradient] == 0) {
        if ((flags & kHasGradient) != 0) {
            StandardColorName(ReadWord(rule + kRuleGradient), color, sizeof color);
            AppendWord(text, capacity, "GradientColor='%s' ", color);
        } else if (selector == kPosGradient) {
            AppendWord(text, capacity, "GradientColor='none' ");
        }
        state->done[kPosGradient] = 1;
    }
    if (Asked(selector, kPosWidth)) {
        const std::uint16_t width = ReadWord(rule + kRuleWidth);
        if ((flags & kFitToWindow) != 0) {
            AppendWord(text, capacity, "Width='%d%%' ", width);
        } else {
            AppendWord(text, capacity, "Width='%3.1f' ", static_cast<double>(static_cast<float>(width / 1440.0)));
        }
    }
    if (Asked(selector, kPosHeight)) {
        const std::uint16_t height = ReadWord(rule + kRuleHeight);
        AppendWord(text, capacity, "Height='%3.1f' ", static_cast<double>(static_cast<float>(height / 1440.0)));
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
