// Image data between graphic records, image-resource design notes and
// files.
#include "builders/image_resource.h"

#include <sys/stat.h>

#include <cstring>
#include <vector>

#include <cstdio>

#include "core/base64.h"
#include "core/folder_file.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/view_lookup.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc3";
constexpr const char* kImageDataItem = "$ImageData";
constexpr const char* kImageResourceFlags = "34CiQP";
constexpr std::uint32_t kEncodedSlack = 512;
// Pictures and icons written to disk are read by whoever shows the page
// beside them: they get the permissions the process's umask leaves, as the
// page and the extracted attachments do, not the owner's alone.
constexpr mode_t kPictureFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

bool IsImagePart(std::uint16_t signature) {
    return signature == kSigGraphic || signature == kSigImageHeader || signature == kSigImageSegment;
}

// The first image header at or after the node that an image segment
// follows, or null.
const CDRecordNode* FindImageHeader(const CDRecordNode* node) {
    for (; node != nullptr; node = node->next) {
        if (node->signature == kSigImageHeader && node->next != nullptr &&
            node->next->signature == kSigImageSegment)
            return node;
    }
    return nullptr;
}

// The data bytes of an image segment node, never past the node's end.
std::uint32_t SegmentData(const CDRecordNode* node, const std::uint8_t** data) {
    if (node->bytes == nullptr || node->length < kImageSegmentFixedLength) return 0;
    std::uint32_t size = ReadWord(node->bytes + 8);
    if (size > node->length - kImageSegmentFixedLength) size = node->length - kImageSegmentFixedLength;
    *data = node->bytes + kImageSegmentFixedLength;
    return size;
}

// Writes the data of the image segments after the header to a new file
// (readable and writable as the umask allows). A file that cannot be
// written whole is removed.
// Returns false on failure.
bool WriteSegmentsToFile(const char* filePath, const CDRecordNode* header) {
    FolderFile file;
    if (!file.Create(filePath, kPictureFileMode)) return false;
    for (const CDRecordNode* node = header->next; node != nullptr && node->signature == kSigImageSegment;
         node = node->next) {
        const std::uint8_t* data = nullptr;
        const std::uint32_t size = SegmentData(node, &data);
        if (size > 0 && !file.Write(data, size)) return false;
    }
    return file.Finish();
}

// The records of an image resource read through a temporary item: the item
// is connected to the "$ImageData" of the note and its records read.
class ResourceRecords {
public:
    explicit ResourceRecords(RARIvoSession* session) : item_(session) {}
    ~ResourceRecords() {
        if (list_ != nullptr) {
            DeleteItemRecordList(item_.session, list_);
        }
    }
    ResourceRecords(const ResourceRecords&) = delete;
    ResourceRecords& operator=(const ResourceRecords&) = delete;

    ZervaRTItem& item() { return item_; }
    // Reads the connected item's records. Returns 0 or the failure.
    STATUS Read() {
        STATUS status = kOK;
        list_ = SIAR(&item_, 0, nullptr, 0, 0, 0, nullptr, &status);
        if (list_ == nullptr && status == kOK) status = kArgumentError;
        return status;
    }
    const CDRecordNode* Header() const { return list_ != nullptr ? FindImageHeader(list_->head) : nullptr; }

private:
    ZervaRTItem item_;
    ItemRecordList* list_ = nullptr;
};

// Opens the image resource of the name in the database and reads its
// records; the note is closed by the caller. Returns 0 or the failure.
STATUS ReadResource(plat::DBHANDLE db, const char* name, ResourceRecords* records, plat::NOTEHANDLE* note) {
    plat::NOTEID id = 0;
    STATUS status = plat::FindDesignNote(db, name, plat::NOTE_CLASS_FORM, &id);
    if (status != plat::NOERROR) return status;
    status = plat::NoteOpen(db, id, 0, note);
    if (status != plat::NOERROR) return status;
    status = records->item().ConnectBackend(*note, kImageDataItem, 0);
    if (status == kOK && records->item().connected == 0) status = kItemNotFound;
    if (status == kOK) status = records->Read();
    return status;
}

STATUS SetText(plat::NOTEHANDLE note, const char* item, const char* text) {
    return plat::ItemSetText(note, item, text, static_cast<plat::WORD>(::strnlen(text, 0xFFFF)));
}

STATUS SetNumber(plat::NOTEHANDLE note, const char* item, double value) {
    const plat::NUMBER number = value;
    return plat::ItemSetNumber(note, item, &number);
}

