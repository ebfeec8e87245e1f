// Reading rich-text items into record lists and writing them back: real
// items come back byte for byte, damaged values end the read with a status,
// and the list carries its segments and side data.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/record_output.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using talix::CDRecordNode;
using talix::ItemRecordList;
using talix_test::FixtureRecord;
using talix_test::HostRecord;
using talix_test::TextRecord;

// A database in a temporary directory with one open note, closed with the
// object, and a session with an item for the library calls.
class RecordIo : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(plat::DbCreate(dir_.file("r.nsf").c_str(), &db_), 0);
        ASSERT_EQ(plat::NoteCreate(db_, &note_), 0);
    }
    void TearDown() override {
        if (note_ != 0) plat::NoteClose(note_);
        if (db_ != 0) plat::DbClose(db_);
    }
    // Reads the items of a name of the note.
    ItemRecordList* Read(const char* name, talix::STATUS* status, int skip = 0, int textExtra = 0, int count = 0) {
        ItemRecordList* list = talix::SIAR(&item_, skip, nullptr, textExtra, count, note_, name, status);
        lists_.emplace_back(list);
        return list;
    }
    ~RecordIo() override {
        for (ItemRecordList* list : lists_) talix::DeleteItemRecordList(&session_, list);
    }
    void AppendRaw(const char* name, const std::string& records) {
        ASSERT_EQ(plat::ItemAppend(note_, 0, name, static_cast<plat::WORD>(std::strlen(name)), plat::TYPE_COMPOSITE,
                                   records.data(), static_cast<plat::DWORD>(records.size())), 0);
    }
    static std::vector<CDRecordNode*> Nodes(ItemRecordList* list) {
        std::vector<CDRecordNode*> nodes;
        for (CDRecordNode* node = list->head; node != nullptr; node = node->next)
            nodes.push_back(node);
        return nodes;
    }

    talix_test::TempDir dir_;
    plat::DBHANDLE db_ = 0;
    plat::NOTEHANDLE note_ = 0;
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::vector<ItemRecordList*> lists_;
};

std::string ByteString(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) bytes.push_back(static_cast<char>(v));
    return bytes;
}

// The records of a note's items of a name, each value's records joined, as
// they must come back: every value padded to even length except the last,
// which may end with an odd record and no pad.
std::string JoinedRecords(const std::vector<std::string>& values) {
    std::string joined;
    for (std::size_t i = 0; i < values.size(); ++i) {
        joined += values[i].substr(2);
        if (i + 1 < values.size() && joined.size() % 2 != 0) joined.push_back('\0');
    }
    return joined;
}

// Checks that no written item holds more than 49,022 bytes of records unless
// it holds a single record.
void ExpectItemSizes(const std::vector<std::string>& values, const std::string& where) {
    for (const std::string& value : values) {
        if (value.size() - 2 <= talix::kItemRecordBytes) continue;
        // The first record's length: a long, word or byte header.
        const auto* record = reinterpret_cast<const std::uint8_t*>(value.data()) + 2;
        std::uint32_t first = record[0] | (record[1] << 8);
        std::uint32_t length = first < 0x100 ? (record[2] | (record[3] << 8) | (record[4] << 16) | (record[5] << 24))
                               : (first >> 8) == 0xFF ? (record[2] | (record[3] << 8))
                                                      : first >> 8;
        EXPECT_GE(length + 1, value.size() - 2) << where << ": an item of " << value.size() << " bytes";
    }
}

