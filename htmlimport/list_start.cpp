// Lists in the walk: the start of a ul or ol builds one paragraph
// definition for the list (its kind, spacing and left margins, from its CSS
// and attributes), and each li starts a paragraph under it, or under a
// definition of its own kind when it names one.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_sink.h"
#include "htmlimport/list_definitions.h"
#include "htmlimport/list_styles.h"
#include "htmlimport/option_words.h"
#include "htmlimport/walk_handlers.h"
#include "talix/item.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::uint32_t kFlagsWord = 62;
constexpr std::uint16_t kListFlags = 0x1400;        // bulleted or numbered
// The parsed definition's margin modes: the percentage words, the offsets.
constexpr std::uint16_t kPercentModes = 0x28, kOffsetModes = 0x14;
constexpr float kListStep = 0.25f;                  // inches a level indents
constexpr float kPageMargin = 1.0f;
constexpr float kListMarginBase = 1.25f;
// Lengths are written with room to spare and kept to a range no margin
// exceeds (a paragraph margin holds at most 65,535 twips).
constexpr double kLongestMargin = 1000.0;
constexpr std::uint32_t kSpacedDefinition = 91;     // a definition longer than this has its margin words

template <typename... Args>
void AppendFormat(std::string* text, const char* format, Args... args) {
    char buffer[256];
    const int length = plat::FormatText(buffer, sizeof buffer, format, args...);
    if (length > 0) text->append(buffer, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1));
}

// " LeftMargin='<left>' LeftMarginFirst='<left>' LeftMarginOffset='<offset>'
// FirstLineLeftMarginOffset='<offset>'", each number with the decimals
// given and the unit after it.
void AppendMargins(std::string* text, double left, double offset, int decimals, const char* unit) {
    const struct {
        const char* keyword;
        double value;
    } words[] = {{"LeftMargin", left},
                 {"LeftMarginFirst", left},
                 {"LeftMarginOffset", offset},
                 {"FirstLineLeftMarginOffset", offset}};
    for (const auto& word : words) {
        text->append(" ").append(word.keyword).append("='");
        AppendFixed(text, word.value, decimals);
        text->append(unit).append("'");
    }
}

double Bounded(double inches) {
    if (!std::isfinite(inches)) return 0.0;
    return std::clamp(inches, -kLongestMargin, kLongestMargin);
}

bool IsListHolder(const HtmlNode* node) {
    return node != nullptr && (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh) || node->Is(HtmlTag::kLi));
}

bool IsPlainDefinition(const CDRecordNode* node) {
    return node->signature == kSigPabDefinition && node->length >= kFlagsWord + 2 &&
           (ReadWord(node->bytes + kFlagsWord) & kListFlags) == 0;
}

// A record that opens a box of its own: a layer or a table cell.
bool OpensBox(const CDRecordNode* node) {
    return node->signature == kSigLayer || node->signature == kSigTableCell ||
           node->signature == kSigNestedTableCell;
}

// The keyword of a list's own kind: the kind its style value names, else,
// for an ol, the type letters or numbers, else the level's.
const char* ListKeyword(const HTMLImportContext* import, const HtmlNode* node, std::uint16_t level) {
    const StyleValue value = ListStyleValue(import, node);
    const bool ordered = node->Is(HtmlTag::kOl);
    if (!value.has_value()) return ordered ? "+NUMBERED_LIST" : LevelListKeyword(level);
    if (const char* named = NamedListKeyword(*value)) return named;
    return ordered ? OrderedListKeyword(*value) : LevelListKeyword(level);
}

