// The closing pass of the walk: what an element's start changed (font,
// colour, paragraph definition, flags) is restored, and the records that end
// its structure are written (hotspot end, pass-thru end, paragraph breaks
// after blocks).

#include <cstdio>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/hotspot_builders.h"
#include "builders/walked_paragraphs.h"
#include "core/debug_level.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/element_walk.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_paragraph.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_records.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/table_grid.h"
#include "htmlimport/walk_handlers.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kPassthruClass = "NotesPassthruHTML";
constexpr const char* kUndoQuoteIndent = "ShiftLeftOffset='-0.25' ShiftRightOffset='0.25'";
constexpr std::uint32_t kJustifyWord = 6;
constexpr std::uint32_t kLeftMarginWord = 14;
constexpr std::uint32_t kFlags2Word = 68, kLeftOffsetWord = 72, kFirstLineOffsetWord = 76;
constexpr std::uint16_t kOneInch = 1440, kHalfInch = 720;
constexpr std::uint16_t kUsesLeftOffset = 0x0004;

bool IsBlockElement(const HtmlNode* node) {
    return node != nullptr && node->IsElement() && IsBlockWithBreak(node->tag);
}

bool IsHeading(const HtmlNode* node) {
    if (node == nullptr || !node->IsElement() || node->name == nullptr) return false;
    const char* name = node->name;
    return (name[0] == 'h' || name[0] == 'H') && name[1] >= '1' && name[1] <= '6' && name[2] == '\0';
}

bool FirstInBody(const HtmlNode* node) {
    return node->prev == nullptr && node->parent != nullptr && node->parent->Is(HtmlTag::kBody) &&
           node->parent->type == HtmlNodeType::kStartTag;
}

// The paragraph record that ends the block and parts it from what follows.
// A block first in the body that opened no paragraph of its own (an empty
// one) writes none: the hand-on then restarts the body with what follows.
STATUS ParagraphUnlessFirstInBody(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    if (FirstInBody(node) && import->firstBlockInBody == 0) {
        import->firstBlockInBody = 1;
        return kOK;
    }
    return AppendParagraphRecord(context);
}

void CloseFont(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    if (import->fontDepth > 0) --import->fontDepth;
    SetCurrentImportFont(context, import->fontStack[import->fontDepth]);
    import->fontColorText[0] = '\0';
    for (const HtmlNode* at = node->parent; at != nullptr; at = at->parent) {
        if (!at->Is(HtmlTag::kFont)) continue;
        for (const HtmlAttr* attr = at->attributes; attr != nullptr; attr = attr->next) {
            if (CompareNamesNoCase(attr->name, "color") == 0 && attr->value != nullptr)
                std::snprintf(import->fontColorText, sizeof import->fontColorText, "%.*s", kFontColorChars,
                              attr->value);
        }
        if (import->fontColorText[0] != '\0') return;
    }
}

// The reference of the paragraph a table wrote after its end, when the
// records end with it (paragraph, reference, empty run at node); else null.
CDRecordNode* TableParagraphAtEnd(CDRecordNode* node) {
    if (node == nullptr || node->next != nullptr || node->signature != kSigText || node->length != kTextRunHeader)
        return nullptr;
    CDRecordNode* reference = node->prev;
    if (reference == nullptr || reference->signature != kSigPabReference || reference->length < 4) return nullptr;
    const CDRecordNode* paragraph = reference->prev;
    if (paragraph == nullptr || paragraph->signature != kSigParagraph) return nullptr;
    const CDRecordNode* end = paragraph->prev;
    if (end == nullptr || (end->signature != kSigTableEnd && end->signature != kSigNestedTableEnd)) return nullptr;
    return reference;
}

