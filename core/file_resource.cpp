// File-resource content: writing the file header and segments from a file or
// a buffer, replacing text inside the content, and exporting an item to a
// file (file data, raw records, or through an export filter).
#include "core/file_resource.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/filters.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/kept_items.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "core/walkers.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr plat::WORD kFileHeaderType = StructureTypeOf(kSigFileHeader);
constexpr plat::WORD kFileSegmentType = StructureTypeOf(kSigFileSegment);
constexpr std::size_t kFilterNameSize = 256;

// The host forms of the two records (long header: signature, two zero
// bytes, length).
struct FileHeaderRecord {
    std::uint16_t signature = kSigFileHeader;
    std::uint16_t zero = 0;
    std::uint32_t length = 0;
    std::uint16_t extensionLength = 0;
    std::uint32_t fileSize = 0;
    std::uint32_t segmentCount = 0;
    std::uint32_t flags = 0;
    std::uint32_t reserved = 0;
};

struct FileSegmentRecord {
    std::uint16_t signature = kSigFileSegment;
    std::uint16_t zero = 0;
    std::uint32_t length = 0;
    std::uint16_t dataSize = 0;
    std::uint16_t segmentSize = 0;
    std::uint32_t flags = 0;
    std::uint32_t reserved = 0;
};

bool Usable(const ZervaRTItem* item) {
    return ItemReady(item) && item->noteHandle != 0 && item->itemName != nullptr && item->itemName[0] != '\0';
}

// Appends one structure in stored form to a value.
STATUS AppendStored(std::vector<std::uint8_t>* value, plat::WORD type, const void* host) {
    std::size_t at = value->size();
    value->resize(at + plat::StructStoredLength(type));
    void* position = value->data() + at;
    return plat::StructWrite(&position, type, host);
}

void AppendPadded(std::vector<std::uint8_t>* value, const void* bytes, std::size_t length) {
    const auto* start = static_cast<const std::uint8_t*>(bytes);
    value->insert(value->end(), start, start + length);
    if (length % 2 != 0) value->push_back(0);
}

std::vector<std::uint8_t> NewValue() { return {static_cast<std::uint8_t>(plat::TYPE_COMPOSITE), 0}; }

// The stored values of the file header and segments, split into items.
STATUS BuildValues(const char* extension, std::size_t extensionLength, const std::uint8_t* data,
                   std::uint32_t size, std::vector<std::vector<std::uint8_t>>* values) {
    const std::uint32_t headerStored = plat::StructStoredLength(kFileHeaderType);
    const std::uint32_t segmentStored = plat::StructStoredLength(kFileSegmentType);
    if (headerStored == 0 || segmentStored == 0 ||
        plat::StructHostLength(kFileHeaderType) != sizeof(FileHeaderRecord) ||
        plat::StructHostLength(kFileSegmentType) != sizeof(FileSegmentRecord))
        return kOperationFailed;
    if (2 + headerStored + extensionLength + 1 > kWorkBufferSize) return kArgumentError;

    values->assign(1, NewValue());
    FileHeaderRecord header;
    header.extensionLength = static_cast<std::uint16_t>(extensionLength);
    header.length = headerStored + static_cast<std::uint32_t>(extensionLength) + (extensionLength % 2);
    header.fileSize = size;
    header.segmentCount = size / kFileSegmentDataSize + (size % kFileSegmentDataSize != 0 ? 1 : 0);
    STATUS status = AppendStored(&values->back(), kFileHeaderType, &header);
    if (status != plat::NOERROR) return status;
    AppendPadded(&values->back(), extension, extensionLength);

    for (std::uint32_t offset = 0; offset < size; offset += kFileSegmentDataSize) {
        std::uint32_t dataLength = size - offset < kFileSegmentDataSize ? size - offset : kFileSegmentDataSize;
        FileSegmentRecord segment;
        segment.dataSize = static_cast<std::uint16_t>(dataLength);
        segment.segmentSize = static_cast<std::uint16_t>(dataLength + dataLength % 2);
        segment.length = segmentStored + dataLength;
        if (values->back().size() + segmentStored + segment.segmentSize > kWorkBufferSize)
            values->push_back(NewValue());
        status = AppendStored(&values->back(), kFileSegmentType, &segment);
        if (status != plat::NOERROR) return status;
        AppendPadded(&values->back(), data + offset, dataLength);
    }
    return kOK;
}

