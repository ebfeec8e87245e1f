// The text-run operations inside a chunk: change font (2363), highlight the
// chunk (2372), highlight every occurrence of a text (2373), test whether a
// font is used (2368), replace text (2392) and restyle the occurrences of a
// text (2399).
//
// A text run is read whole from the record that starts it: an optional
// text-effect record, an optional text bracket (CDBEGIN of a text run), the
// text record and, inside a bracket, an optional colour record and the
// CDEND. The operation appends what replaces the run and marks the run's
// later records as written, so that the frame drops them when the walk
// reaches them. Records of the item's own list are never changed in place:
// a changed record is built as a copy and appended, so that a run that fails
// leaves the item's records as they were.
#include <cstring>

#include "builders/append_gate.h"
#include "builders/basic_builders.h"
#include "core/brackets.h"
#include "core/clamp.h"
#include "core/font_match.h"
#include "core/font_spec.h"
#include "core/pool.h"
#include "core/ready_records.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_search.h"
#include "engine/operation_table.h"
#include "engine/record_process.h"
#include "engine/run_steps.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform/formula.h"
#include "talix_platform/memory.h"
#include "talix_platform/text.h"

namespace talix {

namespace {

constexpr const char* kSourceName = "rtproc";

constexpr std::uint32_t kFontOffset = 4;            // font id of text and text-effect records
constexpr std::uint16_t kColorFlagLongRecord = 0x0010;
constexpr std::uint32_t kButtonFontOffset = 12, kBarFontOffset = 8;

// The parts of operation 2392.
constexpr std::uint16_t kPartText = 1, kPartNonText = 2, kPartFormula = 4, kPartHideWhen = 8, kPartUrl = 16;

// Hotspot begin flags.
constexpr std::uint32_t kHotspotFormula = 0x10, kHotspotUrl = 0x1000, kHotspotClearedOnRebuild = 0x10000;
// Script and program code of action hotspots.
constexpr std::uint32_t kHotspotScript = 0x100, kHotspotJavaScript = 0x200000;
// Section bars: the title two bytes later, and a formula as title.
constexpr std::uint32_t kBarTitleAfterColor = 0x4000000, kBarTitleFormula = 0x2000;
constexpr std::uint32_t kHideFormula = 14;
// Link resource records: flags, type, text length, hint lengths, text.
constexpr std::uint32_t kResourceFlags = 4, kResourceType = 8, kResourceTextLength = 12, kResourceServerHint = 14,
                        kResourceFileHint = 16;
constexpr std::uint16_t kResourceUrl = 1, kResourceFormula = 0x0001;
// Tab labels: a terminated name in a 128-byte field.
constexpr std::uint32_t kLabelName = 4, kLabelField = 128, kLabelLongest = 127;

ColorValue ReadColor(const std::uint8_t* at) {
    ColorValue color;
    color.flags = ReadWord(at);
    color.red = at[2];
    color.green = at[3];
    color.blue = at[4];
    color.unused = at[5];
    return color;
}

void WriteColor(std::uint8_t* at, const ColorValue& color) {
    WriteWord(at, color.flags);
    at[2] = color.red;
    at[3] = color.green;
    at[4] = color.blue;
    at[5] = color.unused;
}


// ---- Reading a run -------------------------------------------------------

struct TextRun {
    const CDRecordNode* first = nullptr;
    const CDRecordNode* effect = nullptr;
    const CDRecordNode* begin = nullptr;
    const CDRecordNode* text = nullptr;
    const CDRecordNode* color = nullptr;
    const CDRecordNode* end = nullptr;
    const CDRecordNode* last = nullptr;
    bool effectInBracket = false;   // the text-effect record came after the CDBEGIN

