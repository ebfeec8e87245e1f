// Building rich-text items for tests from records given in host form: each
// record is converted to stored form by the library, padded to even length,
// and the records are stored as items of at most 49,022 bytes of records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "talix_platform/types.h"

namespace talix_test {

// One record in host form with its signature (byte-form signatures as
// 0x00nn).
struct FixtureRecord {
    std::uint16_t signature = 0;
    std::vector<std::uint8_t> bytes;
};

// A zero-filled host-form record of the given total length with its header
// (signature and length in the signature's form) filled in.
FixtureRecord HostRecord(std::uint16_t signature, std::uint32_t length);
// A text run (0xFF85) in host form: font id, then the LMBCS text.
FixtureRecord TextRecord(std::uint32_t fontId, std::string_view lmbcsText);

// A record of a fixed head (zeros) and a text after it, whose length word
// lies at lengthAt.
FixtureRecord HeadAndText(std::uint16_t signature, std::uint32_t head, std::uint32_t lengthAt,
                          std::string_view text);

// Little-endian field writers for filling in records.
void PutWord(FixtureRecord* record, std::size_t offset, std::uint16_t value);
void PutDword(FixtureRecord* record, std::size_t offset, std::uint32_t value);

// Stores the records as the rich-text items (data type 1) of a name in an
// open note (appended after any items of the name it already has), each
// converted to stored form by the library. Returns 0 or the first failure.
plat::STATUS StoreRichTextItem(plat::NOTEHANDLE note, const std::string& itemName,
                               const std::vector<FixtureRecord>& records);

// Records in stored form, written byte by byte as real items hold them and
// without the library's conversion, so that a test of the conversion sees
// the library's result against bytes it did not make.
enum class StoredHeader {
    Byte,   // a byte signature and a byte length (2 bytes)
    Word,   // a word signature and a word length (4 bytes)
    Long,   // a word signature and a double-word length (6 bytes)
};
// A stored record: its header in the given form, then the body; the length
// in the header counts both.
std::string StoredRecord(StoredHeader form, std::uint16_t signature, const std::string& body);
// Little-endian words and double words of a stored body.
std::string StoredWord(std::uint16_t value);
std::string StoredDword(std::uint32_t value);
// Stores each value (its stored records, each padded to even length) as one
// rich-text item of the name, in order. Returns 0 or the first failure.
plat::STATUS StoreStoredItems(plat::NOTEHANDLE note, const std::string& itemName,
                              const std::vector<std::vector<std::string>>& values);

// The stored values (data-type word first) of every item of a name, in order.
std::vector<std::string> StoredValues(plat::NOTEHANDLE note, const std::string& itemName);

} // namespace talix_test
