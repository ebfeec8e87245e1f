// Navigation of a chunk: the existence test, zooming in and out, sub-chunks,
// counting targets and moving between targets (the finders, which search
// the records once the target is found, are chunkops/find_elements.cpp). Every
// question whether a definition matches anything is one query run of the
// operation engine.
#include <cstring>
#include <new>

#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/owned_text.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/chunk_count.h"
#include "engine/chunk_match.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr std::uint16_t kMaxOccurrence = 0xFFFF;

ChunkDefInfo* Chain(const ZervaRTChunk* chunk) { return chunk->work != nullptr ? chunk->work->chain : nullptr; }

ChunkDefInfo* Innermost(ChunkDefInfo* chain) {
    if (chain == nullptr) return nullptr;
    while (chain->next != nullptr) chain = chain->next;
    return chain;
}

// Renders the chain as the chunk's definition text. Memory short: the old
// text stays.
void RenderDefinition(ZervaRTChunk* chunk) {
    char* text = RenderChunkDefinition(Chain(chunk));
    if (text == nullptr) return;
    FreeOwnedText(chunk->definition);
    chunk->definition = text;
}

// Parses text as levels inside the chunk's innermost level; *single becomes
// 1 only when the chunk names a single target and so does the text.
ChunkDefInfo* ParseInside(ZervaRTChunk* chunk, const char* text, std::uint32_t* single) {
    std::uint32_t parsedSingle = 0;
    ChunkDefInfo* parsed = ParseChunkDefinition(chunk->session, 0, Innermost(Chain(chunk)), text, &parsedSingle);
    *single = (chunk->work != nullptr && chunk->work->singleTarget != 0 && parsedSingle != 0) ? 1 : 0;
    return parsed;
}

// Links levels behind the chunk's innermost level (or makes them the chain).
void AppendLevels(ZervaRTChunk* chunk, ChunkDefInfo* levels) {
    ChunkDefInfo* innermost = Innermost(Chain(chunk));
    if (innermost == nullptr) chunk->work->chain = levels;
    else innermost->next = levels;
}

bool HasOccurrenceList(const ChunkDefInfo* level) { return level != nullptr && level->occurrenceCount != 0; }

// Moves every occurrence of a level up by one (a range moves as a whole; a
// missing range end stays 0). Occurrences stop at the largest number; false
// when none could move.
bool RaiseOccurrences(ChunkDefInfo* level) {
    std::uint16_t count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
    bool moved = false;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (level->occurrenceStart[i] == kMaxOccurrence) continue;
        ++level->occurrenceStart[i];
        moved = true;
        std::uint16_t& end = level->occurrenceEnd[i];
        if (end != 0 && end >= level->occurrenceStart[i] && end != kMaxOccurrence) ++end;
    }
    return moved;
}

// Moves every occurrence above 0 down by one; a range end follows unless it
// lies below the new start or below 1.
void LowerOccurrences(ChunkDefInfo* level) {
    std::uint16_t count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (level->occurrenceStart[i] > 0) --level->occurrenceStart[i];
        std::uint16_t& end = level->occurrenceEnd[i];
        if (end >= 1 && end >= level->occurrenceStart[i]) --end;
    }
}

// True when the chunk can run the engine at all.
bool Usable(const ZervaRTChunk* chunk) {
    return chunk->session != nullptr && chunk->session->workArea != nullptr && chunk->item != nullptr &&
           chunk->item->work != nullptr && chunk->work != nullptr;
}

} // namespace

