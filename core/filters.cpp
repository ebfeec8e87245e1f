// Export filters from notes.ini, the raw export of an item's records with
// the note's font table, and the event procedures of a program library.
#include "core/filters.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/chunk_work_state.h"
#include "core/folder_file.h"
#include "core/host_message.h"
#include "core/options.h"
#include "core/replacing_file.h"
#include "core/text_compare.h"
#include "talix/chunk.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr int kLastFilterEntry = 99;
constexpr const char* kFilterMessagePrefix = "TALIX: ";

// Copies length bytes of text, cut to the buffer, terminated.
void CopyField(char* out, std::size_t size, const char* text, std::size_t length) {
    if (out == nullptr || size == 0) return;
    if (length >= size) length = size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
}

// The start of field n (0-based) of a comma-separated text and its length.
// False when the text has fewer fields.
bool CommaField(const char* text, int n, const char** start, std::size_t* length) {
    const char* p = text;
    for (int i = 0; i < n; ++i) {
        p = std::strchr(p, ',');
        if (p == nullptr) return false;
        ++p;
    }
    const char* end = std::strchr(p, ',');
    *start = p;
    *length = end != nullptr ? static_cast<std::size_t>(end - p) : std::strlen(p);
    return true;
}

int CountCommas(const char* text) {
    int commas = 0;
    for (const char* p = text; *p != '\0'; ++p)
        if (*p == ',') ++commas;
    return commas;
}

// Appends the whole value of an item after its data-type word.
bool WriteValue(std::FILE* file, plat::BLOCKID value, plat::DWORD length) {
    if (length <= 2) return true;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return false;
    bool written = std::fwrite(bytes + 2, 1, length - 2, file) == length - 2;
    plat::BlockUnlock(value);
    return written;
}

// Writes the word 1, the font table and every item of the name. Returns 0
// or the failure.
STATUS WriteRawRecords(ZervaRTItem* item, std::FILE* file) {
    const std::uint8_t version[2] = {1, 0};
    if (std::fwrite(version, 1, sizeof version, file) != sizeof version) return kOperationFailed;

    plat::BLOCKID found, value;
    plat::WORD dataType = 0;
    plat::DWORD length = 0;
    STATUS status = plat::ItemInfo(item->noteHandle, "$Fonts", 6, &found, &dataType, &value, &length);
    if (status == plat::NOERROR) {
        if (dataType != plat::TYPE_COMPOSITE) return kOperationFailed;
        if (!WriteValue(file, value, length)) return kOperationFailed;
    } else if (status != plat::ERR_ITEM_NOT_FOUND) {
        return status;
    }

    const char* name = item->itemName;
    plat::WORD nameLength = static_cast<plat::WORD>(::strnlen(name, 0xFFFF));
    status = plat::ItemInfo(item->noteHandle, name, nameLength, &found, &dataType, &value, &length);
    while (status == plat::NOERROR) {
        if (dataType != plat::TYPE_COMPOSITE) {
            item->ownError = kErrNotRichText;
            return kOperationFailed;
        }
        if (!WriteValue(file, value, length)) return kOperationFailed;
        status = plat::ItemInfoNext(item->noteHandle, found, name, nameLength, &found, &dataType, &value, &length);
    }
    return status == plat::ERR_ITEM_NOT_FOUND ? kOK : status;
}

} // namespace

int FindEditFilter(RARIvoSession* session, char* fileName, char* libraryName, std::size_t librarySize,
                   char* filterName, std::size_t filterSize, int import, int isExtension) {
    if (session == nullptr || fileName == nullptr) return 0;
    const char* extension = fileName;
    if (isExtension == 0) {
        char* dot = std::strrchr(fileName, '.');
        if (dot == nullptr) return 0;
        for (char* p = dot; *p != '\0'; ++p) *p = UpperAscii(*p);
        extension = dot;
    }
    // An empty extension would be found in every entry, and so would the
    // dot of a name that ends in it.
    if (extension[0] == '\0' || (extension[0] == '.' && extension[1] == '\0')) return 0;

    char* entry = session->messageBuffer;
    for (int n = 1; n <= kLastFilterEntry; ++n) {
        char variable[16];
        std::snprintf(variable, sizeof variable, import != 0 ? "EDITIMP%d" : "EDITEXP%d", n);
        if (!plat::IniGetText(variable, entry, RARIvoSession::kMessageCapacity) || entry[0] == '\0') continue;
        if (CountCommas(entry) < 4 || FindNoCase(entry, extension) == nullptr) continue;
        const char* field = nullptr;
        std::size_t length = 0;
        CommaField(entry, 2, &field, &length);
        CopyField(libraryName, librarySize, field, length);
        CommaField(entry, 3, &field, &length);
        CopyField(filterName, filterSize, field, length);
        return 1;
    }
    return 0;
}

