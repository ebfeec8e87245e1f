// Running builders and reading the record lists they build, in the builder
// tests: a context that appends to an item's output, the records in order,
// a short text of their signatures, a check that fits hotspots as they are
// stored (a CDBEGIN of a hotspot begin is closed by a CDEND that names the
// hotspot's end record), the output list stored as an item and read back,
// and the messages shown while the builders run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/record_list.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTChunk;
class ZervaRTItem;

namespace talix {
struct RecordProcessContext;
}

namespace talix_test {

std::vector<const talix::CDRecordNode*> ListNodes(const talix::ItemRecordList* list);
std::vector<std::uint16_t> ListSignatures(const talix::ItemRecordList* list);

// "<FFAD" for a CDBEGIN, ">AE" for a CDEND (their inner signatures), the
// signature in hexadecimal for other records, each followed by a blank.
std::string ListShape(const talix::ItemRecordList* list);

// Empty when every node's signature and length are those its bytes carry
// and the CDBEGIN and CDEND records pair up; otherwise the first problem.
std::string BuiltRecordProblem(const talix::ItemRecordList* list);

// A context for running builders that append to the item's output list
// (for the chunk, when given).
std::unique_ptr<talix::RecordProcessContext> OutputContext(RARIvoSession* session, ZervaRTItem* item,
                                                           ZervaRTChunk* chunk = nullptr);

// Frees the item's output list; the next record appended starts a new one.
void FreeOutput(ZervaRTItem* item);

// Writes the item's output list as the "Body" item of an open note and
// reads that item back through the record reader; null when either fails.
// The caller frees the list read.
talix::ItemRecordList* StoreOutput(ZervaRTItem* item, plat::NOTEHANDLE note);

// StoreOutput, then every record read back must be the one built, byte for
// byte and in order.
void ExpectStoredAsBuilt(ZervaRTItem* item, plat::NOTEHANDLE note);

} // namespace talix_test
