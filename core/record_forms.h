// The two forms of a CD record (stored and host) and the rules that tell
// them apart: look-ups in the signature table (core/record_layouts.h), the
// header form of a decoded signature, and where a record keeps its length in
// each form.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"

namespace talix {

// How a record keeps its signature and length.
//   Byte: BYTE signature, BYTE length (2-byte header, length at offset 1).
//   Word: WORD signature, WORD length (4-byte header, length at offset 2).
//   Long: WORD signature, DWORD length; stored: 6-byte header, length at
//         offset 2; host: signature, two zero bytes, length at offset 4
//         (8-byte header).
enum class HeaderForm : std::uint8_t { Byte, Word, Long };

// The signature's entry, or null for a signature outside the table (such a
// record is the same in both forms).
const SignatureForm* FindSignatureForm(std::uint16_t signature);

// The stored length of an entry's fixed part (the platform's on-disk length
// of its structure type), looked up once; 0 for kHeaderOnly entries or a
// type the platform does not know.
std::uint16_t StoredFixedLength(const SignatureForm* form);

// How a record of a signature converts between its two forms, found by
// signature in one step (RecordFormOf).
struct RecordForm {
    std::uint16_t hostFixed = 0;     // the fixed part's host length (0: nothing to convert)
    std::uint16_t storedFixed = 0;   // its stored length
    std::uint16_t typeCode = 0;      // the platform's structure type code
    // True when the two forms are the same bytes at every length: outside
    // the table, without a layout, or a layout without padding (the host is
    // little-endian, so only padding tells the forms apart).
    bool same = true;
    // Where a record of the table keeps its length in host form: 1 (the
    // byte at offset 1), 2 (the word at 2) or 4 (the double word at 4); 0
    // outside the table.
    std::uint8_t lengthField = 0;
};

// Decoded signatures are 0x00nn (byte and long form) or 0xFFnn (word
// form): the table has a row for each, and one more for every other value.
constexpr std::size_t kRecordFormRows = 513;
inline std::size_t RecordFormRow(std::uint16_t signature) {
    if (signature < 0x100) return signature;
    if ((signature >> 8) == 0xFF) return 0x100 + (signature & 0xFF);
    return kRecordFormRows - 1;
}
extern const RecordForm* const g_recordForms;   // kRecordFormRows rows, made when the library loads
inline const RecordForm& RecordFormOf(std::uint16_t signature) { return g_recordForms[RecordFormRow(signature)]; }

// The length a record of inLength bytes has in the other form (toHost: from
// stored to host). A record shorter than its fixed part is the same in both.
inline std::uint32_t ConvertedRecordLength(const RecordForm& form, std::uint32_t inLength, bool toHost) {
    if (form.same) return inLength;
    const std::uint32_t inFixed = toHost ? form.storedFixed : form.hostFixed;
    const std::uint32_t outFixed = toHost ? form.hostFixed : form.storedFixed;
    return inLength < inFixed ? inLength : inLength - inFixed + outFixed;
}

// Converts one record of inLength bytes to the other form into out, which
// holds capacity bytes and must not overlap the input: the fixed part by
// the platform's structure calls, the variable parts some records carry
// step by step (never past the record's end), the rest copied; the
// converted record's length field gets its new length. Returns the new
// length, or 0 when it does not fit in capacity or the platform refuses the
// structure.
std::uint32_t ConvertRecordForm(const RecordForm& form, std::uint16_t signature, const std::uint8_t* in,
                                std::uint32_t inLength, std::uint8_t* out, std::uint32_t capacity, bool toHost);

// The decoded signatures below 0x100 whose records carry a long (DWORD)
// length; every other one below 0x100 is byte form.
inline bool IsLongFormSignature(std::uint16_t signature) {
    switch (signature) {
    case kSigFileSegment: case kSigFileHeader: case kSigImageSegment: case kSigImageHeader:
    case kSigTransparentTable: case kSigNativeImage:
        return true;
    default:
        return signature >= kSigTiff && signature <= kSigMacMetaHeader;
    }
}

// The header form of a signature as the record reader returns it. Below
// 0x100 a decoded signature does not tell byte form from long form by
// itself: the long-form signatures are a fixed list.
inline HeaderForm SignatureHeaderForm(std::uint16_t signature) {
    if ((signature & 0xFF00) == 0xFF00) return HeaderForm::Word;
    if (signature < 0x100 && IsLongFormSignature(signature)) return HeaderForm::Long;
    return HeaderForm::Byte;
}

// Where the length of a record of this signature lies in host form. The
// same as SignatureHeaderForm, except for records whose fixed structure
// starts with a long header although the stored header reads as word form
// (0xFFBE).
inline HeaderForm LengthFieldForm(std::uint16_t signature) {
    return signature == kSigAction ? HeaderForm::Long : SignatureHeaderForm(signature);
}

// The length kept in a host-form record, or 0 when fewer bytes than its
// length field needs are given.
std::uint32_t HostRecordLength(const std::uint8_t* record, std::uint32_t available, std::uint16_t signature);
// Writes a length into a host-form record's length field (a byte-form
// length keeps its low 8 bits). The record must hold the whole field.
void SetHostRecordLength(std::uint8_t* record, std::uint16_t signature, std::uint32_t length);

// The header of a stored record: its form, signature and length, decoded
// from at most available bytes. Returns false when the header is cut off.
struct StoredHeader {
    HeaderForm form = HeaderForm::Byte;
    std::uint16_t signature = 0;
    std::uint32_t length = 0;
    std::uint32_t headerSize = 0;   // 2, 4 or 6
};
bool DecodeStoredHeader(const std::uint8_t* record, std::uint32_t available, StoredHeader* header);
// True when a decoded stored header has the form its signature calls for: a
// long header only for the long-form signatures (and a byte header never
// for them), and a zero high word behind the length of a 0xFFBE record,
// whose structure keeps a 32-bit length there. A header that does not could
// not be written back as it was read.
bool HeaderFitsSignature(const StoredHeader& header, const std::uint8_t* record, std::uint32_t available);

// Little-endian reads and writes of unaligned fields.
inline std::uint16_t ReadWord(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadDword(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void WriteWord(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}
inline void WriteDword(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
}

// The length field of a host-form record whose form is known; the record
// must hold the whole field.
inline std::uint32_t LengthFieldOf(const std::uint8_t* record, HeaderForm form) {
    switch (form) {
    case HeaderForm::Byte: return record[1];
    case HeaderForm::Word: return ReadWord(record + 2);
    case HeaderForm::Long: return ReadDword(record + 4);
    }
    return 0;
}
inline void SetLengthFieldOf(std::uint8_t* record, HeaderForm form, std::uint32_t length) {
    switch (form) {
    case HeaderForm::Byte: record[1] = static_cast<std::uint8_t>(length); break;
    case HeaderForm::Word: WriteWord(record + 2, static_cast<std::uint16_t>(length)); break;
    case HeaderForm::Long: WriteDword(record + 4, length); break;
    }
}

// The byte, word or double word at offset of a record of length bytes; 0
// when the record ends before the field does.
inline std::uint8_t ByteAt(const std::uint8_t* record, std::uint32_t length, std::uint32_t offset) {
    return offset < length ? record[offset] : 0;
}
inline std::uint16_t WordAt(const std::uint8_t* record, std::uint32_t length, std::uint32_t offset) {
    return offset + 2 <= length ? ReadWord(record + offset) : 0;
}
inline std::uint32_t DwordAt(const std::uint8_t* record, std::uint32_t length, std::uint32_t offset) {
    return offset + 4 <= length ? ReadDword(record + offset) : 0;
}

// The same fields of a record node; 0 for a null node or one without bytes.
inline std::uint8_t NodeByte(const CDRecordNode* node, std::uint32_t offset) {
    return node != nullptr && node->bytes != nullptr ? ByteAt(node->bytes, node->length, offset) : 0;
}
inline std::uint16_t NodeWord(const CDRecordNode* node, std::uint32_t offset) {
    return node != nullptr && node->bytes != nullptr ? WordAt(node->bytes, node->length, offset) : 0;
}
inline std::uint32_t NodeDword(const CDRecordNode* node, std::uint32_t offset) {
    return node != nullptr && node->bytes != nullptr ? DwordAt(node->bytes, node->length, offset) : 0;
}

// A length rounded up to even: records start at even offsets.
inline std::uint32_t EvenLength(std::uint32_t length) { return length + (length & 1u); }

// Decodes the stored record at `at`, with available bytes left in its
// value, when the reader takes it as it is: its header whole and of the
// form its signature has, signature and length not 0, the length at least
// the header's and within what is left. False otherwise (DecodeStoredHeader
// and HeaderFitsSignature tell why).
inline bool DecodeSoundRecord(const std::uint8_t* at, std::uint32_t available, std::uint16_t* signature,
                              std::uint32_t* length) {
    if (available < 2) return false;
    const std::uint16_t first = ReadWord(at);
    std::uint32_t size = 0, header = 0;
    if (first < 0x0100) {
        if (available < 6 || !IsLongFormSignature(first)) return false;
        size = ReadDword(at + 2);
        header = 6;
    } else if ((first >> 8) == 0xFF) {
        if (available < 4) return false;
        size = ReadWord(at + 2);
        header = 4;
        // An action record keeps a 32-bit length there: its high word is 0.
        if (first == kSigAction && size >= 6 && available >= 6 && ReadWord(at + 4) != 0) return false;
    } else {
        size = first >> 8;
        header = 2;
        if (IsLongFormSignature(first & 0xFF)) return false;
    }
    const std::uint16_t decoded = header == 2 ? static_cast<std::uint16_t>(first & 0xFF) : first;
    if (decoded == 0 || size < header || size > available) return false;
    *signature = decoded;
    *length = size;
    return true;
}

} // namespace talix
