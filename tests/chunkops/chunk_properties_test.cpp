// Chunk properties by name: the table's look-ups, reading properties as
// text and numbers, setting them singly or from a Name=value list, and the
// refusals.
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "chunk_fixture.h"
#include "core/item_work_state.h"
#include "core/properties.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "talix_platform.h"

namespace chunkops_test {
namespace {

using talix::PropertyTableEntry;
using talix_test::FixtureRecord;

// The messages the host was shown, with their codes.
std::vector<std::pair<std::string, int>> g_codedMessages;
void CollectCodedMessage(const char* text, plat::WORD code) {
    g_codedMessages.emplace_back(text != nullptr ? text : "", code);
}

class ChunkPropertiesTest : public ChunkTest {
protected:
    ChunkPropertiesTest() {
        g_codedMessages.clear();
        plat::RegisterMessageProc(CollectCodedMessage);
    }
    ~ChunkPropertiesTest() override { plat::RegisterMessageProc(nullptr); }

    // A chunk of a note whose body holds the runs (font ids given).
    ZervaRTChunk* Runs(const std::vector<std::pair<std::uint32_t, std::string>>& runs, const char* definition) {
        std::vector<FixtureRecord> body = ParagraphStart();
        for (const auto& [font, text] : runs) body.push_back(talix_test::TextRecord(font, text));
        Open(NewNote(body));
        return Chunk(definition);
    }
    std::string Text(ZervaRTChunk* chunk, const char* name) {
        char buffer[512];
        const std::uint16_t length = chunk->GetPropertyText(name, buffer, sizeof buffer - 1);
        return std::string(buffer, length);
    }
};

std::string Case(const char* name, int (*change)(int)) {
    std::string text = name;
    for (char& c : text) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return text;
}

TEST(ChunkPropertyTable, RowsAreSortedAndFoundInAnyCase) {
    int rows = 0;
    for (const PropertyTableEntry* row = talix::ChunkPropertyTable(); row->name != nullptr; ++row, ++rows) {
        // The getters' walk stops at the first row that sorts after the name:
        // every row is found only when the rows are in order.
        EXPECT_EQ(talix::FindChunkProperty(Case(row->name, ::tolower).c_str()), row) << row->name;
        EXPECT_EQ(talix::FindChunkProperty(Case(row->name, ::toupper).c_str()), row) << row->name;
        EXPECT_EQ(talix::FindSettableChunkProperty(row->name), row) << row->name;
    }
    EXPECT_EQ(rows, 64);
    EXPECT_STREQ(talix::FindChunkProperty("fontcolor")->name, "FontColor");
    EXPECT_STREQ(talix::FindChunkProperty("FONTCOLOR")->name, "FontColor");
    EXPECT_STREQ(talix::FindChunkProperty("Font")->name, "Font");
    // Between FontFace and GraphicFormat: neither walk finds it.
    EXPECT_EQ(talix::FindChunkProperty("FontG"), nullptr);
    EXPECT_EQ(talix::FindSettableChunkProperty("FontG"), nullptr);
    EXPECT_EQ(talix::FindChunkProperty(""), nullptr);
    EXPECT_EQ(talix::FindChunkProperty(nullptr), nullptr);
    EXPECT_EQ(talix::FindSettableChunkProperty("Zzz"), nullptr);
}

TEST_F(ChunkPropertiesTest, TextIsCutToTheSizeAndNumbersAgreeWithTheirText) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "Hello World"}}, "Text 1");
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(chunk->GetPropertyText("Text", buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "Hello");
    EXPECT_EQ(buffer[5], '\0');
    EXPECT_EQ(buffer[6], 'x');
    // A buffer of size 0 receives nothing.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(chunk->GetPropertyText("Text", buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x');

    // Unknown names: nothing, no number, no message.
    EXPECT_EQ(chunk->GetPropertyText("NoSuchProperty", buffer, 10), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(chunk->GetPropertyNumber("NoSuchProperty"), 0.0);
    EXPECT_EQ(chunk->GetPropertyText(nullptr, buffer, 10), 0);

    EXPECT_EQ(Text(chunk, "PointSize"), "10pt");
    EXPECT_EQ(chunk->GetPropertyNumber("PointSize"), 10.0);
    EXPECT_EQ(Text(chunk, "TargetRow"), "0.000000");
    EXPECT_EQ(Text(chunk, "Definition"), "Text 1");
    EXPECT_EQ(Text(chunk, "Exists"), "1.000000");
    // Answered by the engine under its code, though its row names no operation.
    EXPECT_EQ(chunk->GetPropertyNumber("RecordType"), static_cast<double>(talix::kSigText));
    EXPECT_EQ(Text(chunk, "RecordType"), std::to_string(talix::kSigText));
    // Text properties give no number.
    EXPECT_EQ(chunk->GetPropertyNumber("Text"), 0.0);
    delete chunk;

    ZervaRTChunk* everything = Chunk("Everything");
    EXPECT_EQ(Text(everything, "PABID"), "1");
    EXPECT_EQ(everything->GetPropertyNumber("PABID"), 1.0);
    EXPECT_EQ(everything->GetPropertyNumber("ContainsText"), 1.0);
    delete everything;
    ZervaRTChunk* missing = Chunk("Table 1");
    EXPECT_EQ(missing->GetPropertyNumber("Exists"), 0.0);
    delete missing;
    EXPECT_TRUE(g_codedMessages.empty());

    // A character of several bytes that does not fit whole is left out.
    const std::string lmbcs = plat::NativeToLmbcs("ab\u03A9");
    ASSERT_EQ(lmbcs.size(), 5u);
    ZervaRTChunk* greek = Runs({{0x0A000001, lmbcs}}, "Text 1");
    EXPECT_EQ(greek->GetPropertyText("Text", buffer, 4), 2);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(greek->GetPropertyText("Text", buffer, 5), 5);
    EXPECT_EQ(std::string(buffer), lmbcs);
    delete greek;
}

TEST_F(ChunkPropertiesTest, FontPropertiesAreTheWordsOfTheRunsFont) {
    // Bold 12 pt in face 5, which the note's font table names Arial.
    ZervaRTChunk* chunk = Runs({{0x0C000105, "Big"}, {0x0A050001, "Plain"}}, "Text 1");
    ASSERT_EQ(item_->DefineFont("Arial"), 5);
    EXPECT_EQ(Text(chunk, "Font"), "Bold Black 12pt Arial");
    EXPECT_EQ(Text(chunk, "FontFace"), "Arial");
    EXPECT_EQ(Text(chunk, "TextAttributes"), "Bold");
    EXPECT_EQ(Text(chunk, "PointSize"), "12pt");
    EXPECT_EQ(chunk->GetPropertyNumber("PointSize"), 12.0);
    delete chunk;
    ZervaRTChunk* second = Chunk("Text 2");
    item_->work->clientPreference = 0;
    EXPECT_EQ(Text(second, "FontColor"), "Fuchsia");
    item_->work->clientPreference = 1;
    EXPECT_EQ(Text(second, "FontColor"), "Magenta");
    EXPECT_EQ(Text(second, "Font"), "Plain Magenta 10pt Default Sans Serif");
    delete second;
}

// A document link's ids and texts are read and changed by name; the text
// around it stays, and a value that is no id is refused.
TEST_F(ChunkPropertiesTest, LinkPropertiesAreReadAndSetOnTheFirstLink) {
    const std::string texts("Pop-up\0server1\0part2", 21);
    FixtureRecord link = talix_test::HostRecord(talix::kSigLinkExport2, 44 + static_cast<std::uint32_t>(texts.size()));
    for (std::uint32_t i = 0; i < 10; ++i) talix::WriteDword(link.bytes.data() + 4 + 4 * i, 0x11110000u + i);
    std::copy(texts.begin(), texts.end(), link.bytes.begin() + 44);
    std::vector<FixtureRecord> body = ParagraphStart();
    body.push_back(talix_test::TextRecord(0x0A000001, "see "));
    body.push_back(link);
    body.push_back(talix_test::TextRecord(0x0A000001, "there"));
    Open(NewNote(body));
    ZervaRTChunk* chunk = Chunk("Everything");
    EXPECT_EQ(Text(chunk, "LinkReplicaID"), "1111000111110000");
    EXPECT_EQ(Text(chunk, "LinkViewUniversalID"), "11110003111100021111000511110004");
    EXPECT_EQ(Text(chunk, "LinkNoteUniversalID"), "11110007111100061111000911110008");
    EXPECT_EQ(Text(chunk, "LinkPopupText"), "Pop-up");
    EXPECT_EQ(Text(chunk, "LinkHintServer"), "server1");
    EXPECT_EQ(Text(chunk, "LinkAnchorText"), "part2");

    EXPECT_EQ(chunk->SetPropertyText("LinkAnchorText", "Teil \xC3\xBC", 0), 1);
    EXPECT_EQ(chunk->SetPropertyText("LinkReplicaID", "00000000ABCDEF01", 0), 1);
    EXPECT_EQ(chunk->SetPropertyText("LinkNoteUniversalID", "not an id", 0), 0);
    delete chunk;
    Save();
    const Body stored = Stored(id_);
    EXPECT_EQ(stored.Joined(), "see |there");
    EXPECT_EQ(stored.Count(talix::kSigLinkExport2), 1u);
    Open(id_);
    ZervaRTChunk* again = Chunk("Everything");
    EXPECT_EQ(Text(again, "LinkAnchorText"), "Teil \xC3\xBC");
    EXPECT_EQ(Text(again, "LinkReplicaID"), "00000000ABCDEF01");
    EXPECT_EQ(Text(again, "LinkNoteUniversalID"), "11110007111100061111000911110008");
    EXPECT_EQ(Text(again, "LinkHintServer"), "server1");
    delete again;
}

TEST_F(ChunkPropertiesTest, SearchSwitchesLiveInTheChunk) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "x"}}, "Everything");
    EXPECT_EQ(chunk->SetPropertyNumber("CaseSensitive", 1.9), 1);
    EXPECT_EQ(chunk->caseSensitive, 1);
    EXPECT_EQ(Text(chunk, "CaseSensitive"), "1.000000");
    EXPECT_EQ(chunk->GetPropertyNumber("casesensitive"), 1.0);
    EXPECT_EQ(chunk->SetPropertyNumber("AccentSensitive", 0), 1);
    EXPECT_EQ(chunk->GetPropertyNumber("AccentSensitive"), 0.0);
    EXPECT_EQ(chunk->SetPropertyNumber("TextWildcards", -1), 1);
    EXPECT_EQ(static_cast<std::int16_t>(chunk->textWildcards), -1);
    EXPECT_EQ(chunk->GetPropertyNumber("TextWildcards"), 1.0);
    // The ends of the 16-bit range are stored; a value past them, or no
    // number at all, is refused with a message and the switch keeps its value.
    EXPECT_EQ(chunk->SetPropertyNumber("RegularExpression", 65535.9), 1);
    EXPECT_EQ(chunk->regularExpression, 0xFFFF);
    EXPECT_EQ(chunk->SetPropertyNumber("RegularExpression", -32768), 1);
    EXPECT_EQ(chunk->regularExpression, 0x8000);
    EXPECT_EQ(chunk->SetPropertyNumber("RegularExpression", 1), 1);
    EXPECT_TRUE(g_codedMessages.empty());
    for (double wrong : {65536.0, 65537.5, -32769.0, 1e10, -1e12, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
        g_codedMessages.clear();
        EXPECT_EQ(chunk->SetPropertyNumber("RegularExpression", wrong), 0) << wrong;
        EXPECT_EQ(chunk->regularExpression, 1) << wrong;
        ASSERT_EQ(g_codedMessages.size(), 1u) << wrong;
        EXPECT_EQ(g_codedMessages[0].first, "Talix: Unable to set property 'RegularExpression': the value must be a "
                                            "whole number from -32768 to 65535");
    }
    g_codedMessages.clear();
    EXPECT_TRUE(g_codedMessages.empty());
    delete chunk;
}

