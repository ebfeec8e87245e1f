// The append family of the executors at chunk start and end: anchors, new
// lines and tabs, page breaks, paragraphs and text, written before the
// chunk's first record (the chunk's append-at-end word 0) or after its last
// one (the word set).
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/text_runs.h"
#include "core/brackets.h"
#include "core/item_work_state.h"
#include "core/paragraph_def.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc";

// Chunk types whose end is looked at one record early.
constexpr std::uint16_t kTypeButton = 3, kTypeSection = 4, kTypeRow = 5;

// Host offsets.
constexpr std::uint32_t kReferenceId = 2;      // CDPABREFERENCE
constexpr std::uint32_t kHideFormulaStart = 14;

constexpr std::uint16_t kFlagHidden = 0x0800;  // the paragraph has a hide formula
constexpr std::uint16_t kFlagPageBreak = 0x0101;
constexpr std::uint32_t kMaxRepeatedCharacters = 32;

// The font of new text: the item's default font, with the operation's font
// specification applied when the item writes with its permanent pen or the
// caller gave a specification (penOnly: only the permanent pen counts). The
// session's current colour is what the font specification gave, else none.
FontId TextFont(RecordProcessContext* context, bool penOnly) {
    ZervaRTItem* item = context->chunk->item;
    SessionWorkArea* area = context->session->workArea;
    FontId font = ItemDefaultFont(item);
    area->currentRGB = 0;
    area->currentColorFlags = 0;
    const bool fontGiven = !penOnly && context->secondArgument != nullptr && context->secondArgument[0] != '\0';
    if (item->permanentPen != 0 || fontGiven) {
        ApplyFontSpec(&font, &area->currentRGB, &area->currentColorFlags, context->font, context->fontMask);
    }
    return font;
}

STATUS AppendParagraphRecord(RecordProcessContext* context) {
    return AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord, &context->output);
}

// A paragraph reference to the id given, or to the walk's current one. Where
// nothing written yet gives a paragraph definition (an append before the
// item's first record), the walk's current definition goes first and the
// reference names it: a reference must follow the definition it names.
STATUS AppendReference(RecordProcessContext* context, std::uint16_t id = 0) {
    if (context->output.currentParagraphId == 0) {
        const STATUS status = AppendRecord(context->paragraphDefinition, kSigPabDefinition,
                                           context->paragraphDefinitionLength, &context->output);
        if (status != kOK) return status;
        if (id == 0) id = static_cast<std::uint16_t>(context->output.currentParagraphId);
    }
    std::uint8_t reference[sizeof context->paragraphReference];
    std::memcpy(reference, context->paragraphReference, sizeof reference);
    if (id != 0) WriteWord(reference + kReferenceId, id);
    return AppendRecord(reference, kSigPabReference, sizeof reference, &context->output);
}

// The walk's current paragraph definition, when the walk asks for it again.
STATUS AppendDefinitionAgain(RecordProcessContext* context) {
    if (context->emitDefinitionAgain == 0) return kOK;
    return AppendRecord(context->paragraphDefinition, kSigPabDefinition, context->paragraphDefinitionLength,
                        &context->output);
}

bool OneOf(std::uint16_t value, std::initializer_list<std::uint16_t> list) {
    for (std::uint16_t item : list)
        if (item == value) return true;
    return false;
}

// A record buffer from the tracked pool; null when out of memory.
std::uint8_t* WorkRecord(RecordProcessContext* context, std::uint32_t length) {
    return static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, kSourceName, length, 1));
}

// 2351: an anchor record carrying the name (argument text, a3 bytes), and
// an empty text run after it (at the start) or before it (at the end).
STATUS AppendAnchor(bool atEnd, RecordProcessContext* context) {
    const std::uint32_t nameLength = context->a3;
    if (nameLength > 0 && context->argumentText == nullptr) return kArgumentError;
    const std::uint32_t length = EvenLength(kAnchorFixedLength + nameLength);
    // The record's 16-bit length field must hold its length.
    if (length > 0xFFFF) return kArgumentError;
    std::uint8_t* anchor = WorkRecord(context, length);
    if (anchor == nullptr) return kOutOfMemory;
    WriteRecordHeader(anchor, kSigAnchor, static_cast<std::uint16_t>(length));
    WriteWord(anchor + kAnchorTextLengthAt, static_cast<std::uint16_t>(nameLength));
    if (nameLength > 0) std::memcpy(anchor + kAnchorFixedLength, context->argumentText, nameLength);

    RecordOutput* output = &context->output;
    STATUS status = kOK;
    if (atEnd) {
        status = AppendTextRecord(nullptr, 0, nullptr, output);
        if (status == kOK) status = AppendRecord(anchor, kSigAnchor, length, output);
    } else {
        status = AppendRecord(anchor, kSigAnchor, length, output);
        if (status == kOK) status = AppendTextRecord(nullptr, 0, nullptr, output);
    }
    ZervaDeallocate(context->session, anchor);
    return status;
}

