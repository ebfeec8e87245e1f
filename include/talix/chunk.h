// ZervaRTChunk: a located part of a rich-text item, defined by a chain of
// definition levels ("Table 1; Row 2").
//
// Text. Every text the library takes and gives (definitions, texts, names,
// option strings, property values, markup) is in the platform's own
// character set (LMBCS), not UTF-8, and a line end inside a text run is a
// zero byte: a text given back with its length may hold zero bytes before
// that length, so read it by the length rather than up to its first zero.
// plat::LmbcsToNative (talix_platform/text.h) turns such a text into UTF-8
// (a zero byte stays a zero byte), plat::NativeToLmbcs UTF-8 into it. The
// paragraphs of a chunk are not separated in its text; read them one at a
// time ("Paragraph 1" and GetNextTarget) to tell them apart.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "talix/export.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {
struct ChunkWorkState;
}

class TALIX_API ZervaRTChunk {
public:
    // Makes a chunk on an item, with no definition yet, registered with the session.
    ZervaRTChunk(RARIvoSession* session, ZervaRTItem* item);
    // Frees the chunk's definition and texts and takes it off its session's list.
    ~ZervaRTChunk();
    ZervaRTChunk(const ZervaRTChunk&) = delete;
    ZervaRTChunk& operator=(const ZervaRTChunk&) = delete;

    static constexpr int kEventReturnStrings = 6;

    // The caller's event procedures of a generation. ActOnText receives the
    // markup piece by piece (the text is not terminated at length); its
    // result is not used. QueryLinkData is told of each link the generation
    // meets: the link kind (0 document, view or database link, 2 URL), the
    // replica text, the replica id (two 32-bit words), the view and note ids
    // (two ids of two 32-bit words each: file part, then note part) and
    // three texts, each with its length; its result is not used.
    using ActOnText = std::uint16_t (*)(ZervaRTChunk* chunk, char* text, std::uint16_t length);
    using QueryLinkData = std::uint16_t (*)(ZervaRTChunk* chunk, std::uint16_t linkKind, char* replicaText,
                                            std::uint16_t replicaLength, void* replicaId, void* viewId,
                                            void* noteId, char* text1, std::uint16_t length1, char* text2,
                                            std::uint16_t length2, char* text3, std::uint16_t length3);

    // One entry of an image list, in a list the caller owns: what a MIME
    // generation puts in place of a picture, and what the rewriting of an
    // item's pictures as URLs hands back. An entry with a name stands for a
    // built-in picture ("_a_dblink", "_a_viewlink", "_a_doclink",
    // "_an_anchorlink", "_a_collapse", "_a_tabletab", "_a_checked",
    // "_a_unchecked"); one without a name stands for the picture whose image
    // header is record recordNumber of the item (counted from 0 over all its
    // records). The source text is written as the picture's source.
    struct ImageOffsetInfo {
        std::uint16_t recordNumber = 0;
        std::string name;
        std::string source;
        ImageOffsetInfo* next = nullptr;
    };

    // Every method that reads or changes the item runs the operation
    // engine through one frame: the last status is reset, an item that is
    // neither in its note nor being created makes the method a successful
    // no-op, the engine's completion status 1298 is reported as 0, and a
    // successful change updates the note at once when the item's AutoSave
    // is on. Methods returning a status also keep it in lastStatus. Memory
    // that runs out during a run fails the method with an out-of-memory
    // status (263, or the platform's own) and leaves the item as it was.

    // ---- The frame ---------------------------------------------------------
    // Runs one engine operation with its words and texts over the chunk,
    // narrowed to subDefinition when one is given; the outcome is in
    // lastStatus.
    void AlterRichText(std::uint16_t operation, std::uint16_t op2, std::uint16_t a3, std::uint16_t a4,
                       std::uint16_t a5, const char* argument, const char* second, const char* subDefinition,
                       ZervaRTChunk* source);

