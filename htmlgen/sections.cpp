// Collapsible sections: the start written at a section record, in the
// plain style (a rule and the title), the CSS style (an expand and a
// collapse block that a script switches) or the ZelundaSections style (a
// title bar in the section's border colour, a message header, and a
// closing rule at the end of the section's hotspot range).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/clamp.h"
#include "core/font_spec.h"
#include "core/record_forms.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/css_format.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/font_change.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/hotspots.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"

namespace talix {

namespace {

// Section record: flags, title font, the title after the fixed part.
constexpr std::uint32_t kFlagsAt = 4, kTitleFontAt = 8, kTitleAt = 14;
constexpr std::uint32_t kExpanded = 0x10, kTitleFormula = 0x2000;
constexpr int kBorderShift = 28;
constexpr std::uint32_t kBorderMask = 0x7;
// The record that marks a message header: signature 98 with 128 at byte 4.
constexpr std::uint16_t kHeaderMark = 128;
constexpr std::size_t kTitleScratch = 4096;

bool Xhtml(const XMLGenContext* context) { return context->format == kFormatXHTML; }
const char* EmptyEnd(const XMLGenContext* context) { return Xhtml(context) ? " />" : ">"; }

// The pattern with every "%s" replaced by the value.
std::string Format(const char* pattern, const std::string& value) {
    std::string text = pattern;
    for (std::size_t at = text.find("%s"); at != std::string::npos; at = text.find("%s", at + value.size()))
        text.replace(at, 2, value);
    return text;
}

std::string Title(const CDRecordNode* node) {
    if (node->length <= kTitleAt) return {};
    const char* text = reinterpret_cast<const char*>(node->bytes) + kTitleAt;
    return std::string(text, strnlen(text, node->length - kTitleAt));
}

std::uint32_t BorderStyle(const CDRecordNode* node) { return (NodeDword(node, kFlagsAt) >> kBorderShift) & kBorderMask; }

// The section's border colour: of a colour record right after it, else
// of its title font.
std::string BorderColour(const CDRecordNode* node) {
    const CDRecordNode* next = node->next;
    char text[kCSSColorSize + 8] = "#006400";
    if (next != nullptr && next->signature == kSigColor) {
        std::snprintf(text, sizeof text, "#%.2x%.2x%.2x", NodeByte(next, 4), NodeByte(next, 5), NodeByte(next, 6));
    } else {
        char css[kCSSColorSize] = {};
        if (ColorToCSS(NodeByte(node, kTitleFontAt + 2), css, kColorAsRGB) == kOK && css[0] != '\0')
            std::snprintf(text, sizeof text, "%s", css);
    }
    return text;
}

// Whether a message header follows the section record (directly or one
// record later).
bool HasMessageHeader(const CDRecordNode* node) {
    const CDRecordNode* at = node->next;
    for (int i = 0; i < 2 && at != nullptr; ++i, at = at->next) {
        if (at->signature == kSigDataFlags && NodeWord(at, 4) == kHeaderMark) return true;
    }
    return false;
}

// formula: the text is a formula whose result is written (a computed
// section title).
void WriteEncoded(XMLGenContext* context, const std::string& text, bool formula = false) {
    if (text.empty()) return;
    WriteXMLEncodedText(context, text.data(), ClampToWord(text.size()),
                        1, 0, formula ? 1 : 0);
}

// A text in the title font: the font's markup, the text (encoded
// already), and the closing of what the markup opened.
void WriteInTitleFont(XMLGenContext* context, const CDRecordNode* node, const std::string& encoded) {
    const FontId font = ReadFontId(node->length >= kTitleFontAt + 4 ? node->bytes + kTitleFontAt
                                                                     : reinterpret_cast<const std::uint8_t*>("\0\0\0\0"));
    const FontId current = context->currentFont;
    const int currentColour = context->currentColourGiven;
    const std::uint32_t depth = CloseTagDepth(context);
    WriteXMLFontChange(&font, nullptr, context, 0, 0, 0);
    MoveToTextEnd(context);
    AppendOutput(context, encoded.data(), encoded.size());
    char closing[256] = {};
    PopCloseTags(context, depth, closing, sizeof closing);
    AppendOutput(context, closing);
    context->currentFont = current;
    context->currentColourGiven = currentColour;
}

// ---- The plain and CSS styles --------------------------------------------------

// The start of one of a CSS section's two blocks (its division, given by
// the pattern with the id and the display), the link that switches to the
// other, and the heading with the switch's picture.
void WriteSwitchBlock(XMLGenContext* context, const char* division, int id, const char* display, char action,
                      const char* picture, const char* alt) {
    char text[256];
    std::snprintf(text, sizeof text, division, id, display);
    AppendOutput(context, text);
    // The heading holds the link (a heading may not stand in a link).
    std::snprintf(text, sizeof text, "<h3><a href=\"#\" onclick=\"expandCollapseSection(%d,'%c')\">\n<img src='", id,
                  action);
    AppendOutput(context, text);
    // The picture's address as the options give it, fit for the value.
    const std::string source = SingleQuotedAttributeValue(picture);
    AppendOutput(context, source.data(), source.size());
    AppendOutput(context, "' alt='");
    AppendOutput(context, alt);
    AppendOutput(context, "' border='0'");
    AppendOutput(context, EmptyEnd(context));
    AppendOutput(context, "\n");
}

void WritePlainSection(XMLGenContext* context, const CDRecordNode* node) {
    const std::string title = Title(node);
    const bool css = IsOn(context, sw::kSectionsInCSS);
    const int id = context->sectionCounter + 1;
    const bool expanded = (NodeDword(node, kFlagsAt) & kExpanded) != 0;
    // A computed title shows its result, as in the ZelundaSections style.
    const bool formula = (NodeDword(node, kFlagsAt) & kTitleFormula) != 0;
    std::string includeTitle, tag;
    const bool includeGiven = GenerationOption(context, "SectionIncludeTitle=", &includeTitle);
    // Without SectionIncludeTitle= a section shows its title.
    std::string titleSwitch = includeGiven ? includeTitle : "YES";
    if (GenerationOption(context, "SectionOpenTag=", &tag)) {
        AppendOutput(context, tag.c_str());
    } else if (!css) {
        AppendOutput(context, includeGiven && !EqualNoCase(includeTitle.c_str(), "YES") ? "<hr /><h3>" : "<hr />");
    } else {
        // A division left open on top closes first; but not the body of an
        // enclosing section (of a lower level) nor the division of a tabbed
        // table's row, which hold this section: closing them would leave it
        // and what follows it outside what they show and hide.
        const std::uint16_t topLevel = FindCloseTag(context, "</div>", 1);
        const bool holdsSection = IsTabbedRowLevel(topLevel) ||
                                  (IsSectionLevel(topLevel) && topLevel < context->hotspotLevel);
        if (HasCloseTag(context, "</div>", 1) != 0 && !holdsSection)
            CloseOpenXMLTagsToOutput(context, "</div>", 1, 1, 0, 0);
        WriteSwitchBlock(context, "\n<div id=\"sctn%dc\" style=\"display: %s\">\n", id, expanded ? "none" : "block",
                         'e', context->texts.expandGraphic != nullptr ? context->texts.expandGraphic : "/icons/expand.gif",
                         "expand section");
        titleSwitch = "YES";
    }
    if (EqualNoCase(titleSwitch.c_str(), "YES")) WriteEncoded(context, title, formula);
    if (GenerationOption(context, "SectionCloseTag=", &tag)) {
        AppendOutput(context, tag.c_str());
    } else if (!css) {
        if (includeGiven && !EqualNoCase(includeTitle.c_str(), "YES")) AppendOutput(context, "</h3>");
    } else {
        WriteSwitchBlock(context, "</a></h3></div>\n<div id=\"sctn%de\" style=\"display: %s\">\n", id,
                         expanded ? "block" : "none", 'c',
                         context->texts.collapseGraphic != nullptr ? context->texts.collapseGraphic
                                                                   : "/icons/collapse.gif",
                         "collapse section");
        WriteEncoded(context, title, formula);
        AppendOutput(context, "</a></h3>\n");
        PushCloseTagLevel(context, "</div>", context->hotspotLevel);
        context->sectionBox = 0;
    }
}

// ---- The ZelundaSections style -------------------------------------------------

std::string CollapseImage(XMLGenContext* context) {
    const char* source = context->texts.collapseGraphic;
    if (source == nullptr) source = context->mimeMode != 0 ? "cid:_a_collapse" : "/icons/graycol.gif";
    if (StartsWithNoCase(source, "cid:")) context->iconUsed[4] = 1;
    const char* alt = context->mimeMode != 0 ? "Inactive - section collapsed" : "Click to collapse section";
    return std::string("<img src='") + SingleQuotedAttributeValue(source) + "' border='0' width='16' height='16' alt='" +
           alt + "'" +
           EmptyEnd(context);
}

// The title encoded into a text of its own (evaluated first when the
// record says it is a formula).
std::string EncodedTitle(XMLGenContext* context, const CDRecordNode* node) {
    const std::string title = Title(node);
    std::vector<char> encoded(kTitleScratch + title.size() * 10, '\0');
    const int formula = (NodeDword(node, kFlagsAt) & kTitleFormula) != 0 ? 1 : 0;
    if (WriteXMLEncodedTextTo(context, title.data(), static_cast<std::uint32_t>(title.size()), encoded.data(),
                              static_cast<std::uint32_t>(encoded.size()), 1, 0, formula, 0) != kOK)
        return {};
    return encoded.data();
}

// The title split at "---" into sender, date and subject.
void SplitHeader(const std::string& title, std::string* sender, std::string* date, std::string* subject) {
    const std::size_t first = title.find("---");
    *sender = title.substr(0, first);
    if (first == std::string::npos) return;
    const std::size_t second = title.find("---", first + 3);
    *date = title.substr(first + 3, second == std::string::npos ? std::string::npos : second - first - 3);
    if (second != std::string::npos) *subject = title.substr(second + 3);
}

// A message header: sender, subject and date in a bordered row, in a
// division of its own.
void WriteMessageHeader(XMLGenContext* context, const CDRecordNode* node, const std::string& colour,
                        const std::string& title) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "<div id='sctn%dp' style='border-top: none; border-left: none; border-right: none; "
                  "border-bottom: 1px solid %s;'>",
                  context->sectionCounter + 1, colour.c_str());
    AppendOutput(context, text);
    context->sectionBox = 1;
    std::string sender, date, subject;
    SplitHeader(title, &sender, &date, &subject);
    AppendOutput(context, "<table width='100%' cellspacing='0' style='border-collapse: collapse; '>"
                          "<tr valign='middle'><td width='16' ");
    AppendOutput(context, Format("style='padding: 0.0000in 0.0403in; border-top: 1px solid %s; border-left: 1px solid "
                                 "%s; border-right: none; border-bottom: 1px solid %s;'>",
                                 colour)
                              .c_str());
    AppendOutput(context, CollapseImage(context).c_str());
    AppendOutput(context, LineBreakText(context));
    AppendOutput(context, Format("</td><td width='22%' style='padding: 0.0000in 0.0403in; border-top: 1px solid %s; "
                                 "border-left: none; border-right: 1px solid %s; border-bottom: 1px solid %s;'>",
                                 colour)
                              .c_str());
    WriteInTitleFont(context, node, sender);
    AppendOutput(context, Format("</td><td width='53%' style='padding: 0.0000in 0.0403in; border: 1px solid %s; "
                                 "border-right: none;' bgcolor='#e0f1ff' valign='middle'>",
                                 colour)
                              .c_str());
    AppendOutput(context, "<span style='font-size: 10pt; color: rgb(66,66,130); font-family: sans-serif; '>");
    AppendOutput(context, subject.empty() ? "No Subject" : subject.c_str());
    AppendOutput(context, Format("</span></td><td width='192' style='padding: 0.0000in 0.0403in; border: 1px solid "
                                 "%s; border-left: none;' bgcolor='#e0f1ff' valign='middle'>",
                                 colour)
                              .c_str());
    AppendOutput(context, "<span style='font-size: 10pt; color: rgb(66,66,130); font-family: sans-serif; '>");
    AppendOutput(context, date.empty() ? "No Date" : date.c_str());
    AppendOutput(context, "</span></td></tr></table></div>");
    context->sectionBox = 0;
}

