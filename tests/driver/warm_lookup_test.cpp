// Look-ups of one driver context that read the same note again: every
// change stored between two calls is seen by the second, whoever stored it
// (the platform's calls, the library, the driver itself, the talix program
// in another process), and a note deleted between two calls fails the
// second with the status of a note that cannot be opened.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver_calls.h"
#include "support/record_fixture.h"
#include "table_notes.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using namespace talix_test;

using Strings = std::vector<std::string>;

class WarmLookUps : public DriverCallTest {
protected:
    static Records TableRecords(const std::vector<Strings>& texts) {
        Records records = Paragraph("Before");
        AddTable(&records, TextRows(texts));
        return records;
    }
    plat::NOTEID Table(const std::vector<Strings>& texts) { return AddBodyNote("calls.nsf", TableRecords(texts)); }

    static Strings Address(plat::NOTEID id) { return {TextArg(""), TextArg("N" + HexNoteId(id)), TextArg("Body")}; }
    DriverOutcome Lookup(plat::NOTEID id, const std::string& key) {
        Strings args = Address(id);
        args.push_back(TextArg(key));
        args.push_back(NumberArg(2));
        args.push_back(TextArg(""));
        return Call(kDbLookup, args);
    }
    Strings LookupTexts(plat::NOTEID id, const std::string& key) {
        DriverOutcome run = Lookup(id, key);
        EXPECT_EQ(run.status, 0);
        return Texts(run.result);
    }
    Strings ColumnTexts(plat::NOTEID id) {
        Strings args = Address(id);
        args.push_back(NumberArg(2));
        args.push_back(TextArg(""));
        DriverOutcome run = Call(kDbColumn, args);
        EXPECT_EQ(run.status, 0);
        return Texts(run.result);
    }

    // Replaces the stored "Body" of the note through a handle of its own;
    // with keepModified the update keeps the modification time it read, so
    // that only the sequence number tells the change.
    static void ReplaceBody(plat::NOTEID id, const Records& records, bool keepModified = false) {
        plat::DBHANDLE db = plat::NULLHANDLE;
        plat::NOTEHANDLE note = plat::NULLHANDLE;
        ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
        ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
        plat::TIMEDATE modified;
        ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_MODIFIED, &modified), plat::NOERROR);
        plat::ItemDelete(note, "Body", 4);
        ASSERT_EQ(StoreRichTextItem(note, "Body", records), plat::NOERROR);
        if (keepModified) ASSERT_EQ(plat::NoteSetInfo(note, plat::NOTE_FIELD_MODIFIED, &modified), plat::NOERROR);
        ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
        plat::NoteClose(note);
        plat::DbClose(db);
    }

    // Runs the talix program in a process of its own; its exit status.
    int Talix(const Strings& args) {
        std::string command = TALIX_CLI_PATH;
        for (const std::string& arg : args) command += " '" + arg + "'";
        command += " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(WarmLookUps, ChangesStoredBetweenTwoCallsAreSeen) {
    const plat::NOTEID id = Table({{"a", "1"}, {"b", "2"}});
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"2"});
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"2"});
    EXPECT_EQ(ColumnTexts(id), (Strings{"1", "2"}));

    // Through the platform's calls, on a handle of their own.
    ReplaceBody(id, TableRecords({{"a", "1"}, {"b", "20"}, {"c", "3"}}));
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"20"});
    EXPECT_EQ(ColumnTexts(id), (Strings{"1", "20", "3"}));

    // A writer that keeps the modification time: the sequence number tells.
    ReplaceBody(id, TableRecords({{"a", "1"}, {"b", "21"}}), true);
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"21"});

    // Through the library, in a session of its own.
    {
        RARIvoSession session;
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", "calls.nsf", id, "Body", 0), 0);
        ZervaRTChunk* table = item.DefineChunk("Table 1");
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->SetText("Row 1; Column 2", "10", 0, nullptr), 0);
        delete table;
        ASSERT_EQ(item.Save(), 0);
    }
    EXPECT_EQ(ColumnTexts(id), (Strings{"10", "21"}));

    // Through the driver itself: a chunk property set and saved.
    DriverOutcome set = Command({TextArg("Text"), TextArg(""), TextArg("N" + HexNoteId(id)),
                                 TextListArg({"Body", "Table 1; Row 2; Column 2"}), TextArg("22")});
    ASSERT_EQ(set.status, 0);
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"22"});

    // By the talix program, in another process.
    const std::string database = (data_.path() / "calls.nsf").string();
    ASSERT_EQ(Talix({"edit", database, std::to_string(id), "Body", "Table 1; Row 2; Column 2", "set-text", "23"}), 0);
    EXPECT_EQ(LookupTexts(id, "b"), Strings{"23"});
    EXPECT_EQ(ColumnTexts(id), (Strings{"10", "23"}));
}

