#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "core/chunk_definition.h"
#include "core/chunk_types.h"

namespace {

using talix::CalculateDefinition;
using talix::ChunkDefInfo;
using talix::ChunkTypeName;
using talix::CopyChunkLevel;
using talix::FindChunkType;
using talix::FreeChunkDefinition;
using talix::kChunkTypeCount;
using talix::kMatchStarts;
using talix::kRelBefore;
using talix::kRelEverything;
using talix::kRelInside;
using talix::kRelPlain;
using talix::kTypeEverything;
using talix::kTypeRow;
using talix::kTypeTable;
using talix::ParseChunkDefinition;

// Parses a definition (after outer, which may be null) and renders it back;
// nothing when it does not parse.
std::optional<std::string> Render(const char* text, const ChunkDefInfo* outer = nullptr,
                                  std::uint32_t* single = nullptr) {
    ChunkDefInfo* chain = ParseChunkDefinition(nullptr, 0, outer, text, single);
    if (chain == nullptr) return std::nullopt;
    char out[4096];
    CalculateDefinition(chain, out, sizeof out);
    FreeChunkDefinition(chain);
    return std::string(out);
}

struct ChainDeleter {
    void operator()(ChunkDefInfo* chain) const { FreeChunkDefinition(chain); }
};
using Chain = std::unique_ptr<ChunkDefInfo, ChainDeleter>;

Chain Parse(const char* text) { return Chain(ParseChunkDefinition(nullptr, 0, nullptr, text, nullptr)); }

TEST(ChunkDefinition, DefinitionsRenderInCanonicalForm) {
    const struct {
        const char* text;
        const char* rendered;
    } cases[] = {
        {"Everything", "Everything"},
        {"everything else", "Everything"},
        {"table 2", "Table 2"},
        {"Table 1; Row 2-3,5", "Table 1; Row 2-3,5"},
        {"Inside Table 1; Row 2-3,5", "Inside Table 1; Row 2-3,5"},
        {"Table 1; Row 3-2", "Table 1; Row 3"},
        {"Table 1; Row 1; Column 2", "Table 1; Row 1; Column 2"},
        {"Table 1;;  Column *", "Table 1; Column *"},
        {"Table 1;", "Table 1"},
        {"Inside Table", "Inside Table 1"},
        {"Outside Section 2", "Outside Section 2"},
        {"Before Graphic 1", "Before Graphic 1"},
        {"After Button 3", "After Button 3"},
        {"Contains Field 4", "Field 4"},
        {"Starts With Table 1", "Starts With Table 1"},
        {"Ends Table 2", "Ends With Table 2"},
        {"Rows 4", "Row 4"},   // only after a table or column level
        {"HorizontalRule 1", "HR 1"},
        {"LayoutRegion 2", "LayoutRegion 2"},
        {"ParagraphList 1", "ParagraphList 1"},
        {"GraphicHotspot 2", "GraphicHotspot 2"},
        {"ImageHotspot 1", "GraphicHotspot 1"},
        {"Text Starts 'Hello World' 2", "Text Starts \"Hello World\" 2"},
        {"Section |Intro|", "Section \"Intro\" 1"},
        {"Text Ends \"end.\"", "Text Ends \"end.\" 1"},
        {"Text Substring 'x' 1,3-4", "Text Substring \"x\" 1,3-4"},
        {"Field Name 'Subject'", "Field Name \"Subject\" 1"},
        {"Anchor ID 'top'", "Anchor ID \"top\" 1"},
        {"Text Words 7", "Text 7"},   // a digit before any quote: no match text
        {"Text 'say \"hi\"' 2", "Text 'say \"hi\"' 2"},
        {"Table 2 , 4", "Table 2,4"},
        {"Table 2,x", "Table 2,0"},
        {"Table 99999", "Table 65535"},
    };
    ChunkDefInfo table{};
    table.relation = kRelPlain;
    table.elementType = kTypeTable;
    for (const auto& c : cases) {
        // "Rows 4" needs a table level before it.
        const ChunkDefInfo* outer = std::string(c.text).rfind("Rows", 0) == 0 ? &table : nullptr;
        EXPECT_EQ(Render(c.text, outer), std::optional<std::string>(c.rendered)) << c.text;
    }
}

TEST(ChunkDefinition, RenderedTextsParseToTheSameChain) {
    for (const char* text : {"Starts With Table 1", "Ends With Table 1", "Text Starts \"Hello\" 2",
                             "Text 'a \"quoted\" word' 3", "Inside Section 2; Text *", "GraphicHotspot 4",
                             "HorizontalRule 2", "Inside HR 1; Text *", "Table ID 'prices'; Row 2",
                             "Layer Name 'top' 2", "Contains Everything 2", "Table 1; Contains Everything"}) {
        auto once = Render(text);
        ASSERT_TRUE(once.has_value()) << text;
        EXPECT_EQ(Render(once->c_str()), once) << text;
        // The written text reads back to levels that compare alike.
        Chain given = Parse(text);
        Chain again = Parse(once->c_str());
        const ChunkDefInfo* a = given.get();
        const ChunkDefInfo* b = again.get();
        for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
            EXPECT_EQ(a->relation, b->relation) << text;
            EXPECT_EQ(a->elementType, b->elementType) << text;
            EXPECT_EQ(a->matchKind, b->matchKind) << text;
            EXPECT_EQ(std::string(a->matchText != nullptr ? a->matchText : ""),
                      std::string(b->matchText != nullptr ? b->matchText : ""))
                << text;
        }
        EXPECT_TRUE(a == nullptr && b == nullptr) << text;
    }
}

