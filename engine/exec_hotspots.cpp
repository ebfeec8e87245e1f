// Hotspots written round or beside a chunk: a Notes link round the chunk's
// text (2387, 2388), a section round the chunk (2404), a programmable
// hotspot or button before or after it (2423), and the areas of an image map
// over the chunk's graphic (2447).
#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/button_builders.h"
#include "builders/hotspot_builders.h"
#include "builders/image_map_builder.h"
#include "builders/section_builders.h"
#include "core/brackets.h"
#include "core/record_forms.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/exec_handlers.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "engine/writing_run.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {


// 2387, 2388: a Notes link (the chunk's link request) opened before the
// chunk: round the chunk's own text (2387), or with the argument text (op2
// bytes) written first (2388); closed after the chunk.
STATUS LinkAroundStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    const std::uint32_t length = context->argumentText != nullptr ? context->operation2 : 0;
    return AppendNotesLinkHotspot(context->argumentText, length, context, context->operation == kOpLinkAroundChunk ? 1 : 0);
}
// Inside the link, the chunk's text loses its colour brackets. Brackets of
// which only one half lies in the chunk are mended after the link: an END
// that closed a bracket opened before the chunk is written after it, and a
// BEGIN whose END follows the chunk is written again.
STATUS LinkAroundInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                        RecordProcessContext* context) {
    const std::uint32_t before = *passOn;
    const STATUS status = StripTextColourExecutor()(record, signature, length, passOn, context);
    if (before != 0 && *passOn == 0) {
        if (Brackets(record, signature, length, kSigBegin, kSigText)) {
            ++context->openTextBrackets;
        } else if (Brackets(record, signature, length, kSigEnd, kSigText)) {
            if (context->openTextBrackets > 0) {
                --context->openTextBrackets;
            } else {
                ++context->closedTextBrackets;
            }
        }
    }
    return status;
}
STATUS HotspotAroundEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    STATUS status = AppendHotspotEnd(context, kSigV4HotspotEnd);
    for (; status == kOK && context->closedTextBrackets > 0; --context->closedTextBrackets)
        status = AppendEndRecord(kSigText, 0, &context->output);
    for (; status == kOK && context->openTextBrackets > 0; --context->openTextBrackets)
        status = AppendBeginRecord(kSigText, 0, &context->output);
    return status;
}

// 2404: a section (title: the argument text; options: the running option
// text) whose body is the chunk.
STATUS SectionStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    const CDRecordNode* previous = context->node != nullptr ? context->node->prev : nullptr;
    if (previous != nullptr && previous->signature != kSigText) {
        const FontId font = ItemDefaultFont(context->chunk->item);
        const STATUS status = AppendTextRecord(nullptr, 0, &font, &context->output);
        if (status != kOK) return status;
    }
    // A section at the very start of the item comes before any paragraph
    // definition: give its paragraph references the run's default
    // definition first, so that every reference names a definition before it.
    if (context->output.currentParagraphId == 0) {
        const STATUS status = AppendRecord(context->paragraphDefinition, kSigPabDefinition,
                                           context->paragraphDefinitionLength, &context->output);
        if (status != kOK) return status;
    }
    return AppendSectionRecords(context);
}
STATUS SectionEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    STATUS status = AppendHotspotEnd(context, kSigV4HotspotEnd);
    if (status == kOK)
        status = AppendRecord(context->paragraphRecord, kSigParagraph, sizeof context->paragraphRecord, output);
    if (status == kOK)
        status = AppendRecord(context->paragraphReference, kSigPabReference, sizeof context->paragraphReference,
                              output);
    if (status != kOK) return status;
    const FontId font = ItemDefaultFont(context->chunk->item);
    return AppendTextRecord(nullptr, 0, &font, output);
}

