// The @functions the evaluator offers, in one table by name. Text functions
// work on LMBCS characters, never splitting a multibyte character; those
// given a list work on each entry.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "formula_eval.h"
#include "status_codes.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/database.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat::formula {

namespace {

// ---- Arguments -------------------------------------------------------------

std::string Name(const Node& call) { return "@" + call.text; }

STATUS CheckArguments(Evaluator& e, const Node& call, size_t least, size_t most) {
    size_t given = call.operands.size();
    if (given >= least && given <= most) return NOERROR;
    std::string expected = least == most ? std::to_string(least)
                           : most == SIZE_MAX ? std::to_string(least) + " or more"
                                              : std::to_string(least) + " to " + std::to_string(most);
    return e.Fail(ERR_FORMULA_EVAL, Name(call) + " takes " + expected + " argument(s), not " + std::to_string(given));
}

STATUS Argument(Evaluator& e, const Node& call, size_t index, Value* out) {
    return e.Evaluate(*call.operands[index], out);
}

STATUS TypedArgument(Evaluator& e, const Node& call, size_t index, ValueType type, Value* out) {
    STATUS status = Argument(e, call, index, out);
    if (status != NOERROR || out->type == type) return status;
    return e.Fail(ERR_FORMULA_EVAL, Name(call) + " needs " + TypeName(type) + " as argument " + std::to_string(index + 1) +
                                        ", not " + TypeName(out->type));
}

bool IsDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// ---- LMBCS characters ------------------------------------------------------

// The 16-bit unit of the Unicode group at text[at] (three bytes: the group
// byte, then high byte first, or a marker and the high byte when the low
// byte is 0), or -1 when none stands there.
long UnicodeUnitAt(std::string_view text, size_t at) {
    constexpr unsigned char kGroupUnicode = 0x14, kZeroLow = 0xF6;
    if (at + 3 > text.size() || static_cast<unsigned char>(text[at]) != kGroupUnicode) return -1;
    const auto first = static_cast<unsigned char>(text[at + 1]), second = static_cast<unsigned char>(text[at + 2]);
    return first == kZeroLow ? static_cast<long>(second) << 8 : static_cast<long>(first) << 8 | second;
}

// A character beyond 16 bits (an emoji) is two units, the halves of a
// surrogate pair: it counts as one character, so that no text function
// keeps one half of it without the other.
size_t CharLength(std::string_view text, size_t at) {
    size_t length = LmbcsCharLength(reinterpret_cast<const BYTE*>(text.data() + at), static_cast<DWORD>(text.size() - at));
    if (length == 3) {
        const long high = UnicodeUnitAt(text, at), low = UnicodeUnitAt(text, at + 3);
        if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) return 6;
    }
    return length == 0 ? 1 : length;
}

size_t CharCount(std::string_view text) {
    size_t count = 0;
    for (size_t at = 0; at < text.size(); at += CharLength(text, at)) ++count;
    return count;
}

// The byte offset after the first chars characters.
size_t CharOffset(std::string_view text, size_t chars) {
    size_t at = 0;
    while (chars-- > 0 && at < text.size()) at += CharLength(text, at);
    return at;
}

// The first occurrence of needle that starts on a character boundary. The
// text is read once, byte by byte: the needle's border table (the longest
// start of it that also ends it, for each of its starts) tells how much of
// a partial match still stands after a mismatch, so that the time follows
// the two lengths whatever they hold.
size_t FindText(std::string_view text, std::string_view needle) {
    if (needle.empty()) return 0;
    if (needle.size() > text.size()) return std::string_view::npos;
    std::vector<size_t> border(needle.size(), 0);
    for (size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && needle[i] != needle[k]) k = border[k - 1];
        if (needle[i] == needle[k]) ++k;
        border[i] = k;
    }
    size_t boundary = 0;   // the first character boundary not before the last match's start
    for (size_t i = 0, k = 0; i < text.size(); ++i) {
        while (k > 0 && text[i] != needle[k]) k = border[k - 1];
        if (text[i] == needle[k]) ++k;
        if (k < needle.size()) continue;
        const size_t start = i + 1 - k;
        while (boundary < start) boundary += CharLength(text, boundary);
        if (boundary == start) return start;
        k = border[k - 1];
    }
    return std::string_view::npos;
}

