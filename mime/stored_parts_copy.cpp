// Copying an item that is itself stored MIME into a MIME file: each part
// item's boundary line, header text and body, in note order. A body kept in
// a "$FILE" attachment is written as the attachment's content.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/attachments.h"
#include "core/item_internal.h"
#include "mime/entity_writer.h"
#include "mime/mime_part.h"
#include "mime/mime_reading.h"
#include "talix_platform.h"

namespace talix {

namespace {

// A boundary line starts a line of its own: a line end goes first when the
// file does not end in one.
bool StartLine(std::FILE* file) {
    std::fflush(file);
    if (std::fseek(file, -1, SEEK_END) != 0) return true;
    const int last = std::fgetc(file);
    std::fseek(file, 0, SEEK_END);
    return last == EOF || last == '\n' || std::fputc('\n', file) != EOF;
}

bool WriteText(std::FILE* file, std::string_view text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

} // namespace

STATUS WriteMIMEPartItem(RARIvoSession* session, plat::NOTEHANDLE note, plat::BLOCKID item, plat::BLOCKID value,
                         std::uint32_t valueLength, std::FILE* file) {
    (void)session;
    (void)item;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return kOutOfMemory;
    MIMEPartHeader header;
    MimePartTexts texts;
    STATUS status = ParseMimePart(bytes, valueLength, &header, &texts);
    std::string content;
    if (status == kOK && (header.flags & kPartBodyInFile) != 0) {
        const std::string name = MimeBodyFileName(note, texts.body);
        char* data = nullptr;
        std::uint32_t size = 0;
        status = ReadAttachmentToMemory(note, name.c_str(), &data, &size);
        if (status == kOK) {
            content.assign(data, size);
            std::free(data);
            texts.body = content;
        }
    }
    if (status == kOK) {
        errno = 0;
        if (!texts.boundary.empty() && !StartLine(file)) status = kFileNotWritten;
        if ((header.flags & kPartHasHeaders) == 0) texts.headers = {};
        if (status == kOK &&
            (!WriteText(file, texts.boundary) || !WriteText(file, texts.headers) || !WriteText(file, texts.body)))
            status = kFileNotWritten;
    }
    plat::BlockUnlock(value);
    return status;
}

STATUS WriteMIMEPartItems(RARIvoSession* session, plat::NOTEHANDLE note, const char* itemName, std::FILE* file) {
    if (itemName == nullptr || file == nullptr) return kArgumentError;
    plat::BLOCKID item, value;
    plat::DWORD length = 0;
    STATUS first = kOK;
    int error = 0;
    plat::STATUS status = plat::ItemInfo(note, itemName, NameLength(itemName), &item, nullptr, &value, &length);
    while (status == plat::NOERROR) {
        // A part that cannot be written is reported; the others still are.
        const STATUS written = WriteMIMEPartItem(session, note, item, value, length, file);
        if (first == kOK && written != kOK) {
            first = written;
            error = errno;
        }
        status = plat::ItemInfoNext(note, item, itemName, NameLength(itemName), &item, nullptr, &value, &length);
    }
    if (status != plat::ERR_ITEM_NOT_FOUND && first == kOK) first = status;
    errno = error;
    return first;
}

} // namespace talix
