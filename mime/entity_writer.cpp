// ZervaRTItem::SaveAsMimeInternal: the set-up shared by the three forms of
// the MIME entity writer (output name, part headers, the note's token, the
// item's records, the rendering copy, the file and the mail header lines),
// then the form's own writing.
#include "mime/entity_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include <unistd.h>

#include "core/attachments.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/record_io.h"
#include "core/replacing_file.h"
#include "core/text_compare.h"
#include "engine/link_fixups.h"
#include "htmlgen/line_cutter.h"
#include "htmlgen/quoted_printable.h"
#include "mime/header_text.h"
#include "mime/mail_headers.h"
#include "core/charset_labels.h"
#include "mime/mime_icons.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"
#include "talix_platform/input_file.h"

namespace talix {

namespace {

constexpr std::size_t kCopyNameLength = 60;
constexpr std::size_t kTokenTail = 16;
constexpr const char* kDefaultFile = "export.mht";

const char* LevelWord(MimeLevel level) {
    switch (level) {
    case MimeLevel::Mixed: return "mixed";
    case MimeLevel::Related: return "related";
    case MimeLevel::Alternative: break;
    }
    return "alternative";
}

bool Given(const char* text) { return text != nullptr && text[0] != '\0'; }

// The "charset=" option as a parameter value: what cannot stand in a quoted
// header value (line ends, quotes) left out.
std::string Charset(const MimeOptions& options) {
    std::string charset;
    for (const char c : options.Value("charset=", "us-ascii")) {
        if (static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '"' && c != '\\') charset += c;
    }
    return charset.empty() ? "us-ascii" : charset;
}

// The character set a generated part's header names: us-ascii unless
// "charset=" names another, and then the set its text is written in (UTF-8
// where the platform cannot write the named one).
std::string HeaderCharset(const MimeRun& run) {
    return EqualNoCase(Charset(run.options).c_str(), "us-ascii") ? "us-ascii" : run.textCharset;
}

// The text/html part's header: the given one, else us-ascii, or
// quoted-printable in the set "charset=" names.
std::string HtmlHeader(const char* given, const MimeRun& run) {
    if (Given(given)) return given;
    const std::string charset = HeaderCharset(run);
    if (run.options.Is("QuotedPrintable=", "Yes") || !EqualNoCase(charset.c_str(), "us-ascii"))
        return "Content-Type: text/html; charset=\"" + charset + "\"\r\nContent-Transfer-Encoding: quoted-printable";
    return "Content-Type: text/html; charset=\"us-ascii\"";
}

// Reads the item's records when they are not read yet, after writing back
// changes it still holds.
STATUS ReadRecords(ZervaRTItem* item) {
    ItemWorkState* work = item->work;
    if (work->current != nullptr && item->cacheRecords != 0) {
        const STATUS status = item->Commit();
        if (status != kOK) return status;
    }
    if (work->current != nullptr) return kOK;
    STATUS status = kOK;
    ItemRecordList* list = SIAR(item, 0, nullptr, 1, 0, 0, nullptr, &status);
    if (list == nullptr) return kOutOfMemory;
    if (status != kOK) {
        DeleteItemRecordList(item->session, list);
        return status;
    }
    work->current = list;
    return kOK;
}

plat::WORD StoredType(const ZervaRTItem* item) {
    plat::WORD type = 0;
    if (plat::ItemInfo(item->noteHandle, item->itemName, NameLength(item->itemName), nullptr, &type, nullptr,
                       nullptr) != plat::NOERROR)
        return 0;
    return type;
}

// Says which file "AttachedFile=" named (path: its native name) and why it
// was not attached: what is wrong with it when it cannot be read, else the
// platform's words for the failure.
void ShowNotAttached(const MimeRun* run, const std::string& path, plat::STATUS status) {
    std::string diskPath = path;
    for (char& c : diskPath) {
        if (c == '\\') c = '/';
    }
    std::string why;
    const int fd = plat::OpenInputFile(diskPath.c_str(), &why);
    if (fd >= 0) {
        ::close(fd);
        char text[256];
        plat::StatusText(status, text, sizeof text);
        why = std::string("cannot be attached: ") + text;
    }
    ReportRefusal(run->session, "the file '%s' that AttachedFile= names %s", path.c_str(), why.c_str());
}

} // namespace

STATUS BodyAttachment(MimeRun* run) {
    if (run->options.Get("UseAttachedFile=", &run->bodyAttachment)) return kOK;
    std::string path;
    if (!run->options.Get("AttachedFile=", &path) || path.empty()) return kOK;
    const std::size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The option is in the platform's character set, as the attachment's
    // name stays; the file is opened by its name in the file system's.
    const std::string diskPath = plat::LmbcsToNative(path);
    const plat::STATUS status =
        plat::NoteAttachFile(run->item->noteHandle, "$FILE", 5, diskPath.c_str(), name.c_str(), plat::ATTACH_DEFAULT);
    if (status != plat::NOERROR) {
        ShowNotAttached(run, diskPath, status);
        return status;
    }
    run->bodyAttachment = name;
    run->bodyAttached = true;
    return kOK;
}

namespace {

// The eight icons of the generation's image list, named as the icon parts'
// Content-IDs.
void AddIconEntries(MimeRun* run) {
    const MimeIcon* icons = MimeIcons();
    for (std::size_t i = 0; i < kMimeIconCount; ++i) {
        auto entry = std::make_unique<ZervaRTChunk::ImageOffsetInfo>();
        entry->recordNumber = static_cast<std::uint16_t>(i + 1);
        entry->name = icons[i].name;
        entry->source = std::string("cid:") + icons[i].name;
        if (!run->images.empty()) run->images.back()->next = entry.get();
        run->images.push_back(std::move(entry));
    }
}

// The output file, written under a temporary name beside it until the
// message is whole.
std::FILE* OpenOutputFile(MimeRun* run, ReplacingFile* output) {
    if (output->Open(run->outputName, "w+")) return output->file();
    std::snprintf(run->session->messageBuffer, RARIvoSession::kMessageCapacity,
                  "TALIX: Export to MIME filename '%s' invalid", run->outputName.c_str());
    ShowHostMessage(run->session->messageBuffer);
    run->item->lastStatus = kItemNotFound;
    run->item->ownError = kItemNotFound;
    run->status = kItemNotFound;
    return nullptr;
}

void WriteHeaderLinesToFile(MimeRun* run, std::FILE* file, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string text = plat::LmbcsToNative(line) + "\n";
        errno = 0;
        if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) run->FailWriting(errno);
    }
}

} // namespace