namespace talix {

int RunExistenceTest(ZervaRTChunk* chunk, std::uint16_t propertyCode) {
    if (chunk == nullptr) return 0;
    if (!Usable(chunk)) {
        chunk->lastStatus = kArgumentError;
        return 0;
    }
    SessionWorkArea* area = chunk->session->workArea;
    ZervaRTItem* item = chunk->item;
    area->foundFirstRecord = 0;
    area->foundLastRecord = 0;
    chunk->lastStatus = kOK;

    const char* name = item->itemName;
    if (ItemStored(item) || item->work->mode == 2) {
        std::uint32_t single = chunk->work->singleTarget;
        STATUS status = PerformChunkAction(chunk, item->noteHandle, name, kOpQuery, propertyCode, 0, 0, 0, nullptr, nullptr,
                                           nullptr, nullptr, nullptr);
        chunk->work->singleTarget = single;
        if (status != kOK && status != kOperationComplete) {
            chunk->lastStatus = status;
            return 0;
        }
    }
    if (chunk->lastStatus == kOK && item->autoSave != 0) plat::NoteUpdate(item->noteHandle, 1);
    if (chunk->lastStatus == kOperationComplete) chunk->lastStatus = kOK;
    return area->foundFirstRecord != 0 ? 1 : 0;
}

} // namespace talix

int ZervaRTChunk::Exists() { return RunExistenceTest(this, kQueryExists); }

int ZervaRTChunk::ZoomIn(const char* text) {
    if (work == nullptr) return 0;
    std::uint32_t single = 0;
    ChunkDefInfo* levels = ParseInside(this, text, &single);
    if (levels == nullptr) return 0;
    if (unzoomedDefinition == nullptr) {
        unzoomedDefinition = RenderChunkDefinition(Chain(this));
        if (unzoomedDefinition == nullptr) {
            FreeChunkDefinition(levels);
            return 0;
        }
    }
    work->singleTarget = single;
    AppendLevels(this, levels);
    RenderDefinition(this);
    targetType = Innermost(levels)->elementType;
    return 1;
}

void ZervaRTChunk::ZoomOut() {
    if (unzoomedDefinition == nullptr || work == nullptr) return;
    if (definition == nullptr || std::strcmp(unzoomedDefinition, definition) != 0) {
        std::uint32_t single = 0;
        ChunkDefInfo* chain = ParseChunkDefinition(session, 0, nullptr, unzoomedDefinition, &single);
        // Memory short: the chunk stays zoomed in, not the whole item, and
        // keeps the text to go back to.
        if (chain == nullptr) return;
        FreeChunkDefinition(work->chain);
        work->chain = chain;
        work->singleTarget = single;
        RenderDefinition(this);
        ChunkDefInfo* innermost = Innermost(work->chain);
        targetType = innermost != nullptr ? innermost->elementType : std::uint16_t{kTypeEverything};
    }
    FreeOwnedText(unzoomedDefinition);
}

ZervaRTChunk* ZervaRTChunk::DefineSubChunk(const char* text) {
    if (work == nullptr) return nullptr;
    auto* sub = new (std::nothrow) ZervaRTChunk(session, item);
    if (sub == nullptr) return nullptr;
    if (sub->work == nullptr) {
        delete sub;
        return nullptr;
    }
    ChunkDefInfo* last = nullptr;
    for (const ChunkDefInfo* level = work->chain; level != nullptr; level = level->next) {
        ChunkDefInfo* copy = CopyChunkLevel(level);
        if (copy == nullptr) {
            delete sub;
            return nullptr;
        }
        if (last == nullptr) sub->work->chain = copy; else last->next = copy;
        last = copy;
    }
    std::uint32_t parsedSingle = 0;
    ChunkDefInfo* levels = ParseChunkDefinition(session, 0, last, text, &parsedSingle);
    if (levels == nullptr) {
        delete sub;
        return nullptr;
    }
    sub->work->singleTarget = (work->singleTarget != 0 && parsedSingle != 0) ? 1 : 0;
    AppendLevels(sub, levels);
    sub->targetType = Innermost(levels)->elementType;
    RenderDefinition(sub);
    if (sub->definition == nullptr) {
        delete sub;
        return nullptr;
    }
    return sub;
}

