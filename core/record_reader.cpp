// Reading a rich-text item into a record list: every stored item of the
// name, in order, each record converted to host form into a node of its
// own. Damaged stored data ends the read with a status; the records read
// before it stay in the list.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/brackets.h"
#include "core/debug_level.h"
#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

constexpr int kTableStackDepth = 10;

// The state of one read over all items of a name. The table stack lives as
// long as the read: a table may begin in one stored item and end in the
// next.
struct RecordWalk {
    RARIvoSession* session = nullptr;
    ZervaRTItem* item = nullptr;
    std::uint32_t counter = 0;
    int skipMode = 0;
    int textExtraMode = 0;
    int countCharactersMode = 0;
    ItemRecordList* list = nullptr;
    CDRecordNode* last = nullptr;
    struct Table {
        CDRecordNode* begin;
        CDRecordNode* preTable;   // the last 0xFFFB node before the table began
    } tables[kTableStackDepth] = {};
    int tableDepth = 0;
    CDRecordNode* lastPreTable = nullptr;
    // Sum of the even-rounded lengths, in host form, of the records kept
    // from the current stored item: a graphic's key is 2 more than that sum
    // at its end, measured on the records as the list holds them (as the
    // name an image is given from the list is measured).
    std::uint32_t segmentBytes = 0;
};