std::string BoundaryParameter(MimeLevel level, const std::string& tail) {
    return std::string("=_") + LevelWord(level) + " " + tail + "_=";
}
std::string PartLine(MimeLevel level, const std::string& tail) { return "--" + BoundaryParameter(level, tail); }
std::string CloseLine(MimeLevel level, const std::string& tail) { return PartLine(level, tail) + "--"; }

void MimeRun::Fail(STATUS failure) {
    if (failure == kOK || status != kOK) return;
    status = failure;
    item->lastStatus = failure;
    item->ownError = kErrConversion;
}

void MimeRun::FailWriting(int error) {
    if (status != kOK) return;
    Fail(kFileNotWritten);
    item->ownError = 0;
    ShowFileNotWritten(outputName, std::strerror(error != 0 ? error : EIO));
}

void ForEachAttachment(MimeRun* run, const std::function<void(const std::string&, const std::string&)>& write) {
    std::string attachment, fileName;
    // The attachments written, by their names in lower case (a name
    // matches one that equals it ignoring case).
    std::unordered_set<std::string> written;
    const auto folded = [](std::string name) {
        for (char& c : name) c = LowerAscii(c);
        return name;
    };
    for (const CDRecordNode* node : run->scan.marks) {
        if (!FileHotspotNames(node, &attachment, &fileName)) continue;
        // A hotspot whose attachment is gone is a link that leads nowhere in
        // the document too: the message goes without its part.
        plat::BLOCKID block;
        if (FindAttachmentItem(run->item->noteHandle, attachment.c_str(), &block, 0) == kOK) {
            write(attachment, fileName);
            written.insert(folded(attachment));
        } else {
            const char* item = run->item->itemName != nullptr ? run->item->itemName : "";
            plat::LogLine(0, "Talix: the attachment '%s' a file hotspot of item '%s' names is not in the note; the "
                             "message goes without it",
                          attachment.c_str(), item);
        }
    }
    // The files of the stored message the item was read from, under the
    // names the note keeps them by, each once; one taken out of the note
    // since is no longer the message's.
    if (run->item->work == nullptr) return;
    for (const std::string& file : run->item->work->messageFiles) {
        plat::BLOCKID block;
        if (written.count(folded(file)) != 0 ||
            FindAttachmentItem(run->item->noteHandle, file.c_str(), &block, 0) != kOK)
            continue;
        write(file, file);
        written.insert(folded(file));
    }
}

