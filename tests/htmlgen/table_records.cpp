#include "table_records.h"

#include <cstring>

#include "support/record_fixture.h"

namespace htmlgen_test {

using talix_test::HostRecord;
using talix_test::PutDword;
using talix_test::PutWord;

namespace {

void PutText(FixtureRecord* record, std::size_t at, const std::string& text) {
    if (record->bytes.size() < at + text.size()) record->bytes.resize(at + text.size());
    std::memcpy(record->bytes.data() + at, text.data(), text.size());
}

// A length value in pixels at an offset: unit 2, the number as a double.
void PutPixels(FixtureRecord* record, std::size_t at, double pixels) {
    std::memcpy(record->bytes.data() + at + 8, &pixels, sizeof pixels);
    record->bytes[at + 16] = 2;
}

} // namespace

FixtureRecord TableBegin(bool nested, std::uint16_t flags) {
    FixtureRecord record = HostRecord(nested ? 0x00CF : 0x00A3, 14);
    PutWord(&record, 12, flags);
    return record;
}

FixtureRecord TableEnd(bool nested) { return HostRecord(nested ? 0x00D1 : 0x00A5, 8); }

FixtureRecord Cell(const CellFields& fields, bool nested) {
    FixtureRecord record = HostRecord(nested ? 0x00D0 : 0x00A4, 18);
    record.bytes[2] = fields.row;
    record.bytes[3] = fields.column;
    PutWord(&record, 4, fields.left);
    PutWord(&record, 6, fields.right);
    record.bytes[10] = fields.borders;
    record.bytes[11] = fields.flags;
    record.bytes[14] = fields.rowSpan;
    record.bytes[15] = fields.columnSpan;
    PutWord(&record, 16, fields.colourIndex);
    return record;
}

FixtureRecord PreTable(std::uint32_t flags, std::uint8_t kind, std::uint32_t fixed, std::uint32_t moreFixed) {
    FixtureRecord record = HostRecord(0xFFFB, 48);
    PutDword(&record, 4, flags);
    PutDword(&record, 12, fixed);
    PutDword(&record, 16, moreFixed);
    record.bytes[20] = kind;
    return record;
}

FixtureRecord TabLabel(const std::string& label) {
    FixtureRecord record = HostRecord(0xFFE3, 140);
    PutText(&record, 4, label.substr(0, 127));
    PutWord(&record, 138, 0x0002);
    return record;
}

FixtureRecord OtherText(const std::string& other, bool cell, const std::string& id) {
    FixtureRecord record = HostRecord(cell ? 0xFF7B : 0xFF7A, static_cast<std::uint32_t>(26 + id.size() + other.size()));
    PutWord(&record, 4, static_cast<std::uint16_t>(id.size()));
    PutWord(&record, 12, static_cast<std::uint16_t>(other.size()));
    PutText(&record, 26, id + other);
    return record;
}

FixtureRecord CellColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    FixtureRecord record = HostRecord(0x00D3, 8);
    PutWord(&record, 2, 1);
    record.bytes[4] = red;
    record.bytes[5] = green;
    record.bytes[6] = blue;
    return record;
}

Records CellPicture(const std::string& name, std::uint8_t placement) {
    FixtureRecord reference = HostRecord(0xFF78, static_cast<std::uint32_t>(36 + name.size()));
    PutWord(&reference, 8, 3);
    PutWord(&reference, 10, 19);
    PutWord(&reference, 12, static_cast<std::uint16_t>(name.size()));
    PutText(&reference, 36, name);
    Records records = {reference};
    if (placement != 0) {
        FixtureRecord where = HostRecord(0xFFEE, 12);
        where.bytes[4] = placement;
        records.push_back(where);
    }
    return records;
}

std::vector<CellFields> Grid(int rows, int columns) {
    std::vector<CellFields> cells;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            CellFields cell;
            cell.row = static_cast<std::uint8_t>(row);
            cell.column = static_cast<std::uint8_t>(column);
            cell.left = static_cast<std::uint16_t>(column * 1440);
            cell.right = static_cast<std::uint16_t>((column + 1) * 1440);
            cell.text = "r" + std::to_string(row) + "c" + std::to_string(column);
            cells.push_back(cell);
        }
    }
    return cells;
}

Records Table(const std::vector<CellFields>& cells, bool nested, std::uint16_t flags) {
    Records records = {TableBegin(nested, flags)};
    for (const CellFields& cell : cells) {
        records.push_back(Cell(cell, nested));
        records.insert(records.end(), cell.extra.begin(), cell.extra.end());
        records.push_back(Reference(1));
        if (!cell.text.empty()) records.push_back(TextBytes(cell.text));
    }
    records.push_back(TableEnd(nested));
    return records;
}

FixtureRecord LayerRecord() { return HostRecord(0x006C, 20); }

FixtureRecord BoxSize(double widthPixels, double heightPixels) {
    FixtureRecord record = HostRecord(0x006A, 168);
    PutPixels(&record, 8, widthPixels);
    PutPixels(&record, 32, heightPixels);
    return record;
}

FixtureRecord Positioning(std::uint8_t scheme, std::int32_t zIndex, double topPixels, double leftPixels) {
    FixtureRecord record = HostRecord(0x006B, 120);
    record.bytes[2] = scheme;
    PutDword(&record, 4, static_cast<std::uint32_t>(zIndex));
    PutPixels(&record, 8, topPixels);
    PutPixels(&record, 32, leftPixels);
    return record;
}

FixtureRecord LayoutRegion(std::uint16_t left, std::uint16_t width, std::uint16_t height) {
    FixtureRecord record = HostRecord(0x00B7, 28);
    PutWord(&record, 2, left);
    PutWord(&record, 4, width);
    PutWord(&record, 6, height);
    return record;
}

FixtureRecord LayoutElement(std::uint16_t left, std::uint16_t top, std::uint16_t width, std::uint16_t height,
                            std::uint32_t flags) {
    FixtureRecord record = HostRecord(0x00BA, 44);
    PutWord(&record, 4, left);
    PutWord(&record, 6, top);
    PutWord(&record, 8, width);
    PutWord(&record, 10, height);
    PutDword(&record, 12, 0x0A000001);
    PutDword(&record, 24, flags);
    return record;
}

FixtureRecord LayoutEnd() { return HostRecord(0x00B9, 18); }

} // namespace htmlgen_test
