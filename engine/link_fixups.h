// Whole-item passes that copy the records of every item of a name from a
// source note into a target item, fixing up what does not survive the move:
// CopyRichTextWithLinks makes links into the source note's link table
// self-contained and carries attachments and OLE objects over;
// RewriteImagesAsURLs turns embedded images into the server URLs that
// deliver them and inserts images given as Base64 data.
#pragma once

#include <cstdint>
#include <string>

#include "core/statuses.h"
#include "talix/chunk.h"
#include "talix_platform/types.h"

class ZervaRTItem;

namespace talix {

// One image of an image list: the list type of the generation's callers
// (include/talix/chunk.h). The rewrite gives each image header the record
// number it has in the source item (counted from 0) and the URL that
// replaces it; an entry's name (for an image given as data: the text whose
// characters from the sixteenth on are its Base64 data). Lists are chains of
// heap entries (new).
using ImageOffsetInfo = ZervaRTChunk::ImageOffsetInfo;

// Deletes every entry of a list.
void FreeImageOffsetList(ImageOffsetInfo* list);

// Replaces the target item's records by the records of every item of the
// source item's name in the source note. Unless sameNote is set, the source
// note's font table is merged into the target's (text runs take the
// target's face ids) and the attachments and OLE objects the records refer
// to are carried over to the target note. Links into the source note's
// "$Links" ("$FormLinks") table become self-contained links in place of the
// indexed ones; a link whose index lies past the table is reported ("TALIX:
// Broken $Links reference") and dropped. Once the new records are stored,
// the attachments and OLE objects the target's old records referred to are
// removed, except those the new records share with the source (same note).
// Returns 0, 1028 for a missing item, 257 when an item
// of the name is not rich text (the source's own error becomes 20029), or
// the failure of the walk, a carry-over or the write; on failure the target
// item, its note's attachments and OLE objects are as they were (OLE
// objects of a name the target already held are replaced as they are
// carried over).
STATUS CopyRichTextWithLinks(ZervaRTItem* source, ZervaRTItem* target, int sameNote,
                             std::uint16_t unused);

// Replaces the target item's records by the source item's with every
// picture preceded by a paragraph. With images (not null) only the pictures
// are written: the list is extended by one entry per image header, whose
// URL ("<base>0.<offset>?OpenElement&amp;FieldElemFormat=gif|jpeg") carries
// the byte offset of the header in the stored item; before them, the images
// of the entries given as Base64 data are written and get their URLs.
// Returns as CopyRichTextWithLinks does (no attachments are carried over or
// removed); on failure the target and the list are as they were.
STATUS RewriteImagesAsURLs(ZervaRTItem* source, ZervaRTItem* target, int sameNote,
                           ImageOffsetInfo** images);

// The per-record steps of the two passes (platform record callbacks whose
// context is the pass's own state); a status other than 0 stops the walk.
plat::STATUS FixLinkRecordCallback(const void* record, plat::WORD signature, plat::DWORD length, void* context);
plat::STATUS ImageURLCallback(const void* record, plat::WORD signature, plat::DWORD length, void* context);

} // namespace talix