std::string PlainHeader(const MimeRun& run) {
    if (!run.plainHeader.empty()) return run.plainHeader;
    std::string header;
    if (run.options.Get("AltMimeHeader=", &header) && !header.empty()) return header;
    const std::string charset = HeaderCharset(run);
    if (run.options.Is("QuotedPrintable=", "Yes"))
        return "Content-Type: text/plain; charset=\"" + charset + "\"\r\nContent-Transfer-Encoding: quoted-printable";
    if (!EqualNoCase(charset.c_str(), "us-ascii")) return "Content-Type: text/plain; charset=\"" + charset + "\"";
    return "Content-Type: text/plain; charset=\"us-ascii\"";
}

void ChooseTextCharset(MimeRun* run) {
    const std::string named = Charset(run->options);
    if (EqualNoCase(named.c_str(), "us-ascii")) return;
    // The option names a set as the platform's table does ("KOI8") or as
    // mail does ("koi8-r"). A set the platform does not know, or one that
    // mail readers know by no name, leaves the text in UTF-8.
    const std::uint16_t id = MessageCharsetId(named);
    const char* label = MessageCharsetLabel(id);
    if (label == nullptr) return;
    const OutputCharset charset(id);
    if (charset.IsUtf8() && id != plat::CHARSET_UTF8) return;
    // The header names the set as mail does: the option's own spelling where
    // it is the registered name, else the registered name.
    run->textCharset = EqualNoCase(named.c_str(), label) ? named : label;
    if (!charset.IsUtf8()) run->textCharsetId = id;
}

std::string GenerationOptions(const MimeRun& run, const char* kind, const std::string& header, std::string options) {
    if (ContainsNoCase(header, "quoted-printable") && !ContainsNoCase(options, "ContentTransferEncoding="))
        options += " ContentTransferEncoding=quoted-printable";
    // Plain text keeps each paragraph on a line of its own unless the
    // options say otherwise: run together, the last word of one paragraph
    // and the first of the next would read as one.
    if (kind != nullptr && EqualNoCase(kind, "Plain Text") && !ContainsNoCase(options, "NewlineOnParagraph="))
        options += " NewlineOnParagraph=Yes";
    if (run.textCharsetId != 0 && !ContainsNoCase(options, "Charset"))
        options += " CharsetNum=" + std::to_string(run.textCharsetId);
    return options;
}

namespace {

// Whether the text a reader decodes from the body is ASCII alone: the
// bytes of a quoted-printable body's escapes, else the body's own (in the
// platform's set, a byte below 0x20 other than tab and line ends begins a
// character outside ASCII).
bool DecodesToAscii(const std::string& body, bool quotedPrintable, bool lmbcs) {
    if (quotedPrintable) {
        for (std::size_t at = body.find('='); at != std::string::npos && at + 1 < body.size();
             at = body.find('=', at + 1)) {
            const char c = body[at + 1];
            if ((c >= '8' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) return false;
        }
        return true;
    }
    for (const char c : body) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || (lmbcs && b < 0x20 && b != '\t' && b != '\n' && b != '\r')) return false;
    }
    return true;
}

// Makes the header name quoted-printable as the transfer encoding: any
// other encoding it names gives way.
void SayQuotedPrintable(std::string* header) {
    std::string lines;
    // Lines end in CR LF or in LF alone (a header a caller gave).
    for (std::size_t at = 0; at <= header->size();) {
        std::size_t end = header->find('\n', at);
        if (end == std::string::npos) end = header->size();
        std::string line = header->substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!StartsWithNoCase(line.c_str(), "Content-Transfer-Encoding:") && !line.empty())
            lines += (lines.empty() ? "" : "\r\n") + line;
        at = end + 1;
    }
    *header = lines + "\r\nContent-Transfer-Encoding: quoted-printable";
}

