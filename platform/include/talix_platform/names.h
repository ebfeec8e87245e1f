// User names and directory look-up.
#pragma once

#include "talix_platform/types.h"

namespace plat {

// The current user's name in canonical form ("CN=Jo Doe/O=Org"), from
// notes.ini "UserName" (default "CN=Talix User/O=Local").
TPLAT_API STATUS UserName(char* buf, WORD limit);
TPLAT_API STATUS NameCanonicalize(const char* name, char* buf, WORD limit);
TPLAT_API STATUS NameAbbreviate(const char* name, char* buf, WORD limit);
// Looks a name up in the address book ("names.nsf" in the data directory,
// Person documents) under a name space ("$Users") and copies the text of one
// of its items.
TPLAT_API STATUS NameLookupItem(const char* server, const char* nameSpace, const char* name,
                                const char* itemName, char* buf, WORD limit);

} // namespace plat
