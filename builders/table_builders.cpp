// AppendTableRecords: a whole new table. In order: a paragraph record, the
// table's own paragraph definition when it has margins, the table extension
// group (bracketed when it carries borders, tabs, HTML attributes or a
// name), the table begin, for every row and column a cell with its
// paragraph, definition (first row), reference, text, labels, background,
// colour and HTML attributes, then the row-cycle record, the table end and
// the paragraph that follows the table.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/table_builders.h"
#include "builders/table_options.h"
#include "builders/text_runs.h"
#include "core/clamp.h"
#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/html_attributes.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc3";
constexpr std::uint32_t kWorkBlockSize = 4096;
constexpr const char* kMsgTooWide =
    "TALIX: Table columns end past 45.5 inches from the page's left.  Operation failed!";

constexpr std::uint16_t kDefaultLeftMargin = 1440;
constexpr std::uint16_t kFitToWindowLeftMargin = 1080;
// The table begin's inter-cell spaces; paragraphs keep the horizontal one
// from their cell's edges.
constexpr std::uint16_t kCellSpace = 40;
constexpr std::uint16_t kRowSpace = 60;
constexpr std::uint32_t kFractionBase = 28800;

// Paragraph definition fields (host form).
constexpr std::uint16_t kFlagsList = 0x1400;
constexpr std::uint16_t kFlagsInCell = 0x0086;
constexpr std::uint16_t kTableFlags2 = 0x0494;
constexpr std::uint16_t kCellFlags2 = 0x0440;
constexpr std::uint16_t kFullRightPercent = 100;

// Cell record fields.
constexpr std::uint8_t kCellFlagsBase = 0x02, kCellColored = 0x01, kCellCentered = 0x20, kCellBottom = 0x80;
constexpr std::uint8_t kDefaultBorderByte = 0x55;
constexpr std::uint16_t kDefaultBorderWord = 0x1111;

// Tab labels: 2 a tab's label, 1 a row's name.
constexpr std::uint16_t kLabelTab = 2, kLabelRowName = 1;

// Border image record (0xFF5B): flags, resource type and class, the lengths
// of the name, server and file path, the replica id, then the texts.
constexpr std::uint32_t kImageFlags = 4, kImageType = 8, kImageClass = 10, kImageNameLength = 12,
                        kImageServerLength = 14, kImagePathLength = 16, kImageReplica = 28, kImageTexts = 36;
constexpr std::uint32_t kImageHinted = 12;

struct TableBuild {
    BuildContext* context = nullptr;
    RecordOutput* output = nullptr;
    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;
    const TableRequest* request = nullptr;
    const char* options = "";
    std::uint16_t rows = 0, columns = 0;
    std::uint16_t leftMargin = kDefaultLeftMargin;
    std::uint16_t tableWidth = 0;
    std::uint16_t firstColumnId = 0;        // the first column's definition id
    std::uint16_t referenceAfter = 1;       // the paragraph the table interrupts
    std::uint8_t borderByte = kDefaultBorderByte;
    std::uint16_t borderWord = kDefaultBorderWord;
    std::uint8_t* block = nullptr;          // the work block
    std::uint32_t blockSize = 0;
};

// A column's width: its own, else an equal share of the table's width.
std::uint16_t ColumnWidth(const TableBuild* build, std::uint16_t column) {
    const std::uint16_t width = build->request->columnWidths[column];
    return width != 0 ? width : static_cast<std::uint16_t>(build->tableWidth / build->columns);
}

STATUS AppendParagraph(TableBuild* build) {
    std::uint8_t paragraph[kParagraphLength];
    WriteParagraphRecord(paragraph);
    return AppendRecord(paragraph, kSigParagraph, sizeof paragraph, build->output);
}

// A paragraph reference; the gate gives it the id requested.
STATUS AppendReference(TableBuild* build, std::uint16_t id) {
    std::uint8_t reference[kParagraphReferenceLength];
    WriteParagraphReference(reference, id);
    build->output->requestedParagraphId = id;
    const STATUS status = AppendRecord(reference, kSigPabReference, sizeof reference, build->output);
    build->output->requestedParagraphId = 0;
    return status;
}

