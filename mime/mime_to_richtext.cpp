// Reading a note's MIME parts back into rich text: the text/html body is
// decoded into HTML, GIF and JPEG parts are listed for the "cid:" images,
// the HTML is parsed once to learn whether it can be imported, the
// message's files are attached to the note (all of them, or the conversion
// stops with the items kept), and then the MIME items give way to a
// rich-text item into which the HTML is imported, as the HTML of mail.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "builders/build_context.h"
#include "core/chunk_work_state.h"
#include "core/debug_level.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/kept_items.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_options.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/marked_files.h"
#include "mime/mime_reading.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint16_t kParseOnly = 1;

// What the conversion holds until it returns.
struct Conversion {
    char* text = nullptr;
    std::uint32_t length = 0;
    MIMEInlineImage* images = nullptr;
    ~Conversion() {
        std::free(text);
        FreeInlineImages(images);
    }
};

void RemoveNulBytes(Conversion* conversion) {
    std::uint32_t kept = 0;
    for (std::uint32_t at = 0; at < conversion->length; ++at)
        if (conversion->text[at] != '\0') conversion->text[kept++] = conversion->text[at];
    conversion->length = kept;
    if (conversion->text != nullptr) conversion->text[kept] = '\0';
}

// The conversion's failure: the message, and the failing step's status as
// the item's last status, for the caller to say why.
std::uint16_t Unable(ZervaRTItem* item, STATUS status) {
    item->lastStatus = status;
    item->ownError = kErrConversion;
    RARIvoSession* session = item->session;
    std::snprintf(session->messageBuffer, sizeof session->messageBuffer, "%s", "Talix: Unable to convert from named MIME field");
    ShowHostMessage(session->messageBuffer);
    return kOK;
}

// The HTML is not imported (rendering skipped, or nested too deeply): the
// item is left as it is, its status says why.
std::uint16_t Refused(ZervaRTItem* item, STATUS status) {
    item->connected = 0;
    return status;
}

// The import options: the caller's, with the character set the body
// reading found when the caller names none, so that the parse reads the
// text in the set it is in.
std::string ImportOptions(const char* options) {
    std::string composed = options != nullptr ? options : "";
    char value[64];
    if (GetOptionValue(composed.c_str(), "Charset=", value, sizeof value) == 0 &&
        GetOptionValue(composed.c_str(), "CharEncoding=", value, sizeof value) == 0 && MIMECharsetText()[0] != '\0') {
        if (!composed.empty()) composed.push_back(' ');
        composed.append(MIMECharsetText());
    }
    return composed;
}

// The parse of the HTML alone, in contexts of its own: 0 when it can be
// imported.
STATUS TrialParse(RARIvoSession* session, const Conversion& conversion, const std::string& options) {
    std::unique_ptr<BuildContext> context(new (std::nothrow) BuildContext());
    std::unique_ptr<HTMLImportContext> import(new (std::nothrow) HTMLImportContext());
    if (context == nullptr || import == nullptr) return kOutOfMemory;
    context->session = session;
    const STATUS status =
        ImportHTMLText(conversion.text, conversion.length, options.c_str(), context.get(), import.get(), kParseOnly);
    ReleaseImportContext(import.get(), context.get());
    return status;
}

// Drops what a conversion made of the item: its chunk, its records and
// its connection.
void Disconnect(ZervaRTItem* item) {
    delete item->defaultChunk;
    item->defaultChunk = nullptr;
    DropRecordLists(item);
    item->connected = 0;
}

// Replaces the item by a blank rich-text item and imports the HTML into
// it, as the HTML of mail, with the message's pictures. Returns 0, or why
// the item does not hold the whole message.
STATUS ImportIntoBlankItem(ZervaRTItem* item, Conversion* conversion, const std::string& options) {
    STATUS status = item->CreateBlankRichTextItem();
    if (status != kOK) return status;
    item->connected = 1;
    item->InitialFontTable();
    status = ResetDefaultChunk(item);
    ZervaRTChunk* chunk = item->defaultChunk;
    if (status != kOK || chunk == nullptr || chunk->work == nullptr) return status != kOK ? status : kOutOfMemory;
    FreeInlineImages(chunk->work->inlineImages);
    chunk->work->inlineImages = conversion->images;
    conversion->images = nullptr;
    if (conversion->length == 0) return kOK;
    chunk->work->htmlFromMail = 1;
    status = chunk->AppendHTML("IN", conversion->text, options.c_str());
    chunk->work->htmlFromMail = 0;
    // An import that met a failure it recorded answers 0 with an error word.
    if (status == kOK && chunk->errorWord != 0) status = kOperationFailed;
    return status;
}

