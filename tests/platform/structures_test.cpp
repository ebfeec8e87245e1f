// Structures by type code: documented lengths, conversion between stored and
// host form, and the signature table.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <random>
#include <vector>

#include "status_codes.h"
#include "talix_platform.h"

namespace {

using plat::BYTE;
using plat::DWORD;
using plat::WORD;

struct TypeLengths {
    WORD type;
    WORD stored;
    WORD host;
};

// The documented stored (packed) and host length of every structure type code
// that has a layout.
constexpr TypeLengths kDocumentedLengths[] = {
    {0, 2, 2}, {1, 4, 4}, {2, 8, 8}, {68, 12, 12}, {72, 6, 6}, {97, 44, 44}, {109, 2, 2},
    {110, 70, 72}, {111, 4, 4}, {112, 34, 36}, {113, 8, 8}, {114, 24, 24}, {117, 43, 48},
    {118, 36, 40}, {119, 6, 6}, {162, 38, 40}, {163, 18, 20}, {164, 6, 8}, {165, 6, 8},
    {166, 28, 32}, {167, 22, 28}, {168, 22, 28}, {169, 16, 20}, {170, 16, 20}, {171, 10, 12},
    {172, 10, 12}, {173, 10, 12}, {174, 288, 288}, {175, 8, 8}, {176, 14, 14}, {177, 18, 18},
    {178, 6, 8}, {188, 44, 48}, {218, 18, 20}, {219, 8, 8}, {230, 12, 16}, {231, 2, 2},
    {237, 16, 16}, {308, 12, 12}, {340, 22, 24}, {342, 20, 20}, {343, 28, 28}, {344, 42, 44},
    {345, 18, 18}, {346, 42, 44}, {350, 50, 52}, {358, 14, 14}, {359, 6, 6}, {360, 28, 28},
    {379, 48, 48}, {407, 42, 44}, {466, 42, 44}, {482, 12, 12}, {492, 6, 6}, {493, 6, 6},
    {508, 8, 8}, {515, 24, 24}, {541, 10, 12}, {554, 16, 20}, {555, 6, 8}, {556, 8, 8},
    {559, 10, 12}, {560, 16, 16}, {561, 12, 12}, {564, 8, 8}, {565, 8, 8}, {566, 12, 12},
    {577, 6, 6}, {578, 6, 6}, {579, 4, 4}, {580, 4, 4}, {581, 14, 16}, {582, 4, 4},
    {583, 140, 140}, {610, 14, 14}, {611, 62, 64}, {615, 32, 32}, {620, 270, 272}, {621, 46, 46},
    {622, 42, 42}, {623, 10, 12}, {626, 24, 24}, {627, 50, 52}, {628, 36, 40}, {629, 12, 12},
    {631, 26, 28}, {632, 34, 36}, {633, 30, 32}, {636, 36, 36}, {637, 32, 32}, {640, 44, 48},
    {645, 8, 8}, {646, 58, 60}, {672, 80, 88}, {674, 116, 116}, {695, 18, 18}, {705, 28, 32},
    {706, 10, 12}, {708, 26, 26}, {719, 108, 120}, {722, 42, 44}, {728, 28, 32}, {742, 14, 16},
    {756, 26, 28}, {765, 6, 6}, {766, 6, 8}, {767, 28, 28}, {808, 18, 20}, {809, 72, 120},
    {810, 90, 168}, {816, 64, 64}, {818, 158, 160}, {822, 44, 72}, {833, 156, 156}, {834, 10, 12},
    {835, 24, 28}, {836, 18, 20}, {847, 16, 16}, {848, 28, 28}, {849, 62, 64}, {857, 48, 48},
    {909, 16, 16}, {912, 32, 32}, {10, 8, 8}, {11, 16, 16}, {13, 2, 2}, {14, 4, 4}, {15, 8, 8},
    {26, 28, 28}, {27, 6, 8}, {28, 16, 16}, {33, 40, 40}, {58, 36, 40}, {120, 34, 34},
    {639, 20, 24}, {675, 14, 16}, {690, 6, 6},
};

struct SignatureHost {
    WORD signature;
    WORD host;
    WORD type;
};

// The host length and structure type of every signature of the system's
// signature table that has a layout (0xFF87 and 0xFF88 have none; see
// LayoutExceptions).
constexpr SignatureHost kSignatureTable[] = {
    {0x0059, 32, 912}, {0x0060, 20, 836}, {0x0061, 28, 835}, {0x0062, 12, 834}, {0x0063, 72, 822},
    {0x006A, 168, 810}, {0x006B, 120, 809}, {0x006C, 20, 808}, {0x006E, 8, 766}, {0x006F, 8, 766},
    {0x0072, 8, 645}, {0x007C, 12, 706}, {0x007D, 32, 705}, {0x007F, 2, 231}, {0x0080, 24, 114},
    {0x0081, 2, 109}, {0x0083, 4, 111}, {0x0086, 24, 114}, {0x008C, 6, 72}, {0x008D, 44, 97},
    {0x0095, 40, 162}, {0x0096, 20, 163}, {0x0097, 8, 164}, {0x0098, 8, 165}, {0x0099, 32, 166},
    {0x009A, 12, 171}, {0x009B, 12, 172}, {0x009C, 12, 173}, {0x009D, 20, 170}, {0x009E, 28, 167},
    {0x009F, 28, 168}, {0x00A0, 20, 169}, {0x00A3, 14, 176}, {0x00A4, 18, 177}, {0x00A5, 8, 178},
    {0x00A6, 48, 188}, {0x00AA, 2, 231}, {0x00AE, 2, 231}, {0x00B7, 28, 343}, {0x00B8, 44, 344},
    {0x00B9, 18, 345}, {0x00BA, 44, 346}, {0x00BC, 6, 359}, {0x00BD, 28, 360}, {0x00C0, 44, 407},
    {0x00C2, 44, 466}, {0x00C5, 12, 541}, {0x00C7, 8, 555}, {0x00CF, 14, 176}, {0x00D0, 18, 177},
    {0x00D1, 8, 178}, {0x00D2, 8, 645}, {0x00D3, 8, 645}, {0x00DD, 6, 577}, {0x00DE, 6, 578},
    {0x00DF, 4, 579}, {0x00E0, 4, 580}, {0x00E1, 16, 581}, {0x00E2, 4, 582}, {0xFF5A, 28, 631},
    {0xFF5B, 28, 631}, {0xFF5C, 48, 857}, {0xFF5D, 64, 849}, {0xFF5E, 28, 848}, {0xFF5F, 16, 847},
    {0xFF65, 18, 695}, {0xFF66, 32, 637}, {0xFF68, 16, 909}, {0xFF69, 160, 818}, {0xFF6D, 28, 767},
    {0xFF70, 6, 765}, {0xFF71, 28, 631}, {0xFF73, 28, 756}, {0xFF74, 16, 230}, {0xFF75, 12, 629},
    {0xFF76, 32, 728}, {0xFF77, 44, 722}, {0xFF78, 28, 631}, {0xFF79, 120, 719}, {0xFF7A, 26, 708},
    {0xFF7B, 26, 708}, {0xFF7E, 16, 230}, {0xFF80, 156, 833}, {0xFF82, 72, 110}, {0xFF84, 36, 112},
    {0xFF85, 8, 113}, {0xFF8A, 40, 118}, {0xFF8B, 6, 119}, {0xFF8E, 48, 117}, {0xFF8F, 12, 68},
    {0xFF91, 6, 72}, {0xFF92, 44, 97}, {0xFFA1, 288, 174}, {0xFFA2, 8, 175}, {0xFFA7, 20, 218},
    {0xFFA8, 8, 219}, {0xFFA9, 16, 230}, {0xFFAB, 16, 237}, {0xFFAC, 12, 308}, {0xFFAD, 16, 230},
    {0xFFB0, 20, 342}, {0xFFB1, 12, 482}, {0xFFB2, 6, 492}, {0xFFB3, 6, 493}, {0xFFBB, 14, 358},
    {0xFFBE, 24, 340}, {0xFFBF, 52, 350}, {0xFFC1, 48, 379}, {0xFFC3, 8, 508}, {0xFFC4, 24, 515},
    {0xFFC6, 20, 554}, {0xFFC8, 8, 556}, {0xFFC9, 16, 560}, {0xFFCA, 12, 561}, {0xFFCB, 12, 559},
    {0xFFCC, 8, 564}, {0xFFCD, 8, 565}, {0xFFCE, 12, 566}, {0xFFDC, 18, 695}, {0xFFE3, 140, 583},
    {0xFFE4, 8, 113}, {0xFFE5, 8, 508}, {0xFFE6, 46, 621}, {0xFFE7, 42, 622}, {0xFFE8, 14, 610},
    {0xFFE9, 16, 742}, {0xFFEA, 64, 611}, {0xFFEC, 272, 620}, {0xFFED, 32, 615}, {0xFFEE, 12, 623},
    {0xFFEF, 24, 626}, {0xFFF0, 52, 627}, {0xFFF1, 40, 628}, {0xFFF2, 12, 629}, {0xFFF4, 36, 632},
    {0xFFF5, 32, 633}, {0xFFF6, 28, 631}, {0xFFF7, 36, 636}, {0xFFF8, 12, 561}, {0xFFF9, 32, 637},
    {0xFFFB, 48, 640}, {0xFFFC, 60, 646}, {0xFFFD, 116, 674}, {0xFFFE, 88, 672}, {0xFFFF, 64, 816},
};

// Little-endian stored bytes built field by field.
class Packed {
public:
    Packed& Byte(BYTE value) {
        bytes_.push_back(value);
        return *this;
    }
    Packed& Word(WORD value) { return Byte(value & 0xFF).Byte(value >> 8); }
    Packed& Dword(DWORD value) { return Word(value & 0xFFFF).Word(value >> 16); }
    Packed& Number(double value) {
        BYTE raw[8];
        std::memcpy(raw, &value, 8);
        for (BYTE b : raw) Byte(b);
        return *this;
    }
    Packed& Zeros(std::size_t n) {
        bytes_.insert(bytes_.end(), n, 0);
        return *this;
    }
    const std::vector<BYTE>& bytes() const { return bytes_; }

private:
    std::vector<BYTE> bytes_;
};

template <class T>
T At(const std::vector<BYTE>& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// Reads one structure of a type from packed bytes into a host buffer,
// checking that the whole stored length was consumed.
std::vector<BYTE> ReadHost(WORD type, const std::vector<BYTE>& packed) {
    std::vector<BYTE> host(plat::StructHostLength(type), 0xAA);
    const void* src = packed.data();
    EXPECT_EQ(plat::StructRead(&src, type, host.data()), plat::NOERROR);
    EXPECT_EQ(static_cast<const BYTE*>(src), packed.data() + plat::StructStoredLength(type));
    return host;
}

// Writes one structure of a type from a host buffer back to packed bytes.
std::vector<BYTE> WriteStored(WORD type, const std::vector<BYTE>& host) {
    std::vector<BYTE> packed(plat::StructStoredLength(type), 0x55);
    void* dest = packed.data();
    EXPECT_EQ(plat::StructWrite(&dest, type, host.data()), plat::NOERROR);
    EXPECT_EQ(static_cast<BYTE*>(dest), packed.data() + packed.size());
    return packed;
}

TEST(StructLengths, EveryTypeCodeHasItsDocumentedLengths) {
    for (const TypeLengths& t : kDocumentedLengths) {
        SCOPED_TRACE(t.type);
        EXPECT_EQ(plat::StructStoredLength(t.type), t.stored);
        EXPECT_EQ(plat::StructHostLength(t.type), t.host);
        EXPECT_NE(plat::StructName(t.type), nullptr);
    }
    EXPECT_STREQ(plat::StructName(113), "CDTEXT");
    EXPECT_STREQ(plat::StructName(plat::ODS_WORD), "WORD");
    EXPECT_STREQ(plat::StructName(58), "FILEOBJECT");
}

TEST(StructLengths, SignatureTableHostLengths) {
    for (const SignatureHost& s : kSignatureTable) {
        SCOPED_TRACE(s.signature);
        WORD type = 0;
        const char* name = nullptr;
        ASSERT_TRUE(plat::SignatureInfo(s.signature, &type, &name));
        EXPECT_EQ(type, s.type);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(plat::StructHostLength(type), s.host);
    }
}

TEST(StructLengths, LayoutExceptions) {
    // The old metafile and bitmap records: known, but without a layout.
    for (WORD signature : {WORD{0xFF87}, WORD{0xFF88}}) {
        SCOPED_TRACE(signature);
        WORD type = 0;
        ASSERT_TRUE(plat::SignatureInfo(signature, &type, nullptr));
        EXPECT_EQ(type, signature == 0xFF87 ? 115 : 116);
        EXPECT_STREQ(plat::StructName(type), signature == 0xFF87 ? "CDMETAFILE" : "CDBITMAP");
        EXPECT_EQ(plat::StructStoredLength(type), 0);
        EXPECT_EQ(plat::StructHostLength(type), 0);

        BYTE stored[16] = {}, host[16];
        std::memset(host, 0xAA, sizeof host);
        const void* src = stored;
        EXPECT_EQ(plat::StructRead(&src, type, host), plat::ERR_UNKNOWN_STRUCT);
        EXPECT_EQ(src, stored);
        EXPECT_EQ(host[0], 0xAA);
        void* dest = stored;
        EXPECT_EQ(plat::StructWrite(&dest, type, host), plat::ERR_UNKNOWN_STRUCT);
        EXPECT_EQ(dest, stored);
        EXPECT_EQ(stored[0], 0);
    }

    // The alternate-text records: 12 bytes with a trailing DWORD, not the
    // 8 bytes of a three-field layout.
    for (WORD signature : {WORD{0xFFCA}, WORD{0xFFF8}}) {
        SCOPED_TRACE(signature);
        WORD type = 0;
        ASSERT_TRUE(plat::SignatureInfo(signature, &type, nullptr));
        EXPECT_EQ(type, 561);
        EXPECT_EQ(plat::StructStoredLength(type), 12);
        EXPECT_EQ(plat::StructHostLength(type), 12);
        Packed packed;
        packed.Word(signature).Word(17).Word(5).Word(0).Dword(0xCAFEF00D);
        std::vector<BYTE> host = ReadHost(type, packed.bytes());
        EXPECT_EQ(At<WORD>(host, 4), 5);
        EXPECT_EQ(At<DWORD>(host, 8), 0xCAFEF00Du);
        EXPECT_EQ(WriteStored(type, host), packed.bytes());
    }
}

TEST(StructConvert, StoredBytesSurviveReadAndWriteForEveryType) {
    std::mt19937 random(20240611);
    constexpr WORD kCount = 3;
    constexpr std::size_t kGuard = 8;
    for (const TypeLengths& t : kDocumentedLengths) {
        SCOPED_TRACE(t.type);
        const std::size_t stored = std::size_t{t.stored} * kCount;
        const std::size_t host = std::size_t{t.host} * kCount;

        std::vector<BYTE> packed(stored + kGuard);
        for (BYTE& b : packed) b = static_cast<BYTE>(random());
        std::vector<BYTE> native(host + kGuard, 0xAA);
        const void* src = packed.data();
        ASSERT_EQ(plat::StructRead(&src, t.type, native.data(), kCount), plat::NOERROR);
        EXPECT_EQ(static_cast<const BYTE*>(src), packed.data() + stored);
        EXPECT_EQ(std::vector<BYTE>(native.begin() + host, native.end()),
                  std::vector<BYTE>(kGuard, 0xAA));

        std::vector<BYTE> back(stored + kGuard, 0x55);
        void* dest = back.data();
        ASSERT_EQ(plat::StructWrite(&dest, t.type, native.data(), kCount), plat::NOERROR);
        EXPECT_EQ(static_cast<BYTE*>(dest), back.data() + stored);
        EXPECT_TRUE(std::equal(back.begin(), back.begin() + stored, packed.begin()));
        EXPECT_EQ(std::vector<BYTE>(back.begin() + stored, back.end()),
                  std::vector<BYTE>(kGuard, 0x55));

        // All-ones stored bytes: every host byte is either a field byte (0xFF)
        // or padding (zero), and each stored byte lands exactly once.
        std::vector<BYTE> ones(stored, 0xFF);
        std::vector<BYTE> padded(host, 0xAA);
        src = ones.data();
        ASSERT_EQ(plat::StructRead(&src, t.type, padded.data(), kCount), plat::NOERROR);
        std::size_t fieldBytes = 0;
        for (BYTE b : padded) {
            EXPECT_TRUE(b == 0x00 || b == 0xFF);
            fieldBytes += b == 0xFF;
        }
        EXPECT_EQ(fieldBytes, stored);
    }
}

// Host forms as a C++ compiler lays them out on this 64-bit host: the
// independent check of the computed host offsets.
struct LSIG {
    WORD Signature;
    DWORD Length;
};
struct RECTSIZE {
    WORD width, height;
};
struct CROPRECT {
    WORD left, top, right, bottom;
};
struct CDGRAPHIC {
    LSIG Header;
    RECTSIZE DestSize, CropSize;
    CROPRECT CropOffset;
    WORD fResize;
    BYTE Version, bFlags;
    WORD wReserved;
};
struct WSIG {
    WORD Signature, Length;
};
struct CDPABDEFINITION {
    WORD Signature, Length, PABID, JustifyMode, LineSpacing, ParagraphSpacingBefore,
        ParagraphSpacingAfter, LeftMargin, RightMargin, FirstLineLeftMargin, Tabs;
    plat::SWORD Tab[20];
    WORD Flags;
    DWORD TabTypes;
    WORD Flags2;
};
struct FILEOBJECT {
    WORD ObjectType;
    DWORD RRV;
    WORD FileNameLength, HostType, CompressionType, FileAttributes, Flags;
    DWORD FileSize;
    plat::TIMEDATE FileCreated, FileModified;
};
struct RFC822ITEMDESC {
    WORD wVersion;
    DWORD dwFlags;
    WORD wNotesNativeLen, w822NameLen, w822DelimLen, w822BodyLen;
};
static_assert(sizeof(CDGRAPHIC) == 32 && offsetof(CDGRAPHIC, Version) == 26);
static_assert(sizeof(CDPABDEFINITION) == 72 && sizeof(FILEOBJECT) == 40);
static_assert(sizeof(RFC822ITEMDESC) == 16);

TEST(StructConvert, HandCheckedLayouts) {
    {
        // A long-form header: the length moves to host offset 4, the first
        // field to 8.
        Packed packed;
        packed.Word(0x0099).Dword(0x00010020).Word(640).Word(480).Word(320).Word(240);
        packed.Word(1).Word(2).Word(3).Word(4).Word(0x7777).Byte(2).Byte(0x81).Word(0);
        ASSERT_EQ(packed.bytes().size(), 28u);
        CDGRAPHIC graphic;
        std::memset(&graphic, 0xAA, sizeof graphic);
        const void* src = packed.bytes().data();
        ASSERT_EQ(plat::StructRead(&src, 166, &graphic), plat::NOERROR);
        EXPECT_EQ(graphic.Header.Signature, 0x0099);
        EXPECT_EQ(graphic.Header.Length, 0x00010020u);
        EXPECT_EQ(graphic.DestSize.width, 640);
        EXPECT_EQ(graphic.CropSize.height, 240);
        EXPECT_EQ(graphic.CropOffset.bottom, 4);
        EXPECT_EQ(graphic.fResize, 0x7777);
        EXPECT_EQ(graphic.Version, 2);
        EXPECT_EQ(graphic.bFlags, 0x81);
        BYTE pad[2];
        std::memcpy(pad, reinterpret_cast<BYTE*>(&graphic) + 2, 2);
        EXPECT_EQ(pad[0], 0);
        EXPECT_EQ(pad[1], 0);
        std::vector<BYTE> host(32);
        std::memcpy(host.data(), &graphic, 32);
        EXPECT_EQ(WriteStored(166, host), packed.bytes());
    }
    {
        // Paragraph definition: 70 stored, 72 host (tail padding only).
        Packed packed;
        packed.Word(0xFF82).Word(70).Word(3).Zeros(16);
        for (int i = 0; i < 20; ++i) packed.Word(static_cast<WORD>(-i));
        packed.Word(0x0102).Dword(0x0A0B0C0D).Word(0x8000);
        std::vector<BYTE> host = ReadHost(110, packed.bytes());
        CDPABDEFINITION pab;
        std::memcpy(&pab, host.data(), sizeof pab);
        EXPECT_EQ(pab.PABID, 3);
        EXPECT_EQ(pab.Tab[19], -19);
        EXPECT_EQ(pab.Flags, 0x0102);
        EXPECT_EQ(pab.TabTypes, 0x0A0B0C0Du);
        EXPECT_EQ(pab.Flags2, 0x8000);
        EXPECT_EQ(At<WORD>(host, 70), 0);
    }
    {
        // File object: 36 stored, 40 host.
        // Zeroed whole: "= {}" leaves the padding as the compiler likes.
        FILEOBJECT file;
        std::memset(static_cast<void*>(&file), 0, sizeof file);
        file.RRV = 0x12345678;
        file.FileNameLength = 9;
        file.HostType = 0x0800;
        file.FileSize = 123456;
        file.FileModified.Innards[1] = 0x01020304;
        std::vector<BYTE> host(sizeof file);
        std::memcpy(host.data(), &file, sizeof file);
        std::vector<BYTE> stored = WriteStored(58, host);
        ASSERT_EQ(stored.size(), 36u);
        EXPECT_EQ(At<DWORD>(stored, 2), 0x12345678u);
        EXPECT_EQ(At<WORD>(stored, 8), 0x0800);
        EXPECT_EQ(At<DWORD>(stored, 16), 123456u);
        EXPECT_EQ(At<DWORD>(stored, 32), 0x01020304u);
        EXPECT_EQ(ReadHost(58, stored), host);
    }
    {
        // A length value (12 stored, 24 host, holding a double) is aligned to
        // 8 bytes: the box size is 90 stored, 168 host.
        Packed packed;
        packed.Byte(0x6A).Byte(90);
        packed.Word(0x0004).Number(2.5).Byte(3).Byte(0);
        packed.Word(0x0005).Number(-0.75).Byte(4).Byte(0);
        packed.Zeros(48).Dword(1).Dword(2).Dword(3).Dword(0xDEADBEEF);
        ASSERT_EQ(packed.bytes().size(), 90u);
        std::vector<BYTE> host = ReadHost(810, packed.bytes());
        ASSERT_EQ(host.size(), 168u);
        EXPECT_EQ(At<WORD>(host, 8), 0x0004);
        EXPECT_EQ(At<double>(host, 16), 2.5);
        EXPECT_EQ(host[24], 3);
        EXPECT_EQ(At<WORD>(host, 32), 0x0005);
        EXPECT_EQ(At<double>(host, 40), -0.75);
        EXPECT_EQ(host[48], 4);
        EXPECT_EQ(At<DWORD>(host, 164), 0xDEADBEEFu);
        EXPECT_EQ(WriteStored(810, host), packed.bytes());
    }
    {
        // The RFC 822 item descriptor: 14 stored, 16 host.
        RFC822ITEMDESC desc = {14, 10, 100, 7, 2, 300};
        std::vector<BYTE> host(sizeof desc);
        std::memcpy(host.data(), &desc, sizeof desc);
        Packed expected;
        expected.Word(14).Dword(10).Word(100).Word(7).Word(2).Word(300);
        EXPECT_EQ(WriteStored(675, host), expected.bytes());
    }
}

TEST(StructConvert, UnknownTypesAndMissingPointers) {
    BYTE stored[64] = {1, 2, 3, 4};
    BYTE host[64];
    std::memset(host, 0xAA, sizeof host);
    for (WORD type : {WORD{3}, WORD{999}, WORD{0xFFFF}}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(plat::StructStoredLength(type), 0);
        EXPECT_EQ(plat::StructHostLength(type), 0);
        EXPECT_EQ(plat::StructName(type), nullptr);
        const void* src = stored;
        EXPECT_EQ(plat::StructRead(&src, type, host), plat::ERR_UNKNOWN_STRUCT);
        EXPECT_EQ(src, stored);
        void* dest = stored;
        EXPECT_EQ(plat::StructWrite(&dest, type, host), plat::ERR_UNKNOWN_STRUCT);
        EXPECT_EQ(dest, stored);
    }
    EXPECT_EQ(host[0], 0xAA);
    EXPECT_EQ(stored[0], 1);

    const void* noSrc = nullptr;
    const void* src = stored;
    EXPECT_EQ(plat::StructRead(nullptr, 113, host), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(plat::StructRead(&noSrc, 113, host), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(plat::StructRead(&src, 113, nullptr), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(src, stored);
    void* noDest = nullptr;
    void* dest = stored;
    EXPECT_EQ(plat::StructWrite(nullptr, 113, host), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(plat::StructWrite(&noDest, 113, host), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(plat::StructWrite(&dest, 113, nullptr), plat::ERR_BAD_ARGUMENT);
    EXPECT_EQ(dest, stored);
    EXPECT_EQ(host[0], 0xAA);
    EXPECT_EQ(stored[0], 1);

    // Zero structures: nothing moves.
    EXPECT_EQ(plat::StructRead(&src, 113, host, 0), plat::NOERROR);
    EXPECT_EQ(src, stored);
    EXPECT_EQ(host[0], 0xAA);
}

TEST(Signatures, NamesAndTypes) {
    struct Expected {
        WORD signature;
        const char* name;
        WORD type;
    };
    const Expected cases[] = {
        {0xFF85, "CD_TEXT", 113},           {0xFF82, "CD_PABDEFINITION", 110},
        {0x0099, "CD_GRAPHIC", 166},        {0x0081, "CD_PARAGRAPH", 109},
        {0x00B7, "CD_LAYOUT", 343},         {0xFFBE, "CD_ACTION", 340},
        {0x0052, "CD_IMAGEHEADER2", 0xFFFF}, {0x0057, "CD_TABLECELL_DATAFLAGS", 0xFFFF},
        {0x00F3, "CD_NATIVEIMAGE", 0xFFFF}, {0xFF86, "CD_XML", 0xFFFF},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.signature);
        WORD type = 0;
        const char* name = nullptr;
        ASSERT_TRUE(plat::SignatureInfo(e.signature, &type, &name));
        EXPECT_STREQ(name, e.name);
        EXPECT_EQ(type, e.type);
    }
    for (WORD unknown : {WORD{0x0000}, WORD{0x0001}, WORD{0x00FF}, WORD{0xFF00}, WORD{0xFFFA}}) {
        SCOPED_TRACE(unknown);
        WORD type = 0;
        const char* name = "x";
        EXPECT_FALSE(plat::SignatureInfo(unknown, &type, &name));
        EXPECT_EQ(name, nullptr);
    }
    EXPECT_TRUE(plat::SignatureInfo(0xFF85, nullptr, nullptr));
}

} // namespace
