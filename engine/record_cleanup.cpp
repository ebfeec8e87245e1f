// Taking nodes out of a record list before a run walks it: the empty-text
// clean-up of operation 49.
#include "core/brackets.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/writing_run.h"
#include "talix/item.h"

namespace talix {

namespace {

bool Is(const CDRecordNode* node, std::uint16_t signature) {
    return node != nullptr && node->signature == signature;
}

bool IsEmptyText(const CDRecordNode* node) { return Is(node, kSigText) && node->length == kTextRunHeader; }

// Takes a node out of the list and frees it.
void Drop(ItemRecordList* list, CDRecordNode* node) {
    UnlinkRecordNode(list, node);
    FreeRecordNode(node);
}

void Renumber(ItemRecordList* list) {
    std::uint32_t index = 0;
    for (CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        node->index = ++index;
        list->tail = node;
    }
    if (list->head == nullptr) list->tail = nullptr;
}

} // namespace

void RemoveEmptyText(ItemRecordList* list, const ZervaRTItem* item) {
    if (list == nullptr) return;
    const bool mergeText = item != nullptr && item->autoMergeText != 0;
    CDRecordNode* node = list->head;
    while (node != nullptr) {
        CDRecordNode* next = node->next;
        CDRecordNode* after = next != nullptr ? next->next : nullptr;
        // After a removal the walk steps back one record, so that records
        // that have just become neighbours are looked at together.
        CDRecordNode* resume = nullptr;
        bool removed = true;
        if (mergeText && Brackets(node, kSigBegin, kSigText) && IsEmptyText(next) && Brackets(after, kSigEnd, kSigText)) {
            resume = node->prev != nullptr ? node->prev : next;
            Drop(list, after);
            Drop(list, node);
        } else if (Is(node, kSigText) && Is(next, kSigText) && (IsEmptyText(node) || IsEmptyText(next))) {
            if (IsEmptyText(node)) {
                resume = node->prev != nullptr ? node->prev : next;
                Drop(list, node);
            } else {
                resume = node;
                Drop(list, next);
            }
        } else if (Is(node, kSigHtmlBegin) && Is(next, kSigHtmlEnd)) {
            resume = node->prev != nullptr ? node->prev : after;
            Drop(list, next);
            Drop(list, node);
        } else if (Is(node, kSigHtmlBegin) && IsEmptyText(next) && Is(after, kSigHtmlEnd)) {
            CDRecordNode* following = after->next;
            resume = node->prev != nullptr ? node->prev : following;
            Drop(list, after);
            Drop(list, next);
            Drop(list, node);
        } else {
            removed = false;
        }
        node = removed ? resume : next;
    }
    Renumber(list);
}

} // namespace talix
