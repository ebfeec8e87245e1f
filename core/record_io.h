// Reading an item's CD records into a record list (host form) and writing a
// record list back as items (stored form).
//
// Memory: a list made by SIAR or StartOutputSegment is freed whole by
// DeleteItemRecordList (core/record_list.h); the stored-value copies and the
// segment buffers and descriptors come from the session's tracked pool.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "core/record_list.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;
class ZervaRTItem;

namespace talix {

struct RecordWalk;

// Set by the reader on an odd-length record that ended its stored value
// without the pad byte; the writer leaves the pad out again when the record
// ends an item.
constexpr std::uint16_t kNodeNoPad = 0x0010;
// Set by the reader on an odd-length record whose stored pad byte was not
// zero: the byte is kept in the flags' high byte (kNodePadShift) and the
// writer writes it again, so that an unchanged item comes back byte for
// byte.
constexpr std::uint16_t kNodeKeptPad = 0x0020;
constexpr int kNodePadShift = 8;

// The status of a read that met damaged stored records (a header cut off, a
// zero signature or length, a length below its header or past the end of the
// value) or a record too large to hold; the records before it stay.
constexpr STATUS kDamagedRecords = kOperationFailed;

// The largest output segment and the most record bytes one stored item holds.
constexpr std::uint32_t kOutputSegmentCapacity = 64382;
constexpr std::uint32_t kItemRecordBytes = 49022;

// Whether WriteItemRecords starts a new stored item before a record of the
// given stored length (without its pad byte), the current item's value
// holding fill bytes (its data-type word included): it does when the record
// would take the item's records past kItemRecordBytes, unless the item holds
// no record yet. Those who need to know where a record will be stored (the
// item number and the offset in that item) follow the same rule.
inline bool StartsNewStoredItem(std::uint32_t fill, std::uint32_t storedLength) {
    return fill > 2 && fill - 2 + storedLength > kItemRecordBytes;
}

// Reads every item of a name (the item's own note and name when note is 0)
// into a record list: the given list, or a new one. Returns the list, also
// when the read failed half way (it then holds the records before the
// failure), or null when there is nothing to read into (no item, note or
// name: status 1028; out of memory: 263). status (may be null) receives 0 or
// the failure: always check it before using or writing back the list.
// skipMode drops colour records and text wrappers; textExtraMode gives text
// runs a pointer to their text; countCharactersMode gives text runs with
// multibyte characters a converted copy of their text.
ItemRecordList* SIAR(ZervaRTItem* item, int skipMode, ItemRecordList* list, int textExtraMode,
                     int countCharactersMode, plat::NOTEHANDLE note, const char* itemName,
                     STATUS* status);
// Fills the list from its note's items of its name; returns 0, 263 or the
// failure that ended the read.
STATUS SBR(ZervaRTItem* item, int skipMode, int textExtraMode, int countCharactersMode, ItemRecordList* list);
// Appends one stored record, whose header was checked to lie within what is
// left of the current value, to the walk's list in host form, with the side
// data its signature calls for, and moves the read position past it.
// Returns 0, 263, or kDamagedRecords for a record too large to hold.
STATUS SBR_1(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, RecordWalk* walk);
// Decodes one stored record header from at most available bytes. Returns
// 0, or 546 when the header is cut off, its signature or length is 0, its
// length is below the header's size, or its form is not the one its
// signature has (such a record could not be written back as it was read).
STATUS GSBR(const std::uint8_t* address, std::uint32_t available, std::uint32_t* length,
            std::uint16_t* signature);

// What is wrong with a stored record, as the reader judges it.
enum class RecordFault : std::uint8_t {
    None,            // the record can be read
    HeaderCut,       // fewer bytes are left than its header needs
    ZeroLength,      // its length is 0
    ZeroSignature,   // its signature is 0
    BelowHeader,     // its length is below its header's size
    WrongForm,       // its header has a form its signature does not have
    PastEnd,         // its length runs past the end of the value
    TooLarge,        // it is too large to hold in a record list
    ShortValue,      // the value holds less than its data-type word
};

// Decodes the stored record header at `at` (available bytes are left in its
// value) and judges it as the reader does before it reads the record: what
// GSBR refuses, then a length past the end of the value. *length and
// *signature get what the header says (the first word as the signature when
// only it is there).
RecordFault JudgeStoredRecord(const std::uint8_t* at, std::uint32_t available, std::uint32_t* length,
                              std::uint16_t* signature);

// Where and why a read of the list (SIAR, SBR) that returned kDamagedRecords
// stopped: the stored item (1-based, in the order of the items of the name),
// the byte offset of the damaged record in its value (the data-type word
// counted), the fault, and the record's signature and length and the bytes
// left in the value from it.
struct RecordReadStop {
    std::uint16_t item = 0;
    std::uint32_t offset = 0;
    RecordFault fault = RecordFault::None;
    std::uint16_t signature = 0;
    std::uint32_t length = 0;
    std::uint32_t left = 0;
};
RecordReadStop DescribeReadStop(const ItemRecordList* list);

// Walks the stored records of one value (data-type word first, length bytes)
// as the reader reads them: visit gets each record (stored form, its
// signature, its stored length and its offset in the value) until the first
// record the reader refuses. Returns true when the value is read to its end;
// else *stop (may be null) says where and why (its item is 0).
bool WalkStoredValue(const std::uint8_t* value, std::uint32_t length,
                     const std::function<void(const std::uint8_t* record, std::uint16_t signature,
                                              std::uint32_t length, std::uint32_t offset)>& visit,
                     RecordReadStop* stop);

// The stored value of a blank rich-text item: its data-type word, a
// paragraph definition (id 1) with its margin words, a reference to it and
// an empty text run with the item's ready-made text-run header.
constexpr std::uint32_t kBlankBodySize = 96;
// Writes that value into out (kBlankBodySize bytes). Returns 0, or the
// platform's failure to write a structure.
STATUS WriteBlankBody(const ZervaRTItem* item, void* out);
// Reads the records of a blank item's value into a list that holds none,
// as SBR reads a stored item (textExtraMode as there). A writing run over an
// item whose stored value holds no records works on these, so that what it
// adds lands as it lands in a blank or emptied item. Returns 0, 263 or the
// failure to write the value.
STATUS ReadBlankBody(ZervaRTItem* item, int textExtraMode, ItemRecordList* list);

// Writes the list back as items of its name in its note (each at most
// 49,022 bytes of stored records unless one record is larger), converting
// each record to stored form. The caller deletes the old items first.
// itemFlags are the flags of the items written, in order (those of the
// items being replaced); an item past their end takes the last of them, and
// with none given every item has flags 0. Returns 0 (also for a null or
// empty list) or the first failure, after which nothing more is appended.
STATUS WriteItemRecords(ItemRecordList* list, ZervaRTItem* item, std::span<const plat::WORD> itemFlags = {});
// Replaces the items of a name in a note by the list (WriteItemRecords),
// the list's note and name set to them, each new item with the flags of the
// old item in its place (summary, signed and the like). The old items are
// kept until the new ones are all in the note and are put back when the
// write fails; an item that existed is kept as its data-type word alone when
// the list holds no records. Returns 0 or the failure.
STATUS ReplaceItemRecords(ItemRecordList* list, ZervaRTItem* item, plat::NOTEHANDLE note, const char* name);
} // namespace talix
