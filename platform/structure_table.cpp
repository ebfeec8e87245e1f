// The field list of every structure the platform converts by type code, and
// of the structures nested in them, in stored order. Offsets and lengths are
// deliberately absent: the stored (packed) and host (naturally aligned) layouts
// follow from these lists (see structures.cpp).
#include <algorithm>

#include "structure_table.h"
#include "talix_platform/structures.h"

namespace plat {

namespace {

constexpr FieldDef Field(const char* name, FieldKind kind, WORD count) {
    return FieldDef{name, kind, count, nullptr};
}
constexpr FieldDef Byte(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Byte, count);
}
constexpr FieldDef Char(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Byte, count);
}
constexpr FieldDef Word(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Word, count);
}
constexpr FieldDef Sword(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Word, count);
}
constexpr FieldDef Dword(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Dword, count);
}
constexpr FieldDef Long(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Dword, count);
}
constexpr FieldDef FontId(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Dword, count);
}
constexpr FieldDef Number(const char* name, WORD count = 1) {
    return Field(name, FieldKind::Number, count);
}
constexpr FieldDef Nest(const char* name, const StructDef& def, WORD count = 1) {
    return FieldDef{name, FieldKind::Nested, count, &def};
}

template <std::size_t N>
constexpr StructDef Def(WORD type, const char* name, const FieldDef (&fields)[N]) {
    return StructDef{type, name, fields, static_cast<WORD>(N)};
}
// A known type code whose layout is not published: no fields, length 0.
constexpr StructDef NoLayout(WORD type, const char* name) {
    return StructDef{type, name, nullptr, 0};
}

// The base types.
constexpr FieldDef kWORDFields[] = {Word("Value")};
constexpr StructDef kWORD = Def(ODS_WORD, "WORD", kWORDFields);

constexpr FieldDef kDWORDFields[] = {Dword("Value")};
constexpr StructDef kDWORD = Def(ODS_DWORD, "DWORD", kDWORDFields);

constexpr FieldDef kNUMBERFields[] = {Number("Value")};
constexpr StructDef kNUMBER = Def(ODS_NUMBER, "NUMBER", kNUMBERFields);

// Structures nested in others, each before its first use. Record headers: BSIG
// (byte form), WSIG (word form), LSIG (long form).
constexpr FieldDef kTIMEDATEFields[] = {Dword("Innards", 2)};
constexpr StructDef kTIMEDATE = Def(10, "TIMEDATE", kTIMEDATEFields);

constexpr FieldDef kDBIDFields[] = {Dword("Innards", 2)};
constexpr StructDef kDBID = Def(15, "DBID", kDBIDFields);

constexpr FieldDef kOBJECT_DESCRIPTORFields[] = {Word("ObjectType"), Dword("RRV")};
constexpr StructDef kOBJECT_DESCRIPTOR = Def(27, "OBJECT_DESCRIPTOR", kOBJECT_DESCRIPTORFields);

constexpr FieldDef kUNIVERSALNOTEIDFields[] = {Nest("File", kDBID), Nest("Note", kTIMEDATE)};
constexpr StructDef kUNIVERSALNOTEID = Def(28, "UNIVERSALNOTEID", kUNIVERSALNOTEIDFields);

constexpr FieldDef kNOTELINKFields[] = {Nest("File", kTIMEDATE), Nest("View", kUNIVERSALNOTEID),
    Nest("Note", kUNIVERSALNOTEID)};
constexpr StructDef kNOTELINK = Def(33, "NOTELINK", kNOTELINKFields);

constexpr FieldDef kCOLOR_VALUEFields[] = {Word("Flags"), Byte("Component1"), Byte("Component2"),
    Byte("Component3"), Byte("Component4")};
constexpr StructDef kCOLOR_VALUE = Def(690, "COLOR_VALUE", kCOLOR_VALUEFields);

constexpr FieldDef kBSIGFields[] = {Byte("Signature"), Byte("Length")};
constexpr StructDef kBSIG = Def(kNoTypeCode, "BSIG", kBSIGFields);

constexpr FieldDef kWSIGFields[] = {Word("Signature"), Word("Length")};
constexpr StructDef kWSIG = Def(kNoTypeCode, "WSIG", kWSIGFields);

constexpr FieldDef kLSIGFields[] = {Word("Signature"), Dword("Length")};
constexpr StructDef kLSIG = Def(kNoTypeCode, "LSIG", kLSIGFields);

constexpr FieldDef kRECTSIZEFields[] = {Word("width"), Word("height")};
constexpr StructDef kRECTSIZE = Def(kNoTypeCode, "RECTSIZE", kRECTSIZEFields);

constexpr FieldDef kCROPRECTFields[] = {Word("left"), Word("top"), Word("right"), Word("bottom")};
constexpr StructDef kCROPRECT = Def(kNoTypeCode, "CROPRECT", kCROPRECTFields);

constexpr FieldDef kNFMTFields[] = {Byte("Digits"), Byte("Format"), Byte("Attributes"),
    Byte("Unused")};
constexpr StructDef kNFMT = Def(kNoTypeCode, "NFMT", kNFMTFields);

constexpr FieldDef kTFMTFields[] = {Byte("Date"), Byte("Time"), Byte("Zone"), Byte("Structure")};
constexpr StructDef kTFMT = Def(kNoTypeCode, "TFMT", kTFMTFields);

constexpr FieldDef kLENGTH_VALUEFields[] = {Word("Flags"), Number("Length"), Byte("Units"),
    Byte("Reserved")};
constexpr StructDef kLENGTH_VALUE = Def(kNoTypeCode, "LENGTH_VALUE", kLENGTH_VALUEFields);

constexpr FieldDef kOLE_GUIDFields[] = {Dword("Data1"), Word("Data2"), Word("Data3"),
    Byte("Data4", 8)};
constexpr StructDef kOLE_GUID = Def(kNoTypeCode, "OLE_GUID", kOLE_GUIDFields);

constexpr FieldDef kELEMENTHEADERFields[] = {Word("wLeft"), Word("wTop"), Word("wWidth"),
    Word("wHeight"), FontId("FontID"), Byte("byBackColor"), Byte("bSpare"),
    Nest("BackgroundColor", kCOLOR_VALUE)};
constexpr StructDef kELEMENTHEADER = Def(kNoTypeCode, "ELEMENTHEADER", kELEMENTHEADERFields);

// The other structures, by type code.
constexpr FieldDef kTIMEDATE_PAIRFields[] = {Nest("Lower", kTIMEDATE), Nest("Upper", kTIMEDATE)};
constexpr StructDef kTIMEDATE_PAIR = Def(11, "TIMEDATE_PAIR", kTIMEDATE_PAIRFields);

constexpr FieldDef kLISTFields[] = {Word("ListEntries")};
constexpr StructDef kLIST = Def(13, "LIST", kLISTFields);

constexpr FieldDef kRANGEFields[] = {Word("ListEntries"), Word("RangeEntries")};
constexpr StructDef kRANGE = Def(14, "RANGE", kRANGEFields);

constexpr FieldDef kORIGINATORIDFields[] = {Nest("File", kDBID), Nest("Note", kTIMEDATE),
    Dword("Sequence"), Nest("SequenceTime", kTIMEDATE)};
constexpr StructDef kORIGINATORID = Def(26, "ORIGINATORID", kORIGINATORIDFields);

constexpr FieldDef kFILEOBJECTFields[] = {Nest("Header", kOBJECT_DESCRIPTOR),
    Word("FileNameLength"), Word("HostType"), Word("CompressionType"), Word("FileAttributes"),
    Word("Flags"), Dword("FileSize"), Nest("FileCreated", kTIMEDATE),
    Nest("FileModified", kTIMEDATE)};
constexpr StructDef kFILEOBJECT = Def(58, "FILEOBJECT", kFILEOBJECTFields);

constexpr FieldDef kCDKEYWORDFields[] = {Nest("Header", kWSIG), FontId("FontID"), Word("Keywords"),
    Word("Flags")};
