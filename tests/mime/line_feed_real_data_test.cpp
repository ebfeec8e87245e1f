// AddNewlines=Yes and AddNewlines=CRLF over every real item: what leaves the
// library (a file in HTML or XHTML, the text of the generation's events, a
// MIME message) holds no zero byte, the NL mode's line separator inside the
// generation's buffer; every XHTML file is well-formed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mime_fixture.h"
#include "support/markup_validators.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

// Where the generation's events append their text, while a test collects it.
std::string* g_eventText = nullptr;

std::uint16_t CollectEvent(ZervaRTChunk*, char* text, std::uint16_t length) {
    if (g_eventText != nullptr) g_eventText->append(text, length);
    return 0;
}

TEST(LineFeedsRealData, NothingThatLeavesHoldsAZeroByte) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    const std::vector<talix_test::NoteItem> items = mime_test::ImportRealItems(path);
    RARIvoSession session;
    int checked = 0;
    for (const auto& [id, name] : items) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0 || item.connected == 0) continue;
        for (const char* mode : {"AddNewlines=Yes", "AddNewlines=CRLF"}) {
            const std::string where = "note " + std::to_string(id) + " item " + name + " " + mode;
            const std::string html = dir.file("item.htm"), xhtml = dir.file("item.xhtml"), mail = dir.file("item.eml");
            item.ExportToHTML(html.c_str(), "HTML", mode, 0, nullptr);
            if (item.lastStatus == 257) break;   // an item the record reader refuses
            ASSERT_EQ(item.lastStatus, 0) << where;
            EXPECT_EQ(talix_test::ReadFile(html).find('\0'), std::string::npos) << where;

            item.ExportToHTML(xhtml.c_str(), "XHTML", mode, 0, nullptr);
            ASSERT_EQ(item.lastStatus, 0) << where;
            const std::string page = talix_test::ReadFile(xhtml);
            EXPECT_EQ(page.find('\0'), std::string::npos) << where;
            std::string report;
            EXPECT_TRUE(talix_test::XmlWellFormed(page, &report)) << where << ": " << report;

            std::string events;
            g_eventText = &events;
            std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
            ASSERT_NE(chunk, nullptr);
            const std::string options = std::string("OutputToEvent=80 ") + mode;
            chunk->GenerateHTML(nullptr, "XHTML", options.c_str(), 0, CollectEvent, nullptr);
            g_eventText = nullptr;
            EXPECT_EQ(events.find('\0'), std::string::npos) << where;

            item.ExportToMIME(mail.c_str(), nullptr, nullptr, nullptr, "", 0, mode, 0, nullptr);
            ASSERT_EQ(item.lastStatus, 0) << where;
            EXPECT_EQ(talix_test::ReadFile(mail).find('\0'), std::string::npos) << where;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

} // namespace