// Spacing from one property: the two em words, else a length in inches
// above the threshold doubles and one up to it makes one and a half.
void AppendSpacing(const HTMLImportContext* import, const ElementStyle& style, const char* property,
                   const char* keyword, const char* doubleWord, const char* oneAndHalfWord, float threshold,
                   std::string* text) {
    const StyleValue value = style.Look(property, false);
    if (!value.has_value()) return;
    // A line height of a multiple of the font size.
    if (const float spacing = std::string_view(property) == "line-height" ? LineHeightSpacing(*value) : 0.0f;
        spacing > 0) {
        if (spacing == 2.0f) AppendFormat(text, " %s=DOUBLE", keyword);
        else if (spacing == 1.5f) AppendFormat(text, " %s='1.5'", keyword);
        return;
    }
    bool doubled = EqualNoCase(*value, doubleWord);
    bool oneAndHalf = !doubled && EqualNoCase(*value, oneAndHalfWord);
    if (!doubled && !oneAndHalf) {
        const float length = ParseCSSLength(import, value->c_str(), 0.0f);
        doubled = length > threshold;
        oneAndHalf = !doubled && length > 0.0f;
    }
    if (doubled) AppendFormat(text, " %s=DOUBLE", keyword);
    else if (oneAndHalf) AppendFormat(text, " %s='1.5'", keyword);
}

// The left margins of a list: by its nesting when it names none, from the
// indents of it and its ancestors when it names a length, as percentages
// when it names one. *lose receives the margin modes the definition loses.
void AppendLeftMargins(const HTMLImportContext* import, const HtmlNode* node, const ElementStyle& style,
                       std::string* text, std::uint16_t* lose) {
    const StyleValue margin = style.Own("margin-left");
    const StyleValue padding = style.Own("padding-left");
    const bool inTable = import->tableLevel >= 1;
    if (!margin.has_value()) {
        const int enclosing = CountEnclosingLists(node, "ol", "ul");
        const double step = (enclosing + 1) * static_cast<double>(kListStep);
        // In a cell the offsets leave out the page margin.
        const double left = Bounded(step + kListMarginBase);
        const double offset = inTable ? Bounded(step + kListStep) : left;
        AppendMargins(text, left, offset, 6, "");
        *lose = kPercentModes;
        return;
    }
    if (margin->find('%') == std::string::npos) {
        const double total = Bounded(static_cast<double>(SumStyleLengthUpTree(import, node, "margin-left", 2, true)) +
                                     SumStyleLengthUpTree(import, node, "padding-left", 2, true));
        const double left = Bounded(total + kPageMargin);
        const double offset = inTable ? total : left;
        AppendMargins(text, left, offset, 2, "in");
        *lose = kPercentModes;
        return;
    }
    double inset = kListStep;
    if (padding.has_value() && padding->find('%') != std::string::npos) inset = LeadingNumber(*padding);
    // Whole percents without padding: the paragraph-style reader takes a
    // number only where the value begins.
    const double percent = Bounded(LeadingNumber(*margin) + inset);
    AppendFormat(text, " LeftMarginPercent='%.0f%%' FirstLineLeftMarginPercent='%.0f%%'", percent, percent);
    *lose = kOffsetModes;
}

// The plain definition in force before the outermost list: going back from
// the insertion point, the nearest definition that is no list's; when a
// cell or layer lies between, the one furthest back (within the search's
// reach), which lies outside the box.
CDRecordNode* DefinitionBeforeLists(const HTMLImportContext* import) {
    CDRecordNode* found = nullptr;
    bool passedBox = false;
    int budget = kListSearchRecords;
    for (CDRecordNode* at = ImportInsertionPoint(import); at != nullptr && budget > 0; at = at->prev, --budget) {
        passedBox = passedBox || OpensBox(at);
        if (!IsPlainDefinition(at)) continue;
        found = at;
        if (!passedBox) break;
    }
    return found;
}

// The paragraph of a cell the list takes over: the cell's first paragraph
// still empty (its definition, reference and empty run right before the
// insertion point). Returns its definition, or null.
CDRecordNode* EmptyCellParagraph(const HTMLImportContext* import) {
    if (import->tableLevel == 0) return nullptr;
    CDRecordNode* run = ImportInsertionPoint(import);
    if (run == nullptr || run->signature != kSigText || run->length != kTextRunHeader) return nullptr;
    CDRecordNode* reference = run->prev;
    if (reference == nullptr || reference->signature != kSigPabReference) return nullptr;
    CDRecordNode* definition = reference->prev;
    if (definition == nullptr || definition->signature != kSigPabDefinition || definition->length <= kSpacedDefinition)
        return nullptr;
    return definition;
}

