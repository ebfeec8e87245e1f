// Table, tab-label, layer and layout-region records for the generation's
// tests (host form).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generation_fixture.h"

namespace htmlgen_test {

// A cell as the table records keep it.
struct CellFields {
    std::uint8_t row = 0, column = 0;
    std::string text;
    std::uint8_t flags = 0;            // 0x04 hidden, 0x20 middle, 0x80 bottom
    std::uint8_t rowSpan = 1, columnSpan = 1;
    std::uint8_t borders = 0x55;       // 2 bits per side: 1 pixel on each side
    std::uint16_t colourIndex = 0;
    std::uint16_t left = 0, right = 1440;
    Records extra;                     // records after the cell record
};

FixtureRecord TableBegin(bool nested = false, std::uint16_t flags = 0);
FixtureRecord TableEnd(bool nested = false);
FixtureRecord Cell(const CellFields& fields, bool nested = false);
// A pre-table record: flags, display kind (4 tabbed, 8 animated), the
// fixed-width bits of columns 0 to 31 and 32 to 63.
FixtureRecord PreTable(std::uint32_t flags = 0, std::uint8_t kind = 0, std::uint32_t fixed = 0,
                       std::uint32_t moreFixed = 0);
FixtureRecord TabLabel(const std::string& label);
// An id/name record of a table (0xFF7A) or a cell (0xFF7B) holding only
// other text (and an id).
FixtureRecord OtherText(const std::string& other, bool cell = false, const std::string& id = "");

// A cell's colour record.
FixtureRecord CellColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A cell's background picture: the image reference by name, and the
// placement record after it (placement 0: none).
Records CellPicture(const std::string& name, std::uint8_t placement);

// A table of the cells, in the order given: each cell record, its extra
// records, a paragraph reference and its text (when it has one).
Records Table(const std::vector<CellFields>& cells, bool nested = false, std::uint16_t flags = 0);
// Plain cells "r<row>c<column>" of a grid.
std::vector<CellFields> Grid(int rows, int columns);

// Layers: the layer's BEGIN and END, the layer record, size and position.
FixtureRecord LayerRecord();
FixtureRecord BoxSize(double widthPixels, double heightPixels);
FixtureRecord Positioning(std::uint8_t scheme, std::int32_t zIndex, double topPixels, double leftPixels);

// Layout regions: the region (left, width, height in twips), an element
// (left, top, width, height in twips, flags) and the region's end.
FixtureRecord LayoutRegion(std::uint16_t left, std::uint16_t width, std::uint16_t height);
FixtureRecord LayoutElement(std::uint16_t left, std::uint16_t top, std::uint16_t width, std::uint16_t height,
                            std::uint32_t flags = 0);
FixtureRecord LayoutEnd();

} // namespace htmlgen_test
