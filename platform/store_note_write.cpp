// Writing a note into the store: a new note whole, a stored one by what
// changed since it was read. Items are rows of their own and are never
// changed in place: an item that changes gets a new row, so a row read
// earlier still holds what was read. That lets an update keep every stored
// row it did not change, put new rows in the note's order, and (forced after
// another writer stored the note) keep that writer's items as well.
#include <sqlite3.h>

#include <cstring>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "notes_internal.h"
#include "status_codes.h"
#include "store.h"
#include "store_sql.h"
#include "talix_platform/log.h"

namespace plat {

std::string FoldedItemName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

bool NoteRevision::operator==(const NoteRevision& other) const {
    return std::memcmp(&oid, &other.oid, sizeof oid) == 0 &&
           std::memcmp(&modified, &other.modified, sizeof modified) == 0;
}

namespace {

bool IsSet(const TIMEDATE& time) { return time.Innards[0] != 0 || time.Innards[1] != 0; }

// A stored item of the note as the update finds it.
struct StoredRow {
    std::string folded;
    sqlite3_int64 position = 0;
    bool namesObject = false;
    DWORD object = 0;
};

// One item of the note as it is written: a stored row kept (row != 0) or
// the item's data inserted.
struct Placed {
    ItemRow row = 0;
    const ItemData* data = nullptr;
    size_t writeIndex = 0;   // of the write's items; kNone for another writer's row
};

constexpr size_t kNone = static_cast<size_t>(-1);

} // namespace

STATUS Store::InsertItem(NOTEID id, size_t position, const ItemData& item, ItemRow* row) {
    Statement insert(*statements_, "INSERT INTO items(note_id, position, name, flags, data_type, value)"
                                   " VALUES (?, ?, ?, ?, ?, ?)");
    if (insert.prepareStatus() != SQLITE_OK) return Fail(insert.prepareStatus(), "update note");
    const WORD dataType = static_cast<WORD>(item.value[0] | (item.value[1] << 8));
    insert.Int(1, id);
    insert.Int(2, static_cast<sqlite3_int64>(position));
    insert.Blob(3, item.name.data(), item.name.size());
    insert.Int(4, item.flags);
    insert.Int(5, dataType);
    insert.Blob(6, item.value.data(), item.value.size());
    const int rc = insert.Step();
    if (rc == SQLITE_TOOBIG) return ERR_ITEM_TOO_LARGE;
    if (rc != SQLITE_DONE) return Fail(rc, "update note");
    *row = sqlite3_last_insert_rowid(db_);
    return NOERROR;
}

STATUS Store::WriteChanges(NOTEID id, const NoteWrite& write, int failAfterItems, std::vector<ItemRow>* rows,
                           std::set<DWORD>* named, std::set<DWORD>* released) {
    std::unordered_map<ItemRow, StoredRow> stored;
    std::vector<ItemRow> storedOrder;
    {
        Statement select(*statements_, "SELECT item_id, name, position, data_type, substr(value, 1, 8) FROM items"
                                       " WHERE note_id = ? ORDER BY position");
        if (select.prepareStatus() != SQLITE_OK) return Fail(select.prepareStatus(), "update note");
        select.Int(1, id);
        int rc;
        while ((rc = select.Step()) == SQLITE_ROW) {
            StoredRow row;
            row.folded = FoldedItemName(std::string(reinterpret_cast<const char*>(select.ColumnBlob(1)),
                                                    select.ColumnBytes(1)));
            row.position = select.ColumnInt(2);
            row.namesObject = select.ColumnInt(3) == TYPE_OBJECT &&
                              ObjectNamedBy(select.ColumnBlob(4), select.ColumnBytes(4), &row.object);
            storedOrder.push_back(select.ColumnInt(0));
            stored.emplace(storedOrder.back(), std::move(row));
        }
        if (rc != SQLITE_DONE) return Fail(rc, "update note");
    }
    auto changed = [&](const std::string& folded) {
        return write.replaceAll || write.changedNames.count(folded) != 0;
    };

    // The note as it is to be stored: the write's items in order (a row kept
    // when it is still there, else the item's data, unless the item was
    // unchanged and another writer removed or replaced it), and among them
    // the rows another writer added under names this write did not change,
    // each after the row it follows in the stored note (after this write's
    // items of that row's name when the write replaces it).
    std::vector<Placed> placed;
    placed.reserve(write.items.size());
    std::unordered_set<ItemRow> kept;
    std::unordered_map<ItemRow, size_t> keptAt;
    std::unordered_map<std::string, size_t> lastOfName;
    for (size_t i = 0; i < write.items.size(); ++i) {
        const ItemWrite& item = write.items[i];
        std::string folded = FoldedItemName(item.data->name);
        const bool keep =
            !write.replaceAll && item.row > 0 && stored.count(item.row) != 0 && kept.insert(item.row).second;
        if (keep) {
            keptAt[item.row] = placed.size();
        } else if (item.row != 0 && !changed(folded)) {
            continue;
        }
        lastOfName[std::move(folded)] = placed.size();
        placed.push_back({keep ? item.row : 0, item.data, i});
    }
    std::vector<ItemRow> dropped;
    // others[0]: before the first placed item; others[n + 1]: after placed[n].
    std::vector<std::vector<ItemRow>> others(placed.size() + 1);
    size_t anchor = 0;
    for (ItemRow row : storedOrder) {
        if (kept.count(row) != 0) {
            anchor = keptAt[row] + 1;
            continue;
        }
        const std::string& folded = stored[row].folded;
        if (!changed(folded)) {
            others[anchor].push_back(row);
            continue;
        }
        dropped.push_back(row);
        auto last = lastOfName.find(folded);
        if (last != lastOfName.end()) anchor = last->second + 1;
    }
    std::vector<Placed> order;
    order.reserve(placed.size() + storedOrder.size());
    for (size_t at = 0; at <= placed.size(); ++at) {
        if (at > 0) order.push_back(placed[at - 1]);
        for (ItemRow row : others[at]) order.push_back({row, nullptr, kNone});
    }
    placed = std::move(order);

    int rc;
    {
        Statement erase(*statements_, "DELETE FROM items WHERE item_id = ?");
        for (ItemRow row : dropped) {
            erase.Reset();
            erase.Int(1, row);
            if ((rc = erase.Step()) != SQLITE_DONE) return Fail(rc, "update note");
            const StoredRow& gone = stored[row];
            if (gone.namesObject) released->insert(gone.object);
        }
    }
    // Kept rows that move go out of the way first (to negative positions,
    // which no row has), so that no two rows ever share a position.
    {
        Statement move(*statements_, "UPDATE items SET position = ? WHERE item_id = ?");
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t at = 0; at < placed.size(); ++at) {
                const ItemRow row = placed[at].row;
                if (row == 0 || stored[row].position == static_cast<sqlite3_int64>(at)) continue;
                move.Reset();
                move.Int(1, pass == 0 ? -static_cast<sqlite3_int64>(at) - 1 : static_cast<sqlite3_int64>(at));
                move.Int(2, row);
                if ((rc = move.Step()) != SQLITE_DONE) return Fail(rc, "update note");
            }
        }
    }
    int inserted = 0;
    for (size_t at = 0;; ++at) {
        if (failAfterItems >= 0 && (inserted == failAfterItems || at == placed.size())) {
            LogLine(ERR_INJECTED, "Database %s: update of a note stopped after %d items", path_.c_str(), inserted);
            return ERR_INJECTED;
        }
        if (at == placed.size()) break;
        Placed& item = placed[at];
        if (item.row == 0) {
            const STATUS status = InsertItem(id, at, *item.data, &item.row);
            if (status != NOERROR) return status;
            ++inserted;
            DWORD object = 0;
            if (ObjectNamedBy(item.data->value.data(), item.data->value.size(), &object)) named->insert(object);
        }
        // An unchanged item another writer removed stays out (-1) until it
        // changes again.
        if (item.writeIndex != kNone) (*rows)[item.writeIndex] = item.row;
    }
    return NOERROR;
}

