// The table builder and the table property parsers: tables appended to an
// item's output and read back from its record list, and option words
// applied to table records.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/built_records.h"
#include "builders/table_builders.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/record_process.h"
#include "support/structure_checker.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;

using talix::kSigPabDefinition;
using talix::kSigPabReference;
using talix::kSigParagraph;
using talix::kSigTableBegin;
using talix::kSigTableCell;
using talix::kSigTableEnd;
using talix::kSigText;

constexpr std::uint16_t kBegin = 0xDD, kEnd = 0xDE, kColor = 0xD2, kCellColour = 0xD3;
constexpr std::uint16_t kRowHeight = 0xE2, kRowCycle = 0xE1;
constexpr std::uint16_t kExtension = 0xFFFB, kTabs = 0xFF5C, kBorder = 0xFFFC, kIdName = 0xFF7A, kCellIdName = 0xFF7B;
constexpr std::uint16_t kLabel = 0xFFE3;

class TableBuilderTest : public ::testing::Test {
protected:
    TableBuilderTest() { Restart(); }

    // A fresh output holding the paragraph the walk stands in: a definition
    // of id 1 with margins of 1,440 and a reference to it.
    void Restart() {
        talix_test::FreeOutput(&item_);
        context_ = talix_test::OutputContext(&session_, &item_, &chunk_);
        talix::CDPABDEFEXT definition;
        definition.length = 72;
        definition.pabId = 1;
        definition.leftMargin = 1440;
        definition.firstLineLeftMargin = 1440;
        std::memcpy(context_->paragraphDefinition, &definition, sizeof definition);
        context_->paragraphDefinitionLength = 72;
        const std::uint8_t reference[4] = {0x83, 4, 1, 0};
        std::memcpy(context_->paragraphReference, reference, sizeof reference);
        EXPECT_EQ(talix::AppendRecord(&definition, kSigPabDefinition, 72, &context_->output), 0);
        EXPECT_EQ(talix::AppendRecord(reference, kSigPabReference, 4, &context_->output), 0);
        Request().tableWidth = 8640;
    }

    talix::TableRequest& Request() { return session_.workArea->table; }
    void EqualColumns(std::uint16_t columns) {
        for (std::uint16_t column = 0; column < columns; ++column)
            Request().columnWidths[column] = static_cast<std::uint16_t>(8640 / columns);
    }

    talix::STATUS Build(std::uint16_t columns, std::uint16_t rows, const char* options) {
        context_->argumentText = options;
        return talix::AppendTableRecords(columns, rows, context_.get());
    }

    // The records the builder appended (after the two the fixture wrote).
    std::vector<const talix::CDRecordNode*> Built() {
        std::vector<const talix::CDRecordNode*> nodes;
        const talix::ItemRecordList* list = item_.work->output;
        int skip = 2;
        for (auto* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next)
            if (skip-- <= 0) nodes.push_back(node);
        return nodes;
    }
    std::vector<std::uint16_t> Signatures() {
        std::vector<std::uint16_t> signatures;
        for (auto* node : Built()) signatures.push_back(node->signature);
        return signatures;
    }
    const talix::CDRecordNode* First(std::uint16_t signature) {
        for (auto* node : Built())
            if (node->signature == signature) return node;
        return nullptr;
    }
    std::vector<const talix::CDRecordNode*> All(std::uint16_t signature) {
        std::vector<const talix::CDRecordNode*> found;
        for (auto* node : Built())
            if (node->signature == signature) found.push_back(node);
        return found;
    }
    std::string Structure() { return talix_test::CheckStructure(item_.work->output); }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    ZervaRTChunk chunk_{&session_, &item_};
    std::unique_ptr<talix::RecordProcessContext> context_;
};

