// The small record builders every other builder, the executors and the
// HTML import use: text runs, the begin/end wrapper pair, colour records,
// tab labels, a fixed 20-byte record, the re-emission of a saved text run's
// wrapper around new text, the comparison of two paragraph definitions and
// the merge of a parsed paragraph style into a paragraph definition. Each
// record is laid out in host form and passed to AppendRecord; each builder
// returns the status of its (last) append.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/font_spec.h"
#include "core/paragraph_def.h"
#include "core/record_io.h"
#include "core/record_list.h"
#include "core/statuses.h"

namespace talix {

struct BuildContext;

// The longest text one text run holds: the run must fit an output segment.
constexpr std::uint32_t kMaxTextRunLength = kOutputSegmentCapacity - 8;

// A CDBEGIN or CDEND (6 bytes) around records of the inner signature.
STATUS AppendBeginRecord(std::uint16_t innerSignature, std::uint16_t version, RecordOutput* output);
STATUS AppendEndRecord(std::uint16_t innerSignature, std::uint16_t version, RecordOutput* output);

// A colour record (8 bytes) of a byte signature (0xD2 text or table colour,
// 0xD3 cell colour); rgb is r + 256 g + 65536 b. The flags always get the
// RGB flag 0x0001.
STATUS AppendColorRecord(std::uint8_t signature, std::uint32_t rgb, std::uint16_t flags,
                         RecordOutput* output);

// A text run of length bytes of text (LMBCS) in the font given, or in the
// default font (face 1, plain, colour 0, size 10) when font is null. A
// length of 0 gives an empty run. Returns 263 when the record cannot be
// built and 1028 for a null text with a length, or a text longer than
// kMaxTextRunLength; nothing is appended then.
STATUS AppendTextRecord(const char* text, std::uint32_t length, const FontId* font, RecordOutput* output);

// A tab label (0xFFE3, 140 bytes): the label cut to 127 characters and
// terminated, and the flags.
STATUS AppendNamedRecord(std::uint16_t flags, const char* label, std::uint32_t labelLength,
                         RecordOutput* output);

// A 20-byte record of a byte signature: the words 2 and 0x83 at offsets 2
// and 4, then the two values at offsets 12 and 16.
STATUS AppendSmallFixedRecord(std::uint8_t signature, std::uint32_t value1, std::uint32_t value2,
                              RecordOutput* output);

// Re-emit the records of a saved text run (a text-effect record, CDBEGIN,
// the text runs, a colour record, CDEND, as they stood in a record list,
// starting at saved and followed through the next links). AppendWrappedRecords
// appends them all: the records up to and including the first text run or
// CDEND and, when a CDBEGIN came before it, the records after the text runs
// up to and including the next CDEND. AppendWrappedText does the same with a
// new text run of the text given (default font when font is null) in place
// of the saved ones. Both return the status of the last append, 0 when the
// list is empty; AppendWrappedText still appends the closing records after a
// new text run that failed, and returns that failure.
STATUS AppendWrappedRecords(const CDRecordNode* saved, RecordOutput* output);
STATUS AppendWrappedText(const CDRecordNode* saved, const char* text, std::uint32_t length,
                         const FontId* font, RecordOutput* output);

// 1 when two paragraph definitions (host form, each holding the length its
// header gives, at most 92 bytes compared) are equal apart from their
// length, id and the tab positions beyond their tab counts; 0 otherwise,
// and 0 when checkLengths is set and their lengths differ.
int ParagraphPairEqual(const std::uint8_t* a, const std::uint8_t* b, int checkLengths);
// The 92 bytes ParagraphPairEqual compares of a definition: as many as its
// length gives, with length and id 0 and the tabs beyond its count 0.
void ParagraphComparisonImage(const std::uint8_t* definition, std::uint8_t* image);

// Merges a parsed paragraph style into a paragraph definition (host form,
// with room for 92 bytes; bytes beyond its current length are read as 0).
//   style, given: what ZervaRTItem::ParseParagraphString filled (given
//     holds its kParagraphMaskSize switches; null means nothing given);
//   flagsSet ... extensionClear: the set and clear words of the parse;
//   listType: the list type to apply (one bit of 11, 0 for none);
//   listRemove: the list types to remove;
//   leftStep, rightStep: margin steps in twips; extensionStep and
//     rightPercentStep: steps of the percentage extension words;
//   optionMode: the style comes from an option string (margins also fill
//     the extension words; a new list indents the paragraph);
//   markExtension: mark the definition as carrying the extension words.
// The definition's length becomes 84 or 92 when extension words were set.
// Returns 0, or 1028 for a null definition.
STATUS SetParagraphDefinition(std::uint8_t* definition, const CDPABDEFEXT* style, std::uint16_t flagsSet,
                              std::uint16_t flagsClear, std::uint16_t flags2Set, std::uint16_t flags2Clear,
                              std::uint32_t extensionSet, std::uint32_t extensionClear,
                              std::uint32_t listType, std::uint32_t listRemove, std::int32_t leftStep,
                              std::int32_t rightStep, std::int32_t extensionStep,
                              std::int32_t rightPercentStep, const std::uint32_t* given, int optionMode,
                              int markExtension);

// Appends the lines of a text file in the system's character set (UTF-8;
// each at most maxLineLength bytes and the rest of its last character; a
// longer line goes on as the next one) as text runs in the item's set and
// current font, with the run's ready-made paragraph and paragraph reference
// between them. Returns 0, 259 when the file cannot be opened (the chunk's error
// word becomes 20032), or the failure of an append.
STATUS AppendTextFileLines(const char* filePath, std::uint32_t maxLineLength, BuildContext* context);

} // namespace talix
