// Property tables: one row per property name, sorted by name ignoring case
// and ended by a row whose name is null: the item table and the chunk
// table.
#pragma once

#include <cstdint>

#include "core/text_compare.h"

namespace talix {

struct PropertyTableEntry {
    const char* name;
    std::uint16_t valueType;     // kPropertyText or kPropertyNumber
    std::uint16_t resultKind;    // where a read leaves its answer (chunk rows); 7 for item numbers
    std::uint16_t code;
    std::uint16_t getOperation;  // 0 when none
    std::uint16_t setOperation;  // 0 when none
    std::uint16_t reserved;
    std::uint32_t readOnly;
    std::uint32_t isSwitch;      // 1 when the number is an on/off switch
    std::uint32_t handledByCode; // 1 when the owner's own code handles the row (item setters; chunk
                                 // getters and setters: the special rows)
};

constexpr std::uint16_t kPropertyText = 0x0500;
constexpr std::uint16_t kPropertyNumber = 0x0300;

// Chunk property codes that the chunk methods and the property writers
// answer by code.
enum ChunkPropertyCode : std::uint16_t {
    kChunkActionFormula = 2301,
    kChunkDefinition = 2306,
    kChunkExists = 2315,
    kChunkFont = 2317,
    kChunkFontColor = 2318,
    kChunkFontFace = 2319,
    kChunkPointSize = 2328,
    kChunkText = 2332,
    kChunkTextAttributes = 2333,
    kChunkTextWildcards = 2334,
    kChunkTargetColumn = 2602,
    kChunkTargetRow = 2603,
    kChunkCaseSensitive = 2611,
    kChunkPassthruHTML = 2612,
    kChunkSearchWordBoundaries = 2613,
    kChunkSetImpliedProperties = 2616,
    kChunkAccentSensitive = 2622,
    kChunkTargetNth = 2623,
    kChunkRegularExpression = 2632,
};

// Item property codes.
enum ItemPropertyCode : std::uint16_t {
    kPropAutoMergeText = 1801,
    kPropAutoSave = 1802,
    kPropContainerType = 1803,
    kPropFilePath = 1805,
    kPropHandle = 1808,
    kPropHighlightFont = 1809,
    kPropHyperlinkFont = 1810,
    kPropIsConnected = 1811,
    kPropModified = 1812,
    kPropNoteID = 1813,
    kPropPermanentPen = 1814,
    kPropPermanentPenFont = 1815,
    kPropServer = 1816,
    kPropURLFont = 1818,
    kPropDefaultTableWidth = 1819,
    kPropForceToWindow = 1820,
    kPropCacheRecords = 1821,
    kPropImportNativeImages = 1822,
    kPropImportExportFile = 1823,
    kPropActionHotspotFont = 1824,
    kPropWebQueryOpen = 1825,
    kPropWebQuerySave = 1826,
    kPropSuppressMessages = 1827,
    kPropCacheLinkMatching = 1828,
    kPropWindowTitle = 1829,
    kPropPopUpFont = 1831,
    kPropClientPreference = 1832,
    kPropAutoDecrypt = 1833,
    kPropHTMLHeadContent = 1834,
};

// The item-property table (29 rows and the terminating row).
const PropertyTableEntry* ItemPropertyTable();

// The row of that name (ignoring case), or null; the walk stops at the
// first row whose name sorts after it, at the terminating row or after 999
// rows.
const PropertyTableEntry* FindItemProperty(const char* name);
const PropertyTableEntry* FindChunkProperty(const char* name);

// The chunk-property table (64 rows and the terminating row).
const PropertyTableEntry* ChunkPropertyTable();
// The chunk row of that name (ignoring case), or null; unlike
// FindChunkProperty the walk does not stop at a row that sorts after the
// name: it ends at the terminating row or after 999 rows.
const PropertyTableEntry* FindSettableChunkProperty(const char* name);

// Whether setting the chunk row rewrites records of the item that carry the
// property: when such a set left the item unmodified, the chunk holds no
// record of that kind (a button text set on a text run, a link's anchor on
// a chunk without a link). A graphic already in the storage asked for is
// left as it is, and the search switches and pass-through brackets are no
// records of a kind to find.
bool ChunkSetChangesRecords(const PropertyTableEntry* row);

// The quote character for a value written into a generated option string:
// the first of apostrophe, double quote and vertical bar that does not occur
// in the first length characters of text, else the tilde.
char ChooseQuoteChar(const char* text, int length);

} // namespace talix
