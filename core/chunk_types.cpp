// The element types a chunk-definition level can name: their names, the
// chunk-type table the matcher reads, and the property names each type
// answers to.
#include "core/chunk_types.h"

#include <strings.h>

#include <array>
#include <cstring>
#include <initializer_list>

#include "core/chunk_type_table.h"

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
#define HOTSPOT_SIGS {0xFFAD, 0xFFA9, 0xFF7E, 0xFF74}
#define HOTSPOT_END {0x00AE, 0x00AA}
#define HOTSPOT_MEMBERS {0xFFAD, 0xFFA9, 0x00AE, 0x00AA}
#define TEXT_START {0xFF85, 0xFFC3, 0xFFE4, 0xFFE5}
#define TEXT_PAIR {0xFF85, 0xFFE4}
#define PARAGRAPH_START {0x0081, 0x0083, 0xFF82}
#define PARAGRAPH_END {0x00A5, 0x00D1, 0x00A4, 0x00D0}
#define PARAGRAPH_MEMBERS {0x0081, 0x0083, 0xFF82, 0x00BC, 0xFFBB}

// Indexed by type; row 0 (Everything) is unused. The sub-kind offsets, the
// position bytes and two flag offsets are filled in by FilledRows (below).
constexpr ChunkTypeRow kWrittenRows[kChunkTypeCount] = {
    {},
    {.type = 1, .start = {0x00A3, 0xFFFB, 0x00CF}, .wrapper = {0x00A3, 0xFFFB, 0x00CF},
     .end = {0x00A5, 0x00D1}, .members = {0x00A3, 0x00A5, 0x00A4, 0xFFFB, 0x00CF, 0x00D0, 0x00D1}, .freeStanding = 1},
    {.type = 2, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS,
     .freeStanding = 1},
    {.type = 3, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {3},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 4, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 3, .subKinds = {12, 7, 13},
     .end = HOTSPOT_END, .members = {0xFFAD, 0xFFA9, 0x00AE, 0x00AA, 0xFFAC}, .freeStanding = 1},
    {.type = 5, .start = {0x00A4, 0x00D0}, .wrapper = {0x00A4, 0x00D0},
     .end = {0x00A4, 0x00A5, 0x00D0, 0x00D1}, .members = {0x00A4, 0x00D0}, .endKept = 1},
    {.type = 6, .start = {0x00A4, 0x00D0}, .wrapper = {0x00A4, 0x00D0},
     .end = {0x00A4, 0x00A5, 0x00D0, 0x00D1}, .members = {0x00A4, 0x00D0}, .endKept = 1},
    {.type = 7, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {4},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 8, .start = {0xFF92, 0xFF91}, .wrapper = {0xFF92, 0xFF91}, .end = {0xFF92, 0xFF91}, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 9, .start = {0xFF85, 0xFFC3, 0xFF85, 0xFFE5}, .wrapper = TEXT_PAIR, .end = TEXT_PAIR,
     .members = TEXT_PAIR, .freeStanding = 1, .single = 1, .endKept = 1},
    {.type = 10, .start = TEXT_START, .wrapper = TEXT_PAIR, .end = TEXT_PAIR,
     .members = {0xFF85, 0x0083, 0x0081, 0xFF82, 0xFFE4}, .freeStanding = 1, .endKept = 1},
    {.type = 11, .start = TEXT_PAIR, .wrapper = TEXT_PAIR, .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 12, .freeStanding = 1, .single = 1},
    {.type = 13, .start = {0xFFA7}, .wrapper = {0xFFA7}, .end = {0xFFA8}, .members = {0xFFA7, 0xFFA8},
     .freeStanding = 1},
    {.type = 14, .start = {0xFFCB}, .wrapper = {0xFFCB}, .end = {0xFFCB}, .members = {0xFFCB}, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 15, .start = {0x0099}, .wrapper = {0x0099}, .end = {0x0099, 0xFF85, 0x0081, 0x00AA, 0x00AE},
     .freeStanding = 1, .endKept = 1},
    {.type = 16, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {11, 32},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 17, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {2},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 18, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {1, 22},
     .excludedCount = 1, .excluded = {0x40000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 19, .start = {0xFF8A, 0xFFFE, 0xFFF7}, .wrapper = {0xFF8A, 0xFFF7, 0xFFFE},
     .end = {0xFF8A, 0xFFB0, 0xFFFE, 0xFFF7}, .members = {0xFF8A, 0xFFB0, 0xFFFE, 0xFFF7}, .freeStanding = 1,
     .single = 1},
    {.type = 20, .start = {0xFFF9}, .wrapper = {0xFFF9}, .end = {0x00DE, 0xFF8A, 0xFFF7, 0xFF85, 0xFFF5},
     .freeStanding = 1, .endKept = 1},
    {.type = 21, .start = PARAGRAPH_START, .end = PARAGRAPH_END, .members = PARAGRAPH_MEMBERS, .freeStanding = 1,
     .endKept = 1},
    {.type = 22, .start = TEXT_START, .wrapper = TEXT_PAIR, .markers = {"<?xml", "<xml", "<!-- /xml", "</xml>"},
     .end = TEXT_PAIR, .members = {0xFF85, 0xFFC3, 0xFFE4, 0xFFE5}, .freeStanding = 1},
    {.type = 23, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {14},
     .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 24, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 1, .subKinds = {1},
     .requiredCount = 1, .required = {0x40000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 25, .start = TEXT_START, .wrapper = TEXT_PAIR,
     .markers = {"<html", "<!DOCTYPE html ", "</html>", nullptr}, .end = TEXT_PAIR, .members = TEXT_PAIR,
     .freeStanding = 1},
    {.type = 26, .start = TEXT_START, .wrapper = TEXT_PAIR, .markers = {"<!DOCTYPE xhtml ", nullptr, "</html>"},
     .end = TEXT_PAIR, .members = TEXT_PAIR, .freeStanding = 1},
    {.type = 27, .start = {0xFFC9}, .wrapper = {0xFFC9}, .end = {0xFFC9}, .members = {0xFFC9}, .freeStanding = 1,
     .single = 1, .endKept = 1},
    {.type = 28, .start = {0xFFCC}, .wrapper = {0xFFCC}, .end = {0xFFCD}, .members = {0xFFCC, 0xFFCD},
     .freeStanding = 1},
    {.type = 29, .start = {0x006C}, .wrapper = {0x006C}, .end = {0x006C},
     .members = {0x006C, 0xFF7A, 0x006B, 0x006A, 0x0072, 0x0063}, .freeStanding = 1, .positioned = 1},
    {.type = 30, .start = {0x00B7}, .wrapper = {0x00B7}, .end = {0x00B9}, .members = {0x00B7, 0x00B9},
     .freeStanding = 1},
    {.type = 31, .start = HOTSPOT_SIGS, .wrapper = HOTSPOT_SIGS, .subKindCount = 2, .subKinds = {11, 32},
     .requiredCount = 1, .required = {0x1000}, .end = HOTSPOT_END, .members = HOTSPOT_MEMBERS, .freeStanding = 1},
    {.type = 32, .start = {0xFFF4}, .wrapper = {0xFFF4}, .end = {0xFFF4}, .members = {0xFFF4}, .freeStanding = 1,
     .positioned = 1},
    {.type = 33, .start = {0xFFF5}, .wrapper = {0xFFF5}, .end = {0xFFF5}, .members = {0xFFF5}, .freeStanding = 1,
     .positioned = 1},
    {.type = 34, .start = {0x0059}, .wrapper = {0x0059}, .end = {0x0059}, .members = {0x0059}, .freeStanding = 1},
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
        if (length > foundLength && strncasecmp(text, kChunkTypeNames[type], length) == 0) {
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
            if (strcasecmp(name, entry.names[i]) == 0) return i;
        }
        // The table's tab indent is also named as its word is written.
        if (type == kTableTypeWithTabs && strcasecmp(name, "TabIndent") == 0) return kTabIndentPosition;
        return entry.count;
    }
    return 0;
}

} // namespace talix
