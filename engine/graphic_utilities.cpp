#include "engine/graphic_utilities.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "builders/append_gate.h"
#include "core/attachments.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kDefaultPixels = 100;
constexpr std::uint16_t kTypeBmp = 3;

// Host offsets of the size records.
constexpr std::uint32_t kBitmapWidth = 24, kBitmapHeight = 26;
constexpr std::uint32_t kGraphicDestWidth = 8, kGraphicDestHeight = 10, kGraphicResize = 24;
constexpr std::uint32_t kImageType = 8, kImageWidth = 10, kImageHeight = 12;
constexpr std::uint32_t kSegmentDataSize = 8, kSegmentData = 12;

// The image's attachment: the object is laid out in blocks of at most
// kObjectBlockSize bytes; a record that would leave less than kBlockReserve
// bytes free in a block starts the next one.
constexpr std::uint32_t kObjectBlockSize = 65406;
constexpr std::uint32_t kBlockReserve = 2048;
constexpr plat::WORD kFileObjectType = 58;
constexpr plat::WORD kStorageLinkType = StructureTypeOf(kSigStorageLink);
constexpr plat::WORD kHostTypeCdStorage = 0x0800;
constexpr plat::WORD kFileItemFlags = plat::ITEM_SIGN | plat::ITEM_SEAL | plat::ITEM_SUMMARY;
constexpr int kLastNameNumber = 999;

bool IsFrameMarker(std::uint8_t marker) {
    return (marker >= 0xC0 && marker <= 0xC3) || (marker >= 0xC5 && marker <= 0xC7) ||
           (marker >= 0xC9 && marker <= 0xCB) || (marker >= 0xCD && marker <= 0xCF);
}

std::uint16_t BigEndianWord(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// The pixel size held in the data of a GIF or JPEG image. GIF: the screen
// size of its header. JPEG: the size of its first frame header, found by
// walking its marker segments from the third byte (every step moves
// forward; the walk stops 11 bytes before the end). False when none is found.
bool ImageDataPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width,
                        std::uint16_t* height) {
    if (data == nullptr) return false;
    if (size >= 10 && std::memcmp(data, "GIF", 3) == 0) {
        *width = ReadWord(data + 6);
        *height = ReadWord(data + 8);
        return true;
    }
    // JPEG: from the third byte, 0xFF bytes before another 0xFF are fill,
    // 0xFF and another byte a marker; a frame marker holds the size, any
    // other marker's segment is skipped by its length. Every step moves on,
    // whatever the length says.
    constexpr std::uint32_t kTail = 11;
    std::uint32_t i = 2;
    while (size >= kTail && i <= size - kTail) {
        if (data[i] != 0xFF || data[i + 1] == 0xFF) {
            ++i;
            continue;
        }
        const std::uint32_t marker = i + 1;
        if (IsFrameMarker(data[marker])) {
            *height = BigEndianWord(data + marker + 4);
            *width = BigEndianWord(data + marker + 6);
            return true;
        }
        std::uint32_t segment = BigEndianWord(data + marker + 1);
        if (segment < 2) segment = 2;
        i = marker + 1 + segment;
    }
    return false;
}

} // namespace

STATUS GetGraphicPixelSize(const CDRecordNode* first, std::uint16_t* width, std::uint16_t* height) {
    if (width == nullptr || height == nullptr) return kArgumentError;
    if (*width == 0) *width = kDefaultPixels;
    if (*height == 0) *height = kDefaultPixels;
    bool haveWidth = false, haveHeight = false;
    std::uint16_t imageType = 0;
    auto take = [&](std::uint16_t w, std::uint16_t h) {
        if (w > 0) {
            *width = w;
            haveWidth = true;
        }
        if (h > 0) {
            *height = h;
            haveHeight = true;
        }
    };
    for (const CDRecordNode* node = first; node != nullptr && !(haveWidth && haveHeight); node = node->next) {
        const std::uint8_t* bytes = node->bytes;
        const std::uint32_t length = node->length;
        if (bytes == nullptr) continue;
        // The records of the next picture are not this one's.
        if (node != first && node->signature == kSigGraphic) break;
        switch (node->signature) {
        case kSigBitmapHeader:
            if (length >= kBitmapHeight + 2) take(ReadWord(bytes + kBitmapWidth), ReadWord(bytes + kBitmapHeight));
            break;
        case kSigGraphic:
            if (length >= kGraphicResize + 2 && ReadWord(bytes + kGraphicResize) != 0)
                take(ReadWord(bytes + kGraphicDestWidth), ReadWord(bytes + kGraphicDestHeight));
            break;
        case kSigImageHeader:
            if (length >= kImageHeight + 2) {
                take(ReadWord(bytes + kImageWidth), ReadWord(bytes + kImageHeight));
                imageType = ReadWord(bytes + kImageType);
            }
            break;
        case kSigImageSegment: {
            if (imageType != 0 || length < kSegmentData) break;
            std::uint32_t size = ReadWord(bytes + kSegmentDataSize);
            if (size > length - kSegmentData) size = length - kSegmentData;
            const std::uint8_t* data = bytes + kSegmentData;
            if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
                imageType = kTypeBmp;
                break;
            }
            std::uint16_t w = 0, h = 0;
            if (ImageDataPixelSize(data, size, &w, &h)) {
                take(w, h);
                return kOK;
            }
            break;
        }
        default:
            break;
        }
    }
    return kOK;
}

