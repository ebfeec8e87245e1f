// talix get-property, set-property, property-text and edit set-target, run
// as a user runs them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_fixture.h"
#include "support/picture_files.h"
#include "support/record_fixture.h"
#include "talix_platform.h"

namespace {

using talix_test::CliOutcome;
using talix_test::FixtureRecord;

class PropertyCommands : public talix_test::CliTest {
protected:
    // A note of the sample export with a rich-text item "Memo" holding "start"
    // (its second text run, after an empty one).
    std::string NoteWithText() {
        const std::string id = Import(Sample("2194.xml"));
        EXPECT_EQ(Talix({"append", db_, id, "Memo", "text", "start"}).status, 0);
        return id;
    }
};

TEST_F(PropertyCommands, PropertiesAreReadAndSetByName) {
    const std::string id = NoteWithText();
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Text", "Text 2"}).out, "start\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "pointsize", "Text 2"}).out, "10\n");
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Exists"}).out, "1\n");

    CliOutcome set = Talix({"set-property", db_, id, "Memo", "FontColor", "Red", "Text 2"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FontColor", "Text 2"}).out, "Red\n");
    set = Talix({"set-property", db_, id, "Memo", "--list", "Text=ignored FontColor=Blue", "Text 2"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Font", "Text 2"}).out,
              "Plain Blue 10pt Default Sans Serif\n");
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "Text", "Änderung", "Text 2"}).status, 0);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "Änderung\n");
}

// A colour set on a run beyond what a colour holds is never written as some
// other colour: a component above 255 is held at 255, in the run's colour
// and in the page.
TEST_F(PropertyCommands, ColoursBeyondTheirRangeAreNotWrapped) {
    const std::string id = NoteWithText();
    // A colour number a font cannot hold changes nothing of the run's colour.
    CliOutcome set = Talix({"set-property", db_, id, "Memo", "FontColor", "COLOR300 Bold", "Text 2"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Font", "Text 2"}).out, "Bold Black 10pt Default Sans Serif\n");

    set = Talix({"set-property", db_, id, "Memo", "FontColor", "RGB300,2,3", "Text 2"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "FontColor", "Text 2"}).out, "RGB255,2,3\n");
    const std::string page = Talix({"html", db_, id, "Memo"}).out;
    EXPECT_NE(page.find("color: rgb(255,2,3)"), std::string::npos) << page;
}

// A layer's z-index given beyond the 32 bits it is kept in is held at the
// nearest end, in its words and in the page, never cut to another number.
TEST_F(PropertyCommands, AZIndexBeyondItsRangeIsHeldAtItsEnd) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "layer", "1", "2", "3", "4"}).status, 0);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-7", "-7"}, {"99999999999", "2147483647"}, {"-99999999999", "-2147483648"}};
    for (const auto& [given, kept] : cases) {
        SCOPED_TRACE(given);
        CliOutcome set = Talix({"edit", db_, id, "Memo", "Layer 1", "set-target", "Layer", "ZIndex=" + given});
        ASSERT_EQ(set.status, 0) << set.err;
        EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Layer 1", "target", "Layer", "ZIndex"}).out, kept + "\n");
        const std::string page = Talix({"html", db_, id, "Memo"}).out;
        EXPECT_NE(page.find("z-index: " + kept + ";"), std::string::npos) << page;
    }
}

// A table's row cycle time beyond the 32 bits it is kept in is held at the
// greatest it can be, when the table is made and when it is changed.
TEST_F(PropertyCommands, ARowCycleTimeBeyondItsRangeIsHeldAtItsEnd) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "table", "1", "1", "--options",
                     "RowDisplay=ANIMATED RowCycleMilliseconds=99999999999"})
                  .status,
              0);
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "table", "1", "1", "--options", "RowDisplay=ANIMATED"}).status, 0);
    ASSERT_EQ(Talix({"edit", db_, id, "Memo", "Table 2", "table", "RowCycleMilliseconds=4294967296"}).status, 0);
    for (const char* table : {"Table 1", "Table 2"}) {
        SCOPED_TRACE(table);
        EXPECT_EQ(Talix({"property-text", db_, id, "Memo", table, "table", "RowCycleMilliseconds"}).out,
                  "RowCycleMilliseconds=4294967295 \n");
    }
    ASSERT_EQ(Talix({"edit", db_, id, "Memo", "Table 2", "table", "RowCycleMilliseconds=4294967295"}).status, 0);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Table 2", "table", "RowCycleMilliseconds"}).out,
              "RowCycleMilliseconds=4294967295 \n");
}

