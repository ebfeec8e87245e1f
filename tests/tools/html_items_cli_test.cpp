// talix export-html, to-html and from-html, run as a user runs them: the
// markup on standard output or in a file, stored in an item of the note,
// and an item rebuilt from the HTML another item holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/markup_validators.h"
#include "support/test_support.h"

namespace {

using talix_test::CliOutcome;
using talix_test::Has;

class HtmlItemCommands : public talix_test::CliTest {};

TEST_F(HtmlItemCommands, ExportOnStandardOutputOrIntoAFile) {
    const std::string note = Import(Sample("styledtext.xml"));
    ASSERT_EQ(Talix({"append", db_, note, "Body", "text", "Caf\xC3\xA9 \xE4\xB8\xAD"}).status, 0);
    CliOutcome out = Talix({"export-html", db_, note, "Body"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out.rfind("<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01", 0), 0u) << out.out;
    EXPECT_TRUE(Has(out.out, "This is normal text.")) << out.out;
    EXPECT_TRUE(Has(out.out, "Caf&eacute; &#20013;")) << out.out;
    std::string report;
    EXPECT_EQ(talix_test::TidyErrors(out.out, &report), 0) << report;

    const std::string file = dir_.file("item.htm");
    CliOutcome written = Talix({"export-html", db_, note, "Body", file, "--format", "XHTML 1.0"});
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.out, "");
    EXPECT_TRUE(Has(talix_test::ReadFile(file), "XHTML 1.0 Transitional"));

    CliOutcome unwritable = Talix({"export-html", db_, note, "Body", dir_.file("no/such/dir.htm")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.err, "talix: cannot write " + dir_.file("no/such/dir.htm") + ": No such file or directory\n");
    EXPECT_EQ(Talix({"export-html", db_, note, "Body", "--into", "X"}).status, 2);
    EXPECT_EQ(Talix({"export-html", db_, note}).status, 2);
    CliOutcome help = Talix({"export-html", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, "usage: talix export-html DB NOTE ITEM [FILE]"));
}

TEST_F(HtmlItemCommands, PlainTextKeepsTheWordsOfEachParagraphApart) {
    const std::string note = Import(Sample("styledtext.xml"));
    CliOutcome text = Talix({"export-html", db_, note, "Body", "--format", "text"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, Talix({"html", db_, note, "Body", "--format", "text"}).out);
    EXPECT_TRUE(Has(text.out, "This is normal text.\r\n")) << text.out;
    EXPECT_FALSE(Has(text.out, "textThis")) << text.out;
    // Asked for, the paragraphs run on.
    CliOutcome joined = Talix({"export-html", db_, note, "Body", "--format", "text", "--options", "NewlineOnParagraph=No"});
    EXPECT_TRUE(Has(joined.out, "text.This")) << joined.out;
}

TEST_F(HtmlItemCommands, DelimitedHtmlIsMarkedInTheHtmlOnly) {
    const std::string note = Import(Sample("styledtext.xml"));
    ASSERT_EQ(Talix({"append", db_, note, "Memo", "text", "a [<b>] c"}).status, 0);
    const std::string records = Talix({"records", db_, note, "Memo"}).out;
    CliOutcome run = Talix({"to-html", db_, note, "Memo", "--into", "Page", "--options", "MarkDelimitedHTML=Yes"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(Talix({"text", db_, note, "Page"}).out, "a <!--DelimitedStart--><b><!--DelimitedEnd--> c"));
    // The item rendered is saved as it was, not highlighted.
    EXPECT_EQ(Talix({"records", db_, note, "Memo"}).out, records);
    EXPECT_EQ(Talix({"text", db_, note, "Memo"}).out, "a [<b>] c\n");
}

TEST_F(HtmlItemCommands, StoreTheHtmlAndRebuildAnItemFromIt) {
    const std::string note = Import(Sample("styledtext.xml"));
    const std::string words = Talix({"text", db_, note, "Body"}).out;

    // The item's own name exists: refused without Overwrite=Yes.
    CliOutcome refused = Talix({"to-html", db_, note, "Body"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(Has(refused.err, "Overwrite=Yes")) << refused.err;

    CliOutcome run = Talix({"to-html", db_, note, "Body", "--into", "Run", "--options", "CreateRTItem=No"});
    ASSERT_EQ(run.status, 0) << run.err;
    CliOutcome records = Talix({"records", db_, note, "Run"});
    ASSERT_EQ(records.lines().size(), 3u) << records.out;
    EXPECT_TRUE(Has(records.lines()[0], "0xFFCC")) << records.out;
    EXPECT_TRUE(Has(records.lines()[2], "0xFFCD")) << records.out;

    ASSERT_EQ(Talix({"to-html", db_, note, "Body", "--into", "Lines"}).status, 0);
    EXPECT_TRUE(Has(Talix({"text", db_, note, "Lines"}).out, "<div class=\"pabid1\">This is normal text.</div>"));

    // Rebuilt from the HTML, the item keeps its words.
    CliOutcome rebuilt = Talix({"from-html", db_, note, "Body", "Lines", "--prefix", "/res/"});
    ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
    EXPECT_FALSE(Has(rebuilt.err, "fck_editorarea.css")) << rebuilt.err;   // the default need not exist
    EXPECT_EQ(Talix({"text", db_, note, "Body"}).out, words);

    CliOutcome missing = Talix({"from-html", db_, note, "Body", "Nothing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "has no item 'Nothing' to read the HTML from")) << missing.err;
    // A target the note does not have yet is made, as import-html makes it;
    // a failed conversion makes none.
    CliOutcome made = Talix({"from-html", db_, note, "Fresh", "Lines"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(Talix({"text", db_, note, "Fresh"}).out, words);
    EXPECT_EQ(Talix({"from-html", db_, note, "Never", "Nothing"}).status, 1);
    EXPECT_EQ(Talix({"value", db_, note, "Never"}).status, 1);
    EXPECT_EQ(Talix({"text", db_, note, "Body"}).out, words);
    CliOutcome named = Talix({"from-html", db_, note, "Body", "Lines", "--options", "UseCSSFile=site.css"});
    EXPECT_EQ(named.status, 0);
    EXPECT_TRUE(Has(named.err, "'site.css'")) << named.err;
    EXPECT_EQ(Talix({"from-html", db_, note, "Body", "Lines", "--prefix", std::string(5000, 'p')}).status, 1);
    EXPECT_EQ(Talix({"from-html", db_, note, "Body"}).status, 2);
}

TEST_F(HtmlItemCommands, ANameNoItemCanHaveIsRefusedAsSuch) {
    const std::string note = Import(Sample("styledtext.xml"));
    const std::string items = Talix({"items", db_, note}).out;
    for (const char* form : {"CreateRTItem=Yes", "CreateRTItem=No"}) {
        CliOutcome run = Talix({"to-html", db_, note, "Body", "--into", std::string(256, 'n'), "--options", form});
        EXPECT_EQ(run.status, 1) << form;
        EXPECT_TRUE(Has(run.err, "Invalid item name")) << run.err;
        EXPECT_FALSE(Has(run.err, "memory")) << run.err;
    }
    EXPECT_EQ(Talix({"items", db_, note}).out, items);
    ASSERT_EQ(Talix({"to-html", db_, note, "Body", "--into", std::string(255, 'n')}).status, 0);
}

TEST_F(HtmlItemCommands, HtmlOfAMegabyteIsStoredWholeAsTextRuns) {
    const std::string note = Import(Sample("styledtext.xml"));
    std::string page = "<html><body>";
    for (int i = 0; i < 15000; ++i) page += "<p>Paragraph " + std::to_string(i) + " of many, with its words</p>\n";
    page += "</body></html>";
    ASSERT_EQ(Talix({"import-html", db_, note, "Big", Write("big.html", page), "--replace"}).status, 0);
    CliOutcome exported = Talix({"export-html", db_, note, "Big"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    ASSERT_GT(exported.out.size(), 1000000u);

    // Into another item, and into the item itself in place of its records.
    for (const char* into : {"Run", "Big"}) {
        CliOutcome run = Talix({"to-html", db_, note, "Big", "--into", into, "--options",
                                "CreateRTItem=No Overwrite=Yes"});
        ASSERT_EQ(run.status, 0) << run.err;
        CliOutcome records = Talix({"records", db_, note, into});
        EXPECT_EQ(records.status, 0) << records.err;
        EXPECT_GT(records.lines().size(), 20u);
        CliOutcome text = Talix({"text", db_, note, into});
        EXPECT_EQ(text.status, 0) << text.err;
        // The stored markup was generated by another run than the export:
        // the day in its comment may differ.
        EXPECT_TRUE(talix_test::WithoutRunDates(text.out) == talix_test::WithoutRunDates(exported.out) + "\n")
            << into << ": " << text.out.size();
        EXPECT_EQ(Talix({"check", db_}).status, 0);
    }
}

// An item whose records do not read (a text record claiming more bytes than
// are left) is named with where the damage is, as the commands that write
// it name it, not as a want of memory; nothing is written or stored.
TEST_F(HtmlItemCommands, ADamagedItemIsNamedWithItsDamage) {
    const std::string note = Import(Write("d.xml", "<note class='document'><item name='Body'><rawitemdata type='1'>"
                                                   "gQKF/yAAAQAAAA==</rawitemdata></item></note>"));
    const std::string items = Talix({"items", db_, note}).out;
    const std::string file = dir_.file("damaged.htm");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"export-html", db_, note, "Body"}, {"export-html", db_, note, "Body", file},
             {"to-html", db_, note, "Body", "--into", "Page"}}) {
        SCOPED_TRACE(args.size() == 5 ? "into a file" : args[0]);
        CliOutcome run = Talix(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "talix: cannot " + args[0] + " item 'Body': item 1: damaged data at byte 4: record 0xFF85 "
                           "of length 32 runs past the end of the value (8 bytes left): status 15150: Damaged "
                           "rich-text data; nothing was written\n");
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(Talix({"items", db_, note}).out, items);
}

} // namespace
