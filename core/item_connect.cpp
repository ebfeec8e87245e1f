// Connecting an item: to a note the item opens itself (Connect, Create,
// CopyItem) and to a note the caller has open (the Backend family). Copying
// an item into such a note (CopyBackend) is the engine's
// (engine/link_fixups.cpp).

#include <cstdio>
#include <cstring>
#include <new>

#include "core/database_open.h"
#include "core/font_spec.h"
#include "core/host_message.h"
#include "core/item_internal.h"
#include "core/item_work_state.h"
#include "core/layer_hooks.h"
#include "core/owned_text.h"
#include "core/text_compare.h"
#include "core/thread_state.h"
#include "talix/item.h"
#include "talix/session.h"
#include "talix_platform.h"

using namespace talix;

namespace {

constexpr std::size_t kMaxNameLength = 256;

bool ValidName(const char* name) {
    return name != nullptr && name[0] != '\0' && ::strnlen(name, kMaxNameLength + 1) <= kMaxNameLength;
}

// Replaces an owned text; an invalid name is stored as an empty text.
// Returns false for an invalid name or when memory is short.
bool StoreName(char*& field, const char* name) {
    bool valid = ValidName(name);
    char* copy = CopyOwnedText(valid ? name : "");
    FreeOwnedText(field);
    field = copy;
    return valid && copy != nullptr;
}

// The first step of Connect, Create and CopyItem: drops the previous
// connection, stores the names (a bad database or item name sets the own
// error) and opens the database and note. Returns the open status.
STATUS OpenOwnNote(ZervaRTItem* item, const char* server, const char* database, std::uint32_t noteID,
                   const char* itemName) {
    ReleaseConnection(item);
    item->work->connectWord = 0;
    item->ownError = 0;
    StoreName(item->server, server);
    if (!StoreName(item->databasePath, database)) item->ownError = kErrBadName;
    if (!StoreName(item->itemName, itemName)) item->ownError = kErrBadName;
    item->noteID = noteID;
    item->work->mode = 0;
    STATUS status = OpenDesignNote(item->session, item->server, item->databasePath, noteID, nullptr, nullptr,
                                   &item->databaseHandle, &item->noteHandle, item->autoDecrypt,
                                   item->decryptionKey);
    item->lastStatus = status;
    item->connected = 0;
    return status;
}

// The first step of the Backend family: takes the caller's note with its
// database, note id and path. An item that opened this very note itself
// keeps owning it.
STATUS BorrowNote(ZervaRTItem* item, plat::NOTEHANDLE note) {
    plat::DBHANDLE db = 0;
    plat::NOTEID id = 0;
    STATUS status = plat::NoteGetInfo(note, plat::NOTE_FIELD_DB, &db);
    if (status == plat::NOERROR) status = plat::NoteGetInfo(note, plat::NOTE_FIELD_ID, &id);
    if (status != plat::NOERROR) return status;
    bool ownsIt = item->noteHandle == note && item->databaseHandle == db && item->work->borrowed == 0;
    if (ownsIt) {
        DropRecordLists(item);
        item->work->messageFiles.clear();
    } else {
        ReleaseConnection(item);
        item->noteHandle = note;
        item->databaseHandle = db;
        item->work->borrowed = 1;
    }
    item->work->connectWord = 0;
    item->noteID = id;
    char* server = CopyOwnedText("");
    FreeOwnedText(item->server);
    item->server = server;
    RARIvoSession* session = item->session;
    session->messageBuffer[0] = '\0';
    if (plat::DbPath(db, session->messageBuffer, sizeof session->messageBuffer) != plat::NOERROR)
        session->messageBuffer[0] = '\0';
    char* path = CopyOwnedText(session->messageBuffer);
    FreeOwnedText(item->databasePath);
    item->databasePath = path;
    item->work->mode = 0;
    item->connected = 0;
    return plat::NOERROR;
}

// BorrowNote and the item's new name. Returns 0, the failure to borrow
// (kept as the last status), or 257 for a bad name.
STATUS BorrowNamedNote(ZervaRTItem* item, plat::NOTEHANDLE note, const char* name) {
    STATUS status = BorrowNote(item, note);
    if (status != kOK) {
        item->lastStatus = status;
        return status;
    }
    item->ownError = StoreName(item->itemName, name) ? 0 : kErrBadName;
    return item->ownError != 0 ? kOperationFailed : kOK;
}

// Connects to the item of the borrowed note: rich text connects, a MIME item
// is converted first, any other type is refused with a message; a missing
// item is created blank when asked. Then the face table is loaded. Returns 0,
// the failure to create the item, or kNotAvailable for a MIME item in a
// session without its converter (the item is left as it is).
STATUS ConnectToNamedItem(ZervaRTItem* item, bool createWhenMissing) {
    RARIvoSession* session = item->session;
    if (ItemPresent(item->noteHandle, item->itemName)) {
        std::uint16_t type = GetItemDataType(item->noteHandle, item->itemName);
        if (type == plat::TYPE_MIME_PART) {
            const LayerTables& tables = TablesOf(session);
            if (tables.ConvertFromMIME == nullptr) return kNotAvailable;
            tables.ConvertFromMIME(item);
            type = GetItemDataType(item->noteHandle, item->itemName);
        }
        if (type == plat::TYPE_COMPOSITE) {
            item->connected = 1;
        } else {
            std::snprintf(session->messageBuffer, sizeof session->messageBuffer,
                          "Cannot connect to item of type %ld.  Not rich text!", static_cast<long>(type));
            ShowHostMessage(session->messageBuffer);
            plat::LogLine(0, "%s", session->messageBuffer);
        }
    } else if (createWhenMissing) {
        STATUS status = item->CreateBlankRichTextItem();
        if (status != kOK) return status;
        item->connected = 1;
    }
    if (item->connected != 0) item->InitialFontTable();
    return kOK;
}

// A stored MIME message under the item's name is read back into rich text
// (or refused) as the connections to a caller's note do: read as it is
// stored it would give no text, and writing the item back would lose the
// message. True when the item is such a message; status is then the
// outcome of the connection.
bool ConnectToMimeItem(ZervaRTItem* item, STATUS* status) {
    if (GetItemDataType(item->noteHandle, item->itemName) != plat::TYPE_MIME_PART) return false;
    *status = ConnectToNamedItem(item, false);
    if (*status != kOK) item->lastStatus = *status;
    return true;
}

// The end of a Backend connection: a failure is kept as the last status;
// a connected item gets its default chunk.
STATUS FinishBackendConnection(ZervaRTItem* item, STATUS status) {
    if (status != kOK) {
        item->lastStatus = status;
        return status;
    }
    return item->connected != 0 ? ResetDefaultChunk(item) : kOK;
}

} // namespace

