// PrXMLStr, the generation's record walk: called by the operation engine at
// the end of each range of the chunk (and once more to finish a generation
// in several ranges), and by the writers of tables, hotspots and layers for
// the content of their element, one level deeper. It writes plain text
// itself; for HTML and XHTML the outermost call writes the head, gives each
// font of the range its markup as an internal style mapping, hands every
// record to the writer of its kind (htmlgen/walk_dispatch.h), hands the
// buffer on as it fills and closes what is still open at the end.
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "core/clamp.h"
#include "core/debug_level.h"
#include "core/item_work_state.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/font_change.h"
#include "htmlgen/head_pass.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/range_fonts.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/walk_dispatch.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kRecordReserve = 500;   // room kept for a record's markup without OutputToEvent
constexpr std::uint32_t kEventMargin = 40;      // ... and below the event chunk size with it
constexpr std::size_t kClosingSize = 256;       // the closing tags of one font's markup

// Counts the walks in progress for the nesting bound; the outermost walk
// empties the range's style rules whichever way it returns. The tables a
// walk met past the bound belong to it alone: a walk that returns inside
// one leaves the walk it returns to counting as before.
class NestingGuard {
public:
    NestingGuard(XMLGenContext* context, std::uint32_t depth)
        : context_(context), outermost_(depth == 0), unnestedTables_(context->unnestedTables) {
        ++context_->walkNesting;
    }
    ~NestingGuard() {
        --context_->walkNesting;
        context_->unnestedTables = unnestedTables_;
        if (outermost_) ReleaseStyleRules(context_);
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    XMLGenContext* context_;
    bool outermost_;
    std::uint32_t unnestedTables_;
};

// Appends bytes of plain text. A buffer without room is handed on first
// when text events are on; text that still does not fit ends the walk with
// 263, what was written staying in the buffer.
STATUS AppendPlain(XMLGenContext* context, const char* text, std::size_t length) {
    auto fits = [&] { return length < context->capacity - TextLength(context); };
    if (!fits() && EventOutputOn(context)) {
        const STATUS status = FlushOutput(context, 0);
        if (status != kOK) return status;
    }
    return AppendOutput(context, text, length) ? kOK : kOutOfMemory;
}

// One text run: a zero byte becomes a carriage return and line feed, a
// byte 255 a blank; other characters stay as they are (multibyte
// characters whole).
STATUS WritePlainRun(XMLGenContext* context, const CDRecordNode* node) {
    const char* text = reinterpret_cast<const char*>(node->bytes) + kTextRunHeader;
    const std::size_t length = node->length - kTextRunHeader;
    std::size_t from = 0;
    std::size_t i = 0;
    auto copyPending = [&]() -> STATUS { return i > from ? AppendPlain(context, text + from, i - from) : kOK; };
    while (i < length) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b == 0 || b == 0xFF) {
            STATUS status = copyPending();
            if (status == kOK) status = AppendPlain(context, b == 0 ? "\r\n" : " ", b == 0 ? 2 : 1);
            if (status != kOK) return status;
            from = ++i;
            continue;
        }
        std::size_t n = b >= 0x20 ? 1
                                  : plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(text + i),
                                                          static_cast<plat::DWORD>(length - i));
        if (n == 0) n = 1;
        // A piece that would not fit the buffer is written in parts.
        if (i + n - from >= context->capacity / 2) {
            const STATUS status = copyPending();
            if (status != kOK) return status;
            from = i;
        }
        i += n;
    }
    return copyPending();
}

// Plain-text output: the text of the range's text runs, a line end for
// each paragraph with NewlineOnParagraph; no markup.
STATUS WritePlainText(XMLGenContext* context) {
    STATUS status = kOK;
    for (CDRecordNode* node = context->node; InRange(context, node); node = node->next) {
        context->node = node;
        if (IsTextRun(node->signature) && RunHasText(node)) {
            status = WritePlainRun(context, node);
        } else if (node->signature == kSigParagraph && context->newlineOnParagraph != 0) {
            status = AppendPlain(context, "\r\n", 2);
        } else {
            continue;
        }
        if (status == kOK && EventOutputOn(context) &&
            TextSinceFlush(context) + kEventMargin > EventChunkLimit(context))
            status = CutLineBuffer(context);
        if (status != kOK) return status;
    }
    return FlushOutput(context, 1);
}