constexpr StructDef kCDKEYWORD = Def(68, "CDKEYWORD", kCDKEYWORDFields);

// Also the structure of the byte-form link signature: its stored and host
// forms are the same, so conversion is a copy either way.
constexpr FieldDef kCDLINK2Fields[] = {Nest("Header", kWSIG), Word("LinkID")};
constexpr StructDef kCDLINK2 = Def(72, "CDLINK2", kCDLINK2Fields);

constexpr FieldDef kCDLINKEXPORT2Fields[] = {Nest("Header", kWSIG), Nest("NoteLink", kNOTELINK)};
constexpr StructDef kCDLINKEXPORT2 = Def(97, "CDLINKEXPORT2", kCDLINKEXPORT2Fields);

constexpr FieldDef kCDPARAGRAPHFields[] = {Nest("Header", kBSIG)};
constexpr StructDef kCDPARAGRAPH = Def(109, "CDPARAGRAPH", kCDPARAGRAPHFields);

constexpr FieldDef kCDPABDEFINITIONFields[] = {Nest("Header", kWSIG), Word("PABID"),
    Word("JustifyMode"), Word("LineSpacing"), Word("ParagraphSpacingBefore"),
    Word("ParagraphSpacingAfter"), Word("LeftMargin"), Word("RightMargin"),
    Word("FirstLineLeftMargin"), Word("Tabs"), Sword("Tab", 20), Word("Flags"), Dword("TabTypes"),
    Word("Flags2")};
constexpr StructDef kCDPABDEFINITION = Def(110, "CDPABDEFINITION", kCDPABDEFINITIONFields);

constexpr FieldDef kCDPABREFERENCEFields[] = {Nest("Header", kBSIG), Word("PABID")};
constexpr StructDef kCDPABREFERENCE = Def(111, "CDPABREFERENCE", kCDPABREFERENCEFields);

constexpr FieldDef kCDFIELD_PRE_36Fields[] = {Nest("Header", kWSIG), Word("Flags"),
    Word("DataType"), Word("ListDelim"), Nest("NumberFormat", kNFMT), Nest("TimeFormat", kTFMT),
    FontId("FontID"), Word("DVLength"), Word("ITLength"), Word("Unused1"), Word("IVLength"),
    Word("NameLength"), Word("DescLength")};
constexpr StructDef kCDFIELD_PRE_36 = Def(112, "CDFIELD_PRE_36", kCDFIELD_PRE_36Fields);

constexpr FieldDef kCDTEXTFields[] = {Nest("Header", kWSIG), FontId("FontID")};
constexpr StructDef kCDTEXT = Def(113, "CDTEXT", kCDTEXTFields);

constexpr FieldDef kCDDOCUMENTFields[] = {Nest("Header", kBSIG), Word("PaperColor"),
    Word("FormFlags"), Word("NotePrivileges"), Word("FormFlags2"), Word("InherFieldNameLength"),
    Word("PaperColorExt"), Nest("PaperColorValue", kCOLOR_VALUE), Word("FormFlags3"),
    Word("Spare")};
constexpr StructDef kCDDOCUMENT = Def(114, "CDDOCUMENT", kCDDOCUMENTFields);

// Old picture records without a published layout: known codes of length 0.
constexpr StructDef kCDMETAFILE = NoLayout(115, "CDMETAFILE");

constexpr StructDef kCDBITMAP = NoLayout(116, "CDBITMAP");

constexpr FieldDef kCDHEADERFields[] = {Nest("Header", kWSIG), Byte("FontPitchAndFamily"),
    Char("FontName", 32), FontId("Font"), Word("HeadLength")};
constexpr StructDef kCDHEADER = Def(117, "CDHEADER", kCDHEADERFields);

constexpr FieldDef kCDFIELDFields[] = {Nest("Header", kWSIG), Word("Flags"), Word("DataType"),
    Word("ListDelim"), Nest("NumberFormat", kNFMT), Nest("TimeFormat", kTFMT), FontId("FontID"),
    Word("DVLength"), Word("ITLength"), Word("TabOrder"), Word("IVLength"), Word("NameLength"),
    Word("DescLength"), Word("TextValueLength")};
constexpr StructDef kCDFIELD = Def(118, "CDFIELD", kCDFIELDFields);

constexpr FieldDef kCDFONTTABLEFields[] = {Nest("Header", kWSIG), Word("Fonts")};
constexpr StructDef kCDFONTTABLE = Def(119, "CDFONTTABLE", kCDFONTTABLEFields);

constexpr FieldDef kCDFACEFields[] = {Byte("Face"), Byte("Family"), Char("Name", 32)};
constexpr StructDef kCDFACE = Def(120, "CDFACE", kCDFACEFields);

constexpr FieldDef kCDBITMAPHEADERFields[] = {Nest("Header", kLSIG), Nest("Dest", kRECTSIZE),
    Nest("Crop", kRECTSIZE), Word("Flags"), Word("wReserved"), Dword("lReserved"), Word("Width"),
    Word("Height"), Word("BitsPerPixel"), Word("SamplesPerPixel"), Word("BitsPerSample"),
    Word("SegmentCount"), Word("ColorCount"), Word("PatternCount")};
constexpr StructDef kCDBITMAPHEADER = Def(162, "CDBITMAPHEADER", kCDBITMAPHEADERFields);

constexpr FieldDef kCDBITMAPSEGMENTFields[] = {Nest("Header", kLSIG), Dword("Reserved", 2),
    Word("ScanlineCount"), Word("DataSize")};
constexpr StructDef kCDBITMAPSEGMENT = Def(163, "CDBITMAPSEGMENT", kCDBITMAPSEGMENTFields);

constexpr FieldDef kCDCOLORTABLEFields[] = {Nest("Header", kLSIG)};
constexpr StructDef kCDCOLORTABLE = Def(164, "CDCOLORTABLE", kCDCOLORTABLEFields);

constexpr FieldDef kCDPATTERNTABLEFields[] = {Nest("Header", kLSIG)};
constexpr StructDef kCDPATTERNTABLE = Def(165, "CDPATTERNTABLE", kCDPATTERNTABLEFields);

constexpr FieldDef kCDGRAPHICFields[] = {Nest("Header", kLSIG), Nest("DestSize", kRECTSIZE),
    Nest("CropSize", kRECTSIZE), Nest("CropOffset", kCROPRECT), Word("fResize"), Byte("Version"),
    Byte("bFlags"), Word("wReserved")};
constexpr StructDef kCDGRAPHIC = Def(166, "CDGRAPHIC", kCDGRAPHICFields);

constexpr FieldDef kCDPMMETAHEADERFields[] = {Nest("Header", kLSIG), Sword("mm"), Sword("xExt"),
    Sword("yExt"), Nest("OriginalDisplaySize", kRECTSIZE), Dword("MetafileSize"), Word("SegCount")};
constexpr StructDef kCDPMMETAHEADER = Def(167, "CDPMMETAHEADER", kCDPMMETAHEADERFields);

constexpr FieldDef kCDWINMETAHEADERFields[] = {Nest("Header", kLSIG), Sword("mm"), Sword("xExt"),
    Sword("yExt"), Nest("OriginalDisplaySize", kRECTSIZE), Dword("MetafileSize"), Word("SegCount")};
constexpr StructDef kCDWINMETAHEADER = Def(168, "CDWINMETAHEADER", kCDWINMETAHEADERFields);

constexpr FieldDef kCDMACMETAHEADERFields[] = {Nest("Header", kLSIG),
    Nest("OriginalDisplaySize", kRECTSIZE), Dword("MetafileSize"), Word("SegCount")};
constexpr StructDef kCDMACMETAHEADER = Def(169, "CDMACMETAHEADER", kCDMACMETAHEADERFields);

constexpr FieldDef kCDCGMMETAFields[] = {Nest("Header", kLSIG), Sword("mm"), Sword("xExt"),
    Sword("yExt"), Nest("OriginalSize", kRECTSIZE)};
