// The rule list with its index by element name, and the style-sheet parser.
#include "htmlimport/css_rules.h"

#include <atomic>
#include <new>

#include "core/ascii.h"
#include "core/host_message.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/shared_matches.h"
#include "talix/session.h"

namespace talix {

namespace {

// The versions of the rule lists of the process: each change of any list
// takes the next, so that no two states of any lists share one (lists of
// imports on several threads take theirs from the one counter).
std::atomic<std::uint64_t> g_listVersions{0};
std::uint64_t NextListVersion() { return g_listVersions.fetch_add(1, std::memory_order_relaxed) + 1; }

constexpr std::size_t kNone = std::string_view::npos;

// The at-rules that are announced when skipped.
constexpr const char* kAnnouncedAtRules[] = {"import", "media", "charset", "font-face"};

// ":link" at the position, not followed by a letter or digit.
bool IsLinkPseudoClass(std::string_view text, std::size_t at) {
    if (!StartsWithNoCase(text.substr(at), ":link")) return false;
    return at + 5 == text.size() || !IsAsciiLetterOrDigit(text[at + 5]);
}

// Letters, digits, blanks, "." and ":link" only.
bool IsKeptSelector(std::string_view selector) {
    for (std::size_t at = 0; at < selector.size(); ++at) {
        const char c = selector[at];
        if (IsAsciiLetterOrDigit(c) || css::IsBlank(c) || c == '.') continue;
        if (c == ':' && IsLinkPseudoClass(selector, at)) {
            at += 4;
            continue;
        }
        return false;
    }
    return true;
}

// The compounds of a kept selector, left to right; a compound that names
// neither an element nor a class is left out.
std::vector<CSSSelector> SplitCompounds(std::string_view selector) {
    std::vector<CSSSelector> compounds;
    std::size_t at = 0;
    while (at < selector.size()) {
        while (at < selector.size() && css::IsBlank(selector[at])) ++at;
        const std::size_t start = at;
        while (at < selector.size() && !css::IsBlank(selector[at])) ++at;
        if (start == at) break;
        std::string word;
        const std::string_view written = selector.substr(start, at - start);
        for (std::size_t i = 0; i < written.size(); ++i) {
            if (written[i] == ':' && IsLinkPseudoClass(written, i)) {
                i += 4;
                continue;
            }
            word.push_back(written[i]);
        }
        CSSSelector compound;
        const std::size_t dot = word.find('.');
        compound.element = word.substr(0, dot);
        if (dot != std::string::npos) compound.className = word.substr(dot + 1);
        if (compound.element.empty() && compound.className.empty()) continue;
        compounds.push_back(std::move(compound));
    }
    return compounds;
}

class SheetScanner {
public:
    SheetScanner(std::string_view text, CSSRuleList* rules, const char* messagePrefix)
        : text_(text), rules_(rules), prefix_(messagePrefix) {}

    // A rule could not be kept.
    bool Lost() const { return lost_; }

    void Run() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            const char next = at_ + 1 < text_.size() ? text_[at_ + 1] : '\0';
            if (c == '<' && next == '!') SkipHtmlMarkup();
            else if (c == '/' && next == '*') SkipComment();
            else if (c == '#') SkipId();
            else if (c == '@') SkipAtRule();
            else if (c == '{') SkipBlockAt(at_);
            else if (css::IsAsciiLetter(c) || c == '.') ReadGroup();
            else ++at_;   // blanks, "}", ",", "<", "/", digits, "*", "[" ...
        }
    }

private:
    std::size_t Find(char c, std::size_t from) const { return from >= text_.size() ? kNone : text_.find(c, from); }
    std::size_t FindAny(const char* set, std::size_t from) const {
        return from >= text_.size() ? kNone : text_.find_first_of(set, from);
    }
    void ResumeAfter(std::size_t position) { at_ = position == kNone ? text_.size() : position + 1; }

