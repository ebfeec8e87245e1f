// The property-text writers of tables: the words of the table extension
// record, the table begin record, the row-cycle record, the tab settings
// record (with the tab font in the words of the font properties) and the
// id/name records.
#include "engine/table_property_writers.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/font_spec.h"
#include "core/properties.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/css_format.h"
#include "engine/font_property_writer.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// The tab settings record: the word that tells a tab font is there, the
// font and its colour value (flags, red, green, blue).
constexpr std::uint32_t kTabFontPart = 40, kTabFont = 48, kTabColorValue = 56, kColorValueLength = 6;

// Keyword positions of the Table list.
enum TableWord : std::uint16_t {
    kWordTableWidth = 0, kWordRowDisplay = 1, kWordRowCycle = 2, kWordTransition = 3, kWordCellBorderStyle = 4,
    kWordCellBorderColor = 5, kWordTableColorStyle = 6, kWordTableColor = 7, kWordTableBodyColor = 8,
    kWordBorderEffects = 11, kWordTabsEqual = 26, kWordTabIndent = 27, kWordTabFont = 28,
};

// Appends a formatted word when it fits the text's capacity; one that does
// not is left out, and the state tells so.
void AppendWord(PropertyWriterState* state, char* text, std::uint32_t capacity, const char* format, ...) {
    const std::size_t used = strnlen(text, capacity);
    va_list arguments;
    va_start(arguments, format);
    const int length = plat::FormatTextV(nullptr, 0, format, arguments);
    va_end(arguments);
    if (length < 0 || used + static_cast<std::size_t>(length) + 1 > capacity) {
        state->wordLeftOut = 1;
        return;
    }
    va_start(arguments, format);
    plat::FormatTextV(text + used, capacity - used, format, arguments);
    va_end(arguments);
}

// Whether the request asks for the word: its own position or every word.
bool Asked(std::uint16_t selector, std::uint16_t position) {
    return selector == position || selector == kTableWordAll;
}

bool Done(const PropertyWriterState* state, std::uint16_t position) {
    return position < kPropertyWordPositions && state->done[position] != 0;
}
void MarkDone(PropertyWriterState* state, std::uint16_t position) {
    if (position < kPropertyWordPositions) state->done[position] = 1;
}

// A style colour (red in the low byte): a palette colour by its name, any
// other by its components.
void ColourWord(std::uint32_t value, char* out, std::size_t size) {
    const std::uint32_t rgb = value & 0xFFFFFF;
    const unsigned index = PaletteIndex(rgb);
    if (rgb != 0 && index >= 1) {
        char name[kCSSColorSize];
        ColorToCSS(static_cast<std::uint16_t>(index), name, kColorAsName);
        std::snprintf(out, size, "%s", name);
    } else {
        std::snprintf(out, size, "RGB%u,%u,%u", rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
    }
}

} // namespace

