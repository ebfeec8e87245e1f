// Base64: decoding MIME and data texts, encoding bytes in lines, and
// encoding the image data held in rich text (an image header followed by
// image segments) for inline images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace talix {

struct CDRecordNode;

// Decodes textLength characters of Base64 into out, skipping every character
// outside the alphabet ("=" included). Writes at most outSize bytes (three
// quarters of the text length always suffice). Returns the bytes written.
std::uint32_t DecodeBase64(const char* text, std::uint8_t* out, std::uint32_t textLength,
                           std::uint32_t outSize);

// Appends the Base64 text of size bytes to out, in lines of 76 characters;
// with lineBreak every line ends with CR LF (LF alone with lfOnly).
void AppendBase64Lines(const std::uint8_t* data, std::size_t size, int lfOnly, int lineBreak, std::string* out);

// The characters AppendBase64Lines appends for size bytes.
std::uint64_t Base64LinesLength(std::uint64_t size, int lfOnly, int lineBreak);

// Encodes the data of the image segments that follow an image-header node,
// in lines of 76 characters; with lineBreak every line ends with CR LF (LF
// alone with lfOnly). Writes into file when one is given, else into out,
// which is kept terminated. Returns the characters placed in out (line ends
// included) or, for a file, the encoded characters (line ends not counted).
// Returns 0 and writes nothing when the node is not an image header followed
// by an image segment, when out cannot hold the whole text and its
// terminator, when neither out nor file is given, or when writing the file
// fails.
std::uint32_t EncodeImageBase64(char* out, std::uint32_t outSize, const CDRecordNode* header,
                                std::FILE* file, int lfOnly, int lineBreak);

// The characters EncodeImageBase64 places in a buffer for the same
// arguments, line ends included, terminator not included.
std::uint32_t Base64ImageLength(const CDRecordNode* header, int lfOnly, int lineBreak);

} // namespace talix
