#include "htmlgen/paragraph_definitions.h"

#include <cstring>
#include <new>

#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "engine/paragraph_equivalence.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

// Paragraph definition fields.
constexpr std::uint32_t kIdAt = 4, kJustificationAt = 6, kLineSpacingAt = 8, kBeforeAt = 10, kAfterAt = 12,
                        kLeftAt = 14, kFirstLineAt = 18, kFlagsAt = 62, kFlags2At = 68;
// The margin words after the fixed part.
constexpr std::uint32_t kLeftOffsetAt = 72, kLeftPercentAt = 74, kFirstLineOffsetAt = 76, kFirstLinePercentAt = 78,
                        kRightPercentAt = 82;
// A cell whose first paragraph is offset by less than this counts as plain.
constexpr std::uint16_t kPlainOffset = 21;
constexpr std::uint16_t kPara2PlainBits = 0x0500;

} // namespace

ParagraphFields ReadParagraphFields(const CDRecordNode* definition) {
    ParagraphFields fields;
    if (definition == nullptr) return fields;
    fields.id = NodeWord(definition, kIdAt);
    fields.justification = NodeWord(definition, kJustificationAt);
    fields.lineSpacing = NodeWord(definition, kLineSpacingAt);
    fields.spacingBefore = NodeWord(definition, kBeforeAt);
    fields.spacingAfter = NodeWord(definition, kAfterAt);
    fields.leftMargin = NodeWord(definition, kLeftAt);
    fields.firstLineMargin = NodeWord(definition, kFirstLineAt);
    fields.flags = NodeWord(definition, kFlagsAt);
    fields.flags2 = NodeWord(definition, kFlags2At);
    fields.extension = definition->length > kParagraphDefinitionFixedLength;
    if (fields.extension) {
        fields.leftOffset = NodeWord(definition, kLeftOffsetAt);
        fields.leftPercent = NodeWord(definition, kLeftPercentAt);
        fields.firstLineOffset = NodeWord(definition, kFirstLineOffsetAt);
        fields.firstLinePercent = NodeWord(definition, kFirstLinePercentAt);
        fields.rightPercent = NodeWord(definition, kRightPercentAt);
    }
    return fields;
}

CDPABDEFEXT ParagraphImage(const CDRecordNode* definition) {
    CDPABDEFEXT image;
    std::memset(static_cast<void*>(&image), 0, sizeof image);
    if (definition == nullptr || definition->bytes == nullptr) return image;
    const std::size_t length = definition->length < sizeof image ? definition->length : sizeof image;
    std::memcpy(static_cast<void*>(&image), definition->bytes, length);
    return image;
}

namespace {

// The nearest definition of the id before the node among those the engine
// collected (kept in record order), or null.
const CDRecordNode* CollectedDefinitionBefore(const XMLGenContext* context, const CDRecordNode* node,
                                              std::uint16_t id) {
    for (std::uint16_t i = context->definitionCount; i-- > 0;) {
        const CDRecordNode* definition = context->definitions[i];
        if (definition != nullptr && definition->index < node->index && NodeWord(definition, kIdAt) == id)
            return definition;
    }
    return nullptr;
}

} // namespace

const CDRecordNode* NearestDefinitionBefore(XMLGenContext* context, const CDRecordNode* node, std::uint16_t id) {
    if (node == nullptr) return nullptr;
    // The engine collects every definition of the item unless there are
    // more than its list holds.
    if (context->definitionCount < kGenRecordListSize) return CollectedDefinitionBefore(context, node, id);
    // Otherwise walk back over the records, stopping where an earlier walk
    // for the id began: what it found holds from there on back.
    DefinitionMemo& memo = context->definitionMemo[id & (kDefinitionMemoSlots - 1)];
    if (memo.from != nullptr && memo.id == id && node->index <= memo.from->index &&
        (memo.found == nullptr || memo.found->index < node->index))
        return memo.found;
    const bool extends = memo.from != nullptr && memo.id == id && memo.from->index < node->index;
    const CDRecordNode* found = nullptr;
    for (const CDRecordNode* at = node->prev; at != nullptr; at = at->prev) {
        if (at->signature == kSigPabDefinition && NodeWord(at, kIdAt) == id) {
            found = at;
            break;
        }
        if (extends && at == memo.from) {
            found = memo.found;
            break;
        }
    }
    memo = DefinitionMemo{node, found, id};
    return found;
}

