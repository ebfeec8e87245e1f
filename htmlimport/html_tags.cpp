// The element-name table: one row per known name, looked up through a hash
// map built once.
#include "htmlimport/html_tags.h"
#include "core/text_compare.h"

#include <string>
#include <unordered_map>

namespace talix {

namespace {

struct TagRow {
    const char* name;
    HtmlTag tag;
};

const TagRow kTags[] = {
    {"a", HtmlTag::kA}, {"abbr", HtmlTag::kAbbr}, {"acronym", HtmlTag::kAcronym},
    {"address", HtmlTag::kAddress}, {"align", HtmlTag::kAlign}, {"applet", HtmlTag::kApplet},
    {"area", HtmlTag::kArea}, {"article", HtmlTag::kArticle}, {"aside", HtmlTag::kAside},
    {"audio", HtmlTag::kAudio}, {"b", HtmlTag::kB}, {"base", HtmlTag::kBase},
    {"basefont", HtmlTag::kBaseFont}, {"bdo", HtmlTag::kBdo}, {"big", HtmlTag::kBig},
    {"blink", HtmlTag::kBlink}, {"blockquote", HtmlTag::kBlockquote}, {"body", HtmlTag::kBody},
    {"br", HtmlTag::kBr}, {"button", HtmlTag::kButton}, {"canvas", HtmlTag::kCanvas},
    {"caption", HtmlTag::kCaption}, {"center", HtmlTag::kCenter}, {"cite", HtmlTag::kCite},
    {"code", HtmlTag::kCode}, {"col", HtmlTag::kCol}, {"colgroup", HtmlTag::kColgroup},
    {"comment", HtmlTag::kComment}, {"dd", HtmlTag::kDd}, {"del", HtmlTag::kDel},
    {"details", HtmlTag::kDetails}, {"dfn", HtmlTag::kDfn}, {"dialog", HtmlTag::kDialog}, {"dir", HtmlTag::kDir},
    {"div", HtmlTag::kDiv}, {"dl", HtmlTag::kDl}, {"dt", HtmlTag::kDt}, {"em", HtmlTag::kEm},
    {"embed", HtmlTag::kEmbed}, {"fieldset", HtmlTag::kFieldset}, {"figcaption", HtmlTag::kFigcaption},
    {"figure", HtmlTag::kFigure}, {"font", HtmlTag::kFont}, {"footer", HtmlTag::kFooter},
    {"form", HtmlTag::kForm}, {"frame", HtmlTag::kFrame}, {"frameset", HtmlTag::kFrameset},
    {"h1", HtmlTag::kH1}, {"h2", HtmlTag::kH2}, {"h3", HtmlTag::kH3}, {"h4", HtmlTag::kH4},
    {"h5", HtmlTag::kH5}, {"h6", HtmlTag::kH6}, {"head", HtmlTag::kHead}, {"header", HtmlTag::kHeader},
    {"hr", HtmlTag::kHr}, {"html", HtmlTag::kHtml}, {"i", HtmlTag::kI}, {"iframe", HtmlTag::kIframe},
    {"ilayer", HtmlTag::kILayer}, {"img", HtmlTag::kImg}, {"input", HtmlTag::kInput},
    {"inputtarea", HtmlTag::kInputTextArea}, {"ins", HtmlTag::kIns}, {"isindex", HtmlTag::kIsIndex},
    {"kbd", HtmlTag::kKbd}, {"label", HtmlTag::kLabel}, {"layer", HtmlTag::kLayer},
    {"legend", HtmlTag::kLegend}, {"li", HtmlTag::kLi}, {"link", HtmlTag::kLink},
    {"listing", HtmlTag::kListing}, {"main", HtmlTag::kMain}, {"map", HtmlTag::kMap},
    {"mark", HtmlTag::kMark}, {"marquee", HtmlTag::kMarquee}, {"menu", HtmlTag::kMenu},
    {"meta", HtmlTag::kMeta}, {"nav", HtmlTag::kNav}, {"nobr", HtmlTag::kNobr},
    {"noframes", HtmlTag::kNoframes}, {"nolayer", HtmlTag::kNoLayer}, {"noscript", HtmlTag::kNoscript},
    {"o:p", HtmlTag::kOfficeParagraph}, {"object", HtmlTag::kObject}, {"ol", HtmlTag::kOl},
    {"optgroup", HtmlTag::kOptgroup}, {"option", HtmlTag::kOption}, {"p", HtmlTag::kP},
    {"param", HtmlTag::kParam}, {"plaintext", HtmlTag::kPlaintext}, {"pre", HtmlTag::kPre},
    {"q", HtmlTag::kQ}, {"rb", HtmlTag::kRb}, {"rbc", HtmlTag::kRbc}, {"rp", HtmlTag::kRp},
    {"rt", HtmlTag::kRt}, {"rtc", HtmlTag::kRtc}, {"ruby", HtmlTag::kRuby}, {"s", HtmlTag::kS},
    {"samp", HtmlTag::kSamp}, {"script", HtmlTag::kScript}, {"section", HtmlTag::kSection},
    {"select", HtmlTag::kSelect}, {"server", HtmlTag::kServer}, {"servlet", HtmlTag::kServlet},
    {"small", HtmlTag::kSmall}, {"spacer", HtmlTag::kSpacer}, {"span", HtmlTag::kSpan},
    {"strike", HtmlTag::kStrike}, {"strong", HtmlTag::kStrong}, {"style", HtmlTag::kStyle},
    {"sub", HtmlTag::kSub}, {"summary", HtmlTag::kSummary}, {"sup", HtmlTag::kSup},
    {"svg", HtmlTag::kSvg}, {"text", HtmlTag::kSvgText},
    {"table", HtmlTag::kTable}, {"tbody", HtmlTag::kTbody}, {"td", HtmlTag::kTd}, {"template", HtmlTag::kTemplate},
    {"textarea", HtmlTag::kTextarea}, {"tfoot", HtmlTag::kTfoot}, {"th", HtmlTag::kTh},
    {"thead", HtmlTag::kThead}, {"time", HtmlTag::kTime}, {"title", HtmlTag::kTitle},
    {"tr", HtmlTag::kTr}, {"tt", HtmlTag::kTt}, {"u", HtmlTag::kU}, {"ul", HtmlTag::kUl},
    {"v:imagedata", HtmlTag::kVmlImageData}, {"var", HtmlTag::kVar}, {"w:wrap", HtmlTag::kWordWrap},
    {"wbr", HtmlTag::kWbr}, {"xmp", HtmlTag::kXmp},
};

// Names in the table are at most this long; longer ones are unknown.
constexpr std::size_t kLongestName = 16;

const std::unordered_map<std::string, HtmlTag>& TagMap() {
    static const std::unordered_map<std::string, HtmlTag> map = [] {
        std::unordered_map<std::string, HtmlTag> built;
        for (const TagRow& row : kTags) built.emplace(row.name, row.tag);
        return built;
    }();
    return map;
}

} // namespace

HtmlTag LookupHtmlTag(std::string_view name) {
    if (name.empty() || name.size() > kLongestName) return HtmlTag::kUnknown;
    char lower[kLongestName];
    for (std::size_t i = 0; i < name.size(); ++i)
        lower[i] = LowerAscii(name[i]);
    const auto& map = TagMap();
    const auto found = map.find(std::string(lower, name.size()));
    return found == map.end() ? HtmlTag::kUnknown : found->second;
}

bool IsBlockWithBreak(HtmlTag tag) {
    switch (tag) {
    case HtmlTag::kP: case HtmlTag::kH1: case HtmlTag::kH2: case HtmlTag::kH3: case HtmlTag::kH4:
    case HtmlTag::kH5: case HtmlTag::kH6: case HtmlTag::kUl: case HtmlTag::kOl: case HtmlTag::kPre:
    case HtmlTag::kBlockquote: case HtmlTag::kDiv: case HtmlTag::kAlign: case HtmlTag::kCenter:
        return true;
    default:
        return false;
    }
}

bool IsDeclaredImageTag(HtmlTag tag) { return tag == HtmlTag::kVmlImageData || tag == HtmlTag::kWordWrap; }

bool IsListTag(HtmlTag tag) {
    return tag == HtmlTag::kUl || tag == HtmlTag::kOl || tag == HtmlTag::kDir || tag == HtmlTag::kMenu;
}

bool IsPlainBlock(HtmlTag tag) {
    switch (tag) {
    case HtmlTag::kAddress: case HtmlTag::kArticle: case HtmlTag::kAside: case HtmlTag::kDetails:
    case HtmlTag::kDialog:
    case HtmlTag::kFieldset: case HtmlTag::kFigcaption: case HtmlTag::kFigure: case HtmlTag::kFooter:
    case HtmlTag::kForm: case HtmlTag::kHeader: case HtmlTag::kLegend: case HtmlTag::kMain:
    case HtmlTag::kNav: case HtmlTag::kOption: case HtmlTag::kSection: case HtmlTag::kSummary:
    case HtmlTag::kSvg: case HtmlTag::kSvgText:
        return true;
    default:
        return false;
    }
}

bool StandsApart(HtmlTag tag) {
    return IsBlockWithBreak(tag) || IsListTag(tag) || tag == HtmlTag::kTable || tag == HtmlTag::kDl ||
           tag == HtmlTag::kHr || tag == HtmlTag::kBr;
}

} // namespace talix
