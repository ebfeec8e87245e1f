// The table methods of a chunk: appending a table with per-column widths
// and options, appending a copy of a row, and sorting the rows of a table
// by up to six keys.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chunkops/chunk_frame.h"
#include "core/clamp.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

using namespace talix;

namespace {

constexpr std::uint16_t kTypeTable = 1, kTypeRow = 5;

constexpr STATUS kErrNotTableOrRow = 20016;
constexpr STATUS kErrNotTable = 20023;

constexpr std::uint16_t kMostRows = 255;
// The columns (or cells) whose option strings a request carries.
constexpr int kOptionColumns = 20;
constexpr double kDefaultPixelsPerInch = 96;
constexpr double kTwipsPerInch = 1440;
// Room after a column's options for the width it adds for the web.
constexpr std::uint32_t kWidthAttributeRoom = 61;
constexpr int kSecondaryKeys = 5;

// The tracked copies of option strings in the table request, released
// (and their slots cleared) with the object.
class OptionCopies {
public:
    explicit OptionCopies(RARIvoSession* session) : session_(session) {}
    OptionCopies(const OptionCopies&) = delete;
    OptionCopies& operator=(const OptionCopies&) = delete;
    ~OptionCopies() {
        TableRequest& table = session_->workArea->table;
        for (int i = 0; i < kOptionColumns; ++i) {
            if (blocks_[i] != nullptr) QuorbelReleaseBlock(session_, blocks_[i]);
            table.columnOptions[i] = nullptr;
        }
    }
    // A copy of length bytes of text with room bytes more, terminated, in
    // slot i. Null when memory is short.
    char* Copy(int i, const char* text, std::uint32_t length, std::uint32_t room) {
        TrackedBlock* block = QuorbelAllocateBlock(session_, __LINE__, kChunkMethodsTag, length + room + 1, 0);
        if (block == nullptr) return nullptr;
        blocks_[i] = block;
        char* copy = reinterpret_cast<char*>(block->data);
        std::memcpy(copy, text, length);
        copy[length] = '\0';
        session_->workArea->table.columnOptions[i] = copy;
        return copy;
    }
    std::uint32_t Capacity(int i) const { return blocks_[i] != nullptr ? blocks_[i]->size : 0; }

private:
    RARIvoSession* session_;
    TrackedBlock* blocks_[kOptionColumns] = {};
};

// "PixelMultiplier=": pixels per inch, 96 unless a number above 0 and at
// most 999.
double PixelMultiplier(const char* options, char* value, std::size_t valueSize) {
    value[0] = '\0';
    if (GetOptionValue(options, "PixelMultiplier=", value, static_cast<std::uint32_t>(valueSize)) == 0)
        return kDefaultPixelsPerInch;
    char* end = nullptr;
    const double multiplier = plat::ReadNumber(value, &end);
    if (end == value || !(multiplier > 0) || multiplier > 999) return kDefaultPixelsPerInch;
    return multiplier;
}

// A width in twips, kept within what a record holds.
std::uint16_t Twips(double width) {
    if (!(width > 0)) return 0;
    if (width >= 65535) return 65535;
    return static_cast<std::uint16_t>(width);
}

// A column's "Width=": its width (and relative flag) in the request, and,
// for pixels and percent, the width the web is to use added to its options
// (copy, with capacity bytes in all).
void ApplyColumnWidth(char* copy, std::uint32_t capacity, double pixelsPerInch, TableRequest* table, int column,
                      char* value, std::size_t valueSize) {
    value[0] = '\0';
    if (GetOptionValue(copy, "Width=", value, static_cast<std::uint32_t>(valueSize)) == 0) return;
    const double width = plat::ReadNumber(value);
    const double absolute = std::fabs(width);
    const long whole = absolute < 2147483647.0 ? static_cast<long>(absolute) : 2147483647L;
    const std::size_t used = std::strlen(copy);
    double twips = 0;
    if (FindNoCase(value, "px") != nullptr) {
        std::snprintf(copy + used, capacity - used, " CellHTMLOther=\"width='%ld'\"", whole);
        twips = absolute / pixelsPerInch * kTwipsPerInch;
    } else if (std::strchr(value, '%') != nullptr) {
        std::snprintf(copy + used, capacity - used, " CellHTMLOther=\"width='%ld%%'\"", whole);
        twips = table->tableWidth * (absolute / 100);
    } else {
        twips = absolute * kTwipsPerInch;
    }
    table->columnWidths[column] = Twips(twips);
    table->columnRelative[column] = width <= 0 ? 1 : 0;
}

// The order words operation 2396 reads.
const char* OrderText(bool numeric, bool reverse) {
    if (numeric && reverse) return "Reverse Numeric";
    if (numeric) return "Numeric";
    if (reverse) return "Reverse";
    return nullptr;
}

struct SortPass {
    std::uint16_t column = 0;       // counted from 1
    std::uint16_t titleRow = 0;
    std::uint16_t titleRows = 0;
    const char* keySource = nullptr;
    const char* order = nullptr;
    const char* options = nullptr;
};

// One pass: the keys of a column collected, then the rows rewritten in
// their order. 1026 (nothing to sort) when the column gives fewer than two
// keys or only empty ones.
STATUS RunSortPass(ZervaRTChunk* chunk, const SortPass& pass) {
    STATUS status = RunChunkOperation(chunk, kOpCollectSortKeys, pass.column, pass.titleRow, pass.titleRows, 0, nullptr,
                                      pass.keySource);
    if (status != kOK) return status;
    ChunkOperation reorder;
    reorder.operation = kOpReorderRows;
    reorder.argument = pass.order;
    reorder.second = pass.options;
    reorder.subDefinition = "Row *";
    reorder.source = chunk;
    return RunChunkOperation(chunk, reorder);
}

// A count of rows or of columns that no table has: refused with 20017,
// and the host told which count it was and what a table may have.
STATUS RefuseTableSize(ZervaRTChunk* chunk, const char* what, unsigned asked, unsigned most) {
    char text[128];
    std::snprintf(text, sizeof text, "TALIX: Invalid %s count %u for AppendTable: a table has 1 to %u %ss", what,
                  asked, most, what);
    ReportToHost(chunk, text);
    return Refuse(chunk, kErrFormula);
}

} // namespace

