#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform_fixture.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using platform_test::WriteFile;
using talix_test::IniOverride;
using talix_test::TempDir;

bool SameId(const DBID& a, const DBID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Databases, CreateOpenAndClose) {
    TempDir dir, data;
    IniOverride directory("Directory", data.path().string());   // the file lies outside it
    std::string path = dir.file("first.nsf");
    DWORD open = TestOpenDatabases();
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    EXPECT_EQ(TestOpenDatabases(), open + 1);
    DBID created;
    ASSERT_EQ(DbReplicaId(db, &created), NOERROR);
    EXPECT_FALSE(created.Innards[0] == 0 && created.Innards[1] == 0);
    char shown[MAXPATH + 1];
    ASSERT_EQ(DbPath(db, shown, sizeof shown), NOERROR);
    EXPECT_EQ(std::string(shown), path);
    ASSERT_EQ(DbClose(db), NOERROR);
    EXPECT_EQ(DbClose(db), ERR_INVALID_HANDLE);
    EXPECT_EQ(TestOpenDatabases(), open);

    // Reopened, with backslashes for separators, it keeps its replica id.
    std::string backslashed = path;
    for (char& c : backslashed) {
        if (c == '/') c = '\\';
    }
    ASSERT_EQ(DbOpen(backslashed.c_str(), &db), NOERROR);
    DBID reopened;
    ASSERT_EQ(DbReplicaId(db, &reopened), NOERROR);
    EXPECT_TRUE(SameId(created, reopened));

    // Two databases get different replica ids.
    DBHANDLE second = NULLHANDLE;
    ASSERT_EQ(DbCreate(dir.file("second.nsf").c_str(), &second), NOERROR);
    DBID other;
    ASSERT_EQ(DbReplicaId(second, &other), NOERROR);
    EXPECT_FALSE(SameId(created, other));
    DbClose(second);
    DbClose(db);
    EXPECT_EQ(DbPath(db, shown, sizeof shown), ERR_INVALID_HANDLE);
    EXPECT_STREQ(shown, "");
}

TEST(Databases, OpenAndCreateFailures) {
    TempDir dir;
    DWORD open = TestOpenDatabases();
    DBHANDLE db = NULLHANDLE;
    EXPECT_EQ(DbOpen(dir.file("missing.nsf").c_str(), &db), ERR_FILE_NOT_FOUND);
    EXPECT_EQ(db, NULLHANDLE);

    // Not databases: a text file, an empty file, a directory.
    std::string text = dir.file("notes.txt");
    WriteFile(text, "This is not a database, only some text that is long enough to look like a page.\n");
    EXPECT_EQ(DbOpen(text.c_str(), &db), ERR_NOT_A_DATABASE);
    std::string empty = dir.file("empty.nsf");
    WriteFile(empty, "");
    EXPECT_EQ(DbOpen(empty.c_str(), &db), ERR_NOT_A_DATABASE);
    EXPECT_EQ(DbOpen(dir.path().string().c_str(), &db), ERR_NOT_A_DATABASE);
    EXPECT_EQ(TestOpenDatabases(), open);

    // An SQLite file that is not one of ours: a database of ours whose mark
    // (the application id at offset 68 of the file header) is cleared.
    std::string foreign = dir.file("foreign.nsf");
    ASSERT_EQ(DbCreate(foreign.c_str(), &db), NOERROR);
    DbClose(db);
    {
        std::fstream file(foreign, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(68);
        file.write("\0\0\0\0", 4);
    }
    EXPECT_EQ(DbOpen(foreign.c_str(), &db), ERR_NOT_A_DATABASE);

    // Creating over an existing file fails and leaves the file alone.
    EXPECT_EQ(DbCreate(text.c_str(), &db), ERR_DB_EXISTS);
    EXPECT_EQ(talix_test::ReadFile(text).substr(0, 15), "This is not a d");
    EXPECT_EQ(DbCreate(dir.file("no-such-dir/x.nsf").c_str(), &db), ERR_BAD_PATH);

    // Another server cannot be reached; this machine can, by name too.
    std::string local = dir.file("local.nsf");
    EXPECT_EQ(DbCreate(("elsewhere!!" + local).c_str(), &db), ERR_SERVER_UNREACHABLE);
    EXPECT_FALSE(std::filesystem::exists(local));
    ASSERT_EQ(DbCreate(("!!" + local).c_str(), &db), NOERROR);
    DbClose(db);
    {
        IniOverride server("ServerName", "Home/Office");
        EXPECT_EQ(DbOpen(("home/office!!" + local).c_str(), &db), NOERROR);
        DbClose(db);
    }
    EXPECT_EQ(DbOpen(("home/office!!" + local).c_str(), &db), ERR_SERVER_UNREACHABLE);

    std::string tooLong = "/" + std::string(MAXPATH + 1, 'a');
    EXPECT_EQ(DbOpen(tooLong.c_str(), &db), ERR_PATH_TOO_LONG);
    EXPECT_EQ(DbOpen("", &db), ERR_BAD_PATH);
    EXPECT_EQ(TestOpenDatabases(), open);
}

TEST(Databases, RelativePathsLieInTheDataDirectory) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "mail");
    IniOverride directory("Directory", dir.path().string() + "/");
    char data[MAXPATH + 1];
    WORD length = DataDirectory(data, sizeof data);
    EXPECT_EQ(std::string(data, length), dir.path().string());

    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate("mail\\user.nsf", &db), NOERROR);
    char shown[MAXPATH + 1];
    ASSERT_EQ(DbPath(db, shown, sizeof shown), NOERROR);
    EXPECT_STREQ(shown, "mail/user.nsf");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "mail" / "user.nsf"));
    char small[5];
    EXPECT_NE(DbPath(db, small, sizeof small), NOERROR);
    DbClose(db);
}

