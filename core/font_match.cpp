// The font matchers of the text-run operations.
#include "core/font_match.h"

namespace talix {

namespace {

constexpr std::uint16_t kHighlightBits = 0xF000;
// The standard colours a colour value may name by its RGB.
constexpr unsigned kStandardColors = 16;

std::uint32_t ColorRGB(const ColorValue& color) {
    return static_cast<std::uint32_t>(color.red) | static_cast<std::uint32_t>(color.green) << 8 |
           static_cast<std::uint32_t>(color.blue) << 16;
}

bool AttributesMatch(FontId run, const ParsedFontSpec& spec, const FontSpecMask& mask) {
    if (mask.attributes && run.attributes != spec.font.attributes) return false;
    if (mask.attributesSet && (run.attributes & spec.attributesSet) == 0) return false;
    if (mask.attributesClear && (run.attributes & spec.attributesClear) != 0) return false;
    return true;
}

bool ColorMatches(FontId run, const ColorValue* runColor, const ParsedFontSpec& spec) {
    if (runColor != nullptr && ((runColor->flags ^ spec.color.flags) & kColorIsRGB) != 0) {
        // One side is an RGB colour, the other is not: the run's RGB must be
        // the font specification's, or the standard colour of its index.
        const std::uint32_t rgb = ColorRGB(*runColor);
        if ((runColor->flags & kColorIsRGB) != 0 && rgb == spec.rgb) return true;
        for (unsigned index = 0; index < kStandardColors; ++index) {
            if (PaletteRGB(index) == rgb) return index == spec.font.color;
        }
        return false;
    }
    if (run.color != spec.font.color) return false;
    // A run without a colour value has no RGB colour of its own.
    return runColor != nullptr || ColorRGB(spec.color) == 0;
}

} // namespace

int MatchFontID(FontId run, const ParsedFontSpec& spec, const FontSpecMask& mask) {
    if (mask.face && run.face != spec.font.face) return 0;
    if (mask.size && run.size != spec.font.size) return 0;
    if (mask.color && run.color != spec.font.color) return 0;
    return AttributesMatch(run, spec, mask) ? 1 : 0;
}

int MatchFontAttributes(FontId run, const ColorValue* runColor, const ParsedFontSpec& spec,
                        const FontSpecMask& mask) {
    if (mask.face && run.face != spec.font.face) return 0;
    if (mask.size && run.size != spec.font.size) return 0;
    if (mask.color && !ColorMatches(run, runColor, spec)) return 0;
    if (!AttributesMatch(run, spec, mask)) return 0;
    const std::uint16_t flags = runColor != nullptr ? runColor->flags : 0;
    if (mask.colorFlags && (flags & kHighlightBits) != 0) return 0;
    if (mask.colorFlagsSet && (runColor != nullptr ? (flags & spec.colorFlagsSet) == 0 : spec.colorFlagsSet != 0))
        return 0;
    if (mask.colorFlagsClear && (flags & spec.colorFlagsClear) != 0) return 0;
    return 1;
}

} // namespace talix
