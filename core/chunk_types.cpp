// The element types a chunk-definition level can name: their names, the
// chunk-type table the matcher reads, and the property names each type
// answers to.
#include "core/chunk_types.h"

#include <array>
#include <cstring>
#include <initializer_list>

#include "core/chunk_type_table.h"
#include "core/signatures.h"
#include "core/text_compare.h"

namespace talix {

namespace {

// Indexed by type number.
constexpr const char* kChunkTypeNames[kChunkTypeCount] = {
    "Everything", "Table",        "Hotspot",      "Button",       "Section",      "Row",
    "Column",     "File",         "Doclink",      "Text",         "StylizedText", "RawText",
    "Record",     "OleObject",    "Anchor",       "Graphic",      "Hyperlink",    "ActionHotspot",
    "Popup",      "Field",        "Event",        "Paragraph",    "XML",          "Subform",
    "ComputedText", "HTML",       "XHTML",        "HR",           "PassthruHTML", "Layer",
    "LayoutRegion", "URLLink",    "ImageMap",     "GraphicHotspot", "Ignored",    "NonBlankText",
    "ParagraphList", "DelimitedHTML",
};

// Signatures the rows share.
#define HOTSPOT_SIGS {kSigV4HotspotBegin, kSigHotspotBegin, kSigV5HotspotBegin, kSigV6HotspotBeginContinuation}
#define HOTSPOT_END {kSigV4HotspotEnd, kSigHotspotEnd}
#define HOTSPOT_MEMBERS {kSigV4HotspotBegin, kSigHotspotBegin, kSigV4HotspotEnd, kSigHotspotEnd}
#define TEXT_START {kSigText, kSigTextEffect, kSigBidiText, kSigBidiTextEffect}
#define TEXT_PAIR {kSigText, kSigBidiText}
#define PARAGRAPH_START {kSigParagraph, kSigPabReference, kSigPabDefinition}
#define PARAGRAPH_END {kSigTableEnd, kSigNestedTableEnd, kSigTableCell, kSigNestedTableCell}
#define PARAGRAPH_MEMBERS {kSigParagraph, kSigPabReference, kSigPabDefinition, kSigPabFormRef, kSigPabHide}
#define TABLE_START {kSigTableBegin, kSigPreTableBegin, kSigNestedTableBegin}
#define CELLS {kSigTableCell, kSigNestedTableCell}
#define CELL_END {kSigTableCell, kSigTableEnd, kSigNestedTableCell, kSigNestedTableEnd}
#define LINKS {kSigLinkExport2, kSigLink2}
#define FIELD_MEMBERS {kSigField, kSigExtField, kSigExt2Field, kSigEmbeddedCtl}

// Indexed by type; row 0 (Everything) is unused. The sub-kind offsets, the
// position bytes and two flag offsets are filled in by FilledRows (below).
constexpr ChunkTypeRow kWrittenRows[kChunkTypeCount] = {
    {},
    {.type = 1, .start = TABLE_START, .wrapper = TABLE_START, .end = {kSigTableEnd, kSigNestedTableEnd},
     .members = {kSigTableBegin, kSigTableEnd, kSigTableCell, kSigPreTableBegin, kSigNestedTableBegin,
                 kSigNestedTableCell, kSigNestedTableEnd},
     .freeStanding = 1},
    {.type = 2, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS,
     .freeStanding = 1},
    {.type = 3, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {3},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 4, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 3, .subKinds = {12, 7, 13},
     .end = HOTSPOT_END, .members = {kSigV4HotspotBegin, kSigHotspotBegin, kSigV4HotspotEnd, kSigHotspotEnd, kSigBar},
     .freeStanding = 1},
    {.type = 5, .start = CELLS, .wrapper = CELLS, .end = CELL_END, .members = CELLS, .endKept = 1},
    {.type = 6, .start = CELLS, .wrapper = CELLS, .end = CELL_END, .members = CELLS, .endKept = 1},
    {.type = 7, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {4},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 8, .start = LINKS, .wrapper = LINKS, .end = LINKS, .freeStanding = 1, .single = 1, .endKept = 1},
    {.type = 9, .start = {kSigText, kSigTextEffect, kSigText, kSigBidiTextEffect}, .wrapper = TEXT_PAIR,
     .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1, .single = 1, .endKept = 1},
    {.type = 10, .start = TEXT_START, .wrapper = TEXT_PAIR, .end = TEXT_PAIR,
     .members = {kSigText, kSigPabReference, kSigParagraph, kSigPabDefinition, kSigBidiText}, .freeStanding = 1,
     .endKept = 1},
    {.type = 11, .start = TEXT_PAIR, .wrapper = TEXT_PAIR, .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 12, .freeStanding = 1, .single = 1},
    {.type = 13, .start = {kSigOleBegin}, .wrapper = {kSigOleBegin}, .end = {kSigOleEnd},
     .members = {kSigOleBegin, kSigOleEnd}, .freeStanding = 1},
    {.type = 14, .start = {kSigAnchor}, .wrapper = {kSigAnchor}, .end = {kSigAnchor}, .members = {kSigAnchor},
     .freeStanding = 1, .single = 1, .endKept = 1},
    {.type = 15, .start = {kSigGraphic}, .wrapper = {kSigGraphic},
     .end = {kSigGraphic, kSigText, kSigParagraph, kSigHotspotEnd, kSigV4HotspotEnd}, .freeStanding = 1,
     .endKept = 1},
    {.type = 16, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {11, 32},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 17, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {2},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 18, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {1, 22},
     .excludedCount = 1, .excluded = {0x40000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 19, .start = {kSigField, kSigExt2Field, kSigEmbeddedCtl},
     .wrapper = {kSigField, kSigEmbeddedCtl, kSigExt2Field}, .end = FIELD_MEMBERS, .members = FIELD_MEMBERS,
     .freeStanding = 1, .single = 1},
    {.type = 20, .start = {kSigEvent}, .wrapper = {kSigEvent},
     .end = {kSigEnd, kSigField, kSigEmbeddedCtl, kSigText, kSigAreaElement}, .freeStanding = 1, .endKept = 1},
    {.type = 21, .start = PARAGRAPH_START, .end = PARAGRAPH_END, .members = PARAGRAPH_MEMBERS, .freeStanding = 1,
     .endKept = 1},
    {.type = 22, .start = TEXT_START, .wrapper = TEXT_PAIR, .markers = {"<?xml", "<xml", "<!-- /xml", "</xml>"},
     .end = TEXT_PAIR, .members = TEXT_START, .freeStanding = 1},
    {.type = 23, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {14},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 24, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {1},
     .requiredCount = 1, .required = {0x40000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 25, .start = TEXT_START, .wrapper = TEXT_PAIR,
     .markers = {"<html", "<!DOCTYPE html ", "</html>", nullptr}, .end = TEXT_PAIR, .members = TEXT_PAIR,
     .freeStanding = 1},
    {.type = 26, .start = TEXT_START, .wrapper = TEXT_PAIR, .markers = {"<!DOCTYPE xhtml ", nullptr, "</html>"},
     .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1},
    {.type = 27, .start = {kSigHorizontalRule}, .wrapper = {kSigHorizontalRule}, .end = {kSigHorizontalRule},
     .members = {kSigHorizontalRule}, .freeStanding = 1, .single = 1, .endKept = 1},
    {.type = 28, .start = {kSigHtmlBegin}, .wrapper = {kSigHtmlBegin}, .end = {kSigHtmlEnd},
     .members = {kSigHtmlBegin, kSigHtmlEnd}, .freeStanding = 1},
    {.type = 29, .start = {kSigLayer}, .wrapper = {kSigLayer}, .end = {kSigLayer},
     .members = {kSigLayer, kSigIdName, kSigPositioning, kSigBoxSize, kSigBackgroundColor, kSigBackgroundProperties},
     .freeStanding = 1, .positioned = 1},
    {.type = 30, .start = {kSigLayout}, .wrapper = {kSigLayout}, .end = {kSigLayoutEnd},
     .members = {kSigLayout, kSigLayoutEnd}, .freeStanding = 1},
    {.type = 31, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {11, 32},
     .requiredCount = 1, .required = {0x1000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 32, .start = {kSigMapElement}, .wrapper = {kSigMapElement}, .end = {kSigMapElement},
     .members = {kSigMapElement}, .freeStanding = 1, .positioned = 1},
    {.type = 33, .start = {kSigAreaElement}, .wrapper = {kSigAreaElement}, .end = {kSigAreaElement},
     .members = {kSigAreaElement}, .freeStanding = 1, .positioned = 1},
    {.type = 34, .start = {kSigIgnore}, .wrapper = {kSigIgnore}, .end = {kSigIgnore}, .members = {kSigIgnore},
     .freeStanding = 1},
    {.type = 35, .start = TEXT_START, .wrapper = TEXT_PAIR, .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 36, .start = PARAGRAPH_START, .end = PARAGRAPH_END, .members = PARAGRAPH_MEMBERS, .freeStanding = 1,
     .endKept = 1},
    {.type = 37, .start = TEXT_START, .wrapper = TEXT_PAIR, .markers = {"<html", "[<", ">]", nullptr},
     .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1},
};

#undef HOTSPOT_SIGS
#undef HOTSPOT_END
#undef HOTSPOT_MEMBERS
#undef TEXT_START
#undef TEXT_PAIR
#undef PARAGRAPH_START
#undef PARAGRAPH_END
#undef PARAGRAPH_MEMBERS
#undef TABLE_START
#undef CELLS
#undef CELL_END
#undef LINKS
#undef FIELD_MEMBERS

// The table with the columns filled that the rows above leave out: the
// hotspot types read their sub-kind from the hotspot type word at 4 and
// their flags from the flag word at 8; Row and Column read the row and
// column bytes of a cell record. A constant from then on.
constexpr std::array<ChunkTypeRow, kChunkTypeCount> FilledRows() {
    std::array<ChunkTypeRow, kChunkTypeCount> rows{};
    for (std::size_t type = 0; type < kChunkTypeCount; ++type) rows[type] = kWrittenRows[type];
    for (std::uint16_t type : {3, 4, 7, 16, 17, 18, 23, 24, 31}) rows[type].subKindOffset = 4;
    rows[5].positionField = 2;
    rows[6].positionField = 3;
    rows[18].excludedOffset = 8;
    rows[24].requiredOffset = 8;
    rows[31].requiredOffset = 8;
    return rows;
}
constexpr std::array<ChunkTypeRow, kChunkTypeCount> kRows = FilledRows();

// The property names of the types that have any; a type with a count but
// no names answers every request with all its properties.
constexpr const char* kTableProperties[] = {
    "TableWidth", "RowDisplay", "RowCycleMilliseconds", "Transition", "CellBorderStyle", "CellBorderColor",
    "TableColorStyle", "TableColor", "TableBodyColor", "BorderStyle", "BorderColor", "BorderEffects",
    "BorderShadow", "BorderThicknessLeft", "BorderThicknessTop", "BorderThicknessRight",
    "BorderThicknessBottom", "R4Spacing", "TableName", "TableHTMLId", "TableHTMLClass", "TableHTMLStyle",
    "TableHTMLTitle", "TableHTMLOther", "TableHTMLName", "TabSide", "TabsEqual", "TabsIndent", "TabFont",
};
constexpr const char* kGraphicProperties[] = {
    "AltText", "Caption", "GraphicHTMLId", "GraphicHTMLClass", "GraphicHTMLStyle", "GraphicHTMLTitle",
    "GraphicHTMLOther", "GraphicHTMLName",
};
constexpr const char* kLayerProperties[] = {
    "Top", "Left", "LayerHTMLId", "LayerHTMLClass", "LayerHTMLStyle", "LayerHTMLTitle", "LayerHTMLOther",
    "LayerHTMLName", "Scheme", "ZIndex", "BrowserLeftOffset", "BrowserRightOffset", "BackgroundImage",
    "BackgroundRepeat", "BackgroundColor", "Width", "Height",
};

constexpr std::uint16_t kTableTypeWithTabs = 1;
constexpr std::uint16_t kTabIndentPosition = 27;   // "TabsIndent"

struct TypeProperties {
    std::uint16_t type;
    std::uint16_t count;
    const char* const* names;
    std::uint16_t namedCount;
};

constexpr TypeProperties kTypeProperties[] = {
    {1, 29, kTableProperties, 29},  {15, 17, kGraphicProperties, 8}, {29, 17, kLayerProperties, 17},
    {27, 12, nullptr, 0},           {32, 1, nullptr, 0},             {33, 8, nullptr, 0},
};

} // namespace

const char* ChunkTypeName(std::uint16_t type, const char* defaultText) {
    return type < kChunkTypeCount ? kChunkTypeNames[type] : defaultText;
}

std::uint16_t FindChunkType(const char* text) {
    if (text == nullptr) return kTypeEverything;
    std::uint16_t found = kTypeEverything;
    std::size_t foundLength = 0;
    for (std::uint16_t type = 0; type < kChunkTypeCount; ++type) {
        std::size_t length = std::strlen(kChunkTypeNames[type]);
        if (length > foundLength && CompareNamesNoCase(text, kChunkTypeNames[type], length) == 0) {
            found = type;
            foundLength = length;
        }
    }
    return found;
}

const ChunkTypeRow* GetChunkTypeRow(std::uint16_t type) {
    if (type == kTypeEverything || type >= kChunkTypeCount) return nullptr;
    return &kRows[type];
}

std::uint16_t FindChunkTypeProperty(std::uint16_t type, const char* name) {
    for (const TypeProperties& entry : kTypeProperties) {
        if (entry.type != type) continue;
        if (name == nullptr || name[0] == '\0') return entry.count;
        for (std::uint16_t i = 0; i < entry.namedCount; ++i) {
            if (CompareNamesNoCase(name, entry.names[i]) == 0) return i;
        }
        // The table's tab indent is also named as its word is written.
        if (type == kTableTypeWithTabs && CompareNamesNoCase(name, "TabIndent") == 0) return kTabIndentPosition;
        return entry.count;
    }
    return 0;
}

} // namespace talix
