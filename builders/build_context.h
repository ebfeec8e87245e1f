// What the record builders see of an operation run: the request it serves
// (core/operation_request.h), the record output every built record goes
// into, the run's ready-made records and current paragraph definition, and
// the records the walk goes through. The HTML import builds through it too. The engine's run context
// (engine/record_process.h) extends it with the walk's own state; the
// builders take it as their context.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/operation_request.h"
#include "core/record_layouts.h"
#include "core/record_list.h"

namespace talix {

struct BuildContext : OperationRequest {
    // The record writer. In a run that does not write, the walk itself keeps
    // its table nesting level (output.tableLevel, 0 to 9).
    RecordOutput output;

    // Ready-made records (core/ready_records.h): a paragraph, a paragraph
    // reference and the current paragraph definition: the default one until
    // the walk meets a definition outside a table cell.
    std::uint8_t paragraphRecord[kParagraphLength] = {};
    std::uint8_t paragraphReference[kParagraphReferenceLength] = {};
    std::uint8_t paragraphDefinition[kParagraphImageSize] = {};
    std::uint32_t paragraphDefinitionLength = 0;
    std::uint16_t paragraphDefinitionId = 0; // the id loaded before the walk (2417, 2364, 25)

    // The list the walk goes through and the record it stands on (null
    // outside a walk).
    ItemRecordList* records = nullptr;
    CDRecordNode* node = nullptr;
    // The highest paragraph-definition id of the walked records
    // (FindHighestPabID); new ids are given above it.
    std::uint16_t highestParagraphId = 0;

    std::uint16_t errorWord = 0;             // handed to the chunk's error word

    // Records appended from a record file: their paragraph ids are moved up
    // by this (builders/record_conversion.h). It may pass 65,535 itself when
    // the item's ids are near the top; an id it would carry past 65,535
    // refuses the file.
    std::uint32_t importParagraphOffset = 0;

    // Set by the operation engine for its runs (null elsewhere): copies the
    // records of the named image resource into the output at the point the
    // walk has reached, for a graphic made inline; the options are its
    // "ImageWidth=", "ImageHeight=" and "WrapText=".
    STATUS (*appendImageResourceInline)(BuildContext* context, const char* resourceName,
                                        const char* options) = nullptr;
};

} // namespace talix
