// talix import under kills and contention, writers of one note at once, and
// talix check: a file lands whole or not at all, two processes writing at
// once both finish, every change of writers of one note lands, no writer
// waits while another parses its input, input files that are not regular
// files are refused at once, a database the user cannot write is read
// without harm, and the check finds what is wrong in a database.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"
#include "core/address_sanitizer.h"
#include "support/test_support.h"

extern char** environ;

namespace {

using talix_test::CliOutcome;

constexpr int kBigFileNotes = 5000;

// A status of a run through the shell that a kill ended.
bool Killed(int status) { return status == -1 || status == 128 + SIGKILL; }

// A note of a DXL file with a Subject and a small attachment.
std::string DxlNote(int n, const std::string& version) {
    char unid[33];
    std::snprintf(unid, sizeof unid, "00000000000000020000000000%06X", n);
    return std::string("<note class='document'><noteinfo unid='") + unid + "'/><item name='Subject'><text>note " +
           std::to_string(n) + " " + version + "</text></item><item name='$FILE'><object><file name='f" +
           std::to_string(n) + ".txt'><filedata>" + (version == "v1" ? "b25l" : "dHdv") +
           "</filedata></file></object></item></note>\n";
}

std::string DxlFile(int notes, const std::string& version) {
    std::string text = "<database>\n";
    for (int n = 0; n < notes; ++n) text += DxlNote(n, version);
    return text + "</database>\n";
}

class Durability : public talix_test::CliTest {
protected:
    ~Durability() override { unsetenv("NOTES_INI"); }

