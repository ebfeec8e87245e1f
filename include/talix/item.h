// ZervaRTItem: one rich-text item (by name) of one note. Its texts, taken
// and given, are in the platform's character set with zero bytes for line
// ends (see talix/chunk.h; plat::LmbcsToNative turns them into UTF-8).
#pragma once

#include <cstdint>

#include "talix/chunk.h"
#include "talix/export.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {
struct ItemWorkState;
struct CDPABDEFEXT;
struct StyleMappingInfo;
} // namespace talix

class TALIX_API ZervaRTItem {
public:
    // Makes an unconnected item registered with the session, with the default fonts and switches.
    explicit ZervaRTItem(RARIvoSession* session);
    // Closes what the item opened, deletes its chunks and takes it off its session's list.
    ~ZervaRTItem();
    ZervaRTItem(const ZervaRTItem&) = delete;
    ZervaRTItem& operator=(const ZervaRTItem&) = delete;

    // ---- Connecting, creating, copying, saving ---------------------------
    // Opens the note (server, database path, note id) and connects to the
    // named item, making a blank one first when it is missing and create is
    // set; returns 0 (also when the item is missing: not connected) or the failure.
    std::uint16_t Connect(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                          int create, const char* extra = nullptr);
    // Opens the note and connects to the named item, made blank when it is
    // missing or replace is set; returns 0 or the failure.
    std::uint16_t Create(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                         int replace, const char* extra = nullptr);
    // Opens the note and keeps the item's names without connecting (for a
    // later CopyBackend); returns 0, 20013 for a missing name or the failure.
    std::uint16_t CopyItem(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                           int flag);
    // Connects to the named item of a note the caller has open (a blank one
    // is made when it is missing and create is set); returns 0 or the failure.
    std::uint16_t ConnectBackend(std::uint32_t noteHandle, const char* itemName, int create);
    // Connects to the named item of a note the caller has open, made blank
    // first when replace is set; returns 0 or the failure.
    std::uint16_t CreateBackend(std::uint32_t noteHandle, const char* itemName, int replace);
    // Connects to the named item of the note another item has open; a
    // failure is kept in lastStatus.
    void ConnectBackendInternal(ZervaRTItem* other, const char* itemName);
    // Copies this item's records into the named item of an open note
    // (replacing it when replace is set); returns 0 or the failure, after
    // which the target is as it was.
    std::uint16_t CopyBackend(std::uint32_t noteHandle, const char* itemName, int replace);
    // Replaces the item in its note by a blank rich-text item (one empty
    // paragraph); returns 0 or the failure.
    std::uint16_t CreateBlankRichTextItem();
    // Writes the pending record list back. Returns 0 or the failure; on
    // failure the stored item is unchanged and the list stays pending.
    std::uint16_t Commit();
    // Stores the note (committing first when records are cached); returns 0 or the failure.
    std::uint16_t Save();
    // A new chunk on the item for a definition text ("Table 1; Row 2"); null
    // when the item is not connected or the text does not parse.
    ZervaRTChunk* DefineChunk(const char* definition);
    // Disconnects the item: closes what it opened, frees its record lists and deletes its chunks.
    void CleanupTraces();
    // Replaces the named MIME item of the note by a rich-text item; returns 0 or the failure.
    std::uint16_t ConvertFromMIMEBackend(std::uint32_t noteHandle, const char* itemName, const char* options,
                                         std::uint16_t optionsLength = 0, const char* unused = nullptr,
                                         std::uint16_t unusedLength = 0);

    // Rebuilds the item from the HTML that another item of its note holds
    // as text (a web editor's field): the item becomes a blank rich-text
    // item into which the HTML is imported, with the style sheet of the
    // file resource "UseCSSFile=" names (default "fck_editorarea.css"; an
    // empty value: none) in the import's style rules. The note handle is
    // not used: the item's own note is. options are HTML-import options;
    // with a prefix (prefixLength > 0) " LocalResourcePrefix='prefix'"
    // follows the first optionsLength characters of the options (0: all of
    // them), and a composed text longer than 4,095 bytes is refused with
    // 1028, the item untouched. Returns 0, 257 when the source or the item
    // cannot be read (the item untouched), or the import's error word.
    std::uint16_t ConvertFromHTMLBackend(std::uint32_t noteHandle, const char* sourceItemName, const char* options,
                                         std::uint16_t optionsLength, const char* prefix,
                                         std::uint16_t prefixLength);