TEST_F(TableBuilderTest, ATableWithoutOptionsHasItsCellsParagraphsAndDefinitions) {
    EqualColumns(2);
    ASSERT_EQ(Build(2, 3, ""), 0);
    std::vector<std::uint16_t> expected = {kSigParagraph, kExtension, kSigTableBegin};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 2; ++column) {
            for (std::uint16_t signature : {kSigTableCell, kSigParagraph}) expected.push_back(signature);
            if (row == 0) expected.push_back(kSigPabDefinition);
            for (std::uint16_t signature : {kSigPabReference, kSigText}) expected.push_back(signature);
        }
    }
    for (std::uint16_t signature : {kSigTableEnd, kSigParagraph, kSigPabReference, kSigText})
        expected.push_back(signature);
    EXPECT_EQ(Signatures(), expected);
    EXPECT_EQ(Structure(), "");
    EXPECT_EQ(item_.modified, 1);

    const auto* begin = First(kSigTableBegin);
    EXPECT_EQ(ReadWord(begin->bytes + 2), 1440);
    EXPECT_EQ(ReadWord(begin->bytes + 4), 40);
    EXPECT_EQ(ReadWord(begin->bytes + 6), 60);
    EXPECT_EQ(ReadWord(begin->bytes + 12), 2);

    const auto cells = All(kSigTableCell);
    ASSERT_EQ(cells.size(), 6u);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::uint8_t* cell = cells[i]->bytes;
        EXPECT_EQ(cell[2], i / 2);
        EXPECT_EQ(cell[3], i % 2);
        EXPECT_EQ(ReadWord(cell + 4), i % 2 == 0 ? 1440 : 5760);
        EXPECT_EQ(ReadWord(cell + 6), i % 2 == 0 ? 5760 : 10080);
        EXPECT_EQ(ReadWord(cell + 8), 0);   // no fractions outside table mode
        EXPECT_EQ(cell[10], 0x55);
        EXPECT_EQ(cell[11], 0x02);
        EXPECT_EQ(ReadWord(cell + 12), 0x1111);
        EXPECT_EQ(cell[14], 1);
        EXPECT_EQ(cell[15], 1);
    }

    // Each column's definition sits inside its cell; later rows refer to it.
    const auto definitions = All(kSigPabDefinition);
    ASSERT_EQ(definitions.size(), 2u);
    for (int column = 0; column < 2; ++column) {
        const std::uint8_t* definition = definitions[column]->bytes;
        EXPECT_EQ(ReadWord(definition + 4), 3 + column);   // above the item's ids
        EXPECT_EQ(ReadWord(definition + 14), (column == 0 ? 1440 : 5760) + 40);
        EXPECT_EQ(ReadWord(definition + 18), (column == 0 ? 1440 : 5760) + 40);
        EXPECT_EQ(ReadWord(definition + 16), (column == 0 ? 5760 : 10080) - 40);
        EXPECT_EQ(ReadWord(definition + 62) & 0x0086, 0x0086);
        EXPECT_EQ(ReadWord(definition + 68), 0x0440);
        EXPECT_EQ(ReadWord(definition + 82), 100);
    }
    const auto references = All(kSigPabReference);
    ASSERT_EQ(references.size(), 7u);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(ReadWord(references[i]->bytes + 2), 3 + i % 2);
    EXPECT_EQ(ReadWord(references[6]->bytes + 2), 1);   // back to the paragraph the table interrupted

    const auto* extension = First(kExtension);
    EXPECT_EQ(extension->bytes[8], 3);
    EXPECT_EQ(extension->bytes[9], 2);
}

TEST_F(TableBuilderTest, CellBordersAreSetInBothEncodings) {
    struct Case {
        const char* options;
        std::uint8_t borderByte;
        std::uint16_t borderWord;
    };
    // Sides in the value: top, bottom, left, right; a missing or unknown
    // side repeats the one before it.
    const Case cases[] = {
        {"CellBorder=SD", 0x10 | 0x80 | 0x02 | 0x08, 0x0100 | 0x2000 | 0x0002 | 0x0020},
        {"CellBorder=1", 0x55, 0x1111},
        {"CellBorder=0n2d", 0x0A, 0x0022},
        {"CellBorder=2x0S", 0x20 | 0x80 | 0x00 | 0x04, 0x0200 | 0x2000 | 0x0010},
        {"CellBorder=X1", 0, 0},
        {"CellBorder=", 0, 0},
    };
    EqualColumns(1);
    for (const Case& c : cases) {
        Restart();
        ASSERT_EQ(Build(1, 1, c.options), 0) << c.options;
        const auto* cell = First(kSigTableCell);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->bytes[10], c.borderByte) << c.options;
        EXPECT_EQ(ReadWord(cell->bytes + 12), c.borderWord) << c.options;
    }
}

