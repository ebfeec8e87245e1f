#include "builders/filter_import.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "builders/build_context.h"
#include "builders/record_conversion.h"
#include "core/filters.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kStatusTextSize = 4096;
constexpr const char* kDefaultRecordFile = "default.cd";
constexpr std::size_t kResultPathSize = 1024;

static_assert(kFilterNameLimit + 1 == kFilterRequestNameSize);

// Structure type codes of the records of a wrapped picture.
constexpr plat::WORD kBitmapHeaderType = StructureTypeOf(kSigBitmapHeader);
constexpr plat::WORD kGraphicType = StructureTypeOf(kSigGraphic);
constexpr plat::WORD kImageHeaderType = StructureTypeOf(kSigImageHeader);
constexpr plat::WORD kImageSegmentType = StructureTypeOf(kSigImageSegment);
constexpr std::size_t kHostScratch = 64;   // room for the host form of each of them

// Host offsets.
constexpr std::uint32_t kLongLength = 4;                 // a long header's length
constexpr std::uint32_t kGraphicVersion = 26;
constexpr std::uint8_t kWrappedGraphicVersion = 2;
constexpr std::uint32_t kBitmapWidth = 24, kBitmapHeight = 26;
constexpr std::uint32_t kImageType = 8, kImageWidth = 10, kImageHeight = 12, kImageDataSize = 16,
                        kImageSegments = 20;
constexpr std::uint32_t kSegmentDataSize = 8, kSegmentSize = 10;
constexpr std::uint32_t kSegmentBytes = 10240;
// An image header counts the image's bytes in 32 bits; its segments' count
// must not exceed what a record walk can hold either.
constexpr long kLargestImage = 0x7FFF0000L;

bool ReadExactly(std::FILE* file, void* out, std::size_t length) {
    return std::fread(out, 1, length, file) == length;
}

// Reads one stored structure of a type into host form; false when the file
// ends first, the type is unknown or its record is not of the signature.
bool ReadRecord(std::FILE* file, plat::WORD type, std::uint16_t signature, std::uint8_t* host) {
    const plat::WORD stored = plat::StructStoredLength(type);
    const plat::WORD hostLength = plat::StructHostLength(type);
    if (stored == 0 || hostLength == 0 || hostLength > kHostScratch) return false;
    std::uint8_t bytes[kHostScratch] = {};
    if (!ReadExactly(file, bytes, stored)) return false;
    const void* source = bytes;
    std::memset(host, 0, kHostScratch);
    if (plat::StructRead(&source, type, host) != plat::NOERROR) return false;
    // A record of exactly its structure, as filters write these two.
    return ReadWord(host) == signature && ReadDword(host + kLongLength) == stored;
}

// Writes one structure from host form in stored form.
bool WriteRecord(std::FILE* file, plat::WORD type, const std::uint8_t* host) {
    const plat::WORD stored = plat::StructStoredLength(type);
    if (stored == 0 || stored > kHostScratch) return false;
    std::uint8_t bytes[kHostScratch] = {};
    void* dest = bytes;
    if (plat::StructWrite(&dest, type, host) != plat::NOERROR) return false;
    return std::fwrite(bytes, 1, stored, file) == stored;
}

