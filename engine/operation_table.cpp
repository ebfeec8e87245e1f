#include "engine/operation_table.h"

#include <iterator>

namespace talix {

namespace {

const OperationFamily* const kFamilies[] = {
    &kQueryOperations,
    &kAppendOperations,
    &kInsideOperations,
    &kHotspotOperations,
    &kLinkOperations,
    &kHotspotPropertyOperations,
    &kEventOperations,
    &kRemovalOperations,
    &kParagraphOperations,
    &kTextPropertyOperations,
    &kTextRunOperations,
    &kGraphicOperations,
    &kTargetPropertyOperations,
    &kTableOperations,
    &kTablePropertyOperations,
    &kCopyOperations,
    &kRowOperations,
    &kMatchingOperations,
    &kImportOperations,
    &kFileNameOperations,
    &kGenerationOperations,
    &kVisitorOperations,
};

} // namespace

const OperationRow* FindOperation(std::uint16_t operation) {
    for (const OperationFamily* family : kFamilies) {
        for (std::size_t i = 0; i < family->count; ++i) {
            if (family->rows[i].operation == operation) return &family->rows[i];
        }
    }
    return nullptr;
}

} // namespace talix