// 2354 and 2360: op2 line breaks or tabs as text runs of at most 32 (one
// empty run for 0), all of them in this one pass over the item; new lines
// with a3 set close the paragraph after them, and the paragraph after them
// takes the reference given (0: the walk's current one).
STATUS AppendRepeated(char character, RecordProcessContext* context, std::uint16_t reference = 0) {
    char text[kMaxRepeatedCharacters];
    std::memset(text, character, sizeof text);
    const FontId font = TextFont(context, true);
    std::uint32_t left = context->operation2;
    STATUS status = kOK;
    do {
        const std::uint32_t count = left < kMaxRepeatedCharacters ? left : kMaxRepeatedCharacters;
        left -= count;
        status = AppendTextRecord(text, count, &font, &context->output);
    } while (status == kOK && left > 0);
    if (status != kOK || character != '\0' || context->a3 == 0) return status;
    status = AppendParagraphRecord(context);
    if (status == kOK) status = AppendReference(context, reference);
    return status;
}

// 2409: a paragraph, a definition with the page-break flag, a reference to
// it, an empty text run and a paragraph.
STATUS AppendPageBreak(RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    STATUS status = AppendParagraphRecord(context);
    if (status != kOK) return status;

    CDPABDEFEXT definition = DefaultParagraphDefinition(NextParagraphId(output));
    definition.flags = kFlagPageBreak;
    std::uint8_t bytes[kParagraphImageSize] = {};
    std::memcpy(bytes, &definition, sizeof bytes);
    status = AppendRecord(bytes, kSigPabDefinition, definition.length, output);
    if (status != kOK) return status;
    status = AppendReference(context, definition.pabId);
    if (status != kOK) return status;
    const FontId font = ItemDefaultFont(context->chunk->item);
    status = AppendTextRecord(nullptr, 0, &font, output);
    if (status != kOK) return status;
    return AppendParagraphRecord(context);
}

// The hide formula of a new paragraph: the compiled formula the caller left
// in the session's text result, in a 0xFFBB record naming the paragraph.
STATUS AppendHideFormula(std::uint16_t id, RecordProcessContext* context) {
    RARIvoSession* session = context->session;
    std::uint32_t formulaLength = session->textResultLength;
    if (formulaLength > RARIvoSession::kTextResultCapacity) formulaLength = RARIvoSession::kTextResultCapacity;
    const std::uint32_t length = EvenLength(kHideFormulaStart + formulaLength);
    if (length > 0xFFFF) return kArgumentError;
    std::uint8_t* record = WorkRecord(context, length);
    if (record == nullptr) return kOutOfMemory;
    WriteRecordHeader(record, kSigPabHide, static_cast<std::uint16_t>(length));
    WriteWord(record + kPabIdAt, id);
    std::memcpy(record + kHideFormulaStart, session->textResult, formulaLength);
    STATUS status = AppendRecord(record, kSigPabHide, length, &context->output);
    ZervaDeallocate(session, record);
    return status;
}

// 2417: a new paragraph whose definition is the walk's current one with a
// new id and the operation's paragraph style, with the hide formula the
// caller gave.
STATUS AppendNewParagraph(bool atEnd, RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    const std::uint32_t index = context->node != nullptr ? context->node->index : context->recordCounter;
    STATUS status = kOK;
    if (atEnd || index > 1) {
        status = AppendParagraphRecord(context);
        if (status != kOK) return status;
    }

    std::uint8_t definition[kParagraphImageSize] = {};
    std::memcpy(definition, context->paragraphDefinition, kParagraphImageSize);
    const std::uint16_t id = NextParagraphId(output);
    WriteWord(definition + kPabIdAt, id);
    const ParagraphStyleState& style = context->paragraph;
    status = SetParagraphDefinition(definition, &style.definition[0], style.flagsSet, style.flagsClear,
                                    style.flags2Set, style.flags2Clear, style.flags3Set, style.flags3Clear,
                                    style.listType[0], style.listClear[0], style.shiftLeftOffset,
                                    style.shiftRightOffset, style.shiftLeftPercent, style.shiftRightPercent,
                                    style.mask[0], 1, 0);
    if (status != kOK) return status;
    const bool hidden = context->session->textResultLength > 0;
    if (hidden) {
        WriteWord(definition + kPabFlagsAt,
                  static_cast<std::uint16_t>(ReadWord(definition + kPabFlagsAt) | kFlagHidden));
    }
    std::uint32_t length = ReadWord(definition + 2);
    if (length > kParagraphImageSize) length = kParagraphImageSize;
    status = AppendRecord(definition, kSigPabDefinition, length, output);
    if (status == kOK && hidden) status = AppendHideFormula(id, context);
    if (status == kOK) status = AppendReference(context, id);
    if (status != kOK) return status;
    const FontId font = TextFont(context, false);
    status = AppendTextRecord(nullptr, 0, &font, output);
    if (status == kOK && !atEnd && index == 1) status = AppendParagraphRecord(context);
    return status;
}