    // Runs talix in the background, its output going to files of its own.
    pid_t Start(const std::vector<std::string>& args, const std::string& name) {
        std::vector<std::string> all = {TALIX_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : all) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, dir_.file(name + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, dir_.file(name + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // The exit status of a process started with Start; -1 when a signal ended it.
    static int Wait(pid_t pid) {
        int raw = 0;
        if (waitpid(pid, &raw, 0) != pid) return -2;
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // The same, waiting at most the given time: -3, the process killed,
    // when it has not ended by then.
    static int WaitAtMost(pid_t pid, std::chrono::seconds most) {
        const auto end = std::chrono::steady_clock::now() + most;
        int raw = 0;
        while (waitpid(pid, &raw, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid, SIGKILL);
                waitpid(pid, &raw, 0);
                return -3;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    std::string Err(const std::string& name) { return talix_test::ReadFile(dir_.file(name + ".err")); }

    // The names in the folder that begin with the database's, sorted.
    std::vector<std::string> FilesBeside() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("t.nsf", 0) == 0) names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // The stand-in's settings for the talix processes started from here on.
    void Settings(const std::string& lines) {
        std::string ini = Write("notes.ini", lines);
        setenv("NOTES_INI", ini.c_str(), 1);
    }

    // The database holds exactly what one of the listings says, and the
    // check finds nothing wrong in it.
    void ExpectSound(const std::string& db) {
        CliOutcome check = Talix({"check", db});
        EXPECT_EQ(check.status, 0) << check.out << check.err;
        EXPECT_EQ(check.out, "");
    }
};

TEST_F(Durability, AnImportEndedAtAnyPointLeavesAllOrNothing) {
    const std::string first = Write("v1.xml", DxlFile(kBigFileNotes, "v1"));
    const std::string second = Write("v2.xml", DxlFile(kBigFileNotes, "v2"));

    // Ended at its last note, all the others written: nothing lands, not
    // even the database the import was making.
    Settings("TestKillAtNoteWrite=" + std::to_string(kBigFileNotes) + "\n");
    EXPECT_TRUE(Killed(Talix({"import", db_, first}).status));
    unsetenv("NOTES_INI");
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) EXPECT_FALSE(std::filesystem::exists(db_ + suffix)) << suffix;
    EXPECT_EQ(Talix({"notes", db_}).status, 1);

    // What it left beside the name goes with the next import.
    CliOutcome imported = Talix({"import", db_, first});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(FilesBeside(), std::vector<std::string>{"t.nsf"});
    const CliOutcome listed = Talix({"notes", db_});
    ASSERT_EQ(listed.lines().size(), static_cast<size_t>(kBigFileNotes));
    const std::string sample = Talix({"value", db_, listed.out.substr(0, 10), "$FILE"}).out;

    // A replacing import ended at its 500th note: every note as it was.
    Settings("TestKillAtNoteWrite=500\n");
    EXPECT_TRUE(Killed(Talix({"import", db_, second}).status));
    unsetenv("NOTES_INI");
    EXPECT_EQ(Talix({"notes", db_}).out, listed.out);
    EXPECT_EQ(Talix({"value", db_, listed.out.substr(0, 10), "$FILE"}).out, sample);

    // Killed from outside while it runs: the old notes or the new ones.
    pid_t pid = Start({"import", db_, second}, "killed");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    kill(pid, SIGKILL);
    Wait(pid);
    CliOutcome after = Talix({"notes", db_});
    ASSERT_EQ(after.lines().size(), static_cast<size_t>(kBigFileNotes));
    const bool old = after.out == listed.out;
    EXPECT_TRUE(old || after.out.find("note 4999 v2") != std::string::npos);
    EXPECT_EQ(after.out.find(old ? " v2\n" : " v1\n"), std::string::npos);
    ExpectSound(db_);
}

// An import into a database that is not there yet, ended from outside while
// it runs: nothing is under the database's name. An interrupt or a
// termination request takes everything the import made with it; what a
// kill left beside the name goes with the next import.
TEST_F(Durability, AnImportEndedWhileItMakesTheDatabaseLeavesNoDatabase) {
    const std::string file = Write("v1.xml", DxlFile(kBigFileNotes, "v1"));
    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        pid_t pid = Start({"import", db_, file}, "ended");
        // Ended once it has made the database it fills.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (FilesBeside().empty() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(pid, signal);
        const int status = Wait(pid);
        if (status == 0) {   // it finished first
            std::filesystem::remove(db_);
            continue;
        }
        EXPECT_EQ(status, -1);
        EXPECT_FALSE(std::filesystem::exists(db_));
        if (signal != SIGKILL) EXPECT_EQ(FilesBeside(), std::vector<std::string>{});
    }
    std::filesystem::remove(db_);
    CliOutcome imported = Talix({"import", db_, file});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(FilesBeside(), std::vector<std::string>{"t.nsf"});
    EXPECT_EQ(Talix({"notes", db_}).lines().size(), static_cast<size_t>(kBigFileNotes));
}

// The files a creation of the database left when its process was killed
// (its half-made file under a name of its own, with SQLite's journal) go
// with the next creation of the database; those of a process still running,
// and files of other names, stay.
TEST_F(Durability, WhatAKilledCreationLeftGoesWithTheNextCreation) {
    pid_t gone = Start({"--version"}, "version");
    ASSERT_EQ(Wait(gone), 0);
    const std::string dead = "t.nsf.new-" + std::to_string(gone) + "-0";
    const std::vector<std::string> left = {Write(dead, "half made"), Write(dead + "-journal", "journal")};
    const std::vector<std::string> kept = {Write("t.nsf.new-" + std::to_string(getpid()) + "-3", "being made"),
                                           Write(dead + ".saved", "someone's file")};
    Import(Sample("2194.xml"));
    for (const std::string& file : left) EXPECT_FALSE(std::filesystem::exists(file)) << file;
    for (const std::string& file : kept) EXPECT_TRUE(std::filesystem::exists(file)) << file;
    ExpectSound(db_);
}

TEST_F(Durability, TwoImportsAtOnceBothFinishAndStoreEachNoteOnce) {
    const std::string file = Write("small.xml", DxlFile(5, "v1"));
    const std::string shared = dir_.file("shared.nsf");
    // Both list the same five notes: the later import replaced the
    // earlier one's, each note is stored once.
    auto bothLanded = [&](const std::string& db, pid_t a, pid_t b, int round) {
        EXPECT_EQ(Wait(a), 0) << Err("a");
        EXPECT_EQ(Wait(b), 0) << Err("b");
        const std::string listed = talix_test::ReadFile(dir_.file("a.out"));
        EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 5) << round << listed;
        EXPECT_EQ(talix_test::ReadFile(dir_.file("b.out")), listed) << round;
    };
    for (int round = 0; round < 20; ++round) {
        // Into a database neither finds: both create it.
        const std::string fresh = dir_.file("fresh" + std::to_string(round) + ".nsf");
        pid_t a = Start({"import", fresh, file}, "a");
        pid_t b = Start({"import", fresh, file}, "b");
        bothLanded(fresh, a, b, round);
        // The same file into one database.
        a = Start({"import", shared, file}, "a");
        b = Start({"import", shared, file}, "b");
        bothLanded(shared, a, b, round);
    }
    for (const std::string& db : {shared, dir_.file("fresh0.nsf"), dir_.file("fresh19.nsf")}) {
        EXPECT_EQ(Talix({"notes", db}).lines().size(), 5u) << db;
        ExpectSound(db);
    }
}

TEST_F(Durability, ABusyDatabaseIsReportedAndLeftAsItWas) {
    const std::string file = Write("small.xml", DxlFile(5, "v1"));
    ASSERT_EQ(Talix({"import", db_, file}).status, 0);
    const std::string before = Talix({"notes", db_}).out;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    Settings("DatabaseBusyWait=0\n");
    CliOutcome busy = Talix({"import", db_, Write("v2.xml", DxlFile(5, "v2"))});
    unsetenv("NOTES_INI");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.err.find("v2.xml: cannot import into the database: the database is busy: another process is "
                            "writing to it (waited 0 seconds)"),
              std::string::npos)
        << busy.err;
    EXPECT_EQ(Talix({"notes", db_}).out, before);
    ExpectSound(db_);
}

// A database that cannot grow (a file size limit stands in for a full
// disk): an import, an HTML import, an attachment appended and a file
// resource made fail, say why, print nothing of what they would have
// stored (no note id), and leave the database as it was; under a limit too
// small for its log files the database cannot be opened, and says why.
TEST_F(Durability, ADatabaseThatCannotGrowSaysSoAndIsLeftAsItWas) {
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    std::string words;
    while (words.size() < 2000000) words += "lorem ipsum dolor ";
    const std::string html = Write("big.html", "<p>" + words + "</p>");
    const std::string dxl = Write("many.xml", DxlFile(kBigFileNotes, "v1"));
    const std::string notes = Talix({"notes", db_}).out;
    const std::string items = Talix({"items", db_, id}).out;

    // With the signal as a shell leaves it, too: the program does not end
    // by it (unseen, killed mid-write), it says why as above.
    for (const char* limit : {"bash -c 'trap \"\" XFSZ; ulimit -f 512; exec \"$0\" \"$@\"' ",
                              "bash -c 'ulimit -f 512; exec \"$0\" \"$@\"' "}) {
        runAs_ = limit;
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"import", db_, dxl},
                 {"import-html", db_, id, "Big", html},
                 {"append", db_, id, "Memo", "attachment", html},
                 {"create-design", db_, "file-resource", "big.html", "SourceFile=" + html}}) {
            SCOPED_TRACE(args[0] + " under " + limit);
            CliOutcome run = Talix(args);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(talix_test::Has(run.err, "status 15027: The database cannot grow: the disk is full, or the "
                                                 "file is at its size limit"))
                << run.err;
            EXPECT_FALSE(talix_test::Has(run.err, "read or write failed")) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
    // A limit too small for the database's log files: even a reader cannot
    // open the database, and says why, not that the file is no database.
    runAs_ = "bash -c 'trap \"\" XFSZ; ulimit -f 1; exec \"$0\" \"$@\"' ";
    CliOutcome reader = Talix({"text", db_, id, "Memo"});
    EXPECT_EQ(reader.status, 1);
    EXPECT_TRUE(talix_test::Has(reader.err, "status 15027: The database cannot grow")) << reader.err;
    EXPECT_FALSE(talix_test::Has(reader.err, "not a database")) << reader.err;
    runAs_.clear();
    EXPECT_EQ(Talix({"notes", db_}).out, notes);
    EXPECT_EQ(Talix({"items", db_, id}).out, items);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "first\n");
    ExpectSound(db_);
}

