// The two passes the tree walk of an HTML import makes over each element:
// the start pass when the walk meets the element (it decides whether the
// children are walked), and the closing pass after its children.
#pragma once

#include <cstdint>

#include "core/record_layouts.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
class HtmlDocument;
struct BuildContext;

// What the walk does after an element's start pass.
enum class StartAction : std::uint8_t {
    kWalkChildren,   // the children, then the closing pass (the normal case)
    kSkipChildren,   // no children; the closing pass still runs
    kSkipElement,    // on to the next sibling: no children and no closing pass
    kEndSiblings,    // the siblings after the element are not walked either
};

// What the walk keeps of an element from its start pass to its closing
// pass: the font a heading restores when it ends (its size, and whether
// bold is taken off), and whether a table was converted (a table nested
// too deep, or without rows, is walked as the content around it).
struct ElementMemo {
    bool restoreFont = false;
    std::uint8_t restoreSize = 0;
    bool restoreClearsBold = false;
    bool tableConverted = false;
    // A block inside a list item: the paragraph definition and reference
    // in force when it began, which are in force again when it ends, so
    // that the items after it stay items of their list.
    bool restoresItemParagraph = false;
    std::uint16_t itemReferenceId = 0;
    std::uint32_t itemDefinitionLength = 0;
    std::uint8_t itemDefinition[kParagraphImageSize] = {};
    // A division: the paragraph definition in force when it began, on
    // which the paragraph after it is modelled (a list inside it makes its
    // own definition the current one).
    bool restoresBlockDefinition = false;
    std::uint32_t blockDefinitionLength = 0;
    std::uint8_t blockDefinition[kParagraphImageSize] = {};
};

// The start pass of a start tag or empty element: the element handlers in
// their order, the first whose element name matches (compared without
// regard to case).
StartAction StartElement(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                                   ElementMemo* memo);

// The start pass of div, p, blockquote and center: the block preamble,
// then the block's paragraph (definition, reference, border, empty run)
// unless the block opens none.
StartAction StartBlockParagraph(BuildContext* context, HTMLImportContext* import,
                                          HtmlNode* node);

// The closing pass of a start tag: restores what its start changed and
// writes the records that end its structure.
void CloseElement(BuildContext* context, HTMLImportContext* import, HtmlNode* node,
                            const ElementMemo& memo);

// Whether the node is a text node of blanks, tabs and line ends only: what
// stands between two blocks and shows nothing.
bool IsBlankText(const HtmlDocument& document, const HtmlNode* node);

// Writes the page colour the body gave ("$PaperColorEx" and "$PaperColor"
// of the note), once the walk has worked; a failure is kept as the
// import's.
void WritePaperColor(BuildContext* context, HTMLImportContext* import);

} // namespace talix
