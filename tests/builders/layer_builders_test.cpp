// Layers: box-model lengths read into length values, and the records of a
// layer read back from the output record list.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "builders/built_records.h"
#include "builders/layer_builders.h"
#include "core/item_work_state.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "engine/record_process.h"
#include "support/structure_checker.h"
#include "talix/item.h"
#include "talix/session.h"

namespace {

using talix::ReadDword;
using talix::ReadWord;

struct Length {
    std::uint16_t flags;
    double value;
    std::uint8_t unit;
    bool operator==(const Length& other) const {
        return flags == other.flags && value == other.value && unit == other.unit;
    }
};

std::ostream& operator<<(std::ostream& out, const Length& length) {
    return out << "{flags " << length.flags << ", " << length.value << ", unit " << int(length.unit) << "}";
}

Length ReadLength(const std::uint8_t* at) {
    Length length{};
    length.flags = ReadWord(at + talix::kLengthFlagsOffset);
    std::memcpy(&length.value, at + talix::kLengthNumberOffset, sizeof length.value);
    length.unit = at[talix::kLengthUnitOffset];
    return length;
}

// A fresh length value, then each text parsed into it in turn.
Length Parse(std::initializer_list<const char*> texts, std::uint32_t keepUnit) {
    std::uint8_t value[talix::kLengthValueSize] = {};
    for (const char* text : texts) talix::ParseLayerLength(value, text, keepUnit);
    return ReadLength(value);
}

TEST(LayerLengths, TextsBecomeLengthsAndUnits) {
    EXPECT_EQ(Parse({"1.5in"}, 1), (Length{0, 2160, talix::kUnitTwips}));
    EXPECT_EQ(Parse({"150px"}, 1), (Length{0, 150, talix::kUnitPixels}));
    EXPECT_EQ(Parse({"50%"}, 1), (Length{0, 50, talix::kUnitPercent}));
    EXPECT_EQ(Parse({"2em"}, 0), (Length{0, 2, talix::kUnitEm}));
    EXPECT_EQ(Parse({"3ex"}, 0), (Length{0, 3, talix::kUnitEx}));
    EXPECT_EQ(Parse({"4ch"}, 0), (Length{0, 4, talix::kUnitCh}));
    EXPECT_EQ(Parse({"auto"}, 1), (Length{talix::kLengthAuto, 0, talix::kUnitNone}));
    EXPECT_EQ(Parse({"inherit"}, 1), (Length{talix::kLengthInherit, 0, talix::kUnitNone}));
    // A bare number: pixels for keep-unit 0, else the unit the value had.
    EXPECT_EQ(Parse({"12"}, 0), (Length{0, 12, talix::kUnitPixels}));
    EXPECT_EQ(Parse({"12"}, 1), (Length{0, 12, talix::kUnitNone}));
    EXPECT_EQ(Parse({"50%", "12"}, 1), (Length{0, 12, talix::kUnitPercent}));
    // A number given after "auto" is no longer auto.
    EXPECT_EQ(Parse({"auto", "10px"}, 1), (Length{0, 10, talix::kUnitPixels}));
    EXPECT_EQ(Parse({"10px", "auto"}, 0), (Length{talix::kLengthAuto, 10, talix::kUnitPixels}));
}

class LayerBuilder : public ::testing::Test {
protected:
    LayerBuilder() : context_(talix_test::OutputContext(&session_, &item_)) {
        // The ready-made current paragraph definition of a run.
        talix::CDPABDEFEXT definition;
        definition.length = 72;
        definition.pabId = 1;
        definition.leftMargin = 1440;
        definition.tab[0] = 720;
        std::memcpy(context_->paragraphDefinition, &definition, sizeof definition);
        context_->paragraphDefinitionLength = 72;
    }
    std::vector<const talix::CDRecordNode*> Nodes() const { return talix_test::ListNodes(item_.work->output); }
    std::vector<std::uint16_t> Signatures() const { return talix_test::ListSignatures(item_.work->output); }

