// Every rich-text item of the exported notes, rendered as HTML by the
// generator and imported again into an item of a new note: the HTML parses
// without errors, and the imported item holds the original's words and its
// tables (as many, each with as many rows and columns and the same words in
// each cell).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/pool.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "engine/chunk_count.h"
#include "support/awkward_checks.h"
#include "support/structure_checker.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// Items whose words or tables the round trip cannot keep, each with the reason
// (note id and item name as "<id> <name>").
const std::map<std::string, const char*> kLeftOut = {};

// The text of a chunk without its whitespace: the words run together, so
// that line ends and paragraph breaks, however each side writes them, do not
// count.
std::string Words(ZervaRTChunk* chunk) {
    std::vector<char> buffer(1 << 20);
    const std::uint32_t length =
        chunk->GetText(nullptr, buffer.data(), static_cast<std::uint32_t>(buffer.size()), 1, nullptr);
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(buffer[i]);
        if (c > ' ' && c != 0xFF) text += static_cast<char>(c);
    }
    return plat::LmbcsToNative(text);
}

// The tables of an item, and the rows and columns of each, in the order the
// item holds them.
struct TableShape {
    std::int64_t tables = 0;
    std::vector<std::pair<std::int64_t, std::int64_t>> grids;   // rows, columns
};

std::int64_t CountIn(ZervaRTItem* item, const char* chunk, const char* type) {
    std::unique_ptr<ZervaRTChunk> defined(item->DefineChunk(chunk));
    return defined != nullptr ? talix::CountChunkTargets(defined.get(), type) : -1;
}

TableShape ShapeOf(ZervaRTItem* item) {
    TableShape shape;
    shape.tables = CountIn(item, "Everything", "Table");
    for (std::int64_t n = 1; n <= shape.tables; ++n) {
        const std::string table = "Table " + std::to_string(n);
        shape.grids.emplace_back(CountIn(item, table.c_str(), "Row"), CountIn(item, table.c_str(), "Column"));
    }
    return shape;
}

std::string Describe(const TableShape& shape) {
    std::string text = std::to_string(shape.tables) + " tables";
    for (const auto& [rows, columns] : shape.grids)
        text += ", " + std::to_string(rows) + " x " + std::to_string(columns);
    return text;
}

// The words of every cell of the item's tables, one line a cell, each
// named by its table, row and column.
std::string CellWords(ZervaRTItem* item, const TableShape& shape) {
    std::string text;
    for (std::size_t n = 0; n < shape.grids.size(); ++n) {
        const auto [rows, columns] = shape.grids[n];
        for (std::int64_t row = 1; row <= rows; ++row)
            for (std::int64_t column = 1; column <= columns; ++column) {
                const std::string cell = "Table " + std::to_string(n + 1) + "; Row " + std::to_string(row) +
                                         "; Column " + std::to_string(column);
                std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk(cell.c_str()));
                text += cell + ": " + (chunk != nullptr ? Words(chunk.get()) : "<none>") + "\n";
            }
    }
    return text;
}

// Whether the body of the HTML holds any text (outside its tags).
bool BodyHasText(const std::string& html) {
    std::size_t at = html.find("<body");
    const std::size_t end = html.find("</body>");
    if (at == std::string::npos) return false;
    bool inTag = false;
    for (; at < html.size() && at < end; ++at) {
        const char c = html[at];
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag && static_cast<unsigned char>(c) > ' ') return true;
    }
    return false;
}

// The structure checker's finding on the item as stored, empty when well
// formed.
std::string StructureOf(ZervaRTItem* item) {
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(item, 0, nullptr, 0, 0, 0, nullptr, &status);
    const std::string problem = list == nullptr || status != 0 ? "<unreadable>" : talix_test::CheckStructure(list);
    talix::DeleteItemRecordList(item->session, list);
    return problem;
}

