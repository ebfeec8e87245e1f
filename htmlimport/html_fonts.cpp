// The font of a run of imported text.
#include "htmlimport/html_fonts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/item_work_state.h"
#include "builders/build_context.h"
#include "core/text_compare.h"
#include "htmlimport/css_colours.h"
#include "htmlimport/css_lengths.h"
#include "htmlimport/css_text.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/style_lookup.h"
#include "htmlimport/walk_memo.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Points per CSS pixel.
constexpr double kPointsPerPixel = 0.77;
constexpr std::uint8_t kFontElementSize = 12;   // what the first face or size of a font element starts from
constexpr std::uint8_t kLinkColor = 4;          // the colour index of link text without a colour of its own
constexpr std::uint8_t kMonospaceFace = 4;
constexpr std::size_t kFaceNameChars = 31;      // of a family or a face attribute

// Heading sizes of h1 to h6.
constexpr std::uint8_t kHeadingSizes[6] = {20, 16, 12, 10, 9, 7};

struct GenericFace {
    const char* name;
    std::uint8_t face;
};
constexpr GenericFace kGenericFaces[] = {
    {"sans-serif", 1}, {"Default Sans Serif", 1}, {"Swiss", 1},   {"serif", 0},
    {"Default Serif", 0}, {"Roman", 0},          {"Default MultiLingual", 2},
    {"Courier", 4},    {"Default Monospace", 4}, {"Default User Interface", 3},
};

struct Highlight {
    const char* name;
    std::uint16_t flag;
};
constexpr Highlight kHighlights[] = {
    {"#ffffc2", kColorHighlightYellow}, {"rgb(255,255,194)", kColorHighlightYellow},
    {"rgb(255, 255, 194)", kColorHighlightYellow}, {"yellow", kColorHighlightYellow},
    {"green", kColorHighlightYellow},   {"#ffe0e6", kColorHighlightPink},
    {"rgb(255,224,230)", kColorHighlightPink},     {"rgb(255, 224, 230)", kColorHighlightPink},
    {"pink", kColorHighlightPink},      {"red", kColorHighlightPink},
    {"#e0ffff", kColorHighlightBlue},   {"rgb(224,255,255)", kColorHighlightBlue},
    {"rgb(224, 255, 255)", kColorHighlightBlue},   {"blue", kColorHighlightBlue},
    {"aqua", kColorHighlightBlue},
};

StyleValue Copy(const std::string* value) { return value != nullptr ? StyleValue(*value) : std::nullopt; }

std::uint8_t SizeAt(const HTMLImportContext* import, int index) {
    return index <= 0 ? import->baseFontSize : import->htmlFontSizes[std::min(index, kHtmlFontSizes) - 1];
}

std::uint8_t Points(double points) {
    if (!(points >= 1)) return 1;
    return points >= 255 ? 255 : static_cast<std::uint8_t>(points);
}

// A number of pixels as points, to the nearest whole point (halves up).
std::uint8_t PixelPoints(double pixels) { return Points(std::floor(pixels * kPointsPerPixel + 0.5)); }

// The look-ups of the run: through the walk's memo, or a memo of the run's
// own when no walk runs.
class RunStyle {
public:
    explicit RunStyle(const HTMLImportContext* import)
        : memo_(import->walkMemo != nullptr ? import->walkMemo : &own_.emplace(import)) {}

    const std::string* Own(const HtmlNode* node, WalkMemo::Question question) const {
        return memo_->Ask(node, question);
    }
    // What the element's text inherits (see WalkMemo::Inherited), copied.
    WalkMemo::Inheritance Inherited(const HtmlNode* element) const {
        const WalkMemo::Inheritance* state = memo_->Inherited(element);
        return state != nullptr ? *state : WalkMemo::Inheritance{};
    }
    WalkMemo& Memo() const { return *memo_; }

private:
    std::optional<WalkMemo> own_;
    WalkMemo* memo_;
};

