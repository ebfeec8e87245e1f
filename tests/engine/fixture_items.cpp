#include "fixture_items.h"

#include <gtest/gtest.h>

#include <cstring>

#include "talix_platform.h"

namespace engine_test {

using talix_test::FixtureRecord;
using talix_test::HostRecord;

FixtureDatabase::FixtureDatabase() : path_(dir_.file("engine.nsf")) {
    plat::DBHANDLE db = 0;
    EXPECT_EQ(plat::DbCreate(path_.c_str(), &db), plat::NOERROR);
    plat::DbClose(db);
}

plat::NOTEID FixtureDatabase::AddNote(const Records& records) {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::NOTEID id = 0;
    EXPECT_EQ(plat::DbOpen(path_.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    EXPECT_EQ(talix_test::StoreRichTextItem(note, "Body", records), plat::NOERROR);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

std::vector<std::string> FixtureDatabase::Stored(plat::NOTEID id) const {
    plat::DBHANDLE db = 0;
    plat::NOTEHANDLE note = 0;
    plat::DbOpen(path_.c_str(), &db);
    EXPECT_EQ(plat::NoteOpen(db, id, 0, &note), plat::NOERROR);
    std::vector<std::string> values = talix_test::StoredValues(note, "Body");
    plat::NoteClose(note);
    plat::DbClose(db);
    return values;
}

// Face 1, 10 points, plain, black.
FixtureRecord Text(std::string_view text) { return talix_test::TextRecord(0x0A000001, text); }

FixtureRecord Paragraph() { return HostRecord(0x0081, 2); }

FixtureRecord FontTable(std::uint8_t face, const char* name) {
    FixtureRecord table = HostRecord(0xFF8B, 6 + 34);
    table.bytes[4] = 1;
    table.bytes[6] = face;
    std::memcpy(table.bytes.data() + 8, name, std::strlen(name));
    return table;
}

FixtureRecord Reference() {
    FixtureRecord record = HostRecord(0x0083, 4);
    record.bytes[2] = 1;
    return record;
}

Records Runs(const std::vector<std::string>& texts) {
    Records records = {HostRecord(0xFF82, 72), Reference()};
    records.front().bytes[4] = 1;
    for (const auto& text : texts) records.push_back(Text(text));
    return records;
}

Records Join(std::initializer_list<Records> parts) {
    Records all;
    for (const Records& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Table records: begin, a cell of 0-based row and column, end.
void AddTable(Records* records, const std::vector<std::string>& cells, int columns, bool nested,
              const Records& extra = {}, std::size_t extraAfter = 0) {
    records->push_back(HostRecord(nested ? 0x00CF : 0x00A3, 14));
    for (std::size_t i = 0; i < cells.size(); ++i) {
        FixtureRecord cell = HostRecord(nested ? 0x00D0 : 0x00A4, 18);
        cell.bytes[2] = static_cast<std::uint8_t>(i / columns);
        cell.bytes[3] = static_cast<std::uint8_t>(i % columns);
        records->push_back(cell);
        records->push_back(Reference());
        records->push_back(Text(cells[i]));
        if (i == extraAfter) records->insert(records->end(), extra.begin(), extra.end());
    }
    records->push_back(HostRecord(nested ? 0x00D1 : 0x00A5, 8));
}

Records TablesItem() {
    Records nested;
    AddTable(&nested, {"n11", "n12", "n21", "n22"}, 2, true);
    std::vector<std::string> cells;
    for (int row = 1; row <= 5; ++row)
        for (int column = 1; column <= 3; ++column) cells.push_back("r" + std::to_string(row) + "c" + std::to_string(column));
    Records records = Runs({"Intro"});
    records.push_back(Paragraph());
    AddTable(&records, cells, 3, false, nested, 4);
    for (auto record : {Paragraph(), Reference(), Text("Between"), Paragraph()}) records.push_back(record);
    AddTable(&records, {"t2a", "t2b", "t2c", "t2d"}, 2, false);
    for (auto record : {Paragraph(), Reference(), Text("End")}) records.push_back(record);
    return records;
}

} // namespace engine_test
