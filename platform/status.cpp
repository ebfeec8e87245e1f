// Status texts: the platform's own failures and the system statuses the
// platform knows by number.
#include <cstdio>
#include <cstring>

#include "status_codes.h"
#include "store.h"
#include "talix_platform/database.h"
#include "talix_platform/log.h"

namespace plat {

namespace {

struct StatusTextEntry {
    STATUS status;
    const char* text;
};

const StatusTextEntry kStatusTexts[] = {
    {ERR_ITEM_NOT_FOUND, "Item not found"},
    {ERR_WALK_RESTART, "The walk must start again"},
    // The rich-text system also answers 1028 when it refuses an argument.
    {ERR_KEY_NOT_FOUND, "Entry not found, or an argument is not valid"},
    {ERR_ENUM_DONE, "Enumeration complete"},
    // Statuses the rich-text system and its formula driver answer with.
    {257, "The operation could not be carried out"},
    {259, "There is no input to read"},
    {263, "Insufficient memory"},
    {1026, "Nothing to sort: fewer than two keys"},
    {1027, "The rich text's structure does not allow the change"},
    {1298, "The operation is complete"},
    {5081, "A picture's source lies outside the message"},
    {12545, "A required argument is missing"},
    {12546, "An argument is of the wrong type"},
    {12550, "Unknown function or property name, or the property could not be set"},
    {12551, "Unknown kind of design element"},
    {12552, "Unknown or damaged value"},
    {12572, "Nothing is connected"},
    {12583, "Insufficient memory in the database driver"},
    {12584, "The values do not fit the result"},
    {14409, "Rendering skipped"},
    {14410, "The HTML is past a bound of the import"},
    {14411, "The operation is not available in this session"},
    {14412, "The words do not fit the text result"},
    {ERR_INVALID_HANDLE, "Invalid handle"},
    {ERR_NO_MEMORY, "Insufficient memory"},
    {ERR_BAD_ARGUMENT, "Invalid argument"},
    {ERR_LOCKED, "The block is locked"},
    {ERR_UNKNOWN_STRUCT, "Unknown structure type"},
    {ERR_FILE_NOT_FOUND, "File does not exist"},
    {ERR_NOT_A_DATABASE, "File is not a database"},
    {ERR_DB_EXISTS, "Database already exists"},
    {ERR_SERVER_UNREACHABLE, "Server not responding"},
    {ERR_DB_IO, "Database read or write failed"},
    {ERR_PATH_TOO_LONG, "Path name too long"},
    {ERR_BAD_PATH, "Invalid path name"},
    {ERR_DB_BUSY, nullptr},   // built with the busy wait in force
    {ERR_DB_READ_ONLY, "The database is read-only: this user cannot write it"},
    {ERR_DB_CHANGED, "Another process wrote to the database while this change was being prepared"},
    {ERR_NOTE_NOT_FOUND, "Invalid or nonexistent document"},
    {ERR_NOTE_DELETED, "Document has been deleted"},
    {ERR_UNID_NOT_FOUND, "Cannot find a document with that universal id"},
    {ERR_NOTE_UPDATE, "Document could not be saved"},
    {ERR_UNID_EXISTS, "Another document has the same universal id"},
    {ERR_NOT_ENCRYPTED, "Document is not encrypted"},
    {ERR_NOTE_CONFLICT, "Document was changed by another writer since it was opened"},
    {ERR_DB_FULL, "The database cannot grow: the disk is full, or the file is at its size limit"},
    {ERR_DB_NO_ACCESS, "This user may not read the database file"},
    {ERR_DB_LOG_UNINDEXED, "The database's log holds writes that cannot be read without its index file: a user who "
                           "may write the database must open it first"},
    {ERR_OBJECT_NOT_FOUND, "Object does not exist"},
    {ERR_OBJECT_RANGE, "Position is outside the object"},
    {ERR_DB_CREATE_DENIED, "This user may not make files in the database's folder"},
    {ERR_DB_LOG_NO_ACCESS, "This user may not read the database's log files (-wal, -shm): they belong to another "
                           "user"},
    {ERR_TOO_MANY_FILES, "Too many open files: the process has as many files open as it may, and the database "
                         "needs another"},
    {ERR_ITEM_TOO_LARGE, "Item value too large"},
    {ERR_ITEM_TYPE, "Item is of the wrong type"},
    {ERR_ITEM_NAME, "Invalid item name"},
    {ERR_CHARSET, "Unknown character set"},
    {ERR_TRANSLATE, "Text could not be translated"},
    {ERR_TIME_TEXT, "Unable to interpret time or date"},
    {ERR_TIME_VALUE, "Invalid time or date value"},
    {ERR_DXL_XML, "DXL is not well-formed"},
    {ERR_DXL_ELEMENT, "Unknown DXL element"},
    {ERR_DXL_VALUE, "Invalid DXL value"},
    {ERR_DXL_FILE, "Cannot read the DXL file"},
    {ERR_INJECTED, "Injected fault"},
    {ERR_FORMULA_SYNTAX, "Formula syntax error"},
    {ERR_FORMULA_TOO_LONG, "Formula is too long"},
    {ERR_FORMULA_INVALID, "Not a compiled formula"},
    {ERR_FORMULA_EVAL, "Formula evaluation failed"},
    {ERR_FORMULA_UNSUPPORTED, "@Function or statement not available in formula evaluation"},
    {ERR_DRIVER_UNKNOWN, "No database driver of that name is registered"},
    {ERR_DRIVER_ENTRY, "The database driver did not supply its entry points"},
    {ERR_DRIVER_RESULT, "The database driver returned an unreadable value"},
    {ERR_DESIGN_NOT_FOUND, "Design note not found"},
    {ERR_NOT_A_VIEW, "The note is not a view"},
    {ERR_TOO_MANY_COLLECTIONS, "Too many open collections"},
    {ERR_KEY_TOO_LONG, "The key is longer than 255 bytes"},
    {ERR_NO_SUCH_ENTRY, "No entry at that position"},
    {ERR_LIST_FULL, "The list is full"},
    {ERR_NOT_ID_TABLE, "Not an id table"},
    {ERR_RECORD_DAMAGED, "Damaged rich-text data"},
    {ERR_WALK_RESTARTS, "The walk was restarted too many times"},
    {ERR_RECORD_FILE, "Not a record file"},
    {ERR_RECORD_FILE_SHORT, "The record file is cut short"},
    {ERR_DISK_FILE_OPEN, "Cannot open the file"},
    {ERR_DISK_FILE_IO, "Cannot read or write the file"},
    {ERR_FILE_TOO_LARGE, "File too large to attach"},
    {ERR_FILE_OBJECT, "Not a valid attachment"},
    {ERR_LIBRARY_LOAD, "Cannot load the program library"},
    {ERR_LIBRARY_ENTRY, "The program library has no entry point"},
    {ERR_NAME_NOT_FOUND, "Name not found in the address book"},
    {ERR_NAME_SPACE, "Unknown address book name space"},
    {ERR_BUFFER_SMALL, "The buffer is too small"},
    {ERR_NOT_A_PICTURE, "The file is not a picture of the kind its import filter reads"},
    {ERR_NO_IMPORT_FILTER, "The platform has no import filter for this kind of file"},
};

} // namespace

WORD StatusText(STATUS status, char* buf, WORD limit) {
    if (buf == nullptr || limit == 0) return 0;
    STATUS masked = status & ERR_MASK;
    const char* text = nullptr;
    for (const auto& entry : kStatusTexts) {
        if (entry.status == masked) {
            text = entry.text;
            break;
        }
    }
    char built[96];
    if (masked == ERR_DB_BUSY) {
        int seconds = BusyWaitSeconds();
        std::snprintf(built, sizeof built,
                      "the database is busy: another process is writing to it (waited %d second%s)", seconds,
                      seconds == 1 ? "" : "s");
        text = built;
    }
    char fallback[48];
    if (text == nullptr) {
        std::snprintf(fallback, sizeof fallback, "Error %u", static_cast<unsigned>(masked));
        text = fallback;
    }
    size_t length = std::strlen(text);
    if (length > static_cast<size_t>(limit - 1)) length = limit - 1;
    std::memcpy(buf, text, length);
    buf[length] = '\0';
    return static_cast<WORD>(length);
}

} // namespace plat
