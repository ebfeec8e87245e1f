// Opening databases and notes by name, note id or universal id, copying a
// design note under a free name, and the data type of an item.
#pragma once

#include <cstdint>

#include "core/statuses.h"
#include "talix_platform/types.h"

class RARIvoSession;

namespace talix {

// Opens the database at path, on server when the server name is not empty
// and does not begin with a blank. Returns 0, 1028 for an empty path, or the
// platform's status (its text left in the session's status-text buffer).
STATUS OpenDatabaseByName(RARIvoSession* session, const char* server, const char* path, plat::DBHANDLE* db);

// Opens a database and one note of it: the design note named designName
// (of class designClass) when one is given, else the note noteId. With a copy
// name the note returned is a new in-memory copy titled with the first free
// name made from it. On failure both handles are closed and zeroed.
STATUS OpenDesignNote(RARIvoSession* session, const char* server, const char* path, plat::NOTEID noteId,
                      const char* designName, const char* copyName, plat::DBHANDLE* db,
                      plat::NOTEHANDLE* note, std::uint16_t autoDecrypt, void* decryptionKey,
                      plat::WORD designClass = plat::NOTE_CLASS_FORM);

// The design-note look-up, note open and copy of OpenDesignNote on a database
// the caller has open (and keeps open).
STATUS CopyDesignElementUnique(RARIvoSession* session, plat::DBHANDLE db, plat::NOTEID noteId,
                               const char* designName, const char* copyName, plat::NOTEHANDLE* note,
                               std::uint16_t autoDecrypt, void* decryptionKey,
                               plat::WORD designClass = plat::NOTE_CLASS_FORM);

// Closes the note, then the database (either may be 0).
void CloseNoteAndDatabase(plat::DBHANDLE db, plat::NOTEHANDLE note);

// Opens a note by universal id.
STATUS FindNoteByUNID(RARIvoSession* session, plat::DBHANDLE db, const plat::UNID* unid, plat::NOTEHANDLE* note,
                      std::uint16_t openFlags, std::uint16_t autoDecrypt, void* decryptionKey);

// The data-type word of the first item of the name; 0 when there is none.
std::uint16_t GetItemDataType(plat::NOTEHANDLE note, const char* itemName);

} // namespace talix
