#include "core/database_open.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/host_message.h"
#include "core/thread_state.h"
#include "talix/session.h"
#include "talix_platform.h"

namespace talix {

namespace {

// Copies look for a free name at most this many times.
constexpr int kMaxCopyNameTries = 9999;
constexpr plat::WORD kNoteTextLimit = 1024;

bool Empty(const char* text) { return text == nullptr || text[0] == '\0'; }

void KeepStatusText(RARIvoSession* session, STATUS status) {
    if (session != nullptr) plat::StatusText(status, session->statusText, sizeof session->statusText);
}

// Decrypts an encrypted note when asked to.
void Decrypt(plat::NOTEHANDLE note, std::uint16_t autoDecrypt, void* key) {
    if (autoDecrypt != 0 && plat::NoteIsEncrypted(note, 0)) plat::NoteDecrypt(note, 0, key);
}

// The first name made from base ("base", "base1", "base2", ...) that no
// design note of the class has, or the last one tried; base is kept whole,
// however long.
std::string FreeDesignName(plat::DBHANDLE db, const char* base, plat::WORD designClass) {
    std::string name;
    for (int attempt = 0; attempt < kMaxCopyNameTries; ++attempt) {
        name = base;
        if (attempt != 0) name += std::to_string(attempt);
        plat::NOTEID existing = 0;
        if (plat::FindDesignNote(db, name.c_str(), designClass, &existing) != plat::NOERROR) break;
    }
    return name;
}

// Replaces *note by an in-memory copy of it that will be stored as a new
// note titled with a free name made from copyName. The source note is closed.
STATUS CopyUnderFreeName(plat::DBHANDLE db, const char* copyName, plat::WORD designClass, plat::NOTEHANDLE* note) {
    plat::NOTEHANDLE copy = 0;
    STATUS status = plat::NoteCopy(*note, &copy);
    if (status == plat::NOERROR) {
        plat::ORIGINATORID oid;
        plat::NOTEID newId = 0;
        status = plat::DbGenerateOID(db, &oid);
        if (status == plat::NOERROR) status = plat::NoteSetInfo(copy, plat::NOTE_FIELD_OID, &oid);
        if (status == plat::NOERROR) status = plat::NoteSetInfo(copy, plat::NOTE_FIELD_ID, &newId);
        if (status == plat::NOERROR) {
            const std::string name = FreeDesignName(db, copyName, designClass);
            auto length = static_cast<plat::WORD>(std::min<std::size_t>(name.size(), 0xFFFF));
            status = plat::ItemSetText(copy, "$TITLE", name.c_str(), length);
            if (status == plat::NOERROR) status = plat::ItemSetText(copy, "$$ScriptName", name.c_str(), length);
        }
        if (status != plat::NOERROR) plat::NoteClose(copy);
    }
    plat::NoteClose(*note);
    *note = status == plat::NOERROR ? copy : 0;
    return status;
}

} // namespace

STATUS OpenDatabaseByName(RARIvoSession* session, const char* server, const char* path, plat::DBHANDLE* db) {
    *db = 0;
    if (Empty(path)) {
        ShowHostMessage("TALIX: Invalid database name");
        return kArgumentError;
    }
    char networkPath[plat::MAXPATH + 1];
    const char* openPath = path;
    if (!Empty(server) && server[0] != ' ') {
        STATUS status = plat::PathNetBuild(server, path, networkPath);
        if (status != plat::NOERROR) {
            KeepStatusText(session, status);
            ShowHostMessage("TALIX: Invalid server-database name");
            return status;
        }
        openPath = networkPath;
    }
    STATUS status = plat::DbOpen(openPath, db);
    if (status != plat::NOERROR) {
        *db = 0;
        ShowHostMessage("TALIX: Unable to open database.");
        KeepStatusText(session, status);
    }
    return status;
}

STATUS CopyDesignElementUnique(RARIvoSession* session, plat::DBHANDLE db, plat::NOTEID noteId,
                               const char* designName, const char* copyName, plat::NOTEHANDLE* note,
                               std::uint16_t autoDecrypt, void* decryptionKey, plat::WORD designClass) {
    *note = 0;
    if (!Empty(designName)) {
        STATUS status = plat::FindDesignNote(db, designName, designClass, &noteId);
        if (status != plat::NOERROR) {
            if (!ThisThread().suppressMessages && session != nullptr) {
                std::snprintf(session->messageBuffer, sizeof session->messageBuffer,
                              "TALIX: Unable to find design element '%s'.", designName);
                ShowLmbcsHostMessage(session->messageBuffer);
            }
            return status;
        }
    }
    STATUS status = plat::NoteOpen(db, noteId, plat::OPEN_NOTE_SHARE, note);
    if (status != plat::NOERROR) {
        *note = 0;
        ShowHostMessage("TALIX: Unable to find note using NoteID.");
        if (session != nullptr) {
            plat::StatusText(status, session->optionValue, kNoteTextLimit);
            ShowHostMessage(session->optionValue);
        }
        return status;
    }
    Decrypt(*note, autoDecrypt, decryptionKey);
    if (Empty(copyName)) return plat::NOERROR;
    return CopyUnderFreeName(db, copyName, designClass, note);
}

STATUS OpenDesignNote(RARIvoSession* session, const char* server, const char* path, plat::NOTEID noteId,
                      const char* designName, const char* copyName, plat::DBHANDLE* db, plat::NOTEHANDLE* note,
                      std::uint16_t autoDecrypt, void* decryptionKey, plat::WORD designClass) {
    *note = 0;
    STATUS status = OpenDatabaseByName(session, server, path, db);
    if (status != plat::NOERROR) return status;
    status = CopyDesignElementUnique(session, *db, noteId, designName, copyName, note, autoDecrypt, decryptionKey,
                                     designClass);
    if (status != plat::NOERROR) {
        CloseNoteAndDatabase(*db, *note);
        *db = 0;
        *note = 0;
    }
    return status;
}

void CloseNoteAndDatabase(plat::DBHANDLE db, plat::NOTEHANDLE note) {
    if (note != 0) plat::NoteClose(note);
    if (db != 0) plat::DbClose(db);
}

STATUS FindNoteByUNID(RARIvoSession* session, plat::DBHANDLE db, const plat::UNID* unid, plat::NOTEHANDLE* note,
                      std::uint16_t openFlags, std::uint16_t autoDecrypt, void* decryptionKey) {
    *note = 0;
    STATUS status = plat::NoteOpenByUNID(db, unid, openFlags, note);
    if (status != plat::NOERROR) {
        *note = 0;
        ShowHostMessage("TALIX: Unable to find note using Universal ID.");
        return status;
    }
    Decrypt(*note, autoDecrypt, decryptionKey);
    return plat::NOERROR;
}

std::uint16_t GetItemDataType(plat::NOTEHANDLE note, const char* itemName) {
    if (itemName == nullptr) return 0;
    plat::WORD type = 0;
    auto length = static_cast<plat::WORD>(::strnlen(itemName, 0xFFFF));
    if (plat::ItemInfo(note, itemName, length, nullptr, &type, nullptr, nullptr) != plat::NOERROR) return 0;
    return type;
}

} // namespace talix
