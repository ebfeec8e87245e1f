// Copying rich text from elsewhere: finding and reading the source of the
// run's operation, walking its records, and the per-record decisions that
// are not about links, attachments or empty rows: the range, paragraph-id
// renumbering, images made inline, paragraph margins inside a table of the
// target, font faces and event code.
#include "engine/copy_source.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/field_builder.h"
#include "core/brackets.h"
#include "core/chunk_work_state.h"
#include "core/clamp.h"
#include "core/database_open.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/session_work_area.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/copy_work.h"
#include "engine/paragraph_index.h"
#include "engine/record_process.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint16_t kItemBeingCreated = 2;
constexpr std::uint16_t kTypeSection = 4;
constexpr std::uint16_t kNoDefinitionBase = 50;
constexpr std::uint32_t kIdMapSize = 65536;

// Host offsets.
constexpr std::uint32_t kReferenceId = 2;
constexpr std::uint32_t kHideFormulaId = 4;                  // 0xFFBB
constexpr std::uint32_t kFormulaRefFirst = 2, kFormulaRefSecond = 4;   // 0xBC
constexpr std::uint32_t kStyleNameId = 8;                    // 0xA6
constexpr std::uint32_t kImageWidth = 10, kImageHeight = 12; // 0x7D
constexpr std::uint32_t kGraphicVersion = 26, kGraphicFlags = 27;   // 0x99
constexpr std::uint32_t kTextFace = 4;
constexpr std::uint32_t kCellFlags = 11, kCellRowSpan = 14;

constexpr std::uint16_t kListIndentFlags = 0x0400 | 0x1000;
constexpr std::uint16_t kListIndent = 480;
constexpr std::uint8_t kGraphicFloat = 0x02;
constexpr std::uint8_t kCellCovered = 0x08;
// The highest target face a copied run may be given.
constexpr std::uint8_t kHighestMappedFace = 199;

// The operations that copy rows of the chunk's own table.
bool FromOwnRows(std::uint16_t operation) {
    return operation == kOpAppendRow || operation == kOpReorderRows || operation == kOpReorderRowsAsKeyed;
}

// The operations that move the rows of the chunk's own table: nothing is
// added to the note, so a row's records are written as they stand.
bool MovesOwnRows(std::uint16_t operation) {
    return operation == kOpReorderRows || operation == kOpReorderRowsAsKeyed;
}

// Whether two note handles name the same note: the same handle, or notes
// with the same universal id in databases of the same replica id.
bool SameNote(plat::NOTEHANDLE a, plat::NOTEHANDLE b) {
    if (a == b) return true;
    if (a == 0 || b == 0) return false;
    plat::ORIGINATORID idA, idB;
    plat::DBHANDLE dbA = 0, dbB = 0;
    if (plat::NoteGetInfo(a, plat::NOTE_FIELD_OID, &idA) != plat::NOERROR ||
        plat::NoteGetInfo(b, plat::NOTE_FIELD_OID, &idB) != plat::NOERROR ||
        plat::NoteGetInfo(a, plat::NOTE_FIELD_DB, &dbA) != plat::NOERROR ||
        plat::NoteGetInfo(b, plat::NOTE_FIELD_DB, &dbB) != plat::NOERROR)
        return false;
    if (std::memcmp(&idA.File, &idB.File, sizeof idA.File) != 0 || std::memcmp(&idA.Note, &idB.Note, sizeof idA.Note) != 0)
        return false;
    plat::DBID replicaA, replicaB;
    if (plat::DbReplicaId(dbA, &replicaA) != plat::NOERROR || plat::DbReplicaId(dbB, &replicaB) != plat::NOERROR)
        return false;
    return std::memcmp(&replicaA, &replicaB, sizeof replicaA) == 0;
}

// A record's bytes that the copy may change: the source's own until the
// first change, then a heap copy (one byte longer for an odd length).
class EditableRecord {
public:
    EditableRecord(const std::uint8_t* record, std::uint32_t length) : record_(record), length_(length) {}
    ~EditableRecord() { std::free(copy_); }
    EditableRecord(const EditableRecord&) = delete;
    EditableRecord& operator=(const EditableRecord&) = delete;
    const std::uint8_t* bytes() const { return copy_ != nullptr ? copy_ : record_; }
    // The bytes to change; null when memory is short.
    std::uint8_t* edit() {
        if (copy_ == nullptr) {
            copy_ = static_cast<std::uint8_t*>(std::calloc(length_ + 1, 1));
            if (copy_ != nullptr) std::memcpy(copy_, record_, length_);
        }
        return copy_;
    }

private:
    const std::uint8_t* record_;
    std::uint32_t length_;
    std::uint8_t* copy_ = nullptr;
};

