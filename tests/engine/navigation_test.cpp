// Chunk navigation seen from the chunk's methods: counting targets, moving
// between them, zooming, sub-chunks, the queries and the finders.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/chunk_work_state.h"
#include "core/item_work_state.h"
#include "core/session_work_area.h"
#include "engine/exec_handlers.h"
#include "engine/record_process.h"
#include "fixture_items.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using engine_test::FixtureDatabase;
using engine_test::Runs;
using engine_test::TablesItem;

using ChunkPtr = std::unique_ptr<ZervaRTChunk>;

class NavigationTest : public ::testing::Test {
protected:
    ChunkPtr Define(plat::NOTEID id, const char* definition) {
        EXPECT_EQ(item_.Connect("", db_.path().c_str(), id, "Body", 0), 0);
        return ChunkPtr(item_.DefineChunk(definition));
    }
    static std::string TextOf(ZervaRTChunk* chunk) {
        char buffer[1000];
        chunk->GetText(nullptr, buffer, sizeof buffer, 1, " ");
        return buffer;
    }
    // Runs an operation that only reads; its status must say so.
    void Run(ZervaRTChunk* chunk, talix::OperationCode operation, std::uint16_t operation2) {
        talix::STATUS status = talix::PerformChunkAction(chunk, item_.noteHandle, item_.itemName, operation,
                                                         operation2, 0, 0, 0, nullptr, nullptr, nullptr, nullptr,
                                                         nullptr);
        EXPECT_TRUE(status == 0 || status == 1298) << status;
    }
    talix::SessionWorkArea& Area() { return *session_.workArea; }

    FixtureDatabase db_;
    plat::NOTEID tables_ = db_.AddNote(TablesItem());
    plat::NOTEID plain_ = db_.AddNote(Runs({"alpha", "beta"}));
    RARIvoSession session_;
    ZervaRTItem item_{&session_};
};

TEST_F(NavigationTest, CountsTargetsWithinTheChunk) {
    ChunkPtr table = Define(tables_, "Table 1");
    EXPECT_EQ(table->GetCount("Row"), 5);
    EXPECT_EQ(table->GetCount("Column"), 3);   // not the nested table's
    EXPECT_STREQ(table->definition, "Table 1");
    EXPECT_EQ(table->targetType, 1);
    EXPECT_EQ(Define(tables_, "Everything")->GetCount("Table"), 2);

    ChunkPtr plain = Define(plain_, "Everything");
    EXPECT_EQ(plain->GetCount("Table"), 0);
    EXPECT_EQ(plain->GetCount("Text"), 2);
    EXPECT_EQ(plain->GetCount("Nonsense"), -1);
    EXPECT_EQ(plain->GetCount("Row"), -1);     // rows only inside a table
    // A type text too long for the scratch buffer is refused, not copied.
    EXPECT_EQ(plain->GetCount(std::string(5000, 'T').c_str()), -1);
    EXPECT_STREQ(plain->definition, "Everything");
}

// An item that begins with a table (with its prelude record or without):
// its first paragraph is the first cell's, counted and found as such.
TEST_F(NavigationTest, AnItemThatBeginsWithATableNumbersItsParagraphsFromTheFirstCell) {
    for (bool prelude : {false, true}) {
        engine_test::Records records;
        if (prelude) records.push_back(talix_test::HostRecord(0xFFFB, 44));
        records.push_back(talix_test::HostRecord(0x00A3, 14));
        for (std::uint8_t column = 0; column < 2; ++column) {
            talix_test::FixtureRecord cell = talix_test::HostRecord(0x00A4, 18);
            cell.bytes[3] = column;
            talix_test::FixtureRecord reference = talix_test::HostRecord(0x0083, 4);
            reference.bytes[2] = 1;
            for (const auto& record : {cell, reference, engine_test::Text(column == 0 ? "first" : "second")})
                records.push_back(record);
        }
        records.push_back(talix_test::HostRecord(0x00A5, 8));
        const plat::NOTEID id = db_.AddNote(records);
        SCOPED_TRACE(prelude ? "with a prelude" : "without a prelude");

        EXPECT_EQ(Define(id, "Everything")->GetCount("Paragraph"), 2);
        ChunkPtr paragraph = Define(id, "Paragraph 1");
        EXPECT_EQ(paragraph->Exists(), 1);
        EXPECT_EQ(TextOf(paragraph.get()), "first");
        EXPECT_EQ(paragraph->GetNextTarget(0), 1);
        EXPECT_EQ(TextOf(paragraph.get()), "second");
        EXPECT_EQ(paragraph->GetNextTarget(0), 0);
        EXPECT_EQ(Define(id, "Table 1")->GetCount("Paragraph"), 2);
        EXPECT_EQ(TextOf(Define(id, "ParagraphList 1").get()), "first");
    }
}

