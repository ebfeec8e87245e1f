// The two whole-item copy passes, and ZervaRTItem::CopyBackend, which copies
// an item into a note through the first. Each builds the target's new records in
// an output list of its own (through the append gate), and only when the
// whole source was walked are the target's old items replaced, by the
// item's commit, which puts them back when the write fails. What a pass
// does to the target note besides (attachments and OLE objects carried
// over) is undone when the pass fails.
#include "engine/link_fixups.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <vector>
#include <set>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "builders/graphic_builders.h"
#include "builders/record_output.h"
#include "core/attachments.h"
#include "core/base64.h"
#include "core/database_open.h"
#include "core/host_message.h"
#include "core/font_spec.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "engine/copy_source.h"
#include "engine/file_references.h"
#include "engine/record_rename.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// A walk that the platform asks to start again does so at most this often.
constexpr int kMaxRestarts = 8;
// Old items no longer than this hold no hotspot worth looking at.
constexpr plat::DWORD kSmallestHotspotItem = 120;

constexpr plat::WORD kFileObjectType = 58;

// Host offsets.
constexpr std::uint32_t kTextFace = 4;
constexpr std::uint32_t kImageType = 8;
constexpr std::uint16_t kImageJpeg = 2;

constexpr std::uint8_t kFirstNoteFace = 5;
constexpr std::uint8_t kUnusableFace = 200;
constexpr std::uint32_t kBase64Start = 15;   // an image name's data starts at its sixteenth character

// The stored length of a record given in host form (without its pad byte).
std::uint32_t StoredLength(std::uint16_t signature, std::uint32_t length) {
    const SignatureForm* form = FindSignatureForm(signature);
    if (form != nullptr && form->typeCode != kHeaderOnly && length >= form->hostLength) {
        const std::uint16_t stored = StoredFixedLength(form);
        if (stored != 0) length = length - form->hostLength + stored;
    }
    return length;
}

// A "$FILE" item's stored file name; false when it is not a file object.
bool FileItemName(plat::BLOCKID item, std::string* name) {
    plat::WORD dataType = 0;
    plat::BLOCKID value;
    plat::DWORD length = 0;
    const std::uint32_t stored = plat::StructStoredLength(kFileObjectType);
    if (plat::ItemQuery(item, nullptr, 0, nullptr, &dataType, &value, &length) != plat::NOERROR ||
        dataType != plat::TYPE_OBJECT || stored == 0 || length < 2 + stored ||
        plat::StructHostLength(kFileObjectType) != kFileDescriptorHostSize)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return false;
    std::uint8_t descriptor[kFileDescriptorHostSize];
    const void* source = bytes + 2;
    bool ok = plat::StructRead(&source, kFileObjectType, descriptor) == plat::NOERROR;
    const std::uint32_t nameLength = ReadWord(descriptor + kFileDescriptorNameLengthAt);
    ok = ok && nameLength <= length - 2 - stored;
    if (ok) name->assign(reinterpret_cast<const char*>(bytes) + 2 + stored, nameLength);
    plat::BlockUnlock(value);
    return ok;
}

bool SameBlock(const plat::BLOCKID& a, const plat::BLOCKID& b) { return a.pool == b.pool && a.block == b.block; }

// The first "$FILE" item of the name (ignoring case) that is none of the
// items given.
bool FindOtherFileItem(plat::NOTEHANDLE note, const std::string& name, const std::vector<plat::BLOCKID>& skip,
                       plat::BLOCKID* found) {
    plat::BLOCKID item;
    plat::STATUS status = plat::ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    for (; status == plat::NOERROR;
         status = plat::ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, nullptr, nullptr)) {
        bool skipped = false;
        for (const plat::BLOCKID& other : skip) skipped = skipped || SameBlock(other, item);
        std::string stored;
        if (skipped || !FileItemName(item, &stored) || !EqualNoCase(stored, name)) continue;
        *found = item;
        return true;
    }
    return false;
}