// ---- The source ------------------------------------------------------------

// Finds the source note, item and range of the run's operation.
STATUS OpenSource(CopyWork* work) {
    RecordProcessContext* context = work->context;
    SessionWorkArea* area = context->session->workArea;
    ZervaRTItem* item = work->chunk->item;
    const char* named = context->copyInputs.sourceName != nullptr ? context->copyInputs.sourceName
                                                                   : context->argumentText;
    work->first = context->copyInputs.first;
    work->last = context->copyInputs.last;
    // An image resource made inline, whatever operation builds its graphic.
    work->imageResource = work->operation == kOpAppendGraphicReference || context->copyInputs.makeInlineOptions != nullptr;
    switch (work->imageResource ? std::uint16_t{kOpAppendGraphicReference} : work->operation) {
    case kOpAppendRow:
    case kOpReorderRows:
    case kOpReorderRowsAsKeyed:
        // A row of the chunk's own item: the range is required.
        if (work->first == 0) return kArgumentError;
        work->sourceNote = context->note;
        work->sourceItem = context->itemName;
        work->appendRow = work->operation == kOpAppendRow;
        work->emptyRow = work->appendRow && context->a4 == 0;
        return kOK;
    case kOpAppendRichTextChunk: {
        ZervaRTChunk* source = context->sourceChunk;
        if (source == nullptr || source->item == nullptr) return kArgumentError;
        work->sourceNote = source->item->noteHandle;
        work->sourceItem = source->item->itemName;
        work->first = area->foundFirstRecord;
        work->last = area->foundLastRecord;
        work->adjustTables = true;
        // The source chunk must have been located: an empty range would
        // copy the whole item.
        return work->first != 0 ? kOK : kArgumentError;
    }
    case kOpAppendRichTextItem:
        work->sourceNote = area->copy.sourceNote;
        work->sourceItem = area->copy.sourceItemName != nullptr ? area->copy.sourceItemName : context->argumentText;
        work->adjustTables = true;
        return work->sourceNote != 0 && work->sourceItem != nullptr ? kOK : kArgumentError;
    case kOpLinkMatching:
        work->sourceNote = context->copyInputs.sourceNote;
        work->sourceItem = named;
        work->adjustTables = true;
        return work->sourceNote != 0 && work->sourceItem != nullptr ? kOK : kArgumentError;
    case kOpAppendSubformBody:
    case kOpAppendGraphicReference:
    case kOpAppendFormBody:
    case kOpAppendPageBody: {
        if (named == nullptr || named[0] == '\0') return kArgumentError;
        // The design element of that name in the item's own database.
        plat::DBHANDLE db = 0;
        if (plat::NoteGetInfo(context->note, plat::NOTE_FIELD_DB, &db) != plat::NOERROR || db == 0)
            return kArgumentError;
        const STATUS status = CopyDesignElementUnique(context->session, db, 0, named, nullptr, &work->openedNote,
                                                      item->autoDecrypt, item->decryptionKey, plat::NOTE_CLASS_FORM);
        if (status != kOK) return status;
        work->sourceNote = work->openedNote;
        work->sourceItem = work->imageResource ? "$ImageData" : "$Body";
        work->designSource = true;
        work->adjustTables = true;
        return kOK;
    }
    default:
        return kArgumentError;
    }
}

// The source's records: the list the run walks when the source is the
// item itself, else the source item read for the copy.
STATUS ReadSource(CopyWork* work) {
    RecordProcessContext* context = work->context;
    const bool sameItem = work->sameNote && context->itemName != nullptr &&
                          CompareNamesNoCase(context->itemName, work->sourceItem) == 0;
    if (sameItem) {
        work->list = context->records;
        return kOK;
    }
    STATUS status = kOK;
    work->list = SIAR(work->chunk->item, 0, nullptr, 0, 0, work->sourceNote, work->sourceItem, &status);
    if (work->list == nullptr) return status != kOK ? status : kOutOfMemory;
    work->listRead = true;
    return status;
}

