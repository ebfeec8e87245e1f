// The empty row of AppendRow: a copy of a model row that keeps of each cell
// only its cell record, its first paragraph, its first paragraph reference
// and its first text run, and fills the cells from the caller's per-column
// texts: the cell text (plain, or "Text=" with "TextFont="), the cell's
// colour and vertical alignment, the row's height, tab label and name, a
// background image, and the cell's HTML attributes.
#include <cstdlib>
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/graphic_builders.h"
#include "builders/text_runs.h"
#include "core/font_spec.h"
#include "core/html_attributes.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/copy_work.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Cell record: column byte, flags byte, background colour index.
constexpr std::uint32_t kCellColumn = 3, kCellFlags = 11, kCellColor = 16;
constexpr std::uint8_t kCellColored = 0x01, kCellMiddle = 0x20, kCellBottom = 0x80;
// The columns that have a text of their own.
constexpr std::uint16_t kTextColumns = 20;
constexpr std::uint16_t kLabelTab = 2, kLabelRowName = 1;
constexpr std::uint32_t kLabelLimit = 127;

// The caller's text of the current cell's column, or null.
const char* ColumnText(const CopyWork* work) {
    if (work->cellColumn >= kTextColumns) return nullptr;
    const char* text = work->context->session->workArea->table.columnOptions[work->cellColumn];
    return text != nullptr && text[0] != '\0' ? text : nullptr;
}

// The value of a key of the column's options in a buffer of its own (freed
// by the holder); null when the key is absent.
class OptionValue {
public:
    OptionValue(const char* options, const char* key) {
        if (options == nullptr) return;
        const std::size_t size = std::strlen(options) + 1;
        value_ = static_cast<char*>(std::malloc(size));
        if (value_ != nullptr && GetOptionValue(options, key, value_, static_cast<std::uint32_t>(size)) == 0) {
            std::free(value_);
            value_ = nullptr;
        }
    }
    ~OptionValue() { std::free(value_); }
    OptionValue(const OptionValue&) = delete;
    OptionValue& operator=(const OptionValue&) = delete;
    const char* get() const { return value_; }

private:
    char* value_ = nullptr;
};

// The cell record with the column's colour and vertical alignment.
STATUS AppendCell(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    const char* options = ColumnText(work);
    // A cell record of another size than the platform's is copied as it is.
    if (options == nullptr || length != kTableCellLength) return AppendCopied(work, record, signature, length);
    std::uint8_t cell[kTableCellLength];
    std::memcpy(cell, record, length);

    const OptionValue colour(options, "CellColor=");
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (colour.get() != nullptr && ParseColorSpec(colour.get(), &index, &rgb) == kOK) {
        cell[kCellFlags] = static_cast<std::uint8_t>(cell[kCellFlags] | kCellColored);
        WriteWord(cell + kCellColor, index);
    }
    if (const char* at = FindNoCase(options, "VertAlign=")) {
        const char* value = at + std::strlen("VertAlign=");
        if (*value == '\'' || *value == '"') ++value;
        std::uint8_t alignment = 0;
        if (FindNoCase(value, "Center") == value) alignment = kCellMiddle;
        if (FindNoCase(value, "Bottom") == value) alignment = kCellBottom;
        if (alignment != 0) {
            cell[kCellFlags] = static_cast<std::uint8_t>((cell[kCellFlags] & ~(kCellMiddle | kCellBottom)) | alignment);
        }
    }
    return AppendRecord(cell, signature, length, &work->context->output);
}

// The cell's text run: the column's text in the font of the run it
// replaces, with "TextFont=" applied; a coloured font puts the run in a
// text wrapper with its colour record.
STATUS AppendCellText(CopyWork* work, const char* options, FontId font) {
    RecordOutput* output = &work->context->output;
    if (options == nullptr) return AppendTextRecord(nullptr, 0, &font, output);
    const OptionValue text(options, "Text=");
    const char* shown = text.get() != nullptr ? text.get() : options;
    std::uint32_t rgb = 0;
    std::uint16_t colorFlags = 0;
    if (text.get() != nullptr) {
        const OptionValue fontText(options, "TextFont=");
        if (fontText.get() != nullptr) {
            ParsedFontSpec spec;
            FontSpecMask mask;
            ParseFontSpec(fontText.get(), nullptr, work->chunk->item, &spec, nullptr, &mask, nullptr);
            ApplyFontSpec(&font, &rgb, &colorFlags, spec, mask);
        }
    }
    // A text longer than one run holds goes on in further runs of the font.
    const auto length = static_cast<std::uint32_t>(std::strlen(shown));
    if (rgb == 0) return AppendTextRuns(shown, length, &font, output);
    STATUS status = AppendBeginRecord(kSigText, 0, output);
    if (status == kOK) status = AppendTextRuns(shown, length, &font, output);
    if (status == kOK) status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), rgb, colorFlags, output);
    if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    return status;
}

