#include "table_notes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "talix_platform.h"

namespace talix_test {

namespace {

FixtureRecord Reference() {
    FixtureRecord record = HostRecord(0x0083, 4);
    record.bytes[2] = 1;
    return record;
}

unsigned Word(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

} // namespace

Records Paragraph(const std::string& text) {
    Records records = {HostRecord(0xFF82, 72), Reference(), TextRecord(0x0A000001, text)};
    records.front().bytes[4] = 1;
    return records;
}

void AddTable(Records* records, const TableRows& rows, const std::vector<std::string>& labels) {
    records->push_back(HostRecord(0x00A3, 14));
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < rows[row].size(); ++column) {
            FixtureRecord cell = HostRecord(0x00A4, 18);
            cell.bytes[2] = static_cast<std::uint8_t>(row);
            cell.bytes[3] = static_cast<std::uint8_t>(column);
            records->push_back(cell);
            if (column == 0 && row < labels.size()) {
                FixtureRecord label = HostRecord(0xFFE3, 140);
                std::memcpy(label.bytes.data() + 4, labels[row].data(), std::min<std::size_t>(labels[row].size(), 127));
                records->push_back(label);
            }
            records->push_back(Reference());
            if (rows[row][column].empty()) records->push_back(TextRecord(0x0A000001, ""));
            for (const std::string& run : rows[row][column]) records->push_back(TextRecord(0x0A000001, run));
        }
    }
    records->push_back(HostRecord(0x00A5, 8));
}

TableRows TextRows(const std::vector<std::vector<std::string>>& texts) {
    TableRows rows;
    for (const auto& row : texts) {
        rows.emplace_back();
        for (const std::string& text : row) rows.back().push_back(Cell{text});
    }
    return rows;
}

plat::NOTEID AddBodyNote(const std::string& database, const Records& records) {
    plat::DBHANDLE db = plat::NULLHANDLE;
    plat::NOTEHANDLE note = plat::NULLHANDLE;
    plat::NOTEID id = 0;
    EXPECT_EQ(plat::DbOpen(database.c_str(), &db), plat::NOERROR);
    EXPECT_EQ(plat::NoteCreate(db, &note), plat::NOERROR);
    EXPECT_EQ(StoreRichTextItem(note, "Body", records), plat::NOERROR);
    EXPECT_EQ(plat::NoteUpdate(note, 0), plat::NOERROR);
    plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    plat::NoteClose(note);
    plat::DbClose(db);
    return id;
}

std::vector<std::string> Texts(const std::string& result) {
    if (result.size() < 2) return {"<none>"};
    const unsigned type = Word(result, 0);
    if (type == plat::TYPE_TEXT) return {result.substr(2)};
    if (type != plat::TYPE_TEXT_LIST || result.size() < 4) {
        char text[32];
        std::snprintf(text, sizeof text, "<type 0x%04x>", type);
        return {text};
    }
    const unsigned count = Word(result, 2);
    std::vector<std::string> texts;
    std::size_t at = 4 + 2 * count;
    for (unsigned i = 0; i < count && at <= result.size(); ++i) {
        const unsigned length = Word(result, 4 + 2 * i);
        texts.push_back(result.substr(at, length));
        at += length;
    }
    return texts;
}

std::vector<double> Numbers(const std::string& result) {
    std::vector<double> numbers;
    if (result.size() < 2) return numbers;
    const unsigned type = Word(result, 0);
    std::size_t at = 0;
    if (type == plat::TYPE_NUMBER) at = 2;
    else if (type == plat::TYPE_NUMBER_RANGE && result.size() >= 6) at = 6;
    else return numbers;
    for (; at + 8 <= result.size(); at += 8) {
        double number = 0;
        std::memcpy(&number, result.data() + at, 8);
        numbers.push_back(number);
    }
    return numbers;
}

} // namespace talix_test