TEST(ChunkDefinition, LevelsHoldWhatTheTextSays) {
    Chain everything = Parse("Everything");
    ASSERT_TRUE(everything);
    EXPECT_EQ(everything->relation, kRelEverything);
    EXPECT_EQ(everything->elementType, kTypeEverything);
    EXPECT_EQ(everything->occurrenceCount, 0);
    EXPECT_EQ(everything->next, nullptr);

    Chain text = Parse("Text Starts 'Hello World' 2");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->relation, kRelPlain);
    EXPECT_EQ(text->elementType, 9);
    EXPECT_EQ(text->matchKind, kMatchStarts);
    EXPECT_STREQ(text->matchText, "Hello World");
    EXPECT_EQ(text->hasMatchText, 1u);
    EXPECT_EQ(text->occurrenceCount, 1);
    EXPECT_EQ(text->occurrenceStart[0], 2);

    Chain rows = Parse("Table 1; Row 2-3,5");
    ASSERT_TRUE(rows && rows->next);
    const ChunkDefInfo* row = rows->next;
    EXPECT_EQ(row->elementType, kTypeRow);
    ASSERT_EQ(row->occurrenceCount, 2);
    EXPECT_EQ(row->occurrenceStart[0], 2);
    EXPECT_EQ(row->occurrenceEnd[0], 3);
    EXPECT_EQ(row->occurrenceStart[1], 5);
    EXPECT_EQ(row->occurrenceEnd[1], 0);
}

