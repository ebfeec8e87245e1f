// Every rich-text item of the exported notes written as a MIME file: the
// email package reads each message without a defect, its HTML part is the
// HTML the generation gives for a MIME message, and it holds what mail
// readers need.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/record_io.h"
#include "mime_fixture.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using namespace mime_test;

// The HTML the generation writes into a file for a MIME message.
std::string GeneratedHtml(ZervaRTItem* item, const std::string& path) {
    std::unique_ptr<ZervaRTChunk> chunk(item->DefineChunk("Everything"));
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (chunk == nullptr || file == nullptr) return "<none>";
    std::uint32_t capacity = 0;
    char name[128] = {};
    int icons[4] = {}, section = 0;
    chunk->GenerateHTMLToMime(0, 1, nullptr, "", 0, nullptr, &capacity, 2, name, file, path.c_str(), nullptr, nullptr,
                              icons, &section, nullptr);
    std::fclose(file);
    return talix_test::ReadFile(path);
}

TEST(MimeRealData, EveryItemIsAMessageTheEmailPackageReads) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &targets),
              plat::NOERROR);
    ASSERT_FALSE(targets.empty());

    RARIvoSession session;
    std::vector<std::string> files, expected, names;
    std::vector<std::pair<std::string, std::string>> checked;
    for (const auto& [id, name] : targets) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), id, name.c_str(), 0) != 0 || item.connected == 0) continue;
        const std::string where = "note " + std::to_string(id) + " item " + name;
        const std::string file = dir.file("item" + std::to_string(files.size()) + ".eml");
        item.ExportToMIME(file.c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
        if (item.lastStatus == 257) continue;   // an item the record reader refuses
        ASSERT_EQ(item.lastStatus, 0) << where;
        std::string html = GeneratedHtml(&item, dir.file("item.htm"));
        // The line end before the closing boundary belongs to the boundary.
        if (!html.empty() && html.back() == '\n') html.pop_back();
        files.push_back(file);
        expected.push_back(html);
        names.push_back(where);
        // For the checks of a mail reader: the HTML without cut lines, and
        // the message sent with the note's mail items, line ends in them.
        const std::string uncut = file + ".htm", mail = file + "-mail.eml";
        ASSERT_TRUE(WriteUncutHtml(&item, uncut)) << where;
        checked.emplace_back(file, uncut);
        ASSERT_EQ(ExportWithInjectedHeaders(&item, mail), 0) << where;
        checked.emplace_back(mail, "-");
    }
    ASSERT_FALSE(files.empty());
    const std::vector<ReadMessage> messages = ReadMessageFiles(files);
    ASSERT_EQ(messages.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ReadMessage& message = messages[i];
        EXPECT_TRUE(message.defects.empty()) << names[i] << ": " << testing::PrintToString(message.defects);
        const std::vector<const ReadPart*> html = message.Parts("text/html");
        ASSERT_EQ(html.size(), 1u) << names[i];
        // The day in the markup's comment is that of each generation.
        EXPECT_EQ(talix_test::WithoutRunDates(html[0]->payload), talix_test::WithoutRunDates(expected[i])) << names[i];
    }
    // As mail readers take them: every "cid:" a part, short lines, a Date,
    // Message-ID, From and To that parse, no attribute value cut, and no
    // header that a line end in a mail item would have added.
    const std::vector<std::string> problems = CheckMessages(checked, InjectedHeaderNames(), dir.file("list.txt"));
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, the first: "
                                  << testing::PrintToString(std::vector<std::string>(
                                         problems.begin(), problems.begin() + std::min<std::size_t>(problems.size(), 20)));
}

// Every rich-text item stored as HTML in text runs of its note: the
// library's reader takes the new item back, and its runs hold the whole
// markup the item exports to a file.
TEST(MimeRealData, EveryItemConvertsIntoTextRunsTheReaderTakes) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), true, &targets),
              plat::NOERROR);
    ASSERT_FALSE(targets.empty());

    RARIvoSession session;
    // Every item connects; each is converted unless the record reader
    // refuses it.
    std::size_t converted = 0, refused = 0;
    for (const auto& [id, name] : targets) {
        const std::string where = "note " + std::to_string(id) + " item " + name;
        ZervaRTItem item(&session);
        EXPECT_EQ(item.Connect("", path.c_str(), id, name.c_str(), 0), 0) << where;
        if (item.connected == 0) continue;
        const std::string file = dir.file("item.htm");
        item.ExportToHTML(file.c_str(), nullptr, nullptr, 0, nullptr);
        if (item.lastStatus == 257) {   // an item the record reader refuses
            ++refused;
            continue;
        }
        const std::string html = talix_test::ReadFile(file);
        item.ConvertToHTML("HTMLOut", nullptr, "CreateRTItem=No PassthruHTML=No", 0, nullptr);
        ASSERT_EQ(item.lastStatus, 0) << where;

        ZervaRTItem reader(&session);
        ASSERT_EQ(reader.ConnectBackend(item.noteHandle, "HTMLOut", 0), 0) << where;
        talix::STATUS status = 0;
        talix::ItemRecordList* list = talix::SIAR(&reader, 0, nullptr, 0, 0, 0, nullptr, &status);
        ASSERT_NE(list, nullptr) << where;
        EXPECT_EQ(status, 0) << where;
        std::string text;
        for (const talix::CDRecordNode* node = list->head; node != nullptr; node = node->next)
            text.append(reinterpret_cast<const char*>(node->bytes) + 8, node->length - 8);
        talix::DeleteItemRecordList(&session, list);
        EXPECT_EQ(talix_test::WithoutRunDates(text), talix_test::WithoutRunDates(html)) << where;
        ++converted;
    }
    EXPECT_EQ(converted + refused, targets.size());
    EXPECT_GT(converted, refused);
}

} // namespace
