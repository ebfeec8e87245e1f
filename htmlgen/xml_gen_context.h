// The state of one HTML, XHTML or plain-text generation: what the operation
// engine sets and reads while it runs the generation over a chunk, the
// output (line buffer, files, events), the values of the option keywords,
// and the walk's own state. One context lives for one call of
// ZervaRTChunk::GenerateHTML or GenerateHTMLToMime; the chunk's work state
// points to it for that call, which is how every writer finds it.
//
// The context comes zero-filled from the session's pool; every field not
// said otherwise starts at zero. Later writers add their own state here
// (close-tag stack, table state, style rules ...), each in a group of its
// own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/font_spec.h"
#include "core/statuses.h"
#include "engine/generation_state.h"
#include "talix/chunk.h"
#include "talix_platform/text.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {

class ResourceMailContentIds;

class EncodingTable;
struct CDRecordNode;
struct StyleMappingInfo;
struct SpanOwners;

// Output formats.
constexpr std::uint16_t kFormatText = 0;    // plain text or pass-through: no prologue, head or closing tags
constexpr std::uint16_t kFormatHTML = 2;    // HTML 4.01 Transitional
constexpr std::uint16_t kFormatXHTML = 4;   // XHTML 1.0 Transitional

// Line ends the line writer puts after each line it cuts (AddNewlines=).
enum class NewlineMode : std::uint8_t {
    None = 0,  // lines are cut but joined without a separator
    NL = 1,    // a zero byte ends each line (line feeds inside a line become zero bytes too)
    CRLF = 2,  // carriage return and line feed (a line feed alone into the caller's file)
};

// Where the cutting into lines stands at the end of the text handed on so
// far: a line may go on in the next piece of text, inside a tag or an
// attribute value (htmlgen/line_cutter.h).
struct LineCutState {
    std::uint32_t column = 0;     // characters of the open line already handed on
    bool inTag = false;
    bool closingTag = false;
    char quote = 0;               // the quote of an attribute value open in the tag
    bool afterEquals = false;     // the tag's last character but blanks was "=": a quote opens a value
    // Whether a line end between the last character of text and the next
    // would show as a blank between them: not when that character was white
    // space (or there was none), nor when a tag that breaks the flow (a
    // block, a line break, a cell) lies between them, nor in the head.
    bool afterWord = false;       // the last character of text was not white space
    bool flowBreak = false;       // such a tag lies after the last character of text
    bool inHead = false;
    bool naming = false;          // the open tag's name is being read
    std::uint8_t nameLength = 0;  // its name as read so far ("/", "!" or "?" first included)
    char name[11] = {};
};

// Image and attachment handling modes.
constexpr std::uint16_t kHandlingIgnore = 0;
constexpr std::uint16_t kHandlingDefault = 1;
constexpr std::uint16_t kHandlingDisk = 2;
constexpr std::uint16_t kHandlingResource = 4;   // images: from image-resource design elements
constexpr std::uint16_t kHandlingName = 4;       // attachments: by name
constexpr std::uint16_t kHandlingMimeParts = 8;  // attachments of MIME output without a file

// One switch of the option keywords: a mask within one of the seven switch
// words (word 0 is the context's options word, words 1 to 6 its
// switchWords).
struct GenSwitch {
    std::uint8_t word = 0;
    std::uint32_t mask = 0;
};

