// The property text of targets, tables, fonts and paragraph definitions:
// the words the chunk methods give for records built here, and the words
// read back by the builders that take them.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_fixture.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "core/thread_state.h"
#include "engine/font_property_writer.h"
#include "engine/paragraph_property_writer.h"
#include "engine/table_property_writers.h"
#include "engine/target_property_writers.h"

namespace chunkops_test {
namespace {

using talix_test::FixtureRecord;
using talix_test::HeadAndText;
using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

constexpr std::uint16_t kCodeFont = 2317, kCodeFontColor = 2318, kCodeTextAttributes = 2333;

FixtureRecord Bracket(std::uint16_t signature, std::uint16_t inner) {
    FixtureRecord record = HostRecord(signature, 6);
    PutWord(&record, 2, 1);
    PutWord(&record, 4, inner);
    return record;
}

// A picture in its bracket with the extra records (alternate text,
// caption ...) before its end.
std::vector<FixtureRecord> Picture(const std::vector<FixtureRecord>& extra) {
    FixtureRecord graphic = HostRecord(talix::kSigGraphic, 32);
    graphic.bytes[26] = 2;
    std::vector<FixtureRecord> records = ParagraphStart();
    records.push_back(TextRun("a"));
    records.push_back(Bracket(talix::kSigBegin, talix::kSigGraphic));
    records.push_back(graphic);
    records.insert(records.end(), extra.begin(), extra.end());
    records.push_back(Bracket(talix::kSigEnd, talix::kSigGraphic));
    return records;
}

// A horizontal rule: flags, width, height, colour index; no gradient.
FixtureRecord Rule(std::uint32_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t color) {
    FixtureRecord rule = HostRecord(talix::kSigHorizontalRule, 16);
    PutDword(&rule, 4, flags);
    PutWord(&rule, 8, width);
    PutWord(&rule, 10, height);
    PutWord(&rule, 12, color);
    PutWord(&rule, 14, 0xFFFF);
    return rule;
}

// A colour record of one colour value, or with a gradient after it.
std::vector<std::uint8_t> Colour(std::uint16_t flags, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                 bool gradient = false) {
    std::vector<std::uint8_t> record = {static_cast<std::uint8_t>(talix::kSigColor),
                                        static_cast<std::uint8_t>(gradient ? 14 : 8),
                                        static_cast<std::uint8_t>(flags),
                                        static_cast<std::uint8_t>(flags >> 8),
                                        r,
                                        g,
                                        b,
                                        0};
    if (gradient) record.insert(record.end(), {0, 0, 7, 8, 9, 0});
    return record;
}

std::string FontWords(std::uint32_t fontId, const std::vector<std::uint8_t>& colour, std::uint16_t code,
                      std::uint32_t preference = 1) {
    const std::uint32_t saved = talix::ThisThread().clientPreference;
    talix::ThisThread().clientPreference = preference;
    std::vector<char> out(4096, 'x');
    talix::WriteFontProperties(fontId, colour.empty() ? nullptr : colour.data(), nullptr, out.data(), code);
    talix::ThisThread().clientPreference = saved;
    return out.data();
}

TEST(FontWords, StylesColoursAndHighlights) {
    EXPECT_EQ(FontWords(0x0A000001, {}, kCodeFont), "Plain Black 10pt");
    EXPECT_EQ(FontWords(0x0A000301, {}, kCodeTextAttributes), "Bold Italic");
    EXPECT_EQ(FontWords(0x0A020001, {}, kCodeFontColor, 0), "Red");
    EXPECT_EQ(FontWords(0x0A050001, {}, kCodeFontColor, 0), "Fuchsia");
    EXPECT_EQ(FontWords(0x0A050001, {}, kCodeFontColor, 1), "Magenta");
    EXPECT_EQ(FontWords(0x0A140001, {}, kCodeFontColor), "COLOR20");
    // A colour record: its own components unless they are the index's colour.
    EXPECT_EQ(FontWords(0x0A000001, Colour(0x0001, 1, 2, 3), kCodeFontColor), "RGB1,2,3");
    EXPECT_EQ(FontWords(0x0A020001, Colour(0x0001, 255, 0, 0), kCodeFontColor), "Red");
    EXPECT_EQ(FontWords(0x0A000001, Colour(0x0001, 255, 0, 0), kCodeFontColor), "RGB255,0,0");
    EXPECT_EQ(FontWords(0x0A000001, Colour(0x0011, 1, 2, 3, true), kCodeFontColor), "RGB1,2,3 GRADIENT7,8,9");
    // Components that are not valid leave the index's name.
    EXPECT_EQ(FontWords(0x0A040001, Colour(0x0000, 1, 2, 3), kCodeFontColor), "Blue");
    // A highlight stands for Plain.
    EXPECT_EQ(FontWords(0x0A000001, Colour(0x8000, 0, 0, 0), kCodeTextAttributes), "HighlightYellow");
    EXPECT_EQ(FontWords(0x0A000401, Colour(0x4000, 0, 0, 0), kCodeTextAttributes), "Underline HighlightPink");
    // The effects share their bits with the script positions.
    EXPECT_EQ(FontWords(0x0A008001, {}, kCodeTextAttributes), "Shadowed");
    EXPECT_EQ(FontWords(0x0A009001, {}, kCodeTextAttributes), "Superscript Embossed");
    EXPECT_EQ(FontWords(0x0A00A001, {}, kCodeTextAttributes), "Subscript Extruded");
    EXPECT_EQ(FontWords(0x0A000001, {}, 9999), "");
}

std::string Paragraph(const talix::CDPABDEFEXT& definition, int form, int skipDefaults) {
    std::vector<char> out(4096, 'x');
    talix::PABToPropertyText(form, &definition, out.data(), skipDefaults);
    return out.data();
}

talix::CDPABDEFEXT DefaultParagraph() {
    talix::CDPABDEFEXT definition;
    definition.leftMargin = 1440;
    definition.firstLineLeftMargin = 1440;
    definition.tab[0] = 720;
    return definition;
}

TEST(ParagraphWords, PropertyFormWithAndWithoutDefaults) {
    talix::CDPABDEFEXT definition = DefaultParagraph();
    EXPECT_EQ(Paragraph(definition, 0, 1), "NO_FLAGS");
    EXPECT_EQ(Paragraph(definition, 0, 0),
              "LeftMargin=\"1.00\" RightMargin=\"0.00\" LeftMarginFirst=\"1.00\" Above=\"SINGLE\" Below=\"SINGLE\" "
              "InterLine=\"SINGLE\" TabInterval=\"0.5\" Justify=\"LEFT\" NO_FLAGS");
    definition.leftMargin = 2160;
    definition.tabs = 2;
    definition.tab[0] = 1440;
    definition.tab[1] = 3600;
    definition.tabTypes = 1u << 2;
    definition.spacingAfter = 2;
    definition.justifyMode = 3;
    EXPECT_EQ(Paragraph(definition, 0, 1),
              "LeftMargin=\"1.50\" Below=\"DOUBLE\" Tabs=\"L1.00;R2.50\" Justify=\"CENTER\" NO_FLAGS");

    talix::CDPABDEFEXT list = DefaultParagraph();
    list.flags = 0x1000 | 0x0002;
    list.flags2 = 0x1800;
    EXPECT_EQ(Paragraph(list, 0, 1), "KEEP_WITH_NEXT Upper_Alpha_List");
    list.flags = 0x0400;
    list.flags2 = 0x1000 | 0x4000;
    EXPECT_EQ(Paragraph(list, 0, 1), "Square_List RTL");
    // HIDE_WEB alone still counts as a flag; a margin given as an offset.
    talix::CDPABDEFEXT web = DefaultParagraph();
    web.flags2 = 0x0001 | 0x0004;
    web.leftMarginOffset = 720;
    EXPECT_EQ(Paragraph(web, 0, 1), "LeftMarginOffset=\"0.50\" HIDE_WEB");
}

TEST(ParagraphWords, AttributeFormReadsBack) {
    talix::CDPABDEFEXT definition = DefaultParagraph();
    definition.rightMargin = 720;
    definition.flags2 = 0x0008;
    definition.leftMarginPercent = 25;
    const std::string text = Paragraph(definition, 1, 0);
    EXPECT_EQ(text, " leftmargin= 25% rightmargin='0.50' firstlineleftmargin='1.00in' TabInterval=0.50 Justify=LEFT "
                    "NO_FLAGS");
    // Single spacing everywhere writes no spacing word; tab stops are found
    // as a word of their own.
    definition.tabs = 1;
    definition.tab[0] = 1440;
    definition.lineSpacing = 1;
    const std::string tabs = Paragraph(definition, 1, 0);
    EXPECT_EQ(tabs.find("spacebefore"), std::string::npos);
    char value[64] = "";
    EXPECT_EQ(talix::GetOptionValue(tabs.c_str(), "linespacing=", value, sizeof value), 1);
    EXPECT_STREQ(value, "1.5");
    EXPECT_EQ(talix::GetOptionValue(tabs.c_str(), "Tabs=", value, sizeof value), 1);
    EXPECT_STREQ(value, "L1.000000in");
}

TEST(TargetWords, QuotedValuesKeepTheirQuotes) {
    char text[256] = "";
    talix::PropertyWriterState state;
    FixtureRecord map = HeadAndText(talix::kSigMapElement, 36, 8, "it's");
    talix::WriteMapNameProperty(map.bytes.data(), map.signature, static_cast<std::uint32_t>(map.bytes.size()), text,
                                sizeof text, 0, &state);
    FixtureRecord idName = HostRecord(talix::kSigIdName, 26 + 7);
    PutWord(&idName, 6, 7);
    std::memcpy(idName.bytes.data() + 26, "a'b\"c|d", 7);
    talix::WriteHTMLAttributeProperties(idName.bytes.data(), static_cast<std::uint32_t>(idName.bytes.size()),
                                        "Graphic", 2, 17, text, sizeof text, 17, &state);
    EXPECT_STREQ(text, "MapName=\"it's\" GraphicHTMLClass=~a'b\"c|d~ ");
    char value[32];
    ASSERT_EQ(talix::GetOptionValue(text, "MapName=", value, sizeof value), 1);
    EXPECT_STREQ(value, "it's");
    ASSERT_EQ(talix::GetOptionValue(text, "GraphicHTMLClass=", value, sizeof value), 1);
    EXPECT_STREQ(value, "a'b\"c|d");
    // A word that does not fit the text is left out whole.
    char small[18] = "x ";
    talix::WriteMapNameProperty(map.bytes.data(), map.signature, static_cast<std::uint32_t>(map.bytes.size()), small,
                                sizeof small, 0, &state);
    EXPECT_STREQ(small, "x MapName=\"it's\" ");
    talix::WriteMapNameProperty(map.bytes.data(), map.signature, static_cast<std::uint32_t>(map.bytes.size()), small,
                                sizeof small, 0, &state);
    EXPECT_STREQ(small, "x MapName=\"it's\" ");
    small[2] = '\0';
    talix::WriteMapNameProperty(map.bytes.data(), map.signature, static_cast<std::uint32_t>(map.bytes.size()), small,
                                sizeof small - 1, 0, &state);
    EXPECT_STREQ(small, "x ");
}

TEST(TargetWords, ATabFontOfPointSizeZeroIsNoFont) {
    // A tab settings record as tables that show no tabs carry it: the font
    // part is there (14 at offset 40) but its bytes are no font.
    FixtureRecord tabs = HostRecord(talix::kSigTableDataExtension, 62);
    PutWord(&tabs, 40, 14);
    PutDword(&tabs, 48, 0x00009C04);
    PutWord(&tabs, 56, 1);
    char text[256] = "";
    talix::PropertyWriterState state;
    talix::WriteTabProperties(tabs.bytes.data(), 62, nullptr, text, sizeof text, talix::kTableWordAll, &state);
    EXPECT_STREQ(text, "");
    // The same record with a 12-point bold font in face 1.
    PutDword(&tabs, 48, 0x0C000101);
    state = talix::PropertyWriterState{};
    talix::WriteTabProperties(tabs.bytes.data(), 62, nullptr, text, sizeof text, talix::kTableWordAll, &state);
    EXPECT_STREQ(text, "TabFont='Bold Black 12pt' ");
}

class PropertyTextTest : public ChunkTest {};

TEST_F(PropertyTextTest, AChunkOfSeveralTargetsGivesALineOfWordsForEach) {
    std::vector<FixtureRecord> body = Picture({HeadAndText(talix::kSigCaption, 32, 4, "one")});
    const std::vector<FixtureRecord> bare = Picture({});
    const std::vector<FixtureRecord> third =
        Picture({HeadAndText(talix::kSigAltText, 12, 4, "alt"), HeadAndText(talix::kSigCaption, 32, 4, "three")});
    body.insert(body.end(), bare.begin(), bare.end());
    body.insert(body.end(), third.begin(), third.end());
    Open(NewNote(body));
    ZervaRTChunk* graphics = Chunk("Graphic *");
    ASSERT_NE(graphics, nullptr);
    EXPECT_STREQ(graphics->GetTargetProperties("Graphic", nullptr), "Caption='one' \n\nAltText='alt' Caption='three' ");
    EXPECT_EQ(graphics->lastStatus, 0);
    EXPECT_STREQ(graphics->GetTargetProperties("Graphic", "Caption"), "one\n\nthree");
    EXPECT_STREQ(graphics->GetTargetProperties("Graphic", "AltText"), "\n\nalt");
    delete graphics;
    // One target gives its own words alone, as before.
    ZervaRTChunk* last = Chunk("Graphic 3");
    EXPECT_STREQ(last->GetTargetProperties("Graphic", nullptr), "AltText='alt' Caption='three' ");
    delete last;

    // A value holding a line end is given whole: the lines are those of the
    // targets, not those of the values.
    body = Picture({HeadAndText(talix::kSigCaption, 32, 4, "first\nline"), HeadAndText(talix::kSigAltText, 12, 4, "a")});
    const std::vector<FixtureRecord> next = Picture({HeadAndText(talix::kSigCaption, 32, 4, "\nsecond\n")});
    body.insert(body.end(), next.begin(), next.end());
    Open(NewNote(body));
    graphics = Chunk("Graphic *");
    EXPECT_STREQ(graphics->GetTargetProperties("Graphic", "Caption"), "first\nline\n\nsecond\n");
    EXPECT_STREQ(graphics->GetTargetProperties("Graphic", "AltText"), "a\n");
    delete graphics;
    ZervaRTChunk* first = Chunk("Graphic 1");
    EXPECT_STREQ(first->GetTargetProperties("Graphic", "Caption"), "first\nline");
    EXPECT_STREQ(first->GetTargetProperties("Graphic", "AltText"), "a");
    delete first;
}

// The words of thousands of targets: each line holds its own target's words,
// in order, until the text is full; a word that does not fit is left out,
// the lines after it are empty, and the status tells that words are missing.
TEST_F(PropertyTextTest, ManyTargetsFillTheTextLineByLineUpToItsCapacity) {
    constexpr int kTargets = 6000;
    std::vector<FixtureRecord> body;
    std::string expected, values;
    const std::size_t capacity = RARIvoSession::kTextResultCapacity + 1;
    for (int i = 0; i < kTargets; ++i) {
        const std::string caption = "c" + std::to_string(i);
        const std::vector<FixtureRecord> picture = Picture({HeadAndText(talix::kSigCaption, 32, 4, caption)});
        body.insert(body.end(), picture.begin(), picture.end());
        if (i > 0 && expected.size() < capacity - 1) {
            expected += '\n';
            values += '\n';
        }
        const std::string word = "Caption='" + caption + "' ";
        if (expected.size() + word.size() + 1 <= capacity) {
            expected += word;
            values += caption;
        }
    }
    ASSERT_GT(expected.size(), capacity - 32);
    Open(NewNote(body));
    ZervaRTChunk* graphics = Chunk("Graphic *");
    ASSERT_NE(graphics, nullptr);
    EXPECT_EQ(graphics->GetTargetProperties("Graphic", nullptr), expected);
    EXPECT_EQ(session_.textResultLength, expected.size());
    // The text holds only part of the words, and the status says so.
    EXPECT_EQ(graphics->lastStatus, talix::kWordsDoNotFit);
    // One keyword: the value on each line the words reached.
    EXPECT_EQ(graphics->GetTargetProperties("Graphic", "Caption"), values);
    EXPECT_EQ(graphics->lastStatus, talix::kWordsDoNotFit);
    delete graphics;
}

// The words of many tables, each long: a line of the same words for each
// table until the text is full, whatever tables came before.
TEST_F(PropertyTextTest, ManyTablesGiveTheirWordsLineByLineUpToTheTextsCapacity) {
    constexpr int kTables = 90;
    const std::string options = "RowDisplay=TABBED TableBodyColor=Red TableHTMLTitle=" + std::string(900, 'x');
    Open(NewNote(ParagraphStart()));
    ZervaRTChunk* everything = Chunk();
    for (int i = 0; i < kTables; ++i) ASSERT_EQ(everything->AppendTable(1, 1, 0, options.c_str(), nullptr), 0);
    delete everything;
    ZervaRTChunk* first = Chunk("Table 1");
    const std::string words = first->GetTargetProperties("Table", nullptr);
    delete first;
    ASSERT_GT(words.size(), 900u);
    ZervaRTChunk* tables = Chunk("Table *");
    ASSERT_NE(tables, nullptr);
    const std::string all = tables->GetTargetProperties("Table", nullptr);
    EXPECT_LE(all.size(), RARIvoSession::kTextResultCapacity);
    EXPECT_GT(all.size() + words.size() + 1, RARIvoSession::kTextResultCapacity);
    EXPECT_EQ(session_.textResultLength, all.size());
    // The lines that fit whole; past them a word that does not fit is left
    // out, a shorter one after it still written.
    const std::size_t fitting = (RARIvoSession::kTextResultCapacity + 1) / (words.size() + 1);
    std::size_t start = 0;
    for (std::size_t line = 0; line < fitting; ++line) {
        const std::size_t end = all.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        ASSERT_EQ(all.substr(start, end - start), words) << "line " << line + 1;
        start = end + 1;
    }
    EXPECT_EQ(all.compare(start, 17, "TableWidth=FIXED "), 0);
    EXPECT_EQ(tables->lastStatus, talix::kWordsDoNotFit);
    EXPECT_LE(static_cast<std::size_t>(std::count(all.begin(), all.end(), '\n')), kTables - 1u);
    delete tables;
}

TEST_F(PropertyTextTest, GraphicAndRuleWordsAndTheRuleChangedByOptions) {
    std::vector<FixtureRecord> body = Picture({HeadAndText(talix::kSigCaption, 32, 4, "it's")});
    body.push_back(Rule(0x4, 100, 25, 0));
    body.push_back(TextRun("b"));
    body.push_back(Rule(0x1, 7200, 1440, 5));
    body.push_back(TextRun("c"));
    Open(NewNote(body));
    ZervaRTChunk* graphic = Chunk("Graphic 1");
    EXPECT_STREQ(graphic->GetTargetProperties("Graphic", nullptr), "Caption=\"it's\" ");
    EXPECT_STREQ(graphic->GetTargetProperties("Graphic", "Caption"), "it's");
    EXPECT_STREQ(graphic->GetTargetProperties("Graphic", "AltText"), "");
    EXPECT_STREQ(graphic->GetTargetProperties("Graphic", "NoSuchKeyword"), "");
    delete graphic;

    ZervaRTChunk* rule = Chunk("HorizontalRule 1");
    ASSERT_NE(rule, nullptr);
    ASSERT_EQ(rule->Exists(), 1);
    EXPECT_STREQ(rule->GetTargetProperties("HR", ""), "FitToWindow='Yes' Width='100%' Height='0.0' ");
    EXPECT_STREQ(rule->GetTargetProperties("HR", "Color"), "");
    rule->AlterRichText(2437, 27, 0, 0, 0, "FitToWindow=No Color=none", nullptr, nullptr, nullptr);
    EXPECT_EQ(rule->lastStatus, 0);
    EXPECT_STREQ(rule->GetTargetProperties("HR", nullptr), "Width='0.1' Height='0.0' ");
    rule->AlterRichText(2437, 27, 0, 0, 0, "Color=Green No3DShadow=Yes", nullptr, nullptr, nullptr);
    EXPECT_STREQ(rule->GetTargetProperties("HR", nullptr), "No3DShadow='Yes' Color='Green' Width='0.1' Height='0.0' ");
    // A colour the colour reader does not take leaves the rule as it was.
    rule->AlterRichText(2437, 27, 0, 0, 0, "Color=NoSuchColour", nullptr, nullptr, nullptr);
    EXPECT_STREQ(rule->GetTargetProperties("HR", "Color"), "Green");
    delete rule;

    ZervaRTChunk* second = Chunk("HorizontalRule 2");
    item_->work->clientPreference = 0;
    EXPECT_STREQ(second->GetTargetProperties("HR", nullptr), "Color='Fuchsia' Width='5.0' Height='1.0' ");
    delete second;
}

// A rule followed by a colour record shows that record's colour: a colour
// set by options goes into it, so that the rule's words and its HTML give
// the new colour; the record is changed in place, not added to.
TEST_F(PropertyTextTest, ARuleColourSetByOptionsReachesItsColourRecord) {
    std::vector<FixtureRecord> body = ParagraphStart();
    body.push_back(TextRun("a"));
    body.push_back(Rule(0x5, 100, 25, 15));
    FixtureRecord colour = HostRecord(talix::kSigColor, 8);
    const std::vector<std::uint8_t> lightGray = Colour(0x0001, 192, 192, 192);
    std::copy(lightGray.begin() + 2, lightGray.end(), colour.bytes.begin() + 2);
    body.push_back(colour);
    body.push_back(TextRun("b"));
    const plat::NOTEID id = NewNote(body);
    Open(id);
    ZervaRTChunk* rule = Chunk("HorizontalRule 1");
    ASSERT_NE(rule, nullptr);
    EXPECT_STREQ(rule->GetTargetProperties("HR", "Color"), "LightGray");
    rule->AlterRichText(2437, 27, 0, 0, 0, "Color=Red", nullptr, nullptr, nullptr);
    EXPECT_EQ(rule->lastStatus, 0);
    EXPECT_STREQ(rule->GetTargetProperties("HR", "Color"), "Red");
    rule->AlterRichText(2437, 27, 0, 0, 0, "Color=RGB1,2,3", nullptr, nullptr, nullptr);
    EXPECT_STREQ(rule->GetTargetProperties("HR", "Color"), "RGB1,2,3");
    // A colour the reader does not take, or none, leaves the record.
    rule->AlterRichText(2437, 27, 0, 0, 0, "Color=NoSuchColour FitToWindow=No", nullptr, nullptr, nullptr);
    EXPECT_STREQ(rule->GetTargetProperties("HR", nullptr), "Color='RGB1,2,3' Width='0.1' Height='0.0' ");
    delete rule;
    Save();
    const Body stored = Stored(id);
    EXPECT_EQ(stored.Count(talix::kSigColor), 1u);
    EXPECT_EQ(stored.Word(talix::kSigColor, 0, 4), 0x0201);
    EXPECT_EQ(stored.Joined(), "a|b");
}

TEST_F(PropertyTextTest, TableWordsReadBackUnchangedThroughChangeTable) {
    Open(NewNote(ParagraphStart()));
    ZervaRTChunk* everything = Chunk();
    ASSERT_EQ(everything->AppendTable(2, 2, 0,
                                      "RowDisplay=TABBED TabSide=Bottom TabIndent=0.5 TabsEqual=Yes "
                                      "TabFont='+Italic Blue 12' TableHTMLTitle=it's TableBodyColor=Red "
                                      "TableColor=RGB1,2,3",
                                      nullptr),
              0);
    delete everything;
    ZervaRTChunk* table = Chunk("Table 1");
    const std::string words = table->GetTableProperties(nullptr);
    EXPECT_NE(words.find("RowDisplay=TABBED TabSide=BOTTOM "), std::string::npos) << words;
    EXPECT_NE(words.find("TableBodyColor=Red TableColor=RGB1,2,3 "), std::string::npos) << words;
    EXPECT_NE(words.find("TabIndent=\"0.50\" TabsEqual=Yes TabFont='Italic Blue 12pt Default Sans Serif' "),
              std::string::npos)
        << words;
    EXPECT_NE(words.find("TableHTMLTitle=\"it's\" "), std::string::npos) << words;
    EXPECT_STREQ(table->GetTableProperties("RowDisplay"), "RowDisplay=TABBED TabSide=BOTTOM ");
    EXPECT_STREQ(table->GetTargetProperties("Table", "TabsIndent"), "0.50");
    EXPECT_STREQ(table->GetTargetProperties("Table", "TabIndent"), "0.50");
    EXPECT_STREQ(table->GetTargetProperties("Table", "TabFont"), "Italic Blue 12pt Default Sans Serif");

    ASSERT_EQ(table->ChangeTable(words.c_str(), static_cast<std::uint16_t>(words.size())), 0);
    EXPECT_EQ(table->GetTableProperties(nullptr), words);
    delete table;
    Save();
    Open(id_);
    ZervaRTChunk* again = Chunk("Table 1");
    EXPECT_EQ(again->GetTableProperties(nullptr), words);
    EXPECT_STREQ(again->GetCellBorder("left"), "1");
    EXPECT_STREQ(again->GetCellBorder(nullptr), "1,1,1,1");
    delete again;
}

TEST_F(PropertyTextTest, LayerWordsAreTheLayerBuildersOptions) {
    Open(NewNote(ParagraphStart()));
    ZervaRTChunk* everything = Chunk();
    ASSERT_EQ(everything->AppendLayer("1in", "auto", "50px", "40%", 2,
                                      "BackgroundColor=RGB10,20,30 BackgroundImage=back.gif BackgroundRepeat=horizontal",
                                      nullptr, nullptr, 0),
              0);
    delete everything;
    ZervaRTChunk* layer = Chunk("Layer 1");
    const std::string words = layer->GetTargetProperties("Layer", nullptr);
    EXPECT_EQ(words,
              "ZIndex=2 Scheme=absolute BrowserLeftOffset=0 BrowserRightOffset=0 Top='1.000000in' Left='auto' "
              "Width='40%' Height='50px' BackgroundColor=RGB10,20,30 BackgroundImage='back.gif' "
              "BackgroundRepeat=horizontal ");
    EXPECT_STREQ(layer->GetTargetProperties("Layer", "Height"), "50px");
    EXPECT_STREQ(layer->GetTargetProperties("Layer", "BackgroundRepeat"), "horizontal");
    delete layer;

    // The words build the same layer again.
    ZervaRTChunk* end = Chunk();
    ASSERT_EQ(end->AppendLayer(nullptr, nullptr, nullptr, nullptr, 2, words.c_str(), nullptr, nullptr, 0), 0);
    delete end;
    ZervaRTChunk* copy = Chunk("Layer 2");
    EXPECT_EQ(copy->GetTargetProperties("Layer", nullptr), words);
    delete copy;
}

} // namespace
} // namespace chunkops_test
