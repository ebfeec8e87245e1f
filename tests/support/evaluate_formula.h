// Evaluating a formula on a note, for the tests of the formula engine and
// of what formulas reach (drivers).
#pragma once

#include <string>

#include "talix_platform/types.h"

namespace talix_test {

// Compiles a formula and evaluates it on a note: *value gets the result
// (data-type word first), *matches (when given) whether the note matches.
// Returns the status of the first step that fails.
plat::STATUS EvaluateFormula(plat::NOTEHANDLE note, const std::string& text, std::string* value,
                             bool* matches = nullptr);

} // namespace talix_test