constexpr StructDef kCDCGMMETA = Def(170, "CDCGMMETA", kCDCGMMETAFields);

constexpr FieldDef kCDPMMETASEGFields[] = {Nest("Header", kLSIG), Word("DataSize"),
    Word("SegSize")};
constexpr StructDef kCDPMMETASEG = Def(171, "CDPMMETASEG", kCDPMMETASEGFields);

constexpr FieldDef kCDWINMETASEGFields[] = {Nest("Header", kLSIG), Word("DataSize"),
    Word("SegSize")};
constexpr StructDef kCDWINMETASEG = Def(172, "CDWINMETASEG", kCDWINMETASEGFields);

constexpr FieldDef kCDMACMETASEGFields[] = {Nest("Header", kLSIG), Word("DataSize"),
    Word("SegSize")};
constexpr StructDef kCDMACMETASEG = Def(173, "CDMACMETASEG", kCDMACMETASEGFields);

constexpr FieldDef kCDDDEBEGINFields[] = {Nest("Header", kWSIG), Char("ServerName", 32),
    Char("TopicName", 100), Char("ItemName", 64), Dword("Flags"), Char("PasteEmbedDocName", 80),
    Word("EmbeddedDocCount"), Word("ClipFormat")};
constexpr StructDef kCDDDEBEGIN = Def(174, "CDDDEBEGIN", kCDDDEBEGINFields);

constexpr FieldDef kCDDDEENDFields[] = {Nest("Header", kWSIG), Dword("Flags")};
constexpr StructDef kCDDDEEND = Def(175, "CDDDEEND", kCDDDEENDFields);

constexpr FieldDef kCDTABLEBEGINFields[] = {Nest("Header", kBSIG), Word("LeftMargin"),
    Word("HorizInterCellSpace"), Word("VertInterCellSpace"), Word("V4HorizInterCellSpace"),
    Word("V4VertInterCellSpace"), Word("Flags")};
constexpr StructDef kCDTABLEBEGIN = Def(176, "CDTABLEBEGIN", kCDTABLEBEGINFields);

constexpr FieldDef kCDTABLECELLFields[] = {Nest("Header", kBSIG), Byte("Row"), Byte("Column"),
    Word("LeftMargin"), Word("RightMargin"), Word("FractionalWidth"), Byte("Border"), Byte("Flags"),
    Word("v42Border"), Byte("RowSpan"), Byte("ColumnSpan"), Word("BackgroundColor")};
constexpr StructDef kCDTABLECELL = Def(177, "CDTABLECELL", kCDTABLECELLFields);

constexpr FieldDef kCDTABLEENDFields[] = {Nest("Header", kBSIG), Dword("Spare")};
constexpr StructDef kCDTABLEEND = Def(178, "CDTABLEEND", kCDTABLEENDFields);

constexpr FieldDef kCDSTYLENAMEFields[] = {Nest("Header", kBSIG), Dword("Flags"), Word("PABID"),
    Char("StyleName", 36)};
constexpr StructDef kCDSTYLENAME = Def(188, "CDSTYLENAME", kCDSTYLENAMEFields);

constexpr FieldDef kCDOLEBEGINFields[] = {Nest("Header", kWSIG), Word("Version"), Dword("Flags"),
    Word("ClipFormat"), Word("AttachNameLength"), Word("ClassNameLength"),
    Word("TemplateNameLength")};
constexpr StructDef kCDOLEBEGIN = Def(218, "CDOLEBEGIN", kCDOLEBEGINFields);

constexpr FieldDef kCDOLEENDFields[] = {Nest("Header", kWSIG), Dword("Flags")};
constexpr StructDef kCDOLEEND = Def(219, "CDOLEEND", kCDOLEENDFields);

constexpr FieldDef kCDHOTSPOTBEGINFields[] = {Nest("Header", kWSIG), Word("Type"), Dword("Flags"),
    Word("DataLength")};
constexpr StructDef kCDHOTSPOTBEGIN = Def(230, "CDHOTSPOTBEGIN", kCDHOTSPOTBEGINFields);

constexpr FieldDef kCDHOTSPOTENDFields[] = {Nest("Header", kBSIG)};
constexpr StructDef kCDHOTSPOTEND = Def(231, "CDHOTSPOTEND", kCDHOTSPOTENDFields);

constexpr FieldDef kCDBUTTONFields[] = {Nest("Header", kWSIG), Word("Flags"), Word("Width"),
    Word("Height"), Word("Lines"), FontId("FontID")};
constexpr StructDef kCDBUTTON = Def(237, "CDBUTTON", kCDBUTTONFields);

constexpr FieldDef kCDBARFields[] = {Nest("Header", kWSIG), Dword("Flags"), FontId("FontID")};
constexpr StructDef kCDBAR = Def(308, "CDBAR", kCDBARFields);

// A long (LSIG) header although its signature is a word-form one.
constexpr FieldDef kCDACTIONFields[] = {Nest("Header", kLSIG), Word("Type"), Word("IconIndex"),
    Dword("Flags"), Word("TitleLen"), Word("FormulaLen"), Dword("ShareId")};
constexpr StructDef kCDACTION = Def(340, "CDACTION", kCDACTIONFields);

constexpr FieldDef kCDEXTFIELDFields[] = {Nest("Header", kWSIG), Dword("Flags1"), Dword("Flags2"),
    Word("EntryHelper"), Word("EntryDBNameLen"), Word("EntryViewNameLen"),
    Word("EntryColumnNumber")};
constexpr StructDef kCDEXTFIELD = Def(342, "CDEXTFIELD", kCDEXTFIELDFields);

constexpr FieldDef kCDLAYOUTFields[] = {Nest("Header", kBSIG), Word("wLeft"), Word("wWidth"),
    Word("wHeight"), Dword("Flags"), Word("wGridSize"), Byte("Reserved", 14)};
constexpr StructDef kCDLAYOUT = Def(343, "CDLAYOUT", kCDLAYOUTFields);

constexpr FieldDef kCDLAYOUTTEXTFields[] = {Nest("Header", kBSIG),
    Nest("ElementHeader", kELEMENTHEADER), Dword("Flags"), Byte("Reserved", 16)};
constexpr StructDef kCDLAYOUTTEXT = Def(344, "CDLAYOUTTEXT", kCDLAYOUTTEXTFields);

constexpr FieldDef kCDLAYOUTENDFields[] = {Nest("Header", kBSIG), Byte("Reserved", 16)};
constexpr StructDef kCDLAYOUTEND = Def(345, "CDLAYOUTEND", kCDLAYOUTENDFields);

constexpr FieldDef kCDLAYOUTFIELDFields[] = {Nest("Header", kBSIG),
    Nest("ElementHeader", kELEMENTHEADER), Dword("Flags"), Byte("bFieldType"),
    Byte("Reserved", 15)};
constexpr StructDef kCDLAYOUTFIELD = Def(346, "CDLAYOUTFIELD", kCDLAYOUTFIELDFields);

constexpr FieldDef kCDDOCAUTOLAUNCHFields[] = {Nest("Header", kWSIG), Dword("ObjectType"),
    Dword("HideWhenFlags"), Dword("LaunchWhenFlags"), Dword("OleFlags"), Dword("CopyToFieldFlags"),
    Dword("Spare1"), Dword("Spare2"), Word("FieldNameLength"), Nest("OleObjClass", kOLE_GUID)};
constexpr StructDef kCDDOCAUTOLAUNCH = Def(350, "CDDOCAUTOLAUNCH", kCDDOCAUTOLAUNCHFields);

constexpr FieldDef kCDPABHIDEFields[] = {Nest("Header", kWSIG), Word("PABID"), Byte("Reserved", 8)};
constexpr StructDef kCDPABHIDE = Def(358, "CDPABHIDE", kCDPABHIDEFields);

constexpr FieldDef kCDPABFORMULAREFFields[] = {Nest("Header", kBSIG), Word("SourcePABID"),
    Word("DestPABID")};
constexpr StructDef kCDPABFORMULAREF = Def(359, "CDPABFORMULAREF", kCDPABFORMULAREFFields);

