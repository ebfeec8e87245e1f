// The item's face table and the note's font table ("$Fonts"): loading it,
// looking faces up, adding a face, merging the font table of rich text that
// comes from another note (leaving the font map for the record copier), and
// the item's style mappings.
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr char kFontsItem[] = "$Fonts";
constexpr plat::WORD kFontsItemLength = 6;
constexpr plat::WORD kFontTableType = StructureTypeOf(kSigFontTable);
constexpr plat::WORD kFaceType = 120;
constexpr std::uint32_t kTableStoredLength = 6;
constexpr std::uint32_t kFaceStoredLength = 34;
constexpr std::uint8_t kFirstNewFace = 5;
// Ids of the note's own faces run from 5; 255 marks "not yet found" in the font map.
constexpr std::uint8_t kLastFaceId = 254;
// Faces of "$Fonts" the face table can hold after the fixed ones.
constexpr std::uint16_t kMaxNoteFaces = kFaceTableCapacity - kFixedFaceCount;
constexpr std::uint32_t kFaceNameKept = 31;
constexpr const char* kPoolTag = "fonttable";

// The host form of the font-table record.
struct FontTableHeader {
    std::uint16_t signature = kSigFontTable;
    std::uint16_t length = 0;
    std::uint16_t fonts = 0;
};
static_assert(sizeof(FontTableHeader) == kTableStoredLength);
static_assert(sizeof(FaceEntry) == kFaceStoredLength);

// A font table read from a value: its faces in stored order.
struct FontTableImage {
    std::uint16_t count = 0;
    FaceEntry faces[kFaceTableCapacity];
};

// The bytes of a face name that a table keeps of it within limit bytes:
// whole LMBCS characters up to its end, so that no character of several
// bytes is cut in the middle.
std::size_t KeptFaceLength(const char* name, std::size_t limit) {
    const std::size_t available = strnlen(name, limit);
    std::size_t length = 0;
    while (length < available) {
        // A character's length depends on its first byte alone.
        const plat::BYTE probe[4] = {static_cast<plat::BYTE>(name[length]), 0, 0, 0};
        std::size_t step = plat::LmbcsCharLength(probe, 4);
        if (step == 0) step = 1;
        if (length + step > available) break;
        length += step;
    }
    return length;
}

