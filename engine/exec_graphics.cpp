// The graphic operations of the executors: appending a picture (2438), a
// reference to an image resource (2424) or a layer (2442) before or after
// the chunk; exporting the chunk's picture to a file (2367); and the graphic
// property codes inside the chunk: height and width (29-32), pixel units
// (39, 40), format, data reference, ratio, unit and name (50-53, 56), the
// attachment of a file hotspot and its size (65, 66, 70), and where a
// graphic keeps its image (67, 68).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/graphic_builders.h"
#include "builders/image_resource.h"
#include "builders/layer_builders.h"
#include "core/attachments.h"
#include "core/chunk_work_state.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/graphic_utilities.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc";

// The chunk's error word when a bitmap is to be exported.
constexpr std::uint16_t kErrBitmapExport = 20034;
constexpr const char* kBitmapExportMessage =
    "TALIX: ExportGraphic method for bitmaps requires Notes 6.0.2 or later, and appropriate Talix version";

// Host offsets.
constexpr std::uint32_t kGraphicWidth = 8, kGraphicHeight = 10, kGraphicResize = 24, kGraphicVersion = 26,
                        kGraphicFlags = 27, kGraphicFieldsEnd = 28;
constexpr std::uint8_t kGraphicInPixels = 0x01, kGraphicVersionSet = 2;
constexpr std::uint32_t kBitmapWidth = 24, kBitmapHeight = 26;
constexpr std::uint32_t kImageType = 8, kImageWidth = 10, kImageHeight = 12, kImageSegments = 20;
// A resource reference: flags, kind and class, name and hint lengths, then
// the hints, a replica id for named elements, and the name.
constexpr std::uint32_t kResourceFlags = 4, kResourceKind = 8, kResourceClass = 10, kResourceNameLength = 12,
                        kResourceServerLength = 14, kResourceFileLength = 16, kResourceReplica = 8;
constexpr std::uint32_t kResourceFormula = 0x1;

// Property codes that tell a file hotspot's names apart.
constexpr std::uint16_t kOriginalFileName = 2621;
constexpr std::uint16_t kAttachmentValue = 2627;

constexpr double kTwipsPerInch = 1440.0;

char* Scratch1(RecordProcessContext* context) { return context->session->messageBuffer; }
char* Scratch2(RecordProcessContext* context) { return context->session->optionValue; }
char* Scratch3(RecordProcessContext* context) { return context->session->optionValue + kScratchSize; }

// A text into a scratch buffer, cut to fit with its terminator.
void PutScratch(char* scratch, const char* text) {
    std::snprintf(scratch, kScratchSize, "%s", text);
}

// A resource reference that names an image resource.
bool IsImageResource(const CDRecordNode* node) {
    return node->length >= kResourceFixedLength && ReadWord(node->bytes + kResourceKind) == kResourceNamedElement &&
           ReadWord(node->bytes + kResourceClass) == kResourceClassImage;
}

// The name of a named-element reference, or false when the record is too
// short to hold it.
bool ResourceName(const CDRecordNode* node, const char** name, std::uint32_t* nameLength) {
    if (node->length < kResourceFixedLength) return false;
    const std::uint8_t* bytes = node->bytes;
    const std::uint32_t offset = kResourceFixedLength + ReadWord(bytes + kResourceServerLength) +
                                 ReadWord(bytes + kResourceFileLength) + kResourceReplica;
    const std::uint32_t length = ReadWord(bytes + kResourceNameLength);
    if (offset + length > node->length) return false;
    *name = reinterpret_cast<const char*>(bytes + offset);
    *nameLength = length;
    return true;
}

// The first resource reference among the records that follow a node, before
// the next text run, hotspot end or graphic; null when there is none.
const CDRecordNode* FollowingResource(const CDRecordNode* node) {
    for (node = node->next; node != nullptr; node = node->next) {
        if (node->signature == kSigText || node->signature == kSigHotspotEnd || node->signature == kSigGraphic)
            return nullptr;
        if (IsLinkResourceRecord(node->signature) && node->bytes != nullptr) return node;
    }
    return nullptr;
}

