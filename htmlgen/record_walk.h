// The record walk's entry points besides PrXMLStr (declared with the
// context): the step that closes the head and opens the body, which the
// walk takes before the first body record and GenerateXML takes when the
// chunk matched nothing.
#pragma once

#include "htmlgen/xml_gen_context.h"

namespace talix {

// Once per generation, for HTML and XHTML: unless Generation=Fragment, the
// head is closed (unless HeadTag= gave markup without a head start tag) and,
// with AddNewlines and without quoted-printable, a line feed follows; then
// the value of OpeningBody=, else (unless Generation=Fragment) "<body>".
void OpenBody(XMLGenContext* context);

} // namespace talix
