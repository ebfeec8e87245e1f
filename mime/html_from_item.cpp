// ZervaRTItem::ConvertFromHTMLBackend: an item rebuilt from the HTML that
// another item of its note holds (the field a web editor keeps its HTML
// in), with the style sheet of a file resource of the database.
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/chunk_work_state.h"
#include "core/debug_level.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "core/thread_state.h"
#include "core/walkers.h"
#include "mime/html_from_item.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr const char* kDefaultStyleSheet = "fck_editorarea.css";
constexpr const char* kFileDataItem = "$FileData";
// The composed option text must fit a 4,096-byte text with its terminator.
constexpr std::size_t kComposedOptionsLimit = 4095;

bool Tracing() { return g_debugLevel > 2; }

// The style sheet a file resource of the item's database holds, with every
// NUL, CR, LF and TAB made a blank; empty when the options name none
// ("UseCSSFile=" empty) or the resource cannot be read.
std::string ReadStyleSheet(ZervaRTItem* item, const char* options) {
    char name[RARIvoSession::kOptionValueCapacity] = {};
    const bool named = GetOptionValue(options, "UseCSSFile=", name, sizeof name) != 0;
    if (!named) std::strcpy(name, kDefaultStyleSheet);
    if (name[0] == '\0') return "";
    std::string sheet;
    const KeptItemSwitches kept;
    const std::uint16_t suppressed = ThisThread().suppressMessages;
    ZervaRTItem resource(item->session);
    // A database without the default style sheet is the common case, not
    // worth a message; one the options name is reported when it is missing.
    ThisThread().suppressMessages = named ? suppressed : 1;
    if (resource.ConnectFileResource(item->server, item->databasePath, name, nullptr) != kOK ||
        resource.connected == 0)
        return sheet;
    char* text = nullptr;
    std::uint32_t length = 0;
    if (MeasureItemContent(resource.noteHandle, kFileDataItem, &text, &length, 0, 1) == kOK && text != nullptr) {
        sheet.assign(text, length);
        for (char& c : sheet) {
            if (c == '\0' || c == '\r' || c == '\n' || c == '\t') c = ' ';
        }
    }
    std::free(text);
    return sheet;
}

// The records of the item of another name in the item's note, read by an
// item of their own; null when that item cannot be connected or read.
ItemRecordList* ReadNamedRecords(ZervaRTItem* reader, ZervaRTItem* item, const char* name) {
    reader->ConnectBackendInternal(item, name);
    if (reader->connected == 0) return nullptr;
    STATUS status = kOK;
    ItemRecordList* list = SIAR(reader, 0, nullptr, 1, 0, 0, nullptr, &status);
    if (list != nullptr && status != kOK) {
        DeleteItemRecordList(item->session, list);
        return nullptr;
    }
    return list;
}

} // namespace

namespace talix {

bool ComposeHTMLImportOptions(const char* options, std::uint16_t optionsLength, const char* prefix,
                              std::uint16_t prefixLength, std::string* composed) {
    if (prefix == nullptr || prefixLength == 0) {
        composed->assign(options != nullptr ? options : "");
        return true;
    }
    const std::string keyword = "LocalResourcePrefix='" + std::string(prefix, ::strnlen(prefix, prefixLength)) + "'";
    if (options == nullptr) {
        *composed = keyword;
    } else {
        const std::size_t length = optionsLength != 0 ? ::strnlen(options, optionsLength) : std::strlen(options);
        *composed = std::string(options, length) + " " + keyword;
    }
    return composed->size() <= kComposedOptionsLimit;
}

} // namespace talix

std::uint16_t ZervaRTItem::ConvertFromHTMLBackend(std::uint32_t, const char* sourceItemName, const char* options,
                                                  std::uint16_t optionsLength, const char* prefix,
                                                  std::uint16_t prefixLength) {
    SetDebugLevelFromSetting("MirratDebug");
    if (!ItemReady(this) || session == nullptr || noteHandle == 0 || itemName == nullptr) return kOperationFailed;
    std::string importOptions;
    if (!ComposeHTMLImportOptions(options, optionsLength, prefix, prefixLength, &importOptions)) return kArgumentError;
    std::string styleSheet = ReadStyleSheet(this, options);

    // The source's records and the item's own as they are, each read by an
    // item of its own; the item itself is untouched until both are read.
    const KeptItemSwitches kept;
    ZervaRTItem sourceReader(session);
    ZervaRTItem ownReader(session);
    ItemRecordList* source = ReadNamedRecords(&sourceReader, this, sourceItemName);
    ItemRecordList* beside = source != nullptr ? ReadNamedRecords(&ownReader, this, itemName) : nullptr;
    if (source == nullptr || beside == nullptr) {
        if (source != nullptr) DeleteItemRecordList(session, source);
        return kOperationFailed;
    }

    delete defaultChunk;
    DropRecordLists(this);
    if (Tracing()) plat::LogLine(0, "Debug CvtFromHtmlBckEnd: #4 Before CreateBlankRichTextItem");
    STATUS status = CreateBlankRichTextItem();
    if (Tracing()) plat::LogLine(0, "Debug CvtFromHtmlBckEnd: #5 After CreateBlankRichTextItem");
    if (status == kOK) status = ResetDefaultChunk(this);
    if (status == kOK) {
        defaultChunk->errorWord = 0;
        work->htmlSource = source;
        work->htmlSourceBeside = beside;
        if (Tracing()) plat::LogLine(0, "Debug CvtFromHtmlBckEnd: #6 Before AppendHTML(BodyContext)");
        ChunkWorkState* chunkWork = defaultChunk->work;
        chunkWork->styleSheetText = styleSheet.empty() ? nullptr : styleSheet.data();
        chunkWork->styleSheetLength = static_cast<std::uint32_t>(styleSheet.size());
        defaultChunk->AppendHTML("BodyContext", nullptr, importOptions.c_str());
        chunkWork->styleSheetText = nullptr;
        chunkWork->styleSheetLength = 0;
        status = defaultChunk->errorWord;
    }
    if (Tracing()) plat::LogLine(0, "Debug CvtFromHtmlBckEnd: #7 Before ReleaseItems");
    work->htmlSource = nullptr;
    work->htmlSourceBeside = nullptr;
    DeleteItemRecordList(session, source);
    DeleteItemRecordList(session, beside);
    return status;
}
