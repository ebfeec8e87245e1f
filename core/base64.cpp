// Base64 decoding of texts and encoding of image data held in rich text.
#include "core/base64.h"

#include <cstring>
#include <vector>

#include "core/record_list.h"
#include "core/signatures.h"

namespace talix {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// In host form an image segment holds its data length at 8 and its data from 12.
constexpr std::uint32_t kSegmentDataLength = 8;
constexpr std::uint32_t kSegmentData = 12;
constexpr std::uint32_t kLineCharacters = 76;

int DecodeValue(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool StartsImage(const CDRecordNode* header) {
    return header != nullptr && header->signature == kSigImageHeader && header->next != nullptr &&
           header->next->signature == kSigImageSegment;
}

// The image bytes of the segments after the header, each cut to its own
// record so that a damaged length never reads past it.
std::vector<std::uint8_t> ImageData(const CDRecordNode* header) {
    std::vector<std::uint8_t> data;
    for (const CDRecordNode* node = header->next; node != nullptr && node->signature == kSigImageSegment;
         node = node->next) {
        if (node->bytes == nullptr || node->length < kSegmentData) break;
        std::uint16_t length;
        std::memcpy(&length, node->bytes + kSegmentDataLength, sizeof length);
        std::uint32_t available = node->length - kSegmentData;
        std::uint32_t take = length < available ? length : available;
        data.insert(data.end(), node->bytes + kSegmentData, node->bytes + kSegmentData + take);
    }
    return data;
}

} // namespace

std::uint32_t DecodeBase64(const char* text, std::uint8_t* out, std::uint32_t textLength, std::uint32_t outSize) {
    if (text == nullptr || out == nullptr) return 0;
    std::uint32_t written = 0;
    std::uint32_t bits = 0;
    int held = 0;
    for (std::uint32_t i = 0; i < textLength; ++i) {
        int value = DecodeValue(static_cast<unsigned char>(text[i]));
        // Padding ends a group of four: the bits it leaves over are no data,
        // and text after it (pieces encoded one by one and joined) starts a
        // group of its own.
        if (text[i] == '=') {
            bits = 0;
            held = 0;
        }
        if (value < 0) continue;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            if (written == outSize) return written;
            out[written++] = static_cast<std::uint8_t>(bits >> held);
            bits &= (1u << held) - 1;
        }
    }
    return written;
}

std::uint64_t Base64LinesLength(std::uint64_t size, int lfOnly, int lineBreak) {
    const std::uint64_t characters = (size + 2) / 3 * 4;
    if (!lineBreak) return characters;
    const std::uint64_t lines = (characters + kLineCharacters - 1) / kLineCharacters;
    return characters + lines * (lfOnly ? 1 : 2);
}

void AppendBase64Lines(const std::uint8_t* data, std::size_t size, int lfOnly, int lineBreak, std::string* out) {
    out->reserve(out->size() + static_cast<std::size_t>(Base64LinesLength(size, lfOnly, lineBreak)));
    std::size_t position = 0;
    while (position < size) {
        // One line: up to 57 bytes, the last group padded with "=".
        for (std::size_t group = 0; group < kLineCharacters / 4 && position < size; ++group) {
            const std::size_t count = size - position < 3 ? size - position : 3;
            std::uint32_t triple = static_cast<std::uint32_t>(data[position]) << 16;
            if (count > 1) triple |= static_cast<std::uint32_t>(data[position + 1]) << 8;
            if (count > 2) triple |= data[position + 2];
            out->push_back(kAlphabet[(triple >> 18) & 63]);
            out->push_back(kAlphabet[(triple >> 12) & 63]);
            out->push_back(count > 1 ? kAlphabet[(triple >> 6) & 63] : '=');
            out->push_back(count > 2 ? kAlphabet[triple & 63] : '=');
            position += count;
        }
        if (lineBreak) out->append(lfOnly ? "\n" : "\r\n");
    }
}

std::uint32_t Base64ImageLength(const CDRecordNode* header, int lfOnly, int lineBreak) {
    if (!StartsImage(header)) return 0;
    std::uint64_t length = Base64LinesLength(ImageData(header).size(), lfOnly, lineBreak);
    return length > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(length);
}

std::uint32_t EncodeImageBase64(char* out, std::uint32_t outSize, const CDRecordNode* header, std::FILE* file,
                                int lfOnly, int lineBreak) {
    if (!StartsImage(header) || (file == nullptr && out == nullptr)) return 0;
    const std::vector<std::uint8_t> data = ImageData(header);
    // The whole text must fit: a cut Base64 text would be corrupt data.
    if (file == nullptr && Base64LinesLength(data.size(), lfOnly, lineBreak) >= outSize) {
        if (outSize > 0) out[0] = '\0';
        return 0;
    }
    std::string text;
    AppendBase64Lines(data.data(), data.size(), lfOnly, lineBreak, &text);
    if (file == nullptr) {
        std::memcpy(out, text.data(), text.size());
        out[text.size()] = '\0';
        return static_cast<std::uint32_t>(text.size());
    }
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return 0;
    // For a file the line ends are not counted.
    return static_cast<std::uint32_t>(Base64LinesLength(data.size(), lfOnly, 0));
}

} // namespace talix
