// Image data between graphic records, image-resource design notes and
// files: saving a graphic as a new image resource, measuring and encoding
// an image resource's picture as Base64, and writing a picture (of an image
// resource or of a graphic in a record list) or a plain buffer to a file.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/record_list.h"
#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// Saves the graphic at the node (a graphic record, then an image header,
// then image segments) as the image resource of the name in the database:
// a class-4 design note with its "$TITLE", "$ImageNames", "$Flags" and
// number items, and the records as "$ImageData" items of whole records (at
// most 49,022 bytes of records each) in stored form. The copy of the
// graphic record has its destination size and resize word cleared. An
// image resource of the same name is replaced when replace is set; without
// it the call returns 0 and changes nothing. Returns 0, 1028 when the node
// does not start such a graphic, or the platform's status (the new note is
// then not stored).
STATUS SaveGraphicAsImageResource(RARIvoSession* session, const char* name, const CDRecordNode* graphic,
                                  plat::DBHANDLE db, int replace);

// The database an image-resource reference points to: the item's own
// (own; not to be closed) when the reference carries a database path or no
// replica id; else by the replica id's low word the user's mail database
// (0x0E00: notes.ini "MailServer" and "MailFile"), "names.nsf" (0x0E01),
// "Headline.nsf" (0x0E02), "bookmark.nsf" (0x0E03), or the data
// directory's "__<id>.nsf", opened here (*opened set: the caller closes it).
// 0 when it cannot be opened.
plat::DBHANDLE OpenImageResourceDatabase(plat::DBHANDLE own, bool hasPath, const plat::DBID& replica, bool* opened);

// The image type under which an image resource's picture travels to a
// mail reader or a browser, by the resource's name: "jpeg" (".jpg",
// ".jpeg"), "png", or "gif" for any other name; null for ".bmp" and ".svg",
// which are not handed over.
const char* ImageResourceType(std::string_view name);

// The length of the Base64 text of the image resource's picture (line ends
// included, as EncodeImageResourceBase64 writes it); 0 when it cannot be
// read.
std::uint32_t MeasureImageResourceBase64(RARIvoSession* session, plat::DBHANDLE db, const char* name,
                                         int lfOnly, int lineBreak);

// The Base64 text (RFC 4648, in lines of 76 characters when lineBreak is
// set, each ended by CR LF, or by LF alone with lfOnly) of the image
// resource's picture, in a block of the session's tracked pool of its
// length + 512 bytes (free it with ZervaDeallocate); *length is its length.
// Returns 0, 1028 for a null argument or a resource without image data, 263
// when memory runs out, or the status of finding or opening the resource.
// On failure *text is null and *length 0.
STATUS EncodeImageResourceBase64(RARIvoSession* session, plat::DBHANDLE db, const char* name,
                                 std::uint32_t* length, char** text, int lfOnly, int lineBreak);

// The files below are made new, as core/folder_file.h makes files: never
// written through a link, a FIFO or a device left under the name (that is
// a failure, shown as a message naming the file), and removed when they
// cannot be written whole.

// Writes the picture of the image resource of the name in the database
// (server, path) to a file. Returns 0, the status of connecting to the
// resource, 1028 when it holds no image data (no file is made) or 259 when
// the file cannot be written.
STATUS WriteImageResourceFile(RARIvoSession* session, const char* server, const char* database,
                              const char* name, const char* filePath);

// Writes the data of the image segments after the first image header at or
// after the node to a file. Returns 0, or 1028 (and makes no file) when a
// paragraph, paragraph reference or text run, a bitmap header or the end of
// the list comes first, when the header is not followed by an image
// segment, or when the file cannot be created or written.
STATUS WriteImageSegmentsToFile(const char* filePath, const CDRecordNode* node);

// Writes a buffer to a file. Returns 0, or 1028 when the file cannot be
// created or written.
STATUS WriteBufferToFile(const char* filePath, const void* buffer, std::uint32_t length);

} // namespace talix