std::uint16_t ZervaRTChunk::AppendTable(std::uint16_t rows, std::uint16_t columns, int fitToWindow,
                                        const char* options, const char* const* columnOptions) {
    if (rows < 1 || rows > kMostRows) return RefuseTableSize(this, "row", rows, kMostRows);
    if (columns < 1 || columns > kTableRequestColumns)
        return RefuseTableSize(this, "column", columns, kTableRequestColumns);
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    TableRequest& table = session->workArea->table;
    table.fitToWindow = fitToWindow != 0 ? 1 : 0;
    char value[64];
    const double pixelsPerInch = PixelMultiplier(options, value, sizeof value);
    table.tableWidth = item->defaultTableWidth;
    for (const char*& slot : table.columnOptions) slot = nullptr;

    OptionCopies copies(session);
    const std::uint16_t share = static_cast<std::uint16_t>(table.tableWidth / columns);
    for (int i = 0; i < columns; ++i) {
        table.columnWidths[i] = share;
        table.columnRelative[i] = 0;
        if (i >= kOptionColumns || columnOptions == nullptr || columnOptions[i] == nullptr) continue;
        const std::uint32_t length = static_cast<std::uint32_t>(strnlen(columnOptions[i], 0xFFFF));
        if (length == 0) continue;
        char* copy = copies.Copy(i, columnOptions[i], length, kWidthAttributeRoom);
        if (copy == nullptr) return Refuse(this, kOutOfMemory);
        ApplyColumnWidth(copy, length + kWidthAttributeRoom + 1, pixelsPerInch, &table, i, value, sizeof value);
    }
    return RunChunkOperation(this, kOpAppendTable, columns, rows, 0, 0, options);
}

