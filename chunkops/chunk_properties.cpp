// Chunk properties by name: reading a property as text or as a number and
// setting it from a number, a text or one Name=value pair of a list. The
// names are those of the chunk-property table (core/properties.h); a row
// names the operation that reads or writes the property, the code that
// tells the property to the engine and where a read leaves its answer.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chunkops/chunk_frame.h"
#include "chunkops/method_support.h"
#include "chunkops/property_sets.h"
#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/properties.h"
#include "core/session_work_area.h"
#include "core/text_compare.h"
#include "engine/css_format.h"
#include "talix/chunk.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

using namespace talix;

namespace {

// Where a read leaves its answer (the result kind of a row).
enum ResultKind : std::uint16_t {
    kInTextResult = 0,       // the session's text result
    kInScratch1 = 1,         // the first scratch text
    kInScratch3 = 3,         // the third scratch text
    kTrueInScratch1 = 11,    // "TRUE" or another word in the first scratch text
    kTrueInScratch3 = 13,    // the same in the third
    kContainsWord = 14,
    kFoundWord = 15,
    kLastRecordWord = 16,
    kChunkSwitch = 17,       // a switch held by the chunk (special rows)
    kRecordTypeWord = 18,
    kNumberInScratch3 = 19,  // a number written as text in the third scratch text
    kParagraphIdWord = 20,
};
// Kinds from here on are numbers: their text is formatted from the number.
constexpr std::uint16_t kFirstNumberKind = 10;

// The clean-up pass that runs after the pass-through bracket is set.

constexpr std::uint16_t kModeText = 0;
constexpr std::uint16_t kModeNumber = 1;

// Texts of 1,024 bytes at most from the platform's status texts.
constexpr std::uint16_t kStatusTextLimit = 1024;

char* Scratch1(RARIvoSession* session) { return session->messageBuffer; }
char* Scratch2(RARIvoSession* session) { return session->optionValue; }
char* Scratch3(RARIvoSession* session) { return session->optionValue + kScratchSize; }

// A text answer: its bytes and length (not terminated where it lies).
struct Answer {
    const char* text = "";
    std::size_t length = 0;
};

Answer TextResultAnswer(const RARIvoSession* session) {
    std::size_t length = session->textResultLength;
    if (length > RARIvoSession::kTextResultCapacity) length = RARIvoSession::kTextResultCapacity;
    return {session->textResult, length};
}

Answer ScratchAnswer(const char* scratch) { return {scratch, strnlen(scratch, kScratchSize - 1)}; }

// Copies a text into the caller's buffer: at most size bytes, cut before a
// character that would not fit whole, then a terminator (the buffer holds
// size + 1 bytes). Nothing is written without a buffer or with size 0.
std::uint16_t CopyToBuffer(const Answer& answer, char* buffer, std::uint16_t size) {
    if (buffer == nullptr || size == 0) return 0;
    std::size_t take = answer.length;
    if (take > size) {
        const auto* bytes = reinterpret_cast<const plat::BYTE*>(answer.text);
        take = 0;
        while (take < size) {
            const std::size_t next =
                plat::LmbcsCharLength(bytes + take, static_cast<plat::DWORD>(answer.length - take));
            if (next == 0 || take + next > size) break;
            take += next;
        }
    }
    if (take > 0) std::memmove(buffer, answer.text, take);
    buffer[take] = '\0';
    return static_cast<std::uint16_t>(take);
}

// A text read as a decimal number: leading blanks skipped, an optional
// sign, digits with an optional fraction and exponent; the reading stops
// at the first character that cannot continue the number. An empty or
// non-numeric text gives 0.
double DecimalValue(const Answer& answer) {
    char number[64];
    std::size_t in = 0, out = 0;
    const std::size_t length = answer.length;
    const char* text = answer.text;
    auto digits = [&] {
        std::size_t count = 0;
        while (in < length && text[in] >= '0' && text[in] <= '9') {
            if (out < sizeof number - 1) number[out++] = text[in];
            ++in;
            ++count;
        }
        return count;
    };
    while (in < length && (text[in] == ' ' || text[in] == '\t')) ++in;
    if (in < length && (text[in] == '-' || text[in] == '+')) number[out++] = text[in++];
    std::size_t mantissa = digits();
    if (in < length && text[in] == '.') {
        number[out++] = '.';
        ++in;
        mantissa += digits();
    }
    if (mantissa == 0) return 0.0;
    if (in + 1 < length && (text[in] == 'e' || text[in] == 'E')) {
        const std::size_t mark = out, back = in;
        number[out++] = 'e';
        ++in;
        if (in < length && (text[in] == '-' || text[in] == '+')) number[out++] = text[in++];
        if (digits() == 0) {
            out = mark;
            in = back;
        }
    }
    number[out] = '\0';
    const double value = plat::ReadNumber(number, nullptr);
    return std::isfinite(value) ? value : 0.0;
}

// A number as the low 16 bits of its integer part (toward zero); NaN counts
// as 0 and values outside the 32-bit range are held at its ends first.
std::uint16_t LowWordOf(double value) {
    return static_cast<std::uint16_t>(static_cast<unsigned long>(CutTowardZero(value)) & 0xFFFFu);
}

bool IsTrue(const char* text) { return EqualNoCase(text, "TRUE"); }

// The chunk's search switch of a property code, or null.
std::uint16_t* SearchSwitch(ZervaRTChunk* chunk, std::uint16_t code) {
    switch (code) {
    case kChunkAccentSensitive: return &chunk->accentSensitive;
    case kChunkCaseSensitive: return &chunk->caseSensitive;
    case kChunkRegularExpression: return &chunk->regularExpression;
    case kChunkSearchWordBoundaries: return &chunk->searchWordBoundaries;
    case kChunkSetImpliedProperties: return &chunk->setImpliedProperties;
    case kChunkTextWildcards: return &chunk->textWildcards;
    default: return nullptr;
    }
}

// A property of the chunk's first link (its ids, pop-up, hint and anchor
// texts), which the link operations read into the third scratch text and
// change from a text. PopupText shares their operations and a code, but is
// a pop-up hotspot's text, left in the text result.
bool IsLinkRow(const PropertyTableEntry* row) {
    return row->getOperation == kOpGetLinkProperty && row->resultKind == kInScratch3;
}

// Rows read by running their operation. Font, FontFace and the link rows
// are marked as handled by the methods, but nothing else answers them:
// their words come from the font writer and the link reader that their get
// operation runs, as for the other font properties and LinkURL.
bool ReadByOperation(const PropertyTableEntry* row) {
    return row->handledByCode == 0 || row->code == kChunkFont || row->code == kChunkFontFace || IsLinkRow(row);
}

// Empties the place a read of the row's kind leaves its answer in.
void ClearResultPlace(RARIvoSession* session, std::uint16_t kind) {
    SessionWorkArea* area = session->workArea;
    switch (kind) {
    case kInTextResult: EmptyTextResult(session); break;
    case kInScratch1:
    case kTrueInScratch1: Scratch1(session)[0] = '\0'; break;
    case kInScratch3:
    case kTrueInScratch3:
    case kNumberInScratch3: Scratch3(session)[0] = '\0'; break;
    case kContainsWord: area->containsCount = 0; break;
    case kFoundWord:
    case kLastRecordWord:
        area->foundFirstRecord = 0;
        area->foundLastRecord = 0;
        break;
    case kRecordTypeWord: area->recordTypeWord = 0; break;
    case kParagraphIdWord: area->paragraphIdWord = 0; break;
    default: break;
    }
}

// The answer a run left by the row's kind: its text and its number.
void TakeAnswer(RARIvoSession* session, std::uint16_t kind, Answer* text, double* number, char (&formatted)[48]) {
    const SessionWorkArea* area = session->workArea;
    auto word = [&](unsigned long value, const char* format) {
        *number = static_cast<double>(value);
        std::snprintf(formatted, sizeof formatted, format, value);
        *text = {formatted, std::strlen(formatted)};
    };
    switch (kind) {
    case kInTextResult: *text = TextResultAnswer(session); break;
    case kInScratch1: *text = ScratchAnswer(Scratch1(session)); break;
    case kInScratch3: *text = ScratchAnswer(Scratch3(session)); break;
    case kTrueInScratch1:
    case kTrueInScratch3: {
        const char* scratch = kind == kTrueInScratch1 ? Scratch1(session) : Scratch3(session);
        *text = ScratchAnswer(scratch);
        *number = IsTrue(scratch) ? 1.0 : 0.0;
        break;
    }
    case kContainsWord: word(area->containsCount, "%lu"); break;
    case kFoundWord: word(area->foundFirstRecord, "%lu"); break;
    case kLastRecordWord: word(area->foundLastRecord, "%lu"); break;
    case kRecordTypeWord: word(area->recordTypeWord, "%lu"); break;
    case kParagraphIdWord: word(area->paragraphIdWord, "%lu"); break;
    case kNumberInScratch3:
        *text = ScratchAnswer(Scratch3(session));
        *number = DecimalValue(*text);
        break;
    default: break;
    }
}

// A compiled formula a read left in the text result, turned back into
// formula text there ("*** Error: " and the platform's text when it cannot
// be).
void CompiledToFormulaText(RARIvoSession* session) {
    const Answer compiled = TextResultAnswer(session);
    if (compiled.length == 0) return;
    plat::DHANDLE handle = 0;
    plat::WORD length = 0;
    plat::STATUS status = plat::FormulaDecompile(compiled.text, static_cast<plat::WORD>(compiled.length), &handle,
                                                 &length);
    const void* text = status == plat::NOERROR ? plat::MemLock(handle) : nullptr;
    if (status == plat::NOERROR && text == nullptr) status = kOutOfMemory;
    if (status == plat::NOERROR) {
        PutInTextResult(session, 0, text, length);
    } else {
        char message[kStatusTextLimit];
        plat::StatusText(status, message, sizeof message);
        const int written = std::snprintf(session->textResult, RARIvoSession::kTextResultCapacity + 1,
                                          "*** Error: %s", message);
        session->textResultLength = static_cast<std::uint16_t>(written > 0 ? written : 0);
    }
    if (handle != 0) {
        if (text != nullptr) plat::MemUnlock(handle);
        plat::MemFree(handle);
    }
}

// ActionFormula: the compiled formula the target holds, given back as
// formula text in the text result.
void ReadActionFormula(ZervaRTChunk* chunk, const PropertyTableEntry* row) {
    EmptyTextResult(chunk->session);
    RunChunkOperation(chunk, row->getOperation, row->code);
    CompiledToFormulaText(chunk->session);
}

// A special row read by the methods' own code: its text or its number.
void ReadSpecialRow(ZervaRTChunk* chunk, const PropertyTableEntry* row, Answer* text, double* number) {
    RARIvoSession* session = chunk->session;
    if (const std::uint16_t* flag = SearchSwitch(chunk, row->code)) {
        *number = *flag != 0 ? 1.0 : 0.0;
        return;
    }
    switch (row->code) {
    case kChunkActionFormula:
        ReadActionFormula(chunk, row);
        *text = TextResultAnswer(session);
        break;
    case kChunkDefinition:
        if (chunk->definition != nullptr) *text = {chunk->definition, std::strlen(chunk->definition)};
        break;
    case kChunkExists: *number = chunk->Exists() != 0 ? 1.0 : 0.0; break;
    case kChunkTargetColumn:
    case kChunkTargetRow:
    case kChunkTargetNth: std::strcpy(Scratch3(session), "0"); break;
    default: break;
    }
}

// A refusal: the message (the session's prefix and the row's name) in the
// text result and through the host's message procedure; returns 0.
int RefuseProperty(RARIvoSession* session, const char* format, const char* name) {
    const int written =
        std::snprintf(session->textResult, RARIvoSession::kTextResultCapacity + 1, format, session->messagePrefix, name);
    session->textResultLength = static_cast<std::uint16_t>(
        written < 0 ? 0 : (static_cast<std::uint32_t>(written) > RARIvoSession::kTextResultCapacity
                               ? RARIvoSession::kTextResultCapacity
                               : static_cast<std::uint32_t>(written)));
    ShowHostMessage(session->textResult);
    return 0;
}

// The two refusals of both setters. True when the row is refused (the
// message shown).
bool RefusedRow(RARIvoSession* session, const PropertyTableEntry* row) {
    if (row->readOnly != 0) {
        RefuseProperty(session, "%s: Unable to set read-only property '%s'", row->name);
        return true;
    }
    if (row->handledByCode == 0 && row->setOperation == 0) {
        RefuseProperty(session, "%s: No handler enabled to set property '%s'", row->name);
        return true;
    }
    return false;
}

// Runs a setting operation; 1 when the chunk's status is 0 after it.
int RunSetter(ZervaRTChunk* chunk, std::uint16_t operation, std::uint16_t code, std::uint16_t word,
              const char* text) {
    RunChunkOperation(chunk, operation, code, word, 0, 0, text);
    return chunk->lastStatus == kOK ? 1 : 0;
}

// Compiles a formula text into the text result, where the operations that
// set a formula take it from. False when it does not compile (the
// platform's message shown) or does not fit.
bool CompileIntoTextResult(RARIvoSession* session, const char* text, std::uint16_t length) {
    CompiledFormula compiled;
    const STATUS status = CompileFormula(text, length, &compiled);
    if (status != kOK) {
        ReportPlatformStatus(session, status);
        return false;
    }
    return PutInTextResult(session, 0, compiled.bytes, compiled.length);
}

// ActionFormula: the text is compiled and the compiled formula handed to
// the row's set operation through the text result.
int SetActionFormula(ZervaRTChunk* chunk, const PropertyTableEntry* row, const char* text, std::uint16_t length) {
    RARIvoSession* session = chunk->session;
    if (!CompileIntoTextResult(session, text, length)) return 0;
    return RunSetter(chunk, row->setOperation, row->code, session->textResultLength, session->textResult);
}

// HideFormula: the paragraphs' hide-when formula is the compiled text, which
// the set operation takes from the text result; an empty text removes it.
// Whatever an earlier call left in the text result is never taken for it.
int SetHideFormula(ZervaRTChunk* chunk, const PropertyTableEntry* row, const char* text, std::uint16_t length) {
    RARIvoSession* session = chunk->session;
    if (length == 0) {
        EmptyTextResult(session);
    } else if (!CompileIntoTextResult(session, text, length)) {
        return 0;
    }
    return RunSetter(chunk, row->setOperation, row->code, session->textResultLength, session->textResult);
}

// The first row with a set operation, in table order, whose "Name=" the
// list names, other than read-only rows; its value is left in the first
// scratch text.
const PropertyTableEntry* FirstListedRow(RARIvoSession* session, const char* list) {
    char* key = Scratch2(session);
    char* value = Scratch1(session);
    for (const PropertyTableEntry* row = ChunkPropertyTable(); row->name != nullptr; ++row) {
        if (row->setOperation == 0 || row->readOnly != 0) continue;
        std::snprintf(key, kScratchSize, "%s=", row->name);
        value[0] = '\0';
        if (GetOptionValue(list, key, value, kScratchSize) != 0) return row;
    }
    return nullptr;
}

} // namespace