TEST_F(TableBuilderTest, MarginsAndFitToWindowPlaceTheTable) {
    EqualColumns(2);
    ASSERT_EQ(Build(2, 1, "TableMarginLeft=0.5"), 0);
    // The table's own definition and a reference to it come first.
    const std::vector<std::uint16_t> signatures = Signatures();
    EXPECT_EQ(std::vector<std::uint16_t>(signatures.begin(), signatures.begin() + 5),
              (std::vector<std::uint16_t>{kSigParagraph, kSigPabDefinition, kSigPabReference, kExtension,
                                          kSigTableBegin}));
    const std::uint8_t* definition = First(kSigPabDefinition)->bytes;
    for (std::size_t offset : {14u, 18u, 72u, 76u}) EXPECT_EQ(ReadWord(definition + offset), 720) << offset;
    EXPECT_EQ(ReadWord(definition + 16), 0);
    EXPECT_EQ(ReadWord(definition + 82), 100);
    EXPECT_EQ(ReadWord(definition + 68), 0x0494);
    EXPECT_EQ(ReadWord(All(kSigPabReference)[0]->bytes + 2), ReadWord(definition + 4));
    EXPECT_EQ(ReadWord(First(kSigTableBegin)->bytes + 2), 720);
    EXPECT_EQ(ReadWord(First(kSigTableCell)->bytes + 4), 720);
    EXPECT_EQ(Structure(), "");

    Restart();
    ASSERT_EQ(Build(2, 1, "TableWidth=FIT_TO_WINDOW"), 0);
    EXPECT_EQ(Signatures()[1], kExtension);   // no margins of its own
    EXPECT_EQ(ReadDword(First(kExtension)->bytes + 4) & 0x41, 0x41u);
    EXPECT_EQ(ReadWord(First(kSigTableBegin)->bytes + 2), 1080);
    EXPECT_EQ(ReadWord(First(kSigTableBegin)->bytes + 12) & 1, 1);
    EXPECT_EQ(ReadWord(First(kSigTableCell)->bytes + 4), 1080);

    // Table mode: widths become fractions of the total, and a table without
    // options fits the window.
    Restart();
    Request().fitToWindow = 1;
    Request().columnWidths[0] = 2160;
    Request().columnWidths[1] = 6480;
    Request().columnRelative[1] = 1;
    ASSERT_EQ(Build(2, 1, ""), 0);
    EXPECT_EQ(ReadWord(First(kSigTableBegin)->bytes + 12), 3);
    EXPECT_EQ(ReadWord(All(kSigTableCell)[0]->bytes + 8), 7200);
    EXPECT_EQ(ReadWord(All(kSigTableCell)[1]->bytes + 8), 21600);
    EXPECT_EQ(ReadDword(First(kExtension)->bytes + 12), 0x2u);
}

