// Reading the attachment name of a file hotspot or a storage link, and
// copying such a record under another name.
#include "engine/record_rename.h"

#include <cstring>
#include <new>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"

namespace talix {

namespace {

constexpr std::uint32_t kLongestAttachmentName = 255;

} // namespace

bool FindAttachmentNamePlace(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                             AttachmentNamePlace* place) {
    std::uint32_t fixedLength = 0;
    std::uint32_t lengthAt = 0;
    if ((signature == kSigHotspotBegin || signature == kSigV4HotspotBegin) && length > kHotspotBeginFixedLength &&
        ReadWord(record + kHotspotTypeAt) == kHotspotTypeFile) {
        fixedLength = kHotspotBeginFixedLength;
        lengthAt = kHotspotDataLengthAt;
    } else if (signature == kSigStorageLink && length >= kStorageLinkFixedLength &&
               ReadWord(record + kStorageLinkKindAt) == kStorageLinkAttachment) {
        fixedLength = kStorageLinkFixedLength;
        lengthAt = kStorageLinkNameLengthAt;
    } else {
        return false;
    }
    std::uint32_t word = ReadWord(record + lengthAt);
    if (word > length - fixedLength) word = length - fixedLength;
    *place = AttachmentNamePlace{fixedLength, lengthAt, word};
    return true;
}

bool ReadAttachmentName(const std::uint8_t* record, const AttachmentNamePlace& place, std::string* name) {
    const char* text = reinterpret_cast<const char*>(record + place.nameAt);
    const std::size_t nameLength = strnlen(text, place.word);
    if (nameLength == 0 || nameLength > kLongestAttachmentName) return false;
    name->assign(text, nameLength);
    return true;
}

STATUS RenamedRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     const AttachmentNamePlace& place, const std::string& stored, std::vector<std::uint8_t>* copy) {
    const std::uint32_t nameAt = place.nameAt;
    const auto nameLength = static_cast<std::uint32_t>(strnlen(reinterpret_cast<const char*>(record + nameAt),
                                                               place.word));
    const auto storedLength = static_cast<std::uint32_t>(stored.size());
    const std::uint32_t newLength = length - nameLength + storedLength;
    const std::uint32_t newWord = place.word - nameLength + storedLength;
    if (newLength > 0xFFFF || newWord > 0xFFFF) return kOperationFailed;
    try {
        copy->assign(newLength + 1, 0);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    std::memcpy(copy->data(), record, nameAt);
    std::memcpy(copy->data() + nameAt, stored.data(), storedLength);
    std::memcpy(copy->data() + nameAt + storedLength, record + nameAt + nameLength, length - nameAt - nameLength);
    WriteWord(copy->data() + place.lengthAt, static_cast<std::uint16_t>(newWord));
    SetHostRecordLength(copy->data(), signature, newLength);
    return kOK;
}

} // namespace talix
