// Feeds arbitrary bytes to ImportHTMLText as the HTML appended to a blank
// rich-text item. The first byte picks the import options (input
// encodings, the URL-image check on or off); the rest is the HTML. Whatever
// the input, the import ends with a status, the record output is left
// detached and nothing is left open.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "builders/record_output.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "engine/record_process.h"
#include "fuzz_support.h"
#include "htmlimport/import_sink.h"
#include "platform/testing.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

const char* const kOptions[] = {
    nullptr, "Charset=latin1", "CharEncoding=raw", "CharEncoding=mac", "CharEncoding=iso2022",
    "Charset='windows-1252' Size1=300 Duzuvore=FCKeditor", "CharEncoding=ascii BlankAltString=''",
    "Charset=x-none ResolveDoclinks=Yes ResolveLocalResources=Yes ImageView=Files BasePathname='c:\\x\\'",
};

struct BlankItem {
    talix_fuzz::ScratchDatabase database;
    RARIvoSession session;
    ZervaRTItem item{&session};
    ZervaRTChunk* chunk = nullptr;

    BlankItem() {
        plat::NOTEHANDLE note = 0;
        plat::NOTEID id = 0;
        if (plat::NoteCreate(database.db, &note) != 0 || plat::NoteUpdate(note, 0) != 0 ||
            plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id) != 0)
            abort();
        plat::NoteClose(note);
        char path[1024];
        plat::DbPath(database.db, path, sizeof path);
        if (item.Connect("", path, id, "Body", 1) != 0) abort();
        chunk = item.DefineChunk("Everything");
        if (chunk == nullptr) abort();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static BlankItem* blank = new BlankItem();
    // A length of 0 would ask for a terminated text, which fuzz input is not.
    if (size < 2) return 0;
    const std::uint8_t choice = data[0];
    plat::IniSet("ZelundaNoImageSkip", (choice & 0x80) != 0 ? "1" : "");

    auto context = std::make_unique<talix::RecordProcessContext>();
    context->session = &blank->session;
    context->chunk = blank->chunk;
    context->output.session = &blank->session;
    context->output.item = &blank->item;
    if (talix::StartOutputSegment(&context->output) != 0) abort();

    const char* html = reinterpret_cast<const char*>(data + 1);
    talix::ImportHTMLText(html, static_cast<std::uint32_t>(size - 1), kOptions[choice % 8], context.get(), nullptr, 0);
    if (context->output.collector.owner != nullptr) abort();

    talix::ItemWorkState* work = blank->item.work;
    talix::DeleteItemRecordList(&blank->session, work->output);
    work->output = nullptr;
    if (plat::TestOpenNotes() != 1) abort();   // the item's own note only
    return 0;
}
