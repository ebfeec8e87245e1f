// Images in the walk: an img (or a Word v:imagedata) becomes graphic
// records. Where the picture comes from is tried in a fixed order, and the
// first source that applies writes it: the link icons an open link already
// stands for (nothing), attachment icons and other image resources, a MIME
// part of the message, an attachment of a note, a graphic of a rich-text
// item, a file on disk, or a URL.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/graphic_records.h"
#include "builders/table_builders.h"
#include "core/ascii.h"
#include "core/attachments.h"
#include "core/chunk_work_state.h"
#include "core/debug_level.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/view_lookup.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/image_sources.h"
#include "htmlimport/import_records.h"
#include "htmlimport/local_files.h"
#include "htmlimport/note_addresses.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/walk_handlers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kDefaultSize = 100;
constexpr std::size_t kKeyChars = 31;
constexpr std::uint16_t kWrapperVersion = 1;
constexpr std::size_t kUnidFromMarker = 36;       // "/0/" and 32 digits before "$File"
constexpr std::uint32_t kAttachmentNameSize = 256;

constexpr const char* kLinkIcons[] = {"/icons/doclink.gif", "/icons/viewlink.gif", "/icons/dblink.gif",
                                      "/icons/textlink.gif", "cid:_a_doclink",      "cid:_a_viewlink",
                                      "cid:_a_dblink",       "cid:_a_textlink"};
constexpr char kAttachmentIconResource[] = "icons/fileatt.gif";
constexpr char kSmallAttachmentIconResource[] = "icons/fileattsm.gif";

bool Tracing() { return g_debugLevel > 2; }

bool Contains(std::string_view text, std::string_view part) { return ContainsNoCase(text, part); }

const CSSRuleList* Rules(const CSSRuleList& list) { return list.Empty() ? nullptr : &list; }

