// Comparing texts without regard to the case of ASCII letters.
#include "core/text_compare.h"

namespace talix {

namespace {

bool SameBytes(const char* a, const char* b, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

} // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && SameBytes(a.data(), b.data(), a.size());
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return prefix.size() <= text.size() && SameBytes(text.data(), prefix.data(), prefix.size());
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    return suffix.size() <= text.size() &&
           SameBytes(text.data() + (text.size() - suffix.size()), suffix.data(), suffix.size());
}

std::size_t FindNoCaseIn(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (SameBytes(text.data() + at, part.data(), part.size())) return at;
    }
    return std::string_view::npos;
}

bool EqualNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (LowerAscii(*a) != LowerAscii(*b)) return false;
    }
    return *a == *b;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    if (text == nullptr || prefix == nullptr) return false;
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (LowerAscii(*text) != LowerAscii(*prefix)) return false;   // the text's end differs too
    }
    return true;
}

const char* FindNoCase(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr) return nullptr;
    if (pattern[0] == '\0') return text;
    // The rest is compared only where the first character matches.
    const char lower = LowerAscii(pattern[0]);
    const char upper = UpperAscii(lower);
    for (const char* start = text; *start != '\0'; ++start) {
        if (*start != lower && *start != upper) continue;
        std::size_t i = 0;
        while (pattern[i] != '\0' && start[i] != '\0' && LowerAscii(start[i]) == LowerAscii(pattern[i])) ++i;
        if (pattern[i] == '\0') return start;
        if (start[i] == '\0') return nullptr;   // the rest of the text is shorter than the pattern
    }
    return nullptr;
}

} // namespace talix