    // A bracket whose CDEND is missing: its CDBEGIN is written back once, in
    // front of whatever replaces the run, so that the body stays as balanced
    // as it was.
    bool OpenBracket() const { return begin != nullptr && end == nullptr; }
    bool WholeBracket() const { return begin != nullptr && end != nullptr; }
    FontId OwnFont() const { return ReadFontId(text->bytes + kFontOffset); }
    // The font that is tested and changed: the text-effect record's when there is one.
    FontId RunFont() const { return ReadFontId((effect != nullptr ? effect : text)->bytes + kFontOffset); }
    const char* Text() const { return reinterpret_cast<const char*>(text->bytes) + kTextRunHeader; }
    std::uint32_t TextLength() const {
        return ClampToWord(text->length - kTextRunHeader);
    }
};

enum class RunRead { Run, NotARun, Malformed };

// Reads the run that starts at first. Reading stops at the text record when
// no bracket opened before it, else at the bracket's CDEND (or before any
// other record, when the CDEND is missing). A CDEND, or the end of the list,
// before the text record is a malformed run; any other record there means
// that first does not start a run.
RunRead ReadRun(const CDRecordNode* first, TextRun* run) {
    run->first = first;
    for (const CDRecordNode* node = first;; node = node->next) {
        if (node == nullptr || node->length == 0) return run->text != nullptr ? RunRead::Run : RunRead::Malformed;
        if (run->text == nullptr) {
            if (node->signature == kSigTextEffect && run->effect == nullptr && node->length >= kTextRunHeader) {
                run->effect = node;
                run->effectInBracket = run->begin != nullptr;
            } else if (Brackets(node, kSigBegin, kSigText) && run->begin == nullptr) {
                run->begin = node;
            } else if (node->signature == kSigText && node->length >= kTextRunHeader) {
                run->text = node;
                run->last = node;
                if (run->begin == nullptr) return RunRead::Run;
            } else if (Brackets(node, kSigEnd, kSigText)) {
                return RunRead::Malformed;
            } else {
                return RunRead::NotARun;
            }
            continue;
        }
        if (node->signature == kSigColor && run->color == nullptr && node->length >= kColorLength) {
            run->color = node;
            run->last = node;
            continue;
        }
        if (Brackets(node, kSigEnd, kSigText)) {
            run->end = node;
            run->last = node;
        }
        return RunRead::Run;
    }
}

// ---- Writing ---------------------------------------------------------------

// The look a changed piece of text gets: its font, the colour value of its
// colour record, and whether it needs the colour bracket and a text-effect
// record.
struct NewLook {
    FontId font;
    ColorValue color;
    bool colorNeeded = false;
    bool effectNeeded = false;
};

// A run without a colour record starts from an empty colour value, so that
// a merge that brings no colour leaves none.
NewLook LookOf(const TextRun& run) {
    NewLook look;
    look.font = run.RunFont();
    if (run.color != nullptr) look.color = ReadColor(run.color->bytes + kColorValueAt);
    return look;
}

void MergeLook(NewLook* look, ParsedFontSpec* spec, const FontSpecMask& mask) {
    int colorNeeded = 0;
    int effect = 0;
    MergeFontSpec(&look->font, &look->color, &colorNeeded, &effect, spec, mask);
    look->colorNeeded = colorNeeded != 0;
    look->effectNeeded = effect != 0;
}

STATUS AppendEffect(const FontId& font, RecordOutput* output) {
    std::uint8_t record[kTextRunHeader] = {};
    WriteRecordHeader(record, kSigTextEffect, static_cast<std::uint16_t>(kTextRunHeader));
    WriteFontId(record + kFontOffset, font);
    return AppendRecord(record, kSigTextEffect, sizeof record, output);
}

// The run's own colour record with the new colour value, or a new one (the
// longer form when the font specification's colour flags ask for it).
STATUS AppendColor(const TextRun& run, const ColorValue& color, std::uint16_t specFlags, RecordOutput* output) {
    std::uint8_t record[256] = {};
    std::uint32_t length = (specFlags & kColorFlagLongRecord) != 0 ? kLongColorLength : kColorLength;
    if (run.color != nullptr && run.color->length <= sizeof record) {
        length = run.color->length;
        std::memcpy(record, run.color->bytes, length);
    } else {
        WriteRecordHeader(record, kSigColor, length);
    }
    WriteColor(record + kColorValueAt, color);
    return AppendRecord(record, kSigColor, length, output);
}

// A piece of text in a new look: the text-effect record, CDBEGIN, the text,
// the colour record and CDEND, the wrappers only as the look needs them.
STATUS WriteStyledPiece(const char* text, std::uint32_t length, const TextRun& run, const NewLook& look,
                        RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    if (length == 0 && DropsEmptyText(output)) {
        // The item already ends in an empty run, which stands for this one:
        // a text-effect record or bracket written round it would hold no text.
        context->chunk->item->modified = 1;
        return kOK;
    }
    STATUS status = kOK;
    if (look.effectNeeded) status = AppendEffect(look.font, output);
    if (status == kOK && look.colorNeeded) status = AppendBeginRecord(kSigText, 0, output);
    if (status == kOK) status = AppendTextRecord(text, length, &look.font, output);
    if (status != kOK) return status;
    context->chunk->item->modified = 1;
    if (look.colorNeeded) {
        status = AppendColor(run, look.color, context->font.color.flags, output);
        if (status == kOK) status = AppendEndRecord(kSigText, 0, output);
    }
    return status;
}

// A piece of text in the run's own look: its text-effect record, bracket
// and colour record as the run had them, the text in the text record's own
// font.
STATUS WriteOwnPiece(const char* text, std::uint32_t length, const TextRun& run, RecordProcessContext* context) {
    RecordOutput* output = &context->output;
    STATUS status = kOK;
    if (run.effect != nullptr && !run.effectInBracket) status = AppendRecordNode(run.effect, output);
    if (status == kOK && run.WholeBracket()) status = AppendRecordNode(run.begin, output);
    if (status == kOK && run.effect != nullptr && run.effectInBracket) status = AppendRecordNode(run.effect, output);
    if (status == kOK) {
        const FontId font = run.OwnFont();
        status = AppendTextRecord(text, length, &font, output);
    }
    if (status == kOK && run.color != nullptr) status = AppendRecordNode(run.color, output);
    if (status == kOK && run.WholeBracket()) status = AppendRecordNode(run.end, output);
    return status;
}

STATUS AppendUnchanged(const TextRun& run, RecordProcessContext* context) {
    STATUS status = kOK;
    for (const CDRecordNode* node = run.first; status == kOK && node != nullptr; node = node->next) {
        status = AppendRecordNode(node, &context->output);
        if (node == run.last) break;
    }
    return status;
}

// ---- The operations on a run -----------------------------------------------

// 2363, 2372: the run's font is changed when it meets the criteria (the
// second specification of 2363; 2372 has none, so every run meets them).
STATUS ChangeRunFont(const TextRun& run, RecordProcessContext* context) {
    NewLook look = LookOf(run);
    const ColorValue* color = run.color != nullptr ? &look.color : nullptr;
    if (MatchFontAttributes(look.font, color, context->font2, context->fontMask2) == 0) {
        return AppendUnchanged(run, context);
    }
    MergeLook(&look, &context->font, context->fontMask);
    STATUS status = kOK;
    if (run.OpenBracket()) status = AppendRecordNode(run.begin, &context->output);
    if (status == kOK) status = WriteStyledPiece(run.Text(), run.TextLength(), run, look, context);
    return status;
}

// 2368: "1" in the message buffer when the run's font matches.
void TestRunFont(const TextRun& run, RecordProcessContext* context) {
    const NewLook look = LookOf(run);
    const ColorValue* color = run.color != nullptr ? &look.color : nullptr;
    if (MatchFontAttributes(look.font, color, context->font, context->fontMask) == 0) return;
    std::strcpy(context->session->messageBuffer, "1");
    context->chunkDone = 1;
}

// What replaces a match: the match itself (2373), the argument text (2392),
// or as much of the argument text as the match covers (2399).
const char* ReplacementFor(const char* match, std::uint32_t matchLength, RecordProcessContext* context,
                           std::uint32_t* length) {
    if (context->operation == kOpHighlightText) {
        *length = matchLength;
        return match;
    }
    KeepMatchedText(match, matchLength, context);
    return RunReplacement(context, matchLength, length);
}

// 2373, 2392, 2399: every occurrence of the search text is written in the
// run's specification (2392 and 2399: replaced); the text between stays in
// the run's own look. A run without a match is written as it was.
STATUS ReplaceInRun(const TextRun& run, RecordProcessContext* context) {
    NewLook look = LookOf(run);
    MergeLook(&look, &context->font, context->fontMask);
    const std::uint16_t operation = context->operation;
    if (operation == kOpReplaceText || operation == kOpQuickReplace) {
        const char* second = context->chunk->eventReturn[1];
        const bool secondGiven = operation == kOpQuickReplace && second != nullptr && second[0] != '\0';
        if (secondGiven || context->chunk->item->permanentPen != 0) {
            MergeLook(&look, &context->font2, context->fontMask2);
        }
    }

    const char* text = run.Text();
    const std::uint32_t length = run.TextLength();
    std::uint16_t matchLength = 0;
    std::int32_t found = FindRunSearchText(text, static_cast<std::uint16_t>(length), context, &matchLength);
    if (found < 0 || matchLength == 0) return AppendUnchanged(run, context);

    STATUS status = kOK;
    if (run.OpenBracket()) status = AppendRecordNode(run.begin, &context->output);
    std::uint32_t at = 0;
    while (status == kOK) {
        const std::uint32_t start = at + static_cast<std::uint32_t>(found);
        if (start > at) status = WriteOwnPiece(text + at, start - at, run, context);
        if (status != kOK) break;
        std::uint32_t pieceLength = 0;
        const char* piece = ReplacementFor(text + start, matchLength, context, &pieceLength);
        status = WriteStyledPiece(piece, pieceLength, run, look, context);
        at = start + matchLength;
        if (at >= length) break;
        found = FindRunSearchText(text + at, static_cast<std::uint16_t>(length - at), context, &matchLength);
        if (found < 0 || matchLength == 0) break;
    }
    // The rest after the last match; no empty run.
    if (status == kOK && at < length) status = WriteOwnPiece(text + at, length - at, run, context);
    return status;
}

// The record starts a text run: a text record, a text bracket or a
// text-effect record.
bool StartsRun(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length) {
    return signature == kSigText || signature == kSigTextEffect || Brackets(record, signature, length, kSigBegin, kSigText);
}

// Whether the search operations have something to look for; 2392 works on
// text runs only when its parts name them.
bool RunOperationActs(const RecordProcessContext* context) {
    switch (context->operation) {
    case kOpReplaceText:
        if ((context->a4 & kPartText) == 0) return false;
        [[fallthrough]];
    case kOpHighlightText:
    case kOpQuickReplace:
        return context->secondArgument != nullptr && context->a3 > 0;
    default:
        return true;
    }
}

// Reads the run that starts at the current record and writes what replaces
// it. Returns 0, an append status, or 257 for a malformed run (a CDEND, or
// the end of the list, before any text record). A record that turns out
// not to start a run is kept as it is.
STATUS TextRunOperation(std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                        RecordProcessContext* context) {
    context->consumedThrough = 0;
    const CDRecordNode* node = context->node;
    TextRun run;
    const RunRead read = node != nullptr && node->bytes == record ? ReadRun(node, &run) : RunRead::NotARun;
    if (read == RunRead::Malformed) return kOperationFailed;
    const bool writes = context->writesItem != 0;
    if (read == RunRead::NotARun) {
        if (!writes) return kOK;
        if (node != nullptr && node->bytes == record) return AppendRecordNode(node, &context->output);
        return AppendRecord(record, signature, length, &context->output);
    }
    context->consumedThrough = run.last->index;

    switch (context->operation) {
    case kOpFontInUse:
        TestRunFont(run, context);
        return kOK;
    case kOpChangeFont:
    case kOpHighlight:
        return writes ? ChangeRunFont(run, context) : kOK;
    case kOpHighlightText:
    case kOpReplaceText:
    case kOpQuickReplace:
        return writes ? ReplaceInRun(run, context) : kOK;
    default:
        return writes ? AppendUnchanged(run, context) : kOK;
    }
}

// ---- Buttons and section bars (2363, 2372 with op2) ---------------------------

// A copy of a record in a tracked block, one byte longer for the pad of an
// odd length; null when no block can be had.
TrackedBlock* CopyRecord(const std::uint8_t* record, std::uint32_t length, std::uint32_t size,
                         RecordProcessContext* context) {
    TrackedBlock* block = QuorbelAllocateBlock(context->session, __LINE__, kSourceName, size + 1, 1);
    if (block == nullptr) return nullptr;
    if (block->data == nullptr) {
        QuorbelReleaseBlock(context->session, block);
        return nullptr;
    }
    std::memcpy(block->data, record, length < size ? length : size);
    return block;
}

// The font of a button or a section bar that meets the criteria gets the
// run's specification; a colour brings a bracket with a colour record
// unless the record is bracketed already.
STATUS ChangeControlFont(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::uint32_t* passOn, RecordProcessContext* context) {
    const std::uint32_t fontOffset = signature == kSigButton ? kButtonFontOffset : kBarFontOffset;
    if (length < fontOffset + 4) return kOK;
    FontId font = ReadFontId(record + fontOffset);
    if (MatchFontID(font, context->font2, context->fontMask2) == 0) return kOK;
    SessionWorkArea* area = context->session->workArea;
    area->currentRGB = 0;
    area->currentColorFlags = 0;
    ApplyFontSpec(&font, &area->currentRGB, &area->currentColorFlags, context->font, context->fontMask);
    if (context->writesItem == 0) return kOK;

    TrackedBlock* block = CopyRecord(record, length, length, context);
    if (block == nullptr) return kOutOfMemory;
    WriteFontId(block->data + fontOffset, font);
    const bool colored = area->currentRGB != 0 || (signature == kSigBar && area->currentColorFlags != 0);
    const CDRecordNode* previous = context->node != nullptr ? context->node->prev : nullptr;
    const bool bracket = colored && !(previous != nullptr && previous->signature == kSigBegin);
    RecordOutput* output = &context->output;
    STATUS status = bracket ? AppendBeginRecord(signature, 0, output) : kOK;
    if (status == kOK) status = AppendRecord(block->data, signature, length, output);
    if (status == kOK && bracket) {
        status = AppendColorRecord(static_cast<std::uint8_t>(kSigColor), area->currentRGB, area->currentColorFlags,
                                   output);
        if (status == kOK) status = AppendEndRecord(signature, 0, output);
    }
    QuorbelReleaseBlock(context->session, block);
    *passOn = 0;
    context->chunk->item->modified = 1;
    return status;
}

// ---- Replacing text in other records (2392) -----------------------------------

// Where the replaceable text of a record lies.
struct RecordText {
    std::uint32_t offset = 0;      // its first byte
    std::uint32_t length = 0;      // its length
    bool formula = false;          // a compiled formula, replaced in its text form
    bool formulaOptional = false;  // data that may be script rather than a formula: kept when it does not decompile
    std::uint32_t lengthField = 0; // the 16-bit field that holds the text's length (0: the text ends the record)
    bool hotspot = false;
};

// The text of a record that the parts of 2392 name, if any.
bool LocateText(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint16_t parts,
                RecordText* where) {
    switch (signature) {
    case kSigHotspotBegin:
    case kSigV4HotspotBegin: {
        if ((parts & (kPartUrl | kPartNonText | kPartFormula)) == 0 || length < kHotspotBeginFixedLength) return false;
        const std::uint16_t type = WordAt(record, length, kHotspotTypeAt);
        const std::uint32_t flags = DwordAt(record, length, kHotspotFlagsAt);
        std::uint32_t dataLength = WordAt(record, length, kHotspotDataLengthAt);
        if (dataLength > length - kHotspotBeginFixedLength) dataLength = length - kHotspotBeginFixedLength;
        where->offset = kHotspotBeginFixedLength;
        where->length = dataLength;
        where->lengthField = kHotspotDataLengthAt;
        where->hotspot = true;
        const bool formulaFlag = (flags & kHotspotFormula) != 0;
        if ((parts & kPartUrl) != 0 && type == 11 && (flags & kHotspotUrl) != 0 && !formulaFlag) return true;
        if ((parts & kPartNonText) != 0 && (type == 1 || type == 11 || type == 22) && !formulaFlag &&
            (flags & kHotspotUrl) == 0)
            return true;
        if ((parts & kPartFormula) != 0 && (formulaFlag || type == 3)) {
            // Action hotspots without the formula flag may hold script or
            // other code: not a formula to replace in.
            if (!formulaFlag && (flags & (kHotspotScript | kHotspotJavaScript)) != 0) return false;
            where->formula = true;
            where->formulaOptional = !formulaFlag;
            return true;
        }
        return false;
    }
    case kSigBar: {
        if ((parts & (kPartNonText | kPartFormula)) == 0 || length < kBarFixedLength) return false;
        const std::uint32_t flags = DwordAt(record, length, kBarFlagsAt);
        where->offset = (flags & kBarTitleAfterColor) != 0 ? kBarTitleAfterColorAt : kBarFixedLength;
        if (where->offset > length) return false;
        where->length = length - where->offset;
        if ((flags & kBarTitleFormula) != 0) {
            where->formula = true;
            return (parts & kPartFormula) != 0;
        }
        return (parts & kPartNonText) != 0;
    }
    case kSigPabHide:
        if ((parts & kPartHideWhen) == 0 || length < kHideFormula) return false;
        where->offset = kHideFormula;
        where->length = length - kHideFormula;
        where->formula = true;
        return true;
    case kSigButton:
        if ((parts & kPartNonText) == 0 || length < kButtonFixedLength) return false;
        where->offset = kButtonFixedLength;
        where->length = length - kButtonFixedLength;
        return true;
    case kSigTableCellHref2:
    case kSigTableCellHref:
    case kSigHref2:
    case kSigHref: {
        if ((parts & (kPartNonText | kPartUrl)) == 0 || length < kResourceFixedLength) return false;
        if (WordAt(record, length, kResourceType) != kResourceUrl) return false;
        const std::uint32_t offset = kResourceFixedLength + WordAt(record, length, kResourceServerHint) +
                                     WordAt(record, length, kResourceFileHint);
        const std::uint32_t textLength = WordAt(record, length, kResourceTextLength);
        if (offset + textLength > length) return false;
        where->offset = offset;
        where->length = textLength;
        where->lengthField = kResourceTextLength;
        where->formula = (WordAt(record, length, kResourceFlags) & kResourceFormula) != 0;
        return true;
    }
    default:
        return false;
    }
}

// Appends the record with its text replaced by newText. The same length is
// written over a copy of the record; another length rebuilds the record as
// the bytes before the text and the new text, its length rounded up to even
// when a field keeps the text's length.
STATUS WriteRecordText(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       const RecordText& where, const char* newText, std::uint32_t newLength, std::uint32_t* passOn,
                       RecordProcessContext* context) {
    const bool sameLength = newLength == where.length;
    std::uint32_t total = sameLength ? length : where.offset + newLength;
    if (!sameLength && where.lengthField != 0) total = EvenLength(total);
    if (total > 0xFFFF || newLength > 0xFFFF) return kArgumentError;   // the record's 16-bit lengths cannot hold it

    TrackedBlock* block = CopyRecord(record, sameLength ? length : where.offset, total, context);
    if (block == nullptr) return kOutOfMemory;
    std::uint8_t* copy = block->data;
    std::memcpy(copy + where.offset, newText, newLength);
    if (!sameLength) {
        SetHostRecordLength(copy, signature, total);
        if (where.lengthField != 0) WriteWord(copy + where.lengthField, static_cast<std::uint16_t>(newLength));
        if (where.hotspot)
            WriteDword(copy + kHotspotFlagsAt, ReadDword(copy + kHotspotFlagsAt) & ~kHotspotClearedOnRebuild);
    }
    const STATUS status = AppendRecord(copy, signature, total, &context->output);
    QuorbelReleaseBlock(context->session, block);
    *passOn = 0;
    context->chunk->item->modified = 1;
    return status;
}

// A compiled formula: given back as text, replaced, and compiled again.
STATUS ReplaceInFormula(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                        const RecordText& where, std::uint32_t* passOn, RecordProcessContext* context) {
    if (where.length > 0xFFFF) return kArgumentError;
    plat::DHANDLE textHandle = 0;
    plat::WORD textLength = 0;
    STATUS status = plat::FormulaDecompile(record + where.offset, static_cast<plat::WORD>(where.length), &textHandle,
                                           &textLength);
    if (status != kOK) return where.formulaOptional ? kOK : status;
    const char* text = static_cast<const char*>(plat::MemLock(textHandle));
    std::int32_t rewritten = -1;
    bool changed = false;
    if (text != nullptr) {
        rewritten = FindSearchTextInRun(text, textLength, context);
        changed = rewritten >= 0 && (static_cast<std::uint32_t>(rewritten) != textLength ||
                                     std::memcmp(text, context->session->optionValue, textLength) != 0);
        plat::MemUnlock(textHandle);
    }
    plat::MemFree(textHandle);
    if (text == nullptr) return kOutOfMemory;
    if (rewritten < 0) return kArgumentError;
    if (!changed) return kOK;

    plat::DHANDLE compiled = 0;
    plat::WORD compiledLength = 0;
    status = plat::FormulaCompile(context->session->optionValue, static_cast<plat::WORD>(rewritten), &compiled,
                                  &compiledLength);
    if (status != kOK) return status;
    const auto* bytes = static_cast<const char*>(plat::MemLock(compiled));
    if (bytes == nullptr) {
        plat::MemFree(compiled);
        return kOutOfMemory;
    }
    status = WriteRecordText(record, signature, length, where, bytes, compiledLength, passOn, context);
    plat::MemUnlock(compiled);
    plat::MemFree(compiled);
    return status;
}

// A tab label's name is replaced in its field, cut to 127 bytes (never in
// the middle of a character).
STATUS ReplaceInLabel(const std::uint8_t* record, std::uint32_t length, std::uint32_t* passOn,
                      RecordProcessContext* context) {
    if (length < kLabelName + 1) return kOK;
    const std::uint32_t field = length - kLabelName < kLabelField ? length - kLabelName : kLabelField;
    const char* name = reinterpret_cast<const char*>(record + kLabelName);
    const void* terminator = std::memchr(name, 0, field);
    const std::uint32_t nameLength =
        terminator != nullptr ? static_cast<std::uint32_t>(static_cast<const char*>(terminator) - name) : field;
    const std::int32_t rewritten = FindSearchTextInRun(name, nameLength, context);
    if (rewritten < 0) return kArgumentError;
    const char* out = context->session->optionValue;
    if (static_cast<std::uint32_t>(rewritten) == nameLength && std::memcmp(out, name, nameLength) == 0) return kOK;
    std::uint32_t kept = plat::LmbcsByteLength(out, 0, kLabelLongest < field - 1 ? kLabelLongest : field - 1);
    if (kept > static_cast<std::uint32_t>(rewritten)) kept = static_cast<std::uint32_t>(rewritten);

    TrackedBlock* block = CopyRecord(record, length, length, context);
    if (block == nullptr) return kOutOfMemory;
    std::memset(block->data + kLabelName, 0, field);
    std::memcpy(block->data + kLabelName, out, kept);
    const STATUS status = AppendRecord(block->data, kSigTableLabel, length, &context->output);
    QuorbelReleaseBlock(context->session, block);
    *passOn = 0;
    context->chunk->item->modified = 1;
    return status;
}

// 2392 on records other than text runs: the texts its parts name are
// replaced; every other record is kept.
STATUS ReplaceInRecord(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       std::uint32_t* passOn, RecordProcessContext* context) {
    if (context->secondArgument == nullptr || context->a3 == 0 || context->writesItem == 0) return kOK;
    if (signature == kSigTableLabel) {
        return (context->a4 & kPartNonText) != 0 ? ReplaceInLabel(record, length, passOn, context) : kOK;
    }
    RecordText where;
    if (!LocateText(record, signature, length, context->a4, &where) || where.length == 0) return kOK;
    if (where.formula) return ReplaceInFormula(record, signature, length, where, passOn, context);

    const char* text = reinterpret_cast<const char*>(record + where.offset);
    const std::int32_t rewritten = FindSearchTextInRun(text, where.length, context);
    if (rewritten < 0) return kArgumentError;
    const char* out = context->session->optionValue;
    if (static_cast<std::uint32_t>(rewritten) == where.length && std::memcmp(out, text, where.length) == 0) return kOK;
    return WriteRecordText(record, signature, length, where, out, static_cast<std::uint32_t>(rewritten), passOn,
                           context);
}

// ---- The executor ----------------------------------------------------------------

STATUS TextRunInside(std::uint8_t* record, std::uint16_t signature, std::uint32_t length, std::uint32_t* passOn,
                     RecordProcessContext* context) {
    const std::uint16_t operation = context->operation;
    if (StartsRun(record, signature, length)) {
        // Once a font is found in use, every record is kept.
        if (operation == kOpFontInUse && context->chunkDone != 0) return kOK;
        if (!RunOperationActs(context)) return kOK;
        // The run's records are written back by the run operation.
        *passOn = 0;
        return TextRunOperation(record, signature, length, context);
    }
    switch (operation) {
    case kOpChangeFont:
    case kOpHighlight:
        if (context->operation2 != 0 && (signature == kSigButton || signature == kSigBar)) {
            return ChangeControlFont(record, signature, length, passOn, context);
        }
        return kOK;
    case kOpReplaceText:
        return ReplaceInRecord(record, signature, length, passOn, context);
    default:
        return kOK;
    }
}

const OperationRow kRows[] = {
    {kOpChangeFont, nullptr, TextRunInside, nullptr, &kChangeFontSteps, kRebuildsItem},
    {kOpFontInUse, nullptr, TextRunInside, nullptr, &kFontInUseSteps},
    {kOpHighlight, nullptr, TextRunInside, nullptr, &kHighlightSteps, kRebuildsItem | kMarksOnly},
    {kOpHighlightText, nullptr, TextRunInside, nullptr, &kHighlightTextSteps, kRebuildsItem | kMarksOnly},
    {kOpReplaceText, nullptr, TextRunInside, nullptr, &kReplaceTextSteps, kRebuildsItem},
    {kOpQuickReplace, nullptr, TextRunInside, nullptr, &kReplaceTextSteps, kRebuildsItem | kReplacementCutToMatch},
};

} // namespace

const OperationFamily kTextRunOperations = MakeFamily(kRows);

} // namespace talix
