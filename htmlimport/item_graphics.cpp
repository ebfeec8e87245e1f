// Image resources measured for an import, and the graphics of rich-text
// items that the generator's image URLs name, copied back into the import.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/graphic_records.h"
#include "builders/record_scratch.h"
#include "core/debug_level.h"
#include "core/html_attributes.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/image_sources.h"
#include "htmlimport/note_addresses.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kItemNameChars = 31;
constexpr std::size_t kNoteIdAfterMarker = 3;     // after "/0/"
constexpr std::size_t kItemAfterMarker = 36;      // "/0/", 32 digits and "/"
constexpr std::uint32_t kGraphicWidthAt = 8, kGraphicHeightAt = 10, kGraphicResizeAt = 24;
constexpr std::uint32_t kGraphicVersionAt = 26, kGraphicFlagsAt = 27;
constexpr std::uint8_t kGraphicVersionSized = 2;
constexpr std::uint32_t kBeginSignatureAt = 4;    // the signature a begin or end record wraps
constexpr int kIdNameOtherText = 4;

bool Tracing() { return g_debugLevel > 2; }

// A record to append, as its bytes in host form (with the pad byte of an
// odd length).
struct CopiedRecord {
    std::uint16_t signature = 0;
    std::uint32_t length = 0;
    std::string bytes;
};

CopiedRecord Copy(const CDRecordNode* node) {
    CopiedRecord copy;
    copy.signature = node->signature;
    copy.length = node->length;
    copy.bytes.assign(reinterpret_cast<const char*>(node->bytes), EvenLength(node->length));
    return copy;
}

std::uint8_t* Bytes(CopiedRecord* record) { return reinterpret_cast<std::uint8_t*>(record->bytes.data()); }

CopiedRecord AltText(const std::string& alt) {
    CopiedRecord record;
    BuiltRecord built;
    if (!AltTextRecord(alt, &built)) return record;
    record.signature = built.signature;
    record.length = static_cast<std::uint32_t>(kAltTextFixedLength + alt.size());
    record.bytes.assign(built.bytes.begin(), built.bytes.end());
    return record;
}

// Replaces the value of one word (hspace="..." or vspace="...") of a text.
void ReplaceWord(std::string* text, const char* word, const std::string& value) {
    const std::string key = std::string(word) + "=\"";
    const std::size_t at = FindNoCaseIn(*text, key);
    const std::string replacement = key + value + "\" ";
    if (at == std::string::npos) {
        *text += replacement;
        return;
    }
    std::size_t end = text->find('"', at + key.size());
    end = end == std::string::npos ? text->size() : end + 1;
    if (end < text->size() && (*text)[end] == ' ') ++end;
    if (text->compare(at, end - at, replacement) != 0) text->replace(at, end - at, replacement);
}

// The id/name record with the element's spacing in its other text.
CopiedRecord WithSpacing(const CDRecordNode* node, const ImageRequest& request) {
    CopiedRecord record = Copy(node);
    if (node->length < kIdNameFixedLength) return record;
    const std::uint8_t* bytes = node->bytes;
    std::string texts[6];
    std::uint32_t at = kIdNameFixedLength;
    for (int i = 0; i < 6; ++i) {
        const std::uint16_t length = ReadWord(bytes + kIdNameLengthsAt + 2 * i);
        if (at + length > node->length) return record;
        texts[i].assign(reinterpret_cast<const char*>(bytes + at), length);
        at += length;
    }
    if (request.hspace.has_value()) ReplaceWord(&texts[kIdNameOtherText], "hspace", *request.hspace);
    if (request.vspace.has_value()) ReplaceWord(&texts[kIdNameOtherText], "vspace", *request.vspace);
    std::uint32_t length = kIdNameFixedLength;
    for (const std::string& text : texts) length += static_cast<std::uint32_t>(text.size());
    if (length > 0xFFFF) return record;
    CopiedRecord rebuilt;
    rebuilt.signature = node->signature;
    rebuilt.length = length;
    rebuilt.bytes.assign(reinterpret_cast<const char*>(bytes), kIdNameFixedLength);
    for (int i = 0; i < 6; ++i) {
        WriteWord(Bytes(&rebuilt) + kIdNameLengthsAt + 2 * i, static_cast<std::uint16_t>(texts[i].size()));
        rebuilt.bytes += texts[i];
    }
    if (rebuilt.bytes.size() % 2 != 0) rebuilt.bytes += '\0';
    WriteWord(Bytes(&rebuilt) + 2, static_cast<std::uint16_t>(length));
    return rebuilt;
}

