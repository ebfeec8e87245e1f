// The steps a run takes around its walk for particular operations: the
// fonts and paragraph styles parsed before the records are read, the
// look-ups made before the walk and what follows it. The operation table's
// rows name them through the step sets at the end of this file.
#include "engine/run_steps.h"

#include <cstring>

#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/copy_source.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "engine/run_lookups.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

const char* TextOr(const char* text, const char* fallback) {
    return text != nullptr && text[0] != '\0' ? text : fallback;
}

STATUS ParseFont(RecordProcessContext* context, const char* text, const char* base) {
    const STATUS status = ParseFontSpec(text != nullptr ? text : "", base, context->chunk->item, &context->font,
                                        base != nullptr ? &context->font2 : nullptr, &context->fontMask,
                                        base != nullptr ? &context->fontMask2 : nullptr);
    context->fontStatus = status;
    return status;
}

// ---- Before the records are read ---------------------------------------------
// A font that does not parse leaves its status for the executors; the run
// goes on.

// Text written by the run: the second argument's font (set text and append
// text), else the permanent pen's when the item has it on. A quick replace
// restyles with the font specification of the chunk's second event-return
// string, when it holds one, as well.
STATUS PrepareTextFont(RecordProcessContext* context) {
    const std::uint16_t operation = context->operation;
    const ZervaRTItem* item = context->chunk->item;
    const char* font = "";
    if ((operation == kOpSetText || operation == kOpAppendText) && context->secondArgument != nullptr &&
        context->secondArgument[0] != '\0') {
        font = context->secondArgument;
    } else if (item->permanentPen != 0) {
        font = TextOr(item->permanentPenFont, "BLUE +BOLD");
    }
    const char* second = context->chunk->eventReturn[1];
    ParseFont(context, font,
              operation == kOpQuickReplace && second != nullptr && second[0] != '\0' ? second : nullptr);
    return kOK;
}

// The matching operations take the session's key cache; a run that writes
// marks its links in the item's highlight font, URLs in its URL font and
// the links of the matching itself in its hyperlink font.
STATUS PrepareMatching(RecordProcessContext* context) {
    const ZervaRTItem* item = context->chunk->item;
    context->linkMatching = context->session->workArea->linkMatching;
    if (context->writesItem == 0) return kOK;
    const char* font = TextOr(item->highlightFont, "BLUE");
    if (context->pointer != nullptr) {
        font = TextOr(item->urlFont, "BLUE +UNDERLINE");
    } else if (context->operation2 == kOpLinkMatching || context->operation2 == kOpWikiMatching ||
               context->operation2 == kOpMatchingVariant) {
        font = TextOr(item->hyperlinkFont, "BLUE +UNDERLINE");
    }
    ParseFont(context, font, nullptr);
    return kOK;
}

STATUS PrepareHighlightFont(RecordProcessContext* context) {
    ParseFont(context, TextOr(context->chunk->item->highlightFont, "RED +BOLD"), nullptr);
    return kOK;
}

STATUS PrepareHotspotFont(RecordProcessContext* context) {
    ParseFont(context, TextOr(context->chunk->item->actionHotspotFont, "DARKGREEN +UNDERLINE"), nullptr);
    return kOK;
}

STATUS PrepareRowAppend(RecordProcessContext* context) {
    context->appendRow = 1;
    return kOK;
}

// The paragraph style of the argument text; a change of paragraphs (2364)
// takes the second string as the fields a definition must agree with to be
// changed, a new paragraph (2417) the font of its text.
STATUS PrepareParagraphStyle(RecordProcessContext* context) {
    ParagraphStyleState& style = context->paragraph;
    const bool criteria = context->operation == kOpChangeParagraph;
    const STATUS status = context->chunk->item->ParseParagraphString(
        context->argumentText != nullptr ? context->argumentText : "", criteria ? context->secondArgument : nullptr,
        &style.definition[0], &style.definition[1], &style.flagsSet, &style.flagsClear, &style.flags2Set,
        &style.flags2Clear, &style.flags3Set, &style.flags3Clear, &style.listType[0], &style.listType[1],
        &style.listClear[0], &style.listClear[1], &style.shiftLeftOffset, &style.shiftRightOffset,
        &style.shiftLeftPercent, &style.shiftRightPercent, style.mask[0], style.mask[1]);
    style.status = status;
    if (status != kOK) return status;
    if (context->operation == kOpAppendParagraph) ParseFont(context, context->secondArgument, nullptr);
    return kOK;
}

// A change of fonts: the argument's font specification, made relative to
// the second one.
STATUS PrepareFontChange(RecordProcessContext* context) {
    ParseFont(context, context->argumentText, context->secondArgument);
    return kOK;
}

