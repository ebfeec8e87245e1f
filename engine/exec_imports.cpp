// The append family's imports, written before the chunk's first record (the
// chunk's append-at-end word 0) or after its last one (the word set): a file
// attached with its hotspot (2812), a file converted into rich text (2352:
// text files, HTML files, files through an import filter, record files) and
// HTML (2448).
#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/file_hotspot.h"
#include "builders/filter_import.h"
#include "builders/record_conversion.h"
#include "core/attachments.h"
#include "core/filters.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/engine_hooks.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::size_t kLongestAttachmentName = 255;
constexpr int kLastAttachmentSuffix = 999;
constexpr std::uint32_t kDefaultLineLength = 132;
constexpr std::uint32_t kLongestLine = 32000;
constexpr std::size_t kFilterFieldSize = 256;
constexpr std::uint16_t kGraphicWrapperVersion = 1;
constexpr std::uint32_t kAltTextLength = 4;

// Kinds of AppendHTML (operation 2448's second word).
constexpr std::uint16_t kHtmlFile = 1, kHtmlText = 3, kHtmlOwnItem = 4;

// The part of a path after its last "\" or "/".
std::string LastPart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A failed import step leaves its error word for the chunk, unless one is
// already kept.
void KeepError(RecordProcessContext* context, std::uint16_t word) {
    if (context->errorWord == 0 && context->chunk->errorWord == 0) context->errorWord = word;
}

const char* Text(const char* text) { return text != nullptr ? text : ""; }

// ---- 2812: a file attachment with its hotspot --------------------------------

// The name the attachment is stored under: the display name, or, while the
// note holds an attachment of that name, the first free "Att<n><extension>".
// Empty when every name is taken.
std::string FreeAttachmentName(plat::NOTEHANDLE note, const std::string& display, const std::string& path) {
    plat::BLOCKID found;
    if (FindAttachmentItem(note, display.c_str(), &found, 0) != kOK) return display;
    const std::string last = LastPart(path);
    const std::size_t dot = last.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : last.substr(dot);
    for (int n = 0; n <= kLastAttachmentSuffix; ++n) {
        const std::string name = "Att" + std::to_string(n) + extension;
        if (FindAttachmentItem(note, name.c_str(), &found, 0) != kOK) return name;
    }
    return std::string();
}

STATUS AppendFileAttachment(RecordProcessContext* context) {
    const std::string path = Text(context->argumentText);
    if (path.empty()) return kArgumentError;
    const char* given = context->secondArgument;
    std::string display = LastPart(given != nullptr && given[0] != '\0' ? std::string(given) : path);
    if (display.size() > kLongestAttachmentName) display.resize(kLongestAttachmentName);
    if (display.empty()) return kArgumentError;
    const std::string stored = FreeAttachmentName(context->chunk->item->noteHandle, display, path);
    if (stored.empty()) return kOperationFailed;
    return AppendFileHotspot(path.c_str(), stored.c_str(), display.c_str(), context->session->workArea->runningOptions,
                             context);
}

// ---- 2352: a file converted into rich text -----------------------------------

// The lines of a text file, "LineLength=" of the type text at a time.
STATUS ImportTextFile(const std::string& path, const std::string& type, RecordProcessContext* context) {
    char value[16] = {};
    std::uint32_t lineLength = kDefaultLineLength;
    if (GetOptionValue(type.c_str(), "LineLength=", value, sizeof value) != 0) {
        const long asked = std::atol(value);
        if (asked >= 1 && asked <= static_cast<long>(kLongestLine)) lineLength = static_cast<std::uint32_t>(asked);
    }
    return AppendTextFileLines(path.c_str(), lineLength, context);
}