// Several files that cannot be stored together (the database cannot grow
// to hold them) fail as one: the message names none of them, as no one
// file is to blame; a single file is still named.
TEST_F(Durability, ABatchThatCannotBeStoredBlamesNoOneFile) {
    const std::string many = Write("many.xml", DxlFile(kBigFileNotes, "v1"));
    const std::string few = Write("few.xml", "<database>\n" + DxlNote(kBigFileNotes, "v1") + "</database>\n");
    runAs_ = "bash -c 'trap \"\" XFSZ; ulimit -f 512; exec \"$0\" \"$@\"' ";
    CliOutcome both = Talix({"import", db_, many, few});
    EXPECT_EQ(both.status, 1);
    EXPECT_TRUE(talix_test::Has(both.err, "talix: cannot store the notes of the 2 files: The database cannot grow"))
        << both.err;
    EXPECT_FALSE(talix_test::Has(both.err, few)) << both.err;
    EXPECT_EQ(both.out, "");
    CliOutcome one = Talix({"import", db_, many});
    EXPECT_EQ(one.status, 1);
    EXPECT_TRUE(talix_test::Has(one.err, "talix: " + many + ": cannot store the notes: The database cannot grow"))
        << one.err;
    runAs_.clear();
    EXPECT_FALSE(std::filesystem::exists(db_));
}

