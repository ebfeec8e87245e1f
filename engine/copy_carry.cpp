// What a copy from another note carries along: Notes links held as indexes
// into the source note's link table become self-contained links, and the
// attachments of file hotspots and the OLE objects the records name are
// copied into the target note.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "builders/append_gate.h"
#include "core/attachments.h"
#include "core/host_message.h"
#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signature_groups.h"
#include "core/signatures.h"
#include "core/temp_directory.h"
#include "core/text_compare.h"
#include "engine/copy_source.h"
#include "engine/copy_work.h"
#include "engine/record_process.h"
#include "engine/record_rename.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr STATUS kErrMemory = 20024;
constexpr const char* kBrokenLink = "TALIX: Broken $Links reference";
constexpr const char* kMemoryError = "TALIX: Memory allocation error";

// "$Links" values: the data-type word, the count, then the links.
constexpr std::uint32_t kLinkTableHeader = 4;

// Link record 0xFF91: its index after the header; 0xFF92 holds the link there.
constexpr std::uint32_t kLinkIndex = 4;
// Resource reference: flags, type, the two hint lengths; then the hints and
// the link (index or inline link).
constexpr std::uint32_t kResourceFlags = 4, kResourceType = 8, kServerHint = 14, kFileHint = 16;
constexpr std::uint32_t kResourceLinkInline = 0x0002;
constexpr std::uint16_t kResourceNoteLink = 2;

constexpr std::uint32_t kLongestName = 255;

// The link of an index into the source note's link table. Returns false
// when the note has no table or the index lies outside it.
bool FindTableLink(plat::NOTEHANDLE note, bool formLinksOnly, std::uint16_t index, std::uint8_t* link) {
    plat::BLOCKID value;
    plat::DWORD length = 0;
    plat::STATUS status = plat::ERR_ITEM_NOT_FOUND;
    if (!formLinksOnly) status = plat::ItemInfo(note, "$Links", 6, nullptr, nullptr, &value, &length);
    if (status != plat::NOERROR) status = plat::ItemInfo(note, "$FormLinks", 10, nullptr, nullptr, &value, &length);
    if (status != plat::NOERROR) return false;
    const auto* bytes = static_cast<const std::uint8_t*>(plat::BlockLock(value));
    if (bytes == nullptr) return false;
    bool found = false;
    if (length >= kLinkTableHeader) {
        std::uint32_t count = ReadWord(bytes + 2);
        const std::uint32_t held = (length - kLinkTableHeader) / kNoteLinkSize;
        if (count > held) count = held;
        if (index < count) {
            std::memcpy(link, bytes + kLinkTableHeader + kNoteLinkSize * index, kNoteLinkSize);
            found = true;
        }
    }
    plat::BlockUnlock(value);
    return found;
}

// The OLE object the record names, read from the source note into a
// temporary file and written into the target note under its name.
STATUS CarryOleObject(CopyWork* work, const std::uint8_t* record, std::uint32_t length) {
    if (length < kOleBeginFixedLength) return kOK;
    std::uint32_t nameLength = ReadWord(record + kOleBeginNameLengthAt);
    if (nameLength > length - kOleBeginFixedLength) nameLength = length - kOleBeginFixedLength;
    const std::string name(reinterpret_cast<const char*>(record + kOleBeginFixedLength),
                           strnlen(reinterpret_cast<const char*>(record + kOleBeginFixedLength), nameLength));
    if (name.empty() || name.size() > kLongestName) return kOK;
    const std::string path = MakeOwnTemporaryFile("copy");
    if (path.empty()) return kOperationFailed;
    STATUS status = plat::NoteExtractOleObject(work->sourceNote, name.c_str(), path.c_str());
    if (status == plat::NOERROR) {
        std::string description;
        plat::WORD flags = 0;
        FindOleObjectInfo(work->sourceNote, name, &description, &flags);
        status = plat::NoteWriteOleObject(work->context->note, path.c_str(), name.c_str(), description.c_str(), flags);
    } else if ((status & kStatusMask) == kItemNotFound) {
        // The source holds no such object: the record is copied as it is.
        status = kOK;
    }
    std::remove(path.c_str());
    return status & kStatusMask;
}

