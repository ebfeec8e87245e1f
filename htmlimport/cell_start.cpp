// The start of a table cell (td, th) in the walk: the import's insertion
// point moves into the cell's place in the table skeleton, so that the
// cell's content lands there, and the cell record takes the cell's
// alignment, borders, vertical alignment (spread over the positions a
// spanning cell covers), background image, background colour, header scope
// and tab label.

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "core/debug_level.h"
#include "core/font_spec.h"
#include "core/html_attributes.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "htmlimport/cell_borders.h"
#include "htmlimport/css_colours.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_paragraphs.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/table_grid.h"
#include "htmlimport/table_tabs.h"
#include "htmlimport/walk_handlers.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Cell record fields.
constexpr std::uint32_t kCellBorderByte = 10, kCellFlags = 11,
                        kCellBorderWord = 12, kCellRowSpan = 14, kCellColumnSpan = 15, kCellColor = 16;
constexpr std::uint8_t kCellColored = 0x01, kCellCentred = 0x20, kCellBottom = 0x80;
constexpr std::uint16_t kSingleEverySide = 0x1111;
constexpr std::uint8_t kSingleBorderByte = 0x55;

// The justification word of a paragraph definition.
constexpr std::uint32_t kJustifyWord = 6;
constexpr std::uint16_t kJustifyRight = 1, kJustifyBlock = 2, kJustifyCentre = 3;

// The header-cell scope (a cell data-flags record) and the tab-label number.
constexpr std::uint32_t kScopeMark = 0x26FF7B;
constexpr std::uint32_t kScopeColumn = 1, kScopeRow = 2, kScopeBoth = 3;
constexpr std::uint16_t kTabLabelNumber = 2;

// The records naming a cell's background image: a MIME part by content id
// (its id after the fixed part, kind 3 of class 19), or a style text.
constexpr std::uint16_t kPartImageKind = 3, kPartImageClass = 19;
constexpr std::uint32_t kLongestRecord = 0xFFF0;

bool IsCell(const CDRecordNode* node) {
    return node->signature == kSigTableCell || node->signature == kSigNestedTableCell;
}

// Appended records that the cell's content goes in front of.
void StepBackFrom(HTMLImportContext* import, std::uint16_t signature) {
    if (import->insertAfter != nullptr && import->insertAfter->signature == signature)
        import->insertAfter = import->insertAfter->prev;
}

StyleValue OwnStyle(const HTMLImportContext* import, const HtmlNode* node, const char* property) {
    return FindStyleValue(node, property, &import->styleRules1, &import->styleRules2);
}

class CellStart {
public:
    CellStart(BuildContext* context, HTMLImportContext* import, const HtmlNode* node, const CellPlace& place,
              const ImportRowStyle& row)
        : context_(context), import_(import), node_(node), cell_(place.cell), place_(place), row_(row) {}

    void Alignment();
    void Borders();
    void BackgroundImage();
    void BackgroundColour();
    void HeaderScope();

private:
    StyleValue Own(const HtmlNode* node, const char* property) const { return OwnStyle(import_, node, property); }
    void Spread(std::uint16_t word, std::uint8_t borderByte, std::uint8_t vertical);

    BuildContext* context_;
    HTMLImportContext* import_;
    const HtmlNode* node_;
    CDRecordNode* cell_;
    const CellPlace& place_;   // the grid row and column of the cell
    const ImportRowStyle& row_;
};

// The cell's horizontal alignment goes to the definitions of its
// paragraphs.
void CellStart::Alignment() {
    std::string align;
    if (const char* attribute = AttributeValue(node_, "align")) align = attribute;
    else if (StyleValue css = Own(node_, "text-align")) align = *css;
    if (align.empty()) return;
    std::uint16_t justify = 0;
    if (CompareNamesNoCase(align.c_str(), "center") == 0) justify = kJustifyCentre;
    else if (CompareNamesNoCase(align.c_str(), "right") == 0) justify = kJustifyRight;
    else if (CompareNamesNoCase(align.c_str(), "justify") == 0) justify = kJustifyBlock;
    if (justify == 0) return;
    for (CDRecordNode* at = import_->insertAfter; at != nullptr && !IsCell(at); at = at->prev) {
        if (at->signature == kSigPabDefinition && at->length >= kJustifyWord + 2)
            WriteWord(at->bytes + kJustifyWord, justify);
    }
}

