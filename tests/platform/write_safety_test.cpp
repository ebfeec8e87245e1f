// Writes that land whole or not at all: a database whose write lock another
// connection holds, database objects kept exactly as long as a stored note
// names them, and the check that finds what is wrong in a database.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"
#include "view_index.h"

namespace {

using namespace plat;
using talix_test::IniOverride;
using talix_test::TempDir;

// A connection of its own on a database file, as another process has one.
class OtherConnection {
public:
    explicit OtherConnection(const std::string& path) { EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK); }
    ~OtherConnection() { sqlite3_close(db_); }
    OtherConnection(const OtherConnection&) = delete;
    OtherConnection& operator=(const OtherConnection&) = delete;
    int Run(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    // The number the query gives (-1 when it gives none).
    long long Number(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        long long number = -1;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            number = sqlite3_column_int64(stmt, 0);
        sqlite3_finalize(stmt);
        return number;
    }
    long long Count(const char* table) { return Number(std::string("SELECT count(*) FROM ") + table); }

private:
    sqlite3* db_ = nullptr;
};

std::string Unid(int n) {
    char text[33];
    std::snprintf(text, sizeof text, "0000000000000001%016X", n);
    return text;
}

// A note of a DXL file: a Subject and, when asked, an attachment.
std::string DxlNote(int n, const std::string& subject, bool attachment) {
    std::string note = "<note class='document'><noteinfo unid='" + Unid(n) + "'/><item name='Subject'><text>" +
                       subject + "</text></item>";
    if (attachment) {
        note += "<item name='$FILE'><object><file name='f" + std::to_string(n) +
                ".txt'><filedata>aGVsbG8=</filedata></file></object></item>";
    }
    return note + "</note>";
}

std::string Dxl(const std::vector<std::string>& notes) {
    std::string text = "<database>";
    for (const auto& note : notes) text += note;
    return text + "</database>";
}

// Everything a database holds, byte for byte: each note's header fields and
// items, and the bytes of the objects they name.
std::string Dump(DBHANDLE db) {
    std::string dump;
    DbScanNotes(db, [&](NOTEID id, WORD) -> STATUS {
        NOTEHANDLE note = NULLHANDLE;
        EXPECT_EQ(NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
        ORIGINATORID oid;
        TIMEDATE modified;
        NoteGetInfo(note, NOTE_FIELD_OID, &oid);
        NoteGetInfo(note, NOTE_FIELD_MODIFIED, &modified);
        dump += "note " + std::to_string(id) + " ";
        dump.append(reinterpret_cast<const char*>(&oid), sizeof oid);
        dump.append(reinterpret_cast<const char*>(&modified), sizeof modified);
        ItemScan(note, [&](BLOCKID item) -> STATUS {
            char name[256];
            WORD flags = 0, type = 0;
            BLOCKID value;
            DWORD length = 0;
            ItemQuery(item, name, sizeof name, &flags, &type, &value, &length);
            const auto* bytes = static_cast<const char*>(BlockLock(value));
            dump += std::string(" item ") + name + " " + std::to_string(flags) + " ";
            dump.append(bytes, length);
            if (type == TYPE_OBJECT && length >= 8) {
                DWORD object = 0;
                std::memcpy(&object, bytes + 4, 4);
                DHANDLE block = NULLHANDLE;
                EXPECT_EQ(DbReadObject(db, object, 0, 0xFFFFFFFF, &block), NOERROR);
                dump += " object ";
                if (block != NULLHANDLE) dump.append(static_cast<const char*>(MemLock(block)), MemSize(block));
                MemFree(block);
            }
            BlockUnlock(value);
            return NOERROR;
        });
        NoteClose(note);
        return NOERROR;
    });
    return dump;
}

std::vector<DbProblem> Problems(DBHANDLE db) {
    std::vector<DbProblem> problems;
    EXPECT_EQ(DbCheck(db, &problems), NOERROR);
    return problems;
}

struct Fixture {
    TempDir dir;
    std::string path = dir.file("w.nsf");
    DBHANDLE db = NULLHANDLE;
    Fixture() { EXPECT_EQ(DbCreate(path.c_str(), &db), NOERROR); }
    ~Fixture() { DbClose(db); }
    STATUS Import(const std::string& text, DxlImportResult* result) {
        return DxlImportText(db, text.data(), text.size(), "in.xml", result);
    }
};

TEST(WriteSafety, AHeldDatabaseChangesNothingAndSaysItIsBusy) {
    Fixture t;
    DxlImportResult seed;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "one", true), DxlNote(2, "two", false), DxlNote(3, "three", true)}), &seed),
              NOERROR) << seed.error;
    const std::string before = Dump(t.db);
    NOTEHANDLE open = NULLHANDLE;
    ASSERT_EQ(NoteOpen(t.db, seed.notes[0], OPEN_NOTE_DEFAULT, &open), NOERROR);

    {
        IniOverride wait("DatabaseBusyWait", "0");
        OtherConnection other(t.path);
        ASSERT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_OK);

        // An import that replaces the stored notes, and one of new notes.
        const std::string replacing = Dxl({DxlNote(1, "new", false), DxlNote(2, "new", true), DxlNote(3, "new", true)});
        const std::string adding = Dxl({DxlNote(7, "seven", true), DxlNote(8, "eight", false)});
        for (const std::string* dxl : {&replacing, &adding}) {
            DxlImportResult result;
            EXPECT_EQ(t.Import(*dxl, &result), ERR_DB_BUSY);
            EXPECT_NE(result.error.find("in.xml: cannot import into the database: the database is busy: another "
                                        "process is writing to it (waited 0 seconds)"),
                      std::string::npos)
                << result.error;
            EXPECT_TRUE(result.notes.empty());
        }

        // The other writes: an update, a new attachment, a delete.
        ASSERT_EQ(ItemSetText(open, "Subject", "changed", 7), NOERROR);
        EXPECT_EQ(NoteUpdate(open, 0), ERR_DB_BUSY);
        std::ofstream(t.dir.file("a.txt")) << "attached";
        EXPECT_EQ(NoteAttachFile(open, "$FILE", 5, t.dir.file("a.txt").c_str(), "a.txt", 0), ERR_DB_BUSY);
        EXPECT_EQ(NoteDelete(t.db, seed.notes[1], 0), ERR_DB_BUSY);
        EXPECT_EQ(Dump(t.db), before);
        other.Run("ROLLBACK");
    }
    EXPECT_EQ(Dump(t.db), before);
    EXPECT_TRUE(Problems(t.db).empty());
    // The note kept its change in memory and stores it once the lock is free.
    EXPECT_EQ(NoteUpdate(open, 0), NOERROR);
    NoteClose(open);

    // A write waits for a lock released within the busy wait.
    {
        IniOverride wait("DatabaseBusyWait", "20");
        OtherConnection other(t.path);
        ASSERT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_OK);
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            other.Run("ROLLBACK");
        });
        DxlImportResult result;
        EXPECT_EQ(t.Import(Dxl({DxlNote(1, "new", false), DxlNote(9, "nine", true)}), &result), NOERROR)
            << result.error;
        release.join();
        EXPECT_EQ(result.notes.size(), 2u);
    }
    // The attachment of the replaced note 1 went with its old content.
    EXPECT_TRUE(Problems(t.db).empty());
    EXPECT_EQ(OtherConnection(t.path).Count("objects"), 2);
}

