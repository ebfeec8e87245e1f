// The in-memory form of a rich-text item: a doubly linked list of CD records
// held in host form, with one segment descriptor per stored item they came
// from (or per output segment they were built into).
//
// A list made by NewItemRecordList keeps its nodes, their side data and the
// record bytes it converts or builds in an arena of its own, freed with the
// list. A record read from a stored item whose host form is its stored form
// is not copied: its node's bytes are a read-only view into the stored
// value, which the list keeps until it is freed. Code that changes a
// record's bytes or length in place asks for writable bytes first
// (EditRecordBytes): a view is then copied, never written into, and a
// view's length is always the one its header says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// Record node flags.
constexpr std::uint16_t kNodeRemoveMark = 0x0001;
constexpr std::uint16_t kNodeOwnsBytes = 0x0002;      // bytes from std::malloc, freed with the node
constexpr std::uint16_t kNodeLinkMark = 0x0004;
constexpr std::uint16_t kNodeOwnsExtraText = 0x0008;  // the extra's text from std::malloc
// 0x0010, 0x0020 and the high byte: the stored pad byte (core/record_io.h).
constexpr std::uint16_t kNodeInArena = 0x0040;        // the node is its list's arena memory
constexpr std::uint16_t kNodeStoredView = 0x0080;     // bytes: a read-only view into a kept stored value

// A node's side data (its extra, below) lies in kExtraRoom bytes right in
// front of it, made with the node when the reader may give it one: most
// nodes have none, and hold no pointer for it.
constexpr std::size_t kExtraRoom = 16;
constexpr std::uint32_t kExtraRoomFree = 1;   // CDRecordNode::extraRoom: made, not filled
constexpr std::uint32_t kExtraRoomUsed = 2;   // holds the node's extra

struct CDRecordNode {
    std::uint16_t signature = 0;   // as decoded: byte-form signatures are 0x00nn
    std::uint16_t flags = 0;
    std::uint32_t length = 0;      // the record's length in host form, header included
    std::uint32_t index = 0;       // 1-based position in the list
    std::uint32_t extraRoom = 0;   // 0, kExtraRoomFree or kExtraRoomUsed
    std::uint8_t* bytes = nullptr; // host form; an odd length has one zero byte more
    CDRecordNode* next = nullptr;
    CDRecordNode* prev = nullptr;
};

// The node's extra (by its signature one of the structures below, given by
// the reader), or null.
inline void* RecordExtra(const CDRecordNode* node) {
    if (node == nullptr || node->extraRoom != kExtraRoomUsed) return nullptr;
    return const_cast<char*>(reinterpret_cast<const char*>(node)) - kExtraRoom;
}

// Extras made while reading.
struct TextExtra {                 // 0xFF85
    const char* text = nullptr;    // the run's text (inside the node's bytes, or owned)
    std::uint16_t length = 0;
};
struct TableExtra {                // 0x00A3, 0x00CF
    std::uint16_t rows = 0;
    std::uint16_t columns = 0;
};
struct CellExtra {                 // 0x00A4, 0x00D0 inside a table
    CDRecordNode* preTable = nullptr;    // the last 0xFFFB record before the table began
    CDRecordNode* tableBegin = nullptr;
};
struct GraphicExtra {              // 0x0099 (key), 0x0095 (offset in its item value)
    std::uint32_t key = 0;
    std::uint16_t segment = 0;
};
static_assert(sizeof(TextExtra) <= kExtraRoom && sizeof(TableExtra) <= kExtraRoom &&
              sizeof(CellExtra) <= kExtraRoom && sizeof(GraphicExtra) <= kExtraRoom);

struct OutputSegment {
    std::uint8_t* start = nullptr;
    std::uint8_t* position = nullptr;
    std::uint32_t size = 0;        // the stored value length when read, the used length when written
    std::uint16_t number = 0;      // 0 for the first item, then +1 per item
    std::uint32_t firstIndex = 0;  // indexes of the first and last records that came from it
    std::uint32_t lastIndex = 0;
    OutputSegment* next = nullptr;
    plat::DHANDLE kept = 0;        // a read segment: the handle that keeps its stored value
};

