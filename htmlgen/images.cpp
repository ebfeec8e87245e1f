// PXMLGr: one picture as an img element. Where its bytes come from in the
// output follows the image handling: a URL into the document on the web
// server, a file exported next to the output, a MIME part named by its
// Content-ID (or the caller's substitution), an image-resource design
// element, or the URL or attachment the picture already refers to. Then
// its size, border, spacing, alignment, alternative text and stored HTML
// attributes.
#include "htmlgen/images.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "builders/image_resource.h"
#include "core/clamp.h"
#include "core/debug_level.h"
#include "core/item_work_state.h"
#include "core/mime_ids.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/shared_services.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "htmlgen/cell_navigation.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/run_files.h"
#include "htmlgen/stored_attributes.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Graphic record: destination size, resize word, flags byte.
constexpr std::uint32_t kDestWidthAt = 8, kDestHeightAt = 10, kResizeAt = 24, kGraphicFlagsAt = 27;
constexpr std::uint8_t kSizeInPixels = 0x01;
// Image header: type, width, height. Bitmap header: width, height.
constexpr std::uint32_t kImageTypeAt = 8, kImageWidthAt = 10, kImageHeightAt = 12;
constexpr std::uint32_t kBitmapWidthAt = 24, kBitmapHeightAt = 26;
constexpr std::uint16_t kImageJpeg = 2, kImagePng = 4;
// Resource reference: flags, type, class, name length, hint lengths; the
// database id after the hints, the name after the id.
constexpr std::uint32_t kResourceFlagsAt = 4, kResourceTypeAt = 8, kResourceClassAt = 10, kResourceNameAt = 12,
                        kServerHintAt = 14, kFileHintAt = 16, kResourceIdAt = 28;
constexpr std::uint16_t kNamedElement = 3, kImageResourceClass = 19;
constexpr std::uint32_t kResourceFormula = 0x1;
// Border record: border-off word, width, flags, the four spacing words.
constexpr std::uint32_t kBorderOffAt = 8, kBorderWidthAt = 12, kBorderFlagsAt = 24, kSpaceTopAt = 36,
                        kSpaceLeftAt = 38, kSpaceBottomAt = 40, kSpaceRightAt = 42;
constexpr std::uint16_t kBorderOn = 0x1;
// Float and vertical-alignment records: their word.
constexpr std::uint32_t kAlignAt = 2;
// The texts of an id/name record read here.
constexpr int kExtraText = 4, kNameText = 5;
constexpr std::uint32_t kTwipsPerPixel = 15;
// The names of the image resources a run stores, kept apart from those of
// the files it writes (no folder's path holds a zero byte).
const std::string kImageResourceNames("\0image resources", 16);
constexpr int kDefaultSize = 100;

bool Xhtml(const XMLGenContext* context) { return context->format == kFormatXHTML; }

bool EndsScan(const CDRecordNode* node) {
    return node->signature == kSigEnd || node->signature == kSigText || node->signature == kSigBidiText;
}

std::string NodeText(const CDRecordNode* node, std::uint32_t at, std::uint32_t length) {
    if (node->bytes == nullptr || at >= node->length) return {};
    if (length > node->length - at) length = node->length - at;
    return std::string(reinterpret_cast<const char*>(node->bytes) + at, length);
}

std::string Hex4(const std::uint32_t* words) {
    char text[40];
    std::snprintf(text, sizeof text, "%.8x%.8x%.8x%.8x", words[0], words[1], words[2], words[3]);
    return text;
}

std::string Decimal(long value) { return std::to_string(value); }

