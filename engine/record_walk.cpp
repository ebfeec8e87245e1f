// The record walk of an operation run: every record of the item passes
// through ProcessRecord, which keeps the walk's nesting counters, lets each
// level of the chunk's chain decide whether the record lies in its region,
// and calls the executors when the chunk opens, for each record inside it
// and when it closes.
//
// A level's region, by relation: Everything: every record. Plain: the
// records of a selected element. Inside: the records between a selected
// element's own first and last records. Outside: every record not in a
// selected element. Before: the records before the first selected element.
// After: the records after a selected element ends. Starts With: from a
// selected element's first record on. Ends With: up to the end of a
// selected element. A level is matched only on records that lie in the
// regions of all the levels before it; when an outer region closes, the
// levels within it start afresh. The chunk is open while a record lies in
// the regions of all levels.
//
// In a run that rebuilds the item, the records no executor takes wait as
// pending copies and go to the output unchanged, in their order, before
// anything an executor writes after them.
#include <cstring>

#include "core/chunk_types.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "engine/chunk_match.h"
#include "engine/inside_executor.h"
#include "engine/record_process.h"
#include "engine/walk_resume.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace talix {

namespace {

// A record a writing run refuses: longer than this, or a signature below 89.
constexpr std::uint32_t kLongestWritableRecord = 65536;
constexpr std::uint16_t kLowestWritableSignature = 89;

// New text takes the font of a text run's record (its header, as a run
// without text).
void TakeTextTemplateOf(const std::uint8_t* record, RecordProcessContext* context) {
    ItemWorkState* work = context->chunk->item->work;
    if (work != nullptr) TakeTextTemplate(work->textTemplate, record);
}

// A pop-up, action, link or mouse-over hotspot: its text is its label.
bool IsLabelHotspotType(std::uint16_t type) { return type == 1 || type == 2 || type == 11 || type == 22; }

// Step 2 of the walk: the nesting counters and the running state.
void KeepRunningState(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                      RecordProcessContext* context) {
    switch (signature) {
    case kSigBegin: {
        const std::uint16_t inner = WordAt(record, length, 4);
        if (inner == kSigPreTableBegin) {
            context->inTablePrelude = 1;
            context->tableNesting += 1;
        }
        if (context->beginDepth < kBeginStackDepth) {
            context->beginStack[context->beginDepth] = inner;
            context->beginDepth += 1;
        }
        if (inner == kSigV5HotspotBegin || inner == kSigHotspotBegin || inner == kSigV4HotspotBegin)
            context->hotspotNesting += 1;
        if (inner == kSigLayer) context->layerNesting += 1;
        break;
    }
    case kSigEnd: {
        const std::uint16_t inner = WordAt(record, length, 4);
        if (context->beginDepth > 0) context->beginDepth -= 1;
        if (IsHotspotEndRecord(inner)) context->hotspotNesting -= 1;
        if (inner == kSigLayer) context->layerNesting -= 1;
        break;
    }
    case kSigPreTableBegin:
        if (context->inTablePrelude == 0) {
            context->inTablePrelude = 1;
            context->tableNesting += 1;
        }
        break;
    case kSigTableBegin:
    case kSigNestedTableBegin:
        if (context->inTablePrelude == 0) context->tableNesting += 1;
        break;
    case kSigTableCell:
    case kSigNestedTableCell:
        context->inTablePrelude = 0;
        context->cellMarker = 1;
        break;
    case kSigTableEnd:
    case kSigNestedTableEnd:
        if (context->tableNesting > 0) context->tableNesting -= 1;
        context->inTablePrelude = 0;
        break;
    case kSigV4HotspotBegin:
        if (InnermostBegin(context) != kSigV4HotspotBegin) context->hotspotNesting += 1;
        if (IsLabelHotspotType(WordAt(record, length, 4))) context->labelHotspotOpen = 1;
        break;
    case kSigHotspotBegin:
        if (InnermostBegin(context) != kSigV4HotspotBegin && context->previousSignature != kSigV4HotspotBegin) {
            context->hotspotNesting += 1;
        }
        if (IsLabelHotspotType(WordAt(record, length, 4))) context->labelHotspotOpen = 1;
        break;
    case kSigHotspotEnd:
    case kSigV4HotspotEnd:
        if (InnermostBegin(context) != kSigV4HotspotBegin) context->hotspotNesting -= 1;
        context->labelHotspotOpen = 0;
        break;
    case kSigTableCellHref2:
    case kSigHref2:
    case kSigTableCellHref:
    case kSigHref: {
        const std::uint16_t type = WordAt(record, length, 8);
        if (type == 1 || type == 2) context->labelHotspotOpen = 1;
        break;
    }
    case kSigText:
        // New text takes the font of the last run walked.
        if (length >= kTextRunHeader) TakeTextTemplateOf(record, context);
        break;
    case kSigPabDefinition:
        if (context->tableNesting == 0) {
            const std::uint32_t size = length < kParagraphImageSize ? length : kParagraphImageSize;
            std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
            std::memcpy(context->paragraphDefinition, record, size);
            context->paragraphDefinitionLength = size;
        }
        break;
    case kSigPabReference:
        if (context->tableNesting == 0 && length >= kParagraphReferenceLength)
            std::memcpy(context->paragraphReference + 2, record + 2, 2);
        break;
    case kSigLargeParagraph:
        if (context->chunkOpen == 0) {
            const std::uint16_t word = WordAt(record, length, 6);
            if ((word & 1u) != 0) context->region = 1;
            if ((word & 2u) != 0) context->region = 0;
        }
        break;
    default:
        break;
    }
}

} // namespace

