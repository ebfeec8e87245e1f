// The append family's imports, written before the chunk's first record (the
// chunk's append-at-end word 0) or after its last one (the word set): a file
// attached with its hotspot (2812) and a file converted into rich text
// (2352: text files, HTML files, files through an import filter, record
// files). HTML (2448) is the HTML import's operation
// (htmlimport/import_operation.h), through which 2352 imports an HTML file.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/file_hotspot.h"
#include "builders/filter_import.h"
#include "builders/record_conversion.h"
#include "builders/record_scratch.h"
#include "core/attachments.h"
#include "core/filters.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/writing_run.h"
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

// The part of a path after its last "\" or "/".
std::string LastPart(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
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
    display = FitStoredName(display, kLongestAttachmentName);
    if (display.empty()) return kArgumentError;
    const char* options = context->session->workArea->runningOptions;
    const plat::NOTEHANDLE note = context->chunk->item->noteHandle;
    // A file attached already is the note's attachment of its name, which
    // the hotspot names: a free name would name one the note does not have.
    const std::string stored =
        OptionIs(options, "AlreadyAttached=", "Yes") ? display : FreeAttachmentName(note, display, path);
    if (stored.empty()) return kOperationFailed;
    return AppendFileHotspot(path.c_str(), stored.c_str(), display.c_str(), options, context);
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
    WriteRecordHeader(bytes, kSigAltText, static_cast<std::uint16_t>(length));
    WriteWord(bytes + kAltTextLengthAt, static_cast<std::uint16_t>(alt.size()));
    std::memcpy(bytes + kAltTextFixedLength, alt.data(), alt.size());
    status = AppendRecord(bytes, kSigAltText, length, output);
    if (status == kOK) status = AppendEndRecord(kSigGraphic, kGraphicWrapperVersion, output);
    return status;
}

// A file of the library's own HTML type is imported as operation 2448
// imports an HTML file (its kind kHtmlFromFile, the type its options): by
// that operation's executor for the chunk's end the run is at, from the
// session's operation table.
STATUS ImportHtmlFile(RecordProcessContext* context) {
    const OperationRow* html = FindOperation(context->session, kOpAppendHtml);
    if (html == nullptr || html->start == nullptr || html->end == nullptr) return kNotAvailable;
    const std::uint16_t operation2 = context->operation2;
    context->operation2 = kHtmlFromFile;
    const STATUS status =
        context->chunk->appendAtEnd == 0 ? html->start(nullptr, 0, 0, context) : html->end(nullptr, 0, context);
    context->operation2 = operation2;
    return status;
}

STATUS AppendImportFile(RecordProcessContext* context) {
    const std::string path = Text(context->argumentText);
    const std::string type = Text(context->secondArgument);
    if (path.empty()) return kArgumentError;
    const std::size_t dot = type.rfind('.');
    const std::string typeExtension = dot == std::string::npos ? std::string() : type.substr(dot);
    const bool ownType = type.size() >= 5 && CompareNamesNoCase(type.c_str(), "Zerva", 5) == 0;
    if (ownType && CompareNamesNoCase(typeExtension.c_str(), ".txt") == 0) return ImportTextFile(path, type, context);
    if (ownType && CompareNamesNoCase(typeExtension.c_str(), ".htm") == 0) return ImportHtmlFile(context);

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

// ---- Placement --------------------------------------------------------------------

STATUS AppendImport(RecordProcessContext* context) {
    switch (context->operation) {
    case kOpAppendFileAttachment: {
        const STATUS status = AppendFileAttachment(context);
        context->chunk->item->modified = 1;
        return status;
    }
    case kOpAppendImportFile: return FinishImport(context, AppendImportFile(context));
    default: return kOK;
    }
}

STATUS ImportAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    // An attachment's icon and a picture stand in the chunk's paragraph;
    // other imports bring paragraphs of their own.
    const CDRecordNode* first = nullptr;
    const bool inContent = context->operation == kOpAppendFileAttachment || context->a5 != 0;
    const STATUS status = EnterChunkContent(context, inContent, &first);
    return status == kOK ? AppendImport(context) : status;
}

STATUS ImportAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendImport(context) : kOK;
}

// File attachment, file import.
const OperationRow kRows[] = {
    {kOpAppendImportFile, ImportAtStart, nullptr, ImportAtEnd, nullptr, kRebuildsItem},
    {kOpAppendFileAttachment, ImportAtStart, nullptr, ImportAtEnd, nullptr, kRebuildsItem},
};

} // namespace

STATUS FinishImport(RecordProcessContext* context, STATUS status) {
    if (status != kOK && context->errorWord == 0 && context->chunk->errorWord == 0) context->errorWord = kErrConversion;
    context->chunk->item->modified = 1;
    return status;
}

const OperationFamily kImportOperations = MakeFamily(kRows);

} // namespace talix
