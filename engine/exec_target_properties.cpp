// The target properties of a chunk as one property string of keyword=value
// words. Operation 2436 writes them: each record of the target that carries
// properties is handed to its word writer, which appends to the session's
// text result (a3 is the target type, op2 the keyword position asked for);
// over several targets, the words of each make a line.
// Operation 2437 applies a property string (the argument text) to the
// target's records (op2 is the target type): graphics (alternate text,
// caption, HTML attributes, border), paragraphs (border), horizontal rules,
// layers (position, size, background, HTML attributes) and URL links (frame
// target, HTML attributes). Each kind of record is changed or added once
// per run; changed records are appended in place of the old ones, the
// record list itself is not changed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/layer_builders.h"
#include "builders/table_builders.h"
#include "core/brackets.h"
#include "core/font_spec.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/table_property_writers.h"
#include "engine/target_property_writers.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc";

// Target types.
constexpr std::uint16_t kTypeTable = 1, kTypeSection = 4, kTypeGraphic = 15, kTypeField = 19,
                        kTypeParagraph = 21, kTypeRule = 27, kTypeLayer = 29, kTypeUrlLink = 31,
                        kTypeImageMap = 32, kTypeImageArea = 33, kTypeParagraphList = 36;

// The record kinds 2437 changes or adds once per run.
constexpr std::uint32_t kDoneAltText = 0x001, kDoneCaption = 0x002, kDoneGraphicIdName = 0x004,
                        kDoneGraphicBorder = 0x008, kBracketOpened = 0x010, kDoneOtherIdName = 0x020,
                        kDoneUrlTarget = 0x040, kDoneUrlIdName = 0x080, kAdditionsDone = 0x100;

// Host offsets.
constexpr std::uint32_t kCaptionPosition = 6, kCaptionFont = 8, kCaptionColorFlags = 12, kCaptionRed = 14;
constexpr std::uint16_t kCaptionDefaultColorFlags = 8;
constexpr std::uint8_t kCaptionDefaultSize = 10;
constexpr std::uint32_t kIdNameTexts = 6;
constexpr std::uint32_t kResourceFlags = 4, kResourceKind = 8, kResourceClass = 10, kResourceNameLength = 12,
                        kResourceServerLength = 14, kResourceFileLength = 16;
constexpr std::uint16_t kResourceNamedElement = 3, kResourceClassImage = 19;
constexpr std::uint32_t kRepeatMode = 2;

// The six texts of an id/name record, in record order.
constexpr const char* kIdNameKeys[kIdNameTexts] = {"ID=", "Class=", "Style=", "Title=", "Other=", "Name="};

char* Scratch2(RecordProcessContext* context) { return context->session->optionValue; }

const char* Options(const RecordProcessContext* context) {
    return context->argumentText != nullptr ? context->argumentText : "";
}

bool Has(const RecordProcessContext* context, const char* word) { return FindNoCase(Options(context), word) != nullptr; }

// The value of a keyword of the property string, whole (the second scratch
// buffer, which also receives it, holds only its start); null when the
// keyword is absent. It stays until the next call.
const char* Value(RecordProcessContext* context, const char* key) {
    const char* options = Options(context);
    if (GetOptionValue(options, key, Scratch2(context), kScratchSize) == 0) return nullptr;
    std::string& whole = context->session->workArea->propertyValue;
    whole.assign(std::strlen(options) + 1, '\0');
    GetOptionValue(options, key, whole.data(), static_cast<std::uint32_t>(whole.size()));
    return whole.c_str();
}

std::uint8_t* NewRecord(RecordProcessContext* context, std::uint32_t length) {
    return static_cast<std::uint8_t*>(QuorbelAllocate(context->session, __LINE__, kSourceName, length, 1));
}

// Appends a record built by the operation and releases its block; the item
// is changed.
STATUS AppendBuilt(RecordProcessContext* context, std::uint8_t* record, std::uint16_t signature,
                   std::uint32_t length) {
    context->chunk->item->modified = 1;
    const STATUS status = AppendRecord(record, signature, length, &context->output);
    ZervaDeallocate(context->session, record);
    return status;
}

// A copy of the current record to change, or null (263).
std::uint8_t* CopyRecord(RecordProcessContext* context, const std::uint8_t* record, std::uint32_t length,
                         std::uint32_t capacity) {
    std::uint8_t* copy = NewRecord(context, capacity > length ? capacity : length);
    if (copy != nullptr) std::memcpy(copy, record, length);
    return copy;
}