// The graphic record with the element's size as its destination size.
CopiedRecord Sized(const CDRecordNode* node, const ImageRequest& request, const HTMLImportContext* import) {
    CopiedRecord record = Copy(node);
    const bool sized = (request.widthGiven && request.heightGiven) || import->allowZeroSize != 0;
    if (!sized || node->length <= kGraphicFlagsAt) return record;
    std::uint8_t* bytes = Bytes(&record);
    WriteWord(bytes + kGraphicWidthAt, request.width);
    WriteWord(bytes + kGraphicHeightAt, request.height);
    WriteWord(bytes + kGraphicResizeAt, 1);
    bytes[kGraphicVersionAt] = kGraphicVersionSized;
    bytes[kGraphicFlagsAt] = static_cast<std::uint8_t>(bytes[kGraphicFlagsAt] | kGraphicSizeInPixels);
    if (Tracing()) plat::LogLine(0, "Updating graphic record #2a width=%ld height=%ld", static_cast<long>(request.width),
                                 static_cast<long>(request.height));
    return record;
}

bool IsBeginOf(const CDRecordNode* node, std::uint16_t signature) {
    return node != nullptr && node->signature == kSigBegin && node->length >= kBeginSignatureAt + 2 &&
           ReadWord(node->bytes + kBeginSignatureAt) == signature;
}

bool IsEndOf(const CDRecordNode* node, std::uint16_t signature) {
    return node->signature == kSigEnd && node->length >= kBeginSignatureAt + 2 &&
           ReadWord(node->bytes + kBeginSignatureAt) == signature;
}

// The data records that follow a picture's first record when it stands
// without a begin record.
bool IsPictureData(std::uint16_t signature) {
    switch (signature) {
    case kSigImageHeader:
    case kSigImageSegment:
    case kSigBitmapHeader:
    case kSigBitmapSegment:
    case kSigColorTable:
    case kSigPatternTable:
    case kSigTransparentTable:
        return true;
    default:
        return false;
    }
}

// The records of the matched graphic, changed as the element asks.
std::vector<CopiedRecord> GraphicRecords(const CDRecordNode* match, const ImageRequest& request,
                                         const HTMLImportContext* import) {
    std::vector<CopiedRecord> records;
    if (!IsBeginOf(match->prev, kSigGraphic)) {
        // No wrapper: the picture's records as they stand.
        records.push_back(Copy(match));
        for (const CDRecordNode* at = match->next; at != nullptr && IsPictureData(at->signature); at = at->next)
            records.push_back(Copy(at));
        return records;
    }
    bool altWritten = false;
    int depth = 0;
    for (const CDRecordNode* at = match->prev; at != nullptr; at = at->next) {
        if (IsBeginOf(at, kSigGraphic)) ++depth;
        if (IsEndOf(at, kSigGraphic) && --depth == 0) {
            if (!altWritten && request.alt.has_value()) {
                CopiedRecord alt = AltText(*request.alt);
                if (alt.length != 0) records.push_back(std::move(alt));
            }
            records.push_back(Copy(at));
            break;
        }
        if (at->signature == kSigGraphic && depth == 1) {
            records.push_back(Sized(at, request, import));
        } else if (at->signature == kSigAltText && request.alt.has_value() && depth == 1) {
            CopiedRecord alt = AltText(*request.alt);
            records.push_back(alt.length != 0 ? std::move(alt) : Copy(at));
            altWritten = true;
        } else if (at->signature == kSigIdName && depth == 1 && (request.hspace.has_value() || request.vspace.has_value())) {
            records.push_back(WithSpacing(at, request));
        } else {
            records.push_back(Copy(at));
        }
    }
    return records;
}

// The first graphic of the list whose name ("<item>/<item number>.<key>?")
// the source holds.
const CDRecordNode* MatchGraphic(const ItemRecordList* list, const char* itemName, const std::string& source) {
    for (const CDRecordNode* at = list != nullptr ? list->head : nullptr; at != nullptr; at = at->next) {
        if ((at->signature != kSigGraphic && at->signature != kSigBitmapHeader) || RecordExtra(at) == nullptr) continue;
        const auto* extra = static_cast<const GraphicExtra*>(RecordExtra(at));
        char name[96];
        std::snprintf(name, sizeof name, "%.31s/%d.%x?", itemName != nullptr ? itemName : "",
                      static_cast<int>(extra->segment), extra->key);
        if (FindNoCaseIn(source, name) != std::string::npos) return at;
    }
    return nullptr;
}

// A note and item read for the look-up: released with it.
struct ReadItem {
    explicit ReadItem(RARIvoSession* session) : session(session) {}
    ~ReadItem() {
        if (list != nullptr) DeleteItemRecordList(session, list);
        item.reset();
        if (ownedNote != 0) plat::NoteClose(ownedNote);
    }
    ReadItem(const ReadItem&) = delete;
    ReadItem& operator=(const ReadItem&) = delete;

    RARIvoSession* session;
    plat::NOTEHANDLE ownedNote = 0;
    std::unique_ptr<ZervaRTItem> item;
    ItemRecordList* list = nullptr;
};