// Every rich-text item of every file, connected, read and written back into
// a new note, gives exactly the stored records it came from.
void RoundTripFiles(const std::vector<std::filesystem::path>& files) {
    talix_test::TempDir dir;
    int checked = 0;
    for (const auto& file : files) {
        std::string path = dir.file("db" + std::to_string(checked) + ".nsf");
        plat::DBHANDLE db = 0;
        ASSERT_EQ(plat::DbCreate(path.c_str(), &db), 0);
        plat::DxlImportResult imported;
        ASSERT_EQ(plat::DxlImportFile(db, file.string().c_str(), &imported), 0) << file << imported.error;
        for (plat::NOTEID id : imported.notes) {
            plat::NOTEHANDLE note = 0;
            ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), 0);
            std::vector<std::string> names;
            plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
                char name[256];
                plat::WORD type = 0;
                plat::ItemQuery(item, name, sizeof name, nullptr, &type, nullptr, nullptr);
                bool seen = false;
                for (const auto& each : names) seen = seen || each == name;
                if (type == plat::TYPE_COMPOSITE && !seen) names.push_back(name);
                return 0;
            });
            for (const std::string& name : names) {
                std::string where = file.filename().string() + " note " + std::to_string(id) + " " + name;
                RARIvoSession session;
                ZervaRTItem item(&session);
                // Connect also loads the note's font table; only the
                // connection matters here.
                item.Connect("", path.c_str(), id, name.c_str(), 0);
                EXPECT_EQ(item.connected, 1) << where;
                talix::STATUS status = 1;
                ItemRecordList* list = talix::SIAR(&item, 0, nullptr, 0, 0, 0, nullptr, &status);
                EXPECT_EQ(status, 0) << where;
                plat::NOTEHANDLE copy = 0;
                if (list == nullptr || plat::NoteCreate(db, &copy) != 0) {
                    ADD_FAILURE() << where << ": nothing read";
                    talix::DeleteItemRecordList(&session, list);
                    continue;
                }
                list->note = copy;
                EXPECT_EQ(talix::WriteItemRecords(list, &item), 0) << where;
                std::vector<std::string> written = talix_test::StoredValues(copy, name);
                std::string expected = JoinedRecords(talix_test::StoredValues(note, name));
                std::string actual = JoinedRecords(written);
                std::size_t differ = 0;
                while (differ < expected.size() && differ < actual.size() && expected[differ] == actual[differ]) ++differ;
                EXPECT_TRUE(actual == expected) << where << ": " << actual.size() << " bytes written for "
                                                << expected.size() << ", first difference at byte " << differ;
                ExpectItemSizes(written, where);
                talix::DeleteItemRecordList(&session, list);
                plat::NoteClose(copy);
                ++checked;
            }
            plat::NoteClose(note);
        }
        plat::DbClose(db);
    }
    EXPECT_GT(checked, 0);
}

TEST(RecordRoundTrip, EveryRichTextItemOfTheRealFilesComesBackByteForByte) {
    RoundTripFiles(talix_test::SampleAndSharedDxlFiles());
}

TEST_F(RecordIo, DamagedValuesEndTheReadWithAStatusAndKeepWhatWasRead) {
    const std::string good = ByteString({0x85, 0xFF, 10, 0, 0, 0, 0, 0, 'h', 'i'});   // a text run
    struct Case {
        const char* what;
        std::string damage;
    } cases[] = {
        {"length past the end", ByteString({0x85, 0xFF, 40, 0, 0, 0, 0, 0})},
        {"zero length", ByteString({0x85, 0xFF, 0, 0, 0, 0})},
        {"length below the header", ByteString({0x85, 0xFF, 2, 0, 0, 0})},
        {"zero signature", ByteString({0x00, 0x04, 0, 0})},
        {"truncated long header", ByteString({0x99, 0x00, 0x20, 0})},
        {"truncated word header", ByteString({0x85, 0xFF, 8})},
        {"long header on a byte-form signature", ByteString({0x81, 0x00, 6, 0, 0, 0})},
        {"byte header on a long-form signature", ByteString({0x99, 4, 0, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::ItemDelete(note_, "Body", 4);
        AppendRaw("Body", good + c.damage);
        talix::STATUS status = 0;
        ItemRecordList* list = Read("Body", &status);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(status, talix::kDamagedRecords);
        auto nodes = Nodes(list);
        ASSERT_EQ(nodes.size(), 1u);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(nodes[0]->bytes), nodes[0]->length), good);
    }

    // A damaged second item keeps the records of the first.
    plat::ItemDelete(note_, "Body", 4);
    AppendRaw("Body", good);
    AppendRaw("Body", ByteString({0x81, 0x00}));
    talix::STATUS status = 0;
    ItemRecordList* list = Read("Body", &status);
    EXPECT_EQ(status, talix::kDamagedRecords);
    EXPECT_EQ(Nodes(list).size(), 1u);
}

TEST_F(RecordIo, OddRecordsArePaddedAndAnOddLastRecordWithoutPadComesBackWithoutIt) {
    // A byte-form record of 7 bytes with its pad, then a paragraph, then a
    // 5-byte record that ends the value without a pad byte.
    const std::string seven = ByteString({0x52, 7, 1, 2, 3, 4, 5});
    const std::string paragraph = ByteString({0x81, 2});
    const std::string five = ByteString({0x52, 5, 9, 8, 7});
    AppendRaw("Body", seven + '\0' + paragraph + five);
    talix::STATUS status = 1;
    ItemRecordList* list = Read("Body", &status);
    EXPECT_EQ(status, 0);
    auto nodes = Nodes(list);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->length, 7u);
    EXPECT_EQ(nodes[0]->bytes[7], 0);       // the node's own pad byte
    EXPECT_EQ(nodes[1]->signature, 0x0081);
    EXPECT_EQ(nodes[2]->length, 5u);

    plat::ItemDelete(note_, "Body", 4);
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    auto values = talix_test::StoredValues(note_, "Body");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].substr(2), seven + '\0' + paragraph + five);
}