// The paragraph definition a reference without one takes: id 1, left and
// first-line margins 1,440, right margin 0, one tab at 720, no flags; for
// AppendRTChunk keeping paragraphs, the walk's current definition.
void FillDefaultDefinition(CopyWork* work) {
    RecordProcessContext* context = work->context;
    if (work->operation == kOpAppendRichTextChunk && context->a3 != 0 &&
        context->paragraphDefinitionLength >= kPabIdAt + 2) {
        std::memcpy(work->defaultDefinition, context->paragraphDefinition, kParagraphImageSize);
        work->defaultLength = context->paragraphDefinitionLength;
        return;
    }
    CDPABDEFEXT definition = DefaultParagraphDefinition(1);
    definition.tabs = 1;
    std::memcpy(work->defaultDefinition, &definition, kParagraphImageSize);
    work->defaultLength = definition.length;
}

void ReleaseSlots(CopyWork* work) {
    if (!work->slotsInstalled) return;
    ChunkWorkState* state = work->chunk->work;
    for (SavedRecord& slot : state->savedFields.slots) std::free(slot.bytes);
    state->savedFields = work->chunkSlots;
    state->eventTexts = work->chunkTexts;
    work->slotsInstalled = false;
}

void CloseSource(CopyWork* work) {
    ReleaseSlots(work);
    delete work->sourceDefinitions;
    work->sourceDefinitions = nullptr;
    delete work->targetDefinitions;
    work->targetDefinitions = nullptr;
    if (work->listRead && work->list != nullptr) {
        DeleteItemRecordList(work->context->session, work->list);
    }
    work->list = nullptr;
    if (work->openedNote != 0) plat::NoteClose(work->openedNote);
    work->openedNote = 0;
    std::free(work->map);
    work->map = nullptr;
    work->context->session->workArea->fontMap.count = 0;
}

// ---- Paragraph ids -----------------------------------------------------------

std::uint16_t Shifted(const CopyWork* work, std::uint16_t id) {
    const std::uint32_t shifted = static_cast<std::uint32_t>(work->base) + id;
    return shifted <= 0xFFFF ? static_cast<std::uint16_t>(shifted) : id;
}

// The id of a definition of the target equal to the one given, else 0:
// through the target's definitions by content, made on first use.
std::uint16_t EqualTargetDefinition(CopyWork* work, const std::uint8_t* definition, std::uint32_t length) {
    const ItemRecordList* target = work->chunk->item->work->current;
    if (target == nullptr || length < kPabIdAt + 2) return 0;
    if (work->targetDefinitions == nullptr) {
        work->targetDefinitions = new (std::nothrow) ParagraphsByContent(target);
        if (work->targetDefinitions == nullptr) {
            for (const CDRecordNode* node = target->head; node != nullptr; node = node->next) {
                if (node->signature != kSigPabDefinition || node->bytes == nullptr || node->length < kPabIdAt + 2)
                    continue;
                if (ParagraphPairEqual(node->bytes, definition, 1) != 0) return ReadWord(node->bytes + kPabIdAt);
            }
            return 0;
        }
    }
    return work->targetDefinitions->EqualId(definition);
}

// The new id of a source definition, recorded in the map.
std::uint16_t MapDefinition(CopyWork* work, const std::uint8_t* definition, std::uint32_t length) {
    const std::uint16_t old = ReadWord(definition + kPabIdAt);
    const std::uint16_t equal = EqualTargetDefinition(work, definition, length);
    const std::uint16_t id = equal != 0 ? equal : Shifted(work, old);
    work->map[old] = id;
    return id;
}

// Appends a definition with a new id.
STATUS AppendDefinitionAs(CopyWork* work, const std::uint8_t* definition, std::uint32_t length, std::uint16_t id) {
    std::uint8_t copy[kParagraphImageSize] = {};
    const std::uint32_t kept = length < kParagraphImageSize ? length : kParagraphImageSize;
    std::memcpy(copy, definition, kept);
    WriteWord(copy + kPabIdAt, id);
    return AppendRecord(copy, kSigPabDefinition, kept, &work->context->output);
}

