#include "core/mime_ids.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/record_forms.h"
#include "core/record_layouts.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Host offsets of an image header.
constexpr std::uint32_t kImageType = 8, kImageDataSize = 16;
constexpr std::uint16_t kImageTypeJpeg = 2;
constexpr std::size_t kTokenTail = 16;

bool EndsPictureSearch(std::uint16_t signature) {
    return signature == kSigText || signature == kSigBidiText || signature == kSigEnd;
}

} // namespace

STATUS ReadNoteToken(plat::NOTEHANDLE note, char* token) {
    token[0] = '\0';
    plat::ORIGINATORID oid;
    const plat::STATUS status = plat::NoteGetInfo(note, plat::NOTE_FIELD_OID, &oid);
    if (status != plat::NOERROR) return status;
    std::snprintf(token, kNoteTokenSize, "%.8X%.8X%.8X%.8X", oid.File.Innards[1], oid.File.Innards[0],
                  oid.Note.Innards[1], oid.Note.Innards[0]);
    return kOK;
}

void PictureHeaderFinder::CloseRun() {
    // The pictures an image header followed get the run's last one.
    for (const auto& [picture, before] : waiting_) {
        if (headerCount_ > before) headers_[picture] = lastHeader_;
    }
    waiting_.clear();
    lastHeader_ = nullptr;
    headerCount_ = 0;
}

void PictureHeaderFinder::Next(const CDRecordNode* node) {
    if (EndsPictureSearch(node->signature)) {
        CloseRun();
    } else if (node->signature == kSigImageHeader) {
        lastHeader_ = node;
        ++headerCount_;
    } else if (node->signature == kSigGraphic && RecordExtra(node) != nullptr) {
        waiting_.emplace_back(node, headerCount_);
    }
}

PictureHeaders& PictureHeaderFinder::Finish() {
    CloseRun();
    return headers_;
}

PictureHeaders FindPictureHeaders(const CDRecordNode* first) {
    PictureHeaderFinder finder;
    for (const CDRecordNode* node = first; node != nullptr; node = node->next) finder.Next(node);
    return std::move(finder.Finish());
}

std::uint16_t ImageHeaderType(const CDRecordNode* header) {
    if (header == nullptr || header->bytes == nullptr || header->length < kImageType + 2) return 0;
    return ReadWord(header->bytes + kImageType);
}

std::string ResourceContentId(std::string_view name) {
    std::string id(name.substr(0, name.find('|')));
    for (char& c : id) {
        if (std::strchr("\\/\"'<>& ();{}", c) != nullptr || static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '_';
    }
    return id;
}

std::string ResourceMailContentId(std::string_view resourceId) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = plat::LmbcsToNative(std::string(resourceId));
    std::string id;
    id.reserve(utf8.size());
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || c == '%' || c == '#' || c == '?') {
            id += '=';
            id += kHex[byte >> 4];
            id += kHex[byte & 0xF];
        } else {
            id += c;
        }
    }
    return id;
}

namespace {

// Host offsets of a resource reference naming an image resource.
constexpr std::uint32_t kReferenceFlags = 4, kReferenceKind = 8, kReferenceClass = 10, kReferenceNameLength = 12,
                        kReferenceServerLength = 14, kReferenceFileLength = 16;
constexpr std::uint16_t kNamedElement = 3, kImageClass = 0x13;
constexpr std::uint32_t kReferenceFormula = 0x1;

// The stored name of the image resource a reference record names, cut at
// its first "|"; empty for any other record and for a name a formula
// computes.
std::string StoredImageResourceName(const CDRecordNode* node) {
    if (node->signature != kSigHref && node->signature != kSigHref2 && node->signature != kSigTableCellHref &&
        node->signature != kSigTableCellHref2)
        return "";
    if (node->bytes == nullptr || node->length < kNamedElementResourceFixedLength ||
        NodeWord(node, kReferenceKind) != kNamedElement || NodeWord(node, kReferenceClass) != kImageClass ||
        (ReadDword(node->bytes + kReferenceFlags) & kReferenceFormula) != 0)
        return "";
    const std::uint32_t nameAt = kNamedElementResourceFixedLength + NodeWord(node, kReferenceServerLength) +
                                 NodeWord(node, kReferenceFileLength);
    const std::uint32_t nameLength = NodeWord(node, kReferenceNameLength);
    if (nameAt > node->length || nameLength > node->length - nameAt) return "";
    const char* text = reinterpret_cast<const char*>(node->bytes + nameAt);
    const std::string name(text, strnlen(text, nameLength));
    return name.substr(0, name.find('|'));
}

} // namespace

std::string ResourceMailContentIds::Of(const CDRecordNode* node, const std::string& name) {
    const std::string cut = name.substr(0, name.find('|'));
    if (node != nullptr && references_.count(node) == 0 && !StoredImageResourceName(node).empty()) Read(node);
    const auto found = ids_.find(cut);
    return found != ids_.end() ? found->second : ResourceMailContentId(ResourceContentId(cut));
}

void ResourceMailContentIds::Read(const CDRecordNode* node) {
    references_.clear();
    ids_.clear();
    while (node->prev != nullptr) node = node->prev;
    // The names the list refers to, grouped by the Content-ID each would
    // have; every such Content-ID.
    std::map<std::string, std::set<std::string>> sharing;
    std::set<std::string> taken;
    for (; node != nullptr; node = node->next) {
        std::string other = StoredImageResourceName(node);
        if (other.empty()) continue;
        references_.insert(node);
        std::string id = ResourceMailContentId(ResourceContentId(other));
        taken.insert(id);
        sharing[std::move(id)].insert(std::move(other));
    }
    for (const auto& [id, names] : sharing) {
        if (names.size() < 2) continue;
        const std::string& keeper = names.count(id) != 0 ? id : *names.begin();
        int number = 1;
        for (const std::string& other : names) {
            if (other == keeper) continue;
            std::string own;
            do {
                own = id + "-" + std::to_string(++number);
            } while (taken.count(own) != 0);
            ids_[other] = std::move(own);
        }
    }
}

const char* PictureMimeType(const CDRecordNode* header) {
    constexpr std::uint16_t kGif = 1, kJpeg = 2, kPng = 4;
    if (header == nullptr || header->bytes == nullptr || header->length < kImageDataSize + 4 ||
        ReadDword(header->bytes + kImageDataSize) == 0)
        return nullptr;
    switch (ImageHeaderType(header)) {
    case kGif: return "gif";
    case kJpeg: return "jpeg";
    case kPng: return "png";
    default: return nullptr;
    }
}

std::string PictureContentId(const CDRecordNode* picture, const CDRecordNode* header, const char* token) {
    if (picture == nullptr || picture->signature != kSigGraphic || RecordExtra(picture) == nullptr || header == nullptr ||
        header->bytes == nullptr || header->length < kImageDataSize + 4 || token == nullptr)
        return "";
    if (ReadDword(header->bytes + kImageDataSize) == 0) return "";
    const auto* reference = static_cast<const GraphicExtra*>(RecordExtra(picture));
    const std::size_t tokenLength = std::strlen(token);
    const char* tail = tokenLength > kTokenTail ? token + tokenLength - kTokenTail : token;
    char id[64];
    std::snprintf(id, sizeof id, "_%d_%.6u%.6x%s", ImageHeaderType(header) == kImageTypeJpeg ? 2 : 1,
                  static_cast<unsigned>(reference->segment), static_cast<unsigned>(reference->key), tail);
    std::string text(id);
    for (char& c : text) c = UpperAscii(c);
    return text;
}

} // namespace talix
