// Building the key cache of the matching methods (chunkops/matching_keys.h).
#include "chunkops/matching_keys.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "chunkops/chunk_frame.h"
#include "chunkops/link_matching_cache.h"
#include "core/formula_result.h"
#include "core/pool.h"
#include "core/session_work_area.h"
#include "core/text_search.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The separator of the values of an item read as text, and of the keys of
// one value.
constexpr char kKeySeparator = '`';
// The longest value of one document, in bytes.
constexpr std::uint32_t kMaxValueLength = kTextResultSize - 1;

bool IsLetterAt(const char* p, std::uint32_t available) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x80) return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return plat::LmbcsCharClass(reinterpret_cast<const plat::BYTE*>(p), available) == plat::CHAR_CLASS_ALPHA;
}

// The offset of the last character of a text that is not empty.
std::uint32_t LastCharAt(const char* text, std::uint32_t length) {
    std::uint32_t last = 0;
    for (std::uint32_t at = 0; at < length; at += CharLength(text + at, length - at)) last = at;
    return last;
}

// The key lists being filled and the number of keys stored.
class KeyWriter {
public:
    KeyWriter(LinkMatchingCache* cache, const KeySource& source) : cache_(cache), source_(source) {}

    // Adds one key (a piece of a value) of the note, when it is kept.
    void Add(const char* piece, std::uint32_t length, plat::NOTEID note) {
        std::uint32_t chars = 0;
        std::uint32_t bytes = 0;
        while (bytes < length && chars < kMaxKeyLength) {
            bytes += CharLength(piece + bytes, length - bytes);
            ++chars;
        }
        if (chars < source_.minLength) return;
        if (source_.wordBoundaries &&
            (!IsLetterAt(piece, bytes) || !IsLetterAt(piece + LastCharAt(piece, bytes), bytes - LastCharAt(piece, bytes))))
            return;
        if (cache_->keyCount >= kMaxMatchingKeys || !Store(piece, bytes)) {
            ++leftOut_;
            return;
        }
        const std::uint16_t number = cache_->keyCount;
        const auto first = static_cast<unsigned char>(piece[0]);
        if ((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))
            cache_->keyFirstLetters[number] = static_cast<std::uint8_t>(first | 0x20);
        cache_->noteIds[number] = note;
        ++cache_->keyCount;
        if (cache_->shortestKeyLength == 0 || bytes < cache_->shortestKeyLength)
            cache_->shortestKeyLength = static_cast<std::uint16_t>(bytes);
    }

    std::uint32_t leftOut() const { return leftOut_; }

    // The first list; false (with the platform's status) when it cannot be had.
    plat::STATUS Start() { return plat::ListAllocate(0, 0, true, &cache_->keyLists[0], nullptr, &size_); }

private:
    // Adds the key to the current list, or to a new one when it is full;
    // false when all the lists are full.
    bool Store(const char* key, std::uint32_t length) {
        if (plat::ListAddEntry(cache_->keyLists[current_], true, &size_, 0xFFFF, key,
                               static_cast<plat::WORD>(length)) == plat::NOERROR)
            return true;
        if (current_ + 1 >= kKeyListSlots) return false;
        plat::WORD size = 0;
        if (plat::ListAllocate(0, 0, true, &cache_->keyLists[current_ + 1], nullptr, &size) != plat::NOERROR)
            return false;
        ++current_;
        size_ = size;
        return plat::ListAddEntry(cache_->keyLists[current_], true, &size_, 0xFFFF, key,
                                  static_cast<plat::WORD>(length)) == plat::NOERROR;
    }

    LinkMatchingCache* cache_;
    const KeySource& source_;
    int current_ = 0;
    plat::WORD size_ = 0;
    std::uint32_t leftOut_ = 0;
};

// The value of one note: the item as text (its values separated by
// back-quotes) or the key formula's result as text. Empty when there is
// none.
void ReadValue(plat::NOTEHANDLE note, const KeySource& source, std::vector<char>* buffer, std::string* formula,
               const char** value, std::uint32_t* length) {
    *value = "";
    *length = 0;
    if (source.keyFormula == 0) {
        *length = plat::ItemConvertToText(note, source.itemName, buffer->data(),
                                          static_cast<plat::WORD>(buffer->size()), kKeySeparator);
        *value = buffer->data();
        return;
    }
    plat::DHANDLE result = 0;
    plat::WORD resultLength = 0;
    formula->clear();
    if (plat::ComputeEvaluate(source.keyFormula, note, &result, &resultLength) != plat::NOERROR) return;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::MemLock(result));
    if (bytes != nullptr) {
        *formula = FormulaResultText(bytes, resultLength, kMaxValueLength);
        plat::MemUnlock(result);
    }
    plat::MemFree(result);
    *value = formula->data();
    *length = static_cast<std::uint32_t>(formula->size());
}

