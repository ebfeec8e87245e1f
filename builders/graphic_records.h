// The records the picture builders share, laid out in host form and
// collected in a batch before anything is appended: a builder checks its
// inputs while it fills the batch, and appends the batch only when all of
// it could be built. Also the pixel size of GIF and JPEG data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "builders/record_output.h"
#include "core/font_spec.h"
#include "core/statuses.h"

namespace talix {

struct BuildContext;

constexpr std::uint16_t kGraphicVersion = 1;        // of the CDBEGIN/CDEND pair around a graphic
// Graphic record flags.
constexpr std::uint8_t kGraphicSizeInPixels = 0x01;
constexpr std::uint8_t kGraphicSpansLines = 0x02;
// The size of a picture whose own size is not known.
constexpr std::uint16_t kDefaultPixels = 100;

// One record in host form. A record of odd length carries one zero byte
// more than its length field says, as the append gate takes it.
struct BuiltRecord {
    std::uint16_t signature = 0;
    std::vector<std::uint8_t> bytes;
};
using RecordBatch = std::vector<BuiltRecord>;

// Appends the records in order; the first failing append ends the batch
// and its status is returned.
STATUS AppendBatch(const RecordBatch& batch, RecordOutput* output);

// A zero-filled record of the length with its header filled in (signature
// and length in the signature's header form).
BuiltRecord BlankRecord(std::uint16_t signature, std::uint32_t length);
// A record of a fixed part followed by a text. Returns false when the
// record would not fit an output segment (the caller refuses the input).
bool TextRecord(std::uint16_t signature, std::uint32_t fixedLength, const std::string& text, BuiltRecord* record);

BuiltRecord BeginRecord(std::uint16_t innerSignature, std::uint16_t version);
BuiltRecord EndRecord(std::uint16_t innerSignature, std::uint16_t version);
// An empty text run in the font given.
BuiltRecord EmptyTextRecord(const FontId& font);
// A graphic record, version 2, with its flags, destination size and resize word.
BuiltRecord GraphicRecord(std::uint8_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t resize);
BuiltRecord ImageHeaderRecord(std::uint16_t imageType, std::uint16_t width, std::uint16_t height,
                              std::uint32_t dataSize, std::uint32_t segmentCount);
// The image segments of the data (at most kImageSegmentData bytes each,
// padded to even length).
void AddImageSegments(const std::uint8_t* data, std::uint32_t size, RecordBatch* batch);
std::uint32_t ImageSegmentCount(std::uint32_t size);
BuiltRecord FloatRecord(std::uint16_t mode);
BuiltRecord VerticalAlignRecord(std::uint16_t alignment);
// A border record, style 1, with all four widths; rgbBlack flags its colour
// as RGB black.
BuiltRecord BorderRecord(std::uint16_t width, bool rgbBlack);

// The alternate-text record of a picture. Returns false when the text does
// not fit a record.
bool AltTextRecord(const std::string& text, BuiltRecord* record);

// The six texts of an id/name record, in record order.
enum IdNameText : int { kIdText = 0, kClassText, kStyleText, kTitleText, kOtherText, kNameText, kIdNameTexts };
bool IdNameRecord(const std::string (&texts)[kIdNameTexts], BuiltRecord* record);
// Appends name='value' to an id/name record's text of other attributes,
// keeping of the value only what a length holds (letters, digits, '.', '%',
// '-'): a value taken from the data never closes its quote or adds an
// attribute of its own.
void AppendLengthAttribute(std::string* text, const char* name, std::string_view value);

// A resource reference (0xFFF6 graphic, 0xFF5A background): flags, type,
// class, the server and file hints, the replica id (two words, when
// replica is not null) and the name. Returns false when it would not fit a
// record.
bool ResourceRecord(std::uint16_t signature, std::uint32_t flags, std::uint16_t type, std::uint16_t resourceClass,
                    const std::string& server, const std::string& file, const std::uint32_t* replica,
                    const std::string& name, BuiltRecord* record);
// A replica id of sixteen hexadecimal digits as the two words a reference
// stores: the value of the last eight digits, then that of the first eight.
// Returns false for any other text.
bool ReplicaWords(const std::string& text, std::uint32_t words[2]);

// The value of a keyword (GetOptionValue), at most 8,191 characters.
// Returns false when the keyword is absent.
bool OptionText(const char* options, const char* key, std::string* value);
// True for the alignments "left" and "right", ignoring case.
bool LeftOrRight(const char* alignment);
// The decimal value of a text as atoi reads it, kept to 16 bits.
std::uint16_t DecimalWord(const char* text);
inline bool Given(const char* text) { return text != nullptr && text[0] != '\0'; }

// The font for new text: the item's text template, or face 1, plain,
// colour 0, 10 points when there is none.
FontId NewTextFont(const BuildContext* context);

// The caption record of "Caption=", "CaptionPosition=" and "CaptionFont=".
// Returns 0 with *present false when there is no caption, 1028 when the
// caption does not fit a record.
STATUS CaptionRecord(const char* options, BuildContext* context, BuiltRecord* record, bool* present);

// The pixel size of image data: GIF from its logical screen, JPEG from its
// first frame header (SOF0 to SOF3). Returns false when nothing is found.
bool GifPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height);
bool JpegPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height);
// PNG from its header chunk; sizes above 65,535 pixels are not read.
bool PngPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height);
// The image type of data as its first bytes say: GIF, JPEG or PNG; 0 for
// anything else.
std::uint16_t PictureDataType(const std::uint8_t* data, std::uint32_t size);
// The pixel size of a picture file, GIF, JPEG or PNG as its first bytes say.
// Returns false when the file cannot be read or is none of these.
bool PictureFilePixelSize(const char* path, std::uint16_t* width, std::uint16_t* height);

} // namespace talix
