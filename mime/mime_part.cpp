#include "mime/mime_part.h"

#include <cstring>

#include "core/record_forms.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr plat::WORD kPartHeaderType = 639;
constexpr std::uint32_t kLargestPartData = 0xFFFF;

} // namespace

std::uint32_t MimePartHeaderLength() {
    static const std::uint32_t length = plat::StructHostLength(kPartHeaderType) == sizeof(MIMEPartHeader)
                                            ? plat::StructStoredLength(kPartHeaderType)
                                            : 0;
    return length;
}

STATUS WriteMimePartHeader(std::uint8_t* value, std::uint32_t capacity, std::uint32_t flags, std::uint8_t partType,
                           std::uint32_t boundaryLength, std::uint32_t headersLength, std::uint32_t bodyLength,
                           std::uint32_t* valueLength) {
    const std::uint32_t headerLength = MimePartHeaderLength();
    if (headerLength == 0) return kOperationFailed;
    const std::uint64_t data = std::uint64_t{boundaryLength} + headersLength + bodyLength;
    if (data > kLargestPartData || 2 + headerLength + data > capacity) return kArgumentError;
    MIMEPartHeader header;
    header.flags = flags;
    header.partType = partType;
    header.byteCount = static_cast<std::uint16_t>(data);
    header.boundaryLength = static_cast<std::uint16_t>(boundaryLength);
    header.headersLength = static_cast<std::uint16_t>(headersLength);
    WriteWord(value, plat::TYPE_MIME_PART);
    void* at = value + 2;
    const plat::STATUS status = plat::StructWrite(&at, kPartHeaderType, &header);
    if (status != plat::NOERROR) return status;
    *valueLength = static_cast<std::uint32_t>(2 + headerLength + data);
    return kOK;
}

STATUS AssembleMimePart(std::uint32_t flags, std::uint8_t partType, const MimePartTexts& texts,
                        std::uint8_t* value, std::uint32_t capacity, std::uint32_t* valueLength) {
    const std::uint32_t offset = MimePartTextOffset();
    if (MimePartHeaderLength() == 0) return kOperationFailed;
    const std::uint64_t data = std::uint64_t{texts.boundary.size()} + texts.headers.size() + texts.body.size();
    if (data > kLargestPartData || offset + data > capacity) return kArgumentError;
    std::uint8_t* at = value + offset;
    for (std::string_view text : {texts.boundary, texts.headers, texts.body}) {
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        at += text.size();
    }
    return WriteMimePartHeader(value, capacity, flags, partType, static_cast<std::uint32_t>(texts.boundary.size()),
                               static_cast<std::uint32_t>(texts.headers.size()),
                               static_cast<std::uint32_t>(texts.body.size()), valueLength);
}

STATUS ParseMimePart(const std::uint8_t* value, std::uint32_t length, MIMEPartHeader* header,
                     MimePartTexts* texts) {
    const std::uint32_t offset = MimePartTextOffset();
    if (value == nullptr || MimePartHeaderLength() == 0 || length < offset ||
        ReadWord(value) != plat::TYPE_MIME_PART)
        return kOperationFailed;
    const void* at = value + 2;
    if (plat::StructRead(&at, kPartHeaderType, header) != plat::NOERROR) return kOperationFailed;
    const std::uint32_t available = length - offset;
    if (header->byteCount > available ||
        std::uint32_t{header->boundaryLength} + header->headersLength > header->byteCount)
        return kOperationFailed;
    const char* text = reinterpret_cast<const char*>(value + offset);
    texts->boundary = std::string_view(text, header->boundaryLength);
    texts->headers = std::string_view(text + header->boundaryLength, header->headersLength);
    texts->body = std::string_view(text + header->boundaryLength + header->headersLength,
                                   header->byteCount - header->boundaryLength - header->headersLength);
    return kOK;
}

} // namespace talix