// The last "$FILE" item of the note: the one an attach has just added.
bool LastFileItem(plat::NOTEHANDLE note, plat::BLOCKID* last) {
    plat::BLOCKID item;
    bool found = false;
    plat::STATUS status = plat::ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    while (status == plat::NOERROR) {
        *last = item;
        found = true;
        status = plat::ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    }
    return found;
}

// ---- The state of one pass --------------------------------------------------

struct CarriedOle {
    std::string name;
    bool replaced = false;   // the target held an object of the name before
};

struct StoredPlace {
    std::uint16_t item = 0;
    std::uint32_t offset = 2;
};

struct PendingImage {
    ImageOffsetInfo* entry = nullptr;   // an entry of the caller's list
    std::string source;
};

struct CopyPass {
    RecordOutput output;
    ZervaRTItem* source = nullptr;
    ZervaRTItem* target = nullptr;
    int sameNote = 0;
    std::uint32_t recordCounter = 0;
    // Where the next record will be stored: the number of the target's
    // stored item (0 for the first) and the offset in that item's value
    // (its data-type word first), as the item writer splits the records.
    StoredPlace next;

    // The link pass.
    std::set<std::string> referenced;               // names (lower case) the new records refer to
    std::set<std::string> carried;                  // names carried over
    std::map<std::string, std::string> carriedAs;   // the name each attachment is stored under
    std::set<std::string> oldReferenced;            // names the target's old items refer to
    std::vector<plat::BLOCKID> attached;            // "$FILE" items added to the target
    std::vector<CarriedOle> oleObjects;             // OLE objects written into the target

    // The image pass: the caller's list (null when none is asked for).
    ImageOffsetInfo** images = nullptr;
    bool graphicOpen = false;
    std::string baseUrl;
    ImageOffsetInfo* added = nullptr;               // new entries, joined to the list on success
    ImageOffsetInfo** addedTail = &added;
    std::vector<PendingImage> pendingSources;

    CopyPass() = default;
    CopyPass(const CopyPass&) = delete;
    CopyPass& operator=(const CopyPass&) = delete;
    ~CopyPass() { FreeImageOffsetList(added); }
};

plat::NOTEHANDLE SourceNote(const CopyPass* pass) { return pass->source->noteHandle; }
plat::NOTEHANDLE TargetNote(const CopyPass* pass) { return pass->target->noteHandle; }

// Places the nodes the gate added after before (null: from the list's
// head) in the target's stored items; *imageHeader (may be null) gets the
// place of the first image header among them (offset 0 when none).
void CountAppended(CopyPass* pass, CDRecordNode* before, StoredPlace* imageHeader) {
    ItemRecordList* list = pass->target->work->output;
    if (imageHeader != nullptr) *imageHeader = StoredPlace{0, 0};
    if (list == nullptr) return;
    for (CDRecordNode* node = before != nullptr ? before->next : list->head; node != nullptr; node = node->next) {
        const std::uint32_t stored = StoredLength(node->signature, node->length);
        if (StartsNewStoredItem(pass->next.offset, stored)) {
            pass->next.item = static_cast<std::uint16_t>(pass->next.item + 1);
            pass->next.offset = 2;
        }
        if (node->signature == kSigImageHeader && imageHeader != nullptr && imageHeader->offset == 0)
            *imageHeader = pass->next;
        pass->next.offset += EvenLength(stored);
    }
}

CDRecordNode* OutputTail(CopyPass* pass) {
    ItemRecordList* list = pass->target->work->output;
    return list != nullptr ? list->tail : nullptr;
}

// Appends a record and counts what the gate added.
STATUS Append(CopyPass* pass, const void* record, std::uint16_t signature, std::uint32_t length,
              StoredPlace* imageHeader = nullptr) {
    CDRecordNode* before = OutputTail(pass);
    const STATUS status = AppendRecord(record, signature, length, &pass->output);
    CountAppended(pass, before, imageHeader);
    return status;
}

