// The builders of pictures: an image fetched from a URL or an attachment
// (a bitmap header with an image source record), a reference to an image
// resource (or, in background mode, the background reference of a table or
// cell), and pictures whose image data goes into the item itself (a graphic
// record, an image header and image segments) from an attachment, from
// memory or from a file.
//
// Every builder checks its inputs and its image data before it appends
// anything: on failure nothing is appended. Records are then appended in
// order through the append gate; the first append that fails ends the
// builder and its status is returned.
#pragma once

#include <cstdint>

#include "builders/record_output.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

struct BuildContext;

// Source kinds of AppendBitmapImage: only kImageSourceUrl makes the source
// a URL; every other kind names a file attachment of the note.
constexpr std::uint16_t kImageSourceFile = 1;
constexpr std::uint16_t kImageSourceUrl = 2;
constexpr std::uint16_t kImageSourceImport = 3;
constexpr std::uint16_t kImageSourceAttachment = 4;

// Image types of an image header.
constexpr std::uint16_t kImageTypeGif = 1;
constexpr std::uint16_t kImageTypeJpeg = 2;
constexpr std::uint16_t kImageTypePng = 4;

// Image data is cut into segments of at most this many bytes.
constexpr std::uint32_t kImageSegmentData = 10240;

// The resource type and class of a reference to a shared image resource.
constexpr std::uint16_t kResourceNamedElement = 3;
constexpr std::uint16_t kResourceClassImage = 19;

// An image from a URL (kind kImageSourceUrl) or a file attachment of the
// note (other kinds), with the options "ImageWidth=", "ImageHeight=",
// "LoadType=", "AltText=", "Caption=", "CaptionPosition=", "CaptionFont=",
// "WrapText=" and the "ImageHTML..." attributes. Records: an empty text run
// in the font for new text, CDBEGIN, the graphic record, the image source
// record, a bitmap header, then the optional alt-text, caption, float or
// vertical alignment and id/name records, CDEND. Returns 0, 1028 for a null
// source or context or a record that cannot hold its text, or the first
// failing append.
STATUS AppendBitmapImage(std::uint16_t sourceKind, const char* source, const char* options,
                         BuildContext* context);

// A reference to the image resource of the name (the part before its first
// "?", else before its first "!"; the caller's text is not changed), or,
// with background set, a background reference followed by a repeat record.
// Only resource class kResourceClassImage is handled. Texts after the
// options may be null and the sizes 0 (not given). Returns 0, 1028 for
// another class, a null name or context, or a record that cannot hold its
// texts, or the first failing append. With "MakeInLine=Yes" the resource's
// own records ("$ImageData" of the image resource of the name, copied by
// AppendSourceRichText, whose failure is returned) take the place of the
// graphic record, image header and reference.
STATUS AppendGraphicRecords(std::uint16_t resourceType, std::uint16_t resourceClass, const char* name,
                            const char* options, int background, BuildContext* context,
                            std::uint16_t width, std::uint16_t height, const char* altText,
                            const char* alignment, const char* horizontalSpace,
                            const char* verticalSpace, const char* border);

// A picture from the "$FILE" attachment of the name (matched ignoring
// case) of the note: graphic record, image header and image segments,
// sized from the data (GIF, JPEG), else from the width and height given
// (100 when not given). Returns 0, 1028 when the note has no such
// attachment, a platform status when it cannot be read, or the first
// failing append.
STATUS WriteAttachedImageRecords(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* attachmentName,
                                 std::uint16_t imageType, BuildContext* context,
                                 std::uint16_t width, std::uint16_t height, const char* altText,
                                 const char* alignment, const char* horizontalSpace,
                                 const char* verticalSpace, const char* border);

// A picture from image data in memory: graphic record, image header and
// image segments. Returns 0, 263 for fewer than 10 bytes of data, 257 for
// JPEG data without a frame header, 1028 for a null output, or the first
// failing append.
STATUS WriteImageBufferRecords(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType,
                               RecordOutput* output, std::uint16_t width, std::uint16_t height,
                               const char* alignment);

// A picture from the bytes of an image file (the caller reads the file):
// the whole file is its image data. Returns 0, 263 for fewer than 10 bytes,
// 257 for JPEG data without a frame header, or the first failing append.
STATUS WriteImageFileRecords(const std::uint8_t* data, std::uint32_t size, std::uint16_t imageType,
                             BuildContext* context, std::uint16_t width, std::uint16_t height, const char* altText,
                             const char* alignment, const char* horizontalSpace, const char* verticalSpace,
                             const char* borderWidth, const char* borderOptions);

} // namespace talix
