// Running a piece of work on a stack of a chosen size. The HTML parser
// descends once per level of element nesting, so a deeply nested document
// needs more stack than the caller's may have; the parse runs on a stack
// sized from its input instead. The work runs on the calling thread, which
// switches to the new stack and back: no thread is created, and nothing
// runs beside the work.
#pragma once

#include <cstddef>

namespace talix {

// Runs work(data) on a stack of at least stackBytes and returns when it has
// returned. False when no such stack can be had (work not run) or when the
// work ended by an exception (which does not cross the switch of stacks).
bool RunOnLargeStack(std::size_t stackBytes, void (*work)(void* data), void* data);

} // namespace talix