// A process that may hold only a few files open (ulimit -n): a command that
// cannot open the database or its log files fails, says that too many files
// are open (never that the file is no database, nor a bare read or write
// failure), and changes nothing; with a few more descriptors it works.
TEST_F(Durability, ADatabaseThatCannotBeOpenedForWantOfDescriptorsSaysSo) {
#if defined(TALIX_ADDRESS_SANITIZER)
    // The sanitizers' runtime takes descriptors of its own (to check memory,
    // to look for leaks at the end): without them it aborts the program or
    // reports sound objects as broken, whatever the program does.
    GTEST_SKIP() << "the sanitizers' runtime needs descriptors of its own";
#endif
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    const std::string notes = Talix({"notes", db_}).out;
    const std::string fresh = dir_.file("fresh.nsf");
    int refused = 0, done = 0;
    for (int descriptors = 4; descriptors <= 16; ++descriptors) {
        const std::string limit = "bash -c 'ulimit -n " + std::to_string(descriptors) + "; exec \"$0\" \"$@\"' ";
        for (const auto& args : std::vector<std::vector<std::string>>{{"append", db_, id, "Memo", "text", "+"},
                                                                       {"check", db_},
                                                                       {"import", fresh, Sample("2206.xml")}}) {
            SCOPED_TRACE(args[0] + " with " + std::to_string(descriptors) + " descriptors");
            runAs_ = limit;
            CliOutcome run = Talix(args);
            runAs_.clear();
            // Too few for the system to load the program at all.
            if (run.status == 127) continue;
            if (run.status == 0) {
                ++done;
            } else {
                ++refused;
                EXPECT_EQ(run.status, 1);
                EXPECT_TRUE(talix_test::Has(run.err, "Too many open files")) << run.err;
                EXPECT_FALSE(talix_test::Has(run.err, "not a database")) << run.err;
                EXPECT_FALSE(talix_test::Has(run.err, "read or write failed")) << run.err;
                if (args[0] == "import") EXPECT_FALSE(std::filesystem::exists(fresh));
            }
            std::filesystem::remove(fresh);
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(done, 0);
    EXPECT_EQ(Talix({"notes", db_}).out, notes);
    const std::string text = Talix({"text", db_, id, "Memo"}).out;
    EXPECT_EQ(text.rfind("first", 0), 0u) << text;
    ExpectSound(db_);
}

// Processes changing one note at once, each a series of commands: appends
// to one item, appends to items of their own, and formulas that read an
// item and write it back with @DbCommand. Every command finishes and every
// change is there afterwards.
TEST_F(Durability, WritersOfOneNoteAtOnceKeepEveryChange) {
    const std::string id = Import(Sample("2194.xml"));
    const std::string driverId = "N" + id.substr(2);
    constexpr int kWriters = 3;
    constexpr int kEach = 6;
    auto runAll = [&](const std::function<std::vector<std::string>(int, int)>& command) {
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&, w] {
                for (int i = 0; i < kEach; ++i) {
                    const std::string name = "w" + std::to_string(w) + "-" + std::to_string(i);
                    EXPECT_EQ(Wait(Start(command(w, i), name)), 0) << Err(name);
                }
            });
        }
        for (std::thread& writer : writers) writer.join();
    };
    auto marker = [](int w, int i) { return "[" + std::to_string(w) + "-" + std::to_string(i) + "]"; };
    auto markers = [&](const std::string& item) {
        const std::string text = Talix({"text", db_, id, item}).out;
        int found = 0;
        for (int w = 0; w < kWriters; ++w)
            for (int i = 0; i < kEach; ++i) found += text.find(marker(w, i)) != std::string::npos ? 1 : 0;
        return found;
    };

    runAll([&](int w, int i) { return std::vector<std::string>{"append", db_, id, "Memo", "text", marker(w, i)}; });
    EXPECT_EQ(markers("Memo"), kWriters * kEach);
    runAll([&](int w, int i) {
        return std::vector<std::string>{"append", db_, id, "Own" + std::to_string(w), "text", marker(w, i)};
    });
    int own = 0;
    for (int w = 0; w < kWriters; ++w) own += markers("Own" + std::to_string(w));
    EXPECT_EQ(own, kWriters * kEach);
    runAll([&](int w, int i) {
        const std::string text = "@DbCommand(\"Talix\"; \"Text\"; \"\"; \"" + driverId + "\"; \"Formula\")";
        return std::vector<std::string>{"formula", db_, id,
                                        "@DbCommand(\"Talix\"; \"Text\"; \"\"; \"" + driverId +
                                            "\"; \"Formula\"; " + text + " + \"" + marker(w, i) + "\")"};
    });
    EXPECT_EQ(markers("Formula"), kWriters * kEach);
    EXPECT_EQ(markers("Memo"), kWriters * kEach);
    ExpectSound(db_);
}

