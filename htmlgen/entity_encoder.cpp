#include "htmlgen/entity_encoder.h"

#include <cstring>
#include <new>
#include <string>

#include "core/formula_result.h"
#include "htmlgen/line_buffer.h"
#include "htmlimport/entity_table.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kLongestFormula = 65342;   // longer formula texts are cut to one byte less
constexpr std::uint32_t kLongestResult = 65341;

// A bounded destination: text after the used bytes, one byte always kept for
// the terminator. Once something does not fit, nothing more is written.
struct Sink {
    char* base = nullptr;
    std::size_t used = 0;
    std::size_t capacity = 0;
    bool full = false;

    void Put(const char* text, std::size_t length) {
        if (full) return;
        if (length >= capacity - used) {
            full = true;
            return;
        }
        // Most pieces are entities of a few bytes.
        char* out = base + used;
        if (length <= 16) {
            for (std::size_t i = 0; i < length; ++i) out[i] = text[i];
        } else {
            std::memcpy(out, text, length);
        }
        used += length;
    }
    void Put(char c) {
        if (full) return;
        if (capacity - used <= 1) {
            full = true;
            return;
        }
        base[used++] = c;
    }
};

struct Switches {
    bool dropLineEnds = false;
    bool allSpacesNonBreaking = false;
    bool urlMode = false;
    // Blanks as they are and tabs as references, whatever PreserveSpaces
    // and PreserveTabs say: a value read back character for character.
    bool keepBlanks = false;
};

void PutReference(const XMLGenContext* context, Sink* sink, std::uint32_t codePoint) {
    if (context->format == kFormatXHTML && !XmlAllows(codePoint)) return;
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + codePoint % 10);
        codePoint /= 10;
    } while (codePoint != 0);
    char text[16] = {'&', '#'};
    int length = 2;
    while (count > 0) text[length++] = digits[--count];
    text[length++] = ';';
    sink->Put(text, static_cast<std::size_t>(length));
}

void PutEntity(Sink* sink, const char* name) {
    sink->Put('&');
    sink->Put(name, std::strlen(name));
    sink->Put(';');
}

// The references of the entity table's rows, "&name;", made once.
struct EntityReferences {
    std::string text[kEntityCount];
    EntityReferences() {
        const EntityRow* rows = EntityTable();
        for (int i = 0; i < kEntityCount; ++i) text[i] = std::string("&") + rows[i].name + ";";
    }
};

void PutEntityRow(Sink* sink, int row) {
    static const EntityReferences references;
    const std::string& reference = references.text[row];
    sink->Put(reference.data(), reference.size());
}

// The character's own code point, read from its LMBCS bytes.
void PutCodePoint(const XMLGenContext* context, Sink* sink, const char* character, std::uint16_t length) {
    const std::int32_t codePoint = LmbcsCodePoint(character, length);
    PutReference(context, sink, codePoint >= 0 ? static_cast<std::uint32_t>(codePoint) : 0xFFFD);
}

void LoadTables(XMLGenContext* context) {
    if (context->tablesLoaded != 0) return;
    context->tablesLoaded = 1;
    if (plat::CharsetLoad(plat::CHARSET_LATIN1, &context->latin1Table) != plat::NOERROR) context->latin1Table = 0;
    if (plat::CharsetLoad(plat::CHARSET_UNICODE, &context->unicodeTable) != plat::NOERROR)
        context->unicodeTable = 0;
}

bool Translate(plat::CharsetHandle table, const char* character, std::uint16_t length, char* out,
               plat::DWORD* outLength) {
    *outLength = 0;
    return table != 0 && plat::CharsetTranslate(table, plat::XLATE_LMBCS_TO_SET, character, length, out, 10,
                                                outLength) == plat::NOERROR;
}

