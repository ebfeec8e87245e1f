// The table property parsers: table option words applied to the table
// extension record, the tab settings record, the table begin record and
// the border record, all in host form.
#include <cstring>
#include <initializer_list>

#include "builders/build_context.h"
#include "builders/table_builders.h"
#include "builders/table_options.h"
#include "core/font_spec.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "talix/chunk.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc3";

// Table extension record (0xFFFB).
constexpr std::uint32_t kExtFlags = 4, kExtViewerType = 20, kExtMinRowHeight = 22, kExtBodyColor = 28,
                        kExtTableColor = 32, kExtBorderColorFlags = 36, kExtBorderColorRGB = 38,
                        kExtNameLength = 42;
constexpr std::uint32_t kExtAutoWidth = 0x01, kExtDropShadow = 0x04, kExtProgrammable = 0x08,
                        kExtBorderColored = 0x20, kExtFitToWindow = 0x40, kExtTabbedProgrammable = 0x80,
                        kExtTabsLeft = 0x100, kExtTabsBottom = 0x200, kExtTabsRight = 0x400;
constexpr std::uint32_t kExtTabSides = kExtTabsLeft | kExtTabsBottom | kExtTabsRight;
constexpr std::uint8_t kViewBasic = 0, kViewAnimated = 1, kViewTabbed = 4, kViewProgrammable = 5, kViewCaptions = 8;
constexpr std::uint32_t kPresetTableColor = 0xC0C0C0, kPresetBodyColor = 0x808080;

// Tab settings record (0xFF5C).
constexpr std::uint16_t kHighlightFlags = 0xF000;
constexpr std::uint32_t kTabsEqual = 12, kTabIndent = 14, kTabFontLength = 40, kTabFont = 48, kTabColorFlags = 56,
                        kTabColorRGB = 58;

// Table begin record (163, 207).
constexpr std::uint32_t kBeginFlags = 12;
constexpr std::uint16_t kBeginFit = 0x0001, kBeginEmboss = 0x0004, kBeginExtrude = 0x0008, kBeginTabbed = 0x0040,
                        kBeginColorStyles = 0x6F80;

// Border record (0xFFFC).
constexpr std::uint32_t kBorderStyle = 8, kBorderTop = 10, kBorderLeft = 12, kBorderBottom = 14, kBorderRight = 16,
                        kBorderFlags = 24, kBorderShadow = 26, kBorderPaddingLeft = 30, kBorderOuterTop = 36,
                        kBorderOuterLeft = 38, kBorderOuterBottom = 40, kBorderOuterRight = 42,
                        kBorderColorFlags = 44, kBorderColorRGB = 46;
constexpr std::uint16_t kBorderDropShadow = 0x0001;
constexpr std::uint16_t kDefaultShadow = 12;

void PutRGB(std::uint8_t* at, std::uint32_t rgb) {
    at[0] = static_cast<std::uint8_t>(rgb);
    at[1] = static_cast<std::uint8_t>(rgb >> 8);
    at[2] = static_cast<std::uint8_t>(rgb >> 16);
}

// A colour value as RGB; false when the text names no colour.
bool ColourWord(const char* value, std::uint32_t* rgb) {
    std::uint16_t index = 0;
    return ParseColorSpec(value, &index, rgb) == kOK;
}

// A border thickness: "thin" 2, "medium" 4, "thick" 6, else the number.
std::uint16_t Thickness(const char* value) {
    if (ValueIs(value, "thin")) return 2;
    if (ValueIs(value, "medium")) return 4;
    if (ValueIs(value, "thick")) return 6;
    return WordNumber(value);
}

