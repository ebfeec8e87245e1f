// Fields and their event code: appending a field with event code before or
// after a chunk (2411), rewriting the event code of the chunk's fields
// (2416), switching fields to the web editor (71) and capturing matched text
// (2398).
#include <cstdio>
#include <cstring>
#include <iterator>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/field_builder.h"
#include "builders/record_scratch.h"
#include "core/chunk_work_state.h"
#include "core/clamp.h"
#include "core/item_work_state.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_search.h"
#include "engine/exec_results.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Extended field: its second flag word.
constexpr std::uint32_t kExtFieldFlags2 = 8, kExtFieldLength = 12;
constexpr std::uint32_t kFlagWebEditor = 0x10000, kFlagWebEditorOff = 0x40;
// Event header: event and language; event part: its owner, length and text.
constexpr std::uint32_t kEventCode = 8, kEventLanguage = 10, kEventLanguageEnd = 12;
constexpr std::uint16_t kLanguageJavaScript = 4;
constexpr std::uint32_t kPartOwner = 4, kPartLength = 6;
constexpr std::uint32_t kWrapped = 4;
// The longest event text handed back.
constexpr std::uint32_t kEventTextCap = 65340;

constexpr const char* kEditorSuffix = "_QVE";
constexpr std::uint32_t kEditorSuffixLength = 4;

// The phases of a field whose event code is rewritten (2416).
enum EventFieldPhase : std::uint32_t {
    kNoField = 0,         // no field is being rewritten
    kFieldAhead = 1,      // its wrapper and companions were taken; the field record follows
    kFieldWritten = 2,    // the field was written again; its own records follow
    kJavaScriptTaken = 3, // ... and the last one was a JavaScript event header, left out
};

const char* const kEventNames[] = {"OnClick",   "OnDblClick", "OnMouseDown", "OnMouseUp", "OnMouseOver", "OnMouseMove",
                                   "OnMouseOut", "OnKeyPress", "OnKeyDown",   "OnKeyUp",   "OnFocus",     "OnBlur",
                                   "OnLoad",    "OnUnload",   "Header",      "OnSubmit",  "OnReset",     "OnChange",
                                   "OnError",   "OnHelp",     "OnSelect"};

const char* EventName(std::uint16_t code) {
    return code >= 1 && code <= std::size(kEventNames) ? kEventNames[code - 1] : "UNDEFINED_EVENT";
}

bool IsFieldKind(std::uint16_t signature) {
    return signature == kSigExt2Field || signature == kSigExtField || signature == kSigEmbeddedCtl ||
           signature == kSigField;
}

std::uint16_t Inner(const CDRecordNode* node) {
    return node->bytes != nullptr && node->length >= kWrapped + 2 ? ReadWord(node->bytes + kWrapped) : 0;
}

bool WrapsField(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint16_t wrapper) {
    return signature == wrapper && length >= kWrapped + 2 && IsFieldKind(ReadWord(record + kWrapped));
}

// Where a field record keeps its name; false when the record is too short
// for what its lengths say.
bool FieldName(const std::uint8_t* record, std::uint32_t length, std::uint32_t* start, std::uint32_t* nameLength) {
    if (length < kFieldFixedLength) return false;
    *start = kFieldFixedLength + ReadWord(record + kFieldDefaultLengthAt) +
             ReadWord(record + kFieldTranslationLengthAt) + ReadWord(record + kFieldValidationLengthAt);
    *nameLength = ReadWord(record + kFieldNameLengthAt);
    return *start + *nameLength <= length;
}

// Whether the field's whole name matches the argument text (op2 bytes of it,
// or all of it when op2 is 0); every field matches without a text.
bool FieldMatches(const std::uint8_t* record, std::uint32_t length, const RecordProcessContext* context) {
    std::uint32_t start = 0, nameLength = 0;
    if (!FieldName(record, length, &start, &nameLength)) return false;
    const char* pattern = context->argumentText;
    if (pattern == nullptr || pattern[0] == '\0') return true;
    std::uint32_t patternLength = static_cast<std::uint32_t>(std::strlen(pattern));
    if (context->operation2 != 0 && context->operation2 < patternLength) patternLength = context->operation2;
    if (nameLength == 0 || nameLength > 0xFFFF || patternLength > 0xFFFF) return false;
    const ZervaRTChunk* chunk = context->chunk;
    std::uint16_t matchLength = 0;
    const std::int32_t at = FindTextWildcard(reinterpret_cast<const char*>(record + start),
                                             static_cast<std::uint16_t>(nameLength), pattern,
                                             static_cast<std::uint16_t>(patternLength), context->textWildcards,
                                             chunk->caseSensitive == 0, chunk->accentSensitive == 0, 0, &matchLength);
    return at == 0 && matchLength == nameLength;
}

