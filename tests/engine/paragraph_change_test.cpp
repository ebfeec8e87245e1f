// Changing the paragraphs of a chunk (their style and their hide formula),
// the paragraph property codes, and the comparison of two paragraph
// definitions that decides which definitions change.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/pab_match.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "edit_fixture.h"
#include "support/op_runner.h"
#include "talix/chunk.h"
#include "talix/session.h"

namespace {

using engine_test::Count;
using engine_test::Definition;
using engine_test::EditTest;
using engine_test::NonEmptyTexts;
using engine_test::Paragraph;
using engine_test::Rec;
using engine_test::Records;
using engine_test::ReferenceTo;
using engine_test::Text;
using engine_test::With;
using talix::kSigPabDefinition;
using talix::kSigPabHide;
using talix::kSigPabReference;
using talix::kSigStyleName;
using talix_test::FixtureRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::PutWord;
using talix_test::RunOperation;

constexpr std::uint16_t kFormulaRef = 0xBC;
constexpr std::uint16_t kHidden = 0x0800;

// ChangeParagraph: the style and the criteria the definitions must meet.
Operation Change(const char* style, const char* criteria = nullptr) {
    Operation operation = Op(talix::kOpChangeParagraph, 0, 0, style);
    operation.second = criteria;
    return operation;
}

// The ids the paragraph references name, in order.
std::vector<std::uint16_t> ReferenceIds(const std::vector<Rec>& records) {
    std::vector<std::uint16_t> ids;
    for (const Rec& record : records)
        if (record.signature == kSigPabReference) ids.push_back(record.Word(2));
    return ids;
}

// The definitions by id (the first of each id).
const Rec* DefinitionOf(const std::vector<Rec>& records, std::uint16_t id) {
    for (const Rec& record : records)
        if (record.signature == kSigPabDefinition && record.Word(4) == id) return &record;
    return nullptr;
}

std::uint16_t LeftMargin(const std::vector<Rec>& records, std::uint16_t id) {
    const Rec* definition = DefinitionOf(records, id);
    return definition != nullptr ? definition->Word(14) : 0;
}

class ParagraphChangeTest : public EditTest {};

TEST_F(ParagraphChangeTest, OnEverythingMatchingDefinitionsChangeInPlace) {
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720),
                          ReferenceTo(2), Text("b")};
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Change("LeftMargin=2")), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigPabDefinition), 2u);
    EXPECT_EQ(LeftMargin(records, 1), 2880);
    EXPECT_EQ(LeftMargin(records, 2), 2880);
    EXPECT_EQ(ReferenceIds(records), (std::vector<std::uint16_t>{1, 2}));

    // Only the definitions that meet the criteria change; the others keep
    // every byte.
    chunk = Open(body);
    EXPECT_EQ(RunOperation(chunk, Change("LeftMargin=2", "LeftMargin=0.5")), 0);
    records = Saved();
    EXPECT_EQ(DefinitionOf(records, 1)->bytes, body[0].bytes);
    EXPECT_EQ(LeftMargin(records, 2), 2880);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "b"}));
}

TEST_F(ParagraphChangeTest, ChangingOneParagraphLeavesTheParagraphsThatShareItsDefinition) {
    // Paragraph 2 holds the definition paragraph 3 shares; paragraph 4
    // holds the item's highest id.
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720),
                          ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c"),
                          Paragraph(), Definition(7), ReferenceTo(7), Text("d")};
    ZervaRTChunk* chunk = Open(body, "Paragraph 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Change("LeftMargin=2")), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(ReferenceIds(records), (std::vector<std::uint16_t>{1, 8, 2, 7}));
    EXPECT_EQ(LeftMargin(records, 8), 2880);
    ASSERT_NE(DefinitionOf(records, 2), nullptr);
    EXPECT_EQ(DefinitionOf(records, 2)->bytes, body[4].bytes);
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "b", "c", "d"}));

    // The same when the shared definition stands before the chunk.
    const Records before = {Definition(1), Definition(2, 720), ReferenceTo(1), Text("a"), Paragraph(),
                            ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c")};
    chunk = Open(before, "Paragraph 2");
    EXPECT_EQ(RunOperation(chunk, Change("LeftMargin=2")), 0);
    records = Saved();
    EXPECT_EQ(ReferenceIds(records), (std::vector<std::uint16_t>{1, 3, 2}));
    EXPECT_EQ(LeftMargin(records, 2), 720);
    EXPECT_EQ(LeftMargin(records, 3), 2880);
}