    // "<!--" is stepped over: a style element's text wrapped in "<!--" and
    // "-->" (to hide it from browsers that knew no style elements) is read
    // as CSS, as browsers read it; the "-->" is stepped over as any other
    // character that begins no selector. So is "<![CDATA[", which wraps the
    // style text of XHTML up to its "]]>". Any other "<!" is skipped up to
    // the first ">" that follows a "-".
    void SkipHtmlMarkup() {
        for (const std::string_view wrapper : {std::string_view("<!--"), std::string_view("<![CDATA[")}) {
            if (text_.compare(at_, wrapper.size(), wrapper) == 0) {
                at_ += wrapper.size();
                return;
            }
        }
        for (std::size_t at = at_ + 2; at < text_.size(); ++at) {
            if (text_[at] == '>' && text_[at - 1] == '-') {
                at_ = at + 1;
                return;
            }
        }
        at_ = text_.size();
    }

    void SkipComment() {
        const std::size_t close = at_ + 2 < text_.size() ? text_.find("*/", at_ + 2) : kNone;
        at_ = close == kNone ? text_.size() : close + 2;
    }

    // A selector that begins with an id, to the comma, "{" or "}" that ends
    // it, which the scan then reads: the compounds after the id ("#main p")
    // go with it, since they name the elements inside that one element only.
    void SkipId() {
        ++at_;
        while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '{' && text_[at_] != '}') ++at_;
    }

    // From a "{" to just after the next "}".
    void SkipBlockAt(std::size_t open) { ResumeAfter(Find('}', open + 1)); }

    void SkipAtRule() {
        std::size_t end = at_ + 1;
        while (end < text_.size() && (IsAsciiLetterOrDigit(text_[end]) || text_[end] == '-')) ++end;
        const std::string_view keyword = text_.substr(at_ + 1, end - at_ - 1);
        for (const char* known : kAnnouncedAtRules) {
            if (!EqualNoCase(keyword, known)) continue;
            const std::string message = std::string(prefix_) + ": Ignoring @" + known + " rules for now";
            ShowHostMessage(message.c_str());
            break;
        }
        const std::size_t stop = FindAny(";{", end);
        if (stop != kNone && text_[stop] == '{') SkipNestedBlockAt(stop);
        else ResumeAfter(stop);
    }

    // From a "{" to just after the "}" that closes it: the block of an
    // at-rule ("@media print { p { ... } div { ... } }") holds rules of its
    // own, which are skipped with it. Braces in comments do not count.
    void SkipNestedBlockAt(std::size_t open) {
        std::size_t depth = 0;
        for (std::size_t at = open; at < text_.size(); ++at) {
            if (text_[at] == '/' && at + 1 < text_.size() && text_[at + 1] == '*') {
                const std::size_t close = text_.find("*/", at + 2);
                if (close == kNone) break;
                at = close + 1;
            } else if (text_[at] == '{') ++depth;
            else if (text_[at] == '}' && --depth == 0) {
                at_ = at + 1;
                return;
            }
        }
        at_ = text_.size();
    }

    // A selector group: one rule per kept selector, each with the group's
    // block; the scan resumes after the block.
    void ReadGroup() {
        std::size_t start = at_;
        for (;;) {
            const std::size_t end = FindAny(",{", start);
            const std::string_view selector = text_.substr(start, (end == kNone ? text_.size() : end) - start);
            if (!IsKeptSelector(selector)) {
                // The rest of the group is lost with its block.
                const std::size_t stop = FindAny("{}", start);
                if (stop != kNone && text_[stop] == '{') SkipBlockAt(stop);
                else at_ = stop == kNone ? text_.size() : stop;
                return;
            }
            if (end == kNone) {
                at_ = text_.size();
                return;
            }
            AddRule(selector, end);
            if (text_[end] == '{') {
                SkipBlockAt(end);
                return;
            }
            start = end + 1;
        }
    }

    void AddRule(std::string_view selector, std::size_t selectorEnd) {
        const std::size_t open = Find('{', selectorEnd);
        const std::size_t close = open == kNone ? kNone : Find('}', open + 1);
        if (close == kNone) return;
        try {
            std::vector<CSSSelector> leftToRight = SplitCompounds(selector);
            if (leftToRight.empty()) return;
            auto rule = std::make_unique<CSSRule>();
            rule->compounds.assign(std::make_move_iterator(leftToRight.rbegin()),
                                   std::make_move_iterator(leftToRight.rend()));
            for (std::size_t n = 0; n + 1 < rule->compounds.size(); ++n)
                rule->compounds[n].outer = &rule->compounds[n + 1];
            const std::string_view block = text_.substr(open + 1, close - open - 1);
            if (!block.empty() && block.size() <= kMaxDeclarationText) rule->declarationText.emplace(block);
            rules_->Append(std::move(rule));
        } catch (const std::bad_alloc&) {
            // The rule is lost; the scan goes on, and says so at its end.
            lost_ = true;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    bool lost_ = false;
    CSSRuleList* rules_;
    const char* prefix_;
};

} // namespace