// A copy of the walk's current paragraph definition, long enough to hold
// the margin words.
CDPABDEFEXT CurrentDefinition(const TableBuild* build) {
    CDPABDEFEXT definition;
    std::memcpy(&definition, build->context->paragraphDefinition, sizeof definition);
    definition.signature = kSigPabDefinition;
    const std::uint16_t length = std::min<std::uint16_t>(definition.length, sizeof(CDPABDEFEXT));
    definition.length = static_cast<std::uint16_t>(std::max<std::uint32_t>(length, kParagraphDefinitionMarginsLength));
    return definition;
}

STATUS AppendDefinition(TableBuild* build, const CDPABDEFEXT& definition) {
    std::uint8_t bytes[sizeof(CDPABDEFEXT)];
    std::memcpy(bytes, &definition, sizeof bytes);
    build->output->requestedParagraphId = 0;
    return AppendRecord(bytes, kSigPabDefinition, definition.length, build->output);
}

// Step 2: the table's paragraph definition, when the table has margins of
// its own, and a reference to it.
STATUS AppendTableDefinition(TableBuild* build, std::uint16_t id) {
    CDPABDEFEXT definition = CurrentDefinition(build);
    definition.pabId = id;
    definition.leftMargin = build->leftMargin;
    definition.firstLineLeftMargin = build->leftMargin;
    definition.leftMarginOffset = build->leftMargin;
    definition.firstLineOffset = build->leftMargin;
    definition.rightMargin = 0;
    definition.rightMarginPercent = kFullRightPercent;
    definition.flags = static_cast<std::uint16_t>(definition.flags & ~kFlagsList);
    definition.flags2 = kTableFlags2;
    const STATUS status = AppendDefinition(build, definition);
    return status != kOK ? status : AppendReference(build, id);
}

// A column's paragraph definition for its cell in the first row.
STATUS AppendColumnDefinition(TableBuild* build, std::uint16_t id, std::uint16_t cellLeft, std::uint16_t cellRight) {
    CDPABDEFEXT definition = CurrentDefinition(build);
    const std::int32_t distance = static_cast<std::int32_t>(definition.firstLineLeftMargin) - definition.leftMargin;
    const std::uint16_t left = std::max<std::uint16_t>(definition.leftMargin, ClampToWord(cellLeft + kCellSpace));
    definition.pabId = id;
    definition.leftMargin = left;
    definition.firstLineLeftMargin = ClampToWord(left + distance);
    definition.rightMargin = ClampToWord(static_cast<std::int32_t>(cellRight) - kCellSpace);
    definition.flags = static_cast<std::uint16_t>((definition.flags | kFlagsInCell) & ~kFlagsList);
    definition.rightMarginPercent = kFullRightPercent;
    definition.flags2 = kCellFlags2;
    return AppendDefinition(build, definition);
}

// Step 9: "CellBorder=": top, bottom, left and right, each "0"/"N" none,
// "1"/"S" single, "2"/"D" double; another character repeats the side
// before it; an unknown first character leaves every side without border.
void ReadCellBorder(TableBuild* build) {
    char value[kTableWordCapacity];
    if (!TableWord(build->options, "CellBorder=", value)) return;
    auto width = [](char c) -> int {
        switch (c) {
        case '0': case 'N': case 'n': return 0;
        case '1': case 'S': case 's': return 1;
        case '2': case 'D': case 'd': return 2;
        default: return -1;
        }
    };
    // Sides in the order of the value: top, bottom, left, right.
    const int byteShift[4] = {4, 6, 0, 2};
    const int wordShift[4] = {8, 12, 0, 4};
    int previous = 0;
    bool atEnd = false;
    std::uint8_t borderByte = 0;
    std::uint16_t borderWord = 0;
    for (int side = 0; side < 4 && width(value[0]) >= 0; ++side) {
        const char c = atEnd ? '\0' : value[side];
        if (c == '\0') atEnd = true;
        int w = width(c);
        if (w < 0) w = previous;
        previous = w;
        borderByte = static_cast<std::uint8_t>(borderByte | (w << byteShift[side]));
        borderWord = static_cast<std::uint16_t>(borderWord | (w << wordShift[side]));
    }
    build->borderByte = borderByte;
    build->borderWord = borderWord;
}