namespace {

constexpr const char* kSourceName = "rtproc4";

constexpr std::uint32_t kMaxExtraText = 0xFFFF;   // an extra's text length is 16 bits

bool Tracing() { return g_debugLevel > 2; }

// The text of a run whose characters are counted: one-byte characters
// count 1, multibyte ones 9. When the count exceeds the byte length, the
// node gets a copy of the text with every multibyte character turned into
// a character reference ("&#%u;") where its Unicode form is one 16-bit unit.
// Returns false only when out of memory.
bool AddCountedText(ItemRecordList* list, CDRecordNode* node) {
    const std::uint8_t* text = node->bytes + kTextRunHeader;
    const std::uint32_t length = node->length - kTextRunHeader;
    std::uint32_t count = 0;
    for (std::uint32_t at = 0; at < length;) {
        std::uint32_t size = std::max<std::uint32_t>(1, plat::LmbcsCharLength(text + at, length - at));
        count += size == 1 ? 1 : 9;
        at += size;
    }
    if (count <= length) return true;

    std::uint32_t capacity = std::min(count, kMaxExtraText);
    char* converted = static_cast<char*>(std::malloc(capacity + 1));
    TextExtra* extra = converted != nullptr ? MakeRecordExtra<TextExtra>(node) : nullptr;
    if (extra == nullptr) {
        std::free(converted);
        return false;
    }
    plat::CharsetHandle table = 0;
    bool haveTable = plat::CharsetLoad(plat::CHARSET_UNICODE, &table) == plat::NOERROR;
    std::uint32_t used = 0;
    for (std::uint32_t at = 0; at < length;) {
        std::uint32_t size = std::max<std::uint32_t>(1, plat::LmbcsCharLength(text + at, length - at));
        char out[16];
        std::uint32_t outLength = 0;
        if (size > 1 && haveTable) {
            char unicode[8];
            plat::DWORD unicodeLength = 0;
            plat::STATUS status = plat::CharsetTranslate(table, plat::XLATE_LMBCS_TO_SET,
                                                         reinterpret_cast<const char*>(text + at), size, unicode,
                                                         sizeof unicode, &unicodeLength);
            if (status == plat::NOERROR && unicodeLength == 2) {
                unsigned value = static_cast<std::uint8_t>(unicode[0]) | (static_cast<std::uint8_t>(unicode[1]) << 8);
                outLength = static_cast<std::uint32_t>(std::snprintf(out, sizeof out, "&#%u;", value));
            }
        }
        if (outLength == 0) {
            std::memcpy(out, text + at, size);
            outLength = size;
        }
        if (used + outLength > capacity) break;   // the 16-bit length holds no more
        std::memcpy(converted + used, out, outLength);
        used += outLength;
        at += size;
    }
    if (haveTable) plat::CharsetUnload(table);
    converted[used] = '\0';
    extra->text = converted;
    extra->length = static_cast<std::uint16_t>(used);
    node->flags |= kNodeOwnsExtraText;
    list->heapParts = 1;
    return true;
}

// Gives a node the side data its signature calls for and keeps the table
// stack. endsValue: the record is the last one of its stored item.
bool AddExtras(RecordWalk* walk, CDRecordNode* node, bool endsValue) {
    ItemRecordList* list = walk->list;
    OutputSegment* segment = list->lastSegment;
    switch (node->signature) {
    case kSigText:
        if (node->length < kTextRunHeader) return true;
        if (walk->countCharactersMode) return AddCountedText(list, node);
        if (walk->textExtraMode) {
            TextExtra* extra = MakeRecordExtra<TextExtra>(node);
            if (extra == nullptr) return false;
            extra->text = reinterpret_cast<const char*>(node->bytes + kTextRunHeader);
            extra->length = static_cast<std::uint16_t>(node->length - kTextRunHeader);
        }
        return true;
    case kSigTableBegin:
    case kSigNestedTableBegin: {
        TableExtra* extra = MakeRecordExtra<TableExtra>(node);
        if (extra == nullptr) return false;
        // Beyond the tenth level the innermost entry is replaced.
        if (walk->tableDepth == kTableStackDepth) --walk->tableDepth;
        walk->tables[walk->tableDepth++] = {node, walk->lastPreTable};
        walk->lastPreTable = nullptr;
        return true;
    }
    case kSigTableEnd:
    case kSigNestedTableEnd:
        if (walk->tableDepth > 0) --walk->tableDepth;
        return true;
    case kSigTableCell:
    case kSigNestedTableCell: {
        if (walk->tableDepth == 0) {
            node->signature = kSigTableCell;
            return true;
        }
        const RecordWalk::Table& table = walk->tables[walk->tableDepth - 1];
        CellExtra* extra = MakeRecordExtra<CellExtra>(node);
        if (extra == nullptr) return false;
        extra->preTable = table.preTable;
        extra->tableBegin = table.begin;
        if (node->length >= 4) {
            auto* counts = static_cast<TableExtra*>(RecordExtra(table.begin));
            counts->rows = static_cast<std::uint16_t>(node->bytes[2] + 1);
            counts->columns = std::max<std::uint16_t>(counts->columns, static_cast<std::uint16_t>(node->bytes[3] + 1));
        }
        return true;
    }
    case kSigPreTableBegin:
        walk->lastPreTable = node;
        return true;
    case kSigBitmapHeader: {
        GraphicExtra* extra = MakeRecordExtra<GraphicExtra>(node);
        if (extra == nullptr) return false;
        extra->key = static_cast<std::uint32_t>(list->readPosition - list->valueStart);
        extra->segment = segment->number;
        return true;
    }
    case kSigGraphic: {
        GraphicExtra* extra = MakeRecordExtra<GraphicExtra>(node);
        if (extra == nullptr) return false;
        if (endsValue) {
            // The graphic's key names the start of the next stored item.
            extra->key = 2 + EvenLength(walk->item->NonCanonicalLength(node->signature, node->length));
            extra->segment = static_cast<std::uint16_t>(segment->number + 1);
        } else {
            extra->key = 2 + walk->segmentBytes;
            extra->segment = segment->number;
        }
        return true;
    }
    default:
        return true;
    }
}

} // namespace

