// The walks over a note's MIME part items and the readers of attachment and
// image parts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/attachments.h"
#include "core/base64.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/shared_services.h"
#include "core/text_compare.h"
#include "mime/mime_part.h"
#include "mime/mime_reading.h"
#include "talix/session.h"

namespace talix {

namespace {

constexpr std::uint32_t kLargestBody = 65342;         // bodies this long or longer are not read
constexpr std::size_t kLongestAttachmentName = 132;
constexpr const char* kDefaultAttachmentName = "file001";

// A part item's value, locked while the object lives.
class LockedPart {
public:
    LockedPart(plat::BLOCKID value, std::uint32_t length) : value_(value) {
        bytes_ = static_cast<const std::uint8_t*>(plat::BlockLock(value));
        valid_ = bytes_ != nullptr && ParseMimePart(bytes_, length, &header, &texts) == kOK;
    }
    ~LockedPart() {
        if (bytes_ != nullptr) plat::BlockUnlock(value_);
    }
    LockedPart(const LockedPart&) = delete;
    LockedPart& operator=(const LockedPart&) = delete;

    // A body part with header text whose lengths fit its value.
    bool BodyPart() const {
        return valid_ && header.partType == kPartBody && (header.flags & kPartHasHeaders) != 0;
    }

    MIMEPartHeader header;
    MimePartTexts texts;

private:
    plat::BLOCKID value_;
    const std::uint8_t* bytes_ = nullptr;
    bool valid_ = false;
};

// Base64 text decoded.
std::string DecodedBase64(std::string_view text) {
    std::string out(text.size() * 3 / 4 + 4, '\0');
    out.resize(DecodeBase64(text.data(), reinterpret_cast<std::uint8_t*>(out.data()),
                            static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(out.size())));
    return out;
}

// The file name after the first "filename=" of the header text: a quoted
// name to its closing quote, an unquoted one to the end of its parameter;
// at most 132 characters. Empty when there is none.
std::string AttachmentFileName(std::string_view headers) {
    const std::size_t found = FindNoCaseIn(headers, "filename=");
    if (found == std::string_view::npos) return "";
    std::size_t at = found + 9;
    char closing = '\0';
    if (at < headers.size() && (headers[at] == '"' || headers[at] == '\'')) closing = headers[at++];
    std::string name;
    while (at < headers.size() && name.size() < kLongestAttachmentName) {
        const char c = headers[at++];
        if (c == '\r' || c == '\n' || c == '\0') break;
        if (closing != '\0' ? c == closing : c == ';') break;
        name.push_back(c);
    }
    if (closing == '\0') {
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
    }
    return name;
}

// The walk shared by the three readers: the first item of the name, then
// each next one, until the platform reports no further item. each gets the
// item and value and says whether the walk goes on. Returns 546 when the
// note has no item of the name, 1 when the first is not a MIME part, the
// status of a failed look-up, or 0 at the end of the items.
template <typename Each>
STATUS WalkParts(plat::NOTEHANDLE note, const char* itemName, Each each) {
    if (itemName == nullptr) return kItemNotFound;
    const plat::WORD nameLength = NameLength(itemName);
    plat::BLOCKID item, value;
    plat::WORD type = 0;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ItemInfo(note, itemName, nameLength, &item, &type, &value, &length);
    if (status != plat::NOERROR) return status;
    if (type != plat::TYPE_MIME_PART) return 1;
    bool first = true;
    while (status == plat::NOERROR) {
        if (!each(item, value, length, first)) return kOK;
        first = false;
        status = plat::ItemInfoNext(note, item, itemName, nameLength, &item, nullptr, &value, &length);
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

} // namespace

STATUS ImportMIMEHTMLBody(plat::NOTEHANDLE note, const char* itemName, const char* contentType, char** text,
                          std::uint32_t* length) {
    *text = nullptr;
    *length = 0;
    STATUS result = kItemNotFound;
    const STATUS walked = WalkParts(note, itemName, [&](plat::BLOCKID item, plat::BLOCKID value, plat::DWORD size,
                                                        bool) {
        result = ReadMIMEHTMLPart(note, item, value, size, contentType, text, length);
        return result == kItemNotFound;
    });
    if (walked == kItemNotFound) return kOK;   // no items: an empty body
    if (walked == 1) return kItemNotFound;
    if (walked != kOK) return walked;
    return result;
}

std::string MimeRefusalReason(plat::NOTEHANDLE note, const char* itemName, STATUS status) {
    if (status == kRemoteImage) return "its HTML shows pictures from outside the message";
    if (status == kOutOfMemory) return "memory ran out";
    if (status == kOperationFailed) return "its HTML cannot be read, in the character set it names or as HTML";
    if (status != kItemNotFound) {
        char text[256];
        plat::StatusText(status, text, sizeof text);
        return text;
    }
    // No text/html body part: what the stored parts say of the message.
    std::size_t parts = 0;
    bool prolog = false, mime = false;
    const STATUS walked = WalkParts(note, itemName, [&](plat::BLOCKID, plat::BLOCKID value, plat::DWORD size, bool first) {
        ++parts;
        if (!first) return true;
        LockedPart part(value, size);
        prolog = part.header.partType == kPartProlog;
        mime = ContainsNoCase(part.texts.headers, "Content-Type:") || ContainsNoCase(part.texts.headers, "MIME-Version:");
        return true;
    });
    if (walked == kItemNotFound) return "the note has no MIME items of that name";
    if (walked == 1 || !mime) return "it is not a MIME message";
    if (prolog && parts == 1) return "no part of it begins with the boundary its header names";
    return "it has no text/html part";
}

STATUS ImportMIMEAttachmentPart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                                std::uint32_t valueLength) {
    (void)item;
    LockedPart part(value, valueLength);
    if (!part.BodyPart() || part.texts.body.size() >= kLargestBody || (part.header.flags & kPartBodyInFile) != 0)
        return kItemNotFound;
    const std::string_view headers = part.texts.headers;
    const std::size_t disposition = FindNoCaseIn(headers, "Content-Disposition");
    if (!ContainsNoCase(headers, "application/") || disposition == std::string_view::npos ||
        !ContainsNoCase(headers.substr(disposition), "inline"))
        return kItemNotFound;
    std::string name = AttachmentFileName(headers);
    if (name.empty()) name = kDefaultAttachmentName;
    try {
        const std::string data = ContainsNoCase(headers, "base64") ? DecodedBase64(part.texts.body)
                                                                   : std::string(part.texts.body);
        if (data.empty()) return kOK;
        plat::DBHANDLE db = 0;
        plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
        return AttachBufferAsFile(db, note, name.c_str(), data.data(), static_cast<std::uint32_t>(data.size()));
    } catch (const std::bad_alloc&) {
        return kOK;   // nothing attached
    }
}

STATUS ImportMIMEAttachments(plat::NOTEHANDLE note, const char* itemName) {
    STATUS result = kOK;
    WalkParts(note, itemName, [&](plat::BLOCKID item, plat::BLOCKID value, plat::DWORD size, bool first) {
        const STATUS status = ImportMIMEAttachmentPart(note, item, value, size);
        if (first && status != kItemNotFound) {
            result = status;
            return false;
        }
        return true;
    });
    return result;
}

namespace {

// The message of an image part that cannot be shown, and 14409.
STATUS SkipRendering(MIMEImageWalk* walk, const char* what) {
    RARIvoSession* session = walk != nullptr ? walk->session : nullptr;
    char text[256];
    std::snprintf(text, sizeof text, "%s: Rendering skipped due to %s images",
                  session != nullptr ? session->messagePrefix : "Talix", what);
    if (session != nullptr) std::snprintf(session->messageBuffer, sizeof session->messageBuffer, "%s", text);
    plat::LogLine(0, "%s", text);
    ShowHostMessage(text);
    return kRenderingSkipped;
}

// The Content-ID of the header text without its angle brackets, and, for
// an attachment disposition, the attachment named after it; an inline
// disposition with a file name ends the scan.
void ScanImageHeaders(std::string_view headers, std::string* contentId, std::string* attachment) {
    for (std::size_t at = 0; at < headers.size(); ++at) {
        const std::string_view rest = headers.substr(at);
        if (StartsWithNoCase(rest, "Content-ID:")) {
            std::size_t from = at + 11;
            while (from < headers.size() && headers[from] == ' ') ++from;
            std::size_t to = from;
            while (to < headers.size() && headers[to] != ' ' && headers[to] != '\r' && headers[to] != '\n' &&
                   headers[to] != '\0')
                ++to;
            std::string_view id = headers.substr(from, to - from);
            if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
            contentId->assign(id);
            at = to > at ? to - 1 : at;
            continue;
        }
        if (!StartsWithNoCase(rest, "Content-Disposition:")) continue;
        const std::size_t end = MimeHeaderValueEnd(headers, at + 20);
        const std::string_view value = headers.substr(at + 20, end - at - 20);
        for (std::size_t scan = 0; scan < value.size(); ++scan) {
            const std::string_view word = value.substr(scan);
            if (StartsWithNoCase(word, "attachment")) {
                const std::string name = AttachmentFileName(word);
                if (!name.empty()) attachment->assign(name);
                break;
            }
            if (StartsWithNoCase(word, "inline")) break;
        }
        at = end - 1;
    }
}

// The element's data from an attachment of the note; false when it cannot
// be read.
bool AttachmentData(plat::NOTEHANDLE note, const std::string& name, std::string* data, STATUS* status) {
    char* bytes = nullptr;
    std::uint32_t size = 0;
    *status = ReadAttachmentToMemory(note, name.c_str(), &bytes, &size);
    if (*status != kOK) return false;
    data->assign(bytes, size);
    std::free(bytes);
    return true;
}

} // namespace

STATUS ImportMIMEImagePart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                           std::uint32_t valueLength, MIMEImageWalk* walk) {
    (void)item;
    LockedPart part(value, valueLength);
    if (!part.BodyPart() || part.texts.body.size() >= kLargestBody) return kItemNotFound;
    const std::string_view headers = part.texts.headers;
    if (!ContainsNoCase(headers, "image/")) return kItemNotFound;
    if (ContainsNoCase(headers, "image/png")) return SkipRendering(walk, "PNG");
    if (ContainsNoCase(headers, "image/svg")) return SkipRendering(walk, "SVG");
    std::uint16_t kind = 0;
    if (ContainsNoCase(headers, "image/gif")) kind = 1;
    else if (ContainsNoCase(headers, "image/jpeg")) kind = 2;
    else return SkipRendering(walk, "unsupported");

    try {
        std::string data;
        STATUS status = kOK;
        if ((part.header.flags & kPartBodyInFile) != 0) {
            if (!AttachmentData(note, std::string(part.texts.body.substr(0, kPartFileNameLength)), &data, &status))
                return status;
        } else {
            data.assign(part.texts.body);
        }
        if (ContainsNoCase(headers, "base64")) data = DecodedBase64(data);
        if (data.empty()) return kOK;

        std::string contentId, attachment;
        ScanImageHeaders(headers, &contentId, &attachment);
        // An attachment the disposition names holds the picture when the
        // note has it; otherwise the part's own data stays.
        std::string fromFile;
        STATUS ignored = kOK;
        if (!attachment.empty() && AttachmentData(note, attachment, &fromFile, &ignored) && !fromFile.empty())
            data = std::move(fromFile);

        auto* image = new MIMEInlineImage;
        image->data = static_cast<std::uint8_t*>(std::malloc(data.size()));
        image->contentId = static_cast<char*>(std::malloc(contentId.size() + 1));
        if (image->data == nullptr || image->contentId == nullptr) {
            FreeInlineImages(image);
            return MimeReaderOutOfMemory(__LINE__);
        }
        std::memcpy(image->data, data.data(), data.size());
        image->length = static_cast<std::uint32_t>(data.size());
        image->kind = kind;
        std::memcpy(image->contentId, contentId.c_str(), contentId.size() + 1);
        if (walk != nullptr) {
            (walk->last != nullptr ? walk->last->next : walk->first) = image;
            walk->last = image;
        } else {
            FreeInlineImages(image);
        }
        return kOK;
    } catch (const std::bad_alloc&) {
        return MimeReaderOutOfMemory(__LINE__);
    }
}

MIMEInlineImage* ImportMIMEImages(plat::NOTEHANDLE note, const char* itemName, STATUS* status,
                                  RARIvoSession* session) {
    MIMEImageWalk walk;
    walk.session = session;
    STATUS result = kOK;
    WalkParts(note, itemName, [&](plat::BLOCKID item, plat::BLOCKID value, plat::DWORD size, bool first) {
        const STATUS read = ImportMIMEImagePart(note, item, value, size, &walk);
        if (first && read != kItemNotFound) {
            result = read;
            return false;
        }
        if (read == kRenderingSkipped) {
            result = read;
            return false;
        }
        return true;
    });
    if (status != nullptr) *status = result;
    return walk.first;
}

} // namespace talix
