// The generation methods of ZervaRTChunk: GenerateXML (the worker: options,
// prologue, the body through operation 2419, epilogue), GenerateHTML (the
// markup as a new block) and GenerateHTMLToMime (output for a MIME message:
// the caller's buffer or file, or a part file attached to the note).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <type_traits>

#include "core/chunk_work_state.h"
#include "core/clamp.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/item_work_state.h"
#include "core/operation_codes.h"
#include "core/options.h"
#include "core/pool.h"
#include "core/record_io.h"
#include "core/text_compare.h"
#include "engine/paragraph_equivalence.h"
#include "htmlgen/close_tag_stack.h"
#include "htmlgen/document_addresses.h"
#include "htmlgen/entity_encoder.h"
#include "htmlgen/generation_options.h"
#include "htmlgen/line_buffer.h"
#include "htmlgen/paragraph_definitions.h"
#include "htmlgen/passthru.h"
#include "htmlgen/record_walk.h"
#include "htmlgen/run_files.h"
#include "htmlgen/style_rules.h"
#include "htmlgen/table_writer.h"
#include "htmlgen/xml_gen_context.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix/version.h"
#include "talix_platform.h"
#include "talix_platform/c_locale.h"

using namespace talix;

namespace {

constexpr const char* kSourceName = "htmlgen";
constexpr std::uint32_t kBlockSize = kWorkBufferSize;
constexpr std::uint16_t kItemBeingCreated = 2;   // the item's work-state mode while it is not in the note
constexpr plat::WORD kAttachFlags = 2304;
constexpr const char* kHtmlDoctype = "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">";
constexpr const char* kXhtmlDoctype =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">";
constexpr const char* kHeadEnd = "</head>";

std::uint16_t FormatCode(const char* format) {
    if (format == nullptr) return kFormatHTML;
    if (EqualNoCase(format, "HTML") || FindNoCase(format, "HTML 4.01") == format) return kFormatHTML;
    if (FindNoCase(format, "XHTML 1.0") == format || EqualNoCase(format, "XHTML")) return kFormatXHTML;
    if (EqualNoCase(format, "Plain Text") || EqualNoCase(format, "Passthrough")) return kFormatText;
    return kFormatHTML;
}

// A text of the document encoded into an attribute or element, line ends
// dropped.
void WriteEncoded(XMLGenContext* context, const std::string& text) {
    const std::size_t length = ClampToWord(text.size());
    if (length > 0) WriteXMLEncodedText(context, text.data(), static_cast<std::uint16_t>(length), 1, 0, 0);
}

void WriteComment(XMLGenContext* context) {
    char comment[128];
    plat::FormatText(comment, sizeof comment, "<!-- Talix %.2f, %.2d/%.2d/%.4d -->", LibraryVersion(),
                  context->commentMonth, context->commentDay, context->commentYear);
    AppendOutput(context, comment);
}

// The head: title, base, the style-type meta and the chunk's definition as
// the abstract.
void WriteHead(ZervaRTChunk* chunk, XMLGenContext* context, const char* extraDefinition) {
    const bool xhtml = context->format == kFormatXHTML;
    std::string value;
    AppendOutput(context, "<head><title>");
    if (GenerationOption(context, "Title=", &value)) WriteEncoded(context, value);
    AppendOutput(context, "</title>");
    if (GenerationOption(context, "BaseHREF=", &value) && !value.empty()) {
        AppendOutput(context, "<base href=\"");
        AppendOutput(context, value.c_str());
        AppendOutput(context, xhtml ? "\" />" : "\">");
    }
    if (!IsOn(context, sw::kStandardFontTags))
        AppendOutput(context, "<meta http-equiv=\"Content-Style-Type\" content=\"text/css\" />");
    // The definition texts are encoded like any text in an attribute.
    const bool everything = chunk->definition != nullptr && std::strcmp(chunk->definition, "Everything") == 0;
    const bool extra = extraDefinition != nullptr && extraDefinition[0] != '\0';
    if (everything && !extra) return;
    std::string abstract = everything || chunk->definition == nullptr ? "" : chunk->definition;
    if (extra) abstract += (abstract.empty() ? "" : "; ") + std::string(extraDefinition);
    AppendOutput(context, "<meta name=\"ABSTRACT\" content=\"");
    WriteEncoded(context, abstract);
    AppendOutput(context, xhtml ? "\" />" : "\">");
}

// Preface=, then for HTML and XHTML the document type, the opening html tag
// with the generation comment and the head, left open for the walk.
void WritePrologue(ZervaRTChunk* chunk, XMLGenContext* context, const char* extraDefinition) {
    AppendOptionValue(context, "Preface=");
    if (context->format == kFormatText) return;
    const bool fragment = IsOn(context, sw::kFragment);
    const bool xhtml = context->format == kFormatXHTML;
    if (!AppendOptionValue(context, "Doctype=") && !fragment)
        AppendOutput(context, xhtml ? kXhtmlDoctype : kHtmlDoctype);
    if (!AppendOptionValue(context, "OpeningTag=") && !fragment) {
        AppendOutput(context, xhtml ? "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"" : "<html lang=\"");
        if (!AppendOptionValue(context, "LanguageAbbrev=")) AppendOutput(context, "en");
        AppendOutput(context, "\">");
        WriteComment(context);
    }
    if (!AppendOptionValue(context, "HeadTag=") && !fragment) WriteHead(chunk, context, extraDefinition);

    // A head that ends here stays open for what the walk adds to it.
    const std::uint32_t length = TextLength(context);
    const std::size_t endLength = std::strlen(kHeadEnd);
    if (length > 10 && EqualNoCase(std::string(context->buffer + length - endLength, endLength).c_str(), kHeadEnd)) {
        std::memset(context->buffer + length - endLength, 0, endLength);
        context->writePosition = context->buffer + length - endLength;
        context->measuredLength = 0;
        context->headEndTaken = 1;
    }
}

void WriteEpilogue(XMLGenContext* context) {
    if (context->format != kFormatText) {
        const bool fragment = IsOn(context, sw::kFragment);
        if (!AppendOptionValue(context, "ClosingBody=") && !fragment) AppendOutput(context, "</body>");
        if (!AppendOptionValue(context, "ClosingTag=") && !fragment) AppendOutput(context, "</html>");
    }
    AppendOptionValue(context, "Postscript=");
}

XMLGenContext* AllocateContext(RARIvoSession* session) {
    void* block = QuorbelAllocate(session, __LINE__, kSourceName, sizeof(XMLGenContext), 1);
    return block != nullptr ? new (block) XMLGenContext() : nullptr;
}

// Releases everything the run took: the image database, option texts,
// translation tables, the options copy, the line buffer (unless the
// caller's) and the context; an unfinished part file is closed.
void ReleaseContext(ZervaRTChunk* chunk, XMLGenContext* context) {
    static_assert(std::is_trivially_destructible_v<XMLGenContext>);
    if (context == nullptr) return;
    if (context->partFile != nullptr) {
        // A part file the run did not finish is nobody's.
        std::fclose(context->partFile);
        ::unlink(context->partFilePath);
    }
    SettleRunFiles(context, chunk->lastStatus);
    ReleaseResourceContentIds(context);
    ReleaseCloseTags(context);
    ReleaseStyleRules(context);
    ReleaseUsedPABDefinitions(context);
    ReleasePabRemap(context);
    ReleaseTableState(context);
    ReleaseGenerationOptions(context);
    ReleaseEncoderTables(context);
    if (context->linkList != nullptr) ZervaDeallocate(chunk->session, context->linkList);
    if (context->optionText != nullptr) ZervaDeallocate(chunk->session, context->optionText);
    if (context->callerBuffer == 0 && context->buffer != nullptr) ZervaDeallocate(chunk->session, context->buffer);
    ZervaDeallocate(chunk->session, context);
    chunk->work->generation = nullptr;
}

// The item's record list as the generation's walk will read it: the list
// the item holds, else read now and held as the operation engine holds it.
// None when the item cannot be read.
ItemRecordList* ListToMark(ZervaRTItem* item) {
    if (item == nullptr || item->work == nullptr) return nullptr;
    ItemWorkState* work = item->work;
    if (work->current != nullptr || work->mode == kItemBeingCreated) return work->current;
    STATUS status = kOK;
    ItemRecordList* list = SIAR(item, 0, nullptr, 1, 0, 0, nullptr, &status);
    if (list == nullptr) return nullptr;
    if (status != kOK) {
        DeleteItemRecordList(item->session, list);
        return nullptr;
    }
    work->current = list;
    return list;
}

void ClearSessionResult(RARIvoSession* session) {
    session->messageBuffer[0] = '\0';
    session->textResultLength = 0;
}

// Closes the part file and attaches it to the note as "$FILE". A part
// file that could not be written whole, or attached, fails the run with a
// message and is not attached; the file on disk goes in every case.
void AttachPartFile(ZervaRTChunk* chunk, XMLGenContext* context, char* resultName) {
    std::FILE* file = context->partFile;
    context->partFile = nullptr;
    int error = context->fileError;
    errno = 0;
    if (error == 0 && (std::fflush(file) != 0 || std::ferror(file) != 0)) error = errno != 0 ? errno : EIO;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (error != 0) {
        ShowFileNotWritten(context->partFilePath, std::strerror(error));
        chunk->lastStatus = kFileNotWritten;
    } else {
        const plat::STATUS status = plat::NoteAttachFile(chunk->item->noteHandle, "$FILE", 5, context->partFilePath,
                                                         context->partFileName, kAttachFlags);
        if (status != plat::NOERROR) {
            char text[1024];
            plat::StatusText(status, text, sizeof text);
            ShowHostMessage(text);
            chunk->lastStatus = status & kStatusMask;
        } else if (resultName != nullptr) {
            std::strcpy(resultName, context->partFileName);
        }
    }
    // The file on disk has a name of this run's that no one else knows.
    ::unlink(context->partFilePath);
}

} // namespace