    // ---- Removing, changing, highlighting ----------------------------------
    // Each returns 0 or the failure unless it says otherwise.
    // Removes the chunk's content (and the attachments its file hotspots name).
    std::uint16_t Remove();
    // Removes the chunk's sections, keeping their text.
    std::uint16_t RemoveSections();
    // Removes the chunk's links, keeping their text (n is passed to the engine).
    std::uint16_t RemoveLinks(int n);
    // Removes the chunk's hotspots, keeping their text.
    std::uint16_t RemoveHotspots();
    // Removes the fields named in names (length 0: the whole text).
    std::uint16_t RemoveFields(const char* names, std::uint16_t length);
    // Applies a font specification to the text runs (those matching
    // matchFont when given); 0 without a font.
    std::uint16_t ChangeFont(const char* font, const char* matchFont, int n);
    // Applies a paragraph style to the paragraphs (matching style2 when
    // given); 0 without a style.
    std::uint16_t ChangeParagraph(const char* style, const char* style2, int n);
    // Changes table properties from the first length bytes of a property
    // string (the caller's text is not changed); 0 without properties.
    std::uint16_t ChangeTable(const char* properties, std::uint16_t length);
    // Highlights the chunk's text.
    std::uint16_t Highlight(int n);
    // Highlights the occurrences of a text (length in characters, 0 the
    // whole text); 20017 without a text.
    std::uint16_t HighlightText(const char* text, std::uint16_t length);
    // Turns the chunk's rich-text fields to the web editor; the message the
    // engine leaves is copied into result (resultSize bytes with the
    // terminator) when one is given. Returns 0 or the failure.
    std::uint16_t SwitchRTFieldsToHTMLEditor(int n, const char* options, char* result, std::uint32_t resultSize);
    // Expands the paragraph definitions of the chunk; the outcome is in lastStatus.
    void ExpandPabDefs(const char* options);

    // ---- Appending ---------------------------------------------------------
    // Each returns 0 or the failure unless it says otherwise.
    // count new lines (a new paragraph after them when newParagraph); any
    // count, written 32 at a time.
    std::uint16_t AppendNewLines(std::uint16_t count, int newParagraph);
    // count tabs, written 32 at a time.
    std::uint16_t AppendTabs(std::uint16_t count);
    // A page break: a new paragraph whose definition breaks the page.
    std::uint16_t AppendPageBreak();
    // An anchor named by the first nameLength bytes of name.
    std::uint16_t AppendAnchor(const char* name, std::uint16_t nameLength);
    // Text (length 0: measured) in a font specification (null: the item's
    // permanent pen when it is on, else the current font).
    std::uint16_t AppendText(const char* text, std::uint16_t length, const char* font);
    // A new paragraph in a paragraph style and font, hidden when the formula
    // (formulaLength bytes) is true; 257 for a formula that does not compile.
    std::uint16_t AppendParagraph(const char* style, const char* font, const char* formula,
                                  std::uint16_t formulaLength);
    // Appends nothing: prepares the chunk's field work blocks (once per
    // chunk; freed with it). Returns 0 or the allocation's failure.
    std::uint16_t AppendField(const char* text1, std::uint16_t length1, const char* text2, std::uint16_t length2,
                              const char* text3, std::uint16_t length3, const char* text4, std::uint16_t length4,
                              const char* text5, std::uint16_t length5, const char* text6, std::uint16_t length6,
                              const char* text7, std::uint16_t length7);
    // A file from disk attached to the note with its icon (name: the name
    // to attach under, else the file's own).
    std::uint16_t AppendFileAttachment(const char* path, const char* name, int n, const char* options);
    // Not supported by the engine: returns 1028.
    std::uint16_t RefreshAttachmentIcon(int n, const char* options);
    // Not supported by the engine: returns 1028.
    std::uint16_t RenameAttachment(const char* name, int n, const char* options);