std::string FormatNumber(double number) {
    if (number == 0) return "0";   // also -0
    char text[40];
    plat::FormatText(text, sizeof text, "%.15g", number);
    return text;
}

// ---- Constants and conditions ------------------------------------------------

STATUS Constant(Evaluator& e, const Node& call, Value* out, Value value) {
    STATUS status = CheckArguments(e, call, 0, 0);
    if (status == NOERROR) *out = std::move(value);
    return status;
}

STATUS FnTrue(Evaluator& e, const Node& call, Value* out) { return Constant(e, call, out, Value::Number(1)); }
STATUS FnFalse(Evaluator& e, const Node& call, Value* out) { return Constant(e, call, out, Value::Number(0)); }
STATUS FnNewLine(Evaluator& e, const Node& call, Value* out) { return Constant(e, call, out, Value::Text("\n")); }

STATUS FnNow(Evaluator& e, const Node& call, Value* out) {
    TIMEDATE now;
    CurrentTime(&now);
    return Constant(e, call, out, Value::Time(now));
}

// @If(condition; value; condition; value; ...; else value): only the
// branch taken is evaluated.
STATUS FnIf(Evaluator& e, const Node& call, Value* out) {
    size_t count = call.operands.size();
    if (count < 3 || count % 2 == 0) {
        return e.Fail(ERR_FORMULA_EVAL, "@If takes an odd number of arguments, at least 3, not " + std::to_string(count));
    }
    for (size_t i = 0; i + 1 < count; i += 2) {
        Value condition;
        bool truth = false;
        STATUS status = Argument(e, call, i, &condition);
        if (status == NOERROR) status = e.Truth(condition, "@If condition " + std::to_string(i / 2 + 1), &truth);
        if (status != NOERROR) return status;
        if (truth) return Argument(e, call, i + 1, out);
    }
    return Argument(e, call, count - 1, out);
}

// ---- Conversions -------------------------------------------------------------

STATUS FnText(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 1);
    Value value;
    if (status == NOERROR) status = Argument(e, call, 0, &value);
    if (status != NOERROR) return status;
    Value text;
    if (value.type == ValueType::Text) {
        text = std::move(value);
    } else if (value.type == ValueType::Number) {
        for (double number : value.numbers) text.texts.push_back(FormatNumber(number));
    } else {
        char buf[200];
        WORD length = 0;
        for (const TIMEDATE& time : value.times) {
            if (TimeToText(&time, buf, 80, &length) != NOERROR) return e.Fail(ERR_FORMULA_EVAL, "@Text: invalid time");
            text.texts.emplace_back(buf, length);
        }
        for (const TIMEDATE_PAIR& range : value.ranges) {
            if (TimeRangeToText(&range, buf, 163, &length) != NOERROR) {
                return e.Fail(ERR_FORMULA_EVAL, "@Text: invalid time range");
            }
            text.texts.emplace_back(buf, length);
        }
    }
    text.MakeNonEmpty();
    *out = std::move(text);
    return NOERROR;
}

