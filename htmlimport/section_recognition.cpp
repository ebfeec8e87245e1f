// Collapsed-section recognition: the block headed by a twistie image and its
// header texts.
#include "htmlimport/section_recognition.h"

#include "htmlimport/html_dom.h"
#include "htmlimport/node_search.h"

namespace talix {

namespace {

constexpr const char* kTwistieSource = "cid:_a_collapse";
constexpr const char* kTwistieAlt = "Inactive - section collapsed";
constexpr const char* kUnknownAuthor = "Unknown";
constexpr const char* kNoSubject = "No subject";

bool IsCellElement(const HtmlNode* node) {
    return node != nullptr && (node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh));
}

// The twistie among the children of node and their descendants.
const HtmlNode* FindTwistie(const HtmlNode* node) {
    if (node == nullptr || node->firstChild == nullptr) return nullptr;
    if (const HtmlNode* image = FindElementWithAttr(node->firstChild, "img", "src", kTwistieSource)) return image;
    return FindElementWithAttr(node->firstChild, "img", "alt", kTwistieAlt);
}

// The block that holds a section, or null when the node cannot be one.
const HtmlNode* SectionBlock(const HtmlNode* node) {
    const HtmlNode* parent = node->parent;
    const bool firstInDiv = node->prev == nullptr && parent != nullptr && parent->Is(HtmlTag::kDiv);
    if (node->Is(HtmlTag::kTable)) return firstInDiv ? parent : nullptr;
    if (!node->Is(HtmlTag::kDiv)) return node;
    const HtmlNode* first = node->firstChild;
    if (first->Is(HtmlTag::kImg)) return firstInDiv ? node : nullptr;
    if (first->Is(HtmlTag::kSpan) && first->firstChild == nullptr && first->next != nullptr &&
        first->next->Is(HtmlTag::kDiv))
        return first->next;
    return node;
}

// The next td after node among its siblings.
const HtmlNode* NextCell(const HtmlNode* node) {
    for (const HtmlNode* at = node != nullptr ? node->next : nullptr; at != nullptr; at = at->next)
        if (at->Is(HtmlTag::kTd)) return at;
    return nullptr;
}

void CellText(const HTMLImportContext* import, const HtmlNode* cell, char* buffer, std::uint32_t size,
              const char* fallback) {
    if (buffer == nullptr) return;
    const HtmlNode* text = cell != nullptr ? FindTextNode(cell, nullptr, 0) : nullptr;
    NodeTextToNative(import, text, buffer, size, fallback);
}

void Empty(char* buffer) {
    if (buffer != nullptr) buffer[0] = '\0';
}

} // namespace

bool HoldsSectionTwistie(const HtmlNode* node) { return FindTwistie(node) != nullptr; }

int ConvertSectionFromHTML(const HTMLImportContext* import, const HtmlNode* node, char* first, char* title,
                           char* third) {
    if (node == nullptr || node->firstChild == nullptr) return 0;
    const HtmlNode* block = SectionBlock(node);
    if (block == nullptr || block->firstChild == nullptr) return 0;
    const HtmlNode* lead = block->firstChild;

    if (lead->Is(HtmlTag::kTable)) {
        if (const HtmlNode* twistie = FindTwistie(lead)) {
            // The header row: the twistie's cell, then the author, the title
            // and the date cells.
            const HtmlNode* cell = twistie->parent;
            if (!IsCellElement(cell)) cell = cell != nullptr ? cell->parent : nullptr;
            if (!IsCellElement(cell)) return first != nullptr ? 0 : 1;
            const HtmlNode* author = NextCell(cell);
            const HtmlNode* subject = NextCell(author);
            const HtmlNode* date = NextCell(subject);
            CellText(import, author, first, kSectionTextSize, kUnknownAuthor);
            CellText(import, subject, title, kSectionTitleSize, kNoSubject);
            CellText(import, date, third, kSectionTextSize, "");
            return 1;
        }
    }
    const bool paragraphLead = lead->Is(HtmlTag::kP) || lead->Is(HtmlTag::kDiv);
    const HtmlNode* holder = paragraphLead ? lead : block;
    if (FindTwistie(holder) == nullptr) return 0;
    Empty(first);
    Empty(third);
    CellText(import, holder, title, kSectionTitleSize, kNoSubject);
    return 1;
}

} // namespace talix
