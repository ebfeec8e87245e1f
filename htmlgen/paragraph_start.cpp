#include "htmlgen/paragraph_start.h"

#include <cstring>
#include <string>

#include "core/item_work_state.h"
#include "core/pab_match.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "htmlgen/cell_navigation.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/list_paragraphs.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/style_text.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"

namespace talix {

namespace {

// Style-name record: the paragraph id it names and its name.
constexpr std::uint32_t kStyleNameIdAt = 8, kStyleNameAt = 10;
// Border record: the outer margins.
constexpr std::uint32_t kBorderTopAt = 36, kBorderLeftAt = 38, kBorderBottomAt = 40, kBorderRightAt = 42;
// Table cell: its flags.
constexpr std::uint32_t kCellFlagsAt = 11;
constexpr std::uint8_t kCellHidden = 0x04 | 0x08;
constexpr std::size_t kBorderCSSSize = 512;
constexpr const char* kZeroMargin = "margin-left: 0.00in;";
constexpr std::size_t kZeroMarginLength = 20;
constexpr const char* kEmptyDivision = "<div></div>";

std::uint16_t Justification(const CDRecordNode* definition) { return ReadParagraphFields(definition).justification; }

// The definition is a list by its list flags or its list-style bits.
bool IsListDefinition(const CDRecordNode* definition) {
    const ParagraphFields fields = ReadParagraphFields(definition);
    return fields.List() || (fields.flags2 & kPara2ListStyles) != 0;
}

const CDRecordNode* PreviousDefinition(const XMLGenContext* context) {
    return context->previousDefinition;
}

void WriteBreak(XMLGenContext* context) {
    AppendLineBreak(context);
    CurrentTableLevel(context)->lineBreakNeeded = 0;
}

int CloseDownTo(XMLGenContext* context, const char* tag, int listCheck) {
    const int closed = CloseOpenXMLTagsToOutput(context, tag, 1, 1, 0, listCheck);
    MoveToTextEnd(context);
    return closed;
}

// The name a style-name record gives, within the record.
std::string StyleName(const CDRecordNode* record) {
    if (record == nullptr || record->bytes == nullptr || record->length <= kStyleNameAt) return "";
    const char* name = reinterpret_cast<const char*>(record->bytes) + kStyleNameAt;
    return std::string(name, strnlen(name, record->length - kStyleNameAt));
}

// The style-name record of the paragraph (position + 1), or 0: the last
// one before the reference naming its id.
std::uint16_t FindStyleName(const XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId) {
    const std::uint16_t count =
        context->record166Count < kGenRecordListSize ? context->record166Count : kGenRecordListSize;
    for (std::uint16_t i = count; i-- > 0;) {
        const CDRecordNode* record = context->records166[i];
        if (record != nullptr && record->index < reference->index && NodeWord(record, kStyleNameIdAt) == rawId)
            return static_cast<std::uint16_t>(i + 1);
    }
    return 0;
}

// Whether the element the previous paragraph opened stays open: the first
// paragraph of a tab of a tabbed table, the paragraphs that make up a
// layer's own records, a section body, the first paragraph of a layout
// element (its division is on top, with nothing opened in it yet).
[[gnu::always_inline]] inline bool KeepsPreviousElement(const XMLGenContext* context, const CDRecordNode* reference) {
    if (context->layoutElementDepth != 0 && CloseTagDepth(context) == context->layoutElementDepth) return true;
    const bool tabbed = context->tableDepth < kGenTableLevels && context->tableLevels[context->tableDepth].tabbed != 0;
    if (IsOn(context, sw::kTabbedTablesInCSS) && tabbed &&
        IsTabbedRowLevel(FindCloseTag(context, "</div>", 1)) && HasCloseTag(context, "</td>", 0) != 0) {
        for (const CDRecordNode* at = reference->prev; at != nullptr; at = at->prev) {
            if (at->signature == kSigPabReference) break;
            // The division on top opened in this cell's tag: the row's first
            // written cell, in column 0 or after a block that covers it.
            if (IsCellRecord(at->signature)) return true;
        }
    }
    // A paragraph element opened inside the layer's division closes as
    // usual: a paragraph element cannot hold the next one.
    if (context->outermostLayerDepth != 0 &&
        !(IsOn(context, sw::kUsePTags) && HasCloseTagBefore(context, "</p>", "</div>", nullptr, nullptr) != 0)) {
        for (const CDRecordNode* at = reference->prev; at != nullptr; at = at->prev) {
            const std::uint16_t signature = at->signature;
            // The layer's first paragraph, with or without size and
            // position records before it: the layer's division stays.
            if (signature == kSigPabReference || IsTableEndRecord(signature) || signature == kSigBoxSize ||
                signature == kSigPositioning || signature == kSigLayer)
                return true;
        }
    }
    return IsOn(context, sw::kSectionsInCSS) && IsSectionLevel(FindCloseTag(context, "</div>", 1));
}

// The innermost open division, paragraph element or list (block), and the
// innermost open list (list): one look at the stack answers what the
// previous paragraph left open.
struct InnermostBlocks {
    const char* block = nullptr;
    const char* list = nullptr;
};

[[gnu::always_inline]] inline InnermostBlocks FindInnermostBlocks(const XMLGenContext* context) {
    static constexpr const char* kBlocks[] = {"</div>", "</p>", "</ol>", "</ul>"};
    InnermostBlocks found;
    for (std::uint32_t i = context->closeTagCount; i-- > 0 && found.list == nullptr;) {
        const char* entry = context->closeTags[i].tag;
        for (const char* block : kBlocks) {
            if (!SameCloseTag(entry, block)) continue;
            if (found.block == nullptr) found.block = block;
            if (block == kBlocks[2] || block == kBlocks[3]) found.list = block;
            break;
        }
        // An open division is closed whatever lists lie below it.
        if (found.block == kBlocks[0]) break;
    }
    return found;
}

// Ends what the previous paragraph opened: its division or paragraph
// element, or the lists this paragraph does not continue.
void ClosePrevious(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t rawId,
                   std::uint16_t remappedId) {
    // The previous paragraph's division on top, as mostly: it is the
    // innermost block and closes alone.
    const CloseTagEntry* top = TopCloseTag(context);
    const bool divisionOnTop = top != nullptr && SameCloseTag(top->tag, "</div>");
    const InnermostBlocks open = divisionOnTop ? InnermostBlocks{"</div>", nullptr} : FindInnermostBlocks(context);
    const auto is = [](const char* found, const char* tag) { return found != nullptr && SameCloseTag(found, tag); };
    if (is(open.block, "</div>")) {
        if (divisionOnTop) {
            CloseTopToOutput(context);
            MoveToTextEnd(context);
        } else {
            CloseDownTo(context, "</div>", 1);
        }
        // A document that is nothing but an empty division keeps nothing
        // (the records are looked at only when the output is that division).
        if (TextLength(context) == std::strlen(kEmptyDivision) &&
            std::memcmp(context->buffer, kEmptyDivision, std::strlen(kEmptyDivision)) == 0 &&
            !ScanFillersBefore(reference).paragraphMet)
            CutOutputTo(context, 0);
    } else if (IsOn(context, sw::kUsePTags) && is(open.block, "</p>")) {
        const FillerScan scan = ScanFillersBefore(reference);
        if (scan.stop != nullptr && scan.stop->signature == kSigPabReference && scan.paragraphMet) WriteBreak(context);
        CloseDownTo(context, "</p>", 1);
    } else if (is(open.list, "</ol>")) {
        CloseNumberedLists(context, reference, rawId, remappedId);
    } else if (is(open.list, "</ul>")) {
        CloseBulletedLists(context, reference, rawId, remappedId);
    }
    MoveToTextEnd(context);
}

// Whether an item style mapping takes the paragraph.
bool MappingMatches(const XMLGenContext* context, const StyleMappingInfo& mapping, const CDRecordNode* current) {
    if ((mapping.flags & kStyleMappingExternal) != 0) return false;
    if ((mapping.flags & kStyleMappingByStyleName) != 0) {
        if (context->styleNameIndex == 0) {
            if (mapping.styleName[0] != '\0') return false;
        } else if (StyleName(context->records166[context->styleNameIndex - 1]) != mapping.styleName) {
            return false;
        }
    }
    if ((mapping.flags & kStyleMappingByParagraph) != 0 && current != nullptr) {
        const CDPABDEFEXT image = ParagraphImage(current);
        if (PABDefinitionsMatch(&image, &mapping.paragraph, mapping.listKindsRequired, mapping.listKindsExcluded,
                                &mapping.paragraphCriteria) == 0)
            return false;
    }
    return true;
}

// The paragraph style mapping: the one the previous paragraph opened ends
// (its list too when the lists end here); the first of the item's mappings
// that matches this paragraph opens instead of any element. True when one
// did.
bool StartParagraphMapping(XMLGenContext* context) {
    // No mapping open and none in the item, as mostly: nothing to do.
    if (context->paragraphMapping == nullptr &&
        (context->item == nullptr || context->item->work == nullptr || context->item->work->externalMappings == nullptr))
        return false;
    const CDRecordNode* current = CurrentDefinition(context);
    if (StyleMappingInfo* open = context->paragraphMapping; open != nullptr) {
        CloseDownTo(context, MappingClosing(*open), 0);
        const CDRecordNode* previous = PreviousDefinition(context);
        const bool previousList = previous != nullptr && IsListDefinition(previous);
        const bool currentList = current != nullptr && IsListDefinition(current);
        if (!(previousList && currentList)) {
            if (previousList) CloseDownTo(context, open->listClosing, 0);
            context->paragraphMapping = nullptr;
        }
    }
    ZervaRTItem* item = context->item;
    if (item == nullptr || item->work == nullptr) return false;
    for (StyleMappingInfo* mapping = item->work->externalMappings; mapping != nullptr; mapping = mapping->next) {
        if (!MappingMatches(context, *mapping, current)) continue;
        // The extra text opens what the mapping's paragraphs lie in (a list
        // around its items): its end is the list closing text when the
        // mapping has one.
        if (mapping != context->paragraphMapping && mapping->extra[0] != '\0') {
            AppendOutput(context, mapping->extra);
            PushCloseTag(context, mapping->listClosing[0] != '\0' ? mapping->listClosing : MappingClosing(*mapping));
        }
        AppendOutput(context, MappingOpening(*mapping));
        PushCloseTag(context, MappingClosing(*mapping));
        context->paragraphMapping = mapping;
        return true;
    }
    return false;
}

// Whether a table right after the paragraph's start follows a cell (or
// the list's start) that needs no line break before it.
int NoBreakBeforeTable(XMLGenContext* context, const CDRecordNode* reference) {
    if (IsOn(context, sw::kForceParagraphs)) return 0;
    const CDRecordNode* q = reference->prev;
    if (q != nullptr && q->signature == kSigPabDefinition && q->prev != nullptr) q = q->prev;
    if (q != nullptr && q->signature == kSigParagraph) q = q->prev;
    if (q != nullptr && q->signature == kSigLargeParagraph) q = q->prev;
    if (q == nullptr) return 1;
    if (!IsCellRecord(q->signature)) return 0;
    return IsOn(context, sw::kStandardFontTags) || CellStartsWithPlainParagraph(context, q) != 0 ||
                   (NodeByte(q, kCellFlagsAt) & kCellHidden) != 0
               ? 1
               : 0;
}

// Whether the paragraph has a record before it other than a definition at
// the list's very start (the paragraph's alignment is written then).
bool Alignable(const XMLGenContext* context, const CDRecordNode* reference) {
    const CDRecordNode* before = reference->prev;
    return CurrentDefinition(context) != nullptr && before != nullptr &&
           !(before->signature == kSigPabDefinition && before->prev == nullptr);
}

// The paragraph's border record: the first before its text, an element or
// the next paragraph.
const CDRecordNode* BorderRecord(const CDRecordNode* reference) {
    for (const CDRecordNode* at = reference->next; at != nullptr; at = at->next) {
        const std::uint16_t signature = at->signature;
        if (signature == kSigText || signature == kSigBegin || signature == kSigPabReference ||
            IsTableBeginRecord(signature))
            return nullptr;
        if (signature == kSigBorderInfo) return at;
    }
    return nullptr;
}

// The alignment attribute of the paragraph, or an empty text.
const char* AlignmentAttribute(const XMLGenContext* context, const CDRecordNode* reference) {
    if (!Alignable(context, reference)) return "";
    switch (Justification(CurrentDefinition(context))) {
    case 0: return context->tableDepth > 0 ? " align='left'" : "";
    case 1: return " align='right'";
    case 2: return " align='justify'";
    case 3: return " align='center'";
    default: return "";
    }
}

// The attributes of a division or paragraph element: the spacing its
// border record asks for and the paragraph's alignment.
void WriteAttributes(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* border) {
    if (border == nullptr) {
        // Most paragraphs have no border record: the alignment alone, and
        // mostly not that either.
        const char* alignment = AlignmentAttribute(context, reference);
        if (alignment[0] != '\0') AppendOutput(context, alignment);
        return;
    }
    std::string text;
    const unsigned top = NodeWord(border, kBorderTopAt), bottom = NodeWord(border, kBorderBottomAt);
    const unsigned left = NodeWord(border, kBorderLeftAt), right = NodeWord(border, kBorderRightAt);
    if (top + bottom > 0) AppendFormat(&text, " vspace=\"%u\"", top > bottom ? top : bottom);
    if (left + right > 0) AppendFormat(&text, " hspace=\"%u\"", left > right ? left : right);
    text += AlignmentAttribute(context, reference);
    AppendOutput(context, text);
}

// The class attribute of a paragraph's element and the end of its start
// tag, written without formatting: every paragraph writes one.
void WriteClassAttribute(XMLGenContext* context, std::uint16_t remappedId) {
    static constexpr char kStart[] = " class=\"pabid";
    char text[sizeof kStart + 8];
    std::memcpy(text, kStart, sizeof kStart - 1);
    char digits[8];
    std::size_t count = 0;
    unsigned value = remappedId;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::size_t used = sizeof kStart - 1;
    while (count > 0) text[used++] = digits[--count];
    text[used++] = '"';
    text[used++] = '>';
    AppendOutput(context, text, used);
}

// The start tag of a paragraph without border or inline rule written piece
// by piece, as each piece fits: the element, its alignment, then its class
// attribute or the tag's end.
[[gnu::noinline]] void WriteOpeningInPieces(XMLGenContext* context, const char* element, const char* alignment,
                                            bool classed, std::uint16_t remappedId) {
    AppendOutput(context, element);
    if (alignment[0] != '\0') AppendOutput(context, alignment);
    if (classed) {
        WriteClassAttribute(context, remappedId);
    } else {
        AppendOutput(context, ">");
    }
}

// The same tag from the memo, whole where it fits, else in pieces.
inline void WriteOpeningFromMemo(XMLGenContext* context, const char* element, const char* alignment, bool classed,
                                 std::uint16_t remappedId) {
    const ParagraphOpeningMemo& memo = context->paragraphOpening;
    if (memo.length != 0 && AtTextEnd(context) &&
        memo.length < context->capacity - static_cast<std::size_t>(context->writePosition - context->buffer)) {
        AppendOutput(context, memo.text, memo.length);
        return;
    }
    WriteOpeningInPieces(context, element, alignment, classed, remappedId);
}

// Builds the tag into the memo (left empty when the tag is too long for
// it), then writes it.
[[gnu::noinline]] void BuildAndWriteOpening(XMLGenContext* context, const char* element, const char* alignment,
                                            bool classed, std::uint16_t remappedId) {
    ParagraphOpeningMemo& memo = context->paragraphOpening;
    std::string text = std::string(element) + alignment;
    if (classed) {
        text += " class=\"pabid" + std::to_string(remappedId) + "\">";
    } else {
        text += ">";
    }
    memo.length = 0;
    if (text.size() < sizeof memo.text) {
        std::memcpy(memo.text, text.data(), text.size());
        memo.length = static_cast<std::uint8_t>(text.size());
        memo.element = element;
        memo.alignment = alignment;
        memo.classed = classed;
        memo.id = remappedId;
    }
    WriteOpeningFromMemo(context, element, alignment, classed, remappedId);
}

// The start tag of a paragraph without border or inline rule: built once
// and repeated while paragraphs ask for the same element, alignment, class
// attribute and id.
void WritePlainOpening(XMLGenContext* context, const char* element, const char* alignment, bool classed,
                       std::uint16_t remappedId) {
    const ParagraphOpeningMemo& memo = context->paragraphOpening;
    if (memo.length == 0 || memo.element != element || memo.alignment != alignment || memo.classed != classed ||
        memo.id != remappedId) {
        BuildAndWriteOpening(context, element, alignment, classed, remappedId);
        return;
    }
    WriteOpeningFromMemo(context, element, alignment, classed, remappedId);
}

// The inline rule of MoveStylesInline without its zero left margin (and
// the blank after it); the rule itself when it has none.
std::string WithoutZeroMargin(const std::string& rule, std::size_t zero) {
    if (zero == std::string::npos) return rule;
    std::size_t end = zero + kZeroMarginLength;
    if (end < rule.size() && rule[end] == ' ') ++end;
    return rule.substr(0, zero) + rule.substr(end);
}

// A paragraph that is not a list: a division (or paragraph element) with
// its class or inline rule, border spacing and alignment.
void OpenParagraph(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t remappedId) {
    if (context->noBreakBeforeTable != 0) return;
    if (IsOn(context, sw::kStandardFontTags)) {
        if (HasCloseTag(context, "</p>", 1) != 0) CloseDownTo(context, "</p>", 0);
        if (!Alignable(context, reference)) return;
        const char* division = nullptr;
        switch (Justification(CurrentDefinition(context))) {
        case 1: division = "<div align='right'>"; break;
        case 3: division = "<div align='center'>"; break;
        case 2: division = "<div align='justify'>"; break;
        default: break;
        }
        if (division != nullptr) {
            AppendOutput(context, division);
            PushCloseTag(context, "</div>");
        } else {
            WriteBreak(context);
        }
        return;
    }

    const CDRecordNode* border = BorderRecord(reference);
    // Most paragraphs: no border record and no inline rule, the element
    // with its alignment and class.
    if (border == nullptr && !IsOn(context, sw::kMoveStylesInline)) {
        const bool usePTags = IsOn(context, sw::kUsePTags);
        if (usePTags) {
            PushCloseTagOfKind(context, "</p>", kInlineNone);
        } else {
            PushCloseTagOfKind(context, "</div>", kInlineNone);
        }
        WritePlainOpening(context, usePTags ? "<p" : "<div", AlignmentAttribute(context, reference),
                          !IsOn(context, sw::kSuppressDivInfo), remappedId);
        return;
    }
    std::string borderCSS;
    if (border != nullptr) {
        char css[kBorderCSSSize] = {};
        WriteXMLBorderStyle(border->bytes, border->length, context, css, sizeof css);
        borderCSS = css;
        if (borderCSS.size() <= 1) borderCSS.clear();
    }
    const bool usePTags = IsOn(context, sw::kUsePTags);
    const char* element = usePTags ? "p" : "div";
    const char* closing = usePTags ? "</p>" : "</div>";

    if (IsOn(context, sw::kMoveStylesInline)) {
        const std::string open = context->openBrace, close = context->closeBrace;
        const char* found = FindClassRule(context, remappedId);
        const std::string rule = found != nullptr ? found : "";
        const char* margin = FindNoCase(rule.c_str(), "margin-left: ");
        std::size_t zero = std::string::npos;
        if (margin != nullptr && StartsWithNoCase(margin, kZeroMargin))
            zero = static_cast<std::size_t>(margin - rule.c_str());
        const bool zeroLast = zero != std::string::npos && zero + kZeroMarginLength >= rule.size();
        if (rule.empty() || zeroLast) {
            if (!IsOn(context, sw::kAllowEmptyDivs) && border == nullptr) return;
        } else {
            const std::string style = usePTags ? rule : WithoutZeroMargin(rule, zero);
            AppendOutput(context, std::string("<") + element + " style=\"" + open + style + borderCSS + close + "\"");
            PushCloseTagOfKind(context, closing, kInlineNone);
            WriteAttributes(context, reference, border);
            AppendOutput(context, ">");
            return;
        }
    }
    if (borderCSS.size() >= 2) {
        AppendOutput(context, std::string("<") + element + " style=\"" + context->openBrace + borderCSS +
                                  context->closeBrace + "\"");
    } else {
        AppendOutput(context, usePTags ? "<p" : "<div");
    }
    PushCloseTagOfKind(context, closing, kInlineNone);
    WriteAttributes(context, reference, border);
    if (!IsOn(context, sw::kMoveStylesInline) && !IsOn(context, sw::kSuppressDivInfo)) {
        WriteClassAttribute(context, remappedId);
    } else {
        AppendOutput(context, ">");
    }
}

} // namespace

void EndPreviousParagraphElement(XMLGenContext* context, const CDRecordNode* reference) {
    MoveToTextEnd(context);
    CloseInlineElements(context);
    if (KeepsPreviousElement(context, reference)) return;
    const InnermostBlocks open = FindInnermostBlocks(context);
    if (open.block != nullptr && (SameCloseTag(open.block, "</div>") || SameCloseTag(open.block, "</p>")))
        CloseDownTo(context, open.block, 1);
}

void WriteParagraphStart(XMLGenContext* context, std::uint16_t remappedId) {
    CDRecordNode* reference = context->node;
    const std::uint16_t rawId = NodeWord(reference, 2);
    context->styleNameIndex = FindStyleName(context, reference, rawId);
    MoveToTextEnd(context);
    // A span or font element of the previous paragraph's text ends with it.
    CloseInlineElements(context);
    if (!KeepsPreviousElement(context, reference)) ClosePrevious(context, reference, rawId, remappedId);

    if (!StartParagraphMapping(context)) {
        if (IsOn(context, sw::kForceParagraphs)) CloseDownTo(context, "</p>", 0);
        context->noBreakBeforeTable = NoBreakBeforeTable(context, reference);
        bool numbered = false;
        const CDRecordNode* list = FindListPAB(context, rawId, &numbered);
        if (list == nullptr) {
            OpenParagraph(context, reference, remappedId);
        } else {
            WriteListParagraph(context, reference, list, numbered, remappedId);
        }
    }

    context->lastParagraphId = remappedId;
    MoveToTextEnd(context);
    if (context->node == reference) context->node = reference->next;
}

} // namespace talix