TEST_F(RecordIo, ThreeSameNamedItemsGiveNumberedSegmentsAndRunningIndexes) {
    // Stored as real items hold them: a table that begins in the first item
    // and ends in the third; graphic records in the middle of an item and at
    // the end of one.
    using talix_test::StoredDword;
    using talix_test::StoredHeader;
    using talix_test::StoredRecord;
    using talix_test::StoredWord;
    const std::string text = StoredRecord(StoredHeader::Word, 0xFF85, StoredDword(0) + "one");
    const std::string preTable = StoredRecord(StoredHeader::Word, 0xFFFB, std::string(40, '\0'));
    const std::string tableBegin = StoredRecord(StoredHeader::Byte, 0xA3, std::string(12, '\0'));
    auto cell = [](int row, int column) {
        return StoredRecord(StoredHeader::Byte, 0xA4,
                            std::string{static_cast<char>(row), static_cast<char>(column)} + std::string(14, '\0'));
    };
    // A graphic: its destination width at stored offset 6, its version byte
    // at 24, in a long header of 6 bytes.
    const std::string graphic = StoredRecord(StoredHeader::Long, 0x99,
                                             StoredWord(0x1234) + std::string(16, '\0') + "\x07" + std::string(3, '\0'));
    ASSERT_EQ(graphic.size(), 28u);
    const std::string bitmap = StoredRecord(StoredHeader::Long, 0x95, std::string(32, '\0'));
    const std::string tableEnd = StoredRecord(StoredHeader::Byte, 0xA5, StoredDword(0xAABBCCDD));
    ASSERT_EQ(talix_test::StoreStoredItems(note_, "Body",
                                           {{text, preTable, tableBegin, cell(0, 0)},
                                            {cell(0, 1), graphic, cell(1, 0), cell(1, 1), graphic},
                                            {bitmap, tableEnd, cell(3, 4)}}),
              0);

    talix::STATUS status = 1;
    ItemRecordList* list = Read("Body", &status);
    ASSERT_EQ(status, 0);
    auto nodes = Nodes(list);
    ASSERT_EQ(nodes.size(), 12u);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        EXPECT_EQ(nodes[i]->index, i + 1);
        EXPECT_EQ(nodes[i]->prev, i == 0 ? nullptr : nodes[i - 1]);
    }
    std::vector<std::tuple<int, int, int>> segments;
    for (auto* segment = list->firstSegment; segment != nullptr; segment = segment->next)
        segments.emplace_back(segment->number, segment->firstIndex, segment->lastIndex);
    EXPECT_EQ(segments, (std::vector<std::tuple<int, int, int>>{{0, 1, 4}, {1, 5, 9}, {2, 10, 12}}));

    // The host forms: the long header's length at offset 4 behind two pad
    // bytes, the fields after it 2 bytes further on; a table end's reserved
    // word moved to a four-byte boundary.
    EXPECT_EQ(nodes[5]->length, 32u);
    EXPECT_EQ(talix::ReadDword(nodes[5]->bytes + 4), 32u);
    EXPECT_EQ(talix::ReadWord(nodes[5]->bytes + 8), 0x1234);
    EXPECT_EQ(nodes[5]->bytes[26], 7);
    EXPECT_EQ(nodes[10]->length, 8u);
    EXPECT_EQ(talix::ReadDword(nodes[10]->bytes + 4), 0xAABBCCDDu);
    EXPECT_EQ(nodes[1]->length, 48u);

    // The table's counts and its cells' links, across the items.
    auto* counts = static_cast<talix::TableExtra*>(talix::RecordExtra(nodes[2]));
    ASSERT_NE(counts, nullptr);
    EXPECT_EQ(counts->rows, 2);
    EXPECT_EQ(counts->columns, 2);
    for (int i : {3, 4, 6, 7}) {
        auto* extra = static_cast<talix::CellExtra*>(talix::RecordExtra(nodes[i]));
        ASSERT_NE(extra, nullptr) << i;
        EXPECT_EQ(extra->tableBegin, nodes[2]);
        EXPECT_EQ(extra->preTable, nodes[1]);
    }
    // After the table ends a cell has no table: it becomes a plain cell
    // without side data.
    EXPECT_EQ(talix::RecordExtra(nodes[11]), nullptr);

    // Graphic keys: 2 and the even-rounded lengths of the records of its
    // item up to and including the graphic, as the list holds them (host
    // form: 18 for the cell, 32 for the graphic); at the end of an item, 2
    // and its own length, in the next item.
    auto* inside = static_cast<talix::GraphicExtra*>(talix::RecordExtra(nodes[5]));
    EXPECT_EQ(inside->key, 2u + 18 + 32);
    EXPECT_EQ(inside->segment, 1);
    auto* atEnd = static_cast<talix::GraphicExtra*>(talix::RecordExtra(nodes[8]));
    EXPECT_EQ(atEnd->key, 2u + 32);
    EXPECT_EQ(atEnd->segment, 2);
    // A bitmap header's offset is where it starts in its stored item.
    auto* offset = static_cast<talix::GraphicExtra*>(talix::RecordExtra(nodes[9]));
    EXPECT_EQ(offset->key, 2u);
    EXPECT_EQ(offset->segment, 2);

    // Written back, the records are the stored bytes they were read from.
    list->note = note_;
    list->itemName = "Copy";
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    EXPECT_EQ(JoinedRecords(talix_test::StoredValues(note_, "Copy")),
              JoinedRecords(talix_test::StoredValues(note_, "Body")));
}