    // ---- Exporting as HTML -------------------------------------------------
    // The whole item rendered as HTML by the generation (format: "HTML",
    // "XHTML 1.0" ...; options: generation options, an optionsLength of 0
    // measures them). None of them saves the note. The outcome is in
    // lastStatus (0 or the failure) and, on failure, ownError (20014 unless
    // said otherwise). The options also read here:
    //   "MarkDelimitedHTML=Yes"  the texts "[<" and ">]" are highlighted
    //                            first (HighlightFont "Bold Black")
    //   "Overwrite=Yes"          (item form) an existing output item is
    //                            replaced; else it is refused with 260
    //   "CreateRTItem=No"        (item form) the HTML as one text run,
    //                            between pass-thru HTML records unless
    //                            "PassthruHTML=No"; otherwise a new
    //                            rich-text item with one line per piece of
    //                            the generation, marked pass-thru HTML
    //                            whole by "PassthruHTML=ALL" or run by run
    //                            by "PassthruHTML=Text"
    // To a file (default "export.htm"); a file that cannot be opened is
    // reported ("TALIX: Export to HTML filename '%s' invalid") with status
    // and error word 546.
    void ExportToHTML(const char* fileName, const char* format, const char* options, std::uint16_t optionsLength,
                      ZervaRTChunk::QueryLinkData queryLinkData);
    // Into the item outputName of the item's own note (default: the item's
    // own name).
    void ConvertToHTML(const char* outputName, const char* format, const char* options,
                       std::uint16_t optionsLength, ZervaRTChunk::QueryLinkData queryLinkData);
    // The worker of both: to a file (toFile set; default "export.htm") or
    // into an item of the note (default the item's own name). A caller's
    // buffer (at least 65,402 bytes) receives the markup, terminated (from
    // its 9th byte on in the item form); actOnText is handed to the
    // generation in the file form only.
    void SaveAsHTMLInternal(const char* name, const char* format, const char* options, std::uint16_t optionsLength,
                            char* buffer, int toFile, ZervaRTChunk::ActOnText actOnText,
                            ZervaRTChunk::QueryLinkData queryLinkData);

