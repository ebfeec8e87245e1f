// Hotspot ranges (htmlgen/walk_writers.h, PXMLH): the state of one call
// and the pieces its writers share: anchors opened for the range, the
// records up to the range's end, and the writers of attachment hotspots and
// sections that the range hands records to.
#pragma once

#include <cstdint>
#include <string>

#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// One call of the hotspot writer: from a hotspot begin to its end.
struct HotspotCall {
    XMLGenContext* context = nullptr;
    std::uint16_t kind = 0;
    std::uint16_t depth = 0;
    bool inLink = false;            // this range opened an anchor
    bool targetWritten = false;     // a target attribute was written for its link
    int inPageAnchor = 0;           // its link became a "#" anchor
    // The length of the output right after the ">" of the anchor start this
    // range wrote last (0: none): while nothing follows it, the start tag
    // can still take attributes.
    std::uint32_t anchorTagEnd = 0;
};

// Records an anchor the range opened: "</a>" is pushed, the range and the
// text writer know a link is open.
void OpenAnchor(HotspotCall* call);

// Closes the start tag of the anchor the range is writing (">") and
// remembers where it ends.
void EndAnchorTag(HotspotCall* call);

// Removes the ">" that ended the range's last anchor start when nothing was
// written after it, so that attributes can follow; false when it cannot.
bool ReopenAnchorTag(HotspotCall* call);

// Before a link's anchor opens (begin: the record that starts the link):
// what the font change of the link's first text will close (a span or an
// attribute element open before the link, whose font that text does not
// share) closes now. Closed later, from inside the anchor, it would close
// the anchor with it and leave the link's text outside it.
void CloseBeforeAnchor(XMLGenContext* context, const CDRecordNode* begin);

// Whether a record ends a hotspot range (127, 170, 174).
bool IsRangeEnd(const CDRecordNode* node);

// Moves the current node past every record up to and including the next
// hotspot end (or to the end of the range when none follows); returns
// whether a hotspot end was found.
bool PassOverRange(XMLGenContext* context);

// A file-attachment hotspot (0xFFA9 type 4) at the current node. Returns
// true when the records up to the hotspot end were consumed (the range end
// is then handled), false when the range goes on from the next record.
bool WriteAttachmentHotspot(HotspotCall* call);

// The range end's own part for attachments: the attachment being written
// is done.
void EndAttachment(XMLGenContext* context);

// The start of a collapsible section at the section record at the current
// node (the current node is not moved): written as the hotspot writer
// writes it (walkForm false) or as the record walk does (true); the section
// counter goes up and the section record is kept for the current hotspot
// level.
void WriteSectionStart(XMLGenContext* context, bool walkForm);

// At the end of a hotspot range of the given level (before it is lowered):
// the closing rule of a section of the ZelundaSections style that began at
// that level.
void WriteSectionEnd(XMLGenContext* context, std::uint16_t level);

} // namespace talix
