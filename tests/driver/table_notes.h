// Tables held in rich text for the look-up tests, and the typed results of
// the look-ups read back as texts or numbers.
#pragma once

#include <string>
#include <vector>

#include "support/record_fixture.h"
#include "talix_platform/types.h"

namespace talix_test {

using Records = std::vector<FixtureRecord>;

// One cell: its text runs (none: an empty cell).
using Cell = std::vector<std::string>;
using TableRows = std::vector<std::vector<Cell>>;

// A paragraph definition and a reference to it, then a text run.
Records Paragraph(const std::string& text);
// A table: begin, then per cell its record (0-based row and column bytes,
// so that rows past 256 repeat their numbers), a paragraph reference and
// its runs, then end. With labels, each row's first cell is followed by a
// tab label record holding labels[row].
void AddTable(Records* records, const TableRows& rows, const std::vector<std::string>& labels = {});
// A table whose cells each hold one run.
TableRows TextRows(const std::vector<std::vector<std::string>>& texts);

// Stores the records as the "Body" item of a new note of the database;
// returns its note id.
plat::NOTEID AddBodyNote(const std::string& database, const Records& records);

// The entries of a text or text-list result; a different type gives one
// entry "<type 0x....>".
std::vector<std::string> Texts(const std::string& result);
// The numbers of a number or number-list result (none for another type).
std::vector<double> Numbers(const std::string& result);

} // namespace talix_test
