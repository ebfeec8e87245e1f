// The files of a mail message, attached to its note when the message is
// read into rich text: every part that is neither the HTML body, nor a
// picture the HTML shows, nor a text the message shows (its plain-text
// version) becomes a "$FILE" attachment holding the part's content with its
// transfer encoding undone, under the part's file name made safe and free
// in the note. When one part cannot be stored, the files attached before it
// are taken back and the failure names the part.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/ascii.h"
#include "core/attachments.h"
#include "core/shared_services.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "mime/mime_reading.h"
#include "mime/parameter_values.h"
#include "mime/part_walk.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kLongestStoredName = 255;
constexpr std::size_t kUniqueSuffixRoom = 12;   // "_" and a number before the extension
constexpr std::size_t kLongestExtension = 32;   // kept when a long name is cut, with its dot

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

// The value of the header named name ("Content-Type") of the header text,
// from after its colon to the end of the lines folded into it; empty when
// the part has no such header.
std::string_view HeaderValue(std::string_view headers, std::string_view name) {
    for (std::size_t line = 0; line < headers.size();) {
        if (StartsWithNoCase(headers.substr(line), name)) {
            std::size_t at = line + name.size();
            while (at < headers.size() && (headers[at] == ' ' || headers[at] == '\t')) ++at;
            if (at < headers.size() && headers[at] == ':') {
                const std::size_t end = MimeHeaderValueEnd(headers, at);
                std::string_view value = headers.substr(at + 1, end - at - 1);
                while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
                return value;
            }
        }
        const std::size_t lf = headers.find('\n', line);
        if (lf == std::string_view::npos) break;
        line = lf + 1;
    }
    return {};
}

// A picture the picture reader takes for the HTML: a GIF or JPEG part (of
// no type it refuses), whatever the length of its body.
bool PictureForTheHtml(const LockedPart& part) { return MimePictureKind(part.texts.headers) != 0; }

// The file name the part gives (UTF-8): the "filename" parameter of its
// Content-Disposition, else the "name" parameter of its Content-Type, in
// any of the forms mail programs write them; else a "filename=" anywhere
// in its header text. Empty when it gives none.
std::string GivenFileName(std::string_view headers) {
    std::string name = MimeFileNameParameter(HeaderValue(headers, "Content-Disposition"), "filename");
    if (name.empty()) name = MimeFileNameParameter(HeaderValue(headers, "Content-Type"), "name");
    if (name.empty()) name = MimeParameterValue(headers, "filename=");
    return name;
}

// Whether the part is a picture for the HTML: one the picture reader takes
// that belongs to the HTML (a picture of a multipart/related level, the
// HTML's own) or whose Content-ID a source of the HTML names. A picture
// beside the text that no source names (a photo sent in a multipart/mixed
// level) is a file of the message.
bool PictureOfTheHtml(const LockedPart& part, std::string_view level, const std::unordered_set<std::string>& shown) {
    if (!PictureForTheHtml(part)) return false;
    return EqualNoCase(level, "related") || shown.count(Lower(ImageContentId(part.texts.headers))) != 0;
}

// Whether the body part is a file of the message. The HTML body and the
// pictures the HTML shows are read into the rich text; a text part that
// names no file and is not marked as an attachment is a text the message
// shows when it is another version of the body: a part of a
// multipart/alternative level (the plain-text version, most often), or of
// a level whose kind is not known. Every other part is a file: attachments
// of any type, inline ones, parts of any other type, and texts beside the
// body in another kind of level (a footer a mailing list adds, a second
// HTML part), which the rich text does not hold.
bool IsFilePart(const LockedPart& part, std::string_view level, const std::unordered_set<std::string>& shown) {
    const std::string_view headers = part.texts.headers;
    if (MimePartIsAttachment(headers)) return true;
    if (PictureOfTheHtml(part, level, shown)) return false;
    const std::string_view type = HeaderValue(headers, "Content-Type");
    const bool text = type.empty() || StartsWithNoCase(type, "text/");
    if (!text || !GivenFileName(headers).empty()) return true;
    return !level.empty() && !EqualNoCase(level, "alternative");
}

// The multipart levels of a message, by boundary, as its prolog parts name
// them: "mixed", "alternative", "related" ...
class MultipartLevels {
public:
    void Add(const LockedPart& part) {
        const std::string_view type = HeaderValue(part.texts.headers, "Content-Type");
        if (!StartsWithNoCase(type, "multipart/")) return;
        std::string_view kind = type.substr(10);
        kind = kind.substr(0, std::min(kind.size(), kind.find_first_of("; \t\r\n")));
        const std::string boundary = MimeParameterValue(type, "boundary=");
        if (!boundary.empty()) kinds_.emplace(boundary, kind);
    }

