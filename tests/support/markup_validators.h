// Checks of generated markup: HTML through HTML Tidy's parser, XHTML through
// libxml2 (well-formed, and valid against its DTD, which the system's XML
// catalog supplies without network access).
#pragma once

#include <string>
#include <vector>

namespace talix_test {

// The number of errors Tidy reports for an HTML document (UTF-8); its
// diagnostics in *report when given.
int TidyErrors(const std::string& html, std::string* report = nullptr);

// The text of an HTML document's body as Tidy's parser reads it (UTF-8,
// character references decoded, scripts and styles left out).
std::string HtmlBodyText(const std::string& html);

// True when the text is well-formed XML (the entities of its DTD known);
// the parser's messages in *report when given. With deep, elements may nest
// past the 256 levels libxml2 takes by default.
bool XmlWellFormed(const std::string& xml, std::string* report = nullptr, bool deep = false);

// True when the document is well-formed and valid against the DTD its
// document type names.
bool XhtmlValid(const std::string& xhtml, std::string* report = nullptr);

// The text of an XHTML document's body as UTF-8, entities decoded (empty
// when the document does not parse).
std::string XhtmlBodyText(const std::string& xhtml);

// The text of every element of the names in an XHTML document, in
// document order (an element inside another counted in both); empty when
// the document does not parse.
std::vector<std::string> XhtmlElementTexts(const std::string& xhtml, const std::vector<std::string>& names);

} // namespace talix_test