STATUS WriteTableProperties(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                            std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < 41) return kOK;
    const std::uint32_t flags = ReadDword(record + 4);
    if (Asked(selector, kWordTableWidth) && !Done(state, kWordTableWidth)) {
        const char* width =
            (flags & 0x01) == 0 ? "FIXED" : ((flags & 0x40) != 0 ? "FIT_TO_WINDOW" : "FIT_WITH_MARGINS");
        AppendWord(state, text, capacity, "TableWidth=%s ", width);
        MarkDone(state, kWordTableWidth);
    }
    if (Asked(selector, kWordRowDisplay) && !Done(state, kWordRowDisplay)) {
        const char* display = "BASIC";
        const char* side = "";
        switch (record[20]) {
        case 1: display = "ANIMATED Transition=ADVANCE_ON_CLICK"; break;
        case 2: display = "ANIMATED Transition=CONTINUALLY"; break;
        case 3: display = "ANIMATED Transition=ONCE"; break;
        case 6: display = "ANIMATED Transition=ONCE_ON_CLICK"; break;
        case 4:
            display = "TABBED";
            if (flags & 0x100) side = " TabSide=LEFT";
            else if (flags & 0x200) side = " TabSide=BOTTOM";
            else if (flags & 0x400) side = " TabSide=RIGHT";
            break;
        case 5: display = (flags & 0x80) != 0 ? "PROGRAMMABLE_TABBED" : "PROGRAMMABLE"; break;
        case 8: display = "CAPTIONS"; break;
        default: break;
        }
        AppendWord(state, text, capacity, "RowDisplay=%s%s ", display, side);
        MarkDone(state, kWordRowDisplay);
        const std::uint8_t kind = record[20];
        if (kind == 1 || kind == 2 || kind == 3 || kind == 6) MarkDone(state, kWordTransition);
    }
    char colour[32];
    if (Asked(selector, kWordTableBodyColor) && !Done(state, kWordTableBodyColor)) {
        ColourWord(ReadDword(record + 28), colour, sizeof colour);
        AppendWord(state, text, capacity, "TableBodyColor=%s ", colour);
        MarkDone(state, kWordTableBodyColor);
    }
    if (Asked(selector, kWordTableColor) && !Done(state, kWordTableColor)) {
        ColourWord(ReadDword(record + 32), colour, sizeof colour);
        AppendWord(state, text, capacity, "TableColor=%s ", colour);
        MarkDone(state, kWordTableColor);
    }
    if (Asked(selector, kWordCellBorderColor) && !Done(state, kWordCellBorderColor)) {
        const unsigned red = record[38], green = record[39], blue = record[40];
        if (red + green + blue >= 1 || selector == kWordCellBorderColor) {
            AppendWord(state, text, capacity, "CellBorderColor=RGB%u,%u,%u ", red, green, blue);
            MarkDone(state, kWordCellBorderColor);
        }
    }
    if ((selector == kTableWordAll && (flags & 0x04) != 0) || selector == kWordBorderEffects) {
        AppendWord(state, text, capacity, "BorderEffects=%s ", (flags & 0x04) != 0 ? "DROP_SHADOW" : "NONE");
        MarkDone(state, kWordBorderEffects);
    }
    return kOK;
}

STATUS WriteTableLayoutProperties(const std::uint8_t* record, std::uint32_t length, char* text,
                                  std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < 14) return kOK;
    const std::uint16_t flags = ReadWord(record + 12);
    if (Asked(selector, kWordTableWidth) && !Done(state, kWordTableWidth)) {
        AppendWord(state, text, capacity, "TableWidth=%s ", (flags & 0x0001) != 0 ? "FIT_WITH_MARGINS" : "FIXED");
        MarkDone(state, kWordTableWidth);
    }
    if (Asked(selector, kWordRowDisplay) && !Done(state, kWordRowDisplay)) {
        AppendWord(state, text, capacity, "RowDisplay=BASIC ");
        MarkDone(state, kWordRowDisplay);
    }
    if (Asked(selector, kWordTableColorStyle) && !Done(state, kWordTableColorStyle)) {
        const char* style = "NONE";
        if (flags & 0x0800) style = "Alternating_Rows";
        else if (flags & 0x0400) style = "Alternating_Columns";
        else if (flags & 0x0080) style = "Left_Top";
        else if (flags & 0x0200) style = "Left";
        else if (flags & 0x2000) style = "Right_Top";
        else if (flags & 0x4000) style = "Right";
        else if (flags & 0x0100) style = "Top";
        AppendWord(state, text, capacity, "TableColorStyle=%s ", style);
        MarkDone(state, kWordTableColorStyle);
    }
    if (Asked(selector, kWordCellBorderStyle) && !Done(state, kWordCellBorderStyle)) {
        if (flags & 0x0004) AppendWord(state, text, capacity, "CellBorderStyle=GROOVE ");
        else if (flags & 0x0008) AppendWord(state, text, capacity, "CellBorderStyle=RIDGE ");
        else if (selector == kWordCellBorderStyle) AppendWord(state, text, capacity, "CellBorderStyle=SOLID ");
        MarkDone(state, kWordCellBorderStyle);
    }
    if (Asked(selector, kWordCellBorderColor) && !Done(state, kWordCellBorderColor)) {
        AppendWord(state, text, capacity, "CellBorderColor=RGB0,0,0 ");
        MarkDone(state, kWordCellBorderColor);
    }
    return kOK;
}

