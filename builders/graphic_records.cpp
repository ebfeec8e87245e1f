// The records the picture builders share, and the pixel size of GIF, JPEG
// and PNG data and files.
#include "builders/graphic_records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "builders/append_gate.h"
#include "builders/build_context.h"
#include "builders/graphic_builders.h"
#include "core/ascii.h"
#include "core/clamp.h"
#include "core/font_spec.h"
#include "core/item_work_state.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_io.h"
#include "core/record_layouts.h"
#include "core/session_work_area.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// The longest option value read.
constexpr std::uint32_t kOptionValueLimit = 8192;

} // namespace

STATUS AppendBatch(const RecordBatch& batch, RecordOutput* output) {
    for (const BuiltRecord& record : batch) {
        const STATUS status =
            AppendRecord(record.bytes.data(), record.signature, static_cast<std::uint32_t>(record.bytes.size()), output);
        if (status != kOK) return status;
    }
    return kOK;
}

BuiltRecord BlankRecord(std::uint16_t signature, std::uint32_t length) {
    BuiltRecord record;
    record.signature = signature;
    record.bytes.assign(EvenLength(length), 0);
    WriteWord(record.bytes.data(), signature);
    SetHostRecordLength(record.bytes.data(), signature, length);
    return record;
}

bool TextRecord(std::uint16_t signature, std::uint32_t fixedLength, const std::string& text, BuiltRecord* record) {
    const std::uint64_t length = static_cast<std::uint64_t>(fixedLength) + text.size();
    if (EvenLength(static_cast<std::uint32_t>(std::min<std::uint64_t>(length, 0xFFFFFFFFu))) > kOutputSegmentCapacity)
        return false;
    *record = BlankRecord(signature, static_cast<std::uint32_t>(length));
    if (!text.empty()) std::memcpy(record->bytes.data() + fixedLength, text.data(), text.size());
    return true;
}

bool AltTextRecord(const std::string& text, BuiltRecord* record) {
    if (text.size() > 0xFFFF || !TextRecord(kSigAltText, kAltTextFixedLength, text, record)) return false;
    WriteWord(record->bytes.data() + 4, static_cast<std::uint16_t>(text.size()));
    return true;
}

BuiltRecord BeginRecord(std::uint16_t innerSignature, std::uint16_t version) {
    BuiltRecord record = BlankRecord(kSigBegin, kBeginLength);
    WriteWord(record.bytes.data() + 2, version);
    WriteWord(record.bytes.data() + 4, innerSignature);
    return record;
}

BuiltRecord EndRecord(std::uint16_t innerSignature, std::uint16_t version) {
    BuiltRecord record = BlankRecord(kSigEnd, kBeginLength);
    WriteWord(record.bytes.data() + 2, version);
    WriteWord(record.bytes.data() + 4, innerSignature);
    return record;
}

BuiltRecord EmptyTextRecord(const FontId& font) {
    BuiltRecord record = BlankRecord(kSigText, kTextRunHeader);
    record.bytes[4] = font.face;
    record.bytes[5] = font.attributes;
    record.bytes[6] = font.color;
    record.bytes[7] = font.size;
    return record;
}

BuiltRecord GraphicRecord(std::uint8_t flags, std::uint16_t width, std::uint16_t height, std::uint16_t resize) {
    BuiltRecord record = BlankRecord(kSigGraphic, kGraphicLength);
    std::uint8_t* bytes = record.bytes.data();
    WriteWord(bytes + 8, width);
    WriteWord(bytes + 10, height);
    WriteWord(bytes + 24, resize);
    bytes[26] = 2;       // version
    bytes[27] = flags;
    return record;
}

BuiltRecord ImageHeaderRecord(std::uint16_t imageType, std::uint16_t width, std::uint16_t height,
                              std::uint32_t dataSize, std::uint32_t segmentCount) {
    BuiltRecord record = BlankRecord(kSigImageHeader, kImageHeaderLength);
    std::uint8_t* bytes = record.bytes.data();
    WriteWord(bytes + 8, imageType);
    WriteWord(bytes + 10, width);
    WriteWord(bytes + 12, height);
    WriteDword(bytes + 16, dataSize);
    WriteDword(bytes + 20, segmentCount);
    return record;
}

std::uint32_t ImageSegmentCount(std::uint32_t size) {
    return size / kImageSegmentData + (size % kImageSegmentData != 0 ? 1 : 0);
}

void AddImageSegments(const std::uint8_t* data, std::uint32_t size, RecordBatch* batch) {
    for (std::uint64_t offset = 0; offset < size; offset += kImageSegmentData) {
        const auto part = static_cast<std::uint32_t>(std::min<std::uint64_t>(kImageSegmentData, size - offset));
        const std::uint32_t padded = EvenLength(part);
        BuiltRecord record = BlankRecord(kSigImageSegment, kImageSegmentFixedLength + padded);
        WriteWord(record.bytes.data() + 8, static_cast<std::uint16_t>(part));
        WriteWord(record.bytes.data() + 10, static_cast<std::uint16_t>(padded));
        std::memcpy(record.bytes.data() + kImageSegmentFixedLength, data + offset, part);
        batch->push_back(std::move(record));
    }
}

