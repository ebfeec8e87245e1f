// What one operation run was asked to do: the operation code and its
// arguments, the chunk, note and item it runs on, and the font and paragraph
// style its arguments name, parsed once before the walk. The run's context
// (engine/record_process.h) starts with it; the text searches of the runs
// (core/text_search.h) and the record builders read it.
#pragma once

#include <cstdint>

#include "core/font_spec.h"
#include "core/paragraph_def.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {

// The parsed paragraph style of an operation (a paragraph-style string read
// by ZervaRTItem::ParseParagraphString).
struct ParagraphStyleState {
    CDPABDEFEXT definition[2];
    std::uint16_t flagsSet = 0, flagsClear = 0;
    std::uint16_t flags2Set = 0, flags2Clear = 0;
    std::uint16_t flags3Set = 0, flags3Clear = 0;
    std::uint32_t listType[2] = {};
    std::uint32_t listClear[2] = {};
    std::int32_t shiftLeftOffset = 0, shiftRightOffset = 0;
    std::int32_t shiftLeftPercent = 0, shiftRightPercent = 0;
    std::uint32_t mask[2][kParagraphMaskSize] = {};  // the given-field switches of each style
    std::uint16_t status = 0;        // the parse's status
};

struct OperationRequest {
    RARIvoSession* session = nullptr;
    ZervaRTChunk* chunk = nullptr;
    ZervaRTChunk* sourceChunk = nullptr;
    plat::NOTEHANDLE note = 0;
    const char* itemName = nullptr;          // borrowed from the caller

    // The operation and its arguments.
    std::uint16_t operation = 0;
    std::uint16_t operation2 = 0;
    std::uint16_t a3 = 0, a4 = 0, a5 = 0;
    const char* argumentText = nullptr;
    const char* secondArgument = nullptr;    // text operations: the font specification
    void* pointer = nullptr;

    std::uint16_t textWildcards = 0;         // copied from the chunk
    std::uint16_t setImpliedProperties = 0;
    std::uint32_t writesItem = 0;            // the run rebuilds the item
    // Each replacement of the search text covers no more than its match.
    std::uint8_t replacementCutToMatch = 0;

    // The operation's font and colour, and a second specification (2399).
    ParsedFontSpec font;
    FontSpecMask fontMask;
    ParsedFontSpec font2;
    FontSpecMask fontMask2;
    std::uint16_t fontStatus = 0;            // the font parse's status (2368 keeps it)
    ParagraphStyleState paragraph;
};

} // namespace talix