// A value taken from a list of Name=value words is set whole, however long,
// as the same value given alone is.
TEST_F(PropertyCommands, AListedValueIsSetWhole) {
    const std::string id = NoteWithText();
    const std::string longText(5000, 'a');
    for (const std::vector<std::string>& how : std::vector<std::vector<std::string>>{
             {"--list", "Text='" + longText + "b'"}, {"Text", longText + "b"}}) {
        SCOPED_TRACE(how[0]);
        CliOutcome set = Talix({"set-property", db_, id, "Memo", how[0], how[1], "Text 2"});
        ASSERT_EQ(set.status, 0) << set.err;
        const std::string text = Talix({"get-property", db_, id, "Memo", "Text", "Text 2"}).out;
        EXPECT_EQ(text.size(), longText.size() + 2);
        EXPECT_TRUE(text == longText + "b\n");
        EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "Text", "start", "Text 2"}).status, 0);
    }
}

// A long value given to a target's keyword (a picture's caption) is
// stored whole, and read back whole.
TEST_F(PropertyCommands, ALongTargetValueIsStoredWhole) {
    const std::string id = NoteWithText();
    const std::string picture = Write("dot.gif", talix_test::GifPicture(3, 2));
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "graphic", "FILE", picture}).status, 0);
    const std::string caption = std::string(5000, 'c') + "d";
    CliOutcome set = Talix({"edit", db_, id, "Memo", "Graphic 1", "set-target", "Graphic", "Caption='" + caption + "'"});
    ASSERT_EQ(set.status, 0) << set.err;
    // The caption record: its 28-byte head and the text.
    EXPECT_TRUE(talix_test::Has(Talix({"records", db_, id, "Memo"}).out, "CD_CAPTION\t5029\t"));
    // Its property text, all words or the one asked for, holds it whole.
    const std::string words = Talix({"property-text", db_, id, "Memo", "Graphic 1", "target", "Graphic"}).out;
    EXPECT_EQ(words.size(), caption.size() + 12);
    EXPECT_TRUE(words == "Caption='" + caption + "' \n");
    const std::string value = Talix({"property-text", db_, id, "Memo", "Graphic 1", "target", "Graphic", "Caption"}).out;
    EXPECT_EQ(value.size(), caption.size() + 1);
    EXPECT_TRUE(value == caption + "\n");
}

