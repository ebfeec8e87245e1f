// Layers: the records of a positioned box (position, size, background) with
// its own paragraph and text, and the reading of box-model lengths.
#include "builders/layer_builders.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "builders/graphic_records.h"
#include "core/font_spec.h"
#include "core/html_attributes.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr std::uint16_t kLayerVersion = 2;             // of the layer's CDBEGIN/CDEND
constexpr std::uint16_t kBackgroundVersion = 1;        // of the background image's pair
constexpr std::uint32_t kHideFormulaStart = 14;
constexpr std::uint16_t kDefinitionHidden = 0x0800;    // the paragraph has a hide formula

// Reference flags of a background image found through a file path.
constexpr std::uint32_t kBackgroundFileFlags = 12;
constexpr std::uint8_t kRepeatTile = 4;

void WriteDouble(std::uint8_t* at, double value) { std::memcpy(at, &value, sizeof value); }

// The ";"-separated fields of a position text.
std::vector<std::string> PositionFields(const char* position) {
    std::vector<std::string> fields;
    if (position == nullptr) return fields;
    std::string field;
    for (const char* p = position;; ++p) {
        if (*p == ';' || *p == '\0') {
            fields.push_back(field);
            field.clear();
            if (*p == '\0') break;
        } else {
            field += *p;
        }
    }
    return fields;
}

// A length from a position field (skipped when empty) or an option.
void LengthFromField(const std::vector<std::string>& fields, std::size_t index, std::uint8_t* length) {
    if (index < fields.size() && !fields[index].empty()) ParseLayerLength(length, fields[index].c_str(), 1);
}
void LengthFromOption(const char* options, const char* key, std::uint8_t* length) {
    std::string value;
    if (OptionText(options, key, &value)) ParseLayerLength(length, value.c_str(), 1);
}

double DecimalNumber(const std::string& text) {
    const double value = plat::ReadNumber(text.c_str(), nullptr);
    return std::isfinite(value) ? value : 0.0;
}

BuiltRecord PositioningRecord(std::uint32_t zIndex, const char* options, const std::vector<std::string>& fields) {
    BuiltRecord record = BlankRecord(kSigPositioning, kPositioningLength);
    std::uint8_t* bytes = record.bytes.data();
    std::string value;
    std::uint8_t scheme = 1;
    if (OptionText(options, "Scheme=", &value) || OptionText(options, "position=", &value)) {
        if (EqualNoCase(value.c_str(), "static")) {
            scheme = 0;
        } else if (EqualNoCase(value.c_str(), "relative")) {
            scheme = 2;
        } else if (EqualNoCase(value.c_str(), "fixed")) {
            scheme = 3;
        }
    }
    bytes[kPositioningScheme] = scheme;
    WriteDword(bytes + kPositioningZIndex, zIndex);
    LengthFromField(fields, 0, bytes + kPositioningTop);
    LengthFromField(fields, 1, bytes + kPositioningLeft);
    LengthFromOption(options, "top=", bytes + kPositioningTop);
    LengthFromOption(options, "left=", bytes + kPositioningLeft);
    LengthFromOption(options, "bottom=", bytes + kPositioningBottom);
    LengthFromOption(options, "right=", bytes + kPositioningRight);
    if (OptionText(options, "BrowserLeftOffset=", &value))
        WriteDouble(bytes + kPositioningBrowserLeft, DecimalNumber(value));
    if (OptionText(options, "BrowserRightOffset=", &value))
        WriteDouble(bytes + kPositioningBrowserRight, DecimalNumber(value));
    return record;
}

BuiltRecord BoxSizeRecord(const char* options, const std::vector<std::string>& fields) {
    BuiltRecord record = BlankRecord(kSigBoxSize, kBoxSizeLength);
    std::uint8_t* bytes = record.bytes.data();
    ParseLayerLength(bytes + kBoxSizeWidth, "100px", 1);
    ParseLayerLength(bytes + kBoxSizeHeight, "100px", 1);
    if (fields.size() >= 2) {
        LengthFromField(fields, 2, bytes + kBoxSizeWidth);
        LengthFromField(fields, 3, bytes + kBoxSizeHeight);
    }
    LengthFromOption(options, "width=", bytes + kBoxSizeWidth);
    LengthFromOption(options, "height=", bytes + kBoxSizeHeight);
    return record;
}

std::uint8_t BackgroundRepeat(const char* options) {
    std::string value;
    if (!OptionText(options, "BackgroundRepeat=", &value)) return kRepeatTile;
    if (EqualNoCase(value.c_str(), "once")) return 1;
    if (EqualNoCase(value.c_str(), "tile")) return 4;
    if (StartsWithNoCase(value, "vert")) return 2;
    if (StartsWithNoCase(value, "horiz")) return 3;
    if (StartsWithNoCase(value, "cente")) return 6;
    if (StartsWithNoCase(value, "size")) return 5;
    return kRepeatTile;
}

