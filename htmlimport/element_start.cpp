// The start pass of the walk: the element handlers in their order, and
// those of the inline and simple elements (line breaks, font elements,
// style, links, head and body, script, headings, images, horizontal
// rules, pre and dl).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "core/font_spec.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/css_colours.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/css_rules.h"
#include "htmlimport/element_walk.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_fonts.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_paragraph.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/walk_handlers.h"
#include "htmlimport/walk_memo.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// A line break once this much text (each run counting 20 more) has gone
// into the paragraph starts a new paragraph instead.
constexpr std::uint32_t kLongParagraph = 16001;
constexpr std::size_t kFaceAttributeChars = 32;
constexpr std::uint8_t kHeadingSizes[6] = {20, 16, 12, 10, 9, 7};

// The horizontal rule: flags, width (percent) and height, and two colour
// words.
constexpr std::uint32_t kRuleFlags = 13;
constexpr std::uint16_t kRuleWidth = 100, kRuleHeight = 25, kRuleColor = 0xFFFF;

constexpr const char* kPaperColorEx = "$PaperColorEx";
constexpr const char* kPaperColor = "$PaperColor";
constexpr plat::WORD kPaperColorFlags = plat::ITEM_SUMMARY;
constexpr plat::WORD kPaperColorType = plat::TYPE_COMPOSITE;

bool IsTextRun(const CDRecordNode* node) {
    return node != nullptr && (node->signature == kSigText || node->signature == kSigBidiText);
}

bool IsCell(const CDRecordNode* node) {
    return node->signature == kSigTableCell || node->signature == kSigNestedTableCell;
}

int HeadingLevel(const HtmlNode* node) {
    const char* name = node->name;
    if (name == nullptr || (name[0] != 'h' && name[0] != 'H') || name[1] < '1' || name[1] > '6' || name[2] != '\0')
        return 0;
    return name[1] - '0';
}

bool IsBlockElement(const HtmlNode* node) { return node != nullptr && node->IsElement() && IsBlockWithBreak(node->tag); }

// Nothing after text (or at the end of the records), else an empty run.
void EmptyRunUnlessAfterText(BuildContext* context, HTMLImportContext* import) {
    const CDRecordNode* at = import->insertAfter;
    if (at != nullptr && !IsTextRun(at)) AppendEmptyRun(context, import);
}

void LineBreak(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    if (import->textSinceParagraph >= kLongParagraph) {
        AppendParagraphBreak(context, import);
        return;
    }
    const HtmlNode* parent = node->parent;
    const bool firstInDiv =
        parent != nullptr && node->prev == nullptr &&
        (parent->Is(HtmlTag::kDiv) ||
         (parent->Is(HtmlTag::kSpan) && parent->prev == nullptr && parent->parent != nullptr &&
          parent->parent->Is(HtmlTag::kDiv)));
    if (firstInDiv || IsBlockElement(node->next)) {
        EmptyRunUnlessAfterText(context, import);
    } else {
        AppendLineBreak(context, import);
    }
}

void FontElement(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    import->fontColorText[0] = '\0';
    FontId font = import->fontStack[import->fontDepth];
    for (const HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
        const char* value = attr->value != nullptr ? attr->value : "";
        if (CompareNamesNoCase(attr->name, "face") == 0) {
            const int id = ImportFaceId(context, import, value, kFaceAttributeChars);
            if (id >= 0) font.face = static_cast<std::uint8_t>(id);
        } else if (CompareNamesNoCase(attr->name, "size") == 0) {
            // A signed size steps from the current one; any other is a size of its own.
            const bool sign = value[0] == '+' || value[0] == '-';
            font.size = MapHTMLFontSize(import, LeadingInteger(sign ? value + 1 : value), value[0], font.size);
        } else if (CompareNamesNoCase(attr->name, "color") == 0) {
            std::snprintf(import->fontColorText, sizeof import->fontColorText, "%s", value);
        }
    }
    if (import->fontDepth < kFontStackDepth - 1) ++import->fontDepth;
    import->fontStack[import->fontDepth] = font;
    SetCurrentImportFont(context, font);
}