namespace {

// Whether a stored record's host form is its stored bytes.
inline bool SameInBothForms(const RecordForm& form, std::uint32_t length) {
    return form.same || length < form.storedFixed;
}

// A node with bytes of the list's own for a stored record that is not
// viewed where it lies: converted to host form, or copied (a record the same
// in both forms whose pad byte is not a zero byte behind it, or a list
// without an arena). Null with *status 263 when memory is short, or 257 for
// a record whose host form would be too large to hold.
[[gnu::noinline]] CDRecordNode* StoredRecordNode(ItemRecordList* list, const std::uint8_t* record,
                                                std::uint16_t signature, std::uint32_t length, bool extraRoom,
                                                STATUS* status) {
    *status = kOutOfMemory;
    const RecordForm& form = RecordFormOf(signature);
    if (SameInBothForms(form, length)) return NewListNode(list, record, signature, length, extraRoom);

    const std::uint32_t hostLength = ConvertedRecordLength(form, length, true);
    if (hostLength > kOutputSegmentCapacity) {
        plat::LogLine(0, "Record 0x%04X of %u bytes is too large to hold", signature, length);
        *status = kDamagedRecords;
        return nullptr;
    }
    CDRecordNode* node = NewListNode(list, nullptr, signature, hostLength, extraRoom);
    if (node == nullptr) return nullptr;
    if (ConvertRecordForm(form, signature, record, length, node->bytes, hostLength, true) != hostLength) {
        // The platform does not know the structure: the record cannot be held.
        FreeRecordNode(node);
        plat::LogLine(0, "Record 0x%04X of %u bytes cannot be converted", signature, length);
        *status = kDamagedRecords;
        return nullptr;
    }
    return node;
}

} // namespace

namespace {

// Whether a record may get side data, or changes the table stack, as it is
// read: its node is made with room for an extra.
bool HasExtras(std::uint16_t signature, const RecordWalk* walk) {
    switch (signature) {
    case kSigText:
        return walk->countCharactersMode != 0 || walk->textExtraMode != 0;
    case kSigTableBegin: case kSigNestedTableBegin: case kSigTableEnd: case kSigNestedTableEnd:
    case kSigTableCell: case kSigNestedTableCell: case kSigPreTableBegin: case kSigBitmapHeader: case kSigGraphic:
        return true;
    default:
        return false;
    }
}

// SBR_1 itself, made part of the walk over a value.
[[gnu::always_inline]] inline STATUS ReadRecord(const std::uint8_t* record, std::uint16_t signature,
                                                 std::uint32_t length, RecordWalk* walk) {
    ItemRecordList* list = walk->list;
    const std::uint32_t step = std::min(EvenLength(length), list->remaining);
    const bool endsValue = step == list->remaining;

    ++walk->counter;
    OutputSegment* segment = list->lastSegment;
    if (segment->firstIndex == 0) segment->firstIndex = walk->counter;
    segment->lastIndex = walk->counter;

    bool skip = signature == kSigColor || IsTextBracket(record, signature, length);
    if (walk->skipMode && skip) {
        if (Tracing()) plat::LogLine(0, "SBR_1 - Step 3");
        list->readPosition += step;
        return kOK;
    }

    // A record whose host form would be longer than a record can be could
    // not be written back: it is not held.
    if (length > kOutputSegmentCapacity) {
        plat::LogLine(0, "Record 0x%04X of %u bytes is too large to hold", signature, length);
        return kDamagedRecords;
    }
    const bool padFollows = (length & 1u) != 0 && list->remaining > length;
    STATUS status = kOK;
    // A record the same in both forms is viewed where it lies, when its pad
    // byte (for an odd length) is a zero byte behind it.
    const RecordForm& form = RecordFormOf(signature);
    const bool extras = HasExtras(signature, walk);
    CDRecordNode* node = nullptr;
    if (SameInBothForms(form, length) && ((length & 1u) == 0 || (padFollows && record[length] == 0)) &&
        list->arena != nullptr) {
        node = NewViewNode(list, record, signature, length, extras);
    } else {
        node = StoredRecordNode(list, record, signature, length, extras, &status);
    }
    if (node == nullptr) {
        if (status == kOutOfMemory)
            plat::LogLine(0, list->head == nullptr ? "Out of memory at CDR4150" : "Out of memory at CDR4164");
        return status;
    }
    if (length & 1u) {
        if (!padFollows) {
            node->flags |= kNodeNoPad;
        } else if (record[length] != 0) {
            node->flags |= static_cast<std::uint16_t>(kNodeKeptPad | (record[length] << kNodePadShift));
        }
    }

    // A graphic's key measures the records as the list holds them.
    walk->segmentBytes += EvenLength(node->length);
    if (extras && !AddExtras(walk, node, endsValue)) {
        FreeRecordNode(node);
        LogOutOfMemory(kSourceName, __LINE__);
        return kOutOfMemory;
    }
    node->index = walk->last != nullptr ? walk->last->index + 1 : 1;
    LinkRecordNode(list, walk->last, node);
    walk->last = node;
    if (node->signature == kSigPabDefinition || node->signature == kSigStyleName)
        list->lastDefinitionIndex = node->index;
    list->readPosition += step;
    return kOK;
}

} // namespace

