#include "htmlgen/close_open_tags.h"

#include <cstring>
#include <initializer_list>
#include <iterator>

#include "core/text_compare.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/line_buffer.h"

namespace talix {

namespace {

// Closing tags after which a line feed keeps output readable.
constexpr const char* kBlockTags[] = {"</table>", "</tr>", "</body>", "</ul>", "</ol>", "</div>", "</p>"};

bool Same(const char* a, const char* b) { return SameCloseTag(a, b); }

// Whether the tag is one of the tags given, in any case. The tags given are
// lower-case, as are the tags this generator writes: they are compared byte
// for byte first, which answers what every paragraph asks; only a tag with
// capitals is compared again without regard to case.
bool OneOf(const char* tag, const char* const* tags, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (SameCloseTag(tag, tags[i])) return true;
    }
    bool capitals = false;
    for (const char* at = tag; at != nullptr && *at != '\0' && !capitals; ++at) capitals = *at >= 'A' && *at <= 'Z';
    for (std::size_t i = 0; capitals && i < count; ++i) {
        if (EqualNoCase(tag, tags[i])) return true;
    }
    return false;
}

bool OneOf(const char* tag, std::initializer_list<const char*> tags) { return OneOf(tag, tags.begin(), tags.size()); }

bool AnyOpen(const XMLGenContext* context, std::initializer_list<const char*> tags) {
    for (std::uint32_t i = 0; i < context->closeTagCount; ++i) {
        if (OneOf(context->closeTags[i].tag, tags)) return true;
    }
    return false;
}

// The cell check: the tag closes only inside the container it belongs in.
bool CellCheckPasses(const XMLGenContext* context, const char* tag) {
    if (OneOf(tag, {"</td>", "</th>"})) return AnyOpen(context, {"</tr>", "</table>"});
    if (OneOf(tag, {"</tr>"})) return AnyOpen(context, {"</table>"});
    if (OneOf(tag, {"</li>", "</div>", "</p>"})) return AnyOpen(context, {"</td>", "</th>", "</tr>", "</table>"});
    return true;
}

// The list check: the tag is open inside the current cell (or outside every
// cell).
bool ListCheckPasses(const XMLGenContext* context, const char* tag) {
    // The tag on top, as it mostly is when a paragraph closes, passes.
    if (context->closeTagCount > 0 && Same(context->closeTags[context->closeTagCount - 1].tag, tag)) return true;
    if (!OneOf(tag, {"</li>", "</ul>", "</ol>", "</div>", "</p>"})) return true;
    for (std::uint32_t i = context->closeTagCount; i-- > 0;) {
        const char* entry = context->closeTags[i].tag;
        if (Same(entry, tag)) return true;
        if (OneOf(entry, {"</td>", "</th>", "</tr>", "</table>"})) return false;
    }
    return true;
}

// Whether the tag is one of kBlockTags, in any case (as OneOf would say):
// its third and fourth letters leave one block tag it can be, and only that
// one is compared. The block tags are lower-case, so folding the tag alone
// compares without regard to case.
bool IsBlockTag(const char* tag) {
    if (tag == nullptr || tag[0] != '<' || tag[1] != '/') return false;
    const char* candidate = nullptr;
    switch (LowerAscii(tag[2])) {
    case 't': candidate = LowerAscii(tag[3]) == 'r' ? kBlockTags[1] : kBlockTags[0]; break;
    case 'b': candidate = kBlockTags[2]; break;
    case 'u': candidate = kBlockTags[3]; break;
    case 'o': candidate = kBlockTags[4]; break;
    case 'd': candidate = kBlockTags[5]; break;
    case 'p': candidate = kBlockTags[6]; break;
    default: return false;
    }
    const char* at = tag;
    while (*candidate != '\0' && LowerAscii(*at) == *candidate) {
        ++at;
        ++candidate;
    }
    return *at == '\0' && *candidate == '\0';
}

// Whether a line feed follows block closing tags written to the output.
bool LineFeeds(const XMLGenContext* context) {
    return context->newlines != NewlineMode::None && !IsOn(context, sw::kQuotedPrintable);
}

// Pops the top entry and writes its closing tag to the output, with a line
// feed after a block's when the caller allows them and the output mode asks
// for them (asked only for a block); returns the entry. The stack is not
// empty (every caller asks first).
[[gnu::always_inline]] inline CloseTagEntry PopToOutput(XMLGenContext* context, bool lineFeeds) {
    const CloseTagEntry entry = context->closeTags[--context->closeTagCount];
    UncountInlineEntry(context, entry.kind);
    AppendOutput(context, entry.tag, entry.length);
    if (entry.kind == kInlineNone && lineFeeds && LineFeeds(context) && IsBlockTag(entry.tag))
        AppendOutput(context, "\n", 1);
    return entry;
}

void AppendTo(char* buffer, std::size_t capacity, const char* tag) {
    if (buffer == nullptr || capacity == 0) return;
    const std::size_t used = strnlen(buffer, capacity - 1);
    const std::size_t length = std::strlen(tag);
    if (length >= capacity - used) return;
    std::memcpy(buffer + used, tag, length + 1);
}

// CloseOpenXMLTags past its first checks: the stack holds entries.
[[gnu::noinline]] int CloseOpenTagsChecked(XMLGenContext* context, const char* tag, int write, int mustBeOpen,
                                           char* buffer, std::size_t capacity, int cellCheck, int listCheck) {
    if (mustBeOpen != 0 && HasCloseTag(context, tag, 0) == 0) return 0;
    if (cellCheck != 0 && !CellCheckPasses(context, tag)) return 0;
    if (listCheck != 0 && !ListCheckPasses(context, tag)) return 0;

    while (context->closeTagCount > 0) {
        const char* popped = TopCloseTag(context)->tag;
        if (write != 0 && buffer == nullptr) {
            PopToOutput(context, true);
        } else {
            DropTopCloseTag(context);
            if (write != 0) AppendTo(buffer, capacity, popped);
        }
        if (Same(popped, tag)) break;
    }
    return 1;
}

} // namespace

