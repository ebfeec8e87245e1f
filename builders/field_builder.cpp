// A field with its event code, written from the field records the chunk's
// work state saved: the records around the field, the field itself under a
// name that is free in the note, its LotusScript events as the note's source
// item "$$<name>" and its JavaScript events as event records.
#include "builders/field_builder.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/record_output.h"
#include "builders/record_scratch.h"
#include "core/chunk_work_state.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Field record offsets (host form).
constexpr std::uint32_t kFieldFont = 20;

constexpr std::uint16_t kLanguageJavaScript = 4;
constexpr std::uint16_t kFieldCodeWord = 16000, kHotspotCodeWord = 20000;

constexpr std::uint32_t kSourceCapacity = kScratchSize;   // the LotusScript source buffer
constexpr std::uint32_t kItemNameCapacity = kMaxFieldNameLength + 8;

const char* const kEventNames[] = {"OnClick",   "OnDblClick", "OnMouseDown", "OnMouseUp", "OnMouseOver",
                                   "OnMouseMove", "OnMouseOut", "OnKeyPress", "OnKeyDown", "OnKeyUp",
                                   "OnFocus",   "OnBlur",     "OnLoad",      "OnUnload",  "Header",
                                   "OnSubmit",  "OnReset",    "OnChange",    "OnError",   "OnHelp",
                                   "OnSelect"};

constexpr const char* kEnteringPrefix = "LotusScript:Entering:";
constexpr const char* kExitingPrefix = "LotusScript:Exiting:";
constexpr const char* kJavaScriptPrefix = "Javascript:";

// The texts of a field record: where the name starts and its length. False
// when the record is damaged (its parts run past its length).
bool FieldName(const SavedRecord& field, std::uint32_t* nameStart, std::uint32_t* nameLength) {
    const std::uint8_t* bytes = field.bytes;
    if (bytes == nullptr || field.signature != kSigField || field.length < kFieldFixedLength ||
        field.length > kSavedRecordCapacity)
        return false;
    const std::uint32_t start = kFieldFixedLength + ReadWord(bytes + kFieldDefaultLengthAt) +
                                ReadWord(bytes + kFieldTranslationLengthAt) + ReadWord(bytes + kFieldValidationLengthAt);
    const std::uint32_t length = ReadWord(bytes + kFieldNameLengthAt);
    if (start + length > field.length) return false;
    *nameStart = start;
    *nameLength = length;
    return true;
}

// Replaces the name inside the saved field record; the description and the
// text values move with it. False when the record would outgrow its buffer.
bool RenameField(SavedRecord* field, std::uint32_t nameStart, std::uint32_t oldLength, const char* name,
                 std::uint32_t newLength) {
    const std::uint32_t length = field->length - oldLength + newLength;
    if (length > kSavedRecordCapacity || length > 0xFFFF) return false;
    std::uint8_t* bytes = field->bytes;
    const std::uint32_t tail = nameStart + oldLength;
    std::memmove(bytes + nameStart + newLength, bytes + tail, field->length - tail);
    std::memcpy(bytes + nameStart, name, newLength);
    WriteWord(bytes + kFieldNameLengthAt, static_cast<std::uint16_t>(newLength));
    WriteWord(bytes + 2, static_cast<std::uint16_t>(length));
    field->length = length;
    return true;
}

bool ItemExists(plat::NOTEHANDLE note, const char* name) {
    return plat::ItemIsPresent(note, name, static_cast<plat::WORD>(std::strlen(name)));
}

// A name that no item of the note has: the name itself, else the name with
// the first free number (after "_" when the name ends with a digit). False
// when every number up to kMaxFieldNameNumber is taken.
bool FreeName(plat::NOTEHANDLE note, const char* name, char (&out)[kItemNameCapacity]) {
    std::snprintf(out, sizeof out, "%s", name);
    if (!ItemExists(note, out)) return true;
    const std::size_t length = std::strlen(name);
    const bool endsWithDigit = length > 0 && name[length - 1] >= '0' && name[length - 1] <= '9';
    for (std::uint32_t number = 1; number <= kMaxFieldNameNumber; ++number) {
        std::snprintf(out, sizeof out, endsWithDigit ? "%.*s_%u" : "%.*s%u", static_cast<int>(length), name,
                      number);
        if (!ItemExists(note, out)) return true;
    }
    return false;
}