namespace {

// The level a count adds to the chunk: "<type> 1" parsed inside the chunk's
// innermost level and linked behind it, with the chunk's state it changes.
struct CountedLevel {
    ChunkDefInfo* levels = nullptr;
    ChunkDefInfo* innermost = nullptr;
    std::uint16_t savedFirst = 0;
    std::uint16_t savedType = 0;
    std::uint32_t savedSingle = 0;
};

// False when the type cannot be counted within the chunk (or the name does
// not fit the session's second scratch buffer).
bool AddCountedLevel(ZervaRTChunk* chunk, const char* typeText, CountedLevel* counted) {
    char* scratch = chunk->session->optionValue;
    std::size_t length = ::strnlen(typeText, kScratchSize);
    if (length + 3 > kScratchSize) return false;
    std::memcpy(scratch, typeText, length);
    std::memcpy(scratch + length, " 1", 3);

    std::uint32_t single = 0;
    counted->levels = ParseInside(chunk, scratch, &single);
    if (counted->levels == nullptr) return false;
    counted->innermost = Innermost(chunk->work->chain);
    counted->savedFirst = counted->innermost != nullptr ? counted->innermost->occurrenceStart[0] : 0;
    counted->savedType = chunk->targetType;
    counted->savedSingle = chunk->work->singleTarget;
    AppendLevels(chunk, counted->levels);
    chunk->targetType = Innermost(counted->levels)->elementType;
    chunk->work->singleTarget = single;
    return true;
}

// Counts the targets of the counted level (the chain's innermost) in one
// walk with every occurrence selected: the number of occurrences from 1 on
// that each hold a record the executor inside the chunk is given, at most
// tally->limit. That is what asking for one occurrence after the other
// finds when the level is plain (an occurrence's records lie in the chunk
// exactly when that occurrence alone is selected) and no record 0xFF68 is
// met (whose region switch is read only while no chunk is open). False
// when the count must be found by asking.
bool TallyTargets(ZervaRTChunk* chunk, ChunkDefInfo* counted, OccurrenceTally* tally, std::uint32_t* count) {
    ZervaRTItem* item = chunk->item;
    if (counted->relation != kRelPlain || !Usable(chunk) || !(ItemStored(item) || item->work->mode == 2)) return false;
    const std::uint16_t occurrences = counted->occurrenceCount;
    const std::uint32_t single = chunk->work->singleTarget;
    counted->occurrenceCount = 0;
    chunk->work->singleTarget = 0;
    const STATUS status = PerformChunkAction(chunk, item->noteHandle, item->itemName, kOpQuery, kQueryTally, 0, 0, 0,
                                             nullptr, nullptr, tally, nullptr, nullptr);
    counted->occurrenceCount = occurrences;
    chunk->work->singleTarget = single;
    if (status != kOK && status != kOperationComplete) return false;
    const ItemRecordList* list = item->work->current;
    for (const CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next) {
        if (node->signature == kSigLargeParagraph) return false;
    }
    std::uint32_t n = 0;
    while (n < tally->limit && n + 1 < tally->seen.size() && tally->seen[n + 1]) ++n;
    *count = n;
    return true;
}

void RemoveCountedLevel(ZervaRTChunk* chunk, const CountedLevel& counted) {
    if (counted.innermost != nullptr) {
        counted.innermost->next = nullptr;
        counted.innermost->occurrenceStart[0] = counted.savedFirst;
    } else {
        chunk->work->chain = nullptr;
    }
    FreeChunkDefinition(counted.levels);
    chunk->targetType = counted.savedType;
    chunk->work->singleTarget = counted.savedSingle;
}

} // namespace

