// The chunk methods that bring rich text in from elsewhere: a chunk or a
// whole item of another note, the body of a design element, a converted
// file, HTML and graphics; and the export of a chunk's graphic to a file.
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "builders/graphic_records.h"
#include "chunkops/chunk_frame.h"
#include "core/attachments.h"
#include "core/chunk_setup.h"
#include "core/chunk_work_state.h"
#include "core/database_open.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// What operation 37 is told about the copy that follows it.
constexpr std::uint16_t kBaseForDesignBody = 2, kBaseForImport = 3, kBaseForItem = 5;

// The kinds of graphic of operation 2438.
constexpr std::uint16_t kPictureAttachment = 1, kPictureURL = 2;

// The longest attachment name, and the numbered names tried in turn.
constexpr std::size_t kLongestAttachmentName = 255;
constexpr int kNumberedNames = 1000;

std::uint16_t& ParagraphIdBase(ZervaRTChunk* chunk) { return chunk->session->workArea->copy.paragraphIdBase; }

// The attachments of the chunk's note before a copy from elsewhere, so that
// those a failed copy carried in are taken out again: the note would
// otherwise keep files no record names.
class AttachmentsBefore {
public:
    explicit AttachmentsBefore(ZervaRTChunk* chunk) : note_(chunk->item->noteHandle) {
        std::vector<NoteAttachment> before;
        listed_ = ListAttachments(note_, &before) == kOK;
        for (const NoteAttachment& held : before) before_.push_back(held.objectId);
        std::sort(before_.begin(), before_.end());
    }
    void TakeBackOnFailure(STATUS status) const {
        std::vector<NoteAttachment> now, added;
        if (status == kOK || !listed_ || ListAttachments(note_, &now) != kOK) return;
        for (const NoteAttachment& attachment : now) {
            const bool old = std::binary_search(before_.begin(), before_.end(), attachment.objectId);
            // OLE objects stay: one written over the note's own of its name
            // cannot be taken back.
            if (!old && attachment.hostType != kHostTypeOleObject) added.push_back(attachment);
        }
        // Their database objects were made for the copy and named by no
        // stored note.
        DetachAttachments(note_, added, true);
    }

private:
    plat::NOTEHANDLE note_;
    std::vector<decltype(NoteAttachment::objectId)> before_;   // the object ids held before, in order
    bool listed_ = false;
};

// The frame around a copy: operation 37 first (its failure does not stop
// the copy), then the copy with the paragraph-id base it left.
STATUS CopyAfterBase(ZervaRTChunk* chunk, std::uint16_t baseFor, std::uint16_t operation, const char* argument,
                     const char* second, ZervaRTChunk* source) {
    RunChunkOperation(chunk, kOpCopyPrologue, baseFor);
    return RunChunkOperation(chunk, operation, ParagraphIdBase(chunk), 0, 0, 0, argument, second, source);
}

STATUS AppendDesignBody(ZervaRTChunk* chunk, std::uint16_t operation, const char* name) {
    if (name == nullptr) return kOK;
    if (!ChunkUsable(chunk)) return Refuse(chunk, kArgumentError);
    const AttachmentsBefore attachments(chunk);
    const STATUS status = CopyAfterBase(chunk, kBaseForDesignBody, operation, name, nullptr, chunk);
    attachments.TakeBackOnFailure(status);
    return status;
}

// The name a file is attached under: its name after the last "\" (or,
// without one, the last "/"), at most 255 bytes of whole characters. The
// path is the file system's; the note keeps the name in the platform's
// character set.
std::string AttachmentNameOf(const char* path) {
    const char* name = std::strrchr(path, '\\');
    if (name == nullptr) name = std::strrchr(path, '/');
    name = name != nullptr ? name + 1 : path;
    const std::string stored = plat::NativeToLmbcs(name);
    std::size_t kept = 0;
    while (kept < stored.size()) {
        const std::size_t length = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(stored.data() + kept),
                                                         static_cast<plat::DWORD>(stored.size() - kept));
        const std::size_t next = kept + (length == 0 ? 1 : length);
        if (next > kLongestAttachmentName) break;
        kept = next;
    }
    return stored.substr(0, kept);
}

bool NoteHoldsAttachment(plat::NOTEHANDLE note, const std::string& name) {
    char stored[kLongestAttachmentName + 1];
    return GetAttachmentStoredName(note, name.c_str(), stored, sizeof stored) == kOK;
}

