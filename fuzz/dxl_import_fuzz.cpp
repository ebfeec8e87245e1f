// Feeds arbitrary bytes to the DXL importer as the text of a file. Whatever
// the input, the import must end with a status (never a crash or an
// overread), and a failed import must leave the database as it was.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "talix_platform.h"

namespace {

plat::DWORD CountNotes(plat::DBHANDLE db) {
    plat::DWORD count = 0;
    plat::DbScanNotes(db, [&](plat::NOTEID, plat::WORD) -> plat::STATUS {
        ++count;
        return 0;
    });
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static talix_fuzz::ScratchDatabase fixture;
    plat::DWORD before = CountNotes(fixture.db);
    plat::DxlImportResult result;
    plat::STATUS status =
        plat::DxlImportText(fixture.db, reinterpret_cast<const char*>(data), size, "fuzz.xml", &result);
    if (status != 0) {
        if (result.error.empty() || CountNotes(fixture.db) != before) abort();
    } else {
        // Start each input from an empty database so the note count stays small.
        for (plat::NOTEID id : result.notes) plat::NoteDelete(fixture.db, id, 0);
    }
    if (plat::MemLiveCount() != 0 || plat::TestOpenNotes() != 0) abort();
    return 0;
}