// A record of a head and a text after it (alternate text, caption, frame
// target): the head copied from old (zeros without one), the text length in
// its word, the record length head + text, padded to even.
STATUS AppendHeadAndText(RecordProcessContext* context, const std::uint8_t* old, std::uint32_t oldLength,
                         std::uint16_t signature, std::uint32_t head, std::uint32_t lengthOffset, const char* text,
                         std::uint8_t** built = nullptr) {
    const std::uint32_t textLength = static_cast<std::uint32_t>(std::strlen(text));
    const std::uint32_t length = head + textLength;
    if (length > 0xFFFF) return kArgumentError;
    std::uint8_t* record = NewRecord(context, EvenLength(length));
    if (record == nullptr) return kOutOfMemory;
    if (old != nullptr) std::memcpy(record, old, oldLength < head ? oldLength : head);
    WriteWord(record, signature);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + lengthOffset, static_cast<std::uint16_t>(textLength));
    std::memcpy(record + head, text, textLength);
    if (built != nullptr) {
        *built = record;
        return kOK;
    }
    return AppendBuilt(context, record, signature, EvenLength(length));
}

// ---- Id/name records -------------------------------------------------------

bool AnyIdNameKey(RecordProcessContext* context, const char* prefix) {
    char key[32];
    for (const char* name : kIdNameKeys) {
        std::snprintf(key, sizeof key, "%s%s", prefix, name);
        if (Value(context, key) != nullptr) return true;
    }
    return false;
}

// An id/name record whose texts are the values of the prefixed keywords
// where given, the old record's texts elsewhere (none without one).
STATUS AppendIdName(RecordProcessContext* context, const std::uint8_t* old, std::uint32_t oldLength,
                    const char* prefix) {
    char* texts[kIdNameTexts] = {};
    std::uint32_t lengths[kIdNameTexts] = {};
    STATUS status = kOK;
    std::uint32_t oldOffset = kIdNameFixedLength;
    char key[32];
    for (std::uint32_t i = 0; i < kIdNameTexts && status == kOK; ++i) {
        std::uint32_t oldTextLength = 0;
        if (old != nullptr && oldLength >= kIdNameFixedLength) {
            oldTextLength = ReadWord(old + kIdNameLengthsAt + 2 * i);
            if (oldOffset > oldLength || oldTextLength > oldLength - oldOffset) oldTextLength = 0;
        }
        std::snprintf(key, sizeof key, "%s%s", prefix, kIdNameKeys[i]);
        const char* given = Value(context, key);
        // Without an old record there is no old text to point into.
        const char* source = given != nullptr ? given
                             : old != nullptr ? reinterpret_cast<const char*>(old + oldOffset)
                                              : "";
        lengths[i] = given != nullptr ? static_cast<std::uint32_t>(std::strlen(given)) : oldTextLength;
        texts[i] = static_cast<char*>(QuorbelAllocate(context->session, __LINE__, kSourceName, lengths[i] + 1, 1));
        if (texts[i] == nullptr) status = kOutOfMemory;
        else if (lengths[i] > 0) std::memcpy(texts[i], source, lengths[i]);
        oldOffset += oldTextLength;
    }
    std::uint32_t length = kIdNameFixedLength;
    for (std::uint32_t size : lengths) length += size;
    if (status == kOK && length > 0xFFFF) status = kArgumentError;
    std::uint8_t* record = status == kOK ? NewRecord(context, EvenLength(length)) : nullptr;
    if (status == kOK && record == nullptr) status = kOutOfMemory;
    if (status == kOK) {
        if (old != nullptr && oldLength >= kIdNameFixedLength) std::memcpy(record, old, kIdNameFixedLength);
        WriteRecordHeader(record, kSigIdName, static_cast<std::uint16_t>(length));
        std::uint32_t offset = kIdNameFixedLength;
        for (std::uint32_t i = 0; i < kIdNameTexts; ++i) {
            WriteWord(record + kIdNameLengthsAt + 2 * i, static_cast<std::uint16_t>(lengths[i]));
            std::memcpy(record + offset, texts[i], lengths[i]);
            offset += lengths[i];
        }
        status = AppendBuilt(context, record, kSigIdName, EvenLength(length));
    }
    for (char* text : texts)
        if (text != nullptr) ZervaDeallocate(context->session, text);
    return status;
}

// ---- Graphic ---------------------------------------------------------------