TEST_F(RecordIo, ParagraphDefinitionsReadFromStoredBytesGainTheirHostPadding) {
    using talix_test::StoredHeader;
    using talix_test::StoredRecord;
    using talix_test::StoredWord;
    // Stored: 70 bytes of fixed part (its tab types double word at 64, its
    // second flags word at 68), then one with the six margin words (82).
    std::string fixed = StoredWord(7) + StoredWord(3) + std::string(6, '\0') + StoredWord(1440) + std::string(46, '\0') +
                        StoredWord(0x0400) + talix_test::StoredDword(0x01020304) + StoredWord(0x8000);
    const std::string plain = StoredRecord(StoredHeader::Word, 0xFF82, fixed);
    ASSERT_EQ(plain.size(), 70u);
    std::string margins;
    for (std::uint16_t word : {100, 1, 200, 2, 300, 3}) margins += StoredWord(word);
    const std::string extended = StoredRecord(StoredHeader::Word, 0xFF82, fixed + margins);
    ASSERT_EQ(talix_test::StoreStoredItems(note_, "Body", {{plain, extended}}), 0);

    talix::STATUS status = 1;
    auto nodes = Nodes(Read("Body", &status));
    ASSERT_EQ(status, 0);
    ASSERT_EQ(nodes.size(), 2u);
    EXPECT_EQ(nodes[0]->length, 72u);
    EXPECT_EQ(nodes[1]->length, 84u);
    for (CDRecordNode* node : nodes) {
        EXPECT_EQ(talix::ReadWord(node->bytes + 2), node->length);
        EXPECT_EQ(talix::ReadWord(node->bytes + 4), 7);
        EXPECT_EQ(talix::ReadWord(node->bytes + 6), 3);
        EXPECT_EQ(talix::ReadWord(node->bytes + 14), 1440);
        EXPECT_EQ(talix::ReadWord(node->bytes + 62), 0x0400);
        EXPECT_EQ(talix::ReadDword(node->bytes + 64), 0x01020304u);
        EXPECT_EQ(talix::ReadWord(node->bytes + 68), 0x8000);
    }
    // The margin words follow the host form's two pad bytes.
    EXPECT_EQ(talix::ReadWord(nodes[1]->bytes + 72), 100);
    EXPECT_EQ(talix::ReadWord(nodes[1]->bytes + 82), 3);

    ItemRecordList* list = lists_.back();
    list->note = note_;
    list->itemName = "Copy";
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    EXPECT_EQ(talix_test::StoredValues(note_, "Copy"), talix_test::StoredValues(note_, "Body"));
}

