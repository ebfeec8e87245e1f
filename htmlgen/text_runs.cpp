#include "htmlgen/text_runs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/ascii.h"
#include "core/font_match.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/font_change.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix/item.h"

namespace talix {

namespace {

// The font elements a run closes at its end (a span outlives it), in the
// order they close: font, bold, strong, italic, emphasis, underline,
// strike-through, superscript, subscript, which is the order of their kinds.
constexpr std::uint32_t kRunClosingKinds =
    InlineKindBit(kInlineFont) | InlineKindBit(kInlineBold) | InlineKindBit(kInlineStrong) |
    InlineKindBit(kInlineItalic) | InlineKindBit(kInlineEmphasis) | InlineKindBit(kInlineUnderline) |
    InlineKindBit(kInlineStrike) | InlineKindBit(kInlineSuperscript) | InlineKindBit(kInlineSubscript);
// Room an open automatic link may use before the buffer is handed on with
// the link cut: links are completed whole where they fit.
constexpr std::uint32_t kLinkReserve = 512;
// Room kept beyond what completing an open link takes (its address written
// again as its text): more than one character of it ("&amp;") writes.
constexpr std::uint32_t kLinkMargin = 32;
constexpr std::uint8_t kFixedPitchFace = 4;

bool IsText(const CDRecordNode* node) { return node != nullptr && IsTextRun(node->signature); }
bool HasText(const CDRecordNode* node) { return IsText(node) && RunHasText(node); }
// A run that carries a font id (the record holds its fixed part).
bool HasFont(const CDRecordNode* node) {
    return IsText(node) && node->bytes != nullptr && node->length >= kTextRunHeader;
}
inline bool SameFont(const CDRecordNode* a, const CDRecordNode* b) {
    return HasFont(a) && HasFont(b) && std::memcmp(a->bytes + 4, b->bytes + 4, 4) == 0;
}

// Records after an empty run that show it does not stand alone.
bool EndsLoneRun(const CDRecordNode* node) {
    if (HasText(node)) return true;
    switch (node->signature) {
    case kSigHorizontalRule:
    case kSigV5HotspotEnd:
    case kSigTableBegin:
    case kSigTableCell:
    case kSigTableEnd:
    case kSigHotspotEnd:
    case kSigV4HotspotEnd:
    case kSigNestedTableBegin:
    case kSigNestedTableCell:
    case kSigNestedTableEnd:
        return true;
    default:
        return false;
    }
}

// Whether a run without text stands alone in its paragraph: no text before
// it since the paragraph's reference, and no text, rule, table or hotspot
// end after it before the next reference. The answer for the previous
// empty run is reused where the scans would pass over it, so that a
// stretch of empty runs is examined once.
[[gnu::noinline]] bool StandsAlone(XMLGenContext* context, const CDRecordNode* run) {
    TextRunMemo& memo = context->runMemo;
    bool backward = true, reachedMemo = false, crossed = false;
    for (const CDRecordNode* at = run->prev; at != nullptr; at = at->prev) {
        if (at == memo.emptyRun) {
            backward = memo.emptyBackward != 0;
            reachedMemo = true;
            break;
        }
        if (at->signature == kSigPabReference) break;
        if (HasText(at)) {
            backward = false;
            break;
        }
        if (EndsLoneRun(at)) crossed = true;
    }
    bool forward = false;
    if (backward) {
        if (reachedMemo && memo.emptyForwardKnown != 0 && !crossed) {
            forward = memo.emptyForward != 0;
        } else {
            forward = true;
            for (const CDRecordNode* at = run->next; at != nullptr && at->signature != kSigPabReference;
                 at = at->next) {
                if (EndsLoneRun(at)) {
                    forward = false;
                    break;
                }
            }
        }
    }
    memo.emptyRun = run;
    memo.emptyBackward = backward ? 1 : 0;
    memo.emptyForwardKnown = backward ? 1 : 0;
    memo.emptyForward = forward ? 1 : 0;
    return backward && forward;
}

// Whether only text records lie between the run and a BEGIN record before
// it (the previous run's answer is reused within a stretch of text).
bool BeginBefore(const TextRunMemo& memo, const CDRecordNode* run) {
    const CDRecordNode* at = run->prev;
    for (; at != nullptr && IsText(at); at = at->prev) {
        if (at == memo.run && memo.run != nullptr) return memo.beginBefore != 0;
    }
    return at != nullptr && at->signature == kSigBegin;
}

bool TextOrColour(const CDRecordNode* node) { return IsText(node) || node->signature == kSigColor; }

// The last colour record among the text and colour records after the run.
const CDRecordNode* LastColourAfter(const TextRunMemo& memo, const CDRecordNode* run) {
    if (memo.colourKnown != 0 && memo.run != nullptr) {
        bool passed = false;
        for (const CDRecordNode* at = run->prev; at != nullptr && TextOrColour(at); at = at->prev) {
            if (at == memo.run) return passed ? nullptr : memo.lastColour;
            if (at == memo.lastColour) passed = true;
        }
    }
    const CDRecordNode* last = nullptr;
    for (const CDRecordNode* at = run->next; at != nullptr && TextOrColour(at); at = at->next) {
        if (at->signature == kSigColor) last = at;
    }
    return last;
}

// The colour value of the run: after a BEGIN, the last colour record of
// the text and colour records that follow; otherwise the record right
// after the run when it is a colour record.
bool RunColour(XMLGenContext* context, const CDRecordNode* run, ColorValue* value) {
    TextRunMemo& memo = context->runMemo;
    const bool begin = BeginBefore(memo, run);
    const CDRecordNode* colour = nullptr;
    if (begin) {
        colour = LastColourAfter(memo, run);
        memo.colourKnown = 1;
        memo.lastColour = colour;
    } else {
        memo.colourKnown = 0;
        memo.lastColour = nullptr;
        if (run->next != nullptr && run->next->signature == kSigColor) colour = run->next;
    }
    memo.run = run;
    memo.beginBefore = begin ? 1 : 0;
    if (colour == nullptr) return false;
    value->flags = NodeWord(colour, 2);
    value->red = NodeByte(colour, 4);
    value->green = NodeByte(colour, 5);
    value->blue = NodeByte(colour, 6);
    return true;
}

// The caller's text-run mappings: those whose font criteria the run no
// longer meets close (with what was opened after them); those it meets
// open, at most ten at a time.
[[gnu::noinline]] void ApplyMappings(XMLGenContext* context, const FontId& font) {
    for (std::uint16_t i = context->openMappingCount; i-- > 0;) {
        const StyleMappingInfo* mapping = context->openMappings[i];
        if (i >= context->openMappingCount ||
            MatchFontID(font, mapping->fontCriteria, mapping->fontEnable) != 0)
            continue;
        CloseOpenXMLTagsToOutput(context, MappingClosing(*mapping), 1, 1, 0, 0);
        context->openMappingCount = i;
    }
    if (context->item == nullptr || context->item->work == nullptr) return;
    for (StyleMappingInfo* mapping = context->item->work->externalMappings; mapping != nullptr;
         mapping = mapping->next) {
        if (context->openMappingCount >= kOpenMappings) break;
        if ((mapping->flags & kStyleMappingExternal) == 0 ||
            MatchFontID(font, mapping->fontCriteria, mapping->fontEnable) == 0)
            continue;
        bool open = false;
        for (std::uint16_t i = 0; i < context->openMappingCount; ++i) open = open || context->openMappings[i] == mapping;
        if (open) continue;
        AppendOutput(context, MappingOpening(*mapping));
        if (MappingClosing(*mapping)[0] != '\0') PushCloseTag(context, MappingClosing(*mapping));
        context->openMappings[context->openMappingCount++] = mapping;
    }
}

// The same, looked at in place: mostly no mapping is open and the caller
// gave none.
inline void ApplyRunMappings(XMLGenContext* context, const FontId& font) {
    if (context->openMappingCount == 0 &&
        (context->item == nullptr || context->item->work == nullptr ||
         context->item->work->externalMappings == nullptr))
        return;
    ApplyMappings(context, font);
}

// The characters a run writes as they stand, whatever the options:
// printable ASCII but the markup characters, the blank (unless asked for)
// and, with automatic links, the first letters of the addresses that
// become links.
struct PlainCharacters {
    bool table[256] = {};
    constexpr PlainCharacters(bool links, bool blank) {
        for (int b = 0x21; b < 0x7F; ++b) table[b] = true;
        table[static_cast<std::uint8_t>(' ')] = blank;
        for (char c : {'&', '<', '>', '"'}) table[static_cast<std::uint8_t>(c)] = false;
        if (links) {
            for (char c : {'h', 'H', 'm', 'M', 's', 'S'}) table[static_cast<std::uint8_t>(c)] = false;
        }
        for (int b = 0; b < 256; ++b) {
            const bool encoded = b >= 0x80 || (b < 0x20 && b != 0 && b != '\t' && b != '\n' && b != '\r');
            kind[b] = table[b] ? kPlainKind : encoded ? kEncodedKind : kOtherKind;
        }
    }
    // Each byte's kind in a stretch of characters outside ASCII: written
    // as it stands, the start of a character written as an entity or
    // reference (one outside ASCII or a control character but the line
    // ends, tab and the zero byte), or neither.
    static constexpr std::uint8_t kOtherKind = 0, kPlainKind = 1, kEncodedKind = 2;
    std::uint8_t kind[256] = {};
};

// The tables of a run without and with automatic links, without and with
// the blank.
constexpr PlainCharacters kPlain(false, false), kPlainWithLinks(true, false);
constexpr PlainCharacters kBlanks(false, true), kBlanksWithLinks(true, true);

#if defined(__SSE2__)
// Tests sixteen bytes at once for characters PlainCharacters writes as they
// stand (blank: with the blank; links: without the first letters of
// addresses): long stretches of text are mostly such. The constants are
// made once per stretch; pairs of markup characters one bit apart are told
// by one comparison after that bit is set (" and &, < and >), and the
// first letters of addresses by one after folding to lower case.
class PlainBlocks {
public:
    PlainBlocks(bool blank, bool links)
        : shift_(_mm_set1_epi8(static_cast<char>(0x80 - (blank ? 0x20 : 0x21)))),
          top_(_mm_set1_epi8(static_cast<char>(0xFE - (blank ? 0x20 : 0x21)))), bit2_(_mm_set1_epi8(0x04)),
          quoteOrAmp_(_mm_set1_epi8('&')), bit1_(_mm_set1_epi8(0x02)), angle_(_mm_set1_epi8('>')),
          lower_(_mm_set1_epi8(0x20)), h_(_mm_set1_epi8('h')), m_(_mm_set1_epi8('m')), s_(_mm_set1_epi8('s')),
          links_(links) {}