TEST_F(ChunkPropertiesTest, RefusalsAndWhatCannotBeSet) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "abc"}}, "Text 1");
    chunk->lastStatus = 77;
    EXPECT_EQ(chunk->SetPropertyNumber("Exists", 1), 0);
    EXPECT_EQ(chunk->SetPropertyNumber("PointSize", 12), 0);
    EXPECT_EQ(chunk->SetPropertyText("ContainsText", "1", 0), 0);
    ASSERT_EQ(g_codedMessages.size(), 3u);
    EXPECT_EQ(g_codedMessages[0].first, "Talix: Unable to set read-only property 'Exists'");
    EXPECT_EQ(g_codedMessages[1].first, "Talix: No handler enabled to set property 'PointSize'");
    EXPECT_EQ(g_codedMessages[2].first, "Talix: Unable to set read-only property 'ContainsText'");
    for (const auto& message : g_codedMessages) EXPECT_EQ(message.second, 6);
    EXPECT_EQ(chunk->lastStatus, 77);

    // Silent: unknown or empty names, special rows without a setter, lists
    // naming nothing settable.
    g_codedMessages.clear();
    EXPECT_EQ(chunk->SetPropertyText("Font", "Bold", 0), 0);
    EXPECT_EQ(chunk->SetPropertyNumber("Font", 1), 0);
    EXPECT_EQ(chunk->SetPropertyText("NoSuchProperty", "x", 0), 0);
    EXPECT_EQ(chunk->SetPropertyText("", "x", 0), 0);
    EXPECT_EQ(chunk->SetPropertyText(nullptr, "x", 0), 0);
    EXPECT_EQ(chunk->SetPropertyNumber(nullptr, 1), 0);
    EXPECT_EQ(chunk->SetPropertyText("Text", nullptr, 0), 0);
    EXPECT_EQ(chunk->SetPropertyText("Bogus=1 Other=2", nullptr, 0), 0);
    // A read-only row is not set through a list either.
    EXPECT_EQ(chunk->SetPropertyText("LinkURL=http://x", nullptr, 0), 0);
    EXPECT_TRUE(g_codedMessages.empty());
    delete chunk;
    EXPECT_EQ(Stored(id_).Joined(), "abc");
}

