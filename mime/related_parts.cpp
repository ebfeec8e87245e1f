// The parts of the related level in the file and buffer forms: the icons
// the records and the generation called for, the item's pictures (each
// under the Content-ID the generation gives it) and the shared image
// resources the item refers to.
#include <cstdio>
#include <set>
#include <string>

#include "builders/image_resource.h"
#include "core/base64.h"
#include "core/mime_ids.h"
#include "core/pool.h"
#include "core/record_list.h"
#include "core/signatures.h"
#include "core/text_compare.h"
#include "mime/entity_records.h"
#include "mime/entity_writer.h"
#include "mime/mime_icons.h"
#include "talix/item.h"
#include "talix_platform.h"

namespace talix {

namespace {

constexpr std::size_t kBase64Line = 76;

std::string LinesOf(const char* base64) {
    std::string text(base64);
    std::string lines;
    for (std::size_t at = 0; at < text.size(); at += kBase64Line) lines += text.substr(at, kBase64Line) + "\n";
    return lines;
}

RelatedPart IconPart(const MimeIcon& icon, bool named) {
    RelatedPart part;
    part.headers = "Content-Type: image/gif";
    if (named) part.headers += std::string("; name=\"") + icon.fileName + "\"";
    part.headers += std::string("\nContent-Transfer-Encoding: base64\nContent-ID: <") + icon.name + ">\n\n";
    part.body = LinesOf(icon.base64);
    return part;
}

// The database of an image resource reference, closed with the object
// when it was opened for it.
struct ResourceDatabase {
    plat::DBHANDLE handle = 0;
    bool opened = false;
    ~ResourceDatabase() {
        if (opened) plat::DbClose(handle);
    }
};

// The part of a shared image resource, or false when it is not to be
// written (a PNG, bitmap or SVG resource, one already written, one that
// cannot be read).
bool ImageResourcePart(const MimeRun& run, const CDRecordNode* node, const ImageResourceReference& reference,
                       ResourceMailContentIds* contentIds, std::set<std::string>* written, RelatedPart* part) {
    const std::string& name = reference.name;
    const char* type = ImageResourceType(name);
    // One part for each Content-ID: the HTML names no other.
    const std::string contentId = contentIds->Of(node, name);
    if (type == nullptr || !written->insert(contentId).second) return false;
    ResourceDatabase database;
    database.handle =
        OpenImageResourceDatabase(run.item->databaseHandle, reference.hasPath, reference.replica, &database.opened);
    if (database.handle == 0) return false;
    std::uint32_t length = 0;
    char* text = nullptr;
    if (EncodeImageResourceBase64(run.session, database.handle, name.c_str(), &length, &text, 1, 1) != kOK)
        return false;
    part->body.assign(text, length);
    ZervaDeallocate(run.session, text);
    // The name in UTF-8, as the mail standards write a name outside ASCII,
    // a slash or backslash made "_" so that no reader takes it for a
    // folder; the Content-ID in ASCII, as the HTML names it.
    std::string fileName = plat::LmbcsToNative(name);
    for (char& c : fileName)
        if (c == '/' || c == '\\') c = '_';
    part->headers = std::string("Content-Type: image/") + type + FileNameParameter("name", fileName, "\n") +
                    "\nContent-Transfer-Encoding: base64\nContent-ID: <" + contentId + ">\n\n";
    part->fileType = type[0] == 'j' ? "jpg" : type;
    return true;
}

bool PicturePart(const MimeRun& run, const CDRecordNode* picture, const CDRecordNode* header, RelatedPart* part) {
    const char* type = PictureMimeType(header);
    if (type == nullptr) return false;
    const std::string id = PictureContentId(picture, header, run.token);
    const std::uint32_t length = id.empty() ? 0 : Base64ImageLength(header, 1, 1);
    if (length == 0) return false;
    std::string body(length + 1, '\0');
    if (EncodeImageBase64(body.data(), length + 1, header, nullptr, 1, 1) != length) return false;
    body.resize(length);
    part->body = std::move(body);
    part->headers = std::string("Content-Type: image/") + type + "\nContent-Transfer-Encoding: base64\nContent-ID: <" +
                    id + ">\n\n";
    part->fileType = type[0] == 'j' ? "jpg" : type;
    return true;
}

} // namespace

STATUS WalkRelatedParts(const MimeRun& run, const std::function<STATUS(const RelatedPart&)>& emit) {
    // The buffer form's icon parts carry no file name. It has every icon
    // the others have: its HTML refers to them alike.
    const bool named = run.form != MimeForm::Buffer;
    const PictureHeaders& headers = run.scan.pictures;
    bool iconWritten[kMimeIconCount] = {};
    std::set<std::string> resources;
    ResourceMailContentIds contentIds;
    auto icon = [&](IconKind kind, bool named) -> STATUS {
        const auto index = static_cast<std::size_t>(kind);
        if (iconWritten[index]) return kOK;
        iconWritten[index] = true;
        return emit(IconPart(MimeIconOf(kind), named));
    };

    STATUS status = kOK;
    for (const CDRecordNode* node : run.scan.marks) {
        if (status != kOK) break;
        RelatedPart part;
        ImageResourceReference reference;
        if (IsLinkRecord(node)) {
            for (int kind = 0; kind < 4 && status == kOK; ++kind) {
                if (run.linkFlags[kind] != 0) status = icon(static_cast<IconKind>(kind), false);
            }
        }
        if (status != kOK) break;
        part.recordIndex = node->index;
        if (ReadImageResourceReference(node, &reference)) {
            if (ImageResourcePart(run, node, reference, &contentIds, &resources, &part)) status = emit(part);
        } else if (node->signature == kSigGraphic) {
            const auto found = headers.find(node);
            if (found != headers.end() && PicturePart(run, node, found->second, &part)) status = emit(part);
        } else if (node->signature == kSigBar && run.sectionFlag != 0) {
            status = icon(IconKind::Section, named);
        } else if (IsTableTab(node)) {
            status = icon(IconKind::TableTab, named);
        } else if (const int box = CheckBoxKind(node)) {
            status = icon(box == 2 ? IconKind::Checked : IconKind::Unchecked, named);
        }
    }
    // Tab rows name the tab picture whether or not the table's labels call
    // for it.
    if (status == kOK && run.tabPictureNamed) status = icon(IconKind::TableTab, named);
    return status;
}

} // namespace talix
