// The in-memory form of a rich-text item: a doubly linked list of CD records
// held in host form, with one segment descriptor per stored item they came
// from (or per output segment they were built into).
#pragma once

#include <cstdint>

#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// Record node flags.
constexpr std::uint16_t kNodeRemoveMark = 0x0001;
constexpr std::uint16_t kNodeOwnsBytes = 0x0002;
constexpr std::uint16_t kNodeLinkMark = 0x0004;
constexpr std::uint16_t kNodeOwnsExtraText = 0x0008;

struct CDRecordNode {
    std::uint16_t signature = 0;   // as decoded: byte-form signatures are 0x00nn
    std::uint32_t length = 0;      // the record's length in host form, header included
    std::uint16_t index = 0;       // 1-based position in the list
    std::uint16_t flags = 0;
    std::uint8_t* bytes = nullptr; // host form; an odd length has one zero byte more
    void* extra = nullptr;         // per-signature side data (below), or null
    CDRecordNode* next = nullptr;
    CDRecordNode* prev = nullptr;
};

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

struct OutputSegment {
    std::uint8_t* start = nullptr;
    std::uint8_t* position = nullptr;
    std::uint32_t size = 0;        // the stored value length when read, the used length when written
    std::uint16_t number = 0;      // 0 for the first item, then +1 per item
    std::uint16_t firstIndex = 0;  // indexes of the first and last records that came from it
    std::uint16_t lastIndex = 0;
    OutputSegment* next = nullptr;
};

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
};

// ---- The one place nodes are made, linked, unlinked and freed ----------------
//
// A node's bytes come from std::malloc and are owned by it (kNodeOwnsBytes);
// its extras too. A list made by the reader or the record output is a plain
// heap object that DeleteItemRecordList frees whole.

// A new unlinked node of the signature holding its own copy of length bytes
// (zeros when bytes is null), with one zero byte more when the length is odd;
// null when memory is short.
CDRecordNode* NewRecordNode(const void* bytes, std::uint16_t signature, std::uint32_t length);
// Frees an unlinked node with the bytes and extras it owns; null-safe.
void FreeRecordNode(CDRecordNode* node);
// Links node in after `after`, or first when after is null. The list (may be
// null for a chain of nodes without one) keeps its head and tail. Indexes
// are the caller's.
void LinkRecordNode(ItemRecordList* list, CDRecordNode* after, CDRecordNode* node);
// Takes node out from between its neighbours; the list (may be null) moves
// its head, tail and last appended node off it. The node stays with the
// caller.
void UnlinkRecordNode(ItemRecordList* list, CDRecordNode* node);
// Frees a list whole: its nodes with what they own, its segment buffers and
// descriptors (the session's tracked pool) and the list object; null-safe.
void DeleteItemRecordList(RARIvoSession* session, ItemRecordList* list);

// The first node when node is null, else the one after it; null-safe.
CDRecordNode* NextRecordNode(ItemRecordList* list, CDRecordNode* node);
// The node before it; null-safe.
CDRecordNode* PrevRecordNode(CDRecordNode* node);

} // namespace talix
