// Searches of the import's tree by element name, attribute value and text.
#include "htmlimport/node_search.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "talix_platform.h"

namespace talix {

namespace {

// An element name as the searches compare it: by id when the import knows
// the name, else by its text.
struct WantedName {
    const char* text = nullptr;
    HtmlTag tag = HtmlTag::kUnknown;

    explicit WantedName(const char* name) : text(name) {
        if (name != nullptr) tag = LookupHtmlTag(name);
    }
    bool Matches(const HtmlNode* node) const {
        if (text == nullptr || !node->IsElement() || node->name == nullptr) return false;
        if (tag != HtmlTag::kUnknown) return node->tag == tag;
        return std::strcmp(node->name, text) == 0;
    }
};

// The search order of FindHTMLElementByName over any test: each sibling
// list whole, then the children of each of its nodes in turn. The stack
// holds, per open list, the node whose children come next.
template <typename Test>
const HtmlNode* SearchInOrder(const HtmlNode* first, const Test& matches, const HtmlNode* after, int* passed) {
    bool met = after == nullptr || (passed != nullptr && *passed != 0);
    auto scan = [&](const HtmlNode* list) -> const HtmlNode* {
        for (const HtmlNode* node = list; node != nullptr; node = node->next) {
            if (node == after) {
                met = true;
                if (passed != nullptr) *passed = 1;
                continue;
            }
            if (met && matches(node)) return node;
        }
        return nullptr;
    };
    if (first == nullptr) return nullptr;
    if (const HtmlNode* found = scan(first)) return found;
    std::vector<const HtmlNode*> pending{first};
    while (!pending.empty()) {
        const HtmlNode* node = pending.back();
        if (node == nullptr) {
            pending.pop_back();
            continue;
        }
        pending.back() = node->next;
        if (node->firstChild == nullptr) continue;
        if (const HtmlNode* found = scan(node->firstChild)) return found;
        pending.push_back(node->firstChild);
    }
    return nullptr;
}

bool Inside(const HtmlNode* node, const HtmlNode* top) {
    for (const HtmlNode* at = node; at != nullptr; at = at->parent)
        if (at == top) return true;
    return false;
}

} // namespace

const HtmlNode* FindHTMLElementByName(const HtmlNode* first, const char* name, const char* second,
                                      const HtmlNode* after, int* passed) {
    const WantedName one(name);
    const WantedName two(second);
    return SearchInOrder(first, [&](const HtmlNode* node) { return one.Matches(node) || two.Matches(node); }, after,
                         passed);
}

const HtmlNode* FindElementWithAttr(const HtmlNode* first, const char* element, const char* attribute,
                                    const char* value) {
    if (attribute == nullptr || value == nullptr) return nullptr;
    const WantedName wanted(element);
    return SearchInOrder(
        first,
        [&](const HtmlNode* node) {
            if (!wanted.Matches(node)) return false;
            const HtmlAttr* attr = FindAttribute(node, attribute);
            return attr != nullptr && attr->value != nullptr && std::strcmp(attr->value, value) == 0;
        },
        nullptr, nullptr);
}

const HtmlNode* FindTextNode(const HtmlNode* node, const HtmlNode* pass, std::uint32_t minimumEnd) {
    if (node == nullptr) return nullptr;
    auto* top = const_cast<HtmlNode*>(node);
    HtmlNode* at = top;
    if (pass != nullptr && Inside(pass, node)) at = NextInside(const_cast<HtmlNode*>(pass), top);
    for (; at != nullptr; at = NextInside(at, top)) {
        if (at == pass || at->type != HtmlNodeType::kText || at->end <= at->start) continue;
        if (minimumEnd != 0 && at->end <= minimumEnd) continue;
        return at;
    }
    return nullptr;
}

std::uint32_t NodeTextToNative(const HTMLImportContext* import, const HtmlNode* textNode, char* buffer,
                               std::uint32_t capacity, const char* defaultText) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::string_view text;
    if (textNode != nullptr) {
        if (import != nullptr && import->document != nullptr) text = import->document->Text(textNode);
    } else if (defaultText != nullptr) {
        text = defaultText;
    }
    const auto limit = static_cast<plat::DWORD>(text.size() < capacity - 1 ? text.size() : capacity - 1);
    const std::uint32_t length = text.empty() ? 0 : plat::LmbcsByteLength(text.data(), limit, limit);
    if (length > 0) std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return length;
}

} // namespace talix
