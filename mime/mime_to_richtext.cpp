// Reading a note's MIME parts back into rich text.
#include "core/statuses.h"
#include "talix/item.h"

std::uint16_t ZervaRTItem::ConvertFromMIMEBackend(std::uint32_t noteHandle, const char* itemName,
                                                  const char* options, std::uint16_t optionsLength,
                                                  const char* unused, std::uint16_t unusedLength) {
    // MIME parts are not turned into rich text yet: the note is left as it
    // is and the failure says so, so that callers find the item's type
    // unchanged.
    return talix::kOperationFailed;
}