// A style element is CSS when its type is "text/css", wherever that
// attribute stands among its others ("media" often comes first). One
// written without a type is CSS too: the parser gives such an element no
// type, where HTML of before took it as text/css.
void StyleElement(HTMLImportContext* import, const HtmlNode* node) {
    const char* type = AttributeValue(node, "type");
    if (type == nullptr || CompareNamesNoCase(type, "text/css") == 0) import->inStyleElement = 1;
}

// A link or picture the conversion could not make is left out (a link's
// text stays), and the log says which; it ends no import. Memory running
// out for a link is the import's failure; for a picture, 263 is also the
// builders' answer to too little image data, and the picture is left out
// (memory running out for its records is kept by the record list all the
// same).
void LeftOutUnlessMade(HTMLImportContext* import, const HtmlNode* node, const char* what, const char* attribute,
                       STATUS status, bool outOfMemoryFails) {
    if (status == kOK) return;
    if (status == kOutOfMemory && outOfMemoryFails) {
        KeepFailure(import, status);
        return;
    }
    const char* named = AttributeValue(node, attribute);
    plat::LogLine(0, "%s '%.200s' left out (status %u)", what, named != nullptr ? named : "",
                  static_cast<unsigned>(status));
}

void Link(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    if (import->hotspotOpen != 0) {
        const bool named = FindAttribute(node, "name") != nullptr;
        if (!named || FindAttribute(node, "href") != nullptr) return;
    }
    LeftOutUnlessMade(import, node, "Link", "href", ConvertLinkFromHTML(context, import, node), true);
}

// The body's class (so that rules for the item's body apply) and its page
// colour (written to the note when the import has worked, WritePaperColor).
void Body(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    ZervaRTItem* item = context->output.item;
    if (FindAttribute(node, "class") == nullptr && import->document != nullptr) {
        const std::string name = std::string("RTF") + (item != nullptr && item->itemName != nullptr ? item->itemName : "");
        import->document->SetAttribute(node, "class", name);
        if (import->walkMemo != nullptr) import->walkMemo->ForgetStyles();
    }
    const char* color = AttributeValue(node, "bgcolor");
    if (color == nullptr || color[0] == '\0' || CompareNamesNoCase(color, "transparent") == 0 || item == nullptr)
        return;
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (ParseColorSpec(ColourTextForParser(color).c_str(), &index, &rgb) != kOK) return;
    std::uint8_t record[8] = {static_cast<std::uint8_t>(kSigColor), 8};
    WriteWord(record + 2, kColorIsRGB);
    record[4] = static_cast<std::uint8_t>(rgb);
    record[5] = static_cast<std::uint8_t>(rgb >> 8);
    record[6] = static_cast<std::uint8_t>(rgb >> 16);
    std::uint32_t length = sizeof record;
    const void* stored = item->ConvertToCanonicalData(record, kSigColor, &length);
    if (stored == nullptr || length > sizeof import->paperColorData) return;
    std::memcpy(import->paperColorData, stored, length);
    import->paperColorLength = length;
    import->paperColor = index;
}

bool IsCellElement(const HtmlNode* node) { return node != nullptr && (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh)); }

