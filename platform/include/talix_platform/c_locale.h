// Reading and writing numbers by the C rules, whatever locale the program
// that loads the library has set. What the library reads and writes (option
// strings, stored property texts, CSS lengths, HTML attributes, formula
// texts and results) keeps "." as the decimal point, also under a decimal
// comma locale.
#pragma once

#include <clocale>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace plat {

// The C locale as an object the *_l calls and uselocale take; null only
// where the runtime could not make it, and the callers then fall back to
// the calls that follow the current locale.
inline locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// strtod under the C locale: "1.5" is one and a half whatever the caller's
// locale.
inline double ReadNumber(const char* text, char** end = nullptr) {
    const locale_t c = CLocale();
    return c != nullptr ? strtod_l(text, end, c) : std::strtod(text, end);
}

// The calling thread's locale is the C locale while one of these lives.
class CLocaleScope {
public:
    CLocaleScope() : previous_(CLocale() != nullptr ? uselocale(CLocale()) : nullptr) {}
    ~CLocaleScope() {
        if (previous_ != nullptr) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

// vsnprintf and snprintf under the C locale.
inline int FormatTextV(char* text, std::size_t size, const char* format, std::va_list arguments) {
    const CLocaleScope c;
    return std::vsnprintf(text, size, format, arguments);
}

__attribute__((format(printf, 3, 4))) inline int FormatText(char* text, std::size_t size, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const int length = FormatTextV(text, size, format, arguments);
    va_end(arguments);
    return length;
}

} // namespace plat
