// The platform's own import filters (see import_filters.h).
//
// A picture filter reads the picture's size from the file and writes a
// record file: the word 1, then for GIF and JPEG a graphic record and a
// bitmap header of that size (the system wraps the picture itself around
// them), for PNG the whole picture as an imported image: a graphic record,
// an image header and the file's bytes in image segments of 10,240 bytes.
//
// Request block: the output file name, zero-terminated, in its first 100
// bytes, then the DWORD 0x0A000001. An empty output name makes the filter
// write "<source>.cd" and put that name into the block.
#include "import_filters.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ascii_text.h"
#include "attach_internal.h"
#include "byte_order.h"
#include "status_codes.h"
#include "talix_platform/input_file.h"

namespace plat {

namespace {

constexpr WORD kCommandImport = 3;
constexpr size_t kNameSize = 100;
constexpr DWORD kRequestMark = 0x0A000001;
constexpr WORD kRecordFileMark = 1;

// Stored records: long headers (signature word, length double word).
constexpr WORD kSigGraphic = 0x0099;
constexpr WORD kSigBitmapHeader = 0x0095;
constexpr WORD kSigImageHeader = 0x007D;
constexpr WORD kSigImageSegment = 0x007C;
constexpr DWORD kGraphicLength = 28, kBitmapHeaderLength = 38, kImageHeaderLength = 28, kSegmentHeaderLength = 10;
constexpr DWORD kSegmentBytes = 10240;
constexpr WORD kImageTypePng = 4;
// An image header counts the picture's bytes in 32 bits.
constexpr size_t kLargestPicture = 0x7FFF0000;

enum class Kind { Gif, Jpeg, Png };

WORD BigEndianWord(const std::vector<BYTE>& data, size_t at) {
    return static_cast<WORD>(data[at] << 8 | data[at + 1]);
}

bool GifSize(const std::vector<BYTE>& data, WORD* width, WORD* height) {
    if (data.size() < 10 || std::memcmp(data.data(), "GIF8", 4) != 0) return false;
    *width = static_cast<WORD>(data[6] | data[7] << 8);
    *height = static_cast<WORD>(data[8] | data[9] << 8);
    return true;
}

// The size in the first frame header; markers before it are passed over
// with their segments.
bool JpegSize(const std::vector<BYTE>& data, WORD* width, WORD* height) {
    if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    size_t at = 2;
    while (at + 1 < data.size()) {
        if (data[at] != 0xFF) return false;
        while (at + 1 < data.size() && data[at + 1] == 0xFF) ++at;   // fill bytes
        if (at + 1 >= data.size()) return false;
        const BYTE marker = data[at + 1];
        const bool standalone = marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8);
        if (standalone) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA || at + 3 >= data.size()) return false;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 8 >= data.size()) return false;
            *height = BigEndianWord(data, at + 5);
            *width = BigEndianWord(data, at + 7);
            return true;
        }
        const size_t length = BigEndianWord(data, at + 2);
        if (length < 2) return false;
        at += 2 + length;
    }
    return false;
}

bool PngSize(const std::vector<BYTE>& data, WORD* width, WORD* height) {
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() < 24 || std::memcmp(data.data(), kSignature, sizeof kSignature) != 0 ||
        std::memcmp(data.data() + 12, "IHDR", 4) != 0)
        return false;
    // Widths and heights above 65,535 do not fit the records.
    if (data[16] != 0 || data[17] != 0 || data[20] != 0 || data[21] != 0) return false;
    *width = BigEndianWord(data, 18);
    *height = BigEndianWord(data, 22);
    return true;
}

bool PictureSize(Kind kind, const std::vector<BYTE>& data, WORD* width, WORD* height) {
    *width = *height = 0;
    const bool read = kind == Kind::Gif ? GifSize(data, width, height)
                      : kind == Kind::Jpeg ? JpegSize(data, width, height)
                                           : PngSize(data, width, height);
    return read && *width != 0 && *height != 0;
}

