// The paragraph definitions of lists in the import's record list.
#include "htmlimport/list_definitions.h"

#include <algorithm>
#include <cstring>

#include "builders/build_context.h"
#include "core/pab_match.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/session_work_area.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"

namespace talix {

namespace {

CDPABDEFEXT ImageOf(const std::uint8_t* bytes, std::uint32_t length) {
    // Every byte the record does not give is 0 (the value-initialised
    // image's signature is set by the copy).
    CDPABDEFEXT image{};
    image.signature = 0;
    std::memcpy(static_cast<void*>(&image), bytes, std::min<std::uint32_t>(length, sizeof image));
    return image;
}

} // namespace

int SavedListIndex(std::uint16_t level) { return std::min<int>(level, kImportListLevels - 1); }

CDRecordNode* ImportInsertionPoint(const HTMLImportContext* import) {
    return import->insertAfter != nullptr ? import->insertAfter : import->listTail;
}

CDPABDEFEXT DefinitionImage(const CDRecordNode* node) { return ImageOf(node->bytes, node->length); }

CDPABDEFEXT CurrentDefinitionImage(const BuildContext* context) {
    const std::uint8_t* definition = context->paragraphDefinition;
    std::uint32_t length = ReadWord(definition + 2);
    if (length < kParagraphDefinitionFixedLength || length > kParagraphImageSize)
        length = std::clamp<std::uint32_t>(context->paragraphDefinitionLength, kParagraphDefinitionFixedLength,
                                           kParagraphImageSize);
    return ImageOf(definition, length);
}

bool MatchesParsedStyle(const BuildContext* context, const CDPABDEFEXT& definition) {
    const ParagraphStyleState& style = context->paragraph;
    const PABMatchCriteria criteria = CriteriaFromMask(style.mask[0]);
    return PABDefinitionsMatch(&definition, &style.definition[0], style.listType[0], style.listClear[0],
                               &criteria) != 0;
}

void TakeDefinitionAsCurrent(BuildContext* context, const CDRecordNode* node) {
    if (node == nullptr || node->length < kParagraphDefinitionFixedLength) return;
    const std::uint32_t length = std::min<std::uint32_t>(node->length, kParagraphImageSize);
    std::memset(context->paragraphDefinition, 0, kParagraphImageSize);
    std::memcpy(context->paragraphDefinition, node->bytes, length);
    WriteWord(context->paragraphDefinition + 2, static_cast<std::uint16_t>(length));
    context->paragraphDefinitionLength = length;
    SetReferenceId(context, ReadWord(node->bytes + 4));
}

} // namespace talix
