#include "htmlgen/style_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "htmlgen/line_buffer.h"

namespace talix {

void AppendFormat(std::string* out, const char* format, ...) {
    char piece[256];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(piece, sizeof piece, format, args);
    va_end(args);
    if (written < 0) return;
    if (static_cast<std::size_t>(written) < sizeof piece) {
        out->append(piece, static_cast<std::size_t>(written));
        return;
    }
    std::vector<char> whole(static_cast<std::size_t>(written) + 1);
    va_start(args, format);
    std::vsnprintf(whole.data(), whole.size(), format, args);
    va_end(args);
    out->append(whole.data(), static_cast<std::size_t>(written));
}

void AppendInches(std::string* out, const char* name, long twips) {
    AppendFormat(out, "%s: %4.2fin; ", name, static_cast<double>(twips) / 1440.0);
}

bool AppendOutput(XMLGenContext* context, const std::string& text) {
    return AppendOutput(context, text.data(), text.size());
}

void PutWaiting(XMLGenContext* context, const char* text) {
    MoveToTextEnd(context);
    char* at = context->writePosition;
    if (AppendOutput(context, text)) context->writePosition = at;
}

bool CutTrailing(XMLGenContext* context, const char* text) {
    MoveToTextEnd(context);
    const std::uint32_t length = TextLength(context);
    const std::size_t cut = std::strlen(text);
    if (length < cut || std::memcmp(context->buffer + length - cut, text, cut) != 0) return false;
    CutOutputTo(context, static_cast<std::uint32_t>(length - cut));
    return true;
}

void CutOutputTo(XMLGenContext* context, std::uint32_t length) {
    MoveToTextEnd(context);
    const std::uint32_t end = TextLength(context);
    if (length < end) {
        std::memset(context->buffer + length, 0, end - length);
        context->measuredLength = 0;
    }
    context->writePosition = context->buffer + (length < end ? length : end);
}

} // namespace talix