// The write lock of a command that reads a note and saves it: other
// processes wait for it, every handle of the file in this process writes
// within it, and what was written lands when it is released.
TEST(WriteSafety, TheWriteLockHoldsOtherWritersOffUntilItIsReleased) {
    Fixture t;
    DxlImportResult seed;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "one", true), DxlNote(2, "two", false)}), &seed), NOERROR) << seed.error;
    const std::string subjectIs = "SELECT count(*) FROM items WHERE name = CAST('Subject' AS BLOB) AND substr(value, 3) = ";
    OtherConnection other(t.path);
    const long long untouched = other.Number("SELECT item_id FROM items WHERE name = CAST('$FILE' AS BLOB)");
    DBHANDLE second = NULLHANDLE;
    ASSERT_EQ(DbOpen(t.path.c_str(), &second), NOERROR);
    {
        IniOverride wait("DatabaseBusyWait", "0");
        ASSERT_EQ(DbWriteLock(t.db), NOERROR);
        EXPECT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_BUSY);
        NOTEHANDLE note = NULLHANDLE;
        ASSERT_EQ(NoteOpen(second, seed.notes[0], 0, &note), NOERROR);
        ASSERT_EQ(ItemSetText(note, "Subject", "locked", 6), NOERROR);
        EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
        NoteClose(note);
        EXPECT_EQ(other.Number(subjectIs + "CAST('locked' AS BLOB)"), 0);

        // Taken again it nests: an import inside it that fails takes only
        // its own notes back.
        ASSERT_EQ(DbWriteLock(second), NOERROR);
        DxlImportResult failed;
        TestFailUpdateAfterItems(0);
        EXPECT_EQ(t.Import(Dxl({DxlNote(2, "new", false), DxlNote(5, "five", true)}), &failed), ERR_INJECTED);
        TestFailUpdateAfterItems(-1);
        EXPECT_EQ(DbWriteUnlock(second), NOERROR);
        EXPECT_EQ(DbWriteUnlock(t.db), NOERROR);
        EXPECT_EQ(DbWriteUnlock(t.db), ERR_BAD_ARGUMENT);
    }
    EXPECT_EQ(other.Number(subjectIs + "CAST('locked' AS BLOB)"), 1);
    EXPECT_EQ(other.Number(subjectIs + "CAST('two' AS BLOB)"), 1);
    EXPECT_EQ(other.Count("notes"), 2);
    // The update wrote the changed item only: the attachment's row stays.
    EXPECT_EQ(other.Number("SELECT item_id FROM items WHERE name = CAST('$FILE' AS BLOB)"), untouched);

    // A lock its handle still holds when closed lands with it.
    ASSERT_EQ(DbWriteLock(second), NOERROR);
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(t.db, seed.notes[1], 0, &note), NOERROR);
    ASSERT_EQ(ItemSetText(note, "Subject", "closed", 6), NOERROR);
    EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
    EXPECT_EQ(DbClose(second), NOERROR);
    EXPECT_EQ(other.Number(subjectIs + "CAST('closed' AS BLOB)"), 1);

    // Held by another process past the busy wait: refused.
    IniOverride wait("DatabaseBusyWait", "0");
    ASSERT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_OK);
    EXPECT_EQ(DbWriteLock(t.db), ERR_DB_BUSY);
    other.Run("ROLLBACK");
    EXPECT_TRUE(Problems(t.db).empty());
}

