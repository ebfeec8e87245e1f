#include "htmlgen/walk_output.h"

#include <cstring>
#include <string>

#include "htmlgen/line_buffer.h"
#include "talix_platform.h"

namespace talix {

void CompletePendingLink(XMLGenContext* context) {
    if (context == nullptr || context->pendingLink == nullptr) return;
    MoveToTextEnd(context);
    char* start = context->pendingLink;
    context->pendingLink = nullptr;
    if (start < context->buffer || start > context->writePosition) return;
    const std::string url(start, static_cast<std::size_t>(context->writePosition - start));
    AppendOutput(context, "\">", 2);
    AppendOutput(context, url.data(), url.size());
    AppendOutput(context, "</a>", 4);
}

STATUS CutLineBuffer(XMLGenContext* context) {
    CompletePendingLink(context);
    MoveToTextEnd(context);
    const std::uint32_t length = TextLength(context);
    const std::uint32_t keep = length < kFlushedTailSize ? length : kFlushedTailSize;
    // What stays in memory stays before the new text anyway; only what a
    // destination takes needs remembering.
    std::memcpy(context->flushedTail, context->buffer + length - keep, keep);
    context->flushedTailLength = static_cast<std::uint16_t>(keep);
    return FlushOutput(context, 0);
}

const char* LineBreakText(const XMLGenContext* context) {
    return context->format == kFormatXHTML ? "<br />" : "<br>";
}

bool AppendLineBreak(XMLGenContext* context) { return AppendOutput(context, LineBreakText(context)); }

bool WrittenBefore(const XMLGenContext* context, std::size_t end, const char* bytes, std::size_t length) {
    if (length == 0) return true;
    // The bytes before end: the buffer's, then those of the last hand-on
    // when the buffer holds fewer (and the hand-on emptied it).
    const std::size_t inBuffer = end < length ? end : length;
    if (std::memcmp(context->buffer + end - inBuffer, bytes + length - inBuffer, inBuffer) != 0) return false;
    const std::size_t missing = length - inBuffer;
    if (missing == 0) return true;
    if (context->flushMark != 0 || missing > context->flushedTailLength) return false;
    return std::memcmp(context->flushedTail + context->flushedTailLength - missing, bytes, missing) == 0;
}

bool OutputEndsWith(const XMLGenContext* context, const char* text) {
    return WrittenBefore(context, TextLength(context), text, std::strlen(text));
}

void WriteTraceStep(const char* line) { plat::LogLine(0, "%s", line); }

} // namespace talix
