#include "htmlgen/span_owners.h"

#include "core/signature_groups.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_records.h"

namespace talix {

CDRecordNode* NextCellInRange(const XMLGenContext* context, CDRecordNode* cell) {
    int nesting = 0;
    for (CDRecordNode* node = cell != nullptr ? cell->next : nullptr; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsTableBeginRecord(signature)) {
            ++nesting;
        } else if (IsTableEndRecord(signature)) {
            if (nesting == 0) return node;
            --nesting;
        } else if (nesting == 0 && IsCellRecord(signature)) {
            return node;
        }
    }
    return nullptr;
}

const SpanOwners* SpanOwnersOf(XMLGenContext* context, TableLevelState* level, CDRecordNode* from) {
    if (level == &context->spareTableLevel) return nullptr;
    if (level->owners != nullptr) return level->owners;
    auto* owners = new SpanOwners();
    for (CDRecordNode* cell = from; cell != nullptr && IsCellRecord(cell->signature);
         cell = NextCellInRange(context, cell)) {
        const std::uint8_t row = NodeByte(cell, kCellRowAt), column = NodeByte(cell, kCellColumnAt);
        if ((NodeByte(cell, kCellFlagsAt) & kCellHidden) != 0) owners->hidden.insert(CellPosition(row, column));
        const std::uint8_t rows = NodeByte(cell, kCellRowSpanAt), columns = NodeByte(cell, kCellColumnSpanAt);
        if (rows <= 1 && columns <= 1) continue;
        const int firstRow = row - (rows > 0 ? rows : 1) + 1, firstColumn = column - (columns > 0 ? columns : 1) + 1;
        if (firstRow < 0 || firstColumn < 0) continue;
        owners->owners.emplace(CellPosition(static_cast<std::uint8_t>(firstRow), static_cast<std::uint8_t>(firstColumn)),
                               cell);
        for (int r = firstRow; r <= row; ++r) {
            for (int c = firstColumn; c <= column; ++c)
                owners->covered.insert(CellPosition(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(c)));
        }
    }
    level->owners = owners;
    return owners;
}

void ReleaseSpanOwners(TableLevelState* level) {
    delete level->owners;
    level->owners = nullptr;
}

} // namespace talix