void ArmLevel(ChunkDefInfo* level) {
    LevelWalkState& walk = level->walk;
    void* next = walk.pointers[kWalkNext];
    void* previous = walk.pointers[kWalkPrevious];
    walk = LevelWalkState{};
    walk.pointers[kWalkNext] = next;
    walk.pointers[kWalkPrevious] = previous;
    walk.words[kWalkArmed] = 1;
    switch (level->relation) {
    case kRelEverything:
    case kRelOutside:
    case kRelEnd:
        walk.words[kWalkActive] = 1;
        break;
    case kRelBefore: {
        // Nothing lies before the first record or paragraph.
        const std::uint16_t type = level->elementType;
        const bool firstIsOne = level->occurrenceCount != 0 && level->occurrenceStart[0] == 1;
        if ((type == 12 || type == 21 || type == 36) && firstIsOne) {
            walk.words[kWalkDone] = 1;
        } else {
            walk.words[kWalkActive] = 1;
        }
        break;
    }
    default:
        break;
    }
}

namespace {

void DisarmLevel(ChunkDefInfo* level) { level->walk.words[kWalkArmed] = 0; }

void RecordCounters(ChunkDefInfo* level, const RecordProcessContext* context) {
    LevelWalkState& walk = level->walk;
    walk.words[kWalkHotspotNesting] = static_cast<std::uint32_t>(context->hotspotNesting);
    walk.words[kWalkLayerNesting] = static_cast<std::uint32_t>(context->layerNesting);
    walk.words[kWalkTableNesting] = static_cast<std::uint32_t>(context->tableNesting);
    walk.words[kWalkBeginDepth] = static_cast<std::uint32_t>(context->beginDepth);
    walk.words[kWalkRegion] = context->region;
}

} // namespace