// The item's face of the name (compared without regard to case), else the
// face defined for it; a face found or defined is kept in the walk's memo.
std::uint8_t FaceOfFamily(BuildContext* context, const HTMLImportContext* import, const std::string& name) {
    ZervaRTItem* item = context->output.item;
    if (item == nullptr || item->work == nullptr || name.empty()) return 1;
    WalkMemo* memo = import->walkMemo;
    if (const std::uint8_t* kept = memo != nullptr ? memo->FindFace(name) : nullptr) return *kept;
    const ItemWorkState& work = *item->work;
    const int count = std::min<int>(work.faceCount, kFaceTableCapacity);
    std::uint8_t face = 0;
    bool found = false;
    for (int i = 0; i < count && !found; ++i) {
        if (CompareNamesNoCase(work.faces[i].name, name.c_str(), sizeof work.faces[i].name) == 0 &&
            name.size() < sizeof work.faces[i].name) {
            face = work.faces[i].face;
            found = true;
        }
    }
    if (!found) face = item->DefineFont(name.c_str());
    if (memo != nullptr && (found || face != 0)) memo->KeepFace(name, face);
    return face;
}

// Face names are LMBCS: a later byte of a character of several bytes (as
// in the Unicode group, 0x14 and two bytes) may look like a comma, quote or
// blank, so face names are cut and trimmed by whole characters.
std::size_t CharacterBytes(std::string_view text, std::size_t at) {
    const auto* p = reinterpret_cast<const plat::BYTE*>(text.data() + at);
    const std::size_t step = plat::LmbcsCharLength(p, static_cast<plat::DWORD>(text.size() - at));
    return std::clamp<std::size_t>(step, 1, text.size() - at);
}

// The first place of the mark c at or after from, by whole characters; npos
// when there is none.
std::size_t FindMark(std::string_view text, char c, std::size_t from = 0) {
    for (std::size_t at = from; at < text.size(); at += CharacterBytes(text, at))
        if (text[at] == c) return at;
    return std::string_view::npos;
}

// The first whole characters of text within limit bytes.
std::string_view WholeCharactersWithin(std::string_view text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t step = CharacterBytes(text, end);
        if (end + step > limit) break;
        end += step;
    }
    return text.substr(0, end);
}

// The text without the characters of one byte that strip picks at its
// start and end.
template <typename Strip>
std::string_view TrimCharacters(std::string_view text, Strip strip) {
    while (!text.empty() && strip(text.front())) text.remove_prefix(1);
    std::size_t end = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t step = CharacterBytes(text, at);
        if (step > 1 || !strip(text[at])) end = at + step;
        at += step;
    }
    return text.substr(0, end);
}

// Whether the last character of text is the mark c.
bool EndsWithMark(std::string_view text, char c) {
    std::size_t last = std::string_view::npos;
    for (std::size_t at = 0; at < text.size(); at += CharacterBytes(text, at)) last = at;
    return last != std::string_view::npos && last + 1 == text.size() && text[last] == c;
}

// A family value cut at its first comma, with enclosing quotes and blanks
// removed.
std::string FirstFamily(std::string_view value) {
    value = TrimCharacters(value.substr(0, FindMark(value, ',')), css::IsBlank);
    while (value.size() >= 2 && (value.front() == '\'' || value.front() == '"') && EndsWithMark(value, value.front()))
        value = TrimCharacters(value.substr(1, value.size() - 2), css::IsBlank);
    return std::string(value);
}

bool IsMonospaceFamily(const std::string& family) {
    return CompareNamesNoCase(family.c_str(), "monospace") == 0 || CompareNamesNoCase(family.c_str(), "monotype") == 0;
}

// Whether a CSS font-size value is relative to the size around it (em or
// a percentage), or takes that size (a negative size).
bool IsRelativeSize(std::string_view text) {
    if (!text.empty() && text.front() == '-') return true;
    return !text.empty() && !css::IsAsciiLetter(text.front()) && text.find("px") == std::string_view::npos &&
           text.find("pt") == std::string_view::npos &&
           (text.find('%') != std::string_view::npos || text.find("em") != std::string_view::npos);
}