    RARIvoSession session_;
    ZervaRTItem item_{&session_};
    std::unique_ptr<talix::RecordProcessContext> context_;
};

TEST_F(LayerBuilder, ALayerHoldsItsPositionBackgroundParagraphAndText) {
    const char formula[] = "\x01\x02\x03";
    std::memcpy(session_.textResult, formula, 3);
    session_.textResultLength = 3;
    ASSERT_EQ(talix::AppendLayerRecords(7, context_.get(),
                                        "Scheme=relative right=2em BrowserLeftOffset=1.25 BackgroundImage=sky.gif "
                                        "BackgroundFilePath=img BackgroundReplica=0000000A0000000B "
                                        "BackgroundRepeat=vertical BackgroundColor=RGB255,128,0 "
                                        "LayerHTMLID=box Text='Hello there' TextFont='Courier 14 BOLD'",
                                        "auto;150px;250px;auto"),
              0);
    EXPECT_EQ(Signatures(), (std::vector<std::uint16_t>{0xDD, 0x6C, 0xFF7A, 0x6B, 0x6A, 0xDD, 0x72, 0xFFF6, 0x63,
                                                        0xDE, 0x81, 0xFF82, 0xFFBB, 0x83, 0xFF85, 0xDE}));
    const auto nodes = Nodes();
    EXPECT_EQ(ReadWord(nodes[0]->bytes + 2), 2);
    EXPECT_EQ(ReadWord(nodes[0]->bytes + 4), 0x6C);
    EXPECT_EQ(nodes[1]->length, 20u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[2]->bytes + 26), 3), "box");

    const std::uint8_t* position = nodes[3]->bytes;
    EXPECT_EQ(position[talix::kPositioningScheme], 2);
    EXPECT_EQ(ReadDword(position + talix::kPositioningZIndex), 7u);
    EXPECT_EQ(ReadLength(position + talix::kPositioningTop), (Length{talix::kLengthAuto, 0, talix::kUnitNone}));
    EXPECT_EQ(ReadLength(position + talix::kPositioningLeft), (Length{0, 150, talix::kUnitPixels}));
    EXPECT_EQ(ReadLength(position + talix::kPositioningRight), (Length{0, 2, talix::kUnitEm}));
    double offset = 0;
    std::memcpy(&offset, position + talix::kPositioningBrowserLeft, sizeof offset);
    EXPECT_EQ(offset, 1.25);
    const std::uint8_t* box = nodes[4]->bytes;
    EXPECT_EQ(ReadLength(box + talix::kBoxSizeWidth), (Length{0, 250, talix::kUnitPixels}));
    EXPECT_EQ(ReadLength(box + talix::kBoxSizeHeight), (Length{talix::kLengthAuto, 0, talix::kUnitNone}));

    EXPECT_EQ(ReadWord(nodes[5]->bytes + 4), 0x63);
    EXPECT_EQ(std::vector<std::uint8_t>(nodes[6]->bytes + 2, nodes[6]->bytes + 7),
              (std::vector<std::uint8_t>{1, 0, 255, 128, 0}));
    const auto* reference = nodes[7];
    EXPECT_EQ(ReadWord(reference->bytes + 2), 36 + 7 + 3);
    EXPECT_EQ(ReadDword(reference->bytes + 4), 12u);
    EXPECT_EQ(ReadWord(reference->bytes + 16), 3);
    EXPECT_EQ(ReadDword(reference->bytes + 31), 0x0000000Bu);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(reference->bytes + 39), 7), "sky.gif");
    EXPECT_EQ(nodes[8]->bytes[2], 2);

    // A new paragraph, hidden by the formula, referenced, with the text in
    // the layer's font; the font becomes the item's font for new text.
    const std::uint16_t id = ReadWord(nodes[11]->bytes + 4);
    EXPECT_GT(id, 0);
    EXPECT_NE(ReadWord(nodes[11]->bytes + 62) & 0x0800, 0);
    EXPECT_EQ(ReadWord(nodes[12]->bytes + 4), id);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(nodes[12]->bytes + 14), 3), formula);
    EXPECT_EQ(ReadWord(nodes[13]->bytes + 2), id);
    const auto* text = nodes[14];
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(text->bytes + 8), text->length - 8), "Hello there");
    EXPECT_EQ(text->bytes[4], 4);    // Courier
    EXPECT_EQ(text->bytes[5], 1);    // bold
    EXPECT_EQ(text->bytes[7], 14);
    EXPECT_EQ(item_.work->textTemplate[7], 14);
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");
}

TEST_F(LayerBuilder, APlainLayerStillHoldsOneEmptyRun) {
    // No position text, no formula: absolute, 100px by 100px; a background
    // block opened by the style-sheet keyword alone is closed again.
    ASSERT_EQ(talix::AppendLayerRecords(0, context_.get(), "top=12 width=12 background-image=url(x)", nullptr), 0);
    EXPECT_EQ(Signatures(),
              (std::vector<std::uint16_t>{0xDD, 0x6C, 0x6B, 0x6A, 0xDD, 0xDE, 0x81, 0xFF82, 0x83, 0xFF85, 0xDE}));
    const auto nodes = Nodes();
    EXPECT_EQ(nodes[2]->bytes[talix::kPositioningScheme], 1);
    EXPECT_EQ(ReadLength(nodes[2]->bytes + talix::kPositioningTop), (Length{0, 12, talix::kUnitNone}));
    EXPECT_EQ(ReadLength(nodes[3]->bytes + talix::kBoxSizeWidth), (Length{0, 12, talix::kUnitPixels}));
    EXPECT_EQ(ReadLength(nodes[3]->bytes + talix::kBoxSizeHeight), (Length{0, 100, talix::kUnitPixels}));
    EXPECT_EQ(ReadWord(nodes[7]->bytes + 62) & 0x0800, 0);
    EXPECT_EQ(nodes[9]->length, 8u);
    EXPECT_EQ(talix_test::CheckStructure(item_.work->output), "");
}

} // namespace