// A formula whose @DbCommand changes another database, which a second
// process holds for a while: the call is made again until it lands, and
// says nothing of the attempts that gave way; held for good, the formula
// fails once, saying the database is busy.
TEST_F(Durability, AChangeOfAnotherDatabaseMadeAgainSaysNothingOfItsRetries) {
    const std::string id = Import(Sample("2194.xml"));
    const std::string other = dir_.file("other.nsf");
    CliOutcome imported = Talix({"import", other, Sample("2194.xml")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::string otherId = imported.out.substr(0, imported.out.find('\t'));
    const std::string formula = "@DbCommand(\"Talix\"; \"Text\"; \"" + other + "\"; \"N" + otherId.substr(2) +
                                "\"; \"Formula\"; \"written\")";
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &holder), SQLITE_OK);

    Settings("DatabaseBusyWait=1\n");
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    pid_t run = Start({"formula", db_, id, formula}, "retried");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(sqlite3_exec(holder, "UPDATE dbinfo SET next_note_id = next_note_id + 4; COMMIT", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    EXPECT_EQ(Wait(run), 0) << Err("retried");
    EXPECT_EQ(Err("retried"), "");
    EXPECT_EQ(Talix({"text", other, otherId, "Formula"}).out, "written\n");

    Settings("DatabaseBusyWait=0\n");
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    CliOutcome busy = Talix({"formula", db_, id, "@DbCommand(\"Talix\"; \"Text\"; \"" + other + "\"; \"N" +
                                                     otherId.substr(2) + "\"; \"Formula\"; \"again\")"});
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    unsetenv("NOTES_INI");
    EXPECT_EQ(busy.status, 1);
    EXPECT_FALSE(talix_test::Has(busy.err, "Another process wrote")) << busy.err;
    EXPECT_EQ(busy.err.find("talix: "), busy.err.rfind("talix: ")) << busy.err;
    EXPECT_TRUE(talix_test::Has(busy.err, "the database is busy")) << busy.err;
    EXPECT_EQ(Talix({"text", other, otherId, "Formula"}).out, "written\n");
    ExpectSound(other);
}

// While an import parses a large HTML file, appends by other processes to
// the same note land without waiting for it (before the import has stored
// anything); the import then lands too, every paragraph of it, next to the
// appends.
TEST_F(Durability, AnAppendDoesNotWaitWhileAnImportParses) {
    const std::string id = Import(Sample("2194.xml"));
    // Enough paragraphs that the import still parses while the appends run;
    // under the address sanitizer it parses several times slower, and a
    // quarter of them keeps it parsing as long.
#if defined(TALIX_ADDRESS_SANITIZER)
    constexpr int kParagraphs = 15000;
#else
    constexpr int kParagraphs = 60000;
#endif
    std::string html = "<html><body>\n";
    for (int i = 0; i < kParagraphs; ++i)
        html += "<p>Paragraph " + std::to_string(i) + " with <b>bold</b> and <i>italic</i> words.</p>\n";
    const std::string file = Write("big.html", html + "</body></html>\n");

    pid_t import = Start({"import-html", db_, id, "Imported", file}, "import");
    // Started after the import has read its file and begun to parse it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int appendedFirst = 0;
    for (int i = 0; i < 2; ++i) {
        CliOutcome append = Talix({"append", db_, id, "Memo", "text", "[" + std::to_string(i) + "]"});
        EXPECT_EQ(append.status, 0) << append.err;
        if (Talix({"items", db_, id}).out.find("Imported\t") == std::string::npos) ++appendedFirst;
    }
    EXPECT_EQ(Wait(import), 0) << Err("import");
    EXPECT_GT(appendedFirst, 0) << "every append waited until the import had stored its item";
    const std::string memo = Talix({"text", db_, id, "Memo"}).out;
    EXPECT_NE(memo.find("[0]"), std::string::npos) << memo;
    EXPECT_NE(memo.find("[1]"), std::string::npos) << memo;
    const std::string imported = Talix({"text", db_, id, "Imported"}).out;
    EXPECT_NE(imported.find("Paragraph 0 with bold"), std::string::npos);
    EXPECT_NE(imported.find("Paragraph " + std::to_string(kParagraphs - 1) + " with"), std::string::npos);
    ExpectSound(db_);
}

// A FIFO, a device or a directory given as an input file is refused at
// once, with its name, before the command reads the database: even while
// another process holds the database, the command says what is wrong with
// its input (not that the database is busy), and nothing changes.
TEST_F(Durability, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    const std::string id = Import(Sample("2194.xml"));
    const std::string fifo = dir_.file("input.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string before = Talix({"notes", db_}).out;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    Settings("DatabaseBusyWait=0\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> runs = {
        {{"store-eml", db_, id, "Mail", fifo}, fifo},
        {{"import", db_, fifo}, fifo},
        {{"append", db_, id, "Memo", "attachment", fifo}, fifo},
        {{"append", db_, id, "Memo", "html", "FILE", fifo}, fifo},
        {{"append", db_, id, "Memo", "html", "", fifo}, fifo},
        {{"append", db_, id, "Memo", "graphic", "", fifo}, fifo},
        {{"append", db_, id, "Memo", "import", dir_.path().string()}, dir_.path().string()},
        {{"import-html", db_, id, "Memo", fifo}, fifo},
        {{"import-html", db_, id, "Memo", "/dev/null"}, "/dev/null"},
        {{"create-design", db_, "file-resource", "f.css", "SourceFile=" + fifo}, fifo},
    };
    for (size_t i = 0; i < runs.size(); ++i) {
        const std::string name = "run" + std::to_string(i);
        EXPECT_EQ(WaitAtMost(Start(runs[i].first, name), std::chrono::seconds(30)), 1) << runs[i].first[0];
        const std::string err = Err(name);
        EXPECT_NE(err.find(runs[i].second), std::string::npos) << err;
        EXPECT_NE(err.find(", not a regular file"), std::string::npos) << err;
        EXPECT_EQ(err.find("busy"), std::string::npos) << err;
    }
    unsetenv("NOTES_INI");
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Talix({"notes", db_}).out, before);
    ExpectSound(db_);
}

// A database file the user can read but not write (another user's, or a
// 0444 file of one's own) opens read-only: the reading commands give what
// the owner sees, the changing ones are refused as read-only, and the
// reader leaves no log file beside the database that would stop the
// owner's next write.
TEST_F(Durability, ADatabaseTheUserCannotWriteIsReadWithoutHarm) {
    std::string reader;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &reader)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    // The reader could make files in the folder, were it to try.
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(db_.c_str(), 0444), 0);
    const std::vector<std::vector<std::string>> reads = {
        {"notes", db_}, {"items", db_, id}, {"text", db_, id, "Memo"}, {"html", db_, id, "Memo"}};
    std::vector<std::string> seen;
    for (const auto& args : reads) seen.push_back(Talix(args).out);
    auto logFiles = [&] {
        return std::filesystem::exists(db_ + "-wal") || std::filesystem::exists(db_ + "-shm");
    };

    runAs_ = reader;
    for (size_t i = 0; i < reads.size(); ++i) {
        CliOutcome read = Talix(reads[i]);
        EXPECT_EQ(read.status, 0) << reads[i][0] << ": " << read.err;
        EXPECT_EQ(talix_test::WithoutRunDates(read.out), talix_test::WithoutRunDates(seen[i])) << reads[i][0];
    }
    const std::string refused = "the database " + db_ + " is read-only";
    for (const std::vector<std::string>& change :
         {std::vector<std::string>{"append", db_, id, "Memo", "text", "reader"},
          std::vector<std::string>{"import", db_, Sample("2194.xml")}}) {
        CliOutcome run = Talix(change);
        EXPECT_EQ(run.status, 1) << change[0];
        EXPECT_NE(run.err.find(refused), std::string::npos) << run.err;
    }
    EXPECT_FALSE(logFiles());
    // With the owner's log files there (the owner has it open), the reader
    // reads through them.
    // The owner opens it while it may write it: a user other than the
    // superuser cannot write a 0444 file, even of their own, and a
    // connection that cannot write leaves its log files behind.
    {
        ASSERT_EQ(chmod(db_.c_str(), 0644), 0);
        sqlite3* owner = nullptr;
        ASSERT_EQ(sqlite3_open(db_.c_str(), &owner), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(owner, "SELECT count(*) FROM notes", nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_EQ(chmod(db_.c_str(), 0444), 0);
        EXPECT_TRUE(logFiles());
        runAs_ = reader;
        EXPECT_EQ(Talix(reads[2]).out, seen[2]);
        sqlite3_close(owner);
    }
    EXPECT_FALSE(logFiles());

    runAs_.clear();
    if (geteuid() != 0) ASSERT_EQ(chmod(db_.c_str(), 0644), 0);
    CliOutcome owner = Talix({"append", db_, id, "Memo", "text", "second"});
    EXPECT_EQ(owner.status, 0) << owner.err;
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "firstsecond\n");
    ExpectSound(db_);
}

// A database file the user may not read, or that lies in a folder the user
// may not enter: every command says so, not that a read failed.
TEST_F(Durability, ADatabaseTheUserMayNotReadIsSaidToBeSo) {
    std::string reader;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &reader)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    const std::string closed = dir_.file("closed");
    ASSERT_TRUE(std::filesystem::create_directory(closed));
    const std::string inside = closed + "/t.nsf";
    std::filesystem::copy_file(db_, inside);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(db_.c_str(), 0), 0);
    ASSERT_EQ(chmod(closed.c_str(), 0), 0);

    runAs_ = reader;
    for (const std::string& db : {db_, inside}) {
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"notes", db}, {"text", db, id, "Memo"}, {"append", db, id, "Memo", "text", "x"}, {"check", db}}) {
            SCOPED_TRACE(args[0] + " " + db);
            CliOutcome run = Talix(args);
            EXPECT_EQ(run.status, 1);
            EXPECT_TRUE(talix_test::Has(run.err, "cannot open " + db + ": status 15028: This user may not read the "
                                                 "database file"))
                << run.err;
        }
    }
    runAs_.clear();
    ASSERT_EQ(chmod(db_.c_str(), 0644), 0);
    ASSERT_EQ(chmod(closed.c_str(), 0755), 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "first\n");
    EXPECT_EQ(Talix({"text", inside, id, "Memo"}).out, "first\n");
    ExpectSound(db_);
}

