// The HTML Tidy library as the import's parser: configured per parse on a
// fresh document (nothing carries over from an earlier parse), run within
// the import's bounds on a stack of its own, its tree copied node by node
// without recursion.
#include "htmlimport/tidy_parse.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <algorithm>
#include <csetjmp>
#include <mutex>
#include <new>
#include <string>
#include <unordered_set>

#include "htmlimport/html_input.h"
#include "htmlimport/large_stack.h"
#include "htmlimport/parse_budget.h"
#include "htmlimport/record_source.h"

namespace talix {

namespace {

// Stack for the parse: a base for the library's own work, and room for
// several times the descent the parse is allowed (the descent is looked at
// only as the parser allocates, and the checks of the whole document after
// the input descend as deep as the tree).
constexpr std::size_t kBaseStack = 8u * 1024u * 1024u;
constexpr std::size_t kDescentRooms = 4;

constexpr const char* kEmptyInlineTags = "v:imagedata w:wrap inputtarea";
// The spans of SVG text are inline as in a browser: the library would
// otherwise drop the blanks between them and around them.
constexpr const char* kInlineTags = "o:p tspan";
// The most names of unknown elements declared for a second parse.
constexpr std::size_t kMostUnknownNames = 1000;

// What a parse keeps beside the library's document: its budget, and the
// names of the elements the library did not know.
struct ParseWatch {
    ParseBudget* budget = nullptr;
    std::string unknownNames;   // separated by blanks, each once
    std::unordered_set<std::string> namesSeen;
    bool namesLost = false;     // a name could not be kept
};

// Shows nothing; counts the message as work of the parse's budget, when
// the document has one.
Bool TIDY_CALL Silence(TidyDoc doc, TidyReportLevel, uint, uint, ctmbstr) {
    auto* watch = static_cast<ParseWatch*>(tidyGetAppData(doc));
    if (watch != nullptr && watch->budget != nullptr) watch->budget->CountMessage();
    return no;
}

// Whether the text can stand in the library's list of declared tags as
// one name (the list is split at blanks and commas).
bool DeclarableName(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && c != '-' && c != '_' && c != '.' && c != ':') return false;
    }
    return true;
}

// Notes the name of an element the library does not know ("<name>" in the
// message's first argument): the library drops such an element with an
// error, where a browser shows its content as that of an inline element.
Bool TIDY_CALL NoteUnknownElement(TidyMessage message) {
    const uint code = tidyGetMessageCode(message);
    if (code != UNKNOWN_ELEMENT && code != UNKNOWN_ELEMENT_LOOKS_CUSTOM) return yes;
    auto* watch = static_cast<ParseWatch*>(tidyGetAppData(tidyGetMessageDoc(message)));
    if (watch == nullptr) return yes;
    TidyIterator at = tidyGetMessageArguments(message);
    if (at == nullptr) return yes;
    TidyMessageArgument argument = tidyGetNextMessageArgument(message, &at);
    if (tidyGetArgType(message, &argument) != tidyFormatType_STRING) return yes;
    const char* described = tidyGetArgValueString(message, &argument);
    std::string_view name = described != nullptr ? described : "";
    if (name.size() < 3 || name.front() != '<' || name.back() != '>') return yes;
    name = name.substr(1, name.size() - 2);
    if (!DeclarableName(name)) return yes;
    // Nothing may be thrown through the library's frames.
    try {
        if (watch->namesSeen.count(std::string(name)) != 0) return yes;
        // The library's work for declared names grows with the square of
        // their count: a page of more such names than a page has kinds of
        // elements is parsed as it stands (and refused, as its unknown
        // elements are errors).
        if (watch->namesSeen.size() >= kMostUnknownNames) {
            watch->namesLost = true;
            return yes;
        }
        watch->namesSeen.emplace(name);
        if (!watch->unknownNames.empty()) watch->unknownNames.push_back(' ');
        watch->unknownNames.append(name);
    } catch (const std::bad_alloc&) {
        watch->namesLost = true;
    }
    return yes;
}

// The parse's input as the library reads it, byte by byte: the text of a
// record list, or a text; each byte read counts as progress of the parse.
struct ParseInput {
    RecordTextSource* records;
    std::string_view text;
    ParseBudget* budget;
    std::size_t at = 0;
    std::string given;   // bytes of the text given back, last first
};

// The next byte of the input, taken.
int TakeByte(ParseInput* input) {
    if (input->records != nullptr) return input->records->NextByte();
    if (!input->given.empty()) {
        const int byte = static_cast<unsigned char>(input->given.back());
        input->given.pop_back();
        return byte;
    }
    return input->at < input->text.size() ? static_cast<unsigned char>(input->text[input->at++])
                                           : static_cast<int>(EndOfStream);
}

