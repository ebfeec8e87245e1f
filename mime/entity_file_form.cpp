// The file form of the MIME entity writer: after the mail header lines, a
// multipart/related (multipart/mixed when the item holds file attachments)
// entity with LF line ends: the text/html part in a multipart/alternative
// level, the icons, pictures and image resources, then the attachments.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/attachments.h"
#include "core/clamp.h"
#include "core/options.h"
#include "core/replacing_file.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "mime/entity_records.h"
#include "mime/entity_writer.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr const char* kPreamble = "\nThis is a multipart message in MIME format.\n\n";

class FileWriter {
public:
    FileWriter(MimeRun* run, std::FILE* file) : run_(run), file_(file) {}

    void Write(const std::string& text) {
        if (text.empty()) return;
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) run_->FailWriting(errno);
        last_ = text.back();
    }
    // A boundary line starts a line of its own.
    void PartLine(MimeLevel level) {
        if (last_ != '\n') Write("\n");
        Write(talix::PartLine(level, run_->tail) + "\n");
    }
    void CloseLine(MimeLevel level) {
        if (last_ != '\n') Write("\n");
        Write(talix::CloseLine(level, run_->tail) + "\n\n");
    }
    // Takes note of what another writer put in the file.
    void Resync() {
        std::fflush(file_);
        if (std::fseek(file_, -1, SEEK_END) == 0) {
            const int c = std::fgetc(file_);
            if (c != EOF) last_ = static_cast<char>(c);
        }
        std::fseek(file_, 0, SEEK_END);
    }
    std::FILE* file() const { return file_; }

private:
    MimeRun* run_;
    std::FILE* file_;
    char last_ = '\n';
};

// Whether the message takes each file hotspot's attachment as a part of its
// own: a ".eml" file unless "FileHandling=" holds "DISK", another file only
// when it holds "PLACE".
bool CarriesAttachments(const MimeRun& run) {
    const bool eml = ContainsNoCase(run.outputName, ".eml");
    return eml ? !run.options.Holds("FileHandling=", "DISK") : run.options.Holds("FileHandling=", "PLACE");
}

// A folder of the run's own in the temporary folder, removed with the files
// in it when the object goes. Into a ".eml" file the generation extracts
// each attachment a file hotspot names, by default into the temporary
// folder; when the message carries the attachments themselves those copies
// serve no one, and they go here instead of staying behind. The links in
// the text still name the temporary folder, as they did. A run that an
// interrupt or a termination request ends removes the folder too.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = TempDirectory() + "talix-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            pending_ = RememberPendingFolder(path_.c_str());
        }
    }
    ~ScratchFolder() {
        if (path_.empty()) return;
        if (DIR* dir = ::opendir(path_.c_str())) {
            // No allocation here: the folder may be removed as a run that
            // ran out of memory unwinds.
            while (const dirent* entry = ::readdir(dir)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                    ::unlinkat(::dirfd(dir), entry->d_name, 0);
            }
            ::closedir(dir);
        }
        ::rmdir(path_.c_str());
        ForgetPendingOutput(pending_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The options with the folder as the attachments' directory: as they
    // are when the caller names a directory, the folder could not be made,
    // or its name cannot stand in an option (not ASCII, or holding every
    // quote character). The message's links still name the temporary
    // directory, as they do without the folder, unless the caller names
    // their directory.
    std::string Options(const std::string& options) const {
        if (path_.empty() || FindOptionKey(options.c_str(), "AttachmentDirectory") != nullptr) return options;
        for (const char c : path_) {
            if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) return options;
        }
        const bool linksNamed = FindOptionKey(options.c_str(), "AttachmentURLDirectory") != nullptr ||
                                FindOptionKey(options.c_str(), "DefaultURLDirectory") != nullptr;
        for (const char quote : {'"', '\'', '|', '~'}) {
            if (path_.find(quote) != std::string::npos) continue;
            std::string given = options + " AttachmentDirectory=" + quote + path_ + quote;
            if (!linksNamed) given += std::string(" AttachmentURLDirectory=") + quote + TempDirectory() + quote;
            return given;
        }
        return options;
    }

private:
    std::string path_;
    int pending_ = -1;   // the folder's entry among the outputs a signal removes
};

// The generated text of a part (native, lines ended by LF), as the
// generation writes it into a file.
std::string Generate(MimeRun* run, const char* kind, const std::string& given, std::uint16_t partNumber) {
    std::unique_ptr<ScratchFolder> scratch;
    if (run->mixed && CarriesAttachments(*run)) scratch = std::make_unique<ScratchFolder>();
    const std::string options = scratch != nullptr ? scratch->Options(given) : given;
    // The stream and its text are given back however the generation ends
    // (it may run out of memory).
    struct MemoryText {
        char* data = nullptr;
        std::size_t size = 0;
        std::FILE* stream = nullptr;
        ~MemoryText() {
            if (stream != nullptr) std::fclose(stream);
            std::free(data);
        }
    } text;
    text.stream = ::open_memstream(&text.data, &text.size);
    std::FILE* const memory = text.stream;
    if (memory == nullptr) {
        run->Fail(kOutOfMemory);
        return "";
    }
    std::uint32_t capacity = 0;
    char name[128] = {};
    ZervaRTChunk* chunk = run->chunk;
    chunk->GenerateHTMLToMime(0, 1, kind, options.c_str(),
                              ClampToWord(options.size()), nullptr, &capacity, partNumber, name, memory,
                              run->outputName.c_str(), run->actOnText,
                              run->queryLinkData, run->linkFlags, &run->sectionFlag, nullptr);
    run->Fail(GenerationOutcome(chunk));
    text.stream = nullptr;
    const bool written = std::fclose(memory) == 0;
    if (!written) run->Fail(kOutOfMemory);
    return std::string(text.data != nullptr ? text.data : "", text.data != nullptr ? text.size : 0);
}