// A database whose log files belong to another user, who left them so that
// this user may not read them: every command says so, in one line.
TEST_F(Durability, LogFilesTheUserMayNotReadAreSaidToBeSo) {
    std::string reader;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &reader)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    if (reader.empty()) GTEST_SKIP() << "not run as root: no other user can own the log files";
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(db_.c_str(), 0644), 0);
    // The owner has the database open, in write-ahead logging, its log
    // files readable by the owner alone.
    sqlite3* owner = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &owner), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(owner, "PRAGMA journal_mode=WAL; SELECT count(*) FROM notes", nullptr, nullptr, nullptr),
              SQLITE_OK);
    ASSERT_EQ(chmod((db_ + "-wal").c_str(), 0600), 0);
    ASSERT_EQ(chmod((db_ + "-shm").c_str(), 0600), 0);
    // A reader that stays this user, its power over permissions dropped
    // (where the program cannot be reached as another user), would own them:
    // they are given to another user.
    if (reader.find("--reuid") == std::string::npos) {
        ASSERT_EQ(chown((db_ + "-wal").c_str(), 65534, 65534), 0);
        ASSERT_EQ(chown((db_ + "-shm").c_str(), 65534, 65534), 0);
    }

    runAs_ = reader;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"notes", db_}, {"text", db_, id, "Memo"}, {"append", db_, id, "Memo", "text", "x"}}) {
        SCOPED_TRACE(args[0]);
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "talix: cannot open " + db_ +
                               ": status 15033: This user may not read the database's log files (-wal, -shm): they "
                               "belong to another user\n");
    }
    runAs_.clear();
    sqlite3_close(owner);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "first\n");
    ExpectSound(db_);
}

