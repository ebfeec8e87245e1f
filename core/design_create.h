// Creating the notes of new design elements.
#pragma once

#include "core/statuses.h"

class RARIvoSession;

namespace talix {

// Creates the design note of a kind ("Form", "Page", "Subform", "Shared
// Field", "Image Resource", "File Resource", ignoring case) named name,
// with its title, flags and the kind's other items, and stores it. When an
// element of that name exists, overwrite deletes its content item (the
// element is stored without it); without overwrite the element is left as
// it is, "TALIX: %s '%s' already exists." is shown (unless messages are
// suppressed) and *existing (may be null) is set to 1. Returns 0, 259 for
// another kind, 1028 for an empty name, or the platform's status (a
// database that cannot be opened is reported as "TALIX: Database '%s' on
// server '%s' could not be accessed.").
STATUS CreateDesignElementNote(RARIvoSession* session, const char* kind, const char* server, const char* path,
                               const char* name, const char* contentItem, int overwrite, int* existing = nullptr);

} // namespace talix
