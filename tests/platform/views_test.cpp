#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "status_codes.h"
#include "support/test_support.h"
#include "talix_platform.h"
#include "view_index.h"

namespace {

using namespace plat;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Reads a collection from a position in batches; counts the batches.
std::vector<NOTEID> ReadFrom(HCOLLECTION collection, CollectionPosition position, DWORD batch, DWORD limit,
                             int* batches = nullptr) {
    std::vector<NOTEID> ids;
    bool more = true;
    while (more && ids.size() < limit) {
        DHANDLE block = NULLHANDLE;
        DWORD count = 0;
        STATUS status = CollectionReadEntries(collection, &position, std::min<DWORD>(batch, limit - ids.size()), &block,
                                              &count, &more);
        EXPECT_EQ(status, NOERROR);
        if (status != NOERROR) break;
        const auto* read = static_cast<const NOTEID*>(MemLock(block));
        ids.insert(ids.end(), read, read + count);
        MemUnlock(block);
        MemFree(block);
        if (batches != nullptr) ++*batches;
    }
    return ids;
}

class Views : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(DbCreate(dir_.file("views.nsf").c_str(), &db_), NOERROR); }
    void TearDown() override {
        if (db_ != NULLHANDLE) DbClose(db_);
    }

    // Stores a note with text items (and number items for names starting
    // with "#"), of a class.
    NOTEID AddNote(const std::map<std::string, std::string>& items, WORD noteClass = NOTE_CLASS_DOCUMENT) {
        NOTEHANDLE note = NULLHANDLE;
        EXPECT_EQ(NoteCreate(db_, &note), NOERROR);
        EXPECT_EQ(NoteSetInfo(note, NOTE_FIELD_CLASS, &noteClass), NOERROR);
        for (const auto& [name, value] : items) {
            if (name[0] == '#') {
                NUMBER number = std::stod(value);
                EXPECT_EQ(ItemSetNumber(note, name.c_str() + 1, &number), NOERROR);
            } else {
                EXPECT_EQ(ItemSetText(note, name.c_str(), value.data(), static_cast<WORD>(value.size())), NOERROR);
            }
        }
        EXPECT_EQ(NoteUpdate(note, 0), NOERROR);
        NOTEID id = 0;
        EXPECT_EQ(NoteGetInfo(note, NOTE_FIELD_ID, &id), NOERROR);
        NoteClose(note);
        return id;
    }

    NOTEID AddView(const std::string& title, const std::string& selection, std::vector<std::string> columns,
                   std::vector<std::string> flags = {}) {
        NOTEID id = 0;
        EXPECT_EQ(ViewNoteCreate(db_, ViewDefinition{title, selection, columns, flags}, &id), NOERROR);
        return id;
    }

    std::string EntryText(HCOLLECTION collection, DWORD position) {
        std::string text;
        EXPECT_EQ(CollectionEntryText(collection, position, &text), NOERROR);
        return text;
    }

    talix_test::TempDir dir_;
    DBHANDLE db_ = NULLHANDLE;
};

