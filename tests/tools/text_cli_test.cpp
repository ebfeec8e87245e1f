// talix text and talix count, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;

class TextCommand : public talix_test::CliTest {
protected:
    // Imports a sample and returns the id of its note.
    std::string Sample(const char* name) {
        CliOutcome run = Talix({"import", db_, (talix_test::SampleDxlDir() / name).string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out.substr(0, 10);
    }

};

TEST_F(TextCommand, PrintsTheTextOfAChunk) {
    std::string layout = Sample("form-layout.xml");
    CliOutcome all = Talix({"text", db_, layout, "$Body"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("I am layout text"), std::string::npos) << all.out;
    EXPECT_EQ(Talix({"text", db_, layout, "$Body", "Everything"}).out, all.out);

    // The first of the four tables of form-testls.xml: two rows of two cells.
    std::string tables = Sample("form-testls.xml");
    // Each cell's paragraph on a line of its own.
    EXPECT_EQ(Talix({"text", db_, tables, "$Body", "Table 1"}).out, "I\nam\nan\nanimated table\n");
    EXPECT_EQ(Talix({"text", db_, tables, "$Body", "Table 1; Row 2"}).out, "an\nanimated table\n");
    CliOutcome none = Talix({"text", db_, tables, "$Body", "Table 5"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "talix: 'Table 5' matches nothing in '$Body'\n");

    CliOutcome bad = Talix({"text", db_, tables, "$Body", "Nonsense 1"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("not a chunk definition"), std::string::npos) << bad.err;
    // A negative occurrence is refused with why, where it was read as its
    // digits ("Row -1" as row 1).
    for (const char* negative : {"Table 1; Row -1", "Table -2"}) {
        CliOutcome refused = Talix({"text", db_, tables, "$Body", negative});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, std::string("talix: '") + negative +
                                   "' is not a chunk definition: occurrences are numbered from 1\n");
    }
    // Every other refusal says why too, naming the part refused.
    std::string hundred = "Table 1";
    for (int i = 2; i <= 101; ++i) hundred += "," + std::to_string(i);
    const struct {
        std::string definition, why;
    } refusals[] = {
        {"Nonsense 1", "no element type is named in 'Nonsense 1'"},
        {"Table 1; Tabel 2", "no element type is named in 'Tabel 2'"},
        {"Inside", "'Inside' names no occurrence: a part is an element type and its occurrences, such as 'Table 1' "
                   "or 'Row *'"},
        {"Table 1;  Row", "'Row' names no occurrence: a part is an element type and its occurrences, such as "
                          "'Table 1' or 'Row *'"},
        {"Row 2", "'Row 2' must follow a Table or Column level (such as 'Table 1; Row 2')"},
        {"Table 1; Column 1; Column 2",
         "'Column 2' must follow a Table or Row level (such as 'Table 1; Column 2')"},
        {"Table 1;  ", "a part between ';' holds only blanks"},
        {";", "it names no part"},
        {"Table 1; Row two", "'Row two' holds words that are neither occurrences nor a text in quotes, such as "
                             "'Table 2' or 'Text \"Hello\" 1'"},
        {hundred, "a level lists at most 100 occurrences"},
    };
    for (const auto& refusal : refusals) {
        CliOutcome refused = Talix({"text", db_, tables, "$Body", refusal.definition});
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err, "talix: '" + refusal.definition + "' is not a chunk definition: " + refusal.why + "\n");
    }
    EXPECT_EQ(Talix({"text", db_, tables, "$Missing"}).status, 1);
    EXPECT_EQ(Talix({"text", db_, tables}).status, 2);

    // A damaged item (a text record longer than what is left) is reported,
    // not printed in part.
    std::string file = dir_.file("d.xml");
    std::ofstream(file) << "<note class='document'><item name='Body'>"
                           "<rawitemdata type='1'>gQKF/yAAAQAAAA==</rawitemdata></item></note>";
    std::string damaged = Talix({"import", db_, file}).out.substr(0, 10);
    CliOutcome read = Talix({"text", db_, damaged, "Body"});
    EXPECT_EQ(read.status, 1);
    EXPECT_NE(read.err.find("cannot read the text"), std::string::npos) << read.err;
}

TEST_F(TextCommand, CountsTargetsOfAType) {
    std::string tables = Sample("form-testls.xml");
    CliOutcome count = Talix({"count", db_, tables, "$Body", "Table"});
    ASSERT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "4\n");
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Row", "Table 1"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Column", "Table 4"}).out, "2\n");
    EXPECT_EQ(Talix({"count", db_, Sample("form-layout.xml"), "$Body", "Table"}).out, "0\n");

    CliOutcome unknown = Talix({"count", db_, tables, "$Body", "Nonsense"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("'Nonsense' cannot be counted"), std::string::npos) << unknown.err;
    EXPECT_EQ(Talix({"count", db_, tables, "$Body", "Row"}).status, 1);   // rows only inside a table
    EXPECT_EQ(Talix({"count", db_, tables, "$Body"}).status, 2);
}

// A rich-text item of raw records, as a DXL note.
std::string RichTextNote(const std::string& records) {
    const std::string base64 = talix_test::Base64Encode(records);
    return "<note class='document'><item name='Body'><rawitemdata type='1'>" + base64 + "</rawitemdata></item></note>";
}

// A text run of the first font (word header, font id 1).
std::string TextRun(const std::string& text) {
    const size_t length = 8 + text.size();
    std::string run = {'\x85', '\xFF', static_cast<char>(length & 0xFF), static_cast<char>(length >> 8), 1, 0, 0, 0};
    run += text;
    if (length % 2 != 0) run += '\0';
    return run;
}

TEST_F(TextCommand, CountsAndTextsHaveNoCap) {
    // 34,000 paragraph records.
    std::string paragraphs;
    for (int i = 0; i < 34000; ++i) paragraphs += "\x81\x02";
    std::string many = Import(Write("many.xml", RichTextNote(paragraphs)));
    CliOutcome count = Talix({"count", db_, many, "Body", "Record"});
    ASSERT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "34000\n");

    // 80,000 characters in two runs, then a run holding a zero byte.
    const std::string first = std::string(39999, 'a') + "b", second = std::string(39999, 'c') + "d";
    std::string runs = "\x81\x02" + TextRun(first) + TextRun(second) + TextRun(std::string("up\0down", 7));
    std::string text = Import(Write("text.xml", RichTextNote(runs)));
    CliOutcome printed = Talix({"text", db_, text, "Body"});
    ASSERT_EQ(printed.status, 0) << printed.err;
    EXPECT_EQ(printed.out, first + second + "up\ndown\n");
}

TEST_F(TextCommand, SetTextReplacesTheRunOrSaysNothingWasSet) {
    std::string form = Sample("form-testls.xml");
    CliOutcome set = Talix({"edit", db_, form, "$Body", "Table 1; Row 2", "set-text", "new"});
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Talix({"text", db_, form, "$Body", "Table 1; Row 2"}).out, "new\n");

    // A field holds no text run: nothing can be set, and the command says so
    // rather than succeed with the item unchanged.
    CliOutcome before = Talix({"value", db_, form, "$Body"});
    CliOutcome none = Talix({"edit", db_, form, "$Body", "Field 1", "set-text", "lost"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "talix: edit set-text: 'Field 1' holds no text run: nothing was set\n");
    EXPECT_EQ(Talix({"value", db_, form, "$Body"}).out, before.out);
}

} // namespace