const StyleDeclarations* CSSRule::Declarations() const {
    if (!declarationText.has_value()) return nullptr;
    if (parsed_ == nullptr) parsed_ = std::make_unique<StyleDeclarations>(*declarationText);
    return parsed_.get();
}

CSSRuleList::CSSRuleList() : version_(NextListVersion()) {}
CSSRuleList::~CSSRuleList() = default;

SharedMatches& CSSRuleList::Shared() const {
    if (shared_ == nullptr) shared_ = std::make_unique<SharedMatches>();
    return *shared_;
}

void CSSRuleList::Append(std::unique_ptr<CSSRule> rule) {
    const CSSSelector* selector = rule->selector();
    if (selector == nullptr) return;
    rule->order = static_cast<std::uint32_t>(rules_.size());
    version_ = NextListVersion();
    if (rules_.size() == rules_.capacity()) rules_.reserve(rules_.empty() ? 16 : rules_.size() * 2);
    std::vector<const CSSRule*>* bucket = nullptr;
    if (selector->element.empty()) {
        bucket = &byClass_[css::LowerCopy(selector->className)];
    } else {
        const HtmlTag tag = LookupHtmlTag(selector->element);
        if (tag != HtmlTag::kUnknown) {
            const auto index = static_cast<std::size_t>(tag);
            if (byTag_.size() <= index) byTag_.resize(index + 1);
            bucket = &byTag_[index];
        } else {
            bucket = &byName_[css::LowerCopy(selector->element)];
        }
    }
    bucket->push_back(rule.get());   // may throw: nothing is changed yet
    rules_.push_back(std::move(rule));
}

void CSSRuleList::Clear() {
    version_ = NextListVersion();
    byTag_.clear();
    byName_.clear();
    byClass_.clear();
    rules_.clear();
}

const std::vector<const CSSRule*>* CSSRuleList::RulesNamed(const HtmlNode* element) const {
    if (element == nullptr || element->name == nullptr) return nullptr;
    if (element->tag != HtmlTag::kUnknown) {
        const auto index = static_cast<std::size_t>(element->tag);
        return index < byTag_.size() ? &byTag_[index] : nullptr;
    }
    if (byName_.empty()) return nullptr;
    const auto found = byName_.find(css::LowerCopy(element->name));
    return found == byName_.end() ? nullptr : &found->second;
}

STATUS ParseCSSRules(HTMLImportContext* import, const char* text, std::size_t length) {
    if (import == nullptr) return kArgumentError;
    if (text == nullptr || length == 0) return kOK;
    const char* prefix = import->session != nullptr ? import->session->messagePrefix : "Talix";
    SheetScanner scanner(std::string_view(text, length), &import->styleRules1, prefix);
    scanner.Run();
    return scanner.Lost() ? kOutOfMemory : kOK;
}

} // namespace talix