bool IsHotspotBeginSignature(std::uint16_t signature) {
    return signature == kSigV6HotspotBeginContinuation || signature == kSigV5HotspotBegin ||
           signature == kSigHotspotBegin || signature == kSigV4HotspotBegin;
}

bool IsHotspotSignature(std::uint16_t signature) {
    return IsHotspotBeginSignature(signature) || signature == kSigV5HotspotEnd || signature == kSigHotspotEnd ||
           signature == kSigV4HotspotEnd;
}

STATUS NoOpRecordHandler(RecordProcessContext*, std::uint8_t*, CDRecordNode*, void*) { return kOK; }

// ---- The image's records as an attachment ---------------------------------

namespace {

// The first name of "Graphic", "Graphic0" ... "Graphic999" that the note
// holds no attachment of; false when all are taken.
bool FreeGraphicName(plat::NOTEHANDLE note, char* name, std::uint32_t size) {
    std::snprintf(name, size, "Graphic");
    if (FindAttachmentName(note, name, size, 0) == 0) return true;
    for (int n = 0; n <= kLastNameNumber; ++n) {
        std::snprintf(name, size, "Graphic%d", n);
        if (FindAttachmentName(note, name, size, 0) == 0) return true;
    }
    return false;
}

// The object's content: the block count, each block's length, the word 1,
// then the records in stored form, each padded to even. False when a
// record cannot be converted.
bool BuildObjectContent(ZervaRTItem* item, const CDRecordNode* first, const CDRecordNode* last,
                        std::vector<std::uint8_t>* content) {
    std::vector<std::uint8_t> records;
    std::vector<std::uint16_t> blocks{0};
    for (const CDRecordNode* node = first; node != nullptr; node = node->next) {
        if (node->bytes != nullptr && node->length > 0) {
            std::uint32_t length = node->length;
            const void* stored = item->ConvertToCanonicalData(node->bytes, node->signature, &length);
            if (stored == nullptr) return false;
            const std::uint32_t padded = EvenLength(length);
            if (blocks.back() != 0 && blocks.back() + padded > kObjectBlockSize - kBlockReserve) blocks.push_back(0);
            const auto* bytes = static_cast<const std::uint8_t*>(stored);
            records.insert(records.end(), bytes, bytes + length);
            if (padded != length) records.push_back(0);
            blocks.back() = static_cast<std::uint16_t>(blocks.back() + padded);
        }
        if (node == last) break;
    }
    content->clear();
    auto putWord = [content](std::uint16_t value) {
        content->push_back(static_cast<std::uint8_t>(value));
        content->push_back(static_cast<std::uint8_t>(value >> 8));
    };
    putWord(static_cast<std::uint16_t>(blocks.size()));
    for (std::uint16_t block : blocks) putWord(block);
    putWord(1);
    content->insert(content->end(), records.begin(), records.end());
    return true;
}

// The "$FILE" value naming the object: the data-type word, the descriptor
// in stored form and the name.
plat::STATUS AppendFileItem(plat::NOTEHANDLE note, plat::DWORD objectId, std::uint32_t size, const char* name) {
    const std::uint32_t nameLength = static_cast<std::uint32_t>(std::strlen(name));
    const std::uint32_t storedSize = plat::StructStoredLength(kFileObjectType);
    if (storedSize == 0 || plat::StructHostLength(kFileObjectType) != kFileDescriptorHostSize) return kArgumentError;
    std::uint8_t descriptor[kFileDescriptorHostSize] = {};
    WriteDword(descriptor + kFileDescriptorObjectIdAt, objectId);
    WriteWord(descriptor + kFileDescriptorNameLengthAt, static_cast<std::uint16_t>(nameLength));
    WriteWord(descriptor + kFileDescriptorHostTypeAt, kHostTypeCdStorage);
    WriteDword(descriptor + kFileDescriptorFileSizeAt, size);
    plat::TIMEDATE now;
    plat::CurrentTime(&now);
    std::memcpy(descriptor + kFileDescriptorCreatedAt, &now, sizeof now);
    std::memcpy(descriptor + kFileDescriptorModifiedAt, &now, sizeof now);

    const std::uint32_t valueLength = 2 + storedSize + nameLength;
    plat::DHANDLE block = 0;
    plat::STATUS status = plat::MemAlloc(valueLength, 0, &block);
    if (status != plat::NOERROR) return status;
    auto* value = static_cast<std::uint8_t*>(plat::MemLock(block));
    if (value == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    WriteWord(value, plat::TYPE_OBJECT);
    void* dest = value + 2;
    status = plat::StructWrite(&dest, kFileObjectType, descriptor);
    std::memcpy(value + 2 + storedSize, name, nameLength);
    plat::MemUnlock(block);
    if (status == plat::NOERROR)
        status = plat::ItemAppendByBlock(note, kFileItemFlags, "$FILE", 5, block, valueLength);
    plat::MemFree(block);
    return status;
}

// The records that stand for the image in the body: the range's CDBEGIN and
// graphic records, a storage link naming the attachment, the range's bitmap
// header (or one of the image header's size) and its CDEND.
STATUS AppendReplacement(RecordProcessContext* context, const CDRecordNode* first, const CDRecordNode* last,
                         const char* name) {
    RecordOutput* output = &context->output;
    const CDRecordNode* bitmapHeader = nullptr;
    const CDRecordNode* imageHeader = nullptr;
    const CDRecordNode* end = nullptr;
    STATUS status = kOK;
    for (const CDRecordNode* node = first; node != nullptr && status == kOK; node = node->next) {
        switch (node->signature) {
        case kSigBegin:
        case kSigGraphic: status = AppendRecordNode(node, output); break;
        case kSigBitmapHeader: bitmapHeader = node; break;
        case kSigImageHeader: imageHeader = node; break;
        case kSigEnd: end = node; break;
        default: break;
        }
        if (node == last) break;
    }
    if (status != kOK) return status;

    const std::uint32_t nameLength = static_cast<std::uint32_t>(std::strlen(name));
    const std::uint32_t fixed = plat::StructHostLength(kStorageLinkType);
    const std::uint32_t linkLength = fixed + nameLength;
    std::vector<std::uint8_t> link(EvenLength(linkLength), 0);
    WriteWord(link.data(), kSigStorageLink);
    WriteWord(link.data() + 2, static_cast<std::uint16_t>(linkLength));
    WriteWord(link.data() + kStorageLinkKindAt, kStorageLinkAttachment);
    WriteWord(link.data() + kStorageLinkLoadTypeAt, 1);
    WriteWord(link.data() + kStorageLinkNameLengthAt, static_cast<std::uint16_t>(nameLength));
    std::memcpy(link.data() + fixed, name, nameLength);
    status = AppendRecord(link.data(), kSigStorageLink, static_cast<std::uint32_t>(link.size()), output);
    if (status != kOK) return status;

    if (bitmapHeader != nullptr) {
        status = AppendRecordNode(bitmapHeader, output);
    } else {
        std::uint8_t header[kBitmapHeaderLength] = {};
        WriteRecordHeader(header, kSigBitmapHeader, kBitmapHeaderLength);
        std::uint16_t width = kDefaultPixels, height = kDefaultPixels;
        if (imageHeader != nullptr && imageHeader->length >= kImageHeight + 2) {
            width = ReadWord(imageHeader->bytes + kImageWidth);
            height = ReadWord(imageHeader->bytes + kImageHeight);
        }
        WriteWord(header + kBitmapWidth, width);
        WriteWord(header + kBitmapHeight, height);
        status = AppendRecord(header, kSigBitmapHeader, sizeof header, output);
    }
    if (status == kOK && end != nullptr) status = AppendRecordNode(end, output);
    return status;
}

} // namespace

STATUS ExportGraphicToItem(RecordProcessContext* context, CDRecordNode* first, CDRecordNode* last) {
    if (context == nullptr || first == nullptr || last == nullptr || context->chunk == nullptr ||
        context->chunk->item == nullptr || context->note == 0)
        return kOutOfMemory;
    const plat::NOTEHANDLE note = context->note;
    char name[16];
    if (!FreeGraphicName(note, name, sizeof name)) return kOperationFailed;
    std::vector<std::uint8_t> content;
    if (!BuildObjectContent(context->chunk->item, first, last, &content)) return kOutOfMemory;
    // What stands for the image in the body goes first: when it cannot be
    // written, the note gets no attachment.
    const STATUS appended = AppendReplacement(context, first, last, name);
    if (appended != kOK) return appended;

    // The object is written whole before the "$FILE" item names it; a
    // failure frees it, so the note never refers to a half-written object.
    plat::DBHANDLE db = 0;
    plat::STATUS status = plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
    plat::DWORD objectId = 0;
    const std::uint32_t size = static_cast<std::uint32_t>(content.size());
    if (status == plat::NOERROR) status = plat::DbAllocObject(db, size, plat::OBJECT_CLASS_FILE, &objectId);
    if (status != plat::NOERROR) return status & kStatusMask;
    status = plat::DbWriteObjectBytes(db, objectId, content.data(), 0, size);
    if (status == plat::NOERROR) status = AppendFileItem(note, objectId, size, name);
    if (status != plat::NOERROR) {
        plat::DbFreeObject(db, objectId);
        return status & kStatusMask;
    }
    context->chunk->item->modified = 1;
    return kOK;
}

} // namespace talix
