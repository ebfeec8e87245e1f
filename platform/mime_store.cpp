// Storing a MIME message as part items of a note. The splitter is a raw
// one: it finds header blocks, the Content-Type of each entity and the
// boundary lines of multipart levels, and cuts the message there without
// decoding anything, so every byte of the message lands in exactly one part
// item, in order. It walks the message once, line by line, with the open
// multipart levels on a stack of its own: any depth of nesting costs memory
// for the levels, never the call stack.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ascii_text.h"
#include "attach_internal.h"
#include "status_codes.h"
#include "talix_platform/attach.h"
#include "talix_platform/database.h"
#include "talix_platform/memory.h"
#include "talix_platform/mime.h"
#include "talix_platform/structures.h"

namespace plat {

namespace {

constexpr WORD kPartHeaderType = 639;
constexpr WORD kPartItemFlags = 3;
constexpr DWORD kFlagBoundary = 0x1;
constexpr DWORD kFlagHeaders = 0x2;
constexpr DWORD kFlagBodyInFile = 0x4;
constexpr DWORD kFlagAttachmentPart = 0x8;
constexpr size_t kLongestBodyFileName = 31;   // what the readers take of a body that names a file
constexpr BYTE kProlog = 1;
constexpr BYTE kBodyPart = 2;
constexpr BYTE kClosing = 3;
constexpr size_t kLargestPartData = 0xFFFF;
constexpr size_t kLongestBoundary = 998;    // the longest line mail may carry

// The part header in host form, as the structure calls take it.
struct PartHeaderHost {
    WORD version = 2;
    DWORD flags = 0;
    BYTE partType = 0;
    BYTE spare = 0;
    WORD byteCount = 0;
    WORD boundaryLength = 0;
    WORD headersLength = 0;
    WORD spareWord = 0;
    DWORD spareLong = 0;
};

// One part: its texts as ranges of the message.
struct Part {
    DWORD flags = 0;
    BYTE type = 0;
    std::string_view boundary, headers, body;
    std::string fileName;   // set when the body goes into an attachment
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    return true;
}

// The end of the line that starts at pos: just past its LF, or the end.
size_t LineEnd(std::string_view text, size_t pos) {
    const size_t lf = text.find('\n', pos);
    return lf == std::string_view::npos ? text.size() : lf + 1;
}

// Whether a line can stand in a header block: a field (a name of printable
// characters, blanks allowed before its colon) or a line folded into the
// one before it (starting with a blank).
bool HeaderLine(std::string_view line) {
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) return true;
    size_t name = 0;
    while (name < line.size() && line[name] > ' ' && line[name] < 0x7F && line[name] != ':') ++name;
    if (name == 0) return false;
    while (name < line.size() && (line[name] == ' ' || line[name] == '\t')) ++name;
    return name < line.size() && line[name] == ':';
}

// The header block at pos: up to and including the empty line that ends it.
// A line that is no header line (the body of a part that lacks the empty
// line, or the boundary line of a part without headers) ends the block
// before it, as mail readers take it, so that it stays in the body; the
// "From " line a mailbox file puts before a message, or a byte-order mark
// before its first header line, belongs to its headers.
// The rest of the message when nothing ends the block.
std::string_view HeaderBlock(std::string_view text, size_t pos) {
    size_t at = pos;
    while (at < text.size()) {
        const size_t end = LineEnd(text, at);
        const std::string_view line = text.substr(at, end - at);
        if (line == "\n" || line == "\r\n") return text.substr(pos, end - pos);
        std::string_view content = line;
        while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) content.remove_suffix(1);
        // A file saved with a byte-order mark before its first header line.
        if (at == 0 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
        const bool mailboxFrom = at == 0 && line.substr(0, 5) == "From ";
        if (!mailboxFrom && !HeaderLine(content)) return text.substr(pos, at - pos);
        at = end;
    }
    return text.substr(pos);
}

// The value of the Content-Type header of a header block, folded lines
// joined; empty when there is none.
std::string ContentType(std::string_view headers) {
    size_t at = 0;
    while (at < headers.size()) {
        const size_t end = LineEnd(headers, at);
        std::string_view line = headers.substr(at, end - at);
        at = end;
        if (!StartsNoCase(line, "content-type")) continue;
        line.remove_prefix(12);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() != ':') continue;
        std::string value(line.substr(1));
        while (at < headers.size() && (headers[at] == ' ' || headers[at] == '\t')) {
            const size_t next = LineEnd(headers, at);
            value.append(headers.substr(at, next - at));
            at = next;
        }
        for (char& c : value)
            if (c == '\r' || c == '\n') c = ' ';
        return value;
    }
    return "";
}