// Each font of the range's text runs gets its markup once, as an internal
// style mapping of the item: the opening markup and the closing tags it
// pushed. Nothing is written; the close-tag stack is left empty. The fonts
// are those the head pass noted, in the order their first runs come (the
// markup of one depends on the fonts before it). A right-to-left font
// forces the direction of the mappings after it, but not of the walk: the
// walk's text takes it on from the first right-to-left run it writes.
// Returns whether the range reaches its last record at all: false for a
// range that ends before it starts (walking it by identity would run on to
// the list's end).
bool MapRangeFonts(XMLGenContext* context, const RangeFonts& fonts) {
    ZervaRTItem* item = context->item;
    const int forceDirection = context->forceDirection;
    if (item != nullptr && item->work != nullptr && !fonts.fonts().empty()) {
        std::unordered_set<std::uint32_t> mapped;
        for (const StyleMappingInfo* mapping = item->work->internalMappings; mapping != nullptr;
             mapping = mapping->next)
            mapped.insert(mapping->fontId);
        for (const RangeFont& range : fonts.fonts()) {
            if (!mapped.insert(range.fontId).second) continue;
            const FontId font = UnpackFontId(range.fontId);
            const std::uint32_t depth = CloseTagDepth(context);
            WriteXMLFontChange(&font, range.hasColour ? &range.colour : nullptr, context, 1, 0,
                               range.rightToLeft ? 1 : 0);
            char closing[kClosingSize] = {};
            PopCloseTags(context, depth, closing, sizeof closing);
            item->CreateInternalStyleMapping(context->fontMarkup, closing, range.fontId);
            CloseOpenXMLTags(context, "*", 0, 0, nullptr, 0, 0, 0);
        }
    }
    CloseOpenXMLTags(context, "*", 0, 0, nullptr, 0, 0, 0);
    context->tableDepth = 0;
    context->currentFont = context->baseFont;
    context->forceDirection = forceDirection;
    return fonts.reachedEnd();
}

// The fonts of a range the head pass did not step through, noted here: a
// range without a last record or one that ends right before it starts,
// where the walk writes nothing but the fonts up to the list's end still
// get their mappings.
void NoteFontsToListEnd(const XMLGenContext* context, RangeFonts* fonts) {
    for (const CDRecordNode* node = context->node; node != nullptr; node = node->next) {
        if (IsTextRun(node->signature) && RunHasText(node)) fonts->Note(node);
    }
}

// Whether the range's last record lies at or after its first (plain text
// has no font pass to find it).
bool RangeReachesItsEnd(const XMLGenContext* context) {
    for (const CDRecordNode* node = context->node; node != nullptr; node = node->next) {
        if (node == context->endNode) return true;
    }
    return false;
}

// What the check after each record measures against, the same for the
// whole walk: with OutputToEvent the chunk size, else the text length past
// which the buffer counts as full.
struct BufferLimit {
    bool events = false;
    std::uint32_t limit = 0;
};

BufferLimit LimitOf(const XMLGenContext* context) {
    if (EventOutputOn(context)) return BufferLimit{true, EventChunkLimit(context)};
    return BufferLimit{false, context->capacity > kRecordReserve ? context->capacity - kRecordReserve : 0};
}

// The check before and after each record: without OutputToEvent a buffer
// close to full ends the walk (263); with it the text is handed on once it
// nears the chunk size.
STATUS CheckBuffer(XMLGenContext* context, const BufferLimit& limit) {
    if (context->overflow != 0) return kOutOfMemory;
    if (!limit.events) return TextLength(context) > limit.limit ? kOutOfMemory : kOK;
    if (TextSinceFlush(context) + kEventMargin > limit.limit) return CutLineBuffer(context);
    return kOK;
}