// The switches, by keyword (Generation=Fragment, ContentTransferEncoding=
// quoted-printable, AutoTag=, AutoClass=, RaiseLinkEvent=, SuppressFonts=
// and SparseTable= have one switch per word they take).
namespace sw {
constexpr GenSwitch kFragment{0, 0x00000001};
constexpr GenSwitch kTranslation{0, 0x00000002};
constexpr GenSwitch kMakeURLHotspots{0, 0x00000004};
constexpr GenSwitch kQuotedPrintable{0, 0x00000008};
constexpr GenSwitch kForceParagraphs{0, 0x00000010};
constexpr GenSwitch kOutputAllToEvent{0, 0x00000020};
constexpr GenSwitch kPreserveSpaces{0, 0x00000040};
constexpr GenSwitch kWAICompliant{0, 0x00000080};
constexpr GenSwitch kMoveStylesInline{0, 0x00000100};
constexpr GenSwitch kTabbedTablesInCSS{0, 0x00000200};
constexpr GenSwitch kExtendedSpecialCharacters{0, 0x00000400};
// ConsolidatePABIDS= sets both bits the engine reads.
constexpr GenSwitch kConsolidatePABIDS{0, kGenCollectParagraphs | kGenParagraphFlagsAgree};
constexpr GenSwitch kUsePTags{0, 0x00001000};
constexpr GenSwitch kAllowEmptyDivs{0, 0x00004000};
constexpr GenSwitch kRelativeIndents{0, 0x00008000};
constexpr GenSwitch kSectionsInCSS{0, 0x00010000};
constexpr GenSwitch kImageRelativeToPage{0, 0x00020000};
constexpr GenSwitch kDoclinksRelative{0, 0x00040000};
constexpr GenSwitch kFillEmptyTableCells{0, 0x00080000};
constexpr GenSwitch kUseXMLEntities{0, 0x00100000};
constexpr GenSwitch kEncapsulateTable{0, 0x00200000};
constexpr GenSwitch kRespectHiddenFormulas{0, 0x00400000};
constexpr GenSwitch kPreviewMode{0, 0x00800000};
constexpr GenSwitch kWebMode{0, 0x01000000};
constexpr GenSwitch kPreset{0, 0x02000000};          // Zelunda= or Duzuvore= is in force
constexpr GenSwitch kMimeParts{0, 0x04000000};       // built-in graphics fall back to "cid:" references

constexpr GenSwitch kAutoTagTable{1, 0x00000001};
constexpr GenSwitch kAutoTagRow{1, 0x00000002};
constexpr GenSwitch kAutoTagCell{1, 0x00000004};
constexpr GenSwitch kAutoClassTable{1, 0x00000008};
constexpr GenSwitch kAutoClassRow{1, 0x00000010};
constexpr GenSwitch kAutoClassColumn{1, 0x00000020};
constexpr GenSwitch kAutoClassSection{1, 0x00000040};
constexpr GenSwitch kRaiseDocLinkEvents{1, 0x00000080};
constexpr GenSwitch kRaiseURLLinkEvents{1, 0x00000100};
constexpr GenSwitch kSuppressFontFace{1, 0x00000200};
constexpr GenSwitch kSuppressFontAttributes{1, 0x00000400};
constexpr GenSwitch kSuppressFontColor{1, 0x00000800};
constexpr GenSwitch kSuppressFontSize{1, 0x00001000};
constexpr GenSwitch kSuppressImages{1, 0x00002000};
constexpr GenSwitch kSuppressAttachments{1, 0x00004000};
constexpr GenSwitch kSuppressLinks{1, 0x00008000};
constexpr GenSwitch kSuppressDivInfo{1, 0x00010000};
constexpr GenSwitch kSparseTable{1, 0x00020000};
constexpr GenSwitch kSparseWidth{1, 0x00040000};
constexpr GenSwitch kHybridFontTags{1, 0x00080000};
constexpr GenSwitch kStandardFontTags{1, 0x00100000};
constexpr GenSwitch kCSSBorders{1, 0x00200000};
constexpr GenSwitch kSupportRico{1, 0x00400000};
constexpr GenSwitch kSupportDojo{1, 0x00800000};
constexpr GenSwitch kOpenFormData{1, 0x01000000};
constexpr GenSwitch kZelundaSections{1, 0x02000000};
constexpr GenSwitch kZelundaTabs{1, 0x04000000};

constexpr GenSwitch kImageOverwrite{2, 0x00000001};   // on ("No"): existing image files are kept
constexpr GenSwitch kImageUseName{2, 0x00000002};
constexpr GenSwitch kImageResourceToDisk{2, 0x00000004};
constexpr GenSwitch kImageUNIDAsFolder{2, 0x00000008};
constexpr GenSwitch kURLEncodeFilenames{2, 0x00000010};
constexpr GenSwitch kAutoQuoteHTMLParams{2, 0x00000020};
constexpr GenSwitch kMarkDelimitedHTML{2, 0x00000040};
constexpr GenSwitch kAutoTHFont{2, 0x00000080};       // AutoTHFont= parsed: the header-cell font is in force
} // namespace sw

constexpr int kSwitchWords = 7;

// A face the generation names in place of the platform's generic faces:
// the face name and the CSS family list written for it.
struct StaticFace {
    char name[32] = {};
    char families[64] = {};
};
constexpr int kStaticFaces = 5;   // sans serif, serif, monospace, multilingual, user interface

// A face of the item, its name as the item's face table holds it, and the
// name a font change writes for it.
struct FaceNameMemo {
    bool used = false;
    std::uint8_t face = 0;
    char stored[32] = {};
    char written[64] = {};
};
constexpr int kFaceNameMemos = 8;

// The style span a font change built for a font state: everything the
// span's text depends on, and the text (length 0: no property, so no span).
struct SpanMemo {
    bool used = false;
    std::uint32_t font = 0;                  // the packed font id
    std::uint32_t base = 0;                  // ... of the base font
    bool colourGiven = false;
    ColorValue colour;
    std::uint16_t switches = 0;              // suppressions, forced parts, link, direction
    std::uint16_t length = 0;
    char text[400] = {};
};
constexpr int kSpanMemos = 8;