// Each side's width from the cell's CSS (its row's for the widths), else
// the table's border attribute; then the vertical alignment, spread with
// the borders over the positions a spanning cell covers.
void CellStart::Borders() {
    std::uint8_t* bytes = cell_->bytes;
    const std::uint16_t word = CellBorderWord(import_, node_, row_);
    WriteWord(bytes + kCellBorderWord, word);

    std::uint8_t vertical = 0;
    bool verticalGiven = false;
    StyleValue valign;
    if (const char* own = AttributeValue(node_, "valign")) {
        valign = std::string(own);
    } else {
        valign = row_.valign;
    }
    if (valign.has_value()) {
        verticalGiven = true;
        if (CompareNamesNoCase(valign->c_str(), "middle") == 0 || CompareNamesNoCase(valign->c_str(), "center") == 0)
            vertical = kCellCentred;
        else if (CompareNamesNoCase(valign->c_str(), "bottom") == 0)
            vertical = kCellBottom;
    }
    if (verticalGiven)
        bytes[kCellFlags] = static_cast<std::uint8_t>((bytes[kCellFlags] & ~(kCellCentred | kCellBottom)) | vertical);

    if (word == kSingleEverySide && bytes[kCellBorderByte] == 0) bytes[kCellBorderByte] = kSingleBorderByte;
    Spread(word, bytes[kCellBorderByte], vertical);
}

// The borders and vertical alignment of a spanning cell go to every
// position it covers, in its rows and columns up to its own.
void CellStart::Spread(std::uint16_t word, std::uint8_t borderByte, std::uint8_t vertical) {
    // The grid's row: the record's row byte starts again from 0 past row
    // 255.
    const std::uint8_t* bytes = cell_->bytes;
    const int row = place_.row;
    const int column = place_.column;
    const int rows = std::min(std::max(bytes[kCellRowSpan], std::uint8_t{1}) - 1, row);
    const int columns = std::min(std::max(bytes[kCellColumnSpan], std::uint8_t{1}) - 1, column);
    if (rows + columns == 0) return;
    for (int r = row - rows; r <= row; ++r) {
        for (int c = column - columns; c <= column; ++c) {
            if (r == row && c == column) continue;
            CDRecordNode* covered = GridCellRecord(import_, r, c);
            if (covered == nullptr || covered->length <= kCellBorderWord + 1) continue;
            WriteWord(covered->bytes + kCellBorderWord, word);
            covered->bytes[kCellBorderByte] = borderByte;
            if (vertical != 0)
                covered->bytes[kCellFlags] =
                    static_cast<std::uint8_t>((covered->bytes[kCellFlags] & ~(kCellCentred | kCellBottom)) | vertical);
        }
    }
}