// A font or paragraph value that names nothing of a font or a paragraph is
// refused alike whether set by name or through a list: the run and the
// paragraph keep their look, and the caller learns that nothing was set.
TEST_F(ChunkPropertiesTest, AValueNamingNothingOfItsKindIsRefused) {
    ZervaRTChunk* chunk = Runs({{0x0A020001, "abc"}}, "Text 1");
    const std::string style = Text(chunk, "ParagraphStyle");
    for (const char* name : {"FontColor", "TextAttributes"}) {
        for (const char* value : {"nonsense", "", "#GGGGGG"}) {
            SCOPED_TRACE(std::string(name) + " " + value);
            g_codedMessages.clear();
            EXPECT_EQ(chunk->SetPropertyText(name, value, 0), 0);
            ASSERT_EQ(g_codedMessages.size(), 1u);
            EXPECT_EQ(g_codedMessages[0].first,
                      std::string("Talix: Unable to set property '") + name + "': the value names nothing of a font");
        }
    }
    g_codedMessages.clear();
    EXPECT_EQ(chunk->SetPropertyText("ParagraphStyle", "wobbly", 0), 0);
    EXPECT_EQ(chunk->SetPropertyText("ParagraphStyle=wobbly", nullptr, 0), 0);
    EXPECT_EQ(g_codedMessages.size(), 2u);
    EXPECT_EQ(Text(chunk, "Font"), "Plain Red 10pt Default Sans Serif");
    EXPECT_EQ(Text(chunk, "ParagraphStyle"), style);
    // A value of its kind is taken as before.
    EXPECT_EQ(chunk->SetPropertyText("FontColor", "Blue", 0), 1);
    EXPECT_EQ(Text(chunk, "FontColor"), "Blue");
    delete chunk;
}