constexpr FieldDef kCDACTIONBARFields[] = {Nest("Header", kBSIG), Word("BackColor"),
    Word("LineColor"), Word("LineStyle"), Word("BorderStyle"), Word("BorderWidth"),
    Dword("dwFlags"), Dword("ShareID"), FontId("FontID"), Word("BtnHeight"), Word("HeightSpc")};
constexpr StructDef kCDACTIONBAR = Def(360, "CDACTIONBAR", kCDACTIONBARFields);

constexpr FieldDef kCDOLEOBJ_INFOFields[] = {Nest("Header", kWSIG), Word("FileObjNameLength"),
    Word("DescriptionNameLength"), Word("FieldNameLength"), Word("TextIndexObjNameLength"),
    Nest("OleObjClass", kOLE_GUID), Word("StorageFormat"), Word("DisplayFormat"), Dword("Flags"),
    Word("StorageFormatAppearedIn"), Word("HTMLDataLength"), Word("AssociatedFILEsLength"),
    Word("Reserved3"), Dword("Reserved4")};
constexpr StructDef kCDOLEOBJ_INFO = Def(379, "CDOLEOBJ_INFO", kCDOLEOBJ_INFOFields);

constexpr FieldDef kCDLAYOUTGRAPHICFields[] = {Nest("Header", kBSIG),
    Nest("ElementHeader", kELEMENTHEADER), Dword("Flags"), Byte("Reserved", 16)};
constexpr StructDef kCDLAYOUTGRAPHIC = Def(407, "CDLAYOUTGRAPHIC", kCDLAYOUTGRAPHICFields);

constexpr FieldDef kCDLAYOUTBUTTONFields[] = {Nest("Header", kBSIG),
    Nest("ElementHeader", kELEMENTHEADER), Dword("Flags"), Byte("Reserved", 16)};
constexpr StructDef kCDLAYOUTBUTTON = Def(466, "CDLAYOUTBUTTON", kCDLAYOUTBUTTONFields);

constexpr FieldDef kCDLSOBJECTFields[] = {Nest("Header", kWSIG), Dword("CodeSize"),
    Byte("Reserved", 4)};
constexpr StructDef kCDLSOBJECT = Def(482, "CDLSOBJECT", kCDLSOBJECTFields);

constexpr FieldDef kCDHTMLHEADERFields[] = {Nest("Header", kWSIG), Word("wSegments")};
constexpr StructDef kCDHTMLHEADER = Def(492, "CDHTMLHEADER", kCDHTMLHEADERFields);

constexpr FieldDef kCDHTMLSEGMENTFields[] = {Nest("Header", kWSIG), Word("wHTMLLength")};
constexpr StructDef kCDHTMLSEGMENT = Def(493, "CDHTMLSEGMENT", kCDHTMLSEGMENTFields);

constexpr FieldDef kCDTEXTEFFECTFields[] = {Nest("Header", kWSIG), FontId("FontEffectID")};
constexpr StructDef kCDTEXTEFFECT = Def(508, "CDTEXTEFFECT", kCDTEXTEFFECTFields);

constexpr FieldDef kCDSTORAGELINKFields[] = {Nest("Header", kWSIG), Word("StorageType"),
    Word("LoadType"), Word("Flags"), Word("DataLength"), Word("Reserved", 6)};
constexpr StructDef kCDSTORAGELINK = Def(515, "CDSTORAGELINK", kCDSTORAGELINKFields);

constexpr FieldDef kCDTRANSPARENTTABLEFields[] = {Nest("Header", kLSIG), Word("Reserved"),
    Word("TransparentCount")};
constexpr StructDef kCDTRANSPARENTTABLE = Def(541, "CDTRANSPARENTTABLE", kCDTRANSPARENTTABLEFields);

constexpr FieldDef kCDALTERNATEBEGINFields[] = {Nest("Header", kWSIG), Word("Type"),
    Dword("SequenceNumber"), Dword("Flags"), Word("DataLength")};
constexpr StructDef kCDALTERNATEBEGIN = Def(554, "CDALTERNATEBEGIN", kCDALTERNATEBEGINFields);

constexpr FieldDef kCDALTERNATEENDFields[] = {Nest("Header", kBSIG), Dword("Flags")};
constexpr StructDef kCDALTERNATEEND = Def(555, "CDALTERNATEEND", kCDALTERNATEENDFields);

constexpr FieldDef kCDOLERTMARKERFields[] = {Nest("Header", kWSIG), Dword("Flags")};
constexpr StructDef kCDOLERTMARKER = Def(556, "CDOLERTMARKER", kCDOLERTMARKERFields);

constexpr FieldDef kCDANCHORFields[] = {Nest("Header", kWSIG), Word("Datalength"),
    Dword("Reserved")};
constexpr StructDef kCDANCHOR = Def(559, "CDANCHOR", kCDANCHORFields);

constexpr FieldDef kCDHRULEFields[] = {Nest("Header", kWSIG), Dword("Flags"), Word("Width"),
    Word("Height"), Word("Color"), Word("GradientColor")};
constexpr StructDef kCDHRULE = Def(560, "CDHRULE", kCDHRULEFields);

// Four fields, 12 bytes: the trailing Reserved2 belongs to the record.
constexpr FieldDef kCDALTTEXTFields[] = {Nest("Header", kWSIG), Word("wLength"), Word("Reserved1"),
    Dword("Reserved2")};
constexpr StructDef kCDALTTEXT = Def(561, "CDALTTEXT", kCDALTTEXTFields);

constexpr FieldDef kCDHTMLBEGINFields[] = {Nest("Header", kWSIG), Byte("Spares", 4)};
constexpr StructDef kCDHTMLBEGIN = Def(564, "CDHTMLBEGIN", kCDHTMLBEGINFields);

constexpr FieldDef kCDHTMLENDFields[] = {Nest("Header", kWSIG), Byte("Spares", 4)};
constexpr StructDef kCDHTMLEND = Def(565, "CDHTMLEND", kCDHTMLENDFields);

constexpr FieldDef kCDHTMLFORMULAFields[] = {Nest("Header", kWSIG), Dword("dwFlags"),
    Byte("cbLevel"), Byte("cbReserved"), Word("Reserved")};
constexpr StructDef kCDHTMLFORMULA = Def(566, "CDHTMLFORMULA", kCDHTMLFORMULAFields);

constexpr FieldDef kCDBEGINRECORDFields[] = {Nest("Header", kBSIG), Word("Version"),
    Word("Signature")};
constexpr StructDef kCDBEGINRECORD = Def(577, "CDBEGINRECORD", kCDBEGINRECORDFields);

constexpr FieldDef kCDENDRECORDFields[] = {Nest("Header", kBSIG), Word("Version"),
    Word("Signature")};
constexpr StructDef kCDENDRECORD = Def(578, "CDENDRECORD", kCDENDRECORDFields);

constexpr FieldDef kCDVERTICALALIGNFields[] = {Nest("Header", kBSIG), Word("Alignment")};
constexpr StructDef kCDVERTICALALIGN = Def(579, "CDVERTICALALIGN", kCDVERTICALALIGNFields);

constexpr FieldDef kCDFLOATFields[] = {Nest("Header", kBSIG), Word("Float")};
constexpr StructDef kCDFLOAT = Def(580, "CDFLOAT", kCDFLOATFields);

constexpr FieldDef kCDTIMERINFOFields[] = {Nest("Header", kBSIG), Dword("Interval"),
    Word("Reserved", 4)};
constexpr StructDef kCDTIMERINFO = Def(581, "CDTIMERINFO", kCDTIMERINFOFields);

constexpr FieldDef kCDTABLEROWHEIGHTFields[] = {Nest("Header", kBSIG), Word("RowHeight")};
constexpr StructDef kCDTABLEROWHEIGHT = Def(582, "CDTABLEROWHEIGHT", kCDTABLEROWHEIGHTFields);

