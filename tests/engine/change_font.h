// The font change as its chunk method runs it, for the tests that change
// the fonts of stored items.
#pragma once

#include <cstdint>

#include "core/operation_codes.h"
#include "support/op_runner.h"

namespace engine_test {

// ChangeFont: the font specification, the criteria a run must meet (null:
// every run) and the controls word (non-zero: buttons and section titles
// change too).
inline talix_test::Operation ChangeFont(const char* font, const char* criteria = nullptr,
                                        std::uint16_t controls = 0) {
    talix_test::Operation operation = talix_test::Op(talix::kOpChangeFont, controls, 0, font);
    operation.second = criteria;
    return operation;
}

} // namespace engine_test
