// The note form of the MIME entity writer: the entity as MIME part items of
// the item's own note, all under the output name, with the note-level items
// of a native MIME note ("MIME_Version", "$MessageID", "$NoteHasNativeMIME",
// "$MsgTrackFlags", "$MIMETrack") and the save rules.
//
// The note form walks the item's records as the file form does: the icons,
// pictures and image resources they call for are parts of a related level,
// the file attachments parts of a mixed level (their bodies name the
// note's own "$FILE" items). The HTML refers to the icons and image
// resources by their Content-IDs and to the pictures through the rendering
// copy ("<name>_M$") left in the note. A refused run changes nothing; a run
// that fails after it began puts back every item it replaced and takes away
// every item and attachment it added.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/attachments.h"
#include "core/clamp.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/kept_items.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "htmlgen/quoted_printable.h"
#include "mime/entity_writer.h"
#include "mime/mail_headers.h"
#include "mime/mime_part.h"
#include "mime/rfc822_text.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr STATUS kTargetExists = 260;
constexpr plat::WORD kPartItemFlags = 3;
constexpr plat::WORD kNoteItemFlags = 4;
constexpr std::uint32_t kWorkBlockSize = kWorkBufferSize;
constexpr std::uint32_t kPartSpace = 65394;       // what a part may fill of the work block
constexpr std::size_t kFieldNameLength = 32;
constexpr std::uint16_t kItemBeingCreated = 2;
constexpr plat::WORD kUserNameSize = 256;
constexpr const char* kCrLf = "\r\n";
constexpr const char* kPreamble = "This is a multipart message in MIME format.\r\n";
// A picture or image resource whose Base64 passes this is kept in a "$FILE"
// attachment of the note, the part naming it.
constexpr std::size_t kLargestInlineImage = 32703;

// The text with each LF made CR LF, ended by CR LF.
std::string CrLfLines(const std::string& text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 38 + 2);
    for (const char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    if (lines.size() < 2 || lines.compare(lines.size() - 2, 2, kCrLf) != 0) lines += kCrLf;
    return lines;
}

// The text with each LF that no CR stands before made CR LF: the line
// ends of mail, whatever mix of them the generator wrote.
std::string CanonicalLineEnds(const std::string& text) {
    std::string lines;
    lines.reserve(text.size() + text.size() / 38);
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n' && (at == 0 || text[at - 1] != '\r')) lines += '\r';
        lines += text[at];
    }
    return lines;
}

// A part header the caller or the options give (in the platform's set),
// as the message's text, ended by the empty line.
std::string GivenHeaders(const std::string& header) { return plat::LmbcsToNative(header) + kCrLf + kCrLf; }

class NoteWriter {
public:
    explicit NoteWriter(MimeRun* run)
        : run_(run), item_(run->item), note_(run->item->noteHandle), target_(run->outputName) {}
    ~NoteWriter() {
        if (block_ != 0) plat::MemFree(block_);
    }

    void Write();

private:
    plat::WORD TargetLength() const { return NameLength(target_.c_str()); }
    void WriteParts();
    bool Begin();
    STATUS WriteNoteItems();
    void AppendPart(std::uint32_t flags, std::uint8_t type, const std::string& boundary, const std::string& headers,
                    const std::string& body);
    void GeneratedPart(ZervaRTChunk* chunk, const char* kind, const std::string& options, std::uint16_t partNumber,
                       std::uint32_t flags, const std::string& boundary, const std::string& headers,
                       ZervaRTChunk::ImageOffsetInfo* images);
    bool PlainPart();
    void MainPart();
    void EmptyTextPart();
    void RelatedParts();
    STATUS AttachText(const std::string& prefix, const char* type, const std::string& text, std::string* name);
    void AttachmentParts();
    STATUS DetachReplaced();
    STATUS Track();
    void SaveRules();
    void Rollback();

