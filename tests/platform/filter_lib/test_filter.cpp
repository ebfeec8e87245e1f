// A small import filter for the tests: a program library with the filter
// entry point. It turns a text file into a record file (the word 1, then per
// line a paragraph record and a text record), and a GIF or JPEG picture into
// the records a picture filter writes (the word 1, a graphic record and a
// bitmap header with the picture's size; GIF sizes come from the file,
// JPEG pictures count as 40 x 30), and carries its own status texts.
//
// Request block: the output file name, zero-terminated, in its first 100
// bytes, then the DWORD 0x0A000001, then the library handle. An empty output
// name makes the filter choose "<source>.cd" and write that name back into
// the block.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "talix_platform/types.h"

namespace {

using plat::BYTE;
using plat::DWORD;
using plat::STATUS;
using plat::WORD;

constexpr WORD kCommandImport = 3;
constexpr size_t kNameSize = 100;
constexpr DWORD kRequestMark = 0x0A000001;
constexpr WORD kSigParagraph = 0x0081;   // byte form, length 2
constexpr WORD kSigText = 0xFF85;        // word form: header, FONTID, text
constexpr DWORD kFont = 0x0A000001;      // 10 point, face 1
constexpr WORD kSigGraphic = 0x0099;     // long form
constexpr WORD kSigBitmapHeader = 0x0095;

// The filter's own statuses.
constexpr STATUS kBadRequest = 15901;
constexpr STATUS kNoSource = 15902;
constexpr STATUS kCannotWrite = 15903;

void PutWord(std::vector<BYTE>& out, WORD word) {
    out.push_back(static_cast<BYTE>(word));
    out.push_back(static_cast<BYTE>(word >> 8));
}

void PutDword(std::vector<BYTE>& out, DWORD word) {
    PutWord(out, static_cast<WORD>(word));
    PutWord(out, static_cast<WORD>(word >> 16));
}

// The graphic record (28 stored bytes, version 1) and the bitmap header (38
// stored bytes) of a picture.
void AppendPicture(std::vector<BYTE>& out, WORD width, WORD height) {
    PutWord(out, kSigGraphic);
    PutDword(out, 28);
    out.insert(out.end(), 18, 0);   // destination and crop sizes, crop offsets, resize word
    out.push_back(1);               // version
    out.insert(out.end(), 3, 0);    // flags, reserved word
    PutWord(out, kSigBitmapHeader);
    PutDword(out, 38);
    out.insert(out.end(), 16, 0);   // destination and crop sizes, flags, reserved words
    PutWord(out, width);
    PutWord(out, height);
    out.insert(out.end(), 12, 0);   // bits, samples, segment, colour and pattern counts
}

void AppendLine(std::vector<BYTE>& out, const std::string& line) {
    out.push_back(static_cast<BYTE>(kSigParagraph));
    out.push_back(2);
    PutWord(out, kSigText);
    PutWord(out, static_cast<WORD>(8 + line.size()));
    PutDword(out, kFont);
    out.insert(out.end(), line.begin(), line.end());
    if (line.size() % 2 != 0) out.push_back(0);
}

} // namespace

extern "C" __attribute__((visibility("default"))) STATUS MainEntryPoint(void* request, WORD command, void* module,
                                                                        const void* parameter, const char* source) {
    auto* block = static_cast<char*>(request);
    DWORD mark = 0;
    if (block != nullptr) std::memcpy(&mark, block + kNameSize, sizeof mark);
    if (block == nullptr || command != kCommandImport || mark != kRequestMark ||
        std::memchr(block, 0, kNameSize) == nullptr || source == nullptr) {
        return kBadRequest;
    }
    std::FILE* in = std::fopen(source, "rb");
    if (in == nullptr) return kNoSource;
    std::vector<BYTE> records;
    PutWord(records, 1);
    BYTE head[10] = {};
    const size_t got = std::fread(head, 1, sizeof head, in);
    const bool gif = got == sizeof head && std::memcmp(head, "GIF8", 4) == 0;
    const bool jpeg = got >= 2 && head[0] == 0xFF && head[1] == 0xD8;
    std::rewind(in);
    if (gif || jpeg) {
        AppendPicture(records, gif ? static_cast<WORD>(head[6] | head[7] << 8) : 40,
                      gif ? static_cast<WORD>(head[8] | head[9] << 8) : 30);
    }
    std::string line;
    for (int c = gif || jpeg ? EOF : std::fgetc(in);; c = std::fgetc(in)) {
        if (c == EOF || c == '\n') {
            if (c == '\n' || !line.empty()) AppendLine(records, line);
            line.clear();
            if (c == EOF) break;
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    std::fclose(in);

    std::string output = block;
    if (output.empty()) {
        output = std::string(source) + ".cd";
        if (output.size() >= kNameSize) return kCannotWrite;
        std::memcpy(block, output.c_str(), output.size() + 1);
    }
    std::FILE* out = std::fopen(output.c_str(), "wb");
    if (out == nullptr) return kCannotWrite;
    bool written = std::fwrite(records.data(), 1, records.size(), out) == records.size();
    if (std::fclose(out) != 0) written = false;
    return written ? 0 : kCannotWrite;
}

extern "C" __attribute__((visibility("default"))) WORD LibraryStatusText(WORD status, char* buf, WORD limit) {
    const char* text = nullptr;
    switch (status) {
    case kBadRequest: text = "Test filter: not a valid import request"; break;
    case kNoSource: text = "Test filter: cannot read the source file"; break;
    case kCannotWrite: text = "Test filter: cannot write the output file"; break;
    default: return 0;
    }
    if (limit == 0) return 0;
    std::snprintf(buf, limit, "%s", text);
    return static_cast<WORD>(std::strlen(buf));
}