// Writes the graphic's records from the node on as "$ImageData" items of
// the note, the graphic record without its destination size and resize
// word.
STATUS WriteImageData(RARIvoSession* session, plat::NOTEHANDLE note, const CDRecordNode* graphic) {
    std::vector<CDRecordNode> nodes;
    for (const CDRecordNode* node = graphic; node != nullptr && IsImagePart(node->signature); node = node->next) {
        CDRecordNode copy;
        copy.signature = node->signature;
        copy.length = node->length;
        copy.bytes = node->bytes;
        nodes.push_back(copy);
    }
    std::vector<std::uint8_t> graphicCopy(graphic->bytes, graphic->bytes + EvenLength(graphic->length));
    WriteWord(graphicCopy.data() + 8, 0);
    WriteWord(graphicCopy.data() + 10, 0);
    WriteWord(graphicCopy.data() + 24, 0);
    nodes[0].bytes = graphicCopy.data();
    for (std::size_t i = 0; i + 1 < nodes.size(); ++i) nodes[i].next = &nodes[i + 1];

    ItemRecordList list;
    list.note = note;
    list.itemName = kImageDataItem;
    list.head = &nodes[0];
    list.tail = &nodes.back();
    ZervaRTItem converter(session);
    return WriteItemRecords(&list, &converter);
}

} // namespace

plat::DBHANDLE OpenImageResourceDatabase(plat::DBHANDLE own, bool hasPath, const plat::DBID& replica, bool* opened) {
    // Special database ids of image resources that live outside the item's
    // database: the low word of the reference's replica id.
    constexpr std::uint32_t kMailDatabase = 0x0E00, kAddressBook = 0x0E01, kHeadlines = 0x0E02, kBookmarks = 0x0E03;
    *opened = false;
    if (hasPath || (replica.Innards[0] == 0 && replica.Innards[1] == 0)) return own;
    std::string path;
    switch (replica.Innards[0] & 0xFFFF) {
    case kMailDatabase: {
        char server[257] = {}, file[257] = {};
        plat::IniGetText("MailServer", server, sizeof server);
        plat::IniGetText("MailFile", file, sizeof file);
        path = server[0] == '\0' ? std::string(file) : std::string(server) + "!!" + file;
        break;
    }
    case kAddressBook: path = "names.nsf"; break;
    case kHeadlines: path = "Headline.nsf"; break;
    case kBookmarks: path = "bookmark.nsf"; break;
    default: {
        char name[64];
        std::snprintf(name, sizeof name, "__%.8X%.8X.nsf", replica.Innards[1], replica.Innards[0]);
        path = name;
        break;
    }
    }
    plat::DBHANDLE handle = 0;
    if (plat::DbOpen(path.c_str(), &handle) != plat::NOERROR) return 0;
    *opened = true;
    return handle;
}

const char* ImageResourceType(std::string_view name) {
    if (EndsWithNoCase(name, ".bmp") || EndsWithNoCase(name, ".svg")) return nullptr;
    if (EndsWithNoCase(name, ".jpg") || EndsWithNoCase(name, ".jpeg")) return "jpeg";
    if (EndsWithNoCase(name, ".png")) return "png";
    return "gif";
}

STATUS SaveGraphicAsImageResource(RARIvoSession* session, const char* name, const CDRecordNode* graphic,
                                  plat::DBHANDLE db, int replace) {
    if (session == nullptr || name == nullptr || name[0] == '\0' || db == 0) return kArgumentError;
    // A graphic record of its full length, then an image header and a segment.
    if (graphic == nullptr || graphic->signature != kSigGraphic || graphic->bytes == nullptr || graphic->length < 32 ||
        graphic->next == nullptr || graphic->next->signature != kSigImageHeader || graphic->next->next == nullptr ||
        graphic->next->next->signature != kSigImageSegment)
        return kArgumentError;

    plat::NOTEID existing = 0;
    if (plat::FindDesignNote(db, name, plat::NOTE_CLASS_FORM, &existing) != plat::NOERROR) existing = 0;
    if (existing != 0 && replace == 0) return kOK;

    plat::NOTEHANDLE note = 0;
    STATUS status = plat::NoteCreate(db, &note);
    if (status != plat::NOERROR) return status;
    status = SetText(note, "$TITLE", name);
    if (status == kOK) status = SetText(note, "$ImageNames", name);
    if (status == kOK) status = SetText(note, "$Flags", kImageResourceFlags);
    if (status == kOK) status = SetNumber(note, "$ImagesWide", 1.0);
    if (status == kOK) status = SetNumber(note, "$ImagesHigh", 1.0);
    if (status == kOK) status = SetNumber(note, "$ImagesColorize", 0.0);
    if (status == kOK) status = WriteImageData(session, note, graphic);
    const plat::WORD noteClass = plat::NOTE_CLASS_FORM;
    if (status == kOK) status = plat::NoteSetInfo(note, plat::NOTE_FIELD_CLASS, &noteClass);
    if (status == kOK) status = plat::NoteUpdate(note, 0);
    plat::NoteClose(note);
    if (status != kOK) return status;

    // The old resource goes only once the new one is stored.
    if (existing != 0) status = plat::NoteDelete(db, existing, 0);
    RefreshDesignCollection(db);
    return status;
}