void ZervaRTChunk::GenerateXML(int unused, int mimeMode, const char* extraDefinition, const char* format,
                               const char* options, std::uint16_t optionsLength, char* buffer,
                               std::uint32_t* capacity, std::uint16_t partNumber, std::FILE* file,
                               const char* fileName, ActOnText actOnText, QueryLinkData queryLinkData) {
    (void)unused;
    if (session == nullptr || work == nullptr || work->generation == nullptr) return;
    // Only the generation points the chunk at a generation: its own context.
    auto* context = static_cast<XMLGenContext*>(work->generation);
    errorWord = 0;
    work->actOnText = actOnText;
    work->queryLinkData = queryLinkData;
    context->session = session;

    if (buffer != nullptr && capacity != nullptr && *capacity > 0) {
        UseCallerBuffer(context, buffer, *capacity);
    } else {
        context->buffer = static_cast<char*>(QuorbelAllocate(session, __LINE__, kSourceName, kBlockSize, 1));
        if (context->buffer == nullptr) return;
        context->capacity = kBlockSize;
        context->writePosition = context->buffer;
    }
    if (options != nullptr && options[0] != '\0') {
        const std::size_t length = optionsLength > 0 ? strnlen(options, optionsLength) : std::strlen(options);
        context->optionText =
            QuorbelAllocateString(session, __LINE__, kSourceName, options, static_cast<std::uint32_t>(length));
        if (context->optionText == nullptr) return;
    }
    context->format = FormatCode(format);
    context->chunk = this;
    context->item = item;
    context->mimeMode = mimeMode;
    context->partNumber = partNumber;
    context->callerFile = file;
    context->callerFileName = fileName;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    context->commentMonth = local.tm_mon + 1;
    context->commentDay = local.tm_mday;
    context->commentYear = local.tm_year + 1900;

    if (const STATUS read = ReadGenerationOptions(context); read != kOK) {
        lastStatus = read;
        return;
    }
    WritePrologue(this, context, extraDefinition);
    ItemRecordList* marked = nullptr;
    DelimitedMarks* marks = nullptr;
    if (IsOn(context, sw::kMarkDelimitedHTML) && errorWord == 0) {
        marked = ListToMark(item);
        MarkDelimitedHTML(session, marked, context->texts.delimitedHTMLStart, context->texts.delimitedHTMLEnd,
                          &marks);
    }
    if (errorWord == 0) AlterRichText(kOpGenerate, 0, 0, 0, 0, nullptr, nullptr, extraDefinition, nullptr);
    // A failure a writer kept is the run's outcome even where the operation
    // frame reads its status as the normal end of a walk (an attachment
    // whose "$FILE" item is missing, a "$Links" item that is not there).
    if (lastStatus == kOK && context->keptStatus != kOK) lastStatus = context->keptStatus;
    LogUnreadableFormulas(context);
    // The marks were for this generation only: the item's records are put
    // back as they were, so that a later save writes none of them.
    if (marks != nullptr) {
        if (item->work != nullptr && item->work->current == marked) {
            UnmarkDelimitedHTML(marked, marks);
        } else {
            DropDelimitedMarks(marks);
        }
    }
    // A chunk that matched nothing never reached the walk: its body is
    // opened here, so that the document stays whole.
    OpenBody(context);
    WriteEpilogue(context);

    context->resultLength = TextLength(context);
    context->measuredLength = context->resultLength;
    session->textResultLength =
        ClampToWord(context->resultLength);
    if (context->overflow != 0 && lastStatus == kOK) lastStatus = kOutOfMemory;
}

