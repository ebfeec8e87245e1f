// The paragraph family of the executors: 2364 changes the paragraph
// properties of the paragraphs in a chunk (ChangeParagraph), 25 sets or
// removes their hide-when formula.
//
// On the chunk Everything the paragraph definitions are changed in place.
// On any other chunk a definition is never changed in place, because
// paragraphs outside the chunk may share it: the chunk's paragraphs get a
// changed copy under a new id, above every id the item uses, and their
// references are pointed at it. The run remembers which definition each new
// id stands for, so that every reference in the chunk to one definition
// shares one copy. A definition the chunk held itself is kept among the
// session's pending definitions, and the append gate puts it back before
// the first reference to it after the chunk.
//
// Each paragraph's definition is the one its reference names, looked up by
// its id; where the chunk starts inside a paragraph, the definition in force
// there is that of the last reference before it.
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "core/host_message.h"
#include "core/pab_match.h"
#include "core/paragraph_def.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "engine/exec_results.h"
#include "engine/operation_table.h"
#include "engine/paragraph_index.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kReferenceId = 2;
constexpr std::uint32_t kFormulaStart = 14;      // hide formula record: the compiled formula
constexpr std::uint32_t kShortestDefinition = 6; // header and id
constexpr std::uint16_t kFlagHidden = 0x0800;    // the paragraph has a hide formula

constexpr const char* kMsgObsoletedDefinitions = "TALIX: Unable to save additional obsoleted PAB definitions.";

bool ChangesInPlace(const RecordProcessContext* context) { return context->chunk->targetType == 0; }

// A definition record as a full image (bytes beyond its length zero).
void LoadImage(CDPABDEFEXT* image, const std::uint8_t* bytes, std::uint32_t length) {
    std::memset(static_cast<void*>(image), 0, sizeof *image);
    if (bytes == nullptr) return;
    std::memcpy(static_cast<void*>(image), bytes, length < sizeof *image ? length : sizeof *image);
}

// The length an image is appended with: its own length field, within the
// image.
std::uint32_t ImageLength(const CDPABDEFEXT& image) {
    std::uint32_t length = image.length;
    if (length > sizeof image) length = sizeof image;
    if (length < kShortestDefinition) length = kShortestDefinition;
    return length;
}

// The nearest definition of the id before the node, else the first after
// it, through the run's index of the walked records.
const CDRecordNode* DefinitionById(RecordProcessContext* context, const CDRecordNode* from, std::uint16_t id) {
    if (const ParagraphIndex* index = RunParagraphIndex(context)) return index->Nearest(from, id, true);
    return ParagraphIndex::NearestByWalk(from, id, true);
}

// The definition in force at the current record: that of the last reference
// before it in the same paragraph context (whole tables before it passed
// over), else the walk's current definition. *id gets the id of that
// reference, 0 when none was found.
void DefinitionInForce(RecordProcessContext* context, CDPABDEFEXT* image, std::uint16_t* id) {
    *id = 0;
    int tables = 0;
    const CDRecordNode* node = context->node != nullptr ? context->node->prev : nullptr;
    for (; node != nullptr; node = node->prev) {
        const std::uint16_t signature = node->signature;
        if (signature == kSigTableEnd || signature == kSigNestedTableEnd) {
            ++tables;
        } else if (signature == kSigTableBegin || signature == kSigNestedTableBegin) {
            if (tables == 0) break;
            --tables;
        } else if (tables == 0 && (signature == kSigTableCell || signature == kSigNestedTableCell)) {
            break;
        } else if (tables == 0 && signature == kSigPabReference && node->length >= kParagraphReferenceLength) {
            *id = ReadWord(node->bytes + kReferenceId);
            break;
        }
    }
    const CDRecordNode* definition = *id != 0 ? DefinitionById(context, node, *id) : nullptr;
    if (definition != nullptr) {
        LoadImage(image, definition->bytes, definition->length);
    } else {
        LoadImage(image, context->paragraphDefinition, context->paragraphDefinitionLength);
    }
}

// ---- The ids this run gave ------------------------------------------------

std::uint16_t RenamedId(const RecordProcessContext* context, std::uint16_t id) {
    for (std::uint16_t i = 0; i < context->renamedParagraphCount; ++i)
        if (context->renamedFrom[i] == id) return context->renamedTo[i];
    return 0;
}

bool CanRename(const RecordProcessContext* context) {
    return context->renamedParagraphCount < kPendingParagraphCapacity;
}

