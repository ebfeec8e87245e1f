// The writers the walk hands records to, as they stand until each is built
// (htmlgen/walk_writers.h): they pass over the records that start their
// element and leave the content to the walk, so that it is rendered as
// plain text.
#include "core/signature_groups.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"

namespace talix {

namespace {

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
