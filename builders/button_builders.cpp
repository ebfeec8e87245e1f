// Programmable hotspots: the hotspot record with its code, then by type a
// text run (action hotspots, pop-ups), a button record, or the records of an
// embedded control, the hotspot's HTML attributes and its end. The first
// failure of an append ends the build and is returned.
#include "builders/button_builders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/field_builder.h"
#include "builders/hotspot_builders.h"
#include "builders/record_output.h"
#include "builders/record_scratch.h"
#include "core/host_message.h"
#include "core/operation_inputs.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// A resource record holding a note link after its fixed part.
constexpr std::uint32_t kNoteLinkResourceLength = kResourceFixedLength + kNoteLinkSize;

constexpr std::uint16_t kDefaultButtonWidth = 2880;
constexpr std::uint16_t kDefaultControlWidth = 5040, kDefaultControlHeight = 2880;
constexpr std::uint32_t kControlFlags = 0x4408, kControlScrollbars = 8;
constexpr std::uint16_t kButtonWrap = 2;
constexpr std::uint16_t kButtonFitMask = 0xB1FF, kButtonFitMinimum = 0x400, kButtonFitContent = 0x800,
                        kButtonFitFixed = 0x200;
constexpr std::uint32_t kComputedText = 0x40000;
constexpr std::uint32_t kFormulaOrScript = kCodeFormula | kCodeLotusScript;
constexpr std::uint32_t kControlTextGiven = 1, kControlTextHideBar = 4;
constexpr std::uint16_t kOnClick = 1;

constexpr double kTwipsPerInch = 1440.0;
constexpr double kMinWidth = 0.25, kMaxExtent = 22.75, kMinHeight = 0.167;

// One extent in inches, clamped to its limits (a message names the limit
// that was used), in twips.
struct Limits {
    double minimum;
    const char* belowMessage;
    const char* aboveMessage;
};
constexpr Limits kButtonWidth{kMinWidth, "TALIX: Minimum button width of 0.25 used.",
                              "TALIX: Maximum button width of 22.75 used."};
constexpr Limits kControlWidth{kMinWidth, "TALIX: Minimum embedded control width of 0.25 used.",
                               "TALIX: Maximum embedded control width of 22.75 used."};
constexpr Limits kControlHeight{kMinHeight, "TALIX: Minimum embedded control height of 0.167 used.",
                                "TALIX: Maximum embedded control height of 22.75 used."};

std::uint16_t Twips(const char* value, const Limits& limits) {
    double inches = plat::ReadNumber(value, nullptr);
    if (!(inches >= limits.minimum)) {   // also a value that is not a number
        ShowHostMessage(limits.belowMessage);
        inches = limits.minimum;
    } else if (inches > kMaxExtent) {
        ShowHostMessage(limits.aboveMessage);
        inches = kMaxExtent;
    }
    return static_cast<std::uint16_t>(inches * kTwipsPerInch);
}

bool OneOf(std::uint16_t value, std::initializer_list<std::uint16_t> list) {
    for (std::uint16_t each : list)
        if (each == value) return true;
    return false;
}

bool IsControl(std::uint16_t type) {
    return OneOf(type, {kHotspotSubform, kHotspotControl, kHotspotFileUpload, kHotspotLinkControl});
}

// Applies the font specification of an option to a font, when present.
void ApplyFontOption(BuildContext* context, const char* options, const char* key, FontId* font) {
    char spec[256];
    if (!OptionValue(options, key, spec, sizeof spec)) return;
    SessionWorkArea* area = context->session->workArea;
    ParsedFontSpec parsed;
    FontSpecMask mask;
    if (ParseFontSpec(spec, nullptr, context->output.item, &parsed, nullptr, &mask, nullptr) == kOK)
        ApplyFontSpec(font, &area->currentRGB, &area->currentColorFlags, parsed, mask);
}

struct Code {
    const char* text = nullptr;
    std::uint32_t length = 0;
};

// The hotspot's code, left in the session's text result after its first
// kHotspotCodeOffset bytes.
Code HotspotCode(RARIvoSession* session) {
    Code code;
    code.text = session->textResult + kHotspotCodeOffset;
    code.length = session->workArea->hotspot.codeLength;
    const std::uint32_t room = RARIvoSession::kTextResultCapacity - kHotspotCodeOffset;
    if (code.length > room) code.length = room;
    return code;
}

