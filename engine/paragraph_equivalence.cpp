#include "engine/paragraph_equivalence.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <new>
#include <string>

#include "core/paragraph_def.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "engine/generation_state.h"
#include "engine/record_process.h"

namespace talix {

namespace {

constexpr std::uint16_t kExtensionBits = 0xFC, kListFlags = 0x1400, kListFlags2 = 0x3802;
constexpr std::uint16_t kAgreeingFlags = 0xEA70, kHiddenFlag = 0x0800, kOffsetBelowInch = 0x0100;
constexpr std::int16_t kInch = 1440;
constexpr std::uint16_t kLeftOffsetBit = 0x04;
constexpr std::uint32_t kLeftOffsetAt = 72;

struct Definition {
    std::uint8_t bytes[kParagraphImageSize] = {};
    std::uint32_t length = 0;
    std::uint16_t Word(std::uint32_t offset) const { return ReadWord(bytes + offset); }
    std::int16_t Signed(std::uint32_t offset) const { return static_cast<std::int16_t>(Word(offset)); }
};

bool NotPositive(std::int16_t a, std::int16_t b) { return a <= 0 && b <= 0; }
bool FreeFirstLine(std::int16_t v) { return v <= 0 || v == kInch; }
bool SmallPercent(std::int16_t v) { return v >= 1 && v <= 99; }

// Whether the extension words of two definitions longer than the fixed part
// agree well enough, bit by bit of their extension flags.
bool ExtensionsAgree(const Definition& a, const Definition& b, std::uint16_t extension) {
    auto differs = [&](std::uint32_t offset) { return a.Word(offset) != b.Word(offset); };
    if ((extension & kLeftOffsetBit) != 0 && differs(kLeftOffsetAt)) {
        const bool sameBit = (a.Word(kPabFlags2At) & kOffsetBelowInch) == (b.Word(kPabFlags2At) & kOffsetBelowInch);
        if (!sameBit || a.Signed(kLeftOffsetAt) >= kInch || b.Signed(kLeftOffsetAt) >= kInch) return false;
    }
    for (const auto& [bit, offset] : {std::pair{0x08, 74u}, std::pair{0x20, 78u}, std::pair{0x40, 80u}}) {
        if ((extension & bit) != 0 && differs(offset) && !NotPositive(a.Signed(offset), b.Signed(offset)))
            return false;
    }
    if ((extension & 0x10) != 0 && differs(76)) {
        if (!FreeFirstLine(a.Signed(76)) || !FreeFirstLine(b.Signed(76))) return false;
    }
    if ((extension & 0x80) != 0 && differs(82)) {
        if (SmallPercent(a.Signed(82)) || SmallPercent(b.Signed(82))) return false;
    }
    return true;
}

bool Equivalent(const Definition& a, const Definition& b, bool flagsAgree) {
    if (a.Word(kPabIdAt) == b.Word(kPabIdAt) || a.length != b.length) return false;
    const std::uint16_t extension = a.Word(kPabFlags2At) & kExtensionBits;
    if (extension != (b.Word(kPabFlags2At) & kExtensionBits)) return false;
    const std::uint16_t list = a.Word(kPabFlagsAt) & kListFlags;
    const std::uint16_t list2 = a.Word(kPabFlags2At) & kListFlags2;
    if (list != (b.Word(kPabFlagsAt) & kListFlags) || list2 != (b.Word(kPabFlags2At) & kListFlags2)) return false;
    if (extension != 0) {
        for (std::uint32_t offset : {kPabLeftMarginAt, kPabRightMarginAt, kPabFirstLineMarginAt})
            if (a.Word(offset) != b.Word(offset)) return false;
    }
    if (list == 0 && list2 == 0) {
        for (std::uint32_t offset : {kPabLineSpacingAt, kPabSpacingBeforeAt, kPabSpacingAfterAt})
            if (a.Word(offset) != b.Word(offset)) return false;
    }
    if (flagsAgree) {
        if ((a.Word(kPabFlagsAt) & kAgreeingFlags) != (b.Word(kPabFlagsAt) & kAgreeingFlags)) return false;
        if (((a.Word(kPabFlagsAt) | b.Word(kPabFlagsAt)) & kHiddenFlag) != 0) return false;
    }
    if (a.Word(kPabJustifyAt) != b.Word(kPabJustifyAt)) return false;
    if (a.length > kParagraphDefinitionFixedLength && !ExtensionsAgree(a, b, extension)) return false;
    return true;
}

// Appends a word to a key.
void Put(std::string* key, std::uint32_t value) { key->append(reinterpret_cast<const char*>(&value), sizeof value); }

// What two equivalent definitions share exactly: every field they must
// hold equal, and each extension word (but the left offset) reduced to the
// class of values within which it may differ. Definitions of different
// keys are never equivalent; of one key, they are unless their ids are
// equal or their left offsets disagree.
std::string SharedKey(const Definition& d, bool flagsAgree) {
    std::string key;
    const std::uint16_t extension = d.Word(kPabFlags2At) & kExtensionBits;
    const std::uint16_t list = d.Word(kPabFlagsAt) & kListFlags;
    const std::uint16_t list2 = d.Word(kPabFlags2At) & kListFlags2;
    Put(&key, d.length);
    Put(&key, extension);
    Put(&key, list);
    Put(&key, list2);
    if (extension != 0) {
        for (std::uint32_t offset : {kPabLeftMarginAt, kPabRightMarginAt, kPabFirstLineMarginAt})
            Put(&key, d.Word(offset));
    }
    if (list == 0 && list2 == 0) {
        for (std::uint32_t offset : {kPabLineSpacingAt, kPabSpacingBeforeAt, kPabSpacingAfterAt})
            Put(&key, d.Word(offset));
    }
    if (flagsAgree) Put(&key, d.Word(kPabFlagsAt) & kAgreeingFlags);
    Put(&key, d.Word(kPabJustifyAt));
    if (d.length > kParagraphDefinitionFixedLength) {
        // A value outside the words' range stands for "any of the class";
        // a word whose extension bit is clear is not compared at all.
        constexpr std::uint32_t kAny = 0x10000;
        for (const auto& [bit, offset] : {std::pair{0x08, 74u}, std::pair{0x20, 78u}, std::pair{0x40, 80u}})
            Put(&key, (extension & bit) == 0 || d.Signed(offset) <= 0 ? kAny : d.Word(offset));
        Put(&key, (extension & 0x10) == 0 || FreeFirstLine(d.Signed(76)) ? kAny : d.Word(76));
        Put(&key, (extension & 0x80) != 0 && SmallPercent(d.Signed(82)) ? d.Word(82) : kAny);
    }
    return key;
}

// The earliest definitions of a group, enough to find the earliest one of
// an id other than a given one.
struct Earliest {
    std::size_t first = 0, other = 0;   // positions + 1; 0: none
    std::uint16_t firstId = 0;

