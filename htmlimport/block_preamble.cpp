// What comes before a block's paragraph: quoted mail replies become
// collapsible sections titled after the quoted message, the header block of
// a section is left out (the section's title holds its text), the block's
// writing direction is read, and a positioned division becomes a layer.
// Also the start of pass-thru spans.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/hotspot_builders.h"
#include "builders/section_builders.h"
#include "core/debug_level.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/layer_conversion.h"
#include "htmlimport/node_search.h"
#include "htmlimport/section_recognition.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/walk_handlers.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kReplyClass = "gmail_quote";
constexpr const char* kPassthruClass = "NotesPassthruHTML";
constexpr const char* kPostReplyOptions = "BorderStyle='PostReply' ";
// A reply header ("On <date>, <sender> wrote:") is longer than this.
constexpr std::size_t kShortestReplyHeader = 33;
// The parts of a reply's title, each cut to its size without splitting a
// character: the sender's link text and the header line.
constexpr std::uint32_t kReplyLinkSize = 1024;
constexpr std::uint32_t kReplyHeaderSize = 4096;

bool ClassIs(const HtmlNode* node, const char* wanted) {
    const char* value = AttributeValue(node, "class");
    return value != nullptr && CompareNamesNoCase(value, wanted) == 0;
}

bool IsTextRun(const CDRecordNode* node) { return node->signature == kSigText || node->signature == kSigBidiText; }

// Whether any block of the document can be a section: looked up once a
// walk, so that a document without sections (most) asks no block.
bool SectionsPossible(HTMLImportContext* import) {
    if (import->documentHasTwistie < 0)
        import->documentHasTwistie =
            import->document != nullptr && HoldsSectionTwistie(import->document->Root()) ? 1 : 0;
    return import->documentHasTwistie != 0;
}

// A division that heads the section its parent division is: the parent's
// first child, or the one right after a first child that is an empty span.
bool HeadsParentSection(HTMLImportContext* import, const HtmlNode* node) {
    const HtmlNode* parent = node->parent;
    if (parent == nullptr || !parent->Is(HtmlTag::kDiv)) return false;
    const HtmlNode* first = parent->firstChild;
    const bool heads = first == node || (first != nullptr && first->next == node && first->Is(HtmlTag::kSpan) &&
                                         first->firstChild == nullptr);
    return heads && SectionsPossible(import) && ConvertSectionFromHTML(import, parent, nullptr, nullptr, nullptr) != 0;
}

void ReadDirection(HTMLImportContext* import, const HtmlNode* node) {
    import->rightToLeft = 0;
    std::string direction;
    if (const char* dir = AttributeValue(node, "dir")) {
        direction = dir;
    } else if (const StyleValue value = FindStyleValue(node, "direction", &import->styleRules1, &import->styleRules2);
               value.has_value()) {
        direction = *value;
    }
    if (EqualNoCase(direction, "rtl")) import->rightToLeft = 1;
}

// Opens a collapsible section of border style PostReply with the title:
// the section builder reads its title from the operation's argument text
// and its options from the session's running options, both given back
// afterwards. The section's bar is followed by the end of its hotspot.
STATUS OpenReplySection(BuildContext* context, const std::string& title) {
    RARIvoSession* session = context->session;
    if (session == nullptr || session->workArea == nullptr) return kArgumentError;
    SessionWorkArea* work = session->workArea;
    const char* keptOptions = work->runningOptions;
    const char* keptTitle = context->argumentText;
    work->runningOptions = kPostReplyOptions;
    context->argumentText = title.c_str();
    const STATUS status = AppendSectionRecords(context);
    KeepBuilderParagraphId(context);
    const STATUS end = AppendHotspotEnd(context, kSigV4HotspotEnd);
    work->runningOptions = keptOptions;
    context->argumentText = keptTitle;
    return status != kOK ? status : end;
}

// A section from a section header the HTML writes: the title from the
// header's texts. Returns true when the division makes no paragraph (the
// header's first text was not empty).
bool SectionFromHeader(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    if (!SectionsPossible(import)) return false;
    char first[kSectionTextSize] = {};
    char title[kSectionTitleSize] = {};
    char third[kSectionTextSize] = {};
    if (ConvertSectionFromHTML(import, node, first, title, third) == 0) return false;
    std::string text;
    if (third[0] != '\0') {
        text = std::string(first) + "---" + third + "---" + title;
    } else if (first[0] != '\0') {
        text = std::string(first) + "---" + title;
    } else {
        text = title;
    }
    KeepFailure(import, OpenReplySection(context, text));
    // What follows goes into the section: after the last text run (or end
    // record) before the section's closing records.
    CDRecordNode* at = import->lastAdded;
    if (at != nullptr && at->prev != nullptr) at = at->prev;
    while (at != nullptr && !IsTextRun(at) && at->signature != kSigEnd) at = at->prev;
    import->insertAfter = at;
    return first[0] != '\0';
}

