// The target properties of a chunk: operation 2436 writes them as property
// words, operation 2437 applies a property string to the target's records
// (graphics, layers, URL links, horizontal rules, paragraphs). Results are
// read from the session's text result or back from the stored note.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/signatures.h"
#include "graphic_fixtures.h"
#include "support/op_runner.h"
#include "talix_platform.h"

namespace {

using engine_test::Join;
using engine_test::Rec;
using engine_test::Records;
using engine_test::Signatures;
using graphic_test::Begin;
using graphic_test::BitmapHeader;
using graphic_test::End;
using graphic_test::Find;
using graphic_test::GifData;
using graphic_test::GifPicture;
using graphic_test::Graphic;
using graphic_test::IdName;
using graphic_test::ImageResource;
using graphic_test::ItemTest;
using graphic_test::kSigBackground;
using graphic_test::kSigBorder;
using graphic_test::kSigDefinition;
using graphic_test::kSigReference;
using graphic_test::kSigRule;
using graphic_test::kSigUrlBegin;
using graphic_test::kSigUrlEnd;
using talix::kSigAltText;
using talix::kSigBegin;
using talix::kSigBitmapHeader;
using talix::kSigBoxSize;
using talix::kSigCaption;
using talix::kSigEnd;
using talix::kSigField;
using talix::kSigGraphic;
using talix::kSigHref;
using talix::kSigIdName;
using talix::kSigImageHeader;
using talix::kSigImageSegment;
using talix::kSigLayer;
using talix::kSigParagraph;
using talix::kSigPositioning;
using talix::kSigTarget;
using talix::kSigText;
using talix_test::FixtureRecord;
using talix_test::HeadAndText;
using talix_test::HostRecord;
using talix_test::Op;
using talix_test::Operation;
using talix_test::PutDword;
using talix_test::PutWord;

class TargetPropertiesTest : public ItemTest {
protected:
    // The words operation 2436 writes for the chunk (type and keyword
    // position given).
    std::string Words(const char* definition, std::uint16_t type, std::uint16_t selector) {
        EXPECT_EQ(Run(definition, Op(talix::kOpGetTargetProperties, selector, type)), 0);
        return std::string(session_.textResult, session_.textResultLength);
    }
    std::uint16_t Set(const char* definition, std::uint16_t type, const char* properties) {
        return Run(definition, Op(talix::kOpSetTargetProperties, type, 0, properties));
    }
};

// A layer: its bracket, the layer record, the positioning record (scheme,
// z-index, a top of one inch, a left of auto), the box size record, an
// optional background image with its repeat record, and a paragraph.
Records Layer(bool background) {
    FixtureRecord position = HostRecord(kSigPositioning, 120);
    position.bytes[2] = 1;
    PutDword(&position, 4, 3);
    const double inch = 1440;
    std::memcpy(position.bytes.data() + 16, &inch, sizeof inch);
    position.bytes[24] = 1;
    PutWord(&position, 32, 1);
    Records records = {Begin(kSigLayer), HostRecord(kSigLayer, 20), position, HostRecord(kSigBoxSize, 168)};
    if (background) {
        FixtureRecord repeat = HostRecord(kSigBackground, 72);
        repeat.bytes[2] = 4;
        for (const FixtureRecord& record : {Begin(kSigBackground), ImageResource("bg.gif"), repeat, End(kSigBackground)})
            records.push_back(record);
    }
    for (const FixtureRecord& record : {HostRecord(kSigParagraph, 2), engine_test::Text("inside"), End(kSigLayer)})
        records.push_back(record);
    return records;
}

// A URL link on "site": hotspot begin (type 11, URL flag), optional frame
// target and id/name record, the text, the hotspot end.
Records UrlLink(const char* target, bool idName) {
    FixtureRecord begin = HeadAndText(kSigUrlBegin, 16, 12, "http://example.com");
    PutWord(&begin, 4, 11);
    PutDword(&begin, 8, 0x1000);
    Records records = {begin};
    if (target != nullptr) records.push_back(HeadAndText(kSigTarget, 12, 4, target));
    if (idName) records.push_back(IdName({"old", "", "", "", "", ""}));
    records.push_back(engine_test::Text("site"));
    records.push_back(HostRecord(kSigUrlEnd, 2));
    return records;
}

// A field named name (a two-byte default formula before the name).
FixtureRecord FieldWithFormula(const std::string& name) {
    FixtureRecord field = HostRecord(kSigField, static_cast<std::uint32_t>(40 + 2 + name.size()));
    PutWord(&field, 24, 2);
    PutWord(&field, 32, static_cast<std::uint16_t>(name.size()));
    std::memcpy(field.bytes.data() + 42, name.data(), name.size());
    return field;
}

// A horizontal rule: flags, width, height, colour indexes.
FixtureRecord Rule(std::uint32_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t color) {
    FixtureRecord rule = HostRecord(kSigRule, 16);
    PutDword(&rule, 4, flags);
    PutWord(&rule, 8, width);
    PutWord(&rule, 10, height);
    PutWord(&rule, 12, color);
    PutWord(&rule, 14, 0xFFFF);
    return rule;
}

TEST_F(TargetPropertiesTest, PropertyWordsOfGraphicsFieldsLinksLayersAndRules) {
    const Records body =
        Join({engine_test::Runs({"a"}),
              GifPicture(GifData(16, 16, 40), 16, 16,
                         {HeadAndText(kSigAltText, 12, 4, "it's"), HeadAndText(kSigCaption, 32, 4, "Logo"),
                          IdName({"", "cls", "", "", "", ""})}),
              {FieldWithFormula("Subject")}, UrlLink("_blank", false), Layer(false), {Rule(0x4, 100, 25, 0)},
              {engine_test::Text("z")}});
    ASSERT_NE(Open(body), nullptr);

    EXPECT_EQ(Words("Graphic 1", 15, 17), "AltText=\"it's\" Caption='Logo' GraphicHTMLClass='cls' ");
    EXPECT_EQ(Words("Graphic 1", 15, 1), "Caption='Logo' ");
    EXPECT_EQ(Words("Graphic 1", 15, 2), "GraphicHTMLId='' ");
    EXPECT_EQ(Words("Field 1", 19, 0), "Fieldname=Subject");
    EXPECT_EQ(Words("URLLink 1", 31, 0), "Target=_blank");
    EXPECT_EQ(Words("Layer 1", 29, 17),
              "ZIndex=3 Scheme=absolute BrowserLeftOffset=0 BrowserRightOffset=0 Top='1.000000in' Left='auto' ");
    EXPECT_EQ(Words("Layer 1", 29, 14), "");
    EXPECT_EQ(Words("HorizontalRule 1", 27, 12), "FitToWindow='Yes' Width='100%' Height='0.0' ");
    EXPECT_EQ(item_.modified, 0);
}

TEST_F(TargetPropertiesTest, GraphicPropertiesChangeOrAddRecordsInsideTheGraphicsBracket) {
    const Records body = Join({engine_test::Runs({"a"}),
                               GifPicture(GifData(16, 16, 40), 16, 16,
                                          {HeadAndText(kSigAltText, 12, 4, "old"), HeadAndText(kSigCaption, 32, 4, "Cap")}),
                               {engine_test::Text("b"), Graphic(), BitmapHeader(8, 8), engine_test::Text("c")}});
    ASSERT_NE(Open(body), nullptr);

    // A wrapped graphic: alternate text and caption changed, the missing
    // attributes and border added before the bracket's end.
    EXPECT_EQ(Set("Graphic 1", 15,
                  "AltText='new text' Caption='CAP' CaptionPosition=Centered CaptionFont=RED "
                  "GraphicHTMLClass=big BorderStyle=SOLID"),
              0);
    // An unwrapped graphic gets a bracket holding its new alternate text.
    EXPECT_EQ(Set("Graphic 2", 15, "AltText=x"), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records, 3),
              (std::vector<std::uint16_t>{kSigBegin, kSigGraphic, kSigImageHeader, kSigImageSegment, kSigAltText,
                                          kSigCaption, kSigIdName, kSigBorder, kSigEnd, kSigText, kSigBegin,
                                          kSigGraphic, kSigBitmapHeader, kSigAltText, kSigEnd, kSigText, kSigText}));
    EXPECT_EQ(records[7].Text(4, 12), "new text");
    EXPECT_EQ(records[7].bytes.size(), 20u);
    EXPECT_EQ(records[8].Text(4, 32), "CAP");
    EXPECT_EQ(records[8].bytes.size(), 35u);         // changed in place
    EXPECT_EQ(records[8].bytes[6], 1);               // centred
    EXPECT_EQ(records[8].Word(12), 1);               // with its colour
    EXPECT_EQ(records[8].bytes[14], 255);
    EXPECT_EQ(records[9].Text(6, 26), "big");
    EXPECT_EQ(records[16].Text(4, 12), "x");

