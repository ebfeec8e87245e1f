// The executor inside a chunk: the frame every record inside the located
// chunk passes through (already-written test, dispatch by operation code,
// the common tail that passes a kept record to the output of a writing
// run), and the operations that read and replace the chunk's text: 9 (get
// text), 10 (set text), the colour stripping of 2387/2388 and the cell
// borders of 2393.
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "core/ascii.h"
#include "core/brackets.h"
#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_search.h"
#include "engine/chunk_match.h"
#include "engine/exec_handlers.h"
#include "engine/inside_executor.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

// Cell record: the border byte (two bits a side), the flags byte and the
// extended border word (four bits a side).
constexpr std::uint32_t kCellBorder = 10, kCellBorderWord = 12;
// The large paragraph record's flags byte: 1 begins one, 2 ends it.
constexpr std::uint32_t kLargeParagraphFlags = 6;
// The most text operation 9 collects.
constexpr std::uint32_t kTextCap = 65340;

// Operation 9: the text of the chunk's non-empty text runs (left-to-right
// and right-to-left runs alike: both hold their text after the same 8-byte
// header) goes to the session's text result; a3 = 0 takes the first run
// only, else every run
// with the argument text written between runs. The result never grows past
// kTextCap bytes and stays terminated. A run given a WholeText (the run's
// pointer) collects the same text into it instead, whole.
void CollectText(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                 RecordProcessContext* context) {
    auto* whole = static_cast<WholeText*>(context->pointer);
    if (whole != nullptr && signature == kSigLargeParagraph) {
        whole->insideLargeParagraph = length > kLargeParagraphFlags && (record[kLargeParagraphFlags] & 1) != 0;
        return;
    }
    if (whole != nullptr && signature == kSigParagraph) {
        if (whole->paragraphLineEnds && !whole->insideLargeParagraph && !whole->text.empty())
            whole->pendingLineEnds += 1;
        return;
    }
    if ((signature != kSigText && signature != kSigBidiText) || length <= kTextRunHeader || context->chunkDone != 0)
        return;
    RARIvoSession* session = context->session;
    const char* run = reinterpret_cast<const char*>(record) + kTextRunHeader;
    std::uint32_t runLength = length - kTextRunHeader;
    if (whole != nullptr) {
        std::string& text = whole->text;
        if (context->a3 == 0) context->chunkDone = context->readDone = 1;
        if (context->a3 != 0 && context->argumentText != nullptr && !text.empty()) text.append(context->argumentText);
        text.append(whole->pendingLineEnds, '\0');
        whole->pendingLineEnds = 0;
        text.append(run, runLength);
        return;
    }
    std::uint32_t have = context->a3 == 0 ? 0 : session->textResultLength;
    const char* separator = context->a3 == 0 ? nullptr : context->argumentText;
    // A separator goes only between runs, so it counts only when a run is
    // already there.
    std::uint32_t separatorLength = (separator != nullptr && have > 0) ? std::strlen(separator) : 0;

    if (context->a3 == 0) context->chunkDone = context->readDone = 1;
    if (have + separatorLength > kTextCap) {
        context->chunkDone = context->readDone = 1;
        return;
    }
    if (have + separatorLength + runLength > kTextCap) {
        context->chunkDone = context->readDone = 1;
        // Cut between characters: a character the cap would split is left
        // out whole.
        runLength = WholeCharsWithin(run, runLength, kTextCap - have - separatorLength);
    }
    char* out = session->textResult + have;
    if (separatorLength > 0) std::memcpy(out, separator, separatorLength);
    std::memcpy(out + separatorLength, run, runLength);
    have += separatorLength + runLength;
    session->textResult[have] = '\0';
    session->textResultLength = static_cast<std::uint16_t>(have);
}


// Operation 10 at the chunk's first text run: the new text, in the font of
// the runs before it with the caller's specification (or the permanent pen)
// applied; coloured text is wrapped in CDBEGIN, colour record and CDEND.
STATUS WriteNewText(std::uint32_t replacedLength, RecordProcessContext* context) {
    ZervaRTItem* item = context->chunk->item;
    SessionWorkArea* area = context->session->workArea;
    RecordOutput* output = &context->output;
    FontId font = ReadFontId(item->work->textTemplate + 4);
    area->currentRGB = 0;
    area->currentColorFlags = 0;
    const bool fontGiven = context->secondArgument != nullptr && context->secondArgument[0] != '\0';
    if (item->permanentPen != 0 || fontGiven) {
        ApplyFontSpec(&font, &area->currentRGB, &area->currentColorFlags, context->font, context->fontMask);
    }

    STATUS status = kOK;
    if (replacedLength == kTextRunHeader) {
        status = AppendTextRecord(nullptr, 0, &font, output);
        if (status != kOK) return status;
    }
    if (output->tableJustEnded != 0) {
        // Text right after a table starts a paragraph of the definition the
        // table interrupted.
        status = AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord, output);
        if (status != kOK) return status;
        std::int32_t level = output->tableLevel + 1;
        if (level >= kTableLevels) level = kTableLevels - 1;
        output->requestedParagraphId = static_cast<std::uint16_t>(output->savedParagraphId[level]);
        output->savedParagraphId[level] = 0;
        output->tableJustEnded = 0;
        status = AppendRecord(context->paragraphReference, kSigPabReference, sizeof context->paragraphReference,
                              output);
        output->requestedParagraphId = 0;
        if (status != kOK) return status;
    }
    // Empty new text after an empty run is not written (the run stands for
    // it), and then neither is a colour bracket round it.
    const bool coloured = (area->currentRGB != 0 || area->currentColorFlags != 0) &&
                          !(context->a3 == 0 && DropsEmptyText(output));
    if (coloured) {
        status = AppendBeginRecord(kSigText, 0, output);
        if (status != kOK) return status;
    }
    status = AppendTextRecord(context->argumentText, context->a3, &font, output);
    if (status != kOK) return status;
    item->modified = 1;
    if (coloured) {
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), area->currentRGB, area->currentColorFlags,
                                   output);
        if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    }
    return status;
}