STATUS FnTextToNumber(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 1);
    Value value;
    if (status == NOERROR) status = Argument(e, call, 0, &value);
    if (status != NOERROR) return status;
    if (value.type == ValueType::Number) {
        *out = std::move(value);
        return NOERROR;
    }
    if (value.type != ValueType::Text) return e.Fail(ERR_FORMULA_EVAL, "@TextToNumber needs text, not time");
    Value numbers;
    numbers.type = ValueType::Number;
    for (const std::string& text : value.texts) {
        size_t first = text.find_first_not_of(' ');
        size_t last = text.find_last_not_of(' ');
        std::string_view digits = first == std::string::npos ? std::string_view() :
                                  std::string_view(text).substr(first, last - first + 1);
        // A decimal number: one sign at most, then a digit or a point
        // ("inf" and "nan" are no numbers of the formula language).
        bool plus = !digits.empty() && digits.front() == '+';
        if (plus) digits.remove_prefix(1);
        std::string_view magnitude = !plus && !digits.empty() && digits.front() == '-' ? digits.substr(1) : digits;
        bool decimal = !magnitude.empty() && (IsDecimalDigit(magnitude.front()) || magnitude.front() == '.');
        double number = 0;
        auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (!decimal || (error != std::errc() && error != std::errc::result_out_of_range) ||
            end != digits.data() + digits.size()) {
            return e.Fail(ERR_FORMULA_EVAL, "@TextToNumber: '" + LmbcsToNative(text) + "' is not a number");
        }
        if (error == std::errc::result_out_of_range) {
            // Too small a number reads as 0 (or the nearest double); too
            // large a one is refused.
            number = plat::ReadNumber(std::string(digits).c_str(), nullptr);
            if (!std::isfinite(number)) {
                return e.Fail(ERR_FORMULA_EVAL,
                              "@TextToNumber: '" + LmbcsToNative(text) + "' is out of the range of numbers");
            }
        }
        numbers.numbers.push_back(number);
    }
    *out = std::move(numbers);
    return NOERROR;
}

// ---- Text functions ----------------------------------------------------------

// @Left(text; count or substring), @Right(text; count or substring).
STATUS LeftOrRight(Evaluator& e, const Node& call, Value* out, bool left) {
    STATUS status = CheckArguments(e, call, 2, 2);
    Value text, which;
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &text);
    if (status == NOERROR) status = Argument(e, call, 1, &which);
    if (status != NOERROR) return status;
    if (which.type == ValueType::Time) return e.Fail(ERR_FORMULA_EVAL, Name(call) + " needs a number or text, not time");
    for (std::string& entry : text.texts) {
        if (which.type == ValueType::Number) {
            double wanted = which.numbers.front();
            size_t count = wanted >= 1 ? static_cast<size_t>(std::min(wanted, 1e9)) : 0;
            size_t total = CharCount(entry);
            if (count >= total) continue;
            entry = left ? entry.substr(0, CharOffset(entry, count)) : entry.substr(CharOffset(entry, total - count));
        } else {
            const std::string& marker = which.texts.front();
            size_t at = FindText(entry, marker);
            if (at == std::string_view::npos) entry.clear();
            else entry = left ? entry.substr(0, at) : entry.substr(at + marker.size());
        }
    }
    *out = std::move(text);
    return NOERROR;
}

STATUS FnLeft(Evaluator& e, const Node& call, Value* out) { return LeftOrRight(e, call, out, true); }
STATUS FnRight(Evaluator& e, const Node& call, Value* out) { return LeftOrRight(e, call, out, false); }

// @Contains and @Begins: true when any entry holds (begins with) any of the
// texts sought.
STATUS Search(Evaluator& e, const Node& call, Value* out, bool begins) {
    STATUS status = CheckArguments(e, call, 2, 2);
    Value text, sought;
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &text);
    if (status == NOERROR) status = TypedArgument(e, call, 1, ValueType::Text, &sought);
    if (status != NOERROR) return status;
    bool found = false;
    for (const std::string& entry : text.texts) {
        for (const std::string& part : sought.texts) {
            if (begins ? entry.compare(0, part.size(), part) == 0 : FindText(entry, part) != std::string_view::npos) {
                found = true;
            }
        }
    }
    *out = Value::Number(found ? 1 : 0);
    return NOERROR;
}

STATUS FnContains(Evaluator& e, const Node& call, Value* out) { return Search(e, call, out, false); }
STATUS FnBegins(Evaluator& e, const Node& call, Value* out) { return Search(e, call, out, true); }

