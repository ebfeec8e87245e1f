// The store's check of a database file: what SQLite's integrity check finds,
// objects no note names, objects named but missing, and notes whose header
// or items do not read back.
#include <cstdio>
#include <set>
#include <string>

#include "status_codes.h"
#include "store.h"
#include "store_sql.h"
#include "talix_platform/log.h"
#include "talix_platform/text.h"

namespace plat {

namespace {

std::string ItemName(const BYTE* name, size_t length) {
    return LmbcsToNative(std::string_view(reinterpret_cast<const char*>(name), length));
}

} // namespace

STATUS Store::Check(std::vector<DbProblem>* problems) {
    problems->clear();
    int rc;
    {
        Statement integrity(*statements_, "PRAGMA integrity_check");
        while ((rc = integrity.Step()) == SQLITE_ROW) {
            const BYTE* text = integrity.ColumnBlob(0);
            std::string line(reinterpret_cast<const char*>(text), integrity.ColumnBytes(0));
            if (line != "ok") problems->push_back({0, 0, "integrity check: " + line});
        }
        if (rc != SQLITE_DONE) return Fail(rc, "check");
    }

    std::set<DWORD> stored;
    {
        Statement select(*statements_, "SELECT object_id FROM objects");
        while ((rc = select.Step()) == SQLITE_ROW) stored.insert(static_cast<DWORD>(select.ColumnInt(0)));
        if (rc != SQLITE_DONE) return Fail(rc, "check");
    }
    std::set<DWORD> named;
    {
        Statement select(*statements_, "SELECT note_id, name, value FROM items WHERE data_type = 3 ORDER BY note_id, position");
        while ((rc = select.Step()) == SQLITE_ROW) {
            NOTEID note = static_cast<NOTEID>(select.ColumnInt(0));
            std::string name = ItemName(select.ColumnBlob(1), select.ColumnBytes(1));
            DWORD object = 0;
            if (!ObjectNamedBy(select.ColumnBlob(2), select.ColumnBytes(2), &object)) {
                problems->push_back({note, 0, "item '" + name + "' is too short to name an object"});
                continue;
            }
            named.insert(object);
            if (stored.count(object) == 0) {
                problems->push_back({note, object, "item '" + name + "' names object " + std::to_string(object) +
                                                       ", which does not exist"});
            }
        }
        if (rc != SQLITE_DONE) return Fail(rc, "check");
    }
    for (DWORD object : stored) {
        if (named.count(object) == 0) problems->push_back({0, object, "no note names it"});
    }

    // A note stored under an id no note can have (0, one past 32 bits,
    // which would be read as another id, or one with the top bit that marks
    // a view's category entries) is named by the id it has, and read no
    // further.
    std::vector<NOTEID> notes;
    {
        Statement select(*statements_, "SELECT note_id FROM notes ORDER BY note_id");
        while ((rc = select.Step()) == SQLITE_ROW) {
            const sqlite3_int64 id = select.ColumnInt(0);
            if (NoteIdStorable(id)) {
                notes.push_back(static_cast<NOTEID>(id));
            } else {
                problems->push_back({0, 0, "a note is stored under id " + std::to_string(id) +
                                               ", which no note can have"});
            }
        }
        if (rc != SQLITE_DONE) return Fail(rc, "check");
    }

    // Items stored for a note that is not there: no note reads them.
    {
        Statement select(*statements_, "SELECT note_id, COUNT(*) FROM items"
                                       " WHERE note_id NOT IN (SELECT note_id FROM notes) GROUP BY note_id");
        while ((rc = select.Step()) == SQLITE_ROW) {
            const sqlite3_int64 id = select.ColumnInt(0);
            const std::string items = std::to_string(select.ColumnInt(1)) + " item(s)";
            if (NoteIdStorable(id)) {
                problems->push_back({static_cast<NOTEID>(id), 0, items + " stored for it, but no such note"});
            } else {
                problems->push_back({0, 0, items + " stored for note id " + std::to_string(id) +
                                               ", which no note is stored under"});
            }
        }
        if (rc != SQLITE_DONE) return Fail(rc, "check");
    }

    STATUS status = NOERROR;
    char text[256];
    for (NOTEID id : notes) {
        NoteHeader header;
        std::vector<StoredItem> items;
        status = ReadHeader(id, &header);
        const char* what = "its header does not read back";
        if (status == NOERROR) {
            status = ReadItems(id, &items);
            what = "its items do not read back";
        }
        if (status == ERR_DB_BUSY || status == ERR_NO_MEMORY) return status;
        if (status != NOERROR) {
            StatusText(status, text, sizeof text);
            problems->push_back({id, 0, std::string(what) + ": " + text});
        }
    }
    return NOERROR;
}

} // namespace plat
