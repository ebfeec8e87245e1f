// The item-property table, the name look-ups over the property tables, and
// the quote-character chooser of generated option strings.
#include "core/properties.h"
#include "core/operation_codes.h"
#include "core/text_compare.h"

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

// name, value type, result kind, property code, get and set operations,
// reserved, read-only, switch, special. A special row is answered and set
// by the chunk's property methods themselves, never by running its
// operations as they stand.
const PropertyTableEntry kChunkProperties[] = {
    {"AccentSensitive", N, 17, 2622, 0, 0, 0, 0, 0, 1},
    {"ActionFormula", T, 0, 2301, kOpGetActionFormula, kOpSetActionFormula, 0, 0, 0, 1},
    {"AnchorText", T, 0, 2302, kOpGetAnchorText, kOpSetAnchorText, 0, 0, 0, 0},
    {"ButtonText", T, 0, 2303, kOpGetButtonText, kOpSetButtonText, 0, 0, 0, 0},
    {"CaseSensitive", N, 17, 2611, 0, 0, 0, 0, 0, 1},
    {"CellColor", T, 0, 2606, kOpGetCellColor, kOpColorCells, 0, 0, 0, 1},
    {"CellIsMerged", N, 13, 2601, kOpCellIsMerged, 0, 0, 1, 0, 0},
    {"ContainsSomething", N, 14, 2304, kOpContainsSomething, 0, 0, 1, 0, 0},
    {"ContainsText", N, 14, 2305, kOpContainsText, 0, 0, 1, 0, 0},
    {"Definition", T, 0, 2306, 0, 0, 0, 1, 0, 1},
    {"Exists", N, 15, 2315, kChunkExists, 0, 0, 1, 0, 1},
    {"FileName", T, 1, 2337, kOpGetFileName, 0, 0, 1, 0, 0},
    {"FileSize", N, 19, 2629, kOpGetAttachmentSizes, 0, 0, 1, 0, 0},
    {"FirstRecord", N, 15, 2316, kOpQuery, 0, 0, 1, 0, 0},
    {"Font", T, 3, 2317, kOpGetFontProperties, kOpChangeFont, 0, 0, 0, 1},
    {"FontColor", T, 3, 2318, kOpGetFontProperties, kOpChangeFont, 0, 0, 0, 0},
    {"FontFace", T, 3, 2319, kOpGetFontProperties, kOpChangeFont, 0, 0, 0, 1},
    {"GraphicFormat", T, 1, 2617, kOpGetGraphicFormat, 0, 0, 1, 0, 0},
    {"GraphicHeight", N, 19, 2345, kOpGetGraphicHeight, 0, 0, 0, 0, 0},
    {"GraphicOffset", T, 1, 2618, kOpGetGraphicOffset, 0, 0, 1, 0, 0},
    {"GraphicRatio", N, 19, 2619, kOpGetGraphicRatio, 0, 0, 1, 0, 0},
    {"GraphicStorage", T, 1, 2630, kOpGetGraphicStorage, kOpSetGraphicStorage, 0, 0, 0, 0},
    {"GraphicUnit", T, 1, 2620, kOpGetGraphicUnit, 0, 0, 1, 0, 0},
    {"GraphicWidth", N, 19, 2346, kOpGetGraphicWidth, 0, 0, 0, 0, 0},
    {"HideFormula", T, 0, 2333, kOpGetHideFormula, kOpSetHideFormula, 0, 0, 0, 0},
    {"HotspotBorder", N, 11, 2320, kOpGetHotspotBorder, 0, 0, 0, 0, 0},
    {"ImageInPixels", N, 11, 2607, kOpGetImageInPixels, 0, 0, 0, 0, 0},
    {"InsideHotspot", N, 14, 2615, 0, 0, 0, 1, 0, 0},
    {"LastRecord", N, 16, 2321, kOpQuery, 0, 0, 1, 0, 0},
    {"LinkAnchorText", T, 3, 2338, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"LinkHintServer", T, 3, 2339, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"LinkNoteUniversalID", T, 3, 2322, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"LinkPopupText", T, 3, 2340, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"LinkReplicaID", T, 3, 2323, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"LinkURL", T, 3, 2341, kOpGetLinkProperty, kOpSetLinkValue, 0, 1, 0, 0},
    {"LinkViewUniversalID", T, 3, 2324, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"MaxRightMargin", N, 19, 2604, kOpGetMarginRange, 0, 0, 1, 0, 0},
    {"MinLeftMargin", N, 19, 2605, kOpGetMarginRange, 0, 0, 1, 0, 0},
    {"OLEFileName", T, 1, 2621, kOpGetFileName, 0, 0, 1, 0, 0},
    {"OriginalFileName", T, 1, 2621, kOpGetFileName, 0, 0, 1, 0, 0},
    {"PABID", N, 20, 2343, kOpGetParagraphId, 0, 0, 1, 0, 0},
    {"ParagraphStyle", T, 3, 2327, kOpGetParagraphStyle, kOpChangeParagraph, 0, 0, 0, 0},
    {"PassthruHTML", N, 11, 2612, kOpInPassThroughHtml, kOpSetPassThroughHtml, 0, 0, 0, 1},
    {"PointSize", N, 19, 2328, kOpGetFontProperties, 0, 0, 0, 0, 0},
    {"PopupText", T, 0, 2340, kOpGetLinkProperty, kOpSetLinkValue, 0, 0, 0, 1},
    {"RecordType", N, 18, 2330, 0, 0, 0, 1, 0, 0},
    {"RegularExpression", N, 17, 2632, 0, 0, 0, 0, 0, 1},
    {"RowLabel", T, 1, 2608, kOpGetRowLabel, kOpSetRowLabel, 0, 0, 0, 0},
    {"SearchWordBoundaries", N, 17, 2613, 0, 0, 0, 0, 0, 1},
    {"SectionTitle", T, 1, 2331, kOpGetSectionTitle, kOpSetSectionTitle, 0, 0, 0, 0},
    {"SetImpliedProperties", N, 17, 2616, 0, 0, 0, 0, 0, 1},
    {"SimpleParagraphStyle", T, 3, 2614, kOpGetParagraphStyle, kOpChangeParagraph, 0, 0, 0, 1},
    {"StyleName", T, 1, 2344, kOpGetStyleName, 0, 0, 1, 0, 0},
    {"TableFitToWindow", N, 11, 2347, kOpGetTableFitToWindow, 0, 0, 0, 0, 0},
    {"TargetColumn", N, 19, 2602, 0, 0, 0, 1, 0, 1},
    {"TargetFrame", T, 1, 2609, kOpGetTargetFrame, kOpSetTargetFrame, 0, 0, 0, 0},
    {"TargetNth", N, 19, 2623, 0, 0, 0, 1, 0, 1},
    {"TargetRow", N, 19, 2603, 0, 0, 0, 1, 0, 1},
    {"TargetType", T, 1, 2348, 0, 0, 0, 1, 0, 1},
    {"Text", T, 0, 2332, kOpGetText, kOpSetText, 0, 0, 0, 0},
    {"TextAttributes", T, 3, 2333, kOpGetFontProperties, kOpChangeFont, 0, 0, 0, 0},
    {"TextWildcards", N, 17, 2334, 0, 0, 0, 0, 0, 1},
    {"UnformattedText", T, 0, 2610, kOpGetText, kOpSetText, 0, 0, 0, 1},
    {"UnzoomedDefinition", T, 0, 2335, 0, 0, 0, 1, 0, 1},
    {nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The row of that name in a sorted table. The getters' walk stops at the
// first row that sorts after the name; the setters' walk reads on to the
// end of the table.
const PropertyTableEntry* FindSorted(const PropertyTableEntry* table, const char* name, bool readOn) {
    if (name == nullptr) return nullptr;
    for (int row = 0; row < kMaxRows && table[row].name != nullptr; ++row) {
        int order = CompareNamesNoCase(name, table[row].name);
        if (order == 0) return &table[row];
        if (order < 0 && !readOn) return nullptr;
    }
    return nullptr;
}

} // namespace

const PropertyTableEntry* ItemPropertyTable() { return kItemProperties; }

const PropertyTableEntry* FindItemProperty(const char* name) { return FindSorted(kItemProperties, name, false); }

const PropertyTableEntry* ChunkPropertyTable() { return kChunkProperties; }

const PropertyTableEntry* FindChunkProperty(const char* name) { return FindSorted(kChunkProperties, name, false); }

const PropertyTableEntry* FindSettableChunkProperty(const char* name) {
    return FindSorted(kChunkProperties, name, true);
}

bool ChunkSetChangesRecords(const PropertyTableEntry* row) {
    if (row->setOperation == kOpSetGraphicStorage) return false;
    return row->handledByCode == 0 || row->code == kChunkActionFormula || row->setOperation == kOpSetLinkValue;
}

char ChooseQuoteChar(const char* text, int length) {
    if (length < 1 || text == nullptr) return '\'';
    // A text that ends before length characters is searched to its end only.
    std::size_t span = strnlen(text, static_cast<std::size_t>(length));
    for (char quote : {'\'', '"', '|'})
        if (std::memchr(text, quote, span) == nullptr) return quote;
    return '~';
}

} // namespace talix