    // A longer caption is a new record of 32 + length bytes, made even; a
    // second run adds nothing twice.
    EXPECT_EQ(Set("Graphic 1", 15, "Caption='Longer' CaptionPosition=Bottom AltText=again"), 0);
    records = Saved();
    const Rec* caption = Find(records, kSigCaption);
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->Text(4, 32), "Longer");
    EXPECT_EQ(caption->Word(2), 38);
    EXPECT_EQ(caption->bytes[6], 0);
    int altTexts = 0;
    for (const Rec& record : records) altTexts += record.signature == kSigAltText ? 1 : 0;
    EXPECT_EQ(altTexts, 2);
}

TEST_F(TargetPropertiesTest, LayerPropertiesChangeItsPositionSizeBackgroundAndAttributes) {
    ASSERT_NE(Open(Join({engine_test::Runs({"a"}), Layer(true)})), nullptr);
    EXPECT_EQ(Set("Layer 1", 29,
                  "Scheme=relative ZIndex=7 Top=150px Left=2in Width=50% BrowserLeftOffset=-2.5 "
                  "BackgroundRepeat=centre BackgroundImage=other.gif LayerHTMLID=main"),
              0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records, 3, 8), (std::vector<std::uint16_t>{kSigBegin, kSigLayer, kSigIdName,
                                                                     kSigPositioning, kSigBoxSize}));
    const Rec* position = Find(records, kSigPositioning);
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->bytes[2], 2);
    EXPECT_EQ(position->Dword(4), 7u);
    EXPECT_EQ(position->Double(16), 150.0);
    EXPECT_EQ(position->bytes[24], 2);
    EXPECT_EQ(position->Double(40), 2880.0);
    EXPECT_EQ(position->bytes[48], 1);
    EXPECT_EQ(position->Double(104), -2.5);
    const Rec* box = Find(records, kSigBoxSize);
    EXPECT_EQ(box->Double(16), 50.0);
    EXPECT_EQ(box->bytes[24], 3);
    EXPECT_EQ(Find(records, kSigBackground, 8)->bytes[2], 6);
    EXPECT_EQ(Find(records, kSigHref)->Text(12, 36), "other.gif");
    EXPECT_EQ(Find(records, kSigIdName)->Text(4, 26), "main");

    // Values that name nothing change nothing.
    EXPECT_EQ(Set("Layer 1", 29, "Scheme=Absolutely BackgroundRepeat=sideways"), 0);
    records = Saved();
    EXPECT_EQ(Find(records, kSigPositioning)->bytes[2], 2);
    EXPECT_EQ(Find(records, kSigBackground, 8)->bytes[2], 6);
    EXPECT_EQ(Set("Layer 1", 29, "BackgroundRepeat=sizes"), 0);
    records = Saved();
    EXPECT_EQ(Find(records, kSigBackground, 8)->bytes[2], 5);
}

