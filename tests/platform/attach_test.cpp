#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform_fixture.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;
using platform_test::WriteFile;
using talix_test::ReadFile;
using talix_test::TempDir;

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(engine());
    return bytes;
}

// An open note of a fresh database, stored once.
struct NoteFixture {
    explicit NoteFixture(const TempDir& dir) {
        EXPECT_EQ(DbCreate(dir.file("attach.nsf").c_str(), &db), NOERROR);
        EXPECT_EQ(NoteCreate(db, &note), NOERROR);
        EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
        NoteGetInfo(note, NOTE_FIELD_ID, &id);
    }
    ~NoteFixture() {
        NoteClose(note);
        DbClose(db);
    }
    void Reopen() {
        NoteClose(note);
        EXPECT_EQ(NoteOpen(db, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
    }
    DBHANDLE db = NULLHANDLE;
    NOTEHANDLE note = NULLHANDLE;
    NOTEID id = 0;
};

// A "$FILE" item as stored: its flags, and its descriptor read with the
// structure call.
struct FileItem {
    BLOCKID item;
    WORD flags = 0, hostType = 0;
    DWORD objectId = 0, size = 0;
    std::string name;
};

// The n-th "$FILE" item of a note; false when there is none.
bool NthFileItem(NOTEHANDLE note, int n, FileItem* out) {
    BLOCKID value;
    DWORD length = 0;
    STATUS status = ItemInfo(note, "$FILE", 5, &out->item, nullptr, &value, &length);
    for (int i = 0; i < n && status == NOERROR; ++i) {
        status = ItemInfoNext(note, out->item, "$FILE", 5, &out->item, nullptr, &value, &length);
    }
    if (status != NOERROR) return false;
    ItemQuery(out->item, nullptr, 0, &out->flags, nullptr, nullptr, nullptr);
    const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
    BYTE host[40];
    const void* src = bytes + 2;
    EXPECT_EQ(StructRead(&src, 58, host), NOERROR);
    WORD nameLength = 0;
    std::memcpy(&out->objectId, host + 4, 4);
    std::memcpy(&nameLength, host + 8, 2);
    std::memcpy(&out->hostType, host + 10, 2);
    std::memcpy(&out->size, host + 20, 4);
    EXPECT_EQ(length, 2u + 36 + nameLength);
    out->name.assign(reinterpret_cast<const char*>(bytes) + 38, nameLength);
    BlockUnlock(value);
    return true;
}

TEST(Attachments, AttachedFilesComeBackIdentical) {
    TempDir dir;
    NoteFixture fixture(dir);
    std::string content = RandomBytes(1 << 20, 7);
    WriteFile(dir.file("source.bin"), content);
    WriteFile(dir.file("empty.txt"), "");
    ASSERT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, dir.file("source.bin").c_str(), "Report.PDF", ATTACH_DEFAULT),
              NOERROR);
    // Without a stored name the file's own name is taken; "\" separates too.
    std::string backslashed = dir.file("empty.txt");
    for (char& c : backslashed) c = c == '/' ? '\\' : c;
    ASSERT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, backslashed.c_str(), nullptr, 0), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    fixture.Reopen();

    FileItem big, empty;
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &big));
    ASSERT_TRUE(NthFileItem(fixture.note, 1, &empty));
    EXPECT_EQ(big.name, "Report.PDF");
    EXPECT_EQ(big.size, content.size());
    EXPECT_EQ(big.flags, 7);
    EXPECT_EQ(big.hostType, 0x0900);
    EXPECT_EQ(empty.name, "empty.txt");
    EXPECT_EQ(empty.size, 0u);

    WriteFile(dir.file("out.bin"), "an older file is replaced");
    ASSERT_EQ(NoteExtractFile(fixture.note, big.item, dir.file("out.bin").c_str()), NOERROR);
    EXPECT_TRUE(ReadFile(dir.file("out.bin")) == content);
    ASSERT_EQ(NoteExtractFile(fixture.note, empty.item, dir.file("empty.out").c_str()), NOERROR);
    EXPECT_EQ(ReadFile(dir.file("empty.out")), "");
    DHANDLE data = NULLHANDLE;
    DWORD size = 0;
    ASSERT_EQ(NoteReadAttachment(fixture.note, big.item, &data, &size), NOERROR);
    ASSERT_EQ(size, content.size());
    EXPECT_EQ(std::memcmp(MemLock(data), content.data(), size), 0);
    MemUnlock(data);
    MemFree(data);
}