// A text run whose face the font-table merge mapped to another face takes
// the new one (into copy; false when the run stays as it is).
bool RemapFace(const CopyPass* pass, const std::uint8_t* record, std::uint32_t length,
               std::vector<std::uint8_t>* copy) {
    if (pass->sameNote != 0 || length <= kTextFace || record[kTextFace] < kFirstNoteFace) return false;
    const FontMap& map = pass->target->session->workArea->fontMap;
    const std::uint16_t count = map.count < 255 ? map.count : 255;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (map.oldIds[i] != record[kTextFace]) continue;
        if (map.newIds[i] >= kUnusableFace || map.newIds[i] == record[kTextFace]) return false;
        copy->assign(record, record + length);
        (*copy)[kTextFace] = map.newIds[i];
        return true;
    }
    return false;
}

// Appends a record, a text run in the target's faces.
STATUS AppendCopied(CopyPass* pass, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    StoredPlace* imageHeader = nullptr) {
    std::vector<std::uint8_t> copy;
    if (signature == kSigText && RemapFace(pass, record, length, &copy))
        return Append(pass, copy.data(), signature, length, imageHeader);
    return Append(pass, record, signature, length, imageHeader);
}

// ---- Carrying attachments and OLE objects over ----------------------------

STATUS CarryAttachment(CopyPass* pass, const std::string& name) {
    plat::BLOCKID item;
    // An attachment the source note does not hold is not copied; the records
    // are.
    if (FindAttachmentItem(SourceNote(pass), name.c_str(), &item, 0) != kOK) return kOK;
    // The target note's own attachment of the name stays itself: the copy
    // comes under a free name. One that only the target's old items name
    // goes with them, and the copy takes its name.
    std::string stored = name;
    plat::BLOCKID held;
    if (pass->oldReferenced.count(FileKey(name)) == 0 && FindAttachmentItem(TargetNote(pass), name.c_str(), &held, 0) == kOK) {
        stored = FreeStoredName(TargetNote(pass), name.c_str());
        if (stored.empty()) return kOperationFailed;
    }
    const std::string path = MakeOwnTemporaryFile("carry");
    if (path.empty()) return kOperationFailed;
    plat::STATUS status = plat::NoteExtractFile(SourceNote(pass), item, path.c_str());
    if (status == plat::NOERROR)
        status = plat::NoteAttachFile(TargetNote(pass), "$FILE", 5, path.c_str(), stored.c_str(), plat::ATTACH_DEFAULT);
    std::remove(path.c_str());
    if (status != plat::NOERROR) return status;
    plat::BLOCKID added;
    if (LastFileItem(TargetNote(pass), &added)) pass->attached.push_back(added);
    pass->carried.insert(FileKey(name));
    pass->carriedAs[FileKey(name)] = stored;
    return kOK;
}

STATUS CarryOleObject(CopyPass* pass, const std::string& name) {
    std::string description;
    plat::WORD flags = 0;
    FindOleObjectInfo(SourceNote(pass), name, &description, &flags);
    plat::BLOCKID existing;
    const bool replaced = FindAttachmentItem(TargetNote(pass), name.c_str(), &existing, 0) == kOK;
    const std::string path = MakeOwnTemporaryFile("carry");
    if (path.empty()) return kOperationFailed;
    plat::STATUS status = plat::NoteExtractOleObject(SourceNote(pass), name.c_str(), path.c_str());
    // An object the source note does not hold is not copied; the records
    // are, as for an attachment.
    if (status == plat::ERR_ITEM_NOT_FOUND) {
        std::remove(path.c_str());
        return kOK;
    }
    if (status == plat::NOERROR)
        status = plat::NoteWriteOleObject(TargetNote(pass), path.c_str(), name.c_str(), description.c_str(), flags);
    std::remove(path.c_str());
    if (status != plat::NOERROR) return status;
    pass->oleObjects.push_back(CarriedOle{name, replaced});
    pass->carried.insert(FileKey(name));
    return kOK;
}

