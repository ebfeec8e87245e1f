// Feeds arbitrary bytes to the record reader as the values of a rich-text
// item (split into one to three items of the same name). Whatever reads
// without a failure is written back and read again: the second read must
// succeed and give the same records in host form.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/item_work_state.h"
#include "core/record_io.h"
#include "fuzz_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// A note of the scratch database and an item object to read and write it.
struct Fixture {
    talix_fuzz::ScratchDatabase scratch;
    plat::NOTEHANDLE note = 0;
    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;

    Fixture() {
        if (plat::NoteCreate(scratch.db, &note) != 0) abort();
        session = new RARIvoSession;
        item = new ZervaRTItem(session);
    }
    ~Fixture() {
        delete item;
        delete session;
        plat::NoteClose(note);
    }
};

bool SameRecords(const ItemRecordList* a, const ItemRecordList* b) {
    const CDRecordNode* x = a->head;
    const CDRecordNode* y = b->head;
    for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
        if (x->signature != y->signature || x->length != y->length || std::memcmp(x->bytes, y->bytes, x->length) != 0)
            return false;
    }
    return x == nullptr && y == nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    if (size < 2) return 0;
    const int skip = data[0] & 1, textExtra = (data[0] >> 1) & 1, count = (data[0] >> 2) & 1;
    const std::size_t items = 1 + data[1] % 3;
    data += 2;
    size -= 2;
    plat::ItemDelete(fixture.note, "Body", 4);
    plat::ItemDelete(fixture.note, "Copy", 4);
    for (std::size_t i = 0; i < items; ++i) {
        std::size_t from = size * i / items, to = size * (i + 1) / items;
        plat::ItemAppend(fixture.note, 0, "Body", 4, plat::TYPE_COMPOSITE, data + from, static_cast<plat::DWORD>(to - from));
    }

    STATUS status = 0;
    ItemRecordList* list = SIAR(fixture.item, skip, nullptr, textExtra, count, fixture.note, "Body", &status);
    if (list == nullptr) abort();
    if (status == kOK) {
        list->itemName = "Copy";
        if (WriteItemRecords(list, fixture.item) != kOK) abort();
        STATUS again = 0;
        ItemRecordList* copy = SIAR(fixture.item, 0, nullptr, 0, 0, fixture.note, "Copy", &again);
        if (copy == nullptr || again != kOK || (!skip && !SameRecords(list, copy))) abort();
        DeleteItemRecordList(fixture.session, copy);
    }
    DeleteItemRecordList(fixture.session, list);
    return 0;
}