void CloseTable(BuildContext* context, HTMLImportContext* import, const HtmlNode* node,
                const ElementMemo& memo) {
    // A table walked as the content around it ends nothing.
    if (!memo.tableConverted) return;
    CDRecordNode* after = import->lastAdded;
    if (ImportTableLevel* level = CurrentTableLevel(import)) {
        after = EndOfTable(*level, import);
        level->table = nullptr;
    }
    if (import->tableLevel > 0) --import->tableLevel;
    if (import->tableLevel > 0) {
        // An inner table ended: what follows it goes after it, in the cell
        // around it.
        import->lastAdded = after;
        import->insertAfter = after;
        return;
    }
    import->insertAfter = nullptr;
    std::uint8_t* definition = context->paragraphDefinition;
    if ((ReadWord(definition + kFlags2Word) & kUsesLeftOffset) != 0 &&
        ReadWord(definition + kLeftOffsetWord) + kHalfInch < ReadWord(definition + kLeftMarginWord)) {
        for (std::uint32_t offset : {kLeftOffsetWord, kFirstLineOffsetWord})
            WriteWord(definition + offset, static_cast<std::uint16_t>(ReadWord(definition + offset) + kOneInch));
    }
    std::uint16_t& saved = import->savedTablePab[import->tableLevel + 1];
    const HtmlNode* parent = node->parent;
    if (saved != 0 && !IsBlockElement(parent) && !IsBlockElement(node->next)) {
        SetReferenceId(context, saved);
        // The table ended with a paragraph of its own: it takes that
        // definition, where a second paragraph would stand as an empty line
        // between the table and what follows it.
        if (CDRecordNode* reference = TableParagraphAtEnd(after)) {
            WriteWord(reference->bytes + 2, saved);
            saved = 0;
            return;
        }
        const std::uint32_t kept = import->textSinceParagraph;
        KeepFailure(import, AppendParagraphBreak(context, import));
        import->textSinceParagraph = kept;
    }
    saved = 0;
}

// The paragraph after a division: a copy of the current definition.
void DivisionBreak(BuildContext* context, HTMLImportContext* import) {
    AppendParagraphRecord(context);
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    AppendDefinitionRecord(context, image);
    SetReferenceId(context, id);
    AppendReferenceRecord(context);
    // The run of a division's end takes the writer's default font.
    KeepFailure(import, AddImportTextRecord("", 0, nullptr, import));
    import->textSinceParagraph = 0;
}

void CloseDiv(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    WriteWord(context->paragraphDefinition + kJustifyWord, 0);
    ParseImportParagraphStyle(context, import, "", ParagraphReset::kBlockDefaults);
    const HtmlNode* next = node->next;
    if (next == nullptr || next->Is(HtmlTag::kTable)) return;
    if (node->prev != nullptr && node->prev->Is(HtmlTag::kTable)) return;
    if (import->isWord2000Document != 0 && node->firstChild != nullptr && node->firstChild->Is(HtmlTag::kP)) return;
    if (IsBlockElement(next)) return;
    if (next->Is(HtmlTag::kBr) && IsBlockElement(next->next)) return;
    DivisionBreak(context, import);
}

// Whether the node shows nothing between blocks: blanks, a comment.
bool ShowsNothing(const HtmlDocument& document, const HtmlNode* node) {
    return IsBlankText(document, node) || (node->type != HtmlNodeType::kText && !node->IsElement());
}

// A link may hold blocks (the parser leaves them in it). A heading,
// paragraph, division or preformatted text that ends the link ends its
// line when text or an inline element follows the link, as it does when
// they follow it directly: they no longer run on into its last line.
void EndBlockInLink(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const HtmlDocument& document = *import->document;
    const HtmlNode* last = node->lastChild;
    while (last != nullptr && ShowsNothing(document, last)) last = last->prev;
    if (last == nullptr || !last->IsElement()) return;
    const bool division = last->Is(HtmlTag::kDiv) || last->Is(HtmlTag::kCenter);
    if (!division && !last->Is(HtmlTag::kP) && !last->Is(HtmlTag::kPre) && !IsHeading(last) &&
        !IsPlainBlock(last->tag))
        return;
    const HtmlNode* next = node->next;
    while (next != nullptr && ShowsNothing(document, next)) next = next->next;
    if (next == nullptr || (next->IsElement() && (StandsApart(next->tag) || IsPlainBlock(next->tag)))) return;
    if (division) {
        DivisionBreak(context, import);
    } else {
        KeepFailure(import, AppendParagraphBreak(context, import));
    }
}