// The first record of one of the signatures after a graphic, among its own
// records (before the next text run or graphic); null when there is none.
const CDRecordNode* FollowingRecord(const CDRecordNode* node, std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    for (node = node->next; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (signature == a || signature == b || signature == c) return node;
        if (signature == kSigText || signature == kSigGraphic) return nullptr;
    }
    return nullptr;
}

// The name of the image resource a graphic refers to (not a formula), into
// scratch; false when the graphic refers to none.
bool ImageResourceName(const CDRecordNode* graphic, char* scratch) {
    const CDRecordNode* resource = FollowingResource(graphic);
    const char* name = nullptr;
    std::uint32_t nameLength = 0;
    if (resource == nullptr || !IsImageResource(resource) ||
        (ReadDword(resource->bytes + kResourceFlags) & kResourceFormula) != 0 ||
        !ResourceName(resource, &name, &nameLength))
        return false;
    std::snprintf(scratch, kScratchSize, "%.*s", static_cast<int>(nameLength), name);
    return true;
}

// Where the stored data of a graphic lies: the item and offset of the first
// bitmap header after it (or of the graphic's own next record), as the
// reader recorded them; false for records that were not read from the item.
bool StoredPosition(const CDRecordNode* graphic, std::uint16_t* segment, std::uint32_t* key) {
    const CDRecordNode* after = FollowingRecord(graphic, kSigImageHeader, kSigText, kSigBitmapHeader);
    const CDRecordNode* source = after != nullptr && after->signature == kSigBitmapHeader && RecordExtra(after) != nullptr
                                     ? after
                                     : graphic;
    const auto* extra = static_cast<const GraphicExtra*>(RecordExtra(source));
    if (extra == nullptr) return false;
    *segment = extra->segment;
    *key = extra->key;
    return true;
}

// ---- Appends before or after the chunk -------------------------------------

// A chunk that starts at the item's first record gets a paragraph and an
// empty text run before what is appended.
STATUS AppendPrefix(std::uint32_t recordCounter, RecordProcessContext* context) {
    if (recordCounter != 1) return kOK;
    STATUS status = AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord,
                                 &context->output);
    const FontId none;
    if (status == kOK) status = AppendTextRecord(nullptr, 0, &none, &context->output);
    return status;
}

// 2438 a picture from a URL or an attachment, 2424 a reference to an image
// resource, 2442 a layer; the option text is the run's second text.
STATUS AppendPicture(RecordProcessContext* context) {
    STATUS status = kOK;
    switch (context->operation) {
    case kOpAppendGraphic:
        status = AppendBitmapImage(context->operation2, context->argumentText, context->secondArgument, context);
        break;
    case kOpAppendGraphicReference:
        status = AppendGraphicRecords(context->operation2, context->a3, context->argumentText,
                                      context->secondArgument, 0, context, 0, 0, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
        break;
    case kOpAppendLayer:
        status = AppendLayerRecords(context->operation2, context, context->argumentText, context->secondArgument);
        break;
    default:
        return kOK;
    }
    context->chunk->item->modified = 1;
    return status;
}

STATUS PictureAtStart(std::uint8_t*, std::uint16_t, std::uint32_t recordCounter, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    STATUS status = AppendPrefix(recordCounter, context);
    // A picture stands in the chunk's paragraph; a layer holds paragraphs
    // of its own.
    const CDRecordNode* first = nullptr;
    if (status == kOK) status = EnterChunkContent(context, context->operation != kOpAppendLayer, &first);
    return status == kOK ? AppendPicture(context) : status;
}

STATUS PictureAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendPicture(context) : kOK;
}

// ---- 2367: the chunk's picture to a file ----------------------------------

