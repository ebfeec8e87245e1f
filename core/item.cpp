// The rich-text item: construction and destruction, disconnecting, writing
// the pending record list back, saving the note, handing out chunks and
// creating a blank item.
#include "core/thread_state.h"
#include "talix/item.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <utility>
#include <vector>

#include "core/chunk_definition.h"
#include "core/chunk_setup.h"
#include "core/database_open.h"
#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/kept_items.h"
#include "core/owned_text.h"
#include "core/paragraph_def.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/text_compare.h"
#include "core/view_lookup.h"
#include "talix/chunk.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

// The standard faces every face table starts with.
constexpr struct {
    std::uint8_t face;
    const char* name;
} kFixedFaces[kFixedFaceCount] = {
    {0, "Default Serif"},     {1, "Default Sans Serif"},     {2, "Default MultiLingual"},
    {4, "Default Monospace"}, {3, "Default User Interface"}, {4, "COURIER"},
    {0, "Roman"},             {1, "Swiss"},
};

// Structure type codes of the records of a blank item.
constexpr plat::WORD kParagraphDefinitionType = StructureTypeOf(kSigPabDefinition);
constexpr plat::WORD kParagraphReferenceType = StructureTypeOf(kSigPabReference);
constexpr plat::WORD kTextType = StructureTypeOf(kSigText);

// Frees what the work state holds: style mappings, work buffers, record
// lists and the definition chain.
void FreeWorkContents(ZervaRTItem* item) {
    ItemWorkState* work = item->work;
    if (work == nullptr) return;
    item->ClearStyleMappings(0);
    item->ClearStyleMappings(1);
    for (auto [block, held] : {std::pair{&work->workBuffer1, &work->workBuffer1Held},
                               std::pair{&work->workBuffer2, &work->workBuffer2Held}}) {
        if (*block != nullptr && item->session != nullptr) QuorbelReleaseBlock(item->session, *block);
        *block = nullptr;
        *held = 0;
    }
    DropRecordLists(item);
    FreeChunkDefinition(work->definition);
    work->definition = nullptr;
    if (work->walkMemo != nullptr && work->freeWalkMemo != nullptr) work->freeWalkMemo(work->walkMemo);
    work->walkMemo = nullptr;
}

// Destroys every registered chunk defined on the item.
void DestroyChunksOf(ZervaRTItem* item) {
    if (item->session == nullptr) return;
    ZervaRTChunk* chunk = item->session->chunks;
    while (chunk != nullptr) {
        ZervaRTChunk* next = chunk->next;
        if (chunk->item == item) delete chunk;
        chunk = next;
    }
}

// The name the note's first item of the name is stored under, which the
// name given may write in other letters; the name given when there is none.
std::string StoredItemName(plat::NOTEHANDLE note, const char* name) {
    plat::BLOCKID item;
    char stored[256] = {};
    if (plat::ItemInfo(note, name, NameLength(name), &item, nullptr, nullptr, nullptr) != plat::NOERROR ||
        plat::ItemQuery(item, stored, sizeof stored, nullptr, nullptr, nullptr, nullptr) != plat::NOERROR ||
        CompareNamesNoCase(stored, name) != 0)
        return name;
    return stored;
}

} // namespace

namespace talix {

void DropRecordLists(ZervaRTItem* item) {
    ItemWorkState* work = item->work;
    if (work == nullptr) return;
    for (ItemRecordList** list : {&work->current, &work->output}) {
        if (*list == nullptr) continue;
        DeleteItemRecordList(item->session, *list);
        *list = nullptr;
    }
}

plat::WORD NameLength(const char* name) { return static_cast<plat::WORD>(::strnlen(name, 0xFFFF)); }

bool ItemStored(const ZervaRTItem* item) {
    const char* name = item->itemName;
    return name != nullptr && plat::ItemInfo(item->noteHandle, name, NameLength(name), nullptr, nullptr, nullptr,
                                             nullptr) == plat::NOERROR;
}

bool ItemPresent(plat::NOTEHANDLE note, const char* name) {
    return name != nullptr && plat::ItemIsPresent(note, name, NameLength(name));
}

bool ItemReady(const ZervaRTItem* item) {
    return item != nullptr && item->work != nullptr && item->session != nullptr && item->session->IsUsable();
}

void ReleaseConnection(ZervaRTItem* item) {
    DropRecordLists(item);
    bool owned = item->work == nullptr || item->work->borrowed == 0;
    if (owned && item->noteHandle != 0) {
        // Items that borrowed this note lose it with this item.
        for (ZervaRTItem* other = item->session != nullptr ? item->session->items : nullptr; other != nullptr;
             other = other->next) {
            if (other != item && other->work != nullptr && other->work->borrowed != 0 &&
                other->noteHandle == item->noteHandle && other->databaseHandle == item->databaseHandle)
                other->CleanupTraces();
        }
    }
    if (owned) CloseNoteAndDatabase(item->databaseHandle, item->noteHandle);
    item->noteHandle = 0;
    item->databaseHandle = 0;
    item->connected = 0;
    if (item->work != nullptr) {
        item->work->borrowed = 0;
        // Whatever the item connects to next, it is a design element's body
        // only when that connection says so.
        item->work->designFlag = 0;
        item->work->imageDataFlag = 0;
        item->work->messageFiles.clear();
    }
}

STATUS ResetDefaultChunk(ZervaRTItem* item) {
    ZervaRTChunk* chunk = item->defaultChunk;
    if (chunk == nullptr) {
        chunk = new (std::nothrow) ZervaRTChunk(item->session, item);
        if (chunk == nullptr) return kOutOfMemory;
        if (chunk->work == nullptr) {
            delete chunk;
            return kOutOfMemory;
        }
        item->defaultChunk = chunk;
    }
    chunk->item = item;
    return SetChunkDefinition(chunk, "Everything", nullptr);
}

} // namespace talix

