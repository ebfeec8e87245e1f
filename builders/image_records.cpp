// Pictures whose image data goes into the item itself: a graphic record,
// an image header and image segments, from a file attachment of a note,
// from memory or from a file on disk.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/graphic_records.h"
#include "builders/table_builders.h"
#include "core/attachments.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "core/text_compare.h"

namespace talix {

namespace {

// The least image data the builders accept: a GIF's size lies in its
// first ten bytes.
constexpr std::uint32_t kMinimumImageData = 10;

struct FreeDeleter {
    void operator()(char* data) const { std::free(data); }
};

// The pixel size of the data by its image type; false when none is found.
bool DataPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType, std::uint16_t* width,
                   std::uint16_t* height) {
    if (imageType == kImageTypeGif) return GifPixelSize(data, size, width, height);
    if (imageType == kImageTypeJpeg) return JpegPixelSize(data, size, width, height);
    if (imageType == kImageTypePng) return PngPixelSize(data, size, width, height);
    return false;
}

// The image header and the segments of the data.
void AddImage(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType, std::uint16_t width,
              std::uint16_t height, RecordBatch* batch) {
    batch->push_back(ImageHeaderRecord(imageType, width, height, size, ImageSegmentCount(size)));
    AddImageSegments(data, size, batch);
}

// The records after the image of the attachment and file builders: the
// alt text, the border (built by the caller), the spacing as an id/name
// record and the alignment. Returns false when a text does not fit.
bool AddImageAttributes(const char* altText, const char* alignment, const char* horizontalSpace,
                        const char* verticalSpace, BuiltRecord* border, RecordBatch* batch) {
    BuiltRecord record;
    if (Given(altText)) {
        if (!AltTextRecord(altText, &record)) return false;
        batch->push_back(std::move(record));
    }
    if (border != nullptr) batch->push_back(std::move(*border));
    if (Given(horizontalSpace) || Given(verticalSpace)) {
        std::string texts[kIdNameTexts];
        if (Given(horizontalSpace)) {
            AppendLengthAttribute(&texts[kOtherText], "hspace", horizontalSpace);
            texts[kOtherText] += ' ';
        }
        if (Given(verticalSpace)) AppendLengthAttribute(&texts[kOtherText], "vspace", verticalSpace);
        if (!IdNameRecord(texts, &record)) return false;
        batch->push_back(std::move(record));
    }
    if (Given(alignment)) {
        if (EqualNoCase(alignment, "left")) {
            batch->push_back(FloatRecord(1));
        } else if (EqualNoCase(alignment, "right")) {
            batch->push_back(FloatRecord(2));
        } else if (FindNoCase(alignment, "top") != nullptr) {
            batch->push_back(VerticalAlignRecord(2));
        } else if (FindNoCase(alignment, "middle") != nullptr) {
            batch->push_back(VerticalAlignRecord(1));
        } else if (FindNoCase(alignment, "bottom") != nullptr) {
            batch->push_back(VerticalAlignRecord(5));
        }
    }
    return true;
}

} // namespace

STATUS WriteAttachedImageRecords(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* attachmentName,
                                 std::uint16_t imageType, BuildContext* context, std::uint16_t width,
                                 std::uint16_t height, const char* altText, const char* alignment,
                                 const char* horizontalSpace, const char* verticalSpace, const char* border) {
    static_cast<void>(db);   // the attachment's bytes are reached through its note
    if (context == nullptr || attachmentName == nullptr || note == 0) return kArgumentError;
    char* raw = nullptr;
    std::uint32_t size = 0;
    const STATUS read = ReadAttachmentToMemory(note, attachmentName, &raw, &size);
    std::unique_ptr<char, FreeDeleter> owned(raw);
    if (read == kItemNotFound) return kArgumentError;
    if (read != kOK) return read;
    const auto* data = reinterpret_cast<const std::uint8_t*>(raw);
    // The kind the attachment's bytes are, whatever its name made the caller
    // take it for; the given one when they say none.
    if (const std::uint16_t kind = PictureDataType(data, size); kind != 0) imageType = kind;

    const bool wrapped = Given(altText) || Given(alignment) || Given(horizontalSpace) || Given(verticalSpace);
    RecordBatch batch;
    if (wrapped) batch.push_back(BeginRecord(kSigGraphic, kGraphicVersion));
    const bool sized = width != 0 || height != 0;
    std::uint8_t flags = sized ? kGraphicSizeInPixels : 0;
    if (Given(alignment) && LeftOrRight(alignment)) flags |= kGraphicSpansLines;
    batch.push_back(GraphicRecord(flags, width, height, sized ? 1 : 0));

    // An attachment whose size cannot be read from its data is shown at the
    // size given, else 100 by 100.
    std::uint16_t imageWidth = 0, imageHeight = 0;
    if (!DataPixelSize(data, size, imageType, &imageWidth, &imageHeight)) {
        imageWidth = width != 0 ? width : kDefaultPixels;
        imageHeight = height != 0 ? height : kDefaultPixels;
    }
    AddImage(data, size, imageType, imageWidth, imageHeight, &batch);

    BuiltRecord borderRecord;
    if (Given(border)) borderRecord = BorderRecord(DecimalWord(border), true);
    if (!AddImageAttributes(altText, alignment, horizontalSpace, verticalSpace, Given(border) ? &borderRecord : nullptr,
                            &batch))
        return kArgumentError;
    if (wrapped) batch.push_back(EndRecord(kSigGraphic, kGraphicVersion));
    return AppendBatch(batch, &context->output);
}