// A table gets one frame target, which later sets change: setting it again
// adds no further target nor another paragraph break before the table.
TEST_F(ChunkPropertiesTest, ATablesFrameTargetIsAddedOnceAndThenChanged) {
    Open(NewNote(ParagraphStart()));
    ZervaRTChunk* everything = Chunk();
    ASSERT_EQ(everything->AppendTable(1, 1, 0, nullptr, nullptr), 0);
    ZervaRTChunk* table = Chunk("Table 1");
    std::size_t records = 0;
    for (const char* frame : {"first", "second", "third"}) {
        SCOPED_TRACE(frame);
        EXPECT_EQ(table->SetPropertyText("TargetFrame", frame, 0), 1);
        EXPECT_EQ(Text(table, "TargetFrame"), frame);
        Save();
        const Body body = Stored(id_);
        EXPECT_EQ(body.problem, "");
        EXPECT_EQ(body.Count(talix::kSigTarget), 1u);
        if (records == 0) records = body.signatures.size();
        EXPECT_EQ(body.signatures.size(), records);
    }
}

TEST_F(ChunkPropertiesTest, TextAndListsSetTheTargetAndTheNoteKeepsIt) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "abc"}, {0x0A000001, "def"}}, "Text 2");
    EXPECT_EQ(chunk->SetPropertyText("Text", "xyz123", 3), 1);
    // A list naming Text and then FontColor sets FontColor only (it comes
    // first in the table).
    EXPECT_EQ(chunk->SetPropertyText("Text=ignored FontColor=Red", nullptr, 0), 1);
    EXPECT_EQ(Text(chunk, "FontColor"), "Red");
    delete chunk;
    Save();
    EXPECT_EQ(Stored(id_).Joined(), "abc|xyz");
    EXPECT_TRUE(g_codedMessages.empty());
}