// The whole value of a name or path word of the options ("" when absent),
// however long: cut, it would name another picture or file.
class NameWord {
public:
    NameWord(TableBuild* build, const char* options, const char* key) : session_(build->session) {
        text_ = CopyTableWord(session_, kSourceName, options, key, &length_, &outOfMemory_);
    }
    NameWord(const NameWord&) = delete;
    NameWord& operator=(const NameWord&) = delete;
    ~NameWord() {
        if (text_ != nullptr) ZervaDeallocate(session_, text_);
    }
    bool present() const { return text_ != nullptr; }
    bool outOfMemory() const { return outOfMemory_; }
    const char* text() const { return text_ != nullptr ? text_ : ""; }
    std::uint32_t length() const { return length_; }

private:
    RARIvoSession* session_;
    char* text_ = nullptr;
    std::uint32_t length_ = 0;
    bool outOfMemory_ = false;
};

// The border image record of a border of style IMAGE.
STATUS AppendBorderImage(TableBuild* build, const NameWord& imageWord) {
    const NameWord serverWord(build, build->options, "BorderServer=");
    const NameWord pathWord(build, build->options, "BorderFilePath=");
    if (serverWord.outOfMemory() || pathWord.outOfMemory()) return kOutOfMemory;
    char replica[kTableWordCapacity];
    TableWord(build->options, "BorderReplica=", replica);
    const char* image = imageWord.text();
    const char* server = serverWord.text();
    const char* path = pathWord.text();
    const std::uint32_t nameLength = imageWord.length();
    const std::uint32_t serverLength = serverWord.length();
    const std::uint32_t pathLength = pathWord.length();
    const std::uint32_t length = EvenLength(kImageTexts + nameLength + serverLength + pathLength);
    if (length > build->blockSize || length > 0xFFFF) return kArgumentError;
    std::uint8_t* record = build->block;
    std::memset(record, 0, length);
    WriteWord(record, kSigHrefBorder);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    if (serverLength > 0 || pathLength > 0) WriteDword(record + kImageFlags, kImageHinted);
    WriteWord(record + kImageType, kResourceNamedElement);
    WriteWord(record + kImageClass, kResourceClassImage);
    WriteWord(record + kImageNameLength, static_cast<std::uint16_t>(nameLength));
    WriteWord(record + kImageServerLength, static_cast<std::uint16_t>(serverLength));
    WriteWord(record + kImagePathLength, static_cast<std::uint16_t>(pathLength));
    if (std::strlen(replica) == 16) {
        // The last eight hexadecimal digits, then the first eight.
        char half[9] = {};
        std::memcpy(half, replica + 8, 8);
        WriteDword(record + kImageReplica, static_cast<std::uint32_t>(std::strtoul(half, nullptr, 16)));
        std::memcpy(half, replica, 8);
        WriteDword(record + kImageReplica + 4, static_cast<std::uint32_t>(std::strtoul(half, nullptr, 16)));
    }
    std::uint8_t* text = record + kImageTexts;
    std::memcpy(text, image, nameLength);
    std::memcpy(text + nameLength, server, serverLength);
    std::memcpy(text + nameLength + serverLength, path, pathLength);
    return AppendRecord(record, kSigHrefBorder, length, build->output);
}

// An id/name record of the HTML attribute options with the prefix, when
// they give any attribute.
STATUS AppendHTMLAttributes(TableBuild* build, std::uint16_t signature, const char* prefix, const char* options) {
    const std::uint32_t wanted = kIdNameFixedLength + 6u * (static_cast<std::uint32_t>(std::strlen(options)) + 1);
    const std::uint32_t capacity = std::min<std::uint32_t>(wanted, 0xFFFE);
    auto* record = static_cast<std::uint8_t*>(QuorbelAllocate(build->session, __LINE__, kSourceName, capacity, 1));
    if (record == nullptr) return kOutOfMemory;
    WriteWord(record, signature);
    STATUS status = kOK;
    if (ApplyHTMLAttributeOptions(build->session, record, capacity, nullptr, prefix, options, nullptr) != 0) {
        const std::uint32_t length = ReadWord(record + 2);
        status = AppendRecord(record, signature, length, build->output);
    }
    ZervaDeallocate(build->session, record);
    return status;
}

