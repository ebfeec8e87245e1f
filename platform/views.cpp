// Design look-up and view collections: open collections live in a table of
// 16-bit handles; each holds the entries built when it was opened or last
// updated (view_index.h).
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "notes_internal.h"
#include "status_codes.h"
#include "talix_platform/database.h"
#include "talix_platform/memory.h"
#include "talix_platform/text.h"
#include "talix_platform/views.h"
#include "view_index.h"

namespace plat {

namespace {

constexpr WORD kMaxKeyLength = 255;

struct Collection {
    DBHANDLE db = NULLHANDLE;
    NOTEID viewId = 0;
    ViewIndex index;
};

struct CollectionTable {
    std::mutex mutex;
    std::unordered_map<HCOLLECTION, std::unique_ptr<Collection>> open;
    HCOLLECTION next = 1;
};

CollectionTable& Collections() {
    static auto* table = new CollectionTable;   // never destroyed: handles may be closed during exit
    return *table;
}

// The caller holds the table's lock.
Collection* FindCollection(CollectionTable& table, HCOLLECTION handle) {
    auto it = table.open.find(handle);
    return it == table.open.end() ? nullptr : it->second.get();
}

// The position of the first "|" character of a title from start on, or
// npos: a byte of that value inside a longer character is no "|".
size_t NextBar(const std::string& title, size_t start) {
    for (size_t at = start; at < title.size();) {
        if (title[at] == '|') return at;
        const WORD size = LmbcsCharLength(reinterpret_cast<const BYTE*>(title.data() + at),
                                          static_cast<DWORD>(title.size() - at));
        at += size > 0 ? size : 1;
    }
    return std::string::npos;
}

// True when one "|"-separated part of a title, blanks around it ignored,
// equals the name ignoring case.
bool TitleNames(const std::string& title, const char* name, size_t nameLength) {
    size_t start = 0;
    while (start <= title.size()) {
        size_t end = NextBar(title, start);
        if (end == std::string::npos) end = title.size();
        size_t first = start, last = end;
        while (first < last && title[first] == ' ') ++first;
        while (last > first && title[last - 1] == ' ') --last;
        if (last - first > 0 &&
            Collate(title.data() + first, static_cast<DWORD>(last - first), name, static_cast<DWORD>(nameLength),
                    true, false) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// How the key column's value of an entry orders against a text key, in the
// collection's order: values that are not texts come before every text.
int KeyOrder(const ViewIndex& index, const ViewEntry& entry, const char* key, WORD keyLength) {
    const ViewValue& value = (*entry.values)[static_cast<size_t>(index.keyColumn)];
    int order = value.kind != ViewValue::kText
                    ? -1
                    : Collate(value.text.data(), static_cast<DWORD>(value.text.size()), key, keyLength, true, false);
    return index.keyDescending ? -order : order;
}

// True when the key column's value starts with the key (ignoring case).
bool StartsWithKey(const ViewIndex& index, const ViewEntry& entry, const char* key, WORD keyLength,
                   DWORD keyChars) {
    const ViewValue& value = (*entry.values)[static_cast<size_t>(index.keyColumn)];
    if (value.kind != ViewValue::kText) return false;
    DWORD prefix = keyChars == 0 ? 0
                                 : LmbcsByteLength(value.text.data(), keyChars, static_cast<DWORD>(value.text.size()));
    return Collate(value.text.data(), prefix, key, keyLength, true, false) == 0;
}

} // namespace

STATUS FindDesignNote(DBHANDLE db, const char* name, WORD noteClass, NOTEID* id) {
    if (name == nullptr || id == nullptr) return ERR_BAD_ARGUMENT;
    *id = 0;
    // Blanks around the name are ignored, as they are around the title's
    // names: an element named with them is found by the name it was given.
    size_t nameLength = std::strlen(name);
    while (nameLength > 0 && name[nameLength - 1] == ' ') --nameLength;
    while (nameLength > 0 && name[0] == ' ') ++name, --nameLength;
    if (nameLength == 0) return ERR_DESIGN_NOT_FOUND;
    WORD wanted = noteClass & ~NOTE_CLASS_DEFAULT;
    NOTEID found = 0;
    STATUS status = DbScanNotes(db, [&](NOTEID noteId, WORD storedClass) -> STATUS {
        if ((storedClass & ~NOTE_CLASS_DEFAULT) != wanted) return NOERROR;
        NOTEHANDLE note = NULLHANDLE;
        STATUS opened = NoteOpenUncounted(db, noteId, OPEN_NOTE_DEFAULT, &note);
        if (opened != NOERROR) return opened;
        std::vector<char> buffer(0x10000);
        WORD count = ItemTextListCount(note, "$TITLE");
        for (WORD i = 0; i < count && found == 0; ++i) {
            WORD length = 0;
            if (!ItemTextListEntry(note, "$TITLE", i, buffer.data(), 0xFFFF, &length)) break;
            if (TitleNames(std::string(buffer.data(), length), name, nameLength)) found = noteId;
        }
        NoteClose(note);
        return found != 0 ? ERR_ENUM_DONE : NOERROR;   // stops the walk at the first match
    });
    if (found != 0) {
        *id = found;
        return NOERROR;
    }
    return status != NOERROR ? status : static_cast<STATUS>(ERR_DESIGN_NOT_FOUND);
}

STATUS CollectionOpen(DBHANDLE db, NOTEID viewId, HCOLLECTION* collection) {
    if (collection == nullptr) return ERR_BAD_ARGUMENT;
    *collection = 0;
    auto open = std::make_unique<Collection>();
    open->db = db;
    open->viewId = viewId;
    STATUS status = BuildViewIndex(db, viewId, &open->index);
    if (status != NOERROR) return status;

    CollectionTable& table = Collections();
    std::lock_guard<std::mutex> lock(table.mutex);
    if (table.open.size() >= 0xFFFF) return ERR_TOO_MANY_COLLECTIONS;
    HCOLLECTION handle = table.next;
    while (handle == 0 || table.open.count(handle) != 0) ++handle;
    table.next = static_cast<HCOLLECTION>(handle + 1);
    table.open.emplace(handle, std::move(open));
    *collection = handle;
    return NOERROR;
}

STATUS CollectionUpdate(HCOLLECTION collection) {
    CollectionTable& table = Collections();
    DBHANDLE db = NULLHANDLE;
    NOTEID viewId = 0;
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        Collection* open = FindCollection(table, collection);
        if (open == nullptr) return ERR_INVALID_HANDLE;
        db = open->db;
        viewId = open->viewId;
    }
    // Built outside the lock; on failure the collection keeps its entries.
    ViewIndex index;
    STATUS status = BuildViewIndex(db, viewId, &index);
    if (status != NOERROR) return status;
    std::lock_guard<std::mutex> lock(table.mutex);
    Collection* open = FindCollection(table, collection);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    open->index = std::move(index);
    return NOERROR;
}

STATUS CollectionClose(HCOLLECTION collection) {
    std::unique_ptr<Collection> closed;
    {
        CollectionTable& table = Collections();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.open.find(collection);
        if (it == table.open.end()) return ERR_INVALID_HANDLE;
        closed = std::move(it->second);
        table.open.erase(it);
    }
    return NOERROR;
}

STATUS CollectionFindByKey(HCOLLECTION collection, const char* key, WORD keyLength, WORD flags,
                           CollectionPosition* position, DWORD* matches) {
    if (matches != nullptr) *matches = 0;
    if (position == nullptr || (key == nullptr && keyLength != 0)) return ERR_BAD_ARGUMENT;
    if (keyLength > kMaxKeyLength) return ERR_KEY_TOO_LONG;
    if (key == nullptr) key = "";
    CollectionTable& table = Collections();
    std::lock_guard<std::mutex> lock(table.mutex);
    Collection* open = FindCollection(table, collection);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const ViewIndex& index = open->index;
    const std::vector<ViewEntry>& entries = index.entries;
    if (index.keyColumn < 0) return ERR_KEY_NOT_FOUND;

    // Entries whose value equals the key lie together in the collection's
    // order; those that start with it are looked for one by one, since
    // cutting values short does not keep their collation order.
    size_t first = entries.size();
    size_t count = 0;
    if ((flags & FIND_PARTIAL) == 0) {
        auto it = std::partition_point(entries.begin(), entries.end(), [&](const ViewEntry& entry) {
            return KeyOrder(index, entry, key, keyLength) < 0;
        });
        first = static_cast<size_t>(it - entries.begin());
        while (first + count < entries.size() && KeyOrder(index, entries[first + count], key, keyLength) == 0) ++count;
    } else {
        DWORD keyChars = LmbcsCharCount(key, keyLength);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (StartsWithKey(index, entries[i], key, keyLength, keyChars)) {
                first = i;
                break;
            }
        }
        while (first + count < entries.size() && StartsWithKey(index, entries[first + count], key, keyLength, keyChars)) {
            ++count;
        }
    }
    if (count == 0) return ERR_KEY_NOT_FOUND;
    position->index = static_cast<DWORD>(first + 1);
    if (matches != nullptr) *matches = static_cast<DWORD>(count);
    return NOERROR;
}

STATUS CollectionReadEntries(HCOLLECTION collection, CollectionPosition* position, DWORD maxEntries, DHANDLE* ids,
                             DWORD* count, bool* more) {
    if (ids != nullptr) *ids = NULLHANDLE;
    if (count != nullptr) *count = 0;
    if (more != nullptr) *more = false;
    if (position == nullptr || ids == nullptr || count == nullptr || more == nullptr) return ERR_BAD_ARGUMENT;
    CollectionTable& table = Collections();
    std::lock_guard<std::mutex> lock(table.mutex);
    Collection* open = FindCollection(table, collection);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const std::vector<ViewEntry>& entries = open->index.entries;

    // Positions 0 and 1 are the start (also of an empty collection); any
    // other position must name an entry.
    size_t start = position->index <= 1 ? 0 : position->index - 1;
    if (start > 0 && start >= entries.size()) return ERR_NO_SUCH_ENTRY;
    size_t take = std::min<size_t>(maxEntries, entries.size() - start);
    DHANDLE block = NULLHANDLE;
    STATUS status = MemAlloc(static_cast<DWORD>(take * sizeof(NOTEID)), MEM_GROWABLE, &block);
    if (status != NOERROR) return status;
    auto* out = static_cast<NOTEID*>(MemLock(block));
    if (out == nullptr) {
        MemFree(block);
        return ERR_INVALID_HANDLE;
    }
    for (size_t i = 0; i < take; ++i) out[i] = entries[start + i].id;
    MemUnlock(block);
    position->index = static_cast<DWORD>(start + take + 1);
    *ids = block;
    *count = static_cast<DWORD>(take);
    *more = start + take < entries.size();
    return NOERROR;
}

STATUS CollectionEntryText(HCOLLECTION collection, DWORD position, std::string* text) {
    if (text == nullptr) return ERR_BAD_ARGUMENT;
    text->clear();
    CollectionTable& table = Collections();
    std::lock_guard<std::mutex> lock(table.mutex);
    Collection* open = FindCollection(table, collection);
    if (open == nullptr) return ERR_INVALID_HANDLE;
    const std::vector<ViewEntry>& entries = open->index.entries;
    if (position == 0 || position > entries.size()) return ERR_NO_SUCH_ENTRY;
    const ViewEntry& entry = entries[position - 1];
    size_t column = entry.categoryColumn >= 0 ? static_cast<size_t>(entry.categoryColumn) : 0;
    if (entry.values != nullptr && column < entry.values->size()) *text = (*entry.values)[column].text;
    return NOERROR;
}

} // namespace plat
