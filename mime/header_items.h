// Note items as the text of mail header lines, and the directory look-up of
// an Internet address.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

// Appends every item of the name, in note order, to out: the prefix, then
// the value by its type (text as it is; a text list joined with
// listSeparator; a number as "%g"; a time as the platform's text; times and
// time ranges joined with listSeparator; an RFC 822 text as its native
// value; any other type the fallback text), with lineSeparator between two
// items. Returns 0 also when the note has no such item (nothing appended)
// or the platform asks for the walk to start again, else the platform's
// status.
// The value of every item of the name, in note order, converted to text as
// WriteItemsAsHeaders converts it, appended to values. Returns as it does.
STATUS ItemValuesAsText(plat::NOTEHANDLE note, const char* itemName, const char* listSeparator,
                        const char* fallback, std::vector<std::string>* values);

STATUS WriteItemsAsHeaders(plat::NOTEHANDLE note, const char* itemName, const char* prefix,
                           const char* listSeparator, const char* lineSeparator, const char* fallback,
                           std::string* out);

// The text of an item of the person that name names in the server's
// address book, looked up in the name space (null or empty: "$Users").
// out (outSize bytes) receives the name itself first, and the item's text
// when the look-up works. Returns 0, or 1028 when it fails (out keeps the
// name).
STATUS LookupDirectoryItem(const char* server, const char* nameSpace, const char* itemName, const char* name,
                           char* out, std::uint16_t outSize);

} // namespace talix
