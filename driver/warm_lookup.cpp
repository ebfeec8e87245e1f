// Keeping the item of a table look-up open between calls, for as long as
// its note is stored unchanged.
#include "driver/warm_lookup.h"

#include <cstring>
#include <new>

#include "core/font_spec.h"
#include "core/thread_state.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

// The kept item and what it was read for.
struct WarmLookUp {
    ZervaRTItem* item = nullptr;
    char server[kServerFieldSize] = {};
    char file[kServerFieldSize] = {};
    std::uint32_t noteId = 0;
    char itemName[kItemNameFieldSize] = {};
    // The note as it was read.
    plat::ORIGINATORID oid;
    plat::TIMEDATE modified;
};

namespace {

bool SameRevision(const plat::ORIGINATORID& a, const plat::TIMEDATE& aModified, const plat::ORIGINATORID& b,
                  const plat::TIMEDATE& bModified) {
    return std::memcmp(&a, &b, sizeof a) == 0 && std::memcmp(&aModified, &bModified, sizeof aModified) == 0;
}

// Whether the kept item was read for the item the call addresses.
bool SameItem(const WarmLookUp& warm, const CallState& state) {
    return warm.noteId == state.noteId && std::strcmp(warm.server, state.server) == 0 &&
           std::strcmp(warm.file, state.file) == 0 && std::strcmp(warm.itemName, state.itemName) == 0;
}

// Whether the note stored now is the note the item read. A note deleted or
// unreadable since is not. The database is asked through a handle opened by
// its path now, so that a file replaced whole since, or a path that names
// another file under another data directory, is not taken for the one the
// item keeps open (the platform shares the open file between handles: the
// open is cheap).
bool StoredUnchanged(const WarmLookUp& warm) {
    char path[plat::MAXPATH + 1];
    plat::DBHANDLE db = plat::NULLHANDLE;
    if (plat::PathNetBuild(warm.server, warm.file, path) != plat::NOERROR || plat::DbOpen(path, &db) != plat::NOERROR)
        return false;
    plat::ORIGINATORID oid;
    plat::TIMEDATE modified;
    const bool read = plat::DbNoteInfo(db, warm.noteId, &oid, &modified, nullptr) == plat::NOERROR;
    plat::DbClose(db);
    return read && SameRevision(oid, modified, warm.oid, warm.modified);
}

} // namespace

bool MayUseWarmItem(const DriverContext* context, const CallState& state) {
    return state.row != nullptr && (state.row->operationId == kOpDBLookup || state.row->operationId == kOpDBColumn) &&
           state.found.kind == FoundKind::ChunkFunction && !state.byHandle && state.noteHandle == 0 &&
           !state.designElement && context->preProperties == nullptr && context->postProperties == nullptr;
}

ZervaRTItem* TakeWarmItem(DriverContext* context, const CallState& state) {
    WarmLookUp* warm = context->warm;
    if (warm == nullptr) return nullptr;
    if (!SameItem(*warm, state) || warm->item->connected == 0 || !StoredUnchanged(*warm)) {
        DropWarmItem(context);
        return nullptr;
    }
    // The item's outcome and the thread's switches as making and connecting
    // the item for the call would leave them.
    warm->item->lastStatus = kOK;
    warm->item->ownError = 0;
    ThisThread().clientPreference = 1;
    ThisThread().suppressMessages = warm->item->suppressMessages;
    return warm->item;
}

void KeepWarmItem(DriverContext* context, const CallState& state) {
    ZervaRTItem* item = context->item;
    if (item == nullptr || item->connected == 0 || IsWarmItem(context, item)) return;
    plat::ORIGINATORID oid;
    plat::TIMEDATE modified;
    if (plat::NoteGetInfo(item->noteHandle, plat::NOTE_FIELD_OID, &oid) != plat::NOERROR ||
        plat::NoteGetInfo(item->noteHandle, plat::NOTE_FIELD_MODIFIED, &modified) != plat::NOERROR)
        return;
    DropWarmItem(context);
    auto* warm = new (std::nothrow) WarmLookUp();
    if (warm == nullptr) return;   // the item is then the call's alone
    context->warm = warm;
    warm->item = item;
    std::memcpy(warm->server, state.server, sizeof warm->server);
    std::memcpy(warm->file, state.file, sizeof warm->file);
    std::memcpy(warm->itemName, state.itemName, sizeof warm->itemName);
    warm->noteId = state.noteId;
    warm->oid = oid;
    warm->modified = modified;
}

bool IsWarmItem(const DriverContext* context, const ZervaRTItem* item) {
    return item != nullptr && context->warm != nullptr && context->warm->item == item;
}

void DropWarmItem(DriverContext* context) {
    WarmLookUp* warm = context->warm;
    if (warm == nullptr) return;
    context->warm = nullptr;
    // The call's own item is deleted with the call.
    if (warm->item != context->item) delete warm->item;
    delete warm;
}

} // namespace talix