    // ---- Appending from elsewhere ------------------------------------------
    // Each returns 0 or the failure unless it says otherwise.
    // The chunk of definition in another note's item; 546 when it matches
    // nothing there.
    std::uint16_t AppendRTChunk(const char* server, const char* database, std::uint32_t noteID,
                                const char* itemName, const char* definition, int keepParagraphs);
    // The whole item of another note; 20017 without a database or item
    // name, 1028 when the note has no such item.
    std::uint16_t AppendRTItem(const char* server, const char* database, std::uint32_t noteID,
                               const char* itemName);
    // The body of the subform of that name in the item's own database; 0 without a name.
    std::uint16_t AppendSubformBody(const char* name);
    // The body of the page of that name in the item's own database; 0 without a name.
    std::uint16_t AppendPageBody(const char* name);
    // The body of the form of that name in the item's own database; 0 without a name.
    std::uint16_t AppendFormBody(const char* name);
    // A file converted by its extension (text, HTML, import filters).
    std::uint16_t AppendImportFile(const char* path, const char* options);
    // HTML: kind "FILE" or empty (source a path), "IN..." (source the HTML),
    // "BodyContext" (the HTML held in the item), "URL" (does nothing);
    // another kind: 1028.
    std::uint16_t AppendHTML(const char* kind, const char* source, const char* options);
    // A graphic: kind "URL" (source a URL), "FILE" or empty (source a file
    // path: attached to the note when "Attach=" is given and not "No", else
    // imported) or "ATTACHMENT" (does nothing); another kind: 1028.
    std::uint16_t AppendGraphic(const char* kind, const char* source, const char* options);
    // Writes the chunk's graphic to a file; 1028 without a file name.
    std::uint16_t ExportGraphic(const char* fileName, const char* format);

    // ---- Tables ------------------------------------------------------------
    // Each returns 0 or the failure unless it says otherwise.
    // A table of rows (1-255) x columns (1-64); columnOptions holds one
    // option string (or null) per column, at least min(columns, 20)
    // entries, or is null. 20017 for a count out of range.
    std::uint16_t AppendTable(std::uint16_t rows, std::uint16_t columns, int fitToWindow, const char* options,
                              const char* const* columnOptions);
    // A copy of row rowNumber (0: 1) of the chunk's table (or of the chunk's
    // row) after the chunk: with its contents, or with cellOptions (at most
    // cellCount entries, at most 20 used) as the new cells. 20016 when the
    // chunk is neither a table nor a row.
    std::uint16_t AppendRow(int keepContents, std::uint16_t rowNumber, const char* const* cellOptions,
                            std::uint16_t cellCount = 20);
    // Sorts the rows of the chunk's table by column (from 1) and up to five
    // further keys of the options; 20023 when the chunk is not a table; 257
    // (error word 20025), changing nothing, when a cell merged across rows
    // joins rows to be sorted.
    std::uint16_t SortByRow(std::uint16_t column, int titleRow, int numeric, int reverse, const char* options);

    // ---- Hotspots, links, layers -------------------------------------------
    // Each returns 0 or the failure unless it says otherwise.
    // kind names the hotspot and its code ("BUTTON LOTUSSCRIPT", "ACTION
    // FORMULA" ...); text (textLength 0: "Action Hotspot"). 1028 for a kind
    // or code that cannot be used.
    std::uint16_t AppendHotspot(const char* kind, const char* code, std::uint16_t codeLength, const char* options,
                                const char* text, std::uint16_t textLength);
    // An image-map area over the chunk's graphic, with code in language
    // "FORMULA", "LOTUSSCRIPT" or "JAVASCRIPT" (another: 257).
    std::uint16_t SetImageHotspot(const char* language, const char* code, std::uint16_t codeLength,
                                  const char* areas, const char* shapes, std::uint16_t n);
    // A URL link (target must hold ":", else 1028) around text; the link's
    // further texts and their lengths are passed to the link builder.
    std::uint16_t AppendLink(const char* text, std::uint16_t textLength, const char* target, const char* viewId,
                             const char* noteId, const char* description, std::uint16_t descriptionLength,
                             const char* hint, std::uint16_t hintLength, const char* anchor,
                             std::uint16_t anchorLength);
    // A layer at top/left of height x width (CSS lengths without blanks or
    // ";"; 20017 otherwise), hidden when the formula is true. Returns the
    // formula's compile status; the append's outcome is in lastStatus.
    std::uint16_t AppendLayer(const char* top, const char* left, const char* height, const char* width,
                              std::uint16_t n, const char* options, const char* paragraphStyle, const char* formula,
                              std::uint16_t formulaLength);