// A character without a named entity: its ISO-8859-1 byte, else its
// 16-bit Unicode value, else its code point; the euro and trade-mark signs
// by name.
void PutNumeric(XMLGenContext* context, Sink* sink, const char* character, std::uint16_t length) {
    LoadTables(context);
    char latin1[10];
    plat::DWORD latin1Length = 0;
    const bool translated = Translate(context->latin1Table, character, length, latin1, &latin1Length);
    if (translated && latin1Length == 1 && latin1[0] == '?') {
        char unicode[10];
        plat::DWORD unicodeLength = 0;
        if (Translate(context->unicodeTable, character, length, unicode, &unicodeLength) && unicodeLength == 2) {
            PutReference(context, sink,
                         static_cast<std::uint8_t>(unicode[0]) | (static_cast<std::uint8_t>(unicode[1]) << 8));
        } else {
            PutCodePoint(context, sink, character, length);
        }
        return;
    }
    if (translated && latin1Length == 1) {
        PutReference(context, sink, static_cast<std::uint8_t>(latin1[0]));
        return;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(character);
    if (length == 3 && bytes[0] == 0x14 && bytes[1] == 0x20 && bytes[2] == 0xAC) {
        PutEntity(sink, "euro");
    } else if (length == 2 && bytes[0] == 0x01 && bytes[1] == 0x76 && !IsOn(context, sw::kExtendedSpecialCharacters)) {
        PutEntity(sink, "trade");
    } else {
        PutCodePoint(context, sink, character, length);
    }
}

void PutBlankRun(Sink* sink, const char* text, std::size_t length, std::size_t* i) {
    while (*i < length && text[*i] == ' ') {
        sink->Put("&nbsp;", 6);
        ++*i;
    }
}

// One character that is neither printable ASCII nor a tab: its named
// entity (a control character's always, another's unless UseXMLEntities is
// on), else its numeric reference. Returns the bytes it took.
std::size_t EncodeOne(XMLGenContext* context, const char* text, std::size_t available, bool xmlEntities,
                      Sink* sink) {
    const auto b = static_cast<std::uint8_t>(text[0]);
    std::uint16_t n = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(text),
                                            static_cast<plat::DWORD>(available));
    if (n == 0) n = 1;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    if (StartsSurrogatePair(bytes, n, available)) {
        // The two halves make one code point.
        const std::int32_t codePoint = LmbcsCodePoint(text, 6);
        if (codePoint >= 0x10000) {
            PutReference(context, sink, static_cast<std::uint32_t>(codePoint));
            return 6;
        }
    }
    // A character written before under the same switches is written the
    // same way again.
    EncodingTable* table = EncodingsFor(context, xmlEntities);
    if (table != nullptr) {
        if (const StoredEncoding* known = table->Find(bytes, n)) {
            sink->Put(known->text, known->length);
            return n;
        }
    }
    const std::size_t before = sink->used;
    const bool control = n == 1 && b < 0x80;
    const int row = (control || !xmlEntities) ? FindEntityRow(nullptr, text, n) : -1;
    if (row >= 0) {
        PutEntityRow(sink, row);
    } else {
        PutNumeric(context, sink, text, n);
    }
    // A lone first half of a character beyond the 16-bit range is written
    // on its own, but not kept: the next time a second half may follow it.
    if (table != nullptr && !sink->full && !(n == 3 && HighSurrogate(bytes)))
        table->Keep(bytes, n, sink->base + before, sink->used - before);
    return n;
}

void Encode(XMLGenContext* context, const char* text, std::size_t length, const Switches& switches, Sink* sink) {
    const bool xmlEntities = IsOn(context, sw::kUseXMLEntities);
    const bool preserveSpaces = IsOn(context, sw::kPreserveSpaces);
    std::size_t i = 0;
    while (i < length && !sink->full) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b >= 0x20 && b < 0x7F) {
            switch (b) {
            case '&':
                if (switches.urlMode) {
                    sink->Put('&');
                } else {
                    sink->Put("&amp;", 5);
                }
                break;
            case '<':
                sink->Put("&lt;", 4);
                break;
            case '>':
                sink->Put("&gt;", 4);
                break;
            case '"':
                sink->Put("&quot;", 6);
                break;
            case ' ':
                if (!switches.urlMode && !switches.keepBlanks &&
                    (switches.allSpacesNonBreaking || (preserveSpaces && (i + 1 == length || text[i + 1] == ' ')))) {
                    PutBlankRun(sink, text, length, &i);
                    continue;
                }
                sink->Put(' ');
                break;
            default:
                sink->Put(static_cast<char>(b));
                break;
            }
            ++i;
            continue;
        }
        if (b == '\t') {
            if (switches.keepBlanks) {
                sink->Put("&#9;", 4);
            } else if (context->tabSpaces == 0) {
                sink->Put(' ');
            } else {
                for (std::uint16_t k = 0; k < context->tabSpaces; ++k) sink->Put("&nbsp;", 6);
            }
            ++i;
            continue;
        }
        if ((b == '\r' || b == '\n') && switches.dropLineEnds) {
            ++i;
            continue;
        }
        i += EncodeOne(context, text + i, length - i, xmlEntities, sink);
    }
}

