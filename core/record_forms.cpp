// The signature table and the header-form rules of CD records.
#include "core/record_forms.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/signatures.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Every rich-text signature whose stored and host forms may differ, sorted
// by signature: the host length of its fixed part and its structure type
// code. 0xFF87 and 0xFF88 have no published layout: their fixed part is
// their 4-byte header, and the rest is copied as it is.
constexpr SignatureForm kSignatureTable[] = {
    {0x0059, 32, 912},
    {0x0060, 20, 836},
    {0x0061, 28, 835},
    {0x0062, 12, 834},
    {0x0063, 72, 822},
    {0x006A, 168, 810},
    {0x006B, 120, 809},
    {0x006C, 20, 808},
    {0x006E, 8, 766},
    {0x006F, 8, 766},
    {0x0072, 8, 645},
    {0x007C, 12, 706},
    {0x007D, 32, 705},
    {0x007F, 2, 231},
    {0x0080, 24, 114},
    {0x0081, 2, 109},
    {0x0083, 4, 111},
    {0x0086, 24, 114},
    {0x008C, 6, 72},
    {0x008D, 44, 97},
    {0x0095, 40, 162},
    {0x0096, 20, 163},
    {0x0097, 8, 164},
    {0x0098, 8, 165},
    {0x0099, 32, 166},
    {0x009A, 12, 171},
    {0x009B, 12, 172},
    {0x009C, 12, 173},
    {0x009D, 20, 170},
    {0x009E, 28, 167},
    {0x009F, 28, 168},
    {0x00A0, 20, 169},
    {0x00A3, 14, 176},
    {0x00A4, 18, 177},
    {0x00A5, 8, 178},
    {0x00A6, 48, 188},
    {0x00AA, 2, 231},
    {0x00AE, 2, 231},
    {0x00B7, 28, 343},
    {0x00B8, 44, 344},
    {0x00B9, 18, 345},
    {0x00BA, 44, 346},
    {0x00BC, 6, 359},
    {0x00BD, 28, 360},
    {0x00C0, 44, 407},
    {0x00C2, 44, 466},
    {0x00C5, 12, 541},
    {0x00C7, 8, 555},
    {0x00CF, 14, 176},
    {0x00D0, 18, 177},
    {0x00D1, 8, 178},
    {0x00D2, 8, 645},
    {0x00D3, 8, 645},
    {0x00DD, 6, 577},
    {0x00DE, 6, 578},
    {0x00DF, 4, 579},
    {0x00E0, 4, 580},
    {0x00E1, 16, 581},
    {0x00E2, 4, 582},
    {0xFF5A, 28, 631},
    {0xFF5B, 28, 631},
    {0xFF5C, 48, 857},
    {0xFF5D, 64, 849},
    {0xFF5E, 28, 848},
    {0xFF5F, 16, 847},
    {0xFF65, 18, 695},
    {0xFF66, 32, 637},
    {0xFF68, 16, 909},
    {0xFF69, 160, 818},
    {0xFF6D, 28, 767},
    {0xFF70, 6, 765},
    {0xFF71, 28, 631},
    {0xFF73, 28, 756},
    {0xFF74, 16, 230},
    {0xFF75, 12, 629},
    {0xFF76, 32, 728},
    {0xFF77, 44, 722},
    {0xFF78, 28, 631},
    {0xFF79, 120, 719},
    {0xFF7A, 26, 708},
    {0xFF7B, 26, 708},
    {0xFF7E, 16, 230},
    {0xFF80, 156, 833},
    {0xFF82, 72, 110},
    {0xFF84, 36, 112},
    {0xFF85, 8, 113},
    {0xFF87, 4, kHeaderOnly},
    {0xFF88, 4, kHeaderOnly},
    {0xFF8A, 40, 118},
    {0xFF8B, 6, 119},
    {0xFF8E, 48, 117},
    {0xFF8F, 12, 68},
    {0xFF91, 6, 72},
    {0xFF92, 44, 97},
    {0xFFA1, 288, 174},
    {0xFFA2, 8, 175},
    {0xFFA7, 20, 218},
    {0xFFA8, 8, 219},
    {0xFFA9, 16, 230},
    {0xFFAB, 16, 237},
    {0xFFAC, 12, 308},
    {0xFFAD, 16, 230},
    {0xFFB0, 20, 342},
    {0xFFB1, 12, 482},
    {0xFFB2, 6, 492},
    {0xFFB3, 6, 493},
    {0xFFBB, 14, 358},
    {0xFFBE, 24, 340},
    {0xFFBF, 52, 350},
    {0xFFC1, 48, 379},
    {0xFFC3, 8, 508},
    {0xFFC4, 24, 515},
    {0xFFC6, 20, 554},
    {0xFFC8, 8, 556},
    {0xFFC9, 16, 560},
    {0xFFCA, 12, 561},
    {0xFFCB, 12, 559},
    {0xFFCC, 8, 564},
    {0xFFCD, 8, 565},
    {0xFFCE, 12, 566},
    {0xFFDC, 18, 695},
    {0xFFE3, 140, 583},
    {0xFFE4, 8, 113},
    {0xFFE5, 8, 508},
    {0xFFE6, 46, 621},
    {0xFFE7, 42, 622},
    {0xFFE8, 14, 610},
    {0xFFE9, 16, 742},
    {0xFFEA, 64, 611},
    {0xFFEC, 272, 620},
    {0xFFED, 32, 615},
    {0xFFEE, 12, 623},
    {0xFFEF, 24, 626},
    {0xFFF0, 52, 627},
    {0xFFF1, 40, 628},
    {0xFFF2, 12, 629},
    {0xFFF4, 36, 632},
    {0xFFF5, 32, 633},
    {0xFFF6, 28, 631},
    {0xFFF7, 36, 636},
    {0xFFF8, 12, 561},
    {0xFFF9, 32, 637},
    {0xFFFB, 48, 640},
    {0xFFFC, 60, 646},
    {0xFFFD, 116, 674},
    {0xFFFE, 88, 672},
    {0xFFFF, 64, 816},
};