std::uint16_t ZervaRTItem::Connect(const char* serverName, const char* database, std::uint32_t id,
                                   const char* name, int create, const char* extra) {
    if (!ItemReady(this)) return kOutOfMemory;
    STATUS status = OpenOwnNote(this, serverName, database, id, name);
    if (status != kOK) return status;
    if (ownError != 0) return kOperationFailed;
    if (!ItemPresent(noteHandle, itemName)) {
        if (create == 0) return kOK;
        status = CreateBlankRichTextItem();
        if (status != kOK) {
            lastStatus = status;
            return status;
        }
    } else if (ConnectToMimeItem(this, &status)) {
        return status;
    }
    connected = 1;
    lastStatus = InitialFontTable();
    return lastStatus;
}

std::uint16_t ZervaRTItem::Create(const char* serverName, const char* database, std::uint32_t id,
                                  const char* name, int replace, const char* extra) {
    if (!ItemReady(this)) return kOutOfMemory;
    STATUS status = OpenOwnNote(this, serverName, database, id, name);
    if (status != kOK) return status;
    if (ownError != 0) return kOperationFailed;
    if (replace != 0 || !ItemPresent(noteHandle, itemName)) {
        status = CreateBlankRichTextItem();
        if (status != kOK) {
            lastStatus = status;
            return status;
        }
    } else if (ConnectToMimeItem(this, &status)) {
        return status;
    }
    connected = 1;
    InitialFontTable();
    return kOK;
}

std::uint16_t ZervaRTItem::CopyItem(const char* serverName, const char* database, std::uint32_t id,
                                    const char* name, int flag) {
    if (!ItemReady(this)) return kOutOfMemory;
    if (database == nullptr || database[0] == '\0' || name == nullptr || name[0] == '\0') return kErrBadName;
    STATUS status = OpenOwnNote(this, serverName, database, id, name);
    if (status != kOK) return status;
    return ownError != 0 ? kOperationFailed : kOK;
}

std::uint16_t ZervaRTItem::ConnectBackend(std::uint32_t note, const char* name, int create) {
    if (!ItemReady(this)) return kOutOfMemory;
    STATUS status = BorrowNamedNote(this, note, name);
    if (status != kOK) return status;
    return FinishBackendConnection(this, ConnectToNamedItem(this, create != 0));
}

std::uint16_t ZervaRTItem::CreateBackend(std::uint32_t note, const char* name, int replace) {
    if (!ItemReady(this)) return kOutOfMemory;
    STATUS status = BorrowNamedNote(this, note, name);
    if (status != kOK) return status;
    if (replace != 0) status = CreateBlankRichTextItem();
    if (status == kOK) status = ConnectToNamedItem(this, true);
    return FinishBackendConnection(this, status);
}

void ZervaRTItem::ConnectBackendInternal(ZervaRTItem* other, const char* name) {
    if (!ItemReady(this)) {
        lastStatus = kOutOfMemory;
        return;
    }
    if (other == nullptr || other == this || other->noteHandle == 0) {
        connected = 0;
        lastStatus = other == this ? kArgumentError : kNoHtmlInput;
        return;
    }
    // The last status tells of this connection, not of an earlier call.
    lastStatus = kOK;
    STATUS status = BorrowNote(this, other->noteHandle);
    if (status != kOK) {
        lastStatus = status;
        return;
    }
    char* copy = CopyOwnedText(name != nullptr ? name : "");
    FreeOwnedText(itemName);
    itemName = copy;
    if (itemName == nullptr) {
        lastStatus = kOutOfMemory;
        return;
    }
    work->imageDataFlag = CompareNamesNoCase(itemName, "$ImageData") == 0 ? 1 : 0;
    work->designFlag = CompareNamesNoCase(itemName, "$Body", 5) == 0 || work->imageDataFlag != 0 ? 1 : 0;
    status = ConnectToNamedItem(this, false);
    if (status != kOK) lastStatus = status;
    STATUS chunkStatus = ResetDefaultChunk(this);
    if (chunkStatus != kOK) lastStatus = chunkStatus;
}