// A heading first in a table cell takes the cell's paragraph over: while
// the cell's paragraph is still empty the heading stands in it, under the
// cell's own definition (its alignment kept); when the cell already holds
// text, that definition is rebuilt from the heading's paragraph
// properties. False when the heading writes no paragraph start of its own.
bool HeadingInCell(BuildContext* context, HTMLImportContext* import, const HtmlNode* node,
                   const FontId& headingFont) {
    if (node->prev != nullptr || !IsCellElement(node->parent) || import->tableLevel == 0 ||
        import->insertAfter == nullptr)
        return true;
    bool sawText = false;
    for (CDRecordNode* at = import->insertAfter->prev; at != nullptr; at = at->prev) {
        if (IsCell(at)) return true;
        if (IsTextRun(at) && at->length != kTextRunHeader && !sawText) {
            sawText = true;
            SetCurrentImportFont(context, headingFont);
            continue;
        }
        if (at->signature != kSigPabDefinition) continue;
        if (!sawText) return false;
        std::string text;
        CalcParagraphFromHTML(import, node, &text);
        ParseImportParagraphStyle(context, import, text.c_str(), ParagraphReset::kBlockDefaults);
        std::uint8_t image[kParagraphImageSize] = {};
        std::memcpy(image, at->bytes, std::min<std::uint32_t>(at->length, kParagraphImageSize));
        WriteWord(image + 2, static_cast<std::uint16_t>(std::min<std::uint32_t>(at->length, kParagraphImageSize)));
        ApplyParagraphStyle(context, image);
        ReplaceImportRecordBytes(at, image, ReadWord(image + 2), import);
        return false;
    }
    return true;
}

void Heading(BuildContext* context, HTMLImportContext* import, const HtmlNode* node, int level,
             ElementMemo* memo) {
    FontId font = CurrentImportFont(context);
    memo->restoreFont = true;
    memo->restoreSize = font.size;
    memo->restoreClearsBold = (font.attributes & kAttrBold) == 0;
    import->headingSize = kHeadingSizes[level - 1];
    font.attributes |= kAttrBold;
    font.size = kHeadingSizes[level - 1];
    // A heading that begins a list item stands in the item's paragraph,
    // which the item has just started.
    const bool beginsItem = node->prev == nullptr && node->parent != nullptr && node->parent->Is(HtmlTag::kLi);
    if (HeadingInCell(context, import, node, font) && !beginsItem) {
        AppendParagraphRecord(context);
        AppendReferenceRecord(context);
    }
    SetCurrentImportFont(context, font);
    AppendEmptyRun(context, import);
    import->textSinceParagraph = 0;
}

bool InsideSvg(const HtmlNode* node) {
    for (const HtmlNode* at = node->parent; at != nullptr; at = at->parent)
        if (at->Is(HtmlTag::kSvg)) return true;
    return false;
}

// Whether the element's content is never shown with the page: a script, a
// style sheet, a title, a template (markup a script copies into the page),
// and the description and metadata of a picture in SVG.
bool ContentUnshown(const HtmlNode* node) {
    if (!node->IsElement()) return false;
    if (node->Is(HtmlTag::kScript) || node->Is(HtmlTag::kStyle) || node->Is(HtmlTag::kTitle) ||
        node->Is(HtmlTag::kTemplate))
        return true;
    return node->tag == HtmlTag::kUnknown && node->name != nullptr && InsideSvg(node) &&
           (CompareNamesNoCase(node->name, "desc") == 0 || CompareNamesNoCase(node->name, "metadata") == 0);
}

// Whether text or an inline element stands next to the node among its
// siblings, before it or after it (blanks and comments between them aside).
bool InlineBeside(const HtmlDocument& document, const HtmlNode* node, bool before);

// The rule stands on a line of its own: text or an inline element before
// it ends its paragraph, and text or an inline element after it starts
// one, where the words on either side of the rule ran together.
void HorizontalRule(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const bool textBefore = import->document != nullptr && InlineBeside(*import->document, node, true);
    const bool textAfter = import->document != nullptr && InlineBeside(*import->document, node, false);
    if (textBefore) KeepFailure(import, AppendParagraphBreak(context, import));
    AppendEmptyRun(context, import);
    std::uint8_t record[kHorizontalRuleLength] = {};
    WriteWord(record, kSigHorizontalRule);
    WriteWord(record + 2, kHorizontalRuleLength);
    WriteDword(record + 4, kRuleFlags);
    WriteWord(record + 8, kRuleWidth);
    WriteWord(record + 10, kRuleHeight);
    WriteWord(record + 12, kRuleColor);
    WriteWord(record + 14, kRuleColor);
    KeepFailure(import, AppendRecord(record, kSigHorizontalRule, sizeof record, &context->output));
    AppendEmptyRun(context, import);
    if (textAfter) KeepFailure(import, AppendParagraphBreak(context, import));
}

