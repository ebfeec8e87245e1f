// Operation runs that rebuild an item: appends before and after a chunk,
// setting a chunk's text, the empty-text clean-up, the pass-through and
// cell-border operations, and the failures that must leave the stored item
// as it was. Results are read back from the stored note.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/session_work_area.h"
#include "core/signatures.h"
#include "fixture_items.h"
#include "edit_fixture.h"
#include "platform/testing.h"
#include "support/op_runner.h"
#include "support/rich_text_items.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace {

using engine_test::Bracket;
using engine_test::Count;
using engine_test::Definition;
using engine_test::EditTest;
using engine_test::NonEmptyTexts;
using engine_test::Paragraph;
using engine_test::Rec;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Runs;
using engine_test::Signatures;
using engine_test::Text;
using engine_test::With;
using talix::kSigAnchor;
using talix::kSigBegin;
using talix::kSigColor;
using talix::kSigEnd;
using talix::kSigHtmlBegin;
using talix::kSigHtmlEnd;
using talix::kSigPabDefinition;
using talix::kSigPabHide;
using talix::kSigPabReference;
using talix::kSigParagraph;
using talix::kSigTableBegin;
using talix::kSigTableCell;
using talix::kSigTableEnd;
using talix::kSigText;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::RunOperation;
using talix_test::TextOperation;

class WritingRunTest : public EditTest {};

TEST_F(WritingRunTest, TextAppendedToABlankItemIsStoredInTheDefaultFontOrBracketedWithItsColour) {
    ZervaRTChunk* chunk = Open(Runs({"old"}));
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(item_.CreateBlankRichTextItem(), 0);
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendText, "Hello")), 0);
    EXPECT_EQ(item_.modified, 1);
    std::vector<Rec> records = Saved();
    ASSERT_EQ(NonEmptyTexts(records), std::vector<std::string>{"Hello"});
    EXPECT_EQ(records[records.size() - 2].Word(4), 0x0001);   // face 1, plain
    EXPECT_EQ(records[records.size() - 2].Word(6), 0x0A00);   // colour 0, size 10
    EXPECT_EQ(TextOf("Everything"), "Hello");

    chunk = Open(Runs({"old"}));
    ASSERT_EQ(item_.CreateBlankRichTextItem(), 0);
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendText, "Hello", "RED")), 0);
    records = Saved();
    ASSERT_EQ(records.size(), 8u);
    EXPECT_EQ(Signatures(records, 3), (std::vector<std::uint16_t>{kSigBegin, kSigText, kSigColor, kSigEnd, kSigText}));
    EXPECT_EQ(records[3].Word(4), kSigText);
    EXPECT_EQ(records[4].Text(), "Hello");
    EXPECT_NE(records[4].bytes[6], 0);   // a colour index of its own
    EXPECT_EQ(records[6].Word(4), kSigText);
}

TEST_F(WritingRunTest, SetTextReplacesTheFirstRunAndKeepsEveryOtherRecord) {
    Records body = Runs({"a", "", "b"});
    body.push_back(Paragraph());
    body.push_back(Text("c"));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpSetText, "new")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), std::vector<std::string>{"new"});
    // "b" and "c" are gone; a closing empty run ends the item.
    EXPECT_EQ(Signatures(records),
              (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText, kSigText, kSigParagraph,
                                          kSigText}));
    EXPECT_EQ(records[0].bytes, body[0].bytes);
    EXPECT_EQ(records[1].bytes, body[1].bytes);
    EXPECT_EQ(records[2].Word(4), 0x0001);   // the font of the run it replaced
    EXPECT_EQ(records[3].bytes.size(), 8u);

    // Text appended at a chunk's start goes before it; with a font that
    // brings a colour, new text is bracketed.
    chunk = Open(Runs({"x", "y"}), "Text 2");
    chunk->appendAtEnd = 0;
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendText, "new")), 0);
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpSetText, "blue", "BLUE +BOLD")), 0);
    EXPECT_EQ(Signatures(Saved()), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText, kSigBegin,
                                                               kSigText, kSigColor, kSigEnd, kSigText, kSigText}));
    EXPECT_EQ(TextOf("Everything"), "xbluey");
}

