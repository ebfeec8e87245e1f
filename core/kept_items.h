// Copies of a note's items of one name, kept so that the old content can be
// put back when writing new items in their place fails part way.
#pragma once

#include <vector>

#include "core/statuses.h"
#include "talix_platform/database.h"
#include "talix_platform/types.h"

namespace talix {

// One stored item: its flags and its value (data-type word first).
using KeptItem = plat::TakenItem;

// Copies every item of the name, in order, after what kept holds. Returns
// 0 (also when the note has no such item) or the failure.
STATUS KeepItems(plat::NOTEHANDLE note, const char* name, std::vector<KeptItem>* kept);

// Takes every item of the name out of the note, in order, after what kept
// holds: as KeepItems and a deletion of the items, without copying their
// values. Returns 0 (also when the note has no such item) or the failure,
// with the note as it was.
STATUS TakeItems(plat::NOTEHANDLE note, const char* name, std::vector<KeptItem>* kept);

// Deletes whatever items the name has now and appends the kept ones again.
void RestoreItems(plat::NOTEHANDLE note, const char* name, const std::vector<KeptItem>& kept);

} // namespace talix
