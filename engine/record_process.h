// The operation engine: one numbered operation run over the record list of
// the item a chunk belongs to. PerformChunkAction prepares the run's
// context, walks the records through ProcessRecord, lets the chunk matcher
// decide where the chunk starts and ends, and hands records to the three
// executors (at chunk start, inside the chunk, at chunk end).
#pragma once

#include <bitset>
#include <cstdint>

#include "builders/build_context.h"
#include "core/operation_codes.h"
#include "core/record_list.h"
#include "core/sort_compare.h"
#include "core/statuses.h"
#include "engine/copy_source.h"
#include "engine/table_property_writers.h"
#include "engine/table_run_state.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {

struct ChunkDefInfo;
struct LinkMatchingCache;
struct WalkResume;
class ParagraphIndex;
class MatchingKeyIndex;

// The run's paragraph index of the records it walks, made on first use;
// null when memory is short.
ParagraphIndex* RunParagraphIndex(RecordProcessContext* context);

// RecordProcessContext::stopWhenDone.
constexpr std::uint32_t kStopAfterTarget = 1;
constexpr std::uint32_t kStopWhenRead = 2;

// The deepest BEGIN nesting the walk tracks.
constexpr int kBeginStackDepth = 50;
// The table nesting level the walk keeps stays below this.
constexpr std::int32_t kWalkTableLevels = 9;
// Paragraph definitions and 166 records collected for a generation.
constexpr int kGenerationRecordSlots = 255;

// The state of a table-cell search (FindTableCell): rows and columns are
// 1-based; the caller sets the first-cell index and the wanted cell.
struct CellSearch {
    std::uint32_t counter = 0;       // records seen
    std::uint32_t firstCell = 0;     // index of the table's first cell record
    std::uint16_t wantedRow = 0, wantedColumn = 0;
    std::uint16_t foundRow = 0, foundColumn = 0;
    std::uint16_t startRow = 0, startColumn = 0;
};

struct OperationRow;

// The state of one operation run. Allocated zero-filled by
// PerformChunkAction, owned by the run and freed at its end. The request
// and what the builders see of the run come first (builders/build_context.h);
// the rest is the walk's own state.
struct RecordProcessContext : BuildContext {
    std::uint32_t started = 0;               // 1 once the run is set up
    std::uint32_t spareUntouched = 0;        // kept by the session: its output tables are as new
    std::uint32_t appendRow = 0;             // operation 2355
    std::uint32_t emitDefinitionAgain = 0;

    // The walk's position.
    std::uint32_t recordCounter = 0;         // 1-based index of the current record
    std::uint32_t previousIndex = 0;
    std::uint16_t previousSignature = 0;

    // Sort keys (operation 11) or position entries (operation 2).
    std::uint32_t sortKeyCount = 0;
    std::uint32_t sortKeyCapacity = 0;
    SortKey* sortKeys = nullptr;
    std::uint16_t sortWord = 0;              // cleared before the walk

    // Operation 2366: the records to remove.
    std::uint32_t removeFirst = 0, removeLast = 0;

    // The walk's nesting counters.
    std::int32_t hotspotNesting = 0;
    // A pop-up, action, link or mouse-over hotspot (type 1, 2, 11 or 22), or
    // the action a link record starts, is open: the text inside is its label.
    std::uint32_t labelHotspotOpen = 0;
    std::int32_t layerNesting = 0;
    std::int32_t beginDepth = 0;             // 0 to 50
    std::uint16_t beginStack[kBeginStackDepth] = {}; // inner signatures of open BEGIN records
    std::int32_t tableNesting = 0;
    std::uint16_t region = 0;                // set and cleared by 0xFF68 records
    std::uint32_t inTablePrelude = 0;

    // The chunk's chain as this run walks it: the first level, the level
    // entered last and the level to be entered next (null when every level
    // is entered). Levels are followed through their walk links.
    ChunkDefInfo* firstLevel = nullptr;
    ChunkDefInfo* matchedLevel = nullptr;
    ChunkDefInfo* nextLevel = nullptr;
    std::uint32_t chunkOpen = 0;             // 1 from the chunk's first record to its end
    std::uint32_t chunkStarts = 0;           // the times the chunk opened in this run