SavedRecord* Slots(RecordProcessContext* context) { return context->chunk->work->savedFields.slots; }

// The field record that the wrapper or companion at node leads to (records
// the rewrite keeps, or wrappers of field records, lie between), or null.
const CDRecordNode* FieldAhead(const CDRecordNode* node) {
    for (; node != nullptr; node = node->next) {
        if (node->signature == kSigField) return node;
        const bool wrapper = node->signature == kSigBegin && IsFieldKind(Inner(node));
        if (!wrapper && SavedFieldSlotOf(node->signature) < 0) return nullptr;
    }
    return nullptr;
}

// Keeps a record in its slot; false when the slot has no buffer.
bool SaveRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                RecordProcessContext* context) {
    const int slot = SavedFieldSlotOf(signature);
    if (slot < 0) return false;
    SavedRecord& saved = Slots(context)[slot];
    if (saved.bytes == nullptr || length > kSavedRecordCapacity) return false;
    std::memcpy(saved.bytes, record, length);
    saved.signature = signature;
    saved.length = length;
    return true;
}

// The JavaScript events that follow the field (a header of language 4 and
// its part) go to the text result as "JavaScript:<event>:<script>", the last
// one staying there.
void TakeJavaScript(const CDRecordNode* node, RecordProcessContext* context) {
    for (; node != nullptr && node->next != nullptr; node = node->next) {
        const CDRecordNode* part = node->next;
        if (node->signature != kSigEvent) {
            if (node->signature == kSigBlobPart || node->signature == kSigClientEvent ||
                node->signature == kSigClientBlobPart || node->signature == kSigEventLanguageEntry)
                continue;
            return;
        }
        if (node->bytes == nullptr || node->length < kEventLanguageEnd ||
            ReadWord(node->bytes + kEventLanguage) != kLanguageJavaScript || part->signature != kSigBlobPart ||
            part->bytes == nullptr || part->length < kBlobPartFixedLength)
            continue;
        std::uint32_t scriptLength = ReadWord(part->bytes + kPartLength);
        if (scriptLength > part->length - kBlobPartFixedLength) scriptLength = part->length - kBlobPartFixedLength;
        const char* script = reinterpret_cast<const char*>(part->bytes + kBlobPartFixedLength);
        const void* end = std::memchr(script, 0, scriptLength);
        if (end != nullptr) scriptLength = static_cast<std::uint32_t>(static_cast<const char*>(end) - script);
        const char* name = EventName(ReadWord(node->bytes + kEventCode));
        const int written = std::snprintf(context->session->textResult, kEventTextCap + 1, "JavaScript:%s:%.*s",
                                          name, static_cast<int>(scriptLength), script);
        std::uint32_t length = written > 0 ? static_cast<std::uint32_t>(written) : 0;
        if (length > kEventTextCap) length = kEventTextCap;
        context->session->textResultLength = static_cast<std::uint16_t>(length);
    }
}

// The field record of a matching field: kept for the rebuild with its
// JavaScript taken out, then written again with the chunk's event texts.
STATUS RewriteField(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    std::uint32_t* passOn, RecordProcessContext* context) {
    if (!SaveRecord(record, signature, length, context)) return kArgumentError;
    *passOn = 0;
    context->chunkDone = 1;
    context->eventFieldOpen = kFieldWritten;
    context->chunk->item->modified = 1;
    if (context->node != nullptr && context->node->bytes == record) TakeJavaScript(context->node->next, context);

    STATUS status = kOK;
    if (context->eventFieldWrapper != 0) {
        // The field's own wrapper was taken: a new one encloses the rewrite.
        const SavedRecord& control = Slots(context)[kSavedEmbeddedControl];
        context->eventFieldWrapper = control.length > 0 ? kSigEmbeddedCtl : kSigField;
        status = AppendBeginRecord(context->eventFieldWrapper, 0, &context->output);
    }
    if (status == kOK) status = AppendEventCode(context->argumentText, context->secondArgument, 0, "Modify", context);
    context->chunk->work->eventTexts.count = 0;
    return status;
}