// What a whole font change of the span form depends on, from a close-tag
// stack whose inline elements all lie on its top: the span's font state,
// the current font and the kinds of those elements; packed into three
// words, so that keys are made and compared in a few steps.
struct FontChangeKey {
    // The packed ids of the new font (low half) and the current font.
    std::uint64_t fonts = 0;
    // The packed id of the base font (low half); above it the kinds on top
    // (innermost in the low bits, four bits each, 28 bits) and their count.
    std::uint64_t stack = 0;
    // The switches (as SpanMemo's, and WAICompliant: 12 bits), whether the
    // current font had a colour value, whether the new one has, and the
    // value (flags, red, green, blue from bit 16; zero unless given).
    std::uint64_t span = 0;
    // The text (FontSpanHash) of the span the font writer opened when it
    // lies on top and the change may go on in it; 0 otherwise.
    std::uint64_t topSpan = 0;
    bool operator==(const FontChangeKey&) const = default;
};

// Such a change and what it did: how many of those elements it closed and
// their closing tags, the kinds of the elements it opened, its markup and
// the direction it leaves forced.
constexpr std::size_t kFontChangeMarkupSize = 400;
constexpr std::size_t kFontChangeClosingSize = 64;   // seven closing tags of at most nine bytes
struct FontChangeMemo {
    bool used = false;
    FontChangeKey key;
    std::uint8_t closed = 0;
    std::uint32_t opened = 0;                // kinds pushed, first in the low bits, four bits each
    std::uint8_t openedCount = 0;
    int forceDirection = 0;
    std::uint16_t closingLength = 0;         // the closing tags, at the start of text
    std::uint16_t length = 0;                // the markup, after them
    std::uint64_t spanHash = 0;              // the text of the span it opened, if any
    char text[kFontChangeClosingSize + kFontChangeMarkupSize] = {};
};
constexpr int kFontChangeMemos = 8;

// The start tag of a plain paragraph's element as last written: the element,
// its alignment attribute (one of the writer's fixed texts), whether it has
// the class attribute and the paragraph id; and the whole tag. Paragraphs
// mostly repeat the one before.
struct ParagraphOpeningMemo {
    const char* element = nullptr;
    const char* alignment = nullptr;
    bool classed = false;
    std::uint16_t id = 0;
    std::uint8_t length = 0;   // 0: nothing kept
    char text[64] = {};
};

// Option texts the generation holds as tracked copies of the session's pool
// (none when absent or empty unless said otherwise); each is released at
// the end of the run. Read by the writers of later steps.
struct GenTexts {
    char* doclinkText = nullptr;            // DoclinkText=, default "Link"
    char* seeAttachedMsg = nullptr;         // SeeAttachedMsg= (with a preset only)
    char* cssTabNoSelBackground = nullptr;  // CSSTabNoSelBackgroundColor= (TabbedTablesInCSS only)
    char* cssTabNoSelText = nullptr;        // CSSTabNoSelTextColor=
    char* cssTabSelBackground = nullptr;    // CSSTabSelBackgroundColor=
    char* cssTabSelText = nullptr;          // CSSTabSelTextColor=
    char* imageDirectory = nullptr;         // ImageDirectory= (a directory)
    char* defaultSubdirectory = nullptr;    // DefaultSubdirectory=, or derived from the file name
    char* imageURLDirectory = nullptr;      // ImageURLDirectory= (a URL prefix, always held)
    char* dbResource = nullptr;             // DBResource=
    char* inPlaceImageURLDirectory = nullptr;
    char* attachmentDirectory = nullptr;    // AttachmentDirectory= (AttachmentHandling=DISK)
    char* attachmentURLDirectory = nullptr;
    char* inPlaceAttachmentURLDirectory = nullptr;
    char* linkURLDirectory = nullptr;       // LinkURLDirectory=, default "notes://" (MIME) or "/"
    char* attachmentGraphic = nullptr;
    char* cssBulletGraphic = nullptr;
    char* cssCircleBulletGraphic = nullptr;
    char* cssSquareBulletGraphic = nullptr;
    char* cssCheckBulletGraphic = nullptr;
    char* dbLinkGraphic = nullptr;          // the built-in graphics, with their fallbacks
    char* viewLinkGraphic = nullptr;
    char* doclinkGraphic = nullptr;
    char* anchorLinkGraphic = nullptr;
    char* brokenLinkGraphic = nullptr;
    char* brokenLinkURL = nullptr;
    char* expandGraphic = nullptr;
    char* collapseGraphic = nullptr;
    char* tabGraphic = nullptr;
    char* resolveWiki = nullptr;            // the URL prefix of wiki links (built when absent)
    char* openDatabaseString = nullptr;
    char* openViewString = nullptr;
    char* openDocumentString = nullptr;
    char* openImageResourceString = nullptr;
    char* openElementString = nullptr;
    char* blankAltString = nullptr;
    char* fileNamesField = nullptr;         // FileNamesFld=
    char* delimitedHTMLStart = nullptr;     // with MarkDelimitedHTML
    char* delimitedHTMLEnd = nullptr;
};