// Takes back what a failed pass added to the target note.
void UndoCarried(CopyPass* pass) {
    for (const plat::BLOCKID& item : pass->attached) plat::NoteDetachFile(TargetNote(pass), item);
    for (const CarriedOle& object : pass->oleObjects) {
        if (!object.replaced) plat::NoteRemoveOleObject(TargetNote(pass), object.name.c_str());
    }
    pass->attached.clear();
    pass->oleObjects.clear();
    pass->carried.clear();
    pass->carriedAs.clear();
}

// ---- Walking the source -----------------------------------------------------

// Calls visit(data type, value, value length) for every item of the name in
// the note, in order. Returns 0 at the end of the items (also when there is
// none), the first status other than 0 that visit returns, or the
// platform's.
template <typename Visit>
STATUS ForEachItemNamed(plat::NOTEHANDLE note, const char* name, Visit visit) {
    const plat::WORD nameLength = NameLength(name);
    plat::BLOCKID item, value;
    plat::WORD dataType = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, name, nameLength, &item, &dataType, &value, &length);
    for (; status == plat::NOERROR;
         status = plat::ItemInfoNext(note, item, name, nameLength, &item, &dataType, &value, &length)) {
        const STATUS visited = visit(dataType, value, length);
        if (visited != kOK) return visited;
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

// Walks the records of every item of the source's name. Returns 0 (also
// when there is no such item), 257 for an item that is not rich text, or the
// status that stopped the walk (772 when it must start again).
STATUS WalkSource(CopyPass* pass, plat::RecordCallback callback) {
    return ForEachItemNamed(SourceNote(pass), pass->source->itemName,
                            [&](plat::WORD dataType, plat::BLOCKID value, plat::DWORD length) -> STATUS {
                                if (dataType != plat::TYPE_COMPOSITE) {
                                    pass->source->ownError = kErrNotRichText;
                                    return kOperationFailed;
                                }
                                const plat::STATUS status = plat::EnumRecords(value, length, callback, pass);
                                return status == plat::ERR_ENUM_DONE ? plat::NOERROR : status;
                            });
}

void DiscardOutput(CopyPass* pass) {
    ItemWorkState* work = pass->target->work;
    ReleaseHeldHandles(&pass->output, 0);
    if (work->output != nullptr) {
        DeleteItemRecordList(pass->target->session, work->output);
        work->output = nullptr;
    }
}

void FreeAdded(CopyPass* pass) {
    FreeImageOffsetList(pass->added);
    pass->added = nullptr;
    pass->addedTail = &pass->added;
}

// Starts (or starts again) the output and the pass's per-walk state.
STATUS StartOutput(CopyPass* pass) {
    DiscardOutput(pass);
    RecordOutput fresh;
    fresh.session = pass->target->session;
    fresh.item = pass->target;
    // The records are copied as they stand: the gate does not fit their
    // margins to table cells.
    fresh.forceMarginsMode = 1;
    pass->output = fresh;
    pass->recordCounter = 0;
    pass->next = StoredPlace();
    pass->graphicOpen = false;
    pass->referenced.clear();
    FreeAdded(pass);
    return StartOutputSegment(&pass->output);
}

// The attachments and OLE objects the target's old items refer to (items
// longer than 120 bytes).
STATUS OldReferences(CopyPass* pass, std::vector<FileReference>* names) {
    return ForEachItemNamed(TargetNote(pass), pass->target->itemName,
                            [&](plat::WORD dataType, plat::BLOCKID value, plat::DWORD length) -> STATUS {
                                if (dataType != plat::TYPE_COMPOSITE || length <= kSmallestHotspotItem) return kOK;
                                // An old item that cannot be walked refers to
                                // nothing this pass could name.
                                plat::EnumRecords(value, length, CollectFileReference, names);
                                return kOK;
                            });
}

// Once the new records are stored: the old records' attachments and OLE
// objects go, except those the new records refer to and did not bring
// along (they are shared with the source, or kept as they were).
void RemoveOldReferences(CopyPass* pass, const std::vector<FileReference>& names) {
    std::set<std::string> done;
    for (const auto& [name, ole] : names) {
        const std::string key = FileKey(name);
        if (!done.insert(key).second) continue;
        const bool carried = pass->carried.count(key) != 0;
        if (pass->referenced.count(key) != 0 && !carried) continue;
        if (ole) {
            // A carried OLE object replaced the old one of its name.
            if (!carried) plat::NoteRemoveOleObject(TargetNote(pass), name.c_str());
            continue;
        }
        plat::BLOCKID old;
        if (FindOtherFileItem(TargetNote(pass), name, pass->attached, &old)) {
            const plat::STATUS status = plat::NoteDetachFile(TargetNote(pass), old);
            if (status != plat::NOERROR)
                plat::LogLine(status, "TALIX: The old attachment %s was not removed", name.c_str());
        }
    }
}

// Makes the built list the target's records. Returns 0 or the write's
// failure (the target's stored items and pending list are then as they
// were).
STATUS CommitOutput(CopyPass* pass) {
    ItemWorkState* work = pass->target->work;
    ItemRecordList* built = work->output;
    work->output = nullptr;
    if (built == nullptr) {
        built = NewItemRecordList();
        if (built == nullptr) return kOutOfMemory;
    }
    ItemRecordList* old = work->current;
    work->current = built;
    const STATUS status = pass->target->Commit();
    if (status != kOK) {
        DeleteItemRecordList(pass->target->session, built);
        work->current = old;
        return status;
    }
    if (old != nullptr && old != built) {
        DeleteItemRecordList(pass->target->session, old);
    }
    return kOK;
}

// A pass from the source item to the target; null when memory is short.
std::unique_ptr<CopyPass> NewPass(ZervaRTItem* source, ZervaRTItem* target, int sameNote) {
    std::unique_ptr<CopyPass> pass(new (std::nothrow) CopyPass());
    if (pass == nullptr) return nullptr;
    pass->source = source;
    pass->target = target;
    pass->sameNote = sameNote;
    return pass;
}

// The frame both passes share. prologue (may be null) appends what goes
// before the source's records.
STATUS RunPass(CopyPass* pass, plat::RecordCallback callback, STATUS (*prologue)(CopyPass*), bool links) {
    ZervaRTItem* target = pass->target;
    if (pass->sameNote == 0) {
        const STATUS merged = target->MergeFontTables(SourceNote(pass));
        if (merged != kOK) return merged;
    }
    // The names the target's old items refer to, whose attachments go with
    // them once the copy is stored.
    std::vector<FileReference> oldNames;
    STATUS status = links ? OldReferences(pass, &oldNames) : kOK;
    // What another rich-text item of the note still shows stays, and keeps
    // its name.
    if (!oldNames.empty()) {
        const std::set<std::string> elsewhere = ReferencedByOtherItems(TargetNote(pass), target->itemName);
        std::erase_if(oldNames, [&](const FileReference& old) { return elsewhere.count(FileKey(old.name)) != 0; });
    }
    for (const FileReference& old : oldNames) pass->oldReferenced.insert(FileKey(old.name));
    for (int attempt = 0; status == kOK || status == plat::ERR_WALK_RESTART; ++attempt) {
        status = StartOutput(pass);
        if (status == kOK && prologue != nullptr) status = prologue(pass);
        if (status == kOK) status = WalkSource(pass, callback);
        if (status != plat::ERR_WALK_RESTART || attempt >= kMaxRestarts) break;
        UndoCarried(pass);
    }
    if (status == kOK) status = CloseOutputSegment(&pass->output);
    ReleaseHeldHandles(&pass->output, 0);

    if (status == kOK) status = CommitOutput(pass);
    if (status != kOK) {
        DiscardOutput(pass);
        UndoCarried(pass);
        FreeAdded(pass);
    } else if (links) {
        RemoveOldReferences(pass, oldNames);
    }
    target->session->workArea->fontMap.count = 0;
    return status;
}

bool UsableItem(const ZervaRTItem* item) {
    return item != nullptr && item->work != nullptr && item->session != nullptr && item->session->IsUsable() &&
           item->noteHandle != 0 && item->itemName != nullptr && item->itemName[0] != '\0';
}

// ---- Image URLs ---------------------------------------------------------------

// "<database path below the data directory>/0/<universal id>/<item>/".
std::string BaseUrl(const ZervaRTItem* target) {
    char path[plat::MAXPATH + 1] = {};
    plat::DbPath(target->databaseHandle, path, sizeof path);
    char data[plat::MAXPATH + 1] = {};
    const plat::WORD dataLength = plat::DataDirectory(data, sizeof data);
    std::string relative(path);
    if (dataLength > 0 && relative.size() > dataLength && EqualNoCase(relative.substr(0, dataLength), data) &&
        (relative[dataLength] == '/' || relative[dataLength] == '\\'))
        relative.erase(0, dataLength + 1u);
    for (char& c : relative) {
        if (c == '\\') c = '/';
    }
    plat::ORIGINATORID oid;
    plat::NoteGetInfo(target->noteHandle, plat::NOTE_FIELD_OID, &oid);
    char text[1200];
    std::snprintf(text, sizeof text, "%s/0/%.8x%.8x%.8x%.8x/%s/", relative.c_str(),
                  static_cast<unsigned>(oid.File.Innards[1]), static_cast<unsigned>(oid.File.Innards[0]),
                  static_cast<unsigned>(oid.Note.Innards[1]), static_cast<unsigned>(oid.Note.Innards[0]),
                  target->itemName);
    return text;
}

// The URL of an image: the number of the stored item its header lies in and
// the header's offset in that item.
std::string ImageUrl(const CopyPass* pass, const StoredPlace& header, std::uint16_t imageType) {
    char text[80];
    std::snprintf(text, sizeof text, "%u.%x?OpenElement&amp;FieldElemFormat=%s", static_cast<unsigned>(header.item),
                  static_cast<unsigned>(header.offset), imageType == kImageJpeg ? "jpeg" : "gif");
    return pass->baseUrl + text;
}

// The ready-made records a pass adds around pictures: a paragraph, a
// reference to paragraph definition 1 and an empty text run in the default
// font.
STATUS AppendParagraph(CopyPass* pass) {
    std::uint8_t paragraph[kParagraphLength];
    WriteParagraphRecord(paragraph);
    return Append(pass, paragraph, kSigParagraph, sizeof paragraph);
}

STATUS AppendFirstReference(CopyPass* pass) {
    std::uint8_t reference[kParagraphReferenceLength];
    WriteParagraphReference(reference, 1);
    return Append(pass, reference, kSigPabReference, sizeof reference);
}

STATUS AppendEmptyText(CopyPass* pass) {
    std::uint8_t text[kTextRunHeader];
    WriteTextRunHeader(text, kSigText, kTextRunHeader, kDefaultTextFont);
    return Append(pass, text, kSigText, sizeof text);
}

// Before the records of an image list's pass: a paragraph reference, then
// the images its entries carry as Base64 data, each followed by an empty
// text run; their URLs are given to the entries when the pass succeeds.
STATUS WriteListedImages(CopyPass* pass) {
    pass->pendingSources.clear();
    if (pass->images == nullptr) return kOK;
    STATUS status = AppendFirstReference(pass);
    for (ImageOffsetInfo* entry = *pass->images; status == kOK && entry != nullptr; entry = entry->next) {
        if (entry->name.size() <= kBase64Start) continue;
        const auto textLength = static_cast<std::uint32_t>(entry->name.size() - kBase64Start);
        std::vector<std::uint8_t> decoded(textLength / 4 * 3 + 3);
        const std::uint32_t size = DecodeBase64(entry->name.data() + kBase64Start, decoded.data(), textLength,
                                                static_cast<std::uint32_t>(decoded.size()));
        CDRecordNode* before = OutputTail(pass);
        status = WriteImageBufferRecords(decoded.data(), size, kImageTypeGif, &pass->output, 0, 0, nullptr);
        StoredPlace header;
        CountAppended(pass, before, &header);
        if (status != kOK) break;
        status = AppendEmptyText(pass);
        pass->pendingSources.push_back(PendingImage{entry, ImageUrl(pass, header, kImageTypeGif)});
    }
    return status;
}

} // namespace

