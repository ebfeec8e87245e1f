// The checks the awkward documents are held to, shared by their test and
// their fuzz target: a rendering through the text event (as the talix
// program streams one), and what independent readers say of it. HTML Tidy
// must find no error and no element left open across another's end,
// libxml2 must parse the XHTML, and every word the generator noted must be
// in the document's text. Pass-through HTML is copied into HTML 4.01 as it
// stands, so there the faults a snippet carries itself are excepted; XHTML
// excepts nothing.
#pragma once

#include <string>
#include <vector>

#include "support/awkward_documents.h"

class ZervaRTChunk;

namespace talix_test {

// The option sets the documents are rendered under, in turn: the default
// and the options that change the markup of paragraphs, fonts, lists,
// sections, tabbed tables, spaces and hidden text.
const std::vector<const char*>& AwkwardOptionSets();

// Renders the chunk in a format ("HTML", "XHTML") under the options, the
// markup handed on through the text event; the markup as UTF-8, or false
// and the failure.
bool RenderStreamed(ZervaRTChunk* chunk, const char* format, const char* options, std::string* markup,
                    std::string* failure);

// What the readers find wrong with a rendering of the document; empty when
// it passes.
std::string AwkwardProblems(const AwkwardDocument& document, const std::string& markup, bool xhtml);

} // namespace talix_test
