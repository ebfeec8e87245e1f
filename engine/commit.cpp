// The writing half of an operation run: starting the output, copying the
// records no executor took, ending the run with its closing text run, and
// the commit or roll-back that decides whether the rebuilt list replaces
// the item.
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "core/brackets.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/record_process.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix {

namespace {

void DiscardList(RARIvoSession* session, ItemRecordList* list) {
    if (list == nullptr) return;
    DeleteItemRecordList(session, list);
}

// Whether the list built so far ends with an empty text run in a colour
// bracket: CDBEGIN, an empty CDTEXT, the colour record and CDEND. Such a
// run already ends the item, so a closing run after it adds nothing; each
// highlight or colour change of the whole item would bracket the last
// closing run and add a new one, and the item would grow by four records
// at every such run.
bool EndsWithBracketedEmptyText(const ItemRecordList* list) {
    if (list == nullptr) return false;
    const CDRecordNode* node = list->tail;
    if (node == nullptr) {
        node = list->head;
        while (node != nullptr && node->next != nullptr) node = node->next;
    }
    if (node == nullptr || !Brackets(node, kSigEnd, kSigText)) return false;
    node = node->prev;
    if (node != nullptr && node->signature == kSigColor) node = node->prev;
    if (node == nullptr || node->signature != kSigText || node->length != kTextRunHeader) return false;
    node = node->prev;
    return node != nullptr && Brackets(node, kSigBegin, kSigText);
}

} // namespace

STATUS StartWritingRun(RecordProcessContext* context) {
    ZervaRTItem* item = context->chunk->item;
    // A list a run before this one left half built is never written.
    DiscardList(context->session, item->work->output);
    item->work->output = nullptr;
    return StartOutputSegment(&context->output);
}

STATUS FlushPendingCopies(RecordProcessContext* context, const CDRecordNode* stopBefore) {
    CDRecordNode* node = context->pendingNode;
    context->pendingNode = nullptr;
    context->pendingCopyIndex = 0;
    for (; node != nullptr && node != stopBefore && node->length != 0; node = node->next) {
        const STATUS status = AppendRecordNode(node, &context->output);
        if (status != kOK) return status;
    }
    return kOK;
}

STATUS EnterChunkContent(RecordProcessContext* context, bool intoParagraph, const CDRecordNode** first) {
    const CDRecordNode* node = context->node;
    *first = node;
    // Nothing to do once the opening records are written (an executor that
    // hands its work to another's).
    if (context->writesItem == 0 || node == nullptr || node->prev == nullptr || node->index <= context->consumedThrough)
        return kOK;
    auto present = [](const CDRecordNode* at) { return at != nullptr && at->length != 0; };
    const CDRecordNode* last = nullptr;
    const CDRecordNode* at = node;
    bool paragraph = false;
    if (node->signature == kSigTableCell || node->signature == kSigNestedTableCell) {
        last = at;
        for (at = at->next; present(at) && (at->signature == kSigTableCellColor ||
                                             at->signature == kSigCellBackgroundData);
             at = at->next)
            last = at;
        paragraph = intoParagraph;
        if (paragraph && present(at) && at->signature == kSigParagraph) {
            last = at;
            at = at->next;
        }
    } else if (intoParagraph && node->signature == kSigParagraph) {
        last = at;
        at = at->next;
        paragraph = true;
    } else {
        return kOK;
    }
    for (; paragraph && present(at); at = at->next) {
        const std::uint16_t signature = at->signature;
        if (signature != kSigPabDefinition && signature != kSigPabReference && signature != kSigPabHide &&
            signature != kSigPabFormRef)
            break;
        last = at;
    }
    for (const CDRecordNode* written = node;; written = written->next) {
        const STATUS status = AppendRecordNode(written, &context->output);
        if (status != kOK) return status;
        if (written == last) break;
    }
    context->consumedThrough = last->index;
    *first = present(last->next) ? last->next : nullptr;
    return kOK;
}

STATUS AppendClosingTextRun(RecordProcessContext* context) {
    ItemWorkState* work = context->chunk->item->work;
    if (EndsWithBracketedEmptyText(work->output)) return kOK;
    // The ready-made header carries the font of the last run walked, the
    // record its own length.
    std::uint8_t text[kTextRunHeader];
    std::memcpy(text, work->textTemplate, sizeof text);
    SetHostRecordLength(text, kSigText, kTextRunHeader);
    return AppendRecord(text, kSigText, kTextRunHeader, &context->output);
}

STATUS FinishWritingRun(RecordProcessContext* context, STATUS status) {
    ZervaRTItem* item = context->chunk->item;
    ItemWorkState* work = item->work;
    RecordOutput* output = &context->output;

    // The item ends with an empty text run.
    if (status == kOK && context->finalText == 0) status = AppendClosingTextRun(context);
    if (status == kOK) status = CloseOutputSegment(output);
    ReleaseHeldHandles(output, 0);

    ItemRecordList* built = work->output;
    work->output = nullptr;
    if (status != kOK) {
        // The item keeps its records; nothing of the run is stored.
        DiscardList(context->session, built);
        return status;
    }

    ItemRecordList* old = work->current;
    work->current = built;
    if (item->cacheRecords == 0) {
        status = item->Commit();
        if (status != kOK) {
            // The stored item is as it was (Commit puts the old items back):
            // so is the record list.
            DiscardList(context->session, work->current);
            work->current = old;
            return status;
        }
    }
    if (old != built) DiscardList(context->session, old);
    return kOK;
}

} // namespace talix