// Compares the kept parts (at most limit bytes, by whole characters) of two
// face names, ignoring case.
bool SameFaceName(const char* a, const char* b, std::size_t limit) {
    const std::size_t length = KeptFaceLength(a, limit);
    if (KeptFaceLength(b, limit) != length) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

void CopyFaceName(char* out, std::size_t size, const char* name) {
    const std::size_t length = KeptFaceLength(name, size - 1);
    std::memcpy(out, name, length);
    std::memset(out + length, 0, size - length);
}

// Reads a font-table record (without the type word) of length bytes. Fails
// with 257 when the record is shorter than its face count says or holds more
// faces than a table can have.
STATUS ParseFontTable(const std::uint8_t* record, std::uint32_t length, FontTableImage* image) {
    image->count = 0;
    if (record == nullptr || length < kTableStoredLength) return kOperationFailed;
    const void* src = record;
    FontTableHeader header;
    if (plat::StructRead(&src, kFontTableType, &header) != plat::NOERROR) return kOperationFailed;
    if (header.fonts > kFaceTableCapacity) return kOperationFailed;
    if (kTableStoredLength + header.fonts * kFaceStoredLength > length) return kOperationFailed;
    for (std::uint16_t i = 0; i < header.fonts; ++i) {
        if (plat::StructRead(&src, kFaceType, &image->faces[i]) != plat::NOERROR) return kOperationFailed;
        image->faces[i].name[sizeof image->faces[i].name - 1] = '\0';
    }
    image->count = header.fonts;
    return kOK;
}

// Writes the stored value of a table (type word first) into out, which
// holds at least ValueLength(image.count) bytes; returns its length.
std::uint32_t ValueLength(std::uint16_t count) { return 2 + kTableStoredLength + count * kFaceStoredLength; }

std::uint32_t WriteFontTableValue(std::uint8_t* out, const FontTableImage& image) {
    out[0] = static_cast<std::uint8_t>(plat::TYPE_COMPOSITE & 0xFF);
    out[1] = static_cast<std::uint8_t>(plat::TYPE_COMPOSITE >> 8);
    FontTableHeader header;
    header.fonts = image.count;
    header.length = static_cast<std::uint16_t>(kTableStoredLength + image.count * kFaceStoredLength);
    void* dest = out + 2;
    plat::StructWrite(&dest, kFontTableType, &header);
    if (image.count > 0) plat::StructWrite(&dest, kFaceType, image.faces, image.count);
    return ValueLength(image.count);
}

// Loads the faces of a font-table record of length bytes into the item's
// face table after the fixed faces; faces beyond what the table holds are
// not kept. Returns 257 when the record is damaged; the faces wholly present
// are kept then.
STATUS LoadFaces(ItemWorkState* work, const std::uint8_t* record, std::uint32_t length) {
    work->faceCount = kFixedFaceCount;
    if (record == nullptr || length < kTableStoredLength) return kOperationFailed;
    const void* src = record;
    FontTableHeader header;
    if (plat::StructRead(&src, kFontTableType, &header) != plat::NOERROR) return kOperationFailed;
    std::uint32_t present = (length - kTableStoredLength) / kFaceStoredLength;
    std::uint32_t wanted = header.fonts;
    std::uint32_t readable = wanted < present ? wanted : present;
    if (readable > kMaxNoteFaces) readable = kMaxNoteFaces;
    for (std::uint32_t i = 0; i < readable; ++i) {
        FaceEntry& entry = work->faces[kFixedFaceCount + i];
        plat::StructRead(&src, kFaceType, &entry);
        entry.name[sizeof entry.name - 1] = '\0';
    }
    work->faceCount = static_cast<std::uint16_t>(kFixedFaceCount + readable);
    return wanted > present ? kOperationFailed : kOK;
}

// The note's "$Fonts" item: its block ids, flags and a copy of its value.
struct FontsItem {
    plat::BLOCKID item;
    plat::BLOCKID value;
    plat::WORD dataType = 0;
    plat::WORD flags = 0;
    plat::DWORD valueLength = 0;
};

STATUS FindFontsItem(plat::NOTEHANDLE note, FontsItem* found) {
    STATUS status = plat::ItemInfo(note, kFontsItem, kFontsItemLength, &found->item, &found->dataType,
                                   &found->value, &found->valueLength);
    if (status != plat::NOERROR) return status;
    if (found->dataType != plat::TYPE_COMPOSITE || found->valueLength < 2) return kOperationFailed;
    plat::ItemQuery(found->item, nullptr, 0, &found->flags, nullptr, nullptr, nullptr);
    return kOK;
}

// Reads the table of a found "$Fonts" item.
STATUS ReadFontsItem(const FontsItem& found, FontTableImage* image) {
    const auto* value = static_cast<const std::uint8_t*>(plat::BlockLock(found.value));
    if (value == nullptr) return kOperationFailed;
    STATUS status = ParseFontTable(value + 2, found.valueLength - 2, image);
    plat::BlockUnlock(found.value);
    return status;
}

// Replaces the note's "$Fonts" by a new value (type word first). When the new
// value cannot be appended, the old one (a copy taken before) is put back,
// so the note never loses its font table.
STATUS ReplaceFontsItem(plat::NOTEHANDLE note, const FontsItem& old, const std::uint8_t* oldValue,
                        const std::uint8_t* newValue, std::uint32_t newLength) {
    STATUS status = plat::ItemDelete(note, kFontsItem, kFontsItemLength);
    if (status != plat::NOERROR && status != plat::ERR_ITEM_NOT_FOUND) return status;
    status = plat::ItemAppend(note, old.flags, kFontsItem, kFontsItemLength, old.dataType, newValue + 2,
                              newLength - 2);
    if (status != plat::NOERROR) {
        plat::ItemAppend(note, old.flags, kFontsItem, kFontsItemLength, old.dataType, oldValue + 2,
                         old.valueLength - 2);
    }
    return status;
}

int FindFaceInImage(const FontTableImage& image, const char* name) {
    for (std::uint16_t i = 0; i < image.count; ++i) {
        if (SameFaceName(image.faces[i].name, name, sizeof image.faces[i].name)) return i;
    }
    return -1;
}

std::uint8_t LargestFaceId(const FontTableImage& image) {
    std::uint8_t largest = 4;
    for (std::uint16_t i = 0; i < image.count; ++i) {
        if (image.faces[i].face > largest) largest = image.faces[i].face;
    }
    return largest;
}

// Generic family names answer without touching the table; -1 for any other name.
int GenericFace(const char* name) {
    if (std::strcmp(name, "sans-serif") == 0) return 1;
    if (std::strcmp(name, "serif") == 0 || std::strcmp(name, "cursive") == 0 ||
        std::strcmp(name, "fantasy") == 0) {
        return 0;
    }
    if (std::strcmp(name, "monospace") == 0) return 4;
    return -1;
}

// Merges incoming faces into this note's table: fills the font map and, when
// faces had to be added, rewrites "$Fonts". Refuses (nothing written, an
// empty font map) what does not fit the table.
STATUS MergeFaces(ZervaRTItem* item, FontMap* map, const FontsItem& own, const FontTableImage& incoming) {
    FontTableImage* merged = new (std::nothrow) FontTableImage;
    if (merged == nullptr) return kOutOfMemory;
    STATUS status = ReadFontsItem(own, merged);
    std::uint16_t existing = merged->count;
    std::uint8_t nextId = static_cast<std::uint8_t>(LargestFaceId(*merged) + 1);
    bool full = false;

    std::uint16_t mapCount = 0;
    for (std::uint16_t i = 0; status == kOK && i < incoming.count; ++i) {
        const FaceEntry& face = incoming.faces[i];
        map->oldIds[i] = face.face;
        map->newIds[i] = 0xFF;
        int at = FindFaceInImage(*merged, face.name);
        if (at >= 0) {
            map->newIds[i] = merged->faces[at].face;
            if (map->newIds[i] != face.face) mapCount = static_cast<std::uint16_t>(i + 1);
            continue;
        }
        if (full || merged->count >= kMaxNoteFaces || nextId > kLastFaceId || nextId < kFirstNewFace) {
            full = true;
            break;
        }
        FaceEntry& added = merged->faces[merged->count++];
        added = face;
        added.face = nextId++;
        map->newIds[i] = added.face;
        mapCount = static_cast<std::uint16_t>(i + 1);
    }
    if (status == kOK && full) status = kOperationFailed;
    if (status != kOK || merged->count == existing) {
        map->count = status == kOK ? mapCount : 0;
        delete merged;
        return status;
    }

    // New value and a copy of the old one, in one pool block.
    std::uint32_t newLength = ValueLength(merged->count);
    std::uint32_t oldOffset = (newLength + 1) & ~1u;
    TrackedBlock* block = QuorbelAllocateBlock(item->session, __LINE__, kPoolTag, oldOffset + own.valueLength, 1);
    if (block == nullptr || block->data == nullptr) {
        if (block != nullptr) QuorbelReleaseBlock(item->session, block);
        delete merged;
        return kOutOfMemory;
    }
    std::uint8_t* newValue = block->data;
    std::uint8_t* oldValue = block->data + oldOffset;
    const void* value = plat::BlockLock(own.value);
    if (value == nullptr) {
        status = kOperationFailed;
    } else {
        std::memcpy(oldValue, value, own.valueLength);
        plat::BlockUnlock(own.value);
        WriteFontTableValue(newValue, *merged);
        status = ReplaceFontsItem(item->noteHandle, own, oldValue, newValue, newLength);
    }
    if (status == kOK) {
        map->count = mapCount;
        LoadFaces(item->work, newValue + 2, newLength - 2);
    }
    QuorbelReleaseBlock(item->session, block);
    delete merged;
    return status;
}

FontMap* SessionFontMap(ZervaRTItem* item) {
    if (item->session == nullptr || item->session->workArea == nullptr) return nullptr;
    return &item->session->workArea->fontMap;
}

} // namespace