// The text of a formula's result on the chunk's note; false when the text
// does not compile or evaluate.
bool EvaluateFormula(const XMLGenContext* context, const char* text, std::size_t length, std::string* result) {
    if (length > kLongestFormula) length = kLongestFormula - 1;
    const plat::NOTEHANDLE note = context->item != nullptr ? context->item->noteHandle : 0;
    plat::DHANDLE compiled = 0;
    plat::WORD compiledLength = 0;
    if (plat::FormulaCompile(text, static_cast<plat::WORD>(length), &compiled, &compiledLength) != plat::NOERROR)
        return false;
    bool evaluated = false;
    const void* formula = plat::MemLock(compiled);
    plat::HCOMPUTE compute = 0;
    if (formula != nullptr && plat::ComputeStart(formula, &compute) == plat::NOERROR) {
        plat::DHANDLE value = 0;
        plat::WORD valueLength = 0;
        if (plat::ComputeEvaluate(compute, note, &value, &valueLength) == plat::NOERROR) {
            const auto* bytes = static_cast<const std::uint8_t*>(plat::MemLock(value));
            if (bytes != nullptr) {
                *result = FormulaResultText(bytes, valueLength, kLongestResult);
                evaluated = true;
                plat::MemUnlock(value);
            }
            plat::MemFree(value);
        }
        plat::ComputeStop(compute);
    }
    if (formula != nullptr) plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return evaluated;
}

// Encodes into the sink, from the formula's result when asked.
void EncodeInto(XMLGenContext* context, const char* text, std::size_t length, const Switches& switches,
                bool evaluateFormula, Sink* sink) {
    std::string result;
    if (evaluateFormula && EvaluateFormula(context, text, length, &result)) {
        Encode(context, result.data(), result.size(), switches, sink);
    } else {
        Encode(context, text, length, switches, sink);
    }
}

} // namespace

namespace {

STATUS WriteEncoded(XMLGenContext* context, const char* text, std::uint16_t length, const Switches& switches,
                    bool evaluateFormula) {
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    MoveToTextEnd(context);
    if (text == nullptr || length == 0) return kOK;
    Sink sink;
    sink.base = context->writePosition;
    sink.capacity = context->capacity - static_cast<std::size_t>(context->writePosition - context->buffer);
    EncodeInto(context, text, length, switches, evaluateFormula, &sink);
    if (sink.full) {
        NoteBufferSpoilt(context);
        *context->writePosition = '\0';
        context->overflow = 1;
        return kOutOfMemory;
    }
    context->writePosition += sink.used;
    *context->writePosition = '\0';
    context->measuredLength = 0;
    return kOK;
}

} // namespace

STATUS WriteXMLEncodedText(XMLGenContext* context, const char* text, std::uint16_t length, int dropLineEnds,
                           int allSpacesNonBreaking, int evaluateFormula) {
    Switches switches;
    switches.dropLineEnds = dropLineEnds != 0;
    switches.allSpacesNonBreaking = allSpacesNonBreaking != 0;
    return WriteEncoded(context, text, length, switches, evaluateFormula != 0);
}

STATUS WriteXMLEncodedValue(XMLGenContext* context, const char* text, std::uint16_t length, int dropLineEnds) {
    Switches switches;
    switches.dropLineEnds = dropLineEnds != 0;
    switches.keepBlanks = true;
    return WriteEncoded(context, text, length, switches, false);
}