// Appends a copy of a saved record (odd lengths padded).
STATUS AppendSavedRecord(const SavedRecord& saved, bool evenHeader, BuildContext* context) {
    RecordScratch scratch(context->session, saved.length + 1);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();
    std::memcpy(record, saved.bytes, saved.length);
    return AppendPaddedRecord(record, saved.signature, saved.length, evenHeader, &context->output);
}

bool Saved(const SavedRecord& slot, std::uint16_t signature) {
    return slot.bytes != nullptr && slot.length >= 4 && slot.length <= kSavedRecordCapacity &&
           slot.signature == signature;
}

// The LotusScript source, built line by line into a bounded buffer.
class SourceText {
public:
    // Adds a line (a line feed goes before every line but the first).
    void Line(const char* text, std::size_t length) {
        if (used_ > 0) Add("\n", 1);
        Add(text, length);
    }
    void Line(const char* text) { Line(text, std::strlen(text)); }
    bool overflow() const { return overflow_; }
    const char* text() const { return buffer_; }
    std::size_t length() const { return used_; }

private:
    void Add(const char* text, std::size_t length) {
        if (length > kSourceCapacity - used_) {
            overflow_ = true;
            return;
        }
        std::memcpy(buffer_ + used_, text, length);
        used_ += length;
    }
    char buffer_[kSourceCapacity] = {};
    std::size_t used_ = 0;
    bool overflow_ = false;
};

// The event procedure: the code alone when it declares the procedure itself,
// else the code inside a generated one.
void AddEvent(SourceText* source, const char* event, const char* code) {
    char line[96];
    source->Line("");
    std::snprintf(line, sizeof line, "'++LotusScript Development Environment:2:2:%s:1:12", event);
    source->Line(line);
    std::snprintf(line, sizeof line, "Sub %s", event);
    if (FindNoCase(code, line) != nullptr) {
        source->Line(code);
        return;
    }
    std::snprintf(line, sizeof line, "Sub %s(Source As Field)", event);
    source->Line(line);
    source->Line(code);
    source->Line("End Sub");
}

// Writes the field's LotusScript events as the source item "$$<name>".
STATUS WriteLotusScript(const EventTexts& events, const char* name, BuildContext* context) {
    const char* entering = nullptr;
    const char* exiting = nullptr;
    for (std::uint16_t i = 0; i < events.count && i < kEventTextSlots; ++i) {
        const char* text = events.texts[i];
        if (StartsWithNoCase(text, kEnteringPrefix)) entering = text + std::strlen(kEnteringPrefix);
        if (StartsWithNoCase(text, kExitingPrefix)) exiting = text + std::strlen(kExitingPrefix);
    }
    if (entering == nullptr && exiting == nullptr) return kOK;

    SourceText source;
    source.Line("'++LotusScript Development Environment:2:5:(Options):0:66");
    source.Line("");
    source.Line("'++LotusScript Development Environment:2:5:(Forward):0:1");
    source.Line("Declare Sub Entering(Source As Field)");
    source.Line("");
    source.Line("'++LotusScript Development Environment:2:5:(Declarations):0:2");
    source.Line("");
    source.Line("'++LotusScript Development Environment:2:2:BindEvents:1:129");
    source.Line("Private Sub BindEvents(Byval Objectname_ As String)");
    source.Line("  Static Source As FIELD");
    source.Line("  Set Source = Bind(Objectname_)");
    if (entering != nullptr) source.Line("  On Event Entering From Source Call Entering");
    if (exiting != nullptr) source.Line("  On Event Exiting From Source Call Exiting");
    source.Line("End Sub");
    if (entering != nullptr) AddEvent(&source, "Entering", entering);
    if (exiting != nullptr) AddEvent(&source, "Exiting", exiting);
    // Source that does not fit its buffer is not written in part.
    if (source.overflow()) return kArgumentError;

    const plat::NOTEHANDLE note = context->note;
    char item[kItemNameCapacity + 2];
    std::snprintf(item, sizeof item, "$%s_O", name);
    plat::ItemDelete(note, item, static_cast<plat::WORD>(std::strlen(item)));
    std::snprintf(item, sizeof item, "$$%s", name);
    plat::ItemDelete(note, item, static_cast<plat::WORD>(std::strlen(item)));
    return plat::ItemAppend(note, plat::ITEM_SIGN, item, static_cast<plat::WORD>(std::strlen(item)),
                            plat::TYPE_TEXT, source.text(), static_cast<plat::DWORD>(source.length()));
}

