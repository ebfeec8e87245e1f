// Passes over the stored records of every item of a name.
#include "core/record_layouts.h"
#include "core/walkers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/attachments.h"
#include "core/item_work_state.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/replacing_file.h"
#include "core/signatures.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Host offsets of the fields used.
constexpr std::uint32_t kFileHeaderDataSize = 12;
constexpr std::uint32_t kFileSegmentDataSize = 8;
constexpr std::uint32_t kLargestFixedPart = 32;

// A visitor's answer that ends a walk early without a failure.
constexpr STATUS kStopWalk = 0xFFFF;

// Calls visit(value, valueLength) for the value (data-type word first) of
// every item of the name, in order. Returns 0 at the end of the items (also
// when there is none), 257 for an item that is not rich text, the first
// status other than 0 that visit returns (kStopWalk becomes 0), or a
// platform status.
template <typename Visit>
STATUS ForEachValue(plat::NOTEHANDLE note, const char* name, Visit visit) {
    if (name == nullptr) return kArgumentError;
    const auto nameLength = static_cast<plat::WORD>(std::strlen(name));
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, name, nameLength, &item, &type, &value, &length);
    while (status == plat::NOERROR) {
        if (type != plat::TYPE_COMPOSITE) return kOperationFailed;
        const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        if (bytes == nullptr) return kOperationFailed;
        STATUS result = visit(bytes, static_cast<std::uint32_t>(length));
        plat::BlockUnlock(value);
        if (result == kStopWalk) return kOK;
        if (result != kOK) return result;
        status = plat::ItemInfoNext(note, item, name, nameLength, &item, &type, &value, &length);
    }
    return status == kItemNotFound ? kOK : status;
}

// Calls visit(record, signature, length) for every stored record of a
// value. Returns 0, kDamagedRecords when a header or length does not fit the
// value, or the first status other than 0 that visit returns.
template <typename Visit>
STATUS ForEachStoredRecord(const std::uint8_t* value, std::uint32_t valueLength, Visit visit) {
    std::uint32_t offset = 2;
    while (offset < valueLength && valueLength - offset >= 2) {
        const std::uint32_t left = valueLength - offset;
        std::uint32_t length = 0;
        std::uint16_t signature = 0;
        if (GSBR(value + offset, left, &length, &signature) != kOK || length > left) return kDamagedRecords;
        STATUS status = visit(value + offset, signature, length);
        if (status != kOK) return status;
        offset += EvenLength(length);
    }
    return kOK;
}

// The fixed part of a stored record in host form (zero-filled to
// kLargestFixedPart bytes); false when the record is shorter than it.
bool ReadHostFixedPart(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       std::uint8_t (&out)[kLargestFixedPart], std::uint32_t* storedFixed) {
    std::memset(out, 0, sizeof out);
    const SignatureForm* form = FindSignatureForm(signature);
    if (form == nullptr || form->typeCode == kHeaderOnly || form->hostLength > sizeof out) return false;
    *storedFixed = plat::StructStoredLength(form->typeCode);
    if (*storedFixed == 0 || length < *storedFixed) return false;
    const void* src = record;
    return plat::StructRead(&src, form->typeCode, out) == plat::NOERROR;
}

// The data of a file-segment record (pointer and length within the record).
bool FileSegmentData(const std::uint8_t* record, std::uint32_t length, const std::uint8_t** data,
                     std::uint32_t* dataLength) {
    std::uint8_t host[kLargestFixedPart];
    std::uint32_t storedFixed = 0;
    if (!ReadHostFixedPart(record, kSigFileSegment, length, host, &storedFixed)) return false;
    std::uint32_t size = ReadWord(host + kFileSegmentDataSize);
    *data = record + storedFixed;
    *dataLength = size < length - storedFixed ? size : length - storedFixed;
    return true;
}

} // namespace

