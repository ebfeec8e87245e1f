// Feeds the database reader files whose rows lie: a database made once per
// run is copied for each input, the input's rows are written into the copy
// straight through SQLite (as a damaged or crafted file would hold them:
// any note id, class and header field sizes, items of any name, position,
// flags and value, database objects, the next note id), and the copy is
// then opened and read the way the program reads a database: every note
// listed, opened and closed, every item asked for its name, value, text,
// number, time and list entries, the design collection and the views
// built, and the whole file checked. Whatever the rows, every call must end
// with a status (never a crash, an overread or a read without end), and
// nothing may stay open or allocated afterwards.
//
// The input is a series of rows, each a kind byte and its fields, every
// field cut at the input's end:
//   0 note:   id (4 bytes, or 8 when the kind's high bit is set), class (2),
//             sizes of the originator id and of the created time (1 each),
//             the encrypted mark (1)
//   1 item:   note id (4), position (2), flags (2), name length (1) and
//             name, value length (2) and value (data-type word first)
//   2 object: class (2), length (2) and bytes
//   3 next note id (8)
#include <sqlite3.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz_support.h"
#include "platform/testing.h"
#include "talix_platform.h"

namespace {

// Reads the fields of a row, each little-endian and cut at the input's end.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;

    bool More() const { return at < size; }
    std::uint64_t Number(std::size_t bytes) {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes && at < size; ++i) value |= std::uint64_t{data[at++]} << (8 * i);
        return value;
    }
    std::vector<std::uint8_t> Bytes(std::size_t length) {
        const std::size_t taken = length < size - at ? length : size - at;
        std::vector<std::uint8_t> bytes(data + at, data + at + taken);
        at += taken;
        return bytes;
    }
};

// A statement of the writing connection; aborts when it cannot be made
// (the table the run made is ours, so that is never the input's doing).
struct Insert {
    sqlite3_stmt* stmt = nullptr;
    Insert(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) abort();
    }
    ~Insert() { sqlite3_finalize(stmt); }
    void Blob(int index, const std::vector<std::uint8_t>& bytes) {
        static const std::uint8_t empty = 0;
        sqlite3_bind_blob(stmt, index, bytes.empty() ? &empty : bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    }
    // Runs it; a row the table's constraints refuse is left out.
    void Run() {
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
};

std::vector<std::uint8_t> Filled(std::size_t length, std::uint8_t byte) {
    return std::vector<std::uint8_t>(length, byte);
}

// Writes the input's rows into the file at path.
void WriteRows(const std::string& path, Input input) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) abort();
    // A scratch copy: nothing of it needs to reach the disk.
    sqlite3_exec(db, "PRAGMA synchronous = OFF; BEGIN", nullptr, nullptr, nullptr);
    {
        Insert note(db, "INSERT OR IGNORE INTO notes(note_id, unid, oid, class, created, modified, accessed, added,"
                        " encrypted) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        Insert item(db, "INSERT OR IGNORE INTO items(note_id, position, name, flags, data_type, value)"
                        " VALUES (?, ?, ?, ?, ?, ?)");
        Insert object(db, "INSERT OR IGNORE INTO objects(class, bytes) VALUES (?, ?)");
        Insert next(db, "UPDATE dbinfo SET next_note_id = ? WHERE id = 1");
        while (input.More()) {
            const std::uint8_t kind = static_cast<std::uint8_t>(input.Number(1));
            switch (kind & 3) {
            case 0: {
                const auto id = static_cast<sqlite3_int64>(input.Number((kind & 0x80) != 0 ? 8 : 4));
                const auto noteClass = static_cast<sqlite3_int64>(input.Number(2));
                const auto oidSize = static_cast<std::size_t>(input.Number(1) % 49);
                const auto createdSize = static_cast<std::size_t>(input.Number(1) % 17);
                const auto encrypted = static_cast<sqlite3_int64>(input.Number(1));
                std::vector<std::uint8_t> unid = Filled(16, 0);
                std::memcpy(unid.data(), &id, sizeof id);
                sqlite3_bind_int64(note.stmt, 1, id);
                note.Blob(2, unid);
                note.Blob(3, Filled(oidSize, static_cast<std::uint8_t>(id)));
                sqlite3_bind_int64(note.stmt, 4, noteClass);
                note.Blob(5, Filled(createdSize, 1));
                note.Blob(6, Filled(8, 2));
                note.Blob(7, Filled(8, 3));
                note.Blob(8, Filled(8, 4));
                sqlite3_bind_int64(note.stmt, 9, encrypted);
                note.Run();
                break;
            }
            case 1: {
                const auto id = static_cast<sqlite3_int64>(input.Number(4));
                const auto position = static_cast<sqlite3_int64>(static_cast<std::int16_t>(input.Number(2)));
                const auto flags = static_cast<sqlite3_int64>(input.Number(2));
                const std::vector<std::uint8_t> name = input.Bytes(static_cast<std::size_t>(input.Number(1)));
                const std::vector<std::uint8_t> value = input.Bytes(static_cast<std::size_t>(input.Number(2)));
                sqlite3_bind_int64(item.stmt, 1, id);
                sqlite3_bind_int64(item.stmt, 2, position);
                item.Blob(3, name);
                sqlite3_bind_int64(item.stmt, 4, flags);
                sqlite3_bind_int64(item.stmt, 5, value.size() >= 2 ? value[0] | value[1] << 8 : 0);
                item.Blob(6, value);
                item.Run();
                break;
            }
            case 2: {
                sqlite3_bind_int64(object.stmt, 1, static_cast<sqlite3_int64>(input.Number(2)));
                object.Blob(2, input.Bytes(static_cast<std::size_t>(input.Number(2))));
                object.Run();
                break;
            }
            default:
                sqlite3_bind_int64(next.stmt, 1, static_cast<sqlite3_int64>(input.Number(8)));
                next.Run();
                break;
            }
        }
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (sqlite3_close(db) != SQLITE_OK) abort();
}

