// PrXMLStr, the generation's record walk: called by the operation engine at
// the end of each range of the chunk (and once more to finish a generation
// in several ranges). It writes plain text itself; for HTML and XHTML it
// closes the head and opens the body before the first range. The body's
// records are rendered by the writers of each kind of content.
#include <cstdint>
#include <cstring>
#include <string>

#include "core/options.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/record_walk.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kTextRunHeader = 8;     // header and font id before a text run's text
constexpr std::uint32_t kEventMargin = 40;      // room the walk keeps below the event chunk size
constexpr const char* kTableEnd = "</table>";

void Trace(const char* line) {
    if (g_debugLevel > 2) plat::LogLine(0, "%s", line);
}

void ReadDebugLevel() {
    const plat::LONG level = plat::IniGetInt("ZelundaDebug");
    g_debugLevel = static_cast<std::uint16_t>(level < 0 ? 0 : (level > 0xFFFF ? 0xFFFF : level));
}

// Completes an automatic link whose URL the text writer left open: the
// URL closes the start tag, stands again as the link's text, and the link
// ends.
void CompletePendingLink(XMLGenContext* context) {
    if (context->pendingLink == nullptr) return;
    MoveToTextEnd(context);
    const std::size_t length = static_cast<std::size_t>(context->writePosition - context->pendingLink);
    const std::size_t urlLength = strnlen(context->pendingLink, length);
    std::string url(context->pendingLink, urlLength);
    const std::size_t end = url.find('"');
    if (end != std::string::npos) url.resize(end);
    context->pendingLink = nullptr;
    AppendOutput(context, "\">", 2);
    AppendOutput(context, url.data(), url.size());
    AppendOutput(context, "</a>", 4);
}

// Hands the text on once it nears the event chunk size (since the last
// flush that kept text in memory).
STATUS FlushNearChunkSize(XMLGenContext* context) {
    if (!EventOutputOn(context)) return kOK;
    const std::uint32_t length = TextLength(context);
    const std::uint32_t limit = context->eventChunkSize > kEventMargin ? context->eventChunkSize - kEventMargin : 0;
    if (length <= context->flushMark || length - context->flushMark <= limit) return kOK;
    CompletePendingLink(context);
    return FlushOutput(context, 0);
}

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
    const std::uint16_t last = context->endNode != nullptr ? context->endNode->index : 0;
    STATUS status = kOK;
    for (CDRecordNode* node = context->node; node != nullptr && node->index <= last; node = node->next) {
        context->node = node;
        if ((node->signature == kSigText || node->signature == kSigBidiText) && node->length > kTextRunHeader) {
            status = WritePlainRun(context, node);
        } else if (node->signature == kSigParagraph && context->newlineOnParagraph != 0) {
            status = AppendPlain(context, "\r\n", 2);
        } else {
            continue;
        }
        if (status == kOK) status = FlushNearChunkSize(context);
        if (status != kOK) return status;
    }
    return FlushOutput(context, 1);
}

// Appends what closes a table the previous range left open, and the
// trailer text.
void CloseOpenTable(XMLGenContext* context) {
    if (context->tableOpen != 0) {
        if (context->rowOpen != 0) AppendOutput(context, "</tr>");
        AppendOutput(context, kTableEnd);
        context->tableOpen = 0;
        context->rowOpen = 0;
    }
}

// A range that continues a table the previous range left open: the
// "</table>" that ended that range is cut again.
void ReopenTable(XMLGenContext* context) {
    const std::uint32_t length = TextLength(context);
    const std::size_t endLength = std::strlen(kTableEnd);
    if (length > endLength && std::strncmp(context->buffer + length - endLength, kTableEnd, endLength) == 0) {
        std::memset(context->buffer + length - endLength, 0, endLength);
        context->writePosition = context->buffer + length - endLength;
        context->measuredLength = 0;
    }
}

} // namespace

void OpenBody(XMLGenContext* context) {
    if (context == nullptr || context->bodyOpened != 0 || context->format == kFormatText) return;
    context->bodyOpened = 1;
    const bool fragment = IsOn(context, sw::kFragment);
    if (!fragment) {
        // HeadTag= markup without a head start tag leaves no head to close.
        bool headOpen = true;
        if (context->optionText != nullptr) {
            std::string headTag(std::strlen(context->optionText) + 1, '\0');
            if (GetOptionValue(context->optionText, "HeadTag=", headTag.data(),
                               static_cast<std::uint32_t>(headTag.size())) != 0) {
                headOpen = FindNoCase(headTag.c_str(), "<head>") != nullptr;
            }
        }
        if (headOpen) AppendOutput(context, "</head>");
        if (context->newlines != NewlineMode::None && !IsOn(context, sw::kQuotedPrintable))
            AppendOutput(context, "\n", 1);
    }
    if (!AppendOptionValue(context, "OpeningBody=") && !fragment) AppendOutput(context, "<body>");
}

STATUS PrXMLStr(XMLGenContext* context, std::uint32_t kind, std::uint32_t depth, std::uint16_t mode) {
    (void)kind;
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    ReadDebugLevel();
    Trace("PrXMLStr - IN");
    MoveToTextEnd(context);
    if (depth == 0 && context->tableOpen != 0) ReopenTable(context);

    STATUS status = kOK;
    if (mode == 2) {
        Trace("PrXMLStr - Step 2");
        if (context->tableOpen != 0) {
            CloseOpenTable(context);
            if (context->trailer != nullptr) AppendOutput(context, context->trailer);
        }
        status = FlushOutput(context, 1);
    } else if (context->format == kFormatText) {
        status = WritePlainText(context);
    } else if (depth == 0) {
        OpenBody(context);
        // The end of an outermost call: in mode 0 the open table and the
        // trailer close, and the text goes out for the last time.
        MoveToTextEnd(context);
        if (mode == 0) {
            CloseOpenTable(context);
            if (context->trailer != nullptr) AppendOutput(context, context->trailer);
            status = FlushOutput(context, IsOn(context, sw::kOutputAllToEvent) ? 0 : 1);
        }
    }
    if (status == kOK && context->overflow != 0) status = kOutOfMemory;
    return status;
}

} // namespace talix
