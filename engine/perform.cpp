// PerformChunkAction: one numbered operation run over the records of the
// item a chunk belongs to. It prepares the run's context (arguments, the
// operation's font and paragraph state, the chain's walk links), reads the
// item's records when none are held, walks them and finishes the run; a
// run that rebuilds the item builds a new record list and commits it
// (engine/commit.cpp).
//
// Operations that rebuild the item through executors not built yet are
// refused (1028) rather than run as if they had done their work.
#include <cstdlib>
#include <initializer_list>
#include <iterator>
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "core/chunk_definition.h"
#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/walkers.h"
#include "engine/chunk_match.h"
#include "engine/copy_source.h"
#include "engine/engine_hooks.h"
#include "engine/exec_handlers.h"
#include "engine/generation_state.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_lookups.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint16_t kItemBeingCreated = 2;

// Operations below 2351 that rebuild the item.
constexpr std::uint16_t kLowWritingOperations[] = {4,  6,  8,  10, 17, 19, 21, 23, 25, 30, 32, 34,
                                                   40, 42, 44, 48, 49, 54, 55, 68, 69, 71};
// Operations of 2351-2449 and 2801-2821 that do not.
constexpr std::uint16_t kReadingOperations[] = {2365, 2367, 2368, 2369, 2370, 2371, 2398, 2400, 2401,
                                                2402, 2403, 2407, 2408, 2414, 2418, 2419, 2420, 2421,
                                                2427, 2431, 2432, 2435, 2436, 2444, 2804, 2818};


bool InList(const std::uint16_t* list, std::size_t count, std::uint16_t value) {
    for (std::size_t i = 0; i < count; ++i) {
        if (list[i] == value) return true;
    }
    return false;
}

bool OperationWritesItem(std::uint16_t operation, std::uint16_t operation2) {
    if (operation < 2351) {
        return InList(kLowWritingOperations, std::size(kLowWritingOperations), operation);
    }
    const bool tabled = operation <= 2449 || (operation >= 2801 && operation <= 2821);
    if (!tabled) return false;
    if ((operation == 2386 && operation2 == 2804) || (operation == 2819 && operation2 == 2818)) return false;
    return !InList(kReadingOperations, std::size(kReadingOperations), operation);
}

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

