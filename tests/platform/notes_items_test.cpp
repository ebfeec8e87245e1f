#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"

namespace {

using namespace plat;

struct StoredItem {
    std::string name;
    WORD flags = 0;
    std::string value;   // data-type word first
    bool operator==(const StoredItem&) const = default;
};

std::ostream& operator<<(std::ostream& out, const StoredItem& item) {
    return out << item.name << " flags " << item.flags << " " << item.value.size() << " bytes";
}

// Every item of an open note, in order, read through the item calls.
std::vector<StoredItem> ReadItems(NOTEHANDLE note) {
    std::vector<StoredItem> items;
    STATUS status = ItemScan(note, [&](BLOCKID item) -> STATUS {
        char name[256];
        StoredItem read;
        BLOCKID value;
        DWORD length = 0;
        STATUS queried = ItemQuery(item, name, sizeof name, &read.flags, nullptr, &value, &length);
        if (queried != NOERROR) return queried;
        read.name = name;
        auto* bytes = static_cast<const char*>(BlockLock(value));
        if (bytes == nullptr) return ERR_INVALID_HANDLE;
        read.value.assign(bytes, length);
        BlockUnlock(value);
        items.push_back(read);
        return NOERROR;
    });
    EXPECT_EQ(status, NOERROR);
    return items;
}

std::string Typed(WORD type, const std::string& bytes) {
    std::string value;
    value.push_back(static_cast<char>(type & 0xFF));
    value.push_back(static_cast<char>(type >> 8));
    return value + bytes;
}

STATUS Append(NOTEHANDLE note, const StoredItem& item) {
    WORD type = static_cast<WORD>(static_cast<BYTE>(item.value[0]) | (static_cast<BYTE>(item.value[1]) << 8));
    return ItemAppend(note, item.flags, item.name.data(), static_cast<WORD>(item.name.size()), type,
                      item.value.data() + 2, static_cast<DWORD>(item.value.size() - 2));
}

NOTEID IdOf(NOTEHANDLE note) {
    NOTEID id = 0;
    EXPECT_EQ(NoteGetInfo(note, NOTE_FIELD_ID, &id), NOERROR);
    return id;
}

UNID UnidOf(NOTEHANDLE note) {
    ORIGINATORID oid;
    EXPECT_EQ(NoteGetInfo(note, NOTE_FIELD_OID, &oid), NOERROR);
    UNID unid;
    unid.File = oid.File;
    unid.Note = oid.Note;
    return unid;
}

int CountNotes(DBHANDLE db) {
    int count = 0;
    EXPECT_EQ(DbScanNotes(db, [&](NOTEID, WORD) -> STATUS { ++count; return NOERROR; }), NOERROR);
    return count;
}

class NotesTest : public testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.file("notes.nsf");
        ASSERT_EQ(DbCreate(path_.c_str(), &db_), NOERROR);
    }
    void TearDown() override {
        TestFailUpdateAfterItems(-1);
        DbClose(db_);
    }
    // Closes and reopens the database, so that what follows reads the file.
    void Reopen() {
        ASSERT_EQ(DbClose(db_), NOERROR);
        ASSERT_EQ(DbOpen(path_.c_str(), &db_), NOERROR);
    }
    // Creates and stores a note with the given items; returns its id.
    NOTEID Store(const std::vector<StoredItem>& items) {
        NOTEHANDLE note = NULLHANDLE;
        EXPECT_EQ(NoteCreate(db_, &note), NOERROR);
        for (const auto& item : items) EXPECT_EQ(Append(note, item), NOERROR);
        EXPECT_EQ(NoteUpdate(note, UPDATE_FORCE), NOERROR);
        NOTEID id = IdOf(note);
        NoteClose(note);
        return id;
    }
    std::vector<StoredItem> Stored(NOTEID id) {
        NOTEHANDLE note = NULLHANDLE;
        EXPECT_EQ(NoteOpen(db_, id, OPEN_NOTE_DEFAULT, &note), NOERROR);
        auto items = ReadItems(note);
        NoteClose(note);
        return items;
    }

    talix_test::TempDir dir_;
    std::string path_;
    DBHANDLE db_ = NULLHANDLE;
};

const std::vector<StoredItem> kSample = {
    {"$Info", 0, Typed(TYPE_COMPOSITE, std::string("\x81\x02\x03\x00\xff", 5))},
    {"Body", 0, Typed(TYPE_COMPOSITE, "first part")},
    {"Subject", ITEM_SUMMARY, Typed(TYPE_TEXT, std::string("line\0two", 8))},
    {"BODY", ITEM_SIGN, Typed(TYPE_COMPOSITE, "second part")},
    {"$Empty", ITEM_PLACEHOLDER, Typed(TYPE_TEXT, "")},
    {"body", 0, Typed(TYPE_COMPOSITE, std::string(70000, '\x7f'))},
};

TEST_F(NotesTest, ItemsComeBackByteForByteAndInOrder) {
    NOTEID first = Store(kSample);
    NOTEID second = Store({{"Form", 0, Typed(TYPE_TEXT, "Memo")}});
    EXPECT_GE(first, 0x100u);
    EXPECT_EQ(first % 4, 0u);
    EXPECT_GT(second, first);
    Reopen();
    EXPECT_EQ(Stored(first), kSample);

    // The scan runs in note-id order; a non-zero result stops it.
    std::vector<NOTEID> scanned;
    ASSERT_EQ(DbScanNotes(db_, [&](NOTEID id, WORD) -> STATUS { scanned.push_back(id); return NOERROR; }),
              NOERROR);
    EXPECT_EQ(scanned, (std::vector<NOTEID>{first, second}));
    EXPECT_EQ(DbScanNotes(db_, [](NOTEID, WORD) -> STATUS { return ERR_ENUM_DONE; }), ERR_ENUM_DONE);
    EXPECT_EQ(DbNoteInfo(db_, second + 4, nullptr, nullptr, nullptr), ERR_NOTE_NOT_FOUND);
}

