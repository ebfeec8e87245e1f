// What the record builders see of an operation run: the request it serves
// (core/operation_request.h), the record output every built record goes
// into, the run's ready-made records and current paragraph definition, and
// the record the walk stands on. The engine's run context
// (engine/record_process.h) extends it with the walk's own state; the
// builders take it as their context.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/operation_request.h"
#include "core/record_list.h"

namespace talix {

struct BuildContext : OperationRequest {
    // The record writer. In a run that does not write, the walk itself keeps
    // its table nesting level (output.tableLevel, 0 to 9).
    RecordOutput output;

    // Ready-made records: a paragraph (0x81, length 2), a paragraph
    // reference (0x83, length 4) and the current paragraph definition
    // (0xFF82): the default one until the walk meets a definition outside a
    // table cell.
    std::uint8_t paragraphRecord[2] = {};
    std::uint8_t paragraphReference[4] = {};
    std::uint8_t paragraphDefinition[kParagraphImageSize] = {};
    std::uint32_t paragraphDefinitionLength = 0;
    std::uint16_t paragraphDefinitionId = 0; // the id loaded before the walk (2417, 2364, 25)

    // The record the walk stands on (null outside a walk).
    CDRecordNode* node = nullptr;

    std::uint16_t errorWord = 0;             // handed to the chunk's error word

    // Records appended from a record file: their paragraph ids are moved up
    // by this (builders/record_conversion.h).
    std::uint16_t importParagraphOffset = 0;
};

} // namespace talix
