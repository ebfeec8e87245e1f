// The other attributes an author typed for an element (the extra text of an
// id/name record, a table's or cell's other attributes), made fit for the
// start tag they are written into: whatever the text holds, it stays a list
// of attributes of that element and never ends the tag or opens markup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talix {

// The attributes of the text as XML takes them (for XHTML, and for HTML
// under AutoQuoteHTMLParams): read as a browser reads attributes in a start
// tag (a name, then "=" and a value in double or single quotes or up to the
// next white space), each written with a value in quotes. A value in quotes
// keeps its quotes; an unquoted one is put in double quotes, its quote
// characters as "&quot;"; a value that was never closed is closed; an
// attribute without a value gets its name as its value; "<" and ">" become
// "&lt;" and "&gt;", an "&" that starts no character reference "&amp;". An
// attribute whose name XML does not allow, or whose name (in any case) is in
// *taken, is left out; the names written are added to *taken (may be null).
// Characters XML does not allow leave nothing. White space between
// attributes stays as it is; a blank is added where two would touch.
std::string QuotedAttributes(std::string_view text, std::vector<std::string>* taken = nullptr);

// The same reading for HTML under AutoQuoteHTMLParams: every value in quotes
// (an unclosed one closed, quote characters inside an unquoted one as
// "&quot;"), "<" and ">" as entities; names and attributes without a value
// are kept as they are.
std::string HtmlQuotedAttributes(std::string_view text);

// The text as it is, for HTML without AutoQuoteHTMLParams, but for what
// would end the start tag: "<" and ">" outside a quoted value become
// "&lt;" and "&gt;", and a quoted value that is never closed is closed.
std::string ContainedAttributes(std::string_view text);

// Takes the first attribute of the name (any case) out of the text, as a
// start tag's reader finds it, with the white space before it: its value
// (without its quotes) into *value. False, the text unchanged, when the text
// has no such attribute.
bool TakeAttribute(std::string* text, std::string_view name, std::string* value);

// Whether the text holds an attribute of the name (any case), as a start
// tag's reader finds it: a whole name, not a part of a longer one nor text
// inside another attribute's value; with withValue, only one given a value.
bool HasAttribute(std::string_view text, std::string_view name, bool withValue);

// The names (in lower case) of the attributes of the start tag the text
// ends in: the text after its last "<", when that holds an element name and
// no ">". Empty when the text does not end in an open start tag.
std::vector<std::string> OpenStartTagNames(std::string_view text);

} // namespace talix