// A name for the file that the note does not hold yet: its own, else the
// first free "Att<n><extension>" for n from 0 to 999. False when all are
// taken.
bool FreeAttachmentName(plat::NOTEHANDLE note, const char* path, std::string* name) {
    *name = AttachmentNameOf(path);
    if (!NoteHoldsAttachment(note, *name)) return true;
    const std::size_t dot = name->rfind('.');
    const std::string extension = dot != std::string::npos ? name->substr(dot) : std::string();
    for (int n = 0; n < kNumberedNames; ++n) {
        char numbered[kLongestAttachmentName + 16];
        std::snprintf(numbered, sizeof numbered, "Att%d%s", n, extension.c_str());
        *name = std::string(numbered, strnlen(numbered, kLongestAttachmentName));
        if (!NoteHoldsAttachment(note, *name)) return true;
    }
    return false;
}

// The attachment of that name taken out of the note again.
void DetachByName(plat::NOTEHANDLE note, const std::string& name) {
    plat::BLOCKID block;
    if (FindAttachmentItem(note, name.c_str(), &block, 0) == kOK) plat::NoteDetachFile(note, block);
}

// The options of an attached picture: the caller's, with the picture's own
// width and height from its file where they give none.
std::string WithPictureSize(const char* path, const char* options) {
    std::string composed = options != nullptr ? options : "";
    char value[16];
    const bool width = GetOptionValue(options, "ImageWidth=", value, sizeof value) != 0;
    const bool height = GetOptionValue(options, "ImageHeight=", value, sizeof value) != 0;
    std::uint16_t pixelsWide = 0, pixelsHigh = 0;
    if ((width && height) || !PictureFilePixelSize(path, &pixelsWide, &pixelsHigh)) return composed;
    if (!width) composed += " ImageWidth=" + std::to_string(pixelsWide);
    if (!height) composed += " ImageHeight=" + std::to_string(pixelsHigh);
    return composed;
}

// A file attached to the note and shown as a picture. Nothing is left
// attached when the picture cannot be appended.
STATUS AppendAttachedPicture(ZervaRTChunk* chunk, const char* path, const char* options) {
    const plat::NOTEHANDLE note = chunk->item->noteHandle;
    std::string name;
    if (!FreeAttachmentName(note, path, &name)) return Refuse(chunk, kArgumentError);
    const plat::STATUS attached = plat::NoteAttachFile(note, "$FILE", 5, path, name.c_str(), plat::ATTACH_DEFAULT);
    if (attached != plat::NOERROR) return Refuse(chunk, attached);
    const std::string sized = WithPictureSize(path, options);
    const STATUS status =
        RunChunkOperation(chunk, kOpAppendGraphic, kPictureAttachment, 0, 0, 0, name.c_str(), sized.c_str());
    if (status != kOK) DetachByName(note, name);
    return status;
}

} // namespace

std::uint16_t ZervaRTChunk::AppendRTChunk(const char* server, const char* database, std::uint32_t noteID,
                                          const char* itemName, const char* definition, int keepParagraphs) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    auto* sourceItem = new (std::nothrow) ZervaRTItem(session);
    if (sourceItem == nullptr) return Refuse(this, kOutOfMemory);
    STATUS status = sourceItem->Connect(server, database, noteID, itemName, 0);
    if (status != kOK) {
        delete sourceItem;
        return Refuse(this, status);
    }
    // A note without the item has nothing the definition can match; a
    // definition that does not parse is refused as the chunk's own would be.
    if (sourceItem->connected == 0) {
        delete sourceItem;
        return Refuse(this, kItemNotFound);
    }
    auto* source = new (std::nothrow) ZervaRTChunk(session, sourceItem);
    const STATUS defined = source == nullptr ? kOutOfMemory
                                             : SetChunkDefinition(source, definition != nullptr ? definition : "Everything",
                                                                  nullptr);
    if (defined != kOK) {
        delete source;
        delete sourceItem;
        return Refuse(this, defined);
    }
    work->linkRequest.kind = 0;
    SessionWorkArea* area = session->workArea;
    area->foundFirstRecord = 0;
    area->foundLastRecord = 0;
    if (keepParagraphs == 0) RunChunkOperation(this, kOpCopyPrologue, kBaseForImport);
    RunChunkOperation(source, kOpQuery);
    if (area->foundFirstRecord != 0) {
        const AttachmentsBefore attachments(this);
        const STATUS copied = RunChunkOperation(this, kOpAppendRichTextChunk, ParagraphIdBase(this),
                                                keepParagraphs != 0 ? 1 : 0, 0, 0, nullptr, nullptr, source);
        attachments.TakeBackOnFailure(copied);
    } else {
        lastStatus = kItemNotFound;
    }
    delete source;
    delete sourceItem;
    return lastStatus;
}

