// Reading the records the generation walks: fields read within the record's
// length (a field past a short record reads as 0), the signature a BEGIN or
// END record brackets, and the extent of the range being rendered.
#pragma once

#include <cstdint>

#include "core/brackets.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// The record a BEGIN or END record brackets.
inline std::uint16_t InnerSignature(const CDRecordNode* node) { return BracketedSignature(node); }

inline bool IsTextRun(std::uint16_t signature) { return signature == kSigText || signature == kSigBidiText; }

// Whether a text run holds text.
inline bool RunHasText(const CDRecordNode* node) {
    return node->bytes != nullptr && node->length > kTextRunHeader;
}

// Whether the node lies within the range being rendered: the walk never
// visits a record after the range's last one. The range ends at the node
// after its last record, found by identity, so that ranges of any length
// (record numbers are 16 bits) and records added for the run (numbered 0)
// are told apart correctly. A context without a last record renders
// nothing.
inline bool InRange(const XMLGenContext* context, const CDRecordNode* node) {
    return node != nullptr && context->endNode != nullptr && node != context->endNode->next;
}

} // namespace talix