// Splits a value at runs of back-quotes and adds its pieces.
void AddValue(const char* value, std::uint32_t length, plat::NOTEID note, KeyWriter* writer) {
    std::uint32_t start = 0;
    std::uint32_t at = 0;
    while (at <= length) {
        if (at == length || value[at] == kKeySeparator) {
            if (at > start) writer->Add(value + start, at - start, note);
            start = at + 1;
            if (at == length) break;
            ++at;
            continue;
        }
        at += CharLength(value + at, length - at);
    }
}

} // namespace

void DropMatchingKeys(LinkMatchingCache* cache) {
    if (cache == nullptr) return;
    for (plat::DHANDLE& list : cache->keyLists) {
        if (list != 0) plat::MemFree(list);
        list = 0;
    }
    if (cache->noteIdTable != 0) plat::MemFree(cache->noteIdTable);
    cache->noteIdTable = 0;
    cache->noteIds = nullptr;
    cache->keyCount = 0;
    cache->shortestKeyLength = 0;
}

STATUS BuildMatchingKeys(RARIvoSession* session, plat::DBHANDLE db, const plat::NOTEID* ids, std::uint32_t count,
                         const KeySource& source) {
    SessionWorkArea* area = session->workArea;
    if (area->linkMatching == nullptr) {
        area->linkMatching = new (std::nothrow) LinkMatchingCache();
        if (area->linkMatching == nullptr) return kOutOfMemory;
        area->linkMatching->session = session;
    }
    LinkMatchingCache* cache = area->linkMatching;
    DropMatchingKeys(cache);
    if (cache->keyFirstLetters == nullptr) {
        cache->keyFirstLetters =
            static_cast<std::uint8_t*>(QuorbelAllocate(session, __LINE__, kChunkMethodsTag, kMaxMatchingKeys, 1));
        if (cache->keyFirstLetters == nullptr) return kOutOfMemory;
    } else {
        std::memset(cache->keyFirstLetters, 0, kMaxMatchingKeys);
    }
    STATUS status = plat::MemAlloc(kNoteIdTableSize, plat::MEM_GROWABLE, &cache->noteIdTable);
    if (status != plat::NOERROR) return status;
    cache->noteIds = static_cast<plat::NOTEID*>(plat::MemLock(cache->noteIdTable));
    if (cache->noteIds == nullptr) return kOutOfMemory;
    std::memset(cache->noteIds, 0, kNoteIdTableSize);

    KeyWriter writer(cache, source);
    status = writer.Start();
    if (status != plat::NOERROR) {
        plat::MemUnlock(cache->noteIdTable);
        cache->noteIds = nullptr;
        return status;
    }

    // One value buffer for every note, as large as the longest value.
    std::vector<char> buffer(kMaxValueLength + 1);
    std::string formulaValue;
    std::unordered_set<plat::NOTEID> seen;
    if (count > kMaxMatchingKeys) count = kMaxMatchingKeys;
    seen.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const plat::NOTEID id = ids[i];
        if (!seen.insert(id).second) continue;
        plat::NOTEHANDLE note = 0;
        if (plat::NoteOpen(db, id, plat::OPEN_NOTE_DEFAULT, &note) != plat::NOERROR) continue;
        const char* value = nullptr;
        std::uint32_t length = 0;
        ReadValue(note, source, &buffer, &formulaValue, &value, &length);
        if (length > 0 && CountChars(value, length) >= source.minLength) AddValue(value, length, id, &writer);
        plat::NoteClose(note);
    }
    plat::MemUnlock(cache->noteIdTable);
    cache->noteIds = nullptr;
    if (writer.leftOut() > 0) {
        plat::LogLine(0, "TALIX: %s left out %u keys: the key tables hold %u", source.method,
                      static_cast<unsigned>(writer.leftOut()), static_cast<unsigned>(kMaxMatchingKeys));
    }
    return kOK;
}

} // namespace talix