// The file name: the argument text when it names a .gif, .jpg or .png
// file; otherwise the argument text (or the item's default file name
// without its ".cd") with the extension of the image type. False when it
// does not fit.
bool ExportFileName(RecordProcessContext* context, std::uint16_t imageType, char* name) {
    const char* argument = context->argumentText != nullptr ? context->argumentText : "";
    int written = 0;
    if (FindNoCase(argument, ".gif") != nullptr || FindNoCase(argument, ".jpg") != nullptr ||
        FindNoCase(argument, ".png") != nullptr) {
        written = std::snprintf(name, kScratchSize, "%s", argument);
    } else {
        const char* base = argument;
        std::size_t baseLength = std::strlen(argument);
        if (baseLength == 0) {
            base = context->chunk->item->importExportFile != nullptr ? context->chunk->item->importExportFile : "";
            const char* cd = FindNoCase(base, ".cd");
            baseLength = cd != nullptr ? static_cast<std::size_t>(cd - base) : std::strlen(base);
        }
        written = std::snprintf(name, kScratchSize, "%.*s%s", static_cast<int>(baseLength), base,
                                imageType == kImageTypeGif   ? ".gif"
                                : imageType == kImageTypePng ? ".png"
                                                             : ".jpg");
    }
    return written > 0 && static_cast<std::uint32_t>(written) < kScratchSize;
}

STATUS ExportPicture(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                     RecordProcessContext* context) {
    if (context->chunkDone != 0) return kOK;
    if (signature == kSigBitmapHeader) {
        context->chunkDone = 1;
        context->errorWord = kErrBitmapExport;
        ShowHostMessage(kBitmapExportMessage);
        return kNoHtmlInput;
    }
    if (signature != kSigImageHeader) return kOK;
    context->chunkDone = 1;
    char* name = Scratch1(context);
    if (!ExportFileName(context, WordAt(record, length, kImageType), name)) {
        name[0] = '\0';
        return kArgumentError;
    }
    const STATUS status = WriteImageSegmentsToFile(name, context->node);
    if (status == kOK) name[0] = '\0';
    return status;
}

// A chunk that holds no picture exports nothing: that is not a success.
STATUS ExportPictureAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunkDone == 0 ? kArgumentError : kOK;
}

// ---- Height, width and units (29-32, 39, 40, 52, 53) ----------------------

// The pixel size of the graphic records from a node.
void PixelSize(const CDRecordNode* node, std::uint16_t* width, std::uint16_t* height) {
    *width = 0;
    *height = 0;
    GetGraphicPixelSize(node, width, height);
}

// 29 and 31: the height or width of the chunk's first graphic that has one.
void GetDimension(bool height, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                  RecordProcessContext* context) {
    char text[32] = {};
    std::uint32_t value = 0;
    switch (signature) {
    case kSigGraphic: {
        if (length < kGraphicFieldsEnd) return;
        if (height && ReadWord(record + kGraphicResize) == 0) return;
        value = ReadWord(record + (height ? kGraphicHeight : kGraphicWidth));
        if (value == 0) return;
        if ((record[kGraphicFlags] & kGraphicInPixels) != 0) {
            std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
        } else {
            plat::FormatText(text, sizeof text, "%5.3f", value / kTwipsPerInch);
        }
        break;
    }
    case kSigBitmapHeader:
        value = WordAt(record, length, height ? kBitmapHeight : kBitmapWidth);
        break;
    case kSigImageHeader:
        value = WordAt(record, length, height ? kImageHeight : kImageWidth);
        break;
    case kSigImageSegment: {
        std::uint16_t w = 0, h = 0;
        PixelSize(context->node, &w, &h);
        value = height ? h : w;
        break;
    }
    default:
        return;
    }
    if (text[0] == '\0') {
        if (value == 0) return;
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    }
    PutScratch(Scratch3(context), text);
    context->chunkDone = 1;
}

// 52: width / height of the first picture with a size.
void GetRatio(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
              RecordProcessContext* context) {
    std::uint16_t width = 0, height = 0;
    switch (signature) {
    case kSigBitmapHeader:
        width = WordAt(record, length, kBitmapWidth);
        height = WordAt(record, length, kBitmapHeight);
        break;
    case kSigImageHeader:
        width = WordAt(record, length, kImageWidth);
        height = WordAt(record, length, kImageHeight);
        break;
    case kSigImageSegment:
        PixelSize(context->node, &width, &height);
        break;
    default:
        return;
    }
    if (width == 0 || height == 0) return;
    char text[32];
    plat::FormatText(text, sizeof text, "%5.4f", static_cast<double>(width) / height);
    PutScratch(Scratch3(context), text);
    context->chunkDone = 1;
}