    bool Plain(const char* text) const { return _mm_movemask_epi8(Marks(text)) == 0; }
    // Thirty-two bytes: one test of both halves' marks.
    bool PlainPair(const char* text) const {
        return _mm_movemask_epi8(_mm_or_si128(Marks(text), Marks(text + 16))) == 0;
    }

private:
    // Each byte of the sixteen at text that is not plain, marked.
    __m128i Marks(const char* text) const {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
        // Shifted (modulo 256) so that the lowest plain byte becomes the
        // lowest signed value: the plain bytes then lie at or below the
        // highest one's shifted value, and every other byte above it.
        __m128i mark = _mm_cmpgt_epi8(_mm_add_epi8(bytes, shift_), top_);
        mark = _mm_or_si128(mark, _mm_cmpeq_epi8(_mm_or_si128(bytes, bit2_), quoteOrAmp_));
        mark = _mm_or_si128(mark, _mm_cmpeq_epi8(_mm_or_si128(bytes, bit1_), angle_));
        if (links_) {
            const __m128i folded = _mm_or_si128(bytes, lower_);
            mark = _mm_or_si128(mark, _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(folded, h_), _mm_cmpeq_epi8(folded, m_)),
                                                   _mm_cmpeq_epi8(folded, s_)));
        }
        return mark;
    }

