// Block paragraphs: div, p, blockquote and center open a rich-text
// paragraph with a definition of their own, made from their alignment,
// margins, indents and spacing, and a border when they have one.
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/table_builders.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "htmlimport/element_walk.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/html_paragraph.h"
#include "htmlimport/html_tags.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/list_definitions.h"
#include "htmlimport/walk_handlers.h"
#include "htmlimport/walk_memo.h"

namespace talix {

namespace {

constexpr std::uint32_t kFlagsWord = 62;
constexpr std::uint16_t kBlockFlagsKept = 0xF801;
constexpr std::uint32_t kRightMarginWord = 16;

bool IsCellElement(const HtmlNode* node) {
    return node != nullptr && (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh));
}

bool IsTextRun(const CDRecordNode* node) { return node->signature == kSigText || node->signature == kSigBidiText; }

bool IsCell(const CDRecordNode* node) {
    return node->signature == kSigTableCell || node->signature == kSigNestedTableCell;
}

// Blocks that open no paragraph of their own; their children are walked. A
// plain block first in a list item goes into the item's paragraph, as it
// goes into a cell's.
bool OpensNoParagraph(const HTMLImportContext* import, const HtmlNode* node) {
    const HtmlNode* parent = node->parent;
    if (parent == nullptr || node->prev != nullptr) return false;
    const bool plain = (node->Is(HtmlTag::kDiv) || node->Is(HtmlTag::kP)) && node->attributes == nullptr;
    if (plain && (parent->Is(HtmlTag::kDiv) || parent->Is(HtmlTag::kP) || parent->Is(HtmlTag::kCenter) ||
                  IsCellElement(parent) || parent->Is(HtmlTag::kLi)))
        return true;
    return import->isWord2000Document != 0 && node->Is(HtmlTag::kP) && parent->Is(HtmlTag::kDiv);
}

// A block first in a table cell replaces the cell's own definition.
void ReplaceCellDefinition(HTMLImportContext* import, const HtmlNode* node) {
    if (node->prev != nullptr || !IsCellElement(node->parent) || import->tableLevel == 0 ||
        import->insertAfter == nullptr)
        return;
    for (CDRecordNode* at = import->insertAfter->prev; at != nullptr; at = at->prev) {
        if (IsCell(at) || IsTextRun(at)) return;
        if (at->signature != kSigPabDefinition) continue;
        CDRecordNode* before = at->prev;
        // The cell's reference to the definition goes with it: left behind
        // the block's content, it would refer to a definition no longer
        // given.
        CDRecordNode* reference = at->next;
        const std::uint16_t id = at->length >= 6 ? ReadWord(at->bytes + 4) : 0;
        RemoveImportRecord(at, import);
        if (reference != nullptr && reference->signature == kSigPabReference && reference->length >= 4 &&
            ReadWord(reference->bytes + 2) == id)
            RemoveImportRecord(reference, import);
        import->insertAfter = before;
        return;
    }
}

// The column of the cell the insertion point lies in: the first cell record
// of the current depth going back from the insertion point; -1 when none.
int EnclosingCellColumn(const HTMLImportContext* import) {
    int depth = 0;
    for (const CDRecordNode* at = import->insertAfter; at != nullptr; at = at->prev) {
        if (at->signature == kSigTableEnd || at->signature == kSigNestedTableEnd) {
            ++depth;
        } else if (at->signature == kSigTableBegin || at->signature == kSigNestedTableBegin) {
            if (--depth < 0) return -1;
        } else if (depth == 0 && IsCell(at) && at->length > 3) {
            return at->bytes[3];
        }
    }
    return -1;
}

// Inside a table: the margin correction, and a right margin from the
// column when the definition has none.
void FitToCell(const BuildContext* context, const HTMLImportContext* import, std::uint8_t* image) {
    if (import->tableLevel < 1 || ReadWord(image + 2) <= kParagraphDefinitionFixedLength) return;
    CorrectTableMargins(import, image);
    if (ReadWord(image + kRightMarginWord) != 0) return;
    const int column = EnclosingCellColumn(import);
    if (column < 0) return;
    const std::uint16_t margin =
        TableColumnRightMargin(context, import, import->tableLevel, static_cast<std::uint16_t>(column));
    if (margin != 0) WriteWord(image + kRightMarginWord, margin);
}

STATUS AppendBorder(BuildContext* context, const HTMLImportContext* import, const HtmlNode* node) {
    std::string border;
    CalcBorderSetFromHTML(import, node, &border, true);
    if (border.empty()) return kOK;
    std::uint8_t record[kBorderLength] = {};
    WriteWord(record, kSigBorderInfo);
    WriteWord(record + 2, kBorderLength);
    // The record depends on the text alone: blocks of one border share it.
    WalkMemo* memo = import->walkMemo;
    if (const std::string* kept = memo != nullptr ? memo->FindBorder(border) : nullptr;
        kept != nullptr && kept->size() == sizeof record) {
        std::memcpy(record, kept->data(), sizeof record);
    } else {
        ParseBorderSpec(context->session, kSigBorderInfo, record, border.c_str(), 0);
        if (memo != nullptr) memo->KeepBorder(border, record, sizeof record);
    }
    return AppendRecord(record, kSigBorderInfo, sizeof record, &context->output);
}

// A quoted reply opens no paragraph of its own. When it begins with text
// and the line before it holds text (a division before it leaves the line
// to the block that follows), its text would run on into that line.
bool ReplyRunsOn(const HTMLImportContext* import, const HtmlNode* node) {
    if (!node->Is(HtmlTag::kBlockquote) || import->document == nullptr) return false;
    const HtmlNode* first = node->firstChild;
    while (first != nullptr && IsBlankText(*import->document, first)) first = first->next;
    if (first == nullptr || (first->type != HtmlNodeType::kText && !first->IsElement())) return false;
    if (first->IsElement() && (StandsApart(first->tag) || IsPlainBlock(first->tag))) return false;
    const CDRecordNode* last = ImportInsertionPoint(import);
    if (last == nullptr || !IsTextRun(last) || last->length <= kTextRunHeader) return false;
    return !(last->length == kTextRunHeader + 1 && last->bytes[kTextRunHeader] == 0);
}

} // namespace