// The boundary of a multipart Content-Type value; empty for any other
// type or when the value has no usable boundary parameter.
std::string Boundary(const std::string& contentType) {
    std::string_view value(contentType);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    if (!StartsNoCase(value, "multipart/")) return "";
    // Parameters follow semicolons: name, optional blanks, "=", the value.
    size_t at = value.find(';');
    while (at != std::string_view::npos) {
        std::string_view rest = value.substr(at + 1);
        while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
        if (StartsNoCase(rest, "boundary")) {
            std::string_view after = rest.substr(8);
            while (!after.empty() && (after.front() == ' ' || after.front() == '\t')) after.remove_prefix(1);
            if (!after.empty() && after.front() == '=') {
                after.remove_prefix(1);
                while (!after.empty() && (after.front() == ' ' || after.front() == '\t')) after.remove_prefix(1);
                std::string boundary;
                if (!after.empty() && after.front() == '"') {
                    const size_t close = after.find('"', 1);
                    if (close == std::string_view::npos) return "";
                    boundary.assign(after.substr(1, close - 1));
                } else {
                    const size_t stop = after.find_first_of("; \t");
                    boundary.assign(after.substr(0, stop));
                }
                return boundary.size() <= kLongestBoundary ? boundary : "";
            }
        }
        at = value.find(';', at + 1);
    }
    return "";
}

// The open multipart levels, innermost last, with a look-up of the
// innermost level of each boundary.
class Levels {
public:
    void Push(std::string boundary) {
        levels_.push_back({std::move(boundary), -1});
        Level& level = levels_.back();
        const auto found = index_.find(level.boundary);
        if (found != index_.end()) level.shadowed = found->second;
        index_[level.boundary] = static_cast<long>(levels_.size()) - 1;
    }
    void Pop() {
        Level& level = levels_.back();
        if (level.shadowed >= 0)
            index_[level.boundary] = level.shadowed;
        else
            index_.erase(level.boundary);
        levels_.pop_back();
    }
    size_t size() const { return levels_.size(); }
    bool empty() const { return levels_.empty(); }

    // Whether the line is a boundary line of an open level: which level
    // (the innermost of that boundary) and whether it closes it.
    bool Match(std::string_view line, size_t* level, bool* closing) const {
        if (levels_.empty() || line.size() < 3 || line[0] != '-' || line[1] != '-') return false;
        line.remove_prefix(2);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' ||
                                 line.back() == '\t'))
            line.remove_suffix(1);
        if (Find(line, level)) {
            *closing = false;
            return true;
        }
        if (line.size() > 2 && line.substr(line.size() - 2) == "--" && Find(line.substr(0, line.size() - 2), level)) {
            *closing = true;
            return true;
        }
        return false;
    }

private:
    struct Level {
        std::string boundary;
        long shadowed;   // the level this one hides in the look-up, or -1
    };
    bool Find(std::string_view boundary, size_t* level) const {
        if (boundary.empty()) return false;
        const auto found = index_.find(std::string(boundary));
        if (found == index_.end()) return false;
        *level = static_cast<size_t>(found->second);
        return true;
    }
    std::vector<Level> levels_;
    std::unordered_map<std::string, long> index_;
};

// Splits the message into parts.
class Splitter {
public:
    explicit Splitter(std::string_view message) : text_(message) {}

