// The property codes of hotspots, sections, anchors, buttons, frame targets
// and event texts that the executor inside a chunk runs on each record:
// reading a pop-up text (5), section title (7), anchor text (16), hotspot
// border (18), action formula (20), button text (22), frame target (43)
// and event text (61, 63), and changing them (6, 8, 17, 19, 21, 23, 44) or
// the target of a URL link (55).
//
// A reading code takes its answer from the first record of its kind inside
// the chunk. A changing code puts a rebuilt copy of the record in its place;
// the record list being walked is never changed.
#include <cstring>
#include <iterator>

#include "builders/append_gate.h"
#include "core/chunk_type_table.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "engine/exec_results.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

// No border; a formula as data; a URL hotspot whose data is its URL.
constexpr std::uint32_t kFlagNoBorder = 0x8, kFlagFormula = 0x10, kFlagUrlInData = 0x1000;
// A hotspot whose code is LotusScript or JavaScript.
constexpr std::uint32_t kFlagLotusScript = 0x100, kFlagJavaScript = 0x200000;
constexpr std::uint16_t kTypePopup = 1, kTypeButton = 3, kTypeUrl = 11, kTypeMouseover = 22;
// Event parts: the owner's signature, the text length and the text.
constexpr std::uint32_t kPartOwner = 4, kPartLength = 6;
// Link target records: the data type, the first length and the two hint
// lengths, then the hints and the data.
constexpr std::uint32_t kResourceType = 8, kResourceLength = 12, kResourceHint1 = 14, kResourceHint2 = 16;
constexpr std::uint16_t kResourceUrl = 1;

bool IsHotspotBegin(std::uint16_t signature) {
    return signature == kSigHotspotBegin || signature == kSigV4HotspotBegin;
}

// A hotspot begin whose fixed part is whole, and its fields.
struct Hotspot {
    bool valid = false;
    std::uint16_t type = 0;
    std::uint32_t flags = 0;
    std::uint32_t dataLength = 0;   // bounded by the record
};

Hotspot ReadHotspot(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    Hotspot hotspot;
    if (!IsHotspotBegin(signature) || length < kHotspotBeginFixedLength) return hotspot;
    hotspot.valid = true;
    hotspot.type = ReadWord(record + kHotspotTypeAt);
    hotspot.flags = ReadDword(record + kHotspotFlagsAt);
    hotspot.dataLength = ReadWord(record + kHotspotDataLengthAt);
    if (hotspot.dataLength > length - kHotspotBeginFixedLength) hotspot.dataLength = length - kHotspotBeginFixedLength;
    return hotspot;
}

// Pop-ups and mouse-overs that show a text (not a formula).
bool IsPopupText(const Hotspot& hotspot) {
    return hotspot.valid && (hotspot.type == kTypePopup || hotspot.type == kTypeMouseover) &&
           (hotspot.flags & kFlagFormula) == 0;
}

bool HasActionFormula(const Hotspot& hotspot) {
    return hotspot.valid && (hotspot.type == kTypeButton || (hotspot.flags & kFlagFormula) != 0);
}

// The text of a field given by a length word and a start offset, bounded by
// the record.
std::uint32_t BoundedText(const std::uint8_t* record, std::uint32_t length, std::uint32_t lengthWord,
                          std::uint32_t start) {
    if (length < start) return 0;
    const std::uint32_t stated = ReadWord(record + lengthWord);
    return stated < length - start ? stated : length - start;
}

// Replaces the data of a hotspot begin: its 16-byte head with the new data
// length, then the data.
STATUS ReplaceHotspotData(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                          const char* data, std::uint32_t dataLength, std::uint32_t* passOn,
                          RecordProcessContext* context) {
    return ReplaceVariablePart(record, signature, length, kHotspotBeginFixedLength, kHotspotDataLengthAt, data,
                               dataLength, passOn,
                               context);
}