// A CSS font-size value as points: pixels at 0.77 point, points as their
// whole number, a keyword through the size table, em and percentages of
// the size around it, else the whole number.
std::uint8_t CssFontSize(const HTMLImportContext* import, const std::string& value, std::uint8_t around) {
    const std::string_view text = css::TrimBlanks(value);
    if (text.empty()) return around;
    if (css::IsAsciiLetter(text.front())) return FontSizeKeywordToPoints(import, std::string(text).c_str(), around);
    // A negative size is no size: the text keeps the size around it.
    if (text.front() == '-') return around;
    if (text.find("px") != std::string_view::npos) return PixelPoints(LeadingNumber(text));
    if (text.find("pt") != std::string_view::npos) return Points(static_cast<double>(LeadingInteger(text)));
    if (text.find('%') != std::string_view::npos) return Points(std::floor(around * LeadingNumber(text) / 100 + 0.5));
    if (text.find("em") != std::string_view::npos) return Points(std::floor(around * LeadingNumber(text) + 0.5));
    // The other units of length (and px and pt written in capitals) by what
    // they measure in points.
    const std::size_t unitAt = text.find_first_not_of("+-0123456789.");
    const std::string unit = unitAt != std::string_view::npos ? css::LowerCopy(text.substr(unitAt)) : std::string();
    const double number = LeadingNumber(text);
    if (unit == "px") return PixelPoints(number);
    if (unit == "in") return Points(std::floor(number * 72 + 0.5));
    if (unit == "cm") return Points(std::floor(number * 72 / 2.54 + 0.5));
    if (unit == "mm") return Points(std::floor(number * 72 / 25.4 + 0.5));
    if (unit == "pc") return Points(std::floor(number * 12 + 0.5));
    return Points(static_cast<double>(LeadingInteger(text)));
}

// Whether a CSS font-weight is bold: a word holding "bold" ("bolder" too),
// or a number from 600 up (700 is bold).
bool IsBoldWeight(std::string_view weight) {
    if (ContainsNoCase(weight, "bold")) return true;
    weight = css::TrimBlanks(weight);
    if (weight.empty() || weight.find_first_not_of("0123456789") != std::string_view::npos) return false;
    return LeadingInteger(weight) >= 600;
}

// The font colour text, cut to kFontColorChars characters (every run of a
// kept font copies it, so without formatting).
void CopyFontColor(HTMLImportContext* import, const char* value) {
    constexpr std::size_t kLongest = std::min<std::size_t>(kFontColorChars, sizeof(HTMLImportContext::fontColorText) - 1);
    const std::size_t length = strnlen(value, kLongest);
    std::memcpy(import->fontColorText, value, length);
    import->fontColorText[length] = '\0';
}

// Step by step, the font elements around the text, outermost first.
void ApplyFontElements(BuildContext* context, HTMLImportContext* import, const RunStyle& style,
                       const WalkMemo::Inheritance& state, FontId* font) {
    if (state.nearestFont == nullptr) return;
    std::vector<const HtmlNode*> fonts;
    for (const HtmlNode* at = state.nearestFont; at != nullptr; at = style.Inherited(at->parent).nearestFont)
        fonts.push_back(at);
    bool sized = false;
    for (auto element = fonts.rbegin(); element != fonts.rend(); ++element) {
        for (const HtmlAttr* attr = (*element)->attributes; attr != nullptr; attr = attr->next) {
            const char* value = attr->value != nullptr ? attr->value : "";
            const bool face = CompareNamesNoCase(attr->name, "face") == 0;
            const bool size = CompareNamesNoCase(attr->name, "size") == 0;
            if ((face || size) && !sized) {
                font->size = kFontElementSize;
                sized = true;
            }
            if (face) {
                const std::string* family = style.Own(*element, WalkMemo::kFontFamily);
                const int id = ImportFaceId(context, import, family != nullptr ? family->c_str() : value,
                                            kFaceNameChars);
                if (id >= 0) font->face = static_cast<std::uint8_t>(id);
            } else if (size) {
                const bool signed_ = value[0] == '+' || value[0] == '-';
                font->size = MapHTMLFontSize(import, LeadingInteger(signed_ ? value + 1 : value),
                                             signed_ ? value[0] : '\0', font->size);
            } else if (CompareNamesNoCase(attr->name, "color") == 0) {
                CopyFontColor(import, value);
            }
        }
    }
}

// u, a, s and strike around the text, and the nearest text-decoration of
// the other elements.
void ApplyDecorations(const WalkMemo::Inheritance& state, FontId* font) {
    font->attributes |= state.decorationTags;
    const std::string* decoration = state.walks[WalkMemo::kDecorationWalk].value;
    if (decoration == nullptr) return;
    if (ContainsNoCase(*decoration, "none")) {
        font->attributes &= static_cast<std::uint8_t>(~(kAttrUnderline | kAttrStrike));
        return;
    }
    if (ContainsNoCase(*decoration, "underline")) font->attributes |= kAttrUnderline;
    if (ContainsNoCase(*decoration, "line-through")) font->attributes |= kAttrStrike;
}