// 53: "pixels" or "inches". Written to the first and the third scratch
// buffer: the property reads the first.
void GetUnit(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
             RecordProcessContext* context) {
    const char* unit = nullptr;
    if (signature == kSigGraphic) {
        if (length < kGraphicFieldsEnd || ReadWord(record + kGraphicResize) == 0
            || ReadWord(record + kGraphicHeight) == 0)
            return;
        unit = (record[kGraphicFlags] & kGraphicInPixels) != 0 ? "pixels" : "inches";
    } else if (signature == kSigBitmapHeader || signature == kSigImageHeader || signature == kSigImageSegment) {
        unit = "pixels";
    } else {
        return;
    }
    PutScratch(Scratch1(context), unit);
    PutScratch(Scratch3(context), unit);
    context->chunkDone = 1;
}

// A graphic record changed by edit is appended in place of the old one (the
// record list itself is not changed). Returns 0, 263 or the append's status.
template <typename Edit>
STATUS ReplaceGraphic(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context, Edit edit) {
    if (length < kGraphicFieldsEnd) return kOK;
    auto* copy = static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, kSourceName, length, 1));
    if (copy == nullptr) return kOutOfMemory;
    std::memcpy(copy, record, length);
    edit(copy);
    context->chunk->item->modified = 1;
    *passOn = 0;
    STATUS status = kOK;
    if (context->writesItem != 0) status = AppendRecord(copy, kSigGraphic, length, &context->output);
    ZervaDeallocate(context->session, copy);
    return status;
}

// 30 and 32: a3 0 shows the graphic at its natural size; another value is
// its new height or width, in pixels when the chunk asks for pixels, else
// in twips.
STATUS SetDimension(bool height, const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                    RecordProcessContext* context) {
    const std::uint16_t value = context->a3;
    const bool pixels = context->chunk->work != nullptr && context->chunk->work->sizeInPixels != 0;
    return ReplaceGraphic(record, length, passOn, context, [&](std::uint8_t* graphic) {
        graphic[kGraphicVersion] = kGraphicVersionSet;
        if (value == 0) {
            WriteWord(graphic + (height ? kGraphicHeight : kGraphicWidth), 0);
            WriteWord(graphic + kGraphicResize, 0);
            graphic[kGraphicFlags] = static_cast<std::uint8_t>(graphic[kGraphicFlags] & ~kGraphicInPixels);
            return;
        }
        WriteWord(graphic + (height ? kGraphicHeight : kGraphicWidth), value);
        WriteWord(graphic + kGraphicResize, 1);
        if (pixels) {
            graphic[kGraphicFlags] = static_cast<std::uint8_t>(graphic[kGraphicFlags] | kGraphicInPixels);
        } else {
            graphic[kGraphicFlags] = static_cast<std::uint8_t>(graphic[kGraphicFlags] & ~kGraphicInPixels);
        }
    });
}

// ---- Format, data reference and name (50, 51, 56) -------------------------

// 50: the kind of the chunk's first picture.
void GetFormat(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
               RecordProcessContext* context) {
    char text[64];
    if (signature == kSigBitmapHeader) {
        std::snprintf(text, sizeof text, "Notes Bitmap");
    } else if (signature == kSigImageHeader && length >= kImageSegments + 4) {
        const char* kind = ReadWord(record + kImageType) == kImageTypeJpeg ? "JPEG" : "GIF";
        std::snprintf(text, sizeof text, "%s", kind);
        // A header without data stands for an image resource.
        const CDRecordNode* resource =
            ReadDword(record + kImageSegments) == 0 ? FollowingResource(context->node) : nullptr;
        if (resource != nullptr && IsImageResource(resource)) {
            const bool formula = (ReadDword(resource->bytes + kResourceFlags) & kResourceFormula) != 0;
            std::snprintf(text, sizeof text, "%s Image Resource%s", kind, formula ? " (formula)" : "");
        }
    } else {
        return;
    }
    PutScratch(Scratch1(context), text);
    context->chunkDone = 1;
}