std::uint32_t MeasureImageResourceBase64(RARIvoSession* session, plat::DBHANDLE db, const char* name, int lfOnly,
                                         int lineBreak) {
    if (session == nullptr || name == nullptr) return 0;
    std::uint32_t length = 0;
    plat::NOTEHANDLE note = 0;
    {
        ResourceRecords records(session);
        if (ReadResource(db, name, &records, &note) == kOK) {
            if (const CDRecordNode* header = records.Header()) length = Base64ImageLength(header, lfOnly, lineBreak);
        }
    }
    if (note != 0) plat::NoteClose(note);
    return length;
}

STATUS EncodeImageResourceBase64(RARIvoSession* session, plat::DBHANDLE db, const char* name, std::uint32_t* length,
                                 char** text, int lfOnly, int lineBreak) {
    if (length != nullptr) *length = 0;
    if (text != nullptr) *text = nullptr;
    if (session == nullptr || name == nullptr || length == nullptr || text == nullptr) return kArgumentError;
    plat::NOTEHANDLE note = 0;
    STATUS status = kOK;
    {
        ResourceRecords records(session);
        status = ReadResource(db, name, &records, &note);
        const CDRecordNode* header = status == kOK ? records.Header() : nullptr;
        if (status == kOK && header == nullptr) status = kArgumentError;
        if (status == kOK) {
            const std::uint32_t measured = Base64ImageLength(header, lfOnly, lineBreak);
            const std::uint32_t capacity = measured + kEncodedSlack;
            auto* out = static_cast<char*>(QuorbelAllocate(session, __LINE__, kSourceName, capacity, 1));
            if (out == nullptr) {
                status = kOutOfMemory;
            } else {
                const std::uint32_t written = EncodeImageBase64(out, capacity, header, nullptr, lfOnly, lineBreak);
                if (written == 0 && measured != 0) {
                    ZervaDeallocate(session, out);
                    status = kArgumentError;
                } else {
                    *text = out;
                    *length = written;
                }
            }
        }
    }
    if (note != 0) plat::NoteClose(note);
    return status;
}

STATUS WriteImageResourceFile(RARIvoSession* session, const char* server, const char* database, const char* name,
                              const char* filePath) {
    if (session == nullptr || name == nullptr || filePath == nullptr) return kArgumentError;
    ResourceRecords records(session);
    STATUS status = records.item().ConnectImageResource(server, database, name, nullptr);
    if (status != kOK) return status;
    if (records.item().connected == 0) return kItemNotFound;
    status = records.Read();
    if (status != kOK) return status;
    const CDRecordNode* header = records.Header();
    if (header == nullptr) return kArgumentError;
    return WriteSegmentsToFile(filePath, header) ? kOK : kNoHtmlInput;
}

STATUS WriteImageSegmentsToFile(const char* filePath, const CDRecordNode* node) {
    if (filePath == nullptr) return kArgumentError;
    for (; node != nullptr; node = node->next) {
        const std::uint16_t signature = node->signature;
        if (signature == kSigParagraph || signature == kSigPabReference || signature == kSigText)
            return kArgumentError;
        if (signature == kSigImageHeader || signature == kSigBitmapHeader) break;
    }
    if (node == nullptr || node->signature != kSigImageHeader || node->next == nullptr ||
        node->next->signature != kSigImageSegment)
        return kArgumentError;
    return WriteSegmentsToFile(filePath, node) ? kOK : kArgumentError;
}

STATUS WriteBufferToFile(const char* filePath, const void* buffer, std::uint32_t length) {
    if (filePath == nullptr || (buffer == nullptr && length > 0)) return kArgumentError;
    FolderFile file;
    const bool written = file.Create(filePath, kPictureFileMode) && (length == 0 || file.Write(buffer, length)) &&
                         file.Finish();
    return written ? kOK : kArgumentError;
}

} // namespace talix