TEST(Databases, NetworkPaths) {
    char server[MAXPATH + 1], file[MAXPATH + 1], built[MAXPATH + 1];
    ASSERT_EQ(PathNetSplit("Hub/Acme!!mail\\jo.nsf", server, file), NOERROR);
    EXPECT_STREQ(server, "Hub/Acme");
    EXPECT_STREQ(file, "mail\\jo.nsf");
    ASSERT_EQ(PathNetBuild("", "mail/jo.nsf", built), NOERROR);
    EXPECT_STREQ(built, "mail/jo.nsf");
    std::string longName(MAXPATH, 'x');
    EXPECT_EQ(PathNetBuild("Hub", longName.c_str(), built), ERR_PATH_TOO_LONG);
    EXPECT_STREQ(built, "");
}

// A database made aside is under no name until it is published: it then
// holds what was written into it, and nothing is left beside it. One whose
// name another file took meanwhile, or that is discarded, leaves nothing.
TEST(Databases, ADatabaseMadeAsideTakesItsNameWhenPublished) {
    TempDir dir;
    const std::string path = dir.file("aside.nsf");
    const auto names = [&] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    };
    DWORD open = TestOpenDatabases();
    DBHANDLE db = NULLHANDLE;
    std::string aside;
    ASSERT_EQ(DbCreateAside(path.c_str(), &db, &aside), NOERROR);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(std::filesystem::exists(aside));
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db, &note), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Subject", 7, TYPE_TEXT, "hello", 5), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID id = 0;
    NoteGetInfo(note, NOTE_FIELD_ID, &id);
    NoteClose(note);
    EXPECT_EQ(DbClose(NULLHANDLE), ERR_INVALID_HANDLE);
    ASSERT_EQ(DbPublish(db), NOERROR);
    EXPECT_EQ(TestOpenDatabases(), open);
    EXPECT_EQ(names(), std::vector<std::string>{"aside.nsf"});
    ASSERT_EQ(DbOpen(path.c_str(), &db), NOERROR);
    ASSERT_EQ(NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
    char subject[16] = {};
    ItemGetText(note, "Subject", subject, sizeof subject);
    EXPECT_STREQ(subject, "hello");
    NoteClose(note);
    EXPECT_EQ(DbPublish(db), ERR_BAD_ARGUMENT);   // not made aside
    DbClose(db);

    // A name already taken: refused at once, or at publishing.
    EXPECT_EQ(DbCreateAside(path.c_str(), &db, &aside), ERR_DB_EXISTS);
    const std::string other = dir.file("other.nsf");
    ASSERT_EQ(DbCreateAside(other.c_str(), &db, &aside), NOERROR);
    WriteFile(other, "someone's file");
    EXPECT_EQ(DbPublish(db), ERR_DB_EXISTS);
    EXPECT_EQ(talix_test::ReadFile(other), "someone's file");
    std::filesystem::remove(other);

    ASSERT_EQ(DbCreateAside(other.c_str(), &db, &aside), NOERROR);
    EXPECT_EQ(DbDiscard(db), NOERROR);
    // The published database, with the log files of the connection this
    // process keeps for it.
    for (const std::string& name : names()) EXPECT_EQ(name.rfind("aside.nsf", 0), 0u) << name;
    for (const std::string& name : names()) EXPECT_EQ(name.find(".new-"), std::string::npos) << name;
    EXPECT_EQ(TestOpenDatabases(), open);
}