LevelStep StepLevel(ChunkDefInfo* level, std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    std::uint16_t previousSignature, RecordProcessContext* context) {
    LevelWalkState& walk = level->walk;
    std::uint32_t& active = walk.words[kWalkActive];
    if (walk.words[kWalkEnterNext] != 0) {
        walk.words[kWalkEnterNext] = 0;
        active = 1;
    }
    LevelStep step;
    step.in = active != 0;
    step.after = active != 0;
    const std::uint16_t relation = level->relation;
    if (relation == kRelEverything) return step;

    bool endedHere = false;
    bool endBelongs = false;
    bool selectedEnded = false;
    if (walk.words[kWalkElementOpen] != 0) {
        std::uint32_t counted = 0;
        std::uint32_t endKept = 0;
        const std::uint32_t reported =
            MatchChunkEnd(level, record, signature, length, previousSignature, &counted, &endKept, 0, context);
        if (reported != 0 || counted != 0) {
            endedHere = true;
            endBelongs = endKept == 0;
            selectedEnded = walk.words[kWalkSelected] != 0;
            const bool wasInside = active != 0;
            walk.words[kWalkElementOpen] = 0;
            walk.words[kWalkSelected] = 0;
            walk.words[kWalkWaiting] = 0;
            if (selectedEnded) {
                switch (relation) {
                case kRelPlain:
                    step.in = wasInside && endBelongs;
                    step.after = false;
                    break;
                case kRelInside:
                    step.in = false;
                    step.after = false;
                    break;
                case kRelEnd:
                    step.in = wasInside && endBelongs;
                    step.after = false;
                    walk.words[kWalkDone] = 1;
                    break;
                case kRelAfter:
                case kRelOutside:
                    if (relation == kRelAfter && wasInside) break;
                    if (endBelongs) {
                        step.in = false;
                        step.after = false;
                        walk.words[kWalkEnterNext] = 1;
                    } else {
                        step.in = true;
                        step.after = true;
                    }
                    break;
                default:
                    break;
                }
            }
        }
    }

    const bool recordFree = !endedHere || !endBelongs;
    const bool matching = walk.words[kWalkDone] == 0 && !(relation == kRelAfter && step.after) &&
                          !(relation == kRelStart && step.after);
    if (walk.words[kWalkElementOpen] == 0 && recordFree && matching) {
        std::uint32_t single = 0;
        const std::uint32_t selected =
            MatchChunkStart(level, record, signature, length, previousSignature, &single, context);
        if (walk.words[kWalkCounted] != 0) {
            RecordCounters(level, context);
            if (single == 0) {
                walk.words[kWalkElementOpen] = 1;
                walk.words[kWalkSelected] = selected;
            }
            if (selected != 0) {
                const bool closedHere = endedHere && selectedEnded;
                switch (relation) {
                case kRelPlain:
                    step.restarted = closedHere;
                    step.in = true;
                    step.after = single == 0;
                    break;
                case kRelInside: {
                    if (single != 0) break;
                    const std::uint16_t own = signature == kSigBegin ? WordAt(record, length, 4) : signature;
                    if (IsMemberSignature(level->elementType, own)) {
                        walk.words[kWalkWaiting] = 1;
                    } else {
                        step.restarted = closedHere;
                        step.in = true;
                        step.after = true;
                    }
                    break;
                }
                case kRelStart:
                    step.in = true;
                    step.after = true;
                    break;
                case kRelBefore:
                    step.in = false;
                    step.after = false;
                    walk.words[kWalkDone] = 1;
                    break;
                case kRelOutside:
                    step.in = false;
                    step.after = false;
                    walk.words[kWalkEnterNext] = 0;
                    if (single != 0) walk.words[kWalkEnterNext] = 1;
                    break;
                case kRelEnd:
                    if (single != 0) {
                        step.after = false;
                        walk.words[kWalkDone] = 1;
                    }
                    break;
                case kRelAfter:
                    if (single != 0) walk.words[kWalkEnterNext] = 1;
                    break;
                default:
                    break;
                }
            }
        }
    } else if (relation == kRelInside && walk.words[kWalkWaiting] != 0 && !endedHere) {
        std::uint32_t single = 0;
        if (MatchChunkStart(level, record, signature, length, previousSignature, &single, context) != 0) {
            walk.words[kWalkWaiting] = 0;
            step.in = true;
            step.after = true;
        }
    }
    active = step.after ? 1 : 0;
    return step;
}