std::uint16_t ZervaRTChunk::GetPropertyInternal(const char* name, char* buffer, std::uint16_t size, double* number,
                                                std::uint16_t mode) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    const PropertyTableEntry* row = FindChunkProperty(name);
    if (row == nullptr) return 0;
    if (!ChunkUsable(this)) {
        Refuse(this, kArgumentError);
        return 0;
    }
    ClearResultPlace(session, row->resultKind);

    Answer text;
    double value = 0.0;
    char formatted[48] = "";
    if (ReadByOperation(row)) {
        // RecordType and InsideHotspot have no get operation of their own:
        // the engine answers them by their code.
        const std::uint16_t operation = row->getOperation != 0 ? row->getOperation : row->code;
        RunChunkOperation(this, operation, row->code);
        // A hide-when formula is stored compiled; it reads as the formula's
        // text, as it is set.
        if (row->getOperation == kOpGetHideFormula) CompiledToFormulaText(session);
        TakeAnswer(session, row->resultKind, &text, &value, formatted);
        if (row->resultKind < kFirstNumberKind) {
            // A text property: the text, and no number.
            return mode == kModeText ? CopyToBuffer(text, buffer, size) : 0;
        }
    } else {
        ReadSpecialRow(this, row, &text, &value);
        if (row->resultKind >= kFirstNumberKind) {
            plat::FormatText(formatted, sizeof formatted, "%f", value);
            text = {formatted, std::strlen(formatted)};
        } else {
            value = DecimalValue(text);
        }
    }
    if (number != nullptr) *number = value;
    return mode == kModeText ? CopyToBuffer(text, buffer, size) : 0;
}

