// Runs one operation, called by its name, over a chunk's item the way the
// public chunk methods will: the session's option text and text result are
// filled first, PerformChunkAction runs with the chunk's single-target switch kept,
// a failure becomes the chunk's last status, the completion status 1298
// counts as success, and an item with AutoSave set has its note updated
// after a successful run.
#pragma once

#include <cstdint>
#include <string>

#include "core/operation_codes.h"

class ZervaRTChunk;

namespace talix_test {

struct Operation {
    talix::OperationCode code = talix::kOpQuery;
    std::uint16_t op2 = 0;
    std::uint16_t a3 = 0, a4 = 0, a5 = 0;
    const char* argument = nullptr;   // the first text argument
    const char* second = nullptr;     // the second argument (a font specification for the text operations)
    const char* options = nullptr;    // the operation's option string
    // Placed in the session's text result before the run (a hide formula,
    // a property value); empty leaves the result empty.
    std::string textResult;
};

// Returns the run's status (0 for success) or the failure of the note
// update.
std::uint16_t RunOperation(ZervaRTChunk* chunk, const Operation& operation);

// An operation of a code with its second word, first number and argument
// text (kept by the caller).
Operation Op(talix::OperationCode code, std::uint16_t op2 = 0, std::uint16_t a3 = 0, const char* argument = nullptr);

// A text operation: the text (kept by the caller) as argument with its
// length as a3, the font specification (may be null) as second argument.
Operation TextOperation(talix::OperationCode code, const char* text, const char* font = nullptr);

} // namespace talix_test