std::uint16_t ZervaRTChunk::AppendRTItem(const char* server, const char* database, std::uint32_t noteID,
                                         const char* itemName) {
    if (database == nullptr || database[0] == '\0' || itemName == nullptr || itemName[0] == '\0')
        return Refuse(this, kErrFormula);
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    CopyRequest& copy = session->workArea->copy;
    copy.sourceItemName = itemName;
    STATUS status = OpenDesignNote(session, server, database, noteID, nullptr, nullptr, &copy.sourceDatabase,
                                   &copy.sourceNote, item->autoDecrypt, item->decryptionKey);
    if (status == kOK) {
        if (!plat::ItemIsPresent(copy.sourceNote, itemName, static_cast<plat::WORD>(strnlen(itemName, 0xFFFF)))) {
            status = kArgumentError;
        } else {
            const AttachmentsBefore attachments(this);
            status = CopyAfterBase(this, kBaseForItem, kOpAppendRichTextItem, itemName, nullptr, nullptr);
            attachments.TakeBackOnFailure(status);
            if (status != kOK && errorWord == 0) errorWord = kErrConversion;
        }
        CloseNoteAndDatabase(copy.sourceDatabase, copy.sourceNote);
    }
    copy.sourceDatabase = 0;
    copy.sourceNote = 0;
    copy.sourceItemName = nullptr;
    lastStatus = status;
    return status;
}

std::uint16_t ZervaRTChunk::AppendSubformBody(const char* name) { return AppendDesignBody(this, kOpAppendSubformBody, name); }

std::uint16_t ZervaRTChunk::AppendPageBody(const char* name) { return AppendDesignBody(this, kOpAppendPageBody, name); }

std::uint16_t ZervaRTChunk::AppendFormBody(const char* name) { return AppendDesignBody(this, kOpAppendFormBody, name); }

std::uint16_t ZervaRTChunk::AppendImportFile(const char* path, const char* options) {
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    return CopyAfterBase(this, kBaseForImport, kOpAppendImportFile, path, options, nullptr);
}

std::uint16_t ZervaRTChunk::AppendHTML(const char* kind, const char* source, const char* options) {
    std::uint16_t htmlKind = 0;
    if (kind == nullptr || kind[0] == '\0' || CompareNamesNoCase(kind, "FILE") == 0) htmlKind = kHtmlFromFile;
    else if (CompareNamesNoCase(kind, "URL") == 0) htmlKind = kHtmlFromURL;
    else if (CompareNamesNoCase(kind, "BodyContext") == 0) htmlKind = kHtmlFromOwnItem;
    else if (CompareNamesNoCase(kind, "IN", 2) == 0) htmlKind = kHtmlFromText;
    else return Refuse(this, kArgumentError);
    if (htmlKind == kHtmlFromURL) return kOK;
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    ParagraphIdBase(this) = 0;
    return RunChunkOperation(this, kOpAppendHtml, htmlKind, 0, 0, 0, source, options);
}

std::uint16_t ZervaRTChunk::AppendGraphic(const char* kind, const char* source, const char* options) {
    const bool file = kind == nullptr || kind[0] == '\0' || CompareNamesNoCase(kind, "FILE") == 0;
    const bool url = !file && CompareNamesNoCase(kind, "URL") == 0;
    if (!file && !url) {
        if (CompareNamesNoCase(kind, "ATTACHMENT") == 0) return kOK;
        return Refuse(this, kArgumentError);
    }
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    if (source == nullptr || source[0] == '\0') return Refuse(this, kArgumentError);
    if (url) return RunChunkOperation(this, kOpAppendGraphic, kPictureURL, 0, 0, 0, source, options);

    char attach[16] = {};
    if (GetOptionValue(options, "Attach=", attach, sizeof attach) != 0 && CompareNamesNoCase(attach, "no") != 0)
        return AppendAttachedPicture(this, source, options);

    // Imported: the options are the running operation's for the run.
    SessionWorkArea* area = session->workArea;
    const char* saved = area->runningOptions;
    ParagraphIdBase(this) = 0;
    area->runningOptions = options;
    const STATUS status = RunChunkOperation(this, kOpAppendImportFile, 1, 0, 0, 1, source);
    area->runningOptions = saved;
    return status;
}

std::uint16_t ZervaRTChunk::ExportGraphic(const char* fileName, const char* format) {
    if (fileName == nullptr) return Refuse(this, kArgumentError);
    // The graphic is stored inline first; a graphic that is already, or
    // cannot be, still goes on to the export.
    RunChunkOperation(this, kOpSetGraphicStorage, kOpExportGraphic, 0, 0, 0, "inline");
    return RunChunkOperation(this, kOpExportGraphic, 0, 0, 0, 0, fileName, format);
}
