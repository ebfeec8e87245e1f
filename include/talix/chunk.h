// ZervaRTChunk: a located part of a rich-text item, defined by a chain of
// definition levels ("Table 1; Row 2").
#pragma once

#include <cstdint>

#include "talix/export.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {
struct ChunkWorkState;
}

class TALIX_API ZervaRTChunk {
public:
    ZervaRTChunk(RARIvoSession* session, ZervaRTItem* item);
    ~ZervaRTChunk();
    ZervaRTChunk(const ZervaRTChunk&) = delete;
    ZervaRTChunk& operator=(const ZervaRTChunk&) = delete;

    static constexpr int kEventReturnStrings = 6;

    // Removes the chunk's content from its item.
    std::uint16_t Remove();
    // Appends a graphic: kind "URL" (source a URL), "FILE" or empty (source
    // a file path) or "ATTACHMENT".
    std::uint16_t AppendGraphic(const char* kind, const char* source, const char* options);

    // ---- Zooming, sub-chunks and moving between targets ------------------
    // Narrows the chunk to a definition inside its innermost level; 0 when
    // the text does not parse (the chunk is unchanged).
    int ZoomIn(const char* text);
    // Restores the definition the chunk had before its first ZoomIn.
    void ZoomOut();
    // A new chunk on the same item whose definition is this chunk's with the
    // text's levels inside it; null when the text does not parse.
    ZervaRTChunk* DefineSubChunk(const char* text);
    // 1 when the definition matches something in the item, else 0.
    int Exists();
    // The number of targets of a type ("Row") within the chunk's target;
    // -1 when the type cannot be counted there.
    std::int16_t GetCount(const char* typeText);
    // Move the innermost level to the next, previous or last occurrence; 1
    // when the chunk then stands on a target that exists.
    int GetNextTarget(int unused = 0);
    int GetPreviousTarget();
    int GetLastTarget();
    // The n-th text run whose formatting matches a font specification, or
    // the n-th element of a type whose name matches, written into buffer as
    // a definition text; 0 when none is found.
    std::uint16_t FindTextChunk(int n, char* buffer, std::uint16_t bufferSize, const char* matchKind,
                                const char* fontSpec);
    std::uint16_t FindNamedChunk(int n, const char* typeName, char* buffer, std::uint16_t bufferSize,
                                 const char* matchKind, const char* name);

    // ---- Text ------------------------------------------------------------
    // The text of the chunk's text runs (of subDefinition within the chunk
    // when given): the first run, or with allRuns every run joined by the
    // separator. Copied into buffer cut to bufferSize - 1 bytes and
    // terminated; returns the length copied.
    std::uint32_t GetText(const char* subDefinition, char* buffer, std::uint32_t bufferSize, int allRuns,
                          const char* separator);

    // ---- Properties by name ----------------------------------------------
    // The property as text in buffer (size bytes and the terminator);
    // returns the length placed there, 0 for a name that is no property.
    std::uint16_t GetPropertyText(const char* name, char* buffer, std::uint16_t size);
    // The property as a number; 0 for a name that is no property.
    double GetPropertyNumber(const char* name);
    // Set a property; 1 on success, 0 on failure. With a null value the
    // name is a string of Name=value pairs.
    int SetPropertyText(const char* name, const char* value, std::uint16_t length);
    int SetPropertyNumber(const char* name, double value);

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