TEST_F(TargetPropertiesTest, UrlLinksGetOneFrameTargetAndOneAttributeRecord) {
    ASSERT_NE(Open(Join({engine_test::Runs({"a"}), UrlLink(nullptr, false), UrlLink("_self", true)})), nullptr);
    EXPECT_EQ(Set("URLLink 1", 31, "Target=_top ID=first"), 0);
    std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records, 3, 8),
              (std::vector<std::uint16_t>{kSigUrlBegin, kSigTarget, kSigText, kSigIdName, kSigUrlEnd}));
    EXPECT_EQ(records[4].Text(4, 12), "_top");
    EXPECT_EQ(records[6].Text(4, 26), "first");

    // An existing target and attribute record are rewritten, none added.
    EXPECT_EQ(Set("URLLink 2", 31, "Target=_parent Class=wide"), 0);
    records = Saved();
    EXPECT_EQ(Signatures(records, 8, 13),
              (std::vector<std::uint16_t>{kSigUrlBegin, kSigTarget, kSigIdName, kSigText, kSigUrlEnd}));
    EXPECT_EQ(records[9].Text(4, 12), "_parent");
    EXPECT_EQ(records[10].Text(4, 26), "old");
    EXPECT_EQ(records[10].Text(6, 29), "wide");
    EXPECT_EQ(Words("URLLink 2", 31, 0), "Target=_parent");
}

