// PerformChunkAction: one numbered operation run over the records of the
// item a chunk belongs to. It prepares the run's context (arguments, the
// operation's font and paragraph state, the chain's walk links), reads the
// item's records when none are held, walks them and finishes the run; a
// run that rebuilds the item builds a new record list and commits it
// (engine/commit.cpp).
//
// An operation without a row in the operation table (its executors not
// built) is refused (1028) rather than run as if it had done its work.
#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <type_traits>
#include <iterator>
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/layer_hooks.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/thread_state.h"
#include "core/walkers.h"
#include "engine/chunk_match.h"
#include "engine/copy_source.h"
#include "engine/exec_handlers.h"
#include "engine/generation_state.h"
#include "engine/operation_table.h"
#include "engine/paragraph_index.h"
#include "engine/matching_key_index.h"
#include "engine/record_process.h"
#include "engine/run_lookups.h"
#include "engine/run_steps.h"
#include "engine/walk_resume.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint16_t kItemBeingCreated = 2;

// Clears the walk state of every level and links the chain (and the extra
// chain behind its innermost level) through the walk links.
ChunkDefInfo* LinkWalk(ChunkDefInfo* chain, ChunkDefInfo* extra) {
    ChunkDefInfo* previous = nullptr;
    ChunkDefInfo* first = chain != nullptr ? chain : extra;
    for (ChunkDefInfo* part : {chain, extra}) {
        for (ChunkDefInfo* level = part; level != nullptr; level = level->next) {
            level->walk = LevelWalkState{};
            level->walk.pointers[kWalkPrevious] = previous;
            if (previous != nullptr) previous->walk.pointers[kWalkNext] = level;
            previous = level;
        }
    }
    return first;
}

// The ready-made records and the paragraph definition the run holds until
// its walk meets one.
void SetUpReadyRecords(RecordProcessContext* context) {
    WriteParagraphRecord(context->paragraphRecord);
    WriteParagraphReference(context->paragraphReference, 1);
    const CDPABDEFEXT definition = RunParagraphDefinition();
    std::memcpy(context->paragraphDefinition, &definition, sizeof definition);
    context->paragraphDefinitionLength = definition.length;
}

// "WikiDelimiters=" of the running operation's options: four characters
// give the opening and closing pairs; anything else the default ones.
void SetWikiDelimiters(RARIvoSession* session, RecordProcessContext* context) {
    char* value = session->optionValue + kScratchSize;
    value[0] = '\0';
    const char* options = session->workArea->runningOptions;
    if (options != nullptr && GetOptionValue(options, "WikiDelimiters=", value, kScratchSize) != 0 &&
        std::strlen(value) == 4) {
        std::memcpy(context->wikiOpen, value, 2);
        std::memcpy(context->wikiClose, value + 2, 2);
    } else {
        std::memcpy(context->wikiOpen, "((", 2);
        std::memcpy(context->wikiClose, "))", 2);
    }
    context->wikiOpen[2] = '\0';
    context->wikiClose[2] = '\0';
}

// ---- The run's context ------------------------------------------------------

const RecordProcessContext& PristineContext() {
    static const RecordProcessContext pristine{};
    return pristine;
}

void DeleteRunContext(void* context) { delete static_cast<RecordProcessContext*>(context); }

// Whether a run's context comes back with its record output's large tables
// as they started: nothing passed the append gate's segment check, before
// which the gate writes none of them, and no HTML import set its templates.
bool OutputTablesUntouched(const RecordProcessContext* context) {
    const RecordOutput& output = context->output;
    for (std::uint32_t set : output.importParagraphTemplateSet)
        if (set != 0) return false;
    return context->writesItem == 0 && output.segmentStart == nullptr && output.collector.owner == nullptr;
}