char* ZervaRTChunk::GenerateHTML(const char* extraDefinition, const char* format, const char* options,
                                 std::uint16_t optionsLength, ActOnText actOnText, QueryLinkData queryLinkData) {
    if (session == nullptr || work == nullptr) return nullptr;
    if (actOnText != nullptr) work->actOnText = actOnText;
    if (queryLinkData != nullptr) work->queryLinkData = queryLinkData;
    errorWord = 0;
    ClearSessionResult(session);
    XMLGenContext* context = AllocateContext(session);
    if (context == nullptr) return nullptr;
    work->generation = context;
    if (options != nullptr && optionsLength == 0) {
        const std::size_t length = std::strlen(options);
        optionsLength = ClampToWord(length);
    }
    GenerateXML(0, 0, extraDefinition, format, options, optionsLength, nullptr, nullptr, 0, nullptr, nullptr,
                work->actOnText, work->queryLinkData);

    // The block holds the markup and its terminator.
    auto* block = static_cast<char*>(QuorbelAllocate(session, __LINE__, kSourceName, kBlockSize, 1));
    if (block != nullptr && context->buffer != nullptr) {
        const std::uint32_t length = context->resultLength < kBlockSize - 1 ? context->resultLength : kBlockSize - 1;
        std::memcpy(block, context->buffer, length);
        block[length] = '\0';
    }
    ReleaseContext(this, context);
    work->actOnText = nullptr;
    return block;
}