STATUS AppendLabel(const char* options, const char* key, std::uint16_t kind, RecordOutput* output) {
    const OptionValue label(options, key);
    if (label.get() == nullptr) return kOK;
    std::uint32_t length = static_cast<std::uint32_t>(std::strlen(label.get()));
    if (length > kLabelLimit) length = kLabelLimit;
    return AppendNamedRecord(kind, label.get(), length, output);
}

// What follows the cell's text: the row's height, tab label and name (from
// the first column), the background image, colour and HTML attributes of
// the cell.
STATUS AppendCellTail(CopyWork* work, const char* options) {
    RecordProcessContext* context = work->context;
    RecordOutput* output = &context->output;
    STATUS status = kOK;
    if (work->cellColumn == 0) {
        const OptionValue height(options, "RowHeight=");
        if (height.get() != nullptr) {
            const double twips = plat::ReadNumber(height.get()) * 1440.0;
            const std::uint16_t value =
                static_cast<std::uint16_t>(twips <= 0 ? 0 : (twips >= 65535.0 ? 65535 : twips));
            std::uint8_t record[kTableRowHeightLength] = {};
            WriteRecordHeader(record, kSigTableRowHeight, kTableRowHeightLength);
            WriteWord(record + 2, value);
            status = AppendRecord(record, kSigTableRowHeight, sizeof record, output);
        }
        if (status == kOK) status = AppendLabel(options, "TabLabel=", kLabelTab, output);
        if (status == kOK) status = AppendLabel(options, "RowName=", kLabelRowName, output);
    }
    if (status != kOK) return status;
    const OptionValue image(options, "BackgroundImage=");
    if (image.get() != nullptr && image.get()[0] != '\0') {
        status = AppendGraphicRecords(kResourceNamedElement, kResourceClassImage, image.get(), options, 1, context, 0,
                                      0, nullptr, nullptr, nullptr, nullptr, nullptr);
        if (status != kOK) return status;
    }
    const OptionValue colour(options, "CellColor=");
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (colour.get() != nullptr && ParseColorSpec(colour.get(), &index, &rgb) == kOK && rgb != 0) {
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigTableCellColor), rgb, 0, output);
        if (status != kOK) return status;
    }
    if (FindNoCase(options, "CellHTML") != nullptr) {
        auto* record = static_cast<std::uint8_t*>(std::calloc(kWorkBufferSize, 1));
        if (record == nullptr) return kOutOfMemory;
        WriteWord(record, kSigTableCellIdName);
        if (ApplyHTMLAttributeOptions(context->session, record, kWorkBufferSize, nullptr, "Cell", options, nullptr) != 0)
            status = AppendRecord(record, kSigTableCellIdName, EvenLength(ReadWord(record + 2)), output);
        std::free(record);
    }
    return status;
}

} // namespace

STATUS FinishEmptyCell(CopyWork* work, const std::uint8_t* sourceRun, std::uint32_t sourceRunLength) {
    if (!work->cellPending) return kOK;
    work->cellPending = false;
    work->takeText = 0;
    const std::uint8_t* header = sourceRun != nullptr && sourceRunLength >= 8 ? sourceRun
                                                                                : work->chunk->item->work->textTemplate;
    FontId font;
    font.face = header[4];
    font.attributes = header[5];
    font.color = header[6];
    font.size = header[7];
    const char* options = ColumnText(work);
    STATUS status = AppendCellText(work, options, font);
    if (status == kOK && options != nullptr) status = AppendCellTail(work, options);
    return status;
}

STATUS CopyEmptyRowRecord(CopyWork* work, const std::uint8_t* record, std::uint16_t signature,
                          std::uint32_t length) {
    // Nested tables are left out whole.
    if (IsTableBeginRecord(signature)) {
        work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth + 1);
        return kOK;
    }
    if (IsTableEndRecord(signature)) {
        if (work->nestedDepth > 0) work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth - 1);
        return kOK;
    }
    if (work->nestedDepth > 0) return kOK;

    switch (signature) {
    case kSigTableCell:
    case kSigNestedTableCell: {
        STATUS status = FinishEmptyCell(work, nullptr, 0);
        if (status != kOK) return status;
        work->takeParagraph = work->takeReference = work->takeText = 1;
        work->cellColumn = length > kCellColumn ? record[kCellColumn] : 0;
        status = AppendCell(work, record, signature, length);
        if (status == kOK) work->cellPending = true;
        return status;
    }
    case kSigParagraph:
        if (work->takeParagraph == 0) return kOK;
        work->takeParagraph = 0;
        return AppendCopied(work, record, signature, length);
    case kSigPabReference: {
        if (work->takeReference == 0) return kOK;
        work->takeReference = 0;
        STATUS status = AppendCopied(work, record, signature, length);
        if (status != kOK) return status;
        // The cell's text follows in the font for new text.
        std::uint8_t empty[8];
        std::memcpy(empty, work->chunk->item->work->textTemplate, sizeof empty);
        SetHostRecordLength(empty, kSigText, sizeof empty);
        return AppendRecord(empty, kSigText, sizeof empty, &work->context->output);
    }
    case kSigText:
        if (work->takeText == 0) return kOK;
        return FinishEmptyCell(work, record, length);
    default:
        return kOK;
    }
}

} // namespace talix