TEST_F(Views, EveryKeyOfAThousandNotesIsFoundWithItsMatches) {
    // Subjects "key000" to "key299", spelled in capitals on odd notes; only
    // the memos (not every tenth note) are in the view.
    std::map<std::string, std::set<NOTEID>> byKey;
    std::map<NOTEID, std::string> subjects;
    for (int i = 0; i < 1000; ++i) {
        char subject[16];
        std::snprintf(subject, sizeof subject, i % 2 != 0 ? "KEY%03d" : "key%03d", i % 300);
        bool memo = i % 10 != 0;
        NOTEID id = AddNote({{"Form", memo ? "Memo" : "Other"}, {"Subject", subject}});
        if (memo) {
            byKey[Lower(subject)].insert(id);
            subjects[id] = subject;
        }
    }
    AddView("By Subject|bysubj", "SELECT Form = \"Memo\"", {"Subject"}, {"sorted"});
    NOTEID viewId = 0;
    ASSERT_EQ(FindDesignNote(db_, "BYSUBJ", NOTE_CLASS_VIEW, &viewId), NOERROR);
    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(db_, viewId, &collection), NOERROR);

    for (int k = 0; k < 300; ++k) {
        char key[16];
        std::snprintf(key, sizeof key, "Key%03d", k);
        CollectionPosition position;
        DWORD matches = 99;
        STATUS status = CollectionFindByKey(collection, key, 6, 0, &position, &matches);
        auto expected = byKey.find(Lower(key));
        if (expected == byKey.end()) {   // keys whose notes are all left out by the selection
            EXPECT_EQ(status & ERR_MASK, ERR_KEY_NOT_FOUND) << key;
            EXPECT_EQ(matches, 0u);
            continue;
        }
        ASSERT_EQ(status, NOERROR) << key;
        EXPECT_EQ(matches, expected->second.size()) << key;
        std::vector<NOTEID> found = ReadFrom(collection, position, 1000, matches);
        EXPECT_EQ(std::set<NOTEID>(found.begin(), found.end()), expected->second) << key;
    }
    CollectionPosition position;
    EXPECT_EQ(CollectionFindByKey(collection, "key", 3, 0, &position, nullptr), ERR_KEY_NOT_FOUND);

    // A partial key finds the run of keys that start with it.
    DWORD matches = 0;
    ASSERT_EQ(CollectionFindByKey(collection, "KEY01", 5, FIND_PARTIAL, &position, &matches), NOERROR);
    size_t expected = 0;
    for (const auto& [key, ids] : byKey) expected += key.rfind("key01", 0) == 0 ? ids.size() : 0;
    EXPECT_EQ(matches, expected);
    CollectionPosition exact;
    ASSERT_EQ(CollectionFindByKey(collection, "key011", 6, 0, &exact, nullptr), NOERROR);
    EXPECT_EQ(position.index, exact.index);

    // Batches of 100 read every entry once, in key order, and say when the
    // end is reached; reading past it fails.
    int batches = 0;
    std::vector<NOTEID> all = ReadFrom(collection, CollectionPosition(), 100, 0xFFFFFFFF, &batches);
    EXPECT_EQ(batches, 9);
    EXPECT_EQ(all.size(), subjects.size());
    EXPECT_EQ(std::set<NOTEID>(all.begin(), all.end()).size(), subjects.size());
    for (size_t i = 1; i < all.size(); ++i) {
        EXPECT_LE(Lower(subjects[all[i - 1]]), Lower(subjects[all[i]]));
    }
    EXPECT_EQ(Lower(EntryText(collection, 1)), "key001");
    position.index = static_cast<DWORD>(all.size() + 1);
    DHANDLE block = 7;
    DWORD count = 7;
    bool more = true;
    EXPECT_EQ(CollectionReadEntries(collection, &position, 100, &block, &count, &more), ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(block, NULLHANDLE);
    EXPECT_EQ(count, 0u);

    // Keys are at most 255 bytes.
    std::string longKey(256, 'k');
    EXPECT_EQ(CollectionFindByKey(collection, longKey.data(), 256, 0, &position, &matches), ERR_KEY_TOO_LONG);
    EXPECT_EQ(CollectionFindByKey(collection, longKey.data(), 255, 0, &position, &matches), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(CollectionClose(collection), NOERROR);
}

TEST_F(Views, CategoriesAndColumnOrders) {
    struct Doc {
        const char* category;
        const char* subject;
        const char* size;
    };
    const Doc docs[] = {{"Veg", "leek", "9"},     {"fruit", "pear", "100"}, {"Nuts", "pecan", "2"},
                        {"Fruit", "apple", "10"}, {"Veg", "bean", "30"},    {"Fruit", "fig", "5"}};
    std::map<NOTEID, Doc> byId;
    for (const Doc& doc : docs) byId[AddNote({{"Category", doc.category}, {"Subject", doc.subject}, {"#Size", doc.size}})] = doc;

    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(db_, AddView("Cat", "", {"Category", "Subject"}, {"categorized", "sorted"}), &collection),
              NOERROR);
    std::vector<NOTEID> entries = ReadFrom(collection, CollectionPosition(), 100, 100);
    std::vector<std::string> shown;
    for (size_t i = 0; i < entries.size(); ++i) {
        bool category = (entries[i] & NOTEID_CATEGORY) != 0;
        std::string text = EntryText(collection, static_cast<DWORD>(i + 1));
        EXPECT_EQ(text, category ? text : byId[entries[i]].category);
        shown.push_back(category ? "[" + Lower(text) + "]" : byId[entries[i]].subject);
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"[fruit]", "apple", "fig", "pear", "[nuts]", "pecan", "[veg]", "bean", "leek"}));
    std::set<NOTEID> categoryIds;
    for (NOTEID id : entries) {
        if ((id & NOTEID_CATEGORY) != 0) categoryIds.insert(id);
    }
    EXPECT_EQ(categoryIds.size(), 3u);

    // A key of a categorized column finds its category entry first, and the
    // matches cover the documents below it.
    CollectionPosition position;
    DWORD matches = 0;
    ASSERT_EQ(CollectionFindByKey(collection, "FRUIT", 5, 0, &position, &matches), NOERROR);
    EXPECT_EQ(position.index, 1u);
    EXPECT_EQ(matches, 4u);
    ASSERT_EQ(CollectionFindByKey(collection, "veg", 3, 0, &position, &matches), NOERROR);
    std::vector<NOTEID> veg = ReadFrom(collection, position, 100, matches);
    ASSERT_EQ(veg.size(), 3u);
    EXPECT_NE(veg[0] & NOTEID_CATEGORY, 0u);
    EXPECT_EQ(std::string(byId[veg[1]].subject) + byId[veg[2]].subject, "beanleek");
    EXPECT_EQ(CollectionClose(collection), NOERROR);

    // Numbers sort by value, here descending; a column without flags still
    // sorts the view (ascending).
    ASSERT_EQ(CollectionOpen(db_, AddView("Size", "", {"Size", "Subject"}, {"sorted descending"}), &collection), NOERROR);
    std::string sizes;
    for (NOTEID id : ReadFrom(collection, CollectionPosition(), 2, 100)) sizes += std::string(byId[id].size) + " ";
    EXPECT_EQ(sizes, "100 30 10 9 5 2 ");
    ASSERT_EQ(CollectionFindByKey(collection, "10", 2, 0, &position, &matches), ERR_KEY_NOT_FOUND);   // not a text
    EXPECT_EQ(CollectionClose(collection), NOERROR);

    ASSERT_EQ(CollectionOpen(db_, AddView("Plain", "", {"Subject"}), &collection), NOERROR);
    std::string subjects;
    for (NOTEID id : ReadFrom(collection, CollectionPosition(), 100, 100)) subjects += std::string(byId[id].subject) + " ";
    EXPECT_EQ(subjects, "apple bean fig leek pear pecan ");
    EXPECT_EQ(CollectionClose(collection), NOERROR);
}

