// The import's CSS rule lists: the rules of the document's style elements
// and linked style sheets, in document order, each with a parsed selector
// and the text of its declaration block.
//
// The rule parser is small on purpose. It keeps element selectors, class
// selectors (element.class and .class), the pseudo-class ":link" (dropped:
// a:link is a rule for a) and descendant chains written with blanks, which
// this import reads as parent chains: "div p" applies to a p whose parent
// is a div. Anything else is skipped: a selector with another character
// ("-", "_", ">", "+", "*", "[", "#", ":" not followed by "link") drops
// itself and the rest of its group; a selector that begins with an id
// ("#main", "#main p") is dropped, with its block when it is the last of its
// group, while later selectors of its group still count;
// at-rules are skipped up to their ";" or the "}" that closes their block,
// with the rules a block holds (those of "@media print" apply to no import).
// CSS comments are skipped; the "<!--" and "-->" that wrap a style text to
// hide it from old browsers are stepped over, and the rules between them
// count, as browsers read them, and so are the "<![CDATA[" and "]]>" that
// wrap the style text of XHTML. Any other "<!" is skipped up to the first
// ">" after a "-".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/statuses.h"
#include "htmlimport/style_declarations.h"

namespace talix {

struct HTMLImportContext;
struct HtmlNode;
class SharedMatches;

// One compound of a selector. A selector is a chain that starts at its
// rightmost compound (the element the rule applies to) and runs leftwards
// through outer.
struct CSSSelector {
    std::string element;     // the element name as written, or empty
    std::string className;   // the class name as written, or empty
    // Always 1: the outer compound must match the parent of the element
    // this compound matched.
    std::uint16_t relation = 1;
    const CSSSelector* outer = nullptr;
};

// A declaration block longer than this keeps its rule but supplies no value.
constexpr std::size_t kMaxDeclarationText = 4096;

struct CSSRule {
    // The compounds, rightmost first; selector() is the first of them.
    std::vector<CSSSelector> compounds;
    // The text between the block's braces; absent when the block is empty or
    // longer than kMaxDeclarationText (such a rule never answers).
    std::optional<std::string> declarationText;
    // The position of the rule in its list (document order).
    std::uint32_t order = 0;

    const CSSSelector* selector() const { return compounds.empty() ? nullptr : &compounds.front(); }
    // The parsed declarations, parsed on the first call and kept; null when
    // the rule has no declaration text. Throws std::bad_alloc.
    const StyleDeclarations* Declarations() const;

private:
    mutable std::unique_ptr<StyleDeclarations> parsed_;
};

// A rule list in document order, indexed by the element name of each rule's
// rightmost compound, so that the look-up for an element visits only the
// rules for its name and the rules that name no element.
class CSSRuleList {
public:
    CSSRuleList();
    ~CSSRuleList();
    CSSRuleList(const CSSRuleList&) = delete;
    CSSRuleList& operator=(const CSSRuleList&) = delete;

    // Takes the rule (with at least one compound) to the end of the list.
    // Throws std::bad_alloc, the list then unchanged.
    void Append(std::unique_ptr<CSSRule> rule);
    void Clear();

    std::size_t Size() const { return rules_.size(); }
    bool Empty() const { return rules_.empty(); }
    const CSSRule& operator[](std::size_t n) const { return *rules_[n]; }
    // A number that changes whenever the list does (no two lists share one).
    std::uint64_t Version() const { return version_; }
    // The matches the look-ups share by element name and class while this
    // list is the first of the pair they match against; made on the first
    // call and kept for the list's life. Throws std::bad_alloc.
    SharedMatches& Shared() const;

    // Calls visit(rule), in list order, for every rule whose rightmost
    // compound names the element (compared without regard to case), and for
    // every rule that names no element but the class classKey (lower case;
    // such rules always name a class, and none is visited when classKey is
    // null), until visit returns true; returns that rule, or null.
    template <typename Visit>
    const CSSRule* FirstCandidate(const HtmlNode* element, const std::string* classKey, Visit&& visit) const;

private:
    const std::vector<const CSSRule*>* RulesNamed(const HtmlNode* element) const;

    std::vector<std::unique_ptr<CSSRule>> rules_;
    // Rules for elements known by id (indexed by the id), for other names
    // (by lower-case name), and for no element name (by lower-case class).
    std::vector<std::vector<const CSSRule*>> byTag_;
    std::unordered_map<std::string, std::vector<const CSSRule*>> byName_;
    std::unordered_map<std::string, std::vector<const CSSRule*>> byClass_;
    std::uint64_t version_ = 0;
    mutable std::unique_ptr<SharedMatches> shared_;
};

template <typename Visit>
const CSSRule* CSSRuleList::FirstCandidate(const HtmlNode* element, const std::string* classKey,
                                           Visit&& visit) const {
    static const std::vector<const CSSRule*> kNone;
    const std::vector<const CSSRule*>* named = RulesNamed(element);
    if (named == nullptr) named = &kNone;
    const std::vector<const CSSRule*>* classed = &kNone;
    if (classKey != nullptr && !byClass_.empty()) {
        const auto found = byClass_.find(*classKey);
        if (found != byClass_.end()) classed = &found->second;
    }
    // Both lists are in document order: merge them.
    std::size_t a = 0;
    std::size_t b = 0;
    while (a < named->size() || b < classed->size()) {
        const CSSRule* rule;
        if (b == classed->size() || (a < named->size() && (*named)[a]->order < (*classed)[b]->order))
            rule = (*named)[a++];
        else
            rule = (*classed)[b++];
        if (visit(*rule)) return rule;
    }
    return nullptr;
}

// Parses a style-sheet text of length bytes (no terminator needed) and
// appends one rule per accepted selector to the context's first rule list;
// every selector of a group gets its own rule with its own copy of the
// block. The at-rules "@import", "@media", "@charset" and "@font-face" each
// show "<prefix>: Ignoring @<name> rules for now" through the host's message
// procedure. A rule that cannot be allocated is lost; the scan goes on.
// Returns 0, 263 when a rule was lost (1028 without a context).
STATUS ParseCSSRules(HTMLImportContext* import, const char* text, std::size_t length);

// Reads the style sheet a link element names into the context's first rule
// list. A link whose "rel" is present and not "stylesheet" (compared
// without regard to case), or that has no "href", reads nothing. With
// "Duzuvore=FCKeditor" among the import options, an href beginning with
// "../../" loses its first five characters. An href with a drive letter
// ("c:...") or beginning with a backslash is a local path as it stands; an
// href beginning with "http" is not fetched (259); any other href is joined
// to the context's base path when that is a local path (drive letter, or a
// leading backslash or slash), and is not read otherwise (259). On this
// machine a local path is opened with "\" read as "/" and a drive letter
// left out. The sheet is read whole (as UTF-8, into the platform's text):
// tabs and line breaks become blanks, runs of blanks one blank, comments are
// dropped, and the text is handed to ParseCSSRules once.
// Returns 0 (also when nothing is read), 259 when the sheet cannot be read
// (also when it is larger than the import takes; left out, logged), 263
// when memory runs out.
STATUS LoadLinkedStyleSheet(HTMLImportContext* import, const HtmlNode* link);

} // namespace talix