TEST(Attachments, DetachFreesTheObjectOnceTheNoteIsStored) {
    TempDir dir;
    NoteFixture fixture(dir);
    WriteFile(dir.file("a.txt"), "attachment text");
    ASSERT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", ATTACH_DEFAULT), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    FileItem file;
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &file));

    // Detached but not stored: closing unsaved keeps the attachment whole.
    ASSERT_EQ(NoteDetachFile(fixture.note, file.item), NOERROR);
    EXPECT_FALSE(ItemIsPresent(fixture.note, "$FILE", 5));
    fixture.Reopen();
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &file));
    ASSERT_EQ(NoteExtractFile(fixture.note, file.item, dir.file("back.txt").c_str()), NOERROR);
    EXPECT_EQ(ReadFile(dir.file("back.txt")), "attachment text");

    ASSERT_EQ(NoteDetachFile(fixture.note, file.item), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    DWORD size = 0;
    EXPECT_EQ(DbObjectSize(fixture.db, file.objectId, &size), ERR_OBJECT_NOT_FOUND);
    fixture.Reopen();
    EXPECT_FALSE(ItemIsPresent(fixture.note, "$FILE", 5));
}

// The objects of attachments a note never stored go when it closes, unless
// another open note took the attachment meanwhile: a process that makes
// notes with attachments and drops them, again and again, holds none of
// them. An object no note named yet stays.
TEST(Attachments, ObjectsOfANoteClosedUnsavedGoWithIt) {
    TempDir dir;
    NoteFixture fixture(dir);
    WriteFile(dir.file("a.txt"), "attachment text");
    DWORD size = 0;
    DWORD loose = 0;
    ASSERT_EQ(DbAllocObject(fixture.db, 8, OBJECT_CLASS_FILE, &loose), NOERROR);

    // Attached, detached again, or left: gone with the unsaved note.
    std::vector<DWORD> dropped;
    for (bool detach : {false, true}) {
        NOTEHANDLE scratch = NULLHANDLE;
        ASSERT_EQ(NoteCreate(fixture.db, &scratch), NOERROR);
        ASSERT_EQ(NoteAttachFile(scratch, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", ATTACH_DEFAULT), NOERROR);
        FileItem file;
        ASSERT_TRUE(NthFileItem(scratch, 0, &file));
        EXPECT_EQ(DbObjectSize(fixture.db, file.objectId, &size), NOERROR);
        if (detach) ASSERT_EQ(NoteDetachFile(scratch, file.item), NOERROR);
        ASSERT_EQ(NoteClose(scratch), NOERROR);
        EXPECT_EQ(DbObjectSize(fixture.db, file.objectId, &size), ERR_OBJECT_NOT_FOUND);
        dropped.push_back(file.objectId);
    }

    // Named by two unsaved notes: kept until the second closes.
    {
        NOTEHANDLE first = NULLHANDLE, second = NULLHANDLE;
        ASSERT_EQ(NoteCreate(fixture.db, &first), NOERROR);
        ASSERT_EQ(NoteCreate(fixture.db, &second), NOERROR);
        ASSERT_EQ(NoteAttachFile(first, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", ATTACH_DEFAULT), NOERROR);
        FileItem shared;
        ASSERT_TRUE(NthFileItem(first, 0, &shared));
        ASSERT_EQ(ItemCopy(second, shared.item), NOERROR);
        ASSERT_EQ(NoteClose(first), NOERROR);
        EXPECT_EQ(DbObjectSize(fixture.db, shared.objectId, &size), NOERROR);
        ASSERT_EQ(NoteClose(second), NOERROR);
        EXPECT_EQ(DbObjectSize(fixture.db, shared.objectId, &size), ERR_OBJECT_NOT_FOUND);
    }

    // Copied into the stored note before the unsaved one closed: kept, and
    // stored with the note that names it.
    NOTEHANDLE scratch = NULLHANDLE;
    ASSERT_EQ(NoteCreate(fixture.db, &scratch), NOERROR);
    ASSERT_EQ(NoteAttachFile(scratch, "$FILE", 5, dir.file("a.txt").c_str(), "a.txt", ATTACH_DEFAULT), NOERROR);
    FileItem copied;
    ASSERT_TRUE(NthFileItem(scratch, 0, &copied));
    ASSERT_EQ(ItemCopy(fixture.note, copied.item), NOERROR);
    ASSERT_EQ(NoteClose(scratch), NOERROR);
    EXPECT_EQ(DbObjectSize(fixture.db, copied.objectId, &size), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    fixture.Reopen();
    FileItem file;
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &file));
    EXPECT_EQ(file.objectId, copied.objectId);
    ASSERT_EQ(NoteExtractFile(fixture.note, file.item, dir.file("back.txt").c_str()), NOERROR);
    EXPECT_EQ(ReadFile(dir.file("back.txt")), "attachment text");

    // Stored attachments stay when a note that let go of them closes unsaved
    // (the detach above); the object no note named is still there to attach.
    ASSERT_EQ(NoteDetachFile(fixture.note, file.item), NOERROR);
    fixture.Reopen();
    EXPECT_TRUE(ItemIsPresent(fixture.note, "$FILE", 5));
    EXPECT_EQ(DbObjectSize(fixture.db, loose, &size), NOERROR);
    EXPECT_EQ(size, 8u);
    for (DWORD object : dropped) EXPECT_NE(object, loose);
}

TEST(Attachments, BadInputGivesAStatusAndWritesNothing) {
    TempDir dir, target;
    NoteFixture fixture(dir);
    EXPECT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, dir.file("missing").c_str(), "m", 0), ERR_DISK_FILE_OPEN);
    EXPECT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, dir.path().c_str(), "dir", 0), ERR_DISK_FILE_OPEN);
    EXPECT_FALSE(ItemIsPresent(fixture.note, "$FILE", 5));

    // An attachment whose object is gone: no file, no memory block.
    WriteFile(dir.file("b.bin"), "bytes");
    ASSERT_EQ(NoteAttachFile(fixture.note, "$FILE", 5, dir.file("b.bin").c_str(), "b.bin", 0), NOERROR);
    FileItem file;
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &file));
    ASSERT_EQ(DbFreeObject(fixture.db, file.objectId), NOERROR);
    EXPECT_EQ(NoteExtractFile(fixture.note, file.item, target.file("b.bin").c_str()), ERR_OBJECT_NOT_FOUND);
    DHANDLE data = NULLHANDLE;
    DWORD size = 0;
    EXPECT_EQ(NoteReadAttachment(fixture.note, file.item, &data, &size), ERR_OBJECT_NOT_FOUND);
    EXPECT_EQ(data, NULLHANDLE);

    // A text item, and a descriptor whose name runs past the value.
    ASSERT_EQ(ItemSetText(fixture.note, "Subject", "hello", 5), NOERROR);
    BLOCKID text;
    ASSERT_EQ(ItemInfo(fixture.note, "Subject", 7, &text, nullptr, nullptr, nullptr), NOERROR);
    EXPECT_EQ(NoteExtractFile(fixture.note, text, target.file("x").c_str()), ERR_FILE_OBJECT);
    EXPECT_EQ(NoteDetachFile(fixture.note, text), ERR_FILE_OBJECT);
    std::string damaged(36, '\0');
    damaged[6] = 50;
    ASSERT_EQ(ItemAppend(fixture.note, 7, "$FILE", 5, TYPE_OBJECT, damaged.data(), 36), NOERROR);
    FileItem broken;
    ASSERT_EQ(ItemInfoNext(fixture.note, file.item, "$FILE", 5, &broken.item, nullptr, nullptr, nullptr), NOERROR);
    EXPECT_EQ(NoteExtractFile(fixture.note, broken.item, target.file("y").c_str()), ERR_FILE_OBJECT);
    EXPECT_TRUE(std::filesystem::is_empty(target.path()));
}