TEST_F(NavigationTest, MovesBetweenTargets) {
    ChunkPtr range = Define(tables_, "Table 2-4");
    EXPECT_EQ(range->GetNextTarget(0), 0);
    EXPECT_STREQ(range->definition, "Table 3-5");

    ChunkPtr table = Define(tables_, "Table 1");
    EXPECT_EQ(table->GetNextTarget(0), 1);
    EXPECT_EQ(TextOf(table.get()), "t2a t2b t2c t2d");
    EXPECT_EQ(table->GetNextTarget(0), 0);
    EXPECT_STREQ(table->definition, "Table 3");
    EXPECT_EQ(table->GetPreviousTarget(), 1);
    EXPECT_EQ(table->GetPreviousTarget(), 1);
    EXPECT_EQ(table->GetPreviousTarget(), 0);
    EXPECT_STREQ(table->definition, "Table 0");
    EXPECT_EQ(table->GetLastTarget(), 1);
    EXPECT_STREQ(table->definition, "Table 2");

    ChunkPtr row = Define(tables_, "Table 1; Row 1");
    EXPECT_EQ(row->GetLastTarget(), 1);
    EXPECT_EQ(TextOf(row.get()), "r5c1 r5c2 r5c3");

    ChunkPtr all = Define(tables_, "Table *");
    EXPECT_EQ(all->GetNextTarget(0) + all->GetPreviousTarget() + all->GetLastTarget(), 0);
    EXPECT_STREQ(all->definition, "Table *");

    ChunkPtr none = Define(plain_, "Table 1");
    EXPECT_EQ(none->GetLastTarget(), 0);
    EXPECT_STREQ(none->definition, "Table 0");
}

TEST_F(NavigationTest, ZoomsAndMakesSubChunks) {
    ChunkPtr table = Define(tables_, "Table 1");
    EXPECT_EQ(table->ZoomIn("Row 2"), 1);
    EXPECT_STREQ(table->definition, "Table 1; Row 2");
    EXPECT_EQ(table->targetType, 5);
    EXPECT_EQ(TextOf(table.get()), "r2c1 r2c2 n11 n12 n21 n22 r2c3");
    EXPECT_EQ(table->ZoomIn("Column 3"), 1);
    EXPECT_EQ(TextOf(table.get()), "r2c3");
    EXPECT_EQ(table->ZoomIn("Bogus 1"), 0);
    EXPECT_EQ(table->GetNextTarget(0), 0);     // moving while zoomed in
    table->ZoomOut();
    EXPECT_STREQ(table->definition, "Table 1");
    EXPECT_EQ(table->targetType, 1);
    table->ZoomOut();
    EXPECT_STREQ(table->definition, "Table 1");

    ChunkPtr sub(table->DefineSubChunk("Row 1"));
    ASSERT_NE(sub, nullptr);
    EXPECT_STREQ(sub->definition, "Table 1; Row 1");
    EXPECT_EQ(sub->targetType, 5);
    EXPECT_STREQ(table->definition, "Table 1");
    ChunkPtr cell(sub->DefineSubChunk("Column 2"));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(table->DefineSubChunk("Nonsense 1"), nullptr);
    // Sub-chunks hold their own levels.
    table.reset();
    EXPECT_EQ(TextOf(sub.get()), "r1c1 r1c2 r1c3");
    EXPECT_EQ(TextOf(cell.get()), "r1c2");

    // A rule's definition is written "HR 1"; zooming out reads it back and
    // the chunk is the rule again, not the whole item.
    const plat::NOTEID ruled = db_.AddNote(
        engine_test::Join({Runs({"above"}), {talix_test::HostRecord(0xFFC9, 16)}, {engine_test::Text("below")}}));
    ChunkPtr rule = Define(ruled, "HorizontalRule 1");
    EXPECT_STREQ(rule->definition, "HR 1");
    EXPECT_EQ(rule->ZoomIn("Text 1"), 1);
    rule->ZoomOut();
    EXPECT_STREQ(rule->definition, "HR 1");
    EXPECT_EQ(rule->targetType, 27);
    EXPECT_EQ(TextOf(rule.get()), "");
    // A level that holds nothing stays one that holds nothing.
    ChunkPtr nothing = Define(plain_, "Contains Everything 1");
    EXPECT_EQ(nothing->Exists(), 0);
    EXPECT_EQ(nothing->ZoomIn("Text 1"), 1);
    nothing->ZoomOut();
    EXPECT_EQ(nothing->Exists(), 0);

    // A definition longer than a scratch buffer is written whole, and
    // zooming out reads back the same match text.
    const std::string longText(5000, 'b');
    ChunkPtr run = Define(db_.AddNote(Runs({longText + "c", longText})), ("Text '" + longText + "'").c_str());
    EXPECT_EQ(std::string(run->definition), "Text \"" + longText + "\" 1");
    EXPECT_EQ(run->ZoomIn("Text 1"), 1);
    run->ZoomOut();
    EXPECT_EQ(std::string(run->definition), "Text \"" + longText + "\" 1");
    EXPECT_EQ(run->Exists(), 1);
    EXPECT_EQ(Area().foundFirstRecord, 4u);   // the second run, whose text it is
}