TEST_F(WritingRunTest, TextAppendedAtAParagraphsEndStaysInThatParagraph) {
    const Records body = {Definition(1, 0), ReferenceTo(1), Text("a"), Paragraph(),     Definition(2, 0), ReferenceTo(2),
                          Text("b"),        Paragraph(),    Definition(3, 0), ReferenceTo(3), Text("c")};
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpAppendText, "x")), 0);
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpAppendText, "y")), 0);
    EXPECT_EQ(Run("Before Paragraph 3", TextOperation(talix::kOpAppendText, "z")), 0);
    // The appended texts follow one another in the paragraph, and the third
    // paragraph is still the third.
    EXPECT_EQ(TextOf("Paragraph 2"), "bxyz");
    EXPECT_EQ(TextOf("Paragraph 3"), "c");
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpSetText, "new")), 0);
    EXPECT_EQ(TextOf("Paragraph 2"), "new");
    EXPECT_EQ(TextOf("Paragraph 3"), "c");
    // No reference was added in the middle of a paragraph.
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigPabReference), 3u);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "new", "c"}));

    // A chunk that ends before a table still opens a paragraph for the text.
    Records table = Runs({"t"});
    for (const auto& record : {HostRecord(kSigTableBegin, 14), HostRecord(kSigTableCell, 18), ReferenceTo(1),
                               Text("c"), HostRecord(kSigTableEnd, 8)})
        table.push_back(record);
    ASSERT_NE(Open(table), nullptr);
    EXPECT_EQ(Run("Before Table 1", TextOperation(talix::kOpAppendText, "u")), 0);
    EXPECT_EQ(Signatures(Saved(), 2),
              (std::vector<std::uint16_t>{kSigText, kSigParagraph, kSigPabReference, kSigText, kSigParagraph,
                                          kSigTableBegin, kSigTableCell, kSigPabReference, kSigText, kSigTableEnd,
                                          kSigText}));
}

TEST_F(WritingRunTest, TextAppendedBeforeTheItemsFirstRecordIsFollowedByADefinitionItsReferenceNames) {
    const Records body = {Definition(5, 720), ReferenceTo(5), Text("a"), Paragraph(), Definition(6, 0), ReferenceTo(6),
                          Text("b")};
    for (const char* definition : {"Everything", "Paragraph 1"}) {
        ASSERT_NE(Open(body), nullptr);
        EXPECT_EQ(Run(definition, TextOperation(talix::kOpAppendText, "new"), 0), 0) << definition;
        // Saved() has the structure checker read the stored item: every
        // reference names a definition written before it.
        const std::vector<Rec> records = Saved();
        EXPECT_EQ(Signatures(records, 0, 5), (std::vector<std::uint16_t>{kSigText, kSigPabDefinition, kSigPabReference,
                                                                         kSigPabDefinition, kSigPabReference}))
            << definition;
        EXPECT_EQ(records[1].bytes, body[0].bytes) << definition;
        EXPECT_EQ(records[2].Word(2), 5) << definition;
        EXPECT_EQ(TextOf("Everything"), "newab") << definition;
        EXPECT_EQ(TextOf("Paragraph 2"), "b") << definition;
    }

    // New lines that close their paragraph, written there too.
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(Run("Everything", Op(talix::kOpAppendNewLines, 1, 1), 0), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records, 0, 4),
              (std::vector<std::uint16_t>{kSigText, kSigParagraph, kSigPabDefinition, kSigPabReference}));
    EXPECT_EQ(records[3].Word(2), 5);
}

TEST_F(WritingRunTest, SetTextOfAChunkWithoutATextRunWritesTheTextAtItsEnd) {
    // The second paragraph holds no text run (its text was removed).
    const Records body = {Definition(1, 0), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 0),
                          ReferenceTo(2),   Paragraph(),    Definition(3, 0), ReferenceTo(3), Text("c")};
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpSetText, "new")), 0);
    EXPECT_EQ(TextOf("Paragraph 2"), "new");
    EXPECT_EQ(TextOf("Paragraph 3"), "c");
    // Once written, the text is replaced as any other.
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpSetText, "newer", "RED")), 0);
    EXPECT_EQ(TextOf("Paragraph 2"), "newer");
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "newer", "c"}));
    EXPECT_EQ(Count(records, kSigParagraph), 2u);
}