std::uint16_t ZervaRTChunk::GetPropertyText(const char* name, char* buffer, std::uint16_t size) {
    return GetPropertyInternal(name, buffer, size, nullptr, kModeText);
}

double ZervaRTChunk::GetPropertyNumber(const char* name) {
    double number = 0.0;
    GetPropertyInternal(name, nullptr, 0, &number, kModeNumber);
    return number;
}

int ZervaRTChunk::SetPropertyNumber(const char* name, double value) {
    const PropertyTableEntry* row = FindSettableChunkProperty(name);
    if (row == nullptr || !ChunkUsable(this)) return 0;
    if (RefusedRow(session, row)) return 0;
    // Every number setter stores or passes a 16-bit word: a value whose
    // whole part does not fit one (signed or unsigned) would arrive as some
    // other number, so it is refused and nothing is set.
    const double whole = std::trunc(value);
    if (!(whole >= -32768.0 && whole <= 65535.0)) {
        RefuseProperty(session, "%s: Unable to set property '%s': the value must be a whole number from -32768 to 65535",
                       row->name);
        return 0;
    }
    // The value is staged as a word in the row's text place: "TRUE" for 0,
    // "FALSE" for anything else.
    const char* staged = value == 0.0 ? "TRUE" : "FALSE";
    if (row->resultKind == kInScratch1) std::strcpy(Scratch1(session), staged);
    if (row->resultKind == kInScratch3) std::strcpy(Scratch3(session), staged);
    const std::uint16_t word = LowWordOf(value);
    if (row->handledByCode == 0) return RunSetter(this, row->setOperation, row->code, word, nullptr);
    if (std::uint16_t* flag = SearchSwitch(this, row->code)) {
        *flag = word;
        return 1;
    }
    if (row->code == kChunkPassthruHTML) {
        // The bracket's own status is not kept: the clean-up pass decides.
        RunChunkOperation(this, row->setOperation, word);
        lastStatus = kOK;
        RunChunkOperation(this, kOpCleanUp);
        return lastStatus == kOK ? 1 : 0;
    }
    return 0;
}