TEST_F(WarmLookUps, ANoteDeletedBetweenTwoCallsFailsTheSecond) {
    const plat::NOTEID gone = Table({{"a", "1"}, {"b", "2"}});
    const plat::NOTEID other = Table({{"x", "9"}});
    EXPECT_EQ(LookupTexts(gone, "b"), Strings{"2"});

    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteDelete(db, gone, plat::DELETE_NOTE_DEFAULT), plat::NOERROR);
    plat::DbClose(db);

    DriverOutcome warm = Lookup(gone, "b");
    EXPECT_NE(warm.status, 0);
    EXPECT_TRUE(warm.result.empty());
    // The same status as a call that never read the note.
    DriverOutcome cold = Lookup(gone, "b");
    EXPECT_EQ(cold.status, warm.status);
    EXPECT_TRUE(cold.result.empty());
    // The context goes on with other notes.
    EXPECT_EQ(LookupTexts(other, "x"), Strings{"9"});
    EXPECT_EQ(Lookup(gone, "b").status, warm.status);
}

TEST_F(WarmLookUps, AnotherItemOrNoteOfTheSameDatabaseIsReadItself) {
    const plat::NOTEID first = Table({{"a", "1"}});
    const plat::NOTEID second = Table({{"a", "2"}});
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(LookupTexts(first, "a"), Strings{"1"});
        EXPECT_EQ(LookupTexts(second, "a"), Strings{"2"});
    }
    // An item the note does not hold: an empty result, not the kept item's.
    Strings args = {TextArg(""), TextArg("N" + HexNoteId(first)), TextArg("Other"), TextArg("a"), NumberArg(2),
                    TextArg("")};
    DriverOutcome missing = Call(kDbLookup, args);
    EXPECT_EQ(missing.status, 0);
    EXPECT_EQ(Texts(missing.result), Strings{""});
    EXPECT_EQ(LookupTexts(first, "a"), Strings{"1"});
}

TEST_F(WarmLookUps, APathThatNamesAnotherFileNowIsReadThere) {
    const plat::NOTEID id = Table({{"a", "1"}});
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"1"});

    // Another data directory whose "calls.nsf" holds a note of the same id.
    TempDir other;
    plat::IniSet("Directory", other.path().string().c_str());
    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbCreate("calls.nsf", &db), plat::NOERROR);
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    ASSERT_EQ(AddBodyNote("calls.nsf", TableRecords({{"a", "2"}})), id);
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"2"});

    plat::IniSet("Directory", data_.path().string().c_str());
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"1"});
}

// The database file removed with its log files and another put in its
// place, as another process would: the calls that follow read the new file,
// and so does every later one.
TEST_F(WarmLookUps, ADatabaseReplacedWholeBetweenTwoCallsIsReadThereAfter) {
    const plat::NOTEID id = Table({{"a", "1"}});
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"1"});
    // Made as the fixture makes its database: a first note, then the table's.
    plat::DBHANDLE db = plat::NULLHANDLE;
    ASSERT_EQ(plat::DbCreate("replacement.nsf", &db), plat::NOERROR);
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteClose(note);
    plat::DbClose(db);
    ASSERT_EQ(AddBodyNote("replacement.nsf", TableRecords({{"a", "2"}})), id);
    const std::string database = (data_.path() / "calls.nsf").string();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(database + suffix);
    std::filesystem::rename(data_.path() / "replacement.nsf", database);
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"2"});
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"2"});
    ReplaceBody(id, TableRecords({{"a", "3"}}));
    EXPECT_EQ(LookupTexts(id, "a"), Strings{"3"});
}

TEST_F(WarmLookUps, ANoteNamedByItsUniversalIdIsReadAgainAfterAChange) {
    const plat::NOTEID id = Table({{"a", "1"}});
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::ORIGINATORID oid;
    ASSERT_EQ(plat::DbOpen("calls.nsf", &db), plat::NOERROR);
    ASSERT_EQ(plat::DbNoteInfo(db, id, &oid, nullptr, nullptr), plat::NOERROR);
    plat::DbClose(db);
    const Strings args = {NoteRefArg(plat::UNID{oid.File, oid.Note}), TextArg("Body"), TextArg("a"), NumberArg(2),
                          TextArg("")};
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), Strings{"1"});
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), Strings{"1"});
    ReplaceBody(id, TableRecords({{"a", "2"}}));
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), Strings{"2"});
    // The universal id of no note of the database.
    const Strings unknown = {NoteRefArg(plat::UNID{oid.File, plat::TIMEDATE{{1, 2}}}), TextArg("Body"), TextArg("a"),
                             NumberArg(2), TextArg("")};
    EXPECT_NE(Call(kDbLookup, unknown).status, 0);
    EXPECT_EQ(Texts(Call(kDbLookup, args).result), Strings{"2"});
}

TEST_F(WarmLookUps, ThreadsTakeTurnsOverTheKeptItem) {
    const plat::NOTEID first = Table({{"a", "1"}, {"b", "2"}});
    const plat::NOTEID second = Table({{"x", "9"}});
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                const bool even = (i + t) % 2 == 0;
                const DriverOutcome run = Lookup(even ? first : second, even ? "b" : "x");
                if (run.status != 0 || Texts(run.result) != Strings{even ? "2" : "9"}) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    ReplaceBody(first, TableRecords({{"b", "3"}}));
    EXPECT_EQ(LookupTexts(first, "b"), Strings{"3"});
}

} // namespace
