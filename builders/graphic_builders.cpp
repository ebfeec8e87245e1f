// The image builders that refer to their picture: an image fetched from a
// URL or a file attachment (AppendBitmapImage), and a reference to an image
// resource or a background reference (AppendGraphicRecords).
#include "builders/graphic_builders.h"

#include <cstring>
#include <string>

#include "builders/build_context.h"
#include "builders/graphic_records.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"

namespace talix {

namespace {

// Reference flags and the kinds of a background kept in the database.
constexpr std::uint32_t kReferenceUsesFileHint = 8;
constexpr std::uint16_t kStoredBackgroundType = 6;
constexpr std::uint16_t kFileReferenceClass = 8;

// The keys of the id/name texts, in record order.
constexpr const char* kImageHtmlKeys[kIdNameTexts] = {"ImageHTMLID=",    "ImageHTMLClass=", "ImageHTMLStyle=",
                                                      "ImageHTMLTitle=", "ImageHTMLOther=", "ImageHTMLName="};

// An "ImageHTML..." value: the key is found anywhere in the options,
// ignoring case; the character after its "=" is the quote and the value
// runs to the next one. An empty or unclosed value counts as absent.
bool QuotedAttribute(const char* options, const char* key, std::string* value) {
    const char* at = FindNoCase(options, key);
    if (at == nullptr) return false;
    const char* start = at + std::strlen(key);
    if (*start == '\0') return false;
    const char* close = std::strchr(start + 1, *start);
    if (close == nullptr || close == start + 1) return false;
    value->assign(start + 1, close);
    return true;
}

// The id/name texts of the "ImageHTML..." options. Returns whether the
// other-attributes text was given.
bool ImageHtmlTexts(const char* options, std::string (&texts)[kIdNameTexts]) {
    bool otherGiven = false;
    for (int i = 0; i < kIdNameTexts; ++i) {
        const bool given = QuotedAttribute(options, kImageHtmlKeys[i], &texts[i]);
        if (i == kOtherText) otherGiven = given;
    }
    return otherGiven;
}

// The float or vertical alignment record of an alignment text. The graphic
// builder also understands the words of HTML alignment (words set): "left",
// "right", and texts containing "top", "middle" or "bottom".
bool AlignmentRecord(const std::string& value, bool words, BuiltRecord* record) {
    const char* text = value.c_str();
    const bool wordFloat = words && LeftOrRight(text);
    if (wordFloat || (StartsWithNoCase(value, "WRAP") && !StartsWithNoCase(value, "WRAP_AROUND"))) {
        std::uint16_t mode = 0;
        if (StartsWithNoCase(value, "WRAP_FLOAT_LEFT") || (words && EqualNoCase(text, "left"))) {
            mode = 1;
        } else if (StartsWithNoCase(value, "WRAP_FLOAT_RIGHT") || (words && EqualNoCase(text, "right"))) {
            mode = 2;
        }
        *record = FloatRecord(mode);
        return true;
    }
    const bool top = words && FindNoCase(text, "top") != nullptr;
    const bool middle = words && FindNoCase(text, "middle") != nullptr;
    const bool bottom = words && FindNoCase(text, "bottom") != nullptr;
    if (!StartsWithNoCase(value, "ALIGN") && !StartsWithNoCase(value, "WRAP_AROUND") && !top && !middle && !bottom)
        return false;
    std::uint16_t alignment = 0;
    if (StartsWithNoCase(value, "ALIGN_TOP") || StartsWithNoCase(value, "WRAP_AROUND") || top) {
        alignment = 2;
    } else if (StartsWithNoCase(value, "ALIGN_CENTER") || middle) {
        alignment = 1;
    } else if (StartsWithNoCase(value, "ALIGN_BOTTOM") || bottom) {
        alignment = 5;
    }
    *record = VerticalAlignRecord(alignment);
    return true;
}

// The background repeat record of "Repeat=" (tile when absent).
BuiltRecord RepeatRecord(const char* options) {
    static const char* const kModes[] = {"REPEAT_O", "REPEAT_V", "REPEAT_H", "TILE", "SIZE_TO", "CENTER"};
    std::uint8_t mode = 4;
    std::string value;
    if (OptionText(options, "Repeat=", &value)) {
        for (std::uint8_t i = 0; i < 6; ++i) {
            if (StartsWithNoCase(value, kModes[i])) {
                mode = static_cast<std::uint8_t>(i + 1);
                break;
            }
        }
    }
    BuiltRecord record = BlankRecord(kSigCellBackgroundData, kCellBackgroundDataLength);
    record.bytes[4] = mode;
    return record;
}

// The records of a graphic made inline: the batch's first headCount
// records, the image resource's own records (the copy restores the walk's
// position), then the rest of the batch.
STATUS AppendInlineResource(const RecordBatch& batch, std::size_t headCount, const std::string& resourceName,
                            const char* options, BuildContext* context) {
    const RecordBatch head(batch.begin(), batch.begin() + static_cast<std::ptrdiff_t>(headCount));
    const RecordBatch tail(batch.begin() + static_cast<std::ptrdiff_t>(headCount), batch.end());
    // Only a run on a chunk has a source to copy from.
    if (context->chunk == nullptr) return kArgumentError;
    STATUS status = AppendBatch(head, &context->output);
    if (status != kOK) return status;
    if (context->appendImageResourceInline == nullptr) return kOperationFailed;
    status = context->appendImageResourceInline(context, resourceName.c_str(), options);
    return status == kOK ? AppendBatch(tail, &context->output) : status;
}

} // namespace

STATUS AppendBitmapImage(std::uint16_t sourceKind, const char* source, const char* options,
                         BuildContext* context) {
    if (context == nullptr || source == nullptr) return kArgumentError;
    RecordBatch batch;
    batch.push_back(EmptyTextRecord(NewTextFont(context)));
    batch.push_back(BeginRecord(kSigGraphic, kGraphicVersion));

    std::string wrap;
    const bool wrapGiven = OptionText(options, "WrapText=", &wrap);
    batch.push_back(GraphicRecord(wrapGiven && StartsWithNoCase(wrap, "WRAP") ? kGraphicSpansLines : 0, 0, 0, 0));

    const std::string sourceText(source);
    BuiltRecord sourceRecord;
    if (sourceText.size() > 0xFFFF || !TextRecord(kSigStorageLink, kStorageLinkFixedLength, sourceText, &sourceRecord))
        return kArgumentError;
    std::string loadType;
    std::uint16_t load = 0;
    if (OptionText(options, "LoadType=", &loadType)) load = EqualNoCase(loadType.c_str(), "Deferred") ? 2 : 1;
    WriteWord(sourceRecord.bytes.data() + 4, sourceKind == kImageSourceUrl ? 4 : 1);
    WriteWord(sourceRecord.bytes.data() + 6, load);
    WriteWord(sourceRecord.bytes.data() + 10, static_cast<std::uint16_t>(sourceText.size()));
    batch.push_back(std::move(sourceRecord));

    BuiltRecord header = BlankRecord(kSigBitmapHeader, kBitmapHeaderLength);
    std::string value;
    WriteWord(header.bytes.data() + 24,
              OptionText(options, "ImageWidth=", &value) ? DecimalWord(value.c_str()) : kDefaultPixels);
    WriteWord(header.bytes.data() + 26,
              OptionText(options, "ImageHeight=", &value) ? DecimalWord(value.c_str()) : kDefaultPixels);
    batch.push_back(std::move(header));

    BuiltRecord record;
    if (OptionText(options, "AltText=", &value) && !value.empty()) {
        if (!AltTextRecord(value, &record)) return kArgumentError;
        batch.push_back(std::move(record));
    }
    bool captioned = false;
    if (CaptionRecord(options, context, &record, &captioned) != kOK) return kArgumentError;
    if (captioned) batch.push_back(std::move(record));
    if (wrapGiven && AlignmentRecord(wrap, false, &record)) batch.push_back(std::move(record));
    if (FindNoCase(options, "ImageHTML") != nullptr) {
        std::string texts[kIdNameTexts];
        ImageHtmlTexts(options, texts);
        if (!IdNameRecord(texts, &record)) return kArgumentError;
        batch.push_back(std::move(record));
    }
    batch.push_back(EndRecord(kSigGraphic, kGraphicVersion));
    return AppendBatch(batch, &context->output);
}

STATUS AppendGraphicRecords(std::uint16_t resourceType, std::uint16_t resourceClass, const char* name,
                            const char* options, int background, BuildContext* context, std::uint16_t width,
                            std::uint16_t height, const char* altText, const char* alignment,
                            const char* horizontalSpace, const char* verticalSpace, const char* border) {
    if (context == nullptr || name == nullptr || resourceClass != kResourceClassImage) return kArgumentError;

    // The name without its query part; the caller's text stays as it is.
    std::string resourceName(name);
    std::size_t cut = resourceName.find('?');
    if (cut == std::string::npos) cut = resourceName.find('!');
    if (cut != std::string::npos) resourceName.resize(cut);

    std::string filePath;
    const bool hasFile = OptionText(options, "FilePath=", &filePath) && !filePath.empty();
    if (!hasFile) filePath.clear();
    const std::uint32_t flags = hasFile ? kReferenceUsesFileHint : 0;
    std::uint32_t replica[2] = {};
    std::string value;
    if (OptionText(options, "ReplicaID=", &value) && !ReplicaWords(value, replica)) replica[0] = replica[1] = 0;

    RecordBatch batch;
    BuiltRecord record;
    if (background != 0) {
        const bool stored = OptionText(options, "BackgroundStorage=", &value);
        if (!ResourceRecord(kSigTableCellHref2, flags, stored ? kStoredBackgroundType : resourceType,
                            stored ? kFileReferenceClass : resourceClass, std::string(), filePath,
                            stored ? nullptr : replica, resourceName, &record))
            return kArgumentError;
        batch.push_back(std::move(record));
        batch.push_back(RepeatRecord(options));
        return AppendBatch(batch, &context->output);
    }

    // Made inline, the resource's own records stand in place of the graphic
    // record, image header and reference (copied between the CDBEGIN and the
    // records after them).
    const bool makeInline = OptionText(options, "MakeInLine=", &value) && EqualNoCase(value.c_str(), "Yes");

    batch.push_back(BeginRecord(kSigGraphic, kGraphicVersion));
    std::string wrap;
    const bool wrapGiven = OptionText(options, "WrapText=", &wrap);
    if (!makeInline) {
        std::uint8_t graphicFlags = kGraphicSizeInPixels;
        if (Given(alignment) && LeftOrRight(alignment)) {
            graphicFlags |= kGraphicSpansLines;
        } else if (wrapGiven && StartsWithNoCase(wrap, "WRAP")) {
            graphicFlags |= kGraphicSpansLines;
        }
        batch.push_back(GraphicRecord(graphicFlags, width, height, 0));

        const bool jpeg = OptionText(options, "ImageType=", &value) && StartsWithNoCase(value, "JP");
        std::uint16_t imageWidth = width != 0 ? width : kDefaultPixels;
        std::uint16_t imageHeight = height != 0 ? height : kDefaultPixels;
        if (OptionText(options, "ImageWidth=", &value) || OptionText(options, "GraphicWidth=", &value))
            imageWidth = DecimalWord(value.c_str());
        if (OptionText(options, "ImageHeight=", &value) || OptionText(options, "GraphicHeight=", &value))
            imageHeight = DecimalWord(value.c_str());
        batch.push_back(ImageHeaderRecord(jpeg ? kImageTypeJpeg : kImageTypeGif, imageWidth, imageHeight, 0, 0));
    }
    const std::size_t headCount = batch.size();

    std::string alt = Given(altText) ? std::string(altText) : std::string();
    if (alt.empty() && OptionText(options, "AltText=", &value)) alt = value;
    if (!alt.empty()) {
        if (!AltTextRecord(alt, &record)) return kArgumentError;
        batch.push_back(std::move(record));
    }
    if (Given(border)) batch.push_back(BorderRecord(DecimalWord(border), false));
    bool captioned = false;
    if (CaptionRecord(options, context, &record, &captioned) != kOK) return kArgumentError;
    if (captioned) batch.push_back(std::move(record));
    if (Given(alignment)) {
        if (AlignmentRecord(alignment, true, &record)) batch.push_back(std::move(record));
    } else if (wrapGiven && AlignmentRecord(wrap, true, &record)) {
        batch.push_back(std::move(record));
    }

    if (!makeInline) {
        if (!ResourceRecord(kSigHref, flags, resourceType, hasFile ? kFileReferenceClass : resourceClass,
                            std::string(), filePath, replica, resourceName, &record))
            return kArgumentError;
        batch.push_back(std::move(record));
    }

    if (FindNoCase(options, "ImageHTML") != nullptr || Given(horizontalSpace) || Given(verticalSpace)) {
        std::string texts[kIdNameTexts];
        if (!ImageHtmlTexts(options, texts)) {
            if (Given(horizontalSpace)) {
                AppendLengthAttribute(&texts[kOtherText], "hspace", horizontalSpace);
                texts[kOtherText] += ' ';
            }
            if (Given(verticalSpace)) {
                AppendLengthAttribute(&texts[kOtherText], "vspace", verticalSpace);
                texts[kOtherText] += ' ';
            }
        }
        if (!IdNameRecord(texts, &record)) return kArgumentError;
        batch.push_back(std::move(record));
    }
    batch.push_back(EndRecord(kSigGraphic, kGraphicVersion));
    if (!makeInline) return AppendBatch(batch, &context->output);
    return AppendInlineResource(batch, headCount, resourceName, options, context);
}

} // namespace talix
