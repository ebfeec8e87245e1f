// Rich-text items for the engine's tests: a database in a temporary folder
// with one note per item, built from host-form records.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/record_fixture.h"
#include "support/test_support.h"
#include "talix_platform/types.h"

namespace engine_test {

using Records = std::vector<talix_test::FixtureRecord>;

class FixtureDatabase {
public:
    FixtureDatabase();
    // Stores the records as the item "Body" of a new note; returns its id.
    plat::NOTEID AddNote(const Records& records);
    // The stored values of the note's "Body" items.
    std::vector<std::string> Stored(plat::NOTEID id) const;
    const std::string& path() const { return path_; }

private:
    talix_test::TempDir dir_;
    std::string path_;
};

// A paragraph definition (id 1) and a reference to it, then a text run for
// each text.
Records Runs(const std::vector<std::string>& texts);
// The records of the parts, one after the other.
Records Join(std::initializer_list<Records> parts);
talix_test::FixtureRecord Text(std::string_view text);
talix_test::FixtureRecord Paragraph();
// A font table of one face: its number and name.
talix_test::FixtureRecord FontTable(std::uint8_t face, const char* name);

// "Intro", Table 1 of 5 rows and 3 columns whose cells hold "r<row>c<column>"
// (1-based; the cell of row 2, column 2 also holds a nested table of 2 x 2
// cells "n11" to "n22"), "Between", Table 2 of 2 x 2 cells "t2a" to "t2d",
// "End". Every cell is a cell record, a paragraph reference and its text.
Records TablesItem();

} // namespace engine_test