TEST_F(NavigationTest, QueriesReadTheItemWithoutChangingIt) {
    auto before = db_.Stored(tables_);
    ChunkPtr table = Define(tables_, "Table 1");
    Run(table.get(), talix::kOpQuery, talix::kQueryExists);
    EXPECT_EQ(table->lastStatus, 1298);
    EXPECT_EQ(table->Exists(), 1);
    EXPECT_EQ(table->lastStatus, 0);
    EXPECT_EQ(Define(tables_, "Table 3")->Exists(), 0);
    EXPECT_EQ(Define(tables_, "Table 2; Row 3")->Exists(), 0);

    // A row's first and last records are its first cell record and its last
    // cell's text: records 15 and 37, around the nested table's 14.
    Run(Define(tables_, "Table 1; Row 2").get(), talix::kOpQuery, talix::kQueryLastRecord);
    EXPECT_EQ(Area().foundFirstRecord, 15);
    EXPECT_EQ(Area().foundLastRecord, 37);

    // Holding something and holding text: a paragraph with an empty run
    // holds neither.
    for (auto [definition, count] : {std::pair{"Table 2", 1u}, {"Table 1; Row 1; Column 1", 1u}}) {
        Area().containsCount = 0;
        Run(Define(tables_, definition).get(), talix::kOpContainsText, 0);
        EXPECT_EQ(Area().containsCount, count) << definition;
    }
    ChunkPtr empty = Define(db_.AddNote(Runs({"", ""})), "Everything");
    Area().containsCount = 0;
    Run(empty.get(), talix::kOpContainsSomething, 0);
    Run(empty.get(), talix::kOpContainsText, 0);
    EXPECT_EQ(Area().containsCount, 0u);
    Run(Define(plain_, "Everything").get(), talix::kOpContainsSomething, 0);
    EXPECT_EQ(Area().containsCount, 1u);

    // The position list: one entry per target, from its first record.
    ChunkPtr tables = Define(tables_, "Table *");
    Run(tables.get(), talix::kOpPositionList, 0);
    ASSERT_EQ(tables->work->sortKeyCount, 2u);
    EXPECT_EQ(tables->work->sortKeys[0].firstRecord, 5);
    EXPECT_GT(tables->work->sortKeys[1].firstRecord, tables->work->sortKeys[0].lastRecord);

    EXPECT_EQ(db_.Stored(tables_), before);
}