// 2423: the hotspot the calling method asked for (type and code kind in the
// session's work area; the code in its text result): options in the
// argument text, the hotspot's text in the second argument (a5 bytes).
STATUS AppendHotspot(RecordProcessContext* context) {
    const HotspotRequest& request = context->session->workArea->hotspot;
    context->chunk->item->modified = 1;
    const std::uint32_t textLength = context->secondArgument != nullptr ? context->a5 : 0;
    return AppendButtonOrControl(request.type, request.codeFlags, context->secondArgument, textLength,
                                 context->argumentText, context);
}
STATUS HotspotAtStart(std::uint8_t*, std::uint16_t, std::uint32_t, RecordProcessContext* context) {
    if (context->chunk->appendAtEnd != 0) return kOK;
    const CDRecordNode* first = nullptr;
    const STATUS status = EnterChunkContent(context, true, &first);
    return status == kOK ? AppendHotspot(context) : status;
}
STATUS HotspotAtEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    return context->chunk->appendAtEnd != 0 ? AppendHotspot(context) : kOK;
}

// 2447: an area (the argument text names its shape and coordinates; the
// second argument holds its options) over the chunk's first graphic. At the
// end of a graphic a new map is started after it, or the map that follows
// it is written again with the area added (its old records are then taken
// as written); at the end of a map the area goes in before it.
STATUS ImageAreaInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    if (context->chunkDone != 0) return kOK;
    const CDRecordNode* node = context->node;
    STATUS status = kOK;
    if (Brackets(record, signature, length, kSigEnd, kSigGraphic)) {
        const CDRecordNode* mapEnd = nullptr;
        if (node != nullptr && Brackets(node->next, kSigBegin, kSigMapElement)) {
            for (const CDRecordNode* at = node->next; at != nullptr && mapEnd == nullptr; at = at->next)
                if (Brackets(at, kSigEnd, kSigMapElement)) mapEnd = at;
            // A map that never ends is left as it is.
            if (mapEnd == nullptr) return kOK;
        }
        *passOn = 0;
        if (context->writesItem != 0) {
            status = node != nullptr && node->bytes == record ? AppendRecordNode(node, &context->output)
                                                              : AppendRecord(record, signature, length, &context->output);
            if (status == kOK) status = AppendImageMap(context->argumentText, context->secondArgument, context);
        }
        // The map written again replaces the old one up to its end record.
        if (mapEnd != nullptr && mapEnd->prev != nullptr) context->consumedThrough = mapEnd->prev->index;
    } else if (Brackets(record, signature, length, kSigEnd, kSigMapElement)) {
        if (context->writesItem != 0) status = AppendImageMap(context->argumentText, context->secondArgument, context);
    } else {
        return kOK;
    }
    context->chunkDone = 1;
    context->chunk->item->modified = 1;
    return status;
}

// Without a graphic or a map inside the chunk, the area is added once where
// the chunk ends.
STATUS ImageAreaEnd(std::uint8_t*, std::uint16_t, RecordProcessContext* context) {
    if (context->chunkDone != 0 || context->endDone != 0) return kOK;
    context->endDone = 1;
    context->chunk->item->modified = 1;
    return AppendImageMap(context->argumentText, context->secondArgument, context);
}

// Links round a chunk, sections, programmable hotspots, image-map areas.
const OperationRow kRows[] = {
    {kOpLinkAroundChunk, LinkAroundStart, LinkAroundInside, HotspotAroundEnd, nullptr, kRebuildsItem},
    {kOpLinkWithText, LinkAroundStart, LinkAroundInside, HotspotAroundEnd, nullptr, kRebuildsItem},
    {kOpAppendSection, SectionStart, nullptr, SectionEnd, &kSectionFontSteps, kRebuildsItem},
    {kOpAppendHotspot, HotspotAtStart, nullptr, HotspotAtEnd, &kHotspotFontSteps, kRebuildsItem},
    {kOpAppendImageArea, nullptr, ImageAreaInside, ImageAreaEnd, nullptr, kRebuildsItem},
};

} // namespace

const OperationFamily kHotspotOperations = MakeFamily(kRows);

} // namespace talix