// "CaptionPosition=" and "CaptionFont=" applied to a caption record.
void ApplyCaptionOptions(RecordProcessContext* context, std::uint8_t* caption) {
    if (const char* position = Value(context, "CaptionPosition=")) {
        if (CompareNamesNoCase(position, "Center", 6) == 0) caption[kCaptionPosition] = 1;
        else if (CompareNamesNoCase(position, "Bottom", 6) == 0) caption[kCaptionPosition] = 0;
    }
    const char* fontText = Value(context, "CaptionFont=");
    if (fontText == nullptr) return;
    ParsedFontSpec spec;
    FontSpecMask mask;
    if (ParseFontSpec(fontText, nullptr, context->chunk->item, &spec, nullptr, &mask, nullptr) != kOK) return;
    FontId font;
    font.face = caption[kCaptionFont];
    font.attributes = caption[kCaptionFont + 1];
    font.color = caption[kCaptionFont + 2];
    font.size = caption[kCaptionFont + 3];
    std::uint32_t rgb = 0;
    std::uint16_t colorFlags = 0;
    ApplyFontSpec(&font, &rgb, &colorFlags, spec, mask);
    if (mask.color == 0 && font.color < 16) rgb = PaletteRGB(font.color);
    caption[kCaptionFont] = font.face;
    caption[kCaptionFont + 1] = font.attributes;
    caption[kCaptionFont + 2] = font.color;
    caption[kCaptionFont + 3] = font.size;
    WriteWord(caption + kCaptionColorFlags, 1);
    caption[kCaptionRed] = static_cast<std::uint8_t>(rgb);
    caption[kCaptionRed + 1] = static_cast<std::uint8_t>(rgb >> 8);
    caption[kCaptionRed + 2] = static_cast<std::uint8_t>(rgb >> 16);
    caption[kCaptionRed + 3] = 0;
}

// The caption: its text replaced when "Caption=" is given (in place when
// its length is unchanged), then its position and font.
STATUS SetCaption(RecordProcessContext* context, const std::uint8_t* record, std::uint32_t length,
                  std::uint32_t* passOn) {
    if (length < kCaptionFixedLength ||
        !(Has(context, "Caption=") || Has(context, "CaptionPosition=") || Has(context, "CaptionFont=")))
        return kOK;
    const char* text = Value(context, "Caption=");
    std::uint8_t* caption = nullptr;
    std::uint32_t newLength = length;
    if (text != nullptr && std::strlen(text) != ReadWord(record + kCaptionTextLengthAt)) {
        const STATUS status =
            AppendHeadAndText(context, record, length, kSigCaption, kCaptionFixedLength, kCaptionTextLengthAt, text,
                              &caption);
        if (status != kOK) return status;
        newLength = EvenLength(kCaptionFixedLength + static_cast<std::uint32_t>(std::strlen(text)));
    } else {
        caption = CopyRecord(context, record, length, length);
        if (caption == nullptr) return kOutOfMemory;
        if (text != nullptr) {
            const std::uint32_t size = ReadWord(record + kCaptionTextLengthAt);
            if (kCaptionFixedLength + size <= length) std::memcpy(caption + kCaptionFixedLength, text, size);
        }
    }
    ApplyCaptionOptions(context, caption);
    *passOn = 0;
    return AppendBuilt(context, caption, kSigCaption, newLength);
}

// A new caption record from "Caption=", in the default caption font.
STATUS AppendNewCaption(RecordProcessContext* context) {
    const char* text = Value(context, "Caption=");
    if (text == nullptr || text[0] == '\0') return kOK;
    std::uint8_t* caption = nullptr;
    STATUS status = AppendHeadAndText(context, nullptr, 0, kSigCaption, kCaptionFixedLength, kCaptionTextLengthAt, text,
                                      &caption);
    if (status != kOK) return status;
    const std::uint32_t length = EvenLength(kCaptionFixedLength + static_cast<std::uint32_t>(std::strlen(text)));
    caption[kCaptionFont + 3] = kCaptionDefaultSize;
    WriteWord(caption + kCaptionColorFlags, kCaptionDefaultColorFlags);
    ApplyCaptionOptions(context, caption);
    return AppendBuilt(context, caption, kSigCaption, length);
}

bool HasBorderWords(RecordProcessContext* context) {
    return Has(context, "BorderColor=") || Has(context, "BorderStyle=") || Has(context, "BorderEffects=") ||
           Has(context, "BorderThickness") || Has(context, "Outer");
}

// A new border record filled from the border words.
STATUS AppendNewBorder(RecordProcessContext* context) {
    std::uint8_t* border = NewRecord(context, kBorderLength);
    if (border == nullptr) return kOutOfMemory;
    WriteRecordHeader(border, kSigBorderInfo, kBorderLength);
    const STATUS status = ParseBorderSpec(context->session, kSigBorderInfo, border, Options(context), 1);
    if (status != kOK) {
        ZervaDeallocate(context->session, border);
        return status;
    }
    return AppendBuilt(context, border, kSigBorderInfo, kBorderLength);
}

// The border record changed by the border words.
STATUS SetBorder(RecordProcessContext* context, const std::uint8_t* record, std::uint32_t length,
                 std::uint32_t* passOn) {
    if (!HasBorderWords(context)) return kOK;
    std::uint8_t* border = CopyRecord(context, record, length, kBorderLength);
    if (border == nullptr) return kOutOfMemory;
    const STATUS status = ParseBorderSpec(context->session, kSigBorderInfo, border, Options(context), 0);
    if (status != kOK) {
        ZervaDeallocate(context->session, border);
        return status;
    }
    *passOn = 0;
    return AppendBuilt(context, border, kSigBorderInfo, length);
}