// The new id of a paragraph id a record names. An id not mapped yet is
// looked up backwards in the source; its definition (or, when the source
// has none, the default one) is appended first unless the target holds an
// equal one.
STATUS MapReferencedId(CopyWork* work, std::uint16_t old, std::uint16_t* id) {
    if (work->map[old] != 0) {
        *id = work->map[old];
        return kOK;
    }
    if (work->sourceDefinitions == nullptr) work->sourceDefinitions = new (std::nothrow) ParagraphIndex(work->list);
    const CDRecordNode* found = work->sourceDefinitions != nullptr
                                    ? work->sourceDefinitions->Nearest(work->node, old, false)
                                    : ParagraphIndex::NearestByWalk(work->node, old, false);
    STATUS status = kOK;
    if (found != nullptr) {
        const std::uint16_t equal = EqualTargetDefinition(work, found->bytes, found->length);
        *id = equal != 0 ? equal : Shifted(work, old);
        if (equal == 0) status = AppendDefinitionAs(work, found->bytes, found->length, *id);
    } else {
        *id = Shifted(work, old);
        status = AppendDefinitionAs(work, work->defaultDefinition, work->defaultLength, *id);
    }
    if (status == kOK) work->map[old] = *id;
    return status;
}

STATUS MapIdAt(CopyWork* work, EditableRecord* record, std::uint32_t length, std::uint32_t offset) {
    if (offset + 2 > length) return kOK;
    std::uint16_t id = 0;
    const STATUS status = MapReferencedId(work, ReadWord(record->bytes() + offset), &id);
    if (status != kOK || id == ReadWord(record->bytes() + offset)) return status;
    std::uint8_t* bytes = record->edit();
    if (bytes == nullptr) return kOutOfMemory;
    WriteWord(bytes + offset, id);
    return kOK;
}

STATUS RenumberParagraphIds(CopyWork* work, std::uint16_t signature, EditableRecord* record, std::uint32_t length) {
    switch (signature) {
    case kSigPabDefinition: {
        if (length < kPabIdAt + 2) return kOK;
        const std::uint16_t id = MapDefinition(work, record->bytes(), length);
        std::uint8_t* bytes = record->edit();
        if (bytes == nullptr) return kOutOfMemory;
        WriteWord(bytes + kPabIdAt, id);
        return kOK;
    }
    case kSigPabReference:
        return MapIdAt(work, record, length, kReferenceId);
    case kSigPabHide:
        return MapIdAt(work, record, length, kHideFormulaId);
    case kSigPabFormRef: {
        const STATUS status = MapIdAt(work, record, length, kFormulaRefFirst);
        return status != kOK ? status : MapIdAt(work, record, length, kFormulaRefSecond);
    }
    case kSigStyleName:
        return MapIdAt(work, record, length, kStyleNameId);
    default:
        return kOK;
    }
}

// ---- Images made inline --------------------------------------------------------

STATUS MakeInline(CopyWork* work, std::uint16_t signature, EditableRecord* record, std::uint32_t length) {
    const char* options = work->context->copyInputs.makeInlineOptions;
    if (options == nullptr) return kOK;
    char value[64];
    if (signature == kSigImageHeader && length >= kImageHeight + 2) {
        const struct {
            const char* key;
            std::uint32_t offset;
        } sizes[] = {{"ImageWidth=", kImageWidth}, {"ImageHeight=", kImageHeight}};
        for (const auto& size : sizes) {
            if (GetOptionValue(options, size.key, value, sizeof value) == 0) continue;
            const long given = std::strtol(value, nullptr, 10);
            if (given <= 0 || given > 0xFFFF) continue;
            std::uint8_t* bytes = record->edit();
            if (bytes == nullptr) return kOutOfMemory;
            WriteWord(bytes + size.offset, static_cast<std::uint16_t>(given));
        }
    } else if (signature == kSigGraphic && length > kGraphicFlags) {
        if (GetOptionValue(options, "WrapText=", value, sizeof value) == 0 || CompareNamesNoCase(value, "WRAP", 4) != 0)
            return kOK;
        std::uint8_t* bytes = record->edit();
        if (bytes == nullptr) return kOutOfMemory;
        bytes[kGraphicVersion] = 1;
        bytes[kGraphicFlags] = static_cast<std::uint8_t>(bytes[kGraphicFlags] | kGraphicFloat);
    }
    return kOK;
}

// ---- Inside a table of the target --------------------------------------------