constexpr FieldDef kCDTABLELABELFields[] = {Nest("Header", kWSIG), Char("Label", 128),
    Word("Reserved", 3), Word("Flags")};
constexpr StructDef kCDTABLELABEL = Def(583, "CDTABLELABEL", kCDTABLELABELFields);

constexpr FieldDef kCDTRANSITIONFields[] = {Nest("Header", kWSIG), Word("Type"),
    Word("Reserved", 4)};
constexpr StructDef kCDTRANSITION = Def(610, "CDTRANSITION", kCDTRANSITIONFields);

constexpr FieldDef kCDPLACEHOLDERFields[] = {Nest("Header", kWSIG), Word("Type"), Dword("Flags"),
    Word("Width"), Word("Height"), FontId("FontID"), Word("Characters"), Word("SpaceBetween"),
    Word("TextAlignment"), Word("SpaceWord"), FontId("SubFontID", 2), Word("DataLength"),
    Nest("BackgroundColor", kCOLOR_VALUE), Nest("ColorRGB", kCOLOR_VALUE), Word("SpareWord"),
    Dword("Spare", 3)};
constexpr StructDef kCDPLACEHOLDER = Def(611, "CDPLACEHOLDER", kCDPLACEHOLDERFields);

constexpr FieldDef kCDEMBEDDEDVIEWFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    FontId("SpareFontID"), Word("RestrictFormulaLength"), Word("WebLines"), Word("NameLength"),
    Word("wSpare"), Dword("Spare", 3)};
constexpr StructDef kCDEMBEDDEDVIEW = Def(615, "CDEMBEDDEDVIEW", kCDEMBEDDEDVIEWFields);

constexpr FieldDef kCDEMBEDDEDOUTLINEFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Dword("Unused", 3), Word("Alignment"), Word("SpaceBetweenEntries"), Word("LabelLength"),
    Word("Style"), Word("Title_VOffset"), Word("Title_HOffset"), Word("Title_Height"),
    Word("TopLevel_VOffset"), Word("TopLevel_HOffset"), Word("TopLevel_Height"),
    Word("SubLevel_VOffset"), Word("SubLevel_HOffset"), Word("SubLevel_Height"), Word("NameLength"),
    Word("TargetFrameLength"), FontId("SelectFontID", 3), FontId("MouseFontID", 3),
    Word("Font_VOffset", 3), Word("Font_HOffset", 3), Word("Align", 3),
    Nest("Control_BackColor", kCOLOR_VALUE), Nest("BackColor", kCOLOR_VALUE, 9),
    Nest("SelectFontColor", kCOLOR_VALUE, 3), Word("Repeat", 4), Word("Background_Align", 4),
    Word("Background_VOffset", 4), Word("Background_HOffset", 4), Word("wBackground_Image", 4),
    Nest("NormalFontColor", kCOLOR_VALUE, 3), Nest("MouseFontColor", kCOLOR_VALUE, 3),
    Word("RootLength"), Word("TopLevel_PixelHeight"), Word("wColWidth"), Word("SpareWord"),
    Dword("Spare", 4)};
constexpr StructDef kCDEMBEDDEDOUTLINE = Def(620, "CDEMBEDDEDOUTLINE", kCDEMBEDDEDOUTLINEFields);

constexpr FieldDef kCDREGIONBEGINFields[] = {Nest("Header", kWSIG), Word("Version"), Word("Flags"),
    Word("RegionNum"), Char("RegionName", 36)};
constexpr StructDef kCDREGIONBEGIN = Def(621, "CDREGIONBEGIN", kCDREGIONBEGINFields);

constexpr FieldDef kCDREGIONENDFields[] = {Nest("Header", kWSIG), Word("RegionNum"),
    Char("RegionName", 36)};
constexpr StructDef kCDREGIONEND = Def(622, "CDREGIONEND", kCDREGIONENDFields);

constexpr FieldDef kCDCELLBACKGROUNDDATAFields[] = {Nest("Header", kWSIG), Byte("Repeat"),
    Byte("Spare"), Dword("SpareDWORD")};
constexpr StructDef kCDCELLBACKGROUNDDATA =
    Def(623, "CDCELLBACKGROUNDDATA", kCDCELLBACKGROUNDDATAFields);

constexpr FieldDef kCDFRAMESETHEADERFields[] = {Nest("Header", kWSIG), Word("Version"),
    Word("RecCount"), Dword("Reserved", 4)};
constexpr StructDef kCDFRAMESETHEADER = Def(626, "CDFRAMESETHEADER", kCDFRAMESETHEADERFields);

constexpr FieldDef kCDFRAMESETFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Byte("BorderEnable"), Byte("byAvail1"), Word("Reserved1"), Word("Reserved2"),
    Word("FrameBorderWidth"), Word("Reserved3"), Word("FrameSpacingWidth"), Word("Reserved4"),
    Nest("ReservedColor1", kCOLOR_VALUE), Nest("ReservedColor2", kCOLOR_VALUE), Word("RowQty"),
    Word("ColQty"), Word("Reserved5"), Word("Reserved6"), Nest("FrameBorderColor", kCOLOR_VALUE),
    Byte("ThemeSetting"), Byte("Reserved7")};
constexpr StructDef kCDFRAMESET = Def(627, "CDFRAMESET", kCDFRAMESETFields);

constexpr FieldDef kCDFRAMEFields[] = {Nest("Header", kWSIG), Dword("Flags"), Word("DataFlags"),
    Byte("BorderEnable"), Byte("NoResize"), Word("ScrollBarStyle"), Word("MarginWidth"),
    Word("MarginHeight"), Dword("dwReserved"), Word("FrameNameLength"), Word("Reserved1"),
    Word("FrameTargetLength"), Nest("FrameBorderColor", kCOLOR_VALUE), Word("wReserved")};
constexpr StructDef kCDFRAME = Def(628, "CDFRAME", kCDFRAMEFields);

constexpr FieldDef kCDTARGETFields[] = {Nest("Header", kWSIG), Word("TargetLength"), Word("Flags"),
    Dword("Reserved")};
constexpr StructDef kCDTARGET = Def(629, "CDTARGET", kCDTARGETFields);

constexpr FieldDef kCDRESOURCEFields[] = {Nest("Header", kWSIG), Dword("Flags"), Word("Type"),
    Word("ResourceClass"), Word("Length1"), Word("ServerHintLength"), Word("FileHintLength"),
    Byte("Reserved", 8)};
constexpr StructDef kCDRESOURCE = Def(631, "CDRESOURCE", kCDRESOURCEFields);

constexpr FieldDef kCDMAPELEMENTFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Word("MapNameLength"), Word("LastDefaultRegionID"), Word("LastRectRegionID"),
    Word("LastCircleRegionID"), Word("LastPolyRegionID"), Byte("Reserved", 16)};
constexpr StructDef kCDMAPELEMENT = Def(632, "CDMAPELEMENT", kCDMAPELEMENTFields);

constexpr FieldDef kCDAREAELEMENTFields[] = {Nest("Header", kWSIG), Dword("Flags"), Word("Shape"),
    Word("TabIndex"), Word("AccessKey"), Byte("Reserved", 16)};
constexpr StructDef kCDAREAELEMENT = Def(633, "CDAREAELEMENT", kCDAREAELEMENTFields);

constexpr FieldDef kCDEMBEDDEDCTLFields[] = {Nest("Header", kWSIG), Dword("CtlStyle"),
    Word("Flags"), Word("Width"), Word("Height"), Word("Version"), Word("CtlType"),
    Word("MaxChars"), Word("MaxLines"), Word("Percentage"), Dword("Spare", 3)};
constexpr StructDef kCDEMBEDDEDCTL = Def(636, "CDEMBEDDEDCTL", kCDEMBEDDEDCTLFields);

constexpr FieldDef kCDEVENTFields[] = {Nest("Header", kWSIG), Dword("Flags"), Word("EventType"),
    Word("ActionType"), Dword("ActionLength"), Word("SignatureLength"), Byte("Reserved", 14)};
constexpr StructDef kCDEVENT = Def(637, "CDEVENT", kCDEVENTFields);

