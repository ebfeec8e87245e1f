// Shared by the readers of a note's stored MIME part items: a part item's
// value locked while it is read, the walk over the items of a name, and
// what the readers take from a part's header text (its transfer encoding,
// a parameter such as its file name) and body.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/item_internal.h"
#include "core/statuses.h"
#include "mime/mime_part.h"
#include "talix_platform.h"

namespace talix {

// A part item's value, locked while the object lives.
class LockedPart {
public:
    LockedPart(plat::BLOCKID value, std::uint32_t length) : value_(value) {
        bytes_ = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        valid_ = bytes_ != nullptr && ParseMimePart(bytes_, length, &header, &texts) == kOK;
    }
    ~LockedPart() {
        if (bytes_ != nullptr) plat::BlockUnlock(value_);
    }
    LockedPart(const LockedPart&) = delete;
    LockedPart& operator=(const LockedPart&) = delete;

    // A body part with header text whose lengths fit its value.
    bool BodyPart() const {
        return valid_ && header.partType == kPartBody && (header.flags & kPartHasHeaders) != 0;
    }

    MIMEPartHeader header;
    MimePartTexts texts;

private:
    plat::BLOCKID value_;
    const std::uint8_t* bytes_ = nullptr;
    bool valid_ = false;
};

// The walk shared by the readers: the first item of the name, then each
// next one, until the platform reports no further item. each gets the item
// and value and whether it is the first, and says whether the walk goes on.
// Returns 546 when the note has no item of the name, 1 when the first is
// not a MIME part, the status of a failed look-up, or 0 at the end of the
// items (or when each ended the walk).
template <typename Each>
STATUS WalkParts(plat::NOTEHANDLE note, const char* itemName, Each each) {
    if (itemName == nullptr) return kItemNotFound;
    const plat::WORD nameLength = NameLength(itemName);
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, itemName, nameLength, &item, &type, &value, &length);
    if (status != plat::NOERROR) return status;
    if (type != plat::TYPE_MIME_PART) return 1;
    bool first = true;
    while (status == plat::NOERROR) {
        if (!each(item, value, length, first)) return kOK;
        first = false;
        status = plat::ItemInfoNext(note, item, itemName, nameLength, &item, nullptr, &value, &length);
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

// The transfer encoding the Content-Transfer-Encoding header names: the
// first of "quoted-printable", "base64" and "binary" met in its value;
// plain without the header or any of them.
enum class MimeDecoding { kPlain, kQuotedPrintable, kBase64, kBinary };
MimeDecoding MimeTransferDecoding(std::string_view headers);

// Base64 text decoded (characters outside the alphabet passed over).
std::string DecodedBase64(std::string_view text);

// Quoted-printable text as the bytes it stands for: "=" and a line end is a
// soft line break, "=" and two hexadecimal digits a byte; anything else is
// taken as it stands.
std::string DecodedQuotedPrintable(std::string_view text);

// The content of a part from its body as stored: the transfer encoding its
// Content-Transfer-Encoding names undone. In a multipart message
// (beforeBoundary) the line end before the next boundary line belongs to
// that line, not to the content.
std::string MimePartContent(std::string_view body, std::string_view headers, bool beforeBoundary);

// The Content-ID of a picture part's header text without its angle
// brackets; empty when it has none.
std::string ImageContentId(std::string_view headers);

} // namespace talix
