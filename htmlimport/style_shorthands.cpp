// The look-up in one declaration list, with the shorthand expansions.
#include "htmlimport/style_shorthands.h"

#include "core/debug_level.h"
#include "htmlimport/style_declarations.h"
#include "talix_platform.h"

namespace talix {

namespace {

using std::string_view;
constexpr std::size_t kNone = string_view::npos;

// Sides in the order of the four-word box form.
enum Side { kTop = 0, kRight = 1, kBottom = 2, kLeft = 3, kNoSide = -1 };

Side SideNamed(string_view word) {
    if (word == "top") return kTop;
    if (word == "right") return kRight;
    if (word == "bottom") return kBottom;
    if (word == "left") return kLeft;
    return kNoSide;
}

// The word of a side by the box rule; "" for a value without words.
std::string BoxWord(string_view value, Side side) {
    string_view words[4];
    const std::size_t count = css::SplitWords(value, words, 4);
    switch (count) {
    case 0: return {};
    case 1: return std::string(words[0]);
    case 2: return std::string(words[side == kTop || side == kBottom ? 0 : 1]);
    case 3: return std::string(words[side == kTop ? 0 : side == kBottom ? 2 : 1]);
    default: return std::string(words[side]);
    }
}

bool HasBlank(string_view text) {
    for (const char c : text)
        if (css::IsBlank(c)) return true;
    return false;
}

bool BeginsWithDigit(string_view word) { return !word.empty() && css::IsAsciiDigit(word.front()); }
bool IsColourWord(string_view word) {
    return (!word.empty() && word.front() == '#') || StartsWithNoCase(word, "rgb");
}
bool IsOther(string_view word) { return !BeginsWithDigit(word) && !IsColourWord(word); }
bool IsNone(string_view word) { return EqualNoCase(word, "none"); }

bool IsBorderStyleWord(string_view word) {
    for (const char* keyword :
         {"none", "hidden", "dotted", "dashed", "solid", "double", "groove", "ridge", "inset", "outset"})
        if (EqualNoCase(word, keyword)) return true;
    return false;
}

// One word of letters that names no border style, width or CSS-wide value:
// the name of a colour (the shortest has three letters).
bool IsColourName(string_view word) {
    if (word.size() < 3) return false;
    for (const char c : word)
        if (!css::IsAsciiLetter(c)) return false;
    if (IsBorderStyleWord(word)) return false;
    for (const char* keyword : {"thin", "medium", "thick", "inherit", "initial", "unset"})
        if (EqualNoCase(word, keyword)) return false;
    return true;
}

// The first word, the second, and the rest after the second.
struct BorderWords {
    string_view w1, w2, rest;
    bool hasW2 = false;
    bool hasRest = false;
};

// The next word from at, after blanks; a group in parentheses
// ("rgb(1, 2, 3)") is one word with the blanks it holds.
string_view NextBorderWord(string_view value, std::size_t* at) {
    while (*at < value.size() && css::IsBlank(value[*at])) ++*at;
    const std::size_t start = *at;
    bool inGroup = false;
    for (; *at < value.size() && (inGroup || !css::IsBlank(value[*at])); ++*at) {
        if (value[*at] == '(') inGroup = true;
        if (value[*at] == ')') inGroup = false;
    }
    return value.substr(start, *at - start);
}

BorderWords SplitBorder(string_view value) {
    BorderWords words;
    std::size_t at = 0;
    words.w1 = NextBorderWord(value, &at);
    const string_view second = NextBorderWord(value, &at);
    if (!second.empty()) {
        words.w2 = second;
        words.hasW2 = true;
        words.rest = css::TrimBlanks(value.substr(at));
        words.hasRest = !words.rest.empty();
    }
    return words;
}

// The words of a shorthand may come in any order: the one that names a
// border style, whichever it is; "" when none does.
string_view StyleWordIn(const BorderWords& words) {
    for (const string_view word : {words.w2, words.w1, words.rest})
        if (IsBorderStyleWord(word)) return word;
    return {};
}

StyleValue BorderWidth(const BorderWords& words) {
    if (BeginsWithDigit(words.w1)) return std::string(words.w1);
    if (IsNone(words.w1)) return std::string("0px");
    if (words.hasW2 && BeginsWithDigit(words.w2) && words.w2.find("px") != kNone) return std::string(words.w2);
    if (!words.hasRest) return std::string("1px");
    if (BeginsWithDigit(words.rest) && words.rest.find("px") != kNone) return std::string(words.rest);
    return std::string();
}

StyleValue BorderStyle(const BorderWords& words) {
    if (!words.hasW2) return std::nullopt;
    if (const string_view style = StyleWordIn(words); !style.empty()) return std::string(style);
    if (IsOther(words.w2)) return std::string(words.w2);
    if (IsNone(words.w1)) return std::string("none");
    if (IsOther(words.w1)) return std::string(words.w1);
    if (IsOther(words.rest)) return std::string(words.rest);
    return std::string();
}

StyleValue BorderColour(const BorderWords& words) {
    if (!words.hasRest) {
        // Two words: a style and a colour ("solid red"), or a width and a
        // colour.
        if (!words.hasW2) return std::nullopt;
        for (const string_view word : {words.w2, words.w1})
            if (IsColourWord(word) || IsColourName(word)) return std::string(word);
        return std::nullopt;
    }
    if (IsColourWord(words.rest)) return std::string(words.rest);
    if (IsNone(words.w1)) return std::string();
    if (IsColourWord(words.w2)) return std::string(words.w2);
    if (IsColourWord(words.w1)) return std::string(words.w1);
    // A colour by name, wherever it stands ("2px solid blue", "red solid 2px").
    for (const string_view word : {words.rest, words.w2, words.w1})
        if (IsColourName(word)) return std::string(word);
    return std::string();
}

// The width of a side from its shorthand (or border's): the first word that
// is a number, passing over colours ("#..." and "rgb(...)" groups).
string_view FirstNumberWord(string_view value) {
    std::size_t at = 0;
    bool inColourGroup = false;
    while (at < value.size()) {
        while (at < value.size() && css::IsBlank(value[at])) ++at;
        const std::size_t start = at;
        while (at < value.size() && !css::IsBlank(value[at])) ++at;
        const string_view word = value.substr(start, at - start);
        if (word.empty()) break;
        if (inColourGroup) {
            inColourGroup = word.find(')') == kNone;
            continue;
        }
        if (StartsWithNoCase(word, "rgb")) {
            inColourGroup = word.find(')') == kNone;
            continue;
        }
        if (word.front() == '#') continue;
        if (css::IsAsciiDigit(word.front()) || word.front() == '.') return word;
    }
    return {};
}

// The first property whose name is a leading part of name ending where name
// has a dash ("border" for "border-top").
const StyleProp* FindLeadingPart(const StyleDeclarations* list, string_view name) {
    for (const StyleProp& prop : list->Props()) {
        const string_view own = prop.name;
        if (own.size() < name.size() && name.substr(0, own.size()) == own && name[own.size()] == '-') return &prop;
    }
    return nullptr;
}

// border-<side>-<what> (and other names with two or more dashes).
StyleValue SideLonghand(const StyleDeclarations* list, string_view name) {
    const std::size_t lastDash = name.rfind('-');
    const string_view shorthand = name.substr(0, lastDash);   // border-top
    const string_view what = name.substr(lastDash + 1);         // width
    if (shorthand.substr(0, 6) != "border") return std::nullopt;
    const Side side = SideNamed(shorthand.substr(shorthand.rfind('-') + 1));

    const StyleProp* found = list->Find(shorthand);
    if (found == nullptr) found = FindLeadingPart(list, shorthand);
    if (found == nullptr) {
        if (what != "width" && what != "style" && what != "color") return std::nullopt;
        const StyleProp* box = list->Find(std::string("border-").append(what));
        if (box == nullptr || side == kNoSide) return std::nullopt;
        return BoxWord(box->value, side);
    }
    const string_view value = found->value;
    if (what == "width") {
        if (!HasBlank(value)) return std::string(value);
        const string_view number = FirstNumberWord(value);
        if (!number.empty()) return std::string(number);
        // The value is a shorthand's (the side's, or border's for every
        // side), whose words are a width, a style and a colour in any
        // order: never a list of widths by side.
        for (const char* keyword : {"thick", "thin", "medium"})
            if (ContainsNoCase(value, keyword)) return std::string(keyword);
        return std::nullopt;
    }
    if (what == "color") {
        if (!HasBlank(value)) return std::string(value);
        return BorderColour(SplitBorder(value));
    }
    if (what == "style") {
        string_view words[2];
        if (css::SplitWords(value, words, 2) < 2) return std::nullopt;
        if (const string_view style = StyleWordIn(SplitBorder(value)); !style.empty()) return std::string(style);
        return std::string(words[1]);
    }
    return std::nullopt;
}

// Nothing of border, border-width or a side written: the side longhands
// that carry what the name asks for. border-width, -style and -color take
// the first of the sides' longhands of that word (top, right, bottom, left);
// border-<side> the first longhand of that side.
StyleValue BorderFromLonghands(const StyleDeclarations* list, string_view what) {
    static constexpr const char* kSides[] = {"top", "right", "bottom", "left"};
    static constexpr const char* kWhat[] = {"width", "style", "color"};
    std::string name;
    const Side side = SideNamed(what);
    if (side != kNoSide) {
        for (const char* word : kWhat) {
            name.assign("border-").append(what).append("-").append(word);
            if (const StyleProp* prop = list->Find(name); prop != nullptr) return prop->value;
        }
        return std::nullopt;
    }
    if (what != "width" && what != "style" && what != "color") return std::nullopt;
    for (const char* sideName : kSides) {
        name.assign("border-").append(sideName).append("-").append(what);
        if (const StyleProp* prop = list->Find(name); prop != nullptr) return prop->value;
    }
    return std::nullopt;
}

// border-width, border-style, border-color, border-<side>.
StyleValue BorderPart(const StyleDeclarations* list, string_view what) {
    const StyleProp* found = nullptr;
    for (const StyleProp& prop : list->Props()) {
        const string_view own = prop.name;
        if (own == "border" || own == "border-width" || own == "border-left" || own == "border-right" ||
            own == "border-top" || own == "border-bottom") {
            found = &prop;
            break;
        }
    }
    if (found == nullptr) return BorderFromLonghands(list, what);
    if (found->name == "border-width") {
        const Side side = SideNamed(what);
        return side == kNoSide ? std::string() : BoxWord(found->value, side);
    }
    const BorderWords words = SplitBorder(found->value);
    if (what == "width") return BorderWidth(words);
    if (what == "style") return BorderStyle(words);
    if (what == "color") return BorderColour(words);
    return std::nullopt;
}

// margin-<side>, padding-<side>.
StyleValue BoxSide(const StyleDeclarations* list, string_view shorthand, string_view what) {
    const StyleProp* box = list->Find(shorthand);
    if (box == nullptr) return std::nullopt;
    const Side side = SideNamed(what);
    if (side == kNoSide) return std::string("0in");
    return BoxWord(box->value, side);
}

bool IsPositionWord(string_view word) {
    for (const char* position : {"center", "top", "left", "right", "bottom"})
        if (StartsWithNoCase(word, position)) return true;
    return false;
}

StyleValue BackgroundPart(const StyleDeclarations* list, string_view what) {
    const StyleProp* background = list->Find("background");
    if (background == nullptr) return std::nullopt;
    string_view t[4];
    const std::size_t count = css::SplitWords(background->value, t, 4);
    if (what == "color") {
        if (count == 0) return std::nullopt;
        if (!StartsWithNoCase(t[0], "url")) {
            std::string colour(t[0]);
            // "rgb(1, 2, 3)" written with blanks comes back whole.
            if (StartsWithNoCase(t[0], "rgb(") && t[0].back() == ',') {
                for (std::size_t n = 1; n < 3 && n < count; ++n) colour.append(t[n]);
            }
            return colour;
        }
        if (count < 2 || ContainsNoCase(t[1], "repeat") || IsPositionWord(t[1])) return std::nullopt;
        return std::string(t[1]);
    }
    if (what == "image") {
        for (std::size_t n = 0; n < 3 && n < count; ++n)
            if (StartsWithNoCase(t[n], "url")) return std::string(t[n]);
        return std::nullopt;
    }
    if (what == "repeat") {
        for (std::size_t n = 1; n < count; ++n)
            if (ContainsNoCase(t[n], "repeat")) return std::string(t[n]);
        return std::nullopt;
    }
    if (what == "position") {
        std::string position;
        for (std::size_t n = 1; n < count; ++n) {
            if (!IsPositionWord(t[n])) continue;
            if (!position.empty()) position.push_back(' ');
            position.append(t[n]);
        }
        return position;
    }
    return std::string();
}

} // namespace

StyleValue FindStyleValueLower(const StyleDeclarations* list, string_view name) {
    if (list == nullptr || name.empty()) return std::nullopt;
    if (const StyleProp* exact = list->Find(name); exact != nullptr) return exact->value;
    const std::size_t dash = name.find('-');
    if (dash == kNone) return std::nullopt;
    if (name.find('-', dash + 1) != kNone) return SideLonghand(list, name);
    const string_view prefix = name.substr(0, dash);
    const string_view what = name.substr(dash + 1);
    if (prefix == "border") return BorderPart(list, what);
    if (prefix == "margin" || prefix == "padding") return BoxSide(list, prefix, what);
    if (prefix == "background") return BackgroundPart(list, what);
    return std::nullopt;
}

StyleValue FindStyleValueInternal(const StyleDeclarations* list, const char* property) {
    if (list == nullptr || property == nullptr || property[0] == '\0') return std::nullopt;
    const bool tracing = g_debugLevel > 3;
    if (tracing) plat::LogLine(0, "FindStyleValueInternal: propname=%s", property);
    const LowerName name(property);
    StyleValue value = FindStyleValueLower(list, name.View());
    if (tracing && value.has_value())
        plat::LogLine(0, "FindStyleValueInternal: found propname=%s value=%s", property, value->c_str());
    return value;
}

} // namespace talix