TEST_F(ParagraphChangeTest, ReferencesInTheChunkToOneDefinitionShareOneNewDefinition) {
    // Paragraphs 2 and 4 are changed; paragraph 3 between them uses the
    // same definition and puts it back into the output, and paragraph 4
    // brings a definition of its own.
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720),
                          ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c"),
                          Paragraph(), ReferenceTo(2), Text("d"), Paragraph(), Definition(5, 360),
                          ReferenceTo(5), Text("e"), Paragraph(), ReferenceTo(5), Text("f")};
    ZervaRTChunk* chunk = Open(body, "Paragraph 2,4,5");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Change("RightMargin=1")), 0);
    const std::vector<Rec> records = Saved();
    const std::vector<std::uint16_t> ids = ReferenceIds(records);
    ASSERT_EQ(ids.size(), 6u);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[2], 2);
    EXPECT_EQ(ids[5], 5);
    // Paragraphs 2 and 4 share one new id, paragraph 5 has another; both lie
    // above every id of the item.
    EXPECT_EQ(ids[1], ids[3]);
    EXPECT_GT(ids[1], 5);
    EXPECT_GT(ids[4], 5);
    EXPECT_NE(ids[1], ids[4]);
    for (std::uint16_t id : {ids[1], ids[4]}) {
        EXPECT_EQ(std::count_if(records.begin(), records.end(),
                                [id](const Rec& r) { return r.signature == kSigPabDefinition && r.Word(4) == id; }),
                  1);
        EXPECT_EQ(DefinitionOf(records, id)->Word(16), 1440);
    }
    EXPECT_EQ(LeftMargin(records, ids[1]), 720);
    EXPECT_EQ(LeftMargin(records, ids[4]), 360);
    EXPECT_EQ(DefinitionOf(records, 2)->bytes, body[4].bytes);
    EXPECT_EQ(DefinitionOf(records, 5)->bytes, body[14].bytes);
}

TEST_F(ParagraphChangeTest, AChunkStartingInsideAParagraphGetsItsOwnDefinition) {
    const Records body = {Definition(1, 720), ReferenceTo(1), Text("a"), Text("b"), Text("c")};
    ZervaRTChunk* chunk = Open(body, "Text 2");
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Change("Justify=CENTER")), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(ReferenceIds(records), (std::vector<std::uint16_t>{1, 2}));
    EXPECT_EQ(DefinitionOf(records, 1)->bytes, body[0].bytes);
    EXPECT_EQ(DefinitionOf(records, 2)->Word(6), 3);     // centred
    EXPECT_EQ(DefinitionOf(records, 2)->Word(14), 720);  // the rest as the paragraph had it
    EXPECT_EQ(NonEmptyTexts(records), (std::vector<std::string>{"a", "b", "c"}));
}

TEST_F(ParagraphChangeTest, HideFormulasGoOnEveryParagraphOfTheChunk) {
    const std::string formula = "\x01\x02\x03\x04";
    Operation hide = Op(talix::kOpSetHideFormula);
    hide.textResult = formula;
    FixtureRecord oldFormula = With(kSigPabHide, 16, 4, 2);
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720), oldFormula,
                          ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c")};

    // Everything: the definitions are flagged in place; the first carries
    // the formula and the other paragraphs refer to it.
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, hide), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Count(records, kSigPabDefinition), 2u);
    for (std::uint16_t id : {1, 2}) EXPECT_EQ(DefinitionOf(records, id)->Word(62) & kHidden, kHidden);
    ASSERT_EQ(Count(records, kSigPabHide), 1u);
    for (const Rec& record : records) {
        if (record.signature == kSigPabHide) {
            EXPECT_EQ(record.Word(4), 1);
            EXPECT_EQ(std::string(record.bytes.begin() + 14, record.bytes.begin() + 18), formula);
        }
        if (record.signature == kFormulaRef) {
            EXPECT_EQ(record.Word(2), 1);
            EXPECT_EQ(record.Word(4), 2);
        }
    }
    EXPECT_EQ(Count(records, kFormulaRef), 2u);

    // One paragraph: a flagged copy under a new id carries the formula; the
    // paragraph that shares the old definition keeps it as it was.
    const Records plain = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), Definition(2, 720),
                           ReferenceTo(2), Text("b"), Paragraph(), ReferenceTo(2), Text("c")};
    chunk = Open(plain, "Paragraph 2");
    EXPECT_EQ(RunOperation(chunk, hide), 0);
    records = Saved();
    EXPECT_EQ(ReferenceIds(records), (std::vector<std::uint16_t>{1, 3, 2}));
    EXPECT_EQ(DefinitionOf(records, 3)->Word(62) & kHidden, kHidden);
    EXPECT_EQ(DefinitionOf(records, 2)->bytes, plain[4].bytes);
    EXPECT_EQ(DefinitionOf(records, 1)->bytes, plain[0].bytes);
    ASSERT_EQ(Count(records, kSigPabHide), 1u);
    for (const Rec& record : records)
        if (record.signature == kSigPabHide) EXPECT_EQ(record.Word(4), 3);

    // No formula: the flag and the old formula go.
    chunk = Open(body);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpSetHideFormula)), 0);
    records = Saved();
    EXPECT_EQ(Count(records, kSigPabHide) + Count(records, kFormulaRef), 0u);
    for (std::uint16_t id : {1, 2}) EXPECT_EQ(DefinitionOf(records, id)->Word(62) & kHidden, 0);
}

