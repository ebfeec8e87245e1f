// Running a piece of work on a stack of a chosen size. The HTML parser
// descends once per level of element nesting, so a deeply nested document
// needs more stack than a caller's thread may have; the parse runs on a
// stack sized from its input instead. The caller waits for the work to end:
// nothing runs beside it.
#pragma once

#include <cstddef>

namespace talix {

// Runs work(data) on a stack of at least stackBytes and returns when it has
// returned. False (work not run) when no such stack can be had.
bool RunOnLargeStack(std::size_t stackBytes, void (*work)(void* data), void* data);

} // namespace talix