void Rename(RecordProcessContext* context, std::uint16_t from, std::uint16_t to) {
    if (from == 0 || !CanRename(context)) return;
    context->renamedFrom[context->renamedParagraphCount] = from;
    context->renamedTo[context->renamedParagraphCount] = to;
    ++context->renamedParagraphCount;
}

// Gives a definition the chunk holds a new id, keeping the old one among
// the session's pending definitions for the paragraphs outside the chunk.
// When no more can be kept (the message is shown) the definition keeps its
// id and is changed in place. Returns 0 or 263.
STATUS TakeNewId(const std::uint8_t* record, std::uint32_t length, CDPABDEFEXT* image,
                 RecordProcessContext* context) {
    SessionWorkArea* area = context->session->workArea;
    if (area->pendingParagraphCount >= kPendingParagraphLimit || !CanRename(context)) {
        ShowHostMessage(kMsgObsoletedDefinitions);
        return kOK;
    }
    const STATUS status = SavePendingParagraph(area, record, length);
    if (status == kOutOfMemory) return status;
    if (status != kOK) return kOK;
    const std::uint16_t id = NextParagraphId(&context->output);
    Rename(context, image->pabId, id);
    image->pabId = id;
    return kOK;
}

STATUS AppendDefinition(const CDPABDEFEXT& image, RecordProcessContext* context) {
    context->chunk->item->modified = 1;
    return AppendRecord(&image, kSigPabDefinition, ImageLength(image), &context->output);
}

STATUS AppendReference(std::uint16_t id, RecordProcessContext* context) {
    std::uint8_t reference[kParagraphReferenceLength];
    std::memcpy(reference, context->paragraphReference, sizeof reference);
    WriteWord(reference + kReferenceId, id);
    return AppendRecord(reference, kSigPabReference, sizeof reference, &context->output);
}

// ---- 2364: change paragraph ----------------------------------------------

bool MeetsCriteria(const CDPABDEFEXT& image, const RecordProcessContext* context) {
    const ParagraphStyleState& style = context->paragraph;
    // The switches come from the second paragraph-style string.
    const PABMatchCriteria criteria = CriteriaFromMask(style.mask[1]);
    return PABDefinitionsMatch(&image, &style.definition[1], style.listType[1], style.listClear[1], &criteria) != 0;
}

STATUS ApplyStyle(CDPABDEFEXT* image, const RecordProcessContext* context) {
    const ParagraphStyleState& style = context->paragraph;
    return SetParagraphDefinition(reinterpret_cast<std::uint8_t*>(image), &style.definition[0], style.flagsSet,
                                  style.flagsClear, style.flags2Set, style.flags2Clear, style.flags3Set,
                                  style.flags3Clear, style.listType[0], style.listClear[0], style.shiftLeftOffset,
                                  style.shiftRightOffset, style.shiftLeftPercent, style.shiftRightPercent,
                                  style.mask[0], 1, 0);
}

// A changed copy of a definition under a new id, appended; the definition it
// stands for is remembered under oldId. Returns 0 or the append's failure.
STATUS AppendChangedCopy(CDPABDEFEXT* image, std::uint16_t oldId, bool rename, RecordProcessContext* context) {
    const std::uint16_t id = NextParagraphId(&context->output);
    image->pabId = id;
    STATUS status = ApplyStyle(image, context);
    if (status == kOK) status = AppendDefinition(*image, context);
    if (status == kOK && rename) Rename(context, oldId, id);
    return status;
}

// A definition inside the chunk that meets the criteria is changed: in
// place on Everything, else as a copy under a new id.
STATUS ChangeDefinition(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                        RecordProcessContext* context) {
    CDPABDEFEXT image;
    LoadImage(&image, record, length);
    if (length < kShortestDefinition || !MeetsCriteria(image, context)) return kOK;
    if (!ChangesInPlace(context)) {
        // A copy of it is written already: this one stays as it is for the
        // paragraphs outside the chunk.
        if (RenamedId(context, image.pabId) != 0) return kOK;
        const STATUS status = TakeNewId(record, length, &image, context);
        if (status != kOK) return status;
    }
    STATUS status = ApplyStyle(&image, context);
    if (status != kOK) return status;
    *passOn = 0;
    return AppendDefinition(image, context);
}

