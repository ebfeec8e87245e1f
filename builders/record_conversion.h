// Appending the records of a record file (the .CD file an import filter
// writes) to the body being built, with their font faces and paragraph ids
// made to fit the item being written.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix/export.h"
#include "talix_platform/types.h"

namespace talix {

struct BuildContext;

// Paragraph ids of the file's records are moved up by the item's paragraph
// id base plus this.
constexpr std::uint16_t kImportParagraphIdOffset = 125;

// Streams the records of the file through ReemitRecordCallback into the
// run's output, after setting the run's paragraph-id offset (the
// paragraph-id base of the session's copy request, which operation 37
// sets, plus 125) and resetting its current paragraph definition to a
// default one with that id. Returns 0, or the failure of the stream or of
// the append gate (which stops the stream). A file that cannot be opened
// leaves 20032 as the run's error word. A file that is not a record file or
// whose records are damaged or cut short, a record longer than an item's
// record may be, and a paragraph id that the offset would carry past
// 65,535 are refused with the reason shown to the host (1028 for the last
// two) and no error word. What was appended before a failure stays in the
// run's output (the run as a whole is then not committed).
STATUS ConvertItemRecords(const char* recordFilePath, BuildContext* context);

// One record of the stream (host form; context is the run's
// BuildContext): a font table is merged into the item's font table
// and not appended; a text run whose face the merge mapped to another takes
// the new face; the paragraph ids of paragraph definitions, references,
// hide formulas, formula references and style names are moved by the run's
// offset; the record is then appended. Returns the gate's status, 263 when
// a copy cannot be made, or 1028 for a record too short for the field it
// must change or with a paragraph id the offset would carry past 65,535.
plat::STATUS ReemitRecordCallback(const void* record, plat::WORD signature, plat::DWORD length, void* context);

} // namespace talix