// The size from CSS: the nearest font-size below the nearest font element
// that has a size of its own. A size relative to the one around it (em, a
// percentage) takes the sizes further up as its base.
void ApplyCssSize(const HTMLImportContext* import, const RunStyle& style, const WalkMemo::Inheritance& state,
                  FontId* font) {
    const std::string* sizes[8];
    std::vector<const std::string*> more;
    std::size_t count = 0;
    for (const HtmlNode* at = state.sizeLink; at != nullptr;) {
        const WalkMemo::Inheritance own = style.Inherited(at);
        if (own.fontWithSize) break;
        if (count < sizeof sizes / sizeof sizes[0]) {
            sizes[count++] = own.ownSize;
        } else {
            more.push_back(own.ownSize);
        }
        if (!IsRelativeSize(css::TrimBlanks(*own.ownSize))) break;
        at = at->parent != nullptr ? style.Inherited(at->parent).sizeLink : nullptr;
    }
    // The sizes are answers of the memo: the points of each around a size
    // are kept there, since the runs of like elements ask them again.
    auto pointsOf = [&](const std::string* size, std::uint8_t around) {
        if (const std::uint8_t* kept = style.Memo().FindSize(size, around)) return *kept;
        const std::uint8_t points = CssFontSize(import, *size, around);
        style.Memo().KeepSize(size, around, points);
        return points;
    };
    std::uint8_t points = font->size;
    for (auto size = more.rbegin(); size != more.rend(); ++size) points = pointsOf(*size, points);
    while (count > 0) points = pointsOf(sizes[--count], points);
    font->size = points;
}

// ParseColorSpec, through the walk's memo where the text's colour does not
// depend on the index given.
std::uint16_t ParseRunColor(const HTMLImportContext* import, const char* given, std::uint16_t* index,
                            std::uint32_t* rgb) {
    const std::string colour = ColourTextForParser(given);
    const char* text = colour.c_str();
    if (import->walkMemo == nullptr || ContainsNoCase(text, "windowtext")) return ParseColorSpec(text, index, rgb);
    const WalkMemo::ParsedColor parsed = import->walkMemo->ParseColor(text);
    *index = parsed.index;
    *rgb = parsed.rgb;
    return parsed.status;
}

// Parses a colour into the run; false when the text is no colour.
bool TakeColor(const HTMLImportContext* import, const char* text, RunFont* run) {
    std::uint16_t index = run->font.color;
    std::uint32_t rgb = 0;
    if (text == nullptr || ParseRunColor(import, text, &index, &rgb) != kOK) return false;
    run->font.color = static_cast<std::uint8_t>(index);
    run->colored = true;
    run->colorFlags = static_cast<std::uint16_t>(run->colorFlags | kColorIsRGB);
    run->rgb = rgb;
    return true;
}

void ApplyColor(const HTMLImportContext* import, const WalkMemo::Inheritance& state, const HtmlNode* parent,
                RunFont* run) {
    const bool inLink = parent->Is(HtmlTag::kA);
    // Link text asks the link alone.
    const StyleValue color =
        inLink ? StyleAttrElem(parent, "color", "color", nullptr, nullptr, nullptr, nullptr, false,
                               import->styleRules1.Empty() ? nullptr : &import->styleRules1,
                               import->styleRules2.Empty() ? nullptr : &import->styleRules2)
               : Copy(state.up[WalkMemo::kColorUp]);
    const bool fontColor = import->fontColorText[0] != '\0';
    if (color.has_value()) {
        const bool taken = TakeColor(import, color->c_str(), run);
        if ((!taken || run->font.color == 0) && fontColor) TakeColor(import, import->fontColorText, run);
    } else if (inLink) {
        run->font.color = kLinkColor;
    } else if (fontColor) {
        TakeColor(import, import->fontColorText, run);
    }
}

