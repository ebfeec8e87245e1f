// What the hotspot, link and field executors share: the places where a
// reading operation leaves its answer (the session's text result and its
// scratch buffers), and how a changing operation puts a rebuilt record in
// place of the record it was given.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct RecordProcessContext;

// The answer of a reading operation, cut to the place's capacity and
// terminated: the session's text result (and its length word), its first
// scratch buffer (the message buffer) or its third (the second half of the
// option-value buffer).
void PutTextResult(RecordProcessContext* context, const void* text, std::uint32_t length);
void PutScratch1(RecordProcessContext* context, const void* text, std::uint32_t length);
void PutScratch3(RecordProcessContext* context, const void* text, std::uint32_t length);

// A zero-filled record buffer of the tracked pool, one byte longer than an
// odd length; null when out of memory. Released with ReleaseRecord.
std::uint8_t* NewRecord(RecordProcessContext* context, std::uint32_t length);
void ReleaseRecord(RecordProcessContext* context, std::uint8_t* record);

// Puts a record built by the executor (host form, its length field already
// written) in the place of the current one: the current record is dropped
// (*passOn = 0), the item is marked modified and, in a run that rebuilds the
// item, the new record is appended (an odd length handed over with its pad
// byte). Returns 0 or the append's failure.
STATUS ReplaceRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                     std::uint32_t* passOn, RecordProcessContext* context);

// Puts a copy of the current record (length bytes) whose 32-bit field at
// offset holds value in its place (ReplaceRecord). Returns 0, 263 when out
// of memory, or the append's failure.
STATUS ReplaceDwordField(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::uint32_t offset, std::uint32_t value, std::uint32_t* passOn,
                         RecordProcessContext* context);

// Builds a copy of the current record (oldLength bytes) with a new
// variable part: its first headLength bytes (zeros where the old record is
// shorter), then the text, in a record of headLength + textLength bytes
// whose length field holds that length (and, when lengthWord is not 0, the
// 16-bit word at that offset the text's length), and puts it in the old
// one's place (ReplaceRecord). Returns 1028 when the record would outgrow a
// 16-bit length or a text length is given without a text, 263 when out of
// memory, or the append's failure.
STATUS ReplaceVariablePart(const std::uint8_t* record, std::uint16_t signature, std::uint32_t oldLength,
                           std::uint32_t headLength, std::uint32_t lengthWord, const char* text,
                           std::uint32_t textLength, std::uint32_t* passOn, RecordProcessContext* context);

// Builds a record of a word signature: headLength bytes (zero but for the
// header and the 16-bit text length at lengthWord, when not 0), then the
// text; returns it (tracked pool, release with ReleaseRecord) or null with
// *status set (1028 or 263).
std::uint8_t* BuildTextRecord(RecordProcessContext* context, std::uint16_t signature, std::uint32_t headLength,
                              std::uint32_t lengthWord, const char* text, std::uint32_t textLength,
                              STATUS* status);

} // namespace talix