    // The kind of level the part belongs to by its boundary line; empty when
    // it has none or its level is not known.
    std::string_view Of(const LockedPart& part) const {
        std::string_view line = part.texts.boundary;
        if (line.substr(0, 2) != "--") return {};
        line.remove_prefix(2);
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' ||
                                 line.back() == '\t'))
            line.remove_suffix(1);
        const auto found = kinds_.find(std::string(line));
        return found == kinds_.end() ? std::string_view() : std::string_view(found->second);
    }

private:
    std::unordered_map<std::string, std::string> kinds_;
};

// A name as a file system takes it without surprise, from the name a
// message gives (UTF-8): only what follows its last "/" or "\", each
// control character and ":" as "_", no run of dots, no blank or dot at
// either end; a character cut off at the end is dropped. Empty when
// nothing is left.
std::string SafeFileName(std::string_view given) {
    const std::size_t separator = given.find_last_of("/\\");
    if (separator != std::string_view::npos) given.remove_prefix(separator + 1);
    std::string name;
    for (std::size_t at = 0; at < given.size(); ++at) {
        const auto c = static_cast<unsigned char>(given[at]);
        // C1 control characters are two bytes in UTF-8: 0xC2 0x80 to 0x9F.
        if (c == 0xC2 && at + 1 < given.size() && static_cast<unsigned char>(given[at + 1]) < 0xA0 &&
            static_cast<unsigned char>(given[at + 1]) >= 0x80) {
            name.push_back('_');
            ++at;
            continue;
        }
        if (c < 0x20 || c == 0x7F || c == ':') {
            name.push_back('_');
            continue;
        }
        if (c == '.' && !name.empty() && name.back() == '.') continue;
        name.push_back(static_cast<char>(c));
    }
    // A multibyte character the length limit cut in two.
    std::size_t lead = name.size();
    while (lead > 0 && (static_cast<unsigned char>(name[lead - 1]) & 0xC0) == 0x80) --lead;
    if (lead > 0 && static_cast<unsigned char>(name[lead - 1]) >= 0xC0) {
        const auto first = static_cast<unsigned char>(name[lead - 1]);
        const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
        if (name.size() - (lead - 1) < length) name.resize(lead - 1);
    }
    std::size_t from = 0;
    while (from < name.size() && (name[from] == ' ' || name[from] == '\t')) ++from;
    name.erase(0, from);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '.')) name.pop_back();
    return name;
}

// Gives each file a stored name no other attachment of the note holds
// (letters alike in either case): the name itself, else "base_N.ext" with
// the first free N from 2; files without a name are "file001", "file002"
// and so on.
//
// The names sit one after the other in a list, and a table of open slots
// (each the place of a name in the list and a part of its hash) finds
// them: a message of many files costs no memory block per name, and a
// name looked up touches one slot, and its entry only when the hash parts
// agree.
class NameChooser {
public:
    explicit NameChooser(const std::vector<NoteAttachment>& existing) {
        for (const NoteAttachment& attachment : existing) Add(Lower(attachment.name));
    }

    // Readies the look-up of a name Choose is to be given: the slot it
    // starts at is fetched while other work goes on (in a large table the
    // slot is seldom in the cache).
    void Expect(const std::string& wanted) const {
        if (wanted.empty() || slots_.empty()) return;
        const std::size_t hash = std::hash<std::string>()(Lower(wanted));
        __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
    }

    std::string Choose(const std::string& wanted) {
        if (wanted.empty()) return Unnamed();
        // One look-up for a name not seen yet, the common case.
        const auto [known, fresh] = Add(Lower(wanted));
        if (fresh) return wanted;
        const std::size_t dot = wanted.rfind('.');
        const bool extension = dot != std::string::npos && dot > 0;
        const std::string base = extension ? wanted.substr(0, dot) : wanted;
        const std::string suffix = extension ? wanted.substr(dot) : "";
        // Read by place: the list may move as names are added.
        if (entries_[known].next == 0) entries_[known].next = 2;
        for (;;) {
            const unsigned number = entries_[known].next++;
            std::string candidate = base + "_" + std::to_string(number) + suffix;
            if (Add(Lower(candidate)).second) return candidate;
        }
    }

private:
    struct Entry {
        std::string lower;      // the name in small letters
        std::size_t hash = 0;   // its hash
        unsigned next = 0;      // the next number to try after it, 0 until asked for a second time
    };
    struct Slot {
        std::uint32_t entry = 0;   // the entry's place plus 1; 0 for an open slot
        std::uint32_t hash = 0;    // the high bits of the name's hash (the low ones pick the slot)
    };

