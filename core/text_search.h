// Text search in the platform's character set (LMBCS): the wildcard search
// the text-run operations use to find a search text in a run, and the
// rewrite of a whole text with every occurrence of the running operation's
// search text replaced.
#pragma once

#include <cstdint>

namespace talix {

struct OperationRequest;

// The byte length of the character at p, never past available bytes (a byte
// that starts no character counts as one).
std::uint32_t CharLength(const char* p, std::uint32_t available);
// Whether the character at p, of length bytes, is a 16-bit unit holding
// the first half of a character beyond 16 bits (the next character holds
// the second).
bool IsFirstHalfOfPair(const char* p, std::uint32_t length);
// The bytes of the whole characters of length bytes of text that fit in
// limit bytes: a text cut there never ends in part of a character, nor in
// the first half of a character beyond 16 bits without its second.
std::uint32_t WholeCharsWithin(const char* text, std::uint32_t length, std::uint32_t limit);
// The number of characters in length bytes of text.
std::uint32_t CountChars(const char* text, std::uint32_t length);
// Whether two characters are equal as the search compares a pattern's
// character a with a text's character b (case and accents ignored as asked).
bool SearchCharsEqual(const char* a, std::uint32_t aLength, const char* b, std::uint32_t bLength,
                      bool ignoreCase, bool ignoreAccents);

// The byte offset of the first match of pattern in text, or -1 (no match,
// or an empty or null text or pattern). Texts are compared character by
// character under the platform's collation, ignoring case and accents as
// asked. With wildcards, "?" in the pattern matches any one character and
// the first "*" any run of characters (a pattern ending in "*" matches to
// the end of the text). With wholeWord, a match must start at the text's
// start or after a character that is no letter or digit, and end at the
// text's end or before such a character. *matchLength (may be null) gets
// the number of bytes of text the match covers.
std::int32_t FindTextWildcard(const char* text, std::uint16_t textLength, const char* pattern,
                              std::uint16_t patternLength, std::uint32_t wildcards,
                              std::uint32_t ignoreCase, std::uint32_t ignoreAccents,
                              std::uint32_t wholeWord, std::uint16_t* matchLength);

// The byte offset of the first match of pattern that reaches the end of the
// text, or -1; with startOnly, only a match at the text's start counts. The
// pattern and the switches are read as FindTextWildcard reads them, but the
// "*" takes as much of the text as the rest of the pattern leaves, and a
// later match is tried where an earlier one ends before the text does.
// *matchLength (may be null) gets the bytes the match covers, 0 for none.
std::int32_t FindTextWildcardToEnd(const char* text, std::uint16_t textLength, const char* pattern,
                                   std::uint16_t patternLength, std::uint32_t wildcards, std::uint32_t ignoreCase,
                                   std::uint32_t ignoreAccents, std::uint32_t wholeWord, bool startOnly,
                                   std::uint16_t* matchLength);

// The search text of an operation run (its second argument) and its length
// (a3; 0 measures it). Null when the run has none.
const char* RunSearchText(const OperationRequest* context, std::uint16_t* length);

// FindTextWildcard with the run's search text, its wildcard switch and the
// chunk's case, accent and whole-word switches.
std::int32_t FindRunSearchText(const char* text, std::uint16_t textLength, const OperationRequest* context,
                               std::uint16_t* matchLength);

// Copies a matched text into the session's message buffer, cut to its
// capacity and terminated (the calling methods read the last match there).
void KeepMatchedText(const char* match, std::uint32_t length, OperationRequest* context);

// What replaces a match of matchLength bytes: the run's argument text, op2
// bytes of it (0 measures it; a null text is empty), or, when the run's
// request cuts replacements to their match, as many bytes as the match
// covers, never more than the argument holds. *length gets the byte count.
const char* RunReplacement(const OperationRequest* context, std::uint32_t matchLength, std::uint32_t* length);

// Rewrites text with every occurrence of the run's search text replaced, left
// to right without overlap, into the session's option-value buffer
// (terminated), each by RunReplacement. Each match
// is left in the message buffer. Returns the rewritten length, or -1 when the
// rewritten text would not fit the buffer (the buffer's contents are then
// undefined).
std::int32_t FindSearchTextInRun(const char* text, std::uint32_t textLength,
                                 OperationRequest* context);

} // namespace talix
