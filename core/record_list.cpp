// Record nodes and record lists: the one place nodes are made, linked,
// unlinked and freed, and lists are freed whole.
#include "core/record_list.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/pool.h"

namespace talix {

CDRecordNode* NewRecordNode(const void* bytes, std::uint16_t signature, std::uint32_t length) {
    auto* node = new (std::nothrow) CDRecordNode{};
    if (node == nullptr) return nullptr;
    // Room for the pad byte of an odd length; never an empty block.
    std::uint32_t size = length + (length & 1u);
    if (size == 0) size = 2;
    node->bytes = static_cast<std::uint8_t*>(std::malloc(size));
    if (node->bytes == nullptr) {
        delete node;
        return nullptr;
    }
    if (bytes != nullptr && length > 0) {
        std::memcpy(node->bytes, bytes, length);
        std::memset(node->bytes + length, 0, size - length);
    } else {
        std::memset(node->bytes, 0, size);
    }
    node->signature = signature;
    node->length = length;
    node->flags = kNodeOwnsBytes;
    return node;
}

void FreeRecordNode(CDRecordNode* node) {
    if (node == nullptr) return;
    if (node->flags & kNodeOwnsBytes) std::free(node->bytes);
    if (node->extra != nullptr) {
        if (node->flags & kNodeOwnsExtraText) std::free(const_cast<char*>(static_cast<TextExtra*>(node->extra)->text));
        std::free(node->extra);
    }
    delete node;
}

void LinkRecordNode(ItemRecordList* list, CDRecordNode* after, CDRecordNode* node) {
    CDRecordNode* next = after != nullptr ? after->next : list != nullptr ? list->head : nullptr;
    node->prev = after;
    node->next = next;
    if (after != nullptr) after->next = node;
    if (next != nullptr) next->prev = node;
    if (list == nullptr) return;
    if (after == nullptr) list->head = node;
    if (next == nullptr) list->tail = node;
}

void UnlinkRecordNode(ItemRecordList* list, CDRecordNode* node) {
    if (node == nullptr) return;
    if (node->prev != nullptr) node->prev->next = node->next;
    if (node->next != nullptr) node->next->prev = node->prev;
    if (list != nullptr) {
        if (list->head == node) list->head = node->next;
        if (list->tail == node) list->tail = node->prev;
        if (list->lastAppended == node) list->lastAppended = node->prev;
    }
    node->prev = node->next = nullptr;
}

void DeleteItemRecordList(RARIvoSession* session, ItemRecordList* list) {
    if (list == nullptr) return;
    for (CDRecordNode* node = list->head; node != nullptr;) {
        CDRecordNode* next = node->next;
        FreeRecordNode(node);
        node = next;
    }
    // The list's value copy is the buffer of its last segment.
    for (OutputSegment* segment = list->firstSegment; segment != nullptr;) {
        OutputSegment* next = segment->next;
        if (session != nullptr) {
            if (segment->start != nullptr) ZervaDeallocate(session, segment->start);
            ZervaDeallocate(session, segment);
        }
        segment = next;
    }
    delete list;
}

CDRecordNode* NextRecordNode(ItemRecordList* list, CDRecordNode* node) {
    if (node != nullptr) return node->next;
    return list != nullptr ? list->head : nullptr;
}

CDRecordNode* PrevRecordNode(CDRecordNode* node) { return node != nullptr ? node->prev : nullptr; }

} // namespace talix