// Makes a used context as new: the bytes of a new one are copied over it,
// all of them, or (untouched) all but the record output's large tables.
void ResetRunContext(RecordProcessContext* context, bool untouched) {
    static_assert(std::is_trivially_copyable_v<RecordProcessContext>);
    const RecordProcessContext& pristine = PristineContext();
    if (!untouched) {
        std::memcpy(static_cast<void*>(context), &pristine, sizeof pristine);
        return;
    }
    auto* to = reinterpret_cast<unsigned char*>(context);
    const auto* from = reinterpret_cast<const unsigned char*>(&pristine);
    auto offset = [&](const void* field) {
        return static_cast<std::size_t>(static_cast<const unsigned char*>(field) - to);
    };
    struct Skip {
        std::size_t begin, end;
    };
    Skip skips[] = {
        {offset(context->output.columnSlots), offset(context->output.columnSlots) + sizeof context->output.columnSlots},
        {offset(context->output.savedParagraph),
         offset(context->output.savedParagraph) + sizeof context->output.savedParagraph},
        {offset(context->output.importParagraphTemplates),
         offset(context->output.importParagraphTemplates) + sizeof context->output.importParagraphTemplates},
    };
    std::sort(std::begin(skips), std::end(skips), [](const Skip& a, const Skip& b) { return a.begin < b.begin; });
    std::size_t at = 0;
    for (const Skip& skip : skips) {
        std::memcpy(to + at, from + at, skip.begin - at);
        at = skip.end;
    }
    std::memcpy(to + at, from + at, sizeof pristine - at);
}

// The session's spare context when it has one (a run within a run gets a
// new one), made as new.
RecordProcessContext* TakeRunContext(RARIvoSession* session) {
    SessionWorkArea* area = session->workArea;
    auto* context = static_cast<RecordProcessContext*>(area->spareRunContext);
    if (context == nullptr) return new (std::nothrow) RecordProcessContext();
    area->spareRunContext = nullptr;
    ResetRunContext(context, context->spareUntouched != 0);
    return context;
}

// Keeps the context for the session's next run, or frees it.
void GiveBackRunContext(RARIvoSession* session, RecordProcessContext* context) {
    SessionWorkArea* area = session->workArea;
    if (area->spareRunContext != nullptr) {
        delete context;
        return;
    }
    context->spareUntouched = OutputTablesUntouched(context) ? 1 : 0;
    area->spareRunContext = context;
    area->freeRunContext = DeleteRunContext;
}

// The records to walk: the item's own list, read when it holds none (an
// item being created may have none yet: null with status 0). Records of
// another note or item name are read into a list of the run's own
// (*temporary set), freed after the run, so that the item's list only ever
// holds its own records.
ItemRecordList* RecordsToWalk(ZervaRTItem* item, plat::NOTEHANDLE note, const char* itemName, STATUS* status,
                              bool* temporary) {
    *status = kOK;
    *temporary = false;
    ItemWorkState* work = item->work;
    const bool ownItem = (note == 0 || note == item->noteHandle) &&
                         (itemName == nullptr || (item->itemName != nullptr && std::strcmp(itemName, item->itemName) == 0));
    if (ownItem && (work->current != nullptr || work->mode == kItemBeingCreated)) return work->current;
    ItemRecordList* list = ownItem ? SIAR(item, 0, nullptr, 1, 0, 0, nullptr, status)
                                   : SIAR(item, 0, nullptr, 1, 0, note, itemName, status);
    if (list == nullptr) return nullptr;
    if (*status != kOK) {
        // Damaged stored records: nothing is walked, and no half-read list
        // is kept.
        DeleteItemRecordList(item->session, list);
        return nullptr;
    }
    if (ownItem) {
        work->current = list;
    } else {
        *temporary = true;
    }
    return list;
}