// The family from CSS (or tt): none below the nearest font element that
// names a face.
void ApplyFamily(BuildContext* context, const HTMLImportContext* import, const WalkMemo::Inheritance& state,
                 FontId* font) {
    const WalkMemo::WalkResult& walked = state.walks[WalkMemo::kFamilyWalk];
    switch (walked.end) {
    case WalkMemo::kEndFontFace:
        return;
    case WalkMemo::kEndTt:
        font->face = kMonospaceFace;
        return;
    case WalkMemo::kEndAnswer: {
        const std::string name = FirstFamily(*walked.value);
        if (IsMonospaceFamily(name)) {
            font->face = kMonospaceFace;
        } else if (!name.empty()) {
            font->face = FaceOfFamily(context, import, name);
        }
        return;
    }
    default:
        break;
    }
    if (import->inPre != 0) font->face = kMonospaceFace;
}

// The background colour below the enclosing cell; true when one was found.
bool ApplyHighlight(const WalkMemo::Inheritance& state, RunFont* run) {
    const WalkMemo::WalkResult& walked = state.walks[WalkMemo::kHighlightWalk];
    if (walked.end != WalkMemo::kEndAnswer) return false;
    const std::string_view value = css::TrimBlanks(*walked.value);
    for (const Highlight& highlight : kHighlights) {
        if (!EqualNoCase(value, highlight.name)) continue;
        run->colored = true;
        run->colorFlags = static_cast<std::uint16_t>(run->colorFlags | highlight.flag);
        break;
    }
    return true;
}

// The words of the CSS font shorthand, each used word taken out; what
// remains names the family.
void ApplyFontShorthand(BuildContext* context, const HTMLImportContext* import, const WalkMemo::Inheritance& state,
                        FontId* font) {
    const std::string* shorthand = state.up[WalkMemo::kFontUp];
    if (shorthand == nullptr) return;
    std::string rest = *shorthand;
    std::size_t at = 0;
    while (at < rest.size()) {
        while (at < rest.size() && css::IsBlank(rest[at])) ++at;
        const std::size_t start = at;
        while (at < rest.size() && !css::IsBlank(rest[at])) ++at;
        const std::string_view word(rest.data() + start, at - start);
        if (word.empty()) break;
        bool used = true;
        if (ContainsNoCase(word, "none")) {
            font->attributes &= static_cast<std::uint8_t>(~(kAttrUnderline | kAttrStrike));
        } else if (EqualNoCase(word, "normal") || EqualNoCase(word, "lighter")) {
            font->attributes &= static_cast<std::uint8_t>(~(kAttrBold | kAttrItalic));
        } else if (EqualNoCase(word, "italic") || EqualNoCase(word, "oblique")) {
            font->attributes |= kAttrItalic;
        } else if (EqualNoCase(word, "bold") || EqualNoCase(word, "bolder") ||
                   (IsBoldWeight(word) && !css::IsAsciiLetter(word.front()))) {
            font->attributes |= kAttrBold;
        } else if (css::IsAsciiDigit(word.front()) && word.find("pt") != std::string_view::npos) {
            font->size = Points(static_cast<double>(LeadingInteger(word)));
        } else if (css::IsAsciiDigit(word.front()) && word.find("px") != std::string_view::npos) {
            font->size = PixelPoints(LeadingNumber(word));
        } else {
            used = false;
        }
        if (used) std::fill(rest.begin() + static_cast<long>(start), rest.begin() + static_cast<long>(at), ' ');
    }
    std::string_view family = rest;
    while (!family.empty() && css::IsBlank(family.front())) family.remove_prefix(1);
    if (family.empty()) return;
    if (family.front() == '\'' || family.front() == '"') {
        const std::size_t close = FindMark(family, family.front(), 1);
        family = family.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
    } else {
        family = family.substr(0, FindMark(family, ','));
    }
    family = TrimCharacters(family, css::IsBlank);
    if (!family.empty()) font->face = FaceOfFamily(context, import, std::string(family));
}

} // namespace

std::uint8_t MapHTMLFontSize(const HTMLImportContext* import, long size, char sign, std::uint8_t current) {
    if (import == nullptr) return current;
    if (sign != '+' && sign != '-') return size >= 1 && size <= kHtmlFontSizes ? SizeAt(import, static_cast<int>(size))
                                                                            : import->baseFontSize;
    int index = 1;
    for (int i = 1; i <= kHtmlFontSizes; ++i)
        if (current >= SizeAt(import, i)) index = i;
    const long step = std::clamp<long>(size, -kHtmlFontSizes, kHtmlFontSizes);
    long result = sign == '+' ? std::min<long>(index + step, kHtmlFontSizes) : (index > step ? index - step : 1);
    result = std::clamp<long>(result, 0, kHtmlFontSizes);
    return SizeAt(import, static_cast<int>(result));
}