TEST_F(NotesTest, WalksOverSameNamedItems) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, Store(kSample), OPEN_NOTE_DEFAULT, &note), NOERROR);
    BLOCKID item, value;
    WORD type = 0;
    DWORD length = 0;
    std::vector<std::string> walked;
    STATUS status = ItemInfo(note, "bOdY", 4, &item, &type, &value, &length);
    while (status == NOERROR) {
        EXPECT_EQ(type, TYPE_COMPOSITE);
        walked.emplace_back(static_cast<const char*>(BlockLock(value)) + 2, length - 2);
        status = ItemInfoNext(note, item, "Body", 4, &item, &type, &value, &length);
    }
    EXPECT_EQ(status, ERR_ITEM_NOT_FOUND);
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_EQ(walked[0], "first part");
    EXPECT_EQ(walked[1], "second part");
    EXPECT_EQ(walked[2].size(), 70000u);

    EXPECT_EQ(ItemInfo(note, "Missing", 7, &item, &type, &value, &length), ERR_ITEM_NOT_FOUND);
    EXPECT_TRUE(ItemIsPresent(note, "SUBJECT", 7));
    EXPECT_EQ(ItemDelete(note, "Missing", 7), ERR_ITEM_NOT_FOUND);

    // Deleting a name deletes every item of it; block ids of deleted items are invalid.
    ASSERT_EQ(ItemInfo(note, "Body", 4, &item, nullptr, &value, nullptr), NOERROR);
    ASSERT_EQ(ItemDelete(note, "BODY", 4), NOERROR);
    EXPECT_FALSE(ItemIsPresent(note, "Body", 4));
    EXPECT_EQ(BlockLock(value), nullptr);
    EXPECT_EQ(ItemQuery(item, nullptr, 0, nullptr, nullptr, nullptr, nullptr), ERR_INVALID_HANDLE);
    EXPECT_EQ(ItemInfoNext(note, item, "Body", 4, &item, &type, &value, &length), ERR_INVALID_HANDLE);
    EXPECT_EQ(ReadItems(note).size(), kSample.size() - 3);
    NoteClose(note);
}