// The records of the wrapped picture, written to output. False on any
// failure of reading, converting or writing.
bool WriteWrappedImage(std::FILE* image, long imageSize, std::FILE* filter, std::FILE* output,
                       std::uint16_t imageType) {
    std::uint8_t mark[2];
    std::uint8_t graphic[kHostScratch];
    std::uint8_t bitmap[kHostScratch];
    if (!ReadExactly(filter, mark, sizeof mark) || !ReadRecord(filter, kGraphicType, kSigGraphic, graphic) ||
        !ReadRecord(filter, kBitmapHeaderType, kSigBitmapHeader, bitmap))
        return false;
    graphic[kGraphicVersion] = kWrappedGraphicVersion;

    const std::uint32_t size = static_cast<std::uint32_t>(imageSize);
    const std::uint32_t segments = (size + kSegmentBytes - 1) / kSegmentBytes;
    std::uint8_t header[kHostScratch] = {};
    WriteWord(header, kSigImageHeader);
    WriteDword(header + kLongLength, plat::StructStoredLength(kImageHeaderType));
    WriteWord(header + kImageType, imageType);
    WriteWord(header + kImageWidth, ReadWord(bitmap + kBitmapWidth));
    WriteWord(header + kImageHeight, ReadWord(bitmap + kBitmapHeight));
    WriteDword(header + kImageDataSize, size);
    WriteDword(header + kImageSegments, segments);
    if (std::fwrite(mark, 1, sizeof mark, output) != sizeof mark || !WriteRecord(output, kGraphicType, graphic) ||
        !WriteRecord(output, kImageHeaderType, header))
        return false;

    const std::uint32_t headerLength = plat::StructStoredLength(kImageSegmentType);
    std::vector<std::uint8_t> data(kSegmentBytes + 1);
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t dataSize = left < kSegmentBytes ? left : kSegmentBytes;
        const std::uint32_t segmentSize = EvenLength(dataSize);
        if (!ReadExactly(image, data.data(), dataSize)) return false;
        data[dataSize] = 0;
        std::uint8_t segment[kHostScratch] = {};
        WriteWord(segment, kSigImageSegment);
        WriteDword(segment + kLongLength, headerLength + segmentSize);
        WriteWord(segment + kSegmentDataSize, static_cast<std::uint16_t>(dataSize));
        WriteWord(segment + kSegmentSize, static_cast<std::uint16_t>(segmentSize));
        if (!WriteRecord(output, kImageSegmentType, segment) ||
            std::fwrite(data.data(), 1, segmentSize, output) != segmentSize)
            return false;
        left -= dataSize;
    }
    return true;
}

void CloseFile(std::FILE* file) {
    if (file != nullptr) std::fclose(file);
}

// Copies a text, cut to the buffer, terminated.
void CopyText(char* out, std::size_t size, const char* text) {
    if (out == nullptr || size == 0) return;
    std::size_t length = std::strlen(text);
    if (length >= size) length = size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// The filter's failure through the host's message procedure, in the
// library's own words when it has them.
void ReportFilterFailure(plat::ModuleHandle module, plat::STATUS status) {
    std::vector<char> text(kStatusTextSize, '\0');
    plat::LibraryStatusText(module, status, text.data(), static_cast<plat::WORD>(text.size()));
    ShowHostMessage(text.data());
}

// The name of the item's import/export file.
std::string RecordFileName(const BuildContext* context) {
    const ZervaRTItem* item = context->output.item;
    return item != nullptr && item->importExportFile != nullptr && item->importExportFile[0] != '\0'
               ? std::string(item->importExportFile)
               : std::string(kDefaultRecordFile);
}

} // namespace

STATUS WrapImageAsCDFile(const char* imageFile, const char* filterFile, const char* outputFile,
                         std::uint16_t imageType) {
    if (imageFile == nullptr || filterFile == nullptr || outputFile == nullptr || outputFile[0] == '\0')
        return kArgumentError;
    std::FILE* image = plat::OpenInputStream(imageFile);
    std::FILE* filter = plat::OpenInputStream(filterFile);
    long imageSize = -1;
    if (image != nullptr && std::fseek(image, 0, SEEK_END) == 0) {
        imageSize = std::ftell(image);
        if (std::fseek(image, 0, SEEK_SET) != 0) imageSize = -1;
    }
    if (image == nullptr || filter == nullptr || imageSize <= 0 || imageSize > kLargestImage) {
        CloseFile(image);
        CloseFile(filter);
        return kArgumentError;
    }
    // A file of its own in the temporary folder, never one through a link
    // someone left under its name there.
    const int descriptor = MakeFolderFile(outputFile, 0600, nullptr);
    std::FILE* output = descriptor >= 0 ? ::fdopen(descriptor, "wb") : nullptr;
    if (descriptor >= 0 && output == nullptr) ::close(descriptor);
    bool written = output != nullptr && WriteWrappedImage(image, imageSize, filter, output, imageType);
    if (output != nullptr && std::fclose(output) != 0) written = false;
    CloseFile(image);
    CloseFile(filter);
    if (!written) {
        if (descriptor >= 0) std::remove(outputFile);
        return kArgumentError;
    }
    return kOK;
}