TEST_F(RecordIo, ModesDropWrappersAndGiveTextRunsTheirText) {
    std::string lmbcs = plat::NativeToLmbcs("a\xE6\x97\xA5" "b");   // a, U+65E5, b
    FixtureRecord color = HostRecord(0x00D2, 8);
    FixtureRecord begin = HostRecord(0x00DD, 6);
    talix_test::PutWord(&begin, 4, 0xFF85);
    FixtureRecord end = HostRecord(0x00DE, 6);
    talix_test::PutWord(&end, 4, 0xFF85);
    FixtureRecord otherBegin = HostRecord(0x00DD, 6);
    talix_test::PutWord(&otherBegin, 4, 0xFFA9);
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body",
                                            {color, begin, TextRecord(0, lmbcs), end, otherBegin, TextRecord(0, "x")}),
              0);

    talix::STATUS status = 1;
    auto nodes = Nodes(Read("Body", &status, 1, 0, 0));
    EXPECT_EQ(status, 0);
    std::vector<std::uint16_t> signatures;
    for (auto* node : nodes) signatures.push_back(node->signature);
    EXPECT_EQ(signatures, (std::vector<std::uint16_t>{0xFF85, 0x00DD, 0xFF85}));
    EXPECT_EQ(nodes[0]->index, 1);
    EXPECT_EQ(talix::RecordExtra(nodes[0]), nullptr);

    nodes = Nodes(Read("Body", &status, 0, 1, 0));
    ASSERT_EQ(nodes.size(), 6u);
    auto* text = static_cast<talix::TextExtra*>(talix::RecordExtra(nodes[2]));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text->text, text->length), lmbcs);
    EXPECT_EQ(text->text, reinterpret_cast<const char*>(nodes[2]->bytes) + 8);

    nodes = Nodes(Read("Body", &status, 0, 0, 1));
    text = static_cast<talix::TextExtra*>(talix::RecordExtra(nodes[2]));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(nodes[2]->flags & talix::kNodeOwnsExtraText);
    EXPECT_EQ(std::string(text->text, text->length), "a&#26085;b");
    EXPECT_EQ(talix::RecordExtra(nodes[5]), nullptr);   // plain text needs no copy
}

TEST_F(RecordIo, OtherItemsAndMissingItemsAndBadArguments) {
    ASSERT_EQ(plat::ItemSetText(note_, "Subject", "hello", 5), 0);
    talix::STATUS status = 1;
    ItemRecordList* list = Read("Subject", &status);
    EXPECT_EQ(status, 0);
    auto nodes = Nodes(list);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0]->signature, 0xFF85);
    EXPECT_EQ(nodes[0]->length, 13u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(nodes[0]->bytes) + 8, 5), "hello");
    EXPECT_EQ(nodes[0]->bytes[2], 13);

    list = Read("Nothing", &status);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(list->head, nullptr);
    EXPECT_EQ(talix::WriteItemRecords(list, &item_), 0);
    EXPECT_FALSE(plat::ItemIsPresent(note_, "Nothing", 7));

    EXPECT_EQ(talix::SIAR(&item_, 0, nullptr, 0, 0, note_, "", &status), nullptr);
    EXPECT_EQ(status, talix::kArgumentError);
    EXPECT_EQ(talix::SIAR(&item_, 0, nullptr, 0, 0, 0, nullptr, &status), nullptr);   // the item has no note
    EXPECT_EQ(status, talix::kArgumentError);
}