STATUS PrepareFontQuery(RecordProcessContext* context) {
    ParseFont(context, context->argumentText, nullptr);
    return kOK;
}

STATUS PrepareSectionFont(RecordProcessContext* context) {
    ParseFont(context, context->secondArgument, nullptr);
    return kOK;
}

// ---- Once the records are read ---------------------------------------------------

void LoadFirstParagraphDefinition(ItemRecordList*, RecordProcessContext* context) {
    LoadPabDefinition(kAnyParagraphId, kLoadForward, context);
}

void RemoveEmptyTextOfItem(ItemRecordList* list, RecordProcessContext* context) {
    RemoveEmptyText(list, context->chunk->item);
}

// ---- After the walk ------------------------------------------------------------------

// Once the removal itself has worked, the attachments that the file hotspots
// of the removed records name go too (the record range the calling method's
// query found).
STATUS RemoveRemovedAttachments(RecordProcessContext* context, STATUS status) {
    const SessionWorkArea* area = context->session->workArea;
    if (status != kOK || area->foundFirstRecord == 0) return status;
    context->removeFirst = area->foundFirstRecord;
    context->removeLast = area->foundLastRecord;
    return RemoveChunkAttachments(context->chunk, context);
}

// The clean-up changed the list before the walk. A list the item does not
// keep uncommitted is read again from the note by the next run, so that a
// failed run changes nothing.
STATUS ForgetFailedCleanUp(RecordProcessContext* context, STATUS status) {
    ZervaRTItem* item = context->chunk->item;
    if (status != kOK && context->writesItem != 0 && !context->temporaryRecords && item->cacheRecords == 0 &&
        item->work->current != nullptr) {
        DeleteItemRecordList(context->session, item->work->current);
        item->work->current = nullptr;
    }
    return status;
}

// Position lists and sort keys stay with the chunk.
STATUS KeepSortKeys(RecordProcessContext* context, STATUS status) {
    ChunkWorkState* work = context->chunk->work;
    ReleaseSortKeys(context->session, work->sortKeys, work->sortKeyCount);
    work->sortKeys = context->sortKeys;
    work->sortKeyCount = context->sortKeyCount;
    context->sortKeys = nullptr;
    context->sortKeyCount = 0;
    return status;
}

} // namespace

void ReleaseSortKeys(RARIvoSession* session, SortKey* keys, std::uint32_t count) {
    if (keys == nullptr) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (keys[i].text != nullptr) ZervaDeallocate(session, keys[i].text);
    }
    ZervaDeallocate(session, keys);
}

const RunSteps kTextFontSteps = {.prepare = PrepareTextFont};
const RunSteps kReplaceTextSteps = {.prepare = PrepareTextFont, .flags = kStepsWildcardSearch};
const RunSteps kHighlightSteps = {.prepare = PrepareHighlightFont};
const RunSteps kHighlightTextSteps = {.prepare = PrepareHighlightFont, .flags = kStepsWildcardSearch};
const RunSteps kCaptureTextSteps = {.flags = kStepsWildcardSearch};
const RunSteps kMatchingSteps = {.prepare = PrepareMatching};
const RunSteps kHotspotFontSteps = {.prepare = PrepareHotspotFont};
const RunSteps kRowAppendSteps = {.prepare = PrepareRowAppend};
const RunSteps kChangeParagraphSteps = {.prepare = PrepareParagraphStyle, .beforeWalk = LoadFirstParagraphDefinition};
const RunSteps kAppendParagraphSteps = {.prepare = PrepareParagraphStyle, .beforeWalk = LoadFirstParagraphDefinition};
const RunSteps kHideFormulaSteps = {.beforeWalk = LoadFirstParagraphDefinition};
const RunSteps kChangeFontSteps = {.prepare = PrepareFontChange};
const RunSteps kFontInUseSteps = {.prepare = PrepareFontQuery};
const RunSteps kSectionFontSteps = {.prepare = PrepareSectionFont};
const RunSteps kReorderRowsSteps = {.prepare = SortRowKeys};
const RunSteps kKeyedRowsSteps = {.prepare = TakeRowKeys};
const RunSteps kCleanUpSteps = {.beforeWalk = RemoveEmptyTextOfItem, .afterRun = ForgetFailedCleanUp};
const RunSteps kRemoveSteps = {.afterWalk = RemoveRemovedAttachments};
const RunSteps kSortKeySteps = {.afterRun = KeepSortKeys};
const RunSteps kCopyPrologueSteps = {.instead = FindCopyParagraphIdBase};
const RunSteps kCopyKeepingMarginsSteps = {.flags = kStepsKeepMargins};

} // namespace talix