// A copy into a cell of a table of the target: a reference after the cell's
// first one (rows after the first) takes that one's id; a definition takes
// its margins from the cell (the cell's first definition in the first row)
// or from the definition kept for the column.
STATUS FitToTargetCell(CopyWork* work, std::uint16_t signature, EditableRecord* record, std::uint32_t length,
                       std::int32_t targetLevel) {
    RecordOutput* output = &work->context->output;
    const std::int32_t level = output->tableLevel;
    if (targetLevel <= 0 || level != targetLevel || output->inTable[level] == 0) return kOK;
    if (signature == kSigPabReference) {
        if (output->cellJustBegun[level] != 0 && output->rowCounter[level] != 0 &&
            output->cellReferenceId[level] != 0)
            output->requestedParagraphId = output->cellReferenceId[level];
        return kOK;
    }
    if (signature != kSigPabDefinition || length < kPabFlagsAt + 2) return kOK;
    std::uint8_t* bytes = record->edit();
    if (bytes == nullptr) return kOutOfMemory;
    const bool fromCell = output->cellJustBegun[level] != 0 && output->rowCounter[level] == 0;
    const std::uint16_t column = output->currentColumn[level];
    const std::uint8_t* slot = column < kColumnSlots ? output->columnSlots[level][column] : nullptr;
    if (!fromCell && slot == nullptr) return kOK;
    if (output->cellFixed[level] == 0) {
        const std::int32_t offset = output->columnSpacing[level];
        WriteWord(bytes + kPabRightMarginAt, fromCell ? ClampToWord(output->cellRightMargin[level] - offset)
                                                 : ReadWord(slot + kPabRightMarginAt));
        if (output->cellSpansColumns[level] == 0) {
            const std::uint16_t left =
                fromCell ? ClampToWord(offset + output->cellLeftMargin[level]) : ReadWord(slot + kPabLeftMarginAt);
            const std::uint16_t first = fromCell ? left : ReadWord(slot + kPabFirstLineMarginAt);
            WriteWord(bytes + kPabLeftMarginAt, left);
            WriteWord(bytes + kPabFirstLineMarginAt, first);
        }
    }
    if ((ReadWord(bytes + kPabFlagsAt) & kListIndentFlags) != 0) {
        WriteWord(bytes + kPabLeftMarginAt, ClampToWord(ReadWord(bytes + kPabLeftMarginAt) + kListIndent));
        WriteWord(bytes + kPabFirstLineMarginAt, ClampToWord(ReadWord(bytes + kPabFirstLineMarginAt) + kListIndent));
    }
    return kOK;
}

// Row copies with their contents and reorders: a reference that opens a
// cell of the first row written into the target's table is preceded by the
// paragraph definition the table remembers for the cell's column (when it
// remembers one), and names it.
STATUS PlaceColumnDefinition(CopyWork* work, std::uint16_t signature) {
    const bool rows = (work->appendRow && !work->emptyRow) || work->operation == kOpReorderRows ||
                      work->operation == kOpReorderRowsAsKeyed;
    if (signature != kSigPabReference || !rows) return kOK;
    RecordOutput* output = &work->context->output;
    const std::int32_t level = output->tableLevel;
    if (output->inTable[level] == 0 || output->cellJustBegun[level] == 0 || output->rowCounter[level] != 0)
        return kOK;
    const std::uint16_t column = output->currentColumn[level];
    if (column >= kColumnSlots) return kOK;
    std::uint8_t definition[kParagraphImageSize];
    std::memcpy(definition, output->columnSlots[level][column], sizeof definition);
    const std::uint16_t id = ReadWord(definition + kPabIdAt);
    if (id == 0) return kOK;
    const std::uint32_t length =
        std::clamp<std::uint32_t>(ReadWord(definition + 2), kPabIdAt + 2, kParagraphImageSize);
    output->requestedParagraphId = id;
    const STATUS status = AppendRecord(definition, kSigPabDefinition, length, output);
    // The reference that follows names it.
    output->requestedParagraphId = status == kOK ? id : 0;
    return status;
}

// ---- Fonts -------------------------------------------------------------------------