TEST_F(TargetPropertiesTest, RulesTakeTheirOptionsAndParagraphsGetOneBorder) {
    ASSERT_NE(Open(Join({engine_test::Runs({"a"}), {Rule(0x5, 100, 25, 2)}, {engine_test::Text("b")}})), nullptr);
    EXPECT_EQ(Words("HorizontalRule 1", 27, 12), "FitToWindow='Yes' Color='Red' Width='100%' Height='0.0' ");
    EXPECT_EQ(Set("HorizontalRule 1", 27, "FitToWindow=No Color=none"), 0);
    const std::vector<Rec> saved = Saved();
    const Rec* rule = Find(saved, kSigRule);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->Dword(4), 0u);
    EXPECT_EQ(rule->Word(12), 0xFFFF);
    EXPECT_EQ(rule->Word(8), 100);
    EXPECT_EQ(Words("HorizontalRule 1", 27, 12), "Width='0.1' Height='0.0' ");

    // A colour given by its value is kept as the nearest colour the rule's
    // index holds, never as black; one given by name or number as before.
    for (const char* given : {"Color=RGB250,5,5", "Color=#FE0101", "Color=fe0303", "Color=RGB255,0,0"}) {
        SCOPED_TRACE(given);
        ASSERT_NE(Open(Join({engine_test::Runs({"a"}), {Rule(0x4, 100, 25, 0xFFFF)}, {engine_test::Text("b")}})),
                  nullptr);
        EXPECT_EQ(Set("HorizontalRule 1", 27, given), 0);
        const std::vector<Rec> records = Saved();
        const Rec* red = Find(records, kSigRule);
        ASSERT_NE(red, nullptr);
        EXPECT_EQ(red->Dword(4), 0x5u);
        EXPECT_EQ(red->Word(12), 2);
        EXPECT_EQ(Words("HorizontalRule 1", 27, 8), "Color='Red' ");
    }
    for (const char* given : {"Color=#123456", "GradientColor=RGB18,52,86"}) {
        SCOPED_TRACE(given);
        ASSERT_NE(Open(Join({engine_test::Runs({"a"}), {Rule(0x4, 100, 25, 0xFFFF)}, {engine_test::Text("b")}})),
                  nullptr);
        EXPECT_EQ(Set("HorizontalRule 1", 27, given), 0);
        const std::vector<Rec> records = Saved();
        const Rec* other = Find(records, kSigRule);
        ASSERT_NE(other, nullptr);
        EXPECT_NE(other->Word(given[0] == 'C' ? 12 : 14), 0);
        EXPECT_NE(other->Word(given[0] == 'C' ? 12 : 14), 0xFFFF);
    }
    ASSERT_NE(Open(Join({engine_test::Runs({"a"}), {Rule(0x4, 100, 25, 0xFFFF)}, {engine_test::Text("b")}})), nullptr);
    EXPECT_EQ(Set("HorizontalRule 1", 27, "Color=Blue"), 0);
    EXPECT_EQ(Words("HorizontalRule 1", 27, 12), "FitToWindow='Yes' Color='Blue' Width='100%' Height='0.0' ");

    ASSERT_NE(Open(engine_test::Runs({"a"})), nullptr);
    EXPECT_EQ(Set("Paragraph 1", 21, "BorderStyle=SOLID BorderThicknessTop=2"), 0);
    EXPECT_EQ(Set("Paragraph 1", 21, "BorderStyle=SOLID"), 0);
    const std::vector<Rec> records = Saved();
    EXPECT_EQ(Signatures(records, 0, 3), (std::vector<std::uint16_t>{kSigDefinition, kSigReference, kSigBorder}));
    int borders = 0;
    for (const Rec& record : records) borders += record.signature == kSigBorder ? 1 : 0;
    EXPECT_EQ(borders, 1);
}

} // namespace
