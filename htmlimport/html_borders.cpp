// Border texts from HTML and CSS.
#include "htmlimport/html_borders.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "htmlimport/css_colours.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_dom.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/option_words.h"
#include "htmlimport/style_lookup.h"

namespace talix {

namespace {

// The border attribute's value is used up to this length.
constexpr std::size_t kBorderAttributeText = 15;

bool Holds(const std::string& text, std::string_view word) { return text.find(word) != std::string::npos; }

bool IsBlock(const HtmlNode* node) {
    return node->Is(HtmlTag::kDiv) || node->Is(HtmlTag::kP) || node->Is(HtmlTag::kCenter) ||
           node->Is(HtmlTag::kBlockquote);
}

bool IsCellOrRow(const HtmlNode* node) {
    return node->Is(HtmlTag::kTd) || node->Is(HtmlTag::kTh) || node->Is(HtmlTag::kTr);
}

class BorderReader {
public:
    BorderReader(const HTMLImportContext* import, const HtmlNode* node)
        : import_(import), style_{node, &import->styleRules1, &import->styleRules2} {}

    StyleValue Look(const char* property, bool searchUp) const { return style_.Look(property, searchUp); }
    StyleValue Own(const HtmlNode* node, const char* property) const { return style_.Of(node).Own(property); }
    // Whole pixels of a margin or padding value; a value with "%" is its
    // bare number; an empty one is 0.
    int Pixels(const std::string& value) const {
        if (value.empty()) return 0;
        if (value.find('%') != std::string::npos) return static_cast<int>(LeadingInteger(value));
        return InchesToPixels(import_, ParseCSSLength(import_, value.c_str(), 0.0f));
    }
    // The first value found, searching up as asked; empty values count as
    // none.
    StyleValue FirstOf(std::initializer_list<std::pair<const char*, bool>> properties) const {
        for (const auto& [property, searchUp] : properties) {
            StyleValue value = Look(property, searchUp);
            if (value.has_value() && !value->empty()) return value;
        }
        return std::nullopt;
    }
    const HtmlNode* Node() const { return style_.node; }

