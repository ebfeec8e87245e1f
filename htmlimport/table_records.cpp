// ConvertTableFromHTML: the skeleton of a rich-text table for an HTML table.
#include "htmlimport/table_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/table_builders.h"
#include "builders/table_options.h"
#include "core/clamp.h"
#include "core/debug_level.h"
#include "core/font_spec.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/cell_borders.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_borders.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/import_records.h"
#include "htmlimport/node_search.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/table_grid.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::uint16_t kDefaultTableWidth = 10200;   // twips
constexpr std::uint16_t kOneInch = 1440;
constexpr std::int32_t kPageWidth = 12240;           // the width a table takes without one of its own
constexpr std::int32_t kAlignedPage = 15840;          // the width centring and right alignment work in
constexpr std::uint16_t kFitLeftMargin = 1080, kFitWidth = 11520;
constexpr std::uint16_t kCellSpace = 40, kRowSpace = 60;
constexpr std::int32_t kCellGap = 45;                 // between the cells of a row
constexpr std::int64_t kFractionBase = 28800;
constexpr float kInchesDefault = 7.0f;
constexpr std::uint16_t kSpacingPerPixel = 20;

// Table begin flags.
constexpr std::uint16_t kBeginFlags = 2, kBeginFitFlags = 3, kBeginCentred = 0x1000, kBeginRight = 0x20;
// The lead record: its flags (bit 0 fit to window), rows, columns, column
// bits and viewer type.
constexpr std::uint32_t kLeadFlags = 4, kLeadRows = 8, kLeadColumns = 9, kLeadColumnBits = 12, kLeadViewer = 20;
constexpr std::uint8_t kTabbedViewer = 4;
constexpr int kMostCountedRows = 255;
constexpr std::uint16_t kWrapperVersion = 1;

// The cell paragraph definition.
constexpr std::uint32_t kDefinitionLength = kParagraphImageSize;
constexpr std::uint16_t kCellParagraphFlags = 0x0186, kCellFlags2 = 0x0494, kCellFitFlags2 = 0x0794;
constexpr std::uint16_t kFullRightPercent = 100;
// What the margins of the paragraph before a table say of its indent.
constexpr std::uint16_t kUsesFirstLineOffset = 0x0010, kUsesLeftOffset = 0x0004, kPercentMargins = 0x0300;

// Cell record fields.
constexpr std::uint32_t kCellRow = 2, kCellColumn = 3, kCellLeft = 4, kCellRight = 6, kCellFraction = 8,
                        kCellBorderByte = 10, kCellFlags = 11, kCellBorderWord = 12, kCellRowSpan = 14,
                        kCellColumnSpan = 15;
constexpr std::uint8_t kCellWideBorders = 0x02;

struct TableBuild {
    HTMLImportContext* import;
    BuildContext* context;
    HtmlNode* table;
    ImportTableLevel* level;
    int depth;
    // The table lies in a table cell: one of the HTML, or one of the item
    // that the HTML goes into. It is written with the nested table records.
    bool nested;
    int rows, columns;
    const char* options;
    TableRequest* request;         // the fit-to-window switch and the column content slots
    bool widthSet = false;
    bool reused = false;
};

STATUS Append(TableBuild& build, const void* record, std::uint16_t signature, std::uint32_t length) {
    const STATUS status = AppendRecord(record, signature, length, &build.context->output);
    KeepFailure(build.import, status);
    return status;
}

// Inches as whole twips, rounded, within what a word holds (a length past
// it is its largest value, none or a negative one 0). Lengths come from
// texts through float arithmetic: 100 pixels may come back as 1,499.9999
// twips, which is 1,500.
std::uint16_t RoundedTwips(double inches) {
    const double twips = inches * kOneInch;
    if (!(twips > 0.0)) return 0;
    return twips >= 65535.0 ? 65535 : ClampToWord(std::llround(twips));
}

// A share of a width: width x percent / 100, within what a word holds (a
// percentage of any size stops at the word's largest value).
std::uint16_t Share(std::uint16_t width, const char* percent) {
    const double share = width * LeadingNumber(percent) / 100.0;
    if (!(share > 0.0)) return 0;
    return share >= 65535.0 ? 65535 : static_cast<std::uint16_t>(share);
}

StyleValue OwnStyle(const TableBuild& build, const HtmlNode* node, const char* property) {
    return FindStyleValue(node, property, &build.import->styleRules1, &build.import->styleRules2);
}