// Steps 3 to 7: the table extension group.
STATUS AppendExtensionGroup(TableBuild* build) {
    const char* options = build->options;
    const bool borders = HasTableWord(options, "BorderColor=") || HasTableWord(options, "BorderStyle=") ||
                         HasTableWord(options, "BorderEffects=") || HasKeyStartingWith(options, "BorderThickness");
    const bool html = HasKeyStartingWith(options, "TableHTML") || HasTableWord(options, "TableName=");
    const bool tabs = HasTableWord(options, "TabIndent=") || HasTableWord(options, "TabFont=") ||
                      HasTableWord(options, "TabsEqual=");
    const bool bracketed = borders || html || tabs;
    STATUS status = kOK;
    if (bracketed) {
        status = AppendBeginRecord(kSigPreTableBegin, 1, build->output);
        if (status != kOK) return status;
    }

    // The extension record: rows, columns and the proportional columns.
    std::uint8_t* record = build->block;
    std::memset(record, 0, build->blockSize);
    WriteWord(record, kSigPreTableBegin);
    WriteWord(record + 2, static_cast<std::uint16_t>(kTableExtensionLength));
    record[8] = static_cast<std::uint8_t>(build->rows);
    record[9] = static_cast<std::uint8_t>(build->columns);
    std::uint32_t columnBits = 0;
    for (std::uint16_t column = 0; column < build->columns; ++column) {
        if (build->request->columnRelative[column] != 0) columnBits |= 1u << (column % 32);
    }
    WriteDword(record + 12, columnBits);
    status = ParseTableProperties(build->session, build->context, kSigPreTableBegin, record, build->blockSize,
                                  options, 1);
    if (status != kOK) return status;
    char value[kTableWordCapacity];
    if (TableWord(options, "TableWidth=", value) && ValueIs(value, "FIT_TO_WINDOW"))
        build->leftMargin = kFitToWindowLeftMargin;
    status = AppendRecord(record, kSigPreTableBegin, ReadWord(record + 2), build->output);
    if (status != kOK) return status;

    if (tabs) {
        std::uint8_t settings[kTabSettingsLength] = {};
        WriteWord(settings, kSigTableDataExtension);
        WriteWord(settings + 2, static_cast<std::uint16_t>(kTabSettingsLength));
        WriteWord(settings + 40, 14);
        settings[48] = 1;    // face 1
        settings[51] = 10;   // 10 points
        status = ParseTableProperties(build->session, build->context, kSigTableDataExtension, settings,
                                      sizeof settings, options, 1);
        if (status == kOK) status = AppendRecord(settings, kSigTableDataExtension, sizeof settings, build->output);
        if (status != kOK) return status;
    }

    if (borders) {
        std::uint8_t border[kBorderLength] = {};
        WriteWord(border, kSigBorderInfo);
        WriteWord(border + 2, static_cast<std::uint16_t>(kBorderLength));
        for (std::uint32_t side : {10u, 12u, 14u, 16u}) WriteWord(border + side, 1);
        WriteWord(border + 26, 12);
        status = ParseBorderSpec(build->session, kSigBorderInfo, border, options, 0);
        if (status == kOK) status = AppendRecord(border, kSigBorderInfo, sizeof border, build->output);
        if (status != kOK) return status;
        if (ReadWord(border + 8) == 10) {
            const NameWord image(build, options, "BorderImage=");
            if (image.outOfMemory()) return kOutOfMemory;
            if (image.present()) status = AppendBorderImage(build, image);
            if (status != kOK) return status;
        }
    }

    if (html) {
        status = AppendHTMLAttributes(build, kSigIdName, "Table", options);
        if (status != kOK) return status;
    }
    if (bracketed) status = AppendEndRecord(kSigPreTableBegin, 1, build->output);
    return status;
}

// Step 8: the table begin.
STATUS AppendTableBegin(TableBuild* build, std::uint16_t signature) {
    std::uint8_t record[kTableBeginLength] = {};
    record[0] = static_cast<std::uint8_t>(signature);
    record[1] = static_cast<std::uint8_t>(kTableBeginLength);
    WriteWord(record + 2, build->leftMargin);
    WriteWord(record + 4, kCellSpace);
    WriteWord(record + 6, kRowSpace);
    char value[kTableWordCapacity];
    if (TableWord(build->options, "ColumnSpacing=", value)) WriteWord(record + 8, InchesToTwips(value));
    if (TableWord(build->options, "RowSpacing=", value)) WriteWord(record + 10, InchesToTwips(value));
    const bool hasOptions = build->options[0] != '\0';
    WriteWord(record + 12, (!hasOptions && build->request->fitToWindow != 0) ? 3 : 2);
    const STATUS status =
        ParseTableProperties(build->session, build->context, signature, record, sizeof record, build->options, 1);
    return status != kOK ? status : AppendRecord(record, signature, sizeof record, build->output);
}

