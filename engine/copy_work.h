// The working state of one copy of rich text from elsewhere (one call of
// AppendSourceRichText), shared by the files that carry out its steps:
// copy_source.cpp (the walk, paragraph ids, tables, fonts, event code),
// copy_carry.cpp (links, attachments and OLE objects carried over) and
// copy_rows.cpp (the empty row of AppendRow).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "core/operation_inputs.h"
#include "core/record_list.h"
#include "core/session_work_area.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct RecordProcessContext;
class ParagraphIndex;
class ParagraphsByContent;

struct CopyWork {
    RecordProcessContext* context = nullptr;
    ZervaRTChunk* chunk = nullptr;
    std::uint16_t operation = 0;

    // The source: its note (and, for a design element opened for the copy,
    // the note to close), its item's records and the range to copy.
    plat::NOTEHANDLE sourceNote = 0;
    plat::NOTEHANDLE openedNote = 0;
    const char* sourceItem = nullptr;
    ItemRecordList* list = nullptr;
    bool listRead = false;             // read for the copy, freed after it
    bool designSource = false;         // links come from "$FormLinks"
    bool imageResource = false;        // an image resource made inline
    bool sameNote = false;             // attachments and OLE objects stay where they are
    std::uint32_t first = 0, last = 0;
    std::uint32_t counter = 0;         // index of the source record being copied
    CDRecordNode* node = nullptr;      // its node

    // Paragraph ids: 0 keeps them; else new id = base + old id, unless an
    // equal definition of the target gives its own. map[old] is the new id
    // (0: not mapped yet), 65,536 entries from the heap.
    std::uint16_t base = 0;
    std::uint16_t* map = nullptr;
    std::uint8_t defaultDefinition[kParagraphImageSize] = {};
    std::uint32_t defaultLength = 0;
    // The source's definitions by id and the target's by content, made on
    // first use and freed with the copy.
    ParagraphIndex* sourceDefinitions = nullptr;
    ParagraphsByContent* targetDefinitions = nullptr;

    // Row copies (2355): definitions are skipped; an empty row keeps of each
    // cell its record, first paragraph, first reference and first text run.
    bool appendRow = false;
    bool emptyRow = false;
    bool adjustTables = false;         // paragraph margins follow the target's table
    std::int32_t targetTableLevel = 0; // the target's table level the copy lands in (0: none)
    std::uint32_t takeParagraph = 0, takeReference = 0, takeText = 0;
    std::uint16_t nestedDepth = 0;
    std::uint16_t cellColumn = 0;
    bool cellPending = false;          // a cell's text and closing records are still to write

    // Event code: the field records kept for the event-code builder, the
    // chunk's own slots while the copy uses them, and the id/name record
    // taken with a field (not copied again when the walk meets it).
    bool slotsInstalled = false;
    SavedFieldRecords chunkSlots;
    EventTexts chunkTexts;
    const CDRecordNode* takenIdName = nullptr;

    // The attachments this copy has carried into the target: the source's
    // name (lower case) and the name the target stores it under, so that a
    // second hotspot of the same attachment names that copy.
    std::map<std::string, std::string> carriedFiles;
};

// Appends a record of the copy: the node itself when the bytes are its own
// (so an unchanged record keeps its stored pad byte), else the bytes given.
STATUS AppendCopied(CopyWork* work, const std::uint8_t* bytes, std::uint16_t signature, std::uint32_t length);

// Carries a file hotspot's attachment (0xFFA9, 0xFFAD of type 4), a stored
// picture's attachment (0xFFC4 of the attachment kind) or an OLE object
// (0xFFA7) from the source note into the target note and appends the record
// (a hotspot or storage link renamed when the target already holds its
// name).
// *handled is set when the record was one of these and has been dealt with.
STATUS CarryAttachment(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       bool* handled);

// The empty row of AppendRow: one source record (inside the row's range).
STATUS CopyEmptyRowRecord(CopyWork* work, const std::uint8_t* record, std::uint16_t signature,
                          std::uint32_t length);
// Writes what the open cell of an empty row still lacks (its text and the
// records after it); nothing when no cell is pending.
STATUS FinishEmptyCell(CopyWork* work, const std::uint8_t* sourceRun, std::uint32_t sourceRunLength);

} // namespace talix