TEST_F(ChunkPropertiesTest, PassThroughIsBracketedAndTheRunsCleanedUp) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "<b>x</b>"}}, "Text 1");
    // A value past 16 bits is refused before anything runs.
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 65536), 0);
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", -1), 1);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_EQ(body.Count(talix::kSigHtmlBegin), 1u);
    EXPECT_EQ(body.Count(talix::kSigHtmlEnd), 1u);
    EXPECT_EQ(body.Joined(), "<b>x</b>");
}

TEST_F(ChunkPropertiesTest, PassThroughOfAParagraphStaysInItAndIsUndoneByZero) {
    using talix::kSigHtmlBegin;
    using talix::kSigHtmlEnd;
    using talix::kSigParagraph;
    using talix::kSigPabDefinition;
    using talix::kSigPabReference;
    using talix::kSigText;
    std::vector<FixtureRecord> body = ParagraphStart();
    body.push_back(talix_test::TextRecord(0x0A000001, "one"));
    for (const char* text : {"<b>two</b>", "three"}) {
        body.push_back(talix_test::HostRecord(kSigParagraph, 2));
        for (const FixtureRecord& record : ParagraphStart()) body.push_back(record);
        body.push_back(talix_test::TextRecord(0x0A000001, text));
    }
    Open(NewNote(body));
    // The bracket opens after the second paragraph's own records and closes
    // before the third: the first paragraph keeps its words and its end.
    std::vector<std::uint16_t> bracketed = {kSigPabDefinition, kSigPabReference, kSigText,
                                            kSigParagraph,     kSigPabDefinition, kSigPabReference,
                                            kSigHtmlBegin,     kSigText,          kSigHtmlEnd,
                                            kSigParagraph,     kSigPabDefinition, kSigPabReference,
                                            kSigText,          kSigText};
    for (int round = 0; round < 2; ++round) {
        ZervaRTChunk* chunk = Chunk("Paragraph 2");
        EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 1), 1);
        delete chunk;
        Save();
        const Body stored = Stored(id_);
        EXPECT_EQ(stored.problem, "");
        // Set again, it keeps the one bracket (the save ends the item with an
    // empty run).
        EXPECT_EQ(stored.signatures, bracketed) << "round " << round;
        EXPECT_EQ(stored.Joined(), "one|<b>two</b>|three");
    }
    ZervaRTChunk* chunk = Chunk("Paragraph 2");
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 0), 1);
    delete chunk;
    Save();
    std::vector<std::uint16_t> unbracketed;
    for (std::uint16_t signature : bracketed) {
        if (signature != kSigHtmlBegin && signature != kSigHtmlEnd) unbracketed.push_back(signature);
    }
    EXPECT_EQ(Stored(id_).signatures, unbracketed);

    // The whole item in a bracket: clearing one paragraph closes the bracket
    // before it and opens it again after it.
    chunk = Chunk("Everything");
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 1), 1);
    delete chunk;
    chunk = Chunk("Paragraph 2");
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 0), 1);
    delete chunk;
    Save();
    const Body split = Stored(id_);
    EXPECT_EQ(split.problem, "");
    EXPECT_EQ(split.Count(kSigHtmlBegin), 2u);
    EXPECT_EQ(split.Count(kSigHtmlEnd), 2u);
    EXPECT_TRUE(g_codedMessages.empty());
}