void ZervaRTChunk::GenerateHTMLToMime(int unused, int mimeMode, const char* format, const char* options,
                                      std::uint16_t optionsLength, char* buffer, std::uint32_t* capacity,
                                      std::uint16_t partNumber, char* resultName, std::FILE* file,
                                      const char* fileName, ActOnText actOnText, QueryLinkData queryLinkData,
                                      int* iconFlags, int* collapseIcon, ImageOffsetInfo* images) {
    if (resultName != nullptr) resultName[0] = '\0';
    if (session == nullptr || work == nullptr) {
        if (capacity != nullptr) *capacity = 0;
        return;
    }
    errorWord = 0;
    ClearSessionResult(session);
    XMLGenContext* context = AllocateContext(session);
    if (context == nullptr) {
        if (capacity != nullptr) *capacity = 0;
        return;
    }
    work->generation = context;
    context->images = images;
    if (iconFlags != nullptr) std::memcpy(context->iconUsed, iconFlags, 4 * sizeof(int));
    if (collapseIcon != nullptr) context->iconUsed[4] = *collapseIcon;

    GenerateXML(unused, mimeMode, "", format, options, optionsLength, buffer, capacity, partNumber, file, fileName,
                actOnText, queryLinkData);

    if (iconFlags != nullptr) std::memcpy(iconFlags, context->iconUsed, 4 * sizeof(int));
    if (collapseIcon != nullptr) *collapseIcon = context->iconUsed[4];
    if (context->buffer != nullptr) {
        if (file != nullptr) {
            // The run's last text: its last line ends here.
            FlushOutput(context, 1);
            std::fflush(file);
            if (lastStatus == kOK) lastStatus = context->keptStatus;
        } else if (context->partFile != nullptr && lastStatus == kOK) {
            AttachPartFile(this, context, resultName);
        }
    }
    if (capacity != nullptr) *capacity = context->resultLength;
    ReleaseContext(this, context);
}
