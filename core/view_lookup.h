// Turning a view and key, or a selection formula, into the set of matching
// notes of a database; keeping the design collection up to date.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/formula.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// The most note ids the note-id array holds.
constexpr std::uint16_t kNoteIdArrayCapacity = 16350;

// True for a selection formula: a text that begins with "SELECT " (ignoring
// case) and holds '@' or '='; any other text names a view.
bool IsSelectionFormula(const char* text);

// Finds the notes of a database that a view and key, or a selection
// formula, select, into a new id table (*idTable; the caller frees it).
//
// A text that begins with "SELECT " (ignoring case) and holds '@' or '=' is
// a selection formula: every document it selects goes into the table (the
// key is not used). Any other text names a view: with a non-empty key the
// documents under the entries whose key column equals the key, otherwise
// every document of the view (category entries are left out). The view's
// collection is kept in the session for the next search of the same view of
// the same database with a key.
//
// With copyIds set the ids are also copied, in table or view order, into the
// note-id array of the calling thread (at most kNoteIdArrayCapacity; the
// table gets them all), read with NoteIdArray.
//
// Returns 0 (a key that matches nothing gives an empty table), or the
// failure, with *idTable 0 and a message in the session's text result that
// is also shown through the host's message procedure: a formula that does
// not compile, a search that fails, a view that is missing.
STATUS FindNotesByViewOrFormula(RARIvoSession* session, plat::DBHANDLE db, const char* viewOrFormula,
                                const char* key, plat::DHANDLE* idTable, int copyIds);

// Closes the view collection the last view search kept open in the session
// (nothing when none is open).
void CloseViewSearch(RARIvoSession* session);

// The selection search's per-note step: puts the id of a matching note into
// the id table.
STATUS CollectNoteIDCallback(plat::DHANDLE idTable, const plat::SearchMatch& match);

// The note-id array filled by the calling thread's last search with copyIds
// (the process-wide array of one call at a time, one per thread), and its
// count; null (count 0) when there is none.
const plat::NOTEID* NoteIdArray(std::uint16_t* count);
// Frees the note-id array (its reader does this when done).
void FreeNoteIdArray();

// Brings the database's design collection up to date after a design note
// was created or saved; failures are ignored.
void RefreshDesignCollection(plat::DBHANDLE db);

} // namespace talix