// A lock taken with the first write: other writers go on while the change
// reads and prepares (an attachment among it, whose object needs no write);
// a change whose database another writer changed meanwhile lands nothing
// and says so; one left alone lands whole, and the object ids it gave out
// stay its own.
TEST(WriteSafety, ALockTakenWithTheFirstWriteLetsOthersWriteMeanwhile) {
    Fixture t;
    DxlImportResult seed;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "one", true), DxlNote(2, "two", false)}), &seed), NOERROR) << seed.error;
    std::ofstream(t.dir.file("a.txt")) << "attached";
    const std::string file = t.dir.file("a.txt");
    const std::string subjectIs = "SELECT count(*) FROM items WHERE name = CAST('Subject' AS BLOB) AND substr(value, 3) = ";
    IniOverride wait("DatabaseBusyWait", "0");
    OtherConnection other(t.path);

    // Another writer holds the database while the change prepares, or
    // changes it and goes: the change gives way at once, nothing lands.
    const std::string before = Dump(t.db);
    for (const bool held : {true, false}) {
        ASSERT_EQ(DbWriteLockDeferred(t.db), NOERROR);
        EXPECT_TRUE(DbWriteLockHeld(t.db));
        NOTEHANDLE note = NULLHANDLE;
        ASSERT_EQ(NoteOpen(t.db, seed.notes[1], 0, &note), NOERROR);
        ASSERT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_OK);
        ASSERT_EQ(ItemSetText(note, "Subject", "mine", 4), NOERROR);
        EXPECT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "a.txt", 0), NOERROR);
        if (held) EXPECT_EQ(NoteUpdate(note, 0), ERR_DB_CHANGED);
        ASSERT_EQ(other.Run("UPDATE dbinfo SET next_note_id = next_note_id + 4"), SQLITE_OK);
        ASSERT_EQ(other.Run("COMMIT"), SQLITE_OK);
        EXPECT_EQ(NoteUpdate(note, 0), ERR_DB_CHANGED);
        NoteClose(note);
        EXPECT_EQ(DbWriteUnlock(t.db), ERR_DB_CHANGED);
        EXPECT_FALSE(DbWriteLockHeld(t.db));
        EXPECT_EQ(Dump(t.db), before);
        EXPECT_EQ(other.Count("objects"), 1);
    }

    // Left alone, the change lands whole when the lock is released.
    ASSERT_EQ(DbWriteLockDeferred(t.db), NOERROR);
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(t.db, seed.notes[1], 0, &note), NOERROR);
    ASSERT_EQ(ItemSetText(note, "Subject", "mine", 4), NOERROR);
    ASSERT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "a.txt", 0), NOERROR);
    DWORD pending = 0;
    ASSERT_EQ(DbAllocObject(t.db, 4, OBJECT_CLASS_FILE, &pending), NOERROR);
    EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
    EXPECT_EQ(other.Number(subjectIs + "CAST('mine' AS BLOB)"), 0);
    EXPECT_EQ(DbWriteUnlock(t.db), NOERROR);
    EXPECT_EQ(other.Number(subjectIs + "CAST('mine' AS BLOB)"), 1);
    EXPECT_EQ(other.Count("objects"), 2);
    // The object no note named yet keeps its id: the next one gets another.
    DWORD later = 0;
    ASSERT_EQ(DbAllocObject(t.db, 4, OBJECT_CLASS_FILE, &later), NOERROR);
    EXPECT_GT(later, pending);
    ASSERT_EQ(NoteOpen(t.db, seed.notes[0], 0, &note), NOERROR);
    ASSERT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "b.txt", 0), NOERROR);
    EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
    EXPECT_EQ(other.Count("objects"), 3);
    EXPECT_TRUE(Problems(t.db).empty());
}

