// Option words the import hands to the record builders: a blank, the
// keyword, "=" and the value between quote characters, appended to an
// option text.
#pragma once

#include <string>
#include <string_view>

namespace talix {

// Appends " keyword='value'". A value holding an apostrophe is enclosed in
// the first of the other quote characters of option strings (double quote,
// vertical bar, tilde) that it does not hold, so that the option reader
// gets the value whole; a value holding all four is left out. Returns false
// when it was left out.
bool AppendOptionWord(std::string* text, std::string_view keyword, std::string_view value);

// The quote character that encloses a value in an option string: the
// apostrophe, else the first of the double quote, the vertical bar and the
// tilde that the value does not hold; 0 when it holds all four.
char OptionQuoteFor(std::string_view value);

// Appends the number with the decimals given, as "%.<decimals>f" writes it.
void AppendFixed(std::string* text, double value, int decimals);

} // namespace talix
