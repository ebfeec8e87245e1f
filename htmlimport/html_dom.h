// The HTML import's own document tree. The parser's tree is copied into it
// once; every clean-up pass and the walk read and change this tree only.
//
// One node type serves every kind of node (the root, elements, text,
// comments, sections ...). A node has its parent, both siblings and both
// ends of its child list, so every step of a walk (down, up, sideways) and
// every link or unlink is O(1). Element nodes carry their name, the name's
// id and their attributes in document order; text-like nodes (text,
// comments, sections, CDATA, processing instructions) carry their text as
// start and end offsets into the document's text buffer, in the platform's
// own character set (LMBCS). Byte 0 of that buffer is never used by a text,
// so a node's end offset is 0 only when it holds no text of the source.
//
// All nodes, names, attribute values and texts belong to the HtmlDocument and
// go with it; an unlinked node stays valid until then. The building and
// editing calls that allocate throw std::bad_alloc when memory runs out; the
// parser drivers turn that into status 263.
#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "htmlimport/html_tags.h"

namespace talix {

struct CDRecordNode;
struct HtmlStyleCache;

// Node types, numbered as the parser numbers them.
enum class HtmlNodeType : std::uint8_t {
    kRoot = 0,
    kDocType = 1,
    kComment = 2,
    kProcessingInstruction = 3,
    kText = 4,
    kStartTag = 5,
    kEndTag = 6,
    kStartEndTag = 7,   // an empty element written as one tag
    kCData = 8,
    kSection = 9,       // "<![if ...]>" and "<![endif]>"
    kAsp = 10,
    kJste = 11,
    kPhp = 12,
    kXmlDeclaration = 13,
};

struct HtmlAttr {
    const char* name = nullptr;    // terminated; lower case for HTML input
    const char* value = nullptr;   // terminated native text, or null for an attribute given without a value
    HtmlAttr* next = nullptr;      // the next attribute in document order
};

struct HtmlNode {
    HtmlNode* parent = nullptr;
    HtmlNode* prev = nullptr;
    HtmlNode* next = nullptr;
    HtmlNode* firstChild = nullptr;
    HtmlNode* lastChild = nullptr;

    const char* name = nullptr;    // element name; null for every other node
    HtmlTag tag = HtmlTag::kUnknown;
    HtmlNodeType type = HtmlNodeType::kRoot;
    // Set on an element that a clean-up pass made in place of markup the
    // HTML only implied (a list used to indent becomes such a block quote).
    bool implicit = false;
    HtmlAttr* attributes = nullptr;

    // The node's text: [start, end) of the document's text buffer.
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    // The parsed inline style, filled by the style look-up on first use (a
    // cache, so also on a const node) and released with the document.
    mutable HtmlStyleCache* style = nullptr;
    // The import-list record at which the element's conversion began.
    CDRecordNode* firstRecord = nullptr;
    // Where the walk's memo keeps what it found for the node (0: nowhere
    // yet); the memo checks that the place is the node's before it reads it.
    mutable std::uint32_t memoSlot = 0;

    bool IsElement() const { return type == HtmlNodeType::kStartTag || type == HtmlNodeType::kStartEndTag; }
    bool Is(HtmlTag wanted) const { return IsElement() && tag == wanted; }
};

class HtmlDocument {
public:
    HtmlDocument();
    ~HtmlDocument();
    HtmlDocument(const HtmlDocument&) = delete;
    HtmlDocument& operator=(const HtmlDocument&) = delete;

    HtmlNode* Root() { return root_; }
    const HtmlNode* Root() const { return root_; }

    // The text buffer and the text of a node (empty for elements).
    const char* TextBuffer() const { return text_; }
    std::string_view Text(const HtmlNode* node) const;

