// The records of clickable text: pop-up hotspots, URL hotspots, Notes links
// (to a database, a view or a document, with or without visible text) and
// hypertext links to another note of the same database. Every record goes
// through the append gate of the run's record output; each builder returns
// the first status of a hotspot, link-target, link or text record that the
// gate refused (records already appended stay).
#pragma once

#include <cstdint>

#include "core/operation_inputs.h"
#include "core/statuses.h"

class RARIvoSession;

namespace talix {

struct RecordOutput;
struct BuildContext;

// The hotspot end record (a byte record of the given signature, normally
// 0xAE) and a CDEND whose inner signature is that signature.
STATUS AppendHotspotEnd(BuildContext* context, std::uint16_t signature);

// A pop-up on visible text: the pop-up text is the hotspot's data. Options:
// "Hotspot=Mouseover" (type 22, else 1) and "Style=" ("Highlight", "None").
// The text is written in the item's PopUpFont, else "+Highlight".
STATUS AppendPopupHotspot(const char* text, const char* popupText, const char* options,
                          BuildContext* context);

// Opens a URL hotspot and, unless noText is set, writes its text in the URL
// font; the hotspot stays open. A length of 0 means the text is measured.
// Returns 1028 for a missing or empty URL.
STATUS AppendURLHotspot(const char* text, std::uint32_t textLength, const char* url,
                        std::uint32_t urlLength, BuildContext* context, int noText);
// AppendURLHotspot followed by the hotspot end and its CDEND.
STATUS AppendURLHotspotWithEnd(const char* text, std::uint32_t textLength, const char* url,
                               std::uint32_t urlLength, BuildContext* context);

// A Notes link from the chunk's link request (engine/chunk_work_state.h).
// With wrap set only the hotspot is opened around what the chunk holds (the
// chunk-end executor closes it with AppendHotspotEnd). A target with ':',
// '/' or '.' and visible text becomes a URL hotspot. Returns 1028 for a
// missing or empty target, 257 for a target that is not a 16-character
// replica id. The parsed ids are left in the session's work area.
STATUS AppendNotesLinkHotspot(const char* text, std::uint32_t textLength,
                              BuildContext* context, int wrap);
// The same link, self-contained: it writes its visible text (kind 3) and
// closes the hotspot, except for kind 1 (a link without text).
// OpenNotesLinkHotspotEx, AppendLinkTextRun and CloseNotesLinkHotspotEx
// in a row.
STATUS AppendNotesLinkHotspotEx(const char* text, std::uint32_t textLength,
                                BuildContext* context);

// What the opening of a self-contained Notes link left open: how its
// visible text is written and what closes it.
enum class OpenedLink : std::uint8_t {
    kNothing,      // a link without text: nothing is open and no text follows
    kURLHotspot,   // a URL hotspot (a target with ':', '/' or '.')
    kLinkHotspot,  // the hotspot of a Notes link on text
};

// The self-contained Notes link in three steps, for a caller that writes
// the visible text itself: the records before the text (textLength: the
// length of the text the caller writes; a link on text may have none), the
// text as AppendNotesLinkHotspotEx writes it, and the records after it.
// Opening returns what AppendNotesLinkHotspotEx returns for the same
// request and leaves *opened kNothing when it fails.
STATUS OpenNotesLinkHotspotEx(std::uint32_t textLength, BuildContext* context, OpenedLink* opened);
// One text run: a URL hotspot's in the font urlFont names (when not empty),
// else the item's URLFont, else "BLUE +UNDERLINE", wrapped with a colour
// record when the font has a colour; a Notes link's in the item's
// HyperlinkFont, else "BLUE +UNDERLINE". Nothing for kNothing.
STATUS AppendLinkTextRun(const char* text, std::uint32_t length, OpenedLink opened, const char* urlFont,
                         BuildContext* context);
// A URL hotspot's id/name record (when the running operation's options name
// HTML attributes), then the hotspot end of either hotspot. Nothing for
// kNothing.
STATUS CloseNotesLinkHotspotEx(BuildContext* context, OpenedLink opened);

// A hypertext link on text to the note noteId of the session's link database
// (its replica id and view from the session's work area). The link text is
// the description (the text when empty). Options (may be null): "Anchor=",
// and "ID=", "Class=", "Style=", "Title=", "Other=", "Name=" for the link's
// HTML attributes: the class "WikiLink$3" becomes "WikiLink" followed by the
// operation's search text (its second argument), and in the title "$1"
// stands for the text, "$2" for the link text. The text is written in the
// operation's font. Returns the status of a failed look-up of the note.
STATUS AppendHypertextLink(const char* text, const char* linkText, std::uint32_t noteId,
                           const char* options, BuildContext* context);

// ---- Shared with the other hotspot builders --------------------------------

// A replica id of 16 hexadecimal characters: characters 9-16 give the first
// word, 1-8 the second. A universal id of 32: characters 9-16, 1-8, 25-32,
// 17-24 give its four words. Each group stops at its first character that is
// not hexadecimal.
void ParseReplicaIdText(const char* text, std::uint32_t words[2]);
void ParseUniversalIdText(const char* text, std::uint32_t words[4]);

// A hotspot begin (0xFFAD or 0xFFA9): type, flags and the data length word,
// then dataBytes bytes of data, of which dataLength come from data and the
// rest are zero (dataBytes may be more than the data length word says).
// Returns the status of the gate.
STATUS AppendHotspotRecord(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const char* data,
                           std::uint32_t dataLength, std::uint16_t dataLengthWord, std::uint32_t dataBytes,
                           BuildContext* context);

// Writes the 40-byte note link into a record at out.
void WriteNoteLink(std::uint8_t* out, const NoteLinkWords& link);

// Appends an id/name record (0xFF7A) filled from the options "<prefix>HTMLID=",
// "<prefix>HTMLClass=" ... when they give any attribute; a zero byte is
// added to an odd length, and the header counts it. Returns 0 when nothing
// was appended.
STATUS AppendHTMLAttributeRecord(RARIvoSession* session, const char* prefix, const char* options,
                                 RecordOutput* output);

} // namespace talix
