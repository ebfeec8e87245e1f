// Positioned content: a layer becomes one division whose position, size,
// stacking order and background come from its descriptor records, holding
// the layer's content; a layout region becomes a relatively positioned
// division with an absolutely positioned division for each element, which
// holds the element's content (its text, picture, field or button).
#include <cstdio>
#include <cstring>
#include <string>

#include "core/font_spec.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/css_format.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/font_change.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/stored_attributes.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"

namespace talix {

namespace {

// Background colour record: flags, red, green, blue.
constexpr std::uint32_t kBackFlagsAt = 2, kBackRedAt = 4;
constexpr std::uint16_t kColourSet = 0x0001;
// Layout region: left offset, width, height (twips).
constexpr std::uint32_t kRegionLeftAt = 2, kRegionWidthAt = 4, kRegionHeightAt = 6;
// Layout element (a text, field, picture or button): its header (left, top, width, height, font), background
// colour and flags.
constexpr std::uint32_t kElementLeftAt = 4, kElementTopAt = 6, kElementWidthAt = 8, kElementHeightAt = 10,
                        kElementFontAt = 12, kElementColourFlagsAt = 18, kElementRedAt = 20, kElementFlagsAt = 24;
constexpr std::uint32_t kCentre = 0x20000000, kRight = 0x40000000, kMiddle = 0x80000000, kLeftToRight = 0x01000000,
                        kRightToLeft = 0x02000000, kBorder = 0x1, kNoBorder = 0x10000000;
constexpr std::uint32_t kTwipsPerPixel = 15, kTwipsPerInch = 1440;

bool IsLayerEnd(const CDRecordNode* node) { return node->signature == kSigEnd && InnerSignature(node) == kSigLayer; }
// Records the walk renders on their own, without a bracket: a table, a
// rule, a field, a named anchor, a picture, a hotspot, a link, a layout
// region, pass-through HTML or a section.
bool IsUnbracketedContent(std::uint16_t signature) {
    switch (signature) {
    case kSigTableBegin:
    case kSigNestedTableBegin:
    case kSigPreTableBegin:
    case kSigHorizontalRule:
    case kSigField:
    case kSigAnchor:
    case kSigGraphic:
    case kSigV5HotspotBegin:
    case kSigHotspotBegin:
    case kSigV4HotspotBegin:
    case kSigLink2:
    case kSigLinkExport2:
    case kSigLayout:
    case kSigHtmlBegin:
    case kSigBar:
        return true;
    default:
        return false;
    }
}

// The descriptors end at the layer's END or a paragraph record; content
// that follows them without a paragraph record (a paragraph reference, a
// text run, a bracketed element, a table, rule, field or other element)
// ends them too, so that it is rendered. The bracket of the layer's
// background picture is no content: the background colour stands within
// it, and its END ends the descriptors.
bool StopsDescriptors(const CDRecordNode* node) {
    const std::uint16_t signature = node->signature;
    if (signature == kSigBegin) return InnerSignature(node) != kSigBackgroundProperties;
    return signature == kSigEnd || signature == kSigParagraph || signature == kSigPabReference ||
           IsTextRun(signature) || IsUnbracketedContent(signature);
}

// "name: length; " for a length value of a record. A record too short to
// hold the value, or a value that gives no length (no auto or inherit
// switch and a unit that is none of the known ones), writes nothing: an
// empty value would leave the declaration without one.
void AppendLength(XMLGenContext* context, const CDRecordNode* node, const char* name, std::uint32_t at) {
    if (node->bytes == nullptr || node->length < at + kLengthValueSize) return;
    char text[96] = {};
    FormatCSSLength(node->bytes + at, text, sizeof text);
    if (text[0] == '\0') return;
    AppendPrintf(context, "%s: %s; ", name, text);
}

void WriteDescriptor(XMLGenContext* context, const CDRecordNode* node) {
    switch (node->signature) {
    case kSigBoxSize:
        AppendLength(context, node, "width", kBoxSizeWidth);
        AppendLength(context, node, "height", kBoxSizeHeight);
        break;
    case kSigPositioning: {
        const std::uint8_t scheme = NodeByte(node, kPositioningScheme);
        AppendOutput(context, "position: ");
        AppendOutput(context, scheme == 0 ? "static; " : scheme == 2 ? "relative; " : scheme == 3 ? "fixed; " : "absolute; ");
        AppendLength(context, node, "top", kPositioningTop);
        AppendLength(context, node, "left", kPositioningLeft);
        const auto zIndex = static_cast<std::int32_t>(NodeDword(node, kPositioningZIndex));
        AppendPrintf(context, "z-index: %ld; ", static_cast<long>(zIndex));
        break;
    }
    case kSigBackgroundColor:
        if ((NodeWord(node, kBackFlagsAt) & kColourSet) != 0)
            AppendPrintf(context, "background-color: rgb(%u,%u,%u); ", NodeByte(node, kBackRedAt),
                         NodeByte(node, kBackRedAt + 1), NodeByte(node, kBackRedAt + 2));
        break;
    default:
        break;
    }
}

// Whether the layer holds nothing to render: only paragraph references and
// definitions, text effects and colours up to its end.
bool LayerEmpty(const XMLGenContext* context, const CDRecordNode* from) {
    for (const CDRecordNode* node = from; InRange(context, node); node = node->next) {
        if (IsLayerEnd(node)) return true;
        const std::uint16_t signature = node->signature;
        if (signature != kSigPabReference && signature != kSigPabDefinition && signature != kSigTextEffect &&
            signature != kSigColor)
            return false;
    }
    return true;
}

// Writes the closing tags of what was opened above the mark, each one
// (content nested deep leaves more open than any fixed room holds). A
// table begun above the mark closes with the rest: the table depth falls
// back to the one given, so that a cell of that table met later starts a
// table of its own instead of standing outside any.
void CloseDownTo(XMLGenContext* context, std::uint32_t mark, std::uint16_t tableDepth) {
    if (context->tableDepth > tableDepth) context->tableDepth = tableDepth;
    if (CloseTagDepth(context) <= mark) return;
    MoveToTextEnd(context);
    while (CloseTagDepth(context) > mark) {
        const char* tag = TopCloseTag(context)->tag;
        DropTopCloseTag(context);
        AppendOutput(context, tag);
    }
}

// The records of a layout region that bound an element's content.
bool IsLayoutRecord(std::uint16_t signature) {
    return signature == kSigLayout || signature == kSigLayoutText || signature == kSigLayoutEnd ||
           signature == kSigLayoutField || signature == kSigLayoutGraphic || signature == kSigLayoutButton;
}

bool IsLayoutElement(std::uint16_t signature) {
    return signature == kSigLayoutText || signature == kSigLayoutField || signature == kSigLayoutGraphic ||
           signature == kSigLayoutButton;
}

unsigned Pixels(unsigned twips) { return twips / kTwipsPerPixel; }
unsigned LeftPixels(unsigned twips) { return twips >= kTwipsPerInch ? (twips - kTwipsPerInch) / kTwipsPerPixel : 0; }

// Writes one element and its content; returns whether the content ended
// where the region goes on (at a record of the region, or the list's end)
// rather than at a record that ends something the region lies in.
bool WriteElement(XMLGenContext* context, CDRecordNode* element, std::uint16_t depth, STATUS* status) {
    AppendPrintf(context, "<div style=\"%s", context->openBrace);
    AppendPrintf(context, "position:absolute;top:%upx;left:%upx;z-index:2; ", Pixels(NodeWord(element, kElementTopAt)),
                 LeftPixels(NodeWord(element, kElementLeftAt)));
    AppendPrintf(context, "width:%upx;height:%upx; ", Pixels(NodeWord(element, kElementWidthAt)),
                 Pixels(NodeWord(element, kElementHeightAt)));
    if (element->length >= kElementFontAt + 4) {
        // The element's font as declarations of its own style: what text
        // before the region left open stays open and untouched.
        const FontId font = ReadFontId(element->bytes + kElementFontAt);
        const std::string style = FontStyleDeclarations(context, font);
        if (!style.empty()) {
            AppendOutput(context, " ");
            AppendOutput(context, style.data(), style.size());
            AppendOutput(context, " ");
        }
    }
    if ((NodeWord(element, kElementColourFlagsAt) & kColourSet) != 0)
        AppendPrintf(context, "background-color:rgb(%u,%u,%u); ", NodeByte(element, kElementRedAt),
                     NodeByte(element, kElementRedAt + 1), NodeByte(element, kElementRedAt + 2));
    const std::uint32_t flags = NodeDword(element, kElementFlagsAt);
    if ((flags & kCentre) != 0) {
        AppendOutput(context, "text-align:center; ");
    } else if ((flags & kRight) != 0) {
        AppendOutput(context, "text-align:right; ");
    }
    if ((flags & kMiddle) != 0) AppendOutput(context, "vertical-align:middle; ");
    if ((flags & kLeftToRight) != 0) {
        AppendOutput(context, "direction: ltr;");
    } else if ((flags & kRightToLeft) != 0) {
        AppendOutput(context, "direction: rtl;");
    }
    if ((flags & kBorder) != 0 && (flags & kNoBorder) == 0) AppendOutput(context, "border:1px solid black;");
    AppendPrintf(context, "%s\">", context->closeBrace);
    const std::uint32_t mark = CloseTagDepth(context);
    const std::uint16_t tableDepth = context->tableDepth;
    PushCloseTag(context, "</div>");
    // The element's content, up to the next element or the region's end,
    // rendered as the walk renders it: text, pictures, fields, buttons.
    // Its first paragraph opens inside the element's division rather than
    // taking that division for the previous paragraph's.
    const std::uint32_t outerElementDepth = context->layoutElementDepth;
    context->layoutElementDepth = CloseTagDepth(context);
    const WalkCall call{kSigLayout, depth};
    context->node = element->next;
    while (context->overflow == 0 && InRange(context, context->node) && !IsLayoutRecord(context->node->signature)) {
        // An END here closes no bracket of the content (each BEGIN's walk
        // takes its own END): it ends what the region lies in, a layer or
        // a hotspot, and is left to the walk that renders that.
        if (context->node->signature == kSigEnd) break;
        const CDRecordNode* before = context->node;
        const StepResult result = DispatchRecord(context, call);
        if (result.status != kOK && *status == kOK) *status = result.status;
        if (result.step != WalkStep::Next || result.status != kOK) break;
        if (context->node == before) context->node = before->next;
    }
    context->layoutElementDepth = outerElementDepth;
    CloseDownTo(context, mark, tableDepth);
    return !InRange(context, context->node) || IsLayoutRecord(context->node->signature);
}

} // namespace

STATUS PXMLL(XMLGenContext* context, std::uint16_t kind, std::uint16_t depth) {
    (void)kind;
    TraceStep("PXMLL - IN");
    CDRecordNode* layer = context->node;
    if (layer == nullptr ||
        !(layer->signature == kSigLayer || (layer->signature == kSigBegin && InnerSignature(layer) == kSigLayer)))
        return kOK;
    CloseForBlock(context);
    AppendOutput(context, "<div");
    // The layer's stored style goes into the style attribute of its position.
    std::string storedStyle;
    for (const CDRecordNode* node = layer->next; InRange(context, node) && !StopsDescriptors(node); node = node->next) {
        if (node->signature == kSigIdName && node->bytes != nullptr) {
            const std::vector<std::uint8_t> rest = TakeIDNameStyle(node->bytes, node->length, &storedStyle);
            WriteIDNameAttributes(rest.data(), static_cast<std::uint32_t>(rest.size()), context, nullptr, {"style"});
            break;
        }
    }
    AppendPrintf(context, " style=\"%s", context->openBrace);
    WriteStoredStyle(context, storedStyle);
    CDRecordNode* node = layer->next;
    for (; InRange(context, node) && !StopsDescriptors(node); node = node->next) WriteDescriptor(context, node);
    AppendPrintf(context, "%s\">", context->closeBrace);
    if (!InRange(context, node)) {
        // The descriptors run to the end: the division closes at once.
        context->node = node;
        AppendOutput(context, "</div>");
        TraceStep("PXMLL - OUT");
        return kOK;
    }
    const bool stoppedAtEnd = node->signature == kSigEnd;
    context->node = stoppedAtEnd ? node->next : node;
    STATUS status = kOK;
    if (stoppedAtEnd && IsLayerEnd(node)) {
        // The layer ended with its descriptors.
        if (context->layerDepth > 0) --context->layerDepth;
        AppendOutput(context, "</div>");
        TraceStep("PXMLL - OUT");
        return kOK;
    }
    // Emptiness is judged after a paragraph record the descriptors ended
    // at, from the content record itself otherwise.
    const CDRecordNode* content = node->signature == kSigParagraph ? node->next : node;
    if (!LayerEmpty(context, content)) {
        // The division is open on the close-tag stack while the content is
        // written, so that what was open around it closes after it; what
        // the content leaves open closes with the layer.
        const std::uint32_t mark = CloseTagDepth(context);
        const std::uint16_t tableDepth = context->tableDepth;
        PushCloseTag(context, "</div>");
        const std::uint32_t outerLayerDivision = context->layerDivisionDepth;
        context->layerDivisionDepth = CloseTagDepth(context);
        status = PrXMLStr(context, kSigLayer, depth, 0);
        context->layerDivisionDepth = outerLayerDivision;
        CloseDownTo(context, mark, tableDepth);
    } else {
        AppendOutput(context, "</div>");
        CDRecordNode* at = context->node;
        while (InRange(context, at) && !IsLayerEnd(at)) at = at->next;
        context->node = InRange(context, at) ? at->next : at;
        if (context->layerDepth > 0) --context->layerDepth;
    }
    TraceStep("PXMLL - OUT");
    return status;
}

STATUS WriteXMLLayoutRegion(XMLGenContext* context, std::uint16_t depth) {
    CDRecordNode* node = context->node;
    if (node == nullptr || node->signature != kSigLayout) return kOK;
    // The region's divisions are blocks: what text left open inline (a
    // span of its font) closes before them, as it does before a layer,
    // and its elements' text opens its own.
    CloseForBlock(context);
    STATUS status = kOK;
    const std::uint32_t mark = CloseTagDepth(context);
    const std::uint16_t tableDepth = context->tableDepth;
    while (InRange(context, node)) {
        const std::uint16_t signature = node->signature;
        if (signature == kSigLayout) {
            AppendPrintf(context, "<div style=\"%s", context->openBrace);
            AppendPrintf(context, "position:relative;top:0px;left:%upx;z-index:1; ",
                         LeftPixels(NodeWord(node, kRegionLeftAt)));
            AppendPrintf(context, "width:%upx;height:%upx; ", Pixels(NodeWord(node, kRegionWidthAt)),
                         Pixels(NodeWord(node, kRegionHeightAt)));
            AppendPrintf(context, "%s\">", context->closeBrace);
            PushCloseTag(context, "</div>");
            node = node->next;
        } else if (IsLayoutElement(signature)) {
            if (!WriteElement(context, node, depth, &status)) {
                // The element's content stopped at a record that ends what
                // holds the region (an END, a table cell, a hotspot's end):
                // the region closes there and the walk around it goes on
                // from that record, so that nothing after it is skipped.
                CloseDownTo(context, mark, tableDepth);
                return status;
            }
            node = context->node;
        } else if (signature == kSigLayoutEnd) {
            CloseDownTo(context, mark, tableDepth);
            context->node = node->next;
            return status;
        } else {
            node = node->next;
        }
    }
    context->node = node;
    return status;
}

} // namespace talix
