// The paragraph definitions of lists in the import's record list: where the
// next record goes, a definition record as a full image, the comparison of
// a definition with the parsed paragraph style, and a definition made the
// current one.
#pragma once

#include <cstdint>

#include "core/paragraph_def.h"

namespace talix {

struct CDRecordNode;
struct HTMLImportContext;
struct BuildContext;

// The records a backward search of the list code looks at, at most: the
// searches stop there, so that a document of many lists is not searched
// from its end to its start for each of them.
constexpr int kListSearchRecords = 1024;

// The remembered level of a list level: the level itself, or the deepest
// remembered one for a list nested deeper.
int SavedListIndex(std::uint16_t level);

// The record the next record goes after: the cursor, else the last record
// of the list (null when the list is empty).
CDRecordNode* ImportInsertionPoint(const HTMLImportContext* import);

// A paragraph definition (the record, or the operation's current one) as a
// full image: its bytes as far as its length goes, the rest 0.
CDPABDEFEXT DefinitionImage(const CDRecordNode* node);
CDPABDEFEXT CurrentDefinitionImage(const BuildContext* context);

// Whether a definition agrees with the parsed paragraph style in every
// group of fields the style's text named.
bool MatchesParsedStyle(const BuildContext* context, const CDPABDEFEXT& definition);

// The definition of the record becomes the operation's current definition,
// and its id the current reference's.
void TakeDefinitionAsCurrent(BuildContext* context, const CDRecordNode* node);

} // namespace talix