// ---- The link pass --------------------------------------------------------------

plat::STATUS FixLinkRecordCallback(const void* data, plat::WORD signature, plat::DWORD length, void* state) {
    auto* pass = static_cast<CopyPass*>(state);
    const auto* record = static_cast<const std::uint8_t*>(data);
    ++pass->recordCounter;

    // The attachment or OLE object the record names is carried over first:
    // a file hotspot, or the storage link of a picture kept as an
    // attachment, then names the attachment as the target stores it.
    std::string name;
    AttachmentNamePlace place;
    const bool attachment =
        FindAttachmentNamePlace(record, signature, length, &place) && ReadAttachmentName(record, place, &name);
    const bool ole = !attachment && ReferencedOleObject(record, signature, length, &name);
    if (attachment || ole) {
        const std::string key = FileKey(name);
        pass->referenced.insert(key);
        if (pass->sameNote == 0 && pass->carried.count(key) == 0) {
            const STATUS carried = ole ? CarryOleObject(pass, name) : CarryAttachment(pass, name);
            if (carried != kOK) return carried;
        }
        const auto as = pass->carriedAs.find(key);
        if (!ole && pass->sameNote == 0 && as != pass->carriedAs.end() && as->second != name) {
            std::vector<std::uint8_t> renamed;
            const STATUS made = RenamedRecord(record, signature, length, place, as->second, &renamed);
            if (made != kOK) return made;
            return Append(pass, renamed.data(), signature, static_cast<std::uint32_t>(renamed.size() - 1));
        }
    }

    // A link by index into the source note's link table becomes a
    // self-contained link in its place (a broken one is dropped), so that
    // the target holds no link into a table it lacks.
    bool handled = false;
    CDRecordNode* before = OutputTail(pass);
    STATUS status = AppendInlineLink(record, signature, length, SourceNote(pass), false, &pass->output, &handled);
    CountAppended(pass, before, nullptr);
    if (status == kOK && !handled) status = AppendCopied(pass, record, signature, length);
    return status;
}

