// List items in the walk: an li starts a paragraph under its list's
// definition, or, when it names a list kind of its own, under a definition
// of that kind: the current one when it already is, else the list's, else
// one written before for the same list, else a new one.
#include <cstring>
#include <string>

#include "builders/build_context.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/list_definitions.h"
#include "htmlimport/list_styles.h"
#include "htmlimport/walk_handlers.h"
#include "talix/item.h"

namespace talix {

namespace {

// The margin words a definition of the same list keeps: the left margin and
// the two offsets.
constexpr std::uint32_t kListMarginWords[] = {14, 72, 76};

bool IsListElement(const HtmlNode* node) {
    return node != nullptr && (node->Is(HtmlTag::kUl) || node->Is(HtmlTag::kOl));
}

std::uint16_t DefinitionId(const CDRecordNode* node) { return ReadWord(node->bytes + 4); }

bool IsDefinition(const CDRecordNode* node) {
    return node != nullptr && node->signature == kSigPabDefinition && node->length >= kParagraphDefinitionFixedLength;
}

bool SameListMargins(const CDRecordNode* a, const CDRecordNode* b) {
    const CDPABDEFEXT first = DefinitionImage(a);
    const CDPABDEFEXT second = DefinitionImage(b);
    const auto* x = reinterpret_cast<const std::uint8_t*>(&first);
    const auto* y = reinterpret_cast<const std::uint8_t*>(&second);
    for (std::uint32_t offset : kListMarginWords)
        if (ReadWord(x + offset) != ReadWord(y + offset)) return false;
    return true;
}

// A definition written before for the list: going back from the insertion
// point to the list's own definition, the first one in the item's style
// with the list's margins.
CDRecordNode* EarlierListDefinition(const BuildContext* context, CDRecordNode* from,
                                    const CDRecordNode* saved) {
    int budget = kListSearchRecords;
    for (CDRecordNode* at = from; at != nullptr && at != saved && budget > 0; at = at->prev, --budget) {
        if (IsDefinition(at) && MatchesParsedStyle(context, DefinitionImage(at)) && SameListMargins(at, saved))
            return at;
    }
    return nullptr;
}

// A new definition in the item's style, which becomes the current one: a
// copy of the list's definition (so that the item lines up with the other
// items of its list), or of the current one when the list has none.
void AppendItemDefinition(BuildContext* context, HTMLImportContext* import, const CDRecordNode* list) {
    if (list != nullptr) TakeDefinitionAsCurrent(context, list);
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    ApplyParagraphStyle(context, image);
    KeepFailure(import, AppendDefinitionRecord(context, image));
    std::memcpy(context->paragraphDefinition, image, kParagraphImageSize);
    SetReferenceId(context, id);
}

// The definition of the item: the current one when it is in the item's
// style, else the list's, else one written before for the list, else a new
// one.
void ChooseItemDefinition(BuildContext* context, HTMLImportContext* import, bool takesOver) {
    CDRecordNode* at = ImportInsertionPoint(import);
    if (IsDefinition(at) && DefinitionId(at) == CurrentReferenceId(context)) {
        // The list's definition right before: the item starts from it (and
        // keeps it unless it names a kind of its own). Unless the item takes
        // over a cell's paragraph, a new paragraph starts before the
        // reference that follows it.
        TakeDefinitionAsCurrent(context, at);
        if (!takesOver && at->next != nullptr && at->next->signature == kSigPabReference)
            KeepFailure(import, AppendParagraphRecord(context));
    }
    if (MatchesParsedStyle(context, CurrentDefinitionImage(context))) return;
    CDRecordNode* saved = import->savedListPab[SavedListIndex(import->listLevel)];
    if (IsDefinition(saved) && DefinitionId(saved) != ReadWord(context->paragraphDefinition + 4) &&
        MatchesParsedStyle(context, DefinitionImage(saved))) {
        TakeDefinitionAsCurrent(context, saved);
        return;
    }
    if (at != nullptr && IsDefinition(saved)) {
        if (CDRecordNode* earlier = EarlierListDefinition(context, at, saved)) {
            TakeDefinitionAsCurrent(context, earlier);
            return;
        }
    }
    AppendItemDefinition(context, import, IsDefinition(saved) ? saved : nullptr);
}

// The item's paragraph: the one that follows the list's definition when
// the item takes it over, else a paragraph, a reference and an empty run.
void StartItemParagraph(BuildContext* context, HTMLImportContext* import) {
    CDRecordNode* at = import->insertAfter;
    if (IsDefinition(at) && DefinitionId(at) == CurrentReferenceId(context) && at->next != nullptr &&
        at->next->signature == kSigPabReference) {
        // The paragraph is the item's: when the item named a kind of its
        // own, the definition before it is the item's new one.
        CDRecordNode* reference = at->next;
        if (reference->length >= 4) WriteWord(reference->bytes + 2, DefinitionId(at));
        const bool runFollows = reference->next != nullptr &&
                                (reference->next->signature == kSigText || reference->next->signature == kSigBidiText);
        import->insertAfter = runFollows ? reference->next : reference;
        return;
    }
    const CDRecordNode* point = ImportInsertionPoint(import);
    if (point == nullptr || point->signature != kSigParagraph) AppendParagraphRecord(context);
    AppendReferenceRecord(context);
    AppendEmptyRun(context, import);
    import->textSinceParagraph = 0;
    import->afterListItem = 0;
}

} // namespace

StartAction StartListItemFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    // An item after a list that took over a cell's paragraph writes none of
    // its own: it goes into that paragraph.
    const bool takesOver = import->afterListItem != 0;
    import->afterListItem = 0;
    std::string text;
    // The item's own list kind, also when it goes into the paragraph its
    // list took over.
    const StyleValue value = ListStyleValue(import, node);
    if (value.has_value()) {
        // An item of a numbered list reads its type letters as its list
        // does: it stays numbered.
        const char* named = NamedListKeyword(*value);
        if (named == nullptr)
            named = node->parent != nullptr && node->parent->Is(HtmlTag::kOl) ? OrderedListKeyword(*value)
                                                                               : LevelListKeyword(import->listLevel);
        text = named;
    } else if (!takesOver && !IsListElement(node->firstChild)) {
        // A plain item: a paragraph under the definition in force.
        AppendParagraphRecord(context);
        KeepFailure(import, AppendReferenceRecord(context));
        import->textSinceParagraph = 0;
        if (ZervaRTItem* item = context->output.item) item->modified = 1;
        return StartAction::kWalkChildren;
    }
    KeepFailure(import, ParseImportParagraphStyle(context, import, text.c_str(), ParagraphReset::kFlagWordsOnly));
    ChooseItemDefinition(context, import, takesOver);
    StartItemParagraph(context, import);
    return StartAction::kWalkChildren;
}

} // namespace talix