STATUS ChangeCase(Evaluator& e, const Node& call, Value* out, bool upper) {
    STATUS status = CheckArguments(e, call, 1, 1);
    Value text;
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &text);
    if (status != NOERROR) return status;
    for (std::string& entry : text.texts) {
        icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(LmbcsToNative(entry));
        if (upper) unicode.toUpper(icu::Locale::getRoot());
        else unicode.toLower(icu::Locale::getRoot());
        std::string utf8;
        unicode.toUTF8String(utf8);
        entry = NativeToLmbcs(utf8);
    }
    // A change of case can lengthen a text (ß becomes SS).
    if (text.Bytes() > kMaxValueBytes) return e.Fail(ERR_FORMULA_EVAL, Name(call) + ": text too long");
    *out = std::move(text);
    return NOERROR;
}

STATUS FnLowerCase(Evaluator& e, const Node& call, Value* out) { return ChangeCase(e, call, out, false); }
STATUS FnUpperCase(Evaluator& e, const Node& call, Value* out) { return ChangeCase(e, call, out, true); }

// Leading, trailing and repeated blanks go; entries left empty are dropped.
STATUS FnTrim(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 1);
    Value text;
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &text);
    if (status != NOERROR) return status;
    Value trimmed;
    for (const std::string& entry : text.texts) {
        std::string kept;
        size_t at = 0;
        while (at < entry.size()) {
            size_t start = entry.find_first_not_of(' ', at);
            if (start == std::string::npos) break;
            size_t end = entry.find(' ', start);
            if (end == std::string::npos) end = entry.size();
            if (!kept.empty()) kept.push_back(' ');
            kept.append(entry, start, end - start);
            at = end;
        }
        if (!kept.empty()) trimmed.texts.push_back(std::move(kept));
    }
    trimmed.MakeNonEmpty();
    *out = std::move(trimmed);
    return NOERROR;
}

// ---- Lists ------------------------------------------------------------------

// The number of entries; a lone empty text counts as none.
STATUS FnElements(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 1);
    Value list;
    if (status == NOERROR) status = Argument(e, call, 0, &list);
    if (status != NOERROR) return status;
    size_t count = list.Count() + list.ranges.size();
    if (list.type == ValueType::Text && count == 1 && list.texts.front().empty()) count = 0;
    *out = Value::Number(static_cast<double>(count));
    return NOERROR;
}

// The 1-based position of a value in a list, 0 when it is not there.
STATUS FnMember(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 2, 2);
    Value value, list;
    if (status == NOERROR) status = Argument(e, call, 0, &value);
    if (status == NOERROR) status = TypedArgument(e, call, 1, value.type, &list);
    if (status != NOERROR) return status;
    size_t position = 0;
    for (size_t i = 0; position == 0 && i < list.Count() && value.Count() > 0; ++i) {
        bool same = false;
        switch (value.type) {
        case ValueType::Text: same = list.texts[i] == value.texts.front(); break;
        case ValueType::Number: same = list.numbers[i] == value.numbers.front(); break;
        case ValueType::Time:
            same = list.times[i].Innards[0] == value.times.front().Innards[0] &&
                   list.times[i].Innards[1] == value.times.front().Innards[1];
            break;
        }
        if (same) position = i + 1;
    }
    *out = Value::Number(static_cast<double>(position));
    return NOERROR;
}

STATUS FnImplode(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 2);
    Value list, separator = Value::Text(" ");
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &list);
    if (status == NOERROR && call.operands.size() == 2) status = TypedArgument(e, call, 1, ValueType::Text, &separator);
    if (status != NOERROR) return status;
    std::string joined;
    for (size_t i = 0; i < list.texts.size(); ++i) {
        if (i > 0) joined += separator.texts.front();
        joined += list.texts[i];
        if (joined.size() > kMaxValueBytes) return e.Fail(ERR_FORMULA_EVAL, "@Implode: text too long");
    }
    *out = Value::Text(std::move(joined));
    return NOERROR;
}