STATUS ExportThroughFilter(RARIvoSession* session, const char* exportData, const char* libraryName,
                           const char* fileName, char* outName, std::size_t outNameSize, const char* name) {
    if (session == nullptr || libraryName == nullptr || exportData == nullptr) return kArgumentError;
    FilterRequest request;
    if (name != nullptr) {
        std::size_t length = std::strlen(name);
        // The request holds the name whole or not at all: a longer one is
        // refused with that reason rather than cut into another path.
        if (length >= kFilterRequestNameSize) {
            const std::string why = "its path is longer than the " + std::to_string(kFilterRequestNameSize - 1) +
                                    " characters an export filter's output name may have";
            ShowFileNotWritten(name, why.c_str());
            return kArgumentError;
        }
        std::memcpy(request.name, name, length);
    }

    plat::ModuleHandle module = nullptr;
    void* entry = nullptr;
    STATUS status = plat::LibraryLoad(libraryName, &module, &entry);
    if (status != plat::NOERROR) return status;
    // A library without the filter entry point is no filter.
    if (entry == nullptr) {
        plat::LibraryUnload(module);
        return kOperationFailed;
    }
    request.module = module;
    status = reinterpret_cast<FilterEntryPoint>(entry)(&request, kFilterCommand, module, fileName, exportData);
    if (status != plat::NOERROR) {
        const std::size_t prefix = std::strlen(kFilterMessagePrefix);
        std::memcpy(session->messageBuffer, kFilterMessagePrefix, prefix + 1);
        plat::LibraryStatusText(module, status, session->messageBuffer + prefix,
                                static_cast<plat::WORD>(RARIvoSession::kMessageCapacity - prefix));
        ShowHostMessage(session->messageBuffer);
        plat::LibraryUnload(module);
        return status;
    }
    // The filter may have settled on another output name.
    request.name[kFilterRequestNameSize - 1] = '\0';
    CopyField(outName, outNameSize, request.name, std::strlen(request.name));
    plat::LibraryUnload(module);
    return kOK;
}

STATUS ExportItemWithFonts(ZervaRTItem* item, const char* filePath) {
    if (item == nullptr || item->noteHandle == 0 || item->itemName == nullptr || item->itemName[0] == '\0' ||
        filePath == nullptr || filePath[0] == '\0')
        return kArgumentError;
    // Written as every output file is (core/replacing_file.h): a failure
    // leaves the file of that name as it was.
    ReplacingFile output;
    if (!output.Open(filePath, "w+b")) return kOperationFailed;
    STATUS status = WriteRawRecords(item, output.file());
    if (status == kOK && !output.Commit()) status = kOperationFailed;
    return status;
}

void SetChunkCallbacks(ZervaRTChunk* chunk, void* module, const char* kind, const char* procedureName) {
    if (chunk == nullptr || chunk->work == nullptr || module == nullptr || kind == nullptr || kind[0] == '\0')
        return;
    bool named = procedureName != nullptr && procedureName[0] != '\0';
    if (CompareNamesNoCase(kind, "ActOnText") == 0) {
        void* procedure = plat::LibraryProcedure(module, named ? procedureName : "ActOnText");
        chunk->work->actOnText = reinterpret_cast<ActOnTextProc>(procedure);
    } else if (CompareNamesNoCase(kind, "QueryLinkData") == 0) {
        void* procedure = plat::LibraryProcedure(module, named ? procedureName : "QueryLinkData");
        chunk->work->queryLinkData = reinterpret_cast<QueryLinkDataProc>(procedure);
    }
}

} // namespace talix
