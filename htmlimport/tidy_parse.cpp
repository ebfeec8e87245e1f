// The HTML Tidy library as the import's parser: configured per parse on a
// fresh document (nothing carries over from an earlier parse), run on a
// stack deep enough for the input's nesting, its tree copied node by node
// without recursion.
#include "htmlimport/tidy_parse.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <string>

#include "htmlimport/html_input.h"
#include "htmlimport/large_stack.h"
#include "htmlimport/record_source.h"

namespace talix {

namespace {

// Stack for the parse: a base for the library's own work, and room per
// possible nesting level (the library takes up to about 150 bytes a level).
constexpr std::size_t kBaseStack = 8u * 1024u * 1024u;
constexpr std::size_t kStackPerLevel = 256;
// No input the import accepts nests deeper than this stack holds.
constexpr std::size_t kMostStack = 1024u * 1024u * 1024u;

constexpr const char* kEmptyInlineTags = "v:imagedata w:wrap inputtarea";
constexpr const char* kInlineTags = "o:p";

Bool TIDY_CALL Silence(TidyDoc, TidyReportLevel, uint, uint, ctmbstr) { return no; }

int TIDY_CALL SourceGetByte(void* data) { return static_cast<RecordTextSource*>(data)->NextByte(); }
void TIDY_CALL SourceUngetByte(void* data, byte value) { static_cast<RecordTextSource*>(data)->Unget(value); }
Bool TIDY_CALL SourceAtEnd(void* data) { return static_cast<RecordTextSource*>(data)->AtEnd() ? yes : no; }

} // namespace

void ConfigureImportParser(TidyDoc doc, bool xmlInput) {
    tidySetReportFilter(doc, Silence);
    tidyOptSetBool(doc, TidyQuiet, yes);
    tidyOptSetBool(doc, TidyShowInfo, no);
    tidySetInCharEncoding(doc, "utf8");
    // Nothing that would change what the import sees.
    tidyOptSetBool(doc, TidyFixBackslash, no);
    tidyOptSetBool(doc, TidyFixUri, no);
    tidyOptSetBool(doc, TidyDropEmptyElems, no);
    tidyOptSetBool(doc, TidyDropEmptyParas, no);
    tidyOptSetBool(doc, TidyLowerLiterals, no);
    // The import runs its own clean-up passes.
    tidyOptSetBool(doc, TidyWord2000, no);
    tidyOptSetBool(doc, TidyMergeEmphasis, no);
    tidyOptSetInt(doc, TidyMergeDivs, TidyNoState);
    tidyOptSetInt(doc, TidyMergeSpans, TidyNoState);
    tidyOptSetBool(doc, TidyLogicalEmphasis, no);
    tidyOptSetBool(doc, TidyMark, no);
    tidyOptSetValue(doc, TidyEmptyTags, kEmptyInlineTags);
    tidyOptSetValue(doc, TidyInlineTags, kInlineTags);
    if (xmlInput) tidyOptSetBool(doc, TidyXmlTags, yes);
}

namespace {

struct CopyState {
    TidyDoc doc;
    HtmlDocument* target;
    TidyBuffer value;
    std::string native;
};

// The node's text (text, comments, sections ...), when the library gives one.
void CopyText(CopyState& state, TidyNode from, HtmlNode* to) {
    tidyBufClear(&state.value);
    if (!tidyNodeGetValue(state.doc, from, &state.value)) return;
    state.native.clear();
    AppendNativeText(std::string_view(reinterpret_cast<const char*>(state.value.bp), state.value.size),
                     &state.native);
    to->start = state.target->AppendText(state.native);
    to->end = state.target->TextEnd();
}

HtmlNode* CopyNode(CopyState& state, TidyNode from) {
    const auto type = static_cast<HtmlNodeType>(tidyNodeGetType(from));
    HtmlDocument& target = *state.target;
    const bool element =
        type == HtmlNodeType::kStartTag || type == HtmlNodeType::kStartEndTag || type == HtmlNodeType::kEndTag;
    if (!element) {
        HtmlNode* node = target.NewTextNode(type, {});
        CopyText(state, from, node);
        return node;
    }
    const char* name = tidyNodeGetName(from);
    HtmlNode* node = target.NewElement(name != nullptr ? name : "", type);
    for (TidyAttr attr = tidyAttrFirst(from); attr != nullptr; attr = tidyAttrNext(attr)) {
        const char* attrName = tidyAttrName(attr);
        const char* value = tidyAttrValue(attr);
        if (attrName == nullptr) continue;
        if (value == nullptr) {
            target.AddAttribute(node, attrName, nullptr, 0);
            continue;
        }
        state.native.clear();
        AppendNativeText(value, &state.native);
        target.AddAttribute(node, attrName, state.native.data(), state.native.size());
    }
    return node;
}

// Copies the library's tree below its root, in document order, with an
// explicit climb instead of recursion.
void CopyTree(CopyState& state) {
    TidyNode top = tidyGetRoot(state.doc);
    HtmlNode* parent = state.target->Root();
    TidyNode from = top != nullptr ? tidyGetChild(top) : nullptr;
    while (from != nullptr) {
        HtmlNode* made = CopyNode(state, from);
        HtmlDocument::AppendChild(parent, made);
        if (TidyNode child = tidyGetChild(from)) {
            parent = made;
            from = child;
            continue;
        }
        while (from != nullptr) {
            if (TidyNode next = tidyGetNext(from)) {
                from = next;
                break;
            }
            from = tidyGetParent(from);
            if (from == nullptr || from == top) {
                from = nullptr;
                break;
            }
            parent = parent->parent;
        }
    }
}

// The parser sets the process's locale (from the environment) each time it
// makes a document, and the C library's locale set-up must not run twice at
// once: parses on several threads make their documents one at a time.
TidyDoc NewParserDocument() {
    static std::mutex creation;
    const std::lock_guard<std::mutex> lock(creation);
    return tidyCreate();
}

struct ParseJob {
    const TidyParseRequest* request;
    TidyParseResult* result;
    STATUS status = kOK;
};

void RunParse(void* data) {
    auto* job = static_cast<ParseJob*>(data);
    const TidyParseRequest& request = *job->request;
    TidyDoc doc = NewParserDocument();
    if (doc == nullptr) {
        job->status = kOutOfMemory;
        return;
    }
    ConfigureImportParser(doc, request.xmlInput);
    if (request.records != nullptr) {
        TidyInputSource source;
        tidyInitSource(&source, request.records, SourceGetByte, SourceUngetByte, SourceAtEnd);
        tidyParseSource(doc, &source);
    } else {
        TidyBuffer input;
        tidyBufInit(&input);
        // The library only reads the buffer it is lent.
        tidyBufAttach(&input, reinterpret_cast<byte*>(const_cast<char*>(request.utf8.data())),
                      static_cast<uint>(request.utf8.size()));
        tidyParseBuffer(doc, &input);
        tidyBufDetach(&input);
    }
    if (request.clean) {
        tidyOptSetBool(doc, TidyMakeClean, yes);
        tidyCleanAndRepair(doc);
    }
    if (request.records != nullptr && request.records->Failed()) job->status = kOutOfMemory;
    job->result->errors = tidyErrorCount(doc);
    job->result->warnings = tidyWarningCount(doc);

    CopyState state{doc, nullptr, {}, {}};
    tidyBufInit(&state.value);
    try {
        job->result->document = std::make_unique<HtmlDocument>();
        state.target = job->result->document.get();
        CopyTree(state);
    } catch (const std::bad_alloc&) {
        job->result->document.reset();
        job->status = kOutOfMemory;
    }
    tidyBufFree(&state.value);
    tidyRelease(doc);
}

} // namespace

STATUS ParseWithTidy(const TidyParseRequest& request, TidyParseResult* result) {
    *result = TidyParseResult{};
    ParseJob job{&request, result};
    const std::size_t stack =
        kBaseStack + std::min(request.tagOpenings, kMostStack / kStackPerLevel) * kStackPerLevel;
    if (!RunOnLargeStack(stack, RunParse, &job)) return kOutOfMemory;
    return job.status;
}

} // namespace talix
