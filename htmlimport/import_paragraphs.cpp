// The paragraph records of the import's walk.
#include "htmlimport/import_paragraphs.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/build_context.h"
#include "builders/walked_paragraphs.h"
#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "htmlimport/html_import_context.h"
#include "htmlimport/import_records.h"
#include "htmlimport/walk_memo.h"
#include "talix/item.h"

namespace talix {

namespace {

constexpr std::uint32_t kLeftOffsetWord = 72, kFirstLineOffsetWord = 76;
constexpr std::uint16_t kOneInch = 1440;             // twips
// The set words a block paragraph starts from: 0x86 of the first inside a
// table, 4 of the fifth.
constexpr std::uint16_t kTableFlagsSet = 0x86;
constexpr std::uint32_t kBlockExtensionSet = 4;

std::uint8_t* TextTemplate(BuildContext* context) {
    ZervaRTItem* item = context != nullptr ? context->output.item : nullptr;
    return item != nullptr && item->work != nullptr ? item->work->textTemplate : nullptr;
}

const std::uint8_t* TextTemplate(const BuildContext* context) {
    return TextTemplate(const_cast<BuildContext*>(context));
}

} // namespace

FontId CurrentImportFont(const BuildContext* context) {
    const std::uint8_t* textTemplate = TextTemplate(context);
    return textTemplate != nullptr ? ReadFontId(textTemplate + 4) : kDefaultTextFont;
}

void SetCurrentImportFont(BuildContext* context, const FontId& font) {
    if (std::uint8_t* textTemplate = TextTemplate(context)) WriteFontId(textTemplate + 4, font);
}

STATUS AppendEmptyRun(BuildContext* context, HTMLImportContext* import) {
    return AddImportTextRecord("", 0, TextTemplate(context), import);
}

STATUS AppendLineBreak(BuildContext* context, HTMLImportContext* import) {
    static const char kBreak[1] = {'\0'};
    return AddImportTextRecord(kBreak, 1, TextTemplate(context), import);
}

STATUS AppendParagraphRecord(BuildContext* context) {
    WriteParagraphRecord(context->paragraphRecord);
    return AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord, &context->output);
}

STATUS AppendReferenceRecord(BuildContext* context) {
    WriteParagraphReference(context->paragraphReference, CurrentReferenceId(context));
    return AppendRecord(context->paragraphReference, kSigPabReference, sizeof context->paragraphReference,
                        &context->output);
}

STATUS AppendParagraphBreak(BuildContext* context, HTMLImportContext* import) {
    STATUS status = AppendParagraphRecord(context);
    if (status == kOK) status = AppendReferenceRecord(context);
    if (status == kOK) status = AppendEmptyRun(context, import);
    import->textSinceParagraph = 0;
    return status;
}

std::uint16_t CurrentReferenceId(const BuildContext* context) {
    return ReadWord(context->paragraphReference + 2);
}

void SetReferenceId(BuildContext* context, std::uint16_t id) {
    WriteWord(context->paragraphReference + 2, id);
}

std::uint16_t TakeParagraphId(BuildContext* context) {
    // The gate knows the ids of the item being written; the run knows those
    // of the item as read and every id given here before.
    const std::uint16_t gateNext = NextParagraphId(&context->output);
    const std::uint16_t highest = std::max<std::uint16_t>(context->highestParagraphId,
                                                          static_cast<std::uint16_t>(gateNext - 1));
    const std::uint16_t id = highest < 0xFFFF ? static_cast<std::uint16_t>(highest + 1) : highest;
    context->highestParagraphId = id;
    context->output.highestParagraphId = std::max(context->output.highestParagraphId, id);
    return id;
}

void KeepBuilderParagraphId(BuildContext* context) { TakeParagraphId(context); }

STATUS ParseImportParagraphStyle(BuildContext* context, const HTMLImportContext* import, const char* text,
                                 ParagraphReset reset) {
    ParagraphStyleState& style = context->paragraph;
    style.definition[0].flags = 0;
    style.definition[0].flags2 = 0;
    if (reset == ParagraphReset::kBlockDefaults) {
        style.flagsSet = import->tableLevel >= 1 ? kTableFlagsSet : 0;
        style.flagsClear = style.flags2Set = style.flags2Clear = style.flags3Clear = 0;
        style.flags3Set = static_cast<std::uint16_t>(kBlockExtensionSet);
    }
    // The words the style starts from stay; the text adds to them.
    const std::uint16_t kept[6] = {style.flagsSet,  style.flagsClear, style.flags2Set,
                                   style.flags2Clear, style.flags3Set, style.flags3Clear};
    // Shifts are steps of this text only.
    style.shiftLeftOffset = style.shiftRightOffset = style.shiftLeftPercent = style.shiftRightPercent = 0;
    std::int32_t* shifts[4] = {&style.shiftLeftOffset, &style.shiftRightOffset, &style.shiftLeftPercent,
                               &style.shiftRightPercent};
    std::uint16_t* words[6] = {&style.flagsSet,   &style.flagsClear, &style.flags2Set,
                               &style.flags2Clear, &style.flags3Set, &style.flags3Clear};
    ZervaRTItem* item = context->output.item;
    if (item == nullptr) return kArgumentError;
    const std::string key = text != nullptr ? text : "";
    WalkMemo* memo = import->walkMemo;
    STATUS status = kOK;
    if (const WalkMemo::ParsedParagraph* parsed = memo != nullptr ? memo->FindParagraph(key) : nullptr) {
        style.definition[0] = parsed->definition;
        for (int n = 0; n < 6; ++n) *words[n] = parsed->words[n];
        style.listType[0] = parsed->listType;
        style.listClear[0] = parsed->listClear;
        for (int n = 0; n < 4; ++n) *shifts[n] = parsed->shifts[n];
        std::memcpy(style.mask[0], parsed->mask, sizeof parsed->mask);
        status = parsed->status;
    } else {
        status = item->ParseParagraphString(key.c_str(), nullptr, &style.definition[0], nullptr, &style.flagsSet,
                                            &style.flagsClear, &style.flags2Set, &style.flags2Clear,
                                            &style.flags3Set, &style.flags3Clear, &style.listType[0], nullptr,
                                            &style.listClear[0], nullptr, &style.shiftLeftOffset,
                                            &style.shiftRightOffset, &style.shiftLeftPercent,
                                            &style.shiftRightPercent, style.mask[0], nullptr);
        if (memo != nullptr) {
            WalkMemo::ParsedParagraph parsed;
            parsed.definition = style.definition[0];
            for (int n = 0; n < 6; ++n) parsed.words[n] = *words[n];
            parsed.listType = style.listType[0];
            parsed.listClear = style.listClear[0];
            for (int n = 0; n < 4; ++n) parsed.shifts[n] = *shifts[n];
            std::memcpy(parsed.mask, style.mask[0], sizeof parsed.mask);
            parsed.status = status;
            memo->KeepParagraph(key, parsed);
        }
    }
    for (int n = 0; n < 6; ++n) *words[n] = static_cast<std::uint16_t>(*words[n] | kept[n]);
    style.status = status;
    return status;
}