STATUS SBR_1(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, RecordWalk* walk) {
    return ReadRecord(record, signature, length, walk);
}

namespace {

// Makes a stored value the list's current segment (numbered one after the
// previous one): the list keeps the value and walks it where it lies.
// Returns 0, 263, or 257 when the value cannot be kept.
STATUS StartSegment(RecordWalk* walk, plat::BLOCKID value, std::uint32_t valueLength) {
    ItemRecordList* list = walk->list;
    plat::DHANDLE kept = 0;
    if (plat::BlockKeep(value, &kept) != plat::NOERROR) return kDamagedRecords;
    auto* stored = static_cast<std::uint8_t*>(plat::MemLock(kept));
    OutputSegment* segment = nullptr;
    try {
        if (stored != nullptr) segment = AddSegment(walk->session, list);
    } catch (const std::bad_alloc&) {
        // The kept value goes with the segment that could not be made.
        segment = nullptr;
    }
    if (segment == nullptr) {
        if (stored != nullptr) plat::MemUnlock(kept);
        plat::MemFree(kept);
        return stored == nullptr ? kDamagedRecords : kOutOfMemory;
    }
    segment->kept = kept;
    segment->start = stored;
    segment->position = stored;
    segment->size = valueLength;
    list->valueStart = stored;
    list->readPosition = stored + 2;
    list->remaining = valueLength - 2;
    walk->segmentBytes = 0;
    return kOK;
}

// About what the nodes of all stored items of the list's name, from `first`
// on, will take: a quarter of their stored bytes. Nodes of a value of many
// small records take about as many bytes as it; with a quarter, a value of
// a few large records (a picture) starts at a block larger than it uses
// only when it holds megabytes, and then by one block at most.
std::size_t ExpectedNodeBytes(const ItemRecordList* list, plat::BLOCKID first, std::uint32_t firstLength,
                              plat::WORD nameLength) {
    std::uint64_t stored = firstLength;
    plat::BLOCKID item = first, value;
    plat::DWORD length = 0;
    while (plat::ItemInfoNext(list->note, item, list->itemName, nameLength, &item, nullptr, &value, &length) ==
           plat::NOERROR)
        stored += length;
    return static_cast<std::size_t>(stored / 4);
}

// Walks the records of the current segment's value.
STATUS WalkValue(RecordWalk* walk) {
    ItemRecordList* list = walk->list;
    // A byte left over after the last record is a header cut off: the item
    // is damaged (written back without it, it would lose the byte).
    while (list->remaining > 0) {
        std::uint32_t length = 0;
        std::uint16_t signature = 0;
        // The value is walked front to back: its bytes ahead are fetched early.
        __builtin_prefetch(list->readPosition + 512);
        if (!DecodeSoundRecord(list->readPosition, list->remaining, &signature, &length) &&
            (GSBR(list->readPosition, list->remaining, &length, &signature) != kOK || length > list->remaining)) {
            const std::uint32_t offset = static_cast<std::uint32_t>(list->readPosition - list->valueStart);
            plat::LogLine(0, "Damaged rich text in item %s at byte %u of segment %u: record 0x%04X of length %u, "
                          "%u bytes left", list->itemName, offset, list->lastSegment->number, signature, length,
                          list->remaining);
            return kDamagedRecords;
        }
        list->recordLength = length;
        list->recordSignature = signature;
        STATUS status = ReadRecord(list->readPosition, signature, length, walk);
        if (status != kOK) return status;
        list->remaining -= std::min(EvenLength(length), list->remaining);
    }
    return kOK;
}

// Holds an item that is not rich text as one text run of its value's text.
STATUS ReadAsText(RecordWalk* walk) {
    ItemRecordList* list = walk->list;
    RARIvoSession* session = walk->session;
    std::uint16_t textLength = plat::ItemConvertToText(list->note, list->itemName, session->textResult,
                                                       RARIvoSession::kTextResultCapacity + 1, ';');
    session->textResultLength = textLength;
    const std::uint32_t length = textLength + kTextRunHeader;

    CDRecordNode* node = NewListNode(list, nullptr, kSigText, length);
    OutputSegment* segment = node != nullptr ? AddSegment(session, list) : nullptr;
    if (segment == nullptr) {
        FreeRecordNode(node);
        LogOutOfMemory(kSourceName, __LINE__);
        return kOutOfMemory;
    }
    // The run follows whatever the list already holds.
    const std::uint32_t index = walk->last != nullptr ? walk->last->index + 1 : 1;
    segment->size = length;
    segment->firstIndex = segment->lastIndex = index;

    std::uint8_t* bytes = node->bytes;
    std::memcpy(bytes, walk->item->work->textTemplate, kTextRunHeader);
    WriteWord(bytes, kSigText);
    WriteWord(bytes + 2, static_cast<std::uint16_t>(length));
    std::memcpy(bytes + kTextRunHeader, session->textResult, textLength);
    node->index = index;
    LinkRecordNode(list, walk->last, node);
    return kOK;
}

} // namespace

