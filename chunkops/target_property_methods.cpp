// The property text of a chunk's targets: the keyword=value words of its
// graphics, layers, rules, image maps and tables (or the value of one of
// them), the words of its table, and the border of its first cell. The
// engine walks the target's records and the word writers append to the
// session's text result, which the methods return.
#include <cstdio>
#include <cstring>
#include <vector>

#include "chunkops/chunk_frame.h"
#include "chunkops/method_support.h"
#include "core/chunk_type_table.h"
#include "core/chunk_types.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/session_work_area.h"
#include "core/statuses.h"
#include "talix/chunk.h"
#include "talix/session.h"

using namespace talix;

namespace {

// The Table list's TabsIndent, whose word the tab writer writes as
// "TabIndent=" (the keyword the table builder reads).
constexpr std::uint16_t kTableTabIndent = 27;

const char kEmpty[] = "";

// The keyword under which a selected word stands in the words.
const char* KeywordInWords(std::uint16_t type, std::uint16_t selector, const char* keyword) {
    return type == kTypeTable && selector == kTableTabIndent ? "TabIndent" : keyword;
}

// Words that did not fit the text result were left out: the text holds
// only part of the answer, which the chunk's status tells.
void RefuseWhenWordsLeftOut(ZervaRTChunk* chunk) {
    if (chunk->session->workArea->propertyWordsLeftOut != 0 && chunk->lastStatus == kOK)
        Refuse(chunk, kWordsDoNotFit);
}

} // namespace

const char* ZervaRTChunk::GetTargetProperties(const char* typeName, const char* keyword) {
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return kEmpty;
    }
    const std::uint16_t type = FindChunkType(typeName);
    const std::uint16_t selector = FindChunkTypeProperty(type, keyword);
    session->messageBuffer[0] = '\0';
    EmptyTextResult(session);
    session->workArea->propertyWordsLeftOut = 0;
    session->workArea->targetLineEnds.clear();
    RunChunkOperation(this, kOpGetTargetProperties, selector, type);
    RefuseWhenWordsLeftOut(this);
    if (keyword == nullptr || keyword[0] == '\0') return session->textResult;

    // One keyword: its value alone, or nothing when no word carries it; over
    // several targets (a line of words each), the value of each line. The
    // values are written over the words: none is longer than its line. The
    // lines end where the run parted the targets, not at a line end that a
    // value holds.
    char* key = session->messageBuffer;
    std::snprintf(key, kScratchSize, "%s=", KeywordInWords(type, selector, keyword));
    char* text = session->textResult;
    const std::uint32_t length = strnlen(text, RARIvoSession::kTextResultCapacity);
    const std::vector<std::uint32_t>& lineEnds = session->workArea->targetLineEnds;
    std::size_t nextLineEnd = 0;
    // A value is no longer than the words it stands in.
    std::vector<char> room(length + 1);
    char* value = room.data();
    std::uint32_t out = 0;
    for (std::uint32_t start = 0; start <= length;) {
        while (nextLineEnd < lineEnds.size() && lineEnds[nextLineEnd] < start) ++nextLineEnd;
        const bool lineEnd = nextLineEnd < lineEnds.size() && lineEnds[nextLineEnd] < length;
        const std::uint32_t end = lineEnd ? lineEnds[nextLineEnd++] : length;
        text[end] = '\0';
        value[0] = '\0';
        if (GetOptionValue(text + start, key, value, static_cast<std::uint32_t>(room.size())) == 0) value[0] = '\0';
        const std::uint32_t size = static_cast<std::uint32_t>(strnlen(value, end - start));
        std::memmove(text + out, value, size);
        out += size;
        if (lineEnd) text[out++] = '\n';
        start = end + 1;
    }
    text[out] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(out);
    return session->textResult;
}

const char* ZervaRTChunk::GetTableProperties(const char* keyword) {
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return kEmpty;
    }
    const std::uint16_t selector = FindChunkTypeProperty(kTypeTable, keyword);
    session->messageBuffer[0] = '\0';
    EmptyTextResult(session);
    session->workArea->propertyWordsLeftOut = 0;
    RunChunkOperation(this, kOpGetTableProperties, selector);
    RefuseWhenWordsLeftOut(this);
    return session->textResult;
}

const char* ZervaRTChunk::GetCellBorder(const char* side) {
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return kEmpty;
    }
    std::uint16_t code = 0;
    switch (side != nullptr ? side[0] : '\0') {
    case 'L': case 'l': code = 1; break;
    case 'R': case 'r': code = 2; break;
    case 'T': case 't': code = 3; break;
    case 'B': case 'b': code = 4; break;
    default: break;
    }
    EmptyTextResult(session);
    RunChunkOperation(this, kOpGetCellBorder, code);
    return session->textResult;
}
