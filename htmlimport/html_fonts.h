// The font of a run of imported text: face, size, style bits, colour,
// highlight and direction worked out from the elements around a text node
// (font, b, strong, i, em, u, s, strike, a, sub, sup, tt, headings) and
// from CSS; and the mapping of HTML and CSS size words to points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/font_spec.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct BuildContext;

// The point size of an HTML font size. Without a sign, 1 to 7 give the
// context's sizes 1 to 7 and any other number its base size. With '+' or
// '-' the size steps from the index of the current size (the largest i
// whose size the current size reaches; 1 below size 1), up to 7 or down to
// 1; index 0 gives the base size.
std::uint8_t MapHTMLFontSize(const HTMLImportContext* import, long size, char sign,
                                       std::uint8_t current);

// The point size of a CSS size keyword (compared without regard to case):
// xx-small size 1, x-small halfway between sizes 1 and 2, small 2, medium
// 3, large 4, x-large 5, xx-large 6, smaller the largest size at or below
// the current one (size 1 below it); any other word, and no word, keep the
// current size.
std::uint8_t FontSizeKeywordToPoints(const HTMLImportContext* import, const char* keyword,
                                               std::uint8_t current);

// The face id of a face name as a font element or a family names it: the
// name cut to maxChars characters and at its first comma, blanks and quotes
// stripped at both ends; the generic names (sans-serif, Default Sans Serif
// and Swiss 1; serif, Default Serif and Roman 0; Default MultiLingual 2;
// Courier and Default Monospace 4; Default User Interface 3, compared
// without regard to case); else a face the import met before; else the face
// defined in the item's font table, remembered while the import holds
// fewer than kRememberedFaces names. -1 when the name is empty (it names no
// face).
int ImportFaceId(BuildContext* context, HTMLImportContext* import, const char* name,
                                    std::size_t maxChars);

// The font of the text node's run, and the colour record the run takes
// (colour and highlight bits) when it needs one. Sets the context's
// rightToLeft from the direction found, and its font colour text from the
// color attribute of the innermost font element.
struct RunFont {
    FontId font{1, 0, 0, 10};
    bool colored = false;          // a colour record goes with the run
    std::uint16_t colorFlags = 0;  // 1: text colour; highlight bits
    std::uint32_t rgb = 0;         // r + 256 g + 65536 b
};
RunFont CalcRunFont(BuildContext* context, HTMLImportContext* import, const HtmlNode* text);

// The font text of a URL hotspot's anchor, written into out (cut to size
// bytes with its terminator): the anchor's CSS color, else its link
// attribute, cut to kFontColorChars characters, else "Blue"; then
// " -Underline -Strikethrough" for text-decoration none, else " +Underline"
// (when the value holds "underline" or there is none) and " +Strikethrough"
// (line-through); " <n>pt" from font-size (pixels at 0.77 point, halves up;
// points; a keyword from the current size); " -italic" or " +italic" from
// font-style; " -bold" or " +bold" from font-weight.
void BuildLinkFontText(const HTMLImportContext* import, const HtmlNode* anchor, std::uint8_t currentSize,
                       char* out, std::size_t size);

} // namespace talix
