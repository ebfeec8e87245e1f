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

namespace talix {

class RecordTextSource;

struct TidyParseRequest {
    // The input: UTF-8 text, or the text of a record list.
    std::string_view utf8;
    RecordTextSource* records = nullptr;
    // How many "<" the input holds: no element nests deeper than that, and
    // the parse gets a stack for that depth.
    std::size_t tagOpenings = 0;
    // How many bytes the input has: the parse's budget of work grows with it.
    std::size_t bytes = 0;
    bool xmlInput = false;   // parse as XML
    bool clean = false;      // the library's clean-and-repair (presentational markup to style rules)
};

struct TidyParseResult {
    std::unique_ptr<HtmlDocument> document;
    unsigned errors = 0;     // the library's counts of the parse
    unsigned warnings = 0;
};

// Sets a fresh document of the library up as the import parses with: its
// diagnostics silenced and counted, UTF-8 input, nothing changed that the
// import would see, the import's own tags declared; XML input when asked.
void ConfigureImportParser(TidyDoc doc, bool xmlInput);

// Parses the input and copies the tree. Returns 0 (the document is set,
// also when the library counted errors), 263 when memory or a stack for
// the parse cannot be had, or 257 when the library worked past the parse's
// budget (an input it does not end on; see parse_budget.h).
STATUS ParseWithTidy(const TidyParseRequest& request, TidyParseResult* result);

} // namespace talix