// A list's arena: blocks taken from the heap one after the other and handed
// out front to back; nothing is given back before the list goes.
struct RecordArena {
    struct Block {
        Block* previous;
        std::size_t size;          // usable bytes after the header
    };
    Block* current = nullptr;
    std::uint8_t* free = nullptr;  // the unused rest of the current block
    std::uint8_t* end = nullptr;
    std::size_t held = 0;          // bytes of all blocks, headers included
    // About what the list will hold in all, when it is known ahead (0:
    // not known): a new block is made at least that large, up to the
    // largest kept size, instead of growing through every smaller size
    // (each faulted in page by page) first.
    std::size_t expected = 0;
};
// size bytes of an arena, 8-byte aligned; null when memory is short.
void* ArenaTakeFromNewBlock(RecordArena* arena, std::size_t size);
inline void* ArenaTake(RecordArena* arena, std::size_t size) {
    size = (size + 7) & ~std::size_t{7};
    if (static_cast<std::size_t>(arena->end - arena->free) < size) return ArenaTakeFromNewBlock(arena, size);
    void* memory = arena->free;
    arena->free += size;
    return memory;
}

struct ItemRecordList {
    plat::NOTEHANDLE note = 0;
    const char* itemName = nullptr;          // borrowed
    plat::BLOCKID valueBlock;                // value of the item being read
    plat::BLOCKID currentItem;
    plat::BLOCKID previousItem;
    std::uint32_t valueLength = 0;           // for an output list: the segment capacity
    std::uint16_t valueType = 0;
    std::uint8_t* readPosition = nullptr;    // for an output list: the output buffer
    std::uint8_t* valueStart = nullptr;
    std::uint32_t recordLength = 0;
    std::uint16_t recordSignature = 0;
    std::uint32_t remaining = 0;
    std::uint32_t outputFlag = 0;            // 1 for lists made by the record output
    CDRecordNode* lastAppended = nullptr;
    OutputSegment* firstSegment = nullptr;
    OutputSegment* lastSegment = nullptr;
    CDRecordNode* head = nullptr;
    CDRecordNode* tail = nullptr;            // the last node, for appending in constant time
    RecordArena* arena = nullptr;            // null for a list made without one: its nodes are heap nodes
    std::uint64_t serial = 0;                // names the list for as long as the process runs
    std::uint32_t edits = 0;                 // counts the changes made through this module
    // Set once a node of the list holds memory of the heap (a heap node
    // linked in, bytes or text from std::malloc): freeing the list then
    // visits every node.
    std::uint32_t heapParts = 0;
    // Kept by a read into an empty list: the position of the last paragraph
    // definition or style name it read (0: none), and the list's edits
    // when it ended. While the edits are still those, no such record lies
    // past that position.
    std::uint32_t lastDefinitionIndex = 0;
    std::uint32_t editsAtRead = kNotAsRead;
    static constexpr std::uint32_t kNotAsRead = 0xFFFFFFFFu;
};

// ---- The one place nodes are made, linked, unlinked and freed ----------------
//
// A heap node (NewRecordNode) and its bytes come from the heap and are freed
// with it. A node of a list's arena (NewListNode, NewViewNode) is freed with
// its list; freeing it alone frees only what it holds from std::malloc.
// extraRoom: make the node with room for an extra in front of it.

// A new empty list with an arena of its own and a fresh serial; null when
// memory is short. DeleteItemRecordList frees it.
ItemRecordList* NewItemRecordList();

// A new unlinked heap node of the signature holding its own copy of length
// bytes (zeros when bytes is null), with one zero byte more when the length
// is odd; null when memory is short.
CDRecordNode* NewRecordNode(const void* bytes, std::uint16_t signature, std::uint32_t length,
                            bool extraRoom = false);
// The same in the list's arena (a heap node when the list has none).
CDRecordNode* NewListNode(ItemRecordList* list, const void* bytes, std::uint16_t signature, std::uint32_t length,
                          bool extraRoom = false);