// A picture's storage is set to Inline or Storage (in any case); any other
// word, which would change nothing, is refused and the note is left as it was.
TEST_F(PropertyCommands, APictureStorageTakesOnlyItsTwoWords) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "graphic", "FILE", Write("dot.gif", talix_test::GifPicture(3, 2))}).status,
              0);
    const std::string before = Talix({"records", db_, id, "Memo"}).out;
    for (const char* word : {"Resource", "", "Inline Storage"}) {
        SCOPED_TRACE(word);
        CliOutcome refused = Talix({"set-property", db_, id, "Memo", "GraphicStorage", word, "Graphic 1"});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(talix_test::Has(refused.err, "'GraphicStorage' takes Inline or Storage")) << refused.err;
    }
    EXPECT_EQ(Talix({"records", db_, id, "Memo"}).out, before);
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "GraphicStorage", "INLINE", "Graphic 1"}).status, 0);
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "GraphicStorage", "Graphic 1"}).out, "Inline\n");
    // Asked again, the picture stays as it is; a chunk without a picture
    // has nothing that takes a storage.
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "GraphicStorage", "Inline", "Graphic 1"}).status, 0);
    CliOutcome none = Talix({"set-property", db_, id, "Memo", "GraphicStorage", "Inline", "Text 1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_TRUE(talix_test::Has(none.err, "'Text 1' holds nothing that takes it")) << none.err;
    none = Talix({"set-property", db_, id, "Memo", "--list", "GraphicStorage=Storage", "Text 1"});
    EXPECT_EQ(none.status, 1);
}

// A run's colour or attributes set from a text that names nothing of a
// font is refused, and the run keeps its look; a text naming anything of a
// font is taken.
TEST_F(PropertyCommands, AFontTextNamingNothingIsRefused) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"set-property", db_, id, "Memo", "FontColor", "Red", "Text 2"}).status, 0);
    for (const std::vector<std::string>& set : std::vector<std::vector<std::string>>{
             {"FontColor", "nonsense"}, {"FontColor", ""}, {"TextAttributes", "wobbly"}, {"FontColor", "#GGGGGG"}}) {
        SCOPED_TRACE(set[0] + " " + set[1]);
        CliOutcome refused = Talix({"set-property", db_, id, "Memo", set[0], set[1], "Text 2"});
        EXPECT_EQ(refused.status, 2);
        EXPECT_TRUE(talix_test::Has(refused.err, "names nothing of a font")) << refused.err;
    }
    for (const char* list : {"FontColor=nonsense", "FontColor=''", "TextAttributes=wobbly", "FontColor=#GGGGGG"}) {
        SCOPED_TRACE(list);
        CliOutcome refused = Talix({"set-property", db_, id, "Memo", "--list", list, "Text 2"});
        EXPECT_NE(refused.status, 0);
        EXPECT_TRUE(talix_test::Has(refused.err, "names nothing of a font")) << refused.err;
    }
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Font", "Text 2"}).out, "Plain Red 10pt Default Sans Serif\n");
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "TextAttributes", "+Italic", "Text 2"}).status, 0);
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Font", "Text 2"}).out, "Italic Red 10pt Default Sans Serif\n");
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "--list", "TextAttributes=+Bold", "Text 2"}).status, 0);
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Font", "Text 2"}).out, "Bold Italic Red 10pt Default Sans Serif\n");
}

// A paragraph style that names nothing of a paragraph is refused in both
// forms, and the paragraphs keep their look; a style naming anything is
// taken.
TEST_F(PropertyCommands, AParagraphStyleNamingNothingIsRefused) {
    const std::string id = NoteWithText();
    const std::string before = Talix({"get-property", db_, id, "Memo", "ParagraphStyle", "Everything"}).out;
    CliOutcome single = Talix({"set-property", db_, id, "Memo", "ParagraphStyle", "nonsense", "Everything"});
    EXPECT_EQ(single.status, 2);
    EXPECT_TRUE(talix_test::Has(single.err, "names nothing of a paragraph")) << single.err;
    CliOutcome listed = Talix({"set-property", db_, id, "Memo", "--list", "ParagraphStyle=HIDE_READX", "Everything"});
    EXPECT_NE(listed.status, 0);
    EXPECT_TRUE(talix_test::Has(listed.err, "names nothing of a paragraph")) << listed.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "ParagraphStyle", "Everything"}).out, before);
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "ParagraphStyle", "LEFTMARGIN=1.5", "Everything"}).status, 0);
    EXPECT_TRUE(talix_test::Has(Talix({"get-property", db_, id, "Memo", "ParagraphStyle", "Everything"}).out,
                                "LeftMarginOffset=\"1.50\""));
}

// Setting a link's frame target again and again changes the one target it
// has: the records and the page keep one target, the last one set.
TEST_F(PropertyCommands, AFrameTargetSetAgainReplacesTheOneThere) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "link", "http://example.com/", "go"}).status, 0);
    auto count = [](const std::string& text, const std::string& word) {
        std::size_t found = 0;
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++found;
        return found;
    };
    std::size_t records = 0;
    for (const char* frame : {"_blank", "other", "last"}) {
        SCOPED_TRACE(frame);
        CliOutcome set = Talix({"set-property", db_, id, "Memo", "TargetFrame", frame, "URLLink 1"});
        ASSERT_EQ(set.status, 0) << set.err;
        EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "TargetFrame", "URLLink 1"}).out, std::string(frame) + "\n");
        const std::string listed = Talix({"records", db_, id, "Memo"}).out;
        if (records == 0) records = count(listed, "CD_TARGET");
        EXPECT_EQ(count(listed, "CD_TARGET"), records);
        const std::string page = Talix({"html", db_, id, "Memo"}).out;
        EXPECT_EQ(count(page, " target="), 1u) << page;
        EXPECT_NE(page.find(" target=\"" + std::string(frame) + "\""), std::string::npos) << page;
    }
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "startgo\n");
}