std::uint16_t ZervaRTItem::InitialFontTable() {
    if (work == nullptr) return kOperationFailed;
    work->faceCount = kFixedFaceCount;
    FontsItem found;
    STATUS status = FindFontsItem(noteHandle, &found);
    if (status == plat::ERR_ITEM_NOT_FOUND) return kOK;
    if (status != kOK && found.dataType != plat::TYPE_COMPOSITE && found.dataType != 0) {
        // A "$Fonts" of another kind (views keep the names of their fonts
        // as a text list there) holds no font table: the item is used with
        // the standard faces alone.
        plat::LogLine(0, "The \"$Fonts\" item of note %08X is not a font table (data type 0x%04X): only the "
                         "standard faces are known",
                      static_cast<unsigned>(noteID), static_cast<unsigned>(found.dataType));
        return kOK;
    }
    if (status != kOK) return status;
    const auto* value = static_cast<const std::uint8_t*>(plat::BlockLock(found.value));
    if (value == nullptr) return kOperationFailed;
    status = LoadFaces(work, value + 2, found.valueLength - 2);
    plat::BlockUnlock(found.value);
    return status;
}

std::uint16_t ZervaRTItem::RecordFontFaces(const void* fontTable) {
    if (work == nullptr) return kOK;
    if (fontTable == nullptr) {
        work->faceCount = kFixedFaceCount;
        return kOK;
    }
    // A record in memory carries no outside length: its face count is
    // trusted, bounded by what the face table holds.
    const void* src = fontTable;
    FontTableHeader header;
    plat::StructRead(&src, kFontTableType, &header);
    std::uint32_t count = header.fonts < kMaxNoteFaces ? header.fonts : kMaxNoteFaces;
    LoadFaces(work, static_cast<const std::uint8_t*>(fontTable), kTableStoredLength + count * kFaceStoredLength);
    return kOK;
}

