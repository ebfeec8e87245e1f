// talix import under kills and contention, writers of one note at once, and
// talix check: a file lands whole or not at all, two processes writing at
// once both finish, every change of writers of one note lands, and the check
// finds what is wrong in a database.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"
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
    std::string Err(const std::string& name) { return talix_test::ReadFile(dir_.file(name + ".err")); }

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

    // Ended at its last note, all the others written: nothing lands.
    Settings("TestKillAtNoteWrite=" + std::to_string(kBigFileNotes) + "\n");
    EXPECT_TRUE(Killed(Talix({"import", db_, first}).status));
    unsetenv("NOTES_INI");
    EXPECT_EQ(Talix({"notes", db_}).out, "");
    ExpectSound(db_);

    CliOutcome imported = Talix({"import", db_, first});
    ASSERT_EQ(imported.status, 0) << imported.err;
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
    EXPECT_EQ(Talix({"check", dir_.file("missing.nsf")}).status, 1);
    EXPECT_EQ(Talix({"check"}).status, 2);
    EXPECT_FALSE(sound.empty());
}

} // namespace
