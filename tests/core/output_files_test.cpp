// Output files as their names deserve (a regular file replaced whole with
// its mode, other names and links kept; FIFOs and open files written
// through; no temporary file left by a failure, a signal or a killed run),
// and files made in a folder never through what someone left under the
// name.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/folder_file.h"
#include "core/replacing_file.h"
#include "support/test_support.h"
#include "talix_platform/database.h"
#include "talix_platform/log.h"

namespace {

namespace fs = std::filesystem;
using talix::ReplacingFile;
using talix_test::ReadFile;

void Put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Writes text to path through a ReplacingFile and commits it.
bool WriteOutput(const std::string& path, const std::string& text, const char* mode = "wb",
                 ReplacingFile::Way* way = nullptr) {
    ReplacingFile output;
    if (!output.Open(path, mode)) return false;
    if (way != nullptr) *way = output.way();
    return std::fwrite(text.data(), 1, text.size(), output.file()) == text.size() && output.Commit();
}

// The entries of a folder whose names hold ".talix-" (temporary outputs).
int Temporaries(const talix_test::TempDir& dir) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        count += entry.path().filename().string().find(".talix-") != std::string::npos ? 1 : 0;
    return count;
}

TEST(OutputFiles, RegularFilesAreReplacedWholeAndKeepWhatTheyHad) {
    talix_test::TempDir dir;
    // A file is replaced by a new one.
    const std::string page = dir.file("page.html");
    ReplacingFile::Way way{};
    ASSERT_TRUE(WriteOutput(page, "first", "wb", &way));
    EXPECT_EQ(way, ReplacingFile::Way::kReplace);
    struct stat before {}, after {};
    ::stat(page.c_str(), &before);
    ASSERT_TRUE(WriteOutput(page, "second"));
    ::stat(page.c_str(), &after);
    EXPECT_EQ(ReadFile(page), "second");
    EXPECT_NE(after.st_ino, before.st_ino);

    // A failed output leaves the file as it was and no temporary file.
    {
        ReplacingFile output;
        ASSERT_TRUE(output.Open(page, "w"));
        std::fputs("half", output.file());
        EXPECT_EQ(Temporaries(dir), 1);
    }
    EXPECT_EQ(ReadFile(page), "second");
    EXPECT_EQ(Temporaries(dir), 0);

    // Two names of one file: written in place; a link to nothing yet makes
    // the file it names.
    const std::string other = dir.file("other-name.html");
    ASSERT_EQ(::link(page.c_str(), other.c_str()), 0);
    ASSERT_TRUE(WriteOutput(other, "third", "w+", &way));
    EXPECT_EQ(way, ReplacingFile::Way::kInPlace);
    EXPECT_EQ(ReadFile(page), "third");
    ::unlink(other.c_str());
    const std::string dangling = dir.file("dangling.html");
    fs::create_directory(dir.file("sub"));
    ASSERT_EQ(::symlink("sub/made.html", dangling.c_str()), 0);
    ASSERT_TRUE(WriteOutput(dangling, "made"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(ReadFile(dir.file("sub/made.html")), "made");
    EXPECT_EQ(Temporaries(dir), 0);

    // The superuser gives a replaced file back to its owner.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(page.c_str(), 65534, 65534), 0);
        ASSERT_TRUE(WriteOutput(page, "owned"));
        ::stat(page.c_str(), &after);
        EXPECT_EQ(after.st_uid, 65534u);
        EXPECT_EQ(after.st_gid, 65534u);
    }

    // A replaced file keeps its mode; one its owner made read-only is
    // refused and stays as it was (the superuser may write any file).
    ASSERT_EQ(::chmod(page.c_str(), 0640), 0);
    ASSERT_TRUE(WriteOutput(page, "kept mode"));
    ::stat(page.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
        ReplacingFile refused;
        EXPECT_FALSE(refused.Open(page, "w"));
        EXPECT_EQ(errno, EACCES);
        EXPECT_EQ(ReadFile(page), "kept mode");
        EXPECT_EQ(Temporaries(dir), 0);
        ASSERT_EQ(::chmod(page.c_str(), 0644), 0);
    }

    // A folder that cannot be made into: nothing to write, a clear errno.
    ReplacingFile nowhere;
    EXPECT_FALSE(nowhere.Open(dir.file("no/such/folder/x.html"), "w"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(nowhere.Open(dir.path().string() + "/", "w"));
    EXPECT_EQ(errno, EISDIR);
}

// The threads the process runs (as the system counts them).
int ThreadsOfProcess() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return -1;
}

// Whether the process is back to count threads within two seconds (a
// joined thread leaves the system's count a moment after the join).
bool BackTo(int count) {
    for (int wait = 0; wait < 200 && ThreadsOfProcess() != count; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ThreadsOfProcess() == count;
}

// A large output synced on the way, block by block, while it is written:
// whole once committed, as it was before when given up, and the same
// object good for the next output; the syncing thread goes with the output.
TEST(OutputFiles, OutputsSyncedOnTheWayAreWholeOrNotThere) {
    talix_test::TempDir dir;
    const std::string page = dir.file("large.html");
    Put(page, "old");
    std::string whole;
    ReplacingFile output;
    const int threads = ThreadsOfProcess();
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(output.Open(page, "wb"));
        whole.clear();
        for (int block = 0; block < 6; ++block) {
            const std::string text(700 * 1024 + block, static_cast<char>('a' + block + round));
            ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), output.file()), text.size());
            output.StartWriteBack();
            whole += text;
        }
        EXPECT_GT(ThreadsOfProcess(), threads);
        std::fputs("tail", output.file());
        whole += "tail";
        ASSERT_TRUE(output.Commit());
        EXPECT_EQ(ReadFile(page), whole);
        EXPECT_EQ(Temporaries(dir), 0);
        EXPECT_TRUE(BackTo(threads));
    }

    // Given up after syncs: the last output stays, no temporary is left.
    ASSERT_TRUE(output.Open(page, "wb"));
    const std::string lost(3 << 20, 'x');
    std::fwrite(lost.data(), 1, lost.size(), output.file());
    output.StartWriteBack();
    output.StartWriteBack();   // nothing new: no second request
    output.Discard();
    EXPECT_EQ(ReadFile(page), whole);
    EXPECT_EQ(Temporaries(dir), 0);
    EXPECT_TRUE(BackTo(threads));

    // A file written through is not synced, and still passed on whole.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadFile(fifo); });
    ASSERT_TRUE(output.Open(fifo, "w"));
    std::fwrite(lost.data(), 1, lost.size(), output.file());
    output.StartWriteBack();
    EXPECT_TRUE(output.Commit());
    reader.join();
    EXPECT_EQ(got, lost);
}