// Whether the node shows nothing between blocks: blanks, a comment.
bool ShowsNothing(const HtmlDocument& document, const HtmlNode* node) {
    return IsBlankText(document, node) || (node->type != HtmlNodeType::kText && !node->IsElement());
}

bool InlineBeside(const HtmlDocument& document, const HtmlNode* node, bool before) {
    const HtmlNode* at = before ? node->prev : node->next;
    while (at != nullptr && (ShowsNothing(document, at) || ContentUnshown(at)))
        at = before ? at->prev : at->next;
    if (at == nullptr) return false;
    if (at->type == HtmlNodeType::kText) return true;
    return at->IsElement() && !StandsApart(at->tag) && !IsPlainBlock(at->tag);
}

// Whether the block begins with text or an inline element, looking into the
// plain blocks it begins with: a block that begins with a block of its own
// (a p, a list, a table) leaves the line to that block.
bool BeginsInline(const HtmlDocument& document, const HtmlNode* node) {
    for (const HtmlNode* at = node->firstChild; at != nullptr;) {
        if (ShowsNothing(document, at) || ContentUnshown(at)) {
            at = at->next;
        } else if (at->IsElement() && IsPlainBlock(at->tag)) {
            at = at->firstChild;
        } else {
            return at->type == HtmlNodeType::kText || !StandsApart(at->tag);
        }
    }
    return false;
}

// Whether a block that begins with text would run on from what stands
// before it: text, an inline element or a block without handling of its
// own (blanks and comments between them aside).
bool RunsOnFrom(const HtmlDocument& document, const HtmlNode* node) {
    const HtmlNode* prev = node->prev;
    while (prev != nullptr && (ShowsNothing(document, prev) || ContentUnshown(prev))) prev = prev->prev;
    if (prev == nullptr || (prev->IsElement() && StandsApart(prev->tag))) return false;
    return BeginsInline(document, node);
}

// Whether the block stands in a list item of the list being walked (not in
// a table cell within the item).
bool InListItem(const HTMLImportContext* import, const HtmlNode* node) {
    if (import->listLevel == 0) return false;
    for (const HtmlNode* at = node->parent; at != nullptr; at = at->parent) {
        if (at->Is(HtmlTag::kLi)) return true;
        if (at->Is(HtmlTag::kTd) || at->Is(HtmlTag::kTh) || at->Is(HtmlTag::kTable) || at->Is(HtmlTag::kUl) ||
            at->Is(HtmlTag::kOl) || at->Is(HtmlTag::kBody))
            return false;
    }
    return false;
}

// A block in a list item opens a paragraph of its own definition, or ends
// with one: the item's paragraph is kept for its close to put back.
void KeepItemParagraph(const BuildContext* context, const HTMLImportContext* import, const HtmlNode* node,
                       ElementMemo* memo) {
    if (!InListItem(import, node)) return;
    memo->restoresItemParagraph = true;
    memo->itemReferenceId = CurrentReferenceId(context);
    memo->itemDefinitionLength = context->paragraphDefinitionLength;
    std::memcpy(memo->itemDefinition, context->paragraphDefinition, sizeof memo->itemDefinition);
}

// A division ends with a paragraph modelled on the definition in force
// before it, whatever its content made current.
void KeepBlockDefinition(const BuildContext* context, ElementMemo* memo) {
    memo->restoresBlockDefinition = true;
    memo->blockDefinitionLength = context->paragraphDefinitionLength;
    std::memcpy(memo->blockDefinition, context->paragraphDefinition, sizeof memo->blockDefinition);
}

} // namespace

