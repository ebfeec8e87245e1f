// Resume points of the existence query (engine/walk_resume.h).
#include "engine/walk_resume.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/chunk_definition.h"
#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "engine/chunk_match.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix {

namespace {

// Chains of more levels than this are walked from the first record.
constexpr int kResumeLevels = 8;
// Points kept per chunk; when full, every other one goes.
constexpr std::size_t kResumePoints = 512;
constexpr std::size_t kWalkWords = sizeof(LevelWalkState::words) / sizeof(LevelWalkState::words[0]);

// What the walk carries from one record to the next in an existence query.
struct WalkState {
    std::uint32_t recordCounter = 0;
    std::uint32_t previousIndex = 0;
    std::uint16_t previousSignature = 0;
    std::uint16_t region = 0;
    std::int32_t hotspotNesting = 0, layerNesting = 0, beginDepth = 0, tableNesting = 0, tableLevel = 0;
    std::uint32_t inTablePrelude = 0;
    std::uint32_t labelHotspotOpen = 0;
    std::uint16_t beginStack[kBeginStackDepth] = {};
    std::uint8_t paragraphDefinition[kParagraphImageSize] = {};
    std::uint32_t paragraphDefinitionLength = 0;
    std::uint8_t paragraphReference[kParagraphReferenceLength] = {};
    std::uint8_t textTemplate[kTextRunHeader] = {};
    std::uint32_t levelWords[kResumeLevels][kWalkWords] = {};
};

struct WalkPoint {
    CDRecordNode* node = nullptr;   // the record that opened a target
    std::uint32_t index = 0;        // its index, which orders the points
    std::uint32_t position = 0;     // its place in the list, the first record's 0
    std::uint32_t maxCounted = 0;   // the highest occurrence the innermost level counted before it
    WalkState state;                // the walk just before it
};

// What a level is, apart from its walk: the innermost level's occurrence
// list is left out (it is what navigation changes).
struct LevelIdentity {
    std::uint16_t relation = 0;
    std::uint16_t elementType = 0;
    std::vector<std::uint16_t> occurrences;   // starts then ends
    std::string matchText;
    std::uint32_t hasMatchText = 0;
    std::uint16_t matchKind = 0;

    bool operator==(const LevelIdentity&) const = default;
};

} // namespace

struct WalkResume {
    std::uint64_t listSerial = 0;
    std::uint32_t listEdits = 0;
    std::vector<LevelIdentity> chain;
    std::vector<WalkPoint> points;   // by index

    // The run under way.
    int levels = 0;
    ChunkDefInfo* level[kResumeLevels] = {};
    bool opened = false;             // the run has opened a target
    std::uint32_t maxCounted = 0;
    WalkPoint before;                // the walk before the current record
    std::uint32_t startsBefore = 0;  // the run's chunk starts before it
    std::uint32_t position = 0;      // the current record's place in the list
    std::uint32_t nextPosition = 0;  // the next record's
    const ItemRecordList* list = nullptr;   // the list of the run under way
};