STATUS WriteXMLEncodedTextTo(XMLGenContext* context, const char* text, std::uint32_t length, char* output,
                             std::uint32_t capacity, int dropLineEnds, int allSpacesNonBreaking, int evaluateFormula,
                             int urlMode) {
    if (context == nullptr || output == nullptr || capacity == 0) return kArgumentError;
    const std::size_t start = strnlen(output, capacity);
    if (start >= capacity) return kArgumentError;
    if (text == nullptr || length == 0) return kOK;
    Sink sink;
    sink.base = output;
    sink.used = start;
    sink.capacity = capacity;
    Switches switches;
    switches.dropLineEnds = dropLineEnds != 0;
    switches.allSpacesNonBreaking = allSpacesNonBreaking != 0;
    switches.urlMode = urlMode != 0;
    EncodeInto(context, text, length, switches, evaluateFormula != 0, &sink);
    if (sink.full) {
        output[start] = '\0';
        return kOutOfMemory;
    }
    output[sink.used] = '\0';
    return kOK;
}

std::size_t EncodeCharacter(XMLGenContext* context, const char* text, std::size_t available, char* out,
                            std::size_t room, std::size_t* written) {
    *written = 0;
    if (context == nullptr || text == nullptr || available == 0 || out == nullptr || room == 0) return 0;
    Sink sink;
    sink.base = out;
    sink.capacity = room;
    const std::size_t taken = EncodeOne(context, text, available, IsOn(context, sw::kUseXMLEntities), &sink);
    if (sink.full) return 0;
    *written = sink.used;
    return taken;
}

std::string KeptInXml(std::string_view text) {
    std::string kept;
    kept.reserve(text.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::uint8_t b = bytes[i];
        if ((b >= 0x20 && b < 0x7F) || b == '\t' || b == '\n' || b == '\r') {
            kept.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        const std::size_t available = text.size() - i;
        std::uint16_t n = LmbcsLengthOf(b);
        if (n == 0) n = 1;
        // A character the text's end cuts short leaves nothing: its bytes
        // would join the markup written after the text into a character.
        if (n > available) break;
        // The two halves of a character beyond the 16-bit range stay
        // together; a lone half goes.
        if (StartsSurrogatePair(bytes + i, n, available) && LmbcsCodePoint(text.data() + i, 6) >= 0x10000) n = 6;
        const std::int32_t codePoint = LmbcsCodePoint(text.data() + i, n);
        if (codePoint >= 0 && XmlAllows(static_cast<std::uint32_t>(codePoint))) kept.append(text.substr(i, n));
        i += n;
    }
    return kept;
}

void ReleaseEncoderTables(XMLGenContext* context) {
    if (context == nullptr) return;
    if (context->latin1Table != 0) plat::CharsetUnload(context->latin1Table);
    if (context->unicodeTable != 0) plat::CharsetUnload(context->unicodeTable);
    context->latin1Table = 0;
    context->unicodeTable = 0;
    context->tablesLoaded = 0;
    for (EncodingTable*& table : context->encodingTables) {
        delete table;
        table = nullptr;
    }
}

namespace {

// The table of a mode made on first use (out of line: every run of text
// asks for its table, which is mostly made already).
[[gnu::noinline]] EncodingTable* MakeEncodings(XMLGenContext* context, std::size_t mode) {
    EncodingTable*& table = context->encodingTables[mode];
    table = new (std::nothrow) EncodingTable(LmbcsLengths());
    return table;
}

} // namespace

EncodingTable* EncodingsFor(XMLGenContext* context, bool xmlEntities) {
    const std::size_t mode = (context->format == kFormatXHTML ? 1 : 0) | (xmlEntities ? 2 : 0) |
                             (IsOn(context, sw::kExtendedSpecialCharacters) ? 4 : 0);
    EncodingTable* const table = context->encodingTables[mode];
    return table != nullptr ? table : MakeEncodings(context, mode);
}

} // namespace talix
