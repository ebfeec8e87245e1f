// Moving between the targets of a chunk, and on to the next table's,
// without walking from the first record each time. An existence query on a
// chunk whose innermost level is plain remembers, for each target it finds,
// the walk's state just before the record that opened the target (a resume
// point). A later existence query on the same records with the same levels,
// whose innermost occurrence list selects nothing the walk counted before
// such a point, starts there: the walk from the first record would have
// reached that point in that state, since nothing before it was selected
// either way. Where a query stops because its outermost level can select
// nothing more (the row after a table's last), the item keeps the walk's
// state (an exit), and a query of any chunk whose outermost level selects
// none of the elements counted by then starts there (RememberWalkExit).
//
// The points belong to the chunk (core/chunk_work_state.h: walkResume), the
// exits to the item (core/item_work_state.h: walkMemo); both name the
// record list they were taken on (its serial and its count of changes), so
// a changed or other list is never resumed.
#pragma once

#include <cstdint>

#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"

class ZervaRTChunk;

namespace talix {

struct ItemRecordList;
struct RecordProcessContext;
struct WalkResume;

// Before the walk of a run: when the run is an existence query that can
// resume, sets the context's start node and walk state from the best point
// (if any) and makes the run record a point for the target it finds. Does
// nothing for any other run.
void PrepareResume(ZervaRTChunk* chunk, ItemRecordList* list, RecordProcessContext* context);

// Called by the walk when a run with a resume state ends because its
// outermost level can select nothing more, next being the record it would
// have walked next: when the run never opened its chunk, the item keeps
// where it stood, and a later existence query of any of its chunks whose
// outermost level differs only in selecting none of the elements counted
// by then (the next table's first row, say) starts there.
void RememberWalkExit(RecordProcessContext* context, CDRecordNode* next);

// Called by the walk around each record while the context has a resume
// state (context->resume).
void BeforeResumableRecord(RecordProcessContext* context);
void AfterResumableRecord(RecordProcessContext* context);

// The last text run with a whole header after `after` (the record the
// walk is at) up to the end of the records or to a record of length 0,
// from the run's resume state: the first such question on a list walks it
// once and keeps the answer for each stretch between records of length 0.
// False when the run has no resume state (the caller walks the rest).
bool LastTextRunAfter(const RecordProcessContext* context, const CDRecordNode* after, const CDRecordNode** last);

// A text run whose header the text template can take.
inline bool IsTemplateTextRun(const CDRecordNode* node) { return node->signature == kSigText
                                                         && node->length >= kTextRunHeader; }

// Frees a chunk's points; null-safe.
void FreeWalkResume(void* resume);

} // namespace talix