StartAction StartElement(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                         ElementMemo* memo) {
    if (node->name == nullptr || node->name[0] == '\0') return StartAction::kWalkChildren;
    switch (node->tag) {
    case HtmlTag::kBr: LineBreak(context, import, node); break;
    case HtmlTag::kFont: FontElement(context, import, node); break;
    case HtmlTag::kStyle: StyleElement(import, node); break;
    case HtmlTag::kA: Link(context, import, node); break;
    case HtmlTag::kLink: {
        // A style sheet that cannot be read is left out (the log says why).
        const STATUS sheet = LoadLinkedStyleSheet(import, node);
        if (sheet != kNoHtmlInput) KeepFailure(import, sheet);
        break;
    }
    case HtmlTag::kHead: import->inHead = 1; break;
    case HtmlTag::kBody: Body(context, import, node); break;
    case HtmlTag::kScript: return StartAction::kSkipChildren;
    case HtmlTag::kDiv:
    case HtmlTag::kP:
    case HtmlTag::kBlockquote:
    case HtmlTag::kCenter:
        KeepItemParagraph(context, import, node, memo);
        if (node->tag == HtmlTag::kDiv || node->tag == HtmlTag::kCenter) KeepBlockDefinition(context, memo);
        return StartBlockParagraph(context, import, node);
    case HtmlTag::kSpan: StartPassthruSpan(context, import, node); break;
    case HtmlTag::kImg:
    case HtmlTag::kVmlImageData:
        if (import->skipNextImage != 0) {
            import->skipNextImage = 0;
        } else {
            LeftOutUnlessMade(import, node, "Picture", "src", ConvertImageFromHTML(context, import, node), false);
        }
        break;
    case HtmlTag::kHr: HorizontalRule(context, import, node); break;
    case HtmlTag::kTable: return StartTableFromHTML(context, import, node, memo);
    case HtmlTag::kTr: return StartTableRowFromHTML(context, import, node);
    case HtmlTag::kTd:
    case HtmlTag::kTh: return StartTableCellFromHTML(context, import, node);
    case HtmlTag::kUl:
    case HtmlTag::kOl: return StartListFromHTML(context, import, node);
    case HtmlTag::kLi: return StartListItemFromHTML(context, import, node);
    case HtmlTag::kPre:
        import->inPre = 1;
        AppendParagraphBreak(context, import);
        break;
    case HtmlTag::kDl:
        AppendLineBreak(context, import);
        break;
    case HtmlTag::kDt:
    case HtmlTag::kDd:
        // Terms and descriptions stand on lines of their own: the first
        // follows the list's own line break, each later one starts a line.
        if (node->prev != nullptr) AppendLineBreak(context, import);
        break;
    default:
        // A title, wherever it stands, a template, and the description and
        // metadata of a picture in SVG are not shown with the page.
        if (ContentUnshown(node)) return StartAction::kSkipChildren;
        if (IsPlainBlock(node->tag)) {
            if (RunsOnFrom(*import->document, node)) KeepFailure(import, AppendParagraphBreak(context, import));
        } else if (const int level = HeadingLevel(node)) {
            Heading(context, import, node, level, memo);
        }
        break;
    }
    return StartAction::kWalkChildren;
}

bool IsBlankText(const HtmlDocument& document, const HtmlNode* node) {
    return node->type == HtmlNodeType::kText &&
           document.Text(node).find_first_not_of(" \t\r\n") == std::string_view::npos;
}

void WritePaperColor(BuildContext* context, HTMLImportContext* import) {
    ZervaRTItem* item = context->output.item;
    if (import->paperColorLength == 0 || item == nullptr) return;
    // One page colour: an earlier one of the note gives way.
    const plat::WORD nameLength = static_cast<plat::WORD>(std::strlen(kPaperColorEx));
    plat::ItemDelete(item->noteHandle, kPaperColorEx, nameLength);
    KeepFailure(import, plat::ItemAppend(item->noteHandle, kPaperColorFlags, kPaperColorEx, nameLength,
                                         kPaperColorType, import->paperColorData, import->paperColorLength));
    const plat::NUMBER number = import->paperColor;
    KeepFailure(import, plat::ItemSetNumber(item->noteHandle, kPaperColor, &number));
}

} // namespace talix