// 51 and 56: the image resource a graphic refers to or, without one, where
// its data is stored: as "segment.key" (51), or as a name made from that
// and the note's identity, upper-cased (56).
void GraphicPlace(std::uint16_t signature, RecordProcessContext* context, bool asName) {
    const CDRecordNode* graphic = context->node;
    if (signature != kSigGraphic || graphic == nullptr || graphic->bytes == nullptr) return;
    char* scratch = Scratch1(context);
    if (!ImageResourceName(graphic, scratch)) {
        std::uint16_t segment = 0;
        std::uint32_t key = 0;
        if (!StoredPosition(graphic, &segment, &key)) return;
        if (!asName) {
            std::snprintf(scratch, kScratchSize, "%d.%x", segment, key);
        } else {
            const CDRecordNode* header = FollowingRecord(graphic, kSigImageHeader, kSigImageHeader, kSigImageHeader);
            const bool jpeg =
                header != nullptr && WordAt(header->bytes, header->length, kImageType) == kImageTypeJpeg;
            plat::ORIGINATORID oid;
            if (plat::NoteGetInfo(context->note, plat::NOTE_FIELD_OID, &oid) != plat::NOERROR)
                oid = plat::ORIGINATORID();
            std::snprintf(scratch, kScratchSize, "_%d_%.6d%.6x%.8lx%.8lx", jpeg ? 2 : 1, segment, key,
                          static_cast<unsigned long>(oid.File.Innards[0]),
                          static_cast<unsigned long>(oid.File.Innards[1]));
            for (char* c = scratch; *c != '\0'; ++c) {
                if (*c >= 'a' && *c <= 'z') *c = static_cast<char>(*c - 'a' + 'A');
            }
        }
    }
    context->chunkDone = 1;
}

// ---- File hotspots (65, 66, 70) --------------------------------------------

// The first (or, with second set, the second) file name in the data of a
// file hotspot, into out; false for other records.
bool HotspotFileName(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, bool second,
                     char* out) {
    if ((signature != kSigHotspotBegin && signature != kSigV4HotspotBegin) || length < kHotspotBeginFixedLength ||
        ReadWord(record + kHotspotTypeAt) != kHotspotTypeFile)
        return false;
    std::uint32_t dataLength = ReadWord(record + kHotspotDataLengthAt);
    if (dataLength == 0) return false;
    if (dataLength > length - kHotspotBeginFixedLength) dataLength = length - kHotspotBeginFixedLength;
    const char* data = reinterpret_cast<const char*>(record + kHotspotBeginFixedLength);
    const std::size_t first = strnlen(data, dataLength);
    const char* name = data;
    std::size_t nameLength = first;
    if (second) {
        const std::size_t start = first + 1 < dataLength ? first + 1 : dataLength;
        name = data + start;
        nameLength = strnlen(name, dataLength - start);
    }
    std::snprintf(out, kScratchSize, "%.*s", static_cast<int>(nameLength), name);
    return true;
}

STATUS GetHotspotAttachment(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                            RecordProcessContext* context) {
    char* name = Scratch1(context);
    if (!HotspotFileName(record, signature, length, context->operation2 == kOriginalFileName, name)) return kOK;
    context->chunkDone = 1;
    plat::BLOCKID block;
    if (FindAttachmentItem(context->note, name, &block, context->operation2 == kAttachmentValue ? 1 : 0) == kOK)
        context->session->workArea->attachmentBlock = block;
    return kOK;
}