// The records that follow a rewritten field: its JavaScript events were
// written anew and are left out; its wrapper's end is written again after
// them; the field's other records stay.
STATUS AfterField(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                  RecordProcessContext* context) {
    const bool javaScriptTaken = context->eventFieldOpen == kJavaScriptTaken;
    context->eventFieldOpen = kFieldWritten;
    if (signature == kSigEvent && length >= kEventLanguageEnd && ReadWord(record + kEventLanguage) == kLanguageJavaScript) {
        context->eventFieldOpen = kJavaScriptTaken;
        *passOn = 0;
        return kOK;
    }
    if (signature == kSigBlobPart && javaScriptTaken && length >= kBlobPartFixedLength
        && ReadWord(record + kPartOwner) == kSigEvent) {
        *passOn = 0;
        return kOK;
    }
    if (WrapsField(record, signature, length, kSigEnd)) {
        const std::uint16_t wrapper = context->eventFieldWrapper;
        context->eventFieldOpen = kNoField;
        context->eventFieldWrapper = 0;
        if (wrapper == 0) return kOK;
        *passOn = 0;
        STATUS status = AppendEndRecord(wrapper, 0, &context->output);
        const FontId font = TemplateFont(context->chunk->item);
        if (status == kOK) status = AppendTextRecord(nullptr, 0, &font, &context->output);
        return status;
    }
    // The field's own records; anything else (another field too) ends it.
    const bool ownRecord = signature == kSigBlobPart || signature == kSigClientEvent ||
                           signature == kSigClientBlobPart || signature == kSigEventLanguageEntry ||
                           signature == kSigEvent || signature == kSigDataFlags || signature == kSigIdName;
    if (!ownRecord) {
        context->eventFieldOpen = kNoField;
        context->eventFieldWrapper = 0;
    }
    return kOK;
}

// 2416: the event code of the first field inside the chunk whose name
// matches is rewritten from the chunk's event texts. The field's wrapper and
// companion records before it are taken into the chunk's saved records (a
// kind without a buffer there stays as it is); a field that does not match
// keeps every record.
STATUS EventCodeInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    if (context->eventFieldOpen >= kFieldWritten) return AfterField(record, signature, length, passOn, context);
    if (context->chunkDone != 0 || Slots(context)[kSavedField].bytes == nullptr) return kOK;

    if (signature == kSigField) {
        if (context->eventFieldOpen == kNoField) {
            if (!FieldMatches(record, length, context)) return kOK;
            for (int slot = 0; slot < kSavedFieldSlots; ++slot) Slots(context)[slot].length = 0;
        }
        return RewriteField(record, signature, length, passOn, context);
    }
    const bool wrapper = WrapsField(record, signature, length, kSigBegin);
    if (!wrapper && SavedFieldSlotOf(signature) < 0) return kOK;
    if (context->eventFieldOpen == kNoField) {
        const CDRecordNode* field =
            context->node != nullptr && context->node->bytes == record ? FieldAhead(context->node) : nullptr;
        if (field == nullptr || !FieldMatches(field->bytes, field->length, context)) return kOK;
        for (int slot = 0; slot < kSavedFieldSlots; ++slot) Slots(context)[slot].length = 0;
        context->eventFieldOpen = kFieldAhead;
    }
    if (wrapper) {
        context->eventFieldWrapper = ReadWord(record + kWrapped);
        *passOn = 0;
    } else if (SaveRecord(record, signature, length, context)) {
        *passOn = 0;
    }
    return kOK;
}

// When the chunk ends between a field's wrapper and its field record, what
// was taken is written back.
STATUS EventCodeEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->eventFieldOpen != kFieldAhead) return kOK;
    STATUS status = kOK;
    if (context->eventFieldWrapper != 0)
        status = AppendBeginRecord(context->eventFieldWrapper, 0, &context->output);
    for (int slot : {kSavedEmbeddedControl, kSavedExt2Field, kSavedExtField, kSavedIdName}) {
        SavedRecord& saved = Slots(context)[slot];
        if (status == kOK && saved.length > 0)
            status = AppendRecord(saved.bytes, saved.signature, EvenLength(saved.length), &context->output);
        saved.length = 0;
    }
    context->eventFieldOpen = kNoField;
    context->eventFieldWrapper = 0;
    return status;
}

// 2411: a field (saved in the chunk by the calling method) with the chunk's
// event texts, named argument text or made unique, before or after the
// chunk. A field written before the item's first record gets a paragraph
// and an empty text run in front of it.
STATUS AppendField(bool atStart, std::uint32_t recordCounter, RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    if (atStart && recordCounter == 1) {
        STATUS status =
            AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord, &context->output);
        const FontId none{};
        if (status == kOK) status = AppendTextRecord(nullptr, 0, &none, &context->output);
        if (status != kOK) return status;
    }
    return AppendEventCode(context->argumentText, context->secondArgument, 1, "Add", context);
}
STATUS FieldAtStart(std::uint8_t*, std::uint16_t, std::uint32_t recordCounter, RecordProcessContext* context) {
    return context->chunk->appendAtEnd == 0 ? AppendField(true, recordCounter, context) : kOK;
}
STATUS FieldAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendField(false, 0, context) : kOK;
}