// An import reads and parses every file before it takes the lock: a file
// that does not read is reported as such, even while another process holds
// the database, and a FIFO is refused without waiting for a writer.
TEST(WriteSafety, AnImportReadsItsFilesBeforeItTakesTheLock) {
    Fixture t;
    const std::string good = t.dir.file("good.xml");
    const std::string bad = t.dir.file("bad.xml");
    const std::string fifo = t.dir.file("fifo.xml");
    std::ofstream(good) << Dxl({DxlNote(1, "one", true)});
    std::ofstream(bad) << "<database><note class='document'><item name='A'><text>x</item></note></database>";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniOverride wait("DatabaseBusyWait", "0");
    {
        OtherConnection other(t.path);
        ASSERT_EQ(other.Run("BEGIN IMMEDIATE"), SQLITE_OK);
        DxlImportResult result;
        EXPECT_EQ(DxlImportFiles(t.db, {good, bad}, &result), ERR_DXL_XML);
        EXPECT_EQ(result.error.find("busy"), std::string::npos) << result.error;
        EXPECT_NE(result.error.find("bad.xml"), std::string::npos) << result.error;
        EXPECT_EQ(DxlImportFiles(t.db, {good, fifo}, &result), ERR_DXL_FILE);
        EXPECT_EQ(result.error, fifo + " is a FIFO, not a regular file");
        EXPECT_EQ(DxlImportFiles(t.db, {good}, &result), ERR_DB_BUSY);
        other.Run("ROLLBACK");
    }
    DxlImportResult result;
    EXPECT_EQ(DxlImportFiles(t.db, {good, good}, &result), NOERROR) << result.error;
    EXPECT_EQ(result.notes.size(), 1u);
    EXPECT_TRUE(Problems(t.db).empty());
}

