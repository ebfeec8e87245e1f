// Passes over the stored records of every item of a name that build no
// record list: the plain text or file data of an item, a file resource
// written to disk and the check text of an item.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

// Reads the content of every item of the name into a new text (terminated;
// the caller frees it with std::free) and its length. Mode 0: the text of
// the text runs, with one blank for every paragraph when paragraphFlag is
// set. Mode 1: the file data of a file resource, as long as its file header
// says. Returns 0 (a missing item gives an empty text), 263 (a null out
// pointer or no memory), 257 (an item that is not rich text, or damaged
// records) or a platform status.
STATUS MeasureItemContent(plat::NOTEHANDLE note, const char* itemName, char** text,
                          std::uint32_t* length, int paragraphFlag, int mode);

// Writes the file data of every "$FileData" item of the note to a file.
// Returns 0, 257 (an empty path, a file that cannot be written, an item
// that is not rich text, damaged records) or a platform status; on failure
// no file is left behind.
STATUS ExportFileData(plat::NOTEHANDLE note, const char* filePath);

// The check text of the items of a name: three fields of digits, the total
// value length (lengthWidth digits), the sum of all value bytes and the
// position-weighted sum of the first item's bytes (sumWidth digits each),
// each the rightmost digits of its number. With a length width of 0 every
// field stays "0". out receives lengthWidth + 2 x sumWidth characters and
// the terminator; a smaller outSize gives 1028.
STATUS FormatItemCRC(plat::NOTEHANDLE note, const char* itemName, char* out, std::uint32_t outSize,
                     std::uint16_t lengthWidth, std::uint16_t sumWidth);

// 0 when every item of the name is rich text (also when there is none),
// 257 for one that is not, or a platform status.
STATUS CheckItemsAreRichText(plat::NOTEHANDLE note, const char* itemName);

} // namespace talix
