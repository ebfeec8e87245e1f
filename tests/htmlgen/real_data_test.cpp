// Every rich-text item of the exported notes: its plain text is the text
// GetText reads (line ends where the runs hold zero bytes), and its HTML and
// XHTML pass the validators.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/pool.h"
#include "support/markup_validators.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::string g_streamed;
std::uint16_t Stream(ZervaRTChunk*, char* text, std::uint16_t length) {
    g_streamed.append(text, length);
    return 0;
}

// The whole markup of a generation as UTF-8: what was streamed and what
// the block holds.
std::string Render(ZervaRTChunk* chunk, const char* format) {
    g_streamed.clear();
    char* block = chunk->GenerateHTML(nullptr, format, "OutputToEvent=Yes", 0, Stream, nullptr);
    if (block == nullptr) return "<none>";
    g_streamed.append(block, chunk->session->textResultLength);
    talix::ZervaDeallocate(chunk->session, block);
    return plat::LmbcsToNative(g_streamed);
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

TEST(GenerationRealData, EveryItemRendersItsTextAndValidMarkup) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &targets),
              plat::NOERROR);
    ASSERT_FALSE(targets.empty());

    RARIvoSession session;
    int withText = 0;
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
        EXPECT_EQ(talix_test::TidyErrors(html, &report), 0) << where << "\n" << report;
        const std::string xhtml = Render(chunk.get(), "XHTML");
        EXPECT_TRUE(talix_test::XhtmlValid(xhtml, &report)) << where << "\n" << report;
    }
    EXPECT_GT(withText, 0);
}

} // namespace