STATUS MeasureItemContent(plat::NOTEHANDLE note, const char* itemName, char** text, std::uint32_t* length,
                          int paragraphFlag, int mode) {
    if (text == nullptr || length == nullptr) return kOutOfMemory;
    *text = nullptr;
    *length = 0;

    // Measure.
    std::uint64_t measured = 0;
    STATUS status = ForEachValue(note, itemName, [&](const std::uint8_t* value, std::uint32_t valueLength) {
        return ForEachStoredRecord(value, valueLength, [&](const std::uint8_t* record, std::uint16_t signature,
                                                           std::uint32_t recordLength) -> STATUS {
            if (mode == 0) {
                if (signature == kSigText && recordLength >= kTextRunHeader) measured += recordLength - kTextRunHeader;
                else if (signature == kSigParagraph && paragraphFlag) measured += 1;
                return kOK;
            }
            if (signature != kSigFileHeader) return kOK;
            std::uint8_t host[kLargestFixedPart];
            std::uint32_t storedFixed = 0;
            if (ReadHostFixedPart(record, signature, recordLength, host, &storedFixed))
                measured = ReadDword(host + kFileHeaderDataSize);
            return kStopWalk;
        });
    });
    if (status != kOK) return status;
    if (measured >= 0xFFFFFFFFu) return kOutOfMemory;

    // Copy, never more than was measured.
    char* result = static_cast<char*>(std::malloc(static_cast<std::size_t>(measured) + 1));
    if (result == nullptr) return kOutOfMemory;
    std::uint64_t used = 0;
    auto put = [&](const void* bytes, std::uint64_t size) {
        if (size > measured - used) size = measured - used;
        std::memcpy(result + used, bytes, static_cast<std::size_t>(size));
        used += size;
    };
    status = ForEachValue(note, itemName, [&](const std::uint8_t* value, std::uint32_t valueLength) {
        return ForEachStoredRecord(value, valueLength, [&](const std::uint8_t* record, std::uint16_t signature,
                                                           std::uint32_t recordLength) -> STATUS {
            if (mode == 0) {
                if (signature == kSigText && recordLength >= kTextRunHeader)
                    put(record + kTextRunHeader, recordLength - kTextRunHeader);
                else if (signature == kSigParagraph && paragraphFlag)
                    put(" ", 1);
            } else if (signature == kSigFileSegment) {
                const std::uint8_t* data = nullptr;
                std::uint32_t dataLength = 0;
                if (FileSegmentData(record, recordLength, &data, &dataLength)) put(data, dataLength);
            }
            return kOK;
        });
    });
    if (status != kOK) {
        std::free(result);
        return status;
    }
    result[used] = '\0';
    *text = result;
    *length = static_cast<std::uint32_t>(used);
    return kOK;
}

STATUS ExportFileData(plat::NOTEHANDLE note, const char* filePath) {
    if (filePath == nullptr || filePath[0] == '\0') return kOperationFailed;
    // Written as every output file is (core/replacing_file.h): a failure
    // leaves the file of that name as it was.
    ReplacingFile output;
    if (!output.Open(filePath, "wb")) return kOperationFailed;
    std::FILE* file = output.file();
    STATUS status = ForEachValue(note, "$FileData", [&](const std::uint8_t* value, std::uint32_t valueLength) {
        return ForEachStoredRecord(value, valueLength, [&](const std::uint8_t* record, std::uint16_t signature,
                                                           std::uint32_t recordLength) -> STATUS {
            const std::uint8_t* data = nullptr;
            std::uint32_t dataLength = 0;
            if (signature != kSigFileSegment || !FileSegmentData(record, recordLength, &data, &dataLength))
                return kOK;
            return std::fwrite(data, 1, dataLength, file) == dataLength ? kOK : kOperationFailed;
        });
    });
    if (status == kOK && !output.Commit()) status = kOperationFailed;
    return status;
}

STATUS FormatItemCRC(plat::NOTEHANDLE note, const char* itemName, char* out, std::uint32_t outSize,
                     std::uint16_t lengthWidth, std::uint16_t sumWidth) {
    const std::uint32_t total = lengthWidth + 2u * sumWidth;
    if (out == nullptr || outSize <= total) {
        if (out != nullptr && outSize > 0) out[0] = '\0';
        return kArgumentError;
    }
    std::memset(out, '0', total);
    out[total] = '\0';
    if (lengthWidth == 0 && sumWidth == 0) return kOK;

    std::uint64_t totalLength = 0, sum = 0, weighted = 0;
    bool first = true;
    STATUS status = ForEachValue(note, itemName, [&](const std::uint8_t* value, std::uint32_t valueLength) -> STATUS {
        totalLength += valueLength;
        if (sumWidth != 0) {
            for (std::uint32_t i = 0; i < valueLength; ++i) {
                sum += value[i];
                if (first) weighted += static_cast<std::uint64_t>(value[i]) * (i & 127u);
            }
        }
        first = false;
        return kOK;
    });
    if (status != kOK) return status;
    if (lengthWidth == 0) return kOK;

    // Each number printed with at least its field's width of digits; its
    // rightmost digits fill the field.
    auto place = [](char* field, std::uint16_t width, std::uint64_t number) {
        if (width == 0) return;
        char digits[32];
        int printed = std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(number));
        for (std::uint16_t i = 0; i < width; ++i) {
            int from = printed - 1 - i;
            field[width - 1 - i] = from >= 0 ? digits[from] : '0';
        }
    };
    place(out, lengthWidth, totalLength);
    place(out + lengthWidth, sumWidth, sum);
    place(out + lengthWidth + sumWidth, sumWidth, weighted);
    return kOK;
}

STATUS CheckItemsAreRichText(plat::NOTEHANDLE note, const char* itemName) {
    return ForEachValue(note, itemName, [](const std::uint8_t*, std::uint32_t) -> STATUS { return kOK; });
}

} // namespace talix
