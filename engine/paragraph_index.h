// The paragraph definitions of a record list, found by id in one look-up:
// made once, on first use, for the list a run walks (or a copy reads), in
// place of a walk over the list for every reference or definition.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace talix {

struct CDRecordNode;
struct ItemRecordList;

class ParagraphIndex {
public:
    explicit ParagraphIndex(const ItemRecordList* list);

    // The definition (0xFF82, at least 6 bytes) of the id nearest before
    // `from` in the list; when there is none and `after` is set, the first
    // one after it. Null when there is none (or from is null).
    const CDRecordNode* Nearest(const CDRecordNode* from, std::uint16_t id, bool after) const;

    // The same found by a walk from `from`.
    static const CDRecordNode* NearestByWalk(const CDRecordNode* from, std::uint16_t id, bool after);

    // Whether a definition met the run's criteria, when that was asked
    // before: 1 yes, 0 no, -1 not known yet.
    int Criteria(const CDRecordNode* definition) const;
    void RememberCriteria(const CDRecordNode* definition, bool met);

private:
    // The definitions of each id in list order; usable while the list's
    // indexes grow along it (then a node's index gives its place).
    std::unordered_map<std::uint16_t, std::vector<const CDRecordNode*>> byId_;
    bool ordered_ = true;
    std::unordered_map<const CDRecordNode*, bool> criteria_;
};

// The definitions of a record list by their content: what ParagraphPairEqual
// compares (the length field, and the 92-byte image without length, id and
// unused tab stops).
class ParagraphsByContent {
public:
    explicit ParagraphsByContent(const ItemRecordList* list);
    // The id of the list's first definition equal to the one given, or 0.
    std::uint16_t EqualId(const std::uint8_t* definition) const;

private:
    std::unordered_map<std::string, std::uint16_t> ids_;
};

} // namespace talix
