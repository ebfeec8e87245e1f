// The working record of a ZervaRTItem: record lists, face table, style
// mappings, work buffers and the switches the builders read.
#pragma once

#include <cstdint>

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

// One mapping between a font id and a named style.
struct StyleMappingInfo {
    std::uint32_t fontId = 0;
    char styleName[128] = {};
    char faceName[32] = {};
    std::uint16_t flags = 0;             // 16 internal, 4 external
    StyleMappingInfo* next = nullptr;
};

constexpr std::uint16_t kStyleMappingInternal = 16;
constexpr std::uint16_t kStyleMappingExternal = 4;

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
    FaceEntry faces[kFaceTableCapacity];
    std::uint16_t faceCount = kFixedFaceCount;
    StyleMappingInfo* externalMappings = nullptr;
    StyleMappingInfo* internalMappings = nullptr;
    std::uint32_t forceToWindow = 0;
    std::uint8_t textTemplate[8] = {};   // a text run record (0xFF85, length 8, the default font)
    std::uint8_t currentFont[8] = {};
    std::uint32_t designFlag = 0;        // the body of a design element
    std::uint32_t imageDataFlag = 0;     // the item is "$ImageData"
    std::uint16_t connectWord = 0;       // cleared by every connect
    std::uint16_t emptyTextAppended = 0; // set by the append gate
    std::uint32_t clientPreference = 1;  // 1 Notes client, 0 web
    std::uint32_t dropLargeParagraph = 1;// while set the append gate drops 0xFF68 records
};

} // namespace talix
