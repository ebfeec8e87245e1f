// The built-in pictures a MIME message carries as parts of its own: the
// four link icons (12 x 14 pixels), the section and table-tab icons and the
// two check-list boxes (7 x 7 pixels), all GIF images kept as Base64 text.
#pragma once

#include <cstddef>

namespace talix {

enum class IconKind {
    DocLink,      // the generator's link flags 0 to 3, in this order
    ViewLink,
    DatabaseLink,
    AnchorLink,
    Section,
    TableTab,
    Unchecked,
    Checked,
};

struct MimeIcon {
    IconKind kind;
    const char* name;        // the picture's name, also its Content-ID without angle brackets
    const char* fileName;    // the name given in its part header
    const char* base64;      // the GIF, encoded, one line
};

constexpr std::size_t kMimeIconCount = 8;

// The icons in the order of the generation's image list (numbered 1 to 8).
const MimeIcon* MimeIcons();
const MimeIcon& MimeIconOf(IconKind kind);

} // namespace talix
