// The operation codes, by name: what the engine's PerformChunkAction runs
// over a chunk's item, what a run's request (core/operation_request.h)
// carries and what the property tables name as their get and set
// operations. The get and set codes of the chunk's properties come first
// (small numbers), then the appends and the operations inside a chunk.
// Every name keeps its number beside it, the form in which the codes are
// stored in tables and passed by callers.
#pragma once

#include <cstdint>

namespace talix {

enum OperationCode : std::uint16_t {
    // ---- Queries and the chunk's property codes -----------------------------
    kOpQuery = 1,                      // 1: first and last record, existence, finders
    kOpPositionList = 2,               // 2: the targets' record ranges (and key texts)
    kOpGetPopupText = 5,               // 5
    kOpSetPopupText = 6,               // 6
    kOpGetSectionTitle = 7,            // 7
    kOpSetSectionTitle = 8,            // 8
    kOpGetText = 9,                    // 9
    kOpSetText = 10,                   // 10
    kOpCollectSortKeys = 11,           // 11: one key per table row
    kOpGetFileName = 12,               // 12
    kOpGetFontProperties = 13,         // 13
    kOpGetParagraphStyle = 14,         // 14
    kOpGetLinkProperty = 15,           // 15
    kOpGetAnchorText = 16,             // 16
    kOpSetAnchorText = 17,             // 17
    kOpGetHotspotBorder = 18,          // 18
    kOpSetHotspotBorder = 19,          // 19
    kOpGetActionFormula = 20,          // 20
    kOpSetActionFormula = 21,          // 21
    kOpGetButtonText = 22,             // 22
    kOpSetButtonText = 23,             // 23
    kOpGetHideFormula = 24,            // 24
    kOpSetHideFormula = 25,            // 25
    kOpGetParagraphId = 26,            // 26
    kOpGetStyleName = 27,              // 27
    kOpGetGraphicHeight = 29,          // 29
    kOpSetGraphicHeight = 30,          // 30
    kOpGetGraphicWidth = 31,           // 31
    kOpSetGraphicWidth = 32,           // 32
    kOpGetTableFitToWindow = 33,       // 33
    kOpSetTableFitToWindow = 34,       // 34
    kOpGetCellMargins = 35,            // 35
    kOpGetMarginRange = 36,            // 36: smallest left and largest right margin
    kOpCopyPrologue = 37,              // 37: the paragraph-id base of the copies; walks nothing
    kOpGetCellColor = 38,              // 38
    kOpGetImageInPixels = 39,          // 39
    kOpSetImageInPixels = 40,          // 40
    kOpGetRowLabel = 41,               // 41
    kOpSetRowLabel = 42,               // 42
    kOpGetTargetFrame = 43,            // 43
    kOpSetTargetFrame = 44,            // 44
    kOpInPassThroughHtml = 47,         // 47
    kOpSetPassThroughHtml = 48,        // 48
    kOpCleanUp = 49,                   // 49: empty text runs and brackets go before the walk
    kOpGetGraphicFormat = 50,          // 50
    kOpGetGraphicOffset = 51,          // 51
    kOpGetGraphicRatio = 52,           // 52
    kOpGetGraphicUnit = 53,            // 53
    kOpClearLinkMark = 54,             // 54
    kOpSetLinkTarget = 55,             // 55
    kOpGetGraphicName = 56,            // 56
    kOpGetFieldEventText = 61,         // 61
    kOpGetObjectEventText = 63,        // 63
    kOpFindHotspotAttachment = 65,     // 65
    kOpGetAttachmentSizes = 66,        // 66
    kOpGetGraphicStorage = 67,         // 67
    kOpSetGraphicStorage = 68,         // 68
    kOpExpandParagraphDefinitions = 69,// 69
    kOpGetObjectSizes = 70,            // 70: as 66, the sizes of the attachments' objects
    kOpUseWebEditor = 71,              // 71
    kOpContainsSomething = 2304,       // 2304
    kOpContainsText = 2305,            // 2305
    kOpFirstRecordType = 2330,         // 2330