// Reads every item of an open note as the program's readers do.
void ReadItems(plat::NOTEHANDLE note) {
    plat::ItemScan(note, [note](plat::BLOCKID item) -> plat::STATUS {
        char name[256] = {};
        plat::WORD flags = 0, dataType = 0;
        plat::BLOCKID value{};
        plat::DWORD length = 0;
        if (plat::ItemQuery(item, name, sizeof name, &flags, &dataType, &value, &length) != 0) return 0;
        char text[512];
        plat::ItemGetText(note, name, text, sizeof text);
        plat::NUMBER number = 0;
        plat::ItemGetNumber(note, name, &number);
        plat::TIMEDATE time{};
        plat::ItemGetTime(note, name, &time);
        const plat::WORD count = plat::ItemTextListCount(note, name);
        for (plat::WORD i = 0; i < count && i < 64; ++i) {
            plat::WORD entryLength = 0;
            plat::ItemTextListEntry(note, name, i, text, sizeof text, &entryLength);
        }
        return 0;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static talix_fuzz::ScratchDirectory scratch;
    static const std::string pristine = [] {
        const std::string path = scratch.directory + "/pristine.nsf";
        plat::DBHANDLE db = 0;
        if (plat::DbCreate(path.c_str(), &db) != 0) abort();
        plat::DbClose(db);
        return path;
    }();
    static unsigned round = 0;
    // A file of its own per input: a file of the same name would be opened
    // through the connection kept from the last input's.
    const std::string path = scratch.directory + "/input-" + std::to_string(round++) + ".nsf";
    std::error_code error;
    if (!std::filesystem::copy_file(pristine, path, error)) abort();
    WriteRows(path, Input{data, size});

    plat::DBHANDLE db = 0;
    if (plat::DbOpen(path.c_str(), &db) == 0) {
        std::vector<plat::NOTEID> notes;
        std::vector<plat::NOTEID> views{plat::NOTEID_DESIGN_COLLECTION};
        plat::DbScanNotes(db, [&](plat::NOTEID id, plat::WORD noteClass) -> plat::STATUS {
            notes.push_back(id);
            if ((noteClass & ~plat::NOTE_CLASS_DEFAULT) == plat::NOTE_CLASS_VIEW && views.size() < 8) views.push_back(id);
            return 0;
        });
        for (plat::NOTEID id : notes) {
            plat::NOTEHANDLE note = 0;
            if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != 0) continue;
            ReadItems(note);
            plat::NoteClose(note);
        }
        // The design collection and the views: their entries built from
        // the notes and the views' own items.
        for (plat::NOTEID id : views) {
            plat::HCOLLECTION collection = 0;
            if (plat::CollectionOpen(db, id, &collection) == 0) plat::CollectionClose(collection);
        }
        std::vector<plat::DbProblem> problems;
        plat::DbCheck(db, &problems);
        plat::DbClose(db);
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, error);
    if (plat::MemLiveCount() != 0 || plat::TestOpenNotes() != 0) abort();
    return 0;
}
