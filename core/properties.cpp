// The item-property table, the name look-ups over the property tables, and
// the quote-character chooser of generated option strings.
#include "core/properties.h"

#include <cstring>
#include <initializer_list>

namespace talix {

namespace {

constexpr std::uint16_t T = kPropertyText;
constexpr std::uint16_t N = kPropertyNumber;
constexpr std::uint16_t kNumberResult = 7;
constexpr int kMaxRows = 999;

// name, value type, result kind, code, get and set operations, reserved,
// read-only, switch, handled by code.
const PropertyTableEntry kItemProperties[] = {
    {"ActionHotspotFont", T, 0, kPropActionHotspotFont, 0, 0, 0, 0, 0, 1},
    {"AutoDecrypt", N, kNumberResult, kPropAutoDecrypt, 0, 0, 0, 0, 1, 1},
    {"AutoMergeText", N, kNumberResult, kPropAutoMergeText, 0, 0, 0, 0, 1, 1},
    {"AutoSave", N, kNumberResult, kPropAutoSave, 0, 0, 0, 0, 1, 1},
    {"CacheLinkMatching", N, kNumberResult, kPropCacheLinkMatching, 0, 0, 0, 0, 1, 1},
    {"CacheRecords", N, kNumberResult, kPropCacheRecords, 0, 0, 0, 0, 1, 1},
    {"ClientPreference", T, 0, kPropClientPreference, 0, 0, 0, 0, 0, 1},
    {"ContainerType", T, 0, kPropContainerType, 0, 0, 0, 1, 0, 1},
    {"DefaultTableWidth", N, kNumberResult, kPropDefaultTableWidth, 0, 0, 0, 0, 0, 1},
    {"FilePath", T, 0, kPropFilePath, 0, 0, 0, 1, 0, 1},
    {"ForceToWindow", N, kNumberResult, kPropForceToWindow, 0, 0, 0, 0, 1, 1},
    {"Handle", N, kNumberResult, kPropHandle, 0, 0, 0, 1, 0, 1},
    {"HighlightFont", T, 0, kPropHighlightFont, 0, 0, 0, 0, 0, 1},
    {"HTMLHeadContent", T, 0, kPropHTMLHeadContent, 0, 0, 0, 0, 0, 1},
    {"HyperlinkFont", T, 0, kPropHyperlinkFont, 0, 0, 0, 0, 0, 1},
    {"ImportExportFile", T, 0, kPropImportExportFile, 0, 0, 0, 0, 0, 1},
    {"ImportNativeImages", N, kNumberResult, kPropImportNativeImages, 0, 0, 0, 0, 1, 1},
    {"IsConnected", N, kNumberResult, kPropIsConnected, 0, 0, 0, 1, 1, 1},
    {"Modified", N, kNumberResult, kPropModified, 0, 0, 0, 0, 1, 1},
    {"NoteID", T, 0, kPropNoteID, 0, 0, 0, 1, 0, 1},
    {"PermanentPen", N, kNumberResult, kPropPermanentPen, 0, 0, 0, 0, 1, 1},
    {"PermanentPenFont", T, 0, kPropPermanentPenFont, 0, 0, 0, 0, 0, 1},
    {"PopUpFont", T, 0, kPropPopUpFont, 0, 0, 0, 0, 0, 1},
    {"Server", T, 0, kPropServer, 0, 0, 0, 1, 0, 1},
    {"SuppressMessages", N, kNumberResult, kPropSuppressMessages, 0, 0, 0, 0, 1, 1},
    {"URLFont", T, 0, kPropURLFont, 0, 0, 0, 0, 0, 1},
    {"WebQueryOpen", T, 0, kPropWebQueryOpen, 0, 0, 0, 0, 0, 1},
    {"WebQuerySave", T, 0, kPropWebQuerySave, 0, 0, 0, 0, 0, 1},
    {"WindowTitle", T, 0, kPropWindowTitle, 0, 0, 0, 0, 0, 1},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The chunk-property rows come with the chunk operations; until then the
// table holds only its terminating row.
const PropertyTableEntry kChunkProperties[] = {
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

const PropertyTableEntry* FindSorted(const PropertyTableEntry* table, const char* name) {
    if (name == nullptr) return nullptr;
    for (int row = 0; row < kMaxRows && table[row].name != nullptr; ++row) {
        int order = CompareNamesNoCase(name, table[row].name);
        if (order == 0) return &table[row];
        if (order < 0) return nullptr;
    }
    return nullptr;
}

} // namespace

const PropertyTableEntry* ItemPropertyTable() { return kItemProperties; }

const PropertyTableEntry* FindItemProperty(const char* name) { return FindSorted(kItemProperties, name); }

const PropertyTableEntry* FindChunkProperty(const char* name) { return FindSorted(kChunkProperties, name); }

char ChooseQuoteChar(const char* text, int length) {
    if (length < 1 || text == nullptr) return '\'';
    // A text that ends before length characters is searched to its end only.
    std::size_t span = strnlen(text, static_cast<std::size_t>(length));
    for (char quote : {'\'', '"', '|'})
        if (std::memchr(text, quote, span) == nullptr) return quote;
    return '~';
}

} // namespace talix