ZervaRTItem::ZervaRTItem(RARIvoSession* owner) : session(owner) {
    actionHotspotFont = CopyOwnedText("DARKGREEN +UNDERLINE");
    urlFont = CopyOwnedText("BLUE +UNDERLINE");
    hyperlinkFont = CopyOwnedText("BLUE +UNDERLINE");
    highlightFont = CopyOwnedText("RED +BOLD");
    permanentPenFont = CopyOwnedText("BLUE +BOLD");
    popUpFont = CopyOwnedText("Highlight");
    importExportFile = CopyOwnedText("default.cd");

    work = new (std::nothrow) ItemWorkState();
    if (work != nullptr) {
        for (std::uint16_t i = 0; i < kFixedFaceCount; ++i) {
            work->faces[i].face = kFixedFaces[i].face;
            std::snprintf(work->faces[i].name, sizeof work->faces[i].name, "%s", kFixedFaces[i].name);
        }
        work->faceCount = kFixedFaceCount;
        // An empty text run in the item's default font.
        WriteTextRunHeader(work->textTemplate, kSigText, kTextRunHeader,
                           FontId{defaultFontFace, defaultFontAttributes, defaultFontColor, defaultFontSize});
        std::memcpy(work->currentFont, work->textTemplate, sizeof work->currentFont);
        work->clientPreference = 1;
        work->dropLargeParagraph = 1;
    }
    ThisThread().clientPreference = 1;
    ThisThread().suppressMessages = suppressMessages;
    if (session != nullptr) session->AddToRTITEMList(this);
}

ZervaRTItem::~ZervaRTItem() {
    FreeOwnedText(server);
    FreeOwnedText(databasePath);
    FreeOwnedText(itemName);
    FreeWorkContents(this);
    if (work != nullptr) work->faceCount = kFixedFaceCount;
    for (char** text : {&actionHotspotFont, &urlFont, &hyperlinkFont, &highlightFont, &permanentPenFont,
                        &popUpFont, &importExportFile})
        FreeOwnedText(*text);
    ReleaseConnection(this);
    delete defaultChunk;
    defaultChunk = nullptr;
    DestroyChunksOf(this);
    delete work;
    work = nullptr;
    if (session != nullptr) session->RemoveFromRTITEMList(this);
}

void ZervaRTItem::CleanupTraces() {
    connected = 0;
    FreeOwnedText(server);
    FreeOwnedText(databasePath);
    FreeWorkContents(this);
    FreeOwnedText(itemName);
    ReleaseConnection(this);
    // The default chunk is detached and emptied rather than destroyed: a
    // caller may still hold it. It stays registered with the session.
    if (defaultChunk != nullptr) {
        ZervaRTChunk* chunk = defaultChunk;
        defaultChunk = nullptr;
        if (chunk->item == this) {
            chunk->item = nullptr;
            EmptyChunk(chunk);
        }
    }
    DestroyChunksOf(this);
}

namespace talix {

STATUS ReplaceItemRecords(ItemRecordList* list, ZervaRTItem* item, plat::NOTEHANDLE note, const char* name) {
    // The old items are kept until the new ones are all in the note, so that
    // a failed write leaves the item as it was.
    // The items keep the name they are stored under, which the name given
    // may write in other letters; so do the old ones put back.
    std::string stored;
    std::vector<KeptItem> saved;
    STATUS status = kOK;
    bool deleted = false;
    try {
        stored = StoredItemName(note, name);
        status = KeepItems(note, name, &saved);
        if (status == kOK) {
            status = plat::ItemDelete(note, name, NameLength(name));
            if (status == plat::ERR_ITEM_NOT_FOUND) status = kOK;
            deleted = status == kOK;
        }
        if (status == kOK) {
            // Each new item keeps the flags of the old one in its place.
            std::vector<plat::WORD> flags;
            for (const KeptItem& old : saved) flags.push_back(old.flags);
            list->note = note;
            list->itemName = stored.c_str();
            status = WriteItemRecords(list, item, flags);
            list->itemName = name;
            // A list without records writes no item; an item that held none
            // is kept as it was, its data-type word alone, rather than lost.
            if (status == kOK && list->head == nullptr && !saved.empty())
                status = plat::ItemAppend(note, saved.front().flags, stored.c_str(), NameLength(stored.c_str()),
                                          plat::TYPE_COMPOSITE, nullptr, 0);
        }
    } catch (const std::bad_alloc&) {
        // Memory ran out in the middle of the write: as any failed write.
        list->itemName = name;
        status = kOutOfMemory;
    }
    if (status != kOK && deleted) RestoreItems(note, stored.c_str(), saved);
    return status;
}

} // namespace talix

