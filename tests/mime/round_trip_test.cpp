// Every rich-text item of the exported notes stored as MIME part items of
// its own note and read back into rich text keeps its words (white space
// aside). Items that cannot make the trip are listed with the reason.
#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "chunkops/chunk_text.h"
#include "core/statuses.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

std::string g_lastMessage;
// The first message shown since it was cleared.
void KeepMessage(const char* text, plat::WORD) {
    if (g_lastMessage.empty()) g_lastMessage = text != nullptr ? text : "";
}

// The item's text in UTF-8 without white space (the no-break space too).
std::string Letters(ZervaRTItem* item) {
    std::string lmbcs;
    if (item->defaultChunk == nullptr || talix::GetWholeChunkText(item->defaultChunk, &lmbcs) != talix::kOK)
        return "<unreadable>";
    const std::string native = plat::LmbcsToNative(lmbcs);
    std::string letters;
    for (std::size_t at = 0; at < native.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(native[at]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0') continue;
        if (c == 0xC2 && at + 1 < native.size() && static_cast<unsigned char>(native[at + 1]) == 0xA0) {
            ++at;
            continue;
        }
        letters.push_back(native[at]);
    }
    return letters;
}

TEST(MimeRoundTrip, EveryRealItemKeepsItsWords) {
    talix_test::TempDir dir;
    const std::string path = dir.file("trip.nsf");
    std::vector<talix_test::NoteItem> targets;
    ASSERT_EQ(talix_test::ImportRichTextItems(path, talix_test::SampleAndSharedDxlFiles(), false, &targets),
              plat::NOERROR);
    ASSERT_FALSE(targets.empty());

    plat::RegisterMessageProc(KeepMessage);
    RARIvoSession session;
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbOpen(path.c_str(), &db), plat::NOERROR);
    // Items that hold words, and those of them that made the round trip.
    std::size_t travelled = 0, holdingWords = 0, withWords = 0;
    std::vector<std::string> leftOut;
    for (const auto& [id, name] : targets) {
        const std::string where = "note " + std::to_string(id) + " item " + name;
        plat::NOTEHANDLE note = 0;
        ASSERT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
        std::string before;
        {
            ZervaRTItem item(&session);
            if (item.ConnectBackend(note, name.c_str(), 0) != 0 || item.connected == 0) {
                leftOut.push_back(where + ": the item does not connect");
                plat::NoteClose(note);
                continue;
            }
            before = Letters(&item);
            if (!before.empty()) ++holdingWords;
            item.ConvertToMIME(name.c_str(), nullptr, nullptr, nullptr, "Overwrite=Yes", 0, "", 0, nullptr);
            if (item.lastStatus != talix::kOK) {
                leftOut.push_back(where + ": to MIME fails with " + std::to_string(item.lastStatus));
                plat::NoteClose(note);
                continue;
            }
        }
        // The HTML refers to the item's pictures through the rendering copy.
        ASSERT_EQ(plat::ItemSetText(note, "$DelayedImagesOK", "ok", 2), plat::NOERROR);
        {
            g_lastMessage.clear();
            ZervaRTItem back(&session);
            ASSERT_EQ(back.ConnectBackend(note, name.c_str(), 0), 0) << where;
            if (back.connected == 0) {
                leftOut.push_back(where + ": not converted: " + g_lastMessage);
            } else {
                ++travelled;
                if (!before.empty()) ++withWords;
                EXPECT_EQ(Letters(&back), before) << where;
            }
        }
        plat::NoteClose(note);
    }
    plat::DbClose(db);
    plat::RegisterMessageProc(nullptr);
    for (const std::string& line : leftOut) std::cout << "left out: " << line << "\n";
    std::cout << travelled << " of " << targets.size() << " items made the round trip, " << withWords
              << " of them with words\n";
    // Every item that holds words makes the trip (the samples hold some).
    EXPECT_GT(travelled, targets.size() / 2);
    EXPECT_GT(holdingWords, 0u);
    EXPECT_EQ(withWords, holdingWords);
}

} // namespace
