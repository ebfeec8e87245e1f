#include "htmlgen/line_buffer.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/chunk_work_state.h"
#include "core/folder_file.h"
#include "core/options.h"
#include "core/temp_directory.h"
#include "htmlgen/line_cutter.h"
#include "htmlgen/quoted_printable.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr int kPartFileTries = 100;
constexpr std::size_t kLargestEvent = 0xFFFF;   // an event carries a 16-bit length

bool HasActOnText(const XMLGenContext* context) {
    return context->chunk != nullptr && context->chunk->work != nullptr && context->chunk->work->actOnText != nullptr;
}

// Hands text to the chunk's ActOnText procedure in pieces of at most 65,535
// bytes, each ending on a whole character.
void RaiseText(XMLGenContext* context, char* text, std::size_t length) {
    while (length > 0) {
        // Text that fits one event goes whole; longer text is cut on a
        // character boundary.
        std::size_t piece = length <= kLargestEvent ? length : 0;
        while (piece < length) {
            const std::size_t n = LmbcsCharBytes(text + piece, length - piece);
            if (piece + n > kLargestEvent) break;
            piece += n;
        }
        context->chunk->RaiseActOnText(text, static_cast<std::uint16_t>(piece));
        text += piece;
        length -= piece;
    }
}

// Opens the next part file of a MIME run in the temporary directory. The
// part keeps its name ("MP<part>_<sequence>.htm", the attachment's name),
// while the file on disk has a name of this process and run of its own:
// generations in other processes share the directory and the part names,
// and must neither replace nor be handed each other's files. A file left
// under that name (by an ended process of the same id) is replaced, and the
// new one is created exclusively (core/folder_file.h), so that nothing is
// ever written through a link, a FIFO or a device someone left in its
// place.
void OpenPartFile(XMLGenContext* context) {
    static std::atomic<unsigned> runs{0};
    const char* directory = !TempDirectory().empty() ? TempDirectory().c_str() : "/tmp/";
    const std::size_t directoryLength = std::strlen(directory);
    const bool separator = directoryLength > 0 && (directory[directoryLength - 1] == '/' ||
                                                   directory[directoryLength - 1] == '\\');
    const unsigned run = runs.fetch_add(1);
    for (int attempt = 0; attempt < kPartFileTries; ++attempt) {
        char name[sizeof context->partFileName];
        std::snprintf(name, sizeof name, "MP%u_%u.htm", static_cast<unsigned>(context->partNumber),
                      static_cast<unsigned>(context->partSequence + attempt));
        char path[sizeof context->partFilePath];
        const int written = std::snprintf(path, sizeof path, "%s%stalix-%ld-%u-%s", directory, separator ? "" : "/",
                                          static_cast<long>(::getpid()), run, name);
        if (written < 0 || static_cast<std::size_t>(written) >= sizeof path) return;
        const int fd = MakeFolderFile(path, 0600, nullptr);
        // Another name helps where something else holds this one; a folder
        // that cannot be written in takes none.
        if (fd < 0 && errno != EEXIST) return;
        if (fd < 0) continue;
        std::FILE* file = ::fdopen(fd, "w");
        if (file == nullptr) {
            ::close(fd);
            ::unlink(path);
            continue;
        }
        context->partFile = file;
        std::memcpy(context->partFileName, name, sizeof name);
        std::memcpy(context->partFilePath, path, sizeof path);
        context->partSequence = static_cast<std::uint16_t>(context->partSequence + 1);
        return;
    }
}

// Whether length bytes are all zero (compared with a block of zeros: the
// library's comparison reads them fastest). Checks, in builds with
// assertions, that writers note every byte they leave past the text.
[[maybe_unused]] bool IsZero(const char* bytes, std::size_t length) {
    static const char kZeros[4096] = {};
    while (length > 0) {
        const std::size_t piece = length < sizeof kZeros ? length : sizeof kZeros;
        if (std::memcmp(bytes, kZeros, piece) != 0) return false;
        bytes += piece;
        length -= piece;
    }
    return true;
}

// The text stays in memory: terminated at its length, the write position
// at its end.
void KeepText(XMLGenContext* context, std::uint32_t length) {
    context->buffer[length] = '\0';
    context->writePosition = context->buffer + length;
    context->measuredLength = length;
    context->flushMark = length;
}