TEST(WriteSafety, ObjectsLiveAsLongAsAStoredNoteNamesThem) {
    Fixture t;
    std::ofstream(t.dir.file("a.txt")) << "attached bytes";
    const std::string file = t.dir.file("a.txt");
    OtherConnection reader(t.path);

    // Attached but never stored: nothing stays behind, while the note reads it.
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(t.db, &note), NOERROR);
    ASSERT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "a.txt", 0), NOERROR);
    BLOCKID item;
    ASSERT_EQ(ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr), NOERROR);
    DHANDLE data = NULLHANDLE;
    DWORD size = 0;
    ASSERT_EQ(NoteReadAttachment(note, item, &data, &size), NOERROR);
    EXPECT_EQ(std::string(static_cast<const char*>(MemLock(data)), size), "attached bytes");
    MemFree(data);
    EXPECT_EQ(reader.Count("objects"), 0);
    NoteClose(note);
    DbClose(t.db);
    ASSERT_EQ(DbOpen(t.path.c_str(), &t.db), NOERROR);
    EXPECT_EQ(reader.Count("objects"), 0);

    // A failed update stores nothing; the next one stores note and object.
    ASSERT_EQ(NoteCreate(t.db, &note), NOERROR);
    ASSERT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "a.txt", 0), NOERROR);
    TestFailUpdateAfterItems(1);
    EXPECT_EQ(NoteUpdate(note, 0), ERR_INJECTED);
    TestFailUpdateAfterItems(-1);
    EXPECT_EQ(reader.Count("objects"), 0);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    EXPECT_EQ(reader.Count("objects"), 1);
    NOTEID first = 0;
    NoteGetInfo(note, NOTE_FIELD_ID, &first);

    // A copy stored as a note of its own names the same object: deleting
    // one note keeps it for the other, deleting both frees it.
    NOTEHANDLE copy = NULLHANDLE;
    ASSERT_EQ(NoteCopy(note, &copy), NOERROR);
    NoteClose(note);
    ORIGINATORID oid;
    ASSERT_EQ(DbGenerateOID(t.db, &oid), NOERROR);
    NOTEID none = 0;
    NoteSetInfo(copy, NOTE_FIELD_ID, &none);
    NoteSetInfo(copy, NOTE_FIELD_OID, &oid);
    ASSERT_EQ(NoteUpdate(copy, 0), NOERROR);
    NOTEID second = 0;
    NoteGetInfo(copy, NOTE_FIELD_ID, &second);
    ASSERT_EQ(NoteDelete(t.db, first, 0), NOERROR);
    ASSERT_EQ(ItemInfo(copy, "$FILE", 5, &item, nullptr, nullptr, nullptr), NOERROR);
    ASSERT_EQ(NoteReadAttachment(copy, item, &data, &size), NOERROR);
    MemFree(data);
    EXPECT_EQ(reader.Count("objects"), 1);

    // Detached and stored without it: freed with that update.
    ASSERT_EQ(NoteDetachFile(copy, item), NOERROR);
    EXPECT_EQ(reader.Count("objects"), 1);   // the stored note still names it
    ASSERT_EQ(NoteUpdate(copy, 0), NOERROR);
    EXPECT_EQ(reader.Count("objects"), 0);
    NoteClose(copy);

    // A deleted note takes its attachment with it.
    ASSERT_EQ(NoteCreate(t.db, &note), NOERROR);
    ASSERT_EQ(NoteAttachFile(note, "$FILE", 5, file.c_str(), "a.txt", 0), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteGetInfo(note, NOTE_FIELD_ID, &first);
    NoteClose(note);
    EXPECT_EQ(reader.Count("objects"), 1);
    ASSERT_EQ(NoteDelete(t.db, first, 0), NOERROR);
    EXPECT_EQ(reader.Count("objects"), 0);
    EXPECT_EQ(NoteDelete(t.db, second, 0), NOERROR);
    EXPECT_TRUE(Problems(t.db).empty());
}

