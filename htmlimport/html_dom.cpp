// The import's document tree: nodes from blocks of the document, strings
// from an arena, texts in one growing buffer.
#include "htmlimport/html_dom.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/kept_blocks.h"
#include "core/text_compare.h"
#include "htmlimport/style_declarations.h"

namespace talix {

namespace {

// Both kinds of block are of sizes the kept-block store keeps, so that the
// tree of an import is made in memory the last one left.
constexpr std::size_t kArenaBlock = 64 * 1024;
constexpr std::size_t kNodeBlock = 128 * 1024;
constexpr std::size_t kNodesPerBlock = kNodeBlock / sizeof(HtmlNode);
static_assert(std::is_trivially_destructible_v<HtmlNode>);

bool IsNamedElement(const HtmlNode* node, const char* name, const char* second) {
    if (!node->IsElement() || node->name == nullptr) return false;
    if (CompareNamesNoCase(node->name, name) == 0) return true;
    return second != nullptr && CompareNamesNoCase(node->name, second) == 0;
}

} // namespace

HtmlDocument::HtmlDocument() {
    try {
        // Offset 0 holds no text, so that a text node of the source never ends at 0.
        AppendText(std::string_view("\0", 1));
        root_ = NewNode();
    } catch (...) {
        Release();
        throw;
    }
    root_->type = HtmlNodeType::kRoot;
}

HtmlDocument::~HtmlDocument() { Release(); }

void HtmlDocument::Release() {
    for (std::size_t b = 0; b < nodeBlocks_.size(); ++b) {
        const std::size_t used = b + 1 == nodeBlocks_.size() ? nodesInLastBlock_ : kNodesPerBlock;
        for (std::size_t i = 0; i < used; ++i) {
            HtmlNode& node = nodeBlocks_[b][i];
            delete node.style;
            node.style = nullptr;
        }
        GiveBackKeptBlock(nodeBlocks_[b], kNodeBlock);
    }
    nodeBlocks_.clear();
    for (const Block& block : blocks_) GiveBackKeptBlock(block.memory, block.size);
    blocks_.clear();
    GiveBackKeptBlock(text_, textCapacity_);
    text_ = nullptr;
    textSize_ = textCapacity_ = 0;
}

HtmlDocument::Block HtmlDocument::TakeBlock(std::size_t size) {
    // The list's entry first, so that a block taken is never lost.
    blocks_.push_back(Block{nullptr, size});
    blocks_.back().memory = TakeKeptBlock(size);
    if (blocks_.back().memory == nullptr) {
        blocks_.pop_back();
        throw std::bad_alloc();
    }
    return blocks_.back();
}

void* HtmlDocument::Allocate(std::size_t size, std::size_t alignment) {
    std::size_t pad = reinterpret_cast<std::uintptr_t>(blockCursor_) % alignment;
    pad = pad == 0 ? 0 : alignment - pad;
    if (blockCursor_ == nullptr || size + pad > blockLeft_) {
        const std::size_t blockSize = size + alignment > kArenaBlock ? size + alignment : kArenaBlock;
        blockCursor_ = static_cast<unsigned char*>(TakeBlock(blockSize).memory);
        blockLeft_ = blockSize;
        pad = reinterpret_cast<std::uintptr_t>(blockCursor_) % alignment;
        pad = pad == 0 ? 0 : alignment - pad;
    }
    void* result = blockCursor_ + pad;
    blockCursor_ += pad + size;
    blockLeft_ -= pad + size;
    return result;
}

HtmlNode* HtmlDocument::NewNode() {
    if (nodeBlocks_.empty() || nodesInLastBlock_ == kNodesPerBlock) {
        nodeBlocks_.push_back(nullptr);
        nodeBlocks_.back() = static_cast<HtmlNode*>(TakeKeptBlock(kNodeBlock));
        if (nodeBlocks_.back() == nullptr) {
            nodeBlocks_.pop_back();
            throw std::bad_alloc();
        }
        nodesInLastBlock_ = 0;
    }
    ++nodeCount_;
    return new (&nodeBlocks_.back()[nodesInLastBlock_++]) HtmlNode{};
}

const char* HtmlDocument::CopyString(std::string_view text) {
    char* copy = static_cast<char*>(Allocate(text.size() + 1, 1));
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

std::string_view HtmlDocument::Text(const HtmlNode* node) const {
    if (node == nullptr || node->end <= node->start || node->end > textSize_) return {};
    return std::string_view(text_ + node->start, node->end - node->start);
}

std::uint32_t HtmlDocument::AppendText(std::string_view text) {
    const std::uint32_t start = TextEnd();
    if (text.size() > UINT32_MAX - start) throw std::bad_alloc();
    if (textSize_ + text.size() > textCapacity_) {
        const std::size_t capacity = std::max(kSmallestKeptBlock, std::bit_ceil(textSize_ + text.size()));
        auto* grown = static_cast<char*>(TakeKeptBlock(capacity));
        if (grown == nullptr) throw std::bad_alloc();
        if (textSize_ > 0) std::memcpy(grown, text_, textSize_);
        GiveBackKeptBlock(text_, textCapacity_);
        text_ = grown;
        textCapacity_ = capacity;
    }
    if (!text.empty()) std::memcpy(text_ + textSize_, text.data(), text.size());
    textSize_ += text.size();
    return start;
}

HtmlNode* HtmlDocument::NewElement(std::string_view name, HtmlNodeType type) {
    HtmlNode* node = NewNode();
    node->type = type;
    node->name = CopyString(name);
    node->tag = LookupHtmlTag(name);
    tagsMade_.set(static_cast<std::size_t>(node->tag));
    return node;
}

HtmlNode* HtmlDocument::NewTextNode(HtmlNodeType type, std::string_view text) {
    HtmlNode* node = NewNode();
    node->type = type;
    node->start = AppendText(text);
    node->end = TextEnd();
    return node;
}

HtmlAttr* HtmlDocument::AddAttribute(HtmlNode* node, std::string_view name, const char* value,
                                     std::size_t valueLength) {
    auto* attr = new (Allocate(sizeof(HtmlAttr), alignof(HtmlAttr))) HtmlAttr{};
    attr->name = CopyString(name);
    attr->value = value != nullptr ? CopyString(std::string_view(value, valueLength)) : nullptr;
    HtmlAttr** slot = &node->attributes;
    while (*slot != nullptr) slot = &(*slot)->next;
    *slot = attr;
    return attr;
}

void HtmlDocument::AppendChild(HtmlNode* parent, HtmlNode* child) {
    child->parent = parent;
    child->next = nullptr;
    child->prev = parent->lastChild;
    if (parent->lastChild != nullptr) parent->lastChild->next = child;
    else parent->firstChild = child;
    parent->lastChild = child;
}

void HtmlDocument::InsertBefore(HtmlNode* reference, HtmlNode* node) {
    HtmlNode* parent = reference->parent;
    node->parent = parent;
    node->next = reference;
    node->prev = reference->prev;
    if (reference->prev != nullptr) reference->prev->next = node;
    else if (parent != nullptr) parent->firstChild = node;
    reference->prev = node;
}

void HtmlDocument::Unlink(HtmlNode* node) {
    HtmlNode* parent = node->parent;
    if (node->prev != nullptr) node->prev->next = node->next;
    else if (parent != nullptr) parent->firstChild = node->next;
    if (node->next != nullptr) node->next->prev = node->prev;
    else if (parent != nullptr) parent->lastChild = node->prev;
    node->parent = node->prev = node->next = nullptr;
}

HtmlNode* HtmlDocument::ReplaceWithChildren(HtmlNode* node) {
    HtmlNode* first = node->firstChild;
    HtmlNode* last = node->lastChild;
    if (first == nullptr) {
        HtmlNode* following = node->next;
        Unlink(node);
        return following;
    }
    HtmlNode* parent = node->parent;
    for (HtmlNode* child = first; child != nullptr; child = child->next) child->parent = parent;
    first->prev = node->prev;
    last->next = node->next;
    if (node->prev != nullptr) node->prev->next = first;
    else if (parent != nullptr) parent->firstChild = first;
    if (node->next != nullptr) node->next->prev = last;
    else if (parent != nullptr) parent->lastChild = last;
    node->parent = node->prev = node->next = node->firstChild = node->lastChild = nullptr;
    return first;
}

void HtmlDocument::Rename(HtmlNode* node, const char* name) {
    node->name = name;
    node->tag = LookupHtmlTag(name);
}

void HtmlDocument::SetAttribute(HtmlNode* node, std::string_view name, std::string_view value) {
    for (HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
        if (EqualNoCase(name.data(), name.size(), attr->name)) {
            attr->value = CopyString(value);
            return;
        }
    }
    AddAttribute(node, name, value.data(), value.size());
}

void HtmlDocument::RemoveAttribute(HtmlNode* node, std::string_view name) {
    HtmlAttr** slot = &node->attributes;
    while (*slot != nullptr) {
        if (EqualNoCase(name.data(), name.size(), (*slot)->name)) *slot = (*slot)->next;
        else slot = &(*slot)->next;
    }
}

HtmlNode* NextOutside(HtmlNode* node, const HtmlNode* top) {
    while (node != nullptr && node != top) {
        if (node->next != nullptr) return node->next;
        node = node->parent;
    }
    return nullptr;
}

const HtmlAttr* FindAttribute(const HtmlNode* node, std::string_view name) {
    if (node == nullptr) return nullptr;
    for (const HtmlAttr* attr = node->attributes; attr != nullptr; attr = attr->next) {
        if (EqualNoCase(name.data(), name.size(), attr->name)) return attr;
    }
    return nullptr;
}

const char* AttributeValue(const HtmlNode* node, std::string_view name) {
    const HtmlAttr* attr = FindAttribute(node, name);
    if (attr == nullptr) return nullptr;
    return attr->value != nullptr ? attr->value : "";
}

const HtmlNode* FindAncestorElement(const HtmlNode* node, const char* name, const char* second) {
    if (node == nullptr || name == nullptr || name[0] == '\0') return nullptr;
    for (const HtmlNode* up = node->parent; up != nullptr; up = up->parent) {
        if (IsNamedElement(up, name, second)) return up;
    }
    return nullptr;
}

int CountEnclosingLists(const HtmlNode* node, const char* name, const char* second) {
    if (node == nullptr || name == nullptr || name[0] == '\0') return 0;
    int count = 0;
    for (const HtmlNode* up = node->parent; up != nullptr; up = up->parent) {
        if (IsNamedElement(up, name, second)) ++count;
    }
    return count;
}

bool CheckTreeIntegrity(const HtmlDocument& document) {
    const HtmlNode* root = document.Root();
    if (root->parent != nullptr || root->prev != nullptr || root->next != nullptr) return false;
    // One visit per node, in document order: each node is checked against
    // the parent and the sibling it is reached from, each child list's end
    // against its parent's last child. A tree holds no more nodes than were
    // made, so a longer walk is a cycle.
    std::size_t budget = document.NodeCount() + 1;
    const HtmlNode* parent = root;
    const HtmlNode* previous = nullptr;
    const HtmlNode* node = root->firstChild;
    for (;;) {
        if (node != nullptr) {
            if (node->parent != parent || node->prev != previous || budget-- == 0) return false;
            if (node->firstChild != nullptr) {
                parent = node;
                previous = nullptr;
                node = node->firstChild;
            } else {
                if (node->lastChild != nullptr) return false;
                previous = node;
                node = node->next;
            }
            continue;
        }
        // The end of the parent's child list; on with the parent's next sibling.
        if (parent->lastChild != previous) return false;
        if (parent == root) return true;
        previous = parent;
        node = parent->next;
        parent = parent->parent;
    }
}

} // namespace talix
