// Every rich-text item of the exported notes, rendered as `talix html`
// renders it (streamed through the text event): its plain text is the text
// GetText reads (line ends where the runs hold zero bytes); its HTML passes
// HTML Tidy without errors; its XHTML parses, and its body's text holds
// the text of every text run of the item, in order (whitespace aside),
// except the runs of pass-through HTML, which stand as markup; its style
// element holds a class rule for each paragraph definition. Its XHTML
// holds one table element per table-begin record, and each cell's text lies
// inside a cell element.
#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_list.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "support/awkward_checks.h"
#include "support/markup_validators.h"
#include "support/patterns.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// The whole markup of a generation as UTF-8: what was streamed and what
// the block holds.
std::string Render(ZervaRTChunk* chunk, const char* format) {
    std::string markup, failure;
    return talix_test::RenderStreamed(chunk, format, "", &markup, &failure) ? markup : "<none>: " + failure;
}

// GetText's text as plain text writes it.
std::string ExpectedPlainText(ZervaRTChunk* chunk) {
    std::vector<char> buffer(70000);
    const std::uint32_t length =
        chunk->GetText(nullptr, buffer.data(), static_cast<std::uint32_t>(buffer.size()), 1, nullptr);
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i) {
        if (buffer[i] == '\0') {
            text += "\r\n";
        } else if (static_cast<unsigned char>(buffer[i]) == 0xFF) {
            text += ' ';
        } else {
            text += buffer[i];
        }
    }
    return plat::LmbcsToNative(text);
}

// UTF-8 text without whitespace (no-break spaces included) and without the
// control characters XML cannot hold.
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

// The texts of the item's text runs outside pass-through HTML, each piece
// between line breaks on its own, as UTF-8 without whitespace.
std::vector<std::string> RunTexts(const talix::ItemRecordList* list) {
    std::vector<std::string> pieces;
    bool passthru = false;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr;
         node = node->next) {
        if (node->signature == talix::kSigHtmlBegin) passthru = true;
        if (node->signature == talix::kSigHtmlEnd) passthru = false;
        if (passthru || (node->signature != talix::kSigText && node->signature != talix::kSigBidiText) ||
            node->length <= 8)
            continue;
        const std::string text(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
        std::size_t start = 0;
        for (std::size_t end = 0; end <= text.size(); ++end) {
            if (end < text.size() && text[end] != '\0') continue;
            const std::string piece = Squeezed(plat::LmbcsToNative(text.substr(start, end - start)));
            if (!piece.empty()) pieces.push_back(piece);
            start = end + 1;
        }
    }
    return pieces;
}

// The class rules of the document's style element: one per paragraph
// definition rendered as a class.
std::size_t ClassRules(const std::string& markup) {
    const std::size_t start = markup.find("<style type=\"text/css\">");
    const std::size_t end = markup.find("</style>", start);
    if (start == std::string::npos || end == std::string::npos) return 0;
    return talix_test::FindAll(markup.substr(start, end - start), "(div|ul|ol)\\.pabid[0-9]+ \\{").size();
}

std::size_t Definitions(const talix::ItemRecordList* list) {
    std::size_t count = 0;
    for (const talix::CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
        count += node->signature == talix::kSigPabDefinition ? 1 : 0;
    return count;
}

TEST(GenerationRealData, EveryItemRendersItsTextAndValidMarkup) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &targets),
              plat::NOERROR);
    ASSERT_FALSE(targets.empty());

    RARIvoSession session;
    int withText = 0;
    std::size_t runsStored = 0, runsFound = 0;
    int withDivisions = 0;
    for (const auto& [id, name] : targets) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0) continue;
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        ASSERT_NE(chunk, nullptr);
        const std::string where = "note " + std::to_string(id) + " item " + name;

        const std::string expected = ExpectedPlainText(chunk.get());
        if (chunk->lastStatus != 0) continue;   // an item the reader refuses
        EXPECT_EQ(Render(chunk.get(), "Plain Text"), expected) << where;
        EXPECT_EQ(chunk->lastStatus, 0) << where;
        if (!expected.empty()) ++withText;

        std::string report;
        const std::string html = Render(chunk.get(), "HTML");
        EXPECT_EQ(chunk->lastStatus, 0) << where;
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << where << "\n" << report;
        const std::string xhtml = Render(chunk.get(), "XHTML");
        EXPECT_EQ(chunk->lastStatus, 0) << where;
        EXPECT_TRUE(talix_test::XmlWellFormed(xhtml, &report)) << where << "\n" << report;

        // One class rule per definition, and the paragraphs' divisions.
        const std::size_t definitions = Definitions(item.work->current);
        EXPECT_EQ(ClassRules(html), definitions < 1024 ? definitions : 1024) << where;
        if (html.find("<div class=\"pabid") != std::string::npos) ++withDivisions;

        const std::string body = Squeezed(talix_test::XhtmlBodyText(xhtml));
        std::size_t at = 0;
        const std::vector<std::string> runs = RunTexts(item.work->current);
        runsStored += runs.size();
        for (const std::string& piece : runs) {
            const std::size_t found = body.find(piece, at);
            EXPECT_NE(found, std::string::npos) << where << ": \"" << piece << "\" after " << at;
            if (found == std::string::npos) break;
            at = found + piece.size();
            ++runsFound;
        }
    }
    EXPECT_GT(withText, 0);
    // The text of every run the items hold is found (the samples hold some).
    EXPECT_GT(runsStored, 0u);
    EXPECT_EQ(runsFound, runsStored);
    EXPECT_GT(withDivisions, 0);
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
        EXPECT_EQ(chunk->lastStatus, 0) << where;
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
