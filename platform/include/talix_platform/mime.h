// Storing a MIME message (the bytes of a mail as it travels) as MIME part
// items of a note, as incoming mail is stored.
#pragma once

#include <cstddef>

#include "talix_platform/types.h"

namespace plat {

// What a stored message became.
struct MimeStoreResult {
    DWORD parts = 0;          // part items appended
    DWORD attachedBodies = 0; // bodies too large for an item, kept as attachments
};

// Splits a message into its parts and appends one item of data type 25 and
// item flags 3 per part, in message order, under itemName, replacing any
// items of that name. Each item holds the part header (structure type 639),
// then the part's boundary line, its header text and its body, byte for
// byte as the message holds them, so that the parts' texts joined give the
// message back:
//   - a multipart entity: a prolog part (part type 1) whose headers are the
//     entity's and whose body is its preamble, then its parts, then a
//     closing part (part type 3: the closing boundary line and, as its body,
//     what follows it up to the next boundary of an enclosing level or the
//     end); a level the message never closes gets no closing part;
//   - any other entity: one body part (part type 2);
//   - every part but the first carries the boundary line that opens it
//     (flag 1); every part but a closing one its header text (flag 2).
// A body that would make the part pass 65,535 bytes is kept in a "$FILE"
// attachment of the note (flag 4) whose name the body then holds. A
// multipart entity without a boundary parameter is one body part. Line ends
// may be CR LF or LF; the line end before a boundary line stays with the
// part before it. Returns 0, ERR_BAD_ARGUMENT for a missing argument or
// the item name "$FILE" (that of the note's attachments, in any case),
// ERR_ITEM_TOO_LARGE when a part's boundary line and header text alone
// pass what an item holds, or the failure of a platform call; on failure
// the note's items of the name are as they were.
TPLAT_API STATUS MimeStoreMessage(NOTEHANDLE note, const char* itemName, WORD itemNameLength, const char* message,
                                  size_t length, MimeStoreResult* result = nullptr);

} // namespace plat