constexpr FieldDef kMIME_PARTFields[] = {Word("wVersion"), Dword("dwFlags"), Byte("cPartType"),
    Byte("cSpare"), Word("wByteCount"), Word("wBoundaryLen"), Word("wHeadersLen"), Word("wSpare"),
    Dword("dwSpare")};
constexpr StructDef kMIME_PART = Def(639, "MIME_PART", kMIME_PARTFields);

constexpr FieldDef kCDPRETABLEBEGINFields[] = {Nest("Header", kWSIG), Dword("Flags"), Byte("Rows"),
    Byte("Columns"), Dword("ColumnSizingBits1"), Dword("ColumnSizingBits2"), Byte("ViewerType"),
    Byte("Spare"), Word("MinRowHeight"), Word("Spares"), Dword("StyleColor1"), Dword("StyleColor2"),
    Nest("InnerBorderColor", kCOLOR_VALUE), Word("NameLength"), Word("ImagePacketLength"),
    Word("RowLabelDataLength")};
constexpr StructDef kCDPRETABLEBEGIN = Def(640, "CDPRETABLEBEGIN", kCDPRETABLEBEGINFields);

constexpr FieldDef kCDCOLORFields[] = {Nest("Header", kBSIG), Nest("Color", kCOLOR_VALUE)};
constexpr StructDef kCDCOLOR = Def(645, "CDCOLOR", kCDCOLORFields);

constexpr FieldDef kCDBORDERINFOFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Word("BorderStyle"), Word("BorderWidthTop"), Word("BorderWidthLeft"), Word("BorderWidthBottom"),
    Word("BorderWidthRight"), Dword("dwSpare"), Word("BorderFlags"), Word("DropShadowWidth"),
    Word("InnerWidthTop"), Word("InnerWidthLeft"), Word("InnerWidthBottom"),
    Word("InnerWidthRight"), Word("OuterWidthTop"), Word("OuterWidthLeft"),
    Word("OuterWidthBottom"), Word("OuterWidthRight"), Nest("Color", kCOLOR_VALUE),
    Word("wSpares", 5)};
constexpr StructDef kCDBORDERINFO = Def(646, "CDBORDERINFO", kCDBORDERINFOFields);

constexpr FieldDef kCDEXT2FIELDFields[] = {Nest("Header", kWSIG), Byte("NumSymPref"),
    Byte("NumSymFlags"), Dword("DecimalSymLength"), Dword("MilliSepSymLength"),
    Dword("NegativeSymLength"), Word("MilliGroupSize"), Sword("VerticalSpacing"),
    Sword("HorizontalSpacing"), Word("Unused2"), Word("FirstFieldLimitType"), Byte("CurrencyPref"),
    Byte("CurrencyType"), Byte("CurrencyFlags"), Dword("CurrencySymLength"), Dword("ISOCountry"),
    Word("ThumbnailImageWidth"), Word("ThumbnailImageHeight"),
    Word("wThumbnailImageFileNameLength"), Word("wIMOnlineNameFormulaLen"), Byte("DTPref"),
    Dword("DTFlags"), Dword("DTFlags2"), Byte("DTDOWFmt"), Byte("DTYearFmt"), Byte("DTMonthFmt"),
    Byte("DTDayFmt"), Byte("DTDsep1Len"), Byte("DTDsep2Len"), Byte("DTDsep3Len"), Byte("DTTsepLen"),
    Byte("DTDShow"), Byte("DTDSpecial"), Byte("DTTShow"), Byte("DTTZone"), Dword("Unused5"),
    Byte("ECFlags"), Byte("Unused612"), Word("wCharacters"), Word("wInputEnabledLen"),
    Word("wIMGroupFormulaLen")};
constexpr StructDef kCDEXT2FIELD = Def(672, "CDEXT2FIELD", kCDEXT2FIELDFields);

constexpr FieldDef kCDEMBEDDEDSCHEDCTLFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Word("TargetFrameLength"), Word("DisplayStartDTItemFormulaLength"),
    Word("HrsPerDayItemFormulaLength"), Word("ReqPeopleItemsFormulaLength"),
    Nest("BusyTimeColor", kCOLOR_VALUE), Nest("FreeTimeColor", kCOLOR_VALUE),
    Nest("NoDataColor", kCOLOR_VALUE), Nest("DataRestrictedColor", kCOLOR_VALUE),
    Nest("GridLineColor", kCOLOR_VALUE), Word("NameColWidth"), Word("PeopleLines"),
    Word("RoomsLines"), Word("ResourcesLines"), Word("SpareWORD", 5), Dword("SpareDWORD", 13)};
constexpr StructDef kCDEMBEDDEDSCHEDCTL = Def(674, "CDEMBEDDEDSCHEDCTL", kCDEMBEDDEDSCHEDCTLFields);

// 14 bytes stored, 16 in host form (the pad after wVersion).
constexpr FieldDef kRFC822ITEMDESCFields[] = {Word("wVersion"), Dword("dwFlags"),
    Word("wNotesNativeLen"), Word("w822NameLen"), Word("w822DelimLen"), Word("w822BodyLen")};
constexpr StructDef kRFC822ITEMDESC = Def(675, "RFC822ITEMDESC", kRFC822ITEMDESCFields);

constexpr FieldDef kCDBLOBPARTFields[] = {Nest("Header", kWSIG), Word("OwnerSig"), Word("Length"),
    Word("BlobMax"), Byte("Reserved", 8)};
constexpr StructDef kCDBLOBPART = Def(695, "CDBLOBPART", kCDBLOBPARTFields);

constexpr FieldDef kCDIMAGEHEADERFields[] = {Nest("Header", kLSIG), Word("ImageType"),
    Word("Width"), Word("Height"), Dword("ImageDataSize"), Dword("SegCount"), Dword("Flags"),
    Dword("Reserved")};
constexpr StructDef kCDIMAGEHEADER = Def(705, "CDIMAGEHEADER", kCDIMAGEHEADERFields);

constexpr FieldDef kCDIMAGESEGMENTFields[] = {Nest("Header", kLSIG), Word("DataSize"),
    Word("SegSize")};
constexpr StructDef kCDIMAGESEGMENT = Def(706, "CDIMAGESEGMENT", kCDIMAGESEGMENTFields);

constexpr FieldDef kCDIDNAMEFields[] = {Nest("Header", kWSIG), Word("Length"), Word("wClassLen"),
    Word("wStyleLen"), Word("wTitleLen"), Word("wExtraLen"), Word("wNameLen"),
    Byte("reserved", 10)};
constexpr StructDef kCDIDNAME = Def(708, "CDIDNAME", kCDIDNAMEFields);

constexpr FieldDef kCDACTIONBAREXTFields[] = {Nest("Header", kWSIG),
    Nest("BackColor", kCOLOR_VALUE), Nest("LineColor", kCOLOR_VALUE),
    Nest("FontColor", kCOLOR_VALUE), Nest("ButtonColor", kCOLOR_VALUE), Word("BtnBorderDisplay"),
    Word("wAppletHeight"), Word("wBarBackgroundRepeat"), Byte("BtnWidthStyle"),
    Byte("BtnTextJustify"), Word("wBtnWidthAbsolute"), Word("wBtnInternalMargin"), Dword("dwFlags"),
    FontId("barFontID"), Nest("barHeight", kLENGTH_VALUE), Dword("Spare", 12)};
constexpr StructDef kCDACTIONBAREXT = Def(719, "CDACTIONBAREXT", kCDACTIONBAREXTFields);

constexpr FieldDef kCDLINKCOLORSFields[] = {Nest("Header", kWSIG), Dword("dwFlags"),
    Nest("unvisitedColor", kCOLOR_VALUE), Nest("activeColor", kCOLOR_VALUE),
    Nest("visitedColor", kCOLOR_VALUE), Dword("dwSpares", 4)};
constexpr StructDef kCDLINKCOLORS = Def(722, "CDLINKCOLORS", kCDLINKCOLORSFields);

