// Opening a database again after it was closed: what the file holds then,
// whatever happened to it in between (a write through SQLite by someone
// else, a changed table, the file replaced at its path or damaged), and the
// hold on the file an open database keeps against other processes.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using talix_test::TempDir;

// Runs one statement through a connection of its own, as another process would.
int RunElsewhere(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    int rc = sqlite3_open(path.c_str(), &db);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
}

// Stores a note with a text item; its note id, or 0.
NOTEID StoreNote(DBHANDLE db, const char* subject) {
    NOTEHANDLE note = NULLHANDLE;
    NOTEID id = 0;
    if (NoteCreate(db, &note) != NOERROR) return 0;
    const bool stored = ItemAppend(note, 0, "Subject", 7, TYPE_TEXT, subject, static_cast<DWORD>(std::strlen(subject))) ==
                            NOERROR &&
                        NoteUpdate(note, 0) == NOERROR && NoteGetInfo(note, NOTE_FIELD_ID, &id) == NOERROR;
    NoteClose(note);
    return stored ? id : 0;
}

// The Subject of a stored note, or "(none)" when it does not open.
std::string Subject(DBHANDLE db, NOTEID id) {
    NOTEHANDLE note = NULLHANDLE;
    if (NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note) != NOERROR) return "(none)";
    char text[256] = {};
    ItemGetText(note, "Subject", text, sizeof text);
    NoteClose(note);
    return text;
}

std::string Reopened(const std::string& path, NOTEID id) {
    DBHANDLE db = NULLHANDLE;
    if (DbOpen(path.c_str(), &db) != NOERROR) return "(no database)";
    std::string subject = Subject(db, id);
    DbClose(db);
    return subject;
}

TEST(Reopen, AClosedDatabaseOpensAgainAsTheFileIsNow) {
    TempDir dir;
    const std::string path = dir.file("r.nsf");
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    const NOTEID id = StoreNote(db, "first");
    ASSERT_NE(id, 0u);
    DBID firstReplica;
    DbReplicaId(db, &firstReplica);
    DbClose(db);
    EXPECT_EQ(Reopened(path, id), "first");

    // The file alone holds everything written once the database is closed:
    // a copy of it without its log files opens with the note.
    const std::string copy = dir.file("copy.nsf");
    std::filesystem::copy_file(path, copy);
    EXPECT_EQ(Reopened(copy, id), "first");

    // Written meanwhile through a connection of its own.
    ASSERT_EQ(RunElsewhere(path, "UPDATE items SET value = X'0005' || CAST('changed' AS BLOB) WHERE name = "
                                 "CAST('Subject' AS BLOB)"),
              SQLITE_OK);
    EXPECT_EQ(Reopened(path, id), "changed");

    // A table that no longer fits: not one of ours any more.
    ASSERT_EQ(RunElsewhere(path, "ALTER TABLE objects RENAME COLUMN bytes TO data"), SQLITE_OK);
    ASSERT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
    ASSERT_EQ(RunElsewhere(path, "ALTER TABLE objects RENAME COLUMN data TO bytes"), SQLITE_OK);
    EXPECT_EQ(Reopened(path, id), "changed");

    // Replaced by another database at the same path: the new one opens, and
    // what is written to it stays after it is closed.
    std::filesystem::remove(path);
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    DBID secondReplica;
    DbReplicaId(db, &secondReplica);
    EXPECT_NE(std::memcmp(&firstReplica, &secondReplica, sizeof firstReplica), 0);
    EXPECT_EQ(Subject(db, id), "(none)");
    const NOTEID second = StoreNote(db, "second");
    DbClose(db);
    EXPECT_EQ(Reopened(path, second), "second");
    EXPECT_EQ(Reopened(copy, id), "first");

    // Damaged in place right after it was closed: the mark of the file
    // (the application id at offset 68) cleared, or the file cut short.
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(68);
        file.write("\0\0\0\0", 4);
    }
    EXPECT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
    std::filesystem::resize_file(copy, 0);
    EXPECT_EQ(DbOpen(copy.c_str(), &db), ERR_NOT_A_DATABASE);
}

// A file replaced at its path while a handle of this process still holds
// the old one: once that handle closes, every later open of the path reads
// the new file, never the old one that handle held.
TEST(Reopen, AFileReplacedWhileOpenIsNotReadAgainAfterItsHandleCloses) {
    TempDir dir;
    const std::string path = dir.file("r.nsf");
    const std::string other = dir.file("other.nsf");
    DBHANDLE held = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &held), NOERROR);
    const NOTEID id = StoreNote(held, "old");
    ASSERT_NE(id, 0u);
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(other.c_str(), &db), NOERROR);
    ASSERT_EQ(StoreNote(db, "new"), id);
    DbClose(db);
    // As another process would: the file and its log files removed, the
    // other database put in its place.
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
    std::filesystem::rename(other, path);

    EXPECT_EQ(Reopened(path, id), "new");
    EXPECT_EQ(Subject(held, id), "old");
    DbClose(held);
    EXPECT_EQ(Reopened(path, id), "new");
    EXPECT_EQ(Reopened(path, id), "new");
    // Written after that, the new file keeps what it is given.
    ASSERT_EQ(DbOpen(path.c_str(), &db), NOERROR);
    const NOTEID added = StoreNote(db, "added");
    DbClose(db);
    EXPECT_EQ(Reopened(path, added), "added");
    EXPECT_EQ(Reopened(path, id), "new");

    // Opened through a symbolic link that is then pointed at another file.
    const std::string link = dir.file("link.nsf"), first = dir.file("first.nsf"), second = dir.file("second.nsf");
    ASSERT_EQ(DbCreate(first.c_str(), &db), NOERROR);
    ASSERT_EQ(StoreNote(db, "first"), id);
    DbClose(db);
    ASSERT_EQ(DbCreate(second.c_str(), &db), NOERROR);
    ASSERT_EQ(StoreNote(db, "second"), id);
    DbClose(db);
    std::filesystem::create_symlink(first, link);
    ASSERT_EQ(DbOpen(link.c_str(), &held), NOERROR);
    EXPECT_EQ(Subject(held, id), "first");
    std::filesystem::remove(link);
    std::filesystem::create_symlink(second, link);
    DbClose(held);
    EXPECT_EQ(Reopened(link, id), "second");
    EXPECT_EQ(Reopened(first, id), "first");
}