// Makes a header whose Content-Type says us-ascii, names no character set
// (which means us-ascii) or names another set than the one the text is
// written in, name that set instead; another name of the same set stays.
// A header without a Content-Type line is left as it is.
void NameCharset(std::string* header, const std::string& charset) {
    // The Content-Type field: from its name to the first line end that no
    // folded line follows.
    std::size_t start = 0;
    while (!StartsWithNoCase(header->c_str() + start, "Content-Type:")) {
        start = header->find('\n', start);
        if (start == std::string::npos) return;
        ++start;
    }
    std::size_t end = start;
    for (;;) {
        end = header->find_first_of("\r\n", end);
        if (end == std::string::npos) {
            end = header->size();
            break;
        }
        const bool crLf = (*header)[end] == '\r' && end + 1 < header->size() && (*header)[end + 1] == '\n';
        const std::size_t next = end + (crLf ? 2 : 1);
        if (next >= header->size() || ((*header)[next] != ' ' && (*header)[next] != '\t')) break;
        end = next;
    }
    static const char kKey[] = "charset=";
    const std::string quoted = "\"" + charset + "\"";
    for (std::size_t at = start; at + sizeof kKey - 1 <= end; ++at) {
        if (!StartsWithNoCase(header->c_str() + at, kKey) || std::strchr("; \t", (*header)[at - 1]) == nullptr)
            continue;
        const std::size_t value = at + sizeof kKey - 1;
        std::size_t valueEnd = value;
        if (valueEnd < end && (*header)[valueEnd] == '"') {
            const std::size_t close = header->find('"', valueEnd + 1);
            valueEnd = close == std::string::npos || close > end ? end : close + 1;
        } else {
            while (valueEnd < end && std::strchr("; \t\r\n", (*header)[valueEnd]) == nullptr) ++valueEnd;
        }
        std::string named = header->substr(value, valueEnd - value);
        if (named.size() >= 2 && named.front() == '"' && named.back() == '"') named = named.substr(1, named.size() - 2);
        const std::uint16_t namedId = MessageCharsetId(named);
        const bool same = EqualNoCase(named.c_str(), charset.c_str()) ||
                          (namedId != 0 && namedId == MessageCharsetId(charset));
        if (EqualNoCase(named.c_str(), "us-ascii") || !same) header->replace(value, valueEnd - value, quoted);
        return;
    }
    while (end > start && ((*header)[end - 1] == ' ' || (*header)[end - 1] == '\t')) --end;
    header->insert(end, ((*header)[end - 1] == ';' ? " charset=" : "; charset=") + quoted);
}

// Whether the header names a transfer encoding the writer does not write a
// text in as it is (base64, or a word no reader knows): only 7bit, 8bit,
// binary and quoted-printable describe the text it writes.
bool NamesAnotherEncoding(const std::string& header) {
    static const char kField[] = "Content-Transfer-Encoding:";
    for (std::size_t at = 0; at < header.size();) {
        std::size_t end = header.find_first_of("\r\n", at);
        if (end == std::string::npos) end = header.size();
        if (StartsWithNoCase(header.c_str() + at, kField)) {
            std::string value = header.substr(at + sizeof kField - 1, end - at - (sizeof kField - 1));
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t") + 1);
            for (const char* known : {"7bit", "8bit", "binary", "quoted-printable"}) {
                if (EqualNoCase(value.c_str(), known)) return false;
            }
            return true;
        }
        at = end + 1;
    }
    return false;
}

