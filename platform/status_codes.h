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
    ERR_BAD_ARGUMENT = 15003,       // an argument is missing or out of range
    ERR_LOCKED = 15004,             // the block is locked
    ERR_UNKNOWN_STRUCT = 15005,     // unknown structure type code
    ERR_FILE_NOT_FOUND = 15010,     // the database file does not exist
    ERR_NOT_A_DATABASE = 15011,     // the file is not a database
    ERR_DB_EXISTS = 15012,          // the database already exists
    ERR_SERVER_UNREACHABLE = 15013, // the server cannot be reached
    ERR_DB_IO = 15014,              // a database read or write failed
    ERR_PATH_TOO_LONG = 15015,      // the path is too long
    ERR_BAD_PATH = 15016,           // the path is not valid
    ERR_NOTE_NOT_FOUND = 15020,     // no note of that id
    ERR_NOTE_DELETED = 15021,       // the note has been deleted
    ERR_UNID_NOT_FOUND = 15022,     // no note of that universal id
    ERR_NOTE_UPDATE = 15023,        // the note could not be stored
    ERR_UNID_EXISTS = 15024,        // another note has that universal id
    ERR_NOT_ENCRYPTED = 15025,      // the note is not encrypted
    ERR_OBJECT_NOT_FOUND = 15030,   // no database object of that id
    ERR_OBJECT_RANGE = 15031,       // outside the object's bytes
    ERR_ITEM_TOO_LARGE = 15040,     // the item value is too large
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
};

} // namespace plat
