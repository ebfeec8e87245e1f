// talix design and talix create-design, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class DesignCommands : public testing::Test {
protected:
    Outcome Talix(const std::vector<std::string>& args) {
        std::string command = Quoted(TALIX_CLI_PATH);
        for (const auto& arg : args) command += " " + Quoted(arg);
        command += " >" + Quoted(dir_.file("out")) + " 2>" + Quoted(dir_.file("err"));
        Outcome run;
        int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = talix_test::ReadFile(dir_.file("out"));
        run.err = talix_test::ReadFile(dir_.file("err"));
        return run;
    }
    static std::string Quoted(const std::string& arg) {
        std::string quoted = "'";
        for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return quoted + "'";
    }

    talix_test::TempDir dir_;
    std::string db_ = dir_.file("d.nsf");
};

TEST_F(DesignCommands, DesignListsTheRecordsOfAnElementsContent) {
    Outcome imported = Talix({"import", db_, (talix_test::SampleDxlDir() / "form-layout.xml").string()});
    ASSERT_EQ(imported.status, 0) << imported.err;
    std::string id = imported.out.substr(0, imported.out.find('\t'));

    Outcome records = Talix({"records", db_, id, "$Body"});
    ASSERT_EQ(records.status, 0) << records.err;
    Outcome design = Talix({"design", db_, "form", "Layout Form"});
    EXPECT_EQ(design.status, 0) << design.err;
    EXPECT_EQ(design.out, records.out);

    Outcome missing = Talix({"design", db_, "page", "No Page"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("TALIX: Unable to find design element 'No Page'."), std::string::npos);
    EXPECT_EQ(Talix({"design", db_, "view", "Layout Form"}).status, 2);
}

TEST_F(DesignCommands, CreateDesignMakesElementsThatDesignLists) {
    ASSERT_EQ(Talix({"import", db_, (talix_test::SampleDxlDir() / "form-layout.xml").string()}).status, 0);
    Outcome page = Talix({"create-design", db_, "page", "New Page"});
    ASSERT_EQ(page.status, 0) << page.err;
    EXPECT_EQ(page.out.substr(10), "\tNew Page\n");
    Outcome body = Talix({"design", db_, "Page", "New Page"});
    ASSERT_EQ(body.status, 0) << body.err;
    EXPECT_EQ(body.out.find("1\t0xFF82\t"), 0u) << body.out;
    EXPECT_NE(body.out.find("3\t0xFF85\t"), std::string::npos) << body.out;

    std::string source = dir_.file("notes.txt");
    std::FILE* file = std::fopen(source.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("some notes", file);
    std::fclose(file);
    Outcome resource = Talix({"create-design", db_, "file-resource", "notes.txt", "SourceFile=" + source});
    ASSERT_EQ(resource.status, 0) << resource.err;
    Outcome listed = Talix({"design", db_, "file resource", "notes.txt"});
    EXPECT_EQ(listed.out, "1\t0x0061\tCD_FILEHEADER\t28\t\n2\t0x0060\tCD_FILESEGMENT\t28\t\n");
    EXPECT_EQ(Talix({"create-design", db_, "xpage", "x"}).status, 2);
}

} // namespace
