// What the record walk sets and reads of a running HTML, XHTML or XML
// generation. The generation's own context (htmlgen/xml_gen_context.h)
// starts with it; a chunk's work state points at it while a generation runs.
#pragma once

#include <cstdint>

namespace talix {

struct CDRecordNode;

// Option flag bits the engine reads.
constexpr std::uint32_t kGenCollectParagraphs = 0x0800;   // collect equivalent paragraph definitions first
constexpr std::uint32_t kGenParagraphFlagsAgree = 0x2000; // equivalent definitions must have equal flags

constexpr int kGenRecordListSize = 255;
constexpr int kGenEquivalencePairs = 256;

struct GenerationWalkState {
    std::uint32_t options = 0;               // option flag word
    CDRecordNode* node = nullptr;            // the record generation starts from
    CDRecordNode* firstNode = nullptr;       // the first record inside the chunk
    std::uint16_t elementType = 0;           // type of the first definition level (plain or Start)
    std::uint32_t extraChain = 0;            // an extra level chain was given to the run
    std::uint32_t workAreaWord = 0;          // a word of the session's work area
    std::uint8_t databaseId[8] = {};         // the open database's identifier
    std::uint32_t pendingOutput = 0;         // output is waiting to be rendered at chunk end

    // The item's paragraph definitions (0xFF82) and its records of
    // signature 166, collected before the walk.
    std::uint16_t definitionCount = 0;
    CDRecordNode* definitions[kGenRecordListSize] = {};
    std::uint16_t record166Count = 0;
    CDRecordNode* records166[kGenRecordListSize] = {};

    // Paragraph-definition ids found equivalent: each pair maps an id to the
    // id rendered in its place.
    std::uint16_t equivalenceCount = 0;
    std::uint16_t equivalence[kGenEquivalencePairs][2] = {};
};

} // namespace talix