// 2361, the text itself: wrapped in CDBEGIN, colour record and CDEND when
// the font specification gives a colour.
STATUS AppendColouredText(RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    SessionWorkArea* area = context->session->workArea;
    const FontId font = TextFont(context, false);
    const bool coloured = area->currentRGB != 0 || area->currentColorFlags != 0;
    STATUS status = kOK;
    if (coloured) {
        status = AppendBeginRecord(kSigText, 0, output);
        if (status != kOK) return status;
    }
    // A line of converted markup may be longer than one text run holds: it
    // goes on in further runs of the same font rather than being refused.
    status = context->operation == kOpAppendLines
                 ? AppendTextRuns(context->argumentText, context->a3, &font, output)
                 : AppendTextRecord(context->argumentText, context->a3, &font, output);
    if (status != kOK || !coloured) return status;
    status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), area->currentRGB, area->currentColorFlags,
                               output);
    if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    return status;
}

// 2361 at the start: the text, then (unless the chunk starts with text or a
// hotspot) the paragraph it stands in is closed before the chunk. first is
// the record the text goes before; entered tells that the chunk's
// paragraph was begun for it, whose own reference is then in force.
STATUS AppendTextAtStart(const CDRecordNode* first, bool entered, RecordProcessContext* context) {
    const std::uint16_t signature = first != nullptr ? first->signature : 0;
    STATUS status = AppendColouredText(context);
    if (status != kOK) return status;
    if (OneOf(signature, {kSigText, kSigHotspotBegin, kSigV4HotspotBegin, kSigHotspotEnd, kSigV4HotspotEnd}))
        return kOK;
    if (signature == kSigEnd && OneOf(BracketedSignature(first), {kSigText, kSigV4HotspotBegin, kSigHotspotBegin,
                                                                  kSigPreTableBegin, kSigTableBegin}))
        return kOK;
    if (entered && !OneOf(signature, {kSigTableBegin, kSigTableEnd, kSigNestedTableBegin, kSigNestedTableEnd}))
        return kOK;
    if (OneOf(signature, {kSigTableBegin, kSigTableEnd, kSigHotspotEnd, kSigNestedTableBegin, kSigNestedTableEnd})) {
        status = AppendParagraphRecord(context);
        if (status != kOK) return status;
    }
    status = AppendDefinitionAgain(context);
    if (status == kOK) status = AppendReference(context);
    return status;
}

// 2361 at the end: unless the chunk ends in text, a cell, a table end or a
// hotspot, a paragraph is opened after it; then the text. Where the record
// after the chunk opens the next paragraph (a paragraph record, or the
// definition or reference that starts one), the text ends the paragraph
// before it and no reference is written: the paragraph's own reference is
// in force there, and a second one would split the paragraph for every
// later walk (and every rendering), so that text appended later would land
// before this text and "Paragraph N+1" would name it.
STATUS AppendTextAtEnd(RecordProcessContext* context) {
    const CDRecordNode* node = context->node;
    const std::uint16_t type = context->chunk->targetType;
    if (context->chunkOpen != 0 && node != nullptr && OneOf(type, {kTypeButton, kTypeSection, kTypeRow}))
        node = node->prev;
    const std::uint16_t signature = node != nullptr ? node->signature : 0;
    const bool inText = OneOf(signature, {kSigText, kSigTableCell, kSigTableEnd, kSigNestedTableCell,
                                          kSigNestedTableEnd, kSigV4HotspotBegin, kSigHotspotBegin, kSigHotspotEnd,
                                          kSigV4HotspotEnd}) ||
                        (signature == kSigEnd &&
                         OneOf(BracketedSignature(node), {kSigText, kSigTableBegin, kSigTableEnd, kSigV4HotspotBegin,
                                                      kSigHotspotBegin, kSigHotspotEnd, kSigV4HotspotEnd}));
    const bool closesParagraph = OneOf(signature, {kSigParagraph, kSigPabReference, kSigPabDefinition});
    STATUS status = kOK;
    if (!inText && !closesParagraph && node != nullptr) {
        if (signature == kSigTableBegin || signature == kSigNestedTableBegin) status = AppendParagraphRecord(context);
        if (status == kOK) status = AppendDefinitionAgain(context);
        if (status == kOK) status = AppendReference(context);
        if (status != kOK) return status;
    }
    return AppendColouredText(context);
}