TEST_F(RecordIo, WritingSplitsItemsAtRecordBoundaries) {
    // 120,000 bytes of records: three items of at most 49,022 bytes each.
    std::vector<FixtureRecord> records;
    for (int i = 0; i < 120; ++i) records.push_back(TextRecord(0, std::string(992, static_cast<char>('a' + i % 26))));
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body", records), 0);
    talix::STATUS status = 1;
    ItemRecordList* list = Read("Body", &status);
    ASSERT_EQ(status, 0);
    std::string stored = JoinedRecords(talix_test::StoredValues(note_, "Body"));
    ASSERT_EQ(stored.size(), 120000u);
    list->note = note_;
    list->itemName = "Copy";
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    auto values = talix_test::StoredValues(note_, "Copy");
    EXPECT_EQ(values.size(), 3u);
    for (const auto& value : values) EXPECT_LE(value.size() - 2, talix::kItemRecordBytes);
    EXPECT_EQ(JoinedRecords(values), stored);

    // A record of 60,000 bytes goes into an item of its own.
    records = {TextRecord(0, "before"), TextRecord(0, std::string(59992, 'x')), TextRecord(0, "after")};
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Big", records), 0);
    list = Read("Big", &status);
    ASSERT_EQ(status, 0);
    list->itemName = "BigCopy";
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    values = talix_test::StoredValues(note_, "BigCopy");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[1].size(), 2u + 60000);
    EXPECT_EQ(JoinedRecords(values), JoinedRecords(talix_test::StoredValues(note_, "Big")));
}

// Records read where they lie in the stored value and records with bytes of
// their own meet in one list: a text changed among untouched runs, a record
// taken out of the middle, a run given new bytes, paragraph definitions
// converted to host form. The list is written back after its stored items
// are gone (as a commit deletes them first), and the stored values never
// see the change.
TEST_F(RecordIo, RecordsViewedAndRecordsOfTheirOwnAreWrittenBackTogether) {
    std::vector<FixtureRecord> records;
    for (int i = 0; i < 40; ++i) {
        if (i % 10 == 0) {
            FixtureRecord definition = HostRecord(0xFF82, 72);
            talix_test::PutWord(&definition, 4, static_cast<std::uint16_t>(i / 10 + 1));
            records.push_back(definition);
        }
        records.push_back(HostRecord(0x0081, 2));
        records.push_back(TextRecord(0, "run " + std::to_string(i) + (i % 2 == 0 ? "" : "x")));
    }
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body", records), 0);
    const std::string stored = JoinedRecords(talix_test::StoredValues(note_, "Body"));
    talix::STATUS status = 1;
    ItemRecordList* list = Read("Body", &status);
    ASSERT_EQ(status, 0);
    std::vector<CDRecordNode*> nodes = Nodes(list);
    ASSERT_EQ(nodes.size(), records.size());
    int views = 0, own = 0;
    for (const CDRecordNode* node : nodes) (node->flags & talix::kNodeStoredView ? views : own) += 1;
    EXPECT_GT(views, 60);   // the text runs and paragraph records
    EXPECT_EQ(own, 4);      // the definitions, converted

    // A text changed in place among runs read as they lie.
    CDRecordNode* changed = nodes[20];
    ASSERT_EQ(changed->signature, 0xFF85);
    std::uint8_t* bytes = talix::EditRecordBytes(list, changed);
    ASSERT_NE(bytes, nullptr);
    EXPECT_FALSE(changed->flags & talix::kNodeStoredView);
    bytes[8] = 'R';
    records[20].bytes[8] = 'R';
    // A paragraph record taken out of the middle.
    ASSERT_EQ(nodes[30]->signature, 0x0081);
    talix::UnlinkRecordNode(list, nodes[30]);
    talix::FreeRecordNode(nodes[30]);
    records.erase(records.begin() + 30);
    // A run given a longer text.
    FixtureRecord longer = TextRecord(0, "a longer run of text");
    ASSERT_EQ(nodes[39]->signature, 0xFF85);
    talix::AdoptRecordBytes(list, nodes[39],
                            talix::NewRecordNode(longer.bytes.data(), 0xFF85,
                                                 static_cast<std::uint32_t>(longer.bytes.size())));
    records[38] = longer;
    EXPECT_EQ(JoinedRecords(talix_test::StoredValues(note_, "Body")), stored);

    ASSERT_EQ(plat::ItemDelete(note_, "Body", 4), 0);
    ASSERT_EQ(talix::WriteItemRecords(list, &item_), 0);
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Expected", records), 0);
    EXPECT_EQ(JoinedRecords(talix_test::StoredValues(note_, "Body")),
              JoinedRecords(talix_test::StoredValues(note_, "Expected")));
}