// The background colour and image of the layer. The image's block is closed
// whenever it was opened, also when only "background-image=" opened it.
bool AddBackground(const char* options, RecordBatch* batch) {
    std::string name, value;
    const bool image = OptionText(options, "BackgroundImage=", &name) && !name.empty();
    const bool block = image || (OptionText(options, "background-image=", &value) && !value.empty());
    if (block) batch->push_back(BeginRecord(kSigBackgroundProperties, kBackgroundVersion));

    if (OptionText(options, "BackgroundColor=", &value) || OptionText(options, "background-color=", &value)) {
        std::uint16_t index = 0;
        std::uint32_t rgb = 0;
        if (ParseColorSpec(value.c_str(), &index, &rgb) == kOK) {
            BuiltRecord color = BlankRecord(kSigBackgroundColor, kColorLength);
            WriteWord(color.bytes.data() + 2, kColorIsRGB);
            color.bytes[4] = static_cast<std::uint8_t>(rgb);
            color.bytes[5] = static_cast<std::uint8_t>(rgb >> 8);
            color.bytes[6] = static_cast<std::uint8_t>(rgb >> 16);
            batch->push_back(std::move(color));
        }
    }

    if (image) {
        std::string server, file;
        OptionText(options, "BackgroundServer=", &server);
        OptionText(options, "BackgroundFilePath=", &file);
        std::uint32_t flags = file.empty() ? 0 : kBackgroundFileFlags;
        if (OptionText(options, "TempOption=", &value))
            flags = static_cast<std::uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
        std::uint32_t replica[2] = {};
        if (OptionText(options, "BackgroundReplica=", &value) && !ReplicaWords(value, replica))
            replica[0] = replica[1] = 0;
        BuiltRecord reference;
        if (!ResourceRecord(kSigHref, flags, kResourceNamedElement, kResourceClassImage, server, file, replica, name,
                            &reference))
            return false;
        batch->push_back(std::move(reference));
        BuiltRecord properties = BlankRecord(kSigBackgroundProperties, kBackgroundPropertiesLength);
        properties.bytes[2] = BackgroundRepeat(options);
        batch->push_back(std::move(properties));
    }
    if (block) batch->push_back(EndRecord(kSigBackgroundProperties, kBackgroundVersion));
    return true;
}

// The layer's paragraph: a paragraph, a new definition in the operation's
// paragraph style (hidden by the formula in the session's text result,
// when there is one) and a reference to it.
void AddParagraph(BuildContext* context, RecordBatch* batch) {
    batch->push_back(BlankRecord(kSigParagraph, kParagraphLength));

    std::uint8_t definition[kParagraphImageSize] = {};
    std::memcpy(definition, context->paragraphDefinition, kParagraphImageSize);
    if (ReadWord(definition) != kSigPabDefinition) {
        WriteWord(definition, kSigPabDefinition);
        WriteWord(definition + 2, kParagraphDefinitionFixedLength);
    }
    const std::uint16_t id = NextParagraphId(&context->output);
    WriteWord(definition + 4, id);
    const ParagraphStyleState& style = context->paragraph;
    SetParagraphDefinition(definition, &style.definition[0], style.flagsSet, style.flagsClear, style.flags2Set,
                           style.flags2Clear, style.flags3Set, style.flags3Clear, style.listType[0],
                           style.listClear[0], style.shiftLeftOffset, style.shiftRightOffset, style.shiftLeftPercent,
                           style.shiftRightPercent, style.mask[0], 1, 0);
    const RARIvoSession* session = context->session;
    std::uint32_t formulaLength = session->textResultLength;
    if (formulaLength > RARIvoSession::kTextResultCapacity) formulaLength = RARIvoSession::kTextResultCapacity;
    if (formulaLength > 0)
        WriteWord(definition + kPabFlagsAt,
                  static_cast<std::uint16_t>(ReadWord(definition + kPabFlagsAt) | kDefinitionHidden));
    std::uint32_t length = ReadWord(definition + 2);
    if (length > kParagraphImageSize) length = kParagraphImageSize;
    BuiltRecord record = BlankRecord(kSigPabDefinition, length);
    std::memcpy(record.bytes.data(), definition, length);
    WriteWord(record.bytes.data() + 2, static_cast<std::uint16_t>(length));
    batch->push_back(std::move(record));

    if (formulaLength > 0) {
        BuiltRecord hide = BlankRecord(kSigPabHide, EvenLength(kHideFormulaStart + formulaLength));
        WriteWord(hide.bytes.data() + 4, id);
        std::memcpy(hide.bytes.data() + kHideFormulaStart, session->textResult, formulaLength);
        batch->push_back(std::move(hide));
    }
    BuiltRecord reference = BlankRecord(kSigPabReference, kParagraphReferenceLength);
    WriteWord(reference.bytes.data() + 2, id);
    batch->push_back(std::move(reference));
}