void CloseSpan(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const char* nodeClass = AttributeValue(node, "class");
    if (import->passthruOpen == 0 || nodeClass == nullptr || std::strcmp(nodeClass, kPassthruClass) != 0) return;
    import->passthruOpen = 0;
    for (const HtmlNode* at = node->parent; at != nullptr; at = at->parent) {
        const char* outerClass = at->Is(HtmlTag::kSpan) ? AttributeValue(at, "class") : nullptr;
        if (outerClass != nullptr && std::strcmp(outerClass, kPassthruClass) == 0) {
            import->passthruOpen = 1;
            return;
        }
    }
    std::uint8_t record[kPassThroughRecordLength] = {};
    WriteWord(record, kSigHtmlEnd);
    WriteWord(record + 2, kPassThroughRecordLength);
    AppendRecord(record, kSigHtmlEnd, sizeof record, &context->output);
}

void CloseHeading(BuildContext* context, HTMLImportContext* import, const HtmlNode* node,
                  const ElementMemo& memo) {
    if (memo.restoreFont) {
        FontId font = CurrentImportFont(context);
        font.size = memo.restoreSize;
        if (memo.restoreClearsBold) font.attributes &= static_cast<std::uint8_t>(~kAttrBold);
        SetCurrentImportFont(context, font);
    }
    import->headingSize = 0;
    const HtmlNode* next = node->next;
    if (next == nullptr || next->Is(HtmlTag::kDiv) || next->Is(HtmlTag::kP) || next->Is(HtmlTag::kBlockquote) ||
        next->Is(HtmlTag::kTable) || next->Is(HtmlTag::kCenter) || IsHeading(next))
        return;
    KeepFailure(import, AppendParagraphBreak(context, import));
}

void ClosePlainBlock(BuildContext* context, HTMLImportContext* import, const HtmlNode* node);

void CloseBlockquote(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    // A quoted mail reply ends with nothing of its own; what follows it is
    // walked as usual, text after it on a line of its own.
    const char* quoteClass = AttributeValue(node, "class");
    if (quoteClass != nullptr && CompareNamesNoCase(quoteClass, "gmail_quote") == 0) {
        ClosePlainBlock(context, import, node);
        return;
    }
    ParagraphUnlessFirstInBody(context, import, node);
    if (const HtmlNode* enclosing = EnclosingQuotation(node)) {
        // The text after a quotation in another quotation is in that one:
        // it takes that one's indent.
        std::string text;
        CalcParagraphFromHTML(import, enclosing, &text);
        AppendNewDefinition(context, import, text.c_str(), ParagraphReset::kBlockDefaults);
    } else {
        AppendNewDefinition(context, import, kUndoQuoteIndent, ParagraphReset::kFlagWordsOnly);
    }
    AppendReferenceRecord(context);
    KeepFailure(import, AppendEmptyRun(context, import));
    import->textSinceParagraph = 0;
}

void CloseParagraph(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    SetReferenceId(context, import->paragraphPabId);
    const HtmlNode* next = node->next;
    if (next == nullptr || next->Is(HtmlTag::kTable) || IsBlockElement(next)) return;
    if (node->prev != nullptr && node->prev->Is(HtmlTag::kTable)) return;
    ParagraphUnlessFirstInBody(context, import, node);
    const std::uint16_t level = import->tableLevel;
    if (level >= 1 && level <= kImportTableLevels) {
        // The reference takes the loaded id, or the id of the corrected
        // copy; an id is left free after the copy's.
        if (ReloadTableParagraph(context, import, level)) TakeParagraphId(context);
        else SetReferenceId(context, ReadWord(context->paragraphDefinition + 4));
    }
    AppendReferenceRecord(context);
    KeepFailure(import, AppendEmptyRun(context, import));
    import->textSinceParagraph = 0;
}

