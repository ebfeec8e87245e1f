// Finding a note's attachments ("$FILE" items) by file name, reading their
// contents, and copying one into another note under a name it does not hold
// yet; the description of an OLE object the note holds. A name matches a
// stored file name of the same length that equals it ignoring case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/statuses.h"
#include "talix_platform/types.h"

namespace talix {

// The name cut to at most limit bytes for storing: whole LMBCS characters
// of its end are dropped, from its base when it has an extension (its last
// ".", not the first byte, with at most 32 bytes after it), so that the
// extension stays. A name within the limit is returned as it is.
std::string FitStoredName(std::string_view name, std::size_t limit);

// The name a copy of the file gets in the note: its own when the note holds
// no attachment of that name, else the first free "base_N.ext" (N = 2 to
// 999; "attN.ext" for a base of 24 characters or more). Empty when every
// candidate is taken.
std::string FreeStoredName(plat::NOTEHANDLE note, const char* fileName);

// Reads the whole content of the attachment into a new buffer of its size
// + 1 bytes (terminated; the caller frees it with std::free). Returns 0, 546
// when there is no such attachment, or a platform status.
STATUS ReadAttachmentToMemory(plat::NOTEHANDLE note, const char* fileName, char** data,
                              std::uint32_t* size);

// Writes the content of the note's attachment of that name to a new file
// made as core/folder_file.h makes files (never through a link, a FIFO or a
// device left under the name). Returns 0, 546 when the note has no such
// attachment, 257 when the file cannot be made or written (a message names
// it; nothing of it is left), or the platform's status for an unreadable
// attachment.
STATUS ExtractAttachmentFile(plat::NOTEHANDLE note, const char* fileName, const std::string& path);

// The block id of the attachment's item (which 0) or of its value (which
// not 0). Returns 0 or 546.
STATUS FindAttachmentItem(plat::NOTEHANDLE note, const char* fileName, plat::BLOCKID* block,
                          std::uint32_t which);

// The attachment's size: the size its descriptor records (fromObject 0) or
// the size of the database object that holds it. A null size gives 0 at
// once.
STATUS GetAttachmentSize(plat::DBHANDLE db, plat::NOTEHANDLE note, const char* fileName,
                         std::uint32_t* size, std::uint32_t fromObject);

// Copies the attachment's stored name, with its own capitalisation, into
// storedName (terminated, cut to storedNameSize bytes with the terminator).
STATUS GetAttachmentStoredName(plat::NOTEHANDLE note, const char* fileName, char* storedName,
                               std::uint32_t storedNameSize);

// 1 when the note holds an attachment of the name in the buffer. With an
// empty buffer and takeFirst set, the stored name of the note's first
// attachment is copied into the buffer (cut to nameSize bytes with the
// terminator) and 1 returned. 0 when nothing is found.
int FindAttachmentName(plat::NOTEHANDLE note, char* name, std::uint32_t nameSize, std::uint32_t takeFirst);

// A note's attachment as a walk over its "$FILE" items finds it.
struct NoteAttachment {
    std::string name;             // the stored name
    plat::BLOCKID item;
    std::uint32_t objectId = 0;   // the database object holding its bytes
    std::uint16_t hostType = 0;   // kHostTypeOleObject for an OLE object
};

// Every attachment of the note, in note order, found in one walk (items
// whose descriptor cannot be read are passed over). Returns 0 or the status
// of a failed look-up.
STATUS ListAttachments(plat::NOTEHANDLE note, std::vector<NoteAttachment>* attachments);

// Removes the attachments (found by ListAttachments and still in the note)
// from the note, the last first. With freeObjects their database objects
// are freed at once, for objects that no stored note names yet; otherwise
// an object goes when the note is stored without it. Returns 0 or the first
// failure (the others are still removed).
STATUS DetachAttachments(plat::NOTEHANDLE note, const std::vector<NoteAttachment>& attachments, bool freeObjects);

// Copies the source note's attachment into a new database object of db and
// a new "$FILE" item of the target note, under its own name when the target
// does not hold that name yet, else under the first free "base_N.ext"
// (N = 2 to 999; "attN.ext" for a base of 24 characters or more). The name
// used is copied into storedName (cut to storedNameSize bytes with the
// terminator). Returns 0 or a failure masked with 0x3fff (546: no such
// attachment in the source; 257: every name is taken); on failure the
// target note and database are left as they were.
STATUS AttachImportedFile(plat::DBHANDLE db, plat::NOTEHANDLE sourceNote, plat::NOTEHANDLE targetNote,
                          const char* fileName, char* storedName, std::uint32_t storedNameSize);

// The attachment encoder of MIME files: writes the whole content of the
// note's attachment of that name to file as Base64 in lines of 76
// characters, each ended by LF (CR LF when lfOnly is 0). unused and
// fileFields are not read. Returns 0, 1028 for a missing argument, 546 when
// the note has no such attachment, 263 when memory runs out, 257 when the
// file cannot be written, or the platform's status for an unreadable
// attachment; nothing is written on a failure before the first line.
STATUS SetupBase64Alphabet(plat::NOTEHANDLE note, int unused, const char* attachmentName, const char* fileFields,
                           std::FILE* file, int lfOnly);

// The description and flags of the note's OLE object of the name, from the
// first of its "$OLEOBJINFO" items whose whole value holds the object's
// name and description and whose name matches; false (the outputs as they
// were) when none does.
bool FindOleObjectInfo(plat::NOTEHANDLE note, std::string_view name, std::string* description, plat::WORD* flags);

} // namespace talix
