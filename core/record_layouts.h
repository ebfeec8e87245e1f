// The layouts of rich-text records: the signature table (the host length of
// each signature's fixed part, header included, and the platform's structure
// type code for it) and, derived from it, the named lengths of the records
// the library reads and writes. Every other file takes a record's length
// from here.
//
// A name ending in Length is a whole record without variable data; one
// ending in FixedLength (or Header) is the fixed part before the record's
// variable data.
#pragma once

#include <cstdint>

#include "core/signatures.h"

namespace talix {

// The structure type code of signatures whose stored and host forms are the
// same and that have no published layout: only their header is known.
constexpr std::uint16_t kHeaderOnly = 0xFFFF;

struct SignatureForm {
    std::uint16_t signature;    // as records carry it: byte-form signatures are 0x00nn
    std::uint16_t hostLength;   // host length of the fixed part, header included
    std::uint16_t typeCode;     // the platform's structure type code, or kHeaderOnly
};

// Every rich-text signature whose stored and host forms may differ, sorted
// by signature: the host length of its fixed part and its structure type
// code. kSigMetafile and kSigBitmap have no published layout: their fixed
// part is their 4-byte header, and the rest is copied as it is.
inline constexpr SignatureForm kSignatureTable[] = {
    {kSigIgnore,                     32,  912},
    {kSigFileSegment,                20,  836},
    {kSigFileHeader,                 28,  835},
    {kSigDataFlags,                  12,  834},
    {kSigBackgroundProperties,       72,  822},
    {kSigBoxSize,                    168, 810},
    {kSigPositioning,                120, 809},
    {kSigLayer,                      20,  808},
    {kSigSpanEnd,                    8,   766},
    {kSigSpanBegin,                  8,   766},
    {kSigBackgroundColor,            8,   645},
    {kSigImageSegment,               12,  706},
    {kSigImageHeader,                32,  705},
    {kSigV5HotspotEnd,               2,   231},
    {kSigDocumentPre26,              24,  114},
    {kSigParagraph,                  2,   109},
    {kSigPabReference,               4,   111},
    {kSigDocument,                   24,  114},
    {kSigLink,                       6,   72},
    {kSigLinkExport,                 44,  97},
    {kSigBitmapHeader,               40,  162},
    {kSigBitmapSegment,              20,  163},
    {kSigColorTable,                 8,   164},
    {kSigPatternTable,               8,   165},
    {kSigGraphic,                    32,  166},
    {kSigPmMetaSeg,                  12,  171},
    {kSigWinMetaSeg,                 12,  172},
    {kSigMacMetaSeg,                 12,  173},
    {kSigCgmMeta,                    20,  170},
    {kSigPmMetaHeader,               28,  167},
    {kSigWinMetaHeader,              28,  168},
    {kSigMacMetaHeader,              20,  169},
    {kSigTableBegin,                 14,  176},
    {kSigTableCell,                  18,  177},
    {kSigTableEnd,                   8,   178},
    {kSigStyleName,                  48,  188},
    {kSigHotspotEnd,                 2,   231},
    {kSigV4HotspotEnd,               2,   231},
    {kSigLayout,                     28,  343},
    {kSigLayoutText,                 44,  344},
    {kSigLayoutEnd,                  18,  345},
    {kSigLayoutField,                44,  346},
    {kSigPabFormRef,                 6,   359},
    {kSigActionBar,                  28,  360},
    {kSigLayoutGraphic,              44,  407},
    {kSigLayoutButton,               44,  466},
    {kSigTransparentTable,           12,  541},
    {kSigAlternateEnd,               8,   555},
    {kSigNestedTableBegin,           14,  176},
    {kSigNestedTableCell,            18,  177},
    {kSigNestedTableEnd,             8,   178},
    {kSigColor,                      8,   645},
    {kSigTableCellColor,             8,   645},
    {kSigBegin,                      6,   577},
    {kSigEnd,                        6,   578},
    {kSigVerticalAlign,              4,   579},
    {kSigFloatPosition,              4,   580},
    {kSigTimerInfo,                  16,  581},
    {kSigTableRowHeight,             4,   582},
    {kSigTableCellHref2,             28,  631},
    {kSigHrefBorder,                 28,  631},
    {kSigTableDataExtension,         48,  857},
    {kSigEmbeddedCalCtl,             64,  849},
    {kSigActionExt,                  28,  848},
    {kSigEventLanguageEntry,         16,  847},
    {kSigClientBlobPart,             18,  695},
    {kSigClientEvent,                32,  637},
    {kSigLargeParagraph,             16,  909},
    {kSigExtEmbeddedSched,           160, 818},
    {kSigDecsField,                  28,  767},
    {kSigTextPropertiesTable,        6,   765},
    {kSigHref2,                      28,  631},
    {kSigInline,                     28,  756},
    {kSigV6HotspotBeginContinuation, 16,  230},
    {kSigTargetDblclk,               12,  629},
    {kSigCaption,                    32,  728},
    {kSigLinkColors,                 44,  722},
    {kSigTableCellHref,              28,  631},
    {kSigActionBarExt,               120, 719},
    {kSigIdName,                     26,  708},
    {kSigTableCellIdName,            26,  708},
    {kSigV5HotspotBegin,             16,  230},
    {kSigTextProperty,               156, 833},
    {kSigPabDefinition,              72,  110},
    {kSigFieldPre36,                 36,  112},
    {kSigText,                       8,   113},
    {kSigMetafile,                   4,   kHeaderOnly},
    {kSigBitmap,                     4,   kHeaderOnly},
    {kSigField,                      40,  118},
    {kSigFontTable,                  6,   119},
    {kSigHeader,                     48,  117},
    {kSigKeyword,                    12,  68},
    {kSigLink2,                      6,   72},
    {kSigLinkExport2,                44,  97},
    {kSigDdeBegin,                   288, 174},
    {kSigDdeEnd,                     8,   175},
    {kSigOleBegin,                   20,  218},
    {kSigOleEnd,                     8,   219},
    {kSigHotspotBegin,               16,  230},
    {kSigButton,                     16,  237},
    {kSigBar,                        12,  308},
    {kSigV4HotspotBegin,             16,  230},
    {kSigExtField,                   20,  342},
    {kSigLsObject,                   12,  482},
    {kSigHtmlHeader,                 6,   492},
    {kSigHtmlSegment,                6,   493},
    {kSigPabHide,                    14,  358},
    {kSigAction,                     24,  340},
    {kSigDocAutoLaunch,              52,  350},
    {kSigOleObjInfo,                 48,  379},
    {kSigTextEffect,                 8,   508},
    {kSigStorageLink,                24,  515},
    {kSigAlternateBegin,             20,  554},
    {kSigOleRtMarker,                8,   556},
    {kSigHorizontalRule,             16,  560},
    {kSigAltText,                    12,  561},
    {kSigAnchor,                     12,  559},
    {kSigHtmlBegin,                  8,   564},
    {kSigHtmlEnd,                    8,   565},
    {kSigHtmlFormula,                12,  566},
    {kSigBlobPart,                   18,  695},
    {kSigTableLabel,                 140, 583},
    {kSigBidiText,                   8,   113},
    {kSigBidiTextEffect,             8,   508},
    {kSigRegionBegin,                46,  621},
    {kSigRegionEnd,                  42,  622},
    {kSigTransition,                 14,  610},
    {kSigFieldHint,                  16,  742},
    {kSigPlaceholder,                64,  611},
    {kSigEmbeddedOutline,            272, 620},
    {kSigEmbeddedView,               32,  615},
    {kSigCellBackgroundData,         12,  623},
    {kSigFramesetHeader,             24,  626},
    {kSigFrameset,                   52,  627},
    {kSigFrame,                      40,  628},
    {kSigTarget,                     12,  629},
    {kSigMapElement,                 36,  632},
    {kSigAreaElement,                32,  633},
    {kSigHref,                       28,  631},
    {kSigEmbeddedCtl,                36,  636},
    {kSigHtmlAltText,                12,  561},
    {kSigEvent,                      32,  637},
    {kSigPreTableBegin,              48,  640},
    {kSigBorderInfo,                 60,  646},
    {kSigEmbeddedSchedCtl,           116, 674},
    {kSigExt2Field,                  88,  672},
    {kSigEmbeddedEditCtl,            64,  816},
};

// The host length of a signature's fixed part, header included; 0 outside
// the table. Meant for constants: it looks the table through.
constexpr std::uint16_t HostFixedLength(std::uint16_t signature) {
    for (const SignatureForm& entry : kSignatureTable)
        if (entry.signature == signature) return entry.hostLength;
    return 0;
}

// The platform's structure type code of a signature; kHeaderOnly outside the
// table.
constexpr std::uint16_t StructureTypeOf(std::uint16_t signature) {
    for (const SignatureForm& entry : kSignatureTable)
        if (entry.signature == signature) return entry.typeCode;
    return kHeaderOnly;
}

// ---- Paragraphs and text ----------------------------------------------------

constexpr std::uint32_t kParagraphLength = HostFixedLength(kSigParagraph);
constexpr std::uint32_t kParagraphReferenceLength = HostFixedLength(kSigPabReference);
// The reference of a paragraph to its hide formula's carrier.
constexpr std::uint32_t kPabFormReferenceLength = HostFixedLength(kSigPabFormRef);
// A text run's fixed part, its header and font id; its text follows.
constexpr std::uint32_t kTextRunHeader = HostFixedLength(kSigText);
// A paragraph definition: its fixed part, the fixed part with the six margin
// words that follow it, and the whole image with the extension flags.
constexpr std::uint32_t kParagraphDefinitionFixedLength = HostFixedLength(kSigPabDefinition);
constexpr std::uint32_t kParagraphDefinitionMarginsLength = kParagraphDefinitionFixedLength + 6 * 2;
constexpr std::uint32_t kParagraphImageSize = kParagraphDefinitionMarginsLength + 4 + 4;

// ---- Tables ----------------------------------------------------------------

constexpr std::uint32_t kTableBeginLength = HostFixedLength(kSigTableBegin);
constexpr std::uint32_t kTableCellLength = HostFixedLength(kSigTableCell);
constexpr std::uint32_t kTableEndLength = HostFixedLength(kSigTableEnd);
// The table extension before the table's name.
constexpr std::uint32_t kTableExtensionLength = HostFixedLength(kSigPreTableBegin);
// The tab settings of a tabbed table: the fixed part and the tab font part.
constexpr std::uint32_t kTabFontPartLength = 14;
constexpr std::uint32_t kTabSettingsLength = HostFixedLength(kSigTableDataExtension) + kTabFontPartLength;
constexpr std::uint32_t kTableLabelLength = HostFixedLength(kSigTableLabel);
constexpr std::uint32_t kTableRowHeightLength = HostFixedLength(kSigTableRowHeight);
constexpr std::uint32_t kCellBackgroundDataLength = HostFixedLength(kSigCellBackgroundData);
// The timer record that cycles a table's rows.
constexpr std::uint32_t kTimerInfoLength = HostFixedLength(kSigTimerInfo);
constexpr std::uint32_t kBorderLength = HostFixedLength(kSigBorderInfo);

// ---- Text attributes and pass-through ---------------------------------------

// The colour records of text, of table cells and of backgrounds alike.
constexpr std::uint32_t kColorLength = HostFixedLength(kSigColor);
// Where a colour record's value (flags word, red, green, blue and a pad
// byte) starts.
constexpr std::uint32_t kColorValueAt = 2;
// The longer form of a text colour record, which font specifications with
// the long-record colour flag ask for.
constexpr std::uint32_t kLongColorLength = 14;
static_assert(HostFixedLength(kSigTableCellColor) == kColorLength &&
              HostFixedLength(kSigBackgroundColor) == kColorLength);
// The begin and end records of pass-through HTML: a header and four zero
// bytes each.
constexpr std::uint32_t kPassThroughRecordLength = HostFixedLength(kSigHtmlBegin);
static_assert(HostFixedLength(kSigHtmlEnd) == kPassThroughRecordLength);
constexpr std::uint32_t kHorizontalRuleLength = HostFixedLength(kSigHorizontalRule);
// An id/name record: header, six text lengths and ten reserved bytes; the
// texts follow.
constexpr std::uint32_t kIdNameFixedLength = HostFixedLength(kSigIdName);
constexpr std::uint32_t kAltTextFixedLength = HostFixedLength(kSigAltText);
constexpr std::uint32_t kCaptionFixedLength = HostFixedLength(kSigCaption);
constexpr std::uint32_t kTargetFixedLength = HostFixedLength(kSigTarget);
constexpr std::uint32_t kAnchorFixedLength = HostFixedLength(kSigAnchor);

// ---- Hotspots, links and code -----------------------------------------------

// The begin records of hotspots (kSigHotspotBegin and kSigV4HotspotBegin
// alike) before their data, and the V5 begin that accompanies one.
constexpr std::uint32_t kHotspotBeginFixedLength = HostFixedLength(kSigHotspotBegin);
static_assert(HostFixedLength(kSigV4HotspotBegin) == kHotspotBeginFixedLength);
constexpr std::uint32_t kV5HotspotBeginLength = HostFixedLength(kSigV5HotspotBegin);
// The end records of hotspots (kSigHotspotEnd and kSigV4HotspotEnd alike).
constexpr std::uint32_t kHotspotEndLength = HostFixedLength(kSigHotspotEnd);
static_assert(HostFixedLength(kSigV4HotspotEnd) == kHotspotEndLength);
// A link resource before its variable data.
constexpr std::uint32_t kResourceFixedLength = HostFixedLength(kSigHref);
// A resource naming a design element carries the database's replica id
// before its hints.
constexpr std::uint32_t kNamedElementResourceFixedLength = kResourceFixedLength + 8;
// The link records: by index into the item's link table, and with the note
// link inline.
constexpr std::uint32_t kLinkFixedLength = HostFixedLength(kSigLink2);
constexpr std::uint32_t kLinkExportFixedLength = HostFixedLength(kSigLinkExport2);
// A note link as link records and link tables carry it: the replica id, the
// view's and the note's universal ids.
constexpr std::uint32_t kNoteLinkSize = 40;
static_assert(kLinkExportFixedLength == 4 + kNoteLinkSize);
constexpr std::uint32_t kButtonFixedLength = HostFixedLength(kSigButton);
constexpr std::uint32_t kFieldFixedLength = HostFixedLength(kSigField);
constexpr std::uint32_t kEventLength = HostFixedLength(kSigEvent);
// A piece of code (kSigBlobPart and kSigClientBlobPart alike).
constexpr std::uint32_t kBlobPartFixedLength = HostFixedLength(kSigBlobPart);
static_assert(HostFixedLength(kSigClientBlobPart) == kBlobPartFixedLength);
constexpr std::uint32_t kOleBeginFixedLength = HostFixedLength(kSigOleBegin);
constexpr std::uint32_t kOleObjectInfoFixedLength = HostFixedLength(kSigOleObjInfo);
constexpr std::uint32_t kPlaceholderLength = HostFixedLength(kSigPlaceholder);
constexpr std::uint32_t kEmbeddedViewLength = HostFixedLength(kSigEmbeddedView);
constexpr std::uint32_t kEmbeddedEditControlFixedLength = HostFixedLength(kSigEmbeddedEditCtl);

// ---- Graphics, image maps and layers ----------------------------------------

// The begin and end records that bracket another record.
constexpr std::uint32_t kBeginLength = HostFixedLength(kSigBegin);
static_assert(HostFixedLength(kSigEnd) == kBeginLength);
constexpr std::uint32_t kGraphicLength = HostFixedLength(kSigGraphic);
// The one-word records of a picture's float position and vertical alignment.
constexpr std::uint32_t kFloatPositionLength = HostFixedLength(kSigFloatPosition);
constexpr std::uint32_t kVerticalAlignLength = HostFixedLength(kSigVerticalAlign);
constexpr std::uint32_t kImageHeaderLength = HostFixedLength(kSigImageHeader);
constexpr std::uint32_t kImageSegmentFixedLength = HostFixedLength(kSigImageSegment);
constexpr std::uint32_t kBitmapHeaderLength = HostFixedLength(kSigBitmapHeader);
constexpr std::uint32_t kStorageLinkFixedLength = HostFixedLength(kSigStorageLink);
constexpr std::uint32_t kImageMapFixedLength = HostFixedLength(kSigMapElement);
constexpr std::uint32_t kAreaFixedLength = HostFixedLength(kSigAreaElement);
constexpr std::uint32_t kLayerLength = HostFixedLength(kSigLayer);
constexpr std::uint32_t kPositioningLength = HostFixedLength(kSigPositioning);
constexpr std::uint32_t kBoxSizeLength = HostFixedLength(kSigBoxSize);
constexpr std::uint32_t kBackgroundPropertiesLength = HostFixedLength(kSigBackgroundProperties);
// A length value of the positioning and box-size records: flags, number and
// unit.
constexpr std::uint32_t kLengthValueSize = 24;

// A length value as it lies inside a record in host form (24 bytes): u16
// flags at 0, the f64 value at 8, the u8 unit at 16.
constexpr std::uint32_t kLengthFlagsOffset = 0;
constexpr std::uint32_t kLengthNumberOffset = 8;
constexpr std::uint32_t kLengthUnitOffset = 16;

constexpr std::uint16_t kLengthAuto = 1;
constexpr std::uint16_t kLengthInherit = 2;

// Host offsets of the positioning record (kSigPositioning).
constexpr std::uint32_t kPositioningScheme = 2;      // u8: 0 static, 1 absolute, 2 relative, 3 fixed
constexpr std::uint32_t kPositioningZIndex = 4;      // u32
constexpr std::uint32_t kPositioningTop = 8;         // length values
constexpr std::uint32_t kPositioningLeft = 32;
constexpr std::uint32_t kPositioningBottom = 56;
constexpr std::uint32_t kPositioningRight = 80;
constexpr std::uint32_t kPositioningBrowserLeft = 104;   // f64
constexpr std::uint32_t kPositioningBrowserRight = 112;  // f64

// Host offsets of the box size record (kSigBoxSize).
constexpr std::uint32_t kBoxSizeWidth = 8;
constexpr std::uint32_t kBoxSizeHeight = 32;

// ---- Field positions that several readers and writers share ----------------

// A section bar record: its flags; its title follows the fixed part, or two
// bytes later when the bar carries its colour.
constexpr std::uint32_t kBarFixedLength = HostFixedLength(kSigBar);
constexpr std::uint32_t kBarFlagsAt = 4;
constexpr std::uint32_t kBarTitleAfterColorAt = kBarFixedLength + 2;

// The text length of the one-text records: alternative text, caption,
// frame target and named anchor; the text follows the fixed part.
constexpr std::uint32_t kAltTextLengthAt = 4;
constexpr std::uint32_t kCaptionTextLengthAt = 4;
constexpr std::uint32_t kTargetTextLengthAt = 4;
constexpr std::uint32_t kAnchorTextLengthAt = 4;
// A hotspot begin record: its type, its flags and the length of its data,
// which follows the fixed part.
constexpr std::uint32_t kHotspotTypeAt = 4;
constexpr std::uint32_t kHotspotFlagsAt = 8;
constexpr std::uint32_t kHotspotDataLengthAt = 12;
// The type of a file hotspot, whose data is the attachment's name, a zero
// byte, the name shown and a zero byte.
constexpr std::uint16_t kHotspotTypeFile = 4;
// The flags a file hotspot is stored with.
constexpr std::uint32_t kFileHotspotFlags = 8;
// A storage link: its kind, its load type and the length of the name that
// follows its fixed part; the kinds of a link to an attachment of its note,
// to a URL, and of another named link whose name is read as an
// attachment's is.
constexpr std::uint32_t kStorageLinkKindAt = 4;
constexpr std::uint32_t kStorageLinkLoadTypeAt = 6;
constexpr std::uint32_t kStorageLinkNameLengthAt = 10;
constexpr std::uint16_t kStorageLinkAttachment = 1;
constexpr std::uint16_t kStorageLinkUrl = 4;
constexpr std::uint16_t kStorageLinkNamed = 6;
// The six text lengths of an id/name record; the texts follow its fixed
// part in the same order.
constexpr std::uint32_t kIdNameLengthsAt = 4;
// A field record: the lengths of its default value, translation and
// validation formulas and of its name; the four follow its fixed part in
// that order.
constexpr std::uint32_t kFieldDefaultLengthAt = 24;
constexpr std::uint32_t kFieldTranslationLengthAt = 26;
constexpr std::uint32_t kFieldValidationLengthAt = 30;
constexpr std::uint32_t kFieldNameLengthAt = 32;
// An OLE begin record: the length of the object's name, which follows the
// fixed part.
constexpr std::uint32_t kOleBeginNameLengthAt = 14;
// An OLE object information record (kOleObjectInfoFixedLength before its
// name and description): the two lengths and the flags.
constexpr std::uint32_t kOleInfoNameLengthAt = 4;
constexpr std::uint32_t kOleInfoDescriptionLengthAt = 6;
constexpr std::uint32_t kOleInfoFlagsAt = 32;

// The descriptor of a file object as a "$FILE" item's value holds it, in
// host form (kFileDescriptorHostSize bytes, the file's name after it): the
// object id, the name's length, the host type, the file's size and its two
// times.
constexpr std::uint32_t kFileDescriptorHostSize = 40;
constexpr std::uint32_t kFileDescriptorObjectIdAt = 4;
constexpr std::uint32_t kFileDescriptorNameLengthAt = 8;
constexpr std::uint32_t kFileDescriptorHostTypeAt = 10;
// The host type of a file object that holds an OLE object.
constexpr std::uint16_t kHostTypeOleObject = 0x0100;
constexpr std::uint32_t kFileDescriptorFileSizeAt = 20;
constexpr std::uint32_t kFileDescriptorCreatedAt = 24;
constexpr std::uint32_t kFileDescriptorModifiedAt = 32;

} // namespace talix