    // A writing run: the index of the first record not yet passed to the
    // output, 0 when none is pending.
    std::uint32_t pendingCopyIndex = 0;

    // Set by the executors for the current record.
    std::uint32_t recordHandled = 0;
    std::uint32_t skipRecord = 0;
    std::uint32_t singleTargetDone = 0;
    // A run that only reads: set by an executor that can take nothing more
    // (get text at its cap); the walk then ends as after a single target.
    std::uint32_t readDone = 0;
    // Set by the run when nothing of the operation follows its walk: a walk
    // that only reads ends once its single target is done (kStopAfterTarget)
    // or, when the operation has nothing to do at a chunk's end, once
    // readDone is set (kStopWhenRead).
    std::uint32_t stopWhenDone = 0;

    // Wiki delimiters: "((" and "))" unless the options give four characters.
    char wikiOpen[3] = {};
    char wikiClose[3] = {};

    bool temporaryRecords = false;           // the list is the run's own (another note or item)
    ChunkDefInfo* extraChain = nullptr;      // walked behind the chunk's innermost level for this run
    CDRecordNode* pendingNode = nullptr;     // the node of the pending-copy index
    LinkMatchingCache* linkMatching = nullptr;
    WalkResume* resume = nullptr;            // an existence query that records where it finds a target
    // The paragraph definitions of the walked records by id, made on first
    // use and freed with the run (engine/paragraph_index.h).
    ParagraphIndex* paragraphIndex = nullptr;
    // The keys of the matching operation, read on first use and freed with
    // the run (engine/matching_key_index.h).
    MatchingKeyIndex* keyIndex = nullptr;

    // State the executors keep within one run.
    std::uint32_t chunkDone = 0;             // once-per-chunk operations are done
    std::uint32_t consumedThrough = 0;       // records up to this index are already written
    std::uint32_t cellMarker = 0;            // set by the walk at a cell, cleared per record
    // The executors of the operation (engine/operation_table.h), looked up
    // once per run; executorsFor is the operation + 1 they were found for.
    const OperationRow* executors = nullptr;
    std::uint32_t executorsFor = 0;
    std::uint32_t finalText = 0;             // the executors wrote the final empty text run
    std::uint32_t foundFlag = 0;             // operation 2405
    std::uint32_t endDone = 0;               // once-per-run end operations
    std::uint32_t replayIndex = 0;           // records to append again at chunk start
    std::uint32_t resultWords[4] = {};       // running values of the property codes

    // Paragraph changes (2364, 25): the definitions this run gave a new id,
    // by the id they had, so that every reference to one definition shares
    // its new copy; and the id of the definition that carries the hide
    // formula of operation 25 (0 until one is written).
    std::uint16_t renamedParagraphCount = 0;
    std::uint16_t renamedFrom[kPendingParagraphCapacity] = {};
    std::uint16_t renamedTo[kPendingParagraphCapacity] = {};
    std::uint16_t hideCarrierId = 0;
    // Removals (2389, 2390, 2391, 2430): the removal marks of the walked list
    // are cleared once a run, before the first record is looked at.
    std::uint32_t removalMarksCleared = 0;
    // Remove (2366): the paragraph-definition ids the output holds, as far
    // as it has been looked through (every node up to and including
    // definitionsThrough, which is never the output's last node: a pending
    // definition the gate puts back goes in before that one).
    std::bitset<65536> definitionsWritten;
    CDRecordNode* definitionsThrough = nullptr;
    CellSearch cellSearch;
    std::uint32_t attachmentWalkCounter = 0; // records seen by the attachment removal
    std::uint32_t bracketReopen = 0;         // operation 48: reopen the pass-through bracket after the chunk
    std::uint32_t bracketPending = 0;        // operation 48: open the bracket after the paragraph's own records
    std::uint32_t bracketFirstIndex = 0;     // operation 48: index of the chunk's first record
    std::uint16_t bracketCell = 0;           // operation 48: a row's cell record, where its bracket closes and opens again

