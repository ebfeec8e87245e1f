// The inputs that the chunk methods fill before they run an operation
// (table layout, link requests, event texts, hotspot kinds, image options
// ...). They are held in the session's work area and read by the engine's
// executors and the builders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/signatures.h"

namespace talix {

// ---- Tables ------------------------------------------------------------------

// The most columns a table request describes.
constexpr int kTableRequestColumns = 64;

// What the table methods hand the table builder and the table operations
// (held in the session's work area): the table's width, each column's width,
// proportional-width switch and option string (borrowed, zero-terminated, null
// when the column has none), the table mode switch (widths as fractions of
// the total) and the cell colour to apply (index, and RGB r + 256 g + 65536 b;
// 0 is none). The cell-colour and cell-margin queries leave their answers
// here too.
struct TableRequest {
    std::uint16_t tableWidth = 0;                           // twips
    std::uint16_t columnWidths[kTableRequestColumns] = {};  // twips
    std::uint16_t columnRelative[kTableRequestColumns] = {};
    const char* columnOptions[kTableRequestColumns] = {};
    std::uint32_t fitToWindow = 0;
    std::uint16_t cellColorIndex = 0;
    std::uint32_t cellColorRGB = 0;
    std::uint16_t cellLeftMargin = 0;                       // twips
    std::uint16_t cellRightMargin = 0;
};

// ---- Links, hotspots, fields and event code ---------------------------------

// Link kinds of a link request.
constexpr std::uint16_t kLinkWithoutText = 1;  // a Notes link without visible text
constexpr std::uint16_t kLinkOnText = 3;       // a Notes link on visible text
constexpr std::uint16_t kLinkURL = 4;          // a URL link

// What the link methods hand the link builders (held in the chunk's work
// state). The texts are borrowed from the caller for the run and are
// zero-terminated; null when not given. The lengths of description, hint
// and anchor come as the operation's a3, a4 and a5 (0: the text is measured).
struct LinkRequest {
    std::uint16_t kind = 0;
    const char* target = nullptr;       // a 16-character replica id, or a URL
    const char* viewId = nullptr;       // 32 hexadecimal characters
    const char* noteId = nullptr;       // 32 hexadecimal characters
    const char* description = nullptr;
    const char* hint = nullptr;
    const char* anchor = nullptr;
};

// A note link as records carry it: the database's replica id, the view's
// universal id and the note's universal id, as 32-bit words in record order.
struct NoteLinkWords {
    std::uint32_t replica[2] = {};
    std::uint32_t view[4] = {};
    std::uint32_t note[4] = {};
};

// The ids the link builders parsed for the run (held in the session's work
// area); each mark is 'Y' once its id was parsed, else 0.
struct ParsedLinkIds {
    NoteLinkWords link;
    char replicaParsed = 0;
    char viewParsed = 0;
    char noteParsed = 0;
};

// The database that hypertext links point into (held in the session's work
// area, filled by the method that opened it): its handle, its replica id and
// the universal id of the view the links open.
struct LinkDatabase {
    std::uint32_t database = 0;         // plat::DBHANDLE
    std::uint32_t replica[2] = {};
    std::uint32_t view[4] = {};
};

// What LinkMatching hands operation 2386 besides its key cache (held in the
// session's work area): the evaluation contexts (plat::HCOMPUTE, 0 for none)
// of the result formula, evaluated on the note of each matched key, and of
// the options formula, whose text result is the option string of that
// match. The notes are opened in the link database (LinkDatabase).
struct MatchingRequest {
    std::uint32_t resultFormula = 0;
    std::uint32_t optionsFormula = 0;
};

// What the keys of the key cache were read with (held in the session's work
// area beside the cache): the texts of the call that built them, each in a
// place of its own size with its terminator (a text that does not fit is not
// kept: those keys are not cached), the universal id of the view their
// links open, and when they were stored (seconds since the epoch; 0 when
// there is no valid identity).
constexpr std::size_t kIdentityTextPlace = 256;   // server, database path, view
constexpr std::size_t kIdentityNamePlace = 64;    // reference field, result formula
struct MatchingIdentity {
    char server[kIdentityTextPlace] = {};
    char database[kIdentityTextPlace] = {};
    char view[kIdentityTextPlace] = {};
    char referenceField[kIdentityNamePlace] = {};
    char resultFormula[kIdentityNamePlace] = {};
    std::uint32_t viewId[4] = {};
    std::int64_t cacheTime = 0;
};

// The hotspot of AppendHotspot or SetImageHotspot (held in the session's work
// area). The code lies in the session's text result: from kHotspotCodeOffset
// for AppendHotspot (the bytes in front are the builder's), from its start
// for SetImageHotspot.
constexpr std::uint32_t kHotspotCodeOffset = 16;
struct HotspotRequest {
    std::uint16_t type = 0;             // 1 pop-up, 2 action, 3 button, 14 subform, 19, 34 controls, 22, 24
    // AppendHotspot: 16 formula, 0x40010 computed text, 0x100 LotusScript,
    // 0x200000 JavaScript, 0 none. SetImageHotspot: 1 formula, 3
    // LotusScript, 4 JavaScript.
    std::uint32_t codeFlags = 0;
    std::uint32_t codeLength = 0;       // bytes of code in the text result
};

// The event texts of a field (held in the chunk's work state), each
// zero-terminated: "LotusScript:Entering:<code>", "LotusScript:Exiting:<code>"
// or "Javascript:<event><one separator character><code>".
constexpr int kEventTextSlots = 6;
struct EventTexts {
    std::uint16_t count = 0;
    const char* texts[kEventTextSlots] = {};
};

// The field records a field operation keeps for AppendEventCode (held in the
// chunk's work state), one slot per kind. A slot keeps its kind only while
// it has a buffer: whoever runs the operation gives it one of
// kSavedRecordCapacity bytes (and keeps its memory handle, when it has one,
// to free it). A saved length of 0 means nothing is saved.
enum SavedFieldSlot : int {
    kSavedField = 0,            // 0xFF8A
    kSavedEmbeddedControl = 1,  // 0xFFF7
    kSavedExt2Field = 2,        // 0xFFFE
    kSavedExtField = 3,         // 0xFFB0
    kSavedIdName = 4,           // 0xFF7A
    kSavedFieldSlots = 5,
};
constexpr std::uint32_t kSavedRecordCapacity = 65406;
struct SavedRecord {
    std::uint8_t* bytes = nullptr;      // host form, kSavedRecordCapacity bytes
    std::uint32_t handle = 0;           // plat::DHANDLE of the buffer, 0 when none
    std::uint16_t signature = 0;
    std::uint32_t length = 0;
};
struct SavedFieldRecords {
    SavedRecord slots[kSavedFieldSlots];
};

// The slot of a record the field rewrite keeps, or -1.
inline int SavedFieldSlotOf(std::uint16_t signature) {
    switch (signature) {
    case kSigField: return kSavedField;
    case kSigEmbeddedCtl: return kSavedEmbeddedControl;
    case kSigExt2Field: return kSavedExt2Field;
    case kSigExtField: return kSavedExtField;
    case kSigIdName: return kSavedIdName;
    default: return -1;
    }
}

// ---- Copying rich text from elsewhere ----------------------------------------

// What the copying methods hand the engine (held in the session's work area):
// the paragraph-definition id the copies number above (operation 37 leaves
// the highest id of the chunk's item there, 50 when it has none), and the
// source note that AppendRTItem opened with the name of its item (handles
// owned and closed by the method; the name borrowed for the call). The cell
// texts of AppendRow are the table request's column options: one option
// string per column (0-19), "Text=" and the cell keywords, or the plain text.
struct CopyRequest {
    std::uint16_t paragraphIdBase = 0;
    std::uint32_t sourceDatabase = 0;   // plat::DBHANDLE
    std::uint32_t sourceNote = 0;       // plat::NOTEHANDLE
    const char* sourceItemName = nullptr;
};

// ---- Graphics and layers ------------------------------------------------------

// AppendGraphic and AppendLayer need no request of their own: the kind, the
// source and the options of a graphic, and the z-index, options and position
// text of a layer, come as the operation's words and texts; the compiled
// hide formula of a layer lies in the session's text result (its length in
// the result's length word, 0 for none).

} // namespace talix
