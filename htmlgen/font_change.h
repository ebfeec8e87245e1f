// The markup of a change of font: a CSS span with bold, italic, superscript
// and subscript elements, or (StandardFontTags, HybridFontTags) a font
// element with bold, italic, underline, strike-through, superscript and
// subscript elements. Each element opened pushes its closing tag. A font
// equal to the body's base font needs no markup.
#pragma once

#include <cstdint>
#include <string>

#include "core/font_spec.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Builds the markup for a change to font (with the colour value of the
// colour record after its text, or null) and, unless scratchOnly, appends
// it to the output; the context's fontMarkupLength gets its length and,
// with scratchOnly, fontMarkup its text; closes first what the
// change ends (a span of another face, colour or size; attributes the new
// font lacks). forceSize writes the size even when it is the base's;
// rightToLeft marks the text right-to-left (and keeps ForceDirection on for
// the rest of the run). The font becomes the current font; fontPushes
// counts the closing tags pushed. Returns 0.
STATUS WriteXMLFontChange(const FontId* font, const ColorValue* color, XMLGenContext* context,
                                    int scratchOnly, int forceSize, int rightToLeft);

// Whether the colour value of the colour record after a run gives the
// run's text colour: an RGB value that is neither a highlighter's nor "no
// colour". Such a value is written as the text's colour even where the
// run's colour index is the base font's (the index is then only the
// nearest colour of the palette, or none).
inline bool ColourValueGivesColour(const ColorValue* color) {
    return color != nullptr && (color->flags & kColorIsRGB) != 0 &&
           (color->flags & (kColorNoColor | kColorHighlightYellow | kColorHighlightPink | kColorHighlightBlue)) == 0;
}

// Closes, into the output, what a change to the font would close (see
// WriteXMLFontChange; colourGiven: the font comes with a colour value),
// without changing the current font or writing markup: an element about
// to open (a link's anchor) then holds the font's markup and text. Nothing
// in the font-element form, which closes nothing.
void CloseForFontChange(XMLGenContext* context, const FontId& font, bool colourGiven);

// The style declarations the span form gives a font ("font-size: 12pt;
// color: ..."), as the text of a style attribute without the inline-style
// braces; empty when the font needs none or fonts are written as font
// elements. Closes, opens and writes nothing: an element's own style
// attribute takes them.
std::string FontStyleDeclarations(XMLGenContext* context, const FontId& font);

// The HTML font size (1 to 7) of a point size, by the context's six
// thresholds (8, 10, 12, 14, 18 and 24 points unless Font1= to Font6= say
// otherwise).
int HTMLFontSizeFromPoints(const XMLGenContext* context, std::uint8_t points);

} // namespace talix