// Reading codes: the first record of their kind inside the chunk.
void ReadProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                  RecordProcessContext* context) {
    if (context->chunkDone != 0) return;
    const Hotspot hotspot = ReadHotspot(record, signature, length);
    switch (context->operation) {
    case kOpGetPopupText: {
        if (!IsPopupText(hotspot) || length <= kHotspotBeginFixedLength || hotspot.dataLength == 0) return;
        std::uint32_t textLength = hotspot.dataLength;
        while (textLength > 0 && record[kHotspotBeginFixedLength + textLength - 1] == 0) --textLength;
        PutTextResult(context, record + kHotspotBeginFixedLength, textLength);
        break;
    }
    case kOpGetSectionTitle:
        if (signature != kSigBar) return;
        PutScratch1(context, record + kBarTitleAfterColorAt, length > kBarTitleAfterColorAt ? length - kBarTitleAfterColorAt : 0);
        break;
    case kOpGetAnchorText:
        if (signature != kSigAnchor || length < kAnchorFixedLength) return;
        PutTextResult(context, record + kAnchorFixedLength, BoundedText(record, length, kAnchorTextLengthAt,
                                                                        kAnchorFixedLength));
        break;
    case kOpGetHotspotBorder:
        if (!hotspot.valid) return;
        PutScratch1(context, (hotspot.flags & kFlagNoBorder) == 0 ? "TRUE" : "FALSE",
                    (hotspot.flags & kFlagNoBorder) == 0 ? 4 : 5);
        break;
    case kOpGetActionFormula:
        if (!HasActionFormula(hotspot)) return;
        PutTextResult(context, record + kHotspotBeginFixedLength, hotspot.dataLength);
        break;
    case kOpGetButtonText:
        if (signature != kSigButton) return;
        PutTextResult(context, record + kButtonFixedLength, length > kButtonFixedLength ? length - kButtonFixedLength : 0);
        break;
    case kOpGetTargetFrame:
        if (signature != kSigTarget || length < kTargetFixedLength) return;
        PutScratch1(context, record + kTargetFixedLength, BoundedText(record, length, kTargetTextLengthAt,
                                                                      kTargetFixedLength));
        break;
    case kOpGetFieldEventText:
    case kOpGetObjectEventText: {
        const std::uint16_t part = context->operation == kOpGetFieldEventText ? kSigClientBlobPart : kSigBlobPart;
        const std::uint16_t owner = context->operation == kOpGetFieldEventText ? kSigClientEvent : kSigEvent;
        if (signature != part || length < kBlobPartFixedLength || ReadWord(record + kPartOwner) != owner) return;
        PutTextResult(context, record + kBlobPartFixedLength, BoundedText(record, length, kPartLength,
                                                                          kBlobPartFixedLength));
        break;
    }
    default:
        return;
    }
    context->chunkDone = 1;
}

bool InList(std::uint16_t value, const std::uint16_t* list, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (list[i] != 0 && list[i] == value) return true;
    return false;
}

// The signature a record stands for in the chunk-type table: an END record
// stands for the signature it closes.
std::uint16_t OwnSignature(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    if (signature == kSigEnd && length >= kBeginLength) return ReadWord(record + 4);
    return signature;
}

bool IsEndOf(const ChunkTypeRow* row, const CDRecordNode* node) {
    if (node->bytes == nullptr) return false;
    const std::uint16_t own = OwnSignature(node->bytes, node->signature, node->length);
    return InList(own, row->end, std::size(row->end));
}

// Whether the element that starts at node holds a frame target before (or
// at) the record that ends it, or has one right before its start record,
// where this operation puts a target it adds.
bool ElementHasTarget(const CDRecordNode* node, const ChunkTypeRow* row) {
    // A target put right before a table's begin record has the paragraph
    // break a table starts with after it.
    const CDRecordNode* before = node != nullptr ? node->prev : nullptr;
    while (before != nullptr && before->signature == kSigParagraph) before = before->prev;
    if (before != nullptr && before->signature == kSigTarget) return true;
    for (; node != nullptr; node = node->next) {
        if (node->signature == kSigTarget) return true;
        if (IsEndOf(row, node)) return false;
    }
    return false;
}

// 44: every frame target inside the chunk takes the new text; an element of
// the chunk's type that has none gets one, before its first record that
// starts or ends it.
STATUS SetFrameTarget(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                      std::uint32_t* passOn, RecordProcessContext* context) {
    const char* text = context->argumentText;
    const std::uint32_t textLength = context->a3;
    if (signature == kSigTarget) {
        context->frameTargetSeen = 1;
        return ReplaceVariablePart(record, signature, length, kTargetFixedLength, kTargetTextLengthAt, text, textLength,
                                   passOn,
                                   context);
    }
    const ChunkTypeRow* row = GetChunkTypeRow(context->chunk->targetType);
    if (row == nullptr) return kOK;
    const std::uint16_t own = OwnSignature(record, signature, length);
    const bool starts = signature != kSigEnd && InList(own, row->start, std::size(row->start));
    const bool ends = InList(own, row->end, std::size(row->end));
    if (!starts && !ends) return kOK;
    // A new element begins at its start record; one whose start lies before
    // the chunk is taken at its first end record.
    if (starts) context->frameTargetSeen = 0;
    // A table begins with its pre-table record and then its begin record: its
    // target goes before the begin record, inside the table's range, where
    // later runs find it.
    if (signature == kSigPreTableBegin) return kOK;
    if (context->frameTargetSeen != 0) return kOK;
    context->frameTargetSeen = 1;
    if (context->node != nullptr && context->node->bytes == record && ElementHasTarget(context->node, row))
        return kOK;

    STATUS status = kOK;
    std::uint8_t* target =
        BuildTextRecord(context, kSigTarget, kTargetFixedLength, kTargetTextLengthAt, text, textLength, &status);
    if (target == nullptr) return status;
    context->chunk->item->modified = 1;
    if (context->writesItem != 0)
        status = AppendRecord(target, kSigTarget, EvenLength(kTargetFixedLength + textLength), &context->output);
    ReleaseRecord(context, target);
    return status;
}

