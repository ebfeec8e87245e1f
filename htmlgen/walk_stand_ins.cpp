// The writers the walk hands records to, as they stand until each is built
// (htmlgen/walk_writers.h): they pass over the records that start their
// element and leave the content to the walk, so that it is rendered as
// plain text; a paragraph starts with a line break, and the head pass only
// fixes the base font, closes the head and opens the body.
#include <cstring>
#include <string>

#include "core/options.h"
#include "core/text_compare.h"
#include "core/signature_groups.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"
#include "talix/item.h"

namespace talix {

namespace {

constexpr FontId kDefaultFont{1, 0, 0, 10};

void PassOver(XMLGenContext* context) {
    if (context->node != nullptr) context->node = context->node->next;
}

// From a pre-table record to the table's first cell: the records that
// describe the table, its begin record included, are passed over.
void PassOverTableStart(XMLGenContext* context) {
    CDRecordNode* node = context->node;
    if (node == nullptr || node->signature != kSigPreTableBegin) return;
    node = node->next;
    while (InRange(context, node) && !IsTableBeginRecord(node->signature) && !IsCellRecord(node->signature) &&
           !IsTableEndRecord(node->signature) && !IsTextRun(node->signature)) {
        node = node->next;
    }
    if (InRange(context, node) && IsTableBeginRecord(node->signature)) node = node->next;
    context->node = node;
}

} // namespace

void OpenBody(XMLGenContext* context) {
    if (context == nullptr || context->bodyOpened != 0 || context->format == kFormatText) return;
    context->bodyOpened = 1;
    const bool fragment = IsOn(context, sw::kFragment);
    if (!fragment) {
        // HeadTag= markup without a head start tag leaves no head to close.
        bool headOpen = true;
        if (context->optionText != nullptr) {
            std::string headTag(std::strlen(context->optionText) + 1, '\0');
            if (GetOptionValue(context->optionText, "HeadTag=", headTag.data(),
                               static_cast<std::uint32_t>(headTag.size())) != 0) {
                headOpen = FindNoCase(headTag.c_str(), "<head>") != nullptr;
            }
        }
        if (headOpen) AppendOutput(context, "</head>");
        if (context->newlines != NewlineMode::None && !IsOn(context, sw::kQuotedPrintable))
            AppendOutput(context, "\n", 1);
    }
    if (!AppendOptionValue(context, "OpeningBody=") && !fragment) AppendOutput(context, "<body>");
}

STATUS WriteHeadPass(XMLGenContext* context) {
    context->tableDepth = 0;
    context->layerDepth = 0;
    if (context->item != nullptr) {
        context->item->defaultFontFace = kDefaultFont.face;
        context->item->defaultFontColor = kDefaultFont.color;
        context->item->defaultFontSize = kDefaultFont.size;
    }
    context->baseFont = kDefaultFont;
    context->currentFont = kDefaultFont;
    OpenBody(context);
    return kOK;
}

std::uint16_t RemapPABID(XMLGenContext* context, std::uint16_t id) {
    (void)context;
    return id;
}

void WriteParagraphStart(XMLGenContext* context, std::uint16_t remappedId) {
    (void)remappedId;
    AppendLineBreak(context);
    PassOver(context);
}

STATUS WriteXMLTable(XMLGenContext* context, std::uint16_t kind, int depth) {
    if (context->tableDepth < 0xFFFF) ++context->tableDepth;
    *CurrentTableLevel(context) = TableLevelState();
    STATUS status = kOK;
    while (status == kOK && context->overflow == 0) {
        CDRecordNode* node = context->node;
        if (!InRange(context, node)) break;
        if (IsTableEndRecord(node->signature)) {
            PassOver(context);
            break;
        }
        if (node->signature == kSigPreTableBegin) {
            PassOverTableStart(context);
        } else if (IsTableBeginRecord(node->signature) || IsCellRecord(node->signature)) {
            PassOver(context);
        }
        status = PrXMLStr(context, kind, static_cast<std::uint32_t>(depth), 0);
        if (context->node == node) PassOver(context);
        // The walk stopped at the END of the element the table lies in.
        const CDRecordNode* at = context->node;
        if (kind != 0 && at != nullptr && at->prev != nullptr && at->prev->signature == kSigEnd &&
            InnerSignature(at->prev) == kind)
            break;
    }
    if (context->tableDepth > 0) --context->tableDepth;
    return status;
}

STATUS PXMLL(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth) {
    (void)kind;
    PassOver(context);
    return PrXMLStr(context, kSigLayer, depth, 0);
}

STATUS WriteXMLLayoutRegion(XMLGenContext* context, std::uint16_t depth) {
    (void)depth;
    PassOver(context);
    return kOK;
}

} // namespace talix
