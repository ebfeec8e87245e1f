// The text methods of a chunk: reading the text of its runs, setting and
// replacing text, testing whether a font is used, reading stored HTML
// attributes, and the six event-return strings.
#include <cstring>
#include <string>

#include "chunkops/chunk_frame.h"
#include "chunkops/chunk_text.h"
#include "chunkops/method_support.h"
#include "core/chunk_work_state.h"
#include "core/operation_codes.h"
#include "core/owned_text.h"
#include "core/properties.h"
#include "core/text_compare.h"
#include "core/text_search.h"
#include "engine/exec_handlers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

using namespace talix;

namespace {

// The scope words of ReplaceTextQuick, as bits.
constexpr std::uint16_t kScopeText = 1, kScopeNonText = 2, kScopeFormula = 4, kScopeHideWhen = 8, kScopeURL = 16,
                        kScopeEverything = 31;

std::uint16_t ScopeMask(const char* scope) {
    if (scope == nullptr || scope[0] == '\0') return kScopeText;
    std::uint16_t mask = 0;
    if (std::strstr(scope, "EVERYTHING") != nullptr) mask |= kScopeEverything;
    if (std::strstr(scope, "NONTEXT") != nullptr) mask |= kScopeNonText;
    if (std::strstr(scope, "FORMULA") != nullptr) mask |= kScopeFormula;
    if (std::strstr(scope, "HIDEWHEN") != nullptr) mask |= kScopeHideWhen;
    if (std::strstr(scope, "URL") != nullptr) mask |= kScopeURL;
    // "TEXT" counts unless its first occurrence is the end of "NONTEXT".
    const char* text = std::strstr(scope, "TEXT");
    if (text != nullptr && (text == scope || text[-1] != 'N')) mask |= kScopeText;
    return mask;
}

// The number of a word in a list, compared whole and ignoring case; 0 when
// it is not there.
std::uint16_t WordNumber(const char* word, const char* const* words, std::uint16_t count) {
    for (std::uint16_t i = 0; i < count; ++i) {
        if (CompareNamesNoCase(word, words[i]) == 0) return static_cast<std::uint16_t>(i + 1);
    }
    return 0;
}

} // namespace

std::uint32_t ZervaRTChunk::GetText(const char* subDefinition, char* buffer, std::uint32_t bufferSize, int allRuns,
                                    const char* separator) {
    if (buffer != nullptr && bufferSize > 0) buffer[0] = '\0';
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return 0;
    }
    session->messageBuffer[0] = '\0';
    EmptyTextResult(session);

    ChunkOperation run;
    run.operation = kOpGetText;
    run.op2 = kChunkText;
    run.a3 = allRuns != 0 ? 1 : 0;
    run.argument = separator;
    run.subDefinition = subDefinition;
    // A failed run gives no text, not part of it.
    if (RunChunkOperation(this, run) != kOK) EmptyTextResult(session);
    if (buffer == nullptr || bufferSize == 0) return 0;
    std::uint32_t length = session->textResultLength;
    if (bufferSize <= length) {
        // Only whole characters go into a buffer too small for the text.
        length = WholeCharsWithin(session->textResult, length, bufferSize - 1);
        session->textResultLength = static_cast<std::uint16_t>(length);
        session->textResult[length] = '\0';
    }
    std::memcpy(buffer, session->textResult, length);
    buffer[length] = '\0';
    return length;
}

namespace talix {

STATUS GetWholeChunkText(ZervaRTChunk* chunk, std::string* text, bool paragraphLineEnds) {
    if (text == nullptr) return kArgumentError;
    text->clear();
    if (!ChunkUsable(chunk)) return Refuse(chunk, kArgumentError);
    WholeText whole;
    whole.paragraphLineEnds = paragraphLineEnds;
    ChunkOperation run;
    run.operation = kOpGetText;
    run.op2 = kPropertyText;
    run.a3 = 1;
    run.pointer = &whole;
    if (RunChunkOperation(chunk, run) == kOK) text->swap(whole.text);
    return chunk->lastStatus;
}

} // namespace talix

std::uint16_t ZervaRTChunk::SetText(const char* subDefinition, const char* text, std::uint16_t length,
                                    const char* font) {
    if (subDefinition == nullptr || subDefinition[0] == '\0') return kOK;
    if (text == nullptr) text = "";
    ChunkOperation run;
    run.operation = kOpSetText;
    run.op2 = kChunkText;
    run.a3 = CharactersToBytes(text, length);
    run.argument = text;
    run.second = font;
    run.subDefinition = subDefinition;
    return RunChunkOperation(this, run);
}

std::uint16_t ZervaRTChunk::ReplaceTextQuick(const char* find, std::uint16_t findLength, const char* replacement,
                                             std::uint16_t replacementLength, const char* scope) {
    if (find == nullptr || replacement == nullptr) return Refuse(this, kErrFormula);
    // The lengths the engine takes are never more than the texts hold.
    findLength = findLength == 0 ? TextLength16(find) : static_cast<std::uint16_t>(strnlen(find, findLength));
    replacementLength = static_cast<std::uint16_t>(strnlen(replacement, replacementLength));
    return RunChunkOperation(this, kOpReplaceText, replacementLength, findLength, ScopeMask(scope), 0, replacement,
                             find);
}

int ZervaRTChunk::FontInUse(const char* font) {
    if (font == nullptr) return 0;
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return 0;
    }
    lastStatus = kOK;
    std::strcpy(session->messageBuffer, "0");
    RunChunkOperation(this, kOpFontInUse, 0, 0, 0, 0, font);
    return std::strcmp(session->messageBuffer, "1") == 0 ? 1 : 0;
}

const char* ZervaRTChunk::GetHTMLValue(const char* attribute, const char* element) {
    static const char kEmpty[] = "";
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return kEmpty;
    }
    errorWord = 0;
    EmptyTextResult(session);
    if (attribute == nullptr) return session->textResult;
    static const char* const kElements[] = {"Table", "Cell"};
    static const char* const kAttributes[] = {"NAME", "ID", "CLASS", "STYLE", "TITLE", "OTHER"};
    const std::uint16_t elementNumber = element != nullptr ? WordNumber(element, kElements, 2) : 0;
    const std::uint16_t attributeNumber = WordNumber(attribute, kAttributes, 6);
    if (attributeNumber == 0) return session->textResult;
    // A failure leaves its status in lastStatus and the text empty.
    if (RunChunkOperation(this, kOpGetHtmlAttribute, attributeNumber, elementNumber, 0, 0, attribute) != kOK)
        EmptyTextResult(session);
    return session->textResult;
}

void ZervaRTChunk::SetEventRetString(std::uint16_t slot, const char* text, std::uint16_t length) {
    if (slot < 1 || slot > kEventReturnStrings) {
        // Outside the six slots: nothing is stored, and the link kind goes
        // down by one.
        if (work != nullptr) work->linkRequest.kind = static_cast<std::uint16_t>(work->linkRequest.kind - 1);
        return;
    }
    char*& stored = eventReturn[slot - 1];
    FreeOwnedText(stored);
    if (text == nullptr) return;
    stored = CopyOwnedText(text, strnlen(text, length));
}

void ZervaRTChunk::CleanupEventRetString(std::uint16_t slot) {
    if (slot < 1 || slot > kEventReturnStrings) return;
    FreeOwnedText(eventReturn[slot - 1]);
}