TEST_F(ChunkPropertiesTest, PassThroughOfACellStaysInTheCellAndIsUndoneByZero) {
    Open(NewNote());
    ZervaRTChunk* all = Chunk("Everything");
    ASSERT_EQ(all->AppendTable(2, 2, 0, nullptr, nullptr), 0);
    delete all;
    const char* cells[] = {"Table 1; Row 1; Column 1", "Table 1; Row 1; Column 2", "Table 1; Row 2; Column 1",
                           "Table 1; Row 2; Column 2"};
    const char* texts[] = {"<i>a</i>", "b", "<b>c</b>", "d"};
    for (int cell = 0; cell < 4; ++cell) {
        ZervaRTChunk* chunk = Chunk(cells[cell]);
        ASSERT_EQ(chunk->SetPropertyText("Text", texts[cell], 0), 1) << cells[cell];
        delete chunk;
    }
    // The first cell (right after the table's start) and a cell after
    // another, each set twice: one bracket each, within the cell.
    for (int round = 0; round < 2; ++round) {
        for (const char* definition : {cells[0], cells[2]}) {
            ZervaRTChunk* chunk = Chunk(definition);
            EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 1), 1) << definition;
            delete chunk;
        }
    }
    Save();
    const Body bracketed = Stored(id_);
    EXPECT_EQ(bracketed.problem, "");
    EXPECT_EQ(bracketed.Count(talix::kSigHtmlBegin), 2u);
    EXPECT_EQ(bracketed.Count(talix::kSigHtmlEnd), 2u);
    std::vector<std::uint16_t> shown;
    bool open = false;
    for (std::uint16_t signature : bracketed.signatures) {
        if (signature == talix::kSigHtmlBegin) open = true;
        if (signature == talix::kSigHtmlEnd) open = false;
        // No cell record, table start or end in a bracket.
        if (open) EXPECT_NE(signature, talix::kSigTableCell);
        if (open) EXPECT_NE(signature, talix::kSigTableBegin);
        if (open) EXPECT_NE(signature, talix::kSigTableEnd);
        if (signature == talix::kSigHtmlBegin || signature == talix::kSigTableCell) shown.push_back(signature);
    }
    EXPECT_FALSE(open);
    // Each bracket opens in its own cell.
    const std::vector<std::uint16_t> order = {talix::kSigTableCell, talix::kSigHtmlBegin, talix::kSigTableCell,
                                              talix::kSigTableCell, talix::kSigHtmlBegin, talix::kSigTableCell};
    EXPECT_EQ(shown, order);
    EXPECT_EQ(bracketed.Joined(), "<i>a</i>|b|<b>c</b>|d");

    for (const char* definition : {cells[0], cells[2]}) {
        ZervaRTChunk* chunk = Chunk(definition);
        EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 0), 1) << definition;
        delete chunk;
    }
    Save();
    const Body cleared = Stored(id_);
    EXPECT_EQ(cleared.problem, "");
    EXPECT_EQ(cleared.Count(talix::kSigHtmlBegin), 0u);
    EXPECT_EQ(cleared.Count(talix::kSigHtmlEnd), 0u);
    EXPECT_EQ(cleared.Joined(), "<i>a</i>|b|<b>c</b>|d");
}

// A table set as pass-through again and again keeps one bracket round it.
TEST_F(ChunkPropertiesTest, PassThroughOfATableSetAgainKeepsOneBracket) {
    Open(NewNote(ParagraphStart()));
    ASSERT_EQ(Chunk()->AppendTable(1, 2, 0, nullptr, nullptr), 0);
    ZervaRTChunk* table = Chunk("Table 1");
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(table->SetPropertyNumber("PassthruHTML", 1), 1);
        Save();
        const Body body = Stored(id_);
        EXPECT_EQ(body.problem, "");
        EXPECT_EQ(body.Count(talix::kSigHtmlBegin), 1u);
        EXPECT_EQ(body.Count(talix::kSigHtmlEnd), 1u);
    }
    EXPECT_EQ(table->SetPropertyNumber("PassthruHTML", 0), 1);
    Save();
    const Body cleared = Stored(id_);
    EXPECT_EQ(cleared.Count(talix::kSigHtmlBegin), 0u);
    EXPECT_EQ(cleared.Count(talix::kSigHtmlEnd), 0u);
}