TEST_F(NotesTest, WalksGoOnWhileTheListChangesAndTakenItemsLeaveTheirValues) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, Store(kSample), OPEN_NOTE_DEFAULT, &note), NOERROR);
    // A walk goes on from its item when items before it go or others come.
    BLOCKID item, value;
    DWORD length = 0;
    ASSERT_EQ(ItemInfo(note, "Body", 4, &item, nullptr, &value, &length), NOERROR);
    ASSERT_EQ(ItemDelete(note, "$Info", 5), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Later", 5, TYPE_TEXT, "x", 1), NOERROR);
    EXPECT_EQ(std::string(static_cast<const char*>(BlockLock(value)) + 2, length - 2), "first part");
    ASSERT_EQ(ItemInfoNext(note, item, "Body", 4, &item, nullptr, &value, &length), NOERROR);
    EXPECT_EQ(std::string(static_cast<const char*>(BlockLock(value)) + 2, length - 2), "second part");
    const BLOCKID second = item;
    ASSERT_EQ(ItemInfoNext(note, item, "Body", 4, &item, nullptr, &value, &length), NOERROR);
    EXPECT_EQ(length, 70002u);
    // Stepping from an earlier item of the walk finds the same next one.
    BLOCKID again;
    ASSERT_EQ(ItemInfoNext(note, second, "Body", 4, &again, nullptr, nullptr, nullptr), NOERROR);
    EXPECT_EQ(again.block, item.block);

    // Taking the items of a name hands over their flags and values in
    // order, after what the list holds; the other items stay. A value a
    // handle keeps stays readable through the handle.
    BLOCKID firstValue;
    ASSERT_EQ(ItemInfo(note, "Body", 4, nullptr, nullptr, &firstValue, nullptr), NOERROR);
    DHANDLE kept = NULLHANDLE;
    ASSERT_EQ(BlockKeep(firstValue, &kept), NOERROR);
    std::vector<TakenItem> taken(1);
    taken[0].flags = 7;
    ASSERT_EQ(ItemTake(note, "BODY", 4, &taken), NOERROR);
    ASSERT_EQ(taken.size(), 4u);
    EXPECT_EQ(taken[0].flags, 7);
    for (std::size_t n = 1; n < taken.size(); ++n) {
        const StoredItem& expected = kSample[n == 1 ? 1 : n == 2 ? 3 : 5];
        EXPECT_EQ(taken[n].flags, expected.flags);
        EXPECT_EQ(std::string(taken[n].value.begin(), taken[n].value.end()), expected.value);
    }
    EXPECT_FALSE(ItemIsPresent(note, "Body", 4));
    EXPECT_EQ(BlockLock(firstValue), nullptr);
    EXPECT_EQ(std::memcmp(MemLock(kept), "\x01\x00" "first part", 12), 0);
    MemUnlock(kept);
    MemFree(kept);
    std::vector<std::string> names;
    for (const StoredItem& left : ReadItems(note)) names.push_back(left.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Subject", "$Empty", "Later"}));
    EXPECT_EQ(ItemTake(note, "Body", 4, &taken), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(taken.size(), 4u);
    EXPECT_EQ(ItemTake(note, "Subject", 7, nullptr), ERR_BAD_ARGUMENT);

    // A name looked up again after items before it went, or after another
    // item of the name came behind it, is still found at its first item.
    auto valueOf = [&](const char* name) {
        BLOCKID found;
        DWORD size = 0;
        if (ItemInfo(note, name, static_cast<WORD>(std::strlen(name)), nullptr, nullptr, &found, &size) != NOERROR)
            return std::string("(none)");
        return std::string(static_cast<const char*>(BlockLock(found)) + 2, size - 2);
    };
    EXPECT_EQ(valueOf("later"), "x");
    ASSERT_EQ(ItemAppend(note, 0, "Later", 5, TYPE_TEXT, "y", 1), NOERROR);
    EXPECT_EQ(valueOf("LATER"), "x");
    ASSERT_EQ(ItemDelete(note, "Subject", 7), NOERROR);
    EXPECT_EQ(valueOf("Later"), "x");
    char text[8];
    ASSERT_EQ(ItemSetText(note, "Later", "z", 1), NOERROR);
    EXPECT_EQ(valueOf("Later"), "z");
    EXPECT_EQ(ItemGetText(note, "later", text, sizeof text), 1);
    ASSERT_EQ(ItemDelete(note, "$Empty", 6), NOERROR);
    EXPECT_EQ(valueOf("Later"), "z");
    EXPECT_EQ(valueOf("Subject"), "(none)");
    EXPECT_EQ(ReadItems(note).size(), 1u);
    NoteClose(note);
}

TEST_F(NotesTest, ValueBlocksStayValidWhileOtherItemsChange) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Body", 4, TYPE_COMPOSITE, "abcdef", 6), NOERROR);
    BLOCKID value;
    ASSERT_EQ(ItemInfo(note, "Body", 4, nullptr, nullptr, &value, nullptr), NOERROR);
    const void* before = BlockLock(value);
    ASSERT_NE(before, nullptr);
    for (int i = 0; i < 200; ++i) {
        std::string name = "Field" + std::to_string(i);
        ASSERT_EQ(ItemAppend(note, 0, name.c_str(), static_cast<WORD>(name.size()), TYPE_TEXT, "x", 1), NOERROR);
    }
    ASSERT_EQ(ItemDelete(note, "Field7", 6), NOERROR);
    NUMBER number = 4;
    ASSERT_EQ(ItemSetNumber(note, "Field9", &number), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    EXPECT_EQ(BlockLock(value), before);
    EXPECT_EQ(std::memcmp(before, "\x01\x00" "abcdef", 8), 0);
    BlockUnlock(value);
    NoteClose(note);
    EXPECT_EQ(BlockLock(value), nullptr);
}

TEST_F(NotesTest, ManyItemsReplacedTakenAndMadeAgainKeepTheirBlockIdsApart) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    auto valueOf = [](BLOCKID value, DWORD length) {
        const auto* bytes = static_cast<const char*>(BlockLock(value));
        return bytes == nullptr ? std::string("(gone)") : std::string(bytes + 2, length - 2);
    };
    auto named = [&](const char* name) {
        BLOCKID value;
        DWORD length = 0;
        if (ItemInfo(note, name, static_cast<WORD>(std::strlen(name)), nullptr, nullptr, &value, &length) != NOERROR)
            return std::string("(none)");
        return valueOf(value, length);
    };
    // Parts with a mark after every tenth; a name looked for before it
    // is there is found once appended, behind all of them.
    constexpr int kParts = 2500;
    EXPECT_EQ(named("Late"), "(none)");
    for (int n = 0; n < kParts; ++n) {
        const std::string text = "part " + std::to_string(n);
        ASSERT_EQ(ItemAppend(note, 0, "Part", 4, TYPE_TEXT, text.data(), static_cast<DWORD>(text.size())), NOERROR);
        if (n % 10 == 9) ASSERT_EQ(ItemAppend(note, 0, "Mark", 4, TYPE_TEXT, text.data(), 6), NOERROR);
    }
    EXPECT_EQ(named("late"), "(none)");
    ASSERT_EQ(ItemAppend(note, 0, "Late", 4, TYPE_TEXT, "late", 4), NOERROR);
    EXPECT_EQ(named("LATE"), "late");

    std::vector<BLOCKID> partValues;
    BLOCKID item, value;
    DWORD length = 0;
    STATUS status = ItemInfo(note, "Part", 4, &item, nullptr, &value, &length);
    while (status == NOERROR) {
        EXPECT_EQ(valueOf(value, length), "part " + std::to_string(partValues.size()));
        partValues.push_back(value);
        status = ItemInfoNext(note, item, "Part", 4, &item, nullptr, &value, &length);
    }
    ASSERT_EQ(partValues.size(), static_cast<std::size_t>(kParts));
    DHANDLE kept = NULLHANDLE;
    ASSERT_EQ(BlockKeep(partValues[1234], &kept), NOERROR);

    // The first mark takes a new value, the other marks go; then the parts
    // are taken out with their values, and more new items are made.
    // A name looked for in vain before, appended after, is found behind
    // the items that were looked at.
    NUMBER number = 5;
    EXPECT_EQ(named("Ghost"), "(none)");
    ASSERT_EQ(ItemSetNumber(note, "Mark", &number), NOERROR);
    std::vector<TakenItem> taken;
    ASSERT_EQ(ItemTake(note, "Part", 4, &taken), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Ghost", 5, TYPE_TEXT, "ghost", 5), NOERROR);
    ASSERT_EQ(taken.size(), static_cast<std::size_t>(kParts));
    for (int n = 0; n < kParts; n += 499)
        EXPECT_EQ(std::string(taken[n].value.begin() + 2, taken[n].value.end()), "part " + std::to_string(n));
    constexpr int kNew = kParts + 300;   // more items than the note held before
    for (int n = 0; n < kNew; ++n) {
        const std::string text = "new " + std::to_string(n);
        ASSERT_EQ(ItemAppend(note, 0, "New", 3, TYPE_TEXT, text.data(), static_cast<DWORD>(text.size())), NOERROR);
    }
    // No block id of an item that went names one made since.
    for (BLOCKID gone : partValues) ASSERT_EQ(BlockLock(gone), nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(MemLock(kept)) + 2, 9), "part 1234");
    MemUnlock(kept);
    EXPECT_EQ(named("Part"), "(none)");
    EXPECT_EQ(named("Late"), "late");
    EXPECT_EQ(named("New"), "new 0");
    EXPECT_EQ(named("Ghost"), "ghost");
    std::vector<StoredItem> items = ReadItems(note);
    ASSERT_EQ(items.size(), static_cast<std::size_t>(kNew + 3));
    EXPECT_EQ(items[0].name, "Mark");
    EXPECT_EQ(items[1].name, "Late");
    EXPECT_EQ(items[2].name, "Ghost");
    EXPECT_EQ(items.back().value, Typed(TYPE_TEXT, "new " + std::to_string(kNew - 1)));

    // Stored and read again, the items come back in their order.
    ASSERT_EQ(NoteUpdate(note, UPDATE_FORCE), NOERROR);
    const NOTEID id = IdOf(note);
    NoteClose(note);
    EXPECT_EQ(std::string(static_cast<const char*>(MemLock(kept)) + 2, 9), "part 1234");
    MemUnlock(kept);
    MemFree(kept);
    EXPECT_EQ(Stored(id), items);
}

TEST_F(NotesTest, ItemsOfManyNamesLookedUpThenRemovedOneByOneAreFoundAsTheyStand) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    // More names than a removal keeps the look-ups' places for, each
    // looked up (found or not) before items are removed one at a time.
    constexpr int kNames = 600;
    auto nameOf = [](int n) { return "Field" + std::to_string(n); };
    for (int n = 0; n < kNames; ++n) {
        const std::string text = "value " + std::to_string(n);
        ASSERT_EQ(ItemAppend(note, 0, nameOf(n).c_str(), static_cast<WORD>(nameOf(n).size()), TYPE_TEXT, text.data(),
                             static_cast<DWORD>(text.size())),
                  NOERROR);
    }
    auto lookUp = [&](int n) {
        BLOCKID value;
        DWORD length = 0;
        const std::string name = nameOf(n);
        if (ItemInfo(note, name.c_str(), static_cast<WORD>(name.size()), nullptr, nullptr, &value, &length) != NOERROR)
            return std::string("(none)");
        return std::string(static_cast<const char*>(BlockLock(value)) + 2, length - 2);
    };
    for (int n = 0; n < kNames + 10; ++n) lookUp(n);
    // Every third goes, front to back, with look-ups between removals.
    for (int n = 0; n < kNames; n += 3) {
        const std::string name = nameOf(n);
        ASSERT_EQ(ItemDelete(note, name.c_str(), static_cast<WORD>(name.size())), NOERROR);
        ASSERT_EQ(lookUp(n + 1), "value " + std::to_string(n + 1));
    }
    // Names looked for in vain before are found once appended.
    ASSERT_EQ(ItemAppend(note, 0, nameOf(kNames + 5).c_str(), static_cast<WORD>(nameOf(kNames + 5).size()), TYPE_TEXT,
                         "late", 4),
              NOERROR);
    for (int n = 0; n < kNames + 10; ++n) {
        const std::string expected = n == kNames + 5                ? "late"
                                     : n >= kNames || n % 3 == 0 ? "(none)"
                                                                  : "value " + std::to_string(n);
        EXPECT_EQ(lookUp(n), expected) << nameOf(n);
    }
    NoteClose(note);
}