    __m128i shift_, top_, bit2_, quoteOrAmp_, bit1_, angle_, lower_, h_, m_, s_;
    bool links_;
};
#endif

// The bytes of a stretch of plain characters looked at one by one before
// sixteen are tested at once.
constexpr std::size_t kFirstBytes = 4;
// The longest plain stretch written among characters outside ASCII.
constexpr std::size_t kShortStretch = 16;

// The characters of a run, written at the end of the output.
class RunWriter {
public:
    RunWriter(XMLGenContext* context, std::uint8_t face)
        : context_(context),
          // No link starts inside a link: an address in a hotspot's text
          // stays text of that hotspot's anchor.
          makeLinks_(IsOn(context, sw::kMakeURLHotspots) && HasCloseTag(context, "</a>", 0) == 0),
          preserveSpaces_(IsOn(context, sw::kPreserveSpaces)),
          face_(face),
          chunk_(EventOutputOn(context) ? EventChunkLimit(context) : 0) {
        MoveToTextEnd(context);
        plain_ = makeLinks_ ? kPlainWithLinks.table : kPlain.table;
        // Without PreserveSpaces a blank is written as it stands too.
        const PlainCharacters& orBlank = preserveSpaces_ ? (makeLinks_ ? kPlainWithLinks : kPlain)
                                         : makeLinks_    ? kBlanksWithLinks
                                                         : kBlanks;
        plainOrBlank_ = orBlank.table;
        kinds_ = orBlank.kind;
    }