    // ---- Matching ----------------------------------------------------------
    // Looks for keys in the chunk's text and acts on each occurrence by the
    // mode: 2386 (and any mode outside 2801-2806) a document link to the
    // key's document (with a result formula: a URL hotspot on its result, or
    // a pop-up when the options say "Hotspot=" another kind), 2801 the
    // result appended after the text, 2802 the text highlighted, 2803 the
    // result inserted before it, 2804 the result added to a keyword list
    // left in the session's text result (the item unchanged), 2805 a pop-up
    // showing the result, 2806 the text replaced by the result. The keys
    // come from the documents that view (a view name, or a "SELECT "
    // formula) of the database on server finds: the value of the item
    // referenceField, or of that formula when it begins with a double quote,
    // "@" or "(", split at back-quotes. resultFormula (may be null) is
    // evaluated on the key's document; options is an option string
    // ("MinLength=", "MatchText=", "ReplaceExtra=", "SingleMatch=",
    // "Hotspot=", "Separator=") or a formula giving one per match. The keys
    // are kept in the session for the calls of the same hour with the same
    // server, database, view, reference field and result formula. Returns 0,
    // 20017 for a missing argument or a key formula that does not compile,
    // 20014 for a result or options formula that does not compile (the
    // compile status in lastStatus), 263 when memory is short, or the
    // failure to open or search the key database or to change the item.
    std::uint16_t LinkMatching(const char* server, const char* databasePath, const char* view,
                               const char* referenceField, const char* resultFormula, const char* options,
                               std::uint16_t mode);
    // LinkMatching with mode 2801: the result after each key found; its status.
    std::uint16_t AppendMatching(const char* server, const char* databasePath, const char* view,
                                 const char* referenceField, const char* resultFormula, const char* options);
    // LinkMatching with mode 2802: each key found highlighted; its status.
    std::uint16_t HighlightMatching(const char* server, const char* databasePath, const char* view,
                                    const char* referenceField, const char* resultFormula, const char* options);
    // LinkMatching with mode 2803: the result before each key found; its status.
    std::uint16_t InsertMatching(const char* server, const char* databasePath, const char* view,
                                 const char* referenceField, const char* resultFormula, const char* options);
    // LinkMatching with mode 2804: the keys found (or their results) as a
    // list in the session's text result, the item unchanged; its status.
    std::uint16_t KeywordMatching(const char* server, const char* databasePath, const char* view,
                                  const char* referenceField, const char* resultFormula, const char* options);
    // LinkMatching with mode 2805: a pop-up on each key found; its status.
    std::uint16_t PopupMatching(const char* server, const char* databasePath, const char* view,
                                const char* referenceField, const char* resultFormula, const char* options);
    // LinkMatching with mode 2806: each key found replaced by its result; its status.
    std::uint16_t ReplaceMatching(const char* server, const char* databasePath, const char* view,
                                  const char* referenceField, const char* resultFormula, const char* options);
    // Keeps the wiki texts of the chunk up to date: texts such as
    // "((Page#Part|label))" (other delimiters with "WikiDelimiters=", a
    // "Tag=" before a ":") whose page view (or a "SELECT " formula) of the
    // database finds become links to the document found, addresses become
    // URL links, and the others action hotspots that compose a new document
    // ("Form=") with the page as its subject; links an earlier call made
    // are turned back into their texts first ("ResolveTags=No": only that).
    // referenceField must be given; with linkFormula given no view link
    // context is read. A server beginning with "@" is a formula for the
    // compose command and the database is opened locally. Returns 0, 20017
    // for a missing argument, 263 when memory is short, or the failure to
    // open the database or read its link context; the item is committed.
    std::uint16_t WikiMatching(const char* server, const char* databasePath, const char* view,
                               const char* referenceField, const char* linkFormula, const char* options);

    // ---- Zooming, sub-chunks and moving between targets ------------------
    // Narrows the chunk to a definition inside its innermost level; 0 when
    // the text does not parse (the chunk is unchanged).
    int ZoomIn(const char* text);
    // Restores the definition the chunk had before its first ZoomIn (nothing when it is not zoomed).
    void ZoomOut();
    // A new chunk on the same item whose definition is this chunk's with the
    // text's levels inside it; null when the text does not parse.
    ZervaRTChunk* DefineSubChunk(const char* text);
    // 1 when the definition matches something in the item, else 0.
    int Exists();
    // The number of targets of a type ("Row") within the chunk's target;
    // -1 when the type cannot be counted there. The count is a signed 16-bit
    // number: a chunk with more than 32,767 targets of the type answers
    // 32,767.
    std::int16_t GetCount(const char* typeText);
    // Moves the innermost level to its next occurrence; 1 when the chunk then stands on a target that exists, else 0.
    int GetNextTarget(int unused = 0);
    // Moves the innermost level to its previous occurrence; 1 when that target exists, else 0.
    int GetPreviousTarget();
    // Moves the innermost level to its last occurrence; 1 when that target exists, else 0.
    int GetLastTarget();
    // Writes into buffer the definition text of the n-th text run whose
    // formatting matches a font specification ("Text 3"; searchText, may be
    // null for any text, is what the match kind compares the run's text
    // with); returns its ordinal, 0 when none is found.
    std::uint16_t FindTextChunk(int n, char* buffer, std::uint16_t bufferSize, const char* matchKind,
                                const char* fontSpec, const char* searchText = nullptr);
    // Writes into buffer the definition text of the n-th element of a type
    // whose name matches ("Table 2"); returns its ordinal, 0 when none is found.
    std::uint16_t FindNamedChunk(int n, const char* typeName, char* buffer, std::uint16_t bufferSize,
                                 const char* matchKind, const char* name);