    static std::uint32_t HashPart(std::size_t hash) { return static_cast<std::uint32_t>(std::uint64_t{hash} >> 32); }

    std::string Unnamed() {
        for (;;) {
            char name[32];
            std::snprintf(name, sizeof name, "file%03u", ++unnamed_);
            if (Add(name).second) return name;
        }
    }

    // The place of the name (in small letters) in the list, added when it
    // is not there, and whether it was added.
    std::pair<std::size_t, bool> Add(std::string lower) {
        if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
        const std::size_t hash = std::hash<std::string>()(lower);
        const auto part = HashPart(hash);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots_[at];
            if (slot.entry == 0) {
                entries_.push_back(Entry{std::move(lower), hash, 0});
                slot = Slot{static_cast<std::uint32_t>(entries_.size()), part};
                return {entries_.size() - 1, true};
            }
            if (slot.hash == part && entries_[slot.entry - 1].lower == lower) return {slot.entry - 1, false};
        }
    }

    // Twice the slots (16 at first), every name put in again by the hash
    // its entry keeps, in the list's order.
    void Grow() {
        slots_.assign(slots_.empty() ? 16 : slots_.size() * 2, Slot{});
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t index = 0; index < entries_.size(); ++index) {
            const std::size_t hash = entries_[index].hash;
            std::size_t at = hash & mask;
            while (slots_[at].entry != 0) at = (at + 1) & mask;
            slots_[at] = Slot{static_cast<std::uint32_t>(index + 1), HashPart(hash)};
        }
    }

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;
    unsigned unnamed_ = 0;
};

// The stored name (LMBCS) of a part's file: its safe name, or none when the
// message gives no usable name. A name too long for a stored one loses
// characters at the end of its base, so that its extension stays.
std::string StoredFileName(std::string_view headers) {
    const std::string native = SafeFileName(GivenFileName(headers));
    std::string lmbcs = plat::NativeToLmbcs(native);
    constexpr std::size_t room = kLongestStoredName - kUniqueSuffixRoom;
    if (lmbcs.size() <= room) return lmbcs;
    const std::size_t dot = native.rfind('.');
    const bool extension = dot != std::string::npos && dot > 0 && native.size() - dot <= kLongestExtension;
    const std::string suffix = extension ? plat::NativeToLmbcs(native.substr(dot)) : "";
    const std::string_view base = std::string_view(native).substr(0, extension ? dot : native.size());
    // Whole characters of the base while they fit.
    std::size_t kept = 0;
    std::size_t size = suffix.size();
    while (kept < base.size()) {
        std::size_t next = kept + 1;
        while (next < base.size() && (static_cast<unsigned char>(base[next]) & 0xC0) == 0x80) ++next;
        size += plat::NativeToLmbcs(base.substr(kept, next - kept)).size();
        if (size > room) break;
        kept = next;
    }
    while (kept > 0 && (base[kept - 1] == ' ' || base[kept - 1] == '.')) --kept;
    return kept == 0 ? "" : plat::NativeToLmbcs(base.substr(0, kept)) + suffix;
}

// The content of a part from its body as stored: the transfer encoding
// undone. In a multipart message the line end before the next boundary
// line belongs to that line, not to the content.
std::string PartContent(std::string_view body, std::string_view headers, bool beforeBoundary) {
    const MimeDecoding decoding = MimeTransferDecoding(headers);
    if (decoding == MimeDecoding::kBase64) return DecodedBase64(body);
    if (beforeBoundary) {
        if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n") body.remove_suffix(2);
        else if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
    }
    if (decoding == MimeDecoding::kQuotedPrintable) return DecodedQuotedPrintable(body);
    return std::string(body);
}

// The walk's state: the note's attachments by name (the first of each),
// the names given so far, and what was attached.
class FileAttacher {
public:
    FileAttacher(plat::NOTEHANDLE note, MIMEFileParts* files) : note_(note), files_(files) {}

    STATUS Start() {
        const STATUS status = ListAttachments(note_, &existing_);
        if (status != kOK) return status;
        for (const NoteAttachment& attachment : existing_) byName_.emplace(Lower(attachment.name), &attachment);
        chooser_ = std::make_unique<NameChooser>(existing_);
        return plat::NoteGetInfo(note_, plat::NOTE_FIELD_DB, &db_) & kStatusMask;
    }