    MimeRun* run_;
    ZervaRTItem* item_;
    plat::NOTEHANDLE note_;
    std::string target_;
    plat::DHANDLE block_ = 0;
    std::uint8_t* work_ = nullptr;
    // The items this run replaces, as they were, and the attachments it adds.
    std::vector<std::pair<std::string, std::vector<KeptItem>>> kept_;
    std::vector<std::string> attached_;
    std::uint16_t oldMode_ = 0;
};

bool NoteWriter::Begin() {
    // A target that exists is replaced only when the caller says so; the
    // note is not touched otherwise.
    if (plat::ItemIsPresent(note_, target_.c_str(), TargetLength()) && !run_->options.Is("Overwrite=", "Yes")) {
        run_->Fail(kTargetExists);
        return false;
    }
    STATUS status = plat::MemAlloc(kWorkBlockSize, plat::MEM_GROWABLE, &block_);
    if (status == plat::NOERROR) {
        work_ = static_cast<std::uint8_t*>(plat::MemLock(block_));
        if (work_ == nullptr) status = kOutOfMemory;
    }
    const std::string copyName = RenderingCopyName(run_->outputName);
    for (const std::string& name : {target_, copyName, std::string("MIME_Version"), std::string("$MessageID"),
                                    std::string("$NoteHasNativeMIME"), std::string("$MsgTrackFlags"),
                                    std::string("$MIMETrack")}) {
        if (status != kOK) break;
        kept_.emplace_back(name, std::vector<KeptItem>());
        status = KeepItems(note_, name.c_str(), &kept_.back().second);
    }
    oldMode_ = item_->work->mode;
    if (status == kOK) status = MakeRenderingCopy(run_, copyName);
    if (status == kOK) status = WriteNoteItems();
    if (status == kOK) {
        status = plat::ItemDelete(note_, target_.c_str(), TargetLength());
        if (status == plat::ERR_ITEM_NOT_FOUND) status = kOK;
        if (EqualNoCase(target_.c_str(), item_->itemName)) item_->work->mode = kItemBeingCreated;
    }
    if (status == kOK) {
        status = BodyAttachment(run_);
        if (run_->bodyAttached) attached_.push_back(run_->bodyAttachment);
    }
    run_->Fail(status);
    return status == kOK;
}

// "MIME_Version" (an RFC 822 text: "1.0", then "MIME-Version: 1.0") and
// "$MessageID" from the note's universal id.
STATUS NoteWriter::WriteNoteItems() {
    std::vector<std::uint8_t> version;
    STATUS status = BuildRfc822Value("1.0", "MIME-Version", ": ", "1.0\r\n", &version);
    if (status != kOK) return status;
    plat::ItemDelete(note_, "MIME_Version", 12);
    status = plat::ItemAppend(note_, kNoteItemFlags, "MIME_Version", 12, plat::TYPE_RFC822_TEXT, version.data(),
                              static_cast<plat::DWORD>(version.size()));
    if (status != plat::NOERROR) return status;
    const std::string token = run_->token;
    const std::string id = "<OF" + token.substr(0, 8) + "." + token.substr(8, 8) + "-ON" + token.substr(16, 8) + "." +
                           token.substr(24, 8) + "@LocalDomain>";
    plat::ItemDelete(note_, "$MessageID", 10);
    return plat::ItemAppend(note_, kNoteItemFlags, "$MessageID", 10, plat::TYPE_TEXT, id.data(),
                            static_cast<plat::DWORD>(id.size()));
}

void NoteWriter::AppendPart(std::uint32_t flags, std::uint8_t type, const std::string& boundary,
                            const std::string& headers, const std::string& body) {
    std::uint32_t length = 0;
    STATUS status = AssembleMimePart(flags, type, {boundary, headers, body}, work_, kWorkBlockSize, &length);
    if (status == kOK) status = plat::ItemAppendByBlock(note_, kPartItemFlags, target_.c_str(), TargetLength(), block_, length);
    run_->Fail(status);
}