void WriteZelundaSection(XMLGenContext* context, const CDRecordNode* node, bool walkForm) {
    const std::string colour = BorderColour(node);
    const std::string title = EncodedTitle(context, node);
    const std::uint32_t style = BorderStyle(node);
    if (style == 0 && HasMessageHeader(node)) {
        WriteMessageHeader(context, node, colour, title);
    } else if (style == 7 && walkForm) {
        // A title bar without the collapse picture.
        AppendOutput(context, "<table width='100%' cellspacing='0' cellpadding='0' border='0'>"
                              "<tr><td width='1%'>&nbsp;</td>");
        AppendOutput(context, Format("<td width='40%' bgcolor='%s' style='border: none; '>", colour).c_str());
        WriteInTitleFont(context, node, title);
        AppendOutput(context, "</td><td width='59%' bgcolor='#ffffff'>");
        AppendOutput(context,
                     Format("&nbsp;</td></tr><tr><td colspan='3' bgcolor='%s' height='2px'></td></tr></table>", colour)
                         .c_str());
    } else if (style == 0) {
        AppendOutput(context, Format("<div style='border-left: 1px solid %s; border-top: 1px solid %s; "
                                     "border-right: 3px solid %s; border-bottom: 2px solid %s;'>",
                                     colour)
                                  .c_str());
        AppendOutput(context, CollapseImage(context).c_str());
        WriteInTitleFont(context, node, title);
        AppendOutput(context, "</div>");
    } else {
        AppendOutput(context, "<table width='100%' cellspacing='0' cellpadding='0' border='0'><tr><td>"
                              "&nbsp;</td><td width='100%' style='border: none; '>");
        AppendOutput(context, CollapseImage(context).c_str());
        WriteInTitleFont(context, node, title);
        AppendOutput(context, "</td></tr></table>");
    }
    if (context->hotspotLevel < kHotspotSlots) context->sectionSlots[context->hotspotLevel] = node;
}

} // namespace