    // ---- Appends at the chunk's start or end, and operations inside it -------
    kOpAppendAnchor = 2351,            // 2351
    kOpAppendImportFile = 2352,        // 2352
    kOpAppendLink = 2353,              // 2353
    kOpAppendNewLines = 2354,          // 2354
    kOpAppendRow = 2355,               // 2355
    kOpAppendRichTextChunk = 2356,     // 2356
    kOpAppendRichTextItem = 2357,      // 2357
    kOpAppendSubformBody = 2358,       // 2358
    kOpAppendTable = 2359,             // 2359
    kOpAppendTabs = 2360,              // 2360
    kOpAppendText = 2361,              // 2361
    kOpSetLinkValue = 2362,            // 2362
    kOpChangeFont = 2363,              // 2363
    kOpChangeParagraph = 2364,         // 2364
    kOpRemove = 2366,                  // 2366
    kOpExportGraphic = 2367,           // 2367
    kOpFontInUse = 2368,               // 2368
    kOpHighlight = 2372,               // 2372
    kOpHighlightText = 2373,           // 2373
    kOpLinkOccurrences = 2385,         // 2385
    kOpLinkMatching = 2386,            // 2386
    kOpLinkAroundChunk = 2387,         // 2387
    kOpLinkWithText = 2388,            // 2388
    kOpRemoveHotspots = 2389,          // 2389
    kOpRemoveLinks = 2390,             // 2390
    kOpRemoveSections = 2391,          // 2391
    kOpReplaceText = 2392,             // 2392
    kOpSetCellBorders = 2393,          // 2393
    kOpColorCells = 2394,              // 2394
    kOpReorderRows = 2396,             // 2396: the rows sorted by the chunk's keys
    kOpReorderRowsAsKeyed = 2397,      // 2397: the rows in the order the chunk's keys stand
    kOpCaptureText = 2398,             // 2398
    kOpQuickReplace = 2399,            // 2399
    kOpAppendSection = 2404,           // 2404
    kOpMergeCells = 2405,              // 2405
    kOpUnmergeCells = 2406,            // 2406
    kOpGetCellBorder = 2407,           // 2407
    kOpAppendPageBreak = 2409,         // 2409
    kOpAppendEventCode = 2411,         // 2411
    kOpChangeTable = 2413,             // 2413
    kOpGetTableProperties = 2414,      // 2414
    kOpSetEventCode = 2416,            // 2416
    kOpAppendParagraph = 2417,         // 2417
    kOpGenerate = 2419,                // 2419
    kOpGetHtmlAttribute = 2421,        // 2421
    kOpSetHtmlAttribute = 2422,        // 2422
    kOpAppendHotspot = 2423,           // 2423
    kOpAppendGraphicReference = 2424,  // 2424
    kOpRemoveFields = 2430,            // 2430
    kOpGetTargetProperties = 2436,     // 2436
    kOpSetTargetProperties = 2437,     // 2437
    kOpAppendGraphic = 2438,           // 2438
    kOpAppendLayer = 2442,             // 2442
    kOpAppendTableOfRequest = 2443,    // 2443: a table as 2359
    kOpAppendImageArea = 2447,         // 2447
    kOpAppendHtml = 2448,              // 2448
    kOpCellIsMerged = 2601,            // 2601
    kOpCellColumn = 2602,              // 2602
    kOpCellRow = 2603,                 // 2603
    kOpInsideHotspot = 2615,           // 2615
    kOpExpressionLinks = 2807,         // 2807
    kOpAppendFormBody = 2808,          // 2808
    kOpAppendPageBody = 2809,          // 2809
    kOpAppendFileAttachment = 2812,    // 2812
    kOpRefreshAttachmentIcon = 2814,   // 2814: refused by the engine
    kOpRenameAttachment = 2815,        // 2815: refused by the engine
    kOpWikiMatching = 2816,            // 2816
    kOpMatchingVariant = 2819,         // 2819: as a second word of 2386, a matching run in the hyperlink font

    // ---- Readers above the engine ----------------------------------------------
    kOpVisitRecords = 2901,            // 2901: the chunk's records handed to a RecordVisitor
    kOpAppendLines = 2902,             // 2902: lines of text, each closed by a line break, in one pass
};

// The modes of kOpLinkMatching (its second word): what becomes of each key
// found in the text.
enum MatchingMode : std::uint16_t {
    kMatchModeLink = 2386,             // a link to the key's document (or a URL or pop-up on the result)
    kMatchModeAppend = 2801,           // the result after the text found
    kMatchModeHighlight = 2802,        // the text found in the operation's font
    kMatchModeInsert = 2803,           // the result before the text found
    kMatchModeKeyword = 2804,          // the result added to a keyword list; nothing written
    kMatchModePopup = 2805,            // a pop-up showing the result
    kMatchModeReplace = 2806,          // the result instead of the text found
};

// The kinds of HTML source of kOpAppendHtml (its second word).
enum HtmlSourceKind : std::uint16_t {
    kHtmlFromFile = 1,                 // the file the argument names
    kHtmlFromURL = 2,                  // a URL: nothing is appended
    kHtmlFromText = 3,                 // the argument's text
    kHtmlFromOwnItem = 4,              // the HTML the item (or the item it is rebuilt from) holds
};

} // namespace talix