STATUS WriteImageBufferRecords(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType,
                               RecordOutput* output, std::uint16_t width, std::uint16_t height,
                               const char* alignment) {
    if (output == nullptr || (data == nullptr && size > 0)) return kArgumentError;
    if (size < kMinimumImageData) return kOutOfMemory;
    std::uint16_t imageWidth = kDefaultPixels, imageHeight = kDefaultPixels;
    if (!DataPixelSize(data, size, imageType, &imageWidth, &imageHeight) && imageType == kImageTypeJpeg)
        return kOperationFailed;
    if (width != 0) imageWidth = width;
    if (height != 0) imageHeight = height;

    RecordBatch batch;
    batch.push_back(GraphicRecord(Given(alignment) && LeftOrRight(alignment) ? kGraphicSpansLines : 0, 0, 0, 0));
    AddImage(data, size, imageType, imageWidth, imageHeight, &batch);
    return AppendBatch(batch, output);
}

STATUS WriteImageFileRecords(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType,
                             BuildContext* context, std::uint16_t width, std::uint16_t height, const char* altText,
                             const char* alignment, const char* horizontalSpace, const char* verticalSpace,
                             const char* borderWidth, const char* borderOptions) {
    if (context == nullptr || (data == nullptr && size > 0)) return kArgumentError;
    if (size < kMinimumImageData) return kOutOfMemory;
    std::uint16_t imageWidth = kDefaultPixels, imageHeight = kDefaultPixels;
    if (!DataPixelSize(data, size, imageType, &imageWidth, &imageHeight) && imageType == kImageTypeJpeg)
        return kOperationFailed;
    if (width != 0) imageWidth = width;
    if (height != 0) imageHeight = height;

    const bool wrapped = Given(altText) || Given(alignment) || Given(horizontalSpace) || Given(verticalSpace) ||
                         Given(borderOptions);
    RecordBatch batch;
    if (wrapped) batch.push_back(BeginRecord(kSigGraphic, kGraphicVersion));
    batch.push_back(GraphicRecord(Given(alignment) && LeftOrRight(alignment) ? kGraphicSpansLines : 0, 0, 0, 0));
    AddImage(data, size, imageType, imageWidth, imageHeight, &batch);

    const bool bordered = Given(borderWidth) || Given(borderOptions);
    BuiltRecord borderRecord;
    if (bordered) {
        borderRecord = BorderRecord(Given(borderWidth) ? DecimalWord(borderWidth) : 0, false);
        if (Given(borderOptions)) {
            const STATUS status =
                ParseBorderSpec(context->session, kSigBorderInfo, borderRecord.bytes.data(), borderOptions, 0);
            if (status != kOK) return status;
        }
    }
    if (!AddImageAttributes(altText, alignment, horizontalSpace, verticalSpace, bordered ? &borderRecord : nullptr,
                            &batch))
        return kArgumentError;
    if (wrapped) batch.push_back(EndRecord(kSigGraphic, kGraphicVersion));
    return AppendBatch(batch, &context->output);
}

} // namespace talix
