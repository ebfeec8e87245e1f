// The close of a ul or ol: the list's paragraph style gives way to the
// style of what follows it, the enclosing list's when it was nested, plain
// paragraphs (or the definition in force before it) when it was the
// outermost.
#include <cstdio>
#include <cstring>
#include <string>

#include "builders/build_context.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/list_definitions.h"
#include "htmlimport/list_styles.h"
#include "htmlimport/walk_handlers.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::uint32_t kFlagsWord = 62, kFlags2Word = 68;
// The list bits: bulleted and numbered of the flags, the kinds of flags 2.
constexpr std::uint16_t kFlagsWithoutLists = 0xE801;
constexpr std::uint16_t kFlags2WithoutLists = 0xC7FD;
constexpr double kListStep = 0.25, kListMarginBase = 1.25;
constexpr const char* kPlainParagraphs =
    "-NUMBERED_LIST -BULLET LeftMargin='1.000000' LeftMarginFirst='1.000000' LeftMarginOffset='1.000000' "
    "FirstLeftMarginOffset='1.000000'";

bool IsListOrItem(const HtmlNode* node) {
    return node->Is(HtmlTag::kUl) || node->Is(HtmlTag::kOl) || node->Is(HtmlTag::kLi);
}

bool IsBlockElement(const HtmlNode* node) {
    return node != nullptr && node->IsElement() && IsBlockWithBreak(node->tag);
}

// The paragraph style after a list nested in another: the enclosing list's
// kind, offset by the enclosing list's own nesting.
std::string EnclosingListStyle(const HTMLImportContext* import, const HtmlNode* list, const HtmlNode* enclosing) {
    const StyleValue value = ListStyleValue(import, enclosing);
    const char* keyword = nullptr;
    if (value.has_value()) {
        keyword = NamedListKeyword(*value);
        if (keyword == nullptr) keyword = list->Is(HtmlTag::kOl) ? "+NUMBERED_LIST" : LevelListKeyword(import->listLevel);
    } else {
        keyword = enclosing->Is(HtmlTag::kOl) ? "+NUMBERED_LIST" : LevelListKeyword(import->listLevel);
    }
    const int nesting = CountEnclosingLists(enclosing, "ol", "ul");
    char offset[64];
    plat::FormatText(offset, sizeof offset, " LeftMarginOffset='%f'", nesting * kListStep + kListMarginBase);
    return std::string(keyword) + offset;
}

// A definition for what follows the list (S, not a block): made the
// current one, and written with a paragraph unless S is a division or a
// table, which make their own.
void FollowingDefinition(BuildContext* context, HTMLImportContext* import, const HtmlNode* list,
                         const HtmlNode* follower) {
    const HtmlNode* enclosing = FindAncestorElement(list, "ol", "ul");
    const std::string text = enclosing != nullptr ? EnclosingListStyle(import, list, enclosing) : kPlainParagraphs;
    ParseImportParagraphStyle(context, import, text.c_str(), ParagraphReset::kBlockDefaults);
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    ApplyParagraphStyle(context, image);
    std::uint8_t* definition = context->paragraphDefinition;
    std::memcpy(definition, image, sizeof image);
    context->paragraphDefinitionLength = ReadWord(definition + 2);
    const bool ownsParagraph = follower->Is(HtmlTag::kDiv) || follower->Is(HtmlTag::kTable);
    if (!ownsParagraph) KeepFailure(import, AppendParagraphRecord(context));
    CorrectTableMargins(import, definition);
    if (ownsParagraph) return;
    if (enclosing == nullptr) {
        // Plain paragraphs after the outermost list: no list of any kind.
        WriteWord(definition + kFlagsWord, static_cast<std::uint16_t>(ReadWord(definition + kFlagsWord) & kFlagsWithoutLists));
        WriteWord(definition + kFlags2Word,
                  static_cast<std::uint16_t>(ReadWord(definition + kFlags2Word) & kFlags2WithoutLists));
    }
    AppendDefinitionRecord(context, definition);
    SetReferenceId(context, id);
    AppendReferenceRecord(context);
    KeepFailure(import, AppendEmptyRun(context, import));
    import->textSinceParagraph = 0;
    import->afterListItem = 0;
}

} // namespace

void CloseListFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    // What follows the list: the next sibling of the list, or of the
    // nearest list or item above it that has one.
    // A nested list that ends its enclosing list too leaves what follows to
    // the enclosing list's close.
    const HtmlNode* enclosing = FindAncestorElement(node, "ol", "ul");
    const HtmlNode* above = node;
    bool endsEnclosing = false;
    while (above != nullptr && IsListOrItem(above) && above->next == nullptr) {
        above = above->parent;
        endsEnclosing = endsEnclosing || (above != nullptr && above == enclosing);
    }
    const HtmlNode* follower = above != nullptr && !endsEnclosing ? above->next : nullptr;

    if (import->listLevel < 2 && import->savedListPab[0] != nullptr) {
        // The outermost list ends: the definition in force before it again.
        TakeDefinitionAsCurrent(context, import->savedListPab[0]);
        if (node->next != nullptr && !IsBlockElement(node->next))
            KeepFailure(import, AppendParagraphBreak(context, import));
        import->afterListItem = 0;
    } else if (follower != nullptr && !IsBlockElement(follower)) {
        FollowingDefinition(context, import, node, follower);
    }
    if (import->listLevel > 0) --import->listLevel;
}

} // namespace talix