// A database to be made in a folder the user may not write in: the import
// says so, rather than that a write failed, and leaves nothing there.
TEST_F(Durability, ADatabaseTheUserMayNotMakeIsSaidToBeSo) {
    std::string maker;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &maker)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    const std::string closed = dir_.file("closed");
    ASSERT_TRUE(std::filesystem::create_directory(closed));
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(closed.c_str(), 0555), 0);
    const std::string db = closed + "/new.nsf";

    runAs_ = maker;
    CliOutcome run = Talix({"import", db, Sample("2194.xml")});
    runAs_.clear();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(talix_test::Has(run.err, "cannot create it: status 15032: This user may not make files in the "
                                         "database's folder"))
        << run.err;
    ASSERT_EQ(chmod(closed.c_str(), 0755), 0);
    EXPECT_TRUE(std::filesystem::is_empty(closed));
}

// An input file the user may not read is said to be so, naming it, before
// anything of the database is read; not taken for a file that is missing.
TEST_F(Durability, InputsTheUserMayNotReadAreSaidToBeSo) {
    std::string reader;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &reader)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    const std::string id = Import(Sample("2194.xml"));
    const std::string before = Talix({"text", db_, id, "Memo"}).out;
    const std::string closed = Write("closed.html", "<p>x</p>");
    ASSERT_EQ(chmod(closed.c_str(), 0), 0);
    // The database is one the reader may write.
    ASSERT_EQ(chmod(dir_.path().c_str(), 0777), 0);
    ASSERT_EQ(chmod(db_.c_str(), 0666), 0);
    runAs_ = reader;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"import-html", db_, id, "Memo", closed},
          std::vector<std::string>{"append", db_, id, "Memo", "attachment", closed},
          std::vector<std::string>{"append", db_, id, "Memo", "html", "FILE", closed}}) {
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_TRUE(talix_test::Has(run.err, closed + " cannot be read: Permission denied")) << run.err;
    }
    runAs_.clear();
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, before);
}