TEST_F(NotesTest, UniversalIdsAreKeptAndUnique) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    ORIGINATORID oid;
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_OID, &oid), NOERROR);
    oid.File.Innards[0] = 0x11111111;
    oid.File.Innards[1] = 0x22222222;
    oid.Note.Innards[0] = 0x33333333;
    oid.Note.Innards[1] = 0x44444444;
    oid.Sequence = 7;
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_OID, &oid), NOERROR);
    WORD form = NOTE_CLASS_FORM;
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_CLASS, &form), NOERROR);
    ASSERT_EQ(ItemSetText(note, "$TITLE", "Memo", 4), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID id = IdOf(note);
    UNID unid = UnidOf(note);
    NoteClose(note);
    Reopen();

    ASSERT_EQ(NoteOpenByUNID(db_, &unid, OPEN_NOTE_DEFAULT, &note), NOERROR);
    EXPECT_EQ(IdOf(note), id);
    ORIGINATORID read;
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_OID, &read), NOERROR);
    EXPECT_EQ(std::memcmp(&read, &oid, sizeof oid), 0);
    NoteClose(note);
    NOTEID found = 0;
    WORD noteClass = 0;
    ASSERT_EQ(DbNoteInfoByUNID(db_, &unid, &found, nullptr, nullptr, &noteClass), NOERROR);
    EXPECT_EQ(found, id);
    EXPECT_EQ(noteClass, NOTE_CLASS_FORM);

    // Another note may not take a universal id that is stored already.
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_OID, &oid), NOERROR);
    EXPECT_EQ(NoteUpdate(note, 0), ERR_UNID_EXISTS);
    EXPECT_EQ(IdOf(note), 0u);
    EXPECT_EQ(CountNotes(db_), 1);
    NoteClose(note);

    UNID unknown = unid;
    unknown.Note.Innards[0] ^= 1;
    EXPECT_EQ(NoteOpenByUNID(db_, &unknown, 0, &note), ERR_UNID_NOT_FOUND);
    EXPECT_EQ(DbNoteInfoByUNID(db_, &unknown, &found, nullptr, nullptr, nullptr), ERR_UNID_NOT_FOUND);
}