STATUS CopyRichTextWithLinks(ZervaRTItem* source, ZervaRTItem* target, int sameNote, std::uint16_t) {
    if (!UsableItem(source) || !UsableItem(target)) return kArgumentError;
    std::unique_ptr<CopyPass> pass = NewPass(source, target, sameNote);
    if (pass == nullptr) return kOutOfMemory;
    return RunPass(pass.get(), FixLinkRecordCallback, nullptr, true);
}

// ---- The image pass ---------------------------------------------------------------

plat::STATUS ImageURLCallback(const void* data, plat::WORD signature, plat::DWORD length, void* state) {
    auto* pass = static_cast<CopyPass*>(state);
    const auto* record = static_cast<const std::uint8_t*>(data);
    const std::uint32_t number = pass->recordCounter++;

    STATUS status = kOK;
    if (signature == kSigGraphic) {
        status = AppendParagraph(pass);
        if (status == kOK) status = AppendFirstReference(pass);
        if (status != kOK) return status;
        pass->graphicOpen = true;
    } else if (pass->graphicOpen &&
               (signature == kSigBorderInfo || signature == kSigIdName || signature == kSigAltText ||
                signature == kSigEnd || signature == kSigBegin || signature == kSigParagraph ||
                signature == kSigBidiText || signature == kSigText)) {
        pass->graphicOpen = false;
        status = AppendEmptyText(pass);
        if (status != kOK) return status;
    }
    if (pass->images != nullptr && !pass->graphicOpen) return plat::NOERROR;

    StoredPlace header;
    status = AppendCopied(pass, record, signature, length, &header);
    if (status != kOK || pass->images == nullptr || signature != kSigImageHeader) return status;
    auto* entry = new (std::nothrow) ImageOffsetInfo();
    if (entry == nullptr) return kOutOfMemory;
    entry->recordNumber = static_cast<std::uint16_t>(number);
    const std::uint16_t imageType = length >= kImageType + 2 ? ReadWord(record + kImageType) : 0;
    entry->source = ImageUrl(pass, header, imageType);
    *pass->addedTail = entry;
    pass->addedTail = &entry->next;
    return plat::NOERROR;
}

