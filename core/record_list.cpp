// Record nodes and record lists: the one place nodes are made, linked,
// unlinked and freed, and lists are freed whole.
#include "core/record_list.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/pool.h"
#include "talix_platform.h"

namespace talix {

// A list's arena: blocks taken from the heap one after the other and handed
// out front to back; nothing is given back before the list goes.
struct RecordArena {
    struct Block {
        Block* previous;
        std::size_t size;     // usable bytes after the header
        std::size_t used;
    };
    Block* current = nullptr;
    std::size_t held = 0;     // bytes of all blocks, headers included
};

namespace {

constexpr std::size_t kFirstBlock = 16 * 1024;
constexpr std::size_t kLargestBlock = 1024 * 1024;
constexpr std::size_t kAlignment = 8;

std::size_t Aligned(std::size_t size) { return (size + kAlignment - 1) & ~(kAlignment - 1); }

std::size_t BlockHeader() { return Aligned(sizeof(RecordArena::Block)); }

void* ArenaTake(RecordArena* arena, std::size_t size) {
    size = Aligned(size);
    RecordArena::Block* block = arena->current;
    if (block == nullptr || block->size - block->used < size) {
        // Each block is twice the last one, up to the largest; a request
        // larger than that gets a block of its own size.
        std::size_t next = block == nullptr ? kFirstBlock : block->size * 2;
        if (next > kLargestBlock) next = kLargestBlock;
        if (next < size) next = size;
        auto* made = static_cast<RecordArena::Block*>(std::malloc(BlockHeader() + next));
        if (made == nullptr) return nullptr;
        made->previous = block;
        made->size = next;
        made->used = 0;
        arena->held += BlockHeader() + next;
        // A block made for one large request goes behind the current one,
        // so the rest of the current block is still used.
        if (block != nullptr && next == size && block->size - block->used >= kAlignment * 8) {
            made->previous = block->previous;
            block->previous = made;
            made->used = size;
            return reinterpret_cast<std::uint8_t*>(made) + BlockHeader();
        }
        arena->current = block = made;
    }
    void* memory = reinterpret_cast<std::uint8_t*>(block) + BlockHeader() + block->used;
    block->used += size;
    return memory;
}

void FreeArena(RecordArena* arena) {
    if (arena == nullptr) return;
    for (RecordArena::Block* block = arena->current; block != nullptr;) {
        RecordArena::Block* previous = block->previous;
        std::free(block);
        block = previous;
    }
    delete arena;
}

// Room for the pad byte of an odd length; never an empty block.
std::uint32_t StorageSize(std::uint32_t length) {
    std::uint32_t size = length + (length & 1u);
    return size == 0 ? 2 : size;
}

void CopyPadded(std::uint8_t* to, const void* bytes, std::uint32_t length, std::uint32_t size) {
    if (bytes != nullptr && length > 0) {
        std::memcpy(to, bytes, length);
        std::memset(to + length, 0, size - length);
    } else {
        std::memset(to, 0, size);
    }
}

// Frees what a node holds from std::malloc.
void FreeHeapParts(CDRecordNode* node) {
    if (node->flags & kNodeOwnsBytes) std::free(node->bytes);
    if (node->extra != nullptr) {
        if (node->flags & kNodeOwnsExtraText) std::free(const_cast<char*>(static_cast<TextExtra*>(node->extra)->text));
        if ((node->flags & kNodeInArena) == 0) std::free(node->extra);
    }
}

void Touch(ItemRecordList* list) {
    if (list != nullptr) ++list->edits;
}

} // namespace

ItemRecordList* NewItemRecordList() {
    static std::atomic<std::uint64_t> serials{0};
    auto* list = new (std::nothrow) ItemRecordList{};
    if (list == nullptr) return nullptr;
    list->arena = new (std::nothrow) RecordArena{};
    if (list->arena == nullptr) {
        delete list;
        return nullptr;
    }
    list->serial = ++serials;
    return list;
}

CDRecordNode* NewRecordNode(const void* bytes, std::uint16_t signature, std::uint32_t length) {
    auto* node = new (std::nothrow) CDRecordNode{};
    if (node == nullptr) return nullptr;
    const std::uint32_t size = StorageSize(length);
    node->bytes = static_cast<std::uint8_t*>(std::malloc(size));
    if (node->bytes == nullptr) {
        delete node;
        return nullptr;
    }
    CopyPadded(node->bytes, bytes, length, size);
    node->signature = signature;
    node->length = length;
    node->flags = kNodeOwnsBytes;
    return node;
}

void* ListMemory(ItemRecordList* list, std::size_t size) {
    if (list == nullptr || list->arena == nullptr) return nullptr;
    return ArenaTake(list->arena, size);
}

CDRecordNode* NewListNode(ItemRecordList* list, const void* bytes, std::uint16_t signature, std::uint32_t length) {
    if (list == nullptr || list->arena == nullptr) return NewRecordNode(bytes, signature, length);
    const std::uint32_t size = StorageSize(length);
    // The node and its bytes side by side.
    void* memory = ArenaTake(list->arena, sizeof(CDRecordNode) + size);
    if (memory == nullptr) return nullptr;
    auto* node = new (memory) CDRecordNode{};
    node->bytes = reinterpret_cast<std::uint8_t*>(node + 1);
    CopyPadded(node->bytes, bytes, length, size);
    node->signature = signature;
    node->length = length;
    node->flags = kNodeInArena;
    return node;
}

CDRecordNode* NewViewNode(ItemRecordList* list, const std::uint8_t* stored, std::uint16_t signature,
                          std::uint32_t length) {
    if (list == nullptr || list->arena == nullptr) return nullptr;
    void* memory = ArenaTake(list->arena, sizeof(CDRecordNode));
    if (memory == nullptr) return nullptr;
    auto* node = new (memory) CDRecordNode{};
    node->bytes = const_cast<std::uint8_t*>(stored);
    node->signature = signature;
    node->length = length;
    node->flags = kNodeInArena | kNodeStoredView;
    return node;
}

OutputSegment* AddSegment(RARIvoSession* session, ItemRecordList* list) {
    if (list == nullptr) return nullptr;
    void* memory = list->arena != nullptr ? ArenaTake(list->arena, sizeof(OutputSegment))
                                          : QuorbelAllocate(session, __LINE__, "rtproc4", sizeof(OutputSegment), 1);
    if (memory == nullptr) return nullptr;
    auto* segment = new (memory) OutputSegment{};
    if (list->lastSegment == nullptr) {
        list->firstSegment = segment;
    } else {
        segment->number = static_cast<std::uint16_t>(list->lastSegment->number + 1);
        list->lastSegment->next = segment;
    }
    list->lastSegment = segment;
    return segment;
}

std::uint8_t* EditRecordBytes(CDRecordNode* node) {
    if (node == nullptr) return nullptr;
    // Bytes replaced from std::malloc are the node's own whatever else the
    // flags say.
    if ((node->flags & kNodeStoredView) == 0 || (node->flags & kNodeOwnsBytes) != 0) return node->bytes;
    const std::uint32_t size = StorageSize(node->length);
    auto* copy = static_cast<std::uint8_t*>(std::malloc(size));
    if (copy == nullptr) return nullptr;
    CopyPadded(copy, node->bytes, node->length, size);
    // A text extra pointing at the text moves with it.
    if (node->extra != nullptr && (node->flags & kNodeOwnsExtraText) == 0 && node->length >= 8) {
        auto* extra = static_cast<TextExtra*>(node->extra);
        if (node->signature == 0xFF85 && extra->text == reinterpret_cast<const char*>(node->bytes + 8))
            extra->text = reinterpret_cast<const char*>(copy + 8);
    }
    node->bytes = copy;
    node->flags = static_cast<std::uint16_t>((node->flags & ~kNodeStoredView) | kNodeOwnsBytes);
    return copy;
}

void FreeRecordNode(CDRecordNode* node) {
    if (node == nullptr) return;
    FreeHeapParts(node);
    if ((node->flags & kNodeInArena) == 0) delete node;
}

void LinkRecordNode(ItemRecordList* list, CDRecordNode* after, CDRecordNode* node) {
    CDRecordNode* next = after != nullptr ? after->next : list != nullptr ? list->head : nullptr;
    node->prev = after;
    node->next = next;
    if (after != nullptr) after->next = node;
    if (next != nullptr) next->prev = node;
    if (list == nullptr) return;
    Touch(list);
    if (after == nullptr) list->head = node;
    if (next == nullptr) list->tail = node;
}

void UnlinkRecordNode(ItemRecordList* list, CDRecordNode* node) {
    if (node == nullptr) return;
    if (node->prev != nullptr) node->prev->next = node->next;
    if (node->next != nullptr) node->next->prev = node->prev;
    if (list != nullptr) {
        Touch(list);
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
    // A read segment keeps its stored value; a segment of the record output
    // holds a buffer from the session's pool. Descriptors are arena memory,
    // or pool memory in a list without an arena.
    for (OutputSegment* segment = list->firstSegment; segment != nullptr;) {
        OutputSegment* next = segment->next;
        if (segment->kept != 0) {
            plat::MemFree(segment->kept);
        } else if (session != nullptr && segment->start != nullptr) {
            ZervaDeallocate(session, segment->start);
        }
        if (list->arena == nullptr && session != nullptr) ZervaDeallocate(session, segment);
        segment = next;
    }
    FreeArena(list->arena);
    delete list;
}

std::size_t RecordListFootprint(const ItemRecordList* list) {
    if (list == nullptr) return 0;
    std::size_t bytes = sizeof *list + (list->arena != nullptr ? list->arena->held : 0);
    for (const CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if ((node->flags & kNodeInArena) == 0) bytes += sizeof *node;
        if (node->flags & kNodeOwnsBytes) bytes += StorageSize(node->length);
        if (node->extra != nullptr && (node->flags & kNodeInArena) == 0) bytes += sizeof(TextExtra);
        if (node->flags & kNodeOwnsExtraText) bytes += static_cast<const TextExtra*>(node->extra)->length + 1u;
    }
    return bytes;
}

CDRecordNode* NextRecordNode(ItemRecordList* list, CDRecordNode* node) {
    if (node != nullptr) return node->next;
    return list != nullptr ? list->head : nullptr;
}

CDRecordNode* PrevRecordNode(CDRecordNode* node) { return node != nullptr ? node->prev : nullptr; }

} // namespace talix