void AddUsedPABDefinition(XMLGenContext* context, CDRecordNode* definition) {
    if (context == nullptr || definition == nullptr) return;
    if (context->usedListDefinitions == nullptr) {
        context->usedListDefinitions = new (std::nothrow) UsedListDefinitions();
        if (context->usedListDefinitions == nullptr) return;
    }
    UsedListDefinitions& used = *context->usedListDefinitions;
    if (!used.nodes.insert(definition).second) return;
    // The look-up by id answers with the first used definition of the id.
    used.firstOfId.try_emplace(NodeWord(definition, kIdAt), definition);
}

void ReleaseUsedPABDefinitions(XMLGenContext* context) {
    if (context == nullptr) return;
    delete context->usedListDefinitions;
    context->usedListDefinitions = nullptr;
}

std::uint16_t RemapPABID(XMLGenContext* context, std::uint16_t id) {
    return context != nullptr ? RemappedPabId(context, id) : id;
}

const CDRecordNode* FindListPAB(XMLGenContext* context, std::uint16_t id, bool* numbered) {
    if (numbered != nullptr) *numbered = false;
    // No list definition used, as in most documents: the id needs no look.
    if (context->usedListDefinitions == nullptr) return nullptr;
    const auto& firstOfId = context->usedListDefinitions->firstOfId;
    const auto found = firstOfId.find(RemapPABID(context, id));
    if (found == firstOfId.end()) return nullptr;
    // The first used definition of the id decides.
    const CDRecordNode* definition = found->second;
    const std::uint16_t flags = NodeWord(definition, kFlagsAt);
    if ((flags & kParaNumbered) != 0) {
        if (numbered != nullptr) *numbered = true;
        return definition;
    }
    return (flags & kParaBulleted) != 0 ? definition : nullptr;
}

FillerScan ScanFillersBefore(const CDRecordNode* reference) {
    FillerScan scan;
    for (const CDRecordNode* at = reference != nullptr ? reference->prev : nullptr; at != nullptr; at = at->prev) {
        switch (at->signature) {
        case kSigParagraph:
            scan.paragraphMet = true;
            continue;
        case kSigPabFormRef:
        case kSigStyleName:
        case kSigPabDefinition:
        case kSigLargeParagraph:
            continue;
        default:
            if (IsTextRun(at->signature) && !RunHasText(at)) continue;
            scan.stop = at;
            return scan;
        }
    }
    return scan;
}

int CellStartsWithPlainParagraph(XMLGenContext* context, const CDRecordNode* cell) {
    if (context == nullptr || cell == nullptr || !IsCellRecord(cell->signature)) return 0;
    const CDRecordNode* definition = nullptr;
    const CDRecordNode* at = cell->next;
    for (; at != nullptr; at = at->next) {
        if (at->signature == kSigPabDefinition) {
            definition = at;
            break;
        }
        if (at->signature == kSigPabReference) {
            definition = NearestDefinitionBefore(context, at, RemapPABID(context, NodeWord(at, 2)));
            if (definition == nullptr) return 1;
            break;
        }
    }
    if (at == nullptr) return 1;
    const ParagraphFields fields = ReadParagraphFields(definition);
    if ((fields.flags2 & kPara2LeftOffset) != 0 && fields.leftOffset < kPlainOffset) return 1;
    if ((fields.flags2 & kPara2PlainBits) != kPara2PlainBits) return 0;
    return fields.List() ? 0 : 1;
}

} // namespace talix
