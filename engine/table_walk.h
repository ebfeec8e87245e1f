// What the table operations share about the walk: the table level a record
// belongs to, the first table the chunk meets, and putting a changed copy
// of a record in its place.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "builders/append_gate.h"
#include "core/pool.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix {

// The walk's table level of a record: a table end belongs to the table it
// ends (the walk has already left it).
inline std::int32_t TableLevelOf(const RecordProcessContext* context, std::uint16_t signature) {
    return context->tableNesting + (IsTableEndRecord(signature) ? 1 : 0);
}

// A level as an index of the per-level state.
inline std::int32_t LevelSlot(std::int32_t level) { return std::clamp<std::int32_t>(level, 0, kTableLevels - 1); }

// Whether a record of the level lies in the first table the chunk meets,
// and not in a table nested in it. The first table record met (extension,
// begin, cell) fixes the level.
inline bool InFirstTable(RecordProcessContext* context, std::uint16_t signature, std::int32_t level) {
    TableRunState& state = context->table;
    if (state.firstTableDone != 0) return false;
    if (state.levelKnown == 0) {
        if (signature != kSigPreTableBegin && !IsTableBeginRecord(signature) && !IsCellRecord(signature))
            return false;
        state.level = level;
        state.levelKnown = 1;
    }
    return level == state.level;
}

// The id/name record: six text lengths from offset 4, texts from 26 in the
// order id, class, style, title, other, name. The slot of an attribute as
// callers number them: 1 name, 2 id, 3 class, 4 style, 5 title, any other
// value the other attributes.
constexpr std::uint32_t kIdNameTexts = 26;
inline int IdNameSlot(std::uint16_t attribute) {
    switch (attribute) {
    case 1: return 5;
    case 2: return 0;
    case 3: return 1;
    case 4: return 2;
    case 5: return 3;
    default: return 4;
    }
}

// Puts a changed copy of the record in its place in the output. The copy
// has capacity bytes (at least the record's length, zero-filled beyond
// it); change edits it and may set a new length within them. Returns 0,
// 263, or the failure of change or of the append.
template <typename Change>
STATUS ReplaceRecord(RecordProcessContext* context, const std::uint8_t* record, std::uint16_t signature,
                     std::uint32_t length, std::uint32_t capacity, std::uint32_t* passOn, Change change) {
    if (context->writesItem == 0) return kOK;
    capacity = std::max(capacity, length);
    std::uint8_t local[160];
    std::uint8_t* copy = local;
    if (capacity > sizeof local) {
        copy = static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, "rtproc", capacity, 1));
        if (copy == nullptr) return kOutOfMemory;
    }
    std::memset(copy, 0, capacity);
    std::memcpy(copy, record, length);
    std::uint32_t newLength = length;
    STATUS status = change(copy, &newLength);
    if (status == kOK) {
        status = AppendRecord(copy, signature, newLength, &context->output);
        *passOn = 0;
        context->chunk->item->modified = 1;
    }
    if (copy != local) ZervaDeallocate(context->session, copy);
    return status;
}

} // namespace talix