constexpr FieldDef kCDCAPTIONFields[] = {Nest("Header", kWSIG), Word("wLength"), Byte("Position"),
    FontId("FontID"), Nest("FontColor", kCOLOR_VALUE), Byte("Reserved", 11)};
constexpr StructDef kCDCAPTION = Def(728, "CDCAPTION", kCDCAPTIONFields);

constexpr FieldDef kCDFIELDHINTFields[] = {Nest("Header", kWSIG), Word("HintTextLength"),
    Word("Flags"), Word("Spare"), Dword("Spare2")};
constexpr StructDef kCDFIELDHINT = Def(742, "CDFIELDHINT", kCDFIELDHINTFields);

constexpr FieldDef kCDINLINEFields[] = {Nest("Header", kWSIG), Word("wDatalength"),
    Dword("dwFlags"), Dword("dwReserved", 4)};
constexpr StructDef kCDINLINE = Def(756, "CDINLINE", kCDINLINEFields);

constexpr FieldDef kCDTEXTPROPERTIESTABLEFields[] = {Nest("Header", kWSIG),
    Word("NumberOfEntries")};
constexpr StructDef kCDTEXTPROPERTIESTABLE =
    Def(765, "CDTEXTPROPERTIESTABLE", kCDTEXTPROPERTIESTABLEFields);

constexpr FieldDef kCDSPANRECORDFields[] = {Nest("Header", kBSIG), Dword("PropID")};
constexpr StructDef kCDSPANRECORD = Def(766, "CDSPANRECORD", kCDSPANRECORDFields);

constexpr FieldDef kCDDECSFIELDFields[] = {Nest("Header", kWSIG), Word("Flags"),
    Word("ExternalNameLength"), Word("MetadataNameLength"), Word("DCRNameLength"),
    Word("Spare", 8)};
constexpr StructDef kCDDECSFIELD = Def(767, "CDDECSFIELD", kCDDECSFIELDFields);

constexpr FieldDef kCDLAYERFields[] = {Nest("Header", kBSIG), Dword("Reserved", 4)};
constexpr StructDef kCDLAYER = Def(808, "CDLAYER", kCDLAYERFields);

constexpr FieldDef kCDPOSITIONINGFields[] = {Nest("Header", kBSIG), Byte("Scheme"),
    Byte("bReserved"), Long("ZIndex"), Nest("Top", kLENGTH_VALUE), Nest("Left", kLENGTH_VALUE),
    Nest("Bottom", kLENGTH_VALUE), Nest("Right", kLENGTH_VALUE), Number("BrowserLeftOffset"),
    Number("BrowserRightOffset")};
constexpr StructDef kCDPOSITIONING = Def(809, "CDPOSITIONING", kCDPOSITIONINGFields);

constexpr FieldDef kCDBOXSIZEFields[] = {Nest("Header", kBSIG), Nest("Width", kLENGTH_VALUE),
    Nest("Height", kLENGTH_VALUE), Nest("Reserved", kLENGTH_VALUE, 4), Dword("dwReserved", 4)};
constexpr StructDef kCDBOXSIZE = Def(810, "CDBOXSIZE", kCDBOXSIZEFields);

constexpr FieldDef kCDEMBEDDEDEDITCTLFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Word("NameLength"), Word("SpareWORD", 5), Dword("SpareDWORD", 11)};
constexpr StructDef kCDEMBEDDEDEDITCTL = Def(816, "CDEMBEDDEDEDITCTL", kCDEMBEDDEDEDITCTLFields);

constexpr FieldDef kCDEMBEDDEDSCHEDCTLEXTRAFields[] = {Nest("Header", kWSIG),
    Word("FixedPartLength"), Dword("Flags"), Nest("SchedHdrBkgndColor", kCOLOR_VALUE),
    Nest("SchedHdrFontColor", kCOLOR_VALUE), Nest("SchedBkgndColor", kCOLOR_VALUE),
    Nest("NameHdrBkgndColor", kCOLOR_VALUE), Nest("NameHdrFontColor", kCOLOR_VALUE),
    Nest("NameBkgndColor", kCOLOR_VALUE), Nest("NameMouseBkgndColor", kCOLOR_VALUE),
    Nest("NameSelectBkgndColor", kCOLOR_VALUE), Nest("NameFontColor", kCOLOR_VALUE),
    Nest("NameMouseFontColor", kCOLOR_VALUE), Nest("NameSelectFontColor", kCOLOR_VALUE),
    Word("OptPeopleItemsFormulaLength"), Word("ReqRoomsItemsFormulaLength"),
    Word("OptRoomsItemsFormulaLength"), Word("ReqResourcesItemsFormulaLength"),
    Word("OptResourcesItemsFormulaLength"), Word("IntervalStartDTItemFormulaLength"),
    Word("IntervalEndDTItemFormulaLength"), Word("SchedulerNameLength"), Word("PeopleTitleLength"),
    Word("RoomsTitleLength"), Word("ResourcesTitleLength"),
    Word("IntervalChangeEventFormulaLength"), Nest("ProfileColor", kCOLOR_VALUE),
    Word("SchedDetailItemsFormulaLength"), Nest("SuggBkgndColor", kCOLOR_VALUE),
    Nest("SuggMouseBkgndColor", kCOLOR_VALUE), Nest("SuggSelectBkgndColor", kCOLOR_VALUE),
    Word("DetailDisplayFormFormulaLength"), Word("SuggestionsAvailEventFormulaLength"),
    Word("wReserved", 2), Dword("dwReserved", 6)};
constexpr StructDef kCDEMBEDDEDSCHEDCTLEXTRA =
    Def(818, "CDEMBEDDEDSCHEDCTLEXTRA", kCDEMBEDDEDSCHEDCTLEXTRAFields);

constexpr FieldDef kCDBACKGROUNDPROPERTIESFields[] = {Nest("Header", kBSIG), Byte("Repeat"),
    Byte("bReserved"), Nest("lvReservedX", kLENGTH_VALUE), Nest("lvReservedY", kLENGTH_VALUE),
    Dword("dwReserved", 4)};
constexpr StructDef kCDBACKGROUNDPROPERTIES =
    Def(822, "CDBACKGROUNDPROPERTIES", kCDBACKGROUNDPROPERTIESFields);

constexpr FieldDef kCDTEXTPROPERTYFields[] = {Nest("Header", kWSIG), Char("TextStyleName", 128),
    Char("LangName", 8), Dword("PropID"), Dword("Flags"), Dword("Reserved2"), Dword("Reserved3")};
constexpr StructDef kCDTEXTPROPERTY = Def(833, "CDTEXTPROPERTY", kCDTEXTPROPERTYFields);

constexpr FieldDef kCDDATAFLAGSFields[] = {Nest("Header", kBSIG), Word("nFlags"), Word("elemType"),
    Dword("dwReserved")};
constexpr StructDef kCDDATAFLAGS = Def(834, "CDDATAFLAGS", kCDDATAFLAGSFields);

constexpr FieldDef kCDFILEHEADERFields[] = {Nest("Header", kLSIG), Word("FileExtLen"),
    Dword("FileDataSize"), Dword("SegCount"), Dword("Flags"), Dword("Reserved")};
constexpr StructDef kCDFILEHEADER = Def(835, "CDFILEHEADER", kCDFILEHEADERFields);

constexpr FieldDef kCDFILESEGMENTFields[] = {Nest("Header", kLSIG), Word("DataSize"),
    Word("SegSize"), Dword("Flags"), Dword("Reserved")};
constexpr StructDef kCDFILESEGMENT = Def(836, "CDFILESEGMENT", kCDFILESEGMENTFields);

constexpr FieldDef kCDEVENTENTRYFields[] = {Nest("Header", kWSIG), Word("wPlatform"),
    Word("wEventId"), Word("wActionType"), Word("wReserved"), Dword("dwReserved")};
constexpr StructDef kCDEVENTENTRY = Def(847, "CDEVENTENTRY", kCDEVENTENTRYFields);

