// The records an HTML import lays out itself and puts straight into its
// record list: text runs, and the begin and end records that bracket a
// construct (a coloured run, an image). Each new node goes where the list's
// rule puts it (after the cursor, else at the end) and becomes the
// context's lastAdded.
#pragma once

#include <cstdint>

#include "core/statuses.h"

namespace talix {

struct HTMLImportContext;

// The longest text one run of the import holds. A longer text becomes
// several runs (AddImportTextRuns), so that no run comes near the 64 KB a
// record can hold.
constexpr std::uint32_t kImportRunLength = 32000;

// A text run of length bytes of text: the 8-byte header (signature 0xFF85,
// or 0xFFE4 while the context's rightToLeft is set, the length and the font
// id) and the text, not terminated. The font id is bytes 4 to 7 of the
// 8-byte text-run template given; without one, face 1, plain, colour 0,
// 12 points. The context's textSinceParagraph grows by length + 20.
// Returns 0, 263 when memory runs out (nothing is added), or 1028 for a
// null context or text, or a text longer than kImportRunLength.
STATUS AddImportTextRecord(const char* text, std::uint32_t length, const std::uint8_t* textTemplate,
                                     HTMLImportContext* import);

// Text of any length as runs of at most kImportRunLength bytes, each ended
// on a whole character; an empty text gives one empty run. Returns the
// first failure (the runs before it stay).
STATUS AddImportTextRuns(const char* text, std::uint32_t length, const std::uint8_t* textTemplate,
                                   HTMLImportContext* import);

// The begin (signature 221) and end (222) records, 6 bytes, around records
// of the enclosed signature. Return 0, 263 or 1028 as above.
STATUS AddImportBeginRecord(std::uint16_t enclosedSignature, std::uint16_t version,
                                      HTMLImportContext* import);
STATUS AddImportEndRecord(std::uint16_t enclosedSignature, std::uint16_t version,
                                    HTMLImportContext* import);

// The signature of the import's text runs now: 0xFFE4 while the current
// block is right to left, else 0xFF85.
std::uint16_t ImportTextSignature(const HTMLImportContext* import);

} // namespace talix
