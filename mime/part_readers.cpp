// The walks over a note's MIME part items for the HTML body and the
// pictures, the reader of image parts, and what the readers share.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_set>

#include "core/ascii.h"
#include "core/attachments.h"
#include "core/base64.h"
#include "core/host_message.h"
#include "core/text_compare.h"
#include "mime/mime_part.h"
#include "mime/mime_reading.h"
#include "mime/part_walk.h"
#include "talix/session.h"

namespace talix {

std::string DecodedBase64(std::string_view text) {
    std::string out(text.size() * 3 / 4 + 4, '\0');
    out.resize(DecodeBase64(text.data(), reinterpret_cast<std::uint8_t*>(out.data()),
                            static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(out.size())));
    return out;
}

std::string DecodedQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c != '=') {
            out.push_back(c);
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '\n') {
            ++at;
        } else if (at + 2 < text.size() && text[at + 1] == '\r' && text[at + 2] == '\n') {
            at += 2;
        } else if (at + 2 < text.size() && HexDigitValue(text[at + 1]) >= 0 && HexDigitValue(text[at + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigitValue(text[at + 1]) * 16 + HexDigitValue(text[at + 2])));
            at += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

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
    if (std::string part = MimeFilePartFailure(status); !part.empty()) return part;
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
    bool prolog = false, mime = false, attachedHtml = false;
    const STATUS walked = WalkParts(note, itemName, [&](plat::BLOCKID, plat::BLOCKID value, plat::DWORD size, bool first) {
        ++parts;
        LockedPart part(value, size);
        if (MimePartHasType(part.texts.headers, "text/html") && MimePartIsAttachment(part.texts.headers))
            attachedHtml = true;
        if (!first) return true;
        prolog = part.header.partType == kPartProlog;
        mime = ContainsNoCase(part.texts.headers, "Content-Type:") || ContainsNoCase(part.texts.headers, "MIME-Version:");
        return true;
    });
    if (walked == kItemNotFound) return "the note has no MIME items of that name";
    if (walked == 1 || !mime) return "it is not a MIME message";
    if (prolog && parts == 1) return "no part of it begins with the boundary its header names";
    return attachedHtml ? "it has no text/html part but HTML files attached to it" : "it has no text/html part";
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

// Whether the HTML shows the picture of the header text: a "cid:" source
// names its Content-ID.
bool ShownByTheHtml(const std::unordered_set<std::string>& shown, std::string_view headers) {
    std::string id = ImageContentId(headers);
    for (char& c : id) c = LowerAscii(c);
    return !id.empty() && shown.count(id) != 0;
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

std::string ImageContentId(std::string_view headers) {
    std::string contentId;
    for (std::size_t at = 0; at < headers.size(); ++at) {
        const std::string_view rest = headers.substr(at);
        if (StartsWithNoCase(rest, "Content-ID:")) {
            std::size_t from = at + 11;
            // Blanks before the value, and the line end of a folded field
            // (one that a blank begins the next line after).
            for (;;) {
                if (from < headers.size() && (headers[from] == ' ' || headers[from] == '\t')) {
                    ++from;
                    continue;
                }
                std::size_t next = from;
                if (next < headers.size() && headers[next] == '\r') ++next;
                if (next < headers.size() && headers[next] == '\n') ++next;
                if (next == from || next >= headers.size() || (headers[next] != ' ' && headers[next] != '\t')) break;
                from = next;
            }
            std::size_t to = from;
            while (to < headers.size() && headers[to] != ' ' && headers[to] != '\r' && headers[to] != '\n' &&
                   headers[to] != '\0')
                ++to;
            std::string_view id = headers.substr(from, to - from);
            if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
            contentId.assign(id);
            at = to > at ? to - 1 : at;
            continue;
        }
        // A disposition's value is passed over whole.
        if (StartsWithNoCase(rest, "Content-Disposition:")) at = MimeHeaderValueEnd(headers, at + 20) - 1;
    }
    return contentId;
}

STATUS ImportMIMEImagePart(plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                           std::uint32_t valueLength, MIMEImageWalk* walk) {
    (void)item;
    LockedPart part(value, valueLength);
    if (!part.BodyPart()) return kItemNotFound;
    const std::string_view headers = part.texts.headers;
    if (!ContainsNoCase(headers, "image/")) return kItemNotFound;
    // A picture of a type the rich text cannot hold that the HTML does not
    // show (attached, or beside the text) is left to the message's files.
    const std::uint16_t kind = static_cast<std::uint16_t>(MimePictureKind(headers));
    const bool held = kind != 0;
    if (!held && walk != nullptr && walk->shown != nullptr && !ShownByTheHtml(*walk->shown, headers))
        return kItemNotFound;
    if (ContainsNoCase(headers, "image/png")) return SkipRendering(walk, "PNG");
    if (ContainsNoCase(headers, "image/svg")) return SkipRendering(walk, "SVG");
    if (kind == 0) return SkipRendering(walk, "unsupported");

    try {
        std::string data;
        STATUS status = kOK;
        if ((part.header.flags & kPartBodyInFile) != 0) {
            if (!AttachmentData(note, MimeBodyFileName(note, part.texts.body), &data, &status))
                return status;
        } else {
            data.assign(part.texts.body);
        }
        // The picture is the part's content as a file of the message is: in
        // the part's transfer encoding, without the line end of the
        // boundary line after it.
        data = MimePartContent(data, headers, (part.header.flags & kPartHasBoundary) != 0);
        if (data.empty()) return kOK;

        // The part's own data is the picture: a file of the note that the
        // disposition names ("image001.gif", as mail programs name every
        // inline picture) may be another message's picture.
        const std::string contentId = ImageContentId(headers);

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

MIMEInlineImage* ImportMIMEImages(plat::NOTEHANDLE note, const char* itemName, std::string_view html,
                                  STATUS* status, RARIvoSession* session) {
    const std::unordered_set<std::string> shown = MimeShownContentIds(html);
    MIMEImageWalk walk;
    walk.session = session;
    walk.shown = &shown;
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
