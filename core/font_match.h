// The font matchers: whether a text run's font (and colour) meets the
// criteria of a parsed font specification. Only the criteria selected in
// the font specification's mask are tested.
#pragma once

#include "core/font_spec.h"

namespace talix {

// 1 when the run's font id meets every selected criterion: face, size,
// colour index and attributes equal; at least one of the attributes to set
// present; none of the attributes to clear present. Else 0.
int MatchFontID(FontId run, const ParsedFontSpec& spec, const FontSpecMask& mask);

// As MatchFontID, with the run's colour value (from the colour record that
// follows it; null when it has none) taken into account: an RGB colour that
// equals the font specification's, or a standard colour of the font specification's
// index, matches its colour; the colour flags to set, to clear and in place
// (the highlight bits) are tested against the colour value's flags.
int MatchFontAttributes(FontId run, const ColorValue* runColor, const ParsedFontSpec& spec,
                        const FontSpecMask& mask);

} // namespace talix
