// Drives MIME part items through ConvertFromMIMEBackend. The first byte
// picks how the rest becomes part items and what the note allows: with bit
// 0 set the rest is a run of raw item values (a 16-bit length, low byte
// first, then that many bytes after the data-type word), so damaged part
// headers reach the readers; otherwise the rest is a message that the
// platform's splitter stores. Bit 1 sets "$DelayedImagesOK" to "ok", bit 2
// passes import options. Whatever the input, the conversion returns, the
// note is the only one open and closes without being stored.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "platform/testing.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

constexpr plat::WORD kPartItemFlags = 3;

void AppendRawParts(plat::NOTEHANDLE note, const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    while (at + 2 <= size) {
        const std::size_t length = data[at] | (data[at + 1] << 8);
        at += 2;
        const std::size_t take = length < size - at ? length : size - at;
        plat::ItemAppend(note, kPartItemFlags, "Body", 4, plat::TYPE_MIME_PART, data + at,
                         static_cast<plat::DWORD>(take));
        at += take;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const plat::NOTEHANDLE note = talix_fuzz::NewNote();
    if ((choice & 1) != 0) {
        AppendRawParts(note, data + 1, size - 1);
    } else {
        plat::MimeStoreMessage(note, "Body", 4, reinterpret_cast<const char*>(data + 1), size - 1);
    }
    if ((choice & 2) != 0) plat::ItemSetText(note, "$DelayedImagesOK", "ok", 2);
    {
        RARIvoSession session;
        ZervaRTItem item(&session);
        if ((choice & 4) != 0) {
            if (item.ConnectBackend(note, "Other", 0) != 0) abort();
            item.ConvertFromMIMEBackend(note, "Body", "Charset='iso-8859-1' PixelMultiplier=20");
        } else {
            item.ConnectBackend(note, "Body", 0);
        }
    }
    if (plat::TestOpenNotes() != 1) abort();   // the note of this input only
    plat::NoteClose(note);
    return 0;
}