int ZervaRTItem::FindFaceByID(std::uint8_t faceId, char* name) {
    if (work == nullptr) return 0;
    std::uint16_t count = work->faceCount < kFaceTableCapacity ? work->faceCount : kFaceTableCapacity;
    for (std::uint16_t i = 0; i < count; ++i) {
        if (work->faces[i].face != faceId) continue;
        if (name != nullptr) CopyFaceName(name, sizeof work->faces[i].name, work->faces[i].name);
        return 1;
    }
    return 0;
}

std::uint8_t ZervaRTItem::DefineFont(const char* faceName) {
    if (!connected || faceName == nullptr || faceName[0] == '\0') return 0;
    return AddToFontTable(faceName, 0);
}

std::uint8_t ZervaRTItem::AddToFontTable(const char* faceName, std::uint8_t family) {
    if (work == nullptr || faceName == nullptr || faceName[0] == '\0') return 0;
    int generic = GenericFace(faceName);
    if (generic >= 0) return static_cast<std::uint8_t>(generic);

    FontsItem found;
    STATUS status = FindFontsItem(noteHandle, &found);
    if (status == plat::ERR_ITEM_NOT_FOUND) {
        // No table yet: one face with the first id.
        FontTableImage* image = new (std::nothrow) FontTableImage;
        if (image == nullptr) return 0;
        image->count = 1;
        image->faces[0].face = kFirstNewFace;
        image->faces[0].family = family;
        CopyFaceName(image->faces[0].name, kFaceNameKept + 1, faceName);
        std::uint8_t value[2 + kTableStoredLength + kFaceStoredLength];
        std::uint32_t length = WriteFontTableValue(value, *image);
        delete image;
        if (plat::ItemAppend(noteHandle, 0, kFontsItem, kFontsItemLength, plat::TYPE_COMPOSITE, value + 2,
                             length - 2) != plat::NOERROR) {
            return 0;
        }
        LoadFaces(work, value + 2, length - 2);
        return kFirstNewFace;
    }
    // A table that cannot be read gets no face: 0 says the face is not defined.
    if (status != kOK) return 0;

    FontTableImage* image = new (std::nothrow) FontTableImage;
    if (image == nullptr) return 0;
    std::uint8_t id = 0;
    if (ReadFontsItem(found, image) == kOK) {
        for (std::uint16_t i = 0; i < image->count && id == 0; ++i) {
            if (SameFaceName(image->faces[i].name, faceName, kFaceNameKept)) id = image->faces[i].face;
        }
        std::uint8_t largest = LargestFaceId(*image);
        if (id == 0 && image->count < kMaxNoteFaces && largest < kLastFaceId) {
            FaceEntry& added = image->faces[image->count++];
            added.face = static_cast<std::uint8_t>(largest + 1);
            added.family = family;
            CopyFaceName(added.name, kFaceNameKept + 1, faceName);

            std::uint32_t newLength = ValueLength(image->count);
            std::uint32_t oldOffset = (newLength + 1) & ~1u;
            plat::DHANDLE handle = plat::NULLHANDLE;
            if (plat::MemAlloc(oldOffset + found.valueLength, plat::MEM_GROWABLE, &handle) == plat::NOERROR) {
                auto* block = static_cast<std::uint8_t*>(plat::MemLock(handle));
                const void* old = plat::BlockLock(found.value);
                if (block != nullptr && old != nullptr) {
                    std::memcpy(block + oldOffset, old, found.valueLength);
                    plat::BlockUnlock(found.value);
                    WriteFontTableValue(block, *image);
                    if (ReplaceFontsItem(noteHandle, found, block + oldOffset, block, newLength) == plat::NOERROR) {
                        id = added.face;
                        LoadFaces(work, block + 2, newLength - 2);
                    }
                } else if (old != nullptr) {
                    plat::BlockUnlock(found.value);
                }
                if (block != nullptr) plat::MemUnlock(handle);
                plat::MemFree(handle);
            }
        }
    }
    delete image;
    return id;
}

