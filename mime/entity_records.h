// What the records of an item call for in its MIME entity: file
// attachments (the mixed level), pictures and icons (the related level),
// and which icon a record calls for. Offsets are into records in host form;
// a record too short for a field never matches.
#pragma once

#include <string>
#include <vector>

#include "core/mime_ids.h"
#include "talix_platform/types.h"

namespace talix {

struct CDRecordNode;

// A file hotspot that names its attachment: the attachment's name and the
// file name it came from (empty when the hotspot holds none).
bool FileHotspotNames(const CDRecordNode* node, std::string* attachment, std::string* fileName);

// A link record: a link, or a resource reference to a note link.
bool IsLinkRecord(const CDRecordNode* node);
// A table label that shows a tab.
bool IsTableTab(const CDRecordNode* node);
// A paragraph definition of a check list: 1 an unchecked box, 2 a checked
// box, 0 neither.
int CheckBoxKind(const CDRecordNode* node);

// A reference to a shared image resource (not by formula): its stored name
// (cut at the first "|"), under which the resource is found, whether the
// reference names a database path, and the replica id of its database.
struct ImageResourceReference {
    std::string name;
    bool hasPath = false;
    plat::DBID replica;
};
bool ReadImageResourceReference(const CDRecordNode* node, ImageResourceReference* reference);

// What one walk over the item's records finds: the mixed (file
// attachments) and related (pictures and icons) levels, the records the
// related and attachment parts come from, in order, and the image header
// of each picture.
struct EntityScan {
    bool mixed = false;
    bool related = false;
    std::vector<const CDRecordNode*> marks;
    PictureHeaders pictures;
};
EntityScan ScanEntityRecords(const CDRecordNode* first);

} // namespace talix