TEST_F(Views, TheReservedIdOpensTheDefaultView) {
    NOTEHANDLE note = NULLHANDLE;
    AddNote({{"$TITLE", "Other"}}, NOTE_CLASS_VIEW);
    EXPECT_NE(NoteOpen(db_, NOTEID_DEFAULT_VIEW, OPEN_NOTE_DEFAULT, &note), NOERROR);
    EXPECT_EQ(note, NULLHANDLE);
    const NOTEID view = AddNote({{"$TITLE", "Main"}}, NOTE_CLASS_VIEW | NOTE_CLASS_DEFAULT);
    ASSERT_EQ(NoteOpen(db_, NOTEID_DEFAULT_VIEW, OPEN_NOTE_DEFAULT, &note), NOERROR);
    NOTEID opened = 0;
    EXPECT_EQ(NoteGetInfo(note, NOTE_FIELD_ID, &opened), NOERROR);
    EXPECT_EQ(opened, view);
    NoteClose(note);
}

TEST_F(Views, DesignNotesAreFoundByTitleOrAliasAndClass) {
    NOTEID view = AddView("Main View|MainAlias | Other Name", "", {"Subject"});
    NOTEID form = AddNote({{"$TITLE", "Main View"}}, NOTE_CLASS_FORM | NOTE_CLASS_DEFAULT);
    NOTEID document = AddNote({{"$TITLE", "Main View"}, {"Subject", "x"}});
    NOTEID found = 0;
    for (const char* name : {"main view", "MAINALIAS", "other name", " Other Name  "}) {
        EXPECT_EQ(FindDesignNote(db_, name, NOTE_CLASS_VIEW, &found), NOERROR) << name;
        EXPECT_EQ(found, view) << name;
    }
    EXPECT_EQ(FindDesignNote(db_, "Main View", NOTE_CLASS_FORM, &found), NOERROR);
    EXPECT_EQ(found, form);
    for (const char* name : {"Main", "", "  ", "Main View|MainAlias"}) {
        EXPECT_EQ(FindDesignNote(db_, name, NOTE_CLASS_VIEW, &found), ERR_DESIGN_NOT_FOUND) << name;
        EXPECT_EQ(found, 0u);
    }
    // A title is cut at its "|" characters, not at bytes of that value inside
    // other characters (U+7C73 and U+7C89 are stored with one).
    const std::string rice = NativeToLmbcs("\xE7\xB1\xB3"), flour = NativeToLmbcs("\xE7\xB2\x89");
    NOTEID riceForm = AddNote({{"$TITLE", rice + "|" + flour + "s"}}, NOTE_CLASS_FORM);
    for (const std::string& name : {rice, flour + "s"}) {
        EXPECT_EQ(FindDesignNote(db_, name.c_str(), NOTE_CLASS_FORM, &found), NOERROR);
        EXPECT_EQ(found, riceForm);
    }
    for (const std::string& name : {flour, rice.substr(0, 1)})
        EXPECT_EQ(FindDesignNote(db_, name.c_str(), NOTE_CLASS_FORM, &found), ERR_DESIGN_NOT_FOUND);
    EXPECT_EQ(FindDesignNote(db_, nullptr, NOTE_CLASS_VIEW, &found), ERR_BAD_ARGUMENT);
    EXPECT_NE(FindDesignNote(db_ + 1000, "Main View", NOTE_CLASS_VIEW, &found), NOERROR);

    // The design collection holds the design notes, not the documents.
    HCOLLECTION design = 0;
    ASSERT_EQ(CollectionOpen(db_, NOTEID_DESIGN_COLLECTION, &design), NOERROR);
    std::vector<NOTEID> ids = ReadFrom(design, CollectionPosition(), 10, 100);
    EXPECT_EQ(std::set<NOTEID>(ids.begin(), ids.end()), (std::set<NOTEID>{view, form, riceForm}));
    EXPECT_EQ(std::count(ids.begin(), ids.end(), document), 0);
    EXPECT_EQ(CollectionUpdate(design), NOERROR);
    EXPECT_EQ(CollectionClose(design), NOERROR);
}

