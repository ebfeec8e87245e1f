// The working record of a ZervaRTChunk.
#pragma once

#include <cstdint>

#include "core/operation_inputs.h"

class ZervaRTChunk;

namespace talix {

struct ChunkDefInfo;
struct GenerationWalkState;
struct SortKey;

constexpr std::uint32_t kChunkWorkTag = 2633;
constexpr int kFieldWorkBlocks = 3;

using ActOnTextProc = std::uint16_t (*)(ZervaRTChunk* chunk, char* text, std::uint16_t length);
using QueryLinkDataProc = std::uint16_t (*)(ZervaRTChunk* chunk, std::uint16_t linkKind, char* replicaText,
                                            std::uint16_t length, void* replicaId, void* viewId, void* noteId,
                                            char* text1, std::uint16_t length1, char* text2,
                                            std::uint16_t length2, char* text3, std::uint16_t length3);

// A GIF or JPEG part of a MIME body, listed by its Content-ID for the
// "cid:" images of an HTML import. The element is made with new; its data
// and content id come from malloc and belong to it.
struct MIMEInlineImage {
    std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    std::uint16_t kind = 0;                // 1 GIF, 2 JPEG
    char* contentId = nullptr;             // without its angle brackets
    MIMEInlineImage* next = nullptr;
};

// Frees a list of inline images with their data.
void FreeInlineImages(MIMEInlineImage* first);

struct SavedString {
    char* text = nullptr;
    SavedString* next = nullptr;
};

struct ChunkWorkState {
    std::uint32_t tag = kChunkWorkTag;
    ChunkDefInfo* chain = nullptr;         // outermost level first
    void* ownedBlock1 = nullptr;           // freed with the chunk
    void* ownedBlock2 = nullptr;
    std::uint32_t words[5] = {};
    void* pointers[5] = {};
    SavedString* savedStrings = nullptr;
    std::uint32_t copyWord1 = 0;           // set by the copying operations
    std::uint32_t copyWord2 = 0;
    GenerationWalkState* generation = nullptr; // the context of a running generation (htmlgen)
    std::uint32_t singleTarget = 0;
    ActOnTextProc actOnText = nullptr;
    QueryLinkDataProc queryLinkData = nullptr;
    std::uint32_t sortKeyCount = 0;
    SortKey* sortKeys = nullptr;           // from the session's tracked pool
    // Filled by the link, field and event-code methods for the builders.
    LinkRequest linkRequest;
    EventTexts eventTexts;
    SavedFieldRecords savedFields;
    // Graphic sizes set by operations 30 and 32 are in pixels, not twips.
    std::uint32_t sizeInPixels = 0;
    // The field work blocks (platform memory handles, 0 until taken), freed
    // with the chunk.
    std::uint32_t fieldBlocks[kFieldWorkBlocks] = {};
    // The inline images of a MIME body for an HTML import, freed with the
    // work state.
    MIMEInlineImage* inlineImages = nullptr;
    // Set by the MIME conversion while it imports the HTML of a mail
    // message into the chunk: the import then shows what the sender wrote
    // as text and makes no link to script.
    std::uint32_t htmlFromMail = 0;
    // A style sheet an HTML import applies before the document's own rules
    // (from malloc; freed with the work state unless its setter took it back).
    char* styleSheetText = nullptr;
    std::uint32_t styleSheetLength = 0;
    // Raised by the matching operation 2386 when it changed the record
    // list, so that the matching methods run it once more; they clear it.
    std::uint32_t passAgain = 0;
    // The engine's resume points of the existence query (engine/walk_resume.h),
    // freed with the chunk by the function the engine leaves beside them.
    void* walkResume = nullptr;
    void (*freeWalkResume)(void*) = nullptr;
};

} // namespace talix
