// The state of one HTML import: made by an import entry point, filled with
// the import's options, given the parsed tree by a parser driver, read and
// written by the walk, and released before the entry point returns. While
// it converts, the running operation's record output has it as its
// collector, so that every record built for the import goes to the
// import's own record list instead of the item.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/font_spec.h"
#include "core/record_list.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/style_lookup.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

class HtmlDocument;
class WalkMemo;
struct ImportTables;
struct MIMEInlineImage;

constexpr std::uint32_t kImportPathSize = 512;      // BasePath, ImageView
constexpr std::uint32_t kReplicaOptionSize = 28;    // "ReplicaID=" and 16 hexadecimal digits
constexpr int kFontStackDepth = 10;
constexpr int kHtmlFontSizes = 7;
// Face names met in font elements that the import remembers with their ids.
constexpr int kRememberedFaces = 10;
constexpr int kRememberedFaceName = 32;
// The deepest table nesting the import converts: the levels the record
// writer keeps (a table nested deeper is taken into the cell around it).
constexpr int kImportTableLevels = 9;
// The character set of the HTML when nothing names one (UTF-8).
constexpr std::uint16_t kUtf8Charset = 171;
// The list levels whose paragraph definition the import remembers; a list
// nested deeper takes the deepest level's.
constexpr int kImportListLevels = 32;
// The longest colour a font element or a link gives the font text; the
// font text has room for that colour and the words a link adds after it
// (decoration, size, style and weight).
constexpr int kFontColorChars = 63;
constexpr int kFontColorTextSize = 128;

struct HTMLImportContext {
    RARIvoSession* session = nullptr;

    // ---- The parse ------------------------------------------------------------
    // The parsed and cleaned tree; released by the conversion's teardown.
    std::unique_ptr<HtmlDocument> document;
    // The parser's counts: errors stop the conversion (nothing is imported),
    // warnings do not.
    std::uint32_t parseErrors = 0;
    std::uint32_t parseWarnings = 0;
    // The parser keyword "errors": the tree is parsed but not converted.
    std::uint32_t errorsOnly = 0;
    // Set by the buffer driver when the document is Word 2000 output.
    std::uint32_t isWord2000Document = 0;

    // A copy of the caller's option string with room to spare (tracked);
    // optionTextSize is the size of its block.
    char* optionText = nullptr;
    std::uint32_t optionTextSize = 0;

    // ---- The import record list --------------------------------------------------
    // When insertAfter is set, the next record is linked directly after it
    // and the cursor moves onto the new node; otherwise records go to the end.
    CDRecordNode* insertAfter = nullptr;
    CDRecordNode* listTail = nullptr;
    CDRecordNode* listHead = nullptr;
    CDRecordNode* lastAdded = nullptr;
    // Where the list's nodes and their bytes live: a record list used for
    // its arena alone (made with the first node, freed with the records),
    // so that a record costs no allocation of its own.
    ItemRecordList* recordStore = nullptr;
    // Bytes of text since the last paragraph break (a run counts its length
    // plus 20).
    std::uint32_t textSinceParagraph = 0;

    // ---- Options -----------------------------------------------------------------
    std::uint32_t resolveLocalResources = 0;
    std::uint32_t resolveDoclinks = 0;
    std::uint32_t autoAttachFiles = 1;
    std::uint32_t allowZeroSize = 0;
    std::uint32_t preserveImageNotes = 0;
    std::uint32_t suppressBlackBackground = 0;
    char* blankAltText = nullptr;                 // heap; the alt text of an image given an empty one
    char basePath[kImportPathSize] = {};
    // The directory whose files (pictures, style sheets) the import may
    // read, as LocalDirectory gives it; empty: none (local_files.h).
    std::string localDirectory;
    char imageView[kImportPathSize] = {};
    char* localResourcePrefix = nullptr;          // tracked
    char* resourceDatabasePath = nullptr;         // tracked; "DBResource=" when its database opened
    plat::DBHANDLE resourceDatabase = 0;          // the item's database unless "DBResource=" opened one
    std::uint32_t resourceDatabaseOpened = 0;     // closed at the release when set
    char replicaIDOption[kReplicaOptionSize] = {};
    char* doclinkText = nullptr;                  // tracked; the text shown for document links
    char* passthruStartText = nullptr;            // tracked; only while pass-thru marking runs
    char* passthruEndText = nullptr;
    ItemRecordList* sourceRecordList = nullptr;   // rich-text import: the records holding the HTML
    void* sourceAuxiliary = nullptr;              // and the value kept beside them
    // The HTML comes from a mail message (set by the MIME conversion through
    // the chunk it imports into): what the sender wrote is shown, never run,
    // so a pass-thru span is imported as its text and a link to script or
    // inline data keeps only its text.
    std::uint32_t fromMail = 0;
    // The pictures of the message by content id (ASCII letters alike in
    // either case; the keys are the pictures' own ids), the first of each
    // id, made the first time an image asks for one; imagesIndexed is the
    // list they were made from.
    struct NoCaseHash {
        std::size_t operator()(std::string_view text) const;
    };
    struct NoCaseEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::unordered_map<std::string_view, const MIMEInlineImage*, NoCaseHash, NoCaseEqual> inlineImagesById;
    const MIMEInlineImage* imagesIndexed = nullptr;