// 66 and 70: the sizes of the attachments of the chunk's file hotspots,
// added up in the third scratch buffer.
STATUS AddAttachmentSize(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::uint32_t fromObject, RecordProcessContext* context) {
    char* name = Scratch2(context);
    if (!HotspotFileName(record, signature, length, context->operation2 == kOriginalFileName, name)) return kOK;
    plat::DBHANDLE db = 0;
    std::uint32_t size = 0;
    if (plat::NoteGetInfo(context->note, plat::NOTE_FIELD_DB, &db) != plat::NOERROR ||
        GetAttachmentSize(db, context->note, name, &size, fromObject) != kOK)
        size = 0;
    char* sum = Scratch3(context);
    const long total = std::atol(sum) + static_cast<long>(size);
    std::snprintf(sum, kScratchSize, "%ld", total);
    return kOK;
}

// ---- Where a graphic keeps its image (67, 68) ------------------------------

void GetStorage(std::uint16_t signature, RecordProcessContext* context) {
    const CDRecordNode* graphic = context->node;
    if (signature != kSigGraphic || graphic == nullptr) return;
    const char* text = "Undetermined";
    for (const CDRecordNode* node = graphic->next; node != nullptr; node = node->next) {
        const std::uint16_t s = node->signature;
        if (s == kSigText || s == kSigHotspotEnd || s == kSigGraphic) break;
        if (s == kSigStorageLink) {
            const std::uint16_t kind = WordAt(node->bytes, node->length, kStorageLinkKindAt);
            text = kind == kStorageLinkAttachment ? "Storage Link Attachment"
                   : kind == kStorageLinkUrl          ? "Storage Link URL"
                                                      : "Storage Link";
            break;
        }
        if (s == kSigImageSegment || s == kSigBitmapSegment) {
            text = "Inline";
            break;
        }
        if (IsLinkResourceRecord(s) && node->bytes != nullptr) {
            if (!IsImageResource(node)) {
                text = "Unknown";
            } else {
                text = (ReadDword(node->bytes + kResourceFlags) & kResourceFormula) != 0 ? "Image Resource (formula)"
                                                                                     : "Image Resource";
            }
            break;
        }
    }
    PutScratch(Scratch1(context), text);
    context->chunkDone = 1;
}

// The records of an attachment that holds a graphic's records (as
// ExportGraphicToItem stores them), in host form; false when the content is
// not laid out so.
bool StoredGraphicRecords(ZervaRTItem* item, const std::uint8_t* data, std::uint32_t size,
                          std::vector<std::vector<std::uint8_t>>* records, std::vector<std::uint16_t>* signatures) {
    if (size < 2) return false;
    const std::uint32_t blocks = ReadWord(data);
    std::uint32_t position = 2 + 2 * blocks;
    if (blocks == 0 || position + 2 > size || ReadWord(data + position) != 1) return false;
    position += 2;
    if (position >= size) return false;
    while (position < size) {
        StoredHeader header;
        if (!DecodeStoredHeader(data + position, size - position, &header) || header.length < header.headerSize ||
            header.length > size - position)
            return false;
        std::uint32_t length = header.length;
        const void* host = item->ConvertFromCanonicalData(data + position, header.signature, &length);
        if (host == nullptr) return false;
        const auto* bytes = static_cast<const std::uint8_t*>(host);
        records->emplace_back(bytes, bytes + length);
        signatures->push_back(header.signature);
        position += EvenLength(header.length);
    }
    return true;
}