TEST_F(TableBuilderTest, TheExtensionGroupCarriesBordersTabsAndNames) {
    EqualColumns(1);
    ASSERT_EQ(Build(1, 1,
                    "BorderStyle=DOUBLE BorderThickness=thick BorderThicknessTop=thin BorderColor=RED "
                    "BorderEffects=DROP_SHADOW BorderShadow=5 TableName=Prices TableHTMLClass=grid TabIndent=0.5 "
                    "TabsEqual=Yes TabFont='12 BLUE' RowDisplay=TABBED TabSide=Bottom CellBorderColor=RGB1,2,3 "
                    "TableColorStyle=ALTERNATING_ROWS TableColor=RGB10,20,30 MinRowHeight=0.25 "
                    "RowCycleMilliseconds=500"),
              0);
    EXPECT_EQ(Signatures(), (std::vector<std::uint16_t>{kSigParagraph, kBegin, kExtension, kTabs, kBorder, kIdName, kEnd,
                                                        kSigTableBegin, kSigTableCell, kSigParagraph, kSigPabDefinition,
                                                        kSigPabReference, kSigText, kRowCycle, kSigTableEnd, kSigParagraph,
                                                        kSigPabReference, kSigText}));
    EXPECT_EQ(Structure(), "");

    const auto* extension = First(kExtension);
    ASSERT_EQ(extension->length, 54u);
    EXPECT_EQ(ReadWord(extension->bytes + 42), 6);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(extension->bytes) + 48, 6), "Prices");
    EXPECT_EQ(extension->bytes[20], 4);                               // tabbed
    EXPECT_EQ(ReadDword(extension->bytes + 4), 0x200u | 0x20u | 0x04u);  // tabs below, border colour, shadow
    EXPECT_EQ(ReadWord(extension->bytes + 22), 360);
    EXPECT_EQ(ReadDword(extension->bytes + 28), 0x808080u);           // the style's body colour
    EXPECT_EQ(ReadDword(extension->bytes + 32), 0x1E140Au);
    EXPECT_EQ(ReadWord(extension->bytes + 36), 1);
    EXPECT_EQ(extension->bytes[38], 1);
    EXPECT_EQ(extension->bytes[40], 3);

    const std::uint8_t* tabs = First(kTabs)->bytes;
    EXPECT_EQ(ReadWord(tabs + 12), 1);
    EXPECT_EQ(ReadWord(tabs + 14), 720);
    EXPECT_EQ(ReadWord(tabs + 40), 14);
    EXPECT_EQ(tabs[48], 1);    // face 1
    EXPECT_EQ(tabs[51], 12);   // 12 points
    EXPECT_EQ(ReadWord(tabs + 56), 1);
    EXPECT_EQ(tabs[58], 0);
    EXPECT_EQ(tabs[60], 255);  // blue

    const std::uint8_t* border = First(kBorder)->bytes;
    EXPECT_EQ(ReadWord(border + 8), 2);
    EXPECT_EQ(ReadWord(border + 10), 2);
    for (std::size_t side : {12u, 14u, 16u}) EXPECT_EQ(ReadWord(border + side), 6);
    EXPECT_EQ(ReadWord(border + 24), 1);
    EXPECT_EQ(ReadWord(border + 26), 5);
    EXPECT_EQ(ReadWord(border + 44) & 1, 1);
    EXPECT_EQ(border[46], 255);

    const auto* names = First(kIdName);
    EXPECT_EQ(ReadWord(names->bytes + 6), 4);    // class
    EXPECT_EQ(ReadWord(names->bytes + 14), 6);   // name
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(names->bytes) + 26, 10), "gridPrices");

    EXPECT_EQ(ReadWord(First(kSigTableBegin)->bytes + 12), 2 | 0x40 | 0x0800);
    EXPECT_EQ(ReadDword(First(kRowCycle)->bytes + 4), 500u);
}

TEST_F(TableBuilderTest, TheTabFontKeepsItsHighlight) {
    // A highlight named in the tab font is kept in the tab settings' colour
    // flags, with or without a colour beside it.
    EqualColumns(1);
    ASSERT_EQ(Build(1, 1, "RowDisplay=TABBED TabFont='HighlightYellow Bold 12pt'"), 0);
    const std::uint8_t* tabs = First(kTabs)->bytes;
    EXPECT_EQ(ReadWord(tabs + 56), 0x8000);
    EXPECT_EQ(tabs[49], 1);   // bold
    EXPECT_EQ(tabs[51], 12);  // 12 points

    // A second table whose tab font gives a colour and a highlight.
    ASSERT_EQ(Build(1, 1, "RowDisplay=TABBED TabFont='BLUE +HighlightPink'"), 0);
    const std::vector<const talix::CDRecordNode*> settings = All(kTabs);
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(ReadWord(settings[1]->bytes + 56), 0x4001);
    EXPECT_EQ(settings[1]->bytes[60], 255);  // blue
}