// A part whose body the generation writes: into the rest of the work block,
// after a CR LF, or (a long body) into a part file of the note, whose text
// is taken back. A body with lines too long to travel goes quoted-printable;
// one too large for the work block is kept in an attachment the part names.
void NoteWriter::GeneratedPart(ZervaRTChunk* chunk, const char* kind, const std::string& options,
                               std::uint16_t partNumber, std::uint32_t flags, const std::string& boundary,
                               const std::string& headers, ZervaRTChunk::ImageOffsetInfo* images) {
    const std::uint32_t offset = MimePartTextOffset();
    const std::size_t texts = boundary.size() + headers.size();
    if (MimePartHeaderLength() == 0 || offset + texts + 2 + 2 > kPartSpace) {
        run_->Fail(MimePartHeaderLength() == 0 ? kOperationFailed : kArgumentError);
        return;
    }
    std::uint8_t* body = work_ + offset + texts;
    std::uint32_t capacity = static_cast<std::uint32_t>(kPartSpace - MimePartHeaderLength() - texts - 2);
    char name[128] = {};
    const std::string generation = GenerationOptions(*run_, kind, headers, options);
    chunk->GenerateHTMLToMime(0, 1, kind, generation.c_str(), ClampToWord(generation.size()),
                              reinterpret_cast<char*>(body + 2), &capacity, partNumber, name, nullptr,
                              run_->outputName.c_str(), run_->actOnText, run_->queryLinkData, run_->linkFlags,
                              &run_->sectionFlag, images);
    if (GenerationOutcome(chunk) != kOK) {
        if (name[0] != '\0') attached_.push_back(name);
        run_->Fail(GenerationOutcome(chunk));
        return;
    }
    // The whole text: the part file's, then what stayed in the block.
    std::string text;
    if (name[0] != '\0') {
        const STATUS taken = TakeAttachment(note_, name, &text);
        if (taken != kOK) {
            attached_.push_back(name);
            run_->Fail(taken);
            return;
        }
    }
    text.append(reinterpret_cast<const char*>(body + 2), capacity);
    NoteNamedPictures(run_, text);
    // A stored part holds the message's bytes: the text in its character set,
    // its line ends made CR LF first (in a set of two bytes a character, a
    // line end is no single byte).
    std::string bytes;
    OutputCharset(run_->textCharsetId).Append(CanonicalLineEnds(text), &bytes);
    text.swap(bytes);
    // The headers end in an empty line.
    std::string header = headers.substr(0, headers.size() >= 4 ? headers.size() - 4 : 0);
    FinishGeneratedPart(*run_, &header, &text, false, false, GeneratesQuotedPrintable(generation));
    const std::string partHeaders = header + kCrLf + kCrLf;
    if (offset + boundary.size() + partHeaders.size() + 2 + text.size() <= kPartSpace - 2) {
        AppendPart(flags, kPartBody, boundary, partHeaders, kCrLf + text);
        return;
    }
    std::string attachment;
    const STATUS status = AttachText("MP" + std::to_string(partNumber), "htm", text, &attachment);
    if (status != kOK) {
        run_->Fail(status);
        return;
    }
    AppendPart(flags | kPartBodyInFile, kPartBody, boundary, partHeaders, attachment);
}

// The text/plain part: the rich text of the field "AltMimeField=" names, as
// plain text.
bool NoteWriter::PlainPart() {
    std::string field = run_->options.Value("AltMimeField=");
    if (field.size() > kFieldNameLength) field.resize(kFieldNameLength);
    if (field.empty()) return false;
    ZervaRTItem alternative(run_->session);
    alternative.ConnectBackendInternal(item_, field.c_str());
    if (alternative.connected == 0 || alternative.defaultChunk == nullptr) return false;
    GeneratedPart(alternative.defaultChunk, "Plain Text", run_->options.text(), 1,
                  kPartHasBoundary | kPartHasHeaders, PartLine(MimeLevel::Alternative, run_->tail) + kCrLf,
                  GivenHeaders(PlainHeader(*run_)), nullptr);
    return true;
}