// 2902 at the end: the lines of context->pointer (a vector of strings),
// each written as 2361 writes text at the end and closed by one line break
// as 2354 writes it, with the empty text run that closes each of those runs
// between them: the records that the two operations, run line by line,
// would write. After that empty run the chunk ends in text, so no later
// line opens a paragraph. One pass serves every line where a run per line
// would copy the whole item again for each.
STATUS AppendLinesAtEnd(RecordProcessContext* context) {
    const auto* lines = static_cast<const std::vector<std::string>*>(context->pointer);
    if (lines == nullptr) return kArgumentError;
    STATUS status = kOK;
    bool first = true;
    for (const std::string& line : *lines) {
        if (line.size() > 0xFFFF) return kArgumentError;
        if (!first) status = AppendClosingTextRun(context);
        if (status != kOK) return status;
        context->argumentText = line.c_str();
        context->a3 = static_cast<std::uint16_t>(line.size());
        status = first ? AppendTextAtEnd(context) : AppendColouredText(context);
        first = false;
        if (status == kOK) status = AppendClosingTextRun(context);
        if (status != kOK) return status;
        context->operation2 = 1;
        context->a3 = 0;
        status = AppendRepeated('\0', context);
        if (status != kOK) return status;
    }
    return kOK;
}

// Whether the operation puts content within a paragraph (not paragraphs
// of its own): text, tabs, an anchor, new lines.
bool WritesInline(const RecordProcessContext* context) {
    switch (context->operation) {
    case kOpAppendAnchor:
    case kOpAppendTabs:
    case kOpAppendText:
    case kOpAppendNewLines: return true;
    default: return false;
    }
}

// The id of the last paragraph reference from the node up to (not
// including) end; 0 without one.
std::uint16_t LastReferenceId(const CDRecordNode* node, const CDRecordNode* end) {
    std::uint16_t id = 0;
    for (; node != nullptr && node != end; node = node->next)
        if (node->signature == kSigPabReference && node->bytes != nullptr && node->length >= kReferenceId + 2)
            id = ReadWord(node->bytes + kReferenceId);
    return id;
}

// Writes the operation's records at the chunk's start (atEnd false) or
// after its end, and marks the item modified. At the start, the content
// goes into the chunk's cell, inline content into its paragraph (see
// EnterChunkContent), before first.
// Returns 0 or the failure of an append.
STATUS AppendAtChunk(bool atEnd, RecordProcessContext* context) {
    STATUS status = kOK;
    const CDRecordNode* first = context->node;
    if (!atEnd) status = EnterChunkContent(context, WritesInline(context), &first);
    if (status != kOK) return status;
    const bool entered = first != context->node;
    switch (context->operation) {
    case kOpAppendAnchor: status = AppendAnchor(atEnd, context); break;
    case kOpAppendNewLines:
        // A paragraph begun for them goes on after them as it was.
        status = AppendRepeated('\0', context, entered ? LastReferenceId(context->node, first) : 0);
        break;
    case kOpAppendTabs: status = AppendRepeated('\t', context); break;
    case kOpAppendText: status = atEnd ? AppendTextAtEnd(context) : AppendTextAtStart(first, entered, context); break;
    case kOpAppendPageBreak: status = AppendPageBreak(context); break;
    case kOpAppendParagraph: status = AppendNewParagraph(atEnd, context); break;
    case kOpAppendLines: status = atEnd ? AppendLinesAtEnd(context) : kArgumentError; break;
    default: return kOK;
    }
    context->chunk->item->modified = 1;
    return status;
}

// The chunk's append-at-end word decides where an append writes.
STATUS AppendAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd == 0 ? AppendAtChunk(false, context) : kOK;
}
STATUS AppendAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendAtChunk(true, context) : kOK;
}

// Anchor, new lines, tabs, text, page break, paragraph, lines.
const OperationRow kRows[] = {
    {kOpAppendAnchor, AppendAtStart, nullptr, AppendAtEnd, nullptr, kRebuildsItem},
    {kOpAppendNewLines, AppendAtStart, nullptr, AppendAtEnd, &kTextFontSteps, kRebuildsItem},
    {kOpAppendTabs, AppendAtStart, nullptr, AppendAtEnd, &kTextFontSteps, kRebuildsItem},
    {kOpAppendText, AppendAtStart, nullptr, AppendAtEnd, &kTextFontSteps, kRebuildsItem},
    {kOpAppendPageBreak, AppendAtStart, nullptr, AppendAtEnd, nullptr, kRebuildsItem},
    {kOpAppendParagraph, AppendAtStart, nullptr, AppendAtEnd, &kAppendParagraphSteps, kRebuildsItem},
    {kOpAppendLines, AppendAtStart, nullptr, AppendAtEnd, &kTextFontSteps, kRebuildsItem},
};

} // namespace

const OperationFamily kAppendOperations = MakeFamily(kRows);

} // namespace talix