// Writes the field's JavaScript events. Returns 0, the gate's failure, or
// 257 when an event name is not known (the other events are still written).
STATUS WriteJavaScript(const EventTexts& events, BuildContext* context) {
    STATUS status = kOK;
    const std::size_t prefix = std::strlen(kJavaScriptPrefix);
    for (std::uint16_t i = 0; i < events.count && i < kEventTextSlots; ++i) {
        const char* text = events.texts[i];
        if (!StartsWithNoCase(text, kJavaScriptPrefix)) continue;
        const char* name = text + prefix;
        const std::uint16_t code = JavaScriptEventCode(name);
        if (code == 0) {
            if (status == kOK) status = kOperationFailed;
            continue;
        }
        // The code starts one character after the name.
        const char* body = name + std::strlen(kEventNames[code - 1]);
        if (*body != '\0') ++body;
        const STATUS appended = AppendJavaScriptEvent(kSigEvent, kSigBlobPart, code, body,
                                                      static_cast<std::uint32_t>(std::strlen(body)), true, context);
        if (appended != kOK) return appended;
    }
    return status;
}

} // namespace

std::uint16_t JavaScriptEventCode(const char* name) {
    if (name == nullptr) return 0;
    for (std::uint16_t i = 0; i < sizeof kEventNames / sizeof kEventNames[0]; ++i) {
        if (StartsWithNoCase(name, kEventNames[i])) return static_cast<std::uint16_t>(i + 1);
    }
    return 0;
}

STATUS AppendJavaScriptEvent(std::uint16_t eventSignature, std::uint16_t codeSignature, std::uint16_t eventCode,
                             const char* code, std::uint32_t codeLength, bool asField,
                             BuildContext* context) {
    RecordOutput* output = &context->output;
    const std::uint32_t size = EvenLength(asField ? codeLength + 1 : codeLength);
    const std::uint32_t length = kBlobPartFixedLength + size;
    RecordScratch scratch(context->session, length);
    std::uint8_t* record = scratch.data();
    if (record == nullptr) return scratch.failure();

    std::uint8_t event[kEventLength] = {};
    WriteWord(event, eventSignature);
    WriteWord(event + 2, kEventLength);
    WriteWord(event + 8, eventCode);
    WriteWord(event + 10, kLanguageJavaScript);
    WriteDword(event + 12, asField ? codeLength + 1 : codeLength);
    const STATUS status = AppendRecord(event, eventSignature, sizeof event, output);
    if (status != kOK) return status;

    WriteWord(record, codeSignature);
    WriteWord(record + 2, static_cast<std::uint16_t>(length));
    WriteWord(record + 4, eventSignature);
    WriteWord(record + 6, static_cast<std::uint16_t>(size));
    WriteWord(record + 8, asField ? kFieldCodeWord : kHotspotCodeWord);
    if (codeLength > 0) std::memcpy(record + kBlobPartFixedLength, code, codeLength);
    return AppendRecord(record, codeSignature, length, output);
}