// Reads the named item of the note into a record list.
void ReadNamedItem(ReadItem* read, plat::NOTEHANDLE note, const std::string& itemName) {
    read->item = std::make_unique<ZervaRTItem>(read->session);
    if (read->item->ConnectBackend(note, itemName.c_str(), 0) != 0 || read->item->connected == 0) return;
    STATUS status = kOK;
    ItemRecordList* list = SIAR(read->item.get(), 0, nullptr, 0, 0, 0, nullptr, &status);
    if (list != nullptr && status != kOK) {
        DeleteItemRecordList(read->session, list);
        list = nullptr;
    }
    read->list = list;
}

} // namespace

int ReadImageResourceSize(RARIvoSession* session, plat::DBHANDLE db, const char* name, std::uint16_t* width,
                          std::uint16_t* height) {
    if (session == nullptr || name == nullptr || name[0] == '\0') return 0;
    std::string lookup(name);
    std::size_t cut = lookup.find('?');
    if (cut == std::string::npos) cut = lookup.find('!');
    if (cut != std::string::npos) lookup.resize(cut);
    plat::NOTEID id = 0;
    if (plat::FindDesignNote(db, lookup.c_str(), plat::NOTE_CLASS_FORM, &id) != plat::NOERROR || id == 0) return 0;
    if (width == nullptr || height == nullptr) return 1;
    plat::NOTEHANDLE note = 0;
    if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) return 1;
    {
        ZervaRTItem item(session);
        if (item.ConnectBackend(note, "$ImageData", 0) == 0 && item.connected != 0) {
            std::unique_ptr<ZervaRTChunk> chunk(item.DefineChunk("Graphic 1"));
            if (chunk != nullptr) {
                const auto measure = [&](const char* property) {
                    const double value = chunk->GetPropertyNumber(property);
                    return value > 0 && value < 65536 ? static_cast<std::uint16_t>(value) : std::uint16_t{0};
                };
                if (*width == 0) *width = measure("GraphicWidth");
                if (*height == 0) *height = measure("GraphicHeight");
            }
        }
    }
    plat::NoteClose(note);
    return 1;
}

STATUS CopyItemGraphic(BuildContext* context, HTMLImportContext* import, const ImageRequest& request,
                       bool* copied) {
    *copied = false;
    const std::string& source = request.source;
    ZervaRTItem* item = context->output.item;
    ReadItem read(context->session);
    const ItemRecordList* list = nullptr;
    std::string listItemName;

    const std::size_t marker = FindNoCaseIn(source, "/0/");
    const bool named = FindNoCaseIn(source, import->basePath) != std::string::npos && marker != std::string::npos &&
                       marker + kItemAfterMarker - 1 < source.size() && source[marker + kItemAfterMarker - 1] == '/';
    if (named) {
        const std::string unidText = source.substr(marker + kNoteIdAfterMarker, kUnidDigits);
        const std::size_t nameStart = marker + kItemAfterMarker;
        const std::size_t nameEnd = std::min(source.find('/', nameStart), source.size());
        listItemName = source.substr(nameStart, std::min(nameEnd - nameStart, kItemNameChars));
        const bool self = EqualNoCase(unidText, NoteUnidText(item->noteHandle)) && item->itemName != nullptr &&
                          EqualNoCase(listItemName, item->itemName);
        if (self && import->sourceAuxiliary != nullptr) {
            list = static_cast<const ItemRecordList*>(import->sourceAuxiliary);
        } else {
            plat::UNID unid;
            plat::NOTEHANDLE note = self ? item->noteHandle : 0;
            if (!self && ParseUnidText(unidText.c_str(), unidText.size(), &unid) &&
                plat::NoteOpenByUNID(item->databaseHandle, &unid, plat::OPEN_NOTE_DEFAULT, &note) == plat::NOERROR)
                read.ownedNote = note;
            if (note != 0) ReadNamedItem(&read, note, listItemName);
            list = read.list;
        }
    }
    if (list == nullptr && import->sourceAuxiliary != nullptr) {
        list = static_cast<const ItemRecordList*>(import->sourceAuxiliary);
        listItemName = list->itemName != nullptr ? list->itemName : "";
    }
    if (Tracing()) plat::LogLine(0, "Looking for graphic record #1");
    const CDRecordNode* match = MatchGraphic(list, listItemName.c_str(), source);
    if (match == nullptr) return kOK;
    if (Tracing())
        plat::LogLine(0, "Looking for graphic record #2 width=%ld height=%ld", static_cast<long>(request.width),
                      static_cast<long>(request.height));
    *copied = true;
    std::vector<CopiedRecord> records = GraphicRecords(match, request, import);
    for (CopiedRecord& record : records) {
        const STATUS status = AppendRecord(Bytes(&record), record.signature, record.length, &context->output);
        if (status != kOK) return status;
    }
    if (Tracing()) plat::LogLine(0, "Looking for graphic record #4");
    return kOK;
}

} // namespace talix
