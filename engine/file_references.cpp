// Reading which attachment or OLE object a record refers to, and the files
// a note's other rich-text items still show.
#include "engine/file_references.h"

#include <vector>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "engine/record_rename.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::uint32_t kLongestFileName = 255;

} // namespace

std::string FileKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) c = LowerAscii(c);
    return key;
}

bool ReferencedOleObject(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::string* name) {
    if (signature != kSigOleBegin || length < kOleBeginFixedLength) return false;
    const std::uint32_t nameLength = ReadWord(record + kOleBeginNameLengthAt);
    if (nameLength > length - kOleBeginFixedLength || nameLength > kLongestFileName) return false;
    name->assign(reinterpret_cast<const char*>(record + kOleBeginFixedLength), nameLength);
    return !name->empty();
}

bool ReferencedFile(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    FileReference* reference) {
    if (ReferencedOleObject(record, signature, length, &reference->name)) {
        reference->ole = true;
        return true;
    }
    AttachmentNamePlace place;
    if (!FindAttachmentNamePlace(record, signature, length, &place) ||
        !ReadAttachmentName(record, place, &reference->name))
        return false;
    reference->ole = false;
    return true;
}

plat::STATUS CollectFileReference(const void* record, plat::WORD signature, plat::DWORD length, void* references) {
    FileReference reference;
    if (ReferencedFile(static_cast<const std::uint8_t*>(record), signature, length, &reference))
        static_cast<std::vector<FileReference>*>(references)->push_back(std::move(reference));
    return plat::NOERROR;
}

std::set<std::string> ReferencedByOtherItems(plat::NOTEHANDLE note, const char* itemName) {
    std::vector<FileReference> references;
    plat::ItemScan(note, [&](plat::BLOCKID item) -> plat::STATUS {
        char name[256] = {};
        plat::WORD dataType = 0;
        plat::BLOCKID value;
        plat::DWORD length = 0;
        if (plat::ItemQuery(item, name, sizeof name, nullptr, &dataType, &value, &length) == plat::NOERROR &&
            dataType == plat::TYPE_COMPOSITE && !EqualNoCase(name, itemName))
            plat::EnumRecords(value, length, CollectFileReference, &references);
        return plat::NOERROR;
    });
    std::set<std::string> keys;
    for (const FileReference& reference : references) keys.insert(FileKey(reference.name));
    return keys;
}

} // namespace talix
