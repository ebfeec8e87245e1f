// Text of any length as text runs: one run holds at most kMaxTextRunLength
// bytes, so a longer text goes on in further runs of the same font.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/font_spec.h"
#include "core/statuses.h"

namespace talix {

// Text (LMBCS) as text runs in the font given (the default font when null):
// one run, or more, each cut at a whole character, when the text is longer
// than one run holds. An empty text gives one empty run. Returns 1028 for a
// null text with a length, else the status of the first append that failed,
// else 0.
STATUS AppendTextRuns(const char* text, std::uint32_t length, const FontId* font, RecordOutput* output);

} // namespace talix