// The extent of the cell around a nested table.
std::uint16_t EnclosingCellExtent(const TableBuild& build) {
    const ImportTableLevel* outer = TableLevelAt(build.import, build.depth - 1);
    const CDRecordNode* cell = outer != nullptr ? outer->currentCell : nullptr;
    if (cell == nullptr || cell->length <= kCellRight + 1) return 0;
    const std::uint16_t left = ReadWord(cell->bytes + kCellLeft);
    const std::uint16_t right = ReadWord(cell->bytes + kCellRight);
    return left < right ? static_cast<std::uint16_t>(right - left) : 0;
}

void ResetColumns(ImportTableLevel* level, int columns) {
    const auto share = static_cast<std::uint16_t>(level->width / columns);
    for (std::uint16_t& width : level->columnWidths) width = share;
}

// The table's width from its width attribute; a nested table is never
// wider than the table around it.
void TableWidth(TableBuild& build) {
    ImportTableLevel* level = build.level;
    level->width = kDefaultTableWidth;
    const char* width = AttributeValue(build.table, "width");
    if (width != nullptr) {
        if (std::strchr(width, '%') == nullptr) {
            // A width of nothing or less is no width: the table keeps the
            // default (cells of no width could show nothing).
            if (const std::uint16_t twips = RoundedTwips(ParseCSSLength(build.import, width, kInchesDefault))) {
                level->width = twips;
                build.widthSet = true;
            }
        } else if (build.depth >= 2) {
            const std::uint16_t extent = EnclosingCellExtent(build);
            if (const std::uint16_t share = extent != 0 ? Share(extent, width) : 0) {
                level->width = share;
                build.widthSet = true;
            }
        }
        if (std::strcmp(width, "100%") == 0) build.request->fitToWindow = 1;
    }
    if (build.depth >= 2) {
        const ImportTableLevel* outer = TableLevelAt(build.import, build.depth - 1);
        if (outer != nullptr && outer->width < level->width) {
            level->width = outer->width;
            build.widthSet = true;
        }
    }
}

// The cell's left border in twips, as the cell's start will give it.
std::int64_t LeftBorderTwips(TableBuild& build, const HtmlNode* cell) {
    const std::uint16_t word = CellBorderWord(build.import, cell, RowStyleOf(build.import, build.level, cell));
    return std::llround(LeftBorderPixels(word) * static_cast<double>(build.import->pixelMultiplier));
}

// Column widths from the widths of the first cells that give one; a row
// holding a cell that spans columns is passed over.
void ColumnWidths(TableBuild& build) {
    ImportTableLevel* level = build.level;
    bool measured[kGridColumns] = {};
    int left = build.columns;
    for (const HtmlNode* row : TableRows(build.table->firstChild)) {
        if (level->tabbed) {
            const GridPlace* place = level->places.Find(row);
            if (place != nullptr && place->row < 0) continue;
        }
        bool abandoned = false;
        for (const HtmlNode* cell = row->firstChild; cell != nullptr && !abandoned; cell = cell->next) {
            if (!cell->Is(HtmlTag::kTd) && !cell->Is(HtmlTag::kTh)) continue;
            std::uint8_t unused = 0, column = 0;
            ComputeCellColumn(cell, build.import, &unused, &column);
            if (column >= kGridColumns) break;
            const char* span = AttributeValue(cell, "colspan");
            if (span != nullptr && LeadingInteger(span) > 1) {
                abandoned = true;
                break;
            }
            if (measured[column]) continue;
            StyleValue css = OwnStyle(build, cell, "width");
            const char* attribute = AttributeValue(cell, "width");
            const char* width = css.has_value() ? css->c_str() : attribute;
            if (width == nullptr) continue;
            // A width of nothing or less is no width: the column keeps its
            // share.
            const bool share = std::strchr(width, '%') != nullptr;
            std::uint16_t twips =
                share ? Share(level->width, width)
                      : RoundedTwips(ParseCSSLength(build.import, width, 6.0f / static_cast<float>(build.columns)));
            if (twips == 0) continue;
            // A length is the width inside the cell's border; the column
            // holds the left border too, as the HTML written of a table
            // takes it off the column's width.
            if (!share) twips = ClampToWord(twips + LeftBorderTwips(build, cell));
            level->columnWidths[column] = twips;
            measured[column] = true;
            if (column < build.columns) --left;
        }
        if (!abandoned && left <= 0) break;
    }
}

