// Feeds arbitrary bytes to the DXL importer as the text of a file, storing
// into one database kept open for the whole run and emptied after every
// input (a new database per input would cost far more than the import).
// Whatever the input, the import must end with a status (never a crash or
// an overread); a failed import stores nothing, a successful one every note
// it reports, and neither leaves an object no note names or a note that
// does not read back; emptying the database leaves nothing behind.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/testing.h"
#include "talix_platform.h"

namespace {

// The notes of the database, each opened and closed again; aborts when one
// does not open.
size_t OpenEveryNote(plat::DBHANDLE db) {
    size_t count = 0;
    plat::STATUS status = plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD) -> plat::STATUS {
        plat::NOTEHANDLE note = 0;
        plat::STATUS opened = plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note);
        if (opened == 0) plat::NoteClose(note);
        ++count;
        return opened;
    });
    if (status != 0) abort();
    return count;
}

// Deletes every note in one write.
void Empty(plat::DBHANDLE db) {
    std::vector<plat::NOTEID> notes;
    if (plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD) -> plat::STATUS {
            notes.push_back(id);
            return 0;
        }) != 0 ||
        plat::DbWriteLock(db) != 0)
        abort();
    for (plat::NOTEID id : notes) {
        if (plat::NoteDelete(db, id, plat::DELETE_NOTE_DEFAULT) != 0) abort();
    }
    if (plat::DbWriteUnlock(db) != 0) abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static talix_fuzz::ScratchDatabase scratch;
    const plat::DBHANDLE db = scratch.db;

    plat::DxlImportResult result;
    plat::STATUS status = plat::DxlImportText(db, reinterpret_cast<const char*>(data), size, "fuzz.xml", &result);
    size_t stored = OpenEveryNote(db);
    if (status != 0 ? (result.error.empty() || stored != 0) : stored != result.notes.size()) abort();
    // An object item of the input may name an object that is not there; a
    // damaged file or an object no note names is the store's fault.
    std::vector<plat::DbProblem> problems;
    if (plat::DbCheck(db, &problems) != 0) abort();
    for (const plat::DbProblem& problem : problems) {
        if (problem.note == 0) abort();
    }

    Empty(db);
    if (OpenEveryNote(db) != 0) abort();
    if (plat::MemLiveCount() != 0 || plat::TestOpenNotes() != 0) abort();
    return 0;
}