void WriteSectionStart(XMLGenContext* context, bool walkForm) {
    const CDRecordNode* node = context->node;
    if (node == nullptr || node->bytes == nullptr) return;
    MoveToTextEnd(context);
    CloseForBlock(context);
    if (IsOn(context, sw::kZelundaSections)) {
        WriteZelundaSection(context, node, walkForm);
    } else {
        WritePlainSection(context, node);
    }
    if (context->sectionCounter < 0xFFFF) ++context->sectionCounter;
    MoveToTextEnd(context);
}

void WriteSectionEnd(XMLGenContext* context, std::uint16_t level) {
    if (level < 1 || level >= kHotspotSlots || context->sectionSlots[level] == nullptr) return;
    const CDRecordNode* node = context->sectionSlots[level];
    context->sectionSlots[level] = nullptr;
    CloseForBlock(context);
    const std::string colour = BorderColour(node);
    const char* end = EmptyEnd(context);
    switch (BorderStyle(node)) {
    case 1:
        break;
    case 3:
        AppendOutput(context, Format("<hr width='100%' size='2px' color='%s' style='margin-top: 0.25em;'", colour).c_str());
        AppendOutput(context, end);
        break;
    case 4:
        AppendOutput(context, Format("<hr width='100%' size='3px' color='%s' style='margin-top: 0.25em;'", colour).c_str());
        AppendOutput(context, end);
        break;
    case 5:
        AppendOutput(context, Format("<hr width='100%' size='1px' color='%s' style='margin-top: 0.25em;'", colour).c_str());
        AppendOutput(context, end);
        AppendOutput(context, LineBreakText(context));
        AppendOutput(context, Format("<hr width='100%' size='1px' color='%s'", colour).c_str());
        AppendOutput(context, end);
        break;
    default:
        AppendOutput(context, Format("<hr width='100%' size='1px' color='%s' style='margin-top: 0.25em;'", colour).c_str());
        AppendOutput(context, end);
        break;
    }
}

STATUS WriteXMLSectionStart(XMLGenContext* context) {
    WriteSectionStart(context, true);
    return context->overflow != 0 ? kOutOfMemory : kOK;
}

} // namespace talix