    std::vector<Part> Split() {
        size_t at = Entity(0, std::string_view());
        while (at < text_.size()) {
            // at is the start of a boundary line of an open level.
            const size_t end = LineEnd(text_, at);
            const std::string_view line = text_.substr(at, end - at);
            size_t level = 0;
            bool closing = false;
            levels_.Match(line, &level, &closing);
            while (levels_.size() > level + 1) levels_.Pop();   // levels the message never closed
            if (closing) {
                levels_.Pop();
                const size_t next = NextBoundary(end);
                Part part;
                part.flags = kFlagBoundary;
                part.type = kClosing;
                part.boundary = line;
                part.body = text_.substr(end, next - end);
                parts_.push_back(part);
                at = next;
            } else {
                at = Entity(end, line);
            }
        }
        return std::move(parts_);
    }

private:
    // Splits the entity at pos, opened by the boundary line (empty at the
    // top); returns where the next boundary line starts, or the end.
    size_t Entity(size_t pos, std::string_view boundaryLine) {
        Part part;
        part.flags = kFlagHeaders | (boundaryLine.empty() ? 0 : kFlagBoundary);
        part.boundary = boundaryLine;
        part.headers = HeaderBlock(text_, pos);
        const size_t bodyStart = pos + part.headers.size();
        std::string boundary = Boundary(ContentType(part.headers));
        if (!boundary.empty()) {
            part.type = kProlog;
            levels_.Push(std::move(boundary));
        } else {
            part.type = kBodyPart;
        }
        const size_t next = NextBoundary(bodyStart);
        part.body = text_.substr(bodyStart, next - bodyStart);
        parts_.push_back(part);
        return next;
    }

    // The start of the first boundary line of an open level at or after
    // pos (at a line start), or the end of the message.
    size_t NextBoundary(size_t pos) const {
        if (levels_.empty()) return text_.size();
        size_t at = pos;
        while (at < text_.size()) {
            const size_t end = LineEnd(text_, at);
            size_t level = 0;
            bool closing = false;
            if (text_[at] == '-' && levels_.Match(text_.substr(at, end - at), &level, &closing)) return at;
            at = end;
        }
        return text_.size();
    }

    std::string_view text_;
    Levels levels_;
    std::vector<Part> parts_;
};