TEST(Attachments, ImportedAttachmentIsExtracted) {
    TempDir dir;
    DBHANDLE db = NULLHANDLE;
    ASSERT_EQ(DbCreate(dir.file("dxl.nsf").c_str(), &db), NOERROR);
    DxlImportResult result;
    ASSERT_EQ(DxlImportFile(db, (talix_test::SampleDxlDir() / "form-testls.xml").c_str(), &result), NOERROR);
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db, result.notes.at(0), OPEN_NOTE_DEFAULT, &note), NOERROR);
    FileItem file;
    ASSERT_TRUE(NthFileItem(note, 0, &file));
    EXPECT_EQ(file.name, "somejar.jar");
    ASSERT_EQ(NoteExtractFile(note, file.item, dir.file("somejar.jar").c_str()), NOERROR);
    std::string jar = ReadFile(dir.file("somejar.jar"));
    EXPECT_EQ(jar.size(), 3905u);
    EXPECT_EQ(jar.substr(0, 2), "PK");
    NoteClose(note);
    DbClose(db);
}

// Reads the "$OLEOBJINFO" record: name, description, flags.
STATUS ReadOleInfo(const void* record, WORD signature, DWORD length, void* context) {
    auto* info = static_cast<std::string*>(context);
    const auto* bytes = static_cast<const char*>(record);
    WORD nameLength = 0, descriptionLength = 0;
    DWORD flags = 0;
    std::memcpy(&nameLength, bytes + 4, 2);
    std::memcpy(&descriptionLength, bytes + 6, 2);
    std::memcpy(&flags, bytes + 32, 4);
    EXPECT_EQ(signature, 0xFFC1);
    EXPECT_EQ(length, 48u + nameLength + descriptionLength);
    *info += std::string(bytes + 48, nameLength) + "|" + std::string(bytes + 48 + nameLength, descriptionLength) +
             "|" + std::to_string(flags) + ";";
    return NOERROR;
}