TEST_F(NotesTest, CopiesAreStoredAsNewNotes) {
    NOTEID original = Store(kSample);
    NOTEHANDLE note = NULLHANDLE, copy = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, original, OPEN_NOTE_SHARE, &note), NOERROR);
    ASSERT_EQ(NoteCopy(note, &copy), NOERROR);
    EXPECT_EQ(IdOf(copy), original);
    EXPECT_EQ(ReadItems(copy), kSample);

    // With note id 0 the copy is a new note, but not under the same universal id.
    NOTEID zero = 0;
    ASSERT_EQ(NoteSetInfo(copy, NOTE_FIELD_ID, &zero), NOERROR);
    EXPECT_EQ(NoteUpdate(copy, 0), ERR_UNID_EXISTS);
    ORIGINATORID fresh;
    ASSERT_EQ(DbGenerateOID(db_, &fresh), NOERROR);
    ASSERT_EQ(NoteSetInfo(copy, NOTE_FIELD_OID, &fresh), NOERROR);
    ASSERT_EQ(ItemSetText(copy, "Subject", "copied", 6), NOERROR);
    ASSERT_EQ(NoteUpdate(copy, 0), NOERROR);
    NOTEID copied = IdOf(copy);
    EXPECT_NE(copied, original);

    // An item block id of one note can be copied into another.
    BLOCKID info;
    ASSERT_EQ(ItemInfo(note, "$Info", 5, &info, nullptr, nullptr, nullptr), NOERROR);
    NOTEHANDLE third = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &third), NOERROR);
    ASSERT_EQ(ItemCopy(third, info), NOERROR);
    EXPECT_EQ(ReadItems(third), std::vector<StoredItem>{kSample[0]});
    NoteClose(third);
    NoteClose(copy);
    NoteClose(note);

    EXPECT_EQ(Stored(original), kSample);
    auto copiedItems = Stored(copied);
    ASSERT_EQ(copiedItems.size(), kSample.size());
    EXPECT_EQ(copiedItems[2].value, Typed(TYPE_TEXT, "copied"));
    EXPECT_EQ(CountNotes(db_), 2);
}

TEST_F(NotesTest, DeletedNotesAreGone) {
    NOTEID id = Store(kSample);
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, id, 0, &note), NOERROR);
    ASSERT_EQ(NoteDelete(db_, id, DELETE_NOTE_DEFAULT), NOERROR);
    NOTEHANDLE again = NULLHANDLE;
    EXPECT_EQ(NoteOpen(db_, id, 0, &again), ERR_NOTE_NOT_FOUND);
    EXPECT_EQ(NoteDelete(db_, id, DELETE_NOTE_DEFAULT), ERR_NOTE_NOT_FOUND);
    // The copy still open cannot bring it back under its old id.
    EXPECT_EQ(NoteUpdate(note, UPDATE_FORCE), ERR_NOTE_DELETED);
    NoteClose(note);
    EXPECT_EQ(CountNotes(db_), 0);

    // Note ids are not handed out again.
    EXPECT_GT(Store(kSample), id);
}

TEST_F(NotesTest, FailedUpdateLeavesTheStoredNoteAsItWas) {
    NOTEID id = Store(kSample);
    TIMEDATE storedModified;
    ASSERT_EQ(DbNoteInfo(db_, id, nullptr, &storedModified, nullptr), NOERROR);

    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, id, 0, &note), NOERROR);
    ASSERT_EQ(ItemDelete(note, "Subject", 7), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Body", 4, TYPE_COMPOSITE, "third part", 10), NOERROR);
    ASSERT_EQ(ItemSetText(note, "$Info", "changed", 7), NOERROR);
    WORD form = NOTE_CLASS_FORM;
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_CLASS, &form), NOERROR);
    auto changed = ReadItems(note);

    // A crash between the second and the third item.
    TestFailUpdateAfterItems(2);
    EXPECT_EQ(NoteUpdate(note, 0), ERR_INJECTED);
    EXPECT_EQ(ReadItems(note), changed);   // the note in memory is untouched too
    NoteClose(note);
    Reopen();
    EXPECT_EQ(Stored(id), kSample);
    WORD noteClass = 0;
    TIMEDATE modified;
    ASSERT_EQ(DbNoteInfo(db_, id, nullptr, &modified, &noteClass), NOERROR);
    EXPECT_EQ(noteClass, NOTE_CLASS_DOCUMENT);
    EXPECT_EQ(std::memcmp(&modified, &storedModified, sizeof modified), 0);

    // A new note that fails is not stored at all and can be stored afterwards.
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    for (const auto& item : kSample) ASSERT_EQ(Append(note, item), NOERROR);
    TestFailUpdateAfterItems(0);
    EXPECT_EQ(NoteUpdate(note, 0), ERR_INJECTED);
    EXPECT_EQ(IdOf(note), 0u);
    EXPECT_EQ(CountNotes(db_), 1);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);   // the fault happens once
    NOTEID later = IdOf(note);
    NoteClose(note);
    EXPECT_EQ(Stored(later), kSample);
}

