#include "engine/operation_table.h"

#include <iterator>

#include "core/layer_hooks.h"

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
    &kVisitorOperations,
};

} // namespace

namespace {

const OperationRow* FindIn(const OperationFamily* const* families, std::size_t count, std::uint16_t operation) {
    for (std::size_t f = 0; f < count; ++f) {
        const OperationFamily* family = families[f];
        for (std::size_t i = 0; i < family->count; ++i) {
            if (family->rows[i].operation == operation) return &family->rows[i];
        }
    }
    return nullptr;
}

} // namespace

const OperationRow* FindOperation(const RARIvoSession* session, std::uint16_t operation) {
    if (const OperationRow* row = FindIn(kFamilies, std::size(kFamilies), operation)) return row;
    const LayerTables& tables = TablesOf(session);
    return tables.operations != nullptr ? FindIn(tables.operations, tables.operationCount, operation) : nullptr;
}

} // namespace talix
