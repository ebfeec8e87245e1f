// The tree walk of an HTML import: the set-up of the conversion (units,
// character set), the walk over the parsed tree node by node, and the
// hand-on of the records it collected to the item. A failure of any step
// (KeepFailure) ends the walk at the next node; the records are then
// dropped, and nothing reaches the item.
//
// The walk keeps its own stack of sibling lists, one entry per level of
// the tree, so that however deep the document nests, the C++ stack does
// not grow with it.
#include "htmlimport/tree_walk.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "builders/build_context.h"
#include "builders/walked_paragraphs.h"
#include "core/charset_names.h"
#include "core/chunk_work_state.h"
#include "core/debug_level.h"
#include "core/options.h"
#include "core/text_compare.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/element_walk.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/table_grid.h"
#include "htmlimport/walk_memo.h"
#include "talix/chunk.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The conversion's results that are no statuses.
constexpr std::uint32_t kParserWarnings = 1;
constexpr std::uint32_t kParserErrors = 2;
// The walk's debug level is notes.ini "MirratDebug" less this.
constexpr long kDebugOffset = 4;
constexpr const char* kSectionTag = "<<SectionTag>>";
constexpr std::uint32_t kOptionValueSize = 256;

bool Tracing() { return g_debugLevel > 2; }

const HtmlNode* ChildElement(const HtmlNode* parent, HtmlTag tag) {
    for (const HtmlNode* node = parent != nullptr ? parent->firstChild : nullptr; node != nullptr; node = node->next)
        if (node->Is(tag)) return node;
    return nullptr;
}

// The character set a content-type meta element of the head names: the
// first whose "name" is content-type and whose content gives one.
std::string MetaCharset(const HtmlDocument& document) {
    const HtmlNode* html = ChildElement(document.Root(), HtmlTag::kHtml);
    const HtmlNode* head = ChildElement(html, HtmlTag::kHead);
    for (const HtmlNode* meta = head != nullptr ? head->firstChild : nullptr; meta != nullptr; meta = meta->next) {
        if (!meta->Is(HtmlTag::kMeta)) continue;
        const char* name = AttributeValue(meta, "name");
        const char* content = AttributeValue(meta, "content");
        if (name == nullptr || CompareNamesNoCase(name, "content-type") != 0 || content == nullptr) continue;
        char value[kOptionValueSize] = {};
        if (GetOptionValue(content, "charset=", value, sizeof value) != 0 && value[0] != '\0') return value;
    }
    return std::string();
}

// The walk's options: units, the black-background switch and the
// character set.
void ReadWalkOptions(HTMLImportContext* import) {
    ReadLengthOptions(import);
    char value[kOptionValueSize] = {};
    const char* options = import->optionText;
    import->suppressBlackBackground =
        GetOptionValue(options, "SuppressBlackBackground=", value, sizeof value) != 0 &&
                CompareNamesNoCase(value, "Yes") == 0
            ? 1
            : 0;
    std::string charset;
    if (GetOptionValue(options, "charset=", value, sizeof value) != 0) {
        charset = value;
    } else if (import->document != nullptr) {
        charset = MetaCharset(*import->document);
    }
    import->charset = kUtf8Charset;
    if (!charset.empty()) import->charset = static_cast<std::uint16_t>(CharsetNameToId(charset.c_str(), kUtf8Charset));
}

// A text node: CSS inside a style element (up to its first nested element
// or its end), dropped in the head and while a link writes its own text,
// else text runs.
void TextNode(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    if (Tracing()) plat::LogLine(0, "TextNode in");
    if (node->end != 0) {
        if (import->inStyleElement != 0) {
            const std::string_view css = import->document->Text(node);
            KeepFailure(import, ParseCSSRules(import, css.data(), css.size()));
        } else if (import->inHead == 0 && import->skipText == 0) {
            KeepFailure(import, CalcFontFromHTML(context, import, node));
            if (node->end > node->start) import->insertAfter = import->lastAdded;
        }
    }
    if (Tracing()) plat::LogLine(0, "TextNode out");
}

void SectionTag(BuildContext* context) {
    RARIvoSession* session = context->session;
    if (session == nullptr) return;
    std::snprintf(session->textResult, sizeof session->textResult, "%s", kSectionTag);
}

// One sibling list being walked: the node the walk stands at, its level,
// and what the node's start pass left for its closing pass.
struct SiblingList {
    HtmlNode* node;
    std::uint16_t level;
    ElementMemo memo;
};