    // Attaches one part's file; on a failure *why says what went wrong.
    STATUS Attach(const LockedPart& part, std::string* why) {
        const std::string_view headers = part.texts.headers;
        const std::string wanted = StoredFileName(headers);
        chooser_->Expect(wanted);
        std::string stored;
        std::string_view body = part.texts.body;
        if ((part.header.flags & kPartBodyInFile) != 0) {
            const std::string bodyFile = MimeBodyFileName(note_, body);
            const STATUS read = ReadBodyFile(bodyFile, &stored);
            if (read != kOK) {
                *why = "its content, kept in the attachment \"" + plat::LmbcsToNative(bodyFile) + "\", cannot be read";
                return read;
            }
            body = stored;
        }
        const std::string content = PartContent(body, headers, (part.header.flags & kPartHasBoundary) != 0);
        stored.clear();
        stored.shrink_to_fit();
        const std::string name = chooser_->Choose(wanted);
        // Listed first, so that a file attached is always one the
        // conversion can take back.
        files_->attached.push_back(name);
        const STATUS status = AttachBufferAsFile(db_, note_, name.c_str(), content.data(),
                                                 static_cast<std::uint32_t>(content.size()));
        if (status != kOK) {
            files_->attached.pop_back();
            *why = "it cannot be stored as the attachment \"" + plat::LmbcsToNative(name) + "\"";
            return status;
        }
        return kOK;
    }

private:
    STATUS ReadBodyFile(const std::string& name, std::string* content) {
        const auto found = byName_.find(Lower(name));
        if (found == byName_.end()) return kItemNotFound;
        plat::DHANDLE block = 0;
        plat::DWORD size = 0;
        const plat::STATUS status = plat::NoteReadAttachment(note_, found->second->item, &block, &size);
        if (status != plat::NOERROR) return status & kStatusMask;
        const void* bytes = plat::MemLock(block);
        if (bytes != nullptr) content->assign(static_cast<const char*>(bytes), size);
        if (bytes != nullptr) plat::MemUnlock(block);
        plat::MemFree(block);
        return bytes != nullptr ? kOK : kOutOfMemory;
    }

    plat::NOTEHANDLE note_;
    plat::DBHANDLE db_ = 0;
    MIMEFileParts* files_;
    std::vector<NoteAttachment> existing_;
    std::unordered_map<std::string, const NoteAttachment*> byName_;
    std::unique_ptr<NameChooser> chooser_;
};

// The note's attachments whose stored names are among names, the first of
// each name.
std::vector<NoteAttachment> AttachmentsNamed(plat::NOTEHANDLE note, const std::vector<std::string>& names) {
    std::vector<NoteAttachment> all, named;
    if (names.empty() || ListAttachments(note, &all) != kOK) return named;
    std::unordered_set<std::string> wanted;
    for (const std::string& name : names) wanted.insert(Lower(name));
    for (NoteAttachment& attachment : all)
        if (wanted.erase(Lower(attachment.name)) != 0) named.push_back(std::move(attachment));
    return named;
}

} // namespace

std::string MimeBodyFileName(plat::NOTEHANDLE note, std::string_view body) {
    const std::string_view whole = body.substr(0, body.find('\0'));
    if (whole.size() > kPartFileNameLength) {
        const std::string name(whole);
        plat::BLOCKID found;
        if (FindAttachmentItem(note, name.c_str(), &found, 0) == kOK) return name;
    }
    return std::string(body.substr(0, kPartFileNameLength));
}

std::string MimePartContent(std::string_view body, std::string_view headers, bool beforeBoundary) {
    return PartContent(body, headers, beforeBoundary);
}

std::unordered_set<std::string> MimeShownContentIds(std::string_view html) {
    std::unordered_set<std::string> ids;
    for (std::size_t at = FindNoCaseIn(html, "cid:"); at != std::string_view::npos;) {
        const std::size_t from = at + 4;
        std::size_t to = from;
        while (to < html.size() && html[to] != '"' && html[to] != '\'' && html[to] != '>' && html[to] != ')' &&
               html[to] != ' ' && html[to] != '\t' && html[to] != '\r' && html[to] != '\n')
            ++to;
        ids.insert(Lower(html.substr(from, to - from)));
        const std::size_t next = FindNoCaseIn(html.substr(to), "cid:");
        at = next == std::string_view::npos ? next : to + next;
    }
    return ids;
}

bool MimePartIsAttachment(std::string_view headers) {
    return StartsWithNoCase(HeaderValue(headers, "Content-Disposition"), "attachment");
}