std::optional<std::string> Attribute(const HtmlNode* node, const char* name) {
    const char* value = AttributeValue(node, name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// A width or height: CSS first, then the attribute.
void ReadSize(const HTMLImportContext* import, const HtmlNode* node, const char* name, std::uint16_t* value,
              bool* given) {
    std::optional<std::string> text = FindStyleValue(node, name, Rules(import->styleRules1), Rules(import->styleRules2));
    if (!text.has_value()) text = Attribute(node, name);
    if (!text.has_value()) return;
    *value = ParseHTMLLength(import, text->c_str(), kDefaultSize);
    const bool zeroAllowed = import->allowZeroSize != 0 && !text->empty() && (*text)[0] >= '0' && (*text)[0] <= '9';
    *given = *value != 0 || zeroAllowed;
}

// A Word image's wrapping: a w:wrap of type square next to it (or one
// further on) floats it left.
bool WrapsSquare(const HtmlNode* node) {
    const HtmlNode* sibling = node->next;
    for (int step = 0; step < 2 && sibling != nullptr; ++step, sibling = sibling->next) {
        if (!sibling->IsElement() || sibling->name == nullptr || CompareNamesNoCase(sibling->name, "w:wrap") != 0)
            continue;
        const char* type = AttributeValue(sibling, "type");
        if (type != nullptr && CompareNamesNoCase(type, "square") == 0) return true;
    }
    return false;
}

ImageRequest ReadRequest(const HTMLImportContext* import, const HtmlNode* node) {
    ImageRequest request;
    request.node = node;
    ReadSize(import, node, "width", &request.width, &request.widthGiven);
    ReadSize(import, node, "height", &request.height, &request.heightGiven);
    if (const char* source = AttributeValue(node, "src")) request.source = source;
    request.border = Attribute(node, "border");
    request.align = Attribute(node, "align");
    request.alt = Attribute(node, "alt");
    if (request.alt.has_value() && request.alt->empty() && import->blankAltText != nullptr)
        request.alt = std::string(import->blankAltText);
    request.hspace = Attribute(node, "hspace");
    request.vspace = Attribute(node, "vspace");
    if (node->Is(HtmlTag::kVmlImageData) && !request.align.has_value() && WrapsSquare(node)) {
        request.align = std::string("left");
    } else {
        const StyleValue floating = StyleAttrElem(node, "float", nullptr, nullptr, nullptr, nullptr, nullptr, false,
                                                  Rules(import->styleRules1), Rules(import->styleRules2));
        if (floating.has_value() && ContainsNoCase(*floating, "left")) request.align = std::string("left");
        else if (floating.has_value() && ContainsNoCase(*floating, "right")) request.align = std::string("right");
    }
    return request;
}

// The quote character for an option value: the first of the option
// reader's four that the value does not hold.
char QuoteFor(const std::string& value) {
    for (const char quote : {'\'', '"', '|', '~'})
        if (value.find(quote) == std::string::npos) return quote;
    return '\'';
}

void AddOption(std::string* options, const char* key, const std::string& value) {
    const char quote = QuoteFor(value);
    *options += key;
    *options += quote;
    *options += value;
    *options += quote;
    *options += ' ';
}

std::string DeferredOptions(const ImageRequest& request, bool withTexts) {
    std::string options = "LoadType='Deferred' ";
    if (request.widthGiven) AddOption(&options, "ImageWidth=", std::to_string(request.width));
    if (request.heightGiven) AddOption(&options, "ImageHeight=", std::to_string(request.height));
    if (!withTexts) return options;
    if (request.alt.has_value()) AddOption(&options, "AltText=", *request.alt);
    if (request.hspace.has_value()) AddOption(&options, "HSpace=", *request.hspace);
    if (request.vspace.has_value()) AddOption(&options, "VSpace=", *request.vspace);
    if (request.border.has_value()) AddOption(&options, "Border=", *request.border);
    return options;
}

STATUS ReferenceResource(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                         const std::string& name, std::uint16_t width, std::uint16_t height) {
    return AppendGraphicRecords(kResourceNamedElement, kResourceClassImage, name.c_str(), import->replicaIDOption, 0,
                                context, width, height, TextOf(request.alt), TextOf(request.align),
                                TextOf(request.hspace), TextOf(request.vspace), TextOf(request.border));
}

// An image resource that exists: referenced with the element's size, or the
// resource's own where the element gives none.
bool TryResource(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                 plat::DBHANDLE db, const std::string& name, STATUS* status) {
    std::uint16_t width = request.width, height = request.height;
    if (ReadImageResourceSize(context->session, db, name.c_str(), &width, &height) == 0) return false;
    *status = ReferenceResource(context, import, request, name, width, height);
    return true;
}

// The attachment icons inside an open link hotspot.
bool AttachmentIcon(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                    STATUS* status) {
    const std::string& source = request.source;
    if (Contains(source, "/icons/fileatt.gif") &&
        TryResource(context, import, request, import->resourceDatabase, kAttachmentIconResource, status))
        return true;
    if (!Contains(source, "/icons/fileattsm.gif") && !Contains(source, "/icons/vwicn005.gif")) return false;
    std::uint16_t width = request.width, height = request.height;
    if (ReadImageResourceSize(context->session, import->resourceDatabase, kSmallAttachmentIconResource, &width,
                              &height) == 0)
        return false;
    if (import->linkViewIcon == 0)
        *status = ReferenceResource(context, import, request, kSmallAttachmentIconResource, width, height);
    return true;
}

// Image resources named by the resource database's path, the local
// resource prefix, or an OpenImageResource address under the base path.
bool LocalResource(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                   STATUS* status) {
    const std::string& source = request.source;
    const char* prefix = import->localResourcePrefix;
    if (prefix != nullptr && prefix[0] != '\0') {
        const std::size_t at = FindNoCaseIn(source, prefix);
        if (at != std::string::npos) {
            if (TryResource(context, import, request, import->resourceDatabase, source.substr(at + 1), status))
                return true;
            const std::size_t after = std::min(at + std::strlen(prefix), source.size());
            if (TryResource(context, import, request, import->resourceDatabase, source.substr(after), status))
                return true;
        }
    }
    const std::string_view base(import->basePath);
    if (base.empty() || source.size() < 2 || source[0] != '/' || source[1] == '/' ||
        !Contains(source, "OpenImageResource"))
        return false;
    const std::string_view rest = std::string_view(source).substr(1);
    if (!StartsWithNoCase(rest, base) || rest.size() <= base.size() || rest[base.size()] != '/') return false;
    return TryResource(context, import, request, import->resourceDatabase, std::string(rest.substr(base.size() + 1)),
                       status);
}

// A wrapper record of the picture written from memory.
STATUS AddWrapped(const BuiltRecord& record, RecordOutput* output) {
    const std::uint32_t length =
        HostRecordLength(record.bytes.data(), static_cast<std::uint32_t>(record.bytes.size()), record.signature);
    return AppendRecord(record.bytes.data(), record.signature, length, output);
}

// A picture held in memory (a MIME part of the message), in a wrapper that
// carries its border, alt text, alignment and spacing when it has any.
STATUS ImageFromMemory(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                       const MIMEInlineImage& part) {
    std::string border;
    CalcBorderSetFromHTML(import, request.node, &border, false);
    const bool wrapped = !border.empty() || request.alt.has_value() || request.align.has_value() ||
                         request.hspace.has_value() || request.vspace.has_value();
    RecordOutput* output = &context->output;
    STATUS status = kOK;
    if (wrapped) status = AppendBeginRecord(kSigGraphic, kWrapperVersion, output);
    // The kind the part's bytes are, whatever its headers say; the headers'
    // when the bytes say none.
    std::uint16_t kind = PictureDataType(part.data, part.length);
    if (kind == 0) kind = part.kind;
    if (status == kOK)
        status = WriteImageBufferRecords(part.data, part.length, kind, output, request.width, request.height,
                                         TextOf(request.align));
    if (!wrapped) return status;
    if (status == kOK && !border.empty()) {
        std::uint8_t record[kBorderLength] = {};
        WriteWord(record, kSigBorderInfo);
        WriteWord(record + 2, kBorderLength);
        status = ParseBorderSpec(context->session, kSigBorderInfo, record, border.c_str(), 0);
        if (status == kOK) status = AppendRecord(record, kSigBorderInfo, sizeof record, output);
    }
    if (status == kOK && request.alt.has_value()) {
        BuiltRecord alt;
        if (AltTextRecord(*request.alt, &alt)) status = AddWrapped(alt, output);
    }
    if (status == kOK && request.align.has_value()) {
        const std::string& align = *request.align;
        if (EqualNoCase(align, "TOP") || EqualNoCase(align, "middle") || EqualNoCase(align, "bottom") ||
            EqualNoCase(align, "baseline")) {
            const std::uint16_t vertical = EqualNoCase(align, "TOP") ? 2 : EqualNoCase(align, "middle") ? 1
                                                                        : EqualNoCase(align, "bottom") ? 5 : 0;
            status = AddWrapped(VerticalAlignRecord(vertical), output);
        } else if (EqualNoCase(align, "left") || EqualNoCase(align, "right")) {
            status = AddWrapped(FloatRecord(EqualNoCase(align, "left") ? 1 : 2), output);
        }
    }
    if (status == kOK && (request.hspace.has_value() || request.vspace.has_value())) {
        std::string texts[kIdNameTexts];
        if (request.hspace.has_value()) {
            AppendLengthAttribute(&texts[kOtherText], "hspace", *request.hspace);
            texts[kOtherText] += ' ';
        }
        if (request.vspace.has_value()) {
            AppendLengthAttribute(&texts[kOtherText], "vspace", *request.vspace);
            texts[kOtherText] += ' ';
        }
        BuiltRecord record;
        if (IdNameRecord(texts, &record)) status = AddWrapped(record, output);
    }
    const STATUS end = AppendEndRecord(kSigGraphic, kWrapperVersion, output);
    return status != kOK ? status : end;
}

// The MIME parts of the message: those of the item's default chunk, else
// of the chunk the import runs on.
const MIMEInlineImage* InlineParts(BuildContext* context) {
    const ZervaRTItem* item = context->output.item;
    for (const ZervaRTChunk* chunk : {item != nullptr ? item->defaultChunk : nullptr, context->chunk}) {
        if (chunk != nullptr && chunk->work != nullptr && chunk->work->inlineImages != nullptr)
            return chunk->work->inlineImages;
    }
    return nullptr;
}

} // namespace

std::size_t HTMLImportContext::NoCaseHash::operator()(std::string_view text) const {
    std::size_t hash = 14695981039346656037ull;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211ull;
    return hash;
}

bool HTMLImportContext::NoCaseEqual::operator()(std::string_view a, std::string_view b) const {
    return EqualNoCase(a, b);
}

namespace {

// The first part of the list whose content id is the id (ASCII letters
// alike in either case), through the index the import keeps of the list:
// a message of many pictures costs one look-up per picture.
const MIMEInlineImage* InlinePartById(HTMLImportContext* import, const MIMEInlineImage* parts,
                                      std::string_view id) {
    if (import->imagesIndexed != parts) {
        import->inlineImagesById.clear();
        std::size_t count = 0;
        for (const MIMEInlineImage* part = parts; part != nullptr; part = part->next) ++count;
        import->inlineImagesById.reserve(count);
        for (const MIMEInlineImage* part = parts; part != nullptr; part = part->next)
            if (part->contentId != nullptr) import->inlineImagesById.emplace(part->contentId, part);
        import->imagesIndexed = parts;
    }
    // A terminated id ends at its first zero byte, as the comparison did.
    id = id.substr(0, id.find('\0'));
    auto found = import->inlineImagesById.find(id);
    // A "cid:" address carries the Content-ID with "%" escapes of its bytes
    // ("%40" for "@"): an id not found as written is looked up unescaped.
    if (found == import->inlineImagesById.end() && id.find('%') != std::string_view::npos) {
        std::string unescaped;
        for (std::size_t at = 0; at < id.size(); ++at) {
            if (id[at] == '%' && at + 2 < id.size() && IsHexDigit(id[at + 1]) && IsHexDigit(id[at + 2])) {
                unescaped += static_cast<char>(HexDigitValue(id[at + 1]) * 16 + HexDigitValue(id[at + 2]));
                at += 2;
            } else {
                unescaped += id[at];
            }
        }
        found = import->inlineImagesById.find(std::string_view(unescaped));
    }
    return found != import->inlineImagesById.end() ? found->second : nullptr;
}

std::uint16_t TypeOfName(const std::string& name) {
    return ContainsNoCase(name, ".gif") ? kImageTypeGif : kImageTypeJpeg;
}

// The first attachment of the note as the picture.
STATUS FirstAttachment(BuildContext* context, plat::DBHANDLE db, plat::NOTEHANDLE note, const ImageRequest& request) {
    char name[kAttachmentNameSize] = {};
    if (FindAttachmentName(note, name, sizeof name, 1) == 0) return kOK;
    if (Tracing()) plat::LogLine(0, "About to GenerateCDRecordsFromGraphicFile");
    return WriteAttachedImageRecords(db, note, name, TypeOfName(name), context, request.width, request.height,
                                     TextOf(request.alt), TextOf(request.align), TextOf(request.hspace),
                                     TextOf(request.vspace), TextOf(request.border));
}

// An attachment of the note whose universal id comes before "$File" in
// the source ("/0/<32 digits>/$File/...").
STATUS NoteByUnid(BuildContext* context, const ImageRequest& request, std::size_t unidAt) {
    const ZervaRTItem* item = context->output.item;
    if (Tracing()) plat::LogLine(0, "Resolved as unid");
    plat::UNID unid;
    plat::NOTEHANDLE note = 0;
    if (!ParseUnidText(request.source.c_str() + unidAt, request.source.size() - unidAt, &unid) ||
        plat::NoteOpenByUNID(item->databaseHandle, &unid, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) {
        if (Tracing()) plat::LogLine(0, "Resolved as unid but unable to open");
        return kOK;
    }
    if (Tracing()) plat::LogLine(0, "Resolved as local profile image");
    const STATUS status = FirstAttachment(context, item->databaseHandle, note, request);
    char key[kAttachmentNameSize] = {};
    const plat::WORD keyLength = plat::ItemGetText(note, "AttachKey", key, sizeof key);
    if (keyLength > 0) {
        plat::LogLine(0, "Recognized as profile note");
        plat::NoteProfileCall(note, key, keyLength);
    }
    plat::NoteClose(note);
    return status;
}

// An attachment of the note the key finds in a view.
STATUS NoteByViewKey(BuildContext* context, HTMLImportContext* import, const ImageRequest& request) {
    const std::string& source = request.source;
    const std::size_t view = FindNoCaseIn(source, import->imageView);
    const std::size_t file = FindNoCaseIn(source, "$File");
    const std::size_t keyStart = view + std::strlen(import->imageView) + 1;
    const std::string key =
        view < file && keyStart + 1 < file ? source.substr(keyStart, std::min(file - 1 - keyStart, kKeyChars)) : "";
    const bool inResources = import->resourceDatabasePath != nullptr && import->resourceDatabasePath[0] != '\0' &&
                             Contains(source, import->resourceDatabasePath);
    const plat::DBHANDLE db = inResources ? import->resourceDatabase : context->output.item->databaseHandle;
    if (Tracing()) plat::LogLine(0, inResources ? "Resolved as local db resource image" : "Resolved as local image");
    plat::DHANDLE table = 0;
    const STATUS found =
        FindNotesByViewOrFormula(context->session, db, inResources ? "$QVIV" : import->imageView, key.c_str(), &table, 0);
    CloseViewSearch(context->session);
    if (found != kOK) {
        if (Tracing()) plat::LogLine(0, "Resolved as note id but error");
        return kOK;
    }
    if (Tracing()) plat::LogLine(0, "Resolved as note id");
    STATUS status = kOK;
    plat::NOTEID id = 0;
    plat::NOTEHANDLE note = 0;
    if (!plat::IdScan(table, true, &id) || id == 0) {
        if (Tracing()) plat::LogLine(0, "Resolved as note id but no note id");
    } else if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) == plat::NOERROR) {
        if (Tracing()) plat::LogLine(0, "Resolved to generate inline");
        status = FirstAttachment(context, db, note, request);
        plat::NoteClose(note);
    }
    plat::IdDestroyTable(table);
    return status;
}

bool IsDrivePath(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }

// A path of the local file system: a drive path, a path from the root of a
// drive ("\\"), or, as this machine writes them, a rooted path that names
// a directory that exists (a web path such as "/db.nsf" names none).
bool IsLocalPath(std::string_view path) {
    if (IsDrivePath(path) || (!path.empty() && path[0] == '\\')) return true;
    if (path.empty() || path[0] != '/') return false;
    struct stat info {};
    return ::stat(std::string(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The largest picture file the import reads.
constexpr std::size_t kLargestPictureFile = 0x10000000;

// A picture file on disk, named by the source below the directory the
// import may read (see local_files.h). A file that is not read writes
// nothing; the log says which and why.
STATUS ImageFile(BuildContext* context, HTMLImportContext* import, const ImageRequest& request) {
    const std::string& source = request.source;
    const std::string_view name = request.belowBase ? std::string_view(source).substr(1) : source;
    std::string data;
    const LocalRead read = ReadLocalFile(import->localDirectory, name, kLargestPictureFile, &data);
    if (read != LocalRead::kRead) {
        plat::LogLine(0, "Picture '%s' left out: %s", source.c_str(), LocalReadText(read));
        return kOK;
    }
    std::string border;
    CalcBorderSetFromHTML(import, request.node, &border, false);
    // The kind the file's bytes are, whatever its name says; by its name
    // when they say none.
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    const auto size = static_cast<std::uint32_t>(data.size());
    std::uint16_t type = PictureDataType(bytes, size);
    if (type == 0) type = ContainsNoCase(source, ".gif") ? kImageTypeGif : kImageTypeJpeg;
    return WriteImageFileRecords(bytes, size, type, context,
                                 request.width, request.height, TextOf(request.alt), TextOf(request.align),
                                 TextOf(request.hspace), TextOf(request.vspace), TextOf(request.border),
                                 border.c_str());
}

STATUS ConvertImage(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    ImageRequest request = ReadRequest(import, node);
    std::string& source = request.source;
    if (source.empty() || source == "cid:_a_tabletab") return kOK;
    char editor[64] = {};
    if (source.compare(0, 6, "../../") == 0 && GetOptionValue(import->optionText, "Duzuvore=", editor, sizeof editor) != 0 &&
        EqualNoCase(editor, "FCKeditor")) {
        source.erase(0, 5);
        request.belowBase = true;
    }
    std::string basePath(import->basePath);
    for (char& c : basePath)
        if (c == '\\') c = '/';
    if (Tracing()) plat::LogLine(0, "Resolving an image address %s base %s", source.c_str(), basePath.c_str());

    STATUS status = kOK;
    // 1, 2: the icons of the link hotspot the image stands in.
    const bool inLink = import->hotspotOpen != 0 && node->parent != nullptr && node->parent->Is(HtmlTag::kA);
    if (inLink) {
        for (const char* icon : kLinkIcons)
            if (Contains(source, icon)) return kOK;
        if (import->resolveLocalResources != 0 && AttachmentIcon(context, import, request, &status)) return status;
    }
    // 3, 4: image resources.
    const char* resourcePath = import->resourceDatabasePath;
    if (resourcePath != nullptr && resourcePath[0] != '\0') {
        const std::size_t at = FindNoCaseIn(source, resourcePath);
        const std::size_t after = at + std::strlen(resourcePath) + 1;
        if (at != std::string::npos && after <= source.size() &&
            TryResource(context, import, request, import->resourceDatabase, source.substr(after), &status))
            return status;
    }
    if (import->resolveLocalResources != 0 && LocalResource(context, import, request, &status)) return status;
    // 5: a file path (a URL is none).
    const bool url = StartsWithNoCase(source, "http");
    if (!url && (IsDrivePath(source) || source[0] == '\\' || IsLocalPath(import->basePath)))
        return ImageFile(context, import, request);
    // 6: a MIME part of the message.
    if (StartsWithNoCase(source, "cid:")) {
        if (const MIMEInlineImage* parts = InlineParts(context)) {
            const MIMEInlineImage* part = InlinePartById(import, parts, std::string_view(source).substr(4));
            return part != nullptr ? ImageFromMemory(context, import, request, *part) : kOK;
        }
    }
    // 7: an attachment by URL.
    const std::size_t file = FindNoCaseIn(source, "$File");
    if (file != std::string::npos && Contains(source, "?OpenElement") && !Contains(source, "FieldElemFormat")) {
        const std::size_t nameStart = FindNoCaseIn(source, "$File/");
        if (nameStart != std::string::npos) {
            const std::size_t from = nameStart + 6;
            const std::size_t to = std::min(source.find('/', from), source.size());
            const std::string name = source.substr(from, to - from);
            return AppendBitmapImage(kImageSourceImport, name.c_str(), DeferredOptions(request, true).c_str(),
                                     context);
        }
    }
    // 8: attachments of notes.
    const bool picture = Contains(source, ".gif") || Contains(source, ".jp");
    if (file != std::string::npos && picture && !basePath.empty() && file >= kUnidFromMarker &&
        source.compare(file - kUnidFromMarker, 3, "/0/") == 0)
        return NoteByUnid(context, request, file - kUnidFromMarker + 3);
    if (file != std::string::npos && picture && import->imageView[0] != '\0' && Contains(source, import->imageView))
        return NoteByViewKey(context, import, request);
    // 9: a graphic of a rich-text item.
    if (Contains(source, "?OpenElement") && Contains(source, "FieldElemFormat")) {
        if (Tracing()) plat::LogLine(0, "Resolved another way");
        bool copied = false;
        status = CopyItemGraphic(context, import, request, &copied);
        if (copied) return status;
    }
    // 11: a URL, loaded when the picture is shown. Its alternative text
    // stays with it: the words of the page stand in for a picture that does
    // not load.
    std::string options = DeferredOptions(request, false);
    if (request.alt.has_value()) AddOption(&options, "AltText=", *request.alt);
    return AppendBitmapImage(kImageSourceUrl, source.c_str(), options.c_str(), context);
}

} // namespace

STATUS ConvertImageFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    if (context == nullptr || import == nullptr || node == nullptr || context->output.item == nullptr)
        return kArgumentError;
    try {
        return ConvertImage(context, import, node);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

} // namespace talix