TEST(ChunkDefinition, TextsThatDoNotParse) {
    for (const char* text : {"", "Table", "Table 1; ", "   ", "Bogus 1", "Row 1", "Column 2",
                             "Section 1; Row 1", "Table 1; Column 1; Column 2", "Before Table 1; Row 2",
                             "Starts With", "Inside", "Text 'a;b' 1"}) {
        EXPECT_EQ(Render(text), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(ParseChunkDefinition(nullptr, 0, nullptr, nullptr, nullptr), nullptr);

    // The parser says why, and which part of the text it refused.
    talix::DefinitionFault fault;
    EXPECT_EQ(ParseChunkDefinition(nullptr, 0, nullptr, "Table 1; Bogus 2; Row 1", nullptr, nullptr, &fault),
              nullptr);
    EXPECT_EQ(fault.kind, talix::DefinitionFaultKind::kUnknownType);
    EXPECT_EQ(fault.partBegin, 8u);
    EXPECT_EQ(fault.partEnd, 16u);
    EXPECT_EQ(ParseChunkDefinition(nullptr, 0, nullptr, "Section 1; Column 2", nullptr, nullptr, &fault), nullptr);
    EXPECT_EQ(fault.kind, talix::DefinitionFaultKind::kMisplacedColumn);
    EXPECT_EQ(fault.partBegin, 10u);
    Chain parsed(ParseChunkDefinition(nullptr, 0, nullptr, "Table 1", nullptr, nullptr, &fault));
    EXPECT_TRUE(parsed && fault.kind == talix::DefinitionFaultKind::kNone);

    // Occurrences count from 1: a negative number, where an occurrence or a
    // range end is read, is refused rather than read as its digits.
    for (const char* text : {"Paragraph -1", "Paragraph  - 2", "Table 1; Row -3", "Table 1,-2", "Table 2--3",
                             "Text Starts -1", "Text 'x' -1", "Table 1, -2-4"}) {
        EXPECT_EQ(Render(text), std::nullopt) << '"' << text << '"';
    }
    // Words after the type that are neither a text in quotes nor followed by
    // occurrences name no element: refused, not read as the first one.
    for (const char* text : {"Table two", "Text Substr Hello", "Table 1; Row first", "Text Starts", "Inside Table ."}) {
        EXPECT_EQ(ParseChunkDefinition(nullptr, 0, nullptr, text, nullptr, nullptr, &fault), nullptr) << text;
        EXPECT_EQ(fault.kind, talix::DefinitionFaultKind::kStrayWords) << text;
    }
    EXPECT_EQ(Render("Table number 2"), std::optional<std::string>("Table 2"));
    EXPECT_EQ(Render("Text Starts 'two'"), std::optional<std::string>("Text Starts \"two\" 1"));
    EXPECT_EQ(Render("Table  "), std::optional<std::string>("Table 1"));

    // A dash between two numbers is a range, blanks or not.
    EXPECT_EQ(Render("Table 2 - 4"), std::optional<std::string>("Table 2-4"));
    EXPECT_EQ(Render("Text 'a-1' 2"), std::optional<std::string>("Text \"a-1\" 2"));

    // A level holds at most 100 occurrences; a longer list is refused.
    std::string hundred = "Table 1";
    for (int i = 2; i <= 100; ++i) hundred += "," + std::to_string(i);
    EXPECT_TRUE(Render(hundred.c_str()).has_value());
    EXPECT_EQ(Render((hundred + ",101").c_str()), std::nullopt);
}

TEST(ChunkDefinition, RowAndColumnFollowTheOuterLevel) {
    ChunkDefInfo table{};
    table.relation = kRelPlain;
    table.elementType = kTypeTable;
    EXPECT_EQ(Render("Row 1", &table), "Row 1");
    EXPECT_EQ(Render("Column 2; Row 1", &table), "Column 2; Row 1");
    ChunkDefInfo inside = table;
    inside.relation = kRelInside;
    EXPECT_EQ(Render("Row 1", &inside), "Row 1");
    ChunkDefInfo before = table;
    before.relation = kRelBefore;
    EXPECT_EQ(Render("Row 1", &before), std::nullopt);
    ChunkDefInfo section = table;
    section.elementType = 4;
    EXPECT_EQ(Render("Column 1", &section), std::nullopt);
}

TEST(ChunkDefinition, SingleTargetOnlyForPlainSingleOccurrences) {
    const struct {
        const char* text;
        std::uint32_t single;
    } cases[] = {
        {"Table 1; Row 2; Column 3", 1}, {"Table 3-2", 1}, {"Table 2-3", 0}, {"Table *", 0},
        {"Table 1,2", 0},                {"Inside Table 1", 0}, {"Everything", 0}, {"Table 1; Text *", 0},
    };
    for (const auto& c : cases) {
        std::uint32_t single = 7;
        ASSERT_TRUE(Render(c.text, nullptr, &single).has_value()) << c.text;
        EXPECT_EQ(single, c.single) << c.text;
    }
}

TEST(ChunkDefinition, RenderingIsBoundedAndCopiesAreDeep) {
    char out[8];
    CalculateDefinition(nullptr, out, sizeof out);
    EXPECT_STREQ(out, "Everyth");

    Chain chain = Parse("Text Starts 'abc' 2; Table 1");
    ASSERT_TRUE(chain);
    ChunkDefInfo* copy = CopyChunkLevel(chain.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->next, nullptr);
    ASSERT_NE(copy->matchText, chain->matchText);
    EXPECT_STREQ(copy->matchText, "abc");
    char rendered[64];
    CalculateDefinition(copy, rendered, sizeof rendered);
    EXPECT_STREQ(rendered, "Text Starts \"abc\" 2");
    FreeChunkDefinition(copy);
}

TEST(ChunkTypes, NamesAndLookUp) {
    EXPECT_EQ(FindChunkType("Rows 3"), kTypeRow);
    EXPECT_EQ(FindChunkType("everything"), kTypeEverything);
    EXPECT_EQ(FindChunkType("Unknown"), kTypeEverything);
    EXPECT_EQ(FindChunkType(nullptr), kTypeEverything);
    EXPECT_EQ(FindChunkType("paragraphlist"), 36);
    EXPECT_EQ(FindChunkType("Paragraph"), 21);
    EXPECT_EQ(FindChunkType("GraphicHotspot"), 33);
    EXPECT_STREQ(ChunkTypeName(38, "Error"), "Error");
    // Every name looks itself up.
    for (std::uint16_t type = 0; type < kChunkTypeCount; ++type)
        EXPECT_EQ(FindChunkType(ChunkTypeName(type, "")), type) << type;
}

} // namespace
