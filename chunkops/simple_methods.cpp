// The chunk methods that are the frame around one or two operations:
// removals, changes, highlights, the small appends (text, paragraphs, new
// lines, tabs, page breaks, anchors), the attachment methods that hand an
// option string to the engine, and AppendField.
#include <cstring>

#include "chunkops/chunk_frame.h"
#include "chunkops/method_support.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// The query code that leaves the chunk's first and last record numbers.
constexpr std::uint16_t kQueryRecordRange = 2321;

} // namespace

std::uint16_t ZervaRTChunk::RemoveSections() { return RunChunkOperation(this, kOpRemoveSections); }

std::uint16_t ZervaRTChunk::RemoveLinks(int n) {
    return RunChunkOperation(this, kOpRemoveLinks, static_cast<std::uint16_t>(n));
}

std::uint16_t ZervaRTChunk::RemoveHotspots() { return RunChunkOperation(this, kOpRemoveHotspots); }

std::uint16_t ZervaRTChunk::RemoveFields(const char* names, std::uint16_t length) {
    if (length == 0 && names != nullptr) length = TextLength16(names);
    return RunChunkOperation(this, kOpRemoveFields, length, 0, 0, 0, names);
}

std::uint16_t ZervaRTChunk::Remove() {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    SessionWorkArea* area = session->workArea;
    area->foundFirstRecord = 0;
    area->foundLastRecord = 0;
    // With attachments in the note, the range of the chunk tells the
    // removal which of them its file hotspots name. A failed query only
    // leaves the range empty.
    if (plat::ItemIsPresent(item->noteHandle, "$FILE", 5)) RunChunkOperation(this, kOpQuery, kQueryRecordRange);
    return RunChunkOperation(this, kOpRemove);
}

std::uint16_t ZervaRTChunk::ChangeFont(const char* font, const char* matchFont, int n) {
    if (font == nullptr) return kOK;
    return RunChunkOperation(this, kOpChangeFont, static_cast<std::uint16_t>(n), 0, 0, 0, font, matchFont);
}

std::uint16_t ZervaRTChunk::ChangeParagraph(const char* style, const char* style2, int n) {
    if (style == nullptr) return kOK;
    return RunChunkOperation(this, kOpChangeParagraph, static_cast<std::uint16_t>(n), 0, 0, 0, style, style2);
}

std::uint16_t ZervaRTChunk::ChangeTable(const char* properties, std::uint16_t length) {
    if (properties == nullptr || length == 0) return kOK;
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    // The first length bytes, terminated, in a copy: the caller's text is
    // left as it is.
    const std::size_t used = strnlen(properties, length);
    TrackedBlock* copy = QuorbelAllocateBlock(session, __LINE__, kChunkMethodsTag,
                                              static_cast<std::uint32_t>(used + 1), 0);
    if (copy == nullptr) return Refuse(this, kOutOfMemory);
    std::memcpy(copy->data, properties, used);
    copy->data[used] = '\0';
    const STATUS status =
        RunChunkOperation(this, kOpChangeTable, 0, 0, 0, 0, reinterpret_cast<const char*>(copy->data));
    QuorbelReleaseBlock(session, copy);
    return status;
}

std::uint16_t ZervaRTChunk::Highlight(int n) {
    return RunChunkOperation(this, kOpHighlight, static_cast<std::uint16_t>(n));
}

std::uint16_t ZervaRTChunk::HighlightText(const char* text, std::uint16_t length) {
    if (text == nullptr) return Refuse(this, kErrFormula);
    return RunChunkOperation(this, kOpHighlightText, 0, CharactersToBytes(text, length), 0, 0, nullptr, text);
}

// The engine writes every character in one pass, in runs of at most 32;
// the new paragraph, when asked for, follows the last run.
std::uint16_t ZervaRTChunk::AppendNewLines(std::uint16_t count, int newParagraph) {
    return RunChunkOperation(this, kOpAppendNewLines, count, newParagraph != 0 ? 1 : 0);
}

std::uint16_t ZervaRTChunk::AppendTabs(std::uint16_t count) { return RunChunkOperation(this, kOpAppendTabs, count, 0); }

std::uint16_t ZervaRTChunk::AppendPageBreak() { return RunChunkOperation(this, kOpAppendPageBreak); }

std::uint16_t ZervaRTChunk::AppendAnchor(const char* name, std::uint16_t nameLength) {
    // The engine takes nameLength bytes of the name: never more than it holds.
    if (name == nullptr) nameLength = 0;
    else nameLength = static_cast<std::uint16_t>(strnlen(name, nameLength));
    return RunChunkOperation(this, kOpAppendAnchor, 0, nameLength, 0, 0, name);
}