STATUS WriteRowCycleProperty(const std::uint8_t* record, std::uint32_t length, char* text, std::uint32_t capacity,
                             std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < 8) return kOK;
    if (Asked(selector, kWordRowCycle)) {
        AppendWord(state, text, capacity, "RowCycleMilliseconds=%ld ", static_cast<long>(ReadDword(record + 4)));
        MarkDone(state, kWordRowCycle);
    }
    return kOK;
}

STATUS WriteTabProperties(const std::uint8_t* record, std::uint32_t length, ZervaRTItem* item, char* text,
                          std::uint32_t capacity, std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < 16) return kOK;
    if (Asked(selector, kWordTabIndent) && !Done(state, kWordTabIndent)) {
        const std::uint16_t indent = ReadWord(record + 14);
        if (indent != 0 || selector == kWordTabIndent) {
            AppendWord(state, text, capacity, "TabIndent=\"%4.2f\" ",
                       static_cast<double>(static_cast<float>(indent / 1440.0)));
        }
        MarkDone(state, kWordTabIndent);
    }
    if (Asked(selector, kWordTabsEqual) && !Done(state, kWordTabsEqual)) {
        const std::uint16_t equal = ReadWord(record + 12);
        if (equal != 0 || selector == kWordTabsEqual)
            AppendWord(state, text, capacity, "TabsEqual=%s ", equal != 0 ? "Yes" : "No");
        MarkDone(state, kWordTabsEqual);
    }
    if (Asked(selector, kWordTabFont) && !Done(state, kWordTabFont)) {
        // A font id of point size 0 is no font: the builders never write one
        // (a size of 0 is given as 10), and tables that show no tabs carry
        // such bytes where the tab font would be.
        if (length >= kTabColorValue + kColorValueLength && ReadWord(record + kTabFontPart) >= kTabFontPartLength &&
            record[kTabFont + 3] != 0) {
            // The font's words, with its colour value as the colour record
            // that would follow a run in that font.
            // The colour value's last (pad) byte stays 0.
            std::uint8_t color[kColorLength] = {};
            WriteRecordHeader(color, kSigColor, kColorLength);
            std::memcpy(color + kColorValueAt, record + kTabColorValue, kColorValueLength - 1);
            char words[kScratchSize];
            WriteFontProperties(ReadDword(record + kTabFont), color, item, words, kChunkFont);
            const int size = static_cast<int>(strnlen(words, sizeof words));
            const char quote = ChooseQuoteChar(words, size);
            AppendWord(state, text, capacity, "TabFont=%c%.*s%c ", quote, size, words, quote);
        }
        MarkDone(state, kWordTabFont);
    }
    return kOK;
}

STATUS WriteHTMLAttributeProperties(const std::uint8_t* record, std::uint32_t length, const char* prefix,
                                    std::uint16_t base, std::uint16_t allValue, char* text, std::uint32_t capacity,
                                    std::uint16_t selector, PropertyWriterState* state) {
    if (record == nullptr || text == nullptr || state == nullptr || length < kIdNameFixedLength) return kOK;
    if (prefix == nullptr) prefix = "";
    for (std::uint16_t i = 0; i < 6; ++i) {
        if (Done(state, static_cast<std::uint16_t>(base + i))) return kOK;
    }
    static const char* const kNames[6] = {"HTMLId", "HTMLClass", "HTMLStyle", "HTMLTitle", "HTMLOther", "HTMLName"};
    std::uint32_t position = kIdNameFixedLength;
    for (std::uint16_t i = 0; i < 6; ++i) {
        std::uint32_t textLength = ReadWord(record + 4 + 2 * i);
        if (textLength > length - position) textLength = length - position;
        const std::uint16_t word = static_cast<std::uint16_t>(base + i);
        if (selector == word || (selector == allValue && textLength > 0)) {
            const char* value = reinterpret_cast<const char*>(record + position);
            const char quote = ChooseQuoteChar(value, static_cast<int>(textLength));
            AppendWord(state, text, capacity, "%s%s=%c%.*s%c ", prefix, kNames[i], quote, static_cast<int>(textLength),
                       value, quote);
            MarkDone(state, word);
        }
        position += textLength;
    }
    return kOK;
}

} // namespace talix
