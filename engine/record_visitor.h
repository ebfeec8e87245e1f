// A reading operation whose executors are the caller's: every record of the
// chunk, its start and its end are handed to procedures that a reader above
// the engine supplies, so that it can collect what it needs in one walk
// over the item (the formula driver's table look-up reads every cell of a
// table this way). The operation changes nothing.
#pragma once

#include <cstdint>

#include "engine/operation_table.h"

namespace talix {

// The caller's procedures (any may be null) and their state, reached from
// the context of a run of kOpVisitRecords as its pointer. An inside procedure that returns 546
// ends the walk; any other status but 0 fails the run. A start or inside
// procedure that sets the run's readDone ends the walk after the record as
// a read that has all it needs: the records after it are not walked (the
// item's text template still follows them to the end), and a chunk left
// open ends at the end of the item (the end procedure gets an empty text
// run).
struct RecordVisitor {
    void* state = nullptr;
    StartExecutor start = nullptr;
    InsideExecutor inside = nullptr;
    EndExecutor end = nullptr;
};

// The visitor of a run of kOpVisitRecords.
RecordVisitor* RunVisitor(const RecordProcessContext* context);

} // namespace talix