// A new unlinked node of the list's arena whose bytes are the stored record
// at `stored`: a view, which stays valid while the list keeps the stored
// value it lies in (an odd length must be followed by a zero byte there).
// Null when memory is short or the list has no arena.
inline CDRecordNode* NewViewNode(ItemRecordList* list, const std::uint8_t* stored, std::uint16_t signature,
                                 std::uint32_t length, bool extraRoom = false) {
    if (list == nullptr || list->arena == nullptr) return nullptr;
    const std::size_t room = extraRoom ? kExtraRoom : 0;
    auto* memory = static_cast<std::uint8_t*>(ArenaTake(list->arena, room + sizeof(CDRecordNode)));
    if (memory == nullptr) return nullptr;
    auto* node = new (memory + room) CDRecordNode;
    node->signature = signature;
    node->flags = kNodeInArena | kNodeStoredView;
    node->length = length;
    node->index = 0;
    node->extraRoom = extraRoom ? kExtraRoomFree : 0;
    node->bytes = const_cast<std::uint8_t*>(stored);
    node->next = node->prev = nullptr;
    return node;
}
// Puts an extra of type Extra, value-initialised, in the node's room for
// one; null when the node was made without room.
template <typename Extra>
Extra* MakeRecordExtra(CDRecordNode* node) {
    static_assert(sizeof(Extra) <= kExtraRoom);
    if (node == nullptr || node->extraRoom == 0) return nullptr;
    node->extraRoom = kExtraRoomUsed;
    return new (reinterpret_cast<char*>(node) - kExtraRoom) Extra{};
}
// size bytes of the list's arena (8-byte aligned, not cleared), freed with
// the list; null when memory is short or the list has no arena.
void* ListMemory(ItemRecordList* list, std::size_t size);
// A new zeroed segment descriptor numbered one after the list's last one
// (0 for the first) and linked behind it: arena memory, or from the
// session's pool in a list without an arena. Null when memory is short.
OutputSegment* AddSegment(RARIvoSession* session, ItemRecordList* list);
// The bytes of a node of the list for changing in place: a view is first
// replaced by a copy of its own (with the node's length and pad byte), in
// the list's arena. Null when memory is short (the node is left as it was).
std::uint8_t* EditRecordBytes(ItemRecordList* list, CDRecordNode* node);
// Gives a node of the list the bytes and length of a heap node made by
// NewRecordNode, which is freed: the node's own bytes go, and so do the
// stored pad byte it kept and a converted copy of its text; a text extra
// points at the new text.
void AdoptRecordBytes(ItemRecordList* list, CDRecordNode* node, CDRecordNode* from);
// Frees an unlinked node with what it owns; null-safe.
void FreeRecordNode(CDRecordNode* node);
// Links node in after `after`, or first when after is null. The list (may be
// null for a chain of nodes without one) keeps its head and tail. Indexes
// are the caller's.
inline void LinkRecordNode(ItemRecordList* list, CDRecordNode* after, CDRecordNode* node) {
    CDRecordNode* next = after != nullptr ? after->next : list != nullptr ? list->head : nullptr;
    node->prev = after;
    node->next = next;
    if (after != nullptr) after->next = node;
    if (next != nullptr) next->prev = node;
    if (list == nullptr) return;
    ++list->edits;
    if ((node->flags & kNodeInArena) == 0) list->heapParts = 1;
    if (after == nullptr) list->head = node;
    if (next == nullptr) list->tail = node;
}
// Takes node out from between its neighbours; the list (may be null) moves
// its head, tail and last appended node off it. The node stays with the
// caller.
void UnlinkRecordNode(ItemRecordList* list, CDRecordNode* node);
// Frees a list whole: its nodes with what they own, its segment buffers and
// descriptors, the stored values it keeps, its arena and the list object;
// null-safe.
void DeleteItemRecordList(RARIvoSession* session, ItemRecordList* list);
// The bytes a list holds beyond the stored values it views: its arena, its
// heap nodes and what they and its nodes hold from std::malloc (as far as
// the nodes say).
std::size_t RecordListFootprint(const ItemRecordList* list);

// The first node when node is null, else the one after it; null-safe.
CDRecordNode* NextRecordNode(ItemRecordList* list, CDRecordNode* node);
// The node before it; null-safe.
CDRecordNode* PrevRecordNode(CDRecordNode* node);

} // namespace talix