TEST_F(ParagraphChangeTest, PropertyCodesReadTheChunksFirstParagraphRecords) {
    FixtureRecord style = talix_test::HostRecord(kSigStyleName, 48);
    PutWord(&style, 8, 9);
    const std::string name = "Heading";
    std::copy(name.begin(), name.end(), style.bytes.begin() + 10);
    FixtureRecord formula = With(kSigPabHide, 18, 4, 2);
    formula.bytes[14] = 'F';
    formula.bytes[15] = 0;
    formula.bytes[16] = 'G';
    const Records body = {Definition(1), ReferenceTo(1), Text("a"), Paragraph(), style, Definition(2), formula,
                          ReferenceTo(2), Text("b")};
    ZervaRTChunk* chunk = Open(body, "Paragraph 2");
    ASSERT_NE(chunk, nullptr);
    talix::SessionWorkArea* area = session_.workArea;

    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpGetParagraphId, 2335)), 0);
    EXPECT_EQ(area->paragraphIdWord, 9);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpGetStyleName)), 0);
    EXPECT_STREQ(session_.messageBuffer, "Heading");
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpGetHideFormula, 2333)), 0);
    EXPECT_EQ(std::string(session_.textResult, session_.textResultLength), std::string("F\0G\0", 4));
    // Reading changes nothing.
    EXPECT_EQ(item_.modified, 0);
}

TEST_F(ParagraphChangeTest, ShortDefinitionsAreWidenedToTheirFullForm) {
    FixtureRecord full = talix_test::HostRecord(kSigPabDefinition, 92);
    PutWord(&full, 4, 3);
    const Records body = {Definition(1, 720), ReferenceTo(1), Text("a"), Paragraph(), full, ReferenceTo(3),
                          Text("b")};
    ZervaRTChunk* chunk = Open(body);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(RunOperation(chunk, Op(talix::kOpExpandParagraphDefinitions)), 0);
    const std::vector<Rec> records = Saved();
    const Rec* widened = DefinitionOf(records, 1);
    ASSERT_EQ(widened->bytes.size(), 92u);
    EXPECT_TRUE(std::equal(body[0].bytes.begin() + 4, body[0].bytes.begin() + 68, widened->bytes.begin() + 4));
    EXPECT_EQ(widened->Word(68), 0x8000);
    EXPECT_EQ(widened->Word(84), 1);
    EXPECT_EQ(widened->Word(88), 4);
    EXPECT_EQ(DefinitionOf(records, 3)->bytes, full.bytes);
}

TEST(PABDefinitionsMatch, ListKindsAndMarginExtensions) {
    // A circle list is a circle list and a list, but no plain bullet list.
    talix::CDPABDEFEXT circle, other;
    circle.flags = 0x0400;
    circle.flags2 = 0x0800;
    talix::PABMatchCriteria required, excluded, extension;
    required.listKindsRequired = 1;
    excluded.listKindsExcluded = 1;
    extension.leftExtension = 1;
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, talix::kListCircle, 0, &required), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, talix::kListAny, 0, &required), 1);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, talix::kListBullet, 0, &required), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, 0, talix::kListCircle, &excluded), 0);
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, 0, talix::kListBullet | talix::kListAny, &excluded), 1);
    // A margin given as an offset must be given the same way in both.
    circle.flags2 = 0x0004;
    circle.leftMarginOffset = 360;
    other.flags2 = 0x0008;
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, 0, 0, &extension), 0);
    other.flags2 = 0x0004;
    other.leftMarginOffset = 360;
    EXPECT_EQ(talix::PABDefinitionsMatch(&circle, &other, 0, 0, &extension), 1);
}

} // namespace
