// The record walk's dispatch: each record by its signature, to the writer
// of its kind of content or to the small writers kept here (line breaks,
// horizontal rules, named anchors, tables' line breaks and ends, nested
// BEGIN ... END stretches and layers).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/text_compare.h"
#include "engine/css_format.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/form_fields.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/passthru.h"
#include "htmlgen/passthru_xhtml.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/text_runs.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "htmlgen/walk_writers.h"

namespace talix {

namespace {

// Horizontal rule fields.
constexpr std::uint32_t kRuleFlagsAt = 4, kRuleWidthAt = 8, kRuleHeightAt = 10, kRuleColourAt = 12;
constexpr std::uint32_t kRuleWidthInPercent = 0x0004, kRuleNoShade = 0x0008;
constexpr std::uint32_t kTwipsPerPixel = 15;
// Paragraph definition: its justification.
constexpr std::uint32_t kJustificationAt = 6;
constexpr std::uint16_t kJustifyLeft = 0, kJustifyRight = 1, kJustifyFull = 2, kJustifyCentre = 3;

StepResult Next(STATUS status = kOK) { return StepResult{WalkStep::Next, status}; }
StepResult Return(STATUS status = kOK) { return StepResult{WalkStep::Return, status}; }

void PassOver(XMLGenContext* context) {
    if (context->node != nullptr) context->node = context->node->next;
}
// After a hotspot range: whether the bracket this call renders was a
// hotspot's, closed by the END of the hotspot's end record, which the
// hotspot writer passed over.
bool HotspotBracketEnded(const XMLGenContext* context, const WalkCall& call) {
    const CDRecordNode* node = context->node;
    const bool hotspotKind =
        call.kind == kSigV4HotspotBegin || call.kind == kSigHotspotBegin || call.kind == kSigV5HotspotBegin;
    return hotspotKind && call.depth > 0 && node != nullptr && node->prev != nullptr &&
           node->prev->signature == kSigEnd && IsHotspotEndRecord(InnerSignature(node->prev));
}

// After a writer that may have consumed records itself: passes over the
// record only when the writer left the walk on it.
void PassOverIfOn(XMLGenContext* context, const CDRecordNode* node) {
    if (context->node == node) PassOver(context);
}

bool CanNest(const XMLGenContext* context) { return context->walkNesting < kMaxWalkNesting; }

// After a nested call: whether the element this call renders has ended
// (the record before the current one is its END).
bool NestedEnd(const XMLGenContext* context, const WalkCall& call) {
    const CDRecordNode* node = context->node;
    return call.kind != 0 && call.depth > 0 && node != nullptr && node->prev != nullptr &&
           node->prev->signature == kSigEnd && InnerSignature(node->prev) == call.kind;
}

// A BEGIN record: a layer, or a bracketed stretch rendered one level
// deeper.
StepResult HandleBegin(XMLGenContext* context, const WalkCall& call) {
    const std::uint16_t inner = InnerSignature(context->node);
    const auto depth = static_cast<std::uint16_t>(call.depth + 1);
    if (inner == kSigLayer) {
        if (context->layerDepth < 0xFFFF) ++context->layerDepth;
        if (!IsOn(context, sw::kStandardFontTags) && CanNest(context)) {
            if (context->outermostLayerDepth == 0) context->outermostLayerDepth = depth;
            const STATUS status = PXMLL(context, call.kind, depth);
            if (call.depth < context->outermostLayerDepth) context->outermostLayerDepth = 0;
            return Next(status);
        }
    }
    PassOver(context);
    if (!CanNest(context)) return Next();
    const STATUS status = PrXMLStr(context, inner, depth, 0);
    if (status == kOK && NestedEnd(context, call)) return Return();
    return Next(status);
}

StepResult HandleEnd(XMLGenContext* context, const WalkCall& call) {
    if (InnerSignature(context->node) == kSigLayer) {
        if (context->layerDepth > 0) --context->layerDepth;
        if (!IsOn(context, sw::kStandardFontTags) && HasCloseTag(context, "</div>", 1) != 0) {
            CloseOpenXMLTagsToOutput(context, "</div>", 1, 1, 0, 0);
            MoveToTextEnd(context);
        }
    }
    PassOver(context);
    return call.depth > 0 ? Return() : Next();
}

// Whether a run without text opens its paragraph (right after the
// paragraph's reference, or after it and one BEGIN record) and no V4 hotspot
// begin follows it: such a run is written as a line break.
bool OpensEmptyParagraph(const CDRecordNode* run) {
    if (run->length != kTextRunHeader) return false;
    const CDRecordNode* before = run->prev;
    if (before != nullptr && before->signature == kSigBegin) before = before->prev;
    if (before == nullptr || before->signature != kSigPabReference) return false;
    const CDRecordNode* after = run->next;
    if (after == nullptr || after->signature == kSigV4HotspotBegin) return false;
    return !(after->signature == kSigBegin && InnerSignature(after) == kSigV4HotspotBegin);
}

// With a preset, "[<...]" typed as a run of its own is markup: written as
// it stands (the zero bytes as blanks) and the run passed over. False for
// any other run. Out of line: the runs of text go on without its frame.
[[gnu::noinline]] bool WriteTypedMarkup(XMLGenContext* context, const CDRecordNode* run, bool tracing) {
    const char* text = reinterpret_cast<const char*>(run->bytes) + kTextRunHeader;
    const std::size_t length = run->length - kTextRunHeader;
    if (text[0] != '[' || text[1] != '<' || text[length - 1] != ']') return false;
    std::vector<char> markup(text + 1, text + length - 1);
    for (char& c : markup) {
        if (c == '\0') c = ' ';
    }
    if (context->format == kFormatXHTML) {
        // Written back well-formed, as pass-through HTML is.
        std::string xhtml;
        PassthruAsXhtml(context, std::string_view(markup.data(), markup.size()), &xhtml);
        AppendOutput(context, xhtml.data(), xhtml.size());
    } else {
        AppendOutput(context, markup.data(), markup.size());
    }
    PassOver(context);
    TraceStep(tracing, "PrXMLStr - Step 5b - after");
    return true;
}

StepResult HandleTextRun(XMLGenContext* context, const WalkCall& call) {
    const bool tracing = Tracing();
    TraceStep(tracing, "PrXMLStr - Step 5b");
    CDRecordNode* run = context->node;
    if (context->pendingBreak != 0) {
        context->pendingBreak = 0;
        AppendLineBreak(context);
        CurrentTableLevel(context)->lineBreakNeeded = 0;
    }
    if (IsOn(context, sw::kPreset) && run->length > kTextRunHeader + 4 && WriteTypedMarkup(context, run, tracing))
        return Next();
    ProcessXMLText(context, call.kind, OpensEmptyParagraph(run) ? 1 : 0);
    TraceStep(tracing, "PrXMLStr - Step 5b - after");
    return Next();
}

StepResult HandleHtmlBegin(XMLGenContext* context, const WalkCall& call) {
    std::vector<char> value(context->optionText != nullptr ? std::strlen(context->optionText) + 1 : 1, '\0');
    if (context->optionText != nullptr &&
        GetOptionValue(context->optionText, "SkipPassthru=", value.data(), static_cast<std::uint32_t>(value.size())) !=
            0 &&
        EqualNoCase(value.data(), "Yes")) {
        PassOver(context);
        return Next();
    }
    const STATUS status = WriteXMLPassthru(context, call.kind);
    if (InRange(context, context->node) && context->node->signature == kSigHtmlEnd) PassOver(context);
    return Next(status);
}

// The reference of the paragraph a record lies in: the nearest one before
// it (the last rule's answer is reused within its paragraph).
const CDRecordNode* ReferenceBefore(XMLGenContext* context, const CDRecordNode* node) {
    for (const CDRecordNode* at = node->prev; at != nullptr; at = at->prev) {
        if (at == context->ruleMemo) return context->ruleMemoReference;
        if (at->signature == kSigPabReference) return at;
    }
    return nullptr;
}

// The justification of the paragraph the rule lies in, as an align
// attribute.
const char* RuleAlignment(XMLGenContext* context, const CDRecordNode* rule) {
    const CDRecordNode* reference = ReferenceBefore(context, rule);
    context->ruleMemo = rule;
    context->ruleMemoReference = reference;
    if (reference == nullptr) return "";
    const CDRecordNode* definition = NearestDefinitionBefore(context, reference, NodeWord(reference, 2));
    if (definition == nullptr) return "";
    switch (NodeWord(definition, kJustificationAt)) {
    case kJustifyLeft: return " align='left'";
    case kJustifyRight: return " align='right'";
    case kJustifyCentre: return " align='center'";
    default: return "";
    }
}

// A horizontal rule; a record too short for its fields writes nothing.
StepResult HandleRule(XMLGenContext* context) {
    const CDRecordNode* rule = context->node;
    if (rule->length >= kHorizontalRuleLength) {
        CloseForBlock(context);
        const bool xhtml = context->format == kFormatXHTML;
        const std::uint32_t flags = NodeDword(rule, kRuleFlagsAt);
        const unsigned width = NodeWord(rule, kRuleWidthAt);
        char text[160];
        if ((flags & kRuleWidthInPercent) != 0) {
            std::snprintf(text, sizeof text, "<hr width=\"%u%%\"", width);
        } else {
            std::snprintf(text, sizeof text, "<hr width=\"%u\"", width / kTwipsPerPixel);
        }
        AppendOutput(context, text);
        std::snprintf(text, sizeof text, " size=\"%u\"", NodeWord(rule, kRuleHeightAt) / kTwipsPerPixel);
        AppendOutput(context, text);
        AppendOutput(context, RuleAlignment(context, rule));
        if ((flags & kRuleNoShade) != 0) AppendOutput(context, xhtml ? " noshade=\"noshade\"" : " noshade");
        AppendOutput(context, " style=\"color: ");
        // The colour of a colour record right after the rule (or one record
        // later) when it holds one, else the rule's colour index.
        const CDRecordNode* colour = nullptr;
        const CDRecordNode* next = rule->next;
        const CDRecordNode* const candidates[] = {next, next != nullptr ? next->next : nullptr};
        for (const CDRecordNode* at : candidates) {
            if (at != nullptr && at->signature == kSigColor && (NodeWord(at, 2) & kColorIsRGB) != 0) {
                colour = at;
                break;
            }
        }
        char value[kCSSColorSize];
        if (colour != nullptr) {
            std::snprintf(value, sizeof value, "rgb(%u,%u,%u)", NodeByte(colour, 4), NodeByte(colour, 5),
                          NodeByte(colour, 6));
        } else {
            ColorToCSS(NodeWord(rule, kRuleColourAt), value, kColorAsRGB);
        }
        AppendOutput(context, value);
        AppendOutput(context, xhtml ? ";\" />" : ";\">");
    }
    PassOver(context);
    return Next();
}

// A table's begin (or the record before it): the break or the aligned
// division before the table, then the table.
// Whether a table begin follows its table's pre-table record (alone, or at
// the end of the pre-table's bracket), which was met first.
bool AfterItsPreTable(const CDRecordNode* node) {
    if (node->signature == kSigPreTableBegin) return false;
    const CDRecordNode* before = node->prev;
    if (before != nullptr && before->signature == kSigEnd && InnerSignature(before) == kSigPreTableBegin) return true;
    return before != nullptr && before->signature == kSigPreTableBegin;
}

StepResult HandleTableBegin(XMLGenContext* context, const WalkCall& call) {
    context->tableRecord = context->node;
    // The table is a block: no span, font or paragraph element of the text
    // before it holds it.
    CloseForBlock(context);
    // The break or aligned division before a table is written once: at its
    // pre-table record when it has one, not again at its begin.
    const bool preTableDone = AfterItsPreTable(context->node);
    const CDRecordNode* definition = CurrentDefinition(context);
    const std::uint16_t justification = definition != nullptr ? NodeWord(definition, kJustificationAt) : 0;
    const char* division = justification == kJustifyRight    ? "<div align='right'>"
                           : justification == kJustifyCentre ? "<div align='center'>"
                           : justification == kJustifyFull   ? "<div align='justify'>"
                                                             : nullptr;
    if (preTableDone) {
        // Written at the pre-table record.
    } else if (definition != nullptr && division != nullptr) {
        AppendOutput(context, division);
        PushCloseTag(context, "</div>");
    } else if (context->noBreakBeforeTable == 0) {
        // Left-aligned (or without a definition): no second break in a row.
        if (justification != kJustifyLeft || !OutputEndsWith(context, LineBreakText(context)))
            AppendLineBreak(context);
        CurrentTableLevel(context)->lineBreakNeeded = 0;
    }
    if (NestedEnd(context, call)) return Return();
    if (!CanNest(context)) {
        // Too deep to hold its own state: its content is rendered here,
        // its cells and its end passed over, so that none of them is taken
        // for a cell or the end of the table being written.
        if (IsTableBeginRecord(context->node->signature) && context->unnestedTables < 0xFFFFFFFFu)
            ++context->unnestedTables;
        PassOver(context);
        return Next();
    }
    const CDRecordNode* node = context->node;
    const STATUS status = WriteXMLTable(context, call.kind, call.depth + 1);
    if (status == kOK && context->node == node) PassOver(context);
    if (status == kOK && NestedEnd(context, call)) return Return();
    return Next(status);
}

StepResult HandleCell(XMLGenContext* context, const WalkCall& call) {
    if (context->unnestedTables > 0) {
        PassOver(context);
        return Next();
    }
    if (call.depth > 0) return StepResult{WalkStep::StopAtCell, kOK};
    const CDRecordNode* node = context->node;
    const STATUS status = WriteXMLTable(context, call.kind, call.depth + 1);
    if (status == kOK && context->node == node) PassOver(context);
    return Next(status);
}

StepResult HandleTableEnd(XMLGenContext* context, const WalkCall& call) {
    if (context->unnestedTables > 0) {
        --context->unnestedTables;
        PassOver(context);
        return Next();
    }
    if (call.depth > 0) return Return();
    if (HasCloseTag(context, "</table>", 0) != 0) CloseOpenXMLTagsToOutput(context, "</table>", 1, 1, 1, 0);
    PassOver(context);
    return Next();
}

// A named anchor: its name, encoded, up to its first zero byte and within
// the record. Links find it by that name, so its blanks and tabs are
// written as they are, whatever the text's spacing options.
StepResult HandleAnchor(XMLGenContext* context) {
    const CDRecordNode* anchor = context->node;
    std::uint32_t length = NodeWord(anchor, kAnchorTextLengthAt);
    const std::uint32_t available = anchor->length > kAnchorFixedLength ? anchor->length - kAnchorFixedLength : 0;
    if (length > available) length = available;
    const char* text = reinterpret_cast<const char*>(anchor->bytes) + kAnchorFixedLength;
    length = length > 0 ? static_cast<std::uint32_t>(strnlen(text, length)) : 0;
    AppendOutput(context, "<a name=\"");
    WriteXMLEncodedValue(context, text, static_cast<std::uint16_t>(length), 0);
    AppendOutput(context, "\"></a>");
    PassOver(context);
    return Next();
}

} // namespace

StepResult DispatchOtherRecord(XMLGenContext* context, const WalkCall& call) {
    CDRecordNode* node = context->node;
    switch (node->signature) {
    case kSigBegin:
        return HandleBegin(context, call);
    case kSigEnd:
        return HandleEnd(context, call);
    case kSigHtmlBegin:
        return HandleHtmlBegin(context, call);
    case kSigHorizontalRule:
        return HandleRule(context);
    case kSigTableBegin:
    case kSigNestedTableBegin:
    case kSigPreTableBegin:
        return HandleTableBegin(context, call);
    case kSigTableCell:
    case kSigNestedTableCell:
        return HandleCell(context, call);
    case kSigTableEnd:
    case kSigNestedTableEnd:
        return HandleTableEnd(context, call);
    case kSigField:
        WriteXMLField(context, call.kind);
        PassOver(context);
        return Next();
    case kSigBar: {
        MoveToTextEnd(context);
        const STATUS status = WriteXMLSectionStart(context);
        PassOverIfOn(context, node);
        return Next(status);
    }
    case kSigAnchor:
        return HandleAnchor(context);
    case kSigLink2:
    case kSigLinkExport2: {
        TraceStep("PrXMLStr - About to ProcessXMLDoclink");
        const STATUS status = ProcessXMLDoclink(context, call.kind, call.depth, 1, nullptr);
        TraceStep("PrXMLStr - Done with ProcessXMLDoclink");
        PassOverIfOn(context, node);
        return Next(status);
    }
    case kSigGraphic: {
        TraceStep("About to enter PXMLGr");
        const STATUS status = PXMLGr(context, call.kind, call.depth);
        TraceStep("After PXMLGr");
        PassOverIfOn(context, node);
        return Next(status);
    }
    case kSigV5HotspotBegin:
    case kSigHotspotBegin:
    case kSigV4HotspotBegin: {
        const STATUS status = PXMLH(context, call.kind, static_cast<std::uint16_t>(call.depth + 1));
        PassOverIfOn(context, node);
        if (status == kOK && (NestedEnd(context, call) || HotspotBracketEnded(context, call))) return Return();
        return Next(status);
    }
    case kSigV5HotspotEnd:
    case kSigHotspotEnd:
    case kSigV4HotspotEnd:
        // The walk that renders a hotspot's content ends at the hotspot's
        // end, which the hotspot writer handles.
        if (context->hotspotContentWalk != 0 && context->hotspotContentWalk == context->walkNesting) return Return();
        PassOver(context);
        return Next();
    case kSigLayout: {
        const STATUS status = WriteXMLLayoutRegion(context, static_cast<std::uint16_t>(call.depth + 1));
        PassOverIfOn(context, node);
        return Next(status);
    }
    case kSigLargeParagraph:
        context->skipParagraphs = NodeByte(node, 6) & 1;
        PassOver(context);
        return Next();
    default:
        // HTML ends, hotspot ends, paragraph definitions and every record
        // that is not rendered.
        PassOver(context);
        return Next();
    }
}

StepResult DispatchTextRun(XMLGenContext* context, const WalkCall& call) { return HandleTextRun(context, call); }

} // namespace talix