// Whether the text can travel as it is in a part of the entity: no line of
// it may begin as one of the entity's boundary lines does (a text that
// holds line ends of its own, such as a text run with a line feed in it,
// would otherwise close the levels around it early and lose the rest of
// the message), and it may hold neither a NUL byte nor a carriage return
// that ends no line (readers take it for a line end of its own).
// Quoted-printable writes "=" as "=3D", so that no line of it can begin so,
// and escapes the others.
bool TravelsAsItIs(const MimeRun& run, const std::string& body, bool lmbcs) {
    const std::string lines[] = {PartLine(MimeLevel::Mixed, run.tail), PartLine(MimeLevel::Related, run.tail),
                                 PartLine(MimeLevel::Alternative, run.tail)};
    bool lineStart = true;
    for (std::size_t at = 0; at < body.size();) {
        const char c = body[at];
        if (lineStart && c == '-') {
            for (const std::string& line : lines)
                if (body.compare(at, line.size(), line) == 0) return false;
        }
        if (c == '\0') return false;
        if (c == '\r' && (at + 1 >= body.size() || body[at + 1] != '\n')) return false;
        lineStart = c == '\n';
        at += lmbcs ? LmbcsCharBytes(body.data() + at, body.size() - at) : 1;
    }
    return true;
}

} // namespace

bool GeneratesQuotedPrintable(const std::string& options) {
    char value[32];
    return ApplyFlagOption(options.c_str(), "ContentTransferEncoding=", value, sizeof value, 1, 0,
                           "quoted-printable", nullptr) != 0;
}

void FinishGeneratedPart(const MimeRun& run, std::string* header, std::string* body, bool lfOnly, bool lmbcs,
                         bool generatedQuotedPrintable) {
    constexpr std::size_t kLongestLine = 998;
    std::size_t longest = 0;
    for (std::size_t at = 0; at < body->size();) {
        std::size_t end = body->find('\n', at);
        if (end == std::string::npos) end = body->size();
        std::size_t length = end - at;
        if (length > 0 && (*body)[end - 1] == '\r') --length;
        if (length > longest) longest = length;
        at = end + 1;
    }
    // The header and the text agree on the transfer encoding: a text the
    // generation wrote quoted-printable (its options asked for it) gets a
    // header that says so; a text the header calls quoted-printable, or one
    // that cannot travel as it is, is encoded, and so is one whose header
    // names an encoding it is not in (base64), the header then saying
    // quoted-printable.
    const bool otherEncoding = NamesAnotherEncoding(*header);
    const bool headerSays = ContainsNoCase(*header, "quoted-printable") && !otherEncoding;
    bool quotedPrintable = generatedQuotedPrintable;
    if (!quotedPrintable &&
        (headerSays || otherEncoding || longest > kLongestLine || !TravelsAsItIs(run, *body, lmbcs))) {
        *body = QuotedPrintableText(*body, lfOnly, lmbcs);
        quotedPrintable = true;
    }
    if (quotedPrintable && !headerSays) SayQuotedPrintable(header);
    if (!DecodesToAscii(*body, quotedPrintable, lmbcs)) NameCharset(header, run.textCharset);
}

void NoteNamedPictures(MimeRun* run, const std::string& html) {
    if (html.find(std::string("cid:") + MimeIconOf(IconKind::TableTab).name) != std::string::npos)
        run->tabPictureNamed = true;
}

std::string QuotedParameter(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        // A line end or other control character cannot stand in a header.
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string FileNameParameter(const char* key, const std::string& text, const char* lineEnd) {
    std::string name;
    bool ascii = true;
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
        name += c;
    }
    if (ascii) return std::string("; ") + key + "=" + QuotedParameter(name);

    // A name outside US-ASCII goes as the extended value of the mail
    // standards (charset, empty language, "%" escapes of its UTF-8 bytes):
    // raw UTF-8 in a header reads as garbage for readers of plain mail. It
    // starts a line of its own; a long name is continued over numbered
    // pieces, a line each, each ending on a whole character, so that no
    // line passes 78 characters.
    constexpr std::size_t kPieceLength = 56;
    auto plain = [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               (c != 0 && std::strchr("!#$&+-.^_`|~", c) != nullptr);
    };
    std::vector<std::string> pieces(1);
    for (std::size_t at = 0; at < name.size();) {
        std::size_t end = at + 1;
        while (end < name.size() && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) ++end;
        std::string encoded;
        for (std::size_t i = at; i < end; ++i) {
            const auto c = static_cast<unsigned char>(name[i]);
            if (plain(c)) {
                encoded += static_cast<char>(c);
            } else {
                static const char kHex[] = "0123456789ABCDEF";
                encoded += '%';
                encoded += kHex[c >> 4];
                encoded += kHex[c & 0xF];
            }
        }
        if (!pieces.back().empty() && pieces.back().size() + encoded.size() > kPieceLength) pieces.emplace_back();
        pieces.back() += encoded;
        at = end;
    }
    const std::string fold = std::string(";") + lineEnd + "\t";
    if (pieces.size() == 1) return fold + key + "*=UTF-8''" + pieces[0];
    std::string written;
    for (std::size_t number = 0; number < pieces.size(); ++number) {
        written += fold + key + "*" + std::to_string(number) + "*=" + (number == 0 ? "UTF-8''" : "") + pieces[number];
    }
    return written;
}