// "RowDisplay=" and "TabSide=" of the table extension.
void ApplyRowDisplay(std::uint8_t* record, std::uint32_t* flags, const char* options) {
    char value[kTableWordCapacity];
    std::uint8_t kind = record[kExtViewerType];
    if (TableWord(options, "RowDisplay=", value)) {
        struct Display {
            const char* word;
            std::uint8_t kind;
            std::uint32_t flags;
        };
        static const Display kDisplays[] = {
            {"BASIC", kViewBasic, 0},
            {"TABBED", kViewTabbed, 0},
            {"TABBED_PROGRAMMABLE", kViewProgrammable, kExtTabbedProgrammable | kExtProgrammable},
            // The word the table's property text gives for it.
            {"PROGRAMMABLE_TABBED", kViewProgrammable, kExtTabbedProgrammable | kExtProgrammable},
            {"PROGRAMMABLE", kViewProgrammable, kExtProgrammable},
            {"ANIMATED", kViewAnimated, 0},
            {"CAPTIONS", kViewCaptions, 0},
        };
        for (const Display& display : kDisplays) {
            if (!ValueIs(value, display.word)) continue;
            kind = display.kind;
            *flags = (*flags & ~(kExtTabbedProgrammable | kExtProgrammable)) | display.flags;
            if (kind == kViewAnimated && TableWord(options, "Transition=", value)) {
                if (ValueIs(value, "CONTINUALLY")) kind = 2;
                else if (ValueIs(value, "ONCE")) kind = 3;
                else if (ValueIs(value, "ONCE_ON_CLICK")) kind = 6;
                else if (ValueIs(value, "ADVANCE_ON_CLICK")) kind = 1;
            }
            break;
        }
    } else if (HasTableWord(options, "TabSide=")) {
        kind = kViewTabbed;
    }
    record[kExtViewerType] = kind;

    if ((kind == kViewTabbed || (*flags & kExtTabbedProgrammable) != 0) && TableWord(options, "TabSide=", value)) {
        *flags &= ~kExtTabSides;
        if (ValueIs(value, "Left")) *flags |= kExtTabsLeft;
        else if (ValueIs(value, "Bottom")) *flags |= kExtTabsBottom;
        else if (ValueIs(value, "Right")) *flags |= kExtTabsRight;
    }
}

// The table extension record (0xFFFB). A new name is placed first, so that
// a name that does not fit leaves the record as it was.
STATUS ParseExtension(RARIvoSession* session, std::uint8_t* record, std::uint32_t capacity, const char* options,
                      int initial) {
    const std::uint32_t length = ReadWord(record + 2);
    if (capacity < kTableExtensionLength || length < kTableExtensionLength || length > capacity)
        return kArgumentError;

    std::uint32_t nameLength = 0;
    bool outOfMemory = false;
    char* name = CopyTableWord(session, kSourceName, options, "TableName=", &nameLength, &outOfMemory);
    if (outOfMemory) return kOutOfMemory;
    if (name != nullptr) {
        // The bytes after the old name (image and row-label data) move with it.
        std::uint32_t oldName = ReadWord(record + kExtNameLength);
        if (oldName > length - kTableExtensionLength) oldName = length - kTableExtensionLength;
        const std::uint32_t tail = length - kTableExtensionLength - oldName;
        const std::uint32_t newLength = EvenLength(kTableExtensionLength + nameLength + tail);
        if (newLength > capacity || newLength > 0xFFFF) {
            ZervaDeallocate(session, name);
            return kArgumentError;
        }
        std::uint8_t* body = record + kTableExtensionLength;
        std::memmove(body + nameLength, body + oldName, tail);
        std::memcpy(body, name, nameLength);
        if (newLength > kTableExtensionLength + nameLength + tail) record[newLength - 1] = 0;
        WriteWord(record + kExtNameLength, static_cast<std::uint16_t>(nameLength));
        WriteWord(record + 2, static_cast<std::uint16_t>(newLength));
        ZervaDeallocate(session, name);
    }

    std::uint32_t flags = ReadDword(record + kExtFlags);
    char value[kTableWordCapacity];
    ApplyRowDisplay(record, &flags, options);

    if (TableWord(options, "BorderEffects=", value)) {
        flags = ValueIs(value, "DROP_SHADOW") ? (flags | kExtDropShadow) : (flags & ~kExtDropShadow);
    }
    std::uint32_t rgb = 0;
    if (TableWord(options, "CellBorderColor=", value) && ColourWord(value, &rgb)) {
        PutRGB(record + kExtBorderColorRGB, rgb);
        WriteWord(record + kExtBorderColorFlags, kColorIsRGB);
        flags = rgb != 0 ? (flags | kExtBorderColored) : (flags & ~kExtBorderColored);
    }
    if (initial != 0 && TableWord(options, "TableColorStyle=", value) && !ValueIs(value, "NONE")) {
        WriteDword(record + kExtTableColor, kPresetTableColor);
        WriteDword(record + kExtBodyColor, kPresetBodyColor);
    }
    if (TableWord(options, "TableColor=", value) && ColourWord(value, &rgb)) WriteDword(record + kExtTableColor, rgb);
    if (TableWord(options, "TableBodyColor=", value) && ColourWord(value, &rgb))
        WriteDword(record + kExtBodyColor, rgb);
    if (TableWord(options, "MinRowHeight=", value)) WriteWord(record + kExtMinRowHeight, InchesToTwips(value));
    if (TableWord(options, "TableWidth=", value)) {
        if (ValueStartsWith(value, "FIT")) {
            flags |= kExtAutoWidth;
            flags = ValueIs(value, "FIT_TO_WINDOW") ? (flags | kExtFitToWindow) : (flags & ~kExtFitToWindow);
        } else {
            flags &= ~(kExtAutoWidth | kExtFitToWindow);
        }
    }
    WriteDword(record + kExtFlags, flags);
    return kOK;
}