namespace {

// Whether a record inside the chunk goes to the executor inside the chunk:
// some element types leave out some of their records.
bool GivenToInsideExecutor(const ChunkDefInfo* innermost, std::uint16_t signature, const std::uint8_t* record,
                           std::uint32_t length) {
    if (innermost == nullptr) return true;
    switch (innermost->elementType) {
    case 10:
        return signature != kSigText;
    case 15:
        // Every record of the graphic (its image header and segments, its
        // alternate text, caption and attributes too), but not the graphic
        // record that starts the next one.
        return signature != kSigGraphic || innermost->walk.words[kWalkElementOpen] != 0;
    case 21:
    case 36:
        return signature != kSigParagraph && signature != kSigTableEnd && signature != kSigPreTableBegin &&
               signature != kSigTableBegin && signature != kSigNestedTableBegin && signature != kSigNestedTableEnd;
    default:
        return true;
    }
}

// A writing run first copies the records before the current one that no
// executor took, so that what an executor writes lands after them.
STATUS CopyPending(RecordProcessContext* context) {
    if (context->writesItem == 0 || context->pendingNode == nullptr) return kOK;
    return FlushPendingCopies(context, context->node);
}

// Step 5 for a record inside the chunk: the executor inside the chunk
// takes it, unless an executor took it already or the innermost level's
// element type leaves it out.
inline STATUS GiveToChunk(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          const ChunkDefInfo* innermost, RecordProcessContext* context) {
    if (context->recordHandled != 0 || !GivenToInsideExecutor(innermost, signature, record, length)) return kOK;
    context->recordHandled = 1;
    if (context->writesItem == 0) {
        // A run that only reads passes nothing on: the executor's step alone.
        std::uint32_t passOn = length;
        return RunInsideExecutor(record, signature, length, &passOn, OperationExecutors(context), context);
    }
    const STATUS status = CopyPending(context);
    return status == kOK ? ProcessChunkRecord(record, signature, length, context) : status;
}

STATUS CloseChunk(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context) {
    STATUS status = CopyPending(context);
    if (status == kOK) status = ProcessChunkEnd(record, signature, context);
    context->chunkOpen = 0;
    if (context->chunk->work != nullptr && context->chunk->work->singleTarget != 0) context->singleTargetDone = 1;
    return status;
}

// Step 4 and 5: matches the chain's levels on the record and calls the
// executors.
STATUS MatchAndExecute(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       std::uint16_t previousSignature, RecordProcessContext* context) {
    bool chunkIn = context->firstLevel != nullptr;
    bool chunkGoesOn = true;
    bool restarted = false;
    ChunkDefInfo* innermost = nullptr;
    context->matchedLevel = nullptr;
    context->nextLevel = context->firstLevel;
    for (ChunkDefInfo* level = context->firstLevel; level != nullptr; level = WalkNext(level)) {
        if (level->walk.words[kWalkArmed] == 0) ArmLevel(level);
        const LevelStep step = StepLevel(level, record, signature, length, previousSignature, context);
        if (step.restarted || !step.in) {
            // A new region, or none: the levels within start afresh.
            for (ChunkDefInfo* inner = WalkNext(level); inner != nullptr; inner = WalkNext(inner)) DisarmLevel(inner);
        }
        restarted = restarted || step.restarted;
        if (!step.in) {
            chunkIn = false;
            break;
        }
        innermost = level;
        context->matchedLevel = level;
        context->nextLevel = WalkNext(level);
        chunkGoesOn = chunkGoesOn && step.after;
    }

    STATUS status = kOK;
    if (context->chunkOpen != 0 && (!chunkIn || restarted)) {
        status = CloseChunk(record, signature, context);
        if (status != kOK || context->singleTargetDone != 0) return status;
    }
    if (!chunkIn) return kOK;
    if (context->chunkOpen == 0) {
        context->chunkOpen = 1;
        ++context->chunkStarts;
        status = CopyPending(context);
        if (status == kOK) status = ProcessChunkStart(record, signature, context->recordCounter, context);
        if (status != kOK) return status;
    }
    status = GiveToChunk(record, signature, length, innermost, context);
    if (status != kOK) return status;
    if (!chunkGoesOn) status = CloseChunk(record, signature, context);
    return status;
}

// The level of a chain that takes every record into its open chunk: one
// Everything level, armed and in its region, while the chunk is open. Its
// step would match nothing and change nothing, so the record goes straight
// to the executor. Null for any other chain or state.
ChunkDefInfo* OpenEverythingLevel(const RecordProcessContext* context) {
    ChunkDefInfo* level = context->firstLevel;
    if (context->chunkOpen == 0 || level == nullptr || level->relation != kRelEverything) return nullptr;
    const LevelWalkState& walk = level->walk;
    if (walk.words[kWalkArmed] == 0 || walk.words[kWalkActive] == 0 || walk.words[kWalkEnterNext] != 0 ||
        WalkNext(level) != nullptr)
        return nullptr;
    return level;
}

// A record inside the open chunk of an Everything level (what
// MatchAndExecute does for it, without the matching).
STATUS TakeIntoOpenChunk(ChunkDefInfo* level, std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         RecordProcessContext* context) {
    context->matchedLevel = level;
    context->nextLevel = nullptr;
    return GiveToChunk(record, signature, length, level, context);
}

} // namespace