// The graphic's records the string asks for that the graphic does not have.
STATUS AppendGraphicAdditions(RecordProcessContext* context) {
    std::uint32_t& done = context->targetDone;
    if ((done & kAdditionsDone) != 0) return kOK;
    done |= kAdditionsDone;
    STATUS status = kOK;
    if ((done & kDoneAltText) == 0) {
        done |= kDoneAltText;
        const char* text = Value(context, "AltText=");
        if (text != nullptr && text[0] != '\0')
            status = AppendHeadAndText(context, nullptr, 0, kSigAltText, kAltTextFixedLength, kAltTextLengthAt, text);
    }
    if (status == kOK && (done & kDoneCaption) == 0) {
        done |= kDoneCaption;
        status = AppendNewCaption(context);
    }
    if (status == kOK && (done & kDoneGraphicIdName) == 0) {
        done |= kDoneGraphicIdName;
        if (Has(context, "GraphicHTML")) status = AppendIdName(context, nullptr, 0, "GraphicHTML");
    }
    if (status == kOK && (done & kDoneGraphicBorder) == 0) {
        done |= kDoneGraphicBorder;
        if (HasBorderWords(context)) status = AppendNewBorder(context);
    }
    return status;
}

STATUS SetGraphic(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                  RecordProcessContext* context) {
    std::uint32_t& done = context->targetDone;
    switch (signature) {
    case kSigAltText: {
        if ((done & kDoneAltText) != 0) return kOK;
        done |= kDoneAltText;
        const char* text = Value(context, "AltText=");
        if (text == nullptr || length < kAltTextFixedLength) return kOK;
        *passOn = 0;
        return AppendHeadAndText(context, record, length, kSigAltText, kAltTextFixedLength, kAltTextLengthAt, text);
    }
    case kSigCaption:
        if ((done & kDoneCaption) != 0) return kOK;
        done |= kDoneCaption;
        return SetCaption(context, record, length, passOn);
    case kSigIdName:
        if ((done & kDoneGraphicIdName) != 0) return kOK;
        done |= kDoneGraphicIdName;
        if (!Has(context, "GraphicHTML")) return kOK;
        *passOn = 0;
        return AppendIdName(context, record, length, "GraphicHTML");
    case kSigBorderInfo:
        if ((done & kDoneGraphicBorder) != 0) return kOK;
        done |= kDoneGraphicBorder;
        return SetBorder(context, record, length, passOn);
    case kSigGraphic:
        // The graphic's new records need a bracket round it; one it already
        // has gets them before its end.
        if (std::strchr(Options(context), '=') == nullptr || InnermostBegin(context) == kSigGraphic ||
            (done & kBracketOpened) != 0)
            return kOK;
        done |= kBracketOpened;
        context->chunk->item->modified = 1;
        return AppendBeginRecord(kSigGraphic, 1, &context->output);
    case kSigEnd:
        if (length < 6 || ReadWord(record + 4) != kSigGraphic || (done & kBracketOpened) != 0) return kOK;
        return AppendGraphicAdditions(context);
    default:
        return kOK;
    }
}

// ---- Paragraph, horizontal rule ---------------------------------------------

STATUS SetParagraph(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    std::uint32_t* passOn, RecordProcessContext* context) {
    if (signature == kSigBorderInfo) return SetBorder(context, record, length, passOn);
    if (signature != kSigPabReference || !(Has(context, "BorderStyle=") || Has(context, "BorderColor=") ||
                                           Has(context, "BorderEffects=") || Has(context, "BorderThickness")))
        return kOK;
    const CDRecordNode* next = context->node != nullptr ? context->node->next : nullptr;
    if (next != nullptr && (next->signature == kSigBorderInfo || Brackets(next, kSigBegin, kSigBorderInfo)))
        return kOK;
    // The border follows the reference, where the test above finds it
    // next time.
    STATUS status = AppendRecord(record, signature, length, &context->output);
    *passOn = 0;
    if (status == kOK) status = AppendNewBorder(context);
    return status;
}

