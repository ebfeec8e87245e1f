// Tables of the awkward documents: nested up to six levels, with merged
// blocks, borders, colours, tabbed, animated and caption tables, tab
// labels and cell attributes. The table records take their fields from
// table option words through the library's own parsers.
#include <cstring>
#include <string>
#include <vector>

#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/hotspot_builders.h"
#include "builders/table_builders.h"
#include "core/html_attributes.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "support/awkward_builder.h"
#include "talix/session.h"

namespace talix_test::awkward {

namespace {

constexpr int kDeepestTable = 6;
constexpr std::uint16_t kLabelFlags = 0x0002;
constexpr std::uint8_t kCellHidden = 0x04;
constexpr std::uint16_t kColumnWidth = 1440;

const char* const kRowDisplays[] = {"", "", "", "RowDisplay=TABBED", "RowDisplay=TABBED TabSide=Left",
                                    "RowDisplay=ANIMATED Transition=ONCE", "RowDisplay=CAPTIONS",
                                    "RowDisplay=TABBED_PROGRAMMABLE"};
const char* const kColourStyles[] = {"", "TableColorStyle=SOLID", "TableColorStyle=ALTERNATING_ROWS",
                                     "TableColorStyle=ALTERNATING_COLUMNS", "TableColorStyle=LEFT_TOP",
                                     "TableColorStyle=TOP"};
const char* const kBorders[] = {"", "BorderStyle=SOLID BorderThickness=2", "BorderStyle=DOUBLE BorderThickness=thick",
                                "BorderStyle=DOTTED BorderThicknessTop=4 BorderThicknessLeft=1",
                                "BorderEffects=DROP_SHADOW BorderShadow=4", "BorderStyle=RIDGE BorderColor=#ff0000"};
const char* const kCellStyles[] = {"", "CellBorderStyle=Groove", "CellBorderStyle=Ridge",
                                   "CellBorderColor=#0000ff", "TableColor=#ffffc0 TableBodyColor=#c0ffc0"};
const char* const kAttributes[] = {"TableHTMLClass=zqtable", "TableHTMLID=zqt# TableHTMLStyle='border: 1px solid'",
                                   "TableHTMLTitle='a \"quoted\" & <title>'", "TableHTMLOther='data-x=\"1\"'"};
const char* const kCellAttributes[] = {"CellHTMLClass=zqcell", "CellHTMLStyle='padding: 2px'",
                                       "CellHTMLTitle='cell & <title>'", "CellHTMLID=zqc#"};

// The merged blocks of a grid: for each cell, whether a block hides it and
// the spans of the block it carries (at its last, bottom-right cell).
struct Grid {
    int rows = 0, columns = 0;
    std::vector<std::uint8_t> hidden, rowSpan, columnSpan;
    int At(int row, int column) const { return row * columns + column; }
};

Grid Merge(Choices& choose, int rows, int columns) {
    Grid grid;
    grid.rows = rows;
    grid.columns = columns;
    grid.hidden.assign(rows * columns, 0);
    grid.rowSpan.assign(rows * columns, 1);
    grid.columnSpan.assign(rows * columns, 1);
    std::vector<std::uint8_t> taken(rows * columns, 0);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (taken[grid.At(row, column)] != 0) continue;
            int down = 1, across = 1;
            if (choose.Percent(20)) {
                down = static_cast<int>(choose.Between(1, static_cast<std::uint32_t>(rows - row < 3 ? rows - row : 3)));
                across = static_cast<int>(
                    choose.Between(1, static_cast<std::uint32_t>(columns - column < 3 ? columns - column : 3)));
                // A block stops short of a cell another block holds.
                while (across > 1 && taken[grid.At(row, column + across - 1)] != 0) --across;
            }
            for (int r = row; r < row + down; ++r) {
                for (int c = column; c < column + across; ++c) {
                    taken[grid.At(r, c)] = 1;
                    grid.hidden[grid.At(r, c)] = 1;
                }
            }
            const int last = grid.At(row + down - 1, column + across - 1);
            grid.hidden[last] = 0;
            grid.rowSpan[last] = static_cast<std::uint8_t>(down);
            grid.columnSpan[last] = static_cast<std::uint8_t>(across);
        }
    }
    return grid;
}