// The texts of the tab labels (flag 0x0002) of an item's records; with
// tabbedOnly, only those of tables that show one row at a time by tabs
// (display kind 4 of the pre-table record).
std::vector<std::string> TabLabels(ZervaRTItem* item, bool tabbedOnly) {
    talix::STATUS status = 0;
    talix::ItemRecordList* list = talix::SIAR(item, 0, nullptr, 0, 0, 0, nullptr, &status);
    std::vector<std::string> labels;
    std::vector<int> kinds;   // the display kind of each open table
    int pending = 0;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr;
         node = node->next) {
        if (node->signature == 0xFFFB && node->length > 20) {
            pending = node->bytes[20];
        } else if (node->signature == 0x00A3 || node->signature == 0x00CF) {
            kinds.push_back(pending);
            pending = 0;
        } else if ((node->signature == 0x00A5 || node->signature == 0x00D1) && !kinds.empty()) {
            kinds.pop_back();
        } else if (node->signature == 0xFFE3 && node->length >= 140 && (node->bytes[138] & 0x02) != 0) {
            const bool tabbed = !kinds.empty() && kinds.back() == 4;
            if (!tabbedOnly || tabbed)
                labels.emplace_back(reinterpret_cast<const char*>(node->bytes) + 4,
                                    strnlen(reinterpret_cast<const char*>(node->bytes) + 4, 128));
        }
    }
    talix::DeleteItemRecordList(item->session, list);
    return labels;
}

// Tabbed tables rendered with their tab rows keep their labels on the way to
// HTML and back.
TEST(ImportRealData, TabbedTablesKeepTheirLabels) {
    talix_test::TempDir dir;
    const std::string path = dir.file("tabs.nsf");
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    plat::IniSet("ZelundaNoImageSkip", "1");
    RARIvoSession session;
    int tabbed = 0;
    for (const auto& [id, name] : items) {
        const std::string where = std::to_string(id) + " " + name;
        ZervaRTItem original(&session);
        if (original.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        const std::vector<std::string> labels = TabLabels(&original, true);
        if (labels.empty()) continue;
        ++tabbed;
        std::unique_ptr<ZervaRTChunk> chunk(original.DefineChunk("Everything"));
        char* block = chunk->GenerateHTML(nullptr, "HTML", "ZelundaTabs=Yes", 0, nullptr, nullptr);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(chunk->lastStatus, 0) << where;
        const std::string html = plat::LmbcsToNative(std::string(block, chunk->session->textResultLength));
        talix::ZervaDeallocate(chunk->session, block);

        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::NOTEID copy = 0;
        ASSERT_EQ(plat::DbOpen(path.c_str(), &db), 0);
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &copy);
        plat::NoteClose(note);
        plat::DbClose(db);
        ZervaRTItem target(&session);
        ASSERT_EQ(target.Connect("", path.c_str(), copy, "Imported", 1), 0);
        std::unique_ptr<ZervaRTChunk> into(target.DefineChunk("Everything"));
        EXPECT_EQ(into->AppendHTML("Inline", html.c_str(), nullptr), 0) << where;
        EXPECT_EQ(TabLabels(&target, false), labels) << where;
    }
    plat::IniSet("ZelundaNoImageSkip", "");
    // The samples' form holds a tabbed table.
    EXPECT_GE(tabbed, 1);
}