// A colour record right after a rule gives the colour the rule shows, over
// its colour index: a colour the options give the rule goes into it as
// well, and it stands in the item in place of the old one.
STATUS RecolourRuleColour(RecordProcessContext* context) {
    const CDRecordNode* colour = context->node != nullptr ? context->node->next : nullptr;
    if (colour == nullptr || colour->signature != kSigColor || colour->bytes == nullptr ||
        colour->length < kColorLength)
        return kOK;
    const char* value = Value(context, "Color=");
    std::uint16_t index = 0;
    std::uint32_t rgb = 0;
    if (value == nullptr || CompareNamesNoCase(value, "none") == 0 || ParseColorValue(value, &index, &rgb) != kOK)
        return kOK;
    std::uint8_t* copy = CopyRecord(context, colour->bytes, colour->length, colour->length);
    if (copy == nullptr) return kOutOfMemory;
    const std::uint16_t flags = ReadWord(copy + kColorValueAt);
    WriteWord(copy + kColorValueAt, static_cast<std::uint16_t>((flags & ~(kColorSystem | kColorNoColor)) | kColorIsRGB));
    copy[kColorValueAt + 2] = static_cast<std::uint8_t>(rgb & 0xFF);
    copy[kColorValueAt + 3] = static_cast<std::uint8_t>((rgb >> 8) & 0xFF);
    copy[kColorValueAt + 4] = static_cast<std::uint8_t>((rgb >> 16) & 0xFF);
    const STATUS status = AppendBuilt(context, copy, kSigColor, colour->length);
    if (status == kOK) context->consumedThrough = colour->index;
    return status;
}

STATUS SetRule(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
               RecordProcessContext* context) {
    if (signature == kSigHorizontalRule) {
        std::uint8_t* rule = CopyRecord(context, record, length, length);
        if (rule == nullptr) return kOutOfMemory;
        const STATUS status = ApplyEmbeddedObjectOptions(context->session, signature, rule, length, Options(context), 0);
        if (status != kOK) {
            ZervaDeallocate(context->session, rule);
            return status;
        }
        *passOn = 0;
        const STATUS appended = AppendBuilt(context, rule, signature, length);
        return appended == kOK ? RecolourRuleColour(context) : appended;
    }
    if (signature != kSigIdName || (context->targetDone & kDoneOtherIdName) != 0 || !Has(context, "HRHTML"))
        return kOK;
    context->targetDone |= kDoneOtherIdName;
    *passOn = 0;
    return AppendIdName(context, record, length, "HRHTML");
}

// ---- Layer -----------------------------------------------------------------

// A length value of a layer record set from a keyword's value (a fresh
// value: a bare number counts as pixels).
void SetLength(RecordProcessContext* context, std::uint8_t* value, const char* key) {
    const char* text = Value(context, key);
    if (text == nullptr) return;
    std::memset(value, 0, kLengthValueSize);
    ParseLayerLength(value, text, 0);
}

// A z-index read as a decimal number (blanks, a sign, digits), held within the
// 32 bits the record keeps it in rather than cut to another number.
std::uint32_t ZIndexValue(const char* text) {
    const long long value = std::strtoll(text, nullptr, 10);
    const long long held = value < INT32_MIN ? INT32_MIN : (value > INT32_MAX ? INT32_MAX : value);
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(held));
}

STATUS SetPositioning(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    if (length < kPositioningLength) return kOK;
    const bool positioned = Has(context, "ZIndex=") || Has(context, "Top=") || Has(context, "Left=") ||
                            Has(context, "Scheme=") || Has(context, "BrowserLeftOffset=") ||
                            Has(context, "BrowserRightOffset=");
    // A layer without an id/name record gets its new one before its position.
    STATUS status = kOK;
    if ((context->targetDone & kDoneOtherIdName) == 0 && Has(context, "LayerHTML")) {
        context->targetDone |= kDoneOtherIdName;
        status = AppendIdName(context, nullptr, 0, "LayerHTML");
        if (status != kOK) return status;
    }
    if (!positioned) return kOK;
    std::uint8_t* position = CopyRecord(context, record, length, length);
    if (position == nullptr) return kOutOfMemory;
    if (const char* z = Value(context, "ZIndex=")) WriteDword(position + kPositioningZIndex, ZIndexValue(z));
    SetLength(context, position + kPositioningTop, "Top=");
    SetLength(context, position + kPositioningLeft, "Left=");
    if (const char* scheme = Value(context, "Scheme=")) {
        if (CompareNamesNoCase(scheme, "absolute") == 0) position[kPositioningScheme] = 1;
        else if (CompareNamesNoCase(scheme, "static") == 0) position[kPositioningScheme] = 0;
        else if (CompareNamesNoCase(scheme, "relative") == 0) position[kPositioningScheme] = 2;
        else if (CompareNamesNoCase(scheme, "fixed") == 0) position[kPositioningScheme] = 3;
    }
    for (const auto& [key, offset] : {std::pair{"BrowserLeftOffset=", kPositioningBrowserLeft},
                                      std::pair{"BrowserRightOffset=", kPositioningBrowserRight}}) {
        if (const char* text = Value(context, key)) {
            const double number = plat::ReadNumber(text);
            std::memcpy(position + offset, &number, sizeof number);
        }
    }
    *passOn = 0;
    return AppendBuilt(context, position, kSigPositioning, length);
}

