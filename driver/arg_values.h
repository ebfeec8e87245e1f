// Typed values as the formula driver reads and writes them: decoding the
// host's arguments into ArgValue records, the argument cursor through which
// the call sequence and the handlers consume them, and the result block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/driver_context.h"

namespace talix {

// ---- Values ------------------------------------------------------------------

// Decodes the host's typed value of length bytes (type word included) into
// out, whose entries then point into the host's bytes. Single values are
// promoted to their list types (text 0x0500 to 0x0501, number 0x0300 to
// 0x0301, time 0x0400 to 0x0401). Every count and length is checked against
// the given length before an entry is pointed at. Returns 0, 12552 for an
// unknown type word or counts that pass the value's end, 12583 when memory
// is short. out is left empty on failure.
STATUS DecodeArgValue(const void* value, std::uint32_t length, ArgValue* out);

// A one-entry text value (type 0x0500, not promoted) pointing at text.
// Returns 0 or 12583.
STATUS SetTextArgValue(const char* text, std::uint32_t length, ArgValue* out);

// Makes result a value of one entry holding an owned copy of size bytes of
// data (a text, an 8-byte number); what it held before is freed. Returns 0
// or 12583.
STATUS SetOwnedResultValue(ArgValue* result, std::uint16_t type, const void* data, std::uint32_t size);

// Makes result a number list (type 0x0301) of count owned 8-byte entries
// holding the numbers; what it held before is freed. A count of 0 leaves
// the list without entries. Returns 0 or 12583.
STATUS SetOwnedNumberList(ArgValue* result, const double* numbers, std::uint16_t count);

// Frees the entry array with the entries' owned data, the raw bytes too when
// freeRaw is set (results only: arguments point into the host's memory),
// and zeroes the record when clear is set.
void FreeArgValue(ArgValue* value, bool freeRaw, bool clear);

// ---- The argument cursor ------------------------------------------------------
// The current argument is args[argCursor] while argCursor < argCount. The
// Next... operations that take a default advance the cursor when an
// argument was left, whatever its type.

bool IsNextArgNumber(const DriverContext* context);
bool IsNextArgNoteRef(const DriverContext* context);
bool IsNextArgText(const DriverContext* context);
// The entry count of the current argument, 0 when there is none.
std::uint16_t NextArgCount(const DriverContext* context);
// The first number of the current argument, truncated (not a number: 0;
// beyond the integer range: its nearest end), else the default.
int NextArgInt(DriverContext* context, int defaultValue);
double NextArgDouble(DriverContext* context, double defaultValue);
// Every number of the current argument into numbers (emptied first; none
// when it is not a number); advances.
void NextArgNumbers(DriverContext* context, std::vector<double>* numbers);
// As NextArgInt, then its low 16 bits.
std::uint16_t NextArgWord(DriverContext* context, std::uint16_t defaultValue);
// Fills n words from the entries of the current number argument, the default
// where it has no entry (all of them when it is not a number); advances once.
void NextArgWordList(DriverContext* context, std::uint16_t defaultValue, std::uint16_t* words,
                     std::uint16_t n);
// Copies the first entry of the current text argument (the default instead
// when that entry is empty and a default is given) into buffer, terminated.
// A text that fits in size - 1 bytes is copied whole and its length
// returned; a longer one is cut to size - 1 bytes and size is returned. When
// the argument is missing or not text the default is copied under the same
// rule; without a default 0 is returned and the buffer is not touched.
std::uint16_t NextArgText(DriverContext* context, const char* defaultText, char* buffer,
                          std::uint16_t size);

// The first entry of the current text argument, whole ("" when the
// argument is missing or not text); advances.
std::string NextArgWholeText(DriverContext* context);

// Whether an entry's bytes hold a zero byte.
bool EntryHoldsZero(const ArgEntry& entry);

// Refuses the call's arguments: "@Talix: " and the message are shown
// through the host's message procedure, the texts it quotes taken to be in
// the platform's character set, as the host's arguments are; returns status.
STATUS RefuseArguments(DriverContext* context, STATUS status, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ---- The result block ------------------------------------------------------------

// Allocates a result block of size bytes (unless one is locked already),
// locks it, fills it with zeros and writes the type word; *handle gets the
// handle, which goes to the host. Returns the block's address, or null when
// memory is short or a block is locked.
void* AllocResultValue(std::uint32_t* handle, std::uint16_t type, std::uint32_t size);
// Frees the text list a look-up builds its result in (ResultListHandle),
// unlocking it first when it is locked, and clears its fields.
void FreeResultList(DriverContext* context);
// Unlocks the result block; the handle itself belongs to the host.
void ReleaseResultValue(std::uint32_t handle);
// Writes the context's result into the block of capacity bytes: a
// ready-made list (type 0, raw bytes of the result's length) is copied as
// it is, anything else is encoded; the result's length becomes the bytes
// written and its ready-made copy is freed. Returns 0, or 12583 when the
// result does not fit the block (nothing is written then).
STATUS StoreResultValue(DriverContext* context, void* block, std::uint32_t capacity);
// Encodes a value into out (capacity bytes): the type word written is 0x0500
// for a text list of fewer than 2 entries, 0x0400 for a time list of one
// 8-byte entry, 0x0300 for a number list of one entry, else the value's own
// type; lists carry their counts (a time list its list entries, then the
// 16-byte entries as range pairs), other types their entries' bytes one
// after another. *length gets the bytes written. False, with nothing
// written, when the value does not fit or an entry is too long for its
// length word.
bool EncodeResultValue(const ArgValue& value, std::uint8_t* out, std::uint32_t capacity,
                       std::uint32_t* length);

} // namespace talix