int CloseOpenXMLTags(XMLGenContext* context, const char* tag, int write, int mustBeOpen, char* buffer,
                     std::size_t capacity, int cellCheck, int listCheck) {
    if (context == nullptr || tag == nullptr || context->closeTagCount == 0) return 0;
    // The tag on top, as a paragraph's element mostly is when the next one
    // starts: it is open, passes the list check and alone closes.
    if (cellCheck == 0 && write != 0 && buffer == nullptr && Same(TopCloseTag(context)->tag, tag)) {
        PopToOutput(context, true);
        return 1;
    }
    return CloseOpenTagsChecked(context, tag, write, mustBeOpen, buffer, capacity, cellCheck, listCheck);
}

int CloseInlineKindBelow(XMLGenContext* context, InlineKind kind) {
    if (context == nullptr || !InlineKindOpen(context, kind)) return 0;
    while (context->closeTagCount > 0 && PopToOutput(context, true).kind != kind) {
    }
    return 1;
}

void CloseTopToOutput(XMLGenContext* context) { PopToOutput(context, true); }

void ClosePoppedToOutput(XMLGenContext* context, std::uint32_t count) {
    for (std::uint32_t k = 0; k < count && context->closeTagCount > 0; ++k) PopToOutput(context, true);
}

int CloseOpenXMLTagsToOutput(XMLGenContext* context, const char* tag, int write, int mustBeOpen, int cellCheck,
                             int listCheck) {
    return CloseOpenXMLTags(context, tag, write, mustBeOpen, nullptr, 0, cellCheck, listCheck);
}

int CloseForBlock(XMLGenContext* context) {
    int closed = CloseInlineElements(context);
    if (HasCloseTag(context, "</p>", 1) != 0) closed |= CloseOpenXMLTagsToOutput(context, "</p>", 1, 1, 0, 0);
    return closed;
}

int CloseInlineElements(XMLGenContext* context) {
    int closed = 0;
    if (OpenInlineKinds(context) == 0) return 0;
    for (const CloseTagEntry* top = TopCloseTag(context); top != nullptr && top->kind != kInlineNone;
         top = TopCloseTag(context)) {
        const CloseTagEntry entry = *top;
        DropTopCloseTag(context);
        AppendOutput(context, entry.tag, InlineCloseTagLength(static_cast<InlineKind>(entry.kind)));
        closed = 1;
    }
    return closed;
}

} // namespace talix