// An empty text/plain part: the body of a message that leaves the HTML out
// and has no other text, so that the message (and its alternative level,
// which a multipart needs one part in at least) is whole.
void NoteWriter::EmptyTextPart() {
    AppendPart(kPartHasHeaders | (run_->multipart ? kPartHasBoundary : 0), kPartBody,
               run_->multipart ? PartLine(MimeLevel::Alternative, run_->tail) + kCrLf : "",
               GivenHeaders(PlainHeader(*run_)), kCrLf);
}

// The text/html part (in body mode 0 a text/plain main body), a member of
// the alternative level when there is one.
void NoteWriter::MainPart() {
    const std::string boundary = run_->multipart ? PartLine(MimeLevel::Alternative, run_->tail) + kCrLf : "";
    const std::uint32_t flags = kPartHasHeaders | (run_->multipart ? kPartHasBoundary : 0);
    if (run_->bodyMode != 0) {
        GeneratedPart(run_->chunk, run_->kind.empty() ? nullptr : run_->kind.c_str(), run_->htmlOptions, 2, flags,
                      boundary, GivenHeaders(run_->htmlHeader), run_->ImageList());
        return;
    }
    const std::string headers = GivenHeaders(PlainHeader(*run_));
    if (!run_->bodyAttachment.empty()) {
        AppendPart(flags | kPartBodyInFile, kPartBody, boundary, headers, run_->bodyAttachment);
        return;
    }
    GeneratedPart(run_->chunk, "Plain Text", run_->options.text(), 3, flags, boundary, headers, nullptr);
}

// The icons, pictures and image resources of the related level. A large
// picture or image resource is kept in an attachment the part names.
void NoteWriter::RelatedParts() {
    const std::string boundary = PartLine(MimeLevel::Related, run_->tail) + kCrLf;
    run_->Fail(WalkRelatedParts(*run_, [&](const RelatedPart& part) {
        const std::string headers = CrLfLines(part.headers.substr(0, part.headers.size() - 1)) + kCrLf;
        std::string body = CrLfLines(part.body);
        std::uint32_t flags = kPartHasBoundary | kPartHasHeaders;
        if (part.fileType != nullptr && body.size() > kLargestInlineImage) {
            std::string name;
            const STATUS status = AttachText("mime" + std::to_string(part.recordIndex), part.fileType, body, &name);
            if (status != kOK) return status;
            body = name;
            flags |= kPartBodyInFile;
        }
        AppendPart(flags, kPartBody, boundary, headers, body);
        return run_->status;
    }));
}

// Writes the text to a temporary file named "<stem>_<last 8 digits of the
// token>.<type>" (a number added when the note's attachments hold the name
// already), attaches it to the note under that name and removes the file.
STATUS NoteWriter::AttachText(const std::string& prefix, const char* type, const std::string& text,
                              std::string* name) {
    const std::string stem = prefix + "_" + run_->tail.substr(run_->tail.size() - 8);
    *name = stem + "." + type;
    plat::BLOCKID existing;
    for (int number = 2; FindAttachmentItem(note_, name->c_str(), &existing, 0) == kOK; ++number)
        *name = stem + "_" + std::to_string(number) + "." + type;
    // The file on disk has a name of its own (the attachment's name is given
    // apart), so that runs in other processes, whose tokens may end in the
    // same digits, never write or remove each other's file.
    std::string path = TempDirectory() + *name + ".XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        ShowTemporaryFileNotMade();
        return kOperationFailed;
    }
    std::FILE* file = ::fdopen(fd, "w");
    if (file == nullptr) {
        ::close(fd);
        std::remove(path.c_str());
        return kOperationFailed;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    STATUS status = written && closed ? kOK : kOperationFailed;
    if (status == kOK)
        status = plat::NoteAttachFile(note_, "$FILE", 5, path.c_str(), name->c_str(), plat::ATTACH_DEFAULT);
    std::remove(path.c_str());
    if (status == kOK) attached_.push_back(*name);
    return status;
}