// The text of a cell: "Text=" in the text font ("TextFont=" applied to the
// item's default font; bracketed with its colour when it has one), else an
// empty text run in the item's default font.
STATUS AppendCellText(TableBuild* build, const char* options) {
    const FontId base = ItemDefaultFont(build->item);
    std::uint32_t textLength = 0;
    bool outOfMemory = false;
    char* text = CopyTableWord(build->session, kSourceName, options, "Text=", &textLength, &outOfMemory);
    if (outOfMemory) return kOutOfMemory;
    if (text == nullptr) return AppendTextRecord(nullptr, 0, &base, build->output);

    SessionWorkArea* area = build->session->workArea;
    FontId font = base;
    area->currentRGB = 0;
    area->currentColorFlags = 0;
    char value[kTableWordCapacity];
    if (TableWord(options, "TextFont=", value)) {
        ParsedFontSpec spec;
        FontSpecMask mask;
        ParseFontSpec(value, nullptr, build->item, &spec, nullptr, &mask, nullptr);
        ApplyFontSpec(&font, &area->currentRGB, &area->currentColorFlags, spec, mask);
    }
    const bool coloured = area->currentRGB != 0 || area->currentColorFlags != 0;
    STATUS status = coloured ? AppendBeginRecord(kSigText, 0, build->output) : kOK;
    // A text longer than one run holds goes on in further runs of the font.
    if (status == kOK) status = AppendTextRuns(text, textLength, &font, build->output);
    if (status == kOK && coloured) {
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), area->currentRGB, area->currentColorFlags,
                                   build->output);
        if (status == kOK) status = AppendEndRecord(kSigText, 0, build->output);
    }
    ZervaDeallocate(build->session, text);
    return status;
}

// A tab label of at most 127 characters.
STATUS AppendLabel(TableBuild* build, const char* options, const char* key, std::uint16_t flags) {
    char value[kTableWordCapacity];
    if (!TableWord(options, key, value)) return kOK;
    return AppendNamedRecord(flags, value, static_cast<std::uint32_t>(std::strlen(value)), build->output);
}

// Step 10: one cell with everything that follows it.
STATUS AppendCell(TableBuild* build, std::uint16_t row, std::uint16_t column, std::uint16_t left,
                  std::uint16_t width) {
    RecordOutput* output = build->output;
    const char* options = build->request->columnOptions[column];
    if (options == nullptr) options = "";
    const std::uint16_t right = ClampToWord(left + width);
    char value[kTableWordCapacity];

    std::uint8_t cell[kTableCellLength] = {};
    const std::uint16_t signature = output->tableLevel > 1 ? kSigNestedTableCell : kSigTableCell;
    cell[0] = static_cast<std::uint8_t>(signature);
    cell[1] = static_cast<std::uint8_t>(kTableCellLength);
    cell[2] = static_cast<std::uint8_t>(row);
    cell[3] = static_cast<std::uint8_t>(column);
    WriteWord(cell + 4, left);
    WriteWord(cell + 6, right);
    if (build->request->fitToWindow != 0 && build->tableWidth != 0)
        WriteWord(cell + 8, ClampToWord(static_cast<std::int32_t>(width * kFractionBase / build->tableWidth)));
    cell[10] = build->borderByte;
    WriteWord(cell + 12, build->borderWord);
    cell[14] = 1;
    cell[15] = 1;
    std::uint8_t flags = kCellFlagsBase;
    std::uint32_t cellRGB = 0;
    bool coloured = false;
    if (TableWord(options, "CellColor=", value)) {
        std::uint16_t index = 0;
        if (ParseColorSpec(value, &index, &cellRGB) == kOK) {
            coloured = true;
            flags |= kCellColored;
            WriteWord(cell + 16, index);
        }
    }
    if (TableWord(options, "VertAlign=", value)) {
        if (ValueIs(value, "Center")) flags |= kCellCentered;
        else if (ValueIs(value, "Bottom")) flags |= kCellBottom;
    }
    cell[11] = flags;

    STATUS status = AppendRecord(cell, signature, sizeof cell, output);
    if (status == kOK) status = AppendParagraph(build);
    const std::uint16_t id = static_cast<std::uint16_t>(build->firstColumnId + column);
    if (status == kOK && row == 0) status = AppendColumnDefinition(build, id, left, right);
    if (status == kOK) status = AppendReference(build, id);
    if (status == kOK) status = AppendCellText(build, options);
    if (status == kOK && column == 0) {
        if (TableWord(options, "RowHeight=", value)) {
            std::uint8_t height[kTableRowHeightLength] = {static_cast<std::uint8_t>(kSigTableRowHeight),
                                                          static_cast<std::uint8_t>(kTableRowHeightLength)};
            WriteWord(height + 2, InchesToTwips(value));
            status = AppendRecord(height, kSigTableRowHeight, sizeof height, output);
        }
        if (status == kOK) status = AppendLabel(build, options, "TabLabel=", kLabelTab);
        if (status == kOK) status = AppendLabel(build, options, "RowName=", kLabelRowName);
    }
    if (status == kOK) {
        const NameWord image(build, options, "BackgroundImage=");
        if (image.outOfMemory()) return kOutOfMemory;
        if (image.present()) {
            status = AppendGraphicRecords(kResourceNamedElement, kResourceClassImage, image.text(), options, 1,
                                          build->context, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
        }
    }
    if (status == kOK && coloured)
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigTableCellColor), cellRGB, 0, output);
    if (status == kOK && HasKeyStartingWith(options, "CellHTML"))
        status = AppendHTMLAttributes(build, kSigTableCellIdName, "Cell", options);
    return status;
}

