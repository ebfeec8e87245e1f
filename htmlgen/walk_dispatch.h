// The record walk's handling of one record, by its signature, and the
// paragraph references it handles itself (hidden paragraphs, the current
// paragraph definition).
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// One call of the walk: the signature of the BEGIN record whose content it
// renders (0 for none) and its depth (0 for the outermost call).
struct WalkCall {
    std::uint16_t kind = 0;
    std::uint16_t depth = 0;
};

// What the walk does after a record.
enum class WalkStep : std::uint8_t {
    Next,        // go on with the current node (a failure status ends the loop)
    Return,      // the element this call renders has ended: return the status
    StopAtCell,  // a cell of the table this call renders a cell of: end the loop
};

struct StepResult {
    WalkStep step = WalkStep::Next;
    STATUS status = kOK;
};

// Nested walks (BEGIN records, tables, layers) go at most this deep; a
// deeper element's content is rendered by the walk it lies in.
constexpr std::uint16_t kMaxWalkNesting = 100;
static_assert(kGenTableLevels > kMaxWalkNesting, "every table written needs a level state of its own");

// A paragraph reference met while hide markers are not in force: the
// current paragraph definition is looked up; a hidden paragraph is passed
// over with its content, a visible one starts (htmlgen/walk_writers.h).
void HandleParagraphReference(XMLGenContext* context);

// The writers DispatchRecord hands records to: a text run, and every record
// but text runs, paragraph records and paragraph references.
StepResult DispatchTextRun(XMLGenContext* context, const WalkCall& call);
StepResult DispatchOtherRecord(XMLGenContext* context, const WalkCall& call);

// Handles the record at the context's current node and moves the current
// node past what it consumed. The records most bodies are made of are told
// apart in the walk's own loop; paragraph records and references need no
// writer of their own.
inline StepResult DispatchRecord(XMLGenContext* context, const WalkCall& call) {
    CDRecordNode* node = context->node;
    switch (node->signature) {
    case kSigText:
    case kSigBidiText:
        return DispatchTextRun(context, call);
    case kSigParagraph:
        if (context->skipParagraphs == 0) context->pendingBreak = 1;
        context->node = node->next;
        return StepResult{};
    case kSigPabReference:
        if (context->skipParagraphs == 0) HandleParagraphReference(context);
        // The reference is passed over unless its handling moved on already.
        if (context->node == node) context->node = node->next;
        return StepResult{};
    default:
        return DispatchOtherRecord(context, call);
    }
}

// Whether the paragraph of a reference is hidden (RespectHiddenFormulas):
// by its definition's flags or its hide-when formula. A paragraph whose
// definition is not found is shown.
bool ParagraphReferenceHidden(XMLGenContext* context, const CDRecordNode* reference);

// The current paragraph's definition, or null (asked several times for
// each paragraph: answered in place).
inline const CDRecordNode* CurrentDefinition(const XMLGenContext* context) { return context->currentDefinition; }

} // namespace talix