std::string LfLines(std::string text) {
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
    return text;
}

std::string RenderingCopyName(const std::string& outputName) {
    return outputName.substr(0, kCopyNameLength) + "_M$";
}

STATUS MakeRenderingCopy(MimeRun* run, const std::string& copyName) {
    ImageOffsetInfo* list = nullptr;
    // The list is freed however the copy ends (it may run out of memory).
    struct ListOwner {
        ImageOffsetInfo*& list;
        ~ListOwner() { FreeImageOffsetList(list); }
    } owner{list};
    ImageOffsetInfo** tail = &list;
    for (const auto& icon : run->images) {
        auto* entry = new (std::nothrow) ImageOffsetInfo();
        if (entry == nullptr) return kOutOfMemory;
        *tail = entry;
        tail = &entry->next;
        entry->recordNumber = icon->recordNumber;
        entry->name = icon->name;
        entry->source = icon->source;
    }
    STATUS status = kOK;
    {
        ZervaRTItem copy(run->session);
        status = copy.CreateBackend(run->item->noteHandle, copyName.c_str(), 1);
        if (status == kOK) status = RewriteImagesAsURLs(run->item, &copy, 1, &list);
        if (status == kOK) status = copy.Commit();
    }
    // The entries the rewriting added (after the icons) are the pictures,
    // each with the URL of its copy. The buffer form's HTML refers to the
    // pictures' own parts instead.
    std::size_t index = 0;
    for (ImageOffsetInfo* entry = list; status == kOK && run->form == MimeForm::Note && entry != nullptr;
         entry = entry->next, ++index) {
        if (index < kMimeIconCount) continue;
        auto image = std::make_unique<ZervaRTChunk::ImageOffsetInfo>();
        image->recordNumber = entry->recordNumber;
        image->source = entry->source;
        run->images.back()->next = image.get();
        run->images.push_back(std::move(image));
    }
    return status;
}

STATUS TakeAttachment(plat::NOTEHANDLE note, const std::string& name, std::string* content) {
    char* data = nullptr;
    std::uint32_t size = 0;
    STATUS status = ReadAttachmentToMemory(note, name.c_str(), &data, &size);
    if (status != kOK) return status;
    content->append(data, size);
    std::free(data);
    plat::BLOCKID item;
    status = FindAttachmentItem(note, name.c_str(), &item, 0);
    if (status == kOK) status = plat::NoteDetachFile(note, item);
    return status;
}

} // namespace talix

using namespace talix;