// The stored names of the note's attachments, lower-cased.
std::unordered_set<std::string> AttachmentNames(NOTEHANDLE note) {
    std::unordered_set<std::string> names;
    BLOCKID item;
    STATUS status = ItemInfo(note, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    while (status == NOERROR) {
        FileObjectHost header;
        std::string name;
        if (ReadFileItem(note, item, &header, &name) == NOERROR) {
            for (char& c : name) c = Lower(c);
            names.insert(name);
        }
        status = ItemInfoNext(note, item, "$FILE", 5, &item, nullptr, nullptr, nullptr);
    }
    return names;
}

// A name for an attachment holding a body, free in the note: at most 31
// bytes, as the readers take no more.
std::string FreeBodyFileName(std::unordered_set<std::string>* taken, DWORD* counter) {
    for (;;) {
        std::string name = "mimebody" + std::to_string(++*counter) + ".dat";
        if (taken->insert(name).second) return name;
    }
}

// Whether an item name is "$FILE", in any case: the name of the items
// that hold the note's attachments.
bool IsAttachmentItemName(const char* name, WORD length) {
    constexpr std::string_view kFile = "$FILE";
    if (length != kFile.size()) return false;
    for (size_t i = 0; i < kFile.size(); ++i) {
        if (AsciiLower(name[i]) != AsciiLower(kFile[i])) return false;
    }
    return true;
}

// Stores bytes as a "$FILE" attachment of the note.
STATUS AttachBody(NOTEHANDLE note, std::string_view data, const std::string& name) {
    DBHANDLE db = NULLHANDLE;
    STATUS status = NoteDatabase(note, &db);
    if (status != NOERROR) return status;
    if (data.size() > 0xFFFFFFFFu) return ERR_FILE_TOO_LARGE;
    DWORD objectId = 0;
    status = DbAllocObject(db, static_cast<DWORD>(data.size()), OBJECT_CLASS_FILE, &objectId);
    if (status != NOERROR) return status;
    if (!data.empty()) status = DbWriteObjectBytes(db, objectId, data.data(), 0, static_cast<DWORD>(data.size()));
    FileObjectHost header;
    header.RRV = objectId;
    header.HostType = ATTACH_DEFAULT;
    header.FileSize = static_cast<DWORD>(data.size());
    if (status == NOERROR) status = AppendFileItem(note, "$FILE", 5, header, name);
    if (status != NOERROR) DbFreeObject(db, objectId);
    return status;
}

// The value of a part item: the data-type word, the header, the texts.
STATUS PartValue(const Part& part, std::vector<BYTE>* value) {
    const WORD headerLength = StructStoredLength(kPartHeaderType);
    if (headerLength == 0 || StructHostLength(kPartHeaderType) != sizeof(PartHeaderHost)) return ERR_UNKNOWN_STRUCT;
    const std::string_view body = part.fileName.empty() ? part.body : std::string_view(part.fileName);
    const size_t data = part.boundary.size() + part.headers.size() + body.size();
    if (data > kLargestPartData) return ERR_ITEM_TOO_LARGE;
    PartHeaderHost header;
    header.flags = part.flags | (part.fileName.empty() ? 0 : kFlagBodyInFile);
    header.partType = part.type;
    header.byteCount = static_cast<WORD>(data);
    header.boundaryLength = static_cast<WORD>(part.boundary.size());
    header.headersLength = static_cast<WORD>(part.headers.size());
    value->assign(2 + headerLength + data, 0);
    (*value)[0] = static_cast<BYTE>(TYPE_MIME_PART & 0xFF);
    (*value)[1] = static_cast<BYTE>(TYPE_MIME_PART >> 8);
    void* at = value->data() + 2;
    const STATUS status = StructWrite(&at, kPartHeaderType, &header);
    if (status != NOERROR) return status;
    BYTE* text = value->data() + 2 + headerLength;
    for (std::string_view piece : {part.boundary, part.headers, body}) {
        if (!piece.empty()) std::memcpy(text, piece.data(), piece.size());
        text += piece.size();
    }
    return NOERROR;
}

// The items of a name as they are, to put back after a failure.
struct KeptItem {
    WORD flags = 0;
    std::vector<BYTE> value;   // data-type word first
};

STATUS KeepItems(NOTEHANDLE note, const char* name, WORD nameLength, std::vector<KeptItem>* kept) {
    BLOCKID item, value;
    DWORD length = 0;
    STATUS status = ItemInfo(note, name, nameLength, &item, nullptr, &value, &length);
    while (status == NOERROR) {
        KeptItem copy;
        status = ItemQuery(item, nullptr, 0, &copy.flags, nullptr, nullptr, nullptr);
        if (status != NOERROR) return status;
        const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
        if (bytes == nullptr) return ERR_INVALID_HANDLE;
        copy.value.assign(bytes, bytes + length);
        BlockUnlock(value);
        kept->push_back(std::move(copy));
        status = ItemInfoNext(note, item, name, nameLength, &item, nullptr, &value, &length);
    }
    return status == ERR_ITEM_NOT_FOUND ? NOERROR : status;
}

void Restore(NOTEHANDLE note, const char* name, WORD nameLength, const std::vector<KeptItem>& kept,
             const std::vector<std::string>& attached) {
    ItemDelete(note, name, nameLength);
    for (const KeptItem& item : kept) {
        const WORD type = static_cast<WORD>(item.value[0] | (item.value[1] << 8));
        ItemAppend(note, item.flags, name, nameLength, type, item.value.data() + 2,
                   static_cast<DWORD>(item.value.size() - 2));
    }
    for (const std::string& file : attached) {
        BLOCKID fileItem;
        FileObjectHost header;
        if (FindFileItem(note, file, &fileItem, &header) == NOERROR) NoteDetachFile(note, fileItem);
    }
}

// The attachment a part item's value (data-type word first) names as
// holding its body, or nothing; *own: the body is one the writer put
// there for the part alone, not an attachment part's (which names one of
// the note's own attachments).
std::string BodyFileOf(const BYTE* value, size_t length, bool* own) {
    *own = false;
    const WORD headerLength = StructStoredLength(kPartHeaderType);
    if (headerLength == 0 || length < 2u + headerLength) return {};
    if ((value[0] | (value[1] << 8)) != TYPE_MIME_PART) return {};
    PartHeaderHost header;
    const void* at = value + 2;
    if (StructRead(&at, kPartHeaderType, &header) != NOERROR || (header.flags & kFlagBodyInFile) == 0) return {};
    const size_t data = std::min<size_t>(header.byteCount, length - 2 - headerLength);
    const size_t before = size_t{header.boundaryLength} + header.headersLength;
    if (before >= data) return {};
    *own = (header.flags & kFlagAttachmentPart) == 0;
    const auto* body = reinterpret_cast<const char*>(value) + 2 + headerLength + before;
    return std::string(body, std::min(data - before, kLongestBodyFileName));
}

// Detaches the attachments that held the bodies of the parts replaced,
// which nothing names any more: those of attachment parts (the note's own
// attachments) stay, and so does any a part item of the note still names.
void DetachReplacedBodies(NOTEHANDLE note, const std::vector<KeptItem>& replaced) {
    std::vector<std::string> names;
    for (const KeptItem& item : replaced) {
        bool own = false;
        std::string name = BodyFileOf(item.value.data(), item.value.size(), &own);
        if (own) names.push_back(std::move(name));
    }
    if (names.empty()) return;
    ItemScan(note, [&](BLOCKID item) {
        WORD type = 0;
        BLOCKID value;
        DWORD length = 0;
        if (ItemQuery(item, nullptr, 0, nullptr, &type, &value, &length) != NOERROR || type != TYPE_MIME_PART)
            return NOERROR;
        const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
        if (bytes == nullptr) return NOERROR;
        bool own = false;
        const std::string named = BodyFileOf(bytes, length, &own);
        BlockUnlock(value);
        if (!named.empty()) {
            std::erase_if(names, [&](const std::string& name) { return SameFileName(name, named); });
        }
        return NOERROR;
    });
    for (const std::string& name : names) {
        BLOCKID file;
        FileObjectHost header;
        if (FindFileItem(note, name, &file, &header) == NOERROR) NoteDetachFile(note, file);
    }
}

} // namespace

