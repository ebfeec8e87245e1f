// The table look-ups of the formula driver: @DbColumn (operation 1) returns
// one column of every row of the call's chunk (a table, or any repeated
// element), @DbLookup (operation 2) the column of the rows whose key cell
// matches a key or whose numbers are given.
#pragma once

#include <cstdint>

#include "driver/driver_context.h"

namespace talix {

// How a look-up reads its cells: in a single pass over the item wherever
// the chunk and the options allow it (the default: a single table by a
// direct scan of its records where the scan covers it, else by the engine's
// walk), in a single pass always made by the engine's walk, or every cell
// with a chunk read of its own ("Row %d; Column %d" through GetText, the
// row's label through ZoomIn and GetPropertyText). Every-cell is the
// reference the single pass must agree with, and the way of what it does
// not cover: chunks that are not a table or that name every occurrence,
// "KeyChunk=", "ColumnChunk=", and "KeyProperty=" TabLabel or RowLabel.
enum class LookUpRoute : std::uint8_t { SingleWalk, EngineWalk, EveryCell };
extern LookUpRoute g_lookUpRoute;

// Runs the look-up over the call's chunk with the arguments after the
// addressing ones: DBLookup a key (a text, or a number list of row
// numbers), then both a column (a number 1 to 64, or a text naming a chunk
// property) and an option text. Leaves text values in the result list
// (ResultListHandle) or numbers in Result. Returns 0; 12545 for column 0
// without a property name or a column above 64; 12546 for a column or
// option argument of another type; 546 when the chunk does not exist and
// "RaiseError=" is "yes"; 12584 when the values do not fit the result
// block; 12583 when memory is short; or the failure of a read of the item.
STATUS TableLookUp(DriverContext* context, std::uint32_t operation);

} // namespace talix