// Two writers of one note, each through a handle of its own: an update that
// finds the note stored by the other since it was read is refused unless
// forced, and a forced one replaces only what it changed.
TEST_F(NotesTest, WritersOfOneNoteKeepEachOthersChanges) {
    NOTEID id = Store(kSample);
    DBHANDLE other = NULLHANDLE;
    ASSERT_EQ(DbOpen(path_.c_str(), &other), NOERROR);
    NOTEHANDLE a = NULLHANDLE, b = NULLHANDLE;
    ASSERT_EQ(NoteOpen(db_, id, 0, &a), NOERROR);
    ASSERT_EQ(NoteOpen(other, id, 0, &b), NOERROR);
    auto sequence = [&] {
        ORIGINATORID oid;
        EXPECT_EQ(DbNoteInfo(db_, id, &oid, nullptr, nullptr), NOERROR);
        return oid.Sequence;
    };
    const DWORD first = sequence();

    ASSERT_EQ(ItemSetText(a, "Subject", "from a", 6), NOERROR);
    ASSERT_EQ(NoteUpdate(a, 0), NOERROR);
    EXPECT_EQ(sequence(), first + 1);
    ASSERT_EQ(ItemSetText(b, "$Info", "from b", 6), NOERROR);
    EXPECT_EQ(NoteUpdate(b, 0), ERR_NOTE_CONFLICT);
    std::vector<StoredItem> expected = kSample;
    expected[2].value = Typed(TYPE_TEXT, "from a");
    EXPECT_EQ(Stored(id), expected);
    ASSERT_EQ(NoteUpdate(b, UPDATE_FORCE), NOERROR);
    expected[0].value = Typed(TYPE_TEXT, "from b");
    EXPECT_EQ(Stored(id), expected);
    EXPECT_EQ(sequence(), first + 2);
    // b is up to date now, a is not.
    EXPECT_EQ(NoteUpdate(b, 0), NOERROR);
    EXPECT_EQ(NoteUpdate(a, 0), ERR_NOTE_CONFLICT);
    NoteClose(a);
    NoteClose(b);

    // b removes an item and adds one; a, which read the note before, writes
    // the three parts of "Body" anew as two. Forced, a keeps b's changes:
    // the removed item stays removed (also through a's later updates), the
    // added one stays; every old part of "Body" gives way to a's.
    ASSERT_EQ(NoteOpen(db_, id, 0, &a), NOERROR);
    ASSERT_EQ(NoteOpen(other, id, 0, &b), NOERROR);
    ASSERT_EQ(ItemDelete(b, "$Empty", 6), NOERROR);
    ASSERT_EQ(Append(b, {"Added", 0, Typed(TYPE_TEXT, "by b")}), NOERROR);
    ASSERT_EQ(NoteUpdate(b, 0), NOERROR);
    ASSERT_EQ(ItemDelete(a, "body", 4), NOERROR);
    ASSERT_EQ(Append(a, {"Body", 0, Typed(TYPE_COMPOSITE, "new one")}), NOERROR);
    ASSERT_EQ(Append(a, {"Body", 0, Typed(TYPE_COMPOSITE, "new two")}), NOERROR);
    ASSERT_EQ(NoteUpdate(a, UPDATE_FORCE), NOERROR);
    expected = {expected[0], expected[2], {"Body", 0, Typed(TYPE_COMPOSITE, "new one")},
                {"Body", 0, Typed(TYPE_COMPOSITE, "new two")}, {"Added", 0, Typed(TYPE_TEXT, "by b")}};
    EXPECT_EQ(Stored(id), expected);
    ASSERT_EQ(ItemSetText(a, "Subject", "again", 5), NOERROR);
    ASSERT_EQ(NoteUpdate(a, 0), NOERROR);
    expected[1].value = Typed(TYPE_TEXT, "again");
    EXPECT_EQ(Stored(id), expected);
    // b, forced, writes nothing of "Body": a's parts stay whole.
    ASSERT_EQ(ItemSetText(b, "Added", "by b again", 10), NOERROR);
    ASSERT_EQ(NoteUpdate(b, UPDATE_FORCE), NOERROR);
    expected[4].value = Typed(TYPE_TEXT, "by b again");
    EXPECT_EQ(Stored(id), expected);
    NoteClose(a);
    NoteClose(b);

    // A value changed in place, through the bytes the item hands out, is
    // a change too.
    ASSERT_EQ(NoteOpen(db_, id, 0, &a), NOERROR);
    BLOCKID value;
    ASSERT_EQ(ItemInfo(a, "Added", 5, nullptr, nullptr, &value, nullptr), NOERROR);
    static_cast<char*>(BlockLock(value))[2] = 'B';
    BlockUnlock(value);
    ASSERT_EQ(NoteUpdate(a, 0), NOERROR);
    NoteClose(a);
    expected[4].value = Typed(TYPE_TEXT, "By b again");
    EXPECT_EQ(Stored(id), expected);
    EXPECT_EQ(DbClose(other), NOERROR);
}