// @Explode(text; separators = " ,;"; keep empty entries = 0; new lines
// separate = 1).
STATUS FnExplode(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 4);
    Value text, separators = Value::Text(" ,;");
    bool keepEmpty = false, newLines = true;
    if (status == NOERROR) status = TypedArgument(e, call, 0, ValueType::Text, &text);
    if (status == NOERROR && call.operands.size() > 1) status = TypedArgument(e, call, 1, ValueType::Text, &separators);
    Value flag;
    if (status == NOERROR && call.operands.size() > 2) status = Argument(e, call, 2, &flag);
    if (status == NOERROR && call.operands.size() > 2) status = e.Truth(flag, "@Explode argument 3", &keepEmpty);
    if (status == NOERROR && call.operands.size() > 3) status = Argument(e, call, 3, &flag);
    if (status == NOERROR && call.operands.size() > 3) status = e.Truth(flag, "@Explode argument 4", &newLines);
    if (status != NOERROR) return status;
    // Each separating character once, looked up by value: a text is split
    // in time that follows its length, however many separators are given.
    std::set<std::string_view> marks;
    const std::string& chars = separators.texts.front();
    for (size_t at = 0; at < chars.size(); at += CharLength(chars, at)) {
        marks.insert(std::string_view(chars).substr(at, CharLength(chars, at)));
    }
    if (newLines) {
        marks.insert("\r");
        marks.insert("\n");
    }
    Value parts;
    for (const std::string& entry : text.texts) {
        std::string part;
        for (size_t at = 0; at <= entry.size();) {
            bool end = at == entry.size();
            size_t length = end ? 0 : CharLength(entry, at);
            std::string_view c = end ? std::string_view() : std::string_view(entry).substr(at, length);
            const bool separates = !end && marks.count(c) != 0;
            if (end || separates) {
                if (!part.empty() || keepEmpty) parts.texts.push_back(std::move(part));
                if (parts.texts.size() > kMaxEntries) return e.Fail(ERR_FORMULA_EVAL, "@Explode: list too long");
                part.clear();
                if (end) break;
            } else {
                part.append(c);
            }
            at += length;
        }
    }
    parts.MakeNonEmpty();
    *out = std::move(parts);
    return NOERROR;
}

// ---- The document ------------------------------------------------------------

// @IsAvailable(name): whether the note has an item of that name.
STATUS FnIsAvailable(Evaluator& e, const Node& call, Value* out) {
    STATUS status = CheckArguments(e, call, 1, 1);
    if (status != NOERROR) return status;
    const Node& name = *call.operands[0];
    if (name.kind != NodeKind::Name) return e.Fail(ERR_FORMULA_EVAL, "@IsAvailable needs a field name");
    bool present = e.note() != NULLHANDLE &&
                   ItemIsPresent(e.note(), name.text.data(), static_cast<WORD>(name.text.size()));
    *out = Value::Number(present ? 1 : 0);
    return NOERROR;
}

// Reads one header field of the formula's document into *value; a formula
// without arguments is required, and a document.
template <typename T>
STATUS ReadNoteField(Evaluator& e, const Node& call, WORD field, T* value) {
    STATUS status = CheckArguments(e, call, 0, 0);
    if (status == NOERROR && e.note() == NULLHANDLE) {
        status = e.Fail(ERR_FORMULA_EVAL, Name(call) + " needs a document");
    }
    if (status != NOERROR) return status;
    status = NoteGetInfo(e.note(), field, value);
    if (status != NOERROR) return e.Fail(status, Name(call) + ": cannot read the document");
    return NOERROR;
}

STATUS FnCreated(Evaluator& e, const Node& call, Value* out) {
    TIMEDATE created;
    STATUS status = ReadNoteField(e, call, NOTE_FIELD_CREATED, &created);
    if (status != NOERROR) return status;
    *out = Value::Time(created);
    return NOERROR;
}

