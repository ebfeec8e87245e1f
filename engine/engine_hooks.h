// The calls of the operation engine into higher folders (see
// core/layer_hooks.h): the session's tables. The entry points keep the names
// and arguments of the functions that fill them.
#pragma once

#include <cstdint>

#include "core/record_list.h"
#include "core/statuses.h"

class RARIvoSession;
class ZervaRTChunk;

namespace talix {

struct BuildContext;
struct FontSpecMask;
struct GenerationWalkState;
struct HTMLImportContext;
struct ParsedFontSpec;

// The chunk operations' table.
struct ChunkOperationHooks {
    // chunkops/find_elements.h: the searches behind FindTextChunk and
    // FindNamedChunk (0: nothing found).
    std::uint32_t (*FindTextRun)(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                                 const char* search, std::uint16_t searchLength, std::uint16_t matchMode,
                                 const ParsedFontSpec* criteria, const FontSpecMask* mask) = nullptr;
    std::uint32_t (*FindNamedElement)(ZervaRTChunk* chunk, int within, std::uint32_t first, std::uint32_t last,
                                      const char* name, std::uint16_t nameLength, std::uint16_t matchMode,
                                      std::int16_t chunkType) = nullptr;
};

// The generation's table.
struct GenerationHooks {
    // htmlgen/xml_gen_context.h: the generation's record walk over the range
    // the engine marked (the chunk work state's generation, whose own
    // context it is); mode 0 a whole range, 1 one range of several, 2 finish.
    STATUS (*PrXMLStr)(GenerationWalkState* context, std::uint32_t kind, std::uint32_t depth,
                       std::uint16_t mode) = nullptr;
};

// The HTML import's table.
struct HtmlImportHooks {
    // htmlimport/import_sink.h: convert an HTML file, HTML text or the HTML
    // in the text records of a record list into records appended through
    // the run's record output (the import builds through the builders' view
    // of the run).
    STATUS (*ImportHTMLFile)(const char* filePath, const char* options, BuildContext* context) = nullptr;
    STATUS (*ImportHTMLText)(const char* text, std::uint32_t length, const char* options, BuildContext* context,
                             HTMLImportContext* import, std::uint16_t mode) = nullptr;
    STATUS (*ImportHTMLFromItem)(ItemRecordList* source, void* auxiliary, const char* options,
                                 BuildContext* context) = nullptr;
};

// The tables of the session (empty ones when it has none).
const ChunkOperationHooks& ChunkOperationsOf(const RARIvoSession* session);
const GenerationHooks& GenerationOf(const RARIvoSession* session);
const HtmlImportHooks& HtmlImportOf(const RARIvoSession* session);

} // namespace talix