std::uint8_t FontSizeKeywordToPoints(const HTMLImportContext* import, const char* keyword, std::uint8_t current) {
    if (import == nullptr || keyword == nullptr || keyword[0] == '\0') return current;
    const std::uint8_t s1 = SizeAt(import, 1), s2 = SizeAt(import, 2);
    if (CompareNamesNoCase(keyword, "xx-small") == 0) return s1;
    if (CompareNamesNoCase(keyword, "x-small") == 0)
        return s2 >= s1 + 2 ? static_cast<std::uint8_t>(s1 + (s2 - s1) / 2) : s1;
    static const char* const kWords[] = {"small", "medium", "large", "x-large", "xx-large"};
    for (int n = 0; n < 5; ++n)
        if (CompareNamesNoCase(keyword, kWords[n]) == 0) return SizeAt(import, n + 2);
    if (CompareNamesNoCase(keyword, "smaller") == 0) {
        std::uint8_t size = s1;
        for (int i = 1; i <= kHtmlFontSizes; ++i)
            if (SizeAt(import, i) <= current) size = SizeAt(import, i);
        return size;
    }
    return current;
}

int ImportFaceId(BuildContext* context, HTMLImportContext* import, const char* name, std::size_t maxChars) {
    if (name == nullptr) return -1;
    std::string_view value = WholeCharactersWithin(std::string_view(name, strnlen(name, maxChars + 1)), maxChars);
    value = value.substr(0, FindMark(value, ','));
    value = TrimCharacters(value, [](char c) { return c == ' ' || c == '\t' || c == '\'' || c == '"'; });
    if (value.empty()) return -1;
    const std::string face(value);
    for (const GenericFace& generic : kGenericFaces)
        if (CompareNamesNoCase(face.c_str(), generic.name) == 0) return generic.face;
    for (int n = 0; n < import->faceCount && n < kRememberedFaces; ++n)
        if (CompareNamesNoCase(import->faceNames[n], face.c_str()) == 0) return import->faceIds[n];
    ZervaRTItem* item = context->output.item;
    const std::uint8_t id = item != nullptr ? item->DefineFont(face.c_str()) : 0;
    if (import->faceCount < kRememberedFaces) {
        std::snprintf(import->faceNames[import->faceCount], sizeof import->faceNames[0], "%s", face.c_str());
        import->faceIds[import->faceCount] = id;
        ++import->faceCount;
    }
    return id;
}

namespace {

// The font of the runs of a parent element, found anew.
RunFont WorkOutRunFont(BuildContext* context, HTMLImportContext* import, const HtmlNode* parent) {
    RunFont run;
    const RunStyle style(import);
    FontId& font = run.font;
    const WalkMemo::Inheritance state = style.Inherited(parent);

    if (state.heading != 0) {
        font.attributes |= kAttrBold;
        font.size = kHeadingSizes[state.heading - 1];
    }
    ApplyFontElements(context, import, style, state, &font);
    ApplyDecorations(state, &font);

    std::uint16_t source = state.upSource[WalkMemo::kWeightUp];
    const std::string* weight = state.up[WalkMemo::kWeightUp];
    if (source >= kStyleFromTag1 || (weight != nullptr && IsBoldWeight(*weight)))
        font.attributes |= kAttrBold;
    else if (weight != nullptr && ContainsNoCase(*weight, "lighter"))
        font.attributes &= static_cast<std::uint8_t>(~kAttrBold);
    source = state.upSource[WalkMemo::kSlantUp];
    const std::string* slant = state.up[WalkMemo::kSlantUp];
    // An oblique face is shown as italic.
    if (source >= kStyleFromTag1 ||
        (slant != nullptr && (ContainsNoCase(*slant, "italic") || ContainsNoCase(*slant, "oblique"))))
        font.attributes |= kAttrItalic;
    source = state.upSource[WalkMemo::kScriptUp];
    if (source == kStyleFromTag1) font.attributes |= kAttrSubscript;
    if (source == kStyleFromTag1 + 1) font.attributes |= kAttrSuperscript;

    if (import->headingSize != 0) {
        font.size = static_cast<std::uint8_t>(std::min<std::uint16_t>(import->headingSize, 255));
    } else {
        ApplyCssSize(import, style, state, &font);
    }
    ApplyColor(import, state, parent, &run);

    const std::string* direction = state.up[WalkMemo::kDirectionUp];
    import->rightToLeft = direction != nullptr && EqualNoCase(css::TrimBlanks(*direction), "rtl") ? 1 : 0;

    ApplyFamily(context, import, state, &font);
    const bool coloredBefore = run.colored;
    if (ApplyHighlight(state, &run) && !coloredBefore) ApplyFontShorthand(context, import, state, &font);
    if (import->headingSize != 0) font.attributes |= kAttrBold;
    return run;
}

} // namespace

