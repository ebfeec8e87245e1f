// The records that refer to a file kept in their note: a file hotspot and
// the storage link of a picture kept as an attachment name an attachment
// ("$FILE" item), an OLE object record names an OLE object. Operations that
// take records out of an item remove the files those records named, except
// the files that records they leave, or other rich-text items of the note,
// still refer to.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "talix_platform/types.h"

namespace talix {

// A file a record refers to: its name as the record gives it, and whether it
// is an OLE object (else an attachment).
struct FileReference {
    std::string name;
    bool ole = false;
};

// The key under which file names are compared: the name in lower case
// (ASCII letters), as attachment names match ignoring case.
std::string FileKey(std::string_view name);

// The name of the OLE object an OLE object record (kSigOleBegin) names;
// false for other records, and for a record whose name is empty or does not
// fit in it.
bool ReferencedOleObject(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                         std::string* name);

// The file a record refers to: the attachment of a file hotspot or of a
// picture's storage link, or an OLE object. False for other records.
bool ReferencedFile(const std::uint8_t* record, std::uint16_t signature, std::uint32_t length,
                    FileReference* reference);

// A platform record callback that adds the file each record refers to (in
// record order, repeats kept) to references, a std::vector<FileReference>.
// Never stops the walk.
plat::STATUS CollectFileReference(const void* record, plat::WORD signature, plat::DWORD length, void* references);

// The keys (FileKey) of the files the note's rich-text items of other names
// than itemName (ignoring case) refer to. An item whose records cannot be
// walked gives what was read of it.
std::set<std::string> ReferencedByOtherItems(plat::NOTEHANDLE note, const char* itemName);

} // namespace talix