TEST_F(Views, UpdatesAndBadInput) {
    NOTEID first = AddNote({{"Subject", "first"}});
    NOTEID view = AddView("All", "", {"Subject"});
    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(db_, view, &collection), NOERROR);
    NOTEID second = AddNote({{"Subject", "second"}});
    CollectionPosition position;
    DWORD matches = 0;
    EXPECT_EQ(CollectionFindByKey(collection, "second", 6, 0, &position, &matches), ERR_KEY_NOT_FOUND);
    ASSERT_EQ(CollectionUpdate(collection), NOERROR);
    ASSERT_EQ(CollectionFindByKey(collection, "second", 6, 0, &position, &matches), NOERROR);
    EXPECT_EQ(ReadFrom(collection, position, 10, matches), std::vector<NOTEID>{second});
    EXPECT_EQ(ReadFrom(collection, CollectionPosition(), 10, 10), (std::vector<NOTEID>{first, second}));

    // A closed collection is gone.
    EXPECT_EQ(CollectionClose(collection), NOERROR);
    EXPECT_EQ(CollectionClose(collection), ERR_INVALID_HANDLE);
    EXPECT_EQ(CollectionFindByKey(collection, "first", 5, 0, &position, &matches), ERR_INVALID_HANDLE);
    DHANDLE block = NULLHANDLE;
    DWORD count = 0;
    bool more = false;
    EXPECT_EQ(CollectionReadEntries(collection, &position, 10, &block, &count, &more), ERR_INVALID_HANDLE);

    // Only views have collections.
    HCOLLECTION other = 7;
    EXPECT_EQ(CollectionOpen(db_, first, &other), ERR_NOT_A_VIEW);
    EXPECT_NE(CollectionOpen(db_, 0x7FFF0000, &other), NOERROR);
    EXPECT_EQ(other, 0);

    // A view whose selection picks nothing reads as empty.
    ASSERT_EQ(CollectionOpen(db_, AddView("None", "SELECT Subject = \"nothing\"", {"Subject"}), &collection), NOERROR);
    position = CollectionPosition();
    ASSERT_EQ(CollectionReadEntries(collection, &position, 10, &block, &count, &more), NOERROR);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(more);
    MemFree(block);
    EXPECT_EQ(CollectionFindByKey(collection, "first", 5, 0, &position, &matches), ERR_KEY_NOT_FOUND);
    EXPECT_EQ(CollectionClose(collection), NOERROR);

    // A view whose selection does not compile is not stored.
    DWORD notes = 0;
    auto countNotes = [&]() {
        notes = 0;
        DbScanNotes(db_, [&](NOTEID, WORD) -> STATUS { ++notes; return NOERROR; });
        return notes;
    };
    DWORD before = countNotes();
    NOTEID bad = 0;
    EXPECT_NE(ViewNoteCreate(db_, ViewDefinition{"Bad", "SELECT Form = \"Memo", {"Subject"}, {}}, &bad), NOERROR);
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(countNotes(), before);
}