// Text or an inline element after preformatted text starts a paragraph of
// its own, where it ran on into the last line of the preformatted text; a
// block or table that follows starts its own.
void ClosePre(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const HtmlNode* next = node->next;
    if (next == nullptr || next->Is(HtmlTag::kTable) || IsBlockElement(next)) return;
    KeepFailure(import, AppendParagraphBreak(context, import));
}

// Text or an inline element after a block that has no handling of its own
// starts a line of its own (blanks and comments between them aside); a
// block that follows starts its own, or not, as it begins.
void ClosePlainBlock(BuildContext* context, HTMLImportContext* import, const HtmlNode* node) {
    const HtmlNode* next = node->next;
    while (next != nullptr && (IsBlankText(*import->document, next) ||
                               (next->type != HtmlNodeType::kText && !next->IsElement())))
        next = next->next;
    if (next == nullptr || (next->IsElement() && (StandsApart(next->tag) || IsPlainBlock(next->tag)))) return;
    KeepFailure(import, AppendParagraphBreak(context, import));
}

bool IsListElement(const HtmlNode* node) { return node->Is(HtmlTag::kUl) || node->Is(HtmlTag::kOl); }

// After a block in a list item, what it wrote to end itself stands; the
// paragraphs after it (the next items) are the item's again.
void RestoreItemParagraph(BuildContext* context, const ElementMemo& memo) {
    std::memcpy(context->paragraphDefinition, memo.itemDefinition, sizeof context->paragraphDefinition);
    context->paragraphDefinitionLength = memo.itemDefinitionLength;
    SetReferenceId(context, memo.itemReferenceId);
}

} // namespace

void CloseElement(BuildContext* context, HTMLImportContext* import, HtmlNode* node, const ElementMemo& memo) {
    const bool tracing = g_debugLevel > 2;
    if (tracing) plat::LogLine(0, "POSTPROCESS StartTag in with %s", node->name);
    if (node->Is(HtmlTag::kA)) {
        if (import->hotspotOpen != 0) {
            AppendHotspotEnd(context, kSigV4HotspotEnd);
            import->hotspotOpen = 0;
        }
        import->fontColorText[0] = '\0';
        import->skipText = 0;
        // The link icon a link skips lies inside its anchor: an image after
        // the anchor is converted.
        import->skipNextImage = 0;
        if (import->document != nullptr) EndBlockInLink(context, import, node);
    } else if (node->Is(HtmlTag::kFont)) {
        CloseFont(context, import, node);
    } else if (node->Is(HtmlTag::kHead)) {
        import->inHead = 0;
    } else if (node->Is(HtmlTag::kTable)) {
        CloseTable(context, import, node, memo);
    } else if (IsListElement(node)) {
        CloseListFromHTML(context, import, node);
    } else if (node->Is(HtmlTag::kDiv) || node->Is(HtmlTag::kCenter)) {
        // A centred block ends as a division does: what follows it starts
        // a paragraph of its own, not centred, nor in the margins of a
        // list inside it.
        if (memo.restoresBlockDefinition) {
            std::memcpy(context->paragraphDefinition, memo.blockDefinition, sizeof context->paragraphDefinition);
            context->paragraphDefinitionLength = memo.blockDefinitionLength;
        }
        CloseDiv(context, import, node);
    } else if (node->Is(HtmlTag::kSpan)) {
        CloseSpan(context, import, node);
    } else if (IsHeading(node)) {
        CloseHeading(context, import, node, memo);
    } else if (node->Is(HtmlTag::kBlockquote)) {
        CloseBlockquote(context, import, node);
    } else if (node->Is(HtmlTag::kP)) {
        CloseParagraph(context, import, node);
    } else if (node->Is(HtmlTag::kPre)) {
        import->inPre = 0;
        ClosePre(context, import, node);
    } else if (node->Is(HtmlTag::kDl)) {
        KeepFailure(import, AppendLineBreak(context, import));
    } else if (IsPlainBlock(node->tag)) {
        ClosePlainBlock(context, import, node);
    }
    if (memo.restoresItemParagraph) RestoreItemParagraph(context, memo);
    if (tracing) plat::LogLine(0, "POSTPROCESS StartTag done with %s", node->name);
}

} // namespace talix
