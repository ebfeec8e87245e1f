// Record nodes and record lists: the one place nodes are made, linked,
// unlinked and freed, and lists are freed whole.
#include "core/record_list.h"

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/kept_blocks.h"
#include "core/pool.h"
#include "core/record_layouts.h"
#include "talix_platform.h"

namespace talix {

namespace {

std::size_t BlockHeader() { return (sizeof(RecordArena::Block) + 7) & ~std::size_t{7}; }

} // namespace

void* ArenaTakeFromNewBlock(RecordArena* arena, std::size_t size) {
    RecordArena::Block* block = arena->current;
    // Each block, its header included, is twice the last one, from the
    // smallest to the largest kept size (so that the blocks of freed lists
    // serve the next lists); a request larger than that gets a block of its
    // own size.
    std::size_t whole = block == nullptr ? kSmallestKeptBlock : std::bit_ceil(BlockHeader() + block->size) * 2;
    if (whole < arena->expected) whole = std::bit_ceil(arena->expected);
    if (whole > kLargestKeptBlock) whole = kLargestKeptBlock;
    std::size_t next = whole - BlockHeader();
    if (next < size) next = size;
    auto* made = static_cast<RecordArena::Block*>(TakeKeptBlock(BlockHeader() + next));
    if (made == nullptr) return nullptr;
    made->size = next;
    arena->held += BlockHeader() + next;
    auto* memory = reinterpret_cast<std::uint8_t*>(made) + BlockHeader();
    if (block != nullptr && next == size && arena->end - arena->free >= 64) {
        // A block made for one large request goes behind the current one,
        // whose rest is still used.
        made->previous = block->previous;
        block->previous = made;
        return memory;
    }
    made->previous = block;
    arena->current = made;
    arena->free = memory + size;
    arena->end = memory + next;
    return memory;
}

namespace {

void FreeArena(RecordArena* arena) {
    if (arena == nullptr) return;
    for (RecordArena::Block* block = arena->current; block != nullptr;) {
        RecordArena::Block* previous = block->previous;
        GiveBackKeptBlock(block, BlockHeader() + block->size);
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
        if (size > length) to[length] = 0;   // the pad byte of an odd length
    } else {
        std::memset(to, 0, size);
    }
}

// Frees what a node holds from std::malloc.
void FreeHeapParts(CDRecordNode* node) {
    if (node->flags & kNodeOwnsBytes) std::free(node->bytes);
    if ((node->flags & kNodeOwnsExtraText) != 0 && RecordExtra(node) != nullptr)
        std::free(const_cast<char*>(static_cast<TextExtra*>(RecordExtra(node))->text));
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

CDRecordNode* NewRecordNode(const void* bytes, std::uint16_t signature, std::uint32_t length, bool extraRoom) {
    // A node with room for an extra is one block with the room in front;
    // one without is made by new, as callers outside may make one.
    CDRecordNode* node = nullptr;
    if (extraRoom) {
        auto* memory = static_cast<std::uint8_t*>(std::malloc(kExtraRoom + sizeof(CDRecordNode)));
        if (memory != nullptr) {
            node = new (memory + kExtraRoom) CDRecordNode{};
            node->extraRoom = kExtraRoomFree;
        }
    } else {
        node = new (std::nothrow) CDRecordNode{};
    }
    if (node == nullptr) return nullptr;
    const std::uint32_t size = StorageSize(length);
    node->bytes = static_cast<std::uint8_t*>(std::malloc(size));
    if (node->bytes == nullptr) {
        FreeRecordNode(node);
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

CDRecordNode* NewListNode(ItemRecordList* list, const void* bytes, std::uint16_t signature, std::uint32_t length,
                          bool extraRoom) {
    if (list == nullptr || list->arena == nullptr) return NewRecordNode(bytes, signature, length, extraRoom);
    const std::uint32_t size = StorageSize(length);
    const std::size_t room = extraRoom ? kExtraRoom : 0;
    // The room, the node and its bytes side by side.
    auto* memory = static_cast<std::uint8_t*>(ArenaTake(list->arena, room + sizeof(CDRecordNode) + size));
    if (memory == nullptr) return nullptr;
    auto* node = new (memory + room) CDRecordNode{};
    node->extraRoom = extraRoom ? kExtraRoomFree : 0;
    node->bytes = reinterpret_cast<std::uint8_t*>(node + 1);
    CopyPadded(node->bytes, bytes, length, size);
    node->signature = signature;
    node->length = length;
    node->flags = kNodeInArena;
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

namespace {

// Whether a node's extra is a text run's extra that points at the text in
// its bytes (and so must follow new bytes).
bool TextFollowsBytes(const CDRecordNode* node) {
    const auto* extra = static_cast<const TextExtra*>(RecordExtra(node));
    if (extra == nullptr || node->signature != kSigText || node->length < kTextRunHeader) return false;
    return extra->text == reinterpret_cast<const char*>(node->bytes + kTextRunHeader);
}

void PointTextAtBytes(CDRecordNode* node) {
    auto* extra = static_cast<TextExtra*>(RecordExtra(node));
    extra->text = reinterpret_cast<const char*>(node->bytes + kTextRunHeader);
    extra->length = static_cast<std::uint16_t>(node->length >= kTextRunHeader ? node->length - kTextRunHeader : 0);
}

} // namespace

std::uint8_t* EditRecordBytes(ItemRecordList* list, CDRecordNode* node) {
    if (node == nullptr) return nullptr;
    // Bytes replaced from std::malloc are the node's own whatever else the
    // flags say.
    if ((node->flags & kNodeStoredView) == 0 || (node->flags & kNodeOwnsBytes) != 0) return node->bytes;
    const std::uint32_t size = StorageSize(node->length);
    const bool inArena = list != nullptr && list->arena != nullptr;
    auto* copy = static_cast<std::uint8_t*>(inArena ? ArenaTake(list->arena, size) : std::malloc(size));
    if (copy == nullptr) return nullptr;
    CopyPadded(copy, node->bytes, node->length, size);
    const bool follows = TextFollowsBytes(node);
    node->bytes = copy;
    node->flags = static_cast<std::uint16_t>(node->flags & ~kNodeStoredView);
    if (!inArena) {
        node->flags |= kNodeOwnsBytes;
        if (list != nullptr) list->heapParts = 1;
    }
    if (follows) PointTextAtBytes(node);
    Touch(list);
    return copy;
}

void AdoptRecordBytes(ItemRecordList* list, CDRecordNode* node, CDRecordNode* from) {
    if (node == nullptr || from == nullptr) return;
    bool follows = TextFollowsBytes(node);
    if (RecordExtra(node) != nullptr && node->signature == kSigText && (node->flags & kNodeOwnsExtraText) != 0) {
        // A converted copy of the old text goes with it.
        std::free(const_cast<char*>(static_cast<TextExtra*>(RecordExtra(node))->text));
        node->flags = static_cast<std::uint16_t>(node->flags & ~kNodeOwnsExtraText);
        follows = true;
    }
    if (node->flags & kNodeOwnsBytes) std::free(node->bytes);
    node->bytes = from->bytes;
    node->length = from->length;
    // The stored pad byte of the old bytes means nothing for the new ones.
    node->flags = static_cast<std::uint16_t>((node->flags & ~(0xFF30u | kNodeStoredView)) | kNodeOwnsBytes);
    from->bytes = nullptr;
    from->flags = static_cast<std::uint16_t>(from->flags & ~kNodeOwnsBytes);
    FreeRecordNode(from);
    if (follows) PointTextAtBytes(node);
    if (list != nullptr) list->heapParts = 1;
    Touch(list);
}

void FreeRecordNode(CDRecordNode* node) {
    if (node == nullptr) return;
    FreeHeapParts(node);
    if ((node->flags & kNodeInArena) != 0) return;
    if (node->extraRoom != 0) {
        node->~CDRecordNode();
        std::free(reinterpret_cast<std::uint8_t*>(node) - kExtraRoom);
    } else {
        delete node;
    }
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
    // Nodes of the arena that hold nothing from the heap go with it.
    if (list->arena == nullptr || list->heapParts != 0) {
        for (CDRecordNode* node = list->head; node != nullptr;) {
            CDRecordNode* next = node->next;
            FreeRecordNode(node);
            node = next;
        }
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
        if ((node->flags & kNodeInArena) == 0) bytes += sizeof *node + (node->extraRoom != 0 ? kExtraRoom : 0);
        if (node->flags & kNodeOwnsBytes) bytes += StorageSize(node->length);
        if ((node->flags & kNodeOwnsExtraText) != 0 && RecordExtra(node) != nullptr)
            bytes += static_cast<const TextExtra*>(RecordExtra(node))->length + 1u;
    }
    return bytes;
}

CDRecordNode* NextRecordNode(ItemRecordList* list, CDRecordNode* node) {
    if (node != nullptr) return node->next;
    return list != nullptr ? list->head : nullptr;
}

CDRecordNode* PrevRecordNode(CDRecordNode* node) { return node != nullptr ? node->prev : nullptr; }

} // namespace talix
