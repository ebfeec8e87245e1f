// Walking the CD records of rich-text values and of record files, handing
// each record to a callback in host form.
//
// A stored record starts with a header whose first word decides its form:
// high byte 0xFF a word header (4 bytes, WORD length at 2), high byte 0 a
// long header (6 bytes, DWORD length at 2), anything else a byte header (the
// low byte is the signature, the high byte the length). Lengths include the
// header; records in a value start at even offsets. In host form the fixed
// part of a record is its structure in host layout (StructRead by the
// structure type of its signature), the variable part follows unchanged, and
// the record's own length field holds the host length (a long header in host
// form is the signature, two zero bytes and the DWORD length at offset 4).
// Records without a known structure, or shorter than theirs, are handed over
// as they are stored.
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "attach_internal.h"
#include "byte_order.h"
#include "notes_internal.h"
#include "status_codes.h"
#include "structure_table.h"
#include "talix_platform/database.h"
#include "talix_platform/enumerate.h"
#include "talix_platform/input_file.h"
#include "talix_platform/memory.h"
#include "talix_platform/structures.h"

namespace plat {

namespace {

constexpr WORD kSigAction = 0xFFBE;   // a word signature whose structure has a long header
constexpr int kMaxRestarts = 64;      // restarts of one item walk before it gives up
constexpr WORD kRecordFileMark = 1;   // the word that starts a record file

enum class HeaderForm { Byte, Word, Long };

struct RecordHeader {
    WORD signature = 0;   // as records carry it once decoded: byte-form ones as 0x00nn
    DWORD length = 0;     // stored length, header included
    DWORD size = 0;       // header bytes
    HeaderForm form = HeaderForm::Byte;
};

// The form and header size of a record from its first word.
void HeaderShape(WORD first, RecordHeader* header) {
    if (first == kSigAction || (first >> 8) == 0) {
        header->form = HeaderForm::Long;
        header->size = 6;
        header->signature = first;
    } else if ((first >> 8) == 0xFF) {
        header->form = HeaderForm::Word;
        header->size = 4;
        header->signature = first;
    } else {
        header->form = HeaderForm::Byte;
        header->size = 2;
        header->signature = static_cast<WORD>(first & 0xFF);
    }
}

// The length from a complete header (header->size bytes at p).
void HeaderLength(const BYTE* p, RecordHeader* header) {
    switch (header->form) {
    case HeaderForm::Long: header->length = GetDword(p + 2); break;
    case HeaderForm::Word: header->length = GetWord(p + 2); break;
    case HeaderForm::Byte: header->length = p[1]; break;
    }
}

// Reads the header of the record at p with left bytes available; damaged
// data (a cut header, a length shorter than the header or past the end)
// gives ERR_RECORD_DAMAGED.
STATUS ReadHeader(const BYTE* p, size_t left, RecordHeader* header) {
    if (left < 2) return ERR_RECORD_DAMAGED;
    HeaderShape(GetWord(p), header);
    if (left < header->size) return ERR_RECORD_DAMAGED;
    HeaderLength(p, header);
    if (header->length < header->size || header->length > left) return ERR_RECORD_DAMAGED;
    return NOERROR;
}

// Converts one stored record (header.length bytes at record) into host form
// in *host (padded with a zero byte to even length); *hostLength gets its
// host length.
STATUS ToHost(const BYTE* record, const RecordHeader& header, std::vector<BYTE>* host, DWORD* hostLength) {
    WORD type = kNoTypeCode;
    WORD storedFixed = 0, hostFixed = 0;
    if (SignatureInfo(header.signature, &type, nullptr) && type != kNoTypeCode) {
        storedFixed = StructStoredLength(type);
        hostFixed = StructHostLength(type);
    }
    if (storedFixed == 0 || header.length < storedFixed) {
        host->assign(record, record + header.length);
        if (header.length % 2 != 0) host->push_back(0);
        *hostLength = header.length;
        return NOERROR;
    }
    DWORD total = header.length - storedFixed + hostFixed;
    host->assign(total + total % 2, 0);
    const void* src = record;
    STATUS status = StructRead(&src, type, host->data());
    if (status != NOERROR) return status;
    std::memcpy(host->data() + hostFixed, record + storedFixed, header.length - storedFixed);
    if (hostFixed != storedFixed) {
        BYTE* out = host->data();
        switch (header.form) {
        case HeaderForm::Long:
            out[4] = static_cast<BYTE>(total);
            out[5] = static_cast<BYTE>(total >> 8);
            out[6] = static_cast<BYTE>(total >> 16);
            out[7] = static_cast<BYTE>(total >> 24);
            break;
        case HeaderForm::Word:
            if (total > 0xFFFF) return ERR_RECORD_DAMAGED;
            out[2] = static_cast<BYTE>(total);
            out[3] = static_cast<BYTE>(total >> 8);
            break;
        case HeaderForm::Byte:
            if (total > 0xFF) return ERR_RECORD_DAMAGED;
            out[1] = static_cast<BYTE>(total);
            break;
        }
    }
    *hostLength = total;
    return NOERROR;
}

// Walks the records of a composite value (type word first).
STATUS WalkValue(const BYTE* value, size_t length, RecordCallback callback, void* context) {
    if (length < 2) return ERR_RECORD_DAMAGED;
    if (GetWord(value) != TYPE_COMPOSITE) return ERR_ITEM_TYPE;
    std::vector<BYTE> host;
    size_t offset = 2;
    while (offset < length) {
        RecordHeader header;
        STATUS status = ReadHeader(value + offset, length - offset, &header);
        DWORD hostLength = 0;
        if (status == NOERROR) status = ToHost(value + offset, header, &host, &hostLength);
        if (status == NOERROR) status = callback(host.data(), header.signature, hostLength, context);
        if (status != NOERROR) return status;
        // An odd record is followed by a pad byte, which the value may leave
        // out at its very end.
        offset += header.length + header.length % 2;
    }
    return NOERROR;
}

// Reads exactly length bytes; false when the file ends first or fails.
bool ReadExactly(std::FILE* file, void* out, size_t length) { return std::fread(out, 1, length, file) == length; }

} // namespace

STATUS EnumRecordsInMemory(const void* value, DWORD valueLength, RecordCallback callback, void* context) {
    if (value == nullptr || callback == nullptr) return ERR_BAD_ARGUMENT;
    return WalkValue(static_cast<const BYTE*>(value), valueLength, callback, context);
}

// The value is copied first, so that the callback may change the note.
STATUS EnumRecords(BLOCKID value, DWORD valueLength, RecordCallback callback, void* context) {
    if (callback == nullptr) return ERR_BAD_ARGUMENT;
    std::vector<BYTE> copy;
    {
        std::lock_guard<std::recursive_mutex> lock(StorageMutex());
        DWORD stored = 0;
        STATUS status = ItemQuery(value, nullptr, 0, nullptr, nullptr, nullptr, &stored);
        if (status != NOERROR) return status;
        if (valueLength > stored) return ERR_BAD_ARGUMENT;
        const auto* bytes = static_cast<const BYTE*>(BlockLock(value));
        if (bytes == nullptr) return ERR_INVALID_HANDLE;
        copy.assign(bytes, bytes + valueLength);
        BlockUnlock(value);
    }
    return WalkValue(copy.data(), copy.size(), callback, context);
}

STATUS EnumItemRecords(NOTEHANDLE note, const char* itemName, RecordCallback callback, void* context) {
    if (itemName == nullptr || callback == nullptr) return ERR_BAD_ARGUMENT;
    size_t nameLength = std::strlen(itemName);
    if (nameLength > 0xFFFF) return ERR_ITEM_NAME;
    WORD length16 = static_cast<WORD>(nameLength);
    for (int restarts = 0;; ++restarts) {
        if (restarts > kMaxRestarts) return ERR_WALK_RESTARTS;
        BLOCKID item, value;
        WORD dataType = 0;
        DWORD valueLength = 0;
        STATUS status = ItemInfo(note, itemName, length16, &item, &dataType, &value, &valueLength);
        while (status == NOERROR) {
            if (dataType != TYPE_COMPOSITE) return ERR_ITEM_TYPE;
            status = EnumRecords(value, valueLength, callback, context);
            if (status != NOERROR) break;
            status = ItemInfoNext(note, item, itemName, length16, &item, &dataType, &value, &valueLength);
            if (status == ERR_ITEM_NOT_FOUND) return NOERROR;   // the normal end of the items
        }
        if (status != ERR_WALK_RESTART) return status;
    }
}

// A record file: the word 1, then records back to back. An odd record may be
// followed by a zero pad byte (a record never starts with a zero byte).
STATUS EnumRecordFile(const char* path, RecordCallback callback, void* context) {
    if (path == nullptr || *path == '\0' || callback == nullptr) return ERR_BAD_ARGUMENT;
    std::FILE* file = OpenInputStream(DiskPath(path).c_str());
    if (file == nullptr) return ERR_DISK_FILE_OPEN;
    BYTE mark[2];
    STATUS status = NOERROR;
    if (!ReadExactly(file, mark, 2)) {
        status = std::ferror(file) ? ERR_DISK_FILE_IO : ERR_RECORD_FILE_SHORT;
    } else if (GetWord(mark) != kRecordFileMark) {
        status = ERR_RECORD_FILE;
    }
    std::vector<BYTE> record, host;
    bool odd = false;
    while (status == NOERROR) {
        BYTE head[6];
        size_t got = std::fread(head, 1, 2, file);
        if (got == 2 && odd && head[0] == 0) {   // the pad byte of the record before
            head[0] = head[1];
            got = 1 + std::fread(head + 1, 1, 1, file);
        }
        if (got == 0 || (got == 1 && odd && head[0] == 0)) {   // the end of the records
            if (std::ferror(file)) status = ERR_DISK_FILE_IO;
            break;
        }
        if (got < 2) {
            status = ERR_RECORD_FILE_SHORT;
            break;
        }
        RecordHeader header;
        HeaderShape(GetWord(head), &header);
        if (!ReadExactly(file, head + 2, header.size - 2)) {
            status = ERR_RECORD_FILE_SHORT;
            break;
        }
        HeaderLength(head, &header);
        if (header.length < header.size || header.length > kMaxStoredBytes) {
            status = ERR_RECORD_DAMAGED;
            break;
        }
        record.resize(header.length);
        std::memcpy(record.data(), head, header.size);
        if (!ReadExactly(file, record.data() + header.size, header.length - header.size)) {
            status = std::ferror(file) ? ERR_DISK_FILE_IO : ERR_RECORD_FILE_SHORT;
            break;
        }
        DWORD hostLength = 0;
        status = ToHost(record.data(), header, &host, &hostLength);
        if (status == NOERROR) status = callback(host.data(), header.signature, hostLength, context);
        odd = header.length % 2 != 0;
    }
    std::fclose(file);
    return status;
}

} // namespace plat
