// The close-tag stack of a generation: for every element the generator has
// opened and not yet closed, the text of its closing tag (and a nesting
// level some writers store with it), innermost on top. Writers ask whether
// an element of a kind is open, open inside the current container, or at
// which level; the closing of open elements (htmlgen/close_open_tags.h) pops
// it. Tag texts are compared whole and case-sensitively; they are not
// copied: a pushed text must live as long as the generation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "htmlgen/xml_gen_context.h"

namespace talix {

// The levels stored with "</div>": a section body's division carries the
// hotspot level it began at (below kTabbedRowLevels), the division around a
// row of a tabbed table kTabbedRowLevels plus the table's depth, so that
// neither is taken for the other.
constexpr std::uint16_t kTabbedRowLevels = 0x8000;
inline bool IsSectionLevel(std::uint16_t level) { return level != 0 && level < kTabbedRowLevels; }
inline bool IsTabbedRowLevel(std::uint16_t level) { return level >= kTabbedRowLevels; }

// One open element.
struct CloseTagEntry {
    const char* tag = nullptr;
    std::uint16_t level = 0;   // 0: no level
    std::uint8_t kind = 0;     // its InlineKind
    std::uint32_t length = 0;  // the tag's length, known when pushed
};

// Whether two closing tags are the same text (false for a null one).
// Closing tags are short and mostly differ early: compared in place.
inline bool SameCloseTag(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    if (a == b) return true;
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The inline elements the font and text writers open: a span, font, bold,
// strong, italic, emphasis, underline, strike-through, superscript or
// subscript element. The stack counts its entries of each kind, so that
// whether one is open is answered without looking at the entries.
enum InlineKind : std::uint8_t {
    kInlineNone = 0,
    kInlineSpan,
    kInlineFont,
    kInlineBold,
    kInlineStrong,
    kInlineItalic,
    kInlineEmphasis,
    kInlineUnderline,
    kInlineStrike,
    kInlineSuperscript,
    kInlineSubscript,
    kInlineKinds
};
static_assert(kInlineKinds <= sizeof XMLGenContext::inlineTagCounts / sizeof(std::uint32_t));

// The closing tag of each kind (null for kInlineNone), and its length.
inline constexpr const char* kInlineCloseTags[kInlineKinds] = {
    nullptr, "</span>", "</font>", "</b>", "</strong>", "</i>", "</em>", "</u>", "</s>", "</sup>", "</sub>"};
inline constexpr std::array<std::uint8_t, kInlineKinds> kInlineCloseTagLengths = [] {
    std::array<std::uint8_t, kInlineKinds> lengths{};
    for (std::size_t k = 1; k < kInlineKinds; ++k) {
        while (kInlineCloseTags[k][lengths[k]] != '\0') ++lengths[k];
    }
    return lengths;
}();
inline const char* InlineCloseTag(InlineKind kind) { return kind < kInlineKinds ? kInlineCloseTags[kind] : nullptr; }
inline std::size_t InlineCloseTagLength(InlineKind kind) {
    return kind < kInlineKinds ? kInlineCloseTagLengths[kind] : 0;
}

// The kind of inline element a closing tag ends (compared whole and
// case-sensitively), or kInlineNone: the third letter tells most tags apart
// at once.
inline InlineKind InlineKindOf(const char* tag) {
    if (tag == nullptr || tag[0] != '<' || tag[1] != '/') return kInlineNone;
    InlineKind kind = kInlineNone;
    switch (tag[2]) {
    case 's':
        switch (tag[3]) {
        case 'p': kind = kInlineSpan; break;
        case 't': kind = kInlineStrong; break;
        case '>': kind = kInlineStrike; break;
        case 'u': kind = tag[4] == 'p' ? kInlineSuperscript : kInlineSubscript; break;
        default: return kInlineNone;
        }
        break;
    case 'f': kind = kInlineFont; break;
    case 'b': kind = kInlineBold; break;
    case 'i': kind = kInlineItalic; break;
    case 'e': kind = kInlineEmphasis; break;
    case 'u': kind = kInlineUnderline; break;
    default: return kInlineNone;
    }
    return SameCloseTag(tag, InlineCloseTag(kind)) ? kind : kInlineNone;
}

// The bit of a kind in OpenInlineKinds.
constexpr std::uint32_t InlineKindBit(InlineKind kind) { return kind == kInlineNone ? 0u : 1u << kind; }

// The kinds of inline element with an entry on the stack, one bit each;
// and whether one kind has.
inline std::uint32_t OpenInlineKinds(const XMLGenContext* context) { return context->inlineTagsOpen; }
inline bool InlineKindOpen(const XMLGenContext* context, InlineKind kind) {
    return (context->inlineTagsOpen & InlineKindBit(kind)) != 0;
}

// Counts an entry of a kind in or out.
inline void CountInlineEntry(XMLGenContext* context, std::uint8_t kind) {
    if (kind != kInlineNone && context->inlineTagCounts[kind]++ == 0) context->inlineTagsOpen |= 1u << kind;
}
inline void UncountInlineEntry(XMLGenContext* context, std::uint8_t kind) {
    if (kind != kInlineNone && --context->inlineTagCounts[kind] == 0) context->inlineTagsOpen &= ~(1u << kind);
}

// Records an open element (level 0) on top of the stack. False when
// memory is exhausted: the stack is unchanged and the element's closing
// tag simply goes unrecorded.
bool PushCloseTagLevel(XMLGenContext* context, const char* tag, std::uint16_t level);
// The push when the stack has room, as it mostly has, is made in place;
// a writer that knows the kind of its element says it.
inline bool PushCloseTagOfKind(XMLGenContext* context, const char* tag, InlineKind kind) {
    if (context != nullptr && tag != nullptr && context->closeTagCount < context->closeTagCapacity) {
        context->closeTags[context->closeTagCount++] =
            CloseTagEntry{tag, 0, kind,
                          static_cast<std::uint32_t>(kind != kInlineNone && kind < kInlineKinds
                                                         ? kInlineCloseTagLengths[kind]
                                                         : std::strlen(tag))};
        CountInlineEntry(context, kind);
        return true;
    }
    return PushCloseTagLevel(context, tag, 0);
}
inline bool PushCloseTag(XMLGenContext* context, const char* tag) {
    return PushCloseTagOfKind(context, tag, InlineKindOf(tag));
}
inline bool PushInlineCloseTag(XMLGenContext* context, InlineKind kind) {
    return PushCloseTagOfKind(context, InlineCloseTag(kind), kind);
}

// 1 when the top entry's tag (topOnly) or any entry's tag equals tag.
// Asked for every run and tag: answered in place (InlineKindOpen answers
// for an inline element's kind without a look at the entries).
inline int HasCloseTag(const XMLGenContext* context, const char* tag, int topOnly) {
    if (context == nullptr || context->closeTagCount == 0) return 0;
    if (topOnly != 0) return SameCloseTag(context->closeTags[context->closeTagCount - 1].tag, tag) ? 1 : 0;
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        if (SameCloseTag(context->closeTags[i].tag, tag)) return 1;
    }
    return 0;
}

// The level stored with the tag: topOnly, the top entry's level when its
// tag equals tag; else the level of the innermost entry of that tag that
// carries one. 0 when none.
std::uint16_t FindCloseTag(const XMLGenContext* context, const char* tag, int topOnly);

// 1 when an entry of tag lies above every entry of the (up to three, each
// may be null) barrier tags, that is, the element is open inside the
// innermost of the containers the barriers close.
int HasCloseTagBefore(const XMLGenContext* context, const char* tag, const char* barrier1,
                                const char* barrier2 = nullptr, const char* barrier3 = nullptr);

// The number of open elements: a position to pop back to.
inline std::uint32_t CloseTagDepth(const XMLGenContext* context) { return context->closeTagCount; }

// Pops every entry above the given depth (a depth not below the current one
// pops nothing), appending each tag, innermost first, to the zero-terminated
// text in buffer (capacity bytes with the terminator; null: the tags are
// dropped). A tag that does not fit is dropped whole. Returns false when
// one was dropped for want of room.
bool PopCloseTags(XMLGenContext* context, std::uint32_t depth, char* buffer, std::size_t capacity);

// The top entry, or null on an empty stack; and its removal.
inline const CloseTagEntry* TopCloseTag(const XMLGenContext* context) {
    return context != nullptr && context->closeTagCount > 0 ? &context->closeTags[context->closeTagCount - 1]
                                                              : nullptr;
}
inline void DropTopCloseTag(XMLGenContext* context) {
    if (context != nullptr && context->closeTagCount > 0)
        UncountInlineEntry(context, context->closeTags[--context->closeTagCount].kind);
}

// Releases the stack's storage (at the end of a run).
void ReleaseCloseTags(XMLGenContext* context);

} // namespace talix