// A graphic record: sizes 0, the version given.
void AppendGraphic(std::string* out, BYTE version) {
    PutWord(out, kSigGraphic);
    PutDword(out, kGraphicLength);
    out->append(18, '\0');   // destination and crop sizes, crop offsets, resize word
    out->push_back(static_cast<char>(version));
    out->append(3, '\0');    // flags, reserved word
}

void AppendBitmapHeader(std::string* out, WORD width, WORD height) {
    PutWord(out, kSigBitmapHeader);
    PutDword(out, kBitmapHeaderLength);
    out->append(16, '\0');   // destination and crop sizes, flags, reserved words
    PutWord(out, width);
    PutWord(out, height);
    out->append(12, '\0');   // bits, samples, segment, colour and pattern counts
}

// The picture as an imported image: its header and its bytes in segments.
void AppendImage(std::string* out, WORD type, WORD width, WORD height, const std::vector<BYTE>& data) {
    const DWORD size = static_cast<DWORD>(data.size());
    PutWord(out, kSigImageHeader);
    PutDword(out, kImageHeaderLength);
    PutWord(out, type);
    PutWord(out, width);
    PutWord(out, height);
    PutDword(out, size);
    PutDword(out, (size + kSegmentBytes - 1) / kSegmentBytes);
    PutDword(out, 0);   // flags
    PutDword(out, 0);   // reserved
    for (DWORD at = 0; at < size; at += kSegmentBytes) {
        const WORD dataSize = static_cast<WORD>(size - at < kSegmentBytes ? size - at : kSegmentBytes);
        const WORD segmentSize = static_cast<WORD>(dataSize + (dataSize & 1u));
        PutWord(out, kSigImageSegment);
        PutDword(out, kSegmentHeaderLength + segmentSize);
        PutWord(out, dataSize);
        PutWord(out, segmentSize);
        out->append(reinterpret_cast<const char*>(data.data()) + at, dataSize);
        if (segmentSize != dataSize) out->push_back('\0');
    }
}

// Checks the request block; the output name it holds, or the name the
// filter chooses (written into the block). False for a request that is not
// an import request of this form.
bool TakeRequest(void* request, WORD command, const char* source, std::string* output) {
    auto* block = static_cast<char*>(request);
    if (block == nullptr || command != kCommandImport || source == nullptr || *source == '\0') return false;
    DWORD mark = 0;
    std::memcpy(&mark, block + kNameSize, sizeof mark);
    if (mark != kRequestMark || std::memchr(block, 0, kNameSize) == nullptr) return false;
    *output = block;
    if (!output->empty()) return true;
    *output = std::string(source) + ".cd";
    if (output->size() >= kNameSize) return false;
    std::memcpy(block, output->c_str(), output->size() + 1);
    return true;
}

bool ReadWhole(const std::string& path, std::vector<BYTE>* data) {
    std::FILE* in = OpenInputStream(path.c_str());
    if (in == nullptr) return false;
    BYTE chunk[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) data->insert(data->end(), chunk, chunk + got);
    const bool read = std::ferror(in) == 0;
    std::fclose(in);
    return read;
}

STATUS WriteRecordFile(const std::string& path, const std::string& records) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return ERR_DISK_FILE_OPEN;
    bool written = std::fwrite(records.data(), 1, records.size(), out) == records.size();
    if (std::fclose(out) != 0) written = false;
    if (written) return NOERROR;
    std::remove(path.c_str());
    return ERR_DISK_FILE_IO;
}

STATUS ImportPicture(Kind kind, void* request, WORD command, const char* source) {
    std::string output;
    if (!TakeRequest(request, command, source, &output)) return ERR_BAD_ARGUMENT;
    std::vector<BYTE> data;
    if (!ReadWhole(DiskPath(source), &data)) return ERR_DISK_FILE_OPEN;
    if (data.size() > kLargestPicture) return ERR_FILE_TOO_LARGE;
    WORD width = 0, height = 0;
    if (!PictureSize(kind, data, &width, &height)) return ERR_NOT_A_PICTURE;
    std::string records;
    PutWord(&records, kRecordFileMark);
    if (kind == Kind::Png) {
        AppendGraphic(&records, 2);
        AppendImage(&records, kImageTypePng, width, height, data);
    } else {
        AppendGraphic(&records, 1);
        AppendBitmapHeader(&records, width, height);
    }
    return WriteRecordFile(DiskPath(output.c_str()), records);
}

