// The three HTML import entry points and the frame of the conversion.
#include <cstring>
#include <memory>
#include <new>

#include "builders/build_context.h"
#include "builders/record_output.h"
#include "core/chunk_work_state.h"
#include "core/host_message.h"
#include "core/paragraph_def.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/import_options.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/parser_drivers.h"
#include "talix/chunk.h"

namespace talix {

namespace {

constexpr std::uint16_t kParseOnly = 1;
// The parser options the entry points give the buffer and file drivers and
// the conversion.
constexpr const char* kParserWords = "indent";

// The conversion's results that are no statuses.
constexpr std::uint32_t kParserWarnings = 1;
constexpr std::uint32_t kParserErrors = 2;

STATUS ConversionStatus(std::uint32_t result) {
    if (result == kParserWarnings) return kOK;
    if (result == kParserErrors) return kHtmlTreeLost;
    return static_cast<STATUS>(result);
}

// The paragraph definition an item import starts each of its templates
// from: left aligned, margins of one inch, a tab every half inch.
void ResetParagraphTemplates(RecordOutput* output) {
    const CDPABDEFEXT definition = NewItemParagraphDefinition();
    static_assert(sizeof definition <= kParagraphImageSize);
    for (int n = 0; n < 3; ++n) {
        std::memset(output->importParagraphTemplates[n], 0, kParagraphImageSize);
        std::memcpy(output->importParagraphTemplates[n], &definition, sizeof definition);
        output->importParagraphTemplateSet[n] = 1;
    }
}

// A context of the entry's own, released with everything it holds.
struct OwnedImport {
    std::unique_ptr<HTMLImportContext> import;
    BuildContext* context = nullptr;
    ~OwnedImport() {
        if (import != nullptr) ReleaseImportContext(import.get(), context);
    }
};

STATUS NoInput(BuildContext* context, STATUS status) {
    if (status == kNoHtmlInput) context->errorWord = kErrImportFileMissing;
    return status;
}

// Converts the parsed tree and maps the conversion's result.
// HTML the parser found errors in is refused whole: the message says so,
// since the status alone (257) does not.
STATUS Convert(BuildContext* context, HTMLImportContext* import) {
    AttachImport(&context->output, import);
    const std::uint32_t result = ConvertHTMLTreeToRichText(kParserWords, context, import);
    if (result == kParserErrors)
        ReportRefusal(import->session, "the HTML parser found %u error%s in this HTML; nothing imported",
                      import->parseErrors, import->parseErrors == 1 ? "" : "s");
    return ConversionStatus(result);
}

bool Usable(const BuildContext* context) { return context != nullptr && context->session != nullptr; }

} // namespace

STATUS ImportHTMLText(const char* text, std::uint32_t length, const char* options, BuildContext* context,
                      HTMLImportContext* given, std::uint16_t mode) {
    if (!Usable(context)) return kArgumentError;
    OwnedImport owned{nullptr, context};
    HTMLImportContext* import = given;
    if (import == nullptr) {
        owned.import.reset(new (std::nothrow) HTMLImportContext());
        if (owned.import == nullptr) return kOutOfMemory;
        import = owned.import.get();
    } else {
        // The caller's context starts empty: whatever an earlier parse left
        // in it is released first.
        ReleaseImportContext(import, context);
        import->~HTMLImportContext();
        new (import) HTMLImportContext();
    }
    import->session = context->session;
    const ZervaRTChunk* chunk = context->chunk;
    import->fromMail = chunk != nullptr && chunk->work != nullptr && chunk->work->htmlFromMail != 0 ? 1 : 0;

    STATUS status = CopyImportOptionText(import, options, ImportSource::kText);
    if (status == kOK) status = ParseHTMLBuffer(text, length, kParserWords, import, context);
    if (status != kOK) {
        ReleaseImportContext(import, context);
        return mode == kParseOnly ? status : NoInput(context, status);
    }
    if (mode == kParseOnly) return kOK;

    status = ReadCommonImportOptions(import, context, options);
    if (status == kOK) status = ReadEntryImportOptions(import, options, ImportSource::kText);
    if (status == kOK) status = Convert(context, import);
    ReleaseImportContext(import, context);
    return status;
}

STATUS ImportHTMLFile(const char* filePath, const char* options, BuildContext* context) {
    if (!Usable(context)) return kArgumentError;
    OwnedImport owned{std::unique_ptr<HTMLImportContext>(new (std::nothrow) HTMLImportContext()), context};
    HTMLImportContext* import = owned.import.get();
    if (import == nullptr) return kOutOfMemory;
    import->session = context->session;

    STATUS status = ReadCommonImportOptions(import, context, options);
    if (status == kOK) status = ReadEntryImportOptions(import, options, ImportSource::kFile);
    if (status == kOK) status = CopyImportOptionText(import, options, ImportSource::kFile);
    if (status == kOK) status = NoInput(context, ParseHTMLFile(filePath, kParserWords, import));
    if (status != kOK) return status;
    SetBasePathFromFile(import, filePath);
    SetFileImportDirectory(import, filePath, options);
    return Convert(context, import);
}

STATUS ImportHTMLFromItem(ItemRecordList* source, void* auxiliary, const char* options,
                          BuildContext* context) {
    if (!Usable(context)) return kArgumentError;
    OwnedImport owned{std::unique_ptr<HTMLImportContext>(new (std::nothrow) HTMLImportContext()), context};
    HTMLImportContext* import = owned.import.get();
    if (import == nullptr) return kOutOfMemory;
    import->session = context->session;

    STATUS status = ReadCommonImportOptions(import, context, options);
    if (status != kOK) return status;
    ResetParagraphTemplates(&context->output);
    import->sourceRecordList = source;
    import->sourceAuxiliary = auxiliary;
    status = CopyImportOptionText(import, options, ImportSource::kItem);
    if (status == kOK) status = NoInput(context, ParseHTMLFromRichText(source, auxiliary, import->optionText, import));
    if (status == kOK) status = ReadEntryImportOptions(import, options, ImportSource::kItem);
    if (status != kOK) return status;
    return Convert(context, import);
}

} // namespace talix
