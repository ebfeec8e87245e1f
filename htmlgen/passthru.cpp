#include "htmlgen/passthru.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "htmlgen/close_open_tags.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/passthru_xhtml.h"
#include "htmlgen/walk_output.h"
#include "htmlgen/walk_records.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kLongestMarker = 55;
constexpr const char* kDefaultStart = "<!--DelimitedStart-->";
constexpr const char* kDefaultEnd = "<!--DelimitedEnd-->";
constexpr std::uint32_t kDelimiterRecordLength = kTextRunHeader + 2;

// Where a stretch's text goes: into the output as it stands, or, for XHTML,
// gathered to be parsed and written back whole.
struct PassthruSink {
    XMLGenContext* context;
    std::string* gathered;   // null: into the output
};

// Appends bytes of pass-through text. With OutputToEvent a buffer without
// room is handed on first; text that still does not fit sets the overflow
// mark. Under quoted-printable the buffer is encoded in place before it is
// handed on, and every byte may take three: the room counted is that of
// the encoded text.
bool AppendPassthru(const PassthruSink& sink, const char* text, std::size_t length) {
    if (sink.gathered != nullptr) {
        sink.gathered->append(text, length);
        return true;
    }
    XMLGenContext* context = sink.context;
    const std::size_t used = TextLength(context);
    const std::size_t expansion = IsOn(context, sw::kQuotedPrintable) ? 3 : 1;
    if (EventOutputOn(context) && (used + length) * expansion >= context->capacity) {
        if (CutLineBuffer(context) != kOK) return false;
    }
    return AppendOutput(context, text, length);
}

// One text record's text: characters as their bytes, a zero byte as a line
// end, in pieces between zero bytes.
bool CopyText(const PassthruSink& sink, const char* text, std::size_t length) {
    std::size_t from = 0, i = 0;
    const std::uint32_t capacity = sink.context->capacity;
    const std::size_t piece = capacity / 4 > 0 ? capacity / 4 : 1;
    while (i < length) {
        const auto b = static_cast<std::uint8_t>(text[i]);
        if (b == 0) {
            if ((i > from && !AppendPassthru(sink, text + from, i - from)) || !AppendPassthru(sink, "\r\n", 2))
                return false;
            from = ++i;
            continue;
        }
        std::size_t n = 1;
        if (b < 0x20 || b >= 0x80) {
            n = plat::LmbcsCharLength(reinterpret_cast<const plat::BYTE*>(text + i),
                                      static_cast<plat::DWORD>(length - i));
            if (n == 0) n = 1;
            if (n > length - i) n = length - i;
        }
        // Long text goes out in pieces that end on whole characters.
        if (i + n - from > piece) {
            if (!AppendPassthru(sink, text + from, i - from)) return false;
            from = i;
        }
        i += n;
    }
    return i <= from || AppendPassthru(sink, text + from, i - from);
}

// ---- Marking ---------------------------------------------------------------

// A new HTML-begin or HTML-end record: its header and four zero bytes.
CDRecordNode* NewBracket(std::uint16_t signature) {
    std::uint8_t bytes[kPassThroughRecordLength] = {};
    WriteWord(bytes, signature);
    WriteWord(bytes + 2, kPassThroughRecordLength);
    return NewRecordNode(bytes, signature, kPassThroughRecordLength);
}

// The marker a generation writes: the option's text, or the default when
// there is none or it is longer than the marker's place.
const char* Marker(const char* given, const char* fallback) {
    return given != nullptr && given[0] != '\0' && std::strlen(given) <= kLongestMarker ? given : fallback;
}

bool IsDelimiter(const CDRecordNode* node, const char* text) {
    return node->signature == kSigText && node->bytes != nullptr && node->length == kDelimiterRecordLength &&
           std::memcmp(node->bytes + kTextRunHeader, text, 2) == 0;
}

} // namespace

// A replaced text record as it was, and the records linked in.
struct DelimitedMarks {
    struct Replaced {
        CDRecordNode* node = nullptr;
        std::uint8_t* bytes = nullptr;
        std::uint32_t length = 0;
        std::uint16_t flags = 0;
    };
    std::vector<Replaced> replaced;
    std::vector<CDRecordNode*> added;
};

