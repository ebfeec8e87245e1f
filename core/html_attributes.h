// The HTML attribute options of a builder (id, class, style, title, other
// attributes and name) turned into an id/name record.
#pragma once

#include <cstdint>

#include "core/record_layouts.h"

class RARIvoSession;

namespace talix {

// Fills the id/name record (whose signature word the caller has set) from the
// options "<prefix>HTMLID=", "HTMLClass=", "HTMLStyle=", "HTMLTitle=",
// "HTMLOther=" and "HTMLName=" (else "<prefix>Name="); what the options do not
// name is kept from oldRecord when one is given (it may be the record
// itself). A non-empty extra text is added to the other attributes after a
// blank. Texts that do not fit the record's capacity (at most 65,535 bytes)
// are cut. Returns 1 when the record carries anything new, else 0 (also when
// the capacity cannot hold the fixed part, the record then untouched).
int ApplyHTMLAttributeOptions(RARIvoSession* session, std::uint8_t* record, std::uint32_t capacity,
                              const std::uint8_t* oldRecord, const char* prefix, const char* options,
                              const char* extra);

} // namespace talix