TEST_F(PropertyCommands, RefusalsAndUsageErrors) {
    const std::string id = NoteWithText();
    CliOutcome readOnly = Talix({"set-property", db_, id, "Memo", "Exists", "1"});
    EXPECT_EQ(readOnly.status, 1);
    EXPECT_EQ(readOnly.err, "talix: Unable to set read-only property 'Exists'\n");
    CliOutcome noHandler = Talix({"set-property", db_, id, "Memo", "PointSize", "12"});
    EXPECT_EQ(noHandler.status, 1);
    EXPECT_EQ(noHandler.err, "talix: No handler enabled to set property 'PointSize'\n");
    CliOutcome silent = Talix({"set-property", db_, id, "Memo", "Font", "Bold"});
    EXPECT_EQ(silent.status, 1);
    EXPECT_NE(silent.err.find("nothing was set"), std::string::npos) << silent.err;
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "--list", "Bogus=1"}).status, 1);
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "Bogus"}).status, 1);
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "PointSize", "twelve"}).status, 2);
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "--list"}).status, 2);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Everything", "border"}).status, 2);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Everything", "colour", "x"}).status, 2);
    EXPECT_EQ(Talix({"edit", db_, id, "Memo", "Everything", "set-target", "Table", "x=1"}).status, 2);
    EXPECT_EQ(Talix({"text", db_, id, "Memo"}).out, "start\n");
}

// A property set on a chunk that holds nothing of the kind it belongs to
// (a button's text on a text run) fails and leaves the note as it was; the
// same set on a button, and settings that are not records of a kind, pass.
TEST_F(PropertyCommands, ASetThatFindsNothingToTakeItFails) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "hotspot", "BUTTON FORMULA", "@Now", "Press"}).status, 0);
    const std::string before = Talix({"records", db_, id, "Memo"}).out;
    for (const std::vector<std::string>& set : std::vector<std::vector<std::string>>{
             {"ButtonText", "Other"}, {"ActionFormula", "@Today"}, {"SectionTitle", "S"}, {"RowLabel", "R"},
             {"LinkAnchorText", "part"}, {"LinkReplicaID", "00000000ABCDEF01"}}) {
        SCOPED_TRACE(set[0]);
        CliOutcome outcome = Talix({"set-property", db_, id, "Memo", set[0], set[1], "Text 2"});
        EXPECT_EQ(outcome.status, 1);
        EXPECT_EQ(outcome.err, "talix: set-property " + set[0] + ": 'Text 2' holds nothing that takes it; nothing "
                               "was set\n");
    }
    // The same from a list of Name=value words.
    for (const std::string& list : {std::string("ButtonText=Other"), std::string("RowLabel=R SectionTitle=S")}) {
        CliOutcome outcome = Talix({"set-property", db_, id, "Memo", "--list", list, "Text 2"});
        EXPECT_EQ(outcome.status, 1) << list;
        EXPECT_EQ(outcome.err, "talix: set-property: 'Text 2' holds nothing that takes it; nothing was set\n");
    }
    // A button holds no text run: its Text is no run written beside it.
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "Text", "Beside", "Button 1"}).status, 1);
    EXPECT_EQ(Talix({"records", db_, id, "Memo"}).out, before);
    CliOutcome listed = Talix({"set-property", db_, id, "Memo", "--list", "ButtonText=Listed", "Button 1"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "ButtonText", "Button 1"}).out, "Listed\n");
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "CaseSensitive", "1", "Text 2"}).status, 0);
    EXPECT_EQ(Talix({"set-property", db_, id, "Memo", "PassthruHTML", "0", "Text 2"}).status, 0);
    CliOutcome button = Talix({"set-property", db_, id, "Memo", "ButtonText", "Other", "Button 1"});
    EXPECT_EQ(button.status, 0) << button.err;
    EXPECT_EQ(Talix({"get-property", db_, id, "Memo", "ButtonText", "Button 1"}).out, "Other\n");
}