std::string Join(std::initializer_list<const char*> words) {
    std::string text;
    for (const char* word : words) {
        if (word[0] == '\0') continue;
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

} // namespace

void Builder::Table(const Place& place) {
    if (place.tableLevel >= kDeepestTable) {
        Paragraph(place);
        return;
    }
    Used(kAwkwardTables);
    const int level = place.tableLevel + 1;
    if (level > document().deepestTable) document().deepestTable = level;
    const bool nested = level > 1;
    talix::RecordOutput* output = &context()->output;
    RARIvoSession* session = this->session();
    if (!place.leading && choose().Percent(70)) PlainParagraph(place, static_cast<int>(choose().Below(3)));

    const int rows = static_cast<int>(choose().Between(1, level > 3 ? 2 : 4));
    const int columns = static_cast<int>(choose().Between(1, level > 3 ? 2 : 4));
    const std::string drawn = Join({choose().Pick(kRowDisplays), choose().Pick(kColourStyles),
                                      choose().Pick(kBorders), choose().Pick(kCellStyles),
                                      choose().Percent(30) ? choose().Pick(kAttributes) : ""});
    const std::string options = Unique(drawn);
    const bool tabbed = options.find("TAB") != std::string::npos;

    // The table's prelude: its extension, tab settings, border and HTML
    // attributes between a BEGIN and END of the extension.
    if (choose().Percent(80) || tabbed) {
        Check(talix::AppendBeginRecord(talix::kSigPreTableBegin, 1, output), "table prelude");
        std::vector<std::uint8_t> extension(256, 0);
        talix::WriteWord(extension.data(), talix::kSigPreTableBegin);
        talix::WriteWord(extension.data() + 2, talix::kTableExtensionLength);
        extension[8] = static_cast<std::uint8_t>(rows);
        extension[9] = static_cast<std::uint8_t>(columns);
        std::string named = options;
        if (choose().Percent(30)) named += " TableName=zqtable" + std::to_string(level);
        if (Check(talix::ParseTableProperties(session, context(), talix::kSigPreTableBegin, extension.data(),
                                              static_cast<std::uint32_t>(extension.size()), named.c_str(), 1),
                  "table extension")) {
            FixtureRecord record{talix::kSigPreTableBegin,
                                 {extension.begin(), extension.begin() + talix::ReadWord(extension.data() + 2)}};
            Put(record, "table extension");
        }
        if (choose().Percent(50)) {
            FixtureRecord settings = HostRecord(talix::kSigTableDataExtension, talix::kTabSettingsLength);
            Check(talix::ParseTableProperties(session, context(), talix::kSigTableDataExtension, settings.bytes.data(),
                                              talix::kTabSettingsLength, "TabsEqual=YES TabIndent=0.25 TabFont=Arial",
                                              1),
                  "tab settings");
            Put(settings, "tab settings");
        }
        if (options.find("Border") != std::string::npos) {
            FixtureRecord border = HostRecord(talix::kSigBorderInfo, talix::kBorderLength);
            Check(talix::ParseBorderSpec(session, talix::kSigBorderInfo, border.bytes.data(), options.c_str(), 1),
                  "table border");
            Put(border, "table border");
        }
        if (options.find("HTML") != std::string::npos)
            Check(talix::AppendHTMLAttributeRecord(session, "Table", options.c_str(), output), "table attributes");
        if (Ok()) Check(talix::AppendEndRecord(talix::kSigPreTableBegin, 1, output), "table prelude end");
    }

    FixtureRecord begin = HostRecord(nested ? talix::kSigNestedTableBegin : talix::kSigTableBegin,
                                     talix::kTableBeginLength);
    PutWord(&begin, 2, static_cast<std::uint16_t>(choose().Below(4) * 360));
    PutWord(&begin, 4, static_cast<std::uint16_t>(choose().Below(3) * 45));
    PutWord(&begin, 6, static_cast<std::uint16_t>(choose().Below(3) * 45));
    Check(talix::ParseTableProperties(session, context(), begin.signature, begin.bytes.data(),
                                      talix::kTableBeginLength, options.c_str(), 1),
          "table begin");
    Put(begin, "table begin");

    const Grid grid = Merge(choose(), rows, columns);
    Place inner = Inside(place);
    inner.tableLevel = level;
    inner.leading = false;
    for (int row = 0; row < rows && Ok(); ++row) {
        for (int column = 0; column < columns && Ok(); ++column) {
            const int at = grid.At(row, column);
            const int left = column - grid.columnSpan[at] + 1;
            FixtureRecord cell = HostRecord(nested ? talix::kSigNestedTableCell : talix::kSigTableCell,
                                            talix::kTableCellLength);
            cell.bytes[2] = static_cast<std::uint8_t>(row);
            cell.bytes[3] = static_cast<std::uint8_t>(column);
            PutWord(&cell, 4, static_cast<std::uint16_t>(left * kColumnWidth + 90));
            PutWord(&cell, 6, static_cast<std::uint16_t>((column + 1) * kColumnWidth - 90));
            PutWord(&cell, 8, static_cast<std::uint16_t>(choose().Below(0x10000)));
            cell.bytes[10] = static_cast<std::uint8_t>(choose().Percent(50) ? 0x55 : choose().Below(256));
            // Alignment and border bits at random; hidden only where a block covers it.
            cell.bytes[11] = static_cast<std::uint8_t>((choose().Below(256) & ~kCellHidden) |
                                                       (grid.hidden[at] != 0 ? kCellHidden : 0));
            PutWord(&cell, 12, static_cast<std::uint16_t>(choose().Below(0x10000)));
            cell.bytes[14] = grid.rowSpan[at];
            cell.bytes[15] = grid.columnSpan[at];
            PutWord(&cell, 16, static_cast<std::uint16_t>(choose().Below(16)));
            Put(cell, "table cell");

            if (grid.hidden[at] != 0) {
                // A covered cell holds an empty paragraph.
                StartParagraph(PlainDefinition());
                Run("", RunFont{});
            } else if (choose().Percent(15) && level < kDeepestTable && Enabled(kAwkwardTables)) {
                // A cell that begins with a table (in its first paragraph, as
                // stored cells have one).
                StartParagraph(PlainDefinition());
                Place first = inner;
                first.leading = true;
                Table(first);
                Blocks(inner, static_cast<int>(choose().Below(2)));
            } else {
                Paragraph(inner);
                // Deeper cells hold less.
                Blocks(inner, static_cast<int>(choose().Below(level > 2 ? 2 : 3)));
            }
            if (tabbed && column == 0 && choose().Percent(85)) {
                const std::string label = ToLmbcs(Words(static_cast<int>(choose().Between(1, 3)), false, false));
                Check(talix::AppendNamedRecord(kLabelFlags, label.c_str(), static_cast<std::uint32_t>(label.size()),
                                               output),
                      "tab label");
            }
            if (choose().Percent(30)) {
                Check(talix::AppendColorRecord(talix::kSigTableCellColor, choose().Below(0x1000000), 0, output),
                      "cell colour");
            }
            if (choose().Percent(15)) {
                std::vector<std::uint8_t> attributes(1024, 0);
                talix::WriteWord(attributes.data(), talix::kSigTableCellIdName);
                if (talix::ApplyHTMLAttributeOptions(session, attributes.data(),
                                                     static_cast<std::uint32_t>(attributes.size()), nullptr, "Cell",
                                                     Unique(choose().Pick(kCellAttributes)).c_str(), nullptr) != 0) {
                    const std::uint16_t length = talix::ReadWord(attributes.data() + 2);
                    Put(FixtureRecord{talix::kSigTableCellIdName,
                                      {attributes.begin(), attributes.begin() + length}},
                        "cell attributes");
                }
            }
        }
    }
    Put(HostRecord(nested ? talix::kSigNestedTableEnd : talix::kSigTableEnd, talix::kTableEndLength), "table end");
    // A paragraph follows every table, as in stored items.
    StartParagraph(PlainDefinition());
    if (choose().Percent(70)) {
        Run("", RunFont{});
    } else {
        Runs(place, static_cast<int>(choose().Between(1, 3)));
    }
}

} // namespace talix_test::awkward
