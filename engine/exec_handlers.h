// The operation handlers that the executor inside a chunk hands a record to,
// one family per file, and the existence test that navigation and the chunk
// methods share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"
#include "engine/operation_table.h"

class ZervaRTChunk;

namespace talix {

struct RecordProcessContext;

// The property and query codes (1, 2304, 2305). *passOn holds the record's
// length on entry and is the length it is passed on with: left as it is to
// keep the record, set to 0 to drop it. Returns 0, or 546 to end the walk.
STATUS PropertyCodeRecord(std::uint8_t* record, std::uint16_t signature, std::uint32_t* passOn,
                          RecordProcessContext* context);

// Runs the query operation (1) with a property code over the chunk's item:
// clears the session's found-record counters and the chunk's last status,
// runs the engine when the item is in its note (or being created), keeps a
// failure as the chunk's last status, updates the note when the item saves
// itself, and reports 1298 as 0. Returns 1 when the run found the chunk
// (the first-record counter is not 0), else 0.
int RunExistenceTest(ZervaRTChunk* chunk, std::uint16_t propertyCode);

// Operation 36 inside the chunk: the smallest left and largest right margin
// of its cells and paragraph definitions (engine/exec_table_properties.cpp).
STATUS MarginRangeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                         RecordProcessContext* context);

// The colour stripping of operations 2387/2388 inside a link being built
// round the chunk, for the family that registers those operations.
InsideExecutor StripTextColourExecutor();

// The key texts of a position list (operation 2 inside the chunk), for the
// family that registers operation 2 (engine/exec_rows.cpp).
STATUS PositionKeyTextInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                             std::uint32_t* passOn, RecordProcessContext* context);

// A new entry (first and last record at index, the rest cleared) at the end
// of the run's sort keys, the array that the position lists of operation 2
// use as well; it grows from the tracked pool. Returns 0 or 263
// (engine/exec_rows.cpp).
STATUS AddSortKey(RecordProcessContext* context, std::uint32_t index);

// Operation 2396 before the walk: the run takes the chunk's sort keys and
// sorts them by its argument text ("NUMERIC" compares numbers, "REVERSE"
// descends). Returns 0, or 1026 for fewer than two keys or none with a text
// (engine/exec_rows.cpp).
STATUS SortRowKeys(RecordProcessContext* context);

// Operation 2397 before the walk: the run takes the chunk's sort keys in the
// order they stand. Returns 0, or 1026 when the chunk holds no key (the rows
// would be dropped with nothing written in their place)
// (engine/exec_rows.cpp).
STATUS TakeRowKeys(RecordProcessContext* context);

// What operation 9 collects into a place of the run's own (context->pointer):
// the text of every run, whole, and with paragraphLineEnds a line end (a
// zero byte, as in the runs) for each paragraph begun between two runs. The
// paragraph records within a large paragraph start no paragraph of their
// own, as the generation reads them.
struct WholeText {
    std::string text;
    bool paragraphLineEnds = false;
    std::uint32_t pendingLineEnds = 0;   // paragraphs begun since the last run taken
    bool insideLargeParagraph = false;
};

// The end of a conversion appended to a chunk (operations 2352 and 2448): a
// failure leaves the conversion error word (20014) for the chunk, unless
// one is kept already, and the item counts as modified whatever the
// outcome. Returns status (engine/exec_imports.cpp).
STATUS FinishImport(RecordProcessContext* context, STATUS status);

// Property codes of the query.
constexpr std::uint16_t kQueryExists = 2315;
constexpr std::uint16_t kQueryFirstRecord = 2316;
constexpr std::uint16_t kQueryLastRecord = 2321;
constexpr std::uint16_t kQueryFinders = 2427;
// The engine's own: which occurrences of the innermost level hold a record
// given to the executor inside the chunk, every occurrence selected
// (context->pointer: an OccurrenceTally).
constexpr std::uint16_t kQueryTally = 0xFFF0;

// What a tally run finds: the occurrences seen, and for the highest one a
// count stops at, its first record and the text template after it.
struct OccurrenceTally {
    std::vector<bool> seen;            // by occurrence number
    std::uint32_t limit = 0;           // occurrences above this are not kept
    std::uint32_t firstAtLimit = 0;    // the first record given for occurrence `limit`
    std::uint8_t templateAtLimit[8] = {};
};

} // namespace talix