TEST(OleObjects, WriteExtractReplaceAndRemove) {
    TempDir dir;
    NoteFixture fixture(dir);
    WriteFile(dir.file("first.ole"), RandomBytes(5000, 1));
    WriteFile(dir.file("second.ole"), RandomBytes(3001, 2));
    ASSERT_EQ(NoteWriteOleObject(fixture.note, dir.file("first.ole").c_str(), "EXT1", "Worksheet", 5), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    fixture.Reopen();
    ASSERT_EQ(NoteExtractOleObject(fixture.note, "ext1", dir.file("out.ole").c_str()), NOERROR);
    EXPECT_TRUE(ReadFile(dir.file("out.ole")) == ReadFile(dir.file("first.ole")));
    std::string info;
    ASSERT_EQ(EnumItemRecords(fixture.note, "$OLEOBJINFO", ReadOleInfo, &info), NOERROR);
    EXPECT_EQ(info, "EXT1|Worksheet|5;");
    FileItem first, second;
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &first));
    EXPECT_EQ(first.hostType, 0x0100);

    // Written again under that name, without a description: replaced once
    // stored; a missing source changes nothing.
    ASSERT_EQ(NoteWriteOleObject(fixture.note, dir.file("second.ole").c_str(), "EXT1", nullptr, 0), NOERROR);
    EXPECT_EQ(NoteWriteOleObject(fixture.note, dir.file("missing.ole").c_str(), "EXT1", "x", 0), ERR_DISK_FILE_OPEN);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    DWORD size = 0;
    EXPECT_EQ(DbObjectSize(fixture.db, first.objectId, &size), ERR_OBJECT_NOT_FOUND);
    ASSERT_TRUE(NthFileItem(fixture.note, 0, &second));
    EXPECT_FALSE(NthFileItem(fixture.note, 1, &first));
    info.clear();
    ASSERT_EQ(EnumItemRecords(fixture.note, "$OLEOBJINFO", ReadOleInfo, &info), NOERROR);
    EXPECT_EQ(info, "EXT1||0;");
    ASSERT_EQ(NoteExtractOleObject(fixture.note, "EXT1", dir.file("out.ole").c_str()), NOERROR);
    EXPECT_TRUE(ReadFile(dir.file("out.ole")) == ReadFile(dir.file("second.ole")));

    ASSERT_EQ(NoteRemoveOleObject(fixture.note, "Ext1"), NOERROR);
    ASSERT_EQ(NoteUpdate(fixture.note, 0), NOERROR);
    EXPECT_FALSE(ItemIsPresent(fixture.note, "$FILE", 5));
    EXPECT_FALSE(ItemIsPresent(fixture.note, "$OLEOBJINFO", 11));
    EXPECT_EQ(DbObjectSize(fixture.db, second.objectId, &size), ERR_OBJECT_NOT_FOUND);
    EXPECT_EQ(NoteRemoveOleObject(fixture.note, "EXT1"), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(NoteExtractOleObject(fixture.note, "EXT1", dir.file("gone.ole").c_str()), ERR_ITEM_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(dir.file("gone.ole")));
}

} // namespace
