#include "support/picture_files.h"

#include <cstddef>

namespace talix_test {

namespace {

void Little(std::string* out, std::uint16_t value) {
    out->push_back(static_cast<char>(value & 0xFF));
    out->push_back(static_cast<char>(value >> 8));
}

void Big(std::string* out, std::uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t Crc32(const std::string& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG chunk: length, type, data and the checksum of type and data.
void Chunk(std::string* out, const char* type, const std::string& data) {
    Big(out, static_cast<std::uint32_t>(data.size()), 4);
    const std::string typed = std::string(type, 4) + data;
    out->append(typed);
    Big(out, Crc32(typed), 4);
}

// The bytes as a zlib stream of stored (uncompressed) blocks.
std::string StoredZlib(const std::string& bytes) {
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t length = bytes.size() - at < 65535 ? bytes.size() - at : 65535;
        out.push_back(at + length == bytes.size() ? 1 : 0);
        Little(&out, static_cast<std::uint16_t>(length));
        Little(&out, static_cast<std::uint16_t>(~length));
        out.append(bytes, at, length);
        at += length;
    } while (at < bytes.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    Big(&out, b << 16 | a, 4);
    return out;
}

} // namespace

std::string GifPicture(std::uint16_t width, std::uint16_t height) {
    std::string gif = "GIF89a";
    Little(&gif, width);
    Little(&gif, height);
    gif += std::string("\x80\x00\x00", 3) + std::string("\x00\x00\x00\xff\xff\xff", 6);   // two colours
    gif += ',';
    Little(&gif, 0);
    Little(&gif, 0);
    Little(&gif, width);
    Little(&gif, height);
    gif += std::string("\x00\x02\x02\x44\x01\x00;", 7);
    return gif;
}

std::string JpegPicture(std::uint16_t width, std::uint16_t height) {
    std::string jpeg("\xFF\xD8", 2);
    jpeg += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
    jpeg += std::string("\xFF\xC0\x00\x0B\x08", 5);
    Big(&jpeg, height, 2);
    Big(&jpeg, width, 2);
    jpeg += std::string("\x01\x01\x11\x00\xFF\xD9", 6);
    return jpeg;
}

std::string PngPicture(std::uint16_t width, std::uint16_t height) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    Big(&header, width, 4);
    Big(&header, height, 4);
    header += std::string("\x08\x00\x00\x00\x00", 5);   // 8-bit grey
    Chunk(&png, "IHDR", header);
    const std::string rows(static_cast<std::size_t>(height) * (width + 1u), '\0');
    Chunk(&png, "IDAT", StoredZlib(rows));
    Chunk(&png, "IEND", "");
    return png;
}

} // namespace talix_test
