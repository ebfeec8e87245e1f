// The signature table and the header-form rules of CD records.
#include "core/record_forms.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "core/signatures.h"
#include "talix_platform.h"

namespace talix {

namespace {

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