// The first anchor of the subtree whose first child is a text node with
// text.
const HtmlNode* SenderLink(const HtmlNode* top) {
    for (const HtmlNode* at = top->firstChild; at != nullptr; at = NextInside(const_cast<HtmlNode*>(at), top)) {
        if (!at->Is(HtmlTag::kA)) continue;
        const HtmlNode* text = at->firstChild;
        if (text != nullptr && text->type == HtmlNodeType::kText && text->end > text->start) return at;
    }
    return nullptr;
}

// A reply quoted in a "gmail_quote" division: its header line ("On ...
// wrote:") and the sender's link give the section's title.
void SectionFromReply(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const HtmlNode* header = node->firstChild;
    if (header == nullptr || header->type != HtmlNodeType::kText || import->document == nullptr) return;
    const std::string_view headerText = import->document->Text(header);
    if (headerText.size() < kShortestReplyHeader || !StartsWithNoCase(headerText, "On ")) return;
    const HtmlNode* link = SenderLink(node);
    if (link == nullptr) return;

    std::string sender(kReplyLinkSize, '\0');
    sender.resize(NodeTextToNative(import, link->firstChild, sender.data(), kReplyLinkSize, nullptr));
    std::string line(kReplyHeaderSize, '\0');
    line.resize(NodeTextToNative(import, header, line.data(), kReplyHeaderSize, nullptr));
    while (!line.empty() && (css::IsBlank(line.back()) || line.back() == ',')) line.pop_back();
    const std::string_view withoutOn = std::string_view(line).substr(line.size() < 3 ? line.size() : 3);
    const std::string title = sender + "---" + std::string(withoutOn) + "---" + line + ", wrote:";
    KeepFailure(import, OpenReplySection(context, title));

    // What follows goes into the section: after the nearest cell, definition
    // or text run before its closing records.
    CDRecordNode* last = import->lastAdded;
    import->insertAfter = last;
    for (CDRecordNode* at = last != nullptr ? last->prev : nullptr; at != nullptr; at = at->prev) {
        if (at->signature == kSigTableCell || at->signature == kSigNestedTableCell ||
            at->signature == kSigPabDefinition || IsTextRun(at)) {
            import->insertAfter = at;
            break;
        }
    }
}

} // namespace

BlockPreamble RunBlockPreamble(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    // A quoted reply in a block quote: only its content.
    if (node->Is(HtmlTag::kBlockquote) && ClassIs(node, kReplyClass)) return BlockPreamble::kNoParagraph;
    const bool division = node->Is(HtmlTag::kDiv);
    if (division && HeadsParentSection(import, node)) return BlockPreamble::kSkipBlock;
    if (g_debugLevel > 2) plat::LogLine(0, "%s: Step 1", node->name);

    ReadDirection(import, node);

    if (division && CalcLayerPosition(import, node) != 0) {
        // A hidden layer is left out; its content is kept all the same.
        const StyleValue visibility = FindStyleValue(node, "visibility", &import->styleRules1, &import->styleRules2);
        if (!visibility.has_value() || !StartsWithNoCase(*visibility, "hid"))
            KeepFailure(import, ConvertLayerFromHTML(context, import, node));
        return BlockPreamble::kNoParagraph;
    }
    if (!division) return BlockPreamble::kMakeParagraph;

    const bool noParagraph = SectionFromHeader(context, import, node);
    if (ClassIs(node, kReplyClass)) SectionFromReply(context, import, node);
    return noParagraph ? BlockPreamble::kNoParagraph : BlockPreamble::kMakeParagraph;
}

void StartPassthruSpan(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    // In mail the span is the sender's text like any other.
    if (import->passthruOpen != 0 || import->fromMail != 0) return;
    const char* spanClass = AttributeValue(node, "class");
    if (spanClass == nullptr || std::strcmp(spanClass, kPassthruClass) != 0) return;
    import->passthruOpen = 1;
    std::uint8_t record[kPassThroughRecordLength] = {};
    WriteWord(record, kSigHtmlBegin);
    WriteWord(record + 2, kPassThroughRecordLength);
    KeepFailure(import, AppendRecord(record, kSigHtmlBegin, sizeof record, &context->output));
}

} // namespace talix