// A new database gets the permissions the umask leaves, as any new file
// does: a group the umask lets write may write it, one it shuts out may not
// read it; made directly or aside.
TEST(Databases, ANewDatabaseHasThePermissionsTheUmaskLeaves) {
    TempDir dir;
    const mode_t saved = ::umask(0);
    int made = 0;
    for (const mode_t mask : {002, 022, 077}) {
        ::umask(mask);
        for (const bool aside : {false, true}) {
            SCOPED_TRACE(std::to_string(mask) + (aside ? " aside" : ""));
            const std::string path = dir.file("mode" + std::to_string(made++) + ".nsf");
            DBHANDLE db = NULLHANDLE;
            std::string building;
            ASSERT_EQ(aside ? DbCreateAside(path.c_str(), &db, &building) : DbCreate(path.c_str(), &db), NOERROR);
            if (aside) ASSERT_EQ(DbPublish(db), NOERROR);
            else DbClose(db);
            struct stat info {};
            ASSERT_EQ(::stat(path.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);
        }
    }
    ::umask(saved);
}

TEST(Databases, ObjectsHoldBytes) {
    TempDir dir;
    std::string path = dir.file("objects.nsf");
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(path.c_str(), &db), NOERROR);
    DWORD id = 0, other = 0;
    ASSERT_EQ(DbAllocObject(db, 10, OBJECT_CLASS_FILE, &id), NOERROR);
    ASSERT_EQ(DbAllocObject(db, 0, OBJECT_CLASS_FILE, &other), NOERROR);
    EXPECT_NE(id, other);
    ASSERT_EQ(DbWriteObjectBytes(db, id, "abc", 2, 3), NOERROR);

    DHANDLE block = NULLHANDLE;
    ASSERT_EQ(MemAlloc(4, MEM_GROWABLE, &block), NOERROR);
    std::memcpy(MemLock(block), "WXYZ", 4);
    MemUnlock(block);
    ASSERT_EQ(DbWriteObject(db, id, block, 6, 4), NOERROR);
    EXPECT_EQ(DbWriteObject(db, id, block, 7, 4), ERR_OBJECT_RANGE);
    EXPECT_EQ(DbWriteObject(db, id, block, 0, 5), ERR_BAD_ARGUMENT);   // more than the block holds
    MemFree(block);
    EXPECT_EQ(DbWriteObjectBytes(db, id, "abc", 0xFFFFFFFF, 3), ERR_OBJECT_RANGE);
    // A stored note names the first object (an object item: object type,
    // then the object id); no note names the other.
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db, &note), NOERROR);
    BYTE descriptor[6] = {};
    std::memcpy(descriptor + 2, &id, 4);
    ASSERT_EQ(ItemAppend(note, 0, "$FILE", 5, TYPE_OBJECT, descriptor, sizeof descriptor), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NoteClose(note);
    DbClose(db);

    // The named object's bytes are kept in the file, the other is gone.
    ASSERT_EQ(DbOpen(path.c_str(), &db), NOERROR);
    DWORD size = 0;
    EXPECT_EQ(DbObjectSize(db, other, &size), ERR_OBJECT_NOT_FOUND);
    ASSERT_EQ(DbObjectSize(db, id, &size), NOERROR);
    EXPECT_EQ(size, 10u);
    ASSERT_EQ(DbReadObject(db, id, 0, 0xFFFFFFFF, &block), NOERROR);
    ASSERT_EQ(MemSize(block), 10u);
    EXPECT_EQ(std::memcmp(MemLock(block), "\0\0abc\0WXYZ", 10), 0);
    MemUnlock(block);
    MemFree(block);
    ASSERT_EQ(DbReadObject(db, id, 3, 2, &block), NOERROR);
    EXPECT_EQ(std::memcmp(MemLock(block), "bc", 2), 0);
    MemFree(block);
    EXPECT_EQ(DbReadObject(db, id, 8, 3, &block), ERR_OBJECT_RANGE);
    EXPECT_EQ(block, NULLHANDLE);

    ASSERT_EQ(DbFreeObject(db, id), NOERROR);
    EXPECT_EQ(DbObjectSize(db, id, &size), ERR_OBJECT_NOT_FOUND);
    EXPECT_EQ(DbFreeObject(db, id), ERR_OBJECT_NOT_FOUND);
    // A freed object's id is not given out again.
    DWORD next = 0;
    ASSERT_EQ(DbAllocObject(db, 1, OBJECT_CLASS_FILE, &next), NOERROR);
    EXPECT_NE(next, id);
    DbClose(db);
    EXPECT_EQ(DbAllocObject(db, 1, OBJECT_CLASS_FILE, &next), ERR_INVALID_HANDLE);
}

} // namespace