// A reference inside a chunk that is not Everything: pointed at the changed
// copy of its definition, written before it when none is yet. A reference
// whose definition fails the criteria (or cannot be found) stays.
STATUS ChangeReference(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    if (length < kParagraphReferenceLength) return kOK;
    const std::uint16_t oldId = ReadWord(record + kReferenceId);
    std::uint16_t id = RenamedId(context, oldId);
    if (id == 0) {
        const CDRecordNode* definition = DefinitionById(context, context->node, oldId);
        if (definition == nullptr) return kOK;
        CDPABDEFEXT image;
        LoadImage(&image, definition->bytes, definition->length);
        // A definition that fails the criteria fails them for every reference.
        ParagraphIndex* index = RunParagraphIndex(context);
        const int known = index != nullptr ? index->Criteria(definition) : -1;
        const bool met = known >= 0 ? known != 0 : MeetsCriteria(image, context);
        if (index != nullptr && known < 0) index->RememberCriteria(definition, met);
        if (!met) return kOK;
        if (!CanRename(context)) {
            ShowHostMessage(kMsgObsoletedDefinitions);
            return kOK;
        }
        const STATUS status = AppendChangedCopy(&image, oldId, true, context);
        if (status != kOK) return status;
        id = image.pabId;
    }
    *passOn = 0;
    return AppendReference(id, context);
}

STATUS ChangeParagraphInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                             std::uint32_t* passOn, RecordProcessContext* context) {
    if (context->writesItem == 0) return kOK;
    if (signature == kSigPabDefinition) return ChangeDefinition(record, length, passOn, context);
    if (signature == kSigPabReference && !ChangesInPlace(context))
        return ChangeReference(record, length, passOn, context);
    return kOK;
}

// Whether the chunk starts at a record that a paragraph's own records or a
// cell handle: then the executor inside the chunk changes the paragraph.
bool StartsAtParagraph(std::uint16_t signature) {
    return signature == kSigPabDefinition || signature == kSigPabReference || signature == kSigParagraph ||
           signature == kSigTableCell || signature == kSigNestedTableCell;
}

// A chunk that starts inside a paragraph: the definition in force there,
// changed under a new id, and a reference to it open the chunk.
STATUS ChangeParagraphAtStart(std::uint8_t*, std::uint16_t signature, std::uint32_t, RecordProcessContext* context) {
    if (context->writesItem == 0 || StartsAtParagraph(signature)) return kOK;
    CDPABDEFEXT image;
    std::uint16_t oldId = 0;
    DefinitionInForce(context, &image, &oldId);
    const bool partial = !ChangesInPlace(context);
    const std::uint16_t renamed = partial ? RenamedId(context, oldId) : 0;
    if (renamed != 0) return AppendReference(renamed, context);
    if (!MeetsCriteria(image, context)) return kOK;
    STATUS status = AppendChangedCopy(&image, oldId, partial, context);
    if (status == kOK) status = AppendReference(image.pabId, context);
    return status;
}

// ---- 25: hide formula ----------------------------------------------------

// The compiled formula the caller left in the session's text result.
std::uint32_t FormulaLength(const RecordProcessContext* context) {
    const std::uint32_t length = context->session->textResultLength;
    return length < RARIvoSession::kTextResultCapacity ? length : RARIvoSession::kTextResultCapacity;
}

void SetHiddenFlag(CDPABDEFEXT* image, const RecordProcessContext* context) {
    if (FormulaLength(context) > 0) {
        image->flags = static_cast<std::uint16_t>(image->flags | kFlagHidden);
    } else {
        image->flags = static_cast<std::uint16_t>(image->flags & ~kFlagHidden);
    }
}

// The hide formula record of the definition id: the definition that carries
// the run's formula. Returns 0, 263, or the append's failure.
STATUS AppendHideFormula(std::uint16_t id, RecordProcessContext* context) {
    const std::uint32_t formulaLength = FormulaLength(context);
    const std::uint32_t length = kFormulaStart + formulaLength;
    std::uint8_t* record = NewRecord(context, length);
    if (record == nullptr) return kOutOfMemory;
    WriteWord(record, kSigPabHide);
    WriteWord(record + kPabIdAt, id);
    std::memcpy(record + kFormulaStart, context->session->textResult, formulaLength);
    SetHostRecordLength(record, kSigPabHide, EvenLength(length));
    const STATUS status = AppendRecord(record, kSigPabHide, EvenLength(length), &context->output);
    ReleaseRecord(context, record);
    if (status == kOK) context->hideCarrierId = id;
    return status;
}

// A definition flagged for the formula and appended; the first one carries
// the formula.
STATUS AppendHiddenDefinition(CDPABDEFEXT* image, RecordProcessContext* context) {
    SetHiddenFlag(image, context);
    STATUS status = AppendDefinition(*image, context);
    if (status == kOK && FormulaLength(context) > 0 && context->hideCarrierId == 0)
        status = AppendHideFormula(image->pabId, context);
    return status;
}