// The run's work between its context and its finish: the operation's
// preparation, the writing run's start, the records read when none are held
// (*list, *temporary: a list of the run's own, freed after it), the walk,
// the records after the last one taken, the end of a chunk left open and
// the step after the walk. Returns the run's status.
STATUS WalkTheRecords(ZervaRTChunk* chunk, const OperationRow* row, const RunSteps& steps, bool writes,
                      RecordProcessContext* context, ItemRecordList** list, bool* temporary, bool* blankBody) {
    ZervaRTItem* item = chunk->item;
    STATUS status = steps.prepare != nullptr ? steps.prepare(context) : kOK;

    if (status == kOK && writes) status = StartWritingRun(context);

    if (status == kOK) {
        context->recordCounter = 0;
        *list = RecordsToWalk(item, context->note, context->itemName, &status, temporary);
        // An item whose stored value holds no records (only its data-type
        // word) gives a walk nothing at which a chunk could start: a writing
        // run works on the records of a blank item instead, so that what it
        // adds is not lost. They stay only when the run succeeds.
        if (status == kOK && writes && *list != nullptr && (*list)->head == nullptr && !*temporary) {
            *blankBody = true;
            status = ReadBlankBody(item, 1, *list);
        }
        context->records = *list;
        context->temporaryRecords = *temporary;
    }
    if (status == kOK && *list != nullptr) {
        if (steps.beforeWalk != nullptr) steps.beforeWalk(*list, context);
        if (writes) {
            // New paragraph ids lie above every id the item uses.
            FindHighestPabID(context);
            if (context->highestParagraphId > context->output.highestParagraphId)
                context->output.highestParagraphId = context->highestParagraphId;
        }
        context->node = (*list)->head;
        // A walk that only reads ends once it has what it reads, when
        // nothing of the operation comes after the walk.
        if (!writes && steps.afterWalk == nullptr && steps.afterRun == nullptr) {
            context->stopWhenDone = kStopAfterTarget;
            if (row->end == nullptr) context->stopWhenDone |= kStopWhenRead;
        }
        PrepareResume(chunk, *list, context);
        status = WalkRecords(*list, context);
        // A writing run whose walk an executor ended early still copies
        // the records it did not reach.
        if (writes && status == kItemNotFound && context->pendingNode == nullptr && context->node != nullptr)
            context->pendingNode = context->node->next;
    }

    if (status == kItemNotFound) status = kOK;
    // The records after the last one an executor took are copied as they are.
    if (status == kOK && writes) status = FlushPendingCopies(context, nullptr);
    if (status == kOK && context->chunkOpen != 0) {
        // The item ended inside the chunk.
        std::uint8_t emptyText[kTextRunHeader];
        std::memcpy(emptyText, item->work->textTemplate, sizeof emptyText);
        status = ProcessChunkEnd(emptyText, kSigText, context);
        context->chunkOpen = 0;
        if (status == kItemNotFound) status = kOK;
    }
    if (steps.afterWalk != nullptr) status = steps.afterWalk(context, status);
    return status;
}

// Forgets where the chunk's existence queries resume: a run that failed
// half-way may have left it half made.
void DropWalkResume(ZervaRTChunk* chunk) {
    ChunkWorkState* work = chunk->work;
    if (work->walkResume != nullptr && work->freeWalkResume != nullptr) work->freeWalkResume(work->walkResume);
    work->walkResume = nullptr;
}

} // namespace

ParagraphIndex* RunParagraphIndex(RecordProcessContext* context) {
    if (context->paragraphIndex == nullptr) context->paragraphIndex = new (std::nothrow) ParagraphIndex(context->records);
    return context->paragraphIndex;
}

