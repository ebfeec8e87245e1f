#include "engine/chunk_types.h"

#include <strings.h>

#include <cstring>

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

} // namespace talix
