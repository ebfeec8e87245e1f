// Building the key cache of the matching methods (chunkops/matching_keys.h).
#include "chunkops/matching_keys.h"

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "chunkops/chunk_frame.h"
#include "core/formula_result.h"
#include "core/link_matching_cache.h"
#include "core/pool.h"
#include "core/record_forms.h"
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

// The key lists being filled and the number of keys stored. The keys of
// the current list are gathered, and the list is made whole when it is
// full or the keys end: a text list holds at most 65,535 bytes (its type
// word, count, lengths and texts).
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
        if (source_.wordBoundaries) {
            const std::uint32_t last = LastCharAt(piece, bytes);
            if (!IsLetterAt(piece, bytes) || !IsLetterAt(piece + last, bytes - last)) return;
        }
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

    // Makes the last list. Returns 0, or the platform's failure to make the
    // first list (a later list that cannot be made leaves its keys out).
    plat::STATUS Finish() {
        const plat::STATUS status = MakeList();
        if (status != plat::NOERROR && current_ > 0) {
            leftOut_ += static_cast<std::uint32_t>(pending_.size());
            cache_->keyCount = static_cast<std::uint16_t>(cache_->keyCount - pending_.size());
            return plat::NOERROR;
        }
        return status;
    }

    std::uint32_t leftOut() const { return leftOut_; }

private:
    // Type word, count, and per entry its length word.
    static constexpr std::size_t kListHead = 4;
    static constexpr std::size_t kListLimit = 0xFFFF;

    // Keeps the key for the current list, or for a new one when it is full;
    // false when all the lists are full.
    bool Store(const char* key, std::uint32_t length) {
        if (full_) return false;
        if (pendingBytes_ + 2 + length > kListLimit) {
            if (current_ + 1 >= kKeyListSlots || MakeList() != plat::NOERROR) {
                full_ = true;
                return false;
            }
            ++current_;
        }
        pending_.emplace_back(key, length);
        pendingBytes_ += 2 + length;
        return true;
    }

    // The gathered keys as the current list.
    plat::STATUS MakeList() {
        std::size_t texts = 0;
        for (const std::string& key : pending_) texts += key.size();
        void* address = nullptr;
        plat::WORD size = 0;
        plat::DHANDLE& list = cache_->keyLists[current_];
        const plat::STATUS status = plat::ListAllocate(static_cast<plat::WORD>(pending_.size()),
                                                       static_cast<plat::WORD>(texts), true, &list, &address, &size);
        if (status != plat::NOERROR) {
            list = 0;
            return status;
        }
        auto* bytes = static_cast<std::uint8_t*>(address);
        std::uint8_t* lengths = bytes + kListHead;
        std::uint8_t* text = lengths + 2 * pending_.size();
        for (const std::string& key : pending_) {
            WriteWord(lengths, static_cast<std::uint16_t>(key.size()));
            lengths += 2;
            std::memcpy(text, key.data(), key.size());
            text += key.size();
        }
        plat::MemUnlock(list);
        pending_.clear();
        pendingBytes_ = kListHead;
        return plat::NOERROR;
    }

    LinkMatchingCache* cache_;
    const KeySource& source_;
    int current_ = 0;
    std::vector<std::string> pending_;
    std::size_t pendingBytes_ = kListHead;
    bool full_ = false;
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
    status = writer.Finish();
    plat::MemUnlock(cache->noteIdTable);
    cache->noteIds = nullptr;
    if (status != plat::NOERROR) return status;
    if (writer.leftOut() > 0) {
        plat::LogLine(0, "TALIX: %s left out %u keys: the key tables hold %u", source.method,
                      static_cast<unsigned>(writer.leftOut()), static_cast<unsigned>(kMaxMatchingKeys));
    }
    return kOK;
}

} // namespace talix