STATUS ImportFileThroughFilter(BuildContext* context, const char* sourceFile, const char* libraryName,
                               const char* filterParameter, char* resultPath, std::size_t resultSize,
                               std::int16_t graphic, const char* proposedOutput) {
    if (context == nullptr || sourceFile == nullptr || libraryName == nullptr || libraryName[0] == '\0' ||
        resultPath == nullptr || resultSize == 0 || proposedOutput == nullptr)
        return kArgumentError;
    FilterRequest request;
    const std::size_t nameLength = std::strlen(proposedOutput);
    if (nameLength > kFilterNameLimit) return kArgumentError;
    std::memcpy(request.name, proposedOutput, nameLength);

    plat::ModuleHandle module = nullptr;
    void* entry = nullptr;
    plat::STATUS status = plat::LibraryLoad(libraryName, &module, &entry);
    if (status != plat::NOERROR) return status;
    if (entry == nullptr) {
        plat::LibraryUnload(module);
        return kArgumentError;
    }
    request.module = module;
    status = reinterpret_cast<FilterEntryPoint>(entry)(&request, kFilterCommand, module, filterParameter,
                                                        sourceFile);
    if (status != plat::NOERROR) {
        ReportFilterFailure(module, status);
        plat::LibraryUnload(module);
        if (nameLength > 0) std::remove(proposedOutput);
        return status;
    }
    // The filter may have settled on another name; the block stays bounded.
    request.name[kFilterNameLimit] = '\0';
    CopyText(resultPath, resultSize, request.name);
    plat::LibraryUnload(module);

    std::uint16_t imageType = 0;
    if (FindNoCase(libraryName, "IJPEG") != nullptr) {
        imageType = 2;
    } else if (FindNoCase(libraryName, "IGIF") != nullptr) {
        imageType = 1;
    }
    if (graphic == 0 || imageType == 0) return kOK;
    const std::string wrapped = MakeOwnTemporaryFile(kWrappedImageFile);
    const std::string filterOutput(resultPath);
    if (wrapped.empty()) return kOK;
    if (wrapped.size() < resultSize &&
        WrapImageAsCDFile(sourceFile, filterOutput.c_str(), wrapped.c_str(), imageType) == kOK) {
        std::remove(filterOutput.c_str());
        CopyText(resultPath, resultSize, wrapped.c_str());
    } else {
        std::remove(wrapped.c_str());
    }
    return kOK;
}

STATUS ImportThroughFilter(BuildContext* context, const char* sourceFile, const char* libraryName,
                           const char* filterName, std::int16_t graphic) {
    if (context == nullptr) return kArgumentError;
    const std::string name = RecordFileName(context);
    const std::string proposed = MakeOwnTemporaryFile(name);
    if (proposed.empty()) return kOperationFailed;
    // The filter takes its output name in its request, which holds no more
    // than kFilterNameLimit characters: in a temporary folder whose path is
    // longer, no name fits, and the import is refused with that reason.
    if (proposed.size() > kFilterNameLimit) {
        std::remove(proposed.c_str());
        const std::string why = "its path is longer than the " + std::to_string(kFilterNameLimit) +
                                " characters an import filter's output name may have";
        ShowFileNotWritten(proposed, why.c_str());
        return kArgumentError;
    }
    std::vector<char> result(kResultPathSize, '\0');
    STATUS status = ImportFileThroughFilter(context, sourceFile, libraryName, filterName, result.data(),
                                            result.size(), graphic, proposed.c_str());
    if (status == kOK) {
        status = ConvertItemRecords(result.data(), context);
        std::remove(result.data());
    }
    // The file made for the filter, whatever became of it (the filter may
    // have written another, or none).
    std::remove(proposed.c_str());
    return status;
}

} // namespace talix