TEST_F(WritingRunTest, SetTextTakesTheColourBracketsOfTheRunsItRemoves) {
    const Records body = {Definition(1, 0), ReferenceTo(1),
                          Bracket(kSigBegin, kSigText), Text("a"), With(kSigColor, 8), Bracket(kSigEnd, kSigText),
                          Bracket(kSigBegin, kSigText), Text("b"), With(kSigColor, 8), Bracket(kSigEnd, kSigText),
                          Bracket(kSigBegin, kSigText), Text(""),  With(kSigColor, 8), Bracket(kSigEnd, kSigText),
                          Text("c")};
    ASSERT_NE(Open(body), nullptr);
    EXPECT_EQ(Run("Everything", TextOperation(talix::kOpSetText, "new")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(NonEmptyTexts(records), std::vector<std::string>{"new"});
    // The first run's bracket holds the new text; the second run went with
    // its bracket; the empty run stays in its own, and ends the item.
    EXPECT_EQ(Signatures(records, 2),
              (std::vector<std::uint16_t>{kSigBegin, kSigText, kSigColor, kSigEnd, kSigBegin, kSigText, kSigColor,
                                          kSigEnd}));
    EXPECT_EQ(records[3].Text(), "new");
}

TEST_F(WritingRunTest, HighlightingTheWholeItemAgainAndAgainAddsNothing) {
    ASSERT_NE(Open(Runs({"abc"})), nullptr);
    EXPECT_EQ(Run("Everything", Op(talix::kOpHighlight)), 0);
    EXPECT_EQ(Run("Everything", Op(talix::kOpHighlight)), 0);
    const std::size_t settled = Saved().size();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Run("Everything", Op(talix::kOpHighlight)), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(records.size(), settled);
    EXPECT_EQ(NonEmptyTexts(records), std::vector<std::string>{"abc"});
    EXPECT_EQ(Count(records, kSigBegin), Count(records, kSigEnd));
    EXPECT_EQ(records.back().signature, kSigEnd);   // the item ends in the empty run of the highlight
}

TEST_F(WritingRunTest, SetTextOfAnElementWithoutTextAddsNoRunBesideIt) {
    ZervaRTChunk* chunk = Open(Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    ASSERT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendAnchor, "mark")), 0);
    const std::vector<std::uint16_t> before = Signatures(Saved());
    // An anchor holds no text: nothing is written next to it.
    EXPECT_EQ(Run("Anchor 1", TextOperation(talix::kOpSetText, "new")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records), before);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a"}));
}

TEST_F(WritingRunTest, CleanUpDropsEmptyTextAndTheGateOpensAParagraphBeforeATable) {
    Records body = Runs({"x"});
    for (const auto& record :
         {HostRecord(kSigTableBegin, 14), HostRecord(kSigTableCell, 18), ReferenceTo(1), Text("c"),
          HostRecord(kSigTableEnd, 8), Paragraph(), ReferenceTo(1), Text(""), Text("y"),
          With(kSigBegin, 6, 4, kSigText), Text(""), With(kSigEnd, 6, 4, kSigText), HostRecord(kSigHtmlBegin, 8),
          HostRecord(kSigHtmlEnd, 8), HostRecord(kSigHtmlBegin, 8), Text(""), HostRecord(kSigHtmlEnd, 8), Text("z")})
        body.push_back(record);
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpCleanUp)), 0);
    EXPECT_EQ(Signatures(Saved()),
              (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText, kSigParagraph, kSigTableBegin,
                                          kSigTableCell, kSigPabReference, kSigText, kSigTableEnd, kSigParagraph,
                                          kSigPabReference, kSigText, kSigText, kSigText}));
}

