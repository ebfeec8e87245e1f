// A thousand awkward documents (the seeded generator of tests/support, with
// pictures of every stored kind among them) sent as MIME messages: each one
// is a message mail readers accept (check_messages.py), also when its note's
// mail items hold line ends followed by header lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "mime_fixture.h"
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

constexpr int kDocuments = 1000;
constexpr std::uint64_t kFirstSeed = 44000;

TEST(AwkwardMessages, EveryGeneratedItemIsAMessageMailReadersAccept) {
#ifndef TALIX_HAS_AWKWARD_DOCUMENTS
    GTEST_SKIP() << "the generator of awkward documents is not part of this tree";
#else
    using namespace talix_test;
    TempDir dir;
    const std::string path = dir.file("awkward.nsf");
    plat::DBHANDLE db = 0;
    ASSERT_EQ(plat::DbCreate(path.c_str(), &db), plat::NOERROR);
    std::vector<std::pair<plat::NOTEID, std::string>> made;
    std::uint32_t pictures = 0;
    for (int i = 0; i < kDocuments; i += talix_test::kAwkwardSampleStride) {
        AwkwardSpec spec;
        spec.seed = kFirstSeed + static_cast<std::uint64_t>(i);
        spec.size = 6;
        const AwkwardDocument document = MakeAwkwardDocument(spec);
        ASSERT_EQ(document.status, 0) << DescribeAwkwardSpec(spec) << ": " << document.failure;
        pictures |= document.pictures;
        plat::NOTEID id = 0;
        ASSERT_EQ(StoreAwkwardDocument(db, document, "Body", &id), plat::NOERROR) << DescribeAwkwardSpec(spec);
        made.emplace_back(id, DescribeAwkwardSpec(spec));
    }
    plat::DbClose(db);
    // Every stored kind of picture is among them.
    EXPECT_EQ(pictures, (1u << kPictureKinds) - 1);

    RARIvoSession session;
    std::vector<std::pair<std::string, std::string>> checked;
    for (std::size_t i = 0; i < made.size(); ++i) {
        ZervaRTItem item(&session);
        ASSERT_EQ(item.Connect("", path.c_str(), made[i].first, "Body", 0), 0) << made[i].second;
        const std::string stem = dir.file("m" + std::to_string(i));
        item.ExportToMIME((stem + ".eml").c_str(), nullptr, nullptr, nullptr, "", 0, "", 0, nullptr);
        ASSERT_EQ(item.lastStatus, 0) << made[i].second;
        ASSERT_TRUE(WriteUncutHtml(&item, stem + ".htm")) << made[i].second;
        checked.emplace_back(stem + ".eml", stem + ".htm");
        ASSERT_EQ(ExportWithInjectedHeaders(&item, stem + "-mail.eml"), 0) << made[i].second;
        checked.emplace_back(stem + "-mail.eml", "-");
    }
    std::vector<std::string> problems = CheckMessages(checked, InjectedHeaderNames(), dir.file("list.txt"));
    // A problem names its file: the document's seed goes beside it.
    for (std::string& problem : problems) {
        const std::size_t at = problem.find("/m");
        if (at == std::string::npos) continue;
        const std::size_t index = std::strtoul(problem.c_str() + at + 2, nullptr, 10);
        if (index < made.size()) problem = made[index].second + " " + problem;
    }
    EXPECT_TRUE(problems.empty()) << problems.size() << " problems, the first: "
                                  << testing::PrintToString(std::vector<std::string>(
                                         problems.begin(), problems.begin() + std::min<std::size_t>(problems.size(), 20)));
#endif
}

} // namespace