struct CloseTagEntry;

// The state of one table nesting level (0: outside every table).
struct TableLevelState {
    CDRecordNode* cellNode = nullptr;        // the cell that governs paragraph margins in it
    CDRecordNode* resumeNode = nullptr;      // where the table writer resumes after a nested walk
    int resumeFlag = 0;
    int lineBreakNeeded = 0;                 // the table writer owes a line break
    int emptyCell = 0;                       // the current cell has written no character yet
    std::uint16_t beginWords[2] = {};        // the words at bytes 8 and 10 of the table's begin record
    int tabbed = 0;                          // the table is written as a tabbed table
    // ---- The table writer's own (htmlgen/table_writer.h) ----
    int animated = 0;                        // the table is written as an accordion
    std::uint16_t tableNumber = 0;           // the running number of the table open at this level
    CDRecordNode* beginNode = nullptr;       // the table's begin record
    const CDRecordNode* preTable = nullptr;  // its pre-table record, or none
    std::uint16_t beginFlags = 0;            // the flags word of the begin record
    std::uint32_t fitWidth = 0;              // fit-to-window: the width of row 0 in twips, 0 unknown
    int fitToWindow = 0;
    int borderMode = -1;                     // -1 undecided, else 0 or 1
    int noCellBorders = 0;                   // every cell of the table has borders of width 0
    int dataTableKind = 0;                   // TalixDataTable=, 0 to 4
    int cellWritten = 0;                     // a cell element was written at this level
    int rowStartRow = -1;                    // the row whose "<tr" was written last, -1 none
    int tabDivisionRow = -1;                 // the row whose tab division was written last, -1 none
    std::uint8_t rowFlags = 0;               // the flags of the first cell written in that row
    int headerFontKnown = 0;                 // a text-run font is remembered for AutoTHFont
    FontId headerFont;
    char cellColour[20] = {};                // the last colour written for a cell of the table
    // Merged blocks of the table: the owner cell of the block that begins at
    // each position (row * 256 + column), built once per table; released at
    // the table's end or with the run.
    SpanOwners* owners = nullptr;
};
// Table levels with a state of their own: one more than the walks nest
// (htmlgen/walk_dispatch.h), so that every table the walk writes, each
// inside a walk of its own, keeps its rows and cells in a state of its own.
// A deeper level (none the walk reaches) shares a spare state.
constexpr std::uint16_t kGenTableLevels = 101;

// A remembered look-up of a paragraph's hide-when formula: the answer for
// the paragraph reference at `from` (the formula record, or none).
struct HideFormulaMemo {
    const CDRecordNode* from = nullptr;
    std::uint16_t id = 0;
    const CDRecordNode* formula = nullptr;
};
constexpr std::uint16_t kHideMemoSlots = 16;

// What the last text run found around it, so that a stretch of runs is
// examined once, not once per run.
struct TextRunMemo {
    const CDRecordNode* run = nullptr;       // the run examined
    int beginBefore = 0;                     // only text records lie between it and a BEGIN before it
    int colourKnown = 0;                     // lastColour was looked for
    const CDRecordNode* lastColour = nullptr;  // the last colour record of the text and colour records after it
    const CDRecordNode* emptyRun = nullptr;  // the last empty run tested for standing alone
    int emptyBackward = 0;                   // ... no text in its paragraph before it
    int emptyForwardKnown = 0;
    int emptyForward = 0;                    // ... no text, rule or table after it in its paragraph
};

// A paragraph-class rule of the style sheet: its text (owned) and the id
// of the paragraph definition it belongs to.
struct ClassRule {
    char* text = nullptr;
    std::uint16_t id = 0;
};
// A cell-border rule: its text (owned) and the cell's border code, the
// widths of its top, right, bottom and left borders as decimal digits.
struct BorderRule {
    char* text = nullptr;
    char code[12] = {};
};
constexpr std::uint16_t kMaxClassRules = 1024;
constexpr std::uint16_t kMaxBorderRules = 20;
// The list definitions the style sheet used, by node, and the first of
// them of each id: a document may use any number of them.
struct UsedListDefinitions {
    std::unordered_set<const CDRecordNode*> nodes;
    std::unordered_map<std::uint16_t, const CDRecordNode*> firstOfId;
};
constexpr std::uint16_t kMaxListLevel = 50;

// What the search for the list a list element nests in found for one
// paragraph reference: the nearest reference before it whose list is
// indented less (none: the list is at the top level).
struct ListNestingMemo {
    const CDRecordNode* reference = nullptr;
    const CDRecordNode* outer = nullptr;
};
constexpr std::uint16_t kListNestingMemoSlots = 64;