// A table of absolute width shares that width out in its columns'
// proportions.
void ScaleColumns(TableBuild& build) {
    ImportTableLevel* level = build.level;
    StyleValue css = OwnStyle(build, build.table, "width");
    const char* attribute = AttributeValue(build.table, "width");
    const char* width = css.has_value() ? css->c_str() : attribute;
    if (width == nullptr || std::strchr(width, '%') != nullptr) return;
    std::int64_t sum = 0;
    for (int column = 0; column < build.columns; ++column) sum += level->columnWidths[column];
    if (sum <= 0) return;
    const double ratio = static_cast<double>(level->width) / static_cast<double>(sum);
    if (ratio >= 0.99 && ratio <= 1.01) return;
    for (int column = 0; column < build.columns; ++column)
        level->columnWidths[column] = ClampToWord(static_cast<std::int64_t>(level->columnWidths[column] * ratio));
}

// The paragraph that holds the table: a block's reference directly before
// an empty run is reused; otherwise a paragraph and a reference to
// definition 1. Returns the record the indent of the table is read from.
CDRecordNode* OpeningParagraph(TableBuild& build) {
    HTMLImportContext* import = build.import;
    CDRecordNode* entry = import->insertAfter != nullptr ? import->insertAfter : import->listTail;
    const HtmlNode* parent = build.table->parent;
    const bool blockParent = parent != nullptr && (parent->Is(HtmlTag::kDiv) || parent->Is(HtmlTag::kP) ||
                                                   parent->Is(HtmlTag::kCenter) || parent->Is(HtmlTag::kOl) ||
                                                   parent->Is(HtmlTag::kUl));
    if (entry != nullptr && entry->signature == kSigText && entry->length == kTextRunHeader && entry->prev != nullptr &&
        entry->prev->signature == kSigPabReference && blockParent) {
        import->insertAfter = entry->prev;
        build.reused = true;
        return entry->prev;
    }
    const std::uint8_t paragraph[2] = {static_cast<std::uint8_t>(kSigParagraph), 2};
    const std::uint8_t reference[4] = {static_cast<std::uint8_t>(kSigPabReference), 4, 1, 0};
    Append(build, paragraph, kSigParagraph, sizeof paragraph);
    Append(build, reference, kSigPabReference, sizeof reference);
    return entry;
}

// The left margin of a table: "TableMarginLeft=", else the indent of the
// paragraph whose reference holds the table, else one inch.
std::uint16_t LeftMargin(const TableBuild& build, const CDRecordNode* reference) {
    char value[kTableWordCapacity];
    if (TableWord(build.options, "TableMarginLeft=", value)) return InchesToTwips(value);
    if (reference == nullptr || reference->signature != kSigPabReference || reference->length < 4) return kOneInch;
    const std::uint16_t id = ReadWord(reference->bytes + 2);
    for (const CDRecordNode* at = reference->prev; at != nullptr; at = at->prev) {
        if (at->signature != kSigPabDefinition || at->length < kPabFlags2At + 2 || ReadWord(at->bytes + 4) != id)
            continue;
        const std::uint16_t flags2 = ReadWord(at->bytes + kPabFlags2At);
        if ((flags2 & kUsesFirstLineOffset) != 0 && at->length >= kPabFirstLineOffsetAt + 2)
            return ReadWord(at->bytes + kPabFirstLineOffsetAt);
        if ((flags2 & kUsesLeftOffset) != 0 && at->length >= kPabLeftOffsetAt + 2)
            return ReadWord(at->bytes + kPabLeftOffsetAt);
        if ((flags2 & kPercentMargins) != 0) return kOneInch;
        const std::uint16_t firstLine = ReadWord(at->bytes + kPabFirstLineMarginAt);
        return firstLine != 0 ? firstLine : ReadWord(at->bytes + kPabLeftMarginAt);
    }
    return kOneInch;
}

