// What the record walk sets and reads of a running HTML, XHTML or XML
// generation. The generation's own context (htmlgen/xml_gen_context.h)
// starts with it; a chunk's work state points at it while a generation runs.
#pragma once

#include <cstdint>

namespace talix {

struct CDRecordNode;
struct PabRemap;

// Option flag bits the engine reads.
constexpr std::uint32_t kGenCollectParagraphs = 0x0800;   // collect equivalent paragraph definitions first
constexpr std::uint32_t kGenParagraphFlagsAgree = 0x2000; // equivalent definitions must have equal flags

constexpr int kGenRecordListSize = 255;

struct GenerationWalkState {
    std::uint32_t options = 0;               // switch word 0 (bits 0x800 and 0x2000: ConsolidatePABIDS)
    CDRecordNode* node = nullptr;            // the walk's current record
    CDRecordNode* firstNode = nullptr;       // the first record of the range the engine is collecting
    CDRecordNode* endNode = nullptr;         // the last record of the range: the walk visits no later index
    std::uint16_t elementType = 0;           // type of the chunk's target level (the table writer reads it)
    std::uint32_t extraChain = 0;            // the run has an extra definition: ranges render in mode 1
    std::uint32_t workAreaWord = 0;          // a word of the session's work area
    std::uint8_t databaseId[8] = {};         // the item's database's identifier

    // The item's paragraph definitions (0xFF82) and its records of
    // signature 166, in list order, collected before the walk.
    std::uint16_t definitionCount = 0;
    CDRecordNode* definitions[kGenRecordListSize] = {};
    std::uint16_t record166Count = 0;
    CDRecordNode* records166[kGenRecordListSize] = {};

    // Paragraph-definition ids found equivalent (engine/paragraph_equivalence.h),
    // owned by the run and released with it, or none.
    PabRemap* remap = nullptr;
};

} // namespace talix