// What a walk back over the records for the nearest definition of an id
// found: no definition of the id lies after `found` up to `from`, so the
// answer holds for every record in that stretch. One slot per low byte of
// the id.
struct DefinitionMemo {
    const CDRecordNode* from = nullptr;
    const CDRecordNode* found = nullptr;   // null: none before `from`
    std::uint16_t id = 0;
};
constexpr std::uint16_t kDefinitionMemoSlots = 256;

// The first text run found from a record on: the answer holds for every
// record from `from` up to `run` (or, when no run was found, to the end).
struct FirstRunMemo {
    const CDRecordNode* from = nullptr;
    const CDRecordNode* run = nullptr;
};

constexpr std::uint16_t kOpenMappings = 10;      // text-run mappings open at once
constexpr std::uint16_t kHotspotSlots = 50;      // hotspot levels that keep their section record
constexpr int kLinkIconFiles = 4;                // database, view, document and anchor link icons
// The switches an encoded character depends on (XHTML, UseXMLEntities,
// ExtendedSpecialCharacters) take eight values; each has its own table.
constexpr std::size_t kEncodingModes = 8;
constexpr std::uint32_t kFontMarkupSize = 1024;  // the longest font change is far shorter
constexpr std::uint16_t kFlushedTailSize = 512;

// What the operation engine sets and reads while it runs the generation over
// a chunk (the option word, the walk's nodes, the collected paragraph
// definitions ...) is the context's first part, engine/generation_state.h.
// The names a generation run gave the files it writes beside its output: each
// path with what it holds, the name each holder got, and for each name asked
// for the next number to try when it is taken, so that many files of one
// name are each named in one step.
struct RunFileNames {
    std::map<std::string, std::string> owners;   // path -> what it holds
    std::map<std::string, std::string> given;    // folder and holder -> name
    std::map<std::string, unsigned> next;        // path asked for -> next number
};

struct XMLGenContext : GenerationWalkState {
    // ---- Back references ---------------------------------------------------
    RARIvoSession* session = nullptr;
    ZervaRTChunk* chunk = nullptr;
    ZervaRTItem* item = nullptr;

    // ---- Output: the line buffer (htmlgen/line_buffer.h) -------------------
    // Writers append at the write position and move it to the end of what
    // they wrote; the text is always zero-terminated within the capacity. A
    // writer may put a start tag at the write position without moving it
    // and cancel it by writing a zero byte there.
    char* buffer = nullptr;                  // the caller's buffer or a block of the pool
    std::uint32_t capacity = 0;              // bytes of the buffer
    char* writePosition = nullptr;
    std::uint32_t callerBuffer = 0;          // the buffer is the caller's (not released)
    std::uint32_t measuredLength = 0;        // byte length of the text, 0 until measured since the last change
    std::uint32_t flushMark = 0;             // text length that stayed in memory at the last flush
    std::uint32_t encodedLength = 0;         // bytes at the buffer's start already quoted-printable
    std::uint32_t wrappedLength = 0;         // bytes at the buffer's start already cut into lines
    // From this offset on (or past the text's terminator, when that lies
    // further) the buffer is zero. A writer that takes text back by a
    // terminator alone, or leaves a partial write behind a full buffer,
    // raises it (line_buffer.h), so that zeroing the buffer zeroes only what
    // was used.
    std::uint32_t dirtyEnd = 0;
    LineCutState cut;                        // the line the text handed on so far left open
    std::uint32_t overflow = 0;              // a write did not fit: the run reports 263
    std::uint32_t resultLength = 0;          // length of the markup the run leaves in the buffer
    char* optionText = nullptr;              // tracked copy of the caller's option string, or none

    std::uint16_t maxLineLength = 0;         // MaxLineLength: 0 = no wrapping
    NewlineMode newlines = NewlineMode::None;
    std::uint32_t eventChunkSize = 0;        // OutputToEvent: text is handed on near this size; 0 = off
    std::uint16_t partSequence = 0;          // the next part file's sequence number

    // ---- Output choice ---------------------------------------------------
    std::uint16_t format = kFormatHTML;
    int mimeMode = 0;                        // the markup is for a MIME message
    std::uint16_t partNumber = 0;            // used in part-file names
    std::FILE* callerFile = nullptr;         // the caller's open file (written, never closed)
    const char* callerFileName = nullptr;    // its name, as the caller gave it (may be none)
    std::FILE* partFile = nullptr;           // the part file being written, or none
    char partFileName[128] = {};             // "MP<part>_<sequence>.htm"
    char partFilePath[400] = {};             // the temporary directory and the name
    int fileError = 0;                       // the first failed write to either file (errno); none after it