STATUS Store::WriteNote(NoteHeader* header, const NoteWrite& write, int failAfterItems, std::vector<ItemRow>* rows) {
    WriteScope scope(this);
    int rc = scope.Begin();
    if (rc != SQLITE_OK) return Fail(rc, "update note");

    UNID unid;
    unid.File = header->oid.File;
    unid.Note = header->oid.Note;
    NOTEID holder = 0;
    STATUS status = FindUnid(unid, &holder);
    if (status == NOERROR && holder != header->id) return ERR_UNID_EXISTS;
    if (status != NOERROR && status != ERR_UNID_NOT_FOUND) return status;

    NoteHeader written = *header;
    std::vector<ItemRow> made(write.items.size(), -1);
    std::set<DWORD> named, released;
    if (header->id == 0) {
        status = NextNoteId(&written.id);
        if (status != NOERROR) return status;
    } else {
        NoteHeader stored;
        status = ReadHeader(header->id, &stored);
        if (status == ERR_NOTE_NOT_FOUND) return ERR_NOTE_DELETED;
        if (status != NOERROR) return status;
        if (!(NoteRevision{stored.oid, stored.modified} == write.read) && !write.force) {
            LogLine(ERR_NOTE_CONFLICT, "Database %s: note 0x%X was stored by another writer since it was opened",
                    path_.c_str(), header->id);
            return ERR_NOTE_CONFLICT;
        }
        if (IsSet(write.sequenceTime)) {
            written.oid.Sequence = stored.oid.Sequence + 1;
            written.oid.SequenceTime = write.sequenceTime;
        }
    }
    {
        const char* sql = header->id == 0
            ? "INSERT INTO notes(unid, oid, class, created, modified, accessed, added, encrypted, note_id)"
              " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"
            : "UPDATE notes SET unid = ?, oid = ?, class = ?, created = ?, modified = ?, accessed = ?,"
              " added = ?, encrypted = ? WHERE note_id = ?";
        Statement note(*statements_, sql);
        if (note.prepareStatus() != SQLITE_OK) return Fail(note.prepareStatus(), "update note");
        note.Blob(1, &unid, sizeof unid);
        note.Blob(2, &written.oid, sizeof written.oid);
        note.Int(3, written.noteClass);
        note.Blob(4, &written.created, sizeof(TIMEDATE));
        note.Blob(5, &written.modified, sizeof(TIMEDATE));
        note.Blob(6, &written.accessed, sizeof(TIMEDATE));
        note.Blob(7, &written.added, sizeof(TIMEDATE));
        note.Int(8, written.encrypted ? 1 : 0);
        note.Int(9, written.id);
        rc = note.Step();
        if (rc != SQLITE_DONE) return Fail(rc, "update note");
    }
    if (header->id == 0) {
        NoteWrite whole = write;
        whole.replaceAll = true;
        status = WriteChanges(written.id, whole, failAfterItems, &made, &named, &released);
    } else {
        status = WriteChanges(written.id, write, failAfterItems, &made, &named, &released);
    }
    if (status != NOERROR) return status;

    std::vector<DWORD> storedObjects;
    status = StorePendingObjects(named, &storedObjects);
    if (status != NOERROR) return status;
    std::set<DWORD> unnamed;
    for (DWORD object : released) {
        if (named.count(object) == 0) unnamed.insert(object);
    }
    status = FreeUnnamedObjects(unnamed);
    if (status != NOERROR) return status;
    // A test may end the process here, in the middle of the transaction.
    TestKillPoint();
    rc = scope.Commit();
    if (rc != SQLITE_OK) return Fail(rc, "update note");
    ObjectsStored(storedObjects);
    *header = written;
    *rows = std::move(made);
    return NOERROR;
}

} // namespace plat