    // Writes one record's text; false once the output is full.
    bool Write(const char* text, std::size_t length) {
        std::size_t i = 0;
        while (i < length) {
            if (context_->overflow != 0) return false;
            const auto b = static_cast<std::uint8_t>(text[i]);
            if (context_->pendingLink == nullptr && plainOrBlank_[b]) {
                // A stretch of characters written as they stand, up to where
                // the buffer is due to be handed on. Blanks join it while the
                // stretch ends short of where a blank would hand the buffer
                // on (AfterCharacter), so that it is cut where it was.
                const bool* table = plainOrBlank_;
                std::size_t most = length;
                if (chunk_ != 0) {
                    const std::uint32_t written = Written();
                    std::size_t left = 0;
                    if (table != plain_ && written + 7 < chunk_) {
                        left = chunk_ - 7 - written;
                    } else {
                        table = plain_;
                        left = written > chunk_ + 40 ? 1 : chunk_ + 41 - written;
                    }
                    if (most - i > left) most = i + left;
                }
                if (!table[b]) {
                    // A blank where the buffer may be due: written on its own.
                    if (!WriteBlanks(text, length, &i)) return false;
                    if (!AfterCharacter(true)) return false;
                    continue;
                }
                // Byte by byte at first (stretches between characters
                // outside ASCII are short); one that goes on past a few
                // bytes is tested sixteen bytes at a time where the
                // processor can.
                std::size_t end = i + 1;
                const std::size_t first = most - i > kFirstBytes ? i + kFirstBytes : most;
                while (end < first && table[static_cast<std::uint8_t>(text[end])]) ++end;
                if (end < first && Encoded(static_cast<std::uint8_t>(text[end])) &&
                    (chunk_ == 0 || Written() + 64 < chunk_)) {
                    // A few plain characters before one outside ASCII, well
                    // short of where the buffer is due: the writer of such
                    // characters takes them with it.
                    if (!WriteEncodedStretch(text, length, &i)) return false;
                    if (!AfterCharacter(false)) return false;
                    continue;
                }
                if (end == first) {
#if defined(__SSE2__)
                    if (end + 16 <= most) {
                        const PlainBlocks blocks(table[static_cast<std::uint8_t>(' ')], makeLinks_);
                        // Thirty-two bytes at a time, then the last sixteen.
                        while (end + 32 <= most && blocks.PlainPair(text + end)) end += 32;
                        while (end + 16 <= most && blocks.Plain(text + end)) end += 16;
                        // The last sixteen bytes, overlapping those tested,
                        // end the stretch at once when they are plain too.
                        if (end < most && end + 16 > most && most - i >= 16 && blocks.Plain(text + most - 16))
                            end = most;
                    }
#endif
                    while (end < most && table[static_cast<std::uint8_t>(text[end])]) ++end;
                }
                if (!Put(text + i, end - i)) return false;
                i = end;
                if (!AfterCharacter(false)) return false;
                continue;
            }
            if (context_->pendingLink == nullptr &&
                (b >= 0x80 || (b < 0x20 && b != 0 && b != '\t' && b != '\n' && b != '\r'))) {
                // Outside ASCII (a group byte below 0x20 starts most
                // characters outside Latin-1), or a control character: its
                // entity or reference, never the raw byte (no address
                // starts with it); with the plain characters after it.
                if (!WriteEncodedStretch(text, length, &i)) return false;
                if (!AfterCharacter(false)) return false;
                continue;
            }
            if (context_->pendingLink != nullptr) {
                if (ContinuesLink(b)) {
                    if (!(b == '&' ? Put("&amp;", 5) : Put(text + i, 1))) return false;
                    ++i;
                    if (!AfterCharacter(false)) return false;
                    continue;
                }
                CompletePendingLink(context_);
            } else if (makeLinks_ && StartLink(text, length, &i)) {
                if (!AfterCharacter(false)) return false;
                continue;
            }
            bool blank = false;
            if (b == 0) {
                const char* lineBreak = LineBreakText(context_);
                if (!Put(lineBreak, std::strlen(lineBreak))) return false;
                CurrentTableLevel(context_)->emptyCell = 0;
                blank = true;
                ++i;
            } else if (b == '\t') {
                if (context_->tabSpaces == 0) {
                    if (!Put(" ", 1)) return false;
                } else {
                    for (std::uint16_t k = 0; k < context_->tabSpaces; ++k) {
                        if (!Put("&nbsp;", 6)) return false;
                    }
                }
                blank = true;
                ++i;
            } else if (b == ' ') {
                if (!WriteBlanks(text, length, &i)) return false;
                blank = true;
            } else if (b == '&') {
                if (!Put("&amp;", 5)) return false;
                ++i;
            } else if (b == '"') {
                if (!Put("&quot;", 6)) return false;
                ++i;
            } else if (b == '<') {
                if (!Put("&lt;", 4)) return false;
                ++i;
            } else if (b == '>') {
                if (!Put("&gt;", 4)) return false;
                ++i;
            } else if ((b >= 0x20 && b < 0x80) || b == '\n' || b == '\r') {
                if (!Put(text + i, 1)) return false;
                ++i;
            } else {
                // Outside ASCII, or a control character: its entity or
                // reference, never the raw byte.
                if (!PutEncoded(text, length, &i)) return false;
            }
            if (!AfterCharacter(blank)) return false;
        }
        return context_->overflow == 0;
    }

private:
    // The text written since the last hand-on that kept text in memory; the
    // write position stays at the text's end while a run is written.
    std::uint32_t Written() const {
        const auto length = static_cast<std::uint32_t>(context_->writePosition - context_->buffer);
        return length > context_->flushMark ? length - context_->flushMark : 0;
    }
    std::size_t Room() const {
        return context_->capacity - static_cast<std::size_t>(context_->writePosition - context_->buffer);
    }
    bool Full() {
        NoteBufferSpoilt(context_);
        *context_->writePosition = '\0';
        context_->overflow = 1;
        return false;
    }
    void Advance(std::size_t length) {
        context_->writePosition += length;
        *context_->writePosition = '\0';
        context_->measuredLength = 0;
    }
    // Whether a byte starts a character written as an entity or reference:
    // one outside ASCII or a control character but the line ends, tab and
    // the zero byte.
    static bool Encoded(std::uint8_t b) {
        return b >= 0x80 || (b < 0x20 && b != 0 && b != '\t' && b != '\n' && b != '\r');
    }