// The lead records: the table's rows, columns and options, bracketed with
// its border when it has one. Returns the width the table's cells start
// from, and fills the left margin.
std::int32_t LeadRecords(TableBuild& build, const CDRecordNode* reference, std::uint16_t* left) {
    HTMLImportContext* import = build.import;
    RARIvoSession* session = build.context->session;
    std::string border;
    CalcBorderSetFromHTML(import, build.table, &border, true);
    const bool wrapper = build.level->tabbed || build.reused || !border.empty();
    if (wrapper) KeepFailure(import, AddImportBeginRecord(kSigPreTableBegin, kWrapperVersion, import));

    // Room for a table name the options may give.
    std::vector<std::uint8_t> lead(kTableExtensionLength + std::strlen(build.options) + 2, 0);
    WriteWord(lead.data(), kSigPreTableBegin);
    WriteWord(lead.data() + 2, static_cast<std::uint16_t>(kTableExtensionLength));
    WriteDword(lead.data() + kLeadFlags, build.request->fitToWindow != 0 ? 1 : 0);
    // The row count is a byte: a longer table counts its most, as a table
    // grown row by row does.
    lead[kLeadRows] = static_cast<std::uint8_t>(std::min(build.rows, kMostCountedRows));
    lead[kLeadColumns] = static_cast<std::uint8_t>(build.columns);
    WriteDword(lead.data() + kLeadColumnBits, 0);
    ParseTableProperties(session, build.context, kSigPreTableBegin, lead.data(),
                         static_cast<std::uint32_t>(lead.size()), build.options, 1);
    if (build.level->tabbed) lead[kLeadViewer] = kTabbedViewer;

    *left = LeftMargin(build, reference);
    std::int32_t width = 0;
    char value[kTableWordCapacity];
    if (build.widthSet && build.level->width != 0) {
        width = build.level->width;
    } else if (TableWord(build.options, "TableMarginRight=", value)) {
        width = static_cast<std::int32_t>(InchesToTwips(value)) - *left;
    } else {
        width = kPageWidth - *left;
    }
    if (TableWord(build.options, "TableWidth=", value) && ValueStartsWith(value, "FIT") &&
        ValueIs(value, "FIT_TO_WINDOW")) {
        if (!build.widthSet) {
            *left = kFitLeftMargin;
            width = kFitWidth;
        }
        WriteDword(lead.data() + kLeadFlags, ReadDword(lead.data() + kLeadFlags) | 1u);
    }
    const std::uint32_t leadLength = std::min<std::uint32_t>(ReadWord(lead.data() + 2), lead.size());
    Append(build, lead.data(), kSigPreTableBegin, leadLength);
    if (build.table->firstRecord == nullptr) build.table->firstRecord = import->lastAdded;

    if (wrapper) {
        if (!border.empty() || HasTableWord(build.options, "BorderColor=") ||
            HasTableWord(build.options, "BorderEffects=") || HasKeyStartingWith(build.options, "BorderThickness")) {
            std::uint8_t record[kBorderLength] = {};
            WriteWord(record, kSigBorderInfo);
            WriteWord(record + 2, static_cast<std::uint16_t>(kBorderLength));
            ParseBorderSpec(session, kSigBorderInfo, record, build.options, 1);
            KeepFailure(import, ParseBorderSpec(session, kSigBorderInfo, record, border.c_str(), 0));
            Append(build, record, kSigBorderInfo, sizeof record);
        }
        KeepFailure(import, AddImportEndRecord(kSigPreTableBegin, kWrapperVersion, import));
    }
    return width;
}

// The spacing of the cells: an option in inches, else the attribute in
// pixels.
std::uint16_t Spacing(const TableBuild& build, const char* option, const char* attribute) {
    char value[kTableWordCapacity];
    if (TableWord(build.options, option, value))
        return RoundedTwips(plat::ReadNumber(value, nullptr));
    const char* given = AttributeValue(build.table, attribute);
    if (given == nullptr) return 0;
    // Pixels past a word are past its largest value in twips as well.
    const long pixels = std::clamp(LeadingInteger(given), 0L, 0xFFFFL);
    return ClampToWord(static_cast<std::int64_t>(pixels) * kSpacingPerPixel);
}