// Gives bytes back to the input, so that they are read next in their
// order. False, with none given back, when there is no room to keep them.
bool GiveBack(ParseInput* input, std::string_view bytes) {
    if (input->records == nullptr) {
        // Nothing may be thrown through the library's frames.
        try {
            input->given.reserve(input->given.size() + bytes.size());
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    for (std::size_t i = bytes.size(); i-- > 0;) {
        if (input->records != nullptr) {
            input->records->Unget(static_cast<std::uint8_t>(bytes[i]));
        } else {
            input->given.push_back(bytes[i]);
        }
    }
    return true;
}

// A control character but the blanks: after "<" it opens no tag (a browser
// shows the "<" as text).
bool ControlCharacter(int byte) {
    return (byte >= 0 && byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\f' && byte != '\r') || byte == 0x7F;
}

int TIDY_CALL SourceGetByte(void* data) {
    auto* input = static_cast<ParseInput*>(data);
    int byte = TakeByte(input);
    if (byte == '<') {
        // A "<" before a control character is handed on as "&lt;": it is
        // text, and the library reads what follows such a "<" in time that
        // grows with the square of its length.
        const int next = TakeByte(input);
        if (next != static_cast<int>(EndOfStream)) {
            const char escaped[] = {'l', 't', ';', static_cast<char>(next)};
            if (ControlCharacter(next) && GiveBack(input, std::string_view(escaped, sizeof escaped))) {
                byte = '&';
            } else {
                // Without room to keep it, the byte is lost, as one the
                // library gives back is.
                GiveBack(input, std::string_view(escaped + 3, 1));
            }
        }
    }
    if (byte == static_cast<int>(EndOfStream)) input->budget->InputDone();
    else input->budget->InputRead();
    return byte;
}

void TIDY_CALL SourceUngetByte(void* data, byte value) {
    auto* input = static_cast<ParseInput*>(data);
    input->budget->InputGivenBack();
    if (input->records != nullptr) {
        input->records->Unget(value);
    } else if (input->at > 0 && static_cast<byte>(input->text[input->at - 1]) == value && input->given.empty()) {
        --input->at;
    } else {
        // Nothing may be thrown through the library's frames: a byte that
        // cannot be kept is lost.
        try {
            input->given.push_back(static_cast<char>(value));
        } catch (const std::bad_alloc&) {
        }
    }
}

Bool TIDY_CALL SourceAtEnd(void* data) {
    auto* input = static_cast<ParseInput*>(data);
    const bool end = input->records != nullptr ? input->records->AtEnd()
                                                : input->given.empty() && input->at >= input->text.size();
    if (end) input->budget->InputDone();
    return end ? yes : no;
}

} // namespace

void ConfigureImportParser(TidyDoc doc, bool xmlInput) {
    tidySetReportFilter(doc, Silence);
    tidySetMessageCallback(doc, NoteUnknownElement);
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
// A processing instruction keeps no text: the parser can record its extent
// wrongly ("<?a?>" inside a body), and copying that text reads and writes
// outside its buffers. Nothing reads such a node's text.
void CopyText(CopyState& state, TidyNode from, HtmlNode* to) {
    if (tidyNodeGetType(from) == TidyNode_ProcIns) return;
    tidyBufClear(&state.value);
    if (!tidyNodeGetValue(state.doc, from, &state.value)) return;
    std::string_view value(reinterpret_cast<const char*>(state.value.bp), state.value.size);
    // A zero byte in a text can only come of a reference to character 0
    // ("&#0;"), which stands for the replacement character; kept as a zero
    // byte it would be a line break within the paragraph, and a link's text
    // would end at it.
    std::string replaced;
    if (tidyNodeGetType(from) == TidyNode_Text && value.find('\0') != std::string_view::npos) {
        replaced.reserve(value.size() + 8);
        for (const char c : value) {
            if (c == '\0') replaced += "\xEF\xBF\xBD";
            else replaced.push_back(c);
        }
        value = replaced;
    }
    state.native.clear();
    AppendNativeText(value, &state.native);
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

// Unless it has been given a language, the parser sets the process's locale
// from the environment each time it makes a document. That locale would then
// rule every case-insensitive compare and every number read or written in the
// process (a Turkish locale makes "solid" and "SOLID" differ, a German one
// reads "1.5" as 1), so the parser is given its own language, English, before
// its first document: its messages are silenced anyway, and the process's
// locale stays what the program set. Parses on several threads make their
// documents one at a time.
TidyDoc NewParserDocument(TidyAllocator* allocator) {
    static std::mutex creation;
    static bool languageSet = false;
    const std::lock_guard<std::mutex> lock(creation);
    if (!languageSet) {
        tidySetLanguage("en");
        languageSet = true;
    }
    return tidyCreateWithAllocator(allocator);
}

struct ParseJob {
    ParseJob(const TidyParseRequest* given, TidyParseResult* into) : request(given), result(into) {}
    const TidyParseRequest* request;
    TidyParseResult* result;
    std::size_t descentLimit = 0;   // 0: none
    // Measuring (no tree copied): the deepest the parser stood and the
    // levels of the tree it built.
    bool measure = false;
    std::size_t deepest = 0;
    std::size_t treeLevels = 0;
    STATUS status = kOK;
    // Names of elements the library does not know: those to declare as
    // inline elements before the parse, and those the parse met undeclared
    // (the tree is then not copied: the parse is to run again).
    std::string declaredNames;
    std::string unknownNames;
};

} // namespace

std::size_t ParserTreeLevels(TidyDoc doc) {
    TidyNode root = tidyGetRoot(doc);
    std::size_t level = 1, deepest = 0;
    for (TidyNode node = root != nullptr ? tidyGetChild(root) : nullptr; node != nullptr;) {
        deepest = std::max(deepest, level);
        if (TidyNode child = tidyGetChild(node)) {
            node = child;
            ++level;
            continue;
        }
        while (node != nullptr && tidyGetNext(node) == nullptr) {
            node = tidyGetParent(node);
            --level;
            if (node == root) node = nullptr;
        }
        if (node != nullptr) node = tidyGetNext(node);
    }
    return deepest;
}

namespace {

void RunParse(void* data) {
    auto* job = static_cast<ParseJob*>(data);
    const TidyParseRequest& request = *job->request;
    ParseBudget budget(request.bytes);
    budget.WatchDescent(__builtin_frame_address(0), job->descentLimit);
    TidyDoc doc = NewParserDocument(budget.Allocator());
    if (doc == nullptr) {
        job->status = kOutOfMemory;
        return;
    }
    ConfigureImportParser(doc, request.xmlInput);
    if (!job->declaredNames.empty()) {
        // The import's own inline tags, and the names the page uses.
        const std::string inlineTags = std::string(kInlineTags) + " " + job->declaredNames;
        tidyOptSetValue(doc, TidyInlineTags, inlineTags.c_str());
    }
    ParseWatch watch;
    watch.budget = &budget;
    tidySetAppData(doc, &watch);
    std::unique_ptr<RecordTextSource> records;
    if (request.records != nullptr) records = std::make_unique<RecordTextSource>(request.records);
    ParseInput input{records.get(), request.utf8, &budget, 0, {}};
    TidyInputSource source;
    tidyInitSource(&source, &input, SourceGetByte, SourceUngetByte, SourceAtEnd);
    std::jmp_buf escape;
    if (setjmp(escape) != 0) {
        // The parse went past its budget, its descent or out of memory: the
        // document is abandoned, and its memory with it.
        budget.FreeAll();
        if (budget.OutOfMemory()) {
            job->status = kOutOfMemory;
        } else if (budget.DescentPassed()) {
            job->status = kHtmlPastBound;
            job->result->bound = HtmlBoundMet{HtmlBound::kNesting, budget.BytesRead()};
        } else {
            job->status = kHtmlTreeLost;
        }
        return;
    }
    budget.Arm(&escape);
    tidyParseSource(doc, &source);
    if (request.clean) {
        tidyOptSetBool(doc, TidyMakeClean, yes);
        tidyCleanAndRepair(doc);
    }
    budget.Disarm();
    if (!job->measure && request.unknownAsInline && job->declaredNames.empty() && !watch.unknownNames.empty() &&
        !watch.namesLost) {
        job->unknownNames = std::move(watch.unknownNames);
        budget.FreeAll();
        return;
    }
    if (job->measure) {
        job->deepest = budget.Deepest();
        job->treeLevels = ParserTreeLevels(doc);
        tidyRelease(doc);
        return;
    }
    if (records != nullptr && records->Failed()) job->status = kOutOfMemory;
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
    // Every block of the document is the budget's: they go together.
    budget.FreeAll();
}

// The kinds of nesting the descent is measured on: what stands before the
// levels, and one level. Each makes the parser descend its own way (blocks,
// inline elements, lists, tables, options, content taken as text
// elsewhere, XML).
struct NestingShape {
    const char* before;
    const char* level;
    bool xml;
};
constexpr NestingShape kNestingShapes[] = {
    {"", "<div>", false},          {"", "<blockquote>", false},    {"", "<ul><li>", false},
    {"", "<ol><li>", false},       {"", "<dl><dd>", false},        {"", "<table><tr><td>", false},
    {"", "<b>", false},            {"", "<span>", false},          {"", "<font>", false},
    {"", "<form>", false},         {"", "<object>", false},        {"", "<center>", false},
    {"", "<fieldset>", false},     {"", "<p><span>", false},       {"", "<td><div>", false},
    {"", "<li><div>", false},      {"", "<x:y>", false},           {"<select>", "<optgroup>", false},
    {"<textarea>", "<div>", false}, {"<title>", "<div>", false},   {"", "<a>", true},
};
constexpr std::size_t kMeasuredLevels = 64;
// Inputs that descend no deeper than their frame, with messages of the
// library on the way (a stray end tag, an unknown element).
constexpr const char* kFlatInputs[] = {"x", "<p>x</div></b><x-y>z</x-y><table><td>y"};
// Room beyond the measured levels for frames no input measured here takes.
constexpr std::size_t kDescentSlack = 8 * 1024;
// Used when nothing can be measured: well above what a level takes.
constexpr std::size_t kFallbackBase = 64 * 1024;
constexpr std::size_t kFallbackPerLevel = 256;

struct Measured {
    bool ok = false;
    std::size_t deepest = 0;
    std::size_t levels = 0;
};

Measured Measure(const std::string& text, bool xml) {
    TidyParseRequest request;
    request.utf8 = text;
    request.bytes = text.size();
    request.xmlInput = xml;
    TidyParseResult result;
    ParseJob job(&request, &result);
    job.measure = true;
    Measured measured;
    if (!RunOnLargeStack(kBaseStack, RunParse, &job) || job.status != kOK) return measured;
    measured.ok = true;
    measured.deepest = job.deepest;
    measured.levels = job.treeLevels;
    return measured;
}

std::size_t MeasureDescentLimit() {
    std::size_t base = 0;
    for (const char* flat : kFlatInputs) {
        const Measured measured = Measure(flat, false);
        if (!measured.ok) return kFallbackBase + kMaxHtmlNesting * kFallbackPerLevel;
        base = std::max(base, measured.deepest);
    }
    std::size_t perLevel = 0;
    for (const NestingShape& shape : kNestingShapes) {
        const Measured flat = Measure(std::string(shape.before) + "x", shape.xml);
        std::string nested = shape.before;
        for (std::size_t n = 0; n < kMeasuredLevels; ++n) nested += shape.level;
        nested += "x";
        const Measured deep = Measure(nested, shape.xml);
        if (!flat.ok || !deep.ok) return kFallbackBase + kMaxHtmlNesting * kFallbackPerLevel;
        base = std::max(base, flat.deepest);
        // Shapes the parser does not nest say nothing of a level.
        if (deep.levels < flat.levels + kMeasuredLevels / 2 || deep.deepest <= flat.deepest) continue;
        const std::size_t levels = deep.levels - flat.levels;
        perLevel = std::max(perLevel, (deep.deepest - flat.deepest + levels - 1) / levels);
    }
    if (perLevel == 0) return kFallbackBase + kMaxHtmlNesting * kFallbackPerLevel;
    return base + kMaxHtmlNesting * perLevel + kDescentSlack;
}

} // namespace

std::size_t ParserDescentLimit() {
    static const std::size_t limit = MeasureDescentLimit();
    return limit;
}

STATUS ParseWithTidy(const TidyParseRequest& request, TidyParseResult* result) {
    *result = TidyParseResult{};
    if (request.bytes > kMaxHtmlInput) {
        result->bound = HtmlBoundMet{HtmlBound::kSize, request.bytes};
        return kHtmlPastBound;
    }
    MarkupScan scan(request.xmlInput);
    if (request.records != nullptr) {
        RecordTextSource text(request.records);
        char chunk[4096];
        std::size_t held = 0;
        for (int byte; scan.Met().bound == HtmlBound::kNone && (byte = text.NextByte()) >= 0;) {
            chunk[held++] = static_cast<char>(byte);
            if (held == sizeof chunk) {
                scan.Feed(std::string_view(chunk, held));
                held = 0;
            }
        }
        scan.Feed(std::string_view(chunk, held));
        if (text.Failed()) return kOutOfMemory;
    } else {
        scan.Feed(request.utf8);
    }
    if (scan.Met().bound != HtmlBound::kNone) {
        result->bound = scan.Met();
        return kHtmlPastBound;
    }
    ParseJob job(&request, result);
    job.descentLimit = ParserDescentLimit();
    const std::size_t stack = kBaseStack + kDescentRooms * job.descentLimit;
    if (!RunOnLargeStack(stack, RunParse, &job)) return kOutOfMemory;
    if (job.status == kOK && !job.unknownNames.empty()) {
        // Elements the library did not know (custom elements, names of
        // other vocabularies) are parsed again as inline elements, as a
        // browser takes them, so that their content is imported.
        job.declaredNames = std::move(job.unknownNames);
        job.unknownNames.clear();
        if (!RunOnLargeStack(stack, RunParse, &job)) return kOutOfMemory;
    }
    return job.status;
}

} // namespace talix