// The source's attachment of the name carried into the target note, once
// per copy (a later record naming it refers to that copy). *stored is the
// name the target stores it under: the name itself, a free one when the
// target already holds the name, or empty when the source holds no such
// attachment (nothing is carried then).
STATUS CarryNamedAttachment(CopyWork* work, const std::string& name, std::string* stored) {
    std::string key(name);
    for (char& c : key) c = LowerAscii(c);
    const auto carried = work->carriedFiles.find(key);
    if (carried != work->carriedFiles.end()) {
        *stored = carried->second;
        return kOK;
    }
    plat::DBHANDLE db = 0;
    if (plat::NoteGetInfo(work->context->note, plat::NOTE_FIELD_DB, &db) != plat::NOERROR) return kArgumentError;
    char buffer[kLongestName + 1] = {};
    const STATUS status = AttachImportedFile(db, work->sourceNote, work->context->note, name.c_str(), buffer,
                                             sizeof buffer);
    stored->clear();
    if (status == kItemNotFound) return kOK;
    if (status != kOK) return status;
    *stored = buffer;
    work->carriedFiles.emplace(key, *stored);
    return kOK;
}

// The record naming an attachment at the place, with that attachment
// carried into the target note; a name the target already holds is
// replaced by a free one, which the record then names.
STATUS CarryNamedBy(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    const AttachmentNamePlace& place) {
    std::string name;
    if (!ReadAttachmentName(record, place, &name)) return AppendCopied(work, record, signature, length);
    std::string stored;
    STATUS status = CarryNamedAttachment(work, name, &stored);
    if (status != kOK) return status;
    if (stored.empty() || stored == name) return AppendCopied(work, record, signature, length);
    std::vector<std::uint8_t> renamed;
    status = RenamedRecord(record, signature, length, place, stored, &renamed);
    if (status != kOK) return status;
    return AppendRecord(renamed.data(), signature, static_cast<std::uint32_t>(renamed.size() - 1),
                        &work->context->output);
}

} // namespace

STATUS AppendInlineLink(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                        plat::NOTEHANDLE sourceNote, bool formLinksOnly, RecordOutput* output, bool* handled) {
    if (handled == nullptr) return kArgumentError;
    *handled = false;
    if (record == nullptr || output == nullptr) return kOK;
    std::uint32_t indexAt = 0;
    if (signature == kSigLink2) {
        if (length < kLinkFixedLength) return kOK;
        indexAt = kLinkIndex;
    } else if (IsLinkResourceRecord(signature)) {
        if (length < kResourceFixedLength || ReadWord(record + kResourceType) != kResourceNoteLink ||
            (ReadDword(record + kResourceFlags) & kResourceLinkInline) != 0)
            return kOK;
        indexAt = kResourceFixedLength + ReadWord(record + kServerHint) + ReadWord(record + kFileHint);
        if (indexAt + 2 > length) return kOK;   // damaged: copied as it is
    } else {
        return kOK;
    }
    *handled = true;

    std::uint8_t link[kNoteLinkSize];
    if (!FindTableLink(sourceNote, formLinksOnly, ReadWord(record + indexAt), link)) {
        ShowHostMessage(kBrokenLink);
        return kOK;
    }
    // The link in place of the index; the bytes after the index follow it.
    const std::uint16_t newSignature = signature == kSigLink2 ? kSigLinkExport2 : signature;
    const std::uint32_t head = signature == kSigLink2 ? kLinkIndex : indexAt;
    const std::uint32_t rest = length - indexAt - 2;
    const std::uint32_t newLength = head + kNoteLinkSize + rest;
    static_assert(kLinkExportFixedLength == kLinkIndex + kNoteLinkSize);
    if (newLength > 0xFFFF) return kOperationFailed;
    auto* inline_ = static_cast<std::uint8_t*>(std::calloc(newLength + 1, 1));
    if (inline_ == nullptr) {
        ShowHostMessage(kMemoryError);
        output->errorWord = kErrMemory;
        return kOutOfMemory;
    }
    std::memcpy(inline_, record, head);
    std::memcpy(inline_ + head, link, kNoteLinkSize);
    std::memcpy(inline_ + head + kNoteLinkSize, record + indexAt + 2, rest);
    WriteWord(inline_, newSignature);
    if (signature != kSigLink2) {
        WriteDword(inline_ + kResourceFlags, ReadDword(record + kResourceFlags) | kResourceLinkInline);
    }
    SetHostRecordLength(inline_, newSignature, newLength);
    const STATUS status = AppendRecord(inline_, newSignature, newLength, output);
    std::free(inline_);
    return status;
}

STATUS CarryAttachment(CopyWork* work, const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                       bool* handled) {
    *handled = false;
    // A file hotspot, or a picture kept as an attachment of its note (a
    // storage link of the attachment kind): the attachment is copied into
    // the target note too, so that it is not lost with the move.
    AttachmentNamePlace place;
    if (FindAttachmentNamePlace(record, signature, length, &place)) {
        *handled = true;
        return CarryNamedBy(work, record, signature, length, place);
    }
    if (signature == kSigOleBegin) {
        const STATUS status = CarryOleObject(work, record, length);
        if (status != kOK) return status;
        *handled = true;
        return AppendCopied(work, record, signature, length);
    }
    return kOK;
}

} // namespace talix
