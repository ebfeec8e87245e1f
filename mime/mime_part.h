// The value of a stored MIME part item (data type 25): the data-type word,
// the part header in stored form (structure type 639, through the
// platform's structure calls), then the boundary text, the header text and
// the body. One place assembles such values and one takes them apart, for
// the writer and the reader of MIME items alike.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/statuses.h"

namespace talix {

// Flags of a part.
constexpr std::uint32_t kPartHasBoundary = 0x1;   // a boundary text precedes the headers
constexpr std::uint32_t kPartHasHeaders = 0x2;
constexpr std::uint32_t kPartBodyInFile = 0x4;    // the body is the name of a "$FILE" attachment
constexpr std::uint32_t kPartAttachment = 0x8;    // an attachment part (written, never read)

// Part types.
constexpr std::uint8_t kPartProlog = 1;    // the header part of a multipart level
constexpr std::uint8_t kPartBody = 2;
constexpr std::uint8_t kPartClosing = 3;   // the closing boundary line of a level

// The most bytes of a body-in-file part's body that name the attachment.
constexpr std::size_t kPartFileNameLength = 31;

// The part header in host form, as the platform's structure read gives it.
struct MIMEPartHeader {
    std::uint16_t version = 2;
    std::uint32_t flags = 0;
    std::uint8_t partType = 0;
    std::uint8_t spare = 0;
    std::uint16_t byteCount = 0;        // boundary + headers + body
    std::uint16_t boundaryLength = 0;
    std::uint16_t headersLength = 0;
    std::uint16_t spareWord = 0;
    std::uint32_t spareLong = 0;
};

// One part's texts (views into a value or the caller's texts).
struct MimePartTexts {
    std::string_view boundary;
    std::string_view headers;
    std::string_view body;
};

// The stored length of the part header, from the platform; 0 when the
// platform does not know the structure or its host form is not
// MIMEPartHeader.
std::uint32_t MimePartHeaderLength();

// Where the texts of a part value start: after the data-type word and the
// stored part header.
inline std::uint32_t MimePartTextOffset() { return 2 + MimePartHeaderLength(); }

// Writes the data-type word and the part header (version 2, the flags, part
// type and the three lengths) at the start of a value whose texts already
// lie from MimePartTextOffset() on. *valueLength receives the length of the
// whole value. Returns 0, 1028 when the part data passes 65,535 bytes or
// the value would pass capacity, 257 when the platform lacks the structure.
STATUS WriteMimePartHeader(std::uint8_t* value, std::uint32_t capacity, std::uint32_t flags, std::uint8_t partType,
                           std::uint32_t boundaryLength, std::uint32_t headersLength, std::uint32_t bodyLength,
                           std::uint32_t* valueLength);

// Assembles a whole part value into value (capacity bytes): the texts and
// then the header. Returns as WriteMimePartHeader; nothing is written when
// the part is refused.
STATUS AssembleMimePart(std::uint32_t flags, std::uint8_t partType, const MimePartTexts& texts,
                        std::uint8_t* value, std::uint32_t capacity, std::uint32_t* valueLength);

// Takes apart a stored part value (length bytes, data-type word first):
// its header and views of its three texts. Returns 0, or 257 when the value
// is not a MIME part, its header is cut off or its lengths run past the
// value or disagree with one another.
STATUS ParseMimePart(const std::uint8_t* value, std::uint32_t length, MIMEPartHeader* header,
                     MimePartTexts* texts);

} // namespace talix