// The ready-made records and the default paragraph definition.
void SetUpReadyRecords(RecordProcessContext* context) {
    context->paragraphRecord[0] = 0x81;
    context->paragraphRecord[1] = 2;
    context->paragraphReference[0] = 0x83;
    context->paragraphReference[1] = 4;
    WriteWord(context->paragraphReference + 2, 1);

    CDPABDEFEXT definition;
    definition.length = 72;
    definition.pabId = 1;
    definition.leftMargin = 1440;
    definition.rightMargin = 1440;
    definition.firstLineLeftMargin = 0;
    definition.tab[0] = 720;
    definition.flags = 1172;
    std::memcpy(context->paragraphDefinition, &definition, sizeof definition);
    context->paragraphDefinitionLength = 72;
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

const char* TextOr(const char* text, const char* fallback) {
    return text != nullptr && text[0] != '\0' ? text : fallback;
}

STATUS ParseFont(RecordProcessContext* context, const char* text, const char* base) {
    const STATUS status = ParseFontSpec(text != nullptr ? text : "", base, context->chunk->item, &context->font,
                                        base != nullptr ? &context->font2 : nullptr, &context->fontMask,
                                        base != nullptr ? &context->fontMask2 : nullptr);
    context->fontStatus = status;
    return status;
}

// Step 10 of preparing a run: the font and paragraph state per operation.
// Returns a status that ends the run, or 0.
STATUS PrepareOperationState(RecordProcessContext* context) {
    ZervaRTItem* item = context->chunk->item;
    const std::uint16_t operation = context->operation;
    switch (operation) {
    case 10:
    case 2354:
    case 2360:
    case 2361:
    case 2392:
    case 2395:
    case 2399: {
        const char* font = "";
        if ((operation == 10 || operation == 2361) && context->secondArgument != nullptr &&
            context->secondArgument[0] != '\0') {
            font = context->secondArgument;
        } else if (item->permanentPen != 0) {
            font = TextOr(item->permanentPenFont, "BLUE +BOLD");
        }
        // 2399 also restyles with the font specification of the chunk's second
        // event-return string, when it holds one.
        const char* second = context->chunk->eventReturn[1];
        ParseFont(context, font, operation == 2399 && second != nullptr && second[0] != '\0' ? second : nullptr);
        break;
    }
    case 2386:
    case 2816:
    case 2819:
        context->linkMatching = context->session->workArea->linkMatching;
        if (context->writesItem != 0) {
            const char* font = TextOr(item->highlightFont, "BLUE");
            if (context->pointer != nullptr) {
                font = TextOr(item->urlFont, "BLUE +UNDERLINE");
            } else if (context->operation2 == 2386 || context->operation2 == 2816 || context->operation2 == 2819) {
                font = TextOr(item->hyperlinkFont, "BLUE +UNDERLINE");
            }
            ParseFont(context, font, nullptr);
        }
        break;
    case 2372:
    case 2373:
        ParseFont(context, TextOr(item->highlightFont, "RED +BOLD"), nullptr);
        break;
    case 2423:
        ParseFont(context, TextOr(item->actionHotspotFont, "DARKGREEN +UNDERLINE"), nullptr);
        break;
    case 2355:
        context->appendRow = 1;
        break;
    case 2364:
    case 2417: {
        ParagraphStyleState& style = context->paragraph;
        // 2364: the second string names the fields a definition must agree
        // with to be changed.
        const bool criteria = operation == 2364;
        const STATUS status = item->ParseParagraphString(
            context->argumentText != nullptr ? context->argumentText : "",
            criteria ? context->secondArgument : nullptr, &style.definition[0], &style.definition[1],
            &style.flagsSet, &style.flagsClear, &style.flags2Set, &style.flags2Clear, &style.flags3Set,
            &style.flags3Clear, &style.listType[0], &style.listType[1], &style.listClear[0], &style.listClear[1],
            &style.shiftLeftOffset, &style.shiftRightOffset, &style.shiftLeftPercent, &style.shiftRightPercent,
            style.mask[0], style.mask[1]);
        style.status = status;
        if (status != kOK) return status;
        if (operation == 2417) ParseFont(context, context->secondArgument, nullptr);
        break;
    }
    case 2363:
        ParseFont(context, context->argumentText, context->secondArgument);
        break;
    case 2368:
        ParseFont(context, context->argumentText, nullptr);
        break;
    case 2404:
        ParseFont(context, context->secondArgument, nullptr);
        break;
    case 2419: {
        GenerationWalkState* generation = context->chunk->work->generation;
        const ChunkDefInfo* first = context->chunk->work->chain;
        if (generation != nullptr) {
            if (first != nullptr && (first->relation == kRelStart || first->relation == kRelPlain)) {
                generation->elementType = first->elementType;
            }
        }
        break;
    }
    default:
        break;
    }
    return kOK;
}

// Operation 2419: the item's paragraph definitions and its 166 records,
// collected for the generator.
void CollectForGeneration(ItemRecordList* list, RecordProcessContext* context) {
    GenerationWalkState* generation = context->chunk->work->generation;
    for (CDRecordNode* node = list->head; node != nullptr; node = node->next) {
        if (node->signature == kSigPabDefinition && context->definitionCount < kGenerationRecordSlots) {
            context->definitions[context->definitionCount++] = node;
        } else if (node->signature == kSigStyleName && context->record166Count < kGenerationRecordSlots) {
            context->records166[context->record166Count++] = node;
        }
    }
    if (generation == nullptr) return;
    generation->definitionCount = context->definitionCount;
    std::memcpy(generation->definitions, context->definitions, sizeof context->definitions);
    generation->record166Count = context->record166Count;
    std::memcpy(generation->records166, context->records166, sizeof context->records166);
}

void ReleaseSortKeys(RARIvoSession* session, SortKey* keys, std::uint32_t count) {
    if (keys == nullptr) return;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (keys[i].text != nullptr) ZervaDeallocate(session, keys[i].text);
    }
    ZervaDeallocate(session, keys);
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

} // namespace

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

    const bool writes = OperationWritesItem(operation, operation2);
    // Not yet available: runs that rebuild the item through executors that
    // are not built.
    if (writes && FindOperation(operation) == nullptr) return kArgumentError;
    // The prologue of the copying operations walks nothing.
    if (operation == 37) return FindCopyParagraphIdBase(chunk);

    auto* context = new (std::nothrow) RecordProcessContext();
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

    // New text starts in the default font; the process-wide client
    // preference follows the item.
    const std::uint8_t textRun[8] = {0x85, 0xFF, 8, 0, 1, 0, 0, 10};
    std::memcpy(item->work->textTemplate, textRun, sizeof textRun);
    g_clientPreference = item->work->clientPreference;

    SetWikiDelimiters(session, context);
    if (operation != 2356 && operation != 2357) context->output.forceMarginsMode = 1;
    FreePendingParagraphs(session->workArea);

    if ((operation == 2373 || operation == 2392 || operation == 2398 || operation == 2399) &&
        context->textWildcards != 0) {
        // The search text is the second argument, a3 bytes long (0: up to its end).
        const char* search = secondArgument != nullptr ? secondArgument : "";
        const std::size_t length = a3 > 0 ? strnlen(search, a3) : std::strlen(search);
        if (std::memchr(search, '*', length) == nullptr && std::memchr(search, '?', length) == nullptr)
            context->textWildcards = 0;
    }

    STATUS status = PrepareOperationState(context);
    // The row reorder sorts the chunk's keys first; without keys to sort
    // nothing is walked.
    if (status == kOK && operation == 2396) status = SortRowKeys(context);
    if (operation == 2419 && extraChain != nullptr && chunk->work->generation != nullptr) {
        chunk->work->generation->extraChain = 1;
    }

    if (status == kOK && writes) status = StartWritingRun(context);

    ItemRecordList* list = nullptr;
    bool temporaryList = false;
    if (status == kOK) {
        context->recordCounter = 0;
        list = RecordsToWalk(item, context->note, context->itemName, &status, &temporaryList);
        context->records = list;
    }
    if (status == kOK && list != nullptr) {
        if (operation == 2417 || operation == 2364 || operation == 25) {
            LoadPabDefinition(kAnyParagraphId, kLoadForward, context);
        }
        if (operation == 2419) CollectForGeneration(list, context);
        if (operation == 49) RemoveEmptyText(list, item);
        if (writes) {
            // New paragraph ids lie above every id the item uses.
            FindHighestPabID(context);
            if (context->highestParagraphId > context->output.highestParagraphId)
                context->output.highestParagraphId = context->highestParagraphId;
        }
        context->node = list->head;
        status = WalkRecords(list, context);
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
        std::uint8_t emptyText[8];
        std::memcpy(emptyText, item->work->textTemplate, sizeof emptyText);
        status = ProcessChunkEnd(emptyText, 0xFF85, context);
        context->chunkOpen = 0;
        if (status == kItemNotFound) status = kOK;
    }
    // 2366: the attachments that the file hotspots of the removed records
    // name go too (the record range the calling method's query found), once
    // the removal itself has worked.
    if (status == kOK && operation == 2366 && session->workArea->foundFirstRecord > 0) {
        context->removeFirst = session->workArea->foundFirstRecord;
        context->removeLast = session->workArea->foundLastRecord;
        status = RemoveChunkAttachments(chunk, context);
    }
    if (context->errorWord == 0) context->errorWord = context->output.errorWord;
    if (writes) {
        status = FinishWritingRun(context, status);
        // The clean-up of operation 49 changed the list before the walk. A
        // list the item does not keep uncommitted is read again from the
        // note by the next run, so that a failed run changes nothing.
        if (status != kOK && operation == 49 && !temporaryList && item->cacheRecords == 0 &&
            item->work->current != nullptr) {
            DeleteItemRecordList(session, item->work->current);
            item->work->current = nullptr;
        }
    }
    if (operation == 2419) {
        GenerationWalkState* generation = chunk->work->generation;
        if (status == kOK && generation != nullptr && generation->extraChain != 0) {
            status = g_generation.PrXMLStr != nullptr ? g_generation.PrXMLStr(generation, 0, 0, 2) : kHtmlTreeLost;
        }
    }

    // Position lists and sort keys stay with the chunk.
    if (operation == 2 || operation == 11) {
        ReleaseSortKeys(session, chunk->work->sortKeys, chunk->work->sortKeyCount);
        chunk->work->sortKeys = context->sortKeys;
        chunk->work->sortKeyCount = context->sortKeyCount;
        context->sortKeys = nullptr;
        context->sortKeyCount = 0;
    }
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
    delete context;
    if (temporaryList) {
        DeleteItemRecordList(session, list);
    }
    return status;
}

} // namespace talix
