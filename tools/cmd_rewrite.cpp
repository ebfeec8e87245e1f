// The rewrite command: an item read into a record list by the library and
// written back.
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix_cli {

int RunRewrite(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    plat::NOTEID id = 0;
    {
        Database db;
        Note note;
        std::vector<ItemValue> items;
        if (!OpenItemArguments(command, args, true, &db, &note, &items, &exitCode)) return exitCode;
        if (!ItemUndamaged(command, args[2], items)) return kExitFailed;
        plat::STATUS status = plat::NoteGetInfo(note.handle(), plat::NOTE_FIELD_ID, &id);
        if (status != plat::NOERROR) return Fail("cannot read note %s: %s", args[1].c_str(), StatusMessage(status).c_str());
    }
    RARIvoSession session;
    session.SetUp();
    ZervaRTItem item(&session);
    // The library takes names in the platform's character set.
    const std::string name = plat::NativeToLmbcs(args[2]);
    talix::STATUS status = item.Connect("", args[0].c_str(), id, name.c_str(), 0);
    if (status == talix::kOK && item.connected == 0) status = plat::ERR_ITEM_NOT_FOUND;
    if (status != talix::kOK) return Fail("cannot connect to item '%s': %s", args[2].c_str(), StatusMessage(status).c_str());
    talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list == nullptr || status != talix::kOK) {
        if (list != nullptr) {
            talix::DeleteItemRecordList(&session, list);
        }
        return Fail("cannot read item '%s': %s; nothing was written", args[2].c_str(), StatusMessage(status).c_str());
    }
    unsigned long records = 0;
    for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next) ++records;
    if (talix::ItemRecordList* pending = item.work->current) {
        talix::DeleteItemRecordList(&session, pending);
    }
    item.work->current = list;
    status = item.Commit();
    if (status == talix::kOK) status = item.Save();
    if (status != talix::kOK) return Fail("cannot write item '%s' back: %s", args[2].c_str(), StatusMessage(status).c_str());
    std::printf("%lu\n", records);
    return kExitOk;
}

} // namespace talix_cli