TEST_F(TableBuilderTest, ColumnOptionsFillEveryCellOfTheirColumn) {
    EqualColumns(2);
    Request().columnOptions[0] =
        "Text='Hello' TextFont=RED CellColor=RGB1,2,3 VertAlign=Center RowHeight=0.5 TabLabel='Tab one' "
        "RowName=Row CellHTMLClass=c1";
    Request().columnOptions[1] = "VertAlign=Bottom CellColor=BLUE";
    ASSERT_EQ(Build(2, 2, ""), 0);
    EXPECT_EQ(Structure(), "");
    const auto cells = All(kSigTableCell);
    ASSERT_EQ(cells.size(), 4u);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(cells[2 * row]->bytes[11], 0x02 | 0x01 | 0x20);
        EXPECT_EQ(cells[2 * row + 1]->bytes[11], 0x02 | 0x01 | 0x80);
        EXPECT_EQ(ReadWord(cells[2 * row + 1]->bytes + 16), 4);
    }
    // The first cell: its text in the text font, bracketed with its colour;
    // row height, labels, cell colour and attributes after it.
    std::vector<std::uint16_t> signatures = Signatures();
    const auto from = std::find(signatures.begin(), signatures.end(), kSigTableCell);
    EXPECT_EQ(std::vector<std::uint16_t>(from, from + 14),
              (std::vector<std::uint16_t>{kSigTableCell, kSigParagraph, kSigPabDefinition, kSigPabReference, kBegin,
                                          kSigText, kColor, kEnd, kRowHeight, kLabel, kLabel, kCellColour, kCellIdName,
                                          kSigTableCell}));
    const auto texts = All(kSigText);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(texts[0]->bytes) + 8, texts[0]->length - 8), "Hello");
    EXPECT_EQ(texts[0]->bytes[6], 2);   // red
    EXPECT_EQ(ReadWord(First(kRowHeight)->bytes + 2), 720);
    const auto labels = All(kLabel);
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_STREQ(reinterpret_cast<const char*>(labels[0]->bytes) + 4, "Tab one");
    EXPECT_EQ(ReadWord(labels[0]->bytes + 138), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(labels[1]->bytes) + 4, "Row");
    EXPECT_EQ(ReadWord(labels[1]->bytes + 138), 1);
    const auto colours = All(kCellColour);
    ASSERT_EQ(colours.size(), 4u);
    EXPECT_EQ(colours[0]->bytes[4], 1);
    EXPECT_EQ(colours[0]->bytes[6], 3);
    EXPECT_EQ(colours[1]->bytes[6], 255);
}

TEST_F(TableBuilderTest, RefusesWhatACellOrTableRecordCannotHold) {
    EqualColumns(1);
    for (auto [columns, rows] : {std::pair<int, int>{1, 0}, {1, 256}, {0, 1}, {65, 1}}) {
        EXPECT_EQ(Build(static_cast<std::uint16_t>(columns), static_cast<std::uint16_t>(rows), ""),
                  talix::kArgumentError)
            << columns << " x " << rows;
        EXPECT_TRUE(Built().empty());
    }
    ASSERT_EQ(Build(64, 255, ""), 0);
    EXPECT_EQ(All(kSigTableCell).size(), 64u * 255u);
    EXPECT_EQ(All(kSigTableCell).back()->bytes[2], 254);
    EXPECT_EQ(First(kExtension)->bytes[8], 255);
    EXPECT_EQ(Structure(), "");
}

// The cells' edges are twips in 16 bits from the page's left: columns that
// end past 65,535 twips are refused, where the last ones were cut to a
// smaller width or to none; columns that end there exactly are built.
TEST_F(TableBuilderTest, RefusesColumnsThatEndPastWhatACellEdgeHolds) {
    struct Case {
        const char* options;
        std::uint16_t second;   // the second column's width; the first is 30,000
        bool built;
    };
    for (const Case& c : {Case{"", 34095, true}, Case{"", 34096, false}, Case{"TableMarginLeft=0", 35535, true},
                          Case{"TableMarginLeft=0", 35536, false}, Case{"TableWidth=FIT_TO_WINDOW", 34455, true},
                          Case{"TableWidth=FIT_TO_WINDOW TableName=t", 34456, false}}) {
        Restart();
        Request().columnWidths[0] = 30000;
        Request().columnWidths[1] = c.second;
        const talix::STATUS status = Build(2, 1, c.options);
        if (!c.built) {
            EXPECT_EQ(status, talix::kArgumentError) << c.options << " " << c.second;
            EXPECT_TRUE(Built().empty()) << c.options << " " << c.second;
            continue;
        }
        ASSERT_EQ(status, 0) << c.options << " " << c.second;
        const auto cells = All(kSigTableCell);
        ASSERT_EQ(cells.size(), 2u);
        EXPECT_EQ(ReadWord(cells[0]->bytes + 6) - ReadWord(cells[0]->bytes + 4), 30000);
        EXPECT_EQ(ReadWord(cells[1]->bytes + 6) - ReadWord(cells[1]->bytes + 4), c.second);
        EXPECT_EQ(ReadWord(cells[1]->bytes + 6), 65535);
        EXPECT_EQ(Structure(), "");
    }
}