TEST_F(NotesTest, HeaderFieldsAndMarks) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    DBHANDLE owner = NULLHANDLE;
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_DB, &owner), NOERROR);
    EXPECT_EQ(owner, db_);
    EXPECT_EQ(NoteSetInfo(note, NOTE_FIELD_DB, &owner), ERR_BAD_ARGUMENT);
    EXPECT_EQ(NoteGetInfo(note, 99, &owner), ERR_BAD_ARGUMENT);

    // Dates set by the caller are kept; the modified date otherwise follows updates.
    TIMEDATE when;
    when.Innards[0] = 4500000;
    when.Innards[1] = 0x00259E9A;
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_MODIFIED, &when), NOERROR);
    ASSERT_EQ(NoteSetInfo(note, NOTE_FIELD_CREATED, &when), NOERROR);
    ASSERT_EQ(NoteSetEncrypted(note, true), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID id = IdOf(note);
    NoteClose(note);

    ASSERT_EQ(NoteOpen(db_, id, 0, &note), NOERROR);
    TIMEDATE modified, created;
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_MODIFIED, &modified), NOERROR);
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_CREATED, &created), NOERROR);
    EXPECT_EQ(std::memcmp(&modified, &when, sizeof when), 0);
    EXPECT_EQ(std::memcmp(&created, &when, sizeof when), 0);
    EXPECT_TRUE(NoteIsEncrypted(note, 0));
    BYTE key[8];
    ASSERT_EQ(NoteDecrypt(note, 0, key), NOERROR);
    EXPECT_FALSE(NoteIsEncrypted(note, 0));
    EXPECT_EQ(NoteDecrypt(note, 0, key), ERR_NOT_ENCRYPTED);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_MODIFIED, &modified), NOERROR);
    EXPECT_NE(std::memcmp(&modified, &when, sizeof when), 0);
    NoteClose(note);
    ASSERT_EQ(NoteOpen(db_, id, 0, &note), NOERROR);
    EXPECT_FALSE(NoteIsEncrypted(note, 0));

    DWORD design = TestDesignUpdateCalls(), profile = TestProfileCalls();
    EXPECT_EQ(NotePrepareDesignUpdate(note), NOERROR);
    EXPECT_EQ(NoteProfileCall(note, "key", 3), NOERROR);
    EXPECT_EQ(TestDesignUpdateCalls(), design + 1);
    EXPECT_EQ(TestProfileCalls(), profile + 1);
    NoteClose(note);
    EXPECT_EQ(NoteUpdate(note, 0), ERR_INVALID_HANDLE);
}

TEST_F(NotesTest, TypedItemsRoundTrip) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    ASSERT_EQ(ItemSetText(note, "Subject", "old", 3), NOERROR);
    ASSERT_EQ(ItemAppend(note, 0, "Subject", 7, TYPE_TEXT, "older", 5), NOERROR);
    ASSERT_EQ(ItemSetText(note, "subject", "Hello \x82t\xe9", 9), NOERROR);   // replaces both
    NUMBER number = 2.5;
    ASSERT_EQ(ItemSetNumber(note, "Size", &number), NOERROR);
    TIMEDATE time;
    time.Innards[0] = 3600 * 100;
    time.Innards[1] = 2459000;
    ASSERT_EQ(ItemSetTime(note, "When", &time), NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID id = IdOf(note);
    NoteClose(note);
    Reopen();
    ASSERT_EQ(NoteOpen(db_, id, 0, &note), NOERROR);

    auto items = ReadItems(note);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].value, Typed(TYPE_TEXT, "Hello \x82t\xe9"));
    char text[64];
    EXPECT_EQ(ItemGetText(note, "SUBJECT", text, sizeof text), 9);
    EXPECT_STREQ(text, "Hello \x82t\xe9");
    EXPECT_EQ(ItemGetText(note, "Subject", text, 6), 5);   // cut to the limit, terminated
    EXPECT_STREQ(text, "Hello");
    EXPECT_EQ(ItemGetText(note, "Missing", text, sizeof text), 0);
    EXPECT_EQ(ItemGetText(note, "Size", text, sizeof text), 0);
    NUMBER readNumber = 0;
    ASSERT_TRUE(ItemGetNumber(note, "size", &readNumber));
    EXPECT_EQ(readNumber, 2.5);
    EXPECT_FALSE(ItemGetNumber(note, "Subject", &readNumber));
    TIMEDATE readTime;
    ASSERT_TRUE(ItemGetTime(note, "When", &readTime));
    EXPECT_EQ(std::memcmp(&readTime, &time, sizeof time), 0);
    EXPECT_FALSE(ItemGetTime(note, "Missing", &readTime));

    EXPECT_EQ(ItemConvertToText(note, "Size", text, sizeof text, ';'), 3);
    EXPECT_STREQ(text, "2.5");
    char expected[80];
    WORD expectedLength = 0;
    ASSERT_EQ(TimeToText(&time, expected, sizeof expected, &expectedLength), NOERROR);
    EXPECT_EQ(ItemConvertToText(note, "When", text, sizeof text, ';'), expectedLength);
    EXPECT_STREQ(text, expected);
    NoteClose(note);
}