TEST_F(RecordIo, WritingStopsAtTheFirstFailure) {
    std::vector<FixtureRecord> records;
    for (int i = 0; i < 60; ++i) records.push_back(TextRecord(0, std::string(992, 'a')));
    ASSERT_EQ(talix_test::StoreRichTextItem(note_, "Body", records), 0);
    talix::STATUS status = 1;
    ItemRecordList* list = Read("Body", &status);
    ASSERT_EQ(status, 0);
    // A record too large to write, after the first item's worth of records.
    CDRecordNode* big = list->head;
    for (int i = 0; i < 55; ++i) big = big->next;
    talix::AdoptRecordBytes(list, big, talix::NewRecordNode(nullptr, big->signature, 65000));

    list->itemName = "Copy";
    EXPECT_EQ(talix::WriteItemRecords(list, &item_), talix::kDamagedRecords);
    EXPECT_EQ(talix_test::StoredValues(note_, "Copy").size(), 1u);   // nothing after the failure
}

TEST_F(RecordIo, OutputSegmentsAreNumberedAndCarryTheirRecordIndexes) {
    ASSERT_EQ(item_.ConnectBackend(note_, "Body", 1), 0);
    auto output = std::make_unique<talix::RecordOutput>();
    output->session = &session_;
    output->item = &item_;
    ASSERT_EQ(talix::StartOutputSegment(output.get()), 0);
    ItemRecordList* list = item_.work->output;
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->outputFlag, 1u);
    EXPECT_EQ(list->note, note_);
    EXPECT_EQ(output->capacity, talix::kOutputSegmentCapacity);
    EXPECT_EQ(output->segmentStart, output->writePosition);

    output->writePosition += 120;
    CDRecordNode last;
    last.index = 3;
    list->lastAppended = &last;
    EXPECT_EQ(talix::CloseOutputSegment(output.get()), 0);
    ASSERT_EQ(talix::StartOutputSegment(output.get()), 0);
    const talix::OutputSegment* first = list->firstSegment;
    const talix::OutputSegment* second = list->lastSegment;
    EXPECT_EQ(first->number, 0);
    EXPECT_EQ(first->size, 120u);
    EXPECT_EQ(first->firstIndex, 1);
    EXPECT_EQ(first->lastIndex, 3);
    EXPECT_EQ(second->number, 1);
    EXPECT_EQ(second->firstIndex, 4);
    EXPECT_EQ(second->lastIndex, 4);
    EXPECT_NE(second->start, first->start);
    list->lastAppended = nullptr;

    // Held handles from an index on, and the work handle, are freed.
    plat::DWORD before = plat::MemLiveCount();
    for (int i = 0; i < 3; ++i) ASSERT_EQ(plat::MemAlloc(16, plat::MEM_GROWABLE, &output->heldHandles[i].handle), 0);
    output->heldHandleCount = 3;
    ASSERT_EQ(plat::MemAlloc(16, plat::MEM_GROWABLE, &output->workHandle), 0);
    plat::MemLock(output->workHandle);
    plat::DHANDLE kept = output->heldHandles[0].handle;
    talix::ReleaseHeldHandles(output.get(), 1);
    EXPECT_EQ(output->heldHandleCount, 0);
    EXPECT_EQ(output->workHandle, 0u);
    EXPECT_EQ(plat::MemLiveCount(), before + 1);
    plat::MemFree(kept);
}

} // namespace