// Whether the output already holds a paragraph definition of the id.
bool DefinitionWritten(const TableBuild* build, std::uint16_t id) {
    const ItemRecordList* list = build->item->work->output;
    for (const CDRecordNode* node = list != nullptr ? list->head : nullptr; node != nullptr; node = node->next) {
        if (node->signature == kSigPabDefinition && node->length >= 6 && ReadWord(node->bytes + 4) == id) return true;
    }
    return false;
}

// Step 11: the rows, the row-cycle record, the table end and the paragraph
// after the table.
STATUS AppendRowsAndEnd(TableBuild* build) {
    RecordOutput* output = build->output;
    STATUS status = kOK;
    for (std::uint16_t row = 0; row < build->rows && status == kOK; ++row) {
        std::uint16_t left = build->leftMargin;
        for (std::uint16_t column = 0; column < build->columns && status == kOK; ++column) {
            const std::uint16_t width = ColumnWidth(build, column);
            status = AppendCell(build, row, column, left, width);
            left = ClampToWord(left + width);
        }
    }
    if (status != kOK) return status;

    char value[kTableWordCapacity];
    if (TableWord(build->options, "RowCycleMilliseconds=", value)) {
        std::uint8_t cycle[kTimerInfoLength] = {static_cast<std::uint8_t>(kSigTimerInfo),
                                               static_cast<std::uint8_t>(kTimerInfoLength)};
        // 0 below 1; beyond the 32-bit count, held at its greatest.
        const long long interval = std::strtoll(value, nullptr, 10);
        WriteDword(cycle + 4, interval <= 0 ? 0u
                              : interval > 0xFFFFFFFFLL ? 0xFFFFFFFFu
                                                        : static_cast<std::uint32_t>(interval));
        status = AppendRecord(cycle, kSigTimerInfo, sizeof cycle, output);
        if (status != kOK) return status;
    }
    const std::uint16_t endSignature = output->tableLevel > 1 ? kSigNestedTableEnd : kSigTableEnd;
    std::uint8_t end[kTableEndLength] = {static_cast<std::uint8_t>(endSignature),
                                         static_cast<std::uint8_t>(kTableEndLength)};
    status = AppendRecord(end, endSignature, sizeof end, output);
    if (status == kOK) status = AppendParagraph(build);
    if (status == kOK && !DefinitionWritten(build, build->referenceAfter)) {
        // A table before the item's first paragraph definition: the
        // paragraph after it gets a definition of its own.
        CDPABDEFEXT definition = CurrentDefinition(build);
        definition.pabId = static_cast<std::uint16_t>(build->firstColumnId + build->columns);
        build->referenceAfter = definition.pabId;
        status = AppendDefinition(build, definition);
    }
    if (status == kOK) status = AppendReference(build, build->referenceAfter);
    if (status == kOK) {
        const FontId font = ItemDefaultFont(build->item);
        status = AppendTextRecord(nullptr, 0, &font, output);
    }
    return status;
}