TEST_F(ChunkPropertiesTest, PassThroughOfARowBracketsEachOfItsCells) {
    Open(NewNote());
    ZervaRTChunk* all = Chunk("Everything");
    ASSERT_EQ(all->AppendTable(2, 3, 0, nullptr, nullptr), 0);
    delete all;
    for (int row = 1; row <= 2; ++row) {
        for (int column = 1; column <= 3; ++column) {
            const std::string definition =
                "Table 1; Row " + std::to_string(row) + "; Column " + std::to_string(column);
            const std::string text = "<i>" + std::to_string(row) + std::to_string(column) + "</i>";
            ZervaRTChunk* chunk = Chunk(definition.c_str());
            ASSERT_EQ(chunk->SetPropertyText("Text", text.c_str(), 0), 1) << definition;
            delete chunk;
        }
    }
    const std::string texts = "<i>11</i>|<i>12</i>|<i>13</i>|<i>21</i>|<i>22</i>|<i>23</i>";
    // Set twice: still one bracket in each cell of the row, none across a
    // cell's boundary, none in the other row.
    for (int round = 0; round < 2; ++round) {
        ZervaRTChunk* chunk = Chunk("Table 1; Row 2");
        EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 1), 1);
        delete chunk;
        Save();
        const Body stored = Stored(id_);
        EXPECT_EQ(stored.problem, "");
        std::vector<std::uint16_t> shown;
        for (std::uint16_t signature : stored.signatures) {
            if (signature == talix::kSigHtmlBegin || signature == talix::kSigHtmlEnd ||
                signature == talix::kSigTableCell || signature == talix::kSigTableEnd)
                shown.push_back(signature);
        }
        const std::uint16_t cell = talix::kSigTableCell, begin = talix::kSigHtmlBegin, end = talix::kSigHtmlEnd;
        const std::vector<std::uint16_t> order = {cell, cell,  cell, cell, begin, end,  cell,
                                                  begin, end, cell, begin, end, talix::kSigTableEnd};
        EXPECT_EQ(shown, order) << "round " << round;
        EXPECT_EQ(stored.Joined(), texts);
    }
    ZervaRTChunk* chunk = Chunk("Table 1; Row 2");
    EXPECT_EQ(chunk->SetPropertyNumber("PassthruHTML", 0), 1);
    delete chunk;
    Save();
    const Body cleared = Stored(id_);
    EXPECT_EQ(cleared.problem, "");
    EXPECT_EQ(cleared.Count(talix::kSigHtmlBegin) + cleared.Count(talix::kSigHtmlEnd), 0u);
    EXPECT_EQ(cleared.Joined(), texts);
}

TEST_F(ChunkPropertiesTest, ActionFormulaIsCompiledAndGivenBackAsText) {
    Open(NewNote());
    ZervaRTChunk* everything = Chunk();
    ASSERT_EQ(everything->AppendHotspot("ACTION FORMULA", "@Command([FileSave])", 0, nullptr, "Go", 2), 0);
    delete everything;
    Save();
    ZervaRTChunk* hotspot = Chunk("Hotspot 1");
    ASSERT_EQ(hotspot->Exists(), 1);
    EXPECT_EQ(Text(hotspot, "ActionFormula"), "@Command([FileSave])");
    const std::string formula = "@Uppercase(\"go\")";
    EXPECT_EQ(hotspot->SetPropertyText("ActionFormula", formula.c_str(), 0), 1);
    EXPECT_EQ(Text(hotspot, "ActionFormula"), formula);
    EXPECT_TRUE(g_codedMessages.empty());

    EXPECT_EQ(hotspot->SetPropertyText("ActionFormula", "Form = (", 0), 0);
    ASSERT_EQ(g_codedMessages.size(), 1u);
    EXPECT_EQ(g_codedMessages[0].first.rfind("Talix: ", 0), 0u);
    EXPECT_GT(g_codedMessages[0].first.size(), 7u);
    EXPECT_EQ(Text(hotspot, "ActionFormula"), formula);
    delete hotspot;

    // A target without a formula gives an empty text.
    Open(NewNote(ParagraphStart()));
    ZervaRTChunk* plain = Chunk();
    EXPECT_EQ(Text(plain, "ActionFormula"), "");
    delete plain;
}

// The compiled form of a formula text, as the platform compiles it.
std::string Compiled(const std::string& formula) {
    plat::DHANDLE handle = 0;
    plat::WORD length = 0;
    if (plat::FormulaCompile(formula.data(), static_cast<plat::WORD>(formula.size()), &handle, &length) !=
        plat::NOERROR)
        return "";
    std::string bytes(static_cast<const char*>(plat::MemLock(handle)), length);
    plat::MemUnlock(handle);
    plat::MemFree(handle);
    return bytes;
}