// The font of the layer's text: "TextFont=" changes the item's font for new
// text; without it, the operation's font specification does.
FontId LayerTextFont(const char* options, BuildContext* context) {
    FontId font = NewTextFont(context);
    ZervaRTItem* item = context->output.item;
    if (item == nullptr || item->work == nullptr) return font;
    std::string value;
    if (OptionText(options, "TextFont=", &value)) {
        ParsedFontSpec spec;
        FontSpecMask mask;
        if (ParseFontSpec(value.c_str(), nullptr, item, &spec, nullptr, &mask, nullptr) == kOK)
            ApplyFontSpec(&font, nullptr, nullptr, spec, mask);
    } else {
        ApplyFontSpec(&font, nullptr, nullptr, context->font, context->fontMask);
    }
    std::uint8_t* text = item->work->textTemplate;
    WriteWord(text, kSigText);
    WriteWord(text + 2, 8);
    text[4] = font.face;
    text[5] = font.attributes;
    text[6] = font.color;
    text[7] = font.size;
    return font;
}

} // namespace

void ParseLayerLength(std::uint8_t* lengthValue, const char* text, std::uint32_t keepUnit) {
    if (lengthValue == nullptr || text == nullptr) return;
    const std::size_t length = std::strlen(text);
    std::uint16_t flags = 0;
    if (FindNoCase(text, "auto") != nullptr) {
        flags |= kLengthAuto;
        if (length == 4 && keepUnit == 0) {
            WriteWord(lengthValue + kLengthFlagsOffset, flags);
            return;
        }
    }
    if (FindNoCase(text, "inherit") != nullptr) {
        flags |= kLengthInherit;
        if (length == 7 && keepUnit == 0) {
            WriteWord(lengthValue + kLengthFlagsOffset, flags);
            return;
        }
    }
    // The flags say what this text says: a length that was "auto" before
    // takes a number given now.
    WriteWord(lengthValue + kLengthFlagsOffset, flags);
    double value = DecimalNumber(text);
    if (keepUnit == 0) lengthValue[kLengthUnitOffset] = kUnitPixels;
    if (flags != 0) {
        WriteDouble(lengthValue + kLengthNumberOffset, value);
        lengthValue[kLengthUnitOffset] = kUnitNone;
        return;
    }
    if (FindNoCase(text, "px") != nullptr) {
        lengthValue[kLengthUnitOffset] = kUnitPixels;
    } else if (std::strchr(text, '%') != nullptr) {
        lengthValue[kLengthUnitOffset] = kUnitPercent;
    } else if (FindNoCase(text, "in") != nullptr) {
        value *= 1440.0;
        lengthValue[kLengthUnitOffset] = kUnitTwips;
    } else if (FindNoCase(text, "ch") != nullptr) {
        lengthValue[kLengthUnitOffset] = kUnitCh;
    } else if (FindNoCase(text, "em") != nullptr) {
        lengthValue[kLengthUnitOffset] = kUnitEm;
    } else if (FindNoCase(text, "ex") != nullptr) {
        lengthValue[kLengthUnitOffset] = kUnitEx;
    }
    WriteDouble(lengthValue + kLengthNumberOffset, value);
}

STATUS AppendLayerRecords(std::uint32_t zIndex, BuildContext* context, const char* options,
                          const char* position) {
    if (context == nullptr || context->session == nullptr) return kArgumentError;
    RARIvoSession* session = context->session;
    const std::vector<std::string> fields = PositionFields(position);

    RecordBatch batch;
    batch.push_back(BeginRecord(kSigLayer, kLayerVersion));
    batch.push_back(BlankRecord(kSigLayer, kLayerLength));
    if (FindNoCase(options, "LayerHTML") != nullptr) {
        std::vector<std::uint8_t> buffer(kOutputSegmentCapacity, 0);
        WriteWord(buffer.data(), kSigIdName);
        if (ApplyHTMLAttributeOptions(session, buffer.data(), kOutputSegmentCapacity - 1, nullptr, "Layer", options,
                                      nullptr) != 0) {
            const std::uint32_t length = ReadWord(buffer.data() + 2);
            BuiltRecord record;
            record.signature = kSigIdName;
            record.bytes.assign(buffer.begin(), buffer.begin() + EvenLength(length));
            batch.push_back(std::move(record));
        }
    }
    batch.push_back(PositioningRecord(zIndex, options, fields));
    batch.push_back(BoxSizeRecord(options, fields));
    if (!AddBackground(options, &batch)) return kArgumentError;
    AddParagraph(context, &batch);

    const FontId font = LayerTextFont(options, context);
    std::string text;
    if (OptionText(options, "Text=", &text)) {
        BuiltRecord run;
        if (!TextRecord(kSigText, kTextRunHeader, text, &run)) return kArgumentError;
        std::memcpy(run.bytes.data() + 4, &font, sizeof font);
        batch.push_back(std::move(run));
    } else {
        batch.push_back(EmptyTextRecord(font));
    }
    batch.push_back(EndRecord(kSigLayer, kLayerVersion));
    return AppendBatch(batch, &context->output);
}

} // namespace talix