// A file whose schema brings code of its own (a trigger, a view in a
// table's place, a column computed as it is read, a virtual table) is not
// one of ours: it is refused at open, before any of that code runs, and the
// file is left as it was.
TEST(Reopen, AFileWhoseSchemaRunsCodeOfItsOwnIsRefused) {
    TempDir dir;
    const std::string path = dir.file("r.nsf");
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    const NOTEID id = StoreNote(db, "first");
    ASSERT_NE(id, 0u);
    DbClose(db);

    // A trigger that empties the database with the next item written.
    ASSERT_EQ(RunElsewhere(path, "CREATE TRIGGER wipe AFTER INSERT ON items BEGIN DELETE FROM notes; "
                                 "DELETE FROM items; END"),
              SQLITE_OK);
    EXPECT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
    ASSERT_EQ(RunElsewhere(path, "DROP TRIGGER wipe"), SQLITE_OK);
    EXPECT_EQ(Reopened(path, id), "first");

    // A view in the place of the notes, yielding rows without end.
    ASSERT_EQ(RunElsewhere(path, "ALTER TABLE notes RENAME TO kept; CREATE VIEW notes AS WITH RECURSIVE n(id) AS "
                                 "(SELECT 256 UNION ALL SELECT id + 4 FROM n) SELECT n.id AS note_id, k.unid, k.oid, "
                                 "k.class, k.created, k.modified, k.accessed, k.added, k.encrypted FROM n, kept AS k"),
              SQLITE_OK);
    EXPECT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
    ASSERT_EQ(RunElsewhere(path, "DROP VIEW notes; ALTER TABLE kept RENAME TO notes"), SQLITE_OK);
    EXPECT_EQ(Reopened(path, id), "first");

    // Objects read through a module's code.
    if (RunElsewhere(path, "ALTER TABLE objects RENAME TO kept; "
                           "CREATE VIRTUAL TABLE objects USING fts5(object_id, class, bytes)") == SQLITE_OK) {
        EXPECT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
        ASSERT_EQ(RunElsewhere(path, "DROP TABLE objects; ALTER TABLE kept RENAME TO objects"), SQLITE_OK);
        EXPECT_EQ(Reopened(path, id), "first");
    }

    // Item values computed as they are read: a small file would give values
    // of hundreds of megabytes.
    ASSERT_EQ(RunElsewhere(path, "ALTER TABLE items RENAME TO kept; CREATE TABLE items(item_id INTEGER PRIMARY KEY, "
                                 "note_id INTEGER NOT NULL, position INTEGER NOT NULL, name BLOB NOT NULL, flags "
                                 "INTEGER NOT NULL, data_type INTEGER NOT NULL, value BLOB AS "
                                 "(X'0005' || zeroblob(300000000)) VIRTUAL); INSERT INTO items SELECT item_id, "
                                 "note_id, position, name, flags, data_type FROM kept; DROP TABLE kept"),
              SQLITE_OK);
    EXPECT_EQ(DbOpen(path.c_str(), &db), ERR_NOT_A_DATABASE);
    EXPECT_EQ(Reopened(path, id), "(no database)");
}

// Whether this process holds a lock on the file (as /proc/locks lists them:
// "1: POSIX ADVISORY READ <pid> <device>:<inode> <start> <end>"). The list
// is read in pieces, and locks that other processes take and drop while it
// is read can make it pass over an entry: a lock held throughout shows in
// one of a few readings.
bool HoldsLockOn(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    const std::string pid = " " + std::to_string(::getpid()) + " ";
    const std::string inode = ":" + std::to_string(info.st_ino) + " ";
    for (int reading = 0; reading < 20; ++reading) {
        std::ifstream locks("/proc/locks");
        for (std::string line; std::getline(locks, line);) {
            if (line.find(pid) != std::string::npos && line.find(inode) != std::string::npos) return true;
        }
    }
    return false;
}

// An open database holds a lock on its file for as long as it is open, also
// when it was open before: that is how another process closing the file
// knows that it is not the last to use it, and leaves the file's log (which
// holds this process's latest writes) in place.
TEST(Reopen, AnOpenDatabaseKeepsItsHoldOnTheFile) {
    TempDir dir;
    const std::string path = dir.file("r.nsf");
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    ASSERT_NE(StoreNote(db, "first"), 0u);
    EXPECT_TRUE(HoldsLockOn(path));
    DbClose(db);
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(DbOpen(path.c_str(), &db), NOERROR);
        EXPECT_NE(StoreNote(db, "again"), 0u);
        EXPECT_TRUE(HoldsLockOn(path)) << round;
        DbClose(db);
    }
}

} // namespace