StartAction StartBlockParagraph(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    switch (RunBlockPreamble(context, import, node)) {
    case BlockPreamble::kSkipBlock: return StartAction::kSkipElement;
    case BlockPreamble::kNoParagraph:
        if (ReplyRunsOn(import, node)) KeepFailure(import, AppendParagraphBreak(context, import));
        return StartAction::kWalkChildren;
    case BlockPreamble::kMakeParagraph: break;
    }
    const HtmlNode* parent = node->parent;
    const bool firstInBody = node->prev == nullptr && parent != nullptr && parent->Is(HtmlTag::kBody) &&
                             parent->type == HtmlNodeType::kStartTag;
    // An empty block first in the body opens nothing; only its close runs.
    if (node->firstChild == nullptr && node->prev == nullptr && parent != nullptr && parent->Is(HtmlTag::kBody))
        return StartAction::kSkipChildren;
    if (OpensNoParagraph(import, node)) return StartAction::kWalkChildren;

    std::string text;
    CalcParagraphFromHTML(import, node, &text);
    ParseImportParagraphStyle(context, import, text.c_str(), ParagraphReset::kBlockDefaults);
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    WriteWord(image + kFlagsWord, static_cast<std::uint16_t>(ReadWord(image + kFlagsWord) & kBlockFlagsKept));
    ReplaceCellDefinition(import, node);
    ApplyParagraphStyle(context, image);

    if (firstInBody) {
        import->firstBlockInBody = 1;
    } else if (import->insertAfter == nullptr || import->insertAfter->signature != kSigParagraph) {
        KeepFailure(import, AppendParagraphRecord(context));
    }
    SetReferenceId(context, id);
    FitToCell(context, import, image);
    KeepFailure(import, AppendDefinitionRecord(context, image));
    KeepFailure(import, AppendReferenceRecord(context));
    KeepFailure(import, AppendBorder(context, import, node));
    KeepFailure(import, AppendEmptyRun(context, import));
    import->textSinceParagraph = 0;
    return StartAction::kWalkChildren;
}

} // namespace talix