STATUS MimeStoreMessage(NOTEHANDLE note, const char* itemName, WORD itemNameLength, const char* message,
                        size_t length, MimeStoreResult* result) {
    if (result != nullptr) *result = MimeStoreResult{};
    if (note == NULLHANDLE || itemName == nullptr || itemNameLength == 0 || (message == nullptr && length > 0))
        return ERR_BAD_ARGUMENT;
    // The note's attachments are its "$FILE" items: storing the parts under
    // that name would delete them all as items of the name replaced.
    if (IsAttachmentItemName(itemName, itemNameLength)) return ERR_BAD_ARGUMENT;
    const std::string_view text(message != nullptr ? message : "", length);

    // Everything is split and measured before the note changes.
    std::vector<Part> parts = Splitter(text).Split();
    DWORD counter = 0;
    std::unordered_set<std::string> taken;
    bool namesRead = false;
    for (Part& part : parts) {
        const size_t fixed = part.boundary.size() + part.headers.size();
        if (fixed + part.body.size() <= kLargestPartData) continue;
        if (!namesRead) {
            taken = AttachmentNames(note);
            namesRead = true;
        }
        part.fileName = FreeBodyFileName(&taken, &counter);
        if (fixed + part.fileName.size() > kLargestPartData) return ERR_ITEM_TOO_LARGE;
    }

    std::vector<KeptItem> kept;
    STATUS status = KeepItems(note, itemName, itemNameLength, &kept);
    if (status != NOERROR) return status;
    if (!kept.empty()) status = ItemDelete(note, itemName, itemNameLength);
    std::vector<std::string> attached;
    std::vector<BYTE> value;
    MimeStoreResult stored;
    for (const Part& part : parts) {
        if (status != NOERROR) break;
        if (!part.fileName.empty()) {
            status = AttachBody(note, part.body, part.fileName);
            if (status != NOERROR) break;
            attached.push_back(part.fileName);
            ++stored.attachedBodies;
        }
        status = PartValue(part, &value);
        if (status == NOERROR)
            status = ItemAppend(note, kPartItemFlags, itemName, itemNameLength, TYPE_MIME_PART, value.data() + 2,
                                static_cast<DWORD>(value.size() - 2));
        if (status == NOERROR) ++stored.parts;
    }
    if (status != NOERROR) {
        Restore(note, itemName, itemNameLength, kept, attached);
        return status;
    }
    DetachReplacedBodies(note, kept);
    if (result != nullptr) *result = stored;
    return NOERROR;
}

} // namespace plat
