// Paragraph references in the record walk: the definition a paragraph is
// formatted by, and paragraphs hidden by their definition's flags or
// hide-when formula (RespectHiddenFormulas), which are passed over with
// their content.
#include <cstring>

#include "core/options.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/paragraph_start.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Paragraph definition fields.
constexpr std::uint32_t kFlagsAt = 62, kFlags2At = 68;
constexpr std::uint16_t kHiddenFromNotes = 0x0010, kHiddenFromPreview = 0x0040, kHideWhen = 0x0800,
                        kHiddenFromWeb = 0x8000, kHiddenFromWebMode = 0x0001;
// Hide-when formula record: the paragraph id, the compiled formula after
// the fixed part.
constexpr std::uint32_t kHideIdAt = 4, kHideFormulaAt = 14;
constexpr std::uint16_t kTypeNumber = 0x0300, kTypeNumberRange = 0x0301;

// The records that make up a paragraph's content, passed over with a
// hidden paragraph.
bool IsParagraphContent(const CDRecordNode* node) {
    switch (node->signature) {
    case kSigText:
    case kSigBidiText:
    case kSigTextEffect:
    case kSigLargeParagraph:
    case kSigParagraph:
    case kSigColor:
    case kSigBidiTextEffect:
        return true;
    case kSigBegin:
    case kSigEnd:
        return IsTextRun(InnerSignature(node));
    default:
        return false;
    }
}

// Whether the record begins a table: its begin, or its pre-table record
// (alone or in its bracket).
bool StartsTable(const CDRecordNode* node) {
    if (IsTableBeginRecord(node->signature) || node->signature == kSigPreTableBegin) return true;
    return node->signature == kSigBegin && InnerSignature(node) == kSigPreTableBegin;
}

// The hide-when formula record of a paragraph id nearest before the
// reference. A look-up that reaches a reference looked up before for the
// same id takes its answer, so that paragraphs of one definition do not
// each scan back to the document's start.
const CDRecordNode* FindHideFormula(XMLGenContext* context, const CDRecordNode* reference, std::uint16_t id) {
    const HideFormulaMemo* memo = nullptr;
    for (const HideFormulaMemo& entry : context->hideMemo) {
        if (entry.from != nullptr && entry.id == id) memo = &entry;
    }
    const CDRecordNode* found = nullptr;
    for (const CDRecordNode* at = reference->prev; at != nullptr; at = at->prev) {
        if (memo != nullptr && at == memo->from) {
            found = memo->formula;
            break;
        }
        if (at->signature == kSigPabHide && NodeWord(at, kHideIdAt) == id) {
            found = at;
            break;
        }
    }
    HideFormulaMemo* slot = nullptr;
    for (HideFormulaMemo& entry : context->hideMemo) {
        if (entry.from != nullptr && entry.id == id) slot = &entry;
    }
    if (slot == nullptr) {
        slot = &context->hideMemo[context->hideMemoNext];
        context->hideMemoNext = static_cast<std::uint16_t>((context->hideMemoNext + 1) % kHideMemoSlots);
    }
    *slot = HideFormulaMemo{reference, id, found};
    return found;
}

// Whether a compiled hide-when formula evaluates, on the item's note, to a
// number other than 0 (NaN included). A formula that cannot be evaluated,
// or gives anything else, hides nothing (one compiled by another system
// included).
bool FormulaHides(XMLGenContext* context, const CDRecordNode* record) {
    if (record->length <= kHideFormulaAt) return false;
    plat::HCOMPUTE compute = 0;
    if (StartStoredFormula(context, record->bytes + kHideFormulaAt, record->length - kHideFormulaAt, &compute) !=
        plat::NOERROR)
        return false;
    bool hides = false;
    plat::DHANDLE result = 0;
    plat::WORD resultLength = 0;
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    if (plat::ComputeEvaluate(compute, note, &result, &resultLength) == plat::NOERROR) {
        const auto* value = static_cast<const std::uint8_t*>(plat::MemLock(result));
        if (value != nullptr) {
            const std::uint16_t type = resultLength >= 2 ? ReadWord(value) : 0;
            std::size_t at = 0;
            if (type == kTypeNumber) at = 2;
            if (type == kTypeNumberRange) at = 6;
            if (at != 0 && at + sizeof(double) <= resultLength) {
                double number = 0;
                std::memcpy(&number, value + at, sizeof number);
                hides = number != 0;   // NaN too
            }
            plat::MemUnlock(result);
        }
        plat::MemFree(result);
    }
    plat::ComputeStop(compute);
    return hides;
}

bool IsHidden(XMLGenContext* context, const CDRecordNode* reference, const CDRecordNode* definition,
              std::uint16_t rawId) {
    const std::uint16_t flags = NodeWord(definition, kFlagsAt);
    const std::uint16_t flags2 = NodeWord(definition, kFlags2At);
    const bool byFlag = IsOn(context, sw::kPreviewMode) ? (flags & kHiddenFromPreview) != 0
                                                         : (flags & kHiddenFromNotes) != 0;
    const bool byWeb = IsOn(context, sw::kWebMode) ? (flags2 & kHiddenFromWebMode) != 0
                                                    : (flags & kHiddenFromWeb) != 0;
    if (byFlag || byWeb) return true;
    if ((flags & kHideWhen) == 0) return false;
    const CDRecordNode* formula = FindHideFormula(context, reference, rawId);
    return formula != nullptr && FormulaHides(context, formula);
}

} // namespace

bool ParagraphReferenceHidden(XMLGenContext* context, const CDRecordNode* reference) {
    const std::uint16_t rawId = NodeWord(reference, 2);
    const CDRecordNode* definition = NearestDefinitionBefore(context, reference, RemapPABID(context, rawId));
    return definition != nullptr && IsHidden(context, reference, definition, rawId);
}

void HandleParagraphReference(XMLGenContext* context) {
    CDRecordNode* reference = context->node;
    context->previousDefinition = context->currentDefinition;
    context->currentDefinition = nullptr;
    context->pendingBreak = 0;

    const std::uint16_t rawId = NodeWord(reference, 2);
    const std::uint16_t id = RemapPABID(context, rawId);
    context->currentDefinition = NearestDefinitionBefore(context, reference, id);
    const CDRecordNode* definition = context->currentDefinition;
    if (definition != nullptr && IsOn(context, sw::kRespectHiddenFormulas) &&
        IsHidden(context, reference, definition, rawId)) {
        CDRecordNode* node = reference->next;
        while (InRange(context, node) && IsParagraphContent(node)) node = node->next;
        if (InRange(context, node) && StartsTable(node)) EndPreviousParagraphElement(context, reference);
        context->node = node;
        return;
    }
    WriteParagraphStart(context, id);
}

} // namespace talix
