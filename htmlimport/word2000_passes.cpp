// Recognising and cleaning the HTML that Word 2000 writes for a web page.

#include <cstring>
#include <string_view>
#include <vector>

#include "core/text_compare.h"
#include "htmlimport/cleanup_passes.h"

namespace talix {

namespace {

constexpr const char* kOfficeNamespace = "urn:schemas-microsoft-com:office:office";

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool ValueIs(const HtmlNode* node, const char* name, const char* wanted) {
    const char* value = AttributeValue(node, name);
    return value != nullptr && std::strcmp(value, wanted) == 0;
}

const HtmlNode* ChildElement(const HtmlNode* node, HtmlTag tag) {
    for (const HtmlNode* child = node != nullptr ? node->firstChild : nullptr; child != nullptr; child = child->next)
        if (child->Is(tag)) return child;
    return nullptr;
}

// Removes the section at node with everything after it up to its matching
// endif section, and returns the node to visit next.
HtmlNode* PruneSection(HtmlDocument& document, HtmlNode* node) {
    HtmlNode* top = document.Root();
    HtmlNode* parent = node->parent;
    if (StartsWith(document.Text(node), "if !supportEmptyParas") &&
        (FindAncestorElement(node, "td", "th") != nullptr)) {
        HtmlDocument::InsertBefore(node, document.NewTextNode(HtmlNodeType::kText, " "));
    }
    int depth = 0;
    HtmlNode* current = node;
    while (current != nullptr) {
        HtmlNode* following = current->next;
        bool closed = false;
        if (current->type == HtmlNodeType::kSection) {
            const std::string_view text = document.Text(current);
            if (StartsWith(text, "if")) ++depth;
            else if (StartsWith(text, "endif")) closed = --depth <= 0;
        }
        HtmlDocument::Unlink(current);
        current = following;
        if (closed) break;
    }
    return current != nullptr ? current : NextOutside(parent, top);
}

// Word's attributes that carry nothing for the import.
void PurgeWordAttributes(HtmlNode* node) {
    const bool rowOrCell = node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh) || node->Is(HtmlTag::kTr);
    HtmlAttr** slot = &node->attributes;
    while (*slot != nullptr) {
        const HtmlAttr* attr = *slot;
        const char* name = attr->name;
        const bool drop = (CompareNamesNoCase(name, "class") == 0 && attr->value != nullptr &&
                           std::strncmp(attr->value, "Mso", 3) == 0) ||
                          CompareNamesNoCase(name, "style") == 0 || CompareNamesNoCase(name, "lang") == 0 ||
                          (rowOrCell &&
                           (CompareNamesNoCase(name, "width") == 0 || CompareNamesNoCase(name, "height") == 0)) ||
                          CompareNamesNoCase(name, "x:", 2) == 0;
        if (drop) *slot = attr->next;
        else slot = &(*slot)->next;
    }
}

// span elements inside the node give way to their content.
void StripSpans(HtmlNode* top) {
    for (HtmlNode* node = top->firstChild; node != nullptr;) {
        if (node->Is(HtmlTag::kSpan)) {
            if (node->firstChild != nullptr) {
                node = HtmlDocument::ReplaceWithChildren(node);
            } else {
                HtmlNode* following = NextOutside(node, top);
                HtmlDocument::Unlink(node);
                node = following;
            }
            continue;
        }
        node = NextInside(node, top);
    }
}

bool IsListParagraph(const HtmlNode* node, HtmlTag* listTag) {
    const char* style = AttributeValue(node, "style");
    if (ValueIs(node, "class", "MsoListNumber")) {
        *listTag = HtmlTag::kOl;
        return true;
    }
    *listTag = HtmlTag::kUl;
    return ValueIs(node, "class", "MsoListBullet") || (style != nullptr && std::strstr(style, "mso-list:") != nullptr);
}

} // namespace