    // ---- Text ------------------------------------------------------------
    // The text of the chunk's text runs (of subDefinition within the chunk
    // when given): the first run, or with allRuns every run joined by the
    // separator, in the platform's character set with a zero byte for each
    // line end (see the top of this header; nothing marks where a paragraph
    // ends). Copied into buffer cut to the whole characters that fit in
    // bufferSize - 1 bytes and terminated; returns the length copied, by
    // which the text is read.
    std::uint32_t GetText(const char* subDefinition, char* buffer, std::uint32_t bufferSize, int allRuns,
                          const char* separator);
    // Replaces the text of subDefinition's targets within the chunk (length
    // in characters, 0: the whole text) in a font specification; returns 0
    // or the failure (0 and nothing done without a sub-definition).
    std::uint16_t SetText(const char* subDefinition, const char* text, std::uint16_t length, const char* font);
    // Replaces find by replacement in the parts the scope names ("TEXT",
    // "NONTEXT", "FORMULA", "HIDEWHEN", "URL", "EVERYTHING"; none: text);
    // returns 0, 20017 without both texts, or the failure.
    std::uint16_t ReplaceTextQuick(const char* find, std::uint16_t findLength, const char* replacement,
                                   std::uint16_t replacementLength, const char* scope);
    // 1 when a text run of the chunk uses the font specification, else 0.
    int FontInUse(const char* font);
    // The stored HTML attribute ("NAME", "ID", "CLASS", "STYLE", "TITLE",
    // "OTHER") of the chunk's table or cell (element "Table", "Cell" or
    // none); an empty text when there is none.
    const char* GetHTMLValue(const char* attribute, const char* element);
    // Keeps a copy of length bytes of text in event-return slot 1-6; another
    // slot stores nothing and lowers the link kind by one.
    void SetEventRetString(std::uint16_t slot, const char* text, std::uint16_t length);
    // Frees the text of slot 1-6 (nothing for another slot).
    void CleanupEventRetString(std::uint16_t slot);

    // ---- Properties by name ----------------------------------------------
    // Texts are in the platform's character set (see the top of this header).
    // The property as text in buffer (size bytes and the terminator);
    // returns the length placed there, 0 for a name that is no property.
    std::uint16_t GetPropertyText(const char* name, char* buffer, std::uint16_t size);
    // The property as a number; 0 for a name that is no property.
    double GetPropertyNumber(const char* name);
    // Sets a property from text; 1 on success, 0 on failure. With a null
    // value the name is a string of Name=value pairs.
    int SetPropertyText(const char* name, const char* value, std::uint16_t length);
    // Sets a property from a number; 1 on success, 0 on failure.
    int SetPropertyNumber(const char* name, double value);

    // The common form of the two getters: mode 0 puts the text in buffer
    // (at most size bytes, cut before a character that does not fit, and a
    // terminator: the buffer holds size + 1 bytes; a size of 0 writes
    // nothing), mode 1 puts the number in *number; either may be null.
    // Returns the length of the text placed in buffer. A name that is no
    // property returns 0 and writes no number. A run that fails leaves its
    // status in lastStatus and gives an empty text or 0.
    std::uint16_t GetPropertyInternal(const char* name, char* buffer, std::uint16_t size, double* number,
                                      std::uint16_t mode);