// 68 "inline" at a graphic whose image is an attachment named by the storage
// link after it: the graphic, the link and the bitmap header right after it
// are replaced by the image: records the attachment holds, or a picture made
// from GIF or JPEG data. Nothing changes for a graphic of another kind;
// 1028 when its attachment cannot be used (the run then changes nothing).
STATUS MakeInline(std::uint32_t* passOn, RecordProcessContext* context) {
    const CDRecordNode* graphic = context->node;
    const CDRecordNode* link = graphic != nullptr ? graphic->next : nullptr;
    if (link == nullptr || link->signature != kSigStorageLink || link->length < kStorageLinkFixedLength ||
        ReadWord(link->bytes + kStorageLinkKindAt) != kStorageLinkAttachment)
        return kOK;
    const std::uint32_t nameLength = ReadWord(link->bytes + kStorageLinkNameLengthAt);
    if (nameLength == 0 || kStorageLinkFixedLength + nameLength > link->length) return kOK;
    char* name = Scratch2(context);
    std::snprintf(name, kScratchSize, "%.*s", static_cast<int>(nameLength),
                  reinterpret_cast<const char*>(link->bytes + kStorageLinkFixedLength));
    const CDRecordNode* last = link;
    if (link->next != nullptr && link->next->signature == kSigBitmapHeader) last = link->next;

    char* data = nullptr;
    std::uint32_t size = 0;
    STATUS status = ReadAttachmentToMemory(context->note, name, &data, &size);
    if (status != kOK) return status == kItemNotFound ? kArgumentError : status;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    std::uint16_t imageType = 0;
    if (size >= 3 && std::memcmp(bytes, "GIF", 3) == 0) imageType = kImageTypeGif;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) imageType = kImageTypeJpeg;

    if (imageType != 0) {
        status = WriteImageBufferRecords(bytes, size, imageType, &context->output, 0, 0, nullptr);
    } else {
        std::vector<std::vector<std::uint8_t>> records;
        std::vector<std::uint16_t> signatures;
        if (!StoredGraphicRecords(context->chunk->item, bytes, size, &records, &signatures)) {
            status = kArgumentError;
        } else {
            for (std::size_t i = 0; i < records.size() && status == kOK; ++i) {
                status = AppendRecord(records[i].data(), signatures[i], static_cast<std::uint32_t>(records[i].size()),
                                      &context->output);
            }
        }
    }
    std::free(data);
    if (status != kOK) return status;
    *passOn = 0;
    context->consumedThrough = last->index;
    context->chunk->item->modified = 1;
    return kOK;
}

// 68 "storage": the image records of an inline graphic go into an
// attachment of the note; a storage link stands for them in the body.
STATUS FinishStorage(RecordProcessContext* context) {
    if (context->storageGraphic == nullptr) return kOK;
    CDRecordNode* graphic = context->storageGraphic;
    CDRecordNode* last = context->storageLast;
    context->storageGraphic = nullptr;
    context->storageLast = nullptr;
    return ExportGraphicToItem(context, graphic, last);
}

bool IsImageRecord(std::uint16_t signature) {
    return signature == kSigImageSegment || signature == kSigImageHeader || signature == kSigBitmapSegment ||
           signature == kSigWinMetaHeader;
}

STATUS SetStorage(std::uint16_t signature, std::uint32_t* passOn, RecordProcessContext* context) {
    const char* argument = context->argumentText != nullptr ? context->argumentText : "";
    CDRecordNode* node = context->node;
    if (context->storageGraphic != nullptr) {
        if (IsImageRecord(signature)) {
            context->storageLast = node;
            *passOn = 0;
            return kOK;
        }
        const STATUS status = FinishStorage(context);
        if (status != kOK) return status;
    }
    if (signature != kSigGraphic || node == nullptr || context->chunkDone != 0) return kOK;
    if (CompareNamesNoCase(argument, "inline") == 0) return MakeInline(passOn, context);
    if (CompareNamesNoCase(argument, "storage") != 0 || node->next == nullptr) return kOK;
    if (node->next->signature == kSigBitmapHeader) {
        // A bitmap is not moved.
        context->chunkDone = 1;
        return kOK;
    }
    if (node->next->signature != kSigImageHeader) return kOK;
    context->storageGraphic = node;
    context->storageLast = node;
    *passOn = 0;
    return kOK;
}

STATUS StorageAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) { return FinishStorage(context); }

// ---- The property codes inside the chunk ------------------------------------

