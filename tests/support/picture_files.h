// Small picture files for the tests of importing and attaching pictures:
// the bytes of a GIF, a JPEG and a PNG of a given size, each with the
// headers a reader of its kind takes its size from.
#pragma once

#include <cstdint>
#include <string>

namespace talix_test {

std::string GifPicture(std::uint16_t width, std::uint16_t height);
// A JPEG whose frame header follows an application segment, as in files
// that cameras and editors write.
std::string JpegPicture(std::uint16_t width, std::uint16_t height);
std::string PngPicture(std::uint16_t width, std::uint16_t height);

} // namespace talix_test