// Operation 10: the chunk's first text run is replaced by the new text;
// later non-empty runs go, empty runs and every other record stay.
// The CDEND that closes a colour bracket round one non-empty text run
// (CDBEGIN, the run, its colour records, CDEND) starting at begin; null when
// begin does not open such a bracket.
const CDRecordNode* BracketedRunEnd(const CDRecordNode* begin) {
    if (begin == nullptr || !Brackets(begin, kSigBegin, kSigText)) return nullptr;
    const CDRecordNode* node = begin->next;
    if (node == nullptr || node->signature != kSigText || node->length <= kTextRunHeader) return nullptr;
    for (node = node->next; node != nullptr && node->signature == kSigColor; node = node->next) {
    }
    return node != nullptr && Brackets(node, kSigEnd, kSigText) ? node : nullptr;
}

STATUS SetText(std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
               RecordProcessContext* context) {
    if (context->chunkDone != 0 && signature == kSigBegin) {
        // A later run that goes takes its colour bracket with it: kept, the
        // bracket would stay behind empty at every setting of the text.
        const CDRecordNode* end = BracketedRunEnd(context->node);
        if (end != nullptr) {
            *passOn = 0;
            context->consumedThrough = end->index;
            context->chunk->item->modified = 1;
        }
        return kOK;
    }
    if (signature != kSigText) return kOK;
    if (context->chunkDone != 0) {
        if (length > kTextRunHeader) *passOn = 0;
        return kOK;
    }
    context->chunkDone = 1;
    *passOn = 0;
    return WriteNewText(length, context);
}

// Operations 2387 and 2388: inside a link being built round the chunk, the
// text brackets go and, from the first one on, the colour records.
void StripTextColour(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     std::uint32_t* passOn, RecordProcessContext* context) {
    if (Brackets(record, signature, length, kSigBegin, kSigText)) {
        context->chunkDone = 1;
        *passOn = 0;
    } else if (Brackets(record, signature, length, kSigEnd, kSigText)) {
        *passOn = 0;
    } else if (signature == kSigColor && context->chunkDone != 0) {
        *passOn = 0;
    }
}

// One side of a cell border from its character: "0", "1" or "2" give that
// width in the border byte; digits give the extended width, "N" none; any
// other character (or none) keeps the side as it is.
void SetBorderSide(char side, int byteShift, int wordShift, std::uint8_t* borderByte, std::uint16_t* borderWord) {
    if (side >= '0' && side <= '2') {
        *borderByte = static_cast<std::uint8_t>((*borderByte & ~(3u << byteShift)) | ((side - '0') << byteShift));
    }
    int width = -1;
    if (side == 'N' || side == 'n') width = 0;
    else if (IsAsciiDigit(side)) width = side - '0';
    if (width >= 0) {
        *borderWord = static_cast<std::uint16_t>((*borderWord & ~(0xFu << wordShift)) | (width << wordShift));
    }
}

// Operation 2393: a cell record is rebuilt with the borders of the argument
// text, one character a side: top, bottom, left, right. The copy is passed
// on; the record list itself is not changed.
STATUS SetCellBorders(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                      std::uint32_t* passOn, RecordProcessContext* context) {
    if ((signature != kSigTableCell && signature != kSigNestedTableCell) || length < kCellBorderWord + 2 ||
        length > kTableCellLength)
        return kOK;
    std::uint8_t cell[kTableCellLength] = {};
    std::memcpy(cell, record, length);
    const char* sides = context->argumentText != nullptr ? context->argumentText : "";
    char side[4] = {};
    for (int i = 0; i < 4 && sides[i] != '\0'; ++i) side[i] = sides[i];
    std::uint8_t border = cell[kCellBorder];
    std::uint16_t word = ReadWord(cell + kCellBorderWord);
    // Bits of each side: top, bottom, left, right.
    const int byteShift[4] = {4, 6, 0, 2};
    const int wordShift[4] = {8, 12, 0, 4};
    for (int i = 0; i < 4; ++i) SetBorderSide(side[i], byteShift[i], wordShift[i], &border, &word);
    cell[kCellBorder] = border;
    WriteWord(cell + kCellBorderWord, word);
    context->chunk->item->modified = 1;
    *passOn = 0;
    if (context->writesItem == 0) return kOK;
    return AppendRecord(cell, signature, length, &context->output);
}