// A background image: a MIME part named by its content id, or any other
// image as a style text of the cell.
void CellStart::BackgroundImage() {
    StyleValue image = Own(node_, "background-image");
    if (!image.has_value() || !StartsWithNoCase(*image, "url(")) return;
    const std::string& value = *image;
    std::vector<std::uint8_t> record;
    std::uint16_t signature = 0;
    if (StartsWithNoCase(std::string_view(value).substr(4), "cid:")) {
        const std::string id = value.substr(8, value.size() > 8 ? value.size() - 9 : 0);
        std::uint32_t length = kNamedElementResourceFixedLength + static_cast<std::uint32_t>(id.size());
        length += length & 1u;
        if (length > kLongestRecord) return;
        signature = kSigTableCellHref;
        record.assign(length + 1, 0);
        WriteWord(record.data(), signature);
        WriteWord(record.data() + 2, static_cast<std::uint16_t>(length));
        WriteWord(record.data() + 8, kPartImageKind);
        WriteWord(record.data() + 10, kPartImageClass);
        WriteWord(record.data() + 12, static_cast<std::uint16_t>(id.size()));
        std::memcpy(record.data() + kNamedElementResourceFixedLength, id.data(), id.size());
        record.resize(length);
    } else {
        std::string style = "background: ";
        if (StyleValue whole = Own(node_, "background")) {
            style += *whole;
        } else {
            style += value;
            for (const char* part : {"background-color", "background-repeat", "background-position"})
                if (StyleValue given = Own(node_, part); given.has_value() && !given->empty()) style += " " + *given;
        }
        style += ";";
        std::uint32_t length = kIdNameFixedLength + static_cast<std::uint32_t>(style.size());
        length += length & 1u;
        if (length > kLongestRecord) return;
        signature = kSigTableCellIdName;
        record.assign(length + 1, 0);
        WriteWord(record.data(), signature);
        WriteWord(record.data() + 2, static_cast<std::uint16_t>(length));
        WriteWord(record.data() + 8, static_cast<std::uint16_t>(style.size()));
        std::memcpy(record.data() + kIdNameFixedLength, style.data(), style.size());
        record.resize(length);
    }
    KeepFailure(import_,
                AppendRecord(record.data(), signature, static_cast<std::uint32_t>(record.size()), &context_->output));
    if (signature == kSigTableCellIdName) StepBackFrom(import_, signature);
}

// The cell's background colour: its own CSS, its row's, its table's, then
// the bgcolor attributes in the same order.
void CellStart::BackgroundColour() {
    StyleValue colour = Own(node_, "background-color");
    if (!colour.has_value()) colour = row_.rowBackground;
    if (!colour.has_value()) colour = row_.tableBackground;
    if (!colour.has_value()) {
        if (const char* attribute = AttributeValue(node_, "bgcolor")) colour = std::string(attribute);
    }
    if (!colour.has_value()) colour = row_.rowBgcolor;
    if (!colour.has_value()) colour = row_.tableBgcolor;
    if (!colour.has_value() || colour->empty() || CompareNamesNoCase(colour->c_str(), "transparent") == 0) return;
    // "windowtext" is the colour of the current text.
    std::uint16_t index = CurrentImportFont(context_).color;
    std::uint32_t rgb = 0;
    if (ParseColorSpec(ColourTextForParser(*colour).c_str(), &index, &rgb) != 0) return;
    if (import_->suppressBlackBackground != 0 && index == 0 && rgb == 0) return;
    const bool tracing = g_debugLevel > 2;
    if (tracing) plat::LogLine(0, "After FSV-#9");
    WriteWord(cell_->bytes + kCellColor, index);
    cell_->bytes[kCellFlags] = static_cast<std::uint8_t>(cell_->bytes[kCellFlags] | kCellColored);
    if (tracing) plat::LogLine(0, "After FSV-#10");
    KeepFailure(import_, AppendColorRecord(static_cast<std::uint8_t>(kSigTableCellColor), rgb, 0, &context_->output));
    StepBackFrom(import_, kSigTableCellColor);
}

// A header cell's scope: by column (also without scope), by row, or both.
void CellStart::HeaderScope() {
    if (!node_->Is(HtmlTag::kTh)) return;
    std::uint32_t kind = kScopeColumn;
    if (const char* scope = AttributeValue(node_, "scope")) {
        const bool byRow = ContainsNoCase(scope, "row");
        const bool byColumn = ContainsNoCase(scope, "col");
        kind = byRow && byColumn ? kScopeBoth : (byRow ? kScopeRow : kScopeColumn);
    }
    KeepFailure(import_, AppendSmallFixedRecord(static_cast<std::uint8_t>(kSigTableCellDataFlags), kind, kScopeMark,
                                                &context_->output));
    StepBackFrom(import_, kSigTableCellDataFlags);
}

