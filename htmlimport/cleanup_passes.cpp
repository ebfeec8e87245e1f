// Markup simplification and the fix-ups for the walk. Each pass visits the
// tree in document order; where it removes or unwraps a node it goes on from
// the node that took its place, so that nothing is skipped or visited
// twice and the work stays linear in the size of the tree.
#include "htmlimport/cleanup_passes.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace talix {

namespace {

// Unwraps a node and returns the node to visit next.
HtmlNode* Unwrap(HtmlNode* node, const HtmlNode* top) {
    if (node->firstChild != nullptr) return HtmlDocument::ReplaceWithChildren(node);
    HtmlNode* following = NextOutside(node, top);
    HtmlDocument::Unlink(node);
    return following;
}

bool IsCell(const HtmlNode* node) { return node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh); }
bool IsRowLike(const HtmlNode* node) { return node->Is(HtmlTag::kTr) || node->Is(HtmlTag::kTh); }

bool HasOnlyChild(const HtmlNode* node) {
    return node->firstChild != nullptr && node->firstChild == node->lastChild;
}

// A rowspan value as a number: leading digits after optional blanks and
// sign, 0 when there are none, kept within int.
long RowspanValue(const char* text) {
    if (text == nullptr) return 0;
    errno = 0;
    long value = std::strtol(text, nullptr, 10);
    if (errno == ERANGE) value = value < 0 ? LONG_MIN : LONG_MAX;
    if (value > INT_MAX) value = INT_MAX;
    return value;
}

} // namespace

bool SimplifyMarkup(HtmlDocument& document, const MarkupSteps& steps) {
    // The steps see the tree as they would one after the other: the nested
    // emphasis and the plain divs when the walk enters a node (neither
    // changes what the other decides, but for the emphasis children of a
    // plain div inside emphasis of their kind, which the emphasis step
    // would have met while the div was their parent: they are kept), and a
    // list's items when the walk leaves it, once the divs inside it that
    // give way have done so.
    std::unordered_set<const HtmlNode*> keptEmphasis;
    bool made = false;
    HtmlNode* top = document.Root();
    // Leaves the node and each ancestor below top that has no next sibling;
    // returns the next node to enter (null at the end).
    auto leave = [&](HtmlNode* node) -> HtmlNode* {
        for (;;) {
            if (steps.listsToQuotes && node->IsElement() && IsListTag(node->tag) && node->firstChild != nullptr) {
                bool hasItem = false;
                for (const HtmlNode* child = node->firstChild; child != nullptr && !hasItem; child = child->next)
                    hasItem = child->Is(HtmlTag::kLi);
                if (!hasItem) {
                    HtmlDocument::Rename(node, "blockquote");
                    node->implicit = true;
                    made = true;
                }
            }
            if (node->next != nullptr) return node->next;
            node = node->parent;
            if (node == top || node == nullptr) return nullptr;
        }
    };
    HtmlNode* node = top->firstChild;
    while (node != nullptr) {
        if (steps.nestedEmphasis && (node->Is(HtmlTag::kB) || node->Is(HtmlTag::kI)) && node->parent != nullptr &&
            node->parent->Is(node->tag) && (keptEmphasis.empty() || keptEmphasis.erase(node) == 0)) {
            if (node->firstChild != nullptr) {
                node = HtmlDocument::ReplaceWithChildren(node);
                continue;
            }
            HtmlNode* next = node->next;
            HtmlNode* parent = node->parent;
            HtmlDocument::Unlink(node);
            node = next != nullptr ? next : parent == top ? nullptr : leave(parent);
            continue;
        }
        if (steps.plainDivs && node->Is(HtmlTag::kDiv) && node->attributes == nullptr && node->firstChild != nullptr &&
            node->firstChild->Is(HtmlTag::kP)) {
            const HtmlNode* parent = node->parent;
            if (steps.nestedEmphasis && parent != nullptr && (parent->Is(HtmlTag::kB) || parent->Is(HtmlTag::kI)))
                for (const HtmlNode* child = node->firstChild; child != nullptr; child = child->next)
                    if (child->Is(parent->tag)) keptEmphasis.insert(child);
            node = HtmlDocument::ReplaceWithChildren(node);
            continue;
        }
        node = node->firstChild != nullptr ? node->firstChild : leave(node);
    }
    return made;
}

