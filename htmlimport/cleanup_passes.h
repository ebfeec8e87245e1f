// The clean-up passes run over the import's tree after parsing, each over
// the whole tree in document order without recursion. The parser drivers
// choose which ones run, and in what order.
#pragma once

#include "htmlimport/html_dom.h"

namespace talix {

// ---- Markup simplification -------------------------------------------------

// What SimplifyMarkup does, each step as if it ran over the whole tree
// before the next one starts.
struct MarkupSteps {
    // A b inside a b, or an i inside an i, gives way to its children.
    bool nestedEmphasis = false;
    // A div without attributes whose first child is a p gives way to its
    // children.
    bool plainDivs = false;
    // A list (ul, ol, dir, menu) that holds content but no list item is
    // HTML's way of indenting; it becomes an implicit block quote holding
    // that content.
    bool listsToQuotes = false;
};

// The steps asked for, in one visit of the tree. True when a list became a
// block quote (else BQ2Div has nothing to do).
bool SimplifyMarkup(HtmlDocument& document, const MarkupSteps& steps);

// An implicit block quote becomes a div indented by 2em a level; one whose
// only child is a block quote absorbs it as one more level.
void BQ2Div(HtmlDocument& document);

// i becomes em and b becomes strong.
void EmFromI(HtmlDocument& document);

// ---- Word 2000 output --------------------------------------------------------

// True for a document saved by Word 2000 as a web page: its html element
// declares Word's "urn:schemas-microsoft-com:office:office" namespace as
// xmlns:o, or a head meta named "generator" has content beginning with
// "Microsoft Word".
bool IsWord2000(const HtmlDocument& document);

// Removes Word's conditional sections: "<![if ...]>" (but not
// "<![if !vml]>") with everything up to its matching "<![endif]>" (nested
// ones counted), and every other section tag alone. A pruned
// "<![if !supportEmptyParas]>" inside a table cell leaves a space in its
// place, so that the cell keeps a line.
void DropSections(HtmlDocument& document);

// Strips what Word adds to a web page: nothing when the html element does not
// declare xmlns:o; else the html element's attributes, style and meta
// elements, comments and "File-List" links go; span, font and o:p elements
// give way to their content; runs of p with class MsoListBullet, class
// MsoListNumber or an "mso-list:" style become items of a ul (an ol for
// MsoListNumber); runs of p with class "Code" are gathered into a pre, each
// followed by a br and without its spans; every element loses its style and
// lang attributes, a class beginning with "Mso", attributes named "x:...",
// and, on td, th and tr, its width and height. Empty paragraphs stay: they
// are lines of the document.
void CleanWord2000(HtmlDocument& document);

// ---- Fix-ups for the walk ------------------------------------------------------

// thead, tbody and tfoot give way to their rows; an empty one goes.
void UnwrapRowGroups(HtmlDocument& document);

// Line breaks that would only add an empty line: a td or th (with content)
// loses a last br, or a last font that holds nothing but a br; an li loses a
// last br; a single space between a br and a block that starts a line goes.
void DropTrailingBreaks(HtmlDocument& document);

// A td or th with a rowspan below 2 loses the attribute; one whose rowspan
// reaches past the last row of its run of rows gets the number of rows left
// (or loses the attribute when that is 1).
void TrimRowSpans(HtmlDocument& document);

} // namespace talix
