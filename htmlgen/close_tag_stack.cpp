#include "htmlgen/close_tag_stack.h"

#include <cstdlib>
#include <cstring>

namespace talix {

namespace {

constexpr std::uint32_t kFirstCapacity = 32;

bool SameTag(const char* a, const char* b) { return SameCloseTag(a, b); }

// Makes room for one more entry; false when memory is exhausted.
bool Reserve(XMLGenContext* context) {
    if (context->closeTagCount < context->closeTagCapacity) return true;
    const std::uint32_t capacity = context->closeTagCapacity == 0 ? kFirstCapacity : context->closeTagCapacity * 2;
    if (capacity <= context->closeTagCapacity) return false;
    void* grown = std::realloc(context->closeTags, capacity * sizeof(CloseTagEntry));
    if (grown == nullptr) return false;
    context->closeTags = static_cast<CloseTagEntry*>(grown);
    context->closeTagCapacity = capacity;
    return true;
}

} // namespace

bool PushCloseTagLevel(XMLGenContext* context, const char* tag, std::uint16_t level) {
    if (context == nullptr || tag == nullptr || !Reserve(context)) return false;
    const InlineKind kind = InlineKindOf(tag);
    context->closeTags[context->closeTagCount++] =
        CloseTagEntry{tag, level, kind, static_cast<std::uint32_t>(std::strlen(tag))};
    CountInlineEntry(context, kind);
    return true;
}

std::uint16_t FindCloseTag(const XMLGenContext* context, const char* tag, int topOnly) {
    if (context == nullptr || context->closeTagCount == 0) return 0;
    if (topOnly != 0) {
        const CloseTagEntry& top = context->closeTags[context->closeTagCount - 1];
        return SameTag(top.tag, tag) ? top.level : 0;
    }
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        const CloseTagEntry& entry = context->closeTags[i];
        if (entry.level != 0 && SameTag(entry.tag, tag)) return entry.level;
    }
    return 0;
}

int HasCloseTagBefore(const XMLGenContext* context, const char* tag, const char* barrier1, const char* barrier2,
                      const char* barrier3) {
    if (context == nullptr) return 0;
    // An inline element of a kind with no entry is not open anywhere: the
    // stack (deep under nested sections or tables) is not walked for it.
    const InlineKind kind = InlineKindOf(tag);
    if (kind != kInlineNone && !InlineKindOpen(context, kind)) return 0;
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        const char* entry = context->closeTags[i].tag;
        if (SameTag(entry, tag)) return 1;
        if (SameTag(entry, barrier1) || SameTag(entry, barrier2) || SameTag(entry, barrier3)) return 0;
    }
    return 0;
}

bool PopCloseTags(XMLGenContext* context, std::uint32_t depth, char* buffer, std::size_t capacity) {
    if (context == nullptr) return true;
    bool whole = true;
    std::size_t used = buffer != nullptr && capacity > 0 ? strnlen(buffer, capacity - 1) : 0;
    while (context->closeTagCount > depth) {
        const CloseTagEntry& entry = context->closeTags[--context->closeTagCount];
        UncountInlineEntry(context, entry.kind);
        const char* tag = entry.tag;
        if (buffer == nullptr || capacity == 0) continue;
        const std::size_t length = std::strlen(tag);
        if (length >= capacity - used) {
            whole = false;
            continue;
        }
        std::memcpy(buffer + used, tag, length);
        used += length;
        buffer[used] = '\0';
    }
    return whole;
}

void ReleaseCloseTags(XMLGenContext* context) {
    if (context == nullptr) return;
    std::free(context->closeTags);
    context->closeTags = nullptr;
    context->closeTagCount = 0;
    context->closeTagCapacity = 0;
    for (std::uint32_t& count : context->inlineTagCounts) count = 0;
    context->inlineTagsOpen = 0;
}

} // namespace talix
