// Paragraph definitions among the records a walk goes through: the highest
// id, and the loading of a definition as the current one.
#include "builders/walked_paragraphs.h"

#include <cstring>

#include "builders/build_context.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/signatures.h"

namespace talix {

namespace {

// The paragraph definition the loads start from.
void DefaultPabDefinition(BuildContext* context) {
    const CDPABDEFEXT definition = DefaultParagraphDefinition(0);
    std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
    std::memcpy(context->paragraphDefinition, &definition, definition.length);
    context->paragraphDefinitionLength = definition.length;
    context->paragraphDefinitionId = 0;
}

void TakePabDefinition(const CDRecordNode* node, BuildContext* context) {
    const std::uint32_t size = node->length < kParagraphImageSize ? node->length : kParagraphImageSize;
    std::memset(context->paragraphDefinition, 0, sizeof context->paragraphDefinition);
    std::memcpy(context->paragraphDefinition, node->bytes, size);
    context->paragraphDefinitionLength = size;
    context->paragraphDefinitionId = ReadWord(node->bytes + kPabIdAt);
}

bool IsWantedPab(const CDRecordNode* node, std::uint16_t wanted, const BuildContext* context) {
    if (node->signature != kSigPabDefinition || node->length < kPabIdAt + 2 || node->bytes == nullptr) return false;
    const std::uint16_t id = ReadWord(node->bytes + kPabIdAt);
    return (wanted == kAnyParagraphId || id == wanted) && id >= context->paragraphDefinitionId;
}

} // namespace

void FindHighestPabID(BuildContext* context) {
    if (context == nullptr || context->records == nullptr) return;
    for (const CDRecordNode* node = context->records->head; node != nullptr; node = node->next) {
        if (node->signature != kSigPabDefinition || node->length < kPabIdAt + 2 || node->bytes == nullptr) continue;
        const std::uint16_t id = ReadWord(node->bytes + kPabIdAt);
        if (id > context->highestParagraphId) context->highestParagraphId = id;
    }
}

STATUS LoadPabDefinition(std::uint16_t paragraphId, std::uint16_t flags, BuildContext* context) {
    if (context == nullptr) return kOK;
    DefaultPabDefinition(context);
    ItemRecordList* list = context->records;
    if (list == nullptr) return kOK;
    const bool fromCurrent = (flags & kLoadFromCurrent) != 0 && context->node != nullptr;
    const bool firstMatch = (flags & kLoadFirstMatch) != 0;
    bool found = false;
    if ((flags & kLoadBackward) != 0) {
        CDRecordNode* last = list->tail;
        if (last == nullptr)
            for (last = list->head; last != nullptr && last->next != nullptr; last = last->next) {}
        for (CDRecordNode* node = fromCurrent ? context->node : last; node != nullptr; node = node->prev) {
            if (!IsWantedPab(node, paragraphId, context)) continue;
            TakePabDefinition(node, context);
            found = true;
            if (firstMatch) break;
        }
    }
    if ((flags & kLoadForward) != 0 && !(firstMatch && found)) {
        for (CDRecordNode* node = fromCurrent ? context->node : list->head; node != nullptr; node = node->next) {
            if (!IsWantedPab(node, paragraphId, context)) continue;
            TakePabDefinition(node, context);
            if (firstMatch) break;
        }
    }
    return kOK;
}

} // namespace talix
