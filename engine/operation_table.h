// The executors of each operation, by operation code: what it does at the
// chunk's first record, for each record inside the chunk, and after the
// chunk's last record. Every family of operations (queries, appends, text,
// tables, hotspots, graphics ...) lists its rows in a table of its own file;
// operation_table.cpp lists the engine's families. The families of the
// folders above the engine (the generation's, htmlgen/generation_operation.h,
// and the HTML import's, htmlimport/import_operation.h) are handed to each
// session by its set-up (core/layer_hooks.h), and a run finds them through
// its session.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/operation_codes.h"
#include "core/statuses.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {

struct ItemRecordList;
struct RecordProcessContext;

// At the chunk's first record (record counter of that record).
using StartExecutor = STATUS (*)(std::uint8_t* record, std::uint16_t signature, std::uint32_t recordCounter,
                                 RecordProcessContext* context);
// For each record inside the chunk. *passOn holds the record's length on
// entry and is the length it is passed on with: left as it is to keep the
// record, 0 to drop it (or because the executor appended its replacement).
// Returns 0, 546 to end the walk, or a failure.
using InsideExecutor = STATUS (*)(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                                  std::uint32_t* passOn, RecordProcessContext* context);
// After the chunk's last record (signature of the record that ends it).
using EndExecutor = STATUS (*)(std::uint8_t* record, std::uint16_t signature, RecordProcessContext* context);

// What a run does around its walk for the operations that need more than
// their executors (engine/run_steps.h); each step is optional.
struct RunSteps {
    // Runs in place of the whole run: the operation walks nothing.
    STATUS (*instead)(ZervaRTChunk* chunk) = nullptr;
    // Before the records are read: the operation's font, paragraph style or
    // other inputs. Returns 0, or the status that ends the run.
    STATUS (*prepare)(RecordProcessContext* context) = nullptr;
    // Once the records are read, before the walk.
    void (*beforeWalk)(ItemRecordList* list, RecordProcessContext* context) = nullptr;
    // After the walk and the chunk's end, before a writing run is finished;
    // gets and returns the run's status.
    STATUS (*afterWalk)(RecordProcessContext* context, STATUS status) = nullptr;
    // After the run is finished (a writing run committed or not); gets and
    // returns the run's status.
    STATUS (*afterRun)(RecordProcessContext* context, STATUS status) = nullptr;
    std::uint32_t flags = 0;   // kSteps... below
};

// Copied in from elsewhere, the records keep their cell margins.
constexpr std::uint32_t kStepsKeepMargins = 0x0001;
// The search text (the second argument, a3 bytes) counts wildcards only when
// it holds "*" or "?".
constexpr std::uint32_t kStepsWildcardSearch = 0x0002;

// What a run of an operation does beyond its executors (OperationRow::facts).
// A run of an operation with kRebuildsItem writes the item anew: it streams
// every record to a new list and commits it. Without it the run only reads.
constexpr std::uint32_t kRebuildsItem = 0x0001;
// The replacement text the run writes over each match of its search text is
// cut to the match's own length (never more than the argument holds).
constexpr std::uint32_t kReplacementCutToMatch = 0x0002;
// The run only marks text: a record it drops or replaces leaves the item
// unmodified.
constexpr std::uint32_t kMarksOnly = 0x0004;
// Text the run wrote before keeps its link mark when the run passes it on.
constexpr std::uint32_t kKeepsLinkMarks = 0x0008;
// The executor inside the chunk only notes the chunk's first and last
// records (the same for every record, and nothing else): of an unbroken
// stretch of records a run that only reads takes into its open chunk, the
// executor needs to see only the first and the last.
constexpr std::uint32_t kNotesRangeOnly = 0x0010;

struct OperationRow {
    std::uint16_t operation = 0;
    StartExecutor start = nullptr;
    InsideExecutor inside = nullptr;
    EndExecutor end = nullptr;
    const RunSteps* steps = nullptr;
    std::uint32_t facts = 0;          // kRebuildsItem ... above
    // The second word with which an operation that rebuilds the item only
    // reads it (0: none).
    std::uint16_t readsWith = 0;
};

// Whether a run of the row's operation with that second word rebuilds the
// item.
constexpr bool RunRebuildsItem(const OperationRow& row, std::uint16_t operation2) {
    return (row.facts & kRebuildsItem) != 0 && (row.readsWith == 0 || operation2 != row.readsWith);
}

struct OperationFamily {
    const OperationRow* rows = nullptr;
    std::size_t count = 0;
};

template <std::size_t N>
constexpr OperationFamily MakeFamily(const OperationRow (&rows)[N]) {
    return OperationFamily{rows, N};
}

// The families (one per file of executors).
extern const OperationFamily kQueryOperations;    // exec_start_end.cpp
extern const OperationFamily kAppendOperations;   // exec_append.cpp
extern const OperationFamily kInsideOperations;   // exec_inside.cpp
extern const OperationFamily kHotspotOperations;  // exec_hotspots.cpp
extern const OperationFamily kLinkOperations;     // exec_links.cpp
extern const OperationFamily kHotspotPropertyOperations; // exec_hotspot_properties.cpp
extern const OperationFamily kEventOperations;    // exec_events.cpp
extern const OperationFamily kRemovalOperations;  // exec_removals.cpp
extern const OperationFamily kParagraphOperations; // exec_paragraphs.cpp
extern const OperationFamily kTextPropertyOperations; // exec_text_properties.cpp
extern const OperationFamily kTextRunOperations;  // exec_text_runs.cpp
extern const OperationFamily kGraphicOperations;  // exec_graphics.cpp
extern const OperationFamily kTargetPropertyOperations; // exec_target_properties.cpp
extern const OperationFamily kTableOperations;   // exec_tables.cpp
extern const OperationFamily kTablePropertyOperations; // exec_table_properties.cpp
extern const OperationFamily kCopyOperations;    // exec_copy.cpp
extern const OperationFamily kRowOperations;     // exec_rows.cpp
extern const OperationFamily kMatchingOperations; // exec_matching.cpp
extern const OperationFamily kImportOperations;   // exec_imports.cpp
extern const OperationFamily kFileNameOperations; // exec_file_names.cpp
extern const OperationFamily kVisitorOperations;  // exec_visitor.cpp

// The row of an operation in the session: among the engine's families, then
// among those the session's set-up handed it; null when neither holds one.
// A run of an operation without a row is refused.
// Operation codes are named in core/operation_codes.h.
const OperationRow* FindOperation(const RARIvoSession* session, std::uint16_t operation);

} // namespace talix