TEST_F(WritingRunTest, PageBreaksAndParagraphsGetDefinitionsOfNewIds) {
    const Records body = {Definition(1, 0), ReferenceTo(1), Text("a"), Paragraph(),
                          Definition(7, 0), ReferenceTo(7), Text("b")};
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendPageBreak)), 0);
    std::vector<Rec> records = Saved();
    ASSERT_EQ(records.size(), 13u);
    EXPECT_EQ(Signatures(records, 7),
              (std::vector<std::uint16_t>{kSigParagraph, kSigPabDefinition, kSigPabReference, kSigText, kSigParagraph,
                                          kSigText}));
    EXPECT_EQ(records[8].Word(4), 8);          // above every id the item uses
    EXPECT_EQ(records[8].Word(62), 0x0101);    // page break
    EXPECT_EQ(records[8].Word(14), 1440);
    EXPECT_EQ(records[9].Word(2), 8);

    // A paragraph with a style and a hide formula.
    chunk = Open(body);
    Operation paragraph = Op(talix::kOpAppendParagraph, 0, 0, "LeftMargin=1in");
    paragraph.textResult = "\x01\x02\x03";   // the compiled hide formula
    EXPECT_EQ(RunOperation(chunk, paragraph), 0);
    records = Saved();
    ASSERT_EQ(records.size(), 12u);
    EXPECT_EQ(Signatures(records, 7), (std::vector<std::uint16_t>{kSigParagraph, kSigPabDefinition, kSigPabHide,
                                                                  kSigPabReference, kSigText}));
    EXPECT_EQ(records[8].Word(4), 8);
    EXPECT_EQ(records[8].Word(14), 1440);
    EXPECT_NE(records[8].Word(62) & 0x0800, 0);
    EXPECT_EQ(records[9].Word(4), 8);
    EXPECT_EQ(std::string(records[9].bytes.begin() + 14, records[9].bytes.begin() + 17), "\x01\x02\x03");
    EXPECT_EQ(records[10].Word(2), 8);
}

TEST_F(WritingRunTest, NewLinesTabsAndAnchorsAtEitherEnd) {
    ZervaRTChunk* chunk = Open(Runs({"a"}));
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendNewLines, 3, 1)), 0);   // and close the paragraph
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpAppendTabs, 40)), 0);
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendAnchor, "end")), 0);
    chunk->appendAtEnd = 0;
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpAppendAnchor, "start")), 0);

    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records),
              (std::vector<std::uint16_t>{kSigAnchor, kSigText, kSigPabDefinition, kSigPabReference, kSigText, kSigText,
                                          kSigParagraph, kSigPabReference, kSigText, kSigText, kSigText, kSigText,
                                          kSigAnchor, kSigText}));
    EXPECT_EQ(records[0].Word(4), 5);
    EXPECT_EQ(records[0].bytes.size(), 18u);   // 12 + 5, rounded up to even
    EXPECT_EQ(std::string(records[0].bytes.begin() + 12, records[0].bytes.begin() + 17), "start");
    EXPECT_EQ(records[5].Text(), std::string(3, '\0'));
    // Forty tabs: every one written, in runs of at most 32.
    EXPECT_EQ(records[9].Text(), std::string(32, '\t'));
    EXPECT_EQ(records[10].Text(), std::string(8, '\t'));
    EXPECT_EQ(std::string(records[12].bytes.begin() + 12, records[12].bytes.begin() + 15), "end");
}

TEST_F(WritingRunTest, PassThroughBracketsAndCellBorders) {
    Records body = Runs({"a"});
    for (const auto& record : {HostRecord(kSigHtmlBegin, 8), Text("b"), HostRecord(kSigHtmlEnd, 8), Text("c")})
        body.push_back(record);
    ZervaRTChunk* chunk = Open(body, "Text 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpInPassThroughHtml)), 0);
    EXPECT_STREQ(session_.textResult, "TRUE");
    ZervaRTChunk* last = item_.DefineChunk("Text 3");
    EXPECT_EQ(RunOperation(last, Op(talix::kOpInPassThroughHtml)), 0);
    EXPECT_STREQ(session_.textResult, "FALSE");
    EXPECT_EQ(RunOperation(last, Op(talix::kOpSetPassThroughHtml, 1)), 0);
    EXPECT_EQ(RunOperation(last, Op(talix::kOpInPassThroughHtml)), 0);
    EXPECT_STREQ(session_.textResult, "TRUE");
    EXPECT_EQ(Signatures(Saved()), (std::vector<std::uint16_t>{kSigPabDefinition, kSigPabReference, kSigText,
                                                               kSigHtmlBegin, kSigText, kSigHtmlEnd, kSigHtmlBegin,
                                                               kSigText, kSigHtmlEnd, kSigText}));

    // Cell borders, one character a side: top, bottom, left, right.
    Records table = Runs({"x"});
    for (const auto& record : {HostRecord(kSigTableBegin, 14), With(kSigTableCell, 18, 10, 0x03), ReferenceTo(1),
                               Text("c"), HostRecord(kSigTableEnd, 8)})
        table.push_back(record);
    chunk = Open(table, "Table 1");
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetCellBorders, 0, 0, "12x0")), 0);
    const std::vector<Rec> records = Saved();
    ASSERT_EQ(records[5].signature, kSigTableCell);
    EXPECT_EQ(records[5].bytes[10], 0x10 | 0x80 | 0x03);   // the left border stays
    EXPECT_EQ(records[5].Word(12), 0x2100);
}