// The picture of an IMAGE border and of a cell's background keep their
// whole names and paths, however long: cut, they would name another.
TEST_F(TableBuilderTest, PictureNamesAndPathsAreKeptWhole) {
    EqualColumns(1);
    const std::string image = std::string(300, 'n') + ".gif";
    const std::string path = "/pictures/" + std::string(290, 'p') + ".gif";
    const std::string column = "Text=x BackgroundImage=" + image;
    Request().columnOptions[0] = column.c_str();
    const std::string options = "BorderStyle=IMAGE BorderImage=" + image + " BorderServer=srv BorderFilePath=" + path;
    ASSERT_EQ(Build(1, 1, options.c_str()), 0);
    Request().columnOptions[0] = nullptr;

    const talix::CDRecordNode* border = First(0xFF5B);
    ASSERT_NE(border, nullptr);
    EXPECT_EQ(ReadWord(border->bytes + 12), image.size());
    EXPECT_EQ(ReadWord(border->bytes + 14), 3);
    EXPECT_EQ(ReadWord(border->bytes + 16), path.size());
    const std::string texts(reinterpret_cast<const char*>(border->bytes) + 36, image.size() + 3 + path.size());
    EXPECT_EQ(texts, image + "srv" + path);

    const talix::CDRecordNode* background = First(0xFF5A);
    ASSERT_NE(background, nullptr);
    const std::string bytes(reinterpret_cast<const char*>(background->bytes), background->length);
    EXPECT_NE(bytes.find(image), std::string::npos);
    EXPECT_EQ(Structure(), "");
}

// A cell text longer than one text run holds is kept whole: it goes on in
// further runs of the same font, each cut at a whole character, inside the
// one colour bracket of the cell text.
TEST_F(TableBuilderTest, ACellTextLongerThanARunIsKeptWhole) {
    EqualColumns(2);
    // Three-byte characters, so that a cut at the longest run would split one.
    std::string text(1, 'a');
    while (text.size() < 70000) text += "\x14\x4E\x2D";
    text += "end";
    const std::string column = "Text='" + text + "' TextFont=RED";
    Request().columnOptions[1] = column.c_str();
    ASSERT_EQ(Build(2, 1, ""), 0);
    Request().columnOptions[1] = nullptr;
    EXPECT_EQ(Structure(), "");
    const auto texts = All(kSigText);
    ASSERT_EQ(texts.size(), 4u);   // the first cell, two runs, the paragraph after
    std::string stored;
    for (int i = 1; i <= 2; ++i) {
        EXPECT_LE(texts[i]->length - 8u, talix::kMaxTextRunLength);
        EXPECT_EQ(texts[i]->bytes[6], 2);   // red
        stored.append(reinterpret_cast<const char*>(texts[i]->bytes) + 8, texts[i]->length - 8);
    }
    EXPECT_EQ(stored, text);
    EXPECT_EQ((texts[1]->length - 8) % 3, 1u);   // "a" and whole characters
    std::vector<std::uint16_t> signatures = Signatures();
    const auto begin = std::find(signatures.begin(), signatures.end(), kBegin);
    ASSERT_NE(begin, signatures.end());
    EXPECT_EQ(std::vector<std::uint16_t>(begin, begin + 5),
              (std::vector<std::uint16_t>{kBegin, kSigText, kSigText, kColor, kEnd}));
}