// A view whose column formulas or column flags are not a readable text list
// (a list counting entries its value does not hold, an item of another
// type) does not open, rather than listing its documents without columns
// or unsorted; an empty list is a view without columns.
TEST_F(Views, ADamagedDefinitionDoesNotOpen) {
    AddNote({{"Subject", "b"}});
    AddNote({{"Subject", "a"}});
    const NOTEID view = AddView("Damaged", "", {"Subject"}, {"descending"});
    auto replace = [&](const char* name, std::vector<BYTE> value) {
        NOTEHANDLE note = NULLHANDLE;
        ASSERT_EQ(NoteOpen(db_, view, OPEN_NOTE_DEFAULT, &note), NOERROR);
        ItemDelete(note, name, static_cast<WORD>(std::strlen(name)));
        ASSERT_EQ(ItemAppendValue(note, 0, name, std::move(value)), NOERROR);
        ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
        NoteClose(note);
    };
    auto opens = [&](std::vector<std::string>* firstColumn) {
        HCOLLECTION collection = 0;
        const STATUS status = CollectionOpen(db_, view, &collection);
        if (status != NOERROR) return status;
        for (DWORD i = 1;; ++i) {
            std::string text;
            if (CollectionEntryText(collection, i, &text) != NOERROR) break;
            firstColumn->push_back(text);
        }
        CollectionClose(collection);
        return NOERROR;
    };
    std::vector<std::string> texts;
    ASSERT_EQ(opens(&texts), NOERROR);
    EXPECT_EQ(texts, (std::vector<std::string>{"b", "a"}));

    // Three entries counted, one held.
    replace("$ViewColumns", {0x01, 0x05, 0x03, 0x00, 0x07, 0x00, 'S', 'u', 'b', 'j', 'e', 'c', 't'});
    EXPECT_EQ(opens(&texts), ERR_ITEM_TYPE);
    replace("$ViewColumns", {0x01, 0x05, 0x01, 0x00, 0x07, 0x00, 'S', 'u', 'b', 'j', 'e', 'c', 't'});
    texts.clear();
    ASSERT_EQ(opens(&texts), NOERROR);
    EXPECT_EQ(texts, (std::vector<std::string>{"b", "a"}));
    // Flags cut short; flags of another type.
    replace("$ViewColumnFlags", {0x01, 0x05, 0x01, 0x00, 0x0A, 0x00, 'd', 'e', 's', 'c'});
    EXPECT_EQ(opens(&texts), ERR_ITEM_TYPE);
    replace("$ViewColumnFlags", {0x00, 0x03, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F});
    EXPECT_EQ(opens(&texts), ERR_ITEM_TYPE);
    // An empty list: the view has no columns and opens.
    replace("$ViewColumnFlags", {0x01, 0x05, 0x00, 0x00});
    replace("$ViewColumns", {0x01, 0x05, 0x00, 0x00});
    texts.clear();
    EXPECT_EQ(opens(&texts), NOERROR);
}