RecordFault JudgeStoredRecord(const std::uint8_t* at, std::uint32_t available, std::uint32_t* length,
                              std::uint16_t* signature) {
    StoredHeader header;
    if (at == nullptr || !DecodeStoredHeader(at, available, &header)) {
        *length = 0;
        *signature = at != nullptr && available >= 2 ? ReadWord(at) : 0;
        return RecordFault::HeaderCut;
    }
    *length = header.length;
    *signature = header.signature;
    if (header.length == 0) return RecordFault::ZeroLength;
    if (header.signature == 0) return RecordFault::ZeroSignature;
    if (header.length < header.headerSize) return RecordFault::BelowHeader;
    if (!HeaderFitsSignature(header, at, available)) return RecordFault::WrongForm;
    if (header.length > available) return RecordFault::PastEnd;
    return RecordFault::None;
}

STATUS GSBR(const std::uint8_t* address, std::uint32_t available, std::uint32_t* length, std::uint16_t* signature) {
    switch (JudgeStoredRecord(address, available, length, signature)) {
    case RecordFault::None:
    case RecordFault::PastEnd:
        return kOK;
    case RecordFault::HeaderCut:
        *length = 0;
        *signature = 0;
        break;
    default:
        break;
    }
    if (g_debugLevel >= 3)
        plat::LogLine(0, "GSBR - Error: record_length=%ld record_type=%ld", static_cast<long>(*length),
                      static_cast<long>(*signature));
    return kItemNotFound;
}