// Writes to the caller's file or the part file; the first failure is kept
// (and nothing written after it), so that the run fails and says why.
bool WriteToFile(XMLGenContext* context, std::FILE* file, std::string_view text) {
    if (context->fileError != 0) return false;
    errno = 0;
    if (text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size()) return true;
    context->fileError = errno != 0 ? errno : EIO;
    return false;
}

// Writes text to the caller's file in the output character set. A write
// that fails fails the run, with a message naming the file.
void WriteToCallerFile(XMLGenContext* context, std::string_view lmbcs) {
    const OutputCharset charset(context->outputCharset);
    std::string text;
    charset.Append(lmbcs, &text);
    if (WriteToFile(context, context->callerFile, text) || context->keptStatus != kOK) return;
    context->keptStatus = kFileNotWritten;
    const char* name = context->callerFileName != nullptr ? context->callerFileName : "";
    ShowFileNotWritten(name, std::strerror(context->fileError));
}

// Replaces the buffer's content by text (which fits).
void ReplaceText(XMLGenContext* context, const std::string& text) {
    ClearLineBuffer(context);
    std::memcpy(context->buffer, text.data(), text.size());
    KeepText(context, static_cast<std::uint32_t>(text.size()));
}

} // namespace

std::uint32_t MeasureTextLength(const XMLGenContext* context) {
    if (context == nullptr || context->buffer == nullptr || context->capacity == 0) return 0;
    std::size_t used = static_cast<std::size_t>(context->writePosition - context->buffer);
    if (used >= context->capacity) return context->capacity - 1;
    if (*context->writePosition == '\0') return static_cast<std::uint32_t>(used);
    return static_cast<std::uint32_t>(used + strnlen(context->writePosition, context->capacity - used));
}

void SeekTextEnd(XMLGenContext* context) {
    if (context == nullptr || context->buffer == nullptr || context->capacity == 0) return;
    const std::size_t used = static_cast<std::size_t>(context->writePosition - context->buffer);
    if (used < context->capacity && *context->writePosition == '\0') return;
    std::uint32_t length = MeasureTextLength(context);
    if (length >= context->capacity) length = context->capacity - 1;
    context->writePosition = context->buffer + length;
    *context->writePosition = '\0';
}

bool AppendOutputAtEnd(XMLGenContext* context, const char* text, std::size_t length) {
    if (context == nullptr || context->buffer == nullptr) return false;
    MoveToTextEnd(context);
    const std::size_t used = static_cast<std::size_t>(context->writePosition - context->buffer);
    if (length >= context->capacity - used) {
        context->overflow = 1;
        return false;
    }
    if (length > 0) std::memcpy(context->writePosition, text, length);
    context->writePosition += length;
    *context->writePosition = '\0';
    context->measuredLength = 0;
    return true;
}

bool AppendOptionValue(XMLGenContext* context, const char* key) {
    if (context == nullptr || context->optionText == nullptr) return false;
    std::vector<char> value(std::strlen(context->optionText) + 1);
    if (GetOptionValue(context->optionText, key, value.data(), static_cast<std::uint32_t>(value.size())) == 0)
        return false;
    AppendOutput(context, value.data());
    return true;
}

void ClearLineBuffer(XMLGenContext* context) {
    // What writers left past the text (dirtyEnd) and the text itself; the
    // rest of the buffer is zero already.
    std::size_t used = std::min<std::size_t>(TextLength(context) + std::size_t{1}, context->capacity);
    if (context->dirtyEnd > used) used = std::min<std::size_t>(context->dirtyEnd, context->capacity);
    if (context->callerBuffer != 0) {
        // The caller's buffer is theirs to look at: it is left all zero.
        std::memset(context->buffer, 0, used);
        assert(IsZero(context->buffer + used, context->capacity - used));
        context->dirtyEnd = 0;
    } else {
        // Our own buffer only needs the terminator: every writer ends what
        // it writes with one, so the bytes of earlier text after it are
        // never read, and are overwritten as text comes. They stay noted
        // as used. Builds with assertions fill them with a byte that shows
        // in the output should anything read past a terminator.
        assert(IsZero(context->buffer + used, context->capacity - used));
#ifndef NDEBUG
        std::memset(context->buffer, 0xA5, used);
#endif
        context->buffer[0] = '\0';
        context->dirtyEnd = static_cast<std::uint32_t>(used);
    }
    context->writePosition = context->buffer;
    context->measuredLength = 0;
    context->flushMark = 0;
    context->encodedLength = 0;
    context->wrappedLength = 0;
    context->pendingLink = nullptr;
}