BuiltRecord FloatRecord(std::uint16_t mode) {
    BuiltRecord record = BlankRecord(kSigFloatPosition, kFloatPositionLength);
    WriteWord(record.bytes.data() + 2, mode);
    return record;
}

BuiltRecord VerticalAlignRecord(std::uint16_t alignment) {
    BuiltRecord record = BlankRecord(kSigVerticalAlign, kVerticalAlignLength);
    WriteWord(record.bytes.data() + 2, alignment);
    return record;
}

BuiltRecord BorderRecord(std::uint16_t width, bool rgbBlack) {
    BuiltRecord record = BlankRecord(kSigBorderInfo, kBorderLength);
    std::uint8_t* bytes = record.bytes.data();
    WriteWord(bytes + 8, 1);   // style: solid
    for (std::uint32_t side = 0; side < 4; ++side) WriteWord(bytes + 10 + 2 * side, width);
    if (rgbBlack) WriteWord(bytes + 44, kColorIsRGB);
    return record;
}

void AppendLengthAttribute(std::string* text, const char* name, std::string_view value) {
    *text += name;
    *text += "='";
    for (const char c : value) {
        const bool keep = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                          c == '%' || c == '-';
        if (keep) *text += c;
    }
    *text += '\'';
}

bool IdNameRecord(const std::string (&texts)[kIdNameTexts], BuiltRecord* record) {
    std::string joined;
    for (const std::string& text : texts) {
        if (text.size() > 0xFFFF) return false;
        joined += text;
    }
    if (!TextRecord(kSigIdName, kIdNameFixedLength, joined, record)) return false;
    for (int i = 0; i < kIdNameTexts; ++i)
        WriteWord(record->bytes.data() + 4 + 2 * i, static_cast<std::uint16_t>(texts[i].size()));
    return true;
}

bool ResourceRecord(std::uint16_t signature, std::uint32_t flags, std::uint16_t type, std::uint16_t resourceClass,
                    const std::string& server, const std::string& file, const std::uint32_t* replica,
                    const std::string& name, BuiltRecord* record) {
    if (server.size() > 0xFFFF || file.size() > 0xFFFF || name.size() > 0xFFFF) return false;
    std::string variable = server + file;
    if (replica != nullptr) {
        std::uint8_t words[8];
        WriteDword(words, replica[0]);
        WriteDword(words + 4, replica[1]);
        variable.append(reinterpret_cast<const char*>(words), sizeof words);
    }
    variable += name;
    if (!TextRecord(signature, kResourceFixedLength, variable, record)) return false;
    std::uint8_t* bytes = record->bytes.data();
    WriteDword(bytes + 4, flags);
    WriteWord(bytes + 8, type);
    WriteWord(bytes + 10, resourceClass);
    WriteWord(bytes + 12, static_cast<std::uint16_t>(name.size()));
    WriteWord(bytes + 14, static_cast<std::uint16_t>(server.size()));
    WriteWord(bytes + 16, static_cast<std::uint16_t>(file.size()));
    return true;
}

bool ReplicaWords(const std::string& text, std::uint32_t words[2]) {
    if (text.size() != 16) return false;
    std::uint32_t halves[2] = {};
    for (std::size_t i = 0; i < 16; ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) return false;
        halves[i / 8] = (halves[i / 8] << 4) | static_cast<std::uint32_t>(digit);
    }
    words[0] = halves[1];
    words[1] = halves[0];
    return true;
}

bool OptionText(const char* options, const char* key, std::string* value) {
    static_assert(kOptionValueLimit > 1);
    std::vector<char> buffer(kOptionValueLimit, '\0');
    if (GetOptionValue(options, key, buffer.data(), kOptionValueLimit) == 0) return false;
    value->assign(buffer.data());
    return true;
}

bool LeftOrRight(const char* alignment) { return EqualNoCase(alignment, "left") || EqualNoCase(alignment, "right"); }

std::uint16_t DecimalWord(const char* text) {
    if (text == nullptr) return 0;
    const long value = std::strtol(text, nullptr, 10);
    return ClampToWord(value);
}

FontId NewTextFont(const BuildContext* context) {
    const ZervaRTItem* item = context->output.item;
    if (item == nullptr || item->work == nullptr || ReadWord(item->work->textTemplate) != kSigText)
        return kDefaultTextFont;
    const std::uint8_t* font = item->work->textTemplate + 4;
    return FontId{font[0], font[1], font[2], font[3]};
}