TEST_F(WritingRunTest, FailedRunsLeaveTheStoredItemAsItWas) {
    // A record of a signature below 89.
    Records body = Runs({"a"});
    body.push_back(HostRecord(0x0045, 6));
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    std::vector<std::string> before = db_.Stored(id_);
    EXPECT_EQ(TextOf("Everything"), "a");
    EXPECT_EQ(RunOperation(chunk, TextOperation(talix::kOpSetText, "new")), 257);
    EXPECT_EQ(chunk->lastStatus, 257);
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(db_.Stored(id_), before);

    // A text too long for one run fails before the commit.
    chunk = Open(Runs({"a"}));
    before = db_.Stored(id_);
    const std::string tooLong(65000, 'x');
    EXPECT_NE(RunOperation(chunk, TextOperation(talix::kOpSetText, tooLong.c_str())), 0);
    EXPECT_EQ(TextOf("Everything"), "a");
    EXPECT_EQ(item_.Save(), 0);
    EXPECT_EQ(db_.Stored(id_), before);

    // The note update after the run fails.
    chunk = Open(Runs({"a"}));
    before = db_.Stored(id_);
    item_.autoSave = 1;
    plat::TestFailUpdateAfterItems(0);
    EXPECT_NE(RunOperation(chunk, TextOperation(talix::kOpAppendText, "more")), 0);
    plat::TestFailUpdateAfterItems(-1);
    item_.autoSave = 0;
    EXPECT_EQ(db_.Stored(id_), before);

    // The commit itself fails: the note the item borrowed is gone. The item
    // keeps the records it had.
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    ASSERT_EQ(plat::DbOpen(db_.path().c_str(), &db), 0);
    ASSERT_EQ(plat::NoteOpen(db, id_, 0, &note), 0);
    {
        ZervaRTItem borrower(&session_);
        ASSERT_EQ(borrower.ConnectBackend(note, "Body", 0), 0);
        ZervaRTChunk* all = borrower.DefineChunk("Everything");
        EXPECT_EQ(RunOperation(all, Op(talix::kOpGetText, 0, 1)), 0);   // the records are read
        plat::NoteClose(note);
        EXPECT_NE(RunOperation(all, TextOperation(talix::kOpSetText, "new")), 0);
        EXPECT_EQ(RunOperation(all, Op(talix::kOpGetText, 0, 1)), 0);
        EXPECT_STREQ(session_.textResult, "a");
    }
    plat::DbClose(db);
    EXPECT_EQ(db_.Stored(id_), before);
}

} // namespace

namespace {

// The clean-up run over every rich-text item of the exported notes: a run
// that succeeds keeps the item's text; one that fails leaves the stored
// item as it was.
TEST(WritingRealData, CleanUpKeepsTheTextOrLeavesTheItemAsItWas) {
    talix_test::TempDir dir;
    const std::string path = dir.file("real.nsf");
    std::vector<talix_test::NoteItem> targets;
    const auto files = talix_test::SampleAndSharedDxlFiles();
    ASSERT_EQ(talix_test::ImportRichTextItems(path, files, /*withImageData=*/false, &targets), plat::NOERROR);

    RARIvoSession session;
    int rewritten = 0;
    for (const auto& [id, name] : targets) {
        SCOPED_TRACE("note " + std::to_string(id) + " item " + name);
        ZervaRTItem item(&session);
        item.Connect("", path.c_str(), id, name.c_str(), 0);
        ASSERT_EQ(item.connected, 1);
        ZervaRTChunk* everything = item.DefineChunk("Everything");
        std::vector<char> before(70000), after(70000);
        everything->GetText(nullptr, before.data(), 70000, 1, nullptr);
        const std::vector<std::string> stored = talix_test::StoredValues(item.noteHandle, name);
        Operation cleanUp;
        cleanUp.code = talix::kOpCleanUp;
        if (RunOperation(everything, cleanUp) == 0) {
            ++rewritten;
            everything->GetText(nullptr, after.data(), 70000, 1, nullptr);
            EXPECT_STREQ(after.data(), before.data());
        } else {
            EXPECT_EQ(talix_test::StoredValues(item.noteHandle, name), stored);
        }
    }
    EXPECT_GT(rewritten, 10);
}

} // namespace