    void Add(std::size_t position, std::uint16_t id) {
        if (first == 0) {
            first = position + 1;
            firstId = id;
        } else if (other == 0 && id != firstId) {
            other = position + 1;
        }
    }
    // Position + 1 of the earliest member whose id is not the id, or 0.
    std::size_t Before(std::uint16_t id) const { return firstId != id ? first : other; }
};

// The earliest definition each definition is equivalent to (position + 1,
// 0 for none). Within a group of one shared key the definitions agree but
// for the left offset: the equal offsets agree, and offsets below an inch
// with the same below-an-inch bit.
std::vector<std::size_t> EarliestEquivalents(const std::vector<Definition>& definitions, bool flagsAgree) {
    std::vector<std::size_t> earliest(definitions.size(), 0);
    std::map<std::string, Earliest> groups;
    for (std::size_t j = 0; j < definitions.size(); ++j) {
        const Definition& d = definitions[j];
        if (flagsAgree && (d.Word(kPabFlagsAt) & kHiddenFlag) != 0) continue;
        const std::uint16_t id = d.Word(kPabIdAt);
        const std::string shared = SharedKey(d, flagsAgree);
        std::string keys[2] = {shared, {}};
        const bool offsets = d.length > kParagraphDefinitionFixedLength &&
                             ((d.Word(kPabFlags2At) & kExtensionBits) & kLeftOffsetBit) != 0;
        if (offsets) {
            keys[0].push_back('=');
            Put(&keys[0], d.Word(kLeftOffsetAt));
            if (d.Signed(kLeftOffsetAt) < kInch) {
                keys[1] = shared + '<';
                Put(&keys[1], d.Word(kPabFlags2At) & kOffsetBelowInch);
            }
        }
        std::size_t best = 0;
        for (const std::string& key : keys) {
            if (key.empty()) continue;
            Earliest& group = groups[key];
            const std::size_t before = group.Before(id);
            if (before != 0 && (best == 0 || before < best)) best = before;
            group.Add(j, id);
        }
        // The groups stand for the comparison itself, which confirms them.
        if (best != 0 && Equivalent(definitions[best - 1], d, flagsAgree)) earliest[j] = best;
    }
    return earliest;
}

} // namespace

void ReleasePabRemap(GenerationWalkState* generation) {
    if (generation == nullptr) return;
    delete generation->remap;
    generation->remap = nullptr;
}

std::uint16_t RemappedPabId(const GenerationWalkState* generation, std::uint16_t id) {
    if (generation == nullptr || generation->remap == nullptr) return id;
    const auto found = generation->remap->to.find(id);
    return found != generation->remap->to.end() ? found->second : id;
}

void CollectPabDefinitions(RecordProcessContext* context, GenerationWalkState* generation) {
    if (generation == nullptr) return;
    ReleasePabRemap(generation);
    if (context == nullptr || context->records == nullptr) return;

    std::vector<Definition> definitions;
    for (const CDRecordNode* node = context->records->head; node != nullptr; node = node->next) {
        if (node->signature != kSigPabDefinition || node->bytes == nullptr) continue;
        Definition& definition = definitions.emplace_back();
        definition.length = node->length;
        const std::uint32_t copied = node->length < kParagraphImageSize ? node->length : kParagraphImageSize;
        std::memcpy(definition.bytes, node->bytes, copied);
    }
    const bool flagsAgree = (generation->options & kGenParagraphFlagsAgree) != 0;
    const std::vector<std::size_t> earliest = EarliestEquivalents(definitions, flagsAgree);

    // Comparing every earlier definition i with every later one j, in that
    // order, the first pair met for an id decides where it maps: for each
    // id, the least i (then the least j) among its definitions.
    struct Pair {
        std::size_t earlier, later;
    };
    std::unordered_map<std::uint16_t, Pair> first;
    for (std::size_t j = 0; j < definitions.size(); ++j) {
        if (earliest[j] == 0) continue;
        const Pair pair{earliest[j] - 1, j};
        const auto [at, added] = first.try_emplace(definitions[j].Word(kPabIdAt), pair);
        if (!added && pair.earlier < at->second.earlier) at->second = pair;
    }
    if (first.empty()) return;
    std::vector<Pair> ordered;
    ordered.reserve(first.size());
    for (const auto& [id, pair] : first) ordered.push_back(pair);
    std::sort(ordered.begin(), ordered.end(), [](const Pair& a, const Pair& b) {
        return a.earlier != b.earlier ? a.earlier < b.earlier : a.later < b.later;
    });
    auto* remap = new (std::nothrow) PabRemap();
    if (remap == nullptr) return;
    remap->pairs.reserve(ordered.size());
    for (const Pair& pair : ordered) {
        const std::uint16_t from = definitions[pair.later].Word(kPabIdAt);
        const std::uint16_t to = definitions[pair.earlier].Word(kPabIdAt);
        remap->pairs.emplace_back(from, to);
        remap->to.emplace(from, to);
    }
    generation->remap = remap;
}

} // namespace talix