    // ---- Exporting as MIME -------------------------------------------------
    // The item as a MIME entity: mail header lines, then a multipart body
    // whose text/html part the HTML generation makes from the item, with
    // the pictures and icons it shows and the attachments of its file
    // hotspots as parts of their own. The outcome is in lastStatus (0 or
    // the failure) and, on failure, ownError (20014 unless said otherwise).
    //   outputName     the file (ExportToMIME, default "export.mht") or the
    //                  name of the MIME part items (ConvertToMIME, default
    //                  the item's own name)
    //   htmlHeader     the text/html part's header lines (null or empty:
    //                  text/html in us-ascii, or quoted-printable under the
    //                  options "QuotedPrintable=Yes" and "charset=")
    //   plainHeader    the text/plain part's header lines (null or empty:
    //                  "AltMimeHeader=", else text/plain in us-ascii)
    //   kind           the generation's kind of output ("HTML", ...)
    //   mimeOptions    the MIME options (length 0: measured), htmlOptions
    //                  the generation's options (length 0: measured)
    // Writes a .eml/.mht file (LF line ends). A file that cannot be opened
    // is reported ("TALIX: Export to MIME filename '%s' invalid") with
    // status and error word 546.
    void ExportToMIME(const char* outputName, const char* htmlHeader, const char* plainHeader, const char* kind,
                      const char* mimeOptions, std::uint16_t mimeOptionsLength, const char* htmlOptions,
                      std::uint16_t htmlOptionsLength, ZervaRTChunk::QueryLinkData queryLinkData);
    // Stores the entity as MIME part items of the item's own note (data
    // type 25, one per part) with "MIME_Version", "$MessageID",
    // "$NoteHasNativeMIME", "$MsgTrackFlags" and "$MIMETrack". Refused with
    // 260 when items of the output name exist, unless "Overwrite=Yes". The
    // note is updated only with "ForceSave=Yes"; otherwise the caller saves
    // it. A refused or failed conversion leaves the note's items as they
    // were.
    void ConvertToMIME(const char* outputName, const char* htmlHeader, const char* plainHeader, const char* kind,
                       const char* mimeOptions, std::uint16_t mimeOptionsLength, const char* htmlOptions,
                       std::uint16_t htmlOptionsLength, ZervaRTChunk::QueryLinkData queryLinkData);
    // One numbered piece of the entity into buffer (*size: its capacity on
    // entry, the piece's length on return), terminated. Without actOnText
    // the pieces are collected in the session's output cache: part 0 runs
    // the writer and answers the pieces joined (at most *size - 1 and
    // 65,404 bytes, whole pieces only); the later parts answer the pieces
    // of that run: part 1 the mail header lines, part 2 the HTML part's
    // header, then its body (when it is not empty) and one piece per
    // picture or icon. A part beyond the last is empty. With actOnText the
    // writer runs for every part and hands the pieces to it. A null buffer
    // or size does nothing.
    void GenerateMIMEForRTItem(std::uint16_t part, const char* htmlHeader, const char* plainHeader,
                               const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                               const char* htmlOptions, std::uint16_t htmlOptionsLength, char* buffer,
                               std::uint32_t* size, ZervaRTChunk::ActOnText actOnText,
                               ZervaRTChunk::QueryLinkData queryLinkData);
    // The writer of the three: to a file (toFile set, no buffer), into the
    // note (no buffer), or piece by piece through actOnText into buffer
    // (*size its capacity; on return the bytes not handed on). bodyMode 1
    // writes the text/html body; 0 a text/plain main body.
    void SaveAsMimeInternal(const char* outputName, const char* htmlHeader, const char* plainHeader,
                            const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                            const char* htmlOptions, std::uint16_t htmlOptionsLength, char* buffer,
                            std::uint32_t* size, int bodyMode, int toFile, ZervaRTChunk::ActOnText actOnText,
                            ZervaRTChunk::QueryLinkData queryLinkData);

    // ---- Design elements -------------------------------------------------
    // Each connects to the content item of the design element of that name
    // (a design note of the form class, for a shared field of the field
    // class; kinds of the same class are not told apart) and returns 0 or the
    // failure. With a copy name the item works on an in-memory copy titled
    // with the first free name made from the copy name; saving stores it as
    // a new element.
    // A form ("$Body").
    std::uint16_t ConnectForm(const char* server, const char* database, const char* name, const char* copyName);
    // A subform ("$Body").
    std::uint16_t ConnectSubform(const char* server, const char* database, const char* name, const char* copyName);
    // A page ("$Body").
    std::uint16_t ConnectPage(const char* server, const char* database, const char* name, const char* copyName);
    // A shared field ("$Body").
    std::uint16_t ConnectSharedField(const char* server, const char* database, const char* name,
                                     const char* copyName);
    // An image resource ("$ImageData").
    std::uint16_t ConnectImageResource(const char* server, const char* database, const char* name,
                                       const char* copyName);
    // A frame set.
    std::uint16_t ConnectFrameSet(const char* server, const char* database, const char* name, const char* copyName);
    // A file resource ("$FileData").
    std::uint16_t ConnectFileResource(const char* server, const char* database, const char* name,
                                      const char* copyName);
    // An XPage: name, or name with ".xsp" appended when it does not end in it.
    std::uint16_t ConnectXPage(const char* server, const char* database, const char* name, const char* copyName);
    // A custom control.
    std::uint16_t ConnectCustomControl(const char* server, const char* database, const char* name,
                                       const char* copyName);
    // The shared worker: connects to itemName of the design note of the form
    // class named name, creating a blank rich-text item when the note lacks
    // it. flagsPattern names the kind of element the caller means ("-U-W" a
    // form, "+U" a subform, "(+-*W" a page ...) and is not read: the look-up
    // is by name alone. Returns 0 (also when the item can be neither found
    // nor created: the item then stays unconnected), 20013 for an empty item
    // name, or the failure of opening the element.
    std::uint16_t ConnectFormBody(const char* server, const char* database, const char* name, const char* copyName,
                                  const char* flagsPattern, const char* itemName);

