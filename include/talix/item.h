// ZervaRTItem: one rich-text item (by name) of one note.
#pragma once

#include <cstdint>

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
    explicit ZervaRTItem(RARIvoSession* session);
    ~ZervaRTItem();
    ZervaRTItem(const ZervaRTItem&) = delete;
    ZervaRTItem& operator=(const ZervaRTItem&) = delete;

    // ---- Connecting, creating, copying, saving ---------------------------
    std::uint16_t Connect(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                          int create, const char* extra = nullptr);
    std::uint16_t Create(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                         int replace, const char* extra = nullptr);
    std::uint16_t CopyItem(const char* server, const char* database, std::uint32_t noteID, const char* itemName,
                           int flag);
    std::uint16_t ConnectBackend(std::uint32_t noteHandle, const char* itemName, int create);
    std::uint16_t CreateBackend(std::uint32_t noteHandle, const char* itemName, int replace);
    void ConnectBackendInternal(ZervaRTItem* other, const char* itemName);
    std::uint16_t CopyBackend(std::uint32_t noteHandle, const char* itemName, int replace);
    std::uint16_t CreateBlankRichTextItem();
    // Writes the pending record list back. Returns 0 or the failure; on
    // failure the stored item is unchanged and the list stays pending.
    std::uint16_t Commit();
    std::uint16_t Save();
    ZervaRTChunk* DefineChunk(const char* definition);
    void CleanupTraces();
    // Replaces the named MIME item of the note by a rich-text item.
    std::uint16_t ConvertFromMIMEBackend(std::uint32_t noteHandle, const char* itemName, const char* options,
                                         std::uint16_t optionsLength = 0, const char* unused = nullptr,
                                         std::uint16_t unusedLength = 0);

    // ---- Design elements -------------------------------------------------
    // Connect to the content item of the design element of that name. With a
    // copy name the item works on an in-memory copy titled with the first
    // free name made from the copy name; saving stores it as a new element.
    std::uint16_t ConnectForm(const char* server, const char* database, const char* name, const char* copyName);
    std::uint16_t ConnectSubform(const char* server, const char* database, const char* name, const char* copyName);
    std::uint16_t ConnectPage(const char* server, const char* database, const char* name, const char* copyName);
    std::uint16_t ConnectSharedField(const char* server, const char* database, const char* name,
                                     const char* copyName);
    std::uint16_t ConnectImageResource(const char* server, const char* database, const char* name,
                                       const char* copyName);
    std::uint16_t ConnectFrameSet(const char* server, const char* database, const char* name, const char* copyName);
    std::uint16_t ConnectFileResource(const char* server, const char* database, const char* name,
                                      const char* copyName);
    // name, or name with ".xsp" appended when it does not end in it.
    std::uint16_t ConnectXPage(const char* server, const char* database, const char* name, const char* copyName);
    std::uint16_t ConnectCustomControl(const char* server, const char* database, const char* name,
                                       const char* copyName);
    // The shared worker: connects to itemName of the design element.
    std::uint16_t ConnectFormBody(const char* server, const char* database, const char* name, const char* copyName,
                                  const char* flagsPattern, const char* itemName);

    // ---- File-resource content and export --------------------------------
    // Replace the item (normally "$FileData") by a file header and the file
    // segments of the content, and set "$FileSize".
    std::uint16_t CreateFileResourceRichTextItem(const char* extension, const char* filePath);
    std::uint16_t CreateFileResourceRichTextItemFromBuffer(const char* extension, const void* buffer,
                                                           std::uint32_t size);
    // Replaces every occurrence of findText in the file-resource content.
    std::uint16_t ReplaceTextInFileResource(const char* findText, const char* replacementText);
    // Writes the item to a file: file data, raw records or through an export
    // filter, by the item and the type or the file's extension.
    std::uint16_t Export(const char* filePath, const char* type);

    // ---- Font table and style mappings ---------------------------------
    std::uint16_t InitialFontTable();
    std::uint16_t RecordFontFaces(const void* fontTable);
    int FindFaceByID(std::uint8_t faceId, char* name);
    std::uint8_t DefineFont(const char* faceName);
    std::uint8_t AddToFontTable(const char* faceName, std::uint8_t family);
    std::uint16_t MergeWithCDFONTTABLE(const void* fontTable, std::uint16_t unused, std::uint32_t length);
    std::uint16_t MergeFontTables(std::uint32_t noteHandle);
    // Appends a font mapping of the generation (flags 0x10) with its opening
    // and closing markup, each kept whole.
    void CreateInternalStyleMapping(const char* opening, const char* closing, std::uint32_t fontId);
    talix::StyleMappingInfo* GetStyleMappingByFontID(std::uint32_t fontId, int internal);
    void ClearStyleMappings(int internal);

    // ---- Paragraph-style strings ---------------------------------------
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
    std::uint16_t SetPropertyNumber(const char* name, double value);
    double GetPropertyNumber(const char* name);
    int SetPropertyText(const char* name, const char* value, std::uint16_t length);
    std::uint16_t GetPropertyText(const char* name, char* buffer, std::uint16_t size);
    std::uint16_t SetFormulaItem(const char* itemName, const char* formula, std::uint16_t length);

    // ---- Note-level operations on other items of the note --------------
    // Writes "$HTMLCode" and the "$HTMLHeadTag" formula that load the web
    // editor for a field (toolbar set "MirratDefault" when null). text is
    // not used.
    std::uint16_t SetupAlternateEditor(const char* text, const char* fieldName, std::uint16_t fieldNameLength,
                                       const char* toolbarSet);
    // Replaces "$Header" (header not 0) or "$Footer" by one header record.
    std::uint16_t ResetHeaderFooter(int header, const char* text, std::uint32_t fontId, const char* faceName);
    // The text of a formula item, terminated, into text (textSize bytes with
    // the terminator). Returns its length; 0 and an empty text when the item
    // is missing, not a formula, cannot be given back as text or does not
    // fit.
    std::uint16_t GetFormulaItem(const char* itemName, char* text, std::uint16_t textSize);
    // The item's check text (lengthWidth + 2 x sumWidth digits and the
    // terminator) into text; an empty text when the item is not connected.
    std::uint16_t CalculateRTItemCRC(char* text, std::uint16_t lengthWidth, std::uint16_t sumWidth);

    // ---- Host and canonical record forms -------------------------------
    std::uint32_t NonCanonicalLength(std::uint16_t signature, std::uint32_t length);
    std::uint32_t CanonicalLength(std::uint16_t signature, std::uint32_t length);
    void* ConvertToCanonicalData(const void* record, std::uint16_t signature, std::uint32_t* length);
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