    // ---- Property text of targets ------------------------------------------
    // The keyword=value words of the chunk's targets of a type ("Graphic",
    // "Layer", "HR", "Table" ...): all of them, or the value alone of one
    // keyword (empty when the target has no such word); a chunk naming
    // several targets ("Graphic *") gives a line of them for each, the lines
    // ending in "\n". The text, in the platform's character set, lives in the
    // session's text result until the next call.
    const char* GetTargetProperties(const char* typeName, const char* keyword);
    // The words of the chunk's table: those of one keyword of the Table
    // list (whole words, not cut to the value), or every word.
    const char* GetTableProperties(const char* keyword);
    // The border of the chunk's first cell: one side ("Left", "Right",
    // "Top", "Bottom", by the first letter) or, for any other text, all
    // four as "left,right,top,bottom".
    const char* GetCellBorder(const char* side);

    // ---- Generation ------------------------------------------------------
    // Renders the chunk (narrowed by extraDefinition when not empty) into a
    // new 65,406-byte block of the session's pool, zero-terminated, which
    // the caller owns (the pool frees it at the latest with the session):
    // format "HTML" / "HTML 4.01..." (the default, also for an unknown or
    // absent format), "XHTML" / "XHTML 1.0..." or "Plain Text" /
    // "Passthrough"; options a string of generation keywords (an
    // optionsLength of 0 measures it). Event procedures given replace those
    // the chunk holds; null ones keep them. The markup's length is left in
    // the session's result length; text already handed to ActOnText is not
    // in the block. Null when no context or block can be had.
    char* GenerateHTML(const char* extraDefinition, const char* format, const char* options,
                       std::uint16_t optionsLength, ActOnText actOnText, QueryLinkData queryLinkData);
    // Renders the chunk for a MIME message into the caller's buffer of
    // *capacity bytes (or a block of the pool when none is given), the
    // caller's open file, or a part file in the temporary directory that is
    // attached to the note as "$FILE" and whose name (at most 127
    // characters) goes to resultName (128 bytes, empty when none). On
    // return *capacity holds the markup's length. iconFlags (four ints:
    // doclink, view link, database link, text link) and collapseIcon are
    // read and written back; images may be null.
    void GenerateHTMLToMime(int unused, int mimeMode, const char* format, const char* options,
                            std::uint16_t optionsLength, char* buffer, std::uint32_t* capacity,
                            std::uint16_t partNumber, char* resultName, std::FILE* file, const char* fileName,
                            ActOnText actOnText, QueryLinkData queryLinkData, int* iconFlags, int* collapseIcon,
                            ImageOffsetInfo* images);
    // The worker of both: the chunk's generation context must have been
    // allocated zero-filled before the call; the outcome is in lastStatus.
    void GenerateXML(int unused, int mimeMode, const char* extraDefinition, const char* format, const char* options,
                     std::uint16_t optionsLength, char* buffer, std::uint32_t* capacity, std::uint16_t partNumber,
                     std::FILE* file, const char* fileName, ActOnText actOnText, QueryLinkData queryLinkData);
    // Calls the chunk's ActOnText event procedure with the text, when it holds one.
    void RaiseActOnText(char* text, std::uint16_t length);
    // Calls the chunk's QueryLinkData event procedure with the link's texts, when it holds one.
    void RaiseQueryLinkData(char* unused1, std::uint16_t unused2, std::uint16_t linkKind, char* replicaText,
                            char* viewIdText, char* noteIdText, char* text1, char* text2, char* text3);

    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;
    ZervaRTChunk* next = nullptr;
    char* definition = nullptr;            // canonical text of the whole chain
    char* unzoomedDefinition = nullptr;    // kept from the first ZoomIn to the next ZoomOut
    std::uint16_t targetType = 0;          // element type of the innermost level
    std::uint16_t lastStatus = 0;
    std::uint16_t errorWord = 0;
    std::uint16_t accentSensitive = 1;
    std::uint16_t caseSensitive = 0;
    std::uint16_t regularExpression = 0;
    std::uint16_t searchWordBoundaries = 0;
    std::uint16_t setImpliedProperties = 0;
    std::uint16_t textWildcards = 0;
    std::uint32_t appendAtEnd = 1;
    char* eventReturn[kEventReturnStrings] = {};
    talix::ChunkWorkState* work = nullptr;
};