namespace {

// ProcessRecord's work, made in place by the walk's loop.
[[gnu::always_inline]] inline STATUS ProcessInWalk(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                            RecordProcessContext* context) {
    context->recordCounter = context->recordCounter + 1;
    const std::uint16_t previousSignature = context->recordCounter == 1 ? 0 : context->previousSignature;
    context->recordHandled = 0;
    context->skipRecord = 0;

    KeepRunningState(record, signature, length, context);

    STATUS status = kOK;
    if (context->singleTargetDone == 0) {
        ChunkDefInfo* everything = OpenEverythingLevel(context);
        status = everything != nullptr ? TakeIntoOpenChunk(everything, record, signature, length, context)
                                       : MatchAndExecute(record, signature, length, previousSignature, context);
    }
    // A record an executor already wrote with an earlier one (a text run
    // read whole) counts as taken, also when the chunk ended before it.
    if (context->node != nullptr && context->node->index <= context->consumedThrough) context->recordHandled = 1;
    // A writing run copies the records no executor took.
    if (status == kOK && context->writesItem != 0 && context->recordHandled == 0 && context->pendingCopyIndex == 0) {
        context->pendingCopyIndex = context->recordCounter;
        context->pendingNode = context->node;
    }
    context->cellMarker = 0;
    return status;
}

} // namespace

STATUS ProcessRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     RecordProcessContext* context) {
    return ProcessInWalk(record, signature, length, context);
}

