// The element names the HTML import knows by id, and what it knows of each:
// the blocks that end in a line break and the image-like tags that the parser
// is told about besides the standard ones. Any other name is kUnknown and
// keeps its text in the node.
#pragma once

#include <cstdint>
#include <string_view>

namespace talix {

enum class HtmlTag : std::uint16_t {
    kUnknown = 0,
    kA, kAbbr, kAcronym, kAddress, kAlign, kApplet, kArea, kArticle, kAside, kAudio,
    kB, kBase, kBaseFont, kBdo, kBig, kBlink, kBlockquote, kBody, kBr, kButton,
    kCanvas, kCaption, kCenter, kCite, kCode, kCol, kColgroup, kComment,
    kDd, kDel, kDetails, kDfn, kDialog, kDir, kDiv, kDl, kDt,
    kEm, kEmbed, kFieldset, kFigcaption, kFigure, kFont, kFooter, kForm, kFrame, kFrameset,
    kH1, kH2, kH3, kH4, kH5, kH6, kHead, kHeader, kHr, kHtml,
    kI, kIframe, kILayer, kImg, kInput, kInputTextArea, kIns, kIsIndex,
    kKbd, kLabel, kLayer, kLegend, kLi, kLink, kListing, kMain, kMap, kMark, kMarquee, kMenu, kMeta,
    kNav, kNobr, kNoframes, kNoLayer, kNoscript,
    kObject, kOfficeParagraph, kOl, kOptgroup, kOption,
    kP, kParam, kPlaintext, kPre, kQ,
    kRb, kRbc, kRp, kRt, kRtc, kRuby,
    kS, kSamp, kScript, kSection, kSelect, kServer, kServlet, kSmall, kSpacer, kSpan, kStrike,
    kStrong, kStyle, kSub, kSummary, kSup, kSvg, kSvgText,
    kTable, kTbody, kTd, kTemplate, kTextarea, kTfoot, kTh, kThead, kTime, kTitle, kTr, kTt,
    kU, kUl, kVar, kVmlImageData, kWbr, kWordWrap, kXmp,
};

// The id of an element name, compared without regard to case; kUnknown for
// a name the import does not know by id.
HtmlTag LookupHtmlTag(std::string_view name);

// The blocks that a trailing line break before them may be dropped for:
// p, h1 to h6, ul, ol, pre, blockquote, div, align and center.
bool IsBlockWithBreak(HtmlTag tag);

// The two image-like tags declared to the parser besides the standard ones
// ("v:imagedata" and "w:wrap"); the walk treats them apart.
bool IsDeclaredImageTag(HtmlTag tag);

// ul, ol, dir and menu.
bool IsListTag(HtmlTag tag);

// The blocks the walk has no handling of its own for (address, article,
// aside, details, dialog, fieldset, figcaption, figure, footer, form,
// header, legend, main, nav, option, section and summary, and an inline
// picture in SVG and each text element of one): each stands on lines of its
// own, apart from the text around it.
bool IsPlainBlock(HtmlTag tag);

// The elements that already begin or end a line of their own where they
// stand: the blocks of IsBlockWithBreak, tables, lists, dl, hr and br.
bool StandsApart(HtmlTag tag);

} // namespace talix