STATUS SetBoxSize(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                  RecordProcessContext* context) {
    if (length < kBoxSizeLength || !(Has(context, "Width=") || Has(context, "Height="))) return kOK;
    std::uint8_t* box = CopyRecord(context, record, length, length);
    if (box == nullptr) return kOutOfMemory;
    SetLength(context, box + kBoxSizeWidth, "Width=");
    SetLength(context, box + kBoxSizeHeight, "Height=");
    *passOn = 0;
    return AppendBuilt(context, box, kSigBoxSize, length);
}

// The background image's name, in place when its length is unchanged.
STATUS SetBackgroundImage(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                          RecordProcessContext* context) {
    if (length < kNamedElementResourceFixedLength || ReadWord(record + kResourceKind) != kResourceNamedElement ||
        ReadWord(record + kResourceClass) != kResourceClassImage || ReadDword(record + kResourceFlags) != 0)
        return kOK;
    const char* name = Value(context, "BackgroundImage=");
    if (name == nullptr) return kOK;
    const std::uint32_t hints = ReadWord(record + kResourceServerLength) + ReadWord(record + kResourceFileLength);
    const std::uint32_t nameOffset = kNamedElementResourceFixedLength + hints;
    const std::uint32_t oldName = ReadWord(record + kResourceNameLength);
    if (nameOffset + oldName > length) return kOK;
    const std::uint32_t newName = static_cast<std::uint32_t>(std::strlen(name));
    if (newName == oldName) {
        std::uint8_t* resource = CopyRecord(context, record, length, length);
        if (resource == nullptr) return kOutOfMemory;
        std::memcpy(resource + nameOffset, name, newName);
        *passOn = 0;
        return AppendBuilt(context, resource, kSigHref, length);
    }
    const std::uint32_t newLength = nameOffset + newName;
    if (newLength > 0xFFFF) return kArgumentError;
    std::uint8_t* resource = NewRecord(context, EvenLength(newLength));
    if (resource == nullptr) return kOutOfMemory;
    std::memcpy(resource, record, nameOffset);
    WriteWord(resource + 2, static_cast<std::uint16_t>(newLength));
    WriteWord(resource + kResourceNameLength, static_cast<std::uint16_t>(newName));
    std::memcpy(resource + nameOffset, name, newName);
    *passOn = 0;
    return AppendBuilt(context, resource, kSigHref, EvenLength(newLength));
}

STATUS SetBackgroundRepeat(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                           RecordProcessContext* context) {
    const char* value = Value(context, "BackgroundRepeat=");
    if (value == nullptr || length <= kRepeatMode) return kOK;
    int mode = 0;
    if (CompareNamesNoCase(value, "once") == 0) mode = 1;
    else if (CompareNamesNoCase(value, "tile") == 0) mode = 4;
    else if (CompareNamesNoCase(value, "vert", 4) == 0) mode = 2;
    else if (CompareNamesNoCase(value, "horiz", 5) == 0) mode = 3;
    else if (CompareNamesNoCase(value, "cent", 4) == 0) mode = 6;   // "center" and "centre"
    else if (CompareNamesNoCase(value, "size", 4) == 0) mode = 5;
    if (mode == 0) return kOK;
    std::uint8_t* background = CopyRecord(context, record, length, length);
    if (background == nullptr) return kOutOfMemory;
    background[kRepeatMode] = static_cast<std::uint8_t>(mode);
    *passOn = 0;
    return AppendBuilt(context, background, kSigBackgroundProperties, length);
}

// The layer's own records: those directly inside its bracket, and the
// background's inside the background bracket.
STATUS SetLayer(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                RecordProcessContext* context) {
    const std::uint16_t open = InnermostBegin(context);
    if (open == kSigBackgroundProperties) {
        if (signature == kSigHref) return SetBackgroundImage(record, length, passOn, context);
        if (signature == kSigBackgroundProperties) return SetBackgroundRepeat(record, length, passOn, context);
        return kOK;
    }
    if (open != kSigLayer) return kOK;
    switch (signature) {
    case kSigPositioning: return SetPositioning(record, length, passOn, context);
    case kSigBoxSize: return SetBoxSize(record, length, passOn, context);
    case kSigIdName:
        if ((context->targetDone & kDoneOtherIdName) != 0) return kOK;
        context->targetDone |= kDoneOtherIdName;
        if (!Has(context, "LayerHTML")) return kOK;
        *passOn = 0;
        return AppendIdName(context, record, length, "LayerHTML");
    default:
        return kOK;
    }
}

// ---- URL link --------------------------------------------------------------