RecordReadStop DescribeReadStop(const ItemRecordList* list) {
    RecordReadStop stop;
    if (list == nullptr) return stop;
    const OutputSegment* segment = list->lastSegment;
    // A value too short for its data-type word stops the read before it
    // becomes a segment of its own.
    if (segment == nullptr || list->valueLength < 2 || list->readPosition == nullptr) {
        stop.item = static_cast<std::uint16_t>(segment != nullptr ? segment->number + 2 : 1);
        stop.fault = RecordFault::ShortValue;
        stop.left = list->valueLength;
        return stop;
    }
    stop.item = static_cast<std::uint16_t>(segment->number + 1);
    stop.offset = static_cast<std::uint32_t>(list->readPosition - list->valueStart);
    stop.left = list->remaining;
    stop.fault = JudgeStoredRecord(list->readPosition, list->remaining, &stop.length, &stop.signature);
    // A record whose header holds stopped the read because it could not be held.
    if (stop.fault == RecordFault::None) stop.fault = RecordFault::TooLarge;
    return stop;
}

bool WalkStoredValue(const std::uint8_t* value, std::uint32_t length,
                     const std::function<void(const std::uint8_t* record, std::uint16_t signature,
                                              std::uint32_t length, std::uint32_t offset)>& visit,
                     RecordReadStop* stop) {
    RecordReadStop ignored;
    if (stop == nullptr) stop = &ignored;
    *stop = RecordReadStop{};
    if (value == nullptr || length < 2) {
        stop->fault = RecordFault::ShortValue;
        stop->left = value != nullptr ? length : 0;
        return false;
    }
    for (std::uint32_t offset = 2; offset < length;) {
        const std::uint32_t left = length - offset;
        std::uint32_t recordLength = 0;
        std::uint16_t signature = 0;
        RecordFault fault = JudgeStoredRecord(value + offset, left, &recordLength, &signature);
        if (fault == RecordFault::None && recordLength > kOutputSegmentCapacity) fault = RecordFault::TooLarge;
        if (fault != RecordFault::None) {
            *stop = RecordReadStop{0, offset, fault, signature, recordLength, left};
            return false;
        }
        if (visit) visit(value + offset, signature, recordLength, offset);
        offset += std::min(EvenLength(recordLength), left);
        if (offset >= length) break;
    }
    return true;
}

STATUS SBR(ZervaRTItem* item, int skipMode, int textExtraMode, int countCharactersMode, ItemRecordList* list) {
    if (item == nullptr || item->session == nullptr || item->work == nullptr || list == nullptr) return kArgumentError;
    RecordWalk walk;
    walk.session = item->session;
    walk.item = item;
    walk.skipMode = skipMode;
    walk.textExtraMode = textExtraMode;
    walk.countCharactersMode = countCharactersMode;
    walk.list = list;
    walk.last = list->tail;
    walk.counter = list->tail != nullptr ? list->tail->index : 0;

    // Only a read into an empty list knows every record the list holds.
    const bool fresh = list->head == nullptr;
    list->editsAtRead = ItemRecordList::kNotAsRead;
    if (fresh) list->lastDefinitionIndex = 0;
    const auto nameLength = static_cast<plat::WORD>(std::strlen(list->itemName));
    plat::BLOCKID itemBlock, value;
    plat::WORD dataType = 0;
    plat::DWORD valueLength = 0;
    plat::STATUS status = plat::ItemInfo(list->note, list->itemName, nameLength, &itemBlock, &dataType, &value,
                                         &valueLength);
    if (Tracing()) plat::LogLine(0, "SBR - Step 2: Remaining length=%ld", static_cast<long>(valueLength));
    if (status == kItemNotFound) return kOK;
    if (status != plat::NOERROR) return status;
    list->valueType = dataType;
    list->valueBlock = value;
    list->valueLength = valueLength;
    list->currentItem = itemBlock;
    if (dataType != plat::TYPE_COMPOSITE) return ReadAsText(&walk);
    if (list->arena != nullptr) list->arena->expected += ExpectedNodeBytes(list, itemBlock, valueLength, nameLength);

    STATUS result = kOK;
    while (result == kOK) {
        if (valueLength < 2) {
            plat::LogLine(0, "Damaged rich text in item %s: a value of %u bytes", list->itemName, valueLength);
            result = kDamagedRecords;
            break;
        }
        result = StartSegment(&walk, value, valueLength);
        if (result == kOK) result = WalkValue(&walk);
        if (result != kOK) break;
        list->previousItem = list->currentItem;
        status = plat::ItemInfoNext(list->note, list->currentItem, list->itemName, nameLength, &itemBlock, &dataType,
                                    &value, &valueLength);
        if (status == kItemNotFound) break;
        if (status != plat::NOERROR) {
            result = status;
            break;
        }
        list->currentItem = itemBlock;
        list->valueBlock = value;
        list->valueLength = valueLength;
    }
    if (fresh) list->editsAtRead = list->edits;
    if (Tracing()) {
        plat::LogLine(0, "SBR - Step 35 (Oot): Remaining length=%ld record_length=%ld record_type=%ld",
                      static_cast<long>(list->remaining), static_cast<long>(list->recordLength),
                      static_cast<long>(list->recordSignature));
    }
    return result;
}