    // From a character written as an entity or reference at i: such
    // characters and the short stretches of plain characters between them,
    // written in one go at a local write position (the buffer's end is
    // moved once), the encodings met before copied from the table of what
    // characters were written as. Blanks written as they stand join the
    // stretches while none of them can make the buffer due to be handed
    // on. It ends at a character of another kind, before a long plain
    // stretch (written faster on its own), at the end of the text, or after
    // the piece that makes the buffer due to be handed on, a plain stretch
    // ending where that happens, as it would written piece by piece. Kept
    // out of Write, whose loop over plain text stays as compact as text of
    // ASCII alone needs it.
    [[gnu::noinline]] bool WriteEncodedStretch(const char* text, std::size_t length, std::size_t* i) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
        char* const base = context_->buffer;
        char* const end = base + context_->capacity;
        // The piece that ends past this write position makes the buffer due.
        const std::size_t flushMark = context_->flushMark;
        const std::size_t dueAt = chunk_ != 0 ? flushMark + chunk_ + 40 : SIZE_MAX;
        char* out = context_->writePosition;
        std::size_t at = *i;
        bool full = false;
        if (encodings_ == nullptr) encodings_ = EncodingsFor(context_, IsOn(context_, sw::kUseXMLEntities));
        // While the buffer holds less than fastUsed, a character (at most
        // fifteen bytes written for a byte it takes) fits, cannot make the
        // buffer due, and leaves any blank short of where a blank would hand
        // the buffer on: the characters are written one by one without those
        // checks, in blocks of as many bytes of text as the room left surely
        // holds. The bytes are read from the text while sixteen and a
        // character of three bytes lie ahead of the block, then from a copy
        // of the text's last bytes with zeros past them: a zero is neither
        // plain nor kept, so every stretch ends where the text does.
        constexpr std::size_t kMostPerByte = sizeof(StoredEncoding::text);
        std::size_t fastUsed = context_->capacity > 18 ? context_->capacity - 18 : 0;
        if (chunk_ != 0) fastUsed = chunk_ >= 23 ? std::min(fastUsed, flushMark + chunk_ - 23) : 0;
        const bool fast = fastUsed != 0 && encodings_ != nullptr;
        const std::size_t textEnd = length > kShortStretch + 2 ? length - kShortStretch - 2 : 0;
        // The tables in locals: what is written through out could be any of
        // the writer's members as far as the compiler knows.
        const std::uint8_t* const kinds = kinds_;
        const EncodingTable* const encodings = encodings_;
        char tail[4 * kShortStretch];
        std::size_t tailStart = SIZE_MAX;
        for (;;) {
            while (fast && at < length && static_cast<std::size_t>(out - base) < fastUsed) {
                const std::size_t room = (fastUsed - static_cast<std::size_t>(out - base)) / kMostPerByte + 1;
                if (at < textEnd) {
                    if (!WriteKnown<false>(bytes, std::min(textEnd, at + room), length, kinds, encodings, &at, &out))
                        break;
                    continue;
                }
                if (tailStart == SIZE_MAX) {
                    // The text's last bytes, those from textEnd among them.
                    tailStart = length > 2 * kShortStretch ? length - 2 * kShortStretch : 0;
                    std::memset(tail, 0, sizeof tail);
                    if (tailStart != 0) {
                        std::memcpy(tail, text + tailStart, 2 * kShortStretch);
                    } else {
                        std::memcpy(tail, text, length);
                    }
                }
                std::size_t inTail = at - tailStart;
                const bool more = WriteKnown<true>(reinterpret_cast<const std::uint8_t*>(tail),
                                             std::min(length, at + room) - tailStart, length - tailStart, kinds,
                                             encodings, &inTail, &out);
                at = inTail + tailStart;
                if (!more) break;
            }
            // The last character taken that way may end the text.
            if (at >= length) break;
            const std::uint8_t b = bytes[at];
            if (Encoded(b)) {
                const std::uint16_t n = LmbcsLengthOf(b);
                const StoredEncoding* known =
                    encodings_ != nullptr && n <= length - at ? encodings_->Find(bytes + at, n) : nullptr;
                if (known != nullptr) {
                    const std::size_t size = known->length;
                    const auto room = static_cast<std::size_t>(end - out);
                    if (room > sizeof known->text) {
                        std::memcpy(out, known->text, sizeof known->text);
                    } else if (size < room) {
                        CopyShort(out, known->text, size);
                    } else {
                        full = true;
                        break;
                    }
                    out += size;
                    at += n;
                } else {
                    std::size_t count = 0;
                    const std::size_t taken = EncodeCharacter(context_, text + at, length - at, out,
                                                              static_cast<std::size_t>(end - out), &count);
                    if (taken == 0) {
                        full = true;
                        break;
                    }
                    out += count;
                    at += taken;
                }
            } else if (plainOrBlank_[b]) {
                std::size_t most = length - at < kShortStretch ? length : at + kShortStretch;
                const bool* table = plainOrBlank_;
                if (chunk_ != 0) {
                    const auto used = static_cast<std::size_t>(out - base);
                    const std::size_t sent = used > flushMark ? used - flushMark : 0;
                    const std::size_t left = chunk_ + 41 - sent;
                    if (most - at > left) most = at + left;
                    // A blank that may make the buffer due is written on
                    // its own.
                    if (sent + kShortStretch + 7 > chunk_) table = plain_;
                }
                if (!table[b]) break;
                std::size_t stop = at + 1;
                while (stop < most && table[bytes[stop]]) ++stop;
                // A long stretch goes to the writer of plain text.
                if (stop - at == kShortStretch) break;
                const auto room = static_cast<std::size_t>(end - out);
                if (room > kShortStretch && length - at >= kShortStretch) {
                    std::memcpy(out, text + at, kShortStretch);
                } else if (stop - at < room) {
                    CopyShort(out, text + at, stop - at);
                } else {
                    full = true;
                    break;
                }
                out += stop - at;
                at = stop;
            } else {
                break;
            }
            if (at >= length || static_cast<std::size_t>(out - base) > dueAt) break;
        }
        // Pieces are copied in whole blocks of sixteen bytes where there is
        // room: what they left past the text is zero again.
        if (static_cast<std::size_t>(end - out) > kShortStretch) {
            std::memset(out, 0, kShortStretch + 1);
        } else {
            std::memset(out, 0, static_cast<std::size_t>(end - out));
        }
        Advance(static_cast<std::size_t>(out - context_->writePosition));
        *i = at;
        return full ? Full() : true;
    }

    // The characters from *at up to block, read from bytes (sixteen bytes
    // and a character of three readable past block; length ends the text):
    // each plain stretch copied in one move and then counted, each character
    // with an entry copied from it whole (the room left holds sixteen bytes
    // past each piece; what a stretch left to others stored there is written
    // over or cleared at the end). False at a character of another kind, at
    // one cut short by length (checked near the end only), or before sixteen
    // plain bytes in a row, which the writer of plain text takes faster;
    // *at and *out are where the writing stopped.
    template <bool kNearEnd>
    [[gnu::always_inline]] static bool WriteKnown(const std::uint8_t* bytes, std::size_t block, std::size_t length,
                                                  const std::uint8_t* kinds, const EncodingTable* encodings,
                                                  std::size_t* atIn, char** outIn) {
        std::size_t at = *atIn;
        char* out = *outIn;
        bool more = true;
        while (at < block) {
            // The plain characters from at (none, mostly, right after a
            // character with an entry) copied in one move and then counted.
            const std::uint8_t* const from = bytes + at;
            std::memcpy(out, from, kShortStretch);
            std::size_t count = 0;
            // Unrolled where the code is optimised (the pragma draws a
            // warning where it is not).
#if defined(__OPTIMIZE__)
#pragma GCC unroll 16
#endif
            while (count < kShortStretch && kinds[from[count]] == PlainCharacters::kPlainKind) ++count;
            if (count == kShortStretch) {
                more = false;
                break;
            }
            out += count;
            at += count;
            // The character that ended the stretch is taken next, while the
            // block lasts.
            if (at >= block) break;
            std::size_t n = 0;
            const StoredEncoding* known = encodings->FindWhole(bytes + at, &n);
            if (known == nullptr || (kNearEnd && n > length - at)) {
                more = false;
                break;
            }
            // The entry whole: its count lands past what it writes.
            std::memcpy(out, known, sizeof *known);
            out += known->length;
            at += n;
        }
        *atIn = at;
        *outIn = out;
        return more;
    }

    // The character at i as an entity or reference.
    bool PutEncoded(const char* text, std::size_t length, std::size_t* i) {
        std::size_t written = 0;
        const std::size_t taken =
            EncodeCharacter(context_, text + *i, length - *i, context_->writePosition, Room(), &written);
        if (taken == 0) return Full();
        Advance(written);
        *i += taken;
        return true;
    }
    bool Put(const char* text, std::size_t length) {
        if (length >= Room()) return Full();
        std::memcpy(context_->writePosition, text, length);
        Advance(length);
        return true;
    }
    // Blanks: with PreserveSpaces a blank stays one only between words
    // (and not in the fixed-pitch face); otherwise it and the blanks after
    // it are non-breaking.
    bool WriteBlanks(const char* text, std::size_t length, std::size_t* i) {
        const bool single = *i + 1 < length && text[*i + 1] != ' ' && face_ != kFixedPitchFace;
        if (!preserveSpaces_ || single) {
            ++*i;
            return Put(" ", 1);
        }
        while (*i < length && text[*i] == ' ') {
            if (!Put("&nbsp;", 6)) return false;
            ++*i;
        }
        return true;
    }

    static bool ContinuesLink(std::uint8_t b) {
        if (IsAsciiLetterOrDigit(static_cast<char>(b))) return true;
        return b != 0 && std::strchr("-#,._?!=/\\%@';&", b) != nullptr;
    }

    // An address at i opens an automatic link: the anchor's start, then the
    // address's prefix as it stands; the link stays open for the rest.
    bool StartLink(const char* text, std::size_t length, std::size_t* i) {
        const std::size_t left = length - *i;
        const char* at = text + *i;
        std::size_t prefix = 0;
        bool web = false;
        switch (at[0]) {
        case 'h':
        case 'H':
            if (left >= 10 && StartsNoCase(at, left, "https://")) {
                prefix = 8;
            } else if (left >= 10 && StartsNoCase(at, left, "http://")) {
                prefix = 7;
            }
            web = true;
            break;
        case 'm':
        case 'M':
            if (left >= 11 && StartsNoCase(at, left, "mailto:")) prefix = 7;
            break;
        case 's':
        case 'S':
            if (left >= 11 && StartsNoCase(at, left, "skype:")) prefix = 6;
            break;
        default:
            break;
        }
        if (prefix == 0) return false;
        if (web && ExtraParameters()[0] != '\0') {
            if (!Put("<a ", 3) || !Put(extra_.data(), std::strlen(extra_.data())) || !Put(" href=\"", 7))
                return false;
        } else if (!Put("<a href=\"", 9)) {
            return false;
        }
        context_->pendingLink = context_->writePosition;
        if (!Put(at, prefix)) return false;
        *i += prefix;
        return true;
    }

    static bool StartsNoCase(const char* text, std::size_t length, const char* prefix) {
        const std::size_t size = std::strlen(prefix);
        if (length < size) return false;
        for (std::size_t k = 0; k < size; ++k) {
            char c = text[k];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != prefix[k]) return false;
        }
        return true;
    }

    // ExtraURLHotspotParams=, read once per run.
    const char* ExtraParameters() {
        if (!extraRead_) {
            extraRead_ = true;
            const char* options = context_->optionText;
            extra_.assign(options != nullptr ? std::strlen(options) + 1 : 1, '\0');
            if (options != nullptr) {
                GetOptionValue(options, "ExtraURLHotspotParams=", extra_.data(),
                               static_cast<std::uint32_t>(extra_.size()));
            }
        }
        return extra_.data();
    }

    // With text handed on as it is written, the buffer is handed on once
    // it grows past the chunk size (after a blank, line break or tab a
    // little before, to cut where a line may end). An open automatic link
    // is completed first; while there is room it is left to end on its
    // own, so that addresses stay whole. Completing it writes its address
    // again: a long address is cut while the room left still takes that,
    // due or not, and its rest follows as text.
    bool AfterCharacter(bool blank) {
        if (chunk_ == 0) return context_->overflow == 0;
        const std::uint32_t written = Written();
        const bool due = blank ? written + 7 > chunk_ : written > chunk_ + 40;
        if (context_->pendingLink != nullptr) {
            const auto link = static_cast<std::size_t>(context_->writePosition - context_->pendingLink);
            if (Room() > kLinkReserve && Room() > link + kLinkMargin) return true;
        } else if (!due) {
            return true;
        }
        if (CutLineBuffer(context_) != kOK) {
            context_->overflow = 1;
            return false;
        }
        MoveToTextEnd(context_);
        return context_->overflow == 0;
    }

    XMLGenContext* context_;
    bool makeLinks_;
    bool preserveSpaces_;
    std::uint8_t face_;
    std::uint32_t chunk_;
    // Taken at the first character outside ASCII: text of ASCII alone
    // needs none.
    EncodingTable* encodings_ = nullptr;
    bool extraRead_ = false;
    std::vector<char> extra_;
    const bool* plain_;
    const bool* plainOrBlank_;
    const std::uint8_t* kinds_;
};