int MimePictureKind(std::string_view headers) {
    if (ContainsNoCase(headers, "image/png") || ContainsNoCase(headers, "image/svg")) return 0;
    if (ContainsNoCase(headers, "image/gif")) return 1;
    if (ContainsNoCase(headers, "image/jpeg") || ContainsNoCase(headers, "image/jpg") ||
        ContainsNoCase(headers, "image/pjpeg"))
        return 2;
    return 0;
}

bool MimePartHasType(std::string_view headers, std::string_view type) {
    return ContainsNoCase(HeaderValue(headers, "Content-Type"), type);
}

// What the last conversion on this thread could not store, and its status,
// are the thread's.
void ClearMimeFilePartFailure() {
    ThreadState& thread = ThisThread();
    thread.filePartFailure.clear();
    thread.filePartFailureStatus = kOK;
}

STATUS ImportMIMEAttachments(plat::NOTEHANDLE note, const char* itemName, bool holdsHtmlBody, std::string_view html,
                             MIMEFileParts* files) {
    ClearMimeFilePartFailure();
    const std::unordered_set<std::string> shown = MimeShownContentIds(html);
    MIMEFileParts ignored;
    if (files == nullptr) files = &ignored;
    *files = MIMEFileParts();
    FileAttacher attacher(note, files);
    STATUS result = kOK;
    MultipartLevels levels;
    bool bodySeen = !holdsHtmlBody;
    bool started = false;
    std::size_t number = 0;
    const STATUS walked = WalkParts(note, itemName, [&](plat::BLOCKID, plat::BLOCKID value, plat::DWORD size, bool) {
        ++number;
        LockedPart part(value, size);
        if (part.header.partType == kPartProlog) levels.Add(part);
        // A body kept in an attachment of its own (a body too large for its
        // item) goes with the items once they are converted, whatever the
        // part; the note's own files that the writer's attachment parts
        // name stay.
        if ((part.header.flags & kPartBodyInFile) != 0 && (part.header.flags & kPartAttachment) == 0)
            files->bodyFiles.push_back(MimeBodyFileName(note, part.texts.body));
        if (!part.BodyPart()) return true;
        if (!bodySeen && MimePartHasType(part.texts.headers, "text/html") && !MimePartIsAttachment(part.texts.headers)) {
            bodySeen = true;
            return true;
        }
        // A part whose body names an attachment of the document itself (as
        // the MIME writer makes for the note's own files) is that file.
        if ((part.header.flags & kPartAttachment) != 0 && (part.header.flags & kPartBodyInFile) != 0) {
            std::string stored = MimeBodyFileName(note, part.texts.body);
            stored.resize(std::min(stored.size(), stored.find('\0')));
            files->ownFiles.emplace_back(plat::NativeToLmbcs(GivenFileName(part.texts.headers)), stored);
            return true;
        }
        if (!IsFilePart(part, levels.Of(part), shown)) return true;
        if (!started) {
            started = true;
            result = attacher.Start();
        }
        std::string why;
        if (result == kOK) result = attacher.Attach(part, &why);
        if (result == kOK) return true;
        const std::string name = SafeFileName(GivenFileName(part.texts.headers));
        ThisThread().filePartFailure =
            "part " + std::to_string(number) + " of the message" +
            (name.empty() ? std::string() : " (\"" + name + "\")") + " is a file that was not attached: " +
            (why.empty() ? std::string("the note's attachments cannot be read") : why);
        return false;
    });
    if (result == kOK && walked != kOK && walked != kItemNotFound && walked != 1) result = walked;
    if (result != kOK) {
        ThreadState& thread = ThisThread();
        if (thread.filePartFailure.empty()) thread.filePartFailure = "the message's parts cannot be read";
        thread.filePartFailureStatus = result;
        RemoveMIMEAttachments(note, *files);
        files->attached.clear();
        files->bodyFiles.clear();
    }
    return result;
}

void RemoveMIMEAttachments(plat::NOTEHANDLE note, const MIMEFileParts& files) {
    DetachAttachments(note, AttachmentsNamed(note, files.attached), true);
}

void RemoveMIMEBodyFiles(plat::NOTEHANDLE note, const MIMEFileParts& files) {
    DetachAttachments(note, AttachmentsNamed(note, files.bodyFiles), false);
}

std::string MimeFilePartFailure(STATUS status) {
    const ThreadState& thread = ThisThread();
    return status == thread.filePartFailureStatus && status != kOK ? thread.filePartFailure : std::string();
}

} // namespace talix