// A part for each file hotspot's attachment, its body the attachment's
// name in the note. A hotspot whose attachment is gone fails the run.
void NoteWriter::AttachmentParts() {
    const std::string boundary = PartLine(MimeLevel::Mixed, run_->tail) + kCrLf;
    ForEachAttachment(run_, [&](const std::string& attachment, const std::string& fileName) {
        if (run_->status != kOK) return;
        AppendPart(kPartHasBoundary | kPartHasHeaders | kPartBodyInFile | kPartAttachment, kPartBody, boundary,
                   "Content-Type: application/octet-stream" +
                       FileNameParameter("name", plat::LmbcsToNative(attachment), kCrLf) + kCrLf +
                       "Content-Disposition: attachment" +
                       FileNameParameter("filename", plat::LmbcsToNative(fileName), kCrLf) + kCrLf +
                       "Content-Transfer-Encoding: binary" + kCrLf + kCrLf,
                   attachment);
    });
}

// The attachments the replaced parts kept their bodies in (pictures and
// long bodies, not the document's own attachments) go with them: a
// conversion repeated with "Overwrite=Yes" leaves the attachments of one.
// They go only once the new parts stand, in the note update that stores
// them.
STATUS NoteWriter::DetachReplaced() {
    if (kept_.empty()) return kOK;
    for (const KeptItem& item : kept_.front().second) {
        MIMEPartHeader header;
        MimePartTexts texts;
        if (ParseMimePart(item.value.data(), static_cast<std::uint32_t>(item.value.size()), &header, &texts) != kOK ||
            (header.flags & kPartBodyInFile) == 0 || (header.flags & kPartAttachment) != 0)
            continue;
        const std::string name(texts.body.substr(0, texts.body.find_first_of("\r\n")));
        if (name.empty() || name == run_->bodyAttachment ||
            std::find(attached_.begin(), attached_.end(), name) != attached_.end())
            continue;
        plat::BLOCKID file;
        if (FindAttachmentItem(note_, name.c_str(), &file, 0) != kOK) continue;
        const STATUS status = plat::NoteDetachFile(note_, file);
        if (status != plat::NOERROR) return status;
    }
    return kOK;
}

// The tracking items of a native MIME note.
STATUS NoteWriter::Track() {
    STATUS status = plat::ItemSetText(note_, "$NoteHasNativeMIME", "1", 1);
    if (status == plat::NOERROR) status = plat::ItemSetText(note_, "$MsgTrackFlags", "0", 1);
    if (status != plat::NOERROR) return status;
    std::string track;
    if (!run_->options.Get("MimeTrack=", &track)) {
        char user[kUserNameSize] = {}, canonical[kUserNameSize] = {}, abbreviated[kUserNameSize] = {};
        const bool named = plat::UserName(user, sizeof user) == plat::NOERROR &&
                           plat::NameCanonicalize(user, canonical, sizeof canonical) == plat::NOERROR &&
                           plat::NameAbbreviate(canonical, abbreviated, sizeof abbreviated) == plat::NOERROR;
        const std::string process = run_->options.Value("ProcName=");
        track = std::string("Itemized by ") + kIdentificationText;
        if (named && !process.empty()) track += " in '" + process + "' on " + abbreviated;
        else if (named) track += std::string(" on ") + abbreviated;
    }
    return plat::ItemSetText(note_, "$MIMETrack", track.data(),
                             ClampToWord(track.size()));
}

// Body mode 1 updates the note only with "ForceSave=Yes"; body mode 0
// unless "OverrideSave=Yes".
void NoteWriter::SaveRules() {
    const bool update = run_->bodyMode == 1 ? run_->options.Is("ForceSave=", "YES")
                                            : !run_->options.Is("OverrideSave=", "YES");
    if (!update) return;
    const plat::STATUS status = plat::NoteUpdate(note_, plat::UPDATE_FORCE);
    if (status == plat::NOERROR) return;
    char text[1024];
    plat::StatusText(status, text, sizeof text);
    ShowHostMessage(text);
    plat::LogLine(0, "Error: %s", text);
    run_->Fail(status);
}

