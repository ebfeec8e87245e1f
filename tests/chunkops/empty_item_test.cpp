// Rich-text items whose stored value holds no records, only its data-type
// word (real design notes have such items): what is appended to them lands,
// as it lands in a blank item that was emptied.
#include <functional>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/item_work_state.h"
#include "core/record_io.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

class EmptyItemTest : public ChunkTest {
protected:
    // A note with an item "Body" holding its data-type word alone.
    plat::NOTEID NoteWithEmptyItem() {
        const plat::NOTEID id = NewNote();
        ForNote(id, [](plat::NOTEHANDLE note) {
            EXPECT_EQ(plat::ItemAppend(note, plat::ITEM_SIGN, "Body", 4, plat::TYPE_COMPOSITE, nullptr, 0), 0);
        });
        return id;
    }
    // A note whose "Body" was made blank and then emptied of everything.
    plat::NOTEID NoteWithEmptiedItem() {
        const plat::NOTEID id = NewNote();
        Open(id);   // created blank
        ZervaRTChunk* chunk = Chunk();
        EXPECT_EQ(chunk->AppendText("gone", 0, nullptr), 0);
        EXPECT_EQ(chunk->Remove(), 0);
        delete chunk;
        Save();
        return id;
    }
    void ForNote(plat::NOTEID id, const std::function<void(plat::NOTEHANDLE)>& each) {
        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        ASSERT_EQ(plat::DbOpen(path_.c_str(), &db), 0);
        ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
        each(note);
        EXPECT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteClose(note);
        plat::DbClose(db);
    }
    std::vector<std::string> Values(plat::NOTEID id) {
        std::vector<std::string> values;
        ForNote(id, [&](plat::NOTEHANDLE note) { values = talix_test::StoredValues(note, "Body"); });
        return values;
    }
};

TEST_F(EmptyItemTest, AppendsLandAsInAnEmptiedItem) {
    using Append = std::function<std::uint16_t(ZervaRTChunk*)>;
    const std::vector<std::pair<const char*, Append>> appends = {
        {"text", [](ZervaRTChunk* c) { return c->AppendText("check words", 0, nullptr); }},
        {"table", [](ZervaRTChunk* c) { return c->AppendTable(2, 2, 0, nullptr, nullptr); }},
        {"paragraph", [](ZervaRTChunk* c) { return c->AppendParagraph(nullptr, nullptr, nullptr, 0); }},
        {"link",
         [](ZervaRTChunk* c) {
             return c->AppendLink("site", 4, "http://example.org/", nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr,
                                  0);
         }},
        {"hotspot",
         [](ZervaRTChunk* c) { return c->AppendHotspot("BUTTON FORMULA", "@True", 5, nullptr, "Press", 5); }},
        {"layer",
         [](ZervaRTChunk* c) {
             return c->AppendLayer(nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 0);
         }},
    };
    for (const auto& [what, append] : appends) {
        SCOPED_TRACE(what);
        std::vector<std::string> results;
        for (const plat::NOTEID id : {NoteWithEmptyItem(), NoteWithEmptiedItem()}) {
            Open(id);
            ZervaRTChunk* chunk = Chunk();
            EXPECT_EQ(append(chunk), 0);
            delete chunk;
            Save();
            EXPECT_EQ(Stored(id).problem, "");
            results.push_back(talix_test::StoredValues(item_->noteHandle, "Body").front());
        }
        EXPECT_EQ(results[0], results[1]);
        EXPECT_GT(results[0].size(), 96u);   // more than a blank item
    }

    // The text lands on the first append, and a second one follows it.
    Open(NoteWithEmptyItem());
    ZervaRTChunk* chunk = Chunk();
    EXPECT_EQ(chunk->AppendText("first", 0, nullptr), 0);
    EXPECT_EQ(chunk->AppendText("second", 0, nullptr), 0);
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).Joined(), "first|second");
}

TEST_F(EmptyItemTest, AFailedChangeOrAWriteBackWithoutRecordsKeepsTheItemAsItWas) {
    const plat::NOTEID id = NoteWithEmptyItem();
    const std::vector<std::string> before = Values(id);
    ASSERT_EQ(before, std::vector<std::string>{std::string("\x01\x00", 2)});

    // A refused append writes nothing.
    Open(id);
    ZervaRTChunk* chunk = Chunk();
    EXPECT_NE(chunk->AppendHotspot("ACTION FORMULA", "Form = (", 8, nullptr, "a", 1), 0);
    delete chunk;
    Save();
    EXPECT_EQ(Values(id), before);

    // Read and written back with no records, the item stays, its flags too.
    delete item_;
    item_ = new ZervaRTItem(&session_);
    ASSERT_EQ(item_->Connect("", path_.c_str(), id, "Body", 0), 0);
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(item_, 0, nullptr, 0, 0, 0, nullptr, &status);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(list->head, nullptr);
    item_->work->current = list;
    EXPECT_EQ(item_->Commit(), 0);
    Save();
    EXPECT_EQ(Values(id), before);
    plat::WORD flags = 0;
    ForNote(id, [&](plat::NOTEHANDLE note) {
        plat::BLOCKID item;
        ASSERT_EQ(plat::ItemInfo(note, "Body", 4, &item, nullptr, nullptr, nullptr), 0);
        plat::ItemQuery(item, nullptr, 0, &flags, nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(flags & plat::ITEM_SIGN, plat::ITEM_SIGN);
}

} // namespace
} // namespace chunkops_test
