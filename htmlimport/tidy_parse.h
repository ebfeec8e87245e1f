// Parsing HTML with the HTML Tidy library and copying its tree into the
// import's own document tree. The library parses and nothing more: no
// clean-up pass of its own runs (except its clean-and-repair when the
// caller asks for "clean"), and none of its options that would change what
// the import sees is on (backslashes and URIs are left as written, empty
// elements and paragraphs are kept, literal attribute values keep their
// case). "v:imagedata", "w:wrap" and "inputtarea" are declared as empty
// inline elements and "o:p" as an inline one, so that HTML holding them
// parses without errors. Diagnostics are counted, never shown.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include <tidy/tidy.h>

#include "core/statuses.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/markup_bounds.h"

namespace talix {

struct ItemRecordList;

struct TidyParseRequest {
    // The input: UTF-8 text, or the text of a record list's records
    // (record_source.h).
    std::string_view utf8;
    ItemRecordList* records = nullptr;
    // How many bytes the input has: the parse's budget of work grows with it.
    std::size_t bytes = 0;
    bool xmlInput = false;   // parse as XML
    bool clean = false;      // the library's clean-and-repair (presentational markup to style rules)
    // Elements the library does not know (custom elements, names of other
    // vocabularies) taken as inline elements, as a browser takes them: the
    // input is parsed again with their names declared. Otherwise the
    // library drops their tags and counts an error.
    bool unknownAsInline = false;
};

struct TidyParseResult {
    std::unique_ptr<HtmlDocument> document;
    unsigned errors = 0;     // the library's counts of the parse
    unsigned warnings = 0;
    HtmlBoundMet bound;      // the bound the markup passed (status 14410)
};

// Sets a fresh document of the library up as the import parses with: its
// diagnostics silenced and counted, UTF-8 input, nothing changed that the
// import would see, the import's own tags declared; XML input when asked.
void ConfigureImportParser(TidyDoc doc, bool xmlInput);

// Parses the input within the import's bounds (markup_bounds.h) and copies
// the tree. The size, the attributes of each element and the fonts opened
// again are measured before the parse; the nesting as the parser builds its
// tree (parse_budget.h). Returns 0 (the document is set, also when the
// library counted errors), 14410 when the markup passed a bound
// (result->bound says which and where), 263 when memory or a stack for the
// parse cannot be had, or 257 when the library worked past the parse's
// budget (an input it does not end on).
STATUS ParseWithTidy(const TidyParseRequest& request, TidyParseResult* result);

// The levels of the library's tree below its root (walked without recursion).
std::size_t ParserTreeLevels(TidyDoc doc);

// How deep (in bytes of stack) the parser may stand below the start of a
// parse: what kMaxHtmlNesting levels take, measured once per process on
// nested inputs of every kind of element, so that it holds for the
// library as built.
std::size_t ParserDescentLimit();

} // namespace talix
