// Paragraph-style texts from HTML blocks.
#include "htmlimport/html_paragraph.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include "htmlimport/css_lengths.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/option_words.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/walk_memo.h"

namespace talix {

namespace {

constexpr float kPageMargin = 1.0f;
constexpr float kQuoteIndent = 0.25f;

// Formats into the text; the values are finite floats, so the buffer holds them.
template <typename... Args>
void AppendFormat(std::string* text, const char* format, Args... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length > 0) text->append(buffer, static_cast<std::size_t>(length) < sizeof buffer ? length : sizeof buffer - 1);
}

// Appends " keyword='<value>in'", the value with two decimals (as %3.2f
// writes it; every paragraph writes several, so without formatting).
void AppendInches(std::string* text, const char* keyword, double value) {
    text->append(" ").append(keyword).append("='");
    AppendFixed(text, value, 2);
    text->append("in'");
}

bool IsCell(const HtmlNode* node) { return node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh); }

// The quotations a block lies in, itself included.
int QuoteDepth(const HtmlNode* node) {
    int depth = node->Is(HtmlTag::kBlockquote) ? 1 : 0;
    for (const HtmlNode* quote = EnclosingQuotation(node); quote != nullptr; quote = EnclosingQuotation(quote))
        ++depth;
    return depth;
}

class ParagraphReader {
public:
    ParagraphReader(const HTMLImportContext* import, const HtmlNode* node)
        : import_(import), style_{node, &import->styleRules1, &import->styleRules2, &import->styleQuestions} {}

    StyleValue Look(const char* property, bool searchUp) const { return style_.Look(property, searchUp); }
    float Length(const std::string& value) const { return StyleLengthInches(import_, value); }
    float Sum(const char* property, int depth) const {
        return SumStyleLengthUpTree(import_, style_.node->parent, property, depth, false);
    }

    // The nearest (first) and summed (second) left indent of a property.
    std::pair<float, float> LeftIndent(const char* property) const {
        const bool cell = IsCell(style_.node);
        const StyleValue own = Look(property, false);
        if (own.has_value()) {
            const float length = Length(*own);
            return {length, length + Sum(property, 3)};
        }
        return {cell ? 0.0f : Sum(property, 0), Sum(property, cell ? 3 : 2)};
    }

    // One spacing keyword from one property's value.
    void Spacing(const StyleValue& value, const char* keyword, const char* doubleWord, const char* oneAndHalfWord,
                 float doubleFrom, float oneAndHalfFrom, std::string* text) const {
        if (!value.has_value()) return;
        bool doubled = EqualNoCase(*value, doubleWord);
        bool oneAndHalf = EqualNoCase(*value, oneAndHalfWord);
        if (!doubled && !oneAndHalf) {
            const float length = Length(*value);
            doubled = length >= doubleFrom;
            oneAndHalf = !doubled && length >= oneAndHalfFrom && length > 0.0f;
        }
        if (doubled) AppendFormat(text, " %s=DOUBLE", keyword);
        else if (oneAndHalf) AppendFormat(text, " %s='1.5'", keyword);
    }

    StyleValue Own(const char* property) const { return style_.Own(property); }

private:
    const HTMLImportContext* import_;
    ElementStyle style_;
};