// 71: fields marked for the web editor (extended-field flag 0x10000). op2 0
// asks; any other value switches: the mark is cleared and the field is
// renamed with "_QVE" added (listed in "$Fields"). Either way the note gets
// the editor's head tag and code for the field, whose name is left in the
// first scratch buffer.
STATUS WebEditorInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    const bool switching = context->operation2 != 0;
    if (signature == kSigExtField && length >= kExtFieldLength) {
        const std::uint32_t flags = ReadDword(record + kExtFieldFlags2);
        context->webEditorField = (flags & kFlagWebEditor) != 0 ? 1 : 0;
        context->chunk->item->modified = 1;
        if (!switching) return kOK;
        const std::uint32_t cleared = flags & ~(kFlagWebEditor | kFlagWebEditorOff);
        if (cleared == flags) return kOK;
        return ReplaceDwordField(record, signature, length, kExtFieldFlags2, cleared, passOn, context);
    }
    if (signature != kSigField || context->webEditorField == 0) return kOK;
    context->webEditorField = 0;
    std::uint32_t start = 0, nameLength = 0;
    if (!FieldName(record, length, &start, &nameLength)) return kOK;   // damaged: left as it is
    char name[kScratchSize];
    if (nameLength + kEditorSuffixLength >= sizeof name || length + kEditorSuffixLength > 0xFFFE) return kArgumentError;
    std::memcpy(name, record + start, nameLength);
    name[nameLength] = '\0';

    STATUS status = kOK;
    if (switching) {
        std::uint8_t* renamed = NewRecord(context, length + kEditorSuffixLength);
        if (renamed == nullptr) return kOutOfMemory;
        const std::uint32_t nameEnd = start + nameLength;
        std::memcpy(renamed, record, nameEnd);
        std::memcpy(renamed + nameEnd, kEditorSuffix, kEditorSuffixLength);
        std::memcpy(renamed + nameEnd + kEditorSuffixLength, record + nameEnd, length - nameEnd);
        WriteWord(renamed + kFieldNameLengthAt, static_cast<std::uint16_t>(nameLength + kEditorSuffixLength));
        SetHostRecordLength(renamed, signature, length + kEditorSuffixLength);
        status = ReplaceRecord(renamed, signature, length + kEditorSuffixLength, passOn, context);
        ReleaseRecord(context, renamed);
        if (status != kOK) return status;
        std::memcpy(name + nameLength, kEditorSuffix, kEditorSuffixLength + 1);
        nameLength += kEditorSuffixLength;
        status = plat::ItemAppendTextList(context->note, "$Fields", name, static_cast<plat::WORD>(nameLength), false);
        if (status != kOK) return status;
    }
    PutScratch1(context, name, nameLength);
    return context->chunk->item->SetupAlternateEditor("FCKeditor", name, static_cast<std::uint16_t>(nameLength),
                                                      "MirratDefault");
}

// 2398: in each text run, the first match of the search text (the second
// argument) leaves a3 bytes from where it starts (0: the search text's
// length) in the first scratch buffer; a later match replaces it.
STATUS CaptureInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t*,
                     RecordProcessContext* context) {
    const char* search = context->secondArgument;
    if (signature != kSigText || length <= kTextRunHeader || search == nullptr || search[0] == '\0') return kOK;
    const std::uint32_t searchLength = static_cast<std::uint32_t>(strnlen(search, 0xFFFF));
    const char* text = reinterpret_cast<const char*>(record) + kTextRunHeader;
    const std::uint32_t textLength = ClampToWord(length - kTextRunHeader);
    const ZervaRTChunk* chunk = context->chunk;
    const std::int32_t at = FindTextWildcard(text, static_cast<std::uint16_t>(textLength), search,
                                             static_cast<std::uint16_t>(searchLength), context->textWildcards,
                                             chunk->caseSensitive == 0, chunk->accentSensitive == 0,
                                             chunk->searchWordBoundaries, nullptr);
    if (at < 0) return kOK;
    std::uint32_t taken = context->a3 != 0 ? context->a3 : searchLength;
    if (taken > textLength - static_cast<std::uint32_t>(at)) taken = textLength - static_cast<std::uint32_t>(at);
    PutScratch1(context, text + at, taken);
    return kOK;
}

// Field appends, event-code rewrites, the web editor and the text capture.
const OperationRow kRows[] = {
    {kOpUseWebEditor, nullptr, WebEditorInside, nullptr, nullptr, kRebuildsItem},
    {kOpCaptureText, nullptr, CaptureInside, nullptr, &kCaptureTextSteps},
    {kOpAppendEventCode, FieldAtStart, nullptr, FieldAtEnd, nullptr, kRebuildsItem},
    {kOpSetEventCode, nullptr, EventCodeInside, EventCodeEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kEventOperations = MakeFamily(kRows);

} // namespace talix
