// Paragraph definitions among the records a walk goes through
// (context->records): the highest id, and the loading of a definition as the
// current one. The operation engine's runs and the HTML import use them.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct BuildContext;

// The highest id of the paragraph definitions of the walked records into
// context->highestParagraphId (never lowered).
void FindHighestPabID(BuildContext* context);

// Loads the context's current paragraph definition. It starts as a default
// (id 0, left and first-line margins 1,440, right margin 0, tabs every 720);
// a definition of the wanted id (kAnyParagraphId: any) whose id is not below
// the one loaded so far replaces it. Searches: kLoadBackward from the end of
// the list, kLoadForward from its start (kLoadFromCurrent: from the current
// record in both); kLoadFirstMatch ends each search at its first match, and
// skips the forward search when the backward one found a definition.
constexpr std::uint16_t kAnyParagraphId = 4095;
constexpr std::uint16_t kLoadBackward = 1, kLoadForward = 2, kLoadFromCurrent = 4, kLoadFirstMatch = 8;
STATUS LoadPabDefinition(std::uint16_t paragraphId, std::uint16_t flags, BuildContext* context);

} // namespace talix