// The tab settings record (0xFF5C).
STATUS ParseTabSettings(BuildContext* context, std::uint8_t* record, std::uint32_t capacity,
                        const char* options) {
    if (capacity < kTabSettingsLength) return kArgumentError;
    char value[kTableWordCapacity];
    if (TableWord(options, "TabIndent=", value)) WriteWord(record + kTabIndent, InchesToTwips(value));
    if (TableWord(options, "TabsEqual=", value)) WriteWord(record + kTabsEqual, ValueIs(value, "YES") ? 1 : 0);
    if (!TableWord(options, "TabFont=", value)) return kOK;

    ParsedFontSpec spec;
    FontSpecMask mask;
    ZervaRTItem* item = context != nullptr && context->chunk != nullptr ? context->chunk->item : nullptr;
    ParseFontSpec(value, nullptr, item, &spec, nullptr, &mask, nullptr);
    FontId font;
    font.face = record[kTabFont];
    font.attributes = record[kTabFont + 1];
    font.color = record[kTabFont + 2];
    font.size = record[kTabFont + 3];
    if (font.face == 0) font.face = 1;
    std::uint32_t rgb = 0;
    std::uint16_t highlight = static_cast<std::uint16_t>(ReadWord(record + kTabColorFlags) & kHighlightFlags);
    ApplyFontSpec(&font, &rgb, &highlight, spec, mask);
    if (font.size == 0) font.size = 10;
    std::uint16_t colorFlags = ReadWord(record + kTabColorFlags);
    if (mask.color != 0) {
        // A palette colour is kept as its RGB value.
        if (spec.rgb == 0 && font.color < kPaletteSize) rgb = PaletteRGB(font.color);
        colorFlags = kColorIsRGB;
        PutRGB(record + kTabColorRGB, rgb);
    }
    // The highlight of the tab labels lives in the colour value's flags,
    // beside the colour, as it does for a text run.
    colorFlags = static_cast<std::uint16_t>((colorFlags & ~kHighlightFlags) | (highlight & kHighlightFlags));
    WriteWord(record + kTabColorFlags, colorFlags);
    record[kTabFont] = font.face;
    record[kTabFont + 1] = font.attributes;
    record[kTabFont + 2] = font.color;
    record[kTabFont + 3] = font.size;
    WriteWord(record + kTabFontLength, kTabFontPartLength);
    return kOK;
}

// The flags word of a table begin record (163, 207).
STATUS ParseTableBegin(std::uint8_t* record, std::uint32_t capacity, const char* options) {
    if (capacity < kTableBeginLength) return kArgumentError;
    std::uint16_t flags = ReadWord(record + kBeginFlags);
    char value[kTableWordCapacity];
    if (TableWord(options, "TableWidth=", value)) {
        // The table fits the window exactly when its width is one of the FIT kinds.
        flags = ValueStartsWith(value, "FIT") ? (flags | kBeginFit) : (flags & ~kBeginFit);
    }
    if (TableWord(options, "RowDisplay=", value)) {
        flags = ValueIs(value, "BASIC") ? (flags & ~kBeginTabbed) : (flags | kBeginTabbed);
    } else if (HasTableWord(options, "TabSide=")) {
        flags |= kBeginTabbed;
    }
    if (TableWord(options, "CellBorderStyle=", value)) {
        flags &= static_cast<std::uint16_t>(~(kBeginEmboss | kBeginExtrude));
        if (ValueIs(value, "Groove") || ValueIs(value, "Emboss")) flags |= kBeginEmboss;
        else if (ValueIs(value, "Ridge") || ValueIs(value, "Extrude")) flags |= kBeginExtrude;
    }
    if (TableWord(options, "TableColorStyle=", value)) {
        struct Style {
            const char* word;
            std::uint16_t bits;
        };
        static const Style kStyles[] = {
            {"NONE", 0},      {"SOLID", kBeginColorStyles}, {"ALTERNATING_ROWS", 0x0800},
            {"ALTERNATING_COLUMNS", 0x0400}, {"LEFT_TOP", 0x0080}, {"LEFT", 0x0200},
            {"RIGHT_TOP", 0x2000}, {"RIGHT", 0x4000}, {"TOP", 0x0100},
        };
        for (const Style& style : kStyles) {
            if (!ValueIs(value, style.word)) continue;
            flags = static_cast<std::uint16_t>((flags & ~kBeginColorStyles) | style.bits);
            break;
        }
    }
    WriteWord(record + kBeginFlags, flags);
    return kOK;
}

} // namespace