STATUS GraphicProperty(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    const std::uint16_t operation = context->operation;
    // Set codes act on every graphic of the chunk; the first record that
    // answers a get code wins.
    switch (operation) {
    case kOpSetGraphicHeight: return signature == kSigGraphic ? SetDimension(true, record, length, passOn, context) : kOK;
    case kOpSetGraphicWidth: return signature == kSigGraphic ? SetDimension(false, record, length, passOn, context) : kOK;
    case kOpSetImageInPixels:
        if (signature != kSigGraphic) return kOK;
        return ReplaceGraphic(record, length, passOn, context, [&](std::uint8_t* graphic) {
            graphic[kGraphicFlags] = context->a3 != 0
                                         ? static_cast<std::uint8_t>(graphic[kGraphicFlags] | kGraphicInPixels)
                                         : static_cast<std::uint8_t>(graphic[kGraphicFlags] & ~kGraphicInPixels);
        });
    case kOpGetAttachmentSizes: return AddAttachmentSize(record, signature, length, 0, context);
    case kOpGetObjectSizes: return AddAttachmentSize(record, signature, length, 1, context);
    case kOpSetGraphicStorage: return SetStorage(signature, passOn, context);
    default: break;
    }
    if (context->chunkDone != 0) return kOK;
    switch (operation) {
    case kOpGetGraphicHeight: GetDimension(true, record, signature, length, context); break;
    case kOpGetGraphicWidth: GetDimension(false, record, signature, length, context); break;
    case kOpGetImageInPixels:
        if (signature == kSigGraphic && length >= kGraphicFieldsEnd) {
            PutScratch(Scratch1(context), (record[kGraphicFlags] & kGraphicInPixels) != 0 ? "TRUE" : "FALSE");
            context->chunkDone = 1;
        }
        break;
    case kOpGetGraphicFormat: GetFormat(record, signature, length, context); break;
    case kOpGetGraphicOffset: GraphicPlace(signature, context, false); break;
    case kOpGetGraphicRatio: GetRatio(record, signature, length, context); break;
    case kOpGetGraphicUnit: GetUnit(record, signature, length, context); break;
    case kOpGetGraphicName: GraphicPlace(signature, context, true); break;
    case kOpFindHotspotAttachment: return GetHotspotAttachment(record, signature, length, context);
    case kOpGetGraphicStorage: GetStorage(signature, context); break;
    default: break;
    }
    return kOK;
}

const OperationRow kRows[] = {
    {kOpGetGraphicHeight, nullptr, GraphicProperty, nullptr},
    {kOpSetGraphicHeight, nullptr, GraphicProperty, nullptr, nullptr, kRebuildsItem},
    {kOpGetGraphicWidth, nullptr, GraphicProperty, nullptr},
    {kOpSetGraphicWidth, nullptr, GraphicProperty, nullptr, nullptr, kRebuildsItem},
    {kOpGetImageInPixels, nullptr, GraphicProperty, nullptr},
    {kOpSetImageInPixels, nullptr, GraphicProperty, nullptr, nullptr, kRebuildsItem},
    {kOpGetGraphicFormat, nullptr, GraphicProperty, nullptr},
    {kOpGetGraphicOffset, nullptr, GraphicProperty, nullptr},
    {kOpGetGraphicRatio, nullptr, GraphicProperty, nullptr},
    {kOpGetGraphicUnit, nullptr, GraphicProperty, nullptr},
    {kOpGetGraphicName, nullptr, GraphicProperty, nullptr},
    {kOpFindHotspotAttachment, nullptr, GraphicProperty, nullptr},
    {kOpGetAttachmentSizes, nullptr, GraphicProperty, nullptr},
    {kOpGetGraphicStorage, nullptr, GraphicProperty, nullptr},
    {kOpSetGraphicStorage, nullptr, GraphicProperty, StorageAtEnd, nullptr, kRebuildsItem},
    {kOpGetObjectSizes, nullptr, GraphicProperty, nullptr},
    {kOpExportGraphic, nullptr, ExportPicture, ExportPictureAtEnd},
    {kOpAppendGraphicReference, PictureAtStart, nullptr, PictureAtEnd, nullptr, kRebuildsItem},
    {kOpAppendGraphic, PictureAtStart, nullptr, PictureAtEnd, nullptr, kRebuildsItem},
    {kOpAppendLayer, PictureAtStart, nullptr, PictureAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kGraphicOperations = MakeFamily(kRows);

} // namespace talix