    // margin-<side>, else the attribute, which then gives the opposite side
    // too; else margin-<opposite>.
    void OuterPair(const char* margin, const char* attribute, const char* opposite, const char* keyword,
                   const char* oppositeKeyword, std::string* text) const {
        std::uint16_t source = kStyleNotFound;
        const StyleValue near = StyleAttrElem(style_.node, margin, attribute, nullptr, nullptr, nullptr, &source,
                                              false, style_.first, style_.second);
        const int pixels = near.has_value() ? Pixels(*near) : 0;
        if (pixels > 0) AppendOptionWord(text, keyword, std::to_string(pixels));
        const StyleValue far = source == kStyleFromAttribute ? near : Look(opposite, false);
        const int farPixels = far.has_value() ? Pixels(*far) : 0;
        if (farPixels > 0) AppendOptionWord(text, oppositeKeyword, std::to_string(farPixels));
    }

private:
    const HTMLImportContext* import_;
    ElementStyle style_;
};

// padding-left of the node, else of the nearest block ancestor that has its
// own; an ancestor with a margin-left of its own but no padding-left, or
// one outside the block group, ends the search.
StyleValue PaddingLeft(const BorderReader& reader) {
    if (StyleValue own = reader.Own(reader.Node(), "padding-left"); own.has_value()) return own;
    for (const HtmlNode* up = reader.Node()->parent; up != nullptr && IsBlock(up); up = up->parent) {
        if (StyleValue padding = reader.Own(up, "padding-left"); padding.has_value()) return padding;
        if (reader.Own(up, "margin-left").has_value()) break;
    }
    return std::nullopt;
}

// The colour in a border value: "#..." to its blank, "rgb(...)" whole.
std::string_view ColourIn(std::string_view value) {
    auto upTo = [](std::string_view text, char end, bool inclusive) {
        const std::size_t at = text.find(end);
        if (at == std::string_view::npos) return text;
        return text.substr(0, inclusive ? at + 1 : at);
    };
    auto upToBlank = [](std::string_view text) {
        std::size_t at = 0;
        while (at < text.size() && !css::IsBlank(text[at])) ++at;
        return text.substr(0, at);
    };
    if (!value.empty() && value.front() == '#') return upToBlank(value);
    if (StartsWithNoCase(value, "rgb")) return upTo(value, ')', true);
    if (const std::size_t rgb = FindNoCaseIn(value, "rgb"); rgb != std::string_view::npos)
        return upTo(value.substr(rgb), ')', true);
    if (const std::size_t hash = value.find('#'); hash != std::string_view::npos)
        return upToBlank(value.substr(hash));
    return value;
}

bool ShowsNoBorder(std::string_view style) { return EqualNoCase(style, "none") || EqualNoCase(style, "hidden"); }

// The style the record takes, and the sides whose style shows no border. A
// style of one word is the style of every side ("hidden" written "none").
// Several words give the sides their own styles by the box rule (top and
// bottom, right and left: "solid dashed"), where the record holds one: it
// takes the first side's style (top, right, bottom, left) that shows a
// border, and the sides whose style shows none get no thickness.
struct BorderStyles {
    std::string record;
    bool hidden[4] = {};   // top, right, bottom, left
};

BorderStyles StylesOf(const std::string& value) {
    BorderStyles styles;
    std::string_view words[4];
    const std::size_t count = css::SplitWords(value, words, 4);
    if (count < 2) {
        styles.record = EqualNoCase(value, "hidden") ? "none" : value;
        return styles;
    }
    const std::string_view bySide[4] = {words[0], words[1], count == 2 ? words[0] : words[2],
                                        count == 4 ? words[3] : words[1]};
    for (int side = 0; side < 4; ++side) {
        if (ShowsNoBorder(bySide[side])) styles.hidden[side] = true;
        else if (styles.record.empty()) styles.record = bySide[side];
    }
    if (styles.record.empty()) styles.record = "none";
    return styles;
}

const char* CellStyleOf(std::string_view style) {
    struct Row {
        const char* words[3];
        const char* style;
    };
    static constexpr Row kRows[] = {
        {{"solid", "dashed", "dotted"}, "solid"},
        {{"groove", "emboss", "inset"}, "emboss"},
        {{"ridge", "extrude", "outset"}, "extrude"},
        {{"none", "hidden", nullptr}, "none"},
    };
    for (const Row& row : kRows)
        for (const char* word : row.words)
            if (word != nullptr && ContainsNoCase(style, word)) return row.style;
    return nullptr;
}

class CellBorders {
public:
    CellBorders(const HTMLImportContext* import, std::string* text)
        : style_{nullptr, &import->styleRules1, &import->styleRules2}, text_(text) {}

    // A td, th or tr: its own colour and style, then a row's cells.
    int FromCellOrRow(const HtmlNode* node) {
        AddOwn(node);
        if (HoldsBoth()) return 1;
        if (!node->Is(HtmlTag::kTr)) return 0;
        for (const HtmlNode* cell = node->firstChild; cell != nullptr; cell = cell->next) {
            if (!cell->Is(HtmlTag::kTd) && !cell->Is(HtmlTag::kTh)) continue;
            AddOwn(cell);
            if (HoldsBoth()) return 1;
        }
        return 0;
    }

    // Any other node: the cells and rows below it in document order, until
    // one gives both words. The rows and cells are not entered.
    int FromDescendants(const HtmlNode* top) {
        const HtmlNode* node = top->firstChild;
        while (node != nullptr) {
            if (IsCellOrRow(node)) {
                if (FromCellOrRow(node) == 1) return 1;
            } else if (node->firstChild != nullptr) {
                node = node->firstChild;
                continue;
            }
            while (node != nullptr && node != top && node->next == nullptr) node = node->parent;
            node = node == nullptr || node == top ? nullptr : node->next;
        }
        return 0;
    }

private:
    bool HoldsBoth() const { return Holds(*text_, "CellBorderColor=") && Holds(*text_, "CellBorderStyle="); }

    StyleValue FirstOf(const HtmlNode* node, std::initializer_list<const char*> properties) const {
        for (const char* property : properties) {
            StyleValue value = style_.Of(node).Own(property);
            if (value.has_value() && !value->empty()) return value;
        }
        return std::nullopt;
    }