    // Building. The new node is not linked anywhere yet.
    HtmlNode* NewElement(std::string_view name, HtmlNodeType type = HtmlNodeType::kStartTag);
    // A text-like node of a type whose text is appended to the buffer.
    HtmlNode* NewTextNode(HtmlNodeType type, std::string_view text);
    // Appends text to the buffer and returns its start offset; the caller
    // sets the node's offsets (for text written in pieces).
    std::uint32_t AppendText(std::string_view text);
    std::uint32_t TextEnd() const { return static_cast<std::uint32_t>(textSize_); }
    // Adds an attribute after the node's last one; a null value makes an
    // attribute without value.
    HtmlAttr* AddAttribute(HtmlNode* node, std::string_view name, const char* value, std::size_t valueLength);
    // A terminated copy that lives with the document.
    const char* CopyString(std::string_view text);

    // Editing.
    static void AppendChild(HtmlNode* parent, HtmlNode* child);
    static void InsertBefore(HtmlNode* reference, HtmlNode* node);
    // Takes the node (with its children) out of the tree.
    static void Unlink(HtmlNode* node);
    // Puts the node's children in its place, in order, and unlinks it.
    // Returns the first child moved up, or the node's next sibling when it
    // had no children.
    static HtmlNode* ReplaceWithChildren(HtmlNode* node);
    // Gives an element another name (and the name's id); name must live as
    // long as the document (a literal or a CopyString result).
    static void Rename(HtmlNode* node, const char* name);
    // Sets the value of the first attribute of the name, or adds one.
    void SetAttribute(HtmlNode* node, std::string_view name, std::string_view value);
    // Removes every attribute of the name (compared without regard to case).
    static void RemoveAttribute(HtmlNode* node, std::string_view name);

    // Number of nodes made; for tests and benchmarks.
    std::size_t NodeCount() const { return nodeCount_; }

    // False when no element with this id was ever made by NewElement, so a
    // pass that acts only on such elements has nothing to do. Renaming does
    // not count: a pass that renames tells its followers itself.
    bool MayHold(HtmlTag tag) const { return tagsMade_.test(static_cast<std::size_t>(tag)); }

private:
    void* Allocate(std::size_t size, std::size_t alignment);
    HtmlNode* NewNode();

    // A block of kept-block memory and its size.
    struct Block {
        void* memory;
        std::size_t size;
    };
    Block TakeBlock(std::size_t size);
    // Gives back every block the document holds.
    void Release();

    // The texts, one after the other, in a buffer of kept-block memory that
    // doubles as it fills.
    char* text_ = nullptr;
    std::size_t textSize_ = 0;
    std::size_t textCapacity_ = 0;
    std::vector<Block> blocks_;
    unsigned char* blockCursor_ = nullptr;
    std::size_t blockLeft_ = 0;
    std::vector<HtmlNode*> nodeBlocks_;
    std::size_t nodesInLastBlock_ = 0;
    std::size_t nodeCount_ = 0;
    HtmlNode* root_ = nullptr;
    std::bitset<static_cast<std::size_t>(HtmlTag::kXmp) + 1> tagsMade_;
};

// The next node of a walk in document order that does not enter node's
// children: its next sibling, else the next sibling of the nearest ancestor
// below top that has one; null at the end.
HtmlNode* NextOutside(HtmlNode* node, const HtmlNode* top);
// The next node in document order below top (entering children first).
inline HtmlNode* NextInside(HtmlNode* node, const HtmlNode* top) {
    return node->firstChild != nullptr ? node->firstChild : NextOutside(node, top);
}

// Attribute look-up: the first attribute of the name, compared without
// regard to case, or null.
const HtmlAttr* FindAttribute(const HtmlNode* node, std::string_view name);
// Its value: "" for an attribute without value, null when absent.
const char* AttributeValue(const HtmlNode* node, std::string_view name);

// The nearest ancestor (from the parent upward) that is an element named name
// or second (compared without regard to case; second may be null); null when
// none or when name is null or empty.
const HtmlNode* FindAncestorElement(const HtmlNode* node, const char* name, const char* second);
// How many ancestors are such elements (the walk asks with "ol" and "ul" for
// the list nesting depth).
int CountEnclosingLists(const HtmlNode* node, const char* name, const char* second);

// True when every link of the tree agrees with its neighbours: each child's
// parent is the node whose child list holds it, sibling links run both ways,
// and each list's first and last child are its ends.
bool CheckTreeIntegrity(const HtmlDocument& document);

} // namespace talix
