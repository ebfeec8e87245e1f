// A structure check of record lists for tests: BEGIN and END records
// balance; every table has a begin, at least one cell before anything else
// and a matching end; every paragraph reference names a definition that
// came before it; every record's length field agrees with its node.
#pragma once

#include <string>

#include "core/record_list.h"

namespace talix_test {

// An empty text when the records from first on are well formed; otherwise
// the first problem found, naming the record's position (1-based).
std::string CheckStructure(const talix::CDRecordNode* first);
inline std::string CheckStructure(const talix::ItemRecordList* list) {
    return CheckStructure(list != nullptr ? list->head : nullptr);
}

} // namespace talix_test