RunFont CalcRunFont(BuildContext* context, HTMLImportContext* import, const HtmlNode* text) {
    const HtmlNode* parent = text != nullptr ? text->parent : nullptr;
    if (parent == nullptr || import == nullptr) return RunFont{};
    // The runs of one element share their font while the state they depend
    // on stays the same.
    WalkMemo* memo = import->walkMemo;
    if (const WalkMemo::RunMemo* kept = memo != nullptr ? memo->FindRun(parent) : nullptr;
        kept != nullptr && kept->headingSize == import->headingSize && kept->inPre == import->inPre &&
        kept->colorTextBefore == import->fontColorText) {
        RunFont run;
        run.font = ReadFontId(kept->font);
        run.colored = kept->colored;
        run.colorFlags = kept->colorFlags;
        run.rgb = kept->rgb;
        CopyFontColor(import, kept->colorTextAfter.c_str());
        import->rightToLeft = kept->rightToLeft;
        return run;
    }
    WalkMemo::RunMemo fresh;
    if (memo != nullptr) fresh.colorTextBefore = import->fontColorText;
    const RunFont run = WorkOutRunFont(context, import, parent);
    if (memo != nullptr) {
        fresh.headingSize = import->headingSize;
        fresh.inPre = import->inPre;
        WriteFontId(fresh.font, run.font);
        fresh.colored = run.colored;
        fresh.colorFlags = run.colorFlags;
        fresh.rgb = run.rgb;
        fresh.colorTextAfter = import->fontColorText;
        fresh.rightToLeft = import->rightToLeft;
        memo->KeepRun(parent, std::move(fresh));
    }
    return run;
}

void BuildLinkFontText(const HTMLImportContext* import, const HtmlNode* anchor, std::uint8_t currentSize,
                       char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    const CSSRuleList* first = import->styleRules1.Empty() ? nullptr : &import->styleRules1;
    const CSSRuleList* second = import->styleRules2.Empty() ? nullptr : &import->styleRules2;
    const auto own = [&](const char* property) { return FindStyleValue(anchor, property, first, second); };

    std::string text;
    StyleValue color = own("color");
    if (!color.has_value()) {
        const char* link = AttributeValue(anchor, "link");
        if (link != nullptr) color = std::string(link);
    }
    text = color.has_value() ? color->substr(0, kFontColorChars) : std::string("Blue");

    const StyleValue decoration = own("text-decoration");
    if (decoration.has_value() && EqualNoCase(css::TrimBlanks(*decoration), "none")) {
        text += " -Underline -Strikethrough";
    } else if (decoration.has_value()) {
        if (ContainsNoCase(*decoration, "underline")) text += " +Underline";
        if (ContainsNoCase(*decoration, "line-through")) text += " +Strikethrough";
    } else {
        text += " +Underline";
    }

    const StyleValue fontSize = own("font-size");
    if (fontSize.has_value())
        text.append(" ").append(std::to_string(CssFontSize(import, *fontSize, currentSize))).append("pt");

    const StyleValue style = own("font-style");
    if (style.has_value() && ContainsNoCase(*style, "normal")) {
        text += " -italic";
    } else if (style.has_value() && ContainsNoCase(*style, "italic")) {
        text += " +italic";
    }
    const StyleValue weight = own("font-weight");
    if (weight.has_value() && (ContainsNoCase(*weight, "normal") || ContainsNoCase(*weight, "lighter"))) {
        text += " -bold";
    } else if (weight.has_value() && ContainsNoCase(*weight, "bold")) {
        text += " +bold";
    }
    std::snprintf(out, size, "%s", text.c_str());
}

} // namespace talix