namespace {

// Where an existence query stopped because its outermost level could
// select nothing more, with the walk's state before the next record. A
// query of any chunk of the item whose outermost level is the same but for
// its occurrence list, and selects none of the elements counted by then,
// walks the same records in the same state up to there: its outer level
// selected nothing, so its inner levels were never matched (their state
// is cleared) and its chunk never opened.
struct WalkExit {
    LevelIdentity outer;             // occurrences left out
    std::uint32_t counted = 0;       // the elements the outer level counted
    CDRecordNode* node = nullptr;    // the next record
    std::uint32_t position = 0;      // its place in the list
    WalkState state;                 // levelWords[0]: the outer level's; the rest cleared
};

// What the item keeps of the walks of its chunks' existence queries
// (ItemWorkState::walkMemo), for one state of one record list.
struct ItemWalkMemo {
    std::uint64_t listSerial = 0;
    std::uint32_t listEdits = 0;
    std::vector<WalkExit> exits;
    // The list's stretches between records of length 0, made at the first
    // question about the last text run (LastTextRunAfter).
    struct Stretch {
        std::uint32_t end = 0;                  // place of the record of length 0 that ends it
        std::uint32_t lastTextPosition = 0;     // place of its last text run
        const CDRecordNode* lastText = nullptr; // null: it has none
    };
    bool stretchesReady = false;
    std::vector<Stretch> stretches;
};

void FreeItemWalkMemo(void* memo) { delete static_cast<ItemWalkMemo*>(memo); }

// The item's walk memo for the list as it stands now, made or emptied as
// needed; null when memory is short.
ItemWalkMemo* ItemMemo(ItemWorkState* work, const ItemRecordList* list) {
    if (work == nullptr) return nullptr;
    auto* memo = static_cast<ItemWalkMemo*>(work->walkMemo);
    if (memo == nullptr) {
        memo = new (std::nothrow) ItemWalkMemo;
        if (memo == nullptr) return nullptr;
        work->walkMemo = memo;
        work->freeWalkMemo = FreeItemWalkMemo;
    }
    if (memo->listSerial != list->serial || memo->listEdits != list->edits) {
        memo->listSerial = list->serial;
        memo->listEdits = list->edits;
        memo->exits.clear();
        memo->stretches.clear();
        memo->stretchesReady = false;
    }
    return memo;
}

// Exits kept per item; when full, the oldest goes.
constexpr std::size_t kWalkExits = 16;

LevelIdentity OuterIdentity(const ChunkDefInfo* level) {
    LevelIdentity identity;
    identity.relation = level->relation;
    identity.elementType = level->elementType;
    if (level->matchText != nullptr) identity.matchText = level->matchText;
    identity.hasMatchText = level->hasMatchText;
    identity.matchKind = level->matchKind;
    return identity;
}

std::vector<LevelIdentity> Identify(ChunkDefInfo* const* levels, int count) {
    std::vector<LevelIdentity> chain(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const ChunkDefInfo* level = levels[i];
        LevelIdentity& identity = chain[static_cast<std::size_t>(i)];
        identity.relation = level->relation;
        identity.elementType = level->elementType;
        if (i + 1 < count) {
            const int entries = std::min<int>(level->occurrenceCount, kMaxOccurrences);
            identity.occurrences.push_back(level->occurrenceCount);
            identity.occurrences.insert(identity.occurrences.end(), level->occurrenceStart,
                                        level->occurrenceStart + entries);
            identity.occurrences.insert(identity.occurrences.end(), level->occurrenceEnd,
                                        level->occurrenceEnd + entries);
        }
        if (level->matchText != nullptr) identity.matchText = level->matchText;
        identity.hasMatchText = level->hasMatchText;
        identity.matchKind = level->matchKind;
    }
    return chain;
}

// The smallest occurrence the level's list can select.
std::uint32_t LowestSelectable(const ChunkDefInfo* level) {
    const int entries = std::min<int>(level->occurrenceCount, kMaxOccurrences);
    std::uint32_t lowest = 0xFFFFFFFFu;
    for (int i = 0; i < entries; ++i) lowest = std::min<std::uint32_t>(lowest, level->occurrenceStart[i]);
    return lowest;
}

void Save(const RecordProcessContext* context, const WalkResume* resume, WalkState* state) {
    state->recordCounter = context->recordCounter;
    state->previousIndex = context->previousIndex;
    state->previousSignature = context->previousSignature;
    state->region = context->region;
    state->hotspotNesting = context->hotspotNesting;
    state->labelHotspotOpen = context->labelHotspotOpen;
    state->layerNesting = context->layerNesting;
    state->beginDepth = context->beginDepth;
    state->tableNesting = context->tableNesting;
    state->tableLevel = context->output.tableLevel;
    state->inTablePrelude = context->inTablePrelude;
    std::memcpy(state->beginStack, context->beginStack,
                sizeof(std::uint16_t) * static_cast<std::size_t>(std::clamp(context->beginDepth, 0, kBeginStackDepth)));
    std::memcpy(state->paragraphDefinition, context->paragraphDefinition, sizeof state->paragraphDefinition);
    state->paragraphDefinitionLength = context->paragraphDefinitionLength;
    std::memcpy(state->paragraphReference, context->paragraphReference, sizeof state->paragraphReference);
    std::memcpy(state->textTemplate, context->chunk->item->work->textTemplate, sizeof state->textTemplate);
    for (int i = 0; i < resume->levels; ++i)
        std::memcpy(state->levelWords[i], resume->level[i]->walk.words, sizeof state->levelWords[i]);
}

void Restore(const WalkState& state, const WalkResume* resume, RecordProcessContext* context) {
    context->recordCounter = state.recordCounter;
    context->previousIndex = state.previousIndex;
    context->previousSignature = state.previousSignature;
    context->region = state.region;
    context->hotspotNesting = state.hotspotNesting;
    context->labelHotspotOpen = state.labelHotspotOpen;
    context->layerNesting = state.layerNesting;
    context->beginDepth = state.beginDepth;
    context->tableNesting = state.tableNesting;
    context->output.tableLevel = state.tableLevel;
    context->inTablePrelude = state.inTablePrelude;
    std::memcpy(context->beginStack, state.beginStack, sizeof context->beginStack);
    std::memcpy(context->paragraphDefinition, state.paragraphDefinition, sizeof context->paragraphDefinition);
    context->paragraphDefinitionLength = state.paragraphDefinitionLength;
    std::memcpy(context->paragraphReference, state.paragraphReference, sizeof context->paragraphReference);
    std::memcpy(context->chunk->item->work->textTemplate, state.textTemplate, sizeof state.textTemplate);
    for (int i = 0; i < resume->levels; ++i)
        std::memcpy(resume->level[i]->walk.words, state.levelWords[i], sizeof state.levelWords[i]);
}

void Remember(WalkResume* resume, const WalkPoint& point) {
    std::vector<WalkPoint>& points = resume->points;
    auto at = std::lower_bound(points.begin(), points.end(), point.index,
                               [](const WalkPoint& p, std::uint32_t index) { return p.index < index; });
    if (at != points.end() && at->index == point.index) {
        *at = point;
        return;
    }
    points.insert(at, point);
    if (points.size() > kResumePoints) {
        // Every other point goes: the rest still spread over the records.
        std::size_t kept = 0;
        for (std::size_t i = 0; i < points.size(); i += 2) points[kept++] = points[i];
        points.resize(kept);
    }
}

// The item's exit after which a walk of a chain whose outermost level is
// outer can go on, furthest along the records; null when there is none.
const WalkExit* FurthestExit(const ZervaRTChunk* chunk, const ItemRecordList* list, const ChunkDefInfo* outer) {
    const ItemWorkState* work = chunk->item != nullptr ? chunk->item->work : nullptr;
    const auto* memo = work != nullptr ? static_cast<const ItemWalkMemo*>(work->walkMemo) : nullptr;
    if (memo == nullptr || memo->listSerial != list->serial || memo->listEdits != list->edits ||
        outer->relation != kRelPlain || outer->occurrenceCount == 0)
        return nullptr;
    const std::uint32_t lowest = LowestSelectable(outer);
    const WalkExit* best = nullptr;
    for (const WalkExit& exit : memo->exits) {
        if (exit.counted >= lowest || (best != nullptr && exit.position <= best->position) ||
            !(exit.outer == OuterIdentity(outer)))
            continue;
        best = &exit;
    }
    return best;
}

} // namespace

