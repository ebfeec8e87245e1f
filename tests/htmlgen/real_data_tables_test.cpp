// The tables of every rich-text item of the exported notes: the XHTML holds
// one table element per table-begin record of the item, and the text of
// each cell lies inside a cell element.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/pool.h"
#include "core/record_list.h"
#include "core/signature_groups.h"
#include "core/item_work_state.h"
#include "support/markup_validators.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::string Squeezed(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20) continue;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xA0) {
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

// The text of the runs of each cell of the item (nested tables' cells on
// their own), outside pass-through HTML, as UTF-8 without whitespace.
std::vector<std::string> CellRunTexts(const talix::ItemRecordList* list) {
    std::vector<std::string> cells;
    bool passthru = false;
    std::vector<long> open;   // the index of the current cell of each open table, -1 none
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (signature == talix::kSigHtmlBegin) passthru = true;
        if (signature == talix::kSigHtmlEnd) passthru = false;
        if (talix::IsTableBeginRecord(signature)) {
            open.push_back(-1);
        } else if (talix::IsTableEndRecord(signature)) {
            if (!open.empty()) open.pop_back();
        } else if (talix::IsCellRecord(signature) && !open.empty()) {
            cells.emplace_back();
            open.back() = static_cast<long>(cells.size()) - 1;
        } else if (!passthru && (signature == talix::kSigText || signature == talix::kSigBidiText) &&
                   node->length > 8 && !open.empty() && open.back() >= 0) {
            cells[open.back()] += Squeezed(
                plat::LmbcsToNative(std::string(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8)));
        }
    }
    return cells;
}

std::size_t TableBegins(const talix::ItemRecordList* list) {
    std::size_t count = 0;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        count += talix::IsTableBeginRecord(node->signature) ? 1 : 0;
    return count;
}

std::string g_streamed;
std::uint16_t Stream(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_streamed.append(text, length);
    return 0;
}

std::string Render(ZervaRTChunk* chunk, const char* format) {
    g_streamed.clear();
    char* block = chunk->GenerateHTML(nullptr, format, "OutputToEvent=Yes", 0, Stream, nullptr);
    if (block == nullptr) return "<none>";
    g_streamed.append(block, chunk->session->textResultLength);
    talix::ZervaDeallocate(chunk->session, block);
    return plat::LmbcsToNative(g_streamed);
}

TEST(GenerationRealData, TablesHoldTheirCells) {
    talix_test::TempDir dir;
    const std::string path = dir.file("tables.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &targets),
              plat::NOERROR);
    RARIvoSession session;
    std::size_t tablesSeen = 0, cellsSeen = 0;
    for (const auto& [id, name] : targets) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        ASSERT_NE(chunk, nullptr);
        const std::string where = "note " + std::to_string(id) + " item " + name;
        const std::string xhtml = Render(chunk.get(), "XHTML");
        if (!talix_test::RanOverRealItem(chunk->lastStatus)) continue;
        const std::size_t begins = TableBegins(item.work->current);
        if (begins == 0) continue;
        std::string report;
        ASSERT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << where << "\n" << report;
        EXPECT_EQ(talix_test::XhtmlElementTexts(xhtml, {"table"}).size(), begins) << where;
        tablesSeen += begins;

        std::string inCells;
        for (const std::string& text : talix_test::XhtmlElementTexts(xhtml, {"td", "th"})) inCells += Squeezed(text);
        for (const std::string& cell : CellRunTexts(item.work->current)) {
            if (cell.empty()) continue;
            EXPECT_NE(inCells.find(cell), std::string::npos) << where << ": \"" << cell << "\"";
            ++cellsSeen;
        }
        const std::string html = Render(chunk.get(), "HTML");
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << where << "\n" << report;
    }
    EXPECT_GT(tablesSeen, 0u);
    EXPECT_GT(cellsSeen, 0u);
}

} // namespace