// The last call of a generation in several ranges: what the ranges left
// open closes, and the text goes out.
STATUS Finish(XMLGenContext* context) {
    TraceStep("PrXMLStr - Step 2");
    // The table a range ended in was closed with everything else at that
    // range's end; what remains is the trailer that follows it.
    if (context->tableOpen != 0) {
        if (context->trailer != nullptr) AppendOutput(context, context->trailer);
        context->tableOpen = 0;
        context->rowOpen = 0;
        context->openTableBegin = nullptr;
    }
    STATUS status = FlushOutput(context, 1);
    if (status == kOK && context->overflow != 0) status = kOutOfMemory;
    return status == kOK ? context->keptStatus : status;
}

} // namespace

STATUS PrXMLStr(XMLGenContext* context, std::uint32_t kind, std::uint32_t depth, std::uint16_t mode) {
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    NestingGuard nesting(context, depth);
    SetDebugLevelFromSetting("ZelundaDebug");
    TraceStep("PrXMLStr - IN");
    MoveToTextEnd(context);
    if (depth == 0 && mode != 2) PrepareTableContinuation(context);
    if (mode == 2) return Finish(context);
    if (context->format == kFormatText) {
        if (depth == 0 && !RangeReachesItsEnd(context)) context->node = nullptr;
        const STATUS status = WritePlainText(context);
        return status == kOK && context->overflow != 0 ? kOutOfMemory : status;
    }

    if (depth == 0) {
        RangeFonts fonts;
        const STATUS status = WriteHeadPass(context, &fonts);
        if (status != kOK) return status;
        if (!fonts.reachedEnd() && !InRange(context, context->node)) NoteFontsToListEnd(context, &fonts);
        if (!MapRangeFonts(context, fonts)) context->node = nullptr;
    }

    const WalkCall call{static_cast<std::uint16_t>(kind), ClampToWord(depth)};
    STATUS status = kOK;
    bool stoppedAtCell = false;
    const BufferLimit limit = LimitOf(context);
    for (;;) {
        const STATUS room = CheckBuffer(context, limit);
        if (room == kOutOfMemory) return kOutOfMemory;
        if (status == kOK) status = room;
        if (status != kOK || !InRange(context, context->node)) break;
        TraceStep("PrXMLStr - Step 5");
        const StepResult result = DispatchRecord(context, call);
        if (result.step == WalkStep::Return) return context->overflow != 0 ? kOutOfMemory : result.status;
        if (result.step == WalkStep::StopAtCell) {
            stoppedAtCell = true;
            break;
        }
        status = result.status;
    }

    if (stoppedAtCell) {
        // The table writer may have asked to go on from another record.
        TableLevelState* level = CurrentTableLevel(context);
        if (level->resumeFlag != 0 && level->resumeNode != nullptr) {
            context->node = level->resumeNode;
            level->resumeNode = nullptr;
            level->resumeFlag = 0;
        }
        return status;
    }
    if (depth > 0) return status;

    // The end of the body: everything still open closes (a table the range
    // ends in too, which the next range may take up again by cutting its
    // closing tags); a whole range hands the text on for the last time.
    CloseOpenXMLTags(context, "*", 1, 0, nullptr, 0, 0, 0);
    MoveToTextEnd(context);
    if (mode == 0) {
        if (context->trailer != nullptr) AppendOutput(context, context->trailer);
        const STATUS flushed = FlushOutput(context, IsOn(context, sw::kOutputAllToEvent) ? 0 : 1);
        if (status == kOK) status = flushed;
    }
    if (status == kOK && context->overflow != 0) status = kOutOfMemory;
    // A failure the writers kept without stopping is the run's outcome
    // once the whole output is written.
    if (status == kOK && mode == 0) status = context->keptStatus;
    return status;
}

} // namespace talix