STATUS SetUrlLink(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                  RecordProcessContext* context) {
    std::uint32_t& done = context->targetDone;
    switch (signature) {
    case kSigV4HotspotBegin: {
        const CDRecordNode* next = context->node != nullptr ? context->node->next : nullptr;
        const char* target = Value(context, "Target=");
        if ((done & kDoneUrlTarget) != 0 || target == nullptr || (next != nullptr && next->signature == kSigTarget))
            return kOK;
        done |= kDoneUrlTarget;
        STATUS status = AppendRecord(record, signature, length, &context->output);
        *passOn = 0;
        if (status == kOK) status = AppendHeadAndText(context, nullptr, 0, kSigTarget, kTargetFixedLength,
                                                      kTargetTextLengthAt, target);
        return status;
    }
    case kSigTarget: {
        if ((done & kDoneUrlTarget) != 0 || length < kTargetFixedLength) return kOK;
        const char* target = Value(context, "Target=");
        if (target == nullptr) return kOK;
        done |= kDoneUrlTarget;
        context->chunkDone = 1;
        *passOn = 0;
        if (std::strlen(target) == ReadWord(record + kTargetTextLengthAt)) {
            std::uint8_t* copy = CopyRecord(context, record, length, length);
            if (copy == nullptr) return kOutOfMemory;
            std::memcpy(copy + kTargetFixedLength, target, std::strlen(target));
            return AppendBuilt(context, copy, signature, length);
        }
        return AppendHeadAndText(context, record, length, kSigTarget, kTargetFixedLength, kTargetTextLengthAt, target);
    }
    case kSigIdName:
        if ((done & kDoneUrlIdName) != 0 || !AnyIdNameKey(context, "")) return kOK;
        // An existing record, rebuilt, stands for the one the end would add.
        done |= kDoneUrlIdName;
        *passOn = 0;
        return AppendIdName(context, record, length, "");
    case kSigV4HotspotEnd:
        if ((done & kDoneUrlIdName) != 0 || !AnyIdNameKey(context, "")) return kOK;
        done |= kDoneUrlIdName;
        return AppendIdName(context, nullptr, 0, "");
    default:
        return kOK;
    }
}

// ---- 2437 ------------------------------------------------------------------

STATUS SetTargetProperties(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                           std::uint32_t* passOn, RecordProcessContext* context) {
    if (context->writesItem == 0) return kOK;
    switch (context->operation2) {
    case kTypeGraphic: return SetGraphic(record, signature, length, passOn, context);
    case kTypeParagraph:
    case kTypeParagraphList: return SetParagraph(record, signature, length, passOn, context);
    case kTypeRule: return SetRule(record, signature, length, passOn, context);
    case kTypeLayer: return SetLayer(record, signature, length, passOn, context);
    case kTypeUrlLink: return SetUrlLink(record, signature, length, passOn, context);
    default: return kOK;
    }
}

// After a graphic that had no bracket: its new records, then the end of
// the bracket opened before it.
STATUS SetTargetPropertiesAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->writesItem == 0 || context->operation2 != kTypeGraphic ||
        (context->targetDone & kBracketOpened) == 0)
        return kOK;
    STATUS status = AppendGraphicAdditions(context);
    if (status == kOK) status = AppendEndRecord(kSigGraphic, 1, &context->output);
    context->targetDone &= ~kBracketOpened;
    return status;
}

// ---- 2436 ------------------------------------------------------------------

// The length of the words gathered in the session's text result, at most
// capacity: the length the session keeps, when the text ends there, else
// counted. The words of every target go to one text, and each record of the
// walk asks where it ends, so that the question must not read them all.
std::uint32_t TextResultUsed(const RARIvoSession* session, std::uint32_t capacity) {
    const char* text = session->textResult;
    const std::uint32_t kept = session->textResultLength;
    if (kept < capacity && text[kept] == '\0' && (kept == 0 || text[kept - 1] != '\0')) return kept;
    return static_cast<std::uint32_t>(strnlen(text, capacity));
}

// At the start of each target after the first of a run over several targets
// (a definition such as "Graphic *"): the words of the targets before it end
// with a line end, and the flags that let a keyword be written once start
// afresh, so that each target gives a line of its own words. A run over one
// target is not touched.
STATUS StartTargetWords(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    RARIvoSession* session = context->session;
    if (context->chunkStarts <= 1) {
        session->workArea->targetLineEnds.clear();
        return kOK;
    }
    std::uint32_t length = TextResultUsed(session, RARIvoSession::kTextResultCapacity);
    if (length < RARIvoSession::kTextResultCapacity) {
        session->workArea->targetLineEnds.push_back(length);
        session->textResult[length++] = '\n';
        session->textResult[length] = '\0';
    } else {
        session->workArea->propertyWordsLeftOut = 1;
    }
    session->textResultLength = static_cast<std::uint16_t>(length);
    context->writerState = PropertyWriterState{};
    context->table = TableRunState{};
    context->chunkDone = 0;
    return kOK;
}