    // ---- Option values (htmlgen/generation_options.h) --------------------
    std::uint32_t switchWords[kSwitchWords - 1] = {};   // switch words 1 to 6
    std::uint16_t charsetId = 32;            // CharsetNum= / Charset=
    // The set text leaves the generation in (files, quoted-printable): the
    // one CharsetNum= or Charset= names, else 0 for UTF-8.
    std::uint16_t outputCharset = 0;
    std::uint16_t tabSpaces = 0;             // PreserveTabs=: blanks written for a tab, 0 to 80
    std::uint16_t imageHandling = 0;         // ImageHandling= (kHandling*)
    std::uint16_t attachmentHandling = 0;    // AttachmentHandling= (kHandling*)
    int forceFontSize = 0;
    int forceFontFace = 0;
    int forceFontColor = 0;
    int forceDirection = 0;
    int newlineOnParagraph = 0;              // plain text: a line end for each paragraph
    int localDominoSymbols = 0;
    int attachmentTextInLink = 0;
    int zelunda = 0;                         // Zelunda=Yes (the stricter preset)
    int useUnid = 0;                         // UseUNID= gave 32 hexadecimal digits
    std::uint32_t unidWords[4] = {};         // its four 8-digit words, in order
    std::uint16_t fontSizeThresholds[6] = {};  // points of HTML font sizes 1 to 6 (default 8 ... 24)
    ParsedFontSpec headerCellFont;           // AutoTHFont=, when sw::kAutoTHFont is on
    FontSpecMask headerCellFontMask;
    char basePathname[256] = {};             // BasePathname=
    char openBrace[2] = {};                  // UseCurlyBracesInline=Yes: "{" and "}", else empty
    char closeBrace[2] = {};
    GenTexts texts;
    StaticFace faces[kStaticFaces];
    // The names font changes wrote for faces of the item, by face id modulo
    // kFaceNameMemos (emptied whenever the options are read).
    FaceNameMemo faceNameMemos[kFaceNameMemos];
    // The spans font changes built, by a hash of their font state (emptied
    // whenever the options are read).
    SpanMemo spanMemos[kSpanMemos];
    // The switches a span depends on that the options fix (the font parts
    // suppressed or forced, WAICompliant), as SpanMemo's and
    // FontChangeKey's; set when the options are read.
    std::uint16_t fixedSpanSwitches = 0;
    // The font changes made, by a hash of what they depend on (emptied
    // whenever the options are read).
    FontChangeMemo fontChangeMemos[kFontChangeMemos];
    // The start tag the last plain paragraph wrote.
    ParagraphOpeningMemo paragraphOpening;

    // The database of image resources opened for ImageHandling=RESOURCE (0
    // when none; not closed when it is the item's own).
    plat::DBHANDLE imageDatabase = 0;
    std::uint32_t imageDatabaseOpened = 0;
    // The caller's image substitutions (GenerateHTMLToMime), or none, and
    // the entry the last picture took: pictures come in record order, as
    // the entries do, so the next look-up starts there.
    ZervaRTChunk::ImageOffsetInfo* images = nullptr;
    const ZervaRTChunk::ImageOffsetInfo* lastImage = nullptr;
    // Built-in icons already embedded in this MIME message: doclink, view
    // link, database link, text link, section collapse.
    int iconUsed[5] = {};

    // ---- Character-set translation (entity encoding) ---------------------
    // Tables loaded once per run on first need, unloaded at its end.
    plat::CharsetHandle latin1Table = 0;
    plat::CharsetHandle unicodeTable = 0;
    std::uint32_t tablesLoaded = 0;
    // What characters outside ASCII were written as (entity or reference),
    // per set of switches, made on first need (htmlgen/encoding_table.h).
    EncodingTable* encodingTables[kEncodingModes] = {};