TEST_F(NavigationTest, FindersNeedAChainOfSingleTargets) {
    char buffer[64] = "untouched";
    for (const char* definition : {"Table 1; Row *", "Inside Table 1", "Table 1-2"}) {
        ChunkPtr chunk = Define(tables_, definition);
        EXPECT_EQ(chunk->FindTextChunk(1, buffer, sizeof buffer, "EXACT", "Bold"), 0);
        EXPECT_EQ(chunk->lastStatus, 20017) << definition;
        chunk->lastStatus = 0;
        EXPECT_EQ(chunk->FindNamedChunk(1, "Table", buffer, sizeof buffer, "EXACT", "x"), 0);
        EXPECT_EQ(chunk->lastStatus, 20017) << definition;
    }
    // A usable chain is searched; the searches find nothing yet.
    ChunkPtr row = Define(tables_, "Table 1; Row 2");
    EXPECT_EQ(row->FindTextChunk(1, buffer, sizeof buffer, "SUBSTR", "Bold"), 0);
    EXPECT_EQ(row->FindNamedChunk(1, "Table", buffer, sizeof buffer, "ENTIRE", "x"), 0);
    EXPECT_EQ(row->lastStatus, 0);
    EXPECT_STREQ(buffer, "untouched");
}

// Where a target was found: whether it exists and its first and last
// records.
struct Found {
    int exists = 0;
    std::uint32_t first = 0, last = 0;
    bool operator==(const Found&) const = default;
};

Found Now(int exists, const talix::SessionWorkArea& area) {
    return Found{exists, area.foundFirstRecord, area.foundLastRecord};
}

// What a new chunk of the definition on the item finds walking from the
// first record (what the item kept of earlier walks is dropped first), and
// the font it leaves for new text.
Found FromTheStart(ZervaRTItem* item, const std::string& definition, const talix::SessionWorkArea& area,
                   std::string* font = nullptr) {
    talix::ItemWorkState* work = item->work;
    if (work->walkMemo != nullptr) work->freeWalkMemo(work->walkMemo);
    work->walkMemo = nullptr;
    ChunkPtr chunk(item->DefineChunk(definition.c_str()));
    const int exists = chunk != nullptr ? chunk->Exists() : 0;
    if (font != nullptr) font->assign(reinterpret_cast<const char*>(work->textTemplate), 8);
    return Now(exists, area);
}

// Moving from target to target (forward, back, to the last) finds, at
// every step, what a new chunk of that definition finds walking from the
// first record; and a count is the number of targets found one after the
// other. Over every rich-text item of the samples and the shared files.
TEST(NavigationRealData, MovingBetweenTargetsFindsWhatAWalkFromTheStartFinds) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    ASSERT_FALSE(items.empty());
    RARIvoSession session;
    const talix::SessionWorkArea& area = *session.workArea;
    constexpr int kMostSteps = 150;
    int compared = 0;
    for (const talix_test::NoteItem& each : items) {
        ZervaRTItem item(&session), reference(&session);
        // Items the system keeps for itself that do not connect are not this test's.
        if (item.Connect("", path.c_str(), each.first, each.second.c_str(), 0) != 0) continue;
        ASSERT_EQ(reference.Connect("", path.c_str(), each.first, each.second.c_str(), 0), 0);
        // A walk that stops once it has its text leaves the font of the
        // item's last text run for new text, as a walk to the end does.
        std::vector<std::string> fonts;
        for (const char* definition : {"Text 1", "Paragraph 2", "Everything"}) {
            ChunkPtr chunk(item.DefineChunk(definition));
            char text[64];
            chunk->GetText(nullptr, text, sizeof text, 0, nullptr);
            fonts.emplace_back(reinterpret_cast<const char*>(item.work->textTemplate), 8);
        }
        EXPECT_EQ(fonts[0], fonts[2]);
        EXPECT_EQ(fonts[1], fonts[2]);
        // So does a generation over the whole item, which takes every record
        // into its open chunk.
        {
            std::memset(item.work->textTemplate, 0, 8);
            ChunkPtr chunk(item.DefineChunk("Everything"));
            ASSERT_NE(chunk->GenerateHTML(nullptr, "HTML", nullptr, 0, nullptr, nullptr), nullptr);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(item.work->textTemplate), 8), fonts[2]);
        }
        for (const std::string type : {"Paragraph", "Table", "Text", "Hotspot", "Graphic", "Record",
                                       "Table 1; Row", "Table 1; Column", "Table 1; Row 2; Column"}) {
            SCOPED_TRACE(each.second + " of note " + std::to_string(each.first) + ": " + type);
            // What a chunk walking from the first record finds for target n.
            auto fresh = [&](int n) { return FromTheStart(&reference, type + " " + std::to_string(n), area); };
            ChunkPtr moving(item.DefineChunk((type + " 1").c_str()));
            ASSERT_NE(moving, nullptr);
            std::vector<Found> expected{Found{}};
            Found found = Now(moving->Exists(), area);
            int n = 1;
            for (; n <= kMostSteps; ++n) {
                expected.push_back(fresh(n));
                ASSERT_EQ(found, expected[n]) << "forward to " << n;
                ++compared;
                if (found.exists == 0) break;
                found = Now(moving->GetNextTarget(0), area);
            }
            if (n > kMostSteps) continue;
            for (int back = n - 1; back >= 1; --back) {
                ASSERT_EQ(Now(moving->GetPreviousTarget(), area), expected[back]) << "back to " << back;
            }
            const int last = n - 1;
            if (last > 0) {
                ASSERT_EQ(Now(moving->GetLastTarget(), area), expected[last]) << "last";
            }
            // The count within the chunk the type's outer levels name.
            const std::size_t split = type.rfind("; ");
            ChunkPtr within(item.DefineChunk(split == std::string::npos ? "Everything" : type.substr(0, split).c_str()));
            const std::string counted = split == std::string::npos ? type : type.substr(split + 2);
            EXPECT_EQ(within->GetCount(counted.c_str()), last) << "count";
            EXPECT_EQ(area.foundFirstRecord, 0u);
        }
    }
    EXPECT_GT(compared, 1000);
}