void FreeImageOffsetList(ImageOffsetInfo* list) {
    while (list != nullptr) {
        ImageOffsetInfo* next = list->next;
        delete list;
        list = next;
    }
}

STATUS RewriteImagesAsURLs(ZervaRTItem* source, ZervaRTItem* target, int sameNote, ImageOffsetInfo** images) {
    if (!UsableItem(source) || !UsableItem(target)) return kArgumentError;
    std::unique_ptr<CopyPass> pass = NewPass(source, target, sameNote);
    if (pass == nullptr) return kOutOfMemory;
    pass->images = images;
    pass->baseUrl = BaseUrl(target);
    const STATUS status = RunPass(pass.get(), ImageURLCallback, WriteListedImages, false);
    if (status != kOK || images == nullptr) return status;
    for (const PendingImage& pending : pass->pendingSources) pending.entry->source = pending.source;
    ImageOffsetInfo** tail = images;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = pass->added;
    pass->added = nullptr;
    return kOK;
}

} // namespace talix

using namespace talix;

std::uint16_t ZervaRTItem::CopyBackend(std::uint32_t note, const char* name, int replace) {
    if (!ItemReady(this)) return kOutOfMemory;
    if (note == 0 || name == nullptr || name[0] == '\0') return kArgumentError;
    // The source is a connected item, or one CopyItem opened without
    // connecting whose note holds it as rich text.
    if (connected == 0 && (noteHandle == 0 || GetItemDataType(noteHandle, itemName) != plat::TYPE_COMPOSITE))
        return kArgumentError;
    // Copying an item onto itself changes nothing.
    if (note == noteHandle && itemName != nullptr && CompareNamesNoCase(name, itemName) == 0) return kOK;
    const bool existed = ItemPresent(note, name);
    if (existed && replace == 0) return kOK;

    // The helper item must not reset the thread's switches that making an
    // item sets.
    std::uint32_t clientPreference = ThisThread().clientPreference;
    std::uint16_t suppressMessages = ThisThread().suppressMessages;
    auto* target = new (std::nothrow) ZervaRTItem(session);
    ThisThread().clientPreference = clientPreference;
    ThisThread().suppressMessages = suppressMessages;
    if (target == nullptr) return kOperationFailed;
    // An existing target is connected as it stands, not blanked first: the
    // copy replaces its records only when it succeeds. A target made here
    // is taken out again when the copy fails.
    STATUS status = existed ? target->ConnectBackend(note, name, 0) : target->CreateBackend(note, name, 0);
    if (status == kOK && target->connected == 0) status = kOperationFailed;
    bool sameNote = target->databaseHandle == databaseHandle && note == noteHandle;
    if (status == kOK) {
        status = CopyRichTextWithLinks(this, target, sameNote ? 1 : 0, 0);
        if (status == kOperationComplete) status = kOK;
    }
    if (status == kOK) {
        target->modified = 1;
        if (sameNote && autoSave != 0) status = plat::NoteUpdate(noteHandle, plat::UPDATE_FORCE);
    } else if (!existed) {
        plat::ItemDelete(note, name, static_cast<plat::WORD>(std::strlen(name)));
    }
    delete target;
    return status;
}