// Appends one value (data-type word first) through a memory block.
STATUS AppendValue(plat::NOTEHANDLE note, const char* name, const std::vector<std::uint8_t>& value) {
    plat::DHANDLE block = 0;
    auto length = static_cast<plat::DWORD>(value.size());
    STATUS status = plat::MemAlloc(length, plat::MEM_GROWABLE, &block);
    if (status != plat::NOERROR) return status;
    void* start = plat::MemLock(block);
    if (start == nullptr) {
        plat::MemFree(block);
        return kOutOfMemory;
    }
    std::memcpy(start, value.data(), length);
    plat::MemUnlock(block);
    status = plat::ItemAppendByBlock(note, 0, name, NameLength(name), block, length);
    plat::MemFree(block);
    return status;
}

// Reads a whole file. Returns 0, 259 when it cannot be opened or read, 263
// when it is too large to hold.
STATUS ReadWholeFile(const char* path, std::vector<std::uint8_t>* content) {
    std::FILE* file = plat::OpenInputStream(path);
    if (file == nullptr) return kNoHtmlInput;
    STATUS status = kOK;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) status = kNoHtmlInput;
    else if (static_cast<unsigned long>(size) > 0xFFFFFFFFul) status = kOutOfMemory;
    if (status == kOK) {
        try {
            content->resize(static_cast<std::size_t>(size));
        } catch (const std::bad_alloc&) {
            status = kOutOfMemory;
        }
    }
    if (status == kOK && size > 0 && std::fread(content->data(), 1, content->size(), file) != content->size())
        status = kNoHtmlInput;
    std::fclose(file);
    return status;
}

// The extension of a path or type: from its last "." on, or null.
const char* Extension(const char* text) {
    return text != nullptr ? std::strrchr(text, '.') : nullptr;
}

} // namespace