STATUS MapFontFace(CopyWork* work, EditableRecord* record, std::uint32_t length) {
    if (length <= kTextFace) return kOK;
    const std::uint8_t face = record->bytes()[kTextFace];
    if (face <= 4) return kOK;
    const FontMap& map = work->context->session->workArea->fontMap;
    for (std::uint16_t i = 0; i < map.count && i < sizeof map.oldIds; ++i) {
        if (map.oldIds[i] != face) continue;
        if (map.newIds[i] > kHighestMappedFace || map.newIds[i] == face) return kOK;
        std::uint8_t* bytes = record->edit();
        if (bytes == nullptr) return kOutOfMemory;
        bytes[kTextFace] = map.newIds[i];
        return kOK;
    }
    return kOK;
}

// ---- Event code ------------------------------------------------------------------

bool IsFieldCompanion(std::uint16_t signature) {
    return signature == kSigExtField || signature == kSigExt2Field || signature == kSigEmbeddedCtl;
}

// Whether a field record follows, with only field records and their
// wrappers between.
bool FieldAhead(const CDRecordNode* node) {
    for (; node != nullptr; node = node->next) {
        if (node->signature == kSigField) return true;
        const std::uint16_t inner = node->signature == kSigBegin ? BracketedSignature(node) : 0;
        const bool wrapper = IsFieldCompanion(inner) || inner == kSigField;
        if (!wrapper && SavedFieldSlotOf(node->signature) < 0) return false;
    }
    return false;
}

// Gives the chunk's field slots buffers of the copy's own for the time of
// the copy, and no event texts (copied fields keep their own code).
STATUS InstallSlots(CopyWork* work) {
    if (work->slotsInstalled) return kOK;
    ChunkWorkState* state = work->chunk->work;
    SavedFieldRecords slots;
    for (SavedRecord& slot : slots.slots) {
        slot.bytes = static_cast<std::uint8_t*>(std::malloc(kSavedRecordCapacity));
        if (slot.bytes == nullptr) {
            for (SavedRecord& made : slots.slots) std::free(made.bytes);
            return kOutOfMemory;
        }
    }
    work->chunkSlots = state->savedFields;
    work->chunkTexts = state->eventTexts;
    state->savedFields = slots;
    state->eventTexts = EventTexts();
    work->slotsInstalled = true;
    return kOK;
}

void SaveSlot(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    SavedRecord& slot = work->chunk->work->savedFields.slots[SavedFieldSlotOf(signature)];
    const std::uint32_t kept = length < kSavedRecordCapacity ? length : kSavedRecordCapacity;
    std::memcpy(slot.bytes, record, kept);
    slot.signature = signature;
    slot.length = kept;
}

// A field's records are not copied: its companions are kept until the field
// record comes, which is written afresh with them (and its id/name record)
// under a name free in the target note. A field in a row that is only moved
// stays the field it was: its name, the note's items and "$Fields" are left
// alone (a fresh name would part the field from its value).
STATUS CopyFieldRecord(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       bool* handled) {
    *handled = false;
    if (MovesOwnRows(work->operation)) return kOK;
    if (signature == kSigIdName) {
        *handled = work->node != nullptr && work->node == work->takenIdName;
        return kOK;
    }
    const bool companion = IsFieldCompanion(signature);
    if (!companion && signature != kSigField) return kOK;
    if (companion && !FieldAhead(work->node)) return kOK;
    const STATUS installed = InstallSlots(work);
    if (installed != kOK) return installed;
    *handled = true;
    SaveSlot(work, record, signature, length);
    if (companion) return kOK;

    // The field's id/name record, before the next text run or paragraph.
    for (const CDRecordNode* node = work->node != nullptr ? work->node->next : nullptr; node != nullptr;
         node = node->next) {
        if (node->signature == kSigText || node->signature == kSigParagraph) break;
        if (node->signature == kSigIdName && node->bytes != nullptr) {
            SaveSlot(work, node->bytes, node->signature, node->length);
            work->takenIdName = node;
            break;
        }
    }
    work->chunk->item->modified = 1;
    return AppendEventCode(nullptr, nullptr, 0, "Copy", work->context);
}

} // namespace

STATUS AppendCopied(CopyWork* work, const std::uint8_t* bytes, std::uint16_t signature, std::uint32_t length) {
    RecordOutput* output = &work->context->output;
    if (work->node != nullptr && bytes == work->node->bytes && length == work->node->length)
        return AppendRecordNode(work->node, output);
    return AppendRecord(bytes, signature, length, output);
}