void BQ2Div(HtmlDocument& document) {
    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr; node = NextInside(node, top)) {
        if (!node->Is(HtmlTag::kBlockquote) || !node->implicit) continue;
        int indent = 1;
        while (HasOnlyChild(node) && node->firstChild->Is(HtmlTag::kBlockquote)) {
            ++indent;
            HtmlDocument::ReplaceWithChildren(node->firstChild);
        }
        HtmlDocument::Rename(node, "div");
        std::string style = "margin-left: " + std::to_string(2 * indent) + "em";
        if (const char* existing = AttributeValue(node, "style"); existing != nullptr && existing[0] != '\0')
            style = std::string(existing) + "; " + style;
        document.SetAttribute(node, "style", style);
    }
}

void EmFromI(HtmlDocument& document) {
    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr; node = NextInside(node, top)) {
        if (node->Is(HtmlTag::kI)) HtmlDocument::Rename(node, "em");
        else if (node->Is(HtmlTag::kB)) HtmlDocument::Rename(node, "strong");
    }
}

void UnwrapRowGroups(HtmlDocument& document) {
    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr;) {
        if (node->Is(HtmlTag::kThead) || node->Is(HtmlTag::kTbody) || node->Is(HtmlTag::kTfoot)) {
            node = Unwrap(node, top);
            continue;
        }
        node = NextInside(node, top);
    }
}

void DropTrailingBreaks(HtmlDocument& document) {
    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr; node = NextInside(node, top)) {
        if (IsCell(node) && node->lastChild != nullptr) {
            HtmlNode* last = node->lastChild;
            if (last->Is(HtmlTag::kBr) ||
                (last->Is(HtmlTag::kFont) && HasOnlyChild(last) && last->firstChild->Is(HtmlTag::kBr)))
                HtmlDocument::Unlink(last);
        } else if (node->Is(HtmlTag::kLi) && node->lastChild != nullptr && node->lastChild->Is(HtmlTag::kBr)) {
            HtmlDocument::Unlink(node->lastChild);
        } else if (node->Is(HtmlTag::kBr)) {
            HtmlNode* space = node->next;
            if (space != nullptr && space->type == HtmlNodeType::kText && document.Text(space) == " " &&
                space->next != nullptr && space->next->IsElement() && IsBlockWithBreak(space->next->tag))
                HtmlDocument::Unlink(space);
        }
    }
}

void TrimRowSpans(HtmlDocument& document) {
    // Rows left in each run of rows, from each row to the run's end: counted
    // once per sibling list, the first time a cell of it asks.
    std::unordered_map<const HtmlNode*, long> rowsLeft;
    auto rowsFrom = [&rowsLeft](const HtmlNode* row) -> long {
        if (row == nullptr || !IsRowLike(row)) return 0;
        const auto found = rowsLeft.find(row);
        if (found != rowsLeft.end()) return found->second;
        const HtmlNode* last = row;
        while (last->next != nullptr) last = last->next;
        long run = 0;
        for (const HtmlNode* sibling = last; sibling != nullptr; sibling = sibling->prev) {
            run = IsRowLike(sibling) ? run + 1 : 0;
            rowsLeft[sibling] = run;
        }
        return rowsLeft[row];
    };

    HtmlNode* top = document.Root();
    for (HtmlNode* node = top->firstChild; node != nullptr; node = NextInside(node, top)) {
        if (!IsCell(node)) continue;
        const char* text = AttributeValue(node, "rowspan");
        if (text == nullptr) continue;
        const long value = RowspanValue(text);
        if (value < 2) {
            HtmlDocument::RemoveAttribute(node, "rowspan");
            continue;
        }
        const long left = rowsFrom(node->parent);
        if (left >= value) continue;
        if (left > 1) document.SetAttribute(node, "rowspan", std::to_string(left));
        else HtmlDocument::RemoveAttribute(node, "rowspan");
    }
}

} // namespace talix
