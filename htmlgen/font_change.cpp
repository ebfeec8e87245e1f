#include "htmlgen/font_change.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/css_format.h"
#include "core/text_compare.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/style_text.h"
#include "talix/item.h"

namespace talix {

namespace {

constexpr std::size_t kFaceNameSize = 64;   // a face name (31) or the family list standing for it (63)

// A bounded text being built: a piece that does not fit is left out whole.
struct Markup {
    char* out;
    std::size_t capacity;
    std::size_t used = 0;

    Markup(char* buffer, std::size_t size) : out(buffer), capacity(size) { out[0] = '\0'; }
    void Put(const char* text) { PutBytes(text, std::strlen(text)); }
    void PutBytes(const char* text, std::size_t length) {
        if (length >= capacity - used) return;
        std::memcpy(out + used, text, length);
        used += length;
        out[used] = '\0';
    }
    // A number in decimal.
    void PutNumber(unsigned value) {
        char digits[12];
        char* const end = digits + sizeof digits;
        char* at = end;
        do {
            *--at = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        PutBytes(at, static_cast<std::size_t>(end - at));
    }
    template <typename... Args>
    void Format(const char* format, Args... args) {
        char piece[64];
        const int written = std::snprintf(piece, sizeof piece, format, args...);
        if (written > 0 && static_cast<std::size_t>(written) < sizeof piece) Put(piece);
    }
    // A text of the record set inside a quoted attribute value: the
    // characters that would end the value or open markup are written as
    // references.
    void PutAttributeText(const char* text) {
        for (const char* p = text; *p != '\0';) {
            const auto b = static_cast<unsigned char>(*p);
            if (b < 0x20) {
                // A character of several bytes goes whole: a later byte
                // of it may look like a quote or "&".
                std::size_t n = 1;
                while (n < LmbcsLengthOf(b) && p[n] != '\0') ++n;
                PutBytes(p, n);
                p += n;
                continue;
            }
            switch (b) {
            case '&': PutBytes("&amp;", 5); break;
            case '<': PutBytes("&lt;", 4); break;
            case '"': PutBytes("&quot;", 6); break;
            case '\'': PutBytes("&#39;", 5); break;
            default: PutBytes(p, 1); break;
            }
            ++p;
        }
    }
};

struct Suppressed {
    bool face, size, attributes, colour;
    bool All() const { return face && size && attributes && colour; }
};

Suppressed ReadSuppressed(const XMLGenContext* context) {
    return Suppressed{IsOn(context, sw::kSuppressFontFace), IsOn(context, sw::kSuppressFontSize),
                      IsOn(context, sw::kSuppressFontAttributes), IsOn(context, sw::kSuppressFontColor)};
}

// The name written for a face: its name in the item's face table, or the
// family list of the static face of that name. Empty for a face the table
// does not hold.
void FaceName(XMLGenContext* context, std::uint8_t face, char* name) {
    name[0] = '\0';
    char stored[32] = {};
    if (context->item == nullptr || context->item->FindFaceByID(face, stored) == 0) return;
    // The same face of the same name is written as last time.
    FaceNameMemo& memo = context->faceNameMemos[face % kFaceNameMemos];
    if (memo.used && memo.face == face && std::memcmp(memo.stored, stored, sizeof stored) == 0) {
        std::memcpy(name, memo.written, sizeof memo.written);
        return;
    }
    const char* chosen = stored;
    for (const StaticFace& known : context->faces) {
        // Most names differ in their first letter: looked at before the
        // whole comparison.
        if (known.name[0] != '\0' && LowerAscii(known.name[0]) == LowerAscii(stored[0]) &&
            EqualNoCase(stored, known.name)) {
            chosen = known.families;
            break;
        }
    }
    // A control character in a stored name is none of a face's and no
    // document may hold it (XML takes none): it leaves nothing.
    const std::string kept = KeptInXml(std::string_view(chosen, strnlen(chosen, kFaceNameSize - 1)));
    const std::size_t length = kept.size();
    std::memcpy(name, kept.data(), length);
    name[length] = '\0';
    memo.used = true;
    memo.face = face;
    std::memcpy(memo.stored, stored, sizeof stored);
    std::memset(memo.written, 0, sizeof memo.written);
    std::memcpy(memo.written, name, length + 1);
}

// An inline element the font change opens: its start tag and its kind.
struct InlineElement {
    const char* start;
    InlineKind kind;
};

constexpr InlineElement kBold{"<b>", kInlineBold};
constexpr InlineElement kStrong{"<strong>", kInlineStrong};
constexpr InlineElement kItalic{"<i>", kInlineItalic};
constexpr InlineElement kEmphasis{"<em>", kInlineEmphasis};
constexpr InlineElement kUnderline{"<u>", kInlineUnderline};
constexpr InlineElement kStrike{"<s>", kInlineStrike};
constexpr InlineElement kSuperscript{"<sup>", kInlineSuperscript};
constexpr InlineElement kSubscript{"<sub>", kInlineSubscript};

// Opens an element unless its kind (or the other kind given, which counts
// as the same) is open, pushing its closing tag.
void OpenElement(XMLGenContext* context, Markup* markup, const InlineElement& element,
                 InlineKind otherKind = kInlineNone) {
    if (InlineKindOpen(context, element.kind) || InlineKindOpen(context, otherKind)) return;
    markup->Put(element.start);
    if (PushInlineCloseTag(context, element.kind)) ++context->fontPushes;
}

// Opens the elements of the attribute bits given, in this order, each
// unless open: bold and italic (strong and em under WAICompliant; either
// form counts as open), underline, strike-through, superscript, subscript.
void OpenAttributes(XMLGenContext* context, Markup* markup, unsigned attributes) {
    const bool wai = IsOn(context, sw::kWAICompliant);
    if ((attributes & kAttrBold) != 0)
        OpenElement(context, markup, wai ? kStrong : kBold, wai ? kInlineBold : kInlineStrong);
    if ((attributes & kAttrItalic) != 0)
        OpenElement(context, markup, wai ? kEmphasis : kItalic, wai ? kInlineItalic : kInlineEmphasis);
    if ((attributes & kAttrUnderline) != 0) OpenElement(context, markup, kUnderline);
    if ((attributes & kAttrStrike) != 0) OpenElement(context, markup, kStrike);
    if ((attributes & kAttrSuperscript) != 0) OpenElement(context, markup, kSuperscript);
    if ((attributes & kAttrSubscript) != 0) OpenElement(context, markup, kSubscript);
}

// The style span of a font: its text in span, or nothing when no property
// differs (false). Right-to-left text forces the direction of the spans
// after it.
bool ComposeSpan(XMLGenContext* context, const FontId& font, const ColorValue* color, int rightToLeft,
                 const Suppressed& suppressed, Markup* span) {
    const FontId& base = context->baseFont;
    span->Put("<span style=\"");
    span->Put(context->openBrace);
    bool property = false;
    if (!suppressed.size && (context->forceFontSize != 0 || font.size != base.size)) {
        span->Put("font-size: ");
        span->PutNumber(font.size);
        span->Put("pt; ");
        property = true;
    }
    if (!suppressed.colour && color != nullptr) {
        const char* highlight = (color->flags & kColorHighlightYellow) != 0 ? "#ffffc2;"
                                : (color->flags & kColorHighlightPink) != 0 ? "#ffe0e6;"
                                : (color->flags & kColorHighlightBlue) != 0 ? "#e0ffff;"
                                                                            : nullptr;
        if (highlight != nullptr) {
            span->Put("background: ");
            span->Put(highlight);
            property = true;
        }
    }
    if (!suppressed.colour &&
        (context->forceFontColor != 0 || font.color != base.color || ColourValueGivesColour(color))) {
        char value[kCSSColorSize];
        if (color != nullptr) {
            FormatCSSRGB(color->red, color->green, color->blue, value);
        } else {
            ColorToCSS(font.color, value, kColorAsRGB);
        }
        span->Put("color: ");
        span->Put(value);
        span->Put("; ");
        property = true;
    }
    if (!suppressed.attributes) {
        const std::uint8_t decoration = font.attributes & (kAttrUnderline | kAttrStrike);
        const char* text = nullptr;
        if (font.attributes == base.attributes) {
            if (context->insideLink != 0 && (font.attributes & kAttrUnderline) == 0)
                text = "text-decoration: none; ";
        } else if (decoration == (kAttrUnderline | kAttrStrike)) {
            text = "text-decoration: underline line-through; ";
        } else if (decoration == kAttrUnderline) {
            text = "text-decoration: underline; ";
        } else if (decoration == kAttrStrike) {
            text = "text-decoration: line-through; ";
        } else if (context->insideLink != 0) {
            text = "text-decoration: none; ";
        }
        if (text != nullptr) {
            span->Put(text);
            property = true;
        }
    }
    if (!suppressed.face && (context->forceFontFace != 0 || font.face != base.face)) {
        char name[kFaceNameSize];
        FaceName(context, font.face, name);
        if (name[0] != '\0') {
            // The face name is data: a CSS value of its own, which
            // needs no further escape inside the attribute.
            std::string family = "font-family: ";
            AppendFontFamilies(&family, name);
            family += "; ";
            span->Put(family.c_str());
            property = true;
        }
    }
    if (rightToLeft != 0) {
        span->Put("direction: rtl;");
        context->forceDirection = 1;
        property = true;
    } else if (context->forceDirection != 0) {
        span->Put("direction: ltr;");
        property = true;
    }
    if (!property) return false;
    span->Put(context->closeBrace);
    span->Put("\">");
    return true;
}

// The switches a span's text depends on besides the fonts and the colour:
// those the options fix, and the size forced by the caller, the link, the
// direction.
inline std::uint16_t SpanSwitches(const XMLGenContext* context, int forceSize, int rightToLeft) {
    return static_cast<std::uint16_t>(context->fixedSpanSwitches | (forceSize != 0 ? 128 : 0) |
                                      (context->insideLink != 0 ? 256 : 0) | (rightToLeft != 0 ? 512 : 0) |
                                      (context->forceDirection != 0 ? 1024 : 0));
}

// Puts the span of a font state into the markup: built once, then taken
// from its memo while the state comes again (text mostly changes among a
// few fonts). False when no property differs (no span).
bool PutSpan(XMLGenContext* context, const FontId& font, const ColorValue* color, int forceSize, int rightToLeft,
             const Suppressed& suppressed, Markup* markup) {
    const std::uint32_t packed = PackFontId(font);
    const std::uint32_t base = PackFontId(context->baseFont);
    const std::uint16_t switches = SpanSwitches(context, forceSize, rightToLeft);
    const ColorValue colour = color != nullptr ? *color : ColorValue{};
    std::uint32_t hash = packed * 2654435761u ^ base * 40503u ^ switches;
    if (color != nullptr) hash ^= (colour.flags * 31u + colour.red * 7u + colour.green * 3u + colour.blue) * 97u;
    SpanMemo& memo = context->spanMemos[(hash >> 7) % kSpanMemos];
    if (memo.used && memo.font == packed && memo.base == base && memo.switches == switches &&
        memo.colourGiven == (color != nullptr) &&
        (color == nullptr || (memo.colour.flags == colour.flags && memo.colour.red == colour.red &&
                              memo.colour.green == colour.green && memo.colour.blue == colour.blue))) {
        if (rightToLeft != 0) context->forceDirection = 1;
        if (memo.length == 0) return false;
        markup->PutBytes(memo.text, memo.length);
        return true;
    }
    char text[kFontMarkupSize];
    Markup span(text, sizeof text);
    const bool property = ComposeSpan(context, font, color, rightToLeft, suppressed, &span);
    if (property) markup->PutBytes(span.out, span.used);
    // A span too long for a memo is kept in none.
    memo = SpanMemo{};
    if (property && span.used >= sizeof memo.text) return true;
    memo.used = true;
    memo.font = packed;
    memo.base = base;
    memo.switches = switches;
    memo.colourGiven = color != nullptr;
    memo.colour = colour;
    memo.length = property ? static_cast<std::uint16_t>(span.used) : 0;
    std::memcpy(memo.text, text, memo.length);
    return property;
}

// A span's text as a number: spans of the same text have the same (never 0).
std::uint64_t FontSpanHash(const char* text, std::size_t length) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (std::size_t i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(text[i])) * 0x100000001b3u;
    return hash | 1;
}

// The hash of the span the font writer opened last when its closing tag
// lies on top of the stack (text is written inside it); 0 otherwise.
std::uint64_t FontSpanOnTop(const XMLGenContext* context) {
    const CloseTagEntry* top = TopCloseTag(context);
    if (top == nullptr || top->kind != kInlineSpan || context->fontSpanStamp == 0 ||
        top->level != context->fontSpanStamp || context->fontSpanIndex != context->closeTagCount - 1)
        return 0;
    return context->fontSpanHash;
}

// Pushes the closing tag of a span the font writer opens, with a stamp of
// its own as level, so that it is known while it lies on top.
bool PushFontSpan(XMLGenContext* context, std::uint64_t hash) {
    if (!PushInlineCloseTag(context, kInlineSpan)) return false;
    if (++context->fontSpanStamp == 0) context->fontSpanStamp = 1;
    context->closeTags[context->closeTagCount - 1].level = context->fontSpanStamp;
    context->fontSpanIndex = context->closeTagCount - 1;
    context->fontSpanHash = hash;
    return true;
}

// What the span form's change to a font ends, closed into the output: a
// span of another face, colour or size, or one whose colour value,
// underline or strike-through the new font does not have (which would
// otherwise carry over to its text); then the attributes the new font
// lacks, before anything is opened.
void CloseEnded(XMLGenContext* context, const FontId& font, bool colourGiven, const Suppressed& suppressed) {
    const FontId& current = context->currentFont;
    const bool waiCompliant = IsOn(context, sw::kWAICompliant);
    constexpr std::uint8_t kDecoration = kAttrUnderline | kAttrStrike;
    if (InlineKindOpen(context, kInlineSpan) &&
        ((!suppressed.face && font.face != current.face) ||
         (!suppressed.colour && (font.color != current.color || colourGiven || context->currentColourGiven != 0)) ||
         (!suppressed.size && font.size != current.size) ||
         (!suppressed.attributes && (font.attributes & kDecoration) != (current.attributes & kDecoration)))) {
        CloseInlineKind(context, kInlineSpan);
    }
    const std::uint8_t ended = static_cast<std::uint8_t>(current.attributes & ~font.attributes);
    if ((ended & kAttrBold) != 0) {
        CloseInlineKind(context, kInlineBold);
        if (waiCompliant) CloseInlineKind(context, kInlineStrong);
    }
    if ((ended & kAttrItalic) != 0) {
        CloseInlineKind(context, kInlineItalic);
        if (waiCompliant) CloseInlineKind(context, kInlineEmphasis);
    }
    if ((ended & kAttrSuperscript) != 0) CloseInlineKind(context, kInlineSuperscript);
    if ((ended & kAttrSubscript) != 0) CloseInlineKind(context, kInlineSubscript);
    MoveToTextEnd(context);
}

// The CSS form: a span for face, size and colour, elements for bold,
// italic, superscript and subscript. A span of the same text as the one
// open on top (goOnInSpan) is not opened again: text that changes only
// between bold and plain, say, goes on in the span it is in, where each
// change nested another span (hundreds deep in a long paragraph, more than
// XML readers take).
// closedTo receives the stack's depth once the closing is done.
// Out of line: a change mostly comes from its memo.
[[gnu::noinline]] void BuildSpan(XMLGenContext* context, const FontId& font, const ColorValue* color, int forceSize,
                                 int rightToLeft, const Suppressed& suppressed, Markup* markup,
                                 std::uint32_t* closedTo, bool goOnInSpan) {
    const FontId& base = context->baseFont;
    const FontId& current = context->currentFont;

    CloseEnded(context, font, color != nullptr, suppressed);
    *closedTo = CloseTagDepth(context);

    const bool differsFromBase = font.color != base.color || color != nullptr || context->forceFontFace != 0 ||
                                 context->forceFontSize != 0 || forceSize != 0 || context->forceFontColor != 0 ||
                                 font.face != base.face || font.attributes != base.attributes ||
                                 font.size != base.size;
    const bool differsFromCurrent = HasCloseTag(context, "</span>", 1) == 0 || font.color != current.color ||
                                    color != nullptr || font.face != current.face ||
                                    font.attributes != current.attributes || font.size != current.size ||
                                    rightToLeft != 0 || context->forceDirection != 0;
    if (differsFromBase && differsFromCurrent) {
        char text[kFontMarkupSize];
        Markup span(text, sizeof text);
        if (PutSpan(context, font, color, forceSize, rightToLeft, suppressed, &span)) {
            const std::uint64_t hash = FontSpanHash(span.out, span.used);
            if (!goOnInSpan || hash != FontSpanOnTop(context)) {
                markup->PutBytes(span.out, span.used);
                if (PushFontSpan(context, hash)) ++context->fontPushes;
            }
        }
    }

    if (!suppressed.attributes && font.attributes != base.attributes)
        OpenAttributes(context, markup, font.attributes & ~(kAttrUnderline | kAttrStrike));
}

// ---- The memo of whole font changes of the span form ----------------------
// Text mostly changes among a few fonts, and the elements one run opened are
// still open, or already closed, when the next run changes the font: the
// same change from the same open elements comes again and again. Where every
// open inline element lies on top of the stack, the change depends only on
// their kinds, the current font and the span's font state; it is made once
// and then repeated from its memo: the same closing tags popped and written,
// the same markup, the same elements pushed.

constexpr std::uint8_t kMemoDepth = 7;   // inline elements on top a memo describes (four bits each)

// The kinds of the open inline elements when all of them lie on top of the
// stack and there are at most kMemoDepth, innermost in the low bits; false
// otherwise.
bool InlineTop(const XMLGenContext* context, std::uint32_t* kinds, std::uint8_t* count) {
    std::uint32_t total = 0;
    for (std::uint32_t open = OpenInlineKinds(context); open != 0; open &= open - 1)
        total += context->inlineTagCounts[std::countr_zero(open)];
    if (total > kMemoDepth || total > context->closeTagCount) return false;
    std::uint32_t packed = 0;
    for (std::uint32_t i = 0; i < total; ++i) {
        const std::uint8_t kind = context->closeTags[context->closeTagCount - 1 - i].kind;
        if (kind == kInlineNone) return false;
        packed |= static_cast<std::uint32_t>(kind) << (4 * i);
    }
    *kinds = packed;
    *count = static_cast<std::uint8_t>(total);
    return true;
}

FontChangeMemo& MemoSlot(XMLGenContext* context, const FontChangeKey& key) {
    const std::uint64_t hash = key.fonts * 0x9E3779B97F4A7C15u ^ key.stack * 0xC2B2AE3D27D4EB4Fu ^
                               key.span * 0x165667B19E3779F9u ^ key.topSpan * 0x27D4EB2F165667C5u;
    return context->fontChangeMemos[(hash >> 40) % kFontChangeMemos];
}

// Repeats a change from its memo. Where the markup goes straight to the
// output (direct) it is not copied into the scratch markup first: only its
// length is noted there, as nothing reads the scratch text of such a change.
// There the closing tags and the markup are written at once when both fit
// (the elements closed are inline elements on top, as the key says).
void Repeat(XMLGenContext* context, const FontChangeMemo& memo, Markup* markup, bool direct) {
    const char* const text = memo.text + memo.closingLength;
    const std::size_t both = std::size_t{memo.closingLength} + memo.length;
    if (direct && AtTextEnd(context) &&
        both < context->capacity - static_cast<std::size_t>(context->writePosition - context->buffer)) {
        for (std::uint8_t k = 0; k < memo.closed && context->closeTagCount > 0; ++k) DropTopCloseTag(context);
        if (both > 0) AppendOutput(context, memo.text, both);
    } else {
        if (memo.closed != 0) ClosePoppedToOutput(context, memo.closed);
        MoveToTextEnd(context);
        if (direct) {
            if (memo.length > 0) AppendOutput(context, text, memo.length);
        } else {
            markup->PutBytes(text, memo.length);
        }
    }
    for (std::uint8_t k = 0; k < memo.openedCount; ++k) {
        const auto kind = static_cast<InlineKind>((memo.opened >> (4 * k)) & 0xFu);
        const bool pushed =
            kind == kInlineSpan ? PushFontSpan(context, memo.spanHash) : PushInlineCloseTag(context, kind);
        if (pushed) ++context->fontPushes;
    }
    context->forceDirection = memo.forceDirection;
}

// Keeps what a change did in its memo: the elements it closed (all among the
// inline elements on top), the kinds of those it opened, its markup. A
// change whose markup is too long for a memo, or that may have lost a push
// for want of memory (the stack is full), is kept in none.
void Remember(XMLGenContext* context, FontChangeMemo* memo, const FontChangeKey& key, std::uint8_t countBefore,
              std::uint32_t depthBefore, std::uint32_t closedTo, const Markup& markup) {
    const std::uint32_t depth = CloseTagDepth(context);
    const std::uint32_t opened = depth - closedTo;
    if (closedTo + countBefore < depthBefore || opened > kMemoDepth || markup.used >= kFontChangeMarkupSize ||
        depth >= context->closeTagCapacity)
        return;
    *memo = FontChangeMemo{};
    memo->key = key;
    memo->closed = static_cast<std::uint8_t>(depthBefore - closedTo);
    // The closing tags of the elements closed, innermost first: the kinds
    // on top before the change.
    const auto kindsBefore = static_cast<std::uint32_t>(key.stack >> 32);
    std::size_t closing = 0;
    for (std::uint8_t k = 0; k < memo->closed; ++k) {
        const auto kind = static_cast<InlineKind>((kindsBefore >> (4 * k)) & 0xFu);
        std::memcpy(memo->text + closing, InlineCloseTag(kind), InlineCloseTagLength(kind));
        closing += InlineCloseTagLength(kind);
    }
    memo->closingLength = static_cast<std::uint16_t>(closing);
    for (std::uint32_t k = 0; k < opened; ++k) {
        const std::uint8_t kind = context->closeTags[closedTo + k].kind;
        memo->opened |= static_cast<std::uint32_t>(kind) << (4 * k);
        if (kind == kInlineSpan) memo->spanHash = context->fontSpanHash;
    }
    memo->openedCount = static_cast<std::uint8_t>(opened);
    memo->forceDirection = context->forceDirection;
    memo->length = static_cast<std::uint16_t>(markup.used);
    std::memcpy(memo->text + closing, markup.out, markup.used);
    memo->used = true;
}

// A change no memo holds: built, then kept in the memo given. Out of line:
// the changes repeated from memos run without its frame.
[[gnu::noinline]] void BuildAndRemember(XMLGenContext* context, const FontId& font, const ColorValue* color,
                                        int forceSize, int rightToLeft, const Suppressed& suppressed, Markup* markup,
                                        FontChangeMemo* memo, const FontChangeKey& key, std::uint8_t countBefore,
                                        bool direct) {
    std::uint32_t closedTo = 0;
    const std::uint32_t depthBefore = CloseTagDepth(context);
    BuildSpan(context, font, color, forceSize, rightToLeft, suppressed, markup, &closedTo, direct);
    Remember(context, memo, key, countBefore, depthBefore, closedTo, *markup);
}

// The span form, from its memo where one holds the change. True when the
// markup went to the output already (direct, and repeated from a memo);
// its length is then written to *directLength.
bool ChangeSpan(XMLGenContext* context, const FontId& font, const ColorValue* color, int forceSize, int rightToLeft,
                const Suppressed& suppressed, Markup* markup, bool direct, std::size_t* directLength) {
    std::uint32_t openBefore = 0;
    std::uint8_t countBefore = 0;
    if (!InlineTop(context, &openBefore, &countBefore)) {
        std::uint32_t closedTo = 0;
        BuildSpan(context, font, color, forceSize, rightToLeft, suppressed, markup, &closedTo, direct);
        return false;
    }
    FontChangeKey key;
    key.fonts = PackFontId(font) | std::uint64_t{PackFontId(context->currentFont)} << 32;
    key.stack = PackFontId(context->baseFont) | std::uint64_t{openBefore} << 32 | std::uint64_t{countBefore} << 60;
    key.span = SpanSwitches(context, forceSize, rightToLeft) |
               std::uint64_t{context->currentColourGiven != 0 ? 1u : 0u} << 12;
    if (color != nullptr) {
        key.span |= std::uint64_t{1} << 13 | std::uint64_t{color->flags} << 16 | std::uint64_t{color->red} << 32 |
                    std::uint64_t{color->green} << 40 | std::uint64_t{color->blue} << 48;
    }
    // The span the font writer opened last, where it lies among the inline
    // elements on top (or is the top), and how deep: the change may go on
    // in it.
    if (direct) {
        const std::uint32_t index = context->fontSpanIndex;
        const std::uint32_t below = context->closeTagCount - 1 - index;
        if (context->fontSpanStamp != 0 && index < context->closeTagCount &&
            context->closeTags[index].kind == kInlineSpan && context->closeTags[index].level == context->fontSpanStamp &&
            (below == 0 || below < countBefore)) {
            key.topSpan = context->fontSpanHash;
            key.span |= std::uint64_t{below} << 56;
        }
    }
    FontChangeMemo& memo = MemoSlot(context, key);
    if (memo.used && memo.key == key) {
        Repeat(context, memo, markup, direct);
        *directLength = memo.length;
        return direct;
    }
    BuildAndRemember(context, font, color, forceSize, rightToLeft, suppressed, markup, &memo, key, countBefore,
                     direct);
    return false;
}

// The font-element form (out of line: the span form's changes from their
// memos run without its frame).
[[gnu::noinline]] void BuildFontElement(XMLGenContext* context, const FontId& font, const ColorValue* color,
                                        int forceSize, int rightToLeft, const Suppressed& suppressed, Markup* markup) {
    const FontId& base = context->baseFont;
    const int size = HTMLFontSizeFromPoints(context, font.size);
    const bool colourChanged =
        context->forceFontColor != 0 || font.color != base.color || ColourValueGivesColour(color);
    const bool faceChanged = context->forceFontFace != 0 || font.face != base.face;
    const bool sizeChanged = context->forceFontSize != 0 || forceSize != 0 ||
                             size != HTMLFontSizeFromPoints(context, base.size);
    const bool colourStays = suppressed.colour || (!colourChanged && color == nullptr);
    const bool faceStays = suppressed.face || !faceChanged;
    const bool sizeStays = suppressed.size || !sizeChanged;
    if (!(colourStays && faceStays && sizeStays)) {
        const bool baseFont = IsOn(context, sw::kStandardFontTags) && !IsOn(context, sw::kFragment) &&
                              context->baseFontFlag != 0;
        markup->Put(baseFont ? "<basefont" : "<font");
        if (!suppressed.colour && colourChanged) {
            char value[kCSSColorSize];
            if (color != nullptr) {
                std::snprintf(value, sizeof value, "#%02x%02x%02x", color->red, color->green, color->blue);
            } else {
                ColorToCSS(font.color, value, kColorAsName);
            }
            markup->Put(" color='");
            markup->PutAttributeText(value);
            markup->Put("'");
        }
        if (!suppressed.size && sizeChanged) markup->Format(" size='%d'", size);
        if (!suppressed.face && faceChanged) {
            char name[kFaceNameSize];
            FaceName(context, font.face, name);
            if (name[0] != '\0') {
                markup->Put(" face='");
                markup->PutAttributeText(name);
                markup->Put("'");
            }
        }
        if (rightToLeft != 0) {
            markup->Put(" dir='rtl'");
            context->forceDirection = 1;
        } else if (context->forceDirection != 0) {
            markup->Put(" dir='ltr'");
        }
        if (baseFont) {
            markup->Put("/>");
        } else {
            markup->Put(">");
            if (PushInlineCloseTag(context, kInlineFont)) ++context->fontPushes;
        }
    }

    const std::uint8_t itemAttributes = context->item != nullptr ? context->item->defaultFontAttributes : 0;
    if (!suppressed.attributes && font.attributes != itemAttributes) OpenAttributes(context, markup, font.attributes);
}

} // namespace

int HTMLFontSizeFromPoints(const XMLGenContext* context, std::uint8_t points) {
    for (int size = 1; size <= 6; ++size) {
        if (points <= context->fontSizeThresholds[size - 1]) return size;
    }
    return 7;
}

std::string FontStyleDeclarations(XMLGenContext* context, const FontId& font) {
    const Suppressed suppressed = ReadSuppressed(context);
    if (suppressed.All() || IsOn(context, sw::kStandardFontTags) || IsOn(context, sw::kHybridFontTags)) return {};
    char text[kFontMarkupSize];
    Markup span(text, sizeof text);
    if (!ComposeSpan(context, font, nullptr, 0, suppressed, &span)) return {};
    // The span is <span style="{declarations}">: what lies between the
    // braces.
    std::string_view markup(span.out, span.used);
    const std::string_view open = "<span style=\"";
    const std::string_view close = "\">";
    if (markup.size() < open.size() + close.size() || markup.substr(0, open.size()) != open ||
        markup.substr(markup.size() - close.size()) != close)
        return {};
    markup = markup.substr(open.size(), markup.size() - open.size() - close.size());
    const std::string_view openBrace = context->openBrace;
    const std::string_view closeBrace = context->closeBrace;
    if (markup.substr(0, openBrace.size()) == openBrace) markup.remove_prefix(openBrace.size());
    if (markup.size() >= closeBrace.size() && markup.substr(markup.size() - closeBrace.size()) == closeBrace)
        markup.remove_suffix(closeBrace.size());
    return std::string(markup);
}

void CloseForFontChange(XMLGenContext* context, const FontId& font, bool colourGiven) {
    const Suppressed suppressed = ReadSuppressed(context);
    if (suppressed.All() || IsOn(context, sw::kStandardFontTags) || IsOn(context, sw::kHybridFontTags)) return;
    CloseEnded(context, font, colourGiven, suppressed);
}

STATUS WriteXMLFontChange(const FontId* font, const ColorValue* color, XMLGenContext* context, int scratchOnly,
                          int forceSize, int rightToLeft) {
    if (font == nullptr || context == nullptr) return kArgumentError;
    context->fontPushes = 0;
    Markup markup(context->fontMarkup, sizeof context->fontMarkup);
    const Suppressed suppressed = ReadSuppressed(context);
    bool written = false;   // the markup went to the output already
    std::size_t writtenLength = 0;
    if (!suppressed.All()) {
        if (!IsOn(context, sw::kStandardFontTags) && !IsOn(context, sw::kHybridFontTags)) {
            written = ChangeSpan(context, *font, color, forceSize, rightToLeft, suppressed, &markup, scratchOnly == 0,
                                 &writtenLength);
        } else {
            BuildFontElement(context, *font, color, forceSize, rightToLeft, suppressed, &markup);
        }
    }
    context->fontMarkupLength = static_cast<std::uint32_t>(written ? writtenLength : markup.used);
    if (scratchOnly == 0 && !written && markup.used > 0) AppendOutput(context, markup.out, markup.used);
    context->currentFont = *font;
    context->currentColourGiven = color != nullptr ? 1 : 0;
    return kOK;
}

} // namespace talix
