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
    EXPECT_NE(missing.err.find("talix: Unable to find design element 'No Page'."), std::string::npos);
    EXPECT_EQ(Talix({"design", db_, "view", "Layout Form"}).status, 2);
    // An empty name is no element's: said as such, not as a bad database.
    for (const char* command : {"design", "create-design"}) {
        CliOutcome empty = Talix({command, db_, "form", ""});
        EXPECT_EQ(empty.status, 2) << command;
        EXPECT_TRUE(talix_test::Has(empty.err, "not an empty one")) << empty.err;
    }
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

    // A name made safe for URLs is shown as the element was named.
    CliOutcome encoded = Talix({"create-design", db_, "page", "My Page:1", "URLEncode=Yes"});
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    EXPECT_EQ(encoded.out.substr(10), "\tMy+Page_1\n");
    EXPECT_EQ(Talix({"design", db_, "page", "My+Page_1"}).status, 0);

    // A name with an alias: made once, found by either name.
    CliOutcome aliased = Talix({"create-design", db_, "form", "Order|ord"});
    ASSERT_EQ(aliased.status, 0) << aliased.err;
    CliOutcome again = Talix({"create-design", db_, "form", "Order|ord"});
    EXPECT_EQ(again.out, aliased.out);
    EXPECT_EQ(again.err, "talix: Form 'Order|ord' already exists.\n");
    EXPECT_EQ(Talix({"design", db_, "form", "ord"}).out, Talix({"design", db_, "form", "Order"}).out);
    const std::string notes = Talix({"notes", db_}).out;
    EXPECT_NE(notes.find("Order|ord\tform\n"), std::string::npos) << notes;
    EXPECT_EQ(notes.find("Order|ord\tform\n"), notes.rfind("Order|ord\tform\n")) << notes;
}

TEST_F(DesignCommands, MessagesShowNamesOutsideAsciiAsTyped) {
    ASSERT_EQ(Talix({"import", db_, (talix_test::SampleDxlDir() / "form-layout.xml").string()}).status, 0);
    const std::string name = "Caf\xC3\xA9 \xE3\x83\x9A\xE3\x83\xBC\xE3\x82\xB8";   // "Café ページ"
    CliOutcome made = Talix({"create-design", db_, "page", name});
    ASSERT_EQ(made.status, 0) << made.err;
    CliOutcome again = Talix({"create-design", db_, "page", name, "Overwrite=No"});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.err, "talix: Page '" + name + "' already exists.\n");
    CliOutcome missing = Talix({"design", db_, "page", "Caf\xC3\xA8"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(talix_test::Has(missing.err, "talix: Unable to find design element 'Caf\xC3\xA8'.\n")) << missing.err;
    CliOutcome view = Talix({"match", db_, made.out.substr(0, 10), "$Body", "link", db_, "Vue \xC3\xA9t\xC3\xA9", "F"});
    EXPECT_EQ(view.status, 1);
    EXPECT_TRUE(talix_test::Has(view.err, "talix: View 'Vue \xC3\xA9t\xC3\xA9' not found\n")) << view.err;
}

TEST_F(DesignCommands, CreatingAnElementThatExistsLeavesItAsItIs) {
    const std::string form = Import((talix_test::SampleDxlDir() / "form-layout.xml").string());
    const std::string image = Import((talix_test::SampleDxlDir() / "imageres-untitled2.xml").string());
    const std::string formItems = Talix({"items", db_, form}).out;
    const std::string imageItems = Talix({"items", db_, image}).out;
    CliOutcome same = Talix({"create-design", db_, "form", "Layout Form"});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_TRUE(talix_test::Has(same.err, "already exists")) << same.err;
    EXPECT_EQ(same.out.substr(0, 10), form) << same.out;
    // An element of another kind of that name (the image resource is a
    // design note of the form class) is neither taken nor changed.
    for (const std::vector<std::string>& other :
         {std::vector<std::string>{"form", "Untitled 2.gif", "an image resource"},
          {"page", "Layout Form", "a form"}}) {
        CliOutcome run = Talix({"create-design", db_, other[0], other[1], "Overwrite=No"});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(talix_test::Has(run.err, "was not created: " + other[2] + " of that name exists")) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(Talix({"items", db_, form}).out, formItems);
    EXPECT_EQ(Talix({"items", db_, image}).out, imageItems);
    // Asked for, the element is emptied.
    ASSERT_EQ(Talix({"create-design", db_, "form", "Layout Form", "Overwrite=Yes"}).status, 0);
    EXPECT_EQ(Talix({"design", db_, "form", "Layout Form"}).lines().size(), 3u);
}

TEST_F(DesignCommands, NotesNamesEachDesignElementByItsKind) {
    for (const char* sample : {"form-layout.xml", "imageres-untitled2.xml", "fileres-test.xml", "field-testfield.xml"})
        ASSERT_EQ(Talix({"import", db_, (talix_test::SampleDxlDir() / sample).string()}).status, 0) << sample;
    ASSERT_EQ(Talix({"create-design", db_, "page", "New Page"}).status, 0);
    ASSERT_EQ(Talix({"create-design", db_, "subform", "New Subform"}).status, 0);
    CliOutcome notes = Talix({"notes", db_});
    ASSERT_EQ(notes.status, 0) << notes.err;
    for (const char* line : {"\tLayout Form\tform\n", "\tUntitled 2.gif\timage resource\n", "\ttest.txt\tfile resource\n",
                             "\ttestfield\tshared field\n", "\tNew Page\tpage\n", "\tNew Subform\tsubform\n"})
        EXPECT_NE(notes.out.find(line), std::string::npos) << line << notes.out;
}

TEST_F(DesignCommands, ImportSaysOnceWhenAResourceHoldsNoData) {
    // An image resource whose picture the export left beside the file: no
    // "$ImageData" item, or one without data.
    const std::string dxl = talix_test::ReadFile(talix_test::SampleDxlDir() / "imageres-untitled2.xml");
    const std::string item = "<item name='$ImageData' ";
    const std::size_t from = dxl.find(item), to = dxl.find("</item>", from);
    ASSERT_NE(to, std::string::npos);
    const std::string without = Write("without.xml", dxl.substr(0, from) + dxl.substr(to + 7));
    const std::size_t value = dxl.find('>', from) + 1;
    const std::string empty = Write("empty.xml", dxl.substr(0, value) + "<rawitemdata type='1'></rawitemdata>" + dxl.substr(to));
    CliOutcome imported = Talix({"import", db_, without, empty, (talix_test::SampleDxlDir() / "fileres-test.xml").string()});
    EXPECT_EQ(imported.status, 0) << imported.err;
    ASSERT_EQ(imported.lines().size(), 3u);
    const std::string first = imported.lines()[0].substr(0, 10), second = imported.lines()[1].substr(0, 10);
    EXPECT_EQ(imported.err, "talix: note " + first + ": the image resource 'Untitled 2.gif' holds no data ($ImageData is "
                            "missing or empty)\ntalix: note " + second + ": the image resource 'Untitled 2.gif' holds no "
                            "data ($ImageData is missing or empty)\n");
}

} // namespace