// The converted file of an import filter, wrapped with the alternate text
// when a graphic's options give one.
STATUS ImportFiltered(const std::string& path, const char* library, const char* filter,
                      RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    const bool graphic = context->a5 != 0;
    std::string alt;
    if (graphic) {
        std::string value(kScratchSize, '\0');
        if (GetOptionValue(context->session->workArea->runningOptions, "AltText=", value.data(),
                           static_cast<std::uint32_t>(value.size())) != 0)
            alt = value.c_str();
    }
    STATUS status = kOK;
    if (!alt.empty()) status = AppendBeginRecord(kSigGraphic, kGraphicWrapperVersion, output);
    if (status == kOK) status = ImportThroughFilter(context, path.c_str(), library, filter, graphic ? 1 : 0);
    if (status != kOK || alt.empty()) return status;

    const std::uint32_t length = static_cast<std::uint32_t>(kAltTextFixedLength + alt.size());
    if (length > 0xFFFF) return kArgumentError;
    std::string record(EvenLength(length), '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(record.data());
    WriteWord(bytes, kSigAltText);
    WriteWord(bytes + 2, static_cast<std::uint16_t>(length));
    WriteWord(bytes + kAltTextLength, static_cast<std::uint16_t>(alt.size()));
    std::memcpy(bytes + kAltTextFixedLength, alt.data(), alt.size());
    status = AppendRecord(bytes, kSigAltText, length, output);
    if (status == kOK) status = AppendEndRecord(kSigGraphic, kGraphicWrapperVersion, output);
    return status;
}

STATUS AppendImportFile(RecordProcessContext* context) {
    const std::string path = Text(context->argumentText);
    const std::string type = Text(context->secondArgument);
    if (path.empty()) return kArgumentError;
    const std::size_t dot = type.rfind('.');
    const std::string typeExtension = dot == std::string::npos ? std::string() : type.substr(dot);
    const bool ownType = type.size() >= 5 && strncasecmp(type.c_str(), "Zerva", 5) == 0;
    if (ownType && strcasecmp(typeExtension.c_str(), ".txt") == 0) return ImportTextFile(path, type, context);
    if (ownType && strcasecmp(typeExtension.c_str(), ".htm") == 0) {
        if (const HtmlImportHooks& import = HtmlImportOf(context->session); import.ImportHTMLFile != nullptr)
            return import.ImportHTMLFile(path.c_str(), type.c_str(), context);
        return kOperationFailed;
    }

    char library[kFilterFieldSize] = {};
    char filter[kFilterFieldSize] = {};
    // The filter of the type, else the one of the path's extension; the
    // look-up upper-cases the extension of what it is given, so it gets copies.
    std::string typeCopy = type;
    std::string pathCopy = path;
    if ((!type.empty() && FindEditFilter(context->session, typeCopy.data(), library, sizeof library, filter,
                                         sizeof filter, 1, 1) != 0) ||
        FindEditFilter(context->session, pathCopy.data(), library, sizeof library, filter, sizeof filter, 1, 0) != 0)
        return ImportFiltered(path, library, filter, context);
    if (EndsWithNoCase(type.data(), type.size(), ".CD") || EndsWithNoCase(path.data(), path.size(), ".CD")) return ConvertItemRecords(path.c_str(), context);
    // Nothing reads a file of this kind: refused with the reason.
    RARIvoSession* session = context->session;
    std::snprintf(session->messageBuffer, sizeof session->messageBuffer, "TALIX: No import filter for '%s'",
                  path.c_str());
    ShowHostMessage(session->messageBuffer);
    return kArgumentError;
}

// ---- 2448: HTML ----------------------------------------------------------------

STATUS AppendHtml(RecordProcessContext* context) {
    const HtmlImportHooks& import = HtmlImportOf(context->session);
    STATUS status = kOK;
    switch (context->operation2) {
    case kHtmlFile:
        if (import.ImportHTMLFile == nullptr) return kOperationFailed;
        status = import.ImportHTMLFile(Text(context->argumentText), context->secondArgument, context);
        break;
    case kHtmlText:
        if (import.ImportHTMLText == nullptr) return kOperationFailed;
        status = import.ImportHTMLText(Text(context->argumentText), 0, context->secondArgument, context, nullptr, 0);
        if (status == kRenderingSkipped) context->errorWord = kRenderingSkipped;
        break;
    case kHtmlOwnItem: {
        if (import.ImportHTMLFromItem == nullptr) return kOperationFailed;
        // The HTML another item holds, when the item is being rebuilt from
        // it; else the HTML the item itself holds.
        const ItemWorkState* work = context->chunk->item->work;
        if (work != nullptr && work->htmlSource != nullptr)
            status = import.ImportHTMLFromItem(work->htmlSource, work->htmlSourceBeside, context->secondArgument,
                                               context);
        else
            status = import.ImportHTMLFromItem(context->records, nullptr, context->secondArgument, context);
        break;
    }
    default:
        return kOK;
    }
    return status;
}

// ---- Placement --------------------------------------------------------------------

STATUS AppendImport(RecordProcessContext* context) {
    STATUS status = kOK;
    switch (context->operation) {
    case kOpAppendFileAttachment: status = AppendFileAttachment(context); break;
    case kOpAppendImportFile: status = AppendImportFile(context); break;
    case kOpAppendHtml: status = AppendHtml(context); break;
    default: return kOK;
    }
    if (status != kOK && context->operation != kOpAppendFileAttachment) KeepError(context, kErrConversion);
    context->chunk->item->modified = 1;
    return status;
}

STATUS ImportAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd == 0 ? AppendImport(context) : kOK;
}

STATUS ImportAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendImport(context) : kOK;
}

// File attachment, file import, HTML.
const OperationRow kRows[] = {
    {kOpAppendImportFile, ImportAtStart, nullptr, ImportAtEnd, nullptr, kRebuildsItem},
    {kOpAppendHtml, ImportAtStart, nullptr, ImportAtEnd, nullptr, kRebuildsItem},
    {kOpAppendFileAttachment, ImportAtStart, nullptr, ImportAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kImportOperations = MakeFamily(kRows);

} // namespace talix