// What a conversion changed in the note so far, to give back when it
// cannot finish: the files it attached, and the items it replaced.
struct Changes {
    MIMEFileParts files;
    std::vector<KeptItem> kept;
    bool replaced = false;
};

// The conversion ends without converting: the item is disconnected, the
// items it replaced are back as they were and the files it attached are
// taken back.
std::uint16_t GiveBack(ZervaRTItem* item, const Changes& changes, STATUS status) {
    Disconnect(item);
    if (changes.replaced) RestoreItems(item->noteHandle, item->itemName, changes.kept);
    RemoveMIMEAttachments(item->noteHandle, changes.files);
    return Unable(item, status);
}

std::uint16_t Convert(ZervaRTItem* item, const char* name, const char* options, Changes* changes) {
    plat::NOTEHANDLE note = item->noteHandle;
    Conversion conversion;
    const STATUS body = ImportMIMEHTMLBody(note, name, "text/html", &conversion.text, &conversion.length);
    if (body != kOK) return Unable(item, body);
    RemoveNulBytes(&conversion);
    const std::string_view html(conversion.text != nullptr ? conversion.text : "", conversion.length);
    STATUS imageStatus = kOK;
    conversion.images = ImportMIMEImages(note, name, html, &imageStatus, item->session);

    const std::string importOptions = ImportOptions(options);
    if (conversion.length == 0) {
        if (imageStatus != kOK) return Unable(item, imageStatus);
    } else {
        if (imageStatus == kRenderingSkipped) return Refused(item, kRenderingSkipped);
        const STATUS parsed = TrialParse(item->session, conversion, importOptions);
        if (parsed == kRenderingSkipped || parsed == kHtmlPastBound) return Refused(item, parsed);
        if (parsed != kOK) return Unable(item, parsed == kOutOfMemory ? kOutOfMemory : kOperationFailed);
    }

    // The items replaced are the item's own: their files go to the note
    // first, every one or none.
    const bool sameItems = name != nullptr && item->itemName != nullptr && EqualNoCase(name, item->itemName);
    const STATUS attached = ImportMIMEAttachments(note, item->itemName, sameItems, html, &changes->files);
    if (attached != kOK) return Unable(item, attached);
    // The items are taken out of the note, kept to be put back should the
    // import not finish; the blank item takes their place.
    STATUS status = TakeItems(note, item->itemName, &changes->kept);
    if (status != kOK) return GiveBack(item, *changes, status);
    changes->replaced = true;
    {
        // The markers of the note's own files name them by their file names;
        // the parts say which attachment holds each.
        std::vector<MarkedFile> marked;
        for (const auto& [file, stored] : changes->files.ownFiles) marked.push_back({file, stored});
        const MarkedFilesScope scope(std::move(marked));
        status = ImportIntoBlankItem(item, &conversion, importOptions);
    }
    if (status != kOK) return GiveBack(item, *changes, status);
    RemoveMIMEBodyFiles(note, changes->files);
    item->work->messageFiles = changes->files.attached;
    return kOK;
}

} // namespace

} // namespace talix

using namespace talix;

std::uint16_t ZervaRTItem::ConvertFromMIMEBackend(std::uint32_t noteHandleArgument, const char* name,
                                                  const char* options, std::uint16_t optionsLength,
                                                  const char* unused, std::uint16_t unusedLength) {
    (void)noteHandleArgument;
    (void)optionsLength;
    (void)unused;
    (void)unusedLength;
    if (work == nullptr || session == nullptr) return kOutOfMemory;
    // Without a name there is no message to read, and the item's own items
    // would give way to an empty body.
    if (name == nullptr || name[0] == '\0') {
        lastStatus = kArgumentError;
        return kArgumentError;
    }
    SetDebugLevelFromSetting("MirratDebug");
    if (defaultChunk != nullptr) {
        ZervaRTChunk* chunk = defaultChunk;
        defaultChunk = nullptr;
        delete chunk;
    }
    work->mode = 0;
    work->messageFiles.clear();
    ClearMIMECharsetText();
    ClearMimeFilePartFailure();
    Changes changes;
    try {
        return Convert(this, name, options, &changes);
    } catch (const std::bad_alloc&) {
        // Memory ran out outside the import's own steps (which answer 263).
        return GiveBack(this, changes, kOutOfMemory);
    }
}