// Changing codes.
STATUS ChangeProperty(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                      std::uint32_t* passOn, RecordProcessContext* context) {
    const Hotspot hotspot = ReadHotspot(record, signature, length);
    const char* text = context->argumentText;
    const std::uint32_t textLength = context->a3;
    switch (context->operation) {
    case kOpSetPopupText:
        if (!IsPopupText(hotspot)) return kOK;
        return ReplaceHotspotData(record, signature, length, text, textLength, passOn, context);
    case kOpSetSectionTitle:
        if (signature != kSigBar) return kOK;
        return ReplaceVariablePart(record, signature, length, kBarTitleAfterColorAt, 0, text, textLength, passOn, context);
    case kOpSetAnchorText:
        // The first anchor only.
        if (signature != kSigAnchor || context->chunkDone != 0) return kOK;
        context->chunkDone = 1;
        return ReplaceVariablePart(record, signature, length, kAnchorFixedLength, kAnchorTextLengthAt, text, textLength,
                                   passOn,
                                   context);
    case kOpSetHotspotBorder: {
        if (!hotspot.valid) return kOK;
        const std::uint32_t flags =
            context->a3 == 0 ? (hotspot.flags | kFlagNoBorder) : (hotspot.flags & ~kFlagNoBorder);
        if (flags == hotspot.flags) return kOK;
        return ReplaceDwordField(record, signature, length, kHotspotFlagsAt, flags, passOn, context);
    }
    case kOpSetActionFormula: {
        // The compiled formula the caller left in the session's text result.
        // A button that runs a script keeps its code: a formula in place of
        // the script would be run as a script.
        if (!HasActionFormula(hotspot)) return kOK;
        if ((hotspot.flags & kFlagFormula) == 0 && (hotspot.flags & (kFlagLotusScript | kFlagJavaScript)) != 0)
            return kOK;
        RARIvoSession* session = context->session;
        return ReplaceHotspotData(record, signature, length, session->textResult, session->textResultLength, passOn,
                                  context);
    }
    case kOpSetButtonText:
        if (signature != kSigButton) return kOK;
        return ReplaceVariablePart(record, signature, length, kButtonFixedLength, 0, text, textLength, passOn, context);
    case kOpSetTargetFrame:
        return SetFrameTarget(record, signature, length, passOn, context);
    case kOpSetLinkTarget:
        if (hotspot.valid) {
            if (hotspot.type != kTypeUrl || (hotspot.flags & kFlagUrlInData) == 0) return kOK;
            return ReplaceHotspotData(record, signature, length, text, textLength, passOn, context);
        }
        if (IsLinkResourceRecord(signature) && length >= kResourceFixedLength &&
            ReadWord(record + kResourceType) == kResourceUrl) {
            const std::uint32_t head =
                kResourceFixedLength + ReadWord(record + kResourceHint1) + ReadWord(record + kResourceHint2);
            if (head > length) return kOK;   // damaged: left as it is
            return ReplaceVariablePart(record, signature, length, head, kResourceLength, text, textLength, passOn,
                                       context);
        }
        return kOK;
    default:
        return kOK;
    }
}

STATUS PropertyInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    switch (context->operation) {
    case kOpGetPopupText: case kOpGetSectionTitle: case kOpGetAnchorText: case kOpGetHotspotBorder: case kOpGetActionFormula: case kOpGetButtonText: case kOpGetTargetFrame: case kOpGetFieldEventText: case kOpGetObjectEventText:
        ReadProperty(record, signature, length, context);
        return kOK;
    default:
        return ChangeProperty(record, signature, length, passOn, context);
    }
}

// Pop-up text, section title, anchor text, hotspot border, action formula,
// button text, frame target, URL link target and event texts.
const OperationRow kRows[] = {
    {kOpGetPopupText, nullptr, PropertyInside, nullptr},
    {kOpSetPopupText, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetSectionTitle, nullptr, PropertyInside, nullptr},
    {kOpSetSectionTitle, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetAnchorText, nullptr, PropertyInside, nullptr},
    {kOpSetAnchorText, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetHotspotBorder, nullptr, PropertyInside, nullptr},
    {kOpSetHotspotBorder, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetActionFormula, nullptr, PropertyInside, nullptr},
    {kOpSetActionFormula, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetButtonText, nullptr, PropertyInside, nullptr},
    {kOpSetButtonText, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetTargetFrame, nullptr, PropertyInside, nullptr},
    {kOpSetTargetFrame, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpSetLinkTarget, nullptr, PropertyInside, nullptr, nullptr, kRebuildsItem},
    {kOpGetFieldEventText, nullptr, PropertyInside, nullptr},
    {kOpGetObjectEventText, nullptr, PropertyInside, nullptr},
};

} // namespace

const OperationFamily kHotspotPropertyOperations = MakeFamily(kRows);

} // namespace talix