    void AddOwn(const HtmlNode* node) {
        // Only border properties give either word.
        if (!StyleMayBeDeclared(node, "border", style_.first, style_.second)) return;
        if (!Holds(*text_, "CellBorderColor=")) {
            const StyleValue value = FirstOf(node, {"border-color", "border-top-color", "border-left-color"});
            const std::string_view colour = value.has_value() ? ColourIn(*value) : std::string_view();
            if (!colour.empty()) AppendOptionWord(text_, "CellBorderColor", ColourTextForParser(colour));
        }
        if (!Holds(*text_, "CellBorderStyle=")) {
            const StyleValue style = FirstOf(node, {"border-style", "border-top-style", "border-left-style"});
            if (!style.has_value()) return;
            const char* cellStyle = CellStyleOf(*style);
            if (cellStyle == nullptr) {
                const StyleValue width = FirstOf(node, {"border-width", "border-top-width", "border-left-width"});
                cellStyle = !width.has_value() || LeadingInteger(*width) > 0 ? "solid" : "none";
            }
            AppendOptionWord(text_, "CellBorderStyle", cellStyle);
        }
    }

    ElementStyle style_;
    std::string* text_;
};

} // namespace

void CalcBorderSetFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text,
                           bool suppressZero) {
    if (text == nullptr) return;
    text->clear();
    if (import == nullptr || node == nullptr) return;
    const BorderReader reader(import, node);
    const bool image = node->Is(HtmlTag::kImg);
    const bool up = !image;

    const HtmlAttr* border = FindAttribute(node, "border");
    // Without a border attribute and with zero thicknesses left out, a
    // table or block writes nothing unless a border property is found.
    if (!image && suppressZero && border == nullptr &&
        !StyleMayBeFoundUp(node, "border", &import->styleRules1, &import->styleRules2))
        return;
    std::string htmlThickness = "0";
    if (border != nullptr)
        htmlThickness = border->value == nullptr || border->value[0] == '\0'
                            ? "1"
                            : std::string(border->value).substr(0, kBorderAttributeText);

    if (image) {
        reader.OuterPair("margin-left", "hspace", "margin-right", "OuterLeft", "OuterRight", text);
        reader.OuterPair("margin-top", "vspace", "margin-bottom", "OuterTop", "OuterBottom", text);
    }

    const StyleValue bottom = reader.Look("border-bottom-width", up);
    if (bottom.has_value() && LeadingInteger(*bottom) == 12) {
        const StyleValue right = reader.Look("border-right-width", up);
        if (right.has_value() && LeadingInteger(*right) == 12) {
            AppendOptionWord(text, "BorderEffects", "DROP_SHADOW");
            AppendOptionWord(text, "BorderStyle", "none");
            return;
        }
    }
    const StyleValue style = reader.FirstOf({{"border-style", up}, {"border-top-style", up}, {"border-left-style", up}});
    const BorderStyles styles = style.has_value() ? StylesOf(*style) : BorderStyles{};
    bool thickBorder = false;
    auto thickness = [&](const StyleValue& width, const char* keyword, int side) {
        std::string written = !width.has_value() ? htmlThickness : width->empty() ? "1" : *width;
        if (styles.hidden[side]) written = "0";
        if (suppressZero && !written.empty() && written.front() == '0') return;
        if (AppendOptionWord(text, keyword, written) && !written.empty() && written.front() != '0') thickBorder = true;
    };
    thickness(bottom, "BorderThicknessBottom", 2);
    thickness(reader.Look("border-top-width", up), "BorderThicknessTop", 0);
    thickness(reader.Look("border-left-width", up), "BorderThicknessLeft", 3);
    thickness(reader.Look("border-right-width", up), "BorderThicknessRight", 1);

    if (const StyleValue colour =
            reader.FirstOf({{"border-color", up}, {"border-top-color", true}, {"border-left-color", true}});
        colour.has_value())
        AppendOptionWord(text, "BorderColor", ColourTextForParser(*colour));

    if (style.has_value()) AppendOptionWord(text, "BorderStyle", styles.record);
    else if (thickBorder) AppendOptionWord(text, "BorderStyle", "SOLID");

    if (Holds(*text, "BorderStyle") && !ContainsNoCase(*text, "NONE")) {
        const StyleValue padding = PaddingLeft(reader);
        const int pixels = padding.has_value() ? reader.Pixels(*padding) : 0;
        if (pixels > 0) AppendOptionWord(text, "PaddingLeft", std::to_string(pixels));
    }
}

int CalcCellBorderFromHTML(const HTMLImportContext* import, const HtmlNode* node, std::string* text) {
    if (import == nullptr || node == nullptr || text == nullptr) return 0;
    CellBorders borders(import, text);
    return IsCellOrRow(node) ? borders.FromCellOrRow(node) : borders.FromDescendants(node);
}

} // namespace talix
