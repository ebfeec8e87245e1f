// The MIME option string of one writer run, read keyword by keyword.
#pragma once

#include <cstdint>
#include <string>

namespace talix {

class MimeOptions {
public:
    MimeOptions() = default;
    // The option text: length bytes of text (0: measured), cut at a zero
    // byte; null gives an empty text.
    MimeOptions(const char* text, std::uint16_t length);

    const std::string& text() const { return text_; }
    // The value of the keyword (with its "="), when it is present (it may
    // be empty).
    bool Get(const char* key, std::string* value) const;
    // The value, or the default when the keyword is absent.
    std::string Value(const char* key, const char* fallback = "") const;
    // The value equals word, ignoring case.
    bool Is(const char* key, const char* word) const;
    // The value holds word, ignoring case.
    bool Holds(const char* key, const char* word) const;

private:
    std::string text_;
};

} // namespace talix
