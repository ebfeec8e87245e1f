// talix records reads an item through the library's record reader: on a
// damaged value it lists the records the reader read and reports the
// failure where the reader stopped.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;
using Bytes = std::vector<std::uint8_t>;

class RecordsThroughTheReader : public talix_test::CliTest {
protected:
    // Stores a note whose item "Body" is made of the values (records only:
    // the data-type word is added) and returns its note id as text.
    std::string StoreNote(const std::vector<Bytes>& values) {
        plat::DBHANDLE db = 0;
        EXPECT_EQ(plat::DbCreate(db_.c_str(), &db), plat::NOERROR);
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
        for (const Bytes& value : values) {
            EXPECT_EQ(plat::ItemAppend(note, 0, "Body", 4, plat::TYPE_COMPOSITE, value.data(),
                                       static_cast<plat::DWORD>(value.size())),
                      plat::NOERROR);
        }
        EXPECT_EQ(plat::NoteUpdate(note, plat::UPDATE_FORCE), plat::NOERROR);
        plat::NOTEID id = 0;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
        plat::NoteClose(note);
        plat::DbClose(db);
        char text[16];
        std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(id));
        return text;
    }

    // The number of records the library's reader reads from the note's
    // "Body", and its status.
    std::size_t ReadByLibrary(const std::string& noteId, talix::STATUS* status) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        EXPECT_EQ(plat::DbOpen(db_.c_str(), &db), plat::NOERROR);
        EXPECT_EQ(plat::NoteOpen(db, static_cast<plat::NOTEID>(std::stoul(noteId, nullptr, 16)), 0, &note),
                  plat::NOERROR);
        RARIvoSession session;
        ZervaRTItem item(&session);
        talix::ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, note, "Body", status);
        std::size_t count = 0;
        for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr;
             node = node->next)
            ++count;
        talix::DeleteItemRecordList(&session, list);
        plat::NoteClose(note);
        plat::DbClose(db);
        return count;
    }
};

Bytes Paragraph() { return {0x81, 0x02}; }

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

TEST_F(RecordsThroughTheReader, ADamagedValueGivesTheReadersRecordsAndFailure) {
    // A long-form record too large to be held in a record list.
    Bytes huge = {0x96, 0x00, 0x70, 0x11, 0x01, 0x00};   // 70,000 bytes
    huge.resize(70000);
    struct Case {
        const char* what;
        std::vector<Bytes> values;
        const char* message;   // part of the failure message
    };
    const Case cases[] = {
        {"a text run past the end", {Join({Paragraph(), {0x85, 0xFF, 0x20, 0x00, 0x01, 0x00, 0x00, 0x00}})},
         "item 1: damaged data at byte 4: record 0xFF85 of length 32 runs past the end"},
        {"a record of length 0", {Join({Paragraph(), Paragraph(), {0, 0, 0, 0, 0, 0}})},
         "item 1: damaged data at byte 6: record 0x0000 has length 0"},
        {"a signature of 0", {Join({Paragraph(), {0, 0, 8, 0, 0, 0, 1, 2}})}, "has signature 0"},
        {"a paragraph in long form", {Join({Paragraph(), {0x81, 0x00, 0x06, 0x00, 0x00, 0x00}})},
         "record 0x0081 has a header its signature does not have"},
        {"a header cut off", {Join({Paragraph(), {0x85, 0xFF, 0x00}})}, "the record header of 0xFF85 is cut off"},
        {"a record too large to hold", {Join({Paragraph(), huge})}, "is too large to hold"},
        {"damage in the second item", {Join({Paragraph(), Paragraph()}), Join({Paragraph(), {0x85, 0xFF, 0x40, 0}})},
         "item 2: damaged data at byte 4"},
        // A byte after the last record is a header cut off.
        {"one byte after the last record", {Join({Paragraph(), Paragraph(), {0x07}})},
         "item 1: damaged data at byte 6: a record header needs 2 bytes, 1 is left"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::remove(db_.c_str());
        const std::string id = StoreNote(c.values);
        talix::STATUS status = 1;
        const std::size_t read = ReadByLibrary(id, &status);
        CliOutcome listed = Talix({"records", db_, id, "Body"});
        EXPECT_EQ(listed.lines().size(), read) << listed.out;
        EXPECT_EQ(status, talix::kDamagedRecords);
        EXPECT_EQ(listed.status, 1);
        EXPECT_NE(listed.err.find(c.message), std::string::npos) << listed.err;
        // The host listing reads through the same reader.
        CliOutcome host = Talix({"records", "--host", db_, id, "Body"});
        EXPECT_EQ(host.lines().size(), read);
        EXPECT_EQ(host.status, 1);
    }
}

} // namespace