TEST(OutputFiles, WhatIsReadBackFromAFifoIsGatheredAndPassedOnWhole) {
    talix_test::TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = ReadFile(fifo); });
    ReplacingFile output;
    ASSERT_TRUE(output.Open(fifo, "w+"));
    std::fputs("line\n", output.file());
    ASSERT_EQ(std::fseek(output.file(), -1, SEEK_END), 0);
    EXPECT_EQ(std::fgetc(output.file()), '\n');
    ASSERT_EQ(std::fseek(output.file(), 0, SEEK_END), 0);
    std::fputs("end", output.file());
    ASSERT_TRUE(output.Commit());
    reader.join();
    EXPECT_EQ(got, "line\nend");
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A reader that goes away: a write that failed on the way (and was
    // flushed by a writer that did not look) fails the commit.
    const int gone = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(gone, 0);
    ReplacingFile orphaned;
    ASSERT_TRUE(orphaned.Open(fifo, "w"));
    EXPECT_EQ(orphaned.way(), ReplacingFile::Way::kThrough);
    ::close(gone);
    void (*const before)(int) = ::signal(SIGPIPE, SIG_IGN);
    std::fputs("lost", orphaned.file());
    std::fflush(orphaned.file());
    EXPECT_FALSE(orphaned.Commit());
    ::signal(SIGPIPE, before);
}