TEST(ImportRealData, GeneratedHtmlOfEveryItemImportsWithItsWords) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> items;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &items), 0);
    ASSERT_FALSE(items.empty());

    // HTML that refers to pictures by URL is imported, not refused.
    plat::IniSet("ZelundaNoImageSkip", "1");
    RARIvoSession session;
    int compared = 0, withText = 0, withoutBody = 0, leftOut = 0, imported = 0;
    int tablesCompared = 0, withTables = 0, unread = 0;
    std::int64_t tableCount = 0, cellCount = 0;
    int withPictures = 0, withLinks = 0, picturesCompared = 0;
    for (const auto& [id, name] : items) {
        const std::string where = std::to_string(id) + " " + name;
        ZervaRTItem original(&session);
        if (original.Connect("", path.c_str(), id, name.c_str(), 0) != 0) {
            ++unread;
            continue;
        }
        std::unique_ptr<ZervaRTChunk> chunk(original.DefineChunk("Everything"));
        ASSERT_NE(chunk, nullptr);
        const std::string words = Words(chunk.get());
        if (chunk->lastStatus != 0) {   // an item the reader refuses
            ++unread;
            continue;
        }
        const TableShape tables = ShapeOf(&original);
        // The chunk as HTML, in UTF-8, pictures and links included (the
        // pictures as URLs into the item, which the import reads back).
        std::string html, failure;
        ASSERT_TRUE(talix_test::RenderStreamed(chunk.get(), "HTML", "", &html, &failure)) << where << ": " << failure;
        ASSERT_FALSE(html.empty()) << where;

        plat::DBHANDLE db = 0;
        plat::NOTEHANDLE note = 0;
        plat::NOTEID copy = 0;
        ASSERT_EQ(plat::DbOpen(path.c_str(), &db), 0);
        ASSERT_EQ(plat::NoteCreate(db, &note), 0);
        ASSERT_EQ(plat::NoteUpdate(note, 0), 0);
        plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &copy);
        plat::NoteClose(note);
        plat::DbClose(db);
        ZervaRTItem target(&session);
        ASSERT_EQ(target.Connect("", path.c_str(), copy, "Imported", 1), 0);
        std::unique_ptr<ZervaRTChunk> into(target.DefineChunk("Everything"));
        EXPECT_EQ(into->AppendHTML("Inline", html.c_str(), nullptr), 0) << where;
        ASSERT_EQ(target.Save(), 0) << where;
        ++imported;
        EXPECT_EQ(StructureOf(&target), "") << where;
        if (html.find("<img") != std::string::npos) ++withPictures;
        if (html.find("<a ") != std::string::npos) ++withLinks;
        const std::int64_t pictures = CountIn(&original, "Everything", "Graphic");
        if (pictures > 0) {
            ++picturesCompared;
            EXPECT_EQ(CountIn(&target, "Everything", "Graphic"), pictures) << where;
        }

        if (kLeftOut.count(where) != 0) {
            ++leftOut;
            continue;
        }
        // The tables: as many, each with as many rows and columns, and each
        // cell with the words of the original's cell at that place.
        const TableShape importedTables = ShapeOf(&target);
        EXPECT_EQ(Describe(importedTables), Describe(tables)) << where;
        if (Describe(importedTables) == Describe(tables))
            EXPECT_EQ(CellWords(&target, importedTables), CellWords(&original, tables)) << where;
        ++tablesCompared;
        if (tables.tables > 0) ++withTables;
        tableCount += tables.tables;
        for (const auto& [rows, columns] : tables.grids) cellCount += rows * columns;
        // The generator writes the text of a body only once it renders
        // bodies; until then there is nothing to compare.
        if (!words.empty() && !BodyHasText(html)) {
            ++withoutBody;
            continue;
        }
        std::unique_ptr<ZervaRTChunk> back(target.DefineChunk("Everything"));
        EXPECT_EQ(Words(back.get()), words) << where;
        ++compared;
        if (!words.empty()) ++withText;
    }
    std::printf("%zu items, %d not read; imported %d items: %d compared (%d with text), %d without a rendered body, "
                "%d left out\n",
                items.size(), unread, imported, compared, withText, withoutBody, leftOut);
    std::printf("tables: %d items compared, %d of them hold %lld tables of %lld cells\n", tablesCompared, withTables,
                static_cast<long long>(tableCount), static_cast<long long>(cellCount));
    std::printf("pictures and links: %d items rendered with pictures, %d with links; %d items' graphics compared\n",
                withPictures, withLinks, picturesCompared);
    plat::IniSet("ZelundaNoImageSkip", "");
    EXPECT_GT(imported, 0);
    EXPECT_GT(withText, 0);
}

} // namespace