// The property words of one record of the target, appended to the
// session's text result.
STATUS GetTargetProperties(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                           std::uint32_t* passOn, RecordProcessContext* context) {
    RARIvoSession* session = context->session;
    // The writers append at the end of the text they are given: they are
    // given the part after the words already gathered, so that none reads
    // those again.
    const std::uint32_t whole = RARIvoSession::kTextResultCapacity + 1;
    const std::uint32_t before = TextResultUsed(session, whole);
    char* text = session->textResult + before;
    const std::uint32_t capacity = whole - before;
    const std::uint16_t selector = context->operation2;
    PropertyWriterState* state = &context->writerState;
    STATUS status = kOK;
    switch (context->a3) {
    case kTypeTable: {
        // A table's words are those of its own properties operation.
        const OperationRow* row = FindOperation(session, kOpGetTableProperties);
        if (row != nullptr && row->inside != nullptr) status = row->inside(record, signature, length, passOn, context);
        break;
    }
    case kTypeSection:
        if (signature == kSigIdName && InnermostBegin(context) == kSigV4HotspotBegin)
            WriteHTMLAttributeProperties(record, length, "Section", 11, 17, text, capacity, selector, state);
        break;
    case kTypeGraphic:
        if (signature == kSigAltText) WriteAltTextProperty(record, length, text, capacity, selector, state);
        else if (signature == kSigCaption) WriteCaptionProperty(record, length, text, capacity, selector, state);
        else if (signature == kSigIdName)
            WriteHTMLAttributeProperties(record, length, "Graphic", 2, kGraphicWordAll, text, capacity, selector,
                                         state);
        break;
    case kTypeField:
        if (signature == kSigField && length >= kFieldFixedLength && context->chunkDone == 0) {
            const std::uint32_t offset = kFieldFixedLength + ReadWord(record + kFieldDefaultLengthAt) +
                                         ReadWord(record + kFieldTranslationLengthAt) +
                                         ReadWord(record + kFieldValidationLengthAt);
            const std::uint32_t nameLength = ReadWord(record + kFieldNameLengthAt);
            if (offset + nameLength <= length) {
                const std::size_t used = strnlen(text, capacity);
                const int size =
                    std::snprintf(text + used, capacity - used, "Fieldname=%.*s", static_cast<int>(nameLength),
                                  reinterpret_cast<const char*>(record + offset));
                if (size < 0 || static_cast<std::size_t>(size) >= capacity - used) state->wordLeftOut = 1;
                context->chunkDone = 1;
            }
        }
        break;
    case kTypeRule:
        if (signature == kSigHorizontalRule) WriteEmbeddedObjectProperties(context->node, text, capacity, selector, state);
        break;
    case kTypeLayer: {
        const std::uint16_t open = InnermostBegin(context);
        if (signature == kSigPositioning) {
            WriteLayerPositionProperties(record, length, text, capacity, selector, state);
        } else if (signature == kSigIdName && open != kSigBackgroundProperties) {
            WriteHTMLAttributeProperties(record, length, "Layer", 2, kLayerWordAll, text, capacity, selector, state);
        } else if (open == kSigLayer || open == kSigBackgroundProperties) {
            // The layer's own size and background, not those of what it holds.
            if (signature != kSigHref || open == kSigBackgroundProperties)
                WriteLayerBoxProperties(record, signature, length, text, capacity, selector, state);
        }
        break;
    }
    case kTypeUrlLink:
        if (signature == kSigTarget && length >= kTargetFixedLength) {
            std::uint32_t size = ReadWord(record + kTargetTextLengthAt);
            if (size > length - kTargetFixedLength) size = length - kTargetFixedLength;
            const std::size_t used = strnlen(text, capacity);
            const int written = std::snprintf(text + used, capacity - used, "Target=%.*s", static_cast<int>(size),
                                              reinterpret_cast<const char*>(record + kTargetFixedLength));
            if (written < 0 || static_cast<std::size_t>(written) >= capacity - used) state->wordLeftOut = 1;
        }
        break;
    case kTypeImageMap:
        WriteMapNameProperty(record, signature, length, text, capacity, selector, state);
        break;
    case kTypeImageArea:
        WriteHotspotShapeProperties(context->node, text, capacity, selector, state);
        break;
    default:
        break;
    }
    // A table's words are written by its own operation, into the whole text.
    const char* wholeText = session->textResult;
    const std::uint32_t used = before == 0 || wholeText[before - 1] != '\0'
                                   ? before + static_cast<std::uint32_t>(strnlen(text, capacity))
                                   : static_cast<std::uint32_t>(strnlen(wholeText, whole));
    session->textResultLength = static_cast<std::uint16_t>(used);
    if (state->wordLeftOut != 0) session->workArea->propertyWordsLeftOut = 1;
    return status;
}

const OperationRow kRows[] = {
    {kOpGetTargetProperties, StartTargetWords, GetTargetProperties, nullptr},
    {kOpSetTargetProperties, nullptr, SetTargetProperties, SetTargetPropertiesAtEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kTargetPropertyOperations = MakeFamily(kRows);

} // namespace talix