// Whether the cells' edges, twips from the page's left kept in 16 bits,
// hold the columns from the table's left margin on: the edges of columns
// that end past 65,535 twips would be cut there, the last columns left
// narrower or with no width at all.
bool ColumnsFit(const TableBuild* build) {
    char value[kTableWordCapacity];
    const bool fitToWindow = TableWord(build->options, "TableWidth=", value) && ValueIs(value, "FIT_TO_WINDOW");
    std::uint32_t right = fitToWindow ? kFitToWindowLeftMargin : build->leftMargin;
    for (std::uint16_t column = 0; column < build->columns; ++column) right += ColumnWidth(build, column);
    return right <= 0xFFFF;
}

STATUS BuildTable(TableBuild* build) {
    RecordOutput* output = build->output;
    const std::int32_t level = output->tableLevel;
    // The paragraph the table interrupts: in a cell the cell's, else the
    // walk's current one.
    build->referenceAfter = ReadWord(build->context->paragraphReference + 2);
    if (level > 0 && output->cellReferenceId[level] != 0) build->referenceAfter = output->cellReferenceId[level];
    if (build->referenceAfter == 0) build->referenceAfter = 1;

    // Step 2: the table's margins. New ids lie above every id of the item.
    char value[kTableWordCapacity];
    const bool leftGiven = TableWord(build->options, "TableMarginLeft=", value);
    if (leftGiven) build->leftMargin = InchesToTwips(value);
    if (!ColumnsFit(build)) {
        ShowHostMessage(kMsgTooWide);
        return kArgumentError;
    }

    STATUS status = AppendParagraph(build);
    if (status != kOK) return status;
    const bool marginsGiven =
        leftGiven || HasTableWord(build->options, "TableMarginRight=") || output->forceCellMargins[level] != 0;
    const std::uint32_t start = static_cast<std::uint32_t>(output->tableStartParagraphId[level]) + 2;
    const std::uint32_t tableId = std::max<std::uint32_t>(start, NextParagraphId(output));
    if (tableId + build->columns + 2 > 0xFFFF) return kArgumentError;
    build->firstColumnId = static_cast<std::uint16_t>(tableId + 1);
    if (marginsGiven) {
        status = AppendTableDefinition(build, static_cast<std::uint16_t>(tableId));
        if (status != kOK) return status;
    }

    status = AppendExtensionGroup(build);
    if (status != kOK) return status;
    status = AppendTableBegin(build, level > 0 ? kSigNestedTableBegin : kSigTableBegin);
    if (status != kOK) return status;
    ReadCellBorder(build);
    return AppendRowsAndEnd(build);
}

} // namespace

STATUS AppendTableRecords(std::uint16_t columns, std::uint16_t rows, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        context->chunk == nullptr || context->chunk->item == nullptr)
        return kArgumentError;
    if (rows == 0 || rows > kMaxTableRows || columns == 0 || columns > kMaxTableColumns) return kArgumentError;
    // A table inside the deepest level the output keeps would lose its state.
    if (context->output.tableLevel >= kTableLevels - 1) return kArgumentError;

    TableBuild build;
    build.context = context;
    build.output = &context->output;
    build.session = context->session;
    build.item = context->chunk->item;
    build.request = &context->session->workArea->table;
    build.options = context->argumentText != nullptr ? context->argumentText : "";
    build.rows = rows;
    build.columns = columns;
    build.tableWidth = build.request->tableWidth != 0 ? build.request->tableWidth : build.item->defaultTableWidth;

    // The work block holds the records of variable length; a long table
    // name makes it larger.
    build.blockSize = std::max<std::uint32_t>(
        kWorkBlockSize, EvenLength(kTableExtensionLength + static_cast<std::uint32_t>(std::strlen(build.options))));
    if (build.blockSize > kWorkBufferSize) return kArgumentError;
    TrackedBlock* block = QuorbelAllocateBlock(build.session, __LINE__, kSourceName, build.blockSize, 1);
    if (block == nullptr || block->data == nullptr) {
        if (block != nullptr) QuorbelReleaseBlock(build.session, block);
        return kOutOfMemory;
    }
    build.block = block->data;
    const STATUS status = BuildTable(&build);
    QuorbelReleaseBlock(build.session, block);
    context->chunk->item->modified = 1;
    return status;
}

} // namespace talix
