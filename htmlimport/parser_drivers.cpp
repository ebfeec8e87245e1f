// The parser drivers: input, parse, checks and clean-up passes.
#include "htmlimport/parser_drivers.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>

#include "core/host_message.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/text_compare.h"
#include "htmlimport/cleanup_passes.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_input.h"
#include "htmlimport/markup_bounds.h"
#include "htmlimport/passthru_marking.h"
#include "htmlimport/record_source.h"
#include "htmlimport/tidy_parse.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kPoolTag = "html";
constexpr const char* kLostIntegrity = "Panic - HTML tree has lost its integrity";
constexpr const char* kDefaultLinkText = "Link";
constexpr plat::WORD kLinkTextBuffer = 256;
constexpr plat::DWORD kLinkTextCharacters = 64;

enum class Driver { kBuffer, kRichText, kFile };

struct ParserKeywords {
    bool xml = false;
    bool clean = false;
    bool errors = false;
};

// Whether a parser keyword stands in the option text as a word of its own.
// The values of keyword=value options are passed over (to the next blank,
// or to their closing quote), so that a value that holds the word
// ("BasePathname=/data/errors/") asks nothing of the parser.
bool HasParserKeyword(const char* options, std::string_view keyword) {
    if (options == nullptr) return false;
    const char* at = options;
    while (*at != '\0') {
        while (*at == ' ' || *at == '\t') ++at;
        const char* word = at;
        while (*at != '\0' && *at != ' ' && *at != '\t' && *at != '=') ++at;
        if (*at == '=') {
            ++at;
            if (IsOptionQuote(*at)) {
                const char* close = std::strchr(at + 1, *at);
                at = close != nullptr ? close + 1 : at + std::strlen(at);
            } else {
                while (*at != '\0' && *at != ' ') ++at;
            }
            continue;
        }
        if (EqualNoCase(std::string_view(word, static_cast<std::size_t>(at - word)), keyword)) return true;
    }
    return false;
}

ParserKeywords ReadKeywords(const char* parserOptions) {
    ParserKeywords keywords;
    keywords.xml = HasParserKeyword(parserOptions, "xml");
    keywords.clean = HasParserKeyword(parserOptions, "clean");
    keywords.errors = HasParserKeyword(parserOptions, "errors");
    return keywords;
}

STATUS LostIntegrity() {
    plat::LogLine(0, "%s", kLostIntegrity);
    ShowHostMessage(kLostIntegrity);
    return kHtmlTreeLost;
}

// Refuses an input past a bound of the import, with a message that says
// which and where.
STATUS RefuseBound(HTMLImportContext* import, const HtmlBoundMet& met) {
    ReportRefusal(import->session, "%s; nothing imported", DescribeHtmlBound(met).c_str());
    return kHtmlPastBound;
}

STATUS RefuseSize(HTMLImportContext* import, std::size_t size) {
    return RefuseBound(import, HtmlBoundMet{HtmlBound::kSize, size});
}

void ReleaseLinkText(HTMLImportContext* import) {
    if (import->doclinkText != nullptr) ZervaDeallocate(import->session, import->doclinkText);
    import->doclinkText = nullptr;
}

// True when the parse made an element with one of the ids.
bool MayHoldAny(const HtmlDocument& document, std::initializer_list<HtmlTag> tags) {
    for (const HtmlTag tag : tags)
        if (document.MayHold(tag)) return true;
    return false;
}

// Each pass walks the whole tree, so one that acts only on elements the parse
// never made (and no earlier pass made or renamed into) is left out. The Word
// clean-up makes and renames elements of its own, so after it every later
// pass runs.
void RunPasses(HTMLImportContext* import, Driver driver) {
    HtmlDocument& document = *import->document;
    MarkupSteps steps;
    steps.nestedEmphasis = MayHoldAny(document, {HtmlTag::kB, HtmlTag::kI});
    steps.plainDivs = driver == Driver::kBuffer && document.MayHold(HtmlTag::kDiv);
    steps.listsToQuotes = MayHoldAny(document, {HtmlTag::kUl, HtmlTag::kOl, HtmlTag::kDir, HtmlTag::kMenu});
    if ((steps.nestedEmphasis || steps.plainDivs || steps.listsToQuotes) && SimplifyMarkup(document, steps))
        BQ2Div(document);
    const bool word2000 = IsWord2000(document);
    if (driver == Driver::kBuffer) import->isWord2000Document = word2000 ? 1 : 0;
    if (word2000) {
        if (driver != Driver::kFile) DropSections(document);
        CleanWord2000(document);
    }
    if (word2000 || MayHoldAny(document, {HtmlTag::kThead, HtmlTag::kTbody, HtmlTag::kTfoot}))
        UnwrapRowGroups(document);
    // Every break it drops, or drops a space after, is a br.
    if (word2000 || document.MayHold(HtmlTag::kBr)) DropTrailingBreaks(document);
    if (driver == Driver::kFile && (word2000 || MayHoldAny(document, {HtmlTag::kTd, HtmlTag::kTh})))
        TrimRowSpans(document);
}

