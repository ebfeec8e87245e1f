#include "htmlgen/list_style.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/text_compare.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/style_text.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

// Indents at the top level (outside tables and layers) count from the
// page's inch and a quarter; nested ones from their outer list.
constexpr long kTopPadded = 1800, kPage = 1440, kTopPadding = 360;
constexpr long kNestedPadded = 180, kNestedPadding = 180;

// How far a list definition indents: its left offset when it has one, else
// its left margin.
long Indent(const ParagraphFields& fields) {
    return (fields.flags2 & kPara2LeftOffset) != 0 ? fields.leftOffset : fields.leftMargin;
}

const ListNestingMemo* FindMemo(const XMLGenContext* context, const CDRecordNode* reference) {
    for (const ListNestingMemo& memo : context->listNesting) {
        if (memo.reference == reference) return &memo;
    }
    return nullptr;
}

void Remember(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* outer) {
    context->listNesting[context->listNestingNext] = ListNestingMemo{reference, outer};
    context->listNestingNext = static_cast<std::uint16_t>((context->listNestingNext + 1) % kListNestingMemoSlots);
}

// The nearest paragraph reference before this one, among those of the
// stretch of list paragraphs it ends, whose list indents less; null when
// none does (the list is at the top level). A reference whose answer is
// known and that indents at least as deep is stepped over to its own
// answer: everything between lies at least as deep, so that a long
// stretch of lists is searched once, not once per list.
const CDRecordNode* OuterListReference(XMLGenContext* context, const CDRecordNode* reference, long indent) {
    const CDRecordNode* at = reference->prev;
    while (at != nullptr) {
        if (at->signature != kSigPabReference) {
            at = at->prev;
            continue;
        }
        const CDRecordNode* definition = NearestDefinitionBefore(context, at, NodeWord(at, 2));
        if (definition == nullptr) return nullptr;
        const ParagraphFields fields = ReadParagraphFields(definition);
        if (!fields.List()) return nullptr;
        if (Indent(fields) < indent) return at;
        const ListNestingMemo* memo = FindMemo(context, at);
        if (memo != nullptr) {
            if (memo->outer == nullptr) return nullptr;
            at = memo->outer;
            continue;
        }
        at = at->prev;
    }
    return nullptr;
}

} // namespace

STATUS WriteXMLListStyle(XMLGenContext* context, const CDRecordNode* reference, const char* styleText) {
    if (context == nullptr || reference == nullptr) return kArgumentError;
    const bool hasPadding = styleText != nullptr && std::strstr(styleText, "padding-left") != nullptr;
    const bool hasMargin = styleText != nullptr && std::strstr(styleText, "margin-left") != nullptr;
    if (hasPadding && hasMargin) return kOK;
    const CDRecordNode* definition = NearestDefinitionBefore(context, reference, NodeWord(reference, 2));
    const ParagraphFields fields = ReadParagraphFields(definition);
    if (definition == nullptr || !fields.List()) return kArgumentError;

    // The start tag waiting at the write position, or a style attribute of
    // our own.
    bool quoteOpened = false;
    if (*context->writePosition != '\0') {
        if (EqualNoCase(context->writePosition, "<ul style=\"")) {
            const char* typed = (fields.flags2 & kPara2ListStyle2000) != 0 ? "<ul type=\"circle\" style=\""
                                : (fields.flags2 & kPara2ListStyle2) != 0  ? "<ul type=\"disc\" style=\""
                                                                          : nullptr;
            if (typed != nullptr) {
                CutOutputTo(context, static_cast<std::uint32_t>(context->writePosition - context->buffer));
                AppendOutput(context, typed);
            }
        }
    } else {
        AppendOutput(context, " style=\"");
        quoteOpened = true;
    }

    const long indent = Indent(fields);
    const CDRecordNode* outer = OuterListReference(context, reference, indent);
    Remember(context, reference, outer);
    long amount = indent;
    if (outer != nullptr)
        amount -= Indent(ReadParagraphFields(NearestDefinitionBefore(context, outer, NodeWord(outer, 2))));
    MoveToTextEnd(context);

    long padding = 0, margin = 0;
    if (outer == nullptr && context->tableDepth == 0 && context->layerDepth == 0) {
        // A list set left of the text's inch starts at the text's edge:
        // CSS takes no negative padding.
        padding = amount < kTopPadded ? std::max(amount - kPage, 0L) : kTopPadding;
        margin = amount < kTopPadded ? 0 : amount - kTopPadded;
    } else {
        padding = amount < kNestedPadded ? amount : kNestedPadding;
        margin = amount < kNestedPadded ? 0 : amount - kNestedPadded;
    }
    std::string text;
    if (!hasPadding) AppendInches(&text, "padding-left", padding);
    if (!hasMargin) AppendInches(&text, "margin-left", margin);
    if (quoteOpened) text += "\"";
    AppendOutput(context, text);
    return kOK;
}

} // namespace talix