std::string HexNumber(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The records of one picture and what the scans found in them.
struct Picture {
    XMLGenContext* context = nullptr;
    CDRecordNode* graphic = nullptr;
    const CDRecordNode* imageHeader = nullptr;
    const CDRecordNode* bitmapHeader = nullptr;
    const CDRecordNode* altText = nullptr;
    const CDRecordNode* floatRecord = nullptr;
    const CDRecordNode* alignRecord = nullptr;
    const CDRecordNode* reference = nullptr;
    const CDRecordNode* resource = nullptr;
    const CDRecordNode* border = nullptr;
    std::string attributes;          // the other attributes of the HTML attributes record
    std::string storedStyle;         // the style text of the HTML attributes record
    std::string htmlName;            // its name, which ImageUseName uses
    bool hasAttributes = false;
    bool hasSegments = false;        // image segments follow the image header
    bool srcSettled = false;
    bool heightWritten = false;
    bool widthWritten = false;
    bool altWritten = false;         // the element has its alt attribute
    bool jpeg = false;
    bool png = false;
    std::uint16_t instance = 0;      // the stored item that holds the picture
    std::uint32_t key = 0;

    const char* Extension() const { return jpeg ? "jpg" : (png ? "png" : "gif"); }
};

void Put(XMLGenContext* context, const std::string& text) { AppendOutput(context, text.data(), text.size()); }

void PutAttribute(XMLGenContext* context, const char* name, const std::string& value) {
    Put(context, std::string(" ") + name + "=\"" + AttributeValue(value) + "\"");
}

// The value of a key of the picture's other attributes (empty when absent).
bool AttributeOption(const Picture& picture, const char* key, std::string* value) {
    value->clear();
    if (!picture.hasAttributes) return false;
    std::vector<char> out(picture.attributes.size() + 1, '\0');
    if (GetOptionValue(picture.attributes.c_str(), key, out.data(), static_cast<std::uint32_t>(out.size())) == 0)
        return false;
    value->assign(out.data());
    return true;
}

// Takes a key and its value out of the other attributes; the blanks the
// removal leaves (outside quoted values) shrink to one.
void RemoveAttribute(Picture* picture, const char* key) {
    if (!picture->hasAttributes) return;
    std::vector<char> text(picture->attributes.begin(), picture->attributes.end());
    text.push_back('\0');
    if (RemoveOption(text.data(), key) == 0) return;
    std::string squeezed;
    char quote = 0;
    for (const char* at = text.data(); *at != '\0'; ++at) {
        if (quote == 0 && (*at == '"' || *at == '\'')) {
            quote = *at;
        } else if (quote != 0 && *at == quote) {
            quote = 0;
        }
        if (quote == 0 && *at == ' ' && (squeezed.empty() || squeezed.back() == ' ')) continue;
        squeezed += *at;
    }
    while (!squeezed.empty() && squeezed.back() == ' ') squeezed.pop_back();
    picture->attributes = squeezed;
}

// The item segment (stored item) whose records hold the node, or null.
const OutputSegment* SegmentOf(const XMLGenContext* context, const CDRecordNode* node) {
    const ZervaRTItem* item = context->item;
    const ItemRecordList* list = item != nullptr && item->work != nullptr ? item->work->current : nullptr;
    for (const OutputSegment* segment = list != nullptr ? list->firstSegment : nullptr; segment != nullptr;
         segment = segment->next) {
        if (node->index >= segment->firstIndex && node->index <= segment->lastIndex) return segment;
    }
    return nullptr;
}

// ---- The first scan: the picture's records --------------------------------------

void ReadPicture(Picture* picture) {
    XMLGenContext* context = picture->context;
    for (const CDRecordNode* at = picture->graphic; InRange(context, at) && !EndsScan(at); at = at->next) {
        switch (at->signature) {
        case kSigImageHeader: picture->imageHeader = at; break;
        case kSigImageSegment: picture->hasSegments = picture->imageHeader != nullptr; break;
        case kSigBitmapHeader: picture->bitmapHeader = at; break;
        case kSigAltText: picture->altText = at; break;
        case kSigFloatPosition: picture->floatRecord = at; break;
        case kSigVerticalAlign: picture->alignRecord = at; break;
        case kSigStorageLink: picture->reference = at; break;
        case kSigBorderInfo: picture->border = at; break;
        case kSigHref:
            if (NodeWord(at, kResourceTypeAt) == kNamedElement && NodeWord(at, kResourceClassAt) == kImageResourceClass)
                picture->resource = at;
            break;
        case kSigIdName:
        case kSigTableCellIdName: {
            std::uint32_t offset = kIdNameFixedLength;
            std::uint32_t lengths[6];
            for (int i = 0; i < 6; ++i) lengths[i] = NodeWord(at, kIdNameLengthsAt + 2 * i);
            for (int i = 0; i < kExtraText; ++i) offset += lengths[i];
            const std::string extra = NodeText(at, offset, lengths[kExtraText]);
            TakeIDNameStyle(at->bytes, at->length, &picture->storedStyle);
            picture->htmlName = NodeText(at, offset + lengths[kExtraText], lengths[kNameText]);
            picture->htmlName.resize(strnlen(picture->htmlName.c_str(), picture->htmlName.size()));
            const std::string plain(extra.c_str());
            picture->attributes = IsOn(context, sw::kAutoQuoteHTMLParams) ? AutoQuoteAttributes(plain) : plain;
            picture->hasAttributes = true;
            break;
        }
        default:
            break;
        }
    }
    picture->jpeg = picture->imageHeader != nullptr && NodeWord(picture->imageHeader, kImageTypeAt) == kImageJpeg;
    picture->png = picture->imageHeader != nullptr && NodeWord(picture->imageHeader, kImageTypeAt) == kImagePng;
}

// The instance and key of the picture: those the record reader kept with
// its node, else found from its item segment.
void NamePicture(Picture* picture) {
    const CDRecordNode* graphic = picture->graphic;
    if (const void* extra = RecordExtra(graphic); extra != nullptr) {
        const auto* kept = static_cast<const GraphicExtra*>(extra);
        picture->instance = kept->segment;
        picture->key = kept->key;
        return;
    }
    const OutputSegment* segment = SegmentOf(picture->context, graphic);
    picture->instance = segment != nullptr ? segment->number : 0;
    picture->key = GraphicNameKey(picture->context->item, segment, graphic);
}

// ---- Sources by mode -----------------------------------------------------------

// "file://" before a directory given as a drive path, the directory and a
// slash when there is one.
std::string URLDirectoryPrefix(const XMLGenContext* context, bool slashAlways) {
    const std::string directory = context->texts.imageURLDirectory != nullptr ? context->texts.imageURLDirectory : "";
    std::string prefix = directory.size() > 1 && directory[1] == ':' ? "file://" : "";
    prefix += directory;
    if (slashAlways || !directory.empty()) prefix += "/";
    return prefix;
}

bool AbsolutePath(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

// The directory of the page the markup goes to (of the caller's file name),
// empty when it names none.
std::string PageDirectory(const XMLGenContext* context) {
    const std::string page = context->callerFileName != nullptr ? context->callerFileName : "";
    const std::size_t slash = page.find_last_of("/\\");
    return slash == std::string::npos ? "" : page.substr(0, slash + 1);
}

// ImageDirectory= as the files are written: relative to the page when it is
// relative; the temporary directory when it is not given.
std::string ImageDirectoryPath(const XMLGenContext* context) {
    const char* given = context->texts.imageDirectory;
    if (given == nullptr || given[0] == '\0') return plat::NativeToLmbcs(TempDirectory());
    return AbsolutePath(given) ? std::string(given) : JoinFilePath(PageDirectory(context), given);
}

// The src of a file exported under the image directory (relative: its path
// below it): ImageURLDirectory= before it when given; else the directory as
// given, so that the page finds the file (a directory relative to the page
// as it stands, any other as a file URL; its marks of addresses escaped as
// the caller escapes the relative path).
std::string DiskSource(const XMLGenContext* context, const std::string& relative) {
    const char* urlDirectory = context->texts.imageURLDirectory;
    if (urlDirectory != nullptr && urlDirectory[0] != '\0') return URLDirectoryPrefix(context, false) + relative;
    const char* given = context->texts.imageDirectory;
    std::string directory = given != nullptr && given[0] != '\0' ? given : ImageDirectoryPath(context);
    for (char& c : directory) {
        if (c == '\\') c = '/';
    }
    directory = NameInAddress(directory);
    if (AbsolutePath(directory)) directory = (directory[0] == '/' ? "file://" : "file:///") + directory;
    return JoinFilePath(directory, relative);
}

// The directory pictures are exported to (ImageDirectoryPath, made the
// first time a run needs it); false when it cannot be made: the run exports
// no files then and its status says so.
bool ExportDirectory(XMLGenContext* context, std::string* directory) {
    *directory = ImageDirectoryPath(context);
    if (context->texts.imageDirectory == nullptr || context->texts.imageDirectory[0] == '\0') return true;
    return MakeRunFolder(context, plat::LmbcsToNative(*directory), &context->imageDirectoryMade);
}

// A name from the document made safe as a file name, in the platform's
// character set as the markup takes it. It is made safe as native text: in
// the platform's set, the bytes of a character outside ASCII that fall
// below 0x20 would be taken for control characters and the character
// broken. The paths the markup names are made native where files are made.
bool SafeDocumentFileName(const std::string& name, std::string* safe) {
    std::string native;
    if (!SafeFileName(plat::LmbcsToNative(name), &native)) {
        safe->clear();
        return false;
    }
    *safe = plat::NativeToLmbcs(native);
    return true;
}

// A file name in the platform's character set as a file system takes it
// for its length (FittingFileName): a name too long in UTF-8 shortened,
// any other as it is.
std::string FittingDocumentFileName(const std::string& name) {
    const std::string native = plat::LmbcsToNative(name);
    const std::string fitting = FittingFileName(native);
    return fitting == native ? name : plat::NativeToLmbcs(fitting);
}

// The item's name as part of a file name.
std::string ItemFileName(const XMLGenContext* context) {
    std::string name = context->item != nullptr && context->item->itemName != nullptr ? context->item->itemName : "";
    std::string safe;
    return SafeDocumentFileName(name, &safe) ? safe : "item";
}

// The name, in the platform's character set, under which the file that
// holds owner is written in directory in this run (RunFileName): name
// itself unless another file of the run took it.
std::string OwnRunFileName(XMLGenContext* context, const std::string& directory, const std::string& name,
                           const std::string& owner) {
    const std::string native = plat::LmbcsToNative(name);
    const std::string chosen = RunFileName(context, plat::LmbcsToNative(directory), native, owner);
    return chosen == native ? name : plat::NativeToLmbcs(chosen);
}

// Writes the picture's image data to the file (its path in the platform's
// character set) unless ImageOverwrite=No keeps one that exists.
void ExportPicture(Picture* picture, const std::string& path) {
    XMLGenContext* context = picture->context;
    const std::string native = plat::LmbcsToNative(path);
    if (IsOn(context, sw::kImageOverwrite) && FileExists(native)) return;
    WriteRunFile(context, native, [&] { return WriteImageSegmentsToFile(native.c_str(), picture->graphic); });
}

// The alternative text WAICompliant asks for when the picture has none.
void WriteWAIAlt(Picture* picture, const std::string& text) {
    std::string stored;
    if (IsOn(picture->context, sw::kWAICompliant) && picture->altText == nullptr &&
        !AttributeOption(*picture, "alt=", &stored)) {
        PutAttribute(picture->context, "alt", text);
        picture->altWritten = true;
    }
}

void WriteDiskSource(Picture* picture) {
    XMLGenContext* context = picture->context;
    std::string name;
    if (IsOn(context, sw::kImageUseName) && SafeDocumentFileName(picture->htmlName, &name)) {
        if (name.find('.') == std::string::npos) name += std::string(".") + picture->Extension();
        name = FittingDocumentFileName(name);
        std::string directory;
        const bool made = ExportDirectory(context, &directory);
        name = OwnRunFileName(context, directory, name,
                              "picture " + Decimal(picture->instance) + " " + HexNumber(picture->key));
        if (made) ExportPicture(picture, JoinFilePath(directory, name));
        Put(context, " src=\"" + AttributeValue(DiskSource(context, NameInAddress(name))) + "\"");
        WriteWAIAlt(picture, "Unidentified image: " + picture->htmlName);
        return;
    }
    const std::string file = FittingDocumentFileName(ItemFileName(context) + "_" + Decimal(picture->instance) + "_" +
                                                     HexNumber(picture->key) + "." + picture->Extension());
    std::string directory;
    const bool made = ExportDirectory(context, &directory);
    std::string relative = file;
    if (IsOn(context, sw::kImageUNIDAsFolder)) {
        relative = Hex4(DocumentUnid(context)) + "/" + file;
    } else if (context->texts.defaultSubdirectory != nullptr) {
        relative = std::string(context->texts.defaultSubdirectory) + "/" + file;
    }
    const std::string path = JoinFilePath(directory, relative);
    // The sub-folder (the document's, or DefaultSubdirectory=) is made as
    // each picture needs it.
    const std::size_t slash = path.rfind('/');
    int subfolderMade = 0;
    if (made && (slash == std::string::npos || slash <= directory.size() ||
                 MakeRunSubfolder(context, plat::LmbcsToNative(directory), plat::LmbcsToNative(path.substr(0, slash)),
                                  &subfolderMade)))
        ExportPicture(picture, path);
    Put(context, " src=\"" + AttributeValue(DiskSource(context, NameInAddress(relative))) + "\"");
    WriteWAIAlt(picture, std::string("Unidentified ") + (picture->jpeg ? "jpeg" : "gif") + " image");
}

// The base of URLs into the document: InPlaceImageURLDirectory=, else "/"
// and the database's path.
std::string BaseURL(const XMLGenContext* context) {
    if (context->texts.inPlaceImageURLDirectory != nullptr) return context->texts.inPlaceImageURLDirectory;
    return "/" + DatabaseURLPath(context);
}

// The URL of the picture as an element of the document's item.
std::string ElementSource(Picture* picture, const char* extension) {
    XMLGenContext* context = picture->context;
    const std::string base = BaseURL(context);
    const std::string element = Decimal(picture->instance) + "." + HexNumber(picture->key);
    std::string source;
    if (IsOn(context, sw::kImageRelativeToPage)) {
        source = base + (base.empty() ? "" : "/") + AttributeValue(NameInAddress(ItemFileName(context))) + "/" + element;
    } else {
        source = base + "/0/" + Hex4(DocumentUnid(context)) + "/" + AttributeValue(NameInAddress(ItemFileName(context))) + "/" + element;
    }
    source += context->texts.openElementString != nullptr ? context->texts.openElementString
                                                           : "?OpenElement&amp;FieldElemFormat=";
    return source + extension;
}

// The src value of a picture in MIME output, ready for the attribute: the
// caller's substitution, which is a URL as HTML writes it (the image
// rewriting's URLs carry "&amp;" already), so only a double quote that
// would end the attribute is escaped; else the Content-ID of the picture's
// MIME part.
std::string MimeSource(Picture* picture) {
    XMLGenContext* context = picture->context;
    const CDRecordNode* header = picture->imageHeader;
    const auto matches = [header](const ZervaRTChunk::ImageOffsetInfo* entry) {
        return entry->name.empty() && entry->recordNumber + 1u == header->index;
    };
    if (header != nullptr && context->images != nullptr) {
        // From the entry the last picture took to the end, then from the
        // start up to it.
        const ZervaRTChunk::ImageOffsetInfo* start = context->lastImage != nullptr ? context->lastImage : context->images;
        const ZervaRTChunk::ImageOffsetInfo* found = nullptr;
        for (const auto* entry = start; entry != nullptr && found == nullptr; entry = entry->next) {
            if (matches(entry)) found = entry;
        }
        for (const auto* entry = context->images; entry != start && found == nullptr; entry = entry->next) {
            if (matches(entry)) found = entry;
        }
        if (found != nullptr) {
            context->lastImage = found;
            std::string source;
            for (const char c : found->source) {
                if (c == '"') source += "&quot;";
                else source += c;
            }
            return source;
        }
    }
    const std::uint32_t* unid = DocumentUnid(context);
    char id[80];
    std::snprintf(id, sizeof id, "_%d_%.6u%.6x%.8x%.8x", picture->jpeg ? 2 : 1, static_cast<unsigned>(picture->instance),
                  static_cast<unsigned>(picture->key), unid[2], unid[3]);
    std::string text = id;
    for (char& c : text) c = UpperAscii(c);
    return "cid:" + text;
}

void WriteDefaultSource(Picture* picture) {
    XMLGenContext* context = picture->context;
    const CDRecordNode* reference = picture->reference;
    const std::uint16_t referenceKind = reference != nullptr ? NodeWord(reference, kStorageLinkKindAt) : 0;
    if (referenceKind == kStorageLinkAttachment || referenceKind == kStorageLinkUrl) {
        std::string text = NodeText(reference, kStorageLinkFixedLength, NodeWord(reference, kStorageLinkNameLengthAt));
        text.resize(strnlen(text.c_str(), text.size()));
        if (referenceKind == kStorageLinkUrl) {
            PutAttribute(context, "src", text);
            return;
        }
        const std::string name = AttributeValue(NameInAddress(text));
        const std::string where = IsOn(context, sw::kImageRelativeToPage) ? Hex4(DocumentUnid(context))
                                                                          : BaseURL(context) + "/0/" + Hex4(DocumentUnid(context));
        Put(context, " src=\"" + where + "/$File/" + name + "/" + name + ".gif?OpenElement\"");
        return;
    }
    if (context->mimeMode != 0) {
        Put(context, " src=\"" + MimeSource(picture) + "\"");
        WriteWAIAlt(picture, picture->bitmapHeader != nullptr ? "Unidentified GIF image"
                                                              : std::string("Unidentified ") +
                                                                    (picture->jpeg ? "jpeg" : "gif") + " image");
        return;
    }
    if (picture->bitmapHeader != nullptr) {
        Put(context, " src=\"" + ElementSource(picture, "gif") + "\"");
        WriteWAIAlt(picture, "Unidentified GIF image");
        return;
    }
    Put(context, " src=\"" + ElementSource(picture, picture->Extension()) + "\"");
}

void WriteResourceSource(Picture* picture) {
    XMLGenContext* context = picture->context;
    std::string name;
    if (IsOn(context, sw::kImageUseName) && SafeDocumentFileName(picture->htmlName, &name)) {
        if (name.find('.') == std::string::npos) name += std::string(".") + picture->Extension();
        // Another picture of the run stored under the name already: this
        // one is stored under a name of its own, not over it.
        const std::string native = plat::LmbcsToNative(name);
        const std::string chosen = RunFileName(context, kImageResourceNames, native,
                                               "picture " + Decimal(picture->instance) + " " + HexNumber(picture->key));
        if (chosen != native) name = plat::NativeToLmbcs(chosen);
    } else {
        name = Hex4(DocumentUnid(context)) + "_" + ItemFileName(context) + "_" + Decimal(picture->instance) + "_" +
               HexNumber(picture->key) + "." + picture->Extension();
    }
    if (context->imageDatabase != 0) {
        KeepStatus(context, SaveGraphicAsImageResource(context->session, name.c_str(), picture->graphic,
                                                       context->imageDatabase, IsOn(context, sw::kImageOverwrite) ? 0 : 1));
    }
    const char* open = context->texts.openImageResourceString != nullptr ? context->texts.openImageResourceString
                                                                          : "?OpenImageResource";
    Put(context, " src=\"" + AttributeValue(URLDirectoryPrefix(context, true) + NameInAddress(name)) + open + "\"");
    WriteWAIAlt(picture, "Image resource " + name);
}

// The name of the image resource the picture refers to (a formula's result
// when it is one), cut at its first "|".
std::string ResourceName(Picture* picture) {
    XMLGenContext* context = picture->context;
    const CDRecordNode* resource = picture->resource;
    const std::uint32_t at = kNamedElementResourceFixedLength + NodeWord(resource, kServerHintAt) + NodeWord(resource,
        kFileHintAt);
    const std::string data = NodeText(resource, at, NodeWord(resource, kResourceNameAt));
    std::string name;
    if ((NodeDword(resource, kResourceFlagsAt) & kResourceFormula) != 0) {
        KeepStatus(context, EvaluateStoredFormula(context, reinterpret_cast<const std::uint8_t*>(data.data()),
                                                  static_cast<std::uint32_t>(data.size()), &name));
    } else {
        name = data.c_str();
    }
    return name.substr(0, name.find('|'));
}

// A picture that names an image resource.
void WriteImageResource(Picture* picture) {
    XMLGenContext* context = picture->context;
    const std::string name = ResourceName(picture);
    if (name.empty()) return;
    picture->srcSettled = true;
    if (context->imageHandling == kHandlingDisk && IsOn(context, sw::kImageResourceToDisk)) {
        std::string file;
        std::string directory;
        if (SafeDocumentFileName(name, &file)) file = FittingDocumentFileName(file);
        if (!file.empty() && context->item != nullptr && ExportDirectory(context, &directory)) {
            const std::string path = plat::LmbcsToNative(JoinFilePath(directory, file));
            WriteRunFile(context, path, [&] {
                return WriteImageResourceFile(context->session, context->item->server, context->item->databasePath,
                                              name.c_str(), path.c_str());
            });
        }
        Put(context, " src=\"" + AttributeValue(DiskSource(context, NameInAddress(file))) + "\"");
        return;
    }
    if (context->mimeMode == 0) {
        const char* open = context->texts.openImageResourceString != nullptr ? context->texts.openImageResourceString
                                                                              : "?OpenImageResource";
        const std::string path = DatabaseURLPath(context);
        std::string source;
        if (context->texts.inPlaceImageURLDirectory != nullptr) {
            source = std::string(context->texts.inPlaceImageURLDirectory) + "/" + AttributeValue(NameInAddress(name));
        } else if (path.empty()) {
            source = AttributeValue(NameInAddress(name));
        } else {
            source = "/" + path + "/" + AttributeValue(NameInAddress(name));
        }
        Put(context, " src=\"" + source + open + "\"");
        return;
    }
    PutAttribute(context, "src", "cid:" + ImageResourceContentId(context, picture->resource, name));
    if (!IsOn(context, sw::kWAICompliant) || picture->altText != nullptr) return;
    const CDRecordNode* resource = picture->resource;
    const std::uint32_t idAt = kResourceIdAt + NodeWord(resource, kServerHintAt) + NodeWord(resource, kFileHintAt);
    const std::uint32_t low = NodeDword(resource, idAt), high = NodeDword(resource, idAt + 4);
    std::string alt = name;
    if (high == 0 && low == 0xE00) alt += " from user mail file";
    else if (high == 0 && low == 0xE01) alt += " from address book";
    else if (high == 0 && low == 0xE02) alt += " from headlines";
    else if (high == 0 && low == 0xE03) alt += " from bookmark db";
    else if (high != 0 || low != 0) {
        char id[40];
        std::snprintf(id, sizeof id, " from __%.8X%.8X.nsf", high, low);
        alt += id;
    }
    PutAttribute(context, "alt", alt);
    picture->altWritten = true;
}

// ---- Sizes -------------------------------------------------------------------------

// One dimension from the other attributes ("height=", "width="), else the
// graphic record's destination size when it is resized, else the bitmap
// header's own size.
void WriteDimension(Picture* picture, const char* name, std::uint32_t destinationAt, std::uint32_t bitmapAt,
                    bool* written) {
    XMLGenContext* context = picture->context;
    std::string value;
    const std::string key = std::string(name) + "=";
    if (AttributeOption(*picture, key.c_str(), &value) && !value.empty()) {
        PutAttribute(context, name, value);
        RemoveAttribute(picture, key.c_str());
        *written = true;
        return;
    }
    const CDRecordNode* graphic = picture->graphic;
    const std::uint16_t destination = NodeWord(graphic, destinationAt);
    if (NodeWord(graphic, kResizeAt) != 0 && destination != 0) {
        const bool pixels = (NodeByte(graphic, kGraphicFlagsAt) & kSizeInPixels) != 0;
        PutAttribute(context, name, Decimal(pixels ? destination : destination / kTwipsPerPixel));
        *written = true;
        return;
    }
    const std::uint16_t own = picture->bitmapHeader != nullptr ? NodeWord(picture->bitmapHeader, bitmapAt) : 0;
    if (own != 0) {
        PutAttribute(context, name, Decimal(own));
        *written = true;
    }
}

// A header's own size, where none was written yet.
void WriteHeaderSize(Picture* picture, const CDRecordNode* header, std::uint32_t widthAt, std::uint32_t heightAt) {
    const std::uint16_t height = NodeWord(header, heightAt), width = NodeWord(header, widthAt);
    if (!picture->heightWritten && height != 0) {
        PutAttribute(picture->context, "height", Decimal(height));
        picture->heightWritten = true;
    }
    if (!picture->widthWritten && width != 0) {
        PutAttribute(picture->context, "width", Decimal(width));
        picture->widthWritten = true;
    }
}

void WriteBorder(Picture* picture, const CDRecordNode* border) {
    XMLGenContext* context = picture->context;
    if (NodeWord(border, kBorderOffAt) == 0 && (NodeWord(border, kBorderFlagsAt) & kBorderOn) == 0) {
        Put(context, " border=\"0\"");
    } else {
        PutAttribute(context, "border", Decimal(NodeWord(border, kBorderWidthAt)));
    }
    const std::uint16_t top = NodeWord(border, kSpaceTopAt), bottom = NodeWord(border, kSpaceBottomAt);
    const std::uint16_t left = NodeWord(border, kSpaceLeftAt), right = NodeWord(border, kSpaceRightAt);
    if (top + bottom != 0) PutAttribute(context, "vspace", Decimal(top > bottom ? top : bottom));
    if (left + right != 0) PutAttribute(context, "hspace", Decimal(left > right ? left : right));
    char style[1024] = {};
    WriteXMLBorderStyle(border->bytes, border->length, context, style, sizeof style);
    // One style attribute: the picture's stored style (of its HTML
    // attributes, and of their other attributes) goes with the border's.
    std::string other;
    if (!AttributeOption(*picture, "style=", &other)) other.clear();
    RemoveAttribute(picture, "style=");
    Put(context, " style=\"" + AttributeValue(style));
    if (!picture->storedStyle.empty() || !other.empty()) Put(context, " ");
    WriteStoredStyle(context, picture->storedStyle);
    WriteStoredStyle(context, other);
    Put(context, "\"");
}


void WriteAltText(Picture* picture, const CDRecordNode* record) {
    XMLGenContext* context = picture->context;
    std::string text = NodeText(record, kAltTextFixedLength, NodeWord(record, kAltTextLengthAt));
    text.resize(strnlen(text.c_str(), text.size()));
    Put(context, " alt=\"");
    picture->altWritten = true;
    const char* blank = context->texts.blankAltString;
    if (!(blank != nullptr && text == blank) && !text.empty())
        WriteXMLEncodedText(context, text.data(), ClampToWord(text.size()),
                            1, 0, 0);
    Put(context, "\"");
}

// The other attributes written with the id/name record; those written from
// records of their own (or already from these attributes) are left out.
void WriteStoredAttributes(Picture* picture, const CDRecordNode* record) {
    if (picture->altText != nullptr) RemoveAttribute(picture, "alt=");
    if (picture->border != nullptr) {
        for (const char* key : {"border=", "vspace=", "hspace="}) RemoveAttribute(picture, key);
    }
    if (picture->heightWritten) RemoveAttribute(picture, "height=");
    if (picture->widthWritten) RemoveAttribute(picture, "width=");
    std::string alt;
    if (AttributeOption(*picture, "alt=", &alt)) picture->altWritten = true;
    std::vector<char> extra(picture->attributes.begin(), picture->attributes.end());
    extra.push_back('\0');
    // With a border record the stored style went into the border's style attribute.
    std::string style;
    const std::vector<std::uint8_t> bytes =
        picture->border != nullptr ? TakeIDNameStyle(record->bytes, record->length, &style)
                                   : std::vector<std::uint8_t>(record->bytes, record->bytes + record->length);
    KeepStatus(picture->context, WriteIDNameAttributes(bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                                       picture->context, picture->hasAttributes ? extra.data() : nullptr));
}

// The picture code's debug level: notes.ini "MirratDebug" less 4.
void ReadDebugLevel() { SetDebugLevelFromSetting("MirratDebug", 4); }

void Trace(const char* line) {
    if (g_debugLevel > 2) plat::LogLine(0, "%s", line);
}

bool InPictureSkip(std::uint16_t signature) {
    switch (signature) {
    case kSigPatternTable: case kSigColorTable: case kSigMetafile: case kSigBitmapSegment: case kSigBitmapHeader:
    case kSigStorageLink: case kSigImageSegment: case kSigImageHeader: case kSigGraphic:
        return true;
    default:
        return false;
    }
}

bool EndsSuppressedPicture(std::uint16_t signature) {
    switch (signature) {
    case kSigEnd: case kSigText: case kSigV5HotspotEnd: case kSigTableCell: case kSigTableEnd: case kSigHotspotEnd:
    case kSigV4HotspotEnd: case kSigNestedTableCell: case kSigNestedTableEnd:
        return true;
    default:
        return false;
    }
}

// Whether the output hands the picture's bytes over itself, as a MIME part
// or an exported file, rather than naming where a server keeps them.
bool HandsOverBytes(const XMLGenContext* context) {
    return context->imageHandling == kHandlingDisk ||
           (context->mimeMode != 0 && context->imageHandling == kHandlingDefault);
}

// Why the picture's bytes cannot be handed over as a file a browser or a
// mail reader opens; empty when they can (or lie elsewhere: a stored src, a
// URL or an attachment the picture refers to).
std::string WhyNotHandedOver(Picture* picture) {
    XMLGenContext* context = picture->context;
    // In MIME output a picture without an image header is placed as the
    // default handling places it, whatever the handling (see PXMLGr): it
    // may name no Content-ID that the message carries no part for.
    const bool placedAsDefault = context->mimeMode != 0 && picture->imageHeader == nullptr && picture->resource == nullptr;
    if (!HandsOverBytes(context) && !placedAsDefault) return "";
    // A resource whose name comes out empty leaves the picture to its own
    // records.
    const std::string name = picture->resource != nullptr ? ResourceName(picture) : "";
    if (!name.empty()) {
        const bool copied = context->mimeMode != 0 ||
                            (context->imageHandling == kHandlingDisk && IsOn(context, sw::kImageResourceToDisk));
        if (!copied || ImageResourceTravels(context, picture->resource, name)) return "";
        return "image resource '" + name + "' without a picture that travels";
    }
    const std::uint16_t referenceKind =
        picture->reference != nullptr ? NodeWord(picture->reference, kStorageLinkKindAt) : 0;
    if (referenceKind == kStorageLinkAttachment || referenceKind == kStorageLinkUrl) return "";
    if (picture->imageHeader != nullptr) {
        if (PictureMimeType(picture->imageHeader) != nullptr && picture->hasSegments) return "";
        return "an image of type " + Decimal(NodeWord(picture->imageHeader, kImageTypeAt)) + " or without data";
    }
    if (picture->bitmapHeader != nullptr) return "a bitmap";
    return "a picture in a format nothing here reads";
}

// A picture that cannot be handed over: its alternative text in its place
// (the alternative-text record's, else the stored "alt=", else nothing),
// and a log line that names it.
void WriteInsteadOfPicture(Picture* picture, const std::string& why) {
    XMLGenContext* context = picture->context;
    std::string text;
    if (picture->altText != nullptr) {
        text = NodeText(picture->altText, kAltTextFixedLength, NodeWord(picture->altText, kAltTextLengthAt));
        text.resize(strnlen(text.c_str(), text.size()));
    } else {
        AttributeOption(*picture, "alt=", &text);
    }
    const char* blank = context->texts.blankAltString;
    if (!text.empty() && !(blank != nullptr && text == blank))
        WriteXMLEncodedText(context, text.data(), ClampToWord(text.size()), 1, 0, 0);
    const char* item = context->item != nullptr && context->item->itemName != nullptr ? context->item->itemName : "";
    plat::LogLine(0, "Talix: the picture at record %u of item '%s' (%s) cannot be handed over; its alternative text "
                     "stands in its place",
                  static_cast<unsigned>(picture->graphic->index), item, why.c_str());
}

} // namespace

bool ImageResourceTravels(XMLGenContext* context, const CDRecordNode* reference, const std::string& name) {
    // A mail reader is handed only the types it reads; a browser opens a
    // file of any picture the resource holds.
    if ((context->mimeMode != 0 && ImageResourceType(name) == nullptr) || context->item == nullptr) return false;
    const std::uint32_t hints = NodeWord(reference, kServerHintAt) + NodeWord(reference, kFileHintAt);
    plat::DBID replica;
    replica.Innards[0] = NodeDword(reference, kResourceIdAt + hints);
    replica.Innards[1] = NodeDword(reference, kResourceIdAt + hints + 4);
    bool opened = false;
    const plat::DBHANDLE database = OpenImageResourceDatabase(context->item->databaseHandle,
                                                              NodeWord(reference, kFileHintAt) != 0, replica, &opened);
    if (database == 0) return false;
    const std::uint32_t length = MeasureImageResourceBase64(context->session, database, name.c_str(), 1, 1);
    if (opened) plat::DbClose(database);
    return length > 0;
}

std::uint16_t GraphicNameKey(ZervaRTItem* item, const OutputSegment* segment, const CDRecordNode* graphic) {
    (void)item;
    std::uint32_t key = plat::StructStoredLength(plat::ODS_WORD);
    const std::uint16_t first = segment != nullptr ? segment->firstIndex : 0;
    for (const CDRecordNode* at = graphic; at != nullptr; at = at->prev) {
        key += EvenLength(at->length);
        if (at->index <= first) break;
    }
    return static_cast<std::uint16_t>(key);
}

STATUS PXMLGr(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth) {
    (void)kind;
    (void)depth;
    ReadDebugLevel();
    Trace("PXMLGr - IN");
    CDRecordNode* graphic = context->node;
    if (graphic == nullptr || graphic->bytes == nullptr) return kOK;
    if (context->attachmentHandling == kHandlingMimeParts && context->attachmentOpen != 0) {
        while (InRange(context, context->node) && InPictureSkip(context->node->signature))
            context->node = context->node->next;
        return kOK;
    }
    if (context->imageHandling == kHandlingIgnore ||
        (context->mimeMode != 0 && context->attachmentOpen != 0 && context->attachmentHandling == kHandlingName &&
         context->texts.attachmentGraphic != nullptr))
        return kOK;
    if (IsOn(context, sw::kSuppressImages) && context->attachmentOpen == 0) {
        if (g_debugLevel != 0) plat::LogLine(0, "Image suppressed due to SuppressImages setting");
        CDRecordNode* at = graphic;
        while (InRange(context, at->next) && !EndsSuppressedPicture(at->next->signature)) at = at->next;
        context->node = at;
        return kOK;
    }

    Picture picture;
    picture.context = context;
    picture.graphic = graphic;
    ReadPicture(&picture);
    MoveToTextEnd(context);
    std::string stored;
    if (!(AttributeOption(picture, "src=", &stored) && !stored.empty())) {
        const std::string why = WhyNotHandedOver(&picture);
        if (!why.empty()) {
            WriteInsteadOfPicture(&picture, why);
            ReadDebugLevel();
            return context->overflow != 0 ? kOutOfMemory : kOK;
        }
    }
    const std::uint32_t start = TextLength(context);
    Put(context, "<img");

    if (AttributeOption(picture, "src=", &stored) && !stored.empty()) {
        PutAttribute(context, "src", stored);
        RemoveAttribute(&picture, "src=");
        picture.srcSettled = true;
    }
    if (!picture.srcSettled && picture.resource != nullptr) WriteImageResource(&picture);

    // A picture without image data of any kind writes nothing. One whose
    // source is settled (a stored src, an image resource, exported or not)
    // is written in every mode: its data lies elsewhere.
    const bool hasData = picture.srcSettled || picture.imageHeader != nullptr || picture.bitmapHeader != nullptr ||
                         picture.reference != nullptr;
    const bool follows = InRange(context, graphic->next);
    if (!follows || !hasData) {
        NoteTextCut(context);
        context->buffer[start] = '\0';
        context->writePosition = context->buffer + start;
        context->measuredLength = 0;
        ReadDebugLevel();
        return kOK;
    }
    if (!picture.srcSettled) {
        NamePicture(&picture);
        // DISK and RESOURCE export or store the data of an image header. A
        // picture without one (a bitmap, a URL or attachment it refers to)
        // is placed where the default handling places it.
        switch (picture.imageHeader != nullptr ? context->imageHandling : kHandlingDefault) {
        case kHandlingDisk: WriteDiskSource(&picture); break;
        case kHandlingResource: WriteResourceSource(&picture); break;
        default: WriteDefaultSource(&picture); break;
        }
        picture.srcSettled = true;
    }
    WriteDimension(&picture, "height", kDestHeightAt, kBitmapHeightAt, &picture.heightWritten);
    WriteDimension(&picture, "width", kDestWidthAt, kBitmapWidthAt, &picture.widthWritten);

    for (const CDRecordNode* at = graphic->next; InRange(context, at) && !EndsScan(at); at = at->next) {
        switch (at->signature) {
        case kSigBitmapHeader: WriteHeaderSize(&picture, at, kBitmapWidthAt, kBitmapHeightAt); break;
        case kSigImageHeader: WriteHeaderSize(&picture, at, kImageWidthAt, kImageHeightAt); break;
        case kSigAltText: WriteAltText(&picture, at); break;
        case kSigIdName:
        case kSigTableCellIdName: WriteStoredAttributes(&picture, at); break;
        case kSigBorderInfo: WriteBorder(&picture, at); break;
        default: break;
        }
    }
    std::string value;
    if (picture.border == nullptr && !AttributeOption(picture, "border=", &value)) Put(context, " border=\"0\"");
    if (picture.floatRecord != nullptr) {
        Put(context, NodeWord(picture.floatRecord, kAlignAt) == 1 ? " align='left'" : " align='right'");
    } else if (picture.alignRecord != nullptr) {
        switch (NodeWord(picture.alignRecord, kAlignAt)) {
        case 1: Put(context, " align='middle'"); break;
        case 2: Put(context, " align='top'"); break;
        case 5: Put(context, " align='bottom'"); break;
        default: break;
        }
    }
    if (!picture.heightWritten) Put(context, " height=\"" + std::to_string(kDefaultSize) + "\"");
    if (!picture.widthWritten) Put(context, " width=\"" + std::to_string(kDefaultSize) + "\"");
    // XHTML requires an alt attribute of every img: a picture without
    // alternative text gets an empty one, which also tells readers it says
    // nothing.
    if (Xhtml(context) && !picture.altWritten) Put(context, " alt=\"\"");
    Put(context, Xhtml(context) ? " />" : ">");
    MoveToTextEnd(context);
    ReadDebugLevel();
    Trace("PXMLGr - OUT");
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

} // namespace talix
