// The addressing arguments of a driver call: the database and note (a
// universal id list, a note handle, or a database argument followed by a
// note argument) and the item-and-chunk argument.
#pragma once

#include <cstdint>

#include "core/database_write_lock.h"
#include "driver/driver_context.h"
#include "driver/function_tables.h"

namespace talix {

constexpr std::size_t kServerFieldSize = 257;       // at most 256 characters
constexpr std::size_t kItemNameFieldSize = 256;     // at most 255 characters
constexpr std::size_t kChunkDefinitionSize = 128;   // at most 127 characters

// What one call has found out so far.
struct CallState {
    bool consumed = false;              // the first argument was the function name
    char name[kFunctionNameSize] = {};
    NameResolution found;
    const DriverFunctionRow* row = nullptr;
    char server[kServerFieldSize] = {};
    char file[kServerFieldSize] = {};
    std::uint32_t noteId = 0;
    std::uint32_t noteHandle = 0;
    bool byHandle = false;              // the note is a note handle of the caller's
    bool designElement = false;         // the item was connected through a kind:name argument
    char itemName[kItemNameFieldSize] = {};
    bool itemGiven = false;             // the item-and-chunk argument named the item
    char chunkDefinition[kChunkDefinitionSize] = {};
    STATUS status = kOK;                // of the addressing and connection steps
    bool changesNote = false;           // the call may save the note it reads
    // The write lock of the database a call changes, taken before the call
    // reads the note and released when it ends (see TakeNoteWriteLock).
    DatabaseWriteLock writeLock;
    // The call's attempts so far (null: the lock is taken at once).
    WriteAttempts* attempts = nullptr;
};

// For a call that may change the note it reads, takes the write lock of the
// addressed database (once), before the note is read, so that no other
// writer stores it between the read and the save: as the call's attempts
// say, with the call's first write (the call is made again when another
// writer changed the database meanwhile) or at once. A database that stays
// locked past the busy wait ends the call with the platform's busy status.
STATUS TakeNoteWriteLock(CallState* state);

// Reads the database argument into server and file: a text list of server
// and file (an empty file: the current database), or one text holding the
// whole path (empty or missing: the current database). The names, given in
// the platform's character set, are kept in the system's, as the platform
// takes paths. Consumes it.
// Returns 0, 1028 for a server or file longer than 256 characters, or the
// status of the path split.
STATUS SplitServerPath(DriverContext* context, char* server, char* file);

// Reads the database-and-note arguments. A design element (kind:name) is
// connected here, into context->item. Returns 0 to go on (state->status
// holds a connect failure), or the status that ends the call: 12545 for a
// missing, empty or malformed note, 12551 for an unknown design-element
// kind, 1028 for a name that does not fit its field (names are not cut: a
// cut name could address another database or element), or the platform's
// status of a failed path split, database open or universal-id look-up.
STATUS AddressDocument(DriverContext* context, CallState* state);

// Reads the item-and-chunk argument when there is one. Returns 0, 12545
// for an empty item name, 1028 for an item name longer than 255 characters
// or a chunk definition longer than 127, or 546 for an item of a connected
// design element other than the one it is read through.
STATUS ReadItemAndChunk(DriverContext* context, CallState* state);

} // namespace talix
