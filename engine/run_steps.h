// The steps a run takes around its walk for particular operations, named by
// the operation table's rows (engine/operation_table.h: RunSteps): the
// operation's font and paragraph style parsed before the records are read,
// look-ups before the walk, and what follows the walk.
#pragma once

#include <cstdint>

#include "engine/operation_table.h"

class RARIvoSession;

namespace talix {

struct SortKey;

// The step sets of the rows (engine/run_steps.cpp).
extern const RunSteps kTextFontSteps;          // the run's font: the second argument or the permanent pen
extern const RunSteps kReplaceTextSteps;       // 2392, 2399: the text font and a wildcard search
extern const RunSteps kHighlightSteps;         // 2372
extern const RunSteps kHighlightTextSteps;     // 2373: the highlight font and a wildcard search
extern const RunSteps kCaptureTextSteps;       // 2398: a wildcard search
extern const RunSteps kMatchingSteps;          // 2386, 2816: the key cache and the link fonts
extern const RunSteps kHotspotFontSteps;       // 2423
extern const RunSteps kRowAppendSteps;         // 2355
extern const RunSteps kChangeParagraphSteps;   // 2364
extern const RunSteps kAppendParagraphSteps;   // 2417
extern const RunSteps kHideFormulaSteps;       // 25
extern const RunSteps kChangeFontSteps;        // 2363
extern const RunSteps kFontInUseSteps;         // 2368
extern const RunSteps kSectionFontSteps;       // 2404
extern const RunSteps kReorderRowsSteps;       // 2396
extern const RunSteps kKeyedRowsSteps;         // 2397
extern const RunSteps kCleanUpSteps;           // 49
extern const RunSteps kRemoveSteps;            // 2366
extern const RunSteps kSortKeySteps;           // 2, 11: the keys stay with the chunk
extern const RunSteps kCopyPrologueSteps;      // 37
extern const RunSteps kCopyKeepingMarginsSteps;// 2356, 2357

// Frees an array of sort keys with their texts (tracked pool).
void ReleaseSortKeys(RARIvoSession* session, SortKey* keys, std::uint32_t count);

} // namespace talix