void WriteParagraphStyle(const HTMLImportContext* import, const HtmlNode* node, std::string* text) {
    const ParagraphReader reader(import, node);

    reader.Spacing(reader.Look("margin-bottom", false), "Below", "1em", "0.5em", 0.15f, 0.0f, text);
    if (const StyleValue top = reader.Look("margin-top", false); top.has_value()) {
        reader.Spacing(top, "Above", "1em", "0.5em", 0.15f, 0.0f, text);
    } else if (node->Is(HtmlTag::kP) && node->parent != nullptr && !IsCell(node->parent)) {
        const char* className = AttributeValue(node, "class");
        if (className == nullptr || std::string_view(className) != "MsoNormal") text->append(" Above='double'");
    }
    const StyleValue lineHeight = reader.Look("line-height", false);
    if (const float spacing = lineHeight.has_value() ? LineHeightSpacing(*lineHeight) : 0.0f; spacing > 0) {
        if (spacing == 2.0f) text->append(" InterLine=DOUBLE");
        else if (spacing == 1.5f) text->append(" InterLine='1.5'");
    } else {
        reader.Spacing(lineHeight, "InterLine", "2em", "1.5em", 0.5f, 0.25f, text);
    }

    // HTML and CSS call full justification "justify". An alignment is one
    // word: a value of anything else names none and counts as left, and its
    // text never reaches the paragraph-style text, where words it held
    // ("+RTL", "Below=DOUBLE") would count as the paragraph's own.
    auto alignment = [](std::string_view value) {
        const std::string_view word = css::TrimBlanks(value);
        if (word.empty() || word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ-") !=
                                std::string_view::npos)
            return std::string("left");
        return EqualNoCase(word, "justify") ? std::string("full") : std::string(value);
    };
    if (const char* align = AttributeValue(node, "align"); align != nullptr) {
        AppendOptionWord(text, "Justify", alignment(align));
    } else if (const StyleValue textAlign = reader.Own("text-align"); textAlign.has_value()) {
        AppendOptionWord(text, "Justify", alignment(*textAlign));
    } else {
        AppendOptionWord(text, "Justify", node->Is(HtmlTag::kCenter) ? "center" : "left");
    }

    text->append(import->rightToLeft != 0 ? " +RTL" : " -RTL");

    // Paragraphs in table cells and layers sit in a box of their own: the
    // page margin is not part of their offsets.
    const bool boxed = import->tableLevel > 0 || import->layerLevel > 0;
    auto [marginA, marginB] = reader.LeftIndent("margin-left");
    const auto [paddingA, paddingB] = reader.LeftIndent("padding-left");
    marginB += kPageMargin;
    if (!boxed) marginA += kPageMargin;
    // A quotation without margins of its own or around it is indented a
    // quarter inch, and one in another a quarter inch further for each
    // quotation around it, as each closing takes its quarter inch back. A
    // paragraph or division inside quotations (the usual form of a quoted
    // text) keeps their indent in the same way.
    if (marginB == kPageMargin && (node->Is(HtmlTag::kBlockquote) || EnclosingQuotation(node) != nullptr)) {
        const float indent = kQuoteIndent * static_cast<float>(QuoteDepth(node));
        marginA += indent;
        marginB += indent;
    }
    const double left = static_cast<double>(paddingB) + marginB;
    const double offset = static_cast<double>(marginA) + paddingA;
    AppendInches(text, "LeftMargin", left);
    AppendInches(text, "LeftMarginOffset", offset);

    const StyleValue indent = reader.Look("text-indent", true);
    if (!indent.has_value()) {
        AppendInches(text, "LeftMarginFirst", left);
        AppendInches(text, "FirstLeftMarginOffset", offset);
    } else if (indent->find('%') != std::string::npos) {
        const double percent = std::trunc(LeadingNumber(*indent)) + marginB;
        const long whole = std::fabs(percent) < 1e9 ? static_cast<long>(percent) : 0;
        AppendFormat(text, " FirstLeftMarginPercent='%ld%%'", whole);
    } else {
        float first = ParseCSSLength(import, indent->c_str(), 0.0f);
        if (!boxed && first >= kPageMargin) first -= kPageMargin;
        AppendInches(text, "LeftMarginFirst", left + first);
        AppendInches(text, "FirstLeftMarginOffset", offset + first);
    }

    const StyleValue right = reader.Look("margin-right", true);
    if (!right.has_value()) {
        text->append(" RightMarginPercent='100%'");
    } else if (right->find('%') != std::string::npos) {
        const long percent = LeadingInteger(*right);
        if (percent > 0) AppendFormat(text, " RightMarginPercent='%ld'", 100 - (percent > 100000 ? 100000 : percent));
    } else {
        const float length = ParseCSSLength(import, right->c_str(), 0.0f);
        if (length > marginB + 0.01f) AppendInches(text, "RightMarginOffset", static_cast<double>(length) + 1.0);
    }
}

} // namespace

const HtmlNode* EnclosingQuotation(const HtmlNode* node) {
    for (const HtmlNode* at = node != nullptr ? node->parent : nullptr; at != nullptr && !IsCell(at); at = at->parent) {
        if (!at->Is(HtmlTag::kBlockquote)) continue;
        const char* className = AttributeValue(at, "class");
        if (className == nullptr || !EqualNoCase(className, "gmail_quote")) return at;
    }
    return nullptr;
}

void CalcParagraphFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text) {
    if (text == nullptr) return;
    text->clear();
    if (import == nullptr || node == nullptr) return;
    // Within the walk, blocks of one parent, name and attributes share their
    // text: it is worked out for the first of them only.
    WalkMemo* memo = node->IsElement() ? import->walkMemo : nullptr;
    const bool boxed = import->tableLevel > 0 || import->layerLevel > 0;
    const bool rightToLeft = import->rightToLeft != 0;
    if (memo != nullptr) {
        if (const std::string* kept = memo->FindParagraphStyle(node, boxed, rightToLeft)) {
            text->assign(*kept);
            return;
        }
    }
    WriteParagraphStyle(import, node, text);
    if (memo != nullptr) memo->KeepParagraphStyle(node, boxed, rightToLeft, *text);
}

} // namespace talix
