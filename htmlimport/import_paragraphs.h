// The paragraph records the walk of an HTML import writes again and again:
// the empty run and the line break in the current font, the paragraph
// start (paragraph, reference, empty run), new paragraph definitions made
// from a paragraph-style text, and the margin correction inside tables.
//
// The current font is the font id of the item's ready-made text run; the
// current paragraph definition, the ready-made paragraph and reference
// records and the parsed paragraph style are those of the operation's
// context. Records go through the append gate, which hands them to the
// import's record list.
#pragma once

#include <cstdint>

#include "core/font_spec.h"
#include "core/statuses.h"

namespace talix {

struct BuildContext;
struct HTMLImportContext;

// The font id of the item's ready-made text run, and setting it.
FontId CurrentImportFont(const BuildContext* context);
void SetCurrentImportFont(BuildContext* context, const FontId& font);

// An empty run, and a line break (a run of one zero byte), in the current
// font.
STATUS AppendEmptyRun(BuildContext* context, HTMLImportContext* import);
STATUS AppendLineBreak(BuildContext* context, HTMLImportContext* import);

// The ready-made paragraph record, and the ready-made reference record.
STATUS AppendParagraphRecord(BuildContext* context);
STATUS AppendReferenceRecord(BuildContext* context);

// A paragraph break: paragraph, reference and an empty run in the current
// font; the text since the last paragraph starts again at 0. Returns the
// first failure.
STATUS AppendParagraphBreak(BuildContext* context, HTMLImportContext* import);

// The id of the current paragraph reference, and changing it.
std::uint16_t CurrentReferenceId(const BuildContext* context);
void SetReferenceId(BuildContext* context, std::uint16_t id);

// A paragraph-definition id above every id the item and the import use;
// the next call gives the one after it.
std::uint16_t TakeParagraphId(BuildContext* context);

// The id a record builder gave a paragraph definition of its own (the
// gate's next id, which the import's record list does not note) is taken,
// so that no definition of the import gets it again. Called after the
// section and layer builders.
void KeepBuilderParagraphId(BuildContext* context);

// How the parsed paragraph style starts before a paragraph-style text is
// read: kBlockDefaults clears the parsed definition's two flag words and
// sets the six set and clear words to the block defaults (the first 0x86
// inside a table, the fifth 4, the others 0); kFlagWordsOnly clears only
// the two flag words and keeps the six words. The parse adds what the text
// names to these words.
enum class ParagraphReset { kBlockDefaults, kFlagWordsOnly };

// Parses a paragraph-style text into the operation's parsed paragraph
// style. Returns the parse's status.
STATUS ParseImportParagraphStyle(BuildContext* context, const HTMLImportContext* import,
                                           const char* text, ParagraphReset reset);

// A copy of the current paragraph definition with the id given, into image
// (kParagraphImageSize bytes). Returns its length.
std::uint32_t CopyParagraphDefinition(const BuildContext* context, std::uint16_t id,
                                                std::uint8_t* image);
// Applies the parsed paragraph style to a definition image.
void ApplyParagraphStyle(const BuildContext* context, std::uint8_t* image);

// Inside a table, a definition longer than 72 bytes loses one inch of each
// of its margin words at offsets 72 and 76 that holds one inch or more.
void CorrectTableMargins(const HTMLImportContext* import, std::uint8_t* image);

// The paragraph a table at level (1 to 9) interrupted: loads the paragraph
// definition in force when the table began (the level's saved id) as the
// current definition. When its margin word at offset 72, or (in a
// definition longer than 72 bytes) the one at 76, holds an inch or more,
// each such word loses an inch, the definition takes a new id, which
// becomes the level's saved id, the current definition's and the
// reference's, and it is appended. Returns true when it was appended.
bool ReloadTableParagraph(BuildContext* context, HTMLImportContext* import, int level);

// Appends a paragraph definition of its own length.
STATUS AppendDefinitionRecord(BuildContext* context, const std::uint8_t* image);

// A new paragraph definition from a paragraph-style text: the style parsed
// (reset as told), a new id, a copy of the current definition with the
// style applied and, inside tables, the margin correction; appended, and
// the reference takes its id. Returns the first failure.
STATUS AppendNewDefinition(BuildContext* context, HTMLImportContext* import, const char* text,
                                     ParagraphReset reset);

} // namespace talix