TEST(WriteSafety, NoObjectIdIsGivenOutTwiceAcrossConnections) {
    Fixture t;
    OtherConnection other(t.path);
    // This handle allocates many objects (it reserves ids ahead); between
    // them another writer of the file takes ids from the sequence as the
    // platform does.
    std::set<long long> ids;
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(t.db, &note), NOERROR);
    for (int n = 0; n < 600; ++n) {
        DWORD id = 0;
        ASSERT_EQ(DbAllocObject(t.db, 1, OBJECT_CLASS_FILE, &id), NOERROR);
        EXPECT_TRUE(ids.insert(id).second) << id;
        BYTE descriptor[6] = {};
        std::memcpy(descriptor + 2, &id, 4);
        ASSERT_EQ(ItemAppend(note, 0, "$FILE", 5, TYPE_OBJECT, descriptor, sizeof descriptor), NOERROR);
        if (n % 50 == 0) {
            ASSERT_EQ(other.Run("UPDATE sqlite_sequence SET seq = seq + 1 WHERE name = 'objects'"), SQLITE_OK);
            const long long taken = other.Number("SELECT seq FROM sqlite_sequence WHERE name = 'objects'");
            EXPECT_TRUE(ids.insert(taken).second) << taken;
        }
    }
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
    EXPECT_EQ(other.Count("objects"), 600);
    // A handle opened later gives out none of them either.
    DbClose(t.db);
    ASSERT_EQ(DbOpen(t.path.c_str(), &t.db), NOERROR);
    DWORD later = 0;
    ASSERT_EQ(DbAllocObject(t.db, 1, OBJECT_CLASS_FILE, &later), NOERROR);
    EXPECT_EQ(ids.count(later), 0u);
    EXPECT_TRUE(Problems(t.db).empty());
}

TEST(WriteSafety, TheCheckFindsOrphansMissingObjectsAndUnreadableNotes) {
    Fixture t;
    DxlImportResult result;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "one", true), DxlNote(2, "two", false)}), &result), NOERROR) << result.error;
    EXPECT_TRUE(Problems(t.db).empty());

    // A note naming an object that is not there.
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(t.db, &note), NOERROR);
    const BYTE descriptor[6] = {0, 0, 0x39, 0x30, 0, 0};   // object 12345
    ASSERT_EQ(ItemAppend(note, 0, "$FILE", 5, TYPE_OBJECT, descriptor, sizeof descriptor), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID dangling = 0;
    NoteGetInfo(note, NOTE_FIELD_ID, &dangling);
    NoteClose(note);
    {
        // What only damage or another program leaves: an object no note
        // names, an item without a value.
        OtherConnection other(t.path);
        ASSERT_EQ(other.Run("INSERT INTO objects(class, bytes) VALUES (1, x'0102')"), SQLITE_OK);
        ASSERT_EQ(other.Run("UPDATE items SET value = x'00' WHERE name = CAST('Subject' AS BLOB) AND note_id = " +
                            std::to_string(result.notes[1])),
                  SQLITE_OK);
    }
    std::vector<DbProblem> problems = Problems(t.db);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].note, dangling);
    EXPECT_EQ(problems[0].what, "item '$FILE' names object 12345, which does not exist");
    EXPECT_EQ(problems[1].note, 0u);
    EXPECT_NE(problems[1].object, 0u);
    EXPECT_EQ(problems[1].what, "no note names it");
    EXPECT_EQ(problems[2].note, result.notes[1]);
    EXPECT_EQ(problems[2].what.rfind("its items do not read back", 0), 0u) << problems[2].what;

    // Notes stored under ids no note can have: 0, one past 32 bits (which
    // read as the id of the first note) and a negative one are named by the
    // ids they have, and the note whose id the long one would read as is
    // not blamed for it.
    const std::string past = std::to_string((1LL << 32) + result.notes[0]);
    {
        OtherConnection other(t.path);
        const std::string first = std::to_string(result.notes[0]);
        for (const std::string& id : {std::string("0"), past, std::string("-4")}) {
            ASSERT_EQ(other.Run("INSERT INTO notes SELECT " + id + ", randomblob(16), oid, class, created, modified, "
                                "accessed, added, encrypted FROM notes WHERE note_id = " + first),
                      SQLITE_OK);
        }
    }
    problems = Problems(t.db);
    ASSERT_EQ(problems.size(), 6u);
    std::vector<std::string> database;
    for (const DbProblem& problem : problems) {
        if (problem.note == 0 && problem.object == 0) database.push_back(problem.what);
        EXPECT_NE(problem.note, result.notes[0]) << problem.what;
    }
    EXPECT_EQ(database, (std::vector<std::string>{"a note is stored under id -4, which no note can have",
                                                  "a note is stored under id 0, which no note can have",
                                                  "a note is stored under id " + past + ", which no note can have"}));
}