std::int16_t ZervaRTChunk::GetCount(const char* typeText) {
    if (typeText == nullptr || work == nullptr || session == nullptr) return -1;
    CountedLevel added;
    if (!AddCountedLevel(this, typeText, &added)) return -1;
    ChunkDefInfo* counted = Innermost(added.levels);

    std::uint32_t count = 0;
    OccurrenceTally tally;
    tally.limit = kMaxOccurrence;
    if (counted->occurrenceCount == 0) {
        // Nothing to count.
    } else if (TallyTargets(this, counted, &tally, &count)) {
        // What the last question asked one by one leaves: no find after the
        // last target, or the find of the last countable one.
        SessionWorkArea* area = session->workArea;
        area->foundFirstRecord = area->foundLastRecord = count == kMaxOccurrence ? tally.firstAtLimit : 0;
        if (count == kMaxOccurrence)
            std::memcpy(item->work->textTemplate, tally.templateAtLimit, sizeof tally.templateAtLimit);
        lastStatus = kOK;
    } else {
        while (RunExistenceTest(this, kQueryExists) != 0) {
            count = counted->occurrenceStart[0];
            if (count == kMaxOccurrence) break;
            RaiseOccurrences(counted);
        }
    }
    RemoveCountedLevel(this, added);
    return static_cast<std::int16_t>(count > 0x7FFF ? 0x7FFF : count);
}

namespace talix {

// One walk over the item lists every target of the type (operation 2, whose
// keys carry the occurrence number of each target found); the count is the
// highest of them, which is what GetCount finds by asking for one
// occurrence after the other.
std::int64_t CountChunkTargets(ZervaRTChunk* chunk, const char* typeText) {
    if (chunk == nullptr || typeText == nullptr || chunk->work == nullptr || chunk->session == nullptr) return -1;
    CountedLevel added;
    if (!AddCountedLevel(chunk, typeText, &added)) return -1;
    Innermost(added.levels)->occurrenceCount = 0;   // every occurrence
    chunk->work->singleTarget = 0;

    std::uint32_t count = 0;
    chunk->lastStatus = kOK;
    ZervaRTItem* item = chunk->item;
    OccurrenceTally tally;
    tally.limit = 0xFFFFFFFFu;
    if (Usable(chunk) && TallyTargets(chunk, Innermost(added.levels), &tally, &count)) {
        chunk->lastStatus = kOK;
    } else if (!Usable(chunk)) {
        chunk->lastStatus = kArgumentError;
    } else if (ItemStored(item) || item->work->mode == 2) {
        STATUS status = PerformChunkAction(chunk, item->noteHandle, item->itemName, 2, 0, 0, 0, 0, nullptr, nullptr,
                                           nullptr, nullptr, nullptr);
        if (status != kOK && status != kOperationComplete) {
            chunk->lastStatus = status;
        } else {
            chunk->lastStatus = kOK;
            for (std::uint32_t i = 0; i < chunk->work->sortKeyCount; ++i) {
                if (chunk->work->sortKeys[i].row > count) count = chunk->work->sortKeys[i].row;
            }
        }
    }
    RemoveCountedLevel(chunk, added);
    return count;
}

} // namespace talix

int ZervaRTChunk::GetNextTarget(int) {
    ChunkDefInfo* level = Innermost(Chain(this));
    if (!HasOccurrenceList(level)) return 0;
    // At the largest occurrence there is no next target: answering for the
    // same one again would keep a caller's loop over the targets going.
    if (!RaiseOccurrences(level)) return 0;
    RenderDefinition(this);
    return RunExistenceTest(this, kQueryExists);
}

int ZervaRTChunk::GetPreviousTarget() {
    ChunkDefInfo* level = Innermost(Chain(this));
    if (!HasOccurrenceList(level)) return 0;
    LowerOccurrences(level);
    RenderDefinition(this);
    return RunExistenceTest(this, kQueryExists);
}

int ZervaRTChunk::GetLastTarget() {
    ChunkDefInfo* level = Innermost(Chain(this));
    if (!HasOccurrenceList(level)) return 0;
    // Past the last target that exists, then back to it.
    while (level->occurrenceStart[0] != kMaxOccurrence) {
        RaiseOccurrences(level);
        if (RunExistenceTest(this, kQueryExists) == 0) break;
    }
    int found = 0;
    while (level->occurrenceStart[0] >= 1) {
        LowerOccurrences(level);
        if (level->occurrenceStart[0] < 1) break;
        found = RunExistenceTest(this, kQueryExists);
        if (found != 0) break;
    }
    RenderDefinition(this);
    return found;
}