std::uint16_t ZervaRTItem::Commit() {
    if (!ItemReady(this)) return kOutOfMemory;
    ItemRecordList* list = work->current;
    if (list == nullptr) return kOK;
    if (noteHandle == 0 || itemName == nullptr || itemName[0] == '\0') return kArgumentError;
    const STATUS status = ReplaceItemRecords(list, this, noteHandle, itemName);
    if (status != kOK) return status;
    DeleteItemRecordList(session, list);
    work->current = nullptr;
    return kOK;
}

std::uint16_t ZervaRTItem::Save() {
    if (!ItemReady(this)) return kOutOfMemory;
    if (work->current != nullptr && cacheRecords != 0) {
        STATUS status = Commit();
        if (status != kOK) return status;
    }
    if (work->designFlag != 0) plat::NotePrepareDesignUpdate(noteHandle);
    STATUS status = plat::NoteUpdate(noteHandle, plat::UPDATE_FORCE);
    if (status == plat::NOERROR) {
        plat::NoteGetInfo(noteHandle, plat::NOTE_FIELD_ID, &noteID);
        if (work->designFlag != 0) RefreshDesignCollection(databaseHandle);
    } else {
        plat::StatusText(status, session->messageBuffer, 1024);
        // A save that another writer outdated (its write lock taken with its
        // first write) is not shown: the change is made again from its start,
        // by what took the lock, and only a failure of that shows.
        if (status != plat::ERR_DB_CHANGED) ShowHostMessage(session->messageBuffer);
    }
    return status;
}

ZervaRTChunk* ZervaRTItem::DefineChunk(const char* definition) {
    if (!ItemReady(this) || connected == 0) return nullptr;
    auto* chunk = new (std::nothrow) ZervaRTChunk(session, this);
    if (chunk == nullptr) return nullptr;
    if (SetChunkDefinition(chunk, definition, nullptr) != kOK) {
        delete chunk;
        return nullptr;
    }
    return chunk;
}

namespace talix {

STATUS WriteBlankBody(const ZervaRTItem* item, void* out) {
    // Data type, a paragraph definition with its margin words, a reference
    // to it and an empty text run, each in stored form.
    CDPABDEFEXT definition = NewItemParagraphDefinition();
    definition.length = static_cast<std::uint16_t>(
        ConvertedRecordLength(RecordFormOf(kSigPabDefinition), definition.length, /*toHost=*/false));
    const plat::WORD margins[6] = {definition.leftMarginOffset,  definition.leftMarginPercent,
                                   definition.firstLineOffset,   definition.firstLinePercent,
                                   definition.rightMarginOffset, definition.rightMarginPercent};
    std::uint8_t reference[kParagraphReferenceLength];
    WriteParagraphReference(reference, definition.pabId);
    const plat::WORD dataType = plat::TYPE_COMPOSITE;

    void* position = out;
    STATUS status = plat::StructWrite(&position, plat::ODS_WORD, &dataType);
    if (status == plat::NOERROR) status = plat::StructWrite(&position, kParagraphDefinitionType, &definition);
    if (status == plat::NOERROR) status = plat::StructWrite(&position, plat::ODS_WORD, margins, 6);
    if (status == plat::NOERROR) status = plat::StructWrite(&position, kParagraphReferenceType, reference);
    if (status == plat::NOERROR) status = plat::StructWrite(&position, kTextType, item->work->textTemplate);
    if (status == plat::NOERROR &&
        static_cast<std::uint8_t*>(position) - static_cast<std::uint8_t*>(out) != kBlankBodySize)
        status = kOperationFailed;
    return status;
}

} // namespace talix

std::uint16_t ZervaRTItem::CreateBlankRichTextItem() {
    if (!ItemReady(this)) return kOutOfMemory;
    if (noteHandle == 0 || itemName == nullptr || itemName[0] == '\0') return kArgumentError;

    plat::DHANDLE block = 0;
    STATUS status = plat::MemAlloc(kBlankBodySize, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    void* start = plat::MemLock(block);
    if (start == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    status = WriteBlankBody(this, start);
    plat::MemUnlock(block);

    if (status == plat::NOERROR) {
        status = plat::ItemDelete(noteHandle, itemName, NameLength(itemName));
        if (status == plat::ERR_ITEM_NOT_FOUND) status = plat::NOERROR;
    }
    if (status == plat::NOERROR)
        status = plat::ItemAppendByBlock(noteHandle, 0, itemName, NameLength(itemName), block, kBlankBodySize);
    plat::MemFree(block);
    return status;
}