// A note stored under an id with the top bit set (the mark of a view's
// category entries) and items stored for no note are what the check
// reports; such a note is read by nothing else, so that no view takes it
// for a category and no category's id opens it.
TEST(WriteSafety, NotesUnderCategoryIdsAndItemsOfNoNote) {
    Fixture t;
    DxlImportResult result;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "one", false), DxlNote(2, "two", false)}), &result), NOERROR) << result.error;
    NOTEID view = 0;
    ASSERT_EQ(ViewNoteCreate(t.db, ViewDefinition{"Subjects", "", {"Subject"}, {"categorized"}}, &view), NOERROR);
    const NOTEID high = NOTEID_CATEGORY | 1;   // the id of the view's first category entry
    const long long past = (1LL << 32) + 0x500;
    long long items = 0;
    {
        OtherConnection other(t.path);
        const std::string first = std::to_string(result.notes[0]), second = std::to_string(result.notes[1]);
        for (const char* table : {"notes", "items"}) {
            ASSERT_EQ(other.Run(std::string("UPDATE ") + table + " SET note_id = " + std::to_string(high) +
                                " WHERE note_id = " + second),
                      SQLITE_OK);
        }
        for (long long orphan : {0x500LL, past}) {
            ASSERT_EQ(other.Run("INSERT INTO items(note_id, position, name, flags, data_type, value) SELECT " +
                                std::to_string(orphan) + ", position, name, flags, data_type, value FROM items"
                                " WHERE note_id = " + first),
                      SQLITE_OK);
        }
        items = other.Number("SELECT count(*) FROM items WHERE note_id = " + first);
    }
    ASSERT_GT(items, 0);
    const std::vector<DbProblem> problems = Problems(t.db);
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_EQ(problems[0].note, 0u);
    EXPECT_EQ(problems[0].what, "a note is stored under id " + std::to_string(high) + ", which no note can have");
    EXPECT_EQ(problems[1].note, 0x500u);
    EXPECT_EQ(problems[1].what, std::to_string(items) + " item(s) stored for it, but no such note");
    EXPECT_EQ(problems[2].note, 0u);
    EXPECT_EQ(problems[2].what, std::to_string(items) + " item(s) stored for note id " + std::to_string(past) +
                                    ", which no note is stored under");

    std::vector<NOTEID> listed;
    ASSERT_EQ(DbScanNotes(t.db, [&](NOTEID id, WORD) -> STATUS {
                  listed.push_back(id);
                  return NOERROR;
              }),
              NOERROR);
    EXPECT_EQ(listed, (std::vector<NOTEID>{result.notes[0], view}));
    NOTEHANDLE note = NULLHANDLE;
    EXPECT_EQ(NoteOpen(t.db, high, OPEN_NOTE_DEFAULT, &note), ERR_NOTE_NOT_FOUND);
    EXPECT_EQ(note, NULLHANDLE);
    EXPECT_EQ(NoteDelete(t.db, high, 0), ERR_NOTE_NOT_FOUND);

    // The view holds the category of the one document and the document.
    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(t.db, view, &collection), NOERROR);
    CollectionPosition position;
    DHANDLE block = NULLHANDLE;
    DWORD count = 0;
    bool more = true;
    ASSERT_EQ(CollectionReadEntries(collection, &position, 10, &block, &count, &more), NOERROR);
    ASSERT_EQ(count, 2u);
    const auto* ids = static_cast<const NOTEID*>(MemLock(block));
    EXPECT_EQ(ids[0], high);
    EXPECT_EQ(ids[1], result.notes[0]);
    MemUnlock(block);
    MemFree(block);
    EXPECT_EQ(CollectionClose(collection), NOERROR);
}