TEST_F(PropertyCommands, PropertyTextOfTablesAndRulesAndSetTarget) {
    const std::string id = NoteWithText();
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "table", "2", "2", "--options", "RowDisplay=TABBED TabSide=Bottom"})
                  .status,
              0);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Table 1", "table", "RowDisplay"}).out,
              "RowDisplay=TABBED TabSide=BOTTOM \n");
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Table 1", "target", "Table", "RowDisplay"}).out, "TABBED\n");
    // Every target of the type the chunk holds: a line each.
    ASSERT_EQ(Talix({"append", db_, id, "Memo", "table", "1", "1", "--options", "TableHTMLID=second"}).status, 0);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Everything", "target", "Table", "TableHTMLId"}).out,
              "\nsecond\n");
    CliOutcome none = Talix({"property-text", db_, id, "Memo", "Everything", "target", "Layer"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "talix: 'Everything' holds no Layer in 'Memo'\n");
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Everything", "target", "Nonsense"}).status, 2);
    EXPECT_EQ(Talix({"property-text", db_, id, "Memo", "Table 1; Row 1; Column 1", "border", "Top"}).out, "1\n");

    // A note whose body holds a rule of 100 % by 25 twips.
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.c_str(), &db), plat::NOERROR);
    ASSERT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    FixtureRecord rule = talix_test::HostRecord(0xFFC9, 16);
    talix_test::PutDword(&rule, 4, 0x4);
    talix_test::PutWord(&rule, 8, 100);
    talix_test::PutWord(&rule, 10, 25);
    talix_test::PutWord(&rule, 14, 0xFFFF);
    ASSERT_EQ(talix_test::StoreRichTextItem(note, "Body", {rule, talix_test::TextRecord(0x0A000001, "after")}),
              plat::NOERROR);
    ASSERT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NOTEID ruleNote = 0;
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &ruleNote);
    plat::NoteClose(note);
    plat::DbClose(db);
    const std::string ruleId = std::to_string(ruleNote);

    CliOutcome words = Talix({"property-text", db_, ruleId, "Body", "HorizontalRule 1", "target", "HR"});
    EXPECT_EQ(words.out, "FitToWindow='Yes' Width='100%' Height='0.0' \n") << words.err;
    CliOutcome changed = Talix({"edit", db_, ruleId, "Body", "HorizontalRule 1", "set-target", "HR",
                                "FitToWindow=No Color=none"});
    EXPECT_EQ(changed.status, 0) << changed.err;
    EXPECT_EQ(Talix({"property-text", db_, ruleId, "Body", "HorizontalRule 1", "target", "HR", "Width"}).out,
              "0.1\n");
    // A colour of other than hexadecimal digits leaves the rule without one.
    EXPECT_EQ(Talix({"edit", db_, ruleId, "Body", "HR 1", "set-target", "HR", "Color=#GGGGGG"}).status, 0);
    EXPECT_EQ(Talix({"property-text", db_, ruleId, "Body", "HR 1", "target", "HR", "Color"}).out, "\n");
    EXPECT_EQ(Talix({"edit", db_, ruleId, "Body", "HR 1", "set-target", "HR", "Color=#00f"}).status, 0);
    EXPECT_EQ(Talix({"property-text", db_, ruleId, "Body", "HR 1", "target", "HR", "Color"}).out, "Blue\n");
    // The rule's definition as the library writes it names the rule again.
    EXPECT_EQ(Talix({"get-property", db_, ruleId, "Body", "Definition", "HorizontalRule 1"}).out, "HR 1\n");
    CliOutcome again = Talix({"property-text", db_, ruleId, "Body", "HR 1", "target", "HR", "Width"});
    EXPECT_EQ(again.out, "0.1\n") << again.err;
}

} // namespace