STATUS CaptionRecord(const char* options, BuildContext* context, BuiltRecord* record, bool* present) {
    *present = false;
    std::string caption;
    if (!OptionText(options, "Caption=", &caption) || caption.empty()) return kOK;
    if (!TextRecord(kSigCaption, kCaptionFixedLength, caption, record)) return kArgumentError;
    std::uint8_t* bytes = record->bytes.data();
    WriteWord(bytes + 4, static_cast<std::uint16_t>(caption.size()));

    std::string position;
    if (OptionText(options, "CaptionPosition=", &position) && StartsWithNoCase(position, "Center")) bytes[6] = 1;

    FontId font{0, 0, 0, 10};
    std::uint16_t colorFlags = kColorSystem;
    std::uint32_t rgb = 0;
    std::string fontText;
    if (OptionText(options, "CaptionFont=", &fontText)) {
        ParsedFontSpec spec;
        FontSpecMask mask;
        if (ParseFontSpec(fontText.c_str(), nullptr, context->output.item, &spec, nullptr, &mask, nullptr) == kOK) {
            ApplyFontSpec(&font, nullptr, nullptr, spec, mask);
            colorFlags = kColorIsRGB;
            if (mask.color != 0) {
                rgb = spec.rgb;
            } else if (font.color < 16) {
                // No colour named: the palette colour of the font's index,
                // which also becomes the session's parsed colour.
                rgb = PaletteRGB(font.color);
                if (context->session != nullptr && context->session->workArea != nullptr) {
                    context->session->workArea->currentRGB = rgb;
                    context->session->workArea->currentColorFlags = kColorIsRGB;
                }
            }
        }
    }
    bytes[8] = font.face;
    bytes[9] = font.attributes;
    bytes[10] = font.color;
    bytes[11] = font.size;
    WriteWord(bytes + 12, colorFlags);
    bytes[14] = static_cast<std::uint8_t>(rgb);
    bytes[15] = static_cast<std::uint8_t>(rgb >> 8);
    bytes[16] = static_cast<std::uint8_t>(rgb >> 16);
    *present = true;
    return kOK;
}

bool GifPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height) {
    if (data == nullptr || size < 10) return false;
    *width = ReadWord(data + 6);
    *height = ReadWord(data + 8);
    return true;
}

bool JpegPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height) {
    // The scan stops 10 bytes before the end, so that a frame header found
    // lies whole inside the data.
    if (data == nullptr || size < 12) return false;
    const std::uint64_t limit = size - 10;
    std::uint64_t at = 2;
    while (at < limit) {
        if (data[at] != 0xFF) {
            ++at;
            continue;
        }
        while (at < limit && data[at] == 0xFF) ++at;   // fill bytes
        if (at >= limit) break;
        const std::uint8_t marker = data[at];
        if (marker >= 0xC0 && marker <= 0xC3) {
            *height = static_cast<std::uint16_t>((data[at + 4] << 8) | data[at + 5]);
            *width = static_cast<std::uint16_t>((data[at + 6] << 8) | data[at + 7]);
            return true;
        }
        // Any other marker is skipped with its segment, whose length counts
        // its own two bytes; a damaged length of 0 or 1 still moves on.
        const std::uint32_t length = static_cast<std::uint32_t>((data[at + 1] << 8) | data[at + 2]);
        at += 1 + std::max<std::uint64_t>(length, 2);
    }
    return false;
}

// The size in a PNG's header chunk, which comes first.
bool PngPixelSize(const std::uint8_t* data, std::uint32_t size, std::uint16_t* width, std::uint16_t* height) {
    if (data == nullptr || size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0 || data[16] != 0 || data[17] != 0 || data[20] != 0 ||
        data[21] != 0)
        return false;
    *width = static_cast<std::uint16_t>(data[18] << 8 | data[19]);
    *height = static_cast<std::uint16_t>(data[22] << 8 | data[23]);
    return true;
}

std::uint16_t PictureDataType(const std::uint8_t* data, std::uint32_t size) {
    static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data == nullptr) return 0;
    if (size >= 8 && std::memcmp(data, kPng, sizeof kPng) == 0) return kImageTypePng;
    if (size >= 4 && std::memcmp(data, "GIF8", 4) == 0) return kImageTypeGif;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) return kImageTypeJpeg;
    return 0;
}

bool PictureFilePixelSize(const char* path, std::uint16_t* width, std::uint16_t* height) {
    std::FILE* in = plat::OpenInputStream(path);
    if (in == nullptr) return false;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + got);
    std::fclose(in);
    const auto size = static_cast<std::uint32_t>(std::min<std::size_t>(data.size(), 0xFFFFFFFFu));
    switch (PictureDataType(data.data(), size)) {
    case kImageTypePng: return PngPixelSize(data.data(), size, width, height);
    case kImageTypeGif: return GifPixelSize(data.data(), size, width, height);
    case kImageTypeJpeg: return JpegPixelSize(data.data(), size, width, height);
    default: return false;
    }
}

} // namespace talix