TEST(OutputFiles, TemporaryFilesGoWithASignalOrTheNextRun) {
    talix_test::TempDir dir;
    const std::string page = dir.file("page.html");
    Put(page, "old");
    // What a signal handler calls removes the temporary file of an open
    // output; the file keeps its old text.
    {
        ReplacingFile output;
        ASSERT_TRUE(output.Open(page, "w"));
        std::fputs("new", output.file());
        EXPECT_EQ(Temporaries(dir), 1);
        talix::RemovePendingOutputs();
        EXPECT_EQ(Temporaries(dir), 0);
        EXPECT_FALSE(output.Commit());
    }
    EXPECT_EQ(ReadFile(page), "old");

    // A temporary file a process that is gone left: removed by the next
    // output of that name; one of a live process, or of another name, stays.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const std::string left = dir.file("page.html.talix-" + std::to_string(child) + "-0.tmp");
    const std::string live = dir.file("page.html.talix-" + std::to_string(::getppid()) + "-0.tmp");
    const std::string unrelated = dir.file("other.html.talix-" + std::to_string(child) + "-0.tmp");
    for (const std::string& path : {left, live, unrelated}) Put(path, "left");
    ASSERT_TRUE(WriteOutput(page, "new"));
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(unrelated));
    EXPECT_EQ(ReadFile(page), "new");
}

// A folder of the process's own goes with a signal, whatever it holds: many
// files (more than one read of the folder lists), a FIFO and a link, whose
// target stays. One given back stays.
TEST(OutputFiles, PendingFoldersGoWithASignalWithTheirFiles) {
    talix_test::TempDir dir;
    const std::string folder = dir.file("scratch"), kept = dir.file("kept"), target = dir.file("target.txt");
    Put(target, "target");
    for (const std::string& made : {folder, kept}) {
        fs::create_directory(made);
        for (int i = 0; i < 400; ++i) Put(made + "/attachment-with-a-long-name-" + std::to_string(i) + ".bin", "x");
        ASSERT_EQ(::mkfifo((made + "/pipe").c_str(), 0600), 0);
        fs::create_symlink(target, made + "/link");
    }
    const int entry = talix::RememberPendingFolder(folder.c_str());
    ASSERT_GE(entry, 0);
    talix::ForgetPendingOutput(talix::RememberPendingFolder(kept.c_str()));
    talix::RemovePendingOutputs();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(fs::exists(kept + "/pipe"));
    EXPECT_EQ(ReadFile(target), "target");
    // A folder already gone is no failure.
    talix::RemovePendingOutputs();
    EXPECT_TRUE(fs::exists(kept));
    talix::ForgetPendingOutput(entry);
}