STATUS PerformChunkAction(ZervaRTChunk* chunk, plat::NOTEHANDLE note, const char* itemName, std::uint16_t operation,
                          std::uint16_t operation2, std::uint16_t a3, std::uint16_t a4, std::uint16_t a5,
                          const char* argumentText, const char* secondArgument, void* pointer,
                          ChunkDefInfo* extraChain, ZervaRTChunk* sourceChunk) {
    if (chunk == nullptr || chunk->work == nullptr || chunk->item == nullptr || chunk->item->work == nullptr ||
        chunk->session == nullptr || !chunk->session->IsUsable()) {
        return kArgumentError;
    }
    ZervaRTItem* item = chunk->item;
    RARIvoSession* session = chunk->session;
    chunk->errorWord = 0;

    // An operation whose executors are not built is refused rather than run
    // as if it had done its work: in a session without the operation table
    // its set-up hands over, as not available; else as an unknown operation.
    const OperationRow* row = FindOperation(session, operation);
    if (row == nullptr) return TablesOf(session).operations == nullptr ? kNotAvailable : kArgumentError;
    const bool writes = RunRebuildsItem(*row, operation2);
    // What the run does around its walk beside the executors.
    static const RunSteps kNoSteps;
    const RunSteps& steps = row->steps != nullptr ? *row->steps : kNoSteps;
    if (steps.instead != nullptr) return steps.instead(chunk);

    RecordProcessContext* context = TakeRunContext(session);
    if (context == nullptr) return kOutOfMemory;

    context->firstLevel = LinkWalk(chunk->work->chain, extraChain);
    context->nextLevel = context->firstLevel;
    context->session = session;
    context->output.session = session;
    context->output.item = item;
    context->started = 1;
    context->note = note != 0 ? note : item->noteHandle;
    context->itemName = itemName != nullptr ? itemName : item->itemName;
    SetUpReadyRecords(context);
    context->operation = operation;
    context->operation2 = operation2;
    context->a3 = a3;
    context->a4 = a4;
    context->a5 = a5;
    context->argumentText = argumentText;
    context->secondArgument = secondArgument;
    context->pointer = pointer;
    context->chunk = chunk;
    context->sourceChunk = sourceChunk;
    context->textWildcards = chunk->textWildcards;
    context->setImpliedProperties = chunk->setImpliedProperties;
    context->writesItem = writes ? 1 : 0;
    context->replacementCutToMatch = (row->facts & kReplacementCutToMatch) != 0 ? 1 : 0;
    context->extraChain = extraChain;
    context->appendImageResourceInline = AppendImageResourceInline;

    // New text starts in the default font; the thread's client preference
    // follows the item.
    WriteTextRunHeader(item->work->textTemplate, kSigText, kTextRunHeader, kDefaultTextFont);
    ThisThread().clientPreference = item->work->clientPreference;

    SetWikiDelimiters(session, context);
    if ((steps.flags & kStepsKeepMargins) == 0) context->output.forceMarginsMode = 1;
    FreePendingParagraphs(session->workArea);

    if ((steps.flags & kStepsWildcardSearch) != 0 && context->textWildcards != 0) {
        // The search text is the second argument, a3 bytes long (0: up to its end).
        const char* search = secondArgument != nullptr ? secondArgument : "";
        const std::size_t length = a3 > 0 ? strnlen(search, a3) : std::strlen(search);
        if (std::memchr(search, '*', length) == nullptr && std::memchr(search, '?', length) == nullptr)
            context->textWildcards = 0;
    }

    ItemRecordList* list = nullptr;
    bool temporaryList = false;
    bool blankBody = false;
    STATUS status = kOK;
    bool memoryRanOut = false;
    try {
        status = WalkTheRecords(chunk, row, steps, writes, context, &list, &temporaryList, &blankBody);
    } catch (const std::bad_alloc&) {
        // Memory ran out inside the run: it fails as a whole, and a writing
        // run's output is discarded below, so the item stays as it was.
        status = kOutOfMemory;
        memoryRanOut = true;
        context->chunkOpen = 0;
        DropWalkResume(chunk);
    }
    if (context->errorWord == 0) context->errorWord = context->output.errorWord;
    if (writes) status = FinishWritingRun(context, status);
    if (memoryRanOut && writes && !temporaryList && item->cacheRecords == 0 && item->work->current != nullptr) {
        // The records the run was given may be half changed: the next run
        // reads them again from the note.
        DeleteItemRecordList(session, item->work->current);
        item->work->current = nullptr;
    }
    if (steps.afterRun != nullptr) status = steps.afterRun(context, status);
    if (!writes && (status == kOK || chunk->lastStatus == 0)) chunk->lastStatus = kOperationComplete;
    if (context->errorWord != 0) chunk->errorWord = context->errorWord;

    FreePendingParagraphs(session->workArea);
    ReleaseSortKeys(session, context->sortKeys, context->sortKeyCount);
    // The levels' walk links point into this run only.
    for (ChunkDefInfo* level = context->firstLevel; level != nullptr;) {
        ChunkDefInfo* next = WalkNext(level);
        level->walk.pointers[kWalkNext] = nullptr;
        level->walk.pointers[kWalkPrevious] = nullptr;
        level = next;
    }
    delete context->paragraphIndex;
    context->paragraphIndex = nullptr;
    delete context->keyIndex;
    context->keyIndex = nullptr;
    GiveBackRunContext(session, context);
    if (temporaryList) {
        DeleteItemRecordList(session, list);
    }
    if (blankBody && status != kOK && item->work->current == list) {
        // The item is read again, as it is stored, by the next run.
        DeleteItemRecordList(session, list);
        item->work->current = nullptr;
    }
    return status;
}

} // namespace talix
