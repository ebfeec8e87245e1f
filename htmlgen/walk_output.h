// The output steps the record walk and its writers share: handing the line
// buffer on while a body is written (OutputToEvent), completing an
// automatic link first, the line break of the format, and looking at what
// was written just before, across such a hand-on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/debug_level.h"
#include "core/statuses.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/xml_gen_context.h"

namespace talix {

// Completes an automatic link whose URL the text writer left open: the
// start tag is closed, the URL stands again as the link's text, and the
// link ends.
void CompletePendingLink(XMLGenContext* context);

// The length of the text written since the last hand-on that kept text in
// memory (what the event chunk size is measured against).
inline std::uint32_t TextSinceFlush(const XMLGenContext* context) {
    const std::uint32_t length = TextLength(context);
    return length > context->flushMark ? length - context->flushMark : 0;
}

// Room a chunk leaves in the buffer for the markup that follows it.
constexpr std::uint32_t kChunkHeadroom = 1024;

// The event chunk size as the walk uses it: never so large that the
// buffer cannot hold a chunk and the markup of the record after it.
inline std::uint32_t EventChunkLimit(const XMLGenContext* context) {
    const std::uint32_t room = context->capacity > 2 * kChunkHeadroom ? context->capacity - kChunkHeadroom
                                                                        : context->capacity / 2;
    return context->eventChunkSize < room ? context->eventChunkSize : room;
}

// Hands the text on in the middle of a body: completes a pending automatic
// link, remembers the last bytes handed on, then the flush sequence (not
// final). Returns its status.
STATUS CutLineBuffer(XMLGenContext* context);

// Appends "<br>" (HTML) or "<br />" (XHTML). False when it does not fit.
bool AppendLineBreak(XMLGenContext* context);
const char* LineBreakText(const XMLGenContext* context);

// Whether the length bytes written just before the given end of the text
// (an offset into the buffer) equal bytes, counting what the last hand-on
// took as still standing before the buffer's start.
bool WrittenBefore(const XMLGenContext* context, std::size_t end, const char* bytes, std::size_t length);

// Whether the output written so far ends with text.
bool OutputEndsWith(const XMLGenContext* context, const char* text);

// Writes a trace line of the walk when the debug level asks for them (asked
// at every record and run: the level is looked at in place).
void WriteTraceStep(const char* line);
inline void TraceStep(const char* line) {
    if (g_debugLevel > 2) WriteTraceStep(line);
}
// The same for a writer of several lines in one step (a text run), which
// looks at the level once for them.
inline bool Tracing() { return g_debugLevel > 2; }
inline void TraceStep(bool tracing, const char* line) {
    if (tracing) WriteTraceStep(line);
}

} // namespace talix