// The table begin. Returns the column spacing the cells' margins keep and
// fills where the first cell starts.
std::uint16_t TableBegin(TableBuild& build, std::uint16_t left, std::int32_t width, std::int32_t* cellStart) {
    HTMLImportContext* import = build.import;
    std::uint16_t horizontal = Spacing(build, "cellspacing=", "cellspacing");
    std::uint16_t vertical = Spacing(build, "cellpadding=", "cellpadding");
    if (const HtmlNode* cell = FindHTMLElementByName(build.table->firstChild, "td", "th", nullptr, nullptr)) {
        auto padding = [&](const char* property) {
            return StyleAttrElem(cell, property, nullptr, nullptr, nullptr, nullptr, nullptr, false,
                                 &import->styleRules1, &import->styleRules2);
        };
        if (StyleValue top = padding("padding-top"))
            vertical = RoundedTwips(ParseCSSLength(import, top->c_str(), 0.0f));
        if (StyleValue right = padding("padding-right"))
            horizontal = RoundedTwips(ParseCSSLength(import, right->c_str(), 0.0f));
    }
    const std::uint16_t signature = build.nested ? kSigNestedTableBegin : kSigTableBegin;
    std::uint8_t record[kTableBeginLength] = {};
    record[0] = static_cast<std::uint8_t>(signature);
    record[1] = static_cast<std::uint8_t>(kTableBeginLength);
    WriteWord(record + 2, left);
    WriteWord(record + 4, std::max(kCellSpace, horizontal));
    WriteWord(record + 6, std::max(kRowSpace, vertical));
    WriteWord(record + 8, horizontal);
    WriteWord(record + 10, vertical);
    const bool fit = build.request->fitToWindow != 0;
    std::uint16_t flags = build.options[0] == '\0' || fit ? kBeginFitFlags : kBeginFlags;
    const HtmlNode* parent = build.table->parent;
    const char* align = parent != nullptr && parent->Is(HtmlTag::kDiv) ? AttributeValue(parent, "align") : nullptr;
    const bool centred = parent != nullptr && (parent->Is(HtmlTag::kCenter) ||
                                               (align != nullptr && CompareNamesNoCase(align, "center") == 0));
    const bool right = !centred && align != nullptr && CompareNamesNoCase(align, "right") == 0;
    if (centred) flags |= kBeginCentred;
    if (right) flags |= kBeginRight;
    WriteWord(record + 12, flags);
    ParseTableProperties(build.context->session, build.context, signature, record, sizeof record, build.options, 1);

    *cellStart = left;
    if (build.depth == 1 && !fit && (centred || right) && left + width < kAlignedPage) {
        *cellStart = centred ? left + (kAlignedPage - width) / 2 : kAlignedPage - width;
        *cellStart = std::max<std::int32_t>(*cellStart, kOneInch);
    }
    Append(build, record, signature, sizeof record);
    return horizontal;
}

// The borders of every cell from "CellBorder=": top, bottom, left, right.
void CellBorders(const char* options, std::uint8_t* borderByte, std::uint16_t* borderWord) {
    *borderByte = 0;
    *borderWord = 0;
    char value[kTableWordCapacity];
    if (!TableWord(options, "CellBorder=", value)) return;
    constexpr int kByteShift[4] = {4, 6, 0, 2};
    constexpr int kWordShift[4] = {8, 12, 0, 4};
    for (int side = 0; side < 4; ++side) {
        int width = 0;
        switch (value[side]) {
        case '0': case 'N': case 'n': width = 0; break;
        case '1': case 'S': case 's': width = 1; break;
        case '2': case 'D': case 'd': width = 2; break;
        default: return;   // the form ends here: this side and those after it have none
        }
        *borderByte = static_cast<std::uint8_t>(*borderByte | (width << kByteShift[side]));
        *borderWord = static_cast<std::uint16_t>(*borderWord | (width << kWordShift[side]));
    }
}

// A table whose columns reach past the largest margin a cell record holds
// shares out the room there is in its columns' proportions: cells past it
// would have no width left, and no room for their text.
void FitColumnsInRecords(TableBuild& build, std::uint16_t spacing, std::int32_t cellStart) {
    ImportTableLevel* level = build.level;
    std::int64_t sum = 0;
    for (int column = 0; column < build.columns; ++column) sum += level->columnWidths[column];
    const std::int64_t room =
        std::int64_t{65535} - spacing - cellStart - static_cast<std::int64_t>(kCellGap) * (build.columns - 1);
    if (sum <= room || room < build.columns) return;
    for (int column = 0; column < build.columns; ++column)
        level->columnWidths[column] = static_cast<std::uint16_t>(level->columnWidths[column] * room / sum);
}