// A generated part: its header (lines separated by CR LF) and its text,
// quoted-printable when a line would be too long to travel.
void WriteGenerated(MimeRun* run, FileWriter* out, std::string header, const char* kind, const std::string& options,
                    std::uint16_t partNumber) {
    const std::string generation = GenerationOptions(*run, kind, header, options);
    std::string body = Generate(run, kind, generation, partNumber);
    NoteNamedPictures(run, body);
    FinishGeneratedPart(*run, &header, &body, true, false, GeneratesQuotedPrintable(generation));
    out->Write(plat::LmbcsToNative(LfLines(header)) + "\n\n");
    out->Write(body);
}

// The main body: the text/html part, or in body mode 0 a text/plain body
// (the attachment that holds it, else the item as plain text).
void WriteMainBody(MimeRun* run, FileWriter* out) {
    out->PartLine(MimeLevel::Alternative);
    if (run->bodyMode != 0) {
        WriteGenerated(run, out, run->htmlHeader, run->kind.empty() ? nullptr : run->kind.c_str(), run->htmlOptions, 2);
        return;
    }
    if (run->bodyAttachment.empty()) {
        WriteGenerated(run, out, PlainHeader(*run), "Plain Text", run->options.text(), 3);
        return;
    }
    out->Write(plat::LmbcsToNative(LfLines(PlainHeader(*run))) + "\n\n");
    char* data = nullptr;
    std::uint32_t size = 0;
    const STATUS status = ReadAttachmentToMemory(run->item->noteHandle, run->bodyAttachment.c_str(), &data, &size);
    if (status != kOK) {
        run->Fail(status);
        return;
    }
    out->Write(std::string(data, size));
    std::free(data);
}

// Each file hotspot's attachment, encoded, when the output takes them.
void WriteAttachments(MimeRun* run, FileWriter* out) {
    if (!CarriesAttachments(*run)) return;
    ForEachAttachment(run, [&](const std::string& attachment, const std::string& fileName) {
        out->PartLine(MimeLevel::Mixed);
        out->Write("Content-Type: application/octet-stream" +
                   FileNameParameter("name", plat::LmbcsToNative(attachment), "\n") +
                   "\nContent-Disposition: attachment" +
                   FileNameParameter("filename", plat::LmbcsToNative(fileName), "\n") +
                   "\nContent-Transfer-Encoding: base64\n\n");
        run->Fail(SetupBase64Alphabet(run->item->noteHandle, 0, attachment.c_str(), nullptr, out->file(), 1));
        out->Resync();
    });
}

} // namespace

void WriteFileForm(MimeRun* run, std::FILE* file) {
    FileWriter out(run, file);
    run->mixed = run->scan.mixed;
    // A file always has the related level and the alternative one.
    run->related = true;
    run->multipart = true;

    const MimeLevel top = run->mixed ? MimeLevel::Mixed : MimeLevel::Related;
    out.Write(std::string("Content-Type: multipart/") + (run->mixed ? "mixed" : "related") + ";\n\tboundary=\"" +
              BoundaryParameter(top, run->tail) + "\";\n\ttype=\"text/html\"\n\n");
    out.Write(kPreamble);
    if (run->mixed) {
        out.PartLine(MimeLevel::Mixed);
        out.Write("Content-Type: multipart/related;\n\ttype=\"multipart/alternative\";\n\tboundary=\"" +
                  BoundaryParameter(MimeLevel::Related, run->tail) + "\"\n\n");
    }
    out.PartLine(MimeLevel::Related);
    out.Write("Content-Type: multipart/alternative;\n\tboundary=\"" +
              BoundaryParameter(MimeLevel::Alternative, run->tail) + "\"\n\n");
    if (!run->options.Is("SkipHTML=", "Yes")) {
        WriteMainBody(run, &out);
    } else {
        // Without the HTML the alternative level holds an empty text part:
        // a multipart needs one part at least.
        out.PartLine(MimeLevel::Alternative);
        out.Write(plat::LmbcsToNative(LfLines(PlainHeader(*run))) + "\n\n");
    }
    out.CloseLine(MimeLevel::Alternative);

    const STATUS status = WalkRelatedParts(*run, [&](const RelatedPart& part) {
        out.PartLine(MimeLevel::Related);
        out.Write(part.headers);
        out.Write(part.body);
        return kOK;
    });
    run->Fail(status);
    out.CloseLine(MimeLevel::Related);

    if (run->mixed) {
        WriteAttachments(run, &out);
        out.CloseLine(MimeLevel::Mixed);
    }
}

} // namespace talix
