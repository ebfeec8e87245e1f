// The working record of a ZervaRTItem: record lists, face table, style
// mappings, work buffers and the switches the builders read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/font_spec.h"
#include "core/pab_match.h"
#include "core/paragraph_def.h"
#include "core/record_layouts.h"
#include "core/record_list.h"

namespace talix {

struct ChunkDefInfo;
struct TrackedBlock;

// One face of an item's face table (the in-memory form of a face record).
struct FaceEntry {
    std::uint8_t face = 0;
    std::uint8_t family = 0;
    char name[32] = {};
};

constexpr std::uint16_t kFixedFaceCount = 8;
constexpr std::uint16_t kFaceTableCapacity = 255;

// One mapping between a font id or a paragraph and markup: callers set the
// external ones (a text-run mapping opens its markup around the text runs
// whose font meets its criteria; a paragraph mapping around the paragraphs
// it matches), the generation makes the internal ones (the markup of each
// font it renders). The texts are zero-terminated.
struct StyleMappingInfo {
    std::uint32_t fontId = 0;              // the packed font id a font mapping is looked up by
    ParsedFontSpec fontCriteria;           // what a text run's font must meet (MatchFontID)
    FontSpecMask fontEnable;               // ... in the fields switched on here
    CDPABDEFEXT paragraph;                 // the paragraph definition to compare with
    std::uint32_t listKindsRequired = 0;   // kList* masks
    std::uint32_t listKindsExcluded = 0;
    PABMatchCriteria paragraphCriteria;
    char styleName[128] = {};
    char opening[128] = {};                // the opening markup (up to 127 characters)
    char closing[32] = {};                 // the closing markup (up to 31 characters)
    char extra[128] = {};                  // written before the opening markup
    char listClosing[32] = {};             // closes the list a paragraph mapping opened
    // An opening or closing text made by the generation that does not fit
    // its place is held whole here (owned, freed with the mapping) and the
    // place stays empty: markup is never cut inside a tag.
    char* longOpening = nullptr;
    char* longClosing = nullptr;
    std::uint16_t flags = 0;
    StyleMappingInfo* next = nullptr;
};

// Mapping flags.
constexpr std::uint16_t kStyleMappingByStyleName = 0x01;   // paragraphs by their style name
constexpr std::uint16_t kStyleMappingByParagraph = 0x02;   // paragraphs by their definition
constexpr std::uint16_t kStyleMappingExternal = 0x04;      // a text-run mapping
constexpr std::uint16_t kStyleMappingInternal = 0x10;      // a font mapping the generation made
constexpr std::uint16_t kStyleMappingNoFonts = 0x20;       // its paragraphs' runs get no font markup

// The whole opening and closing markup of a mapping.
inline const char* MappingOpening(const StyleMappingInfo& mapping) {
    return mapping.longOpening != nullptr ? mapping.longOpening : mapping.opening;
}
inline const char* MappingClosing(const StyleMappingInfo& mapping) {
    return mapping.longClosing != nullptr ? mapping.longClosing : mapping.closing;
}

struct ItemWorkState {
    ChunkDefInfo* definition = nullptr;  // a chain of levels kept for the item
    std::uint16_t mode = 0;              // 2 while a new body is being created
    std::uint32_t borrowed = 0;          // the database and note belong to someone else
    TrackedBlock* workBuffer1 = nullptr; // 65,406 bytes each, made on first use
    std::uint32_t workBuffer1Held = 0;
    TrackedBlock* workBuffer2 = nullptr;
    std::uint32_t workBuffer2Held = 0;
    ItemRecordList* current = nullptr;   // read from the note, or waiting to be written back
    ItemRecordList* output = nullptr;    // being built by the record output
    // While an item is rebuilt from HTML another item holds: that item's
    // records (the HTML to import) and the item's own records as they were
    // (where the import finds the graphics the HTML refers to). Borrowed,
    // not freed with the item.
    ItemRecordList* htmlSource = nullptr;
    ItemRecordList* htmlSourceBeside = nullptr;
    FaceEntry faces[kFaceTableCapacity];
    std::uint16_t faceCount = kFixedFaceCount;
    StyleMappingInfo* externalMappings = nullptr;
    StyleMappingInfo* internalMappings = nullptr;
    StyleMappingInfo* internalMappingsTail = nullptr;   // the last internal mapping, for appending
    std::uint32_t forceToWindow = 0;
    std::uint8_t textTemplate[kTextRunHeader] = {};   // an empty text run in the font new text takes
    std::uint8_t currentFont[kTextRunHeader] = {};
    std::uint32_t designFlag = 0;        // the body of a design element
    std::uint32_t imageDataFlag = 0;     // the item is "$ImageData"
    std::uint16_t connectWord = 0;       // cleared by every connect
    std::uint16_t emptyTextAppended = 0; // set by the append gate
    std::uint32_t clientPreference = 1;  // 1 Notes client, 0 web
    std::uint32_t dropLargeParagraph = 1;// while set the append gate drops 0xFF68 records
    // What the engine keeps of the existence queries of the item's chunks
    // (engine/walk_resume.h): where they stopped once nothing more could be
    // selected, and where the record list's text runs end. Freed with the
    // work contents by the function the engine leaves beside it.
    void* walkMemo = nullptr;
    void (*freeWalkMemo)(void*) = nullptr;
    // The files of a MIME message that reading it into this item attached
    // to the note (their names there): the rich text names them nowhere,
    // yet they are the message's, and a MIME entity made of the item
    // carries them. Emptied with every new connection.
    std::vector<std::string> messageFiles;
};

} // namespace talix