std::uint32_t CopyParagraphDefinition(const BuildContext* context, std::uint16_t id, std::uint8_t* image) {
    std::memcpy(image, context->paragraphDefinition, kParagraphImageSize);
    WriteWord(image, kSigPabDefinition);
    std::uint32_t length = ReadWord(image + 2);
    if (length < kParagraphDefinitionFixedLength || length > kParagraphImageSize) {
        length = std::clamp<std::uint32_t>(context->paragraphDefinitionLength, kParagraphDefinitionFixedLength,
                                           kParagraphImageSize);
        WriteWord(image + 2, static_cast<std::uint16_t>(length));
    }
    WriteWord(image + 4, id);
    return length;
}

void ApplyParagraphStyle(const BuildContext* context, std::uint8_t* image) {
    const ParagraphStyleState& style = context->paragraph;
    SetParagraphDefinition(image, &style.definition[0], style.flagsSet, style.flagsClear, style.flags2Set,
                           style.flags2Clear, style.flags3Set, style.flags3Clear, style.listType[0],
                           style.listClear[0], style.shiftLeftOffset, style.shiftRightOffset, style.shiftLeftPercent,
                           style.shiftRightPercent, style.mask[0], 1, 0);
}

void CorrectTableMargins(const HTMLImportContext* import, std::uint8_t* image) {
    if (import->tableLevel < 1 || ReadWord(image + 2) <= kParagraphDefinitionFixedLength) return;
    for (std::uint32_t offset : {kLeftOffsetWord, kFirstLineOffsetWord}) {
        const std::uint16_t value = ReadWord(image + offset);
        if (value >= kOneInch) WriteWord(image + offset, static_cast<std::uint16_t>(value - kOneInch));
    }
}

bool ReloadTableParagraph(BuildContext* context, HTMLImportContext* import, int level) {
    if (level < 1 || level > kImportTableLevels) return false;
    std::uint16_t& saved = import->savedTablePab[level];
    LoadPabDefinition(saved, kLoadBackward | kLoadForward, context);
    std::uint8_t* definition = context->paragraphDefinition;
    const std::uint32_t length = ReadWord(definition + 2);
    const bool left = ReadWord(definition + kLeftOffsetWord) >= kOneInch;
    const bool first = length > kParagraphDefinitionFixedLength
        && ReadWord(definition + kFirstLineOffsetWord) >= kOneInch;
    if (!left && !first) return false;
    const std::uint16_t id = TakeParagraphId(context);
    for (std::uint32_t offset : {kLeftOffsetWord, kFirstLineOffsetWord}) {
        const std::uint16_t value = ReadWord(definition + offset);
        if (value >= kOneInch) WriteWord(definition + offset, static_cast<std::uint16_t>(value - kOneInch));
    }
    WriteWord(definition + 4, id);
    context->paragraphDefinitionId = id;
    saved = id;
    SetReferenceId(context, id);
    AppendDefinitionRecord(context, definition);
    return true;
}

STATUS AppendDefinitionRecord(BuildContext* context, const std::uint8_t* image) {
    const std::uint32_t length = std::min<std::uint32_t>(ReadWord(image + 2), kParagraphImageSize);
    return AppendRecord(image, kSigPabDefinition, length, &context->output);
}

STATUS AppendNewDefinition(BuildContext* context, HTMLImportContext* import, const char* text,
                           ParagraphReset reset) {
    ParseImportParagraphStyle(context, import, text, reset);
    std::uint8_t image[kParagraphImageSize];
    const std::uint16_t id = TakeParagraphId(context);
    CopyParagraphDefinition(context, id, image);
    ApplyParagraphStyle(context, image);
    CorrectTableMargins(import, image);
    const STATUS status = AppendDefinitionRecord(context, image);
    SetReferenceId(context, id);
    return status;
}

} // namespace talix
