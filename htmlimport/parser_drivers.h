// The three parser drivers of the HTML import: each reads its input (a
// buffer, the text records of an item, a file), parses it into the import
// context's document tree under the parser keywords of its option text,
// checks the tree and runs its own sequence of clean-up passes:
//
//   pass                         buffer   rich text   file
//   SimplifyMarkup, in one visit:
//     nested emphasis            yes      yes         yes
//     plain divs                 yes      -           -
//     lists to block quotes      yes      yes         yes
//   BQ2Div                       yes      yes         yes
//   the Word 2000 test           kept in the context (buffer only)
//   DropSections (Word 2000)     yes      yes         -
//   CleanWord2000 (Word 2000)    yes      yes         yes
//   UnwrapRowGroups              yes      yes         yes
//   DropTrailingBreaks           yes      yes         yes
//   TrimRowSpans                 -        -           yes
//
// Every parse starts from the same parser settings: nothing one call sets
// stays for the next. Parser keywords found in the parser option text (as
// flag words): "xml" parses the input as XML (no passes run); "clean" has the
// parser turn presentational markup into style rules, on its own tree before
// the copy (so before the passes above rather than after them); "errors"
// parses without converting. The other keywords ("indent", "asxml",
// "omit", "upper", "numeric", "change", "quiet", "slides", "Wrap=") shape
// only the parser's written output, which the import never asks for.
//
// Statuses: 0 (parsed; the parser may have counted errors, which the
// conversion reports), 257 (the tree lost its integrity, or the parser did
// not come to an end), 259 (no input), 263 (out of memory), 14409 (URL
// images, buffer driver only), 14410 (past a bound of the parser's work,
// markup_bounds.h, with a message naming it and the byte).
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
struct ItemRecordList;
struct BuildContext;

// HTML text of length bytes (0: a terminated text). The encoding comes from
// "Charset=" or "CharEncoding=" of the import's option text, else from the
// parser options. Also sets the context's link text (notes.ini
// "ZelundaDocLinkText", else "Link"; without enclosing double quotes, at
// most 64 characters) and its Word 2000 flag. Unless notes.ini
// "ZelundaNoImageSkip" is set, a document with URL images is refused with
// 14409 and the message "<prefix>: Rendering skipped due to URL images".
STATUS ParseHTMLBuffer(const char* text, std::uint32_t length, const char* parserOptions,
                       HTMLImportContext* import, BuildContext* context);

// The text of the source list's text and paragraph records (the platform's
// own text, whatever "CharEncoding=" says). With "MarkPassthruHTML=Yes" in
// the import's option text, the text between "PassthruHTMLStart=" and
// "PassthruHTMLEnd=" is marked first (1028 when a marker is missing).
STATUS ParseHTMLFromRichText(ItemRecordList* source, void* auxiliary, const char* parserOptions,
                             HTMLImportContext* import);

// An HTML file, read in the encoding "CharEncoding=" of the import's option
// text or of the parser options names (UTF-8 when neither does); 259 when
// it cannot be read.
STATUS ParseHTMLFile(const char* path, const char* parserOptions, HTMLImportContext* import);

// True when the node, a following sibling or a descendant of these is an img
// whose first "src" attribute has a value not beginning with "cid:" (both
// compared without regard to case); an src without a value does not count.
bool ContainsURLImage(const HtmlNode* node);

} // namespace talix
