// Closing open elements: everything opened after an element is closed with
// it, innermost first, through the close-tag stack, so that the markup stays
// well nested even where the records end constructs out of order.
#pragma once

#include <cstddef>

#include "htmlgen/close_tag_stack.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Pops the close-tag stack down to and including the innermost entry of
// tag (a tag no entry has, such as "*", pops everything) and, with write,
// writes each popped tag: appended to the zero-terminated text in buffer
// (capacity bytes with its terminator; a tag that does not fit is dropped),
// or, with no buffer, to the output at the write position, a line feed
// after a block closing tag under AddNewlines (not under quoted-printable).
// mustBeOpen: nothing happens unless an entry of tag is open. cellCheck:
// "</td>" and "</th>" close only inside a row or table, "</tr>" only inside
// a table, "</li>", "</div>" and "</p>" only inside a cell, row or table.
// listCheck: "</li>", "</ul>", "</ol>", "</div>" and "</p>" close only when
// open inside the current cell. Returns 1 when something was closed.
int CloseOpenXMLTags(XMLGenContext* context, const char* tag, int write, int mustBeOpen, char* buffer,
                               std::size_t capacity, int cellCheck, int listCheck);

// The same, always into the output.
int CloseOpenXMLTagsToOutput(XMLGenContext* context, const char* tag, int write, int mustBeOpen,
                                       int cellCheck, int listCheck);

// Closes the innermost open element of an inline kind and what was opened
// after it, as CloseOpenXMLTagsToOutput does for its closing tag. Returns 1
// when one was open. An element on top of the stack, as a run's mostly
// is, is closed in place; CloseInlineKindBelow closes any.
int CloseInlineKindBelow(XMLGenContext* context, InlineKind kind);
inline int CloseInlineKind(XMLGenContext* context, InlineKind kind) {
    if (kind != kInlineNone && context != nullptr && context->closeTagCount > 0 &&
        context->closeTags[context->closeTagCount - 1].kind == kind) {
        const char* tag = context->closeTags[context->closeTagCount - 1].tag;
        DropTopCloseTag(context);
        AppendOutput(context, tag, InlineCloseTagLength(kind));
        return 1;
    }
    return CloseInlineKindBelow(context, kind);
}

// Pops the top entry (the stack holds one) and writes its closing tag as
// CloseOpenXMLTagsToOutput writes it.
void CloseTopToOutput(XMLGenContext* context);

// Closes the given number of elements on top of the stack into the output,
// as CloseOpenXMLTagsToOutput writes them.
void ClosePoppedToOutput(XMLGenContext* context, std::uint32_t count);

// Closes the inline elements open on top of the stack (spans, font, bold,
// italic, underline, strike-through, superscript and subscript), innermost
// first, writing their closing tags to the output: a block element that
// starts or ends next never lies inside one. The text writers open them
// again in the next block, where the run goes on (they ask the stack what
// is open). Returns 1 when something was closed.
int CloseInlineElements(XMLGenContext* context);

// Before a block element that no paragraph may hold (a table, rule,
// section or layer): the inline elements close, and so does a paragraph
// element (UsePTags, StandardFontTags) open around them. Returns 1 when
// something was closed.
int CloseForBlock(XMLGenContext* context);

} // namespace talix