namespace talix {

STATUS WriteFileResourceItems(plat::NOTEHANDLE note, const char* itemName, const char* extension,
                              const std::uint8_t* data, std::uint32_t size) {
    if (note == 0 || itemName == nullptr || itemName[0] == '\0' || (data == nullptr && size != 0))
        return kArgumentError;
    if (extension == nullptr) extension = "";
    std::size_t extensionLength = ::strnlen(extension, kWorkBufferSize);

    std::vector<std::vector<std::uint8_t>> values;
    std::vector<KeptItem> kept;
    STATUS status = kOK;
    try {
        status = BuildValues(extension, extensionLength, data, size, &values);
        if (status == kOK) status = KeepItems(note, itemName, &kept);
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    if (status != kOK) return status;
    status = plat::ItemDelete(note, itemName, NameLength(itemName));
    if (status == plat::ERR_ITEM_NOT_FOUND) status = plat::NOERROR;
    for (std::size_t i = 0; status == plat::NOERROR && i < values.size(); ++i)
        status = AppendValue(note, itemName, values[i]);
    if (status == plat::NOERROR) {
        plat::NUMBER fileSize = size;
        status = plat::ItemSetNumber(note, "$FileSize", &fileSize);
    }
    if (status != plat::NOERROR) RestoreItems(note, itemName, kept);
    return status;
}

namespace {

// True when the first record of the first item of itemName is a file
// header; extension receives the extension it keeps.
bool ReadFileHeader(plat::NOTEHANDLE note, const char* itemName, std::string* extension) {
    extension->clear();
    plat::BLOCKID value;
    plat::DWORD length = 0;
    if (itemName == nullptr ||
        plat::ItemInfo(note, itemName, NameLength(itemName), nullptr, nullptr, &value, &length) != plat::NOERROR)
        return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return false;
    const std::uint32_t stored = plat::StructStoredLength(kFileHeaderType);
    bool found = false;
    // The file header is the first record of the first item.
    if (stored != 0 && plat::StructHostLength(kFileHeaderType) == sizeof(FileHeaderRecord) &&
        length >= 2 + stored && ReadWord(bytes + 2) == kSigFileHeader) {
        FileHeaderRecord header;
        const void* src = bytes + 2;
        found = plat::StructRead(&src, kFileHeaderType, &header) == plat::NOERROR;
        if (found && header.extensionLength <= length - 2 - stored)
            extension->assign(reinterpret_cast<const char*>(bytes + 2 + stored), header.extensionLength);
    }
    plat::BlockUnlock(value);
    return found;
}

} // namespace

std::string FileResourceExtension(plat::NOTEHANDLE note, const char* itemName) {
    std::string extension;
    ReadFileHeader(note, itemName, &extension);
    return extension;
}

} // namespace talix

std::uint16_t ZervaRTItem::CreateFileResourceRichTextItem(const char* extension, const char* filePath) {
    if (!Usable(this)) return kArgumentError;
    std::vector<std::uint8_t> content;
    STATUS status = ReadWholeFile(filePath, &content);
    if (status != kOK) return status;
    return WriteFileResourceItems(noteHandle, itemName, extension, content.data(),
                                  static_cast<std::uint32_t>(content.size()));
}

std::uint16_t ZervaRTItem::CreateFileResourceRichTextItemFromBuffer(const char* extension, const void* buffer,
                                                                    std::uint32_t size) {
    if (!Usable(this) || (buffer == nullptr && size != 0)) return kArgumentError;
    return WriteFileResourceItems(noteHandle, itemName, extension, static_cast<const std::uint8_t*>(buffer), size);
}

std::uint16_t ZervaRTItem::ReplaceTextInFileResource(const char* findText, const char* replacementText) {
    if (!Usable(this) || findText == nullptr || findText[0] == '\0' || replacementText == nullptr)
        return kArgumentError;
    // An item that holds no file has no content to replace text in: it is
    // refused rather than rewritten as an empty file.
    std::string extension;
    if (!ReadFileHeader(noteHandle, itemName, &extension)) return kArgumentError;
    char* content = nullptr;
    std::uint32_t length = 0;
    STATUS status = MeasureItemContent(noteHandle, itemName, &content, &length, 0, 1);
    if (status != kOK) return status;

    // Every occurrence, case-sensitive, searching on after each one.
    const std::string_view text(content, length);
    const std::string_view find(findText);
    std::string result;
    try {
        std::size_t position = 0;
        for (std::size_t at = text.find(find); at != std::string_view::npos; at = text.find(find, position)) {
            result.append(text.substr(position, at - position));
            result.append(replacementText);
            position = at + find.size();
        }
        result.append(text.substr(position));
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    std::free(content);
    if (status != kOK) return status;
    if (result.size() > 0xFFFFFFFFu) return kOutOfMemory;

    return WriteFileResourceItems(noteHandle, itemName, extension.c_str(),
                                  reinterpret_cast<const std::uint8_t*>(result.data()),
                                  static_cast<std::uint32_t>(result.size()));
}

std::uint16_t ZervaRTItem::Export(const char* filePath, const char* type) {
    if (!Usable(this) || filePath == nullptr || filePath[0] == '\0') return kArgumentError;
    if (CompareNamesNoCase(itemName, "$FileData") == 0) return ExportFileData(noteHandle, filePath);

    ownError = 0;
    char library[kFilterNameSize] = {};
    char filter[kFilterNameSize] = {};
    int found = 0;
    if (type != nullptr && type[0] != '\0') {
        // A type with a "." names its extension after it; one without is
        // the extension itself.
        std::string typeText = type;
        int isExtension = Extension(type) == nullptr ? 1 : 0;
        found = FindEditFilter(session, typeText.data(), library, sizeof library, filter, sizeof filter, 0,
                               isExtension);
    }
    if (found == 0) {
        // The look-up upper-cases the extension in the text it is given.
        std::string path = filePath;
        found = FindEditFilter(session, path.data(), library, sizeof library, filter, sizeof filter, 0, 0);
    }

    STATUS status = kOK;
    if (found == 0) {
        const char* extension = Extension(type);
        if (extension == nullptr) extension = Extension(filePath);
        if (extension != nullptr && CompareNamesNoCase(extension, ".cd") == 0) {
            status = ExportItemWithFonts(this, filePath);
        } else {
            // Nothing could write the file: said so, not answered as done.
            const std::string message = std::string("TALIX: Cannot export to '") + filePath +
                                        "': no export filter takes its type, and it is not a .cd file";
            ShowHostMessage(message.c_str());
            status = kArgumentError;
        }
    } else {
        // The records the filter reads go to a file of this export's own,
        // named like the item's import/export file, in the temporary
        // directory (not where the program happens to run, where another
        // export at the same time would write the same name), and go with
        // the export.
        const std::string name =
            importExportFile != nullptr && importExportFile[0] != '\0' ? importExportFile : "default.cd";
        const std::string records = MakeOwnTemporaryFile(name);
        if (records.empty()) {
            status = kOperationFailed;
        } else {
            status = ExportItemWithFonts(this, records.c_str());
            if (status == kOK) {
                char outName[kFilterNameSize] = {};
                status = ExportThroughFilter(session, records.c_str(), library, filter, outName, sizeof outName,
                                             filePath);
            }
            std::remove(records.c_str());
        }
    }
    if (status != kOK && ownError != 0) return ownError;
    return status;
}