void PrepareResume(ZervaRTChunk* chunk, ItemRecordList* list, RecordProcessContext* context) {
    context->resume = nullptr;
    if (chunk == nullptr || chunk->work == nullptr || list == nullptr || list->serial == 0) return;
    if (context->operation != kOpQuery || context->operation2 != kQueryExists || context->extraChain != nullptr ||
        context->temporaryRecords)
        return;
    ChunkDefInfo* levels[kResumeLevels];
    int count = 0;
    for (ChunkDefInfo* level = context->firstLevel; level != nullptr; level = WalkNext(level)) {
        if (count == kResumeLevels) return;
        levels[count++] = level;
    }
    if (count == 0) return;
    ChunkDefInfo* innermost = levels[count - 1];
    if (innermost->relation != kRelPlain || innermost->occurrenceCount == 0) return;

    auto* resume = static_cast<WalkResume*>(chunk->work->walkResume);
    if (resume == nullptr) {
        resume = new (std::nothrow) WalkResume;
        if (resume == nullptr) return;
        chunk->work->walkResume = resume;
        chunk->work->freeWalkResume = FreeWalkResume;
    }
    std::vector<LevelIdentity> chain = Identify(levels, count);
    if (resume->listSerial != list->serial || resume->listEdits != list->edits || resume->chain != chain) {
        resume->listSerial = list->serial;
        resume->listEdits = list->edits;
        resume->chain = std::move(chain);
        resume->points.clear();
    }
    resume->list = list;
    resume->nextPosition = 0;
    resume->levels = count;
    std::copy(levels, levels + count, resume->level);
    resume->opened = false;
    resume->maxCounted = 0;

    // The furthest point before which nothing counted can be selected now.
    const std::uint32_t lowest = LowestSelectable(innermost);
    const WalkPoint* own = nullptr;
    for (auto point = resume->points.rbegin(); point != resume->points.rend(); ++point) {
        if (point->maxCounted >= lowest) continue;
        own = &*point;
        break;
    }
    const WalkExit* exit = FurthestExit(chunk, list, levels[0]);
    if (exit != nullptr && (own == nullptr || exit->position > own->position)) {
        Restore(exit->state, resume, context);
        context->node = exit->node;
        // The outer level is the innermost too, or the inner ones counted nothing.
        resume->maxCounted = count == 1 ? exit->counted : 0;
        resume->nextPosition = exit->position;
    } else if (own != nullptr) {
        Restore(own->state, resume, context);
        context->node = own->node;
        resume->maxCounted = own->maxCounted;
        resume->nextPosition = own->position;
    }
    context->resume = resume;
}

