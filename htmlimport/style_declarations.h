// CSS declarations, the "name: value; name: value" texts of a style
// attribute and of a rule's block, parsed into a list of properties.
//
// Names are kept in lower case (CSS property names are compared without
// regard to case), values as written without the blanks around them. A
// semicolon inside quotes or parentheses (url(data:...;base64,...)) does
// not end a value; comments are dropped; a part without a colon or without
// a name is passed over. A name given twice keeps the place of its first
// occurrence and the value of its last, as CSS reads a block. Unterminated
// quotes, parentheses and comments end at the end of the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace talix {

struct HtmlNode;

struct StyleProp {
    std::string name;    // lower case
    std::string value;
};

class StyleDeclarations {
public:
    StyleDeclarations() = default;
    // Parses the text. Throws std::bad_alloc when memory runs out.
    explicit StyleDeclarations(std::string_view text);

    const std::vector<StyleProp>& Props() const { return props_; }
    bool Empty() const { return props_.empty(); }
    // The property of a lower-case name, or null.
    const StyleProp* Find(std::string_view lowerName) const;

private:
    std::vector<StyleProp> props_;
};

// The parsed inline style of a node, kept in the node for the document's life.
struct HtmlStyleCache {
    StyleDeclarations declarations;
};

// The node's parsed "style" attribute: parsed on the first call and kept in
// the node; null when the node has no style attribute (the attribute is then
// looked for again at the next call). Throws std::bad_alloc.
const StyleDeclarations* NodeStyle(const HtmlNode* node);

} // namespace talix