STATUS AppendEventCode(const char* fieldName, const char* fontText, int wrap, const char* mode,
                       BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->chunk == nullptr ||
        context->chunk->work == nullptr || context->output.item == nullptr)
        return kArgumentError;
    ChunkWorkState* work = context->chunk->work;
    SavedRecord* slots = work->savedFields.slots;
    SavedRecord& field = slots[kSavedField];
    std::uint32_t nameStart = 0, nameLength = 0;
    if (!FieldName(field, &nameStart, &nameLength)) return kArgumentError;

    // The name: the field's own in "Modify" mode, else the name given (or
    // the field's own) made free in the note.
    char name[kItemNameCapacity] = {};
    const bool modify = mode != nullptr && std::strcmp(mode, "Modify") == 0;
    if (!modify && fieldName != nullptr && fieldName[0] != '\0') {
        std::snprintf(name, sizeof name, "%.*s", static_cast<int>(kMaxFieldNameLength), fieldName);
    } else {
        const std::uint32_t kept = nameLength < kMaxFieldNameLength ? nameLength : kMaxFieldNameLength;
        std::memcpy(name, field.bytes + nameStart, kept);
    }
    STATUS status = kOK;
    const plat::NOTEHANDLE note = context->note;
    if (!modify) {
        char free[kItemNameCapacity];
        if (!FreeName(note, name, free)) return kOperationFailed;
        std::memcpy(name, free, sizeof name);
        const std::uint32_t length = static_cast<std::uint32_t>(std::strlen(name));
        if ((length != nameLength || std::memcmp(field.bytes + nameStart, name, length) != 0) &&
            !RenameField(&field, nameStart, nameLength, name, length))
            return kArgumentError;
        status = plat::ItemAppendTextList(note, "$Fields", name, static_cast<plat::WORD>(length), false);
        // The field's empty item: its data-type word (0) alone.
        const STATUS placeholder = plat::ItemAppend(note, plat::ITEM_PLACEHOLDER, name,
                                                    static_cast<plat::WORD>(length), plat::TYPE_INVALID, nullptr, 0);
        if (status == kOK) status = placeholder;
    }

    if (fontText != nullptr) {
        const FontId font = fontText[0] != '\0' ? FontFromSpec(context->output.item, fontText, nullptr, nullptr, nullptr)
                                                : TemplateFont(context->output.item);
        field.bytes[kFieldFont] = font.face;
        field.bytes[kFieldFont + 1] = font.attributes;
        field.bytes[kFieldFont + 2] = font.color;
        field.bytes[kFieldFont + 3] = font.size;
    }

    RecordOutput* output = &context->output;
    const bool hasControl = Saved(slots[kSavedEmbeddedControl], kSigEmbeddedCtl);
    const std::uint16_t wrapSignature = hasControl ? kSigEmbeddedCtl : kSigField;
    // Every return from here on consumes the saved records.
    auto Consumed = [slots](STATUS result) {
        for (int i = 0; i < kSavedFieldSlots; ++i) slots[i].length = 0;
        return result;
    };
    if (wrap != 0) {
        const STATUS begun = AppendBeginRecord(wrapSignature, 0, output);
        if (begun != kOK) return Consumed(begun);
    }
    const std::pair<int, std::uint16_t> companions[] = {
        {kSavedEmbeddedControl, kSigEmbeddedCtl}, {kSavedExt2Field, kSigExt2Field}, {kSavedExtField, kSigExtField}};
    for (const auto& [slot, signature] : companions) {
        if (!Saved(slots[slot], signature)) continue;
        const STATUS appended = AppendSavedRecord(slots[slot], false, context);
        if (appended != kOK) return Consumed(appended);
    }
    const STATUS appended = AppendSavedRecord(field, true, context);
    if (appended != kOK) return Consumed(appended);

    const STATUS script = WriteLotusScript(work->eventTexts, name, context);
    if (status == kOK) status = script;
    const STATUS javaScript = WriteJavaScript(work->eventTexts, context);
    if (javaScript != kOK && javaScript != kOperationFailed) return Consumed(javaScript);
    if (status == kOK) status = javaScript;

    if (status == kOK && Saved(slots[kSavedIdName], kSigIdName)) {
        const STATUS named = AppendSavedRecord(slots[kSavedIdName], true, context);
        if (named != kOK) return Consumed(named);
    }
    if (wrap != 0) {
        STATUS closed = AppendEndRecord(wrapSignature, 0, output);
        const FontId font = TemplateFont(context->output.item);
        if (closed == kOK) closed = AppendTextRecord(nullptr, 0, &font, output);
        if (closed != kOK) return Consumed(closed);
    }
    return Consumed(status);
}

} // namespace talix
