// The stand-in's own failure statuses, with their texts in status.cpp. They
// lie between 15000 and 15199, apart from every status the system numbers
// itself, and below 0x3fff so that masking keeps them.
#pragma once

#include "talix_platform/types.h"

namespace plat {

enum : STATUS {
    ERR_BASE = 15000,
    ERR_INVALID_HANDLE = 15001,     // not a valid handle
    ERR_NO_MEMORY = 15002,          // insufficient memory
    // 15003, ERR_BAD_ARGUMENT: callers react to it (types.h)
    ERR_LOCKED = 15004,             // the block is locked
    ERR_UNKNOWN_STRUCT = 15005,     // unknown structure type code
    ERR_FILE_NOT_FOUND = 15010,     // the database file does not exist
    ERR_NOT_A_DATABASE = 15011,     // the file is not a database
    // 15012, ERR_DB_EXISTS: callers react to it (database.h)
    ERR_SERVER_UNREACHABLE = 15013, // the server cannot be reached
    ERR_DB_IO = 15014,              // a database read or write failed
    ERR_PATH_TOO_LONG = 15015,      // the path is too long
    ERR_BAD_PATH = 15016,           // the path is not valid
    ERR_DB_BUSY = 15017,            // another process held the write lock longer than the busy wait
    // 15018, ERR_DB_READ_ONLY, and 15019, ERR_DB_CHANGED: callers react to them (database.h)
    ERR_NOTE_NOT_FOUND = 15020,     // no note of that id
    ERR_NOTE_DELETED = 15021,       // the note has been deleted
    ERR_UNID_NOT_FOUND = 15022,     // no note of that universal id
    ERR_NOTE_UPDATE = 15023,        // the note could not be stored
    ERR_UNID_EXISTS = 15024,        // another note has that universal id
    ERR_NOT_ENCRYPTED = 15025,      // the note is not encrypted
    ERR_NOTE_CONFLICT = 15026,      // another writer stored the note since it was opened
    ERR_DB_FULL = 15027,            // the database cannot grow: the disk or quota is full, or the file size limit reached
    ERR_DB_NO_ACCESS = 15028,       // this user may not read the database file, or reach its folder
    ERR_DB_LOG_UNINDEXED = 15029,   // a read-only database's log holds writes and its index is missing
    ERR_OBJECT_NOT_FOUND = 15030,   // no database object of that id
    ERR_OBJECT_RANGE = 15031,       // outside the object's bytes
    ERR_DB_CREATE_DENIED = 15032,   // this user may not make files in the folder of a database to be created
    ERR_DB_LOG_NO_ACCESS = 15033,   // this user may not read the database's log files, another user's
    ERR_TOO_MANY_FILES = 15034,     // the process (or the system) has as many files open as it may
    // 15040, ERR_ITEM_TOO_LARGE: among the statuses the system reacts to (types.h)
    ERR_ITEM_TYPE = 15041,          // the item is not of the expected type
    ERR_ITEM_NAME = 15042,          // the item name is not valid
    ERR_CHARSET = 15050,            // unknown character set
    ERR_TRANSLATE = 15051,          // the text could not be translated
    ERR_TIME_TEXT = 15060,          // not a valid date or time
    ERR_TIME_VALUE = 15061,         // not a valid time value
    ERR_DXL_XML = 15070,            // the DXL is not well-formed XML
    ERR_DXL_ELEMENT = 15071,        // unknown element in the DXL
    ERR_DXL_VALUE = 15072,          // a DXL value is not valid
    ERR_DXL_FILE = 15073,           // the DXL file cannot be read
    ERR_INJECTED = 15090,           // a fault injected by a test
    ERR_FORMULA_SYNTAX = 15100,     // the formula has a syntax error
    ERR_FORMULA_TOO_LONG = 15101,   // the formula is too long to compile
    // 15102, ERR_FORMULA_INVALID: among the statuses the system reacts to (types.h)
    ERR_FORMULA_EVAL = 15103,       // the formula could not be evaluated
    ERR_FORMULA_UNSUPPORTED = 15104, // an @function or statement the evaluator does not offer
    ERR_DRIVER_UNKNOWN = 15105,     // no database driver of that name
    ERR_DRIVER_ENTRY = 15106,       // the driver did not supply its entry points
    ERR_DRIVER_RESULT = 15107,      // the driver returned a value that cannot be read
    ERR_DESIGN_NOT_FOUND = 15120,   // no design note of that name and class
    ERR_NOT_A_VIEW = 15121,         // the note is not a view
    ERR_TOO_MANY_COLLECTIONS = 15122, // every collection handle is in use
    ERR_KEY_TOO_LONG = 15123,       // a view key is longer than 255 bytes
    ERR_NO_SUCH_ENTRY = 15124,      // no entry at that position
    ERR_LIST_FULL = 15125,          // the text list would pass 65,535 bytes
    ERR_NOT_ID_TABLE = 15126,       // the handle is not an id table
    ERR_RECORD_DAMAGED = 15150,     // rich-text record data is damaged
    ERR_WALK_RESTARTS = 15151,      // a walk restarted too many times
    ERR_RECORD_FILE = 15152,        // the file is not a record file
    ERR_RECORD_FILE_SHORT = 15153,  // the record file is cut short
    ERR_DISK_FILE_OPEN = 15154,     // a file on disk cannot be opened or created
    ERR_DISK_FILE_IO = 15155,       // a file on disk cannot be read or written
    ERR_FILE_TOO_LARGE = 15156,     // the file is too large to attach
    ERR_FILE_OBJECT = 15157,        // not an attachment, or a damaged one
    ERR_LIBRARY_LOAD = 15158,       // the program library cannot be loaded
    ERR_LIBRARY_ENTRY = 15159,      // the program library has no entry point
    ERR_NAME_NOT_FOUND = 15160,     // the name is not in the address book
    ERR_NAME_SPACE = 15161,         // unknown name space of the address book
    ERR_BUFFER_SMALL = 15162,       // the result does not fit the buffer
    ERR_NOT_A_PICTURE = 15163,      // the file is not a picture of the kind an import filter reads
    ERR_NO_IMPORT_FILTER = 15164,   // the platform has no import filter for the kind of file
};

} // namespace plat
