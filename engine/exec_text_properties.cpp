// The text and paragraph property codes of the executor inside a chunk: the
// font of the first text run as property text (13), the first paragraph's
// definition as property text (14), the first hide formula (24), the first
// paragraph-definition id (26), the first style name (27), and the widening
// of short paragraph definitions to their full form (69). The reading codes
// take the first matching record of the chunk and keep every record.
#include <cstring>

#include "core/brackets.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/exec_results.h"
#include "engine/font_property_writer.h"
#include "engine/operation_table.h"
#include "engine/paragraph_property_writer.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kFontId = 4;             // text run and text effect: the packed font id
constexpr std::uint32_t kReferenceId = 2;
constexpr std::uint32_t kStyleNameId = 8;        // style name record: definition id, then the name
constexpr std::uint32_t kStyleName = 10;
constexpr std::uint32_t kStyleNameCapacity = 36;
constexpr std::uint32_t kFormulaStart = 14;      // hide formula record: the compiled formula
// A paragraph definition in full: the flags2 word, its extension mark and the
// extended-flags words at the end.
constexpr std::uint32_t kFlags2 = 68;
constexpr std::uint16_t kExtensionMark = 0x8000;
constexpr std::uint32_t kExtensionPresent = 84, kExtensionFlags = 88;
constexpr std::uint32_t kShortestDefinition = 6;

// 13: the font of the run that starts at the current record (a text effect,
// a text bracket or the text run): the text effect's font when it has one,
// else the text run's, with the colour record right after the text run.
void FontOfRun(RecordProcessContext* context) {
    const CDRecordNode* node = context->node;
    if (context->chunkDone != 0 || node == nullptr) return;
    if (node->signature != kSigText && node->signature != kSigTextEffect && !Brackets(node, kSigBegin, kSigText)) return;
    bool effect = false;
    std::uint32_t font = 0;
    for (; node != nullptr && node->signature != kSigText; node = node->next) {
        if (node->signature == kSigTextEffect) {
            effect = true;
            font = NodeDword(node, kFontId);
        } else if (!Brackets(node, kSigBegin, kSigText)) {
            return;   // no text run follows: nothing to answer
        }
    }
    if (node == nullptr) return;
    if (!effect) font = NodeDword(node, kFontId);
    const CDRecordNode* colour = node->next;
    // The writer takes the colour record's length from its header byte.
    const std::uint8_t* colourRecord = colour != nullptr && colour->signature == kSigColor
        && colour->length >= kColorLength &&
                                               colour->bytes != nullptr && colour->bytes[1] <= colour->length
                                           ? colour->bytes
                                           : nullptr;
    context->chunkDone = 1;
    WriteFontProperties(font, colourRecord, context->chunk->item, context->session->optionValue + kScratchSize,
                        context->operation2);
}

// 14: the definition of the first paragraph record: the definition itself,
// or for a reference the nearest definition of its id before it.
void ParagraphStyleText(std::uint16_t signature, RecordProcessContext* context) {
    const CDRecordNode* node = context->node;
    if (context->chunkDone != 0 || node == nullptr || node->bytes == nullptr) return;
    const CDRecordNode* definition = nullptr;
    if (signature == kSigPabDefinition) {
        definition = node;
    } else if (signature == kSigPabReference && node->length >= kReferenceId + 2) {
        const std::uint16_t id = ReadWord(node->bytes + kReferenceId);
        for (const CDRecordNode* at = node->prev; at != nullptr && definition == nullptr; at = at->prev) {
            if (at->signature == kSigPabDefinition && at->bytes != nullptr && at->length >= kShortestDefinition &&
                ReadWord(at->bytes + kPabIdAt) == id)
                definition = at;
        }
    } else {
        return;
    }
    CDPABDEFEXT image;
    std::memset(static_cast<void*>(&image), 0, sizeof image);
    const std::uint8_t* bytes = definition != nullptr ? definition->bytes : context->paragraphDefinition;
    std::uint32_t length = definition != nullptr ? definition->length : context->paragraphDefinitionLength;
    if (length > sizeof image) length = sizeof image;
    std::memcpy(static_cast<void*>(&image), bytes, length);
    context->chunkDone = 1;
    char* output = context->session->optionValue + kScratchSize;
    output[0] = '\0';
    PABToPropertyText(0, &image, output, 0);
}