void RememberWalkExit(RecordProcessContext* context, CDRecordNode* next) {
    const WalkResume* resume = context->resume;
    ChunkDefInfo* outer = context->firstLevel;
    if (resume == nullptr || resume->levels == 0 || next == nullptr || next->length == 0 || outer == nullptr ||
        context->chunkStarts != 0 || context->chunkOpen != 0 || context->singleTargetDone != 0 ||
        outer->relation != kRelPlain || outer->occurrenceCount == 0 || !NothingLeftToSelect(outer))
        return;
    ItemWalkMemo* memo = ItemMemo(context->chunk->item->work, resume->list);
    if (memo == nullptr) return;
    WalkExit exit;
    exit.outer = OuterIdentity(outer);
    exit.counted = outer->walk.words[kWalkOccurrence];
    exit.node = next;
    exit.position = resume->nextPosition;
    Save(context, resume, &exit.state);
    for (int i = 1; i < resume->levels; ++i) std::memset(exit.state.levelWords[i], 0, sizeof exit.state.levelWords[i]);
    try {
        std::vector<WalkExit>& kept = memo->exits;
        auto same = std::find_if(kept.begin(), kept.end(), [&](const WalkExit& e) {
            return e.counted == exit.counted && e.outer == exit.outer;
        });
        if (same != kept.end()) {
            *same = std::move(exit);
        } else {
            if (kept.size() == kWalkExits) kept.erase(kept.begin());
            kept.push_back(std::move(exit));
        }
    } catch (const std::bad_alloc&) {
        memo->exits.clear();
    }
}

void BeforeResumableRecord(RecordProcessContext* context) {
    WalkResume* resume = context->resume;
    resume->position = resume->nextPosition++;
    if (resume->opened) return;
    resume->before.node = context->node;
    resume->before.index = context->node->index;
    resume->before.position = resume->position;
    resume->before.maxCounted = resume->maxCounted;
    resume->startsBefore = context->chunkStarts;
    Save(context, resume, &resume->before.state);
}

void AfterResumableRecord(RecordProcessContext* context) {
    WalkResume* resume = context->resume;
    if (resume->opened) return;
    const ChunkDefInfo* innermost = resume->level[resume->levels - 1];
    resume->maxCounted = std::max(resume->maxCounted, innermost->walk.words[kWalkOccurrence]);
    if (context->chunkStarts == resume->startsBefore) return;
    // The record opened the first target of the walk.
    resume->opened = true;
    Remember(resume, resume->before);
}

bool LastTextRunAfter(const RecordProcessContext* context, const CDRecordNode* after, const CDRecordNode** last) {
    WalkResume* resume = context->resume;
    if (resume == nullptr || resume->list == nullptr || after != context->node) return false;
    ItemWalkMemo* memo = ItemMemo(context->chunk->item->work, resume->list);
    if (memo == nullptr) return false;
    try {
        if (!memo->stretchesReady) {
            ItemWalkMemo::Stretch stretch;
            std::uint32_t position = 0;
            for (const CDRecordNode* node = resume->list->head; node != nullptr; node = node->next, ++position) {
                if (node->length == 0) {
                    stretch.end = position;
                    memo->stretches.push_back(stretch);
                    stretch = ItemWalkMemo::Stretch{};
                } else if (IsTemplateTextRun(node)) {
                    stretch.lastText = node;
                    stretch.lastTextPosition = position;
                }
            }
            stretch.end = 0xFFFFFFFFu;
            memo->stretches.push_back(stretch);
            memo->stretchesReady = true;
        }
    } catch (const std::bad_alloc&) {
        memo->stretches.clear();
        return false;
    }
    // The stretch of the current record: the first that ends after it.
    const std::uint32_t at = resume->position;
    auto stretch = std::upper_bound(memo->stretches.begin(), memo->stretches.end(), at,
                                    [](std::uint32_t place, const ItemWalkMemo::Stretch& s) { return place < s.end; });
    if (stretch == memo->stretches.end()) return false;
    *last = stretch->lastText != nullptr && stretch->lastTextPosition > at ? stretch->lastText : nullptr;
    return true;
}

void FreeWalkResume(void* resume) { delete static_cast<WalkResume*>(resume); }

} // namespace talix
