// Mail keeps every word: the text/html part of a message, read as a mail
// reader reads it (Python's email package in the charset its header names,
// then an HTML parser), shows the words `talix html` shows for the same item,
// in the same order, with no character lost to a wrong label; with the
// default options, with charset=utf-8 and with QuotedPrintable=Yes. Over the
// real items and over a thousand generated ones whose words run in Cyrillic,
// Greek and accented Latin letters, in pass-through HTML too.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mime_fixture.h"
#include "support/rich_text_items.h"
#include "support/test_support.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

#if __has_include("support/awkward_documents.h")
#include "support/awkward_documents.h"
#define TALIX_HAS_AWKWARD_DOCUMENTS 1
#endif

namespace {

using namespace mime_test;

const char* const kMimeOptions[] = {"", "charset=utf-8", "QuotedPrintable=Yes"};

// Sends each item of the database as a message in each of the option sets
// and writes the page `talix html` gives for it; checks what a reader shows.
void ExpectEveryWordKept(const std::string& path, const std::vector<talix_test::NoteItem>& items,
                         const std::vector<std::string>& names, talix_test::TempDir* dir) {
    RARIvoSession session;
    std::vector<std::pair<std::string, std::string>> pairs;
    std::vector<std::string> described;
    for (std::size_t i = 0; i < items.size(); ++i) {
        ZervaRTItem item(&session);
        if (item.Connect("", path.c_str(), items[i].first, items[i].second.c_str(), 0) != 0 || item.connected == 0)
            continue;
        const std::string stem = dir->file("v" + std::to_string(i));
        for (std::size_t o = 0; o < std::size(kMimeOptions); ++o) {
            const std::string message = stem + "-" + std::to_string(o) + ".eml";
            item.ExportToMIME(message.c_str(), nullptr, nullptr, nullptr, kMimeOptions[o], 0, "", 0, nullptr);
            if (item.lastStatus == 257) break;   // an item the record reader refuses
            ASSERT_EQ(item.lastStatus, 0) << names[i] << " " << kMimeOptions[o];
            pairs.emplace_back(message, stem + ".htm");
            described.push_back(names[i] + " [" + kMimeOptions[o] + "]");
        }
        if (item.lastStatus == 257) continue;
        // Attachment links named as a message names them: by the file.
        ASSERT_TRUE(WriteUncutHtml(&item, stem + ".htm", "AttachmentHandling=DISK")) << names[i];
    }
    ASSERT_FALSE(pairs.empty());
    std::vector<std::string> problems = CompareVisibleText(pairs, dir->file("list.txt"));
    // A problem names its message: what it was made of goes in front.
    for (std::string& problem : problems) {
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            if (problem.compare(0, pairs[i].first.size() + 1, pairs[i].first + ":") == 0) {
                problem = described[i] + ": " + problem.substr(pairs[i].first.size() + 2);
                break;
            }
        }
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, the first: "
                                  << testing::PrintToString(std::vector<std::string>(
                                         problems.begin(), problems.begin() + std::min<std::size_t>(problems.size(), 10)));
}

TEST(MailWords, EveryRealItemShowsTheWordsOfItsPage) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    const std::vector<talix_test::NoteItem> items = ImportRealItems(path);
    std::vector<std::string> names;
    for (const auto& [id, name] : items) names.push_back("note " + std::to_string(id) + " item " + name);
    ExpectEveryWordKept(path, items, names, &dir);
}

#ifdef TALIX_HAS_AWKWARD_DOCUMENTS

// The thousand generated items in shards of a hundred, so that they run side
// by side.
constexpr int kGenerated = 1000;
constexpr int kShards = 10;
constexpr std::uint64_t kFirstTextSeed = 52000;

class GeneratedMailWords : public testing::TestWithParam<int> {};

TEST_P(GeneratedMailWords, EveryItemShowsTheWordsOfItsPage) {
    using namespace talix_test;
    TempDir dir;
    const std::string path = dir.file("foreign.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
    std::vector<NoteItem> items;
    std::vector<std::string> names;
    const int perShard = kGenerated / kShards;
    for (int i = GetParam() * perShard; i < (GetParam() + 1) * perShard; i += kAwkwardSampleStride) {
        AwkwardSpec spec;
        spec.seed = kFirstTextSeed + static_cast<std::uint64_t>(i);
        spec.size = 5;
        spec.foreignWords = true;
        const AwkwardDocument document = MakeAwkwardDocument(spec);
        ASSERT_EQ(document.status, 0) << DescribeAwkwardSpec(spec) << ": " << document.failure;
        plat::NOTEID id = 0;
        ASSERT_EQ(StoreAwkwardDocument(db, document, "Body", &id), plat::NOERROR) << DescribeAwkwardSpec(spec);
        items.emplace_back(id, "Body");
        names.push_back(DescribeAwkwardSpec(spec));
    }
    plat::DbClose(db);
    ExpectEveryWordKept(path, items, names, &dir);
}

INSTANTIATE_TEST_SUITE_P(Shards, GeneratedMailWords, testing::Range(0, kShards));

#endif

} // namespace