TEST(TableProperties, WordsChangeAnExistingRecord) {
    RARIvoSession session;
    // Table extension: switched-off words clear their bits.
    std::uint8_t extension[64] = {};
    talix::WriteWord(extension, kExtension);
    talix::WriteWord(extension + 2, 48);
    talix::WriteDword(extension + 4, 0x41 | 0x04 | 0x88);
    extension[20] = 5;
    ASSERT_EQ(talix::ParseTableProperties(&session, nullptr, kExtension, extension, sizeof extension,
                                          "TableWidth=FIXED BorderEffects=NONE RowDisplay=BASIC", 0),
              0);
    EXPECT_EQ(ReadDword(extension + 4), 0u);
    EXPECT_EQ(extension[20], 0);

    // A name the buffer cannot hold leaves the record as it was.
    std::uint8_t before[64];
    std::memcpy(before, extension, sizeof before);
    EXPECT_EQ(
        talix::ParseTableProperties(&session, nullptr, kExtension, extension, 48, "TableName=abc TableWidth=FIT", 0),
        talix::kArgumentError);
    EXPECT_EQ(std::memcmp(before, extension, sizeof before), 0);
    // A new name moves what follows the old one.
    ASSERT_EQ(talix::ParseTableProperties(&session, nullptr, kExtension, extension, sizeof extension,
                                          "TableName='longer name'", 0),
              0);
    EXPECT_EQ(ReadWord(extension + 2), 60);
    extension[59] = 0x77;   // a byte of data after the name
    talix::WriteWord(extension + 2, 60);
    talix::WriteWord(extension + 42, 11);
    ASSERT_EQ(talix::ParseTableProperties(&session, nullptr, kExtension, extension, sizeof extension, "TableName=x", 0),
              0);
    EXPECT_EQ(ReadWord(extension + 42), 1);
    EXPECT_EQ(extension[48], 'x');
    EXPECT_EQ(extension[49], 0x77);
    EXPECT_EQ(ReadWord(extension + 2), 50);

    // Table begin: the width, border style and colour style words.
    std::uint8_t begin[14] = {static_cast<std::uint8_t>(kSigTableBegin), 14};
    talix::WriteWord(begin + 12, 0x0003);
    ASSERT_EQ(talix::ParseTableProperties(&session, nullptr, kSigTableBegin, begin, sizeof begin,
                                          "TableWidth=FIXED CellBorderStyle=Ridge TableColorStyle=SOLID", 0),
              0);
    EXPECT_EQ(ReadWord(begin + 12), 0x0002 | 0x0008 | 0x6F80);
    ASSERT_EQ(talix::ParseTableProperties(&session, nullptr, kSigTableBegin, begin, sizeof begin,
                                          "CellBorderStyle=plain TableColorStyle=TOP TabSide=Left", 0),
              0);
    EXPECT_EQ(ReadWord(begin + 12), 0x0002 | 0x0100 | 0x0040);

    // Border: the initial switch resets the thicknesses and the shadow.
    std::uint8_t border[60] = {};
    talix::WriteWord(border + 10, 9);
    ASSERT_EQ(talix::ParseBorderSpec(&session, kBorder, border, "BorderStyle=SOLID BorderEffects=DROP_SHADOW", 1), 0);
    EXPECT_EQ(ReadWord(border + 8), 1);
    EXPECT_EQ(ReadWord(border + 10), 0);
    EXPECT_EQ(ReadWord(border + 24), 1);
    EXPECT_EQ(ReadWord(border + 26), 12);
    ASSERT_EQ(talix::ParseBorderSpec(&session, kBorder, border,
                                     "BorderThickness=medium BorderThicknessRight=3 OuterTop=7 PaddingLeft=9", 0),
              0);
    EXPECT_EQ(ReadWord(border + 10), 4);
    EXPECT_EQ(ReadWord(border + 16), 3);
    EXPECT_EQ(ReadWord(border + 36), 7);
    EXPECT_EQ(ReadWord(border + 30), 9);
    ASSERT_EQ(talix::ParseBorderSpec(&session, kBorder, border, "BorderStyle=none BorderEffects=NONE", 0), 0);
    for (std::size_t side : {10u, 12u, 14u, 16u, 24u, 26u}) EXPECT_EQ(ReadWord(border + side), 0) << side;

    // Other signatures are left alone; a null record is refused.
    std::uint8_t other[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(talix::ParseBorderSpec(&session, 0xFF85, other, "BorderStyle=SOLID", 1), 0);
    EXPECT_EQ(other[7], 8);
    EXPECT_EQ(talix::ParseTableProperties(&session, nullptr, kSigTableBegin, nullptr, 14, "", 0),
              talix::kArgumentError);
}

} // namespace