std::uint16_t ZervaRTChunk::AppendText(const char* text, std::uint16_t length, const char* font) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    ItemWorkState* state = item->work;
    // The engine writes the bytes it is told of: a length of 0 is the
    // whole text, and no length reaches past the text.
    const std::uint16_t bytes = text == nullptr ? 0
                                : length == 0   ? TextLength16(text)
                                                : static_cast<std::uint16_t>(strnlen(text, length));
    STATUS status = RunChunkOperation(this, kOpAppendText, 0, bytes, 0, 0, text, font);
    // Empty text runs the append left inside a group are merged away.
    if (status == kOK && state->emptyTextAppended != 0 && bytes != 0) status = RunChunkOperation(this, kOpCleanUp);
    state->emptyTextAppended = 0;
    return status;
}

std::uint16_t ZervaRTChunk::AppendParagraph(const char* style, const char* font, const char* formula,
                                            std::uint16_t formulaLength) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    session->textResultLength = 0;
    session->textResult[0] = '\0';
    lastStatus = kOK;
    // The compiled hide formula goes to the engine in the text result.
    CompiledFormula compiled;
    if (formula != nullptr && formulaLength > 0) {
        if (CompileFormula(formula, formulaLength, &compiled) != kOK ||
            !PutInTextResult(session, 0, compiled.bytes, compiled.length)) {
            return Refuse(this, kHtmlTreeLost);
        }
    }
    const STATUS status = RunChunkOperation(this, kOpAppendParagraph, 0, 0, 0, 0, style, font);
    session->textResultLength = 0;
    return status;
}

void ZervaRTChunk::ExpandPabDefs(const char* options) {
    RunChunkOperation(this, kOpExpandParagraphDefinitions, 0, 0, 0, 0, options);
}

std::uint16_t ZervaRTChunk::SwitchRTFieldsToHTMLEditor(int n, const char* options, char* result,
                                                       std::uint32_t resultSize) {
    ChunkOperation run;
    run.operation = kOpUseWebEditor;
    run.op2 = static_cast<std::uint16_t>(n);
    if (ChunkUsable(this)) session->messageBuffer[0] = '\0';
    const STATUS status = RunChunkOperationWithOptions(this, run, options);
    if (result != nullptr && resultSize > 0) {
        const char* message = session != nullptr ? session->messageBuffer : "";
        const std::size_t length = strnlen(message, resultSize - 1);
        std::memcpy(result, message, length);
        result[length] = '\0';
    }
    return status;
}

std::uint16_t ZervaRTChunk::RefreshAttachmentIcon(int n, const char* options) {
    ChunkOperation run;
    run.operation = kOpRefreshAttachmentIcon;
    run.op2 = static_cast<std::uint16_t>(n);
    return RunChunkOperationWithOptions(this, run, options);
}

std::uint16_t ZervaRTChunk::RenameAttachment(const char* name, int n, const char* options) {
    ChunkOperation run;
    run.operation = kOpRenameAttachment;
    run.op2 = static_cast<std::uint16_t>(n);
    run.second = name;
    return RunChunkOperationWithOptions(this, run, options);
}

std::uint16_t ZervaRTChunk::AppendFileAttachment(const char* path, const char* name, int n, const char* options) {
    ChunkOperation run;
    run.operation = kOpAppendFileAttachment;
    run.op2 = static_cast<std::uint16_t>(n);
    run.argument = path;
    run.second = name;
    return RunChunkOperationWithOptions(this, run, options);
}

std::uint16_t ZervaRTChunk::AppendField(const char*, std::uint16_t, const char*, std::uint16_t, const char*,
                                        std::uint16_t, const char*, std::uint16_t, const char*, std::uint16_t,
                                        const char*, std::uint16_t, const char*, std::uint16_t) {
    if (work == nullptr) return kArgumentError;
    // Three work blocks, taken once for the chunk and freed with it; the
    // first two are kept locked and zero-filled.
    STATUS status = kOK;
    for (int i = 0; i < kFieldWorkBlocks; ++i) {
        if (work->fieldBlocks[i] != 0) continue;
        plat::DHANDLE handle = 0;
        status = plat::MemAlloc(kWorkBufferSize, 0, &handle);
        if (status != plat::NOERROR) return status;
        work->fieldBlocks[i] = handle;
        if (i < 2) {
            void* data = plat::MemLock(handle);
            if (data != nullptr) std::memset(data, 0, kWorkBufferSize);
        }
    }
    return status;
}