    // ---- Walk state (htmlgen/record_walk.cpp) ----------------------------
    std::uint32_t bodyOpened = 0;            // the head was closed and the body opened
    std::uint32_t headEndTaken = 0;          // the prologue took off the "</head>" the options gave
    std::uint32_t tableOpen = 0;             // a table is left open for the next range
    std::uint32_t rowOpen = 0;               // ... with a row open
    const CDRecordNode* openTableBegin = nullptr;  // ... the begin record of that table
    const char* trailer = nullptr;           // text the last range writes after closing tables
    char* pendingLink = nullptr;             // where the URL of an automatic link begins, or none
    int commentMonth = 0, commentDay = 0, commentYear = 0;  // the local date of the generation comment
    int pendingBreak = 0;                    // a paragraph record was met and no paragraph reference since
    int skipParagraphs = 0;                  // paragraph records are passed over (a hide marker is in force)
    int rightToLeftSeen = 0;                 // a right-to-left paragraph definition was rendered
    const CDRecordNode* currentDefinition = nullptr;   // the current paragraph's definition, or none
    const CDRecordNode* previousDefinition = nullptr;  // the previous paragraph's
    std::uint16_t tableDepth = 0;            // tables begun and not ended
    std::uint16_t layerDepth = 0;            // layers begun and not ended
    std::uint16_t outermostLayerDepth = 0;   // the walk depth at which the outermost layer began, 0 none
    std::uint32_t layoutElementDepth = 0;    // the close-tag depth with a layout element's division on top, 0 none
    std::uint32_t layerDivisionDepth = 0;    // the close-tag depth with the innermost layer's division on top, 0 none
    std::uint16_t walkNesting = 0;           // nested walks in progress (bounded: see record_walk.cpp)
    std::uint32_t unnestedTables = 0;        // tables begun past the walk's nesting bound and not ended
    CDRecordNode* tableRecord = nullptr;     // the table-begin or pre-table record the table writer starts at
    std::uint16_t tableNumber = 0;           // tables started so far (the first is 1)
    const CDRecordNode* lastPreTable = nullptr;  // the last pre-table record the table writer met
    int tableEncapsulated = 0;               // EncapsulateTable: a table element was written for a range inside one
    int tabPictureNeeded = 0;                // MIME: the tab rows refer to the tab picture
    std::uint16_t tabStrips = 0;             // CSS tab strips written so far
    int severalTabStrips = 0;                // the head's tab rules also select the strips after the first
    int noBreakBeforeTable = 0;              // the paragraph start asks for no line break before a table
    int sectionBox = 0;                      // a message-header section's division is open
    TableLevelState tableLevels[kGenTableLevels];
    TableLevelState spareTableLevel;         // the state of a table deeper than the levels kept
    HideFormulaMemo hideMemo[kHideMemoSlots];
    std::uint16_t hideMemoNext = 0;
    const CDRecordNode* ruleMemo = nullptr;           // the last rule written ...
    const CDRecordNode* ruleMemoReference = nullptr;  // ... and the paragraph reference it lies in

    // ---- Text runs and fonts (htmlgen/text_runs.h, htmlgen/font_change.h) --
    FontId baseFont;                         // the font the body inherits: runs in it need no markup
    FontId currentFont;                      // the font of the last font change written
    int currentColourGiven = 0;              // ... and it came with a colour value
    int baseFontFlag = 0;                    // the base font itself is being written
    int insideLink = 0;                      // a link anchor is open around the text
    StyleMappingInfo* openMappings[kOpenMappings] = {};  // text-run mappings open, in opening order
    std::uint16_t openMappingCount = 0;
    StyleMappingInfo* paragraphMapping = nullptr;        // the mapping the current paragraph opened
    char fontMarkup[kFontMarkupSize] = {};   // the markup of the last font change (scratch)
    std::uint32_t fontMarkupLength = 0;      // ... and its length
    std::uint32_t fontPushes = 0;            // closing tags the last font change pushed
    // The span the font writer opened last: the stamp its closing tag
    // carries as level, its place on the close-tag stack and its text's
    // hash. A span of the same text on top is gone on in, not nested.
    std::uint16_t fontSpanStamp = 0;
    std::uint32_t fontSpanIndex = 0;
    std::uint64_t fontSpanHash = 0;
    TextRunMemo runMemo;                     // what the last text run found around it
    // The last bytes handed on by a flush during the walk: checks of what
    // was written just before see across a flush as if it had not happened.
    char flushedTail[kFlushedTailSize] = {};
    std::uint16_t flushedTailLength = 0;

    // ---- The style sheet (htmlgen/head_pass.h, htmlgen/style_rules.h) -----
    std::uint8_t faceVotes[256] = {};        // text runs by face id, by point size and by colour index
    std::uint8_t sizeVotes[256] = {};
    std::uint8_t colourVotes[256] = {};
    ClassRule classRules[kMaxClassRules];    // the rules of the current range, in the order composed
    std::uint16_t classRuleCount = 0;
    BorderRule borderRules[kMaxBorderRules];
    std::uint16_t borderRuleCount = 0;
    const char* backgroundColour = nullptr;  // the body's background colour

    // ---- Paragraphs and lists (htmlgen/paragraph_start.h, list_paragraphs.h)
    UsedListDefinitions* usedListDefinitions = nullptr;  // owned by the run, or none used yet
    std::uint16_t listLevel = 0;             // lists open, 0 to kMaxListLevel
    const CDRecordNode* listDefinitions[kMaxListLevel + 1] = {};   // the definition open at each level (1 up)
    std::uint16_t lastParagraphId = 0;       // the id of the last paragraph started
    std::uint16_t styleNameIndex = 0;        // position + 1 in records166 of the current paragraph's name, 0 none
    ListNestingMemo listNesting[kListNestingMemoSlots];
    std::uint16_t listNestingNext = 0;
    DefinitionMemo definitionMemo[kDefinitionMemoSlots];
    FirstRunMemo firstRunMemo;