STATUS FnDocumentUniqueID(Evaluator& e, const Node& call, Value* out) {
    ORIGINATORID oid;
    STATUS status = ReadNoteField(e, call, NOTE_FIELD_OID, &oid);
    if (status != NOERROR) return status;
    *out = Value::Text(UnidText(UNID{oid.File, oid.Note}));
    return NOERROR;
}

STATUS FnNoteID(Evaluator& e, const Node& call, Value* out) {
    NOTEID id = 0;
    STATUS status = ReadNoteField(e, call, NOTE_FIELD_ID, &id);
    if (status != NOERROR) return status;
    char text[16];
    std::snprintf(text, sizeof text, "NT%08X", static_cast<unsigned>(id));
    *out = Value::Text(text);
    return NOERROR;
}

// ---- Database drivers ----------------------------------------------------------

// @DbLookup, @DbColumn, @DbCommand: the first argument is the driver class,
// "name" or "name":"NoCache"; the others go to the driver as they are.
STATUS DriverCall(Evaluator& e, const Node& call, Value* out, WORD function) {
    STATUS status = CheckArguments(e, call, 1, SIZE_MAX);
    if (status != NOERROR) return status;
    std::vector<Value> arguments(call.operands.size());
    size_t bytes = 0;
    for (size_t i = 0; i < call.operands.size() && status == NOERROR; ++i) {
        status = Argument(e, call, i, &arguments[i]);
        bytes += arguments[i].Bytes();
        if (status == NOERROR && bytes > kMaxValueBytes) {
            return e.Fail(ERR_FORMULA_EVAL, Name(call) + ": the arguments hold more than " +
                                                std::to_string(kMaxValueBytes / (1024 * 1024)) + " MB");
        }
    }
    if (status != NOERROR) return status;
    const Value& driverClass = arguments.front();
    if (driverClass.type != ValueType::Text || driverClass.texts.empty()) {
        return e.Fail(ERR_FORMULA_EVAL, Name(call) + " needs the driver class as text");
    }
    std::string driver = driverClass.texts.front();
    arguments.erase(arguments.begin());
    std::string message;
    status = CallDriver(driver, function, arguments, e.note(), out, &message);
    if (status != NOERROR) return e.Fail(status, message);
    return NOERROR;
}

STATUS FnDbLookup(Evaluator& e, const Node& call, Value* out) { return DriverCall(e, call, out, 0); }
STATUS FnDbColumn(Evaluator& e, const Node& call, Value* out) { return DriverCall(e, call, out, 1); }
STATUS FnDbCommand(Evaluator& e, const Node& call, Value* out) { return DriverCall(e, call, out, 2); }

struct FunctionEntry {
    const char* name;   // folded
    FunctionHandler handler;
};

const FunctionEntry kFunctions[] = {
    {"all", FnTrue},
    {"true", FnTrue},
    {"false", FnFalse},
    {"if", FnIf},
    {"text", FnText},
    {"texttonumber", FnTextToNumber},
    {"left", FnLeft},
    {"right", FnRight},
    {"contains", FnContains},
    {"begins", FnBegins},
    {"lowercase", FnLowerCase},
    {"uppercase", FnUpperCase},
    {"trim", FnTrim},
    {"elements", FnElements},
    {"member", FnMember},
    {"implode", FnImplode},
    {"explode", FnExplode},
    {"isavailable", FnIsAvailable},
    {"newline", FnNewLine},
    {"now", FnNow},
    {"created", FnCreated},
    {"documentuniqueid", FnDocumentUniqueID},
    {"noteid", FnNoteID},
    {"dblookup", FnDbLookup},
    {"dbcolumn", FnDbColumn},
    {"dbcommand", FnDbCommand},
};

} // namespace

FunctionHandler FindFunction(std::string_view foldedName) {
    for (const auto& entry : kFunctions) {
        if (foldedName == entry.name) return entry.handler;
    }
    return nullptr;
}

} // namespace plat::formula
