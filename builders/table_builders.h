// The table builders: a whole new table (rows x columns of cells, each with
// its paragraph, optional text, colour, labels and HTML attributes) from
// the table's option string and the columns the table append left in the
// session's work area, and the parsers that turn table option words into
// the fields of the table records (table begin, table extension, tab
// settings and border).
//
// Records are laid out in host form and passed to the append gate through
// the running operation's record output.
#pragma once

#include <cstdint>

#include "core/record_layouts.h"
#include "core/statuses.h"

class RARIvoSession;

namespace talix {

struct BuildContext;

// The most rows and columns one table holds: a cell keeps its row and
// column in a byte, the table extension its row count, and the column
// settings of a table request cover 64 columns.
constexpr std::uint16_t kMaxTableRows = 255;
constexpr std::uint16_t kMaxTableColumns = 64;

// Appends a table of rows x columns at the output's position: the table's
// options are the context's argument text, each column's options, width
// and proportional switch, the table width and the table mode come from the
// session's table request. Returns 0, 1028 for a row or column count
// outside 1 to kMaxTableRows / kMaxTableColumns, a table nested deeper than
// the output keeps, or an option text that cannot fit its record; 263 when
// memory runs out; or the status of the first append that fails (the
// records appended before it stay in the output).
STATUS AppendTableRecords(std::uint16_t columns, std::uint16_t rows, BuildContext* context);

// Applies table option words to a record of the given signature (host
// form): 0xFFFB (table extension), 0xFF5C (tab settings), 163 or 207 (table
// begin), 0xFFFC (border, through ParseBorderSpec). capacity is the number
// of bytes the record's buffer holds; "TableName=" may lengthen a table
// extension record within it (its length field tells the new length). With
// initial 0 the words change an existing record: bits a word switches off
// are cleared. context may be null (the tab font then takes no face from an
// item). Returns 0, 1028 for a null record or a buffer too small for the
// record or its new name (the record is then unchanged); other signatures
// are left alone.
STATUS ParseTableProperties(RARIvoSession* session, BuildContext* context,
                                      std::uint16_t signature, std::uint8_t* record, std::uint32_t capacity,
                                      const char* options, int initial);

// Fills a border record (0xFFFC, 60 bytes, host form) from the border
// words of the options; with initial set the shadow first becomes 12 and
// the thicknesses 0. Any other signature is left alone. Returns 0, or 1028
// for a null record.
STATUS ParseBorderSpec(RARIvoSession* session, std::uint16_t signature, std::uint8_t* record,
                       const char* options, int initial);

} // namespace talix
