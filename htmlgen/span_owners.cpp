#include "htmlgen/span_owners.h"

#include <vector>

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

namespace {

// Whether the cell holds words: a text run with text, or a table nested in
// it, before the next cell of its table.
bool HoldsWords(const XMLGenContext* context, const CDRecordNode* cell) {
    for (const CDRecordNode* node = cell->next; InRange(context, node); node = node->next) {
        const std::uint16_t signature = node->signature;
        if (IsTableBeginRecord(signature)) return true;
        if (IsCellRecord(signature) || IsTableEndRecord(signature)) return false;
        if (IsTextRun(signature) && RunHasText(node)) return true;
    }
    return false;
}

// The first position of the block a cell carries; false when its spans
// reach before the table's first row or column.
bool BlockStart(const SpanOwners* owners, const CDRecordNode* cell, std::uint32_t* first) {
    const std::uint8_t rows = NodeByte(cell, kCellRowSpanAt), columns = NodeByte(cell, kCellColumnSpanAt);
    const long firstRow = static_cast<long>(TableRowOf(owners, cell)) - (rows > 0 ? rows : 1) + 1;
    const int firstColumn = NodeByte(cell, kCellColumnAt) - (columns > 0 ? columns : 1) + 1;
    if (firstRow < 0 || firstColumn < 0) return false;
    *first = CellPosition(static_cast<std::uint32_t>(firstRow), static_cast<std::uint8_t>(firstColumn));
    return true;
}

bool Spanning(const CDRecordNode* cell) {
    return NodeByte(cell, kCellRowSpanAt) > 1 || NodeByte(cell, kCellColumnSpanAt) > 1;
}

} // namespace

std::uint32_t TableRowOf(const SpanOwners* owners, const CDRecordNode* cell) {
    const std::uint32_t row = NodeByte(cell, kCellRowAt);
    if (owners == nullptr) return row;
    const auto found = owners->restarts.find(cell);
    return found != owners->restarts.end() ? found->second * 256u + row : row;
}

bool WrittenAtBlockStart(const SpanOwners* owners, const CDRecordNode* cell) {
    std::uint32_t first = 0;
    if (owners == nullptr || !Spanning(cell) || !BlockStart(owners, cell, &first)) return false;
    const auto found = owners->owners.find(first);
    return found != owners->owners.end() && found->second == cell;
}

const SpanOwners* SpanOwnersOf(XMLGenContext* context, TableLevelState* level, CDRecordNode* from) {
    if (level == &context->spareTableLevel) return nullptr;
    if (level->owners != nullptr) return level->owners;
    auto* owners = new SpanOwners();
    std::vector<CDRecordNode*> spanning;
    // A row number lower than the one before starts the count again.
    std::uint32_t restarts = 0;
    int before = -1;
    for (CDRecordNode* cell = from; cell != nullptr && IsCellRecord(cell->signature);
         cell = NextCellInRange(context, cell)) {
        const std::uint8_t byteRow = NodeByte(cell, kCellRowAt), column = NodeByte(cell, kCellColumnAt);
        if (static_cast<int>(byteRow) < before) ++restarts;
        before = byteRow;
        if (restarts != 0) owners->restarts.emplace(cell, restarts);
        const std::uint32_t row = restarts * 256u + byteRow;
        if ((NodeByte(cell, kCellFlagsAt) & kCellHidden) != 0 && !HoldsWords(context, cell))
            owners->hidden.insert(CellPosition(row, column));
        if (Spanning(cell)) spanning.push_back(cell);
    }
    // A block is written at its first position only when a hidden cell
    // stands there to give it its place, and only one block per position.
    for (CDRecordNode* cell : spanning) {
        std::uint32_t first = 0;
        if (!BlockStart(owners, cell, &first)) continue;
        if (owners->hidden.count(first) != 0) owners->owners.emplace(first, cell);
        const std::uint32_t firstRow = first / 256u, firstColumn = first % 256u;
        const std::uint32_t row = TableRowOf(owners, cell), column = NodeByte(cell, kCellColumnAt);
        for (std::uint32_t r = firstRow; r <= row; ++r) {
            for (std::uint32_t c = firstColumn; c <= column; ++c)
                owners->covered.insert(CellPosition(r, static_cast<std::uint8_t>(c)));
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
