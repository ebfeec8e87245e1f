#include "core/formula_result.h"

#include <cstdio>
#include <cstring>

#include "core/record_forms.h"
#include "core/text_search.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

namespace talix {

namespace {

// Appends what fits below the limit, in whole characters: a text cut there
// ends the result, so nothing is added after the cut.
struct Bounded {
    std::string text;
    std::size_t limit = 0;
};

void AppendBounded(Bounded* out, const char* text, std::size_t length) {
    if (out->text.size() >= out->limit) return;
    const std::size_t room = out->limit - out->text.size();
    if (length > room) {
        length = WholeCharsWithin(text, static_cast<std::uint32_t>(length), static_cast<std::uint32_t>(room));
        out->limit = out->text.size() + length;
    }
    out->text.append(text, length);
}

void AppendNumber(Bounded* out, const std::uint8_t* at) {
    double number = 0;
    std::memcpy(&number, at, sizeof number);
    char text[40];
    plat::FormatText(text, sizeof text, "%g", number);
    AppendBounded(out, text, std::strlen(text));
}

void AppendTime(Bounded* out, const std::uint8_t* at) {
    plat::TIMEDATE time;
    std::memcpy(time.Innards, at, sizeof time.Innards);
    char text[81];
    plat::WORD length = 0;
    if (plat::TimeToText(&time, text, sizeof text, &length) == plat::NOERROR) AppendBounded(out, text, length);
}

void AppendRange(Bounded* out, const std::uint8_t* at) {
    plat::TIMEDATE_PAIR range;
    std::memcpy(range.Lower.Innards, at, sizeof range.Lower.Innards);
    std::memcpy(range.Upper.Innards, at + 8, sizeof range.Upper.Innards);
    char text[164];
    plat::WORD length = 0;
    if (plat::TimeRangeToText(&range, text, sizeof text, &length) == plat::NOERROR) AppendBounded(out, text, length);
}

} // namespace

std::string FormulaResultText(const std::uint8_t* bytes, std::uint32_t length, std::uint32_t maxLength) {
    Bounded out;
    out.limit = maxLength;
    if (length < 2) return out.text;
    const std::uint8_t* p = bytes + 2;
    const std::uint32_t size = length - 2;
    switch (ReadWord(bytes)) {
    case plat::TYPE_TEXT:
        AppendBounded(&out, reinterpret_cast<const char*>(p), size);
        break;
    case plat::TYPE_TEXT_LIST: {
        if (size < 2) break;
        const std::uint32_t count = ReadWord(p);
        std::uint32_t offset = 2 + 2 * count;
        if (offset > size) break;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t entry = ReadWord(p + 2 + 2 * i);
            if (entry > size - offset) break;
            if (i > 0) AppendBounded(&out, ";", 1);
            AppendBounded(&out, reinterpret_cast<const char*>(p + offset), entry);
            offset += entry;
        }
        break;
    }
    case plat::TYPE_NUMBER:
        if (size >= 8) AppendNumber(&out, p);
        break;
    case plat::TYPE_NUMBER_RANGE:
        if (size >= 4 + 8 && ReadWord(p) > 0) AppendNumber(&out, p + 4);
        break;
    case plat::TYPE_TIME:
        if (size >= 8) AppendTime(&out, p);
        break;
    case plat::TYPE_TIME_RANGE: {
        if (size < 4) break;
        const std::uint32_t count = ReadWord(p), pairs = ReadWord(p + 2);
        if (4 + 8 * count + 16 * pairs > size) break;
        const std::uint8_t* at = p + 4;
        for (std::uint32_t i = 0; i < count; ++i, at += 8) {
            if (!out.text.empty()) AppendBounded(&out, ";", 1);
            AppendTime(&out, at);
        }
        for (std::uint32_t i = 0; i < pairs; ++i, at += 16) {
            if (!out.text.empty()) AppendBounded(&out, ";", 1);
            AppendRange(&out, at);
        }
        break;
    }
    default:
        break;
    }
    return out.text;
}

} // namespace talix
