#include "mime/entity_records.h"

#include <cstring>
#include <utility>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"

namespace talix {

namespace {

// Host offsets.
constexpr std::uint32_t kLabelFlags = 138;
constexpr std::uint32_t kPreTableDisplay = 20;
constexpr std::uint8_t kDisplayTabbed = 4;
constexpr std::uint16_t kLabelTab = 0x0002;
constexpr std::uint32_t kParagraphFlags = 62, kParagraphFlags2 = 68;
constexpr std::uint32_t kResourceFlags = 4, kResourceKind = 8, kResourceClass = 10, kResourceNameLength = 12,
                        kResourceServerLength = 14, kResourceFileLength = 16, kResourceReplica = 8;
constexpr std::uint16_t kResourceNoteLink = 2, kResourceNamedElement = 3, kResourceClassImage = 0x13;
constexpr std::uint32_t kResourceFormula = 0x1;

bool WordAt(const CDRecordNode* node, std::uint32_t offset, std::uint16_t* value) {
    if (node == nullptr || node->bytes == nullptr || node->length < offset + 2) return false;
    *value = ReadWord(node->bytes + offset);
    return true;
}

bool IsResourceRecord(std::uint16_t signature) {
    return signature == kSigTableCellHref2 || signature == kSigHref2 || signature == kSigTableCellHref ||
           signature == kSigHref;
}

// A reference to a named element of the image class that names it and
// carries no hints.
bool IsNamedImageReference(const CDRecordNode* node) {
    return IsResourceRecord(node->signature) && node->length >= kResourceFixedLength &&
           NodeWord(node, kResourceClass) == kResourceClassImage && NodeWord(node, kResourceKind) == kResourceNamedElement &&
           NodeWord(node, kResourceServerLength) == 0 && NodeWord(node, kResourceFileLength) == 0 &&
           NodeWord(node, kResourceNameLength) != 0;
}

} // namespace

bool FileHotspotNames(const CDRecordNode* node, std::string* attachment, std::string* fileName) {
    if (node == nullptr || node->signature != kSigHotspotBegin || NodeWord(node, kHotspotTypeAt) != kHotspotTypeFile)
        return false;
    const std::uint16_t length = NodeWord(node, kHotspotDataLengthAt);
    if (length == 0 || node->length < kHotspotBeginFixedLength) return false;
    const std::size_t available = node->length - kHotspotBeginFixedLength;
    const std::size_t size = length < available ? length : available;
    const char* data = reinterpret_cast<const char*>(node->bytes + kHotspotBeginFixedLength);
    const std::size_t first = strnlen(data, size);
    attachment->assign(data, first);
    fileName->clear();
    if (first + 1 < size) fileName->assign(data + first + 1, strnlen(data + first + 1, size - first - 1));
    return !attachment->empty();
}

bool IsLinkRecord(const CDRecordNode* node) {
    if (node == nullptr) return false;
    if (node->signature == kSigLink2 || node->signature == kSigLinkExport2) return true;
    return IsResourceRecord(node->signature) && NodeWord(node, kResourceKind) == kResourceNoteLink;
}

bool IsTableTab(const CDRecordNode* node) {
    return node != nullptr && node->signature == kSigTableLabel && (NodeWord(node, kLabelFlags) & kLabelTab) != 0;
}

int CheckBoxKind(const CDRecordNode* node) {
    std::uint16_t flags = 0, flags2 = 0;
    if (node == nullptr || node->signature != kSigPabDefinition || !WordAt(node, kParagraphFlags, &flags) ||
        !WordAt(node, kParagraphFlags2, &flags2))
        return 0;
    if ((flags & 0x0400) == 0 || (flags & 0x1000) != 0) return 0;
    if ((flags2 & 0x2000) != 0 && (flags2 & 0x1802) == 0) return 1;
    if ((flags2 & 0x0002) != 0 && (flags2 & 0x3800) == 0) return 2;
    return 0;
}

bool ReadImageResourceReference(const CDRecordNode* node, ImageResourceReference* reference) {
    if (node == nullptr || (node->signature != kSigHref && node->signature != kSigTableCellHref) ||
        node->length < kResourceFixedLength || NodeWord(node, kResourceClass) != kResourceClassImage ||
        NodeWord(node, kResourceKind) != kResourceNamedElement ||
        (ReadDword(node->bytes + kResourceFlags) & kResourceFormula) != 0)
        return false;
    const std::uint32_t nameLength = NodeWord(node, kResourceNameLength);
    const std::uint32_t hints = NodeWord(node, kResourceServerLength) + NodeWord(node, kResourceFileLength);
    const std::uint32_t replicaAt = kResourceFixedLength + hints;
    const std::uint32_t nameAt = replicaAt + kResourceReplica;
    if (nameLength == 0 || nameAt + nameLength > node->length) return false;
    reference->hasPath = NodeWord(node, kResourceFileLength) != 0;
    reference->replica.Innards[0] = ReadDword(node->bytes + replicaAt);
    reference->replica.Innards[1] = ReadDword(node->bytes + replicaAt + 4);
    std::string name(reinterpret_cast<const char*>(node->bytes + nameAt), nameLength);
    name.resize(strnlen(name.c_str(), name.size()));
    // The resource is found under its stored name; only its Content-ID is
    // made fit for a header.
    reference->name = name.substr(0, name.find('|'));
    return !reference->name.empty();
}

EntityScan ScanEntityRecords(const CDRecordNode* first) {
    EntityScan scan;
    PictureHeaderFinder pictures;
    bool insideFile = false;
    std::string attachment, fileName;
    for (const CDRecordNode* node = first; node != nullptr; node = node->next) {
        pictures.Next(node);
        bool mark = false;
        switch (node->signature) {
        case kSigHotspotBegin:
            if (FileHotspotNames(node, &attachment, &fileName)) {
                scan.mixed = true;
                insideFile = true;
                mark = true;
            }
            break;
        case kSigHotspotEnd:
            insideFile = false;
            break;
        case kSigImageHeader:
            if (!insideFile) scan.related = true;
            break;
        case kSigGraphic:
            mark = RecordExtra(node) != nullptr;
            break;
        case kSigBar:
        case kSigLink2:
        case kSigLinkExport2:
            scan.related = true;
            mark = true;
            break;
        case kSigPreTableBegin:
            // A tabbed table: its tab rows may name the tab picture.
            if (node->bytes != nullptr && node->length > kPreTableDisplay &&
                node->bytes[kPreTableDisplay] == kDisplayTabbed)
                scan.related = true;
            break;
        default:
            if (IsTableTab(node) || CheckBoxKind(node) != 0) {
                scan.related = true;
                mark = true;
            } else if (IsResourceRecord(node->signature)) {
                mark = true;
                if (IsLinkRecord(node) || IsNamedImageReference(node)) scan.related = true;
            }
            break;
        }
        if (mark) scan.marks.push_back(node);
    }
    scan.pictures = std::move(pictures.Finish());
    return scan;
}

} // namespace talix