// Whether the chunk's target is an element that holds no text run of its
// own (a button, anchor, graphic, layer, rule, field, link to a note,
// object or image map): new text has no place in it.
bool TargetHoldsNoText(const RecordProcessContext* context) {
    const ChunkDefInfo* level = context->firstLevel;
    if (level == nullptr) return false;
    while (WalkNext(level) != nullptr) level = WalkNext(level);
    switch (level->elementType) {
    case kTypeButton:
    case kTypeDoclink:
    case kTypeOleObject:
    case kTypeAnchor:
    case kTypeGraphic:
    case kTypeField:
    case kTypeHR:
    case kTypeLayer:
    case kTypeImageMap:
    case kTypeGraphicHotspot:
        return true;
    default:
        return false;
    }
}

// Operation 10 after the chunk: a chunk that held no text run (a paragraph
// whose text was removed, say) gets the new text at its end, where the
// walk would otherwise finish with nothing written and the text lost. An
// element that holds no text keeps none: the text would land beside it.
STATUS SetTextAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->chunkDone != 0 || context->writesItem == 0 || TargetHoldsNoText(context)) return kOK;
    context->chunkDone = 1;
    return WriteNewText(0, context);
}

// Operation 9 at the start of each target: collecting whole text with
// paragraph line ends, a paragraph target after text was taken begins a
// paragraph of its own, though the paragraph record that opens it is left
// out of the target's records.
STATUS CollectTextStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    auto* whole = static_cast<WholeText*>(context->pointer);
    const ChunkDefInfo* level = context->matchedLevel;
    if (whole == nullptr || !whole->paragraphLineEnds || whole->insideLargeParagraph || whole->text.empty() ||
        level == nullptr)
        return kOK;
    if (level->elementType == kTypeParagraph || level->elementType == kTypeParagraphList) whole->pendingLineEnds += 1;
    return kOK;
}

// Uniform executors over the handlers above.
STATUS CollectTextInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                         RecordProcessContext* context) {
    CollectText(record, signature, length, context);
    return kOK;
}
STATUS SetTextInside(std::uint8_t*, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    return SetText(signature, length, passOn, context);
}
STATUS StripTextColourInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                             std::uint32_t* passOn, RecordProcessContext* context) {
    StripTextColour(record, signature, length, passOn, context);
    return kOK;
}
STATUS SetCellBordersInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                            std::uint32_t* passOn, RecordProcessContext* context) {
    return SetCellBorders(record, signature, length, passOn, context);
}

// Get text, set text, cell borders. The colour stripping of 2387/2388 is
// registered with the link builders that write round it (its executor is
// StripTextColourInside).
const OperationRow kRows[] = {
    {kOpGetText, CollectTextStart, CollectTextInside, nullptr},
    {kOpSetText, nullptr, SetTextInside, SetTextAtEnd, &kTextFontSteps, kRebuildsItem},
    {kOpSetCellBorders, nullptr, SetCellBordersInside, nullptr, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kInsideOperations = MakeFamily(kRows);

// The colour stripping inside a link being built round the chunk.
InsideExecutor StripTextColourExecutor() { return StripTextColourInside; }

STATUS ProcessChunkRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          RecordProcessContext* context) {
    if (context == nullptr || context->session == nullptr) return kArgumentError;
    std::uint32_t passOn = length;
    const OperationRow* row = OperationExecutors(context);
    const std::uint32_t facts = row != nullptr ? row->facts : 0;
    STATUS status = RunInsideExecutor(record, signature, length, &passOn, row, context);
    if (status != kOK) return status;

    // Nothing is appended while the run does not rebuild the item, whatever
    // the handler decided.
    if (context->writesItem == 0) return status;
    if (passOn == 0) {
        // A dropped or replaced record changes the item, unless the run
        // only marks text.
        if ((facts & kMarksOnly) == 0) context->chunk->item->modified = 1;
        return status;
    }
    CDRecordNode* node = context->node;
    SessionWorkArea* area = context->session->workArea;
    const bool keepMark = (facts & kKeepsLinkMarks) != 0 && node != nullptr && node->bytes == record &&
                          (node->flags & kNodeLinkMark) != 0;
    if (keepMark) area->linkMark = 1;
    if (node != nullptr && node->bytes == record && passOn == node->length) {
        status = AppendRecordNode(node, &context->output);
    } else {
        status = AppendRecord(record, signature, passOn, &context->output);
    }
    if (keepMark) area->linkMark = 0;
    return status;
}

} // namespace talix