// Every position of the grid: a cell record, a paragraph, a definition of
// the cell's margins, a reference to it and an empty run.
void Cells(TableBuild& build, std::uint16_t spacing, std::int32_t cellStart) {
    ImportTableLevel* level = build.level;
    BuildContext* context = build.context;
    const bool fit = build.request->fitToWindow != 0;
    std::uint8_t borderByte = 0;
    std::uint16_t borderWord = 0;
    CellBorders(build.options, &borderByte, &borderWord);
    std::uint8_t emptyRun[8] = {};
    WriteFontId(emptyRun + 4, ItemDefaultFont(context->output.item));
    const std::uint16_t cellSignature = build.nested ? kSigNestedTableCell : kSigTableCell;
    const SpanGrid& grid = *level->grid;
    level->cells.assign(static_cast<std::size_t>(build.rows) * build.columns, nullptr);

    // The right margin each column's paragraphs take when they have none.
    std::uint8_t (*rightMargins)[kParagraphImageSize] = context->output.columnSlots[build.depth];
    for (int column = 0; column < kGridColumns; ++column) WriteWord(rightMargins[column] + kPabRightMarginAt, 0);

    for (int row = 0; row < build.rows; ++row) {
        std::int64_t x = cellStart;
        for (int column = 0; column < build.columns; ++column) {
            const std::uint16_t width = level->columnWidths[column];
            std::int64_t fraction = 0;
            if (level->width != 0) {
                const std::int64_t share = fit ? width : level->width / build.columns;
                fraction = share * kFractionBase / level->width;
            }
            const std::uint16_t cellLeft = ClampToWord(spacing + x);
            const std::uint16_t cellRight = ClampToWord(static_cast<std::int64_t>(cellLeft) + width);
            x += width + kCellGap;
            const SpanGrid::Position& position = grid.At(row, column);

            std::uint8_t cell[kTableCellLength] = {};
            cell[0] = static_cast<std::uint8_t>(cellSignature);
            cell[1] = static_cast<std::uint8_t>(kTableCellLength);
            // Rows past 255 are numbered from 0 again, as the writer
            // numbers them.
            cell[kCellRow] = static_cast<std::uint8_t>(row & 0xFF);
            cell[kCellColumn] = static_cast<std::uint8_t>(column);
            WriteWord(cell + kCellLeft, cellLeft);
            WriteWord(cell + kCellRight, cellRight);
            WriteWord(cell + kCellFraction, ClampToWord(fraction));
            cell[kCellBorderByte] = borderByte;
            cell[kCellFlags] = static_cast<std::uint8_t>((position.flags & 0xFF) | kCellWideBorders);
            WriteWord(cell + kCellBorderWord, borderWord);
            cell[kCellRowSpan] = position.rowSpan != 0 ? position.rowSpan : 1;
            cell[kCellColumnSpan] = position.columnSpan != 0 ? position.columnSpan : 1;
            Append(build, cell, cellSignature, sizeof cell);
            level->cells[static_cast<std::size_t>(row) * build.columns + column] = build.import->lastAdded;

            AppendParagraphRecord(context);
            std::uint8_t definition[kDefinitionLength] = {};
            const std::uint16_t id = TakeParagraphId(context);
            WriteWord(definition, kSigPabDefinition);
            WriteWord(definition + 2, static_cast<std::uint16_t>(kDefinitionLength));
            WriteWord(definition + 4, id);
            WriteWord(definition + kPabLeftMarginAt, cellLeft);
            WriteWord(definition + kPabFirstLineMarginAt, cellLeft);
            WriteWord(definition + kPabRightMarginAt, cellRight);
            WriteWord(definition + kPabFlagsAt, kCellParagraphFlags);
            WriteWord(definition + kPabFlags2At, fit ? kCellFitFlags2 : kCellFlags2);
            WriteWord(definition + kPabRightPercentAt, kFullRightPercent);
            Append(build, definition, kSigPabDefinition, sizeof definition);
            std::uint8_t reference[4] = {static_cast<std::uint8_t>(kSigPabReference), 4};
            WriteWord(reference + 2, id);
            Append(build, reference, kSigPabReference, sizeof reference);
            const char* slot = build.request->columnOptions[column];
            if (slot == nullptr || slot[0] == '\0')
                KeepFailure(build.import, AddImportTextRecord("", 0, emptyRun, build.import));
            if (row == 0) WriteWord(rightMargins[column] + kPabRightMarginAt, cellRight);
        }
    }
}

