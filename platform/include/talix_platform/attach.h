// Attachments ("$FILE" items naming a database object) and OLE objects of a
// note.
#pragma once

#include "talix_platform/types.h"

namespace plat {

constexpr WORD ATTACH_DEFAULT = 0x0900;

// Attaches a file from disk under a stored name (the file's own name when
// null) as a "$FILE" item of the note.
TPLAT_API STATUS NoteAttachFile(NOTEHANDLE note, const char* itemName, WORD itemNameLength, const char* path,
                                const char* storedName, WORD flags);
// Writes the bytes of the attachment whose "$FILE" item is given to a file.
TPLAT_API STATUS NoteExtractFile(NOTEHANDLE note, BLOCKID fileItem, const char* path);
// Reads the bytes of an attachment into a new memory block.
TPLAT_API STATUS NoteReadAttachment(NOTEHANDLE note, BLOCKID fileItem, DHANDLE* data, DWORD* size);
// Deletes the "$FILE" item and its database object.
TPLAT_API STATUS NoteDetachFile(NOTEHANDLE note, BLOCKID fileItem);

// OLE objects of a note, by name.
TPLAT_API STATUS NoteRemoveOleObject(NOTEHANDLE note, const char* name);
TPLAT_API STATUS NoteExtractOleObject(NOTEHANDLE note, const char* name, const char* path);
TPLAT_API STATUS NoteWriteOleObject(NOTEHANDLE note, const char* path, const char* name,
                                    const char* description, WORD flags);

} // namespace plat