STATUS CopySourceRecords(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         RecordProcessContext* context) {
    if (context == nullptr || context->copyWork == nullptr || record == nullptr) return kArgumentError;
    CopyWork* work = context->copyWork;
    work->counter = work->counter + 1;
    if (work->first != 0 || work->last != 0) {
        if (work->counter < work->first) return kOK;
        if (work->last != 0 && work->counter > work->last) return kItemNotFound;
    }
    // A run that does not rebuild the item writes nothing.
    if (context->writesItem == 0) return kOK;

    if (work->appendRow) {
        if (signature == kSigPabDefinition) return kOK;
        // A cell that belongs to a cell above it, or reaches into the rows
        // below, cannot start a row of its own.
        if (work->nestedDepth == 0 && IsCellRecord(signature) && length > kCellRowSpan &&
            ((record[kCellFlags] & kCellCovered) != 0 || record[kCellRowSpan] > 1)) {
            context->output.errorWord = kErrFormula;
            return kOperationFailed;
        }
        if (work->emptyRow) return CopyEmptyRowRecord(work, record, signature, length);
        if (IsTableBeginRecord(signature)) work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth + 1);
        if (IsTableEndRecord(signature) && work->nestedDepth > 0)
            work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth - 1);
    } else if (FromOwnRows(work->operation)) {
        if (IsTableBeginRecord(signature)) work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth + 1);
        if (IsTableEndRecord(signature) && work->nestedDepth > 0)
            work->nestedDepth = static_cast<std::uint16_t>(work->nestedDepth - 1);
    }
    // The row cycle and transition of the table the rows belong to stay
    // where they stand, before the table's end: a row does not carry them.
    if (FromOwnRows(work->operation) && work->nestedDepth == 0 && IsTableTrailerRecord(signature)) return kOK;

    EditableRecord edited(record, length);
    STATUS status = kOK;
    if (work->base != 0) status = RenumberParagraphIds(work, signature, &edited, length);
    if (status == kOK && work->imageResource) status = MakeInline(work, signature, &edited, length);
    if (status == kOK && work->adjustTables && work->nestedDepth == 0) {
        status = FitToTargetCell(work, signature, &edited, length, work->targetTableLevel);
    }
    if (status == kOK && signature == kSigText) status = MapFontFace(work, &edited, length);
    if (status == kOK) status = PlaceColumnDefinition(work, signature);
    if (status != kOK) return status;

    bool handled = false;
    status = AppendInlineLink(edited.bytes(), signature, length, work->sourceNote, work->designSource,
                              &context->output, &handled);
    if (handled || status != kOK) return status;
    if (!work->sameNote) {
        status = CarryAttachment(work, edited.bytes(), signature, length, &handled);
        if (handled || status != kOK) return status;
    }
    status = CopyFieldRecord(work, edited.bytes(), signature, length, &handled);
    if (handled || status != kOK) return status;
    return AppendCopied(work, edited.bytes(), signature, length);
}

