// ZervaRTChunk: a located part of a rich-text item, defined by a chain of
// definition levels ("Table 1; Row 2").
#pragma once

#include <cstdint>
#include <cstdio>

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

    // One image substitution of a MIME generation, in a list the caller
    // owns. A node with a name stands for a built-in picture ("_a_dblink",
    // "_a_viewlink", "_a_doclink", "_an_anchorlink", "_a_collapse",
    // "_a_tabletab", "_a_checked", "_a_unchecked"); one without a name
    // replaces the image at its offset in the item. The replacement text is
    // written as the image's source.
    struct ImageOffsetInfo {
        std::uint64_t offset = 0;
        const char* name = nullptr;
        char replacement[136] = {};
        ImageOffsetInfo* next = nullptr;
    };

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
    // allocated zero-filled before the call.
    void GenerateXML(int unused, int mimeMode, const char* extraDefinition, const char* format, const char* options,
                     std::uint16_t optionsLength, char* buffer, std::uint32_t* capacity, std::uint16_t partNumber,
                     std::FILE* file, const char* fileName, ActOnText actOnText, QueryLinkData queryLinkData);
    // Call the chunk's event procedures, when it holds them.
    void RaiseActOnText(char* text, std::uint16_t length);
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
