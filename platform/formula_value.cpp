// Formula values and their typed form (little-endian, data-type word first):
//   0x0500 text: the bytes             0x0501 text list: WORD n, n WORD lengths, the texts
//   0x0300 number: a double            0x0301 number list: WORD n, WORD m, n doubles, m pairs
//   0x0400 time: a TIMEDATE            0x0401 time list: WORD n, WORD m, n TIMEDATEs, m pairs
//   0x0004 note references: WORD n, n universal ids (read only)
#include "formula_value.h"

#include <cstdio>
#include <cstring>

#include "byte_order.h"

namespace plat::formula {

namespace {

constexpr WORD TYPE_NOTEREF = 0x0004;
constexpr size_t kWordMax = 0xFFFF;

void PutTime(std::string* out, const TIMEDATE& time) {
    PutDword(out, time.Innards[0]);
    PutDword(out, time.Innards[1]);
}

void PutNumber(std::string* out, double number) {
    char bytes[sizeof number];
    std::memcpy(bytes, &number, sizeof number);
    out->append(bytes, sizeof bytes);
}

TIMEDATE GetTime(const unsigned char* p) {
    TIMEDATE time;
    time.Innards[0] = GetDword(p);
    time.Innards[1] = GetDword(p + 4);
    return time;
}

double GetNumber(const unsigned char* p) {
    double number = 0;
    std::memcpy(&number, p, sizeof number);
    return number;
}

} // namespace

Value Value::Text(std::string text) {
    Value value;
    value.texts.push_back(std::move(text));
    return value;
}

Value Value::Number(double number) {
    Value value;
    value.type = ValueType::Number;
    value.numbers.push_back(number);
    return value;
}

Value Value::Time(const TIMEDATE& time) {
    Value value;
    value.type = ValueType::Time;
    value.times.push_back(time);
    return value;
}

size_t Value::Count() const {
    switch (type) {
    case ValueType::Text: return texts.size();
    case ValueType::Number: return numbers.size();
    case ValueType::Time: return times.size();
    }
    return 0;
}

size_t Value::Bytes() const {
    size_t bytes = 0;
    for (const std::string& text : texts) bytes += text.size();
    return bytes + sizeof(double) * numbers.size() + sizeof(TIMEDATE) * times.size() +
           sizeof(TIMEDATE_PAIR) * ranges.size();
}

void Value::MakeNonEmpty() {
    if (Count() != 0 || !ranges.empty()) return;
    *this = Text("");
}

const char* TypeName(ValueType type) {
    switch (type) {
    case ValueType::Text: return "text";
    case ValueType::Number: return "number";
    case ValueType::Time: return "time";
    }
    return "value";
}

bool EncodeTypedValue(const Value& value, std::string* out) {
    size_t count = value.Count();
    bool single = count == 1 && value.ranges.empty();
    if (count > kWordMax || value.ranges.size() > kWordMax) return false;
    switch (value.type) {
    case ValueType::Text:
        if (single) {
            PutWord(out, TYPE_TEXT);
            out->append(value.texts.front());
            return true;
        }
        PutWord(out, TYPE_TEXT_LIST);
        PutWord(out, count);
        for (const std::string& text : value.texts) {
            if (text.size() > kWordMax) return false;
            PutWord(out, text.size());
        }
        for (const std::string& text : value.texts) out->append(text);
        return true;
    case ValueType::Number:
        if (single) {
            PutWord(out, TYPE_NUMBER);
            PutNumber(out, value.numbers.front());
            return true;
        }
        PutWord(out, TYPE_NUMBER_RANGE);
        PutWord(out, count);
        PutWord(out, 0);
        for (double number : value.numbers) PutNumber(out, number);
        return true;
    case ValueType::Time:
        if (single) {
            PutWord(out, TYPE_TIME);
            PutTime(out, value.times.front());
            return true;
        }
        PutWord(out, TYPE_TIME_RANGE);
        PutWord(out, count);
        PutWord(out, value.ranges.size());
        for (const TIMEDATE& time : value.times) PutTime(out, time);
        for (const TIMEDATE_PAIR& pair : value.ranges) {
            PutTime(out, pair.Lower);
            PutTime(out, pair.Upper);
        }
        return true;
    }
    return false;
}

DecodeStatus DecodeTypedValue(const void* data, size_t length, Value* value) {
    if (data == nullptr || length < 2) return DecodeStatus::Damaged;
    const auto* bytes = static_cast<const unsigned char*>(data);
    WORD type = GetWord(bytes);
    const unsigned char* p = bytes + 2;
    size_t size = length - 2;
    Value read;
    switch (type) {
    case TYPE_INVALID:
        read = Value::Text("");
        break;
    case TYPE_TEXT:
        read = Value::Text(std::string(reinterpret_cast<const char*>(p), size));
        break;
    case TYPE_TEXT_LIST: {
        if (size < 2) return DecodeStatus::Damaged;
        size_t count = GetWord(p);
        size_t offset = 2 + 2 * count;
        if (offset > size) return DecodeStatus::Damaged;
        for (size_t i = 0; i < count; ++i) {
            size_t entry = GetWord(p + 2 + 2 * i);
            if (entry > size - offset) return DecodeStatus::Damaged;
            read.texts.emplace_back(reinterpret_cast<const char*>(p + offset), entry);
            offset += entry;
        }
        break;
    }
    case TYPE_NUMBER:
        if (size < sizeof(double)) return DecodeStatus::Damaged;
        read = Value::Number(GetNumber(p));
        break;
    case TYPE_NUMBER_RANGE: {
        // Number range pairs are not used by the platform's callers; they are
        // checked against the length and left out.
        if (size < 4) return DecodeStatus::Damaged;
        size_t count = GetWord(p);
        size_t pairs = GetWord(p + 2);
        if (4 + 8 * count + 16 * pairs > size) return DecodeStatus::Damaged;
        read.type = ValueType::Number;
        for (size_t i = 0; i < count; ++i) read.numbers.push_back(GetNumber(p + 4 + 8 * i));
        break;
    }
    case TYPE_TIME:
        if (size < 8) return DecodeStatus::Damaged;
        read = Value::Time(GetTime(p));
        break;
    case TYPE_TIME_RANGE: {
        if (size < 4) return DecodeStatus::Damaged;
        size_t count = GetWord(p);
        size_t pairs = GetWord(p + 2);
        if (4 + 8 * count + 16 * pairs > size) return DecodeStatus::Damaged;
        read.type = ValueType::Time;
        const unsigned char* entry = p + 4;
        for (size_t i = 0; i < count; ++i, entry += 8) read.times.push_back(GetTime(entry));
        for (size_t i = 0; i < pairs; ++i, entry += 16) read.ranges.push_back(TIMEDATE_PAIR{GetTime(entry), GetTime(entry + 8)});
        break;
    }
    case TYPE_NOTEREF: {
        if (size < 2) return DecodeStatus::Damaged;
        size_t count = GetWord(p);
        if (2 + 16 * count > size) return DecodeStatus::Damaged;
        for (size_t i = 0; i < count; ++i) {
            const unsigned char* id = p + 2 + 16 * i;
            read.texts.push_back(UnidText(UNID{GetTime(id), GetTime(id + 8)}));
        }
        break;
    }
    default:
        return DecodeStatus::Unsupported;
    }
    read.MakeNonEmpty();
    *value = std::move(read);
    return DecodeStatus::Ok;
}

std::string UnidText(const UNID& unid) {
    char text[33];
    std::snprintf(text, sizeof text, "%08X%08X%08X%08X", static_cast<unsigned>(unid.File.Innards[1]),
                  static_cast<unsigned>(unid.File.Innards[0]), static_cast<unsigned>(unid.Note.Innards[1]),
                  static_cast<unsigned>(unid.Note.Innards[0]));
    return text;
}

} // namespace plat::formula