// A hotspot begin with dataBytes bytes of data, of which dataLength come
// from data and the rest are zero; the data length word says dataBytes.
STATUS AppendHotspotBegin(std::uint16_t signature, std::uint16_t type, std::uint32_t flags, const char* data,
                          std::uint32_t dataLength, std::uint32_t dataBytes, BuildContext* context) {
    return AppendHotspotRecord(signature, type, flags, data, dataLength, static_cast<std::uint16_t>(dataBytes),
                               dataBytes, context);
}

// The button record: options (may be null) set its width, wrap, fit and
// label font.
STATUS AppendButton(const char* text, std::uint32_t textLength, const char* options,
                    BuildContext* context) {
    std::uint16_t flags = 0;
    std::uint16_t width = kDefaultButtonWidth;
    FontId font{0, 0, 0, 0};
    char value[64];
    if (OptionValue(options, "ButtonWidth=", value, sizeof value) || OptionValue(options, "Width=", value, sizeof value))
        width = Twips(value, kButtonWidth);
    if (OptionValue(options, "ButtonWrap=", value, sizeof value) && !OptionIs(options, "ButtonWrap=", "YES"))
        flags |= kButtonWrap;
    if (OptionValue(options, "ButtonFit=", value, sizeof value)) {
        flags &= kButtonFitMask;
        if (FindNoCase(value, "Min") == value) flags |= kButtonFitMinimum;
        if (FindNoCase(value, "Fit") == value) flags |= kButtonFitContent;
        if (FindNoCase(value, "Fix") == value) flags |= kButtonFitFixed;
    }
    if (OptionValue(options, "TextFont=", value, sizeof value)) {
        SessionWorkArea* area = context->session->workArea;
        area->currentRGB = 0;
        area->currentColorFlags = 0;
        ApplyFontOption(context, options, "TextFont=", &font);
    }
    const std::uint32_t length = kButtonFixedLength + textLength;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigButton);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 4, flags);
    WriteWord(record + 6, width);
    WriteFontId(record + 12, font);
    if (textLength > 0) std::memcpy(record + kButtonFixedLength, text, textLength);
    return AppendPaddedRecord(record, kSigButton, length, false, &context->output);
}

// The control-link record of an embedded control of type 19: the code.
STATUS AppendCodeLink(const Code& code, BuildContext* context) {
    const std::uint32_t length = kNamedElementResourceFixedLength + code.length;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigHref2);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 8, 3);
    WriteWord(record + 10, 2);
    WriteWord(record + 12, static_cast<std::uint16_t>(code.length));
    if (code.length > 0) std::memcpy(record + kNamedElementResourceFixedLength, code.text, code.length);
    return AppendPaddedRecord(record, kSigHref2, length, false, &context->output);
}

// The control-link record of an embedded control of type 34: a note link
// from "REPID=", "VIEWID=" and "UNID=".
STATUS AppendNoteLink(const char* options, BuildContext* context) {
    char value[64];
    NoteLinkWords link;
    if (OptionValue(options, "UNID=", value, sizeof value) && std::strlen(value) == 32)
        ParseUniversalIdText(value, link.note);
    if (OptionValue(options, "VIEWID=", value, sizeof value) && std::strlen(value) == 32)
        ParseUniversalIdText(value, link.view);
    if (OptionValue(options, "REPID=", value, sizeof value) && std::strlen(value) == 16)
        ParseReplicaIdText(value, link.replica);
    std::uint8_t record[kNoteLinkResourceLength] = {};
    WriteWord(record, kSigHref2);
    WriteWord(record + 2, kNoteLinkResourceLength);
    WriteDword(record + 4, 2);
    WriteWord(record + 8, 2);
    WriteWord(record + 10, 1);
    WriteNoteLink(record + kResourceFixedLength, link);
    return AppendRecord(record, kSigHref2, sizeof record, &context->output);
}