// Every categorized column of a view gives a category entry before the
// documents of its group; with thousands of such columns the entries still
// read back whole.
TEST_F(Views, ThousandsOfCategorizedColumns) {
    constexpr size_t kColumns = 3000;
    const NOTEID a = AddNote({{"Subject", "a"}});
    const NOTEID b = AddNote({{"Subject", "b"}});
    const NOTEID view = AddView("Deep", "", std::vector<std::string>(kColumns, "Subject"),
                                std::vector<std::string>(kColumns, "categorized"));
    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(db_, view, &collection), NOERROR);

    const std::vector<NOTEID> entries = ReadFrom(collection, CollectionPosition(), 1000, 10000);
    ASSERT_EQ(entries.size(), 2 * (kColumns + 1));
    EXPECT_EQ(entries[kColumns], a);
    EXPECT_EQ(entries.back(), b);
    std::set<NOTEID> categories;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i == kColumns || i + 1 == entries.size()) continue;
        EXPECT_NE(entries[i] & NOTEID_CATEGORY, 0u);
        categories.insert(entries[i]);
    }
    EXPECT_EQ(categories.size(), 2 * kColumns);
    // The deepest category of each group shows its own column's value.
    EXPECT_EQ(EntryText(collection, kColumns), "a");
    EXPECT_EQ(EntryText(collection, 2 * kColumns + 1), "b");
    CollectionPosition position;
    DWORD matches = 0;
    ASSERT_EQ(CollectionFindByKey(collection, "B", 1, 0, &position, &matches), NOERROR);
    EXPECT_EQ(position.index, kColumns + 2);
    EXPECT_EQ(matches, kColumns + 1);
    EXPECT_EQ(CollectionClose(collection), NOERROR);
}

// A column shows the first entry of a document's list however long the list
// is: lists of more than 64 KB (8,000 texts, 10,000 numbers) sort and show
// as their first entries do, beside documents of one value.
TEST_F(Views, LongListsShowTheirFirstEntry) {
    const NOTEID small = AddNote({{"Tags", "m"}, {"#Size", "5"}});
    NOTEHANDLE note = NULLHANDLE;
    ASSERT_EQ(NoteCreate(db_, &note), NOERROR);
    for (int i = 0; i < 8000; ++i) {
        char tag[16];
        std::snprintf(tag, sizeof tag, "t%06d", 7999 - i);
        ASSERT_EQ(ItemAppendTextList(note, "Tags", tag, 7, true), NOERROR);
    }
    std::vector<double> sizes(10000);
    for (size_t i = 0; i < sizes.size(); ++i) sizes[i] = 1.5 + static_cast<double>(i);
    std::string numbers(4, '\0');
    numbers[0] = static_cast<char>(sizes.size() & 0xFF);
    numbers[1] = static_cast<char>(sizes.size() >> 8);
    numbers.append(reinterpret_cast<const char*>(sizes.data()), sizes.size() * sizeof(double));
    ASSERT_EQ(ItemAppend(note, 0, "Size", 4, TYPE_NUMBER_RANGE, numbers.data(), static_cast<DWORD>(numbers.size())),
              NOERROR);
    ASSERT_EQ(NoteUpdate(note, 0), NOERROR);
    NOTEID large = 0;
    ASSERT_EQ(NoteGetInfo(note, NOTE_FIELD_ID, &large), NOERROR);
    NoteClose(note);

    HCOLLECTION collection = 0;
    ASSERT_EQ(CollectionOpen(db_, AddView("Tags", "", {"Tags", "Size"}, {"sorted descending"}), &collection), NOERROR);
    EXPECT_EQ(ReadFrom(collection, CollectionPosition(), 10, 10), (std::vector<NOTEID>{large, small}));
    EXPECT_EQ(EntryText(collection, 1), "t007999");
    CollectionPosition position;
    DWORD matches = 0;
    ASSERT_EQ(CollectionFindByKey(collection, "T007999", 7, 0, &position, &matches), NOERROR);
    EXPECT_EQ(matches, 1u);
    EXPECT_EQ(CollectionClose(collection), NOERROR);

    ASSERT_EQ(CollectionOpen(db_, AddView("Sizes", "", {"Size", "Tags"}, {"sorted"}), &collection), NOERROR);
    EXPECT_EQ(ReadFrom(collection, CollectionPosition(), 10, 10), (std::vector<NOTEID>{large, small}));
    EXPECT_EQ(EntryText(collection, 1), "1.5");
    EXPECT_EQ(CollectionClose(collection), NOERROR);
}

} // namespace