namespace {

// Gives a delimiter record the new text after its header (font id kept),
// remembering the old bytes. False when out of memory (nothing changed).
bool ReplaceText(CDRecordNode* node, const std::string& text, DelimitedMarks* marks) {
    const std::uint32_t length = kTextRunHeader + static_cast<std::uint32_t>(text.size());
    if (length > 0xFFFF) return false;
    auto* bytes = static_cast<std::uint8_t*>(std::malloc(length + 1));
    if (bytes == nullptr) return false;
    try {
        marks->replaced.push_back({node, node->bytes, node->length, node->flags});
    } catch (const std::bad_alloc&) {
        std::free(bytes);
        return false;
    }
    std::memcpy(bytes, node->bytes, kTextRunHeader);
    WriteWord(bytes + 2, static_cast<std::uint16_t>(length));
    std::memcpy(bytes + kTextRunHeader, text.data(), text.size());
    bytes[length] = 0;
    node->bytes = bytes;
    node->length = length;
    node->flags |= kNodeOwnsBytes;
    if (RecordExtra(node) != nullptr && (node->flags & kNodeOwnsExtraText) == 0) {
        auto* extra = static_cast<TextExtra*>(RecordExtra(node));
        extra->text = reinterpret_cast<const char*>(bytes + kTextRunHeader);
        extra->length = static_cast<std::uint16_t>(text.size());
    }
    return true;
}

bool Remember(DelimitedMarks* marks, CDRecordNode* node) {
    try {
        marks->added.push_back(node);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// A delimiter record's change: its new text and a new HTML bracket record
// linked in before or after it, both or neither.
bool MarkDelimiter(ItemRecordList* list, CDRecordNode* node, const std::string& text, std::uint16_t signature,
                   bool before, DelimitedMarks* marks) {
    CDRecordNode* bracket = NewBracket(signature);
    if (bracket == nullptr) return false;
    if (!Remember(marks, bracket)) {
        FreeRecordNode(bracket);
        return false;
    }
    if (!ReplaceText(node, text, marks)) {
        marks->added.pop_back();
        FreeRecordNode(bracket);
        return false;
    }
    // The bracket shares the delimiter's record number: the operation
    // engine hands a generation no record numbered 0 at a range's start.
    bracket->index = node->index;
    LinkRecordNode(list, before ? node->prev : node, bracket);
    return true;
}

// Closes a stretch at the end of the list.
void CloseAtEnd(ItemRecordList* list, DelimitedMarks* marks) {
    CDRecordNode* bracket = NewBracket(kSigHtmlEnd);
    if (bracket == nullptr) return;
    if (!Remember(marks, bracket)) {
        FreeRecordNode(bracket);
        return;
    }
    bracket->index = list->tail->index;
    LinkRecordNode(list, list->tail, bracket);
}

} // namespace

STATUS WriteXMLPassthru(XMLGenContext* context, int unused) {
    (void)unused;
    if (context == nullptr || context->buffer == nullptr || context->node == nullptr) return kArgumentError;
    MoveToTextEnd(context);
    // The author's markup goes where it was typed, inside the span, font or
    // bold element of the text before it. XHTML keeps the document
    // well-formed: the stretch is gathered, parsed and written back as
    // XHTML, then handed on like the stretch itself.
    std::string gathered;
    const PassthruSink sink{context, context->format == kFormatXHTML ? &gathered : nullptr};
    CDRecordNode* node = context->node->next;
    STATUS status = kOK;
    try {
        for (; InRange(context, node) && node->signature != kSigHtmlEnd; node = node->next) {
            context->node = node;
            if (node->signature == kSigParagraph) {
                if (context->newlineOnParagraph != 0 && !AppendPassthru(sink, "\r\n", 2)) break;
            } else if (IsTextRun(node->signature) && RunHasText(node)) {
                if (!CopyText(sink, reinterpret_cast<const char*>(node->bytes) + kTextRunHeader,
                              node->length - kTextRunHeader))
                    break;
                if (sink.gathered == nullptr && EventOutputOn(context) &&
                    TextSinceFlush(context) + 7 > EventChunkLimit(context)) {
                    status = CutLineBuffer(context);
                    if (status != kOK) break;
                }
            }
        }
        context->node = node;
        if (sink.gathered != nullptr) {
            std::string xhtml;
            bool holdsBlock = false;
            PassthruAsXhtml(context, gathered, &xhtml, &holdsBlock);
            // A block may not stand inside an inline element: those open end
            // before it (the text after opens its own again).
            if (holdsBlock) CloseInlineElements(context);
            if (CopyText(PassthruSink{context, nullptr}, xhtml.data(), xhtml.size()) && EventOutputOn(context) &&
                TextSinceFlush(context) + 7 > EventChunkLimit(context))
                status = CutLineBuffer(context);
        }
    } catch (const std::bad_alloc&) {
        context->node = node;
        context->overflow = 1;
        status = kOutOfMemory;
    }
    MoveToTextEnd(context);
    return status;
}

STATUS MarkDelimitedHTML(RARIvoSession* session, ItemRecordList* list, const char* startMarker,
                         const char* endMarker, DelimitedMarks** marks) {
    (void)session;
    if (marks != nullptr) *marks = nullptr;
    if (list == nullptr) return kOK;
    auto* changes = new (std::nothrow) DelimitedMarks();
    if (changes == nullptr) return kOK;
    const std::string start = std::string(Marker(startMarker, kDefaultStart)) + "<";
    const std::string end = ">" + std::string(Marker(endMarker, kDefaultEnd));

    bool inside = false;
    bool stopped = false;
    for (CDRecordNode* node = list->head; node != nullptr && !stopped; node = node->next) {
        if (node->signature == kSigHtmlBegin) {
            inside = true;
        } else if (node->signature == kSigHtmlEnd) {
            inside = false;
        } else if (!inside && IsDelimiter(node, "[<")) {
            stopped = !MarkDelimiter(list, node, start, kSigHtmlBegin, true, changes);
            inside = !stopped;
        } else if (inside && IsDelimiter(node, ">]")) {
            // The HTML-end record linked in after it ends the stretch when the
            // loop meets it.
            stopped = !MarkDelimiter(list, node, end, kSigHtmlEnd, false, changes);
        }
    }
    // A stretch still open at the end of the list is closed there.
    if (inside && list->tail != nullptr) CloseAtEnd(list, changes);

    if (changes->replaced.empty() && changes->added.empty()) {
        delete changes;
    } else if (marks != nullptr) {
        *marks = changes;
    } else {
        // No one will put the list back: the changes stay.
        DropDelimitedMarks(changes);
    }
    return kOK;
}

void DropDelimitedMarks(DelimitedMarks* marks) {
    if (marks == nullptr) return;
    for (const DelimitedMarks::Replaced& old : marks->replaced) {
        if ((old.flags & kNodeOwnsBytes) != 0) std::free(old.bytes);
    }
    delete marks;
}

void UnmarkDelimitedHTML(ItemRecordList* list, DelimitedMarks* marks) {
    if (marks == nullptr) return;
    for (auto it = marks->replaced.rbegin(); it != marks->replaced.rend(); ++it) {
        CDRecordNode* node = it->node;
        std::free(node->bytes);
        node->bytes = it->bytes;
        node->length = it->length;
        node->flags = it->flags;
        if (RecordExtra(node) != nullptr && (node->flags & kNodeOwnsExtraText) == 0) {
            auto* extra = static_cast<TextExtra*>(RecordExtra(node));
            extra->text = reinterpret_cast<const char*>(node->bytes + kTextRunHeader);
            extra->length = static_cast<std::uint16_t>(node->length - kTextRunHeader);
        }
    }
    for (CDRecordNode* node : marks->added) {
        UnlinkRecordNode(list, node);
        FreeRecordNode(node);
    }
    delete marks;
}

} // namespace talix
