// The generation over generated awkward documents: 2,000 items of random
// content (a fixed seed each, printed on failure), each rendered as HTML
// 4.01 and as XHTML 1.0 under one of several option sets and held to the
// checks of support/awkward_checks.h. The items are split among shards that
// run apart. AWKWARD_DUMP=<folder> keeps each failing document there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fixture_items.h"
#include "support/awkward_checks.h"
#include "support/awkward_documents.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using talix_test::AwkwardDocument;
using talix_test::AwkwardSpec;

constexpr std::uint64_t kSeed = 0x41A;
constexpr int kItems = 2000;
constexpr int kShards = 10;
// Failures reported in full per shard; the rest are counted.
constexpr int kReported = 3;

AwkwardSpec SpecOf(int index) {
    AwkwardSpec spec;
    spec.kinds = talix_test::kAwkwardEverything;
    spec.seed = kSeed * 1000003u + static_cast<std::uint64_t>(index);
    spec.size = 4 + static_cast<std::uint32_t>(index % 9);
    return spec;
}

void Dump(const AwkwardSpec& spec, const char* format, const std::string& markup) {
    const char* folder = std::getenv("AWKWARD_DUMP");
    if (folder == nullptr) return;
    const std::string path = std::string(folder) + "/" + std::to_string(spec.seed) + "." + format;
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(markup.data(), 1, markup.size(), file);
        std::fclose(file);
    }
}

class AwkwardDocuments : public testing::TestWithParam<int> {
protected:
    engine_test::FixtureDatabase db_;
};

TEST_P(AwkwardDocuments, RenderWholeAndWellFormed) {
    RARIvoSession session;
    const auto& optionSets = talix_test::AwkwardOptionSets();
    int failures = 0;
    const int shard = GetParam();
    for (int index = shard; index < kItems; index += kShards * talix_test::kAwkwardSampleStride) {
        const AwkwardSpec spec = SpecOf(index);
        const AwkwardDocument document = talix_test::MakeAwkwardDocument(spec);
        ASSERT_EQ(document.status, 0) << talix_test::DescribeAwkwardSpec(spec) << ": " << document.failure;
        const plat::NOTEID note = db_.AddNote(document.records);
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", db_.path().c_str(), note, "Body", 0), 0) << talix_test::DescribeAwkwardSpec(spec);
        std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Everything"));
        const char* options = optionSets[static_cast<std::size_t>(index) % optionSets.size()];
        for (const char* format : {"HTML", "XHTML"}) {
            std::string markup, problems;
            if (talix_test::RenderStreamed(chunk.get(), format, options, &markup, &problems))
                problems = talix_test::AwkwardProblems(document, markup, std::string(format) == "XHTML");
            if (problems.empty()) continue;
            Dump(spec, format, markup);
            if (++failures <= kReported) {
                ADD_FAILURE() << talix_test::DescribeAwkwardSpec(spec) << ", " << format << ", options \"" << options
                              << "\":\n"
                              << problems;
            }
        }
    }
    EXPECT_EQ(failures, 0) << "renderings that failed in shard " << shard;
}

INSTANTIATE_TEST_SUITE_P(Shards, AwkwardDocuments, testing::Range(0, kShards));

bool SameRecords(const AwkwardDocument& a, const AwkwardDocument& b) {
    if (a.records.size() != b.records.size()) return false;
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        if (a.records[i].signature != b.records[i].signature || a.records[i].bytes != b.records[i].bytes) return false;
    }
    return true;
}

TEST(AwkwardGenerator, RepeatsItselfAndReachesEveryKind) {
    // The same spec gives the same item; another seed another.
    const AwkwardDocument first = talix_test::MakeAwkwardDocument(SpecOf(7));
    EXPECT_TRUE(SameRecords(first, talix_test::MakeAwkwardDocument(SpecOf(7))));
    EXPECT_EQ(first.words, talix_test::MakeAwkwardDocument(SpecOf(7)).words);
    EXPECT_FALSE(SameRecords(first, talix_test::MakeAwkwardDocument(SpecOf(8))));

    // Over the test's items: every kind, every stored picture kind, every
    // snippet, lists 8 levels and tables 6 levels deep.
    std::uint32_t kinds = 0, pictures = 0;
    std::vector<bool> snippets(talix_test::AwkwardSnippets().size(), false);
    int deepestList = 0, deepestTable = 0;
    for (int index = 0; index < 600; ++index) {
        const AwkwardDocument document = talix_test::MakeAwkwardDocument(SpecOf(index));
        ASSERT_EQ(document.status, 0) << talix_test::DescribeAwkwardSpec(SpecOf(index)) << ": " << document.failure;
        kinds |= document.kinds;
        pictures |= document.pictures;
        for (std::size_t snippet : document.snippets) snippets[snippet] = true;
        deepestList = std::max(deepestList, document.deepestList);
        deepestTable = std::max(deepestTable, document.deepestTable);
    }
    EXPECT_EQ(kinds, SpecOf(0).kinds);
    EXPECT_EQ(pictures, (1u << talix_test::kPictureKinds) - 1);
    EXPECT_GE(snippets.size(), 40u);
    EXPECT_EQ(std::count(snippets.begin(), snippets.end(), false), 0);
    EXPECT_EQ(deepestList, 8);
    EXPECT_EQ(deepestTable, 6);

    // A subset of kinds stays within it (a paragraph may stand in for a
    // block that cannot go where it was drawn), and bytes that take the
    // place of the draws build items as well as a seed does.
    talix_test::AwkwardSpec pictured = SpecOf(3);
    pictured.kinds = talix_test::kAwkwardPictures;
    const AwkwardDocument onlyPictures = talix_test::MakeAwkwardDocument(pictured);
    EXPECT_EQ(onlyPictures.kinds & ~static_cast<std::uint32_t>(talix_test::kAwkwardParagraphs),
              static_cast<std::uint32_t>(talix_test::kAwkwardPictures));
    std::vector<std::uint8_t> bytes(512);
    for (int round = 0; round < 50; ++round) {
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i * 131 + round * 7919) >> 3);
        talix_test::AwkwardSpec chosen = SpecOf(round);
        chosen.choices = bytes.data();
        chosen.choiceCount = bytes.size();
        const AwkwardDocument document = talix_test::MakeAwkwardDocument(chosen);
        EXPECT_EQ(document.status, 0) << talix_test::DescribeAwkwardSpec(chosen) << ": " << document.failure;
    }
}

} // namespace