// The records of an embedded control (types 19 and 34).
STATUS AppendControl(std::uint16_t type, const char* text, std::uint32_t textLength, const char* options,
                     BuildContext* context) {
    RecordOutput* output = &context->output;
    char value[1024];
    STATUS status = kOK;
    if (type == kHotspotControl && OptionValue(options, "Target=", value, sizeof value) && value[0] != '\0') {
        const std::uint32_t targetLength = static_cast<std::uint32_t>(std::strlen(value));
        std::uint8_t target[kTargetFixedLength + sizeof value + 1] = {};
        WriteWord(target, kSigTarget);
        WriteWord(target + 2, static_cast<std::uint16_t>(kTargetFixedLength + targetLength));
        WriteWord(target + 4, static_cast<std::uint16_t>(targetLength));
        std::memcpy(target + kTargetFixedLength, value, targetLength);
        status = AppendPaddedRecord(target, kSigTarget, kTargetFixedLength + targetLength, false, output);
        if (status != kOK) return status;
    }

    std::uint32_t flags = kControlFlags;
    std::uint16_t width = kDefaultControlWidth, height = kDefaultControlHeight;
    if (OptionValue(options, "Width=", value, sizeof value)) width = Twips(value, kControlWidth);
    if (OptionValue(options, "Height=", value, sizeof value)) height = Twips(value, kControlHeight);
    if (OptionIs(options, "Scrollbars=", "yes")) flags &= ~kControlScrollbars;
    FontId font{1, 0, 0, 10};
    ApplyFontOption(context, options, "TextFont=", &font);
    FontId sub1 = font;
    ApplyFontOption(context, options, "Sub1Font=", &sub1);
    FontId sub2 = sub1;
    ApplyFontOption(context, options, "Sub2Font=", &sub2);

    std::uint8_t control[kPlaceholderLength] = {};
    WriteWord(control, kSigPlaceholder);
    WriteWord(control + 2, kPlaceholderLength);
    WriteWord(control + 4, type);
    WriteDword(control + 8, flags);
    WriteWord(control + 12, width);
    WriteWord(control + 14, height);
    WriteFontId(control + 16, font);
    WriteFontId(control + 28, sub1);
    WriteFontId(control + 32, sub2);
    for (std::uint32_t colour : {38u, 44u}) {
        WriteWord(control + colour, 5);
        std::memset(control + colour + 2, 0xFF, 3);
    }
    status = AppendRecord(control, kSigPlaceholder, sizeof control, output);
    if (status != kOK) return status;

    if (type == kHotspotControl) {
        std::uint8_t view[kEmbeddedViewLength] = {};
        WriteWord(view, kSigEmbeddedView);
        WriteWord(view + 2, kEmbeddedViewLength);
        WriteDword(view + 4, 2);
        return AppendRecord(view, kSigEmbeddedView, sizeof view, output);
    }
    std::uint32_t textFlags = textLength > 0 ? kControlTextGiven : 0;
    if (OptionValue(options, "HideActionBar=", value, sizeof value) && !OptionIs(options, "HideActionBar=", "Yes"))
        textFlags |= kControlTextHideBar;
    const std::uint32_t length = kEmbeddedEditControlFixedLength + textLength;
    RecordScratch scratch(context->session, length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    WriteWord(record, kSigEmbeddedEditCtl);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteDword(record + 4, textFlags);
    WriteWord(record + 8, static_cast<std::uint16_t>(textLength));
    if (textLength > 0) std::memcpy(record + kEmbeddedEditControlFixedLength, text, textLength);
    return AppendPaddedRecord(record, kSigEmbeddedEditCtl, length, false, output);
}

// The hotspot's own records between its opening and its HTML attributes.
STATUS AppendBody(std::uint16_t type, std::uint32_t codeFlags, const char* text, std::uint32_t textLength,
                  const char* options, BuildContext* context) {
    RecordOutput* output = &context->output;
    const Code code = HotspotCode(context->session);
    const bool control = IsControl(type);
    STATUS status = kOK;

    if (type == kHotspotControl) {
        status = AppendCodeLink(code, context);
    } else if (type == kHotspotLinkControl && OptionValue(options, "UNID=", nullptr, 0)) {
        status = AppendNoteLink(options, context);
    }
    if (status != kOK) return status;

    const bool onText = type == kHotspotAction || type == kHotspotButton;
    if ((codeFlags & kFormulaOrScript) != 0 && (onText || control)) {
        status = AppendHotspotBegin(kSigV4HotspotBegin, type, codeFlags + (control ? 8 : 12), code.text, code.length,
                                    code.length, context);
        if (status != kOK) return status;
        if (type == kHotspotButton) return AppendButton(text, textLength, options, context);
        if (type == kHotspotAction) {
            const FontId font = OperationFont(context);
            return AppendTextRecord(text, textLength, &font, output);
        }
    } else if ((codeFlags & kCodeJavaScript) != 0 && onText) {
        status = AppendHotspotBegin(kSigV4HotspotBegin, type, codeFlags + 12, nullptr, 0, 0, context);
        if (status == kOK)
            status = AppendJavaScriptEvent(kSigEvent, kSigBlobPart, kOnClick, code.text, code.length, false, context);
        if (status == kOK && OptionIs(options, "CommonJavaScript=", "Yes")) {
            status = AppendJavaScriptEvent(kSigClientEvent, kSigClientBlobPart, kOnClick, code.text, code.length,
                                           false, context);
        }
        if (status != kOK) return status;
        if (type == kHotspotButton) return AppendButton(text, textLength, nullptr, context);
        const FontId font = OperationFont(context);
        return AppendTextRecord(text, textLength, &font, output);
    } else if (type == kHotspotPopup || type == kHotspotMouseover) {
        status = AppendHotspotBegin(kSigHotspotBegin, type, codeFlags + 12, code.text, code.length, code.length,
                                    context);
        if (status != kOK) return status;
        const FontId font = OperationFont(context);
        // Computed text shows the formula's result: its run is empty.
        const bool computed = (codeFlags & kComputedText) != 0;
        return AppendTextRecord(computed ? nullptr : text, computed ? 0 : textLength, &font, output);
    } else if (control) {
        const bool withoutData = type == kHotspotFileUpload || type == kHotspotLinkControl;
        status = withoutData ? AppendHotspotBegin(kSigV4HotspotBegin, type, codeFlags + 8, nullptr, 0, 0, context)
                             : AppendHotspotBegin(kSigV4HotspotBegin, type, codeFlags + 8, code.text, code.length,
                                                  code.length + 1, context);
        if (status != kOK) return status;
    }
    if (type == kHotspotControl || type == kHotspotLinkControl)
        return AppendControl(type, text, textLength, options, context);
    return kOK;
}

} // namespace