STATUS AppendSourceRichText(ZervaRTChunk* chunk, RecordProcessContext* context, std::uint16_t paragraphIdBase) {
    if (chunk == nullptr || context == nullptr || context->session == nullptr || context->session->workArea == nullptr ||
        chunk->item == nullptr || chunk->item->work == nullptr || chunk->work == nullptr)
        return kArgumentError;
    // Copies do not nest.
    if (context->copyWork != nullptr) return kArgumentError;
    auto* work = new (std::nothrow) CopyWork();
    if (work == nullptr) return kOutOfMemory;
    work->context = context;
    work->chunk = chunk;
    work->operation = context->operation;
    work->base = paragraphIdBase == 0 ? 0 : (paragraphIdBase < 0xFFFF ? paragraphIdBase + 1 : paragraphIdBase);

    STATUS status = OpenSource(work);
    if (status == kOK) work->sameNote = SameNote(work->sourceNote, context->note);
    if (status == kOK && !FromOwnRows(work->operation)) status = chunk->item->MergeFontTables(work->sourceNote);
    if (status == kOK) status = ReadSource(work);
    if (status == kOK && work->base != 0) {
        work->map = static_cast<std::uint16_t*>(std::calloc(kIdMapSize, sizeof(std::uint16_t)));
        if (work->map == nullptr) status = kOutOfMemory;
    }
    if (status == kOK) {
        FillDefaultDefinition(work);
        if (work->emptyRow) work->takeParagraph = work->takeReference = work->takeText = 1;
        // The table of the target the copy lands in (0: none): the copy's
        // paragraphs fit its cell.
        work->targetTableLevel = context->output.tableLevel;

        CDRecordNode* walkNode = context->node;
        const std::uint32_t walkCounter = context->recordCounter;
        context->copyWork = work;
        CDRecordNode* start = work->list != nullptr ? work->list->head : nullptr;
        // A range of the run's own records whose first node is known starts
        // there (the records before it are skipped either way).
        const CDRecordNode* known = context->copyInputs.firstNode;
        if (known != nullptr && work->list == context->records && context->writesItem != 0 && work->first > 1 &&
            known->index == work->first) {
            start = const_cast<CDRecordNode*>(known);
            work->counter = work->first - 1;
        }
        for (CDRecordNode* node = start; node != nullptr && node->length != 0; node = node->next) {
            work->node = node;
            const std::uint16_t signature = node->signature;
            if (context->writesItem == 0 && IsTableBeginRecord(signature) && context->output.tableLevel < 9)
                context->output.tableLevel += 1;
            status = CopySourceRecords(node->bytes, signature, node->length, context);
            if (status == kItemNotFound || status == plat::ERR_ENUM_DONE) {
                const bool rangeEnd = status == kItemNotFound;
                status = kOK;
                if (rangeEnd) break;
            }
            if (status != kOK) break;
            if (context->writesItem == 0 && IsTableEndRecord(signature) && context->output.tableLevel > 0)
                context->output.tableLevel -= 1;
        }
        work->node = nullptr;
        if (status == kOK && work->emptyRow) status = FinishEmptyCell(work, nullptr, 0);
        context->copyWork = nullptr;
        context->node = walkNode;
        context->recordCounter = walkCounter;

        // Copied into a section: the section's paragraph goes on after it.
        if (status == kOK && context->writesItem != 0 && chunk->targetType == kTypeSection) {
            if (context->emitDefinitionAgain != 0)
                status = AppendRecord(context->paragraphDefinition, kSigPabDefinition,
                                      context->paragraphDefinitionLength, &context->output);
            if (status == kOK)
                status = AppendRecord(context->paragraphReference, kSigPabReference,
                                      sizeof context->paragraphReference, &context->output);
        }
        if (status == kOK && context->writesItem != 0) chunk->item->modified = 1;
    }
    CloseSource(work);
    delete work;
    return status;
}

STATUS FindCopyParagraphIdBase(ZervaRTChunk* chunk) {
    if (chunk == nullptr || chunk->item == nullptr || chunk->item->work == nullptr || chunk->session == nullptr ||
        chunk->session->workArea == nullptr)
        return kArgumentError;
    ZervaRTItem* item = chunk->item;
    ItemWorkState* state = item->work;
    if (state->current == nullptr && state->mode != kItemBeingCreated && item->noteHandle != 0) {
        STATUS status = kOK;
        ItemRecordList* list = SIAR(item, 0, nullptr, 1, 0, 0, nullptr, &status);
        if (list != nullptr && status != kOK) {
            DeleteItemRecordList(chunk->session, list);
            return status;
        }
        state->current = list;
    }
    std::uint16_t highest = 0;
    for (const CDRecordNode* node = state->current != nullptr ? state->current->head : nullptr; node != nullptr;
         node = node->next) {
        if (node->signature != kSigPabDefinition || node->bytes == nullptr || node->length < kPabIdAt + 2)
            continue;
        const std::uint16_t id = ReadWord(node->bytes + kPabIdAt);
        if (id > highest) highest = id;
    }
    chunk->session->workArea->copy.paragraphIdBase = highest != 0 ? highest : kNoDefinitionBase;
    return kOK;
}

STATUS AppendImageResourceInline(BuildContext* build, const char* resourceName, const char* options) {
    // The builders run only inside an engine run: their context is the run's.
    auto* context = static_cast<RecordProcessContext*>(build);
    if (context == nullptr) return kArgumentError;
    const CopyInputs saved = context->copyInputs;
    context->copyInputs.sourceName = resourceName;
    context->copyInputs.makeInlineOptions = options;
    const STATUS status = AppendSourceRichText(context->chunk, context, 0);
    context->copyInputs = saved;
    return status;
}

} // namespace talix
