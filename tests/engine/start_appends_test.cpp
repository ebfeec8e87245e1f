// Appends before a chunk (the chunk's append-at-end word 0) that begins
// with a record of the element round it: a paragraph begins at the
// paragraph record that closes the one before it, a cell or a row at its
// cell record. What is put before such a chunk belongs to it, not to the
// paragraph or cell before it. Results are read back from the stored note
// (the structure checker must accept them).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/signatures.h"
#include "edit_fixture.h"
#include "fixture_items.h"
#include "support/op_runner.h"
#include "talix/chunk.h"
#include "talix/item.h"

namespace {

using engine_test::Count;
using engine_test::Definition;
using engine_test::EditTest;
using engine_test::Paragraph;
using engine_test::Rec;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Text;
using talix::kSigPabReference;
using talix::kSigParagraph;
using talix_test::Op;
using talix_test::TextOperation;

class StartAppendTest : public EditTest {
protected:
    // Three paragraphs "a", "b", "c" of definitions 1, 2 and 3.
    static Records ThreeParagraphs() {
        return {Definition(1, 0), ReferenceTo(1), Text("a"), Paragraph(),     Definition(2, 0), ReferenceTo(2),
                Text("b"),        Paragraph(),    Definition(3, 0), ReferenceTo(3), Text("c")};
    }
};

TEST_F(StartAppendTest, InlineContentBeforeAParagraphBeginsThatParagraph) {
    ASSERT_NE(Open(ThreeParagraphs()), nullptr);
    EXPECT_EQ(Run("Paragraph 2", TextOperation(talix::kOpAppendText, "x"), 0), 0);
    EXPECT_EQ(Run("Paragraph 3", Op(talix::kOpAppendTabs, 1), 0), 0);
    EXPECT_EQ(Run("Paragraph 3", TextOperation(talix::kOpAppendAnchor, "mark"), 0), 0);
    ZervaRTChunk* chunk = item_.DefineChunk("Paragraph 2");
    ASSERT_NE(chunk, nullptr);
    chunk->appendAtEnd = 0;
    EXPECT_EQ(chunk->AppendLink("go", 2, "http://example.org/", nullptr, nullptr, nullptr, 0, nullptr, 0, nullptr, 0),
              0);
    delete chunk;

    EXPECT_EQ(TextOf("Paragraph 1"), "a");
    EXPECT_EQ(TextOf("Paragraph 2"), "goxb");
    EXPECT_EQ(TextOf("Paragraph 3"), "\tc");
    // No paragraph was split or added: each keeps its one reference.
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigParagraph), 2u);
    EXPECT_EQ(Count(records, kSigPabReference), 3u);
    std::size_t anchor = 0, reference3 = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].signature == talix::kSigAnchor) anchor = i;
        if (records[i].signature == kSigPabReference && records[i].Word(2) == 3) reference3 = i;
    }
    EXPECT_GT(anchor, reference3);

    // New lines that end in a new paragraph: the paragraph after them goes
    // on in the style of the one they began.
    ASSERT_NE(Open(ThreeParagraphs()), nullptr);
    EXPECT_EQ(Run("Paragraph 2", Op(talix::kOpAppendNewLines, 1, 1), 0), 0);
    EXPECT_EQ(TextOf("Paragraph 1"), "a");
    EXPECT_EQ(TextOf("Paragraph 3"), "b");
    EXPECT_EQ(TextOf("Paragraph 4"), "c");
    records = Saved();
    std::vector<std::uint16_t> references;
    for (const Rec& record : records)
        if (record.signature == kSigPabReference) references.push_back(record.Word(2));
    EXPECT_EQ(references, (std::vector<std::uint16_t>{1, 2, 2, 3}));
}

TEST_F(StartAppendTest, ContentBeforeACellOrRowGoesIntoThatCell) {
    // Table 2 holds "t2a" "t2b" / "t2c" "t2d"; each cell is its cell record,
    // a reference and its text.
    ASSERT_NE(Open(engine_test::TablesItem()), nullptr);
    EXPECT_EQ(Run("Table 2; Row 1; Column 2", TextOperation(talix::kOpAppendText, "x"), 0), 0);
    // Before the table's first cell the text broke the table's structure.
    EXPECT_EQ(Run("Table 2; Row 1; Column 1", TextOperation(talix::kOpAppendText, "y"), 0), 0);
    EXPECT_EQ(Run("Table 2; Row 2", TextOperation(talix::kOpAppendText, "z"), 0), 0);
    EXPECT_EQ(TextOf("Table 2; Row 1; Column 1"), "yt2a");
    EXPECT_EQ(TextOf("Table 2; Row 1; Column 2"), "xt2b");
    EXPECT_EQ(TextOf("Table 2; Row 2; Column 1"), "zt2c");
    EXPECT_EQ(TextOf("Table 2; Row 2; Column 2"), "t2d");

    // A paragraph: the cell's first paragraph, before the cell's own text.
    EXPECT_EQ(Run("Table 2; Row 2; Column 2", Op(talix::kOpAppendParagraph), 0), 0);
    EXPECT_EQ(TextOf("Table 2; Row 2; Column 1"), "zt2c");
    EXPECT_EQ(TextOf("Table 2; Row 2; Column 2; Paragraph 1"), "");
    EXPECT_EQ(TextOf("Table 2; Row 2; Column 2; Paragraph 2"), "t2d");
    const std::vector<Rec> records = Saved();
    std::vector<std::string> texts;
    for (const Rec& record : records)
        if (!record.Text().empty()) texts.push_back(record.Text());
    ASSERT_GE(texts.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 9, texts.end()),
              (std::vector<std::string>{"Between", "y", "t2a", "x", "t2b", "z", "t2c", "t2d", "End"}));
}

} // namespace
