// Conversion of single CD records between their stored (canonical) form and
// their host form: the four ZervaRTItem members. The fixed part of a record
// is converted by the platform's structure calls by type code; the variable
// parts that some records carry are converted step by step, never past
// the record's end; whatever follows is copied as it is.
#include <array>
#include <cstring>

#include "core/item_work_state.h"
#include "core/pool.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/statuses.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Records longer than this are not converted.
constexpr std::uint32_t kMaxConvertibleLength = 64382;

enum class Direction { ToStored, ToHost };

// The item's work buffer 1 or 2, taken from the session's pool on first use.
std::uint8_t* ItemWorkBuffer(ZervaRTItem* item, int which) {
    if (item == nullptr || item->work == nullptr || item->session == nullptr) return nullptr;
    ItemWorkState* work = item->work;
    TrackedBlock*& block = which == 1 ? work->workBuffer1 : work->workBuffer2;
    std::uint32_t& held = which == 1 ? work->workBuffer1Held : work->workBuffer2Held;
    if (block == nullptr) {
        block = QuorbelAllocateBlock(item->session, __LINE__, "rtitemi", kWorkBufferSize, 0);
        if (block == nullptr) return nullptr;
        held = 1;
    }
    return block->data;
}

// One step of a record's variable part: a structure of a type code, or
// raw bytes (type kRawBytes) of a given size.
constexpr std::uint16_t kRawBytes = 0xFFFF;
struct Step {
    std::uint16_t type;
    std::uint32_t size;
};

constexpr std::uint16_t kOdsTimedate = 15;   // a replica id
constexpr std::uint16_t kOdsNoteLink = 33;

bool IsResourceSignature(std::uint16_t signature) {
    switch (signature) {
    case kSigTableCellHref2: case kSigHrefBorder: case kSigHref2: case kSigTableCellHref: case kSigHref:
        return true;
    default: return false;
    }
}

// The steps that follow the fixed part of a record, read from the fixed
// part in host form. Returns their count (at most 8).
int VariableSteps(std::uint16_t signature, const std::uint8_t* hostFixed, Step* steps) {
    int count = 0;
    if (signature == kSigPabDefinition) {
        // Six margin words, then the extended-flags word and the word it
        // announces.
        steps[count++] = {plat::ODS_WORD, 12};
        steps[count++] = {plat::ODS_DWORD, 4};
        steps[count++] = {plat::ODS_DWORD, 4};
    } else if (signature == kSigStyleName) {
        for (int i = 0; i < 6; ++i) steps[count++] = {plat::ODS_WORD, 2};
    } else if (IsResourceSignature(signature)) {
        // Server hint and file hint, then by kind: a note link (inline, or a
        // 2-byte index into the note's link list) or a replica id; then the
        // kind's own text.
        steps[count++] = {kRawBytes, ReadWord(hostFixed + 14)};
        steps[count++] = {kRawBytes, ReadWord(hostFixed + 16)};
        std::uint16_t kind = ReadWord(hostFixed + 8);
        if (kind == 2) {
            if (hostFixed[4] & 0x02) steps[count++] = {kOdsNoteLink, kNoteLinkSize};
            else steps[count++] = {plat::ODS_WORD, 2};
        } else if (kind == 3) {
            steps[count++] = {kOdsTimedate, 8};
        }
        steps[count++] = {kRawBytes, ReadWord(hostFixed + 12)};
    }
    return count;
}

// The length of one structure of a step's type, looked up once; 0 when its
// two forms differ in length or the platform does not know it.
std::uint16_t StepUnit(std::uint16_t type) {
    static const auto units = [] {
        std::array<std::uint16_t, 4> result{};
        const std::uint16_t types[] = {plat::ODS_WORD, plat::ODS_DWORD, kOdsTimedate, kOdsNoteLink};
        for (std::size_t i = 0; i < result.size(); ++i) {
            const std::uint16_t stored = plat::StructStoredLength(types[i]);
            result[i] = stored == plat::StructHostLength(types[i]) ? stored : 0;
        }
        return result;
    }();
    switch (type) {
    case plat::ODS_WORD: return units[0];
    case plat::ODS_DWORD: return units[1];
    case kOdsTimedate: return units[2];
    case kOdsNoteLink: return units[3];
    default: return 0;
    }
}

// Converts one step between in and out. The structures used have the same
// length in both forms, so with no padding in either and the host
// little-endian, their two forms are the same bytes; raw bytes are copied.
bool ConvertStep(const Step& step, const std::uint8_t* in, std::uint8_t* out) {
    if (step.type != kRawBytes) {
        const std::uint16_t unit = StepUnit(step.type);
        if (unit == 0 || step.size % unit != 0) return false;
    }
    std::memcpy(out, in, step.size);
    return true;
}