TEST(WriteSafety, ADatabaseIsCreatedWholeOrNotAtAll) {
    TempDir dir;
    std::string path = dir.file("c.nsf");
    DBHANDLE first = NULLHANDLE, second = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &first), NOERROR);
    EXPECT_EQ(DbCreate(path.c_str(), &second), ERR_DB_EXISTS);
    EXPECT_EQ(DbCreate(dir.file("missing/c.nsf").c_str(), &second), ERR_BAD_PATH);
    ASSERT_EQ(DbOpen(path.c_str(), &second), NOERROR);
    DbClose(second);
    DbClose(first);
    // Nothing but the database (and its log while open) is left beside it.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        if (name.find("-wal") == std::string::npos && name.find("-shm") == std::string::npos) names.push_back(name);
    }
    EXPECT_EQ(names, std::vector<std::string>{"c.nsf"});
}

} // namespace

// A note opened while another process rewrites it again and again is read
// as one of its states: its header and its items always of the same write.
TEST(WriteSafety, ANoteOpenedWhileAnotherProcessWritesItIsReadWhole) {
    Fixture t;
    DxlImportResult seed;
    ASSERT_EQ(t.Import(Dxl({DxlNote(1, "0", false)}), &seed), NOERROR) << seed.error;
    const NOTEID id = seed.notes[0];
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};
    // Each write stores its number both as the note's modified time and as
    // its Subject.
    std::thread writer([&] {
        OtherConnection other(t.path);
        other.Run("PRAGMA synchronous=OFF");
        for (int k = 1; !stop.load() && k < 200000; ++k) {
            // The Subject's value: the data-type word, then the digits.
            std::string value = "0005";
            for (const char digit : std::to_string(k)) value += "3" + std::string(1, digit);
            char sql[512];
            std::snprintf(sql, sizeof sql,
                          "BEGIN IMMEDIATE; UPDATE notes SET modified = X'%02X%02X%02X%02X00000000' WHERE note_id = %u;"
                          " UPDATE items SET value = X'%s' WHERE note_id = %u AND name = CAST('Subject' AS BLOB);"
                          " COMMIT",
                          k & 0xFF, (k >> 8) & 0xFF, (k >> 16) & 0xFF, (k >> 24) & 0xFF, id, value.c_str(), id);
            if (other.Run(sql) != SQLITE_OK) {
                other.Run("ROLLBACK");
                continue;
            }
            written.store(k);
        }
    });
    int torn = 0, reads = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < until && written.load() < 3000 && torn == 0) {
        NOTEHANDLE note = NULLHANDLE;
        if (NoteOpen(t.db, id, 0, &note) != NOERROR) continue;
        ++reads;
        TIMEDATE modified;
        NoteGetInfo(note, NOTE_FIELD_MODIFIED, &modified);
        char subject[32] = {};
        ItemGetText(note, "Subject", subject, sizeof subject);
        NoteClose(note);
        if (modified.Innards[1] == 0 && std::to_string(modified.Innards[0]) != subject) ++torn;
    }
    stop.store(true);
    writer.join();
    EXPECT_GT(reads, 0);
    EXPECT_EQ(torn, 0) << "after " << reads << " reads and " << written.load() << " writes";
}
