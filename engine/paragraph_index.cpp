// Paragraph definitions by id and by content (engine/paragraph_index.h).
#include "engine/paragraph_index.h"

#include <algorithm>

#include "builders/basic_builders.h"
#include "core/record_forms.h"
#include "core/record_list.h"
#include "core/session_work_area.h"
#include "core/signatures.h"

namespace talix {

namespace {

constexpr std::uint32_t kDefinitionId = 4;
constexpr std::uint32_t kShortestDefinition = kDefinitionId + 2;

bool IsDefinition(const CDRecordNode* node) {
    return node->signature == kSigPabDefinition && node->bytes != nullptr && node->length >= kShortestDefinition;
}

} // namespace

ParagraphIndex::ParagraphIndex(const ItemRecordList* list) {
    std::uint32_t previous = 0;
    for (const CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next) {
        if (node->index <= previous) ordered_ = false;
        previous = node->index;
        if (IsDefinition(node)) byId_[ReadWord(node->bytes + kDefinitionId)].push_back(node);
    }
}

const CDRecordNode* ParagraphIndex::NearestByWalk(const CDRecordNode* from, std::uint16_t id, bool after) {
    if (from == nullptr) return nullptr;
    auto isIt = [id](const CDRecordNode* node) { return IsDefinition(node) && ReadWord(node->bytes + kDefinitionId) == id; };
    for (const CDRecordNode* node = from->prev; node != nullptr; node = node->prev)
        if (isIt(node)) return node;
    if (!after) return nullptr;
    for (const CDRecordNode* node = from->next; node != nullptr; node = node->next)
        if (isIt(node)) return node;
    return nullptr;
}

const CDRecordNode* ParagraphIndex::Nearest(const CDRecordNode* from, std::uint16_t id, bool after) const {
    if (from == nullptr) return nullptr;
    if (!ordered_) return NearestByWalk(from, id, after);
    const auto found = byId_.find(id);
    if (found == byId_.end()) return nullptr;
    const std::vector<const CDRecordNode*>& nodes = found->second;
    // The first definition at or after from's place.
    const auto at = std::lower_bound(nodes.begin(), nodes.end(), from->index,
                                     [](const CDRecordNode* node, std::uint32_t index) { return node->index < index; });
    if (at != nodes.begin()) return *(at - 1);
    if (!after) return nullptr;
    auto next = at;
    if (next != nodes.end() && *next == from) ++next;
    return next != nodes.end() ? *next : nullptr;
}

int ParagraphIndex::Criteria(const CDRecordNode* definition) const {
    const auto found = criteria_.find(definition);
    return found == criteria_.end() ? -1 : (found->second ? 1 : 0);
}

void ParagraphIndex::RememberCriteria(const CDRecordNode* definition, bool met) { criteria_[definition] = met; }

namespace {

// The content key of a definition: its length field and its comparison image.
std::string ContentKey(const std::uint8_t* definition) {
    std::string key(2 + kParagraphImageSize, '\0');
    auto* bytes = reinterpret_cast<std::uint8_t*>(key.data());
    WriteWord(bytes, ReadWord(definition + 2));
    ParagraphComparisonImage(definition, bytes + 2);
    return key;
}

} // namespace

ParagraphsByContent::ParagraphsByContent(const ItemRecordList* list) {
    for (const CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next) {
        if (IsDefinition(node)) ids_.emplace(ContentKey(node->bytes), ReadWord(node->bytes + kDefinitionId));
    }
}

std::uint16_t ParagraphsByContent::EqualId(const std::uint8_t* definition) const {
    const auto found = ids_.find(ContentKey(definition));
    return found == ids_.end() ? 0 : found->second;
}

} // namespace talix