// The length field of a record in stored form: where the host form keeps
// it, except that a long length lies at offset 2 (after the signature word).
void SetStoredRecordLength(std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    switch (LengthFieldForm(signature)) {
    case HeaderForm::Byte: record[1] = static_cast<std::uint8_t>(length); break;
    case HeaderForm::Word: WriteWord(record + 2, static_cast<std::uint16_t>(length)); break;
    case HeaderForm::Long: WriteDword(record + 2, length); break;
    }
}

void* Convert(ZervaRTItem* item, const void* record, std::uint16_t signature, std::uint32_t* length,
              Direction direction) {
    if (length == nullptr || record == nullptr || *length > kMaxConvertibleLength) return nullptr;
    std::uint8_t* out = ItemWorkBuffer(item, 1);
    if (out == nullptr) return nullptr;
    const auto* in = static_cast<const std::uint8_t*>(record);
    // A record that lies in the first buffer (an earlier result) is read
    // from a copy in the second one.
    if (in + *length > out && in < out + kWorkBufferSize) {
        std::uint8_t* copy = ItemWorkBuffer(item, 2);
        if (copy == nullptr) return nullptr;
        std::memmove(copy, in, *length);
        in = copy;
    }
    const std::uint32_t converted = ConvertRecordForm(RecordFormOf(signature), signature, in, *length, out,
                                                      kWorkBufferSize, direction == Direction::ToHost);
    if (converted == 0 && *length != 0) return nullptr;
    *length = converted;
    return out;
}

} // namespace

std::uint32_t ConvertRecordForm(const RecordForm& form, std::uint16_t signature, const std::uint8_t* in,
                                std::uint32_t inLength, std::uint8_t* out, std::uint32_t capacity, bool toHost) {
    const std::uint32_t inFixed = toHost ? form.storedFixed : form.hostFixed;
    const std::uint32_t outFixed = toHost ? form.hostFixed : form.storedFixed;
    const std::uint32_t outLength = ConvertedRecordLength(form, inLength, toHost);
    if (outLength > capacity) return 0;
    // Outside the table, without a layout, or shorter than its fixed part:
    // the record is the same in both forms.
    if (form.hostFixed == 0 || inLength < inFixed) {
        std::memcpy(out, in, inLength);
        return inLength;
    }
    if (form.same) {
        // The same bytes; only the length field follows the length given.
        std::memcpy(out, in, inLength);
        if (toHost) SetHostRecordLength(out, signature, outLength);
        else SetStoredRecordLength(out, signature, outLength);
        return outLength;
    }

    const std::uint8_t* hostRecord = nullptr;
    if (toHost) {
        const void* src = in;
        if (plat::StructRead(&src, form.typeCode, out) != plat::NOERROR) return 0;
        SetHostRecordLength(out, signature, outLength);
        hostRecord = out;
    } else {
        void* dst = out;
        if (plat::StructWrite(&dst, form.typeCode, in) != plat::NOERROR) return 0;
        SetStoredRecordLength(out, signature, outLength);
        hostRecord = in;
    }

    Step steps[8];
    const int count = VariableSteps(signature, hostRecord, steps);
    std::uint32_t inPos = inFixed, outPos = outFixed;
    for (int i = 0; i < count; ++i) {
        // A step that does not fit in what is left of the record ends the
        // steps; the rest is copied below.
        if (steps[i].size > inLength - inPos) break;
        if (!ConvertStep(steps[i], in + inPos, out + outPos)) return 0;
        inPos += steps[i].size;
        outPos += steps[i].size;
    }
    std::memcpy(out + outPos, in + inPos, inLength - inPos);
    return outLength;
}

} // namespace talix

std::uint32_t ZervaRTItem::NonCanonicalLength(std::uint16_t signature, std::uint32_t length) {
    const talix::SignatureForm* form = talix::FindSignatureForm(signature);
    return form != nullptr ? form->hostLength : length;
}

std::uint32_t ZervaRTItem::CanonicalLength(std::uint16_t signature, std::uint32_t length) {
    const talix::SignatureForm* form = talix::FindSignatureForm(signature);
    if (form == nullptr) return length;
    if (form->typeCode == talix::kHeaderOnly) return form->hostLength;
    std::uint16_t stored = plat::StructStoredLength(form->typeCode);
    return stored != 0 ? stored : length;
}

void* ZervaRTItem::ConvertToCanonicalData(const void* record, std::uint16_t signature, std::uint32_t* length) {
    return talix::Convert(this, record, signature, length, talix::Direction::ToStored);
}

void* ZervaRTItem::ConvertFromCanonicalData(const void* record, std::uint16_t signature, std::uint32_t* length) {
    return talix::Convert(this, record, signature, length, talix::Direction::ToHost);
}