// What follows the table: its next sibling or, for a table that ends a
// division (or a centred block), what follows that block. Such a block
// followed by a block writes no paragraph at its close, so that the block
// after it starts the line after the table; a paragraph written here as
// well was an empty line the HTML does not show.
const HtmlNode* FollowingElement(const HtmlNode* table) {
    const HtmlNode* at = table;
    while (at->next == nullptr && at->parent != nullptr &&
           (at->parent->Is(HtmlTag::kDiv) || at->parent->Is(HtmlTag::kCenter)))
        at = at->parent;
    return at->next;
}

// The paragraph after the table, unless a block follows it: inside a table
// it goes back to the paragraph the table interrupted.
void ClosingParagraph(TableBuild& build) {
    BuildContext* context = build.context;
    HTMLImportContext* import = build.import;
    const std::uint8_t paragraph[2] = {static_cast<std::uint8_t>(kSigParagraph), 2};
    Append(build, paragraph, kSigParagraph, sizeof paragraph);
    const std::uint16_t inForce = CurrentReferenceId(context);
    if (build.depth > 1) ReloadTableParagraph(context, import, build.depth);
    std::uint8_t reference[4] = {static_cast<std::uint8_t>(kSigPabReference), 4};
    WriteWord(reference + 2, import->savedTablePab[build.depth]);
    Append(build, reference, kSigPabReference, sizeof reference);
    std::uint8_t emptyRun[8] = {};
    WriteFontId(emptyRun + 4, ItemDefaultFont(context->output.item));
    AddImportTextRecord("", 0, emptyRun, import);
    // The cells' content, walked next, lies before this paragraph: it keeps
    // referring to the paragraph in force before the table, not to the
    // definition written here after it.
    SetReferenceId(context, inForce);
}

} // namespace

STATUS ConvertTableFromHTML(int columns, int rows, HTMLImportContext* import, BuildContext* context,
                            HtmlNode* table) {
    ImportTableLevel* level = CurrentTableLevel(import);
    if (level == nullptr || level->grid == nullptr || context == nullptr || context->session == nullptr ||
        context->session->workArea == nullptr || table == nullptr || columns <= 0 || columns > level->grid->columns || rows < 0 ||
        rows > level->grid->rows)
        return kArgumentError;
    TableBuild build{import, context, table, level, import->tableLevel,
                     import->tableLevel > 1 || context->output.tableLevel > 0, rows, columns,
                     import->optionText != nullptr ? import->optionText : "", &context->session->workArea->table};

    TableWidth(build);
    ResetColumns(level, columns);
    ColumnWidths(build);
    ScaleColumns(build);

    const CDRecordNode* reference = OpeningParagraph(build);
    std::uint16_t left = kOneInch;
    const std::int32_t width = LeadRecords(build, reference, &left);
    std::int32_t cellStart = left;
    const std::uint16_t spacing = TableBegin(build, left, width, &cellStart);
    FitColumnsInRecords(build, spacing, cellStart);
    Cells(build, spacing, cellStart);

    const std::uint16_t endSignature = build.nested ? kSigNestedTableEnd : kSigTableEnd;
    std::uint8_t end[kTableEndLength] = {static_cast<std::uint8_t>(endSignature),
                                         static_cast<std::uint8_t>(kTableEndLength)};
    const STATUS ended = Append(build, end, endSignature, sizeof end);
    level->tableEnd = import->lastAdded;
    if (g_debugLevel > 2)
        plat::LogLine(0, "%s: Sig=%ld Len=%ld sizeof=%ld", build.nested ? "NestedTableEnd" : "TableEnd",
                      static_cast<long>(endSignature), static_cast<long>(kTableEndLength),
                      static_cast<long>(kTableEndLength));

    const HtmlNode* next = FollowingElement(table);
    STATUS result = kOK;
    if (next != nullptr && (next->Is(HtmlTag::kDiv) || next->Is(HtmlTag::kP) || next->Is(HtmlTag::kH1) ||
                            next->Is(HtmlTag::kH2) || next->Is(HtmlTag::kH3) || next->Is(HtmlTag::kCenter))) {
        result = ended;
    } else {
        ClosingParagraph(build);
    }
    level->afterTable = import->lastAdded;
    level->inRowPastGrid = false;
    return result;
}

} // namespace talix
