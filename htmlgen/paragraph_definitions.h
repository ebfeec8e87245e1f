// The bookkeeping of paragraph definitions that the style sheet, the
// paragraph start, the lists and the table writer share: the fields of a
// definition record, the list definitions in use, the remap of equivalent
// definition ids onto one id, the look-up of a list definition by id and
// whether a table cell begins with a plain paragraph.
#pragma once

#include <cstdint>

#include "core/paragraph_def.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Flags of a paragraph definition.
constexpr std::uint16_t kParaBulleted = 0x0400;
constexpr std::uint16_t kParaNumbered = 0x1000;
constexpr std::uint16_t kParaListFlags = kParaBulleted | kParaNumbered;
// Second flags word.
constexpr std::uint16_t kPara2ListStyle2 = 0x0002;   // a checkbox bullet; lower-case numbers
constexpr std::uint16_t kPara2LeftOffset = 0x0004;
constexpr std::uint16_t kPara2LeftPercent = 0x0008;
constexpr std::uint16_t kPara2FirstLineOffset = 0x0010;
constexpr std::uint16_t kPara2FirstLinePercent = 0x0020;
constexpr std::uint16_t kPara2RightOffset = 0x0040;
constexpr std::uint16_t kPara2RightPercent = 0x0080;
constexpr std::uint16_t kPara2NoMargin = 0x0300;     // either bit: the left margin is not written
constexpr std::uint16_t kPara2ListStyle800 = 0x0800;
constexpr std::uint16_t kPara2ListStyle1000 = 0x1000;
constexpr std::uint16_t kPara2ListStyle2000 = 0x2000;
constexpr std::uint16_t kPara2ListStyles = 0x3802;
constexpr std::uint16_t kPara2RightToLeft = 0x4000;

constexpr std::uint32_t kTwipsPerInch = 1440;

// The fields of a paragraph definition record, each read within the
// record's length (a field past its end reads as 0).
struct ParagraphFields {
    std::uint16_t id = 0;
    std::uint16_t justification = 0;     // 0 left, 1 right, 2 justify, 3 centre
    std::uint16_t lineSpacing = 0;       // 0 single, 1 one and a half, 2 double
    std::uint16_t spacingBefore = 0;
    std::uint16_t spacingAfter = 0;
    std::uint16_t leftMargin = 0;        // twips
    std::uint16_t firstLineMargin = 0;
    std::uint16_t flags = 0;
    std::uint16_t flags2 = 0;
    bool extension = false;              // the record holds the margin words after its fixed part
    std::uint16_t leftOffset = 0;        // twips
    std::uint16_t leftPercent = 0;
    std::uint16_t firstLineOffset = 0;
    std::uint16_t firstLinePercent = 0;
    std::uint16_t rightPercent = 0;

    bool Bulleted() const { return (flags & kParaBulleted) != 0; }
    bool Numbered() const { return (flags & kParaNumbered) != 0; }
    bool List() const { return (flags & kParaListFlags) != 0; }
};
ParagraphFields ReadParagraphFields(const CDRecordNode* definition);

// The definition as the full image PABDefinitionsMatch compares (bytes past
// the record zero).
CDPABDEFEXT ParagraphImage(const CDRecordNode* definition);

// The nearest definition of the id before the node: from the definitions
// the engine collected while they are all there, else by walking back over
// the records (remembering what each walk found, so that paragraphs of one
// definition do not each walk back to the start).
const CDRecordNode* NearestDefinitionBefore(XMLGenContext* context, const CDRecordNode* node, std::uint16_t id);

// Records a list definition as used (once), and releases the record of the
// used ones with the run.
void AddUsedPABDefinition(XMLGenContext* context, CDRecordNode* definition);
void ReleaseUsedPABDefinitions(XMLGenContext* context);

// The id the definition id stands for once equivalent definitions are
// merged: the first pair of the remap whose first id it is, else itself.
std::uint16_t RemapPABID(XMLGenContext* context, std::uint16_t id);

// The used list definition of the id (remapped first) when it is a
// numbered or a bulleted list, else null; *numbered says which (numbered
// may be null).
const CDRecordNode* FindListPAB(XMLGenContext* context, std::uint16_t id, bool* numbered);

// What lies right before a paragraph reference: the stretch of records
// that carry no content of their own (definitions, style names, paragraph
// records, hide markers, runs without text) ends at stop (null: the list's
// start); paragraphMet: a paragraph record was among them.
struct FillerScan {
    const CDRecordNode* stop = nullptr;
    bool paragraphMet = false;
};
FillerScan ScanFillersBefore(const CDRecordNode* reference);

// 1 when the table cell at the node begins with a plain paragraph (one
// whose definition has no real left offset, or is marked to have no margin
// and is not a list), else 0 (also for a node that is not a cell).
int CellStartsWithPlainParagraph(XMLGenContext* context, const CDRecordNode* cell);

} // namespace talix