// A walk of one table's rows after another's, a new chunk for each table
// (the first row of the next table found from where the walk over the
// last one stopped), finds at every step what a walk from the first record
// finds, and leaves the same font for new text. So do chunks of each table
// in turn, of a column, and of a cell. Over the tables of the engine's
// fixture, every rich-text item of the samples and the shared files.
TEST(NavigationRealData, TablesOneAfterAnotherFindWhatAWalkFromTheStartFinds) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    FixtureDatabase fixture;
    const plat::NOTEID tables = fixture.AddNote(TablesItem());
    items.insert(items.begin(), talix_test::NoteItem{tables, "Body"});
    RARIvoSession session;
    const talix::SessionWorkArea& area = *session.workArea;
    int compared = 0, tablesWalked = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const talix_test::NoteItem& each = items[i];
        const std::string& database = i == 0 ? fixture.path() : path;
        ZervaRTItem item(&session), reference(&session);
        if (item.Connect("", database.c_str(), each.first, each.second.c_str(), 0) != 0) continue;
        ASSERT_EQ(reference.Connect("", database.c_str(), each.first, each.second.c_str(), 0), 0);
        for (const std::string pattern : {"Table %d; Row 1", "Table %d; Column 1", "Table %d; Row 2; Column 1",
                                          "Table %d"}) {
            SCOPED_TRACE(each.second + " of note " + std::to_string(each.first) + ": " + pattern);
            for (int table = 1; table <= 40; ++table) {
                const std::string definition = pattern.substr(0, 6) + std::to_string(table) + pattern.substr(8);
                std::string font, expectedFont;
                ChunkPtr moving(item.DefineChunk(definition.c_str()));
                ASSERT_NE(moving, nullptr);
                Found found = Now(moving->Exists(), area);
                font.assign(reinterpret_cast<const char*>(item.work->textTemplate), 8);
                ASSERT_EQ(found, FromTheStart(&reference, definition, area, &expectedFont)) << definition;
                ASSERT_EQ(font, expectedFont) << definition;
                ++compared;
                if (found.exists == 0) break;
                ++tablesWalked;
                // The table's further targets, one after the other.
                for (int n = 2; n <= 60 && found.exists != 0 && pattern != "Table %d"; ++n) {
                    found = Now(moving->GetNextTarget(0), area);
                    font.assign(reinterpret_cast<const char*>(item.work->textTemplate), 8);
                    std::string next = definition;
                    const std::size_t one = next.rfind(" 1");
                    next.replace(one, 2, " " + std::to_string(n));
                    ASSERT_EQ(found, FromTheStart(&reference, next, area, &expectedFont)) << next;
                    ASSERT_EQ(font, expectedFont) << next;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(tablesWalked, 10);
    EXPECT_GT(compared, 200);
}

} // namespace
