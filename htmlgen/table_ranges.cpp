// Tables across the ranges of one generation: a range that ends inside a
// table leaves it open for the next range, which continues it when it
// begins at a cell of that same table, so that a chunk of several ranges in
// one table gives one table element.
#include <cstring>

#include "core/record_list.h"
#include "core/signature_groups.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_records.h"

namespace talix {

namespace {

constexpr const char* kTableClose = "</table>";
constexpr const char* kRowAndTableClose = "</tr></table>";

// Cuts the text off the end of the output when the output ends with it.
bool CutTrailing(XMLGenContext* context, const char* text) {
    const std::uint32_t length = TextLength(context);
    const std::size_t cut = std::strlen(text);
    if (length <= cut || std::strncmp(context->buffer + length - cut, text, cut) != 0) return false;
    std::memset(context->buffer + length - cut, 0, cut);
    context->writePosition = context->buffer + length - cut;
    context->measuredLength = 0;
    return true;
}

void ForgetOpenTable(XMLGenContext* context) {
    context->tableOpen = 0;
    context->rowOpen = 0;
    context->openTableBegin = nullptr;
}

} // namespace

void NoteTableLeftOpen(XMLGenContext* context) {
    if (context->tableDepth == 0) return;
    context->tableOpen = 1;
    context->rowOpen = HasCloseTag(context, "</tr>", 0) != 0 ? 1 : 0;
    context->openTableBegin = context->tableLevels[1].beginNode;
}

void PrepareTableContinuation(XMLGenContext* context) {
    if (context->tableOpen == 0) return;
    // The closing tags the end of the previous range wrote for the table
    // (everything open closes there) are cut again only when this range
    // begins at a cell of that table; text or another table there keeps
    // them.
    const CDRecordNode* first = context->node;
    const auto* extra =
        first != nullptr && IsCellRecord(first->signature) ? static_cast<const CellExtra*>(RecordExtra(first)) : nullptr;
    if (extra == nullptr || extra->tableBegin == nullptr || extra->tableBegin != context->openTableBegin) {
        ForgetOpenTable(context);
        return;
    }
    // A range that goes on in the row the previous one ended in keeps the
    // row open too.
    const TableLevelState& level = context->tableLevels[1];
    const bool sameRow = context->rowOpen != 0 && NodeByte(first, kCellColumnAt) != 0 &&
                         static_cast<int>(NodeByte(first, kCellRowAt)) == level.rowStartRow;
    if (sameRow && CutTrailing(context, kRowAndTableClose)) return;
    context->rowOpen = 0;
    if (!CutTrailing(context, kTableClose)) ForgetOpenTable(context);
}

bool ContinueOpenTable(XMLGenContext* context, const CDRecordNode* cell) {
    if (context->tableOpen == 0 || context->tableDepth != 0) return false;
    const bool rowOpen = context->rowOpen != 0;
    ForgetOpenTable(context);
    // The level keeps the table's state (its number, borders, widths and the
    // row last started) from the previous range.
    context->tableDepth = 1;
    TableLevelState* level = CurrentTableLevel(context);
    level->resumeNode = nullptr;
    level->resumeFlag = 0;
    PushCloseTag(context, "</table>");
    if (rowOpen) {
        PushCloseTag(context, "</tr>");
    } else if (NodeByte(cell, kCellColumnAt) != 0) {
        AppendOutput(context, "<tr>");
        PushCloseTag(context, "</tr>");
        level->rowStartRow = NodeByte(cell, kCellRowAt);
    }
    return true;
}

} // namespace talix