// Closes what the run opened but a span, kind by kind in the order of
// kRunClosingKinds (closing one closes what was opened after it): the
// stack says at once which kinds are open.
void CloseRunElements(XMLGenContext* context) {
    std::uint32_t passed = 0;   // the kinds up to the last one closed
    for (std::uint32_t open; (open = OpenInlineKinds(context) & kRunClosingKinds & ~passed) != 0;) {
        const auto kind = static_cast<InlineKind>(std::countr_zero(open));
        CloseInlineKind(context, kind);
        passed = (2u << kind) - 1;
    }
}

// Removes font markup that repeats, byte for byte, what was written right
// before it, with the closing tags it pushed.
void DropRepeatedMarkup(XMLGenContext* context, std::size_t markupLength) {
    if (markupLength == 0) return;
    const std::size_t end = TextLength(context);
    if (end < markupLength) return;
    const std::size_t start = end - markupLength;
    // Mostly one of the two bytes before the markup differs from its last
    // two already (the markup mostly ends with a tag, as what it follows).
    if (start > 0 && context->buffer[start - 1] != context->buffer[end - 1]) return;
    if (start > 1 && markupLength > 1 && context->buffer[start - 2] != context->buffer[end - 2]) return;
    if (!WrittenBefore(context, start, context->buffer + start, markupLength)) return;
    std::memset(context->buffer + start, 0, markupLength);
    context->writePosition = context->buffer + start;
    context->measuredLength = 0;
    const std::uint32_t depth = CloseTagDepth(context);
    PopCloseTags(context, depth > context->fontPushes ? depth - context->fontPushes : 0, nullptr, 0);
}