STATUS MeasureXMLLineBuffer(XMLGenContext* context, int final) {
    (void)final;
    if (context == nullptr) return kArgumentError;
    context->measuredLength = TextLength(context);
    return kOK;
}

STATUS EncodeXMLLineBuffer(XMLGenContext* context, int final) {
    (void)final;
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    const std::uint32_t length = TextLength(context);
    const std::uint32_t from = context->encodedLength < length ? context->encodedLength : length;
    std::string out(context->buffer, from);
    out.reserve(length + (length - from) / 2 + 16);
    const OutputCharset charset(context->outputCharset);
    AppendQuotedPrintable(context->buffer + from, length - from, context->callerFile != nullptr ? "=0A" : "=0D=0A",
                          charset, &out);
    if (out.size() >= context->capacity) return kOutOfMemory;
    const std::uint32_t wrapped = context->wrappedLength;
    ReplaceText(context, out);
    context->encodedLength = static_cast<std::uint32_t>(out.size());
    context->wrappedLength = wrapped < from ? wrapped : from;
    return kOK;
}

void UseCallerBuffer(XMLGenContext* context, char* buffer, std::uint32_t capacity) {
    context->buffer = buffer;
    context->capacity = capacity;
    context->callerBuffer = 1;
    context->writePosition = buffer;
    std::memset(buffer, 0, capacity);
}

STATUS FlushXMLLineBuffer(XMLGenContext* context, int final) {
    if (context == nullptr || context->buffer == nullptr) return kArgumentError;
    const std::uint32_t length = TextLength(context);
    context->measuredLength = length;
    if (context->mimeMode != 0 && context->partFile == nullptr && final == 0 && context->callerFile == nullptr)
        OpenPartFile(context);
    const bool event = EventOutputOn(context) && final == 0 && HasActOnText(context);

    if (context->maxLineLength == 0) {
        if (context->callerFile != nullptr) {
            WriteToCallerFile(context, std::string_view(context->buffer, length));
        } else if (context->partFile != nullptr) {
            WriteToFile(context, context->partFile, std::string_view(context->buffer, length));
        } else if (event) {
            RaiseText(context, context->buffer, length);
        } else {
            KeepText(context, length);
            return kOK;
        }
        ClearLineBuffer(context);
        return kOK;
    }

    // Text kept in memory by an earlier flush is already cut into lines.
    const std::uint32_t wrapped = context->wrappedLength < length ? context->wrappedLength : length;
    LineCutSettings settings;
    settings.maxLineLength = context->maxLineLength;
    settings.newlines = context->newlines;
    settings.quotedPrintable = IsOn(context, sw::kQuotedPrintable);
    settings.toCallerFile = context->callerFile != nullptr;
    std::string lines(context->buffer, wrapped);
    // A line left open at the end stays open for the next flush, so that
    // where a flush falls never decides where a line ends.
    CutIntoLines(settings, context->buffer + wrapped, length - wrapped, final != 0, &context->cut, &lines);

    // Lines that leave the generation end in line feeds: the zero bytes of
    // the NL mode separate lines only in memory.
    if (context->newlines == NewlineMode::NL && (context->callerFile != nullptr || context->partFile != nullptr || event))
        std::replace(lines.begin(), lines.end(), '\0', '\n');
    if (context->callerFile != nullptr) {
        WriteToCallerFile(context, lines);
    } else if (context->partFile != nullptr) {
        WriteToFile(context, context->partFile, lines);
    } else if (event) {
        RaiseText(context, lines.data(), lines.size());
    } else {
        if (lines.size() >= context->capacity) return kOutOfMemory;
        const bool encoded = context->encodedLength >= length;
        ReplaceText(context, lines);
        context->wrappedLength = static_cast<std::uint32_t>(lines.size());
        if (encoded) context->encodedLength = context->wrappedLength;
        return kOK;
    }
    ClearLineBuffer(context);
    return kOK;
}

STATUS FlushOutput(XMLGenContext* context, int final) {
    if (context == nullptr) return kArgumentError;
    if (IsOn(context, sw::kTranslation)) MeasureXMLLineBuffer(context, final);
    if (IsOn(context, sw::kQuotedPrintable)) {
        const STATUS status = EncodeXMLLineBuffer(context, final);
        if (status != kOK) return status;
    }
    return FlushXMLLineBuffer(context, final);
}

} // namespace talix