// A reference to the id, followed (when a formula is set) by a formula
// reference to the carrier when the id is not the carrier's own.
STATUS AppendHiddenReference(std::uint16_t id, RecordProcessContext* context) {
    STATUS status = AppendReference(id, context);
    if (status != kOK || FormulaLength(context) == 0 || context->hideCarrierId == 0 || id == context->hideCarrierId)
        return status;
    std::uint8_t formulaRef[kPabFormReferenceLength] = {};
    WriteRecordHeader(formulaRef, kSigPabFormRef, kPabFormReferenceLength);
    WriteWord(formulaRef + 2, context->hideCarrierId);
    WriteWord(formulaRef + 4, id);
    return AppendRecord(formulaRef, kSigPabFormRef, sizeof formulaRef, &context->output);
}

STATUS HideDefinition(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    if (length < kShortestDefinition) return kOK;
    CDPABDEFEXT image;
    LoadImage(&image, record, length);
    if (!ChangesInPlace(context)) {
        if (RenamedId(context, image.pabId) != 0) return kOK;
        const STATUS status = TakeNewId(record, length, &image, context);
        if (status != kOK) return status;
    }
    *passOn = 0;
    return AppendHiddenDefinition(&image, context);
}

STATUS HideReference(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    if (length < kParagraphReferenceLength) return kOK;
    const std::uint16_t oldId = ReadWord(record + kReferenceId);
    std::uint16_t id = oldId;
    if (!ChangesInPlace(context)) {
        id = RenamedId(context, oldId);
        if (id == 0) {
            const CDRecordNode* definition = DefinitionById(context, context->node, oldId);
            if (definition == nullptr) return kOK;
            if (!CanRename(context)) {
                ShowHostMessage(kMsgObsoletedDefinitions);
                return kOK;
            }
            CDPABDEFEXT image;
            LoadImage(&image, definition->bytes, definition->length);
            image.pabId = NextParagraphId(&context->output);
            const STATUS status = AppendHiddenDefinition(&image, context);
            if (status != kOK) return status;
            Rename(context, oldId, image.pabId);
            id = image.pabId;
        }
    }
    *passOn = 0;
    return AppendHiddenReference(id, context);
}

STATUS HideFormulaInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                         RecordProcessContext* context) {
    if (context->writesItem == 0) return kOK;
    switch (signature) {
    case kSigPabDefinition:
        return HideDefinition(record, length, passOn, context);
    case kSigPabReference:
        return HideReference(record, length, passOn, context);
    case kSigPabHide:
    case kSigPabFormRef:
        // The formulas the chunk's paragraphs had go.
        *passOn = 0;
        return kOK;
    default:
        return kOK;
    }
}

// A chunk that starts inside a paragraph: the definition in force there,
// flagged under a new id, with the formula, a reference to it and an empty
// text run open the chunk.
STATUS HideFormulaAtStart(std::uint8_t*, std::uint16_t signature, std::uint32_t, RecordProcessContext* context) {
    if (context->writesItem == 0 || StartsAtParagraph(signature)) return kOK;
    CDPABDEFEXT image;
    std::uint16_t oldId = 0;
    DefinitionInForce(context, &image, &oldId);
    const bool partial = !ChangesInPlace(context);
    std::uint16_t id = partial ? RenamedId(context, oldId) : 0;
    STATUS status = kOK;
    if (id == 0) {
        image.pabId = NextParagraphId(&context->output);
        status = AppendHiddenDefinition(&image, context);
        if (status != kOK) return status;
        id = image.pabId;
        if (partial) Rename(context, oldId, id);
    }
    status = AppendHiddenReference(id, context);
    if (status != kOK) return status;
    const FontId font = ItemDefaultFont(context->chunk->item);
    return AppendTextRecord(nullptr, 0, &font, &context->output);
}

// Change paragraph; hide formula.
const OperationRow kRows[] = {
    {kOpSetHideFormula, HideFormulaAtStart, HideFormulaInside, nullptr, &kHideFormulaSteps, kRebuildsItem},
    {kOpChangeParagraph, ChangeParagraphAtStart, ChangeParagraphInside, nullptr, &kChangeParagraphSteps, kRebuildsItem},
};

} // namespace

const OperationFamily kParagraphOperations = MakeFamily(kRows);

} // namespace talix