// A copy of a database taken while a writer had it open (its log holds
// writes) but without the log's index: a user who cannot write it is told
// so, rather than shown the database as it was before those writes; once
// its owner opened it, everyone reads it whole.
TEST_F(Durability, ALogWithoutItsIndexIsNotSkippedByAReader) {
    std::string reader;
    if (!talix_test::UnprivilegedPrefix(TALIX_CLI_PATH, &reader)) {
        GTEST_SKIP() << "no setpriv to drop privileges";
    }
    const std::string id = Import(Sample("2194.xml"));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "first"}).status, 0);
    // Read here meanwhile, the file keeps the next write in its log.
    sqlite3* owner = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &owner), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(owner, "BEGIN; SELECT count(*) FROM notes", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "text", "second"}).status, 0);
    const std::string copy = dir_.file("copy.nsf");
    std::filesystem::copy_file(db_, copy);
    std::filesystem::copy_file(db_ + "-wal", copy + "-wal");
    sqlite3_exec(owner, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(owner);
    ASSERT_GT(std::filesystem::file_size(copy + "-wal"), 32u);
    ASSERT_FALSE(std::filesystem::exists(copy + "-shm"));
    ASSERT_EQ(chmod(copy.c_str(), 0444), 0);
    // The reader reaches the folder but cannot make files in it.
    ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);

    runAs_ = reader;
    CliOutcome read = Talix({"text", copy, id, "Memo"});
    EXPECT_EQ(read.status, 1);
    EXPECT_EQ(read.out, "");
    EXPECT_TRUE(talix_test::Has(read.err, "cannot open " + copy + ": status 15029: The database's log holds writes"))
        << read.err;
    EXPECT_FALSE(std::filesystem::exists(copy + "-shm"));

    runAs_.clear();
    ASSERT_EQ(chmod(copy.c_str(), 0644), 0);
    EXPECT_EQ(Talix({"text", copy, id, "Memo"}).out, "firstsecond\n");
    ASSERT_EQ(chmod(copy.c_str(), 0444), 0);
    runAs_ = reader;
    EXPECT_EQ(Talix({"text", copy, id, "Memo"}).out, "firstsecond\n");
    runAs_.clear();
    ExpectSound(copy);
}

TEST_F(Durability, CheckListsWhatIsWrong) {
    std::string sound = Import(Write("s.xml", DxlFile(2, "v1")));
    // A paragraph, then a text record claiming 32 bytes where 6 are left.
    std::string damaged = Import(Write("d.xml", "<note class='document'><item name='Body'><rawitemdata type='1'>"
                                                "gQKF/yAAAQAAAA==</rawitemdata></item></note>"));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "INSERT INTO objects(object_id, class, bytes) VALUES (90000, 1, x'00')", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);

    CliOutcome check = Talix({"check", db_});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(check.out, "note\t" + damaged +
                             "\titem 'Body' 1: damaged data at byte 4: record 0xFF85 of length 32 runs past the end of "
                             "the value (8 bytes left)\n"
                             "object\t90000\tno note names it\n");
    EXPECT_NE(check.err.find("2 problem(s) found"), std::string::npos) << check.err;

    // A copy of a note under an id past 32 bits is one finding, not also
    // one about a note that its low bits would name.
    const long long past = (1LL << 32) + 0x7FF0;
    ASSERT_EQ(sqlite3_open(db_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, ("INSERT INTO notes SELECT " + std::to_string(past) + ", randomblob(16), oid, class,"
                                   " created, modified, accessed, added, encrypted FROM notes WHERE note_id = " +
                                   std::to_string(std::stoll(sound, nullptr, 16))).c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    check = Talix({"check", db_});
    EXPECT_EQ(check.out.rfind("database\t-\ta note is stored under id " + std::to_string(past) +
                                  ", which no note can have\nnote\t" + damaged + "\t",
                              0),
              0u)
        << check.out;
    EXPECT_NE(check.err.find("3 problem(s) found"), std::string::npos) << check.err;
    EXPECT_EQ(Talix({"check", dir_.file("missing.nsf")}).status, 1);
    EXPECT_EQ(Talix({"check"}).status, 2);
    EXPECT_FALSE(sound.empty());
}

} // namespace