TEST(FolderFiles, MadeNewNeverThroughWhatStandsUnderTheName) {
    talix_test::TempDir dir;
    const std::string outside = dir.file("outside.txt");
    Put(outside, "outside");
    fs::create_directory(dir.file("pictures"));
    auto make = [&](const std::string& name, const std::string& text) {
        talix::FolderFile file;
        return file.Create(dir.file("pictures/" + name), 0600) && file.Write(text.data(), text.size()) &&
               file.Finish();
    };
    // A new name; an existing file replaced, its other name elsewhere
    // keeping the old bytes.
    EXPECT_TRUE(make("a.gif", "one"));
    EXPECT_EQ(ReadFile(dir.file("pictures/a.gif")), "one");
    ASSERT_EQ(::link(dir.file("pictures/a.gif").c_str(), dir.file("kept.gif").c_str()), 0);
    EXPECT_TRUE(make("a.gif", "two"));
    EXPECT_EQ(ReadFile(dir.file("pictures/a.gif")), "two");
    EXPECT_EQ(ReadFile(dir.file("kept.gif")), "one");

    // A link, a FIFO (without a reader: nothing may wait for one), a folder
    // and a device under the name: refused, nothing outside changes.
    ASSERT_EQ(::symlink(outside.c_str(), dir.file("pictures/link.gif").c_str()), 0);
    EXPECT_FALSE(make("link.gif", "x"));
    ASSERT_EQ(::mkfifo(dir.file("pictures/fifo.gif").c_str(), 0600), 0);
    EXPECT_FALSE(make("fifo.gif", "x"));
    fs::create_directory(dir.file("pictures/folder.gif"));
    EXPECT_FALSE(make("folder.gif", "x"));
    if (::mknod(dir.file("pictures/device.gif").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_FALSE(make("device.gif", "x"));
        struct stat info {};
        ::lstat(dir.file("pictures/device.gif").c_str(), &info);
        EXPECT_TRUE(S_ISCHR(info.st_mode));
    }
    EXPECT_EQ(ReadFile(outside), "outside");
    EXPECT_TRUE(fs::is_symlink(dir.file("pictures/link.gif")));
    EXPECT_TRUE(fs::is_fifo(dir.file("pictures/fifo.gif")));

    // A file that is not finished is removed.
    {
        talix::FolderFile file;
        ASSERT_TRUE(file.Create(dir.file("pictures/unfinished.gif"), 0600));
        EXPECT_TRUE(file.madeNew());
        file.Write("part", 4);
    }
    EXPECT_FALSE(fs::exists(dir.file("pictures/unfinished.gif")));

    // A file its owner made read-only is refused and stays as it was, as an
    // output is (the superuser may write any file).
    if (::geteuid() != 0) {
        const std::string locked = dir.file("pictures/locked.gif");
        Put(locked, "mine");
        ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
        EXPECT_FALSE(make("locked.gif", "x"));
        EXPECT_EQ(errno, EACCES);
        EXPECT_EQ(ReadFile(locked), "mine");
        struct stat info {};
        ::stat(locked.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0444u);
    }
}

// A database the process has open, and the log files beside it, are never
// written over, by their names, through a link or by another name of the
// file: neither as an output nor as a file made in a folder (a picture or
// attachment may bear such a name). Names that merely look alike are files
// like any other.
TEST(OutputFiles, AnOpenDatabaseAndItsLogsAreNeverWrittenOver) {
    talix_test::TempDir dir;
    const std::string database = dir.file("mail.nsf");
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbCreate(database.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    ASSERT_EQ(plat::ItemSetText(note, "Subject", "kept", 4), plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID id = 0;
    ASSERT_EQ(plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id), plat::NOERROR);
    plat::NoteClose(note);

    fs::create_directory(dir.file("elsewhere"));
    ASSERT_EQ(::symlink(database.c_str(), dir.file("elsewhere/db-link").c_str()), 0);
    ASSERT_EQ(::symlink((database + "-wal").c_str(), dir.file("elsewhere/log-link").c_str()), 0);
    ASSERT_EQ(::link(database.c_str(), dir.file("elsewhere/other-name.nsf").c_str()), 0);
    talix_test::g_messages.clear();
    plat::RegisterMessageProc(&talix_test::CollectMessage);
    for (const std::string& name :
         {database, database + "-wal", database + "-shm", database + "-journal", dir.file("elsewhere/db-link"),
          dir.file("elsewhere/log-link"), dir.file("elsewhere/other-name.nsf"), dir.file("elsewhere/../mail.nsf-wal")}) {
        errno = 0;
        EXPECT_FALSE(WriteOutput(name, "output")) << name;
        EXPECT_EQ(errno, EBUSY) << name;
        talix::FolderFile file;
        EXPECT_FALSE(file.Create(name, 0600)) << name;
    }
    plat::RegisterMessageProc(nullptr);
    ASSERT_EQ(talix_test::g_messages.size(), 8u);
    EXPECT_EQ(talix_test::g_messages[0], "cannot write the file '" + database + "': it is the open database " + database);
    EXPECT_EQ(talix_test::g_messages[1],
              "cannot write the file '" + database + "-wal': the open database " + database + " keeps its log there");
    EXPECT_EQ(Temporaries(dir), 0);
    EXPECT_FALSE(fs::exists(database + "-journal"));

    // Names that only look alike.
    for (const std::string& name : {database + "-wal2", database + ".html", dir.file("elsewhere/mail.nsf-wal")})
        EXPECT_TRUE(WriteOutput(name, "output")) << name;

    // The database reads as it did, once closed and opened again.
    EXPECT_EQ(plat::DbClose(db), plat::NOERROR);
    ASSERT_EQ(plat::DbOpen(database.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
    char subject[16] = {};
    EXPECT_EQ(plat::ItemGetText(note, "Subject", subject, sizeof subject), 4);
    EXPECT_STREQ(subject, "kept");
    plat::NoteClose(note);
    plat::DbClose(db);
}

} // namespace