// The formula bytes of the stored hide-when records of a body.
std::vector<std::string> HideFormulas(const Body& body) {
    std::vector<std::string> formulas;
    for (std::size_t i = 0; i < body.records.size(); ++i)
        if (body.signatures[i] == talix::kSigPabHide && body.records[i].size() >= 14)
            formulas.push_back(body.records[i].substr(14));
    return formulas;
}

TEST_F(ChunkPropertiesTest, AScriptButtonKeepsItsScriptWhenGivenAFormula) {
    Open(NewNote());
    ZervaRTChunk* everything = Chunk();
    const std::string script = "Sub Click(Source As Button)\n Print \"hi\"\nEnd Sub";
    ASSERT_EQ(everything->AppendHotspot("BUTTON LOTUSSCRIPT", script.c_str(), 0, nullptr, "Run", 3), 0);
    ASSERT_EQ(everything->AppendHotspot("BUTTON FORMULA", "@Command([FileSave])", 0, nullptr, "Save", 4), 0);
    delete everything;
    Save();
    const Body before = Stored(id_);
    ASSERT_EQ(before.problem, "");
    ASSERT_TRUE(before.Holds(script));

    // The script button takes no formula: its code stays as it was.
    ZervaRTChunk* scripted = Chunk("Button 1");
    ASSERT_EQ(scripted->Exists(), 1);
    scripted->SetPropertyText("ActionFormula", "@Uppercase(\"go\")", 0);
    delete scripted;
    Save();
    const Body after = Stored(id_);
    EXPECT_TRUE(after.Holds(script));
    EXPECT_EQ(after.records, before.records);

    // The formula button still takes one.
    ZervaRTChunk* formula = Chunk("Button 2");
    EXPECT_EQ(formula->SetPropertyText("ActionFormula", "@Uppercase(\"go\")", 0), 1);
    EXPECT_EQ(Text(formula, "ActionFormula"), "@Uppercase(\"go\")");
    delete formula;
}

TEST_F(ChunkPropertiesTest, HideFormulaIsTheFormulaGivenWhateverWasReadBefore) {
    ZervaRTChunk* chunk = Runs({{0x0A000001, "shown text"}}, "Paragraph 1");
    // A read leaves its answer in the session's text result: the formula set
    // next is still the one given, compiled.
    EXPECT_EQ(Text(chunk, "Text"), "shown text");
    EXPECT_EQ(chunk->SetPropertyText("HideFormula", "@True", 0), 1);
    Save();
    std::vector<std::string> formulas = HideFormulas(Stored(id_));
    ASSERT_EQ(formulas.size(), 1u);
    const std::string compiled = Compiled("@True");
    ASSERT_FALSE(compiled.empty());
    EXPECT_EQ(formulas[0].substr(0, compiled.size()), compiled);
    EXPECT_TRUE(g_codedMessages.empty());
    // It reads back as the formula's text, as it was set.
    EXPECT_EQ(Text(chunk, "HideFormula"), "@True");

    // A formula that does not compile is refused with the platform's
    // message, and the one stored stays.
    EXPECT_EQ(chunk->SetPropertyText("HideFormula", "Form = (", 0), 0);
    ASSERT_EQ(g_codedMessages.size(), 1u);
    EXPECT_EQ(g_codedMessages[0].first.rfind("Talix: ", 0), 0u);
    Save();
    formulas = HideFormulas(Stored(id_));
    ASSERT_EQ(formulas.size(), 1u);
    EXPECT_EQ(formulas[0].substr(0, compiled.size()), compiled);

    // An empty text removes it; the text stays as it was throughout.
    EXPECT_EQ(Text(chunk, "Text"), "shown text");
    EXPECT_EQ(chunk->SetPropertyText("HideFormula", "", 0), 1);
    delete chunk;
    Save();
    const Body body = Stored(id_);
    EXPECT_EQ(body.problem, "");
    EXPECT_TRUE(HideFormulas(body).empty());
    EXPECT_EQ(body.Joined(), "shown text");
    chunk = Chunk("Paragraph 1");
    EXPECT_EQ(Text(chunk, "HideFormula"), "");
    delete chunk;
}

} // namespace
} // namespace chunkops_test
