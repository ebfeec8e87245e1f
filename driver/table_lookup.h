// The table look-ups of the formula driver: @DbColumn (operation 1) returns
// one column of every row of the call's chunk (a table, or any repeated
// element), @DbLookup (operation 2) the column of the rows whose key cell
// matches a key or whose numbers are given.
#pragma once

#include <cstdint>

#include "driver/driver_context.h"

namespace talix {


// Runs the look-up over the call's chunk with the arguments after the
// addressing ones: DBLookup a key (a text, or a number list of row
// numbers), then both a column (a number 1 to 64, or a text naming a chunk
// property) and an option text. Leaves text values in the result list
// (ResultListHandle) or numbers in Result. Returns 0; 12545 for column 0
// without a property name or a column above 64; 12546 for a column or
// option argument of another type; 1028 for a column name or an option
// text holding a zero byte; 546 when the chunk does not exist and
// "RaiseError=" is "yes"; 12584 when the values do not fit the result
// block; 12583 when memory is short; or the failure of a read of the item.
STATUS TableLookUp(DriverContext* context, std::uint32_t operation);

} // namespace talix