// Inside a text wrapper (a BEGIN of a text run) the records after the run,
// its colour among them, are passed over up to the wrapper's END; a further
// run of text in the wrapper (of another font) stops it, so that its text
// is written too.
[[gnu::always_inline]] inline void Finish(XMLGenContext* context, std::uint16_t kind, bool tracing) {
    if (IsTextRun(kind)) {
        CDRecordNode* node = context->node;
        while (InRange(context, node) && node->signature != kSigEnd && !HasText(node)) node = node->next;
        context->node = node;
        CloseInlineKind(context, kInlineSpan);
    }
    TraceStep(tracing, "ProcessXMLText - OUT");
}

} // namespace

STATUS ProcessXMLText(XMLGenContext* context, std::uint16_t kind, int emptyLineBreak) {
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    const bool tracing = Tracing();
    TraceStep(tracing, "ProcessXMLText - IN");
    // InRange, with the range's end looked up once: the walk's range stays
    // as it is while a run is written.
    const CDRecordNode* const past = context->endNode != nullptr ? context->endNode->next : nullptr;
    const bool ranged = context->endNode != nullptr;
    const auto inRange = [past, ranged](const CDRecordNode* at) { return at != nullptr && ranged && at != past; };
    CDRecordNode* node = context->node;
    while (inRange(node) && !IsText(node) && node->signature != kSigEnd) node = node->next;
    context->node = node;
    if (!inRange(node) || !IsText(node)) {
        Finish(context, kind, tracing);
        return kOK;
    }
    const bool hasText = RunHasText(node);
    const bool lone = !hasText && HasFont(node) && !IsOn(context, sw::kStandardFontTags) && StandsAlone(context, node);
    if (!hasText && !lone) {
        context->node = node->next;
        Finish(context, kind, tracing);
        return kOK;
    }

    const FontId font = ReadFontId(node->bytes + 4);
    ApplyRunMappings(context, font);
    TraceStep(tracing, "ProcessXMLText - About to check color value");
    ColorValue colour;
    const bool hasColour = RunColour(context, node, &colour);
    if (context->paragraphMapping == nullptr || (context->paragraphMapping->flags & kStyleMappingNoFonts) == 0) {
        WriteXMLFontChange(&font, hasColour ? &colour : nullptr, context, 0, 0, node->signature == kSigBidiText);
        MoveToTextEnd(context);
        DropRepeatedMarkup(context, context->fontMarkupLength);
    }

    RunWriter writer(context, font.face);
    if (!hasText) {
        // A paragraph of nothing but an empty run: a line break, when asked.
        if (emptyLineBreak != 0) {
            CurrentTableLevel(context)->emptyCell = 0;
            writer.Write("", 1);
        }
    } else {
        CurrentTableLevel(context)->emptyCell = 0;
    }
    TraceStep(tracing, "ProcessXMLText - #2");
    CDRecordNode* last = node;
    // The runs after the first are taken only with text.
    for (CDRecordNode* run = node; run != nullptr;) {
        if ((run != node || hasText) &&
            !writer.Write(reinterpret_cast<const char*>(run->bytes) + kTextRunHeader, run->length - kTextRunHeader))
            break;
        last = run;
        // Empty runs of the same font are passed over; a run of the same
        // font right after them continues this one without new markup,
        // unless it has a colour record of its own where this one has none.
        CDRecordNode* next = run->next;
        while (inRange(next) && IsText(next) && !HasText(next) && SameFont(next, node)) {
            last = next;
            next = next->next;
        }
        const bool ownColour = !hasColour && next != nullptr && next->next != nullptr &&
                               next->next->signature == kSigColor;
        run = inRange(next) && HasText(next) && SameFont(next, node) && !ownColour ? next : nullptr;
    }
    if (context->pendingLink != nullptr) CompletePendingLink(context);
    CloseRunElements(context);
    context->node = last->next;
    Finish(context, kind, tracing);
    return kOK;
}

} // namespace talix