// The list takes over the cell's empty paragraph: its definition is rebuilt
// in the list's style and stays the list's; the first item writes no
// paragraph of its own.
void TakeOverCellParagraph(BuildContext* context, HTMLImportContext* import, CDRecordNode* definition,
                           int index) {
    std::uint8_t image[kParagraphImageSize] = {};
    const std::uint32_t length = std::min<std::uint32_t>(definition->length, kParagraphImageSize);
    std::memcpy(image, definition->bytes, length);
    WriteWord(image + 2, static_cast<std::uint16_t>(length));
    ApplyParagraphStyle(context, image);
    ReplaceImportRecordBytes(definition, image, std::min<std::uint32_t>(ReadWord(image + 2), kParagraphImageSize),
                             import);
    import->afterListItem = 1;
    import->savedListPab[index] = definition;
    TakeDefinitionAsCurrent(context, definition);
    const CDRecordNode* reference = definition->next;
    if (reference != nullptr && reference->length >= sizeof context->paragraphReference)
        std::memcpy(context->paragraphReference, reference->bytes, sizeof context->paragraphReference);
    SetReferenceId(context, ReadWord(definition->bytes + 4));
    import->insertAfter = definition;
}

// A new definition for the list: a copy of the current definition in the
// list's style (the current one stays as it is), appended after a line
// break unless the list starts a cell or an item.
void AppendListDefinition(BuildContext* context, HTMLImportContext* import, const HtmlNode* node,
                          int index) {
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    ApplyParagraphStyle(context, image);
    CorrectTableMargins(import, image);
    if (!IsListHolder(node->parent)) AppendLineBreak(context, import);
    const STATUS status = AppendDefinitionRecord(context, image);
    import->savedListPab[index] = status == kOK ? import->lastAdded : nullptr;
    if (status == kOK && import->lastAdded != nullptr) {
        CDRecordNode* next = import->lastAdded->next;
        if (next != nullptr && next->signature == kSigPabReference && next->length >= 4) WriteWord(next->bytes + 2, id);
    }
    import->textSinceParagraph = 0;
    SetReferenceId(context, id);
}

} // namespace

StartAction StartListFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    if (import->listLevel == 0) import->savedListPab[0] = DefinitionBeforeLists(import);
    if (import->listLevel < 0xFFFF) ++import->listLevel;
    const std::uint16_t level = import->listLevel;
    const int index = SavedListIndex(level);
    if (level >= kImportListLevels) {
        // Nested deeper than the levels kept: the deepest level's definition.
        if (const CDRecordNode* deepest = import->savedListPab[index]) SetReferenceId(context, ReadWord(deepest->bytes + 4));
        return StartAction::kWalkChildren;
    }

    const ElementStyle style{node, &import->styleRules1, &import->styleRules2};
    std::string text = ListKeyword(import, node, level);
    AppendSpacing(import, style, "margin-bottom", "Below", "1em", "0.5em", 0.1f, &text);
    AppendSpacing(import, style, "margin-top", "Above", "1em", "0.5em", 0.1f, &text);
    AppendSpacing(import, style, "line-height", "InterLine", "2em", "1.5em", 0.25f, &text);
    std::uint16_t lose = 0;
    AppendLeftMargins(import, node, style, &text, &lose);
    ParseImportParagraphStyle(context, import, text.c_str(), ParagraphReset::kBlockDefaults);
    CDPABDEFEXT& parsed = context->paragraph.definition[0];
    parsed.flags2 = static_cast<std::uint16_t>(parsed.flags2 & ~lose);

    if (CDRecordNode* cellDefinition = EmptyCellParagraph(import)) {
        // The cell's definition becomes the list's: it is no longer the one
        // the text after the list returns to.
        if (import->savedListPab[0] == cellDefinition) import->savedListPab[0] = nullptr;
        TakeOverCellParagraph(context, import, cellDefinition, index);
    } else {
        AppendListDefinition(context, import, node, index);
    }
    return StartAction::kWalkChildren;
}

} // namespace talix