    // ---- Close-tag stack (htmlgen/close_tag_stack.h) ---------------------
    CloseTagEntry* closeTags = nullptr;      // owned storage (grown as needed), released with the run
    std::uint32_t closeTagCount = 0;
    std::uint32_t closeTagCapacity = 0;
    // Entries of each kind of inline element (InlineKind), and a bit for
    // each kind that has any: whether one is open is answered at once.
    std::uint32_t inlineTagCounts[16] = {};
    std::uint32_t inlineTagsOpen = 0;

    // ---- Hotspots, sections, links and pictures (htmlgen/hotspots.h ...) ---
    std::uint16_t hotspotLevel = 0;          // hotspot ranges begun and not ended
    // The section record opened at each hotspot level (ZelundaSections
    // style), or none; levels from kHotspotSlots on keep none.
    const CDRecordNode* sectionSlots[kHotspotSlots] = {};
    std::uint16_t sectionCounter = 0;        // sections written; ids are counter + 1
    int anchorPending = 0;                   // an anchor start tag may still take attributes
    int attachmentOpen = 0;                  // an attachment hotspot is being written
    int attachmentDirectoryMade = 0;         // AttachmentDirectory= was created in this run (-1: it cannot be)
    int iconWritten[kLinkIconFiles] = {};    // built-in link icons written as files in this run
    int imageDirectoryMade = 0;              // ImageDirectory= was created in this run (-1: it cannot be)
    // The files this run made under names nothing had before (owned by the
    // run: removed when it fails, see htmlgen/run_files.h), or none.
    std::vector<std::string>* madeFiles = nullptr;
    // The names this run gave the files it wrote or linked
    // (htmlgen/run_files.h, RunFileName), or none.
    RunFileNames* runFileNames = nullptr;
    // The Content-IDs of the image resources the item refers to, read once
    // per run when a mail message's HTML first names one, or none.
    ResourceMailContentIds* resourceContentIds = nullptr;
    // The nesting (walkNesting) of the walk that renders a hotspot's
    // content: it stops at the hotspot's end record, which the hotspot
    // writer then handles. 0 when none.
    std::uint16_t hotspotContentWalk = 0;
    // The note's "$Links" list, read once per run (a tracked block of the
    // session, released with the context), and the status of reading it.
    int linkListRead = 0;
    STATUS linkListStatus = 0;
    std::uint8_t* linkList = nullptr;
    std::uint32_t linkListLength = 0;
    int unidKnown = 0;                       // documentUnid holds the document's universal id
    std::uint32_t documentUnid[4] = {};      // as written: file part high, low, note part high, low
    // A failure that does not stop the rendering (a missing attachment, a
    // link table or a formula that failed, a file not written): the run
    // reports it when nothing worse happened.
    STATUS keptStatus = 0;
    // Stored formulas the platform cannot read (compiled by another
    // system), taken as giving nothing; the run logs their count once.
    std::uint32_t unreadableFormulas = 0;
};

// The state of the current table level; a table deeper than the levels
// kept gets the spare state, cleared for it.
inline TableLevelState* CurrentTableLevel(XMLGenContext* context) {
    if (context->tableDepth < kGenTableLevels) return &context->tableLevels[context->tableDepth];
    context->spareTableLevel = TableLevelState();
    return &context->spareTableLevel;
}

// The switch words of the context: 0 is the options word.
inline std::uint32_t& SwitchWord(XMLGenContext* context, std::uint8_t word) {
    return word == 0 ? context->options : context->switchWords[word - 1];
}
inline bool IsOn(const XMLGenContext* context, GenSwitch bit) {
    const std::uint32_t value = bit.word == 0 ? context->options : context->switchWords[bit.word - 1];
    return (value & bit.mask) == bit.mask;
}
inline void SetSwitch(XMLGenContext* context, GenSwitch bit, bool on) {
    std::uint32_t& value = SwitchWord(context, bit.word);
    value = on ? (value | bit.mask) : (value & ~bit.mask);
}

// The record walk: renders the records from the context's current node up
// to its end node at the write position. kind: the inner signature of the
// BEGIN record whose contents a nested call renders (0 for the outermost
// call); depth: 0 for the outermost call. mode 0: a whole range; 1: one
// range of a generation in several ranges (nothing closed for the next);
// 2: finish only (close what the ranges left open, final flush). Returns 0,
// 263 when the output does not fit, or the status of a flush.
STATUS PrXMLStr(XMLGenContext* context, std::uint32_t kind, std::uint32_t depth, std::uint16_t mode);

} // namespace talix