// Parses into the context and, unless the input is XML, checks and cleans
// the tree.
STATUS ParseInto(HTMLImportContext* import, const TidyParseRequest& request, Driver driver,
                 const ParserKeywords& keywords) {
    TidyParseResult result;
    // A page's elements the parser does not know are imported with their
    // content, as a browser shows it.
    TidyParseRequest page = request;
    page.unknownAsInline = true;
    const STATUS status = ParseWithTidy(page, &result);
    if (status == kHtmlPastBound) return RefuseBound(import, result.bound);
    if (status == kHtmlTreeLost)
        ReportRefusal(import->session, "the HTML parser does not come to an end on this HTML; nothing imported");
    if (status != kOK) return status;
    import->document = std::move(result.document);
    import->parseErrors += result.errors;
    import->parseWarnings += result.warnings;
    import->errorsOnly = keywords.errors ? 1 : 0;
    if (request.xmlInput) return kOK;

    if (!CheckTreeIntegrity(*import->document)) {
        import->document.reset();
        return LostIntegrity();
    }
    // (A document the parse made no img element in has no image to look for.)
    if (driver == Driver::kBuffer && import->document->MayHold(HtmlTag::kImg) &&
        plat::IniGetInt("ZelundaNoImageSkip") == 0 && ContainsURLImage(import->document->Root())) {
        ReportRefusal(import->session, "Rendering skipped due to URL images");
        import->document.reset();
        return kRenderingSkipped;
    }
    try {
        RunPasses(import, driver);
    } catch (const std::bad_alloc&) {
        import->document.reset();
        return kOutOfMemory;
    }
    if (!CheckTreeIntegrity(*import->document)) {
        import->document.reset();
        return LostIntegrity();
    }
    return kOK;
}

// Converts the input to UTF-8 and parses it.
STATUS ParseText(HTMLImportContext* import, std::string_view input, InputCharset charset, Driver driver,
                 const ParserKeywords& keywords) {
    if (input.size() > kMaxHtmlInput) return RefuseSize(import, input.size());
    std::string storage;
    TidyParseRequest request;
    const STATUS status = InputAsUtf8(input, charset, &storage, &request.utf8);
    if (status != kOK) return status;
    request.bytes = request.utf8.size();
    request.xmlInput = keywords.xml;
    request.clean = keywords.clean;
    return ParseInto(import, request, driver, keywords);
}

// The link text of document links: notes.ini "ZelundaDocLinkText", else
// "Link"; enclosing double quotes dropped, cut to its first 64 characters.
STATUS SetLinkText(HTMLImportContext* import) {
    char text[kLinkTextBuffer] = {};
    plat::WORD length = 0;
    if (!plat::IniGetText("ZelundaDocLinkText", text, sizeof text, &length)) {
        std::snprintf(text, sizeof text, "%s", kDefaultLinkText);
    }
    std::size_t size = std::strlen(text);
    const char* start = text;
    if (size >= 2 && text[0] == '"' && text[size - 1] == '"') {
        ++start;
        size -= 2;
    }
    size = plat::LmbcsByteLength(start, kLinkTextCharacters, static_cast<plat::DWORD>(size));
    if (size == 0) return kOK;
    import->doclinkText = QuorbelAllocateString(import->session, __LINE__, kPoolTag, start,
                                                static_cast<std::uint32_t>(size));
    return import->doclinkText != nullptr ? kOK : kOutOfMemory;
}

