// Items of open notes, and the block ids that name them.
//
// An item block id is (note handle, serial * 2); the block id of its value is
// (note handle, serial * 2 + 1). The value bytes start with the data-type
// word, little-endian, exactly as they are stored. Locking either block id
// gives the address of those value bytes.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "byte_order.h"
#include "memory_internal.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/c_locale.h"
#include "talix_platform/database.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"
#include "testing.h"
#include "talix_platform/text.h"
#include "talix_platform/timedate.h"

namespace plat {

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr size_t kMaxNameLength = 255;
constexpr DWORD kMaxSerial = 0x7FFFFFFF;
constexpr WORD kTimeTextLimit = 80;
constexpr WORD kRangeTextLimit = 163;

void PutWord(std::vector<BYTE>& out, WORD word) {
    out.push_back(static_cast<BYTE>(word & 0xFF));
    out.push_back(static_cast<BYTE>(word >> 8));
}

void PutBytes(std::vector<BYTE>& out, const void* data, size_t length) {
    const auto* bytes = static_cast<const BYTE*>(data);
    out.insert(out.end(), bytes, bytes + length);
}

std::vector<BYTE> TypedValue(WORD dataType, const void* data, size_t length) {
    std::vector<BYTE> value;
    value.reserve(length + 2);
    PutWord(value, dataType);
    PutBytes(value, data, length);
    return value;
}

WORD DataType(const NoteItem& item) { return GetWord(item.data.value.data()); }

BLOCKID ItemBlock(NOTEHANDLE note, const NoteItem& item) { return BLOCKID{note, item.serial * 2}; }
BLOCKID ValueBlock(NOTEHANDLE note, const NoteItem& item) { return BLOCKID{note, item.serial * 2 + 1}; }

// A name is 1 to 255 bytes of LMBCS without a NUL.
bool ValidName(const char* name, size_t length) {
    return name != nullptr && length >= 1 && length <= kMaxNameLength && std::memchr(name, 0, length) == nullptr;
}

bool NameMatches(const std::string& itemName, const char* name, size_t length) {
    if (itemName.size() != length) return false;
    for (size_t i = 0; i < length; ++i) {
        char a = itemName[i], b = name[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// The index of the first item of a name at or after start; npos when none.
size_t FindFrom(const OpenNote& note, const char* name, size_t length, size_t start) {
    for (size_t i = start; i < note.items.size(); ++i) {
        if (NameMatches(note.items[i]->data.name, name, length)) return i;
    }
    return std::string::npos;
}

// The index of the first item of a name; npos when none. What the look-up
// found is kept for the next look-up of the name: the place of the item, or
// how many items it looked at without finding one (items are appended
// behind them, so only those appended since are looked at again).
size_t FindFirstIndex(OpenNote& note, const char* name, size_t length) {
    // The hint is an aid only: without memory for it the list is walked.
    try {
        std::string key(name, length);
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        size_t from = 0;
        const auto hint = note.firstOfName.find(key);
        if (hint != note.firstOfName.end()) {
            const NamePlace place = hint->second;
            if (place.found && place.index < note.items.size() &&
                NameMatches(note.items[place.index]->data.name, name, length))
                return place.index;
            if (!place.found && place.index <= note.items.size()) from = place.index;
        }
        const size_t index = FindFrom(note, name, length, from);
        const NamePlace place =
            index != std::string::npos ? NamePlace{index, true} : NamePlace{note.items.size(), false};
        if (hint != note.firstOfName.end()) hint->second = place;
        else note.firstOfName.emplace(std::move(key), place);
        return index;
    } catch (const std::bad_alloc&) {
        return FindFrom(note, name, length, 0);
    }
}

NoteItem* FindFirst(OpenNote& note, const char* name) {
    size_t index = FindFirstIndex(note, name, std::strlen(name));
    return index == std::string::npos ? nullptr : note.items[index].get();
}

// Keeps the note's hints of first places true while a pass removes items
// at or after start: told of each index from start on, in order, and
// whether its item goes, it moves each place past the items gone before it.
// The first item of a name that goes leaves no item of the name before its
// place; with allOfName (every item of that name from start on goes), none
// at all. Without memory for the list of places, or with more places to
// move than kMostPlacesMoved, the hints are dropped: a note of many names
// removed one item at a time then costs no sort of them all per removal.
class PlaceKeeper {
public:
    static constexpr size_t kMostPlacesMoved = 256;

    PlaceKeeper(OpenNote& note, size_t start, bool allOfName) : note_(note), allOfName_(allOfName) {
        try {
            for (auto& [name, place] : note.firstOfName) {
                if (place.index < start) continue;
                if (places_.size() == kMostPlacesMoved) {
                    Drop();
                    return;
                }
                places_.push_back(&place);
            }
            std::sort(places_.begin(), places_.end(),
                      [](const NamePlace* a, const NamePlace* b) { return a->index < b->index; });
            if (allOfName_) lastOfAll_.reserve(places_.size());
        } catch (const std::bad_alloc&) {
            Drop();
        }
    }

    // Some place lies ahead of the pass.
    bool Waiting() const { return next_ < places_.size(); }

    // The pass reached index; gone: its item goes.
    void Reach(size_t index, bool gone) {
        for (; next_ < places_.size() && places_[next_]->index == index; ++next_) {
            NamePlace& place = *places_[next_];
            place.index = index - removed_;
            if (gone && place.found) {
                place.found = false;
                if (allOfName_) lastOfAll_.push_back(&place);
            }
        }
        if (gone) ++removed_;
    }

    // The pass is over: the places at the end of the list move with it.
    void Finish() {
        for (; next_ < places_.size(); ++next_) places_[next_]->index -= removed_;
        for (NamePlace* place : lastOfAll_) place->index = note_.items.size();
    }

private:
    void Drop() {
        note_.firstOfName.clear();
        places_.clear();
        lastOfAll_.clear();
    }

    OpenNote& note_;
    bool allOfName_;
    std::vector<NamePlace*> places_;   // the places at or after start, in order
    std::vector<NamePlace*> lastOfAll_;
    size_t next_ = 0;                  // the first of places_ the pass has not reached
    size_t removed_ = 0;               // the items gone so far
};

} // namespace

void OpenNote::EraseItemAt(size_t index) {
    PlaceKeeper keeper(*this, index, false);
    for (size_t i = index; i < items.size() && keeper.Waiting(); ++i) keeper.Reach(i, i == index);
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    keeper.Finish();
}

size_t PositionOf(OpenNote& note, NoteItem& item) {
    if (item.position < note.items.size() && note.items[item.position].get() == &item) return item.position;
    // The list changed since: every item learns its place again, once.
    for (size_t i = 0; i < note.items.size(); ++i) note.items[i]->position = i;
    return item.position;
}

namespace {

// The item the note handed out last, when its serial is the one asked for.
NoteItem* RecentItem(const OpenNote& note, DWORD serial) {
    if (note.recent >= note.items.size()) return nullptr;
    NoteItem* item = note.items[note.recent].get();
    return item->serial == serial ? item : nullptr;
}

NoteItem* ResolveItem(BLOCKID block, OpenNote** note) {
    OpenNote* open = Notes().Find(block.pool);
    if (open == nullptr) return nullptr;
    if (NoteItem* recent = RecentItem(*open, block.block / 2)) {
        if (note != nullptr) *note = open;
        return recent;
    }
    NoteItem* found = open->bySerial.Find(block.block / 2);
    if (found == nullptr) return nullptr;
    if (note != nullptr) *note = open;
    return found;
}

STATUS NewItem(OpenNote& note, WORD flags, std::string name, std::vector<BYTE> value,
               ItemHandle* made) {
    if (value.size() < 2) return ERR_BAD_ARGUMENT;
    if (value.size() > kMaxStoredBytes) return ERR_ITEM_TOO_LARGE;
    if (note.nextSerial > kMaxSerial) return ERR_NO_MEMORY;
    ItemHandle item(note.pool.Make());
    item->data.name = std::move(name);
    item->data.flags = flags;
    item->data.value = std::move(value);
    item->serial = note.nextSerial++;
    DWORD object = 0;
    if (ObjectNamedBy(item->data.value.data(), item->data.value.size(), &object) &&
        note.namedObjects.insert(object).second) {
        // A note whose database handle closed first is not counted: its
        // objects are then kept.
        if (OpenDatabase* open = Databases().Find(note.db)) open->store->OpenNoteNamesObject(object);
    }
    *made = std::move(item);
    return NOERROR;
}

STATUS AppendItem(OpenNote& note, WORD flags, std::string name, std::vector<BYTE> value) {
    ItemHandle item;
    STATUS status = NewItem(note, flags, std::move(name), std::move(value), &item);
    if (status != NOERROR) return status;
    // Memory that runs out leaves the note as it was.
    NoteItem* added = item.get();
    note.items.push_back(std::move(item));
    try {
        note.bySerial.Add(added->serial, added);
    } catch (const std::bad_alloc&) {
        note.EraseItemAt(note.items.size() - 1);
        throw;
    }
    return NOERROR;
}

// Puts a new item in the place of the one at index (a changed value gets a
// new serial: block ids of the old value are no longer valid).
STATUS ReplaceItem(OpenNote& note, size_t index, WORD flags, std::vector<BYTE> value) {
    ItemHandle item;
    STATUS status = NewItem(note, flags, note.items[index]->data.name, std::move(value), &item);
    if (status != NOERROR) return status;
    note.bySerial.Add(item->serial, item.get());
    note.bySerial.Erase(note.items[index]->serial);
    note.items[index] = std::move(item);
    return NOERROR;
}

// Removes every item of the name at or after start in one pass over the
// list (erasing them one by one would move the rest of the list each time).
// With taken (room made for every item), each item's flags and value go
// there as it goes.
void EraseNamedFrom(OpenNote& note, const char* name, size_t length, size_t start,
                    std::vector<TakenItem>* taken = nullptr) {
    PlaceKeeper keeper(note, start, true);
    size_t kept = start;
    for (size_t i = start; i < note.items.size(); ++i) {
        const bool gone = NameMatches(note.items[i]->data.name, name, length);
        keeper.Reach(i, gone);
        if (gone) {
            if (taken != nullptr) {
                ItemData& data = note.items[i]->data;
                taken->push_back(TakenItem{data.flags, std::move(data.value)});
            }
            note.bySerial.Erase(note.items[i]->serial);
            note.items[i].reset();
            continue;
        }
        if (kept != i) note.items[kept] = std::move(note.items[i]);
        ++kept;
    }
    note.items.resize(kept);
    keeper.Finish();
}

// Sets the one item of a name to a value: the first item of the name takes
// it (keeping its place), later ones are removed; appended when there is none.
STATUS SetItem(NOTEHANDLE handle, const char* name, WORD dataType, const void* data, size_t length) {
    if (name == nullptr || !ValidName(name, std::strlen(name))) return ERR_ITEM_NAME;
    if (data == nullptr && length != 0) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* note = Notes().Find(handle);
    if (note == nullptr) return ERR_INVALID_HANDLE;
    size_t nameLength = std::strlen(name);
    std::vector<BYTE> value = TypedValue(dataType, data, length);
    size_t first = FindFirstIndex(*note, name, nameLength);
    if (first == std::string::npos) return AppendItem(*note, ITEM_SUMMARY, name, std::move(value));
    STATUS status = ReplaceItem(*note, first, note->items[first]->data.flags, std::move(value));
    if (status != NOERROR) return status;
    EraseNamedFrom(*note, name, nameLength, first + 1);
    return NOERROR;
}

void Describe(NOTEHANDLE note, const NoteItem& found, BLOCKID* item, WORD* dataType, BLOCKID* value,
              DWORD* valueLength) {
    if (item != nullptr) *item = ItemBlock(note, found);
    if (dataType != nullptr) *dataType = DataType(found);
    if (value != nullptr) *value = ValueBlock(note, found);
    if (valueLength != nullptr) *valueLength = static_cast<DWORD>(found.data.value.size());
}

// The entries of a text item (one) or a text list; false for other types or
// a list whose counts run past the value.
bool TextEntries(const std::vector<BYTE>& value, std::vector<std::string_view>* entries) {
    entries->clear();
    const BYTE* data = value.data();
    size_t size = value.size();
    WORD dataType = GetWord(data);
    if (dataType == TYPE_TEXT) {
        entries->emplace_back(reinterpret_cast<const char*>(data + 2), size - 2);
        return true;
    }
    if (dataType != TYPE_TEXT_LIST || size < 4) return false;
    size_t count = GetWord(data + 2);
    size_t offset = 4 + count * 2;
    if (offset > size) return false;
    for (size_t i = 0; i < count; ++i) {
        size_t length = GetWord(data + 4 + i * 2);
        if (length > size - offset) return false;
        entries->emplace_back(reinterpret_cast<const char*>(data + offset), length);
        offset += length;
    }
    return true;
}

std::vector<BYTE> TextListValue(const std::vector<std::string_view>& entries) {
    std::vector<BYTE> value;
    PutWord(value, TYPE_TEXT_LIST);
    PutWord(value, static_cast<WORD>(entries.size()));
    for (std::string_view entry : entries) PutWord(value, static_cast<WORD>(entry.size()));
    for (std::string_view entry : entries) PutBytes(value, entry.data(), entry.size());
    return value;
}

// The entries and range pairs of a number or time value of a single or a
// list type; false when the value is shorter than its counts say.
struct RangeView {
    const BYTE* entries = nullptr;
    size_t entryCount = 0;
    const BYTE* pairs = nullptr;
    size_t pairCount = 0;
};

bool ReadRange(const std::vector<BYTE>& value, WORD single, WORD list, size_t entrySize, RangeView* view) {
    const BYTE* data = value.data();
    size_t size = value.size();
    WORD dataType = GetWord(data);
    if (dataType == single) {
        if (size < 2 + entrySize) return false;
        *view = RangeView{data + 2, 1, nullptr, 0};
        return true;
    }
    if (dataType != list || size < 6) return false;
    size_t entries = GetWord(data + 2), pairs = GetWord(data + 4);
    if ((entries + 2 * pairs) * entrySize > size - 6) return false;
    *view = RangeView{data + 6, entries, data + 6 + entries * entrySize, pairs};
    return true;
}

// The byte length of the longest run of whole LMBCS characters of text that
// fits in limit bytes.
size_t LmbcsFit(const char* text, size_t length, size_t limit) {
    if (length <= limit) return length;
    size_t at = 0;
    while (at < length) {
        size_t step = LmbcsCharLength(reinterpret_cast<const BYTE*>(text + at), static_cast<DWORD>(length - at));
        if (step == 0) step = 1;
        if (at + step > limit) break;
        at += step;
    }
    return at;
}

// Copies text into buf (terminated, at most limit bytes with the terminator,
// never cutting a character); returns the length copied.
size_t CopyText(std::string_view text, char* buf, size_t limit) {
    if (buf == nullptr || limit == 0) return 0;
    size_t length = LmbcsFit(text.data(), text.size(), limit - 1);
    if (length != 0) std::memcpy(buf, text.data(), length);
    buf[length] = '\0';
    return length;
}

std::string NumberText(const BYTE* p) {
    NUMBER number;
    std::memcpy(&number, p, sizeof number);
    char text[64];
    plat::FormatText(text, sizeof text, "%g", number);
    return text;
}

// The text of a stored time or time range (at p) by its converter; empty
// when the converter fails.
template <typename Time, std::size_t Limit>
std::string ConvertedText(const BYTE* p, STATUS (*convert)(const Time*, char*, WORD, WORD*)) {
    Time time;
    std::memcpy(&time, p, sizeof time);
    char text[Limit];
    WORD length = 0;
    if (convert(&time, text, sizeof text, &length) != NOERROR) return std::string();
    return std::string(text, length);
}

std::string TimeText(const BYTE* p) { return ConvertedText<TIMEDATE, kTimeTextLimit>(p, TimeToText); }
std::string TimeRangeText(const BYTE* p) { return ConvertedText<TIMEDATE_PAIR, kRangeTextLimit>(p, TimeRangeToText); }

// The value of an item as text; false for a type that has no text form.
// The native value of an RFC 822 text item (the text its descriptor counts
// first, before the header name, delimiter and body); false when the
// descriptor or the text runs past the value.
bool Rfc822NativeText(const std::vector<BYTE>& value, std::string* out) {
    constexpr WORD kDescriptorType = 675;
    const size_t stored = StructStoredLength(kDescriptorType);
    if (GetWord(value.data()) != TYPE_RFC822_TEXT || stored == 0 || value.size() < 2 + stored) return false;
    struct Descriptor {
        WORD version;
        DWORD flags;
        WORD nativeLength, nameLength, delimiterLength, bodyLength;
    } descriptor{};
    static_assert(sizeof(Descriptor) == 16);
    if (StructHostLength(kDescriptorType) != sizeof descriptor) return false;
    const void* src = value.data() + 2;
    if (StructRead(&src, kDescriptorType, &descriptor) != NOERROR) return false;
    if (descriptor.nativeLength > value.size() - 2 - stored) return false;
    out->assign(reinterpret_cast<const char*>(value.data() + 2 + stored), descriptor.nativeLength);
    return true;
}

bool ValueText(const std::vector<BYTE>& value, char separator, std::string* out) {
    out->clear();
    if (value.size() >= 2 && GetWord(value.data()) == TYPE_RFC822_TEXT) return Rfc822NativeText(value, out);
    std::vector<std::string_view> entries;
    if (TextEntries(value, &entries)) {
        for (size_t i = 0; i < entries.size(); ++i) {
            if (i != 0) out->push_back(separator);
            out->append(entries[i]);
        }
        return true;
    }
    std::vector<std::string> parts;
    RangeView range;
    if (ReadRange(value, TYPE_NUMBER, TYPE_NUMBER_RANGE, sizeof(NUMBER), &range)) {
        for (size_t i = 0; i < range.entryCount; ++i) parts.push_back(NumberText(range.entries + i * 8));
        for (size_t i = 0; i < range.pairCount; ++i) {
            parts.push_back(NumberText(range.pairs + i * 16) + " - " + NumberText(range.pairs + i * 16 + 8));
        }
    } else if (ReadRange(value, TYPE_TIME, TYPE_TIME_RANGE, sizeof(TIMEDATE), &range)) {
        for (size_t i = 0; i < range.entryCount; ++i) parts.push_back(TimeText(range.entries + i * 8));
        for (size_t i = 0; i < range.pairCount; ++i) parts.push_back(TimeRangeText(range.pairs + i * 16));
    } else {
        return false;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i != 0) out->push_back(separator);
        out->append(parts[i]);
    }
    return true;
}

// The open note and the index of its first item of the name, found under
// the storage lock the caller holds: ERR_ITEM_NAME for a name that is no
// item name, ERR_INVALID_HANDLE for a note that is not open,
// ERR_ITEM_NOT_FOUND when no item has the name.
STATUS FindFirstItem(NOTEHANDLE note, const char* name, WORD nameLength, OpenNote** open, size_t* index) {
    if (!ValidName(name, nameLength)) return ERR_ITEM_NAME;
    *open = Notes().Find(note);
    if (*open == nullptr) return ERR_INVALID_HANDLE;
    *index = FindFirstIndex(**open, name, nameLength);
    return *index == std::string::npos ? ERR_ITEM_NOT_FOUND : NOERROR;
}

// The first item of a terminated name in an open note, found under the
// storage lock the caller holds; null for a null or bad name, a note that is
// not open, or a note without such an item.
NoteItem* FirstItemNamed(NOTEHANDLE note, const char* name) {
    if (name == nullptr || !ValidName(name, std::strlen(name))) return nullptr;
    OpenNote* open = Notes().Find(note);
    return open != nullptr ? FindFirst(*open, name) : nullptr;
}

} // namespace

// ---- Finding and reading items ----------------------------------------------

STATUS ItemInfo(NOTEHANDLE note, const char* name, WORD nameLength, BLOCKID* item, WORD* dataType,
                BLOCKID* value, DWORD* valueLength) {
    Lock lock(StorageMutex());
    OpenNote* open = nullptr;
    size_t index = 0;
    if (STATUS status = FindFirstItem(note, name, nameLength, &open, &index); status != NOERROR) return status;
    open->recent = index;
    Describe(note, *open->items[index], item, dataType, value, valueLength);
    return NOERROR;
}

STATUS ItemInfoNext(NOTEHANDLE note, BLOCKID after, const char* name, WORD nameLength, BLOCKID* item,
                    WORD* dataType, BLOCKID* value, DWORD* valueLength) {
    if (!ValidName(name, nameLength)) return ERR_ITEM_NAME;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr || after.pool != note) return ERR_INVALID_HANDLE;
    // A walk steps on from the item it was given last, whose place is known.
    size_t from = open->recent + 1;
    if (RecentItem(*open, after.block / 2) == nullptr) {
        NoteItem* previous = ResolveItem(after, nullptr);
        if (previous == nullptr) return ERR_INVALID_HANDLE;
        from = PositionOf(*open, *previous) + 1;
    }
    size_t index = FindFrom(*open, name, nameLength, from);
    if (index == std::string::npos) return ERR_ITEM_NOT_FOUND;
    NoteItem& found = *open->items[index];
    // Written only when it changed: a walk leaves the items it passes clean.
    if (found.position != index) found.position = index;
    open->recent = index;
    Describe(note, found, item, dataType, value, valueLength);
    return NOERROR;
}

bool ItemIsPresent(NOTEHANDLE note, const char* name, WORD nameLength) {
    return ItemInfo(note, name, nameLength, nullptr, nullptr, nullptr, nullptr) == NOERROR;
}

STATUS ItemQuery(BLOCKID item, char* name, WORD limit, WORD* flags, WORD* dataType, BLOCKID* value,
                 DWORD* valueLength) {
    Lock lock(StorageMutex());
    NoteItem* found = ResolveItem(item, nullptr);
    if (found == nullptr) return ERR_INVALID_HANDLE;
    CopyText(found->data.name, name, limit);
    if (flags != nullptr) *flags = found->data.flags;
    Describe(item.pool, *found, nullptr, dataType, value, valueLength);
    return NOERROR;
}

STATUS ItemScan(NOTEHANDLE note, const std::function<STATUS(BLOCKID item)>& callback) {
    if (!callback) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    // The serials are taken first, so that the callback may add or delete
    // items: deleted ones are skipped, added ones are not visited.
    std::vector<DWORD> serials;
    serials.reserve(open->items.size());
    for (const auto& item : open->items) serials.push_back(item->serial);
    for (DWORD serial : serials) {
        if (Notes().Find(note) != open) return ERR_INVALID_HANDLE;   // closed by the callback
        if (!open->bySerial.Contains(serial)) continue;
        STATUS status = callback(BLOCKID{note, serial * 2});
        if (status != NOERROR) return status;
    }
    return NOERROR;
}

void* BlockLock(BLOCKID block) {
    Lock lock(StorageMutex());
    NoteItem* found = ResolveItem(block, nullptr);
    return found == nullptr ? nullptr : found->data.value.data();
}

void BlockUnlock(BLOCKID block) {
    // The value of an item stays in place until the item goes: nothing to do.
}

namespace {

// A copy of a value in pages that cannot be written (the testing control
// TestReadOnlyKeptValues).
STATUS KeepReadOnlyCopy(const std::vector<BYTE>& value, DHANDLE* handle) {
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::size_t size = (value.size() + static_cast<std::size_t>(page)) / page * page;
    void* pages = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return ERR_NO_MEMORY;
    std::memcpy(pages, value.data(), value.size());
    ::mprotect(pages, size, PROT_READ);
    std::shared_ptr<const void> keeper(pages, [size](const void* at) { ::munmap(const_cast<void*>(at), size); });
    return AddKeptBlock(std::move(keeper), static_cast<BYTE*>(pages), static_cast<DWORD>(value.size()), handle);
}

} // namespace

STATUS BlockKeep(BLOCKID block, DHANDLE* handle) {
    if (handle == nullptr) return ERR_BAD_ARGUMENT;
    *handle = NULLHANDLE;
    Lock lock(StorageMutex());
    // Only a value's block id (odd) names bytes a caller reads.
    if ((block.block & 1u) == 0) return ERR_INVALID_HANDLE;
    OpenNote* note = nullptr;
    NoteItem* found = ResolveItem(block, &note);
    if (found == nullptr) return ERR_INVALID_HANDLE;
    if (ReadOnlyKeptValues()) return KeepReadOnlyCopy(found->data.value, handle);
    if (found->kept == nullptr) {
        found->kept = std::make_shared<KeptValue>();
        ++note->keptValues;
    }
    return AddKeptBlock(found->kept, found->data.value.data(), static_cast<DWORD>(found->data.value.size()), handle);
}

// ---- Adding, deleting and copying items ----------------------------------------

STATUS ItemAppend(NOTEHANDLE note, WORD flags, const char* name, WORD nameLength, WORD dataType,
                  const void* value, DWORD valueLength) {
    if (!ValidName(name, nameLength)) return ERR_ITEM_NAME;
    if (value == nullptr && valueLength != 0) return ERR_BAD_ARGUMENT;
    if (valueLength > kMaxStoredBytes - 2) return ERR_ITEM_TOO_LARGE;
    try {
        return ItemAppendValue(note, flags, std::string(name, nameLength), TypedValue(dataType, value, valueLength));
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
}

STATUS ItemAppendValue(NOTEHANDLE note, WORD flags, std::string name, std::vector<BYTE> value) {
    if (!ValidName(name.data(), name.size())) return ERR_ITEM_NAME;
    if (value.size() < 2) return ERR_BAD_ARGUMENT;   // the data-type word at least
    if (value.size() > kMaxStoredBytes) return ERR_ITEM_TOO_LARGE;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    try {
        return AppendItem(*open, flags, std::move(name), std::move(value));
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
}

STATUS ItemAppendByBlock(NOTEHANDLE note, WORD flags, const char* name, WORD nameLength, DHANDLE valueBlock,
                         DWORD valueLength) {
    if (!ValidName(name, nameLength)) return ERR_ITEM_NAME;
    if (valueLength < 2) return ERR_BAD_ARGUMENT;   // the data-type word at least
    if (valueLength > kMaxStoredBytes) return ERR_ITEM_TOO_LARGE;
    const auto* data = static_cast<const BYTE*>(MemLock(valueBlock));
    if (data == nullptr) return ERR_INVALID_HANDLE;
    if (valueLength > MemSize(valueBlock)) {
        MemUnlock(valueBlock);
        return ERR_BAD_ARGUMENT;
    }
    // Memory that runs out is a status, and the note stays as it was.
    try {
        std::vector<BYTE> value(data, data + valueLength);
        MemUnlock(valueBlock);
        data = nullptr;
        Lock lock(StorageMutex());
        OpenNote* open = Notes().Find(note);
        if (open == nullptr) return ERR_INVALID_HANDLE;
        return AppendItem(*open, flags, std::string(name, nameLength), std::move(value));
    } catch (const std::bad_alloc&) {
        if (data != nullptr) MemUnlock(valueBlock);
        return ERR_NO_MEMORY;
    }
}

STATUS ItemDelete(NOTEHANDLE note, const char* name, WORD nameLength) {
    Lock lock(StorageMutex());
    OpenNote* open = nullptr;
    size_t index = 0;
    if (STATUS status = FindFirstItem(note, name, nameLength, &open, &index); status != NOERROR) return status;
    EraseNamedFrom(*open, name, nameLength, index);
    return NOERROR;
}

STATUS ItemDeleteAll(NOTEHANDLE note) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    // One pass over the list: removing a name at a time would walk the
    // items after it for each name, the square of their count in all.
    for (ItemHandle& item : open->items) open->bySerial.Erase(item->serial);
    open->items.clear();
    open->firstOfName.clear();
    return NOERROR;
}

STATUS ItemTake(NOTEHANDLE note, const char* name, WORD nameLength, std::vector<TakenItem>* taken) {
    if (taken == nullptr) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* open = nullptr;
    size_t index = 0;
    if (STATUS status = FindFirstItem(note, name, nameLength, &open, &index); status != NOERROR) return status;
    const size_t mark = taken->size();
    try {
        taken->reserve(mark + (open->items.size() - index));
    } catch (const std::bad_alloc&) {
        return ERR_NO_MEMORY;
    }
    // No value of the note is shown by a handle: each goes as its item goes.
    if (open->keptValues == 0) {
        EraseNamedFrom(*open, name, nameLength, index, taken);
        return NOERROR;
    }
    // The values are handed over first, then the items go: a copy that
    // fails gives the values moved so far back, and the note is as it was.
    size_t at = index;
    try {
        for (; at < open->items.size(); ++at) {
            NoteItem& item = *open->items[at];
            if (!NameMatches(item.data.name, name, nameLength)) continue;
            TakenItem& out = taken->emplace_back();
            out.flags = item.data.flags;
            // A value a handle still shows stays with the item, which hands
            // it to the handle as it goes.
            if (item.kept != nullptr && item.kept.use_count() > 1) out.value = item.data.value;
            else out.value = std::move(item.data.value);
        }
    } catch (const std::bad_alloc&) {
        size_t back = mark;
        for (size_t i = index; i < at; ++i) {
            NoteItem& item = *open->items[i];
            if (!NameMatches(item.data.name, name, nameLength)) continue;
            if (item.data.value.empty()) item.data.value = std::move((*taken)[back].value);
            ++back;
        }
        taken->resize(mark);
        return ERR_NO_MEMORY;
    }
    EraseNamedFrom(*open, name, nameLength, index);
    return NOERROR;
}

STATUS ItemCopy(NOTEHANDLE note, BLOCKID item) {
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    NoteItem* source = ResolveItem(item, nullptr);
    if (source == nullptr) return ERR_INVALID_HANDLE;
    ItemData copy = source->data;   // copied first: the source may be in this note
    return AppendItem(*open, copy.flags, std::move(copy.name), std::move(copy.value));
}

// ---- Typed items --------------------------------------------------------------

STATUS ItemSetText(NOTEHANDLE note, const char* name, const char* text, WORD length) {
    return SetItem(note, name, TYPE_TEXT, text, length);
}

STATUS ItemSetNumber(NOTEHANDLE note, const char* name, const NUMBER* number) {
    if (number == nullptr) return ERR_BAD_ARGUMENT;
    return SetItem(note, name, TYPE_NUMBER, number, sizeof *number);
}

STATUS ItemSetTime(NOTEHANDLE note, const char* name, const TIMEDATE* time) {
    if (time == nullptr) return ERR_BAD_ARGUMENT;
    return SetItem(note, name, TYPE_TIME, time, sizeof *time);
}

WORD ItemGetText(NOTEHANDLE note, const char* name, char* buf, WORD limit) {
    if (buf != nullptr && limit > 0) buf[0] = '\0';
    Lock lock(StorageMutex());
    NoteItem* item = FirstItemNamed(note, name);
    std::vector<std::string_view> entries;
    if (item == nullptr || !TextEntries(item->data.value, &entries) || entries.empty()) return 0;
    return static_cast<WORD>(CopyText(entries[0], buf, limit));
}

namespace {

// The first entry of a number or time item (single value or list).
bool ReadFirstEntry(NOTEHANDLE note, const char* name, WORD singleType, WORD listType, size_t size, void* out) {
    if (out == nullptr) return false;
    Lock lock(StorageMutex());
    NoteItem* item = FirstItemNamed(note, name);
    RangeView range;
    if (item == nullptr || !ReadRange(item->data.value, singleType, listType, size, &range) ||
        range.entryCount == 0) {
        return false;
    }
    std::memcpy(out, range.entries, size);
    return true;
}

} // namespace

bool ItemGetNumber(NOTEHANDLE note, const char* name, NUMBER* number) {
    return ReadFirstEntry(note, name, TYPE_NUMBER, TYPE_NUMBER_RANGE, sizeof(NUMBER), number);
}

bool ItemGetTime(NOTEHANDLE note, const char* name, TIMEDATE* time) {
    return ReadFirstEntry(note, name, TYPE_TIME, TYPE_TIME_RANGE, sizeof(TIMEDATE), time);
}

// ---- Text lists ---------------------------------------------------------------

STATUS ItemAppendTextList(NOTEHANDLE note, const char* name, const char* text, WORD length,
                          bool allowDuplicate) {
    if (name == nullptr || !ValidName(name, std::strlen(name))) return ERR_ITEM_NAME;
    if (text == nullptr && length != 0) return ERR_BAD_ARGUMENT;
    Lock lock(StorageMutex());
    OpenNote* open = Notes().Find(note);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    std::string_view entry(text == nullptr ? "" : text, length);
    size_t index = FindFirstIndex(*open, name, std::strlen(name));
    if (index == std::string::npos) {
        return AppendItem(*open, ITEM_SUMMARY, name, TextListValue({entry}));
    }
    NoteItem& item = *open->items[index];
    std::vector<std::string_view> entries;
    if (!TextEntries(item.data.value, &entries)) return ERR_ITEM_TYPE;
    if (!allowDuplicate) {
        for (std::string_view existing : entries) {
            if (existing == entry) return NOERROR;
        }
    }
    if (entries.size() >= 0xFFFF) return ERR_ITEM_TOO_LARGE;
    for (std::string_view existing : entries) {
        if (existing.size() > 0xFFFF) return ERR_ITEM_TOO_LARGE;   // a text too long to become an entry
    }
    entries.push_back(entry);
    // The new value is built before the old one is replaced: the entries point into it.
    std::vector<BYTE> value = TextListValue(entries);
    return ReplaceItem(*open, index, item.data.flags, std::move(value));
}

WORD ItemTextListCount(NOTEHANDLE note, const char* name) {
    Lock lock(StorageMutex());
    NoteItem* item = FirstItemNamed(note, name);
    std::vector<std::string_view> entries;
    if (item == nullptr || !TextEntries(item->data.value, &entries)) return 0;
    return static_cast<WORD>(entries.size());
}

bool ItemTextListEntry(NOTEHANDLE note, const char* name, WORD index, char* buf, WORD limit, WORD* length) {
    if (length != nullptr) *length = 0;
    if (buf != nullptr && limit > 0) buf[0] = '\0';
    Lock lock(StorageMutex());
    NoteItem* item = FirstItemNamed(note, name);
    std::vector<std::string_view> entries;
    if (item == nullptr || !TextEntries(item->data.value, &entries) || index >= entries.size()) return false;
    size_t copied = CopyText(entries[index], buf, limit);
    if (length != nullptr) *length = static_cast<WORD>(copied);
    return true;
}

WORD ItemConvertToText(NOTEHANDLE note, const char* name, char* buf, WORD limit, char separator) {
    if (buf != nullptr && limit > 0) buf[0] = '\0';
    Lock lock(StorageMutex());
    NoteItem* item = FirstItemNamed(note, name);
    std::string text;
    if (item == nullptr || !ValueText(item->data.value, separator, &text)) return 0;
    return static_cast<WORD>(CopyText(text, buf, limit));
}

} // namespace plat