// 24: the first hide formula's compiled bytes, as the text result.
void HideFormulaBytes(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                      RecordProcessContext* context) {
    if (context->chunkDone != 0 || signature != kSigPabHide || length < kFormulaStart) return;
    context->chunkDone = 1;
    PutTextResult(context, record + kFormulaStart, length - kFormulaStart);
}

// 26: the paragraph-definition id of the first definition, reference or
// style name.
void ParagraphId(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, RecordProcessContext* context) {
    if (context->chunkDone != 0) return;
    std::uint32_t offset = 0;
    switch (signature) {
    case kSigPabDefinition: offset = kPabIdAt; break;
    case kSigPabReference: offset = kReferenceId; break;
    case kSigStyleName: offset = kStyleNameId; break;
    default: return;
    }
    if (length < offset + 2) return;
    context->chunkDone = 1;
    context->session->workArea->paragraphIdWord = ReadWord(record + offset);
}

// 27: the name of the first style name record.
void StyleName(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, RecordProcessContext* context) {
    if (context->chunkDone != 0 || signature != kSigStyleName || length <= kStyleName) return;
    std::uint32_t room = length - kStyleName;
    if (room > kStyleNameCapacity) room = kStyleNameCapacity;
    const char* name = reinterpret_cast<const char*>(record + kStyleName);
    context->chunkDone = 1;
    PutScratch1(context, name, static_cast<std::uint32_t>(strnlen(name, room)));
}

// 69: a paragraph definition shorter than its full form is widened to it,
// marked as carrying the extension words.
STATUS WidenDefinition(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    if (signature != kSigPabDefinition || length < kShortestDefinition || length >= kParagraphImageSize)
        return kOK;
    std::uint8_t widened[kParagraphImageSize] = {};
    std::memcpy(widened, record, length);
    WriteWord(widened + 2, static_cast<std::uint16_t>(kParagraphImageSize));
    WriteWord(widened + kFlags2, static_cast<std::uint16_t>(ReadWord(widened + kFlags2) | kExtensionMark));
    WriteDword(widened + kExtensionPresent, 1);
    WriteDword(widened + kExtensionFlags, 4);
    return ReplaceRecord(widened, kSigPabDefinition, kParagraphImageSize, passOn, context);
}

STATUS TextPropertyInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                          RecordProcessContext* context) {
    switch (context->operation) {
    case kOpGetFontProperties: FontOfRun(context); break;
    case kOpGetParagraphStyle: ParagraphStyleText(signature, context); break;
    case kOpGetHideFormula: HideFormulaBytes(record, signature, length, context); break;
    case kOpGetParagraphId: ParagraphId(record, signature, length, context); break;
    case kOpGetStyleName: StyleName(record, signature, length, context); break;
    case kOpExpandParagraphDefinitions: return WidenDefinition(record, signature, length, passOn, context);
    default: break;
    }
    return kOK;
}

// Font, paragraph style, hide formula, paragraph id, style name, full
// paragraph definitions.
const OperationRow kRows[] = {
    {kOpGetFontProperties, nullptr, TextPropertyInside, nullptr},
    {kOpGetParagraphStyle, nullptr, TextPropertyInside, nullptr},
    {kOpGetHideFormula, nullptr, TextPropertyInside, nullptr},
    {kOpGetParagraphId, nullptr, TextPropertyInside, nullptr},
    {kOpGetStyleName, nullptr, TextPropertyInside, nullptr},
    {kOpExpandParagraphDefinitions, nullptr, TextPropertyInside, nullptr, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kTextPropertyOperations = MakeFamily(kRows);

} // namespace talix
