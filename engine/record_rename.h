// The records that name an attachment of their note: a file hotspot, whose
// data begins with the attachment's name, and the storage link of a picture
// kept as an attachment. A copy into another note that carries such an
// attachment over under a free name reads the name here and writes the
// record again naming the copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/statuses.h"

namespace talix {

// Where a record keeps the name of the attachment it names.
struct AttachmentNamePlace {
    std::uint32_t nameAt = 0;     // the name's first byte: the end of the record's fixed part
    std::uint32_t lengthAt = 0;   // the length word that counts the bytes from nameAt on
    std::uint32_t word = 0;       // that word, cut to the bytes the record holds after nameAt
};

// True when the record names an attachment of its note: a file hotspot
// (kSigHotspotBegin or kSigV4HotspotBegin of the file type) with data after
// its fixed part, or a storage link of the attachment kind; *place then
// says where the name lies.
bool FindAttachmentNamePlace(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                             AttachmentNamePlace* place);

// The name at the place: its bytes up to a zero byte, within the word.
// False (and *name as it was) when the name is empty or longer than an
// attachment's name can be (255 bytes).
bool ReadAttachmentName(const std::uint8_t* record, const AttachmentNamePlace& place, std::string* name);

// A copy of the record naming stored instead: the name at the place (up to
// a zero byte) is replaced, and the length word there and the record's
// length grow or shrink with it. *copy holds the new record and one zero
// byte after it. Returns 0, 257 when the record or its length word would
// pass 65,535 bytes (*copy is then left as it was), or 263 when memory is
// short.
STATUS RenamedRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     const AttachmentNamePlace& place, const std::string& stored, std::vector<std::uint8_t>* copy);

} // namespace talix