    // ---- Fonts ---------------------------------------------------------------------
    std::uint8_t baseFontSize = 10;
    std::uint8_t htmlFontSizes[kHtmlFontSizes] = {8, 10, 12, 14, 18, 24, 32};   // sizes 1 to 7 in points
    FontId fontStack[kFontStackDepth] = {};       // the bottom entry is the default font
    std::uint16_t fontDepth = 0;
    std::uint16_t paragraphPabId = 1;

    // ---- Units ---------------------------------------------------------------------
    // Twips per pixel (1 to 99) and inches per em (0.05 to 1.0); read from
    // the option text by ReadLengthOptions when the conversion starts.
    float pixelMultiplier = 15.0f;
    float emMultiplier = 0.15f;

    // ---- Style rules -----------------------------------------------------------------
    // The document's rules (style elements and linked sheets) in document
    // order, and a second list that every look-up is given as well and
    // nothing fills; both are emptied when the context is released.
    CSSRuleList styleRules1;
    CSSRuleList styleRules2;
    // The questions of the searches up the document's tree, by which its
    // nodes keep their answers (a memo the look-ups fill as they ask).
    mutable StyleQuestions styleQuestions;

    // ---- The walk ------------------------------------------------------------------
    // The current block is right to left.
    std::uint32_t rightToLeft = 0;
    // Table nesting, 0 outside tables.
    std::uint16_t tableLevel = 0;
    // Layer nesting, 0 outside layers. A paragraph in a table cell or in a
    // layer sits in a box of its own, so the page's one-inch left margin is
    // not added to its offsets (see CalcParagraphFromHTML).
    std::uint16_t layerLevel = 0;
    // The first failure the import met (KeepFailure): once it is set the
    // walk stops, nothing is handed on to the item, and it is the import's
    // result. Out of memory for a record is one too.
    std::uint16_t failure = 0;
    // The first failure of the hand-on of the records to the item.
    std::uint16_t handOnStatus = 0;
    // The import's first block starts the body (the hand-on passes it on as
    // the output's restart flag).
    std::uint32_t firstBlockInBody = 0;

    // What the walk keeps of the answers it asked for (its own, for the
    // length of the walk; null outside it).
    WalkMemo* walkMemo = nullptr;

    // The Notes character set the HTML names ("charset=" of the options, else
    // a content-type meta element of the head); the tree's text is already
    // the platform's own.
    std::uint16_t charset = kUtf8Charset;

    // Switches the start of an element sets for its content and its close
    // clears: the text of a style element is CSS, the head's text is
    // dropped, the children of a script are not walked, the text of a link
    // is written by the link itself, a link hotspot is open, the next image
    // is not converted, whitespace of pre text is kept, a pass-thru span is
    // open.
    std::uint32_t inStyleElement = 0;
    std::uint32_t inHead = 0;
    std::uint32_t skipChildren = 0;
    std::uint32_t skipText = 0;
    std::uint32_t hotspotOpen = 0;
    std::uint32_t skipNextImage = 0;
    std::uint32_t inPre = 0;
    std::uint32_t passthruOpen = 0;
    // The image of the anchor being converted is the view icon: an image
    // inside it takes no attachment icon.
    std::uint32_t linkViewIcon = 0;
    // The universal id of the default view of the item's database as 32
    // upper-case hexadecimal digits; filled by the first link that needs it.
    char defaultViewId[33] = {};
    // The font text of a hotspot: the colour of a font element or of a
    // link, with the words a link adds; the text of a URL link takes it in
    // place of the item's URL font when not empty.
    char fontColorText[kFontColorTextSize] = {};
    // The point size of the open heading, 0 outside headings.
    std::uint16_t headingSize = 0;

    // Faces named by font elements, with the ids the item gave them.
    char faceNames[kRememberedFaces][kRememberedFaceName + 1] = {};
    std::uint8_t faceIds[kRememberedFaces] = {};
    std::uint16_t faceCount = 0;

    // The page colour of a body bgcolor: its colour index, and the colour
    // record as stored in "$PaperColorEx".
    double paperColor = 0;
    std::uint8_t paperColorData[16] = {};
    std::uint32_t paperColorLength = 0;

    // The paragraph reference in force when the table of each level began
    // (0: none).
    std::uint16_t savedTablePab[kImportTableLevels + 1] = {};
    // List nesting (0 outside lists; it goes on counting past the levels
    // kept), and per level the paragraph definition in force for it in the
    // import's record list (null: none); level 0 holds the definition in
    // force before the outermost list began. A record the import removes is
    // taken out of here too.
    std::uint16_t listLevel = 0;
    CDRecordNode* savedListPab[kImportListLevels] = {};
    // The next li writes no paragraph of its own (a list that took over the
    // paragraph of a table cell).
    std::uint32_t afterListItem = 0;

    // Whether the document being walked holds a section's twistie image
    // (1), none (0), or is not looked at yet (-1): without one no block
    // is asked whether it is a section.
    std::int8_t documentHasTwistie = -1;

    // The counts of the table being started, and the tables being converted
    // by level (made when the first table starts; table_grid.h).
    int tableRows = 0;
    int tableColumns = 0;
    std::unique_ptr<ImportTables> tables;

    HTMLImportContext();
    ~HTMLImportContext();
    HTMLImportContext(const HTMLImportContext&) = delete;
    HTMLImportContext& operator=(const HTMLImportContext&) = delete;
};

// Keeps a status of a step of the import: the first failure stays (a later
// success or failure replaces nothing), a success changes nothing.
inline void KeepFailure(HTMLImportContext* import, std::uint16_t status) {
    if (status != 0 && import->failure == 0) import->failure = status;
}

} // namespace talix
