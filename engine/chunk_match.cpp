// Chunk matching. For each record of the walk the engine asks, level by
// level, whether the record starts an element of the level's type (and
// whether the occurrence list selects it) and whether it ends the element
// that is open. The answers come from the chunk-type table; every field is
// read within the record's length.
#include "engine/chunk_match.h"

#include <algorithm>
#include <cstring>

#include "core/brackets.h"
#include "core/chunk_type_table.h"
#include "core/chunk_types.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "core/text_search.h"
#include "engine/record_process.h"

namespace talix {

namespace {

// Records looked at when searching ahead for a text run or a wrapped record.
constexpr int kLookAheadLimit = 4096;

bool IsTextLike(std::uint16_t type) {
    return type == 9 || type == 10 || type == 22 || type == 25 || type == 26 || type == 35 || type == 37;
}
bool HasEndMarkers(std::uint16_t type) { return type == 22 || type == 25 || type == 26 || type == 37; }
bool IsParagraphType(std::uint16_t type) { return type == 21 || type == 36; }
bool IsTextRun(std::uint16_t signature) { return signature == kSigText || signature == kSigBidiText; }

// A table's prelude or begin record, or a BEGIN wrapping one.
bool OpensTable(std::uint16_t signature, const std::uint8_t* record, std::uint32_t length) {
    if (signature == kSigBegin) signature = BracketedSignature(record, length);
    return signature == kSigPreTableBegin || IsTableBeginRecord(signature);
}

bool InList(const std::uint16_t* list, int count, std::uint16_t signature) {
    if (signature == 0) return false;
    for (int i = 0; i < count; ++i) {
        if (list[i] == signature) return true;
    }
    return false;
}

std::uint16_t ReadWord(const std::uint8_t* record, std::uint32_t length, std::uint32_t offset, bool* ok) {
    if (record == nullptr || offset + 2 > length) {
        *ok = false;
        return 0;
    }
    return static_cast<std::uint16_t>(record[offset] | record[offset + 1] << 8);
}

std::uint32_t ReadDword(const std::uint8_t* record, std::uint32_t length, std::uint32_t offset, bool* ok) {
    if (record == nullptr || offset + 4 > length) {
        *ok = false;
        return 0;
    }
    return static_cast<std::uint32_t>(record[offset]) | static_cast<std::uint32_t>(record[offset + 1]) << 8 |
           static_cast<std::uint32_t>(record[offset + 2]) << 16 | static_cast<std::uint32_t>(record[offset + 3]) << 24;
}

// The first record of the given signature inside the BEGIN group that
// starts at node (with ownLevel, not inside a group nested in it), or null.
const CDRecordNode* WrappedRecord(const CDRecordNode* begin, std::uint16_t signature, bool ownLevel = false) {
    int depth = 0;
    int looked = 0;
    for (const CDRecordNode* node = begin != nullptr ? begin->next : nullptr; node != nullptr && looked < kLookAheadLimit;
         node = node->next, ++looked) {
        if (node->signature == kSigBegin) {
            ++depth;
        } else if (node->signature == kSigEnd) {
            if (depth == 0) return nullptr;
            --depth;
        } else if (node->signature == signature && (!ownLevel || depth == 0)) {
            return node;
        }
    }
    return nullptr;
}

// The first text run (0xFF85) longer than its header from node on.
const CDRecordNode* NextNonEmptyTextRun(const CDRecordNode* node) {
    for (int looked = 0; node != nullptr && looked < kLookAheadLimit; node = node->next, ++looked) {
        if (node->signature == kSigText && node->length > kTextRunHeader) return node;
    }
    return nullptr;
}

// The first text run (0xFF85 or 0xFFE4) after node.
const CDRecordNode* FollowingTextRun(const CDRecordNode* node) {
    int looked = 0;
    for (node = node != nullptr ? node->next : nullptr; node != nullptr && looked < kLookAheadLimit;
         node = node->next, ++looked) {
        if (IsTextRun(node->signature)) return node;
    }
    return nullptr;
}

// The text run a record stands for: itself, the run a BEGIN wraps, or the
// run that follows a text effect.
const CDRecordNode* OwnTextRun(const CDRecordNode* node) {
    if (node == nullptr) return nullptr;
    if (IsTextRun(node->signature)) return node;
    if (node->signature == kSigBegin) {
        std::uint16_t inner = BracketedSignature(node);
        return IsTextRun(inner) ? WrappedRecord(node, inner) : nullptr;
    }
    if (node->signature == kSigTextEffect) return FollowingTextRun(node);
    return nullptr;
}

// Whether a match text holds a character outside ASCII (a byte of 0x80 or
// above, or a group byte of the platform's character set).
bool BeyondAscii(const char* match) {
    for (const char* p = match; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        if (byte >= 0x80 || byte < 0x20) return true;
    }
    return false;
}

// A match text with letters outside ASCII is compared through the
// platform's collation, which knows their cases: in either case, accents
// kept.
bool CollatedTextMatches(std::uint16_t kind, const char* text, std::uint32_t length, const char* match) {
    const std::size_t matchLength = std::strlen(match);
    // A text run holds less than 64 KB.
    if (length > 0xFFFF || matchLength > 0xFFFF) return false;
    const auto textLength = static_cast<std::uint16_t>(length);
    const auto patternLength = static_cast<std::uint16_t>(matchLength);
    switch (kind) {
    case kMatchExact:
        return FindTextWildcardToEnd(text, textLength, match, patternLength, 0, 1, 0, 0, true, nullptr) == 0;
    case kMatchStarts:
        return FindTextWildcard(text, textLength, match, patternLength, 0, 1, 0, 0, nullptr) == 0;
    case kMatchEnds:
        return FindTextWildcardToEnd(text, textLength, match, patternLength, 0, 1, 0, 0, false, nullptr) >= 0;
    case kMatchSubstring:
        return FindTextWildcard(text, textLength, match, patternLength, 0, 1, 0, 0, nullptr) >= 0;
    default:
        return false;
    }
}

// Compares a run's text with the level's match text by the level's kind,
// ignoring case.
bool TextMatches(const ChunkDefInfo* level, const char* text, std::uint32_t length) {
    const char* match = level->matchText;
    if (BeyondAscii(match)) return CollatedTextMatches(level->matchKind, text, length, match);
    switch (level->matchKind) {
    case kMatchExact:
        return std::strlen(match) == length && CompareNamesNoCase(text, match, length) == 0;
    case kMatchStarts:
        return StartsWithNoCase(text, length, match);
    case kMatchEnds:
        return EndsWithNoCase(text, length, match);
    case kMatchSubstring:
        return ContainsNoCase(text, length, match);
    default:
        return false;
    }
}

// The named-element record of a BEGIN group itself (not of a group nested
// in it); null when the group has none.
const CDRecordNode* GroupNamedRecord(const CDRecordNode* begin) {
    const CDRecordNode* named = WrappedRecord(begin, kSigIdName, true);
    return named != nullptr && named->bytes != nullptr ? named : nullptr;
}

// Kinds 6 and 7: the id (first text) or the name (last text) of a
// named-element record compared with the match text.
bool NameMatches(const ChunkDefInfo* level, const std::uint8_t* record, std::uint32_t length) {
    if (length < kIdNameFixedLength) return false;
    std::uint32_t lengths[6];
    std::uint32_t total = 0;
    bool ok = true;
    for (int i = 0; i < 6; ++i) {
        lengths[i] = ReadWord(record, length, 4 + 2 * i, &ok);
        total += lengths[i];
    }
    if (!ok || kIdNameFixedLength + total > length) return false;
    std::uint32_t offset = kIdNameFixedLength;
    std::uint32_t size = lengths[0];
    if (level->matchKind == kMatchName) {
        offset = kIdNameFixedLength + total - lengths[5];
        size = lengths[5];
    }
    return std::strlen(level->matchText) == size &&
           CompareNamesNoCase(reinterpret_cast<const char*>(record + offset), level->matchText, size) == 0;
}

// NonBlankText: the next text run must come before the end of the cell,
// hotspot or paragraph it is in, and must not be empty.
bool NextTextIsNotBlank(const CDRecordNode* node) {
    for (int looked = 0; node != nullptr && looked < kLookAheadLimit; node = node->next, ++looked) {
        std::uint16_t s = node->signature;
        if (IsTextRun(s)) return node->length > kTextRunHeader;
        if (IsCellRecord(s) || s == kSigHotspotEnd || s == kSigV4HotspotEnd || s == kSigV5HotspotEnd ||
            s == kSigPabReference) {
            return false;
        }
    }
    return false;
}

// Whether the end of an element may be taken here, given the walk's
// counters when it started: a table ends only when its own table closes, a
// hotspot or layer only when its own nesting closes.
bool OwnNestingClosed(const ChunkDefInfo* level, std::uint16_t type, const RecordProcessContext* context) {
    const LevelWalkState& walk = level->walk;
    if (type == kTypeTable) {
        return context->tableNesting < static_cast<std::int32_t>(walk.words[kWalkTableNesting]);
    }
    if (type == 29) return context->layerNesting < static_cast<std::int32_t>(walk.words[kWalkLayerNesting]);
    const ChunkTypeRow* row = GetChunkTypeRow(type);
    if (row != nullptr && InList(row->start, 4, kSigV4HotspotBegin)) {
        return context->hotspotNesting < static_cast<std::int32_t>(walk.words[kWalkHotspotNesting]);
    }
    return true;
}

// Reports the end of an element: Row and Column always (their selection is
// their position), other types only when their occurrence is selected;
// *counted tells the walk that an element it does not select ended.
std::uint32_t ReportEnd(const ChunkDefInfo* level, const ChunkTypeRow* row, std::uint32_t* counted) {
    if (row->positionField != 0) {
        *counted = 0;
        return 1;
    }
    *counted = 1;
    return OccurrenceSelected(level, level->walk.words[kWalkOccurrence]) ? 1 : 0;
}

} // namespace

std::uint32_t RecordedTableNesting(const ChunkDefInfo* level, const RecordProcessContext* context) {
    const ChunkDefInfo* outer = WalkPrevious(level);
    if (outer == nullptr) return static_cast<std::uint32_t>(context->tableNesting);
    return outer->walk.words[kWalkTableNesting];
}

bool OccurrenceSelected(const ChunkDefInfo* level, std::uint32_t n) {
    if (level->occurrenceCount == 0) return true;
    int count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
    for (int i = 0; i < count; ++i) {
        std::uint32_t start = level->occurrenceStart[i];
        std::uint32_t end = level->occurrenceEnd[i];
        if (n == start) return true;
        if (end > start && n >= start && n <= end) return true;
    }
    return false;
}

bool NothingLeftToSelect(const ChunkDefInfo* level) {
    if (level->relation != kRelPlain || level->occurrenceCount == 0) return false;
    const LevelWalkState& walk = level->walk;
    if (walk.words[kWalkArmed] == 0 || walk.words[kWalkElementOpen] != 0) return false;
    const int count = level->occurrenceCount > kMaxOccurrences ? kMaxOccurrences : level->occurrenceCount;
    std::uint32_t highest = 0;
    for (int i = 0; i < count; ++i) {
        highest = std::max<std::uint32_t>(highest, level->occurrenceStart[i]);
        highest = std::max<std::uint32_t>(highest, level->occurrenceEnd[i]);
    }
    return walk.words[kWalkOccurrence] >= highest;
}

bool IsMemberSignature(std::uint16_t type, std::uint16_t signature) {
    const ChunkTypeRow* row = GetChunkTypeRow(type);
    return row != nullptr && InList(row->members, 7, signature);
}

std::uint32_t MatchChunkStart(ChunkDefInfo* level, const std::uint8_t* record, std::uint16_t signature,
                              std::uint32_t length, std::uint16_t previousSignature, std::uint32_t* single,
                              RecordProcessContext* context) {
    LevelWalkState& walk = level->walk;
    *single = 0;
    walk.words[kWalkCounted] = 0;
    const std::uint16_t type = level->elementType;
    const ChunkTypeRow* row = GetChunkTypeRow(type);
    if (row == nullptr) return 0;
    const CDRecordNode* node = context->node;

    // A hotspot begin right after a V4 hotspot begin belongs to it.
    if (signature == kSigHotspotBegin && previousSignature == kSigV4HotspotBegin) return 0;

    if (IsParagraphType(type)) {
        if (signature == kSigPabReference &&
            (previousSignature == kSigPabHide || previousSignature == kSigParagraph ||
             previousSignature == kSigPabDefinition)) {
            return 0;
        }
        if (signature == kSigPabDefinition &&
            (previousSignature == kSigParagraph || node == nullptr || node->next == nullptr ||
             node->next->signature == kSigStyleName)) {
            return 0;
        }
        if (context->region != 0 && signature != kSigLargeParagraph) return 0;
    }

    // Text that continues a run after a text effect starts nothing.
    if (IsTextLike(type) && (previousSignature == kSigBidiTextEffect || previousSignature == kSigTextEffect)) {
        if (IsTextRun(signature) || (signature == kSigBegin && IsTextRun(BracketedSignature(record, length)))) return 0;
    }

    if (type == 35 && !NextTextIsNotBlank(node)) return 0;

    if (type == kTypeTable && (signature == kSigTableBegin || signature == kSigNestedTableBegin) &&
        context->inTablePrelude != 0) {
        return 0;
    }

    // The record examined from here on: for a BEGIN, the record it wraps.
    const std::uint8_t* examined = record;
    std::uint32_t examinedLength = length;
    std::uint16_t examinedSignature = signature;
    const CDRecordNode* examinedNode = node;
    if (signature == kSigBegin) {
        std::uint16_t inner = BracketedSignature(record, length);
        if (level->relation != kRelInside && !InList(row->wrapper, 3, inner)) return 0;
        examinedNode = WrappedRecord(node, inner);
        // A file hotspot is written as a hotspot begin (0xFFA9) in a group
        // whose BEGIN names the other hotspot begin (0xFFAD): the hotspot
        // the group holds is the one examined.
        if (examinedNode == nullptr && (inner == kSigV4HotspotBegin || inner == kSigHotspotBegin))
            examinedNode = WrappedRecord(node, inner == kSigV4HotspotBegin ? kSigHotspotBegin : kSigV4HotspotBegin);
        examinedSignature = inner;
        examined = examinedNode != nullptr ? examinedNode->bytes : nullptr;
        examinedLength = examinedNode != nullptr ? examinedNode->length : 0;
    }

    // Inside an element that has started: the first record that is not one
    // of the element's own records begins its inside.
    if (level->relation == kRelInside && walk.words[kWalkWaiting] != 0) {
        std::uint16_t own = (signature == kSigBegin || signature == kSigEnd) ? BracketedSignature(record, length)
                                                                             : signature;
        if (IsMemberSignature(type, own)) return 0;
        if (context->beginDepth > 0) {
            std::uint16_t open = context->beginStack[context->beginDepth - 1];
            if (IsMemberSignature(type, open) && !InList(row->start, 4, open)) return 0;
        }
        return 1;
    }

    // Inside a BEGIN group that wraps a start record, the wrapper counted.
    if (signature != kSigBegin && context->beginDepth > 0 &&
        InList(row->start, 4, context->beginStack[context->beginDepth - 1])) {
        return 0;
    }

    if (type != 12) {
        bool starts = InList(row->start, 4, examinedSignature);
        if (IsParagraphType(type)) {
            // The item's first record opens its first paragraph, unless it
            // opens a table: a paragraph would end there at once, holding
            // nothing, and take the number of the first cell's paragraph.
            if (node != nullptr && node->prev == nullptr && !OpensTable(signature, record, length)) starts = true;
            if (context->region != 0 && signature == kSigLargeParagraph) starts = true;
        }
        if (!starts) return 0;
    }
    if (row->positionField != 0) {
        if (!IsCellRecord(signature)) return 0;
        if (static_cast<std::uint32_t>(context->tableNesting) != RecordedTableNesting(level, context)) return 0;
    }

    // Sub-kinds and flags of the start record.
    bool ok = true;
    if (row->subKindCount != 0) {
        std::uint16_t kind = ReadWord(examined, examinedLength, row->subKindOffset, &ok);
        if (!ok || !InList(row->subKinds, row->subKindCount, kind)) return 0;
    }
    if (row->excludedCount != 0) {
        std::uint32_t flags = ReadDword(examined, examinedLength, row->excludedOffset, &ok);
        if (!ok) return 0;
        for (int i = 0; i < row->excludedCount; ++i) {
            if ((flags & row->excluded[i]) != 0) return 0;
        }
    }
    if (row->requiredCount != 0) {
        std::uint32_t flags = ReadDword(examined, examinedLength, row->requiredOffset, &ok);
        if (!ok) return 0;
        bool any = false;
        for (int i = 0; i < row->requiredCount; ++i) any = any || (flags & row->required[i]) != 0;
        if (!any) return 0;
    }
    if (type == 17) {
        std::uint32_t flags = ReadDword(examined, examinedLength, 8, &ok);
        if (!ok || (flags & (0x10u | 0x100u)) != 0) return 0;
    }

    // Match text and start markers.
    const bool hasText = level->hasMatchText != 0 && level->matchText != nullptr && level->matchKind != kMatchNone;
    if (hasText && (level->matchKind == kMatchId || level->matchKind == kMatchName)) {
        // An element in a BEGIN group (a table, a layer) holds its id and
        // name in the group's first named-element record.
        const CDRecordNode* named = signature == kSigBegin && node != nullptr ? GroupNamedRecord(node) : nullptr;
        if (named != nullptr) {
            if (!NameMatches(level, named->bytes, named->length)) return 0;
        } else {
            if (signature != kSigIdName && signature != kSigTableCellIdName) return 0;
            if (!NameMatches(level, record, length)) return 0;
        }
    } else if (hasText || row->markers[0] != nullptr) {
        const CDRecordNode* run = (type == 9 || (!hasText && row->markers[0] != nullptr)) ? OwnTextRun(node)
                                                                                         : NextNonEmptyTextRun(node);
        if (run == nullptr || run->length < kTextRunHeader) return 0;
        const char* text = reinterpret_cast<const char*>(run->bytes + kTextRunHeader);
        std::uint32_t textLength = run->length - kTextRunHeader;
        if (hasText) {
            if (!TextMatches(level, text, textLength)) return 0;
        } else {
            // Either of the two start markers opens the element.
            bool marked = StartsWithNoCase(text, textLength, row->markers[0]) ||
                          (row->markers[1] != nullptr && StartsWithNoCase(text, textLength, row->markers[1]));
            if (!marked) return 0;
        }
    }

    // Count the element and test the occurrence list.
    if (row->positionField != 0) {
        walk.words[kWalkOccurrence] = static_cast<std::uint32_t>(record[row->positionField]) + 1;
    } else {
        walk.words[kWalkOccurrence] += 1;
    }
    walk.words[kWalkCounted] = 1;

    if (signature == kSigBegin) {
        *single = 0;
    } else if (IsTextLike(type) && signature == kSigTextEffect) {
        *single = 0;
    } else {
        *single = row->single;
    }
    if (type == 10) {
        const CDRecordNode* run = OwnTextRun(examinedNode);
        if (run != nullptr) walk.words[kWalkFont] = ReadDword(run->bytes, run->length, 4, &ok);
    }
    return OccurrenceSelected(level, walk.words[kWalkOccurrence]) ? 1 : 0;
}

std::uint32_t MatchChunkEnd(ChunkDefInfo* level, const std::uint8_t* record, std::uint16_t signature,
                            std::uint32_t length, std::uint16_t previousSignature, std::uint32_t* counted,
                            std::uint32_t* endKept, std::uint32_t inFlag, RecordProcessContext* context) {
    *counted = 0;
    *endKept = 0;
    const std::uint16_t type = level->elementType;
    const ChunkTypeRow* row = GetChunkTypeRow(type);
    if (row == nullptr || type == 12) return 0;
    const LevelWalkState& walk = level->walk;
    const CDRecordNode* node = context->node;

    if (signature == kSigHotspotBegin && previousSignature == kSigV4HotspotBegin) return 0;

    if (HasEndMarkers(type)) {
        const CDRecordNode* run = OwnTextRun(node);
        if (run == nullptr) return 0;
        const char* text = reinterpret_cast<const char*>(run->bytes);
        bool ends = false;
        for (int i = 2; i < 4 && !ends; ++i) {
            const char* marker = row->markers[i];
            if (marker == nullptr) continue;
            std::uint32_t markerLength = static_cast<std::uint32_t>(std::strlen(marker));
            ends = run->length >= markerLength + kTextRunHeader && EndsWithNoCase(text, run->length, marker);
        }
        if (!ends) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    if (signature == kSigEnd) {
        // An END closes only a group opened at or after the element's start.
        if (context->beginDepth >= static_cast<std::int32_t>(walk.words[kWalkBeginDepth])) return 0;
        std::uint16_t inner = BracketedSignature(record, length);
        if (type == 13) {
            if (inner != kSigOleBegin) return 0;
        } else if (type == 15) {
            if (inner == kSigMapElement || inner == kSigAreaElement) return 0;
            if (inner == kSigGraphic) {
                const CDRecordNode* next = node != nullptr ? node->next : nullptr;
                if (next != nullptr && next->signature == kSigBegin && BracketedSignature(next) == kSigMapElement) return 0;
                *endKept = 0;
            } else {
                *endKept = 1;
            }
            return ReportEnd(level, row, counted);
        } else if (!InList(row->end, 5, inner) && !InList(row->end, 5, kSigEnd)) {
            return 0;
        }
        if (!OwnNestingClosed(level, type, context)) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    // While a BEGIN that wraps a start record is open, only the inside of
    // an element ends, at one of its end records.
    if (context->beginDepth > 0 && InList(row->start, 4, context->beginStack[context->beginDepth - 1])) {
        if (level->relation != kRelInside || !InList(row->end, 5, signature)) return 0;
        // Only in the group that wraps this element, not in one nested in it.
        if (context->beginDepth != static_cast<std::int32_t>(walk.words[kWalkBeginDepth])) return 0;
        // The element's own start record inside its wrapper (a layer's, whose
        // end signature is also its start) comes before its inside and ends
        // nothing; the wrapper's END ends it.
        if (walk.words[kWalkWaiting] != 0 && InList(row->start, 4, signature)) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    if (type == 10 || type == 11) {
        bool ends = signature != kSigText;
        if (!ends && type == 10) {
            bool ok = true;
            std::uint32_t font = ReadDword(record, length, 4, &ok);
            ends = ok && font != walk.words[kWalkFont];
        }
        if (!ends) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    if (row->positionField != 0) {
        const std::uint32_t tableLevel = RecordedTableNesting(level, context);
        bool ends = false;
        if (IsTableEndRecord(signature)) {
            ends = static_cast<std::uint32_t>(context->tableNesting) < tableLevel;
        } else if (IsCellRecord(signature) && static_cast<std::uint32_t>(context->tableNesting) == tableLevel) {
            ends = type == kTypeColumn || (length > 3 && record[3] == 0);
        }
        if (!ends) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    if (IsParagraphType(type)) {
        if (inFlag != 0) return 0;
        bool ends = signature == kSigParagraph || signature == kSigPreTableBegin ||
                    // A reference right after a paragraph record, a definition or a
                    // definition's hide formula belongs to the paragraph that began
                    // there, as at the start.
                    (signature == kSigPabReference && previousSignature != kSigParagraph &&
                     previousSignature != kSigPabDefinition && previousSignature != kSigPabHide) ||
                    signature == kSigTableBegin || signature == kSigTableCell || signature == kSigTableEnd ||
                    signature == kSigNestedTableBegin || signature == kSigNestedTableCell ||
                    signature == kSigNestedTableEnd;
        if (ends) {
            *endKept = row->endKept;
            return ReportEnd(level, row, counted);
        }
        if (signature == kSigLargeParagraph) {
            bool ok = true;
            std::uint16_t word = ReadWord(record, length, 6, &ok);
            if (ok && (word & 2u) != 0) {
                *endKept = 0;
                return ReportEnd(level, row, counted);
            }
        }
        return 0;
    }

    if (type == 15) {
        const bool belongs = signature == kSigImageSegment || signature == kSigImageHeader ||
                             (signature >= kSigBitmapHeader && signature <= kSigMacMetaHeader) ||
                             signature == kSigStorageLink || signature == kSigEvent || signature == kSigMapElement ||
                             signature == kSigAreaElement || signature == kSigIdName || signature == kSigCaption ||
                             signature == kSigAltText ||
                             (signature == kSigBegin && (BracketedSignature(record, length) == kSigMapElement ||
                                                         BracketedSignature(record, length) == kSigAreaElement));
        if (belongs && !(inFlag == 0 && signature == kSigGraphic)) return 0;
        *endKept = row->endKept;
        return ReportEnd(level, row, counted);
    }

    if (!InList(row->end, 5, signature)) return 0;
    if (!OwnNestingClosed(level, type, context)) return 0;
    *endKept = row->endKept;
    return ReportEnd(level, row, counted);
}

} // namespace talix