void NoteWriter::Rollback() {
    for (const auto& [name, items] : kept_) RestoreItems(note_, name.c_str(), items);
    for (const std::string& name : attached_) {
        plat::BLOCKID file;
        if (FindAttachmentItem(note_, name.c_str(), &file, 0) == kOK) plat::NoteDetachFile(note_, file);
    }
    item_->work->mode = oldMode_;
}

void NoteWriter::Write() {
    try {
        WriteParts();
    } catch (const std::bad_alloc&) {
        // The note gets back the items it had.
        run_->Fail(kOutOfMemory);
        Rollback();
        throw;
    }
}

void NoteWriter::WriteParts() {
    if (!Begin()) {
        if (!kept_.empty()) Rollback();
        return;
    }
    // Attachments make a mixed level, icons and pictures a related one;
    // without them the levels are the caller's choice: an alternative level
    // for "MultiPart=Yes" or a text/plain part.
    run_->mixed = run_->scan.mixed;
    run_->related = run_->scan.related || run_->mixed;
    const std::string field = run_->options.Value("AltMimeField=");
    run_->multipart = run_->related || run_->options.Is("MultiPart=", "Yes") || !field.empty();
    const std::uint32_t member = kPartHasBoundary | kPartHasHeaders;
    bool plainWritten = false;
    if (run_->mixed) {
        AppendPart(kPartHasHeaders, kPartProlog, "",
                   "Content-Type: multipart/mixed; boundary=\"" + BoundaryParameter(MimeLevel::Mixed, run_->tail) +
                       "\"" + kCrLf + kCrLf,
                   kPreamble);
    }
    if (run_->related) {
        AppendPart(run_->mixed ? member : kPartHasHeaders, kPartProlog,
                   run_->mixed ? PartLine(MimeLevel::Mixed, run_->tail) + kCrLf : "",
                   "Content-Type: multipart/related; boundary=\"" +
                       BoundaryParameter(MimeLevel::Related, run_->tail) + "\"" + kCrLf + kCrLf,
                   run_->mixed ? kCrLf : kPreamble);
    }
    if (run_->multipart) {
        AppendPart(run_->related ? member : kPartHasHeaders, kPartProlog,
                   run_->related ? PartLine(MimeLevel::Related, run_->tail) + kCrLf : "",
                   "Content-Type: multipart/alternative; boundary=\"" +
                       BoundaryParameter(MimeLevel::Alternative, run_->tail) + "\"" + kCrLf + kCrLf,
                   kCrLf);
        plainWritten = PlainPart();
    }
    if (!run_->options.Is("SkipHTML=", "Yes")) MainPart();
    else if (!plainWritten) EmptyTextPart();
    if (run_->multipart) {
        AppendPart(kPartHasBoundary, kPartClosing, CloseLine(MimeLevel::Alternative, run_->tail) + kCrLf, "", "");
    }
    if (run_->related) {
        RelatedParts();
        AppendPart(kPartHasBoundary, kPartClosing, CloseLine(MimeLevel::Related, run_->tail) + kCrLf, "", "");
    }
    if (run_->mixed) {
        AttachmentParts();
        AppendPart(kPartHasBoundary, kPartClosing, CloseLine(MimeLevel::Mixed, run_->tail) + kCrLf, "", "");
    }
    if (run_->status == kOK) run_->Fail(DetachReplaced());
    if (run_->status == kOK) run_->Fail(Track());
    if (run_->status == kOK) SaveRules();
    if (run_->status != kOK) Rollback();
}

} // namespace

void WriteNoteForm(MimeRun* run) { NoteWriter(run).Write(); }

} // namespace talix