void ZervaRTItem::SaveAsMimeInternal(const char* outputName, const char* htmlHeader, const char* plainHeader,
                                     const char* kind, const char* mimeOptions, std::uint16_t mimeOptionsLength,
                                     const char* htmlOptions, std::uint16_t htmlOptionsLength, char* buffer,
                                     std::uint32_t* size, int bodyMode, int toFile, ZervaRTChunk::ActOnText actOnText,
                                     ZervaRTChunk::QueryLinkData queryLinkData) {
    lastStatus = kOK;
    ownError = 0;
    // Memory that runs out fails the conversion: a file being written is
    // removed as the run unwinds, a note keeps the items it had.
    try {
        [&] {
            MimeRun run;
            run.item = this;
            run.session = session;
            if (!ItemReady(this) || session == nullptr || !session->IsUsable()) {
                lastStatus = kOutOfMemory;
                ownError = kErrConversion;
                return;
            }
            run.form = buffer != nullptr ? MimeForm::Buffer : (toFile != 0 ? MimeForm::File : MimeForm::Note);
            run.options = MimeOptions(mimeOptions, mimeOptionsLength);
            run.htmlOptions = MimeOptions(htmlOptions, htmlOptionsLength).text();
            run.bodyMode = bodyMode;
            run.actOnText = actOnText;
            run.queryLinkData = queryLinkData;
            run.kind = Given(kind) ? kind : "";
            if (run.form == MimeForm::Buffer) {
                run.buffer = buffer;
                run.capacity = size != nullptr ? *size : 0;
                if (size != nullptr) *size = 0;
            }

            // The output name, the part headers, the note's token.
            if (Given(outputName)) run.outputName = outputName;
            else if (run.form == MimeForm::Buffer) run.outputName.assign(1, '0');
            else if (run.form == MimeForm::File) run.outputName = kDefaultFile;
            else if (itemName != nullptr) run.outputName = itemName;
            if (run.outputName.empty() || noteHandle == 0 || itemName == nullptr) {
                run.Fail(kArgumentError);
                return;
            }
            ChooseTextCharset(&run);
            run.htmlHeader = HtmlHeader(htmlHeader, run);
            if (Given(plainHeader)) run.plainHeader = plainHeader;
            const STATUS tokenStatus = ReadNoteToken(noteHandle, run.token);
            if (tokenStatus != kOK) {
                run.Fail(tokenStatus);
                return;
            }
            run.tail = std::string(run.token + std::strlen(run.token) - kTokenTail);

            // A file export of an item that is itself stored MIME copies its parts.
            const bool copyStoredParts = run.form == MimeForm::File && run.options.Is("UseMailFields=", "Yes") &&
                                         StoredType(this) == plat::TYPE_MIME_PART;
            if (defaultChunk == nullptr && ResetDefaultChunk(this) != kOK) {
                run.Fail(kOutOfMemory);
                return;
            }
            run.chunk = defaultChunk;
            if (!copyStoredParts) {
                const STATUS status = ReadRecords(this);
                if (status != kOK) {
                    run.Fail(status == kDamagedRecords ? status : kOutOfMemory);
                    return;
                }
            }
            if (run.form != MimeForm::File) AddIconEntries(&run);
            if (work->current != nullptr) run.scan = ScanEntityRecords(work->current->head);
            // The files of a stored message the item was read from make the
            // mixed level, as file hotspots do.
            if (!work->messageFiles.empty()) run.scan.mixed = true;

            if (run.form == MimeForm::Note) {
                WriteNoteForm(&run);
                return;
            }
            if (run.form == MimeForm::Buffer) {
                const STATUS status = MakeRenderingCopy(&run, RenderingCopyName(run.outputName));
                if (status != kOK) {
                    run.Fail(status);
                    return;
                }
            }

            MailHeaderSource source;
            source.session = session;
            source.note = noteHandle;
            source.database = databaseHandle;
            source.noteId = noteID;
            source.itemName = itemName;
            source.token = run.token;
            const std::vector<std::string> lines = MailHeaderLines(source, run.options);
            if (run.form == MimeForm::Buffer) {
                WriteBufferForm(&run, lines);
                if (size != nullptr) *size = run.actOnText != nullptr ? 0 : run.used;
                return;
            }

            ReplacingFile output;
            std::FILE* file = OpenOutputFile(&run, &output);
            if (file == nullptr) return;
            WriteHeaderLinesToFile(&run, file, lines);
            if (copyStoredParts) {
                const STATUS copied = WriteMIMEPartItems(session, noteHandle, itemName, file);
                if (copied == kFileNotWritten) run.FailWriting(errno);
                else run.Fail(copied);
            } else {
                run.Fail(BodyAttachment(&run));
                WriteFileForm(&run, file);
            }
            // A message that failed leaves no file, and an older one as it was.
            if (run.status == kOK && !output.Commit()) run.FailWriting(errno);
        }();
    } catch (const std::bad_alloc&) {
        lastStatus = kOutOfMemory;
        ownError = kErrConversion;
        if (buffer != nullptr && size != nullptr) *size = 0;
    }
}