TEST_F(NotesTest, TextLists) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    ASSERT_EQ(ItemAppendTextList(note, "$Fields", "Name", 4, false), NOERROR);
    ASSERT_EQ(ItemAppendTextList(note, "$Fields", "Body", 4, false), NOERROR);
    ASSERT_EQ(ItemAppendTextList(note, "$FIELDS", "Name", 4, false), NOERROR);   // skipped
    ASSERT_EQ(ItemAppendTextList(note, "$Fields", "", 0, true), NOERROR);
    ASSERT_EQ(ItemAppendTextList(note, "$Fields", "Name", 4, true), NOERROR);
    EXPECT_EQ(ItemTextListCount(note, "$Fields"), 4);
    auto items = ReadItems(note);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].value, Typed(TYPE_TEXT_LIST, std::string("\x04\x00\x04\x00\x04\x00\x00\x00\x04\x00"
                                                                "NameBodyName", 22)));
    char text[64];
    WORD length = 0;
    ASSERT_TRUE(ItemTextListEntry(note, "$Fields", 1, text, sizeof text, &length));
    EXPECT_STREQ(text, "Body");
    EXPECT_EQ(length, 4);
    EXPECT_FALSE(ItemTextListEntry(note, "$Fields", 4, text, sizeof text, &length));
    EXPECT_EQ(ItemConvertToText(note, "$Fields", text, sizeof text, ';'), 15);
    EXPECT_STREQ(text, "Name;Body;;Name");
    EXPECT_EQ(ItemConvertToText(note, "$Fields", text, 8, ','), 7);
    EXPECT_STREQ(text, "Name,Bo");

    // A text item counts as a one-entry list and becomes a list when appended to.
    ASSERT_EQ(ItemSetText(note, "Title", "One", 3), NOERROR);
    EXPECT_EQ(ItemTextListCount(note, "Title"), 1);
    ASSERT_EQ(ItemAppendTextList(note, "Title", "Two", 3, false), NOERROR);
    EXPECT_EQ(ItemConvertToText(note, "Title", text, sizeof text, '|'), 7);
    EXPECT_STREQ(text, "One|Two");

    // Other types are not text lists.
    NUMBER number = 1;
    ASSERT_EQ(ItemSetNumber(note, "Size", &number), NOERROR);
    EXPECT_EQ(ItemAppendTextList(note, "Size", "x", 1, true), ERR_ITEM_TYPE);
    EXPECT_EQ(ItemTextListCount(note, "Size"), 0);

    // A damaged list (a count past the end of the value) reads as nothing.
    ASSERT_EQ(ItemAppend(note, 0, "Broken", 6, TYPE_TEXT_LIST, "\x09\x00\x04\x00", 4), NOERROR);
    EXPECT_EQ(ItemTextListCount(note, "Broken"), 0);
    EXPECT_EQ(ItemConvertToText(note, "Broken", text, sizeof text, ';'), 0);
    NoteClose(note);
}

TEST_F(NotesTest, BadArgumentsAreRefused) {
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    std::string longName(256, 'n');
    EXPECT_EQ(ItemAppend(note, 0, "", 0, TYPE_TEXT, "x", 1), ERR_ITEM_NAME);
    EXPECT_EQ(ItemAppend(note, 0, longName.c_str(), 256, TYPE_TEXT, "x", 1), ERR_ITEM_NAME);
    EXPECT_EQ(ItemAppend(note, 0, longName.c_str(), 255, TYPE_TEXT, "x", 1), NOERROR);
    EXPECT_EQ(ItemAppend(note, 0, "Body", 4, TYPE_TEXT, nullptr, 5), ERR_BAD_ARGUMENT);
    EXPECT_EQ(ItemSetText(note, longName.c_str(), "x", 1), ERR_ITEM_NAME);

    // A value from a memory block: copied, the caller keeps the block.
    DHANDLE block = NULLHANDLE;
    ASSERT_EQ(MemAlloc(6, MEM_GROWABLE, &block), NOERROR);
    std::memcpy(MemLock(block), "\x00\x05" "abcd", 6);
    MemUnlock(block);
    EXPECT_EQ(ItemAppendByBlock(note, 0, "Text", 4, block, 7), ERR_BAD_ARGUMENT);
    EXPECT_EQ(ItemAppendByBlock(note, 0, "Text", 4, block, 1), ERR_BAD_ARGUMENT);
    ASSERT_EQ(ItemAppendByBlock(note, 0, "Text", 4, block, 4), NOERROR);
    std::memset(MemLock(block), 0, 6);
    MemUnlock(block);
    MemFree(block);
    EXPECT_EQ(ItemAppendByBlock(note, 0, "Text", 4, block, 4), ERR_INVALID_HANDLE);
    char text[8];
    EXPECT_EQ(ItemGetText(note, "Text", text, sizeof text), 2);
    EXPECT_STREQ(text, "ab");

    NoteClose(note);
    EXPECT_EQ(ItemAppend(note, 0, "Body", 4, TYPE_TEXT, "x", 1), ERR_INVALID_HANDLE);
    EXPECT_EQ(NoteOpen(db_, 0x104, 0, &note), ERR_NOTE_NOT_FOUND);
}

} // namespace
