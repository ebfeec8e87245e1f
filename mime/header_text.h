// Header lines that mail readers accept whatever a note or the options hold:
// no line end inside a value can start a header or end the header block,
// text outside US-ASCII travels as encoded words (RFC 2047), address fields
// always hold addresses, and long lines are folded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/charset_labels.h"

namespace talix {

// The address that stands beside a name that is not an Internet address
// (".invalid" never delivers).
constexpr const char* kUndeliverableAddress = "talix@localhost.invalid";


// A value from a note or the options (in the platform's character set) as
// native text on one line: line ends and other control characters become
// blanks; blanks at either end go.
std::string HeaderValue(std::string_view lmbcs);

// "Name: value" for a field of free text, folded; a value outside US-ASCII,
// or with a word no line could hold, as encoded words. Empty for an empty
// value.
std::string TextHeader(const char* name, std::string_view lmbcs);

// "Name: " and the addresses, folded: each entry (in the platform's
// character set) that is an address, with or without a display name, as it
// is; any other text as the display name of the undeliverable address.
// Empty when no entry holds text.
std::string AddressHeader(const char* name, const std::vector<std::string>& entries);

// "Name: " and the undeliverable address with the text as its display name.
std::string NamedAddressHeader(const char* name, const std::string& displayName);

// A whole header line an option gives, on one line and folded; a text that
// is not a header line ("Name: value") gets the name in front, so that it
// cannot end the header block, and so does a line of a "Content-" field,
// so that it cannot stand beside the writer's own lines about the body.
// Empty for an empty text or a field name without a value.
std::string WholeHeaderLine(const char* name, std::string_view lmbcs);

// "Message-ID: " and the id, when the text is one ("<left@right>", both
// sides dot atoms, short enough for a line); empty otherwise.
std::string MessageIdHeader(std::string_view lmbcs);

// "Name: value" for a value the writer made itself (a date, an id), folded.
std::string GeneratedHeader(const char* name, const std::string& value);

// The bytes of the encoded text of an encoded word: Base64 ("B") or the
// "Q" form ("_" a blank, "=" and two hexadecimal digits a byte).
std::string EncodedBytes(char encoding, std::string_view encoded);

// A Message-ID no other message has: the note's token, the time, the
// process and a count, at the undeliverable domain.
std::string NewMessageId(const char* token);

} // namespace talix