constexpr FieldDef kCDACTIONEXTFields[] = {Nest("Header", kWSIG), Dword("dwFlags"),
    Word("wControlType"), Word("wControlFormulaLen"), Word("wLabelFormulaLen"),
    Word("wParentLabelFormulaLen"), Word("wCompActionIDLen"), Word("wProgrammaticUseTxtLen"),
    Dword("dwExtra", 2)};
constexpr StructDef kCDACTIONEXT = Def(848, "CDACTIONEXT", kCDACTIONEXTFields);

constexpr FieldDef kCDEMBEDDEDCALCTLFields[] = {Nest("Header", kWSIG), Dword("Flags"),
    Nest("HeaderBkgnd", kCOLOR_VALUE), Nest("SelectionColor", kCOLOR_VALUE),
    Word("TargetFrameLength"), Dword("Spare", 10)};
constexpr StructDef kCDEMBEDDEDCALCTL = Def(849, "CDEMBEDDEDCALCTL", kCDEMBEDDEDCALCTLFields);

constexpr FieldDef kCDTABLEDATAEXTENSIONFields[] = {Nest("Header", kWSIG),
    Dword("dwColumnSizeToFitBits1"), Dword("dwColumnSizeToFitBits2"), Word("wEqualSizeTabsWidthX"),
    Word("wTabsIndentWidthX"), Word("wAvailable3"), Word("wAvailable4"), Dword("dwAvailable5"),
    Dword("dwAvailable6"), Dword("dwAvailable7"), Dword("dwAvailable8"), Dword("dwAvailable9"),
    Word("wcTabLabelFont"), Word("wAvailableLength11"), Word("wAvailableLength12"),
    Word("wExtension2Length")};
constexpr StructDef kCDTABLEDATAEXTENSION =
    Def(857, "CDTABLEDATAEXTENSION", kCDTABLEDATAEXTENSIONFields);

constexpr FieldDef kCDLARGEPARAGRAPHFields[] = {Nest("Header", kWSIG), Word("Version"),
    Word("Flags"), Dword("Spare", 2)};
constexpr StructDef kCDLARGEPARAGRAPH = Def(909, "CDLARGEPARAGRAPH", kCDLARGEPARAGRAPHFields);

constexpr FieldDef kCDIGNOREFields[] = {Nest("Header", kBSIG), Word("wNotesVersion"),
    Dword("dwFlags"), Dword("dwUnused", 6)};
constexpr StructDef kCDIGNORE = Def(912, "CDIGNORE", kCDIGNOREFields);

constexpr const StructDef* kStructsByType[] = {
    &kWORD,
    &kDWORD,
    &kNUMBER,
    &kTIMEDATE,
    &kTIMEDATE_PAIR,
    &kLIST,
    &kRANGE,
    &kDBID,
    &kORIGINATORID,
    &kOBJECT_DESCRIPTOR,
    &kUNIVERSALNOTEID,
    &kNOTELINK,
    &kFILEOBJECT,
    &kCDKEYWORD,
    &kCDLINK2,
    &kCDLINKEXPORT2,
    &kCDPARAGRAPH,
    &kCDPABDEFINITION,
    &kCDPABREFERENCE,
    &kCDFIELD_PRE_36,
    &kCDTEXT,
    &kCDDOCUMENT,
    &kCDMETAFILE,
    &kCDBITMAP,
    &kCDHEADER,
    &kCDFIELD,
    &kCDFONTTABLE,
    &kCDFACE,
    &kCDBITMAPHEADER,
    &kCDBITMAPSEGMENT,
    &kCDCOLORTABLE,
    &kCDPATTERNTABLE,
    &kCDGRAPHIC,
    &kCDPMMETAHEADER,
    &kCDWINMETAHEADER,
    &kCDMACMETAHEADER,
    &kCDCGMMETA,
    &kCDPMMETASEG,
    &kCDWINMETASEG,
    &kCDMACMETASEG,
    &kCDDDEBEGIN,
    &kCDDDEEND,
    &kCDTABLEBEGIN,
    &kCDTABLECELL,
    &kCDTABLEEND,
    &kCDSTYLENAME,
    &kCDOLEBEGIN,
    &kCDOLEEND,
    &kCDHOTSPOTBEGIN,
    &kCDHOTSPOTEND,
    &kCDBUTTON,
    &kCDBAR,
    &kCDACTION,
    &kCDEXTFIELD,
    &kCDLAYOUT,
    &kCDLAYOUTTEXT,
    &kCDLAYOUTEND,
    &kCDLAYOUTFIELD,
    &kCDDOCAUTOLAUNCH,
    &kCDPABHIDE,
    &kCDPABFORMULAREF,
    &kCDACTIONBAR,
    &kCDOLEOBJ_INFO,
    &kCDLAYOUTGRAPHIC,
    &kCDLAYOUTBUTTON,
    &kCDLSOBJECT,
    &kCDHTMLHEADER,
    &kCDHTMLSEGMENT,
    &kCDTEXTEFFECT,
    &kCDSTORAGELINK,
    &kCDTRANSPARENTTABLE,
    &kCDALTERNATEBEGIN,
    &kCDALTERNATEEND,
    &kCDOLERTMARKER,
    &kCDANCHOR,
    &kCDHRULE,
    &kCDALTTEXT,
    &kCDHTMLBEGIN,
    &kCDHTMLEND,
    &kCDHTMLFORMULA,
    &kCDBEGINRECORD,
    &kCDENDRECORD,
    &kCDVERTICALALIGN,
    &kCDFLOAT,
    &kCDTIMERINFO,
    &kCDTABLEROWHEIGHT,
    &kCDTABLELABEL,
    &kCDTRANSITION,
    &kCDPLACEHOLDER,
    &kCDEMBEDDEDVIEW,
    &kCDEMBEDDEDOUTLINE,
    &kCDREGIONBEGIN,
    &kCDREGIONEND,
    &kCDCELLBACKGROUNDDATA,
    &kCDFRAMESETHEADER,
    &kCDFRAMESET,
    &kCDFRAME,
    &kCDTARGET,
    &kCDRESOURCE,
    &kCDMAPELEMENT,
    &kCDAREAELEMENT,
    &kCDEMBEDDEDCTL,
    &kCDEVENT,
    &kMIME_PART,
    &kCDPRETABLEBEGIN,
    &kCDCOLOR,
    &kCDBORDERINFO,
    &kCDEXT2FIELD,
    &kCDEMBEDDEDSCHEDCTL,
    &kRFC822ITEMDESC,
    &kCOLOR_VALUE,
    &kCDBLOBPART,
    &kCDIMAGEHEADER,
    &kCDIMAGESEGMENT,
    &kCDIDNAME,
    &kCDACTIONBAREXT,
    &kCDLINKCOLORS,
    &kCDCAPTION,
    &kCDFIELDHINT,
    &kCDINLINE,
    &kCDTEXTPROPERTIESTABLE,
    &kCDSPANRECORD,
    &kCDDECSFIELD,
    &kCDLAYER,
    &kCDPOSITIONING,
    &kCDBOXSIZE,
    &kCDEMBEDDEDEDITCTL,
    &kCDEMBEDDEDSCHEDCTLEXTRA,
    &kCDBACKGROUNDPROPERTIES,
    &kCDTEXTPROPERTY,
    &kCDDATAFLAGS,
    &kCDFILEHEADER,
    &kCDFILESEGMENT,
    &kCDEVENTENTRY,
    &kCDACTIONEXT,
    &kCDEMBEDDEDCALCTL,
    &kCDTABLEDATAEXTENSION,
    &kCDLARGEPARAGRAPH,
    &kCDIGNORE,
};

constexpr bool SortedByType() {
    return std::is_sorted(std::begin(kStructsByType), std::end(kStructsByType),
                          [](const StructDef* a, const StructDef* b) { return a->type < b->type; });
}
static_assert(SortedByType(), "the structure table must be sorted by type code");

} // namespace

std::span<const StructDef* const> StructDefsByType() { return kStructsByType; }

} // namespace plat