STATUS ParseBorderSpec(RARIvoSession*, std::uint16_t signature, std::uint8_t* record, const char* options,
                       int initial) {
    if (record == nullptr) return kArgumentError;
    if (signature != kSigBorderInfo) return kOK;
    if (initial != 0) {
        WriteWord(record + kBorderShadow, kDefaultShadow);
        for (std::uint32_t side : {kBorderTop, kBorderLeft, kBorderBottom, kBorderRight}) WriteWord(record + side, 0);
    }
    char value[kTableWordCapacity];
    if (TableWord(options, "BorderStyle=", value)) {
        static const char* const kStyles[] = {"NONE",   "SOLID",  "DOUBLE", "INSET",   "OUTSET", "RIDGE",
                                              "GROOVE", "DOTTED", "DASHED", "PICTURE", "IMAGE"};
        for (std::uint16_t style = 0; style < sizeof kStyles / sizeof kStyles[0]; ++style) {
            if (!ValueIs(value, kStyles[style])) continue;
            WriteWord(record + kBorderStyle, style);
            if (style == 0) {
                for (std::uint32_t side : {kBorderTop, kBorderLeft, kBorderBottom, kBorderRight})
                    WriteWord(record + side, 0);
            }
            break;
        }
    }
    // Each side falls back to "BorderThickness=".
    char common[kTableWordCapacity];
    const bool haveCommon = TableWord(options, "BorderThickness=", common);
    const struct {
        const char* key;
        std::uint32_t offset;
    } sides[] = {{"BorderThicknessTop=", kBorderTop},
                 {"BorderThicknessLeft=", kBorderLeft},
                 {"BorderThicknessBottom=", kBorderBottom},
                 {"BorderThicknessRight=", kBorderRight}};
    for (const auto& side : sides) {
        if (TableWord(options, side.key, value)) {
            WriteWord(record + side.offset, Thickness(value));
        } else if (haveCommon) {
            WriteWord(record + side.offset, Thickness(common));
        }
    }
    const struct {
        const char* key;
        std::uint32_t offset;
    } outer[] = {{"OuterTop=", kBorderOuterTop},
                 {"OuterLeft=", kBorderOuterLeft},
                 {"OuterBottom=", kBorderOuterBottom},
                 {"OuterRight=", kBorderOuterRight}};
    for (const auto& side : outer) {
        if (TableWord(options, side.key, value)) WriteWord(record + side.offset, WordNumber(value));
    }
    if (TableWord(options, "BorderEffects=", value)) {
        std::uint16_t flags = ReadWord(record + kBorderFlags);
        if (ValueIs(value, "DROP_SHADOW")) {
            WriteWord(record + kBorderFlags, flags | kBorderDropShadow);
            if (TableWord(options, "BorderShadow=", value)) {
                WriteWord(record + kBorderShadow, WordNumber(value));
            } else if (initial != 0) {
                WriteWord(record + kBorderShadow, kDefaultShadow);
            }
        } else if (ValueIs(value, "NONE")) {
            WriteWord(record + kBorderFlags, flags & ~kBorderDropShadow);
            WriteWord(record + kBorderShadow, 0);
        }
    }
    std::uint32_t rgb = 0;
    if (TableWord(options, "BorderColor=", value) && ColourWord(value, &rgb)) {
        WriteWord(record + kBorderColorFlags,
                  static_cast<std::uint16_t>(ReadWord(record + kBorderColorFlags) | kColorIsRGB));
        PutRGB(record + kBorderColorRGB, rgb);
    }
    if (TableWord(options, "PaddingLeft=", value)) WriteWord(record + kBorderPaddingLeft, WordNumber(value));
    return kOK;
}

STATUS ParseTableProperties(RARIvoSession* session, BuildContext* context, std::uint16_t signature,
                            std::uint8_t* record, std::uint32_t capacity, const char* options, int initial) {
    if (record == nullptr) return kArgumentError;
    if (options == nullptr) options = "";
    switch (signature) {
    case kSigPreTableBegin:
        return ParseExtension(session, record, capacity, options, initial);
    case kSigTableDataExtension:
        return ParseTabSettings(context, record, capacity, options);
    case kSigTableBegin:
    case kSigNestedTableBegin:
        return ParseTableBegin(record, capacity, options);
    case kSigBorderInfo:
        if (capacity < kBorderLength) return kArgumentError;
        return ParseBorderSpec(session, signature, record, options, initial);
    default:
        return kOK;
    }
}

} // namespace talix