static_assert(std::size(kSignatureTable) == 147);

constexpr bool SortedBySignature() {
    for (std::size_t i = 1; i < std::size(kSignatureTable); ++i) {
        if (kSignatureTable[i - 1].signature >= kSignatureTable[i].signature) return false;
    }
    return true;
}
static_assert(SortedBySignature());

} // namespace

const SignatureForm* FindSignatureForm(std::uint16_t signature) {
    const SignatureForm* end = std::end(kSignatureTable);
    const SignatureForm* found = std::lower_bound(
        std::begin(kSignatureTable), end, signature,
        [](const SignatureForm& entry, std::uint16_t wanted) { return entry.signature < wanted; });
    return found != end && found->signature == signature ? found : nullptr;
}

std::uint16_t StoredFixedLength(const SignatureForm* form) {
    static const auto lengths = [] {
        std::array<std::uint16_t, std::size(kSignatureTable)> result{};
        for (std::size_t i = 0; i < result.size(); ++i) {
            std::uint16_t type = kSignatureTable[i].typeCode;
            result[i] = type == kHeaderOnly ? 0 : plat::StructStoredLength(type);
        }
        return result;
    }();
    if (form < std::begin(kSignatureTable) || form >= std::end(kSignatureTable)) return 0;
    return lengths[static_cast<std::size_t>(form - std::begin(kSignatureTable))];
}

namespace {

std::array<RecordForm, kRecordFormRows> MakeRecordForms() {
    std::array<RecordForm, kRecordFormRows> rows{};
    for (const SignatureForm& entry : kSignatureTable) {
        RecordForm& row = rows[RecordFormRow(entry.signature)];
        if (entry.typeCode == kHeaderOnly) continue;
        const std::uint16_t stored = StoredFixedLength(&entry);
        if (stored == 0) continue;
        row.hostFixed = entry.hostLength;
        row.storedFixed = stored;
        row.typeCode = entry.typeCode;
        row.same = stored == entry.hostLength;
        switch (LengthFieldForm(entry.signature)) {
        case HeaderForm::Byte: row.lengthField = 1; break;
        case HeaderForm::Word: row.lengthField = 2; break;
        case HeaderForm::Long: row.lengthField = 4; break;
        }
    }
    return rows;
}

const std::array<RecordForm, kRecordFormRows> kRecordForms = MakeRecordForms();

} // namespace

const RecordForm* const g_recordForms = kRecordForms.data();

std::uint32_t HostRecordLength(const std::uint8_t* record, std::uint32_t available, std::uint16_t signature) {
    const HeaderForm form = LengthFieldForm(signature);
    const std::uint32_t needed = form == HeaderForm::Byte ? 2 : (form == HeaderForm::Word ? 4 : 8);
    return available >= needed ? LengthFieldOf(record, form) : 0;
}

void SetHostRecordLength(std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    SetLengthFieldOf(record, LengthFieldForm(signature), length);
}

bool DecodeStoredHeader(const std::uint8_t* record, std::uint32_t available, StoredHeader* header) {
    if (available < 2) return false;
    std::uint16_t first = ReadWord(record);
    if (first < 0x0100) {
        if (available < 6) return false;
        *header = StoredHeader{HeaderForm::Long, first, ReadDword(record + 2), 6};
    } else if ((first >> 8) == 0xFF) {
        if (available < 4) return false;
        *header = StoredHeader{HeaderForm::Word, first, ReadWord(record + 2), 4};
    } else {
        *header = StoredHeader{HeaderForm::Byte, static_cast<std::uint16_t>(first & 0xFF),
                               static_cast<std::uint32_t>(first >> 8), 2};
    }
    return true;
}

bool HeaderFitsSignature(const StoredHeader& header, const std::uint8_t* record, std::uint32_t available) {
    switch (header.form) {
    case HeaderForm::Long:
    case HeaderForm::Byte:
        return (header.form == HeaderForm::Long) == IsLongFormSignature(header.signature);
    case HeaderForm::Word:
        return header.signature != kSigAction || header.length < 6 || available < 6 || ReadWord(record + 4) == 0;
    }
    return false;
}

} // namespace talix
