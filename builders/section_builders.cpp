// The opening of a collapsible section: the title paragraph, the section's
// hotspot and its bar (flags from the section options, title font, title),
// and the first paragraph of its body.
#include "builders/section_builders.h"

#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/record_output.h"
#include "builders/record_scratch.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint16_t kTypeSection = 12;
constexpr std::uint32_t kSectionHotspotFlags = 8;
constexpr std::uint32_t kTabStyleLength = 16;

constexpr std::uint32_t kBarBase = 0x04000000;
constexpr std::uint32_t kBorderShift = 28;
constexpr std::uint32_t kPostReplyFlags = 0x8010;
constexpr std::uint16_t kTabStyleTab = 1, kTabStyleDiagonal = 2, kTabStylePostReply = 19;

constexpr const char* kPostReplyParagraph = "Justify='Left' ShiftLeftOffset='-0.25in' ";

struct BorderStyle {
    const char* name;
    std::uint32_t border;
};
// Every other value (and none) is border type 1; values that begin with
// "TWO" are type 5.
constexpr BorderStyle kBorderStyles[] = {
    {"None", 1},    {"PostReply", 0},     {"Single", 2},   {"Double", 3}, {"Triple", 4},   {"Shadow", 0},
    {"Box", 0},     {"Caption", 6},       {"WindowCaption", 6},           {"Gradient", 7}, {"TAB", 7},
    {"DIAGTAB", 7},
};

// The bar flags of the section options; *tabStyle receives the style of the
// tab record (0 for none).
std::uint32_t BarFlags(const char* options, std::uint16_t* tabStyle) {
    std::uint32_t flags = kBarBase;
    std::uint32_t border = 1;
    *tabStyle = 0;
    char value[64];
    if (OptionValue(options, "BorderStyle=", value, sizeof value)) {
        if (FindNoCase(value, "TWO") == value) border = 5;
        for (const BorderStyle& style : kBorderStyles) {
            if (EqualNoCase(value, style.name)) border = style.border;
        }
        if (EqualNoCase(value, "PostReply")) {
            flags |= kPostReplyFlags;
            *tabStyle = kTabStylePostReply;
        } else if (EqualNoCase(value, "TAB")) {
            *tabStyle = kTabStyleTab;
        } else if (EqualNoCase(value, "DIAGTAB")) {
            *tabStyle = kTabStyleDiagonal;
        }
    }
    flags |= border << kBorderShift;

    struct Rule {
        const char* key;
        std::uint32_t expand, collapse;
    };
    static const Rule kExpandRules[] = {{"ExpandReading=", 0x10, 0x100},
                                        {"ExpandPreview=", 0x20, 0x200},
                                        {"ExpandEditing=", 0x40, 0x400},
                                        {"ExpandPrinting=", 0x80, 0x800}};
    for (const Rule& rule : kExpandRules) {
        if (OptionIs(options, rule.key, "Auto-Expand")) flags |= rule.expand;
        if (OptionIs(options, rule.key, "Auto-Collapse")) flags |= rule.collapse;
    }
    struct Switch {
        const char* key;
        std::uint32_t flag;
    };
    static const Switch kSwitches[] = {{"Expanded=", 0x2},    {"BorderInvisible=", 0x1000}, {"PreviewOnly=", 0x4},
                                       {"EditorsOnly=", 0x1}, {"TitleHiddenExpanded=", 0x4000}};
    for (const Switch& rule : kSwitches) {
        if (OptionIs(options, rule.key, "Yes")) flags |= rule.flag;
    }
    return flags;
}

STATUS AppendParagraph(RecordOutput* output) {
    std::uint8_t paragraph[kParagraphLength];
    WriteParagraphRecord(paragraph);
    return AppendRecord(paragraph, kSigParagraph, sizeof paragraph, output);
}

STATUS AppendReference(std::uint16_t id, RecordOutput* output) {
    std::uint8_t reference[kParagraphReferenceLength];
    WriteParagraphReference(reference, id);
    return AppendRecord(reference, kSigPabReference, sizeof reference, output);
}