// Whether the cell's row is a tab row: the rows of a tabbed table were told
// apart when its grid was filled; the row asked last is remembered.
bool InTabRow(HTMLImportContext* import, ImportTableLevel* level, const HtmlNode* cell) {
    const HtmlNode* row = cell->parent;
    if (row == nullptr) return false;
    if (level->tabbed) {
        if (const GridPlace* place = level->places.Find(row)) return place->row < 0;
    }
    if (level->askedRow != row) {
        level->askedRow = row;
        level->askedRowIsTab = FindTableTabMarker(import, row, nullptr, 0) != 0;
    }
    return level->askedRowIsTab;
}

// A paragraph break where the content of a cell that has no cell record of
// its own goes, taking the paragraph reference given; an empty cell writes
// nothing.
void BreakBefore(BuildContext* context, HTMLImportContext* import, const HtmlNode* cell,
                 std::uint16_t reference) {
    if (cell->firstChild == nullptr) return;
    if (reference != 0) SetReferenceId(context, reference);
    KeepFailure(import, AppendParagraphBreak(context, import));
}

// The reference of a grid cell's paragraph: the last one before its end.
std::uint16_t CellReference(const CDRecordNode* last) {
    for (const CDRecordNode* at = last; at != nullptr && !IsCell(at); at = at->prev)
        if (at->signature == kSigPabReference && at->length >= 4) return ReadWord(at->bytes + 2);
    return 0;
}

} // namespace

StartAction StartTableCellFromHTML(BuildContext* context, HTMLImportContext* import, HtmlNode* node) {
    ImportTableLevel* level = CurrentTableLevel(import);
    if (level == nullptr) return StartAction::kWalkChildren;
    const int depth = import->tableLevel;
    const ImportTableLevel* outer = depth > 1 ? TableLevelAt(import, depth - 1) : nullptr;
    if ((level->tabbed || (outer != nullptr && outer->tabbed)) && InTabRow(import, level, node))
        return StartAction::kEndSiblings;

    const CellPlace place = PlaceCell(node, import);
    switch (place.target) {
    case CellTarget::kNone:
        return StartAction::kWalkChildren;
    case CellTarget::kRowPastGrid:
        // Rows the grid cannot hold follow the table, a paragraph a cell.
        if (!level->inRowPastGrid) import->insertAfter = level->afterTable;
        level->inRowPastGrid = true;
        BreakBefore(context, import, node, import->savedTablePab[depth]);
        return StartAction::kWalkChildren;
    case CellTarget::kPastLastColumn:
        // Cells past the last column go at the end of their row's last cell.
        level->inRowPastGrid = false;
        import->insertAfter = place.last;
        BreakBefore(context, import, node, CellReference(place.last));
        return StartAction::kWalkChildren;
    case CellTarget::kGrid:
        break;
    }
    level->inRowPastGrid = false;
    level->currentCell = place.cell;
    import->insertAfter = place.last;
    StepBackFrom(import, kSigTableCellColor);
    if (place.cell == nullptr || place.cell->length <= kCellColor + 1) return StartAction::kWalkChildren;

    CellStart start(context, import, node, place, RowStyleOf(import, level, node));
    start.Alignment();
    start.Borders();
    start.BackgroundImage();
    start.BackgroundColour();
    start.HeaderScope();

    // The first cell of a row of a tabbed table takes the label of the tab
    // shown in the row before it.
    const HtmlNode* row = node->parent;
    if (level->tabbed && node->prev == nullptr && row != nullptr && row->prev != nullptr) {
        char label[kTabLabelSize] = {};
        if (FindTableTabMarker(import, row->prev, label, sizeof label) != 0) {
            KeepFailure(import, AppendNamedRecord(kTabLabelNumber, label,
                                                  static_cast<std::uint32_t>(std::strlen(label)), &context->output));
            StepBackFrom(import, kSigTableLabel);
        }
    }
    return StartAction::kWalkChildren;
}

} // namespace talix