// The start pass of a node.
StartAction StartNode(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                      ElementMemo* memo) {
    switch (node->type) {
    case HtmlNodeType::kText:
        TextNode(context, import, node);
        return StartAction::kWalkChildren;
    case HtmlNodeType::kStartTag:
    case HtmlNodeType::kStartEndTag:
        if (node->name == nullptr || node->name[0] == '\0') return StartAction::kWalkChildren;
        if (Tracing()) plat::LogLine(0, "StartTag in with %s", node->name);
        import->inStyleElement = 0;
        return StartElement(context, import, node, memo);
    case HtmlNodeType::kSection:
        SectionTag(context);
        return StartAction::kWalkChildren;
    case HtmlNodeType::kComment:
    case HtmlNodeType::kProcessingInstruction:
        return StartAction::kSkipChildren;
    default:
        return StartAction::kWalkChildren;
    }
}

// After the node's children (or in their place): its closing pass, then on
// to its next sibling.
void FinishNode(BuildContext* context, HTMLImportContext* import, SiblingList* list) {
    HtmlNode* node = list->node;
    // A style element's CSS ends with the element: text that follows it in
    // the same parent is content again.
    if (node->Is(HtmlTag::kStyle)) import->inStyleElement = 0;
    if (node->type == HtmlNodeType::kStartTag && node->name != nullptr && node->name[0] != '\0')
        CloseElement(context, import, node, list->memo);
    if (import->walkMemo != nullptr) import->walkMemo->LeftElement();
    list->node = node->next;
}

} // namespace

void HTMLNodeToRichText(BuildContext* context, HTMLImportContext* import, HtmlNode* first,
                        std::uint16_t level) {
    if (context == nullptr || import == nullptr) return;
    if (level == 1 && context->chunk != nullptr && context->chunk->work != nullptr) {
        const ChunkWorkState* work = context->chunk->work;
        if (work->styleSheetText != nullptr && work->styleSheetLength != 0)
            KeepFailure(import, ParseCSSRules(import, work->styleSheetText, work->styleSheetLength));
    }
    if (first == nullptr) return;
    std::vector<SiblingList> lists;
    lists.push_back(SiblingList{first, level, {}});
    while (!lists.empty() && import->failure == kOK) {
        SiblingList& list = lists.back();
        if (list.node == nullptr) {
            lists.pop_back();
            if (!lists.empty()) FinishNode(context, import, &lists.back());
            continue;
        }
        HtmlNode* node = list.node;
        import->skipChildren = 0;
        list.memo = ElementMemo{};
        const StartAction action = StartNode(context, import, node, &list.memo);
        if (action == StartAction::kEndSiblings) {
            lists.pop_back();
            if (!lists.empty()) FinishNode(context, import, &lists.back());
            continue;
        }
        if (action == StartAction::kSkipElement) {
            list.node = node->next;
            continue;
        }
        if (action == StartAction::kWalkChildren && import->skipChildren == 0 && node->firstChild != nullptr) {
            const std::uint16_t childLevel = static_cast<std::uint16_t>(list.level + 1);
            lists.push_back(SiblingList{node->firstChild, childLevel, {}});
            continue;
        }
        FinishNode(context, import, &list);
    }
}

std::uint32_t ConvertHTMLTreeToRichText(const char*, BuildContext* context, HTMLImportContext* import) {
    if (context == nullptr || import == nullptr) return kArgumentError;
    ReadWalkOptions(import);
    if (import->errorsOnly == 0 && import->parseErrors == 0 && import->document != nullptr) {
        SetDebugLevelFromSetting("MirratDebug", kDebugOffset);
        // New paragraph ids lie above every id of the item.
        FindHighestPabID(context);
        import->documentHasTwistie = -1;
        try {
            WalkMemo memo(import);
            import->walkMemo = &memo;
            HTMLNodeToRichText(context, import, import->document->Root(), 1);
        } catch (const std::bad_alloc&) {
            KeepFailure(import, kOutOfMemory);
        }
        import->walkMemo = nullptr;
        // What the tables kept points into the records handed on next.
        import->tables.reset();
        import->tableLevel = 0;
        import->listLevel = 0;
        import->afterListItem = 0;
        import->documentHasTwistie = -1;
    }
    if (import->failure == kOK) WritePaperColor(context, import);
    if (import->failure == kOK) {
        HandOnImportRecords(context, import);
    } else {
        DetachImport(&context->output, import);
        FreeImportRecords(import);
    }
    import->styleRules1.Clear();
    import->styleRules2.Clear();
    import->document.reset();
    if (import->parseErrors != 0) return kParserErrors;
    if (import->failure != kOK) return import->failure;
    if (import->handOnStatus != kOK) return import->handOnStatus;
    if (import->parseWarnings != 0) return kParserWarnings;
    return kOK;
}

} // namespace talix