namespace {

// What the rest of a walk that ends early would still have done: the text
// template follows the last text run up to the end (or to a record of
// length 0, where a walk stops). A resumable run knows that run without
// walking the rest each time.
void FollowTextToTheEnd(const CDRecordNode* after, RecordProcessContext* context) {
    const CDRecordNode* last = nullptr;
    if (!LastTextRunAfter(context, after, &last)) {
        for (const CDRecordNode* node = after->next; node != nullptr && node->length != 0; node = node->next) {
            if (IsTemplateTextRun(node)) last = node;
        }
    }
    if (last == nullptr || context->chunk->item->work == nullptr) return;
    TakeTextTemplate(context->chunk->item->work->textTemplate, last->bytes);
}

// An existence query that resumes also ends once its outermost level can
// select nothing more (the row after a table's last, say): the rest of the
// records cannot hold a target.
bool ReadingDone(const RecordProcessContext* context) {
    if ((context->stopWhenDone & kStopAfterTarget) != 0 && context->singleTargetDone != 0) return true;
    if ((context->stopWhenDone & kStopWhenRead) != 0 && context->readDone != 0) return true;
    return (context->stopWhenDone & kStopAfterTarget) != 0 && context->resume != nullptr &&
           context->chunkOpen == 0 && context->firstLevel != nullptr && NothingLeftToSelect(context->firstLevel);
}

// The level of a run that only reads and whose every record goes straight
// into the open chunk of an Everything level, with nothing that could stop
// the walk early: no resuming, no early stop, no single target, and an
// element type that leaves out none of its records. Null otherwise.
ChunkDefInfo* ReadingIntoOpenChunk(const RecordProcessContext* context) {
    if (context->writesItem != 0 || context->resume != nullptr || context->stopWhenDone != 0 ||
        context->singleTargetDone != 0)
        return nullptr;
    ChunkDefInfo* level = OpenEverythingLevel(context);
    if (level == nullptr) return nullptr;
    switch (level->elementType) {
    case 10:
    case 15:
    case 21:
    case 36:
        return nullptr;
    default:
        return level;
    }
}

// The walk's table level as a record opens or closes a table, within the
// levels it tracks.
inline void EnterTableLevel(std::uint16_t signature, RecordProcessContext* context) {
    if ((signature == kSigTableBegin || signature == kSigNestedTableBegin) &&
        context->output.tableLevel < kWalkTableLevels) {
        context->output.tableLevel += 1;
    }
}
inline void LeaveTableLevel(std::uint16_t signature, RecordProcessContext* context) {
    if ((signature == kSigTableEnd || signature == kSigNestedTableEnd) && context->output.tableLevel > 0)
        context->output.tableLevel -= 1;
}

// The records of a stretch a range-only executor has started on, which it
// does not see, up to the walk's end: only the running state is kept (the
// last text run and paragraph reference noted for it), with the walk's
// counters and marks left as the last record leaves them. Returns that
// record.
CDRecordNode* PassUnseen(CDRecordNode* node, RecordProcessContext* context, const CDRecordNode** lastText,
                         const CDRecordNode** lastReference) {
    std::uint32_t counter = context->recordCounter;
    std::uint16_t previous = context->previousSignature;
    CDRecordNode* last = node;
    for (; node != nullptr && node->length != 0; node = node->next) {
        const std::uint16_t signature = node->signature;
        ++counter;
        if (signature == kSigText) {
            if (node->length >= 8) *lastText = node;
        } else if (signature == kSigPabReference) {
            if (context->tableNesting == 0 && node->length >= 4) *lastReference = node;
        } else if (signature == kSigParagraph) {
            // A paragraph's own record changes no running state: what the
            // other records leave below is what the stretch's end leaves.
        } else {
            EnterTableLevel(signature, context);
            context->node = node;
            context->recordCounter = counter;
            context->previousSignature = previous;
            KeepRunningState(node->bytes, signature, node->length, context);
            context->cellMarker = 0;
            LeaveTableLevel(signature, context);
        }
        previous = signature;
        last = node;
    }
    context->node = last;
    context->recordCounter = counter;
    context->skipRecord = 0;
    context->recordHandled = 1;
    context->cellMarker = 0;
    context->previousIndex = last->index;
    context->previousSignature = previous;
    return last;
}

// What the walk does for each record from `node` on while
// ReadingIntoOpenChunk holds, without asking again per record what cannot
// have changed: the running state, the table level, then the executor
// inside the chunk. Only an executor can end the stretch (a status, an early
// stop, the chunk closed); one that only notes the range, which cannot, sees
// the stretch's first and last records only. Returns the first record not
// walked: the walk's end, or the record after the one that ended the
// stretch.
CDRecordNode* WalkIntoOpenChunk(CDRecordNode* node, ChunkDefInfo* level, RecordProcessContext* context,
                                STATUS* status) {
    const OperationRow* row = OperationExecutors(context);
    const bool rangeOnly = row != nullptr && (row->facts & kNotesRangeOnly) != 0;
    context->matchedLevel = level;
    context->nextLevel = nullptr;
    bool shown = false;               // whether the executor has seen a record of the stretch
    CDRecordNode* unseen = nullptr;   // the last record walked, not yet shown to a range-only executor
    // What only the last text run and paragraph reference of the stretch
    // leave in the running state, taken from them when an executor may see
    // it, so that the walk needs no look at the other records' bytes (a
    // range-only executor sees few records).
    const CDRecordNode* lastText = nullptr;
    const CDRecordNode* lastReference = nullptr;
    auto settle = [&] {
        if (lastText != nullptr) TakeTextTemplateOf(lastText->bytes, context);
        if (lastReference != nullptr) std::memcpy(context->paragraphReference + 2, lastReference->bytes + 2, 2);
        lastText = lastReference = nullptr;
    };
    for (; node != nullptr && node->length != 0; node = node->next) {
        if (rangeOnly && shown && context->consumedThrough == 0) {
            // Nothing ends the stretch now: the executor sees its last
            // record only.
            node = PassUnseen(node, context, &lastText, &lastReference);
            unseen = node;
            continue;
        }
        context->node = node;
        const std::uint16_t signature = node->signature;
        EnterTableLevel(signature, context);
        context->recordCounter = context->recordCounter + 1;
        context->skipRecord = 0;
        if (rangeOnly && signature == kSigText) {
            if (node->length >= 8) lastText = node;
        } else if (rangeOnly && signature == kSigPabReference) {
            if (context->tableNesting == 0 && node->length >= 4) lastReference = node;
        } else {
            KeepRunningState(node->bytes, signature, node->length, context);
        }
        context->recordHandled = 1;
        settle();
        std::uint32_t passOn = node->length;
        *status = RunInsideExecutor(node->bytes, signature, node->length, &passOn, row, context);
        shown = true;
        unseen = nullptr;
        const bool ended = *status != kOK || context->stopWhenDone != 0 || context->chunkOpen == 0 ||
                           context->singleTargetDone != 0;
        context->cellMarker = 0;
        LeaveTableLevel(signature, context);
        context->previousIndex = node->index;
        context->previousSignature = signature;
        if (ended) return *status != kOK ? node : node->next;
    }
    settle();
    if (unseen != nullptr) {
        context->node = unseen;
        std::uint32_t passOn = unseen->length;
        *status = RunInsideExecutor(unseen->bytes, unseen->signature, unseen->length, &passOn, row, context);
    }
    return node;
}

} // namespace

