// The content of file resources, XPages and custom controls: a file-header
// record (with the file's extension) followed by file-segment records of at
// most 10,240 bytes of data, stored as rich-text items of one name.
#pragma once

#include <cstdint>
#include <string>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

constexpr std::uint32_t kFileSegmentDataSize = 10240;

// Replaces the items of itemName in the note by the file header and the
// segments of size bytes of data (each item at most 65,406 bytes, a new
// item begun when the next segment would not fit) and sets the number item
// "$FileSize". Returns 0; 1028 for an extension too long to fit an item
// beside the file header; 263 when memory is short; or a platform status,
// in which case the items of the name are as they were.
STATUS WriteFileResourceItems(plat::NOTEHANDLE note, const char* itemName, const char* extension,
                              const std::uint8_t* data, std::uint32_t size);

// The extension kept in the first file-header record of the items of
// itemName; empty when there is none.
std::string FileResourceExtension(plat::NOTEHANDLE note, const char* itemName);

} // namespace talix