std::uint16_t ZervaRTItem::MergeWithCDFONTTABLE(const void* fontTable, std::uint16_t, std::uint32_t length) {
    FontMap* map = SessionFontMap(this);
    if (map == nullptr) return kOutOfMemory;
    map->count = 0;
    if (work == nullptr) return kOperationFailed;

    FontTableImage* incoming = new (std::nothrow) FontTableImage;
    if (incoming == nullptr) return kOutOfMemory;
    const auto* record = static_cast<const std::uint8_t*>(fontTable);
    STATUS status = ParseFontTable(record, length, incoming);
    if (status != kOK) {
        delete incoming;
        return kArgumentError;
    }

    FontsItem own;
    status = FindFontsItem(noteHandle, &own);
    if (status == plat::ERR_ITEM_NOT_FOUND) {
        // No table here: the incoming one is taken as it is and its ids stay.
        status = plat::ItemAppend(noteHandle, 0, kFontsItem, kFontsItemLength, plat::TYPE_COMPOSITE, record, length);
        if (status == plat::NOERROR) LoadFaces(work, record, length);
    } else if (status == kOK) {
        status = MergeFaces(this, map, own, *incoming);
    }
    delete incoming;
    return status;
}

std::uint16_t ZervaRTItem::MergeFontTables(std::uint32_t otherNote) {
    FontMap* map = SessionFontMap(this);
    if (map == nullptr) return kOutOfMemory;
    map->count = 0;
    if (work == nullptr) return kOperationFailed;

    FontsItem other;
    STATUS status = FindFontsItem(otherNote, &other);
    if (status == plat::ERR_ITEM_NOT_FOUND) return kOK;
    if (status != kOK) return status;

    FontsItem own;
    status = FindFontsItem(noteHandle, &own);
    if (status == plat::ERR_ITEM_NOT_FOUND) {
        status = plat::ItemCopy(noteHandle, other.item);
        if (status == plat::NOERROR) status = InitialFontTable();
        return status;
    }
    if (status != kOK) return status;

    FontTableImage* incoming = new (std::nothrow) FontTableImage;
    FontTableImage* current = new (std::nothrow) FontTableImage;
    if (incoming == nullptr || current == nullptr) {
        delete incoming;
        delete current;
        return kOutOfMemory;
    }
    status = ReadFontsItem(other, incoming);
    if (status == kOK) status = ReadFontsItem(own, current);
    if (status == kOK) {
        bool same = incoming->count == current->count;
        for (std::uint16_t i = 0; same && i < incoming->count; ++i) {
            same = incoming->faces[i].face == current->faces[i].face &&
                   SameFaceName(incoming->faces[i].name, current->faces[i].name, sizeof current->faces[i].name);
        }
        if (!same) status = MergeFaces(this, map, own, *incoming);
    }
    delete incoming;
    delete current;
    return status;
}