STATUS AppendButtonOrControl(std::uint16_t type, std::uint32_t codeFlags, const char* text, std::uint32_t textLength,
                             const char* options, BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        context->output.item == nullptr)
        return kArgumentError;
    RecordOutput* output = &context->output;
    textLength = TextLength(text, textLength);
    const bool known = OneOf(type, {kHotspotPopup, kHotspotAction, kHotspotButton, kHotspotSubform, kHotspotControl,
                                    kHotspotMouseover, kHotspotFileUpload, kHotspotLinkControl});
    const bool wrapped = OptionValue(options, "Target=", nullptr, 0) || FindNoCase(options, "HotspotHTML") != nullptr;

    STATUS status = kOK;
    if (known || wrapped) status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
    if (status == kOK) status = AppendBody(type, codeFlags, text, textLength, options, context);
    if (status == kOK && FindNoCase(options, "HotspotHTML") != nullptr)
        status = AppendHTMLAttributeRecord(context->session, "Hotspot", options, output);
    if (status != kOK) return status;

    if (type == kHotspotPopup || type == kHotspotMouseover) {
        const std::uint8_t end[kHotspotEndLength] = {static_cast<std::uint8_t>(kSigHotspotEnd),
                                                     static_cast<std::uint8_t>(kHotspotEndLength)};
        status = AppendRecord(end, kSigHotspotEnd, sizeof end, output);
        if (status == kOK) status = AppendEndRecord(kSigV4HotspotEnd, 0, output);
        return status;
    }
    if (known) return AppendHotspotEnd(context, kSigV4HotspotEnd);
    return wrapped ? AppendEndRecord(kSigV4HotspotEnd, 0, output) : kOK;
}

} // namespace talix