    // Operation 2419: records collected for the generator.
    std::uint16_t definitionCount = 0;
    CDRecordNode* definitions[kGenerationRecordSlots] = {};
    std::uint16_t record166Count = 0;
    CDRecordNode* records166[kGenerationRecordSlots] = {};

    // Graphics and target properties: the record kinds operation 2437 has
    // changed or added (bits), the graphic whose image operation 68 moves
    // into an attachment with its last image record, and the writers' done
    // flags of operation 2436 (engine/exec_target_properties.cpp).
    std::uint32_t targetDone = 0;
    CDRecordNode* storageGraphic = nullptr;
    CDRecordNode* storageLast = nullptr;
    PropertyWriterState writerState;

    // Hotspot, link and field operations: the current element already has a
    // frame target (44); the next field record gets the web editor (71); the
    // text brackets the link round a chunk opened or closed by dropping
    // their BEGIN or END, whose other half lies outside the chunk (2387,
    // 2388); a field whose event code is
    // rewritten is open (2416), with the inner signature of the wrapper
    // written for it (0 when its own wrapper lies outside the chunk and
    // stays).
    std::uint32_t frameTargetSeen = 0;
    std::uint32_t webEditorField = 0;
    std::uint32_t openTextBrackets = 0;
    std::uint32_t closedTextBrackets = 0;
    std::uint32_t eventFieldOpen = 0;
    std::uint16_t eventFieldWrapper = 0;

    // Table operations (engine/exec_tables.cpp).
    TableRunState table;

    // Copying from elsewhere (engine/copy_source.h): the inputs of the next
    // copy and, while one runs, its working state; the row operations' state.
    CopyInputs copyInputs;
    CopyWork* copyWork = nullptr;
    RowRunState rows;
};

// The inner signature of the innermost open BEGIN record, or 0.
inline std::uint16_t InnermostBegin(const RecordProcessContext* context) {
    return context->beginDepth > 0 ? context->beginStack[context->beginDepth - 1] : 0;
}

// Runs one operation over the records of the chunk's item. note and
// itemName name the item (the item's own when 0 and null). extraChain,
// when given, is walked behind the chunk's innermost level for this run
// only. Returns 0 (a walk that ends with 546 is a normal end), 1028 for a
// null chunk or an operation this engine cannot run, 1026 for a row
// reorder without usable sort keys, 257 for damaged stored records, or the
// status of an executor. The chunk's last status becomes 1298 after a run
// that does not write, unless the run failed.
STATUS PerformChunkAction(ZervaRTChunk* chunk, plat::NOTEHANDLE note, const char* itemName,
                          std::uint16_t operation, std::uint16_t operation2, std::uint16_t a3,
                          std::uint16_t a4, std::uint16_t a5, const char* argumentText,
                          const char* secondArgument, void* pointer, ChunkDefInfo* extraChain,
                          ZervaRTChunk* sourceChunk);

// Walks the run's record list from its current node (context->node, or the
// list's first node when none is set) to its end (or to a node of length 0). Returns the status that ended the walk
// (546 is returned as it is: the caller turns it into 0).
STATUS WalkRecords(ItemRecordList* list, RecordProcessContext* context);

// One record of the walk: counts it, keeps the nesting counters, matches
// the chain's levels and calls the executors. Returns 0 or the status that
// ends the walk. The record's bytes are its node's, for most records read
// from an item a view into the stored value: they are read only. An
// executor that changes a record in place takes its writable bytes with
// EditRecordBytes(context->records, context->node) (core/record_list.h).
STATUS ProcessRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     RecordProcessContext* context);

// The executors, dispatched by the context's operation code.
// At the chunk's first record (recordCounter: its index).
STATUS ProcessChunkStart(std::uint8_t* record, std::uint16_t signature, std::uint32_t recordCounter,
                         RecordProcessContext* context);
// For every record inside the chunk (context->node is the record's node).
STATUS ProcessChunkRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          RecordProcessContext* context);
// After the chunk's last record, or at the end of the item with an empty
// text run.
STATUS ProcessChunkEnd(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context);

} // namespace talix
