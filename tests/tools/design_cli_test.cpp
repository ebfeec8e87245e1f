// talix design and talix create-design, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class DesignCommands : public talix_test::CliTest {
protected:

};

TEST_F(DesignCommands, DesignListsTheRecordsOfAnElementsContent) {
    CliOutcome imported = Talix({"import", db_, (talix_test::SampleDxlDir() / "form-layout.xml").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string id = imported.out.substr(0, imported.out.find('\t'));

    CliOutcome records = Talix({"records", db_, id, "$Body"});
    ASSERT_EQ(records.status, 0) << records.err;
    CliOutcome design = Talix({"design", db_, "form", "Layout Form"});
    EXPECT_EQ(design.status, 0) << design.err;
    EXPECT_EQ(design.out, records.out);

    CliOutcome missing = Talix({"design", db_, "page", "No Page"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("TALIX: Unable to find design element 'No Page'."), std::string::npos);
    EXPECT_EQ(Talix({"design", db_, "view", "Layout Form"}).status, 2);
}

TEST_F(DesignCommands, CreateDesignMakesElementsThatDesignLists) {
    ASSERT_EQ(Talix({"import", db_, (talix_test::SampleDxlDir() / "form-layout.xml").string()}).status, 0);
    CliOutcome page = Talix({"create-design", db_, "page", "New Page"});
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.out.substr(10), "\tNew Page\n");
    CliOutcome body = Talix({"design", db_, "Page", "New Page"});
    ASSERT_EQ(body.status, 0) << body.err;
    EXPECT_EQ(body.out.find("1\t0xFF82\t"), 0u) << body.out;
    EXPECT_NE(body.out.find("3\t0xFF85\t"), std::string::npos) << body.out;

    std::string source = dir_.file("notes.txt");
    std::FILE* file = std::fopen(source.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("some notes", file);
    std::fclose(file);
    CliOutcome resource = Talix({"create-design", db_, "file-resource", "notes.txt", "SourceFile=" + source});
    ASSERT_EQ(resource.status, 0) << resource.err;
    CliOutcome listed = Talix({"design", db_, "file resource", "notes.txt"});
    EXPECT_EQ(listed.out, "1\t0x0061\tCD_FILEHEADER\t28\t\n2\t0x0060\tCD_FILESEGMENT\t28\t\n");
    EXPECT_EQ(Talix({"create-design", db_, "xpage", "x"}).status, 2);
}

} // namespace
