// Controls of the stand-in that only its tests use. The header is not
// installed, and the installed library does not export them
// (platform/CMakeLists.txt).
#pragma once

#include "talix_platform/types.h"

namespace plat {

// Makes the next NoteUpdate fail after it has written afterItems items of a
// note (a crash between two items); -1 turns the fault off. The failed update
// leaves the stored note as it was.
TPLAT_API void TestFailUpdateAfterItems(int afterItems);

// notes.ini "TestKillAtNoteWrite=N" (N > 0) ends the process at once, as a
// kill does, in the middle of the N-th note write the process makes.

// Counts of the recorded no-op calls.
TPLAT_API DWORD TestDesignUpdateCalls();
TPLAT_API DWORD TestProfileCalls();
// The number of stored notes opened (by note id or universal id) since the
// process started; a test takes the difference over what it runs.
TPLAT_API DWORD TestNotesOpened();

// While on, BlockKeep hands out a copy of the value in read-only pages, so
// that code writing into bytes it views in a stored value ends the process
// at once instead of changing the note. The test programs turn it on.
TPLAT_API void TestReadOnlyKeptValues(bool on);

// Open databases and notes still held; tests check they are all closed.
TPLAT_API DWORD TestOpenDatabases();
TPLAT_API DWORD TestOpenNotes();

} // namespace plat