int ZervaRTChunk::SetPropertyText(const char* name, const char* value, std::uint16_t length) {
    if (name == nullptr || !ChunkUsable(this)) return 0;
    const PropertyTableEntry* row = nullptr;
    std::vector<char> listed;
    if (value == nullptr) {
        // A list of Name=value pairs: the first settable row it names is set,
        // to its value whole (the scratch text holds only its start). A value
        // longer than a length word holds is refused rather than cut.
        if (std::strchr(name, '=') == nullptr) return 0;
        row = FirstListedRow(session, name);
        if (row == nullptr) return 0;
        listed.resize(std::strlen(name) + 1);
        char key[kScratchSize];
        std::snprintf(key, sizeof key, "%s=", row->name);
        GetOptionValue(name, key, listed.data(), static_cast<std::uint32_t>(listed.size()));
        const std::size_t whole = std::strlen(listed.data());
        if (whole > 0xFFFF) return 0;
        value = listed.data();
        length = static_cast<std::uint16_t>(whole);
    } else {
        row = FindSettableChunkProperty(name);
        if (row == nullptr || RefusedRow(session, row)) return 0;
        length = length == 0 ? TextLength16(value) : static_cast<std::uint16_t>(strnlen(value, length));
    }
    // A font specification that names nothing of a font would change no
    // run while the set passed.
    if (row->setOperation == kOpChangeFont && !FontSpecNamesAnything(std::string(value, length).c_str(), item))
        return RefuseProperty(session, "%s: Unable to set property '%s': the value names nothing of a font",
                              row->name);
    // So would a paragraph style that names nothing of a paragraph.
    if (row->setOperation == kOpChangeParagraph &&
        !ParagraphStyleNamesAnything(std::string(value, length).c_str(), item))
        return RefuseProperty(session, "%s: Unable to set property '%s': the value names nothing of a paragraph",
                              row->name);
    if (row->setOperation == kOpSetHideFormula) return SetHideFormula(this, row, value, length);
    if (row->handledByCode == 0 || IsLinkRow(row)) return RunSetter(this, row->setOperation, row->code, length, value);
    if (row->code == kChunkActionFormula) return SetActionFormula(this, row, value, length);
    return 0;
}

bool talix::UnmodifiedSetFoundNothing(ZervaRTChunk* chunk, const PropertyTableEntry* row) {
    if (row->setOperation != kOpSetGraphicStorage) return ChunkSetChangesRecords(row);
    char storage[256] = {};
    return chunk->GetPropertyText(row->name, storage, sizeof storage - 1) <= 0;
}
