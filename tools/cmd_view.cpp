// The command view: the entries of a view, or those of one key; or the
// documents a selection formula selects.
#include <cstdio>
#include <string>

#include "cli.h"
#include "core/view_lookup.h"
#include "talix/session.h"

namespace talix_cli {

namespace {

constexpr plat::DWORD kBatch = 1000;

// Closes a collection with the object.
class OpenCollection {
public:
    ~OpenCollection() {
        if (handle != 0) plat::CollectionClose(handle);
    }
    plat::HCOLLECTION handle = 0;
};

// The documents a selection formula selects, in note-id order: note id and
// title, as the library's searches (link matching) select them.
int ListSelection(const std::vector<std::string>& args, plat::DBHANDLE db) {
    RARIvoSession session;
    session.SetUp();
    const std::string formula = plat::NativeToLmbcs(args[1]);
    plat::DHANDLE table = plat::NULLHANDLE;
    const plat::STATUS status = talix::FindNotesByViewOrFormula(&session, db, formula.c_str(), nullptr, &table, 0);
    if (status != plat::NOERROR)
        return Fail("cannot select with '%s' in %s: %s", args[1].c_str(), args[0].c_str(), StatusMessage(status).c_str());
    int exitCode = kExitOk;
    plat::NOTEID id = 0;
    for (bool first = true; plat::IdScan(table, first, &id); first = false) {
        plat::NOTEHANDLE note = 0;
        const plat::STATUS opened = plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note);
        if (opened != plat::NOERROR) {
            exitCode = Fail("cannot read note 0x%08X: %s", static_cast<unsigned>(id), StatusMessage(opened).c_str());
            continue;
        }
        std::printf("0x%08X\t%s\n", static_cast<unsigned>(id), Escape(NoteTitle(note)).c_str());
        plat::NoteClose(note);
    }
    plat::IdDestroyTable(table);
    return exitCode;
}

} // namespace

int RunView(const Command& command, const std::vector<std::string>& args) {
    int exitCode = kExitOk;
    if (!RejectOptions(command, args, &exitCode)) return exitCode;
    if (args.size() < 2 || args.size() > 3) return UsageError(command, "view needs a database, a view name and at most one key");
    const bool selection = talix::IsSelectionFormula(plat::NativeToLmbcs(args[1]).c_str());
    if (selection && args.size() == 3) return UsageError(command, "a selection formula takes no key");
    Database db;
    if (!db.Open(args[0], false)) return kExitFailed;
    if (selection) return ListSelection(args, db.handle());

    std::string viewName = plat::NativeToLmbcs(args[1]);
    plat::NOTEID viewId = 0;
    plat::STATUS status = plat::FindDesignNote(db.handle(), viewName.c_str(), plat::NOTE_CLASS_VIEW, &viewId);
    if (status != plat::NOERROR) return Fail("view '%s' not found in %s: %s", args[1].c_str(), args[0].c_str(), StatusMessage(status).c_str());
    OpenCollection collection;
    status = plat::CollectionOpen(db.handle(), viewId, &collection.handle);
    if (status != plat::NOERROR) return Fail("cannot open view '%s': %s", args[1].c_str(), StatusMessage(status).c_str());

    plat::CollectionPosition position;
    plat::DWORD left = 0xFFFFFFFF;   // entries still to list
    if (args.size() == 3) {
        std::string key = plat::NativeToLmbcs(args[2]);
        if (key.size() > 0xFFFF) return Fail("the key is too long");
        status = plat::CollectionFindByKey(collection.handle, key.data(), static_cast<plat::WORD>(key.size()), 0,
                                           &position, &left);
        if ((status & plat::ERR_MASK) == plat::ERR_KEY_NOT_FOUND) {
            return Fail("no entry of view '%s' has the key '%s'", args[1].c_str(), args[2].c_str());
        }
        if (status != plat::NOERROR) return Fail("cannot look up '%s': %s", args[2].c_str(), StatusMessage(status).c_str());
    }

    bool more = true;
    while (more && left > 0) {
        plat::DWORD first = position.index == 0 ? 1 : position.index;
        plat::DHANDLE ids = 0;
        plat::DWORD count = 0;
        status = plat::CollectionReadEntries(collection.handle, &position, left < kBatch ? left : kBatch, &ids, &count, &more);
        if (status != plat::NOERROR) return Fail("cannot read view '%s': %s", args[1].c_str(), StatusMessage(status).c_str());
        const auto* noteIds = static_cast<const plat::NOTEID*>(plat::MemLock(ids));
        for (plat::DWORD i = 0; noteIds != nullptr && i < count; ++i) {
            std::string text;
            status = plat::CollectionEntryText(collection.handle, first + i, &text);
            if (status != plat::NOERROR) break;
            std::printf("0x%08X\t%s\n", static_cast<unsigned>(noteIds[i]), Escape(plat::LmbcsToNative(text)).c_str());
        }
        if (noteIds != nullptr) plat::MemUnlock(ids);
        plat::MemFree(ids);
        if (noteIds == nullptr) return Fail("cannot read view '%s'", args[1].c_str());
        if (status != plat::NOERROR) return Fail("cannot read view '%s': %s", args[1].c_str(), StatusMessage(status).c_str());
        left -= count;
    }
    return kExitOk;
}

} // namespace talix_cli