STATUS ReadBlankBody(ZervaRTItem* item, int textExtraMode, ItemRecordList* list) {
    if (item == nullptr || item->session == nullptr || item->work == nullptr || list == nullptr ||
        list->head != nullptr)
        return kArgumentError;
    // The value is kept by the list as a stored value is: its records may be
    // viewed where they lie.
    plat::DHANDLE kept = 0;
    STATUS status = plat::MemAlloc(kBlankBodySize, 0, &kept);
    if (status != plat::NOERROR) return kOutOfMemory;
    auto* value = static_cast<std::uint8_t*>(plat::MemLock(kept));
    OutputSegment* segment = value != nullptr ? AddSegment(item->session, list) : nullptr;
    if (segment == nullptr) {
        if (value != nullptr) plat::MemUnlock(kept);
        plat::MemFree(kept);
        return kOutOfMemory;
    }
    segment->kept = kept;
    segment->start = value;
    segment->position = value;
    segment->size = kBlankBodySize;
    status = WriteBlankBody(item, value);
    if (status != kOK) return status;

    RecordWalk walk;
    walk.session = item->session;
    walk.item = item;
    walk.textExtraMode = textExtraMode;
    walk.list = list;
    list->valueStart = value;
    list->readPosition = value + 2;
    list->remaining = kBlankBodySize - 2;
    return WalkValue(&walk);
}

ItemRecordList* SIAR(ZervaRTItem* item, int skipMode, ItemRecordList* list, int textExtraMode,
                     int countCharactersMode, plat::NOTEHANDLE note, const char* itemName, STATUS* status) {
    STATUS ignored = kOK;
    if (status == nullptr) status = &ignored;
    *status = kArgumentError;
    if (Tracing()) plat::LogLine(0, "SIAR - IN");
    if (item == nullptr || item->session == nullptr || item->work == nullptr) return nullptr;
    if (note == 0) {
        note = item->noteHandle;
        itemName = item->itemName;
        if (note == 0) return nullptr;
    }
    if (Tracing()) plat::LogLine(0, "SIAR - Step 1");
    if (itemName == nullptr || itemName[0] == '\0') return nullptr;
    const bool made = list == nullptr;
    if (made) {
        list = NewItemRecordList();
        if (list == nullptr) {
            *status = kOutOfMemory;
            return nullptr;
        }
    }
    if (Tracing()) plat::LogLine(0, "SIAR - Step 2");
    list->note = note;
    list->itemName = itemName;
    if (Tracing()) plat::LogLine(0, "SIAR - Step 3");
    try {
        *status = SBR(item, skipMode, textExtraMode, countCharactersMode, list);
    } catch (const std::bad_alloc&) {
        // Memory ran out while reading: a list made here goes with it.
        *status = kOutOfMemory;
        if (made) {
            DeleteItemRecordList(item->session, list);
            return nullptr;
        }
    }
    if (Tracing()) {
        plat::LogLine(0, "SIAR - Step 4");
        plat::LogLine(0, "SIAR - OUT");
    }
    return list;
}

} // namespace talix
