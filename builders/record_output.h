// The record output: the state every built record passes through on its
// way into the item being written (the output record list and its segment
// buffers). It is embedded in the context of each operation run and zeroed
// with it.
#pragma once

#include <cstdint>

#include "core/session_work_area.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {

constexpr int kTableLevels = 10;         // nesting levels 0 to 9
constexpr int kColumnSlots = 64;         // remembered paragraph definitions per level
constexpr int kBorderColumns = 30;       // columns whose bottom border is kept
constexpr int kHeldHandleCapacity = 64;

// What takes the records built through an output in place of the item: an
// owner and the function that takes one record into it (returning its
// status). Records it takes do not pass the append gate; its owner hands
// them to the output once it has taken the collector off again.
struct RecordCollector {
    void* owner = nullptr;
    STATUS (*take)(void* owner, const void* record, std::uint16_t signature, std::uint32_t length) = nullptr;
};

// A memory handle the output holds until the operation ends.
struct HeldHandle {
    plat::DHANDLE handle = 0;
    std::uint32_t locked = 0;            // 1 while the output holds a lock on it
};

struct RecordOutput {
    RARIvoSession* session = nullptr;
    std::uint8_t* segmentStart = nullptr;
    std::uint8_t* writePosition = nullptr;
    std::uint32_t capacity = 0;          // 64,382, set when a segment starts
    ZervaRTItem* item = nullptr;
    std::int32_t tableLevel = 0;         // 0 outside any table, at most 9

    std::uint16_t lastParagraphId = 0;
    std::uint16_t requestedParagraphId = 0;   // 0 = none
    // The highest paragraph-definition id of the item being written: of its
    // records as read (looked at once, when the gate first numbers a
    // definition) and of every definition appended. New ids are numbered
    // above it, so that they never collide with an id the item still uses.
    // A run that knows the highest id may set it before appending.
    std::uint16_t highestParagraphId = 0;
    std::uint32_t highestParagraphIdKnown = 0;
    std::uint16_t tableStartParagraphId[kTableLevels] = {};
    std::uint16_t currentColumn[kTableLevels] = {};
    std::uint16_t currentRow[kTableLevels] = {};
    std::uint16_t pendingReferenceId = 0;     // 0 = none
    std::uint16_t hotspotParagraphId = 0;
    std::uint32_t hotspotParagraphIdSet = 0;

    // Paragraph definitions remembered for the columns of each table's first
    // row, with the cell's bounds as their margins.
    std::uint8_t columnSlots[kTableLevels][kColumnSlots][kParagraphImageSize] = {};

    std::uint16_t columnSpacing[kTableLevels] = {};
    std::uint16_t cellLeftMargin[kTableLevels] = {};
    std::uint16_t cellRightMargin[kTableLevels] = {};
    std::uint32_t cellFixed[kTableLevels] = {};
    std::uint32_t cellSpansColumns[kTableLevels] = {};

    std::uint16_t bottomBorderAbove[kBorderColumns] = {};
    std::uint32_t harmoniseBorders = 0;

    std::uint32_t inTable[kTableLevels] = {};
    std::uint32_t noCellYet[kTableLevels] = {};
    std::uint32_t cellJustBegun[kTableLevels] = {};
    std::uint32_t forceCellMargins[kTableLevels] = {};
    std::uint16_t cellReferenceId[kTableLevels] = {};
    std::uint8_t rowCounter[kTableLevels] = {};

    std::uint32_t actionHotspotOpen = 0;
    std::uint32_t fileHotspotOpen = 0;        // 0xFFA9
    std::uint32_t v4FileHotspotOpen = 0;      // 0xFFAD
    // A pop-up, action or mouse-over hotspot (type 1, 2 or 22): the text
    // inside is its label.
    std::uint32_t labelHotspotOpen = 0;

    std::uint32_t insideTextWrapper = 0;
    std::uint32_t tableJustEnded = 0;
    std::uint8_t lastKind = 0;                // 0 other, 1 empty text, 2 text, 3 end of a text wrapper
    std::uint16_t errorWord = 0;
    std::uint32_t forceMarginsMode = 0;

    std::uint8_t currentParagraph[kParagraphImageSize] = {};
    std::uint32_t currentParagraphId = 0;
    std::uint8_t savedParagraph[kTableLevels][kParagraphImageSize] = {};
    std::uint32_t savedParagraphId[kTableLevels] = {};

    std::uint32_t restartBody = 0;
    // What takes every record instead of the item while it is set (owner
    // null: nothing, the records go through the gate into the item).
    RecordCollector collector;
    // The paragraph-definition templates of an HTML import (current,
    // default, import), reset by the import from an item, and whether each
    // holds a definition.
    std::uint8_t importParagraphTemplates[3][kParagraphImageSize] = {};
    std::uint32_t importParagraphTemplateSet[3] = {};

    // Kept by the segment and handle services.
    std::uint32_t segmentBytes = 0;           // bytes in the current segment
    HeldHandle heldHandles[kHeldHandleCapacity] = {};
    std::uint16_t heldHandleCount = 0;
    plat::DHANDLE workHandle = 0;
};

// Hands one built record, given in host form, to the output: to its
// collector while one is set (the collector's status is returned; 257 when
// it has no function), else through the append gate into the item
// (AppendRecordToItem, builders/append_gate.h, which tells the rest). Returns
// 1028 for a null output, or a null record with a length.
STATUS AppendRecord(const void* record, std::uint16_t signature, std::uint32_t length,
                    RecordOutput* output);

// Starts a new output segment for the record output (making the item's
// output list on first use). Returns 0 or 263; on failure the output keeps
// its previous segment.
STATUS StartOutputSegment(RecordOutput* output);
// Records the used length and the last record index of the current segment.
STATUS CloseOutputSegment(RecordOutput* output);
// Frees the held memory handles of the output from index first on, then
// unlocks and frees its work handle.
void ReleaseHeldHandles(RecordOutput* output, std::uint16_t first);

} // namespace talix