std::uint16_t ZervaRTChunk::AppendRow(int keepContents, std::uint16_t rowNumber, const char* const* cellOptions,
                                      std::uint16_t cellCount) {
    for (std::uint16_t slot = 1; slot <= kEventReturnStrings; ++slot) CleanupEventRetString(slot);
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);
    TableRequest& table = session->workArea->table;
    for (const char*& slot : table.columnOptions) slot = nullptr;
    OptionCopies copies(session);
    if (keepContents == 0 && cellOptions != nullptr) {
        const int count = cellCount < kOptionColumns ? cellCount : kOptionColumns;
        for (int i = 0; i < count; ++i) {
            if (cellOptions[i] == nullptr) continue;
            const std::uint32_t length = static_cast<std::uint32_t>(strnlen(cellOptions[i], 0xFFFF));
            if (length == 0) continue;
            if (copies.Copy(i, cellOptions[i], length, 0) == nullptr) return Refuse(this, kOutOfMemory);
        }
    }

    char row[32] = {};
    ChunkOperation query;
    query.operation = kOpQuery;
    if (targetType == kTypeTable) {
        std::snprintf(row, sizeof row, "Row %u", rowNumber != 0 ? rowNumber : 1u);
        query.subDefinition = row;
    } else if (targetType != kTypeRow) {
        return Refuse(this, kErrNotTableOrRow);
    }
    SessionWorkArea* area = session->workArea;
    area->foundFirstRecord = 0;
    area->foundLastRecord = 0;
    // A row number no cell can hold is refused; a row that is merely not
    // there appends nothing.
    const STATUS queried = RunChunkOperation(this, query);
    if (queried == kErrFormula) return queried;
    if (area->foundFirstRecord == 0) {
        // No such row: nothing is appended.
        lastStatus = kOK;
        return kOK;
    }
    return RunChunkOperation(this, kOpAppendRow, area->foundFirstRecord, area->foundLastRecord,
                             keepContents != 0 ? 1 : 0);
}

std::uint16_t ZervaRTChunk::SortByRow(std::uint16_t column, int titleRow, int numeric, int reverse,
                                      const char* options) {
    lastStatus = kOK;
    if (targetType != kTypeTable) return Refuse(this, kErrNotTable);
    if (!ChunkUsable(this)) return Refuse(this, kArgumentError);

    char value[64] = {};
    SortPass pass;
    pass.options = options;
    pass.keySource = "TEXT";
    if (GetOptionValue(options, "SortBy=", value, sizeof value) != 0 &&
        (CompareNamesNoCase(value, "TabLabel") == 0 || CompareNamesNoCase(value, "RowLabel") == 0))
        pass.keySource = "TabLabel";
    pass.titleRows = 1;
    value[0] = '\0';
    if (GetOptionValue(options, "TitleRows=", value, sizeof value) != 0) {
        const int rows = std::atoi(value);
        pass.titleRows = ClampToWord(rows);
        if (pass.titleRows == 0) titleRow = 0;
    }
    pass.titleRow = titleRow != 0 ? 1 : 0;

    // The least significant key first: each pass keeps the order of the
    // passes before it for equal keys.
    for (int k = kSecondaryKeys; k >= 0; --k) {
        if (k == 0) {
            pass.column = column;
            pass.order = OrderText(numeric != 0, reverse != 0);
        } else {
            char key[32];
            std::snprintf(key, sizeof key, "SecondaryCol%d=", k);
            value[0] = '\0';
            if (GetOptionValue(options, key, value, sizeof value) == 0) {
                std::snprintf(key, sizeof key, "SecondaryRow%d=", k);
                if (GetOptionValue(options, key, value, sizeof value) == 0) continue;
            }
            const int secondary = std::atoi(value);
            pass.column = ClampToWord(secondary);
            char flag[16];
            std::snprintf(key, sizeof key, "SecondaryReverse%d=", k);
            const bool keyReverse = GetYesNoOption(options, key, flag, sizeof flag, 0) != 0;
            std::snprintf(key, sizeof key, "SecondaryNumeric%d=", k);
            const bool keyNumeric = GetYesNoOption(options, key, flag, sizeof flag, 0) != 0;
            pass.order = OrderText(keyNumeric, keyReverse);
        }
        const STATUS status = RunSortPass(this, pass);
        // A key with nothing to sort leaves the order as it is; the other
        // keys still sort.
        if (status == kNoSortKeys) continue;
        if (status != kOK) return status;
    }
    lastStatus = kOK;
    return kOK;
}