// Reads a whole file, refusing one larger than the import takes, and
// anything but a regular file (a pipe or a device would never end); *size is
// the file's size as it stands.
STATUS ReadWholeFile(const char* path, std::string* content, std::size_t* size) {
    std::FILE* file = plat::OpenInputStream(path);
    if (file == nullptr) return kNoHtmlInput;
    struct stat info {};
    *size = ::fstat(::fileno(file), &info) == 0 ? static_cast<std::size_t>(info.st_size) : 0;
    STATUS status = kOK;
    try {
        char chunk[64 * 1024];
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
            content->append(chunk, got);
            if (content->size() > kMaxHtmlInput) {
                *size = std::max(*size, content->size());
                status = kHtmlPastBound;
                break;
            }
            if (got < sizeof chunk) {
                if (std::ferror(file)) status = kNoHtmlInput;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    std::fclose(file);
    return status;
}

// Reads a pass-thru marker of the option text into a tracked copy.
STATUS CopyMarker(HTMLImportContext* import, const char* key, char** marker) {
    char* value = import->session->optionValue;
    if (GetOptionValue(import->optionText, key, value, RARIvoSession::kOptionValueCapacity) == 0 || value[0] == '\0')
        return kArgumentError;
    *marker = QuorbelAllocateString(import->session, __LINE__, kPoolTag, value, 0);
    return *marker != nullptr ? kOK : kOutOfMemory;
}

STATUS MarkPassthru(HTMLImportContext* import, ItemRecordList* source) {
    char value[8] = {};
    if (GetOptionValue(import->optionText, "MarkPassthruHTML=", value, sizeof value) == 0 ||
        CompareNamesNoCase(value, "Yes") != 0)
        return kOK;
    STATUS status = CopyMarker(import, "PassthruHTMLStart=", &import->passthruStartText);
    if (status == kOK) status = CopyMarker(import, "PassthruHTMLEnd=", &import->passthruEndText);
    if (status == kOK) status = MarkPassthruHTML(source, import);
    for (char** marker : {&import->passthruStartText, &import->passthruEndText}) {
        if (*marker != nullptr) ZervaDeallocate(import->session, *marker);
        *marker = nullptr;
    }
    return status;
}

} // namespace

STATUS ParseHTMLBuffer(const char* text, std::uint32_t length, const char* parserOptions, HTMLImportContext* import,
                       BuildContext*) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    const ParserKeywords keywords = ReadKeywords(parserOptions);
    STATUS status = SetLinkText(import);
    if (status != kOK) return status;
    if (text == nullptr) return kNoHtmlInput;
    const std::size_t size = length != 0 ? length : std::strlen(text);
    if (size == 0) return kNoHtmlInput;
    const InputCharset charset = BufferInputCharset(std::string_view(text, size), import->optionText, parserOptions);
    status = ParseText(import, std::string_view(text, size), charset, Driver::kBuffer, keywords);
    if (status == kHtmlTreeLost || status == kRenderingSkipped) ReleaseLinkText(import);
    return status;
}

STATUS ParseHTMLFromRichText(ItemRecordList* source, void* auxiliary, const char* parserOptions,
                             HTMLImportContext* import) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    if (source == nullptr) return kNoHtmlInput;
    const ParserKeywords keywords = ReadKeywords(parserOptions);
    import->sourceRecordList = source;
    import->sourceAuxiliary = auxiliary;
    STATUS status = MarkPassthru(import, source);
    if (status != kOK) return status;

    TidyParseRequest request;
    RecordTextSource::Measure(source, &request.bytes);
    if (request.bytes > kMaxHtmlInput) return RefuseSize(import, request.bytes);
    request.records = source;
    request.xmlInput = keywords.xml;
    request.clean = keywords.clean;
    return ParseInto(import, request, Driver::kRichText, keywords);
}

STATUS ParseHTMLFile(const char* path, const char* parserOptions, HTMLImportContext* import) {
    if (import == nullptr || import->session == nullptr) return kArgumentError;
    const ParserKeywords keywords = ReadKeywords(parserOptions);
    std::string content;
    std::size_t size = 0;
    const STATUS status = ReadWholeFile(path, &content, &size);
    if (status == kHtmlPastBound) return RefuseSize(import, size);
    if (status != kOK) return status;
    const InputCharset charset = FileInputCharset(content, import->optionText, parserOptions);
    return ParseText(import, content, charset, Driver::kFile, keywords);
}

bool ContainsURLImage(const HtmlNode* node) {
    if (node == nullptr) return false;
    const HtmlNode* top = node->parent;
    for (auto* at = const_cast<HtmlNode*>(node); at != nullptr; at = NextInside(at, top)) {
        if (!at->Is(HtmlTag::kImg)) continue;
        // An empty source names no image.
        const HtmlAttr* src = FindAttribute(at, "src");
        if (src != nullptr && src->value != nullptr && src->value[0] != '\0' &&
            CompareNamesNoCase(src->value, "cid:", 4) != 0)
            return true;
    }
    return false;
}

} // namespace talix