STATUS GifEntry(void* request, WORD command, void*, const void*, const char* source) {
    return ImportPicture(Kind::Gif, request, command, source);
}
STATUS JpegEntry(void* request, WORD command, void*, const void*, const char* source) {
    return ImportPicture(Kind::Jpeg, request, command, source);
}
STATUS PngEntry(void* request, WORD command, void*, const void*, const char* source) {
    return ImportPicture(Kind::Png, request, command, source);
}
STATUS OtherEntry(void* request, WORD command, void*, const void*, const char* source) {
    std::string output;
    if (!TakeRequest(request, command, source, &output)) return ERR_BAD_ARGUMENT;
    return ERR_NO_IMPORT_FILTER;
}

WORD PutText(const char* text, char* buf, WORD limit) {
    if (buf == nullptr || limit == 0) return 0;
    std::snprintf(buf, limit, "%s", text);
    return static_cast<WORD>(std::strlen(buf));
}

WORD PictureText(const char* kind, WORD status, char* buf, WORD limit) {
    if (status != ERR_NOT_A_PICTURE) return 0;
    char text[64];
    std::snprintf(text, sizeof text, "The file is not a %s picture", kind);
    return PutText(text, buf, limit);
}

WORD GifText(WORD status, char* buf, WORD limit) { return PictureText("GIF", status, buf, limit); }
WORD JpegText(WORD status, char* buf, WORD limit) { return PictureText("JPEG", status, buf, limit); }
WORD PngText(WORD status, char* buf, WORD limit) { return PictureText("PNG", status, buf, limit); }
WORD OtherText(WORD status, char* buf, WORD limit) {
    if (status != ERR_NO_IMPORT_FILTER) return 0;
    return PutText("This platform cannot import files of this kind: its import filters read GIF, JPEG and PNG "
                   "pictures",
                   buf, limit);
}

const BuiltInLibrary kLibraries[] = {
    {"_IGIF", GifEntry, GifText},
    {"_IJPEG", JpegEntry, JpegText},
    {"_IPNG", PngEntry, PngText},
    {"_IOTHER", OtherEntry, OtherText},
};

} // namespace

const BuiltInLibrary* FindBuiltInLibrary(const char* name) {
    if (name == nullptr) return nullptr;
    std::string stem = name;
    const size_t slash = stem.find_last_of("/\\");
    if (slash != std::string::npos) stem.erase(0, slash + 1);
    const size_t dot = stem.rfind('.');
    if (dot != std::string::npos &&
        (plat::CompareNoCase(stem.c_str() + dot, ".dll") == 0 || plat::CompareNoCase(stem.c_str() + dot, ".so") == 0))
        stem.resize(dot);
    for (const BuiltInLibrary& library : kLibraries)
        if (plat::CompareNoCase(stem.c_str(), library.name) == 0) return &library;
    return nullptr;
}

bool IsBuiltInLibrary(const void* module) {
    for (const BuiltInLibrary& library : kLibraries)
        if (module == &library) return true;
    return false;
}

const std::vector<std::pair<std::string, std::string>>& DefaultImportEntries() {
    static const auto* entries = new std::vector<std::pair<std::string, std::string>>{
        {"EDITIMP96", "GIF Image,0,_IGIF,GIF Image,.GIF"},
        {"EDITIMP97", "JPEG Image,0,_IJPEG,JPEG Image,.JPG,.JPEG,.JPE"},
        {"EDITIMP98", "PNG Image,0,_IPNG,PNG Image,.PNG"},
        {"EDITIMP99", "Other files,0,_IOTHER,Other files,.BMP,.TIF,.TIFF,.PCX,.WMF,.CGM,.SVG,.DOC,.DOCX,.RTF,.WPD,"
                      ".XLS,.XLSX,.PDF"},
    };
    return *entries;
}

} // namespace plat
