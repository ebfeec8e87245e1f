// CSS lengths in inches: a length text read with the import's units, and a
// length added up over an element and its ancestors (nested indents).
#pragma once

#include <cstdint>
#include <string_view>

namespace talix {

struct HTMLImportContext;
struct HtmlNode;

// Reads "PixelMultiplier=" (twips per pixel, kept within 1 to 99, else 15)
// and "EMMultiplier=" (inches per em, kept within 0.05 to 1.0, else 0.15)
// from the context's option text into the context.
void ReadLengthOptions(HTMLImportContext* import);

// A length text in inches. The unit is the first of "in", "cm", "mm",
// "pt", "px", "em", "ex" (case-sensitive) whose letters lie inside the
// text's first word; the number is read from the start of the text ("px"
// reads a whole number). Without a unit a text that begins and ends with a
// digit is a whole number of pixels, of which one below 1 counts only with
// the context's AllowZeroSize. Anything else, and a number too large for a
// length, gives defaultValue. So "10px solid" is 10 pixels, "solid 10px"
// the default, "inherit" 0 (its "in" is found and no number precedes it),
// "12.5" 12 pixels. The context may be null (default units).
float ParseCSSLength(const HTMLImportContext* import, const char* text, float defaultValue);

// The pixels of an image's width or height as written: the first of the
// units "in", "cm", "mm", "pt", "px", "em", "ex" found anywhere in the text
// decides (inches, centimetres, millimetres and points through 1,440 twips
// per inch and the context's PixelMultiplier; em and ex through its
// EMMultiplier; pixels as the whole number). A text without a unit must
// begin and end with a digit and give at least 1 (0 too with the context's
// AllowZeroSize); anything else, a percentage among them, and a null text
// give defaultValue. Results are held within 0 to 65,535.
std::uint16_t ParseHTMLLength(const HTMLImportContext* import, const char* text, std::uint16_t defaultValue);

// A length value as the paragraph and indent code reads it: a value holding
// "%" is its number times 0.075 inch ("10%" is 0.75 inch), any other is
// ParseCSSLength with default 0.
float StyleLengthInches(const HTMLImportContext* import, std::string_view value);

// The line spacing of a line-height given as a multiple of the font size,
// a number without unit ("1.5") or a percentage ("150%"): 2 for double
// spacing from twice the size up, 1.5 from one and a half, 1 below; 0 for
// any other value (a length, a keyword), which is read as a length.
float LineHeightSpacing(std::string_view value);

// The length property on the node and its ancestors (inline style and the
// context's rules; nodes that are no element are passed over). depth 0
// answers the nearest value; depth 1 the nearest value above the first one
// found; depth 2 or more the sum over every element on the way up that has
// the property. A td or th without the property ends the search with 0
// added when depth is 0 or stopAtCell is set, and otherwise counts as a
// level. Inches; 0 without node or property.
float SumStyleLengthUpTree(const HTMLImportContext* import, const HtmlNode* node, const char* property,
                           int depth, bool stopAtCell);

// Whole pixels of a length in inches (inches × 1440 ÷ PixelMultiplier), cut
// toward zero; the rounding error of the float arithmetic does not cost a
// pixel, and lengths beyond the int range are held at its ends.
int InchesToPixels(const HTMLImportContext* import, float inches);

// The decimal number at the start of a text (after blanks), as "12.5in"
// gives 12.5; 0 when the text does not begin with one.
double LeadingNumber(std::string_view text);

// The whole number at the start of a text (after blanks), as "12px" and
// "12.7px" give 12; 0 when the text does not begin with one; numbers beyond
// the range of long are held at its ends.
long LeadingInteger(std::string_view text);

} // namespace talix