STATUS WalkRecords(ItemRecordList* list, RecordProcessContext* context) {
    STATUS status = kOK;
    CDRecordNode* first = context->node != nullptr ? context->node : (list != nullptr ? list->head : nullptr);
    for (CDRecordNode* node = first; node != nullptr && node->length != 0; node = node->next) {
        if (ChunkDefInfo* level = ReadingIntoOpenChunk(context)) {
            node = WalkIntoOpenChunk(node, level, context, &status);
            if (status != kOK) break;
            if (ReadingDone(context)) {
                FollowTextToTheEnd(context->node, context);
                break;
            }
            if (node == nullptr || node->length == 0) break;
        }
        if (context->writesItem != 0 &&
            (node->length > kLongestWritableRecord || node->signature < kLowestWritableSignature)) {
            return kOperationFailed;
        }
        context->node = node;
        const std::uint16_t signature = node->signature;
        if (context->writesItem == 0) EnterTableLevel(signature, context);
        if (context->resume != nullptr) BeforeResumableRecord(context);
        status = ProcessInWalk(node->bytes, signature, node->length, context);
        if (context->resume != nullptr) AfterResumableRecord(context);
        if (context->writesItem == 0) LeaveTableLevel(signature, context);
        context->previousIndex = node->index;
        context->previousSignature = signature;
        if (status != kOK) break;
        if (ReadingDone(context)) {
            if (context->resume != nullptr) RememberWalkExit(context, node->next);
            FollowTextToTheEnd(node, context);
            break;
        }
    }
    return status;
}

} // namespace talix