namespace {

// Copies a markup text into its place of a mapping when it fits; a longer
// one is held whole in a copy of its own. False when out of memory.
bool KeepMarkup(const char* text, char* place, std::size_t size, char** whole) {
    if (text == nullptr) return true;
    const std::size_t length = std::strlen(text);
    if (length < size) {
        std::memcpy(place, text, length + 1);
        return true;
    }
    *whole = static_cast<char*>(std::malloc(length + 1));
    if (*whole == nullptr) return false;
    std::memcpy(*whole, text, length + 1);
    return true;
}

void FreeMapping(StyleMappingInfo* mapping) {
    std::free(mapping->longOpening);
    std::free(mapping->longClosing);
    delete mapping;
}

} // namespace

void ZervaRTItem::CreateInternalStyleMapping(const char* opening, const char* closing, std::uint32_t fontId) {
    if (work == nullptr) return;
    auto* node = new (std::nothrow) StyleMappingInfo();
    if (node == nullptr) return;
    node->flags = kStyleMappingInternal;
    node->fontId = fontId;
    node->fontCriteria.font = UnpackFontId(fontId);
    if (!KeepMarkup(opening, node->opening, sizeof node->opening, &node->longOpening) ||
        !KeepMarkup(closing, node->closing, sizeof node->closing, &node->longClosing)) {
        FreeMapping(node);
        return;
    }
    if (work->internalMappings == nullptr) {
        work->internalMappings = node;
    } else {
        // The tail is kept so that a generation of many fonts appends in
        // constant time; a list someone else built is walked to its end.
        StyleMappingInfo* tail = work->internalMappingsTail;
        if (tail == nullptr || tail->next != nullptr) {
            tail = work->internalMappings;
            while (tail->next != nullptr) tail = tail->next;
        }
        tail->next = node;
    }
    work->internalMappingsTail = node;
}

StyleMappingInfo* ZervaRTItem::GetStyleMappingByFontID(std::uint32_t fontId, int internal) {
    if (work == nullptr) return nullptr;
    for (StyleMappingInfo* node = internal ? work->internalMappings : work->externalMappings; node != nullptr;
         node = node->next) {
        if ((node->flags & (kStyleMappingExternal | kStyleMappingInternal)) != 0 && node->fontId == fontId) {
            return node;
        }
    }
    return nullptr;
}

void ZervaRTItem::ClearStyleMappings(int internal) {
    if (work == nullptr) return;
    StyleMappingInfo*& head = internal ? work->internalMappings : work->externalMappings;
    while (head != nullptr) {
        StyleMappingInfo* next = head->next;
        FreeMapping(head);
        head = next;
    }
    if (internal) work->internalMappingsTail = nullptr;
}
