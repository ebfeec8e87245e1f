// The pictures of document, view, database and anchor links: where the
// markup finds them (an option's value, else the web server's icon) and,
// with LocalDominoSymbols, the small GIF pictures of the system's own that
// a run writes once each next to its output.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

enum class LinkIcon : std::uint8_t { Broken, Database, View, Document, Anchor };

// The icon's source in markup: its option's value (BrokenLinkGraphic=,
// DBLinkGraphic= ...), else its default path under "/icons/".
const char* LinkIconPath(const XMLGenContext* context, LinkIcon icon);

// With LocalDominoSymbols on, writes the icon's picture (the broken link
// has none) the first time a run needs it, as a file of its fixed name in
// ImageDirectory= (made with its parents when missing), else in the
// temporary directory. Returns 0 (also when the directory cannot be made:
// nothing is written), or 1028 when the file cannot be written.
STATUS WriteLinkIconFile(XMLGenContext* context, LinkIcon icon);

// Marks the icon as used by the output when its source is a MIME part
// ("cid:"), so that a MIME message embeds it.
void NoteLinkIconUse(XMLGenContext* context, LinkIcon icon, const char* source);

// The picture of an icon (empty for the broken link).
struct IconPicture {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t size = 0;
};
IconPicture LinkIconPicture(LinkIcon icon);

} // namespace talix
