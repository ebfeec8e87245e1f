// The session's large work area and the blocks of its output cache chain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/layer_hooks.h"
#include "core/operation_inputs.h"
#include "core/record_layouts.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class ZervaRTChunk;

namespace talix {

struct TrackedBlock;
struct PoolIndex;
struct LinkMatchingCache;

// One block of the output cache chain: it holds up to 1 MiB. Its data area
// grows as text arrives, so that a chain of many short pieces (one per
// picture of a message) does not hold a whole MiB for each.
struct OutputCacheBlock {
    static constexpr std::uint32_t kCapacity = 1048576;
    std::uint32_t capacity = kCapacity;
    std::uint32_t used = 0;
    std::uint8_t* data = nullptr;      // null until text arrives
    std::uint32_t allocated = 0;       // bytes of the data area
    OutputCacheBlock* next = nullptr;

    // Makes room for length more bytes, as far as the capacity allows; the
    // room there is (0 when memory runs out).
    std::uint32_t Reserve(std::uint32_t length);
};

// The font map left by the font-table merges for the record copier: the ids
// of incoming faces and the ids they have in this note's table.
struct FontMap {
    std::uint16_t count = 0;
    std::uint8_t oldIds[255] = {};
    std::uint8_t newIds[255] = {};
};

// The view collection opened by the last view search, kept for the next key
// search of the same view of the same database; closed when the work area
// goes (core/view_lookup.cpp).
struct ViewCache {
    std::uint32_t database = 0;
    std::uint32_t viewId = 0;
    std::uint16_t collection = 0;
    ViewCache() = default;
    ViewCache(const ViewCache&) = delete;
    ViewCache& operator=(const ViewCache&) = delete;
    ~ViewCache();
};

constexpr std::uint32_t kPendingParagraphCapacity = 1000;

struct SessionWorkArea {
    // The tables through which the lower folders reach the higher ones, as
    // the session's set-up gave them (core/layer_hooks.h).
    LayerTables tables;
    LinkMatchingCache* linkMatching = nullptr;
    // The operation engine's run context kept for the session's next run,
    // freed with the session by the function the engine leaves beside it.
    void* spareRunContext = nullptr;
    void (*freeRunContext)(void*) = nullptr;
    // A copy of the last record appended by the append gate.
    std::uint8_t lastRecord[kWorkBufferSize] = {};
    std::uint8_t workBuffer1[kWorkBufferSize] = {};
    std::uint8_t workBuffer2[kWorkBufferSize] = {};
    std::uint8_t smallWorkBuffer[8000] = {};
    // The option string of the operation that is running.
    const char* runningOptions = nullptr;
    // While set, released pool blocks stay locked for reuse.
    std::uint32_t keepLocked = 1;
    ZervaRTChunk* outputChunk = nullptr;
    // While set, the lines meant for the output chunk are kept here, to be
    // appended to it in one run when the generation is over.
    std::vector<std::string>* pendingLines = nullptr;
    // While an item is converted into one of HTML text runs: the markup the
    // generation has handed out so far.
    std::string* convertedMarkup = nullptr;
    OutputCacheBlock* outputCache = nullptr;
    OutputCacheBlock* lastOutputCache = nullptr;   // the chain's last block
    // "Event Restart" while the MIME writer hands a finished piece to the
    // ActOnText procedure, empty otherwise: the collecting procedure starts
    // a new output cache block for such a piece.
    char eventMarker[16] = {};
    TrackedBlock* trackedBlocks = nullptr;
    // The pool's index of its blocks (core/pool.cpp): by data address, and
    // the free ones in list order.
    PoolIndex* poolIndex = nullptr;

    // Paragraph definitions taken out of use by a removal or a change, put
    // back by the append gate before the first reference to their id.
    std::uint16_t pendingParagraphCount = 0;
    std::uint8_t (*pendingParagraphs)[kParagraphImageSize] = nullptr;

    // The current colour left by applying a font specification.
    std::uint32_t currentRGB = 0;
    std::uint16_t currentColorFlags = 0;
    // Text written by the matching operations is marked while this is set.
    std::uint32_t linkMark = 0;
    FontMap fontMap;

    // The first and last record index of the targets found by the last walk.
    std::uint32_t foundFirstRecord = 0;
    std::uint32_t foundLastRecord = 0;
    // Raised by the queries whether a chunk holds something, holds text or
    // lies inside a hotspot.
    std::uint32_t containsCount = 0;
    // The signature of the chunk's first record (operation 2330).
    std::uint16_t recordTypeWord = 0;
    // The paragraph-definition id of the chunk's first paragraph record
    // (operation 26).
    std::uint16_t paragraphIdWord = 0;
    // Set by a run of property words (operations 2436 and 2414) that left
    // out words for want of room in the text result.
    std::uint8_t propertyWordsLeftOut = 0;
    // Where, in the text result, operation 2436 put the line ends that part
    // the words of one target from those of the next (a value may hold a
    // line end of its own).
    std::vector<std::uint32_t> targetLineEnds;

    // The hotspot that AppendHotspot or SetImageHotspot asks for, the ids the
    // link builders parsed and the database hypertext links point into.
    HotspotRequest hotspot;
    ParsedLinkIds parsedLink;
    LinkDatabase linkDatabase;
    // The formulas of the matching operation 2386.
    MatchingRequest matching;
    // What the keys of the link-matching cache were read with.
    MatchingIdentity matchingIdentity;
    // The table that AppendTable asks for, and the cell colour to apply.
    TableRequest table;
    // The source and paragraph-id base of the copying operations.
    CopyRequest copy;
    // The "$FILE" item (or value) of the file hotspot property code 65 found.
    plat::BLOCKID attachmentBlock;
    // The whole value of the keyword a target-property operation read last
    // from its property string (the second scratch buffer holds only its
    // start).
    std::string propertyValue;

    ViewCache viewCache;
};

} // namespace talix