// The title paragraph of a "PostReply" section: a definition of its own,
// left-justified and shifted left by a quarter inch. *id receives its id.
STATUS AppendPostReplyParagraph(BuildContext* context, std::uint16_t* id) {
    RecordOutput* output = &context->output;
    ParagraphStyleState style;
    const STATUS parsed = output->item->ParseParagraphString(
        kPostReplyParagraph, nullptr, &style.definition[0], nullptr, &style.flagsSet, &style.flagsClear,
        &style.flags2Set, &style.flags2Clear, &style.flags3Set, &style.flags3Clear, &style.listType[0], nullptr,
        &style.listClear[0], nullptr, &style.shiftLeftOffset, &style.shiftRightOffset, &style.shiftLeftPercent,
        &style.shiftRightPercent, style.mask[0], nullptr);
    if (parsed != kOK) return parsed;
    std::uint8_t definition[kParagraphImageSize] = {};
    std::memcpy(definition, context->paragraphDefinition, kParagraphImageSize);
    WriteWord(definition, kSigPabDefinition);
    *id = NextParagraphId(output);
    WriteWord(definition + kPabIdAt, *id);
    STATUS status = SetParagraphDefinition(definition, &style.definition[0], style.flagsSet, style.flagsClear,
                                           style.flags2Set, style.flags2Clear, style.flags3Set, style.flags3Clear,
                                           style.listType[0], style.listClear[0], style.shiftLeftOffset,
                                           style.shiftRightOffset, style.shiftLeftPercent, style.shiftRightPercent,
                                           style.mask[0], 1, 0);
    if (status != kOK) return status;
    WriteWord(definition + 2, kParagraphImageSize);
    status = AppendParagraph(output);
    if (status == kOK) status = AppendRecord(definition, kSigPabDefinition, sizeof definition, output);
    return status;
}

} // namespace

STATUS AppendSectionRecords(BuildContext* context) {
    if (context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        context->output.item == nullptr)
        return kArgumentError;
    RecordOutput* output = &context->output;
    const char* options = context->session->workArea->runningOptions;
    const char* title = context->argumentText != nullptr ? context->argumentText : "";
    const std::uint32_t titleLength = static_cast<std::uint32_t>(std::strlen(title));
    std::uint16_t tabStyle = 0;
    const std::uint32_t flags = BarFlags(options, &tabStyle);
    const std::uint16_t currentId = ReadWord(context->paragraphDefinition + kPabIdAt);
    const FontId newText = TemplateFont(output->item);

    // The bar record, laid out before anything is appended.
    const std::uint32_t barLength = kBarTitleAfterColorAt + titleLength + 1;
    RecordScratch scratch(context->session, barLength + 1);
    std::uint8_t* bar = scratch.data();
    if (bar == nullptr) return scratch.failure();
    const FontId titleFont = OperationFont(context);
    WriteWord(bar, kSigBar);
    WriteWord(bar + 2, static_cast<std::uint16_t>(barLength));
    WriteDword(bar + 4, flags);
    bar[8] = titleFont.face;
    bar[9] = titleFont.attributes;
    bar[10] = titleFont.color;
    bar[11] = titleFont.size;
    WriteWord(bar + 12, context->fontMask.color != 0 ? context->font.font.color : 0);
    std::memcpy(bar + kBarTitleAfterColorAt, title, titleLength);

    std::uint16_t titleId = currentId;
    STATUS status = tabStyle == kTabStylePostReply ? AppendPostReplyParagraph(context, &titleId)
                                                   : AppendParagraph(output);
    if (status == kOK) status = AppendReference(titleId, output);
    if (status == kOK) status = AppendTextRecord(nullptr, 0, &newText, output);

    if (status == kOK) status = AppendBeginRecord(kSigV4HotspotBegin, 0, output);
    if (status == kOK) {
        std::uint8_t hotspot[kHotspotBeginFixedLength] = {};
        WriteWord(hotspot, kSigV4HotspotBegin);
        WriteWord(hotspot + 2, kHotspotBeginFixedLength);
        WriteWord(hotspot + 4, kTypeSection);
        WriteDword(hotspot + 8, kSectionHotspotFlags);
        status = AppendRecord(hotspot, kSigV4HotspotBegin, sizeof hotspot, output);
    }
    if (status == kOK) status = AppendBeginRecord(kSigBar, 0, output);
    if (status == kOK) status = AppendPaddedRecord(bar, kSigBar, barLength, false, output);
    if (status == kOK && tabStyle != 0) {
        std::uint8_t tab[kTabStyleLength] = {static_cast<std::uint8_t>(kSigDataFlags), kTabStyleLength};
        WriteWord(tab + 2, 1);
        WriteWord(tab + 4, 128);
        WriteWord(tab + 12, tabStyle);
        status = AppendRecord(tab, kSigDataFlags, sizeof tab, output);
    }
    if (status == kOK) status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), 0, 0, output);
    if (status == kOK) status = AppendEndRecord(kSigBar, 0, output);

    if (status == kOK) status = AppendTextRecord(nullptr, 0, &newText, output);
    if (status == kOK) status = AppendParagraph(output);
    if (status == kOK) status = AppendReference(currentId, output);
    if (status == kOK && context->node != nullptr && context->node->signature != kSigText)
        status = AppendTextRecord(nullptr, 0, &newText, output);
    return status;
}

} // namespace talix