    // ---- File-resource content and export --------------------------------
    // Replaces the item (normally "$FileData") by a file header and the file
    // segments of a file's content, and sets "$FileSize"; returns 0 or the failure.
    std::uint16_t CreateFileResourceRichTextItem(const char* extension, const char* filePath);
    // The same with the content taken from a buffer; returns 0 or the failure.
    std::uint16_t CreateFileResourceRichTextItemFromBuffer(const char* extension, const void* buffer,
                                                           std::uint32_t size);
    // Replaces every occurrence of findText in the file-resource content; returns 0 or the failure.
    std::uint16_t ReplaceTextInFileResource(const char* findText, const char* replacementText);
    // Writes the item to a file: file data, raw records or through an export
    // filter, by the item and the type or the file's extension; returns 0 or the failure.
    std::uint16_t Export(const char* filePath, const char* type);

    // ---- Font table and style mappings ---------------------------------
    // Loads the item's face table from its note's font table; returns 0 or the failure.
    std::uint16_t InitialFontTable();
    // Loads the face table from a stored font table record (null: the standard faces only); returns 0.
    std::uint16_t RecordFontFaces(const void* fontTable);
    // Copies the name of the face with that id into name; 1 when the face is known, else 0.
    int FindFaceByID(std::uint8_t faceId, char* name);
    // The face id of a face name, added to the note's font table when new; 0 unconnected or on failure.
    std::uint8_t DefineFont(const char* faceName);
    // The face id of a face name, added with its family to the note's font table when new; 0 on failure.
    std::uint8_t AddToFontTable(const char* faceName, std::uint8_t family);
    // Merges a font table record into the note's (id changes: session font map); returns 0 or the failure.
    std::uint16_t MergeWithCDFONTTABLE(const void* fontTable, std::uint16_t unused, std::uint32_t length);
    // Merges another note's font table into this one's (id changes: session font map); returns 0 or the failure.
    std::uint16_t MergeFontTables(std::uint32_t noteHandle);
    // Appends a font mapping of the generation (flags 0x10) with its opening
    // and closing markup, each kept whole.
    void CreateInternalStyleMapping(const char* opening, const char* closing, std::uint32_t fontId);
    // The internal or external style mapping of a font id, or null.
    talix::StyleMappingInfo* GetStyleMappingByFontID(std::uint32_t fontId, int internal);
    // Deletes every internal (internal not 0) or external style mapping.
    void ClearStyleMappings(int internal);

    // ---- Paragraph-style strings ---------------------------------------
    // Reads a paragraph-style string (and a second one) into definitions,
    // set and clear words, list types, margin shifts and given-field masks;
    // returns 0, or 1028 for a null string.
    std::uint16_t ParseParagraphString(const char* string, const char* second, talix::CDPABDEFEXT* def1,
                                       talix::CDPABDEFEXT* def2, std::uint16_t* flagsSet, std::uint16_t* flagsClear,
                                       std::uint16_t* flags2Set, std::uint16_t* flags2Clear,
                                       std::uint16_t* flags3Set, std::uint16_t* flags3Clear,
                                       std::uint32_t* listType1, std::uint32_t* listType2,
                                       std::uint32_t* listClear1, std::uint32_t* listClear2,
                                       std::int32_t* shiftLeftOffset, std::int32_t* shiftRightOffset,
                                       std::int32_t* shiftLeftPercent, std::int32_t* shiftRightPercent,
                                       std::uint32_t* mask1, std::uint32_t* mask2);