bool IsWord2000(const HtmlDocument& document) {
    const HtmlNode* html = ChildElement(document.Root(), HtmlTag::kHtml);
    if (html == nullptr) return false;
    if (ValueIs(html, "xmlns:o", kOfficeNamespace)) return true;
    const HtmlNode* head = ChildElement(html, HtmlTag::kHead);
    for (const HtmlNode* child = head != nullptr ? head->firstChild : nullptr; child != nullptr; child = child->next) {
        if (!child->Is(HtmlTag::kMeta)) continue;
        const char* name = AttributeValue(child, "name");
        if (name != nullptr && CompareNamesNoCase(name, "generator") == 0 &&
            StartsWithNoCase(AttributeValue(child, "content"), "Microsoft Word"))
            return true;
    }
    return false;
}

void DropSections(HtmlDocument& document) {
    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr;) {
        if (node->type != HtmlNodeType::kSection) {
            node = NextInside(node, top);
            continue;
        }
        const std::string_view text = document.Text(node);
        if (StartsWith(text, "if") && !StartsWith(text, "if !vml")) {
            node = PruneSection(document, node);
            continue;
        }
        HtmlNode* following = NextOutside(node, top);
        HtmlDocument::Unlink(node);
        node = following;
    }
}

void CleanWord2000(HtmlDocument& document) {
    // One frame per sibling list being cleaned: the next node to look at and
    // the list (or pre) that the run of paragraphs before it went into.
    struct Frame {
        HtmlNode* node;
        HtmlNode* gathered;
    };
    std::vector<Frame> frames{{document.Root()->firstChild, nullptr}};
    while (!frames.empty()) {
        HtmlNode* node = frames.back().node;
        if (node == nullptr) {
            frames.pop_back();
            continue;
        }
        Frame& frame = frames.back();
        if (node->Is(HtmlTag::kHtml)) {
            if (FindAttribute(node, "xmlns:o") == nullptr) return;
            node->attributes = nullptr;
        }
        if (node->Is(HtmlTag::kStyle) || node->Is(HtmlTag::kMeta) || node->type == HtmlNodeType::kComment ||
            (node->Is(HtmlTag::kLink) && ValueIs(node, "rel", "File-List"))) {
            frame.node = node->next;
            HtmlDocument::Unlink(node);
            continue;
        }
        if (node->Is(HtmlTag::kSpan) || node->Is(HtmlTag::kFont) || node->Is(HtmlTag::kOfficeParagraph)) {
            frame.node = HtmlDocument::ReplaceWithChildren(node);
            continue;
        }
        HtmlNode* following = node->next;
        HtmlTag listTag = HtmlTag::kUl;
        if (node->Is(HtmlTag::kP) && IsListParagraph(node, &listTag)) {
            HtmlDocument::Rename(node, "li");
            if (frame.gathered == nullptr || !frame.gathered->Is(listTag)) {
                frame.gathered = document.NewElement(listTag == HtmlTag::kOl ? "ol" : "ul");
                frame.gathered->implicit = true;
                HtmlDocument::InsertBefore(node, frame.gathered);
            }
            HtmlDocument::Unlink(node);
            HtmlDocument::AppendChild(frame.gathered, node);
        } else if (node->Is(HtmlTag::kP) && ValueIs(node, "class", "Code")) {
            if (frame.gathered == nullptr || !frame.gathered->Is(HtmlTag::kPre)) {
                frame.gathered = document.NewElement("pre");
                frame.gathered->implicit = true;
                HtmlDocument::InsertBefore(node, frame.gathered);
            }
            HtmlDocument::Unlink(node);
            HtmlDocument::AppendChild(frame.gathered, node);
            StripSpans(node);
            HtmlDocument::AppendChild(frame.gathered, document.NewElement("br"));
            frame.node = following;
            continue;
        } else {
            frame.gathered = nullptr;
        }
        if (node->IsElement()) PurgeWordAttributes(node);
        frame.node = following;
        if (node->firstChild != nullptr) frames.push_back({node->firstChild, nullptr});
    }
}

} // namespace talix