    // ---- Properties ------------------------------------------------------
    // Sets a number property of the item by name; returns 0 (an unknown or read-only name changes nothing).
    std::uint16_t SetPropertyNumber(const char* name, double value);
    // The value of a number property by name; 0 for an unknown name.
    double GetPropertyNumber(const char* name);
    // Sets a text property by name (value null: name is an option string
    // setting every property it names); 1 when taken, else 0.
    int SetPropertyText(const char* name, const char* value, std::uint16_t length);
    // Copies a text property into buffer (and the session's text result); returns the length copied.
    std::uint16_t GetPropertyText(const char* name, char* buffer, std::uint16_t size);
    // Compiles a formula into the named item of the note (empty: deletes it);
    // returns 0, 257 when it does not compile, or the failure.
    std::uint16_t SetFormulaItem(const char* itemName, const char* formula, std::uint16_t length);

    // ---- Note-level operations on other items of the note --------------
    // Writes "$HTMLCode" and the "$HTMLHeadTag" formula that load the web
    // editor for a field (toolbar set "MirratDefault" when null). text is
    // not used. Returns 0 or the failure.
    std::uint16_t SetupAlternateEditor(const char* text, const char* fieldName, std::uint16_t fieldNameLength,
                                       const char* toolbarSet);
    // Replaces "$Header" (header not 0) or "$Footer" by one header record; returns 0 or the failure.
    std::uint16_t ResetHeaderFooter(int header, const char* text, std::uint32_t fontId, const char* faceName);
    // The text of a formula item, terminated, into text (textSize bytes with
    // the terminator). Returns its length; 0 and an empty text when the item
    // is missing, not a formula, cannot be given back as text or does not
    // fit.
    std::uint16_t GetFormulaItem(const char* itemName, char* text, std::uint16_t textSize);
    // Writes the item's check text (lengthWidth + 2 x sumWidth digits and
    // the terminator) into text (empty when the item is not connected);
    // returns 0 or the failure.
    std::uint16_t CalculateRTItemCRC(char* text, std::uint16_t lengthWidth, std::uint16_t sumWidth);

    // ---- Host and canonical record forms -------------------------------
    // The host-form length of a record's fixed part (length when it has no known layout).
    std::uint32_t NonCanonicalLength(std::uint16_t signature, std::uint32_t length);
    // The stored-form length of a record's fixed part (length when it has no known layout).
    std::uint32_t CanonicalLength(std::uint16_t signature, std::uint32_t length);
    // A host-form record converted to stored form in the item's work buffer (*length: its length); null on failure.
    void* ConvertToCanonicalData(const void* record, std::uint16_t signature, std::uint32_t* length);
    // A stored record converted to host form in the item's work buffer (*length: its length); null on failure.
    void* ConvertFromCanonicalData(const void* record, std::uint16_t signature, std::uint32_t* length);

    // ---- Fields ------------------------------------------------------------
    RARIvoSession* session = nullptr;
    ZervaRTItem* next = nullptr;
    ZervaRTChunk* defaultChunk = nullptr;
    char* server = nullptr;
    char* databasePath = nullptr;
    char* itemName = nullptr;
    std::uint32_t databaseHandle = 0;
    std::uint32_t noteID = 0;
    std::uint32_t noteHandle = 0;
    char* actionHotspotFont = nullptr;
    std::uint16_t autoDecrypt = 1;
    std::uint16_t autoMergeText = 1;
    std::uint16_t autoSave = 0;
    std::uint16_t cacheRecords = 0;
    std::uint16_t cacheLinkMatching = 1;
    std::uint16_t importNativeImages = 0;
    char* urlFont = nullptr;
    char* hyperlinkFont = nullptr;
    char* highlightFont = nullptr;
    char* permanentPenFont = nullptr;
    char* popUpFont = nullptr;
    std::uint16_t permanentPen = 0;
    char* importExportFile = nullptr;
    std::uint16_t suppressMessages = 0;
    // The default font: point size 10, colour 0, attributes 0, face 1.
    std::uint8_t defaultFontSize = 10;
    std::uint8_t defaultFontColor = 0;
    std::uint8_t defaultFontAttributes = 0;
    std::uint8_t defaultFontFace = 1;
    std::uint16_t defaultTableWidth = 8640;   // twips
    std::uint16_t connected = 0;
    std::uint16_t modified = 0;
    std::uint16_t lastStatus = 0;
    std::uint16_t ownError = 0;
    std::uint8_t decryptionKey[8] = {};
    talix::ItemWorkState* work = nullptr;
};
